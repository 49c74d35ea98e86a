#include "ServiceLogModel.h"

#include "ServiceTexts.h"

#include <QBrush>
#include <QColor>

namespace servicerecord {

void TServiceLogModel::SetRows(const TServiceQuery* query, QList<qint64> ids) {
    beginResetModel();
    query_ = query;
    ids_ = std::move(ids);
    pages_.clear();
    endResetModel();
}

const TLogEntry* TServiceLogModel::Entry(int row) const {
    if (row < 0 || row >= ids_.size() || !query_)
        return nullptr;
    const int page = row / kPage;
    auto it = pages_.find(page);
    if (it == pages_.end()) {
        QHash<qint64, TLogEntry> entries;
        for (TLogEntry& e : query_->Entries(ids_.mid(page * kPage, kPage)))
            entries.insert(e.id, std::move(e));
        it = pages_.insert(page, std::move(entries));
    }
    const auto e = it->constFind(ids_[row]);
    return e == it->constEnd() ? nullptr : &*e;
}

int TServiceLogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(ids_.size());
}

int TServiceLogModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : colCount;
}

QVariant TServiceLogModel::data(const QModelIndex& index, int role) const {
    const TLogEntry* entry = index.isValid() ? Entry(index.row()) : nullptr;
    if (!entry)
        return {};
    const TLogEntry& e = *entry;
    if (role == Qt::ForegroundRole && index.column() == colOutcome) {
        const bool bad = e.outcome == ocFailed || e.outcome == ocRefused || e.outcome == ocInterrupted ||
                         EntryOutcomeText(e) == QStringLiteral("Не годен");
        return bad ? QVariant(QBrush(QColor(Qt::red))) : QVariant();
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
    case colAt:
        return AtText(e.at);
    case colTransducer:
        return TransducerText(e.transducer);
    case colOperation:
        return EventTitle(e.kind, e.transducer.generation);
    case colOutcome:
        return EntryOutcomeText(e);
    case colDetails:
        return EntryDetails(e);
    case colOperator:
        return e.operatorName;
    case colProgram:
        return e.program + QLatin1Char(' ') + e.version;
    case colPort:
        return QStringLiteral("%1, %2, адрес %3").arg(e.link.port).arg(e.link.rate).arg(e.link.address);
    default:
        return {};
    }
}

QVariant TServiceLogModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const titles[colCount] = {"Дата и время", "Преобразователь", "Операция", "Результат",
                                                 "Подробности",  "Оператор",        "Программа", "Порт"};
    return section >= 0 && section < colCount ? QString::fromUtf8(titles[section]) : QVariant();
}

} // namespace servicerecord
