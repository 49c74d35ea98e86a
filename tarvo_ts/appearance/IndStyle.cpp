#include "IndStyle.h"

#include <QDir>
#include <QGuiApplication>
#include <QMetaEnum>

namespace {

QString S(const char16_t* text) {
    return QString::fromUtf16(text);
}

template <typename E>
bool DecodeEnum(const QString& text, E& value, std::initializer_list<E> allowed) {
    const QMetaEnum meta = QMetaEnum::fromType<E>();
    for (E v : allowed) {
        if (text.compare(QLatin1String(meta.valueToKey(int(v))), Qt::CaseInsensitive) == 0) {
            value = v;
            return true;
        }
    }
    return false;
}

template <typename E>
QString EnumName(E value, std::initializer_list<E> allowed) {
    for (E v : allowed)
        if (v == value)
            return QLatin1String(QMetaEnum::fromType<E>().valueToKey(int(v)));
    return QString();
}

using L = TLcdIndicator;
constexpr std::initializer_list<L::TLcdColorScheme> Schemes = {L::csSilver, L::csInvSilver, L::csWhite, L::csBlack,
                                                               L::csPlasma, L::csInvPlasma, L::csNavy};
constexpr std::initializer_list<L::TLcdIndicatorKind> Kinds = {L::ik7segment, L::ik5x7matrix};
constexpr std::initializer_list<L::TLcdIndicatorStyle> Styles = {L::isThin, L::isNormal, L::isThick};

QColor ToColor(TColor c) {
    return ColorFromTColor(c, QGuiApplication::palette());
}

} // namespace

bool DecodeColorScheme(const QString& text, TLcdIndicator::TLcdColorScheme& scheme) {
    return DecodeEnum(text, scheme, Schemes);
}

bool DecodeIndicatorKind(const QString& text, TLcdIndicator::TLcdIndicatorKind& kind) {
    return DecodeEnum(text, kind, Kinds);
}

bool DecodeIndicatorStyle(const QString& text, TLcdIndicator::TLcdIndicatorStyle& style) {
    return DecodeEnum(text, style, Styles);
}

QString ColorSchemeName(TLcdIndicator::TLcdColorScheme scheme) {
    return EnumName(scheme, Schemes);
}

QString IndicatorKindName(TLcdIndicator::TLcdIndicatorKind kind) {
    return EnumName(kind, Kinds);
}

QString IndicatorStyleName(TLcdIndicator::TLcdIndicatorStyle style) {
    return EnumName(style, Styles);
}

void LoadIndStyle(const TIniFile& file, const QString& section, TIndStyle& style) {
    const TIndStyle d;
    DecodeColorScheme(file.ReadString(section, QStringLiteral("Colorsheme"), QStringLiteral("csSilver")),
                      style.ColorScheme);
    style.NumberForeColor = file.ReadInteger(section, QStringLiteral("NumForeColor"), d.NumberForeColor);
    style.NumberBackColor = file.ReadInteger(section, QStringLiteral("NumBackColor"), d.NumberBackColor);
    style.BackColor = file.ReadInteger(section, QStringLiteral("BackColor"), d.BackColor);
    style.BevelColor = file.ReadInteger(section, QStringLiteral("BevelColor"), d.BevelColor);
    DecodeIndicatorKind(file.ReadString(section, QStringLiteral("IndKind"), QStringLiteral("ik7segment")),
                        style.IndicatorKind);
    DecodeIndicatorStyle(file.ReadString(section, QStringLiteral("IndSlyle"), QStringLiteral("isThick")),
                         style.IndicatorStyle);
    // A gap the window cannot set would push the cells out of the frame or blow them up.
    const int gap = file.ReadInteger(section, QStringLiteral("IndGrap"), d.IndicatorGap);
    style.IndicatorGap = gap >= 0 && gap <= MaxIndicatorGap ? gap : d.IndicatorGap;
}

void WriteIndStyle(const TIndStyle& style, TIniFile& file, const QString& section) {
    file.WriteString(section, QStringLiteral("Colorsheme"), ColorSchemeName(style.ColorScheme));
    file.WriteInteger(section, QStringLiteral("NumForeColor"), style.NumberForeColor);
    file.WriteInteger(section, QStringLiteral("NumBackColor"), style.NumberBackColor);
    file.WriteInteger(section, QStringLiteral("BackColor"), style.BackColor);
    file.WriteInteger(section, QStringLiteral("BevelColor"), style.BevelColor);
    file.WriteString(section, QStringLiteral("IndKind"), IndicatorKindName(style.IndicatorKind));
    file.WriteString(section, QStringLiteral("IndSlyle"), IndicatorStyleName(style.IndicatorStyle));
    file.WriteInteger(section, QStringLiteral("IndGrap"), style.IndicatorGap);
}

void SaveIndStyle(const TLcdIndicator& indicator, TIniFile& file, const QString& section) {
    WriteIndStyle(GetIndStyle(indicator), file, section);
}

TIndStyle GetIndStyle(const TLcdIndicator& ind) {
    TIndStyle s;
    s.ColorScheme = ind.ColorScheme();
    s.IndicatorGap = ind.IndicatorGap();
    s.NumberForeColor = TColorFromColor(ind.NumberForeColor());
    s.NumberBackColor = TColorFromColor(ind.NumberBackColor());
    s.BackColor = TColorFromColor(ind.BackColor());
    s.BevelColor = TColorFromColor(ind.BevelColor());
    s.IndicatorKind = ind.IndicatorKind();
    s.IndicatorStyle = ind.IndicatorStyle();
    return s;
}

void ApplyIndStyle(TLcdIndicator& ind, const TIndStyle& s) {
    ind.setColorScheme(s.ColorScheme);
    ind.setIndicatorGap(s.IndicatorGap);
    ind.setNumberForeColor(ToColor(s.NumberForeColor));
    ind.setNumberBackColor(ToColor(s.NumberBackColor));
    ind.setBackColor(ToColor(s.BackColor));
    ind.setBevelColor(ToColor(s.BevelColor));
    ind.setIndicatorKind(s.IndicatorKind);
    ind.setIndicatorStyle(s.IndicatorStyle);
}

void CopyIndStyle(const TLcdIndicator& from, TLcdIndicator& to) {
    ApplyIndStyle(to, GetIndStyle(from));
}

void LoadIndicatorStyles(const TIniFile& settingsFile, TLcdIndicator* indT, TLcdIndicator* indR,
                         TLcdIndicator* indCalibrDate) {
    TIndStyle style;
    const std::pair<const char16_t*, TLcdIndicator*> targets[] = {
        {IndTStyleSection, indT}, {IndRStyleSection, indR}, {IndCalibrDateStyleSection, indCalibrDate}};
    for (const auto& [section, ind] : targets) {
        LoadIndStyle(settingsFile, S(section), style);
        if (ind)
            ApplyIndStyle(*ind, style);
    }
}

void SaveIndicatorStyles(TIniFile& settingsFile, const TLcdIndicator* indT, const TLcdIndicator* indR,
                         const TLcdIndicator* indCalibrDate) {
    const std::pair<const char16_t*, const TLcdIndicator*> targets[] = {
        {IndTStyleSection, indT}, {IndRStyleSection, indR}, {IndCalibrDateStyleSection, indCalibrDate}};
    for (const auto& [section, ind] : targets)
        if (ind)
            SaveIndStyle(*ind, settingsFile, S(section));
}

QString WithIndExtension(const QString& name) {
    return name.right(7).contains(u'.') ? name : name + QStringLiteral(".ind");
}

QString IndStyleFileFilter() {
    return QtFileFilter(QStringLiteral("Файлы стилей индикаторов|*.ind|Все файлы|*.*"));
}

QString QtFileFilter(const QString& toolkitFilter) {
    const QStringList parts = toolkitFilter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
#ifndef Q_OS_WIN
        // "*.*" means every file there; elsewhere it would skip names without a full stop.
        if (patterns == QLatin1String("*.*"))
            patterns = QStringLiteral("*");
#endif
        patterns.replace(u';', u' ');
        filters << parts[i] + QStringLiteral(" (") + patterns + u')';
    }
    return filters.join(QStringLiteral(";;"));
}

QString IndStyleOpenFolder() {
    QString root = QDir::rootPath();
#ifdef Q_OS_WIN
    const QString current = QDir::currentPath(); // "D:/work": the drive of the current folder
    if (current.size() >= 3 && current[1] == u':')
        root = current.left(3);
#endif
    return root + QStringLiteral("ColorShemas");
}
