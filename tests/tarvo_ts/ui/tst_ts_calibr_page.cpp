// The calibration page in the whole window over a scripted port (virtual time): the seven steps per
// type code with their texts and frames, the current entry and its ranges, the date entry, refusals,
// a failed exchange mid-calibration, cancelling, and the refusal while diagnostics run.
#include "LcdIndicator.h"
#include "PageInput.h"
#include "PageSupport.h"
#include "TCalibrationPage.h"
#include "TDiagnosticPage.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>

using namespace pageinput;

namespace {

const QString Continue = QStringLiteral("Продолжить");
const QString Begin = QStringLiteral("Начать настройку");
const QString WrongDate = QStringLiteral("Неправильно указана дата");

QString Resistance(int ohms) {
    return QStringLiteral("Установите сопротивление %1 Ом и нажмите кнопку \"Продолжить\"").arg(ohms);
}
QString Current(const char* ma) {
    return QStringLiteral("Установлен выходной ток %1 мА. Введите измеренное значение тока и нажмите кнопку \"Продолжить\"")
        .arg(QLatin1String(ma));
}
// The calibration frame of `step` with its four data bytes (hex).
QByteArray StepFrame(int step, const char* data) {
    return WithCrc(QByteArray::fromHex("034D") + QByteArray(1, char(step)) + QByteArray::fromHex(data));
}
QByteArray Ack(int step) {
    return ShortReply(3, 0x4D, step);
}
QColor StageColour(const TCalibrationPage* p) {
    return p->lbStage->palette().color(QPalette::WindowText);
}

} // namespace

class TstTsCalibrPage : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale::c()); }
    void controls();
    void wholeCalibration_data();
    void wholeCalibration();
    void enteredCurrents_data();
    void enteredCurrents();
    void refusals_data();
    void refusals();
    void invalidDate();
    void failedExchangeMidCalibration();
    void portPulledMidStep();
    void cancel();
    void leavingTheConnectedStateCancels();
    void aNewConnectionAbandonsTheCalibration();
    void refusedWhileDiagnosticsRun();
    void notConnected();
    void pressesDuringAnExchangeAreIgnored();

private:
    // Presses the button with an acknowledgement scripted for a step that sends one.
    static void Press(TWindowRig& rig) {
        TCalibrationPage* p = rig.form->tsCalobration;
        if (p->CalibrStep() != 0)
            rig.port->Reply(Ack(p->CalibrStep()));
        p->btnBeginCalibr->click();
    }
};

void TstTsCalibrPage::controls() {
    TWindowRig rig;
    TCalibrationPage* p = rig.form->tsCalobration;
    QCOMPARE(p->objectName(), QStringLiteral("tsCalobration"));
    QCOMPARE(p->Caption(), QStringLiteral("Настройка"));
    QCOMPARE(p->Hint(), QStringLiteral(" Калибровка "));
    QCOMPARE(p->btnBeginCalibr->text(), Begin);
    QCOMPARE(p->btnCancelCalibr->text(), QStringLiteral("Отмена"));
    QCOMPARE(p->lbCalibrCur->text(), QStringLiteral("Измеряемый ток:"));
    QCOMPARE(p->lbCalibrNewDate->text(), QStringLiteral("Дата:"));
    QCOMPARE(p->rseCalibrCur->decimals(), 3);
    QCOMPARE(p->rseCalibrCur->singleStep(), 0.01);
    QCOMPARE(p->meCalibrNewDate->maxLength(), 10);
    QVERIFY(p->lbStage->wordWrap());
    QVERIFY(p->lbStage->font().bold());
    QVERIFY(p->lbStage->alignment() & Qt::AlignHCenter);
    rig.form->MainPageCtrl->setCurrentWidget(p);
    QVERIFY(p->btnBeginCalibr->isVisible());
    for (QWidget* w : std::initializer_list<QWidget*>{p->lbCalibrCur, p->rseCalibrCur, p->lbCalibrNewDate,
                                                      p->meCalibrNewDate, p->btnCancelCalibr})
        QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
}

void TstTsCalibrPage::wholeCalibration_data() {
    QTest::addColumn<int>("typeCode");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<double>("firstPreset");
    QTest::addColumn<double>("secondPreset");
    QTest::addColumn<QByteArray>("firstBytes");
    QTest::addColumn<QByteArray>("secondBytes");
    QTest::newRow("77") << 77 << Current("4,000") << Current("20,000") << 4.0 << 20.0 << QByteArray("00000FA0")
                        << QByteArray("00004E20");
    QTest::newRow("78") << 78 << Current("0,100") << Current("5,000") << 0.1 << 5.0 << QByteArray("00000064")
                        << QByteArray("00001388");
}

void TstTsCalibrPage::wholeCalibration() {
    QFETCH(int, typeCode);
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(double, firstPreset);
    QFETCH(double, secondPreset);
    QFETCH(QByteArray, firstBytes);
    QFETCH(QByteArray, secondBytes);
    TWindowRig rig;
    TCalibrationPage* p = rig.form->tsCalobration;
    ConnectTo(rig, 3, typeCode);
    rig.form->MainPageCtrl->setCurrentWidget(p);
    const qsizetype from = rig.port->Written().size();

    // The first press sends nothing.
    Press(rig);
    QCOMPARE(rig.port->Written().size(), from);
    QCOMPARE(p->lbStage->text(), Resistance(0));
    QCOMPARE(p->btnBeginCalibr->text(), Continue);
    QVERIFY(p->btnCancelCalibr->isVisible());
    QCOMPARE(StageColour(p), TCalibrationPage::StageColor());
    for (int ohms : {500, 250, 500}) {
        Press(rig);
        QCOMPARE(p->lbStage->text(), Resistance(ohms));
    }
    QVERIFY(!p->rseCalibrCur->isVisible());
    Press(rig);
    QCOMPARE(p->lbStage->text(), first);
    QVERIFY(p->rseCalibrCur->isVisible() && p->lbCalibrCur->isVisible());
    QCOMPARE(p->rseCalibrCur->value(), firstPreset);
    // Untouched entries send the nominal values.
    Press(rig);
    QCOMPARE(p->lbStage->text(), second);
    QCOMPARE(p->rseCalibrCur->value(), secondPreset);
    Press(rig);
    QCOMPARE(p->lbStage->text(), QStringLiteral("Введите дату настройки"));
    QVERIFY(!p->rseCalibrCur->isVisible());
    QVERIFY(p->meCalibrNewDate->isVisible() && p->lbCalibrNewDate->isVisible());
    const QDate today = QDate::currentDate();
    QCOMPARE(p->meCalibrNewDate->text(), today.toString(QStringLiteral("dd.MM.yyyy")));
    Press(rig);
    QCOMPARE(p->lbStage->text(), QStringLiteral("Настройка успешно завершена"));
    QCOMPARE(p->CalibrStep(), 0);
    QCOMPARE(p->btnBeginCalibr->text(), Begin);
    QVERIFY(!p->btnCancelCalibr->isVisible());
    QVERIFY(!p->meCalibrNewDate->isVisible());
    QCOMPARE(rig.form->tsDiagnostic->indCalibrDate->Indicatorstring(), today.toString(QStringLiteral("dd.MM.yyyy")));
    QCOMPARE(rig.DeviceData().CalibrDate, today);

    QByteArray date(4, '\0');
    date[0] = char(today.day());
    date[1] = char(today.month());
    date[2] = char(today.year() >> 8);
    date[3] = char(today.year() & 0xFF);
    const QList<QByteArray> expected = {StepFrame(1, "00000000"), StepFrame(2, "00000000"), StepFrame(3, "00000000"),
                                        StepFrame(4, "00000000"), StepFrame(5, firstBytes.constData()),
                                        StepFrame(6, secondBytes.constData()),
                                        WithCrc(QByteArray::fromHex("034D07") + date)};
    QCOMPARE(rig.port->Written().mid(from), expected);
    QVERIFY(rig.dialog.shown.isEmpty());
    // Each read ends after 2000 ms of quiet, and the time-out is back at 1000 ms afterwards.
    QCOMPARE(rig.Link().Driver().InputTimeout(), 1000);
}

void TstTsCalibrPage::enteredCurrents_data() {
    QTest::addColumn<int>("typeCode");
    QTest::addColumn<int>("step"); // 5 or 6
    QTest::addColumn<double>("entered");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("sent"); // bytes 5 and 6
    const QString r77 = QStringLiteral("Диапазон возможных значений\r\nот 3,600 мА до 4,400 мА");
    QTest::newRow("4.012") << 77 << 5 << 4.012 << QString() << QByteArray("0FAC");
    QTest::newRow("3.600") << 77 << 5 << 3.6 << QString() << QByteArray("0E10");
    QTest::newRow("4.400") << 77 << 5 << 4.4 << QString() << QByteArray("1130");
    QTest::newRow("3.599") << 77 << 5 << 3.599 << r77 << QByteArray("FFFF");
    QTest::newRow("4.401") << 77 << 5 << 4.401 << r77 << QByteArray("FFFF");
    QTest::newRow("78 0.030") << 78 << 5 << 0.03 << QString() << QByteArray("001E");
    QTest::newRow("78 0.170") << 78 << 5 << 0.17 << QString() << QByteArray("00AA");
    QTest::newRow("78 5.201") << 78 << 6 << 5.201 << QStringLiteral("Диапазон возможных значений\r\nот 4,800 мА до 5,200 мА")
                              << QByteArray("FFFF");
    QTest::newRow("77 20.800") << 77 << 6 << 20.8 << QString() << QByteArray("5140");
}

void TstTsCalibrPage::enteredCurrents() {
    QFETCH(int, typeCode);
    QFETCH(int, step);
    QFETCH(double, entered);
    QFETCH(QString, message);
    QFETCH(QByteArray, sent);
    TWindowRig rig;
    TCalibrationPage* p = rig.form->tsCalobration;
    ConnectTo(rig, 3, typeCode);
    rig.form->MainPageCtrl->setCurrentWidget(p);
    QVERIFY(Activate(rig));
    while (p->CalibrStep() != step)
        Press(rig);
    Type(p->rseCalibrCur, QLocale().toString(entered, 'f', 3));
    Leave(p->rseCalibrCur, p->btnBeginCalibr);
    QCOMPARE(rig.dialog.Texts(), message.isEmpty() ? QStringList() : QStringList{message});
    // The entry keeps the user's value.
    QCOMPARE(p->rseCalibrCur->value(), entered);
    Press(rig);
    QCOMPARE(rig.port->Written().last().mid(5, 2).toHex().toUpper(), sent);
}

void TstTsCalibrPage::refusals_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("10") << 10 << QStringList{QStringLiteral("Измеряемое АЦП значение не в диапазоне возможных значений")};
    QTest::newRow("11") << 11 << QStringList{QStringLiteral("Переданные данные не в диапазоне возможных значений")};
    QTest::newRow("3") << 3 << QStringList{};
}

void TstTsCalibrPage::refusals() {
    QFETCH(int, code);
    QFETCH(QStringList, messages);
    TWindowRig rig;
    TCalibrationPage* p = rig.form->tsCalobration;
    ConnectTo(rig, 3, 77);
    Press(rig);
    Press(rig);
    QCOMPARE(p->CalibrStep(), 2);
    rig.port->Reply(ShortReply(3, 0xCD, code));
    p->btnBeginCalibr->click();
    QCOMPARE(rig.dialog.Texts(), messages);
    QCOMPARE(p->CalibrStep(), 2);
    QCOMPARE(p->lbStage->text(), Resistance(500));
    QVERIFY(rig.Link().IsPortOpen());
    // The next press repeats the step.
    Press(rig);
    QCOMPARE(rig.port->Written().last(), StepFrame(2, "00000000"));
    QCOMPARE(p->lbStage->text(), Resistance(250));
}

void TstTsCalibrPage::invalidDate() {
    TWindowRig rig;
    TCalibrationPage* p = rig.form->tsCalobration;
    ConnectTo(rig, 3, 77);
    rig.form->MainPageCtrl->setCurrentWidget(p);
    QVERIFY(Activate(rig));
    while (p->CalibrStep() != 7)
        Press(rig);
    Type(p->meCalibrNewDate, QStringLiteral("31022024"));
    Leave(p->meCalibrNewDate, p->btnBeginCalibr);
    QCOMPARE(rig.dialog.Texts(), QStringList{WrongDate});
    QVERIFY(!rig.DeviceData().CalibrDate.isValid());
    const qsizetype written = rig.port->Written().size();
    p->btnBeginCalibr->click();
    QCOMPARE(rig.dialog.Texts(), (QStringList{WrongDate, WrongDate}));
    QCOMPARE(rig.port->Written().size(), written);
    QCOMPARE(p->CalibrStep(), 7);
    // A valid date goes out as typed.
    Type(p->meCalibrNewDate, QStringLiteral("29022024"));
    Leave(p->meCalibrNewDate, p->btnBeginCalibr);
    Press(rig);
    QCOMPARE(rig.port->Written().last(), StepFrame(7, "1D0207E8"));
    QCOMPARE(p->CalibrStep(), 0);
}

void TstTsCalibrPage::failedExchangeMidCalibration() {
    TWindowRig rig;
    TCalibrationPage* p = rig.form->tsCalobration;
    ConnectTo(rig, 3, 77);
    Press(rig);
    Press(rig);
    Press(rig);
    QCOMPARE(p->CalibrStep(), 3);
    const qsizetype from = rig.port->Written().size();
    p->btnBeginCalibr->click(); // no reply
    QCOMPARE(rig.dialog.Texts(), QStringList{QStringLiteral("Не получен ответ от прибора.")});
    QVERIFY(!rig.Link().IsPortOpen());
    // Two attempts of step 3 and no abandon request.
    QCOMPARE(rig.port->Written().mid(from), (QList<QByteArray>{StepFrame(3, "00000000"), StepFrame(3, "00000000")}));
    QCOMPARE(p->CalibrStep(), 0);
    QCOMPARE(p->btnBeginCalibr->text(), Continue);
    QCOMPARE(p->lbStage->text(), Resistance(250));
    // Connected again, the next press begins with the 0 Ω instruction.
    rig.dialog.shown.clear();
    ConnectTo(rig, 3, 77);
    const qsizetype again = rig.port->Written().size();
    p->btnBeginCalibr->click();
    QCOMPARE(rig.port->Written().size(), again);
    QCOMPARE(p->lbStage->text(), Resistance(0));
    QCOMPARE(p->CalibrStep(), 1);
}

void TstTsCalibrPage::portPulledMidStep() {
    // The adapter pulled out while a step waits for its acknowledgement: one message, no device, the
    // page back at its start, nothing more sent.
    TWindowRig rig;
    TCalibrationPage* p = rig.form->tsCalobration;
    ConnectTo(rig, 3, 77);
    Press(rig);
    Press(rig);
    QCOMPARE(p->CalibrStep(), 2);
    rig.port->FailAt(rig.port->Now() + 200);
    p->btnBeginCalibr->click();
    QCOMPARE(rig.dialog.Texts(), QStringList{QStringLiteral("Нет связи с прибором.")});
    QVERIFY(!rig.Link().IsPortOpen());
    QCOMPARE(rig.Panel(0), QStringLiteral("Соединение не установленно"));
    QCOMPARE(p->CalibrStep(), 0);
    const qsizetype written = rig.port->Written().size();
    p->btnBeginCalibr->click(); // the offer to connect fails on the pulled port
    QVERIFY(!rig.Link().IsPortOpen());
    QCOMPARE(rig.port->Written().size(), written);
}

void TstTsCalibrPage::cancel() {
    TWindowRig rig;
    TCalibrationPage* p = rig.form->tsCalobration;
    ConnectTo(rig, 3, 77);
    rig.form->MainPageCtrl->setCurrentWidget(p);
    rig.form->tsDiagnostic->indCalibrDate->setIndicatorstring(QStringLiteral("14.03.2022"));
    for (int i = 0; i < 5; ++i)
        Press(rig);
    QVERIFY(p->rseCalibrCur->isVisible());
    rig.port->Reply(Ack(0));
    const qsizetype from = rig.port->Written().size();
    p->btnCancelCalibr->click();
    QCOMPARE(rig.port->Written().mid(from), QList<QByteArray>{StepFrame(0, "00000000")});
    QCOMPARE(p->lbStage->text(), QStringLiteral("Настройка завершена по желанию пользователя"));
    QCOMPARE(StageColour(p), TCalibrationPage::CancelledColor());
    QCOMPARE(p->btnBeginCalibr->text(), Begin);
    QVERIFY(!p->btnCancelCalibr->isVisible());
    QVERIFY(!p->rseCalibrCur->isVisible());
    QCOMPARE(rig.form->tsDiagnostic->indCalibrDate->Indicatorstring(), QString());
    QCOMPARE(p->CalibrStep(), 0);
    // The next press starts again, green.
    p->btnBeginCalibr->click();
    QCOMPARE(p->lbStage->text(), Resistance(0));
    QCOMPARE(StageColour(p), TCalibrationPage::StageColor());
}

void TstTsCalibrPage::leavingTheConnectedStateCancels() {
    TWindowRig rig;
    TCalibrationPage* p = rig.form->tsCalobration;
    ConnectTo(rig, 3, 77);
    Press(rig);
    Press(rig);
    rig.port->Reply(Ack(0));
    const int closesBefore = rig.port->Count(TScriptedPort::TEvent::Close);
    rig.Link().BreakConnection();
    // The abandon request went out before the port closed.
    QCOMPARE(rig.port->Written().last(), StepFrame(0, "00000000"));
    QList<TScriptedPort::TEvent::TKind> kinds;
    for (const auto& e : rig.port->events)
        kinds << e.kind;
    QVERIFY(kinds.lastIndexOf(TScriptedPort::TEvent::Write) < kinds.lastIndexOf(TScriptedPort::TEvent::Close));
    QCOMPARE(rig.port->Count(TScriptedPort::TEvent::Close), closesBefore + 1);
    QCOMPARE(p->CalibrStep(), 0);
    QCOMPARE(p->lbStage->text(), QStringLiteral("Настройка завершена по желанию пользователя"));
    QVERIFY(rig.dialog.shown.isEmpty());
}

void TstTsCalibrPage::aNewConnectionAbandonsTheCalibration() {
    // Connecting again (to the same port) first abandons the calibration at the transducer it was for.
    TWindowRig rig;
    TCalibrationPage* p = rig.form->tsCalobration;
    ConnectTo(rig, 3, 77);
    Press(rig);
    Press(rig);
    rig.port->Reply(Ack(0));
    rig.port->Reply(IdentReply(3, 77, QByteArray("Tarvo"), QByteArray("Pt100"), 1, 5, 6, 2021));
    rig.port->Reply(ConfReply(3, 1, 1, -50, 150, 0, 1, 10, 3));
    rig.port->Reply(MeasReply(3, 0, 0, 0, 9, 9, 2020));
    const qsizetype from = rig.port->Written().size();
    rig.Host().Connection().ConnectToDevice();
    const QList<QByteArray> sent = rig.port->Written().mid(from);
    QCOMPARE(sent.size(), 4);
    QCOMPARE(sent.first(), StepFrame(0, "00000000"));
    QCOMPARE(sent.at(1), HexWithCrc("03 11"));
    QVERIFY(rig.Link().IsPortOpen());
    QCOMPARE(p->CalibrStep(), 0);
    QCOMPARE(p->btnBeginCalibr->text(), Begin);
    QVERIFY(rig.dialog.shown.isEmpty());
}

void TstTsCalibrPage::refusedWhileDiagnosticsRun() {
    TWindowRig rig;
    TCalibrationPage* p = rig.form->tsCalobration;
    ConnectTo(rig, 3, 77);
    rig.port->Reply(MeasReply(3, 0, 0, 0, 1, 1, 2022));
    rig.form->tsDiagnostic->btnBeginDiagnostics->click();
    rig.form->MainPageCtrl->setCurrentWidget(p);
    const qsizetype from = rig.port->Written().size();
    p->btnBeginCalibr->click();
    QCOMPARE(rig.dialog.Texts(), QStringList{QStringLiteral("В режиме диагностики настройку проводить нельзя!")});
    QCOMPARE(rig.dialog.shown.first().kind, int(mtError));
    QCOMPARE(p->CalibrStep(), 0);
    QCOMPARE(rig.port->Written().size(), from);
}

void TstTsCalibrPage::notConnected() {
    TWindowRig rig;
    TCalibrationPage* p = rig.form->tsCalobration;
    p->btnBeginCalibr->click();
    QCOMPARE(rig.dialog.Texts(), QStringList{QStringLiteral("Соединение не установлено")});
    QCOMPARE(rig.dialog.shown.first().kind, int(mtInformation));
    QCOMPARE(p->CalibrStep(), 0);
    QCOMPARE(p->lbStage->text(), QString());
}

void TstTsCalibrPage::pressesDuringAnExchangeAreIgnored() {
    TWindowRig rig;
    TCalibrationPage* p = rig.form->tsCalobration;
    ConnectTo(rig, 3, 77);
    Press(rig);
    int pressed = 0;
    // Runs at the exchange's first pump (after its status text).
    QTimer::singleShot(0, p, [&] {
        p->btnBeginCalibr->click();
        p->btnCancelCalibr->click();
        rig.form->tsDiagnostic->btnBeginDiagnostics->click();
        ++pressed;
    });
    rig.port->Reply(Ack(1));
    const qsizetype from = rig.port->Written().size();
    QTest::mouseClick(p->btnBeginCalibr, Qt::LeftButton);
    QCOMPARE(pressed, 1);
    QCOMPARE(rig.port->Written().mid(from), QList<QByteArray>{StepFrame(1, "00000000")});
    QCOMPARE(p->CalibrStep(), 2);
    QVERIFY(!rig.form->tsDiagnostic->DiagnosticsRunning());
}

QTEST_MAIN(TstTsCalibrPage)
#include "tst_ts_calibr_page.moc"
