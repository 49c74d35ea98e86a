// The calibration page: the step-by-step calibration of the input and the output.
#pragma once

#include "TDevicePage.h"

class TCalibrationPage : public TDevicePage {
    Q_OBJECT

public:
    explicit TCalibrationPage(TPageContext& context, QWidget* parent = nullptr);

    // The step the next press confirms; 0 while no calibration is in progress.
    int CalibrStep() const { return FCalibrStep; }
    // Ends a calibration in progress (it still sends its cancel command); leaving the connected state
    // calls it while CalibrStep() is not 0.
    void CancelCalibration();
    // Empties the instruction label (after a connection is made).
    void ClearStage();

private:
    void CreateWidgets();

    int FCalibrStep = 0;
};
