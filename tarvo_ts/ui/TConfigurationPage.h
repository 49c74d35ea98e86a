// The configuration page: sensor, conversion range, alarm current, averaging, output and address.
#pragma once

#include "TDevicePage.h"

class TConfigurationPage : public TDevicePage {
    Q_OBJECT

public:
    explicit TConfigurationPage(QWidget* parent = nullptr);
};
