// A window of skinned controls under a colour scheme, and the indicator style window, for a person to
// judge the look. scheme_gallery [SCHEME.kvs] shows the first scheme; scheme_gallery --grab OUTDIR
// [SCHEME.kvs ...] saves the windows of each scheme as OUTDIR/<scheme>-widgets.png,
// <scheme>-indstyle.png and <scheme>-indstyle-date.png. Without files it takes every scheme of the "ColorSchemas" folder beside it or
// in the source tree.
#include "ColorScheme.h"
#include "DialogService.h"
#include "SchemeStyle.h"
#include "TfrmIndStyle.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextStream>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

QMainWindow* Sample(const QString& title) {
    auto* w = new QMainWindow;
    w->setObjectName(QStringLiteral("frmMain"));
    w->setWindowTitle(title);
    w->menuBar()->addMenu(QStringLiteral("Файл"));
    w->menuBar()->addMenu(QStringLiteral("Вид"));
    w->menuBar()->addMenu(QStringLiteral("Соединение"));
    QToolBar* bar = w->addToolBar(QStringLiteral("bar"));
    bar->addAction(QStringLiteral("Настройки"));
    bar->addAction(QStringLiteral("Найти первый"));

    auto* tabs = new QTabWidget;
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    auto* box = new QGroupBox(QStringLiteral("Установить соединение с прибором"));
    auto* boxLayout = new QVBoxLayout(box);
    auto* r1 = new QRadioButton(QStringLiteral("Подключиться к прибору номер"));
    r1->setChecked(true);
    boxLayout->addWidget(r1);
    boxLayout->addWidget(new QRadioButton(QStringLiteral("Подключиться к первому найденному")));
    auto* c1 = new QCheckBox(QStringLiteral("Соединяться при запуске"));
    c1->setChecked(true);
    boxLayout->addWidget(c1);
    boxLayout->addWidget(new QLabel(QStringLiteral("Адрес (1..247):")));
    auto* spin = new QSpinBox;
    spin->setValue(17);
    boxLayout->addWidget(spin);
    grid->addWidget(box, 0, 0, 3, 1);
    grid->addWidget(new QLabel(QStringLiteral("Тип датчика: Pt100")), 0, 1);
    auto* hot = new QLabel(QStringLiteral("Подсвеченная надпись"));
    hot->setObjectName(QStringLiteral("hotLabel"));
    grid->addWidget(hot, 1, 1);
    auto* edit = new QLineEdit(QStringLiteral("Датчик 12"));
    grid->addWidget(edit, 2, 1);
    auto* combo = new QComboBox;
    combo->addItems({QStringLiteral("4-20 мА"), QStringLiteral("0-5 мА")});
    grid->addWidget(combo, 3, 1);
    auto* c2 = new QCheckBox(QStringLiteral("Флажок на окне"));
    grid->addWidget(c2, 3, 0);
    auto* panel = new QFrame;
    panel->setProperty(KvPanelProperty, true);
    auto* panelLayout = new QHBoxLayout(panel);
    panelLayout->addWidget(new QLabel(QStringLiteral("Панель:")));
    auto* c3 = new QCheckBox(QStringLiteral("отмечено"));
    c3->setChecked(true);
    panelLayout->addWidget(c3);
    grid->addWidget(panel, 4, 0, 1, 2);
    auto* progress = new QProgressBar;
    progress->setValue(40);
    grid->addWidget(progress, 5, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(new QPushButton(QStringLiteral("Найти")));
    buttons->addWidget(new QPushButton(QStringLiteral("Найти первый")));
    auto* pressed = new QPushButton(QStringLiteral("Нажата"));
    pressed->setCheckable(true);
    pressed->setChecked(true);
    buttons->addWidget(pressed);
    auto* off = new QPushButton(QStringLiteral("Недоступна"));
    off->setEnabled(false);
    buttons->addWidget(off);
    grid->addLayout(buttons, 6, 0, 1, 2);
    tabs->addTab(page, QStringLiteral("Информация"));
    tabs->addTab(new QWidget, QStringLiteral("Конфигурация"));
    tabs->addTab(new QWidget, QStringLiteral("Настройка"));
    tabs->addTab(new QWidget, QStringLiteral("Диагностика "));
    w->setCentralWidget(tabs);
    const char* panels[] = {"Соединение установленно", "COM3", "Mod", "Режим диагностики"};
    for (const char* text : panels)
        w->statusBar()->addWidget(new QLabel(QString::fromUtf8(text)));
    w->resize(583, 400);
    return w;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvo_TS"));
    QStringList args = QApplication::arguments().mid(1);
    QString grab;
    if (args.size() >= 2 && args[0] == QLatin1String("--grab")) {
        grab = args[1];
        args = args.mid(2);
    }
    if (args.isEmpty()) {
        const QStringList folders = {QApplication::applicationDirPath() + QStringLiteral("/ColorSchemas"),
                                     QStringLiteral(TARVO_SOURCE_DIR "/tarvo_ts/ColorSchemas")};
        for (const QString& folder : folders) {
            const QDir dir(folder);
            for (const QString& name : dir.entryList({QStringLiteral("*.kvs")}, QDir::Files, QDir::Name))
                args << dir.filePath(name);
            if (!args.isEmpty())
                break;
        }
    }
    // The palette of the system, before a scheme replaces the application's.
    const QPalette system = QApplication::palette();
    TQtDialogService dialogs;
    for (const QString& path : args) {
        const TAppliedScheme scheme = ApplyColorScheme(path, system);
        if (scheme.Load.Error != TSchemeError::None)
            QTextStream(stderr) << path << ": " << SchemeErrorText(scheme.Load) << '\n';
        const TSchemeStyle style = BuildSchemeStyle(scheme.Manager, scheme.FormColor, system);
        ApplySchemeStyle(style);
        QMainWindow* w = Sample(scheme.ColorShema);
        w->findChild<QLabel*>(QStringLiteral("hotLabel"))->setStyleSheet(QStringLiteral("color: %1").arg(style.HotTrack.name()));
        auto* indT = new TLcdIndicator(w);
        auto* indR = new TLcdIndicator(w);
        auto* indDate = new TLcdIndicator(w);
        indT->hide();
        indR->hide();
        indDate->hide();
        auto* frm = new TfrmIndStyle(indT, indR, indDate, &dialogs, w);
        w->show();
        frm->show();
        if (grab.isEmpty()) // one scheme to look at and use
            return QApplication::exec();
        QApplication::processEvents();
        QDir().mkpath(grab);
        const QString base = QFileInfo(path).completeBaseName();
        w->grab().save(grab + u'/' + base + QStringLiteral("-widgets.png"));
        frm->grab().save(grab + u'/' + base + QStringLiteral("-indstyle.png"));
        auto* cbInd = frm->findChild<QComboBox*>(QStringLiteral("cbInd"));
        cbInd->setCurrentIndex(3); // the calibration date: the 10-digit preview
        Q_EMIT cbInd->activated(3);
        frm->grab().save(grab + u'/' + base + QStringLiteral("-indstyle-date.png"));
        delete w;
    }
    return 0;
}
