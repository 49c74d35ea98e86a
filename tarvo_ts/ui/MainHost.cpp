#include "MainHost.h"

#include "ColorScheme.h"
#include "ConnectionTexts.h"
#include "Help.h"
#include "IndStyle.h"
#include "LinkTexts.h"
#include "ProgramFiles.h"
#include "TCalibrationPage.h"
#include "TConfigurationPage.h"
#include "TDiagnosticPage.h"
#include "TInformationPage.h"
#include "TfrmCOMChoice.h"
#include "TfrmConnect.h"
#include "TfrmIndStyle.h"
#include "TfrmMain.h"
#include "TfrmMessage.h"
#include "TfrmSettings.h"
#include "TfrmViewStatus.h"

#include <QApplication>
#include <QTabWidget>
#include <QtDebug>

TMainHost::TMainHost(TfrmMain& window, std::unique_ptr<ISerialPort> port)
    : FWindow(window), FLink(*this, std::move(port)), FConnection(FLink, *this, *this, FSettings) {
    FStyle.HotTrack = ColorFromTColor(TKvControlColors{}.HotTrack, QApplication::palette());
}

TMainHost::~TMainHost() = default;

void TMainHost::Attach() {
    FViewStatus = new TfrmViewStatus(&FWindow);
    FComChoice = new TfrmCOMChoice(FConnection, FLink, &FWindow);
    FMessage = new TfrmMessage(&FWindow);
    FWindow.SetProgressWindow(FViewStatus);
    FWindow.SetMessageWindow(FMessage);
    FWindow.SetMessageDialog(FMessage);
    FMessage->SetBeforeShow([this] { FWindow.ApplyFormColors(); });

    FWindow.SetModifiedMarks(&FLink.DeviceData.InfoModified, &FLink.DeviceData.ConfModified);
    TfrmMain::THooks& h = FWindow.Hooks();
    h.IsPortOpen = [this] { return FLink.IsPortOpen(); };
    h.PortName = [this] { return FLink.Driver().PortName(); };
    h.BreakConnection = [this] { FLink.BreakConnection(); };
    h.ShowSettingsDialog = [this] { ShowSettingsDialog(); };
    h.ShowConnectDialog = [this] { ShowConnectDialog(); };
    h.ShowComPortDialog = [this] { ShowComPortDialog(); };
    h.FindFirstDevice = [this] { FindFirstDevice(); };
    h.ShowIndicatorStyles = [this] { ShowIndicatorStyles(); };
    h.ToolBarShownChanged = [this](bool shown) { FSettings.ViewToolBar = shown; };
    h.SaveSettings = [this] { SaveSettingsFile(); };
    h.WriteInformation = [this] { Information().WriteInformation(); };
    h.RestoreInformation = [this] {
        CopyInfoFields(FLink.DeviceData, FLink.StoredData);
        ShowInformation();
    };
    h.WriteConfiguration = [this] { Configuration().WriteConfiguration(); };
    h.RestoreConfiguration = [this] {
        CopyConfFields(FLink.DeviceData, FLink.StoredData);
        ShowConfiguration();
    };
}

void TMainHost::DestroyWindows() {
    delete FIndStyle;
    FIndStyle = nullptr;
}

// --- Start-up and closing ---

void TMainHost::Startup(const TStartupFiles& files) {
    // 1. The program's folder and name; diagnostics are not running.
    const TProgramPath path = SplitProgramPath(files.ProgramFile);
    FSettings.ProgDir = path.ProgDir;
    FSettings.ExeName = path.ExeName;
    if (DiagnosticsRunning())
        StopDiagnostics();

    // 2. The settings; the port set by name, the address in use.
    FSettingsFile = files.SettingsFile.isEmpty() ? SettingsFilePath(FSettings.ProgDir) : files.SettingsFile;
    const TIniFile ini(FSettingsFile);
    LoadSettings(ini, FSettings);
    FLink.Driver().SetPortName(StartupPortName(FSettings));
    FLink.DeviceData.SlaveID = FSettings.DefaultSlaveID;

    // 3. The progress window and the message dialog exist since the window was built.
    // 4. The colour scheme.
    ApplyScheme();
    // 5. The connection the settings ask for.
    FConnection.StartupConnection();
    // 6. The indicator styles (their window is created with them).
    CreateIndStyleWindow();
    LoadIndicatorStyles(ini, Diagnostics().indT, Diagnostics().indR, Diagnostics().indCalibrDate);
    // 7. The connect action; the address of a connection made is the one to keep.
    if (FLink.IsPortOpen()) {
        SetConnectAction(conntext::DisconnectCaption, conntext::DisconnectImage);
        FSettings.DefaultSlaveID = static_cast<quint8>(FLink.DeviceData.SlaveID & 0xFF);
    } else {
        SetConnectAction(linktext::ConnectCaption, linktext::ConnectImage);
    }
    // 8. The information page, no edits, the status bar.
    FWindow.MainPageCtrl->setCurrentWidget(FWindow.tsInformation);
    SetInfoModified(false);
    SetConfModified(false);
    ShowLinkState();
    // 9. The tool bar.
    if (!FSettings.ViewToolBar)
        FWindow.SetToolBarShown(false);
    // 10. The help file beside the program.
    SetApplicationHelpFile(HelpFileFor(files.ProgramFile));
}

void TMainHost::ApplyScheme() {
    const QPalette system = QApplication::palette();
    const TAppliedScheme scheme = ApplyColorScheme(ColorSchemePath(FSettings.ProgDir, FSettings.ColorShema), system);
    // A scheme that cannot be used is said once; the program goes on with the built-in look, so that
    // nothing later in the start-up (the indicator styles above all) is skipped.
    if (scheme.Load.Error != TSchemeError::None)
        FDialogs->ShowError(nullptr, SchemeErrorText(scheme.Load));
    FSettings.ColorShema = scheme.ColorShema;
    FStyle = BuildSchemeStyle(scheme.Manager, scheme.FormColor, system);
    ApplySchemeStyle(FStyle);
}

void TMainHost::CreateIndStyleWindow() {
    if (!FIndStyle)
        FIndStyle = new TfrmIndStyle(Diagnostics().indT, Diagnostics().indR, Diagnostics().indCalibrDate,
                                     FDialogs, &FWindow);
}

void TMainHost::SaveSettingsFile() {
    // A search still running ends with the window.
    FWindowClosed = true;
    if (FSettingsFile.isEmpty())
        return;
    TIniFile ini(FSettingsFile);
    SaveSettings(ini, FSettings, FLink.DeviceData.SlaveID, FLink.Driver().PortName());
    SaveIndicatorStyles(ini, Diagnostics().indT, Diagnostics().indR, Diagnostics().indCalibrDate);
    const TIniError error = ini.Save();
    if (error != TIniError::None)
        qWarning().noquote() << IniErrorText(error, FSettingsFile);
}

// --- The actions' commands ---
// None of them starts while a connection, a search or an exchange runs (they come from an event
// processed inside it).

void TMainHost::ShowConnectDialog() {
    if (!FLink.CanStartExchange())
        return;
    if (!FConnect)
        FConnect = new TfrmConnect(FConnection, FLink, &FWindow);
    FConnect->exec();
}

void TMainHost::ShowComPortDialog() {
    if (!FLink.CanStartExchange())
        return;
    FComChoice->Choose();
}

void TMainHost::ShowSettingsDialog() {
    if (!FLink.CanStartExchange())
        return;
    if (!FSettingsDialog)
        FSettingsDialog = new TfrmSettings(FConnection, FLink, FSettings, &FWindow);
    FSettingsDialog->exec();
}

void TMainHost::ShowIndicatorStyles() {
    CreateIndStyleWindow();
    FIndStyle->show();
    FIndStyle->raise();
    FIndStyle->activateWindow();
}

void TMainHost::FindFirstDevice() {
    FConnection.FindFirstDevice();
}

// --- TTsHost ---

TMessageDialog& TMainHost::MessageDialog() {
    return FWindow.Messages();
}

void TMainHost::ProcessMessages() {
    QCoreApplication::processEvents();
}

void TMainHost::SetOperationText(const QString& text) {
    FWindow.ShowOperation(text);
}

void TMainHost::ShowLinkState() {
    FWindow.ShowLinkState();
}

void TMainHost::ShowInformation() {
    Information().ShowInformation();
}

void TMainHost::ShowConfiguration() {
    Configuration().ShowConfiguration();
}

void TMainHost::ClearDeviceFields() {
    Information().ClearFields();
    Configuration().ClearFields();
    if (CalibrStep() != 0)
        CancelCalibration();
    if (DiagnosticsRunning())
        StopDiagnostics();
    Diagnostics().ClearIndicators();
}

void TMainHost::SetInfoModified(bool modified) {
    FWindow.SetInfoModified(modified);
}

void TMainHost::SetConfModified(bool modified) {
    FWindow.SetConfModified(modified);
}

void TMainHost::SetConnectAction(const QString& captionAndHint, int imageIndex) {
    FWindow.SetConnectAction(captionAndHint, imageIndex);
}

int TMainHost::RepeatNum() const {
    return FSettings.RepeatNum;
}

bool TMainHost::DiagnosticsRunning() const {
    return FWindow.tsDiagnostic->DiagnosticsRunning();
}

void TMainHost::StopDiagnostics() {
    Diagnostics().StopDiagnostics();
}

int TMainHost::CalibrStep() const {
    return FWindow.tsCalobration->CalibrStep();
}

void TMainHost::CancelCalibration() {
    Calibration().CancelCalibration();
}

void TMainHost::ShowPollReply(std::span<const std::uint8_t> reply) {
    Diagnostics().ShowPollReply(reply);
}

// --- TPageContext ---

bool TMainHost::EnsureConnected() {
    return FConnection.EnsureConnected();
}

QWidget* TMainHost::MainWindow() {
    return &FWindow;
}

void TMainHost::ShowSystemError(const QString& text) {
    FLink.RunModal([&] { FDialogs->ShowError(&FWindow, text); });
}

QColor TMainHost::HotTrackColor() const {
    return FStyle.HotTrack;
}

TInformationPage& TMainHost::Information() {
    return *FWindow.tsInformation;
}

TConfigurationPage& TMainHost::Configuration() {
    return *FWindow.tsConfiguration;
}

TCalibrationPage& TMainHost::Calibration() {
    return *FWindow.tsCalobration;
}

TDiagnosticPage& TMainHost::Diagnostics() {
    return *FWindow.tsDiagnostic;
}

// --- TConnectionUi ---

TProgressView& TMainHost::Progress() {
    return *FViewStatus;
}

bool TMainHost::ChoosePort() {
    return FComChoice->Choose();
}

void TMainHost::AfterConnect() {
    Diagnostics().ReadCalibrationDate();
    Calibration().ClearStage();
    Diagnostics().ClearDiagInfo();
}

void TMainHost::ShowGeneralError(const QString& text) {
    FDialogs->ShowError(QApplication::activeModalWidget() ? QApplication::activeModalWidget() : &FWindow, text);
}
