#include "TfrmCOMChoice.h"

#include "Artwork.h"
#include "CommPortDriver.h"
#include "Connection.h"
#include "PortComboBox.h"
#include "TsLink.h"
#include "WindowPlacement.h"

#include <QHBoxLayout>
#include <QPushButton>

TfrmCOMChoice::TfrmCOMChoice(TConnection& connection, TTsLink& link, QWidget* parent)
    : QDialog(parent), FConnection(connection), FLink(link) {
    setObjectName(QStringLiteral("frmCOMChoice"));
    setWindowTitle(QStringLiteral("СОМ-порт"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFont(ProgramFont());

    cbComPort = new TPortComboBox(this);
    cbComPort->setObjectName(QStringLiteral("cbComPort"));
    cbComPort->setMinimumWidth(200);
    btnOk = new QPushButton(QStringLiteral("Ok"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(cbComPort, 1);
    layout->addWidget(btnOk);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(cbComPort, &QComboBox::activated, this, &TfrmCOMChoice::cbComPortSelect);
    cbComPort->OnEnter = [this](const QString& text) { cbComPortEnter(text); };
}

bool TfrmCOMChoice::Choose() {
    FLink.ProcessMessages();
    // The field starts with the port in use: "Ok" alone keeps it.
    cbComPort->setEditText(PortStatusText(FLink.Driver().PortName()));
    cbComPort->FillPorts();
    adjustSize();
    CentreOnScreen(this);
    return exec() == QDialog::Accepted;
}

void TfrmCOMChoice::cbComPortSelect(int index) {
    if (index >= 0)
        FConnection.ChooseListedPort(cbComPort->itemText(index), index);
}

void TfrmCOMChoice::cbComPortEnter(const QString& text) {
    if (FConnection.EnterPortName(text))
        accept();
}
