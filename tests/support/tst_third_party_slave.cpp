// The third-party slave fixture: pymodbus on a socat pty pair, driven by libmodbus as the master.
#include "LibmodbusMaster.h"
#include "ThirdPartySlave.h"

#include <QFileInfo>
#include <QTest>
#include <cerrno>

namespace {

struct Master : LibmodbusMaster {
    Master(const QString& path, int rate, int slave) : LibmodbusMaster(path, rate, slave, 1) {
        if (ctx)
            modbus_set_response_timeout(ctx, 0, 300000); // silence is expected below: keep it short
    }
};

QByteArray Hex(const std::uint8_t* data, int n) {
    return QByteArray(reinterpret_cast<const char*>(data), n).toHex(' ').toUpper();
}

} // namespace

class TestThirdPartySlave : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void registersIdentityAndSilence() {
        ThirdPartySlave::Options o;
        o.registers = {{0, 230}, {49, 100}, {58, 2}};
        ThirdPartySlave slave(o);
        QString error;
        QVERIFY2(slave.start(&error), qPrintable(error));
        const QString port = slave.portPath();
        QVERIFY(QFileInfo(port).isSymLink());
        {
            Master m(port, 19200, 7);
            QVERIFY(m.ctx);
            std::uint16_t regs[10] = {};
            QCOMPARE(modbus_read_registers(m.ctx, 49, 10, regs), 10);
            QCOMPARE(regs[0], std::uint16_t(100));
            QCOMPARE(regs[9], std::uint16_t(2));
            const std::uint16_t config[2] = {0x1234, 0xFFCE};
            QCOMPARE(modbus_write_registers(m.ctx, 51, 2, config), 2);
            QCOMPARE(slave.registers(49, 4), (QList<quint16>{100, 0, 0x1234, 0xFFCE}));
            QCOMPARE(modbus_read_registers(m.ctx, 199, 2, regs), -1);
            QCOMPARE(errno, int(EMBXILADD));

            // Function 17 in pymodbus's layout: byte count, the text, run indicator FF; no slave-id byte.
            const std::uint8_t identify[] = {7, 17};
            QVERIFY(modbus_send_raw_request(m.ctx, identify, sizeof identify) > 0);
            std::uint8_t reply[MODBUS_RTU_MAX_ADU_LENGTH] = {};
            const int n = modbus_receive_confirmation(m.ctx, reply);
            QCOMPARE(Hex(reply, n), QByteArray("07 11 13 50 4D 2D 32 31 30 20 70 6F 77 65 72 20 6D 65 74 65 72 "
                                               "FF 3E 5E"));
            QCOMPARE(slave.functionsHeard(), (QList<int>{3, 16, 3, 17}));
        }
        // Another address, or the right one at another rate: no reply, and nothing reaches its registers.
        QVERIFY(slave.clearLogs());
        for (const auto& [rate, address] : {std::pair{19200, 8}, std::pair{9600, 7}}) {
            Master m(port, rate, address);
            QVERIFY(m.ctx);
            const std::uint16_t v = 1;
            QCOMPARE(modbus_write_registers(m.ctx, 0, 1, &v), -1);
            QCOMPARE(errno, int(ETIMEDOUT));
        }
        QCOMPARE(slave.functionsHeard(), QList<int>());
        QCOMPARE(slave.received().size(), 2 * 11); // both requests did reach its end of the line
        QCOMPARE(slave.registers(0, 1), (QList<quint16>{230}));

        slave.stop();
        QVERIFY(!QFileInfo(port).exists());
        QVERIFY(!QFileInfo::exists(QFileInfo(port).path() + QStringLiteral("/slave")));
        QVERIFY(!slave.registers(0, 1));
    }
};

QTEST_GUILESS_MAIN(TestThirdPartySlave)
#include "tst_third_party_slave.moc"
