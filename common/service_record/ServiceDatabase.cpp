#include "ServiceDatabase.h"

#include "ServiceRecordTypes.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QStringList>
#include <QVariant>

#include <functional>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace servicerecord {

namespace {

const QString kDriver = QStringLiteral("QSQLITE");

// SQLite's primary result codes that decide a fault.
enum : int {
    kSqliteBusy = 5,
    kSqliteLocked = 6,
    kSqliteReadOnly = 8,
    kSqliteCorrupt = 11,
    kSqliteFull = 13,
    kSqliteCantOpen = 14,
    kSqliteNotADb = 26,
};

bool Exec(QSqlDatabase& db, const QString& sql, QSqlError* error) {
    QSqlQuery q(db);
    if (q.exec(sql))
        return true;
    if (error)
        *error = q.lastError();
    return false;
}

// One step of the schema: the statements that bring version `to` - 1 to `to`, then code for what SQL
// alone cannot do.
struct TMigration {
    int to;
    QStringList statements;
    std::function<bool(QSqlDatabase&, QSqlError*)> code;
};

// Names are compared case-folded in the search, for Cyrillic too (SQLite folds ASCII only).
bool FillFoldedNames(QSqlDatabase& db, QSqlError* error) {
    QSqlQuery read(db);
    if (!read.exec(QStringLiteral("SELECT id, sensor_name FROM transducers"))) {
        if (error)
            *error = read.lastError();
        return false;
    }
    QSqlQuery write(db);
    write.prepare(QStringLiteral("UPDATE transducers SET sensor_name_folded = ? WHERE id = ?"));
    while (read.next()) {
        write.bindValue(0, read.value(1).toString().toCaseFolded());
        write.bindValue(1, read.value(0));
        if (!write.exec()) {
            if (error)
                *error = write.lastError();
            return false;
        }
    }
    return true;
}

const QList<TMigration>& Migrations() {
    static const QList<TMigration> migrations = {
        {1,
         {
             QStringLiteral("CREATE TABLE settings (key TEXT PRIMARY KEY, value TEXT NOT NULL)"),
             QStringLiteral("CREATE TABLE transducers ("
                            " id INTEGER PRIMARY KEY,"
                            " generation INTEGER NOT NULL,"
                            " type_code INTEGER NOT NULL,"
                            " fixed_name TEXT NOT NULL,"
                            " sensor_name TEXT NOT NULL,"
                            " sensor_number INTEGER NOT NULL,"
                            " sensor_date TEXT,"
                            " first_seen TEXT NOT NULL,"
                            " last_seen TEXT NOT NULL)"),
             QStringLiteral("CREATE INDEX transducers_identity ON transducers"
                            " (generation, type_code, sensor_number, sensor_name, fixed_name)"),
             QStringLiteral("CREATE TABLE events ("
                            " id INTEGER PRIMARY KEY,"
                            " uid TEXT NOT NULL UNIQUE,"
                            " transducer_id INTEGER NOT NULL REFERENCES transducers(id),"
                            " kind TEXT NOT NULL,"
                            " outcome TEXT NOT NULL,"
                            " at TEXT NOT NULL,"
                            " ended_at TEXT,"
                            " program TEXT NOT NULL,"
                            " version TEXT NOT NULL,"
                            " port TEXT NOT NULL,"
                            " rate INTEGER NOT NULL,"
                            " address INTEGER NOT NULL,"
                            " operator_name TEXT NOT NULL,"
                            " confirmed INTEGER,"
                            " block_before TEXT,"
                            " block_after TEXT,"
                            " failure TEXT,"
                            " calibration_date TEXT,"
                            " run_id INTEGER REFERENCES events(id))"),
             QStringLiteral("CREATE INDEX events_transducer ON events (transducer_id, id)"),
             QStringLiteral("CREATE INDEX events_run ON events (run_id)"),
             QStringLiteral("CREATE TABLE calibration_steps ("
                            " id INTEGER PRIMARY KEY,"
                            " event_id INTEGER NOT NULL REFERENCES events(id),"
                            " step INTEGER NOT NULL,"
                            " value REAL,"
                            " unit TEXT,"
                            " outcome TEXT NOT NULL,"
                            " failure TEXT,"
                            " note TEXT,"
                            " at TEXT NOT NULL)"),
             QStringLiteral("CREATE INDEX calibration_steps_event ON calibration_steps (event_id, id)"),
             QStringLiteral("CREATE TABLE check_points ("
                            " id INTEGER PRIMARY KEY,"
                            " event_id INTEGER NOT NULL REFERENCES events(id),"
                            " point INTEGER NOT NULL,"
                            " reference REAL NOT NULL,"
                            " reading REAL NOT NULL,"
                            " tolerance REAL NOT NULL,"
                            " passed INTEGER NOT NULL)"),
             QStringLiteral("CREATE INDEX check_points_event ON check_points (event_id, point)"),
         },
         {}},
        // 2: the search by name folds case beyond ASCII; reference instruments are remembered and each
        // certificate keeps the ones it named.
        {2,
         {
             QStringLiteral("ALTER TABLE transducers ADD COLUMN sensor_name_folded TEXT NOT NULL DEFAULT ''"),
             QStringLiteral("CREATE INDEX transducers_number ON transducers (sensor_number)"),
             QStringLiteral("CREATE TABLE instruments ("
                            " id INTEGER PRIMARY KEY,"
                            " position INTEGER NOT NULL,"
                            " name TEXT NOT NULL,"
                            " serial TEXT NOT NULL,"
                            " certificate TEXT NOT NULL)"),
             QStringLiteral("CREATE TABLE event_instruments ("
                            " id INTEGER PRIMARY KEY,"
                            " event_id INTEGER NOT NULL REFERENCES events(id),"
                            " position INTEGER NOT NULL,"
                            " name TEXT NOT NULL,"
                            " serial TEXT NOT NULL,"
                            " certificate TEXT NOT NULL)"),
             QStringLiteral("CREATE INDEX event_instruments_event ON event_instruments (event_id, position)"),
         },
         FillFoldedNames},
    };
    return migrations;
}

bool RenameAside(const QString& path, const QString& aside) {
    if (!QFile::rename(path, aside))
        return false;
    // The journal belongs to the file it was written for; the shared-memory index is rebuilt from it.
    for (const char* suffix : {"-wal", "-shm"}) {
        if (QFile::exists(path + QLatin1String(suffix)) &&
            !QFile::rename(path + QLatin1String(suffix), aside + QLatin1String(suffix)))
            QFile::remove(path + QLatin1String(suffix));
    }
    return true;
}

TOpenReport Fault(TFault fault, const QString& text = {}) {
    TOpenReport r;
    r.fault = fault;
    r.systemText = text;
    return r;
}

// A fault of the folder: missing and not makeable, or not writable.
TFault FolderFault(const QString& path) {
    const QFileInfo dir(QFileInfo(path).absolutePath());
    if (!dir.exists())
        return sfCannotOpen;
    return dir.isWritable() ? sfCannotOpen : sfReadOnly;
}

// Opens and prepares the connection. A file that must not be used is told by `aside` (sfDamaged or
// sfNewerSchema, with its `version`), with the connection still open for the caller to close.
TOpenReport TryOpen(const QString& path, const QString& connectionName, int busyTimeoutMs, TFault& aside,
                    int& version) {
    const bool existed = QFileInfo(path).size() > 0;
    QSqlDatabase db = QSqlDatabase::addDatabase(kDriver, connectionName);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
    if (!db.open()) {
        const QSqlError e = db.lastError();
        TFault f = FaultOf(e);
        if (f == sfCannotOpen || f == sfOther)
            f = FolderFault(path);
        return Fault(f, e.text());
    }

    // Is it ours, and can this build read it?
    QSqlError e;
    version = SchemaVersion(db, &e);
    if (version < 0) {
        const TFault f = FaultOf(e);
        if (f == sfDamaged)
            aside = sfDamaged;
        return Fault(f, e.text());
    }
    if (version > kSchemaVersion) {
        aside = sfNewerSchema;
        return Fault(sfNewerSchema);
    }
    // The statements end before the migration's transaction: SQLite commits none while one is open.
    if (existed) {
        QSqlQuery check(db);
        if (!check.exec(QStringLiteral("PRAGMA quick_check(1)")) || !check.next()) {
            const TFault f = FaultOf(check.lastError());
            if (f == sfDamaged)
                aside = sfDamaged;
            return Fault(f, check.lastError().text());
        }
        const QString verdict = check.value(0).toString();
        if (verdict != QStringLiteral("ok")) {
            aside = sfDamaged;
            return Fault(sfDamaged, verdict);
        }
    }
    {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !q.next() ||
            q.value(0).toString().compare(QStringLiteral("wal"), Qt::CaseInsensitive) != 0) {
            const QSqlError we = q.lastError();
            TFault f = we.type() == QSqlError::NoError ? sfReadOnly : FaultOf(we);
            if (f == sfCannotOpen || f == sfOther)
                f = FolderFault(path);
            return Fault(f, we.text());
        }
    }
    // Every commit reaches the disk before the call returns: a record once made survives a power cut.
    if (!Exec(db, QStringLiteral("PRAGMA synchronous=NORMAL"), &e) ||
        !Exec(db, QStringLiteral("PRAGMA foreign_keys=ON"), &e) || !Migrate(db, kSchemaVersion, &e))
        return Fault(FaultOf(e), e.text());
    return {};
}

TOpenReport OpenOnce(const QString& path, const QString& connectionName, int busyTimeoutMs, bool mayMoveAside,
                     std::optional<int> utcOffset) {
    if (!QSqlDatabase::isDriverAvailable(kDriver))
        return Fault(sfNoDriver);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return Fault(sfCannotOpen);

    TFault aside = sfNone;
    int version = 0;
    TOpenReport r = TryOpen(path, connectionName, busyTimeoutMs, aside, version);
    if (!r.ok())
        CloseDatabase(connectionName);
    if (aside == sfNone || !mayMoveAside)
        return r;

    const QString to =
        AsidePath(path, aside == sfDamaged ? QStringLiteral("damaged") : QStringLiteral("schema%1").arg(version),
                  utcOffset ? QDateTime::currentDateTimeUtc().toOffsetFromUtc(*utcOffset) : QDateTime::currentDateTime());
    if (!RenameAside(path, to)) {
        // Never written over: without a new name the file stays as it is, and unused.
        r.foundVersion = version;
        r.systemText = QFileInfo(path).absolutePath();
        return r;
    }
    r = OpenOnce(path, connectionName, busyTimeoutMs, false, utcOffset);
    r.asideReason = aside;
    r.asidePath = to;
    r.foundVersion = version;
    return r;
}

bool TryOpenForReading(const QString& path, const QString& connectionName, int busyTimeoutMs,
                       TOpenReport& report) {
    QSqlDatabase db = QSqlDatabase::addDatabase(kDriver, connectionName);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
    if (!db.open()) {
        report = Fault(FaultOf(db.lastError()), db.lastError().text());
        return false;
    }
    QSqlError e;
    const int version = SchemaVersion(db, &e);
    if (version < 0)
        report = Fault(FaultOf(e), e.text());
    else if (version > kSchemaVersion)
        report = Fault(sfNewerSchema);
    else if (version < 1)
        report = Fault(sfCannotOpen);
    return report.ok();
}

} // namespace

QString DefaultDatabasePath() {
#ifdef Q_OS_WIN
    QString base = qEnvironmentVariable("APPDATA");
    if (base.isEmpty())
        base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
#else
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
#endif
    return QDir::cleanPath(base + QStringLiteral("/Tarvo/service-record.sqlite"));
}

QString SystemUserName() {
#ifdef Q_OS_WIN
    return qEnvironmentVariable("USERNAME");
#else
    QString name = qEnvironmentVariable("USER");
    if (name.isEmpty()) {
        if (const passwd* pw = getpwuid(geteuid()))
            name = QString::fromLocal8Bit(pw->pw_name);
    }
    return name;
#endif
}

TFault FaultOf(const QSqlError& error) {
    if (error.type() == QSqlError::NoError)
        return sfNone;
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok) & 0xFF;
    if (!ok)
        return sfOther;
    switch (code) {
    case kSqliteBusy:
    case kSqliteLocked:
        return sfLocked;
    case kSqliteReadOnly:
        return sfReadOnly;
    case kSqliteCorrupt:
    case kSqliteNotADb:
        return sfDamaged;
    case kSqliteFull:
        return sfDiskFull;
    case kSqliteCantOpen:
        return sfCannotOpen;
    default:
        return sfOther;
    }
}

TOpenReport OpenDatabase(const QString& path, const QString& connectionName, int busyTimeoutMs,
                         std::optional<int> utcOffsetSeconds) {
    return OpenOnce(path, connectionName, busyTimeoutMs, true, utcOffsetSeconds);
}

bool OpenForReading(const QString& path, const QString& connectionName, int busyTimeoutMs, TOpenReport& report) {
    report = {};
    if (!QSqlDatabase::isDriverAvailable(kDriver))
        report = Fault(sfNoDriver);
    else if (!QFileInfo::exists(path))
        report = Fault(sfCannotOpen);
    else if (TryOpenForReading(path, connectionName, busyTimeoutMs, report))
        return true;
    CloseDatabase(connectionName);
    return false;
}

int SchemaVersion(QSqlDatabase& db, QSqlError* error) {
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
        if (error)
            *error = q.lastError();
        return -1;
    }
    return q.value(0).toInt();
}

bool Migrate(QSqlDatabase& db, int toVersion, QSqlError* error) {
    for (const TMigration& m : Migrations()) {
        if (m.to > toVersion)
            break;
        if (SchemaVersion(db, error) >= m.to)
            continue;
        // The write lock first, then a second look: the other program may have migrated meanwhile.
        if (!Exec(db, QStringLiteral("BEGIN IMMEDIATE"), error))
            return false;
        const int now = SchemaVersion(db, error);
        bool ok = now >= 0;
        if (ok && now < m.to) {
            for (const QString& sql : m.statements) {
                if (!(ok = Exec(db, sql, error)))
                    break;
            }
            if (ok && m.code)
                ok = m.code(db, error);
            // The version is a number of ours, not input: PRAGMA takes no bound parameters.
            if (ok)
                ok = Exec(db, QStringLiteral("PRAGMA user_version = %1").arg(m.to), error);
        }
        if (!ok || !Exec(db, QStringLiteral("COMMIT"), error)) {
            Exec(db, QStringLiteral("ROLLBACK"), nullptr);
            return false;
        }
    }
    return true;
}

void CloseDatabase(const QString& connectionName) {
    if (QSqlDatabase::contains(connectionName)) {
        {
            QSqlDatabase db = QSqlDatabase::database(connectionName, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(connectionName);
    }
}

QString IdentityCondition(const QString& alias) {
    const QString a = alias.isEmpty() ? QString() : alias + QLatin1Char('.');
    return QStringLiteral("%1generation = ? AND %1type_code = ? AND %1sensor_number = ? AND %1sensor_name = ? "
                          "AND %1fixed_name = ? ")
        .arg(a);
}

QVariantList IdentityValues(const TTransducerId& t) {
    return {int(t.generation), t.typeCode, t.sensorNumber, t.sensorName, t.fixedName};
}

QString AsidePath(const QString& path, const QString& tag, const QDateTime& now) {
    const QFileInfo fi(path);
    const QString stamp = now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString stem = fi.absolutePath() + QLatin1Char('/') + fi.completeBaseName() + QLatin1Char('.') + tag +
                         QLatin1Char('-') + stamp;
    QString candidate = stem + QStringLiteral(".sqlite");
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = stem + QStringLiteral("-%1.sqlite").arg(n);
    return candidate;
}

} // namespace servicerecord
