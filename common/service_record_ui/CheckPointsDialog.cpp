#include "CheckPointsDialog.h"

#include "ServiceTexts.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace servicerecord {

namespace {

QString Number(double v) {
    QLocale ru(QLocale::Russian);
    ru.setNumberOptions(QLocale::OmitGroupSeparator);
    return ru.toString(v, 'f', 2);
}

QTableWidgetItem* Fixed(const QString& text = {}) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

} // namespace

CheckPointsDialog::CheckPointsDialog(TEventKind kind, const QString& transducer, TReadTemperature read,
                                     TServiceUiHooks& hooks, QWidget* parent)
    : QDialog(parent), kind_(kind == ekAsLeft ? ekAsLeft : ekAsFound), read_(std::move(read)), hooks_(hooks) {
    setObjectName(QStringLiteral("CheckPointsDialog"));
    setWindowTitle(EventTitle(kind_, gnNewer));
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    auto* about = new QLabel(QStringLiteral("Преобразователь: ") + transducer, this);
    about->setObjectName(QStringLiteral("LabelCheckTransducer"));
    layout->addWidget(about);
    auto* hint = new QLabel(QStringLiteral("Введите значение эталона (°С) и допуск (±°С) в каждой точке, установите "
                                           "эталонную температуру и нажмите «Измерить»."),
                            this);
    hint->setObjectName(QStringLiteral("LabelCheckHint"));
    hint->setWordWrap(true);
    layout->addWidget(hint);

    table_ = new QTableWidget(kMaxCheckPoints, colCount, this);
    table_->setObjectName(QStringLiteral("TableCheckPoints"));
    table_->setHorizontalHeaderLabels({QStringLiteral("Эталон"), QStringLiteral("Показание"), QStringLiteral("Разность"),
                                       QStringLiteral("Допуск"), QStringLiteral("Годен"), QString()});
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table_->horizontalHeader()->setSectionResizeMode(colRead, QHeaderView::ResizeToContents);
    for (int row = 0; row < kMaxCheckPoints; ++row) {
        table_->setVerticalHeaderItem(row, new QTableWidgetItem(QString::number(row + 1)));
        auto* reference = new QTableWidgetItem;
        reference->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        table_->setItem(row, colReference, reference);
        auto* tolerance = new QTableWidgetItem;
        tolerance->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        table_->setItem(row, colTolerance, tolerance);
        table_->setItem(row, colReading, Fixed());
        table_->setItem(row, colDifference, Fixed());
        auto* passed = Fixed();
        passed->setTextAlignment(Qt::AlignCenter);
        table_->setItem(row, colPassed, passed);
        auto* button = new QPushButton(QStringLiteral("Измерить"), table_);
        button->setObjectName(QStringLiteral("ButtonReadPoint%1").arg(row + 1));
        connect(button, &QPushButton::clicked, this, [this, row] { Read(row); });
        table_->setCellWidget(row, colRead, button);
        readButtons_.append(button);
        readings_.append(std::nullopt);
    }
    connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() == colReference || item->column() == colTolerance)
            Update(item->row());
    });
    layout->addWidget(table_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    save_ = new QPushButton(QStringLiteral("Сохранить"), this);
    save_->setObjectName(QStringLiteral("ButtonCheckSave"));
    save_->setDefault(true);
    connect(save_, &QPushButton::clicked, this, &CheckPointsDialog::accept);
    auto* cancel = new QPushButton(QStringLiteral("Отмена"), this);
    cancel->setObjectName(QStringLiteral("ButtonCheckCancel"));
    connect(cancel, &QPushButton::clicked, this, &CheckPointsDialog::reject);
    buttons->addWidget(save_);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    resize(640, 330);
}

QList<TPointInput> CheckPointsDialog::Points() const {
    QList<TPointInput> points;
    for (int row = 0; row < kMaxCheckPoints; ++row)
        points.append({table_->item(row, colReference)->text(), table_->item(row, colTolerance)->text(), readings_[row]});
    return points;
}

void CheckPointsDialog::SetButtonsEnabled(bool enabled) {
    for (QPushButton* b : readButtons_)
        b->setEnabled(enabled);
    save_->setEnabled(enabled);
}

void CheckPointsDialog::Read(int row) {
    if (reading_ >= 0 || !read_)
        return;
    reading_ = row;
    SetButtonsEnabled(false);
    setCursor(Qt::WaitCursor);
    // The reply may come after the dialog is gone.
    QPointer<CheckPointsDialog> self(this);
    read_([self, row](const TReading& r) {
        if (self)
            self->Took(row, r);
    });
}

void CheckPointsDialog::Took(int row, const TReading& reading) {
    if (row != reading_)
        return; // not the reading asked for
    reading_ = -1;
    unsetCursor();
    SetButtonsEnabled(true);
    if (!reading.ok) {
        hooks_.ShowMessage(ReadingFailureText(row + 1, reading.failure), TServiceUiHooks::mkError);
        return;
    }
    readings_[row] = reading.value;
    table_->item(row, colReading)->setText(Number(reading.value));
    Update(row);
}

void CheckPointsDialog::Update(int row) {
    const std::optional<TPointResult> r = PointResult(Points()[row]);
    const QSignalBlocker block(table_);
    table_->item(row, colDifference)->setText(r ? Number(r->difference) : QString());
    table_->item(row, colPassed)->setText(r ? (r->passed ? QStringLiteral("да") : QStringLiteral("нет")) : QString());
    table_->item(row, colPassed)->setForeground(r && !r->passed ? QColor(Qt::red) : palette().text().color());
}

void CheckPointsDialog::accept() {
    if (reading_ >= 0)
        return;
    QString error;
    if (!BuildCheck(kind_, Points(), check_, error)) {
        hooks_.ShowMessage(error, TServiceUiHooks::mkError);
        return;
    }
    QDialog::accept();
}

} // namespace servicerecord
