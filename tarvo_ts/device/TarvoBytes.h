// Byte routines of the older transducer's frames: big-endian numbers, one-byte-per-character texts and
// four-byte dates. Positions are 0-based. Every routine works on a span and never touches a byte outside
// it: a byte to read from outside reads as 0, a byte to write outside is not written.
#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <span>

// Request and reply buffers of one exchange.
constexpr int ExchangeBufferSize = 128;
using TExchangeBuffer = std::array<std::uint8_t, ExchangeBufferSize>;

// Signed 16-bit value of bytes p (high) and p+1 (low).
std::int16_t GetInt16BE(std::span<const std::uint8_t> buf, int p);
// Unsigned 16-bit and 32-bit values, high byte first.
std::uint16_t GetUInt16BE(std::span<const std::uint8_t> buf, int p);
std::uint32_t GetUInt32BE(std::span<const std::uint8_t> buf, int p);

// Stores the low `n` bytes of `v` big-endian in bytes p .. p+n-1. A negative `v` is first replaced by
// 65536 + v, its 16-bit two's complement; with n = 4 that value is not sign-extended (00 00 FF FF for -1).
void WriteBE(std::span<std::uint8_t> buf, std::int64_t v, int n, int p);

// Text of the `n` bytes p .. p+n-1, one character a byte in the program's single-byte code page, zero
// bytes included (callers trim it).
QString BytesToText(std::span<const std::uint8_t> buf, int p, int n);
// The text's characters into bytes p, p+1, ... one byte each, as far as the buffer reaches; a character
// the code page lacks becomes '?'.
void TextToBytes(const QString& text, std::span<std::uint8_t> buf, int p);
// The text without the characters of codes up to 32 (blanks, zero bytes, control characters) at both ends.
QString TrimText(const QString& text);

// Single-byte code page of the texts on the wire: Windows-1251 off Windows, the system's code page on it.
QString DecodeAnsi(QByteArrayView bytes);
QByteArray EncodeAnsi(const QString& text);

// Date of day = byte p, month = byte p+1, year = bytes p+2 (high) and p+3 (low). An impossible date
// (all zeros, 31.02.2020, a year 0 or above 9999) gives no value: the caller reports "Неверная дата" and
// keeps no date.
std::optional<QDate> GetDate4(std::span<const std::uint8_t> buf, int p);
// Day into byte p, month into p+1, year high byte into p+2 and low byte into p+3; no date writes four zeros.
void PutDate4(std::span<std::uint8_t> buf, int p, const QDate& date);

// Averaging time of an averaging code: 0 for code 0, else (c + 2) / 6 rounded to the nearest integer,
// halves to even (code 1 gives 0, 4 gives 1, 7 gives 2).
int AverageFromCode(std::uint8_t code);
// Averaging code of an averaging time: 0 for 0, else (Average * 6 - 2) modulo 256.
std::uint8_t AverageToCode(int average);
