// The journal's rows for TableServiceLog: the ids of the entries, and the entries themselves read a page
// at a time as rows are shown, their texts made when painted. Ten thousand entries cost one query of
// ids, the rows in view and no widgets.
#pragma once

#include "ServiceQuery.h"

#include <QAbstractTableModel>
#include <QHash>

namespace servicerecord {

class TServiceLogModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { colAt, colTransducer, colOperation, colOutcome, colDetails, colOperator, colProgram, colPort, colCount };

    using QAbstractTableModel::QAbstractTableModel;

    // `query` (kept open by the caller while the model shows its rows) and the ids of the rows, in order.
    void SetRows(const TServiceQuery* query, QList<qint64> ids);
    // The entry of `row`, read with its page when first asked for; null past the end or when gone.
    const TLogEntry* Entry(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    static constexpr int kPage = 100;
    const TServiceQuery* query_ = nullptr;
    QList<qint64> ids_;
    mutable QHash<int, QHash<qint64, TLogEntry>> pages_;
};

} // namespace servicerecord
