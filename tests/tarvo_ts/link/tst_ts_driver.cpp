// The serial component over the scripted port (virtual time), the port names, and the assembly of
// diagnostics poll replies.
#include "CommPortDriver.h"
#include "ScriptedHost.h"
#include "ScriptedPort.h"
#include "TsLink.h"
#include "TsReplies.h"

#include <QTest>

namespace {

struct DriverRig {
    TScriptedPort* port = nullptr;
    std::unique_ptr<TCommPortDriver> driver;
    QList<QByteArray> delivered;

    explicit DriverRig(bool open = true) {
        auto p = std::make_unique<TScriptedPort>();
        port = p.get();
        driver = std::make_unique<TCommPortDriver>(std::move(p));
        driver->SetPortName(QStringLiteral("/dev/ttyUSB0"));
        driver->OnReceiveData = [this](TCommPortDriver*, const std::uint8_t* d, int n) {
            delivered << QByteArray(reinterpret_cast<const char*>(d), n);
        };
        if (open)
            driver->OpenPort();
    }
};

struct LinkRig {
    TRecordingHost host;
    TScriptedPort* port = nullptr;
    std::unique_ptr<TTsLink> link;
    LinkRig() {
        auto p = std::make_unique<TScriptedPort>();
        port = p.get();
        link = std::make_unique<TTsLink>(host, std::move(p));
        link->Driver().SetPortName(QStringLiteral("COM1"));
        link->Driver().OpenPort();
    }
};

} // namespace

class TestTsDriver : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void portNames_data();
    void portNames();
    void portProperty();

    void closedPort();
    void openAndClose();
    void readInputCountsQuietFromTheLastByte();
    void readInputStopsAtMax();
    void waitForInQueue();
    void sendOutputPartial();
    void failedPortNeverWaits();
    void pollReceive();

    void pollReply_data();
    void pollReply();
    void pollReplyThroughTheReceiveEvent();
};

void TestTsDriver::portNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("system");
    QTest::newRow("COM3") << "COM3" << 3 << "COM3" << "COM3";
    QTest::newRow("COM12") << "COM12" << 12 << "COM12" << "COM12";
    QTest::newRow("//./COM5") << "//./COM5" << 5 << "COM5" << "COM5";
    QTest::newRow("\\\\.\\COM7") << "\\\\.\\COM7" << 7 << "COM7" << "COM7";
    QTest::newRow("COM255") << "COM255" << 255 << "COM255" << "COM255";
    QTest::newRow("COM256") << "COM256" << 0 << "COM256" << "COM256";
    QTest::newRow("COM0") << "COM0" << 0 << "COM0" << "COM0";
    QTest::newRow("ttyUSB0") << "ttyUSB0" << 0 << "ttyUSB0" << "ttyUSB0";
    QTest::newRow("device path") << "/tmp/tarvo-sim/bus1" << 0 << "/tmp/tarvo-sim/bus1" << "/tmp/tarvo-sim/bus1";
    QTest::newRow("COM3x") << "COM3x" << 0 << "COM3x" << "COM3x";
    QTest::newRow("empty") << "" << 0 << "" << "";
}

void TestTsDriver::portNames() {
    QFETCH(QString, name);
    QFETCH(int, number);
    QFETCH(QString, status);
    QFETCH(QString, system);
    QCOMPARE(PortNumberOf(name), number);
    QCOMPARE(PortStatusText(name), status);
    QCOMPARE(SystemPortName(name), system);
}

void TestTsDriver::portProperty() {
    DriverRig rig(false);
    rig.driver->SetPortFromList(QStringLiteral("ttyS1"), 2);
    QCOMPARE(rig.driver->Port(), 2);
    QCOMPARE(rig.driver->PortName(), QStringLiteral("ttyS1"));
    rig.driver->SetPortName(QStringLiteral("//./COM4"));
    QCOMPARE(rig.driver->Port(), 0);
    QVERIFY(rig.driver->OpenPort());
    QCOMPARE(rig.port->openedName, QStringLiteral("COM4"));
}

void TestTsDriver::closedPort() {
    DriverRig rig(false);
    QVERIFY(!rig.driver->IsPortOpen());
    QCOMPARE(rig.driver->InQueueCount(), 65535);
    const std::uint8_t frame[4] = {3, 0x11, 0xC1, 0x2C};
    QCOMPARE(rig.driver->SendOutput(frame, 4), 0);
    std::uint8_t buf[100];
    QCOMPARE(rig.driver->ReadInput(buf, 100), 0);
    rig.driver->PurgeBuffers(true, true);
    rig.driver->WaitForInQueue(5, 1000);
    rig.driver->ClosePort();
    QVERIFY(rig.port->events.isEmpty());
    QCOMPARE(rig.port->Now(), 0);
}

void TestTsDriver::openAndClose() {
    DriverRig rig(false);
    rig.port->openFails = true;
    rig.port->openFault = serialaccess::pfBusy;
    QVERIFY(!rig.driver->OpenPort());
    QVERIFY(!rig.driver->IsPortOpen());
    QCOMPARE(rig.driver->LastOpenFailure().fault, serialaccess::pfBusy);
    rig.port->openFails = false;
    QVERIFY(rig.driver->OpenPort());
    QCOMPARE(rig.driver->LastOpenFailure().fault, serialaccess::pfNone);
    QCOMPARE(rig.port->Count(TScriptedPort::TEvent::Open), 1);
    // Both queues emptied on opening.
    QCOMPARE(rig.port->events.last().kind, TScriptedPort::TEvent::Purge);
    QVERIFY(rig.port->events.last().input && rig.port->events.last().output);
    QVERIFY(rig.driver->OpenPort()); // already open: nothing more
    QCOMPARE(rig.port->Count(TScriptedPort::TEvent::Open), 1);
    QCOMPARE(rig.driver->InQueueCount(), 0);
    rig.driver->PurgeBuffers(false, false);
    QCOMPARE(rig.port->Count(TScriptedPort::TEvent::Purge), 1);
    rig.driver->ClosePort();
    rig.driver->ClosePort();
    QCOMPARE(rig.port->Count(TScriptedPort::TEvent::Close), 1);
    QCOMPARE(rig.driver->InQueueCount(), 65535);
}

void TestTsDriver::readInputCountsQuietFromTheLastByte() {
    DriverRig rig;
    rig.port->ArriveAt(0, "ab");
    rig.port->ArriveAt(300, "cd");
    rig.port->ArriveAt(900, "e");
    rig.port->ArriveAt(2000, "late");
    std::uint8_t buf[100] = {};
    QCOMPARE(rig.driver->ReadInput(buf, 100), 5);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(buf), 5), QByteArray("abcde"));
    QCOMPARE(rig.port->Now(), 1900);

    // With nothing arriving it ends InputTimeout after its start.
    DriverRig idle;
    idle.driver->SetInputTimeout(500);
    QCOMPARE(idle.driver->ReadInput(buf, 100), 0);
    QCOMPARE(idle.port->Now(), 500);
}

void TestTsDriver::readInputStopsAtMax() {
    DriverRig rig;
    rig.port->ArriveAt(10, QByteArray(20, 'x'));
    std::uint8_t buf[15] = {};
    QCOMPARE(rig.driver->ReadInput(buf, 15), 15);
    QCOMPARE(rig.port->Now(), 10);
    QCOMPARE(rig.driver->InQueueCount(), 5);
}

void TestTsDriver::waitForInQueue() {
    DriverRig rig;
    rig.port->ArriveAt(100, "abc");
    rig.port->ArriveAt(400, "de");
    rig.driver->WaitForInQueue(5, 1000);
    QCOMPARE(rig.port->Now(), 400);
    rig.driver->WaitForInQueue(6, 1000);
    QCOMPARE(rig.port->Now(), 1400);
    QCOMPARE(rig.port->Count(TScriptedPort::TEvent::Read), 0); // waiting reads nothing
}

void TestTsDriver::sendOutputPartial() {
    DriverRig rig;
    const std::uint8_t frame[8] = {3, 3, 0, 0x18, 0, 8, 0x44, 0x2E};
    rig.port->AcceptNextWrite(3);
    rig.driver->SetOutputTimeout(700);
    QCOMPARE(rig.driver->SendOutput(frame, 8), 3);
    QCOMPARE(rig.port->Now(), 700);
    QCOMPARE(rig.driver->SendOutput(frame, 8), 8);
}

void TestTsDriver::failedPortNeverWaits() {
    DriverRig rig;
    rig.port->FailAt(50);
    rig.driver->WaitForInQueue(5, 1000);
    QCOMPARE(rig.port->Now(), 50);
    QVERIFY(rig.driver->PortFailed());
    std::uint8_t buf[100];
    QCOMPARE(rig.driver->ReadInput(buf, 100), 0);
    QCOMPARE(rig.driver->InQueueCount(), 0);
    QCOMPARE(rig.driver->SendOutput(buf, 4), 0);
    rig.driver->WaitForInQueue(5, 1000);
    QCOMPARE(rig.port->Now(), 50);
    QVERIFY(rig.driver->IsPortOpen());
    rig.driver->ClosePort();
    QVERIFY(!rig.driver->PortFailed());
}

void TestTsDriver::pollReceive() {
    DriverRig rig;
    rig.driver->PollReceive(); // nothing waiting
    QVERIFY(rig.delivered.isEmpty());
    rig.port->ArriveAt(0, QByteArray(3000, 'z'));
    rig.driver->HoldBackReceive();
    rig.driver->PollReceive();
    QVERIFY(rig.delivered.isEmpty());
    rig.driver->ReleaseReceive();
    rig.driver->PollReceive();
    QCOMPARE(rig.delivered.size(), 1);
    QCOMPARE(rig.delivered[0].size(), 2048); // at most the component's buffer
    rig.driver->PollReceive();
    QCOMPARE(rig.delivered[1].size(), 3000 - 2048);
    const auto handler = rig.driver->OnReceiveData;
    rig.driver->OnReceiveData = nullptr;
    rig.port->ArriveAt(0, "q");
    rig.driver->PollReceive();
    QCOMPARE(rig.delivered.size(), 2);
    QCOMPARE(rig.driver->InQueueCount(), 1);
    rig.driver->OnReceiveData = handler;
    rig.driver->ClosePort();
    rig.driver->PollReceive();
    QCOMPARE(rig.delivered.size(), 2);
}

void TestTsDriver::pollReply_data() {
    const QByteArray reply = MeasReply(3, 253, 10987, 0, 12, 6, 2022);
    QTest::addColumn<QByteArray>("delivery");
    QTest::addColumn<int>("laterAtMs"); // when the rest arrives (-1: never)
    QTest::addColumn<QByteArray>("later");
    QTest::addColumn<QByteArray>("shown"); // empty: nothing shown
    QTest::addColumn<int>("readMs");       // virtual time the handler took
    QTest::newRow("whole reply") << reply << -1 << QByteArray() << reply << 0;
    QTest::newRow("first 10 bytes, the rest 300 ms later")
        << reply.left(10) << 300 << reply.mid(10) << reply << 300;
    QTest::newRow("first 10 bytes, the rest never") << reply.left(10) << -1 << QByteArray() << QByteArray() << 1000;
    QTest::newRow("first 10 bytes, 3 more only") << reply.left(10) << 200 << reply.mid(10, 3) << QByteArray() << 1200;
    QTest::newRow("function byte missing: lost")
        << reply.left(1) << 100 << reply.mid(1) << QByteArray() << 0;
    QTest::newRow("exception reply ignored")
        << ShortReply(3, 0x83, 2) << 100 << reply << QByteArray() << 0;
    QTest::newRow("two bytes, then the rest")
        << reply.left(2) << 100 << reply.mid(2) << reply << 100;
    QTest::newRow("beyond the sixteenth byte not looked at")
        << reply + QByteArray(40, '\xEE') << -1 << QByteArray() << reply << 0;
    QTest::newRow("nothing") << QByteArray() << -1 << QByteArray() << QByteArray() << 0;
}

void TestTsDriver::pollReply() {
    QFETCH(QByteArray, delivery);
    QFETCH(int, laterAtMs);
    QFETCH(QByteArray, later);
    QFETCH(QByteArray, shown);
    QFETCH(int, readMs);
    LinkRig rig;
    if (laterAtMs >= 0)
        rig.port->ArriveAt(laterAtMs, later);
    // The delivery in a buffer of exactly its size.
    std::vector<std::uint8_t> data(delivery.begin(), delivery.end());
    rig.link->ReceivePollReply(data.empty() ? nullptr : data.data(), int(data.size()));
    if (shown.isEmpty())
        QVERIFY(rig.host.pollReplies.isEmpty());
    else
        QCOMPARE(rig.host.pollReplies, QList<QByteArray>{shown});
    QCOMPARE(rig.port->Now(), qint64(readMs));
}

void TestTsDriver::pollReplyThroughTheReceiveEvent() {
    LinkRig rig;
    const QByteArray reply = MeasReply(3, -5, 100, 3, 1, 1, 2021);
    QVERIFY(rig.link->ReceiveDataBound());
    rig.port->ArriveAt(0, reply.left(10));
    rig.port->ArriveAt(250, reply.mid(10));
    rig.link->Driver().PollReceive();
    QCOMPARE(rig.host.pollReplies, QList<QByteArray>{reply});

    rig.link->SetReceiveDataBound(false);
    QVERIFY(!rig.link->ReceiveDataBound());
    rig.port->ArriveAt(rig.port->Now(), reply);
    rig.link->Driver().PollReceive();
    QCOMPARE(rig.host.pollReplies.size(), 1);
    rig.link->SetReceiveDataBound(true);
    rig.link->Driver().PollReceive();
    QCOMPARE(rig.host.pollReplies.size(), 2);
}

QTEST_GUILESS_MAIN(TestTsDriver)
#include "tst_ts_driver.moc"
