// Starts tarvo-sim for a test and stops it again: no leftover processes, ptys or links.
// Qt Core only, so every test can use it.
#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

class SimFixture {
public:
    explicit SimFixture(const QByteArray& jsonConfig = {}); // empty: the default bus
    ~SimFixture();                                          // stops the process, no leftover ptys/links
    SimFixture(const SimFixture&) = delete;
    SimFixture& operator=(const SimFixture&) = delete;

    bool start(QString* error = nullptr);                       // starts tarvo-sim, waits for its ready lines
    QString portPath(int bus) const;                            // path (symlink) of bus `bus`, 0-based
    QString command(const QString& line, int timeoutMs = 3000); // one control command, returns its reply line

    // every byte the bus received from the master, with a monotonic timestamp and the read() chunk it came in
    struct RxByte {
        qint64 usec;
        quint8 byte;
        int chunk;
    };
    QList<RxByte> received(int bus);
    void clearReceived(int bus);
    // every byte the bus sent to the master (replies, chatter); `chunk` numbers the write() it went out in
    QList<RxByte> transmitted(int bus);
    // The bytes of a log, in order.
    static QByteArray bytes(const QList<RxByte>& log);
    void clearTransmitted(int bus);

    // Stops the simulator now (the destructor does it otherwise). Returns its exit code, -1 if it crashed.
    int stop();
    // Folder of the links and the control socket, and the standard error output of the simulator so far.
    QString linkDir() const { return dir_.path(); }
    QByteArray errorOutput();

private:
    QList<RxByte> byteLog(const QString& cmd);

    QByteArray config_;
    QTemporaryDir dir_;
    std::unique_ptr<QProcess> process_;
    QStringList ports_;
    int socket_ = -1;
    bool started_ = false; // a failed start reports through start()'s error, not at stop
    QByteArray pending_;
};
