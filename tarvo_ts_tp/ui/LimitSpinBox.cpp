#include "LimitSpinBox.h"

TLimitSpinBox::TLimitSpinBox(QWidget* parent) : QSpinBox(parent) {
    // Wide enough for any value the transducer or the user may bring; the limits are checked apart.
    setRange(-99999, 99999);
}

void TLimitSpinBox::SetLimits(int minimum, int maximum) {
    FLimitMin = minimum;
    FLimitMax = maximum;
}
