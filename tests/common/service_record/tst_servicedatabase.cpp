// The database file: migrations from the first schema, files moved aside, folders that cannot be written,
// a database held by another program, bound parameters, and two processes writing at once.
#include "ServiceQuery.h"
#include "ServiceRecord.h"
#include "ServiceTexts.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace servicerecord;

Q_DECLARE_METATYPE(servicerecord::TFault)

namespace {

// A connection of the test's own, for looking into a file or holding it.
struct TPeek {
    QString name;
    QSqlDatabase db;
    explicit TPeek(const QString& path, const QString& options = {}) : name(QUuid::createUuid().toString()) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(options);
        db.open();
    }
    ~TPeek() {
        db.close();
        db = {};
        QSqlDatabase::removeDatabase(name);
    }
    QVariant value(const QString& sql) {
        QSqlQuery q(db);
        return q.exec(sql) && q.next() ? q.value(0) : QVariant();
    }
    bool exec(const QString& sql) { return QSqlQuery(db).exec(sql); }
};

TSubject Subject(const QString& name = QStringLiteral("Pt100"), qint64 number = 1234) {
    TSubject s;
    s.transducer = {gnNewer, 118, QStringLiteral("Tarvo-ТС-ТП"), name, number, {}};
    s.link = {QStringLiteral("/dev/ttyUSB0"), 19200, 1};
    return s;
}

TServiceRecord::TOptions Options(const QString& path, int busyMs = 1000, int retryMs = 3000) {
    return {QStringLiteral("Tarvo_TS_TP"), QStringLiteral("1.0.0.0"), path, busyMs, retryMs};
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestServiceDatabase : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    int n = 0;
    QString fresh() { return dir.filePath(QStringLiteral("db%1/service-record.sqlite").arg(++n)); }

    QJsonObject runWriter(const QStringList& args, QProcess* started = nullptr) {
        QProcess local;
        QProcess& p = started ? *started : local;
        if (!started)
            p.start(QStringLiteral(SERVICE_RECORD_WRITER), args);
        if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            qWarning() << "writer" << args << "failed:" << p.readAllStandardError();
            return {};
        }
        return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(dir.isValid());
        QVERIFY2(QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")), "libqt6sql6-sqlite is missing");
    }

    void defaultPathFollowsXdgDataHome() {
        const QByteArray old = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("xdg"))));
        QCOMPARE(DefaultDatabasePath(), dir.filePath(QStringLiteral("xdg/Tarvo/service-record.sqlite")));
        qputenv("XDG_DATA_HOME", old);
    }

    // A fresh file: write-ahead journal, busy time-out, current schema.
    void freshFile() {
        const QString path = fresh();
        const TOpenReport r = OpenDatabase(path, QStringLiteral("fresh"), 750);
        QVERIFY2(r.ok(), qPrintable(r.systemText));
        {
            QSqlDatabase db = QSqlDatabase::database(QStringLiteral("fresh"));
            QSqlQuery q(db);
            QVERIFY(q.exec(QStringLiteral("PRAGMA journal_mode")) && q.next());
            QCOMPARE(q.value(0).toString(), QStringLiteral("wal"));
            QVERIFY(q.exec(QStringLiteral("PRAGMA busy_timeout")) && q.next());
            QCOMPARE(q.value(0).toInt(), 750);
            QCOMPARE(SchemaVersion(db), kSchemaVersion);
        }
        CloseDatabase(QStringLiteral("fresh"));
    }

    // A file of the first schema with entries in it comes up to the current one, entries intact, and the
    // name search of the later schema finds its Cyrillic names in any case.
    void migrationFromFirstSchema() {
        const QString path = fresh();
        QDir().mkpath(QFileInfo(path).absolutePath());
        {
            TPeek v1(path);
            QVERIFY(Migrate(v1.db, 1));
            QCOMPARE(SchemaVersion(v1.db), 1);
            QVERIFY(v1.exec(QStringLiteral(
                "INSERT INTO transducers (generation, type_code, fixed_name, sensor_name, sensor_number, first_seen, "
                "last_seen) VALUES (1, 77, 'ТС', 'ТСП Котельная', 42, '2025-01-01T10:00:00.000+03:00', "
                "'2025-01-01T10:00:00.000+03:00')")));
            QVERIFY(v1.exec(QStringLiteral(
                "INSERT INTO events (uid, transducer_id, kind, outcome, at, program, version, port, rate, address, "
                "operator_name, calibration_date) VALUES ('u1', 1, 'calibration', 'done', "
                "'2025-01-01T10:05:00.000+03:00', 'Tarvo_TS', '1.0.0.0', 'COM1', 1200, 3, 'ivan', '2025-01-01')")));
            QVERIFY(v1.value(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'instruments'")).toInt() == 0);
        }
        const TOpenReport r = OpenDatabase(path, QStringLiteral("migrated"), 1000);
        QVERIFY2(r.ok(), qPrintable(r.systemText));
        QVERIFY(r.asidePath.isEmpty());
        CloseDatabase(QStringLiteral("migrated"));

        TServiceQuery query(path);
        QVERIFY(query.IsOpen());
        const QList<TLogEntry> found = query.Search(QStringLiteral("котельная"));
        QCOMPARE(found.size(), 1);
        QCOMPARE(found[0].transducer.sensorName, QStringLiteral("ТСП Котельная"));
        QCOMPARE(found[0].calibrationDate, QDate(2025, 1, 1));
        QCOMPARE(found[0].operatorName, QStringLiteral("ivan"));
        QVERIFY(query.Instruments().isEmpty()); // the table of the later schema is there
        TPeek peek(path);
        QCOMPARE(SchemaVersion(peek.db), kSchemaVersion);
    }

    // A file that is not ours to write is kept under a new name, byte for byte, and a new one begun.
    void keptAside_data() {
        QTest::addColumn<QByteArray>("content"); // empty: a database of a newer schema
        QTest::addColumn<TFault>("reason");
        QTest::addColumn<QString>("tag");
        QTest::newRow("not a database") << QByteArray(8192, 'x') << sfDamaged << "damaged";
        QTest::newRow("damaged pages") << QByteArray("corrupt-pages") << sfDamaged << "damaged";
        QTest::newRow("newer schema") << QByteArray() << sfNewerSchema << "schema7";
    }
    void keptAside() {
        QFETCH(QByteArray, content);
        QFETCH(TFault, reason);
        QFETCH(QString, tag);
        const QString path = fresh();
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (content.isEmpty() || content == "corrupt-pages") {
            {
                TPeek p(path);
                QVERIFY(Migrate(p.db, kSchemaVersion));
                if (content.isEmpty())
                    QVERIFY(p.exec(QStringLiteral("PRAGMA user_version = 7")));
                else
                    for (int i = 0; i < 200; ++i)
                        QVERIFY(p.exec(QStringLiteral("INSERT INTO settings VALUES ('k%1', '%2')")
                                           .arg(i)
                                           .arg(QString(300, QLatin1Char('v')))));
            }
            if (content == "corrupt-pages") { // the header stays, the pages after the first are scribbled on
                QFile f(path);
                QVERIFY(f.open(QIODevice::ReadWrite));
                f.seek(4096);
                f.write(QByteArray(8192, '\x5a'));
            }
            content = ReadAll(path);
        } else {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }

        TServiceRecord record(Options(path));
        QSignalSpy notices(&record, &TServiceRecord::Notice);
        record.TransducerSeen(Subject());
        QVERIFY(record.Drain(5000));
        QTRY_VERIFY(!notices.isEmpty());
        const TNotice notice = notices.first().first().value<TNotice>();
        QCOMPARE(notice.kind, TNotice::nkKeptAside);
        QCOMPARE(notice.fault, reason);
        const QStringList kept = QDir(QFileInfo(path).absolutePath())
                                     .entryList({QStringLiteral("service-record.%1-*.sqlite").arg(tag)});
        QCOMPARE(kept.size(), 1);
        const QString keptPath = QFileInfo(path).absolutePath() + QLatin1Char('/') + kept.first();
        QVERIFY2(notice.text.contains(keptPath), qPrintable(notice.text));
        QCOMPARE(ReadAll(keptPath), content);
        QCOMPARE(notices.size(), 1); // the new file works: nothing else to tell
        TServiceQuery query(path);
        QCOMPARE(query.Search(QString()).size(), 0);
        TPeek peek(path);
        QCOMPARE(peek.value(QStringLiteral("SELECT count(*) FROM transducers")).toInt(), 1);
    }

    // Writes that cannot be made are told once, delay nothing and are counted at the close.
    void unwritableFolder() {
        QFile blocker(dir.filePath(QStringLiteral("a-file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString path = dir.filePath(QStringLiteral("a-file/Tarvo/service-record.sqlite"));
        TServiceRecord record(Options(path, 1000, 50));
        QSignalSpy notices(&record, &TServiceRecord::Notice);
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < 50; ++i)
            record.Correction(Subject(), ekNsxCorrection, ocDone, {}, {});
        QVERIFY2(t.elapsed() < 100, "recording waited for the database");
        QVERIFY(!record.Drain(5000));
        QTRY_COMPARE(notices.size(), 1);
        QTest::qWait(300); // several retries, still one notice
        QCOMPARE(notices.size(), 1);
        const TNotice notice = notices.first().first().value<TNotice>();
        QCOMPARE(notice.kind, TNotice::nkFault);
        QCOMPARE(notice.fault, sfCannotOpen);
        QVERIFY2(notice.text.contains(path) && notice.text.contains(QStringLiteral("Работа с преобразователем продолжается")),
                 qPrintable(notice.text));
        QCOMPARE(record.Close(100), 50);
        QVERIFY(record.UnrecordedText().startsWith(QStringLiteral("Не записано в журнал обслуживания: 50 (Подстройка НСХ")));
    }

    // A folder the user may not write: one clear text, nothing made; a damaged file in it cannot be moved
    // aside and is left as it is. As root only a process that dropped its rights feels the folder.
    void readOnlyFolder_data() {
        QTest::addColumn<QByteArray>("content"); // of a file already there; empty: none
        QTest::addColumn<TFault>("fault");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty folder") << QByteArray() << sfReadOnly << "нет прав на запись в папку";
        QTest::newRow("damaged file") << QByteArray(4096, 'x') << sfDamaged
                                      << "повреждён, а сохранить его под другим именем не удалось";
    }
    void readOnlyFolder() {
        QFETCH(QByteArray, content);
        QFETCH(TFault, fault);
        QFETCH(QString, text);
        const QString folder = dir.filePath(QStringLiteral("locked-folder%1").arg(++n));
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/service-record.sqlite");
        if (!content.isEmpty()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        QJsonObject out;
        QStringList args{QStringLiteral("--db"), path, QStringLiteral("--count"), QStringLiteral("5")};
        if (geteuid() == 0) {
            const passwd* nobody = getpwnam("nobody");
            if (!nobody)
                QSKIP("no user nobody to drop to");
            // The writer runs as nobody; it must reach the folder, not write it.
            QVERIFY(chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
            QVERIFY(chmod(QFile::encodeName(folder).constData(), 0755) == 0);
            out = runWriter(args << QStringLiteral("--uid") << QString::number(nobody->pw_uid) << QStringLiteral("--gid")
                                 << QString::number(nobody->pw_gid));
        } else {
            QVERIFY(chmod(QFile::encodeName(folder).constData(), 0555) == 0);
            out = runWriter(args);
            chmod(QFile::encodeName(folder).constData(), 0755);
        }
        const QJsonArray notices = out.value(QStringLiteral("notices")).toArray();
        QCOMPARE(notices.size(), 1);
        const QString told = notices[0].toObject().value(QStringLiteral("text")).toString();
        QCOMPARE(notices[0].toObject().value(QStringLiteral("fault")).toInt(), int(fault));
        QVERIFY2(told.contains(text) && told.contains(fault == sfReadOnly ? folder : path), qPrintable(told));
        QCOMPARE(out.value(QStringLiteral("unrecorded")).toInt(), 5);
        QCOMPARE(QDir(folder).entryList(QDir::Files), content.isEmpty() ? QStringList() : QStringList{QStringLiteral("service-record.sqlite")});
        if (!content.isEmpty())
            QCOMPARE(ReadAll(path), content);
    }

    // The other program holds the write lock past the busy time-out: told once, the records wait and
    // are written when it lets go, and the recovery is told.
    void lockedPastTimeout() {
        const QString path = fresh();
        {
            TServiceRecord first(Options(path));
            QVERIFY(first.Drain(5000)); // made and migrated
        }
        TPeek holder(path, QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
        QVERIFY(holder.exec(QStringLiteral("BEGIN IMMEDIATE")));
        QVERIFY(holder.exec(QStringLiteral("INSERT INTO settings VALUES ('held', '1')")));

        TServiceRecord record(Options(path, 100, 100));
        QSignalSpy notices(&record, &TServiceRecord::Notice);
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < 3; ++i)
            record.Correction(Subject(), ekZeroCorrection, ocDone, {}, {{QStringLiteral("i"), i}});
        QVERIFY(t.elapsed() < 50);
        QTRY_COMPARE(notices.size(), 1);
        TNotice notice = notices.first().first().value<TNotice>();
        QCOMPARE(notice.kind, TNotice::nkFault);
        QCOMPARE(notice.fault, sfLocked);
        QVERIFY2(notice.text.contains(QStringLiteral("занят другой программой")), qPrintable(notice.text));
        QCOMPARE(record.Unrecorded(), 3);

        QVERIFY(holder.exec(QStringLiteral("COMMIT")));
        QTRY_COMPARE_WITH_TIMEOUT(notices.size(), 2, 5000);
        notice = notices.last().first().value<TNotice>();
        QCOMPARE(notice.kind, TNotice::nkRecovered);
        QVERIFY(record.Drain(1000));
        QCOMPARE(holder.value(QStringLiteral("SELECT count(*) FROM events WHERE kind = 'zero_correction'")).toInt(), 3);
        QCOMPARE(record.Close(), 0);
    }

    // Names travel as bound parameters: quotes and SQL stay text, % and _ in a search are plain letters.
    void boundParameters() {
        const QString path = fresh();
        const QString nasty = QStringLiteral("O'Brien \"7\"; DROP TABLE events; --");
        {
            TServiceRecord record(Options(path));
            record.TransducerSeen(Subject(nasty, 1));
            record.Correction(Subject(nasty, 1), ekZeroCorrection, ocDone, {}, {});
            record.Correction(Subject(QStringLiteral("100%_Pt"), 2), ekZeroCorrection, ocDone, {}, {});
            record.Correction(Subject(QStringLiteral("100 Pt"), 3), ekZeroCorrection, ocDone, {}, {});
            record.SetOperator(QStringLiteral("Д'Артаньян"));
            record.Correction(Subject(nasty, 1), ekNsxReset, ocDone, {}, {});
            QVERIFY(record.Drain(5000));
        }
        TServiceQuery query(path);
        const QList<TLogEntry> mine = query.History(Subject(nasty, 1).transducer);
        QCOMPARE(mine.size(), 2);
        QCOMPARE(mine[0].transducer.sensorName, nasty);
        QCOMPARE(mine[0].operatorName, QStringLiteral("Д'Артаньян"));
        QCOMPARE(query.OperatorSetting(), QStringLiteral("Д'Артаньян"));
        QCOMPARE(query.Search(QStringLiteral("o'brien")).size(), 2);
        QCOMPARE(query.Search(QStringLiteral("%_")).size(), 1);
        QCOMPARE(query.Search(QStringLiteral("0%")).size(), 1);
        QCOMPARE(query.Search(QStringLiteral("3")).size(), 1); // the number, not a letter of a name
        QCOMPARE(query.Search(QString()).size(), 4);
    }

    // Two programs start on a file that does not exist yet and write at once: one schema, every entry.
    void twoProcessesAtOnce() {
        const QString path = fresh();
        const qint64 go = QDateTime::currentMSecsSinceEpoch() + 800;
        QProcess a, b;
        for (QProcess* p : {&a, &b})
            p->start(QStringLiteral(SERVICE_RECORD_WRITER),
                     {QStringLiteral("--db"), path, QStringLiteral("--count"), QStringLiteral("150"),
                      QStringLiteral("--tag"), p == &a ? QStringLiteral("A") : QStringLiteral("B"),
                      QStringLiteral("--start-at"), QString::number(go)});
        {
            TServiceRecord record(Options(path, 2000));
            while (QDateTime::currentMSecsSinceEpoch() < go)
                QTest::qWait(1);
            for (int i = 0; i < 150; ++i)
                record.Correction(Subject(QStringLiteral("C")), ekZeroCorrection, ocDone, {}, {});
            QVERIFY(record.Drain(30000));
            QCOMPARE(record.Close(), 0);
        }
        for (QProcess* p : {&a, &b}) {
            const QJsonObject out = runWriter({}, p);
            QCOMPARE(out.value(QStringLiteral("unrecorded")).toInt(), 0);
            QCOMPARE(out.value(QStringLiteral("notices")).toArray().size(), 0);
        }
        TPeek peek(path);
        QCOMPARE(peek.value(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
        QCOMPARE(peek.value(QStringLiteral("SELECT count(*) FROM events")).toInt(), 450);
        QCOMPARE(peek.value(QStringLiteral("SELECT count(*) FROM transducers")).toInt(), 3);
        QCOMPARE(SchemaVersion(peek.db), kSchemaVersion);
    }

    void faultOfResultCode_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<TFault>("fault");
        QTest::newRow("busy") << "5" << sfLocked;
        QTest::newRow("busy snapshot") << "517" << sfLocked;
        QTest::newRow("read-only") << "8" << sfReadOnly;
        QTest::newRow("corrupt") << "11" << sfDamaged;
        QTest::newRow("full") << "13" << sfDiskFull;
        QTest::newRow("cannot open") << "14" << sfCannotOpen;
        QTest::newRow("not a database") << "26" << sfDamaged;
        QTest::newRow("constraint") << "19" << sfOther;
        QTest::newRow("no code") << "" << sfOther;
    }
    void faultOfResultCode() {
        QFETCH(QString, code);
        QFETCH(TFault, fault);
        QCOMPARE(FaultOf(QSqlError(QStringLiteral("driver"), QStringLiteral("db"), QSqlError::StatementError, code)),
                 fault);
    }
};

QTEST_GUILESS_MAIN(TestServiceDatabase)
#include "tst_servicedatabase.moc"
