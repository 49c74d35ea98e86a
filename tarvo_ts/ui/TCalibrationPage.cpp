#include "TCalibrationPage.h"

TCalibrationPage::TCalibrationPage(QWidget* parent)
    : TDevicePage(QStringLiteral("tsCalobration"), QStringLiteral("Настройка"),
                  QStringLiteral(" Калибровка "), parent) {}
