// Main window of Tarvo_TS_TP: the frame, the program states, the pickup and dispatch of every finished
// query, and the search for and connection of transducers. The window never touches the port: it queues
// queries on the link and reacts to their results by program state.
#pragma once

#include "LimitSpinBox.h"
#include "ModbusComm.h"
#include "PendingCommand.h"
#include "ProgramState.h"
#include "SearchPlan.h"
#include "TarvoDevice.h"

#include <QMainWindow>
#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class TDockTraffic;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class QTableWidget;
class QTimer;
class QToolButton;
class QWidget;
class TFormEnterCorrNSX;
class TLcdIndicator;

struct TConfigPageValues;
class TfrmAbout;

// Sets the program's help file (its file name is "Tarvo_TS_TP.chm"); the help command is enabled once
// it is set.
void SetApplicationHelpFile(const QString& path);
QString ApplicationHelpFile();

class TFormMain : public QMainWindow {
    Q_OBJECT

public:
    explicit TFormMain(QWidget* parent = nullptr);
    ~TFormMain() override;

    TPrgState PrgState() const { return FPrgState; }
    // The only way the program state changes.
    void SetPrgState(TPrgState s);

    // The transducers listed in the grid (grid row i shows entry i - 1) and the one last identified.
    int FoundDeviceCount() const { return int(FoundDevices.size()); }
    const TTarvoDevice* FoundDevice(int i) const { return FoundDevices.at(std::size_t(i)).get(); }
    const TTarvoDevice* CurrentDevice() const { return FCurrentDevice; }
    bool SearchCancelled() const { return FSearchCancelled; }
    int NoAnswerCount() const { return FNoAnswerCount; }
    // The selected grid row, counted from 1 (row 0 is the header); 0 when none.
    int SelectedGridRow() const;
    void SelectGridRow(int row);

    // A finished query taken back from the link: queued for the dispatcher, which handles results one
    // at a time in the order they were taken back.
    void DeliverResult(const TModbusCmdQuery& q);

    // Commands (the actions call them).
    void ActionFindExecute();
    void ActionConnectExecute();
    void ComboBoxComPortDropDown();
    void ActionReadConfigExecute();
    void ActionWriteConfigExecute();
    void ActionReadDopDataExecute();
    void ActionWriteDopDataExecute();
    void ActionCalibrExecute();
    void StartStopDiagnostics();
    void PerformZeroCorrection();
    void ClearZeroCorrection();
    void PerformNSXCorrection();
    void ClearNSXCorrection();
    void ActionHelpContentsExecute();
    void ActionAboutExecute();

    // Page rules and field checks (the controls call them; tests may too).
    void SelectSensorTypeByItemindex(int i);
    void ComboBoxCurrentOutputRangeChange();
    bool IsConfigChanged() const;
    TConfigPageValues ConfigPageValues() const;
    void EditSensorNumberExit();
    void JvSpinEditWithLimitsExit(TLimitSpinBox* field);
    void FinishCalibration();
    void StartDiagnostics();
    void StopDiagnostics();
    void TimerDiagPollTimer();

    // How the NSX dialog is run: exec() unless a test scripts it. Returns the dialog's result.
    void SetNsxDialogRunner(std::function<int(TFormEnterCorrNSX&)> runner) {
        FNsxDialogRunner = std::move(runner);
    }

    // Where queued queries go: the link, unless a test takes them. The sink gets each query as it would
    // be queued and gives back the number the link would give it (0: not queued).
    void SetQuerySink(std::function<quint64(const TModbusCmdQuery&)> sink) { FQuerySink = std::move(sink); }
    // How ports are opened: the link, unless a test stands in (true: the port opened at that rate).
    void SetPortOpener(std::function<bool(const QString&, TBaudRate)> opener) { FPortOpener = std::move(opener); }
    // Whether a command waits for its reply (it then takes no second press).
    bool CommandPending() const { return FCommand.Busy(); }
    // The text of a status panel (0..3). Panel 1, the port, keeps its width: a long name is shortened
    // and shown whole as the panel's tool tip.
    void SetPanel(int i, const QString& text);

    TfrmAbout* AboutBox() const { return frmAbout; }
    TFormEnterCorrNSX* EnterCorrNSXDialog() const { return FormEnterCorrNSX; }

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    // Frame.
    void CreateActions();
    void CreateMenusAndToolBar();
    QWidget* CreateConnectPage();
    QWidget* CreateConfigPage();
    QWidget* CreateCalibrPage();
    QWidget* CreateDiagPage();
    void CreateStatusBar();
    void FormCreate();
    void FormClose();

    // States.
    void ShowDevicePages();
    void UpdateConnectButton(int row);
    void ActionStartStopDiagnosticsUpdate();
    void SetConnectLook(bool disconnect);
    void SetSensorDataEnabled(bool on);
    void SetWaitCursor();
    void RestoreCursor();
    void ShowNotConnected();

    // Link.
    // `quiet`: no boxes of its own when the port does not open (the caller reports it).
    bool OpenCommLink(const QString& port, TBaudRate baud, bool quiet = false);
    void CloseCommLink();
    void QueueIdentification(std::uint8_t addr);
    // Returns the query's number (0: not queued).
    quint64 QueueQuery(std::uint8_t addr, std::uint8_t fn, std::uint16_t start, std::uint16_t count,
                       std::uint8_t calibrStep = 0, bool changeAddr = false);
    // A request of a command that waits for its reply (see CommandPending).
    void QueueCommand(std::uint8_t addr, std::uint8_t fn, std::uint16_t start, std::uint16_t count,
                      std::uint8_t calibrStep = 0, bool changeAddr = false);
    // The port has gone (or could not be opened again): the link is closed, the program has no device.
    void LosePort();
    void PickUp(const QueryDoneEvent& e);
    void Dispatch();
    void DispatchSuccess();
    void DispatchError();

    // Search and connection.
    void SearchNextStep();
    void SearchQueueIdentification();
    void FinishSearchControls();
    void StepFindProgress();
    void ResetFindProgress();
    void ClearFoundDevices();
    void RefreshDevicesGrid();
    void ClearDevicesGrid();
    std::unique_ptr<TTarvoDevice> DeviceFromIdentification() const;
    void OnSearchHit();
    void OnInitIdentification();
    void OnInitConfiguration();

    // Configuration page and sensor data.
    void FillConfigControls();
    void CheckBoxAveragingTurnOnClick();
    void QueueConfigRead(bool toNewAddr);
    void OnConfigWritten();
    void OnConfigRead();
    void RecoverBaudRateChange();
    bool FollowBaudRateChange();
    void FallBackToOldRate();
    void ReturnToNewRate();
    void OnSensorDataRead();
    void TabSheetDeviceConfigShow();

    // Calibration page.
    void WriteCalibrationDate();
    void ShowCalibrCurrentPanel(int step);
    void EndCalibrationRun();
    void OnCalibrationStep();
    void TabSheetCalibrShow();

    // Diagnostics page.
    void ClearDiagIndicators();
    void RequestDiagData();
    void PageControlChanging(QWidget* leaving);
    void PageControlChange(QWidget* entered);
    void OnDiagValues();
    void OnZeroCorrection();
    // A correction may still go out once its question is answered.
    bool CanStartCorrection() const;
    void OnNsxCorrection();

public:
    // Controls and actions, named as the program names them (tests find them by objectName too).
    QAction* ActionFind = nullptr;
    QAction* ActionConnect = nullptr;
    QAction* ActionFileExit = nullptr;
    QAction* ActionReadConfig = nullptr;
    QAction* ActionWriteConfig = nullptr;
    QAction* ActionReadDopData = nullptr;
    QAction* ActionWriteDopData = nullptr;
    QAction* ActionStartStopDiagnostics = nullptr;
    QAction* ActionZeroCorrection = nullptr;
    QAction* ActionResetZeroCorrection = nullptr;
    QAction* ActionNSXCorrection = nullptr;
    QAction* ActionResetNSXCorrection = nullptr;
    QAction* ActionCalibr = nullptr;
    QAction* ActionHelpContents = nullptr;
    // "Обмен": the live list of the frames on the line (menu "Диагностика").
    TDockTraffic* DockTraffic = nullptr;
    QAction* ActionTraffic = nullptr;
    QAction* ActionAbout = nullptr;

    QTabWidget* PageControl = nullptr;
    QWidget* TabSheetConnect = nullptr;
    QWidget* TabSheetDeviceConfig = nullptr;
    QWidget* TabSheetCalibr = nullptr;
    QWidget* TabSheetDiag = nullptr;
    QLabel* StaticText1 = nullptr;
    std::array<QLabel*, 4> StatusPanels{};

    QGroupBox* GroupBoxSearch = nullptr;
    QSpinBox* JvSpinEditSlaveID = nullptr;
    QCheckBox* CheckBoxSearchAllAddresses = nullptr;
    QComboBox* ComboBoxComPort = nullptr;
    QCheckBox* CheckBoxSearchAllPorts = nullptr;
    QCheckBox* CheckBoxOnlyUSBdevices = nullptr;
    QWidget* PanelBaudrate = nullptr;
    QComboBox* ComboBoxBaudRates = nullptr;
    QCheckBox* CheckBoxSearchAllBaudRates = nullptr;
    QProgressBar* ProgressBarFind = nullptr;
    QToolButton* SpeedButtonFindAllDevices = nullptr;
    QGroupBox* GroupBoxTarvoList = nullptr;
    QTableWidget* StringGridDevices = nullptr;
    QToolButton* SpeedButtonConnect = nullptr;
    QGroupBox* GroupBoxTarvoDopData = nullptr;
    QLineEdit* EditSensorName = nullptr;
    QLineEdit* EditSensorNumber = nullptr;

    QListWidget* CheckListBoxSensorType = nullptr;
    QGroupBox* GroupBoxWireScheme = nullptr;
    QRadioButton* RadioButton3WiredScheme = nullptr;
    QRadioButton* RadioButton4WiredScheme = nullptr;
    QGroupBox* GroupBoxTempRange = nullptr;
    TLimitSpinBox* JvSpinEditTopTBound = nullptr;
    TLimitSpinBox* JvSpinEditBottomTBound = nullptr;
    QLabel* LabelMaxTemp = nullptr;
    QLabel* LabelMinTemp = nullptr;
    QGroupBox* GroupBoxCurrentOutputParams = nullptr;
    QRadioButton* RadioButtonDirectCurrentOutput = nullptr;
    QRadioButton* RadioButtonInvertedCurrentOutput = nullptr;
    QComboBox* ComboBoxCurrentOutputRange = nullptr;
    QGroupBox* GroupBoxAlarmCurrent = nullptr;
    std::array<QRadioButton*, 5> AlarmButtons{}; // alarm codes 1..5
    QGroupBox* GroupBoxAveraging = nullptr;
    QCheckBox* CheckBoxAveragingTurnOn = nullptr;
    QSpinBox* JvSpinEditAveragingTime = nullptr;
    QGroupBox* GroupBoxConfSlaveID = nullptr;
    QSpinBox* JvSpinEditConfSlaveID = nullptr;
    QGroupBox* GroupBoxConfBaudRate = nullptr;
    QComboBox* ComboBoxConfBaudrate = nullptr;

    QLabel* LabelCalibrMessage = nullptr;
    QToolButton* SpeedButtonStartCalibr = nullptr;
    QToolButton* SpeedButtonCancelCalibr = nullptr;
    QWidget* PanelCalibrMeasuredCurrentValue = nullptr;
    TLimitSpinBox* JvSpinEditCalibrLead = nullptr;

    TLcdIndicator* IndicatorT = nullptr;
    TLcdIndicator* IndicatorRU = nullptr;
    TLcdIndicator* IndicatorRline = nullptr;
    TLcdIndicator* IndicatorTkor = nullptr;
    TLcdIndicator* IndicatorCalibrDate = nullptr;
    QLineEdit* EditCalibrNum = nullptr;
    QLabel* LabelSelfDiag = nullptr;
    QLabel* LabelRU = nullptr;
    QLabel* LabelRUUnits = nullptr;
    QLabel* LabelRLine = nullptr;
    QLabel* LabelRLineUnits = nullptr;
    QToolButton* SpeedButtonStartDiagPolling = nullptr;
    QGroupBox* GroupBoxZeroCorrection = nullptr;
    QGroupBox* GroupBoxNSXCorrection = nullptr;
    QTimer* TimerDiagPoll = nullptr;

private:
    TPrgState FPrgState = PSNoDevice;
    TModbusCmdQuery ReceivedQuery;
    // Results taken back and not yet dispatched, oldest first.
    std::deque<TModbusCmdQuery> FReceived;
    std::vector<std::unique_ptr<TTarvoDevice>> FoundDevices;
    // The record of the transducer being connected until it enters FoundDevices.
    std::unique_ptr<TTarvoDevice> FConnectingDevice;
    TTarvoDevice* FCurrentDevice = nullptr;
    std::array<std::uint8_t, TModbusCmdQuery::BufferSize> QueryData{};
    int FNoAnswerCount = 0;
    bool FSearchCancelled = false;
    bool FWaitCursor = false;

    TSearchCursor FSearch;
    QString SearchComPort;
    TBaudRate SearchBaudRate = CBR_9600;
    // The port list the search runs over, as it was when the search started.
    QStringList FSearchPorts;

    // The page shown last, so that leaving a page can be told from entering the next.
    QWidget* FShownPage = nullptr;
    std::function<int(TFormEnterCorrNSX&)> FNsxDialogRunner;

    TfrmAbout* frmAbout = nullptr;
    TFormEnterCorrNSX* FormEnterCorrNSX = nullptr;
    // The tool bar's action of StaticText1.
    QAction* FQueueCounterAction = nullptr;
    std::function<quint64(const TModbusCmdQuery&)> FQuerySink;
    std::function<bool(const QString&, TBaudRate)> FPortOpener;
    TPendingCommand FCommand;
    // A rate change being confirmed: the read at the new rate, then (when that fails) at the old one.
    enum class TRateCheck { None, NewRate, OldRate };
    TRateCheck FRateCheck = TRateCheck::None;
    // The rate and address of the change being confirmed, while the old rate is tried.
    TBaudRate FRateTried = CBR_9600;
    TModbusAddress FAddrTried = 1;
    // The failure of the last poll as panel 3 shows it; a good poll clears it.
    QString FPollFailure;
};
