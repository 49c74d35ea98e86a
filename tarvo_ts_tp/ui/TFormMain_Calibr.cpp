// The calibration wizard: each press of the start/continue command performs the shown step with one
// function-100 request; the reply moves the wizard on, the date write ends it, and every end sends
// step 9 so that the transducer leaves calibration mode.
#include "LimitSpinBox.h"
#include "MessageService.h"
#include "ModbusRtu.h"
#include "PageRules.h"
#include "TFormMain.h"

#include <QAction>
#include <QDate>
#include <QLabel>
#include <QTabWidget>
#include <QToolButton>

void TFormMain::ActionCalibrExecute() {
    if (!FCurrentDevice || (FPrgState != PSPausePolling && FPrgState != PSPolling && FPrgState != PSCalibr))
        return;
    // A step waiting for its reply takes no second press.
    if (FCommand.Busy())
        return;
    if (PageControl->currentWidget() != TabSheetCalibr)
        PageControl->setCurrentWidget(TabSheetCalibr);
    TTarvoDevice& d = *FCurrentDevice;
    const auto sendStep = [this, &d](int step) {
        QueueCommand(d.ModbusAddr, modbus::fnCalibrationStep, 0, 0, std::uint8_t(step));
    };
    switch (d.CalibrStep) {
    case 0:
        SetPanel(3, QString());
        SetPrgState(PSCalibr);
        d.CalibrStep = 1;
        LabelCalibrMessage->setText(d.GetCalibrMessage());
        ActionCalibr->setText(QStringLiteral("Продолжить"));
        SpeedButtonCancelCalibr->show();
        break;
    case 1:
    case 2:
        sendStep(d.CalibrStep);
        SetWaitCursor();
        break;
    case 3:
    case 4: {
        if (!HasCurrentOutput(d.TypeId)) {
            if (d.CalibrStep == 3)
                WriteCalibrationDate();
            break;
        }
        const TCurrentLimits l = CalibrCurrentLimits(d.CalibrStep, d.TypeId);
        // The value the field shows; a text that is no number is refused like one outside the limits.
        bool shown = false;
        const int value = JvSpinEditCalibrLead->locale().toInt(JvSpinEditCalibrLead->cleanText(), &shown);
        if (!shown || value < l.minimum || value > l.maximum) {
            ShowErrorBox(l.refusal);
            break;
        }
        PutIntBE(value, std::span<std::uint8_t>(QueryData.data(), QueryData.size()), 0, 4);
        sendStep(d.CalibrStep);
        PanelCalibrMeasuredCurrentValue->hide();
        SetWaitCursor();
        break;
    }
    case 5:
        WriteCalibrationDate();
        break;
    default:
        break;
    }
}

void TFormMain::WriteCalibrationDate() {
    if (!FCurrentDevice)
        return;
    PanelCalibrMeasuredCurrentValue->hide();
    EncodeCalibrationDate(QDate::currentDate(), std::span<std::uint8_t>(QueryData.data(), QueryData.size()));
    QueueCommand(FCurrentDevice->ModbusAddr, modbus::fnCalibrationStep, 0, 0, 5);
    SetWaitCursor();
}

void TFormMain::ShowCalibrCurrentPanel(int step) {
    const TCurrentLimits l = CalibrCurrentLimits(step, FCurrentDevice ? FCurrentDevice->TypeId : 0);
    JvSpinEditCalibrLead->SetLimits(l.minimum, l.maximum);
    JvSpinEditCalibrLead->setValue(l.start);
    PanelCalibrMeasuredCurrentValue->show();
}

void TFormMain::OnCalibrationStep() {
    if (!FCurrentDevice)
        return;
    TTarvoDevice& d = *FCurrentDevice;
    const bool current = HasCurrentOutput(d.TypeId);
    switch (ReceivedQuery.CalibrStep) {
    case 1:
        d.CalibrStep = 2;
        break;
    case 2:
        if (!current) {
            d.CalibrStep = 5;
            WriteCalibrationDate();
            return;
        }
        d.CalibrStep = 3;
        ShowCalibrCurrentPanel(3);
        break;
    case 3:
        if (current) {
            d.CalibrStep = 4;
            ShowCalibrCurrentPanel(4);
        }
        break;
    case 4:
        d.CalibrStep = 5;
        WriteCalibrationDate();
        return;
    case 5:
        RestoreCursor();
        FinishCalibration();
        return;
    default:
        break;
    }
    LabelCalibrMessage->setText(d.GetCalibrMessage());
    RestoreCursor();
}

void TFormMain::FinishCalibration() {
    EndCalibrationRun();
    if (FCurrentDevice)
        QueueQuery(FCurrentDevice->ModbusAddr, modbus::fnCalibrationStep, 0, 0, 9);
}

void TFormMain::EndCalibrationRun() {
    // A step still on its way belongs to this run: its reply must not move the next one.
    FCommand.Abandon();
    if (FCurrentDevice)
        FCurrentDevice->CalibrStep = 0;
    SpeedButtonCancelCalibr->hide();
    PanelCalibrMeasuredCurrentValue->hide();
    SetPrgState(PSPausePolling);
    LabelCalibrMessage->setText(TTarvoDevice().GetCalibrMessage());
    SetPanel(3, QString());
    ActionCalibr->setText(QStringLiteral("Начать настройку"));
    RestoreCursor();
}

void TFormMain::TabSheetCalibrShow() {
    if (FPrgState != PSCalibr || !FCurrentDevice) {
        LabelCalibrMessage->setText(TTarvoDevice().GetCalibrMessage());
        PanelCalibrMeasuredCurrentValue->hide();
        SpeedButtonCancelCalibr->hide();
    } else {
        LabelCalibrMessage->setText(FCurrentDevice->GetCalibrMessage());
    }
}
