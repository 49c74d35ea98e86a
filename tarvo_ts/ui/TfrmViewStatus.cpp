#include "TfrmViewStatus.h"

#include "Artwork.h"
#include "WindowPlacement.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {
constexpr int WindowWidth = 380;
constexpr int StartHeight = 170;
} // namespace

TfrmViewStatus::TfrmViewStatus(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmViewStatus"));
    setWindowTitle(QStringLiteral("Поиск прибора"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowContextHelpButtonHint);
    setFont(ProgramFont());

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);
    Label1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);

    KvProgressBar = new QProgressBar(this);
    KvProgressBar->setObjectName(QStringLiteral("KvProgressBar"));
    KvProgressBar->setTextVisible(true);
    KvProgressBar->setFormat(QStringLiteral("%p%"));
    KvProgressBar->setAlignment(Qt::AlignCenter);
    KvProgressBar->hide();

    btnStop = new QPushButton(QStringLiteral("Стоп!"), this);
    btnStop->setObjectName(QStringLiteral("btnStop"));
    btnStop->setFixedWidth(90);
    btnStop->hide();
    connect(btnStop, &QPushButton::clicked, this, [this] { FSearchStopRequested = true; });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 12);
    layout->setSpacing(8);
    layout->addWidget(Label1, 1);
    layout->addWidget(KvProgressBar);
    layout->addWidget(btnStop, 0, Qt::AlignHCenter);
    SetWindowHeight(StartHeight);
}

void TfrmViewStatus::SetWindowHeight(int height) {
    setFixedSize(WindowWidth, height);
}

void TfrmViewStatus::SetText(const QString& text) {
    Label1->setText(text);
}

void TfrmViewStatus::ShowSearchControls(int first, int last) {
    KvProgressBar->setRange(first, last);
    KvProgressBar->setValue(first);
    KvProgressBar->show();
    btnStop->show();
}

void TfrmViewStatus::HideSearchControls() {
    KvProgressBar->hide();
    btnStop->hide();
}

void TfrmViewStatus::StepBar() {
    KvProgressBar->setValue(std::min(KvProgressBar->value() + 1, KvProgressBar->maximum()));
}

void TfrmViewStatus::Show() {
    show();
    raise();
}

void TfrmViewStatus::Close() {
    hide();
}

void TfrmViewStatus::showEvent(QShowEvent* event) {
    CentreOnScreen(this);
    QWidget::showEvent(event);
}
