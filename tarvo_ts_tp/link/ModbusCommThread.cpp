#include "ModbusCommThread.h"

#include "Logging.h"
#include "ModbusRtu.h"
#include "PortAccess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSerialPort>
#include <algorithm>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#endif

namespace {

constexpr int BitRates[BaudRateCount] = {1200,  2400,  4800,  9600,   14400,  19200,
                                         38400, 56000, 57600, 115200, 128000, 256000};

// numerator / denominator rounded to the nearest integer, ties to the even one.
int roundHalfEven(long long numerator, long long denominator) {
    long long q = numerator / denominator;
    const long long r2 = 2 * (numerator % denominator);
    if (r2 > denominator || (r2 == denominator && (q & 1)))
        ++q;
    return int(q);
}

QString hex(unsigned v, int digits) {
    return QStringLiteral("%1").arg(v, digits, 16, QLatin1Char('0')).toUpper();
}

bool isKnownFunction(std::uint8_t fn) {
    switch (fn) {
    case modbus::fnReadHoldingRegisters:
    case modbus::fnReadExceptionStatus:
    case modbus::fnWriteMultipleRegisters:
    case modbus::fnReportSlaveId:
    case modbus::fnCalibrationStep:
    case modbus::fnZeroCorrection:
    case modbus::fnNsxCorrection:
        return true;
    default:
        return false;
    }
}

// Error number appended to the texts of failed port calls. A vanished device reads as 5, the number the
// window knows for a port that has gone away.
int portErrorNumber(const QSerialPort& port) {
    return port.error() == QSerialPort::ResourceError ? 5 : int(port.error());
}

bool isHangUp(QSerialPort::SerialPortError e) {
    return e != QSerialPort::NoError && e != QSerialPort::TimeoutError;
}

} // namespace

int BaudRateToInt(int rate) {
    return rate >= 0 && rate < BaudRateCount ? BitRates[rate] : 0;
}

TBaudRate IntToBaudRate(int bitsPerSecond) {
    for (int i = 0; i < BaudRateCount; ++i)
        if (BitRates[i] == bitsPerSecond)
            return TBaudRate(i);
    return CBR_1200;
}

TLineTiming LineTiming(TBaudRate rate) {
    const int b = BaudRateToInt(rate);
    if (b <= 0)
        return {};
    return {roundHalfEven(38500, b), roundHalfEven(16500, b), roundHalfEven(2860000, b)};
}

QString PortDisplayName(const QString& portName, bool cyrillic) {
    static const QRegularExpression comN(QStringLiteral("^COM(\\d+)$"));
    const auto m = comN.match(portName);
    if (m.hasMatch() && cyrillic)
        return QStringLiteral("СОМ") + m.captured(1);
    return portName;
}

TCommThread::TCommThread(QObject* form, const QString& portName, TBaudRate rate, TQueryQueues& queues,
                         QString& errmsg, bool threadLogEnabled)
    : FMainForm(form), FCmdQueue(&queues), FTiming(LineTiming(rate)), FThreadLogEnabled(threadLogEnabled),
      FThreadLogFile(ThreadLogFile()) {
    errmsg.clear();
    ThreadLog(QStringLiteral("Trying to open COM-port"));

    FPort = std::make_unique<QSerialPort>();
    FPort->setPortName(portName);
    if (!FPort->open(QIODevice::ReadWrite)) {
        // The port driver reports a node the user may not open like one another program holds; the
        // node itself tells the two apart.
        const serialaccess::TPortAccess access = serialaccess::CheckPortAccess(portName, *FPort);
        switch (access.fault) {
        case serialaccess::pfMissing:
            errmsg = PortDisplayName(portName, false) + linktext::NotExistingPort;
            break;
        case serialaccess::pfNoRights:
            errmsg = serialaccess::NoRightsText(access);
            break;
        case serialaccess::pfBusy:
            errmsg = PortDisplayName(portName, false) + linktext::PortBusy;
            break;
        default:
            break;
        }
        FConnected = false;
        FPort.reset();
        ThreadLog(errmsg);
        return;
    }
    FConnected = true;

    // 8 data bits, no parity, two stop bits at the table's rate; the rest stays as the driver has it.
    // A pseudo-terminal has no modem lines, so nothing here touches them.
    if (!FPort->setBaudRate(BaudRateToInt(rate)) || !FPort->setDataBits(QSerialPort::Data8) ||
        !FPort->setParity(QSerialPort::NoParity) || !FPort->setStopBits(QSerialPort::TwoStop)) {
        errmsg = linktext::SetCommStateFailed + QString::number(portErrorNumber(*FPort));
        return;
    }
    FReadIntervalTimeout = 0;
    FReadTotalMultiplier = 1;
    FReadTotalConstant = 500;
    if (!Purge()) {
        errmsg = linktext::PurgeCommFailed + QString::number(portErrorNumber(*FPort));
        return;
    }
    FPortName = portName;
    FBaudRate = rate;
    ThreadLog(QStringLiteral("Connected to ") + PortDisplayName(portName, true) + QStringLiteral(" (") +
              QString::number(BaudRateToInt(rate)) + QStringLiteral(")"));
}

TCommThread::~TCommThread() {
    RequestStop();
    wait();
    FPort.reset(); // closes the port when it is still open
    FConnected = false;
}

void TCommThread::Start() {
    // The port's notifiers must belong to the thread that waits on it.
    if (FPort)
        FPort->moveToThread(this);
    start();
}

void TCommThread::RequestStop() {
    {
        std::lock_guard lock(FStopLock);
        FStopRequested = true;
    }
    FStopWake.notify_all();
}

void TCommThread::DetachForm() {
    QMutexLocker lock(&FCmdQueue->QueueLock);
    FMainForm = nullptr;
}

bool TCommThread::Pause(int ms) {
    std::unique_lock lock(FStopLock);
    FStopWake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return FStopRequested; });
    return FStopRequested;
}

void TCommThread::run() {
    ThreadLog(QStringLiteral("Started thread.execute loop"));
    for (;;) {
        TModbusCmdQuery* q = nullptr;
        {
            QMutexLocker lock(&FCmdQueue->QueueLock);
            if (!FCmdQueue->QueryQueue.empty()) {
                q = FCmdQueue->QueryQueue.front();
                FCmdQueue->QueryQueue.pop_front();
            }
        }
        if (q) {
            ThreadLog(QStringLiteral("Found new query func=$") + hex(q->FuncCode, 2) +
                      QStringLiteral(" addr=$") + hex(q->StartAddr, 2) + QStringLiteral(" regcnt=$") +
                      hex(q->RegCount, 2));
            ExecuteQuery(*q);
            const quint64 serial = q->Serial;
            // Posted under the lock, so the window cannot go away in between (see DetachForm). From here
            // on the query is the window's again.
            QMutexLocker lock(&FCmdQueue->QueueLock);
            for (auto& p : FCmdQueue->PendingQueries)
                if (p.query == q)
                    p.finished = true;
            if (FMainForm)
                QCoreApplication::postEvent(FMainForm, new QueryDoneEvent(q, serial));
        }
        if (Pause(200))
            break;
    }
    // Closed here, in the thread that owns the port's notifiers.
    if (FPort)
        FPort->close();
}

bool TCommThread::Purge() {
    if (!FPort)
        return false;
    FPort->readAll();
    FSuccess = FPort->clear(QSerialPort::AllDirections);
    return FSuccess;
}

int TCommThread::GetInQueueCount() {
    if (!FPort)
        return -1;
    // What the port object holds plus what still waits in the driver.
    qint64 count = FPort->bytesAvailable();
#ifdef Q_OS_UNIX
    int pending = 0;
    if (::ioctl(int(FPort->handle()), FIONREAD, &pending) == 0)
        count += pending;
#endif
    return int(count);
}

bool TCommThread::WaitQuietLine() {
    FModbusState = TModbusState::Initial;
    FTimeoutExpired = false;
    QElapsedTimer clock;
    clock.start();
    const qint64 silence = qint64(FTiming.SilenceTime) * 1000;
    const qint64 busyLimit = qint64(FTiming.BusyLimitTime) * 1000;
    int lastCount = GetInQueueCount();
    qint64 lastChange = 0;
    bool grew = false;
    // Blocks on the port until a byte arrives or the silence is complete, so the wait never spins.
    // Times in microseconds: at high rates a millisecond is several characters.
    for (;;) {
        const qint64 now = clock.nsecsElapsed() / 1000;
        if (FModbusState == TModbusState::Initial && now >= busyLimit) {
            FTimeoutExpired = true;
            break;
        }
        if (now - lastChange >= silence)
            break;
        const qint64 wait = std::min(silence - (now - lastChange), busyLimit - now);
        FPort->clearError();
        const bool ready = FPort->waitForReadyRead(int((wait + 999) / 1000));
        const int count = GetInQueueCount();
        if (count > lastCount) {
            lastCount = count;
            lastChange = clock.nsecsElapsed() / 1000;
            grew = true;
        } else if (!ready && isHangUp(FPort->error())) {
            FHungUp = true;
            break;
        }
    }
    return grew;
}

int TCommThread::WriteBytes(const std::uint8_t* buf, int n) {
    FPort->clearError();
    const qint64 queued = FPort->write(reinterpret_cast<const char*>(buf), n);
    if (queued < 0)
        return -1;
    // The line time of the frame and a generous margin: a write never blocks the thread for long.
    const int bps = std::max(BaudRateToInt(FBaudRate), 1);
    QDeadlineTimer deadline(1000 + qint64(n) * 11 * 1000 / bps * 2);
    while (FPort->bytesToWrite() > 0) {
        if (deadline.hasExpired())
            break;
        if (!FPort->waitForBytesWritten(int(std::max<qint64>(deadline.remainingTime(), 1)))) {
            if (isHangUp(FPort->error())) {
                FHungUp = FPort->error() == QSerialPort::ResourceError;
                return -1;
            }
        }
    }
    return int(queued - FPort->bytesToWrite());
}

int TCommThread::ReadBytes(std::uint8_t* buf, int n) {
    // Read-interval and read-total time-outs as the serial driver would apply them: return once `n` bytes
    // came, the total time is up, or (after the first byte) the gap between bytes exceeds the interval.
    // Times in microseconds, waits rounded up to whole milliseconds.
    QElapsedTimer clock;
    clock.start();
    const qint64 total = (qint64(FReadTotalMultiplier) * n + FReadTotalConstant) * 1000;
    const qint64 interval = qint64(FReadIntervalTimeout) * 1000;
    int got = 0;
    qint64 lastByte = 0;
    int idleWakes = 0;
    while (got < n) {
        const qint64 avail = FPort->bytesAvailable();
        if (avail > 0) {
            const qint64 r =
                FPort->read(reinterpret_cast<char*>(buf + got), std::min<qint64>(avail, n - got));
            if (r < 0) {
                FHungUp = true;
                return -1;
            }
            got += int(r);
            lastByte = clock.nsecsElapsed() / 1000;
            idleWakes = 0;
            continue;
        }
        const qint64 now = clock.nsecsElapsed() / 1000;
        qint64 wait = total - now;
        if (interval > 0 && got > 0)
            wait = std::min(wait, interval - (now - lastByte));
        if (wait <= 0)
            break;
        const int waitMs = int((wait + 999) / 1000);
        FPort->clearError();
        const bool ready = FPort->waitForReadyRead(waitMs);
        if (ready && FPort->bytesAvailable() > 0)
            continue;
        const qint64 waited = clock.nsecsElapsed() / 1000 - now;
        // A hung-up line wakes the wait at once, with an error or without any data: report the port as
        // gone rather than spin on it.
        if (isHangUp(FPort->error()) || (ready && ++idleWakes >= 3) || (!ready && waited + 2000 < wait)) {
            FHungUp = true;
            return -1;
        }
    }
    return got;
}

int TCommThread::ReceiveBytes(std::uint8_t* buf, int n, std::uint8_t funcCode) {
    const qint64 deadline = funcCode == modbus::fnCalibrationStep ? 3000 : 700;
    QElapsedTimer clock;
    clock.start();
    int received = 0;
    int wanted = n;
    bool passed = false;
    while (received < n && !passed) {
        const int r = ReadBytes(buf + received, wanted);
        if (r < 0)
            return -1;
        received += r;
        if (r == wanted)
            break;
        wanted -= r;
        QThread::msleep(100);
        if (clock.elapsed() > deadline)
            passed = true;
    }
    return received;
}

bool TCommThread::ExecuteQuery(TModbusCmdQuery& q) {
    using traffic::TOutcome;
    FRecorder.emplace(FTrafficTap, traffic::TGeneration::Newer, FPortName, BaudRateToInt(FBaudRate));
    FRecorder->Query(q.SlaveAddr, q.FuncCode);
    FVerdict = {TOutcome::NotSent, 0};
    const bool ok = RunQuery(q);
    if (ok)
        FRecorder->Finish(TOutcome::Ok);
    else
        FRecorder->Finish(FVerdict.outcome, FVerdict.code, q.ErrorString);
    FRecorder.reset();
    return ok;
}

bool TCommThread::RunQuery(TModbusCmdQuery& q) {
    using traffic::TOutcome;
    q.ErrorString.clear();
    if (!FConnected || !FPort) {
        q.ErrorString = linktext::PortNotConnected;
        return false;
    }
    if (FHungUp) {
        q.ErrorString = modbus::text::PortNotAvailable;
        return false;
    }
    if (!Purge()) {
        q.ErrorString = linktext::PurgeCommFailed + QString::number(portErrorNumber(*FPort));
        return false;
    }

    const bool grew = WaitQuietLine();
    if (FHungUp) {
        q.ErrorString = modbus::text::PortNotAvailable;
        return false;
    }
    if (FTimeoutExpired) {
        q.ErrorString = linktext::LineBusy;
        return false;
    }
    FModbusState = TModbusState::Idle;
    if (grew)
        Purge();

    if (!isKnownFunction(q.FuncCode)) {
        q.ErrorString = linktext::UnknownFunction;
        return false;
    }
    if (q.SlaveAddr == 0 || q.SlaveAddr > modbus::MaxSlaveAddress) {
        q.ErrorString = linktext::BadSlaveAddress;
        return false;
    }

    // The request is built in, and the reply received into, one buffer of the transaction.
    std::array<std::uint8_t, modbus::FrameBufferSize> frame{};
    modbus::RequestFields req;
    req.slaveAddr = q.SlaveAddr;
    req.funcCode = q.FuncCode;
    req.step = q.CalibrStep;
    req.startAddr = q.StartAddr;
    req.regCount = q.RegCount;
    req.data = std::span<const std::uint8_t>(q.Buffer);
    const int len = int(modbus::BuildRequest(req, frame));
    if (len <= 0) {
        q.ErrorString = linktext::BadRequest;
        return false;
    }

    if (FThreadLogEnabled) {
        const QString time = LongTimeText(QTime::currentTime());
        const QString head = QStringLiteral("Fn %1: sent at ").arg(q.FuncCode) + time;
        switch (q.FuncCode) {
        case modbus::fnReadHoldingRegisters:
            ThreadLog(head + QStringLiteral("; addr = 0x") + hex(q.StartAddr, 4));
            break;
        case modbus::fnWriteMultipleRegisters:
            ThreadLog(head + QStringLiteral("; num bytes to write = ") + QString::number(2 * q.RegCount + 9) +
                      QStringLiteral("; addr = 0x") + hex(q.StartAddr, 4));
            break;
        case modbus::fnCalibrationStep:
        case modbus::fnNsxCorrection:
            ThreadLog(head + QStringLiteral("; step = ") + QString::number(q.CalibrStep) +
                      QStringLiteral("; num bytes to write = 9; addr = 0x") + hex(q.StartAddr, 4));
            break;
        case modbus::fnZeroCorrection:
            ThreadLog(head + QStringLiteral("; data = ") + QString::number(q.Buffer[0]));
            break;
        default:
            ThreadLog(head);
            break;
        }
        ThreadLogHex(frame.data(), len);
    }

    const int written = WriteBytes(frame.data(), len);
    FRecorder->Sent(frame.data(), written);
    if (written < len) {
        FVerdict = {TOutcome::PortError, 0};
        q.ErrorString = FHungUp ? modbus::text::PortNotAvailable : linktext::WriteFailed;
        return false;
    }
    FModbusState = TModbusState::Emission;

    FReadIntervalTimeout = q.FuncCode == modbus::fnReportSlaveId ? 0 : FTiming.CharGapTime;
    FReadTotalMultiplier = 0;
    const bool slowFunction = q.FuncCode == modbus::fnCalibrationStep ||
                              q.FuncCode == modbus::fnZeroCorrection || q.FuncCode == modbus::fnNsxCorrection;
    FReadTotalConstant = slowFunction ? 3000 : 500;

    // A reply longer than the transaction buffer can never pass the checks; never read past the buffer.
    const int expected =
        std::min<int>(modbus::ExpectedReplyLength(q.FuncCode, q.RegCount), int(frame.size()));
    frame.fill(0);
    const int n = ReceiveBytes(frame.data(), expected, q.FuncCode);
    q.AnswerReceivedTime = QDateTime::currentDateTime();
    FRecorder->Piece(frame.data(), n);
    FVerdict = {n < 0 ? TOutcome::PortError : TOutcome::NoReply, 0};
    if (FThreadLogEnabled) {
        ThreadLog(QStringLiteral("Fn %1: rcvd at ").arg(q.FuncCode) + LongTimeText(QTime::currentTime()) +
                  QStringLiteral("; ReadBytesCount = ") + QString::number(n));
        ThreadLogHex(frame.data(), n);
    }

    modbus::ReplyContext ctx;
    ctx.slaveAddr = q.SlaveAddr;
    ctx.funcCode = q.FuncCode;
    ctx.step = q.CalibrStep;
    ctx.regCount = q.RegCount;
    ctx.isChangeSlaveAddr = q.IsChangeModbusSlaveAddr;
    const modbus::ReplyCheck check = modbus::CheckReply(ctx, frame.data(), n);
    if (n > 0)
        FVerdict = traffic::OutcomeOfCheck(check, frame.data(), n);
    if (check.status == modbus::ReplyCheck::AddressMismatch) {
        q.ErrorString = linktext::ForeignAddress;
        return false;
    }
    if (!check.ok()) {
        q.ErrorString = check.error;
        return false;
    }
    switch (q.FuncCode) {
    case modbus::fnReadHoldingRegisters:
    case modbus::fnReportSlaveId: {
        const int count = std::min(check.dataLength, TModbusCmdQuery::BufferSize);
        std::copy_n(frame.begin() + check.dataOffset, count, q.Buffer.begin());
        q.RegCount = std::uint16_t(count);
        break;
    }
    case modbus::fnWriteMultipleRegisters:
        q.RegCount = check.regCount;
        break;
    case modbus::fnReadExceptionStatus:
        q.Buffer[0] = check.value;
        q.RegCount = 1;
        break;
    case modbus::fnZeroCorrection:
        q.Buffer[0] = check.value;
        break;
    default:
        break;
    }
    return true;
}

void TCommThread::ThreadLog(const QString& line) {
    if (FThreadLogEnabled)
        WriteLog(line, FThreadLogFile);
}

void TCommThread::ThreadLogHex(const std::uint8_t* buf, int count) {
    if (FThreadLogEnabled)
        WriteLogHex(std::span<const std::uint8_t>(buf, std::max(count, 0)), count, FThreadLogFile, 1);
}
