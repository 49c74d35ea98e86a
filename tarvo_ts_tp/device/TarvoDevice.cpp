#include "TarvoDevice.h"

#include "MessageService.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <array>
#include <cmath>
#include <limits>

using namespace tarvo;

// ---------------------------------------------------------------------------------------------------
// Byte helpers

namespace {

std::uint8_t ByteAt(std::span<const std::uint8_t> buf, int pos) {
    return pos >= 0 && static_cast<std::size_t>(pos) < buf.size() ? buf[static_cast<std::size_t>(pos)] : 0;
}

bool Covers(std::span<const std::uint8_t> buf, int pos, int count) {
    return pos >= 0 && count >= 0 &&
           static_cast<std::size_t>(pos) + static_cast<std::size_t>(count) <= buf.size();
}

std::uint16_t GetUInt16BE(std::span<const std::uint8_t> buf, int pos) {
    return static_cast<std::uint16_t>((ByteAt(buf, pos) << 8) | ByteAt(buf, pos + 1));
}

std::uint32_t GetUInt32BE(std::span<const std::uint8_t> buf, int pos) {
    return (std::uint32_t{ByteAt(buf, pos)} << 24) | (std::uint32_t{ByteAt(buf, pos + 1)} << 16) |
           (std::uint32_t{ByteAt(buf, pos + 2)} << 8) | std::uint32_t{ByteAt(buf, pos + 3)};
}

// Windows-1251 upper half, for a Qt built without the code page.
constexpr std::array<char16_t, 128> Win1251High = {
    u'\u0402', u'\u0403', u'\u201A', u'\u0453', u'\u201E', u'\u2026', u'\u2020', u'\u2021', // 80
    u'\u20AC', u'\u2030', u'\u0409', u'\u2039', u'\u040A', u'\u040C', u'\u040B', u'\u040F', // 88
    u'\u0452', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014', // 90
    u'\u0098', u'\u2122', u'\u0459', u'\u203A', u'\u045A', u'\u045C', u'\u045B', u'\u045F', // 98
    u'\u00A0', u'\u040E', u'\u045E', u'\u0408', u'\u00A4', u'\u0490', u'\u00A6', u'\u00A7', // A0
    u'\u0401', u'\u00A9', u'\u0404', u'\u00AB', u'\u00AC', u'\u00AD', u'\u00AE', u'\u0407', // A8
    u'\u00B0', u'\u00B1', u'\u0406', u'\u0456', u'\u0491', u'\u00B5', u'\u00B6', u'\u00B7', // B0
    u'\u0451', u'\u2116', u'\u0454', u'\u00BB', u'\u0458', u'\u0405', u'\u0455', u'\u0457', // B8
    u'\u0410', u'\u0411', u'\u0412', u'\u0413', u'\u0414', u'\u0415', u'\u0416', u'\u0417', // C0
    u'\u0418', u'\u0419', u'\u041A', u'\u041B', u'\u041C', u'\u041D', u'\u041E', u'\u041F', // C8
    u'\u0420', u'\u0421', u'\u0422', u'\u0423', u'\u0424', u'\u0425', u'\u0426', u'\u0427', // D0
    u'\u0428', u'\u0429', u'\u042A', u'\u042B', u'\u042C', u'\u042D', u'\u042E', u'\u042F', // D8
    u'\u0430', u'\u0431', u'\u0432', u'\u0433', u'\u0434', u'\u0435', u'\u0436', u'\u0437', // E0
    u'\u0438', u'\u0439', u'\u043A', u'\u043B', u'\u043C', u'\u043D', u'\u043E', u'\u043F', // E8
    u'\u0440', u'\u0441', u'\u0442', u'\u0443', u'\u0444', u'\u0445', u'\u0446', u'\u0447', // F0
    u'\u0448', u'\u0449', u'\u044A', u'\u044B', u'\u044C', u'\u044D', u'\u044E', u'\u044F', // F8
};

constexpr const char* CodePage = "windows-1251";

// One byte per character; a character the code page lacks becomes '?'. A fresh converter per character,
// because a Qt converter keeps reporting an error once it had one; and the upper half of the code page
// is the only valid answer for a character above ASCII (ICU substitutes 0x1A, not always flagging it).
char EncodeCodePoint(char32_t cp, bool haveCodec) {
    if (cp < 0x80)
        return static_cast<char>(cp);
    if (haveCodec) {
        QStringEncoder encoder(CodePage);
        const QByteArray b = encoder.encode(QString::fromUcs4(&cp, 1));
        return !encoder.hasError() && b.size() == 1 && static_cast<std::uint8_t>(b[0]) >= 0x80 ? b[0] : '?';
    }
    for (std::size_t i = 0; i < Win1251High.size(); ++i)
        if (Win1251High[i] == cp)
            return static_cast<char>(0x80 + i);
    return '?';
}

} // namespace

char16_t Win1251ToUnicode(std::uint8_t byte) {
    return byte < 0x80 ? char16_t{byte} : Win1251High[byte - 0x80u];
}

std::int16_t MakeInt16(std::uint8_t hi, std::uint8_t lo) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>((hi << 8) | lo));
}

std::int16_t GetInt16BE(std::span<const std::uint8_t> buf, int pos) {
    return MakeInt16(ByteAt(buf, pos), ByteAt(buf, pos + 1));
}

std::int32_t GetInt32BE(std::span<const std::uint8_t> buf, int pos) {
    return static_cast<std::int32_t>(GetUInt32BE(buf, pos));
}

void PutIntBE(std::int64_t value, std::span<std::uint8_t> buf, int offset, int size) {
    if (size < 1 || size > 8)
        return;
    const auto v = static_cast<std::uint64_t>(value); // two's complement of any size is its low bytes
    for (int i = 0; i < size; ++i) {
        const int pos = offset + i;
        if (pos >= 0 && static_cast<std::size_t>(pos) < buf.size())
            buf[static_cast<std::size_t>(pos)] = static_cast<std::uint8_t>(v >> (8 * (size - 1 - i)));
    }
}

QString BytesToStr(std::span<const std::uint8_t> buf, int pos, int count) {
    QByteArray bytes;
    for (int i = 0; i < count; ++i) {
        const int p = pos + i;
        if (p < 0 || static_cast<std::size_t>(p) >= buf.size())
            continue;
        if (const std::uint8_t b = buf[static_cast<std::size_t>(p)]; b != 0)
            bytes.append(static_cast<char>(b));
    }
    return DecodeWin1251(bytes);
}

QByteArray EncodeWin1251(const QString& text) {
    const bool haveCodec = QStringEncoder(CodePage).isValid();
    QByteArray out;
    out.reserve(text.size());
    for (const char32_t cp : text.toUcs4())
        out.append(EncodeCodePoint(cp, haveCodec));
    return out;
}

QString DecodeWin1251(QByteArrayView bytes) {
    QStringDecoder decoder(CodePage);
    if (decoder.isValid())
        return decoder.decode(bytes);
    QString out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        out.append(QChar(Win1251ToUnicode(static_cast<std::uint8_t>(c))));
    }
    return out;
}

QString CutSensorName(const QString& name) {
    if (name.size() <= SensorNameBytes)
        return name;
    int n = SensorNameBytes;
    if (name.at(n - 1).isHighSurrogate() && name.at(n).isLowSurrogate())
        --n;
    return name.left(n);
}

QByteArray EncodeSensorName(const QString& name) {
    QByteArray out = EncodeWin1251(CutSensorName(name)).left(SensorNameBytes);
    out.append(QByteArray(SensorNameBytes - out.size(), '\0'));
    return out;
}

// ---------------------------------------------------------------------------------------------------
// Tables

const TSensorTypeInfo SensorTypes[SensorTypeCount] = {
    {u"ТСП, a = 0,00391 100 Ом", false, -200, 575, -175, 600, -20, 20},
    {u"ТСП, a = 0,00391 50 Ом", false, -200, 575, -175, 600, -20, 20},
    {u"ТСП, a = 0,00385 100 Ом", false, -200, 575, -175, 600, -20, 20},
    {u"ТСП, a = 0,00385 50 Ом", false, -200, 575, -175, 600, -20, 20},
    {u"ТСМ, a = 0,00428 100 Ом", false, -100, 175, -75, 200, -20, 20},
    {u"ТСМ, a = 0,00428 50 Ом", false, -100, 175, -75, 200, -20, 20},
    {u"ТХА (K)", true, -100, 1270, 0, 1370, -55, 90},
    {u"ТХК (L)", true, -100, 700, 0, 800, -55, 90},
    {u"ТЖК (J)", true, -100, 1100, 0, 1200, -55, 90},
    {u"ТПП (S)", true, 0, 1300, 400, 1700, -20, 360},
    {u"ТПР (B)", true, 300, 1400, 700, 1800, 270, 630},
};

const TSensorTypeInfo* SensorTypeInfo(int sensorType) {
    return sensorType >= 1 && sensorType <= SensorTypeCount ? &SensorTypes[sensorType - 1] : nullptr;
}

QString SensorTypeName(int sensorType) {
    const TSensorTypeInfo* info = SensorTypeInfo(sensorType);
    return info ? QString::fromUtf16(info->Name) : QString();
}

bool IsResistanceThermometer(int sensorType) {
    const TSensorTypeInfo* info = SensorTypeInfo(sensorType);
    return info && !info->Thermocouple;
}

bool IsThermocouple(int sensorType) {
    const TSensorTypeInfo* info = SensorTypeInfo(sensorType);
    return info && info->Thermocouple;
}

void GetLowLimitRange(int sensorType, std::int32_t& from, std::int32_t& to) {
    const TSensorTypeInfo* info = SensorTypeInfo(sensorType);
    from = info ? info->LowFrom : -273;
    to = info ? info->LowTo : -273;
}

void GetHighLimitRange(int sensorType, std::int32_t& from, std::int32_t& to) {
    const TSensorTypeInfo* info = SensorTypeInfo(sensorType);
    from = info ? info->HighFrom : -273;
    to = info ? info->HighTo : -273;
}

bool GetNsxBand(int sensorType, std::int32_t& from, std::int32_t& to) {
    const TSensorTypeInfo* info = SensorTypeInfo(sensorType);
    from = info ? info->NsxFrom : 0;
    to = info ? info->NsxTo : 0;
    return info != nullptr;
}

bool HasCurrentOutput(std::uint8_t typeId) {
    return typeId == 113 || typeId == 114 || typeId == 117 || typeId == 118;
}

bool HasOutputRangeChoice(std::uint8_t typeId) {
    return typeId == 117 || typeId == 118;
}

bool HasBaudRateChoice(std::uint8_t typeId) {
    return typeId == 115 || typeId == 116 || typeId == 118;
}

const char16_t* const BaudRateTexts[BaudListCount] = {u"1200",  u"2400",  u"4800", u"9600",
                                                      u"19200", u"38400", u"57600"};

const TBaudRate BaudListRates[BaudListCount] = {CBR_1200,  CBR_2400,  CBR_4800, CBR_9600,
                                                CBR_19200, CBR_38400, CBR_57600};

TBaudRate BaudCodeToRate(int code) {
    return code >= 1 && code <= BaudListCount ? BaudListRates[code - 1] : CBR_9600;
}

int BaudRateToCode(TBaudRate rate) {
    for (int i = 0; i < BaudListCount; ++i)
        if (BaudListRates[i] == rate)
            return i + 1;
    return 0;
}

const char16_t* const SelfDiagTexts[SelfDiagCodeCount] = {
    u"Неисправностей не обнаружено",
    u"Аппаратный сбой МК",
    u"Настройка не производилась или сбой Flash памяти",
    u"1. Обрыв или короткое замыкание датчика температуры\n\r"
    u"2. Измеренная температура за пределами диапазона измерения",
    u"Сопротивление линии подключения ТС больше 25 Ом",
    u"Неисправен датчик температуры \"холодных концов\"",
    u"Обрыв цепи токового выходного сигнала или перегрев ЦАП",
};

QString SelfDiagText(std::int32_t code) {
    return code >= 0 && code < SelfDiagCodeCount ? QString::fromUtf16(SelfDiagTexts[code]) : QString();
}

// ---------------------------------------------------------------------------------------------------
// Blocks

bool DecodeDiagData(std::span<const std::uint8_t> data, TDiagData& out) {
    const auto valueOr = [&](int pos, std::int32_t none) {
        return GetUInt32BE(data, pos) == WireNoValue ? none : GetInt32BE(data, pos);
    };
    out.Temperature = valueOr(0, NoTemperature);
    out.RawValue = GetInt32BE(data, 4);
    out.RLineForTS = valueOr(8, NoLineResistance);
    out.TarvoDeviceBodyTemp = GetInt32BE(data, 12);
    out.SelfDiagCode = GetInt16BE(data, 16);
    out.CalibrationNumber = GetUInt16BE(data, 18);
    if (GetUInt32BE(data, 20) == 0xFFFFFFFFu) { // never calibrated
        out.CalibrationDate_Day = 0;
        out.CalibrationDate_Month = 0;
        out.CalibrationDate_Year = 0;
    } else {
        out.CalibrationDate_Day = ByteAt(data, 20);
        out.CalibrationDate_Month = ByteAt(data, 21);
        out.CalibrationDate_Year = GetUInt16BE(data, 22);
    }
    return Covers(data, 0, DiagDataBytes);
}

bool DecodeConfigBlock(std::span<const std::uint8_t> data, TConfigBlock& out) {
    out.SensorType = ByteAt(data, 1);
    out.ConnScheme = ByteAt(data, 3);
    out.RangeLowLimit = GetInt16BE(data, 4);
    out.RangeHighLimit = GetInt16BE(data, 6);
    out.InvertedOut = ByteAt(data, 8) != 0 || ByteAt(data, 9) != 0;
    out.AlarmSignalValue = ByteAt(data, 11);
    out.AveragingTime = ByteAt(data, 13);
    out.SlaveAddr = GetUInt16BE(data, 14);
    out.BaudCode = GetUInt16BE(data, 16);
    out.OutSignalRange = ByteAt(data, 19);
    return Covers(data, 0, ConfigBytes);
}

bool EncodeConfigBlock(const TConfigBlock& block, std::span<std::uint8_t> out) {
    if (out.size() < static_cast<std::size_t>(ConfigBytes))
        return false;
    const std::int64_t regs[ConfigRegs] = {
        block.SensorType,     block.ConnScheme,          block.RangeLowLimit,
        block.RangeHighLimit, block.InvertedOut ? 1 : 0, block.AlarmSignalValue,
        block.AveragingTime,  block.SlaveAddr,           block.BaudCode,
        block.OutSignalRange};
    for (int i = 0; i < ConfigRegs; ++i)
        PutIntBE(regs[i], out, 2 * i, 2);
    return true;
}

bool EncodeSensorData(const QString& name, std::uint32_t number, std::span<std::uint8_t> out) {
    if (out.size() < static_cast<std::size_t>(SensorDataBytes))
        return false;
    const QByteArray field = EncodeSensorName(name);
    for (int i = 0; i < SensorNameBytes; ++i)
        out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(field[i]);
    PutIntBE(number, out, SensorNameBytes, 4);
    return true;
}

bool EncodeCalibrationDate(const QDate& date, std::span<std::uint8_t> out) {
    if (out.size() < 4 || !date.isValid())
        return false;
    PutIntBE(date.day(), out, 0, 1);
    PutIntBE(date.month(), out, 1, 1);
    PutIntBE(date.year(), out, 2, 2);
    return true;
}

std::int32_t TemperatureToHundredths(double degrees) {
    // nearbyint rounds ties to the even neighbour in the default rounding mode
    const double t = std::nearbyint(degrees * 100.0);
    if (std::isnan(t))
        return 0;
    if (t <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    if (t >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(t);
}

// ---------------------------------------------------------------------------------------------------
// The record

TTarvoDevice::TTarvoDevice() = default;
TTarvoDevice::~TTarvoDevice() = default;

void TTarvoDevice::SetStoredSensorName(const QString& name) {
    FStoredSensorName = CutSensorName(name);
}

bool TTarvoDevice::DecodeSlaveId(std::span<const std::uint8_t> data) {
    TypeId = ByteAt(data, 0);
    FixedName = BytesToStr(data, 2, FixedNameBytes);
    SetStoredSensorName(BytesToStr(data, 34, SensorNameBytes));
    StoredSensorNumber = GetUInt32BE(data, 62);
    return Covers(data, 0, SlaveIdDataBytes);
}

bool TTarvoDevice::DecodeSensorData(std::span<const std::uint8_t> data) {
    SetStoredSensorName(BytesToStr(data, 0, SensorNameBytes));
    StoredSensorNumber = GetUInt32BE(data, SensorNameBytes);
    return Covers(data, 0, SensorDataBytes);
}

bool TTarvoDevice::EncodeSensorData(std::span<std::uint8_t> out) const {
    return ::EncodeSensorData(FStoredSensorName, StoredSensorNumber, out);
}

void TTarvoDevice::ApplyConfig(const TConfigBlock& block) {
    SensorType = block.SensorType;
    ConnScheme = block.ConnScheme;
    RangeLowLimit = block.RangeLowLimit;
    RangeHighLimit = block.RangeHighLimit;
    InvertedOut = block.InvertedOut;
    AlarmSignalValue = block.AlarmSignalValue;
    AveragingTime = block.AveragingTime;
    OutSignalRange = block.OutSignalRange;
}

TConfigBlock TTarvoDevice::ConfigBlock() const {
    TConfigBlock b;
    b.SensorType = SensorType;
    b.ConnScheme = ConnScheme;
    b.RangeLowLimit = RangeLowLimit;
    b.RangeHighLimit = RangeHighLimit;
    b.InvertedOut = InvertedOut;
    b.AlarmSignalValue = AlarmSignalValue;
    b.AveragingTime = AveragingTime;
    b.SlaveAddr = ModbusAddr;
    const int code = BaudRateToCode(Baudrate);
    b.BaudCode = static_cast<std::uint16_t>(code != 0 ? code : BaudRateToCode(CBR_9600));
    b.OutSignalRange = OutSignalRange;
    return b;
}

QString TTarvoDevice::GetCalibrMessage() const {
    switch (CalibrStep) {
    case 0:
        return QStringLiteral(
            "Для проведения настройки:\r\n\r\n1. Подключите преобразователь в соответствии со схемой "
            "проведения настройки, приведенной в\r\nэксплуатационной документации на преобразователь.\r\n\r\n"
            "2. Включите и прогрейте приборы в соответствии с требованиями эксплуатационной документации на "
            "них.\r\n\r\n3. Дождитесь установления рабочего режима преобразователя и нажмите кнопку [Начать "
            "настройку].");
    case 1:
        return QStringLiteral("Шаг 1\r\n\r\n\r\nПодключите к преобразователю магазин сопротивлений по 4-х "
                              "проводной схеме.\r\nУстановите на магазине сопротивлений 300 Ом.");
    case 2:
        return QStringLiteral("Шаг 2\r\n\r\n\r\nПодключите к преобразователю компаратор напряжений.\r\n"
                              "Установите на компараторе напряжений 70 мВ.");
    case 3:
        if (HasOutputRangeChoice(TypeId))
            return QStringLiteral("Шаг 3\r\n\r\n\r\nУстановлен выходной ток 100 мкА.\r\nВведите измеренное "
                                  "значение тока с точностью до единиц мкА.");
        if (HasCurrentOutput(TypeId))
            return QStringLiteral("Шаг 3\r\n\r\n\r\nУстановлен выходной ток 4000 мкА.\r\nВведите измеренное "
                                  "значение тока с точностью до единиц мкА.");
        return QString();
    case 4:
        return QStringLiteral("Шаг 4\r\n\r\n\r\nУстановлен выходной ток 20000 мкА.\r\nВведите измеренное "
                              "значение тока с точностью до единиц мкА.");
    case 5:
        return QStringLiteral("Шаг 5\r\nЗапись даты калибровки");
    default:
        return QString();
    }
}

bool TTarvoDevice::TempCheckForNSXCorrection(std::int32_t aTemp) const {
    const double t = aTemp / 100.0;
    if (t <= -1000.0) {
        ShowErrorBox(QStringLiteral("Температура находится вне диапазона допустимых значений!"));
        return false;
    }
    std::int32_t low = 0;
    std::int32_t high = 0;
    // A sensor type the table lacks has no band of its own; the transducer still refuses a temperature
    // out of its range (code 15).
    if (GetNsxBand(SensorType, low, high) && low <= t && t <= high) {
        ShowErrorBox(QStringLiteral("Температура находится в диапазоне недопустимых значений: от ") +
                     QString::number(low) + QStringLiteral(" °C до ") + QString::number(high) +
                     QStringLiteral(" °C!"));
        return false;
    }
    return true;
}
