// The configuration page: sensor, conversion range, alarm current, averaging, output and address.
#pragma once

#include "TDevicePage.h"

class TConfigurationPage : public TDevicePage {
    Q_OBJECT

public:
    explicit TConfigurationPage(TPageContext& context, QWidget* parent = nullptr);

    // DeviceData onto the page (after every configuration read).
    void ShowConfiguration();
    // Empties the page's fields (part of leaving the connected state).
    void ClearFields();
    // Writes the page's values to the transducer (the "Да" of the question at closing).
    void WriteConfiguration();

private:
    void CreateWidgets();
};
