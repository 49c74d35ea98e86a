// Feeds arbitrary bytes, at arbitrary times, as the replies of every exchange of the older configurator
// (through the scripted port, in virtual time) and as deliveries of the receive event to
// ReceivePollReply. Aborts when an exchange succeeds without a reply of its length and function byte,
// when what it judged is not what the port delivered, when a poll reply is shown that is not 15 bytes of
// function 3 starting with what was delivered, or when a failed exchange leaves the link open.
//
// Input: kind, RepeatNum, flags, parameter, then pieces of (length, delay in 20 ms steps, bytes).
#include "ScriptedHost.h"
#include "ScriptedPort.h"
#include "TsLink.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace tarvo_ts;

namespace {

void check(bool cond, int line) {
    if (!cond) {
        std::fprintf(stderr, "check failed at line %d\n", line);
        std::abort();
    }
}
#define require(cond) check((cond), __LINE__)

struct Recorder : TTrafficObserver {
    QList<QByteArray> received;
    void Traffic(const TTrafficRecord& r) override {
        if (r.direction == TTrafficRecord::tdReceived)
            received << r.bytes;
    }
};

constexpr int PollDirect = ekCount;     // ReceivePollReply with the first piece as the delivery
constexpr int PollThroughTimer = ekCount + 1; // the receive event's ticks

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4)
        return 0;
    const int kind = data[0] % (ekCount + 2);
    const std::uint8_t flags = data[2];
    const std::uint8_t parameter = data[3];

    TRecordingHost host;
    host.repeatNum = data[1] % 4;
    auto owned = std::make_unique<TScriptedPort>();
    TScriptedPort& port = *owned;
    TTsLink link(host, std::move(owned));
    Recorder rec;
    link.Driver().SetTrafficObserver(&rec);
    link.Driver().SetPortName(QStringLiteral("COM1"));
    link.DeviceData.SlaveID = 3;
    link.DeviceData.SensorDate = QDate(2020, 1, 1);
    link.DeviceData.TopTempBound = 100;
    link.ReportConnectFailures = flags & 1;
    require(link.Driver().OpenPort());
    if (flags & 2)
        port.AcceptNextWrite(parameter % 48);
    else
        port.AcceptNextWrite(-1);
    if (flags & 4)
        port.AcceptNextWrite(parameter % 48);
    if (flags & 8)
        port.FailAt(qint64(parameter) * 20);

    // The pieces: the first is the delivery of a direct poll, every other one arrives at its time.
    std::vector<std::uint8_t> delivery;
    std::size_t pos = 4;
    qint64 at = 0;
    bool first = true;
    while (pos + 2 <= size) {
        const std::size_t len = std::min<std::size_t>(data[pos], size - pos - 2);
        at += qint64(data[pos + 1]) * 20;
        const std::uint8_t* bytes = data + pos + 2;
        if (kind == PollDirect && first)
            delivery.assign(bytes, bytes + len);
        else
            port.ArriveAt(at, QByteArray(reinterpret_cast<const char*>(bytes), qsizetype(len)));
        first = false;
        pos += 2 + len;
    }

    if (kind == PollDirect) {
        // In a buffer of exactly its size, so that a read past the delivery is caught.
        std::uint8_t* p = delivery.empty() ? nullptr : new std::uint8_t[delivery.size()];
        if (p)
            std::copy(delivery.begin(), delivery.end(), p);
        link.ReceivePollReply(p, int(delivery.size()));
        delete[] p;
        require(host.pollReplies.size() <= 1);
        for (const QByteArray& r : host.pollReplies) {
            require(r.size() == MeasReplyLength && std::uint8_t(r[1]) == 3);
            const std::size_t own = std::min<std::size_t>(delivery.size(), MeasReplyLength);
            const QByteArray delivered(reinterpret_cast<const char*>(delivery.data()), qsizetype(own));
            require(delivery.size() >= 2 && r.left(qsizetype(own)) == delivered);
            if (delivery.size() < std::size_t(MeasReplyLength))
                require(!rec.received.isEmpty() && r.mid(qsizetype(own)) == rec.received.last().left(r.size() - qsizetype(own)));
        }
        return 0;
    }
    if (kind == PollThroughTimer) {
        for (int tick = 0; tick < 8; ++tick) {
            link.Driver().PollReceive();
            port.WaitForInput(port.Waiting(), 500);
        }
        for (const QByteArray& r : host.pollReplies)
            require(r.size() == MeasReplyLength && std::uint8_t(r[1]) == 3);
        return 0;
    }

    const TExchangeRow& row = ExchangeRow(TExchangeKind(kind));
    const TExchangeResult r = RunExchangeOfKind(link, TExchangeKind(kind), parameter);
    const QByteArray judged(reinterpret_cast<const char*>(r.reply.data()), r.length);
    switch (r.outcome) {
    case eoAnswered:
        require(r.length == row.replyLength);
        require(row.successFunction == 0 || r.reply[1] == row.successFunction);
        require(!rec.received.isEmpty() && rec.received.last() == judged);
        require(link.IsPortOpen());
        if (kind == ekReadInformation)
            require(link.DeviceData.SlaveID == 3 && link.StoredData.SensorType == link.DeviceData.SensorType);
        break;
    case eoRefused:
        require(r.length == row.replyLength && row.successFunction != 0 && r.reply[1] != row.successFunction);
        require(!rec.received.isEmpty() && rec.received.last() == judged);
        require(link.IsPortOpen());
        break;
    case eoDeviceError:
        require(r.length == 5 && !row.fiveByteReply && (r.reply[1] & 0x80));
        require(!rec.received.isEmpty() && rec.received.last() == judged);
        require(link.IsPortOpen());
        break;
    case eoNoReply:
    case eoNoLink:
        require(!link.IsPortOpen());
        break;
    default:
        require(r.outcome == eoInvalid && kind == ekWriteConfiguration);
        break;
    }
    link.Driver().SetTrafficObserver(nullptr);
    return 0;
}
