// The database file of the service record: where it lives, how it is opened (write-ahead journal, busy
// time-out, foreign keys), its schema and the migrations from the first version on, and what becomes of a
// file that is damaged or of a newer schema (it is moved aside, never written over). Qt Core and Sql only;
// every function works on the calling thread's own connection.
#pragma once

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QVariantList>

#include <optional>

namespace servicerecord {

// The schema this build writes. Version 1 is the first one ever written; each later version has its
// migration from the one before.
constexpr int kSchemaVersion = 2;

// <user data folder>/Tarvo/service-record.sqlite. Both programs share the organisation folder "Tarvo"
// (their own data folders are Tarvo_TS and Tarvo_TS_TP); XDG_DATA_HOME moves it on Linux, %APPDATA% holds
// it on Windows.
QString DefaultDatabasePath();

// The operator recorded when the settings name none: the system's user name.
QString SystemUserName();

// Why the database could not be used; the texts are made by FaultText().
enum TFault : int {
    sfNone,
    sfNoDriver,    // Qt's SQLite driver is not installed
    sfCannotOpen,  // the folder cannot be made or the file cannot be created or opened
    sfReadOnly,    // the folder or the file may not be written
    sfDiskFull,
    sfLocked,      // another program held the database past the busy time-out
    sfDamaged,     // not a database, or its check failed
    sfNewerSchema, // written by a newer version of the programs
    sfOther,
};

// The fault of a failed statement or open, from SQLite's own result code.
TFault FaultOf(const QSqlError& error);

// What opening found.
struct TOpenReport {
    TFault fault = sfNone;   // sfNone: the database is open and at kSchemaVersion
    QString systemText;      // SQLite's text of the failure
    // A damaged file or one of a newer schema was moved aside before a new one was made:
    TFault asideReason = sfNone; // sfDamaged or sfNewerSchema
    QString asidePath;       // the name it is kept under
    int foundVersion = 0;    // the schema version that file carried (sfNewerSchema)
    bool ok() const { return fault == sfNone; }
};

// Opens `path` as the connection `connectionName` of this thread, making the folder and the file when
// missing: write-ahead journal, `busyTimeoutMs`, foreign keys on, migrated to kSchemaVersion. A damaged
// file or one of a newer schema is renamed (with its -wal and -shm files) to
// "<name>.damaged-<stamp>.sqlite" or "<name>.schema<N>-<stamp>.sqlite" and a new one is begun; when it
// cannot be renamed nothing is written and the fault is returned. On failure the connection is removed.
// `utcOffsetSeconds` makes the stamp local time without the C library's time-zone state, which a second
// thread must not touch while the window thread reads local time; none: this thread's local time.
TOpenReport OpenDatabase(const QString& path, const QString& connectionName, int busyTimeoutMs,
                         std::optional<int> utcOffsetSeconds = std::nullopt);

// Opens an existing database for reading only (the journal window); no migration, no creation.
// Returns false with the fault in `report` when it cannot be read.
bool OpenForReading(const QString& path, const QString& connectionName, int busyTimeoutMs, TOpenReport& report);

// Brings an open database from its version to `toVersion` (at most kSchemaVersion), one migration per
// version, each in its own write transaction. Used by OpenDatabase; tests make old files with it.
bool Migrate(QSqlDatabase& db, int toVersion, QSqlError* error = nullptr);

// The schema version stored in the file (PRAGMA user_version); -1 when it cannot be read.
int SchemaVersion(QSqlDatabase& db, QSqlError* error = nullptr);

// Removes the connection after its last query went out of scope.
void CloseDatabase(const QString& connectionName);

// The columns of `transducers` that tell one transducer from another, as a condition on the table alias
// `t` (empty: no alias), and their values in that order for binding.
QString IdentityCondition(const QString& alias = {});
QVariantList IdentityValues(const struct TTransducerId& transducer);

// A name not yet taken in the folder of `path` for keeping a file aside: "<base>.<tag>-<stamp>.sqlite",
// the stamp of `now` ("yyyyMMdd-HHmmss").
QString AsidePath(const QString& path, const QString& tag, const QDateTime& now);

} // namespace servicerecord
