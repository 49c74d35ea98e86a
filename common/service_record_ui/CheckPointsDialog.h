// The as-found / as-left check: up to five points, each a reference value and a tolerance the user
// enters and a reading of the transducer's measured temperature taken when the point's button is
// pressed; the difference and the verdict follow. The dialog records nothing itself: on "Сохранить" the
// program takes Check() and hands it to TServiceRecord::CheckTaken().
#pragma once

#include "CheckPoints.h"
#include "ServiceUiHooks.h"

#include <QDialog>
#include <QList>

class QLabel;
class QPushButton;
class QTableWidget;

namespace servicerecord {

class CheckPointsDialog : public QDialog {
    Q_OBJECT
public:
    enum Column { colReference, colReading, colDifference, colTolerance, colPassed, colRead, colCount };

    // `kind` ekAsFound or ekAsLeft; `transducer` the line naming it (TransducerText).
    CheckPointsDialog(TEventKind kind, const QString& transducer, TReadTemperature read, TServiceUiHooks& hooks,
                      QWidget* parent = nullptr);

    // The check as saved (valid after the dialog was accepted).
    const TCheck& Check() const { return check_; }
    // The points as the table holds them now.
    QList<TPointInput> Points() const;
    // A reading is awaited: the read buttons are disabled until it comes.
    bool IsReading() const { return reading_ >= 0; }

    void accept() override;

private:
    void Read(int row);
    void Took(int row, const TReading& reading);
    void Update(int row);
    void SetButtonsEnabled(bool enabled);

    TEventKind kind_;
    TReadTemperature read_;
    TServiceUiHooks& hooks_;
    QTableWidget* table_ = nullptr;
    QList<QPushButton*> readButtons_;
    QList<std::optional<double>> readings_;
    QPushButton* save_ = nullptr;
    int reading_ = -1; // row whose reading is awaited
    TCheck check_;
};

} // namespace servicerecord
