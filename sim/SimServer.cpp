#include "SimServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) {
    g_stop = 1;
}

std::int64_t CharUsec(int rate) {
    return rate > 0 ? 11'000'000 / rate : 11'000'000 / 9600;
}

int SpeedToRate(speed_t s) {
    switch (s) {
    case B1200:
        return 1200;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    default:
        return 0;
    }
}

speed_t RateToSpeed(int rate) {
    switch (rate) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    default:
        return B9600;
    }
}

QString Hex(std::uint8_t b) {
    return QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
}

bool WriteAll(int fd, const QByteArray& data) {
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, std::size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 1000);
            continue;
        }
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

const char* const HelpText =
    "commands: list | state B:A | get B:A KEY | regs B:A START COUNT | set B:A KEY VALUE | "
    "set B:A reg N VALUE... (a foreign device) | "
    "fault B:A silent|badcrc|wrongstep|adc on|off | fault B:A otheraddr N|off | fault B:A truncate N|off | "
    "fault B:A slow BYTES MS|off | fault B:A exception CODE | fault B:A clear | faults B:A | "
    "chatter B on|off | pace B on|off | hangup B | replug B | line B | rx B | rxclear B | tx B | txclear B | "
    "now | save [FILE] "
    "| quit";

} // namespace

std::int64_t MonotonicUsec() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000;
}

Server::Server(Model model, Options options) : model_(std::move(model)), options_(std::move(options)) {}

Server::~Server() {
    cleanup();
}

bool Server::openBus(int index, QString* error) {
    Bus& bus = buses_[std::size_t(index)];
    const auto fail = [&](const char* what) {
        if (error)
            *error = QStringLiteral("bus %1: %2: %3")
                         .arg(index)
                         .arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
        closeBus(bus);
        return false;
    };
    bus.master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (bus.master < 0)
        return fail("posix_openpt");
    if (::grantpt(bus.master) != 0 || ::unlockpt(bus.master) != 0)
        return fail("grantpt/unlockpt");
    char name[128] = {};
    if (::ptsname_r(bus.master, name, sizeof name) != 0)
        return fail("ptsname");
    bus.pts = QString::fromLocal8Bit(name);
    // Our handle on the client side is opened before any program can set the exclusive flag on it.
    bus.slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (bus.slave < 0)
        return fail("open client side");
    termios tio{};
    if (::tcgetattr(bus.slave, &tio) != 0)
        return fail("tcgetattr");
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~tcflag_t(CSIZE | PARENB);
    tio.c_cflag |= CS8 | CSTOPB | CLOCAL | CREAD;
    ::cfsetispeed(&tio, RateToSpeed(model_.buses[std::size_t(index)].rate));
    ::cfsetospeed(&tio, RateToSpeed(model_.buses[std::size_t(index)].rate));
    if (::tcsetattr(bus.slave, TCSANOW, &tio) != 0)
        return fail("tcsetattr");
    const QString linkName = model_.buses[std::size_t(index)].link.isEmpty()
                                 ? QStringLiteral("bus%1").arg(index)
                                 : model_.buses[std::size_t(index)].link;
    bus.linkPath = QDir(options_.linkDir).absoluteFilePath(linkName);
    // Replace the link atomically so a program never sees a half-made one.
    const QByteArray tmp = QFile::encodeName(bus.linkPath + QStringLiteral(".new"));
    ::unlink(tmp.constData());
    if (::symlink(name, tmp.constData()) != 0)
        return fail("symlink");
    if (::rename(tmp.constData(), QFile::encodeName(bus.linkPath).constData()) != 0)
        return fail("rename link");
    bus.hungUp = false;
    bus.frame.clear();
    bus.out.clear();
    bus.frameEnd = 0;
    bus.wireEnd = 0;
    std::printf("ready %d %s\n", index, QFile::encodeName(bus.linkPath).constData());
    std::fflush(stdout);
    return true;
}

void Server::closeBus(Bus& bus) {
    if (bus.master >= 0)
        ::close(bus.master);
    if (bus.slave >= 0)
        ::close(bus.slave);
    bus.master = bus.slave = -1;
    if (!bus.linkPath.isEmpty()) {
        // Remove only our own link.
        const QByteArray path = QFile::encodeName(bus.linkPath);
        char target[256] = {};
        const ssize_t n = ::readlink(path.constData(), target, sizeof target - 1);
        if (n > 0 && QString::fromLocal8Bit(target, int(n)) == bus.pts)
            ::unlink(path.constData());
    }
    bus.frame.clear();
    bus.out.clear();
    bus.frameEnd = 0;
}

bool Server::start(QString* error) {
    if (!QDir().mkpath(options_.linkDir)) {
        if (error)
            *error = QStringLiteral("cannot create the link folder %1").arg(options_.linkDir);
        return false;
    }
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGHUP, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    sigset_t block;
    sigemptyset(&block);
    sigaddset(&block, SIGINT);
    sigaddset(&block, SIGTERM);
    sigaddset(&block, SIGHUP);
    ::sigprocmask(SIG_BLOCK, &block, nullptr);

    if (options_.controlPath != QLatin1String("-")) {
        controlPath_ = options_.controlPath.isEmpty()
                           ? QDir(options_.linkDir).absoluteFilePath(QStringLiteral("control"))
                           : options_.controlPath;
        const QByteArray path = QFile::encodeName(controlPath_);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        if (std::size_t(path.size()) >= sizeof addr.sun_path) {
            if (error)
                *error = QStringLiteral("control socket path too long: %1").arg(controlPath_);
            return false;
        }
        std::memcpy(addr.sun_path, path.constData(), std::size_t(path.size()));
        struct stat st {};
        if (::lstat(path.constData(), &st) == 0 && S_ISSOCK(st.st_mode)) {
            // A socket that still answers belongs to a running simulator: do not take its links away.
            const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            const bool alive =
                probe >= 0 && ::connect(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
            if (probe >= 0)
                ::close(probe);
            if (alive) {
                if (error)
                    *error = QStringLiteral("another simulator is running with the control socket %1")
                                 .arg(controlPath_);
                return false;
            }
            ::unlink(path.constData());
        }
        listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(listenFd_, 8) != 0) {
            if (error)
                *error = QStringLiteral("control socket %1: %2")
                             .arg(controlPath_, QString::fromLocal8Bit(std::strerror(errno)));
            if (listenFd_ >= 0)
                ::close(listenFd_);
            listenFd_ = -1; // the path is not ours: leave it alone
            return false;
        }
    }

    buses_.resize(model_.buses.size());
    for (int i = 0; i < int(buses_.size()); ++i)
        if (!openBus(i, error))
            return false;

    if (listenFd_ >= 0)
        std::printf("control %s\n", QFile::encodeName(controlPath_).constData());
    std::printf("started %d\n", int(buses_.size()));
    std::fflush(stdout);
    return true;
}

void Server::cleanup() {
    for (Bus& b : buses_)
        closeBus(b);
    buses_.clear();
    for (Client& c : clients_)
        ::close(c.fd);
    clients_.clear();
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        ::unlink(QFile::encodeName(controlPath_).constData());
    }
}

LineSettings Server::lineSettings(const Bus& bus) const {
    LineSettings s;
    termios tio{};
    if (bus.slave < 0 || ::tcgetattr(bus.slave, &tio) != 0)
        return s;
    s.rate = SpeedToRate(::cfgetospeed(&tio));
    switch (tio.c_cflag & CSIZE) {
    case CS5:
        s.dataBits = 5;
        break;
    case CS6:
        s.dataBits = 6;
        break;
    case CS7:
        s.dataBits = 7;
        break;
    default:
        s.dataBits = 8;
        break;
    }
    s.stopBits = (tio.c_cflag & CSTOPB) ? 2 : 1;
    s.parity = (tio.c_cflag & PARENB) != 0;
    return s;
}

void Server::readMaster(int index) {
    Bus& bus = buses_[std::size_t(index)];
    std::uint8_t buf[4096];
    for (;;) {
        const ssize_t n = ::read(bus.master, buf, sizeof buf);
        if (n <= 0)
            return; // EAGAIN, or EIO while no one holds the client side (we always do)
        const std::int64_t now = MonotonicUsec();
        // A request whose silence has already passed is complete, however late this loop came round.
        if (bus.frameEnd > 0 && bus.frameEnd <= now)
            finishFrame(index);
        const int chunk = ++bus.chunks;
        if (bus.rx.size() < 2'000'000)
            for (ssize_t i = 0; i < n; ++i)
                bus.rx.push_back(RxByte{now, buf[i], chunk});
        const LineSettings ls = lineSettings(bus);
        const int rate = ls.rate > 0 ? ls.rate : 9600;
        const bool good = ls.matches(ls.rate) && ls.rate > 0;
        if (bus.frame.empty()) {
            bus.frameRate = rate;
            bus.frameGarbled = !good;
        } else if (rate != bus.frameRate || !good) {
            bus.frameGarbled = true;
        }
        // The bytes travel the wire one character time each; the request ends 3.5 characters after the last.
        const std::int64_t ch = CharUsec(rate);
        bus.wireEnd = std::max(bus.wireEnd, now) + ch * n;
        bus.frameEnd = bus.wireEnd + ch * 7 / 2;
        if (bus.chatter)
            bus.frameGarbled = true; // the request collides with the unknown device's traffic
        bus.frame.insert(bus.frame.end(), buf, buf + n);
        if (bus.frame.size() > 4096) {
            bus.frame.clear(); // a line that never falls quiet is no request
            bus.frameGarbled = true;
        }
    }
}

void Server::finishFrame(int index) {
    Bus& bus = buses_[std::size_t(index)];
    const sim::Bytes frame = bus.frame;
    const bool garbled = bus.frameGarbled;
    const int rate = bus.frameRate;
    const std::int64_t end = bus.frameEnd;
    bus.frame.clear();
    bus.frameEnd = 0;
    if (garbled || frame.size() < 4 || !FrameCrcOk(frame))
        return; // like a real slave: a bad frame is not answered
    const double nowSec = double(end) / 1e6;
    std::int64_t start = std::max(end, bus.out.empty() ? end : bus.out.back().due);
    for (Device* t : model_.buses[std::size_t(index)].at(frame[0])) {
        if (t->rate != rate)
            continue;
        const auto reply = t->handle(frame, nowSec);
        if (!reply)
            continue;
        // Character times summed in floating point, so a long reply does not run early by rounding.
        const double ch = model_.buses[std::size_t(index)].pace ? 11e6 / reply->rate : 0.0;
        std::int64_t base = start + std::int64_t(reply->latencyMs) * 1000;
        std::int64_t due = base;
        for (std::size_t i = 0; i < reply->bytes.size(); ++i) {
            if (reply->pieceSize > 0 && i > 0 && i % std::size_t(reply->pieceSize) == 0)
                base += std::int64_t(reply->pauseMs) * 1000;
            due = base + std::llround(double(i) * ch);
            bus.out.push_back(OutByte{due, reply->bytes[i]});
        }
        start = due + std::llround(ch);
    }
}

void Server::flushOut(Bus& bus, std::int64_t now) {
    QByteArray chunk;
    while (!bus.out.empty() && bus.out.front().due <= now) {
        chunk.append(char(bus.out.front().byte));
        bus.out.pop_front();
    }
    if (bus.chatter && bus.master >= 0 && bus.nextChatter <= now) {
        const std::int64_t ch = CharUsec(lineSettings(bus).rate);
        if (bus.nextChatter < now - 100'000)
            bus.nextChatter = now - 100'000; // after a stall, no burst of a whole second
        while (bus.nextChatter <= now) {
            chatterSeed_ = chatterSeed_ * 1664525u + 1013904223u;
            chunk.append(char(chatterSeed_ >> 24));
            bus.nextChatter += ch;
        }
    }
    if (!chunk.isEmpty() && bus.master >= 0) {
        // A real line does not queue: what the client side cannot take is lost.
        const ssize_t n = ::write(bus.master, chunk.constData(), std::size_t(chunk.size()));
        const int write = ++bus.writes;
        for (ssize_t i = 0; i < n && bus.tx.size() < 2'000'000; ++i)
            bus.tx.push_back(RxByte{now, std::uint8_t(chunk.at(qsizetype(i))), write});
    }
}

int Server::run() {
    sigset_t none;
    sigemptyset(&none);
    while (!quit_ && !g_stop) {
        std::vector<pollfd> fds;
        std::vector<int> busOf;
        for (int i = 0; i < int(buses_.size()); ++i)
            if (buses_[std::size_t(i)].master >= 0) {
                fds.push_back(pollfd{buses_[std::size_t(i)].master, POLLIN, 0});
                busOf.push_back(i);
            }
        const std::size_t busCount = fds.size();
        if (listenFd_ >= 0)
            fds.push_back(pollfd{listenFd_, POLLIN, 0});
        const bool useStdin = options_.controlPath == QLatin1String("-");
        if (useStdin)
            fds.push_back(pollfd{0, POLLIN, 0});
        const std::size_t clientBase = fds.size();
        for (const Client& c : clients_)
            fds.push_back(pollfd{c.fd, POLLIN, 0});

        std::int64_t now = MonotonicUsec();
        std::int64_t next = now + 1'000'000;
        for (const Bus& b : buses_) {
            if (b.frameEnd > 0)
                next = std::min(next, b.frameEnd);
            if (!b.out.empty())
                next = std::min(next, b.out.front().due);
            if (b.chatter && b.master >= 0)
                next = std::min(next, b.nextChatter);
        }
        const std::int64_t wait = std::max<std::int64_t>(0, next - now);
        timespec ts{time_t(wait / 1'000'000), long(wait % 1'000'000) * 1000};
        const int rc = ::ppoll(fds.data(), fds.size(), &ts, &none);
        if (rc < 0 && errno != EINTR)
            break;
        if (rc > 0) {
            for (std::size_t i = 0; i < busCount; ++i)
                if (fds[i].revents & POLLIN)
                    readMaster(busOf[i]);
            std::size_t k = busCount;
            if (listenFd_ >= 0) {
                if (fds[k].revents & POLLIN) {
                    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
                    if (fd >= 0)
                        clients_.push_back(Client{fd, {}});
                }
                ++k;
            }
            if (useStdin) {
                if (fds[k].revents & (POLLIN | POLLHUP)) {
                    char buf[4096];
                    const ssize_t n = ::read(0, buf, sizeof buf);
                    if (n <= 0) {
                        quit_ = true; // standard input closed: whoever controlled us is gone
                    } else {
                        stdinBuf_.append(buf, n);
                        qsizetype nl;
                        while ((nl = stdinBuf_.indexOf('\n')) >= 0) {
                            const QString line = QString::fromUtf8(stdinBuf_.left(nl));
                            stdinBuf_.remove(0, nl + 1);
                            const QByteArray reply = execute(line).toUtf8() + '\n';
                            WriteAll(1, reply);
                        }
                    }
                }
            }
            for (std::size_t i = clientBase; i < fds.size(); ++i)
                if (fds[i].revents & (POLLIN | POLLHUP | POLLERR))
                    serveClient(clients_[i - clientBase]);
            clients_.erase(
                std::remove_if(clients_.begin(), clients_.end(), [](const Client& c) { return c.fd < 0; }),
                clients_.end());
        }
        now = MonotonicUsec();
        for (int i = 0; i < int(buses_.size()); ++i) {
            Bus& b = buses_[std::size_t(i)];
            if (b.frameEnd > 0 && b.frameEnd <= now)
                finishFrame(i);
            flushOut(b, now);
        }
    }
    if (!options_.savePath.isEmpty()) {
        const QString err = save(options_.savePath);
        if (!err.isEmpty())
            std::fprintf(stderr, "tarvo-sim: %s\n", err.toLocal8Bit().constData());
    }
    cleanup();
    return 0;
}

void Server::serveClient(Client& c) {
    char buf[4096];
    const ssize_t n = ::read(c.fd, buf, sizeof buf);
    if (n <= 0) {
        ::close(c.fd);
        c.fd = -1;
        return;
    }
    c.in.append(buf, n);
    qsizetype nl;
    while ((nl = c.in.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(c.in.left(nl));
        c.in.remove(0, nl + 1);
        if (!WriteAll(c.fd, execute(line).toUtf8() + '\n')) {
            ::close(c.fd);
            c.fd = -1;
            return;
        }
    }
    if (c.in.size() > 1 << 20) { // no line end in a megabyte: not a control client
        ::close(c.fd);
        c.fd = -1;
    }
}

int Server::busIndex(const QString& text, QString* error) const {
    bool ok = false;
    const int b = text.toInt(&ok);
    if (!ok || b < 0 || b >= int(buses_.size())) {
        *error = QStringLiteral("no bus '%1' (buses 0..%2)").arg(text).arg(int(buses_.size()) - 1);
        return -1;
    }
    return b;
}

Device* Server::findDevice(const QString& name, QString* error) {
    const auto parts = name.split(QLatin1Char(':'));
    if (parts.size() != 2) {
        *error = QStringLiteral("a device is named BUS:ADDRESS, not '%1'").arg(name);
        return nullptr;
    }
    const int b = busIndex(parts[0], error);
    if (b < 0)
        return nullptr;
    bool ok = false;
    const int a = parts[1].toInt(&ok);
    const auto found = ok ? model_.buses[std::size_t(b)].at(a) : std::vector<Device*>{};
    if (found.empty()) {
        *error = QStringLiteral("no device at address '%1' on bus %2").arg(parts[1]).arg(b);
        return nullptr;
    }
    return found.front();
}

QString Server::save(const QString& path) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return QStringLiteral("cannot write %1: %2").arg(path, f.errorString());
    f.write(SaveModel(model_));
    if (!f.commit())
        return QStringLiteral("cannot write %1: %2").arg(path, f.errorString());
    return {};
}

QString Server::execute(const QString& rawLine) {
    const QString line = rawLine.trimmed();
    const QStringList w = line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    if (w.isEmpty())
        return QStringLiteral("error empty command; try help");
    const QString& cmd = w[0];
    QString err;
    const auto error = [](const QString& text) { return QStringLiteral("error ") + text; };
    const auto needArgs = [&](int n, const char* usage) -> bool {
        if (w.size() < n + 1) {
            err = QStringLiteral("usage: %1").arg(QLatin1String(usage));
            return false;
        }
        return true;
    };
    const double now = double(MonotonicUsec()) / 1e6;

    if (cmd == QLatin1String("help"))
        return QStringLiteral("ok ") + QLatin1String(HelpText);
    if (cmd == QLatin1String("now"))
        return QStringLiteral("ok %1").arg(MonotonicUsec());
    if (cmd == QLatin1String("quit")) {
        quit_ = true;
        return QStringLiteral("ok");
    }
    if (cmd == QLatin1String("list")) {
        QStringList items;
        for (int b = 0; b < int(model_.buses.size()); ++b) {
            const BusModel& bus = model_.buses[std::size_t(b)];
            for (const auto& t : bus.transducers)
                items << QStringLiteral("%1:%2 %3 %4").arg(b).arg(t->address).arg(t->kindName()).arg(t->rate);
            for (const auto& d : bus.foreign)
                items << QStringLiteral("%1:%2 %3 %4").arg(b).arg(d->address).arg(d->kindName()).arg(d->rate);
        }
        return QStringLiteral("ok ") + items.join(QStringLiteral("; "));
    }
    if (cmd == QLatin1String("save")) {
        const QString path =
            w.size() > 1 ? w[1] : (!options_.savePath.isEmpty() ? options_.savePath : options_.configPath);
        if (path.isEmpty())
            return error(QStringLiteral("no file to save to: give one, or start with --save FILE"));
        const QString e = save(path);
        return e.isEmpty() ? QStringLiteral("ok saved %1").arg(path) : error(e);
    }
    if (cmd == QLatin1String("state") || cmd == QLatin1String("get") || cmd == QLatin1String("set") ||
        cmd == QLatin1String("regs") || cmd == QLatin1String("fault") || cmd == QLatin1String("faults")) {
        if (!needArgs(1, "state|get|set|fault|faults BUS:ADDRESS ..."))
            return error(err);
        Device* t = findDevice(w[1], &err);
        if (!t)
            return error(err);
        if (cmd == QLatin1String("state"))
            return QStringLiteral("ok ") + t->stateLine(now);
        if (cmd == QLatin1String("regs")) {
            int start = 0, count = 0;
            bool ok1 = false, ok2 = false;
            if (w.size() > 3) {
                start = w[2].toInt(&ok1, 0);
                count = w[3].toInt(&ok2, 0);
            }
            if (!ok1 || !ok2)
                return error(QStringLiteral("usage: regs BUS:ADDRESS START COUNT (numbers, 0x for hex)"));
            const auto regs = t->readRegisters(start, count, now);
            if (!regs)
                return error(QStringLiteral("registers %1..%2 are not one readable block")
                                 .arg(start)
                                 .arg(start + count - 1));
            QStringList hex;
            for (auto v : *regs)
                hex << QStringLiteral("%1").arg(v, 4, 16, QLatin1Char('0')).toUpper();
            return QStringLiteral("ok ") + hex.join(QLatin1Char(' '));
        }
        if (cmd == QLatin1String("get")) {
            if (!needArgs(2, "get BUS:ADDRESS KEY"))
                return error(err);
            if (!t->hasKey(w[2]))
                return error(QStringLiteral("unknown value '%1' (known: %2)")
                                 .arg(w[2], t->keys().join(QLatin1Char(' '))));
            return QStringLiteral("ok ") + t->get(w[2], now);
        }
        if (cmd == QLatin1String("set")) {
            if (!needArgs(3, "set BUS:ADDRESS KEY VALUE"))
                return error(err);
            // The value is the rest of the line, blanks included (sensor names).
            static const QRegularExpression re(QStringLiteral("^\\S+\\s+\\S+\\s+\\S+\\s+(.*)$"));
            const QString value = re.match(line).captured(1);
            const QString e = t->set(w[2], value);
            return e.isEmpty() ? QStringLiteral("ok") : error(e);
        }
        Faults& f = t->faults;
        if (cmd == QLatin1String("faults")) {
            return QStringLiteral("ok silent=%1 badcrc=%2 otheraddr=%3 truncate=%4 slow=%5/%6 exception=%7 "
                                  "wrongstep=%8 adc=%9")
                .arg(int(f.silent))
                .arg(int(f.badCrc))
                .arg(f.otherAddr)
                .arg(f.truncate)
                .arg(f.slowPiece)
                .arg(f.slowPauseMs)
                .arg(f.exceptionNext)
                .arg(int(f.wrongStep))
                .arg(int(f.adcOutOfRange));
        }
        if (!needArgs(2, "fault BUS:ADDRESS NAME [VALUE]"))
            return error(err);
        const QString& name = w[2];
        const QString arg = w.size() > 3 ? w[3] : QString();
        const auto onOff = [&](bool* field) {
            if (arg == QLatin1String("on"))
                *field = true;
            else if (arg == QLatin1String("off"))
                *field = false;
            else
                return error(QStringLiteral("fault %1 takes on or off, not '%2'").arg(name, arg));
            return QStringLiteral("ok");
        };
        const auto number = [&](const QString& text, int lo, int hi, int* out) {
            bool ok = false;
            const int n = text.toInt(&ok);
            if (!ok || n < lo || n > hi)
                return false;
            *out = n;
            return true;
        };
        if (name == QLatin1String("silent"))
            return onOff(&f.silent);
        if (name == QLatin1String("badcrc"))
            return onOff(&f.badCrc);
        const bool transducer = dynamic_cast<Transducer*>(t) != nullptr;
        if ((name == QLatin1String("wrongstep") || name == QLatin1String("adc")) && !transducer)
            return error(QStringLiteral("fault %1 is for transducers only").arg(name));
        if (name == QLatin1String("wrongstep"))
            return onOff(&f.wrongStep);
        if (name == QLatin1String("adc"))
            return onOff(&f.adcOutOfRange);
        if (name == QLatin1String("clear")) {
            f.clear();
            return QStringLiteral("ok");
        }
        if (name == QLatin1String("otheraddr")) {
            if (arg == QLatin1String("off")) {
                f.otherAddr = 0;
                return QStringLiteral("ok");
            }
            return number(arg, 1, 255, &f.otherAddr)
                       ? QStringLiteral("ok")
                       : error(QStringLiteral("fault otheraddr takes an address 1..255 or off, not '%1'")
                                   .arg(arg));
        }
        if (name == QLatin1String("truncate")) {
            if (arg == QLatin1String("off")) {
                f.truncate = -1;
                return QStringLiteral("ok");
            }
            return number(arg, 0, 255, &f.truncate)
                       ? QStringLiteral("ok")
                       : error(QStringLiteral("fault truncate takes a byte count 0..255 or off, not '%1'")
                                   .arg(arg));
        }
        if (name == QLatin1String("slow")) {
            if (arg == QLatin1String("off")) {
                f.slowPiece = 0;
                f.slowPauseMs = 0;
                return QStringLiteral("ok");
            }
            int piece = 0, pause = 0;
            if (w.size() < 5 || !number(arg, 1, 255, &piece) || !number(w[4], 0, 60000, &pause))
                return error(QStringLiteral("fault slow takes BYTES (1..255) and MS (0..60000), or off"));
            f.slowPiece = piece;
            f.slowPauseMs = pause;
            return QStringLiteral("ok");
        }
        if (name == QLatin1String("exception")) {
            return number(arg, 1, 255, &f.exceptionNext)
                       ? QStringLiteral("ok")
                       : error(QStringLiteral("fault exception takes a code 1..255, not '%1'").arg(arg));
        }
        return error(QStringLiteral("unknown fault '%1' (silent badcrc otheraddr truncate slow exception "
                                    "wrongstep adc clear)")
                         .arg(name));
    }
    if (cmd == QLatin1String("chatter") || cmd == QLatin1String("pace") || cmd == QLatin1String("hangup") ||
        cmd == QLatin1String("replug") || cmd == QLatin1String("line") || cmd == QLatin1String("rx") ||
        cmd == QLatin1String("rxclear") || cmd == QLatin1String("tx") || cmd == QLatin1String("txclear")) {
        if (!needArgs(1, "chatter|pace|hangup|replug|line|rx|rxclear|tx|txclear BUS ..."))
            return error(err);
        const int b = busIndex(w[1], &err);
        if (b < 0)
            return error(err);
        Bus& bus = buses_[std::size_t(b)];
        if (cmd == QLatin1String("chatter")) {
            const QString arg = w.size() > 2 ? w[2] : QString();
            if (arg != QLatin1String("on") && arg != QLatin1String("off"))
                return error(QStringLiteral("chatter takes on or off, not '%1'").arg(arg));
            bus.chatter = arg == QLatin1String("on");
            bus.nextChatter = MonotonicUsec();
            return QStringLiteral("ok");
        }
        if (cmd == QLatin1String("pace")) {
            const QString arg = w.size() > 2 ? w[2] : QString();
            if (arg != QLatin1String("on") && arg != QLatin1String("off"))
                return error(QStringLiteral("pace takes on or off, not '%1'").arg(arg));
            model_.buses[std::size_t(b)].pace = arg == QLatin1String("on");
            return QStringLiteral("ok");
        }
        if (cmd == QLatin1String("hangup")) {
            if (bus.hungUp)
                return error(QStringLiteral("bus %1 is already hung up").arg(b));
            closeBus(bus);
            bus.hungUp = true;
            return QStringLiteral("ok");
        }
        if (cmd == QLatin1String("replug")) {
            if (!bus.hungUp)
                return error(QStringLiteral("bus %1 is not hung up").arg(b));
            QString e;
            return openBus(b, &e) ? QStringLiteral("ok %1").arg(bus.linkPath) : error(e);
        }
        if (cmd == QLatin1String("line")) {
            if (bus.hungUp)
                return error(QStringLiteral("bus %1 is hung up").arg(b));
            const LineSettings ls = lineSettings(bus);
            return QStringLiteral("ok rate=%1 data=%2 stop=%3 parity=%4")
                .arg(ls.rate)
                .arg(ls.dataBits)
                .arg(ls.stopBits)
                .arg(QLatin1String(ls.parity ? "yes" : "none"));
        }
        if (cmd == QLatin1String("rxclear") || cmd == QLatin1String("txclear")) {
            (cmd == QLatin1String("rxclear") ? bus.rx : bus.tx).clear();
            return QStringLiteral("ok");
        }
        const std::vector<RxByte>& log = cmd == QLatin1String("rx") ? bus.rx : bus.tx;
        QString out = QStringLiteral("ok %1").arg(log.size());
        out.reserve(qsizetype(log.size()) * 24 + 16);
        for (const RxByte& r : log)
            out += QStringLiteral(" %1:%2:%3").arg(r.usec).arg(Hex(r.byte)).arg(r.chunk);
        return out;
    }
    return error(QStringLiteral("unknown command '%1'; try help").arg(cmd));
}

} // namespace sim
