#include "TarvoBytes.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

std::uint8_t ByteAt(std::span<const std::uint8_t> buf, int p) {
    return p >= 0 && static_cast<std::size_t>(p) < buf.size() ? buf[static_cast<std::size_t>(p)] : 0;
}

void PutByte(std::span<std::uint8_t> buf, int p, std::uint8_t b) {
    if (p >= 0 && static_cast<std::size_t>(p) < buf.size())
        buf[static_cast<std::size_t>(p)] = b;
}

#ifdef Q_OS_WIN
QStringDecoder AnsiDecoder() {
    return QStringDecoder(QStringConverter::System, QStringConverter::Flag::Stateless);
}
QStringEncoder AnsiEncoder() {
    return QStringEncoder(QStringConverter::System, QStringConverter::Flag::Stateless);
}
#else
QStringDecoder AnsiDecoder() {
    return QStringDecoder("windows-1251", QStringConverter::Flag::Stateless);
}
QStringEncoder AnsiEncoder() {
    return QStringEncoder("windows-1251", QStringConverter::Flag::Stateless);
}
#endif

} // namespace

std::int16_t GetInt16BE(std::span<const std::uint8_t> buf, int p) {
    return static_cast<std::int16_t>(GetUInt16BE(buf, p));
}

std::uint16_t GetUInt16BE(std::span<const std::uint8_t> buf, int p) {
    return static_cast<std::uint16_t>((ByteAt(buf, p) << 8) | ByteAt(buf, p + 1));
}

std::uint32_t GetUInt32BE(std::span<const std::uint8_t> buf, int p) {
    return (std::uint32_t{GetUInt16BE(buf, p)} << 16) | GetUInt16BE(buf, p + 2);
}

void WriteBE(std::span<std::uint8_t> buf, std::int64_t v, int n, int p) {
    if (v < 0)
        v += 65536;
    const auto u = static_cast<std::uint64_t>(v);
    for (int i = 0; i < n && i < 8; ++i)
        PutByte(buf, p + n - 1 - i, static_cast<std::uint8_t>(u >> (8 * i)));
}

QString DecodeAnsi(QByteArrayView bytes) {
    QStringDecoder decoder = AnsiDecoder();
    // A Qt without the code page (no ICU) still gives one character a byte.
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

QByteArray EncodeAnsi(const QString& text) {
    if (!AnsiEncoder().isValid())
        return text.toLatin1();
    QByteArray out;
    out.reserve(text.size());
    // One character at a time with a fresh converter (one keeps reporting an error once it had one), so
    // that a character the code page lacks becomes exactly one '?' rather than the converter's substitute.
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.unicode() < 0x80) {
            out.append(char(c.unicode()));
            continue;
        }
        const qsizetype len = c.isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QStringEncoder encoder = AnsiEncoder();
        const QByteArray b = encoder.encode(QStringView(text).mid(i, len));
        out += encoder.hasError() || b.size() != 1 ? QByteArray(1, '?') : b;
        i += len - 1;
    }
    return out;
}

QString BytesToText(std::span<const std::uint8_t> buf, int p, int n) {
    QByteArray bytes;
    bytes.reserve(n > 0 ? n : 0);
    for (int i = 0; i < n; ++i)
        bytes.append(static_cast<char>(ByteAt(buf, p + i)));
    return DecodeAnsi(bytes);
}

void TextToBytes(const QString& text, std::span<std::uint8_t> buf, int p) {
    const QByteArray bytes = EncodeAnsi(text);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        PutByte(buf, p + static_cast<int>(i), static_cast<std::uint8_t>(bytes[i]));
}

QString TrimText(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 32)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

std::optional<QDate> GetDate4(std::span<const std::uint8_t> buf, int p) {
    const int day = ByteAt(buf, p);
    const int month = ByteAt(buf, p + 1);
    const int year = GetUInt16BE(buf, p + 2);
    if (year < 1 || year > 9999 || !QDate::isValid(year, month, day))
        return std::nullopt;
    return QDate(year, month, day);
}

void PutDate4(std::span<std::uint8_t> buf, int p, const QDate& date) {
    if (!date.isValid()) {
        WriteBE(buf, 0, 4, p);
        return;
    }
    PutByte(buf, p, static_cast<std::uint8_t>(date.day()));
    PutByte(buf, p + 1, static_cast<std::uint8_t>(date.month()));
    WriteBE(buf, date.year(), 2, p + 2);
}

int AverageFromCode(std::uint8_t code) {
    if (code == 0)
        return 0;
    const int q = (code + 2) / 6;
    const int r = (code + 2) % 6;
    if (2 * r > 6 || (2 * r == 6 && q % 2 != 0))
        return q + 1;
    return q;
}

std::uint8_t AverageToCode(int average) {
    if (average == 0)
        return 0;
    return static_cast<std::uint8_t>(average * 6 - 2);
}
