// The record of one newer Tarvo transducer as Tarvo_TS_TP knows it, and everything the program knows
// about the transducer's contents: the register blocks and their encodings, the sensor-type table, the
// type codes, the baud-rate codes, the self-diagnostic texts and the calibration instructions.
// Nothing here touches a port or a widget; the window decodes replies and encodes requests with it.
#pragma once

#include "ModbusCommThread.h" // TBaudRate, TModbusAddress

#include <QByteArray>
#include <QDate>
#include <QString>
#include <cstdint>
#include <span>

// ---------------------------------------------------------------------------------------------------
// Register blocks of the transducer (on-wire register numbers) and their sizes.

namespace tarvo {
// Sensor data: stored sensor name and number; read with function 3, written with function 16.
constexpr std::uint16_t SensorDataStart = 17;
constexpr std::uint16_t SensorDataRegs = 16;
constexpr int SensorDataBytes = 32;
// Diagnostic values; read with function 3.
constexpr std::uint16_t DiagDataStart = 33;
constexpr std::uint16_t DiagDataRegs = 12;
constexpr int DiagDataBytes = 24;
// Configuration; read with function 3, written with function 16.
constexpr std::uint16_t ConfigStart = 49;
constexpr std::uint16_t ConfigRegs = 10;
constexpr int ConfigBytes = 20;
// Data of the Report Slave ID reply (function 17).
constexpr int SlaveIdDataBytes = 66;

constexpr int SensorNameBytes = 28; // the stored sensor name on the wire and in the record
constexpr int FixedNameBytes = 32;  // the transducer's own name

// "No value" on the wire for the temperature and the line resistance, and in the record.
constexpr std::uint32_t WireNoValue = 0x0F0F0F0F;
constexpr std::int32_t NoTemperature = -100000;
constexpr std::int32_t NoLineResistance = -1;

constexpr int SensorTypeCount = 11;
constexpr int BaudListCount = 7;
constexpr int SelfDiagCodeCount = 7;
} // namespace tarvo

// ---------------------------------------------------------------------------------------------------
// Byte helpers. Every multi-byte number on the wire is big-endian. Reads outside `buf` give zero bytes,
// so a short reply never makes a decoder read beyond what arrived.

// The signed 16-bit value of a high and a low byte.
std::int16_t MakeInt16(std::uint8_t hi, std::uint8_t lo);
// The signed 16-bit big-endian value at `pos`.
std::int16_t GetInt16BE(std::span<const std::uint8_t> buf, int pos);
// The 32-bit big-endian value at `pos`, as a signed number.
std::int32_t GetInt32BE(std::span<const std::uint8_t> buf, int pos);
// Writes `value` big-endian into `size` bytes (1..8, normally 1, 2 or 4) from `offset` on; a negative
// value goes in as two's complement of that size. Bytes that would fall outside `buf` are not written.
void PutIntBE(std::int64_t value, std::span<std::uint8_t> buf, int offset, int size);
// The Windows-1251 text of `count` bytes from `pos`, zero bytes skipped wherever they stand.
QString BytesToStr(std::span<const std::uint8_t> buf, int pos, int count);

// Windows-1251 text of the transducer's names. A character the code page lacks is sent as '?'.
QByteArray EncodeWin1251(const QString& text);
QString DecodeWin1251(QByteArrayView bytes);
// The character of one byte by the built-in table, which stands in where Qt lacks the code page
// (byte 0x98 has none and gives U+0098, as the platforms' converters do).
char16_t Win1251ToUnicode(std::uint8_t byte);
// `name` cut to its first 28 characters (a surrogate pair is never split).
QString CutSensorName(const QString& name);
// The 28 bytes of the name field: the first 28 bytes of the encoded name, then zero bytes.
QByteArray EncodeSensorName(const QString& name);

// ---------------------------------------------------------------------------------------------------
// Tables.

struct TSensorTypeInfo {
    const char16_t* Name;          // as shown to the user
    bool Thermocouple;             // false: resistance thermometer (the wiring scheme applies)
    std::int32_t LowFrom, LowTo;   // allowed RangeLowLimit, °C, both ends included
    std::int32_t HighFrom, HighTo; // allowed RangeHighLimit
    std::int32_t NsxFrom, NsxTo;   // band in which an NSX correction is refused
};
// Row i describes sensor type i + 1.
extern const TSensorTypeInfo SensorTypes[tarvo::SensorTypeCount];
// The row of a sensor type 1..11, nullptr for any other.
const TSensorTypeInfo* SensorTypeInfo(int sensorType);
// Name of a sensor type; empty outside 1..11.
QString SensorTypeName(int sensorType);
// Types 1..6 are resistance thermometers, 7..11 thermocouples.
bool IsResistanceThermometer(int sensorType);
bool IsThermocouple(int sensorType);

// Allowed ranges of the two range limits; both ends are -273 for a type outside 1..11.
void GetLowLimitRange(int sensorType, std::int32_t& from, std::int32_t& to);
void GetHighLimitRange(int sensorType, std::int32_t& from, std::int32_t& to);
// The band in which an NSX correction is refused; false (and from = to = 0) outside 1..11.
bool GetNsxBand(int sensorType, std::int32_t& from, std::int32_t& to);

// What a transducer type code (TypeId) allows.
bool HasCurrentOutput(std::uint8_t typeId);     // 113, 114, 117, 118
bool HasOutputRangeChoice(std::uint8_t typeId); // 117, 118
bool HasBaudRateChoice(std::uint8_t typeId);    // 115, 116, 118

// The rate lists of the window: texts and rates by list index 0..6; the transducer's baud code
// (configuration register 57) is the list index + 1.
extern const char16_t* const BaudRateTexts[tarvo::BaudListCount];
extern const TBaudRate BaudListRates[tarvo::BaudListCount];
// Rate of a baud code read from the transducer; CBR_9600 for a code outside 1..7.
TBaudRate BaudCodeToRate(int code);
// Baud code 1..7 of a rate of the list; 0 for a rate the list lacks.
int BaudRateToCode(TBaudRate rate);

// Self-diagnostic texts by code 0..6.
extern const char16_t* const SelfDiagTexts[tarvo::SelfDiagCodeCount];
// Text of a self-diagnostic code; empty outside 0..6.
QString SelfDiagText(std::int32_t code);

// ---------------------------------------------------------------------------------------------------
// Decoded blocks.

struct TDiagData {
    std::int32_t Temperature = 0;         // 0.01 °C; NoTemperature = no value
    std::int32_t RawValue = 0;            // milliohm (resistance thermometer) or microvolt (thermocouple)
    std::int32_t RLineForTS = 0;          // milliohm; NoLineResistance = no value
    std::int32_t TarvoDeviceBodyTemp = 0; // 0.01 °C
    std::int32_t SelfDiagCode = 0;        // 0..6
    std::uint16_t CalibrationNumber = 0;
    std::uint8_t CalibrationDate_Day = 0; // 0 = never calibrated
    std::uint8_t CalibrationDate_Month = 0;
    std::uint16_t CalibrationDate_Year = 0;

    friend bool operator==(const TDiagData&, const TDiagData&) = default;
};

// The configuration block (registers 49..58) as read or as to be written.
struct TConfigBlock {
    std::uint8_t SensorType = 0;
    std::uint8_t ConnScheme = 0;
    std::int32_t RangeLowLimit = 0;  // written as signed 16-bit
    std::int32_t RangeHighLimit = 0; // written as signed 16-bit
    bool InvertedOut = false;
    std::uint8_t AlarmSignalValue = 0;
    std::uint8_t AveragingTime = 0;
    std::uint16_t SlaveAddr = 0; // register 56
    std::uint16_t BaudCode = 0;  // register 57; BaudCodeToRate gives the rate
    std::uint8_t OutSignalRange = 0;

    friend bool operator==(const TConfigBlock&, const TConfigBlock&) = default;
};

// Decoders take the data bytes of a reply (what arrived); missing bytes read as zero and the result is
// false when the block was incomplete.
bool DecodeDiagData(std::span<const std::uint8_t> data, TDiagData& out);
bool DecodeConfigBlock(std::span<const std::uint8_t> data, TConfigBlock& out);
// Writes the 20 bytes of the block; false (nothing written) when `out` is shorter.
bool EncodeConfigBlock(const TConfigBlock& block, std::span<std::uint8_t> out);
// Writes the 32 bytes of the sensor-data block; false (nothing written) when `out` is shorter.
bool EncodeSensorData(const QString& name, std::uint32_t number, std::span<std::uint8_t> out);
// Day, month, year high byte, year low byte of a calibration date (4 bytes).
bool EncodeCalibrationDate(const QDate& date, std::span<std::uint8_t> out);
// A temperature in °C as hundredths, rounded to the nearest (ties to the even one) and kept within
// the signed 32-bit range.
std::int32_t TemperatureToHundredths(double degrees);

// ---------------------------------------------------------------------------------------------------
// The record.

class TTarvoDevice {
public:
    TTarvoDevice();
    ~TTarvoDevice();

    // The sensor name stored in the transducer; writing keeps the first 28 characters.
    QString StoredSensorName() const { return FStoredSensorName; }
    void SetStoredSensorName(const QString& name);

    QString ComPortName; // system name of the port on which the transducer answers
    TBaudRate Baudrate = CBR_9600;
    TBaudRate NewBaudrate = CBR_9600; // equals Baudrate when no change is pending
    TModbusAddress ModbusAddr = 1;
    TModbusAddress NewAddr = 1; // address requested by a configuration write
    std::uint8_t TypeId = 0;
    QString FixedName; // the transducer's own name, 32 characters at most
    std::uint32_t StoredSensorNumber = 0;
    std::uint8_t SensorType = 0; // 1..11
    std::uint8_t ConnScheme = 0; // 3 or 4 wires
    std::int32_t RangeLowLimit = 0;
    std::int32_t RangeHighLimit = 0;
    bool InvertedOut = false;
    std::uint8_t AlarmSignalValue = 0; // 1 = 3.2 mA, 2 = 3.6, 3 = 21, 4 = 22, 5 = 5.5 mA
    std::uint8_t AveragingTime = 0;    // seconds, 0 = off
    std::uint8_t OutSignalRange = 0;   // 1 = 4-20 mA, 2 = 0-5 mA, 3 = 0-20 mA
    TDiagData DiagData;
    std::int32_t CalibrStep = 0; // 0 = not calibrating, 1..5

    // Identification (Report Slave ID data): TypeId, FixedName, stored sensor name and number.
    bool DecodeSlaveId(std::span<const std::uint8_t> data);
    // Sensor-data block: stored sensor name and number.
    bool DecodeSensorData(std::span<const std::uint8_t> data);
    // The sensor-data block of the record's own name and number.
    bool EncodeSensorData(std::span<std::uint8_t> out) const;
    // Takes sensor type, wiring, range limits, direction, alarm current, averaging and output range of a
    // configuration block (not its address and baud code).
    void ApplyConfig(const TConfigBlock& block);
    // The block that writes the record back unchanged (address ModbusAddr, the baud code of Baudrate,
    // 9600 for a rate the list lacks).
    TConfigBlock ConfigBlock() const;

    // The instruction text for the current CalibrStep.
    QString GetCalibrMessage() const;
    // True when an NSX correction may be done at `aTemp` (0.01 °C); otherwise shows the reason in an
    // error box and answers false.
    bool TempCheckForNSXCorrection(std::int32_t aTemp) const;

private:
    QString FStoredSensorName;
};
