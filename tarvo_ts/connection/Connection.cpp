#include "Connection.h"

#include "CommPortDriver.h"
#include "ConnectionTexts.h"
#include "LinkTexts.h"

#include <QFileInfo>

QString CyrillicPortText(const QString& portName) {
    const int n = PortNumberOf(portName);
    return n > 0 ? QStringLiteral("СОМ") + QString::number(n) : SystemPortName(portName);
}

QString LatinPortText(const QString& portName) {
    return PortStatusText(portName);
}

QString TypedPortName(const QString& text, int number) {
    if (number != 0)
        return QStringLiteral("COM") + QString::number(number & 0xFF);
    return text.trimmed();
}

bool IsPortNameEntry(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.contains(QLatin1String("com"), Qt::CaseInsensitive))
        return true;
    return !trimmed.isEmpty() && QFileInfo::exists(serialaccess::DevicePath(trimmed)) &&
           !QFileInfo(serialaccess::DevicePath(trimmed)).isDir();
}

TConnection::TConnection(TTsLink& link, TTsHost& host, TConnectionUi& ui, TProgSettings& settings)
    : FLink(link), FHost(host), FUi(ui), FSettings(settings) {}

bool TConnection::OpenPort() {
    TCommPortDriver& driver = FLink.Driver();
    if (driver.OpenPort()) {
        FLastOpenFailure = {};
        return true;
    }
    FLastOpenFailure = driver.LastOpenFailure();
    return false;
}

void TConnection::StartupConnection() {
    if (!FSettings.ConnectBeforeRun || !FLink.CanStartExchange())
        return;
    // From the first pump on, nothing processed in between starts a connection of its own.
    TTsLink::TOperation operation(FLink);
    TProgressView& progress = FUi.Progress();
    if (FSettings.ToNum || FSettings.ToLast) {
        progress.SetText(conntext::StartupConnecting.arg(FLink.DeviceData.SlaveID)
                             .arg(CyrillicPortText(FLink.Driver().PortName())));
        progress.SetWindowHeight(StartupProgressHeight);
        progress.Show();
        FLink.ProcessMessages();
        FLink.ReportConnectFailures = true;
        ConnectToDevice();
    } else if (FSettings.ToFirst) {
        progress.SetText(conntext::StartupSearching);
        progress.Show();
        FLink.ProcessMessages();
        FindFirstDevice();
    }
    progress.Close();
    progress.SetWindowHeight(NormalProgressHeight);
}

void TConnection::ConnectToDevice() {
    Connect(true);
}

void TConnection::Connect(bool askForPort) {
    if (!FLink.CanStartExchange())
        return;
    FLastOpenFailure = {};
    TCommPortDriver& driver = FLink.Driver();
    TTsLink::TOperation operation(FLink);
    // The poll and a calibration belong to the transducer of the link being replaced: diagnostics stop
    // and the calibration is abandoned (its cancel command still reaches that transducer) before the
    // port closes.
    if (FHost.DiagnosticsRunning())
        FHost.StopDiagnostics();
    if (FHost.CalibrStep() != 0)
        FHost.CancelCalibration();
    if (driver.IsPortOpen())
        driver.ClosePort();
    if (askForPort && driver.Port() == 0) {
        bool chosen = false;
        FLink.RunModal([&] { chosen = FUi.ChoosePort(); });
        if (!chosen)
            return;
    }
    if (!OpenPort()) {
        if (FLink.ReportConnectFailures)
            FLink.MessageDlg(serialaccess::WithReason(conntext::NoPortConnection.arg(LatinPortText(driver.PortName())),
                                                      FLastOpenFailure),
                             mtWarning, mbOK);
    } else {
        FLink.ReadInformation(FLink.DeviceData.SlaveID);
        // Each step only while the transducer still answers: a failed read (or an unsupported type) has
        // closed the link and shown why; the date of the last calibration is then not read on a closed
        // port, and the window must not go on to call it connected.
        if (FLink.IsPortOpen())
            FLink.ReadConfiguration();
        if (FLink.IsPortOpen())
            FUi.AfterConnect();
        if (FLink.IsPortOpen())
            FHost.SetConnectAction(conntext::DisconnectCaption, conntext::DisconnectImage);
    }
    FHost.SetInfoModified(false);
    FHost.SetConfModified(false);
}

bool TConnection::BreakIfAgreed() {
    FLink.ProcessMessages();
    if (!FLink.IsPortOpen())
        return true;
    if (FLink.MessageDlg(conntext::BreakQuestion, mtConfirmation, mbYes | mbNo) != mrYes)
        return false;
    FLink.BreakConnection();
    return true;
}

void TConnection::EndSearch() {
    TProgressView& progress = FUi.Progress();
    progress.Close();
    progress.HideSearchControls();
}

void TConnection::FindFirstDevice() {
    if (!FLink.CanStartExchange())
        return;
    TTsLink::TOperation operation(FLink);
    if (!BreakIfAgreed())
        return;
    FLink.ProcessMessages();
    TCommPortDriver& driver = FLink.Driver();
    if (driver.Port() == 0) {
        bool chosen = false;
        FLink.RunModal([&] { chosen = FUi.ChoosePort(); });
        if (!chosen)
            return;
    }

    TProgressView& progress = FUi.Progress();
    driver.SetInputTimeout(SearchInputTimeoutMs);
    progress.SetText(conntext::Searching);
    progress.ShowSearchControls(FirstSearchAddress, LastSearchAddress);
    progress.Show();
    FLink.ProcessMessages();
    progress.SetStopRequested(false);

    bool found = false;
    for (int a = FirstSearchAddress; a <= LastSearchAddress && !found; ++a) {
        FLink.ProcessMessages();
        if (progress.StopRequested() || FUi.WindowClosed()) {
            EndSearch();
            driver.SetInputTimeout(NormalInputTimeoutMs);
            return;
        }
        progress.SetText(conntext::SearchingAt.arg(CyrillicPortText(driver.PortName())).arg(a));
        FLink.ProcessMessages();
        FLink.DeviceData.SlaveID = a;
        FLink.ReportConnectFailures = false;
        progress.StepBar();
        FLink.ProcessMessages();
        if (!OpenPort()) {
            // Without the port no address can answer: say why instead of trying them all in vain.
            driver.SetInputTimeout(NormalInputTimeoutMs);
            EndSearch();
            FLink.DeviceData.SlaveID = FSettings.DefaultSlaveID;
            FLink.ReportConnectFailures = true;
            FLink.MessageDlg(serialaccess::WithReason(conntext::NoPortConnection.arg(LatinPortText(driver.PortName())),
                                                      FLastOpenFailure),
                             mtWarning, mbOK);
            FHost.ShowLinkState();
            return;
        }
        const TExchangeResult r = FLink.ReadInformation(a);
        // Only an identification of the transducers' layout is one; a device that answers otherwise
        // (an exception reply) is left alone and the search goes on.
        found = r.answered() && FLink.IsPortOpen();
        if (!found && FLink.IsPortOpen())
            FLink.BreakConnection();
        FLink.ProcessMessages();
    }
    driver.SetInputTimeout(NormalInputTimeoutMs);
    if (found)
        Connect(false);
    EndSearch();
    if (!found) {
        FLink.DeviceData.SlaveID = FSettings.DefaultSlaveID;
        FLink.MessageDlg(conntext::NothingFound, mtWarning, mbOK);
    }
}

bool TConnection::EnsureConnected() {
    if (!FLink.CanStartExchange())
        return FLink.IsPortOpen();
    TTsLink::TOperation operation(FLink);
    FLink.ProcessMessages();
    if (FLink.IsPortOpen())
        return true;
    bool connected = false;
    if (FLink.MessageDlg(conntext::OfferConnection, mtWarning, mbYes | mbNo) == mrYes) {
        FLink.ProcessMessages();
        FLink.ReportConnectFailures = false;
        ConnectToDevice();
        FLink.ProcessMessages();
        connected = FLink.IsPortOpen();
        if (!connected) {
            const QString text = conntext::OfferFailed.arg(FLink.DeviceData.SlaveID)
                                     .arg(CyrillicPortText(FLink.Driver().PortName()));
            FLink.MessageDlg(serialaccess::WithReason(text, FLastOpenFailure), mtWarning, mbOK);
        }
    }
    FHost.ShowLinkState();
    FLink.ProcessMessages();
    return connected;
}

bool TConnection::ConnectToAddressText(const QString& text) {
    // A second "Найти" while the first connection runs must not move its address.
    if (!FLink.CanStartExchange())
        return false;
    int address = 0;
    if (!ParseProfileInt(text, address)) {
        FUi.ShowGeneralError(IntegerErrorText(text));
        return false;
    }
    address &= 0xFF;
    // 0 is every device on the line at once, and no transducer has an address above 247.
    if (address < FirstSearchAddress || address > LastSearchAddress) {
        FUi.ShowGeneralError(conntext::AddressOutOfRange);
        return false;
    }
    FLink.DeviceData.SlaveID = address;
    FLink.ReportConnectFailures = true;
    ConnectToDevice();
    return true;
}

bool TConnection::ParsePort(const QString& text, quint8& number) {
    const TPortNumber n = ParsePortNumber(text);
    if (n.Error != TPortNumberError::None) {
        FUi.ShowGeneralError(PortNumberErrorText(text));
        return false;
    }
    number = static_cast<quint8>(n.Number & 0xFF);
    return true;
}

bool TConnection::ReleasePort() {
    if (!BreakIfAgreed())
        return false;
    FLink.ProcessMessages();
    return !FLink.IsPortOpen();
}

void TConnection::ChooseListedPort(const QString& entry, int position) {
    if (!ParsePort(entry, FSettings.DefaultComPortNum))
        return;
    if (!FLink.IsPortOpen())
        FLink.Driver().SetPortFromList(entry, position + 1);
}

bool TConnection::EnterPortName(const QString& text) {
    if (!IsPortNameEntry(text))
        return true;
    if (!ParsePort(text.trimmed(), FSettings.DefaultComPortNum))
        return false;
    FLink.Driver().SetPortName(TypedPortName(text, ParsePortNumber(text.trimmed()).Number));
    return true;
}

void TConnection::SettingsChooseListedPort(const QString& entry, int position) {
    quint8 number = 0;
    if (!ParsePort(entry, number))
        return;
    if (entry.compare(SystemPortName(FLink.Driver().PortName()), Qt::CaseInsensitive) == 0)
        return;
    if (!ReleasePort())
        return;
    FSettings.DefaultComPortNum = number;
    FLink.Driver().SetPortFromList(entry, position + 1);
}

void TConnection::SettingsEnterPortName(const QString& text) {
    quint8 number = 0;
    if (!IsPortNameEntry(text) || !ParsePort(text.trimmed(), number))
        return;
    if (!ReleasePort())
        return;
    FSettings.DefaultComPortNum = number;
    FLink.Driver().SetPortName(TypedPortName(text, ParsePortNumber(text.trimmed()).Number));
}
