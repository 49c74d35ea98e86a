// An independent Modbus RTU master for tests: libmodbus connected to a serial device at 8N2.
#pragma once

#include <QString>
#include <cstdint>
#include <modbus.h>

struct LibmodbusMaster {
    LibmodbusMaster(const QString& path, int rate, int slave, int timeoutSeconds) {
        ctx = modbus_new_rtu(path.toLocal8Bit().constData(), rate, 'N', 8, 2);
        if (!ctx)
            return;
        modbus_set_slave(ctx, slave);
        modbus_set_response_timeout(ctx, std::uint32_t(timeoutSeconds), 0);
        if (modbus_connect(ctx) != 0) {
            modbus_free(ctx);
            ctx = nullptr;
        }
    }
    ~LibmodbusMaster() {
        if (ctx) {
            modbus_close(ctx);
            modbus_free(ctx);
        }
    }
    LibmodbusMaster(const LibmodbusMaster&) = delete;
    LibmodbusMaster& operator=(const LibmodbusMaster&) = delete;

    modbus_t* ctx = nullptr;
};
