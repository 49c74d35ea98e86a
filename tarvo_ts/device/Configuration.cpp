#include "Configuration.h"

#include "TarvoBytes.h"

#include <QList>
#include <QStringView>
#include <limits>

std::optional<TRangeLimits> RangeLimits(int sensorKind) {
    switch (sensorKind) {
    case skPt391:
    case skPt385:
        return TRangeLimits{-200, 600};
    case skCu428:
        return TRangeLimits{-100, 200};
    default:
        return std::nullopt;
    }
}

QString LimitLabel(int degrees) {
    // QString::number writes an ASCII minus whatever the locale.
    return QString::number(degrees) + QStringLiteral(" °C");
}

TConfWriteCheck CheckConfigurationWrite(const TTarvo& d) {
    if (d.TopTempBound < d.BottomTempBound)
        return cwRangeInverted;
    if (std::int64_t(d.TopTempBound) - d.BottomTempBound < MinRangeSpan)
        return cwRangeTooShort;
    return cwOk;
}

TAlarmPanel AlarmPanelFor(int typeCode) {
    if (typeCode == TypeCode4_20mA)
        return ap4_20mA;
    if (typeCode == TypeCode0_5mA)
        return ap0_5mA;
    return apUnsupported;
}

std::optional<std::int32_t> ParseSensorNumber(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    std::int64_t value = 0;
    for (const QChar c : t) {
        // Only ASCII digits: QChar::isDigit would also take the digits of other scripts.
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
        if (value > std::numeric_limits<std::int32_t>::max())
            return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

QString UnencodableCharacters(const QString& text, int travelling) {
    QString found;
    int count = 0;
    for (qsizetype i = 0; i < text.size() && count < travelling; ++count) {
        const qsizetype len = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QStringView c = QStringView(text).mid(i, len);
        i += len;
        if (c.size() == 1 && c.at(0).unicode() < 0x80)
            continue;
        // EncodeAnsi gives '?' for a character the code page lacks.
        if (EncodeAnsi(c.toString()) == "?" && !found.contains(c))
            found += c;
    }
    return found;
}

TInfoWriteCheckResult CheckInformationWrite(const TTarvo& d) {
    TInfoWriteCheckResult r;
    if (!d.SensorDate.isValid()) {
        r.check = iwNoDate;
        return r;
    }
    // 24 characters travel, one byte each (the information block's text).
    r.characters = UnencodableCharacters(d.SensorType, 24);
    if (!r.characters.isEmpty())
        r.check = iwUnencodableText;
    return r;
}

// --- TDateForm ---

TDateForm::TDateForm() : FSeparator(u'.'), FOrder{dfDay, dfMonth, dfYear} {}

TDateForm TDateForm::ForLocale(const QLocale& locale) {
    // The format as runs of one character: field, separator, field, separator, field.
    const QString f = locale.dateFormat(QLocale::ShortFormat);
    QList<QStringView> runs;
    for (qsizetype i = 0; i < f.size();) {
        qsizetype n = 1;
        while (i + n < f.size() && f.at(i + n) == f.at(i))
            ++n;
        runs << QStringView(f).mid(i, n);
        i += n;
    }
    TDateForm form;
    if (runs.size() != 5)
        return form;
    const QChar separator = runs[1].at(0);
    if (runs[1].size() != 1 || runs[3] != runs[1] || separator.isLetterOrNumber() || separator.isSpace() ||
        separator == u'\'')
        return form;
    TField order[3];
    bool seen[3] = {false, false, false};
    for (int k = 0; k < 3; ++k) {
        const QStringView run = runs[2 * k];
        const QChar c = run.at(0);
        TField field;
        if (c == u'd' && run.size() <= 2)
            field = dfDay;
        else if (c == u'M' && run.size() <= 2)
            field = dfMonth;
        else if (c == u'y' && (run.size() == 2 || run.size() == 4))
            field = dfYear;
        else
            return form;
        if (seen[field])
            return form;
        seen[field] = true;
        order[k] = field;
    }
    form.FSeparator = separator;
    for (int k = 0; k < 3; ++k)
        form.FOrder[k] = order[k];
    return form;
}

namespace {

int Width(TDateForm::TField field) {
    return field == TDateForm::dfYear ? 4 : 2;
}

} // namespace

QString TDateForm::InputMask() const {
    // '0' is an optional digit; the mask's own meta characters are escaped as separators.
    const QString specials = QStringLiteral("AaNnXx90Dd#HhBb><!\\[]{};");
    const QString sep = specials.contains(FSeparator) ? QString(u'\\') + FSeparator : QString(FSeparator);
    QString mask;
    for (int k = 0; k < 3; ++k) {
        if (k > 0)
            mask += sep;
        mask += QString(Width(FOrder[k]), u'0');
    }
    return mask + QStringLiteral("; ");
}

QString TDateForm::EmptyText() const {
    QString text;
    for (int k = 0; k < 3; ++k) {
        if (k > 0)
            text += FSeparator;
        text += QString(Width(FOrder[k]), u' ');
    }
    return text;
}

QString TDateForm::Text(const QDate& date) const {
    if (!date.isValid() || date.year() < 1 || date.year() > 9999)
        return EmptyText();
    QString text;
    for (int k = 0; k < 3; ++k) {
        if (k > 0)
            text += FSeparator;
        const int value = FOrder[k] == dfDay ? date.day() : FOrder[k] == dfMonth ? date.month() : date.year();
        text += QStringLiteral("%1").arg(value, Width(FOrder[k]), 10, QChar(u'0'));
    }
    return text;
}

std::optional<QDate> TDateForm::Parse(const QString& shown) const {
    if (shown.size() != 10)
        return std::nullopt;
    int values[3] = {0, 0, 0};
    qsizetype pos = 0;
    for (int k = 0; k < 3; ++k) {
        if (k > 0) {
            if (shown.at(pos) != FSeparator)
                return std::nullopt;
            ++pos;
        }
        int value = 0;
        for (int n = 0; n < Width(FOrder[k]); ++n, ++pos) {
            const QChar c = shown.at(pos);
            if (c < u'0' || c > u'9')
                return std::nullopt;
            value = value * 10 + (c.unicode() - u'0');
        }
        values[FOrder[k]] = value;
    }
    const int day = values[dfDay], month = values[dfMonth], year = values[dfYear];
    if (year < 1 || !QDate::isValid(year, month, day))
        return std::nullopt;
    return QDate(year, month, day);
}
