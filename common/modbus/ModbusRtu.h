// Modbus RTU frames of both configurators: CRC, request frames, the reply checks of the newer
// configurator and the device error texts of both. Nothing here touches a port.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <span>

namespace modbus {

// Transaction buffer of the link; every request and reply fits into it.
constexpr std::size_t FrameBufferSize = 2048;
// Data buffer of one query of the newer configurator.
constexpr std::size_t QueryBufferSize = 257;
// Largest byte-count field accepted in a reply.
constexpr int MaxReplyByteCount = 251;
// Highest slave address; 0 (broadcast) is never used.
constexpr std::uint8_t MaxSlaveAddress = 247;

enum Function : std::uint8_t {
    fnReadHoldingRegisters = 3,
    fnReadExceptionStatus = 7,
    fnWriteMultipleRegisters = 16,
    fnReportSlaveId = 17,
    fnCalibrationStep = 100,   // newer transducer
    fnZeroCorrection = 101,    // newer transducer
    fnNsxCorrection = 102,     // newer transducer
    fnOldCalibrationStep = 77, // older transducer
    fnOldZeroCorrection = 78,  // older transducer
    fnOldNsxCorrection = 79,   // older transducer
};

// CRC-16/MODBUS of `n` bytes (register starts at 0xFFFF, polynomial 0xA001 reflected).
std::uint16_t Crc16(const std::uint8_t* data, std::size_t n);
inline std::uint16_t Crc16(std::span<const std::uint8_t> data) {
    return Crc16(data.data(), data.size());
}

// Writes the CRC of bytes 0..count-1 to bytes count (low byte) and count+1 (high byte).
// `buf` must hold count + 2 bytes.
void AddModbusCRC(std::uint8_t* buf, std::uint16_t count);
// True when bytes count and count+1 hold the CRC of bytes 0..count-1 (low byte first).
// `buf` must hold count + 2 bytes.
bool CheckModbusCRC(const std::uint8_t* buf, std::uint16_t count);

// `body` followed by its CRC, low byte first.
QByteArray WithCrc(const QByteArray& body);

// The fields of one request. `data` is the query's data area:
//  - fn 16: the register values, 2 * regCount bytes;
//  - fn 100, 102, 77: four data bytes after the step byte `step`;
//  - fn 101, 78: data[0] is the flag;
//  - fn 79: `step` is the mode byte, data[0..1] the 16-bit value.
struct RequestFields {
    std::uint8_t slaveAddr = 0;
    std::uint8_t funcCode = 0;
    std::uint8_t step = 0;
    std::uint16_t startAddr = 0;
    std::uint16_t regCount = 0;
    std::span<const std::uint8_t> data;
};

// Builds the request frame with its CRC into `out`. Returns the frame length, or 0 when the function
// is not one of the ten above, the data area is too short for it, or the frame does not fit `out`.
std::size_t BuildRequest(const RequestFields& req, std::span<std::uint8_t> out);

// Length of the normal reply of the newer configurator (fn 3: 2 * regCount + 5; 7: 5; 16: 8; 17: 71;
// 100, 101, 102: 5); 0 for any other function.
int ExpectedReplyLength(std::uint8_t funcCode, std::uint16_t regCount);
// Length of the reply the older configurator waits for (fn 3: 2 * regCount + 5; 16: 8; 17: 55;
// 77, 78, 79: 5); 0 for any other function.
int ExpectedReplyLengthOld(std::uint8_t funcCode, std::uint16_t regCount);

// Short name of a function of the newer configurator (3, 7, 16, 17, 100, 101, 102) for lists of frames;
// empty for a code it does not use.
QString FunctionName(std::uint8_t funcCode);
// The same for the older configurator (3, 16, 17, 77, 78, 79), in its own words.
QString FunctionNameOld(std::uint8_t funcCode);

// Outcome of the reply checks of the newer configurator.
struct ReplyCheck {
    enum Status {
        Ok,
        Failed,          // `error` holds the text
        AddressMismatch, // a reply came from another slave; the rules give no text for it
    };
    Status status = Failed;
    QString error;
    // fn 3 and 17: the data bytes are reply[dataOffset .. dataOffset + dataLength - 1].
    int dataOffset = 0;
    int dataLength = 0;
    // fn 16: register count echoed in bytes 4-5.
    std::uint16_t regCount = 0;
    // fn 7: status byte; fn 101: result value; fn 100 and 102: the echoed step.
    std::uint8_t value = 0;

    bool ok() const { return status == Ok; }
};

// The fields of the request a reply is checked against.
struct ReplyContext {
    std::uint8_t slaveAddr = 0;
    std::uint8_t funcCode = 0;
    std::uint8_t step = 0;
    std::uint16_t regCount = 0;
    // The request changes the slave's own address: replies to fn 3 and 16 may come from any address.
    bool isChangeSlaveAddr = false;
};

// Checks the `n` bytes received for a request, in the order the configurator relies on
// (n < 0: the port read failed). Never reads beyond reply[0 .. n-1]; success requires a good CRC,
// the right function byte, the address rule met and a byte count that fits what arrived.
ReplyCheck CheckReply(const ReplyContext& ctx, const std::uint8_t* reply, int n);

// Texts of the reply checks.
namespace text {
inline const QString PortNotAvailable = QStringLiteral("Порт не доступен");
inline const QString ReplyTimeout = QStringLiteral("Превышен таймаут ожидания ответа");
inline const QString CrcError = QStringLiteral("Ошибка CRC ответного сообщения");
inline const QString WrongFunction = QStringLiteral("Неверный код функции в ответном сообщении");
inline const QString WrongFormat = QStringLiteral("Неверный формат ответного сообщения");
inline const QString WrongLength = QStringLiteral("Недопустимая длина ответного сообщения");
inline const QString WrongCalibrStep =
    QStringLiteral("Преобразователь вернул неверный порядковый номер этапа калибровки");
inline const QString WrongNsxStep = QStringLiteral("Неверный порядковый номер этапа подстройки НСХ");
inline const QString WrongDataValue = QStringLiteral("Неверное значение поля данных");
} // namespace text

// Text of an exception or refusal code returned by a newer transducer.
QString ModbusErrorText(std::uint8_t code);

// Device error codes of the older transducer and their texts.
enum TErrCode : std::uint8_t {
    ecUnknownCommand = 1,
    ecBadRegister = 2,
    ecBadRequest = 3,
    ecAdcOutOfRange = 10,
    ecBadRequestData = 11,
    ecZeroDeviation = 12,
    ecZeroDone = 13,
    ecNsxDone = 14,
    ecNsxOutOfRange = 15,
    ecNsxDeviation = 16,
};

struct DeviceErrorEntry {
    TErrCode code;
    const char16_t* text;
};
// The ten entries of the older configurator's table.
extern const DeviceErrorEntry DeviceErrors[10];
// Text of an older transducer's error code; empty for a code not in the table.
QString DeviceErrorText(std::uint8_t code);

} // namespace modbus
