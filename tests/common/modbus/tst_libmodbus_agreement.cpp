// Our frames against an independent Modbus RTU master (libmodbus) over a pseudo-terminal: the
// requests it writes must equal ours byte for byte, and it must accept the replies we frame.
#include "LibmodbusMaster.h"
#include "ModbusRtu.h"

#include <QTest>
#include <fcntl.h>
#include <future>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>
#include <vector>

using namespace modbus;

namespace {

class PtyPair {
public:
    PtyPair() {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0)
            clientPath = QString::fromLocal8Bit(ptsname(master));
    }
    ~PtyPair() {
        if (master >= 0)
            ::close(master);
    }
    // Reads one frame: bytes until the line has been quiet for 50 ms.
    QByteArray readFrame(int firstTimeoutMs = 2000) const {
        QByteArray out;
        int timeout = firstTimeoutMs;
        for (;;) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, timeout) <= 0)
                return out;
            char buf[512];
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n <= 0)
                return out;
            out.append(buf, static_cast<qsizetype>(n));
            timeout = 50;
        }
    }
    void write(const QByteArray& b) const {
        QCOMPARE(::write(master, b.constData(), size_t(b.size())), b.size());
    }

    int master = -1;
    QString clientPath;
};

QByteArray ourRequest(const RequestFields& f) {
    std::vector<std::uint8_t> out(FrameBufferSize);
    const std::size_t n = BuildRequest(f, out);
    return QByteArray(reinterpret_cast<const char*>(out.data()), static_cast<qsizetype>(n));
}

QByteArray framed(QByteArray body) {
    body.append(2, '\0');
    AddModbusCRC(reinterpret_cast<std::uint8_t*>(body.data()), static_cast<std::uint16_t>(body.size() - 2));
    return body;
}

struct Master : LibmodbusMaster {
    explicit Master(const QString& path) : LibmodbusMaster(path, 19200, 1, 1) {}
};

} // namespace

class TestLibmodbusAgreement : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readHoldingRegisters();
    void writeMultipleRegisters();
    void reportSlaveId();
    void exceptionReply();
    void customFunctionsCrc_data();
    void customFunctionsCrc();
};

void TestLibmodbusAgreement::readHoldingRegisters() {
    PtyPair pty;
    Master m(pty.clientPath);
    QVERIFY(m.ctx);
    std::uint16_t regs[10] = {};
    auto call = std::async(std::launch::async, [&] { return modbus_read_registers(m.ctx, 0x31, 10, regs); });

    RequestFields f;
    f.slaveAddr = 1;
    f.funcCode = fnReadHoldingRegisters;
    f.startAddr = 0x31;
    f.regCount = 10;
    QCOMPARE(pty.readFrame().toHex(' '), ourRequest(f).toHex(' '));

    QByteArray body = QByteArray::fromHex("010314");
    for (int i = 0; i < 10; ++i)
        body += QByteArray::fromHex(QByteArray::number(0x1234 + i, 16).rightJustified(4, '0'));
    pty.write(framed(body));
    QCOMPARE(call.get(), 10);
    QCOMPARE(regs[0], std::uint16_t(0x1234));
    QCOMPARE(regs[9], std::uint16_t(0x123D));
}

void TestLibmodbusAgreement::writeMultipleRegisters() {
    PtyPair pty;
    Master m(pty.clientPath);
    QVERIFY(m.ctx);
    const std::uint16_t regs[3] = {0x0071, 0xFFFF, 0x0102};
    auto call = std::async(std::launch::async, [&] { return modbus_write_registers(m.ctx, 0x11, 3, regs); });

    const QByteArray data = QByteArray::fromHex("0071FFFF0102");
    RequestFields f;
    f.slaveAddr = 1;
    f.funcCode = fnWriteMultipleRegisters;
    f.startAddr = 0x11;
    f.regCount = 3;
    f.data = std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(data.constData()), 6);
    QCOMPARE(pty.readFrame().toHex(' '), ourRequest(f).toHex(' '));
    pty.write(framed(QByteArray::fromHex("011000110003")));
    QCOMPARE(call.get(), 3);
}

void TestLibmodbusAgreement::reportSlaveId() {
    PtyPair pty;
    Master m(pty.clientPath);
    QVERIFY(m.ctx);
    std::uint8_t dest[256] = {};
    auto call =
        std::async(std::launch::async, [&] { return modbus_report_slave_id(m.ctx, sizeof dest, dest); });

    RequestFields f;
    f.slaveAddr = 1;
    f.funcCode = fnReportSlaveId;
    QCOMPARE(pty.readFrame().toHex(' '), ourRequest(f).toHex(' '));
    QByteArray body = QByteArray::fromHex("011142") + QByteArray(66, 'T');
    body[3] = char(118);
    pty.write(framed(body));
    QCOMPARE(call.get(), 66);
    QCOMPARE(int(dest[0]), 118);
}

void TestLibmodbusAgreement::exceptionReply() {
    // libmodbus must see our exception frame as the Modbus exception "illegal data address".
    PtyPair pty;
    Master m(pty.clientPath);
    QVERIFY(m.ctx);
    std::uint16_t regs[16] = {};
    auto call = std::async(std::launch::async, [&] {
        const int rc = modbus_read_registers(m.ctx, 0x11, 16, regs);
        return rc == -1 ? errno : 0;
    });
    QVERIFY(!pty.readFrame().isEmpty());
    const QByteArray reply = framed(QByteArray::fromHex("018302"));
    pty.write(reply);
    QCOMPARE(call.get(), int(EMBXILADD));

    ReplyContext ctx{1, fnReadHoldingRegisters, 0, 16, false};
    QCOMPARE(CheckReply(ctx, reinterpret_cast<const std::uint8_t*>(reply.constData()), 5).error,
             ModbusErrorText(2));
}

void TestLibmodbusAgreement::customFunctionsCrc_data() {
    QTest::addColumn<int>("func");
    QTest::addColumn<int>("step");
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("100 step 4") << 100 << 4 << QByteArray::fromHex("00004E20");
    QTest::newRow("101 flag 0") << 101 << 0 << QByteArray::fromHex("00");
    QTest::newRow("102 step 2") << 102 << 2 << QByteArray::fromHex("FFFFD8F0");
    QTest::newRow("77 step 7") << 77 << 7 << QByteArray::fromHex("01020304");
    QTest::newRow("78 flag 1") << 78 << 0 << QByteArray::fromHex("01");
    QTest::newRow("79 mode 1") << 79 << 1 << QByteArray::fromHex("03E8");
    QTest::newRow("7") << 7 << 0 << QByteArray();
}

// libmodbus appends its own CRC to the raw body of the custom functions; the frame must equal ours.
void TestLibmodbusAgreement::customFunctionsCrc() {
    QFETCH(int, func);
    QFETCH(int, step);
    QFETCH(QByteArray, data);
    PtyPair pty;
    Master m(pty.clientPath);
    QVERIFY(m.ctx);

    RequestFields f;
    f.slaveAddr = 1;
    f.funcCode = static_cast<std::uint8_t>(func);
    f.step = static_cast<std::uint8_t>(step);
    f.data = std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(data.constData()),
                                           static_cast<std::size_t>(data.size()));
    const QByteArray ours = ourRequest(f);
    QVERIFY(ours.size() >= 4);
    const QByteArray body = ours.left(ours.size() - 2);
    QVERIFY(modbus_send_raw_request(m.ctx, reinterpret_cast<const std::uint8_t*>(body.constData()),
                                    static_cast<int>(body.size())) > 0);
    QCOMPARE(pty.readFrame().toHex(' '), ours.toHex(' '));
}

QTEST_APPLESS_MAIN(TestLibmodbusAgreement)
#include "tst_libmodbus_agreement.moc"
