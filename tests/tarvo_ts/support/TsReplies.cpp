#include "TsReplies.h"

#include "ModbusRtu.h"

namespace {

void put16(QByteArray& b, int v) {
    b.append(char((v >> 8) & 0xFF));
    b.append(char(v & 0xFF));
}

QByteArray field(const QByteArray& text, int size) {
    QByteArray f = text.left(size);
    f.append(QByteArray(size - f.size(), '\0'));
    return f;
}

} // namespace

QByteArray WithCrc(const QByteArray& body) {
    const auto crc = modbus::Crc16(reinterpret_cast<const std::uint8_t*>(body.constData()), std::size_t(body.size()));
    QByteArray f = body;
    f.append(char(crc & 0xFF));
    f.append(char(crc >> 8));
    return f;
}

QByteArray HexWithCrc(const char* hex) {
    return WithCrc(QByteArray::fromHex(QByteArray(hex).replace(' ', "")));
}

QByteArray IdentReply(int address, int typeCode, const QByteArray& typeText, const QByteArray& sensorText,
                      std::uint32_t sensorNumber, int day, int month, int year) {
    QByteArray b;
    b.append(char(address));
    b.append(char(0x11));
    b.append(char(50));
    b.append(char(typeCode));
    b.append(char(0));
    b.append(field(typeText, 16));
    b.append(field(sensorText, 24));
    put16(b, int(sensorNumber >> 16));
    put16(b, int(sensorNumber & 0xFFFF));
    b.append(char(day));
    b.append(char(month));
    put16(b, year);
    return WithCrc(b);
}

QByteArray ConfReply(int address, int kind, int rcode, int low, int high, int direction, int alarm,
                     int averageCode, int slaveAddress) {
    QByteArray b;
    b.append(char(address));
    b.append(char(3));
    b.append(char(16));
    for (int v : {kind, rcode, low, high, direction, alarm, averageCode, slaveAddress})
        put16(b, v & 0xFFFF);
    return WithCrc(b);
}

QByteArray MeasReply(int address, int temperatureTenths, int resistanceHundredths, int diag, int day,
                     int month, int year) {
    QByteArray b;
    b.append(char(address));
    b.append(char(3));
    b.append(char(10));
    put16(b, temperatureTenths & 0xFFFF);
    put16(b, resistanceHundredths & 0xFFFF);
    put16(b, diag);
    b.append(char(day));
    b.append(char(month));
    put16(b, year);
    return WithCrc(b);
}

QByteArray WriteReply(int address, int function, int start, int count) {
    QByteArray b;
    b.append(char(address));
    b.append(char(function));
    put16(b, start);
    put16(b, count);
    return WithCrc(b);
}

QByteArray ShortReply(int address, int function, int byte2) {
    QByteArray b;
    b.append(char(address));
    b.append(char(function));
    b.append(char(byte2));
    return WithCrc(b);
}
