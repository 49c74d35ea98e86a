#include "ServiceLogModel.h"

#include "ServiceTexts.h"

#include <QBrush>
#include <QColor>

namespace servicerecord {

void TServiceLogModel::SetEntries(QList<TLogEntry> entries) {
    beginResetModel();
    entries_ = std::move(entries);
    endResetModel();
}

int TServiceLogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(entries_.size());
}

int TServiceLogModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : colCount;
}

QVariant TServiceLogModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= entries_.size())
        return {};
    const TLogEntry& e = entries_[index.row()];
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
