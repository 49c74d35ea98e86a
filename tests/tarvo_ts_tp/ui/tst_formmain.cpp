// The main window without a port: frame, the state table, refusals of the find command and the error
// path of the dispatcher fed with finished queries.
#include "IconTable.h"
#include "LcdIndicator.h"
#include "Logging.h"
#include "QtMessageService.h"
#include "ScriptedMessages.h"
#include "TFormEnterCorrNSX.h"
#include "TFormMain.h"
#include "TfrmAbout.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

Q_DECLARE_METATYPE(TPrgState)

namespace {

QStringList ActionNames(const QList<QAction*>& actions) {
    QStringList names;
    for (QAction* a : actions)
        names << (a->isSeparator() ? QStringLiteral("-") : a->objectName());
    return names;
}

TModbusCmdQuery Result(int fn, int start, const QString& error, int step = 0) {
    TModbusCmdQuery q;
    q.SlaveAddr = 7;
    q.FuncCode = std::uint8_t(fn);
    q.StartAddr = std::uint16_t(start);
    q.CalibrStep = std::uint8_t(step);
    q.ErrorString = error;
    return q;
}

// A Report Slave ID reply of a 118 named "ТПУ".
TModbusCmdQuery Identification() {
    TModbusCmdQuery q = Result(17, 0, QString());
    q.RegCount = 66;
    q.Buffer[0] = 118;
    q.Buffer[2] = 0xD2; // Т
    q.Buffer[3] = 0xCF; // П
    q.Buffer[4] = 0xD3; // У
    return q;
}

void Deliver(TFormMain& form, const TModbusCmdQuery& q) {
    form.DeliverResult(q);
    QCoreApplication::sendPostedEvents(&form);
}

// One listed transducer, made the way a search makes it.
void AddFoundDevice(TFormMain& form) {
    form.SetPrgState(PSSearchDevs);
    Deliver(form, Identification());
    QCOMPARE(form.PrgState(), PSNoDevice); // the single-step search is exhausted at once
    QCOMPARE(form.FoundDeviceCount(), 1);
}

const QString Timeout = QStringLiteral("Превышен таймаут ожидания ответа");
const QString PortLost = QStringLiteral("Порт не доступен");

} // namespace

class TstFormMain : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void frame();
    void queueCounterAsShown();
    void actions_data();
    void actions();
    void stateTable_data();
    void stateTable();
    void refusals_data();
    void refusals();
    void errorPath_data();
    void errorPath();
    void unansweredPolls();
    void nothingAfterClose();
    void escapeOnlyCancelsASearch();
    void aboutBox();
    void helpNeedsAHelpFile();
    void messageBoxes_data();
    void messageBoxes();

private:
    QTemporaryDir logDir_;
};

void TstFormMain::initTestCase() {
    // No "logging.on" in this folder: logging stays off.
    SetLogDirectory(logDir_.path());
    qputenv("TARVO_EXTRA_PORTS", "");
}

void TstFormMain::frame() {
    TFormMain form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Tarvo-ТС-ТП"));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QCOMPARE(form.width(), 794);
    QCOMPARE(form.height() - form.menuBar()->sizeHint().height(), 571);
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
    const QSize before = form.size();
    form.resize(1000, 800);
    QCOMPARE(form.size(), before);

    QTabWidget* pages = form.PageControl;
    QCOMPARE(pages->count(), 4);
    const QStringList names{"TabSheetConnect", "TabSheetDeviceConfig", "TabSheetCalibr", "TabSheetDiag"};
    const QStringList captions{"Соединение", "Конфигурация", "Настройка", "Диагностика"};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(pages->widget(i)->objectName(), names[i]);
        QCOMPARE(pages->tabText(i), captions[i]);
        QCOMPARE(pages->isTabVisible(i), i == 0);
    }
    QCOMPARE(pages->currentWidget(), form.TabSheetConnect);

    const int widths[4] = {170, 80, 50, 50};
    for (int i = 0; i < 4; ++i) {
        auto* panel = form.statusBar()->findChild<QLabel*>(QStringLiteral("StatusBarPanel%1").arg(i));
        QVERIFY(panel);
        QCOMPARE(panel->minimumWidth(), widths[i]);
        QCOMPARE(panel->text(), i == 0 ? QStringLiteral("Соединение не установлено") : QString());
    }
    QVERIFY(form.StaticText1->isHidden());

    const QList<QMenu*> menus = form.menuBar()->findChildren<QMenu*>(Qt::FindDirectChildrenOnly);
    QStringList menuTitles;
    for (QAction* a : form.menuBar()->actions())
        menuTitles << a->text();
    QCOMPARE(menuTitles, (QStringList{"Соединение", "Конфигурация", "Диагностика", "Помощь"}));
    const QList<QStringList> items{{"ActionConnect", "ActionFind", "-", "ActionFileExit"},
                                   {"ActionReadConfig", "ActionWriteConfig"},
                                   {"ActionStartStopDiagnostics", "-", "ActionZeroCorrection",
                                    "ActionResetZeroCorrection", "-", "ActionNSXCorrection",
                                    "ActionResetNSXCorrection", "-", "ActionTraffic"},
                                   {"ActionHelpContents", "ActionAbout"}};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(ActionNames(form.menuBar()->actions()[i]->menu()->actions()), items[i]);
    auto* tools = form.findChild<QToolBar*>(QStringLiteral("ToolBar"));
    QCOMPARE(tools->iconSize(), QSize(32, 32));
    QCOMPARE(tools->toolButtonStyle(), Qt::ToolButtonIconOnly);
    QCOMPARE(ActionNames(tools->actions()).mid(0, 6),
             (QStringList{"ActionFind", "ActionConnect", "-", "ActionStartStopDiagnostics", "-",
                          "ActionFileExit"}));

    // Search controls at start.
    QCOMPARE(form.JvSpinEditSlaveID->value(), 1);
    QCOMPARE(form.JvSpinEditSlaveID->minimum(), 1);
    QCOMPARE(form.JvSpinEditSlaveID->maximum(), 247);
    for (QCheckBox* c : {form.CheckBoxSearchAllAddresses, form.CheckBoxSearchAllPorts,
                         form.CheckBoxOnlyUSBdevices, form.CheckBoxSearchAllBaudRates})
        QVERIFY(!c->isChecked());
    const QStringList rates{"1200", "2400", "4800", "9600", "19200", "38400", "57600"};
    for (QComboBox* c : {form.ComboBoxBaudRates, form.ComboBoxConfBaudrate}) {
        QStringList texts;
        for (int i = 0; i < c->count(); ++i)
            texts << c->itemText(i);
        QCOMPARE(texts, rates);
        QCOMPARE(c->currentIndex(), -1);
    }
    QCOMPARE(form.ComboBoxComPort->currentIndex(), -1);
    QVERIFY(form.ProgressBarFind->isHidden());
    QCOMPARE(form.ProgressBarFind->maximum(), 1);
    QCOMPARE(form.CheckListBoxSensorType->count(), 11);
    QCOMPARE(form.CheckListBoxSensorType->item(6)->text(), QStringLiteral("ТХА (K)"));

    QTableWidget* grid = form.StringGridDevices;
    QCOMPARE(grid->rowCount(), 1); // the header is the table's own
    const QStringList headers{"Наименование", "СОМ-порт", "Адрес", "Скорость"};
    const int columnWidths[4] = {292, 70, 70, 70};
    for (int c = 0; c < 4; ++c) {
        QCOMPARE(grid->horizontalHeaderItem(c)->text(), headers[c]);
        QCOMPARE(grid->columnWidth(c), columnWidths[c]);
    }

    // The check boxes switch their fields.
    form.CheckBoxSearchAllAddresses->setChecked(true);
    QVERIFY(!form.JvSpinEditSlaveID->isEnabled());
    form.CheckBoxSearchAllPorts->setChecked(true);
    QVERIFY(!form.ComboBoxComPort->isEnabled());
    form.CheckBoxSearchAllBaudRates->setChecked(true);
    QVERIFY(!form.ComboBoxBaudRates->isEnabled());
    form.CheckBoxOnlyUSBdevices->setChecked(true);
    QVERIFY(form.PanelBaudrate->isHidden());
    form.CheckBoxOnlyUSBdevices->setChecked(false);
    QVERIFY(!form.PanelBaudrate->isHidden());

    QVERIFY(form.AboutBox());
    QCOMPARE(form.EnterCorrNSXDialog()->windowTitle(), QStringLiteral("Подстройка НСХ"));
}

// The tool bar holds the counter: only the tool bar's own rule hides it in the window as shown.
void TstFormMain::queueCounterAsShown() {
    {
        TFormMain form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(!LoggingEnabled);
        QVERIFY(!form.StaticText1->isVisible());
    }
    QFile on(QDir(logDir_.path()).filePath(QStringLiteral("logging.on")));
    QVERIFY(on.open(QIODevice::WriteOnly));
    on.close();
    {
        TFormMain form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(LoggingEnabled);
        QVERIFY(form.StaticText1->isVisible());
    }
    QVERIFY(on.remove());
    TFormMain quiet;
    QVERIFY(!LoggingEnabled);
}

void TstFormMain::actions_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QString>("shortcut");
    QTest::addColumn<int>("image");
    QTest::newRow("find") << "ActionFind"
                          << "Поиск"
                          << "Поиск преобразователей"
                          << "Ctrl+F" << 29;
    QTest::newRow("connect") << "ActionConnect"
                             << "Подключить"
                             << "Подключить"
                             << "Ctrl+C" << 15;
    QTest::newRow("exit") << "ActionFileExit"
                          << "Выход"
                          << "Выйти из программы"
                          << "" << img::Exit;
    QTest::newRow("help") << "ActionHelpContents"
                          << "Справка"
                          << "Вызов справки"
                          << "" << img::Help;
    QTest::newRow("about") << "ActionAbout"
                           << "О программе"
                           << "О программе"
                           << "" << img::About;
    QTest::newRow("read config") << "ActionReadConfig"
                                 << "Прочитать"
                                 << "Прочитать конфигурацию преобразователя"
                                 << "" << img::ReadConfig;
    QTest::newRow("write config") << "ActionWriteConfig"
                                  << "Записать"
                                  << "Записать конфигурацию преобразователя"
                                  << "" << img::WriteConfig;
    QTest::newRow("read sensor data") << "ActionReadDopData"
                                      << "Прочитать"
                                      << "Прочитать параметры датчика"
                                      << "" << img::ReadDopData;
    QTest::newRow("write sensor data") << "ActionWriteDopData"
                                       << "Записать"
                                       << "Записать параметры датчика"
                                       << "" << img::WriteDopData;
    QTest::newRow("measure") << "ActionStartStopDiagnostics"
                             << "Начать измерения"
                             << "Запустить диагностику"
                             << "" << 8;
    QTest::newRow("zero") << "ActionZeroCorrection"
                          << "Подстройка \"0\""
                          << "Подстройка \"0\""
                          << "" << img::ZeroCorrection;
    QTest::newRow("nsx reset") << "ActionResetNSXCorrection"
                               << "Сбросить подстройку НСХ"
                               << "Сбросить подстройку НСХ"
                               << "" << img::ResetNsxCorrection;
    QTest::newRow("calibr") << "ActionCalibr"
                            << "Начать настройку"
                            << "Начать настройку"
                            << "" << img::Calibr;
}

void TstFormMain::actions() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, hint);
    QFETCH(QString, shortcut);
    QFETCH(int, image);
    TFormMain form;
    auto* a = form.findChild<QAction*>(name);
    QVERIFY(a);
    QCOMPARE(a->text(), caption);
    QCOMPARE(a->toolTip(), hint);
    QCOMPARE(a->shortcut().toString(), shortcut);
    QCOMPARE(ActionImage(a), image);
    QVERIFY(!a->icon().isNull());
}

void TstFormMain::stateTable_data() {
    QTest::addColumn<TPrgState>("state");
    QTest::addColumn<bool>("row"); // a listed transducer's row is selected
    // find, connect, sensor data, measure, calibr, config, corrections, device pages
    QTest::addColumn<QString>("enabled");
    QTest::addColumn<QString>("connectCaption");
    QTest::addColumn<QString>("measureCaption");
    QTest::newRow("no device") << PSNoDevice << false << "10000000"
                               << "Подключить"
                               << "Начать измерения";
    QTest::newRow("no device, row") << PSNoDevice << true << "11000000"
                                    << "Подключить"
                                    << "Начать измерения";
    QTest::newRow("search") << PSSearchDevs << false << "10000000"
                            << "Подключить"
                            << "Начать измерения";
    QTest::newRow("search, row") << PSSearchDevs << true << "11000000"
                                 << "Подключить"
                                 << "Начать измерения";
    QTest::newRow("init") << PSInit << true << "00000000"
                          << "Подключить"
                          << "Начать измерения";
    QTest::newRow("pause") << PSPausePolling << true << "11011101"
                           << "Подключить"
                           << "Начать измерения";
    QTest::newRow("polling") << PSPolling << true << "00010011"
                             << "Отключить"
                             << "Завершить измерения";
    QTest::newRow("calibr") << PSCalibr << true << "00001001"
                            << "Отключить"
                            << "Начать измерения";
    QTest::newRow("halt") << PSHalt << true << "00000000"
                          << "Подключить"
                          << "Начать измерения";
}

void TstFormMain::stateTable() {
    QFETCH(TPrgState, state);
    QFETCH(bool, row);
    QFETCH(QString, enabled);
    QFETCH(QString, connectCaption);
    QFETCH(QString, measureCaption);
    TFormMain form;
    if (row)
        AddFoundDevice(form);
    form.IndicatorT->setIndicatorstring(QStringLiteral("21.50"));
    form.SetPrgState(state);
    QCOMPARE(form.PrgState(), state);

    const bool sensor = form.GroupBoxTarvoDopData->isEnabled();
    QCOMPARE(form.EditSensorName->isEnabled(), sensor);
    QCOMPARE(form.ActionReadDopData->isEnabled(), sensor);
    QCOMPARE(form.ActionWriteDopData->isEnabled(), sensor);
    QCOMPARE(form.ActionWriteConfig->isEnabled(), form.ActionReadConfig->isEnabled());
    for (QAction* a :
         {form.ActionResetZeroCorrection, form.ActionNSXCorrection, form.ActionResetNSXCorrection})
        QCOMPARE(a->isEnabled(), form.ActionZeroCorrection->isEnabled());
    const bool pages = form.PageControl->isTabVisible(1);
    QCOMPARE(form.PageControl->isTabVisible(2), pages);
    QCOMPARE(form.PageControl->isTabVisible(3), pages);
    QVERIFY(form.PageControl->isTabVisible(0));
    const bool got[] = {form.ActionFind->isEnabled(),
                        form.ActionConnect->isEnabled(),
                        sensor,
                        form.ActionStartStopDiagnostics->isEnabled(),
                        form.ActionCalibr->isEnabled(),
                        form.ActionReadConfig->isEnabled(),
                        form.ActionZeroCorrection->isEnabled(),
                        pages};
    QString text;
    for (bool b : got)
        text += b ? QLatin1Char('1') : QLatin1Char('0');
    QCOMPARE(text, enabled);

    QCOMPARE(form.ActionConnect->text(), connectCaption);
    QCOMPARE(form.ActionConnect->toolTip(), connectCaption);
    QCOMPARE(form.SpeedButtonConnect->text(), connectCaption);
    QCOMPARE(ActionImage(form.ActionConnect), connectCaption == QStringLiteral("Отключить") ? 14 : 15);

    const bool polling = state == PSPolling;
    QCOMPARE(form.ActionStartStopDiagnostics->text(), measureCaption);
    QCOMPARE(form.ActionStartStopDiagnostics->toolTip(),
             polling ? QStringLiteral("Остановить диагностику") : QStringLiteral("Запустить диагностику"));
    QCOMPARE(ActionImage(form.ActionStartStopDiagnostics), polling ? 7 : 8);
    // Outside measurements the indicators are blanked.
    QCOMPARE(form.IndicatorT->Indicatorstring().isEmpty(), !polling);
    QCOMPARE(form.GroupBoxZeroCorrection->isEnabled(), polling);
    QCOMPARE(form.GroupBoxNSXCorrection->isEnabled(), polling);
}

void TstFormMain::refusals_data() {
    QTest::addColumn<QString>("options"); // all addresses, all ports, all rates, only 9600
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("rate");
    QTest::addColumn<QString>("box");
    const QString noPort = QStringLiteral("Не выбран СОМ-порт!");
    const QString noRate = QStringLiteral("Не выбрана скорость обмена по СОМ-порту!");
    const QStringList two{QStringLiteral("COM3"), QStringLiteral("ttyUSB0")};
    QTest::newRow("direct, no port") << "0000" << two << -1 << 3 << noPort;
    QTest::newRow("direct, no rate") << "0000" << two << 0 << -1 << noRate;
    QTest::newRow("9600 only, no port") << "0001" << two << -1 << -1 << noPort;
    QTest::newRow("search, no port") << "1000" << two << -1 << 3 << noPort;
    QTest::newRow("search, no rate") << "1000" << two << 1 << -1 << noRate;
    QTest::newRow("all ports, none listed")
        << "0110" << QStringList() << -1 << -1 << QStringLiteral("Не обнаружено доступных СОМ-портов!");
}

void TstFormMain::refusals() {
    QFETCH(QString, options);
    QFETCH(QStringList, ports);
    QFETCH(int, port);
    QFETCH(int, rate);
    QFETCH(QString, box);
    TScriptedMessages messages;
    TFormMain form;
    AddFoundDevice(form);
    form.PageControl->setCurrentIndex(0);
    form.CheckBoxSearchAllAddresses->setChecked(options[0] == QLatin1Char('1'));
    form.CheckBoxSearchAllPorts->setChecked(options[1] == QLatin1Char('1'));
    form.CheckBoxSearchAllBaudRates->setChecked(options[2] == QLatin1Char('1'));
    form.CheckBoxOnlyUSBdevices->setChecked(options[3] == QLatin1Char('1'));
    form.ComboBoxComPort->clear();
    form.ComboBoxComPort->addItems(ports);
    form.ComboBoxComPort->setCurrentIndex(port);
    form.ComboBoxBaudRates->setCurrentIndex(rate);

    form.ActionFind->trigger();
    QCOMPARE(messages.texts(), QStringList{box});
    QVERIFY(messages.allErrorBoxes());
    QCOMPARE(form.PrgState(), PSNoDevice);
    QVERIFY(!CommThreadConnected());
    // A refused start has emptied the list all the same.
    QCOMPARE(form.FoundDeviceCount(), 0);
    QVERIFY(!form.CurrentDevice());
    QCOMPARE(form.StringGridDevices->rowCount(), 1);
    QVERIFY(form.StringGridDevices->item(0, 0)->text().isEmpty());
}

void TstFormMain::errorPath_data() {
    QTest::addColumn<TPrgState>("state");
    QTest::addColumn<int>("fn");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("error");
    QTest::addColumn<TPrgState>("after");
    QTest::addColumn<QString>("panel3");
    QTest::addColumn<QStringList>("boxes");
    const QString crc = QStringLiteral("Ошибка CRC");
    const QString purge5 = QStringLiteral("Функция PurgeComm вернула код ошибки 5");
    const QString purge6 = QStringLiteral("Функция PurgeComm вернула код ошибки 6");
    QTest::newRow("identification timeout")
        << PSInit << 17 << 0 << 0 << Timeout << PSNoDevice << "Преобразователь не отвечает" << QStringList();
    QTest::newRow("identification, other error")
        << PSInit << 17 << 0 << 0 << crc << PSNoDevice << crc << QStringList();
    QTest::newRow("identification, port lost")
        << PSInit << 17 << 0 << 0 << PortLost << PSNoDevice << PortLost << QStringList{PortLost};
    QTest::newRow("configuration while connecting")
        << PSInit << 3 << 49 << 0 << Timeout << PSNoDevice << Timeout << QStringList();
    QTest::newRow("port lost while paused")
        << PSPausePolling << 3 << 17 << 0 << PortLost << PSNoDevice << PortLost << QStringList{PortLost};
    QTest::newRow("purge error 5 while polling")
        << PSPolling << 3 << 33 << 0 << purge5 << PSNoDevice << PortLost << QStringList{PortLost};
    // A failed poll of any kind says what failed.
    QTest::newRow("purge error 6 is no port loss")
        << PSPolling << 3 << 33 << 0 << purge6 << PSPolling << purge6 << QStringList();
    QTest::newRow("poll with a bad CRC")
        << PSPolling << 3 << 33 << 0 << crc << PSPolling << crc << QStringList();
    QTest::newRow("reply in no device")
        << PSNoDevice << 3 << 49 << 0 << crc << PSNoDevice << "" << QStringList();
    QTest::newRow("port lost in no device")
        << PSNoDevice << 3 << 49 << 0 << PortLost << PSNoDevice << PortLost << QStringList{PortLost};
    QTest::newRow("leaving calibration fails")
        << PSCalibr << 100 << 0 << 9 << Timeout << PSCalibr << "" << QStringList();
    // A lost port is recognised before every other rule.
    QTest::newRow("port lost leaving calibration")
        << PSCalibr << 100 << 0 << 9 << PortLost << PSNoDevice << PortLost << QStringList{PortLost};
    QTest::newRow("port lost in a calibration step")
        << PSCalibr << 100 << 0 << 2 << PortLost << PSNoDevice << PortLost << QStringList{PortLost};
    QTest::newRow("port lost in a zero correction")
        << PSPolling << 101 << 0 << 0 << PortLost << PSNoDevice << PortLost << QStringList{PortLost};
    QTest::newRow("port lost in a configuration write")
        << PSPausePolling << 16 << 49 << 0 << PortLost << PSNoDevice << PortLost << QStringList{PortLost};
    QTest::newRow("calibration step fails")
        << PSCalibr << 100 << 0 << 2 << crc << PSPausePolling << "" << QStringList{crc};
    QTest::newRow("zero correction fails")
        << PSPolling << 101 << 0 << 0 << crc << PSPolling << "" << QStringList{crc};
    QTest::newRow("zero correction while paused")
        << PSPausePolling << 101 << 0 << 0 << crc << PSPausePolling << "" << QStringList();
    QTest::newRow("configuration write fails")
        << PSPausePolling << 16 << 49 << 0 << crc << PSPausePolling << "" << QStringList{crc};
}

void TstFormMain::errorPath() {
    QFETCH(TPrgState, state);
    QFETCH(int, fn);
    QFETCH(int, start);
    QFETCH(int, step);
    QFETCH(QString, error);
    QFETCH(TPrgState, after);
    QFETCH(QString, panel3);
    QFETCH(QStringList, boxes);
    TScriptedMessages messages;
    TFormMain form;
    form.SetPrgState(state);
    if (IsConnectedState(state))
        form.PageControl->setCurrentWidget(form.TabSheetDiag);
    Deliver(form, Result(fn, start, error, step));
    if (!IsConnectedState(after))
        QCOMPARE(form.PageControl->currentWidget(), form.TabSheetConnect);
    QCOMPARE(form.PrgState(), after);
    QCOMPARE(form.StatusPanels[3]->text(), panel3);
    QCOMPARE(messages.texts(), boxes);
    QVERIFY(messages.allErrorBoxes());
    if (state == PSInit) {
        QCOMPARE(form.StatusPanels[0]->text(), QStringLiteral("Соединение не установлено"));
        QVERIFY(form.StatusPanels[1]->text().isEmpty());
        QVERIFY(form.StatusPanels[2]->text().isEmpty());
    }
}

void TstFormMain::unansweredPolls() {
    TScriptedMessages messages;
    TFormMain form;
    form.SetPrgState(PSPolling);
    for (int i = 1; i <= 3; ++i) {
        Deliver(form, Result(3, 33, Timeout));
        QCOMPARE(form.PrgState(), PSPolling);
        QCOMPARE(form.NoAnswerCount(), i);
        QCOMPARE(form.StatusPanels[3]->text(), QStringLiteral("Преобразователь не отвечает на запрос"));
        QVERIFY(messages.boxes.isEmpty());
    }
    Deliver(form, Result(3, 33, Timeout));
    QCOMPARE(form.PrgState(), PSPausePolling);
    QCOMPARE(form.NoAnswerCount(), 0);
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("Преобразователь не отвечает на запрос")});
}

void TstFormMain::nothingAfterClose() {
    TScriptedMessages messages;
    TFormMain form;
    form.SetPrgState(PSInit);
    form.close();
    QCOMPARE(form.PrgState(), PSHalt);
    for (const TModbusCmdQuery& q : {Result(17, 0, Timeout), Result(3, 49, PortLost), Identification()})
        Deliver(form, q);
    QCOMPARE(form.PrgState(), PSHalt);
    QVERIFY(messages.boxes.isEmpty());
    QVERIFY(form.StatusPanels[3]->text().isEmpty());
    QCOMPARE(form.FoundDeviceCount(), 0);
    QVERIFY(!form.ActionFind->isEnabled());
}

void TstFormMain::escapeOnlyCancelsASearch() {
    TFormMain form;
    QTest::keyClick(&form, Qt::Key_Escape);
    QVERIFY(!form.SearchCancelled());
    form.SetPrgState(PSSearchDevs);
    QTest::keyClick(&form, Qt::Key_Escape);
    QVERIFY(form.SearchCancelled());
    // From now on finished queries stay with the link: nothing is dispatched.
}

void TstFormMain::aboutBox() {
    TfrmAbout about;
    QCOMPARE(about.windowTitle(), QStringLiteral("Tarvo-ТС-ТП"));
    QCOMPARE(about.findChild<QLabel*>(QStringLiteral("JvLabelVersion"))->text(), QStringLiteral("Версия 01"));
    QCOMPARE(about.findChild<QLabel*>(QStringLiteral("JvLabelBuildVersion"))->text(),
             QStringLiteral("Сборка 1.0.0.0"));
    QCOMPARE(about.findChild<QLabel*>(QStringLiteral("LabelPurpose"))->text(),
             QStringLiteral("Программа для настройки преобразователей Tarvo-ТС-ТП"));
    QVERIFY(!about.findChild<QLabel*>(QStringLiteral("LabelAddr"))->text().isEmpty());
    about.open();
    QVERIFY(about.isVisible());
    QTest::keyClick(about.findChild<QLabel*>(QStringLiteral("JvLabelURL")), Qt::Key_A);
    QVERIFY(!about.isVisible());
    about.open();
    QTest::keyClick(&about, Qt::Key_Space);
    QVERIFY(!about.isVisible());
}

void TstFormMain::helpNeedsAHelpFile() {
    {
        TFormMain form;
        QVERIFY(!form.ActionHelpContents->isEnabled());
    }
    SetApplicationHelpFile(QStringLiteral("/opt/tarvo/Tarvo_TS_TP.chm"));
    TFormMain form;
    QVERIFY(form.ActionHelpContents->isEnabled());
    SetApplicationHelpFile(QString());
}

void TstFormMain::messageBoxes_data() {
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("qtIcon");
    QTest::addColumn<int>("press");  // the Qt button pressed
    QTest::addColumn<int>("answer"); // what the service reports
    using S = TMessageService;
    QTest::newRow("error, OK") << int(S::Ok) << int(S::Icon::Error) << int(QMessageBox::Critical)
                               << int(QMessageBox::Ok) << int(S::Ok);
    QTest::newRow("question, yes") << int(S::Yes | S::No) << int(S::Icon::Question)
                                   << int(QMessageBox::Question) << int(QMessageBox::Yes) << int(S::Yes);
    QTest::newRow("question, no") << int(S::Yes | S::No) << int(S::Icon::Question)
                                  << int(QMessageBox::Question) << int(QMessageBox::No) << int(S::No);
}

void TstFormMain::messageBoxes() {
    QFETCH(int, buttons);
    QFETCH(int, icon);
    QFETCH(int, qtIcon);
    QFETCH(int, press);
    QFETCH(int, answer);
    TQtMessageService service;
    QString title, text;
    int shownIcon = -1;
    QMessageBox::StandardButtons shownButtons;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        title = box->windowTitle();
        text = box->text();
        shownIcon = box->icon();
        shownButtons = box->standardButtons();
        box->button(QMessageBox::StandardButton(press))->click();
    });
    const int got = service.MessageBox(QStringLiteral("Порт не доступен"), ProgramCaption(),
                                       TMessageService::Icon(icon), buttons);
    QCOMPARE(got, answer);
    QCOMPARE(title, QStringLiteral("Tarvo-ТС-ТП"));
    QCOMPARE(text, QStringLiteral("Порт не доступен"));
    QCOMPARE(shownIcon, qtIcon);
    QCOMPARE(shownButtons, buttons == TMessageService::Ok ? QMessageBox::StandardButtons(QMessageBox::Ok)
                                                          : QMessageBox::Yes | QMessageBox::No);
}

QTEST_MAIN(TstFormMain)
#include "tst_formmain.moc"
