// The rules of the calibration page without a window: the instruction shown after each acknowledged
// step per transducer type, the nominal current of each output point, the range check of an entered
// current and the meaning of a refusal.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace fieldwork {

constexpr int CalibrationSteps = 7; // steps 1 to 7 are confirmed; 0: no calibration in progress
constexpr int FirstCurrentStep = 5;
constexpr int SecondCurrentStep = 6;
constexpr int DateStep = 7;
// The read of a calibration reply ends after this much quiet input.
constexpr int CalibrationReadQuietMs = 2000;

// The instruction shown once the press that confirms `step` was acknowledged (0: the first press, which
// sends nothing); for step 7 the final text. Steps 4 and 5 name the output current of the type (77 or
// 78); for another type code the 77's.
QString InstructionAfter(int step, int typeCode);
// The current the transducer drives after the acknowledgement of `step` (4 or 5), in microamperes: the
// preset of the entry, and what goes out unless the user enters another; none for other steps.
std::optional<int> NominalCurrentAfter(int step, int typeCode);

// Microamperes of an entry in milliamperes, rounded to the nearest integer.
int Microamperes(double milliamperes);
// The range message of an entered current at `step` (5 or 6) of a 77 or 78 when it is outside the
// inclusive range; none when accepted, or when no range applies (another step or type).
std::optional<QString> CurrentRangeError(int step, int typeCode, int microamperes);
// What an entered current makes of CalibrCurrent: the value, or -1 when out of range.
int AcceptedCurrent(int step, int typeCode, int microamperes);

// The message of a refused step: 10 and 11 have theirs, any other code shows nothing.
QString CalibrationRefusalText(std::uint8_t code);

} // namespace fieldwork
