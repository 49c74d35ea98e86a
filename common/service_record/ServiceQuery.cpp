#include "ServiceQuery.h"

#include <QHash>
#include <QSqlQuery>
#include <QStringList>
#include <QUuid>
#include <QVariant>

namespace servicerecord {

namespace {

const QString kEntryColumns = QStringLiteral(
    "e.id, e.uid, e.kind, e.outcome, e.at, e.ended_at, e.program, e.version, e.port, e.rate, e.address, "
    "e.operator_name, e.confirmed, e.block_before, e.block_after, e.failure, e.calibration_date, e.run_id, "
    "t.id, t.generation, t.type_code, t.fixed_name, t.sensor_name, t.sensor_number, t.sensor_date "
    "FROM events e JOIN transducers t ON t.id = e.transducer_id ");

TLogEntry EntryOf(const QSqlQuery& q) {
    TLogEntry r;
    r.id = q.value(0).toLongLong();
    r.uid = q.value(1).toString();
    EventKindFromCode(q.value(2).toString(), r.kind);
    OutcomeFromCode(q.value(3).toString(), r.outcome);
    r.at = q.value(4).toString();
    r.endedAt = q.value(5).toString();
    r.program = q.value(6).toString();
    r.version = q.value(7).toString();
    r.link.port = q.value(8).toString();
    r.link.rate = q.value(9).toInt();
    r.link.address = q.value(10).toInt();
    r.operatorName = q.value(11).toString();
    r.confirmed = q.value(12).isNull() ? -1 : q.value(12).toInt();
    r.before = q.value(13).toString();
    r.after = q.value(14).toString();
    r.failure = q.value(15).toString();
    r.calibrationDate = QDate::fromString(q.value(16).toString(), Qt::ISODate);
    r.runId = q.value(17).toLongLong();
    r.transducerId = q.value(18).toLongLong();
    r.transducer.generation = q.value(19).toInt() == gnOlder ? gnOlder : gnNewer;
    r.transducer.typeCode = q.value(20).toInt();
    r.transducer.fixedName = q.value(21).toString();
    r.transducer.sensorName = q.value(22).toString();
    r.transducer.sensorNumber = q.value(23).toLongLong();
    r.transducer.sensorDate = QDate::fromString(q.value(24).toString(), Qt::ISODate);
    return r;
}

QList<TLogEntry> ReadEntries(QSqlQuery& q) {
    QList<TLogEntry> list;
    if (!q.exec())
        return list;
    while (q.next())
        list.append(EntryOf(q));
    return list;
}

// A LIKE pattern that finds `text` anywhere, with its own % and _ taken literally.
QString Contains(const QString& text) {
    QString p = text;
    p.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    p.replace(QLatin1Char('%'), QStringLiteral("\\%"));
    p.replace(QLatin1Char('_'), QStringLiteral("\\_"));
    return QLatin1Char('%') + p + QLatin1Char('%');
}

} // namespace

TServiceQuery::TServiceQuery(const QString& path, int busyTimeoutMs)
    : connection_(QStringLiteral("tarvo-service-record-reader-%1").arg(QUuid::createUuid().toString(QUuid::WithoutBraces))) {
    open_ = OpenForReading(path, connection_, busyTimeoutMs, report_);
}

TServiceQuery::~TServiceQuery() {
    if (open_)
        CloseDatabase(connection_);
}

namespace {

// The WHERE of a history or a search, with its values bound in order by Bind().
struct TFilter {
    QString where;
    QVariantList values;
    void Bind(QSqlQuery& q) const {
        for (const QVariant& v : values)
            q.addBindValue(v);
    }
};

TFilter HistoryFilter(const TTransducerId& t) {
    return {QStringLiteral("WHERE ") + IdentityCondition(QStringLiteral("t")), IdentityValues(t)};
}

TFilter SearchFilter(const QString& text) {
    const QString s = text.trimmed();
    if (s.isEmpty())
        return {};
    bool isNumber = false;
    const qint64 number = s.toLongLong(&isNumber);
    // A text that is no number matches no number: NULL equals nothing.
    return {QStringLiteral("WHERE t.sensor_number = ? OR t.sensor_name_folded LIKE ? ESCAPE '\\' "),
            {isNumber ? QVariant(number) : QVariant(QMetaType(QMetaType::LongLong)), Contains(s.toCaseFolded())}};
}

} // namespace

namespace {

QList<TLogEntry> EntriesWhere(const QString& connection, const TFilter& f) {
    QSqlQuery q(QSqlDatabase::database(connection, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT ") + kEntryColumns + f.where + QStringLiteral("ORDER BY e.id DESC"));
    f.Bind(q);
    return ReadEntries(q);
}

} // namespace

QList<TLogEntry> TServiceQuery::History(const TTransducerId& t) const {
    return open_ ? EntriesWhere(connection_, HistoryFilter(t)) : QList<TLogEntry>();
}

QList<TLogEntry> TServiceQuery::Search(const QString& text) const {
    return open_ ? EntriesWhere(connection_, SearchFilter(text)) : QList<TLogEntry>();
}

namespace {

QList<qint64> Ids(const QString& connection, const TFilter& f) {
    QList<qint64> ids;
    QSqlQuery q(QSqlDatabase::database(connection, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT e.id FROM events e JOIN transducers t ON t.id = e.transducer_id ") + f.where +
              QStringLiteral("ORDER BY e.id DESC"));
    f.Bind(q);
    if (q.exec())
        while (q.next())
            ids.append(q.value(0).toLongLong());
    return ids;
}

} // namespace

QList<qint64> TServiceQuery::HistoryIds(const TTransducerId& t) const {
    return open_ ? Ids(connection_, HistoryFilter(t)) : QList<qint64>();
}

QList<qint64> TServiceQuery::SearchIds(const QString& text) const {
    return open_ ? Ids(connection_, SearchFilter(text)) : QList<qint64>();
}

QList<TLogEntry> TServiceQuery::Entries(const QList<qint64>& ids) const {
    if (!open_ || ids.isEmpty())
        return {};
    QStringList marks;
    marks.reserve(ids.size());
    for (qsizetype i = 0; i < ids.size(); ++i)
        marks.append(QStringLiteral("?"));
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT ") + kEntryColumns + QStringLiteral("WHERE e.id IN (") +
              marks.join(QLatin1Char(',')) + QStringLiteral(")"));
    for (qint64 id : ids)
        q.addBindValue(id);
    QHash<qint64, TLogEntry> byId;
    for (TLogEntry& e : ReadEntries(q))
        byId.insert(e.id, std::move(e));
    QList<TLogEntry> list;
    list.reserve(byId.size());
    for (qint64 id : ids) {
        const auto it = byId.constFind(id);
        if (it != byId.constEnd())
            list.append(*it);
    }
    return list;
}

std::optional<TLogEntry> TServiceQuery::Entry(qint64 id) const {
    if (!open_)
        return std::nullopt;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.prepare(QStringLiteral("SELECT ") + kEntryColumns + QStringLiteral("WHERE e.id = ?"));
    q.addBindValue(id);
    const QList<TLogEntry> list = ReadEntries(q);
    if (list.isEmpty())
        return std::nullopt;
    return list.first();
}

std::optional<TRunReport> TServiceQuery::Run(qint64 eventId) const {
    const std::optional<TLogEntry> run = Entry(eventId);
    if (!run || run->kind != ekCalibration)
        return std::nullopt;
    TRunReport r;
    r.run = *run;
    const QSqlDatabase db = QSqlDatabase::database(connection_, false);

    QSqlQuery s(db);
    s.prepare(QStringLiteral("SELECT step, value, unit, outcome, failure, note, at FROM calibration_steps "
                             "WHERE event_id = ? ORDER BY id"));
    s.addBindValue(eventId);
    if (s.exec()) {
        while (s.next()) {
            TStepEntry step;
            step.step = s.value(0).toInt();
            if (!s.value(1).isNull())
                step.value = s.value(1).toDouble();
            step.unit = s.value(2).toString();
            OutcomeFromCode(s.value(3).toString(), step.outcome);
            step.failure = s.value(4).toString();
            step.note = s.value(5).toString();
            step.at = s.value(6).toString();
            r.steps.append(step);
        }
    }

    // The latest check of each kind that belongs to this run.
    QSqlQuery c(db);
    c.prepare(QStringLiteral("SELECT e.id, e.kind, p.reference, p.reading, p.tolerance FROM events e "
                             "JOIN check_points p ON p.event_id = e.id WHERE e.run_id = ? "
                             "ORDER BY e.id, p.point"));
    c.addBindValue(eventId);
    if (c.exec()) {
        qint64 found = 0, left = 0;
        while (c.next()) {
            TEventKind kind = ekAsFound;
            EventKindFromCode(c.value(1).toString(), kind);
            std::optional<TCheck>& check = kind == ekAsLeft ? r.asLeft : r.asFound;
            qint64& latest = kind == ekAsLeft ? left : found;
            const qint64 id = c.value(0).toLongLong();
            if (id != latest) {
                latest = id;
                check = TCheck{kind, {}};
            }
            check->points.append({c.value(2).toDouble(), c.value(3).toDouble(), c.value(4).toDouble()});
        }
    }

    QSqlQuery i(db);
    i.prepare(QStringLiteral("SELECT name, serial, certificate FROM event_instruments WHERE event_id = ? "
                             "ORDER BY position"));
    i.addBindValue(eventId);
    if (i.exec()) {
        while (i.next())
            r.instruments.append({i.value(0).toString(), i.value(1).toString(), i.value(2).toString()});
    }
    return r;
}

QList<TInstrument> TServiceQuery::Instruments() const {
    QList<TInstrument> list;
    if (!open_)
        return list;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    if (q.exec(QStringLiteral("SELECT name, serial, certificate FROM instruments ORDER BY position"))) {
        while (q.next())
            list.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toString()});
    }
    return list;
}

namespace {

QString Setting(const QString& connection, const QString& key, bool& found) {
    found = false;
    QSqlQuery q(QSqlDatabase::database(connection, false));
    q.prepare(QStringLiteral("SELECT value FROM settings WHERE key = ?"));
    q.addBindValue(key);
    if (q.exec() && q.next()) {
        found = true;
        return q.value(0).toString();
    }
    return {};
}

} // namespace

QString TServiceQuery::OperatorSetting() const {
    bool found = false;
    return open_ ? Setting(connection_, QStringLiteral("operator"), found) : QString();
}

int TServiceQuery::RecheckMonths() const {
    bool found = false;
    const QString v = open_ ? Setting(connection_, QStringLiteral("recheck_months"), found) : QString();
    bool ok = false;
    const int months = v.toInt(&ok);
    return ok && months > 0 ? months : kDefaultRecheckMonths;
}

} // namespace servicerecord
