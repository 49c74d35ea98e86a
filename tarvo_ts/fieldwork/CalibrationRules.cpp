#include "CalibrationRules.h"

#include "FieldworkTexts.h"

#include <algorithm>
#include <cmath>

namespace fieldwork {

namespace {

constexpr int Type78 = 78;

QString SetResistance(const char* ohms) {
    return QStringLiteral("Установите сопротивление %1 Ом и нажмите кнопку \"Продолжить\"").arg(QLatin1String(ohms));
}

QString CurrentSet(const char* milliamperes) {
    return QStringLiteral("Установлен выходной ток %1 мА. Введите измеренное значение тока и нажмите кнопку "
                          "\"Продолжить\"")
        .arg(QLatin1String(milliamperes));
}

struct TRange {
    int low;
    int high;
    const char* text;
};

} // namespace

QString InstructionAfter(int step, int typeCode) {
    const bool is78 = typeCode == Type78;
    switch (step) {
    case 0:
        return SetResistance("0");
    case 1:
        return SetResistance("500");
    case 2:
        return SetResistance("250");
    case 3:
        return SetResistance("500");
    case 4:
        return CurrentSet(is78 ? "0,100" : "4,000");
    case 5:
        return CurrentSet(is78 ? "5,000" : "20,000");
    case 6:
        return fieldtext::EnterDate;
    case 7:
        return fieldtext::CalibrationDone;
    default:
        return {};
    }
}

std::optional<int> NominalCurrentAfter(int step, int typeCode) {
    // Another type code keeps the entry as it was: no preset.
    if (typeCode != 77 && typeCode != Type78)
        return std::nullopt;
    const bool is78 = typeCode == Type78;
    if (step == 4)
        return is78 ? 100 : 4000;
    if (step == 5)
        return is78 ? 5000 : 20000;
    return std::nullopt;
}

int Microamperes(double milliamperes) {
    const double v = std::round(milliamperes * 1000.0);
    if (!std::isfinite(v))
        return -1;
    return static_cast<int>(std::clamp(v, -2147483648.0, 2147483647.0));
}

std::optional<QString> CurrentRangeError(int step, int typeCode, int microamperes) {
    static const TRange ranges[2][2] = {
        {{3600, 4400, "Диапазон возможных значений\r\nот 3,600 мА до 4,400 мА"},
         {30, 170, "Диапазон возможных значений\r\nот 0,030 мА до 0,170 мА"}},
        {{19200, 20800, "Диапазон возможных значений\r\nот 19,200 мА до 20,800 мА"},
         {4800, 5200, "Диапазон возможных значений\r\nот 4,800 мА до 5,200 мА"}},
    };
    if ((step != FirstCurrentStep && step != SecondCurrentStep) || (typeCode != 77 && typeCode != Type78))
        return std::nullopt;
    const TRange& r = ranges[step - FirstCurrentStep][typeCode == Type78 ? 1 : 0];
    if (microamperes >= r.low && microamperes <= r.high)
        return std::nullopt;
    return QString::fromUtf8(r.text);
}

int AcceptedCurrent(int step, int typeCode, int microamperes) {
    return CurrentRangeError(step, typeCode, microamperes) ? -1 : microamperes;
}

QString CalibrationRefusalText(std::uint8_t code) {
    if (code == 10)
        return fieldtext::AdcOutOfRange;
    if (code == 11)
        return fieldtext::DataOutOfRange;
    return {};
}

} // namespace fieldwork
