// The connection policy of Tarvo_TS against the scripted port in virtual time: connecting to the address
// in use, the search with its texts, Stop and its quiet time, the offer to connect, the start-up
// connection, the connect dialog's address and the port rules of the two port dialogs. No window: the
// progress window, the COM-port dialog and the general error box are recorded in the host's log.
#include "Connection.h"
#include "ScriptedHost.h"
#include "ScriptedPort.h"
#include "TsReplies.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Searching = QStringLiteral("Поиск прибора до первого найденного");
const QString BreakQuestion = QStringLiteral("Разорвать установленное соединение?");

QByteArray Ident(int address, int type = 77) {
    return IdentReply(address, type, QByteArray("TARVO-TS-4-20"), QByteArray("Pt100"), 1234, 5, 6, 2021);
}
QByteArray Conf(int address) {
    return ConfReply(address, 1, 100, 0, 100, 1, 1, 0, address);
}

// The window as the policy sees it: every call lands in the host's log.
class TRecordingUi final : public TConnectionUi, public TProgressView {
public:
    explicit TRecordingUi(TRecordingHost& host) : FHost(host) {}

    bool portChosen = true; // what the COM-port dialog answers
    std::function<void()> onChoosePort;
    bool stop = false;
    QString text;
    int height = 170;
    bool shown = false;

    TProgressView& Progress() override { return *this; }
    bool ChoosePort() override {
        FHost.log << QStringLiteral("choosePort");
        if (onChoosePort)
            onChoosePort();
        return portChosen;
    }
    void AfterConnect() override { FHost.log << QStringLiteral("afterConnect"); }
    void ShowGeneralError(const QString& t) override { FHost.log << QStringLiteral("error:") + t; }

    void SetText(const QString& t) override {
        text = t;
        FHost.log << QStringLiteral("text:") + t;
    }
    void SetWindowHeight(int h) override {
        height = h;
        FHost.log << QStringLiteral("height:%1").arg(h);
    }
    void ShowSearchControls(int first, int last) override {
        FHost.log << QStringLiteral("bar:%1-%2").arg(first).arg(last);
    }
    void HideSearchControls() override { FHost.log << QStringLiteral("hideBar"); }
    void StepBar() override {}
    void Show() override {
        shown = true;
        FHost.log << QStringLiteral("show");
    }
    void Close() override {
        shown = false;
        FHost.log << QStringLiteral("close");
    }
    bool StopRequested() const override { return stop; }
    void SetStopRequested(bool r) override { stop = r; }

private:
    TRecordingHost& FHost;
};

struct Rig {
    TRecordingHost host;
    TScriptedPort* port = nullptr;
    std::unique_ptr<TTsLink> link;
    TProgSettings settings;
    TRecordingUi ui{host};
    std::unique_ptr<TConnection> connection;

    explicit Rig(int repeatNum = 1) {
        auto p = std::make_unique<TScriptedPort>();
        port = p.get();
        link = std::make_unique<TTsLink>(host, std::move(p));
        host.repeatNum = repeatNum;
        settings.RepeatNum = quint8(repeatNum);
        // Picked from the COM-port dialog's list: no dialog before connecting.
        link->Driver().SetPortFromList(QStringLiteral("COM3"), 1);
        connection = std::make_unique<TConnection>(*link, host, ui, settings);
    }
    TTarvo& data() { return link->DeviceData; }
    // The addresses of the identification requests written, in order.
    QList<int> identAddresses() const {
        QList<int> a;
        for (const QByteArray& w : port->Written())
            if (w.size() == 4 && w[1] == 0x11)
                a << int(quint8(w[0]));
        return a;
    }
    QStringList lines(const QString& prefix) const { return host.Lines(prefix); }
    QStringList messages() const { return host.dialog.Texts(); }
};

} // namespace

class TstTsConnection : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void portTexts_data();
    void portTexts();
    void connectToDevice();
    void connectAsksForThePortSetByName();
    void connectWithPortThatCannotOpen_data();
    void connectWithPortThatCannotOpen();
    void connectStopsWhenTheConfigurationIsLost();
    void searchFindsTheFirstThatAnswers();
    void searchStopsOnStop();
    void searchFindsNothing();
    void searchAsksBeforeBreaking();
    void searchPassesDevicesOfAnotherKind();
    void searchWithoutThePort();
    void searchNotStartedFromInsideItself();
    void ensureConnected_data();
    void ensureConnected();
    void startupConnection_data();
    void startupConnection();
    void connectDialogAddress_data();
    void connectDialogAddress();
    void comDialogPorts();
    void settingsDialogPorts();
};

void TstTsConnection::portTexts_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("cyrillic");
    QTest::addColumn<QString>("latin");
    QTest::newRow("COM3") << "COM3" << "СОМ3" << "COM3";
    QTest::newRow("win32 form") << "\\\\.\\COM12" << "СОМ12" << "COM12";
    QTest::newRow("device path") << "/dev/ttyUSB0" << "/dev/ttyUSB0" << "/dev/ttyUSB0";
    QTest::newRow("bare name") << "ttyS0" << "ttyS0" << "ttyS0";
}

void TstTsConnection::portTexts() {
    QFETCH(QString, name);
    QFETCH(QString, cyrillic);
    QFETCH(QString, latin);
    QCOMPARE(CyrillicPortText(name), cyrillic);
    QCOMPARE(LatinPortText(name), latin);
}

void TstTsConnection::connectToDevice() {
    Rig rig(2);
    rig.data().SlaveID = 3;
    rig.data().InfoModified = true;
    rig.port->Reply(Ident(3));
    rig.port->Reply(Conf(3));
    rig.connection->ConnectToDevice();
    QVERIFY(rig.link->IsPortOpen());
    QCOMPARE(rig.port->openedName, QStringLiteral("COM3"));
    QCOMPARE(rig.port->Written().size(), 2);
    QCOMPARE(rig.port->Written()[1].left(6).toHex(), QByteArray("030300180008"));
    QVERIFY(rig.messages().isEmpty());
    // Identified, configuration read, the date read and labels, the connected face, no marks.
    const QStringList order = rig.host.log.filter(
        QRegularExpression(QStringLiteral("^(showInfo|showConf|afterConnect|action:|infoMod|confMod|choosePort)")));
    QCOMPARE(order, (QStringList{"showInfo", "showConf", "afterConnect", "action:Разорвать соединение:4",
                                 "infoMod:0", "confMod:0"}));

    // Connecting again while connected closes the port first (no disconnection of the pages).
    rig.host.log.clear();
    rig.port->Reply(Ident(3));
    rig.port->Reply(Conf(3));
    rig.connection->ConnectToDevice();
    QCOMPARE(rig.port->Count(TScriptedPort::TEvent::Close), 1);
    QVERIFY(!rig.host.log.contains(QStringLiteral("clear")));
    QVERIFY(rig.link->IsPortOpen());
}

void TstTsConnection::connectAsksForThePortSetByName() {
    Rig rig;
    rig.link->Driver().SetPortName(QStringLiteral("COM4"));
    rig.ui.portChosen = false;
    rig.connection->ConnectToDevice();
    // Closed with its close box: nothing opened, nothing sent, nothing said.
    QCOMPARE(rig.lines(QStringLiteral("choosePort")).size(), 1);
    QCOMPARE(rig.port->Count(TScriptedPort::TEvent::Open), 0);
    QVERIFY(rig.messages().isEmpty());

    // Confirmed without a choice from the list: the port of the name in use.
    rig.ui.portChosen = true;
    rig.port->openFails = true;
    rig.link->ReportConnectFailures = true;
    rig.connection->ConnectToDevice();
    QCOMPARE(rig.messages(), QStringList{QStringLiteral("Нет соединения c COM4")});
    QCOMPARE(rig.host.dialog.shown[0].kind, int(mtWarning));

    // A search asks once: not again for the connection that ends it.
    rig.host.log.clear();
    rig.port->openFails = false;
    rig.port->Reply(Ident(1));
    rig.port->Reply(Ident(1));
    rig.port->Reply(Conf(1));
    rig.connection->FindFirstDevice();
    QVERIFY(rig.link->IsPortOpen());
    QCOMPARE(rig.lines(QStringLiteral("choosePort")).size(), 1);
    // Cancelled: no search at all.
    rig.link->BreakConnection();
    rig.host.log.clear();
    rig.ui.portChosen = false;
    rig.connection->FindFirstDevice();
    QCOMPARE(rig.lines(QStringLiteral("choosePort")).size(), 1);
    QVERIFY(rig.lines(QStringLiteral("bar:")).isEmpty());
}

void TstTsConnection::connectWithPortThatCannotOpen_data() {
    QTest::addColumn<int>("fault");
    QTest::addColumn<bool>("report");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing") << int(serialaccess::pfMissing) << true << "Нет соединения c COM3";
    QTest::newRow("busy") << int(serialaccess::pfBusy) << true << "Нет соединения c COM3";
    QTest::newRow("no rights") << int(serialaccess::pfNoRights) << true
                               << "Нет соединения c COM3\nНет прав на доступ к порту.\nУстройство /dev/COM3 (права crw-rw----) принадлежит "
                                  "группе dialout, а пользователь ivan в неё не входит.";
    QTest::newRow("not reported") << int(serialaccess::pfBusy) << false << "";
}

void TstTsConnection::connectWithPortThatCannotOpen() {
    QFETCH(int, fault);
    QFETCH(bool, report);
    QFETCH(QString, message);
    Rig rig;
    rig.port->openFails = true;
    rig.port->openFault = serialaccess::TPortFault(fault);
    rig.link->ReportConnectFailures = report;
    rig.data().InfoModified = true;
    rig.connection->ConnectToDevice();
    QVERIFY(!rig.link->IsPortOpen());
    QVERIFY(rig.port->Written().isEmpty());
    if (message.isEmpty()) {
        QVERIFY(rig.messages().isEmpty());
    } else {
        QCOMPARE(rig.messages().size(), 1);
        QVERIFY2(rig.messages()[0].startsWith(message), qPrintable(rig.messages()[0]));
        if (fault != serialaccess::pfNoRights)
            QCOMPARE(rig.messages()[0], message);
    }
    QCOMPARE(rig.lines(QStringLiteral("infoMod")), QStringList{QStringLiteral("infoMod:0")});
    QCOMPARE(rig.connection->LastOpenFailure().fault, serialaccess::TPortFault(fault));
}

void TstTsConnection::connectStopsWhenTheConfigurationIsLost() {
    Rig rig;
    rig.data().SlaveID = 3;
    rig.port->Reply(Ident(3));
    rig.port->Silent();
    rig.connection->ConnectToDevice();
    // The read's own message, the link closed, and no "connected" face or date read after it.
    QCOMPARE(rig.messages(), QStringList{QStringLiteral("Не получен ответ от прибора")});
    QVERIFY(!rig.link->IsPortOpen());
    QVERIFY(rig.lines(QStringLiteral("afterConnect")).isEmpty());
    QCOMPARE(rig.lines(QStringLiteral("action:")), QStringList{QStringLiteral("action:Установить соединение:3")});
    QCOMPARE(rig.port->Written().size(), 2);
}

void TstTsConnection::searchFindsTheFirstThatAnswers() {
    Rig rig(2);
    rig.settings.DefaultSlaveID = 9;
    // Addresses 1 and 2 silent (two attempts each), 3 answers; then the connection identifies it again
    // and reads its configuration.
    for (int i = 0; i < 4; ++i)
        rig.port->Silent();
    rig.port->Reply(Ident(3));
    rig.port->Reply(Ident(3));
    rig.port->Reply(Conf(3));
    QList<int> timeouts;
    rig.host.onPump = [&] { timeouts << rig.link->Driver().InputTimeout(); };
    rig.connection->FindFirstDevice();

    QVERIFY(rig.link->IsPortOpen());
    QCOMPARE(rig.data().SlaveID, 3);
    QCOMPARE(rig.identAddresses(), (QList<int>{1, 1, 2, 2, 3, 3}));
    QVERIFY(rig.messages().isEmpty());
    QCOMPARE(rig.lines(QStringLiteral("text:")),
             (QStringList{"text:" + Searching,
                          "text:" + Searching + "\n\rСОМ-порт СОМ3 адрес 1.",
                          "text:" + Searching + "\n\rСОМ-порт СОМ3 адрес 2.",
                          "text:" + Searching + "\n\rСОМ-порт СОМ3 адрес 3."}));
    QCOMPARE(rig.lines(QStringLiteral("bar:")), QStringList{QStringLiteral("bar:1-247")});
    QVERIFY(rig.host.log.indexOf(QStringLiteral("afterConnect")) < rig.host.log.lastIndexOf(QStringLiteral("close")));
    QVERIFY(!rig.ui.shown);
    QVERIFY(rig.host.log.contains(QStringLiteral("hideBar")));
    // 500 ms of quiet end a read while searching; the connection afterwards waits the full second.
    QVERIFY(timeouts.contains(500));
    QCOMPARE(rig.link->Driver().InputTimeout(), 1000);
    // Each silent address cost two attempts of 1000 ms wait plus 500 ms quiet.
    QVERIFY2(rig.port->Now() >= 4 * 1500 && rig.port->Now() < 4 * 1500 + 6000, qPrintable(QString::number(rig.port->Now())));
}

void TstTsConnection::searchStopsOnStop() {
    Rig rig;
    rig.settings.DefaultSlaveID = 9;
    // "Стоп!" pressed while address 2 is tried.
    rig.host.onPump = [&] {
        if (rig.identAddresses().size() == 2)
            rig.ui.stop = true;
    };
    rig.connection->FindFirstDevice();
    QCOMPARE(rig.identAddresses(), (QList<int>{1, 2}));
    QCOMPARE(rig.data().SlaveID, 2); // the last address tried
    QVERIFY(!rig.link->IsPortOpen());
    QVERIFY(rig.messages().isEmpty());
    QVERIFY(!rig.ui.shown);
    QVERIFY(rig.host.log.contains(QStringLiteral("hideBar")));
    QCOMPARE(rig.link->Driver().InputTimeout(), 1000);
}

void TstTsConnection::searchFindsNothing() {
    Rig rig;
    rig.settings.DefaultSlaveID = 9;
    rig.port->events.clear();
    rig.connection->FindFirstDevice();
    const QList<int> tried = rig.identAddresses();
    QCOMPARE(tried.size(), 247);
    QCOMPARE(tried.first(), 1);
    QCOMPARE(tried.last(), 247);
    QCOMPARE(rig.data().SlaveID, 9);
    QCOMPARE(rig.messages(), QStringList{QStringLiteral("Ни одного прибора не найдено.")});
    QCOMPARE(rig.host.dialog.shown[0].kind, int(mtWarning));
    QVERIFY(!rig.ui.shown);
    QCOMPARE(rig.link->Driver().InputTimeout(), 1000);
}

void TstTsConnection::searchAsksBeforeBreaking() {
    Rig rig;
    rig.link->Driver().OpenPort();
    rig.host.dialog.answers = {mrNo};
    rig.connection->FindFirstDevice();
    QCOMPARE(rig.messages(), QStringList{BreakQuestion});
    QCOMPARE(rig.host.dialog.shown[0].kind, int(mtConfirmation));
    QCOMPARE(rig.host.dialog.shown[0].buttons, int(mbYes | mbNo));
    QVERIFY(rig.link->IsPortOpen());
    QVERIFY(rig.port->Written().isEmpty());

    // "Да": disconnected first, then the search (the transducer at 1 answers at once).
    rig.host.dialog.answers = {mrYes};
    rig.port->Reply(Ident(1));
    rig.port->Reply(Ident(1));
    rig.port->Reply(Conf(1));
    rig.connection->FindFirstDevice();
    QVERIFY(rig.host.log.indexOf(QStringLiteral("clear")) < rig.host.log.indexOf(QStringLiteral("bar:1-247")));
    QCOMPARE(rig.identAddresses(), (QList<int>{1, 1}));
    QVERIFY(rig.link->IsPortOpen());
}

void TstTsConnection::searchPassesDevicesOfAnotherKind() {
    Rig rig;
    // A Modbus device of another kind at address 1 refuses the identification with an exception reply:
    // not a transducer, nothing said, the port closed again, and the search goes on.
    rig.port->Reply(ShortReply(1, 0x91, 1));
    rig.port->Reply(Ident(2));
    rig.port->Reply(Ident(2));
    rig.port->Reply(Conf(2));
    rig.connection->FindFirstDevice();
    QCOMPARE(rig.identAddresses(), (QList<int>{1, 2, 2}));
    QVERIFY(rig.messages().isEmpty());
    QCOMPARE(rig.data().SlaveID, 2);
    QVERIFY(rig.link->IsPortOpen());
}

void TstTsConnection::searchWithoutThePort() {
    Rig rig;
    rig.settings.DefaultSlaveID = 9;
    rig.port->openFails = true;
    rig.port->openFault = serialaccess::pfBusy;
    rig.connection->FindFirstDevice();
    // Said once, at the first address; not 247 silent failures and "nothing found".
    QCOMPARE(rig.messages(), QStringList{QStringLiteral("Нет соединения c COM3")});
    QVERIFY(rig.port->Written().isEmpty());
    QCOMPARE(rig.data().SlaveID, 9);
    QVERIFY(!rig.ui.shown);
    QCOMPARE(rig.link->Driver().InputTimeout(), 1000);
}

void TstTsConnection::searchNotStartedFromInsideItself() {
    Rig rig;
    // The user presses "Найти первый" and "Найти" again while the search runs.
    int nested = 0;
    bool addressMoved = false;
    rig.host.onPump = [&] {
        if (nested++ == 3) {
            const int tried = rig.data().SlaveID;
            rig.connection->FindFirstDevice();
            QVERIFY(!rig.connection->ConnectToAddressText(QStringLiteral("77")));
            addressMoved = rig.data().SlaveID != tried;
        }
        if (rig.identAddresses().size() == 3)
            rig.ui.stop = true;
    };
    rig.connection->FindFirstDevice();
    QCOMPARE(rig.identAddresses(), (QList<int>{1, 2, 3}));
    QCOMPARE(rig.lines(QStringLiteral("bar:")).size(), 1);
    QVERIFY(!addressMoved);
    QCOMPARE(rig.data().SlaveID, 3);
}

void TstTsConnection::ensureConnected_data() {
    QTest::addColumn<bool>("open");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("answers");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QStringList>("messages");
    const QString offer = QStringLiteral("Соединение с прибором не установлено.\n\rУстановить соединение?");
    const QString failed = QStringLiteral(
        "Не удалось установить соединение с прибором\n\r номер 5, подключенным к порту СОМ3.\n\r Попробуйте "
        "установить соединение с другим номером.");
    QTest::newRow("connected") << true << 0 << false << true << QStringList{};
    QTest::newRow("declined") << false << int(mrNo) << false << false << QStringList{offer};
    QTest::newRow("connects") << false << int(mrYes) << true << true << QStringList{offer};
    QTest::newRow("no transducer") << false << int(mrYes) << false << false << QStringList{offer, failed};
}

void TstTsConnection::ensureConnected() {
    QFETCH(bool, open);
    QFETCH(int, answer);
    QFETCH(bool, answers);
    QFETCH(bool, result);
    QFETCH(QStringList, messages);
    Rig rig;
    rig.data().SlaveID = 5;
    if (open)
        rig.link->Driver().OpenPort();
    if (answer)
        rig.host.dialog.answers = {answer};
    if (answers) {
        rig.port->Reply(Ident(5));
        rig.port->Reply(Conf(5));
    }
    QCOMPARE(rig.connection->EnsureConnected(), result);
    QCOMPARE(rig.messages(), messages);
    if (!messages.isEmpty()) {
        QCOMPARE(rig.host.dialog.shown[0].kind, int(mtWarning));
        QCOMPARE(rig.host.dialog.shown[0].buttons, int(mbYes | mbNo));
        // The identification itself is silent: only the offer's own warning.
        QVERIFY(!rig.messages().contains(QStringLiteral("Прибор номер 5 не найден.")));
        QCOMPARE(rig.host.log.last(), QStringLiteral("pump"));
        QVERIFY(rig.host.log.contains(QStringLiteral("linkState")));
    }
    QCOMPARE(rig.link->IsPortOpen(), result);
}

void TstTsConnection::startupConnection_data() {
    QTest::addColumn<bool>("before");
    QTest::addColumn<QString>("type"); // n, f, l or empty
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QList<int>>("idents");
    const QString connecting = QStringLiteral(
        "Производится установка соединения с прибором номер 3, подключенному к порту СОМ3.\n\rПожалуйста "
        "подождите.");
    const QString searching =
        QStringLiteral("Производится поиск устройсв до первого найденного.\n\rПожалуйста подождите.");
    QTest::newRow("no connection") << false << "n" << QStringList{} << QList<int>{};
    QTest::newRow("none chosen") << true << "" << QStringList{} << QList<int>{};
    QTest::newRow("toNum") << true << "n" << QStringList{connecting} << QList<int>{3};
    QTest::newRow("toLast") << true << "l" << QStringList{connecting} << QList<int>{3};
    QTest::newRow("toFirst") << true << "f"
                             << QStringList{searching, Searching, Searching + "\n\rСОМ-порт СОМ3 адрес 1."}
                             << QList<int>{1, 1};
}

void TstTsConnection::startupConnection() {
    QFETCH(bool, before);
    QFETCH(QString, type);
    QFETCH(QStringList, texts);
    QFETCH(QList<int>, idents);
    Rig rig;
    rig.settings.ConnectBeforeRun = before;
    rig.settings.ToNum = type == QLatin1String("n");
    rig.settings.ToFirst = type == QLatin1String("f");
    rig.settings.ToLast = type == QLatin1String("l");
    rig.data().SlaveID = type == QLatin1String("f") ? 1 : 3;
    rig.port->Reply(Ident(rig.data().SlaveID));
    if (type == QLatin1String("f"))
        rig.port->Reply(Ident(rig.data().SlaveID));
    rig.port->Reply(Conf(rig.data().SlaveID));
    rig.connection->StartupConnection();
    QStringList shownTexts;
    for (const QString& l : rig.lines(QStringLiteral("text:")))
        shownTexts << l.mid(5);
    QCOMPARE(shownTexts, texts);
    QCOMPARE(rig.identAddresses(), idents);
    QCOMPARE(rig.link->IsPortOpen(), !idents.isEmpty());
    if (!texts.isEmpty()) {
        QVERIFY(!rig.ui.shown);
        QCOMPARE(rig.ui.height, 170);
        if (type != QLatin1String("f"))
            QCOMPARE(rig.lines(QStringLiteral("height:")), (QStringList{"height:120", "height:170"}));
    }
}

void TstTsConnection::connectDialogAddress_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("sent"); // -1: nothing sent
    QTest::addColumn<QString>("error");
    QTest::newRow("17") << "17" << 17 << "";
    QTest::newRow("300 keeps its low 8 bits") << "300" << 44 << "";
    QTest::newRow("blanks") << " 5 " << 5 << "";
    QTest::newRow("letters") << "abc" << -1 << "'abc' is not a valid integer value";
    QTest::newRow("empty") << "" << -1 << "'' is not a valid integer value";
    QTest::newRow("0 is every device") << "0" << -1 << "Адрес прибора должен быть от 1 до 247.";
    QTest::newRow("256 is 0") << "256" << -1 << "Адрес прибора должен быть от 1 до 247.";
    QTest::newRow("248") << "248" << -1 << "Адрес прибора должен быть от 1 до 247.";
}

void TstTsConnection::connectDialogAddress() {
    QFETCH(QString, text);
    QFETCH(int, sent);
    QFETCH(QString, error);
    Rig rig;
    rig.data().SlaveID = 7;
    QCOMPARE(rig.connection->ConnectToAddressText(text), sent >= 0);
    if (sent >= 0) {
        QCOMPARE(rig.identAddresses(), QList<int>{sent});
        QCOMPARE(rig.data().SlaveID, sent);
        // Reported: the connect dialog's connection says when nothing answers.
        QCOMPARE(rig.messages(), QStringList{QStringLiteral("Прибор номер %1 не найден.").arg(sent)});
    } else {
        QCOMPARE(rig.lines(QStringLiteral("error:")), QStringList{"error:" + error});
        QVERIFY(rig.port->events.isEmpty());
        QCOMPARE(rig.data().SlaveID, 7);
    }
}

void TstTsConnection::comDialogPorts() {
    Rig rig;
    TCommPortDriver& d = rig.link->Driver();
    d.SetPortName(QStringLiteral("COM1"));
    rig.connection->ChooseListedPort(QStringLiteral("COM7"), 2);
    QCOMPARE(d.PortName(), QStringLiteral("COM7"));
    QCOMPARE(d.Port(), 3);
    QCOMPARE(int(rig.settings.DefaultComPortNum), 7);
    rig.connection->ChooseListedPort(QStringLiteral("/tmp/tarvo-sim/bus1"), 4);
    QCOMPARE(d.PortName(), QStringLiteral("/tmp/tarvo-sim/bus1"));
    QCOMPARE(int(rig.settings.DefaultComPortNum), 0);

    // Typed and confirmed: set by name, so the dialog comes again before the next connection.
    QVERIFY(rig.connection->EnterPortName(QStringLiteral(" com5 ")));
    QCOMPARE(d.PortName(), QStringLiteral("COM5"));
    QCOMPARE(d.Port(), 0);
    QCOMPARE(int(rig.settings.DefaultComPortNum), 5);
    QTemporaryDir dir;
    const QString node = dir.filePath(QStringLiteral("ttyFake"));
    QFile(node).open(QIODevice::WriteOnly);
    QVERIFY(rig.connection->EnterPortName(node));
    QCOMPARE(d.PortName(), node);
    // Neither a COM name nor a device: nothing set, the dialog closes as confirmed.
    QVERIFY(rig.connection->EnterPortName(QStringLiteral("xyz")));
    QCOMPARE(d.PortName(), node);
    // A COM name without a number: the general error, the dialog stays.
    QVERIFY(!rig.connection->EnterPortName(QStringLiteral("COMx")));
    QCOMPARE(rig.lines(QStringLiteral("error:")), QStringList{QStringLiteral("error:'x' is not a valid integer value")});
    QCOMPARE(d.PortName(), node);

    // While connected a choice from the list keeps the open port.
    d.SetPortFromList(QStringLiteral("COM3"), 1);
    d.OpenPort();
    rig.connection->ChooseListedPort(QStringLiteral("COM8"), 5);
    QCOMPARE(d.PortName(), QStringLiteral("COM3"));
    QCOMPARE(int(rig.settings.DefaultComPortNum), 8);
}

void TstTsConnection::settingsDialogPorts() {
    Rig rig;
    TCommPortDriver& d = rig.link->Driver();
    d.OpenPort();
    // The port in use again: nothing, not even the question.
    rig.connection->SettingsChooseListedPort(QStringLiteral("COM3"), 0);
    QVERIFY(rig.messages().isEmpty());
    QVERIFY(d.IsPortOpen());
    // Another one while connected: asked; "Нет" keeps everything.
    rig.host.dialog.answers = {mrNo, mrYes};
    rig.connection->SettingsChooseListedPort(QStringLiteral("COM6"), 1);
    QCOMPARE(rig.messages(), QStringList{BreakQuestion});
    QVERIFY(d.IsPortOpen());
    QCOMPARE(d.PortName(), QStringLiteral("COM3"));
    // "Да": disconnected, the new port picked.
    rig.connection->SettingsChooseListedPort(QStringLiteral("COM6"), 1);
    QVERIFY(!d.IsPortOpen());
    QVERIFY(rig.host.log.contains(QStringLiteral("clear")));
    QCOMPARE(d.PortName(), QStringLiteral("COM6"));
    QCOMPARE(d.Port(), 2);
    QCOMPARE(int(rig.settings.DefaultComPortNum), 6);
    // Enter: by name; the dialog stays open (nothing to confirm).
    rig.connection->SettingsEnterPortName(QStringLiteral("COM9"));
    QCOMPARE(d.PortName(), QStringLiteral("COM9"));
    QCOMPARE(d.Port(), 0);
    QCOMPARE(int(rig.settings.DefaultComPortNum), 9);
}

QTEST_GUILESS_MAIN(TstTsConnection)
#include "tst_ts_connection.moc"
