// The program behind the main window of Tarvo_TS: the link to the transducer and the settings of the
// run, the window as the link sees it (TTsHost), as the pages see it (TPageContext) and as the
// connection policy sees it (TConnectionUi); the small windows and the three connection dialogs; the
// start-up sequence and the settings file at closing. The main window owns one; it fills the window's
// hooks, so the frame itself stays free of the link and the settings.
#pragma once

#include "Connection.h"
#include "DialogService.h"
#include "PageContext.h"
#include "ProgSettings.h"
#include "SchemeStyle.h"
#include "SerialPort.h"
#include "TsLink.h"

#include <memory>

class TfrmCOMChoice;
class TfrmConnect;
class TfrmIndStyle;
class TfrmMain;
class TfrmMessage;
class TfrmSettings;
class TfrmViewStatus;

// Where the program's files are.
struct TStartupFiles {
    QString ProgramFile;  // the full path of the program file
    QString SettingsFile; // empty: "Tarvo_TS.ini" by the location rule (beside the program, else the
                          // user's configuration folder)
};

class TMainHost final : public TTsHost, public TPageContext, public TConnectionUi {
public:
    // `port` null: the program's QSerialPort. Touches nothing of the window yet: the window builds its
    // pages with this host as their context, then calls Attach().
    TMainHost(TfrmMain& window, std::unique_ptr<ISerialPort> port);
    ~TMainHost() override;
    TMainHost(const TMainHost&) = delete;
    TMainHost& operator=(const TMainHost&) = delete;

    // Creates the progress window, the COM-port dialog and the message dialog, fills the window's hooks
    // and points its modified marks at DeviceData.
    void Attach();
    // Destroys the windows that refer to the pages (before the pages go).
    void DestroyWindows();

    // The start-up sequence, before the window is first shown: settings, colour scheme, the connection
    // the settings ask for, the indicator styles, the connect action, the pages, the tool bar, help.
    void Startup(const TStartupFiles& files);
    // The closing step after the questions about unsaved edits: the settings and the indicator styles
    // into the settings file. A file that cannot be written is left as it was; nothing else is lost.
    void SaveSettingsFile();
    // The settings file of the run (empty before Startup: nothing is written then).
    const QString& SettingsFile() const { return FSettingsFile; }

    // The file and colour dialogs and the error box (the program's own until a test puts in a script).
    void SetDialogService(TDialogService* dialogs) { FDialogs = dialogs ? dialogs : &FQtDialogs; }
    TDialogService& Dialogs() const { return *FDialogs; }
    TConnection& Connection() { return FConnection; }

    TfrmViewStatus* ViewStatus() const { return FViewStatus; }
    TfrmMessage* MessageWindow() const { return FMessage; }
    TfrmCOMChoice* ComChoice() const { return FComChoice; }
    TfrmConnect* ConnectDialog() const { return FConnect; }       // null until first shown
    TfrmSettings* SettingsDialog() const { return FSettingsDialog; } // null until first shown
    TfrmIndStyle* IndStyleWindow() const { return FIndStyle; }    // null until start-up or first shown

    // The commands of the window's actions.
    void ShowConnectDialog();
    void ShowComPortDialog();
    void ShowSettingsDialog();
    void ShowIndicatorStyles();
    void FindFirstDevice();

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
    void ShowSystemError(const QString& text) override;
    QColor HotTrackColor() const override;
    TInformationPage& Information() override;
    TConfigurationPage& Configuration() override;
    TCalibrationPage& Calibration() override;
    TDiagnosticPage& Diagnostics() override;

    // --- TConnectionUi ---
    TProgressView& Progress() override;
    bool ChoosePort() override;
    void AfterConnect() override;
    void ShowGeneralError(const QString& text) override;
    bool WindowClosed() const override { return FWindowClosed; }

private:
    void ApplyScheme();
    void CreateIndStyleWindow();

    TfrmMain& FWindow;
    TProgSettings FSettings;
    TTsLink FLink;
    TConnection FConnection;
    TQtDialogService FQtDialogs;
    TDialogService* FDialogs = &FQtDialogs;
    TSchemeStyle FStyle;
    QString FSettingsFile;
    bool FWindowClosed = false;

    TfrmViewStatus* FViewStatus = nullptr;
    TfrmMessage* FMessage = nullptr;
    TfrmCOMChoice* FComChoice = nullptr;
    TfrmConnect* FConnect = nullptr;
    TfrmSettings* FSettingsDialog = nullptr;
    TfrmIndStyle* FIndStyle = nullptr;
};
