// tarvo-sim: virtual Tarvo transducers on pseudo-terminals. See README.md of this folder.
#include "SimServer.h"

#include <QCoreApplication>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const char* const Usage =
    "usage: tarvo-sim [--config FILE] [--link-dir DIR] [--control SOCKET|-] [--save FILE]\n"
    "       tarvo-sim --control SOCKET --send COMMAND\n"
    "  --config FILE    buses and transducers (JSON); without it the default bus\n"
    "  --link-dir DIR   folder of the bus links (default /tmp/tarvo-sim)\n"
    "  --control PATH   control socket (default DIR/control); '-' reads commands from standard input\n"
    "  --save FILE      where the state is written by 'save' and at exit\n"
    "  --send COMMAND   send one command to a running simulator and print its reply\n";

int Fail(const QString& text) {
    std::fprintf(stderr, "tarvo-sim: %s\n", text.toLocal8Bit().constData());
    return 2;
}

int Send(const QString& socketPath, const QString& command) {
    const QByteArray path = QFile::encodeName(socketPath);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.isEmpty() || std::size_t(path.size()) >= sizeof addr.sun_path)
        return Fail(QStringLiteral("bad control socket path '%1'").arg(socketPath));
    std::memcpy(addr.sun_path, path.constData(), std::size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        return Fail(QStringLiteral("cannot connect to %1: %2")
                        .arg(socketPath, QString::fromLocal8Bit(std::strerror(errno))));
    const QByteArray line = command.toUtf8() + '\n';
    if (::write(fd, line.constData(), std::size_t(line.size())) != line.size())
        return Fail(QStringLiteral("cannot send the command"));
    QByteArray reply;
    char buf[4096];
    while (!reply.contains('\n')) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        reply.append(buf, n);
    }
    ::close(fd);
    std::fwrite(reply.constData(), 1, std::size_t(reply.size()), stdout);
    return reply.startsWith("ok") ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv); // for the text codecs and file names; the loop is our own
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    sim::Server::Options options;
    QString config, send;
    bool haveSend = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const auto value = [&](QString* out) {
            if (i + 1 >= args.size())
                return false;
            *out = args[++i];
            return true;
        };
        bool ok = true;
        if (a == QLatin1String("--config"))
            ok = value(&config);
        else if (a == QLatin1String("--link-dir"))
            ok = value(&options.linkDir);
        else if (a == QLatin1String("--control"))
            ok = value(&options.controlPath);
        else if (a == QLatin1String("--save"))
            ok = value(&options.savePath);
        else if (a == QLatin1String("--send"))
            ok = haveSend = value(&send);
        else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::fputs(Usage, stdout);
            return 0;
        } else {
            std::fputs(Usage, stderr);
            return Fail(QStringLiteral("unknown option '%1'").arg(a));
        }
        if (!ok)
            return Fail(QStringLiteral("option %1 needs a value").arg(a));
    }
    if (haveSend) {
        const QString socket = options.controlPath.isEmpty() ? options.linkDir + QStringLiteral("/control")
                                                             : options.controlPath;
        return Send(socket, send);
    }

    sim::Model model;
    if (config.isEmpty()) {
        model = sim::DefaultModel();
    } else {
        QFile f(config);
        if (!f.open(QIODevice::ReadOnly))
            return Fail(QStringLiteral("cannot read %1: %2").arg(config, f.errorString()));
        QString error;
        auto loaded = sim::LoadModel(f.readAll(), &error);
        if (!loaded)
            return Fail(QStringLiteral("%1: %2").arg(config, error));
        model = std::move(*loaded);
        options.configPath = config;
    }
    sim::Server server(std::move(model), options);
    QString error;
    if (!server.start(&error))
        return Fail(error);
    return server.run();
}
