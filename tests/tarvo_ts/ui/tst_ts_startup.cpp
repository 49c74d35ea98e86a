// The program's start-up and closing over a scripted port in a folder of its own: the settings file's
// variants at start-up, the COM-port dialog before the first connection to a port set by name, the file
// written at closing, the tool bar kept across a restart, the colour scheme that is missing, a settings
// file that cannot be written, and the indicator style window.
#include "LcdIndicator.h"
#include "IconTable.h"
#include "IniFile.h"
#include "TDiagnosticPage.h"
#include "TInformationPage.h"
#include "TfrmViewStatus.h"
#include "TfrmCOMChoice.h"
#include "TfrmIndStyle.h"
#include "TfrmSettings.h"
#include "WindowRig.h"

#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>

namespace {

QByteArray Ident(int address) {
    return IdentReply(address, 77, QByteArray("TARVO-TS-4-20"), QByteArray("Pt100"), 1234, 5, 6, 2021);
}

// Replies of a transducer at `address` for a connection: identification, configuration, the date.
void Answering(TScriptedPort& port, int address, bool searched) {
    if (searched)
        port.Reply(Ident(address));
    port.Reply(Ident(address));
    port.Reply(ConfReply(address, 1, 100, 0, 100, 1, 1, 0, address));
    port.Reply(MeasReply(address, 215, 10840, 0, 1, 2, 2023));
}

QString Defaults(const QByteArray& ini, const char* key) {
    return TIniFile::FromBytes(ini).ReadString(QStringLiteral("Defaults"), QLatin1String(key), QStringLiteral("<none>"));
}

} // namespace

class TstTsStartup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startupVariants_data();
    void startupVariants();
    void closingWritesTheFile();
    void settingsDialogChoicesReachTheFile();
    void toolBarKeptAcrossARestart();
    void missingSchemeStillLoadsTheStyles();
    void unwritableSettingsFile();
    void indicatorStyleWindow();
};

void TstTsStartup::startupVariants_data() {
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("comDialog"); // what the COM-port dialog does: "" (not expected), "ok", "close"
    QTest::addColumn<int>("answeringAt");   // 0: nothing answers
    QTest::addColumn<bool>("connected");
    QTest::addColumn<int>("address");
    QTest::addColumn<QString>("port");
    const QByteArray byName = "[Defaults]\nConnectBeforeRun=1\nDefaultSlaveID=3\nDefaultComPortName=COM3\n";
    QTest::newRow("no file") << QByteArray() << "" << 0 << false << 1 << "COM1";
    QTest::newRow("toNum by name: the COM-port dialog first")
        << byName + "ConnectionType=toNum\n" << "ok" << 3 << true << 3 << "COM3";
    QTest::newRow("toLast in another case") << byName + "ConnectionType=TOLAST\n" << "ok" << 3 << true << 3 << "COM3";
    QTest::newRow("toFirst in capitals") << byName + "ConnectionType=TOFIRST\n" << "ok" << 1 << true << 1 << "COM3";
    QTest::newRow("ConnectionType missing is toNum") << byName << "ok" << 3 << true << 3 << "COM3";
    QTest::newRow("FindAll does nothing") << byName + "ConnectionType=FindAll\n" << "" << 0 << false << 3 << "COM3";
    QTest::newRow("COM-port dialog closed") << byName + "ConnectionType=toNum\n" << "close" << 3 << false << 3 << "COM3";
    QTest::newRow("address 300 is 44") << QByteArray("[Defaults]\nDefaultSlaveID=300\nDefaultComPortNum=7\n") << ""
                                       << 0 << false << 44 << "COM7";
}

void TstTsStartup::startupVariants() {
    QFETCH(QByteArray, ini);
    QFETCH(QString, comDialog);
    QFETCH(int, answeringAt);
    QFETCH(bool, connected);
    QFETCH(int, address);
    QFETCH(QString, port);
    TProgramFolder folder;
    if (!ini.isEmpty())
        folder.WriteIni(ini);
    TWindowRig rig(false, false);
    if (answeringAt)
        Answering(*rig.port, answeringAt, answeringAt == 1);
    QString dialogShown;
    if (!comDialog.isEmpty())
        WhenModal([&](QWidget* w) {
            dialogShown = w->objectName();
            if (comDialog == QLatin1String("ok"))
                static_cast<TfrmCOMChoice*>(w)->btnOk->click();
            else
                w->close();
        });
    rig.Start(folder);

    QCOMPARE(dialogShown, comDialog.isEmpty() ? QString() : QStringLiteral("frmCOMChoice"));
    QCOMPARE(rig.Link().IsPortOpen(), connected);
    QCOMPARE(rig.DeviceData().SlaveID, address);
    QCOMPARE(rig.Link().Driver().PortName(), port);
    QVERIFY2(rig.dialog.shown.isEmpty(), qPrintable(rig.dialog.Texts().join(u'|')));
    QVERIFY(rig.dialogs.errors.isEmpty());
    if (comDialog == QLatin1String("close"))
        QVERIFY(rig.port->events.isEmpty());
    // Steps 7 to 9: the connect action, the information page, the status bar, the tool bar.
    QCOMPARE(rig.form->actConnect->text(),
             connected ? QStringLiteral("Разорвать соединение") : QStringLiteral("Установить соединение"));
    QCOMPARE(ActionImage(rig.form->actConnect), connected ? 4 : 3);
    QCOMPARE(rig.form->MainPageCtrl->currentWidget(), static_cast<QWidget*>(rig.form->tsInformation));
    QCOMPARE(rig.Panel(0), connected ? QStringLiteral("Соединение установленно") : QStringLiteral("Соединение не установленно"));
    QCOMPARE(rig.Panel(1), connected ? port : QString());
    QVERIFY(!rig.form->InfoModified() && !rig.form->ConfModified());
    QVERIFY(rig.form->ActionToolBar1->isVisible());
    QVERIFY(!rig.Host().ViewStatus()->isVisible());
    if (connected)
        QCOMPARE(int(rig.Settings().DefaultSlaveID), address);
    if (ini.isEmpty()) {
        QCOMPARE(int(rig.Settings().RepeatNum), 2);
        QCOMPARE(rig.Settings().ColorShema, QStringLiteral("Standart.kvs"));
        QVERIFY(!rig.Settings().ConnectBeforeRun);
    }
}

void TstTsStartup::closingWritesTheFile() {
    TProgramFolder folder;
    folder.WriteIni("; kept\r\n[Defaults]\r\nRepeatNum=3\r\n[Mine]\r\nKey=Value\r\n");
    {
        TWindowRig rig(false, false);
        rig.Start(folder);
        // In use at closing: COM12 and the transducer at address 17.
        rig.Host().Connection().ChooseListedPort(QStringLiteral("COM12"), 11);
        rig.port->Reply(Ident(17));
        rig.Link().Driver().OpenPort();
        rig.Link().ReadInformation(17);
        rig.Settings().ToNum = false;
        rig.Settings().ToLast = true;
        rig.Settings().ConnectBeforeRun = true;
        rig.form->tsDiagnostic->indT->setColorScheme(TLcdIndicator::csNavy);
        QVERIFY(rig.form->close());
    }
    const QByteArray ini = folder.ReadIni();
    const TIniFile file = TIniFile::FromBytes(ini);
    QCOMPARE(file.ReadSectionKeys(QStringLiteral("Defaults")),
             (QStringList{"RepeatNum", "ConnectBeforeRun", "ConnectionType", "DefaultSlaveID", "DefaultComPortNum",
                          "DefaultComPortName", "ColorShema", "ViewToolBar"}));
    QCOMPARE(Defaults(ini, "ConnectBeforeRun"), QStringLiteral("1"));
    QCOMPARE(Defaults(ini, "ConnectionType"), QStringLiteral("toLast"));
    QCOMPARE(Defaults(ini, "DefaultSlaveID"), QStringLiteral("17"));
    QCOMPARE(Defaults(ini, "DefaultComPortNum"), QStringLiteral("12"));
    QCOMPARE(Defaults(ini, "DefaultComPortName"), QStringLiteral("COM12"));
    QCOMPARE(Defaults(ini, "RepeatNum"), QStringLiteral("3"));
    QCOMPARE(Defaults(ini, "ColorShema"), QStringLiteral("Standart.kvs"));
    QCOMPARE(Defaults(ini, "ViewToolBar"), QStringLiteral("1"));
    QCOMPARE(file.ReadString(QStringLiteral("IndTStyle"), QStringLiteral("Colorsheme"), {}), QStringLiteral("csNavy"));
    for (const char* section : {"IndTStyle", "IndRStyle", "IndCalibrDateStyle"})
        QCOMPARE(file.ReadSectionKeys(QLatin1String(section)).size(), 8);
    // What the program does not know stays as it was.
    QVERIFY(ini.startsWith("; kept\r\n[Defaults]\r\nRepeatNum=3\r\n"));
    QVERIFY(ini.contains("[Mine]\r\nKey=Value\r\n"));
}

void TstTsStartup::settingsDialogChoicesReachTheFile() {
    TProgramFolder folder;
    auto inSettingsDialog = [&](const std::function<void(TfrmSettings*)>& act) {
        TWindowRig rig(false, false);
        // A start-up search asks for the port first: cancelled.
        if (Defaults(folder.ReadIni(), "ConnectBeforeRun") == QLatin1String("1"))
            WhenModal([](QWidget* w) { w->close(); });
        rig.Start(folder);
        QVERIFY(rig.port->events.isEmpty());
        WhenModal([&](QWidget* w) {
            act(static_cast<TfrmSettings*>(w));
            w->close();
        });
        rig.form->actProgSet->trigger();
        rig.form->close();
    };
    // "Подключиться к последнему подключенному прибору", then "Подключиться к первому найденному".
    inSettingsDialog([](TfrmSettings* d) {
        d->cbSetConnectBeforeRun->click();
        d->rbToLast->click();
        d->rbFindFirst->click();
        QVERIFY(!d->rbToLast->isChecked());
    });
    QCOMPARE(Defaults(folder.ReadIni(), "ConnectionType"), QStringLiteral("toFirst"));
    QCOMPARE(Defaults(folder.ReadIni(), "ConnectBeforeRun"), QStringLiteral("1"));
    // Unchecked: the empty type.
    inSettingsDialog([](TfrmSettings* d) {
        QVERIFY(d->rbFindFirst->isChecked());
        d->cbSetConnectBeforeRun->click();
        QVERIFY(!d->rbFindFirst->isEnabled());
    });
    QCOMPARE(Defaults(folder.ReadIni(), "ConnectionType"), QString());
    QCOMPARE(Defaults(folder.ReadIni(), "ConnectBeforeRun"), QStringLiteral("0"));
}

void TstTsStartup::toolBarKeptAcrossARestart() {
    TProgramFolder folder;
    {
        TWindowRig rig(false, false);
        rig.Start(folder);
        QCOMPARE(rig.form->height(), 367);
        rig.form->actViewToolBar->trigger();
        rig.form->close();
    }
    QCOMPARE(Defaults(folder.ReadIni(), "ViewToolBar"), QStringLiteral("0"));
    TWindowRig rig(false, false);
    rig.Start(folder);
    QVERIFY(rig.form->ActionToolBar1->isHidden());
    QCOMPARE(rig.form->size(), QSize(583, 367 - 42));
    QCOMPARE(rig.form->actViewToolBar->text(), QStringLiteral("Показать панель инструментов"));
}

void TstTsStartup::missingSchemeStillLoadsTheStyles() {
    TProgramFolder folder;
    folder.WriteIni("[Defaults]\nColorShema=Missing.kvs\n[IndRStyle]\nColorsheme=csPlasma\nIndGrap=5\n");
    TWindowRig rig(false, false);
    rig.Start(folder);
    QCOMPARE(rig.dialogs.errors, QStringList{QStringLiteral("File not exists!")});
    QCOMPARE(rig.form->tsDiagnostic->indR->ColorScheme(), TLcdIndicator::csPlasma);
    QCOMPARE(rig.form->tsDiagnostic->indR->IndicatorGap(), 5);
    QVERIFY(rig.form->isVisible());
}

void TstTsStartup::unwritableSettingsFile() {
    TProgramFolder folder;
    // A folder where the file should be: it cannot be replaced.
    QDir(folder.dir.path()).mkdir(QStringLiteral("Tarvo_TS.ini"));
    TWindowRig rig(false, false);
    rig.Start(folder);
    rig.form->SetInfoModified(true);
    QVERIFY(rig.form->close());
    QVERIFY(!rig.form->isVisible());
    // The question about the edits still came, and the folder is as it was.
    QCOMPARE(rig.dialog.Texts(), QStringList{QStringLiteral("Соединение не установлено. Изменения не сохранены.")});
    QVERIFY(QFileInfo(folder.Ini()).isDir());
}

void TstTsStartup::indicatorStyleWindow() {
    TProgramFolder folder;
    TWindowRig rig(false, false);
    rig.Start(folder);
    TfrmIndStyle* styles = rig.Host().IndStyleWindow();
    QVERIFY(styles);
    QVERIFY(!styles->isVisible());
    rig.form->actIndView->trigger();
    QVERIFY(styles->isVisible());
    QCOMPARE(styles->objectName(), QStringLiteral("frmIndStyle"));
    QVERIFY(!styles->isModal());
    rig.form->actIndView->trigger();
    QCOMPARE(rig.Host().IndStyleWindow(), styles);
}

QTEST_MAIN(TstTsStartup)
#include "tst_ts_startup.moc"
