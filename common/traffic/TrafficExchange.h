// What a link publishes about one exchange on the serial line, and the small pieces a link needs to
// publish it: the observer interface, the tap the observers hang on, and a recorder that fills a record
// during the exchange and costs nothing while nobody listens.
#pragma once

#include "ModbusRtu.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

namespace traffic {

// Which configurator's codec the frames belong to: function names and error texts differ.
enum class TGeneration : std::uint8_t { Newer, Older };

// The link's verdict on an exchange, as a kind; texts are made where the verdict is shown.
enum class TOutcome : std::uint8_t {
    Ok,             // the reply was accepted
    Exception,      // an exception reply; `code` holds its code
    CrcError,       // the reply's CRC did not match
    WrongFunction,  // the function byte of the reply was not the request's
    WrongLength,    // too few (or, for the older link, not the expected number of) bytes
    WrongFormat,    // a five-byte reply where the function's reply is longer
    WrongValue,     // a wrong step echo, or a value outside what the function may return
    ForeignAddress, // the reply came from another slave
    Ignored,        // older link: a five-byte reply without the exception bit, dropped while it waits on
    NoReply,        // nothing came before the time-out
    PortError,      // the port failed: a read or write failed, or the line is gone
    NotSent,        // the link refused before anything went out (busy line, bad address, no port...)
};

// Monotonic clock of every time in a record, in microseconds (CLOCK_MONOTONIC on Linux: the clock of
// QElapsedTimer and of the simulator's byte log).
qint64 NowUs();

// One piece of a reply as the link read it: the bytes up to `end` (exclusive) came with this read,
// which returned at `timeUs`.
struct TTrafficPiece {
    int end = 0;
    qint64 timeUs = 0;

    friend bool operator==(const TTrafficPiece&, const TTrafficPiece&) = default;
};

// One exchange: the query the link was asked for, every byte it wrote and read for it, when, and its
// verdict. A record carries what the wire carried and nothing more; any field may stay empty.
//
// - `request` is what was written (only what the port took, when a write broke off); empty when
//   nothing went out. An older-link record with an empty request but a reply is a second read for the
//   request of the record before it (it reads on without sending again); `sentUs` is then that
//   request's time.
// - `reply` is every byte read after the request, in order; `pieces` splits it into the reads that
//   brought it. No pieces: the reply counts as one piece ending at `endUs`.
// - `discarded` are bytes heard on the line before the request and thrown away (the link empties its
//   input before it sends).
struct TTrafficExchange {
    TGeneration generation = TGeneration::Newer;
    QString port;    // the port's name as the link opened it
    int bitRate = 0; // bit/s

    // The query: slave address and function code asked for (also when nothing was sent).
    std::uint8_t slaveAddr = 0;
    std::uint8_t funcCode = 0;
    // Older link: 1 for the first send of a request, 2 and up for its resends. Newer link: always 1.
    std::uint8_t attempt = 1;

    QByteArray discarded;
    qint64 discardedUs = 0;
    QByteArray request;
    qint64 sentUs = 0; // when the write of the request returned
    QByteArray reply;
    QList<TTrafficPiece> pieces;
    qint64 endUs = 0; // when the link stopped waiting (reply complete, time-out or failure)

    TOutcome outcome = TOutcome::Ok;
    std::uint8_t code = 0; // the exception or device error code of an Exception
    // The link's own words for a failure when the kind alone does not say it ("Неизвестное
    // устройство продолжает передачу"); empty: the view says it from the kind.
    QString linkText;

    // The wall clock at monotonic time `anchorUs`, filled by the tap when the record is published; it
    // turns any time of the record into local time.
    qint64 anchorUs = 0;
    qint64 anchorWallMs = 0;
};

// The kind of a reply judged by the newer configurator's checks (`modbus::CheckReply` of `n` bytes).
struct TJudgedReply {
    TOutcome outcome = TOutcome::Ok;
    std::uint8_t code = 0;
};
TJudgedReply OutcomeOfCheck(const modbus::ReplyCheck& check, const std::uint8_t* reply, int n);

// Receives each exchange once, on the link's thread, right after it ends. Must return at once and
// never wait for the window.
class TTrafficObserver {
public:
    virtual ~TTrafficObserver() = default;
    virtual void ExchangeDone(const TTrafficExchange& exchange) = 0;
};

// Where a link publishes its exchanges. It outlives the links that publish to it and the observers
// hung on it. While no observer is installed, `Active()` (one atomic load) is all a link pays.
class TTrafficTap {
public:
    TTrafficTap() = default;
    TTrafficTap(const TTrafficTap&) = delete;
    TTrafficTap& operator=(const TTrafficTap&) = delete;

    bool Active() const noexcept { return FCount.load(std::memory_order_acquire) > 0; }

    // Any thread. Once RemoveObserver returns, the observer is not called again and may go away.
    void AddObserver(TTrafficObserver* observer);
    void RemoveObserver(TTrafficObserver* observer);

    // Link's thread: stamps the clock anchor and hands the record to every observer, in the order they
    // were added. Holds the tap's lock while they run, so they must be quick.
    void Publish(TTrafficExchange& exchange);

private:
    std::mutex FLock;
    std::vector<TTrafficObserver*> FObservers;
    std::atomic<int> FCount{0};
};

// Fills one record during one exchange and publishes it at the end. Decides once, when made, whether
// anybody listens; when nobody does, every call is a no-op that allocates and formats nothing.
//
//     traffic::TTrafficRecorder rec(tap, traffic::TGeneration::Newer, portName, bitRate);
//     rec.Query(addr, fn);
//     rec.Discarded(junk, junkCount);   // bytes emptied from the input before sending
//     rec.Sent(frame, written);         // after the write returned
//     rec.Piece(frame + got, r);        // after each read that returned r > 0 bytes
//     rec.Finish(outcome, code, text);  // publishes
class TTrafficRecorder {
public:
    TTrafficRecorder(TTrafficTap* tap, TGeneration generation, const QString& port, int bitRate,
                     std::uint8_t attempt = 1);

    bool Active() const { return FTap != nullptr; }
    void Query(std::uint8_t slaveAddr, std::uint8_t funcCode);
    void Discarded(const std::uint8_t* bytes, int n);
    void Sent(const std::uint8_t* frame, int n);
    // Older link: a further read for the request sent at `sentUs`, nothing sent again.
    void ReadOn(qint64 sentUs);
    void Piece(const std::uint8_t* bytes, int n);
    void Finish(TOutcome outcome, std::uint8_t code = 0, const QString& linkText = {});
    // The record so far (tests).
    const TTrafficExchange& Exchange() const { return FExchange; }

private:
    TTrafficTap* FTap = nullptr; // null: nobody listened when the exchange began
    TTrafficExchange FExchange;
    bool FFinished = false;
};

} // namespace traffic
