// The program behind the main window of Tarvo_TS: the link to the transducer and the settings of the
// run, the window as the link sees it (TTsHost) and as the pages see it (TPageContext). The main window
// owns one; it fills the window's hooks, so the frame itself stays free of the link and the settings.
#pragma once

#include "PageContext.h"
#include "ProgSettings.h"
#include "SerialPort.h"
#include "TsLink.h"

#include <memory>

class TfrmMain;

class TMainHost final : public TTsHost, public TPageContext {
public:
    // `port` null: the program's QSerialPort. Touches nothing of the window yet: the window builds its
    // pages with this host as their context, then calls Attach().
    TMainHost(TfrmMain& window, std::unique_ptr<ISerialPort> port);
    ~TMainHost() override;
    TMainHost(const TMainHost&) = delete;
    TMainHost& operator=(const TMainHost&) = delete;

    // Fills the window's hooks and points its modified marks at DeviceData.
    void Attach();

    // --- TTsHost ---
    TMessageDialog& MessageDialog() override;
    void ProcessMessages() override;
    void SetOperationText(const QString& text) override;
    void ShowLinkState() override;
    void ShowInformation() override;
    void ShowConfiguration() override;
    void ClearDeviceFields() override;
    void SetInfoModified(bool modified) override;
    void SetConfModified(bool modified) override;
    void SetConnectAction(const QString& captionAndHint, int imageIndex) override;
    int RepeatNum() const override;
    bool DiagnosticsRunning() const override;
    void StopDiagnostics() override;
    int CalibrStep() const override;
    void CancelCalibration() override;
    void ShowPollReply(std::span<const std::uint8_t> reply) override;

    // --- TPageContext ---
    TTsLink& Link() override { return FLink; }
    TProgSettings& Settings() override { return FSettings; }
    bool EnsureConnected() override;
    QWidget* MainWindow() override;
    QColor HotTrackColor() const override;
    TInformationPage& Information() override;
    TConfigurationPage& Configuration() override;
    TCalibrationPage& Calibration() override;
    TDiagnosticPage& Diagnostics() override;

private:
    TfrmMain& FWindow;
    TProgSettings FSettings;
    TTsLink FLink;
    QColor FHotTrack;
};
