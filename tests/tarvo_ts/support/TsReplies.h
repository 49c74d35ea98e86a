// Reply frames of an older transducer, laid out by hand from the register tables (not with the
// program's own encoders), with their CRC.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// `body` followed by its CRC-16/MODBUS, low byte first.
QByteArray WithCrc(const QByteArray& body);
// Hex text (blanks allowed) followed by its CRC.
QByteArray HexWithCrc(const char* hex);

// 55-byte identification reply. Texts are given as raw bytes (Windows-1251), padded with zero bytes.
QByteArray IdentReply(int address, int typeCode, const QByteArray& typeText, const QByteArray& sensorText,
                      std::uint32_t sensorNumber, int day, int month, int year);
// 21-byte configuration reply of the raw register values 0x0018..0x001F.
QByteArray ConfReply(int address, int kind, int rcode, int low, int high, int direction, int alarm,
                     int averageCode, int slaveAddress);
// 15-byte measurement reply: temperature * 10, resistance * 100, self-diagnostics code, date.
QByteArray MeasReply(int address, int temperatureTenths, int resistanceHundredths, int diag, int day,
                     int month, int year);
// 8-byte write reply and 5-byte command / exception replies.
QByteArray WriteReply(int address, int function, int start, int count);
QByteArray ShortReply(int address, int function, int byte2);
