// The configuration page: sensor kind and nominal resistance, conversion range, alarm current,
// averaging, output direction and the Modbus address, with its own read and write buttons. Its
// controls edit DeviceData directly, connected or not; the writes reach the transducer.
#pragma once

#include "TDevicePage.h"
#include "TsLink.h"

#include <array>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class TClickLabel;
class TExitSpinBox;

class TConfigurationPage : public TDevicePage {
    Q_OBJECT

public:
    explicit TConfigurationPage(TPageContext& context, QWidget* parent = nullptr);

    // DeviceData onto the page (after every configuration read). A type code the program does not
    // support shows the system's error box and leaves the connected state.
    void ShowConfiguration();
    // Kind 1, 2 or 3: the limits and labels of the range and SensorKind.
    void SetSensorKind(int kind);
    // Empties the page's fields (part of leaving the connected state).
    void ClearFields();
    // The page's bounds, averaging and address into the write of the configuration block, with the
    // diagnostics poll held off around it; the "Да" of the question at closing and the write button.
    // The modified mark clears when the transducer took the block.
    TExchangeResult WriteConfiguration();

    // Handlers of the controls' events (tests call them too).
    void SensorKindClick(int kind); // its radio button, its α sign or its coefficient label
    void rbR100Click();
    void rbR50Click();
    void AlarmClick(int code);
    void BoundChange();
    void rseTopTempBoundExit();
    void rseBottomTempBoundExit();
    void cbAverageTurnOnClick();
    void rseAverageChange();
    void rseAverageExit();
    void rbDirectLeadOutClick();
    void rbInversLeadOutClick();
    void rseConfSlaveIDChange();
    void btnConfReadClick();
    void btnConfWriteClick();

    QGroupBox* gbSensorKind;
    std::array<QRadioButton*, 3> rbKind{}; // rbPl_391, rbPl_385, rbCu: kinds 1, 2, 3
    QRadioButton* rbPl_391;
    QRadioButton* rbPl_385;
    QRadioButton* rbCu;
    std::array<TClickLabel*, 3> lbAlpha{};
    std::array<TClickLabel*, 3> lbCoefficient{};
    QGroupBox* gbSensorR0;
    QRadioButton* rbR100;
    QRadioButton* rbR50;
    QGroupBox* gbRange;
    TExitSpinBox* rseTopTempBound;
    TExitSpinBox* rseBottomTempBound;
    QLabel* lbMaxTemp;
    QLabel* lbMinTemp;
    QGroupBox* pnAlarmCur4D;
    QRadioButton* rbI3_6;
    QRadioButton* rbI3_8;
    QRadioButton* rbI21;
    QRadioButton* rbI22;
    QGroupBox* pnAlarmCur4E;
    QRadioButton* rbI0;
    QRadioButton* rbI5_5;
    QGroupBox* gbAverage;
    QCheckBox* cbAverageTurnOn;
    TExitSpinBox* rseAverage;
    QGroupBox* gbLeadOut;
    QRadioButton* rbDirectLeadOut;
    QRadioButton* rbInversLeadOut;
    QGroupBox* gbSlaveID;
    TExitSpinBox* rseConfSlaveID;
    QPushButton* btnConfRead;
    QPushButton* btnConfWrite;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateWidgets();
    // The texts of a sensor kind's three controls in the hot-track colour, or back in the scheme's.
    void HotTrackKind(int kind, bool on);
    void SetLimits(int kind);
    void Mark();

    std::array<QButtonGroup*, 5> FGroups{}; // kind, resistance, 4-20 mA alarm, 0-5 mA alarm, direction
    // Set while the page shows values: the changes it makes itself are no edits.
    int FShowing = 0;
};
