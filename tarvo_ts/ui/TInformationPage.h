// The information page: the transducer's address and type and the sensor data stored in it (sensor
// type text, sensor number, sensor date), with its own read and write buttons.
#pragma once

#include "Configuration.h"
#include "TDevicePage.h"
#include "TsLink.h"

class QLineEdit;
class QPushButton;
class TExitLineEdit;

class TInformationPage : public TDevicePage {
    Q_OBJECT

public:
    // The date entry follows the default locale's short date format (QLocale()).
    explicit TInformationPage(TPageContext& context, QWidget* parent = nullptr);

    // DeviceData onto the page (after every identification); keeps the address for the settings file.
    void ShowInformation();
    // The address in use into its field (after a configuration write gave the transducer a new one).
    void ShowSlaveID();
    // Empties the page's fields (part of leaving the connected state).
    void ClearFields();
    // Writes the information block with the diagnostics poll held off around the exchange; the
    // "Да" of the question at closing and the write button. The modified mark clears when the
    // transducer took the block.
    TExchangeResult WriteInformation();

    // Handlers of the controls' events (tests call them too).
    void edSensorTypeExit();
    void edSensorNumChange();
    void edSensorNumExit();
    void meSensorDateChange();
    void meSensorDateExit();
    void btnNowClick();
    void btnInfReadClick();
    void btnInfWriteClick();

    const TDateForm& DateForm() const { return FDateForm; }

    QLineEdit* edSlaveID;
    QLineEdit* edPLType;
    TExitLineEdit* edSensorType;
    TExitLineEdit* edSensorNum;
    TExitLineEdit* meSensorDate;
    QPushButton* btnNow;
    QPushButton* btnInfRead;
    QPushButton* btnInfWrite;

private:
    void CreateWidgets();

    TDateForm FDateForm;
};
