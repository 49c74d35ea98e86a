#include "TfrmConnect.h"

#include "Artwork.h"
#include "Connection.h"
#include "PortComboBox.h"
#include "WindowPlacement.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfrmConnect::TfrmConnect(TConnection& connection, TTsLink& link, QWidget* parent)
    : QDialog(parent), FConnection(connection), FLink(link) {
    setObjectName(QStringLiteral("frmConnect"));
    setWindowTitle(QStringLiteral("Установка соединения"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFont(ProgramFont());

    GroupBox1 = new QGroupBox(QStringLiteral("Установить соединение с прибором "), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    Label1 = new QLabel(QStringLiteral("Адрес (1..247):"), GroupBox1);
    Label1->setObjectName(QStringLiteral("Label1"));
    cbPL_ID = new QComboBox(GroupBox1);
    cbPL_ID->setObjectName(QStringLiteral("cbPL_ID"));
    cbPL_ID->setEditable(true);
    cbPL_ID->setInsertPolicy(QComboBox::NoInsert);
    cbPL_ID->setMaxVisibleItems(12);
    cbPL_ID->setMinimumWidth(80);
    Label1->setBuddy(cbPL_ID);
    btnFind = new QPushButton(QStringLiteral("Найти"), GroupBox1);
    btnFind->setObjectName(QStringLiteral("btnFind"));
    btnFind->setDefault(true);
    btnFindFirst = new QPushButton(QStringLiteral("Найти первый"), GroupBox1);
    btnFindFirst->setObjectName(QStringLiteral("btnFindFirst"));

    auto* row = new QHBoxLayout;
    row->addWidget(Label1);
    row->addWidget(cbPL_ID, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnFind);
    buttons->addWidget(btnFindFirst);
    auto* inner = new QVBoxLayout(GroupBox1);
    inner->addLayout(row);
    inner->addSpacing(6);
    inner->addLayout(buttons);
    // The panel's caption in full.
    GroupBox1->setMinimumWidth(GroupBox1->fontMetrics().horizontalAdvance(GroupBox1->title()) + 40);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(GroupBox1);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    connect(btnFind, &QPushButton::clicked, this, &TfrmConnect::btnFindClick);
    connect(btnFindFirst, &QPushButton::clicked, this, &TfrmConnect::btnFindFirstClick);
}

void TfrmConnect::showEvent(QShowEvent* event) {
    cbPL_ID->clear();
    for (int a = FirstSearchAddress; a <= LastSearchAddress; ++a)
        cbPL_ID->addItem(QString::number(a));
    cbPL_ID->setCurrentIndex(FindComboItem(cbPL_ID, QString::number(FLink.DeviceData.SlaveID)));
    cbPL_ID->lineEdit()->selectAll();
    cbPL_ID->setFocus();
    CentreOnOwner(this);
    QDialog::showEvent(event);
}

void TfrmConnect::btnFindClick() {
    if (!FConnection.ConnectToAddressText(cbPL_ID->currentText()))
        return;
    accept();
}

void TfrmConnect::btnFindFirstClick() {
    FConnection.FindFirstDevice();
    accept();
}
