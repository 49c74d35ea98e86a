// Register blocks and command frames of the older transducer: the request frames (with their CRC) of
// every exchange and the decoders of the replies. Byte positions count from 0 at the slave address.
#pragma once

#include "Tarvo.h"
#include "TarvoBytes.h"

#include <cstdint>
#include <optional>
#include <span>

namespace tarvo_ts {

// Register blocks.
constexpr std::uint16_t InfoBlockStart = 0x0008;
constexpr std::uint16_t InfoBlockCount = 16;
constexpr std::uint16_t ConfBlockStart = 0x0018;
constexpr std::uint16_t ConfBlockCount = 8;
constexpr std::uint16_t MeasBlockStart = 0x0020;
constexpr std::uint16_t MeasBlockCount = 5;

// Lengths of the replies, address to CRC.
constexpr int IdentReplyLength = 55;
constexpr int ConfReplyLength = 21;
constexpr int MeasReplyLength = 15;
constexpr int WriteReplyLength = 8;
constexpr int CommandReplyLength = 5;

// Characters of the sensor type text that travel (the information block's first 24 bytes).
constexpr int SensorTypeLength = 24;

// One request frame, CRC included.
struct TRequest {
    TExchangeBuffer bytes{};
    int length = 0;
    std::span<const std::uint8_t> frame() const { return {bytes.data(), static_cast<std::size_t>(length)}; }
};

// Identification: address, 0x11 (4 bytes).
TRequest ReadInformationRequest(int address);
// Information write to `d.SlaveID`: registers 0x0008..0x0017 from SensorType, SensorNum, SensorDate
// (41 bytes). Only the first 24 characters of the sensor type text are sent.
TRequest WriteInformationRequest(const TTarvo& d);
// Configuration read: 8 registers from 0x0018 (8 bytes).
TRequest ReadConfigurationRequest(int address);
// Configuration write from `d` to `d.SlaveID`, the address in use, with `newAddress` in register 0x001F,
// the address the transducer takes after this write (25 bytes).
TRequest WriteConfigurationRequest(const TTarvo& d, int newAddress);
// Measurement block read: 5 registers from 0x0020 (8 bytes).
TRequest MeasurementRequest(int address);
// Calibration step (function 0x4D, 9 bytes): steps 0 to 4 four zero bytes; 5 and 6: 0, 0 and
// `currentMicroamperes` in 16 bits (-1 goes out as FF FF); 7: `date` as a four-byte date.
TRequest CalibrationStepRequest(int address, int step, int currentMicroamperes, const QDate& date);
// R0 correction (function 0x4E, 5 bytes): 1 performs it, 0 resets it.
TRequest R0CorrectionRequest(int address, bool perform);
// NSX correction (function 0x4F, 7 bytes): the mode, then round(temperature * 10) in 16 bits.
TRequest NsxCorrectionRequest(int address, int mode, double temperature);

// Decodes a 55-byte identification reply into `d`: SlaveID := address, PLTypeCode, PLType and SensorType
// (trimmed), SensorNum, SensorDate. Returns false when the sensor date was impossible; it is then none.
[[nodiscard]] bool DecodeIdentification(std::span<const std::uint8_t> reply, int address, TTarvo& d);
// Decodes a 21-byte configuration reply into `d`, registers 0x0018 to 0x001E (0x001F is not read).
void DecodeConfiguration(std::span<const std::uint8_t> reply, TTarvo& d);

// A 15-byte measurement reply.
struct TMeasurement {
    double Temperature = 0; // degrees Celsius
    double Resistance = 0;  // ohms
    std::uint8_t DiagCode = 0;
    std::optional<QDate> CalibrDate; // no value: an impossible date ("Неверная дата")
};
TMeasurement DecodeMeasurement(std::span<const std::uint8_t> reply);

// A 5-byte command reply whose function byte is the command's code: the command was carried out.
// Otherwise byte 2 is the refusal code.
bool IsAcknowledgement(std::span<const std::uint8_t> reply, std::uint8_t function);

} // namespace tarvo_ts
