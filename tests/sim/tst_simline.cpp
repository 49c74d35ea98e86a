// The simulator on its ptys, driven by a real QSerialPort as the master: rate match, framing by silence,
// CRC and address, line timing, faults, hang-up, control channel.
#include "SimCore.h"
#include "SimFixture.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSerialPort>
#include <QTest>
#include <ctime>

namespace {

QByteArray Framed(const QByteArray& hex) {
    sim::Bytes b;
    for (const QByteArray& w : hex.split(' '))
        if (!w.isEmpty())
            b.push_back(std::uint8_t(w.toUInt(nullptr, 16)));
    sim::AppendCrc(b);
    return QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size()));
}

bool Open(QSerialPort& port, const QString& path, int rate, QSerialPort::StopBits stop = QSerialPort::TwoStop,
          QSerialPort::Parity parity = QSerialPort::NoParity) {
    port.setPortName(path);
    if (!port.open(QIODevice::ReadWrite))
        return false;
    return port.setBaudRate(rate) && port.setDataBits(QSerialPort::Data8) && port.setStopBits(stop) &&
           port.setParity(parity) && port.setFlowControl(QSerialPort::NoFlowControl);
}

// Reads until `count` bytes came or `timeoutMs` passed.
QByteArray ReadUpTo(QSerialPort& port, int count, int timeoutMs) {
    QByteArray got;
    QElapsedTimer t;
    t.start();
    while (got.size() < count && t.elapsed() < timeoutMs) {
        if (port.bytesAvailable() > 0 ||
            port.waitForReadyRead(int(std::max<qint64>(1, timeoutMs - t.elapsed()))))
            got += port.read(count - got.size());
        if (port.error() == QSerialPort::ResourceError)
            break;
    }
    return got;
}

QByteArray Transact(QSerialPort& port, const QByteArray& request, int count, int timeoutMs = 500) {
    port.clear();
    port.write(request);
    port.waitForBytesWritten(100);
    return ReadUpTo(port, count, timeoutMs);
}

bool CrcOk(const QByteArray& reply) {
    return sim::FrameCrcOk(sim::Bytes(reply.begin(), reply.end()));
}

qint64 NowUsec() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

const QByteArray Identify1 = Framed("01 11");

} // namespace

class TestSimLine : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<SimFixture> sim;
    QString bus0, bus1;

private Q_SLOTS:
    void init() {
        sim = std::make_unique<SimFixture>();
        QString error;
        QVERIFY2(sim->start(&error), qPrintable(error));
        bus0 = sim->portPath(0);
        bus1 = sim->portPath(1);
        QVERIFY(QFileInfo(bus0).isSymLink());
        // Exact values for the checks below.
        QCOMPARE(sim->command(QStringLiteral("set 0:1 drift 0")), QStringLiteral("ok"));
    }
    void cleanup() { sim.reset(); }

    void hearsOnlyAtItsLineSettings_data() {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("stop");
        QTest::addColumn<int>("parity");
        QTest::addColumn<bool>("answers");
        QTest::newRow("19200 8N2") << 19200 << int(QSerialPort::TwoStop) << int(QSerialPort::NoParity)
                                   << true;
        QTest::newRow("9600 8N2") << 9600 << int(QSerialPort::TwoStop) << int(QSerialPort::NoParity) << false;
        QTest::newRow("19200 8N1") << 19200 << int(QSerialPort::OneStop) << int(QSerialPort::NoParity)
                                   << false;
        // Parity and data bits cannot be changed on a pty on every kernel (EINVAL), so they are not rows
        // here.
    }
    void hearsOnlyAtItsLineSettings() {
        QFETCH(int, rate);
        QFETCH(int, stop);
        QFETCH(int, parity);
        QFETCH(bool, answers);
        QSerialPort port;
        QVERIFY(Open(port, bus0, rate, QSerialPort::StopBits(stop), QSerialPort::Parity(parity)));
        const QByteArray reply = Transact(port, Identify1, 71, answers ? 1000 : 300);
        QCOMPARE(reply.size(), answers ? 71 : 0);
        if (answers)
            QVERIFY(CrcOk(reply));
    }

    void framingCrcAndAddress_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("pauseMs"); // silence inside the request after its 4th byte
        QTest::addColumn<int>("replyLength");
        QTest::newRow("one write") << Framed("01 03 00 31 00 0A") << 0 << 25;
        QTest::newRow("split by silence") << Framed("01 03 00 31 00 0A") << 20 << 0;
        QTest::newRow("bad CRC") << QByteArray::fromHex("0103003100 0A9403") << 0 << 0;
        QTest::newRow("nobody at 2") << Framed("02 03 00 31 00 0A") << 0 << 0;
        QTest::newRow("second transducer") << Framed("05 03 00 31 00 0A") << 0 << 25;
    }
    void framingCrcAndAddress() {
        QFETCH(QByteArray, request);
        QFETCH(int, pauseMs);
        QFETCH(int, replyLength);
        QSerialPort port;
        QVERIFY(Open(port, bus0, 19200));
        if (pauseMs > 0) {
            port.write(request.left(4));
            port.waitForBytesWritten(100);
            QTest::qSleep(pauseMs); // the silence is what is tested
            port.write(request.mid(4));
            port.waitForBytesWritten(100);
        } else {
            port.write(request);
            port.waitForBytesWritten(100);
        }
        const QByteArray reply = ReadUpTo(port, 25, replyLength ? 1000 : 300);
        QCOMPARE(reply.size(), replyLength);
    }

    // The one timing test: latency, 11-bit characters, and the received-byte log.
    void lineTiming() {
        QSerialPort port;
        QVERIFY(Open(port, bus0, 19200));
        sim->clearReceived(0);
        sim->clearTransmitted(0);
        QCOMPARE(sim->command(QStringLiteral("set 0:1 latency 20")), QStringLiteral("ok"));
        port.clear();
        const qint64 sent = NowUsec();
        port.write(Identify1);
        port.waitForBytesWritten(100);
        QByteArray reply;
        qint64 first = 0;
        QElapsedTimer t;
        t.start();
        while (reply.size() < 71 && t.elapsed() < 2000) {
            if (port.waitForReadyRead(100)) {
                if (reply.isEmpty())
                    first = NowUsec();
                reply += port.readAll();
            }
        }
        const qint64 last = NowUsec();
        QCOMPARE(reply.size(), 71);
        // request on the wire (4 × 0.57 ms) + 3.5 characters + 20 ms latency before the first byte
        const qint64 toFirst = first - sent;
        QVERIFY2(toFirst >= 22000 && toFirst < 60000, qPrintable(QString::number(toFirst)));
        // 71 characters of 11 bits at 19200 bit/s: 40.7 ms; the reader's first wake-up may come late on a
        // loaded machine, so the exact pacing is checked on the bus's own log below.
        const qint64 span = last - first;
        QVERIFY2(span >= 30000 && span < 90000, qPrintable(QString::number(span)));

        // Unpaced, the whole reply comes in one write.
        QCOMPARE(sim->command(QStringLiteral("pace 0 off")), QStringLiteral("ok"));
        port.clear();
        port.write(Identify1);
        port.waitForBytesWritten(100);
        QCOMPARE(ReadUpTo(port, 1, 1000).size(), 1);
        const qint64 burstStart = NowUsec();
        QCOMPARE(ReadUpTo(port, 70, 1000).size(), 70);
        QVERIFY2(NowUsec() - burstStart < 15000, qPrintable(QString::number(NowUsec() - burstStart)));

        const auto rx = sim->received(0);
        QCOMPARE(rx.size(), 8);
        QCOMPARE(rx[0].byte, quint8(0x01));
        QCOMPARE(rx[3].byte, quint8(0x2C));
        QCOMPARE(rx[0].chunk, rx[3].chunk); // one write, one chunk
        QVERIFY(rx[0].usec >= sent - 1000 && rx[0].usec <= first);
        // The bus's own log: silence after the request, then 11-bit characters; unpaced, one write.
        const auto tx = sim->transmitted(0);
        QCOMPARE(tx.size(), 142);
        QVERIFY2(tx[0].usec - rx[3].usec >= 22000, qPrintable(QString::number(tx[0].usec - rx[3].usec)));
        // 70 character times (40.1 ms), less a late wake-up for the first byte
        QVERIFY2(tx[70].usec - tx[0].usec >= 35000, qPrintable(QString::number(tx[70].usec - tx[0].usec)));
        QCOMPARE(tx[71].chunk, tx[141].chunk);
    }

    void twoWritesAreTwoChunks() {
        QSerialPort port;
        QVERIFY(Open(port, bus0, 19200));
        sim->clearReceived(0);
        port.write(Identify1.left(2));
        port.waitForBytesWritten(100);
        QTest::qSleep(50); // well apart, so that a busy machine still reads them as two chunks
        port.write(Identify1.mid(2));
        port.waitForBytesWritten(100);
        QTRY_COMPARE(sim->received(0).size(), 4);
        const auto rx = sim->received(0);
        QVERIFY(rx[1].chunk != rx[2].chunk);
        QVERIFY(rx[2].usec - rx[1].usec >= 20000);
    }

    void faultsOverTheLine_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("crcOk");
        QTest::addColumn<int>("address");
        QTest::newRow("none") << QString() << 71 << true << 1;
        QTest::newRow("badcrc") << QStringLiteral("badcrc on") << 71 << false << 1;
        QTest::newRow("otheraddr") << QStringLiteral("otheraddr 9") << 71 << true << 9;
        QTest::newRow("truncate") << QStringLiteral("truncate 24") << 24 << false << 1;
        QTest::newRow("exception") << QStringLiteral("exception 4") << 5 << true << 1;
        QTest::newRow("silent") << QStringLiteral("silent on") << 0 << false << 0;
    }
    void faultsOverTheLine() {
        QFETCH(QString, fault);
        QFETCH(int, length);
        QFETCH(bool, crcOk);
        QFETCH(int, address);
        if (!fault.isEmpty())
            QCOMPARE(sim->command(QStringLiteral("fault 0:1 ") + fault), QStringLiteral("ok"));
        QSerialPort port;
        QVERIFY(Open(port, bus0, 19200));
        const QByteArray reply = Transact(port, Identify1, 71, 300);
        QCOMPARE(reply.size(), length);
        QCOMPARE(CrcOk(reply), crcOk);
        if (length > 0)
            QCOMPARE(int(quint8(reply[0])), address);
        QCOMPARE(sim->command(QStringLiteral("fault 0:1 clear")), QStringLiteral("ok"));
        QCOMPARE(Transact(port, Identify1, 71, 1000).size(), 71);
    }

    void slowPieces() {
        QCOMPARE(sim->command(QStringLiteral("fault 0:1 slow 20 60")), QStringLiteral("ok"));
        QSerialPort port;
        QVERIFY(Open(port, bus0, 19200));
        port.clear();
        port.write(Identify1);
        port.waitForBytesWritten(100);
        // The reply comes as 20 + 20 + 20 + 11 bytes; no byte of the second piece within 40 ms of the first.
        const QByteArray first = ReadUpTo(port, 20, 1000);
        QCOMPARE(first.size(), 20);
        QVERIFY(!port.waitForReadyRead(40));
        const QByteArray rest = ReadUpTo(port, 51, 1000);
        QCOMPARE(rest.size(), 51);
        QVERIFY(CrcOk(first + rest));
    }

    void chatterKeepsTheLineBusy() {
        QSerialPort port;
        QVERIFY(Open(port, bus0, 19200));
        QCOMPARE(sim->command(QStringLiteral("chatter 0 on")), QStringLiteral("ok"));
        // about 1745 characters a second at 19200 bit/s
        QByteArray noise = ReadUpTo(port, 100000, 200);
        QVERIFY2(noise.size() > 200 && noise.size() < 600, qPrintable(QString::number(noise.size())));
        // A request sent into the noise collides with it and is not carried out.
        const QByteArray write = Framed("01 10 00 1F 00 02 04 00 00 30 39");
        port.write(write);
        port.waitForBytesWritten(100);
        ReadUpTo(port, 100000, 100);
        QCOMPARE(sim->command(QStringLiteral("get 0:1 sensornumber")), QStringLiteral("ok 118001"));
        QCOMPARE(sim->command(QStringLiteral("chatter 0 off")), QStringLiteral("ok"));
        ReadUpTo(port, 100000, 20);
        port.clear();
        QCOMPARE(ReadUpTo(port, 1, 100).size(), 0);
        QCOMPARE(Transact(port, write, 8, 1000).size(), 8);
        QCOMPARE(sim->command(QStringLiteral("get 0:1 sensornumber")), QStringLiteral("ok 12345"));
    }

    void newAddressAndRateOverTheLine() {
        QSerialPort port;
        QVERIFY(Open(port, bus0, 19200));
        QByteArray block = Transact(port, Framed("01 03 00 31 00 0A"), 25, 1000);
        QCOMPARE(block.size(), 25);
        QByteArray data = block.mid(3, 20);
        data[15] = 9; // address
        data[17] = 6; // 38400 bit/s
        sim::Bytes w{1, 0x10, 0, 0x31, 0, 10, 20};
        w.insert(w.end(), data.begin(), data.end());
        sim::AppendCrc(w);
        const QByteArray echo =
            Transact(port, QByteArray(reinterpret_cast<const char*>(w.data()), qsizetype(w.size())), 8, 1000);
        QCOMPARE(echo.toHex(' '), Framed("01 10 00 31 00 0A").toHex(' ')); // old address, old rate
        QCOMPARE(Transact(port, Framed("09 11"), 71, 300).size(), 0);      // not at 19200 any more
        QVERIFY(port.setBaudRate(38400));
        QCOMPARE(sim->command(QStringLiteral("line 0")),
                 QStringLiteral("ok rate=38400 data=8 stop=2 parity=none"));
        QCOMPARE(Transact(port, Framed("01 11"), 71, 300).size(), 0);
        const QByteArray id = Transact(port, Framed("09 11"), 71, 1000);
        QCOMPARE(id.size(), 71);
        QCOMPARE(int(quint8(id[3])), 118);
        QCOMPARE(sim->command(QStringLiteral("get 0:9 rate")), QStringLiteral("ok 38400"));
    }

    void olderGenerationAt1200() {
        QSerialPort port;
        QVERIFY(Open(port, bus1, 1200));
        const QByteArray id = Transact(port, Framed("03 11"), 55, 2000);
        QCOMPARE(id.size(), 55);
        QCOMPARE(int(quint8(id[3])), 77);
        QVERIFY(CrcOk(id));
        const QByteArray id78 = Transact(port, Framed("04 11"), 55, 2000);
        QCOMPARE(id78.size(), 55);
        QCOMPARE(int(quint8(id78[3])), 78);
    }

    // A device of another kind beside a transducer on one line: both answer as their kinds do, and the
    // control channel reads and changes the other device's registers.
    void foreignDeviceOnTheLine() {
        SimFixture mixed(R"({"buses":[{"rate":19200,"transducers":[{"type":118,"address":1}],
            "foreign":[{"address":7,"id":"PM-210 power meter","registers":{"49":100,"58":2}}]}]})");
        QString error;
        QVERIFY2(mixed.start(&error), qPrintable(error));
        QCOMPARE(mixed.command(QStringLiteral("list")),
                 QStringLiteral("ok 0:1 118 19200; 0:7 foreign 19200"));
        QSerialPort port;
        QVERIFY(Open(port, mixed.portPath(0), 19200));
        QCOMPARE(Transact(port, Framed("07 11"), 25, 1000).toHex(' '),
                 Framed("07 11 14 2A FF 50 4D 2D 32 31 30 20 70 6F 77 65 72 20 6D 65 74 65 72").toHex(' '));
        QCOMPARE(Transact(port, Identify1, 71, 1000).size(), 71);
        QCOMPARE(Transact(port, Framed("07 10 00 33 00 01 02 12 34"), 8, 1000).toHex(' '),
                 Framed("07 10 00 33 00 01").toHex(' '));
        QCOMPARE(mixed.command(QStringLiteral("regs 0:7 49 10")),
                 QStringLiteral("ok 0064 0000 1234 0000 0000 0000 0000 0000 0000 0002"));
        QCOMPARE(mixed.command(QStringLiteral("set 0:7 reg 50 7 8")), QStringLiteral("ok"));
        QCOMPARE(Transact(port, Framed("07 03 00 32 00 02"), 9, 1000).toHex(' '),
                 Framed("07 03 04 00 07 00 08").toHex(' '));
        QCOMPARE(Transact(port, Framed("07 64 01 00 00 00 00"), 5, 1000).toHex(' '),
                 Framed("07 E4 01").toHex(' '));
        QVERIFY(mixed.command(QStringLiteral("fault 0:7 adc on")).startsWith(QLatin1String("error fault adc is")));
        QCOMPARE(mixed.command(QStringLiteral("fault 0:7 silent on")), QStringLiteral("ok"));
        QCOMPARE(Transact(port, Framed("07 11"), 25, 300).size(), 0);
        QCOMPARE(mixed.command(QStringLiteral("set 0:7 address 8")), QStringLiteral("ok"));
        QCOMPARE(mixed.command(QStringLiteral("get 0:8 kind")), QStringLiteral("ok foreign"));
    }

    void reopeningKeepsTheBus() {
        {
            QSerialPort port;
            QVERIFY(Open(port, bus0, 19200));
            QCOMPARE(Transact(port, Identify1, 71, 1000).size(), 71);
        }
        QSerialPort again;
        QVERIFY(Open(again, bus0, 19200));
        QCOMPARE(Transact(again, Identify1, 71, 1000).size(), 71);
    }

    void hangUpAndReplug() {
        QSerialPort port;
        QVERIFY(Open(port, bus0, 19200));
        QCOMPARE(sim->command(QStringLiteral("hangup 0")), QStringLiteral("ok"));
        // The open port fails like an unplugged adapter, and the port cannot be opened again.
        port.write(Identify1);
        port.waitForBytesWritten(100);
        ReadUpTo(port, 71, 300);
        QVERIFY(port.error() != QSerialPort::NoError);
        port.close();
        QSerialPort other;
        other.setPortName(bus0);
        QVERIFY(!other.open(QIODevice::ReadWrite));
        QVERIFY(sim->command(QStringLiteral("line 0")).startsWith(QLatin1String("error ")));
        QCOMPARE(sim->command(QStringLiteral("replug 0")), QStringLiteral("ok ") + bus0);
        QVERIFY(Open(other, bus0, 19200));
        QCOMPARE(Transact(other, Identify1, 71, 1000).size(), 71);
    }

    void controlErrorsAreClear_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("error");
        QTest::newRow("unknown command")
            << QStringLiteral("fly 0") << QStringLiteral("error unknown command 'fly'");
        QTest::newRow("no bus") << QStringLiteral("chatter 7 on") << QStringLiteral("error no bus '7'");
        QTest::newRow("no transducer")
            << QStringLiteral("state 0:2") << QStringLiteral("error no device at address '2'");
        QTest::newRow("bad name") << QStringLiteral("get 01 temp")
                                  << QStringLiteral("error a device is named BUS:ADDRESS");
        QTest::newRow("unknown value")
            << QStringLiteral("set 0:1 colour red") << QStringLiteral("error unknown value 'colour'");
        QTest::newRow("value out of range")
            << QStringLiteral("set 0:1 diag x") << QStringLiteral("error diag must be");
        QTest::newRow("not a number")
            << QStringLiteral("set 0:1 temp nan") << QStringLiteral("error temp must be");
        QTest::newRow("read only") << QStringLiteral("set 0:1 type 113")
                                   << QStringLiteral("error 'type' is read only");
        QTest::newRow("unknown fault")
            << QStringLiteral("fault 0:1 smoke on") << QStringLiteral("error unknown fault 'smoke'");
        QTest::newRow("fault value") << QStringLiteral("fault 0:1 silent maybe")
                                     << QStringLiteral("error fault silent takes on or off");
        QTest::newRow("empty") << QStringLiteral("   ") << QStringLiteral("error empty command");
        QTest::newRow("garbage bytes")
            << QString::fromLatin1("\x01\x02\x7f") << QStringLiteral("error unknown command");
    }
    void controlErrorsAreClear() {
        QFETCH(QString, line);
        QFETCH(QString, error);
        const QString reply = sim->command(line);
        QVERIFY2(reply.startsWith(error), qPrintable(reply));
        QVERIFY(sim->command(QStringLiteral("list"))
                    .startsWith(QLatin1String("ok 0:1 118 19200; 0:5 115 19200; 1:3 77 1200; 1:4 78 1200")));
    }

    void valuesSetAreReadOverTheLine() {
        QCOMPARE(sim->command(QStringLiteral("set 0:1 temp -12.34")), QStringLiteral("ok"));
        QCOMPARE(sim->command(QStringLiteral("set 0:1 sensorname ТСП 2")), QStringLiteral("ok"));
        QSerialPort port;
        QVERIFY(Open(port, bus0, 19200));
        const QByteArray diag = Transact(port, Framed("01 03 00 21 00 02"), 9, 1000);
        QCOMPARE(diag.mid(3, 4).toHex(' '), QByteArray("ff ff fb 2e"));
        const QByteArray name = Transact(port, Framed("01 03 00 11 00 03"), 11, 1000);
        QCOMPARE(name.mid(3, 6).toHex(' '), QByteArray("d2 d1 cf 20 32 00"));
        QCOMPARE(sim->command(QStringLiteral("get 0:1 sensorname")), QStringLiteral("ok ТСП 2"));
        QCOMPARE(sim->command(QStringLiteral("regs 0:1 0x21 2")), QStringLiteral("ok FFFF FB2E"));
        QCOMPARE(sim->command(QStringLiteral("regs 1:3 0x1E 2")), QStringLiteral("ok 0000 0003"));
        QVERIFY(sim->command(QStringLiteral("regs 0:1 45 1"))
                    .startsWith(QLatin1String("error registers 45..45")));
    }

    void stopLeavesNothingBehind() {
        const QString dir = sim->linkDir();
        QVERIFY(QFileInfo::exists(dir + QStringLiteral("/control")));
        QCOMPARE(sim->stop(), 0);
        QVERIFY(!QFileInfo(bus0).isSymLink());
        QVERIFY(!QFileInfo(bus1).isSymLink());
        QVERIFY(!QFileInfo::exists(dir + QStringLiteral("/control")));
    }

    void badBusFileStopsWithAClearError() {
        SimFixture bad(R"({"buses":[{"rate":19200,"transducers":[{"type":118,"address":300}]}]})");
        QString error;
        QVERIFY(!bad.start(&error));
        QVERIFY2(error.contains(QLatin1String("bus 0, transducer 0: \"address\" must be 1..247")),
                 qPrintable(error));
    }

    void savedStateReloads() {
        QCOMPARE(sim->command(QStringLiteral("set 1:3 sensornumber 4242")), QStringLiteral("ok"));
        const QString file = sim->linkDir() + QStringLiteral("/saved.json");
        QCOMPARE(sim->command(QStringLiteral("save ") + file), QStringLiteral("ok saved ") + file);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        SimFixture again(f.readAll());
        QString error;
        QVERIFY2(again.start(&error), qPrintable(error));
        QCOMPARE(again.command(QStringLiteral("get 1:3 sensornumber")), QStringLiteral("ok 4242"));
    }
};

QTEST_GUILESS_MAIN(TestSimLine)
#include "tst_simline.moc"
