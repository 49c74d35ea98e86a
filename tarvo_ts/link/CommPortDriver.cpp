#include "CommPortDriver.h"

#include <QRegularExpression>
#include <algorithm>
#include <array>

QString SystemPortName(const QString& portName) {
    for (const QLatin1String prefix : {QLatin1String("//./"), QLatin1String("\\\\.\\")})
        if (portName.startsWith(prefix) && portName.mid(prefix.size()).startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
            return portName.mid(prefix.size());
    return portName;
}

int PortNumberOf(const QString& portName) {
    static const QRegularExpression comN(QStringLiteral("^COM(\\d{1,3})$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const auto m = comN.match(SystemPortName(portName));
    if (!m.hasMatch())
        return 0;
    const int n = m.captured(1).toInt();
    return n >= 1 && n <= 255 ? n : 0;
}

QString PortStatusText(const QString& portName) {
    return SystemPortName(portName);
}

TCommPortDriver::TCommPortDriver(std::unique_ptr<ISerialPort> port, QObject* parent)
    : QObject(parent), FSerial(port ? std::move(port) : std::make_unique<TQtSerialPort>()) {
    FPollTimer.setInterval(FPollingDelay);
    connect(&FPollTimer, &QTimer::timeout, this, &TCommPortDriver::PollReceive);
}

TCommPortDriver::~TCommPortDriver() {
    ClosePort();
}

void TCommPortDriver::SetPortName(const QString& name) {
    FPortName = name;
    FPort = 0;
}

void TCommPortDriver::SetPortFromList(const QString& name, int number) {
    FPortName = name;
    FPort = number;
}

void TCommPortDriver::SetPollingDelay(int ms) {
    FPollingDelay = ms;
    FPollTimer.setInterval(ms);
}

bool TCommPortDriver::OpenPort() {
    if (IsPortOpen())
        return true;
    if (!FSerial->Open(SystemPortName(FPortName)))
        return false;
    FFailed = false;
    FSerial->Purge(true, true);
    FPollTimer.start();
    return true;
}

void TCommPortDriver::ClosePort() {
    FPollTimer.stop();
    if (FSerial->IsOpen())
        FSerial->Close();
    FFailed = false;
}

bool TCommPortDriver::IsPortOpen() const {
    return FSerial->IsOpen();
}

void TCommPortDriver::PurgeBuffers(bool input, bool output) {
    if (!IsPortOpen() || FFailed || (!input && !output))
        return;
    FSerial->Purge(input, output);
}

int TCommPortDriver::InQueueCount() {
    if (!IsPortOpen())
        return ClosedInQueueCount;
    if (FFailed)
        return 0;
    const int n = FSerial->BytesWaiting();
    if (n < 0) {
        FFailed = true;
        return 0;
    }
    return n;
}

int TCommPortDriver::SendOutput(const std::uint8_t* data, int n) {
    if (!IsPortOpen() || FFailed || n <= 0)
        return 0;
    const int written = FSerial->Write(data, n, FOutputTimeout);
    if (written < 0) {
        FFailed = true;
        Record(TTrafficRecord::tdSent, data, 0, n);
        return 0;
    }
    Record(TTrafficRecord::tdSent, data, written, n);
    return written;
}

int TCommPortDriver::ReadInput(std::uint8_t* buf, int max) {
    if (!IsPortOpen() || max <= 0)
        return 0;
    HoldBackReceive();
    int got = 0;
    qint64 lastByte = FSerial->NowMs();
    while (!FFailed) {
        const int n = FSerial->Read(buf + got, max - got);
        if (n < 0) {
            FFailed = true;
            break;
        }
        if (n > 0) {
            got += n;
            lastByte = FSerial->NowMs();
        }
        if (got >= max)
            break;
        const qint64 remaining = lastByte + FInputTimeout - FSerial->NowMs();
        if (remaining <= 0)
            break;
        // Everything that waited has been taken: any waiting byte is a new one.
        if (FSerial->WaitForInput(0, int(remaining)) == ISerialPort::TWait::Failed)
            FFailed = true;
    }
    ReleaseReceive();
    if (got > 0)
        Record(TTrafficRecord::tdReceived, buf, got, got);
    return got;
}

void TCommPortDriver::WaitForInQueue(int count, int timeoutMs) {
    if (!IsPortOpen())
        return;
    const qint64 deadline = FSerial->NowMs() + timeoutMs;
    while (!FFailed) {
        const int waiting = InQueueCount();
        if (waiting >= count)
            break;
        const qint64 remaining = deadline - FSerial->NowMs();
        if (remaining <= 0)
            break;
        if (FSerial->WaitForInput(waiting, int(remaining)) == ISerialPort::TWait::Failed)
            FFailed = true;
    }
}

qint64 TCommPortDriver::NowMs() const {
    return FSerial->NowMs();
}

void TCommPortDriver::PollReceive() {
    if (!IsPortOpen() || FFailed || FHoldBack > 0 || !OnReceiveData)
        return;
    if (InQueueCount() <= 0)
        return;
    std::array<std::uint8_t, QueueSize> buf{};
    const int n = FSerial->Read(buf.data(), QueueSize);
    if (n < 0) {
        FFailed = true;
        return;
    }
    if (n == 0)
        return;
    Record(TTrafficRecord::tdReceived, buf.data(), n, n);
    // The handler may unbind itself; call a copy.
    const auto handler = OnReceiveData;
    handler(this, buf.data(), n);
}

void TCommPortDriver::Record(TTrafficRecord::TDirection direction, const std::uint8_t* data, int n,
                             int requested) {
    if (!FObserver)
        return;
    TTrafficRecord r;
    r.direction = direction;
    r.bytes = QByteArray(reinterpret_cast<const char*>(data), n);
    r.requested = requested;
    r.clockMs = FSerial->NowMs();
    r.time = QDateTime::currentDateTime();
    FObserver->Traffic(r);
}
