#include "TfrmAbout.h"

#include "Artwork.h"
#include "Help.h"
#include "WindowPlacement.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>
#include <QVBoxLayout>

QString AboutVersionLine(int major, int minor) {
    return QStringLiteral("Версия  %1.%2").arg(major).arg(minor);
}

namespace maker {
QString AddressText() {
    return QStringLiteral("Тарво\nРоссия, 620000, г. Екатеринбург, а/я 1\nтел./факс: +7 (343) 000-00-00");
}
QString Email() {
    return QStringLiteral("info@tarvo.example");
}
} // namespace maker

namespace {

QLabel* Text(const char* name, const QString& text, QWidget* parent, const QColor& colour = Qt::white) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, colour);
    l->setPalette(pal);
    // Clicks go through to the box, which closes on any of them.
    l->setAttribute(Qt::WA_TransparentForMouseEvents);
    return l;
}

} // namespace

TfrmAbout::TfrmAbout(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("О программе"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFont(ProgramFont());
    setProperty("helpContext", help::About);
    setFocusPolicy(Qt::StrongFocus);

    auto* logo = Text("imgLogo", QString(), this);
    logo->setPixmap(ProgramLogo(72));

    lbProgName = Text("lbProgName", QStringLiteral("Tarvo-ТС"), this);
    QFont big = font();
    big.setPointSize(20);
    big.setBold(true);
    lbProgName->setFont(big);

#ifdef TARVO_VERSION_MAJOR
    lbVersion = Text("lbVersion", AboutVersionLine(TARVO_VERSION_MAJOR, TARVO_VERSION_MINOR), this,
                     QColor(0xd8, 0xee, 0xe4));
#else
    lbVersion = Text("lbVersion", QStringLiteral("Версия  "), this, QColor(0xd8, 0xee, 0xe4));
#endif
    lbPurpose = Text("lbPurpose",
                     QStringLiteral("Программа для настройки ") + QLatin1Char('\n') +
                         QStringLiteral("преобразователей Tarvo-ТС-4-20"),
                     this);
    QFont purpose = font();
    purpose.setPointSize(10);
    lbPurpose->setFont(purpose);

    lbAddress = Text("lbAddress", maker::AddressText(), this, QColor(0xd8, 0xee, 0xe4));
    lbEmail = Text("lbEmail", QStringLiteral("e-mail: <u>%1</u>").arg(maker::Email()), this,
                   QColor(0xff, 0xe0, 0x8a));
    lbEmail->setCursor(Qt::PointingHandCursor);

    auto* names = new QVBoxLayout;
    names->setSpacing(2);
    names->addStretch();
    names->addWidget(lbProgName);
    names->addWidget(lbVersion);
    names->addStretch();
    auto* head = new QHBoxLayout;
    head->setSpacing(14);
    head->addWidget(logo, 0, Qt::AlignTop);
    head->addLayout(names, 1);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(22, 20, 22, 18);
    column->setSpacing(6);
    column->addLayout(head);
    column->addSpacing(12);
    column->addWidget(lbPurpose);
    column->addStretch();
    column->addWidget(lbAddress);
    column->addWidget(lbEmail);
    setFixedSize(QSize(400, 270).expandedTo(sizeHint()));
}

void TfrmAbout::paintEvent(QPaintEvent*) {
    QPainter p(this);
    PaintAboutBackdrop(p, rect());
}

void TfrmAbout::showEvent(QShowEvent* event) {
    CentreOnOwner(this);
    QWidget::showEvent(event);
    activateWindow();
    setFocus();
}

void TfrmAbout::mousePressEvent(QMouseEvent* event) {
    if (lbEmail->geometry().contains(event->position().toPoint()))
        lbEmailClick();
    event->accept();
    close();
}

void TfrmAbout::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TfrmAbout::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isVisible() && !isActiveWindow())
        close();
}

void TfrmAbout::lbEmailClick() {
    QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + maker::Email()));
}
