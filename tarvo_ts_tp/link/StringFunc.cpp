#include "StringFunc.h"

#include <QLocale>
#include <cmath>
#include <limits>

QString PadStr(const QString& text, QChar pad, int width, bool left) {
    if (text.size() >= width)
        return text;
    const QString fill(width - text.size(), pad);
    return left ? fill + text : text + fill;
}

void FormatValue(int decimals, bool allowNonPositive, QString& result, double value) {
    result.clear();
    if (!std::isfinite(value))
        return;
    if (!allowNonPositive && value <= 0)
        return;
    QLocale loc = QLocale::system();
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    if (decimals < 0) {
        result = loc.toString(value, 'g', 15);
        return;
    }
    result = loc.toString(value, 'f', decimals);
}

bool TryStrToIntDec(const QString& text, int& value) {
    if (text.contains(QLatin1Char('$')))
        return false;
    int i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (i == text.size())
        return false;
    qint64 v = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        v = v * 10 + (c.unicode() - '0');
        if (v > qint64(std::numeric_limits<int>::max()) + 1)
            return false;
    }
    if (negative)
        v = -v;
    if (v > std::numeric_limits<int>::max() || v < std::numeric_limits<int>::min())
        return false;
    value = int(v);
    return true;
}
