// What a page of the main window reaches of the program: the link with its exchanges and the
// transducer record, the settings, the status bar's modified marks and operation panel, the offer to
// connect, and its sibling pages. The main window's host implements it; a page keeps a reference.
#pragma once

#include "MessageDlg.h"
#include "ProgSettings.h"
#include "TsLink.h"

#include <QColor>
#include <QString>

class QWidget;
class TCalibrationPage;
class TConfigurationPage;
class TDiagnosticPage;
class TInformationPage;

class TPageContext {
public:
    virtual ~TPageContext() = default;

    // The link: the exchanges (ReadInformation, WriteInformation, ReadConfiguration, WriteConfiguration,
    // RunExchange with a row of ExchangeRow, SendOnce/ReceiveOnce), DeviceData and StoredData,
    // BreakConnection, CanStartExchange and the driver.
    virtual TTsLink& Link() = 0;
    // The settings record of the run (RepeatNum, DefaultSlaveID, ...); written to the file at closing.
    virtual TProgSettings& Settings() = 0;

    // The modified marks (DeviceData.InfoModified / ConfModified) with "Mod" in status panel 2.
    virtual void SetInfoModified(bool modified) = 0;
    virtual void SetConfModified(bool modified) = 0;
    // Status panel 3: the running operation ("Режим диагностики", ...); empty when idle.
    virtual void SetOperationText(const QString& text) = 0;
    // Status panels 0 to 2 from the state of the port.
    virtual void ShowLinkState() = 0;
    // True when connected; otherwise offers to connect and says whether that worked.
    virtual bool EnsureConnected() = 0;

    // The main window: parent of the system message box and of any window a page opens.
    virtual QWidget* MainWindow() = 0;
    // The system's own message box with the error icon, an OK button and the application title as
    // caption (the one message that does not go through the program's message dialog). Shown as the
    // message dialog is: nothing handled while it shows starts an exchange.
    virtual void ShowSystemError(const QString& text) = 0;
    // The colour scheme's hot-track colour (labels under the mouse).
    virtual QColor HotTrackColor() const = 0;

    // The four pages (valid once the main window is built).
    virtual TInformationPage& Information() = 0;
    virtual TConfigurationPage& Configuration() = 0;
    virtual TCalibrationPage& Calibration() = 0;
    virtual TDiagnosticPage& Diagnostics() = 0;

    // Shorthands. Messages and event processing go through the link so that an event handled inside
    // a running exchange cannot start another one.
    TTarvo& DeviceData() { return Link().DeviceData; }
    TTarvo& StoredData() { return Link().StoredData; }
    bool IsPortOpen() { return Link().IsPortOpen(); }
    int MessageDlg(const QString& text, int kind, int buttons) { return Link().MessageDlg(text, kind, buttons); }
    int EnterValue(const QString& text, double& value, double initial) {
        return Link().EnterValue(text, value, initial);
    }
    void ProcessMessages() { Link().ProcessMessages(); }
};
