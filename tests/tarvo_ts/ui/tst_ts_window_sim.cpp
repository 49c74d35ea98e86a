// Tarvo_TS on the wire, as a new user runs it against the simulator's 1200 bit/s bus (a 77 at address 3,
// a 78 at address 4): started with the demo's settings (the bus as the port, address 3), connected
// through the menu and its dialogs, and searched for the first transducer with and without Stop.
// Real line timing: about 20 s in all.
//
// With TARVO_TS_GRAB set to a folder, each step saves a picture of what the user sees there.
#include "PortComboBox.h"
#include "SimFixture.h"
#include "TfrmCOMChoice.h"
#include "TfrmConnect.h"
#include "TfrmSettings.h"
#include "TfrmViewStatus.h"
#include "WindowRig.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

void Grab(QWidget* w, const char* name) {
    const QString dir = qEnvironmentVariable("TARVO_TS_GRAB");
    if (!dir.isEmpty()) {
        QDir().mkpath(dir);
        w->grab().save(QDir(dir).filePath(QLatin1String(name) + QStringLiteral(".png")));
    }
}

} // namespace

class TstTsWindowSim : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void connectThroughTheMenu();
    void searchFindsAddress3();
    void searchStopsOnStop();

private:
    void Start(int repeatNum);

    SimFixture sim;
    QTemporaryDir folder;
    TScriptedMessageDialog messages;
    TRecordedDialogs dialogs;
    std::unique_ptr<TfrmMain> form;
};

void TstTsWindowSim::initTestCase() {
    QString err;
    QVERIFY2(sim.start(&err), qPrintable(err));
    qputenv("TARVO_EXTRA_PORTS", sim.portPath(1).toLocal8Bit());
    QDir(folder.path()).mkpath(QStringLiteral("ColorSchemas"));
    QFile::copy(QStringLiteral(TARVO_SCHEMES_DIR "/Standart.kvs"),
                folder.filePath(QStringLiteral("ColorSchemas/Standart.kvs")));
}

void TstTsWindowSim::init() {
    QFile::remove(folder.filePath(QStringLiteral("Tarvo_TS.ini")));
}

void TstTsWindowSim::cleanup() {
    QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.Texts().join(u'|')));
    QVERIFY(dialogs.errors.isEmpty());
    form.reset();
}

void TstTsWindowSim::Start(int repeatNum) {
    // What the demo writes: the simulator's bus as the port, the older transducer's address.
    QFile ini(folder.filePath(QStringLiteral("Tarvo_TS.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("[Defaults]\r\nDefaultComPortName=%1\r\nDefaultSlaveID=3\r\nRepeatNum=%2\r\n")
                  .arg(sim.portPath(1))
                  .arg(repeatNum)
                  .toLocal8Bit());
    ini.close();
    form = std::make_unique<TfrmMain>();
    form->SetMessageDialog(&messages);
    form->Host().SetDialogService(&dialogs);
    form->Host().Startup({folder.filePath(QStringLiteral("Tarvo_TS")), {}});
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void TstTsWindowSim::connectThroughTheMenu() {
    Start(2);
    Grab(form.get(), "main-start");
    TMainHost& host = form->Host();
    QString comText;
    QStringList comItems;
    // Соединение → Установить соединение: the connect dialog with address 3 chosen; "Найти".
    WhenModal([&](QWidget* w) {
        auto* connect = qobject_cast<TfrmConnect*>(w);
        QVERIFY(connect);
        QCOMPARE(connect->cbPL_ID->currentText(), QStringLiteral("3"));
        Grab(connect, "connect-dialog");
        // The port was set by name: the COM-port dialog comes next, showing the bus; "Ok".
        WhenModal([&](QWidget* c) {
            auto* com = qobject_cast<TfrmCOMChoice*>(c);
            QVERIFY(com);
            comText = com->cbComPort->currentText();
            for (int i = 0; i < com->cbComPort->count(); ++i)
                comItems << com->cbComPort->itemText(i);
            Grab(com, "com-dialog");
            com->btnOk->click();
        });
        connect->btnFind->click();
    });
    QElapsedTimer clock;
    clock.start();
    form->actConnect->trigger();
    const qint64 ms = clock.elapsed();
    QCOMPARE(comText, sim.portPath(1));
    QVERIFY(comItems.contains(sim.portPath(1)));

    QVERIFY(host.Link().IsPortOpen());
    QCOMPARE(host.Link().DeviceData.SlaveID, 3);
    QCOMPARE(host.Link().DeviceData.PLTypeCode, 77);
    QVERIFY(host.Link().DeviceData.TopTempBound > host.Link().DeviceData.BottomTempBound);
    form->UpdateActions();
    QCOMPARE(form->actConnect->text(), QStringLiteral("Разорвать соединение"));
    QCOMPARE(form->StatusPanel[0]->text(), QStringLiteral("Соединение установленно"));
    // A device path in panel 1: as much as fits, the whole path as its tool tip.
    QCOMPARE(form->StatusPanel[1]->toolTip(), sim.portPath(1));
    QVERIFY(form->StatusPanel[1]->width() <= 180);
    Grab(form.get(), "main-connected");
    // Identification and configuration, each about a second of quiet after its reply.
    QVERIFY2(ms > 2000 && ms < 8000, qPrintable(QString::number(ms)));

    // The settings dialog shows the connection's address and port.
    WhenModal([&](QWidget* w) {
        auto* settings = qobject_cast<TfrmSettings*>(w);
        QVERIFY(settings);
        QCOMPARE(settings->rseSlaveID->value(), 3);
        QCOMPARE(settings->cbCom->currentText(), sim.portPath(1));
        Grab(settings, "settings-basic");
        settings->TreeView1->setCurrentItem(settings->TreeView1->topLevelItem(0)->child(1));
        Grab(settings, "settings-connection");
        settings->btnClose->click();
    });
    form->actProgSet->trigger();

    form->actConnect->trigger();
    QVERIFY(!host.Link().IsPortOpen());
    QCOMPARE(form->StatusPanel[0]->text(), QStringLiteral("Соединение не установленно"));
}

void TstTsWindowSim::searchFindsAddress3() {
    // One attempt per address: addresses 1 and 2 cost 1.5 s each.
    Start(1);
    TMainHost& host = form->Host();
    host.Link().Driver().SetPortFromList(sim.portPath(1), 1);
    bool grabbed = false;
    QTimer grab;
    QObject::connect(&grab, &QTimer::timeout, [&] {
        if (!grabbed && host.ViewStatus()->isVisible() && host.Link().DeviceData.SlaveID == 2) {
            grabbed = true;
            Grab(host.ViewStatus(), "search-progress");
        }
    });
    grab.start(100);
    form->actFindFirst->trigger();
    QVERIFY(host.Link().IsPortOpen());
    QCOMPARE(host.Link().DeviceData.SlaveID, 3);
    QCOMPARE(host.Link().DeviceData.PLTypeCode, 77);
    QCOMPARE(host.Link().Driver().InputTimeout(), 1000);
    QVERIFY(!host.ViewStatus()->isVisible());
    const QList<SimFixture::RxByte> rx = sim.received(1);
    QVERIFY(!rx.isEmpty());
}

void TstTsWindowSim::searchStopsOnStop() {
    Start(1);
    TMainHost& host = form->Host();
    host.Link().Driver().SetPortFromList(sim.portPath(1), 1);
    sim.clearReceived(1);
    QTimer::singleShot(800, host.ViewStatus()->btnStop, &QPushButton::click);
    QElapsedTimer clock;
    clock.start();
    form->actFindFirst->trigger();
    // Stopped after the address being tried: not connected, no message, the address kept.
    QVERIFY(clock.elapsed() < 4000);
    QVERIFY(!host.Link().IsPortOpen());
    QVERIFY(host.Link().DeviceData.SlaveID <= 2);
    QCOMPARE(host.Link().Driver().InputTimeout(), 1000);
    QVERIFY(!host.ViewStatus()->isVisible());
}

QTEST_MAIN(TstTsWindowSim)
#include "tst_ts_window_sim.moc"
