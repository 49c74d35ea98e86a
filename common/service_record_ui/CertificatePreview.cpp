#include "CertificatePreview.h"

#include "ServiceActions.h"
#include "ServiceRecord.h"

#include <QAction>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTextBrowser>
#include <QToolButton>
#include <QVBoxLayout>

namespace servicerecord {

namespace {

constexpr int kInstrumentRows = 5;


} // namespace

CertificatePreview::CertificatePreview(const TRunReport& report, const QList<TInstrument>& remembered,
                                       int recheckMonths, TServiceRecord& record, TServiceUiHooks& hooks,
                                       QWidget* parent)
    : QDialog(parent), record_(record), hooks_(hooks) {
    certificate_.report = report;
    certificate_.recheckMonths = recheckMonths;
    setObjectName(QStringLiteral("CertificatePreview"));
    setWindowTitle(CertificateTitle(report));

    auto* layout = new QVBoxLayout(this);
    auto* caption = new QLabel(QStringLiteral("Эталонные средства измерений:"), this);
    caption->setObjectName(QStringLiteral("LabelInstruments"));
    layout->addWidget(caption);
    instruments_ = new QTableWidget(kInstrumentRows, 3, this);
    instruments_->setObjectName(QStringLiteral("TableInstruments"));
    instruments_->setHorizontalHeaderLabels(
        {QStringLiteral("Наименование"), QStringLiteral("Заводской номер"), QStringLiteral("Свидетельство")});
    instruments_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    instruments_->setColumnWidth(1, 170);
    instruments_->setColumnWidth(2, 200);
    instruments_->setMaximumHeight(instruments_->verticalHeader()->defaultSectionSize() * (kInstrumentRows + 1) + 8);
    const QList<TInstrument>& start = report.instruments.isEmpty() ? remembered : report.instruments;
    for (int row = 0; row < kInstrumentRows; ++row) {
        const TInstrument i = row < start.size() ? start[row] : TInstrument{};
        instruments_->setItem(row, 0, new QTableWidgetItem(i.name));
        instruments_->setItem(row, 1, new QTableWidgetItem(i.serial));
        instruments_->setItem(row, 2, new QTableWidgetItem(i.certificate));
    }
    connect(instruments_, &QTableWidget::itemChanged, this, &CertificatePreview::Refresh);
    layout->addWidget(instruments_);

    text_ = new QTextBrowser(this);
    text_->setObjectName(QStringLiteral("TextCertificate"));
    layout->addWidget(text_, 1);

    auto* save = new QAction(QStringLiteral("Сохранить PDF…"), this);
    save->setObjectName(QStringLiteral("ActionSavePdf"));
    connect(save, &QAction::triggered, this, &CertificatePreview::SavePdf);
    auto* close = new QPushButton(QStringLiteral("Закрыть"), this);
    close->setObjectName(QStringLiteral("ButtonCertificateClose"));
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ToolButtonFor(save, this));
    buttons->addWidget(close);
    layout->addLayout(buttons);

    Refresh();
    resize(760, 860);
}

QList<TInstrument> CertificatePreview::Instruments() const {
    QList<TInstrument> list;
    for (int row = 0; row < kInstrumentRows; ++row) {
        const TInstrument i{instruments_->item(row, 0)->text().trimmed(), instruments_->item(row, 1)->text().trimmed(),
                            instruments_->item(row, 2)->text().trimmed()};
        if (!i.name.isEmpty() || !i.serial.isEmpty() || !i.certificate.isEmpty())
            list.append(i);
    }
    return list;
}

void CertificatePreview::Refresh() {
    certificate_.instruments = Instruments();
    html_ = CertificateHtml(certificate_);
    text_->setHtml(html_);
}

bool CertificatePreview::SavePdf() {
    Refresh();
    const QString suggested = QDir::home().filePath(QStringLiteral("Сертификат-%1.pdf").arg(certificate_.report.run.id));
    QString path = hooks_.SavePdfFileName(this, suggested);
    if (path.isEmpty())
        return false;
    if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        path += QStringLiteral(".pdf");
    QString error;
    if (!WriteCertificatePdf(html_, path, &error)) {
        hooks_.ShowMessage(error, TServiceUiHooks::mkError);
        return false;
    }
    record_.RememberInstruments(certificate_.instruments);
    record_.AttachInstruments(certificate_.report.run.id, certificate_.instruments);
    certificate_.report.instruments = certificate_.instruments;
    hooks_.ShowMessage(QStringLiteral("Сертификат сохранён в файл %1").arg(QDir::toNativeSeparators(path)),
                       TServiceUiHooks::mkInformation);
    return true;
}

} // namespace servicerecord
