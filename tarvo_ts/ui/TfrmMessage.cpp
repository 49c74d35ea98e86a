#include "TfrmMessage.h"

#include "Artwork.h"
#include "IconTable.h"
#include "WindowPlacement.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace {

constexpr int ClientWidth = 359;
constexpr int ClientHeight = 122;
constexpr int TextLeft = 52;
constexpr int TextTop = 8;
constexpr int TextWidth = ClientWidth - TextLeft - 10;
constexpr int TextHeight = 73;
constexpr int EntryTextHeight = 45;
constexpr int ButtonsTop = 88;

QPushButton* Button(const char* name, const QString& caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setFixedSize(75, 25);
    b->hide();
    return b;
}

} // namespace

TfrmMessage::TfrmMessage(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmMessage"));
    setWindowTitle(QStringLiteral("Tarvo-ТС"));
    // A title bar without any buttons: only the dialog's own buttons answer it.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint);
    setFont(ProgramFont());
    setFixedSize(ClientWidth, ClientHeight);

    imgIcon = new QLabel(this);
    imgIcon->setObjectName(QStringLiteral("imgIcon"));
    imgIcon->setGeometry(12, TextTop + (TextHeight - 32) / 2, 32, 32);
    imgIcon->setProperty("iconKind", -1);

    lbMess = new QLabel(this);
    lbMess->setObjectName(QStringLiteral("lbMess"));
    lbMess->setWordWrap(true);
    lbMess->setAlignment(Qt::AlignCenter);
    lbMess->setGeometry(TextLeft, TextTop, TextWidth, TextHeight);

    rseVal = new QDoubleSpinBox(this);
    rseVal->setObjectName(QStringLiteral("rseVal"));
    rseVal->setDecimals(1);
    rseVal->setSingleStep(0.1);
    // The entry has no limits of its own; whoever asks checks the number.
    rseVal->setRange(-999999.9, 999999.9);
    rseVal->setAlignment(Qt::AlignRight);
    rseVal->setGeometry((ClientWidth - 120) / 2, TextTop + EntryTextHeight + 5, 120, 24);
    rseVal->hide();

    // The visible buttons stand centred in one row.
    auto* row = new QWidget(this);
    row->setObjectName(QStringLiteral("pnButtons"));
    row->setGeometry(0, ButtonsTop, ClientWidth, 28);
    btnOk = Button("btnOk", QStringLiteral("Ok"), row);
    btnYes = Button("btnYes", QStringLiteral("Да"), row);
    btnNo = Button("btnNo", QStringLiteral("Нет"), row);
    auto* buttons = new QHBoxLayout(row);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(10);
    buttons->addStretch();
    for (auto [b, result] : {std::pair{btnOk, mrOk}, std::pair{btnYes, mrYes}, std::pair{btnNo, mrNo}}) {
        buttons->addWidget(b);
        connect(b, &QPushButton::clicked, this, [this, result = int(result)] {
            FAnswered = true;
            done(result);
        });
    }
    buttons->addStretch();
}

void TfrmMessage::SetIcon(int kind) {
    const QIcon icon = MessageKindIcon(kind);
    imgIcon->setPixmap(icon.isNull() ? QPixmap() : icon.pixmap(32, 32));
    imgIcon->setProperty("iconKind", icon.isNull() ? -1 : kind);
}

int TfrmMessage::ShowModal() {
    FAnswered = false;
    QCoreApplication::processEvents();
    const int result = exec();
    QCoreApplication::processEvents();
    return result;
}

int TfrmMessage::MessageDlg(const QString& text, int kind, int buttons) {
    SetIcon(kind);
    lbMess->setText(text);
    // A message without any of the three buttons could never be closed: it gets "Ok".
    if (!(buttons & (mbOK | mbYes | mbNo)))
        buttons = mbOK;
    btnOk->setVisible(buttons & mbOK);
    btnYes->setVisible(buttons & mbYes);
    btnNo->setVisible(buttons & mbNo);
    return ShowModal();
}

int TfrmMessage::EnterValue(const QString& text, double& value, double initial) {
    imgIcon->hide();
    imgIcon->setProperty("iconKind", -1);
    lbMess->setFixedHeight(EntryTextHeight);
    rseVal->setValue(initial);
    rseVal->show();
    btnYes->setText(QStringLiteral("Ok"));
    btnNo->setText(QStringLiteral("Отмена"));
    btnYes->show();
    btnNo->show();
    lbMess->setText(text);
    rseVal->setFocus();
    rseVal->selectAll();

    const int result = ShowModal();
    rseVal->interpretText();
    value = rseVal->value();

    imgIcon->show();
    lbMess->setFixedHeight(TextHeight);
    rseVal->hide();
    btnYes->setText(QStringLiteral("Да"));
    btnNo->setText(QStringLiteral("Нет"));
    btnYes->hide();
    btnNo->hide();
    return result == mrYes ? mrYes : mrNo;
}

void TfrmMessage::showEvent(QShowEvent* event) {
    if (FBeforeShow)
        FBeforeShow();
    // Centred on the main window each time, wherever that has moved since.
    CentreOnOwner(this);
    QDialog::showEvent(event);
}

void TfrmMessage::hideEvent(QHideEvent* event) {
    lbMess->clear();
    btnOk->hide();
    btnYes->hide();
    btnNo->hide();
    QDialog::hideEvent(event);
}

void TfrmMessage::closeEvent(QCloseEvent* event) {
    // Only a button closes the dialog (the title bar has none): a close request of the system waits.
    if (isVisible() && !FAnswered) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TfrmMessage::keyPressEvent(QKeyEvent* event) {
    // Escape would close the dialog with no answer at all.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
