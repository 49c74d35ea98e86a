// The communication thread of Tarvo_TS_TP: it owns the serial port, takes one query at a time from the
// queue, performs it as one Modbus RTU transaction with the line timing below and posts the finished
// query back to the window as a QueryDoneEvent.
#pragma once

#include "TrafficExchange.h"

#include <QDateTime>
#include <QEvent>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QThread>
#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class QSerialPort;

// Line rates; the port is always opened at one of these.
enum TBaudRate : std::uint8_t {
    CBR_1200,
    CBR_2400,
    CBR_4800,
    CBR_9600,
    CBR_14400,
    CBR_19200,
    CBR_38400,
    CBR_56000,
    CBR_57600,
    CBR_115200,
    CBR_128000,
    CBR_256000,
};
constexpr int BaudRateCount = 12;

// Bit rate of `rate`; 0 for a value outside the table.
int BaudRateToInt(int rate);
// The table entry of a bit rate; CBR_1200 for a rate not in the table.
TBaudRate IntToBaudRate(int bitsPerSecond);

using TModbusAddress = std::uint8_t;

enum class TModbusState : std::uint8_t { Initial, Idle, Emission, Reception, FrameControl };

// The three timing values of a line rate, in milliseconds, rounded to the nearest integer (ties to even).
struct TLineTiming {
    int SilenceTime = 0;   // 3.5 characters of quiet before a request
    int CharGapTime = 0;   // 1.5 characters: read interval time-out (0: off)
    int BusyLimitTime = 0; // 260 characters: longest wait for a quiet line
};
TLineTiming LineTiming(TBaudRate rate);

// The port's name where the system writes "COM" + number: the name itself, except that a name of the
// form COMn is written with the Cyrillic letters "СОМ" when `cyrillic` is set.
QString PortDisplayName(const QString& portName, bool cyrillic);

// One request and, after the transaction, its result.
struct TModbusCmdQuery {
    static constexpr int BufferSize = 257;
    std::array<std::uint8_t, BufferSize> Buffer{};
    std::uint8_t SlaveAddr = 0;
    std::uint8_t FuncCode = 0;
    std::uint8_t CalibrStep = 0;
    std::uint16_t StartAddr = 0;
    std::uint16_t RegCount = 0;
    QDateTime AnswerReceivedTime;
    bool IsChangeModbusSlaveAddr = false;
    QString ErrorString; // empty: success
    // Unique number given when queued; lets a late completion event be told from a newer query that
    // happens to reuse the same memory.
    quint64 Serial = 0;
};

// Completion of a query (the window's WM_USER+11): posted once per query taken from the queue.
class QueryDoneEvent : public QEvent {
public:
    static constexpr QEvent::Type EventType = static_cast<QEvent::Type>(QEvent::User + 11);
    QueryDoneEvent(TModbusCmdQuery* q, quint64 querySerial)
        : QEvent(EventType), query(q), serial(querySerial) {}
    // Only an identity: never dereference it, the query may have been freed by DestroyCommThread.
    TModbusCmdQuery* const query;
    const quint64 serial;
};

// The event the window posts to itself once it has taken a result back (WM_USER+12).
constexpr QEvent::Type ResultReadyEventType = static_cast<QEvent::Type>(QEvent::User + 12);

// The structures the window and the thread share, guarded by QueueLock.
struct TQueryQueues {
    struct Pending {
        TModbusCmdQuery* query = nullptr;
        bool finished = false; // set by the thread just before it posts the completion
    };
    QMutex QueueLock;
    std::deque<TModbusCmdQuery*> QueryQueue;
    std::vector<Pending> PendingQueries;
};

// Failure texts of the link besides the reply checks of common/modbus.
namespace linktext {
inline const QString NotExistingPort = QStringLiteral(": Попытка открыть несуществующий COM-порт");
inline const QString PortBusy = QStringLiteral(": Порт занят другой программой");
inline const QString GetCommStateFailed = QStringLiteral("Функция GetCommState вернула код ошибки ");
inline const QString SetCommStateFailed = QStringLiteral("Функция SetCommState вернула код ошибки ");
inline const QString SetCommTimeoutsFailed = QStringLiteral("Функция SetCommTimeouts вернула код ошибки ");
inline const QString SetupCommFailed = QStringLiteral("Функция SetupComm вернула код ошибки ");
inline const QString PurgeCommFailed = QStringLiteral("Функция PurgeComm вернула код ошибки ");
inline const QString PortNotConnected = QStringLiteral("Порт не подключен");
inline const QString LineBusy = QStringLiteral("Неизвестное устройство продолжает передачу");
inline const QString BadSlaveAddress = QStringLiteral("Недопустимый адрес Slave");
inline const QString WriteFailed = QStringLiteral("Ошибка записи данных в COM-порт");
// A reply from another slave, and a function the link does not know: both would otherwise come back
// with an empty text, which the window would take for success.
inline const QString ForeignAddress = QStringLiteral("Ответ получен от другого адреса Slave");
inline const QString UnknownFunction = QStringLiteral("Неподдерживаемый код функции");
// A request that does not fit a frame (a register count too large for the function).
inline const QString BadRequest = QStringLiteral("Недопустимые параметры запроса");
} // namespace linktext

class TCommThread : public QThread {
    Q_OBJECT

public:
    // Opens and sets up the port `portName` (a system name such as ttyUSB0 or COM3, or a device path);
    // `errmsg` is cleared first and is empty on success. The caller starts the thread. `queues` must
    // outlive the thread. `threadLogEnabled` switches the thread log (thread.log) on.
    TCommThread(QObject* form, const QString& portName, TBaudRate rate, TQueryQueues& queues, QString& errmsg,
                bool threadLogEnabled = false);
    ~TCommThread() override;

    // Where each transaction is published once it ends (the live traffic view); before Start.
    void SetTrafficTap(traffic::TTrafficTap* tap) { FTrafficTap = tap; }
    // Starts the loop; the port then belongs to the thread.
    void Start();
    // Asks the loop to end after its current pass and wakes its pause between passes.
    void RequestStop();
    // Stops the posting of completions (the window is going away); takes QueueLock.
    void DetachForm();

    // The public fields the link's face reads.
    bool Connected() const { return FConnected; }
    QString ThreadComPortName() const { return FPortName; }
    TBaudRate ThreadBaudRate() const { return FBaudRate; }
    TLineTiming Timing() const { return FTiming; }

protected:
    void run() override;

private:
    // One transaction; the outcome is in `q` (ErrorString empty on success). Publishes it on the tap.
    bool ExecuteQuery(TModbusCmdQuery& q);
    // The transaction itself; sets FVerdict where it fails.
    bool RunQuery(TModbusCmdQuery& q);
    int GetInQueueCount();
    int WriteBytes(const std::uint8_t* buf, int n);
    int ReadBytes(std::uint8_t* buf, int n);
    int ReceiveBytes(std::uint8_t* buf, int n, std::uint8_t funcCode);
    bool WaitQuietLine();
    bool Purge();
    // Sleeps `ms` unless a stop is requested first; true when stopped.
    bool Pause(int ms);
    void ThreadLog(const QString& line);
    void ThreadLogHex(const std::uint8_t* buf, int count);

    std::unique_ptr<QSerialPort> FPort;
    bool FSuccess = false;
    bool FTimeoutExpired = false;
    TModbusState FModbusState = TModbusState::Initial;
    QObject* FMainForm = nullptr; // guarded by QueueLock once the thread runs
    TQueryQueues* FCmdQueue = nullptr;
    bool FConnected = false;
    QString FPortName;
    TBaudRate FBaudRate = CBR_9600;
    TLineTiming FTiming;
    bool FThreadLogEnabled = false;
    QString FThreadLogFile;
    // Emulated Win32 time-outs of ReadBytes.
    int FReadIntervalTimeout = 0;
    int FReadTotalMultiplier = 1;
    int FReadTotalConstant = 500;
    bool FHungUp = false;
    traffic::TTrafficTap* FTrafficTap = nullptr;
    std::optional<traffic::TTrafficRecorder> FRecorder;
    traffic::TJudgedReply FVerdict;

    // Standard primitives here: the sanitizers see through their waits.
    std::mutex FStopLock;
    std::condition_variable FStopWake;
    bool FStopRequested = false;
};
