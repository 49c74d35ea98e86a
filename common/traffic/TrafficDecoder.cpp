#include "TrafficDecoder.h"

#include <QDateTime>
#include <QLocale>
#include <cmath>

namespace traffic {

namespace {

const std::uint8_t* bytesOf(const QByteArray& a) {
    return reinterpret_cast<const std::uint8_t*>(a.constData());
}

QString twoDigits(unsigned v) {
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

// Length of the normal reply the link waited for, from the request as sent; 0 when unknown.
int expectedLength(const TTrafficExchange& e) {
    std::uint16_t regCount = 0;
    if (e.request.size() >= 6)
        regCount = std::uint16_t((bytesOf(e.request)[4] << 8) | bytesOf(e.request)[5]);
    return e.generation == TGeneration::Newer ? modbus::ExpectedReplyLength(e.funcCode, regCount)
                                              : modbus::ExpectedReplyLengthOld(e.funcCode, regCount);
}

QString exceptionText(TGeneration g, std::uint8_t code) {
    const QString head = QStringLiteral("Исключение ") + twoDigits(code) + QStringLiteral(": ");
    if (g == TGeneration::Newer)
        return head + modbus::ModbusErrorText(code);
    const QString text = modbus::DeviceErrorText(code);
    return head + (text.isEmpty() ? QStringLiteral("код не описан в программе") : text);
}

QString defaultText(const TTrafficExchange& e) {
    const bool newer = e.generation == TGeneration::Newer;
    namespace t = modbus::text;
    switch (e.outcome) {
    case TOutcome::Ok:
        return QStringLiteral("Норма");
    case TOutcome::Exception:
        return exceptionText(e.generation, e.code);
    case TOutcome::CrcError:
        return t::CrcError;
    case TOutcome::WrongFunction:
        return t::WrongFunction;
    case TOutcome::WrongLength:
        return t::WrongLength;
    case TOutcome::WrongFormat:
        return t::WrongFormat;
    case TOutcome::WrongValue:
        if (e.funcCode == modbus::fnCalibrationStep)
            return t::WrongCalibrStep;
        if (e.funcCode == modbus::fnNsxCorrection)
            return t::WrongNsxStep;
        return t::WrongDataValue;
    case TOutcome::ForeignAddress:
        return QStringLiteral("Ответ от другого адреса");
    case TOutcome::Ignored:
        return QStringLiteral("Пять байт без признака ошибки отброшены");
    case TOutcome::NoReply:
        return newer ? t::ReplyTimeout : QStringLiteral("Не получен ответ от прибора");
    case TOutcome::PortError:
        return newer ? t::PortNotAvailable : QStringLiteral("Нет связи с прибором");
    case TOutcome::NotSent:
        return QStringLiteral("Запрос не отправлен");
    }
    return {};
}

// What the older link accepts without looking: a reply of the right length whose CRC or address is wrong.
QString olderAcceptedFlaw(const TTrafficExchange& e) {
    const int n = int(e.reply.size());
    if (e.generation != TGeneration::Older || e.outcome != TOutcome::Ok || n < 4)
        return {};
    if (!modbus::CheckModbusCRC(bytesOf(e.reply), std::uint16_t(n - 2)))
        return QStringLiteral("CRC ответа неверна");
    if (bytesOf(e.reply)[0] != e.slaveAddr)
        return QStringLiteral("ответ от адреса ") + QString::number(bytesOf(e.reply)[0]);
    return {};
}

qint64 wallOf(const TTrafficExchange& e, qint64 us) {
    return e.anchorWallMs + qint64(std::llround(double(us - e.anchorUs) / 1000.0));
}

} // namespace

QString TTrafficDecoder::VerdictText(const TTrafficExchange& e) {
    if (e.outcome == TOutcome::Ok) {
        const QString flaw = olderAcceptedFlaw(e);
        return flaw.isEmpty() ? defaultText(e) : QStringLiteral("Принят, но ") + flaw;
    }
    QString text = e.outcome == TOutcome::Exception || e.linkText.isEmpty() ? defaultText(e) : e.linkText;
    if (e.outcome == TOutcome::WrongLength) {
        const int expected = expectedLength(e);
        text += QStringLiteral(" (получено ") + QString::number(e.reply.size());
        if (expected > 0)
            text += QStringLiteral(" из ") + QString::number(expected);
        text += QStringLiteral(" байт)");
    } else if (e.outcome == TOutcome::ForeignAddress && !e.reply.isEmpty()) {
        text += QStringLiteral(" ") + QString::number(bytesOf(e.reply)[0]);
    }
    return text;
}

TSeverity TTrafficDecoder::Severity(const TTrafficExchange& e) {
    if (e.outcome == TOutcome::Ok)
        return olderAcceptedFlaw(e).isEmpty() ? TSeverity::Ok : TSeverity::Warning;
    if (e.outcome == TOutcome::Ignored)
        return TSeverity::Warning;
    return TSeverity::Failed;
}

double TTrafficDecoder::ExchangeMs(const TTrafficExchange& e) {
    if (e.sentUs == 0)
        return -1;
    const qint64 end = e.pieces.isEmpty() ? e.endUs : e.pieces.last().timeUs;
    return end >= e.sentUs ? double(end - e.sentUs) / 1000.0 : -1;
}

namespace {

// Nothing written, nothing read: a row of its own tells why, unless the record is only about bytes thrown
// away (the older link's receive handler drops a delivery that is no poll reply).
bool refusalRow(const TTrafficExchange& e) {
    return e.request.isEmpty() && e.reply.isEmpty() && (e.discarded.isEmpty() || e.outcome == TOutcome::NotSent);
}

} // namespace

int TTrafficDecoder::RowCount(const TTrafficExchange& e) {
    return int(!e.discarded.isEmpty()) + int(!e.request.isEmpty()) + int(!e.reply.isEmpty()) + int(refusalRow(e));
}

QList<TTrafficRow> TTrafficDecoder::Rows(const TTrafficExchange& e) {
    TTrafficRow base;
    base.generation = e.generation;
    base.attempt = e.attempt;
    base.slaveAddr = e.slaveAddr;
    base.funcCode = e.funcCode;
    base.port = e.port;
    base.bitRate = e.bitRate;
    base.verdict = VerdictText(e);
    base.severity = Severity(e);

    QList<TTrafficRow> rows;
    rows.reserve(3);
    if (!e.discarded.isEmpty()) {
        TTrafficRow r = base;
        r.direction = TDirection::Discarded;
        r.wallMs = wallOf(e, e.discardedUs);
        r.bytes = e.discarded;
        r.verdict = QStringLiteral("Посторонние байты перед запросом");
        r.severity = TSeverity::Warning;
        rows.append(r);
    }
    const double ms = ExchangeMs(e);
    if (!e.request.isEmpty()) {
        TTrafficRow r = base;
        r.direction = TDirection::Request;
        r.wallMs = wallOf(e, e.sentUs);
        r.bytes = e.request;
        r.ms = ms;
        rows.append(r);
    }
    if (!e.reply.isEmpty()) {
        TTrafficRow r = base;
        r.direction = TDirection::Reply;
        r.wallMs = wallOf(e, e.pieces.isEmpty() ? e.endUs : e.pieces.last().timeUs);
        r.bytes = e.reply;
        r.pieces = e.pieces;
        r.ms = ms;
        rows.append(r);
    }
    if (refusalRow(e)) {
        TTrafficRow r = base;
        r.direction = TDirection::NotSent;
        r.wallMs = wallOf(e, e.endUs);
        rows.append(r);
    }
    return rows;
}

QString TTrafficDecoder::FunctionText(TGeneration g, std::uint8_t functionByte) {
    const bool exception = functionByte & 0x80;
    const std::uint8_t code = exception ? std::uint8_t(functionByte & 0x7F) : functionByte;
    const QString name = g == TGeneration::Newer ? modbus::FunctionName(code) : modbus::FunctionNameOld(code);
    QString text = QString::number(code) + QLatin1Char(' ') +
                   (name.isEmpty() ? QStringLiteral("неизвестная функция") : name);
    if (exception)
        text += QStringLiteral(" (исключение)");
    return text;
}

QString TTrafficDecoder::HexText(const QByteArray& bytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    if (bytes.isEmpty())
        return {};
    QString out(bytes.size() * 3 - 1, QLatin1Char(' '));
    QChar* p = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = std::uint8_t(bytes[i]);
        p[3 * i] = QLatin1Char(digits[b >> 4]);
        p[3 * i + 1] = QLatin1Char(digits[b & 0xF]);
    }
    return out;
}

QString TTrafficDecoder::TimeText(qint64 wallMs) {
    return TimeText(wallMs, QDateTime::fromMSecsSinceEpoch(wallMs).offsetFromUtc());
}

QString TTrafficDecoder::TimeText(qint64 wallMs, int utcOffsetS) {
    constexpr qint64 Day = 86'400'000;
    const qint64 ms = ((wallMs + qint64(utcOffsetS) * 1000) % Day + Day) % Day;
    const int v[4] = {int(ms / 3'600'000), int(ms / 60'000 % 60), int(ms / 1000 % 60), int(ms % 1000)};
    QString out(12, QLatin1Char(':'));
    QChar* p = out.data();
    auto put = [](QChar* at, int value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10)
            at[i] = QLatin1Char(char('0' + value % 10));
    };
    put(p, v[0], 2);
    put(p + 3, v[1], 2);
    put(p + 6, v[2], 2);
    p[8] = QLatin1Char('.');
    put(p + 9, v[3], 3);
    return out;
}

QString TTrafficDecoder::MsText(double ms) {
    if (ms < 0)
        return {};
    return ms < 10 ? QLocale().toString(ms, 'f', 1) : QString::number(std::llround(ms));
}

QString TTrafficDecoder::DirectionText(const TTrafficRow& row) {
    switch (row.direction) {
    case TDirection::Request:
        return row.attempt > 1 ? QStringLiteral("Запрос, попытка ") + QString::number(row.attempt)
                               : QStringLiteral("Запрос");
    case TDirection::Reply:
        return QStringLiteral("Ответ");
    case TDirection::Discarded:
        return QStringLiteral("Отброшено");
    case TDirection::NotSent:
        return QStringLiteral("Не отправлено");
    }
    return {};
}

QStringList TTrafficDecoder::ColumnTitles() {
    return {QStringLiteral("Время"),   QStringLiteral("Направление"), QStringLiteral("Адрес"),
            QStringLiteral("Функция"), QStringLiteral("Байты"),       QStringLiteral("Итог"),
            QStringLiteral("мс")};
}

QString TTrafficDecoder::CellText(const TTrafficRow& row, int column) {
    const bool fromQuery = row.direction == TDirection::NotSent;
    const bool noFrame = row.direction == TDirection::Discarded;
    switch (column) {
    case ColTime:
        return row.timeText.isEmpty() ? TimeText(row.wallMs) : row.timeText;
    case ColDirection:
        return DirectionText(row);
    case ColAddress:
        if (fromQuery)
            return QString::number(row.slaveAddr);
        return noFrame || row.bytes.isEmpty() ? QString() : QString::number(std::uint8_t(row.bytes[0]));
    case ColFunction:
        if (fromQuery)
            return FunctionText(row.generation, row.funcCode);
        return noFrame || row.bytes.size() < 2 ? QString()
                                               : FunctionText(row.generation, std::uint8_t(row.bytes[1]));
    case ColBytes:
        return HexText(row.bytes);
    case ColVerdict:
        return row.verdict;
    case ColMs:
        return MsText(row.ms);
    default:
        return {};
    }
}

QString TTrafficDecoder::DetailText(const TTrafficRow& row) {
    QString text = row.port.isEmpty() ? QString() : QStringLiteral("Порт ") + row.port;
    if (row.bitRate > 0)
        text += (text.isEmpty() ? QString() : QStringLiteral(", ")) + QString::number(row.bitRate) +
                QStringLiteral(" бит/с");
    text += (text.isEmpty() ? QString() : QStringLiteral("; ")) +
            QDateTime::fromMSecsSinceEpoch(row.wallMs).toString(QStringLiteral("dd.MM.yyyy hh:mm:ss.zzz"));
    if (!row.bytes.isEmpty())
        text += QStringLiteral("\n") + QString::number(row.bytes.size()) + QStringLiteral(" байт: ") +
                HexText(row.bytes);
    if (row.pieces.size() > 1) {
        QStringList sizes;
        int start = 0;
        for (const TTrafficPiece& p : row.pieces) {
            sizes << QString::number(p.end - start);
            start = p.end;
        }
        text += QStringLiteral("\nПринят по частям (чтений: ") + QString::number(row.pieces.size()) +
                QStringLiteral("): ") + sizes.join(QStringLiteral(" + ")) + QStringLiteral(" байт");
    }
    return text;
}

QString TTrafficDecoder::RowText(const TTrafficRow& row) {
    QString line;
    for (int c = 0; c < ColumnCount; ++c) {
        if (c)
            line += QLatin1Char('\t');
        line += CellText(row, c);
    }
    return line;
}

} // namespace traffic
