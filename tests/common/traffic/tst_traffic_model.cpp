// The bounded list of frames (cap, filters, pause, text), the hand-off from a link's thread, the tap and
// the recorder.
#include "TrafficModel.h"
#include "TrafficQueue.h"
#include "TrafficSamples.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <thread>

using namespace traffic;
using traffic::samples::ReadOf;
using traffic::samples::SerialOf;

namespace {

class Recording : public TTrafficObserver {
public:
    void ExchangeDone(const TTrafficExchange& e) override { seen.push_back(e); }
    std::vector<TTrafficExchange> seen;
};

} // namespace

class TestTrafficModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cap_data();
    void cap();
    void filters_data();
    void filters();
    void filterKeepsUpWithTheCap();
    void pauseCountsWhatItSkips();
    void rowsAsText();
    void saveView();
    void handOffFromAnotherThread();
    void observerRemovedWhilePublishing();
    void queueBoundCountsTheDropped();
    void recorderIdleCostsNothing();
    void recorderFillsOneRecord();
};

void TestTrafficModel::cap_data() {
    QTest::addColumn<int>("exchanges");
    QTest::addColumn<int>("batch");
    QTest::newRow("exactly the cap") << 5000 << 1;
    QTest::newRow("one past the cap") << 5001 << 1;
    QTest::newRow("far past, one at a time") << 6013 << 1;
    QTest::newRow("far past, in batches") << 6013 << 97;
    QTest::newRow("one batch larger than the cap") << 6013 << 6013;
}

void TestTrafficModel::cap() {
    QFETCH(int, exchanges);
    QFETCH(int, batch);
    TTrafficModel m;
    QCOMPARE(m.MaxFrames(), 10000);
    std::vector<TTrafficExchange> pending;
    for (int i = 0; i < exchanges; ++i) {
        pending.push_back(ReadOf(i));
        if (int(pending.size()) == batch || i == exchanges - 1) {
            m.AddExchanges(pending);
            pending.clear();
        }
    }
    QCOMPARE(m.FrameCount(), 10000);
    QCOMPARE(m.rowCount(), 10000);
    // The newest 10 000 frames, oldest first: the first kept one is a request when whole exchanges went.
    const int firstExchange = exchanges - 5000;
    QCOMPARE(m.Row(0).direction, TDirection::Request);
    QCOMPARE(SerialOf(m.Row(0)), firstExchange);
    QCOMPARE(m.Row(9999).direction, TDirection::Reply);
    QCOMPARE(SerialOf(m.Row(9999)), exchanges - 1);
    QCOMPARE(m.SkippedFrames(), 0);
}

void TestTrafficModel::filters_data() {
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("function");
    QTest::addColumn<int>("rows");
    // 30 exchanges: address 1 (i % 3 == 0) or 5; function 3, 16 or 17 (i % 5).
    QTest::newRow("none") << 0 << -1 << 60;
    QTest::newRow("address 1") << 1 << -1 << 20;
    QTest::newRow("address 5") << 5 << -1 << 40;
    QTest::newRow("address nobody has") << 7 << -1 << 0;
    QTest::newRow("function 16") << 0 << 16 << 12;
    QTest::newRow("address 5, function 3") << 5 << 3 << 24;
    QTest::newRow("address 1, function 17") << 1 << 17 << 4;
}

void TestTrafficModel::filters() {
    QFETCH(int, address);
    QFETCH(int, function);
    QFETCH(int, rows);
    TTrafficModel m;
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
    auto make = [](int i) {
        const std::uint8_t fn = i % 5 == 0 ? 16 : i % 5 == 1 ? 17 : 3;
        TTrafficExchange e = ReadOf(i, i % 3 == 0 ? 1 : 5, fn);
        if (i % 3 != 0) // a reply from a stranger still belongs to the exchange with address 5
            e.reply[0] = char(9);
        return e;
    };
    for (int i = 0; i < 15; ++i)
        m.AddExchange(make(i));
    // Filters set in the middle: rows kept before and after both count.
    m.SetAddressFilter(address);
    m.SetFunctionFilter(function);
    for (int i = 15; i < 30; ++i)
        m.AddExchange(make(i));
    QCOMPARE(m.rowCount(), rows);
    QCOMPARE(m.FrameCount(), 60);
    for (int r = 0; r < m.rowCount(); ++r) {
        QVERIFY(address == 0 || m.Row(r).slaveAddr == address);
        QVERIFY(function < 0 || m.Row(r).funcCode == function);
    }
    m.SetAddressFilter(0);
    m.SetFunctionFilter(-1);
    QCOMPARE(m.rowCount(), 60);
}

void TestTrafficModel::filterKeepsUpWithTheCap() {
    // A small cap, a filter, and the oldest rows dropped under it: the tester checks every signal.
    TTrafficModel m(nullptr, 10);
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
    m.SetAddressFilter(1);
    for (int i = 0; i < 40; ++i) {
        m.AddExchange(ReadOf(i, i % 4 == 0 ? 1 : 2));
        QVERIFY(m.FrameCount() <= 10);
    }
    // Kept: exchanges 35..39; of them address 1 only 36.
    QCOMPARE(m.FrameCount(), 10);
    QCOMPARE(m.rowCount(), 2);
    QCOMPARE(SerialOf(m.Row(0)), 36);
    m.AddExchanges(std::vector<TTrafficExchange>{ReadOf(40, 1), ReadOf(41, 2), ReadOf(42, 2), ReadOf(43, 2),
                                                 ReadOf(44, 1)});
    QCOMPARE(m.rowCount(), 4);
    QCOMPARE(SerialOf(m.Row(0)), 40);
    QCOMPARE(SerialOf(m.Row(3)), 44);
    m.SetAddressFilter(0);
    QCOMPARE(m.rowCount(), 10);
    QCOMPARE(SerialOf(m.Row(0)), 40);
}

void TestTrafficModel::pauseCountsWhatItSkips() {
    TTrafficModel m;
    QSignalSpy counts(&m, &TTrafficModel::CountsChanged);
    m.AddExchange(ReadOf(1));
    m.SetPaused(true);
    TTrafficExchange noisy = ReadOf(2);
    noisy.discarded = QByteArray("\x55\xAA", 2);
    m.AddExchange(noisy);                            // three frames
    m.AddExchanges(std::vector{ReadOf(3), ReadOf(4)}); // four
    TTrafficExchange refused = ReadOf(5);
    refused.request.clear();
    refused.reply.clear();
    refused.outcome = TOutcome::NotSent;
    m.AddExchange(refused); // one row
    QCOMPARE(m.rowCount(), 2);
    QCOMPARE(m.SkippedFrames(), 8);
    m.AddSkipped(3);
    QCOMPARE(m.SkippedFrames(), 11);
    m.SetPaused(false);
    m.AddExchange(ReadOf(6));
    QCOMPARE(m.rowCount(), 4);
    QCOMPARE(SerialOf(m.Row(2)), 6);
    QCOMPARE(m.SkippedFrames(), 11);
    QVERIFY(counts.count() >= 6);
    m.Clear();
    QCOMPARE(m.rowCount(), 0);
    QCOMPARE(m.FrameCount(), 0);
    QCOMPARE(m.SkippedFrames(), 0);
    m.AddExchange(ReadOf(7));
    QCOMPARE(SerialOf(m.Row(0)), 7);
}

void TestTrafficModel::rowsAsText() {
    TTrafficModel m;
    TTrafficExchange e = ReadOf(0x31);
    e.port = QStringLiteral("ttyUSB0");
    m.AddExchange(e);
    TTrafficExchange silent = ReadOf(0x32, 5);
    silent.reply.clear();
    silent.outcome = TOutcome::NoReply;
    silent.endUs = silent.sentUs + 1'203'000;
    m.AddExchange(silent);
    QCOMPARE(m.rowCount(), 3);
    QCOMPARE(m.RowsText({0, 2}),
             QStringLiteral("10:00:00.049\tЗапрос\t1\t3 Чтение регистров\t01 03 00 31 00 01 D5 C5\tНорма\t4.2\n"
                            "10:00:00.050\tЗапрос\t5\t3 Чтение регистров\t05 03 00 32 00 01 24 41\t"
                            "Превышен таймаут ожидания ответа\t1203\n"));
    const QString view = m.ViewText();
    QVERIFY(view.startsWith(QStringLiteral("Время\tНаправление\tАдрес\tФункция\tБайты\tИтог\tмс\r\n")));
    QCOMPARE(view.count(QStringLiteral("\r\n")), 4);
    QVERIFY(view.contains(QStringLiteral("10:00:00.053\tОтвет\t1\t3 Чтение регистров\t01 03 02 00 31 79 90\tНорма\t4.2\r\n")));
    // Only the shown rows.
    m.SetAddressFilter(5);
    QCOMPARE(m.ViewText().count(QStringLiteral("\r\n")), 2);
    QCOMPARE(m.RowsText({5}), QString());
}

void TestTrafficModel::saveView() {
    TTrafficModel m;
    m.AddExchange(ReadOf(1));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("обмен.txt"));
    QString error;
    QVERIFY(m.SaveView(path, &error));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(f.readAll()), m.ViewText());
    QVERIFY(!m.SaveView(dir.filePath(QStringLiteral("missing/обмен.txt")), &error));
    QVERIFY(!error.isEmpty());
}

void TestTrafficModel::handOffFromAnotherThread() {
    TTrafficModel m;
    TTrafficQueue q(&m, 5);
    TTrafficTap tap;
    QVERIFY(!tap.Active());
    tap.AddObserver(&q);
    QVERIFY(tap.Active());
    constexpr int Count = 3000;
    // Made here: the link's thread only fills in times, as a link does.
    std::vector<TTrafficExchange> exchanges;
    for (int i = 0; i < Count; ++i)
        exchanges.push_back(ReadOf(i));
    std::thread link([&] {
        for (TTrafficExchange& e : exchanges) {
            e.sentUs = NowUs();
            e.endUs = e.sentUs + 4200;
            e.anchorWallMs = 0; // the tap stamps it
            tap.Publish(e);
        }
    });
    QTRY_COMPARE_WITH_TIMEOUT(m.rowCount(), 2 * Count, 10000);
    link.join();
    for (int r = 0; r < m.rowCount(); ++r)
        QCOMPARE(SerialOf(m.Row(r)), r / 2);
    QVERIFY(qAbs(m.Row(0).wallMs - QDateTime::currentMSecsSinceEpoch()) < 10'000);
    tap.RemoveObserver(&q);
    QVERIFY(!tap.Active());
}

void TestTrafficModel::observerRemovedWhilePublishing() {
    // The window closes the view while the link publishes: once RemoveObserver returns, the observer is
    // never called again, so it may go away at once.
    TTrafficTap tap;
    std::atomic<bool> stop{false};
    std::atomic<int> published{0};
    const QByteArray request = ReadOf(1).request;
    std::thread link([&] {
        while (!stop) {
            TTrafficRecorder rec(&tap, TGeneration::Newer, QStringLiteral("ttyUSB0"), 115200);
            rec.Query(1, 3);
            rec.Sent(reinterpret_cast<const std::uint8_t*>(request.constData()), int(request.size()));
            rec.Finish(TOutcome::NoReply);
            ++published;
        }
    });
    // On a busy machine the link's thread may start late: the rounds must overlap its publishing.
    QTRY_VERIFY(published > 0);
    for (int round = 0; round < 50 || published < 100; ++round) {
        auto* r = new Recording;
        tap.AddObserver(r);
        std::this_thread::yield();
        tap.RemoveObserver(r);
        const std::size_t seen = r->seen.size();
        std::this_thread::yield();
        QCOMPARE(r->seen.size(), seen);
        delete r;
    }
    stop = true;
    link.join();
}

void TestTrafficModel::queueBoundCountsTheDropped() {
    // A window that does not drain (a long modal wait) never makes the link wait or memory grow.
    TTrafficModel m(nullptr, 100);
    TTrafficQueue q(&m, 0);
    for (int i = 0; i < 130; ++i)
        q.ExchangeDone(ReadOf(i));
    QCOMPARE(q.Waiting(), 100);
    q.Drain();
    QCOMPARE(q.Waiting(), 0);
    QCOMPARE(m.FrameCount(), 100);
    QCOMPARE(SerialOf(m.Row(0)), 80);
    QCOMPARE(m.SkippedFrames(), 60);
}

void TestTrafficModel::recorderIdleCostsNothing() {
    TTrafficTap tap;
    const QByteArray frame = ReadOf(1).request;
    const auto* p = reinterpret_cast<const std::uint8_t*>(frame.constData());
    TTrafficRecorder idle(&tap, TGeneration::Newer, QStringLiteral("ttyUSB0"), 19200);
    QVERIFY(!idle.Active());
    idle.Query(1, 3);
    idle.Discarded(p, 3);
    idle.Sent(p, int(frame.size()));
    idle.Piece(p, 5);
    idle.Finish(TOutcome::Ok);
    // Nothing was copied or allocated.
    QVERIFY(idle.Exchange().request.isNull());
    QVERIFY(idle.Exchange().reply.isNull());
    QVERIFY(idle.Exchange().discarded.isNull());
    QVERIFY(idle.Exchange().port.isNull());
    QCOMPARE(idle.Exchange().pieces.capacity(), 0);
    QCOMPARE(idle.Exchange().sentUs, 0);
    TTrafficRecorder none(nullptr, TGeneration::Older, QString(), 1200);
    QVERIFY(!none.Active());
    none.Finish(TOutcome::Ok);
}

void TestTrafficModel::recorderFillsOneRecord() {
    TTrafficTap tap;
    Recording seen;
    tap.AddObserver(&seen);
    tap.AddObserver(&seen); // once only
    const QByteArray req = ReadOf(7).request;
    const QByteArray rep = ReadOf(7).reply;
    const auto* r = reinterpret_cast<const std::uint8_t*>(rep.constData());
    const qint64 before = NowUs();
    TTrafficRecorder rec(&tap, TGeneration::Older, QStringLiteral("ttyS0"), 1200, 2);
    QVERIFY(rec.Active());
    rec.Query(1, 3);
    rec.Discarded(reinterpret_cast<const std::uint8_t*>("\x55"), 1);
    rec.Sent(reinterpret_cast<const std::uint8_t*>(req.constData()), int(req.size()));
    rec.Piece(r, 2);
    rec.Piece(r + 2, 0); // an empty read is no piece
    rec.Piece(r + 2, int(rep.size()) - 2);
    rec.Finish(TOutcome::Exception, 5, QStringLiteral("text"));
    rec.Finish(TOutcome::Ok); // published once
    QCOMPARE(seen.seen.size(), std::size_t(1));
    const TTrafficExchange& e = seen.seen.front();
    QCOMPARE(e.generation, TGeneration::Older);
    QCOMPARE(e.port, QStringLiteral("ttyS0"));
    QCOMPARE(e.bitRate, 1200);
    QCOMPARE(e.attempt, std::uint8_t(2));
    QCOMPARE(e.slaveAddr, std::uint8_t(1));
    QCOMPARE(e.funcCode, std::uint8_t(3));
    QCOMPARE(e.discarded, QByteArray("\x55"));
    QCOMPARE(e.request, req);
    QCOMPARE(e.reply, rep);
    QCOMPARE(e.pieces.size(), 2);
    QCOMPARE(e.pieces[0].end, 2);
    QCOMPARE(e.pieces[1].end, int(rep.size()));
    QVERIFY(before <= e.discardedUs && e.discardedUs <= e.sentUs && e.sentUs <= e.pieces[0].timeUs &&
            e.pieces[1].timeUs <= e.endUs && e.endUs <= e.anchorUs);
    QVERIFY(e.anchorWallMs > 0);
    QCOMPARE(e.outcome, TOutcome::Exception);
    QCOMPARE(e.code, std::uint8_t(5));
    QCOMPARE(e.linkText, QStringLiteral("text"));
    tap.RemoveObserver(&seen);
    QVERIFY(!tap.Active());
}

QTEST_GUILESS_MAIN(TestTrafficModel)
#include "tst_traffic_model.moc"
