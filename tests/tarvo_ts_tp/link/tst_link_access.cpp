// Why the link does not open a port, on real nodes: a node of a group the user is not in is told apart
// from a port that another program holds, and from a missing one.
#include "ModbusComm.h"
#include "PortAccess.h"
#include "PtyPair.h"

#include <QFile>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {


QString OpenText(const QString& port) {
    TQueryQueues queues;
    QString errmsg;
    TCommThread thread(nullptr, port, CBR_9600, queues, errmsg);
    return errmsg;
}

} // namespace

class TstLinkAccess : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private Q_SLOTS:
    void missingAndHeld() {
        const QString missing = dir.filePath(QStringLiteral("ttyNone"));
        QCOMPARE(OpenText(missing), missing + QStringLiteral(": Попытка открыть несуществующий COM-порт"));
        Pty pty;
        QVERIFY(!pty.slave.isEmpty());
        QSerialPort holder;
        holder.setPortName(pty.slave);
        QVERIFY(holder.open(QIODevice::ReadWrite));
        QCOMPARE(OpenText(pty.slave), pty.slave + QStringLiteral(": Порт занят другой программой"));
    }

    // A node whose group may use it, opened by a user outside that group.
    void noRights() {
        if (geteuid() != 0)
            QSKIP("only root can give a file to a group the test user is not in; run the suite as root to cover this");
        const passwd* pw = getpwnam("nobody");
        if (!pw || pw->pw_uid == 0)
            QSKIP("the suite runs as root and there is no user 'nobody' to run the check as");
        const group* nogroup = getgrnam("nogroup");
        const gid_t ownGid = nogroup ? nogroup->gr_gid : pw->pw_gid;
        const group* dialout = getgrnam("dialout");
        const gid_t nodeGid = dialout ? dialout->gr_gid : 0;
        const QString groupName = QString::fromLocal8Bit(getgrgid(nodeGid)->gr_name);

        QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                      QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                      QFileDevice::ExeOther | QFileDevice::ReadGroup |
                                                      QFileDevice::ExeGroup));
        const QString probe = dir.filePath(QStringLiteral("tp_open_probe"));
        QVERIFY(QFile::copy(QStringLiteral(TP_OPEN_PROBE), probe));
        QVERIFY(QFile::setPermissions(probe, QFile::permissions(probe) | QFileDevice::ReadOther |
                                                 QFileDevice::ExeOther));
        const QString node = dir.filePath(QStringLiteral("ttyUSB0"));
        {
            QFile f(node);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        const QByteArray p = QFile::encodeName(node);
        QCOMPARE(chown(p.constData(), 0, nodeGid), 0);
        QCOMPARE(chmod(p.constData(), 0660), 0);

        QProcess run;
        run.start(probe, {QStringLiteral("--uid"), QString::number(pw->pw_uid), QStringLiteral("--gid"),
                          QString::number(ownGid), node});
        QVERIFY(run.waitForFinished(10000));
        QCOMPARE(run.exitCode(), 0);
        const QString text = QString::fromUtf8(run.readAllStandardOutput());
        QVERIFY2(text.startsWith(node + QStringLiteral(": Нет прав на доступ к порту.\n")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("группе ") + groupName), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("sudo usermod -aG ") + groupName + QStringLiteral(" nobody")));
        QVERIFY(!text.contains(QStringLiteral("Порт занят другой программой")));
        QVERIFY(serialaccess::IsNoRightsText(text));
    }
};

QTEST_GUILESS_MAIN(TstLinkAccess)
#include "tst_link_access.moc"
