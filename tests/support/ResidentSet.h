// The resident set size of this process in KiB, for the opt-in memory checks; -1 where the system
// does not say it (header only).
#pragma once

#include <QByteArray>
#include <QFile>

inline int ResidentSetKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toInt();
    return -1;
}
