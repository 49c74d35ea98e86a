// The older transducer's record, byte routines, block decoders and request frames.
#include "Tarvo.h"
#include "TarvoBlocks.h"
#include "TarvoBytes.h"
#include "TsReplies.h"

#include <QTest>

using namespace tarvo_ts;

namespace {

std::span<const std::uint8_t> bytes(const QByteArray& a) {
    return {reinterpret_cast<const std::uint8_t*>(a.constData()), std::size_t(a.size())};
}

QByteArray frameOf(const TRequest& r) {
    return QByteArray(reinterpret_cast<const char*>(r.bytes.data()), r.length);
}

QByteArray win1251(const QString& s) {
    return EncodeAnsi(s);
}

} // namespace

class TestTarvoCodec : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void copyGroups();
    void alarmCurrents();

    void writeBE_data();
    void writeBE();
    void readNumbers();
    void routinesStayInsideTheirBuffer();

    void texts_data();
    void texts();
    void textToBytesCodePage();

    void dates_data();
    void dates();

    void averaging_data();
    void averaging();
    void averagingRoundTrip();

    void identification_data();
    void identification();
    void configuration_data();
    void configuration();
    void measurement_data();
    void measurement();

    void requestFrames_data();
    void requestFrames();
    void informationWriteSendsTwentyFourCharacters();
    void acknowledgement();
};

void TestTarvoCodec::copyGroups() {
    TTarvo src;
    src.SlaveID = 7;
    src.PLType = QStringLiteral("type");
    src.PLTypeCode = 77;
    src.SensorType = QStringLiteral("ТСП");
    src.SensorNum = 42;
    src.SensorDate = QDate(2021, 3, 4);
    src.CalibrDate = QDate(2022, 1, 1);
    src.SensorKind = 3;
    src.SensorR0 = 50;
    src.TopTempBound = 150;
    src.BottomTempBound = -50;
    src.Temperature = 1.5;
    src.Resistance = 2.5;
    src.DirectLeadOut = true;
    src.AlarmCur = 4;
    src.Average = 9;
    src.InfoModified = src.ConfModified = true;

    TTarvo info;
    CopyInfoFields(info, src);
    TTarvo expectInfo;
    expectInfo.SensorType = src.SensorType;
    expectInfo.SensorNum = src.SensorNum;
    expectInfo.SensorDate = src.SensorDate;
    QVERIFY(info == expectInfo);

    TTarvo conf;
    CopyConfFields(conf, src);
    TTarvo expectConf;
    expectConf.SlaveID = 7;
    expectConf.SensorKind = 3;
    expectConf.SensorR0 = 50;
    expectConf.TopTempBound = 150;
    expectConf.BottomTempBound = -50;
    expectConf.DirectLeadOut = true;
    expectConf.AlarmCur = 4;
    expectConf.Average = 9;
    QVERIFY(conf == expectConf);
}

void TestTarvoCodec::alarmCurrents() {
    QCOMPARE(AlarmCurrents(77).size(), 4u);
    QCOMPARE(AlarmCurrents(78).size(), 2u);
    QVERIFY(AlarmCurrents(113).empty());
    QCOMPARE(QString::fromUtf16(FindAlarmCurrent(77, 1)->text), QStringLiteral("3,2 мА"));
    QCOMPARE(FindAlarmCurrent(77, 4)->milliamperes, 22.0);
    QCOMPARE(QString::fromUtf16(FindAlarmCurrent(78, 2)->text), QStringLiteral("5,5 мА"));
    QCOMPARE(FindAlarmCurrent(78, 1)->milliamperes, 0.0);
    QVERIFY(!FindAlarmCurrent(78, 3));
    QVERIFY(IsSupportedTypeCode(77) && IsSupportedTypeCode(78) && !IsSupportedTypeCode(79));
}

void TestTarvoCodec::writeBE_data() {
    QTest::addColumn<qint64>("value");
    QTest::addColumn<int>("count");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("-200 in 2") << qint64(-200) << 2 << QByteArray::fromHex("FF38");
    QTest::newRow("-1 in 2") << qint64(-1) << 2 << QByteArray::fromHex("FFFF");
    QTest::newRow("600 in 2") << qint64(600) << 2 << QByteArray::fromHex("0258");
    QTest::newRow("4012 in 2") << qint64(4012) << 2 << QByteArray::fromHex("0FAC");
    QTest::newRow("123456789 in 4") << qint64(123456789) << 4 << QByteArray::fromHex("075BCD15");
    // A negative value is replaced by its 16-bit two's complement and not sign-extended.
    QTest::newRow("-1 in 4") << qint64(-1) << 4 << QByteArray::fromHex("0000FFFF");
    QTest::newRow("2019 in 2") << qint64(2019) << 2 << QByteArray::fromHex("07E3");
    QTest::newRow("0x1234 in 1") << qint64(0x1234) << 1 << QByteArray::fromHex("34");
}

void TestTarvoCodec::writeBE() {
    QFETCH(qint64, value);
    QFETCH(int, count);
    QFETCH(QByteArray, expected);
    TExchangeBuffer buf{};
    WriteBE(buf, value, count, 10);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(buf.data()) + 10, count), expected);
    QCOMPARE(buf[9], 0);
    QCOMPARE(buf[std::size_t(10 + count)], 0);
}

void TestTarvoCodec::readNumbers() {
    const QByteArray b = QByteArray::fromHex("FF38800000000001");
    QCOMPARE(GetInt16BE(bytes(b), 0), std::int16_t(-200));
    QCOMPARE(GetUInt16BE(bytes(b), 2), std::uint16_t(0x8000));
    QCOMPARE(GetInt16BE(bytes(b), 2), std::int16_t(-32768));
    QCOMPARE(GetUInt32BE(bytes(b), 4), 1u);
    QCOMPARE(GetUInt32BE(bytes(b), 2), 0x80000000u);
}

void TestTarvoCodec::routinesStayInsideTheirBuffer() {
    std::array<std::uint8_t, 8> guard{};
    guard.fill(0xAA);
    const std::span<std::uint8_t> inner(guard.data() + 2, 4);
    WriteBE(inner, 0x11223344, 4, 2);
    TextToBytes(QString(200, QLatin1Char('x')), inner, 1);
    PutDate4(inner, 3, QDate(2020, 1, 2));
    QCOMPARE(guard[0], 0xAA);
    QCOMPARE(guard[1], 0xAA);
    QCOMPARE(guard[6], 0xAA);
    QCOMPARE(guard[7], 0xAA);
    // Reads outside give zeros.
    QCOMPARE(GetInt16BE(inner, 3), std::int16_t(inner[3] << 8));
    QCOMPARE(GetUInt32BE(inner, -2), std::uint32_t(inner[0]) << 8 | inner[1]);
    QVERIFY(!GetDate4(inner, 2).has_value());

    // A sensor text far longer than the frame only fills its own field of the information write.
    TTarvo d;
    d.SlaveID = 3;
    d.SensorType = QString(300, QChar(u'Я'));
    d.SensorNum = 1;
    d.SensorDate = QDate(2020, 1, 1);
    const TRequest r = WriteInformationRequest(d);
    QCOMPARE(r.length, 41);
    QVERIFY(std::all_of(r.bytes.begin() + 41, r.bytes.end(), [](std::uint8_t x) { return x == 0; }));
}

void TestTarvoCodec::texts_data() {
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QString>("trimmed");
    QTest::newRow("leading blanks, trailing zeros")
        << QByteArray("   Tarvo-TC\0\0\0\0\0", 16) << QStringLiteral("Tarvo-TC");
    QTest::newRow("zeros between characters stay")
        << QByteArray("\0A\0B\0\0", 6) << QString::fromUtf16(u"A\u0000B", 3);
    QTest::newRow("control characters trimmed") << QByteArray("\t\r\nX \x01", 6) << QStringLiteral("X");
    QTest::newRow("Windows-1251") << QByteArray("\xD2\xD1\xCF-100 \xB9\x31") << QStringLiteral("ТСП-100 №1");
    QTest::newRow("all zeros") << QByteArray(24, '\0') << QString();
}

void TestTarvoCodec::texts() {
    QFETCH(QByteArray, raw);
    QFETCH(QString, trimmed);
    const QString text = BytesToText(bytes(raw), 0, int(raw.size()));
    QCOMPARE(text.size(), raw.size());
    QCOMPARE(TrimText(text), trimmed);
}

void TestTarvoCodec::textToBytesCodePage() {
    TExchangeBuffer buf{};
    TextToBytes(QStringLiteral("ТСМ-50 №7 °С"), buf, 4);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(buf.data()) + 4, 12),
             QByteArray("\xD2\xD1\xCC-50 \xB9\x37 \xB0\xD1"));
    // A character the code page lacks goes out as one '?', and the text after it keeps its place.
    buf.fill(0);
    TextToBytes(QStringLiteral("a\u4E2Db\U0001F600c"), buf, 0);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(buf.data()), 6), QByteArray("a?b?c\0", 6));
    QCOMPARE(win1251(QStringLiteral("Ё")), QByteArray("\xA8"));
}

void TestTarvoCodec::dates_data() {
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QDate>("date"); // null: impossible
    QTest::newRow("05.11.2023") << QByteArray::fromHex("050B07E7") << QDate(2023, 11, 5);
    QTest::newRow("29.02.2020") << QByteArray::fromHex("1D0207E4") << QDate(2020, 2, 29);
    QTest::newRow("31.02.2020") << QByteArray::fromHex("1F0207E4") << QDate();
    QTest::newRow("29.02.2019") << QByteArray::fromHex("1D0207E3") << QDate();
    QTest::newRow("all zeros") << QByteArray::fromHex("00000000") << QDate();
    QTest::newRow("year 0") << QByteArray::fromHex("01010000") << QDate();
    QTest::newRow("month 13") << QByteArray::fromHex("010D07E4") << QDate();
    QTest::newRow("year 10000") << QByteArray::fromHex("01012710") << QDate();
    QTest::newRow("01.01.0001") << QByteArray::fromHex("01010001") << QDate(1, 1, 1);
}

void TestTarvoCodec::dates() {
    QFETCH(QByteArray, raw);
    QFETCH(QDate, date);
    const QByteArray framed = QByteArray(3, '\x55') + raw;
    const std::optional<QDate> got = GetDate4(bytes(framed), 3);
    QCOMPARE(got.has_value(), date.isValid());
    if (!date.isValid())
        return;
    QCOMPARE(*got, date);
    TExchangeBuffer buf{};
    PutDate4(buf, 3, date);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(buf.data()) + 3, 4), raw);
}

void TestTarvoCodec::averaging_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("average");
    QTest::newRow("off") << 0 << 0;
    QTest::newRow("1: 0.5 to even") << 1 << 0;
    QTest::newRow("4") << 4 << 1;
    QTest::newRow("7: 1.5 to even") << 7 << 2;
    QTest::newRow("13: 2.5 to even") << 13 << 2;
    QTest::newRow("19: 3.5 to even") << 19 << 4;
    QTest::newRow("11: 2.17") << 11 << 2;
    QTest::newRow("12: 2.33") << 12 << 2;
    QTest::newRow("178") << 178 << 30;
    QTest::newRow("255") << 255 << 43;
}

void TestTarvoCodec::averaging() {
    QFETCH(int, code);
    QFETCH(int, average);
    QCOMPARE(AverageFromCode(std::uint8_t(code)), average);
}

void TestTarvoCodec::averagingRoundTrip() {
    QCOMPARE(AverageToCode(0), std::uint8_t(0));
    QCOMPARE(AverageToCode(1), std::uint8_t(4));
    QCOMPARE(AverageToCode(2), std::uint8_t(10));
    QCOMPARE(AverageToCode(30), std::uint8_t(178));
    QCOMPARE(AverageToCode(43), std::uint8_t(0)); // 256 modulo 256
    for (int a = 1; a <= 30; ++a)
        QCOMPARE(AverageFromCode(AverageToCode(a)), a);
}

void TestTarvoCodec::identification_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("typeCode");
    QTest::addColumn<QString>("typeText");
    QTest::addColumn<QString>("sensorText");
    QTest::addColumn<int>("sensorNum");
    QTest::addColumn<QDate>("date");
    QTest::newRow("77")
        << IdentReply(3, 77, QByteArray("  Tarvo-TC-4-20\0", 16), "\xD2\xD1\xCF-100", 12345, 5, 11, 2023) << 77
        << QStringLiteral("Tarvo-TC-4-20") << QStringLiteral("ТСП-100") << 12345 << QDate(2023, 11, 5);
    QTest::newRow("number above 2^31 is negative")
        << IdentReply(3, 78, "T", "S", 0x80000000u, 1, 1, 2020) << 78 << QStringLiteral("T")
        << QStringLiteral("S") << int(-2147483647 - 1) << QDate(2020, 1, 1);
    QTest::newRow("number FFFFFFFF")
        << IdentReply(3, 78, "T", "S", 0xFFFFFFFFu, 1, 1, 2020) << 78 << QStringLiteral("T") << QStringLiteral("S")
        << -1 << QDate(2020, 1, 1);
    QTest::newRow("31.02.2020 leaves no date")
        << IdentReply(3, 77, "T", "S", 1, 31, 2, 2020) << 77 << QStringLiteral("T") << QStringLiteral("S") << 1
        << QDate();
    QTest::newRow("date all zeros")
        << IdentReply(3, 77, "", "", 0, 0, 0, 0) << 77 << QString() << QString() << 0 << QDate();
}

void TestTarvoCodec::identification() {
    QFETCH(QByteArray, reply);
    QFETCH(int, typeCode);
    QFETCH(QString, typeText);
    QFETCH(QString, sensorText);
    QFETCH(int, sensorNum);
    QFETCH(QDate, date);
    QCOMPARE(reply.size(), IdentReplyLength);
    TTarvo d;
    d.SensorDate = QDate(1999, 9, 9);
    d.SensorR0 = 100;
    const bool dateOk = DecodeIdentification(bytes(reply), 9, d);
    QCOMPARE(dateOk, date.isValid());
    QCOMPARE(d.SlaveID, 9); // the address asked, not the reply's
    QCOMPARE(d.PLTypeCode, typeCode);
    QCOMPARE(d.PLType, typeText);
    QCOMPARE(d.SensorType, sensorText);
    QCOMPARE(d.SensorNum, sensorNum);
    QCOMPARE(d.SensorDate, date);
    QCOMPARE(d.SensorR0, 100);
}

void TestTarvoCodec::configuration_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("r0Before");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("r0");
    QTest::addColumn<int>("bottom");
    QTest::addColumn<int>("top");
    QTest::addColumn<bool>("direct");
    QTest::addColumn<int>("alarm");
    QTest::addColumn<int>("average");
    QTest::newRow("Pt 100, -200..600, direct, averaging 1")
        << ConfReply(3, 1, 1, -200, 600, 0, 2, 4, 3) << 0 << 1 << 100 << -200 << 600 << true << 2 << 1;
    QTest::newRow("Cu 50, inverse, averaging off")
        << ConfReply(3, 3, 2, -50, 150, 1, 4, 0, 3) << 100 << 3 << 50 << -50 << 150 << false << 4 << 0;
    QTest::newRow("resistance code 0 keeps 100") << ConfReply(3, 2, 0, 0, 100, 0, 1, 178, 3) << 100 << 2
                                                 << 100 << 0 << 100 << true << 1 << 30;
    QTest::newRow("resistance code 0 keeps 0 of a new transducer")
        << ConfReply(3, 2, 0, 0, 100, 0, 1, 7, 3) << 0 << 2 << 0 << 0 << 100 << true << 1 << 2;
    QTest::newRow("resistance code 3 keeps 50")
        << ConfReply(3, 2, 3, 0, 100, 0, 1, 1, 3) << 50 << 2 << 50 << 0 << 100 << true << 1 << 0;
    QTest::newRow("high bytes ignored, any non-zero direction is inverse")
        << ConfReply(3, 0xAB01, 0xCD02, -1, 0x7FFF, 0x0200, 0xFF03, 0x0100, 3) << 0 << 1 << 50 << -1 << 32767
        << true << 3 << 0;
    QTest::newRow("direction 5 is inverse")
        << ConfReply(3, 1, 1, 0, 100, 5, 1, 0, 3) << 0 << 1 << 100 << 0 << 100 << false << 1 << 0;
}

void TestTarvoCodec::configuration() {
    QFETCH(QByteArray, reply);
    QFETCH(int, r0Before);
    QFETCH(int, kind);
    QFETCH(int, r0);
    QFETCH(int, bottom);
    QFETCH(int, top);
    QFETCH(bool, direct);
    QFETCH(int, alarm);
    QFETCH(int, average);
    QCOMPARE(reply.size(), ConfReplyLength);
    TTarvo d;
    d.SlaveID = 11; // register 0x001F is not read
    d.SensorR0 = r0Before;
    DecodeConfiguration(bytes(reply), d);
    QCOMPARE(d.SensorKind, kind);
    QCOMPARE(d.SensorR0, r0);
    QCOMPARE(d.BottomTempBound, bottom);
    QCOMPARE(d.TopTempBound, top);
    QCOMPARE(d.DirectLeadOut, direct);
    QCOMPARE(d.AlarmCur, alarm);
    QCOMPARE(d.Average, average);
    QCOMPARE(d.SlaveID, 11);
}

void TestTarvoCodec::measurement_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<double>("temperature");
    QTest::addColumn<double>("resistance");
    QTest::addColumn<int>("diag");
    QTest::addColumn<QDate>("date");
    QTest::newRow("25.3 degrees") << MeasReply(3, 253, 10987, 0, 12, 6, 2022) << 25.3 << 109.87 << 0
                                  << QDate(2022, 6, 12);
    QTest::newRow("signed temperature, unsigned resistance")
        << MeasReply(3, -200, 0x8000, 3, 1, 2, 2021) << -20.0 << 327.68 << 3 << QDate(2021, 2, 1);
    QTest::newRow("diagnostics code from the low byte")
        << MeasReply(3, 0, 0, 0x7F02, 1, 1, 2020) << 0.0 << 0.0 << 2 << QDate(2020, 1, 1);
    QTest::newRow("impossible date") << MeasReply(3, 1, 1, 0, 0, 0, 0) << 0.1 << 0.01 << 0 << QDate();
}

void TestTarvoCodec::measurement() {
    QFETCH(QByteArray, reply);
    QFETCH(double, temperature);
    QFETCH(double, resistance);
    QFETCH(int, diag);
    QFETCH(QDate, date);
    QCOMPARE(reply.size(), MeasReplyLength);
    const TMeasurement m = DecodeMeasurement(bytes(reply));
    QCOMPARE(m.Temperature, temperature);
    QCOMPARE(m.Resistance, resistance);
    QCOMPARE(int(m.DiagCode), diag);
    QCOMPARE(m.CalibrDate.has_value(), date.isValid());
    if (date.isValid())
        QCOMPARE(*m.CalibrDate, date);
}

void TestTarvoCodec::requestFrames_data() {
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("identification") << frameOf(ReadInformationRequest(3)) << HexWithCrc("03 11");
    QTest::newRow("configuration read") << frameOf(ReadConfigurationRequest(3)) << HexWithCrc("03 03 0018 0008");
    QTest::newRow("measurement read") << frameOf(MeasurementRequest(247)) << HexWithCrc("F7 03 0020 0005");

    TTarvo d;
    d.SlaveID = 1;
    d.SensorKind = 3;
    d.SensorR0 = 50;
    d.BottomTempBound = -200;
    d.TopTempBound = 600;
    d.DirectLeadOut = false;
    d.AlarmCur = 2;
    d.Average = 30;
    QTest::newRow("configuration write, new address 5")
        << frameOf(WriteConfigurationRequest(d, 5))
        << HexWithCrc("01 10 0018 0008 10 0003 0002 FF38 0258 0001 0002 00B2 0005");
    d.SensorR0 = 75;
    d.DirectLeadOut = true;
    d.Average = 0;
    d.BottomTempBound = -1;
    QTest::newRow("configuration write, odd resistance, direct, no averaging")
        << frameOf(WriteConfigurationRequest(d, 1))
        << HexWithCrc("01 10 0018 0008 10 0003 0000 FFFF 0258 0000 0002 0000 0001");

    TTarvo info;
    info.SlaveID = 3;
    info.SensorType = QStringLiteral("ТСП");
    info.SensorNum = 305419896;
    info.SensorDate = QDate(2023, 11, 5);
    QTest::newRow("information write")
        << frameOf(WriteInformationRequest(info))
        << HexWithCrc("03 10 0008 0010 20 D2D1CF 000000000000000000000000000000000000000000 12345678 050B07E7");

    QTest::newRow("calibration step 0") << frameOf(CalibrationStepRequest(3, 0, 4000, QDate(2020, 1, 1)))
                                        << HexWithCrc("03 4D 00 00000000");
    QTest::newRow("calibration step 4") << frameOf(CalibrationStepRequest(3, 4, 4000, QDate()))
                                        << HexWithCrc("03 4D 04 00000000");
    QTest::newRow("calibration step 5, 4.012 mA") << frameOf(CalibrationStepRequest(3, 5, 4012, QDate()))
                                                  << HexWithCrc("03 4D 05 00000FAC");
    QTest::newRow("calibration step 6, rejected entry") << frameOf(CalibrationStepRequest(3, 6, -1, QDate()))
                                                        << HexWithCrc("03 4D 06 0000FFFF");
    QTest::newRow("calibration step 7, date") << frameOf(CalibrationStepRequest(3, 7, 0, QDate(2024, 2, 29)))
                                              << HexWithCrc("03 4D 07 1D0207E8");
    QTest::newRow("R0 correction") << frameOf(R0CorrectionRequest(3, true)) << HexWithCrc("03 4E 01");
    QTest::newRow("R0 reset") << frameOf(R0CorrectionRequest(3, false)) << HexWithCrc("03 4E 00");
    QTest::newRow("NSX begin") << frameOf(NsxCorrectionRequest(3, 1, 0)) << HexWithCrc("03 4F 01 0000");
    QTest::newRow("NSX reset") << frameOf(NsxCorrectionRequest(3, 1, 0.1)) << HexWithCrc("03 4F 01 0001");
    QTest::newRow("NSX -12.3") << frameOf(NsxCorrectionRequest(3, 2, -12.3)) << HexWithCrc("03 4F 02 FF85");
    QTest::newRow("NSX 85.46") << frameOf(NsxCorrectionRequest(3, 2, 85.46)) << HexWithCrc("03 4F 02 0357");
}

void TestTarvoCodec::requestFrames() {
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, expected);
    QCOMPARE(frame.toHex(' '), expected.toHex(' '));
}

void TestTarvoCodec::informationWriteSendsTwentyFourCharacters() {
    TTarvo d;
    d.SlaveID = 3;
    d.SensorType = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123"); // 30 characters
    d.SensorNum = 7;
    d.SensorDate = QDate(2020, 5, 6);
    const TRequest r = WriteInformationRequest(d);
    QCOMPARE(r.length, 41);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(r.bytes.data()) + 7, 32),
             QByteArray("ABCDEFGHIJKLMNOPQRSTUVWX") + QByteArray::fromHex("00000007060507E4"));
}

void TestTarvoCodec::acknowledgement() {
    QVERIFY(IsAcknowledgement(bytes(ShortReply(3, 0x4D, 9)), 0x4D));
    QVERIFY(!IsAcknowledgement(bytes(ShortReply(3, 0xCD, 10)), 0x4D));
    QVERIFY(!IsAcknowledgement({}, 0x4D));
}

QTEST_GUILESS_MAIN(TestTarvoCodec)
#include "tst_tarvo_codec.moc"
