#include "CheckPoints.h"

#include <cmath>

namespace servicerecord {

std::optional<double> ParseNumber(const QString& text) {
    QString s = text.trimmed();
    s.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = s.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<TPointResult> PointResult(const TPointInput& point) {
    const std::optional<double> reference = ParseNumber(point.reference);
    const std::optional<double> tolerance = ParseNumber(point.tolerance);
    if (!reference || !tolerance || *tolerance <= 0 || !point.reading)
        return std::nullopt;
    const TCheckPoint p{*reference, *point.reading, *tolerance};
    return TPointResult{p.Difference(), p.Passed()};
}

QString PointError(int number, const TPointInput& point) {
    const std::optional<double> reference = ParseNumber(point.reference);
    if (!reference || *reference < -273.15 || *reference > 2000)
        return QStringLiteral("Точка %1: значение эталона должно быть числом от -273,15 до 2000 °С, например 25,00.")
            .arg(number);
    const std::optional<double> tolerance = ParseNumber(point.tolerance);
    if (!tolerance || *tolerance <= 0 || *tolerance > 100)
        return QStringLiteral("Точка %1: допуск должен быть положительным числом не более 100 °С, например 0,5.")
            .arg(number);
    if (!point.reading)
        return QStringLiteral("Точка %1: нет показания преобразователя. Нажмите кнопку «Измерить».").arg(number);
    return {};
}

bool BuildCheck(TEventKind kind, const QList<TPointInput>& points, TCheck& check, QString& error) {
    check = {kind, {}};
    error.clear();
    for (int i = 0; i < points.size() && i < kMaxCheckPoints; ++i) {
        const TPointInput& p = points[i];
        if (p.IsEmpty())
            continue;
        error = PointError(i + 1, p);
        if (!error.isEmpty())
            return false;
        check.points.append({*ParseNumber(p.reference), *p.reading, *ParseNumber(p.tolerance)});
    }
    if (check.points.isEmpty()) {
        error = QStringLiteral("Введите значение эталона и допуск хотя бы в одной точке и измерьте её.");
        return false;
    }
    return true;
}

QString ReadingFailureText(int number, const QString& failure) {
    QString text = QStringLiteral("Точка %1: показание не получено.").arg(number);
    if (!failure.isEmpty())
        text += QLatin1Char('\n') + failure;
    return text;
}

} // namespace servicerecord
