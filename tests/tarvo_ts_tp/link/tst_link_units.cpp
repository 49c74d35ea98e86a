// The link's parts that need no port: rate and timing tables, logs, string helpers, the face of the
// link without a thread and the pickup of stale completions.
#include "Logging.h"
#include "MessageService.h"
#include "ModbusComm.h"
#include "StringFunc.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

namespace {

class RecordingService final : public TMessageService {
public:
    struct Box {
        QString text, caption;
        Icon icon;
        int buttons;
    };
    QList<Box> boxes;
    int MessageBox(const QString& text, const QString& caption, Icon icon, int buttons) override {
        boxes.append({text, caption, icon, buttons});
        return Ok;
    }
};

class Receiver : public QObject {
public:
    QList<TModbusCmdQuery> results;

protected:
    bool event(QEvent* e) override {
        if (e->type() != QueryDoneEvent::EventType)
            return QObject::event(e);
        TModbusCmdQuery q;
        if (TakeFinishedQuery(*static_cast<QueryDoneEvent*>(e), q))
            results.append(q);
        return true;
    }
};

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The part of a log line after the time stamp "dd/mm/yyyy hh:nn:ss.zzz".
QList<QByteArray> lineBodies(const QByteArray& log) {
    QList<QByteArray> out;
    for (const QByteArray& line : log.split('\n'))
        if (!line.isEmpty())
            out << line.mid(23);
    return out;
}

} // namespace

class TestLinkUnits : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void baudRates_data() {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("bps");
        const int bps[] = {1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
        for (int i = 0; i < 12; ++i)
            QTest::addRow("%d", bps[i]) << i << bps[i];
    }
    void baudRates() {
        QFETCH(int, rate);
        QFETCH(int, bps);
        QCOMPARE(BaudRateToInt(rate), bps);
        QCOMPARE(int(IntToBaudRate(bps)), rate);
    }
    void baudRatesOutsideTable() {
        QCOMPARE(BaudRateToInt(12), 0);
        QCOMPARE(BaudRateToInt(-1), 0);
        QCOMPARE(IntToBaudRate(300), CBR_1200);
        QCOMPARE(IntToBaudRate(0), CBR_1200);
    }

    void timing_data() {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("silence");
        QTest::addColumn<int>("gap");
        QTest::addColumn<int>("busy");
        const int t[12][3] = {{32, 14, 2383}, {16, 7, 1192}, {8, 3, 596}, {4, 2, 298},
                              {3, 1, 199},    {2, 1, 149},   {1, 0, 74},  {1, 0, 51},
                              {1, 0, 50},     {0, 0, 25},    {0, 0, 22},  {0, 0, 11}};
        for (int i = 0; i < 12; ++i)
            QTest::addRow("%d", BaudRateToInt(i)) << i << t[i][0] << t[i][1] << t[i][2];
    }
    void timing() {
        QFETCH(int, rate);
        QFETCH(int, silence);
        QFETCH(int, gap);
        QFETCH(int, busy);
        const TLineTiming lt = LineTiming(TBaudRate(rate));
        QCOMPARE(lt.SilenceTime, silence);
        QCOMPARE(lt.CharGapTime, gap);
        QCOMPARE(lt.BusyLimitTime, busy);
    }

    void portDisplayName_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("cyrillic");
        QTest::addColumn<QString>("shown");
        QTest::newRow("COM3 latin") << u"COM3"_qs << false << u"COM3"_qs;
        QTest::newRow("COM3 cyrillic") << u"COM3"_qs << true << u"СОМ3"_qs;
        QTest::newRow("tty") << u"ttyUSB0"_qs << true << u"ttyUSB0"_qs;
        QTest::newRow("path") << u"/tmp/tarvo-sim/bus0"_qs << true << u"/tmp/tarvo-sim/bus0"_qs;
        QTest::newRow("COM without number") << u"COMx"_qs << true << u"COMx"_qs;
    }
    void portDisplayName() {
        QFETCH(QString, name);
        QFETCH(bool, cyrillic);
        QFETCH(QString, shown);
        QCOMPARE(PortDisplayName(name, cyrillic), shown);
    }

    void timeStamp() {
        const QDateTime t(QDate(2021, 3, 7), QTime(9, 5, 3, 45));
        QCOMPARE(LogTimeStamp(t, QLatin1Char('.'), QLatin1Char(':')), u"07.03.2021 09:05:03.045"_qs);
        QCOMPARE(LogTimeStamp(t, QLatin1Char('/'), QLatin1Char('.')), u"07/03/2021 09.05.03.045"_qs);
    }

    void hexText_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("group");
        QTest::addColumn<QString>("text");
        QTest::newRow("group 1") << QByteArray("\x01\x03\x14", 3) << 3 << 1 << u"01 03 14 "_qs;
        QTest::newRow("group 2") << QByteArray("\x12\x34\x56\x78", 4) << 4 << 2 << u"34 12 78 56 "_qs;
        QTest::newRow("group 4") << QByteArray("\x12\x34\x56\x78", 4) << 4 << 4 << u"34 12 78 56 "_qs;
        QTest::newRow("group 8") << QByteArray("\x01\x02\x03\x04\x05\x06\x07\x08", 8) << 8 << 8
                                 << u"02 01 04 03 06 05 08 07 "_qs;
        QTest::newRow("count below buffer") << QByteArray("\xAB\xCD\xEF", 3) << 2 << 1 << u"AB CD "_qs;
        QTest::newRow("odd count in pairs")
            << QByteArray("\x0A\x0B\x0C\x0D", 4) << 3 << 2 << u"0B 0A 0D 0C "_qs;
        QTest::newRow("last pair outside the buffer")
            << QByteArray("\x0A\x0B\x0C", 3) << 3 << 2 << u"0B 0A 0C "_qs;
        QTest::newRow("zero") << QByteArray("\x01", 1) << 0 << 1 << QString();
        QTest::newRow("negative") << QByteArray("\x01", 1) << -1 << 1 << QString();
    }
    void hexText() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, count);
        QFETCH(int, group);
        QFETCH(QString, text);
        const auto span =
            std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()), size_t(bytes.size()));
        QCOMPARE(HexLogText(span, count, group), text);
    }

    void writeLogLine() {
        QTemporaryDir dir;
        const QString file = dir.filePath(u"t.log"_qs);
        const QDateTime before = QDateTime::currentDateTime();
        QVERIFY(WriteLog(u"Connected to СОМ3 (9600)"_qs, file));
        QVERIFY(WriteLog(u"второй"_qs, file));
        const QByteArray log = readAll(file);
        const QList<QByteArray> lines = log.split('\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[2].isEmpty());
        QVERIFY(lines[0].endsWith('\r'));
        // The time stamp of now, then ": ", then the text in Windows-1251, ended by CR LF.
        const QByteArray stamp = lines[0].left(23);
        QCOMPARE(stamp.mid(0, 10), LogTimeStamp(before).left(10).toLatin1());
        QCOMPARE(lines[0].mid(23), QByteArray(": Connected to \xD1\xCE\xCC"
                                              "3 (9600)\r"));
        QCOMPARE(lines[1].mid(23), QByteArray(": \xE2\xF2\xEE\xF0\xEE\xE9\r"));
    }

    void writeLogHexLine() {
        QTemporaryDir dir;
        const QString file = dir.filePath(u"t.log"_qs);
        const std::uint8_t bytes[] = {0x01, 0x03, 0x14};
        QVERIFY(WriteLogHex(bytes, 3, file, 1));
        QVERIFY(WriteLogHex(bytes, 0, file, 1));
        QCOMPARE(lineBodies(readAll(file)), (QList<QByteArray>{": 01 03 14 \r", ": \r"}));
    }

    void unwritableLogIsSkipped() { QVERIFY(!WriteLog(u"x"_qs, u"/nonexistent-dir/for/sure/x.log"_qs)); }

    void loggingSwitch() {
        QTemporaryDir dir;
        SetLogDirectory(dir.path());
        InitLogging();
        QVERIFY(!LoggingEnabled);
        QFile on(dir.filePath(u"logging.on"_qs));
        QVERIFY(on.open(QIODevice::WriteOnly));
        on.close();
        InitLogging();
        QVERIFY(LoggingEnabled);
        QCOMPARE(ThreadLogFile(), dir.filePath(u"thread.log"_qs));
        QCOMPARE(ProgramLogFile(), dir.filePath(u"tst_link_units.log"_qs));
        LoggingEnabled = false;
        SetLogDirectory({});
    }

    void padStr_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("left");
        QTest::addColumn<QString>("result");
        QTest::newRow("day") << u"7"_qs << 2 << true << u"07"_qs;
        QTest::newRow("year unchanged") << u"2021"_qs << 4 << true << u"2021"_qs;
        QTest::newRow("longer unchanged") << u"12345"_qs << 4 << false << u"12345"_qs;
        QTest::newRow("right") << u"7"_qs << 3 << false << u"700"_qs;
    }
    void padStr() {
        QFETCH(QString, text);
        QFETCH(int, width);
        QFETCH(bool, left);
        QFETCH(QString, result);
        QCOMPARE(PadStr(text, QLatin1Char('0'), width, left), result);
    }

    void formatValue_data() {
        QTest::addColumn<int>("decimals");
        QTest::addColumn<bool>("allowNonPositive");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("result");
        QTest::newRow("3 decimals") << 3 << true << 12.3456 << u"12.346"_qs;
        QTest::newRow("2 decimals pad") << 2 << true << 5.0 << u"5.00"_qs;
        QTest::newRow("below one") << 2 << true << 0.5 << u"0.50"_qs;
        QTest::newRow("negative") << 2 << true << -3.14159 << u"-3.14"_qs;
        QTest::newRow("no thousands separator") << 1 << true << 1234567.25 << u"1234567.3"_qs;
        QTest::newRow("general") << -1 << true << 12.5 << u"12.5"_qs;
        QTest::newRow("zero refused") << 2 << false << 0.0 << QString();
        QTest::newRow("negative refused") << 2 << false << -1.0 << QString();
        QTest::newRow("not a number") << 2 << true << std::nan("") << QString();
    }
    void formatValue() {
        QFETCH(int, decimals);
        QFETCH(bool, allowNonPositive);
        QFETCH(double, value);
        QFETCH(QString, result);
        QString out = u"stale"_qs;
        FormatValue(decimals, allowNonPositive, out, value);
        // Written with '.', compared with the system's decimal separator.
        QCOMPARE(out, QString(result).replace(QLatin1Char('.'), QLocale::system().decimalPoint()));
    }
    void tryStrToIntDec_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << u"4294"_qs << true << 4294;
        QTest::newRow("negative") << u"-17"_qs << true << -17;
        QTest::newRow("plus") << u"+5"_qs << true << 5;
        QTest::newRow("max") << u"2147483647"_qs << true << 2147483647;
        QTest::newRow("min") << u"-2147483648"_qs << true << int(-2147483648LL);
        QTest::newRow("overflow") << u"2147483648"_qs << false << 0;
        QTest::newRow("dollar hex") << u"$1F"_qs << false << 0;
        QTest::newRow("0x hex") << u"0x1F"_qs << false << 0;
        QTest::newRow("empty") << QString() << false << 0;
        QTest::newRow("sign only") << u"-"_qs << false << 0;
        QTest::newRow("letters") << u"12a"_qs << false << 0;
        QTest::newRow("fraction") << u"1.5"_qs << false << 0;
    }
    void tryStrToIntDec() {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(int, value);
        int v = 0;
        QCOMPARE(TryStrToIntDec(text, v), ok);
        if (ok)
            QCOMPARE(v, value);
    }

    void noLink() {
        QVERIFY(!CommThreadConnected());
        QCOMPARE(CommThreadPortName(), QString());
        QCOMPARE(CommThreadBaudRate(), CBR_9600);
        const std::uint8_t data[TModbusCmdQuery::BufferSize] = {};
        QVERIFY(!SendModbusQuery(1, 3, 0x31, 10, data, 0, false));
        QCOMPARE(QueueCount(), 0);
        QVERIFY(DestroyCommThread());
    }

    void missingPort() {
        RecordingService service;
        SetMessageService(&service);
        QString err = u"stale"_qs;
        QObject form;
        QVERIFY(!CreateCommThread(&form, u"/nonexistent/ttyTarvo9"_qs, CBR_9600, err));
        SetMessageService(nullptr);
        QCOMPARE(err, u"/nonexistent/ttyTarvo9: Попытка открыть несуществующий COM-порт"_qs);
        QCOMPARE(service.boxes.size(), 1);
        QCOMPARE(service.boxes[0].text, err);
        QCOMPARE(service.boxes[0].caption, u"Tarvo-ТС-ТП"_qs);
        QCOMPARE(service.boxes[0].icon, TMessageService::Icon::Error);
        QVERIFY(!CommThreadConnected());
        QCOMPARE(CommThreadPortName(), QString());
        // No thread is left behind: queuing is refused.
        QVERIFY(!SendModbusQuery(1, 3, 0x31, 10, nullptr, 0, false));
    }

    // A port that fails to open for another reason than missing or busy: the link starts unconnected,
    // shows nothing and answers every query with "Порт не подключен". Logging into a folder that cannot
    // be written stops nothing.
    void notASerialPort() {
        LoggingEnabled = true;
        SetLogDirectory(u"/nonexistent-dir/for/sure"_qs);
        RecordingService service;
        SetMessageService(&service);
        Receiver form;
        QString err = u"stale"_qs;
        QVERIFY(CreateCommThread(&form, u"/dev/null"_qs, CBR_19200, err));
        SetMessageService(nullptr);
        QCOMPARE(err, QString());
        QVERIFY(service.boxes.isEmpty());
        QVERIFY(!CommThreadConnected());
        QVERIFY(SendModbusQuery(1, 3, 0x31, 10, nullptr, 0, false));
        QTRY_COMPARE(form.results.size(), 1);
        QCOMPARE(form.results[0].ErrorString, u"Порт не подключен"_qs);
        QCOMPARE(form.results[0].FuncCode, 3);
        QVERIFY(DestroyCommThread());
        LoggingEnabled = false;
        SetLogDirectory({});
    }

    // A window destroyed before the link gets no completion posted to its memory afterwards.
    void windowGoneBeforeLink() {
        auto* form = new Receiver;
        QString err;
        QVERIFY(CreateCommThread(form, u"/dev/null"_qs, CBR_9600, err));
        for (int i = 0; i < 3; ++i)
            QVERIFY(SendModbusQuery(1, 3, 0x31, 10, nullptr, 0, false));
        delete form;
        // The thread goes on answering into the pending list; nothing is posted any more.
        const auto allFinished = [] {
            QMutexLocker lock(&LinkQueues().QueueLock);
            const auto& pending = LinkQueues().PendingQueries;
            return std::all_of(pending.begin(), pending.end(), [](const auto& p) { return p.finished; });
        };
        QTRY_VERIFY(allFinished());
        QCoreApplication::processEvents();
        QVERIFY(DestroyCommThread());
        QVERIFY(LinkQueues().PendingQueries.empty());
    }

    void stalePickupIsHarmless() {
        // An event for a query that is no longer pending touches nothing, whatever the pointer.
        TModbusCmdQuery received;
        received.ErrorString = u"kept"_qs;
        TModbusCmdQuery* gone = reinterpret_cast<TModbusCmdQuery*>(quintptr(0x1000));
        QVERIFY(!TakeFinishedQuery(QueryDoneEvent(gone, 77), received));
        QVERIFY(!TakeFinishedQuery(gone, received));
        QCOMPARE(received.ErrorString, u"kept"_qs);
    }

    void queueCountText() { QCOMPARE(QueueCountText(), u"Элементов в очереди: 0"_qs); }
};

QTEST_GUILESS_MAIN(TestLinkUnits)
#include "tst_link_units.moc"
