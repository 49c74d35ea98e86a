// The dialog that asks for the measured temperature of an NSX correction.
#pragma once

#include <QDialog>

class QDoubleSpinBox;
class QLabel;

class TFormEnterCorrNSX : public QDialog {
    Q_OBJECT

public:
    explicit TFormEnterCorrNSX(QWidget* parent = nullptr);

    QLabel* LabelEnter = nullptr;
    QDoubleSpinBox* JvSpinEditCorrNSXRealTemp = nullptr;
};
