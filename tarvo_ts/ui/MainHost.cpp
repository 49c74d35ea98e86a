#include "MainHost.h"

#include "TCalibrationPage.h"
#include "TConfigurationPage.h"
#include "TDiagnosticPage.h"
#include "TInformationPage.h"
#include "TfrmMain.h"

#include <QCoreApplication>

TMainHost::TMainHost(TfrmMain& window, std::unique_ptr<ISerialPort> port)
    : FWindow(window), FLink(*this, std::move(port)), FHotTrack(0x00, 0x00, 0xCE) {}

TMainHost::~TMainHost() = default;

void TMainHost::Attach() {
    FWindow.SetModifiedMarks(&FLink.DeviceData.InfoModified, &FLink.DeviceData.ConfModified);
    TfrmMain::THooks& h = FWindow.Hooks();
    h.IsPortOpen = [this] { return FLink.IsPortOpen(); };
    h.PortName = [this] { return FLink.Driver().PortName(); };
    h.BreakConnection = [this] { FLink.BreakConnection(); };
    h.ToolBarShownChanged = [this](bool shown) { FSettings.ViewToolBar = shown; };
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
    return FLink.IsPortOpen();
}

QWidget* TMainHost::MainWindow() {
    return &FWindow;
}

QColor TMainHost::HotTrackColor() const {
    return FHotTrack;
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
