// The reading side of the service record: the journal of one transducer, the search by sensor number or
// name, a calibration run with its steps, checks and instruments, and the shared settings. Its own
// read-only connection on the calling thread; reading never waits for the writer (write-ahead journal).
#pragma once

#include "ServiceDatabase.h"
#include "ServiceRecordTypes.h"

#include <QDate>
#include <QList>
#include <QString>

#include <optional>

namespace servicerecord {

// One journal entry with the transducer it is about.
struct TLogEntry {
    qint64 id = 0;
    QString uid;
    TEventKind kind = ekConfigRead;
    TOutcome outcome = ocDone;
    QString at;      // local date-time with offset, as recorded
    QString endedAt; // a calibration run's end
    QString program, version;
    TLink link;
    QString operatorName;
    int confirmed = -1; // 1 acknowledged, 0 not, -1 not applicable
    QString before, after; // JSON text of the blocks (empty when none)
    QString failure;
    QDate calibrationDate;
    qint64 runId = 0;   // a check: the calibration run it belongs to
    qint64 transducerId = 0;
    TTransducerId transducer;
};

struct TStepEntry {
    int step = 0;
    std::optional<double> value;
    QString unit;
    TOutcome outcome = ocDone;
    QString failure, note, at;
};

struct TRunReport {
    TLogEntry run;
    QList<TStepEntry> steps;
    std::optional<TCheck> asFound, asLeft; // the latest check of each kind bound to the run
    QList<TInstrument> instruments;        // the ones its certificate named (empty until one was made)
};

class TServiceQuery {
public:
    explicit TServiceQuery(const QString& path, int busyTimeoutMs = 200);
    ~TServiceQuery();
    TServiceQuery(const TServiceQuery&) = delete;
    TServiceQuery& operator=(const TServiceQuery&) = delete;

    bool IsOpen() const { return open_; }
    const TOpenReport& Report() const { return report_; }

    // Every entry of the transducer of that identity, newest first.
    QList<TLogEntry> History(const TTransducerId& transducer) const;
    // Entries of every transducer whose sensor number equals `text` or whose sensor name contains it
    // (case-folded), newest first; an empty text gives all of them.
    QList<TLogEntry> Search(const QString& text) const;
    std::optional<TLogEntry> Entry(qint64 id) const;

    // The same two lists as entry ids only, for a view that reads the rows it shows (Entries()).
    QList<qint64> HistoryIds(const TTransducerId& transducer) const;
    QList<qint64> SearchIds(const QString& text) const;
    // The entries of `ids`, in that order; ids no longer there are left out.
    QList<TLogEntry> Entries(const QList<qint64>& ids) const;
    // A calibration entry with everything its certificate shows; none for another kind of entry.
    std::optional<TRunReport> Run(qint64 eventId) const;

    QList<TInstrument> Instruments() const;
    QString OperatorSetting() const; // as stored; empty when none (the system's user name applies)
    int RecheckMonths() const;       // 12 unless set

private:
    QString connection_;
    bool open_ = false;
    TOpenReport report_;
};

constexpr int kDefaultRecheckMonths = 12;

} // namespace servicerecord
