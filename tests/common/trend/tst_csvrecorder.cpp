// The CSV recorder: header, rows, time format, decimal point under a comma locale, files that cannot be
// written (at the start and in the middle of a run), the suggested file name.
#include "CsvRecorder.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <clocale>
#include <ctime>
#ifdef Q_OS_UNIX
#include "FileSizeLimit.h"
#endif

using namespace trend;
using namespace Qt::Literals::StringLiterals;

namespace {

// The local zone of this process for one test.
class LocalZone {
public:
    explicit LocalZone(const QByteArray& tz) : old_(qgetenv("TZ")), had_(qEnvironmentVariableIsSet("TZ")) {
        qputenv("TZ", tz);
        tzset();
    }
    ~LocalZone() {
        if (had_)
            qputenv("TZ", old_);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    QByteArray old_;
    bool had_;
};

QStringList readLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = f.readAll();
    QStringList lines = QString::fromUtf8(all).split(u"\r\n"_s);
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

const QList<CsvColumn> kColumns{{u"T"_s, u"°C"_s, 2}, {u"R"_s, u"Ом"_s, 3}, {u"R линии"_s, u"Ом"_s, 3},
                                {u"Т корпуса"_s, u"°C"_s, 2}};

} // namespace

class TstCsvRecorder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rowsHeaderAndTime_data();
    void rowsHeaderAndTime();
    void decimalPointUnderCommaLocale();
    void unwritableFile_data();
    void unwritableFile();
    void writeFailsMidRun();
    void defaultFileName_data();
    void defaultFileName();
};

void TstCsvRecorder::rowsHeaderAndTime_data() {
    QTest::addColumn<QByteArray>("tz");
    QTest::addColumn<QString>("firstTime");

    // 2025-03-01 07:15:02.125 UTC in four zones: the offset is that of the zone, at each row's time
    QTest::newRow("Moscow") << "Europe/Moscow"_ba << u"2025-03-01T10:15:02.125+03:00"_s;
    QTest::newRow("UTC") << "UTC"_ba << u"2025-03-01T07:15:02.125+00:00"_s;
    QTest::newRow("Sao Paulo") << "America/Sao_Paulo"_ba << u"2025-03-01T04:15:02.125-03:00"_s;
    QTest::newRow("Kolkata") << "Asia/Kolkata"_ba << u"2025-03-01T12:45:02.125+05:30"_s;
}

void TstCsvRecorder::rowsHeaderAndTime() {
    QFETCH(QByteArray, tz);
    QFETCH(QString, firstTime);
    LocalZone zone(tz);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"run.csv"_s);

    const QDateTime t0 = QDateTime::fromMSecsSinceEpoch(1740813302125, QTimeZone::utc()).toLocalTime();
    CsvRecorder rec;
    QVERIFY(rec.start(path, kColumns));
    QVERIFY(rec.isRecording());
    QVERIFY(rec.writeRow(t0, {25.123, 109.7304, std::nullopt, 24.5}, u"ok"_s));
    QVERIFY(rec.writeRow(t0.addMSecs(2000), {}, u"Преобразователь не отвечает на запрос"_s));
    QVERIFY(rec.writeRow(t0.addMSecs(4001), {-0.004, 99.0, 1.25, -10.0}, {}));
    QVERIFY(rec.writeRow(t0.addSecs(3600), {1e6, 0, 0, 0}, u"ответ с ошибкой, код 2"_s));
    QCOMPARE(rec.rows(), qint64(4));
    rec.stop();
    QVERIFY(!rec.isRecording());

    const QStringList lines = readLines(path);
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines[0], u"Время,Секунды,T (°C),R (Ом),R линии (Ом),Т корпуса (°C),Результат"_s);
    QCOMPARE(lines[1], firstTime + u",0.000,25.12,109.730,,24.50,ok"_s);
    // a failed poll: no values, what failed in the last column
    QCOMPARE(lines[2].section(u',', 1), u"2.000,,,,,Преобразователь не отвечает на запрос"_s);
    QCOMPARE(lines[3].section(u',', 1), u"4.001,0.00,99.000,1.250,-10.00,ok"_s);
    // a text with a comma is quoted
    QCOMPARE(lines[4].section(u',', 1), u"3600.000,1000000.00,0.000,0.000,0.00,\"ответ с ошибкой, код 2\""_s);
    static const QRegularExpression iso(u"^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d,"_s);
    for (int i = 1; i < lines.size(); ++i)
        QVERIFY2(iso.match(lines[i]).hasMatch(), qPrintable(lines[i]));
    // the file is UTF-8 without a byte order mark
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.read(3) != "\xEF\xBB\xBF");
}

void TstCsvRecorder::decimalPointUnderCommaLocale() {
    const QLocale oldDefault;
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    const char* cOld = std::setlocale(LC_ALL, nullptr);
    const std::string keep = cOld ? cOld : "C";
    std::setlocale(LC_ALL, "ru_RU.UTF-8"); // where the system has it; Qt's default locale is set either way
    QCOMPARE(QLocale().decimalPoint(), u","_s);

    QTemporaryDir dir;
    const QString path = dir.filePath(u"ru.csv"_s);
    CsvRecorder rec;
    QVERIFY(rec.start(path, {{u"T"_s, u"°C"_s, 1}, {u"R"_s, u"Ом"_s, 2}, {u"U"_s, u"мкВ"_s, 0}, {u"X"_s, {}, -1}}));
    const QDateTime t0 = QDateTime::currentDateTime();
    QVERIFY(rec.writeRow(t0, {-20.04, 327.68, 12345, 0.1}, {}));
    QVERIFY(rec.writeRow(t0.addMSecs(1500), {1234567.26, -0.006, -7, 1234.5678}, {}));
    rec.stop();
    std::setlocale(LC_ALL, keep.c_str());
    QLocale::setDefault(oldDefault);

    const QStringList lines = readLines(path);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0].section(u',', 2), u"T (°C),R (Ом),U (мкВ),X,Результат"_s);
    QCOMPARE(lines[1].section(u',', 1), u"0.000,-20.0,327.68,12345,0.1,ok"_s);
    QCOMPARE(lines[2].section(u',', 1), u"1.500,1234567.3,-0.01,-7,1234.5678,ok"_s);
}

void TstCsvRecorder::unwritableFile_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("fault");

    QTest::newRow("no such folder") << u"/nonexistent-folder/x/run.csv"_s << int(RecordFault::OpenFailed);
    QTest::newRow("a folder") << u"/tmp"_s << int(RecordFault::OpenFailed);
#ifdef Q_OS_LINUX
    QTest::newRow("disk full") << u"/dev/full"_s << int(RecordFault::DiskFull);
#endif
}

void TstCsvRecorder::unwritableFile() {
    QFETCH(QString, path);
    QFETCH(int, fault);
    CsvRecorder rec;
    QVERIFY(!rec.start(path, kColumns));
    QVERIFY(!rec.isRecording());
    QCOMPARE(int(rec.error().fault), fault);
    QCOMPARE(rec.error().path, path);
    QVERIFY(!rec.writeRow(QDateTime::currentDateTime(), {1.0}, {}));
    const QString text = RecordErrorText(rec.error());
    QVERIFY2(text.contains(QFileInfo(path).fileName()), qPrintable(text));
    QVERIFY(!rec.error().systemText.isEmpty());
    QVERIFY(text.contains(rec.error().systemText));
}

void TstCsvRecorder::writeFailsMidRun() {
#ifndef Q_OS_UNIX
    QSKIP("needs a file size limit");
#else
    QTemporaryDir dir;
    const QString path = dir.filePath(u"stick.csv"_s);
    CsvRecorder rec;
    QVERIFY(rec.start(path, kColumns));
    const QDateTime t0 = QDateTime::currentDateTime();
    QVERIFY(rec.writeRow(t0, {20.0, 107.79, std::nullopt, 22.0}, {}));
    QVERIFY(rec.writeRow(t0.addSecs(2), {20.01, 107.8, std::nullopt, 22.0}, {}));
    const qint64 kept = QFileInfo(path).size();

    bool wrote = true;
    { // the file may grow no more, as a full or vanished stick refuses writes
        FileSizeLimit limit(kept);
        QVERIFY(limit.ok());
        wrote = rec.writeRow(t0.addSecs(4), {20.02, 107.81, std::nullopt, 22.0}, {});
    }

    QVERIFY(!wrote);
    QVERIFY(!rec.isRecording());
    QCOMPARE(rec.rows(), qint64(2));
    QCOMPARE(int(rec.error().fault), int(RecordFault::WriteFailed));
    QVERIFY(!rec.writeRow(t0.addSecs(6), {1.0}, {})); // stays stopped
    const QString text = RecordErrorText(rec.error());
    QVERIFY(text.contains(u"stick.csv"_s));
    QVERIFY(text.contains(u"Измерения продолжаются."_s));
    // what was written before stays, whole
    const QStringList lines = readLines(path);
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines[2].endsWith(u",ok"_s));
#endif
}

void TstCsvRecorder::defaultFileName_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("name");

    QTest::newRow("plain") << u"ТС-ТП 118"_s << u"12345"_s << u"ТС-ТП 118_12345_2025-03-01_10-15-02.csv"_s;
    QTest::newRow("forbidden characters") << u"Tarvo/ТС:77"_s << u"№ 12/3 <a>|b?*\"c\\"_s
                                          << u"Tarvo_ТС_77_№ 12_3 _a__b___c__2025-03-01_10-15-02.csv"_s;
    QTest::newRow("no sensor number") << u"78"_s << u"   "_s << u"78_2025-03-01_10-15-02.csv"_s;
    QTest::newRow("control characters, trailing dots") << u"A\tB\nC"_s << u"7.. "_s
                                                       << u"A_B_C_7_2025-03-01_10-15-02.csv"_s;
    QTest::newRow("nothing known") << QString() << QString() << u"2025-03-01_10-15-02.csv"_s;
}

void TstCsvRecorder::defaultFileName() {
    QFETCH(QString, type);
    QFETCH(QString, number);
    QFETCH(QString, name);
    LocalZone zone("Europe/Moscow");
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(1740813302125, QTimeZone::utc());
    QCOMPARE(DefaultRecordFileName(type, number, at), name);
}

QTEST_GUILESS_MAIN(TstCsvRecorder)
#include "tst_csvrecorder.moc"
