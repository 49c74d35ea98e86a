// The diagnostics page in the whole window over a scripted port (virtual time): the poll and its
// RepeatNum rule, each self-diagnostics code, the date read after connecting, the R0 and NSX
// corrections with each refusal and their nested resets, and presses while an exchange waits.
#include "IconTable.h"
#include "LcdIndicator.h"
#include "PageInput.h"
#include "TCalibrationPage.h"
#include "TDiagnosticPage.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>

using namespace pageinput;

namespace {

const QString DiagMode = QStringLiteral("Режим диагностики");
const QString Repeat = QStringLiteral("Повторный запрос");
const QString NotConnected = QStringLiteral("Соединение не установлено");
const QString DiagFirst = QStringLiteral("Сначала нужно запустить процесс диагностики");
const QString Done = QStringLiteral("Операция успешно выполнена.");
const QString R0Question =
    QStringLiteral("Невозможно выполнить комманду.\n\rКорректировка R0 уже проводилась.\n\rСбросить корректировку R0?");
const QString NsxQuestion =
    QStringLiteral("Невозможно выполнить комманду.\n\rКорркектировка НСХ уже проводилась.\n\rСбросить?");
const QString NsxPrompt = QStringLiteral("Введите действительное значение температуры.");
const QByteArray Poll3 = HexWithCrc("03 03 0020 0005");

// The frames of a function written since `from`.
QList<QByteArray> FramesOf(const TScriptedPort& port, int function, qsizetype from = 0) {
    QList<QByteArray> out;
    for (const QByteArray& f : port.Written().mid(from))
        if (f.size() > 1 && quint8(f[1]) == function)
            out << f;
    return out;
}

QString Shown(const TLcdIndicator* ind) {
    return ind->Indicatorstring();
}

} // namespace

class TstTsDiagPage : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale::c()); }
    void controls();
    void startWithoutConnection();
    void silentTransducer_data();
    void silentTransducer();
    void aReplyAfterTheRepeat();
    void pollNotWrittenWhole();
    void portPulledWhilePolling();
    void replyPerCode_data();
    void replyPerCode();
    void strayReplyIsIgnored();
    void stopButton();
    void dateAfterConnecting_data();
    void dateAfterConnecting();
    void noDateReadAfterAnUnsupportedType();
    void newConnectionStopsDiagnostics();
    void correctionChecks();
    void r0Outcomes_data();
    void r0Outcomes();
    void r0LinkFailures_data();
    void r0LinkFailures();
    void correctionConsumesTheOutstandingReply();
    void consumedReplyThatStopsDiagnostics();
    void nsxOutcomes_data();
    void nsxOutcomes();
    void nsxEntryStartsAtZeroWithoutANumber();
    void pressesDuringAnExchangeAreIgnored();

private:
    // Connects the rig to a 77 at 3 and starts diagnostics; the first poll's reply (if any) delivered.
    void Start(TWindowRig& rig, const QByteArray& firstReply = MeasReply(3, 253, 10986, 0, 14, 3, 2022));
    // Lets the scripted reply arrive and the driver deliver it.
    static void Deliver(TWindowRig& rig) {
        rig.Link().Driver().WaitForInQueue(15, 1000);
        rig.Link().Driver().PollReceive();
    }
};

void TstTsDiagPage::Start(TWindowRig& rig, const QByteArray& firstReply) {
    ConnectTo(rig, 3, 77);
    if (!firstReply.isEmpty())
        rig.port->Reply(firstReply);
    else
        rig.port->Silent();
    rig.form->tsDiagnostic->btnBeginDiagnostics->click();
    if (!firstReply.isEmpty())
        Deliver(rig);
}

void TstTsDiagPage::controls() {
    TWindowRig rig;
    TDiagnosticPage* p = rig.form->tsDiagnostic;
    QCOMPARE(p->objectName(), QStringLiteral("tsDiagnostic"));
    QCOMPARE(p->Caption(), QStringLiteral("Диагностика "));
    QCOMPARE(p->btnBeginDiagnostics->text(), QStringLiteral(" Начать измерения"));
    QCOMPARE(p->btnBeginDiagnostics->property("imageIndex").toInt(), img::StartMeasure);
    QCOMPARE(p->btnCorrR0->text(), QStringLiteral("Корректировка R0"));
    QCOMPARE(p->btnCorrTarvo->text(), QStringLiteral("Корректировка НСХ"));
    QCOMPARE(p->DiagnosticsTimer->interval(), 1000);
    QVERIFY(!p->DiagnosticsTimer->isActive());
    QCOMPARE(p->indT->SignNumber(), 5);
    QCOMPARE(p->indR->SignNumber(), 5);
    QCOMPARE(p->indCalibrDate->IndicatorKind(), TLcdIndicator::ik5x7matrix);
    for (const char* name : {"lbT", "lbTUnit", "lbR", "lbRUnit"})
        QVERIFY(p->findChild<QLabel*>(QLatin1String(name)));
    QCOMPARE(p->findChild<QLabel*>(QStringLiteral("lbTUnit"))->text(), QStringLiteral("°C"));
    QCOMPARE(p->findChild<QLabel*>(QStringLiteral("lbRUnit"))->text(), QStringLiteral("Ом"));
    QCOMPARE(p->lbDiagInf->parentWidget()->property("title").toString(), QStringLiteral("Состояние самодиагностики: "));
    QCOMPARE(p->indCalibrDate->parentWidget()->property("title").toString(), QStringLiteral("Дата настройки: "));
}

void TstTsDiagPage::startWithoutConnection() {
    TWindowRig rig;
    rig.form->tsDiagnostic->btnBeginDiagnostics->click();
    QCOMPARE(rig.dialog.Texts(), QStringList{NotConnected});
    QCOMPARE(rig.dialog.shown.first().kind, int(mtInformation));
    QVERIFY(rig.port->Written().isEmpty());
    QVERIFY(!rig.form->tsDiagnostic->DiagnosticsRunning());
}

void TstTsDiagPage::silentTransducer_data() {
    QTest::addColumn<int>("repeatNum");
    QTest::addColumn<int>("polls");
    QTest::newRow("RepeatNum 1") << 1 << 1;
    QTest::newRow("RepeatNum 2") << 2 << 2;
}

void TstTsDiagPage::silentTransducer() {
    QFETCH(int, repeatNum);
    QFETCH(int, polls);
    TWindowRig rig;
    rig.Settings().RepeatNum = quint8(repeatNum);
    TDiagnosticPage* p = rig.form->tsDiagnostic;
    ConnectTo(rig, 3, 77);
    const qsizetype from = rig.port->Written().size();
    p->btnBeginDiagnostics->click();
    // The first poll goes out at once, not a period later.
    QCOMPARE(FramesOf(*rig.port, 3, from), QList<QByteArray>{Poll3});
    QVERIFY(p->DiagnosticsRunning());
    QVERIFY(p->DiagnosticsTimer->isActive());
    QCOMPARE(rig.Panel(3), DiagMode);
    QCOMPARE(p->btnBeginDiagnostics->text(), QStringLiteral("Завершить измерения"));
    QCOMPARE(p->btnBeginDiagnostics->property("imageIndex").toInt(), img::StopMeasure);
    for (int tick = 1; tick < polls; ++tick) {
        p->PollDiagnostics();
        QCOMPARE(rig.Panel(3), Repeat);
        QVERIFY(rig.dialog.shown.isEmpty());
    }
    QCOMPARE(FramesOf(*rig.port, 3, from).size(), polls);
    p->PollDiagnostics();
    QCOMPARE(FramesOf(*rig.port, 3, from).size(), polls);
    QCOMPARE(rig.dialog.Texts(), QStringList{QStringLiteral("Не получен ответ от прибора")});
    QCOMPARE(rig.dialog.shown.first().kind, int(mtError));
    QVERIFY(!rig.Link().IsPortOpen());
    QVERIFY(!p->DiagnosticsRunning());
    QVERIFY(!p->DiagnosticsTimer->isActive());
    QVERIFY(!rig.Link().ReceiveDataBound());
    QCOMPARE(p->btnBeginDiagnostics->text(), QStringLiteral("Начать измерения"));
    QCOMPARE(p->btnBeginDiagnostics->property("imageIndex").toInt(), img::StartMeasure);
    QCOMPARE(rig.Panel(3), QString());
}

void TstTsDiagPage::aReplyAfterTheRepeat() {
    TWindowRig rig;
    TDiagnosticPage* p = rig.form->tsDiagnostic;
    Start(rig, QByteArray());
    rig.port->Reply(MeasReply(3, 100, 10390, 0, 1, 2, 2023));
    p->PollDiagnostics();
    QCOMPARE(rig.Panel(3), Repeat);
    QCOMPARE(p->PollState().PollAttempt, 2);
    Deliver(rig);
    QCOMPARE(p->PollState().PollAttempt, 1);
    QVERIFY(!p->PollState().PollReplyPending);
    QCOMPARE(Shown(p->indT), QStringLiteral("10.0"));
    rig.port->Reply(MeasReply(3, 100, 10390, 0, 1, 2, 2023));
    p->PollDiagnostics();
    QCOMPARE(rig.Panel(3), DiagMode);
    QVERIFY(rig.dialog.shown.isEmpty());
    QVERIFY(p->DiagnosticsRunning());
}

void TstTsDiagPage::pollNotWrittenWhole() {
    TWindowRig rig;
    TDiagnosticPage* p = rig.form->tsDiagnostic;
    ConnectTo(rig, 3, 77);
    rig.port->AcceptNextWrite(3);
    p->btnBeginDiagnostics->click();
    QCOMPARE(rig.dialog.Texts(), QStringList{QStringLiteral("Нет связи с прибором.")});
    QVERIFY(!rig.Link().IsPortOpen());
    QVERIFY(!p->DiagnosticsRunning());
    QVERIFY(!p->DiagnosticsTimer->isActive());
}

void TstTsDiagPage::portPulledWhilePolling() {
    // The adapter pulled out between two polls: the next tick ends diagnostics with one message and
    // the window shows no device.
    TWindowRig rig;
    TDiagnosticPage* p = rig.form->tsDiagnostic;
    Start(rig);
    QVERIFY(p->DiagnosticsRunning());
    rig.port->FailAt(rig.port->Now());
    // The next tick of the 1000 ms timer.
    QVERIFY(QTest::qWaitFor([&] { return !p->DiagnosticsRunning(); }, 3000));
    QCOMPARE(rig.dialog.Texts(), QStringList{QStringLiteral("Нет связи с прибором.")});
    QVERIFY(!rig.Link().IsPortOpen());
    QVERIFY(!p->DiagnosticsTimer->isActive());
    QCOMPARE(rig.Panel(0), QStringLiteral("Соединение не установленно"));
    QCOMPARE(p->btnBeginDiagnostics->text(), QStringLiteral("Начать измерения"));
}

void TstTsDiagPage::replyPerCode_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("t");
    QTest::addColumn<QString>("r");
    QTest::addColumn<QString>("date");
    QTest::addColumn<bool>("running");
    const QString before = QStringLiteral("14.03.2022");
    QTest::newRow("0") << 0 << QStringLiteral("Неисправностей не обнаружено") << "-20.0" << "327.68" << "05.06.2021" << true;
    QTest::newRow("3") << 3
                       << QStringLiteral("1. Обрыв или короткое замыкание ТС.\r\n2. Измеренная температура за пределами "
                                         "максимального диапазона измерения.")
                       << "----" << "----" << "05.06.2021" << true;
    QTest::newRow("1") << 1 << QStringLiteral("АЦП не отвечает") << "" << "" << before << false;
    QTest::newRow("2") << 2 << QStringLiteral("Настройка не производилась или сбой EEPROM") << "" << "" << before << false;
    QTest::newRow("4") << 4 << QString() << "" << "" << before << false;
}

void TstTsDiagPage::replyPerCode() {
    QFETCH(int, code);
    QFETCH(QString, label);
    QFETCH(QString, t);
    QFETCH(QString, r);
    QFETCH(QString, date);
    QFETCH(bool, running);
    TWindowRig rig;
    TDiagnosticPage* p = rig.form->tsDiagnostic;
    Start(rig); // code 0: 25.3 °C, 109.86 Ω, 14.03.2022
    QCOMPARE(Shown(p->indT), QStringLiteral("25.3"));
    QCOMPARE(Shown(p->indCalibrDate), QStringLiteral("14.03.2022"));
    rig.port->Reply(MeasReply(3, -200, 0x8000, code, 5, 6, 2021));
    p->PollDiagnostics();
    Deliver(rig);
    QCOMPARE(p->lbDiagInf->text(), label);
    QCOMPARE(Shown(p->indT), t);
    QCOMPARE(Shown(p->indR), r);
    QCOMPARE(Shown(p->indCalibrDate), date);
    QCOMPARE(p->DiagnosticsRunning(), running);
    QCOMPARE(p->DiagnosticsTimer->isActive(), running);
    QCOMPARE(rig.Link().ReceiveDataBound(), running);
    QVERIFY(rig.Link().IsPortOpen());
    QVERIFY(rig.dialog.shown.isEmpty());
    // Code 3 leaves the record's values as they were.
    if (code == 3)
        QCOMPARE(rig.DeviceData().Temperature, 25.3);
    if (code == 0)
        QCOMPARE(rig.DeviceData().Resistance, 327.68);
}

void TstTsDiagPage::strayReplyIsIgnored() {
    // A poll reply that comes when no poll is outstanding (late, after it was shown) shows nothing.
    TWindowRig rig;
    TDiagnosticPage* p = rig.form->tsDiagnostic;
    Start(rig);
    rig.port->ArriveAt(rig.port->Now(), MeasReply(3, 999, 0, 0, 1, 1, 2020));
    rig.Link().Driver().PollReceive();
    QCOMPARE(Shown(p->indT), QStringLiteral("25.3"));
}

void TstTsDiagPage::stopButton() {
    TWindowRig rig;
    TDiagnosticPage* p = rig.form->tsDiagnostic;
    Start(rig);
    p->btnBeginDiagnostics->click();
    QVERIFY(!p->DiagnosticsRunning());
    QVERIFY(!p->DiagnosticsTimer->isActive());
    QCOMPARE(p->lbDiagInf->text(), QString());
    QCOMPARE(Shown(p->indT), QString());
    QCOMPARE(Shown(p->indR), QString());
    // The date stays.
    QCOMPARE(Shown(p->indCalibrDate), QStringLiteral("14.03.2022"));
    QCOMPARE(rig.Panel(3), QString());
    QVERIFY(rig.Link().IsPortOpen());
}

void TstTsDiagPage::dateAfterConnecting_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("accept"); // bytes the date request may write (-1: all)
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("open");
    QTest::newRow("read") << MeasReply(3, 0, 0, 0, 7, 8, 2019) << -1 << QString() << "07.08.2019" << true;
    QTest::newRow("short") << MeasReply(3, 0, 0, 0, 7, 8, 2019).left(12) << -1
                           << QStringLiteral("Не удалось прочитать дату последней настройки.") << "" << true;
    QTest::newRow("exception") << WithCrc(QByteArray::fromHex("038302")) << -1
                               << QStringLiteral("Не удалось прочитать дату последней настройки.") << "" << true;
    QTest::newRow("impossible date") << MeasReply(3, 0, 0, 0, 31, 2, 2019) << -1 << QStringLiteral("Неверная дата")
                                     << "" << true;
    QTest::newRow("not written whole") << QByteArray() << 4 << QStringLiteral("Нет связи с прибором.") << "" << false;
}

void TstTsDiagPage::dateAfterConnecting() {
    QFETCH(QByteArray, reply);
    QFETCH(int, accept);
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QFETCH(bool, open);
    TWindowRig rig;
    rig.port->Reply(IdentReply(3, 77, QByteArray("Tarvo"), QByteArray("Pt100"), 1, 5, 6, 2021));
    rig.port->Reply(ConfReply(3, 1, 1, -50, 150, 0, 1, 10, 3));
    if (accept >= 0) {
        rig.port->AcceptNextWrite(-1);
        rig.port->AcceptNextWrite(-1);
        rig.port->AcceptNextWrite(accept);
    }
    if (!reply.isEmpty())
        rig.port->Reply(reply);
    rig.DeviceData().SlaveID = 3;
    rig.Host().Connection().ConnectToDevice();
    QCOMPARE(FramesOf(*rig.port, 3).size(), 2); // the configuration and the date
    QCOMPARE(rig.dialog.Texts(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(Shown(rig.form->tsDiagnostic->indCalibrDate), shown);
    QCOMPARE(rig.Link().IsPortOpen(), open);
    QCOMPARE(rig.Panel(3), QString());
}

void TstTsDiagPage::noDateReadAfterAnUnsupportedType() {
    // The configuration read closes the link for a type the program does not serve; the date is not
    // read on the closed port, so no second, false "Нет связи с прибором." follows.
    TWindowRig rig;
    rig.port->Reply(IdentReply(3, 90, QByteArray("Other"), QByteArray("Pt100"), 1, 5, 6, 2021));
    rig.port->Reply(ConfReply(3, 1, 1, -50, 150, 0, 1, 10, 3));
    rig.DeviceData().SlaveID = 3;
    rig.Host().Connection().ConnectToDevice();
    QVERIFY(!rig.Link().IsPortOpen());
    QCOMPARE(rig.dialogs.errors, QStringList{QStringLiteral("Прибор не поддерживается программой")});
    QVERIFY(rig.dialog.shown.isEmpty());
    QCOMPARE(FramesOf(*rig.port, 3).size(), 1);
}

void TstTsDiagPage::newConnectionStopsDiagnostics() {
    TWindowRig rig;
    TDiagnosticPage* p = rig.form->tsDiagnostic;
    Start(rig);
    rig.port->Reply(IdentReply(3, 77, QByteArray("Tarvo"), QByteArray("Pt100"), 1, 5, 6, 2021));
    rig.port->Reply(ConfReply(3, 1, 1, -50, 150, 0, 1, 10, 3));
    rig.port->Reply(MeasReply(3, 0, 0, 0, 9, 9, 2020));
    rig.Host().Connection().ConnectToDevice();
    QVERIFY(rig.Link().IsPortOpen());
    QVERIFY(!p->DiagnosticsRunning());
    QVERIFY(!p->DiagnosticsTimer->isActive());
    QCOMPARE(Shown(p->indCalibrDate), QStringLiteral("09.09.2020"));
    QVERIFY(rig.dialog.shown.isEmpty());
}

void TstTsDiagPage::correctionChecks() {
    TWindowRig rig;
    TDiagnosticPage* p = rig.form->tsDiagnostic;
    p->btnCorrR0->click();
    p->btnCorrTarvo->click();
    ConnectTo(rig, 3, 77);
    const qsizetype from = rig.port->Written().size();
    p->btnCorrR0->click();
    p->btnCorrTarvo->click();
    QCOMPARE(rig.dialog.Texts(), (QStringList{NotConnected, NotConnected, DiagFirst, DiagFirst}));
    for (const auto& s : rig.dialog.shown)
        QCOMPARE(s.kind, int(mtInformation));
    QCOMPARE(rig.port->Written().size(), from);
}

void TstTsDiagPage::r0Outcomes_data() {
    QTest::addColumn<QList<QByteArray>>("replies");
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QList<QByteArray>>("frames");
    const QByteArray perform = HexWithCrc("03 4E 01");
    const QByteArray reset = HexWithCrc("03 4E 00");
    const QString ok = QStringLiteral("Неисправностей не обнаружено");
    QTest::newRow("acknowledged") << QList<QByteArray>{ShortReply(3, 0x4E, 0)} << QList<int>{} << QStringList{}
                                  << Done << QList<QByteArray>{perform};
    QTest::newRow("12") << QList<QByteArray>{ShortReply(3, 0xCE, 12)} << QList<int>{}
                        << QStringList{QStringLiteral("Невозможно выполнить комманду. Измеренная температура отличется от 0 более чем на 20°С")}
                        << ok << QList<QByteArray>{perform};
    QTest::newRow("13, Нет") << QList<QByteArray>{ShortReply(3, 0xCE, 13)} << QList<int>{mrNo} << QStringList{R0Question}
                             << ok << QList<QByteArray>{perform};
    QTest::newRow("13, Да, reset") << QList<QByteArray>{ShortReply(3, 0xCE, 13), ShortReply(3, 0x4E, 0)}
                                   << QList<int>{mrYes} << QStringList{R0Question}
                                   << QStringLiteral("Корректировка R0 сброшена.") << QList<QByteArray>{perform, reset};
    QTest::newRow("13, Да, reset refused")
        << QList<QByteArray>{ShortReply(3, 0xCE, 13), ShortReply(3, 0xCE, 3)} << QList<int>{mrYes}
        << QStringList{R0Question, QStringLiteral("Невозможно выполнить комманду")}
        << QStringLiteral("Сброс корректировки R0") << QList<QByteArray>{perform, reset};
    QTest::newRow("other") << QList<QByteArray>{ShortReply(3, 0xCE, 1)} << QList<int>{}
                           << QStringList{QStringLiteral("Невозможно выполнить комманду")} << ok
                           << QList<QByteArray>{perform};
}

void TstTsDiagPage::r0Outcomes() {
    QFETCH(QList<QByteArray>, replies);
    QFETCH(QList<int>, answers);
    QFETCH(QStringList, messages);
    QFETCH(QString, label);
    QFETCH(QList<QByteArray>, frames);
    TWindowRig rig;
    TDiagnosticPage* p = rig.form->tsDiagnostic;
    Start(rig);
    for (const QByteArray& r : replies)
        rig.port->Reply(r);
    for (int a : answers)
        rig.dialog.answers.push_back(a);
    const qsizetype from = rig.port->Written().size();
    p->btnCorrR0->click();
    QCOMPARE(rig.port->Written().mid(from), frames);
    QCOMPARE(rig.dialog.Texts(), messages);
    for (const auto& s : rig.dialog.shown)
        QCOMPARE(s.kind, int(mtError));
    if (!answers.isEmpty())
        QCOMPARE(rig.dialog.shown.first().buttons, int(mbYes | mbNo));
    QCOMPARE(p->lbDiagInf->text(), label);
    // Polling resumes.
    QVERIFY(p->DiagnosticsTimer->isActive());
    QVERIFY(p->DiagnosticsRunning());
    QCOMPARE(rig.Panel(3), DiagMode);
}

void TstTsDiagPage::r0LinkFailures_data() {
    QTest::addColumn<bool>("nested");
    QTest::addColumn<bool>("notWritten");
    QTest::addColumn<QString>("message");
    QTest::newRow("no reply") << false << false << QStringLiteral("Не получен ответ от прибора");
    QTest::newRow("not written whole") << false << true << QStringLiteral("Нет связи с прибором");
    QTest::newRow("no reply to the reset") << true << false << QStringLiteral("Не получен ответ от прибора");
}

void TstTsDiagPage::r0LinkFailures() {
    QFETCH(bool, nested);
    QFETCH(bool, notWritten);
    QFETCH(QString, message);
    TWindowRig rig;
    TDiagnosticPage* p = rig.form->tsDiagnostic;
    Start(rig);
    if (nested) {
        rig.port->Reply(ShortReply(3, 0xCE, 13));
        rig.dialog.answers.push_back(mrYes);
    }
    if (notWritten)
        rig.port->AcceptNextWrite(2);
    p->btnCorrR0->click();
    QCOMPARE(rig.dialog.Texts().last(), message);
    QVERIFY(!rig.Link().IsPortOpen());
    QVERIFY(!p->DiagnosticsRunning());
    QVERIFY(!p->DiagnosticsTimer->isActive());
    // Nothing further is written on the label after a link failure.
    QCOMPARE(p->lbDiagInf->text(), QString());
}

void TstTsDiagPage::correctionConsumesTheOutstandingReply() {
    TWindowRig rig;
    TDiagnosticPage* p = rig.form->tsDiagnostic;
    Start(rig);
    rig.port->Reply(MeasReply(3, 15, 10006, 0, 14, 3, 2022)); // the next poll's reply, not yet delivered
    p->PollDiagnostics();
    rig.port->Reply(ShortReply(3, 0x4E, 0));
    const qsizetype from = rig.port->Written().size();
    p->btnCorrR0->click();
    QCOMPARE(Shown(p->indT), QStringLiteral("1.5"));
    QCOMPARE(rig.port->Written().mid(from), QList<QByteArray>{HexWithCrc("03 4E 01")});
    QCOMPARE(p->lbDiagInf->text(), Done);
    QVERIFY(!p->PollState().PollReplyPending);
}

void TstTsDiagPage::consumedReplyThatStopsDiagnostics() {
    TWindowRig rig;
    TDiagnosticPage* p = rig.form->tsDiagnostic;
    Start(rig);
    rig.port->Reply(MeasReply(3, 15, 10006, 1, 14, 3, 2022));
    p->PollDiagnostics();
    const qsizetype from = rig.port->Written().size();
    p->btnCorrTarvo->click();
    QCOMPARE(rig.port->Written().size(), from);
    QCOMPARE(p->lbDiagInf->text(), QStringLiteral("АЦП не отвечает"));
    QVERIFY(!p->DiagnosticsRunning());
    QVERIFY(!p->DiagnosticsTimer->isActive());
    QVERIFY(rig.dialog.shown.isEmpty());
}

void TstTsDiagPage::nsxOutcomes_data() {
    QTest::addColumn<QList<QByteArray>>("replies");
    QTest::addColumn<QList<int>>("answers");  // questions and the entry, in turn
    QTest::addColumn<double>("entered");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QList<QByteArray>>("frames");
    const QByteArray begin = HexWithCrc("03 4F 01 0000");
    const QByteArray reset = HexWithCrc("03 4F 01 0001");
    const QString ok = QStringLiteral("Неисправностей не обнаружено");
    const QByteArray ack = ShortReply(3, 0x4F, 0);
    QTest::newRow("applied -12.3") << QList<QByteArray>{ack, ack} << QList<int>{mrYes} << -12.3 << QStringList{NsxPrompt}
                                   << Done << QList<QByteArray>{begin, HexWithCrc("03 4F 02 FF85")};
    QTest::newRow("applied 25.3") << QList<QByteArray>{ack, ack} << QList<int>{mrYes} << 25.3 << QStringList{NsxPrompt}
                                  << Done << QList<QByteArray>{begin, HexWithCrc("03 4F 02 00FD")};
    QTest::newRow("entry cancelled") << QList<QByteArray>{ack} << QList<int>{mrNo} << 30.0 << QStringList{NsxPrompt}
                                     << ok << QList<QByteArray>{begin};
    QTest::newRow("apply refused 16")
        << QList<QByteArray>{ack, ShortReply(3, 0xCF, 16)} << QList<int>{mrYes} << 40.0
        << QStringList{NsxPrompt, QStringLiteral("Невозможно выполнить комманду. Измеренная температура отличется указанной более чем 5%.")}
        << ok << QList<QByteArray>{begin, HexWithCrc("03 4F 02 0190")};
    QTest::newRow("begin refused 15")
        << QList<QByteArray>{ShortReply(3, 0xCF, 15)} << QList<int>{} << 0.0
        << QStringList{QStringLiteral("Невозможно выполнить комманду. Измеренная температура отличется от 0 менее чем на 20°С.")}
        << ok << QList<QByteArray>{begin};
    QTest::newRow("begin refused 16")
        << QList<QByteArray>{ShortReply(3, 0xCF, 16)} << QList<int>{} << 0.0
        << QStringList{QStringLiteral("Невозможно выполнить комманду. Измеренная температура отличется указанной более чем 5%.")}
        << ok << QList<QByteArray>{begin};
    QTest::newRow("14, Да, reset") << QList<QByteArray>{ShortReply(3, 0xCF, 14), ack} << QList<int>{mrYes} << 0.0
                                   << QStringList{NsxQuestion} << QStringLiteral("Корркектировка НСХ сброшена.")
                                   << QList<QByteArray>{begin, reset};
    QTest::newRow("1, Да, reset") << QList<QByteArray>{ShortReply(3, 0xCF, 1), ack} << QList<int>{mrYes} << 0.0
                                  << QStringList{NsxQuestion} << QStringLiteral("Корркектировка НСХ сброшена.")
                                  << QList<QByteArray>{begin, reset};
    QTest::newRow("14, Нет") << QList<QByteArray>{ShortReply(3, 0xCF, 14)} << QList<int>{mrNo} << 0.0
                             << QStringList{NsxQuestion} << ok << QList<QByteArray>{begin};
    QTest::newRow("other") << QList<QByteArray>{ShortReply(3, 0xCF, 2)} << QList<int>{} << 0.0
                           << QStringList{QStringLiteral("Невозможно выполнить комманду")} << ok
                           << QList<QByteArray>{begin};
}

void TstTsDiagPage::nsxOutcomes() {
    QFETCH(QList<QByteArray>, replies);
    QFETCH(QList<int>, answers);
    QFETCH(double, entered);
    QFETCH(QStringList, messages);
    QFETCH(QString, label);
    QFETCH(QList<QByteArray>, frames);
    TWindowRig rig;
    TDiagnosticPage* p = rig.form->tsDiagnostic;
    Start(rig);
    for (const QByteArray& r : replies)
        rig.port->Reply(r);
    for (int a : answers)
        rig.dialog.answers.push_back(a);
    rig.dialog.values.push_back(entered);
    const qsizetype from = rig.port->Written().size();
    p->btnCorrTarvo->click();
    QCOMPARE(rig.port->Written().mid(from), frames);
    QCOMPARE(rig.dialog.Texts(), messages);
    QCOMPARE(p->lbDiagInf->text(), label);
    QVERIFY(p->DiagnosticsTimer->isActive());
    QCOMPARE(rig.Panel(3), DiagMode);
}

void TstTsDiagPage::nsxEntryStartsAtZeroWithoutANumber() {
    // Under code 3 indT shows "----": the entry starts at 0.0, which the dialog hands back unchanged.
    TWindowRig rig;
    TDiagnosticPage* p = rig.form->tsDiagnostic;
    Start(rig, MeasReply(3, 0, 0, 3, 1, 1, 2022));
    QCOMPARE(Shown(p->indT), QStringLiteral("----"));
    rig.port->Reply(ShortReply(3, 0x4F, 0));
    rig.port->Reply(ShortReply(3, 0x4F, 0));
    const qsizetype from = rig.port->Written().size();
    p->btnCorrTarvo->click();
    QCOMPARE(rig.port->Written().mid(from).last(), HexWithCrc("03 4F 02 0000"));
    // With a number shown, the entry starts at it.
    rig.port->Reply(MeasReply(3, 253, 0, 0, 1, 1, 2022));
    p->PollDiagnostics();
    Deliver(rig);
    rig.port->Reply(ShortReply(3, 0x4F, 0));
    rig.port->Reply(ShortReply(3, 0x4F, 0));
    p->btnCorrTarvo->click();
    QCOMPARE(rig.port->Written().last(), HexWithCrc("03 4F 02 00FD"));
}

void TstTsDiagPage::pressesDuringAnExchangeAreIgnored() {
    TWindowRig rig;
    TDiagnosticPage* p = rig.form->tsDiagnostic;
    Start(rig);
    int pressed = 0;
    QTimer::singleShot(0, p, [&] {
        p->btnCorrR0->click();
        p->btnCorrTarvo->click();
        p->btnBeginDiagnostics->click();
        rig.form->tsCalobration->btnBeginCalibr->click();
        p->PollDiagnostics();
        ++pressed;
    });
    rig.port->Reply(ShortReply(3, 0x4E, 0));
    const qsizetype from = rig.port->Written().size();
    QTest::mouseClick(p->btnCorrR0, Qt::LeftButton);
    QCOMPARE(pressed, 1);
    QCOMPARE(rig.port->Written().mid(from), QList<QByteArray>{HexWithCrc("03 4E 01")});
    QVERIFY(rig.dialog.shown.isEmpty());
    QVERIFY(p->DiagnosticsRunning());
    QCOMPARE(rig.form->tsCalobration->CalibrStep(), 0);
}

QTEST_MAIN(TstTsDiagPage)
#include "tst_ts_diag_page.moc"
