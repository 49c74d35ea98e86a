// Why a port cannot be opened, on real nodes: missing paths, held and locked ports, files of other
// groups and modes that an unprivileged user opens through the probe.
#include "PortAccess.h"
#include "PtyPair.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/sysmacros.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace serialaccess;

Q_DECLARE_METATYPE(serialaccess::TPortFault)
Q_DECLARE_METATYPE(serialaccess::TRightsAdvice)

namespace {


gid_t GroupId(const char* name, gid_t fallback) {
    const group* g = getgrnam(name);
    return g ? g->gr_gid : fallback;
}

} // namespace

class TestPortAccess : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString probe; // a copy every user may run

    // A plain file, or with `node` (as root, where the file system allows) a character device node with
    // the numbers of the first USB serial adapter.
    QString file(const QString& name, mode_t mode, gid_t gid, bool node = false) {
        const QString path = dir.filePath(name);
        const QByteArray p = QFile::encodeName(path);
        if (!node || geteuid() != 0 || mknod(p.constData(), S_IFCHR | 0600, makedev(188, 0)) != 0) {
            QFile f(path);
            if (!f.open(QIODevice::WriteOnly))
                return {};
        }
        if ((geteuid() == 0 && chown(p.constData(), 0, gid) != 0) || chmod(p.constData(), mode) != 0)
            return {};
        return path;
    }

    QJsonObject runProbe(const QStringList& args) {
        QProcess p;
        p.start(probe, args);
        if (!p.waitForFinished(10000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            qWarning() << "probe" << args << "failed:" << p.readAllStandardError();
            return {};
        }
        return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    }

    // As root the probe drops to nobody; any other user is unprivileged already.
    QStringList asUnprivileged(gid_t gid) {
        if (geteuid() != 0)
            return {};
        const passwd* pw = getpwnam("nobody");
        if (!pw || pw->pw_uid == 0)
            return {QStringLiteral("none")};
        return {QStringLiteral("--uid"), QString::number(pw->pw_uid), QStringLiteral("--gid"), QString::number(gid)};
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(dir.isValid());
        // The unprivileged probe must reach the files and itself.
        QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                      QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                      QFileDevice::ExeOther | QFileDevice::ReadGroup |
                                                      QFileDevice::ExeGroup));
        probe = dir.filePath(QStringLiteral("port_access_probe"));
        QVERIFY(QFile::copy(QStringLiteral(PORT_ACCESS_PROBE), probe));
        QVERIFY(QFile::setPermissions(probe, QFile::permissions(probe) | QFileDevice::ReadOther |
                                                 QFileDevice::ExeOther));
    }

    // What this process sees, with the error a real open gave and before any open.
    void inProcess_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<TPortFault>("fault");
        QTest::newRow("missing path") << "missing" << pfMissing;
        QTest::newRow("bare name of a missing node") << "bare" << pfMissing;
        QTest::newRow("path through a file") << "notdir" << pfMissing;
        QTest::newRow("free pty") << "free" << pfNone;
        QTest::newRow("pty locked by another open") << "locked" << pfBusy;
        QTest::newRow("plain file: no serial port") << "file" << pfOther;
    }
    void inProcess() {
        QFETCH(QString, kind);
        QFETCH(TPortFault, fault);
        Pty pty;
        QVERIFY(!pty.slave.isEmpty());
        QSerialPort holder;
        QString port;
        if (kind == u"missing")
            port = dir.filePath(QStringLiteral("ttyNone"));
        else if (kind == u"bare")
            port = QStringLiteral("ttyTarvoNone");
        else if (kind == u"notdir")
            port = file(QStringLiteral("plain1"), 0644, getegid()) + QStringLiteral("/ttyS0");
        else if (kind == u"file")
            port = file(QStringLiteral("plain2"), 0666, getegid());
        else
            port = pty.slave;
        if (kind == u"locked") {
            holder.setPortName(port);
            QVERIFY(holder.open(QIODevice::ReadWrite));
        }

        QSerialPort p;
        p.setPortName(port);
        const bool opened = p.open(QIODevice::ReadWrite);
        QCOMPARE(opened, fault == pfNone);
        const TPortAccess a = opened ? CheckPortAccess(port) : CheckPortAccess(port, p);
        QCOMPARE(a.fault, fault);
        QCOMPARE(a.port, port);
        QCOMPARE(a.device, kind == u"bare" ? QStringLiteral("/dev/ttyTarvoNone") : port);
        QCOMPARE(a.systemText.isEmpty(), fault != pfOther);
        QVERIFY(NoRightsText(a).isEmpty());
        QCOMPARE(WithReason(QStringLiteral("Нет соединения c ") + port, a), QStringLiteral("Нет соединения c ") + port);
        if (fault != pfOther && fault != pfBusy) // a lock or a refusal shows only in an open error
            QCOMPARE(CheckPortAccess(port).fault, fault);
    }

    // An unprivileged user against nodes it may not open, and against a pty it holds exclusively.
    void unprivileged_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<TPortFault>("fault");
        QTest::addColumn<TRightsAdvice>("advice");
        QTest::newRow("group it is not in") << "join" << pfNoRights << raJoinGroup;
        QTest::newRow("group added after login") << "relogin" << pfNoRights << raLogInAgain;
        QTest::newRow("owner only") << "admin" << pfNoRights << raAskAdmin;
        QTest::newRow("exclusive pty") << "held" << pfBusy << raAskAdmin;
    }
    void unprivileged() {
        QFETCH(QString, kind);
        QFETCH(TPortFault, fault);
        QFETCH(TRightsAdvice, advice);
        const bool root = geteuid() == 0;
        const gid_t nogroup = GroupId("nogroup", 65534);
        if (!root && (kind == u"join" || kind == u"relogin"))
            QSKIP("only root can give a file to a group the test user is not in; run the suite as root to cover this");
        // The user database makes nogroup nobody's own group; a session without it has not logged in since.
        QStringList args = asUnprivileged(kind == u"relogin" ? GroupId("daemon", 1) : nogroup);
        if (args == QStringList{QStringLiteral("none")})
            QSKIP("the suite runs as root and there is no user 'nobody' to run the check as");

        const gid_t foreign = GroupId("dialout", 0);
        QString path;
        if (kind == u"join")
            path = file(QStringLiteral("ttyUSB0"), 0660, foreign, true);
        else if (kind == u"relogin")
            path = file(QStringLiteral("ttyRelogin"), 0660, nogroup);
        else if (kind == u"admin")
            path = file(QStringLiteral("ttyAdmin"), root ? 0600 : 0000, getegid());
        if (kind == u"held")
            args << QStringLiteral("--held-pty");
        else
            args << QStringLiteral("--open") << path;
        QVERIFY(kind == u"held" || !path.isEmpty());

        const QJsonObject o = runProbe(args);
        QVERIFY(!o.isEmpty());
        QCOMPARE(o[u"opened"].toBool(), false);
        QCOMPARE(TPortFault(o[u"fault"].toInt()), fault);
        QCOMPARE(o[u"openError"].toInt(), int(QSerialPort::PermissionError));
        if (fault != pfNoRights) {
            QVERIFY(o[u"text"].toString().isEmpty());
            return;
        }
        QCOMPARE(TRightsAdvice(o[u"advice"].toInt()), advice);
        const QString user = root ? QStringLiteral("nobody") : o[u"user"].toString();
        const QString group = kind == u"join"      ? QString::fromLocal8Bit(getgrgid(foreign)->gr_name)
                              : kind == u"relogin" ? QString::fromLocal8Bit(getgrgid(nogroup)->gr_name)
                                                   : QString::fromLocal8Bit(getgrgid(getegid())->gr_name);
        QCOMPARE(o[u"user"].toString(), user);
        QCOMPARE(o[u"group"].toString(), group);
        struct stat st{};
        QCOMPARE(stat(QFile::encodeName(path).constData(), &st), 0);
        QCOMPARE(o[u"mode"].toString(), (S_ISCHR(st.st_mode) ? u'c' : u'-') +
                                            (kind != u"admin" ? QStringLiteral("rw-rw----")
                                             : root           ? QStringLiteral("rw-------")
                                                              : QStringLiteral("---------")));
        const QString text = o[u"text"].toString();
        QVERIFY2(text.startsWith(path + QStringLiteral(": Нет прав на доступ к порту.\n")), qPrintable(text));
        QVERIFY(text.contains(group));
        QCOMPARE(text.contains(QStringLiteral("sudo usermod -aG ") + group + u' ' + user), advice == raJoinGroup);
    }

    // The texts, on a filled-in report: what a user of a USB adapter reads.
    void noRightsTexts() {
        TPortAccess a;
        a.fault = pfNoRights;
        a.port = QStringLiteral("ttyUSB0");
        a.device = QStringLiteral("/dev/ttyUSB0");
        a.user = QStringLiteral("ivan");
        a.owner = QStringLiteral("root");
        a.group = QStringLiteral("uucp");
        a.mode = QStringLiteral("crw-rw----");
        a.advice = raJoinGroup;
        const QString reason = QStringLiteral(
            "Нет прав на доступ к порту.\n"
            "Устройство /dev/ttyUSB0 (права crw-rw----) принадлежит группе uucp, а пользователь ivan в неё не входит.\n"
            "Добавьте пользователя в группу командой\n"
            "sudo usermod -aG uucp ivan\n"
            "и войдите в систему заново (выйдите из сеанса или перезагрузите компьютер).");
        QCOMPARE(NoRightsReason(a), reason);
        QCOMPARE(NoRightsText(a), QStringLiteral("ttyUSB0: ") + reason);
        QCOMPARE(WithReason(QStringLiteral("Нет соединения c ttyUSB0"), a),
                 QStringLiteral("Нет соединения c ttyUSB0\n") + reason);

        a.advice = raLogInAgain;
        QCOMPARE(NoRightsReason(a), QStringLiteral(
            "Нет прав на доступ к порту.\n"
            "Устройство /dev/ttyUSB0 (права crw-rw----) принадлежит группе uucp. Пользователь ivan уже включён в эту "
            "группу, но текущий сеанс начат раньше.\n"
            "Выйдите из сеанса и войдите в систему заново (или перезагрузите компьютер)."));
        a.advice = raAskAdmin;
        a.mode = QStringLiteral("crw-------");
        QCOMPARE(NoRightsReason(a), QStringLiteral(
            "Нет прав на доступ к порту.\n"
            "Права устройства /dev/ttyUSB0 (crw-------, владелец root, группа uucp) не позволяют пользователю ivan "
            "открыть его.\n"
            "Попросите администратора дать доступ к устройству."));
    }
};

QTEST_GUILESS_MAIN(TestPortAccess)
#include "tst_portaccess.moc"
