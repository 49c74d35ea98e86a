// TCommPortDriver: the serial component of Tarvo_TS. Exactly the operations the exchanges rely on,
// over an ISerialPort; every wait is taken from the port's clock, so a scripted port runs them in
// virtual time. Lives on the window thread.
#pragma once

#include "SerialPort.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>

// n for a port named COMn (also in the forms //./COMn and \\.\COMn), 1 to 255; 0 for any other name.
int PortNumberOf(const QString& portName);
// The name to open: COMn for the //./COMn and \\.\COMn forms, any other name as it is.
QString SystemPortName(const QString& portName);
// The port as the status bar shows it: "COMn", or the system name of any other port.
QString PortStatusText(const QString& portName);

// One frame sent or one piece of reply received, as it passes the serial component.
struct TTrafficRecord {
    enum TDirection { tdSent, tdReceived };
    TDirection direction = tdSent;
    QByteArray bytes;   // the bytes written or read
    int requested = 0;  // sent: the bytes the frame had (more than `bytes` when not written whole)
    qint64 clockMs = 0; // the port's clock
    QDateTime time;     // wall clock
};

// Watches the traffic; installed on the driver, a no-op when none is installed.
class TTrafficObserver {
public:
    virtual ~TTrafficObserver() = default;
    virtual void Traffic(const TTrafficRecord& record) = 0;
};

class TCommPortDriver : public QObject {
    Q_OBJECT

public:
    static constexpr int BaudRateValue = 1200;
    static constexpr int QueueSize = 2048;
    static constexpr int ClosedInQueueCount = 65535;

    // `port` null: the program's QSerialPort.
    explicit TCommPortDriver(std::unique_ptr<ISerialPort> port = nullptr, QObject* parent = nullptr);
    ~TCommPortDriver() override;

    // The device to open: a system name (COM3, ttyUSB0) or a device path. Setting it by name makes
    // `Port` 0; a choice from a port list gives its number in the list (position + 1).
    QString PortName() const { return FPortName; }
    void SetPortName(const QString& name);
    int Port() const { return FPort; }
    void SetPortFromList(const QString& name, int number);

    int InputTimeout() const { return FInputTimeout; }
    void SetInputTimeout(int ms) { FInputTimeout = ms; }
    int OutputTimeout() const { return FOutputTimeout; }
    void SetOutputTimeout(int ms) { FOutputTimeout = ms; }
    int PollingDelay() const { return FPollingDelay; }
    void SetPollingDelay(int ms);

    // Opens `PortName` for exclusive use with the line settings, empties both queues and starts the
    // polled receive event. True when open; true at once when already open.
    bool OpenPort();
    // Why the last OpenPort failed.
    serialaccess::TPortAccess LastOpenFailure() const { return FSerial->LastOpenFailure(); }
    // Stops the polled receive event and closes the port; nothing when closed.
    void ClosePort();
    bool IsPortOpen() const;
    // Discards the input queue and/or the output queue; nothing with both false or when closed.
    void PurgeBuffers(bool input, bool output);
    // Received bytes waiting; 65535 when closed, 0 once the port has failed.
    int InQueueCount();
    // Writes `n` bytes; gives up when OutputTimeout ms pass without progress. The number written
    // (0 when closed or failed).
    int SendOutput(const std::uint8_t* data, int n);
    // Reads until `max` bytes are read or InputTimeout ms pass without a new byte (counted from the
    // start or the last byte); the number read (0 when closed). Holds the receive event back meanwhile.
    int ReadInput(std::uint8_t* buf, int max);
    // The exchanges' wait for a reply: blocks, processing no window events, until `count` bytes wait,
    // `timeoutMs` pass or the port fails.
    void WaitForInQueue(int count, int timeoutMs);
    // The port stopped working while open (a hung-up line, an unplugged adapter): every operation then
    // ends at once with nothing read or written, until the port is closed.
    bool PortFailed() const { return FFailed; }
    qint64 NowMs() const;

    // The polled receive event: while the port is open, not held back and bytes wait, every
    // PollingDelay ms all of them (at most QueueSize) are read and handed over. Null: unbound.
    std::function<void(TCommPortDriver* sender, const std::uint8_t* data, int size)> OnReceiveData;
    // One tick of that event (the timer's; tests call it directly).
    void PollReceive();
    // Holds the receive event back while the count is above zero (ReadInput and every exchange).
    void HoldBackReceive() { ++FHoldBack; }
    void ReleaseReceive() { --FHoldBack; }

    // Every frame sent and every reply received passes here; nullptr removes the observer.
    void SetTrafficObserver(TTrafficObserver* observer) { FObserver = observer; }

private:
    void Record(TTrafficRecord::TDirection direction, const std::uint8_t* data, int n, int requested);

    std::unique_ptr<ISerialPort> FSerial;
    QTimer FPollTimer;
    QString FPortName;
    int FPort = 0;
    int FInputTimeout = 1000;
    int FOutputTimeout = 1000;
    int FPollingDelay = 500;
    int FHoldBack = 0;
    bool FFailed = false;
    TTrafficObserver* FObserver = nullptr;
};
