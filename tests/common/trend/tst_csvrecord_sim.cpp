// A recorded run against the simulator: the diagnostic block of a newer transducer is polled by an
// independent master (libmodbus), one poll goes unanswered in the middle, and the file tells it.
#include "CsvRecorder.h"
#include "LibmodbusMaster.h"
#include "SimFixture.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace trend;
using namespace Qt::Literals::StringLiterals;

namespace {

constexpr qint32 kNoValue = 0x0F0F0F0F;

qint32 int32At(const std::uint16_t* r) { return qint32((quint32(r[0]) << 16) | r[1]); }

// One poll as a diagnostics page takes it: function 3, registers 33..44.
struct Poll {
    QList<std::optional<double>> values;
    QString outcome;
};

Poll poll(LibmodbusMaster& m) {
    std::uint16_t regs[12] = {};
    if (modbus_read_registers(m.ctx, 33, 12, regs) != 12)
        return {{}, u"Преобразователь не отвечает на запрос"_s};
    auto scaled = [](qint32 v, double div) {
        return v == kNoValue ? std::optional<double>{} : std::optional<double>{v / div};
    };
    return {{scaled(int32At(regs), 100), scaled(int32At(regs + 2), 1000), scaled(int32At(regs + 4), 1000),
             scaled(int32At(regs + 6), 100)},
            u"ok"_s};
}

} // namespace

class TstCsvRecordSim : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void runWithAFailedPoll();
};

void TstCsvRecordSim::runWithAFailedPoll() {
    SimFixture sim(R"({"buses": [{"rate": 19200, "transducers": [
        {"type": 118, "address": 1, "temp": 85.5, "drift": 0, "scheme": 3, "rline": 1250, "body": 31.25}]}]})");
    QString error;
    QVERIFY2(sim.start(&error), qPrintable(error));
    LibmodbusMaster m(sim.portPath(0), 19200, 1, 1);
    QVERIFY(m.ctx);

    QTemporaryDir dir;
    const QString path = dir.filePath(DefaultRecordFileName(u"ТС-ТП 118"_s, u"12/7"_s, QDateTime::currentDateTime()));
    CsvRecorder rec;
    QVERIFY(rec.start(path, {{u"T"_s, u"°C"_s, 2}, {u"R"_s, u"Ом"_s, 3}, {u"R линии"_s, u"Ом"_s, 3},
                             {u"Т корпуса"_s, u"°C"_s, 2}}));
    for (int i = 0; i < 5; ++i) {
        if (i == 2)
            QCOMPARE(sim.command(u"fault 0:1 silent on"_s), u"ok"_s);
        const Poll p = poll(m);
        if (i == 2)
            QCOMPARE(sim.command(u"fault 0:1 silent off"_s), u"ok"_s);
        if (i == 3)
            QVERIFY(sim.command(u"set 0:1 temp none"_s).startsWith(u"ok"_s));
        QVERIFY(rec.writeRow(QDateTime::currentDateTime(), p.values, p.outcome));
    }
    rec.stop();
    QCOMPARE(rec.rows(), qint64(5));

    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split(u"\r\n"_s, Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 6);
    QCOMPARE(lines[0], u"Время,Секунды,T (°C),R (Ом),R линии (Ом),Т корпуса (°C),Результат"_s);
    static const QRegularExpression row(
        u"^(\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d),(\\d+\\.\\d{3}),([^,]*),([^,]*),([^,]*),([^,]*),(.*)$"_s);
    QStringList outcomes;
    double lastSeconds = -1;
    for (int i = 1; i < lines.size(); ++i) {
        const auto mt = row.match(lines[i]);
        QVERIFY2(mt.hasMatch(), qPrintable(lines[i]));
        const double s = mt.captured(2).toDouble();
        QVERIFY(s > lastSeconds);
        lastSeconds = s;
        outcomes << mt.captured(7);
        if (i == 1 || i == 2) {
            QCOMPARE(mt.captured(3), u"85.50"_s);
            QCOMPARE(mt.captured(5), u"1.250"_s);
            QCOMPARE(mt.captured(6), u"31.25"_s);
            QVERIFY(mt.captured(4).toDouble() > 100.0); // a Pt100 well above 0 °C
        }
        if (i == 3) // the unanswered poll: every value empty
            QCOMPARE(lines[i].section(u',', 2), u",,,,Преобразователь не отвечает на запрос"_s);
        if (i == 5) // answered without a temperature: a gap in that column only
            QVERIFY(mt.captured(3).isEmpty() && !mt.captured(6).isEmpty());
    }
    QCOMPARE(outcomes, (QStringList{u"ok"_s, u"ok"_s, u"Преобразователь не отвечает на запрос"_s, u"ok"_s, u"ok"_s}));
    QVERIFY(QFileInfo(path).fileName().startsWith(u"ТС-ТП 118_12_7_"_s));
}

QTEST_GUILESS_MAIN(TstCsvRecordSim)
#include "tst_csvrecord_sim.moc"
