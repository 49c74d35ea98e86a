// The exchanges of Tarvo_TS against the scripted port, in virtual time: frames written, purges,
// status texts, pumps, messages, whether the link closed, and how long each took.
#include "LinkTexts.h"
#include "ScriptedHost.h"
#include "ScriptedPort.h"
#include "TsLink.h"
#include "TsReplies.h"

#include <QTest>

using namespace tarvo_ts;

namespace {

const QString Repeat = QStringLiteral("Повторный запрос");
const QString Reading = QStringLiteral("Чтение данных из памяти прибора");
const QString Writing = QStringLiteral("Запись данных в память прибора");
const QString Connect = QStringLiteral("action:Установить соединение:3");

// A link with its port open at the address 3.
struct Rig {
    TRecordingHost host;
    TScriptedPort* port = nullptr;
    std::unique_ptr<TTsLink> link;

    Rig() {
        auto p = std::make_unique<TScriptedPort>();
        port = p.get();
        link = std::make_unique<TTsLink>(host, std::move(p));
        link->Driver().SetPortName(QStringLiteral("COM3"));
        link->DeviceData.SlaveID = 3;
        link->ReportConnectFailures = true;
        const bool opened = link->Driver().OpenPort();
        Q_ASSERT(opened);
        (void)opened;
        port->events.clear();
    }

    // Port operations other than reads: "purge:io", "purge:o", "write:<bytes taken>", "close".
    QStringList PortTrace() const {
        QStringList t;
        for (const auto& e : port->events) {
            if (e.kind == TScriptedPort::TEvent::Purge)
                t << QStringLiteral("purge:%1%2").arg(e.input ? "i" : "").arg(e.output ? "o" : "");
            else if (e.kind == TScriptedPort::TEvent::Write)
                t << QStringLiteral("write:%1").arg(e.bytes.size());
            else if (e.kind == TScriptedPort::TEvent::Close)
                t << QStringLiteral("close");
        }
        return t;
    }
    // Status texts, pumps, messages and the connect action, in order.
    QStringList HostTrace() const {
        QStringList t;
        for (const QString& l : host.log)
            if (l.startsWith(QLatin1String("op:")) || l == QLatin1String("pump") || l.startsWith(QLatin1String("msg:")) ||
                l.startsWith(QLatin1String("action:")))
                t << l;
        return t;
    }
};

QString msg(int kind, const QString& text) {
    return QStringLiteral("msg:%1:%2").arg(kind).arg(text);
}

// What the test knows of each exchange, written down from the exchange table.
struct ExchangeCase {
    TExchangeKind kind;
    QByteArray request;
    QByteArray answer;        // the reply that succeeds
    QByteArray refusedReply;  // a reply of the length that fails the test (empty: none)
    QString status;           // empty: the exchange sets none
    bool purgeInputOnResend;
    int noReplyKind;
    QString noReply;
    int noLinkKind;
    QString noLink;
    QString refusal;          // message of a refused reply (empty: none)
    int readMs;               // quiet time of each read
    bool command;             // every 5-byte reply is the exchange's own
};

QList<ExchangeCase> Cases() {
    const QByteArray ident = IdentReply(3, 77, "Tarvo", "Pt100", 42, 1, 2, 2020);
    const QByteArray conf = ConfReply(3, 1, 1, -50, 150, 0, 2, 4, 3);
    return {
        {ekReadInformation, HexWithCrc("03 11"), ident, {}, Reading, true, mtWarning,
         QStringLiteral("Прибор номер 3 не найден."), mtWarning, QStringLiteral("Прибор номер 3 не найден."), {},
         1000, false},
        {ekWriteInformation, {}, WriteReply(3, 0x10, 8, 16), WriteReply(3, 0x11, 8, 16), Writing, false, mtError,
         QStringLiteral("Не получен ответ от прибора."), mtError, QStringLiteral("Нет связи с прибором!"),
         QStringLiteral("Невозможно выполнить команду"), 1000, false},
        {ekReadConfiguration, HexWithCrc("03 03 0018 0008"), conf, {}, Reading, true, mtError,
         QStringLiteral("Не получен ответ от прибора"), mtError, QStringLiteral("Нет связи с прибором"), {}, 1000,
         false},
        {ekWriteConfiguration, {}, WriteReply(3, 0x10, 0x18, 8), WriteReply(3, 0x90, 0x18, 8), Writing, false,
         mtError, QStringLiteral("Не получен ответ от прибора."), mtError, QStringLiteral("Нет связи с прибором."),
         QStringLiteral("Невозможно выполнить комманду."), 1000, false},
        {ekCalibrationStep, HexWithCrc("03 4D 00 00000000"), ShortReply(3, 0x4D, 0), ShortReply(3, 0xCD, 10),
         Writing, false, mtError, QStringLiteral("Не получен ответ от прибора."), mtError,
         QStringLiteral("Нет связи с прибором."), {}, 2000, true},
        {ekR0Correction, HexWithCrc("03 4E 01"), ShortReply(3, 0x4E, 1), ShortReply(3, 0x0E, 13), {}, false,
         mtError, QStringLiteral("Не получен ответ от прибора"), mtError, QStringLiteral("Нет связи с прибором"), {},
         1000, true},
        {ekNsxCorrection, HexWithCrc("03 4F 02 FF85"), ShortReply(3, 0x4F, 2), ShortReply(3, 0xCF, 16), {}, false,
         mtError, QStringLiteral("Не получен ответ от прибора"), mtError, QStringLiteral("Нет связи с прибором"), {},
         1000, true},
    };
}

void PrepareData(TTsLink& link) {
    link.DeviceData.SensorType = QStringLiteral("ТСП");
    link.DeviceData.SensorNum = 5;
    link.DeviceData.SensorDate = QDate(2021, 4, 5);
    link.DeviceData.SensorKind = 1;
    link.DeviceData.SensorR0 = 100;
    link.DeviceData.BottomTempBound = 0;
    link.DeviceData.TopTempBound = 100;
    link.DeviceData.AlarmCur = 1;
}

// The variable of each exchange in these tests: calibration step 0, R0 performed, NSX mode 2.
TExchangeResult Run(TTsLink& link, TExchangeKind kind) {
    const int parameter = kind == ekR0Correction ? 1 : kind == ekNsxCorrection ? 2 : 0;
    return RunExchangeOfKind(link, kind, parameter);
}

QByteArray RequestOf(const ExchangeCase& s, TTsLink& link) {
    if (!s.request.isEmpty())
        return s.request;
    const TRequest r = s.kind == ekWriteInformation ? WriteInformationRequest(link.DeviceData)
                                                    : WriteConfigurationRequest(link.DeviceData, 3);
    return QByteArray(reinterpret_cast<const char*>(r.bytes.data()), r.length);
}

enum Scenario {
    scAnswered,
    scRefused,
    scListedCode,
    scCode5,
    scFiveThenNothing,
    scTooLongThenAnswered,
    scSilent,
    scFirstNotWhole,
    scResendNotWhole,
    scLongerReplyOfCommand,
};

} // namespace

Q_DECLARE_METATYPE(Scenario)

class TestTsExchanges : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pattern_data();
    void pattern();

    void identificationFillsTheRecord();
    void identificationSilentDuringSearch();
    void identificationWithImpossibleDate();
    void identificationFirstFrameNotWrittenIsSilent();
    void configurationReadFillsTheRecord();
    void configurationWriteTakesTheNewAddress();
    void checksBeforeSending_data();
    void checksBeforeSending();
    void calibrationReadTimeoutGoesBackTo1000();
    void droppedShortRepliesAreBounded();
    void tapGetsEachSendWithItsVerdict();
    void hungUpPortEndsTheExchange();

    void showDeviceError_data();
    void showDeviceError();
    void breakConnectionOrder();
    void failedExchangeCancelsCalibrationFirst();
    void beforeBreakHookRunsBeforeBreakConnection();

    void secondPressInsideAnExchangeIsIgnored();
    void pollEventHeldBackDuringAnExchange();
    void flagsStillWorkInsideAnExchange();
    void pressDuringAMessageIsIgnored();
    void operationGuardsASequence();

    void trafficObserverSeesFramesAndReplies();
};

void TestTsExchanges::pattern_data() {
    QTest::addColumn<int>("exchange");
    QTest::addColumn<Scenario>("scenario");
    QTest::addColumn<int>("repeatNum");

    const QList<ExchangeCase> cases = Cases();
    for (int i = 0; i < cases.size(); ++i) {
        const char* name = ExchangeRow(cases[i].kind).name;
        const auto row = [&](const char* what, Scenario sc, int repeat) {
            QTest::addRow("%s: %s, RepeatNum %d", name, what, repeat) << i << sc << repeat;
        };
        row("answered", scAnswered, 2);
        if (!cases[i].refusedReply.isEmpty())
            row("refused", scRefused, 2);
        row("exception with a listed code", scListedCode, 2);
        row("exception code 5", scCode5, 2);
        if (!cases[i].command)
            row("5-byte reply without exception bit, then nothing", scFiveThenNothing, 2);
        row(cases[i].command ? "8-byte reply, then answered" : "too long, then answered",
            cases[i].command ? scLongerReplyOfCommand : scTooLongThenAnswered, 2);
        row("silent", scSilent, 0);
        row("silent", scSilent, 1);
        row("silent", scSilent, 2);
        row("silent", scSilent, 3);
        row("first frame not written whole", scFirstNotWhole, 2);
        row("repeated frame not written whole", scResendNotWhole, 2);
    }
}

void TestTsExchanges::pattern() {
    QFETCH(int, exchange);
    QFETCH(Scenario, scenario);
    QFETCH(int, repeatNum);
    const ExchangeCase s = Cases().at(exchange);

    Rig rig;
    rig.host.repeatNum = repeatNum;
    PrepareData(*rig.link);
    const QByteArray request = RequestOf(s, *rig.link);
    const int n = int(request.size());
    const int fn = s.kind == ekWriteInformation || s.kind == ekWriteConfiguration ? 0x10 : quint8(request[1]);
    const QString write = QStringLiteral("write:%1").arg(n);
    const QString firstPurge = QStringLiteral("purge:io");
    const QString resendPurge = s.purgeInputOnResend ? QStringLiteral("purge:io") : QStringLiteral("purge:o");

    QStringList start;
    QStringList end;
    if (!s.status.isEmpty()) {
        start = {QStringLiteral("op:") + s.status, QStringLiteral("pump")};
        end = {QStringLiteral("op:")};
    }
    const QStringList repeat = {QStringLiteral("op:") + Repeat, QStringLiteral("pump")};
    const QStringList noReply = {msg(s.noReplyKind, s.noReply), Connect};
    const QStringList noLink = {msg(s.noLinkKind, s.noLink), Connect};

    QStringList portTrace;
    QStringList hostTrace;
    TExchangeOutcome outcome = eoAnswered;
    bool closed = false;
    int ms = 0;
    int code = -1;

    switch (scenario) {
    case scAnswered:
        rig.port->Reply(s.answer, 50);
        portTrace = {firstPurge, write};
        hostTrace = start + end;
        ms = 50 + s.readMs;
        break;
    case scRefused:
        rig.port->Reply(s.refusedReply, 50);
        portTrace = {firstPurge, write};
        hostTrace = start;
        if (!s.refusal.isEmpty())
            hostTrace << msg(mtError, s.refusal);
        hostTrace += end;
        outcome = eoRefused;
        code = quint8(s.refusedReply[2]);
        ms = 50 + s.readMs;
        break;
    case scListedCode:
        rig.port->Reply(ShortReply(3, fn | 0x80, 2), 50);
        portTrace = {firstPurge, write};
        hostTrace = start;
        // Commands judge every 5-byte reply themselves: a refusal whose text is their page's.
        if (!s.command)
            hostTrace << msg(mtError, QStringLiteral("Некорректный номер регистра данных."));
        hostTrace += end;
        outcome = s.command ? eoRefused : eoDeviceError;
        code = 2;
        ms = (s.command ? 50 : 1000) + s.readMs;
        break;
    case scCode5:
        rig.port->Reply(ShortReply(3, fn | 0x80, 5), 50);
        portTrace = {firstPurge, write};
        hostTrace = start + end;
        outcome = s.command ? eoRefused : eoDeviceError;
        code = 5;
        ms = (s.command ? 50 : 1000) + s.readMs;
        break;
    case scFiveThenNothing:
        rig.port->Reply(ShortReply(3, fn, 0), 50);
        portTrace = {firstPurge, write, resendPurge, write, QStringLiteral("close")};
        hostTrace = start + repeat + end + noReply;
        outcome = eoNoReply;
        closed = true;
        // The wait runs its full second for the 5 bytes, the dropped reply's attempt waits and reads
        // once more, then the second attempt.
        ms = 3 * (1000 + s.readMs);
        break;
    case scTooLongThenAnswered:
        rig.port->Reply(s.answer + QByteArray(1, '\0'), 50);
        rig.port->Reply(s.answer, 50);
        portTrace = {firstPurge, write, resendPurge, write};
        hostTrace = start + repeat + end;
        ms = (50 + s.readMs) * 2;
        break;
    case scLongerReplyOfCommand:
        rig.port->Reply(WriteReply(3, fn, 0, 0), 50);
        rig.port->Reply(s.answer, 50);
        portTrace = {firstPurge, write, resendPurge, write};
        hostTrace = start + repeat + end;
        ms = (50 + s.readMs) * 2;
        break;
    case scSilent:
        portTrace = {firstPurge, write};
        hostTrace = start;
        for (int a = 2; a <= repeatNum; ++a) {
            portTrace << resendPurge << write;
            hostTrace += repeat;
        }
        portTrace << QStringLiteral("close");
        hostTrace += end + noReply;
        outcome = eoNoReply;
        closed = true;
        ms = repeatNum * (1000 + s.readMs);
        break;
    case scFirstNotWhole:
        rig.port->AcceptNextWrite(n - 1);
        portTrace = {firstPurge, QStringLiteral("write:%1").arg(n - 1), QStringLiteral("close")};
        hostTrace = start + end;
        // The identification says nothing when its first frame does not go out.
        if (s.kind != ekReadInformation)
            hostTrace += noLink.first();
        hostTrace << Connect;
        outcome = eoNoLink;
        closed = true;
        ms = 1000; // the output time-out
        break;
    case scResendNotWhole:
        rig.port->AcceptNextWrite(-1);
        rig.port->AcceptNextWrite(2);
        portTrace = {firstPurge, write, resendPurge, QStringLiteral("write:2"), QStringLiteral("close")};
        hostTrace = start + repeat + end + noLink;
        outcome = eoNoLink;
        closed = true;
        ms = 1000 + s.readMs + 1000;
        break;
    }

    const TExchangeResult r = Run(*rig.link, s.kind);
    QCOMPARE(int(r.outcome), int(outcome));
    if (code >= 0)
        QCOMPARE(int(r.code), code);
    QCOMPARE(rig.PortTrace(), portTrace);
    QCOMPARE(rig.HostTrace(), hostTrace);
    QCOMPARE(!rig.link->IsPortOpen(), closed);
    QCOMPARE(rig.port->Now(), qint64(ms));
    // Every frame written is the request or the bytes of it that went out.
    for (const QByteArray& w : rig.port->Written())
        QVERIFY(request.startsWith(w));
    // The pumps are exactly the two points: the status text and each repeated send.
    QCOMPARE(rig.host.pumps, int(hostTrace.count(QStringLiteral("pump"))));
    if (s.kind == ekReadInformation)
        QVERIFY(rig.link->ReportConnectFailures);
    QCOMPARE(rig.link->Driver().InputTimeout(), 1000);
}

void TestTsExchanges::identificationFillsTheRecord() {
    Rig rig;
    rig.link->DeviceData.SensorR0 = 50;
    rig.link->StoredData.SensorR0 = 50;
    rig.port->Reply(IdentReply(9, 78, "  Tarvo-TS", "\xD2\xD1\xCC-50", 0x80000001u, 28, 2, 2024));
    const TExchangeResult r = rig.link->ReadInformation(9);
    QVERIFY(r.answered());
    QCOMPARE(rig.port->Written(), QList<QByteArray>{HexWithCrc("09 11")});
    const TTarvo& d = rig.link->DeviceData;
    QCOMPARE(d.SlaveID, 9);
    QCOMPARE(d.PLTypeCode, 78);
    QCOMPARE(d.PLType, QStringLiteral("Tarvo-TS"));
    QCOMPARE(d.SensorType, QStringLiteral("ТСМ-50"));
    QCOMPARE(d.SensorNum, -2147483647);
    QCOMPARE(d.SensorDate, QDate(2024, 2, 28));
    QCOMPARE(d.SensorR0, 50);
    // Only the information group reaches the stored copy.
    const TTarvo& st = rig.link->StoredData;
    QCOMPARE(st.SensorType, d.SensorType);
    QCOMPARE(st.SensorNum, d.SensorNum);
    QCOMPARE(st.SensorDate, d.SensorDate);
    QCOMPARE(st.SlaveID, 0);
    QCOMPARE(st.PLTypeCode, 0);
    QCOMPARE(rig.host.log, (QStringList{QStringLiteral("op:") + Reading, QStringLiteral("pump"),
                                        QStringLiteral("linkState"), QStringLiteral("showInfo"),
                                        QStringLiteral("op:"), QStringLiteral("linkState")}));
    QVERIFY(rig.link->IsPortOpen());
}

void TestTsExchanges::identificationSilentDuringSearch() {
    Rig rig;
    rig.link->ReportConnectFailures = false;
    const TExchangeResult r = rig.link->ReadInformation(17);
    QCOMPARE(int(r.outcome), int(eoNoReply));
    QVERIFY(rig.host.dialog.shown.isEmpty());
    QVERIFY(!rig.link->IsPortOpen());
    QVERIFY(rig.link->ReportConnectFailures);
    QCOMPARE(rig.port->Now(), 4000); // two attempts of 1000 ms wait and 1000 ms quiet
    QCOMPARE(rig.host.log.last(), QStringLiteral("linkState"));

    // The search's shorter quiet time.
    Rig search;
    search.link->ReportConnectFailures = false;
    search.link->Driver().SetInputTimeout(500);
    search.link->ReadInformation(18);
    QCOMPARE(search.port->Now(), 3000);
}

void TestTsExchanges::identificationWithImpossibleDate() {
    Rig rig;
    rig.link->DeviceData.SensorDate = QDate(2000, 1, 1);
    rig.port->Reply(IdentReply(3, 77, "T", "S", 1, 31, 2, 2020));
    QVERIFY(rig.link->ReadInformation(3).answered());
    QVERIFY(rig.link->DeviceData.SensorDate.isNull());
    QVERIFY(rig.link->StoredData.SensorDate.isNull());
    // The message comes while decoding, before the page shows the record.
    QCOMPARE(rig.host.log.mid(2, 3), (QStringList{QStringLiteral("linkState"),
                                                  msg(mtError, QStringLiteral("Неверная дата")),
                                                  QStringLiteral("showInfo")}));
    QCOMPARE(rig.host.dialog.shown.first().buttons, int(mbOK));
}

void TestTsExchanges::identificationFirstFrameNotWrittenIsSilent() {
    Rig rig;
    rig.link->DeviceData.PLTypeCode = 55;
    rig.port->AcceptNextWrite(0);
    rig.port->Reply(IdentReply(3, 77, "T", "S", 1, 1, 1, 2020));
    QCOMPARE(int(rig.link->ReadInformation(3).outcome), int(eoNoLink));
    QVERIFY(rig.host.dialog.shown.isEmpty());
    QCOMPARE(rig.link->DeviceData.PLTypeCode, 55);
    QVERIFY(!rig.host.log.contains(QStringLiteral("showInfo")));
    QVERIFY(!rig.link->IsPortOpen());
}

void TestTsExchanges::configurationReadFillsTheRecord() {
    Rig rig;
    rig.link->StoredData.SensorType = QStringLiteral("kept");
    rig.port->Reply(ConfReply(3, 3, 2, -50, 150, 1, 2, 10, 3));
    QVERIFY(rig.link->ReadConfiguration().answered());
    const TTarvo& d = rig.link->DeviceData;
    QCOMPARE(d.SensorKind, 3);
    QCOMPARE(d.SensorR0, 50);
    QCOMPARE(d.BottomTempBound, -50);
    QCOMPARE(d.TopTempBound, 150);
    QVERIFY(!d.DirectLeadOut);
    QCOMPARE(d.AlarmCur, 2);
    QCOMPARE(d.Average, 2);
    TTarvo conf;
    CopyConfFields(conf, d);
    TTarvo stored;
    CopyConfFields(stored, rig.link->StoredData);
    QVERIFY(stored == conf);
    QCOMPARE(rig.link->StoredData.SensorType, QStringLiteral("kept"));
    QVERIFY(rig.host.log.contains(QStringLiteral("showConf")));
}

void TestTsExchanges::configurationWriteTakesTheNewAddress() {
    Rig rig;
    PrepareData(*rig.link);
    rig.link->DeviceData.SlaveID = 1;
    rig.link->StoredData.SlaveID = 1;
    rig.port->Silent();
    rig.host.repeatNum = 1;
    // The frame goes to the old address with the new one in register 0x001F; without a reply the new
    // address holds (the transducer may have taken it).
    QCOMPARE(int(rig.link->WriteConfiguration(5).outcome), int(eoNoReply));
    QCOMPARE(rig.port->Written().first().toHex(' '),
             HexWithCrc("01 10 0018 0008 10 0001 0001 0000 0064 0001 0001 0000 0005").toHex(' '));
    QCOMPARE(rig.link->DeviceData.SlaveID, 5);
    QCOMPARE(rig.link->StoredData.SlaveID, 1);

    // A successful write changes neither the page nor the stored copy, except the stored address: the
    // transducer answers at the new one, and undoing the page's edits must not go back to the old.
    Rig ok;
    PrepareData(*ok.link);
    ok.port->Reply(WriteReply(3, 0x10, 0x18, 8));
    TTarvo expected = ok.link->StoredData;
    expected.SlaveID = 7;
    QVERIFY(ok.link->WriteConfiguration(7).answered());
    QVERIFY(ok.link->StoredData == expected);
    QCOMPARE(ok.link->DeviceData.SlaveID, 7);
    QVERIFY(!ok.host.log.contains(QStringLiteral("showConf")));
    QCOMPARE(quint8(ok.port->Written().first()[0]), quint8(3));

    // A transducer that refuses the block keeps its address, and so does the program.
    for (const QByteArray& refusal : {ShortReply(3, 0x90, 3), WriteReply(3, 0x03, 0x18, 8)}) {
        Rig no;
        PrepareData(*no.link);
        no.link->StoredData.SlaveID = 3;
        no.port->Reply(refusal);
        const TExchangeResult r = no.link->WriteConfiguration(9);
        QVERIFY(r.outcome == eoDeviceError || r.outcome == eoRefused);
        QCOMPARE(no.link->DeviceData.SlaveID, 3);
        QCOMPARE(no.link->StoredData.SlaveID, 3);
        QVERIFY(no.link->IsPortOpen());
    }
}

void TestTsExchanges::checksBeforeSending_data() {
    QTest::addColumn<int>("what");
    QTest::addColumn<bool>("open");
    QTest::addColumn<int>("bottom");
    QTest::addColumn<int>("top");
    QTest::addColumn<bool>("hasDate");
    QTest::addColumn<QString>("message"); // empty: the exchange goes ahead
    QTest::addColumn<int>("outcome");
    const QString notConnected = msg(mtInformation, QStringLiteral("Соединение не установлено"));
    QTest::newRow("configuration read, port closed")
        << int(ekReadConfiguration) << false << 0 << 100 << true << notConnected << int(eoNotConnected);
    QTest::newRow("configuration write, port closed")
        << int(ekWriteConfiguration) << false << 0 << 100 << true << notConnected << int(eoNotConnected);
    QTest::newRow("upper below lower") << int(ekWriteConfiguration) << true << 50 << 49 << true
                                       << msg(mtError, QStringLiteral("Значание верней границы диапазона меньше нижней!"))
                                       << int(eoInvalid);
    QTest::newRow("0 to 24") << int(ekWriteConfiguration) << true << 0 << 24 << true
                             << msg(mtError, QStringLiteral("Длина диапазона не может быть меньше 25 °C!"))
                             << int(eoInvalid);
    QTest::newRow("0 to 25 goes") << int(ekWriteConfiguration) << true << 0 << 25 << true << QString()
                                  << int(eoAnswered);
    QTest::newRow("-200 to 600 goes") << int(ekWriteConfiguration) << true << -200 << 600 << true << QString()
                                      << int(eoAnswered);
    QTest::newRow("information without a date") << int(ekWriteInformation) << true << 0 << 100 << false
                                                 << msg(mtError, QStringLiteral("Вы забыли указать дату."))
                                                 << int(eoInvalid);
    QTest::newRow("information with a date") << int(ekWriteInformation) << true << 0 << 100 << true << QString()
                                             << int(eoAnswered);
}

void TestTsExchanges::checksBeforeSending() {
    QFETCH(int, what);
    QFETCH(bool, open);
    QFETCH(int, bottom);
    QFETCH(int, top);
    QFETCH(bool, hasDate);
    QFETCH(QString, message);
    QFETCH(int, outcome);
    Rig rig;
    PrepareData(*rig.link);
    rig.link->DeviceData.BottomTempBound = bottom;
    rig.link->DeviceData.TopTempBound = top;
    if (!hasDate)
        rig.link->DeviceData.SensorDate = QDate();
    if (!open)
        rig.link->Driver().ClosePort();
    rig.port->events.clear();
    rig.port->Reply(what == ekReadConfiguration ? ConfReply(3, 1, 1, 0, 100, 0, 1, 0, 3) : WriteReply(3, 0x10, 0, 0));
    const TExchangeResult r = Run(*rig.link, TExchangeKind(what));
    QCOMPARE(int(r.outcome), outcome);
    if (message.isEmpty()) {
        QCOMPARE(rig.port->Written().size(), 1);
        QVERIFY(rig.host.dialog.shown.isEmpty());
        return;
    }
    QCOMPARE(rig.host.Lines(QStringLiteral("msg:")), QStringList{message});
    QVERIFY(rig.port->events.isEmpty());
    QCOMPARE(rig.host.pumps, 0);
    QVERIFY(rig.host.Lines(QStringLiteral("op:")).isEmpty());
    QCOMPARE(rig.link->IsPortOpen(), open);
}

void TestTsExchanges::calibrationReadTimeoutGoesBackTo1000() {
    Rig rig;
    rig.link->Driver().SetInputTimeout(500);
    rig.port->Reply(ShortReply(3, 0x4D, 0), 50);
    QVERIFY(rig.link->RunExchange(ExchangeRow(ekCalibrationStep), CalibrationStepRequest(3, 1, 0, QDate())).answered());
    QCOMPARE(rig.port->Now(), 2050);
    QCOMPARE(rig.link->Driver().InputTimeout(), 1000);
}

void TestTsExchanges::droppedShortRepliesAreBounded() {
    // A line that keeps sending 5-byte frames without the exception bit, each after a second of quiet:
    // the exchange still ends, after RepeatNum attempts.
    Rig rig;
    const QByteArray junk = ShortReply(3, 0x03, 0);
    QList<TScriptedPort::TPiece> pieces;
    for (int i = 0; i < 40; ++i)
        pieces.append({50 + i * 2000, junk});
    rig.port->ReplyInPieces(pieces);
    rig.port->ReplyInPieces(pieces);
    const TExchangeResult r = rig.link->ReadConfiguration();
    QCOMPARE(int(r.outcome), int(eoNoReply));
    QCOMPARE(rig.port->Written().size(), 2);
    QVERIFY(!rig.link->IsPortOpen());
    QVERIFY(rig.port->Now() < 20000);

    // One dropped reply costs no attempt.
    Rig once;
    once.host.repeatNum = 1;
    once.port->ReplyInPieces({{50, junk}, {2500, ConfReply(3, 1, 1, 0, 100, 0, 1, 0, 3)}});
    QVERIFY(once.link->ReadConfiguration().answered());
    QCOMPARE(once.port->Written().size(), 1);
}

namespace {
struct TapRecorder : traffic::TTrafficObserver {
    QList<traffic::TTrafficExchange> exchanges;
    void ExchangeDone(const traffic::TTrafficExchange& e) override { exchanges << e; }
};
} // namespace

void TestTsExchanges::tapGetsEachSendWithItsVerdict() {
    using traffic::TOutcome;
    Rig rig;
    TapRecorder tap;
    rig.link->TrafficTap().AddObserver(&tap);
    const QByteArray ident = IdentReply(3, 77, "T", "S", 1, 1, 1, 2020);
    const QByteArray junk = ShortReply(3, 0x03, 0);
    const QByteArray conf = ConfReply(3, 1, 1, 0, 100, 0, 1, 0, 3);

    // A silent first attempt, then the reply to the resend.
    rig.port->Silent();
    rig.port->Reply(ident);
    QVERIFY(rig.link->ReadInformation(3).answered());
    // A dropped five-byte frame: the link reads on for the same request without sending again.
    rig.port->ReplyInPieces({{50, junk}, {2500, conf}});
    QVERIFY(rig.link->ReadConfiguration().answered());
    // The transducer's exception, then the poll sent once, its reply read by ReceiveOnce.
    rig.port->Reply(ShortReply(3, 0x91, 2));
    rig.link->ReadInformation(3);
    rig.port->Reply(ident);
    QCOMPARE(int(rig.link->SendOnce(ReadInformationRequest(3))), int(eoAnswered));
    TExchangeBuffer reply{};
    QCOMPARE(rig.link->ReceiveOnce(reply, int(ident.size()), ExchangeBufferSize), int(ident.size()));
    // Nothing follows a closed view.
    rig.link->TrafficTap().RemoveObserver(&tap);
    rig.port->Reply(ident);
    rig.link->ReadInformation(3);

    const QByteArray identRequest = WithCrc(QByteArray::fromHex("0311"));
    const QList<std::pair<TOutcome, int>> verdicts{{TOutcome::NoReply, 1}, {TOutcome::Ok, 2},
                                                   {TOutcome::Ignored, 1}, {TOutcome::Ok, 1},
                                                   {TOutcome::Exception, 1}, {TOutcome::Ok, 1}};
    QCOMPARE(tap.exchanges.size(), verdicts.size());
    for (qsizetype i = 0; i < verdicts.size(); ++i) {
        const traffic::TTrafficExchange& e = tap.exchanges[i];
        QCOMPARE(int(e.outcome), int(verdicts[i].first));
        QCOMPARE(int(e.attempt), verdicts[i].second);
        QCOMPARE(int(e.generation), int(traffic::TGeneration::Older));
        QCOMPARE(e.port, QStringLiteral("COM3"));
        QCOMPARE(e.bitRate, 1200);
        QCOMPARE(int(e.slaveAddr), 3);
    }
    QCOMPARE(tap.exchanges[0].request, identRequest);
    QVERIFY(tap.exchanges[0].reply.isEmpty());
    QCOMPARE(tap.exchanges[1].request, identRequest);
    QCOMPARE(tap.exchanges[1].reply, ident);
    QCOMPARE(tap.exchanges[2].reply, junk);
    QVERIFY(tap.exchanges[3].request.isEmpty()); // the second read of the same request
    QCOMPARE(tap.exchanges[3].sentUs, tap.exchanges[2].sentUs);
    QCOMPARE(tap.exchanges[3].reply, conf);
    QCOMPARE(int(tap.exchanges[4].code), 2);
    QCOMPARE(tap.exchanges[5].reply, ident);
    // Every byte written is in exactly one record.
    QByteArray published, written;
    for (const traffic::TTrafficExchange& e : tap.exchanges)
        published += e.request;
    for (const QByteArray& f : rig.port->Written().mid(0, rig.port->Written().size() - 1))
        written += f;
    QCOMPARE(published, written);
}

void TestTsExchanges::hungUpPortEndsTheExchange() {
    Rig rig;
    rig.port->FailAt(300);
    const TExchangeResult r = rig.link->ReadConfiguration();
    QCOMPARE(int(r.outcome), int(eoNoLink));
    QCOMPARE(rig.host.Lines(QStringLiteral("msg:")), QStringList{msg(mtError, QStringLiteral("Нет связи с прибором"))});
    QVERIFY(!rig.link->IsPortOpen());
    QCOMPARE(rig.port->Now(), 300); // nothing waits on a dead line
}

void TestTsExchanges::showDeviceError_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text"); // empty: nothing shown
    QTest::newRow("1") << 1 << QStringLiteral("Неизвестная команда.");
    QTest::newRow("3") << 3 << QStringLiteral("Некорректный запрос.");
    QTest::newRow("12") << 12 << QStringLiteral("Измеренная температура отклонилась от 0 °С более чем на 20 °С.");
    QTest::newRow("13") << 13
                        << QStringLiteral("Корректировка R0 уже проводилась. Необходимо сбросить значение корректирокки R0.");
    QTest::newRow("16") << 16 << QStringLiteral("Заданная температура отличается от измеряемой более чем на 5%.");
    QTest::newRow("4") << 4 << QString();
    QTest::newRow("5") << 5 << QString();
    QTest::newRow("9") << 9 << QString();
    QTest::newRow("17") << 17 << QString();
    QTest::newRow("0") << 0 << QString();
}

void TestTsExchanges::showDeviceError() {
    QFETCH(int, code);
    QFETCH(QString, text);
    Rig rig;
    rig.link->ShowDeviceError(std::uint8_t(code));
    if (text.isEmpty()) {
        QVERIFY(rig.host.dialog.shown.isEmpty());
        return;
    }
    QCOMPARE(rig.host.dialog.shown.size(), 1);
    QCOMPARE(rig.host.dialog.shown[0].text, text);
    QCOMPARE(rig.host.dialog.shown[0].kind, int(mtError));
    QCOMPARE(rig.host.dialog.shown[0].buttons, int(mbOK));
}

void TestTsExchanges::breakConnectionOrder() {
    Rig rig;
    rig.host.diagnosticsRunning = true;
    rig.host.calibrStep = 4;
    bool openWhileCancelling = false;
    rig.host.onCancelCalibration = [&] {
        openWhileCancelling = rig.link->IsPortOpen();
        // The cancel command still reaches the transducer.
        rig.host.calibrStep = 0;
        rig.port->Reply(ShortReply(3, 0x4D, 0));
        rig.link->RunExchange(ExchangeRow(ekCalibrationStep), CalibrationStepRequest(3, 0, 0, QDate()));
    };
    rig.link->BreakConnection();
    QVERIFY(openWhileCancelling);
    QCOMPARE(rig.port->Written(), QList<QByteArray>{HexWithCrc("03 4D 00 00000000")});
    QVERIFY(!rig.link->IsPortOpen());
    QStringList calls;
    for (const QString& l : rig.host.log)
        if (!l.startsWith(QLatin1String("op:")) && l != QLatin1String("pump"))
            calls << l;
    QCOMPARE(calls, (QStringList{QStringLiteral("stopDiag"), QStringLiteral("cancelCalibr"), QStringLiteral("linkState"),
                                 QStringLiteral("clear"), QStringLiteral("infoMod:0"), QStringLiteral("confMod:0"),
                                 Connect}));

    // Nothing to stop, nothing to cancel.
    Rig idle;
    idle.link->BreakConnection();
    QCOMPARE(idle.host.log, (QStringList{QStringLiteral("linkState"), QStringLiteral("clear"), QStringLiteral("infoMod:0"),
                                         QStringLiteral("confMod:0"), Connect}));
}

void TestTsExchanges::failedExchangeCancelsCalibrationFirst() {
    // A failed configuration read during a calibration: the calibration's cancel command goes out
    // (and fails on the silent line too) before the port closes.
    Rig rig;
    rig.host.repeatNum = 1;
    rig.host.calibrStep = 3;
    rig.host.onCancelCalibration = [&] {
        rig.host.calibrStep = 0;
        rig.link->ProcessMessages();
        rig.link->RunExchange(ExchangeRow(ekCalibrationStep), CalibrationStepRequest(3, 0, 0, QDate()));
    };
    QCOMPARE(int(rig.link->ReadConfiguration().outcome), int(eoNoReply));
    QCOMPARE(rig.port->Written(), (QList<QByteArray>{HexWithCrc("03 03 0018 0008"), HexWithCrc("03 4D 00 00000000")}));
    QCOMPARE(rig.host.Lines(QStringLiteral("msg:")),
             (QStringList{msg(mtError, QStringLiteral("Не получен ответ от прибора")),
                          msg(mtError, QStringLiteral("Не получен ответ от прибора."))}));
    QVERIFY(!rig.link->IsPortOpen());
}

void TestTsExchanges::beforeBreakHookRunsBeforeBreakConnection() {
    Rig rig;
    rig.host.repeatNum = 1;
    rig.host.calibrStep = 5;
    TExchangeHooks hooks;
    hooks.beforeBreak = [&] {
        rig.host.log << QStringLiteral("beforeBreak");
        rig.host.calibrStep = 0;
    };
    const auto r = rig.link->RunExchange(ExchangeRow(ekCalibrationStep), CalibrationStepRequest(3, 5, 4000, QDate()), hooks);
    QCOMPARE(int(r.outcome), int(eoNoReply));
    const int hook = int(rig.host.log.indexOf(QStringLiteral("beforeBreak")));
    QVERIFY(hook > rig.host.log.indexOf(msg(mtError, QStringLiteral("Не получен ответ от прибора."))));
    QVERIFY(hook < rig.host.log.indexOf(QStringLiteral("linkState")));
    QVERIFY(!rig.host.log.contains(QStringLiteral("cancelCalibr")));
    QCOMPARE(rig.port->Written().size(), 1);
}

void TestTsExchanges::secondPressInsideAnExchangeIsIgnored() {
    Rig rig;
    QList<TExchangeResult> inner;
    rig.host.onPump = [&] {
        // A second press of the same button, another page's command, the disconnect action.
        inner << rig.link->ReadConfiguration();
        inner << rig.link->WriteInformation();
        inner << rig.link->RunExchange(ExchangeRow(ekR0Correction), R0CorrectionRequest(3, true));
        rig.link->BreakConnection();
    };
    rig.port->Silent();
    rig.port->Reply(ConfReply(3, 1, 1, 0, 100, 0, 1, 0, 3));
    QVERIFY(rig.link->ReadConfiguration().answered());
    QCOMPARE(rig.host.pumps, 2); // the status text and the repeated send
    QCOMPARE(inner.size(), 6);
    for (const TExchangeResult& r : inner)
        QCOMPARE(int(r.outcome), int(eoBusy));
    QCOMPARE(rig.port->Written(), (QList<QByteArray>{HexWithCrc("03 03 0018 0008"), HexWithCrc("03 03 0018 0008")}));
    QVERIFY(rig.link->IsPortOpen());
    QVERIFY(rig.host.dialog.shown.isEmpty());

    // Once the exchange is over, a press works again.
    rig.host.onPump = nullptr;
    rig.port->Reply(ConfReply(3, 1, 1, 0, 100, 0, 1, 0, 3));
    QVERIFY(rig.link->CanStartExchange());
    QVERIFY(rig.link->ReadConfiguration().answered());
}

void TestTsExchanges::pollEventHeldBackDuringAnExchange() {
    // A diagnostics tick and the polled receive event at the exchange's pump: the tick is skipped, the
    // bytes waiting are not taken away from the exchange.
    Rig rig;
    bool tickRan = false;
    rig.host.onPump = [&] {
        if (rig.link->CanStartExchange())
            tickRan = true;
        QCOMPARE(int(rig.link->SendOnce(MeasurementRequest(3))), int(eoBusy));
        rig.port->ArriveAt(rig.port->Now(), MeasReply(3, 1, 1, 0, 1, 1, 2020));
        rig.link->Driver().PollReceive();
    };
    rig.port->Reply(ConfReply(3, 1, 1, 0, 100, 0, 1, 0, 3), 10);
    QVERIFY(rig.link->ReadConfiguration().answered());
    QVERIFY(!tickRan);
    QVERIFY(rig.host.pollReplies.isEmpty());
    QCOMPARE(rig.port->Written().size(), 1);

    // Outside an exchange the same event delivers.
    rig.host.onPump = nullptr;
    rig.port->ArriveAt(rig.port->Now(), MeasReply(3, 1, 1, 0, 1, 1, 2020));
    rig.link->Driver().PollReceive();
    QCOMPARE(rig.host.pollReplies.size(), 1);
}

void TestTsExchanges::flagsStillWorkInsideAnExchange() {
    Rig rig;
    bool stopRequested = false;
    rig.host.onPump = [&] { stopRequested = true; }; // the search's "Стоп!"
    rig.link->ReportConnectFailures = false;
    rig.link->ReadInformation(4);
    QVERIFY(stopRequested);
}

void TestTsExchanges::pressDuringAMessageIsIgnored() {
    Rig rig;
    rig.host.repeatNum = 1;
    QList<int> outcomes;
    rig.host.dialog.whileShown = [&] { outcomes << rig.link->ReadConfiguration().outcome; };
    QCOMPARE(int(rig.link->ReadConfiguration().outcome), int(eoNoReply));
    QCOMPARE(outcomes, QList<int>{eoBusy});
    QCOMPARE(rig.port->Written().size(), 1);
}

void TestTsExchanges::operationGuardsASequence() {
    // A connection made of several exchanges: its own exchanges run, a press at its pumps does not.
    Rig rig;
    rig.port->Reply(IdentReply(3, 77, "T", "S", 1, 1, 1, 2020));
    rig.port->Reply(ConfReply(3, 1, 1, 0, 100, 0, 1, 0, 3));
    QList<int> pressed;
    rig.host.onPump = [&] { pressed << rig.link->WriteInformation().outcome; };
    {
        TTsLink::TOperation connecting(*rig.link);
        QVERIFY(rig.link->ReadInformation(3).answered());
        rig.link->ProcessMessages();
        QVERIFY(rig.link->ReadConfiguration().answered());
    }
    QCOMPARE(pressed, (QList<int>{eoBusy, eoBusy, eoBusy}));
    QCOMPARE(rig.port->Written().size(), 2);
}

namespace {
struct Recorder : TTrafficObserver {
    QList<TTrafficRecord> records;
    void Traffic(const TTrafficRecord& r) override { records << r; }
};
} // namespace

void TestTsExchanges::trafficObserverSeesFramesAndReplies() {
    Rig rig;
    Recorder rec;
    rig.link->Driver().SetTrafficObserver(&rec);
    rig.port->Reply(WriteReply(3, 0x10, 8, 16), 70);
    rig.port->AcceptNextWrite(-1);
    PrepareData(*rig.link);
    QVERIFY(rig.link->WriteInformation().answered());
    QCOMPARE(rec.records.size(), 2);
    QCOMPARE(rec.records[0].direction, TTrafficRecord::tdSent);
    QCOMPARE(rec.records[0].bytes.size(), 41);
    QCOMPARE(rec.records[0].clockMs, 0);
    QCOMPARE(rec.records[1].direction, TTrafficRecord::tdReceived);
    QCOMPARE(rec.records[1].bytes, WriteReply(3, 0x10, 8, 16));
    QCOMPARE(rec.records[1].clockMs, 1070);
    QVERIFY(rec.records[1].time.isValid());
    rig.link->Driver().SetTrafficObserver(nullptr);
}

QTEST_GUILESS_MAIN(TestTsExchanges)
#include "tst_ts_exchanges.moc"
