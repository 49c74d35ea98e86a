// The main window with its host over a scripted port: the hooks reach the link, the modified marks live
// in DeviceData, a failed exchange and a disconnection leave the window showing "not connected", and
// the answers at closing reach the pages.
#include "DockTraffic.h"
#include "IconTable.h"
#include "LcdIndicator.h"
#include "TDiagnosticPage.h"
#include "TfrmViewStatus.h"
#include "TrafficModel.h"
#include "WindowRig.h"

#include <QAction>
#include <QTest>
#include <QTimer>

class TstTsWiring : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void marksLiveInDeviceData();
    void connectAndBreak();
    void failedExchangeClosesTheWindowsLink();
    void closingRestoresStoredValues();
    void indicatorsOnTheDiagnosticsPage();
    void actionsDuringASearch();
    void trafficViewFromTheViewMenu();
};

void TstTsWiring::marksLiveInDeviceData() {
    TWindowRig rig;
    rig.form->SetInfoModified(true);
    QVERIFY(rig.DeviceData().InfoModified);
    QCOMPARE(rig.Panel(2), QStringLiteral("Mod"));
    rig.Host().SetConfModified(true);
    QVERIFY(rig.DeviceData().ConfModified);
    QVERIFY(rig.form->ConfModified());
    rig.DeviceData().InfoModified = false;
    QVERIFY(!rig.form->InfoModified());
}

void TstTsWiring::connectAndBreak() {
    TWindowRig rig;
    rig.Connect(3);
    QVERIFY(rig.Link().IsPortOpen());
    QCOMPARE(rig.DeviceData().SlaveID, 3);
    QCOMPARE(rig.Panel(0), QStringLiteral("Соединение установленно"));
    QCOMPARE(rig.Panel(1), QStringLiteral("COM3"));
    // Every display of the information keeps the address for the settings file.
    QCOMPARE(int(rig.Host().Settings().DefaultSlaveID), 3);
    rig.form->UpdateActions();
    QCOMPARE(rig.form->actConnect->text(), QStringLiteral("Разорвать соединение"));

    rig.form->SetInfoModified(true);
    rig.form->actConnect->trigger();
    QVERIFY(!rig.Link().IsPortOpen());
    QCOMPARE(rig.Panel(0), QStringLiteral("Соединение не установленно"));
    QCOMPARE(rig.Panel(1), QString());
    QCOMPARE(rig.form->actConnect->text(), QStringLiteral("Установить соединение"));
    QCOMPARE(ActionImage(rig.form->actConnect), 3);
    QVERIFY(!rig.DeviceData().InfoModified);
    QVERIFY(rig.dialog.shown.isEmpty());
}

void TstTsWiring::failedExchangeClosesTheWindowsLink() {
    TWindowRig rig;
    rig.Connect(3);
    rig.form->SetConfModified(true);
    rig.port->Silent();
    rig.port->Silent();
    const TExchangeResult r = rig.Link().ReadConfiguration();
    QCOMPARE(r.outcome, eoNoReply);
    QCOMPARE(rig.dialog.Texts(), QStringList{QStringLiteral("Не получен ответ от прибора")});
    QVERIFY(!rig.Link().IsPortOpen());
    QVERIFY(!rig.DeviceData().ConfModified);
    QCOMPARE(rig.Panel(0), QStringLiteral("Соединение не установленно"));
    QCOMPARE(rig.Panel(3), QString());
}

void TstTsWiring::closingRestoresStoredValues() {
    TWindowRig rig;
    rig.Connect(3);
    QCOMPARE(rig.Link().StoredData.SensorNum, 1234);
    rig.DeviceData().SensorNum = 99;
    rig.form->SetInfoModified(true);
    rig.dialog.answers = {mrNo};
    rig.form->close();
    QCOMPARE(rig.dialog.Texts(),
             QStringList{QStringLiteral("Записать изменения информации в память преобразователя?")});
    QCOMPARE(rig.DeviceData().SensorNum, 1234);
    QVERIFY(!rig.DeviceData().InfoModified);
}

void TstTsWiring::indicatorsOnTheDiagnosticsPage() {
    TWindowRig rig;
    TDiagnosticPage* page = rig.form->tsDiagnostic;
    for (const char* name : {"indT", "indR", "indCalibrDate"})
        QVERIFY2(page->findChild<TLcdIndicator*>(QLatin1String(name)), name);
    QCOMPARE(page->indT->SignNumber(), 5);
    QCOMPARE(page->indR->SignNumber(), 5);
    QCOMPARE(page->indCalibrDate->IndicatorKind(), TLcdIndicator::ik5x7matrix);
    QCOMPARE(page->DiagnosticsTimer->interval(), 1000);
    QVERIFY(!page->DiagnosticsTimer->isActive());
}

void TstTsWiring::actionsDuringASearch() {
    TWindowRig rig;
    QStringList modal;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            modal << QString::fromLatin1(w->metaObject()->className()) + u':' + w->objectName() + u':' + w->windowTitle();
            w->close();
        }
    });
    watch.start(1);
    // While the search runs, the commands that would start another connection do nothing; closing the
    // window ends the search with it.
    int pumps = 0;
    QTimer poke;
    QObject::connect(&poke, &QTimer::timeout, [&] {
        ++pumps;
        if (pumps == 1) {
            rig.form->actConnect->trigger();
            rig.form->actFindFirst->trigger();
            rig.form->actProgSet->trigger();
            rig.form->actCOMSet->trigger();
        } else if (pumps == 2) {
            rig.form->close();
        }
    });
    poke.start(0);
    rig.form->actFindFirst->trigger();
    poke.stop();
    QVERIFY2(modal.isEmpty(), qPrintable(modal.join(u'|')));
    QVERIFY(!rig.form->isVisible());
    QVERIFY(rig.port->Written().size() <= 6);
    QVERIFY(rig.dialog.shown.isEmpty());
    QVERIFY(!rig.Host().ViewStatus()->isVisible());
}

void TstTsWiring::trafficViewFromTheViewMenu() {
    // Closed, the view is off the link's tap; opened, it lists each frame of an exchange, resends
    // included, and the window's pages are not squeezed by it.
    TWindowRig rig;
    const QSize size = rig.form->size();
    QVERIFY(!rig.form->DockTraffic->Listening());
    QVERIFY(!rig.Link().TrafficTap().Active());
    rig.form->ActionTraffic->trigger();
    QVERIFY(rig.form->DockTraffic->isVisible());
    QVERIFY(rig.form->DockTraffic->isFloating());
    QVERIFY(rig.Link().TrafficTap().Active());
    QCOMPARE(rig.form->size(), size);
    rig.port->Silent();
    rig.port->Reply(IdentReply(3, 77, "T", "S", 1, 1, 1, 2020));
    rig.Link().Driver().OpenPort();
    QVERIFY(rig.Link().ReadInformation(3).answered());
    const traffic::TTrafficModel* model = rig.form->DockTraffic->Model();
    QVERIFY(QTest::qWaitFor([&] { return model->FrameCount() == 3; }, 2000));
    QCOMPARE(model->Row(0).bytes, HexWithCrc("03 11"));
    QCOMPARE(model->Row(1).bytes, HexWithCrc("03 11"));
    QCOMPARE(model->Row(1).attempt, 2);
    QCOMPARE(model->Row(2).bytes, IdentReply(3, 77, "T", "S", 1, 1, 1, 2020));
    if (const QString dir = qEnvironmentVariable("TARVO_SCREENSHOT_DIR"); !dir.isEmpty())
        rig.form->DockTraffic->grab().save(dir + QStringLiteral("/tarvo_ts-traffic-dock.png"));
    rig.form->ActionTraffic->trigger();
    QVERIFY(!rig.Link().TrafficTap().Active());
}

QTEST_MAIN(TstTsWiring)
#include "tst_ts_wiring.moc"
