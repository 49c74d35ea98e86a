#include "TFormMain.h"

#include "DockTraffic.h"
#include "GroupBoxes.h"
#include "IconTable.h"
#include "LcdIndicator.h"
#include "LimitSpinBox.h"
#include "Logging.h"
#include "MessageService.h"
#include "ModbusRtu.h"
#include "PageRules.h"
#include "PictureStrip.h"
#include "PortAccess.h"
#include "TFormEnterCorrNSX.h"
#include "TfrmAbout.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QShortcut>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

namespace {

QString g_helpFile;

// Port list that is refilled each time it drops down.
class TPortComboBox final : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> onDropDown;
    void showPopup() override {
        if (onDropDown)
            onDropDown();
        QComboBox::showPopup();
    }
};

TBaudRate BaudIndexToRate(int index) {
    if (index >= 0 && index < tarvo::BaudListCount)
        return BaudListRates[index];
    return CBR_9600;
}

QString Bps(TBaudRate rate) {
    return QString::number(BaudRateToInt(rate));
}

template <class W> W* Named(W* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

QGroupBox* Box(const char* name, const QString& caption, QWidget* parent) {
    return Named(new QGroupBox(caption, parent), name);
}

TLcdIndicator* Indicator(const char* name, int signs, QWidget* parent) {
    auto* ind = Named(new TLcdIndicator(parent), name);
    ind->setColorScheme(TLcdIndicator::csBlack);
    ind->setSignNumber(signs);
    ind->setIndicatorKind(TLcdIndicator::ik7segment);
    return ind;
}

QToolButton* ActionButton(QAction* action, const char* name, QWidget* parent) {
    auto* b = Named(new QToolButton(parent), name);
    b->setDefaultAction(action);
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setIconSize(QSize(24, 24));
    b->setMinimumWidth(110);
    return b;
}

// The port panel's widest: a device path of /dev/serial/by-id length is shortened to it.
constexpr int kPortPanelMaxWidth = 260;

constexpr int kHelpMain = 3, kHelpConnect = 5, kHelpConfig = 6, kHelpCalibr = 7, kHelpDiag = 8;

} // namespace

void SetApplicationHelpFile(const QString& path) {
    g_helpFile = path;
}
QString ApplicationHelpFile() {
    return g_helpFile;
}

// ---------------------------------------------------------------------------------------------------
// Frame

TFormMain::TFormMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("Tarvo-ТС-ТП"));
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    setProperty("helpContext", kHelpMain);

    CreateActions();
    CreateMenusAndToolBar();

    PageControl = Named(new QTabWidget(this), "PageControl");
    TabSheetConnect = CreateConnectPage();
    TabSheetDeviceConfig = CreateConfigPage();
    TabSheetCalibr = CreateCalibrPage();
    TabSheetDiag = CreateDiagPage();
    PageControl->addTab(TabSheetConnect, QStringLiteral("Соединение"));
    PageControl->addTab(TabSheetDeviceConfig, QStringLiteral("Конфигурация"));
    PageControl->addTab(TabSheetCalibr, QStringLiteral("Настройка"));
    PageControl->addTab(TabSheetDiag, QStringLiteral("Диагностика"));

    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 4, 0);
    row->setSpacing(4);
    auto* strip = Named(new TPictureStrip(central), "ImageStrip");
    strip->setFixedWidth(150);
    row->addWidget(strip);
    row->addWidget(PageControl, 1);
    setCentralWidget(central);
    CreateStatusBar();
    DockTraffic = AddFloatingTrafficDock(this, &LinkTrafficTap());
    ActionTraffic = CreateActionTraffic(DockTraffic);
    if (QMenu* diag = menuBar()->findChild<QMenu*>(QStringLiteral("MenuDiag"))) {
        diag->addSeparator();
        diag->addAction(ActionTraffic);
    }

    TimerDiagPoll = Named(new QTimer(this), "TimerDiagPoll");
    TimerDiagPoll->setInterval(2000);
    connect(TimerDiagPoll, &QTimer::timeout, this, &TFormMain::TimerDiagPollTimer);
    FShownPage = PageControl->currentWidget();
    connect(PageControl, &QTabWidget::currentChanged, this, [this] {
        QWidget* entered = PageControl->currentWidget();
        if (entered == FShownPage)
            return;
        PageControlChanging(FShownPage);
        FShownPage = entered;
        PageControlChange(entered);
    });
    for (QObject* field :
         {static_cast<QObject*>(EditSensorNumber), static_cast<QObject*>(JvSpinEditTopTBound),
          static_cast<QObject*>(JvSpinEditBottomTBound), static_cast<QObject*>(JvSpinEditCalibrLead)})
        field->installEventFilter(this);

    FormCreate();
    frmAbout = new TfrmAbout(this);
    FormEnterCorrNSX = new TFormEnterCorrNSX(this);

    // The client area is 794 x 571 below the menu bar; the window cannot be resized.
    setFixedSize(794, 571 + menuBar()->sizeHint().height());
}

TFormMain::~TFormMain() {
    if (FPrgState != PSHalt)
        FormClose();
    SetQueueCounterHandler({});
    RestoreCursor();
}

void TFormMain::CreateActions() {
    auto make = [this](const char* name, const QString& caption, const QString& hint, int image) {
        auto* a = Named(new QAction(caption, this), name);
        a->setToolTip(hint);
        a->setStatusTip(hint);
        if (image >= 0)
            SetActionImage(a, image);
        return a;
    };
    ActionFind =
        make("ActionFind", QStringLiteral("Поиск"), QStringLiteral("Поиск преобразователей"), img::Find);
    ActionFind->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    ActionConnect =
        make("ActionConnect", QStringLiteral("Подключить"), QStringLiteral("Подключить"), img::Connect);
    ActionConnect->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    ActionFileExit =
        make("ActionFileExit", QStringLiteral("Выход"), QStringLiteral("Выйти из программы"), img::Exit);
    ActionReadConfig = make("ActionReadConfig", QStringLiteral("Прочитать"),
                            QStringLiteral("Прочитать конфигурацию преобразователя"), img::ReadConfig);
    ActionWriteConfig = make("ActionWriteConfig", QStringLiteral("Записать"),
                             QStringLiteral("Записать конфигурацию преобразователя"), img::WriteConfig);
    ActionReadDopData = make("ActionReadDopData", QStringLiteral("Прочитать"),
                             QStringLiteral("Прочитать параметры датчика"), img::ReadDopData);
    ActionWriteDopData = make("ActionWriteDopData", QStringLiteral("Записать"),
                              QStringLiteral("Записать параметры датчика"), img::WriteDopData);
    ActionStartStopDiagnostics = make("ActionStartStopDiagnostics", QStringLiteral("Начать измерения"),
                                      QStringLiteral("Запустить диагностику"), img::StartMeasure);
    ActionZeroCorrection = make("ActionZeroCorrection", QStringLiteral("Подстройка \"0\""),
                                QStringLiteral("Подстройка \"0\""), img::ZeroCorrection);
    ActionResetZeroCorrection = make("ActionResetZeroCorrection", QStringLiteral("Сбросить подстройку \"0\""),
                                     QStringLiteral("Сбросить подстройку \"0\""), img::ResetZeroCorrection);
    ActionNSXCorrection = make("ActionNSXCorrection", QStringLiteral("Подстройка НСХ"),
                               QStringLiteral("Подстройка НСХ"), img::NsxCorrection);
    ActionResetNSXCorrection = make("ActionResetNSXCorrection", QStringLiteral("Сбросить подстройку НСХ"),
                                    QStringLiteral("Сбросить подстройку НСХ"), img::ResetNsxCorrection);
    ActionCalibr = make("ActionCalibr", QStringLiteral("Начать настройку"),
                        QStringLiteral("Начать настройку"), img::Calibr);
    ActionHelpContents =
        make("ActionHelpContents", QStringLiteral("Справка"), QStringLiteral("Вызов справки"), img::Help);
    ActionAbout =
        make("ActionAbout", QStringLiteral("О программе"), QStringLiteral("О программе"), img::About);

    connect(ActionFind, &QAction::triggered, this, &TFormMain::ActionFindExecute);
    connect(ActionConnect, &QAction::triggered, this, &TFormMain::ActionConnectExecute);
    connect(ActionFileExit, &QAction::triggered, this, &QWidget::close);
    connect(ActionHelpContents, &QAction::triggered, this, &TFormMain::ActionHelpContentsExecute);
    connect(ActionAbout, &QAction::triggered, this, &TFormMain::ActionAboutExecute);
    connect(ActionReadConfig, &QAction::triggered, this, &TFormMain::ActionReadConfigExecute);
    connect(ActionReadDopData, &QAction::triggered, this, &TFormMain::ActionReadDopDataExecute);
    connect(ActionWriteConfig, &QAction::triggered, this, &TFormMain::ActionWriteConfigExecute);
    connect(ActionWriteDopData, &QAction::triggered, this, &TFormMain::ActionWriteDopDataExecute);
    connect(ActionCalibr, &QAction::triggered, this, &TFormMain::ActionCalibrExecute);
    connect(ActionStartStopDiagnostics, &QAction::triggered, this, &TFormMain::StartStopDiagnostics);
    connect(ActionZeroCorrection, &QAction::triggered, this, &TFormMain::PerformZeroCorrection);
    connect(ActionResetZeroCorrection, &QAction::triggered, this, &TFormMain::ClearZeroCorrection);
    connect(ActionNSXCorrection, &QAction::triggered, this, &TFormMain::PerformNSXCorrection);
    connect(ActionResetNSXCorrection, &QAction::triggered, this, &TFormMain::ClearNSXCorrection);
    ActionHelpContents->setEnabled(!ApplicationHelpFile().isEmpty());
}

void TFormMain::CreateMenusAndToolBar() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu"));
    QMenu* m = bar->addMenu(QStringLiteral("Соединение"));
    m->setObjectName(QStringLiteral("MenuConnection"));
    m->addAction(ActionConnect);
    m->addAction(ActionFind);
    m->addSeparator();
    m->addAction(ActionFileExit);
    m = bar->addMenu(QStringLiteral("Конфигурация"));
    m->setObjectName(QStringLiteral("MenuConfig"));
    m->addAction(ActionReadConfig);
    m->addAction(ActionWriteConfig);
    m = bar->addMenu(QStringLiteral("Диагностика"));
    m->setObjectName(QStringLiteral("MenuDiag"));
    m->addAction(ActionStartStopDiagnostics);
    m->addSeparator();
    m->addAction(ActionZeroCorrection);
    m->addAction(ActionResetZeroCorrection);
    m->addSeparator();
    m->addAction(ActionNSXCorrection);
    m->addAction(ActionResetNSXCorrection);
    m = bar->addMenu(QStringLiteral("Помощь"));
    m->setObjectName(QStringLiteral("MenuHelp"));
    m->addAction(ActionHelpContents);
    m->addAction(ActionAbout);

    QToolBar* tb = addToolBar(QStringLiteral("ToolBar"));
    tb->setObjectName(QStringLiteral("ToolBar"));
    tb->setMovable(false);
    tb->setFloatable(false);
    tb->setIconSize(QSize(32, 32));
    tb->setToolButtonStyle(Qt::ToolButtonIconOnly);
    tb->setContextMenuPolicy(Qt::PreventContextMenu);
    tb->addAction(ActionFind);
    tb->addAction(ActionConnect);
    tb->addSeparator();
    tb->addAction(ActionStartStopDiagnostics);
    tb->addSeparator();
    tb->addAction(ActionFileExit);
    auto* spacer = new QWidget(tb);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    tb->addWidget(spacer);
    StaticText1 = Named(new QLabel(tb), "StaticText1");
    StaticText1->setContentsMargins(0, 0, 8, 0);
    // A tool bar shows and hides the widgets it holds by their actions.
    FQueueCounterAction = tb->addWidget(StaticText1);

    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, &TFormMain::ActionHelpContentsExecute);
}

QWidget* TFormMain::CreateConnectPage() {
    auto* page = Named(new QWidget, "TabSheetConnect");
    page->setProperty("helpContext", kHelpConnect);

    GroupBoxSearch = Box("GroupBoxSearch", QStringLiteral(" Поиск "), page);
    JvSpinEditSlaveID = Named(new QSpinBox(GroupBoxSearch), "JvSpinEditSlaveID");
    JvSpinEditSlaveID->setRange(1, modbus::MaxSlaveAddress);
    JvSpinEditSlaveID->setValue(1);
    CheckBoxSearchAllAddresses =
        Named(new QCheckBox(QStringLiteral("Искать по всем адресам"), GroupBoxSearch),
              "CheckBoxSearchAllAddresses");
    auto* ports = new TPortComboBox(GroupBoxSearch);
    ports->onDropDown = [this] { ComboBoxComPortDropDown(); };
    ComboBoxComPort = Named<QComboBox>(ports, "ComboBoxComPort");
    ComboBoxComPort->setMinimumWidth(160);
    CheckBoxSearchAllPorts = Named(new QCheckBox(QStringLiteral("Искать по всем портам"), GroupBoxSearch),
                                   "CheckBoxSearchAllPorts");
    CheckBoxOnlyUSBdevices =
        Named(new QCheckBox(QStringLiteral("Только 9600 бод"), GroupBoxSearch), "CheckBoxOnlyUSBdevices");
    PanelBaudrate = Named(new QWidget(GroupBoxSearch), "PanelBaudrate");
    ComboBoxBaudRates = Named(new QComboBox(PanelBaudrate), "ComboBoxBaudRates");
    CheckBoxSearchAllBaudRates =
        Named(new QCheckBox(QStringLiteral("Искать по всем скоростям"), PanelBaudrate),
              "CheckBoxSearchAllBaudRates");
    ProgressBarFind = Named(new QProgressBar(GroupBoxSearch), "ProgressBarFind");
    ProgressBarFind->setTextVisible(false);
    SpeedButtonFindAllDevices = ActionButton(ActionFind, "SpeedButtonFindAllDevices", GroupBoxSearch);

    auto* baudRow = new QHBoxLayout(PanelBaudrate);
    baudRow->setContentsMargins(0, 0, 0, 0);
    baudRow->addWidget(new QLabel(QStringLiteral("Скорость, бод:"), PanelBaudrate));
    baudRow->addWidget(ComboBoxBaudRates);
    baudRow->addSpacing(12);
    baudRow->addWidget(CheckBoxSearchAllBaudRates);
    baudRow->addStretch();

    auto* g = new QGridLayout(GroupBoxSearch);
    g->addWidget(new QLabel(QStringLiteral("Адрес:"), GroupBoxSearch), 0, 0);
    g->addWidget(JvSpinEditSlaveID, 0, 1);
    g->addWidget(CheckBoxSearchAllAddresses, 0, 2);
    g->addWidget(new QLabel(QStringLiteral("Порт:"), GroupBoxSearch), 1, 0);
    g->addWidget(ComboBoxComPort, 1, 1);
    g->addWidget(CheckBoxSearchAllPorts, 1, 2);
    g->addWidget(CheckBoxOnlyUSBdevices, 2, 0, 1, 3);
    g->addWidget(PanelBaudrate, 3, 0, 1, 3);
    g->addWidget(SpeedButtonFindAllDevices, 0, 3, 2, 1, Qt::AlignRight | Qt::AlignTop);
    g->addWidget(ProgressBarFind, 4, 0, 1, 4);
    g->setColumnStretch(2, 1);

    connect(CheckBoxSearchAllAddresses, &QCheckBox::toggled, JvSpinEditSlaveID, &QWidget::setDisabled);
    connect(CheckBoxSearchAllPorts, &QCheckBox::toggled, ComboBoxComPort, &QWidget::setDisabled);
    connect(CheckBoxSearchAllBaudRates, &QCheckBox::toggled, ComboBoxBaudRates, &QWidget::setDisabled);
    connect(CheckBoxOnlyUSBdevices, &QCheckBox::toggled, PanelBaudrate, &QWidget::setHidden);

    GroupBoxTarvoList = Box("GroupBoxTarvoList", QStringLiteral(" Преобразователи "), page);
    StringGridDevices = Named(new QTableWidget(1, 4, GroupBoxTarvoList), "StringGridDevices");
    StringGridDevices->setHorizontalHeaderLabels({QStringLiteral("Наименование"), QStringLiteral("СОМ-порт"),
                                                  QStringLiteral("Адрес"), QStringLiteral("Скорость")});
    const int widths[4] = {292, 70, 70, 70};
    for (int c = 0; c < 4; ++c)
        StringGridDevices->setColumnWidth(c, widths[c]);
    StringGridDevices->verticalHeader()->hide();
    StringGridDevices->verticalHeader()->setDefaultSectionSize(20);
    StringGridDevices->horizontalHeader()->setHighlightSections(false);
    StringGridDevices->setSelectionBehavior(QAbstractItemView::SelectRows);
    StringGridDevices->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGridDevices->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGridDevices->setMinimumHeight(110);
    StringGridDevices->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(StringGridDevices, &QTableWidget::currentCellChanged, this,
            [this](int row, int, int, int) { UpdateConnectButton(row + 1); });
    SpeedButtonConnect = ActionButton(ActionConnect, "SpeedButtonConnect", GroupBoxTarvoList);
    auto* list = new QVBoxLayout(GroupBoxTarvoList);
    list->addWidget(StringGridDevices, 1);
    list->addWidget(SpeedButtonConnect, 0, Qt::AlignRight);

    GroupBoxTarvoDopData = Box("GroupBoxTarvoDopData", QStringLiteral(" Параметры датчика "), page);
    EditSensorName = Named(new QLineEdit(GroupBoxTarvoDopData), "EditSensorName");
    // The transducer keeps 28 characters; a longer text is cut there, never inside a character.
    connect(EditSensorName, &QLineEdit::textChanged, this, [this](const QString& text) {
        const QString cut = CutSensorName(text);
        if (cut == text)
            return;
        const int pos = qMin(EditSensorName->cursorPosition(), int(cut.size()));
        EditSensorName->setText(cut);
        EditSensorName->setCursorPosition(pos);
    });
    EditSensorNumber = Named(new QLineEdit(GroupBoxTarvoDopData), "EditSensorNumber");
    EditSensorNumber->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]*")), EditSensorNumber));
    auto* d = new QGridLayout(GroupBoxTarvoDopData);
    d->addWidget(new QLabel(QStringLiteral("Тип датчика"), GroupBoxTarvoDopData), 0, 0);
    d->addWidget(EditSensorName, 0, 1);
    d->addWidget(new QLabel(QStringLiteral("Номер датчика"), GroupBoxTarvoDopData), 1, 0);
    d->addWidget(EditSensorNumber, 1, 1);
    d->addWidget(ActionButton(ActionReadDopData, "SpeedButtonReadDopData", GroupBoxTarvoDopData), 0, 2);
    d->addWidget(ActionButton(ActionWriteDopData, "SpeedButtonWriteDopData", GroupBoxTarvoDopData), 1, 2);
    d->setColumnStretch(1, 1);

    auto* col = new QVBoxLayout(page);
    col->addWidget(GroupBoxSearch);
    col->addWidget(GroupBoxTarvoList, 1);
    col->addWidget(GroupBoxTarvoDopData);
    return page;
}

QWidget* TFormMain::CreateConfigPage() {
    auto* page = Named(new QWidget, "TabSheetDeviceConfig");
    page->setProperty("helpContext", kHelpConfig);

    auto* sensorBox = Box("GroupBoxSensorType", QStringLiteral(" Тип датчика "), page);
    CheckListBoxSensorType = Named(new QListWidget(sensorBox), "CheckListBoxSensorType");
    CheckListBoxSensorType->setSelectionMode(QAbstractItemView::SingleSelection);
    (new QVBoxLayout(sensorBox))->addWidget(CheckListBoxSensorType);
    connect(CheckListBoxSensorType, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        SelectSensorTypeByItemindex(CheckListBoxSensorType->row(item));
    });
    // A check mark set or taken away from the keyboard: exactly one type stays checked.
    connect(CheckListBoxSensorType, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        SelectSensorTypeByItemindex(CheckListBoxSensorType->row(item));
    });

    GroupBoxWireScheme = Box("GroupBoxWireScheme", QStringLiteral(" Схема подключения "), page);
    RadioButton3WiredScheme = Named(new QRadioButton(QStringLiteral("3-х проводная"), GroupBoxWireScheme),
                                    "RadioButton3WiredScheme");
    RadioButton4WiredScheme = Named(new QRadioButton(QStringLiteral("4-х проводная"), GroupBoxWireScheme),
                                    "RadioButton4WiredScheme");
    auto* wire = new QVBoxLayout(GroupBoxWireScheme);
    wire->addWidget(RadioButton3WiredScheme);
    wire->addWidget(RadioButton4WiredScheme);

    GroupBoxTempRange = Box("GroupBoxTempRange", QStringLiteral(" Диапазон преобразования "), page);
    JvSpinEditTopTBound = Named(new TLimitSpinBox(GroupBoxTempRange), "JvSpinEditTopTBound");
    JvSpinEditBottomTBound = Named(new TLimitSpinBox(GroupBoxTempRange), "JvSpinEditBottomTBound");
    for (QSpinBox* s : {JvSpinEditTopTBound, JvSpinEditBottomTBound}) {
        s->setSingleStep(10);
        s->setMinimumWidth(80);
    }
    LabelMaxTemp = Named(new QLabel(GroupBoxTempRange), "LabelMaxTemp");
    LabelMinTemp = Named(new QLabel(GroupBoxTempRange), "LabelMinTemp");
    auto* range = new QGridLayout(GroupBoxTempRange);
    range->addWidget(new QLabel(QStringLiteral("Верхняя граница"), GroupBoxTempRange), 0, 0);
    range->addWidget(JvSpinEditTopTBound, 0, 1);
    range->addWidget(LabelMaxTemp, 0, 2);
    range->addWidget(new QLabel(QStringLiteral("Нижняя граница"), GroupBoxTempRange), 1, 0);
    range->addWidget(JvSpinEditBottomTBound, 1, 1);
    range->addWidget(LabelMinTemp, 1, 2);

    GroupBoxCurrentOutputParams =
        Box("GroupBoxCurrentOutputParams", QStringLiteral(" Выходной сигнал "), page);
    RadioButtonDirectCurrentOutput =
        Named(new QRadioButton(QStringLiteral("Прямой"), GroupBoxCurrentOutputParams),
              "RadioButtonDirectCurrentOutput");
    RadioButtonInvertedCurrentOutput =
        Named(new QRadioButton(QStringLiteral("Инверсный"), GroupBoxCurrentOutputParams),
              "RadioButtonInvertedCurrentOutput");
    ComboBoxCurrentOutputRange =
        Named(new QComboBox(GroupBoxCurrentOutputParams), "ComboBoxCurrentOutputRange");
    ComboBoxCurrentOutputRange->addItems(
        {QStringLiteral("4 - 20 мА"), QStringLiteral("0 - 5 мА"), QStringLiteral("0 - 20 мА")});
    connect(ComboBoxCurrentOutputRange, &QComboBox::currentIndexChanged, this,
            [this] { ComboBoxCurrentOutputRangeChange(); });
    GroupBoxAlarmCurrent =
        Box("GroupBoxAlarmCurrent", QStringLiteral(" Аварийный сигнал "), GroupBoxCurrentOutputParams);
    const char* alarmNames[5] = {"RadioButtonAlarmCurrent3_2", "RadioButtonAlarmCurrent3_6",
                                 "RadioButtonAlarmCurrent21", "RadioButtonAlarmCurrent22",
                                 "RadioButtonAlarmCurrent5_5"};
    const QString alarmTexts[5] = {QStringLiteral("3,2 мА"), QStringLiteral("3,6 мА"),
                                   QStringLiteral("21 мА"), QStringLiteral("22 мА"),
                                   QStringLiteral("5,5 мА")};
    auto* alarm = new QGridLayout(GroupBoxAlarmCurrent);
    for (int i = 0; i < 5; ++i) {
        AlarmButtons[std::size_t(i)] =
            Named(new QRadioButton(alarmTexts[i], GroupBoxAlarmCurrent), alarmNames[i]);
        alarm->addWidget(AlarmButtons[std::size_t(i)], i % 3, i / 3);
    }
    auto* out = new QGridLayout(GroupBoxCurrentOutputParams);
    out->addWidget(RadioButtonDirectCurrentOutput, 0, 0);
    out->addWidget(RadioButtonInvertedCurrentOutput, 1, 0);
    out->addWidget(ComboBoxCurrentOutputRange, 0, 1);
    out->addWidget(GroupBoxAlarmCurrent, 2, 0, 1, 2);

    GroupBoxAveraging = Box("GroupBoxAveraging", QStringLiteral(" Усреднение измерений "), page);
    CheckBoxAveragingTurnOn =
        Named(new QCheckBox(QStringLiteral("Включить"), GroupBoxAveraging), "CheckBoxAveragingTurnOn");
    JvSpinEditAveragingTime = Named(new QSpinBox(GroupBoxAveraging), "JvSpinEditAveragingTime");
    JvSpinEditAveragingTime->setRange(1, 30);
    connect(CheckBoxAveragingTurnOn, &QCheckBox::toggled, this, [this] { CheckBoxAveragingTurnOnClick(); });
    auto* avg = new QHBoxLayout(GroupBoxAveraging);
    avg->addWidget(CheckBoxAveragingTurnOn);
    avg->addWidget(JvSpinEditAveragingTime);
    avg->addWidget(new QLabel(QStringLiteral("сек."), GroupBoxAveraging));
    avg->addStretch();

    GroupBoxConfSlaveID = Box("GroupBoxConfSlaveID", QStringLiteral(" Адрес (1..247) "), page);
    JvSpinEditConfSlaveID = Named(new QSpinBox(GroupBoxConfSlaveID), "JvSpinEditConfSlaveID");
    JvSpinEditConfSlaveID->setRange(1, modbus::MaxSlaveAddress);
    (new QHBoxLayout(GroupBoxConfSlaveID))->addWidget(JvSpinEditConfSlaveID);

    GroupBoxConfBaudRate = Box("GroupBoxConfBaudRate", QStringLiteral(" Скорость передачи "), page);
    ComboBoxConfBaudrate = Named(new QComboBox(GroupBoxConfBaudRate), "ComboBoxConfBaudrate");
    ComboBoxConfBaudrate->setEditable(true); // the rate may be typed; the write checks it
    ComboBoxConfBaudrate->setInsertPolicy(QComboBox::NoInsert);
    (new QHBoxLayout(GroupBoxConfBaudRate))->addWidget(ComboBoxConfBaudrate);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ActionButton(ActionReadConfig, "SpeedButtonReadConfig", page));
    buttons->addWidget(ActionButton(ActionWriteConfig, "SpeedButtonWriteConfig", page));

    auto* left = new QVBoxLayout;
    left->addWidget(sensorBox, 1);
    left->addWidget(GroupBoxWireScheme);
    auto* addrBaud = new QHBoxLayout;
    addrBaud->addWidget(GroupBoxConfSlaveID);
    addrBaud->addWidget(GroupBoxConfBaudRate);
    auto* right = new QVBoxLayout;
    right->addWidget(GroupBoxTempRange);
    right->addWidget(GroupBoxCurrentOutputParams);
    right->addWidget(GroupBoxAveraging);
    right->addLayout(addrBaud);
    right->addStretch();
    auto* cols = new QHBoxLayout;
    cols->addLayout(left, 1);
    cols->addLayout(right, 1);
    auto* col = new QVBoxLayout(page);
    col->addLayout(cols, 1);
    col->addLayout(buttons);
    return page;
}

QWidget* TFormMain::CreateCalibrPage() {
    auto* page = Named(new QWidget, "TabSheetCalibr");
    page->setProperty("helpContext", kHelpCalibr);
    LabelCalibrMessage = Named(new QLabel(page), "LabelCalibrMessage");
    LabelCalibrMessage->setAlignment(Qt::AlignCenter);
    LabelCalibrMessage->setWordWrap(true);
    LabelCalibrMessage->setFrameShape(QFrame::StyledPanel);
    {
        TTarvoDevice none;
        LabelCalibrMessage->setText(none.GetCalibrMessage());
    }
    PanelCalibrMeasuredCurrentValue = Named(new QWidget(page), "PanelCalibrMeasuredCurrentValue");
    JvSpinEditCalibrLead = Named(new TLimitSpinBox(PanelCalibrMeasuredCurrentValue), "JvSpinEditCalibrLead");
    JvSpinEditCalibrLead->setMinimumWidth(90);
    auto* cur = new QHBoxLayout(PanelCalibrMeasuredCurrentValue);
    cur->addStretch();
    cur->addWidget(new QLabel(QStringLiteral("Измеряемый ток"), PanelCalibrMeasuredCurrentValue));
    cur->addWidget(JvSpinEditCalibrLead);
    cur->addWidget(new QLabel(QStringLiteral("мкА"), PanelCalibrMeasuredCurrentValue));
    cur->addStretch();
    PanelCalibrMeasuredCurrentValue->hide();

    SpeedButtonStartCalibr = ActionButton(ActionCalibr, "SpeedButtonStartCalibr", page);
    SpeedButtonCancelCalibr = Named(new QToolButton(page), "SpeedButtonCancelCalibr");
    SpeedButtonCancelCalibr->setText(QStringLiteral("Отмена"));
    SpeedButtonCancelCalibr->setMinimumWidth(110);
    SpeedButtonCancelCalibr->hide();
    SpeedButtonCancelCalibr->setToolButtonStyle(Qt::ToolButtonTextOnly);
    SpeedButtonCancelCalibr->setMinimumHeight(32);
    connect(SpeedButtonCancelCalibr, &QToolButton::clicked, this, &TFormMain::FinishCalibration);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(SpeedButtonStartCalibr);
    buttons->addWidget(SpeedButtonCancelCalibr);
    buttons->addStretch();

    auto* col = new QVBoxLayout(page);
    col->addWidget(LabelCalibrMessage, 1);
    col->addWidget(PanelCalibrMeasuredCurrentValue);
    col->addLayout(buttons);
    return page;
}

QWidget* TFormMain::CreateDiagPage() {
    auto* page = Named(new QWidget, "TabSheetDiag");
    page->setProperty("helpContext", kHelpDiag);

    IndicatorT = Indicator("IndicatorT", 6, page);
    IndicatorRU = Indicator("IndicatorRU", 6, page);
    IndicatorRline = Indicator("IndicatorRline", 6, page);
    IndicatorTkor = Indicator("IndicatorTkor", 6, page);
    auto* values = new QGridLayout;
    auto addRow = [&](int r, const char* label, const QString& text, TLcdIndicator* ind, const char* unitName,
                      const QString& unit, QLabel** labelOut = nullptr, QLabel** unitOut = nullptr) {
        auto* l = Named(new QLabel(text, page), label);
        auto* u = Named(new QLabel(unit, page), unitName);
        values->addWidget(l, r, 0);
        values->addWidget(ind, r, 1);
        values->addWidget(u, r, 2);
        if (labelOut)
            *labelOut = l;
        if (unitOut)
            *unitOut = u;
    };
    addRow(0, "LabelT", QStringLiteral("T"), IndicatorT, "LabelTUnits", QStringLiteral("°С"));
    addRow(1, "LabelRU", QStringLiteral("R"), IndicatorRU, "LabelRUUnits", QStringLiteral("Ом"), &LabelRU,
           &LabelRUUnits);
    addRow(2, "LabelRLine", QStringLiteral("R линии"), IndicatorRline, "LabelRLineUnits",
           QStringLiteral("Ом"), &LabelRLine, &LabelRLineUnits);
    addRow(3, "LabelTkor", QStringLiteral("Т корпуса"), IndicatorTkor, "LabelTkorUnits",
           QStringLiteral("°С"));

    auto* selfDiag = Box("GroupBoxSelfDiag", QStringLiteral(" Состояние диагностики "), page);
    LabelSelfDiag = Named(new QLabel(selfDiag), "LabelSelfDiag");
    LabelSelfDiag->setWordWrap(true);
    (new QVBoxLayout(selfDiag))->addWidget(LabelSelfDiag);

    auto* lastCalibr = Box("GroupBoxLastCalibr", QStringLiteral(" Последняя настройка "), page);
    IndicatorCalibrDate = Indicator("IndicatorCalibrDate", 8, lastCalibr);
    EditCalibrNum = Named(new QLineEdit(lastCalibr), "EditCalibrNum");
    EditCalibrNum->setReadOnly(true);
    auto* lc = new QGridLayout(lastCalibr);
    lc->addWidget(new QLabel(QStringLiteral("Дата:"), lastCalibr), 0, 0);
    lc->addWidget(IndicatorCalibrDate, 0, 1);
    lc->addWidget(new QLabel(QStringLiteral("Номер:"), lastCalibr), 1, 0);
    lc->addWidget(EditCalibrNum, 1, 1);

    SpeedButtonStartDiagPolling =
        ActionButton(ActionStartStopDiagnostics, "SpeedButtonStartDiagPolling", page);
    SpeedButtonStartDiagPolling->setMinimumWidth(170);

    GroupBoxZeroCorrection = Box("GroupBoxZeroCorrection", QStringLiteral(" Подстройка \"0\" "), page);
    auto* zero = new QHBoxLayout(GroupBoxZeroCorrection);
    zero->addWidget(ActionButton(ActionZeroCorrection, "SpeedButtonZeroCorrection", GroupBoxZeroCorrection));
    auto* zeroReset =
        ActionButton(ActionResetZeroCorrection, "SpeedButtonResetZeroCorrection", GroupBoxZeroCorrection);
    zero->addWidget(zeroReset);
    GroupBoxNSXCorrection = Box("GroupBoxNSXCorrection", QStringLiteral(" Подстройка НСХ "), page);
    auto* nsx = new QHBoxLayout(GroupBoxNSXCorrection);
    nsx->addWidget(ActionButton(ActionNSXCorrection, "SpeedButtonNSXCorrection", GroupBoxNSXCorrection));
    auto* nsxReset =
        ActionButton(ActionResetNSXCorrection, "SpeedButtonResetNSXCorrection", GroupBoxNSXCorrection);
    nsx->addWidget(nsxReset);
    // The reset buttons read "Сбросить"; the actions keep their full captions for the menu.
    for (QToolButton* b : {zeroReset, nsxReset}) {
        b->setMinimumWidth(90);
        connect(b->defaultAction(), &QAction::changed, b, [b] { b->setText(QStringLiteral("Сбросить")); });
        b->setText(QStringLiteral("Сбросить"));
    }

    auto* left = new QVBoxLayout;
    left->addLayout(values);
    left->addWidget(SpeedButtonStartDiagPolling, 0, Qt::AlignLeft);
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(selfDiag);
    right->addWidget(lastCalibr);
    right->addWidget(GroupBoxZeroCorrection);
    right->addWidget(GroupBoxNSXCorrection);
    right->addStretch();
    auto* row = new QHBoxLayout(page);
    row->addLayout(left, 1);
    row->addLayout(right, 1);
    return page;
}

void TFormMain::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    bar->setSizeGripEnabled(false);
    const int widths[4] = {170, 80, 50, 50};
    for (int i = 0; i < 4; ++i) {
        auto* l = new QLabel(bar);
        l->setObjectName(QStringLiteral("StatusBarPanel%1").arg(i));
        l->setMinimumWidth(widths[i]);
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        l->setContentsMargins(3, 0, 3, 0);
        if (i == 1)
            l->setMaximumWidth(kPortPanelMaxWidth);
        // The progress panel takes what the others leave; the others grow only for a long port name.
        bar->addWidget(l, i == 3 ? 1 : 0);
        StatusPanels[std::size_t(i)] = l;
    }
}

void TFormMain::FormCreate() {
    InitLogging();
    StaticText1->setVisible(LoggingEnabled);
    FQueueCounterAction->setVisible(LoggingEnabled);
    if (LoggingEnabled)
        SetQueueCounterHandler([this](const QString& text) { StaticText1->setText(text); });

    ComboBoxComPort->addItems(AvailableComPorts());
    ComboBoxComPort->setCurrentIndex(-1);
    for (const char16_t* text : BaudRateTexts) {
        ComboBoxBaudRates->addItem(QString::fromUtf16(text));
        ComboBoxConfBaudrate->addItem(QString::fromUtf16(text));
    }
    ComboBoxBaudRates->setCurrentIndex(-1);
    ComboBoxConfBaudrate->setCurrentIndex(-1);

    ClearDevicesGrid();
    for (int t = 1; t <= tarvo::SensorTypeCount; ++t) {
        auto* item = new QListWidgetItem(SensorTypeName(t), CheckListBoxSensorType);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    ResetFindProgress();

    SetPrgState(PSNoDevice);
    SetPanel(0, QStringLiteral("Соединение не установлено"));
    PageControl->setCurrentWidget(TabSheetConnect);
    ShowDevicePages();
}

void TFormMain::FormClose() {
    SetPrgState(PSHalt);
    CloseCommLink();
    FReceived.clear();
}

void TFormMain::closeEvent(QCloseEvent* e) {
    if (FPrgState != PSHalt)
        FormClose();
    e->accept();
}

void TFormMain::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape && FPrgState == PSSearchDevs) {
        FSearchCancelled = true;
        e->accept();
        return;
    }
    QMainWindow::keyPressEvent(e);
}

void TFormMain::ActionHelpContentsExecute() {
    const QFileInfo program(QCoreApplication::applicationFilePath());
    QDesktopServices::openUrl(QUrl::fromLocalFile(program.absolutePath() + QLatin1Char('/') +
                                                  program.completeBaseName() + QStringLiteral(".chm")));
}

void TFormMain::ActionAboutExecute() {
    frmAbout->exec();
}

// ---------------------------------------------------------------------------------------------------
// States

void TFormMain::SetPrgState(TPrgState s) {
    if (FPrgState == PSInit && s == PSNoDevice && LoggingEnabled)
        WriteLog(QStringLiteral("SetPrgState from PSInit to PSNoDevice"));
    FPrgState = s;
    ShowDevicePages();

    const int row = SelectedGridRow();
    const bool validRow = row >= 1 && row <= FoundDeviceCount();
    const TControlEnabling e = EnablingFor(s, validRow);
    ActionFind->setEnabled(e.find);
    ActionConnect->setEnabled(e.connect);
    if (e.connectLook != TConnectLook::Unchanged)
        SetConnectLook(e.connectLook == TConnectLook::Disconnect);
    SetSensorDataEnabled(false);
    if (e.connectFollowsRow)
        UpdateConnectButton(row);
    if (s == PSSearchDevs)
        SetSensorDataEnabled(false);
    ActionStartStopDiagnostics->setEnabled(e.measure);
    ActionCalibr->setEnabled(e.calibr);
    ActionReadConfig->setEnabled(e.config);
    ActionWriteConfig->setEnabled(e.config);
    for (QAction* a :
         {ActionZeroCorrection, ActionNSXCorrection, ActionResetZeroCorrection, ActionResetNSXCorrection})
        a->setEnabled(e.corrections);
    ActionStartStopDiagnosticsUpdate();
}

void TFormMain::ShowDevicePages() {
    const bool on = IsConnectedState(FPrgState);
    for (QWidget* page : {TabSheetDeviceConfig, TabSheetCalibr, TabSheetDiag})
        PageControl->setTabVisible(PageControl->indexOf(page), on);
    PageControl->setTabVisible(PageControl->indexOf(TabSheetConnect), true);
    // A hidden page cannot stay the active one.
    if (!on && PageControl->currentWidget() != TabSheetConnect)
        PageControl->setCurrentWidget(TabSheetConnect);
}

void TFormMain::SetConnectLook(bool disconnect) {
    const QString text = disconnect ? QStringLiteral("Отключить") : QStringLiteral("Подключить");
    ActionConnect->setText(text);
    ActionConnect->setToolTip(text);
    ActionConnect->setStatusTip(text);
    SetActionImage(ActionConnect, disconnect ? img::Disconnect : img::Connect);
}

void TFormMain::SetSensorDataEnabled(bool on) {
    SetGroupBoxesEnabled({GroupBoxTarvoDopData}, on);
    ActionReadDopData->setEnabled(on);
    ActionWriteDopData->setEnabled(on);
}

void TFormMain::UpdateConnectButton(int row) {
    if (row < 1 || row > FoundDeviceCount())
        return;
    const TTarvoDevice& d = *FoundDevices[std::size_t(row - 1)];
    const TDeviceKey rowKey{d.ComPortName, d.ModbusAddr, d.TypeId};
    TDeviceKey currentKey;
    if (FCurrentDevice)
        currentKey =
            TDeviceKey{FCurrentDevice->ComPortName, FCurrentDevice->ModbusAddr, FCurrentDevice->TypeId};
    const bool connected = RowIsConnectedDevice(CommThreadConnected(), FCurrentDevice ? &currentKey : nullptr,
                                                rowKey, FPrgState);
    SetConnectLook(connected);
    SetSensorDataEnabled(connected);
}

void TFormMain::ActionStartStopDiagnosticsUpdate() {
    ActionStartStopDiagnostics->setEnabled(FPrgState == PSPausePolling || FPrgState == PSPolling);
    if (FPrgState == PSPolling) {
        ActionStartStopDiagnostics->setText(QStringLiteral("Завершить измерения"));
        ActionStartStopDiagnostics->setToolTip(QStringLiteral("Остановить диагностику"));
        ActionStartStopDiagnostics->setStatusTip(QStringLiteral("Остановить диагностику"));
        SetActionImage(ActionStartStopDiagnostics, img::StopMeasure);
    } else {
        ActionStartStopDiagnostics->setText(QStringLiteral("Начать измерения"));
        ActionStartStopDiagnostics->setToolTip(QStringLiteral("Запустить диагностику"));
        ActionStartStopDiagnostics->setStatusTip(QStringLiteral("Запустить диагностику"));
        SetActionImage(ActionStartStopDiagnostics, img::StartMeasure);
        if (!IndicatorT->Indicatorstring().isEmpty())
            ClearDiagIndicators();
    }
    SetGroupBoxesEnabled({GroupBoxZeroCorrection, GroupBoxNSXCorrection}, FPrgState == PSPolling);
}

void TFormMain::SetWaitCursor() {
    if (FWaitCursor)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    FWaitCursor = true;
}

void TFormMain::RestoreCursor() {
    if (!FWaitCursor)
        return;
    QApplication::restoreOverrideCursor();
    FWaitCursor = false;
}

void TFormMain::SetPanel(int i, const QString& text) {
    QLabel* panel = StatusPanels[std::size_t(i)];
    if (i != 1) {
        panel->setText(text);
        return;
    }
    const QMargins m = panel->contentsMargins();
    const int room = kPortPanelMaxWidth - m.left() - m.right() - 2 * panel->frameWidth() - 2;
    panel->setText(panel->fontMetrics().elidedText(text, Qt::ElideMiddle, room));
    panel->setToolTip(text);
}

void TFormMain::ShowNotConnected() {
    SetPanel(0, QStringLiteral("Соединение не установлено"));
    SetPanel(1, QString());
    SetPanel(2, QString());
}

int TFormMain::SelectedGridRow() const {
    const int r = StringGridDevices->currentRow();
    return r < 0 ? 0 : r + 1;
}

void TFormMain::SelectGridRow(int row) {
    if (row >= 1 && row <= StringGridDevices->rowCount())
        StringGridDevices->setCurrentCell(row - 1, 0);
}

// ---------------------------------------------------------------------------------------------------
// Link

bool TFormMain::OpenCommLink(const QString& port, TBaudRate baud, bool quiet) {
    if (FPortOpener)
        return FPortOpener(port, baud);
    if (CommThreadConnected())
        return true;
    // A link whose port could not be set up is not connected but still exists; it would refuse the new one.
    DestroyCommThread();
    QString errmsg;
    if (CreateCommThread(this, port, baud, errmsg, !quiet))
        return true;
    if (quiet)
        return false;
    // A port held by another program, or one the user has no rights to, is explained by the link's box.
    if (!errmsg.contains(QStringLiteral("Порт занят другой программой")) && !serialaccess::IsNoRightsText(errmsg))
        ShowErrorBox(QStringLiteral("Не удалось создать коммуникационный поток!"));
    return false;
}

void TFormMain::CloseCommLink() {
    // Also ends a link that exists without a connected port, so that the next one can be created.
    DestroyCommThread();
    // Nothing queued on it will be answered.
    FCommand.Abandon();
    FRateCheck = TRateCheck::None;
}

quint64 TFormMain::QueueQuery(std::uint8_t addr, std::uint8_t fn, std::uint16_t start, std::uint16_t count,
                              std::uint8_t calibrStep, bool changeAddr) {
    if (FQuerySink) {
        TModbusCmdQuery q;
        q.SlaveAddr = addr;
        q.FuncCode = fn;
        q.StartAddr = start;
        q.RegCount = count;
        q.CalibrStep = calibrStep;
        q.IsChangeModbusSlaveAddr = changeAddr;
        q.Buffer = QueryData;
        return FQuerySink(q);
    }
    quint64 serial = 0;
    SendModbusQuery(addr, fn, start, count, QueryData.data(), calibrStep, changeAddr, &serial);
    return serial;
}

void TFormMain::QueueCommand(std::uint8_t addr, std::uint8_t fn, std::uint16_t start, std::uint16_t count,
                             std::uint8_t calibrStep, bool changeAddr) {
    FCommand.Sent(QueueQuery(addr, fn, start, count, calibrStep, changeAddr));
}

void TFormMain::QueueIdentification(std::uint8_t addr) {
    QueueQuery(addr, modbus::fnReportSlaveId, 0, 0);
}

bool TFormMain::eventFilter(QObject* watched, QEvent* e) {
    // A field is left when the focus moves to another control of the window, not when a box, a menu or
    // another window takes it for a while.
    const auto reason =
        e->type() == QEvent::FocusOut ? static_cast<QFocusEvent*>(e)->reason() : Qt::OtherFocusReason;
    if (e->type() == QEvent::FocusOut && reason != Qt::ActiveWindowFocusReason &&
        reason != Qt::PopupFocusReason && reason != Qt::MenuBarFocusReason) {
        if (watched == EditSensorNumber)
            EditSensorNumberExit();
        else if (watched == JvSpinEditTopTBound || watched == JvSpinEditBottomTBound ||
                 watched == JvSpinEditCalibrLead)
            JvSpinEditWithLimitsExit(static_cast<TLimitSpinBox*>(watched));
    }
    return QMainWindow::eventFilter(watched, e);
}

bool TFormMain::event(QEvent* e) {
    if (e->type() == QueryDoneEvent::EventType) {
        PickUp(static_cast<const QueryDoneEvent&>(*e));
        return true;
    }
    if (e->type() == ResultReadyEventType) {
        Dispatch();
        return true;
    }
    return QMainWindow::event(e);
}

void TFormMain::PickUp(const QueryDoneEvent& e) {
    if (FPrgState == PSHalt)
        return;
    // A search stopped by Esc leaves its results with the link until the link is closed.
    if ((FPrgState == PSNoDevice || FPrgState == PSSearchDevs) && FSearchCancelled)
        return;
    if (LoggingEnabled)
        StaticText1->setText(QueueCountText());
    TModbusCmdQuery q;
    if (!TakeFinishedQuery(e, q))
        return;
    DeliverResult(q);
}

void TFormMain::DeliverResult(const TModbusCmdQuery& q) {
    FReceived.push_back(q);
    QCoreApplication::postEvent(this, new QEvent(ResultReadyEventType));
}

void TFormMain::Dispatch() {
    if (FReceived.empty())
        return;
    ReceivedQuery = FReceived.front();
    FReceived.pop_front();
    if (LoggingEnabled)
        WriteLog(QStringLiteral("получен ответ, элементов в очереди: ") + QString::number(QueueCount()));
    if (FPrgState == PSHalt)
        return;
    // A reply to a request given up (a cancelled run, an earlier press) must not move the present one.
    if (FCommand.Take(ReceivedQuery.Serial) == TPendingCommand::TReply::Dropped)
        return;
    if (ReceivedQuery.ErrorString.isEmpty())
        DispatchSuccess();
    else
        DispatchError();
}

void TFormMain::DispatchSuccess() {
    const TModbusCmdQuery& q = ReceivedQuery;
    if (LoggingEnabled)
        WriteLogHex(q.Buffer, q.RegCount, {}, 2);
    RestoreCursor();
    switch (RouteSuccess(FPrgState, q.FuncCode, q.StartAddr)) {
    case TSuccessRoute::SearchHit:
        OnSearchHit();
        break;
    case TSuccessRoute::InitIdentification:
        OnInitIdentification();
        break;
    case TSuccessRoute::InitConfiguration:
        OnInitConfiguration();
        break;
    case TSuccessRoute::ConfigRead:
        OnConfigRead();
        break;
    case TSuccessRoute::SensorDataRead:
        OnSensorDataRead();
        break;
    case TSuccessRoute::ConfigWritten:
        OnConfigWritten();
        break;
    case TSuccessRoute::DiagValues:
        OnDiagValues();
        break;
    case TSuccessRoute::ZeroCorrection:
        OnZeroCorrection();
        break;
    case TSuccessRoute::NsxCorrection:
        OnNsxCorrection();
        break;
    case TSuccessRoute::CalibrationStep:
        OnCalibrationStep();
        break;
    case TSuccessRoute::Ignore:
        break;
    }
}

void TFormMain::DispatchError() {
    const TModbusCmdQuery& q = ReceivedQuery;
    const QString& err = q.ErrorString;
    static const QString Timeout = QStringLiteral("Превышен таймаут ожидания ответа");
    static const QString PortLost = QStringLiteral("Порт не доступен");
    static const QString PurgeFailed5 = QStringLiteral("Функция PurgeComm вернула код ошибки 5");
    static const QString NoAnswer = QStringLiteral("Преобразователь не отвечает на запрос");

    if (LoggingEnabled)
        WriteLog(QStringLiteral("ErrorString: ") + err + QStringLiteral("; PrgState = ") +
                 PrgStateName(FPrgState));
    // A port that has gone ends whatever was running, before any rule of the command.
    if (err == PortLost || err == PurgeFailed5) {
        LosePort();
        return;
    }
    // The command that leaves calibration mode may fail unnoticed.
    if (q.FuncCode == modbus::fnCalibrationStep && q.CalibrStep >= 6)
        return;

    if (FPrgState == PSSearchDevs) {
        if (FSearchCancelled) {
            SetPrgState(PSNoDevice);
            FSearchCancelled = false;
        } else {
            SearchNextStep(); // an unanswered address is the normal outcome of a search step
        }
    }
    if (FPrgState == PSInit && q.FuncCode == modbus::fnReportSlaveId) {
        SetPanel(3, err == Timeout ? QStringLiteral("Преобразователь не отвечает") : err);
        CloseCommLink();
        SetPrgState(PSNoDevice);
        ShowNotConnected();
    } else if (FPrgState == PSInit && q.FuncCode == modbus::fnReadHoldingRegisters) {
        if (LoggingEnabled)
            WriteLog(QStringLiteral("Ошибка: PSInit, SlaveAddr: %1, Fn: %2, StartAddr: 0x%3, Err_msg: %4")
                         .arg(q.SlaveAddr)
                         .arg(q.FuncCode)
                         .arg(QString::number(q.StartAddr, 16).toUpper().rightJustified(4, QLatin1Char('0')))
                         .arg(err));
        CloseCommLink();
        SetPrgState(PSNoDevice);
        SetPanel(3, err);
        ShowNotConnected();
    }
    RestoreCursor();

    if (FPrgState == PSPausePolling || FPrgState == PSPolling) {
        const bool configWrite =
            q.StartAddr == tarvo::ConfigStart && q.FuncCode == modbus::fnWriteMultipleRegisters;
        const bool configRead =
            q.StartAddr == tarvo::ConfigStart && q.FuncCode == modbus::fnReadHoldingRegisters;
        if (configWrite && FCurrentDevice && FCurrentDevice->Baudrate != FCurrentDevice->NewBaudrate) {
            // A refusal says the transducer kept its rate: following the new one would lose it.
            if (!IsTransducerRefusal(err)) {
                RecoverBaudRateChange();
                return;
            }
            FCurrentDevice->NewBaudrate = FCurrentDevice->Baudrate;
        }
        if (configRead && FRateCheck == TRateCheck::NewRate) {
            // Nothing answers at the new rate: the transducer may never have received the change.
            FallBackToOldRate();
            return;
        }
        if (configRead && FRateCheck == TRateCheck::OldRate) {
            FRateCheck = TRateCheck::None;
            ReturnToNewRate();
            return;
        }
        if (q.StartAddr == tarvo::SensorDataStart && q.FuncCode == modbus::fnWriteMultipleRegisters) {
            if (FCurrentDevice)
                QueueCommand(FCurrentDevice->ModbusAddr, modbus::fnReadHoldingRegisters, tarvo::SensorDataStart,
                             tarvo::SensorDataRegs);
        } else if (FPrgState == PSPolling &&
                   (q.FuncCode == modbus::fnZeroCorrection || q.FuncCode == modbus::fnNsxCorrection)) {
            SetPanel(3, QString()); // the correction has ended
            ShowErrorBox(err);
            return;
        } else if (FPrgState == PSPolling && q.FuncCode == modbus::fnReadHoldingRegisters &&
                   (err == Timeout || q.StartAddr == tarvo::DiagDataStart)) {
            // Any failed poll leaves the values shown without a fresh one: it counts as unanswered.
            const QString what = err == Timeout ? NoAnswer : err;
            if (FNoAnswerCount <= 2) {
                ++FNoAnswerCount;
                FPollFailure = what;
                SetPanel(3, what);
            } else {
                StopDiagnostics();
                FNoAnswerCount = 0;
                if (StatusPanels[3]->text() == FPollFailure)
                    SetPanel(3, QString());
                FPollFailure.clear();
                ShowErrorBox(what);
            }
            return;
        } else if (configWrite) {
            ShowErrorBox(err);
            // The transducer may have taken the write all the same: show what it holds.
            if (FCurrentDevice) {
                FCurrentDevice->NewAddr = FCurrentDevice->ModbusAddr;
                QueueConfigRead(false);
            }
            return;
        }
    }
    if (FPrgState == PSCalibr && q.FuncCode == modbus::fnCalibrationStep) {
        ShowErrorBox(err);
        FinishCalibration();
        return;
    }
}

void TFormMain::LosePort() {
    static const QString PortLost = QStringLiteral("Порт не доступен");
    const bool searching = FPrgState == PSSearchDevs;
    const bool connected = IsConnectedState(FPrgState) || FPrgState == PSInit;
    TimerDiagPoll->stop();
    CloseCommLink();
    if (FPrgState == PSCalibr)
        EndCalibrationRun(); // nothing can be sent to leave calibration mode: the port is gone
    SetPrgState(PSNoDevice);
    // The status bar must not go on reporting a connection that is gone.
    if (connected)
        ShowNotConnected();
    // A search ends with its port: the find command must not keep offering to cancel it.
    if (searching)
        FinishSearchControls();
    FPollFailure.clear();
    FNoAnswerCount = 0;
    SetPanel(3, PortLost);
    RestoreCursor();
    ShowErrorBox(PortLost);
}

// ---------------------------------------------------------------------------------------------------
// Search and connection

void TFormMain::ActionFindExecute() {
    if (PageControl->currentWidget() != TabSheetConnect)
        PageControl->setCurrentWidget(TabSheetConnect);

    if (FPrgState == PSSearchDevs) {
        FSearchCancelled = true;
        SetPrgState(PSNoDevice);
        FinishSearchControls();
        CloseCommLink();
        return;
    }
    if (!FoundDevices.empty())
        ClearFoundDevices();

    TSearchControls c;
    c.allAddresses = CheckBoxSearchAllAddresses->isChecked();
    c.allPorts = CheckBoxSearchAllPorts->isChecked();
    c.allBaudRates = CheckBoxSearchAllBaudRates->isChecked();
    c.only9600 = CheckBoxOnlyUSBdevices->isChecked();
    c.portCount = ComboBoxComPort->count();
    c.selectedPort = ComboBoxComPort->currentIndex();
    c.baudCount = ComboBoxBaudRates->count();
    c.selectedBaud = ComboBoxBaudRates->currentIndex();
    c.slaveId = JvSpinEditSlaveID->value();
    const TSearchStart plan = PlanSearch(c);

    if (plan.mode == TSearchStart::Refused) {
        ShowErrorBox(plan.refusal);
        return;
    }

    if (plan.mode == TSearchStart::Direct) {
        SetPrgState(PSInit);
        const TBaudRate baud = BaudIndexToRate(plan.baudFirst);
        const QString port = ComboBoxComPort->itemText(plan.portFirst);
        const auto addr = std::uint8_t(plan.addrFirst);
        CloseCommLink();
        if (OpenCommLink(port, baud)) {
            SetPanel(3, QStringLiteral("Подключение к преобразователю ") + PortDisplayName(port, true) +
                            QStringLiteral(" (") + Bps(baud) + QStringLiteral(") адрес ") +
                            QString::number(addr));
            if (LoggingEnabled)
                WriteLog(StatusPanels[3]->text() + QStringLiteral("; PrgState = ") + PrgStateName(FPrgState));
            QueueIdentification(addr);
            SetWaitCursor();
        } else {
            SetPrgState(PSNoDevice);
        }
        return;
    }

    FSearchPorts.clear();
    for (int i = 0; i < ComboBoxComPort->count(); ++i)
        FSearchPorts << ComboBoxComPort->itemText(i);
    SetPrgState(PSSearchDevs);
    ActionFind->setText(QStringLiteral("Отмена"));
    ActionFind->setToolTip(QStringLiteral("Прекратить поиск"));
    ActionFind->setStatusTip(QStringLiteral("Прекратить поиск"));
    SetActionImage(ActionFind, img::CancelFind);
    FSearchCancelled = false;

    FSearch = TSearchCursor(plan);
    SearchComPort = FSearchPorts.value(FSearch.portIndex);
    SearchBaudRate = BaudIndexToRate(FSearch.baudIndex);
    CloseCommLink();
    ProgressBarFind->setRange(0, FSearch.Total());
    ProgressBarFind->setValue(0);
    StepFindProgress();
    if (OpenCommLink(SearchComPort, SearchBaudRate)) {
        SetPanel(3, QStringLiteral("Поиск преобразователя ") + PortDisplayName(SearchComPort, true) +
                        QStringLiteral(" (") + Bps(SearchBaudRate) + QStringLiteral(") адрес ") +
                        QString::number(FSearch.addr));
        QueueIdentification(std::uint8_t(FSearch.addr));
    } else {
        // The first port cannot be opened: go on with the rest of the range without it.
        FSearch.SkipPort();
        SearchNextStep();
    }
}

void TFormMain::SearchQueueIdentification() {
    SetPanel(3, QStringLiteral("Поиск преобразователя ") + PortDisplayName(SearchComPort, true) +
                    QStringLiteral(" (") + Bps(SearchBaudRate) + QStringLiteral(") адрес ") +
                    QString::number(FSearch.addr));
    StepFindProgress();
    QueueIdentification(std::uint8_t(FSearch.addr));
}

void TFormMain::SearchNextStep() {
    for (;;) {
        switch (FSearch.Advance()) {
        case TSearchCursor::Step::NextAddress:
            SearchQueueIdentification();
            return;
        case TSearchCursor::Step::NextBaudRate:
            SearchBaudRate = BaudIndexToRate(FSearch.baudIndex);
            CloseCommLink();
            if (OpenCommLink(SearchComPort, SearchBaudRate)) {
                SearchQueueIdentification();
                return;
            }
            // Without a link there is nothing to ask on this port.
            FSearch.SkipPort();
            break;
        case TSearchCursor::Step::NextPort:
            SearchBaudRate = BaudIndexToRate(FSearch.baudIndex);
            CloseCommLink();
            SearchComPort = FSearchPorts.value(FSearch.portIndex);
            if (OpenCommLink(SearchComPort, SearchBaudRate)) {
                SearchQueueIdentification();
                return;
            }
            FSearch.SkipPort();
            break;
        case TSearchCursor::Step::Exhausted:
            FinishSearchControls();
            SetPrgState(PSNoDevice);
            return; // the link to the last port stays open
        }
    }
}

void TFormMain::FinishSearchControls() {
    ActionFind->setText(QStringLiteral("Поиск"));
    ActionFind->setToolTip(QStringLiteral("Поиск преобразователей"));
    ActionFind->setStatusTip(QStringLiteral("Поиск преобразователей"));
    SetActionImage(ActionFind, img::Find);
    ResetFindProgress();
    SetPanel(3, QString());
}

void TFormMain::StepFindProgress() {
    if (FPrgState != PSSearchDevs) {
        ResetFindProgress();
        return;
    }
    ProgressBarFind->setValue(qMin(ProgressBarFind->value() + 1, ProgressBarFind->maximum()));
    ProgressBarFind->show();
}

void TFormMain::ResetFindProgress() {
    ProgressBarFind->hide();
    ProgressBarFind->setRange(0, 1);
    ProgressBarFind->setValue(0);
}

void TFormMain::ClearFoundDevices() {
    FoundDevices.clear();
    FConnectingDevice.reset();
    FCurrentDevice = nullptr;
    ClearDevicesGrid();
}

void TFormMain::ClearDevicesGrid() {
    StringGridDevices->setRowCount(1);
    for (int c = 0; c < 4; ++c)
        StringGridDevices->setItem(0, c, new QTableWidgetItem);
    if (StringGridDevices->currentRow() < 0)
        StringGridDevices->setCurrentCell(0, 0);
    // The empty row stays the current one without being shown as chosen.
    StringGridDevices->clearSelection();
}

void TFormMain::RefreshDevicesGrid() {
    const int rows = qMax(1, FoundDeviceCount());
    StringGridDevices->setRowCount(rows);
    for (int r = 0; r < rows; ++r) {
        const TTarvoDevice* d = r < FoundDeviceCount() ? FoundDevices[std::size_t(r)].get() : nullptr;
        const QString cells[4] = {d ? d->FixedName : QString(), d ? d->ComPortName : QString(),
                                  d ? QString::number(d->ModbusAddr) : QString(),
                                  d ? Bps(d->Baudrate) : QString()};
        for (int c = 0; c < 4; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setToolTip(cells[c]); // a device path is wider than its column
            StringGridDevices->setItem(r, c, item);
        }
    }
    if (StringGridDevices->currentRow() < 0)
        StringGridDevices->setCurrentCell(0, 0);
}

std::unique_ptr<TTarvoDevice> TFormMain::DeviceFromIdentification() const {
    auto d = std::make_unique<TTarvoDevice>();
    d->ComPortName = CommThreadPortName();
    d->Baudrate = CommThreadBaudRate();
    d->NewBaudrate = d->Baudrate;
    d->ModbusAddr = ReceivedQuery.SlaveAddr;
    d->NewAddr = d->ModbusAddr;
    const int n = qBound(0, int(ReceivedQuery.RegCount), TModbusCmdQuery::BufferSize);
    d->DecodeSlaveId(std::span<const std::uint8_t>(ReceivedQuery.Buffer.data(), std::size_t(n)));
    return d;
}

void TFormMain::OnSearchHit() {
    FoundDevices.push_back(DeviceFromIdentification());
    FCurrentDevice = FoundDevices.back().get();
    RefreshDevicesGrid();
    FSearch.skipOtherBaudRates = true;
    SearchNextStep();
}

void TFormMain::ActionConnectExecute() {
    const int row = SelectedGridRow();
    if (row < 1)
        return;
    if (PageControl->currentWidget() != TabSheetConnect)
        PageControl->setCurrentWidget(TabSheetConnect);
    if (row > FoundDeviceCount()) {
        ShowErrorBox(QStringLiteral("Не выбран в списке преобразователь для подключения!"));
        return;
    }
    const TTarvoDevice& d = *FoundDevices[std::size_t(row - 1)];
    if (CommThreadConnected()) {
        if (FCurrentDevice && d.ComPortName == FCurrentDevice->ComPortName &&
            d.ModbusAddr == FCurrentDevice->ModbusAddr && d.TypeId == FCurrentDevice->TypeId) {
            if (IsConnectedState(FPrgState)) {
                CloseCommLink();
                SetPrgState(PSNoDevice);
                SetPanel(3, QString());
                ShowNotConnected();
                return;
            }
            if (CommThreadPortName() == d.ComPortName) {
                SetPrgState(PSInit);
                QueueIdentification(FCurrentDevice->ModbusAddr);
                SetWaitCursor();
                return;
            }
        }
        CloseCommLink();
    }
    const QString port = d.ComPortName;
    const TBaudRate baud = d.Baudrate;
    const std::uint8_t addr = d.ModbusAddr;
    if (OpenCommLink(port, baud)) {
        SetPrgState(PSInit);
        QueueIdentification(addr);
        SetWaitCursor();
    }
}

void TFormMain::OnInitIdentification() {
    FConnectingDevice = DeviceFromIdentification();
    FCurrentDevice = FConnectingDevice.get();
    EditSensorName->setText(FCurrentDevice->StoredSensorName());
    EditSensorNumber->setText(QString::number(FCurrentDevice->StoredSensorNumber));
    QueueQuery(FCurrentDevice->ModbusAddr, modbus::fnReadHoldingRegisters, tarvo::ConfigStart,
               tarvo::ConfigRegs);
}

void TFormMain::OnInitConfiguration() {
    if (!FCurrentDevice)
        return;
    TConfigBlock block;
    const int n = qBound(0, int(ReceivedQuery.RegCount), TModbusCmdQuery::BufferSize);
    DecodeConfigBlock(std::span<const std::uint8_t>(ReceivedQuery.Buffer.data(), std::size_t(n)), block);
    FCurrentDevice->ApplyConfig(block);

    if (FConnectingDevice && FConnectingDevice.get() == FCurrentDevice) {
        const TTarvoDevice& c = *FConnectingDevice;
        auto same = [&c](const std::unique_ptr<TTarvoDevice>& d) {
            return d->ComPortName == c.ComPortName && d->Baudrate == c.Baudrate &&
                   d->ModbusAddr == c.ModbusAddr && d->TypeId == c.TypeId;
        };
        auto it = std::find_if(FoundDevices.begin(), FoundDevices.end(), same);
        if (it != FoundDevices.end())
            *it = std::move(FConnectingDevice);
        else
            FoundDevices.push_back(std::move(FConnectingDevice));
    }
    RefreshDevicesGrid();

    const TTarvoDevice& d = *FCurrentDevice;
    SetPanel(0, QStringLiteral("Соединение установлено"));
    SetPanel(1, d.ComPortName + QStringLiteral(" (") + Bps(d.Baudrate) + QStringLiteral(")"));
    SetPanel(2, QStringLiteral("Адрес ") + QString::number(d.ModbusAddr));
    SetPanel(3, QString());
    SetPrgState(PSPausePolling);
    FillConfigControls();
}

void TFormMain::ComboBoxComPortDropDown() {
    ComboBoxComPort->clear();
    ComboBoxComPort->addItems(AvailableComPorts());
    ComboBoxComPort->setCurrentIndex(-1);
}
