#include "CsvRecorder.h"

#include <QFileInfo>
#include <QLocale>

#include <cerrno>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace trend {

namespace {

const QString kTimeHeader = u"Время"_s;
const QString kSecondsHeader = u"Секунды"_s;
const QString kOutcomeHeader = u"Результат"_s;

RecordFault faultOf(int error, QFileDevice::FileError qtError, RecordFault otherwise) {
#ifdef EDQUOT
    if (error == EDQUOT)
        return RecordFault::DiskFull;
#endif
    if (error == ENOSPC || qtError == QFileDevice::ResourceError)
        return RecordFault::DiskFull;
    return otherwise;
}

} // namespace

QString RecordErrorText(const RecordError& error) {
    const QString name = QFileInfo(error.path).fileName();
    QString text;
    switch (error.fault) {
    case RecordFault::None:
        return {};
    case RecordFault::OpenFailed:
        text = u"Не удалось создать файл записи «%1»."_s.arg(error.path);
        break;
    case RecordFault::DiskFull:
        text = u"Запись в файл «%1» остановлена: на диске нет места."_s.arg(name);
        break;
    case RecordFault::WriteFailed:
        text = u"Запись в файл «%1» остановлена: файл больше не удаётся записать (носитель извлечён или неисправен)."_s
                   .arg(name);
        break;
    }
    if (!error.systemText.isEmpty())
        text += u"\n("_s + error.systemText + u")"_s;
    if (error.fault != RecordFault::OpenFailed)
        text += u"\nИзмерения продолжаются."_s;
    return text;
}

CsvRecorder::CsvRecorder() = default;
CsvRecorder::~CsvRecorder() = default;

QString CsvRecorder::formatTime(const QDateTime& time) {
    const QDateTime local = time.toLocalTime();
    const int offset = local.offsetFromUtc();
    const int a = std::abs(offset) / 60;
    return local.toString(u"yyyy-MM-ddTHH:mm:ss.zzz"_s) + (offset < 0 ? u'-' : u'+') +
           QString::number(a / 60).rightJustified(2, u'0') + u':' + QString::number(a % 60).rightJustified(2, u'0');
}

QString CsvRecorder::formatValue(double value, int decimals) {
    // QString::number is the C locale's whatever the user's locale is: '.' and no group separators.
    QString text = QString::number(value, 'f', decimals >= 0 ? decimals : int(QLocale::FloatingPointShortest));
    // a small negative value rounded to zero is written as zero
    if (text.startsWith(u'-') && text.count(u'0') + text.count(u'.') == text.size() - 1)
        text.remove(0, 1);
    return text;
}

QString CsvRecorder::quoted(const QString& field) {
    if (!field.contains(u',') && !field.contains(u'"') && !field.contains(u'\n') && !field.contains(u'\r'))
        return field;
    QString q = field;
    q.replace(u'"', u"\"\""_s);
    return u'"' + q + u'"';
}

bool CsvRecorder::start(const QString& path, const QList<CsvColumn>& columns) {
    stop();
    error_ = RecordError{};
    path_ = path;
    columns_ = columns;
    rows_ = 0;
    startMs_.reset();
    auto file = std::make_unique<QFile>(path);
    // Unbuffered: each row goes to the system in one write, nothing waits in our buffers.
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        error_ = RecordError{RecordFault::OpenFailed, path, file->errorString()};
        return false;
    }
    file_ = std::move(file);
    QStringList header{kTimeHeader, kSecondsHeader};
    for (const CsvColumn& c : columns)
        header << quoted(c.unit.isEmpty() ? c.name : c.name + u" ("_s + c.unit + u')');
    header << kOutcomeHeader;
    return put((header.join(u',') + u"\r\n"_s).toUtf8());
}

bool CsvRecorder::writeRow(const QDateTime& time, const QList<std::optional<double>>& values, const QString& outcome) {
    if (!file_)
        return false;
    const qint64 ms = time.toMSecsSinceEpoch();
    if (!startMs_)
        startMs_ = ms;
    QString row = formatTime(time) + u',' + formatValue(double(ms - *startMs_) / 1000.0, 3);
    for (int i = 0; i < columns_.size(); ++i) {
        row += u',';
        if (i < values.size() && values[i] && std::isfinite(*values[i]))
            row += formatValue(*values[i], columns_[i].decimals);
    }
    row += u',' + quoted(outcome.isEmpty() ? QString::fromLatin1(kOk) : outcome) + u"\r\n"_s;
    if (!put(row.toUtf8()))
        return false;
    ++rows_;
    return true;
}

bool CsvRecorder::put(const QByteArray& bytes) {
    errno = 0;
    const qint64 written = file_->write(bytes);
    const int err = errno;
    if (written == bytes.size())
        return true;
    error_ = RecordError{faultOf(err, file_->error(), RecordFault::WriteFailed), path_, file_->errorString()};
    file_.reset(); // closes; the rows before stay in the file
    return false;
}

void CsvRecorder::stop() {
    if (file_) {
        file_->close();
        file_.reset();
    }
}

QString DefaultRecordFileName(const QString& type, const QString& sensorNumber, const QDateTime& at) {
    auto clean = [](QString part) {
        for (QChar& c : part) {
            if (c.unicode() < 0x20 || c.unicode() == 0x7F || QStringView(u"<>:\"/\\|?*").contains(c))
                c = u'_';
        }
        part = part.simplified().left(60);
        // Windows drops trailing dots and blanks of a name
        while (part.endsWith(u'.') || part.endsWith(u' '))
            part.chop(1);
        return part;
    };
    QStringList parts;
    for (const QString& p : {clean(type), clean(sensorNumber)})
        if (!p.isEmpty())
            parts << p;
    parts << at.toLocalTime().toString(u"yyyy-MM-dd_HH-mm-ss"_s);
    return parts.join(u'_') + u".csv"_s;
}

} // namespace trend
