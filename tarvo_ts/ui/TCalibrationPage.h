// The calibration page: the step-by-step calibration of the input and the output.
#pragma once

#include "TDevicePage.h"

class TCalibrationPage : public TDevicePage {
    Q_OBJECT

public:
    explicit TCalibrationPage(QWidget* parent = nullptr);
};
