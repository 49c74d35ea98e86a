// The link of Tarvo_TS to one older transducer: the synchronous exchanges with their attempts, the
// device error texts, leaving the connected state and the assembly of diagnostics poll replies. Runs on
// the window thread; the window is reached only through TTsHost.
#pragma once

#include "CommPortDriver.h"
#include "Configuration.h"
#include "MessageDlg.h"
#include "Tarvo.h"
#include "TarvoBlocks.h"
#include "TrafficExchange.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

// What the window provides to the link. The window implements it; tests record it.
class TTsHost {
public:
    virtual ~TTsHost() = default;

    virtual TMessageDialog& MessageDialog() = 0;
    // Lets the window process pending events (user actions and timers).
    virtual void ProcessMessages() = 0;
    // The fourth status panel (the running operation); empty when idle.
    virtual void SetOperationText(const QString& text) = 0;
    // Panels 0 to 2 from the state of the port.
    virtual void ShowLinkState() = 0;
    // DeviceData onto the information page and the configuration page.
    virtual void ShowInformation() = 0;
    virtual void ShowConfiguration() = 0;
    // Empties both pages and the indicators.
    virtual void ClearDeviceFields() = 0;
    virtual void SetInfoModified(bool modified) = 0;
    virtual void SetConfModified(bool modified) = 0;
    // Caption and hint, and image number, of the connect action.
    virtual void SetConnectAction(const QString& captionAndHint, int imageIndex) = 0;
    // Attempts of every exchange (the settings' RepeatNum).
    virtual int RepeatNum() const = 0;

    // Hooks of the diagnostics and calibration pages.
    virtual bool DiagnosticsRunning() const { return false; }
    virtual void StopDiagnostics() {}
    virtual int CalibrStep() const { return 0; }
    virtual void CancelCalibration() {}
    // A complete 15-byte poll reply (function 3, registers 0x0020 to 0x0024).
    virtual void ShowPollReply(std::span<const std::uint8_t> reply) { (void)reply; }
};

// How an exchange ended.
enum TExchangeOutcome : int {
    eoAnswered,     // a reply of the exchange's length passed its test (a command: acknowledged)
    eoRefused,      // a reply of the length failed its test (a command: refused, `code` = byte 2)
    eoDeviceError,  // a 5-byte exception reply; `code` = its exception code
    eoNoReply,      // no reply of the length within RepeatNum attempts; link closed
    eoNoLink,       // a frame not written whole; link closed
    eoNotConnected, // the port was closed; "Соединение не установлено" shown, nothing sent
    eoInvalid,      // a check before the exchange failed (its message shown), nothing sent
    eoBusy,         // another exchange runs: nothing done, nothing shown
};

struct TExchangeResult {
    TExchangeOutcome outcome = eoBusy;
    TExchangeBuffer reply{};
    int length = 0;         // bytes of the reply judged
    std::uint8_t code = 0;  // eoDeviceError, eoRefused: reply byte 2
    bool answered() const { return outcome == eoAnswered; }
};

// A message of an exchange: its kind (TMsgDlgType) and text; no text: nothing is shown.
struct TExchangeMessage {
    int kind = mtError;
    const QString* text = nullptr;
};

// One exchange of the pattern every transaction goes through.
struct TExchangeRow {
    const char* name;
    // Status text set (and the window's events processed) before the frame goes out, and emptied at the
    // end; none for the commands of the diagnostics page, whose operations set their own texts.
    const QString* statusText;
    int waitCount;   // bytes awaited before the read
    int replyLength; // the reply's length
    // Every 5-byte reply is this exchange's own (the commands): no exception-reply rule.
    bool fiveByteReply;
    // 0: any reply of the length succeeds; else byte 1 must equal it (otherwise refused).
    std::uint8_t successFunction;
    // Queues purged before a resend: output always, input when set.
    bool purgeInputBeforeResend;
    // 0: the driver's InputTimeout; else InputTimeout is this around every read and 1000 right after.
    int readTimeoutMs;
    TExchangeMessage refused;
    TExchangeMessage noReply;
    TExchangeMessage noLink;
    // Identification: no-reply and no-link messages only while ReportConnectFailures is set, and none
    // at all when the first frame is not written whole.
    bool identification;
};

enum TExchangeKind : int {
    ekReadInformation,
    ekWriteInformation,
    ekReadConfiguration,
    ekWriteConfiguration,
    ekCalibrationStep,
    ekR0Correction,
    ekNsxCorrection,
    ekCount
};
const TExchangeRow& ExchangeRow(TExchangeKind kind);

// Callbacks of one exchange.
struct TExchangeHooks {
    // On the reply that passed the test, before the status panel is emptied.
    std::function<void(std::span<const std::uint8_t> reply)> answered;
    // After the no-reply or no-link message, right before BreakConnection.
    std::function<void()> beforeBreak;
};

// At most this many 5-byte replies without the exception bit are dropped within one attempt; one more
// counts as a failed attempt, so that a line that keeps sending such frames cannot hold the window.
constexpr int MaxDroppedShortReplies = 3;
// The busy-wait for the awaited bytes.
constexpr int ReplyWaitMs = 1000;
// The read of an exchange asks for this many bytes, so it ends after InputTimeout of quiet.
constexpr int ReplyReadMax = 100;

class TTsLink {
public:
    // `port` null: the program's QSerialPort.
    explicit TTsLink(TTsHost& host, std::unique_ptr<ISerialPort> port = nullptr);
    ~TTsLink();
    TTsLink(const TTsLink&) = delete;
    TTsLink& operator=(const TTsLink&) = delete;

    // The values the pages show and edit and every request is built from, and the values as last read.
    TTarvo DeviceData;
    TTarvo StoredData;
    // False: a failed identification is not reported, nor a device's exception reply to it (the device
    // search). Every identification sets it back to true when it ends.
    bool ReportConnectFailures = false;

    TCommPortDriver& Driver() { return FDriver; }
    // Every frame the link sends is published here once its verdict is known (the live traffic view
    // hangs on it); a second read for the same request is a record without a request.
    traffic::TTrafficTap& TrafficTap() { return FTrafficTap; }
    bool IsPortOpen() const { return FDriver.IsPortOpen(); }

    // The four exchanges of the information and configuration pages.
    // Identification at `address`; on a reply DeviceData's identification and SlaveID, StoredData's
    // information group and the information page are updated.
    TExchangeResult ReadInformation(int address);
    // The information block of DeviceData; refused (CheckInformationWrite) with "Вы забыли указать
    // дату." without a date, and with the characters named when the sensor type holds any the code page
    // of the wire lacks.
    TExchangeResult WriteInformation();
    // The configuration block into DeviceData and StoredData, then the configuration page.
    TExchangeResult ReadConfiguration();
    // The configuration block of DeviceData with `newSlaveID` as the address to take. The frame goes to
    // the address in use; SlaveID becomes `newSlaveID` before it goes, and stays so unless the
    // transducer refused the block (an exception or a refusal reply); an answered write also gives
    // StoredData the new address. The port and then the range checks (CheckConfigurationWrite) come first.
    TExchangeResult WriteConfiguration(int newSlaveID);
    TExchangeResult WriteConfiguration() { return WriteConfiguration(DeviceData.SlaveID); }

    // The pattern itself for a row and a built frame (the commands of the calibration and
    // diagnostics pages call it with their rows).
    TExchangeResult RunExchange(const TExchangeRow& row, const tarvo_ts::TRequest& request,
                                const TExchangeHooks& hooks = {});

    // One frame without attempts (the diagnostics poll, the date read after connecting): purges both
    // queues and sends. eoAnswered when written whole, eoNoLink when not, eoBusy while another
    // exchange runs. Shows nothing and closes nothing.
    TExchangeOutcome SendOnce(const tarvo_ts::TRequest& request);
    // Busy-waits for `waitCount` bytes or 1000 ms, then reads at most `max` bytes into `reply`
    // (zeroed first); the number read.
    int ReceiveOnce(TExchangeBuffer& reply, int waitCount, int max);

    // The DeviceErrors text of a code as an error message; nothing for a code not in the table.
    void ShowDeviceError(std::uint8_t code);
    // Leaves the connected state: stops diagnostics, cancels a calibration (which still sends its
    // cancel command), closes the port, refreshes the status bar, clears the pages and the modified
    // marks, and gives the connect action its "connect" face. Ignored when asked from an event
    // processed inside a running exchange.
    void BreakConnection();

    // Assembles a poll reply from a delivery of the receive event (or a direct call with what was read).
    void ReceivePollReply(const std::uint8_t* data, int size);
    // Binds or unbinds ReceivePollReply to the driver's receive event (bound at creation).
    void SetReceiveDataBound(bool bound);
    bool ReceiveDataBound() const;

    // False while an exchange runs and the caller comes from an event processed inside it: a command
    // that would start an exchange is then to be ignored, a diagnostics tick skipped.
    bool CanStartExchange() const;
    // The window's event processing and message dialog as the link and the code it calls use them:
    // events handled in there cannot start an exchange while one runs.
    void ProcessMessages();
    int MessageDlg(const QString& text, int kind, int buttons);
    int EnterValue(const QString& text, double& value, double initial);
    // Runs a modal window of the program's own (a dialog, the system message box) as the message dialog
    // runs: what its event loop handles cannot start an exchange.
    void RunModal(const std::function<void()>& modal);

    // Holds the guard for an operation made of several exchanges (a connection, a search): exchanges the
    // operation starts itself run, those started from events processed inside it are ignored.
    class TOperation {
    public:
        explicit TOperation(TTsLink& link);
        ~TOperation();
        TOperation(const TOperation&) = delete;
        TOperation& operator=(const TOperation&) = delete;

    private:
        TTsLink& FLink;
    };

private:
    int ReadReply(const TExchangeRow& row, TExchangeBuffer& reply);
    void ShowExchangeMessage(const TExchangeMessage& message, int address);
    void BreakConnectionNow();
    // Sends `request` whole (false when the port took less) and opens its traffic record.
    bool SendFrame(const tarvo_ts::TRequest& request, int attempt);
    void TrafficBegin(const tarvo_ts::TRequest& request, int attempt, bool send = true);
    void TrafficPiece(const std::uint8_t* bytes, int n);
    void TrafficEnd(traffic::TOutcome outcome, std::uint8_t code = 0);

    traffic::TTrafficTap FTrafficTap;
    std::optional<traffic::TTrafficRecorder> FTraffic;
    qint64 FLastSentUs = 0;
    TTsHost& FHost;
    TCommPortDriver FDriver;
    int FPumpDepth = 0;
    std::vector<int> FOperations; // the pump depth at which each running operation started
};
