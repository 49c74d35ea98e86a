// The link of Tarvo_TS on the wire: the simulator's older transducer (bus 1 of its default bus, a 77 at
// address 3, 1200 bit/s) over a pseudo-terminal, through the program's QSerialPort adapter.
#include "ScriptedHost.h"
#include "SimFixture.h"
#include "TsLink.h"
#include "TsReplies.h"

#include <QElapsedTimer>
#include <QTest>
#include <ctime>
#include <thread>

using namespace tarvo_ts;

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

struct Recorder : TTrafficObserver {
    QList<TTrafficRecord> records;
    void Traffic(const TTrafficRecord& r) override { records << r; }
};

} // namespace

class TestTsLinkSim : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void openErrors();
    void identificationOnTheWire();
    void everyFrameByteForByte();
    void pollReplyInTwoPieces();
    void hungUpLineEndsTheExchange();

private:
    // Runs `exchange`, then checks the bytes the transducer received and returns the milliseconds from
    // the last byte it sent to the end of the exchange.
    template <typename F>
    qint64 Exchange(F exchange, const QByteArray& expectedRequest, int expectedReplyLength);

    SimFixture sim;
    TRecordingHost host;
    std::unique_ptr<TTsLink> link;
};

void TestTsLinkSim::initTestCase() {
    QString err;
    QVERIFY2(sim.start(&err), qPrintable(err));
}

void TestTsLinkSim::init() {
    link = std::make_unique<TTsLink>(host);
    link->Driver().SetPortName(sim.portPath(1));
    link->DeviceData.SlaveID = 3;
    link->ReportConnectFailures = true;
    QVERIFY(link->Driver().OpenPort());
    host.log.clear();
    host.dialog.shown.clear();
}

void TestTsLinkSim::cleanup() {
    link.reset();
}

template <typename F>
qint64 TestTsLinkSim::Exchange(F exchange, const QByteArray& expectedRequest, int expectedReplyLength) {
    sim.clearReceived(1);
    sim.clearTransmitted(1);
    exchange();
    const qint64 end = monotonicUsec();
    const auto rx = sim.received(1);
    const auto tx = sim.transmitted(1);
    [&] {
        QCOMPARE(SimFixture::bytes(rx).toHex(' '), expectedRequest.toHex(' '));
        QCOMPARE(tx.size(), expectedReplyLength);
    }();
    return tx.isEmpty() ? -1 : (end - tx.last().usec) / 1000;
}

void TestTsLinkSim::openErrors() {
    // The port stays exclusively ours while open.
    TCommPortDriver second;
    second.SetPortName(sim.portPath(1));
    QVERIFY(!second.OpenPort());
    QCOMPARE(second.LastOpenFailure().fault, serialaccess::pfBusy);
    QCOMPARE(second.LastOpenFailure().port, sim.portPath(1));
    second.SetPortName(sim.linkDir() + QStringLiteral("/no-such-port"));
    QVERIFY(!second.OpenPort());
    QCOMPARE(second.LastOpenFailure().fault, serialaccess::pfMissing);
    link->Driver().ClosePort();
    second.SetPortName(sim.portPath(1));
    QVERIFY(second.OpenPort());
    QCOMPARE(second.LastOpenFailure().fault, serialaccess::pfNone);
}

void TestTsLinkSim::identificationOnTheWire() {
    QCOMPARE(sim.command(QStringLiteral("line 1")), QStringLiteral("ok rate=1200 data=8 stop=2 parity=none"));
    TExchangeResult r;
    const qint64 quiet = Exchange([&] { r = link->ReadInformation(3); }, HexWithCrc("03 11"), IdentReplyLength);
    QVERIFY(r.answered());
    QCOMPARE(SimFixture::bytes(sim.transmitted(1)), QByteArray(reinterpret_cast<const char*>(r.reply.data()), r.length));
    const TTarvo& d = link->DeviceData;
    QCOMPARE(d.PLTypeCode, 77);
    QCOMPARE(d.PLType, QStringLiteral("Tarvo ТС 4-20мА"));
    QCOMPARE(d.SensorType, QStringLiteral("ТСП 100П"));
    QCOMPARE(d.SensorNum, 1001);
    QCOMPARE(d.SensorDate, QDate(2019, 1, 1));
    QVERIFY(host.dialog.shown.isEmpty());
    // The read ends InputTimeout after the last reply byte: the quiet time of every answered exchange.
    QVERIFY2(quiet >= 1000 && quiet < 1150, qPrintable(QString::number(quiet)));
}

void TestTsLinkSim::everyFrameByteForByte() {
    TExchangeResult r;
    Exchange([&] { r = link->ReadConfiguration(); }, HexWithCrc("03 03 0018 0008"), ConfReplyLength);
    QVERIFY(r.answered());
    QCOMPARE(link->DeviceData.SensorKind, 1);
    QCOMPARE(link->DeviceData.SensorR0, 100);
    QCOMPARE(link->DeviceData.BottomTempBound, -50);
    QCOMPARE(link->DeviceData.TopTempBound, 150);

    link->DeviceData.BottomTempBound = -200;
    link->DeviceData.TopTempBound = 100;
    link->DeviceData.DirectLeadOut = false;
    link->DeviceData.AlarmCur = 3;
    link->DeviceData.Average = 2;
    Exchange([&] { r = link->WriteConfiguration(); },
             HexWithCrc("03 10 0018 0008 10 0001 0001 FF38 0064 0001 0003 000A 0003"), WriteReplyLength);
    QVERIFY(r.answered());
    QCOMPARE(sim.command(QStringLiteral("get 1:3 low")), QStringLiteral("ok -200"));
    QCOMPARE(sim.command(QStringLiteral("get 1:3 averagecode")), QStringLiteral("ok 10"));
    QCOMPARE(sim.command(QStringLiteral("get 1:3 direction")), QStringLiteral("ok 1"));

    link->DeviceData.SensorType = QStringLiteral("ТСМ-50 №2");
    link->DeviceData.SensorNum = 77;
    link->DeviceData.SensorDate = QDate(2024, 6, 5);
    Exchange([&] { r = link->WriteInformation(); },
             HexWithCrc("03 10 0008 0010 20 D2D1CC2D353020B932 000000000000000000000000000000 0000004D 050607E8"),
             WriteReplyLength);
    QVERIFY(r.answered());
    QCOMPARE(sim.command(QStringLiteral("get 1:3 sensortext")), QStringLiteral("ok ТСМ-50 №2"));
    QCOMPARE(sim.command(QStringLiteral("get 1:3 sensordate")), QStringLiteral("ok 05.06.2024"));

    // A command of the calibration page: its read waits 2000 ms of quiet.
    const qint64 quiet = Exchange(
        [&] { r = link->RunExchange(ExchangeRow(ekCalibrationStep), CalibrationStepRequest(3, 0, 0, QDate())); },
        HexWithCrc("03 4D 00 00000000"), CommandReplyLength);
    QVERIFY(r.answered());
    QVERIFY2(quiet >= 2000 && quiet < 2150, qPrintable(QString::number(quiet)));
    QCOMPARE(link->Driver().InputTimeout(), 1000);

    // The unrepeated measurement read.
    TExchangeBuffer reply{};
    int n = 0;
    Exchange(
        [&] {
            QCOMPARE(int(link->SendOnce(MeasurementRequest(3))), int(eoAnswered));
            n = link->ReceiveOnce(reply, MeasReplyLength, MeasReplyLength);
        },
        HexWithCrc("03 03 0020 0005"), MeasReplyLength);
    QCOMPARE(n, MeasReplyLength);
    const TMeasurement m = DecodeMeasurement(reply);
    QCOMPARE(m.DiagCode, std::uint8_t(0));
    QCOMPARE(m.CalibrDate.value_or(QDate()), QDate(2019, 3, 15));
    QVERIFY(host.dialog.shown.isEmpty());
    QVERIFY(link->IsPortOpen());
}

void TestTsLinkSim::pollReplyInTwoPieces() {
    // The reply leaves in two writes 800 ms apart: a poll tick (every 500 ms) delivers the first ten
    // bytes, and the receive handler reads the other five.
    QCOMPARE(sim.command(QStringLiteral("pace 1 off")).left(2), QStringLiteral("ok"));
    QCOMPARE(sim.command(QStringLiteral("fault 1:3 slow 10 800")).left(2), QStringLiteral("ok"));
    Recorder rec;
    link->Driver().SetTrafficObserver(&rec);
    sim.clearTransmitted(1);
    QCOMPARE(int(link->SendOnce(MeasurementRequest(3))), int(eoAnswered));
    QVERIFY(QTest::qWaitFor([&] { return !host.pollReplies.isEmpty(); }, 5000));
    link->Driver().SetTrafficObserver(nullptr);
    sim.command(QStringLiteral("fault 1:3 clear"));
    sim.command(QStringLiteral("pace 1 on"));

    QCOMPARE(host.pollReplies.size(), 1);
    QCOMPARE(host.pollReplies[0], SimFixture::bytes(sim.transmitted(1)));
    QList<int> pieces;
    for (const TTrafficRecord& r : rec.records)
        if (r.direction == TTrafficRecord::tdReceived)
            pieces << int(r.bytes.size());
    QCOMPARE(pieces, (QList<int>{10, 5}));
}

void TestTsLinkSim::hungUpLineEndsTheExchange() {
    // The adapter is unplugged while the exchange waits: it ends as a failed exchange and closes the
    // link, without spinning on the dead line.
    sim.command(QStringLiteral("fault 1:3 silent on"));
    std::thread unplug([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        sim.command(QStringLiteral("hangup 1"));
    });
    const qint64 wall0 = monotonicUsec();
    const qint64 cpu0 = cpuUsec();
    const TExchangeResult r = link->ReadConfiguration();
    const qint64 wall = monotonicUsec() - wall0;
    const qint64 cpu = cpuUsec() - cpu0;
    unplug.join();
    QVERIFY(r.outcome == eoNoLink || r.outcome == eoNoReply);
    QVERIFY(!link->IsPortOpen());
    QCOMPARE(host.dialog.shown.size(), 1);
    QVERIFY2(wall < 2500'000, qPrintable(QString::number(wall / 1000)));
    QVERIFY2(cpu * 5 < wall, qPrintable(QStringLiteral("cpu %1 ms of %2 ms").arg(cpu / 1000).arg(wall / 1000)));
    QVERIFY(!link->Driver().OpenPort());
    sim.command(QStringLiteral("replug 1"));
}

QTEST_GUILESS_MAIN(TestTsLinkSim)
#include "tst_ts_link_sim.moc"
