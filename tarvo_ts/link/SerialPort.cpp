#include "SerialPort.h"

#include <QDeadlineTimer>
#include <QSerialPort>
#include <algorithm>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace {

// Longest single block on the port: every wait re-checks its deadline at least this often.
constexpr int SliceMs = 100;
// A wait that wakes this often in a row without data and without its time-out is a hung-up line.
constexpr int IdleWakeLimit = 3;

bool IsLineError(QSerialPort::SerialPortError e) {
    return e != QSerialPort::NoError && e != QSerialPort::TimeoutError;
}

} // namespace

TQtSerialPort::TQtSerialPort() {
    FClock.start();
}

TQtSerialPort::~TQtSerialPort() = default;

bool TQtSerialPort::Open(const QString& name) {
    Close();
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(name);
    port->setBaudRate(1200);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::TwoStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    if (!port->open(QIODevice::ReadWrite)) {
        FOpenFailure = serialaccess::CheckPortAccess(name, *port);
        return false;
    }
    if (port->baudRate() != 1200 || port->dataBits() != QSerialPort::Data8 ||
        port->parity() != QSerialPort::NoParity || port->stopBits() != QSerialPort::TwoStop) {
        port->close();
        FOpenFailure = {};
        FOpenFailure.fault = serialaccess::pfOther;
        FOpenFailure.port = name;
        FOpenFailure.systemText = QStringLiteral("1200 8N2");
        return false;
    }
    // A pseudo-terminal has no modem lines; the line works all the same.
    port->setDataTerminalReady(false);
    port->setRequestToSend(true);
    port->clearError();
    FPort = std::move(port);
    FFailed = false;
    FOpenFailure = {};
    return true;
}

void TQtSerialPort::Close() {
    if (FPort)
        FPort->close();
    FPort.reset();
    FFailed = false;
}

bool TQtSerialPort::IsOpen() const {
    return FPort && FPort->isOpen();
}

bool TQtSerialPort::Failed() const {
    return !IsOpen() || FFailed;
}

int TQtSerialPort::DriverQueueCount() const {
#ifdef Q_OS_UNIX
    int pending = 0;
    if (FPort && ::ioctl(int(FPort->handle()), FIONREAD, &pending) == 0)
        return std::max(pending, 0);
#endif
    return 0;
}

void TQtSerialPort::Pull() {
    if (DriverQueueCount() == 0)
        return;
    FPort->clearError();
    FPort->waitForReadyRead(0);
    if (IsLineError(FPort->error()))
        FFailed = true;
    FPort->clearError();
}

void TQtSerialPort::Purge(bool input, bool output) {
    if (Failed())
        return;
    if (input)
        FPort->clear(QSerialPort::Input);
    if (output)
        FPort->clear(QSerialPort::Output);
    FPort->clearError();
}

int TQtSerialPort::BytesWaiting() {
    if (Failed())
        return -1;
    return int(FPort->bytesAvailable()) + DriverQueueCount();
}

int TQtSerialPort::Read(std::uint8_t* buf, int max) {
    if (Failed())
        return -1;
    if (max <= 0)
        return 0;
    if (FPort->bytesAvailable() < max)
        Pull();
    if (FFailed)
        return -1;
    const qint64 n = FPort->read(reinterpret_cast<char*>(buf), max);
    if (n < 0) {
        FFailed = true;
        return -1;
    }
    return int(n);
}

int TQtSerialPort::Write(const std::uint8_t* data, int n, int stallMs) {
    if (Failed())
        return -1;
    FPort->clearError();
    const qint64 queued = FPort->write(reinterpret_cast<const char*>(data), n);
    if (queued < 0) {
        FFailed = IsLineError(FPort->error());
        return FFailed ? -1 : 0;
    }
    QElapsedTimer stall;
    stall.start();
    qint64 left = FPort->bytesToWrite();
    int idleWakes = 0;
    while (left > 0) {
        const qint64 remaining = stallMs - stall.elapsed();
        if (remaining <= 0)
            break;
        const int slice = int(std::min<qint64>(remaining, SliceMs));
        QElapsedTimer call;
        call.start();
        FPort->clearError();
        const bool progressed = FPort->waitForBytesWritten(slice);
        if (IsLineError(FPort->error())) {
            FFailed = true;
            return -1;
        }
        const qint64 now = FPort->bytesToWrite();
        if (now < left) {
            left = now;
            stall.restart();
            idleWakes = 0;
        } else if ((progressed || call.elapsed() + 20 < slice) && ++idleWakes >= IdleWakeLimit) {
            FFailed = true;
            return -1;
        }
    }
    // What did not go within the stall time is not sent later either.
    if (left > 0)
        FPort->clear(QSerialPort::Output);
    FPort->clearError();
    return int(queued - left);
}

ISerialPort::TWait TQtSerialPort::WaitForInput(int known, int timeoutMs) {
    if (Failed())
        return TWait::Failed;
    if (BytesWaiting() > known)
        return TWait::Data;
    QDeadlineTimer deadline(std::max(timeoutMs, 0));
    int idleWakes = 0;
    for (;;) {
        const qint64 remaining = deadline.remainingTime();
        if (remaining <= 0)
            return TWait::Timeout;
        const int slice = int(std::min<qint64>(remaining, SliceMs));
        const qint64 buffered = FPort->bytesAvailable();
        QElapsedTimer call;
        call.start();
        FPort->clearError();
        const bool ready = FPort->waitForReadyRead(slice);
        if (IsLineError(FPort->error())) {
            FFailed = true;
            return TWait::Failed;
        }
        FPort->clearError();
        const int waiting = BytesWaiting();
        if (waiting < 0)
            return TWait::Failed;
        if (waiting > known)
            return TWait::Data;
        // Woken with nothing new to read, or back well before the slice was over: a line that hangs
        // up does this at once and for ever.
        const bool idle = ready ? FPort->bytesAvailable() == buffered : call.elapsed() + 20 < slice;
        if (idle && ++idleWakes >= IdleWakeLimit) {
            FFailed = true;
            return TWait::Failed;
        }
    }
}

qint64 TQtSerialPort::NowMs() const {
    return FClock.elapsed();
}
