// The diagnostics page: live measurements, self-diagnostics, the R0 and NSX corrections, and the three
// indicators whose styles the settings file keeps.
#pragma once

#include "TDevicePage.h"

#include <cstdint>
#include <span>

class QTimer;
class TLcdIndicator;

class TDiagnosticPage : public TDevicePage {
    Q_OBJECT

public:
    explicit TDiagnosticPage(TPageContext& context, QWidget* parent = nullptr);

    // Diagnostics mode on; leaving the connected state stops it.
    bool DiagnosticsRunning() const { return FDiagnosticsRunning; }
    void StopDiagnostics();
    // A complete 15-byte poll reply, assembled by the link from the driver's receive event.
    void ShowPollReply(std::span<const std::uint8_t> reply);
    // The synchronous read of the date of the last calibration, right after a connection is made.
    void ReadCalibrationDate();
    // Empties the self-diagnostics label (after a connection is made).
    void ClearDiagInfo();
    // Empties the three indicators (part of leaving the connected state).
    void ClearIndicators();

    // Temperature, resistance and the date of the last calibration; their styles are loaded at
    // start-up and saved at closing.
    TLcdIndicator* indT;
    TLcdIndicator* indR;
    TLcdIndicator* indCalibrDate;
    // The poll period, 1000 ms, disabled at start. The write buttons of the other pages switch it off
    // around their exchanges and the calibration refuses to run while it is enabled.
    QTimer* DiagnosticsTimer;

private:
    void CreateWidgets();

    bool FDiagnosticsRunning = false;
};
