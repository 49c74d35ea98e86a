// The main window's frame without a link: menus, tool bar, pages, status bar, the actions and their
// idle update, the tool bar switch, the status panels and modified marks, and the closing steps.
#include "Help.h"
#include "IconTable.h"
#include "ScriptedDialog.h"
#include "TDevicePage.h"
#include "TfrmMain.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <stdexcept>

namespace {

QStringList ActionNames(const QList<QAction*>& actions) {
    QStringList names;
    for (QAction* a : actions)
        names << (a->isSeparator() ? QStringLiteral("-") : a->objectName());
    return names;
}

// A window as the user sees it, with a scripted message dialog and a port the test opens and closes.
struct Shown {
    TfrmMain form;
    TScriptedDialog dialog;
    bool portOpen = false;
    QString portName = QStringLiteral("COM3");
    QStringList log; // the hooks called, in order

    Shown() {
        form.SetMessageDialog(&dialog);
        TfrmMain::THooks& h = form.Hooks();
        h.IsPortOpen = [this] { return portOpen; };
        h.PortName = [this] { return portName; };
        auto note = [this](const char* what) { return [this, what] { log << QLatin1String(what); }; };
        h.BreakConnection = note("break");
        h.ShowConnectDialog = note("connect dialog");
        h.ShowComPortDialog = note("com dialog");
        h.ShowSettingsDialog = note("settings dialog");
        h.FindFirstDevice = note("find first");
        h.ShowIndicatorStyles = note("styles");
        h.WriteInformation = note("write info");
        h.RestoreInformation = note("restore info");
        h.WriteConfiguration = note("write conf");
        h.RestoreConfiguration = note("restore conf");
        h.SaveSettings = note("save");
        h.ToolBarShownChanged = [this](bool shown) { log << (shown ? "tool bar on" : "tool bar off"); };
        form.show();
    }
    QString panel(int i) const { return form.StatusPanel[std::size_t(i)]->text(); }
};

// Lets the event loop run until it has nothing left to do, as the idle update needs.
void Idle() {
    QEventLoop loop;
    QTimer::singleShot(20, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

class TstTsMainWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void frame();
    void actions_data();
    void actions();
    void toolBarSwitch();
    void linkStateAndMarks();
    void longPortName();
    void idleUpdate();
    void commands();
    void closing_data();
    void closing();
    void closingSurvivesFailingSteps();
    void aboutBoxOnce();
    void activationAppliesColours();
    void helpFile_data();
    void helpFile();
};

void TstTsMainWindow::frame() {
    Shown s;
    TfrmMain& form = s.form;
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.objectName(), QStringLiteral("frmMain"));
    QCOMPARE(form.windowTitle(), QStringLiteral("Tarvo-ТС"));
    QCOMPARE(form.size(), QSize(583, 367));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(form.windowFlags() & Qt::WindowMinimizeButtonHint);

    QStringList titles;
    for (QAction* a : form.ActionMainMenuBar1->actions())
        titles << a->text();
    QCOMPARE(titles, (QStringList{"Файл", "Вид", "Соединение", "Помощь"}));
    const QList<QStringList> items{{"actProgSet", "FileExit"},
                                   {"actIndView", "-", "ActionTraffic", "actViewToolBar"},
                                   {"actConnect", "actFindFirst", "-", "actCOMSet"},
                                   {"HelpContents1", "actAbout"}};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(ActionNames(form.ActionMainMenuBar1->actions()[i]->menu()->actions()), items[i]);

    QToolBar* tools = form.ActionToolBar1;
    QCOMPARE(tools->objectName(), QStringLiteral("ActionToolBar1"));
    QCOMPARE(ActionNames(tools->actions()),
             (QStringList{"actProgSet", "actCOMSet", "actConnect", "actFindFirst", "FileExit"}));
    QCOMPARE(tools->height(), 42);
    QCOMPARE(tools->iconSize(), QSize(32, 32));
    QCOMPARE(tools->toolButtonStyle(), Qt::ToolButtonIconOnly);
    QVERIFY(tools->isVisible());

    QTabWidget* pages = form.MainPageCtrl;
    const QStringList names{"tsInformation", "tsConfiguration", "tsCalobration", "tsDiagnostic"};
    const QStringList captions{"Информация", "Конфигурация", "Настройка", "Диагностика "};
    const QStringList hints{"", "", " Калибровка ", ""};
    QCOMPARE(pages->count(), 4);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(pages->widget(i)->objectName(), names[i]);
        QVERIFY(qobject_cast<TDevicePage*>(pages->widget(i)));
        QCOMPARE(pages->tabText(i), captions[i]);
        QCOMPARE(pages->tabToolTip(i), hints[i]);
    }
    QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("tsInformation"));
    // The page control fills what the bars leave.
    QCOMPARE(pages->geometry().top(), tools->geometry().bottom() + 1);
    QCOMPARE(pages->geometry().bottom() + 1, form.statusBar()->geometry().top());

    const int widths[4] = {170, 50, 50, 50};
    for (int i = 0; i < 4; ++i) {
        auto* panel = form.statusBar()->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(i));
        QCOMPARE(panel, form.StatusPanel[std::size_t(i)]);
        QVERIFY2(panel->width() >= widths[i], qPrintable(QString::number(panel->width())));
    }
    QCOMPARE(s.panel(0), QStringLiteral("Соединение не установленно"));
    for (int i = 1; i < 4; ++i)
        QCOMPARE(s.panel(i), QString());
    // The last panel runs to the right edge of the window.
    QVERIFY(form.StatusPanel[3]->geometry().right() >= form.statusBar()->width() - 8);
}

void TstTsMainWindow::actions_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<int>("image");
    QTest::newRow("settings") << "actProgSet"
                              << "Настройки"
                              << "Настройки" << 5;
    QTest::newRow("exit") << "FileExit"
                          << "Выход"
                          << "Выход" << 11;
    QTest::newRow("styles") << "actIndView"
                            << "Стиль индикаторов"
                            << "Стиль индикаторов" << 10;
    QTest::newRow("tool bar") << "actViewToolBar"
                              << "Убрать панель инструментов"
                              << "Убрать панель инструментов" << -1;
    QTest::newRow("connect") << "actConnect"
                             << "Установить соединение"
                             << "Установить соединение" << 3;
    QTest::newRow("find first") << "actFindFirst"
                                << "Найти первый"
                                << "Найти первый" << 7;
    QTest::newRow("port") << "actCOMSet"
                          << "Выбор &COM-порта"
                          << "Выбор COM-порта" << 6;
    QTest::newRow("help") << "HelpContents1"
                          << "Справка"
                          << "Help Contents" << 40;
    QTest::newRow("about") << "actAbout"
                           << "О программе"
                           << "О программе" << 12;
}

void TstTsMainWindow::actions() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, hint);
    QFETCH(int, image);
    Shown s;
    auto* a = s.form.findChild<QAction*>(name);
    QVERIFY(a);
    QCOMPARE(a->text(), caption);
    QCOMPARE(a->toolTip(), hint);
    QCOMPARE(ActionImage(a), image);
    QCOMPARE(a->icon().isNull(), image < 0);
    QVERIFY(a->isEnabled());
    if (name == QLatin1String("actCOMSet"))
        QCOMPARE(a->iconText(), QStringLiteral("Выбор COM-порта"));
}

void TstTsMainWindow::toolBarSwitch() {
    Shown s;
    TfrmMain& form = s.form;
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const int pagesHeight = form.MainPageCtrl->height();

    form.actViewToolBar->trigger();
    QVERIFY(form.ActionToolBar1->isHidden());
    QCOMPARE(form.size(), QSize(583, 367 - 42));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QCOMPARE(form.actViewToolBar->text(), QStringLiteral("Показать панель инструментов"));
    QCOMPARE(form.actViewToolBar->toolTip(), QStringLiteral("Показать панель инструментов"));
    Idle(); // the idle update must keep the caption
    QCOMPARE(form.actViewToolBar->text(), QStringLiteral("Показать панель инструментов"));
    QCOMPARE(form.MainPageCtrl->height(), pagesHeight);

    form.actViewToolBar->trigger();
    QVERIFY(form.ActionToolBar1->isVisible());
    QCOMPARE(form.size(), QSize(583, 367));
    QCOMPARE(form.actViewToolBar->text(), QStringLiteral("Убрать панель инструментов"));
    QCOMPARE(form.actViewToolBar->toolTip(), QStringLiteral("Убрать панель инструментов"));
    QCOMPARE(s.log, (QStringList{"tool bar off", "tool bar on"}));

    // As the settings do it at start-up: asking for what already is changes no size.
    form.SetToolBarShown(true);
    QCOMPARE(form.size(), QSize(583, 367));
}

void TstTsMainWindow::linkStateAndMarks() {
    Shown s;
    TfrmMain& form = s.form;
    s.portOpen = true;
    form.ShowLinkState();
    QCOMPARE(s.panel(0), QStringLiteral("Соединение установленно"));
    QCOMPARE(s.panel(1), QStringLiteral("COM3"));
    s.portName = QStringLiteral("\\\\.\\COM12");
    form.ShowLinkState();
    QCOMPARE(s.panel(1), QStringLiteral("COM12"));

    form.SetInfoModified(true);
    QCOMPARE(s.panel(2), QStringLiteral("Mod"));
    // Refreshing the link state empties the panel but keeps the mark: the question at closing still comes.
    form.ShowLinkState();
    QCOMPARE(s.panel(2), QString());
    QVERIFY(form.InfoModified());
    // Each mark writes the panel by itself.
    form.SetConfModified(true);
    QCOMPARE(s.panel(2), QStringLiteral("Mod"));
    form.SetConfModified(false);
    QCOMPARE(s.panel(2), QString());
    QVERIFY(form.InfoModified());
    QVERIFY(!form.ConfModified());

    form.ShowOperation(QStringLiteral("Чтение данных из памяти прибора"));
    QCOMPARE(s.panel(3), QStringLiteral("Чтение данных из памяти прибора"));
    s.portOpen = false;
    form.ShowLinkState();
    QCOMPARE(s.panel(0), QStringLiteral("Соединение не установленно"));
    QCOMPARE(s.panel(1), QString());
    QCOMPARE(s.panel(3), QStringLiteral("Чтение данных из памяти прибора")); // not the link state's

    form.ShowError(QStringLiteral("Порт занят"));
    QCOMPARE(s.dialog.messages.size(), 1);
    QCOMPARE(s.dialog.messages[0].text, QStringLiteral("Порт занят"));
    QCOMPARE(s.dialog.messages[0].kind, int(mtError));
    QCOMPARE(s.dialog.messages[0].buttons, int(mbOK));
}

void TstTsMainWindow::longPortName() {
    Shown s;
    QVERIFY(QTest::qWaitForWindowExposed(&s.form));
    s.portOpen = true;
    s.portName = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    s.form.ShowLinkState();
    QLabel* port = s.form.StatusPanel[1];
    QTest::qWait(1);
    QVERIFY(port->width() > 50);
    QVERIFY(port->width() <= 180);
    QVERIFY(port->text().contains(QChar(0x2026)));
    QCOMPARE(port->toolTip(), s.portName);
    QVERIFY(s.form.StatusPanel[0]->width() >= 170);
    QVERIFY(s.form.StatusPanel[3]->width() >= 50);
    s.portName = QStringLiteral("COM4");
    s.form.ShowLinkState();
    QCOMPARE(port->text(), QStringLiteral("COM4"));
    QCOMPARE(port->width(), 50);
}

void TstTsMainWindow::idleUpdate() {
    Shown s;
    QAction* connect = s.form.actConnect;
    s.portOpen = true;
    Idle();
    QCOMPARE(connect->text(), QStringLiteral("Разорвать соединение"));
    QCOMPARE(connect->toolTip(), QStringLiteral("Разорвать соединение"));
    QCOMPARE(ActionImage(connect), 4);
    s.portOpen = false;
    Idle();
    QCOMPARE(connect->text(), QStringLiteral("Установить соединение"));
    QCOMPARE(connect->toolTip(), QStringLiteral("Установить соединение"));
    QCOMPARE(ActionImage(connect), 3);
}

void TstTsMainWindow::commands() {
    Shown s;
    TfrmMain& form = s.form;
    form.actConnect->trigger();
    form.actCOMSet->trigger(); // closed port: no question
    form.actProgSet->trigger();
    form.actFindFirst->trigger();
    form.actIndView->trigger();
    QCOMPARE(s.log, (QStringList{"connect dialog", "com dialog", "settings dialog", "find first", "styles"}));
    QVERIFY(s.dialog.messages.isEmpty());

    s.log.clear();
    s.portOpen = true;
    form.actConnect->trigger();
    s.dialog.answers = {mrNo, mrYes};
    form.actCOMSet->trigger();
    form.actCOMSet->trigger();
    QCOMPARE(s.log, (QStringList{"break", "break", "com dialog"}));
    QCOMPARE(s.dialog.messages.size(), 2);
    for (const TScriptedDialog::Message& m : s.dialog.messages) {
        QCOMPARE(m.text, QStringLiteral("Разорвать установленное соединение?"));
        QCOMPARE(m.kind, int(mtConfirmation));
        QCOMPARE(m.buttons, int(mbYes | mbNo));
    }
}

void TstTsMainWindow::closing_data() {
    QTest::addColumn<bool>("info");
    QTest::addColumn<bool>("conf");
    QTest::addColumn<bool>("open");
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("steps");
    const QString askInfo = QStringLiteral("Записать изменения информации в память преобразователя?");
    const QString askConf = QStringLiteral("Записать изменения конфигурации в память преобразователя?");
    QTest::newRow("nothing edited") << false << false << true << QList<int>{} << QStringList{}
                                    << QStringList{"save"};
    QTest::newRow("info, not connected")
        << true << false << false << QList<int>{}
        << QStringList{"Соединение не установлено. Изменения не сохранены."} << QStringList{"save"};
    QTest::newRow("configuration, not connected")
        << false << true << false << QList<int>{}
        << QStringList{"Соединение не установлено. Изменения конфигурации не сохранены."}
        << QStringList{"save"};
    QTest::newRow("info written") << true << false << true << QList<int>{mrYes} << QStringList{askInfo}
                                  << QStringList{"write info", "save"};
    QTest::newRow("info restored") << true << false << true << QList<int>{mrNo} << QStringList{askInfo}
                                   << QStringList{"restore info", "save"};
    QTest::newRow("both") << true << true << true << QList<int>{mrYes, mrNo} << QStringList{askInfo, askConf}
                          << QStringList{"write info", "restore conf", "save"};
    QTest::newRow("configuration written") << false << true << true << QList<int>{mrYes}
                                           << QStringList{askConf} << QStringList{"write conf", "save"};
}

void TstTsMainWindow::closing() {
    QFETCH(bool, info);
    QFETCH(bool, conf);
    QFETCH(bool, open);
    QFETCH(QList<int>, answers);
    QFETCH(QStringList, messages);
    QFETCH(QStringList, steps);
    Shown s;
    s.form.SetInfoModified(info);
    s.form.SetConfModified(conf);
    s.portOpen = open;
    s.dialog.answers = answers;
    s.form.FileExit->trigger();
    QVERIFY(!s.form.isVisible());
    QCOMPARE(s.dialog.texts(), messages);
    for (const TScriptedDialog::Message& m : s.dialog.messages) {
        QCOMPARE(m.kind, int(open ? mtConfirmation : mtInformation));
        QCOMPARE(m.buttons, int(open ? mbYes | mbNo : mbOK));
    }
    QCOMPARE(s.log, steps);
    QVERIFY(!s.form.InfoModified());
    QVERIFY(!s.form.ConfModified());
    QCOMPARE(s.panel(2), QString());
}

void TstTsMainWindow::closingSurvivesFailingSteps() {
    Shown s;
    TfrmMain::THooks& h = s.form.Hooks();
    h.WriteInformation = [&] {
        s.log << "write info";
        throw std::runtime_error("port lost");
    };
    h.RestoreConfiguration = [&] {
        s.log << "restore conf";
        throw 5;
    };
    h.SaveSettings = [&] {
        s.log << "save";
        throw std::runtime_error("read-only folder");
    };
    s.portOpen = true;
    s.form.SetInfoModified(true);
    s.form.SetConfModified(true);
    s.dialog.answers = {mrYes, mrNo};
    QVERIFY(s.form.close());
    QVERIFY(!s.form.isVisible());
    QCOMPARE(s.log, (QStringList{"write info", "restore conf", "save"}));
}

void TstTsMainWindow::aboutBoxOnce() {
    Shown s;
    QVERIFY(!s.form.AboutBox());
    s.form.actAbout->trigger();
    QWidget* about = s.form.AboutBox();
    QVERIFY(about);
    QVERIFY(about->isVisible());
    QCOMPARE(about->objectName(), QStringLiteral("frmAbout"));
    about->close();
    s.form.actAbout->trigger();
    QCOMPARE(s.form.AboutBox(), about);
    QVERIFY(about->isVisible());
}

void TstTsMainWindow::activationAppliesColours() {
    Shown s;
    int applied = 0;
    s.form.Hooks().ApplyFormColors = [&] { ++applied; };
    QVERIFY(QTest::qWaitForWindowActive(&s.form));
    const int onActivation = applied;
    QVERIFY(onActivation >= 1);
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QTRY_VERIFY(applied > onActivation); // and again when it loses the focus
}

void TstTsMainWindow::helpFile_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("help");
    QTest::newRow("linux") << "/opt/tarvo/bin/Tarvo_TS"
                           << "/opt/tarvo/bin/Tarvo_TS.chm";
    QTest::newRow("windows") << "C:/Program Files/Tarvo/Tarvo_TS.exe"
                             << "C:/Program Files/Tarvo/Tarvo_TS.chm";
    QTest::newRow("dotted folder") << "/home/user/tarvo.1/Tarvo_TS"
                                   << "/home/user/tarvo.1/Tarvo_TS.chm";
}

void TstTsMainWindow::helpFile() {
    QFETCH(QString, program);
    QFETCH(QString, help);
    QCOMPARE(HelpFileFor(program), help);
}

QTEST_MAIN(TstTsMainWindow)
#include "tst_ts_mainwindow.moc"
