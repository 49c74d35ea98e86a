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
    int sensorItem = -1;                   // checked item of the sensor-type list (type code - 1); -1: none
    bool wire3 = false, wire4 = false;     // "3-х проводная", "4-х проводная" checked
    int top = 0, bottom = 0;               // range bounds, °C
    bool direct = false, inverted = false; // "Прямой", "Инверсный" checked
    int rangeIndex = 0;                    // item of the output-range list
    int alarmCode = 0;                     // code 1..5 of the checked alarm button, 0 when none
    bool averagingOn = false;
    int averagingTime = 0;
    int address = 1;
    QString baudText; // text of the (editable) baud-rate list
    // Whether the spin fields show valid values (the numbers above are those shown). A field holding a
    // text that is no value of it would otherwise send its last valid value.
    bool topShown = true, bottomShown = true, averagingShown = true, addressShown = true;
};

// The number in the baud-rate list's text; 0 when the text is no whole number.
int BaudTextNumber(const QString& text);

// Whether the page differs from the record (false without a record).
bool IsConfigChanged(const TTarvoDevice* d, const TConfigPageValues& v);

// What a configuration write sends, or why it sends nothing. With no type checked (the transducer holds
// a code the list lacks) the transducer's own code goes back unchanged. A transducer without a current
// output has its range fields disabled: the bounds sent are brought inside the type's limits.
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

// What an indicator of `cells` character cells shows for a value text: the text itself when it fits
// (a point after a character takes no cell of its own), otherwise the overflow sign "OL" ("-OL" for a
// negative value), never the leftmost digits of a number too long for it. A text without digits
// (the no-value sign "-------") stays as it is.
QString FitIndicatorText(const QString& text, int cells);
// Cells a text takes on a seven-segment indicator.
int IndicatorCells(const QString& text);

// Why a sensor name cannot be written: the characters the transducer cannot store (no Windows-1251
// form, or a control character such as a tab or a line feed), each named once; empty when it can be.
QString SensorNameRefusal(const QString& name);

// The prompt of the NSX dialog for a sensor type.
QString NsxPrompt(int sensorType);
