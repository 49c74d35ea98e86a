// The diagnostics page: measurements polled every 2000 ms while the page is shown, their display, and
// the zero and NSX corrections, which run as chains of replies while measurements run.
#include "LcdIndicator.h"
#include "MessageService.h"
#include "ModbusRtu.h"
#include "PageRules.h"
#include "TFormEnterCorrNSX.h"
#include "TFormMain.h"

#include <QAction>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTabWidget>
#include <QTimer>

// ---------------------------------------------------------------------------------------------------
// Starting and stopping

void TFormMain::StartStopDiagnostics() {
    const bool wasEnabled = ActionStartStopDiagnostics->isEnabled();
    ActionStartStopDiagnostics->setEnabled(false);
    if (FPrgState == PSPolling)
        StopDiagnostics();
    else if (FPrgState == PSPausePolling)
        StartDiagnostics();
    ActionStartStopDiagnostics->setEnabled(wasEnabled);
    // The command's look follows the state at once rather than at the next idle moment.
    ActionStartStopDiagnosticsUpdate();
}

void TFormMain::StartDiagnostics() {
    if (PageControl->currentWidget() != TabSheetDiag)
        PageControl->setCurrentWidget(TabSheetDiag);
    SetPrgState(PSPolling);
    RequestDiagData();
    TimerDiagPoll->start();
}

void TFormMain::StopDiagnostics() {
    TimerDiagPoll->stop();
    SetPrgState(PSPausePolling);
    ClearDiagIndicators();
}

void TFormMain::TimerDiagPollTimer() {
    if (FPrgState == PSPolling)
        RequestDiagData();
}

void TFormMain::RequestDiagData() {
    if (FPrgState != PSPolling || !FCurrentDevice)
        return;
    QueueQuery(FCurrentDevice->ModbusAddr, modbus::fnReadHoldingRegisters, tarvo::DiagDataStart,
               tarvo::DiagDataRegs);
}

void TFormMain::ClearDiagIndicators() {
    for (TLcdIndicator* ind : {IndicatorT, IndicatorRU, IndicatorRline, IndicatorTkor, IndicatorCalibrDate})
        ind->setIndicatorstring(QString());
    LabelSelfDiag->clear();
    EditCalibrNum->clear();
}

// ---------------------------------------------------------------------------------------------------
// Page rules: measurements run only while the diagnostics page is shown.

void TFormMain::PageControlChanging(QWidget* leaving) {
    if (leaving == TabSheetDiag) {
        TimerDiagPoll->stop();
        ClearDiagIndicators();
    }
}

void TFormMain::PageControlChange(QWidget* entered) {
    if (entered != TabSheetDiag && FPrgState == PSPolling)
        StopDiagnostics();
    if (entered == TabSheetDeviceConfig)
        TabSheetDeviceConfigShow();
    else if (entered == TabSheetCalibr)
        TabSheetCalibrShow();
}

// ---------------------------------------------------------------------------------------------------
// Diagnostic values

void TFormMain::OnDiagValues() {
    static const QString NoAnswer = QStringLiteral("Преобразователь не отвечает на запрос");
    if (StatusPanels[3]->text() == NoAnswer || (!FPollFailure.isEmpty() && StatusPanels[3]->text() == FPollFailure))
        SetPanel(3, QString());
    FPollFailure.clear();
    FNoAnswerCount = 0;
    if (!FCurrentDevice)
        return;
    TTarvoDevice& d = *FCurrentDevice;
    const int n = qBound(0, int(ReceivedQuery.RegCount), TModbusCmdQuery::BufferSize);
    DecodeDiagData(std::span<const std::uint8_t>(ReceivedQuery.Buffer.data(), std::size_t(n)), d.DiagData);

    const TDiagDisplay s = DiagDisplay(d, QLocale());
    // A value too long for its indicator shows the overflow sign, not its leftmost digits.
    const auto show = [](TLcdIndicator* ind, const QString& text) {
        ind->setIndicatorstring(FitIndicatorText(text, ind->SignNumber()));
    };
    show(IndicatorT, s.temperature);
    LabelRU->setText(s.ruLabel);
    LabelRUUnits->setText(s.ruUnits);
    show(IndicatorRU, s.ru);
    IndicatorRline->setEnabled(s.rlineEnabled);
    show(IndicatorRline, s.rline);
    LabelRLine->setEnabled(s.rlineEnabled);
    LabelRLineUnits->setEnabled(s.rlineEnabled);
    show(IndicatorTkor, s.bodyTemperature);
    LabelSelfDiag->setText(s.selfDiag);
    IndicatorCalibrDate->setIndicatorstring(s.calibrDate);
    EditCalibrNum->setText(s.calibrNumber);
}

// ---------------------------------------------------------------------------------------------------
// Zero correction

bool TFormMain::CanStartCorrection() const {
    return FPrgState == PSPolling && FCurrentDevice && !FCommand.Busy();
}

void TFormMain::PerformZeroCorrection() {
    if (FPrgState != PSPolling || !FCurrentDevice || FCommand.Busy())
        return;
    // The question runs its own event loop: the port may be gone, or another command under way, by
    // the time it is answered.
    if (!AskQuestion(QStringLiteral("Провести подстройку \"0\"?")) || !CanStartCorrection())
        return;
    QueryData[0] = 1;
    SetPanel(3, QStringLiteral("Подстройка 0 °С..."));
    QueueCommand(FCurrentDevice->ModbusAddr, modbus::fnZeroCorrection, 0, 0);
}

void TFormMain::ClearZeroCorrection() {
    if (FPrgState != PSPolling || !FCurrentDevice || FCommand.Busy())
        return;
    if (!AskQuestion(
            QStringLiteral("Сбросить значение поправочного коэффициента на значение по-умолчанию?")) ||
        !CanStartCorrection())
        return;
    QueryData[0] = 0;
    SetPanel(3, QStringLiteral("Сброс подстройки 0 °С..."));
    QueueCommand(FCurrentDevice->ModbusAddr, modbus::fnZeroCorrection, 0, 0);
}

void TFormMain::OnZeroCorrection() {
    if (ReceivedQuery.Buffer[0] == 1)
        SetPanel(3, QStringLiteral("Подстройка 0 °С выполнена"));
    else if (ReceivedQuery.Buffer[0] == 0)
        SetPanel(3, QStringLiteral("Подстройка 0 °С сброшена"));
}

// ---------------------------------------------------------------------------------------------------
// NSX correction

void TFormMain::PerformNSXCorrection() {
    if (FPrgState != PSPolling || !FCurrentDevice || FCommand.Busy())
        return;
    if (!FCurrentDevice->TempCheckForNSXCorrection(FCurrentDevice->DiagData.Temperature))
        return;
    if (!AskQuestion(QStringLiteral("Провести подстройку НСХ?")) || !CanStartCorrection())
        return;
    std::fill_n(QueryData.begin(), 4, std::uint8_t(0));
    SetPanel(3, QStringLiteral("Подстройка НСХ..."));
    QueueCommand(FCurrentDevice->ModbusAddr, modbus::fnNsxCorrection, 0, 0, 1);
}

void TFormMain::ClearNSXCorrection() {
    if (FPrgState != PSPolling || !FCurrentDevice || FCommand.Busy())
        return;
    if (!AskQuestion(QStringLiteral("Сбросить подстройку НСХ?")) || !CanStartCorrection())
        return;
    const std::uint8_t reset[4] = {0, 0, 0, 1};
    std::copy_n(reset, 4, QueryData.begin());
    SetPanel(3, QStringLiteral("Сброс подстройки НСХ..."));
    QueueCommand(FCurrentDevice->ModbusAddr, modbus::fnNsxCorrection, 0, 0, 1);
}

void TFormMain::OnNsxCorrection() {
    if (!FCurrentDevice)
        return;
    // The dialog runs a nested event loop in which further results are dispatched: keep what this
    // reply says before it opens.
    const TModbusCmdQuery reply = ReceivedQuery;
    if (reply.CalibrStep == 2) {
        SetPanel(3, QStringLiteral("Подстройка НСХ выполнена"));
        return;
    }
    if (reply.CalibrStep != 1)
        return;
    if (reply.Buffer[0] != 0 || reply.Buffer[1] != 0 || reply.Buffer[2] != 0 || reply.Buffer[3] != 0) {
        SetPanel(3, QStringLiteral("Подстройка НСХ сброшена"));
        return;
    }
    TFormEnterCorrNSX& dialog = *FormEnterCorrNSX;
    dialog.JvSpinEditCorrNSXRealTemp->setValue(FCurrentDevice->DiagData.Temperature / 100.0);
    dialog.LabelEnter->setText(NsxPrompt(FCurrentDevice->SensorType));
    const int result = FNsxDialogRunner ? FNsxDialogRunner(dialog) : dialog.exec();
    // Measurements stopped (or the port lost) while the dialog was open drop the rest of the correction;
    // the panel then keeps what the stop or the loss wrote.
    if (!FCurrentDevice || FPrgState != PSPolling) {
        if (StatusPanels[3]->text() == QStringLiteral("Подстройка НСХ..."))
            SetPanel(3, QString());
        return;
    }
    if (result != QDialog::Accepted) {
        SetPanel(3, QStringLiteral("Процедура подстройки НСХ отменена"));
        return;
    }
    const std::int32_t t = TemperatureToHundredths(dialog.JvSpinEditCorrNSXRealTemp->value());
    if (!FCurrentDevice->TempCheckForNSXCorrection(t)) {
        SetPanel(3, QString()); // refused: the correction has ended
        return;
    }
    PutIntBE(t, std::span<std::uint8_t>(QueryData.data(), QueryData.size()), 0, 4);
    QueueCommand(FCurrentDevice->ModbusAddr, modbus::fnNsxCorrection, 0, 0, 2);
}
