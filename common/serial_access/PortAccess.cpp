#include "PortAccess.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#endif

namespace serialaccess {

namespace {

// Outside the node's rights, the open error alone tells; a refusal (Windows' "access denied", a lock
// file, an exclusive open) means another program has the port.
TPortFault FaultOfOpenError(QSerialPort::SerialPortError e) {
    switch (e) {
    case QSerialPort::NoError:
        return pfNone;
    case QSerialPort::DeviceNotFoundError:
        return pfMissing;
    case QSerialPort::PermissionError:
        return pfBusy;
    default:
        return pfOther;
    }
}

#ifdef Q_OS_UNIX

QString SystemText(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

// One reentrant passwd or group lookup. The entry's strings live in `buf`, which grows while the call
// says ERANGE.
template <typename Entry, typename Id>
bool LookUp(int (*fn)(Id, Entry*, char*, std::size_t, Entry**), Id id, int sizeName, Entry& entry,
            std::vector<char>& buf) {
    const long n = sysconf(sizeName);
    buf.resize(n > 0 ? std::size_t(n) : 1024);
    Entry* found = nullptr;
    int rc;
    while ((rc = fn(id, &entry, buf.data(), buf.size(), &found)) == ERANGE)
        buf.resize(buf.size() * 2);
    return rc == 0 && found;
}

QString UserName(uid_t uid, gid_t* primaryGroup) {
    std::vector<char> buf;
    passwd pw{};
    if (!LookUp(getpwuid_r, uid, _SC_GETPW_R_SIZE_MAX, pw, buf))
        return QString::number(uid);
    if (primaryGroup)
        *primaryGroup = pw.pw_gid;
    return QString::fromLocal8Bit(pw.pw_name);
}

QString GroupName(gid_t gid) {
    std::vector<char> buf;
    group gr{};
    if (!LookUp(getgrgid_r, gid, _SC_GETGR_R_SIZE_MAX, gr, buf))
        return QString::number(gid);
    return QString::fromLocal8Bit(gr.gr_name);
}

// The groups this process carries now.
bool InSessionGroups(gid_t gid) {
    if (getegid() == gid)
        return true;
    const int n = getgroups(0, nullptr);
    if (n <= 0)
        return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(n));
    const int got = getgroups(n, groups.data());
    return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

// The groups the user database gives the user: what the next login will carry.
bool InDatabaseGroups(const QString& user, gid_t primaryGroup, gid_t gid) {
    const QByteArray name = user.toLocal8Bit();
    int n = 32;
    std::vector<gid_t> groups(static_cast<std::size_t>(n));
    while (getgrouplist(name.constData(), primaryGroup, groups.data(), &n) == -1) {
        if (std::size_t(n) <= groups.size())
            n = int(groups.size()) * 2;
        groups.resize(std::size_t(n));
    }
    return std::find(groups.begin(), groups.begin() + n, gid) != groups.begin() + n;
}

QString ModeString(mode_t m) {
    QString s;
    s += S_ISCHR(m) ? u'c' : S_ISBLK(m) ? u'b' : S_ISDIR(m) ? u'd' : S_ISFIFO(m) ? u'p' : S_ISSOCK(m) ? u's' : u'-';
    const auto triad = [&](mode_t r, mode_t w, mode_t x, mode_t extra, char16_t withX, char16_t withoutX) {
        s += (m & r) ? u'r' : u'-';
        s += (m & w) ? u'w' : u'-';
        if (m & extra)
            s += (m & x) ? withX : withoutX;
        else
            s += (m & x) ? u'x' : u'-';
    };
    triad(S_IRUSR, S_IWUSR, S_IXUSR, S_ISUID, u's', u'S');
    triad(S_IRGRP, S_IWGRP, S_IXGRP, S_ISGID, u's', u'S');
    triad(S_IROTH, S_IWOTH, S_IXOTH, S_ISVTX, u't', u'T');
    return s;
}

void FillNoRights(TPortAccess& a, const struct stat& st) {
    gid_t primary = getegid();
    a.fault = pfNoRights;
    a.user = UserName(geteuid(), &primary);
    a.owner = UserName(st.st_uid, nullptr);
    a.group = GroupName(st.st_gid);
    a.groupId = unsigned(st.st_gid);
    a.mode = ModeString(st.st_mode);

    const bool groupMayUse = (st.st_mode & S_IRGRP) && (st.st_mode & S_IWGRP);
    // The owner's bits, not the group's, apply to the node's owner.
    if (!groupMayUse || st.st_uid == geteuid() || InSessionGroups(st.st_gid))
        a.advice = raAskAdmin;
    else if (InDatabaseGroups(a.user, primary, st.st_gid))
        a.advice = raLogInAgain;
    else
        a.advice = raJoinGroup;
}

#endif

} // namespace

namespace {
QString NoRightsHead() {
    return QStringLiteral("Нет прав на доступ к порту.");
}
} // namespace

QString DevicePath(const QString& port) {
#ifdef Q_OS_UNIX
    // The rule QSerialPort names its nodes by.
    if (port.startsWith(u'/') || port.startsWith(u"./") || port.startsWith(u"../"))
        return port;
    return QStringLiteral("/dev/") + port;
#else
    return port;
#endif
}

TPortAccess CheckPortAccess(const QString& port, QSerialPort::SerialPortError openError,
                            const QString& openErrorText) {
    TPortAccess a;
    a.port = port;
    a.fault = FaultOfOpenError(openError);
    if (a.fault == pfOther)
        a.systemText = openErrorText;
#ifdef Q_OS_UNIX
    a.device = DevicePath(port);
    const QByteArray path = QFile::encodeName(a.device);
    struct stat st{};
    if (stat(path.constData(), &st) != 0) {
        const int err = errno;
        if (err == ENOENT || err == ENOTDIR) {
            a.fault = pfMissing;
            a.systemText.clear();
        } else {
            a.fault = pfOther;
            a.systemText = SystemText(err);
        }
        return a;
    }
    // Checked with the effective ids, as open() will; root passes whatever the mode.
    if (faccessat(AT_FDCWD, path.constData(), R_OK | W_OK, AT_EACCESS) != 0 && (errno == EACCES || errno == EPERM)) {
        a.systemText.clear();
        FillNoRights(a, st);
    }
#endif
    return a;
}

TPortAccess CheckPortAccess(const QString& port, const QSerialPort& failedPort) {
    return CheckPortAccess(port, failedPort.error(), failedPort.errorString());
}

QString NoRightsReason(const TPortAccess& a) {
    if (a.fault != pfNoRights)
        return {};
    const QString head = NoRightsHead() + u'\n';
    if (a.advice == raAskAdmin)
        return head + QStringLiteral("Права устройства %1 (%2, владелец %3, группа %4) не позволяют пользователю %5 "
                                     "открыть его.\n"
                                     "Попросите администратора дать доступ к устройству.")
                          .arg(a.device, a.mode, a.owner, a.group, a.user);
    const QString advice =
        a.advice == raJoinGroup
            ? QStringLiteral("Устройство %1 (права %2) принадлежит группе %3, а пользователь %4 в неё не входит.\n"
                             "Добавьте пользователя в группу командой\n"
                             "sudo usermod -aG %3 %4\n"
                             "и войдите в систему заново (выйдите из сеанса или перезагрузите компьютер).")
            : QStringLiteral("Устройство %1 (права %2) принадлежит группе %3. Пользователь %4 уже включён в эту "
                             "группу, но текущий сеанс начат раньше.\n"
                             "Выйдите из сеанса и войдите в систему заново (или перезагрузите компьютер).");
    return head + advice.arg(a.device, a.mode, a.group, a.user);
}

QString NoRightsText(const TPortAccess& a) {
    if (a.fault != pfNoRights)
        return {};
    return a.port + QStringLiteral(": ") + NoRightsReason(a);
}

QString WithReason(const QString& warning, const TPortAccess& a) {
    if (a.fault != pfNoRights)
        return warning;
    return warning + u'\n' + NoRightsReason(a);
}

bool IsNoRightsText(const QString& text) {
    return text.contains(NoRightsHead() + u'\n');
}

} // namespace serialaccess
