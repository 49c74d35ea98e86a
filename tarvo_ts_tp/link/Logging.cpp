#include "Logging.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QStringEncoder>

bool LoggingEnabled = false;

namespace {

QString& logDirOverride() {
    static QString dir;
    return dir;
}

QString& chosenLogDir() {
    static QString dir;
    return dir;
}

QString programDir() {
    // Without an application object (some tests) the current folder stands in.
    return QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
}

bool dirWritable(const QString& dir) {
    QFileInfo fi(dir);
    return fi.isDir() && fi.isWritable();
}

// First separator of a locale format among `candidates`, else `fallback`.
QChar separatorOf(const QString& format, const QString& candidates, QChar fallback) {
    for (QChar c : format)
        if (!c.isLetter())
            return candidates.contains(c) ? c : fallback;
    return fallback;
}

} // namespace

void InitLogging() {
    QString dir = programDir();
    if (!dirWritable(dir)) {
        const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        if (!data.isEmpty())
            dir = data;
    }
    chosenLogDir() = dir;
    LoggingEnabled = QFileInfo::exists(QDir(LogDirectory()).filePath(QStringLiteral("logging.on")));
}

QString LogDirectory() {
    if (!logDirOverride().isEmpty())
        return logDirOverride();
    if (!chosenLogDir().isEmpty())
        return chosenLogDir();
    return programDir();
}

void SetLogDirectory(const QString& dir) {
    logDirOverride() = dir;
}

QString ProgramLogFile() {
    QString name = QStringLiteral("Tarvo_TS_TP");
    if (QCoreApplication::instance())
        name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    return QDir(LogDirectory()).filePath(name + QStringLiteral(".log"));
}

QString ThreadLogFile() {
    return QDir(LogDirectory()).filePath(QStringLiteral("thread.log"));
}

QString LogTimeStamp(const QDateTime& t, QChar dateSep, QChar timeSep) {
    const QDate d = t.date();
    const QTime tm = t.time();
    auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    return two(d.day()) + dateSep + two(d.month()) + dateSep +
           QStringLiteral("%1").arg(d.year(), 4, 10, QLatin1Char('0')) + QLatin1Char(' ') + two(tm.hour()) +
           timeSep + two(tm.minute()) + timeSep + two(tm.second()) + QLatin1Char('.') +
           QStringLiteral("%1").arg(tm.msec(), 3, 10, QLatin1Char('0'));
}

QString LogTimeStamp(const QDateTime& t) {
    static const QLocale loc = QLocale::system();
    static const QChar dateSep =
        separatorOf(loc.dateFormat(QLocale::ShortFormat), QStringLiteral("./-"), QLatin1Char('/'));
    static const QChar timeSep =
        separatorOf(loc.timeFormat(QLocale::LongFormat), QStringLiteral(":."), QLatin1Char(':'));
    return LogTimeStamp(t, dateSep, timeSep);
}

QString LongTimeText(const QTime& t) {
    static const QString format = [] {
        QString f = QLocale::system().timeFormat(QLocale::LongFormat);
        f.remove(QLatin1Char('t'));
        return f.trimmed();
    }();
    return QLocale::system().toString(t, format);
}

QChar bin2char(int v) {
    v &= 0x0F;
    return QLatin1Char(v < 10 ? char('0' + v) : char('A' + v - 10));
}

QString ByteToHex(std::uint8_t b) {
    QString s(3, QLatin1Char(' '));
    s[0] = bin2char(b >> 4);
    s[1] = bin2char(b);
    return s;
}

QByteArray ToWin1251(const QString& text) {
    QStringEncoder enc("windows-1251", QStringConverter::Flag::Stateless);
    if (!enc.isValid())
        return text.toLatin1();
    QByteArray out;
    out.reserve(text.size());
    // Encoded one character at a time so that a character the code page lacks becomes a single '?'.
    for (QChar c : text) {
        QByteArray b = enc.encode(QStringView(&c, 1));
        out += (enc.hasError() || b.size() != 1) ? QByteArray("?") : b;
        enc.resetState();
    }
    return out;
}

bool WriteLog(const QString& text, const QString& fileName) {
    QFile f(fileName.isEmpty() ? ProgramLogFile() : fileName);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QByteArray line =
        ToWin1251(LogTimeStamp(QDateTime::currentDateTime()) + QStringLiteral(": ") + text) + "\r\n";
    return f.write(line) == line.size() && f.flush();
}

QString HexLogText(std::span<const std::uint8_t> buf, int count, int groupSize) {
    if (groupSize != 2 && groupSize != 4 && groupSize != 8)
        groupSize = 1;
    if (count > int(buf.size()))
        count = int(buf.size());
    QString s;
    for (int i = 0; i < count; i += groupSize) {
        if (groupSize == 1) {
            s += ByteToHex(buf[i]);
            continue;
        }
        for (int w = 0; w < groupSize; w += 2)
            for (int k : {i + w + 1, i + w})
                if (k < int(buf.size()))
                    s += ByteToHex(buf[k]);
    }
    return s;
}

bool WriteLogHex(std::span<const std::uint8_t> buf, int count, const QString& fileName, int groupSize) {
    return WriteLog(HexLogText(buf, count, groupSize), fileName);
}
