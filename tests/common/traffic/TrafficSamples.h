// Exchanges for the tests of the traffic list and its dock: reads of one register whose start address
// carries a serial number, so every frame can be told apart.
#pragma once

#include "TrafficDecoder.h"

#include <QDateTime>

namespace traffic::samples {

inline TTrafficExchange ReadOf(int serial, std::uint8_t addr = 1, std::uint8_t fn = 3,
                               TOutcome outcome = TOutcome::Ok) {
    TTrafficExchange e;
    e.slaveAddr = addr;
    e.funcCode = fn;
    QByteArray req;
    req.append(char(addr)).append(char(fn)).append(char(serial >> 8)).append(char(serial & 0xFF));
    req.append(char(0)).append(char(1));
    e.request = modbus::WithCrc(req);
    if (outcome != TOutcome::NoReply) {
        QByteArray rep;
        rep.append(char(addr)).append(char(fn)).append(char(2)).append(char(serial >> 8)).append(char(serial));
        e.reply = modbus::WithCrc(rep);
    }
    e.outcome = outcome;
    e.sentUs = 1'000'000 + qint64(serial) * 1000;
    e.endUs = e.sentUs + 4200;
    e.anchorUs = 1'000'000;
    e.anchorWallMs = QDateTime(QDate(2026, 1, 2), QTime(10, 0)).toMSecsSinceEpoch();
    return e;
}

// The serial number a row's frame carries.
inline int SerialOf(const TTrafficRow& r) {
    const int at = r.direction == TDirection::Reply ? 3 : 2;
    return (std::uint8_t(r.bytes[at]) << 8) | std::uint8_t(r.bytes[at + 1]);
}

} // namespace traffic::samples
