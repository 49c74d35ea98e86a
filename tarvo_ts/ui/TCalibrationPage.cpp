#include "TCalibrationPage.h"

#include "PageContext.h"

TCalibrationPage::TCalibrationPage(TPageContext& context, QWidget* parent)
    : TDevicePage(context, QStringLiteral("tsCalobration"), QStringLiteral("Настройка"),
                  QStringLiteral(" Калибровка "), parent) {
    CreateWidgets();
}

void TCalibrationPage::CreateWidgets() {}

void TCalibrationPage::CancelCalibration() {
    FCalibrStep = 0;
}

void TCalibrationPage::ClearStage() {}
