#include "TarvoBlocks.h"

#include "ModbusRtu.h"

#include <cmath>

namespace tarvo_ts {

namespace {

// Frame positions of the configuration write's data bytes.
constexpr int WriteDataStart = 7;

TRequest Build(int address, std::uint8_t function, std::uint16_t start, std::uint16_t count,
               std::span<const std::uint8_t> data, std::uint8_t step = 0) {
    modbus::RequestFields f;
    f.slaveAddr = static_cast<std::uint8_t>(address);
    f.funcCode = function;
    f.step = step;
    f.startAddr = start;
    f.regCount = count;
    f.data = data;
    TRequest r;
    r.length = static_cast<int>(modbus::BuildRequest(f, r.bytes));
    return r;
}

} // namespace

TRequest ReadInformationRequest(int address) {
    return Build(address, modbus::fnReportSlaveId, 0, 0, {});
}

TRequest WriteInformationRequest(const TTarvo& d) {
    // Laid out as frame bytes 7..38: the text first, then the number and the date over its 25th and
    // later characters.
    TExchangeBuffer frame{};
    const std::span<std::uint8_t> block(frame.data(), WriteDataStart + 2 * InfoBlockCount);
    TextToBytes(d.SensorType, block, WriteDataStart);
    // The number's 32 bits as they are: a number read as negative (2147483648 or more on the transducer)
    // goes back unchanged rather than as WriteBE's 16-bit complement.
    WriteBE(block, static_cast<std::uint32_t>(d.SensorNum), 4, WriteDataStart + SensorTypeLength);
    PutDate4(block, WriteDataStart + SensorTypeLength + 4, d.SensorDate);
    return Build(d.SlaveID, modbus::fnWriteMultipleRegisters, InfoBlockStart, InfoBlockCount,
                 block.subspan(WriteDataStart));
}

TRequest ReadConfigurationRequest(int address) {
    return Build(address, modbus::fnReadHoldingRegisters, ConfBlockStart, ConfBlockCount, {});
}

TRequest WriteConfigurationRequest(const TTarvo& d, int newAddress) {
    std::array<std::uint8_t, 2 * ConfBlockCount> data{};
    data[1] = static_cast<std::uint8_t>(d.SensorKind);
    data[3] = d.SensorR0 == 100 ? 1 : d.SensorR0 == 50 ? 2 : 0;
    WriteBE(data, d.BottomTempBound, 2, 4);
    WriteBE(data, d.TopTempBound, 2, 6);
    data[9] = d.DirectLeadOut ? 0 : 1;
    data[11] = static_cast<std::uint8_t>(d.AlarmCur);
    data[13] = AverageToCode(d.Average);
    data[15] = static_cast<std::uint8_t>(newAddress);
    return Build(d.SlaveID, modbus::fnWriteMultipleRegisters, ConfBlockStart, ConfBlockCount, data);
}

TRequest MeasurementRequest(int address) {
    return Build(address, modbus::fnReadHoldingRegisters, MeasBlockStart, MeasBlockCount, {});
}

TRequest CalibrationStepRequest(int address, int step, int currentMicroamperes, const QDate& date) {
    std::array<std::uint8_t, 4> data{};
    if (step == 5 || step == 6)
        WriteBE(data, currentMicroamperes, 2, 2);
    else if (step == 7)
        PutDate4(data, 0, date);
    return Build(address, modbus::fnOldCalibrationStep, 0, 0, data, static_cast<std::uint8_t>(step));
}

TRequest R0CorrectionRequest(int address, bool perform) {
    const std::array<std::uint8_t, 1> data{static_cast<std::uint8_t>(perform ? 1 : 0)};
    return Build(address, modbus::fnOldZeroCorrection, 0, 0, data);
}

TRequest NsxCorrectionRequest(int address, int mode, double temperature) {
    std::array<std::uint8_t, 2> data{};
    WriteBE(data, static_cast<std::int64_t>(std::nearbyint(temperature * 10.0)), 2, 0);
    return Build(address, modbus::fnOldNsxCorrection, 0, 0, data, static_cast<std::uint8_t>(mode));
}

bool DecodeIdentification(std::span<const std::uint8_t> reply, int address, TTarvo& d) {
    d.SlaveID = address;
    d.PLTypeCode = reply.size() > 3 ? reply[3] : 0;
    d.PLType = TrimText(BytesToText(reply, 5, 16));
    d.SensorType = TrimText(BytesToText(reply, 21, SensorTypeLength));
    d.SensorNum = static_cast<std::int32_t>(GetUInt32BE(reply, 45));
    const std::optional<QDate> date = GetDate4(reply, 49);
    d.SensorDate = date.value_or(QDate());
    return date.has_value();
}

void DecodeConfiguration(std::span<const std::uint8_t> reply, TTarvo& d) {
    // Register r's low byte is reply byte 3 + 2 * (r - 0x18) + 1.
    const auto low = [&](int reg) { return GetUInt16BE(reply, 3 + 2 * (reg - ConfBlockStart)) & 0xFF; };
    d.SensorKind = low(0x18);
    if (low(0x19) == 1)
        d.SensorR0 = 100;
    else if (low(0x19) == 2)
        d.SensorR0 = 50;
    d.BottomTempBound = GetInt16BE(reply, 3 + 2 * (0x1A - ConfBlockStart));
    d.TopTempBound = GetInt16BE(reply, 3 + 2 * (0x1B - ConfBlockStart));
    d.DirectLeadOut = low(0x1C) == 0;
    d.AlarmCur = low(0x1D);
    d.Average = AverageFromCode(static_cast<std::uint8_t>(low(0x1E)));
}

TMeasurement DecodeMeasurement(std::span<const std::uint8_t> reply) {
    TMeasurement m;
    m.Temperature = GetInt16BE(reply, 3) / 10.0;
    m.Resistance = GetUInt16BE(reply, 5) / 100.0;
    m.DiagCode = static_cast<std::uint8_t>(GetUInt16BE(reply, 7) & 0xFF);
    m.CalibrDate = GetDate4(reply, 9);
    return m;
}

bool IsAcknowledgement(std::span<const std::uint8_t> reply, std::uint8_t function) {
    return reply.size() > 1 && reply[1] == function;
}

} // namespace tarvo_ts
