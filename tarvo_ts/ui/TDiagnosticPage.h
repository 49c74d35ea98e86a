// The diagnostics page: live measurements, self-diagnostics, the R0 and NSX corrections, and the three
// indicators whose styles the settings file keeps. The rules are tarvo_ts/fieldwork's; the page keeps
// the poll's state, runs the exchanges through the link and shows the outcome.
#pragma once

#include "DiagnosticsRules.h"
#include "TDevicePage.h"

#include <cstdint>
#include <span>

class QLabel;
class QPushButton;
class QTimer;
class TLcdIndicator;

class TDiagnosticPage : public TDevicePage {
    Q_OBJECT

public:
    explicit TDiagnosticPage(TPageContext& context, QWidget* parent = nullptr);

    // How a correction's exchange ended.
    enum TCommandEnd : int {
        ceDone,       // acknowledged
        ceNotDone,    // refused, not sent, or the user declined
        ceLinkFailed, // no reply or no link: the link is closed and diagnostics have stopped
    };

    // Diagnostics mode on; leaving the connected state stops it.
    bool DiagnosticsRunning() const { return FDiagnosticsRunning; }
    const fieldwork::TPollState& PollState() const { return FPoll; }
    // Enters diagnostics mode and polls at once ("Соединение не установлено" when the port is closed).
    void StartDiagnostics();
    // Leaves diagnostics mode: the timer off, the receive event unbound, the values cleared.
    void StopDiagnostics();
    // One tick of the poll timer.
    void PollDiagnostics();
    // A complete 15-byte poll reply, assembled by the link from the driver's receive event. Ignored
    // while no poll is outstanding (a stray reply counts for nothing).
    void ShowPollReply(std::span<const std::uint8_t> reply);
    // The synchronous read of the date of the last calibration, right after a connection is made; only
    // while the port is open.
    void ReadCalibrationDate();
    // The R0 correction (true) or its reset (false).
    TCommandEnd CorrectR0(bool perform);
    // The NSX correction sequence: begin, the real temperature, apply.
    void CorrectNSX();
    // One NSX exchange (mode 1 begin / reset, mode 2 apply).
    TCommandEnd SendNSXCommand(int mode, double temperature);
    // Shows DeviceData's date of the last calibration on indCalibrDate (the calibration's last step).
    void ShowCalibrDate();
    // Empties the self-diagnostics label (after a connection is made).
    void ClearDiagInfo();
    // Empties the three indicators (part of leaving the connected state).
    void ClearIndicators();

    // Handlers of the buttons: a press while an exchange waits starts nothing.
    void btnBeginDiagnosticsClick();
    void btnCorrR0Click();
    void btnCorrTarvoClick();

    // Temperature, resistance and the date of the last calibration; their styles are loaded at
    // start-up and saved at closing.
    TLcdIndicator* indT;
    TLcdIndicator* indR;
    TLcdIndicator* indCalibrDate;
    QPushButton* btnBeginDiagnostics;
    QPushButton* btnCorrR0;
    QPushButton* btnCorrTarvo;
    QLabel* lbDiagInf;
    // The poll period, 1000 ms, disabled at start. The write buttons of the other pages switch it off
    // around their exchanges and the calibration refuses to run while it is enabled.
    QTimer* DiagnosticsTimer;

private:
    void CreateWidgets();
    // Steps 1 to 3 of a correction: the checks, the status text, the timer off, an outstanding poll
    // reply shown. False when the correction is to send nothing.
    bool BeginCorrection();
    // The last step of a correction: the poll goes on.
    void ResumePolling();
    void ConsumePendingPollReply();
    void SetButtonImage(int image, const QString& caption);
    // The date of a reply into DeviceData and onto indCalibrDate ("Неверная дата" for an impossible one).
    void TakeCalibrDate(const std::optional<QDate>& date);
    TCommandEnd EndOf(int outcome) const;

    bool FDiagnosticsRunning = false;
    fieldwork::TPollState FPoll;
};
