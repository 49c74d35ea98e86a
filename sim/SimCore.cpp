#include "SimCore.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <cmath>
#include <numbers>

namespace sim {

namespace {

std::uint16_t U16(const Bytes& f, std::size_t p) {
    return std::uint16_t((f[p] << 8) | f[p + 1]);
}
std::int32_t I32(const Bytes& f, std::size_t p) {
    return std::int32_t(std::uint32_t(f[p]) << 24 | std::uint32_t(f[p + 1]) << 16 |
                        std::uint32_t(f[p + 2]) << 8 | f[p + 3]);
}
void Put16(Bytes& f, int v) {
    f.push_back(std::uint8_t((v >> 8) & 0xFF));
    f.push_back(std::uint8_t(v & 0xFF));
}
void Put32(Bytes& f, std::int64_t v) {
    const auto u = std::uint32_t(v);
    f.push_back(std::uint8_t(u >> 24));
    f.push_back(std::uint8_t(u >> 16));
    f.push_back(std::uint8_t(u >> 8));
    f.push_back(std::uint8_t(u));
}
int Signed16(std::uint16_t v) {
    return v >= 0x8000 ? int(v) - 0x10000 : int(v);
}

Bytes RegisterReply(std::uint8_t addr, const std::vector<std::uint16_t>& regs) {
    Bytes r{addr, 3, std::uint8_t(regs.size() * 2)};
    for (auto v : regs)
        Put16(r, v);
    return r;
}

// Allowed range-limit values per sensor type of the newer generation, and its NSX refusal band (°C).
struct SensorRow {
    int lowFrom, lowTo, highFrom, highTo, nsxLow, nsxHigh;
    double alpha;  // resistance thermometers: temperature coefficient
    int r0;        // nominal resistance, ohm (0: thermocouple)
    double uvPerC; // thermocouples: EMF slope, microvolt per °C
};
const SensorRow SensorTable[11] = {
    {-200, 575, -175, 600, -20, 20, 0.00391, 100, 0}, {-200, 575, -175, 600, -20, 20, 0.00391, 50, 0},
    {-200, 575, -175, 600, -20, 20, 0.00385, 100, 0}, {-200, 575, -175, 600, -20, 20, 0.00385, 50, 0},
    {-100, 175, -75, 200, -20, 20, 0.00428, 100, 0},  {-100, 175, -75, 200, -20, 20, 0.00428, 50, 0},
    {-100, 1270, 0, 1370, -55, 90, 0, 0, 41.0},       {-100, 700, 0, 800, -55, 90, 0, 0, 64.0},
    {-100, 1100, 0, 1200, -55, 90, 0, 0, 52.0},       {0, 1300, 400, 1700, -20, 360, 0, 0, 9.0},
    {300, 1400, 700, 1800, 270, 630, 0, 0, 7.0},
};

const SensorRow* Row(int sensorType) {
    return sensorType >= 1 && sensorType <= 11 ? &SensorTable[sensorType - 1] : nullptr;
}

bool DateBytesValid(int day, int month, int year) {
    return Date{day, month, year}.valid();
}

QString Quote(const QString& s) {
    if (!s.isEmpty() && !s.contains(QLatin1Char(' ')) && !s.contains(QLatin1Char('"')))
        return s;
    QString q = s;
    q.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

// NaN and infinities are no measured values.
double FiniteDouble(const QString& v, bool* ok) {
    const double d = v.trimmed().toDouble(ok);
    if (*ok && !std::isfinite(d))
        *ok = false;
    return d;
}

std::optional<int> ParseInt(const QString& v) {
    bool ok = false;
    const qlonglong n = v.trimmed().toLongLong(&ok, 0);
    if (!ok || n < INT32_MIN || n > INT32_MAX)
        return std::nullopt;
    return int(n);
}

} // namespace

std::uint16_t Crc16(const std::uint8_t* data, std::size_t n) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int b = 0; b < 8; ++b)
            crc = (crc & 1) ? std::uint16_t((crc >> 1) ^ 0xA001) : std::uint16_t(crc >> 1);
    }
    return crc;
}

void AppendCrc(Bytes& frame) {
    const auto crc = Crc16(frame.data(), frame.size());
    frame.push_back(std::uint8_t(crc & 0xFF));
    frame.push_back(std::uint8_t(crc >> 8));
}

bool FrameCrcOk(const Bytes& frame) {
    if (frame.size() < 4)
        return false;
    const auto crc = Crc16(frame.data(), frame.size() - 2);
    return frame[frame.size() - 2] == (crc & 0xFF) && frame[frame.size() - 1] == (crc >> 8);
}

bool Date::valid() const {
    if (month < 1 || month > 12 || day < 1 || year < 1 || year > 9999)
        return false;
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= days[month - 1] + ((month == 2 && leap) ? 1 : 0);
}

QString Date::toString() const {
    if (empty())
        return QStringLiteral("none");
    return QStringLiteral("%1.%2.%3")
        .arg(day, 2, 10, QLatin1Char('0'))
        .arg(month, 2, 10, QLatin1Char('0'))
        .arg(year, 4, 10, QLatin1Char('0'));
}

std::optional<Date> Date::parse(const QString& text) {
    if (text == QLatin1String("none"))
        return Date{};
    const auto parts = text.split(QLatin1Char('.'));
    if (parts.size() != 3)
        return std::nullopt;
    Date d;
    bool ok1 = false, ok2 = false, ok3 = false;
    d.day = parts[0].toInt(&ok1);
    d.month = parts[1].toInt(&ok2);
    d.year = parts[2].toInt(&ok3);
    if (!ok1 || !ok2 || !ok3 || !d.valid())
        return std::nullopt;
    return d;
}

bool IsNewerType(int t) {
    return t >= 113 && t <= 118;
}
bool IsOlderType(int t) {
    return t == 77 || t == 78;
}
bool HasCurrentOutput(int t) {
    return t == 113 || t == 114 || t == 117 || t == 118;
}
bool HasOutputRangeChoice(int t) {
    return t == 117 || t == 118;
}
bool HasBaudRateChoice(int t) {
    return t == 115 || t == 116 || t == 118;
}

int BaudCode(int rate) {
    static const int rates[7] = {1200, 2400, 4800, 9600, 19200, 38400, 57600};
    for (int i = 0; i < 7; ++i)
        if (rates[i] == rate)
            return i + 1;
    return 0;
}

int RateOfBaudCode(int code) {
    static const int rates[7] = {1200, 2400, 4800, 9600, 19200, 38400, 57600};
    return code >= 1 && code <= 7 ? rates[code - 1] : 0;
}

QByteArray ToWire(const QString& text, int size) {
    QStringEncoder enc("windows-1251");
    QByteArray b = enc.encode(text);
    b.truncate(size);
    b.append(QByteArray(size - b.size(), '\0'));
    return b;
}

QString FromWire(const QByteArray& bytes) {
    QByteArray b = bytes;
    b.replace('\0', QByteArray());
    QStringDecoder dec("windows-1251");
    return dec.decode(b);
}

// ---------------------------------------------------------------------------------------------------------
// Every device

std::optional<Reply> Device::handle(const Bytes& frame, double now) {
    if (faults.silent || frame.size() < 4)
        return std::nullopt;
    Reply reply;
    reply.rate = rate;
    reply.latencyMs = latencyMs;
    const Bytes body(frame.begin(), frame.end() - 2);
    if (faults.exceptionNext > 0) {
        reply.bytes = exception(body[1], std::uint8_t(faults.exceptionNext));
        faults.exceptionNext = 0;
    } else {
        reply.bytes = answer(body, now);
    }
    if (reply.bytes.empty())
        return std::nullopt;
    Bytes& r = reply.bytes;
    const std::uint8_t fn = r[1];
    const bool stepEcho = fn == 100 || fn == 102 || fn == 0x4D || fn == 0x4F;
    if (faults.wrongStep && stepEcho && r.size() == 3)
        r[2] = std::uint8_t(r[2] + 1);
    if (faults.otherAddr > 0)
        r[0] = std::uint8_t(faults.otherAddr);
    AppendCrc(r);
    if (faults.badCrc)
        r.back() ^= 0x5A;
    if (faults.truncate >= 0 && std::size_t(faults.truncate) < r.size())
        r.resize(std::size_t(faults.truncate));
    if (faults.slowPiece > 0) {
        reply.pieceSize = faults.slowPiece;
        reply.pauseMs = faults.slowPauseMs;
    }
    return reply;
}

Bytes Device::exception(std::uint8_t function, std::uint8_t code) const {
    return Bytes{std::uint8_t(address), std::uint8_t(function | 0x80), code};
}

Bytes Device::readHolding(const Bytes& f, double now) const {
    if (f.size() != 6)
        return exception(3, 3);
    const int start = U16(f, 2), count = U16(f, 4);
    if (count < 1 || count > 125)
        return exception(3, 3);
    const auto regs = readRegisters(start, count, now);
    if (!regs)
        return exception(3, 2);
    return RegisterReply(std::uint8_t(address), *regs);
}

std::optional<int> Transducer::measuredTemperature(double now) const {
    if (temperatureNone)
        return std::nullopt;
    const double t = setTemperature + drift * std::sin(2 * std::numbers::pi * now / 60.0);
    return int(std::lround(t * 100)) + zeroOffset + nsxOffset;
}

QString Device::get(const QString& key, double now) const {
    const auto it = props_.find(key);
    return it == props_.end() ? QString() : it->second.get(now);
}

QString Device::set(const QString& key, const QString& value) {
    const auto it = props_.find(key);
    if (it == props_.end())
        return QStringLiteral("unknown value '%1' (known: %2)").arg(key, keys().join(QLatin1Char(' ')));
    if (!it->second.set)
        return QStringLiteral("'%1' is read only").arg(key);
    return it->second.set(value);
}

QStringList Device::keys() const {
    QStringList k;
    for (const auto& p : props_)
        k << p.first;
    return k;
}

QString Device::stateLine(double now) const {
    QStringList parts;
    for (const auto& p : props_)
        parts << p.first + QLatin1Char('=') + Quote(p.second.get(now));
    return parts.join(QLatin1Char(' '));
}

void Device::addLineProps() {
    addIntProp(QStringLiteral("address"), &address, 1, 247);
    props_[QStringLiteral("rate")] = Prop{[this](double) { return QString::number(rate); },
                                          [this](const QString& v) {
                                              const auto n = ParseInt(v);
                                              if (!n || !rateAllowed(*n))
                                                  return QStringLiteral("rate '%1' is not one of the "
                                                                        "device's rates")
                                                      .arg(v);
                                              rate = *n;
                                              return QString();
                                          }};
    addIntProp(QStringLiteral("latency"), &latencyMs, 0, 10000);
}

void Device::addIntProp(const QString& key, int* field, int lo, int hi) {
    props_[key] = Prop{[field](double) { return QString::number(*field); },
                       [field, lo, hi, key](const QString& v) {
                           const auto n = ParseInt(v);
                           if (!n || *n < lo || *n > hi)
                               return QStringLiteral("%1 must be a whole number from %2 to %3, not '%4'")
                                   .arg(key)
                                   .arg(lo)
                                   .arg(hi)
                                   .arg(v);
                           *field = *n;
                           return QString();
                       }};
}

void Device::addTextProp(const QString& key, QByteArray* field, int width) {
    props_[key] = Prop{[field](double) { return FromWire(*field); },
                       [field, width](const QString& v) {
                           *field = ToWire(v, width);
                           return QString();
                       }};
}

void Device::addNumberProp(const QString& key, std::uint32_t* field) {
    props_[key] = Prop{[field](double) { return QString::number(*field); },
                       [field, key](const QString& v) {
                           bool ok = false;
                           const qulonglong n = v.toULongLong(&ok);
                           if (!ok || n > 0xFFFFFFFFull)
                               return QStringLiteral("%1 must be 0..4294967295, not '%2'").arg(key, v);
                           *field = std::uint32_t(n);
                           return QString();
                       }};
}

void Device::addBoolProp(const QString& key, bool* field) {
    props_[key] =
        Prop{[field](double) { return QString::fromLatin1(*field ? "1" : "0"); },
             [field, key](const QString& v) {
                 if (v == QLatin1String("1") || v == QLatin1String("on") || v == QLatin1String("true"))
                     *field = true;
                 else if (v == QLatin1String("0") || v == QLatin1String("off") || v == QLatin1String("false"))
                     *field = false;
                 else
                     return QStringLiteral("%1 must be 0 or 1, not '%2'").arg(key, v);
                 return QString();
             }};
}

void Transducer::addCommonProps() {
    props_[QStringLiteral("type")] = Prop{[this](double) { return QString::number(typeCode); }, {}};
    addLineProps();
    props_[QStringLiteral("temp")] =
        Prop{[this](double now) {
                 const auto t = measuredTemperature(now);
                 return t ? QString::number(*t / 100.0, 'f', 2) : QStringLiteral("none");
             },
             [this](const QString& v) {
                 if (v == QLatin1String("none")) {
                     temperatureNone = true;
                     return QString();
                 }
                 bool ok = false;
                 const double d = FiniteDouble(v, &ok);
                 if (!ok || d < -300 || d > 2000)
                     return QStringLiteral("temp must be °C from -300 to 2000 or none, not '%1'").arg(v);
                 // The value set is what the transducer measures from now on, corrections included.
                 setTemperature = d - (zeroOffset + nsxOffset) / 100.0;
                 temperatureNone = false;
                 return QString();
             }};
    props_[QStringLiteral("drift")] = Prop{[this](double) { return QString::number(drift); },
                                           [this](const QString& v) {
                                               bool ok = false;
                                               const double d = FiniteDouble(v, &ok);
                                               if (!ok || d < 0 || d > 100)
                                                   return QStringLiteral("drift must be °C from 0 to 100, "
                                                                         "not '%1'")
                                                       .arg(v);
                                               drift = d;
                                               return QString();
                                           }};
    addIntProp(QStringLiteral("zerooffset"), &zeroOffset, -100000, 100000);
    addIntProp(QStringLiteral("nsxoffset"), &nsxOffset, -100000, 100000);
    addBoolProp(QStringLiteral("zerodone"), &zeroDone);
    addBoolProp(QStringLiteral("nsxdone"), &nsxDone);
    addBoolProp(QStringLiteral("nsxstarted"), &nsxStarted);
    addIntProp(QStringLiteral("diag"), &selfDiag, 0, 255);
    props_[QStringLiteral("caldate")] = Prop{[this](double) { return calDate.toString(); },
                                             [this](const QString& v) {
                                                 const auto d = Date::parse(v);
                                                 if (!d)
                                                     return QStringLiteral("caldate must be dd.mm.yyyy or "
                                                                           "none, not '%1'")
                                                         .arg(v);
                                                 calDate = *d;
                                                 return QString();
                                             }};
    props_[QStringLiteral("calstep")] = Prop{[this](double) { return QString::number(lastCalStep); }, {}};
}

// ---------------------------------------------------------------------------------------------------------
// Newer generation

NewerTransducer::NewerTransducer(int type) {
    typeCode = type;
    rate = HasBaudRateChoice(type) ? 19200 : 9600;
    fixedName = ToWire(QStringLiteral("Tarvo ТС-ТП-%1").arg(type), 32);
    sensorName = ToWire(QString(), 28);
    if (!HasCurrentOutput(type)) {
        sensorType = 7; // the thermocouple model of the range without current output
        connScheme = 4;
        rangeLow = 0;
        rangeHigh = 600;
    } else {
        connScheme = 3;
    }
    calDate = Date{15, 3, 2019};
    calNumber = 1;
    addCommonProps();
    addTextProp(QStringLiteral("name"), &fixedName, 32);
    addTextProp(QStringLiteral("sensorname"), &sensorName, 28);
    addNumberProp(QStringLiteral("sensornumber"), &sensorNumber);
    addIntProp(QStringLiteral("sensortype"), &sensorType, 1, 11);
    addIntProp(QStringLiteral("scheme"), &connScheme, 0, 255);
    addIntProp(QStringLiteral("low"), &rangeLow, -32768, 32767);
    addIntProp(QStringLiteral("high"), &rangeHigh, -32768, 32767);
    addIntProp(QStringLiteral("inverted"), &inverted, 0, 65535);
    addIntProp(QStringLiteral("alarm"), &alarm, 1, 5);
    addIntProp(QStringLiteral("averaging"), &averaging, 0, 30);
    addIntProp(QStringLiteral("outrange"), &outRange, 1, 3);
    props_[QStringLiteral("raw")] = Prop{[this](double now) { return QString::number(rawValue(now)); },
                                         [this](const QString& v) {
                                             if (v == QLatin1String("auto")) {
                                                 rawOverride.reset();
                                                 return QString();
                                             }
                                             const auto n = ParseInt(v);
                                             if (!n)
                                                 return QStringLiteral("raw must be a whole number or auto, "
                                                                       "not '%1'")
                                                     .arg(v);
                                             rawOverride = *n;
                                             return QString();
                                         }};
    props_[QStringLiteral("rline")] =
        Prop{[this](double) { return lineNone ? QStringLiteral("none") : QString::number(lineResistance); },
             [this](const QString& v) {
                 if (v == QLatin1String("none")) {
                     lineNone = true;
                     return QString();
                 }
                 const auto n = ParseInt(v);
                 if (!n)
                     return QStringLiteral("rline must be milliohm or none, not '%1'").arg(v);
                 lineResistance = *n;
                 lineNone = false;
                 return QString();
             }};
    props_[QStringLiteral("body")] = Prop{[this](double) { return QString::number(bodyTemperature, 'f', 2); },
                                          [this](const QString& v) {
                                              bool ok = false;
                                              const double d = FiniteDouble(v, &ok);
                                              if (!ok || d < -100 || d > 200)
                                                  return QStringLiteral("body must be °C from -100 to 200, "
                                                                        "not '%1'")
                                                      .arg(v);
                                              bodyTemperature = d;
                                              return QString();
                                          }};
    addIntProp(QStringLiteral("calnum"), &calNumber, 0, 65535);
}

int NewerTransducer::rawValue(double now) const {
    if (rawOverride)
        return *rawOverride;
    const SensorRow* row = Row(sensorType);
    const double t = measuredTemperature(now).value_or(0) / 100.0;
    if (!row)
        return 0;
    if (row->r0 > 0)
        return int(std::lround(row->r0 * (1 + row->alpha * t) * 1000)); // milliohm
    return int(std::lround(row->uvPerC * t));                           // microvolt
}

std::optional<std::vector<std::uint16_t>> NewerTransducer::readRegisters(int start, int count,
                                                                         double now) const {
    std::vector<std::uint16_t> block;
    int base = 0;
    const auto hi = [](std::int64_t v) { return std::uint16_t(std::uint32_t(v) >> 16); };
    const auto lo = [](std::int64_t v) { return std::uint16_t(std::uint32_t(v) & 0xFFFF); };
    if (start >= 17 && start <= 32) {
        base = 17;
        for (int i = 0; i < 28; i += 2)
            block.push_back(
                std::uint16_t(std::uint8_t(sensorName[i]) << 8 | std::uint8_t(sensorName[i + 1])));
        block.push_back(hi(sensorNumber));
        block.push_back(lo(sensorNumber));
    } else if (start >= 33 && start <= 44) {
        base = 33;
        const auto t = measuredTemperature(now);
        const std::int64_t temp = t ? *t : 0x0F0F0F0F;
        block = {hi(temp), lo(temp)};
        const int raw = rawValue(now);
        block.push_back(hi(raw));
        block.push_back(lo(raw));
        const bool noLine = lineNone || !isResistanceSensor() || connScheme != 3;
        const std::int64_t line = noLine ? 0x0F0F0F0F : lineResistance;
        block.push_back(hi(line));
        block.push_back(lo(line));
        const int body = int(std::lround(bodyTemperature * 100));
        block.push_back(hi(body));
        block.push_back(lo(body));
        block.push_back(std::uint16_t(selfDiag));
        block.push_back(std::uint16_t(calNumber));
        if (calDate.empty()) {
            block.push_back(0xFFFF);
            block.push_back(0xFFFF);
        } else {
            block.push_back(std::uint16_t(calDate.day << 8 | calDate.month));
            block.push_back(std::uint16_t(calDate.year));
        }
    } else if (start >= 49 && start <= 58) {
        base = 49;
        block = {std::uint16_t(sensorType), std::uint16_t(connScheme), std::uint16_t(rangeLow),
                 std::uint16_t(rangeHigh),  std::uint16_t(inverted),   std::uint16_t(alarm),
                 std::uint16_t(averaging),  std::uint16_t(address),    std::uint16_t(BaudCode(rate)),
                 std::uint16_t(outRange)};
    } else {
        return std::nullopt;
    }
    if (count < 1 || start - base + count > int(block.size()))
        return std::nullopt;
    return std::vector<std::uint16_t>(block.begin() + (start - base), block.begin() + (start - base + count));
}

Bytes NewerTransducer::answer(const Bytes& f, double now) {
    const std::uint8_t fn = f[1];
    switch (fn) {
    case 3:
        return readHolding(f, now);
    case 7:
        if (f.size() != 2)
            return exception(fn, 3);
        return Bytes{std::uint8_t(address), 7, 0};
    case 16:
        return writeRegisters(f);
    case 17: {
        if (f.size() != 2)
            return exception(fn, 3);
        Bytes r{std::uint8_t(address), 17, 66, std::uint8_t(typeCode), 0};
        const QByteArray name = fixedName.leftJustified(32, '\0', true);
        r.insert(r.end(), name.begin(), name.end());
        r.insert(r.end(), sensorName.begin(), sensorName.end());
        Put32(r, sensorNumber);
        return r;
    }
    case 100:
        return calibrationStep(f);
    case 101:
        return zeroCorrection(f, now);
    case 102:
        return nsxCorrection(f, now);
    default:
        return exception(fn, 1);
    }
}

Bytes NewerTransducer::writeRegisters(const Bytes& f) {
    const std::uint8_t fn = 16;
    if (f.size() < 7)
        return exception(fn, 3);
    const int start = U16(f, 2), count = U16(f, 4), byteCount = f[6];
    if (count < 1 || count > 123 || byteCount != 2 * count || int(f.size()) != 7 + byteCount)
        return exception(fn, 3);
    const bool sensorBlock = start >= 17 && start + count - 1 <= 32;
    const bool configBlock = start >= 49 && start + count - 1 <= 58;
    if (!sensorBlock && !configBlock)
        return exception(fn, 2);
    std::vector<std::uint16_t> regs;
    for (int i = 0; i < count; ++i)
        regs.push_back(U16(f, std::size_t(7 + 2 * i)));
    const Bytes reply{std::uint8_t(address), 16, f[2], f[3], f[4], f[5]};
    if (sensorBlock) {
        for (int i = 0; i < count; ++i) {
            const int reg = start + i;
            if (reg <= 30) {
                sensorName[(reg - 17) * 2] = char(regs[std::size_t(i)] >> 8);
                sensorName[(reg - 17) * 2 + 1] = char(regs[std::size_t(i)] & 0xFF);
            } else if (reg == 31) {
                sensorNumber = (sensorNumber & 0xFFFF) | std::uint32_t(regs[std::size_t(i)]) << 16;
            } else {
                sensorNumber = (sensorNumber & 0xFFFF0000u) | regs[std::size_t(i)];
            }
        }
        return reply;
    }
    // Configuration: the whole new block is checked against the type's limits before anything changes.
    int v[10] = {sensorType, connScheme, rangeLow, rangeHigh,      inverted,
                 alarm,      averaging,  address,  BaudCode(rate), outRange};
    for (int i = 0; i < count; ++i)
        v[start - 49 + i] = regs[std::size_t(i)];
    v[2] = Signed16(std::uint16_t(v[2]));
    v[3] = Signed16(std::uint16_t(v[3]));
    const SensorRow* row = Row(v[0]);
    bool ok = row != nullptr;
    if (ok && v[0] <= 6)
        ok = v[1] == 3 || v[1] == 4;
    if (ok)
        ok = v[2] >= row->lowFrom && v[2] <= row->lowTo && v[3] >= row->highFrom && v[3] <= row->highTo;
    ok = ok && v[5] >= 1 && v[5] <= (HasOutputRangeChoice(typeCode) ? 5 : 4);
    ok = ok && v[6] >= 0 && v[6] <= 30;
    ok = ok && v[7] >= 1 && v[7] <= 247;
    ok = ok && RateOfBaudCode(v[8]) != 0 && (HasBaudRateChoice(typeCode) || v[8] == 4);
    ok = ok && v[9] >= 1 && v[9] <= (HasOutputRangeChoice(typeCode) ? 3 : 1);
    if (!ok)
        return exception(fn, 3);
    sensorType = v[0];
    connScheme = v[1];
    rangeLow = v[2];
    rangeHigh = v[3];
    inverted = v[4];
    alarm = v[5];
    averaging = v[6];
    outRange = v[9];
    // The reply still goes out at the old address and rate; the new ones hold from the next request on.
    address = v[7];
    rate = RateOfBaudCode(v[8]);
    return reply;
}

Bytes NewerTransducer::calibrationStep(const Bytes& f) {
    const std::uint8_t fn = 100;
    if (f.size() != 7)
        return exception(fn, 3);
    const int step = f[2];
    const int value = I32(f, 3);
    const Bytes echo{std::uint8_t(address), fn, std::uint8_t(step)};
    switch (step) {
    case 1:
    case 2:
        if (faults.adcOutOfRange)
            return exception(fn, 10);
        break;
    case 3:
        if (!HasCurrentOutput(typeCode))
            return exception(fn, 3);
        if (HasOutputRangeChoice(typeCode) ? (value < 0 || value > 200) : (value < 3800 || value > 4200))
            return exception(fn, 11);
        break;
    case 4:
        if (!HasCurrentOutput(typeCode))
            return exception(fn, 3);
        if (value < 19000 || value > 21000)
            return exception(fn, 11);
        break;
    case 5: {
        const int day = f[3], month = f[4], year = f[5] << 8 | f[6];
        if (!DateBytesValid(day, month, year))
            return exception(fn, 11);
        calDate = Date{day, month, year};
        calNumber = (calNumber + 1) & 0xFFFF;
        break;
    }
    case 9:
        lastCalStep = 0;
        return echo;
    default:
        return exception(fn, 3);
    }
    lastCalStep = step;
    return echo;
}

Bytes NewerTransducer::zeroCorrection(const Bytes& f, double now) {
    const std::uint8_t fn = 101;
    if (f.size() != 3)
        return exception(fn, 3);
    if (f[2] == 0) {
        zeroDone = false;
        zeroOffset = 0;
        return Bytes{std::uint8_t(address), fn, 0};
    }
    if (f[2] != 1)
        return exception(fn, 3);
    if (zeroDone)
        return exception(fn, 13);
    const auto t = measuredTemperature(now);
    if (!t || std::abs(*t) > 2000)
        return exception(fn, 12);
    zeroOffset -= *t;
    zeroDone = true;
    return Bytes{std::uint8_t(address), fn, 1};
}

Bytes NewerTransducer::nsxCorrection(const Bytes& f, double now) {
    const std::uint8_t fn = 102;
    if (f.size() != 7)
        return exception(fn, 3);
    const int step = f[2];
    const int value = I32(f, 3);
    const Bytes echo{std::uint8_t(address), fn, std::uint8_t(step)};
    const auto t = measuredTemperature(now);
    const SensorRow* row = Row(sensorType);
    const auto inBand = [&] { return !t || !row || (*t >= row->nsxLow * 100 && *t <= row->nsxHigh * 100); };
    if (step == 1 && value == 1) {
        nsxDone = false;
        nsxStarted = false;
        nsxOffset = 0;
        return echo;
    }
    if (step == 1 && value == 0) {
        if (nsxDone)
            return exception(fn, 14);
        if (inBand())
            return exception(fn, 15);
        nsxStarted = true;
        return echo;
    }
    if (step == 2) {
        if (nsxDone)
            return exception(fn, 14);
        if (!nsxStarted)
            return exception(fn, 3);
        if (inBand())
            return exception(fn, 15);
        if (std::abs(std::int64_t(value) - *t) * 10 > std::abs(std::int64_t(*t)))
            return exception(fn, 16);
        nsxOffset += value - *t;
        nsxDone = true;
        nsxStarted = false;
        return echo;
    }
    return exception(fn, 3);
}

// ---------------------------------------------------------------------------------------------------------
// Older generation

namespace {
struct OldKindRow {
    int lowFrom, lowTo, highFrom, highTo;
    double alpha;
};
const OldKindRow OldKinds[3] = {
    {-200, 575, -175, 600, 0.00391}, {-200, 575, -175, 600, 0.00385}, {-100, 175, -75, 200, 0.00428}};
} // namespace

OlderTransducer::OlderTransducer(int type) {
    typeCode = type;
    rate = 1200;
    typeText = ToWire(type == 77 ? QStringLiteral("Tarvo ТС 4-20мА") : QStringLiteral("Tarvo ТС 0-5мА"), 16);
    sensorText = ToWire(QStringLiteral("ТСП 100П"), 24);
    sensorNumber = 1001;
    calDate = Date{15, 3, 2019};
    setTemperature = 25.0;
    addCommonProps();
    addTextProp(QStringLiteral("typetext"), &typeText, 16);
    addTextProp(QStringLiteral("sensortext"), &sensorText, 24);
    addNumberProp(QStringLiteral("sensornumber"), &sensorNumber);
    props_[QStringLiteral("sensordate")] =
        Prop{[this](double) {
                 return QStringLiteral("%1.%2.%3")
                     .arg(sensorDate[0], 2, 10, QLatin1Char('0'))
                     .arg(sensorDate[1], 2, 10, QLatin1Char('0'))
                     .arg(sensorDate[2] << 8 | sensorDate[3], 4, 10, QLatin1Char('0'));
             },
             [this](const QString& v) {
                 const auto d = Date::parse(v);
                 if (!d)
                     return QStringLiteral("sensordate must be dd.mm.yyyy or none, not '%1'").arg(v);
                 sensorDate[0] = std::uint8_t(d->day);
                 sensorDate[1] = std::uint8_t(d->month);
                 sensorDate[2] = std::uint8_t(d->year >> 8);
                 sensorDate[3] = std::uint8_t(d->year & 0xFF);
                 return QString();
             }};
    addIntProp(QStringLiteral("kind"), &kind, 1, 3);
    addIntProp(QStringLiteral("rcode"), &rcode, 1, 2);
    addIntProp(QStringLiteral("low"), &rangeLow, -32768, 32767);
    addIntProp(QStringLiteral("high"), &rangeHigh, -32768, 32767);
    addIntProp(QStringLiteral("direction"), &direction, 0, 65535);
    addIntProp(QStringLiteral("alarm"), &alarm, 1, 4);
    addIntProp(QStringLiteral("averagecode"), &averageCode, 0, 255);
    props_[QStringLiteral("resistance")] = Prop{
        [this](double now) { return QString::number(resistanceCenti(now) / 100.0, 'f', 2); },
        [this](const QString& v) {
            if (v == QLatin1String("auto")) {
                resistanceOverride.reset();
                return QString();
            }
            bool ok = false;
            const double d = FiniteDouble(v, &ok);
            if (!ok || d < 0 || d > 655.35)
                return QStringLiteral("resistance must be ohm from 0 to 655.35 or auto, not '%1'").arg(v);
            resistanceOverride = int(std::lround(d * 100));
            return QString();
        }};
}

int OlderTransducer::resistanceCenti(double now) const {
    if (resistanceOverride)
        return *resistanceOverride;
    const double t = measuredTemperature(now).value_or(0) / 100.0;
    const double alpha = kind >= 1 && kind <= 3 ? OldKinds[kind - 1].alpha : 0.00391;
    const double r0 = rcode == 2 ? 50 : 100;
    return std::clamp(int(std::lround(r0 * (1 + alpha * t) * 100)), 0, 65535);
}

std::optional<std::vector<std::uint16_t>> OlderTransducer::readRegisters(int start, int count,
                                                                         double now) const {
    std::vector<std::uint16_t> block;
    int base = 0;
    if (start >= 0x18 && start <= 0x1F) {
        base = 0x18;
        block = {std::uint16_t(kind),        std::uint16_t(rcode),     std::uint16_t(rangeLow),
                 std::uint16_t(rangeHigh),   std::uint16_t(direction), std::uint16_t(alarm),
                 std::uint16_t(averageCode), std::uint16_t(address)};
    } else if (start >= 0x20 && start <= 0x24) {
        base = 0x20;
        const int t10 = int(std::lround(measuredTemperature(now).value_or(0) / 10.0));
        block = {std::uint16_t(t10), std::uint16_t(resistanceCenti(now)), std::uint16_t(selfDiag & 0xFF),
                 std::uint16_t(calDate.day << 8 | calDate.month), std::uint16_t(calDate.year)};
    } else {
        return std::nullopt;
    }
    if (count < 1 || start - base + count > int(block.size()))
        return std::nullopt;
    return std::vector<std::uint16_t>(block.begin() + (start - base), block.begin() + (start - base + count));
}

Bytes OlderTransducer::ack(const Bytes& f) const {
    return Bytes{std::uint8_t(address), f[1], f[2]};
}

Bytes OlderTransducer::answer(const Bytes& f, double now) {
    const std::uint8_t fn = f[1];
    switch (fn) {
    case 3: {
        if (f.size() != 6)
            return exception(fn, 3);
        const int start = U16(f, 2), count = U16(f, 4);
        const auto regs = readRegisters(start, count, now);
        if (!regs)
            return exception(fn, 2);
        return RegisterReply(std::uint8_t(address), *regs);
    }
    case 16:
        return writeRegisters(f);
    case 17: {
        if (f.size() != 2)
            return exception(fn, 3);
        Bytes r{std::uint8_t(address), 17, 50, std::uint8_t(typeCode), 0};
        r.insert(r.end(), typeText.begin(), typeText.end());
        r.insert(r.end(), sensorText.begin(), sensorText.end());
        Put32(r, sensorNumber);
        r.insert(r.end(), sensorDate, sensorDate + 4);
        return r;
    }
    case 0x4D:
        return calibrationStep(f);
    case 0x4E:
        return zeroCorrection(f, now);
    case 0x4F:
        return nsxCorrection(f, now);
    default:
        return exception(fn, 1);
    }
}

Bytes OlderTransducer::writeRegisters(const Bytes& f) {
    const std::uint8_t fn = 16;
    if (f.size() < 7)
        return exception(fn, 3);
    const int start = U16(f, 2), count = U16(f, 4), byteCount = f[6];
    if (count < 1 || byteCount != 2 * count || int(f.size()) != 7 + byteCount)
        return exception(fn, 3);
    const bool infoBlock = start >= 0x08 && start + count - 1 <= 0x17;
    const bool configBlock = start >= 0x18 && start + count - 1 <= 0x1F;
    if (!infoBlock && !configBlock)
        return exception(fn, 2);
    const Bytes reply{std::uint8_t(address), 16, f[2], f[3], f[4], f[5]};
    if (infoBlock) {
        for (int i = 0; i < 2 * count; ++i) {
            const int pos = (start - 0x08) * 2 + i; // byte of the 32-byte block
            const std::uint8_t b = f[std::size_t(7 + i)];
            if (pos < 24)
                sensorText[pos] = char(b);
            else if (pos < 28)
                sensorNumber = (sensorNumber & ~(0xFFu << (8 * (27 - pos)))) | std::uint32_t(b)
                                                                                   << (8 * (27 - pos));
            else
                sensorDate[pos - 28] = b;
        }
        return reply;
    }
    int v[8] = {kind, rcode, rangeLow, rangeHigh, direction, alarm, averageCode, address};
    for (int i = 0; i < count; ++i)
        v[start - 0x18 + i] = U16(f, std::size_t(7 + 2 * i));
    v[2] = Signed16(std::uint16_t(v[2]));
    v[3] = Signed16(std::uint16_t(v[3]));
    bool ok = v[0] >= 1 && v[0] <= 3;
    if (ok) {
        const OldKindRow& k = OldKinds[v[0] - 1];
        ok = v[2] >= k.lowFrom && v[2] <= k.lowTo && v[3] >= k.highFrom && v[3] <= k.highTo;
    }
    ok = ok && (v[1] == 1 || v[1] == 2);
    ok = ok && v[4] <= 1;
    ok = ok && v[5] >= 1 && v[5] <= (typeCode == 77 ? 4 : 2);
    // Averaging 1..30 s travels as 6 * s - 2: 4, 10, ..., 178.
    ok = ok && (v[6] == 0 || (v[6] <= 178 && (v[6] + 2) % 6 == 0));
    ok = ok && v[7] >= 1 && v[7] <= 247;
    if (!ok)
        return exception(fn, 3);
    kind = v[0];
    rcode = v[1];
    rangeLow = v[2];
    rangeHigh = v[3];
    direction = v[4];
    alarm = v[5];
    averageCode = v[6];
    address = v[7]; // the reply still carries the old address
    return reply;
}

Bytes OlderTransducer::calibrationStep(const Bytes& f) {
    const std::uint8_t fn = 0x4D;
    if (f.size() != 7)
        return exception(fn, 3);
    const int step = f[2];
    const int current = U16(f, 5);
    switch (step) {
    case 0:
        lastCalStep = 0;
        return ack(f);
    case 1:
    case 2:
    case 3:
    case 4:
        if (faults.adcOutOfRange)
            return exception(fn, 10);
        break;
    case 5:
        if (typeCode == 77 ? (current < 3600 || current > 4400) : (current < 30 || current > 170))
            return exception(fn, 11);
        break;
    case 6:
        if (typeCode == 77 ? (current < 19200 || current > 20800) : (current < 4800 || current > 5200))
            return exception(fn, 11);
        break;
    case 7: {
        const int day = f[3], month = f[4], year = f[5] << 8 | f[6];
        if (!DateBytesValid(day, month, year))
            return exception(fn, 11);
        calDate = Date{day, month, year};
        lastCalStep = 0;
        return ack(f);
    }
    default:
        return exception(fn, 3);
    }
    lastCalStep = step;
    return ack(f);
}

Bytes OlderTransducer::zeroCorrection(const Bytes& f, double now) {
    const std::uint8_t fn = 0x4E;
    if (f.size() != 3)
        return exception(fn, 3);
    if (f[2] == 0) {
        zeroDone = false;
        zeroOffset = 0;
        return ack(f);
    }
    if (f[2] != 1)
        return exception(fn, 3);
    if (zeroDone)
        return exception(fn, 13);
    const int t = measuredTemperature(now).value_or(0);
    if (std::abs(t) > 2000)
        return exception(fn, 12);
    zeroOffset -= t;
    zeroDone = true;
    return ack(f);
}

Bytes OlderTransducer::nsxCorrection(const Bytes& f, double now) {
    const std::uint8_t fn = 0x4F;
    if (f.size() != 5)
        return exception(fn, 3);
    const int mode = f[2];
    const int value = Signed16(U16(f, 3)); // tenths of °C
    const int t = measuredTemperature(now).value_or(0);
    if (mode == 1 && value == 1) {
        nsxDone = false;
        nsxStarted = false;
        nsxOffset = 0;
        return ack(f);
    }
    if (mode == 1 && value == 0) {
        if (nsxDone)
            return exception(fn, 14);
        if (std::abs(t) < 2000)
            return exception(fn, 15);
        nsxStarted = true;
        return ack(f);
    }
    if (mode == 2) {
        if (nsxDone)
            return exception(fn, 14);
        if (!nsxStarted)
            return exception(fn, 3);
        if (std::abs(t) < 2000)
            return exception(fn, 15);
        const int real = value * 10;
        if (std::abs(std::int64_t(real) - t) * 20 > std::abs(std::int64_t(t)))
            return exception(fn, 16);
        nsxOffset += real - t;
        nsxDone = true;
        nsxStarted = false;
        return ack(f);
    }
    return exception(fn, 3);
}

// ---------------------------------------------------------------------------------------------------------
// A device of another kind

namespace {
// A register value as the control channel and the bus file give it: 0..65535, or -32768..-1 as two's
// complement; decimal or 0x hex.
std::optional<std::uint16_t> RegisterValue(const QString& text) {
    const auto n = ParseInt(text);
    if (!n || *n < -32768 || *n > 65535)
        return std::nullopt;
    return std::uint16_t(*n & 0xFFFF);
}
} // namespace

ForeignDevice::ForeignDevice() {
    rate = 19200;
    props_[QStringLiteral("kind")] = Prop{[](double) { return QStringLiteral("foreign"); }, {}};
    addLineProps();
    props_[QStringLiteral("id")] = Prop{[this](double) { return FromWire(identity); },
                                        [this](const QString& v) {
                                            QStringEncoder enc("windows-1251");
                                            const QByteArray b = enc.encode(v);
                                            if (b.size() > MaxIdentity)
                                                return QStringLiteral("id must be at most %1 bytes, not %2")
                                                    .arg(MaxIdentity)
                                                    .arg(b.size());
                                            identity = b;
                                            return QString();
                                        }};
    addIntProp(QStringLiteral("slaveid"), &slaveId, 0, 255);
    addBoolProp(QStringLiteral("run"), &running);
    addBoolProp(QStringLiteral("reportid"), &reportsId);
    // The range stays within the 65536 register numbers: each bound is checked against the other.
    const auto rangeProp = [this](const QString& key, int* field, int lo, const int* other) {
        props_[key] = Prop{[field](double) { return QString::number(*field); },
                           [field, lo, other, key](const QString& v) {
                               const auto n = ParseInt(v);
                               if (!n || *n < lo || *n + *other > 65536)
                                   return QStringLiteral("%1 must be %2..%3, not '%4'")
                                       .arg(key)
                                       .arg(lo)
                                       .arg(65536 - *other)
                                       .arg(v);
                               *field = *n;
                               return QString();
                           }};
    };
    rangeProp(QStringLiteral("first"), &first, 0, &count);
    rangeProp(QStringLiteral("count"), &count, 1, &first);
    // "N=V N=V ...": every register value that is not 0; setting it replaces them all.
    props_[QStringLiteral("registers")] =
        Prop{[this](double) {
                 QStringList parts;
                 for (const auto& [reg, v] : values)
                     if (v != 0)
                         parts << QStringLiteral("%1=%2").arg(reg).arg(v);
                 return parts.join(QLatin1Char(' '));
             },
             [this](const QString& v) {
                 std::map<int, std::uint16_t> parsed;
                 for (const QString& item : v.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
                     const auto pair = item.split(QLatin1Char('='));
                     const auto reg = pair.size() == 2 ? ParseInt(pair[0]) : std::nullopt;
                     const auto value = pair.size() == 2 ? RegisterValue(pair[1]) : std::nullopt;
                     if (!reg || !value || *reg < 0 || *reg > 65535)
                         return QStringLiteral("registers must be REGISTER=VALUE ... (0..65535 each), "
                                               "not '%1'")
                             .arg(item);
                     parsed[*reg] = *value;
                 }
                 values = std::move(parsed);
                 return QString();
             }};
}

QString ForeignDevice::set(const QString& key, const QString& value) {
    if (key != QLatin1String("reg"))
        return Device::set(key, value);
    const QStringList w = value.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const auto start = w.isEmpty() ? std::nullopt : ParseInt(w[0]);
    if (!start || w.size() < 2)
        return QStringLiteral("usage: reg REGISTER VALUE [VALUE ...]");
    if (!inRange(*start, int(w.size()) - 1))
        return QStringLiteral("registers %1..%2 are outside %3..%4")
            .arg(*start)
            .arg(*start + int(w.size()) - 2)
            .arg(first)
            .arg(first + count - 1);
    std::vector<std::uint16_t> regs;
    for (int i = 1; i < w.size(); ++i) {
        const auto v = RegisterValue(w[i]);
        if (!v)
            return QStringLiteral("a register value is 0..65535 or -32768..-1, not '%1'").arg(w[i]);
        regs.push_back(*v);
    }
    for (std::size_t i = 0; i < regs.size(); ++i)
        values[*start + int(i)] = regs[i];
    return {};
}

std::optional<std::vector<std::uint16_t>> ForeignDevice::readRegisters(int start, int n, double) const {
    if (!inRange(start, n))
        return std::nullopt;
    std::vector<std::uint16_t> regs;
    for (int r = start; r < start + n; ++r) {
        const auto it = values.find(r);
        regs.push_back(it == values.end() ? 0 : it->second);
    }
    return regs;
}

Bytes ForeignDevice::answer(const Bytes& f, double now) {
    const std::uint8_t fn = f[1];
    switch (fn) {
    case 3:
        return readHolding(f, now);
    case 6: {
        if (f.size() != 6)
            return exception(fn, 3);
        if (!inRange(U16(f, 2), 1))
            return exception(fn, 2);
        values[U16(f, 2)] = U16(f, 4);
        return f;
    }
    case 16: {
        if (f.size() < 7)
            return exception(fn, 3);
        const int start = U16(f, 2), n = U16(f, 4), byteCount = f[6];
        if (n < 1 || n > 123 || byteCount != 2 * n || int(f.size()) != 7 + byteCount)
            return exception(fn, 3);
        if (!inRange(start, n))
            return exception(fn, 2);
        for (int i = 0; i < n; ++i)
            values[start + i] = U16(f, std::size_t(7 + 2 * i));
        return Bytes{std::uint8_t(address), fn, f[2], f[3], f[4], f[5]};
    }
    case 17: {
        if (!reportsId)
            return exception(fn, 1);
        if (f.size() != 2)
            return exception(fn, 3);
        Bytes r{std::uint8_t(address), fn, std::uint8_t(2 + identity.size()), std::uint8_t(slaveId),
                std::uint8_t(running ? 0xFF : 0x00)};
        r.insert(r.end(), identity.begin(), identity.end());
        return r;
    }
    default:
        return exception(fn, 1);
    }
}

std::unique_ptr<Transducer> MakeTransducer(int typeCode, int address, int rate) {
    std::unique_ptr<Transducer> t;
    if (IsNewerType(typeCode))
        t = std::make_unique<NewerTransducer>(typeCode);
    else if (IsOlderType(typeCode))
        t = std::make_unique<OlderTransducer>(typeCode);
    else
        return nullptr;
    t->address = address;
    if (rate > 0)
        t->rate = rate;
    return t;
}

} // namespace sim
