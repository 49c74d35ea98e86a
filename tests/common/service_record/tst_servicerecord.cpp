// What the workflows record and what the journal and the certificate make of it.
#include "Certificate.h"
#include "ServiceQuery.h"
#include "ServiceRecord.h"
#include "ServiceTexts.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

using namespace servicerecord;

namespace {

TSubject Newer(const QString& name = QStringLiteral("Pt100 котёл"), qint64 number = 4000000001LL) {
    TSubject s;
    s.transducer = {gnNewer, 117, QStringLiteral("Tarvo-ТС-ТП-117"), name, number, {}};
    s.link = {QStringLiteral("/tmp/tarvo-sim/bus0"), 19200, 1};
    return s;
}

TSubject Older() {
    TSubject s;
    s.transducer = {gnOlder, 77, QStringLiteral("Tarvo-ТС"), QStringLiteral("ТСП 100П"), -5, QDate(2019, 4, 1)};
    s.link = {QStringLiteral("COM3"), 1200, 3};
    return s;
}

TCheck Check(TEventKind kind, double offset) {
    return {kind, {{0.0, 0.0 + offset, 0.5}, {100.0, 100.0 + offset, 0.5}}};
}

} // namespace

class TestServiceRecord : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    int n = 0;
    QString path;

    TServiceRecord::TOptions options() const {
        return {QStringLiteral("Tarvo_TS_TP"), QStringLiteral("1.0.0.0"), path, 1000, 3000};
    }

private Q_SLOTS:
    void init() { path = dir.filePath(QStringLiteral("r%1/service-record.sqlite").arg(++n)); }

    // A run with an as-found check before it and an as-left check after it: the steps in order, both
    // checks bound to the run, the date written, and the journal newest first.
    void calibrationRunWithChecks() {
        {
            TServiceRecord record(options());
            record.SetOperator(QStringLiteral("Петров"));
            record.TransducerSeen(Newer());
            record.CheckTaken(Newer(), Check(ekAsFound, 0.8)); // an older check, superseded below
            record.CheckTaken(Newer(), Check(ekAsFound, 0.7));
            const TRunId run = record.CalibrationBegun(Newer());
            record.CalibrationStep(run, 1, std::nullopt, {}, ocDone, {}, QStringLiteral("300 Ом"));
            record.CalibrationStep(run, 2, std::nullopt, {}, ocDone, {}, QStringLiteral("70 мВ"));
            record.CalibrationStep(run, 3, 101, QStringLiteral("мкА"), ocDone);
            record.CalibrationStep(run, 4, 20012, QStringLiteral("мкА"), ocDone);
            record.CalibrationStep(run, 5, std::nullopt, {}, ocDone, {}, QStringLiteral("дата 10.12.2026"));
            record.CalibrationEnded(run, ocDone, QDate(2026, 12, 10));
            record.CheckTaken(Newer(), Check(ekAsLeft, -0.1));
            QVERIFY(record.Drain(5000));
        }
        TServiceQuery query(path);
        const QList<TLogEntry> history = query.History(Newer().transducer);
        QCOMPARE(history.size(), 4);
        QCOMPARE(history[0].kind, ekAsLeft);
        QCOMPARE(history[1].kind, ekCalibration);
        QCOMPARE(history[3].kind, ekAsFound);
        QCOMPARE(history[0].runId, history[1].id);
        QCOMPARE(history[2].runId, history[1].id);
        QCOMPARE(history[3].runId, 0); // superseded by the later as-found check
        QCOMPARE(history[1].operatorName, QStringLiteral("Петров"));
        QCOMPARE(history[1].link.port, QStringLiteral("/tmp/tarvo-sim/bus0"));
        QCOMPARE(history[1].program, QStringLiteral("Tarvo_TS_TP"));
        QVERIFY2(QDateTime::fromString(history[1].at, Qt::ISODateWithMs).isValid() &&
                     history[1].at.contains(QRegularExpression(QStringLiteral("[+-]\\d\\d:\\d\\d$"))),
                 qPrintable(history[1].at));

        const std::optional<TRunReport> report = query.Run(history[1].id);
        QVERIFY(report);
        QCOMPARE(report->run.outcome, ocDone);
        QCOMPARE(report->run.calibrationDate, QDate(2026, 12, 10));
        QCOMPARE(report->steps.size(), 5);
        QCOMPARE(report->steps[2].value.value_or(-1), 101.0);
        QCOMPARE(report->steps[0].note, QStringLiteral("300 Ом"));
        QVERIFY(report->asFound && report->asLeft);
        QCOMPARE(report->asFound->points[1].reading, 100.7);
        QVERIFY(!report->asFound->Passed());
        QVERIFY(report->asLeft->Passed());
        QVERIFY(!query.Run(history[0].id)); // a check has no certificate of its own
    }

    // A run left open when the program closes ends as interrupted; a confirmed sensor-data write moves
    // the transducer's identity, a refused one does not.
    void interruptedRunAndSensorWrite() {
        TTransducerId renamed = Older().transducer;
        renamed.sensorName = QStringLiteral("ТСП 50П");
        renamed.sensorNumber = 77;
        {
            TServiceRecord record(options());
            record.CalibrationBegun(Older());
            TTransducerId refused = renamed;
            refused.sensorNumber = 99;
            record.SensorDataWritten(Older(), refused, false, QStringLiteral("Не получен ответ от прибора."));
            record.SensorDataWritten(Older(), renamed, true);
        }
        TServiceQuery query(path);
        QVERIFY(query.History(Older().transducer).isEmpty());
        const QList<TLogEntry> history = query.History(renamed);
        QCOMPARE(history.size(), 3);
        QCOMPARE(history[0].kind, ekSensorWrite);
        QCOMPARE(history[0].confirmed, 1);
        QCOMPARE(QJsonDocument::fromJson(history[0].before.toUtf8()).object().value(QStringLiteral("sensor_number")).toInt(), -5);
        QCOMPARE(history[1].confirmed, 0);
        QCOMPARE(history[1].failure, QStringLiteral("Не получен ответ от прибора."));
        QCOMPARE(history[2].outcome, ocInterrupted);
        QCOMPARE(history[2].transducer.sensorDate, QDate(2019, 4, 1));
        QCOMPARE(query.Search(QStringLiteral("77")).size(), 3);
    }

    // Configuration and corrections keep their blocks and whether the transducer confirmed them.
    void blocksAndCorrections() {
        const QJsonObject before{{QStringLiteral("SensorType"), 1}, {QStringLiteral("RangeHighLimit"), 100}};
        const QJsonObject after{{QStringLiteral("SensorType"), 3}, {QStringLiteral("RangeHighLimit"), 150}};
        {
            TServiceRecord record(options());
            record.ConfigurationRead(Newer(), {}, before, ocDone);
            record.ConfigurationWritten(Newer(), before, after, true);
            record.Correction(Newer(), ekNsxCorrection, ocRefused, {{QStringLiteral("temperature"), 25.12}},
                              {{QStringLiteral("entered"), 99.99}}, QStringLiteral("отказ"));
            QVERIFY(record.Drain(5000));
        }
        TServiceQuery query(path);
        const QList<TLogEntry> h = query.History(Newer().transducer);
        QCOMPARE(h.size(), 3);
        QCOMPARE(h[0].kind, ekNsxCorrection);
        QCOMPARE(h[0].outcome, ocRefused);
        QCOMPARE(h[0].confirmed, 0);
        QCOMPARE(QJsonDocument::fromJson(h[1].after.toUtf8()).object(), after);
        QCOMPARE(QJsonDocument::fromJson(h[1].before.toUtf8()).object(), before);
        QCOMPARE(h[1].confirmed, 1);
        QCOMPARE(h[2].before, QString());
        QCOMPARE(h[2].confirmed, -1);
        QCOMPARE(query.Search(QStringLiteral("КОТЁЛ")).size(), 3);
        QCOMPARE(query.Search(QStringLiteral("4000000001")).size(), 3);
    }

    // The certificate of a run: identity, operator, instruments, both checks, the date and the next due
    // date; its PDF is a PDF and its page can be looked at.
    void certificate() {
        qint64 runId = 0;
        {
            TServiceRecord record(options());
            record.SetRecheckMonths(24);
            record.CheckTaken(Older(), Check(ekAsFound, 0.3));
            const TRunId run = record.CalibrationBegun(Older());
            for (int step = 1; step <= 4; ++step)
                record.CalibrationStep(run, step, std::nullopt, {}, ocDone, {},
                                       QStringList{QStringLiteral("0 Ом"), QStringLiteral("500 Ом"),
                                                   QStringLiteral("250 Ом"), QStringLiteral("500 Ом")}[step - 1]);
            record.CalibrationStep(run, 5, 4.012, QStringLiteral("мА"), ocDone);
            record.CalibrationStep(run, 6, 20.004, QStringLiteral("мА"), ocDone);
            record.CalibrationStep(run, 7, std::nullopt, {}, ocDone, {}, QStringLiteral("10.12.2026"));
            record.CalibrationEnded(run, ocDone, QDate(2026, 12, 10));
            record.CheckTaken(Older(), Check(ekAsLeft, 0.05));
            const QList<TInstrument> instruments = {
                {QStringLiteral("Магазин сопротивлений Р4831"), QStringLiteral("12345"), QStringLiteral("С-ВЯ/01-12-2026/1")},
                {QStringLiteral("Мультиметр <Fluke> 8846A & Co"), QStringLiteral("ABC-9"), QStringLiteral("№ 77")}};
            record.RememberInstruments(instruments);
            QVERIFY(record.Drain(5000));
            TServiceQuery query(path);
            runId = query.History(Older().transducer)[1].id;
            record.AttachInstruments(runId, instruments);
            QVERIFY(record.Drain(5000));
        }
        TServiceQuery query(path);
        QCOMPARE(query.RecheckMonths(), 24);
        QCOMPARE(query.Instruments().size(), 2);
        const std::optional<TRunReport> report = query.Run(runId);
        QVERIFY(report);
        QCOMPARE(report->instruments.size(), 2);
        const QString html = CertificateHtml({*report, report->instruments, query.RecheckMonths()});
        for (const QString& s : {QStringLiteral("Сертификат о калибровке № %1").arg(runId), QStringLiteral("Tarvo-ТС"),
                                 QStringLiteral("ТСП 100П"), QStringLiteral("Магазин сопротивлений Р4831"),
                                 QStringLiteral("Мультиметр &lt;Fluke&gt; 8846A &amp; Co"),
                                 QStringLiteral("Проверка до настройки"), QStringLiteral("Проверка после настройки"),
                                 QStringLiteral("10.12.2026"), QStringLiteral("10.12.2028"), QStringLiteral("4,012 мА"),
                                 QStringLiteral("COM3, 1200 бит/с, адрес 3")})
            QVERIFY2(html.contains(s), qPrintable(s));

        const QString pdf = dir.filePath(QStringLiteral("certificate.pdf"));
        QString error;
        QVERIFY2(WriteCertificatePdf(html, pdf, &error), qPrintable(error));
        QVERIFY(QFileInfo(pdf).size() > 2000);
        QVERIFY(!WriteCertificatePdf(html, dir.filePath(QStringLiteral("no/such/folder/c.pdf")), &error));
        QVERIFY2(error.startsWith(QStringLiteral("Не удалось записать файл")), qPrintable(error));

        const QImage page = RenderCertificatePage(html, 0);
        QVERIFY(!page.isNull());
        QVERIFY(page.width() > 700 && page.height() > 1000);
        int dark = 0;
        for (int y = 0; y < page.height(); y += 4)
            for (int x = 0; x < page.width(); x += 4)
                dark += qGray(page.pixel(x, y)) < 128;
        QVERIFY2(dark > 500, "the page is blank");
        if (qEnvironmentVariableIsSet("TARVO_CERTIFICATE_PNG"))
            page.save(qEnvironmentVariable("TARVO_CERTIFICATE_PNG"));
    }

    void nextDueDate_data() {
        QTest::addColumn<QDate>("calibrated");
        QTest::addColumn<int>("months");
        QTest::addColumn<QDate>("due");
        QTest::newRow("a year") << QDate(2026, 12, 10) << 12 << QDate(2027, 12, 10);
        QTest::newRow("end of a leap February") << QDate(2024, 2, 29) << 12 << QDate(2025, 2, 28);
        QTest::newRow("31st into a short month") << QDate(2026, 1, 31) << 1 << QDate(2026, 2, 28);
        QTest::newRow("no date") << QDate() << 12 << QDate();
    }
    void nextDueDate() {
        QFETCH(QDate, calibrated);
        QFETCH(int, months);
        QFETCH(QDate, due);
        QCOMPARE(NextDueDate(calibrated, months), due);
    }
};

QTEST_MAIN(TestServiceRecord)
#include "tst_servicerecord.moc"
