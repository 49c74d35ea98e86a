// A whole-number field whose allowed limits are checked by the program, not enforced while typing:
// the range fields of the configuration page and the current field of the calibration wizard keep a
// value outside their limits until a check refuses it with a message.
#pragma once

#include <QSpinBox>

class TLimitSpinBox : public QSpinBox {
    Q_OBJECT

public:
    explicit TLimitSpinBox(QWidget* parent = nullptr);

    void SetLimits(int minimum, int maximum);
    int LimitMin() const { return FLimitMin; }
    int LimitMax() const { return FLimitMax; }
    bool WithinLimits() const { return value() >= FLimitMin && value() <= FLimitMax; }

private:
    int FLimitMin = 0;
    int FLimitMax = 0;
};
