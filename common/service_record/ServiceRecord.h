// The recording side of the service record, as the workflows of both programs call it. Every call
// returns at once: the record is queued and written by a thread of its own with its own connection, so a
// slow, locked or unwritable database never delays an exchange with a transducer. What cannot be written
// stays queued and is retried; the first fault of a run of faults is told once by Notice(), the recovery
// too, and Close() says what was never written.
#pragma once

#include "ServiceDatabase.h"
#include "ServiceRecordTypes.h"

#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <QString>

#include <optional>

namespace servicerecord {

// Something the user is told about the record.
struct TNotice {
    enum Kind {
        nkFault,     // records cannot be written now; `fault` says why. Told once until they can again.
        nkKeptAside, // a damaged file or one of a newer schema was moved aside and a new one begun
        nkRecovered, // the records held back by a fault are written
    };
    Kind kind = nkFault;
    TFault fault = sfNone;
    QString text; // complete, ready to show
};

// A calibration run, as CalibrationBegun() returns it.
using TRunId = QString;

class TServiceRecord : public QObject {
    Q_OBJECT
public:
    struct TOptions {
        QString program;       // "Tarvo_TS_TP" or "Tarvo_TS"
        QString version;       // "1.0.0.0"
        QString path;          // empty: DefaultDatabasePath()
        int busyTimeoutMs = 1000; // how long a write waits for the other program's transaction
        int retryMs = 3000;       // pause before a held-back record is tried again
    };

    explicit TServiceRecord(const TOptions& options, QObject* parent = nullptr);
    // Close(3000) unless called already.
    ~TServiceRecord() override;

    QString Path() const;
    const TOptions& Options() const { return options_; }

    // A transducer answered: made known, or its last-seen time moved on.
    void TransducerSeen(const TSubject& subject);
    // The configuration block before (as the program held it, may be empty) and as read.
    void ConfigurationRead(const TSubject& subject, const QJsonObject& before, const QJsonObject& after,
                           TOutcome outcome, const QString& failure = {});
    // The block as last read and as written; `confirmed`: the transducer acknowledged the write.
    void ConfigurationWritten(const TSubject& subject, const QJsonObject& before, const QJsonObject& after,
                              bool confirmed, const QString& failure = {});
    // Sensor data (newer) or the information block (older) read; `subject` carries what was read.
    void SensorDataRead(const TSubject& subject, TOutcome outcome, const QString& failure = {});
    // `subject` as before the write, `written` the new sensor name, number and date. A confirmed write
    // moves the transducer's identity to the new values.
    void SensorDataWritten(const TSubject& subject, const TTransducerId& written, bool confirmed,
                           const QString& failure = {});

    // A calibration run begins; an as-found check of the same transducer taken since its last run becomes
    // this run's. The id is for the calls below.
    TRunId CalibrationBegun(const TSubject& subject);
    // One step as confirmed or refused: its number, the value entered (µA, mA, °C; none for a step that
    // takes no entry), and a note such as the reference set ("300 Ом").
    void CalibrationStep(const TRunId& run, int step, std::optional<double> value, const QString& unit,
                         TOutcome outcome, const QString& failure = {}, const QString& note = {});
    // The run ends: how, and the calibration date written into the transducer (null when none was).
    void CalibrationEnded(const TRunId& run, TOutcome outcome, const QDate& dateWritten = {},
                          const QString& failure = {});

    // A zero / R0 or NSX correction or reset (`kind` ekZeroCorrection..ekNsxReset), with the values before
    // and after where the transducer reports them (the temperature entered, the reply byte...).
    void Correction(const TSubject& subject, TEventKind kind, TOutcome outcome, const QJsonObject& before,
                    const QJsonObject& after, const QString& failure = {});

    // An as-found check (belongs to the run that follows) or an as-left check (to the run before it).
    void CheckTaken(const TSubject& subject, const TCheck& check);

    // Settings shared by both programs. An empty operator means the system's user name.
    void SetOperator(const QString& name);
    void SetRecheckMonths(int months);
    void RememberInstruments(const QList<TInstrument>& instruments);
    // The instruments a certificate of the calibration entry `eventId` names (kept with the run).
    void AttachInstruments(qint64 eventId, const QList<TInstrument>& instruments);

    // Waits at most `ms` until everything queued is written (true), or a fault holds records back.
    bool Drain(int ms);
    // Records queued but not written yet.
    int Unrecorded() const;
    // Ends open runs as interrupted, waits at most `waitMs` for the queue and stops the writer. Returns
    // the number of records that were never written (and tells them by UnrecordedText()).
    int Close(int waitMs = 3000);
    // "Не записано в журнал обслуживания: 3 записи (Настройка, ...)." or empty.
    QString UnrecordedText() const;

Q_SIGNALS:
    void Notice(const servicerecord::TNotice& notice);

private:
    class TWriter;
    struct TOp;
    void Post(TOp&& op);

    TOptions options_;
    TWriter* writer_ = nullptr;
    QSet<TRunId> openRuns_;
    QStringList neverWritten_;
    bool closed_ = false;
};

} // namespace servicerecord

Q_DECLARE_METATYPE(servicerecord::TNotice)
