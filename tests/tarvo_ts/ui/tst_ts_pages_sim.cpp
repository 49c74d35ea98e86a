// The information and configuration pages on the wire: the whole window over the simulator's older bus
// (bus 1 of its default bus: a 77 at address 3, a 78 at address 4, 1200 bit/s), driven through its
// controls. About a second per answered exchange, so only what needs the wire is here.
#include "PageInput.h"
#include "ScriptedHost.h"
#include "SimFixture.h"
#include "TConfigurationPage.h"
#include "PageSupport.h"
#include "TInformationPage.h"
#include "TfrmMain.h"
#include "TsReplies.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace pageinput;

class TstTsPagesSim : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void informationWriteByteForByte();
    // Leaves the 77 at address 5.
    void configurationWriteAndTheNewAddress();
    void the78sAlarmChoices();

private:
    // Opens the port on bus 1 and presses the information page's read button for the transducer at
    // `address`, and the configuration page's too unless `configuration` is false.
    void Connect(int address, bool configuration = true);
    QString Get(int address, const char* key) {
        return sim.command(QStringLiteral("get 1:%1 %2").arg(address).arg(QLatin1String(key))).section(u' ', 1);
    }

    SimFixture sim;
    TScriptedMessageDialog dialog;
    std::unique_ptr<TfrmMain> form;
};

void TstTsPagesSim::initTestCase() {
    QString err;
    QVERIFY2(sim.start(&err), qPrintable(err));
}

void TstTsPagesSim::init() {
    dialog.shown.clear();
    form = std::make_unique<TfrmMain>();
    form->SetMessageDialog(&dialog);
    form->show();
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
}

void TstTsPagesSim::cleanup() {
    form.reset();
}

void TstTsPagesSim::Connect(int address, bool configuration) {
    TTsLink& link = form->Host().Link();
    link.Driver().SetPortName(sim.portPath(1));
    QVERIFY(link.Driver().OpenPort());
    link.DeviceData.SlaveID = address;
    QTest::mouseClick(form->tsInformation->btnInfRead, Qt::LeftButton);
    if (configuration)
        QTest::mouseClick(form->tsConfiguration->btnConfRead, Qt::LeftButton);
    QVERIFY(link.IsPortOpen());
    QVERIFY2(dialog.shown.isEmpty(), qPrintable(dialog.Texts().join(u'|')));
}

void TstTsPagesSim::informationWriteByteForByte() {
    Connect(3, false);
    TInformationPage* p = form->tsInformation;
    QCOMPARE(p->edPLType->text(), Get(3, "typetext"));
    Type(p->edSensorType, QStringLiteral("ТСМ-50 №7"));
    Leave(p->edSensorType, p->edSensorNum);
    Type(p->edSensorNum, QStringLiteral("305419896"));
    Leave(p->edSensorNum, p->meSensorDate);
    Type(p->meSensorDate, QStringLiteral("29022024"));
    Leave(p->meSensorDate, p->edSensorType);
    QCOMPARE(form->StatusPanel[2]->text(), QStringLiteral("Mod"));
    sim.clearReceived(1);
    QTest::mouseClick(p->btnInfWrite, Qt::LeftButton);
    QVERIFY2(dialog.shown.isEmpty(), qPrintable(dialog.Texts().join(u'|')));
    // Laid out by hand: registers 0x0008..0x0017, the text in Windows-1251 with zero bytes after it,
    // 0x12345678, 29.02.2024.
    QByteArray body = QByteArray::fromHex("03 10 0008 0010 20");
    body += QByteArray::fromHex("D2 D1 CC 2D 35 30 20 B9 37");
    body += QByteArray(24 - 9, '\0');
    body += QByteArray::fromHex("12345678 1D 02 07E8");
    QCOMPARE(SimFixture::bytes(sim.received(1)).toHex(' '), WithCrc(body).toHex(' '));
    QCOMPARE(form->StatusPanel[2]->text(), QString());
    QCOMPARE(Get(3, "sensortext"), QStringLiteral("ТСМ-50 №7"));
    QCOMPARE(Get(3, "sensornumber"), QStringLiteral("305419896"));
    QCOMPARE(Get(3, "sensordate"), QStringLiteral("29.02.2024"));
}

void TstTsPagesSim::configurationWriteAndTheNewAddress() {
    Connect(3);
    TConfigurationPage* p = form->tsConfiguration;
    form->MainPageCtrl->setCurrentWidget(p);
    QVERIFY(p->pnAlarmCur4D->isVisible());
    Click(p->rbCu);
    Click(p->rbR50);
    Type(p->rseTopTempBound, QStringLiteral("100"));
    Leave(p->rseTopTempBound, p->rseBottomTempBound);
    Type(p->rseBottomTempBound, QStringLiteral("-100"));
    Leave(p->rseBottomTempBound, p->rseConfSlaveID);
    Click(p->rbI22);
    if (!p->cbAverageTurnOn->isChecked())
        Click(p->cbAverageTurnOn);
    Type(p->rseAverage, QStringLiteral("12"));
    Leave(p->rseAverage, p->rseConfSlaveID);
    Click(p->rbInversLeadOut);
    Type(p->rseConfSlaveID, QStringLiteral("5"));
    Leave(p->rseConfSlaveID, p->rseTopTempBound);
    QCOMPARE(form->Host().Link().DeviceData.SlaveID, 3);
    sim.clearReceived(1);
    QTest::mouseClick(p->btnConfWrite, Qt::LeftButton);
    QVERIFY2(dialog.shown.isEmpty(), qPrintable(dialog.Texts().join(u'|')));
    // To the old address: copper, 50 Ω, -100 .. 100 °C, inverse, 22 mA, 12 s, address 5.
    QCOMPARE(SimFixture::bytes(sim.received(1)).toHex(' '),
             HexWithCrc("03 10 0018 0008 10 0003 0002 FF9C 0064 0001 0004 0046 0005").toHex(' '));
    QCOMPARE(Get(5, "address"), QStringLiteral("5"));

    // The read after it goes to the new address and shows what the transducer took.
    p->ClearFields();
    sim.clearReceived(1);
    QTest::mouseClick(p->btnConfRead, Qt::LeftButton);
    QCOMPARE(SimFixture::bytes(sim.received(1)).toHex(' '), HexWithCrc("05 03 0018 0008").toHex(' '));
    QVERIFY(p->rbCu->isChecked() && p->rbR50->isChecked() && p->rbI22->isChecked() && p->rbInversLeadOut->isChecked());
    QCOMPARE(p->rseTopTempBound->value(), 100);
    QCOMPARE(p->rseBottomTempBound->value(), -100);
    QCOMPARE(p->rseAverage->value(), 12);
    QCOMPARE(p->rseConfSlaveID->value(), 5);
    QCOMPARE(form->tsInformation->edSlaveID->text(), QStringLiteral("5"));
    QVERIFY(dialog.shown.isEmpty());
}

void TstTsPagesSim::the78sAlarmChoices() {
    Connect(4);
    TConfigurationPage* p = form->tsConfiguration;
    form->MainPageCtrl->setCurrentWidget(p);
    QVERIFY(p->pnAlarmCur4E->isVisible());
    QVERIFY(!p->pnAlarmCur4D->isVisible());
    const bool second = p->rbI5_5->isChecked();
    QCOMPARE(second ? 2 : 1, Get(4, "alarm").toInt());
    Click(second ? p->rbI0 : p->rbI5_5);
    QTest::mouseClick(p->btnConfWrite, Qt::LeftButton);
    QVERIFY2(dialog.shown.isEmpty(), qPrintable(dialog.Texts().join(u'|')));
    QCOMPARE(Get(4, "alarm"), second ? QStringLiteral("1") : QStringLiteral("2"));
}

QTEST_MAIN(TstTsPagesSim)
#include "tst_ts_pages_sim.moc"
