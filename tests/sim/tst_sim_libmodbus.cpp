// An independent Modbus RTU master (libmodbus) reads and writes the simulator's registers over its pty.
#include "LibmodbusMaster.h"
#include "SimFixture.h"

#include <QTest>
#include <cerrno>

namespace {

struct Master : LibmodbusMaster {
    Master(const QString& path, int rate, int slave) : LibmodbusMaster(path, rate, slave, 2) {}
};

} // namespace

class TestSimLibmodbus : public QObject {
    Q_OBJECT
private:
    SimFixture sim;

private Q_SLOTS:
    void initTestCase() {
        QString error;
        QVERIFY2(sim.start(&error), qPrintable(error));
    }

    void newerRegisters() {
        Master m(sim.portPath(0), 19200, 1);
        QVERIFY(m.ctx);
        std::uint16_t regs[16] = {};
        QCOMPARE(modbus_read_registers(m.ctx, 49, 10, regs), 10);
        QCOMPARE(regs[0], std::uint16_t(1));      // sensor type
        QCOMPARE(regs[2], std::uint16_t(0xFFCE)); // -50 °C
        QCOMPARE(regs[7], std::uint16_t(1));      // address
        QCOMPARE(regs[8], std::uint16_t(5));      // 19200 bit/s

        // Sensor data written by the master arrive in the transducer.
        std::uint16_t sensor[16] = {0x5074, 0x3130, 0x3000}; // "Pt100"
        sensor[14] = 0x0001;
        sensor[15] = 0xE240; // 123456
        QCOMPARE(modbus_write_registers(m.ctx, 17, 16, sensor), 16);
        QCOMPARE(sim.command(QStringLiteral("get 0:1 sensorname")), QStringLiteral("ok Pt100"));
        QCOMPARE(sim.command(QStringLiteral("get 0:1 sensornumber")), QStringLiteral("ok 123456"));
        QCOMPARE(modbus_read_registers(m.ctx, 17, 16, regs), 16);
        QCOMPARE(regs[0], std::uint16_t(0x5074));
        QCOMPARE(regs[15], std::uint16_t(0xE240));

        // Refusals come back as the standard exceptions.
        QCOMPARE(modbus_read_registers(m.ctx, 45, 2, regs), -1);
        QCOMPARE(errno, int(EMBXILADD));
        const std::uint16_t badType = 12;
        QCOMPARE(modbus_write_registers(m.ctx, 49, 1, &badType), -1);
        QCOMPARE(errno, int(EMBXILVAL));

        std::uint8_t id[256] = {};
        QCOMPARE(modbus_report_slave_id(m.ctx, sizeof id, id), 66);
        QCOMPARE(int(id[0]), 118);

        // The transducer's own function 100, step 5: the calibration date.
        const std::uint8_t step5[] = {1, 100, 5, 5, 3, 0x07, 0xE4};
        QVERIFY(modbus_send_raw_request(m.ctx, step5, sizeof step5) > 0);
        std::uint8_t reply[MODBUS_RTU_MAX_ADU_LENGTH] = {};
        QCOMPARE(modbus_receive_confirmation(m.ctx, reply), 5);
        QCOMPARE(int(reply[2]), 5);
        QCOMPARE(sim.command(QStringLiteral("get 0:1 caldate")), QStringLiteral("ok 05.03.2020"));
    }

    void olderRegisters() {
        Master m(sim.portPath(1), 1200, 3);
        QVERIFY(m.ctx);
        QCOMPARE(sim.command(QStringLiteral("set 1:3 drift 0")), QStringLiteral("ok"));
        QCOMPARE(sim.command(QStringLiteral("set 1:3 temp -12.3")), QStringLiteral("ok"));
        std::uint16_t regs[8] = {};
        QCOMPARE(modbus_read_registers(m.ctx, 0x20, 5, regs), 5);
        QCOMPARE(regs[0], std::uint16_t(0xFF85)); // -12.3 °C × 10
        const std::uint16_t config[8] = {3, 2, std::uint16_t(-100), 200, 1, 2, 10, 3};
        QCOMPARE(modbus_write_registers(m.ctx, 0x18, 8, config), 8);
        QCOMPARE(modbus_read_registers(m.ctx, 0x18, 8, regs), 8);
        for (int i = 0; i < 8; ++i)
            QCOMPARE(regs[i], config[i]);
        std::uint8_t id[256] = {};
        QCOMPARE(modbus_report_slave_id(m.ctx, sizeof id, id), 50);
        QCOMPARE(int(id[0]), 77);
    }
};

QTEST_GUILESS_MAIN(TestSimLibmodbus)
#include "tst_sim_libmodbus.moc"
