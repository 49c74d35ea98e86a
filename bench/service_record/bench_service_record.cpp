// How long one record takes to reach the disk, and how long the journal window takes to open a history
// of ten thousand entries. Prints its figures.
//   bench_service_record [--dir DIR] [--records N] [--entries N]
#include "ServiceLogWindow.h"
#include "ServiceRecord.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QUuid>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

using namespace servicerecord;

namespace {

struct TFigures {
    double median = 0, p99 = 0, worst = 0;
};

TFigures Figures(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[ms.size() * 99 / 100], ms.back()};
}

TSubject Subject() {
    TSubject s;
    s.transducer = {gnNewer, 118, QStringLiteral("Tarvo-ТС-ТП"), QStringLiteral("Pt100 котёл"), 1234, {}};
    s.link = {QStringLiteral("/dev/ttyUSB0"), 19200, 1};
    return s;
}

struct TSilentHooks : TServiceUiHooks {
    void ShowMessage(const QString&, Kind) override {}
    QString SavePdfFileName(QWidget*, const QString&) override { return {}; }
};

// Ten thousand entries of one transducer, written in one transaction of the schema's own connection.
bool Fill(const QString& path, int entries) {
    const QString name = QStringLiteral("bench-fill");
    if (!OpenDatabase(path, name, 1000).ok())
        return false;
    {
        QSqlDatabase db = QSqlDatabase::database(name);
        QSqlQuery(db).exec(QStringLiteral("BEGIN IMMEDIATE"));
        QSqlQuery t(db);
        t.prepare(QStringLiteral("INSERT INTO transducers (generation, type_code, fixed_name, sensor_name, "
                                 "sensor_name_folded, sensor_number, first_seen, last_seen) VALUES (2, 118, ?, ?, ?, "
                                 "1234, '2026-01-01T00:00:00.000+03:00', '2026-01-01T00:00:00.000+03:00')"));
        t.addBindValue(Subject().transducer.fixedName);
        t.addBindValue(Subject().transducer.sensorName);
        t.addBindValue(Subject().transducer.sensorName.toCaseFolded());
        t.exec();
        const qint64 id = t.lastInsertId().toLongLong();
        QSqlQuery e(db);
        e.prepare(QStringLiteral("INSERT INTO events (uid, transducer_id, kind, outcome, at, program, version, port, "
                                 "rate, address, operator_name, confirmed, block_before, block_after) VALUES (?, ?, "
                                 "'config_write', 'done', ?, 'Tarvo_TS_TP', '1.0.0.0', '/dev/ttyUSB0', 19200, 1, "
                                 "'Петров', 1, ?, ?)"));
        for (int i = 0; i < entries; ++i) {
            e.addBindValue(QUuid::createUuid().toString(QUuid::WithoutBraces));
            e.addBindValue(id);
            e.addBindValue(QStringLiteral("2026-01-01T00:00:%1.000+03:00").arg(i % 60, 2, 10, QLatin1Char('0')));
            e.addBindValue(QStringLiteral("{\"SensorType\":1,\"RangeHighLimit\":%1}").arg(i));
            e.addBindValue(QStringLiteral("{\"SensorType\":3,\"RangeHighLimit\":%1}").arg(i + 10));
            if (!e.exec())
                return false;
        }
        QSqlQuery(db).exec(QStringLiteral("COMMIT"));
    }
    CloseDatabase(name);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QString base = QCoreApplication::applicationDirPath(); // the build folder: this machine's disk, not a tmpfs
    int records = 500, entries = 10000;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QStringLiteral("--dir"))
            base = args[i + 1];
        else if (args[i] == QStringLiteral("--records"))
            records = args[i + 1].toInt();
        else if (args[i] == QStringLiteral("--entries"))
            entries = args[i + 1].toInt();
    }
    QTemporaryDir dir(base + QStringLiteral("/bench-service-record-XXXXXX"));
    dir.setAutoRemove(qEnvironmentVariableIsEmpty("TARVO_BENCH_KEEP"));
    if (!dir.isValid())
        return 1;

    // 1. One record: from the call to its commit on disk (synchronous=FULL, write-ahead journal).
    {
        TServiceRecord record({QStringLiteral("Tarvo_TS_TP"), QStringLiteral("1.0.0.0"),
                               dir.filePath(QStringLiteral("records.sqlite")), 1000, 3000});
        record.TransducerSeen(Subject());
        record.Drain(5000);
        std::vector<double> written, call;
        const QJsonObject before{{QStringLiteral("SensorType"), 1}}, after{{QStringLiteral("SensorType"), 3}};
        for (int i = 0; i < records; ++i) {
            QElapsedTimer t;
            t.start();
            record.ConfigurationWritten(Subject(), before, after, true);
            call.push_back(t.nsecsElapsed() / 1e6);
            if (!record.Drain(5000)) {
                std::fprintf(stderr, "record %d not written\n", i);
                return 1;
            }
            written.push_back(t.nsecsElapsed() / 1e6);
        }
        const TFigures w = Figures(written), c = Figures(call);
        std::printf("one record on disk (%d records, write-ahead journal): median %.3f ms, 99%% %.3f ms, worst %.3f ms "
                    "(goal 2 ms)\n",
                    records, w.median, w.p99, w.worst);
        std::printf("  the call on the window thread:                     median %.4f ms, 99%% %.4f ms, worst %.4f ms\n",
                    c.median, c.p99, c.worst);
    }

    // 2. The journal window opening a history of `entries` entries, until it has painted.
    {
        const QString path = dir.filePath(QStringLiteral("journal.sqlite"));
        if (!Fill(path, entries))
            return 1;
        TServiceRecord record({QStringLiteral("Tarvo_TS_TP"), QStringLiteral("1.0.0.0"), path, 1000, 3000});
        record.Drain(5000);
        TSilentHooks hooks;
        {
            // The program has shown its own window (Russian texts, a table) before: Qt's first widget, style
            // and fonts are paid.
            QWidget plain;
            auto* layout = new QVBoxLayout(&plain);
            layout->addWidget(new QLabel(QStringLiteral("Конфигурация преобразователя: Прочитать, Записать"), &plain));
            layout->addWidget(new QTableView(&plain));
            plain.show();
            plain.repaint();
            QCoreApplication::processEvents();
        }
        std::vector<double> open;
        double first = 0;
        int rows = 0;
        for (int run = 0; run < 8; ++run) {
            QElapsedTimer t;
            t.start();
            ServiceLogWindow w(record, hooks);
            w.ShowTransducer(Subject().transducer);
            w.show();
            w.repaint();
            QCoreApplication::processEvents();
            (run == 0 ? first : open.emplace_back()) = t.nsecsElapsed() / 1e6;
            rows = w.Model().rowCount();
        }
        const TFigures f = Figures(open);
        std::printf("journal window with %d entries, until painted: first opening %.1f ms; "
                    "then (7 openings) median %.1f ms, worst %.1f ms (goal 100 ms)\n",
                    rows, first, f.median, f.worst);
    }
    return 0;
}
