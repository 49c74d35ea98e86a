#include "DiagnosticsRules.h"

#include "FieldworkTexts.h"

#include <QLocale>
#include <cmath>

namespace fieldwork {

void StartPolling(TPollState& state) {
    state.PollAttempt = 1;
    state.PollReplyPending = false;
}

TPollStep NextPoll(TPollState& state, int repeatNum) {
    TPollStep step;
    if (state.PollReplyPending) {
        ++state.PollAttempt;
        step.showRepeat = state.PollAttempt > 1;
        if (state.PollAttempt > repeatNum) {
            step.giveUp = true;
            return step;
        }
    }
    step.showDiagnosticsMode = state.PollAttempt == 1;
    state.PollReplyPending = true;
    return step;
}

void PollAnswered(TPollState& state) {
    state.PollReplyPending = false;
    state.PollAttempt = 1;
}

TPollView JudgePollReply(std::span<const std::uint8_t> reply) {
    TPollView view;
    if (reply.size() < std::size_t(tarvo_ts::MeasReplyLength))
        return view;
    const tarvo_ts::TMeasurement m = tarvo_ts::DecodeMeasurement(reply);
    view.code = m.DiagCode;
    switch (m.DiagCode) {
    case 0:
        view.diagText = fieldtext::DiagOk;
        view.values = vsNumbers;
        view.temperature = m.Temperature;
        view.resistance = m.Resistance;
        break;
    case 3:
        view.diagText = fieldtext::DiagSensor;
        view.values = vsNoValue;
        break;
    case 1:
        view.diagText = fieldtext::DiagAdc;
        break;
    case 2:
        view.diagText = fieldtext::DiagEeprom;
        break;
    default:
        break;
    }
    view.stopDiagnostics = m.DiagCode != 0 && m.DiagCode != 3;
    view.refreshDate = !view.stopDiagnostics;
    if (view.refreshDate)
        view.date = m.CalibrDate;
    return view;
}

std::optional<std::optional<QDate>> JudgeDateReply(std::span<const std::uint8_t> reply, int length) {
    if (length != tarvo_ts::MeasReplyLength || reply.size() < std::size_t(length) || reply[1] != 3)
        return std::nullopt;
    return tarvo_ts::DecodeMeasurement(reply).CalibrDate;
}

QString TemperatureText(double temperature) {
    return QLocale().toString(temperature, 'f', 1);
}

QString ResistanceText(double resistance) {
    return QLocale().toString(resistance, 'f', 2);
}

std::optional<double> ShownNumber(const QString& shown) {
    bool ok = false;
    const double v = QLocale().toDouble(shown.trimmed(), &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

TR0Answer JudgeR0Reply(bool acknowledged, std::uint8_t code) {
    if (acknowledged)
        return r0Done;
    switch (code) {
    case 12:
        return r0TooFarFromZero;
    case 13:
        return r0AlreadyDone;
    default:
        return r0Refused;
    }
}

TNsxAnswer JudgeNsxReply(bool acknowledged, std::uint8_t code) {
    if (acknowledged)
        return nsxDone;
    switch (code) {
    case 1:
    case 14:
        return nsxAlreadyDone;
    case 15:
        return nsxTooNearZero;
    case 16:
        return nsxTooDifferent;
    default:
        return nsxRefused;
    }
}

QString R0RefusalText(TR0Answer answer) {
    switch (answer) {
    case r0TooFarFromZero:
        return fieldtext::R0TooFar;
    case r0Refused:
        return fieldtext::CannotExecute;
    default:
        return {};
    }
}

QString NsxRefusalText(TNsxAnswer answer) {
    switch (answer) {
    case nsxTooNearZero:
        return fieldtext::NsxTooNear;
    case nsxTooDifferent:
        return fieldtext::NsxTooDifferent;
    case nsxRefused:
        return fieldtext::CannotExecute;
    default:
        return {};
    }
}

} // namespace fieldwork
