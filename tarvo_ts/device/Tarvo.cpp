#include "Tarvo.h"

#include <array>

namespace {

constexpr std::array<TAlarmCurrent, 4> AlarmCurrents4_20 = {{
    {1, 3.2, u"3,2 мА"},
    {2, 3.6, u"3,6 мА"},
    {3, 21.0, u"21 мА"},
    {4, 22.0, u"22 мА"},
}};

constexpr std::array<TAlarmCurrent, 2> AlarmCurrents0_5 = {{
    {1, 0.0, u"0 мА"},
    {2, 5.5, u"5,5 мА"},
}};

} // namespace

bool IsSupportedTypeCode(int typeCode) {
    return typeCode == TypeCode4_20mA || typeCode == TypeCode0_5mA;
}

void CopyInfoFields(TTarvo& dest, const TTarvo& source) {
    dest.SensorType = source.SensorType;
    dest.SensorNum = source.SensorNum;
    dest.SensorDate = source.SensorDate;
}

void CopyConfFields(TTarvo& dest, const TTarvo& source) {
    dest.SlaveID = source.SlaveID;
    dest.SensorKind = source.SensorKind;
    dest.SensorR0 = source.SensorR0;
    dest.BottomTempBound = source.BottomTempBound;
    dest.TopTempBound = source.TopTempBound;
    dest.DirectLeadOut = source.DirectLeadOut;
    dest.AlarmCur = source.AlarmCur;
    dest.Average = source.Average;
}

std::span<const TAlarmCurrent> AlarmCurrents(int typeCode) {
    if (typeCode == TypeCode4_20mA)
        return AlarmCurrents4_20;
    if (typeCode == TypeCode0_5mA)
        return AlarmCurrents0_5;
    return {};
}

const TAlarmCurrent* FindAlarmCurrent(int typeCode, int code) {
    for (const TAlarmCurrent& a : AlarmCurrents(typeCode))
        if (a.code == code)
            return &a;
    return nullptr;
}
