// The serial port as the serial component uses it: a small interface, so that tests put a scripted port
// (with a virtual clock) where the program has QSerialPort. Every wait of the link goes through it.
#pragma once

#include "PortAccess.h"

#include <QElapsedTimer>
#include <QString>
#include <cstdint>
#include <memory>

class QSerialPort;

class ISerialPort {
public:
    enum class TWait { Data, Timeout, Failed };

    virtual ~ISerialPort() = default;
    // Opens the device `name` for exclusive use with the line of the older transducer: 1200 bit/s,
    // 8 data bits, no parity, 2 stop bits, RTS on, DTR off, no flow control. Modem lines that cannot be
    // set (a pseudo-terminal has none) are no failure.
    virtual bool Open(const QString& name) = 0;
    // Why the last Open failed (missing, no rights to the device, busy, other); pfNone after a
    // successful one.
    virtual serialaccess::TPortAccess LastOpenFailure() const = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // Discards what waits to be read and/or what waits to be sent.
    virtual void Purge(bool input, bool output) = 0;
    // Received bytes waiting to be read; -1 when the port has failed.
    virtual int BytesWaiting() = 0;
    // Takes up to `max` of the waiting bytes without waiting; -1 when the port has failed.
    virtual int Read(std::uint8_t* buf, int max) = 0;
    // Writes `n` bytes, giving up when `stallMs` pass without progress; returns the number written
    // (what was not written is dropped), -1 when the port has failed.
    virtual int Write(const std::uint8_t* data, int n, int stallMs) = 0;
    // Blocks until more than `known` bytes wait (returns at once when they already do), `timeoutMs`
    // pass or the port fails. Never spins.
    virtual TWait WaitForInput(int known, int timeoutMs) = 0;
    // Milliseconds of a monotonic clock; every deadline of the link is taken from it.
    virtual qint64 NowMs() const = 0;
};

// The program's port: QSerialPort on the thread that calls it (the window thread). Waits block on the
// port in slices of at most 100 ms against their deadline; a line that wakes a wait without data or
// time-out (a hung-up adapter) counts as failed.
class TQtSerialPort final : public ISerialPort {
public:
    TQtSerialPort();
    ~TQtSerialPort() override;

    bool Open(const QString& name) override;
    serialaccess::TPortAccess LastOpenFailure() const override { return FOpenFailure; }
    void Close() override;
    bool IsOpen() const override;
    void Purge(bool input, bool output) override;
    int BytesWaiting() override;
    int Read(std::uint8_t* buf, int max) override;
    int Write(const std::uint8_t* data, int n, int stallMs) override;
    TWait WaitForInput(int known, int timeoutMs) override;
    qint64 NowMs() const override;

private:
    bool Failed() const;
    int DriverQueueCount() const;
    // Moves what the system holds into the port object's buffer, without waiting.
    void Pull();

    std::unique_ptr<QSerialPort> FPort;
    QElapsedTimer FClock;
    bool FFailed = false;
    serialaccess::TPortAccess FOpenFailure;
};
