// Virtual Tarvo transducers of both generations: request bytes in, reply bytes out, state changed.
// Nothing here touches a port or a clock; the caller passes the time in seconds.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace sim {

using Bytes = std::vector<std::uint8_t>;

// CRC-16/MODBUS, written here again on purpose so that the simulator does not share the programs' frame code.
std::uint16_t Crc16(const std::uint8_t* data, std::size_t n);
void AppendCrc(Bytes& frame);
// True when the frame has at least 4 bytes and ends with the CRC of the bytes before it, low byte first.
bool FrameCrcOk(const Bytes& frame);

// Faults of one transducer, switched while it runs.
struct Faults {
    bool silent = false;        // hears nothing, answers nothing
    bool badCrc = false;        // replies with a corrupted CRC
    int otherAddr = 0;          // > 0: replies carry this address instead of its own
    int truncate = -1;          // >= 0: only the first `truncate` bytes of each reply go out
    int slowPiece = 0;          // > 0: the reply goes out in pieces of this many bytes ...
    int slowPauseMs = 0;        // ... with this pause between them
    int exceptionNext = 0;      // > 0: the next request is answered with this exception code, once
    bool wrongStep = false;     // replies to calibration and correction steps echo another step
    bool adcOutOfRange = false; // the ADC points of a calibration are refused (code 10)

    void clear() { *this = Faults(); }
};

struct Reply {
    Bytes bytes;
    int rate = 0;      // line rate the reply goes out at (the rate the request was heard at)
    int latencyMs = 0; // delay between the end of the request and the first reply byte
    int pieceSize = 0; // > 0: slow pieces
    int pauseMs = 0;
};

struct Date {
    int day = 0, month = 0, year = 0;
    bool valid() const;
    QString toString() const;                              // dd.mm.yyyy, or "none"
    static std::optional<Date> parse(const QString& text); // dd.mm.yyyy or "none" (an empty date)
    bool empty() const { return day == 0 && month == 0 && year == 0; }
};

// Type codes of the two generations.
bool IsNewerType(int typeCode); // 113..118
bool IsOlderType(int typeCode); // 77, 78
bool HasCurrentOutput(int typeCode);
bool HasOutputRangeChoice(int typeCode);
bool HasBaudRateChoice(int typeCode);
// Baud-rate code of the newer transducer (1..7) for a rate, 0 when the rate has none; and back (0 if none).
int BaudCode(int rate);
int RateOfBaudCode(int code);

// One slave on a bus: a transducer or a device of another kind. Request bytes in, reply bytes out.
class Device {
public:
    virtual ~Device() = default;

    // Handles one complete request frame addressed to this device (CRC and address already checked by
    // the bus); returns the reply, or nothing when the device stays silent. `now` is in seconds.
    std::optional<Reply> handle(const Bytes& frame, double now);

    // Named values for the control channel and the bus file. `set` returns an error text, empty on success.
    QString get(const QString& key, double now) const;
    virtual QString set(const QString& key, const QString& value);
    QStringList keys() const;
    bool hasKey(const QString& key) const { return props_.count(key) != 0; }
    // One line "key=value key=value ..." of every value (texts with blanks are quoted).
    QString stateLine(double now) const;

    // What `list` shows in the type column: the type code of a transducer, "foreign" for another device.
    virtual QString kindName() const = 0;
    // Registers as function 3 would read them (any part of one readable block), or nothing outside one.
    virtual std::optional<std::vector<std::uint16_t>> readRegisters(int start, int count,
                                                                    double now) const = 0;

    int address = 1;
    int rate = 9600;
    int latencyMs = 5;
    Faults faults;

protected:
    virtual Bytes answer(const Bytes& frame, double now) = 0;
    Bytes exception(std::uint8_t function, std::uint8_t code) const;
    // Function 3 of 1..125 registers (exception 3 for another count or a bad frame, 2 outside readRegisters).
    Bytes readHolding(const Bytes& frame, double now) const;
    virtual bool rateAllowed(int r) const { return BaudCode(r) != 0; }
    void addLineProps(); // address, rate, latency
    void addIntProp(const QString& key, int* field, int lo, int hi);
    void addTextProp(const QString& key, QByteArray* field, int width);
    void addNumberProp(const QString& key, std::uint32_t* field);
    void addBoolProp(const QString& key, bool* field);
    struct Prop {
        std::function<QString(double)> get;
        std::function<QString(const QString&)> set;
    };
    std::map<QString, Prop> props_;
};

class Transducer : public Device {
public:
    QString kindName() const override { return QString::number(typeCode); }
    virtual bool isOlder() const = 0;
    // Measured temperature at `now` in hundredths of °C, nothing when the transducer has no value.
    std::optional<int> measuredTemperature(double now) const;

    int typeCode = 0;

    // Measurement model: set value + drift * sin(2πt/60 s) + zero correction + NSX correction.
    double setTemperature = 20.0; // °C
    bool temperatureNone = false;
    double drift = 0.0; // °C amplitude
    int zeroOffset = 0; // hundredths of °C
    int nsxOffset = 0;  // hundredths of °C
    bool zeroDone = false;
    bool nsxDone = false;
    bool nsxStarted = false;
    int selfDiag = 0;
    Date calDate;
    int lastCalStep = 0; // last calibration step carried out, 0 = none since the end of a calibration

protected:
    bool rateAllowed(int r) const override { return BaudCode(r) != 0 && (!isOlder() || r == 1200); }
    void addCommonProps();
};

// A Modbus slave of another kind on the same line (a power meter, a controller): holding registers
// `first`..`first + count - 1` read by function 3 and written by 6 and 16, and function 17 in the layout
// most such devices use: byte count, slave id, run indicator (FF on, 00 off), identity text. Every other
// function is answered with exception 1, registers outside the range with exception 2.
class ForeignDevice : public Device {
public:
    ForeignDevice();
    QString kindName() const override { return QStringLiteral("foreign"); }
    std::optional<std::vector<std::uint16_t>> readRegisters(int start, int count, double now) const override;
    // Also "reg N VALUE [VALUE ...]": consecutive registers from N on.
    QString set(const QString& key, const QString& value) override;

    QByteArray identity = "PM-210 power meter"; // single-byte text on the wire
    int slaveId = 42;
    bool running = true;   // run indicator of the function 17 reply
    bool reportsId = true; // false: function 17 is answered with exception 1, as by devices without it
    int first = 0;
    int count = 200;
    std::map<int, std::uint16_t> values; // registers not listed hold 0

    static constexpr int MaxIdentity = 249; // the reply must fit into 256 bytes

protected:
    Bytes answer(const Bytes& frame, double now) override;
    bool inRange(int start, int n) const { return n >= 1 && start >= first && start + n <= first + count; }
};

// Newer generation, type codes 113..118.
class NewerTransducer : public Transducer {
public:
    explicit NewerTransducer(int type);
    bool isOlder() const override { return false; }

    QByteArray fixedName;  // up to 32 single-byte characters
    QByteArray sensorName; // 28 bytes as stored
    std::uint32_t sensorNumber = 0;
    // Configuration registers 49..58.
    int sensorType = 1, connScheme = 4, rangeLow = -50, rangeHigh = 150, inverted = 0, alarm = 1,
        averaging = 0, outRange = 1;
    std::optional<int> rawOverride; // raw value fixed by the control channel
    bool lineNone = false;
    int lineResistance = 1200;     // milliohm
    double bodyTemperature = 30.0; // °C
    int calNumber = 0;

    int rawValue(double now) const;
    bool isResistanceSensor() const { return sensorType >= 1 && sensorType <= 6; }
    std::optional<std::vector<std::uint16_t>> readRegisters(int start, int count, double now) const override;

protected:
    Bytes answer(const Bytes& frame, double now) override;

private:
    Bytes writeRegisters(const Bytes& frame);
    Bytes calibrationStep(const Bytes& frame);
    Bytes zeroCorrection(const Bytes& frame, double now);
    Bytes nsxCorrection(const Bytes& frame, double now);
};

// Older generation, type codes 77 and 78, 1200 bit/s.
class OlderTransducer : public Transducer {
public:
    explicit OlderTransducer(int type);
    bool isOlder() const override { return true; }

    QByteArray typeText;   // 16 bytes
    QByteArray sensorText; // 24 bytes
    std::uint32_t sensorNumber = 0;
    std::uint8_t sensorDate[4] = {1, 1, 0x07, 0xE3};
    // Configuration registers 0x18..0x1E (the address register 0x1F is `address`).
    int kind = 1, rcode = 1, rangeLow = -50, rangeHigh = 150, direction = 0, alarm = 1, averageCode = 0;
    std::optional<int> resistanceOverride; // hundredths of ohm

    int resistanceCenti(double now) const;
    std::optional<std::vector<std::uint16_t>> readRegisters(int start, int count, double now) const override;

protected:
    Bytes answer(const Bytes& frame, double now) override;

private:
    Bytes writeRegisters(const Bytes& frame);
    Bytes calibrationStep(const Bytes& frame);
    Bytes zeroCorrection(const Bytes& frame, double now);
    Bytes nsxCorrection(const Bytes& frame, double now);
    Bytes ack(const Bytes& frame) const;
};

// Makes a transducer of the given type code at the given address and rate with the default values,
// or nothing for an unknown type code.
std::unique_ptr<Transducer> MakeTransducer(int typeCode, int address, int rate);

// Texts are single-byte Windows-1251 on the wire.
QByteArray ToWire(const QString& text, int size); // cut to `size` bytes, zero-filled
QString FromWire(const QByteArray& bytes);        // zero bytes skipped

} // namespace sim
