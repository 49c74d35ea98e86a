#include "TfrmMain.h"

#include "Artwork.h"
#include "DockTraffic.h"
#include "Help.h"
#include "IconTable.h"
#include "MainHost.h"
#include "TCalibrationPage.h"
#include "TConfigurationPage.h"
#include "TDiagnosticPage.h"
#include "TInformationPage.h"
#include "TfrmAbout.h"
#include "WindowPlacement.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QShortcut>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <algorithm>

namespace {

constexpr int ClientWidth = 583;
constexpr int ClientHeight = 367;
constexpr int ToolBarHeight = 42;
constexpr int PortPanelMaxWidth = 180;

const QString Connected = QStringLiteral("Соединение установленно");
const QString NotConnected = QStringLiteral("Соединение не установленно");
const QString ModifiedMark = QStringLiteral("Mod");
const QString ConnectCaption = QStringLiteral("Установить соединение");
const QString DisconnectCaption = QStringLiteral("Разорвать соединение");
const QString HideToolBarCaption = QStringLiteral("Убрать панель инструментов");
const QString ShowToolBarCaption = QStringLiteral("Показать панель инструментов");

template <class T> T* Named(T* object, const char* name) {
    object->setObjectName(QLatin1String(name));
    return object;
}

// The part of a port name the status bar shows: a Win32 device prefix ("\\.\" or "//./") goes.
QString PortPanelText(const QString& portName) {
    if (portName.startsWith(QLatin1String("\\\\.\\")) || portName.startsWith(QLatin1String("//./")))
        return portName.mid(4);
    return portName;
}

// A status bar panel: a label in a thin sunken bevel, drawn here because the styles' own panel frames
// vanish against a light status bar.
class TStatusPanel final : public QLabel {
public:
    explicit TStatusPanel(QWidget* parent) : QLabel(parent) { setContentsMargins(4, 1, 4, 1); }

protected:
    void paintEvent(QPaintEvent* event) override {
        QLabel::paintEvent(event);
        QPainter p(this);
        const QRect r = rect().adjusted(0, 0, -1, -1);
        p.setPen(palette().color(QPalette::Mid));
        p.drawLine(r.topLeft(), r.topRight());
        p.drawLine(r.topLeft(), r.bottomLeft());
        p.setPen(palette().color(QPalette::Light));
        p.drawLine(r.bottomLeft(), r.bottomRight());
        p.drawLine(r.topRight(), r.bottomRight());
    }
};

// A closing step whose failure must not keep the window open.
void Quietly(const std::function<void()>& step) {
    if (!step)
        return;
    try {
        step();
    } catch (...) {
    }
}

} // namespace

TfrmMain::TfrmMain(std::unique_ptr<ISerialPort> port, QWidget* parent)
    : QMainWindow(parent), FHost(std::make_unique<TMainHost>(*this, std::move(port))) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Tarvo-ТС"));
    setWindowIcon(QIcon(ProgramLogo(64)));
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(ProgramFont());
    setProperty("helpContext", help::MainWindow);

    CreateActions();
    CreateMenusAndToolBar();
    CreatePages();
    CreateStatusBar();
    FHost->Attach();
    DockTraffic = AddFloatingTrafficDock(this, &FHost->Link().TrafficTap());
    ActionTraffic = CreateActionTraffic(DockTraffic);
    if (QMenu* view = ActionMainMenuBar1->findChild<QMenu*>(QStringLiteral("mnView")))
        view->insertAction(actViewToolBar, ActionTraffic);

    // The menu bar lies inside the client area, as the tool bar does.
    setFixedSize(ClientWidth, ClientHeight);
    CentreOnScreen(this);

    // The actions follow the port and the tool bar whenever the application has nothing else to do.
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &TfrmMain::UpdateActions);
    ShowLinkState();
    UpdateActions();
}

TfrmMain::~TfrmMain() {
    // The pages hold the host as their context, and the style window their indicators: they go first.
    FHost->DestroyWindows();
    delete DockTraffic; // listens to the link's tap
    DockTraffic = nullptr;
    delete MainPageCtrl;
    MainPageCtrl = nullptr;
    FHost.reset();
}

void TfrmMain::CreateActions() {
    auto make = [this](const char* name, const QString& caption, const QString& hint, int image) {
        auto* a = Named(new QAction(caption, this), name);
        a->setToolTip(hint);
        if (image >= 0)
            SetActionImage(a, image);
        return a;
    };
    actProgSet = make("actProgSet", QStringLiteral("Настройки"), QStringLiteral("Настройки"), img::Settings);
    FileExit = make("FileExit", QStringLiteral("Выход"), QStringLiteral("Выход"), img::Exit);
    actIndView = make("actIndView", QStringLiteral("Стиль индикаторов"), QStringLiteral("Стиль индикаторов"),
                      img::IndicatorStyle);
    actViewToolBar = make("actViewToolBar", HideToolBarCaption, HideToolBarCaption, -1);
    actConnect = make("actConnect", ConnectCaption, ConnectCaption, img::Connect);
    actFindFirst =
        make("actFindFirst", QStringLiteral("Найти первый"), QStringLiteral("Найти первый"), img::FindFirst);
    // The menu underlines the C; the tool bar shows the caption without the marker.
    actCOMSet = make("actCOMSet", QStringLiteral("Выбор &COM-порта"), QStringLiteral("Выбор COM-порта"),
                     img::ComPort);
    actCOMSet->setIconText(QStringLiteral("Выбор COM-порта"));
    HelpContents1 =
        make("HelpContents1", QStringLiteral("Справка"), QStringLiteral("Help Contents"), img::Help);
    actAbout = make("actAbout", QStringLiteral("О программе"), QStringLiteral("О программе"), img::About);

    connect(actProgSet, &QAction::triggered, this, &TfrmMain::actProgSetExecute);
    connect(FileExit, &QAction::triggered, this, &QWidget::close);
    connect(actIndView, &QAction::triggered, this, &TfrmMain::actIndViewExecute);
    connect(actViewToolBar, &QAction::triggered, this, &TfrmMain::actViewToolBarExecute);
    connect(actConnect, &QAction::triggered, this, &TfrmMain::actConnectExecute);
    connect(actFindFirst, &QAction::triggered, this, &TfrmMain::actFindFirstExecute);
    connect(actCOMSet, &QAction::triggered, this, &TfrmMain::actCOMSetExecute);
    connect(HelpContents1, &QAction::triggered, this, &TfrmMain::HelpContents1Execute);
    connect(actAbout, &QAction::triggered, this, &TfrmMain::actAboutExecute);

    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, &TfrmMain::HelpContents1Execute);
}

void TfrmMain::CreateMenusAndToolBar() {
    ActionMainMenuBar1 = Named(menuBar(), "ActionMainMenuBar1");
    auto menu = [this](const char* name, const QString& title) {
        return Named(ActionMainMenuBar1->addMenu(title), name);
    };
    QMenu* m = menu("mnFile", QStringLiteral("Файл"));
    m->addAction(actProgSet);
    m->addAction(FileExit);
    m = menu("mnView", QStringLiteral("Вид"));
    m->addAction(actIndView);
    m->addSeparator();
    m->addAction(actViewToolBar);
    m = menu("mnConnection", QStringLiteral("Соединение"));
    m->addAction(actConnect);
    m->addAction(actFindFirst);
    m->addSeparator();
    m->addAction(actCOMSet);
    m = menu("mnHelp", QStringLiteral("Помощь"));
    m->addAction(HelpContents1);
    m->addAction(actAbout);

    ActionToolBar1 = Named(addToolBar(QStringLiteral("ActionToolBar1")), "ActionToolBar1");
    ActionToolBar1->setMovable(false);
    ActionToolBar1->setFloatable(false);
    ActionToolBar1->setIconSize(QSize(32, 32));
    ActionToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ActionToolBar1->setFixedHeight(ToolBarHeight);
    for (QAction* a : {actProgSet, actCOMSet, actConnect, actFindFirst, FileExit})
        ActionToolBar1->addAction(a);
}

void TfrmMain::CreatePages() {
    MainPageCtrl = Named(new QTabWidget(this), "MainPageCtrl");
    tsInformation = new TInformationPage(*FHost, MainPageCtrl);
    tsConfiguration = new TConfigurationPage(*FHost, MainPageCtrl);
    tsCalobration = new TCalibrationPage(*FHost, MainPageCtrl);
    tsDiagnostic = new TDiagnosticPage(*FHost, MainPageCtrl);
    for (TDevicePage* page :
         std::initializer_list<TDevicePage*>{tsInformation, tsConfiguration, tsCalobration, tsDiagnostic}) {
        const int i = MainPageCtrl->addTab(page, page->Caption());
        MainPageCtrl->setTabToolTip(i, page->Hint());
    }
    MainPageCtrl->setCurrentWidget(tsInformation);
    setCentralWidget(MainPageCtrl);
}

void TfrmMain::CreateStatusBar() {
    QStatusBar* bar = Named(statusBar(), "StatusBar");
    bar->setSizeGripEnabled(false);
    const int widths[4] = {170, 50, 50, 50};
    for (int i = 0; i < 4; ++i) {
        auto* panel = new TStatusPanel(bar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setMinimumWidth(widths[i]);
        panel->setMinimumHeight(panel->fontMetrics().height() + 4);
        // The last panel runs to the window's edge.
        bar->addWidget(panel, i == 3 ? 1 : 0);
        StatusPanel[std::size_t(i)] = panel;
    }
}

void TfrmMain::SetMessageDialog(TMessageDialog* dialog) {
    FMessages = dialog ? dialog : &FSilent;
}

bool TfrmMain::PortOpen() const {
    return FHooks.IsPortOpen && FHooks.IsPortOpen();
}

void TfrmMain::SetPortPanel(const QString& portName) {
    QLabel* panel = StatusPanel[1];
    const QString text = PortPanelText(portName);
    // A long device path widens the panel up to a limit; beyond it the middle is elided and the tool tip
    // keeps the whole name.
    const QMargins m = panel->contentsMargins();
    // A few pixels over the text's advance: the last glyph's overhang is not cut.
    const int frame = m.left() + m.right() + 4;
    const int needed = panel->fontMetrics().horizontalAdvance(text) + frame;
    const int width = std::clamp(needed, 50, PortPanelMaxWidth);
    panel->setFixedWidth(width);
    panel->setText(panel->fontMetrics().elidedText(text, Qt::ElideMiddle, width - frame));
    panel->setToolTip(portName);
}

void TfrmMain::ShowLinkState() {
    const bool open = PortOpen();
    StatusPanel[0]->setText(open ? Connected : NotConnected);
    SetPortPanel(open && FHooks.PortName ? FHooks.PortName() : QString());
    StatusPanel[2]->clear();
}

void TfrmMain::SetModifiedMarks(bool* info, bool* conf) {
    FInfoModified = info ? info : &FOwnInfoModified;
    FConfModified = conf ? conf : &FOwnConfModified;
}

void TfrmMain::SetInfoModified(bool modified) {
    *FInfoModified = modified;
    StatusPanel[2]->setText(modified ? ModifiedMark : QString());
}

void TfrmMain::SetConfModified(bool modified) {
    *FConfModified = modified;
    StatusPanel[2]->setText(modified ? ModifiedMark : QString());
}

void TfrmMain::ShowOperation(const QString& text) {
    StatusPanel[3]->setText(text);
}

void TfrmMain::ShowError(const QString& text) {
    FMessages->MessageDlg(text, mtError, mbOK);
}

bool TfrmMain::ToolBarShown() const {
    return !ActionToolBar1->isHidden();
}

void TfrmMain::SetToolBarShown(bool shown) {
    if (shown != ToolBarShown()) {
        ActionToolBar1->setVisible(shown);
        setFixedSize(width(), height() + (shown ? ToolBarHeight : -ToolBarHeight));
    }
    const QString caption = shown ? HideToolBarCaption : ShowToolBarCaption;
    actViewToolBar->setText(caption);
    actViewToolBar->setToolTip(caption);
    if (FHooks.ToolBarShownChanged)
        FHooks.ToolBarShownChanged(shown);
}

void TfrmMain::SetActionLook(QAction* action, const QString& caption, int image) {
    if (action->text() != caption) {
        action->setText(caption);
        action->setToolTip(caption);
    }
    if (ActionImage(action) != image)
        SetActionImage(action, image);
}

void TfrmMain::SetConnectAction(const QString& captionAndHint, int imageIndex) {
    SetActionLook(actConnect, captionAndHint, imageIndex);
}

void TfrmMain::UpdateActions() {
    const bool open = PortOpen();
    SetActionLook(actConnect, open ? DisconnectCaption : ConnectCaption,
                  open ? img::Disconnect : img::Connect);
    const QString toolBar = ToolBarShown() ? HideToolBarCaption : ShowToolBarCaption;
    if (actViewToolBar->text() != toolBar) {
        actViewToolBar->setText(toolBar);
        actViewToolBar->setToolTip(toolBar);
    }
}

void TfrmMain::ApplyFormColors() {
    if (FHooks.ApplyFormColors)
        FHooks.ApplyFormColors();
}

void TfrmMain::AskSave(bool modified, const QString& notSaved, const QString& question,
                       const std::function<void()>& write, const std::function<void()>& restore) {
    if (!modified)
        return;
    if (!PortOpen()) {
        FMessages->MessageDlg(notSaved, mtInformation, mbOK);
    } else if (FMessages->MessageDlg(question, mtConfirmation, mbYes | mbNo) == mrYes) {
        QCoreApplication::processEvents();
        if (write)
            write();
    } else if (restore) {
        restore();
    }
}

void TfrmMain::AskSaveInfo() {
    AskSave(*FInfoModified, QStringLiteral("Соединение не установлено. Изменения не сохранены."),
            QStringLiteral("Записать изменения информации в память преобразователя?"),
            FHooks.WriteInformation, FHooks.RestoreInformation);
    SetInfoModified(false);
}

void TfrmMain::AskSaveConfig() {
    AskSave(*FConfModified, QStringLiteral("Соединение не установлено. Изменения конфигурации не сохранены."),
            QStringLiteral("Записать изменения конфигурации в память преобразователя?"),
            FHooks.WriteConfiguration, FHooks.RestoreConfiguration);
    SetConfModified(false);
}

void TfrmMain::actProgSetExecute() {
    if (FHooks.ShowSettingsDialog)
        FHooks.ShowSettingsDialog();
}

void TfrmMain::actIndViewExecute() {
    if (FHooks.ShowIndicatorStyles)
        FHooks.ShowIndicatorStyles();
}

void TfrmMain::actViewToolBarExecute() {
    SetToolBarShown(!ToolBarShown());
}

void TfrmMain::actConnectExecute() {
    if (PortOpen()) {
        if (FHooks.BreakConnection)
            FHooks.BreakConnection();
    } else if (FHooks.ShowConnectDialog) {
        FHooks.ShowConnectDialog();
    }
}

void TfrmMain::actFindFirstExecute() {
    if (FHooks.FindFirstDevice)
        FHooks.FindFirstDevice();
}

void TfrmMain::actCOMSetExecute() {
    if (PortOpen()) {
        if (FMessages->MessageDlg(QStringLiteral("Разорвать установленное соединение?"), mtConfirmation,
                                  mbYes | mbNo) != mrYes)
            return;
        if (FHooks.BreakConnection)
            FHooks.BreakConnection();
    }
    if (FHooks.ShowComPortDialog)
        FHooks.ShowComPortDialog();
}

void TfrmMain::HelpContents1Execute() {
    ShowHelpContents();
}

void TfrmMain::actAboutExecute() {
    if (!FAbout)
        FAbout = new TfrmAbout(this);
    FAbout->show();
    FAbout->raise();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    // Closing cannot be cancelled. A second request while the questions are still open is the same
    // closing: it only waits for the first.
    if (FClosing) {
        event->ignore();
        return;
    }
    FClosing = true;
    Quietly([this] { AskSaveInfo(); });
    Quietly([this] { AskSaveConfig(); });
    Quietly(FHooks.SaveSettings);
    FClosing = false;
    event->accept();
}

void TfrmMain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::ActivationChange)
        return;
    ApplyFormColors();
    if (!isActiveWindow())
        return;
    ActionToolBar1->update();
    for (QWidget* w : {FProgressWindow.data(), FMessageWindow.data()})
        if (w && w->isVisible())
            w->raise();
}

QMenu* TfrmMain::createPopupMenu() {
    // The tool bar is switched by its menu item only.
    return nullptr;
}
