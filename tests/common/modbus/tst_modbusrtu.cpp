#include "ModbusRtu.h"

#include <QTest>
#include <vector>

using namespace modbus;

namespace {

QByteArray hex(const char* s) {
    return QByteArray::fromHex(QByteArray(s));
}

const std::uint8_t* bytes(const QByteArray& a) {
    return reinterpret_cast<const std::uint8_t*>(a.constData());
}

// Appends the CRC, low byte first.
QByteArray withCrc(const QByteArray& body) {
    const std::uint16_t crc = Crc16(bytes(body), static_cast<std::size_t>(body.size()));
    QByteArray out = body;
    out.append(static_cast<char>(crc & 0xFF));
    out.append(static_cast<char>(crc >> 8));
    return out;
}

QByteArray build(const RequestFields& f) {
    std::vector<std::uint8_t> out(FrameBufferSize);
    const std::size_t n = BuildRequest(f, out);
    return QByteArray(reinterpret_cast<const char*>(out.data()), static_cast<qsizetype>(n));
}

} // namespace

class TestModbusRtu : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void crcVectors_data();
    void crcVectors();
    void addAndCheckCrc();

    void requestFrames_data();
    void requestFrames();
    void requestRefusals();
    void expectedLengths();

    void replyChecks_data();
    void replyChecks();
    void replyDataAreaIsWhatArrived();

    void errorTables_data();
    void errorTables();
    void oldErrorTable();
};

void TestModbusRtu::crcVectors_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("crc");
    QTest::newRow("read 10 regs at 0x31") << hex("01030031000A") << 0x0294;
    QTest::newRow("check value 123456789") << QByteArray("123456789") << 0x4B37;
    QTest::newRow("report slave id, slave 1") << hex("0111") << 0x2CC0;
    QTest::newRow("empty") << QByteArray() << 0xFFFF;
}

void TestModbusRtu::crcVectors() {
    QFETCH(QByteArray, data);
    QFETCH(int, crc);
    QCOMPARE(int(Crc16(bytes(data), static_cast<std::size_t>(data.size()))), crc);
}

void TestModbusRtu::addAndCheckCrc() {
    std::vector<std::uint8_t> buf(FrameBufferSize, 0xEE);
    const QByteArray req = hex("01030031000A");
    std::copy(req.begin(), req.end(), buf.begin());
    AddModbusCRC(buf.data(), 6);
    QCOMPARE(buf[6], std::uint8_t(0x94));
    QCOMPARE(buf[7], std::uint8_t(0x02));
    QCOMPARE(buf[8], std::uint8_t(0xEE)); // nothing written past the CRC
    QVERIFY(CheckModbusCRC(buf.data(), 6));
    buf[7] ^= 1;
    QVERIFY(!CheckModbusCRC(buf.data(), 6));
    buf[7] ^= 1;
    std::swap(buf[6], buf[7]); // high byte first is wrong
    QVERIFY(!CheckModbusCRC(buf.data(), 6));
}

void TestModbusRtu::requestFrames_data() {
    QTest::addColumn<int>("addr");
    QTest::addColumn<int>("func");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("count");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("frameWithoutCrc");

    QTest::newRow("fn3 config block") << 1 << 3 << 0 << 0x31 << 10 << QByteArray() << hex("01030031000A");
    QTest::newRow("fn3 sensor block, slave 247")
        << 247 << 3 << 0 << 0x11 << 16 << QByteArray() << hex("F70300110010");
    QTest::newRow("fn7") << 5 << 7 << 0 << 0 << 0 << QByteArray() << hex("0507");
    QTest::newRow("fn16 two registers") << 2 << 16 << 0 << 0x31 << 2 << hex("00710102")
                                        << hex("021000310002040071"
                                               "0102");
    QTest::newRow("fn17") << 1 << 17 << 0 << 0 << 0 << QByteArray() << hex("0111");
    QTest::newRow("fn100 step 3, 4000 uA")
        << 1 << 100 << 3 << 0 << 0 << hex("00000FA0") << hex("01640300000FA0");
    QTest::newRow("fn100 step 5, date")
        << 1 << 100 << 5 << 0 << 0 << hex("0A0C07EA") << hex("0164050A0C07EA");
    QTest::newRow("fn101 flag 1") << 3 << 101 << 0 << 0 << 0 << hex("01") << hex("036501");
    QTest::newRow("fn101 reset") << 3 << 101 << 0 << 0 << 0 << hex("00") << hex("036500");
    QTest::newRow("fn102 step 2, 99.99")
        << 1 << 102 << 2 << 0 << 0 << hex("0000270F") << hex("0166020000270F");
    QTest::newRow("fn102 reset") << 1 << 102 << 1 << 0 << 0 << hex("00000001") << hex("01660100000001");
    QTest::newRow("fn77 step 4") << 3 << 77 << 4 << 0 << 0 << hex("01020304") << hex("034D0401020304");
    QTest::newRow("fn78 reset") << 3 << 78 << 0 << 0 << 0 << hex("00") << hex("034E00");
    QTest::newRow("fn79 mode 2, -12.5") << 3 << 79 << 2 << 0 << 0 << hex("FF83") << hex("034F02FF83");
}

void TestModbusRtu::requestFrames() {
    QFETCH(int, addr);
    QFETCH(int, func);
    QFETCH(int, step);
    QFETCH(int, start);
    QFETCH(int, count);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, frameWithoutCrc);
    RequestFields f;
    f.slaveAddr = static_cast<std::uint8_t>(addr);
    f.funcCode = static_cast<std::uint8_t>(func);
    f.step = static_cast<std::uint8_t>(step);
    f.startAddr = static_cast<std::uint16_t>(start);
    f.regCount = static_cast<std::uint16_t>(count);
    f.data = std::span<const std::uint8_t>(bytes(data), static_cast<std::size_t>(data.size()));
    QCOMPARE(build(f).toHex(' '), withCrc(frameWithoutCrc).toHex(' '));
}

void TestModbusRtu::requestRefusals() {
    RequestFields f;
    f.slaveAddr = 1;
    f.funcCode = 4; // not one of ours
    QCOMPARE(build(f).size(), 0);

    const QByteArray two = hex("0102");
    f.funcCode = 100; // needs four data bytes
    f.data = std::span<const std::uint8_t>(bytes(two), 2);
    QCOMPARE(build(f).size(), 0);

    f.funcCode = 16;
    f.regCount = 2; // needs four data bytes
    QCOMPARE(build(f).size(), 0);
    f.regCount = 0;
    QCOMPARE(build(f).size(), 0);

    std::uint8_t small[8];
    f.funcCode = 3;
    f.regCount = 1;
    QCOMPARE(BuildRequest(f, std::span<std::uint8_t>(small, 7)), std::size_t(0)); // does not fit
    QCOMPARE(BuildRequest(f, std::span<std::uint8_t>(small, 8)), std::size_t(8));
}

void TestModbusRtu::expectedLengths() {
    QCOMPARE(ExpectedReplyLength(3, 10), 25);
    QCOMPARE(ExpectedReplyLength(3, 16), 37);
    QCOMPARE(ExpectedReplyLength(7, 0), 5);
    QCOMPARE(ExpectedReplyLength(16, 10), 8);
    QCOMPARE(ExpectedReplyLength(17, 0), 71);
    for (int fn : {100, 101, 102})
        QCOMPARE(ExpectedReplyLength(static_cast<std::uint8_t>(fn), 0), 5);
    QCOMPARE(ExpectedReplyLength(77, 0), 0);

    QCOMPARE(ExpectedReplyLengthOld(3, 8), 21);
    QCOMPARE(ExpectedReplyLengthOld(3, 5), 15);
    QCOMPARE(ExpectedReplyLengthOld(16, 16), 8);
    QCOMPARE(ExpectedReplyLengthOld(17, 0), 55);
    for (int fn : {77, 78, 79})
        QCOMPARE(ExpectedReplyLengthOld(static_cast<std::uint8_t>(fn), 0), 5);
    QCOMPARE(ExpectedReplyLengthOld(100, 0), 0);
}

// Every rule of the reply checks, with its text and its place in the order.
void TestModbusRtu::replyChecks_data() {
    QTest::addColumn<int>("func");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("addrChange");
    QTest::addColumn<QByteArray>("reply"); // as received; "n" is its size
    QTest::addColumn<int>("n");            // overrides the size when < 0
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("value"); // value byte, echoed register count or data length

    const int ok = ReplyCheck::Ok, bad = ReplyCheck::Failed, other = ReplyCheck::AddressMismatch;
    const QByteArray ten = hex("000100020003000400050006000700080009000A");
    const QByteArray fn3ok = withCrc(hex("010314") + ten);

    QTest::newRow("read failed") << 3 << 0 << 10 << false << QByteArray() << -1 << bad
                                 << text::PortNotAvailable << 0;
    QTest::newRow("nothing came") << 3 << 0 << 10 << false << QByteArray() << 0 << bad << text::ReplyTimeout
                                  << 0;

    // Five-byte replies.
    QTest::newRow("exception 2 to fn3") << 3 << 0 << 10 << false << withCrc(hex("018302")) << 0 << bad
                                        << QStringLiteral("Недопустимый адрес данных") << 0;
    QTest::newRow("exception 9 unknown")
        << 3 << 0 << 10 << false << withCrc(hex("018309")) << 0 << bad
        << QStringLiteral("Преобразователь вернул неизвестный код ошибки") << 0;
    QTest::newRow("5 bytes fn3 no exception bit")
        << 3 << 0 << 10 << false << withCrc(hex("010302")) << 0 << bad << text::WrongFormat << 0;
    QTest::newRow("5 bytes bad CRC before format")
        << 3 << 0 << 10 << false << hex("0103020000") << 0 << bad << text::CrcError << 0;
    QTest::newRow("5 bytes bad CRC before address")
        << 3 << 0 << 10 << false << hex("0983020000") << 0 << bad << text::CrcError << 0;
    QTest::newRow("5 bytes other slave")
        << 3 << 0 << 10 << false << withCrc(hex("028302")) << 0 << other << QString() << 0;
    QTest::newRow("5 bytes other slave, address change")
        << 3 << 0 << 10 << true << withCrc(hex("028302")) << 0 << bad
        << QStringLiteral("Недопустимый адрес данных") << 0;
    QTest::newRow("5 bytes wrong function")
        << 3 << 0 << 10 << false << withCrc(hex("018402")) << 0 << bad << text::WrongFunction << 0;
    QTest::newRow("fn16 5 bytes") << 16 << 0 << 10 << false << withCrc(hex("011000")) << 0 << bad
                                  << text::WrongFormat << 0;
    QTest::newRow("fn17 5 bytes") << 17 << 0 << 0 << false << withCrc(hex("011100")) << 0 << bad
                                  << text::WrongFormat << 0;
    QTest::newRow("fn17 exception from other slave")
        << 17 << 0 << 0 << true << withCrc(hex("029101")) << 0 << other << QString() << 0;
    QTest::newRow("fn7 status") << 7 << 0 << 0 << false << withCrc(hex("0107A5")) << 0 << ok << QString()
                                << 0xA5;
    QTest::newRow("fn100 echo") << 100 << 3 << 0 << false << withCrc(hex("016403")) << 0 << ok << QString()
                                << 3;
    QTest::newRow("fn100 wrong echo")
        << 100 << 3 << 0 << false << withCrc(hex("016404")) << 0 << bad << text::WrongCalibrStep << 0;
    QTest::newRow("fn100 refusal 10")
        << 100 << 1 << 0 << false << withCrc(hex("01E40A")) << 0 << bad << modbus::ModbusErrorText(10) << 0;
    QTest::newRow("fn100 from other slave")
        << 100 << 3 << 0 << true << withCrc(hex("026403")) << 0 << other << QString() << 0;
    QTest::newRow("fn102 echo") << 102 << 2 << 0 << false << withCrc(hex("016602")) << 0 << ok << QString()
                                << 2;
    QTest::newRow("fn102 wrong echo")
        << 102 << 2 << 0 << false << withCrc(hex("016601")) << 0 << bad << text::WrongNsxStep << 0;
    QTest::newRow("fn101 value 1") << 101 << 0 << 0 << false << withCrc(hex("016501")) << 0 << ok << QString()
                                   << 1;
    QTest::newRow("fn101 value 253") << 101 << 0 << 0 << false << withCrc(hex("0165FD")) << 0 << ok
                                     << QString() << 253;
    QTest::newRow("fn101 value 254") << 101 << 0 << 0 << false << withCrc(hex("0165FE")) << 0 << bad
                                     << text::WrongDataValue << 0;
    QTest::newRow("fn101 value 255") << 101 << 0 << 0 << false << withCrc(hex("0165FF")) << 0 << bad
                                     << text::WrongDataValue << 0;

    // Other lengths.
    for (int fn : {7, 100, 101, 102})
        QTest::addRow("fn%d 6 bytes", fn)
            << fn << 0 << 0 << false << hex("010000000000") << 0 << bad << text::WrongLength << 0;
    QTest::newRow("fn3 good") << 3 << 0 << 10 << false << fn3ok << 0 << ok << QString() << 20;
    QTest::newRow("fn3 24 of 25 bytes")
        << 3 << 0 << 10 << false << fn3ok.left(24) << 0 << bad << text::WrongLength << 0;
    {
        QByteArray big = hex("0103FC") + QByteArray(252, '\0');
        big = withCrc(big);
        QTest::newRow("fn3 byte count 252")
            << 3 << 0 << 10 << false << big << 0 << bad << text::WrongLength << 0;
    }
    QTest::newRow("fn3 byte count beyond what came")
        << 3 << 0 << 10 << false << hex("01031E") + ten + hex("0000") << 0 << bad << text::WrongLength << 0;
    QTest::newRow("fn3 length before CRC")
        << 3 << 0 << 10 << false << hex("0103140000") + QByteArray(10, '\0') << 0 << bad << text::WrongLength
        << 0;
    {
        QByteArray broken = fn3ok;
        broken[24] = static_cast<char>(broken[24] ^ 0x40);
        QTest::newRow("fn3 bad CRC") << 3 << 0 << 10 << false << broken << 0 << bad << text::CrcError << 0;
    }
    QTest::newRow("fn3 other slave") << 3 << 0 << 10 << false << withCrc(hex("020314") + ten) << 0 << other
                                     << QString() << 0;
    QTest::newRow("fn3 other slave, address change")
        << 3 << 0 << 10 << true << withCrc(hex("020314") + ten) << 0 << ok << QString() << 20;
    QTest::newRow("fn3 exception bit on long reply")
        << 3 << 0 << 10 << false << withCrc(hex("018314") + ten) << 0 << bad << text::WrongFunction << 0;
    QTest::newRow("fn3 fewer bytes counted than asked")
        << 3 << 0 << 2 << false << withCrc(hex("0103020007")) + hex("0000") << 0 << ok << QString() << 2;

    const QByteArray id = withCrc(hex("011142") + QByteArray(66, 'x'));
    QTest::newRow("fn17 good") << 17 << 0 << 0 << false << id << 0 << ok << QString() << 66;
    QTest::newRow("fn17 short") << 17 << 0 << 0 << false << id.left(70) << 0 << bad << text::WrongLength << 0;
    QTest::newRow("fn17 two bytes") << 17 << 0 << 0 << false << hex("0111") << 0 << bad << text::WrongLength
                                    << 0;
    QTest::newRow("fn17 other slave even on address change")
        << 17 << 0 << 0 << true << withCrc(hex("021142") + QByteArray(66, 'x')) << 0 << other << QString()
        << 0;
    QTest::newRow("fn17 wrong function")
        << 17 << 0 << 0 << false << withCrc(hex("011242") + QByteArray(66, 'x')) << 0 << bad
        << text::WrongFunction << 0;

    QTest::newRow("fn16 good") << 16 << 0 << 10 << false << withCrc(hex("01100031000A")) << 0 << ok
                               << QString() << 10;
    QTest::newRow("fn16 echo not compared")
        << 16 << 0 << 10 << false << withCrc(hex("011000990003")) << 0 << ok << QString() << 3;
    QTest::newRow("fn16 7 bytes") << 16 << 0 << 10 << false << withCrc(hex("01100031000A")).left(7) << 0
                                  << bad << text::WrongLength << 0;
    QTest::newRow("fn16 bad CRC") << 16 << 0 << 10 << false << hex("01100031000A0000") << 0 << bad
                                  << text::CrcError << 0;
    QTest::newRow("fn16 new address")
        << 16 << 0 << 10 << true << withCrc(hex("07100031000A")) << 0 << ok << QString() << 10;
    QTest::newRow("fn16 other slave")
        << 16 << 0 << 10 << false << withCrc(hex("07100031000A")) << 0 << other << QString() << 0;
    QTest::newRow("fn16 wrong function")
        << 16 << 0 << 10 << false << withCrc(hex("01060031000A")) << 0 << bad << text::WrongFunction << 0;
}

void TestModbusRtu::replyChecks() {
    QFETCH(int, func);
    QFETCH(int, step);
    QFETCH(int, count);
    QFETCH(bool, addrChange);
    QFETCH(QByteArray, reply);
    QFETCH(int, n);
    QFETCH(int, status);
    QFETCH(QString, error);
    QFETCH(int, value);

    ReplyContext ctx;
    ctx.slaveAddr = 1;
    ctx.funcCode = static_cast<std::uint8_t>(func);
    ctx.step = static_cast<std::uint8_t>(step);
    ctx.regCount = static_cast<std::uint16_t>(count);
    ctx.isChangeSlaveAddr = addrChange;
    const int size = reply.isEmpty() ? n : static_cast<int>(reply.size());
    const ReplyCheck r = CheckReply(ctx, bytes(reply), size);
    QCOMPARE(int(r.status), status);
    QCOMPARE(r.error, error);
    if (status != ReplyCheck::Ok)
        return;
    switch (func) {
    case 3:
    case 17:
        QCOMPARE(r.dataOffset, 3);
        QCOMPARE(r.dataLength, value);
        QCOMPARE(int(r.regCount), value);
        break;
    case 16:
        QCOMPARE(int(r.regCount), value);
        break;
    default:
        QCOMPARE(int(r.value), value);
    }
}

void TestModbusRtu::replyDataAreaIsWhatArrived() {
    // A function-3 reply may announce fewer bytes than asked for; the data area is the announced one.
    ReplyContext ctx{1, 3, 0, 10, false};
    QByteArray r = withCrc(hex("010314") + QByteArray(20, '\x11'));
    ReplyCheck c = CheckReply(ctx, bytes(r), static_cast<int>(r.size()));
    QVERIFY(c.ok());
    QVERIFY(c.dataOffset + c.dataLength + 2 <= r.size());
}

void TestModbusRtu::errorTables_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("1") << 1 << QStringLiteral("Принятый код функции не может быть обработан");
    QTest::newRow("2") << 2 << QStringLiteral("Недопустимый адрес данных");
    QTest::newRow("3") << 3 << QStringLiteral("Недопустимая величина в поле данных");
    QTest::newRow("4") << 4 << QStringLiteral("Преобразователь вернул код ошибки 04: SLAVE DEVICE FAILURE");
    QTest::newRow("5") << 5 << QStringLiteral("Преобразователь вернул код ошибки 05: ACKNOWLEDGE");
    QTest::newRow("6") << 6 << QStringLiteral("Преобразователь вернул код ошибки 06: SLAVE DEVICE BUSY");
    QTest::newRow("7") << 7 << QStringLiteral("Преобразователь вернул код ошибки 07: NEGATIVE ACKNOWLEDGE");
    QTest::newRow("8") << 8 << QStringLiteral("Преобразователь вернул код ошибки 08: MEMORY PARITY ERROR");
    QTest::newRow("10") << 10
                        << QStringLiteral(
                               "Калибровка АЦП: измеренное АЦП значение находится вне диапазона возможных "
                               "значений");
    QTest::newRow("11") << 11
                        << QStringLiteral(
                               "Калибровка ЦАП: полученные данные находятся вне диапазона возможных "
                               "значений");
    QTest::newRow("12 Latin C") << 12
                                << QString::fromUtf8(
                                       "Подстройка \"0\": операция не может быть выполнена из-за "
                                       "отклонения измеренной температуры от 0 более чем на 20\xC2\xB0"
                                       "C");
    QTest::newRow("16") << 16
                        << QStringLiteral(
                               "Подстройка НСХ: операция не может быть выполнена, так как полученное "
                               "действительное значение температуры отличается от измеренной "
                               "преобразователем более чем на 10%");
    for (int code : {0, 9, 17, 128, 255})
        QTest::addRow("unknown %d", code)
            << code << QStringLiteral("Преобразователь вернул неизвестный код ошибки");
}

void TestModbusRtu::errorTables() {
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(ModbusErrorText(static_cast<std::uint8_t>(code)), text);
}

void TestModbusRtu::oldErrorTable() {
    QCOMPARE(std::size(DeviceErrors), std::size_t(10));
    QCOMPARE(DeviceErrorText(1), QStringLiteral("Неизвестная команда."));
    QCOMPARE(DeviceErrorText(16),
             QStringLiteral("Заданная температура отличается от измеряемой более чем на 5%."));
    // Cyrillic С after the degree sign, Latin R in R0.
    QCOMPARE(DeviceErrorText(12),
             QString::fromUtf8("Измеренная температура отклонилась от 0 \xC2\xB0\xD0\xA1 более "
                               "чем на 20 \xC2\xB0\xD0\xA1."));
    QVERIFY(DeviceErrorText(13).contains(QLatin1String("R0")));
    for (int code : {0, 4, 9, 17, 255})
        QVERIFY(DeviceErrorText(static_cast<std::uint8_t>(code)).isEmpty());
}

QTEST_APPLESS_MAIN(TestModbusRtu)
#include "tst_modbusrtu.moc"
