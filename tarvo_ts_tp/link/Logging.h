// The two trace logs of Tarvo_TS_TP: the program log (main thread) and thread.log (communication
// thread), both switched on by the file "logging.on" in the log folder.
#pragma once

#include <QChar>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <span>

// True when "logging.on" was found by InitLogging. Main thread only; the link copies it for its thread.
extern bool LoggingEnabled;

// Picks the log folder and reads the switch once. The folder is the program's own; when that is not
// writable (an installed program) it is the user's data folder (QStandardPaths::AppDataLocation), and
// "logging.on" is looked for there.
void InitLogging();
// The folder of "logging.on" and both logs. SetLogDirectory overrides it (tests); "" restores the default.
QString LogDirectory();
void SetLogDirectory(const QString& dir);
// Full paths of the program log (the executable's name with ".log") and of "thread.log".
QString ProgramLogFile();
QString ThreadLogFile();

// "dd/mm/yyyy hh:nn:ss.zzz" with the given separators; the log uses the system's.
QString LogTimeStamp(const QDateTime& t, QChar dateSep, QChar timeSep);
QString LogTimeStamp(const QDateTime& t);
// The current time in the system's long time format (without a time zone), for "sent at"/"rcvd at".
QString LongTimeText(const QTime& t);

// Appends time stamp + ": " + text + "\r\n" in Windows-1251 to `fileName` (the program log when empty).
// A log that cannot be written is skipped silently; returns false then.
bool WriteLog(const QString& text, const QString& fileName = {});
// One line with the hexadecimal form of `count` bytes of `buf`, in groups of 1, 2, 4 or 8 (each 16-bit
// word second byte first). Bytes of a last partial group that lie outside `buf` are left out.
bool WriteLogHex(std::span<const std::uint8_t> buf, int count, const QString& fileName = {},
                 int groupSize = 1);
// The text of that line without the time stamp.
QString HexLogText(std::span<const std::uint8_t> buf, int count, int groupSize);

QChar bin2char(int v);
QString ByteToHex(std::uint8_t b);

// Windows-1251 bytes of a text; characters the code page lacks become '?'.
QByteArray ToWin1251(const QString& text);
