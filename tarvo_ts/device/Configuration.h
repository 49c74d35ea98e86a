// Rules of the information and configuration pages that need no window: the range limits of each
// sensor kind, the alarm choices of a transducer type, what a write refuses before anything is sent,
// how a sensor number and a sensor date are read from what the user typed. The pages read their
// controls into these, the link calls the write checks; the texts are made where they are shown.
#pragma once

#include "Tarvo.h"

#include <QChar>
#include <QDate>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <optional>

// --- Conversion range ---

// Smallest span of the conversion range, degrees.
constexpr int MinRangeSpan = 25;

// The limits of the two bound fields for a sensor kind: the upper bound's minimum lies MinRangeSpan
// above the kind's lowest value, the lower bound's maximum MinRangeSpan below its highest.
struct TRangeLimits {
    int lowest;  // the kind's lowest value: the lower bound's minimum
    int highest; // the kind's highest value: the upper bound's maximum
    int TopMin() const { return lowest + MinRangeSpan; }
    int TopMax() const { return highest; }
    int BottomMin() const { return lowest; }
    int BottomMax() const { return highest - MinRangeSpan; }
};
// The limits of kind 1, 2 or 3 (`TSensorKind`); none for any other value.
std::optional<TRangeLimits> RangeLimits(int sensorKind);
// The text of a limit label: the number with an ASCII minus, a blank, the degree sign and a Latin C
// ("600 °C", "-200 °C").
QString LimitLabel(int degrees);

// Why a configuration write sends nothing (the port being closed is the link's own check).
enum TConfWriteCheck : int {
    cwOk,
    cwRangeInverted, // upper bound below the lower bound
    cwRangeTooShort, // span below MinRangeSpan
};
TConfWriteCheck CheckConfigurationWrite(const TTarvo& d);

// --- Alarm current ---

// Which alarm panel a transducer type shows.
enum TAlarmPanel : int {
    apUnsupported, // not one of ours: the program refuses it
    ap4_20mA,      // 77: four choices, 3,2 / 3,6 / 21 / 22 mA
    ap0_5mA,       // 78: two choices, 0 / 5,5 mA
};
TAlarmPanel AlarmPanelFor(int typeCode);

// --- Information ---

// A sensor number as typed: one or more decimal digits, blanks around them ignored, at most
// 2147483647 (the record's field is signed 32 bits). Letters, signs, inner blanks, an empty text and a
// number beyond 32 bits give none.
std::optional<std::int32_t> ParseSensorNumber(const QString& text);

// Why an information write sends nothing.
enum TInfoWriteCheck : int {
    iwOk,
    iwNoDate,          // no sensor date
    iwUnencodableText, // the sensor type holds characters the transducer's code page lacks
};
struct TInfoWriteCheckResult {
    TInfoWriteCheck check = iwOk;
    QString characters; // iwUnencodableText: each such character once, in the order typed
};
TInfoWriteCheckResult CheckInformationWrite(const TTarvo& d);
// The characters of the travelling beginning of `text` (its first `travelling` characters, a character
// outside the 16-bit range counting as one) that the single-byte code page of the wire lacks, each once.
QString UnencodableCharacters(const QString& text, int travelling);

// --- Sensor date entry ---

// The masked date entry: ten characters, day, month and year (two, two and four digits) in the order
// and with the separator of the locale's short date format; dd.MM.yyyy where that format is not three
// number fields between two equal separators (the C locale's "d MMM yyyy", say).
class TDateForm {
public:
    enum TField : int { dfDay, dfMonth, dfYear };

    static TDateForm ForLocale(const QLocale& locale);
    // dd.MM.yyyy.
    TDateForm();

    QChar Separator() const { return FSeparator; }
    // The order of the fields.
    TField Field(int i) const { return FOrder[i]; }
    // The input mask of the entry: optional digits, the separator, blanks where nothing is typed.
    QString InputMask() const;
    // The entry with nothing typed: "  .  .    " under '.'.
    QString EmptyText() const;
    // The entry showing `date` ("05.06.2021"); the empty form for no date or a year outside 1..9999.
    QString Text(const QDate& date) const;
    // The date of the entry's text as shown (blanks included); none when a digit is missing, a field is
    // not in its place or the date does not exist.
    std::optional<QDate> Parse(const QString& shown) const;

private:
    QChar FSeparator;
    TField FOrder[3];
};
