// A scripted message dialog and a recording window for the link of Tarvo_TS: every call the link makes
// lands, in order, in one log that tests compare with the expected sequence.
#pragma once

#include "MessageDlg.h"
#include "TsLink.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>

// Records every message and answers by script (nothing scripted: the first offered of OK, Yes, No).
class TScriptedMessageDialog final : public TMessageDialog {
public:
    struct TShown {
        QString text;
        int kind;
        int buttons;
    };
    QList<TShown> shown;
    std::deque<int> answers;
    std::deque<double> values;
    // Runs while a message is shown (the events its modal loop would process).
    std::function<void()> whileShown;
    // Also told of every message (the host's log).
    std::function<void(const TShown&)> observer;

    int MessageDlg(const QString& text, int kind, int buttons) override;
    int EnterValue(const QString& text, double& value, double initial) override;
    QStringList Texts() const;
};

// The window as the link sees it. `log` holds one line per call:
//   "op:<text>" (fourth panel), "pump", "msg:<kind>:<text>", "linkState", "showInfo", "showConf",
//   "clear", "infoMod:<0|1>", "confMod:<0|1>", "action:<caption>:<image>", "stopDiag", "cancelCalibr",
//   "poll:<hex>".
class TRecordingHost : public TTsHost {
public:
    TRecordingHost();

    QStringList log;
    TScriptedMessageDialog dialog;
    int repeatNum = 2;
    bool diagnosticsRunning = false;
    int calibrStep = 0;
    int pumps = 0;
    QString operationText;
    // Runs at every pump (the user actions and timers the window would handle there).
    std::function<void()> onPump;
    std::function<void()> onCancelCalibration;
    std::function<void()> onStopDiagnostics;
    QList<QByteArray> pollReplies;

    // The log lines that start with `prefix`.
    QStringList Lines(const QString& prefix) const;

    TMessageDialog& MessageDialog() override { return dialog; }
    void ProcessMessages() override;
    void SetOperationText(const QString& text) override;
    void ShowLinkState() override { log << QStringLiteral("linkState"); }
    void ShowInformation() override { log << QStringLiteral("showInfo"); }
    void ShowConfiguration() override { log << QStringLiteral("showConf"); }
    void ClearDeviceFields() override { log << QStringLiteral("clear"); }
    void SetInfoModified(bool m) override { log << QStringLiteral("infoMod:%1").arg(int(m)); }
    void SetConfModified(bool m) override { log << QStringLiteral("confMod:%1").arg(int(m)); }
    void SetConnectAction(const QString& caption, int image) override;
    int RepeatNum() const override { return repeatNum; }
    bool DiagnosticsRunning() const override { return diagnosticsRunning; }
    void StopDiagnostics() override;
    int CalibrStep() const override { return calibrStep; }
    void CancelCalibration() override;
    void ShowPollReply(std::span<const std::uint8_t> reply) override;
};

// Runs the exchange of `kind` at DeviceData's address, `parameter` being its one variable: the new
// address of a configuration write (0: the address in use), the calibration step (0 to 7; 4.000 mA,
// 01.01.2024), the R0 flag (odd: perform), the NSX mode (with -12.3 degrees).
TExchangeResult RunExchangeOfKind(TTsLink& link, TExchangeKind kind, int parameter);
