// The information page: the transducer's address and type and the sensor data stored in it.
#pragma once

#include "TDevicePage.h"

class TInformationPage : public TDevicePage {
    Q_OBJECT

public:
    explicit TInformationPage(QWidget* parent = nullptr);
};
