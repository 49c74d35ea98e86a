// A Modbus RTU slave of an independent implementation for tests: Debian's pymodbus serving holding
// registers on one end of a socat pseudo-terminal pair; the test (or the program under test) opens the
// other end. Qt Core only, so every test can use it (library tarvo_third_party_slave).
//
// The slave answers only while the test's end is set to its rate (socat itself carries bytes at any
// rate). Its function 17 reply is pymodbus's own: byte count, identity text, run indicator FF.
#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <map>
#include <memory>
#include <optional>

class ThirdPartySlave {
public:
    struct Options {
        int address = 7;
        int rate = 19200;
        int first = 0; // holding registers first..first + count - 1, all present
        int count = 200;
        std::map<int, quint16> registers;          // initial values; the others hold 0
        QByteArray identity = "PM-210 power meter"; // Latin-1 text of the function 17 reply
    };

    ThirdPartySlave();
    explicit ThirdPartySlave(Options options);
    ~ThirdPartySlave(); // stops both processes; the pty links go with the temporary folder
    ThirdPartySlave(const ThirdPartySlave&) = delete;
    ThirdPartySlave& operator=(const ThirdPartySlave&) = delete;

    // Starts socat and the slave and waits until the slave has opened its end.
    bool start(QString* error = nullptr);
    // The end the test opens (a symlink to a pty).
    QString portPath() const;

    // The slave's registers as its datastore holds them (not over the line), nothing outside its range.
    std::optional<QList<quint16>> registers(int start, int count);
    // Function codes of the requests addressed to the slave and heard at its rate, in order.
    QList<int> functionsHeard();
    // Every byte that reached the slave's end, whatever its address or rate.
    QByteArray received();
    // Forgets both logs.
    bool clearLogs();

    void stop();
    // Standard error of the slave and of socat so far, for a failing test's message.
    QByteArray errorOutput();

private:
    QString command(const QString& line, int timeoutMs = 3000);

    Options options_;
    QTemporaryDir dir_;
    std::unique_ptr<QProcess> socat_;
    std::unique_ptr<QProcess> slave_;
    QByteArray errors_;
};
