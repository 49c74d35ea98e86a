#include "ScriptedHost.h"

int TScriptedMessageDialog::MessageDlg(const QString& text, int kind, int buttons) {
    const TShown s{text, kind, buttons};
    shown << s;
    if (observer)
        observer(s);
    if (whileShown)
        whileShown();
    if (!answers.empty()) {
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
    if (buttons & mbOK)
        return mrOk;
    if (buttons & mbYes)
        return mrYes;
    if (buttons & mbNo)
        return mrNo;
    return mrNone;
}

int TScriptedMessageDialog::EnterValue(const QString& text, double& value, double initial) {
    shown << TShown{text, -1, mbYes | mbNo};
    value = initial;
    if (!values.empty()) {
        value = values.front();
        values.pop_front();
    }
    if (!answers.empty()) {
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
    return mrYes;
}

QStringList TScriptedMessageDialog::Texts() const {
    QStringList t;
    for (const TShown& s : shown)
        t << s.text;
    return t;
}

TRecordingHost::TRecordingHost() {
    dialog.observer = [this](const TScriptedMessageDialog::TShown& s) {
        log << QStringLiteral("msg:%1:%2").arg(s.kind).arg(s.text);
    };
}

QStringList TRecordingHost::Lines(const QString& prefix) const {
    QStringList lines;
    for (const QString& l : log)
        if (l.startsWith(prefix))
            lines << l;
    return lines;
}

void TRecordingHost::ProcessMessages() {
    ++pumps;
    log << QStringLiteral("pump");
    if (onPump)
        onPump();
}

void TRecordingHost::SetOperationText(const QString& text) {
    operationText = text;
    log << QStringLiteral("op:") + text;
}

void TRecordingHost::SetConnectAction(const QString& caption, int image) {
    log << QStringLiteral("action:%1:%2").arg(caption).arg(image);
}

void TRecordingHost::StopDiagnostics() {
    log << QStringLiteral("stopDiag");
    diagnosticsRunning = false;
    if (onStopDiagnostics)
        onStopDiagnostics();
}

void TRecordingHost::CancelCalibration() {
    log << QStringLiteral("cancelCalibr");
    if (onCancelCalibration)
        onCancelCalibration();
}

void TRecordingHost::ShowPollReply(std::span<const std::uint8_t> reply) {
    const QByteArray bytes(reinterpret_cast<const char*>(reply.data()), qsizetype(reply.size()));
    pollReplies << bytes;
    log << QStringLiteral("poll:") + QString::fromLatin1(bytes.toHex());
}

TExchangeResult RunExchangeOfKind(TTsLink& link, TExchangeKind kind, int parameter) {
    using namespace tarvo_ts;
    const int address = link.DeviceData.SlaveID;
    switch (kind) {
    case ekReadInformation:
        return link.ReadInformation(address);
    case ekWriteInformation:
        return link.WriteInformation();
    case ekReadConfiguration:
        return link.ReadConfiguration();
    case ekWriteConfiguration:
        return link.WriteConfiguration(parameter > 0 ? (parameter - 1) % 247 + 1 : address);
    case ekCalibrationStep:
        return link.RunExchange(ExchangeRow(kind), CalibrationStepRequest(address, parameter % 8, 4000, QDate(2024, 1, 1)));
    case ekR0Correction:
        return link.RunExchange(ExchangeRow(kind), R0CorrectionRequest(address, parameter % 2 != 0));
    case ekNsxCorrection:
        return link.RunExchange(ExchangeRow(kind), NsxCorrectionRequest(address, parameter, -12.3));
    default:
        return {};
    }
}
