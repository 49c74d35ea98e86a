#include "ServiceRecord.h"

#include "ServiceTexts.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QSqlQuery>
#include <QThread>
#include <QUuid>
#include <QVariant>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace servicerecord {

namespace {

// Local date-time with its offset from UTC, "+00:00" included: "2026-12-10T14:28:38.123+03:00".
QString Now() {
    const QDateTime now = QDateTime::currentDateTime();
    const int offset = now.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return now.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + (offset < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
           QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString Json(const QJsonObject& o) {
    return o.isEmpty() ? QString() : QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

QVariant Text(const QString& s) {
    return s.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(s);
}

QVariant DateText(const QDate& d) {
    return d.isValid() ? QVariant(d.toString(Qt::ISODate)) : QVariant(QMetaType(QMetaType::QString));
}

// The most records held back before the oldest are given up (and counted as never written).
constexpr std::size_t kMaxQueued = 20000;

// One connection and the statements the records are made of; lives on the writer thread.
struct TDb {
    QSqlDatabase db;
    QString operatorName; // from the settings; empty: the system's user name
    QString program, version;

    QString Operator() const { return operatorName.isEmpty() ? SystemUserName() : operatorName; }

    bool Run(QSqlQuery& q, QSqlError& e) {
        if (q.exec())
            return true;
        e = q.lastError();
        return false;
    }

    // The transducer's row: the most recently seen one of that identity, made when there is none.
    bool Transducer(const TTransducerId& t, const QString& at, qint64& id, QSqlError& e) {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("SELECT id FROM transducers WHERE ") + IdentityCondition() +
                  QStringLiteral("ORDER BY last_seen DESC, id DESC LIMIT 1"));
        for (const QVariant& v : IdentityValues(t))
            q.addBindValue(v);
        if (!Run(q, e))
            return false;
        if (q.next()) {
            id = q.value(0).toLongLong();
            QSqlQuery u(db);
            u.prepare(QStringLiteral("UPDATE transducers SET last_seen = ?, sensor_date = coalesce(?, sensor_date) "
                                     "WHERE id = ?"));
            u.addBindValue(at);
            u.addBindValue(DateText(t.sensorDate));
            u.addBindValue(id);
            return Run(u, e);
        }
        QSqlQuery i(db);
        i.prepare(QStringLiteral("INSERT INTO transducers (generation, type_code, fixed_name, sensor_name, "
                                 "sensor_name_folded, sensor_number, sensor_date, first_seen, last_seen) "
                                 "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        i.addBindValue(int(t.generation));
        i.addBindValue(t.typeCode);
        i.addBindValue(t.fixedName);
        i.addBindValue(t.sensorName);
        i.addBindValue(t.sensorName.toCaseFolded());
        i.addBindValue(t.sensorNumber);
        i.addBindValue(DateText(t.sensorDate));
        i.addBindValue(at);
        i.addBindValue(at);
        if (!Run(i, e))
            return false;
        id = i.lastInsertId().toLongLong();
        return true;
    }

    bool EventId(const QString& uid, qint64& id, QSqlError& e) {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("SELECT id FROM events WHERE uid = ?"));
        q.addBindValue(uid);
        if (!Run(q, e))
            return false;
        id = q.next() ? q.value(0).toLongLong() : 0;
        return true;
    }
};

} // namespace

struct TServiceRecord::TOp {
    QString what; // what the user is told was not written
    std::function<bool(TDb&, QSqlError&)> work;
};

// A journal entry as queued; written by Insert().
struct TEventRow {
    QString uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    TSubject subject;
    TEventKind kind = ekConfigRead;
    TOutcome outcome = ocDone;
    QString at = Now();
    QVariant confirmed = QVariant(QMetaType(QMetaType::Int));
    QString before, after, failure;
    QDate calibrationDate;

    bool Insert(TDb& d, qint64& id, QSqlError& e) const {
        qint64 transducer = 0;
        if (!d.Transducer(subject.transducer, at, transducer, e))
            return false;
        QSqlQuery q(d.db);
        q.prepare(QStringLiteral("INSERT INTO events (uid, transducer_id, kind, outcome, at, program, version, port, "
                                 "rate, address, operator_name, confirmed, block_before, block_after, failure, "
                                 "calibration_date) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        q.addBindValue(uid);
        q.addBindValue(transducer);
        q.addBindValue(EventKindCode(kind));
        q.addBindValue(OutcomeCode(outcome));
        q.addBindValue(at);
        q.addBindValue(d.program);
        q.addBindValue(d.version);
        q.addBindValue(subject.link.port);
        q.addBindValue(subject.link.rate);
        q.addBindValue(subject.link.address);
        q.addBindValue(d.Operator());
        q.addBindValue(confirmed);
        q.addBindValue(Text(before));
        q.addBindValue(Text(after));
        q.addBindValue(Text(failure));
        q.addBindValue(DateText(calibrationDate));
        if (!d.Run(q, e))
            return false;
        id = q.lastInsertId().toLongLong();
        return true;
    }
};

// Runs on its own thread: opens the database, writes the queue in order, holds records back while the
// database cannot be written and tries them again. The window thread only queues under the lock, as the
// link's queue does; no event loop runs here.
class TServiceRecord::TWriter : public QThread {
public:
    using TNotify = std::function<void(const TNotice&)>;

    TWriter(const TOptions& options, const QString& connection, TNotify notify)
        : options_(options), connection_(connection), notify_(std::move(notify)),
          utcOffset_(QDateTime::currentDateTime().offsetFromUtc()) {
        db_.program = options.program;
        db_.version = options.version;
    }

    void Post(TOp&& op) {
        {
            std::lock_guard lock(mutex_);
            if (queue_.size() >= kMaxQueued) {
                lost_.append(queue_.front().what);
                queue_.pop_front();
            }
            queue_.push_back(std::move(op));
        }
        wake_.notify_one();
    }

    bool Drain(int ms) {
        std::unique_lock lock(mutex_);
        drained_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return Idle() || stalled_; });
        return Idle();
    }

    int Queued() const {
        std::lock_guard lock(mutex_);
        return int(queue_.size());
    }

    // Ends the thread after the record being written, if any.
    void Stop() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        wait();
    }

    // What stays unwritten, and what was given up on; clears both.
    QStringList TakeUnwritten() {
        std::lock_guard lock(mutex_);
        QStringList all = lost_;
        for (const TOp& op : queue_)
            all.append(op.what);
        queue_.clear();
        lost_.clear();
        return all;
    }

protected:
    void run() override {
        if (!Open())
            Stall();
        std::unique_lock lock(mutex_);
        while (!stop_) {
            if (queue_.empty()) {
                drained_.notify_all();
                wake_.wait(lock);
                continue;
            }
            if (stalled_) { // a fault holds the queue until its pause is over
                if (std::chrono::steady_clock::now() < retryAt_) {
                    wake_.wait_until(lock, retryAt_);
                    continue;
                }
                stalled_ = false;
            }
            TOp op = queue_.front();
            busy_ = true;
            lock.unlock();
            const TResult r = Write(op);
            lock.lock();
            busy_ = false;
            if (r == wrStalled) {
                stalled_ = true;
                retryAt_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(options_.retryMs);
                drained_.notify_all();
                continue;
            }
            if (r == wrGivenUp)
                lost_.append(op.what);
            queue_.pop_front();
            if (r == wrWritten && holding_)
                ++late_;
            if (queue_.empty() && holding_ && open_) {
                holding_ = false;
                if (late_ > 0)
                    notify_({TNotice::nkRecovered, sfNone,
                             QStringLiteral("Журнал обслуживания снова доступен: отложенные записи (%1) сохранены.")
                                 .arg(late_)});
                late_ = 0;
            }
        }
        lock.unlock();
        db_.db = {};
        CloseDatabase(connection_);
    }

private:
    enum TResult { wrWritten, wrGivenUp, wrStalled };

    bool Idle() const { return queue_.empty() && !busy_; }

    void Stall() {
        std::lock_guard lock(mutex_);
        stalled_ = true;
        retryAt_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(options_.retryMs);
        drained_.notify_all();
    }

    bool Open() {
        const TOpenReport r = OpenDatabase(options_.path, connection_, options_.busyTimeoutMs, utcOffset_);
        if (!r.asidePath.isEmpty())
            notify_({TNotice::nkKeptAside, r.asideReason,
                     KeptAsideText(r.asideReason, options_.path, r.asidePath, r.foundVersion)});
        if (!r.ok()) {
            Fault(r.fault, r.systemText, {});
            return false;
        }
        open_ = true;
        db_.db = QSqlDatabase::database(connection_, false);
        QSqlQuery q(db_.db);
        q.prepare(QStringLiteral("SELECT value FROM settings WHERE key = ?"));
        q.addBindValue(QStringLiteral("operator"));
        if (q.exec() && q.next())
            db_.operatorName = q.value(0).toString();
        return true;
    }

    // Told once for a run of faults; the records stay queued.
    void Fault(TFault fault, const QString& systemText, const QString& what) {
        if (holding_)
            return;
        holding_ = true;
        QString text = FaultText(fault, options_.path, options_.busyTimeoutMs, systemText);
        text += QStringLiteral("\nРабота с преобразователем продолжается");
        if (!what.isEmpty())
            text += QStringLiteral("; не записано: %1").arg(what);
        text += QStringLiteral(". Записи будут сохранены, когда журнал станет доступен.");
        notify_({TNotice::nkFault, fault, text});
    }

    bool Exec(const QString& sql, QSqlError& e) {
        QSqlQuery q(db_.db);
        if (q.exec(sql))
            return true;
        e = q.lastError();
        return false;
    }

    // One record in one write transaction.
    TResult Write(const TOp& op) {
        if (!open_ && !Open())
            return wrStalled;
        QSqlError e;
        bool ok = Exec(QStringLiteral("BEGIN IMMEDIATE"), e);
        if (ok) {
            ok = op.work(db_, e) && Exec(QStringLiteral("COMMIT"), e);
            if (!ok) {
                QSqlError ignored;
                Exec(QStringLiteral("ROLLBACK"), ignored);
            }
        }
        if (ok)
            return wrWritten;
        const TFault f = FaultOf(e);
        if (f == sfOther) {
            // Not the file's state but this record: it would fail again. Say so and go on.
            notify_({TNotice::nkFault, f,
                     FaultText(f, options_.path, options_.busyTimeoutMs, e.text()) +
                         QStringLiteral("\nНе записано: %1.").arg(op.what)});
            return wrGivenUp;
        }
        if (f == sfDamaged) { // found while working: the next open moves the file aside
            open_ = false;
            db_.db = {};
            CloseDatabase(connection_);
        }
        Fault(f, e.text(), op.what);
        return wrStalled;
    }

    const TOptions options_;
    const QString connection_;
    const TNotify notify_;
    const int utcOffset_; // taken on the window thread, for the names of files kept aside
    // The writer thread's own.
    TDb db_;
    bool open_ = false;
    bool holding_ = false; // a fault has been told; the queue has not been written out since
    int late_ = 0;         // records written after the fault

    // Shared with the window thread, under mutex_.
    mutable std::mutex mutex_;
    std::condition_variable wake_, drained_;
    std::deque<TOp> queue_;
    QStringList lost_;
    bool busy_ = false;    // a record is being written
    bool stalled_ = false; // waiting out the pause after a fault
    std::chrono::steady_clock::time_point retryAt_;
    bool stop_ = false;
};

TServiceRecord::TServiceRecord(const TOptions& options, QObject* parent) : QObject(parent), options_(options) {
    qRegisterMetaType<servicerecord::TNotice>();
    if (options_.path.isEmpty())
        options_.path = DefaultDatabasePath();
    const QString connection = QStringLiteral("tarvo-service-record-writer-%1")
                                   .arg(QUuid::createUuid().toString(QUuid::WithoutBraces));
    // Notices reach the window thread as queued calls; none arrives after this object is gone.
    writer_ = new TWriter(options_, connection, [this](const TNotice& n) {
        QMetaObject::invokeMethod(this, [this, n] { Q_EMIT Notice(n); }, Qt::QueuedConnection);
    });
    writer_->setObjectName(QStringLiteral("ServiceRecordWriter"));
    writer_->start();
}

TServiceRecord::~TServiceRecord() {
    Close();
}

QString TServiceRecord::Path() const {
    return options_.path;
}

void TServiceRecord::Post(TOp&& op) {
    if (!closed_)
        writer_->Post(std::move(op));
    else
        neverWritten_.append(op.what);
}

namespace {

QString What(const TSubject& subject, TEventKind kind) {
    return EventTitle(kind, subject.transducer.generation) + QStringLiteral(" (") + TransducerText(subject.transducer) +
           QLatin1Char(')');
}

std::function<bool(TDb&, QSqlError&)> InsertWork(const TEventRow& row) {
    return [row](TDb& d, QSqlError& e) {
        qint64 id = 0;
        return row.Insert(d, id, e);
    };
}

TEventRow Row(const TSubject& subject, TEventKind kind, TOutcome outcome) {
    TEventRow row;
    row.subject = subject;
    row.kind = kind;
    row.outcome = outcome;
    return row;
}

} // namespace

void TServiceRecord::TransducerSeen(const TSubject& subject) {
    TOp op;
    op.what = QStringLiteral("сведения о преобразователе ") + TransducerText(subject.transducer);
    const QString at = Now();
    const TTransducerId t = subject.transducer;
    op.work = [t, at](TDb& d, QSqlError& e) {
        qint64 id = 0;
        return d.Transducer(t, at, id, e);
    };
    Post(std::move(op));
}

void TServiceRecord::ConfigurationRead(const TSubject& subject, const QJsonObject& before, const QJsonObject& after,
                                       TOutcome outcome, const QString& failure) {
    TEventRow row = Row(subject, ekConfigRead, outcome);
    row.before = Json(before);
    row.after = Json(after);
    row.failure = failure;
    Post({What(subject, row.kind), InsertWork(row)});
}

void TServiceRecord::ConfigurationWritten(const TSubject& subject, const QJsonObject& before,
                                          const QJsonObject& after, bool confirmed, const QString& failure) {
    TEventRow row = Row(subject, ekConfigWrite, confirmed ? ocDone : ocFailed);
    row.before = Json(before);
    row.after = Json(after);
    row.confirmed = confirmed ? 1 : 0;
    row.failure = failure;
    Post({What(subject, row.kind), InsertWork(row)});
}

namespace {

QJsonObject SensorBlock(const TTransducerId& t) {
    QJsonObject o{{QStringLiteral("sensor_name"), t.sensorName},
                  {QStringLiteral("sensor_number"), double(t.sensorNumber)}};
    if (t.sensorDate.isValid())
        o.insert(QStringLiteral("sensor_date"), t.sensorDate.toString(Qt::ISODate));
    return o;
}

} // namespace

void TServiceRecord::SensorDataRead(const TSubject& subject, TOutcome outcome, const QString& failure) {
    TEventRow row = Row(subject, ekSensorRead, outcome);
    if (outcome == ocDone)
        row.after = Json(SensorBlock(subject.transducer));
    row.failure = failure;
    Post({What(subject, row.kind), InsertWork(row)});
}

void TServiceRecord::SensorDataWritten(const TSubject& subject, const TTransducerId& written, bool confirmed,
                                       const QString& failure) {
    TOp op;
    op.what = What(subject, ekSensorWrite);
    TEventRow row = Row(subject, ekSensorWrite, confirmed ? ocDone : ocFailed);
    row.before = Json(SensorBlock(subject.transducer));
    row.after = Json(SensorBlock(written));
    row.confirmed = confirmed ? 1 : 0;
    row.failure = failure;
    op.work = [row, written, confirmed](TDb& d, QSqlError& e) {
        qint64 id = 0;
        if (!row.Insert(d, id, e))
            return false;
        if (!confirmed)
            return true;
        // The record follows the transducer to its new sensor data.
        QSqlQuery u(d.db);
        u.prepare(QStringLiteral("UPDATE transducers SET sensor_name = ?, sensor_name_folded = ?, sensor_number = ?, "
                                 "sensor_date = coalesce(?, sensor_date) "
                                 "WHERE id = (SELECT transducer_id FROM events WHERE id = ?)"));
        u.addBindValue(written.sensorName);
        u.addBindValue(written.sensorName.toCaseFolded());
        u.addBindValue(written.sensorNumber);
        u.addBindValue(DateText(written.sensorDate));
        u.addBindValue(id);
        return d.Run(u, e);
    };
    Post(std::move(op));
}

TRunId TServiceRecord::CalibrationBegun(const TSubject& subject) {
    TOp op;
    op.what = What(subject, ekCalibration);
    const TEventRow row = Row(subject, ekCalibration, ocRunning);
    op.work = [row](TDb& d, QSqlError& e) {
        qint64 id = 0;
        if (!row.Insert(d, id, e))
            return false;
        // The latest as-found check of this transducer since its previous run belongs to this one.
        QSqlQuery u(d.db);
        u.prepare(QStringLiteral(
            "UPDATE events SET run_id = :run WHERE id = (SELECT c.id FROM events c WHERE c.kind = 'as_found' "
            "AND c.run_id IS NULL AND c.transducer_id = (SELECT transducer_id FROM events WHERE id = :run) "
            "AND c.id > coalesce((SELECT max(p.id) FROM events p WHERE p.kind = 'calibration' "
            "AND p.transducer_id = c.transducer_id AND p.id < :run), 0) ORDER BY c.id DESC LIMIT 1)"));
        u.bindValue(QStringLiteral(":run"), id);
        return d.Run(u, e);
    };
    openRuns_.insert(row.uid);
    Post(std::move(op));
    return row.uid;
}

void TServiceRecord::CalibrationStep(const TRunId& run, int step, std::optional<double> value, const QString& unit,
                                     TOutcome outcome, const QString& failure, const QString& note) {
    TOp op;
    op.what = QStringLiteral("шаг %1 настройки").arg(step);
    const QString at = Now();
    op.work = [=](TDb& d, QSqlError& e) {
        qint64 id = 0;
        if (!d.EventId(run, id, e))
            return false;
        if (id == 0)
            return true; // a run whose beginning was given up on: nothing to add the step to
        QSqlQuery q(d.db);
        q.prepare(QStringLiteral("INSERT INTO calibration_steps (event_id, step, value, unit, outcome, failure, note, "
                                 "at) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
        q.addBindValue(id);
        q.addBindValue(step);
        q.addBindValue(value ? QVariant(*value) : QVariant(QMetaType(QMetaType::Double)));
        q.addBindValue(Text(unit));
        q.addBindValue(OutcomeCode(outcome));
        q.addBindValue(Text(failure));
        q.addBindValue(Text(note));
        q.addBindValue(at);
        return d.Run(q, e);
    };
    Post(std::move(op));
}

void TServiceRecord::CalibrationEnded(const TRunId& run, TOutcome outcome, const QDate& dateWritten,
                                      const QString& failure) {
    openRuns_.remove(run);
    TOp op;
    op.what = QStringLiteral("окончание настройки (%1)").arg(OutcomeText(outcome));
    const QString at = Now();
    op.work = [=](TDb& d, QSqlError& e) {
        QSqlQuery q(d.db);
        q.prepare(QStringLiteral("UPDATE events SET outcome = ?, ended_at = ?, calibration_date = coalesce(?, "
                                 "calibration_date), failure = coalesce(?, failure) WHERE uid = ?"));
        q.addBindValue(OutcomeCode(outcome));
        q.addBindValue(at);
        q.addBindValue(DateText(dateWritten));
        q.addBindValue(Text(failure));
        q.addBindValue(run);
        return d.Run(q, e);
    };
    Post(std::move(op));
}

void TServiceRecord::Correction(const TSubject& subject, TEventKind kind, TOutcome outcome,
                                const QJsonObject& before, const QJsonObject& after, const QString& failure) {
    TEventRow row = Row(subject, kind, outcome);
    row.before = Json(before);
    row.after = Json(after);
    row.confirmed = outcome == ocDone ? 1 : 0;
    row.failure = failure;
    Post({What(subject, kind), InsertWork(row)});
}

void TServiceRecord::CheckTaken(const TSubject& subject, const TCheck& check) {
    const TEventKind kind = check.kind == ekAsLeft ? ekAsLeft : ekAsFound;
    TOp op;
    op.what = What(subject, kind);
    TEventRow row = Row(subject, kind, ocDone);
    row.after = Json({{QStringLiteral("passed"), check.Passed()}, {QStringLiteral("points"), int(check.points.size())}});
    const QList<TCheckPoint> points = check.points;
    op.work = [row, points](TDb& d, QSqlError& e) {
        qint64 id = 0;
        if (!row.Insert(d, id, e))
            return false;
        if (row.kind == ekAsLeft) {
            // The run before it: the latest calibration of this transducer.
            QSqlQuery u(d.db);
            u.prepare(QStringLiteral("UPDATE events SET run_id = (SELECT p.id FROM events p WHERE p.kind = "
                                     "'calibration' AND p.transducer_id = events.transducer_id AND p.id < events.id "
                                     "ORDER BY p.id DESC LIMIT 1) WHERE id = ?"));
            u.addBindValue(id);
            if (!d.Run(u, e))
                return false;
        }
        QSqlQuery q(d.db);
        q.prepare(QStringLiteral("INSERT INTO check_points (event_id, point, reference, reading, tolerance, passed) "
                                 "VALUES (?, ?, ?, ?, ?, ?)"));
        for (int i = 0; i < points.size(); ++i) {
            q.addBindValue(id);
            q.addBindValue(i + 1);
            q.addBindValue(points[i].reference);
            q.addBindValue(points[i].reading);
            q.addBindValue(points[i].tolerance);
            q.addBindValue(points[i].Passed() ? 1 : 0);
            if (!d.Run(q, e))
                return false;
        }
        return true;
    };
    Post(std::move(op));
}

namespace {

bool PutSetting(TDb& d, const QString& key, const QString& value, QSqlError& e) {
    QSqlQuery q(d.db);
    q.prepare(QStringLiteral("INSERT OR REPLACE INTO settings (key, value) VALUES (?, ?)"));
    q.addBindValue(key);
    q.addBindValue(value);
    return d.Run(q, e);
}

bool PutInstruments(TDb& d, const QString& table, qint64 eventId, const QList<TInstrument>& list, QSqlError& e) {
    const bool perEvent = table == QStringLiteral("event_instruments");
    QSqlQuery del(d.db);
    del.prepare(perEvent ? QStringLiteral("DELETE FROM event_instruments WHERE event_id = ?")
                         : QStringLiteral("DELETE FROM instruments"));
    if (perEvent)
        del.addBindValue(eventId);
    if (!d.Run(del, e))
        return false;
    QSqlQuery q(d.db);
    q.prepare(perEvent ? QStringLiteral("INSERT INTO event_instruments (event_id, position, name, serial, certificate) "
                                        "VALUES (?, ?, ?, ?, ?)")
                       : QStringLiteral("INSERT INTO instruments (position, name, serial, certificate) "
                                        "VALUES (?, ?, ?, ?)"));
    for (int i = 0; i < list.size(); ++i) {
        if (perEvent)
            q.addBindValue(eventId);
        q.addBindValue(i + 1);
        q.addBindValue(list[i].name);
        q.addBindValue(list[i].serial);
        q.addBindValue(list[i].certificate);
        if (!d.Run(q, e))
            return false;
    }
    return true;
}

} // namespace

void TServiceRecord::SetOperator(const QString& name) {
    TOp op;
    op.what = QStringLiteral("имя оператора");
    const QString trimmed = name.trimmed();
    op.work = [trimmed](TDb& d, QSqlError& e) {
        if (!PutSetting(d, QStringLiteral("operator"), trimmed, e))
            return false;
        d.operatorName = trimmed;
        return true;
    };
    Post(std::move(op));
}

void TServiceRecord::SetRecheckMonths(int months) {
    TOp op;
    op.what = QStringLiteral("межповерочный интервал");
    op.work = [months](TDb& d, QSqlError& e) {
        return PutSetting(d, QStringLiteral("recheck_months"), QString::number(months), e);
    };
    Post(std::move(op));
}

void TServiceRecord::RememberInstruments(const QList<TInstrument>& instruments) {
    TOp op;
    op.what = QStringLiteral("список эталонов");
    op.work = [instruments](TDb& d, QSqlError& e) {
        return PutInstruments(d, QStringLiteral("instruments"), 0, instruments, e);
    };
    Post(std::move(op));
}

void TServiceRecord::AttachInstruments(qint64 eventId, const QList<TInstrument>& instruments) {
    TOp op;
    op.what = QStringLiteral("эталоны сертификата");
    op.work = [eventId, instruments](TDb& d, QSqlError& e) {
        return PutInstruments(d, QStringLiteral("event_instruments"), eventId, instruments, e);
    };
    Post(std::move(op));
}

bool TServiceRecord::Drain(int ms) {
    return closed_ || writer_->Drain(ms);
}

int TServiceRecord::Unrecorded() const {
    return closed_ ? int(neverWritten_.size()) : writer_->Queued();
}

int TServiceRecord::Close(int waitMs) {
    if (closed_)
        return int(neverWritten_.size());
    for (const TRunId& run : QSet<TRunId>(openRuns_))
        CalibrationEnded(run, ocInterrupted);
    writer_->Drain(waitMs);
    writer_->Stop();
    neverWritten_ += writer_->TakeUnwritten();
    delete writer_;
    writer_ = nullptr;
    closed_ = true;
    return int(neverWritten_.size());
}

QString TServiceRecord::UnrecordedText() const {
    if (neverWritten_.isEmpty())
        return {};
    QStringList shown = neverWritten_.mid(0, 5);
    if (neverWritten_.size() > shown.size())
        shown.append(QStringLiteral("…"));
    return QStringLiteral("Не записано в журнал обслуживания: %1 (%2).")
        .arg(neverWritten_.size())
        .arg(shown.join(QStringLiteral("; ")));
}

} // namespace servicerecord

