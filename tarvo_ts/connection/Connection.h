// How Tarvo_TS gets connected: to the address in use, by searching the port for the first transducer
// that answers, by the offer a page makes when it needs the transducer, and at start-up; and the port
// rules of the COM-port and settings dialogs. No window here: the progress window, the COM-port dialog
// and the general error box are reached through TConnectionUi, messages and event processing through
// the link.
#pragma once

#include "PortAccess.h"
#include "ProgSettings.h"
#include "TsLink.h"

#include <QString>

// The progress window of a connection and of a search.
class TProgressView {
public:
    virtual ~TProgressView() = default;
    virtual void SetText(const QString& text) = 0;
    virtual void SetWindowHeight(int height) = 0;
    // The bar at `first` of first..last and the Stop button, shown; or both hidden.
    virtual void ShowSearchControls(int first, int last) = 0;
    virtual void HideSearchControls() = 0;
    // The bar one step on.
    virtual void StepBar() = 0;
    // Shown beside the running work, not modal; closed.
    virtual void Show() = 0;
    virtual void Close() = 0;
    // Set by the Stop button.
    virtual bool StopRequested() const = 0;
    virtual void SetStopRequested(bool requested) = 0;
};

// What the policy needs of the window besides the link's host.
class TConnectionUi {
public:
    virtual ~TConnectionUi() = default;
    virtual TProgressView& Progress() = 0;
    // The COM-port dialog, modal; false when it was closed with its close box.
    virtual bool ChoosePort() = 0;
    // Right after a connection has been made: the date of the last calibration is read and the
    // calibration and diagnostics labels are emptied.
    virtual void AfterConnect() = 0;
    // The application's general error box (an entry that is no number).
    virtual void ShowGeneralError(const QString& text) = 0;
    // The main window has closed: a search still running ends as if stopped.
    virtual bool WindowClosed() const { return false; }
};

// The port as the Cyrillic texts name it: "СОМ" + n for a port named COMn, the name itself otherwise.
QString CyrillicPortText(const QString& portName);
// The port as the Latin texts name it: "COMn", or the system name.
QString LatinPortText(const QString& portName);
// The port name a typed text sets: "COM" + n (n modulo 256) for a COMn text, the trimmed text itself
// otherwise.
QString TypedPortName(const QString& text, int number);
// True when Enter in a port field sets the port by name: the text contains "com" in any case, or it
// names an existing device file.
bool IsPortNameEntry(const QString& text);

// Addresses the search tries.
constexpr int FirstSearchAddress = 1;
constexpr int LastSearchAddress = 247;
// Quiet time that ends a read during the search, and the normal one.
constexpr int SearchInputTimeoutMs = 500;
constexpr int NormalInputTimeoutMs = 1000;
// Heights of the progress window: while the start-up connection shows, and otherwise.
constexpr int StartupProgressHeight = 120;
constexpr int NormalProgressHeight = 170;

class TConnection {
public:
    TConnection(TTsLink& link, TTsHost& host, TConnectionUi& ui, TProgSettings& settings);

    // The connection the settings ask for at start-up (ConnectBeforeRun): to the saved address, or a
    // search for the first transducer.
    void StartupConnection();
    // Opens the port (after the COM-port dialog while the port was set by name) and identifies the
    // transducer at DeviceData's address, then reads its configuration and calibration date.
    void ConnectToDevice();
    // Tries the addresses of the port in use until a transducer answers; Stop ends it.
    void FindFirstDevice();
    // True when connected; otherwise asks whether to connect and tries it.
    bool EnsureConnected();

    // The connect dialog's "Найти" with the text of its address field: any integer (its low 8 bits) is
    // the address; a text that is no integer gets the general error. False when nothing was done.
    bool ConnectToAddressText(const QString& text);

    // The COM-port dialog: an entry of its list at `position` (from 0) chosen; a port name typed and
    // confirmed with Enter (false: not taken, the dialog stays).
    void ChooseListedPort(const QString& entry, int position);
    bool EnterPortName(const QString& text);
    // The settings dialog's port field: an entry chosen (the port in use again does nothing; another
    // asks before breaking an open connection); a name typed and confirmed with Enter.
    void SettingsChooseListedPort(const QString& entry, int position);
    void SettingsEnterPortName(const QString& text);

    // Why the last open failed (pfNone after a successful one).
    const serialaccess::TPortAccess& LastOpenFailure() const { return FLastOpenFailure; }

private:
    // `askForPort`: the COM-port dialog shows first while the port was set by name (not again for the
    // connection that ends a search, which asked already).
    void Connect(bool askForPort);
    bool OpenPort();
    // Asks before breaking an open connection; false when the user said no.
    bool BreakIfAgreed();
    // The same, for a port change: true when the port is closed afterwards.
    bool ReleasePort();
    // The number of a port name into `number`; a COM name without a number gets the general error.
    bool ParsePort(const QString& text, quint8& number);
    void EndSearch();

    TTsLink& FLink;
    TTsHost& FHost;
    TConnectionUi& FUi;
    TProgSettings& FSettings;
    serialaccess::TPortAccess FLastOpenFailure;
};
