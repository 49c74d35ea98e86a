// Rules of the configuration, calibration and diagnostics pages that need no window: what counts as a
// change of the configuration, the checks and the block of a configuration write, the current limits of
// the calibration wizard and the texts of the diagnostic values. The window reads its controls into
// these plain values and applies the results.
#pragma once

#include "TarvoDevice.h"

#include <QLocale>
#include <QString>
#include <cstdint>

// The configuration page as its controls stand.
struct TConfigPageValues {
    int sensorItem = -1;                   // checked item of the sensor-type list (type code - 1)
    bool wire3 = false, wire4 = false;     // "3-х проводная", "4-х проводная" checked
    int top = 0, bottom = 0;               // range bounds, °C
    bool direct = false, inverted = false; // "Прямой", "Инверсный" checked
    int rangeIndex = 0;                    // item of the output-range list
    int alarmCode = 0;                     // code 1..5 of the checked alarm button, 0 when none
    bool averagingOn = false;
    int averagingTime = 0;
    int address = 1;
    QString baudText; // text of the (editable) baud-rate list
};

// The number in the baud-rate list's text; 0 when the text is no whole number.
int BaudTextNumber(const QString& text);

// Whether the page differs from the record (false without a record).
bool IsConfigChanged(const TTarvoDevice* d, const TConfigPageValues& v);

// What a configuration write sends, or why it sends nothing.
struct TConfigWrite {
    QString refusal; // empty: send
    bool refusalIsWarning = false;
    TConfigBlock block;      // the ten registers
    bool changeAddr = false; // the request changes the address (to block.SlaveAddr)
    bool changeBaud = false; // the request changes the rate (to newBaud)
    TBaudRate newBaud = CBR_9600;
};
TConfigWrite PlanConfigWrite(const TTarvoDevice& d, const TConfigPageValues& v);

// Whether a failure text is the transducer's own refusal (an exception reply): the request reached it
// and was not carried out, so nothing it asked for (a new rate, say) took effect.
bool IsTransducerRefusal(const QString& errorText);

// The current field of a calibration step: limits, start value and the refusal text of a value outside
// them; `valid` is false for a step or a transducer without a current value to enter.
struct TCurrentLimits {
    bool valid = false;
    int minimum = 0, maximum = 0, start = 0;
    QString refusal;
};
TCurrentLimits CalibrCurrentLimits(int step, std::uint8_t typeId);

// `value` / 10^decimals with exactly `decimals` decimals, the locale's decimal separator and minus sign,
// no group separators, at least one digit before the separator.
QString FormatFixed(std::int64_t value, int decimals, const QLocale& locale);

// What the diagnostics page shows for the record's diagnostic values.
struct TDiagDisplay {
    QString temperature; // "-------" when there is no value
    QString ruLabel, ruUnits, ru;
    bool rlineEnabled = false;
    QString rline;
    QString bodyTemperature;
    QString selfDiag;
    QString calibrDate; // "--------" when the transducer was never calibrated
    QString calibrNumber;
};
TDiagDisplay DiagDisplay(const TTarvoDevice& d, const QLocale& locale);

// The prompt of the NSX dialog for a sensor type.
QString NsxPrompt(int sensorType);
