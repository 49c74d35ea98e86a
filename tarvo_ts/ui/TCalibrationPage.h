// The calibration page: the step-by-step calibration of the input (four reference resistances) and the
// output (two currents measured with an ammeter), then the date. The step table and the checks are
// tarvo_ts/fieldwork's; the page runs the command exchanges and shows the instructions.
#pragma once

#include "Configuration.h"
#include "TDevicePage.h"

#include <QDate>
#include <QDoubleSpinBox>

class QLabel;
class QPushButton;
class TExitLineEdit;

// The current entry: tells when the user leaves it for another control of the window.
class TExitDoubleSpinBox : public QDoubleSpinBox {
    Q_OBJECT

public:
    explicit TExitDoubleSpinBox(QWidget* parent = nullptr) : QDoubleSpinBox(parent) {}

Q_SIGNALS:
    void Exited();

protected:
    void focusOutEvent(QFocusEvent* event) override;
};

class TCalibrationPage : public TDevicePage {
    Q_OBJECT

public:
    // The date entry follows the default locale's short date format (QLocale()).
    explicit TCalibrationPage(TPageContext& context, QWidget* parent = nullptr);

    // The step the next press confirms; 0 while no calibration is in progress.
    int CalibrStep() const { return FCalibrStep; }
    // The output current steps 5 and 6 send, in microamperes (-1 after an entry out of range).
    int CalibrCurrent() const { return FCalibrCurrent; }
    // A press of the button: the step confirmed and, on its acknowledgement, the next instruction.
    void CalibrationNextStep();
    // One exchange of the calibration command for CalibrStep(); true only on an acknowledgement.
    bool SendCalibrationStep();
    // Takes the entered current into CalibrCurrent and checks its range.
    void CheckCalibrationCurrent();
    // Ends a calibration in progress (it still sends its cancel command); leaving the connected state
    // calls it while CalibrStep() is not 0.
    void CancelCalibration();
    // Empties the instruction label (after a connection is made).
    void ClearStage();

    // Handlers of the controls' events (tests call them too). A press while an exchange waits starts
    // nothing.
    void btnBeginCalibrClick();
    void btnCancelCalibrClick();
    void meCalibrNewDateExit();

    const TDateForm& DateForm() const { return FDateForm; }

    QLabel* lbStage;
    QLabel* lbCalibrCur;
    TExitDoubleSpinBox* rseCalibrCur;
    QLabel* lbCalibrNewDate;
    TExitLineEdit* meCalibrNewDate;
    QPushButton* btnBeginCalibr;
    QPushButton* btnCancelCalibr;

    // The colours of lbStage: an instruction, and the text of a calibration the user ended.
    static QColor StageColor();
    static QColor CancelledColor();

private:
    void CreateWidgets();
    void SetStageColor(const QColor& color);
    void ShowCurrentEntry(bool shown);
    void ShowDateEntry(bool shown);

    TDateForm FDateForm;
    int FCalibrStep = 0;
    int FCalibrCurrent = 0;
};
