// The simulator's serial side: one pseudo-terminal per bus, real line timing, the control channel.
// Single-threaded: one poll loop serves every bus and every control connection.
#pragma once

#include "SimModel.h"

#include <QString>
#include <cstdint>
#include <deque>
#include <vector>

namespace sim {

// Microseconds of CLOCK_MONOTONIC (the clock QElapsedTimer uses on Linux).
std::int64_t MonotonicUsec();

// Line settings of a pty's client side as the program left them.
struct LineSettings {
    int rate = 0; // bit/s, 0 when not a known rate
    int dataBits = 8;
    int stopBits = 2;
    bool parity = false;
    bool matches(int r) const { return rate == r && dataBits == 8 && stopBits == 2 && !parity; }
};

class Server {
public:
    struct Options {
        QString linkDir = QStringLiteral("/tmp/tarvo-sim");
        QString controlPath; // UNIX socket; empty: <linkDir>/control; "-": standard input
        QString savePath;    // written by "save" and at exit
        QString configPath;  // where the buses came from ("save" without a file writes here if no savePath)
    };

    Server(Model model, Options options);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Creates the ptys, the links and the control socket and prints the ready lines.
    bool start(QString* error);
    // Serves until "quit" or SIGINT/SIGTERM/SIGHUP; returns the exit code.
    int run();
    // One control command line; returns the reply line without the line end.
    QString execute(const QString& line);

private:
    struct RxByte {
        std::int64_t usec;
        std::uint8_t byte;
        int chunk;
    };
    struct OutByte {
        std::int64_t due;
        std::uint8_t byte;
    };
    struct Bus {
        int master = -1;
        int slave = -1; // our own handle on the client side: termios, and the bus outlives the program's port
        QString pts;
        QString linkPath;
        bool hungUp = false;
        // request being received
        std::vector<std::uint8_t> frame;
        bool frameGarbled = false;
        int frameRate = 0;
        std::int64_t wireEnd = 0;  // when the last received byte has left the wire
        std::int64_t frameEnd = 0; // wireEnd + 3.5 characters: the request is complete
        std::deque<OutByte> out;
        bool chatter = false;
        std::int64_t nextChatter = 0;
        std::vector<RxByte> rx;
        int chunks = 0;
        std::vector<RxByte> tx; // what the bus sent (replies and chatter), chunk = write number
        int writes = 0;
    };
    struct Client {
        int fd = -1;
        QByteArray in;
    };

    bool openBus(int index, QString* error);
    void closeBus(Bus& bus);
    LineSettings lineSettings(const Bus& bus) const;
    void readMaster(int index);
    void finishFrame(int index);
    void flushOut(Bus& bus, std::int64_t now);
    void serveClient(Client& c);
    QString save(const QString& path);
    Device* findDevice(const QString& name, QString* error);
    int busIndex(const QString& text, QString* error) const;
    void cleanup();

    Model model_;
    Options options_;
    std::vector<Bus> buses_;
    int listenFd_ = -1;
    QString controlPath_;
    std::vector<Client> clients_;
    QByteArray stdinBuf_;
    bool quit_ = false;
    std::uint32_t chatterSeed_ = 0x2545F491u;
};

} // namespace sim
