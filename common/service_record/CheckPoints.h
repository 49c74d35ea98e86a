// The rules of an as-found / as-left check as the dialog applies them: numbers as the user types them,
// what a point lacks, and the check made of the points that are complete. No widgets.
#pragma once

#include "ServiceRecordTypes.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace servicerecord {

// One poll of the transducer's measured temperature for a point.
struct TReading {
    bool ok = false;
    double value = 0; // °C
    QString failure;  // the program's text when !ok
};
// The program polls its transducer once and calls `done` with the outcome, now or when the reply comes.
using TReadTemperature = std::function<void(std::function<void(const TReading&)> done)>;

// A point as entered: the texts of its two fields and the reading taken, if any.
struct TPointInput {
    QString reference;
    QString tolerance;
    std::optional<double> reading;
    bool IsEmpty() const { return reference.trimmed().isEmpty() && !reading; }
};

// "25,5", "25.5", " -0,25 " -> the number; anything else none.
std::optional<double> ParseNumber(const QString& text);

// The computed columns of a point, when its reference, tolerance and reading are all there and valid.
struct TPointResult {
    double difference = 0;
    bool passed = false;
};
std::optional<TPointResult> PointResult(const TPointInput& point);

// Why the point `number` (from 1) cannot go into a check; empty when it can.
QString PointError(int number, const TPointInput& point);

// The check of every point that is not empty; false with the first error text otherwise.
bool BuildCheck(TEventKind kind, const QList<TPointInput>& points, TCheck& check, QString& error);

// Number of a reading failure for the user: "Точка 2: показание не получено. <failure>".
QString ReadingFailureText(int number, const QString& failure);

} // namespace servicerecord
