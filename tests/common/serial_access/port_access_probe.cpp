// Opens a port and prints what CheckPortAccess makes of the failure, as one JSON object.
//   port_access_probe [--uid N --gid N] --open PATH | --held-pty
// With --uid/--gid (as root) it first drops to that user with no supplementary groups. --held-pty opens
// a pseudo-terminal of its own, takes it exclusively (TIOCEXCL) and then tries to open it again.
#include "PortAccess.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSerialPort>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

int Usage() {
    std::fputs("usage: port_access_probe [--uid N --gid N] --open PATH | --held-pty\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    long uid = -1, gid = -1;
    const char* openPath = nullptr;
    bool heldPty = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--uid") && i + 1 < argc)
            uid = std::strtol(argv[++i], nullptr, 10);
        else if (!std::strcmp(argv[i], "--gid") && i + 1 < argc)
            gid = std::strtol(argv[++i], nullptr, 10);
        else if (!std::strcmp(argv[i], "--open") && i + 1 < argc)
            openPath = argv[++i];
        else if (!std::strcmp(argv[i], "--held-pty"))
            heldPty = true;
        else
            return Usage();
    }
    if (!openPath && !heldPty)
        return Usage();
    if (uid >= 0) {
        if (gid < 0 || setgroups(0, nullptr) != 0 || setgid(gid_t(gid)) != 0 || setuid(uid_t(uid)) != 0 ||
            geteuid() != uid_t(uid)) {
            std::perror("port_access_probe: dropping privileges");
            return 3;
        }
    }
    QCoreApplication app(argc, argv);

    QString path;
    int master = -1, slave = -1;
    if (heldPty) {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
            std::perror("port_access_probe: pty");
            return 4;
        }
        path = QString::fromLocal8Bit(ptsname(master));
        slave = ::open(ptsname(master), O_RDWR | O_NOCTTY);
        if (slave < 0 || ioctl(slave, TIOCEXCL) != 0) {
            std::perror("port_access_probe: TIOCEXCL");
            return 4;
        }
    } else {
        path = QString::fromLocal8Bit(openPath);
    }

    QSerialPort port;
    port.setPortName(path);
    const bool opened = port.open(QIODevice::ReadWrite);
    const serialaccess::TPortAccess a = opened ? serialaccess::CheckPortAccess(path)
                                               : serialaccess::CheckPortAccess(path, port);
    const QJsonObject o{
        {QStringLiteral("opened"), opened},
        {QStringLiteral("openError"), int(port.error())},
        {QStringLiteral("fault"), int(a.fault)},
        {QStringLiteral("advice"), int(a.advice)},
        {QStringLiteral("port"), a.port},
        {QStringLiteral("device"), a.device},
        {QStringLiteral("user"), a.user},
        {QStringLiteral("group"), a.group},
        {QStringLiteral("mode"), a.mode},
        {QStringLiteral("text"), serialaccess::NoRightsText(a)},
    };
    std::fputs(QJsonDocument(o).toJson(QJsonDocument::Compact).constData(), stdout);
    if (slave >= 0)
        ::close(slave);
    if (master >= 0)
        ::close(master);
    return 0;
}
