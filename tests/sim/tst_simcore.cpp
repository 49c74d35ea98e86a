// The simulator's transducers without a port: request bytes in, reply bytes out.
#include "SimCore.h"
#include "SimModel.h"

#include <QFile>
#include <QTest>

using namespace sim;

namespace {

Bytes Hex(const char* text) {
    Bytes out;
    for (const QByteArray& w : QByteArray(text).split(' '))
        if (!w.isEmpty())
            out.push_back(std::uint8_t(w.toUInt(nullptr, 16)));
    return out;
}

Bytes Framed(Bytes body) {
    AppendCrc(body);
    return body;
}

QByteArray Show(const Bytes& b) {
    QByteArray out;
    for (auto c : b)
        out += QByteArray::number(c, 16).rightJustified(2, '0').toUpper() + ' ';
    return out.trimmed();
}

// The reply without its CRC, after checking the CRC; empty when there is no reply.
Bytes Ask(Device& t, const Bytes& body, double now = 0) {
    const auto r = t.handle(Framed(body), now);
    if (!r)
        return {};
    if (!FrameCrcOk(r->bytes))
        return Hex("BAD CRC"); // shows up in any comparison
    return Bytes(r->bytes.begin(), r->bytes.end() - 2);
}

Bytes Step(std::uint8_t addr, std::uint8_t fn, std::uint8_t step, std::int32_t value) {
    const auto u = std::uint32_t(value);
    return Bytes{addr,           fn, step, std::uint8_t(u >> 24), std::uint8_t(u >> 16), std::uint8_t(u >> 8),
                 std::uint8_t(u)};
}

std::unique_ptr<NewerTransducer> Newer(int type, double temp = 0) {
    auto t = std::make_unique<NewerTransducer>(type);
    t->address = 1;
    t->setTemperature = temp;
    return t;
}

std::unique_ptr<ForeignDevice> Foreign() {
    auto d = std::make_unique<ForeignDevice>();
    d->address = 7;
    d->values = {{0, 230}, {199, 0xBEEF}};
    return d;
}

// "PM-210 power meter" in single-byte text.
const char* const MeterId = "50 4D 2D 32 31 30 20 70 6F 77 65 72 20 6D 65 74 65 72";

std::unique_ptr<OlderTransducer> Older(int type, double temp = 25) {
    auto t = std::make_unique<OlderTransducer>(type);
    t->address = 3;
    t->setTemperature = temp;
    return t;
}

} // namespace

class TestSimCore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void crcMatchesTheProtocolExamples() {
        const char digits[] = "123456789";
        QCOMPARE(Crc16(reinterpret_cast<const std::uint8_t*>(digits), 9), 0x4B37);
        QCOMPARE(Show(Framed(Hex("01 03 00 31 00 0A"))), QByteArray("01 03 00 31 00 0A 94 02"));
        QCOMPARE(Show(Framed(Hex("01 11"))), QByteArray("01 11 C0 2C"));
    }

    void newerIdentification() {
        auto t = Newer(118);
        t->set(QStringLiteral("name"), QStringLiteral("ТС-ТП"));
        t->set(QStringLiteral("sensorname"), QStringLiteral("AB"));
        t->sensorNumber = 0x01020304;
        const Bytes r = Ask(*t, Hex("01 11"));
        QCOMPARE(int(r.size()), 69); // 71 with the CRC
        QCOMPARE(Show(Bytes(r.begin(), r.begin() + 5)), QByteArray("01 11 42 76 00"));
        // Windows-1251: Т = D2, С = D1, П = CF
        QCOMPARE(Show(Bytes(r.begin() + 5, r.begin() + 11)), QByteArray("D2 D1 2D D2 CF 00"));
        QCOMPARE(Show(Bytes(r.begin() + 37, r.begin() + 40)), QByteArray("41 42 00"));
        QCOMPARE(Show(Bytes(r.end() - 4, r.end())), QByteArray("01 02 03 04"));
    }

    void olderIdentification() {
        auto t = Older(78);
        t->set(QStringLiteral("typetext"), QStringLiteral("ТС"));
        t->set(QStringLiteral("sensortext"), QStringLiteral("Pt"));
        t->sensorNumber = 7;
        t->set(QStringLiteral("sensordate"), QStringLiteral("05.03.2020"));
        const Bytes r = Ask(*t, Hex("03 11"));
        QCOMPARE(int(r.size()), 53); // 55 with the CRC
        QCOMPARE(Show(Bytes(r.begin(), r.begin() + 7)), QByteArray("03 11 32 4E 00 D2 D1"));
        QCOMPARE(r[21], std::uint8_t('P'));
        QCOMPARE(Show(Bytes(r.begin() + 45, r.end())), QByteArray("00 00 00 07 05 03 07 E4"));
    }

    // A device of another kind: its own function 17 layout, holding registers 0..199, exception 1 for every
    // function a transducer has and it has not.
    void foreignDevice_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("identify") << QByteArray("07 11")
                                  << QByteArray("07 11 14 2A FF ") + MeterId; // 20 data bytes
        QTest::newRow("identify, long frame") << QByteArray("07 11 00") << QByteArray("07 91 03");
        QTest::newRow("read 0..1") << QByteArray("07 03 00 00 00 02") << QByteArray("07 03 04 00 E6 00 00");
        QTest::newRow("read 49..58")
            << QByteArray("07 03 00 31 00 0A")
            << QByteArray("07 03 14 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
        QTest::newRow("read the last") << QByteArray("07 03 00 C7 00 01") << QByteArray("07 03 02 BE EF");
        QTest::newRow("read past the end") << QByteArray("07 03 00 C7 00 02") << QByteArray("07 83 02");
        QTest::newRow("read count 0") << QByteArray("07 03 00 00 00 00") << QByteArray("07 83 03");
        QTest::newRow("read count 126") << QByteArray("07 03 00 00 00 7E") << QByteArray("07 83 03");
        QTest::newRow("write one") << QByteArray("07 06 00 33 12 34") << QByteArray("07 06 00 33 12 34");
        QTest::newRow("write one outside") << QByteArray("07 06 00 C8 00 01") << QByteArray("07 86 02");
        QTest::newRow("write two")
            << QByteArray("07 10 00 33 00 02 04 00 01 00 02") << QByteArray("07 10 00 33 00 02");
        QTest::newRow("write, byte count wrong")
            << QByteArray("07 10 00 33 00 02 02 00 01") << QByteArray("07 90 03");
        QTest::newRow("write outside")
            << QByteArray("07 10 00 C7 00 02 04 00 01 00 02") << QByteArray("07 90 02");
        QTest::newRow("input registers") << QByteArray("07 04 00 00 00 01") << QByteArray("07 84 01");
        QTest::newRow("exception status") << QByteArray("07 07") << QByteArray("07 87 01");
        QTest::newRow("calibration (newer)") << QByteArray("07 64 05 05 03 07 E4") << QByteArray("07 E4 01");
        QTest::newRow("zero (newer)") << QByteArray("07 65 01") << QByteArray("07 E5 01");
        QTest::newRow("NSX (newer)") << QByteArray("07 66 01 00 00 00 00") << QByteArray("07 E6 01");
        QTest::newRow("calibration (older)") << QByteArray("07 4D 00 00 00 00 00") << QByteArray("07 CD 01");
        QTest::newRow("zero (older)") << QByteArray("07 4E 01") << QByteArray("07 CE 01");
        QTest::newRow("NSX (older)") << QByteArray("07 4F 01 00 00") << QByteArray("07 CF 01");
    }
    void foreignDevice() {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reply);
        auto d = Foreign();
        QCOMPARE(Show(Ask(*d, Hex(request.constData()))), reply);
    }

    void foreignDeviceKeepsWhatIsWritten() {
        auto d = Foreign();
        QCOMPARE(Show(Ask(*d, Hex("07 10 00 31 00 03 06 00 01 00 04 FF CE"))), QByteArray("07 10 00 31 00 03"));
        QCOMPARE(Show(Ask(*d, Hex("07 06 00 00 00 E7"))), QByteArray("07 06 00 00 00 E7"));
        QCOMPARE(d->get(QStringLiteral("registers"), 0), QStringLiteral("0=231 49=1 50=4 51=65486 199=48879"));
        QCOMPARE(d->set(QStringLiteral("reg"), QStringLiteral("198 0x10 -1")), QString());
        QCOMPARE(d->readRegisters(197, 3, 0), (std::vector<std::uint16_t>{0, 0x10, 0xFFFF}));
        QVERIFY(d->set(QStringLiteral("reg"), QStringLiteral("199 1 2")).contains(QLatin1String("outside 0..199")));
        QVERIFY(!d->readRegisters(199, 2, 0));

        // Another range, identity and run indicator; a device without function 17.
        QCOMPARE(d->set(QStringLiteral("first"), QStringLiteral("1000")), QString());
        QCOMPARE(d->set(QStringLiteral("count"), QStringLiteral("10")), QString());
        QCOMPARE(Show(Ask(*d, Hex("07 03 00 00 00 01"))), QByteArray("07 83 02"));
        QCOMPARE(Show(Ask(*d, Hex("07 03 03 E9 00 01"))), QByteArray("07 03 02 00 00"));
        QCOMPARE(d->set(QStringLiteral("id"), QStringLiteral("Щ1")), QString());
        QCOMPARE(d->set(QStringLiteral("slaveid"), QStringLiteral("118")), QString());
        QCOMPARE(d->set(QStringLiteral("run"), QStringLiteral("off")), QString());
        QCOMPARE(Show(Ask(*d, Hex("07 11"))), QByteArray("07 11 04 76 00 D9 31"));
        QVERIFY(d->set(QStringLiteral("id"), QString(250, QLatin1Char('x'))).contains(QLatin1String("at most 249")));
        QCOMPARE(d->set(QStringLiteral("reportid"), QStringLiteral("0")), QString());
        QCOMPARE(Show(Ask(*d, Hex("07 11"))), QByteArray("07 91 01"));
        QVERIFY(d->set(QStringLiteral("kind"), QStringLiteral("118")).contains(QLatin1String("read only")));

        // The faults of the line hold for it as for a transducer.
        d->faults.silent = true;
        QVERIFY(!d->handle(Framed(Hex("07 03 03 E8 00 01")), 0));
    }

    void newerDiagnosticBlock() {
        auto t = Newer(118, 25.12);
        t->sensorType = 1;
        t->connScheme = 3;
        t->lineResistance = 1500;
        t->bodyTemperature = -1.5;
        t->selfDiag = 3;
        t->calNumber = 258;
        t->calDate = Date{5, 3, 2019};
        t->rawOverride = 109800;
        Bytes r = Ask(*t, Hex("01 03 00 21 00 0C"));
        QCOMPARE(
            Show(r),
            QByteArray("01 03 18 00 00 09 D0 00 01 AC E8 00 00 05 DC FF FF FF 6A 00 03 01 02 05 03 07 E3"));
        t->temperatureNone = true;
        t->connScheme = 4; // no line resistance for a four-wire sensor
        t->calDate = Date{};
        r = Ask(*t, Hex("01 03 00 21 00 0C"));
        QCOMPARE(Show(Bytes(r.begin() + 3, r.begin() + 7)), QByteArray("0F 0F 0F 0F"));
        QCOMPARE(Show(Bytes(r.begin() + 11, r.begin() + 15)), QByteArray("0F 0F 0F 0F"));
        QCOMPARE(Show(Bytes(r.end() - 4, r.end())), QByteArray("FF FF FF FF"));
    }

    void newerRawValueFollowsTheSensorKind() {
        auto t = Newer(118, 100);
        t->sensorType = 1; // Pt100, 0.00391: 139.1 ohm
        QCOMPARE(t->rawValue(0), 139100);
        t->sensorType = 7; // thermocouple: microvolt
        QCOMPARE(t->rawValue(0), 4100);
    }

    void exceptions_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("unknown function") << QByteArray("01 05 00 01") << QByteArray("01 85 01");
        QTest::newRow("registers 45..48") << QByteArray("01 03 00 2D 00 02") << QByteArray("01 83 02");
        QTest::newRow("read across two blocks") << QByteArray("01 03 00 1F 00 04") << QByteArray("01 83 02");
        QTest::newRow("write diagnostics")
            << QByteArray("01 10 00 21 00 01 02 00 00") << QByteArray("01 90 02");
        QTest::newRow("count 0") << QByteArray("01 03 00 31 00 00") << QByteArray("01 83 03");
        QTest::newRow("byte count wrong")
            << QByteArray("01 10 00 31 00 01 04 00 01") << QByteArray("01 90 03");
        QTest::newRow("sensor type 12") << QByteArray("01 10 00 31 00 01 02 00 0C") << QByteArray("01 90 03");
        QTest::newRow("low limit -201") << QByteArray("01 10 00 33 00 01 02 FF 37") << QByteArray("01 90 03");
        QTest::newRow("low limit -200")
            << QByteArray("01 10 00 33 00 01 02 FF 38") << QByteArray("01 10 00 33 00 01");
        QTest::newRow("high limit 601") << QByteArray("01 10 00 34 00 01 02 02 59") << QByteArray("01 90 03");
        QTest::newRow("scheme 2") << QByteArray("01 10 00 32 00 01 02 00 02") << QByteArray("01 90 03");
        QTest::newRow("averaging 31") << QByteArray("01 10 00 37 00 01 02 00 1F") << QByteArray("01 90 03");
        QTest::newRow("address 248") << QByteArray("01 10 00 38 00 01 02 00 F8") << QByteArray("01 90 03");
        QTest::newRow("baud code 8") << QByteArray("01 10 00 39 00 01 02 00 08") << QByteArray("01 90 03");
        QTest::newRow("alarm 6") << QByteArray("01 10 00 36 00 01 02 00 06") << QByteArray("01 90 03");
        QTest::newRow("output range 4") << QByteArray("01 10 00 3A 00 01 02 00 04") << QByteArray("01 90 03");
        QTest::newRow("calibration step 6") << QByteArray("01 64 06 00 00 00 00") << QByteArray("01 E4 03");
    }
    void exceptions() {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reply);
        auto t = Newer(118, 50);
        QCOMPARE(Show(Ask(*t, Hex(request.constData()))), reply);
    }

    void typeLimitsOfTheConfiguration_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<bool>("accepted");
        // 113: no rate choice, no output-range choice
        QTest::newRow("113 baud 19200") << 113 << QByteArray("01 10 00 39 00 01 02 00 05") << false;
        QTest::newRow("113 baud 9600") << 113 << QByteArray("01 10 00 39 00 01 02 00 04") << true;
        QTest::newRow("113 range 0-5") << 113 << QByteArray("01 10 00 3A 00 01 02 00 02") << false;
        QTest::newRow("113 alarm 5.5") << 113 << QByteArray("01 10 00 36 00 01 02 00 05") << false;
        QTest::newRow("117 alarm 5.5") << 117 << QByteArray("01 10 00 36 00 01 02 00 05") << true;
        QTest::newRow("115 baud 57600") << 115 << QByteArray("01 10 00 39 00 01 02 00 07") << true;
    }
    void typeLimitsOfTheConfiguration() {
        QFETCH(int, type);
        QFETCH(QByteArray, request);
        QFETCH(bool, accepted);
        auto t = Newer(type);
        const Bytes r = Ask(*t, Hex(request.constData()));
        QCOMPARE(r[1] == 0x10, accepted);
    }

    void sensorDataRoundTrip() {
        auto t = Newer(115);
        Bytes w = Hex("01 10 00 11 00 10 20");
        const QByteArray name = ToWire(QStringLiteral("Датчик"), 28);
        w.insert(w.end(), name.begin(), name.end());
        for (auto b : Hex("FF FF FF FE"))
            w.push_back(b);
        QCOMPARE(Show(Ask(*t, w)), QByteArray("01 10 00 11 00 10"));
        QCOMPARE(t->get(QStringLiteral("sensorname"), 0), QStringLiteral("Датчик"));
        QCOMPARE(t->sensorNumber, 0xFFFFFFFEu);
        const Bytes r = Ask(*t, Hex("01 03 00 11 00 10"));
        QCOMPARE(Show(Bytes(r.begin(), r.begin() + 4)), QByteArray("01 03 20 C4"));
        QCOMPARE(Show(Bytes(r.end() - 4, r.end())), QByteArray("FF FF FF FE"));
    }

    void newAddressAndRateAfterTheReply() {
        auto t = Newer(118);
        t->rate = 19200;
        const Bytes block = Ask(*t, Hex("01 03 00 31 00 0A"));
        QCOMPARE(Show(Bytes(block.begin() + 17, block.begin() + 21)), QByteArray("00 01 00 05"));
        Bytes w = Hex("01 10 00 31 00 0A 14");
        w.insert(w.end(), block.begin() + 3, block.end());
        w[7 + 15] = 9; // address 9
        w[7 + 17] = 6; // 38400
        const auto r = t->handle(Framed(w), 0);
        QVERIFY(r);
        QCOMPARE(r->bytes[0], std::uint8_t(1)); // reply from the old address ...
        QCOMPARE(r->rate, 19200);               // ... at the old rate
        QCOMPARE(t->address, 9);
        QCOMPARE(t->rate, 38400);
        QCOMPARE(Show(Ask(*t, Hex("09 03 00 38 00 02"))), QByteArray("09 03 04 00 09 00 06"));
    }

    void olderConfiguration() {
        auto t = Older(77);
        QCOMPARE(Show(Ask(*t, Hex("03 03 00 18 00 08"))),
                 QByteArray("03 03 10 00 01 00 01 FF CE 00 96 00 00 00 01 00 00 00 03"));
        // kind 3 (copper) with -100..200, averaging 30 s (code 178), new address 4
        const Bytes w = Hex("03 10 00 18 00 08 10 00 03 00 02 FF 9C 00 C8 00 01 00 02 00 B2 00 04");
        QCOMPARE(Show(Ask(*t, w)), QByteArray("03 10 00 18 00 08"));
        QCOMPARE(t->address, 4);
        QCOMPARE(t->averageCode, 178);
        QCOMPARE(Show(Ask(*t, Hex("04 03 00 1A 00 02"))), QByteArray("04 03 04 FF 9C 00 C8"));
    }

    void olderConfigurationRefused_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::newRow("averaging code 5") << QByteArray("03 10 00 1E 00 01 02 00 05");
        QTest::newRow("averaging code 184") << QByteArray("03 10 00 1E 00 01 02 00 B8");
        QTest::newRow("kind 4") << QByteArray("03 10 00 18 00 01 02 00 04");
        QTest::newRow("resistance code 0") << QByteArray("03 10 00 19 00 01 02 00 00");
        QTest::newRow("upper bound 601") << QByteArray("03 10 00 1B 00 01 02 02 59");
        QTest::newRow("alarm 5") << QByteArray("03 10 00 1D 00 01 02 00 05");
        QTest::newRow("address 0") << QByteArray("03 10 00 1F 00 01 02 00 00");
    }
    void olderConfigurationRefused() {
        QFETCH(QByteArray, request);
        auto t = Older(77);
        QCOMPARE(Show(Ask(*t, Hex(request.constData()))), QByteArray("03 90 03"));
    }

    void olderInformationAndMeasurement() {
        auto t = Older(77, -20);
        t->set(QStringLiteral("caldate"), QStringLiteral("31.12.2021"));
        Bytes w = Hex("03 10 00 08 00 10 20");
        const QByteArray text = ToWire(QStringLiteral("ТСМ"), 24);
        w.insert(w.end(), text.begin(), text.end());
        for (auto b : Hex("80 00 00 01 0A 0B 07 E5"))
            w.push_back(b);
        QCOMPARE(Show(Ask(*t, w)), QByteArray("03 10 00 08 00 10"));
        QCOMPARE(t->sensorNumber, 0x80000001u);
        QCOMPARE(t->get(QStringLiteral("sensordate"), 0), QStringLiteral("10.11.2021"));
        QCOMPARE(Show(Ask(*t, Hex("03 03 00 08 00 10"))), QByteArray("03 83 02")); // no way to read it back
        t->resistanceOverride = 0x8000;
        t->selfDiag = 3;
        QCOMPARE(Show(Ask(*t, Hex("03 03 00 20 00 05"))),
                 QByteArray("03 03 0A FF 38 80 00 00 03 1F 0C 07 E5"));
    }

    void newerCalibration_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("adcFault");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("step 1") << 118 << 1 << 0 << false << QByteArray("01 64 01");
        QTest::newRow("step 1 ADC out") << 118 << 1 << 0 << true << QByteArray("01 E4 0A");
        QTest::newRow("step 2 ADC out") << 115 << 2 << 0 << true << QByteArray("01 E4 0A");
        QTest::newRow("117 step 3 200") << 117 << 3 << 200 << false << QByteArray("01 64 03");
        QTest::newRow("117 step 3 201") << 117 << 3 << 201 << false << QByteArray("01 E4 0B");
        QTest::newRow("117 step 3 -1") << 117 << 3 << -1 << false << QByteArray("01 E4 0B");
        QTest::newRow("113 step 3 3800") << 113 << 3 << 3800 << false << QByteArray("01 64 03");
        QTest::newRow("113 step 3 3799") << 113 << 3 << 3799 << false << QByteArray("01 E4 0B");
        QTest::newRow("113 step 4 21001") << 113 << 4 << 21001 << false << QByteArray("01 E4 0B");
        QTest::newRow("118 step 4 19000") << 118 << 4 << 19000 << false << QByteArray("01 64 04");
        QTest::newRow("115 step 3: no current output") << 115 << 3 << 4000 << false << QByteArray("01 E4 03");
        QTest::newRow("step 5 on 31 Feb") << 118 << 5 << 0x1F0207E4 << false << QByteArray("01 E4 0B");
        QTest::newRow("step 9") << 118 << 9 << 0 << false << QByteArray("01 64 09");
    }
    void newerCalibration() {
        QFETCH(int, type);
        QFETCH(int, step);
        QFETCH(int, value);
        QFETCH(bool, adcFault);
        QFETCH(QByteArray, reply);
        auto t = Newer(type);
        t->faults.adcOutOfRange = adcFault;
        QCOMPARE(Show(Ask(*t, Step(1, 100, std::uint8_t(step), value))), reply);
    }

    void calibrationDateBumpsTheNumber() {
        auto t = Newer(118);
        t->calNumber = 7;
        QCOMPARE(Show(Ask(*t, Step(1, 100, 5, 0x050307E4))), QByteArray("01 64 05"));
        QCOMPARE(t->calDate.toString(), QStringLiteral("05.03.2020"));
        QCOMPARE(t->calNumber, 8);
    }

    void newerZeroCorrection() {
        auto t = Newer(118, 20.01);
        QCOMPARE(Show(Ask(*t, Hex("01 65 01"))), QByteArray("01 E5 0C")); // beyond 20 °C
        t->set(QStringLiteral("temp"), QStringLiteral("-20"));
        QCOMPARE(Show(Ask(*t, Hex("01 65 01"))), QByteArray("01 65 01"));
        QCOMPARE(t->measuredTemperature(0).value(), 0);
        QCOMPARE(Show(Ask(*t, Hex("01 65 01"))), QByteArray("01 E5 0D")); // already done
        QCOMPARE(Show(Ask(*t, Hex("01 65 00"))), QByteArray("01 65 00"));
        QCOMPARE(t->measuredTemperature(0).value(), -2000);
        t->temperatureNone = true;
        QCOMPARE(Show(Ask(*t, Hex("01 65 01"))), QByteArray("01 E5 0C"));
    }

    void newerNsxCorrection_data() {
        QTest::addColumn<int>("sensorType");
        QTest::addColumn<double>("temp");
        QTest::addColumn<int>("real"); // hundredths of °C
        QTest::addColumn<QByteArray>("start");
        QTest::addColumn<QByteArray>("apply");
        QTest::newRow("Pt at 20.00: band") << 1 << 20.0 << 0 << QByteArray("01 E6 0F") << QByteArray();
        QTest::newRow("Pt at 20.01") << 1 << 20.01 << 2100 << QByteArray("01 66 01")
                                     << QByteArray("01 66 02");
        QTest::newRow("K at 90: band") << 7 << 90.0 << 0 << QByteArray("01 E6 0F") << QByteArray();
        QTest::newRow("K at -55.01") << 7 << -55.01 << -5600 << QByteArray("01 66 01")
                                     << QByteArray("01 66 02");
        QTest::newRow("B at 630: band") << 11 << 630.0 << 0 << QByteArray("01 E6 0F") << QByteArray();
        QTest::newRow("10 % off") << 1 << 100.0 << 11000 << QByteArray("01 66 01") << QByteArray("01 66 02");
        QTest::newRow("beyond 10 %") << 1 << 100.0 << 11001 << QByteArray("01 66 01")
                                     << QByteArray("01 E6 10");
    }
    void newerNsxCorrection() {
        QFETCH(int, sensorType);
        QFETCH(double, temp);
        QFETCH(int, real);
        QFETCH(QByteArray, start);
        QFETCH(QByteArray, apply);
        auto t = Newer(118, temp);
        t->sensorType = sensorType;
        QCOMPARE(Show(Ask(*t, Step(1, 102, 1, 0))), start);
        if (apply.isEmpty())
            return;
        QCOMPARE(Show(Ask(*t, Step(1, 102, 2, real))), apply);
        if (apply == "01 66 02") {
            QCOMPARE(t->measuredTemperature(0).value(), real);
            QCOMPARE(Show(Ask(*t, Step(1, 102, 1, 0))), QByteArray("01 E6 0E")); // already done
            QCOMPARE(Show(Ask(*t, Step(1, 102, 1, 1))), QByteArray("01 66 01")); // reset
            QCOMPARE(t->measuredTemperature(0).value(), int(std::lround(temp * 100)));
            QVERIFY(!t->nsxDone);
        }
    }

    void olderCalibration_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<bool>("adcFault");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("abandon") << 77 << QByteArray("03 4D 00 00 00 00 00") << false
                                 << QByteArray("03 4D 00");
        QTest::newRow("step 3") << 77 << QByteArray("03 4D 03 00 00 00 00") << false
                                << QByteArray("03 4D 03");
        QTest::newRow("step 4 ADC out")
            << 77 << QByteArray("03 4D 04 00 00 00 00") << true << QByteArray("03 CD 0A");
        QTest::newRow("77 step 5 4.012 mA")
            << 77 << QByteArray("03 4D 05 00 00 0F AC") << false << QByteArray("03 4D 05");
        QTest::newRow("77 step 5 3.599 mA")
            << 77 << QByteArray("03 4D 05 00 00 0E 0F") << false << QByteArray("03 CD 0B");
        QTest::newRow("77 step 5 -1")
            << 77 << QByteArray("03 4D 05 00 00 FF FF") << false << QByteArray("03 CD 0B");
        QTest::newRow("77 step 6 20.800 mA")
            << 77 << QByteArray("03 4D 06 00 00 51 40") << false << QByteArray("03 4D 06");
        QTest::newRow("78 step 5 0.170 mA")
            << 78 << QByteArray("03 4D 05 00 00 00 AA") << false << QByteArray("03 4D 05");
        QTest::newRow("78 step 5 0.171 mA")
            << 78 << QByteArray("03 4D 05 00 00 00 AB") << false << QByteArray("03 CD 0B");
        QTest::newRow("78 step 6 5.201 mA")
            << 78 << QByteArray("03 4D 06 00 00 14 51") << false << QByteArray("03 CD 0B");
        QTest::newRow("step 7 on 31 Feb")
            << 77 << QByteArray("03 4D 07 1F 02 07 E4") << false << QByteArray("03 CD 0B");
        QTest::newRow("step 7") << 77 << QByteArray("03 4D 07 05 03 07 E4") << false
                                << QByteArray("03 4D 07");
    }
    void olderCalibration() {
        QFETCH(int, type);
        QFETCH(QByteArray, request);
        QFETCH(bool, adcFault);
        QFETCH(QByteArray, reply);
        auto t = Older(type);
        t->faults.adcOutOfRange = adcFault;
        QCOMPARE(Show(Ask(*t, Hex(request.constData()))), reply);
        if (reply == "03 4D 07")
            QCOMPARE(t->calDate.toString(), QStringLiteral("05.03.2020"));
    }

    void olderCorrections() {
        auto t = Older(77, 20.1);
        QCOMPARE(Show(Ask(*t, Hex("03 4E 01"))), QByteArray("03 CE 0C")); // more than 20 °C from 0
        QCOMPARE(Show(Ask(*t, Hex("03 4F 01 00 00"))), QByteArray("03 4F 01"));
        // 5 % of 20.1 °C is 1.005 °C: 21.1 is accepted, 21.2 refused
        QCOMPARE(Show(Ask(*t, Hex("03 4F 02 00 D4"))), QByteArray("03 CF 10"));
        QCOMPARE(Show(Ask(*t, Hex("03 4F 02 00 D3"))), QByteArray("03 4F 02"));
        QCOMPARE(t->measuredTemperature(0).value(), 2110);
        QCOMPARE(Show(Ask(*t, Hex("03 4F 01 00 00"))), QByteArray("03 CF 0E")); // already done
        QCOMPARE(Show(Ask(*t, Hex("03 4F 01 00 01"))), QByteArray("03 4F 01")); // reset
        t->set(QStringLiteral("temp"), QStringLiteral("19.9"));
        QCOMPARE(Show(Ask(*t, Hex("03 4F 01 00 00"))), QByteArray("03 CF 0F")); // within 20 °C of 0
        QCOMPARE(Show(Ask(*t, Hex("03 4E 01"))), QByteArray("03 4E 01"));
        QCOMPARE(Show(Ask(*t, Hex("03 4E 01"))), QByteArray("03 CE 0D"));
        QCOMPARE(Show(Ask(*t, Hex("03 4E 00"))), QByteArray("03 4E 00"));
        QCOMPARE(Show(Ask(*t, Hex("03 4F 01 FF 85"))), QByteArray("03 CF 03")); // no such request
    }

    void faults() {
        auto t = Newer(118);
        t->faults.wrongStep = true;
        QCOMPARE(Show(Ask(*t, Step(1, 100, 4, 20000))), QByteArray("01 64 05"));
        QCOMPARE(Show(Ask(*t, Step(1, 102, 1, 1))), QByteArray("01 66 02"));
        t->faults.clear();
        t->faults.exceptionNext = 6;
        QCOMPARE(Show(Ask(*t, Hex("01 03 00 31 00 0A"))), QByteArray("01 83 06"));
        QCOMPARE(Ask(*t, Hex("01 03 00 31 00 0A")).size(), std::size_t(23)); // only once
        t->faults.otherAddr = 7;
        QCOMPARE(Ask(*t, Hex("01 11"))[0], std::uint8_t(7));
        t->faults.clear();
        t->faults.badCrc = true;
        auto r = t->handle(Framed(Hex("01 11")), 0);
        QVERIFY(r && r->bytes.size() == 71 && !FrameCrcOk(r->bytes));
        t->faults.clear();
        t->faults.truncate = 24;
        r = t->handle(Framed(Hex("01 03 00 31 00 0A")), 0);
        QCOMPARE(int(r->bytes.size()), 24);
        t->faults.clear();
        t->faults.slowPiece = 4;
        t->faults.slowPauseMs = 30;
        r = t->handle(Framed(Hex("01 11")), 0);
        QCOMPARE(r->pieceSize, 4);
        QCOMPARE(r->pauseMs, 30);
        t->faults.clear();
        t->faults.silent = true;
        QVERIFY(!t->handle(Framed(Hex("01 11")), 0));
    }

    void busFileRoundTrip() {
        Model m = DefaultModel();
        NewerTransducer* n = static_cast<NewerTransducer*>(m.buses[0].transducers[0].get());
        n->zeroOffset = -250;
        n->setTemperature = 2.5;
        n->drift = 0;
        n->set(QStringLiteral("sensorname"), QStringLiteral("Имя датчика"));
        n->calDate = Date{};
        m.buses[1].pace = false;
        auto d = Foreign();
        d->set(QStringLiteral("id"), QStringLiteral("Счётчик 1"));
        d->first = 100;
        d->count = 150;
        d->running = false;
        d->latencyMs = 12;
        m.buses[0].foreign.push_back(std::move(d));
        QString error;
        const auto back = LoadModel(SaveModel(m), &error);
        QVERIFY2(back, qPrintable(error));
        QCOMPARE(int(back->buses.size()), 2);
        QCOMPARE(back->buses[1].rate, 1200);
        QVERIFY(back->buses[0].pace);
        QVERIFY(!back->buses[1].pace);
        const Transducer* b = back->buses[0].transducers[0].get();
        QCOMPARE(b->stateLine(0), n->stateLine(0));
        for (std::size_t i = 0; i < 2; ++i)
            QCOMPARE(back->buses[1].transducers[i]->stateLine(0), m.buses[1].transducers[i]->stateLine(0));
        QCOMPARE(int(back->buses[0].foreign.size()), 1);
        QCOMPARE(back->buses[0].foreign[0]->stateLine(0), m.buses[0].foreign[0]->stateLine(0));
        QVERIFY(back->buses[1].foreign.empty());
    }

    // The sample of a line shared with other devices: the default transducers and two foreign devices.
    void mixedLineSample() {
        QFile f(QStringLiteral(TARVO_SIM_BUSES_DIR "/mixed-line.json"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QString error;
        const auto m = LoadModel(f.readAll(), &error);
        QVERIFY2(m, qPrintable(error));
        const auto kinds = [&](int bus) {
            QStringList k;
            for (int a = 1; a <= 247; ++a)
                for (const Device* d : m->buses[std::size_t(bus)].at(a))
                    k << QStringLiteral("%1 %2 %3").arg(a).arg(d->kindName()).arg(d->rate);
            return k;
        };
        QCOMPARE(kinds(0), (QStringList{QStringLiteral("1 118 19200"), QStringLiteral("5 115 19200"),
                                        QStringLiteral("7 foreign 19200")}));
        QCOMPARE(kinds(1), (QStringList{QStringLiteral("3 77 1200"), QStringLiteral("4 78 1200"),
                                        QStringLiteral("9 foreign 1200")}));
        // Its foreign devices hold values where the transducers keep their configurations.
        QVERIFY(m->buses[0].foreign[0]->readRegisters(49, 10, 0)->at(0) != 0);
        QVERIFY(m->buses[1].foreign[0]->readRegisters(0x18, 8, 0)->at(0) != 0);
    }

    void badBusFiles_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("error");
        QTest::newRow("not JSON") << QByteArray("{\"buses\": [") << QStringLiteral("not valid JSON");
        QTest::newRow("no buses") << QByteArray("{}") << QStringLiteral("array \"buses\"");
        QTest::newRow("bad rate") << QByteArray(R"({"buses":[{"rate":1000}]})")
                                  << QStringLiteral("bus 0: rate 1000");
        QTest::newRow("bad type") << QByteArray(R"({"buses":[{"transducers":[{"type":5,"address":1}]}]})")
                                  << QStringLiteral("bus 0, transducer 0: \"type\"");
        QTest::newRow("bad key")
            << QByteArray(R"({"buses":[{"transducers":[{"type":118,"address":1,"colour":2}]}]})")
            << QStringLiteral("unknown key \"colour\"");
        QTest::newRow("bad value")
            << QByteArray(
                   R"({"buses":[{"transducers":[{"type":118,"address":1},{"type":77,"address":2,"kind":9}]}]})")
            << QStringLiteral("bus 0, transducer 1: kind must be");
        QTest::newRow("117 at 19200")
            << QByteArray(R"({"buses":[{"transducers":[{"type":117,"address":1}]}]})")
            << QStringLiteral("rate 19200 is not possible for type 117");
        QTest::newRow("link with slash")
            << QByteArray(R"({"buses":[{"link":"../x"}]})") << QStringLiteral("plain file name");
        QTest::newRow("pace not a bool")
            << QByteArray(R"({"buses":[{"pace":1}]})") << QStringLiteral("\"pace\" must be true or false");
        QTest::newRow("foreign without address")
            << QByteArray(R"({"buses":[{"foreign":[{"id":"x"}]}]})")
            << QStringLiteral("bus 0, foreign device 0: \"address\" must be 1..247");
        QTest::newRow("foreign with a transducer key")
            << QByteArray(R"({"buses":[{"foreign":[{"address":7,"temp":20}]}]})")
            << QStringLiteral("foreign device 0: unknown key \"temp\"");
        QTest::newRow("foreign registers as a list")
            << QByteArray(R"({"buses":[{"foreign":[{"address":7,"registers":[1,2]}]}]})")
            << QStringLiteral("\"registers\" must be an object");
        QTest::newRow("foreign register value")
            << QByteArray(R"({"buses":[{"foreign":[{"address":7,"registers":{"3":70000}}]}]})")
            << QStringLiteral("registers must be REGISTER=VALUE");
        QTest::newRow("foreign range")
            << QByteArray(R"({"buses":[{"foreign":[{"address":7,"first":65500,"count":100}]}]})")
            << QStringLiteral("first must be 0..65436");
    }
    void badBusFiles() {
        QFETCH(QByteArray, json);
        QFETCH(QString, error);
        QString got;
        QVERIFY(!LoadModel(json, &got));
        QVERIFY2(got.contains(error), qPrintable(got));
    }
};

QTEST_APPLESS_MAIN(TestSimCore)
#include "tst_simcore.moc"
