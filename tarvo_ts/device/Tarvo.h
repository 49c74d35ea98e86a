// The record of an older transducer (type codes 77 and 78) as Tarvo_TS keeps it, and the small tables
// that go with it. No port and no message boxes here.
#pragma once

#include <QDate>
#include <QString>
#include <cstdint>
#include <span>

// Type codes of the two supported transducers.
constexpr int TypeCode4_20mA = 0x4D; // 77: output 4-20 mA
constexpr int TypeCode0_5mA = 0x4E;  // 78: output 0-5 mA
// True for 77 and 78; any other type code is not supported by the program.
bool IsSupportedTypeCode(int typeCode);

// Sensor kinds (`SensorKind`).
enum TSensorKind : int { skNone = 0, skPt391 = 1, skPt385 = 2, skCu428 = 3 };

// One transducer's data. Dates use a null QDate for "none" (the value 0 of the transducer's dates).
struct TTarvo {
    std::int32_t SlaveID = 0;
    QString PLType;
    std::int32_t PLTypeCode = 0;
    QString SensorType;
    std::int32_t SensorNum = 0;
    QDate SensorDate;
    QDate CalibrDate;
    std::int32_t SensorKind = 0;
    std::int32_t SensorR0 = 0;
    std::int32_t TopTempBound = 0;
    std::int32_t BottomTempBound = 0;
    double Temperature = 0;
    double Resistance = 0;
    bool DirectLeadOut = false;
    std::int32_t AlarmCur = 0;
    std::int32_t Average = 0;
    bool InfoModified = false;
    bool ConfModified = false;

    bool operator==(const TTarvo&) const = default;
};

// The information group: SensorType, SensorNum, SensorDate.
void CopyInfoFields(TTarvo& dest, const TTarvo& source);
// The configuration group: SlaveID, SensorKind, SensorR0, BottomTempBound, TopTempBound, DirectLeadOut,
// AlarmCur, Average.
void CopyConfFields(TTarvo& dest, const TTarvo& source);

// One alarm current choice of a transducer type.
struct TAlarmCurrent {
    int code;             // `AlarmCur`
    double milliamperes;  // the current the transducer drives
    const char16_t* text; // as the configuration page labels it
};
// The alarm currents of a type code in code order: four for 77, two for 78, none for any other code.
std::span<const TAlarmCurrent> AlarmCurrents(int typeCode);
// The alarm current of a code for a type code; nullptr when the type has no such code.
const TAlarmCurrent* FindAlarmCurrent(int typeCode, int code);
