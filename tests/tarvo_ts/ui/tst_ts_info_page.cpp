// The information page in the whole window over a scripted port: its controls, what it shows, what the
// user's entries do to DeviceData (and what they are refused with), the write and its refusals, the
// diagnostics poll held off around the write, and presses that arrive while an exchange runs.
#include "PageInput.h"
#include "TDiagnosticPage.h"
#include "TInformationPage.h"
#include "PageSupport.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>

using namespace pageinput;

namespace {

const QString BadNumber = QStringLiteral("Недопустимое значение номера датчика");
const QString BadDate = QStringLiteral("Неправильно указана дата.");

int InfoWrites(const TScriptedPort& port) {
    int n = 0;
    for (const QByteArray& f : port.Written())
        n += f.size() == 41 && quint8(f[1]) == 0x10;
    return n;
}

} // namespace

class TstTsInfoPage : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void controls();
    void showsTheIdentification();
    void sensorNumberOnLeaving_data();
    void sensorNumberOnLeaving();
    void sensorDateOnLeaving_data();
    void sensorDateOnLeaving();
    void dateEntryUnderOtherLocales_data();
    void dateEntryUnderOtherLocales();
    void entriesWithoutConnection();
    void leavingForAnotherWindowTakesNothing();
    void todayButton();
    void writeAndItsRefusals_data();
    void writeAndItsRefusals();
    void numberReadAsNegativeGoesBackUnchanged();
    void diagnosticsPausedAroundTheWrite();
    void readButton();
    void pressesDuringAnExchangeAreIgnored();
};

void TstTsInfoPage::controls() {
    TWindowRig rig;
    TInformationPage* p = rig.form->tsInformation;
    QCOMPARE(p->objectName(), QStringLiteral("tsInformation"));
    QCOMPARE(p->Caption(), QStringLiteral("Информация"));
    const QList<QPair<const char*, QString>> labels = {
        {"lbSlaveID", "Адрес:"}, {"lbPLType", "Тип преобразователя:"}, {"lbSensorType", "Тип датчика:"},
        {"lbSensorNum", "Номер датчика:"}, {"lbSensorDate", "Дата:"}};
    for (const auto& [name, text] : labels) {
        auto* l = p->findChild<QLabel*>(QLatin1String(name));
        QVERIFY2(l, name);
        QCOMPARE(l->text(), text);
    }
    for (auto [button, text] : {std::pair{p->btnNow, "Сегодня"}, {p->btnInfRead, "Прочитать"}, {p->btnInfWrite, "Записать"}})
        QCOMPARE(button->text(), QString::fromUtf8(text));
    QCOMPARE(p->btnInfWrite->objectName(), QStringLiteral("btnInfWrite"));
    QVERIFY(p->edSlaveID->isReadOnly());
    QVERIFY(p->edPLType->isReadOnly());
    QVERIFY(!p->edSensorType->isReadOnly());
    QCOMPARE(p->edSensorType->maxLength(), 32767);
    // Read-only fields are grey: their base is the window colour.
    QCOMPARE(p->edPLType->palette().color(QPalette::Base), p->edPLType->palette().color(QPalette::Window));
    // Under the C locale of the tests: dd.MM.yyyy.
    QCOMPARE(p->meSensorDate->displayText(), QStringLiteral("  .  .    "));
    QCOMPARE(p->meSensorDate->displayText().size(), 10);
}

void TstTsInfoPage::showsTheIdentification() {
    TWindowRig rig;
    TInformationPage* p = rig.form->tsInformation;
    rig.port->Reply(IdentReply(7, 78, QByteArray("  TARVO 0-5\0\0", 13), QByteArray("\xD2\xD1\xCF-100"), 3000000000u, 5, 6,
                               2021));
    rig.Link().Driver().OpenPort();
    rig.Link().ReadInformation(7);
    QCOMPARE(p->edSlaveID->text(), QStringLiteral("7"));
    QCOMPARE(p->edPLType->text(), QStringLiteral("TARVO 0-5"));
    QCOMPARE(p->edSensorType->text(), QStringLiteral("ТСП-100"));
    QCOMPARE(p->edSensorNum->text(), QStringLiteral("-1294967296")); // 32 bits in the signed field
    QCOMPARE(p->meSensorDate->displayText(), QStringLiteral("05.06.2021"));
    QCOMPARE(int(rig.Host().Settings().DefaultSlaveID), 7);
    QVERIFY(!rig.DeviceData().InfoModified); // showing is no edit

    // A read without a date leaves the field as it was.
    rig.port->Reply(IdentReply(7, 78, "T", "S", 1, 0, 0, 0));
    rig.Link().ReadInformation(7);
    QCOMPARE(rig.dialog.Texts(), QStringList{QStringLiteral("Неверная дата")});
    QVERIFY(rig.DeviceData().SensorDate.isNull());
    QCOMPARE(p->meSensorDate->displayText(), QStringLiteral("05.06.2021"));
    QCOMPARE(p->edSensorNum->text(), QStringLiteral("1"));
}

void TstTsInfoPage::sensorNumberOnLeaving_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("number"); // SensorNum afterwards
    QTest::addColumn<bool>("refused");
    QTest::newRow("number") << "987654" << 987654 << false;
    QTest::newRow("zero") << "0" << 0 << false;
    QTest::newRow("largest") << "2147483647" << 2147483647 << false;
    QTest::newRow("negative") << "-3" << 1234 << true;
    QTest::newRow("letters") << "12ab" << 1234 << true;
    QTest::newRow("sign") << "+12" << 1234 << true;
    QTest::newRow("inner blank") << "12 34" << 1234 << true;
    QTest::newRow("beyond 32 bits") << "99999999999" << 1234 << true;
    QTest::newRow("one past the largest") << "2147483648" << 1234 << true;
    QTest::newRow("emptied") << "" << 1234 << true;
}

void TstTsInfoPage::sensorNumberOnLeaving() {
    QFETCH(QString, typed);
    QFETCH(int, number);
    QFETCH(bool, refused);
    TWindowRig rig;
    QVERIFY(Activate(rig));
    rig.Connect(3);
    TInformationPage* p = rig.form->tsInformation;
    Type(p->edSensorNum, typed);
    QCOMPARE(p->edSensorNum->text(), typed);
    QVERIFY(rig.DeviceData().InfoModified);
    QCOMPARE(rig.Panel(2), QStringLiteral("Mod"));
    QCOMPARE(rig.DeviceData().SensorNum, 1234); // taken only on leaving
    Leave(p->edSensorNum, p->edSensorType);
    QCOMPARE(rig.DeviceData().SensorNum, number);
    QCOMPARE(rig.dialog.Texts(), refused ? QStringList{BadNumber} : QStringList{});
    if (refused)
        QCOMPARE(rig.dialog.shown[0].kind, int(mtError));
}

void TstTsInfoPage::sensorDateOnLeaving_data() {
    QTest::addColumn<QString>("typed"); // digits into the mask
    QTest::addColumn<QDate>("date");    // SensorDate afterwards; null: none
    QTest::addColumn<bool>("refused");
    QTest::newRow("date") << "17032023" << QDate(2023, 3, 17) << false;
    QTest::newRow("leap day") << "29022024" << QDate(2024, 2, 29) << false;
    QTest::newRow("31 February") << "31022020" << QDate() << true;
    QTest::newRow("month 13") << "01132020" << QDate() << true;
    QTest::newRow("year 0") << "01010000" << QDate() << true;
    QTest::newRow("half typed") << "1703" << QDate() << true;
    QTest::newRow("emptied") << "" << QDate() << true;
    QTest::newRow("letters are not taken") << "ab17c03d2023" << QDate(2023, 3, 17) << false;
}

void TstTsInfoPage::sensorDateOnLeaving() {
    QFETCH(QString, typed);
    QFETCH(QDate, date);
    QFETCH(bool, refused);
    TWindowRig rig;
    QVERIFY(Activate(rig));
    rig.Connect(3);
    TInformationPage* p = rig.form->tsInformation;
    Type(p->meSensorDate, typed);
    QVERIFY(rig.DeviceData().InfoModified);
    Leave(p->meSensorDate, p->edSensorType);
    QCOMPARE(rig.DeviceData().SensorDate, date);
    QCOMPARE(rig.dialog.Texts(), refused ? QStringList{BadDate} : QStringList{});
    // A refused date is no date: the write says so and sends nothing.
    if (refused) {
        rig.dialog.shown.clear();
        p->btnInfWrite->click();
        QCOMPARE(rig.dialog.Texts(), QStringList{QStringLiteral("Вы забыли указать дату.")});
        QCOMPARE(InfoWrites(*rig.port), 0);
    }
}

void TstTsInfoPage::dateEntryUnderOtherLocales_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("empty");
    QTest::addColumn<QString>("shown"); // of 5 June 2021
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QDate>("date");
    QTest::newRow("ru_RU") << "ru_RU" << "  .  .    " << "05.06.2021" << "31122021" << QDate(2021, 12, 31);
    QTest::newRow("en_US") << "en_US" << "  /  /    " << "06/05/2021" << "12312021" << QDate(2021, 12, 31);
    QTest::newRow("sv_SE") << "sv_SE" << "    -  -  " << "2021-06-05" << "20211231" << QDate(2021, 12, 31);
}

void TstTsInfoPage::dateEntryUnderOtherLocales() {
    QFETCH(QString, locale);
    QFETCH(QString, empty);
    QFETCH(QString, shown);
    QFETCH(QString, typed);
    QFETCH(QDate, date);
    const QLocale before;
    QLocale::setDefault(QLocale(locale));
    TWindowRig rig;
    QLocale::setDefault(before);
    QVERIFY(Activate(rig));
    TInformationPage* p = rig.form->tsInformation;
    QCOMPARE(p->meSensorDate->displayText(), empty);
    rig.Connect(3);
    QCOMPARE(p->meSensorDate->displayText(), shown);
    Type(p->meSensorDate, typed);
    Leave(p->meSensorDate, p->edSensorType);
    QCOMPARE(rig.DeviceData().SensorDate, date);
    QVERIFY(rig.dialog.shown.isEmpty());
    rig.Link().BreakConnection();
    QCOMPARE(p->meSensorDate->displayText(), empty);
}

void TstTsInfoPage::entriesWithoutConnection() {
    // Without a transducer the fields change and the mark is set, but DeviceData stays as it was.
    TWindowRig rig;
    QVERIFY(Activate(rig));
    TInformationPage* p = rig.form->tsInformation;
    Type(p->edSensorType, QStringLiteral("ТСМ"));
    Leave(p->edSensorType, p->edSensorNum);
    Type(p->edSensorNum, QStringLiteral("-5"));
    Leave(p->edSensorNum, p->meSensorDate);
    Type(p->meSensorDate, QStringLiteral("99"));
    Leave(p->meSensorDate, p->edSensorType);
    QVERIFY(rig.DeviceData().SensorType.isEmpty());
    QCOMPARE(rig.DeviceData().SensorNum, 0);
    QVERIFY(rig.DeviceData().SensorDate.isNull());
    QVERIFY(rig.dialog.shown.isEmpty());
    QCOMPARE(rig.Panel(2), QStringLiteral("Mod"));
    // Closing says the edits are lost and sends nothing.
    rig.form->close();
    QCOMPARE(rig.dialog.Texts(), QStringList{QStringLiteral("Соединение не установлено. Изменения не сохранены.")});
    QVERIFY(rig.port->Written().isEmpty());
}

void TstTsInfoPage::leavingForAnotherWindowTakesNothing() {
    // A message box or another program taking the focus is no leaving of the field; the typed sensor
    // type goes into DeviceData once the focus moves on within the window.
    TWindowRig rig;
    QVERIFY(Activate(rig));
    rig.Connect(3);
    TInformationPage* p = rig.form->tsInformation;
    Type(p->edSensorNum, QStringLiteral("12x"));
    QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(p->edSensorNum, &away);
    QVERIFY(rig.dialog.shown.isEmpty());
    Type(p->edSensorType, QStringLiteral("Pt500 №3"));
    QCOMPARE(rig.DeviceData().SensorType, QStringLiteral("Pt100"));
    QVERIFY(!LeavesForAnotherControl(Qt::PopupFocusReason));
    Leave(p->edSensorType, p->btnNow);
    QCOMPARE(rig.DeviceData().SensorType, QStringLiteral("Pt500 №3"));
}

void TstTsInfoPage::todayButton() {
    for (const bool connected : {false, true}) {
        TWindowRig rig;
        if (connected)
            rig.Connect(3);
        TInformationPage* p = rig.form->tsInformation;
        const QDate today = QDate::currentDate();
        QTest::mouseClick(p->btnNow, Qt::LeftButton);
        QCOMPARE(p->meSensorDate->displayText(), today.toString(QStringLiteral("dd.MM.yyyy")));
        QCOMPARE(p->btnNow->focusPolicy(), Qt::TabFocus);
        QCOMPARE(rig.DeviceData().SensorDate, today);
        QVERIFY(rig.DeviceData().InfoModified);
        QVERIFY(rig.dialog.shown.isEmpty());
    }
}

void TstTsInfoPage::writeAndItsRefusals_data() {
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QString>("sensorType");
    QTest::addColumn<bool>("hasDate");
    QTest::addColumn<QString>("message"); // empty: written
    QTest::addColumn<int>("kind");
    QTest::newRow("written") << true << "ТСП-100 №1" << true << QString() << 0;
    QTest::newRow("no date") << true << "Pt100" << false << "Вы забыли указать дату." << int(mtError);
    QTest::newRow("a letter the transducer cannot hold")
        << true << "Müller Pt100 ü" << true
        << "Тип датчика содержит символы, которые нельзя записать в память прибора: «ü». Исправьте тип датчика."
        << int(mtError);
    QTest::newRow("two of them")
        << true << "Pt😀100ẞ" << true
        << "Тип датчика содержит символы, которые нельзя записать в память прибора: «😀» «ẞ». Исправьте тип датчика."
        << int(mtError);
    QTest::newRow("not connected") << false << "Pt100" << true << "Соединение не установлено." << int(mtInformation);
}

void TstTsInfoPage::writeAndItsRefusals() {
    QFETCH(bool, connected);
    QFETCH(QString, sensorType);
    QFETCH(bool, hasDate);
    QFETCH(QString, message);
    QFETCH(int, kind);
    TWindowRig rig;
    if (connected)
        rig.Connect(3);
    TInformationPage* p = rig.form->tsInformation;
    rig.DeviceData().SensorType = sensorType;
    rig.DeviceData().SensorDate = hasDate ? QDate(2022, 1, 2) : QDate();
    rig.form->SetInfoModified(true);
    rig.port->Reply(WriteReply(3, 0x10, 0x08, 16));
    QTest::mouseClick(p->btnInfWrite, Qt::LeftButton);
    if (message.isEmpty()) {
        QCOMPARE(InfoWrites(*rig.port), 1);
        QVERIFY(rig.dialog.shown.isEmpty());
        QVERIFY(!rig.DeviceData().InfoModified);
        QCOMPARE(rig.Panel(2), QString());
        return;
    }
    QCOMPARE(rig.dialog.Texts(), QStringList{message});
    QCOMPARE(rig.dialog.shown[0].kind, kind);
    QCOMPARE(InfoWrites(*rig.port), 0);
    // Nothing was written: the edits are still marked, and the link stays as it was.
    QVERIFY(rig.DeviceData().InfoModified);
    QCOMPARE(rig.Panel(2), QStringLiteral("Mod"));
    QCOMPARE(rig.Link().IsPortOpen(), connected);
}

void TstTsInfoPage::numberReadAsNegativeGoesBackUnchanged() {
    // A number of 2147483648 or more shows as negative; leaving its field untouched refuses nothing, and
    // writing the block back sends the same four bytes.
    TWindowRig rig;
    QVERIFY(Activate(rig));
    TInformationPage* p = rig.form->tsInformation;
    rig.port->Reply(IdentReply(3, 77, "T", "Pt100", 0xB2D05E00u, 1, 2, 2020));
    rig.Link().Driver().OpenPort();
    rig.Link().ReadInformation(3);
    Leave(p->edSensorNum, p->edSensorType);
    QVERIFY(rig.dialog.shown.isEmpty());
    rig.port->Reply(WriteReply(3, 0x10, 0x08, 16));
    QTest::mouseClick(p->btnInfWrite, Qt::LeftButton);
    QCOMPARE(InfoWrites(*rig.port), 1);
    QCOMPARE(rig.port->Written().last().mid(31, 4).toHex(), QByteArray("b2d05e00"));
    // Typed by the user after another number, a negative number is refused.
    Type(p->edSensorNum, QStringLiteral("5"));
    Leave(p->edSensorNum, p->edSensorType);
    Type(p->edSensorNum, QStringLiteral("-1294967296"));
    Leave(p->edSensorNum, p->edSensorType);
    QCOMPARE(rig.dialog.Texts(), QStringList{BadNumber});
    QCOMPARE(rig.DeviceData().SensorNum, 5);
}

void TstTsInfoPage::diagnosticsPausedAroundTheWrite() {
    TWindowRig rig;
    rig.Connect(3);
    TInformationPage* p = rig.form->tsInformation;
    QTimer* timer = rig.form->tsDiagnostic->DiagnosticsTimer;
    rig.DeviceData().SensorDate = QDate(2022, 1, 2);

    // Off during the exchange, on again after it.
    bool activeInside = true;
    timer->start();
    rig.port->Reply(WriteReply(3, 0x10, 0x08, 16));
    // Runs at the exchange's first pump.
    QTimer::singleShot(0, p, [&] { activeInside = timer->isActive(); });
    QTest::mouseClick(p->btnInfWrite, Qt::LeftButton);
    QVERIFY(!activeInside);
    QVERIFY(timer->isActive());

    // A link lost in the write stops the diagnostics for good.
    rig.port->Silent();
    rig.port->Silent();
    QTest::mouseClick(p->btnInfWrite, Qt::LeftButton);
    QVERIFY(!rig.Link().IsPortOpen());
    QVERIFY(!timer->isActive());

    // A timer that was off stays off.
    TWindowRig off;
    off.Connect(3);
    off.DeviceData().SensorDate = QDate(2022, 1, 2);
    off.port->Reply(WriteReply(3, 0x10, 0x08, 16));
    QTest::mouseClick(off.form->tsInformation->btnInfWrite, Qt::LeftButton);
    QVERIFY(!off.form->tsDiagnostic->DiagnosticsTimer->isActive());
}

void TstTsInfoPage::readButton() {
    TWindowRig rig;
    rig.Connect(3);
    TInformationPage* p = rig.form->tsInformation;
    rig.DeviceData().SensorNum = 5;
    rig.form->SetInfoModified(true);
    rig.port->Reply(IdentReply(3, 77, "T", "Cu50", 777, 1, 1, 2001));
    QTest::mouseClick(p->btnInfRead, Qt::LeftButton);
    QCOMPARE(rig.port->Written().last(), HexWithCrc("03 11"));
    QCOMPARE(p->edSensorNum->text(), QStringLiteral("777"));
    QCOMPARE(rig.DeviceData().SensorNum, 777);
    QVERIFY(!rig.DeviceData().InfoModified);

    // A transducer that does not answer: the link closes and the page empties.
    rig.port->Silent();
    rig.port->Silent();
    QTest::mouseClick(p->btnInfRead, Qt::LeftButton);
    QVERIFY(!rig.Link().IsPortOpen());
    QCOMPARE(p->edSensorNum->text(), QString());
    QCOMPARE(rig.dialog.Texts(), QStringList{QStringLiteral("Прибор номер 3 не найден.")});

    // Closed: the press connects first; the silent transducer gets the identification request only.
    const qsizetype written = rig.port->Written().size();
    QTest::mouseClick(p->btnInfRead, Qt::LeftButton);
    QVERIFY(!rig.Link().IsPortOpen());
    const QList<QByteArray> sent = rig.port->Written().mid(written);
    QVERIFY(!sent.isEmpty());
    for (const QByteArray& f : sent)
        QCOMPARE(f, HexWithCrc("03 11"));
}

void TstTsInfoPage::pressesDuringAnExchangeAreIgnored() {
    // Presses that the window handles while an exchange waits (at its pumps) start nothing: one frame
    // per command, and the first command's outcome alone decides the mark.
    TWindowRig rig;
    rig.Connect(3);
    TInformationPage* p = rig.form->tsInformation;
    rig.DeviceData().SensorDate = QDate(2022, 1, 2);
    rig.form->SetInfoModified(true);
    const qsizetype before = rig.port->Written().size();
    int pressed = 0;
    QTimer::singleShot(0, p, [&] {
        p->btnInfWrite->click();
        p->btnInfRead->click();
        ++pressed;
    });
    // The read gets no reply: two attempts, then the link closes.
    rig.port->Silent();
    rig.port->Silent();
    p->btnInfRead->click();
    QCOMPARE(pressed, 1);
    QCOMPARE(rig.port->Written().size() - before, 2); // the read and its one repeat
    QCOMPARE(InfoWrites(*rig.port), 0);
    QVERIFY(!rig.Link().IsPortOpen());
    QVERIFY(!rig.DeviceData().InfoModified);
}

QTEST_MAIN(TstTsInfoPage)
#include "tst_ts_info_page.moc"
