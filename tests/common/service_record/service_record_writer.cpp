// Writes journal entries from a process of its own, so tests can have two programs at one database or
// run the writer as an unprivileged user. Prints one JSON object: what the open found and what was
// told and left unwritten.
//   service_record_writer --db PATH [--count N] [--tag TEXT] [--uid N --gid N] [--start-at EPOCH_MS]
#include "ServiceRecord.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <grp.h>
#include <unistd.h>

using namespace servicerecord;

int main(int argc, char** argv) {
    long uid = -1, gid = -1, count = 1;
    qint64 startAt = 0;
    const char* db = nullptr;
    const char* tag = "writer";
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--db") && i + 1 < argc)
            db = argv[++i];
        else if (!std::strcmp(argv[i], "--count") && i + 1 < argc)
            count = std::strtol(argv[++i], nullptr, 10);
        else if (!std::strcmp(argv[i], "--tag") && i + 1 < argc)
            tag = argv[++i];
        else if (!std::strcmp(argv[i], "--uid") && i + 1 < argc)
            uid = std::strtol(argv[++i], nullptr, 10);
        else if (!std::strcmp(argv[i], "--gid") && i + 1 < argc)
            gid = std::strtol(argv[++i], nullptr, 10);
        else if (!std::strcmp(argv[i], "--start-at") && i + 1 < argc)
            startAt = std::strtoll(argv[++i], nullptr, 10);
        else {
            std::fputs("usage: service_record_writer --db PATH [--count N] [--tag TEXT] [--uid N --gid N]\n", stderr);
            return 2;
        }
    }
    if (!db)
        return 2;
    if (uid >= 0 && (gid < 0 || setgroups(0, nullptr) != 0 || setgid(gid_t(gid)) != 0 || setuid(uid_t(uid)) != 0)) {
        std::perror("service_record_writer: dropping privileges");
        return 3;
    }
    QCoreApplication app(argc, argv);

    QJsonArray notices;
    {
        TServiceRecord record({QStringLiteral("Tarvo_TS"), QStringLiteral("1.0.0.0"), QString::fromLocal8Bit(db), 2000, 200});
        QObject::connect(&record, &TServiceRecord::Notice, [&](const TNotice& n) {
            notices.append(QJsonObject{{QStringLiteral("kind"), int(n.kind)},
                                       {QStringLiteral("fault"), int(n.fault)},
                                       {QStringLiteral("text"), n.text}});
        });
        // Both writers start together, so their transactions interleave.
        while (startAt > 0 && QDateTime::currentMSecsSinceEpoch() < startAt)
            QThread::msleep(1);
        TSubject s;
        s.transducer.generation = gnOlder;
        s.transducer.typeCode = 77;
        s.transducer.fixedName = QStringLiteral("ТС-77");
        s.transducer.sensorName = QString::fromLocal8Bit(tag);
        s.transducer.sensorNumber = 1;
        s.link = {QStringLiteral("/dev/ttyS0"), 1200, 3};
        for (long i = 0; i < count; ++i)
            record.Correction(s, ekZeroCorrection, ocDone, {}, {{QStringLiteral("n"), double(i)}});
        record.Drain(20000);
        QCoreApplication::processEvents();
        const int unwritten = record.Close(100);
        QCoreApplication::processEvents();
        const QJsonObject out{{QStringLiteral("notices"), notices},
                              {QStringLiteral("unrecorded"), unwritten},
                              {QStringLiteral("unrecordedText"), record.UnrecordedText()}};
        std::fputs(QJsonDocument(out).toJson(QJsonDocument::Compact).constData(), stdout);
    }
    return 0;
}
