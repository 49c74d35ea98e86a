#include "TfrmSettings.h"

#include "Artwork.h"
#include "CommPortDriver.h"
#include "Connection.h"
#include "Help.h"
#include "PortComboBox.h"
#include "ProgSettings.h"
#include "TsLink.h"
#include "WindowPlacement.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

template <class T> T* Named(T* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

TfrmSettings::TfrmSettings(TConnection& connection, TTsLink& link, TProgSettings& settings, QWidget* parent)
    : QDialog(parent), FConnection(connection), FLink(link), FSettings(settings) {
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Настройки программы"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(ProgramFont());
    setProperty("helpContext", help::Settings);

    TreeView1 = Named(new QTreeWidget(this), "TreeView1");
    TreeView1->setHeaderHidden(true);
    TreeView1->setRootIsDecorated(false);
    TreeView1->setItemsExpandable(false);
    TreeView1->setFixedWidth(150);
    FRoot = new QTreeWidgetItem(TreeView1, {QStringLiteral("Настройки программы")});
    FGeneral = new QTreeWidgetItem(FRoot, {QStringLiteral("Общие")});
    FConnectionNode = new QTreeWidgetItem(FRoot, {QStringLiteral("Соединение")});
    TreeView1->expandAll();

    Pages = Named(new QStackedWidget(this), "Pages");
    tsBasic = CreateBasicPage();
    tsConnection = CreateConnectionPage();
    tsView = Named(new QWidget(Pages), "tsView");
    Pages->addWidget(tsBasic);
    Pages->addWidget(tsConnection);
    Pages->addWidget(tsView);

    btnClose = Named(new QPushButton(QStringLiteral("Закрыть"), this), "btnClose");
    btnClose->setAutoDefault(false);

    auto* top = new QHBoxLayout;
    top->addWidget(TreeView1);
    top->addWidget(Pages, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(bottom);
    setFixedSize(560, 300);

    connect(TreeView1, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item, QTreeWidgetItem*) { TreeView1Change(item); });
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(cbSetConnectBeforeRun, &QCheckBox::clicked, this, &TfrmSettings::cbSetConnectBeforeRunClick);
    connect(rbConnectToNum, &QRadioButton::clicked, this, &TfrmSettings::rbConnectToNumClick);
    connect(rbToLast, &QRadioButton::clicked, this, &TfrmSettings::rbToLastClick);
    connect(rbFindFirst, &QRadioButton::clicked, this, &TfrmSettings::rbFindFirstClick);
    connect(rseSlaveID, &QSpinBox::valueChanged, this,
            [this](int value) { FSettings.DefaultSlaveID = static_cast<quint8>(value); });
    connect(rseRepNum, &QSpinBox::valueChanged, this,
            [this](int value) { FSettings.RepeatNum = static_cast<quint8>(value); });
    connect(cbCom, &QComboBox::activated, this, &TfrmSettings::cbComSelect);
    cbCom->OnEnter = [this](const QString& text) { FConnection.SettingsEnterPortName(text); };

    LoadSettingsControls();
}

QWidget* TfrmSettings::CreateBasicPage() {
    auto* page = Named(new QWidget(Pages), "tsBasic");
    auto* atStart = Named(new QLabel(QStringLiteral("При загрузке"), page), "Label1");
    cbSetConnectBeforeRun = Named(new QCheckBox(QStringLiteral("Устанавливать соединение с прибором"), page),
                                  "cbSetConnectBeforeRun");
    rbConnectToNum = Named(new QRadioButton(QStringLiteral("Подключиться к прибору c адресом"), page),
                           "rbConnectToNum");
    rseSlaveID = Named(new QSpinBox(page), "rseSlaveID");
    rseSlaveID->setRange(FirstSearchAddress, LastSearchAddress);
    rbToLast = Named(new QRadioButton(QStringLiteral("Подключиться к последнему подключенному прибору"), page),
                     "rbToLast");
    rbFindFirst = Named(new QRadioButton(QStringLiteral("Подключиться к первому найденному"), page), "rbFindFirst");
    for (QRadioButton* b : {rbConnectToNum, rbToLast, rbFindFirst})
        b->setAutoExclusive(false);
    auto* attempts = Named(
        new QLabel(QStringLiteral("Максимальное количество попыток установления связи с прибором для операций "
                                  "чтения\\записи "),
                   page),
        "Label2");
    attempts->setWordWrap(true);
    rseRepNum = Named(new QSpinBox(page), "rseRepNum");
    rseRepNum->setRange(1, 10);

    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(8, 4, 8, 4);
    grid->addWidget(atStart, 0, 0, 1, 2);
    grid->addWidget(cbSetConnectBeforeRun, 1, 0, 1, 2);
    grid->addWidget(rbConnectToNum, 2, 0);
    grid->addWidget(rseSlaveID, 2, 1);
    grid->addWidget(rbToLast, 3, 0, 1, 2);
    grid->addWidget(rbFindFirst, 4, 0, 1, 2);
    grid->setRowMinimumHeight(5, 8);
    grid->addWidget(attempts, 6, 0);
    grid->addWidget(rseRepNum, 6, 1, Qt::AlignTop);
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(7, 1);
    // The choices sit under the check box that switches them.
    for (QWidget* w : {static_cast<QWidget*>(rbConnectToNum), static_cast<QWidget*>(rbToLast),
                       static_cast<QWidget*>(rbFindFirst)})
        w->setContentsMargins(16, 0, 0, 0);
    return page;
}

QWidget* TfrmSettings::CreateConnectionPage() {
    auto* page = Named(new QWidget(Pages), "tsConnection");
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(8, 4, 8, 4);
    auto* portLabel = Named(new QLabel(QStringLiteral("СОМ-порт:"), page), "Label3");
    cbCom = Named(new TPortComboBox(page), "cbCom");
    portLabel->setBuddy(cbCom);
    grid->addWidget(portLabel, 0, 0);
    grid->addWidget(cbCom, 0, 1, 1, 2);
    // The line of the older transducers is fixed; shown, not chosen.
    struct TFixed {
        const char* name;
        const char16_t* caption;
        const char16_t* value;
        const char16_t* unit;
    };
    const TFixed fixed[] = {
        {"edBaudRate", u"Скорость:", u"1200", u"бит/с"},
        {"edStopBits", u"Стопбиты:", u"2", nullptr},
        {"edDataBits", u"Размер блока данных:", u"8", u"бит"},
        {"edParity", u"Контроль четности:", u"нет", nullptr},
    };
    int row = 1;
    for (const TFixed& f : fixed) {
        auto* caption = new QLabel(QString::fromUtf16(f.caption), page);
        auto* value = Named(new QLineEdit(QString::fromUtf16(f.value), page), f.name);
        value->setReadOnly(true);
        value->setFixedWidth(60);
        grid->addWidget(caption, row, 0);
        grid->addWidget(value, row, 1);
        if (f.unit)
            grid->addWidget(new QLabel(QString::fromUtf16(f.unit), page), row, 2);
        ++row;
    }
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(row, 1);
    return page;
}

void TfrmSettings::LoadSettingsControls() {
    cbSetConnectBeforeRun->setChecked(FSettings.ConnectBeforeRun);
    for (QRadioButton* b : {rbConnectToNum, rbToLast, rbFindFirst})
        b->setEnabled(FSettings.ConnectBeforeRun);
    rseSlaveID->setEnabled(FSettings.ConnectBeforeRun && FSettings.ToNum);
    rbConnectToNum->setChecked(FSettings.ToNum);
    rbFindFirst->setChecked(FSettings.ToFirst);
    rbToLast->setChecked(FSettings.ToLast);
    rseSlaveID->setValue(FSettings.DefaultSlaveID);
    rseRepNum->setValue(FSettings.RepeatNum);
}

void TfrmSettings::showEvent(QShowEvent* event) {
    cbCom->setEditText(QString());
    cbCom->FillPorts();
    cbCom->setCurrentIndex(FindComboItem(cbCom, SystemPortName(FLink.Driver().PortName()), Qt::CaseInsensitive));
    if (cbCom->currentIndex() < 0)
        cbCom->setEditText(PortStatusText(FLink.Driver().PortName()));
    FSettings.DefaultSlaveID = static_cast<quint8>(FLink.DeviceData.SlaveID & 0xFF);
    rseSlaveID->setValue(FSettings.DefaultSlaveID);
    TreeView1->setCurrentItem(FGeneral);
    CentreOnOwner(this);
    QDialog::showEvent(event);
}

void TfrmSettings::TreeView1Change(QTreeWidgetItem* item) {
    if (!item)
        return;
    const QTreeWidgetItem* parent = item->parent();
    const int position = parent ? parent->indexOfChild(item) : TreeView1->indexOfTopLevelItem(item);
    Pages->setCurrentIndex(std::clamp(position, 0, Pages->count() - 1));
}

void TfrmSettings::CheckOnly(QRadioButton* button) {
    for (QRadioButton* b : {rbConnectToNum, rbToLast, rbFindFirst})
        b->setChecked(b == button);
}

void TfrmSettings::cbSetConnectBeforeRunClick() {
    const bool checked = cbSetConnectBeforeRun->isChecked();
    for (QRadioButton* b : {rbConnectToNum, rbToLast, rbFindFirst})
        b->setEnabled(checked);
    if (checked) {
        FSettings.ToNum = rbConnectToNum->isChecked();
        FSettings.ToFirst = rbFindFirst->isChecked();
        FSettings.ToLast = rbToLast->isChecked();
        if (!FSettings.ToNum && !FSettings.ToFirst && !FSettings.ToLast) {
            FSettings.ToNum = true;
            rbConnectToNum->setChecked(true);
        }
        FSettings.DefaultSlaveID = static_cast<quint8>(rseSlaveID->value());
    } else {
        FSettings.ToNum = FSettings.ToFirst = FSettings.ToLast = false;
    }
    rseSlaveID->setEnabled(FSettings.ToNum);
    FSettings.ConnectBeforeRun = checked;
}

void TfrmSettings::rbConnectToNumClick() {
    CheckOnly(rbConnectToNum);
    FSettings.ToFirst = FSettings.ToLast = false;
    rseSlaveID->setEnabled(true);
    FSettings.ToNum = true;
}

void TfrmSettings::rbToLastClick() {
    FSettings.DefaultSlaveID = static_cast<quint8>(FLink.DeviceData.SlaveID & 0xFF);
    rseSlaveID->setValue(FSettings.DefaultSlaveID);
    rseSlaveID->setEnabled(false);
    CheckOnly(rbToLast);
    FSettings.ToFirst = FSettings.ToNum = false;
    FSettings.ToLast = true;
}

void TfrmSettings::rbFindFirstClick() {
    rseSlaveID->setEnabled(false);
    CheckOnly(rbFindFirst);
    FSettings.ToNum = FSettings.ToLast = false;
    FSettings.ToFirst = true;
}

void TfrmSettings::cbComSelect(int index) {
    if (index >= 0)
        FConnection.SettingsChooseListedPort(cbCom->itemText(index), index);
}
