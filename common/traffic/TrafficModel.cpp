#include "TrafficModel.h"

#include <QDateTime>
#include <QSaveFile>
#include <algorithm>
#include <cstdlib>
#include <vector>

namespace traffic {

TTrafficModel::TTrafficModel(QObject* parent, int maxFrames)
    : QAbstractTableModel(parent), FMaxFrames(std::max(maxFrames, 1)) {}

int TTrafficModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return Filtered() ? int(FShown.size()) : int(FRows.size());
}

int TTrafficModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : TTrafficDecoder::ColumnCount;
}

const TTrafficRow& TTrafficModel::Row(int row) const {
    return Filtered() ? FRows[std::size_t(FShown[std::size_t(row)] - FFirstSeq)] : FRows[std::size_t(row)];
}

namespace {

QVariant cellData(const TTrafficRow& r, int column, int role) {
    switch (role) {
    case Qt::DisplayRole:
        return TTrafficDecoder::CellText(r, column);
    case Qt::ToolTipRole:
        if (column == TTrafficDecoder::ColVerdict)
            return r.verdict + QLatin1Char('\n') + TTrafficDecoder::DetailText(r);
        return TTrafficDecoder::DetailText(r);
    case Qt::TextAlignmentRole:
        if (column == TTrafficDecoder::ColAddress || column == TTrafficDecoder::ColMs)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    case TTrafficModel::SeverityRole:
        return int(r.severity);
    default:
        return {};
    }
}

} // namespace

QVariant TTrafficModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= TTrafficDecoder::ColumnCount)
        return {};
    return cellData(Row(index.row()), index.column(), role);
}

void TTrafficModel::multiData(const QModelIndex& index, QModelRoleDataSpan roleDataSpan) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= TTrafficDecoder::ColumnCount) {
        for (QModelRoleData& d : roleDataSpan)
            d.clearData();
        return;
    }
    const TTrafficRow& r = Row(index.row());
    for (QModelRoleData& d : roleDataSpan)
        d.setData(cellData(r, index.column(), d.role()));
}

QVariant TTrafficModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= TTrafficDecoder::ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return TTrafficDecoder::ColumnTitles().at(section);
}

bool TTrafficModel::Accepts(const TTrafficRow& row) const {
    return (FAddressFilter <= 0 || row.slaveAddr == FAddressFilter) &&
           (FFunctionFilter < 0 || row.funcCode == FFunctionFilter);
}

void TTrafficModel::AddExchange(const TTrafficExchange& exchange) {
    AddExchanges(std::span<const TTrafficExchange>(&exchange, 1));
}

void TTrafficModel::AddExchanges(std::span<const TTrafficExchange> exchanges) {
    if (exchanges.empty())
        return;
    std::vector<TTrafficRow> fresh;
    fresh.reserve(exchanges.size() * 2);
    for (const TTrafficExchange& e : exchanges) {
        if (!FSeenFunctions.test(e.funcCode)) {
            FSeenFunctions.set(e.funcCode);
            Q_EMIT FunctionSeen(e.funcCode, e.generation);
        }
        for (TTrafficRow& r : TTrafficDecoder::Rows(e))
            fresh.push_back(std::move(r));
    }
    if (FPaused) {
        FSkipped += qint64(fresh.size());
        Q_EMIT CountsChanged();
        return;
    }
    // The time cells, made once. Asking for the time zone's offset costs microseconds and now and then
    // milliseconds, so it is asked once a minute at most (a change of clocks shows within that minute).
    const qint64 firstMs = fresh.front().wallMs;
    if (!FOffsetValid || std::abs(firstMs - FOffsetAtMs) > 60'000) {
        FUtcOffset = QDateTime::fromMSecsSinceEpoch(firstMs).offsetFromUtc();
        FOffsetAtMs = firstMs;
        FOffsetValid = true;
    }
    for (TTrafficRow& r : fresh)
        r.timeText = TTrafficDecoder::TimeText(r.wallMs, FUtcOffset);
    // More new rows than the cap: only the newest count.
    std::size_t first = 0;
    if (fresh.size() > std::size_t(FMaxFrames))
        first = fresh.size() - std::size_t(FMaxFrames);
    const std::size_t adding = fresh.size() - first;

    // Drop the oldest kept rows to make room.
    const std::size_t overflow =
        FRows.size() + adding > std::size_t(FMaxFrames) ? FRows.size() + adding - std::size_t(FMaxFrames) : 0;
    if (overflow > 0) {
        const qint64 newFirst = FFirstSeq + qint64(overflow);
        int shownGone = 0;
        if (Filtered()) {
            while (std::size_t(shownGone) < FShown.size() && FShown[std::size_t(shownGone)] < newFirst)
                ++shownGone;
        } else {
            shownGone = int(overflow);
        }
        if (shownGone > 0)
            beginRemoveRows({}, 0, shownGone - 1);
        FRows.erase(FRows.begin(), FRows.begin() + std::ptrdiff_t(overflow));
        if (Filtered())
            FShown.erase(FShown.begin(), FShown.begin() + shownGone);
        FFirstSeq = newFirst;
        if (shownGone > 0)
            endRemoveRows();
    }

    int shownAdding = 0;
    if (Filtered()) {
        for (std::size_t i = first; i < fresh.size(); ++i)
            shownAdding += Accepts(fresh[i]) ? 1 : 0;
    } else {
        shownAdding = int(adding);
    }
    const int at = rowCount();
    if (shownAdding > 0)
        beginInsertRows({}, at, at + shownAdding - 1);
    for (std::size_t i = first; i < fresh.size(); ++i) {
        if (Filtered() && Accepts(fresh[i]))
            FShown.push_back(FFirstSeq + qint64(FRows.size()));
        FRows.push_back(std::move(fresh[i]));
    }
    if (shownAdding > 0)
        endInsertRows();
    Q_EMIT CountsChanged();
}

void TTrafficModel::AddSkipped(qint64 frames) {
    if (frames <= 0)
        return;
    FSkipped += frames;
    Q_EMIT CountsChanged();
}

void TTrafficModel::SetPaused(bool paused) {
    if (paused == FPaused)
        return;
    FPaused = paused;
    Q_EMIT CountsChanged();
}

void TTrafficModel::Clear() {
    beginResetModel();
    FFirstSeq += qint64(FRows.size());
    FRows.clear();
    FShown.clear();
    FSkipped = 0;
    endResetModel();
    Q_EMIT CountsChanged();
}

void TTrafficModel::Refilter() {
    beginResetModel();
    FShown.clear();
    if (Filtered())
        for (std::size_t i = 0; i < FRows.size(); ++i)
            if (Accepts(FRows[i]))
                FShown.push_back(FFirstSeq + qint64(i));
    endResetModel();
}

void TTrafficModel::SetAddressFilter(int slaveAddr) {
    slaveAddr = std::max(slaveAddr, 0);
    if (slaveAddr == FAddressFilter)
        return;
    FAddressFilter = slaveAddr;
    Refilter();
}

void TTrafficModel::SetFunctionFilter(int funcCode) {
    funcCode = funcCode < 0 ? -1 : funcCode;
    if (funcCode == FFunctionFilter)
        return;
    FFunctionFilter = funcCode;
    Refilter();
}

QString TTrafficModel::RowsText(const QList<int>& rows, const QString& eol) const {
    QString text;
    for (int r : rows) {
        if (r < 0 || r >= rowCount())
            continue;
        text += TTrafficDecoder::RowText(Row(r)) + eol;
    }
    return text;
}

QString TTrafficModel::ViewText(const QString& eol) const {
    QString text = TTrafficDecoder::ColumnTitles().join(QLatin1Char('\t')) + eol;
    const int n = rowCount();
    for (int r = 0; r < n; ++r)
        text += TTrafficDecoder::RowText(Row(r)) + eol;
    return text;
}

bool TTrafficModel::SaveView(const QString& path, QString* error) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    file.write(ViewText().toUtf8());
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace traffic
