// The rules of the diagnostics and calibration pages without a window: the poll timing, what a poll
// reply shows, the meaning of the command refusals, the calibration's instructions and current ranges.
#include "CalibrationRules.h"
#include "DiagnosticsRules.h"
#include "FieldworkTexts.h"
#include "TsReplies.h"

#include <QLocale>
#include <QTest>

using namespace fieldwork;

namespace {

std::span<const std::uint8_t> Bytes(const QByteArray& b) {
    return {reinterpret_cast<const std::uint8_t*>(b.constData()), std::size_t(b.size())};
}

// One tick as a letter: S sent, R repeat shown and sent, G given up (repeat shown), D "Режим
// диагностики" shown and sent.
QString Tick(TPollState& s, int repeatNum) {
    const TPollStep step = NextPoll(s, repeatNum);
    QString t;
    if (step.showRepeat)
        t += u'R';
    if (step.showDiagnosticsMode)
        t += u'D';
    t += step.giveUp ? u'G' : u'S';
    return t;
}

} // namespace

class TstTsFieldworkRules : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale::c()); }
    void pollTiming_data();
    void pollTiming();
    void aReplyAfterARepeatStartsAgain();
    void pollReplyPerCode_data();
    void pollReplyPerCode();
    void registerSigns();
    void dateReply_data();
    void dateReply();
    void shownNumber();
    void r0Answers_data();
    void r0Answers();
    void nsxAnswers_data();
    void nsxAnswers();
    void instructions_data();
    void instructions();
    void currentRanges_data();
    void currentRanges();
    void microamperes();
    void calibrationRefusals();
};

void TstTsFieldworkRules::pollTiming_data() {
    QTest::addColumn<int>("repeatNum");
    QTest::addColumn<QString>("ticks"); // the start's poll, then each tick of a silent transducer
    QTest::newRow("RepeatNum 1") << 1 << "DS RG";
    QTest::newRow("RepeatNum 2") << 2 << "DS RS RG";
    QTest::newRow("RepeatNum 3") << 3 << "DS RS RS RG";
    QTest::newRow("RepeatNum 0") << 0 << "DS RG";
}

void TstTsFieldworkRules::pollTiming() {
    QFETCH(int, repeatNum);
    QFETCH(QString, ticks);
    TPollState s;
    StartPolling(s);
    QCOMPARE(s.PollAttempt, 1);
    QVERIFY(!s.PollReplyPending);
    QStringList got;
    for (int i = 0; i < 6; ++i) {
        got << Tick(s, repeatNum);
        if (got.last().endsWith(u'G'))
            break;
        QVERIFY(s.PollReplyPending);
    }
    QCOMPARE(got.join(u' '), ticks);
}

void TstTsFieldworkRules::aReplyAfterARepeatStartsAgain() {
    TPollState s;
    StartPolling(s);
    QCOMPARE(Tick(s, 2), QStringLiteral("DS"));
    QCOMPARE(Tick(s, 2), QStringLiteral("RS"));
    PollAnswered(s);
    QCOMPARE(s.PollAttempt, 1);
    QVERIFY(!s.PollReplyPending);
    // The next tick is an ordinary poll again, and a silent line gets its full attempts anew.
    QCOMPARE(Tick(s, 2), QStringLiteral("DS"));
    QCOMPARE(Tick(s, 2), QStringLiteral("RS"));
    QCOMPARE(Tick(s, 2), QStringLiteral("RG"));
}

void TstTsFieldworkRules::pollReplyPerCode_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("values");
    QTest::addColumn<bool>("refreshDate");
    QTest::addColumn<bool>("stop");
    QTest::newRow("0") << 0 << fieldtext::DiagOk << int(vsNumbers) << true << false;
    QTest::newRow("3") << 3 << fieldtext::DiagSensor << int(vsNoValue) << true << false;
    QTest::newRow("1") << 1 << fieldtext::DiagAdc << int(vsCleared) << false << true;
    QTest::newRow("2") << 2 << fieldtext::DiagEeprom << int(vsCleared) << false << true;
    QTest::newRow("4") << 4 << QString() << int(vsCleared) << false << true;
    QTest::newRow("255") << 255 << QString() << int(vsCleared) << false << true;
}

void TstTsFieldworkRules::pollReplyPerCode() {
    QFETCH(int, code);
    QFETCH(QString, text);
    QFETCH(int, values);
    QFETCH(bool, refreshDate);
    QFETCH(bool, stop);
    QByteArray reply = MeasReply(3, 253, 10986, code, 14, 3, 2022);
    reply[7] = char(0x5A); // the high byte of the code register is not looked at
    const TPollView v = JudgePollReply(Bytes(reply));
    QCOMPARE(v.diagText, text);
    QCOMPARE(int(v.values), values);
    QCOMPARE(v.refreshDate, refreshDate);
    QCOMPARE(v.stopDiagnostics, stop);
    if (refreshDate)
        QCOMPARE(v.date, std::optional<QDate>(QDate(2022, 3, 14)));
    if (values == vsNumbers) {
        QCOMPARE(TemperatureText(v.temperature), QStringLiteral("25.3"));
        QCOMPARE(ResistanceText(v.resistance), QStringLiteral("109.86"));
    }
}

void TstTsFieldworkRules::registerSigns() {
    const TPollView v = JudgePollReply(Bytes(MeasReply(3, -200, 0x8000, 0, 1, 1, 2020)));
    QCOMPARE(TemperatureText(v.temperature), QStringLiteral("-20.0"));
    QCOMPARE(ResistanceText(v.resistance), QStringLiteral("327.68"));
    // The system's decimal separator.
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QCOMPARE(TemperatureText(v.temperature), QStringLiteral("-20,0"));
    QCOMPARE(ShownNumber(QStringLiteral("-20,0")), std::optional<double>(-20.0));
    // An impossible date in a reply: refreshed to none.
    const TPollView bad = JudgePollReply(Bytes(MeasReply(3, 0, 0, 0, 31, 2, 2020)));
    QVERIFY(bad.refreshDate);
    QVERIFY(!bad.date.has_value());
}

void TstTsFieldworkRules::dateReply_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("read");
    QTest::addColumn<QDate>("date");
    const QByteArray good = MeasReply(3, 0, 0, 0, 5, 6, 2021);
    QTest::newRow("15 bytes") << good << 15 << true << QDate(2021, 6, 5);
    QTest::newRow("short") << good.left(14) << 14 << false << QDate();
    QTest::newRow("nothing") << QByteArray(15, '\0') << 0 << false << QDate();
    QByteArray exception = good;
    exception[1] = char(0x83);
    QTest::newRow("function 0x83") << exception << 15 << false << QDate();
    QTest::newRow("impossible date") << MeasReply(3, 0, 0, 0, 0, 0, 0) << 15 << true << QDate();
}

void TstTsFieldworkRules::dateReply() {
    QFETCH(QByteArray, reply);
    QFETCH(int, length);
    QFETCH(bool, read);
    QFETCH(QDate, date);
    const auto r = JudgeDateReply(Bytes(reply), length);
    QCOMPARE(r.has_value(), read);
    if (read)
        QCOMPARE(r->value_or(QDate()), date);
}

void TstTsFieldworkRules::shownNumber() {
    QCOMPARE(ShownNumber(QStringLiteral("25.3")), std::optional<double>(25.3));
    QVERIFY(!ShownNumber(QString()));
    QVERIFY(!ShownNumber(fieldtext::NoValue));
}

void TstTsFieldworkRules::r0Answers_data() {
    QTest::addColumn<bool>("ack");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("text");
    QTest::newRow("ack") << true << 13 << int(r0Done) << QString();
    QTest::newRow("12") << false << 12 << int(r0TooFarFromZero) << fieldtext::R0TooFar;
    QTest::newRow("13") << false << 13 << int(r0AlreadyDone) << QString();
    QTest::newRow("1") << false << 1 << int(r0Refused) << QStringLiteral("Невозможно выполнить комманду");
    QTest::newRow("14") << false << 14 << int(r0Refused) << fieldtext::CannotExecute;
}

void TstTsFieldworkRules::r0Answers() {
    QFETCH(bool, ack);
    QFETCH(int, code);
    QFETCH(int, answer);
    QFETCH(QString, text);
    const TR0Answer a = JudgeR0Reply(ack, std::uint8_t(code));
    QCOMPARE(int(a), answer);
    QCOMPARE(R0RefusalText(a), text);
}

void TstTsFieldworkRules::nsxAnswers_data() {
    QTest::addColumn<bool>("ack");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("text");
    QTest::newRow("ack") << true << 15 << int(nsxDone) << QString();
    QTest::newRow("1") << false << 1 << int(nsxAlreadyDone) << QString();
    QTest::newRow("14") << false << 14 << int(nsxAlreadyDone) << QString();
    QTest::newRow("15") << false << 15 << int(nsxTooNearZero)
                        << QStringLiteral("Невозможно выполнить комманду. Измеренная температура отличется от 0 менее чем на 20°С.");
    QTest::newRow("16") << false << 16 << int(nsxTooDifferent)
                        << QStringLiteral("Невозможно выполнить комманду. Измеренная температура отличется указанной более чем 5%.");
    QTest::newRow("13") << false << 13 << int(nsxRefused) << fieldtext::CannotExecute;
}

void TstTsFieldworkRules::nsxAnswers() {
    QFETCH(bool, ack);
    QFETCH(int, code);
    QFETCH(int, answer);
    QFETCH(QString, text);
    const TNsxAnswer a = JudgeNsxReply(ack, std::uint8_t(code));
    QCOMPARE(int(a), answer);
    QCOMPARE(NsxRefusalText(a), text);
}

void TstTsFieldworkRules::instructions_data() {
    QTest::addColumn<int>("typeCode");
    QTest::addColumn<QStringList>("texts"); // after the presses confirming steps 0..7
    QTest::addColumn<QList<int>>("nominal"); // after steps 4 and 5 (0: none)
    const QString r = QStringLiteral("Установите сопротивление %1 Ом и нажмите кнопку \"Продолжить\"");
    const QString i = QStringLiteral(
        "Установлен выходной ток %1 мА. Введите измеренное значение тока и нажмите кнопку \"Продолжить\"");
    const QStringList common = {r.arg(0), r.arg(500), r.arg(250), r.arg(500)};
    const QStringList end = {QStringLiteral("Введите дату настройки"), QStringLiteral("Настройка успешно завершена")};
    QTest::newRow("77") << 77 << (common + QStringList{i.arg(QStringLiteral("4,000")), i.arg(QStringLiteral("20,000"))} + end)
                        << QList<int>{4000, 20000};
    QTest::newRow("78") << 78 << (common + QStringList{i.arg(QStringLiteral("0,100")), i.arg(QStringLiteral("5,000"))} + end)
                        << QList<int>{100, 5000};
    QTest::newRow("other") << 90 << (common + QStringList{i.arg(QStringLiteral("4,000")), i.arg(QStringLiteral("20,000"))} + end)
                           << QList<int>{0, 0};
}

void TstTsFieldworkRules::instructions() {
    QFETCH(int, typeCode);
    QFETCH(QStringList, texts);
    QFETCH(QList<int>, nominal);
    for (int step = 0; step <= 7; ++step)
        QCOMPARE(InstructionAfter(step, typeCode), texts.at(step));
    QCOMPARE(NominalCurrentAfter(4, typeCode).value_or(0), nominal.at(0));
    QCOMPARE(NominalCurrentAfter(5, typeCode).value_or(0), nominal.at(1));
    for (int step : {0, 1, 3, 6, 7})
        QVERIFY(!NominalCurrentAfter(step, typeCode));
}

void TstTsFieldworkRules::currentRanges_data() {
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("typeCode");
    QTest::addColumn<int>("microamperes");
    QTest::addColumn<QString>("error"); // empty: accepted
    const QString r77a = QStringLiteral("Диапазон возможных значений\r\nот 3,600 мА до 4,400 мА");
    const QString r77b = QStringLiteral("Диапазон возможных значений\r\nот 19,200 мА до 20,800 мА");
    const QString r78a = QStringLiteral("Диапазон возможных значений\r\nот 0,030 мА до 0,170 мА");
    const QString r78b = QStringLiteral("Диапазон возможных значений\r\nот 4,800 мА до 5,200 мА");
    QTest::newRow("77 first 3.599") << 5 << 77 << 3599 << r77a;
    QTest::newRow("77 first 3.600") << 5 << 77 << 3600 << QString();
    QTest::newRow("77 first 4.400") << 5 << 77 << 4400 << QString();
    QTest::newRow("77 first 4.401") << 5 << 77 << 4401 << r77a;
    QTest::newRow("77 second 19.199") << 6 << 77 << 19199 << r77b;
    QTest::newRow("77 second 19.200") << 6 << 77 << 19200 << QString();
    QTest::newRow("77 second 20.800") << 6 << 77 << 20800 << QString();
    QTest::newRow("77 second 20.801") << 6 << 77 << 20801 << r77b;
    QTest::newRow("78 first 0.029") << 5 << 78 << 29 << r78a;
    QTest::newRow("78 first 0.030") << 5 << 78 << 30 << QString();
    QTest::newRow("78 first 0.170") << 5 << 78 << 170 << QString();
    QTest::newRow("78 first 0.171") << 5 << 78 << 171 << r78a;
    QTest::newRow("78 second 4.799") << 6 << 78 << 4799 << r78b;
    QTest::newRow("78 second 4.800") << 6 << 78 << 4800 << QString();
    QTest::newRow("78 second 5.200") << 6 << 78 << 5200 << QString();
    QTest::newRow("78 second 5.201") << 6 << 78 << 5201 << r78b;
    QTest::newRow("77 at step 4: unchecked") << 4 << 77 << 0 << QString();
    QTest::newRow("another type: unchecked") << 5 << 90 << 99999 << QString();
}

void TstTsFieldworkRules::currentRanges() {
    QFETCH(int, step);
    QFETCH(int, typeCode);
    QFETCH(int, microamperes);
    QFETCH(QString, error);
    QCOMPARE(CurrentRangeError(step, typeCode, microamperes).value_or(QString()), error);
    QCOMPARE(AcceptedCurrent(step, typeCode, microamperes), error.isEmpty() ? microamperes : -1);
}

void TstTsFieldworkRules::microamperes() {
    QCOMPARE(Microamperes(4.012), 4012);
    QCOMPARE(Microamperes(3.6), 3600);
    QCOMPARE(Microamperes(0.03), 30);
    QCOMPARE(Microamperes(20.8), 20800);
}

void TstTsFieldworkRules::calibrationRefusals() {
    QCOMPARE(CalibrationRefusalText(10), QStringLiteral("Измеряемое АЦП значение не в диапазоне возможных значений"));
    QCOMPARE(CalibrationRefusalText(11), QStringLiteral("Переданные данные не в диапазоне возможных значений"));
    for (int code : {0, 1, 3, 12, 13, 255})
        QVERIFY(CalibrationRefusalText(std::uint8_t(code)).isEmpty());
}

QTEST_MAIN(TstTsFieldworkRules)
#include "tst_ts_fieldwork_rules.moc"
