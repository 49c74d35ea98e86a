// The journal's rows for TableServiceLog: entries as read, texts made when a row is painted, so ten
// thousand entries cost one query and no widgets.
#pragma once

#include "ServiceQuery.h"

#include <QAbstractTableModel>

namespace servicerecord {

class TServiceLogModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { colAt, colTransducer, colOperation, colOutcome, colDetails, colOperator, colProgram, colPort, colCount };

    using QAbstractTableModel::QAbstractTableModel;

    void SetEntries(QList<TLogEntry> entries);
    const QList<TLogEntry>& Entries() const { return entries_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QList<TLogEntry> entries_;
};

} // namespace servicerecord
