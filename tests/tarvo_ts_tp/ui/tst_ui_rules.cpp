// The window's rules without a window: the enabling table, the routing of replies, the search plan and
// its stepping, the about box's version lines.
#include "ProgramState.h"
#include "SearchPlan.h"
#include "TfrmAbout.h"

#include <QTest>

Q_DECLARE_METATYPE(TPrgState)
Q_DECLARE_METATYPE(TConnectLook)
Q_DECLARE_METATYPE(TSuccessRoute)
Q_DECLARE_METATYPE(TSearchStart::Mode)

class TstUiRules : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void stateNames();
    void enabling_data();
    void enabling();
    void connectedRow_data();
    void connectedRow();
    void routing_data();
    void routing();
    void plan_data();
    void plan();
    void stepping();
    void skipPort();
    void versionLines();
};

void TstUiRules::stateNames() {
    const char* names[] = {"PSNoDevice", "PSSearchDevs", "PSInit", "PSPausePolling",
                           "PSPolling",  "PSCalibr",     "PSHalt"};
    for (int s = 0; s <= PSHalt; ++s)
        QCOMPARE(PrgStateName(TPrgState(s)), QLatin1String(names[s]));
}

void TstUiRules::enabling_data() {
    QTest::addColumn<TPrgState>("state");
    QTest::addColumn<bool>("validRow");
    // find, connect, follows row, measure, calibr, config, corrections, pages
    QTest::addColumn<QString>("flags");
    QTest::addColumn<TConnectLook>("look");
    using L = TConnectLook;
    QTest::newRow("no device, row") << PSNoDevice << true << "11000000" << L::Connect;
    QTest::newRow("no device, no row") << PSNoDevice << false << "10000000" << L::Connect;
    QTest::newRow("search, row") << PSSearchDevs << true << "11100000" << L::Unchanged;
    QTest::newRow("search, no row") << PSSearchDevs << false << "10000000" << L::Unchanged;
    QTest::newRow("init") << PSInit << true << "00000000" << L::Unchanged;
    QTest::newRow("pause, row") << PSPausePolling << true << "11111101" << L::Unchanged;
    QTest::newRow("pause, no row") << PSPausePolling << false << "11011101" << L::Unchanged;
    QTest::newRow("polling") << PSPolling << true << "00010011" << L::Disconnect;
    QTest::newRow("calibr") << PSCalibr << true << "00001001" << L::Disconnect;
    QTest::newRow("halt") << PSHalt << true << "00000000" << L::Unchanged;
}

void TstUiRules::enabling() {
    QFETCH(TPrgState, state);
    QFETCH(bool, validRow);
    QFETCH(QString, flags);
    QFETCH(TConnectLook, look);
    const TControlEnabling e = EnablingFor(state, validRow);
    const bool got[] = {e.find,   e.connect, e.connectFollowsRow, e.measure,
                        e.calibr, e.config,  e.corrections,       e.devicePages};
    QString text;
    for (bool b : got)
        text += b ? QLatin1Char('1') : QLatin1Char('0');
    QCOMPARE(text, flags);
    QCOMPARE(e.connectLook, look);
    QVERIFY(!e.sensorData); // only the row decides, never the state alone
}

void TstUiRules::connectedRow_data() {
    QTest::addColumn<bool>("link");
    QTest::addColumn<bool>("hasCurrent");
    QTest::addColumn<QString>("rowPort");
    QTest::addColumn<int>("rowAddr");
    QTest::addColumn<int>("rowType");
    QTest::addColumn<TPrgState>("state");
    QTest::addColumn<bool>("expected");
    QTest::newRow("same, pause") << true << true << "COM3" << 5 << 118 << PSPausePolling << true;
    QTest::newRow("same, polling") << true << true << "COM3" << 5 << 118 << PSPolling << true;
    QTest::newRow("same, calibr") << true << true << "COM3" << 5 << 118 << PSCalibr << true;
    QTest::newRow("same, search") << true << true << "COM3" << 5 << 118 << PSSearchDevs << false;
    QTest::newRow("link closed") << false << true << "COM3" << 5 << 118 << PSPausePolling << false;
    QTest::newRow("no current") << true << false << "COM3" << 5 << 118 << PSPausePolling << false;
    QTest::newRow("other port") << true << true << "COM4" << 5 << 118 << PSPausePolling << false;
    QTest::newRow("other address") << true << true << "COM3" << 6 << 118 << PSPausePolling << false;
    QTest::newRow("other type") << true << true << "COM3" << 5 << 117 << PSPausePolling << false;
}

void TstUiRules::connectedRow() {
    QFETCH(bool, link);
    QFETCH(bool, hasCurrent);
    QFETCH(QString, rowPort);
    QFETCH(int, rowAddr);
    QFETCH(int, rowType);
    QFETCH(TPrgState, state);
    QFETCH(bool, expected);
    const TDeviceKey current{QStringLiteral("COM3"), 5, 118};
    QCOMPARE(RowIsConnectedDevice(link, hasCurrent ? &current : nullptr,
                                  TDeviceKey{rowPort, rowAddr, rowType}, state),
             expected);
}

void TstUiRules::routing_data() {
    QTest::addColumn<TPrgState>("state");
    QTest::addColumn<int>("fn");
    QTest::addColumn<int>("start");
    QTest::addColumn<TSuccessRoute>("route");
    using R = TSuccessRoute;
    QTest::newRow("search id") << PSSearchDevs << 17 << 0 << R::SearchHit;
    QTest::newRow("search config") << PSSearchDevs << 3 << 49 << R::Ignore;
    QTest::newRow("init id") << PSInit << 17 << 0 << R::InitIdentification;
    QTest::newRow("init config") << PSInit << 3 << 49 << R::InitConfiguration;
    QTest::newRow("init sensor data") << PSInit << 3 << 17 << R::Ignore;
    QTest::newRow("pause config written") << PSPausePolling << 16 << 49 << R::ConfigWritten;
    QTest::newRow("polling config read") << PSPolling << 3 << 49 << R::ConfigRead;
    QTest::newRow("pause sensor data") << PSPausePolling << 3 << 17 << R::SensorDataRead;
    QTest::newRow("pause sensor data written") << PSPausePolling << 16 << 17 << R::Ignore;
    QTest::newRow("pause diag") << PSPausePolling << 3 << 33 << R::Ignore;
    QTest::newRow("polling diag") << PSPolling << 3 << 33 << R::DiagValues;
    QTest::newRow("polling zero") << PSPolling << 101 << 0 << R::ZeroCorrection;
    QTest::newRow("pause zero") << PSPausePolling << 101 << 0 << R::Ignore;
    QTest::newRow("polling nsx") << PSPolling << 102 << 0 << R::NsxCorrection;
    QTest::newRow("calibr step") << PSCalibr << 100 << 0 << R::CalibrationStep;
    QTest::newRow("calibr config") << PSCalibr << 3 << 49 << R::Ignore;
    QTest::newRow("no device id") << PSNoDevice << 17 << 0 << R::Ignore;
    QTest::newRow("halt") << PSHalt << 17 << 0 << R::Ignore;
}

void TstUiRules::routing() {
    QFETCH(TPrgState, state);
    QFETCH(int, fn);
    QFETCH(int, start);
    QFETCH(TSuccessRoute, route);
    QCOMPARE(RouteSuccess(state, fn, start), route);
}

void TstUiRules::plan_data() {
    // all addresses, all ports, all rates, only 9600, port count, selected port, selected rate, slave id
    QTest::addColumn<QString>("options");
    QTest::addColumn<int>("portCount");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("baud");
    QTest::addColumn<TSearchStart::Mode>("mode");
    QTest::addColumn<QString>("refusal");
    // port first..last, baud first..last, address first..last, skip other rates
    QTest::addColumn<QString>("ranges");
    using M = TSearchStart;
    const QString noPort = QStringLiteral("Не выбран СОМ-порт!");
    const QString noRate = QStringLiteral("Не выбрана скорость обмена по СОМ-порту!");
    QTest::newRow("direct") << "0000" << 3 << 1 << 4 << M::Direct << ""
                            << "1-1 4-4 9-9 1";
    QTest::newRow("direct 9600 only") << "0001" << 3 << 2 << -1 << M::Direct << ""
                                      << "2-2 3-3 9-9 1";
    QTest::newRow("direct, all rates ignored under 9600 only") << "0011" << 3 << 0 << -1 << M::Direct << ""
                                                               << "0-0 3-3 9-9 1";
    QTest::newRow("direct, no port") << "0000" << 3 << -1 << 4 << M::Refused << noPort << "";
    QTest::newRow("direct, no rate") << "0000" << 3 << 0 << -1 << M::Refused << noRate << "";
    QTest::newRow("all addresses") << "1000" << 3 << 2 << 5 << M::Search << ""
                                   << "2-2 5-5 1-247 1";
    QTest::newRow("all ports, all rates") << "0110" << 3 << -1 << -1 << M::Search << ""
                                          << "0-2 0-6 9-9 0";
    QTest::newRow("all ports, 9600 only") << "0101" << 2 << -1 << -1 << M::Search << ""
                                          << "0-1 3-3 9-9 1";
    QTest::newRow("all rates") << "0010" << 3 << 1 << -1 << M::Search << ""
                               << "1-1 0-6 9-9 0";
    QTest::newRow("all ports, none listed") << "0100" << 0 << -1 << 3 << M::Refused
                                            << QStringLiteral("Не обнаружено доступных СОМ-портов!") << "";
    QTest::newRow("search, no port") << "1000" << 3 << -1 << 3 << M::Refused << noPort << "";
    QTest::newRow("search, no rate") << "1000" << 3 << 0 << -1 << M::Refused << noRate << "";
}

void TstUiRules::plan() {
    QFETCH(QString, options);
    QFETCH(int, portCount);
    QFETCH(int, port);
    QFETCH(int, baud);
    QFETCH(TSearchStart::Mode, mode);
    QFETCH(QString, refusal);
    QFETCH(QString, ranges);
    TSearchControls c;
    c.allAddresses = options[0] == QLatin1Char('1');
    c.allPorts = options[1] == QLatin1Char('1');
    c.allBaudRates = options[2] == QLatin1Char('1');
    c.only9600 = options[3] == QLatin1Char('1');
    c.portCount = portCount;
    c.selectedPort = port;
    c.baudCount = 7;
    c.selectedBaud = baud;
    c.slaveId = 9;
    const TSearchStart s = PlanSearch(c);
    QCOMPARE(s.mode, mode);
    QCOMPARE(s.refusal, refusal);
    if (mode != TSearchStart::Refused) {
        const QString got = QStringLiteral("%1-%2 %3-%4 %5-%6 %7")
                                .arg(s.portFirst)
                                .arg(s.portLast)
                                .arg(s.baudFirst)
                                .arg(s.baudLast)
                                .arg(s.addrFirst)
                                .arg(s.addrLast)
                                .arg(int(s.skipOtherBaudRates));
        QCOMPARE(got, ranges);
    }
}

namespace {
using M = TSearchStart;
QString Visit(const TSearchCursor& c) {
    return QStringLiteral("%1/%2/%3").arg(c.portIndex).arg(c.baudIndex).arg(c.addr);
}
} // namespace

void TstUiRules::stepping() {
    // Two ports, rates 0..2, addresses 1..2; a transducer answers on port 0 at rate 1, address 1.
    TSearchStart s;
    s.mode = M::Search;
    s.portFirst = 0, s.portLast = 1;
    s.baudFirst = 0, s.baudLast = 2;
    s.addrFirst = 1, s.addrLast = 2;
    TSearchCursor c(s);
    QCOMPARE(c.Total(), 12);
    QStringList visits{Visit(c)};
    QList<TSearchCursor::Step> steps;
    for (;;) {
        const TSearchCursor::Step step = c.Advance();
        steps << step;
        if (step == TSearchCursor::Step::Exhausted)
            break;
        visits << Visit(c);
        if (Visit(c) == QLatin1String("0/1/1"))
            c.skipOtherBaudRates = true; // the hit
    }
    QCOMPARE(visits.join(QLatin1Char(' ')),
             QStringLiteral("0/0/1 0/0/2 0/1/1 0/1/2 1/0/1 1/0/2 1/1/1 1/1/2 1/2/1 1/2/2"));
    using S = TSearchCursor::Step;
    const QList<S> expected{S::NextAddress,  S::NextBaudRate, S::NextAddress,  S::NextPort,    S::NextAddress,
                            S::NextBaudRate, S::NextAddress,  S::NextBaudRate, S::NextAddress, S::Exhausted};
    QCOMPARE(steps, expected);
}

void TstUiRules::skipPort() {
    TSearchStart s;
    s.mode = M::Search;
    s.portFirst = 0, s.portLast = 2;
    s.baudFirst = 0, s.baudLast = 6;
    s.addrFirst = 1, s.addrLast = 247;
    TSearchCursor c(s);
    c.SkipPort();
    QCOMPARE(c.Advance(), TSearchCursor::Step::NextPort);
    QCOMPARE(Visit(c), QStringLiteral("1/0/1"));
    QVERIFY(!c.skipOtherBaudRates);
    c.portIndex = 2;
    c.SkipPort();
    QCOMPARE(c.Advance(), TSearchCursor::Step::Exhausted);
}

void TstUiRules::versionLines() {
    TVersionLines v = MakeVersionLines(true, 1, 0, 0, 0);
    QCOMPARE(v.version, QStringLiteral("Версия 01"));
    QCOMPARE(v.build, QStringLiteral("Сборка 1.0.0.0"));
    v = MakeVersionLines(true, 12, 3, 4, 567);
    QCOMPARE(v.version, QStringLiteral("Версия 12"));
    QCOMPARE(v.build, QStringLiteral("Сборка 12.3.4.567"));
    v = MakeVersionLines(false, 1, 0, 0, 0);
    QCOMPARE(v.version, QStringLiteral("Версия "));
    QCOMPARE(v.build, QStringLiteral("Сборка "));
}

QTEST_APPLESS_MAIN(TstUiRules)
#include "tst_ui_rules.moc"
