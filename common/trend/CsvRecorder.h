// Records the polls of a diagnostics page to a CSV file, one row per poll, each row handed to the system as
// soon as it is made, so a crash of the program loses at most the row being written. The file reads the
// same in every locale: '.' as decimal point, ',' between fields, UTF-8, local time in ISO 8601 with its
// offset. A failed write stops the recording and says why as a kind; the text is made where it is shown.
#pragma once

#include <QDateTime>
#include <QFile>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

namespace trend {

// One recorded value: its name and unit make the header ("T (°C)"); `decimals` < 0 writes the shortest
// exact form.
struct CsvColumn {
    QString name;
    QString unit;
    int decimals = -1;
};

enum class RecordFault {
    None,
    OpenFailed,  // the file cannot be created or opened for writing
    DiskFull,    // no space left on the device
    WriteFailed, // any other failed write (the device is gone, an I/O error)
};

struct RecordError {
    RecordFault fault = RecordFault::None;
    QString path;       // the file
    QString systemText; // what the system said
};

// The Russian text of a failed recording, for the program's message box.
QString RecordErrorText(const RecordError& error);

class CsvRecorder {
public:
    CsvRecorder();
    ~CsvRecorder();
    CsvRecorder(const CsvRecorder&) = delete;
    CsvRecorder& operator=(const CsvRecorder&) = delete;

    // Creates (or empties) the file and writes the header. False, with error() set, when it cannot.
    bool start(const QString& path, const QList<CsvColumn>& columns);
    // One poll: its local time, a value per column (missing: an empty field) and its outcome, "ok" for an
    // answered poll or the text of what failed. False, with the recording stopped and error() set, when
    // the row cannot be written.
    bool writeRow(const QDateTime& time, const QList<std::optional<double>>& values, const QString& outcome);
    void stop();

    bool isRecording() const { return file_ != nullptr; }
    QString path() const { return path_; }
    qint64 rows() const { return rows_; } // rows written after the header
    const RecordError& error() const { return error_; }

    // The pieces of a row, in the forms written.
    static QString formatTime(const QDateTime& time);       // 2025-03-01T10:15:02.125+03:00
    static QString formatValue(double value, int decimals); // 25.12, -0.001, never "25,12"
    static QString quoted(const QString& field);            // CSV quoting where a field needs it

    static constexpr const char* kOk = "ok";

private:
    bool put(const QByteArray& bytes);

    std::unique_ptr<QFile> file_;
    QString path_;
    QList<CsvColumn> columns_;
    qint64 rows_ = 0;
    std::optional<qint64> startMs_;
    RecordError error_;
};

// The suggested file name of a recording: the transducer's type, its sensor number and the local date and
// time, joined by "_", with ".csv". Characters that a file name may not hold on Windows or Linux become "_";
// empty parts are left out.
QString DefaultRecordFileName(const QString& type, const QString& sensorNumber, const QDateTime& at);

} // namespace trend
