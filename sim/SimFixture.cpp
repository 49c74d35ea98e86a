#include "SimFixture.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QtGlobal>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#ifndef TARVO_SIM_EXECUTABLE
#error "TARVO_SIM_EXECUTABLE must name the tarvo-sim program"
#endif

SimFixture::SimFixture(const QByteArray& jsonConfig)
    : config_(jsonConfig), dir_(QStringLiteral("/tmp/tsim-XXXXXX")) {}

SimFixture::~SimFixture() {
    stop();
}

bool SimFixture::start(QString* error) {
    const auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        stop();
        return false;
    };
    if (process_ && process_->state() == QProcess::Running)
        return true; // already started
    if (!dir_.isValid())
        return fail(QStringLiteral("no temporary folder: ") + dir_.errorString());
    QStringList args{QStringLiteral("--link-dir"), dir_.path(), QStringLiteral("--control"),
                     dir_.filePath(QStringLiteral("control"))};
    if (!config_.isEmpty()) {
        QFile f(dir_.filePath(QStringLiteral("buses.json")));
        if (!f.open(QIODevice::WriteOnly) || f.write(config_) != config_.size())
            return fail(QStringLiteral("cannot write the bus file"));
        f.close();
        args << QStringLiteral("--config") << f.fileName();
    }
    process_ = std::make_unique<QProcess>();
    process_->setProgram(QStringLiteral(TARVO_SIM_EXECUTABLE));
    process_->setArguments(args);
    // The simulator dies with the test, even when the test crashes.
    process_->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process_->start(QIODevice::ReadOnly);
    if (!process_->waitForStarted(5000))
        return fail(QStringLiteral("cannot start %1: %2")
                        .arg(QStringLiteral(TARVO_SIM_EXECUTABLE), process_->errorString()));
    QDeadlineTimer deadline(10000);
    bool started = false;
    while (!started) {
        while (!started && process_->canReadLine()) {
            const QByteArray line = process_->readLine().trimmed();
            if (line.startsWith("ready ")) {
                const QList<QByteArray> w = line.split(' ');
                if (w.size() >= 3)
                    ports_.append(QFile::decodeName(w.mid(2).join(' ')));
            }
            started = line.startsWith("started");
        }
        if (started)
            break;
        if (process_->state() != QProcess::Running)
            return fail(QStringLiteral("tarvo-sim stopped: ") +
                        QString::fromLocal8Bit(process_->readAllStandardError()));
        if (deadline.hasExpired())
            return fail(QStringLiteral("tarvo-sim did not get ready"));
        process_->waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
    }
    const QByteArray path = QFile::encodeName(dir_.filePath(QStringLiteral("control")));
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.constData(),
                std::min(std::size_t(path.size()), sizeof addr.sun_path - 1));
    socket_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket_ < 0 || ::connect(socket_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        return fail(QStringLiteral("cannot connect to the control socket: ") +
                    QString::fromLocal8Bit(std::strerror(errno)));
    started_ = true;
    return true;
}

QString SimFixture::portPath(int bus) const {
    return bus >= 0 && bus < ports_.size() ? ports_[bus] : QString();
}

QString SimFixture::command(const QString& line, int timeoutMs) {
    if (socket_ < 0)
        return QStringLiteral("error simulator not running");
    QByteArray data = line.toUtf8() + '\n';
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n =
            ::send(socket_, data.constData() + done, std::size_t(data.size() - done), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return QStringLiteral("error control socket: ") + QString::fromLocal8Bit(std::strerror(errno));
        done += n;
    }
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const qsizetype nl = pending_.indexOf('\n');
        if (nl >= 0) {
            const QString reply = QString::fromUtf8(pending_.left(nl));
            pending_.remove(0, nl + 1);
            return reply;
        }
        pollfd p{socket_, POLLIN, 0};
        const int rc = ::poll(&p, 1, int(std::max<qint64>(0, deadline.remainingTime())));
        if (rc == 0)
            return QStringLiteral("error no reply within %1 ms").arg(timeoutMs);
        if (rc < 0 && errno == EINTR)
            continue;
        char buf[65536];
        const ssize_t n = ::recv(socket_, buf, sizeof buf, 0);
        if (n <= 0)
            return QStringLiteral("error control socket closed");
        pending_.append(buf, n);
    }
}

QList<SimFixture::RxByte> SimFixture::received(int bus) {
    return byteLog(QStringLiteral("rx %1").arg(bus));
}

QList<SimFixture::RxByte> SimFixture::transmitted(int bus) {
    return byteLog(QStringLiteral("tx %1").arg(bus));
}

void SimFixture::clearTransmitted(int bus) {
    command(QStringLiteral("txclear %1").arg(bus));
}

QByteArray SimFixture::bytes(const QList<RxByte>& log) {
    QByteArray b;
    b.reserve(log.size());
    for (const RxByte& x : log)
        b.append(char(x.byte));
    return b;
}

QList<SimFixture::RxByte> SimFixture::byteLog(const QString& cmd) {
    QList<RxByte> list;
    const QString reply = command(cmd, 10000);
    if (!reply.startsWith(QLatin1String("ok ")))
        return list;
    const QStringList items = reply.mid(3).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (qsizetype i = 1; i < items.size(); ++i) {
        const QStringList f = items[i].split(QLatin1Char(':'));
        if (f.size() == 3)
            list.append(RxByte{f[0].toLongLong(), quint8(f[1].toUInt(nullptr, 16)), f[2].toInt()});
    }
    return list;
}

void SimFixture::clearReceived(int bus) {
    command(QStringLiteral("rxclear %1").arg(bus));
}

QByteArray SimFixture::errorOutput() {
    return process_ ? process_->readAllStandardError() : QByteArray();
}

int SimFixture::stop() {
    if (socket_ >= 0) {
        ::close(socket_);
        socket_ = -1;
    }
    int code = -1;
    if (process_) {
        if (process_->state() != QProcess::NotRunning) {
            process_->terminate(); // SIGTERM: the simulator removes its links and closes its ptys
            if (!process_->waitForFinished(5000)) {
                process_->kill();
                process_->waitForFinished(2000);
            }
        }
        if (process_->exitStatus() == QProcess::NormalExit)
            code = process_->exitCode();
        if (code != 0 && started_) // a crash or a sanitizer report belongs in the test's log
            qWarning("tarvo-sim ended with %d: %s", code, process_->readAllStandardError().constData());
        process_.reset();
    }
    started_ = false;
    ports_.clear();
    return code;
}
