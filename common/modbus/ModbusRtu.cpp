#include "ModbusRtu.h"

#include <array>

namespace modbus {

namespace {

constexpr std::array<std::uint16_t, 256> makeCrcTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t crc = static_cast<std::uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1u) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001u)
                             : static_cast<std::uint16_t>(crc >> 1);
        table[i] = crc;
    }
    return table;
}

constexpr auto CrcTable = makeCrcTable();

std::uint16_t be16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

void putBe16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v & 0xFF);
}

ReplyCheck failed(const QString& text) {
    ReplyCheck r;
    r.status = ReplyCheck::Failed;
    r.error = text;
    return r;
}

ReplyCheck addressMismatch() {
    ReplyCheck r;
    r.status = ReplyCheck::AddressMismatch;
    return r;
}

ReplyCheck success() {
    ReplyCheck r;
    r.status = ReplyCheck::Ok;
    return r;
}

bool addressAccepted(const ReplyContext& ctx, std::uint8_t replyAddr) {
    if (replyAddr == ctx.slaveAddr)
        return true;
    const bool relaxed = ctx.funcCode == fnReadHoldingRegisters || ctx.funcCode == fnWriteMultipleRegisters;
    return relaxed && ctx.isChangeSlaveAddr;
}

// A reply of exactly five bytes: an exception reply or a short normal reply.
ReplyCheck checkFiveByteReply(const ReplyContext& ctx, const std::uint8_t* reply) {
    if (!CheckModbusCRC(reply, 3))
        return failed(text::CrcError);
    if (!addressAccepted(ctx, reply[0]))
        return addressMismatch();
    if ((reply[1] & 0x7F) != ctx.funcCode)
        return failed(text::WrongFunction);
    if (reply[1] & 0x80)
        return failed(ModbusErrorText(reply[2]));

    ReplyCheck r = success();
    switch (ctx.funcCode) {
    case fnReadExceptionStatus:
        r.value = reply[2];
        r.regCount = 1;
        return r;
    case fnCalibrationStep:
        if (reply[2] != ctx.step)
            return failed(text::WrongCalibrStep);
        r.value = reply[2];
        return r;
    case fnNsxCorrection:
        if (reply[2] != ctx.step)
            return failed(text::WrongNsxStep);
        r.value = reply[2];
        return r;
    case fnZeroCorrection:
        if (reply[2] >= 254)
            return failed(text::WrongDataValue);
        r.value = reply[2];
        return r;
    default: // 3, 16, 17 and anything else: a normal reply of theirs is never five bytes
        return failed(text::WrongFormat);
    }
}

// A reply carrying a byte count in byte 2 (functions 3 and 17).
ReplyCheck checkCountedReply(const ReplyContext& ctx, const std::uint8_t* reply, int n, int minLength,
                             bool addressRelaxable) {
    // Length first: the byte count is only trusted once the bytes it announces have arrived.
    if (n < minLength || n < 3)
        return failed(text::WrongLength);
    const int byteCount = reply[2];
    if (byteCount > MaxReplyByteCount || byteCount + 5 > n)
        return failed(text::WrongLength);
    if (!CheckModbusCRC(reply, static_cast<std::uint16_t>(byteCount + 3)))
        return failed(text::CrcError);
    const bool addrOk = addressRelaxable ? addressAccepted(ctx, reply[0]) : reply[0] == ctx.slaveAddr;
    if (!addrOk)
        return addressMismatch();
    if (reply[1] != ctx.funcCode)
        return failed(text::WrongFunction);
    ReplyCheck r = success();
    r.dataOffset = 3;
    r.dataLength = byteCount;
    r.regCount = static_cast<std::uint16_t>(byteCount);
    return r;
}

} // namespace

std::uint16_t Crc16(const std::uint8_t* data, std::size_t n) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < n; ++i)
        crc = static_cast<std::uint16_t>((crc >> 8) ^ CrcTable[(crc ^ data[i]) & 0xFF]);
    return crc;
}

void AddModbusCRC(std::uint8_t* buf, std::uint16_t count) {
    const std::uint16_t crc = Crc16(buf, count);
    buf[count] = static_cast<std::uint8_t>(crc & 0xFF);
    buf[count + 1] = static_cast<std::uint8_t>(crc >> 8);
}

bool CheckModbusCRC(const std::uint8_t* buf, std::uint16_t count) {
    const std::uint16_t crc = Crc16(buf, count);
    return buf[count] == static_cast<std::uint8_t>(crc & 0xFF) &&
           buf[count + 1] == static_cast<std::uint8_t>(crc >> 8);
}

QByteArray WithCrc(const QByteArray& body) {
    const std::uint16_t crc = Crc16(reinterpret_cast<const std::uint8_t*>(body.constData()), std::size_t(body.size()));
    QByteArray frame = body;
    frame.append(char(crc & 0xFF));
    frame.append(char(crc >> 8));
    return frame;
}

std::size_t BuildRequest(const RequestFields& req, std::span<std::uint8_t> out) {
    std::array<std::uint8_t, FrameBufferSize> frame{};
    std::size_t len = 0;
    frame[0] = req.slaveAddr;
    frame[1] = req.funcCode;
    switch (req.funcCode) {
    case fnReadHoldingRegisters:
        putBe16(&frame[2], req.startAddr);
        putBe16(&frame[4], req.regCount);
        len = 6;
        break;
    case fnReadExceptionStatus:
    case fnReportSlaveId:
        len = 2;
        break;
    case fnWriteMultipleRegisters: {
        // 123 registers is the most a request may carry; the byte count must fit its byte.
        if (req.regCount == 0 || req.regCount > 123)
            return 0;
        const std::size_t bytes = 2u * req.regCount;
        if (req.data.size() < bytes)
            return 0;
        putBe16(&frame[2], req.startAddr);
        putBe16(&frame[4], req.regCount);
        frame[6] = static_cast<std::uint8_t>(bytes);
        for (std::size_t i = 0; i < bytes; ++i)
            frame[7 + i] = req.data[i];
        len = 7 + bytes;
        break;
    }
    case fnCalibrationStep:
    case fnNsxCorrection:
    case fnOldCalibrationStep:
        if (req.data.size() < 4)
            return 0;
        frame[2] = req.step;
        for (std::size_t i = 0; i < 4; ++i)
            frame[3 + i] = req.data[i];
        len = 7;
        break;
    case fnZeroCorrection:
    case fnOldZeroCorrection:
        if (req.data.empty())
            return 0;
        frame[2] = req.data[0];
        len = 3;
        break;
    case fnOldNsxCorrection:
        if (req.data.size() < 2)
            return 0;
        frame[2] = req.step;
        frame[3] = req.data[0];
        frame[4] = req.data[1];
        len = 5;
        break;
    default:
        return 0;
    }
    if (out.size() < len + 2)
        return 0;
    AddModbusCRC(frame.data(), static_cast<std::uint16_t>(len));
    std::copy(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(len + 2), out.begin());
    return len + 2;
}

int ExpectedReplyLength(std::uint8_t funcCode, std::uint16_t regCount) {
    switch (funcCode) {
    case fnReadHoldingRegisters:
        return 2 * regCount + 5;
    case fnReadExceptionStatus:
        return 5;
    case fnWriteMultipleRegisters:
        return 8;
    case fnReportSlaveId:
        return 71;
    case fnCalibrationStep:
    case fnZeroCorrection:
    case fnNsxCorrection:
        return 5;
    default:
        return 0;
    }
}

int ExpectedReplyLengthOld(std::uint8_t funcCode, std::uint16_t regCount) {
    switch (funcCode) {
    case fnReadHoldingRegisters:
        return 2 * regCount + 5;
    case fnWriteMultipleRegisters:
        return 8;
    case fnReportSlaveId:
        return 55;
    case fnOldCalibrationStep:
    case fnOldZeroCorrection:
    case fnOldNsxCorrection:
        return 5;
    default:
        return 0;
    }
}

QString FunctionName(std::uint8_t funcCode) {
    switch (funcCode) {
    case fnReadHoldingRegisters:
        return QStringLiteral("Чтение регистров");
    case fnReadExceptionStatus:
        return QStringLiteral("Чтение состояния");
    case fnWriteMultipleRegisters:
        return QStringLiteral("Запись регистров");
    case fnReportSlaveId:
        return QStringLiteral("Идентификация");
    case fnCalibrationStep:
        return QStringLiteral("Этап калибровки");
    case fnZeroCorrection:
        return QStringLiteral("Подстройка \"0\"");
    case fnNsxCorrection:
        return QStringLiteral("Подстройка НСХ");
    default:
        return {};
    }
}

QString FunctionNameOld(std::uint8_t funcCode) {
    switch (funcCode) {
    case fnReadHoldingRegisters:
        return QStringLiteral("Чтение регистров");
    case fnWriteMultipleRegisters:
        return QStringLiteral("Запись регистров");
    case fnReportSlaveId:
        return QStringLiteral("Идентификация");
    case fnOldCalibrationStep:
        return QStringLiteral("Этап калибровки");
    case fnOldZeroCorrection:
        return QStringLiteral("Корректировка R0");
    case fnOldNsxCorrection:
        return QStringLiteral("Корректировка НСХ");
    default:
        return {};
    }
}

ReplyCheck CheckReply(const ReplyContext& ctx, const std::uint8_t* reply, int n) {
    if (n < 0)
        return failed(text::PortNotAvailable);
    if (n == 0)
        return failed(text::ReplyTimeout);
    if (n == 5)
        return checkFiveByteReply(ctx, reply);

    switch (ctx.funcCode) {
    case fnReadHoldingRegisters:
        return checkCountedReply(ctx, reply, n, 2 * ctx.regCount + 5, true);
    case fnReportSlaveId:
        return checkCountedReply(ctx, reply, n, 0, false);
    case fnWriteMultipleRegisters: {
        if (n < 8)
            return failed(text::WrongLength);
        if (!CheckModbusCRC(reply, 6))
            return failed(text::CrcError);
        if (!addressAccepted(ctx, reply[0]))
            return addressMismatch();
        if (reply[1] != fnWriteMultipleRegisters)
            return failed(text::WrongFunction);
        ReplyCheck r = success();
        r.regCount = be16(&reply[4]);
        return r;
    }
    case fnReadExceptionStatus:
    case fnCalibrationStep:
    case fnZeroCorrection:
    case fnNsxCorrection:
        return failed(text::WrongLength);
    default:
        return failed(text::WrongFormat);
    }
}

QString ModbusErrorText(std::uint8_t code) {
    switch (code) {
    case 1:
        return QStringLiteral("Принятый код функции не может быть обработан");
    case 2:
        return QStringLiteral("Недопустимый адрес данных");
    case 3:
        return QStringLiteral("Недопустимая величина в поле данных");
    case 4:
        return QStringLiteral("Преобразователь вернул код ошибки 04: SLAVE DEVICE FAILURE");
    case 5:
        return QStringLiteral("Преобразователь вернул код ошибки 05: ACKNOWLEDGE");
    case 6:
        return QStringLiteral("Преобразователь вернул код ошибки 06: SLAVE DEVICE BUSY");
    case 7:
        return QStringLiteral("Преобразователь вернул код ошибки 07: NEGATIVE ACKNOWLEDGE");
    case 8:
        return QStringLiteral("Преобразователь вернул код ошибки 08: MEMORY PARITY ERROR");
    case 10:
        return QStringLiteral(
            "Калибровка АЦП: измеренное АЦП значение находится вне диапазона возможных значений");
    case 11:
        return QStringLiteral("Калибровка ЦАП: полученные данные находятся вне диапазона возможных значений");
    case 12:
        return QStringLiteral(
            "Подстройка \"0\": операция не может быть выполнена из-за отклонения измеренной "
            "температуры от 0 более чем на 20°C");
    case 13:
        return QStringLiteral(
            "Подстройка \"0\": операция не может быть выполнена, так как подстройка \"0\" уже "
            "проводилась. Для проведения операции необходимо сбросить ранее записанное значение "
            "поправочного коэффициента");
    case 14:
        return QStringLiteral("Подстройка НСХ: операция не может быть выполнена, так как подстройка НСХ уже "
                              "проводилась. Для проведения операции необходимо сбросить результат ранее "
                              "проведенной подстройки");
    case 15:
        return QStringLiteral("Подстройка НСХ: операция не может быть выполнена, так как измеренная "
                              "преобразователем температура находится вне диапазона допустимых значений");
    case 16:
        return QStringLiteral("Подстройка НСХ: операция не может быть выполнена, так как полученное "
                              "действительное значение температуры отличается от измеренной преобразователем "
                              "более чем на 10%");
    default:
        return QStringLiteral("Преобразователь вернул неизвестный код ошибки");
    }
}

const DeviceErrorEntry DeviceErrors[10] = {
    {ecUnknownCommand, u"Неизвестная команда."},
    {ecBadRegister, u"Некорректный номер регистра данных."},
    {ecBadRequest, u"Некорректный запрос."},
    {ecAdcOutOfRange, u"Измеряемое значение АЦП выходит за пределы диапазона."},
    {ecBadRequestData, u"Некорректные данные в запросе."},
    {ecZeroDeviation, u"Измеренная температура отклонилась от 0 °С более чем на 20 °С."},
    {ecZeroDone, u"Корректировка R0 уже проводилась. Необходимо сбросить значение корректирокки R0."},
    {ecNsxDone,
     u"Корректировка НСХ уже проводилась. Нужно сбросить результат ранее проведенной корректировки."},
    {ecNsxOutOfRange, u"Измеренная температура выходит за пределы диапазона допустимых значений."},
    {ecNsxDeviation, u"Заданная температура отличается от измеряемой более чем на 5%."},
};

QString DeviceErrorText(std::uint8_t code) {
    for (const auto& e : DeviceErrors)
        if (e.code == code)
            return QString::fromUtf16(e.text);
    return {};
}

} // namespace modbus
