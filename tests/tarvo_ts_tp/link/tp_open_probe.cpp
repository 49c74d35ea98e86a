// Creates the Tarvo_TS_TP link's thread on a port and prints the text the link gives for a port that
// does not open (empty when it opened), as UTF-8 on one line.
//   tp_open_probe [--uid N --gid N] PATH
// With --uid/--gid (as root) it first drops to that user with no supplementary groups.
#include "ModbusCommThread.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <grp.h>
#include <unistd.h>

int main(int argc, char** argv) {
    long uid = -1, gid = -1;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--uid") && i + 1 < argc)
            uid = std::strtol(argv[++i], nullptr, 10);
        else if (!std::strcmp(argv[i], "--gid") && i + 1 < argc)
            gid = std::strtol(argv[++i], nullptr, 10);
        else
            path = argv[i];
    }
    if (!path) {
        std::fputs("usage: tp_open_probe [--uid N --gid N] PATH\n", stderr);
        return 2;
    }
    if (uid >= 0 && (gid < 0 || setgroups(0, nullptr) != 0 || setgid(gid_t(gid)) != 0 ||
                     setuid(uid_t(uid)) != 0 || geteuid() != uid_t(uid))) {
        std::perror("tp_open_probe: dropping privileges");
        return 3;
    }
    QCoreApplication app(argc, argv);
    TQueryQueues queues;
    QString errmsg;
    {
        TCommThread thread(nullptr, QString::fromLocal8Bit(path), CBR_9600, queues, errmsg);
    }
    std::fputs(errmsg.toUtf8().constData(), stdout);
    return 0;
}
