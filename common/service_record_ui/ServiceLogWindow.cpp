#include "ServiceLogWindow.h"

#include "CertificatePreview.h"
#include "ServiceActions.h"
#include "ServiceRecord.h"
#include "ServiceTexts.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace servicerecord {

namespace {

// How long opening the window waits for records still being written, so the latest work shows.
constexpr int kDrainMs = 200;


} // namespace

ServiceLogWindow::ServiceLogWindow(TServiceRecord& record, TServiceUiHooks& hooks, QWidget* parent)
    : QWidget(parent, Qt::Window), record_(record), hooks_(hooks), model_(this) {
    setObjectName(QStringLiteral("ServiceLogWindow"));
    setWindowTitle(QStringLiteral("Журнал обслуживания"));

    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    auto* label = new QLabel(QStringLiteral("Номер или имя датчика:"), this);
    label->setObjectName(QStringLiteral("LabelServiceLogSearch"));
    search_ = new QLineEdit(this);
    search_->setObjectName(QStringLiteral("EditServiceLogSearch"));
    search_->setClearButtonEnabled(true);
    auto* find = new QAction(QStringLiteral("Найти"), this);
    find->setObjectName(QStringLiteral("ActionServiceLogSearch"));
    connect(find, &QAction::triggered, this, [this] { Search(search_->text()); });
    connect(search_, &QLineEdit::returnPressed, find, &QAction::trigger);
    showCurrent_ = new QAction(QStringLiteral("Подключённый преобразователь"), this);
    showCurrent_->setObjectName(QStringLiteral("ActionServiceLogCurrent"));
    connect(showCurrent_, &QAction::triggered, this, [this] { ShowTransducer(current_); });
    certificate_ = new QAction(QStringLiteral("Сертификат…"), this);
    certificate_->setObjectName(QStringLiteral("ActionCertificate"));
    certificate_->setEnabled(false);
    connect(certificate_, &QAction::triggered, this, &ServiceLogWindow::OpenCertificate);
    bar->addWidget(label);
    search_->setMinimumWidth(260);
    bar->addWidget(search_);
    bar->addWidget(ToolButtonFor(find, this));
    bar->addWidget(ToolButtonFor(showCurrent_, this));
    bar->addStretch();
    bar->addWidget(ToolButtonFor(certificate_, this));
    layout->addLayout(bar);

    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("TableServiceLog"));
    table_->setModel(&model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    // Fixed heights and widths: measuring ten thousand rows would cost more than reading them.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    const int widths[TServiceLogModel::colCount] = {140, 260, 180, 110, 320, 110, 140, 200};
    for (int c = 0; c < TServiceLogModel::colCount; ++c)
        table_->setColumnWidth(c, widths[c]);
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &ServiceLogWindow::SelectionChanged);
    connect(table_, &QTableView::doubleClicked, this, [this] {
        if (certificate_->isEnabled())
            certificate_->trigger();
    });
    layout->addWidget(table_, 1);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("LabelServiceLogStatus"));
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(status_);

    auto* settings = new QGroupBox(QStringLiteral(" Настройки журнала "), this);
    settings->setObjectName(QStringLiteral("GroupBoxServiceLogSettings"));
    auto* row = new QHBoxLayout(settings);
    auto* opLabel = new QLabel(QStringLiteral("Оператор:"), settings);
    opLabel->setObjectName(QStringLiteral("LabelOperator"));
    operator_ = new QLineEdit(settings);
    operator_->setObjectName(QStringLiteral("EditOperator"));
    operator_->setPlaceholderText(SystemUserName());
    operator_->setMaxLength(100);
    connect(operator_, &QLineEdit::editingFinished, this, [this] {
        if (operator_->isModified()) {
            record_.SetOperator(operator_->text());
            operator_->setModified(false);
        }
    });
    auto* monthsLabel = new QLabel(QStringLiteral("Следующая проверка через, мес.:"), settings);
    monthsLabel->setObjectName(QStringLiteral("LabelRecheckMonths"));
    months_ = new QSpinBox(settings);
    months_->setObjectName(QStringLiteral("SpinRecheckMonths"));
    months_->setRange(1, 120);
    months_->setValue(kDefaultRecheckMonths);
    connect(months_, &QSpinBox::editingFinished, this, [this] { record_.SetRecheckMonths(months_->value()); });
    row->addWidget(opLabel);
    row->addWidget(operator_, 1);
    row->addSpacing(16);
    row->addWidget(monthsLabel);
    row->addWidget(months_);
    layout->addWidget(settings);

    resize(1100, 600);
}

void ServiceLogWindow::ShowTransducer(const std::optional<TTransducerId>& transducer) {
    current_ = transducer;
    showCurrent_->setEnabled(transducer.has_value());
    search_->clear();
    Load(transducer, {});
}

void ServiceLogWindow::Search(const QString& text) {
    Load(std::nullopt, text);
}

void ServiceLogWindow::Load(const std::optional<TTransducerId>& transducer, const QString& search) {
    record_.Drain(kDrainMs);
    model_.SetRows(nullptr, {});
    query_ = std::make_unique<TServiceQuery>(record_.Path());
    const TServiceQuery& query = *query_;
    if (!query.IsOpen()) {
        status_->setText(QFileInfo::exists(record_.Path())
                             ? FaultText(query.Report().fault, record_.Path(), 0, query.Report().systemText)
                             : QStringLiteral("Журнал пуст: файл %1 ещё не создан.")
                                   .arg(QDir::toNativeSeparators(record_.Path())));
        SelectionChanged();
        return;
    }
    const QSignalBlocker block(operator_);
    operator_->setText(query.OperatorSetting());
    months_->setValue(query.RecheckMonths());
    model_.SetRows(query_.get(), transducer ? query.HistoryIds(*transducer) : query.SearchIds(search));
    QString what = transducer ? TransducerText(*transducer)
                   : search.trimmed().isEmpty() ? QStringLiteral("все преобразователи")
                                                : QStringLiteral("поиск «%1»").arg(search.trimmed());
    status_->setText(QStringLiteral("%1: записей %2. Файл журнала: %3")
                         .arg(what)
                         .arg(model_.rowCount())
                         .arg(QDir::toNativeSeparators(record_.Path())));
    if (model_.rowCount() > 0)
        table_->selectRow(0);
    SelectionChanged();
}

const TLogEntry* ServiceLogWindow::Selected() const {
    const QModelIndexList rows = table_->selectionModel()->selectedRows();
    return rows.isEmpty() ? nullptr : model_.Entry(rows.first().row());
}

void ServiceLogWindow::SelectionChanged() {
    const TLogEntry* e = Selected();
    certificate_->setEnabled(e && e->kind == ekCalibration);
}

void ServiceLogWindow::OpenCertificate() {
    const TLogEntry* e = Selected();
    if (!e || e->kind != ekCalibration)
        return;
    const qint64 id = e->id;
    record_.Drain(kDrainMs);
    TServiceQuery query(record_.Path());
    const std::optional<TRunReport> report = query.Run(id);
    if (!report) {
        hooks_.ShowMessage(QStringLiteral("Запись о настройке не найдена в журнале."), TServiceUiHooks::mkError);
        return;
    }
    CertificatePreview preview(*report, query.Instruments(), query.RecheckMonths(), record_, hooks_, this);
    preview.exec();
}

} // namespace servicerecord
