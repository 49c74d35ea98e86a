#include "MessageService.h"
#include "TarvoDevice.h"

#include <QTest>
#include <limits>
#include <vector>

namespace {

QByteArray hex(const char* s) {
    return QByteArray::fromHex(QByteArray(s));
}

std::span<const std::uint8_t> bytes(const QByteArray& a) {
    return {reinterpret_cast<const std::uint8_t*>(a.constData()), static_cast<std::size_t>(a.size())};
}

QByteArray toArray(std::span<const std::uint8_t> s) {
    return QByteArray(reinterpret_cast<const char*>(s.data()), static_cast<qsizetype>(s.size()));
}

QByteArray zeros(int n) {
    return QByteArray(n, '\0');
}

// Records every box and answers OK.
class ScriptedMessages final : public TMessageService {
public:
    struct Box {
        QString text, caption;
        Icon icon;
        int buttons;
    };
    std::vector<Box> boxes;
    int MessageBox(const QString& text, const QString& caption, Icon icon, int buttons) override {
        boxes.push_back({text, caption, icon, buttons});
        return Ok;
    }
};

} // namespace

class TestTarvoDevice : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void newRecord();

    void readHelpers_data();
    void readHelpers();
    void putIntBE_data();
    void putIntBE();
    void putIntBEStaysInsideBuffer();

    void codePage();
    void bytesToStr_data();
    void bytesToStr();
    void sensorNameField_data();
    void sensorNameField();

    void slaveId();
    void slaveIdShortReply();
    void sensorData_data();
    void sensorData();

    void diagData_data();
    void diagData();
    void configDecode_data();
    void configDecode();
    void configEncode_data();
    void configEncode();
    void recordConfigBlock();
    void shortRepliesStayInside();

    void baudCodes_data();
    void baudCodes();
    void typePredicates_data();
    void typePredicates();
    void sensorTypes_data();
    void sensorTypes();
    void selfDiagTexts_data();
    void selfDiagTexts();
    void calibrMessage_data();
    void calibrMessage();
    void calibrationDate();
    void temperatureToHundredths_data();
    void temperatureToHundredths();

    void nsxCheck_data();
    void nsxCheck();
};

void TestTarvoDevice::newRecord() {
    const TTarvoDevice d;
    QCOMPARE(d.Baudrate, CBR_9600);
    QCOMPARE(d.NewBaudrate, CBR_9600);
    QCOMPARE(d.ModbusAddr, TModbusAddress{1});
    QCOMPARE(d.NewAddr, TModbusAddress{1});
    QCOMPARE(d.CalibrStep, 0);
    QVERIFY(d.ComPortName.isEmpty() && d.FixedName.isEmpty() && d.StoredSensorName().isEmpty());
    QCOMPARE(d.TypeId, 0);
    QCOMPARE(d.StoredSensorNumber, 0u);
    QCOMPARE(d.SensorType, 0);
    QCOMPARE(d.ConnScheme, 0);
    QCOMPARE(d.RangeLowLimit, 0);
    QCOMPARE(d.RangeHighLimit, 0);
    QVERIFY(!d.InvertedOut);
    QCOMPARE(d.AlarmSignalValue, 0);
    QCOMPARE(d.AveragingTime, 0);
    QCOMPARE(d.OutSignalRange, 0);
    // never polled: 0 °C, not the no-value temperature
    QVERIFY(d.DiagData == TDiagData{});
    QCOMPARE(d.DiagData.Temperature, 0);
}

void TestTarvoDevice::readHelpers_data() {
    QTest::addColumn<QByteArray>("buf");
    QTest::addColumn<int>("pos");
    QTest::addColumn<int>("int16");
    QTest::addColumn<int>("int32");
    QTest::newRow("-200") << hex("FF38FFFF") << 0 << -200 << -13041665;
    QTest::newRow("1234 at 1") << hex("AA04D20000") << 1 << 1234 << 80871424;
    QTest::newRow("sign bits") << hex("80000000") << 0 << -32768 << std::numeric_limits<std::int32_t>::min();
    QTest::newRow("all ones") << hex("FFFFFFFF") << 0 << -1 << -1;
    QTest::newRow("10000") << hex("00002710") << 0 << 0 << 10000;
    // bytes beyond what arrived read as zero, never from memory after it
    QTest::newRow("short") << hex("0102") << 1 << 0x0200 << 0x02000000;
    QTest::newRow("past end") << hex("0102") << 5 << 0 << 0;
    QTest::newRow("negative pos") << hex("0102") << -1 << 0x0001 << 0x00010200;
}

void TestTarvoDevice::readHelpers() {
    QFETCH(QByteArray, buf);
    QFETCH(int, pos);
    QFETCH(int, int16);
    QFETCH(int, int32);
    QCOMPARE(GetInt16BE(bytes(buf), pos), int16);
    QCOMPARE(GetInt32BE(bytes(buf), pos), int32);
    if (pos >= 0 && pos + 1 < buf.size())
        QCOMPARE(MakeInt16(std::uint8_t(buf[pos]), std::uint8_t(buf[pos + 1])), int16);
}

void TestTarvoDevice::putIntBE_data() {
    QTest::addColumn<qint64>("value");
    QTest::addColumn<int>("size");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("-200 in 2") << qint64(-200) << 2 << hex("FF38");
    QTest::newRow("1234 in 2") << qint64(1234) << 2 << hex("04D2");
    QTest::newRow("-1 in 1") << qint64(-1) << 1 << hex("FF");
    QTest::newRow("-1 in 4") << qint64(-1) << 4 << hex("FFFFFFFF");
    QTest::newRow("year 2020") << qint64(2020) << 2 << hex("07E4");
    QTest::newRow("10000 in 4") << qint64(10000) << 4 << hex("00002710");
    QTest::newRow("max unsigned 32") << qint64(4294967295) << 4 << hex("FFFFFFFF");
    QTest::newRow("min signed 32") << qint64(std::numeric_limits<std::int32_t>::min()) << 4
                                   << hex("80000000");
    QTest::newRow("300 in 1 keeps low byte") << qint64(300) << 1 << hex("2C");
}

void TestTarvoDevice::putIntBE() {
    QFETCH(qint64, value);
    QFETCH(int, size);
    QFETCH(QByteArray, expected);
    std::vector<std::uint8_t> buf(size + 2, 0xAA);
    PutIntBE(value, buf, 1, size);
    QCOMPARE(toArray(buf), QByteArray(1, char(0xAA)) + expected + QByteArray(1, char(0xAA)));
}

void TestTarvoDevice::putIntBEStaysInsideBuffer() {
    std::vector<std::uint8_t> store(6, 0xAA);
    const std::span<std::uint8_t> buf(store.data() + 1, 4);
    PutIntBE(0x01020304, buf, 2, 4); // only the first two of its bytes fit
    PutIntBE(0x0506, buf, -1, 2);    // only the low byte lands at 0
    PutIntBE(-1, buf, 0, 0);         // no size, nothing written
    QCOMPARE(toArray(store), hex("AA06AA0102AA"));
}

void TestTarvoDevice::codePage() {
    // The built-in table that stands in for a Qt without the code page agrees with Qt's converter.
    QByteArray all(256, '\0');
    for (int b = 0; b < 256; ++b)
        all[b] = char(b);
    const QString decoded = DecodeWin1251(all);
    QCOMPARE(decoded.size(), 256);
    for (int b = 0; b < 256; ++b)
        QCOMPARE(decoded.at(b).unicode(), Win1251ToUnicode(std::uint8_t(b)));
    // and every byte comes back unchanged
    QCOMPARE(EncodeWin1251(decoded), all);
    QCOMPARE(DecodeWin1251(hex("C0FFA8B8B9B0")), QStringLiteral("АяЁё№°"));
}

void TestTarvoDevice::bytesToStr_data() {
    QTest::addColumn<QByteArray>("buf");
    QTest::addColumn<int>("pos");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero inside skipped") << hex("41420043") + zeros(24) << 0 << 28 << QStringLiteral("ABC");
    QTest::newRow("cyrillic") << hex("00D2D1CF2DD2CF") << 0 << 7 << QStringLiteral("ТСП-ТП");
    QTest::newRow("all zero") << zeros(28) << 0 << 28 << QString();
    QTest::newRow("window") << hex("4142434445") << 1 << 3 << QStringLiteral("BCD");
    QTest::newRow("beyond the data") << hex("414243") << 1 << 28 << QStringLiteral("BC");
}

void TestTarvoDevice::bytesToStr() {
    QFETCH(QByteArray, buf);
    QFETCH(int, pos);
    QFETCH(int, count);
    QFETCH(QString, text);
    QCOMPARE(BytesToStr(bytes(buf), pos, count), text);
}

void TestTarvoDevice::sensorNameField_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kept");     // what the record keeps
    QTest::addColumn<QByteArray>("field"); // the 28 bytes on the wire
    QTest::newRow("7 chars") << QStringLiteral("ABCDEFG") << QStringLiteral("ABCDEFG")
                             << hex("41424344454647") + zeros(21);
    QTest::newRow("empty") << QString() << QString() << zeros(28);
    QTest::newRow("30 chars cut to 28")
        << QStringLiteral("ТермометрСопротивленияТСП-100") + QStringLiteral("Z")
        << QStringLiteral("ТермометрСопротивленияТСП-10")
        << hex("D2E5F0ECEEECE5F2F0D1EEEFF0EEF2E8E2EBE5EDE8FFD2D1CF2D3130");
    QTest::newRow("cyrillic and signs") << QStringLiteral("Датчик №5 °") << QStringLiteral("Датчик №5 °")
                                        << hex("C4E0F2F7E8EA20B93520B0") + zeros(17);
    QTest::newRow("latin a vs cyrillic a")
        << QStringLiteral("aа") << QStringLiteral("aа") << hex("61E0") + zeros(26);
    QTest::newRow("not in the code page")
        << QStringLiteral("中€😀x") << QStringLiteral("中€😀x") << hex("3F883F78") + zeros(24);
    QTest::newRow("accent, lone surrogate")
        << QStringLiteral("é") + QChar(0xD800) + QStringLiteral("Ё")
        << QStringLiteral("é") + QChar(0xD800) + QStringLiteral("Ё") << hex("3F3FA8") + zeros(25);
    // a pair at the cut is dropped whole rather than leaving half a character
    QTest::newRow("pair at the cut") << QString(27, QLatin1Char('x')) + QStringLiteral("😀")
                                     << QString(27, QLatin1Char('x')) << QByteArray(27, 'x') + zeros(1);
    QTest::newRow("28 exactly") << QString(28, QLatin1Char('y')) << QString(28, QLatin1Char('y'))
                                << QByteArray(28, 'y');
}

void TestTarvoDevice::sensorNameField() {
    QFETCH(QString, name);
    QFETCH(QString, kept);
    QFETCH(QByteArray, field);
    QCOMPARE(field.size(), 28);
    TTarvoDevice d;
    d.SetStoredSensorName(name);
    QCOMPARE(d.StoredSensorName(), kept);
    QCOMPARE(EncodeSensorName(name), field);
    std::vector<std::uint8_t> block(32, 0xAA);
    QVERIFY(d.EncodeSensorData(block));
    QCOMPARE(toArray(block).left(28), field);
}

void TestTarvoDevice::slaveId() {
    QByteArray data = hex("7655");                                // type 118, byte 1 unused
    data += QByteArray("Tarvo-") + hex("D2D12DD2CF") + zeros(21); // fixed name, 32 bytes
    data += hex("D2D1CF00313030") + zeros(21);                    // sensor name, 28 bytes
    data += hex("FFFFFFFE");                                      // sensor number
    QCOMPARE(data.size(), 66);
    TTarvoDevice d;
    QVERIFY(d.DecodeSlaveId(bytes(data)));
    QCOMPARE(d.TypeId, 118);
    QCOMPARE(d.FixedName, QStringLiteral("Tarvo-ТС-ТП"));
    QCOMPARE(d.StoredSensorName(), QStringLiteral("ТСП100"));
    QCOMPARE(d.StoredSensorNumber, 4294967294u);

    // names filling their whole fields
    data.replace(2, 32, QByteArray(32, 'F'));
    data.replace(34, 28, QByteArray(28, 'S'));
    QVERIFY(d.DecodeSlaveId(bytes(data)));
    QCOMPARE(d.FixedName, QString(32, QLatin1Char('F')));
    QCOMPARE(d.StoredSensorName(), QString(28, QLatin1Char('S')));
}

void TestTarvoDevice::slaveIdShortReply() {
    // A reply with fewer data bytes than the layout: what is missing reads as empty, never as stale bytes.
    TTarvoDevice d;
    d.StoredSensorNumber = 77;
    QVERIFY(!d.DecodeSlaveId(bytes(hex("7100") + "Tarvo" + zeros(29) + "AB")));
    QCOMPARE(d.TypeId, 113);
    QCOMPARE(d.FixedName, QStringLiteral("Tarvo"));
    QCOMPARE(d.StoredSensorName(), QStringLiteral("AB"));
    QCOMPARE(d.StoredSensorNumber, 0u);
}

void TestTarvoDevice::sensorData_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("number"); // as the user typed it, a signed 32-bit number
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<quint32>("readBack");
    QTest::newRow("plain") << QStringLiteral("ТСП") << qint64(123456)
                           << hex("D2D1CF") + zeros(25) + hex("0001E240") << 123456u;
    QTest::newRow("negative number") << QStringLiteral("A") << qint64(-1)
                                     << hex("41") + zeros(27) + hex("FFFFFFFF") << 4294967295u;
    QTest::newRow("most negative") << QString() << qint64(std::numeric_limits<std::int32_t>::min())
                                   << zeros(28) + hex("80000000") << 2147483648u;
}

void TestTarvoDevice::sensorData() {
    QFETCH(QString, name);
    QFETCH(qint64, number);
    QFETCH(QByteArray, block);
    QFETCH(quint32, readBack);
    std::vector<std::uint8_t> out(40, 0xAA);
    QVERIFY(EncodeSensorData(name, static_cast<std::uint32_t>(static_cast<std::int32_t>(number)), out));
    QCOMPARE(toArray(out).left(32), block);
    QCOMPARE(toArray(out).mid(32), QByteArray(8, char(0xAA))); // nothing beyond the block
    std::vector<std::uint8_t> tooShort(31, 0);
    QVERIFY(!EncodeSensorData(name, 0, tooShort));

    TTarvoDevice d;
    QVERIFY(d.DecodeSensorData(bytes(block)));
    QCOMPARE(d.StoredSensorName(), name);
    QCOMPARE(d.StoredSensorNumber, readBack);
}

void TestTarvoDevice::diagData_data() {
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<QList<int>>("v"); // T, raw, RLine, body, selfdiag, calibr number, day, month, year
    QTest::newRow("typical") << hex("000009D0 0001D4C0 000003E8 00000A28 0000 0007 0503 07E3")
                             << QList<int>{2512, 120000, 1000, 2600, 0, 7, 5, 3, 2019};
    QTest::newRow("no temperature") << hex("0F0F0F0F 00000000 0F0F0F0F FFFFF830 0003 FFFF FFFFFFFF")
                                    << QList<int>{-100000, 0, -1, -2000, 3, 65535, 0, 0, 0};
    // only temperature and line resistance have a no-value pattern
    QTest::newRow("pattern elsewhere") << hex("FFFFFF9C 0F0F0F0F 00000000 0F0F0F0F FFFF 0000 0000 0000")
                                       << QList<int>{-100, 0x0F0F0F0F, 0, 0x0F0F0F0F, -1, 0, 0, 0, 0};
    // a date is "never" only when all four bytes are FF
    QTest::newRow("date partly FF") << hex("00000000 00000000 00000000 00000000 0007 0001 FFFF07E4")
                                    << QList<int>{0, 0, 0, 0, 7, 1, 255, 255, 2020};
    QTest::newRow("negative EMF") << hex("FFFFEC78 FFFFFC18 00000000 00000000 0006 0102 1F0C0834")
                                  << QList<int>{-5000, -1000, 0, 0, 6, 258, 31, 12, 2100};
}

void TestTarvoDevice::diagData() {
    QFETCH(QByteArray, block);
    QFETCH(QList<int>, v);
    QCOMPARE(block.size(), 24);
    TDiagData d;
    d.CalibrationDate_Day = 9; // overwritten, also by the never-calibrated date
    QVERIFY(DecodeDiagData(bytes(block), d));
    const QList<int> got{
        d.Temperature,         d.RawValue,          d.RLineForTS,          d.TarvoDeviceBodyTemp,
        d.SelfDiagCode,        d.CalibrationNumber, d.CalibrationDate_Day, d.CalibrationDate_Month,
        d.CalibrationDate_Year};
    QCOMPARE(got, v);
    QVERIFY(!DecodeDiagData(bytes(block.left(23)), d));
}

void TestTarvoDevice::configDecode_data() {
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<QList<int>>(
        "v"); // type, scheme, low, high, inverted, alarm, avg, addr, baud code, range
    QTest::addColumn<TBaudRate>("rate");
    QTest::newRow("resistance") << hex("0001 0003 FF38 04D2 0000 0001 0000 00F7 0004 0001")
                                << QList<int>{1, 3, -200, 1234, 0, 1, 0, 247, 4, 1} << CBR_9600;
    QTest::newRow("thermocouple") << hex("0007 0004 FF9C 0546 0001 0005 001E 0001 0007 0002")
                                  << QList<int>{7, 4, -100, 1350, 1, 5, 30, 1, 7, 2} << CBR_57600;
    // byte-sized values come from the low byte; the direction is inverted when either byte is set
    QTest::newRow("high bytes") << hex("0102 0103 0000 0000 0100 0204 0305 0011 0001 0403")
                                << QList<int>{2, 3, 0, 0, 1, 4, 5, 17, 1, 3} << CBR_1200;
    QTest::newRow("baud code 0") << hex("0001 0003 0000 0064 0000 0001 0000 0001 0000 0001")
                                 << QList<int>{1, 3, 0, 100, 0, 1, 0, 1, 0, 1} << CBR_9600;
    QTest::newRow("baud code 8") << hex("0001 0003 0000 0064 0000 0001 0000 0001 0008 0001")
                                 << QList<int>{1, 3, 0, 100, 0, 1, 0, 1, 8, 1} << CBR_9600;
    // the baud register is 16 bits: a set high byte is no code of the list
    QTest::newRow("baud high byte") << hex("0001 0003 0000 0064 0000 0001 0000 0001 0105 0001")
                                    << QList<int>{1, 3, 0, 100, 0, 1, 0, 1, 0x0105, 1} << CBR_9600;
}

void TestTarvoDevice::configDecode() {
    QFETCH(QByteArray, block);
    QFETCH(QList<int>, v);
    QFETCH(TBaudRate, rate);
    TConfigBlock c;
    QVERIFY(DecodeConfigBlock(bytes(block), c));
    const QList<int> got{c.SensorType,  c.ConnScheme,       c.RangeLowLimit, c.RangeHighLimit,
                         c.InvertedOut, c.AlarmSignalValue, c.AveragingTime, c.SlaveAddr,
                         c.BaudCode,    c.OutSignalRange};
    QCOMPARE(got, v);
    QCOMPARE(BaudCodeToRate(c.BaudCode), rate);

    // the record takes everything but the address and the rate
    TTarvoDevice d;
    d.ModbusAddr = 9;
    d.Baudrate = CBR_2400;
    d.ApplyConfig(c);
    const QList<int> rec{d.SensorType,  d.ConnScheme,       d.RangeLowLimit, d.RangeHighLimit,
                         d.InvertedOut, d.AlarmSignalValue, d.AveragingTime, d.OutSignalRange};
    QCOMPARE(rec, (QList<int>{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[9]}));
    QCOMPARE(d.ModbusAddr, TModbusAddress{9});
    QCOMPARE(d.Baudrate, CBR_2400);

    QVERIFY(!DecodeConfigBlock(bytes(block.left(19)), c));
}

void TestTarvoDevice::configEncode_data() {
    QTest::addColumn<QList<int>>(
        "v"); // type, scheme, low, high, inverted, alarm, avg, addr, baud code, range
    QTest::addColumn<QByteArray>("block");
    QTest::newRow("negative low limit") << QList<int>{1, 3, -200, 600, 0, 2, 0, 1, 4, 1}
                                        << hex("0001 0003 FF38 0258 0000 0002 0000 0001 0004 0001");
    QTest::newRow("inverted, new address") << QList<int>{11, 4, 300, 1800, 1, 5, 30, 247, 7, 2}
                                           << hex("000B 0004 012C 0708 0001 0005 001E 00F7 0007 0002");
    QTest::newRow("both limits negative") << QList<int>{5, 3, -100, -75, 0, 4, 1, 17, 1, 3}
                                          << hex("0005 0003 FF9C FFB5 0000 0004 0001 0011 0001 0003");
}

void TestTarvoDevice::configEncode() {
    QFETCH(QList<int>, v);
    QFETCH(QByteArray, block);
    TConfigBlock c;
    c.SensorType = std::uint8_t(v[0]);
    c.ConnScheme = std::uint8_t(v[1]);
    c.RangeLowLimit = v[2];
    c.RangeHighLimit = v[3];
    c.InvertedOut = v[4] != 0;
    c.AlarmSignalValue = std::uint8_t(v[5]);
    c.AveragingTime = std::uint8_t(v[6]);
    c.SlaveAddr = std::uint16_t(v[7]);
    c.BaudCode = std::uint16_t(v[8]);
    c.OutSignalRange = std::uint8_t(v[9]);
    std::vector<std::uint8_t> out(22, 0xAA);
    QVERIFY(EncodeConfigBlock(c, out));
    QCOMPARE(toArray(out), block + hex("AAAA"));
    TConfigBlock back;
    QVERIFY(DecodeConfigBlock(out, back));
    QVERIFY(back == c);
    std::vector<std::uint8_t> tooShort(19, 0);
    QVERIFY(!EncodeConfigBlock(c, tooShort));
}

void TestTarvoDevice::recordConfigBlock() {
    // what the write sends where a setting does not apply: the record's own values
    TTarvoDevice d;
    d.ApplyConfig(TConfigBlock{8, 4, -100, 800, true, 3, 12, 0, 0, 2});
    d.ModbusAddr = 42;
    d.Baudrate = CBR_38400;
    std::vector<std::uint8_t> out(20);
    QVERIFY(EncodeConfigBlock(d.ConfigBlock(), out));
    QCOMPARE(toArray(out), hex("0008 0004 FF9C 0320 0001 0003 000C 002A 0006 0002"));
    d.Baudrate = CBR_115200; // not a rate of the transducer: 9600
    QCOMPARE(d.ConfigBlock().BaudCode, 4);
}

void TestTarvoDevice::shortRepliesStayInside() {
    // Every length a reply may bring: the decoders read only what arrived (the sanitizer builds catch a
    // read past it) and say whether the block was whole; missing bytes count as zero.
    for (int n = 0; n <= 70; ++n) {
        const std::vector<std::uint8_t> data(std::size_t(n), 0xFF);
        TTarvoDevice d;
        TDiagData diag;
        TConfigBlock config;
        QCOMPARE(d.DecodeSlaveId(data), n >= 66);
        if (n <= 62 || n >= 66)
            QCOMPARE(d.StoredSensorNumber, n >= 66 ? 0xFFFFFFFFu : 0u);
        QCOMPARE(d.DecodeSensorData(data), n >= 32);
        QCOMPARE(DecodeDiagData(data, diag), n >= 24);
        QCOMPARE(DecodeConfigBlock(data, config), n >= 20);
        QCOMPARE(config.OutSignalRange, n >= 20 ? 0xFF : 0);
    }
}

void TestTarvoDevice::baudCodes_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<TBaudRate>("rate");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << CBR_9600 << QString();
    QTest::newRow("1") << 1 << CBR_1200 << QStringLiteral("1200");
    QTest::newRow("2") << 2 << CBR_2400 << QStringLiteral("2400");
    QTest::newRow("3") << 3 << CBR_4800 << QStringLiteral("4800");
    QTest::newRow("4") << 4 << CBR_9600 << QStringLiteral("9600");
    QTest::newRow("5") << 5 << CBR_19200 << QStringLiteral("19200");
    QTest::newRow("6") << 6 << CBR_38400 << QStringLiteral("38400");
    QTest::newRow("7") << 7 << CBR_57600 << QStringLiteral("57600");
    QTest::newRow("8") << 8 << CBR_9600 << QString();
    QTest::newRow("-1") << -1 << CBR_9600 << QString();
}

void TestTarvoDevice::baudCodes() {
    QFETCH(int, code);
    QFETCH(TBaudRate, rate);
    QFETCH(QString, text);
    QCOMPARE(BaudCodeToRate(code), rate);
    if (!text.isEmpty()) {
        QCOMPARE(QString::fromUtf16(BaudRateTexts[code - 1]), text);
        QCOMPARE(BaudListRates[code - 1], rate);
        QCOMPARE(BaudRateToCode(rate), code);
    }
    QCOMPARE(BaudRateToCode(CBR_14400), 0);
    QCOMPARE(BaudRateToCode(CBR_56000), 0);
}

void TestTarvoDevice::typePredicates_data() {
    QTest::addColumn<int>("typeId");
    QTest::addColumn<bool>("current");
    QTest::addColumn<bool>("range");
    QTest::addColumn<bool>("baud");
    QTest::newRow("0") << 0 << false << false << false;
    QTest::newRow("112") << 112 << false << false << false;
    QTest::newRow("113") << 113 << true << false << false;
    QTest::newRow("114") << 114 << true << false << false;
    QTest::newRow("115") << 115 << false << false << true;
    QTest::newRow("116") << 116 << false << false << true;
    QTest::newRow("117") << 117 << true << true << false;
    QTest::newRow("118") << 118 << true << true << true;
    QTest::newRow("119") << 119 << false << false << false;
    QTest::newRow("77") << 77 << false << false << false;
}

void TestTarvoDevice::typePredicates() {
    QFETCH(int, typeId);
    QFETCH(bool, current);
    QFETCH(bool, range);
    QFETCH(bool, baud);
    QCOMPARE(HasCurrentOutput(std::uint8_t(typeId)), current);
    QCOMPARE(HasOutputRangeChoice(std::uint8_t(typeId)), range);
    QCOMPARE(HasBaudRateChoice(std::uint8_t(typeId)), baud);
}

void TestTarvoDevice::sensorTypes_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("thermocouple");
    QTest::addColumn<QList<int>>("limits"); // low from, to, high from, to, NSX from, to
    const auto row = [](int t, const QString& n, bool tc, const QList<int>& l) {
        QTest::addRow("%d", t) << t << n << tc << l;
    };
    row(1, QStringLiteral("ТСП, a = 0,00391 100 Ом"), false, {-200, 575, -175, 600, -20, 20});
    row(2, QStringLiteral("ТСП, a = 0,00391 50 Ом"), false, {-200, 575, -175, 600, -20, 20});
    row(3, QStringLiteral("ТСП, a = 0,00385 100 Ом"), false, {-200, 575, -175, 600, -20, 20});
    row(4, QStringLiteral("ТСП, a = 0,00385 50 Ом"), false, {-200, 575, -175, 600, -20, 20});
    row(5, QStringLiteral("ТСМ, a = 0,00428 100 Ом"), false, {-100, 175, -75, 200, -20, 20});
    row(6, QStringLiteral("ТСМ, a = 0,00428 50 Ом"), false, {-100, 175, -75, 200, -20, 20});
    row(7, QStringLiteral("ТХА (K)"), true, {-100, 1270, 0, 1370, -55, 90});
    row(8, QStringLiteral("ТХК (L)"), true, {-100, 700, 0, 800, -55, 90});
    row(9, QStringLiteral("ТЖК (J)"), true, {-100, 1100, 0, 1200, -55, 90});
    row(10, QStringLiteral("ТПП (S)"), true, {0, 1300, 400, 1700, -20, 360});
    row(11, QStringLiteral("ТПР (B)"), true, {300, 1400, 700, 1800, 270, 630});
}

void TestTarvoDevice::sensorTypes() {
    QFETCH(int, type);
    QFETCH(QString, name);
    QFETCH(bool, thermocouple);
    QFETCH(QList<int>, limits);
    QCOMPARE(SensorTypeName(type), name);
    QCOMPARE(IsThermocouple(type), thermocouple);
    QCOMPARE(IsResistanceThermometer(type), !thermocouple);
    std::int32_t a = 0, b = 0, c = 0, d = 0, e = 0, f = 0;
    GetLowLimitRange(type, a, b);
    GetHighLimitRange(type, c, d);
    QVERIFY(GetNsxBand(type, e, f));
    QCOMPARE((QList<int>{a, b, c, d, e, f}), limits);

    // outside the table: no name, no kind, -273 for the lookups, no band
    for (int t : {0, 12, -1}) {
        QVERIFY(SensorTypeName(t).isEmpty());
        QVERIFY(!IsThermocouple(t) && !IsResistanceThermometer(t));
        GetLowLimitRange(t, a, b);
        GetHighLimitRange(t, c, d);
        QCOMPARE((QList<int>{a, b, c, d}), (QList<int>{-273, -273, -273, -273}));
        QVERIFY(!GetNsxBand(t, e, f));
    }
}

void TestTarvoDevice::selfDiagTexts_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("-1") << -1 << QString();
    QTest::newRow("0") << 0 << QStringLiteral("Неисправностей не обнаружено");
    QTest::newRow("1") << 1 << QStringLiteral("Аппаратный сбой МК");
    QTest::newRow("2") << 2 << QStringLiteral("Настройка не производилась или сбой Flash памяти");
    QTest::newRow("3") << 3
                       << QStringLiteral(
                              "1. Обрыв или короткое замыкание датчика температуры\n\r2. Измеренная "
                              "температура за пределами диапазона измерения");
    QTest::newRow("4") << 4 << QStringLiteral("Сопротивление линии подключения ТС больше 25 Ом");
    QTest::newRow("5") << 5 << QStringLiteral("Неисправен датчик температуры \"холодных концов\"");
    QTest::newRow("6") << 6 << QStringLiteral("Обрыв цепи токового выходного сигнала или перегрев ЦАП");
    QTest::newRow("7") << 7 << QString();
}

void TestTarvoDevice::selfDiagTexts() {
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(SelfDiagText(code), text);
    if (code >= 0 && code < 7)
        QCOMPARE(QString::fromUtf16(SelfDiagTexts[code]), text);
}

void TestTarvoDevice::calibrMessage_data() {
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("typeId");
    QTest::addColumn<QString>("text");
    const QString start = QStringLiteral(
        "Для проведения настройки:\r\n\r\n1. Подключите преобразователь в соответствии со схемой проведения "
        "настройки, приведенной в\r\nэксплуатационной документации на преобразователь.\r\n\r\n2. Включите и "
        "прогрейте приборы в соответствии с требованиями эксплуатационной документации на них.\r\n\r\n3. "
        "Дождитесь установления рабочего режима преобразователя и нажмите кнопку [Начать настройку].");
    const QString step3 =
        QStringLiteral("Шаг 3\r\n\r\n\r\nУстановлен выходной ток %1 мкА.\r\nВведите измеренное "
                       "значение тока с точностью до единиц мкА.");
    QTest::newRow("0") << 0 << 118 << start;
    QTest::newRow("1") << 1 << 115
                       << QStringLiteral(
                              "Шаг 1\r\n\r\n\r\nПодключите к преобразователю магазин сопротивлений по "
                              "4-х проводной схеме.\r\nУстановите на магазине сопротивлений 300 Ом.");
    QTest::newRow("2") << 2 << 113
                       << QStringLiteral(
                              "Шаг 2\r\n\r\n\r\nПодключите к преобразователю компаратор напряжений.\r\n"
                              "Установите на компараторе напряжений 70 мВ.");
    QTest::newRow("3/117") << 3 << 117 << step3.arg(100);
    QTest::newRow("3/118") << 3 << 118 << step3.arg(100);
    QTest::newRow("3/113") << 3 << 113 << step3.arg(4000);
    QTest::newRow("3/114") << 3 << 114 << step3.arg(4000);
    QTest::newRow("3/115") << 3 << 115 << QString();
    QTest::newRow("3/116") << 3 << 116 << QString();
    QTest::newRow("4") << 4 << 117
                       << QStringLiteral(
                              "Шаг 4\r\n\r\n\r\nУстановлен выходной ток 20000 мкА.\r\nВведите измеренное "
                              "значение тока с точностью до единиц мкА.");
    QTest::newRow("5") << 5 << 113 << QStringLiteral("Шаг 5\r\nЗапись даты калибровки");
    QTest::newRow("6") << 6 << 113 << QString();
    QTest::newRow("9") << 9 << 113 << QString();
    QTest::newRow("-1") << -1 << 113 << QString();
}

void TestTarvoDevice::calibrMessage() {
    QFETCH(int, step);
    QFETCH(int, typeId);
    QFETCH(QString, text);
    TTarvoDevice d;
    d.TypeId = std::uint8_t(typeId);
    d.CalibrStep = step;
    QCOMPARE(d.GetCalibrMessage(), text);
}

void TestTarvoDevice::calibrationDate() {
    std::vector<std::uint8_t> out(5, 0xAA);
    QVERIFY(EncodeCalibrationDate(QDate(2020, 3, 5), out));
    QCOMPARE(toArray(out), hex("050307E4AA"));
    QVERIFY(!EncodeCalibrationDate(QDate(), out));
    std::vector<std::uint8_t> tooShort(3, 0);
    QVERIFY(!EncodeCalibrationDate(QDate(2020, 3, 5), tooShort));
}

void TestTarvoDevice::temperatureToHundredths_data() {
    QTest::addColumn<double>("degrees");
    QTest::addColumn<int>("hundredths");
    QTest::newRow("99.996") << 99.996 << 10000;
    QTest::newRow("50") << 50.0 << 5000;
    QTest::newRow("-55.01") << -55.01 << -5501;
    QTest::newRow("tie down to even") << 0.125 << 12;
    QTest::newRow("tie up to even") << 0.375 << 38;
    QTest::newRow("negative tie") << -0.125 << -12;
    QTest::newRow("huge") << 1e12 << std::numeric_limits<std::int32_t>::max();
    QTest::newRow("huge negative") << -1e12 << std::numeric_limits<std::int32_t>::min();
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << 0;
}

void TestTarvoDevice::temperatureToHundredths() {
    QFETCH(double, degrees);
    QFETCH(int, hundredths);
    QCOMPARE(TemperatureToHundredths(degrees), hundredths);
}

void TestTarvoDevice::nsxCheck_data() {
    QTest::addColumn<int>("sensorType");
    QTest::addColumn<int>("temp");
    QTest::addColumn<QString>("error"); // empty: accepted without a box
    const QString outside = QStringLiteral("Температура находится вне диапазона допустимых значений!");
    const auto band = [](int lo, int hi) {
        return QStringLiteral("Температура находится в диапазоне недопустимых значений: от %1 °C до %2 °C!")
            .arg(lo)
            .arg(hi);
    };
    QTest::newRow("K 90.00") << 7 << 9000 << band(-55, 90);
    QTest::newRow("K 90.01") << 7 << 9001 << QString();
    QTest::newRow("K -55.00") << 7 << -5500 << band(-55, 90);
    QTest::newRow("K -55.01") << 7 << -5501 << QString();
    QTest::newRow("K never polled") << 7 << 0 << band(-55, 90);
    QTest::newRow("K no value") << 7 << tarvo::NoTemperature << outside;
    QTest::newRow("K -1000.00") << 7 << -100000 << outside;
    QTest::newRow("K -1000.01") << 7 << -100001 << outside;
    QTest::newRow("K -999.99") << 7 << -99999 << QString();
    QTest::newRow("Pt 20.00") << 1 << 2000 << band(-20, 20);
    QTest::newRow("Pt 20.01") << 1 << 2001 << QString();
    QTest::newRow("Pt -20.01") << 3 << -2001 << QString();
    QTest::newRow("Cu -20.00") << 6 << -2000 << band(-20, 20);
    QTest::newRow("S 360.00") << 10 << 36000 << band(-20, 360);
    QTest::newRow("S 360.01") << 10 << 36001 << QString();
    QTest::newRow("B 269.99") << 11 << 26999 << QString();
    QTest::newRow("B 270.00") << 11 << 27000 << band(270, 630);
    QTest::newRow("B 630.01") << 11 << 63001 << QString();
    QTest::newRow("B no value") << 11 << tarvo::NoTemperature << outside;
    QTest::newRow("unknown type 0") << 0 << 0 << QString();
    QTest::newRow("unknown type no value") << 12 << tarvo::NoTemperature << outside;
    QTest::newRow("int32 min") << 7 << std::numeric_limits<std::int32_t>::min() << outside;
    QTest::newRow("int32 max") << 11 << std::numeric_limits<std::int32_t>::max() << QString();
}

void TestTarvoDevice::nsxCheck() {
    QFETCH(int, sensorType);
    QFETCH(int, temp);
    QFETCH(QString, error);
    ScriptedMessages messages;
    TMessageService* previous = SetMessageService(&messages);
    TTarvoDevice d;
    d.SensorType = std::uint8_t(sensorType);
    const bool ok = d.TempCheckForNSXCorrection(temp);
    SetMessageService(previous);

    QCOMPARE(ok, error.isEmpty());
    if (error.isEmpty()) {
        QCOMPARE(messages.boxes.size(), std::size_t(0));
        return;
    }
    QCOMPARE(messages.boxes.size(), std::size_t(1));
    QCOMPARE(messages.boxes[0].text, error);
    QCOMPARE(messages.boxes[0].caption, QStringLiteral("Tarvo-ТС-ТП"));
    QCOMPARE(messages.boxes[0].icon, TMessageService::Icon::Error);
    QCOMPARE(messages.boxes[0].buttons, int(TMessageService::Ok));
}

QTEST_APPLESS_MAIN(TestTarvoDevice)
#include "tst_tarvodevice.moc"
