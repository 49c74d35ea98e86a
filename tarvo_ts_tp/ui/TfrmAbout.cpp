#include "TfrmAbout.h"

#include "PictureStrip.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QUrl>
#include <QVBoxLayout>

TVersionLines MakeVersionLines(bool hasVersion, int major, int minor, int release, int build) {
    TVersionLines lines{QStringLiteral("Версия "), QStringLiteral("Сборка ")};
    if (!hasVersion)
        return lines;
    lines.version += QStringLiteral("%1").arg(major, 2, 10, QLatin1Char('0'));
    lines.build += QStringLiteral("%1.%2.%3.%4").arg(major).arg(minor).arg(release).arg(build);
    return lines;
}

namespace maker {
QString AddressText() {
    return QStringLiteral("Тарво\nРоссия, 620000, г. Екатеринбург, а/я 1\nтел./факс: +7 (343) 000-00-00");
}
QString Email() {
    return QStringLiteral("info@tarvo.example");
}
QString Url() {
    return QStringLiteral("https://tarvo.example");
}
} // namespace maker

namespace {
QLabel* Named(const QString& name, const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}
} // namespace

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("Tarvo-ТС-ТП"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setProperty("helpContext", 1);

    auto* strip = new TPictureStrip(this);
    strip->setObjectName(QStringLiteral("ImageStrip"));
    strip->setFixedWidth(90);

    auto* logo = Named(QStringLiteral("ImageLogo"), QString(), this);
    logo->setPixmap(TPictureStrip::Logo(64));

    auto* title = Named(QStringLiteral("LabelProgramName"), QStringLiteral("Tarvo-ТС-ТП"), this);
    QFont big = title->font();
    big.setPointSize(big.pointSize() * 2 + 2);
    big.setBold(true);
    title->setFont(big);

    auto* purpose = Named(QStringLiteral("LabelPurpose"),
                          QStringLiteral("Программа для настройки преобразователей Tarvo-ТС-ТП"), this);

#ifdef TARVO_VERSION_MAJOR
    const TVersionLines v = MakeVersionLines(true, TARVO_VERSION_MAJOR, TARVO_VERSION_MINOR,
                                             TARVO_VERSION_PATCH, TARVO_VERSION_BUILD);
#else
    const TVersionLines v = MakeVersionLines(false, 0, 0, 0, 0);
#endif
    auto* version = Named(QStringLiteral("JvLabelVersion"), v.version, this);
    auto* buildLine = Named(QStringLiteral("JvLabelBuildVersion"), v.build, this);
    auto* addr = Named(QStringLiteral("LabelAddr"), maker::AddressText(), this);

    // Links react to the mouse only, so the keyboard always reaches the box itself.
    auto link = [this](const QString& name, const QString& text) {
        auto* l = Named(name, QStringLiteral("<a href=\"#\">%1</a>").arg(text.toHtmlEscaped()), this);
        l->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
        l->setCursor(Qt::PointingHandCursor);
        return l;
    };
    auto* email = link(QStringLiteral("JvLabelEmail"), maker::Email());
    auto* url = link(QStringLiteral("JvLabelURL"), maker::Url());
    connect(email, &QLabel::linkActivated, this, &TfrmAbout::JvLabelEmailClick);
    connect(url, &QLabel::linkActivated, this, &TfrmAbout::JvLabelURLClick);

    auto* emailRow = new QHBoxLayout;
    emailRow->addWidget(Named(QStringLiteral("LabelEmail"), QStringLiteral("e-mail: "), this));
    emailRow->addWidget(email);
    emailRow->addStretch();

    auto* head = new QHBoxLayout;
    head->addWidget(logo);
    auto* names = new QVBoxLayout;
    names->addWidget(title);
    names->addWidget(purpose);
    head->addLayout(names, 1);

    auto* text = new QVBoxLayout;
    text->setContentsMargins(16, 16, 16, 16);
    text->addLayout(head);
    text->addSpacing(12);
    text->addWidget(version);
    text->addWidget(buildLine);
    text->addSpacing(12);
    text->addWidget(addr);
    text->addLayout(emailRow);
    text->addWidget(url);
    text->addStretch();

    auto* top = new QHBoxLayout(this);
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(strip);
    top->addLayout(text, 1);
    setFixedSize(sizeHint().expandedTo(QSize(460, 280)));

    // The box previews every key, whichever of its parts has the focus.
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
}

bool TfrmAbout::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        accept();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmAbout::keyPressEvent(QKeyEvent* event) {
    event->accept();
    accept();
}

void TfrmAbout::JvLabelEmailClick() {
    QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + maker::Email()));
}

void TfrmAbout::JvLabelURLClick() {
    QDesktopServices::openUrl(QUrl(maker::Url()));
}
