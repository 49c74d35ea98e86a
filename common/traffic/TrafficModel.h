// The rows of the traffic view: the latest frames (at most `FrameLimit` unless made smaller, the oldest dropped first), a
// filter by address and function, a pause that counts what it skips, and the rows as text. Window
// thread only; exchanges from other threads come through TTrafficQueue.
#pragma once

#include "TrafficDecoder.h"

#include <QAbstractTableModel>
#include <bitset>
#include <deque>
#include <span>

namespace traffic {

class TTrafficModel : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr int FrameLimit = 10000;
    // The row's TSeverity as an int.
    static constexpr int SeverityRole = Qt::UserRole + 1;

    explicit TTrafficModel(QObject* parent = nullptr, int maxFrames = FrameLimit);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // Every role of a cell at once: the row is looked up once per painted cell, not once per role.
    void multiData(const QModelIndex& index, QModelRoleDataSpan roleDataSpan) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void AddExchange(const TTrafficExchange& exchange);
    void AddExchanges(std::span<const TTrafficExchange> exchanges);
    // Frames lost before they reached the model (a full hand-off queue): counted like paused ones.
    void AddSkipped(qint64 frames);

    // While paused, frames are counted, not kept.
    void SetPaused(bool paused);
    bool Paused() const { return FPaused; }
    // Frames not kept since the last Clear: paused, or lost on the way.
    qint64 SkippedFrames() const { return FSkipped; }
    // Empties the rows and the skipped count; pause and filters stay.
    void Clear();

    // 0: any address. Matches the query's address.
    void SetAddressFilter(int slaveAddr);
    int AddressFilter() const { return FAddressFilter; }
    // -1: any function. Matches the query's function code.
    void SetFunctionFilter(int funcCode);
    int FunctionFilter() const { return FFunctionFilter; }

    // Frames kept, shown or not; at most MaxFrames().
    int FrameCount() const { return int(FRows.size()); }
    int MaxFrames() const { return FMaxFrames; }
    // A shown row.
    const TTrafficRow& Row(int row) const;

    // The given shown rows (ascending), one line each, cells separated by tabs, each line ended by `eol`.
    QString RowsText(const QList<int>& rows, const QString& eol = QStringLiteral("\n")) const;
    // The column titles and every shown row, as RowsText.
    QString ViewText(const QString& eol = QStringLiteral("\r\n")) const;
    // Writes ViewText to `path` in UTF-8; false with `error` set when it cannot.
    bool SaveView(const QString& path, QString* error = nullptr) const;

Q_SIGNALS:
    // Frame count, skipped count or pause changed.
    void CountsChanged();
    // A function code seen for the first time (for the function filter's list).
    void FunctionSeen(std::uint8_t funcCode, traffic::TGeneration generation);

private:
    bool Accepts(const TTrafficRow& row) const;
    bool Filtered() const { return FAddressFilter > 0 || FFunctionFilter >= 0; }
    void Refilter();

    int FMaxFrames;
    std::deque<TTrafficRow> FRows; // oldest first; FRows[i] has the sequence number FFirstSeq + i
    qint64 FFirstSeq = 0;
    std::deque<qint64> FShown; // sequence numbers of the shown rows while a filter is set
    bool FPaused = false;
    qint64 FSkipped = 0;
    int FAddressFilter = 0;
    int FFunctionFilter = -1;
    std::bitset<256> FSeenFunctions;
    int FUtcOffset = 0; // seconds, as last asked at FOffsetAtMs
    qint64 FOffsetAtMs = 0;
    bool FOffsetValid = false;
};

} // namespace traffic
