#include "TsLink.h"

#include "LinkTexts.h"
#include "ModbusRtu.h"

#include <algorithm>
#include <array>
#include <cstring>

using namespace tarvo_ts;

namespace {

// The calibration read's InputTimeout goes back to this after every read.
constexpr int NormalInputTimeoutMs = 1000;

const std::array<TExchangeRow, ekCount> Rows = {{
    {"ReadInformation", &linktext::ReadingData, IdentReplyLength, IdentReplyLength, false, 0, true, 0,
     {}, {mtWarning, &linktext::DeviceNotFound}, {mtWarning, &linktext::DeviceNotFound}, true},
    {"WriteInformation", &linktext::WritingData, WriteReplyLength, WriteReplyLength, false,
     modbus::fnWriteMultipleRegisters, false, 0, {mtError, &linktext::InfoWriteRefused},
     {mtError, &linktext::NoReplyStop}, {mtError, &linktext::NoLinkExclamation}, false},
    {"ReadConfiguration", &linktext::ReadingData, ConfReplyLength, ConfReplyLength, false, 0, true, 0, {},
     {mtError, &linktext::NoReply}, {mtError, &linktext::NoLink}, false},
    {"WriteConfiguration", &linktext::WritingData, WriteReplyLength, WriteReplyLength, false,
     modbus::fnWriteMultipleRegisters, false, 0, {mtError, &linktext::ConfWriteRefused},
     {mtError, &linktext::NoReplyStop}, {mtError, &linktext::NoLinkStop}, false},
    {"CalibrationStep", &linktext::WritingData, CommandReplyLength, CommandReplyLength, true,
     modbus::fnOldCalibrationStep, false, 2000, {}, {mtError, &linktext::NoReplyStop},
     {mtError, &linktext::NoLinkStop}, false},
    {"R0Correction", nullptr, CommandReplyLength, CommandReplyLength, true, modbus::fnOldZeroCorrection,
     false, 0, {}, {mtError, &linktext::NoReply}, {mtError, &linktext::NoLink}, false},
    {"NsxCorrection", nullptr, CommandReplyLength, CommandReplyLength, true, modbus::fnOldNsxCorrection,
     false, 0, {}, {mtError, &linktext::NoReply}, {mtError, &linktext::NoLink}, false},
}};

} // namespace

const TExchangeRow& ExchangeRow(TExchangeKind kind) {
    return Rows[static_cast<std::size_t>(std::clamp<int>(kind, 0, ekCount - 1))];
}

TTsLink::TOperation::TOperation(TTsLink& link) : FLink(link) {
    FLink.FOperations.push_back(FLink.FPumpDepth);
    FLink.FDriver.HoldBackReceive();
}

TTsLink::TOperation::~TOperation() {
    FLink.FDriver.ReleaseReceive();
    FLink.FOperations.pop_back();
}

TTsLink::TTsLink(TTsHost& host, std::unique_ptr<ISerialPort> port) : FHost(host), FDriver(std::move(port)) {
    SetReceiveDataBound(true);
}

TTsLink::~TTsLink() {
    FDriver.OnReceiveData = nullptr;
}

bool TTsLink::CanStartExchange() const {
    return FOperations.empty() || FPumpDepth == FOperations.back();
}

void TTsLink::ProcessMessages() {
    ++FPumpDepth;
    FHost.ProcessMessages();
    --FPumpDepth;
}

int TTsLink::MessageDlg(const QString& text, int kind, int buttons) {
    ++FPumpDepth;
    const int result = FHost.MessageDialog().MessageDlg(text, kind, buttons);
    --FPumpDepth;
    return result;
}

int TTsLink::EnterValue(const QString& text, double& value, double initial) {
    ++FPumpDepth;
    const int result = FHost.MessageDialog().EnterValue(text, value, initial);
    --FPumpDepth;
    return result;
}

void TTsLink::RunModal(const std::function<void()>& modal) {
    ++FPumpDepth;
    if (modal)
        modal();
    --FPumpDepth;
}

void TTsLink::ShowExchangeMessage(const TExchangeMessage& message, int address) {
    if (!message.text)
        return;
    QString text = *message.text;
    if (text.contains(QLatin1String("%1")))
        text = text.arg(address);
    MessageDlg(text, message.kind, mbOK);
}

int TTsLink::ReadReply(const TExchangeRow& row, TExchangeBuffer& reply) {
    reply.fill(0);
    FDriver.WaitForInQueue(row.waitCount, ReplyWaitMs);
    if (row.readTimeoutMs <= 0)
        return FDriver.ReadInput(reply.data(), ReplyReadMax);
    FDriver.SetInputTimeout(row.readTimeoutMs);
    const int n = FDriver.ReadInput(reply.data(), ReplyReadMax);
    FDriver.SetInputTimeout(NormalInputTimeoutMs);
    return n;
}

TExchangeResult TTsLink::RunExchange(const TExchangeRow& row, const TRequest& request,
                                     const TExchangeHooks& hooks) {
    TExchangeResult result;
    if (!CanStartExchange())
        return result;
    if (request.length <= 0) {
        result.outcome = eoInvalid;
        return result;
    }
    TOperation operation(*this);

    if (row.statusText) {
        FHost.SetOperationText(*row.statusText);
        ProcessMessages();
    }
    FDriver.PurgeBuffers(true, true);

    const int repeatNum = FHost.RepeatNum();
    int attempt = 1;
    bool done = false;
    bool firstFrameFailed = false;
    if (!SendFrame(request, attempt)) {
        attempt = repeatNum + 2;
        firstFrameFailed = true;
    }
    int dropped = 0;
    while (!done && attempt <= repeatNum) {
        const int n = ReadReply(row, result.reply);
        TrafficPiece(result.reply.data(), n);
        const std::uint8_t function = result.reply[1];
        bool failed = false;
        if (n == 5 && row.fiveByteReply) {
            result.length = n;
            result.outcome = function == row.successFunction ? eoAnswered : eoRefused;
            result.code = result.reply[2];
            done = true;
            if (result.outcome == eoAnswered)
                TrafficEnd(traffic::TOutcome::Ok);
            else
                TrafficEnd(traffic::TOutcome::Exception, result.code);
        } else if (n == 5) {
            if (function & 0x80) {
                result.length = n;
                result.outcome = eoDeviceError;
                result.code = result.reply[2];
                done = true;
                TrafficEnd(traffic::TOutcome::Exception, result.code);
                // The search tries every address quietly, a device of another kind included.
                if (!row.identification || ReportConnectFailures)
                    ShowDeviceError(result.code);
            } else {
                TrafficEnd(traffic::TOutcome::Ignored);
                if (++dropped > MaxDroppedShortReplies)
                    failed = true;
                else
                    TrafficBegin(request, attempt, false); // the link reads on for the same request
            }
        } else if (n == row.replyLength) {
            result.length = n;
            done = true;
            if (row.successFunction == 0 || function == row.successFunction) {
                result.outcome = eoAnswered;
                TrafficEnd(traffic::TOutcome::Ok);
            } else {
                result.outcome = eoRefused;
                result.code = result.reply[2];
                TrafficEnd(traffic::TOutcome::WrongFunction);
                ShowExchangeMessage(row.refused, request.bytes[0]);
            }
        } else {
            TrafficEnd(n <= 0 ? traffic::TOutcome::NoReply : traffic::TOutcome::WrongLength);
            failed = true;
        }
        if (done && result.outcome == eoAnswered && hooks.answered)
            hooks.answered(std::span<const std::uint8_t>(result.reply.data(), std::size_t(n)));
        if (!failed)
            continue;
        dropped = 0;
        ++attempt;
        if (attempt <= repeatNum) {
            FHost.SetOperationText(linktext::RepeatRequest);
            ProcessMessages();
            FDriver.PurgeBuffers(row.purgeInputBeforeResend, true);
            if (!SendFrame(request, attempt))
                attempt = repeatNum + 2;
        }
    }
    TrafficEnd(traffic::TOutcome::NoReply); // a read begun for a request that is no longer awaited

    if (row.statusText)
        FHost.SetOperationText(QString());
    if (done)
        return result;

    result.outcome = attempt == repeatNum + 1 ? eoNoReply : eoNoLink;
    result.length = 0;
    const bool shown = !row.identification || (ReportConnectFailures && !firstFrameFailed);
    if (shown)
        ShowExchangeMessage(result.outcome == eoNoReply ? row.noReply : row.noLink, request.bytes[0]);
    if (hooks.beforeBreak)
        hooks.beforeBreak();
    BreakConnectionNow();
    return result;
}

TExchangeResult TTsLink::ReadInformation(int address) {
    if (!CanStartExchange())
        return {};
    TOperation operation(*this);
    TExchangeHooks hooks;
    hooks.answered = [&](std::span<const std::uint8_t> reply) {
        FHost.ShowLinkState();
        if (!DecodeIdentification(reply, address, DeviceData))
            MessageDlg(linktext::BadDate, mtError, mbOK);
        CopyInfoFields(StoredData, DeviceData);
        FHost.ShowInformation();
    };
    const TExchangeResult result =
        RunExchange(ExchangeRow(ekReadInformation), ReadInformationRequest(address), hooks);
    FHost.ShowLinkState();
    ReportConnectFailures = true;
    return result;
}

TExchangeResult TTsLink::WriteInformation() {
    TExchangeResult result;
    if (!CanStartExchange())
        return result;
    const TInfoWriteCheckResult check = CheckInformationWrite(DeviceData);
    if (check.check != iwOk) {
        MessageDlg(check.check == iwNoDate ? linktext::ForgotDate
                                           : linktext::UnencodableSensorType.arg(linktext::Quoted(check.characters)),
                   mtError, mbOK);
        result.outcome = eoInvalid;
        return result;
    }
    return RunExchange(ExchangeRow(ekWriteInformation), WriteInformationRequest(DeviceData));
}

TExchangeResult TTsLink::ReadConfiguration() {
    TExchangeResult result;
    if (!CanStartExchange())
        return result;
    if (!IsPortOpen()) {
        MessageDlg(linktext::NotConnected, mtInformation, mbOK);
        result.outcome = eoNotConnected;
        return result;
    }
    TExchangeHooks hooks;
    hooks.answered = [&](std::span<const std::uint8_t> reply) {
        DecodeConfiguration(reply, DeviceData);
        CopyConfFields(StoredData, DeviceData);
        FHost.ShowConfiguration();
    };
    return RunExchange(ExchangeRow(ekReadConfiguration), ReadConfigurationRequest(DeviceData.SlaveID), hooks);
}

TExchangeResult TTsLink::WriteConfiguration(int newSlaveID) {
    TExchangeResult result;
    if (!CanStartExchange())
        return result;
    result.outcome = eoInvalid;
    if (!IsPortOpen()) {
        MessageDlg(linktext::NotConnected, mtInformation, mbOK);
        result.outcome = eoNotConnected;
        return result;
    }
    const TConfWriteCheck check = CheckConfigurationWrite(DeviceData);
    if (check != cwOk) {
        MessageDlg(check == cwRangeInverted ? linktext::RangeInverted : linktext::RangeTooShort, mtError, mbOK);
        return result;
    }
    const TRequest request = WriteConfigurationRequest(DeviceData, newSlaveID);
    const int oldSlaveID = DeviceData.SlaveID;
    DeviceData.SlaveID = newSlaveID;
    result = RunExchange(ExchangeRow(ekWriteConfiguration), request);
    switch (result.outcome) {
    case eoAnswered:
        // The transducer answers at its new address from now on; undoing the page's edits at closing
        // must not take the program back to the old one.
        StoredData.SlaveID = newSlaveID;
        break;
    case eoRefused:
    case eoDeviceError:
        // The transducer refused the block: it kept its address.
        DeviceData.SlaveID = oldSlaveID;
        break;
    default:
        // No reply: whether the transducer took the block is unknown; the next request tries the new
        // address.
        break;
    }
    return result;
}

TExchangeOutcome TTsLink::SendOnce(const TRequest& request) {
    if (!CanStartExchange())
        return eoBusy;
    TOperation operation(*this);
    FDriver.PurgeBuffers(true, true);
    // Its record stays open until the reply is read (ReceiveOnce, the receive event) or the next frame
    // goes out.
    return SendFrame(request, 1) ? eoAnswered : eoNoLink;
}

int TTsLink::ReceiveOnce(TExchangeBuffer& reply, int waitCount, int max) {
    TOperation operation(*this);
    reply.fill(0);
    FDriver.WaitForInQueue(waitCount, ReplyWaitMs);
    const int n = FDriver.ReadInput(reply.data(), std::clamp(max, 0, ExchangeBufferSize));
    TrafficPiece(reply.data(), n);
    if (n <= 0)
        TrafficEnd(traffic::TOutcome::NoReply);
    else if (n == 5 && (reply[1] & 0x80))
        TrafficEnd(traffic::TOutcome::Exception, reply[2]);
    else
        TrafficEnd(n < waitCount ? traffic::TOutcome::WrongLength : traffic::TOutcome::Ok);
    return n;
}

void TTsLink::ShowDeviceError(std::uint8_t code) {
    const QString text = modbus::DeviceErrorText(code);
    if (!text.isEmpty())
        MessageDlg(text, mtError, mbOK);
}

void TTsLink::BreakConnection() {
    if (!CanStartExchange())
        return;
    BreakConnectionNow();
}

void TTsLink::BreakConnectionNow() {
    TOperation operation(*this);
    if (FHost.DiagnosticsRunning())
        FHost.StopDiagnostics();
    if (FHost.CalibrStep() != 0)
        FHost.CancelCalibration();
    FDriver.ClosePort();
    FHost.ShowLinkState();
    FHost.ClearDeviceFields();
    FHost.SetInfoModified(false);
    FHost.SetConfModified(false);
    FHost.SetConnectAction(linktext::ConnectCaption, linktext::ConnectImage);
}

void TTsLink::ReceivePollReply(const std::uint8_t* data, int size) {
    TOperation operation(*this);
    TExchangeBuffer reply{};
    const int copied = std::clamp(size, 0, 16);
    if (data && copied > 0)
        std::memcpy(reply.data(), data, std::size_t(copied));
    TrafficPiece(reply.data(), copied);
    if (copied < 2 || reply[1] != modbus::fnReadHoldingRegisters) {
        if (copied == 5 && (reply[1] & 0x80))
            TrafficEnd(traffic::TOutcome::Exception, reply[2]);
        else
            TrafficEnd(traffic::TOutcome::WrongFunction);
        return;
    }
    if (copied < MeasReplyLength) {
        const int missing = MeasReplyLength - copied;
        const int more = FDriver.ReadInput(reply.data() + copied, missing);
        TrafficPiece(reply.data() + copied, more);
        if (more < missing) {
            TrafficEnd(traffic::TOutcome::WrongLength);
            return;
        }
    }
    TrafficEnd(traffic::TOutcome::Ok);
    FHost.ShowPollReply(std::span<const std::uint8_t>(reply.data(), MeasReplyLength));
}

void TTsLink::SetReceiveDataBound(bool bound) {
    if (bound)
        FDriver.OnReceiveData = [this](TCommPortDriver*, const std::uint8_t* data, int size) {
            ReceivePollReply(data, size);
        };
    else
        FDriver.OnReceiveData = nullptr;
}

bool TTsLink::ReceiveDataBound() const {
    return bool(FDriver.OnReceiveData);
}

void TTsLink::TrafficBegin(const tarvo_ts::TRequest& request, int attempt, bool send) {
    TrafficEnd(traffic::TOutcome::NoReply); // one still open was not answered
    if (!FTrafficTap.Active() || request.length < 2)
        return;
    FTraffic.emplace(&FTrafficTap, traffic::TGeneration::Older, FDriver.PortName(), TCommPortDriver::BaudRateValue,
                     std::uint8_t(std::clamp(attempt, 1, 255)));
    FTraffic->Query(request.bytes[0], request.bytes[1]);
    if (!send)
        FTraffic->ReadOn(FLastSentUs);
}

bool TTsLink::SendFrame(const tarvo_ts::TRequest& request, int attempt) {
    TrafficBegin(request, attempt);
    const int written = FDriver.SendOutput(request.bytes.data(), request.length);
    if (FTraffic) {
        FTraffic->Sent(request.bytes.data(), std::max(written, 0));
        FLastSentUs = FTraffic->Exchange().sentUs;
    }
    if (written < request.length) {
        TrafficEnd(traffic::TOutcome::PortError);
        return false;
    }
    return true;
}

void TTsLink::TrafficPiece(const std::uint8_t* bytes, int n) {
    if (FTraffic)
        FTraffic->Piece(bytes, n);
}

void TTsLink::TrafficEnd(traffic::TOutcome outcome, std::uint8_t code) {
    if (!FTraffic)
        return;
    FTraffic->Finish(outcome, code);
    FTraffic.reset();
}
