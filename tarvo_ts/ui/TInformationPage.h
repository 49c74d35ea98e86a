// The information page: the transducer's address and type and the sensor data stored in it.
#pragma once

#include "TDevicePage.h"

class TInformationPage : public TDevicePage {
    Q_OBJECT

public:
    explicit TInformationPage(TPageContext& context, QWidget* parent = nullptr);

    // DeviceData onto the page (after every identification).
    void ShowInformation();
    // Empties the page's fields (part of leaving the connected state).
    void ClearFields();
    // Writes the page's edits to the transducer (the "Да" of the question at closing).
    void WriteInformation();

private:
    void CreateWidgets();
};
