// Why a serial port cannot be opened: missing, no rights to its device node, held by another program,
// or something else. Both configurators ask here, so a port the user may not open is never reported
// as one that is in use.
#pragma once

#include <QSerialPort>
#include <QString>

namespace serialaccess {

enum TPortFault {
    pfNone,     // nothing stands in the way as far as this check can tell
    pfMissing,  // no such port or device node
    pfNoRights, // the node exists but this user may not open it (POSIX only)
    pfBusy,     // held by another program or locked (exclusive open, lock file)
    pfOther,    // anything else; `systemText` says what
};

// What would give the user access to a node that refuses (pfNoRights only).
enum TRightsAdvice {
    raJoinGroup,  // the node's group may read and write; the user is not in it
    raLogInAgain, // the user was added to that group, but this session started before
    raAskAdmin,   // the group would not help either (its bits do not allow, or the user is in it already)
};

struct TPortAccess {
    TPortFault fault = pfNone;
    QString port;   // as the caller holds it: "COM3", "ttyUSB0", "/dev/ttyUSB0", any path
    QString device; // the node looked at; empty on Windows

    // Read off the node that refuses (pfNoRights only).
    QString user;    // the effective user of this process
    QString owner;   // the node's owner, by name (its number where it has none)
    QString group;   // the node's group, by name (its number where it has none)
    unsigned groupId = 0;
    QString mode;    // as ls shows it: "crw-rw----"
    TRightsAdvice advice = raAskAdmin;

    QString systemText; // the system's text of the failure (pfOther)
};

// The device node of a port name: a name that is a path stays as it is, a bare name such as "ttyUSB0"
// lives in /dev. On Windows the name itself.
QString DevicePath(const QString& port);

// Classifies a port that failed to open with `openError` (and its text), or, with NoError, a port not
// opened yet. On POSIX systems the node's existence and rights are read first; only an accessible node
// makes a refused open "busy". On Windows the open error alone decides.
TPortAccess CheckPortAccess(const QString& port, QSerialPort::SerialPortError openError = QSerialPort::NoError,
                            const QString& openErrorText = {});
// The same for a QSerialPort whose open() of `port` has just failed. The name is passed on its own
// because QSerialPort shortens "/dev/..." paths in portName().
TPortAccess CheckPortAccess(const QString& port, const QSerialPort& failedPort);

// Our text for pfNoRights without the port's name, to follow a warning that names it already;
// empty for every other fault.
QString NoRightsReason(const TPortAccess& access);
// The port's name, ": " and the reason, the form of the link's own port texts; empty unless pfNoRights.
QString NoRightsText(const TPortAccess& access);
// `warning`, and on a new line the reason when the fault is pfNoRights; `warning` alone otherwise.
QString WithReason(const QString& warning, const TPortAccess& access);
// Whether a text carries the reason of a pfNoRights (made by one of the three above).
bool IsNoRightsText(const QString& text);

} // namespace serialaccess
