// A serial port that answers by script in virtual time: the sequence tests of Tarvo_TS never sleep.
// Each frame written whole takes the next scripted reply (none left: silence); the reply's pieces
// arrive at their times after the write. Waits move the virtual clock to the next arrival or to
// their end.
#pragma once

#include "SerialPort.h"

#include <QByteArray>
#include <QList>
#include <deque>

class TScriptedPort final : public ISerialPort {
public:
    struct TPiece {
        int delayMs;      // after the end of the write that triggers it (ArriveAt: the clock time)
        QByteArray bytes;
    };
    struct TEvent {
        enum TKind { Open, Close, Purge, Write, Read };
        TKind kind;
        qint64 atMs;
        QByteArray bytes;      // Write: the bytes taken; Read: the bytes handed out
        int requested = 0;     // Write: the bytes offered; Read: the most asked for
        bool input = false;    // Purge
        bool output = false;   // Purge
    };

    // Script.
    void Reply(const QByteArray& bytes, int delayMs = 50) { ReplyInPieces({{delayMs, bytes}}); }
    void ReplyInPieces(const QList<TPiece>& pieces) { FReplies.push_back(pieces); }
    void Silent() { FReplies.push_back({}); }
    // The next write takes only `bytes` of its frame (and then stalls until its time-out); a negative
    // count takes the whole frame. Calls queue up for the writes that follow.
    void AcceptNextWrite(int bytes) { FWriteLimits.push_back(bytes); }
    // Bytes that arrive at clock time `atMs` (now when not later), whatever was written.
    void ArriveAt(qint64 atMs, const QByteArray& bytes);
    // The line hangs up at clock time `atMs`: every operation fails from then on.
    void FailAt(qint64 atMs) { FFailAt = atMs; }
    bool openFails = false;
    serialaccess::TPortFault openFault = serialaccess::pfMissing; // reported while openFails

    // Record.
    QList<TEvent> events;
    QList<QByteArray> Written() const;     // every frame written (as taken)
    int Count(TEvent::TKind kind) const;
    QString openedName;
    qint64 Now() const { return FNow; }
    int PendingReplies() const { return int(FReplies.size()); }
    // Bytes waiting now (without moving the clock).
    int Waiting() const { return int(FInput.size()); }

    bool Open(const QString& name) override;
    serialaccess::TPortAccess LastOpenFailure() const override;
    void Close() override;
    bool IsOpen() const override { return FOpen; }
    void Purge(bool input, bool output) override;
    int BytesWaiting() override;
    int Read(std::uint8_t* buf, int max) override;
    int Write(const std::uint8_t* data, int n, int stallMs) override;
    TWait WaitForInput(int known, int timeoutMs) override;
    qint64 NowMs() const override { return FNow; }

private:
    struct TArrival {
        qint64 atMs;
        QByteArray bytes;
    };
    void Deliver();
    bool HasFailed() const { return FFailAt >= 0 && FNow >= FFailAt; }

    bool FOpen = false;
    qint64 FNow = 0;
    qint64 FFailAt = -1;
    QByteArray FInput;
    std::deque<TArrival> FArrivals; // ordered by time
    std::deque<QList<TPiece>> FReplies;
    std::deque<int> FWriteLimits;
};
