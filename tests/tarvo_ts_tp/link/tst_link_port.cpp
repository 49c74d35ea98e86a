// The link against the simulator over a real pseudo-terminal: outcomes, line timing, the queue, port
// failures and the trace logs.
#include "Logging.h"
#include "MessageService.h"
#include "ModbusComm.h"
#include "ModbusRtu.h"
#include "SimFixture.h"
#include "TrafficExchange.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSerialPort>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <ctime>
#include <mutex>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <thread>
#include <unistd.h>

namespace {

qint64 monotonicUsec() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000;
}

qint64 cpuUsec() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000;
}

// Bus 0: a 118 at address 1, 9600 bit/s. Bus 1: a 115 at address 5.
const QByteArray Config = R"({"buses":[
    {"rate":9600,"transducers":[{"type":118,"address":1,"rate":9600}]},
    {"rate":9600,"transducers":[{"type":115,"address":5,"rate":9600}]}]})";

// Stands in for the main window: takes every finished query back as the window does.
class Window : public QObject {
public:
    QList<TModbusCmdQuery> results;
    QList<qint64> arrivals; // monotonic microseconds
    int events = 0;

protected:
    bool event(QEvent* e) override {
        if (e->type() != QueryDoneEvent::EventType)
            return QObject::event(e);
        ++events;
        TModbusCmdQuery q;
        if (TakeFinishedQuery(*static_cast<QueryDoneEvent*>(e), q)) {
            results.append(q);
            arrivals.append(monotonicUsec());
        }
        return true;
    }
};

class RecordingService final : public TMessageService {
public:
    QStringList texts;
    int MessageBox(const QString& text, const QString&, Icon, int) override {
        texts << text;
        return Ok;
    }
};

struct Request {
    QList<SimFixture::RxByte> bytes;
    QByteArray data() const {
        QByteArray d;
        for (const auto& b : bytes)
            d.append(char(b.byte));
        return d;
    }
};

// Splits what the bus received into requests: a new request starts after 2 ms without a byte.
QList<Request> requests(const QList<SimFixture::RxByte>& rx) {
    QList<Request> out;
    for (const auto& b : rx) {
        if (out.isEmpty() || b.usec - out.last().bytes.last().usec > 2000)
            out.append(Request());
        out.last().bytes.append(b);
    }
    return out;
}

// A slave the simulator cannot play: answers every complete request (`requestLength` bytes) with a fixed
// reply whose CRC is made good, over a pty of its own.
class CannedPeer {
public:
    CannedPeer(int requestLength, QByteArray replyWithoutCrc)
        : length_(requestLength), reply_(std::move(replyWithoutCrc)) {
        int slave = -1;
        char name[128] = {};
        if (::openpty(&master_, &slave, name, nullptr, nullptr) != 0)
            return;
        ::close(slave);
        path_ = QString::fromLocal8Bit(name);
        const std::uint16_t crc = modbus::Crc16(reinterpret_cast<const std::uint8_t*>(reply_.constData()),
                                                std::size_t(reply_.size()));
        reply_.append(char(crc & 0xFF));
        reply_.append(char(crc >> 8));
        thread_ = std::thread([this] { serve(); });
    }
    ~CannedPeer() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        if (master_ >= 0)
            ::close(master_);
    }
    QString path() const { return path_; }

private:
    void serve() {
        QByteArray request;
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN))
                continue;
            char buf[256];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0)
                continue;
            request.append(buf, int(n));
            if (request.size() >= length_) {
                request.clear();
                ::usleep(2000);
                if (::write(master_, reply_.constData(), size_t(reply_.size())) != reply_.size())
                    return;
            }
        }
    }
    int master_ = -1;
    int length_;
    QByteArray reply_;
    QString path_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// When the last byte the bus sent before `before` reached the port; 0 when it sent nothing before.
// (The simulator hands a byte to the pty as it starts on the wire, so this is what the link can see.)
qint64 lastArrival(const QList<SimFixture::RxByte>& sent, qint64 before) {
    qint64 last = 0;
    for (const auto& b : sent)
        if (b.usec < before)
            last = b.usec;
    return last;
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestLinkPort : public QObject {
    Q_OBJECT

    SimFixture sim{Config};
    Window window;
    bool hungUp = false;
    std::array<quint8, TModbusCmdQuery::BufferSize> data{};

    QString bus(int n) const { return sim.portPath(n); }
    bool ok(const QString& reply) const { return reply.startsWith(QLatin1String("ok")); }

    void open(TBaudRate rate = CBR_9600) {
        QString err;
        QVERIFY2(CreateCommThread(&window, bus(0), rate, err), qPrintable(err));
        QVERIFY(CommThreadConnected());
    }
    bool send(quint8 addr, quint8 fn, quint16 start = 0, quint16 count = 0, quint8 step = 0,
              bool change = false) {
        return SendModbusQuery(addr, fn, start, count, data.data(), step, change);
    }
    // Waits for `n` results in all.
    bool waitResults(int n, int timeoutMs = 5000) {
        return QTest::qWaitFor([&] { return window.results.size() >= n; }, timeoutMs);
    }

private Q_SLOTS:
    void initTestCase() {
        QString err;
        QVERIFY2(sim.start(&err), qPrintable(err));
    }

    void init() {
        QVERIFY(ok(sim.command(QStringLiteral("fault 0:1 clear"))));
        QVERIFY(ok(sim.command(QStringLiteral("set 0:1 latency 5"))));
        QVERIFY(ok(sim.command(QStringLiteral("set 0:1 rate 9600"))));
        sim.clearReceived(0);
        sim.clearTransmitted(0);
        window.results.clear();
        window.arrivals.clear();
        window.events = 0;
        data.fill(0);
    }

    void cleanup() {
        DestroyCommThread();
        if (hungUp)
            QVERIFY(ok(sim.command(QStringLiteral("replug 0"))));
        hungUp = false;
        LoggingEnabled = false;
        SetLogDirectory({});
        SetQueueCounterHandler({});
    }

    // Each function once through the real port, with the results the window relies on.
    void functions() {
        open();
        send(1, 17);
        send(1, 3, 0x31, 10);
        send(1, 7);
        QVERIFY(waitResults(3));
        const auto& id = window.results[0];
        QCOMPARE(id.ErrorString, QString());
        QCOMPARE(id.RegCount, 66);
        QCOMPARE(id.Buffer[0], 118);
        const auto& cfg = window.results[1];
        QCOMPARE(cfg.ErrorString, QString());
        QCOMPARE(cfg.RegCount, 20);
        QVERIFY(cfg.AnswerReceivedTime.isValid());
        QCOMPARE(window.results[2].ErrorString, QString());
        QCOMPARE(window.results[2].RegCount, 1);

        // Writing the block just read back is accepted; the echoed count comes back.
        std::copy_n(cfg.Buffer.begin(), 20, data.begin());
        send(1, 16, 0x31, 10);
        data.fill(0);
        data[0] = 0;
        send(1, 101);
        data[3] = 1;
        send(1, 102, 0, 0, 1);
        send(1, 100, 0, 0, 1);
        QVERIFY(waitResults(7));
        QCOMPARE(window.results[3].ErrorString, QString());
        QCOMPARE(window.results[3].RegCount, 10);
        QCOMPARE(window.results[4].ErrorString, QString());
        QCOMPARE(window.results[4].Buffer[0], 0);
        QCOMPARE(window.results[5].ErrorString, QString());
        QCOMPARE(window.results[6].ErrorString, QString());
        // Results come back in the order queued, each by its own event.
        QList<int> fns;
        for (const auto& r : window.results)
            fns << r.FuncCode;
        QCOMPARE(fns, (QList<int>{17, 3, 7, 16, 101, 102, 100}));
        QCOMPARE(window.events, 7);
        // The requests on the line, byte for byte, for the read of the configuration.
        const auto reqs = requests(sim.received(0));
        QCOMPARE(reqs.size(), 7);
        QCOMPARE(reqs[1].data(), QByteArray::fromHex("0103 0031 000A 9402"));
        QCOMPARE(reqs[5].data(), QByteArray::fromHex("0166 01 00000001") + reqs[5].data().right(2));
    }

    // What the link publishes on its tap is what went over the wire, as the simulator recorded it, each
    // transaction once with its verdict.
    void tapHoldsTheFramesOnTheWire() {
        struct Tap : traffic::TTrafficObserver {
            std::mutex lock;
            QList<traffic::TTrafficExchange> exchanges;
            void ExchangeDone(const traffic::TTrafficExchange& e) override {
                std::lock_guard g(lock);
                exchanges << e;
            }
        } tap;
        LinkTrafficTap().AddObserver(&tap);
        open();
        send(1, 17);
        send(1, 3, 0x31, 10);
        QVERIFY(waitResults(2));
        QVERIFY(ok(sim.command(QStringLiteral("fault 0:1 exception 2"))));
        send(1, 3, 0x31, 10);
        QVERIFY(waitResults(3));
        QVERIFY(ok(sim.command(QStringLiteral("fault 0:1 clear"))));
        QVERIFY(ok(sim.command(QStringLiteral("fault 0:1 silent on"))));
        send(1, 7);
        QVERIFY(waitResults(4, 3000));
        LinkTrafficTap().RemoveObserver(&tap);

        using traffic::TOutcome;
        QCOMPARE(tap.exchanges.size(), 4);
        const QList<TOutcome> verdicts{TOutcome::Ok, TOutcome::Ok, TOutcome::Exception, TOutcome::NoReply};
        QByteArray requestsOut, repliesIn;
        for (int i = 0; i < 4; ++i) {
            const traffic::TTrafficExchange& e = tap.exchanges[i];
            QCOMPARE(int(e.outcome), int(verdicts[i]));
            QCOMPARE(int(e.generation), int(traffic::TGeneration::Newer));
            QCOMPARE(e.bitRate, 9600);
            QCOMPARE(int(e.slaveAddr), 1);
            requestsOut += e.request;
            repliesIn += e.reply;
        }
        QCOMPARE(int(tap.exchanges[2].code), 2);
        QCOMPARE(requestsOut.toHex(' '), SimFixture::bytes(sim.received(0)).toHex(' '));
        QCOMPARE(repliesIn.toHex(' '), SimFixture::bytes(sim.transmitted(0)).toHex(' '));
    }

    // Every failure of the reply checks, provoked by the simulator.
    void replyChecks_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("fn");
        QTest::addColumn<int>("step");
        QTest::addColumn<bool>("change");
        QTest::addColumn<QString>("error");
        QTest::newRow("bad crc") << "badcrc on" << 3 << 0 << false << u"Ошибка CRC ответного сообщения"_qs;
        QTest::newRow("bad crc, 5 bytes")
            << "badcrc on" << 7 << 0 << false << u"Ошибка CRC ответного сообщения"_qs;
        QTest::newRow("short reply") << "truncate 24" << 3 << 0 << false
                                     << u"Недопустимая длина ответного сообщения"_qs;
        QTest::newRow("5 bytes of a long reply")
            << "truncate 5" << 17 << 0 << false << u"Ошибка CRC ответного сообщения"_qs;
        QTest::newRow("exception 2") << "exception 2" << 3 << 0 << false << u"Недопустимый адрес данных"_qs;
        QTest::newRow("exception 9") << "exception 9" << 3 << 0 << false
                                     << u"Преобразователь вернул неизвестный код ошибки"_qs;
        QTest::newRow("exception 13")
            << "exception 13" << 101 << 0 << false
            << u"Подстройка \"0\": операция не может быть выполнена, так как подстройка "
               "\"0\" уже проводилась. Для проведения операции необходимо сбросить ранее "
               "записанное значение поправочного коэффициента"_qs;
        QTest::newRow("wrong calibration step")
            << "wrongstep on" << 100 << 1 << false
            << u"Преобразователь вернул неверный порядковый номер этапа калибровки"_qs;
        QTest::newRow("wrong NSX step")
            << "wrongstep on" << 102 << 1 << false << u"Неверный порядковый номер этапа подстройки НСХ"_qs;
        QTest::newRow("other address")
            << "otheraddr 9" << 3 << 0 << false << u"Ответ получен от другого адреса Slave"_qs;
        QTest::newRow("other address, 17")
            << "otheraddr 9" << 17 << 0 << true << u"Ответ получен от другого адреса Slave"_qs;
        QTest::newRow("other address, address change") << "otheraddr 9" << 3 << 0 << true << QString();
    }
    void replyChecks() {
        QFETCH(QString, fault);
        QFETCH(int, fn);
        QFETCH(int, step);
        QFETCH(bool, change);
        QFETCH(QString, error);
        QVERIFY(ok(sim.command(QStringLiteral("fault 0:1 ") + fault)));
        open();
        data[3] = 1; // fn 102 step 1: reset, always accepted
        send(1, quint8(fn), 0x31, fn == 3 ? 10 : 0, quint8(step), change);
        QVERIFY(waitResults(1));
        QCOMPARE(window.results[0].ErrorString, error);
    }

    // The reply checks the simulator cannot provoke, through a real port all the same.
    void cannedReplies_data() {
        QTest::addColumn<int>("fn");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("byte0");
        const QByteArray regs(20, '\x11');
        QTest::newRow("5 bytes to fn 3")
            << 3 << QByteArray::fromHex("010302") << u"Неверный формат ответного сообщения"_qs << 0;
        QTest::newRow("wrong function") << 3 << QByteArray::fromHex("010414") + regs
                                        << u"Неверный код функции в ответном сообщении"_qs << 0;
        QTest::newRow("fn 101 value 254")
            << 101 << QByteArray::fromHex("0165FE") << u"Неверное значение поля данных"_qs << 0;
        QTest::newRow("fn 101 value 253") << 101 << QByteArray::fromHex("0165FD") << QString() << 253;
        QTest::newRow("fn 17 byte count 252") << 17 << QByteArray::fromHex("0111FC") + QByteArray(66, '\0')
                                              << u"Недопустимая длина ответного сообщения"_qs << 0;
        QTest::newRow("fn 3 good") << 3 << QByteArray::fromHex("010314") + regs << QString() << 0x11;
    }
    void cannedReplies() {
        QFETCH(int, fn);
        QFETCH(QByteArray, reply);
        QFETCH(QString, error);
        QFETCH(int, byte0);
        CannedPeer peer(fn == 3 ? 8 : fn == 17 ? 4 : 5, reply);
        QVERIFY(!peer.path().isEmpty());
        QString err;
        QVERIFY2(CreateCommThread(&window, peer.path(), CBR_57600, err), qPrintable(err));
        data[0] = 1;
        send(1, quint8(fn), 0x31, fn == 3 ? 10 : 0);
        QVERIFY(waitResults(1));
        QCOMPARE(window.results[0].ErrorString, error);
        if (error.isEmpty())
            QCOMPARE(int(window.results[0].Buffer[0]), byte0);
        DestroyCommThread();
    }

    // A reply in slow pieces is read until 700 ms have passed; what came by then is checked.
    void slowPieces_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("error");
        QTest::newRow("in time") << "slow 5 120" << QString();
        QTest::newRow("too slow") << "slow 5 300" << u"Недопустимая длина ответного сообщения"_qs;
    }
    void slowPieces() {
        QFETCH(QString, fault);
        QFETCH(QString, error);
        QVERIFY(ok(sim.command(QStringLiteral("fault 0:1 ") + fault)));
        open();
        send(1, 3, 0x31, 10);
        QVERIFY(waitResults(1));
        QCOMPARE(window.results[0].ErrorString, error);
        QCOMPARE(window.results[0].RegCount, error.isEmpty() ? 20 : 10);
        // The simulator is still sending the rest of a reply that came too slowly; let it finish so
        // that it does not run into the next test.
        if (!error.isEmpty())
            QTest::qWait(1000);
    }

    // A silent slave: function 3 gives up after two reads of 500 ms and their pauses, function 100 after
    // one read of 3000 ms and its pause.
    void silentSlave_data() {
        QTest::addColumn<int>("fn");
        QTest::addColumn<int>("expectedMs");
        QTest::newRow("fn 3") << 3 << 1200;
        QTest::newRow("fn 100") << 100 << 3100;
    }
    void silentSlave() {
        QFETCH(int, fn);
        QFETCH(int, expectedMs);
        QVERIFY(ok(sim.command(QStringLiteral("fault 0:1 silent on"))));
        open();
        send(1, quint8(fn), 0x31, fn == 3 ? 10 : 0, 1);
        QVERIFY(waitResults(1, 6000));
        QCOMPARE(window.results[0].ErrorString, u"Превышен таймаут ожидания ответа"_qs);
        const auto rx = sim.received(0);
        QVERIFY(!rx.isEmpty());
        const qint64 ms = (window.arrivals[0] - rx.last().usec) / 1000;
        QVERIFY2(ms >= expectedMs - 20 && ms <= expectedMs + 150, qPrintable(QString::number(ms)));
    }

    // An unknown device that keeps sending: no request goes out; the query fails once the busy limit has
    // passed (1192 ms at 2400 bit/s: a rate whose 16 ms of required quiet a busy test machine does not
    // fake by a scheduling hiccup of the simulator). Address 0 is refused only after the line was quiet.
    void busyLine_data() {
        QTest::addColumn<int>("addr");
        QTest::newRow("address 1") << 1;
        QTest::newRow("address 0") << 0;
    }
    void busyLine() {
        QFETCH(int, addr);
        open(CBR_2400);
        QVERIFY(ok(sim.command(QStringLiteral("chatter 0 on"))));
        const qint64 queued = monotonicUsec();
        send(quint8(addr), 3, 0x31, 10);
        const bool done = waitResults(1);
        QVERIFY(ok(sim.command(QStringLiteral("chatter 0 off"))));
        QVERIFY(done);
        QCOMPARE(window.results[0].ErrorString, u"Неизвестное устройство продолжает передачу"_qs);
        // Picked up within one pass of 200 ms, then the busy limit.
        const int limit = LineTiming(CBR_2400).BusyLimitTime;
        const qint64 ms = (window.arrivals[0] - queued) / 1000;
        QVERIFY2(ms >= limit && ms <= limit + 200 + 100, qPrintable(QString::number(ms)));
        QVERIFY(sim.received(0).isEmpty());
    }

    void slaveAddressZero() {
        open();
        send(0, 3, 0x31, 10);
        QVERIFY(waitResults(1));
        QCOMPARE(window.results[0].ErrorString, u"Недопустимый адрес Slave"_qs);
        QVERIFY(sim.received(0).isEmpty());
    }

    // Bytes from the line that arrived before a send never reach the reply.
    void bytesBeforeSendAreDiscarded() {
        open();
        QVERIFY(ok(sim.command(QStringLiteral("chatter 0 on"))));
        QTest::qWait(60);
        QVERIFY(ok(sim.command(QStringLiteral("chatter 0 off"))));
        send(1, 3, 0x31, 10);
        QVERIFY(waitResults(1));
        QCOMPARE(window.results[0].ErrorString, QString());
        QCOMPARE(window.results[0].RegCount, 20);
    }

    // Line timing seen by the simulator over a run of queries: each request in one write, the line quiet
    // for at least SilenceTime after the reply before the next request, at least 200 ms between queries.
    void lineTiming() {
        open();
        const int n = 6;
        for (int i = 0; i < n; ++i)
            send(1, 3, 0x31, 10);
        QVERIFY(waitResults(n));
        for (const auto& r : window.results)
            QCOMPARE(r.ErrorString, QString());
        QCOMPARE(sim.command(QStringLiteral("line 0")), u"ok rate=9600 data=8 stop=2 parity=none"_qs);
        const auto reqs = requests(sim.received(0));
        const auto sent = sim.transmitted(0);
        QCOMPARE(reqs.size(), n);
        for (int i = 0; i < n; ++i) {
            QCOMPARE(reqs[i].bytes.size(), 8);
            QCOMPARE(reqs[i].bytes.first().chunk, reqs[i].bytes.last().chunk);
            if (i == 0)
                continue;
            const qint64 quiet = reqs[i].bytes.first().usec - lastArrival(sent, reqs[i].bytes.first().usec);
            QVERIFY2(quiet >= LineTiming(CBR_9600).SilenceTime * 1000, qPrintable(QString::number(quiet)));
            QVERIFY2(reqs[i].bytes.first().usec - reqs[i - 1].bytes.last().usec >= 200'000,
                     qPrintable(QString::number(i)));
        }
    }

    // Bytes from an unknown device while the thread waits for a quiet line: the request goes out only
    // SilenceTime after the last of them (16 ms at 2400 bit/s), and they never reach the reply.
    void quietLineAfterChatter() {
        QVERIFY(ok(sim.command(QStringLiteral("set 0:1 rate 2400"))));
        QVERIFY(ok(sim.command(QStringLiteral("chatter 0 on"))));
        open(CBR_2400);
        send(1, 3, 0x31, 10);
        QTest::qWait(150);
        QVERIFY(ok(sim.command(QStringLiteral("chatter 0 off"))));
        QVERIFY(waitResults(1));
        QCOMPARE(window.results[0].ErrorString, QString());
        const auto reqs = requests(sim.received(0));
        QCOMPARE(reqs.size(), 1);
        const qint64 start = reqs[0].bytes.first().usec;
        const qint64 quiet = start - lastArrival(sim.transmitted(0), start);
        QVERIFY2(quiet >= LineTiming(CBR_2400).SilenceTime * 1000, qPrintable(QString::number(quiet)));
    }

    // Queries still queued when the link goes are discarded; at most the one in progress completes, and
    // its late completion finds nothing to take back.
    void queuedQueriesVanishOnDestroy() {
        open();
        for (int i = 0; i < 5; ++i)
            send(1, 3, 0x31, 10);
        QTest::qWait(50);
        QVERIFY(DestroyCommThread());
        QTest::qWait(400);
        QVERIFY(window.results.size() <= 1);
        QVERIFY(window.events <= 1);
        QVERIFY(LinkQueues().PendingQueries.empty());
        QVERIFY(LinkQueues().QueryQueue.empty());
        QCOMPARE(QueueCount(), 0);
        QVERIFY(!CommThreadConnected());
        QCOMPARE(CommThreadPortName(), QString());
    }

    // The port opens at every rate of the table, 8 data bits, no parity, two stop bits.
    void everyRate_data() {
        QTest::addColumn<int>("rate");
        for (int i = 0; i < 12; ++i)
            QTest::addRow("%d", BaudRateToInt(i)) << i;
    }
    void everyRate() {
        QFETCH(int, rate);
        open(TBaudRate(rate));
        QCOMPARE(CommThreadBaudRate(), TBaudRate(rate));
        const QString line = sim.command(QStringLiteral("line 0"));
        QVERIFY2(line.endsWith(QLatin1String(" data=8 stop=2 parity=none")), qPrintable(line));
        // The simulator names only the rates its transducers know; for those the rate must match.
        if (!line.startsWith(QLatin1String("ok rate=0 ")))
            QCOMPARE(line.section(QLatin1Char(' '), 1, 1),
                     QStringLiteral("rate=%1").arg(BaudRateToInt(rate)));
    }

    void secondLinkRefused() {
        open();
        RecordingService service;
        SetMessageService(&service);
        QString err;
        const bool created = CreateCommThread(&window, bus(1), CBR_9600, err);
        SetMessageService(nullptr);
        QVERIFY(!created);
        QCOMPARE(service.texts, QStringList{u"Коммуникационный поток уже существует!"_qs});
        QCOMPARE(CommThreadPortName(), bus(0));
        QCOMPARE(CommThreadBaudRate(), CBR_9600);
    }

    // A port held by another program is refused with its text and left out of the port list.
    void heldPort() {
        QSerialPort other;
        other.setPortName(bus(1));
        QVERIFY(other.open(QIODevice::ReadWrite));
        RecordingService service;
        SetMessageService(&service);
        QString err;
        const bool created = CreateCommThread(&window, bus(1), CBR_9600, err);
        SetMessageService(nullptr);
        QVERIFY(!created);
        QCOMPARE(err, bus(1) + u": Порт занят другой программой"_qs);
        QCOMPARE(service.texts, QStringList{err});

        qputenv("TARVO_EXTRA_PORTS", (bus(0) + u":"_qs + bus(1) + u"::/nonexistent/ttyX"_qs).toLocal8Bit());
        const QStringList ports = AvailableComPorts();
        qunsetenv("TARVO_EXTRA_PORTS");
        QVERIFY(ports.contains(bus(0)));
        QVERIFY(!ports.contains(bus(1)));
        QVERIFY(!ports.contains(u"/nonexistent/ttyX"_qs));
        QCOMPARE(ports.last(), bus(0));
    }

    // The line hangs up during a transaction: the query fails at once with "Порт не доступен", later
    // queries too, and the thread does not spin on the dead port.
    void hangUp_data() {
        QTest::addColumn<QString>("fault");
        QTest::newRow("before the first reply byte") << "set 0:1 latency 400";
        QTest::newRow("in the middle") << "fault 0:1 slow 12 400";
        QTest::newRow("before the last byte") << "fault 0:1 slow 24 400";
    }
    void hangUp() {
        QFETCH(QString, fault);
        QVERIFY(ok(sim.command(fault)));
        open();
        send(1, 3, 0x31, 10);
        QTRY_VERIFY_WITH_TIMEOUT(!sim.received(0).isEmpty(), 2000);
        QTest::qWait(150);
        const qint64 cpu0 = cpuUsec();
        const qint64 hung = monotonicUsec();
        QVERIFY(ok(sim.command(QStringLiteral("hangup 0"))));
        hungUp = true;
        QVERIFY(waitResults(1));
        QCOMPARE(window.results[0].ErrorString, u"Порт не доступен"_qs);
        QVERIFY2(window.arrivals[0] - hung < 200'000, qPrintable(QString::number(window.arrivals[0] - hung)));
        send(1, 3, 0x31, 10);
        QVERIFY(waitResults(2));
        QCOMPARE(window.results[1].ErrorString, u"Порт не доступен"_qs);
        QTest::qWait(300);
        const qint64 wall = monotonicUsec() - hung;
        const qint64 cpu = cpuUsec() - cpu0;
        QVERIFY2(cpu < wall / 10, qPrintable(QStringLiteral("cpu %1 of %2 us").arg(cpu).arg(wall)));
    }

    // Without "logging.on" no log is written; with it, the thread log holds exactly these lines.
    void logs() {
        QTemporaryDir dir;
        SetLogDirectory(dir.path());
        InitLogging();
        QVERIFY(!LoggingEnabled);
        open();
        send(1, 3, 0x31, 10);
        QVERIFY(waitResults(1));
        DestroyCommThread();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());

        QFile on(dir.filePath(u"logging.on"_qs));
        QVERIFY(on.open(QIODevice::WriteOnly));
        on.close();
        InitLogging();
        QVERIFY(LoggingEnabled);
        QStringList counter;
        SetQueueCounterHandler([&](const QString& text) { counter << text; });
        open();
        send(1, 3, 0x31, 10);
        QVERIFY(waitResults(2));
        DestroyCommThread();

        const QString stamp = u"\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d\\.\\d{3}: "_qs;
        const QString time = u"\\d\\d:\\d\\d:\\d\\d"_qs;
        const QStringList expected = {
            u"Trying to open COM-port"_qs,
            u"Connected to "_qs + QRegularExpression::escape(bus(0)) + u" \\(9600\\)"_qs,
            u"Started thread.execute loop"_qs,
            u"Found new query func=\\$03 addr=\\$31 regcnt=\\$0A"_qs,
            u"Fn 3: sent at "_qs + time + u"; addr = 0x0031"_qs,
            u"01 03 00 31 00 0A 94 02 "_qs,
            u"Fn 3: rcvd at "_qs + time + u"; ReadBytesCount = 25"_qs,
            u"01 03 14 ([0-9A-F]{2} ){22}"_qs,
        };
        const QByteArray threadLog = readFile(dir.filePath(u"thread.log"_qs));
        QVERIFY(threadLog.endsWith("\r\n"));
        const QStringList lines = QString::fromLatin1(threadLog).split(u"\r\n"_qs, Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), expected.size());
        for (int i = 0; i < lines.size(); ++i)
            QVERIFY2(QRegularExpression(u"^"_qs + stamp + expected[i] + u"$"_qs).match(lines[i]).hasMatch(),
                     qPrintable(lines[i]));

        const QByteArray programLog = readFile(ProgramLogFile());
        const QStringList plines =
            QString(QStringDecoder("windows-1251").decode(programLog)).split(u"\r\n"_qs, Qt::SkipEmptyParts);
        QCOMPARE(plines.size(), 1);
        QVERIFY2(QRegularExpression(u"^"_qs + stamp + u"отправлен запрос, элементов в очереди: [01]$"_qs)
                     .match(plines[0])
                     .hasMatch(),
                 qPrintable(plines[0]));
        QCOMPARE(counter.size(), 1);
        QVERIFY(counter[0].startsWith(u"Элементов в очереди: "_qs));
    }
};

QTEST_GUILESS_MAIN(TestLinkPort)
#include "tst_link_port.moc"
