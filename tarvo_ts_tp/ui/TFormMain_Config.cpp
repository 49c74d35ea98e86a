// The configuration page and the sensor data of the connection page: filling the controls from the
// record, the rules between the controls, the configuration write with its follow-up reads (a new
// address, a new rate) and the sensor name and number.
#include "GroupBoxes.h"
#include "LimitSpinBox.h"
#include "MessageService.h"
#include "ModbusRtu.h"
#include "PageRules.h"
#include "TFormMain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>

namespace {

void Uncheck(QRadioButton* b) {
    // An exclusive radio button cannot be unchecked by itself.
    b->setAutoExclusive(false);
    b->setChecked(false);
    b->setAutoExclusive(true);
}

QString Bps(TBaudRate rate) {
    return QString::number(BaudRateToInt(rate));
}

// The value the field shows: false when its text is no valid value (it would send its last valid one).
bool ShownSpinValue(const QSpinBox* field, int& value) {
    bool ok = false;
    const int v = field->locale().toInt(field->cleanText(), &ok);
    if (!ok || v < field->minimum() || v > field->maximum())
        return false;
    value = v;
    return true;
}

std::span<const std::uint8_t> ReplyData(const TModbusCmdQuery& q) {
    const int n = qBound(0, int(q.RegCount), TModbusCmdQuery::BufferSize);
    return std::span<const std::uint8_t>(q.Buffer.data(), std::size_t(n));
}

} // namespace

// ---------------------------------------------------------------------------------------------------
// Controls

void TFormMain::SelectSensorTypeByItemindex(int i) {
    if (i < 0 || i >= CheckListBoxSensorType->count()) {
        // A code the list does not hold (the transducer's own): no item stands for it.
        const QSignalBlocker block(CheckListBoxSensorType);
        for (int k = 0; k < CheckListBoxSensorType->count(); ++k)
            CheckListBoxSensorType->item(k)->setCheckState(Qt::Unchecked);
        CheckListBoxSensorType->setCurrentRow(-1);
        return;
    }
    {
        const QSignalBlocker block(CheckListBoxSensorType);
        for (int k = 0; k < CheckListBoxSensorType->count(); ++k)
            CheckListBoxSensorType->item(k)->setCheckState(k == i ? Qt::Checked : Qt::Unchecked);
        CheckListBoxSensorType->setCurrentRow(i);
    }
    CheckListBoxSensorType->viewport()->update();
    const bool resistance = i < 6;
    SetGroupBoxesEnabled({GroupBoxWireScheme}, resistance);
    if (!resistance) {
        Uncheck(RadioButton3WiredScheme);
        Uncheck(RadioButton4WiredScheme);
    }
    // The limits of the new type; the values stay as they are until a write checks them.
    std::int32_t from = 0, to = 0;
    GetLowLimitRange(i + 1, from, to);
    JvSpinEditBottomTBound->SetLimits(from, to);
    if (FCurrentDevice)
        JvSpinEditBottomTBound->setValue(FCurrentDevice->RangeLowLimit);
    LabelMinTemp->setText(QStringLiteral("Не менее ") + QString::number(from) + QStringLiteral(" °C"));
    GetHighLimitRange(i + 1, from, to);
    JvSpinEditTopTBound->SetLimits(from, to);
    if (FCurrentDevice)
        JvSpinEditTopTBound->setValue(FCurrentDevice->RangeHighLimit);
    LabelMaxTemp->setText(QStringLiteral("Не более ") + QString::number(to) + QStringLiteral(" °C"));
    // Only a transducer with a current output scales it by the range.
    SetGroupBoxesEnabled({GroupBoxTempRange}, FCurrentDevice && HasCurrentOutput(FCurrentDevice->TypeId));
}

void TFormMain::ComboBoxCurrentOutputRangeChange() {
    // Allowed alarm currents by output range, and the one chosen when none of them is set.
    static const std::array<std::array<bool, 5>, 3> allowed = {{{true, true, true, true, false},
                                                                {false, false, false, false, true},
                                                                {false, false, true, true, false}}};
    static const int fallback[3] = {0, 4, 3};
    const int r = ComboBoxCurrentOutputRange->currentIndex();
    if (r < 0 || r > 2)
        return;
    bool anyChecked = false;
    for (std::size_t k = 0; k < 5; ++k) {
        AlarmButtons[k]->setEnabled(allowed[std::size_t(r)][k]);
        anyChecked = anyChecked || (allowed[std::size_t(r)][k] && AlarmButtons[k]->isChecked());
    }
    if (!anyChecked)
        AlarmButtons[std::size_t(fallback[r])]->setChecked(true);
}

void TFormMain::CheckBoxAveragingTurnOnClick() {
    JvSpinEditAveragingTime->setEnabled(CheckBoxAveragingTurnOn->isChecked());
}

void TFormMain::FillConfigControls() {
    if (!FCurrentDevice)
        return;
    const TTarvoDevice& d = *FCurrentDevice;
    SelectSensorTypeByItemindex(int(d.SensorType) - 1);
    if (d.ConnScheme == 3) {
        RadioButton3WiredScheme->setChecked(true);
    } else {
        Uncheck(RadioButton3WiredScheme);
        if (d.ConnScheme == 4)
            RadioButton4WiredScheme->setChecked(true);
        else
            Uncheck(RadioButton4WiredScheme);
    }
    JvSpinEditTopTBound->setValue(d.RangeHighLimit);
    JvSpinEditBottomTBound->setValue(d.RangeLowLimit);
    auto checkAlarm = [this](int code) {
        if (code >= 1 && code <= 5)
            AlarmButtons[std::size_t(code - 1)]->setChecked(true);
    };
    if (HasCurrentOutput(d.TypeId)) {
        SetGroupBoxesEnabled({GroupBoxCurrentOutputParams, GroupBoxAlarmCurrent}, true);
        (d.InvertedOut ? RadioButtonInvertedCurrentOutput : RadioButtonDirectCurrentOutput)->setChecked(true);
        const QSignalBlocker block(ComboBoxCurrentOutputRange);
        if (HasOutputRangeChoice(d.TypeId)) {
            ComboBoxCurrentOutputRange->setEnabled(true);
            if (d.OutSignalRange == 1) {
                ComboBoxCurrentOutputRange->setCurrentIndex(0);
                if (d.AlarmSignalValue <= 4)
                    checkAlarm(d.AlarmSignalValue);
            } else if (d.OutSignalRange == 2) {
                ComboBoxCurrentOutputRange->setCurrentIndex(1);
                if (d.AlarmSignalValue == 5)
                    checkAlarm(5);
            } else if (d.OutSignalRange == 3) {
                ComboBoxCurrentOutputRange->setCurrentIndex(2);
                if (d.AlarmSignalValue == 3 || d.AlarmSignalValue == 4)
                    checkAlarm(d.AlarmSignalValue);
            }
        } else {
            ComboBoxCurrentOutputRange->setCurrentIndex(0);
            ComboBoxCurrentOutputRange->setEnabled(false);
            if (d.AlarmSignalValue <= 4)
                checkAlarm(d.AlarmSignalValue);
        }
        ComboBoxCurrentOutputRangeChange();
    } else {
        SetGroupBoxesEnabled({GroupBoxCurrentOutputParams, GroupBoxAlarmCurrent}, false);
    }
    {
        const QSignalBlocker block(CheckBoxAveragingTurnOn);
        CheckBoxAveragingTurnOn->setChecked(d.AveragingTime != 0);
    }
    if (d.AveragingTime != 0)
        JvSpinEditAveragingTime->setValue(d.AveragingTime);
    JvSpinEditAveragingTime->setEnabled(d.AveragingTime != 0);
    JvSpinEditConfSlaveID->setValue(d.ModbusAddr);
    if (!HasBaudRateChoice(d.TypeId)) {
        ComboBoxConfBaudrate->setCurrentIndex(BaudRateToCode(CBR_9600) - 1);
        SetGroupBoxesEnabled({GroupBoxConfBaudRate}, false);
    } else {
        SetGroupBoxesEnabled({GroupBoxConfBaudRate}, true);
        const int code = BaudRateToCode(d.Baudrate);
        if (code >= 1)
            ComboBoxConfBaudrate->setCurrentIndex(code - 1);
    }
    // A typed text that matches an item is shown as that item.
    ComboBoxConfBaudrate->setEditText(ComboBoxConfBaudrate->currentText());
}

void TFormMain::TabSheetDeviceConfigShow() {
    FillConfigControls();
}

TConfigPageValues TFormMain::ConfigPageValues() const {
    TConfigPageValues v;
    for (int k = 0; k < CheckListBoxSensorType->count(); ++k)
        if (CheckListBoxSensorType->item(k)->checkState() == Qt::Checked) {
            v.sensorItem = k;
            break;
        }
    v.wire3 = RadioButton3WiredScheme->isChecked();
    v.wire4 = RadioButton4WiredScheme->isChecked();
    v.top = JvSpinEditTopTBound->value();
    v.bottom = JvSpinEditBottomTBound->value();
    v.topShown = ShownSpinValue(JvSpinEditTopTBound, v.top);
    v.bottomShown = ShownSpinValue(JvSpinEditBottomTBound, v.bottom);
    v.direct = RadioButtonDirectCurrentOutput->isChecked();
    v.inverted = RadioButtonInvertedCurrentOutput->isChecked();
    v.rangeIndex = ComboBoxCurrentOutputRange->currentIndex();
    for (std::size_t k = 0; k < AlarmButtons.size(); ++k)
        if (AlarmButtons[k]->isChecked())
            v.alarmCode = int(k) + 1;
    v.averagingOn = CheckBoxAveragingTurnOn->isChecked();
    v.averagingTime = JvSpinEditAveragingTime->value();
    v.averagingShown = !v.averagingOn || ShownSpinValue(JvSpinEditAveragingTime, v.averagingTime);
    v.address = JvSpinEditConfSlaveID->value();
    v.addressShown = ShownSpinValue(JvSpinEditConfSlaveID, v.address);
    v.baudText = ComboBoxConfBaudrate->currentText();
    return v;
}

bool TFormMain::IsConfigChanged() const {
    return ::IsConfigChanged(FCurrentDevice, ConfigPageValues());
}

// ---------------------------------------------------------------------------------------------------
// Configuration read and write

void TFormMain::ActionReadConfigExecute() {
    if (!FCurrentDevice || FCommand.Busy())
        return;
    QueueConfigRead(false);
    SetWaitCursor();
}

void TFormMain::QueueConfigRead(bool toNewAddr) {
    const TTarvoDevice& d = *FCurrentDevice;
    if (toNewAddr)
        QueueCommand(d.NewAddr, modbus::fnReadHoldingRegisters, tarvo::ConfigStart, tarvo::ConfigRegs, 0, true);
    else
        QueueCommand(d.ModbusAddr, modbus::fnReadHoldingRegisters, tarvo::ConfigStart, tarvo::ConfigRegs);
}

void TFormMain::ActionWriteConfigExecute() {
    // A write or read still waiting for its reply takes no second press.
    if (FCommand.Busy())
        return;
    if (PageControl->currentWidget() != TabSheetDeviceConfig)
        PageControl->setCurrentWidget(TabSheetDeviceConfig);
    if (!FCurrentDevice) {
        MessageService().MessageBox(QStringLiteral("Конфигурация не изменялась"), ProgramCaption(),
                                    TMessageService::Icon::Warning, TMessageService::Ok);
        return;
    }
    TTarvoDevice& d = *FCurrentDevice;
    const TConfigWrite w = PlanConfigWrite(d, ConfigPageValues());
    if (!w.refusal.isEmpty()) {
        if (w.refusalIsWarning)
            MessageService().MessageBox(w.refusal, ProgramCaption(), TMessageService::Icon::Warning,
                                        TMessageService::Ok);
        else
            ShowErrorBox(w.refusal);
        return;
    }
    if (w.changeAddr)
        d.NewAddr = TModbusAddress(w.block.SlaveAddr);
    if (w.changeBaud)
        d.NewBaudrate = w.newBaud;
    EncodeConfigBlock(w.block, std::span<std::uint8_t>(QueryData.data(), QueryData.size()));
    QueueCommand(d.ModbusAddr, modbus::fnWriteMultipleRegisters, tarvo::ConfigStart, tarvo::ConfigRegs, 0,
                 w.changeAddr);
    SetWaitCursor();
}

void TFormMain::OnConfigWritten() {
    if (!FCurrentDevice)
        return;
    const TTarvoDevice& d = *FCurrentDevice;
    const bool toNewAddr = ReceivedQuery.IsChangeModbusSlaveAddr && d.ModbusAddr != d.NewAddr;
    // The transducer answers a rate change at the old rate and then listens at the new one only: the
    // read that confirms the change has to go out at the new rate.
    if (d.Baudrate != d.NewBaudrate && !FollowBaudRateChange())
        return;
    QueueConfigRead(toNewAddr);
}

bool TFormMain::FollowBaudRateChange() {
    const TTarvoDevice& d = *FCurrentDevice;
    CloseCommLink();
    // A port that does not open again has gone as far as the program can tell.
    if (!OpenCommLink(d.ComPortName, d.NewBaudrate, true) || (!FPortOpener && !CommThreadConnected())) {
        LosePort();
        return false;
    }
    FRateCheck = TRateCheck::NewRate;
    const bool toNewAddr = ReceivedQuery.IsChangeModbusSlaveAddr && d.ModbusAddr != d.NewAddr;
    SetPanel(3, QStringLiteral("Изменение скорости обмена ") + PortDisplayName(d.ComPortName, true) +
                    QStringLiteral(" (") + Bps(d.NewBaudrate) + QStringLiteral(") адрес ") +
                    QString::number(toNewAddr ? d.NewAddr : d.ModbusAddr));
    return true;
}

void TFormMain::RecoverBaudRateChange() {
    if (!FCurrentDevice)
        return;
    const TTarvoDevice& d = *FCurrentDevice;
    if (!FollowBaudRateChange())
        return;
    QueueConfigRead(ReceivedQuery.IsChangeModbusSlaveAddr && d.ModbusAddr != d.NewAddr);
}

void TFormMain::FallBackToOldRate() {
    if (!FCurrentDevice)
        return;
    TTarvoDevice& d = *FCurrentDevice;
    FRateTried = d.NewBaudrate;
    FAddrTried = ReceivedQuery.IsChangeModbusSlaveAddr ? d.NewAddr : d.ModbusAddr;
    d.NewBaudrate = d.Baudrate;
    d.NewAddr = d.ModbusAddr;
    CloseCommLink();
    if (!OpenCommLink(d.ComPortName, d.Baudrate, true) || (!FPortOpener && !CommThreadConnected())) {
        LosePort();
        return;
    }
    FRateCheck = TRateCheck::OldRate;
    QueueConfigRead(false);
    SetWaitCursor();
}

void TFormMain::ReturnToNewRate() {
    if (!FCurrentDevice)
        return;
    // Silent at both rates: the transducer may well have taken the change and only its replies were lost.
    // The program waits at the new rate, with the change still pending, for a read to confirm it.
    TTarvoDevice& d = *FCurrentDevice;
    d.NewBaudrate = FRateTried;
    d.NewAddr = FAddrTried;
    CloseCommLink();
    if (!OpenCommLink(d.ComPortName, d.NewBaudrate, true) || (!FPortOpener && !CommThreadConnected())) {
        LosePort();
        return;
    }
    SetPanel(3, QStringLiteral("Изменение скорости обмена ") + PortDisplayName(d.ComPortName, true) +
                    QStringLiteral(" (") + Bps(d.NewBaudrate) + QStringLiteral(") адрес ") +
                    QString::number(d.NewAddr));
}

void TFormMain::OnConfigRead() {
    if (!FCurrentDevice)
        return;
    TTarvoDevice& d = *FCurrentDevice;
    const bool keptOldRate = FRateCheck == TRateCheck::OldRate;
    FRateCheck = TRateCheck::None;
    SetPanel(3, QString());
    TConfigBlock block;
    DecodeConfigBlock(ReplyData(ReceivedQuery), block);
    d.ApplyConfig(block); // everything but the address and the rate, which are confirmed below

    const TBaudRate rate = BaudCodeToRate(block.BaudCode);
    if (d.Baudrate != d.NewBaudrate && rate == d.NewBaudrate) {
        d.Baudrate = rate;
        d.NewBaudrate = d.Baudrate;
        SetPanel(0, QStringLiteral("Соединение установлено"));
        SetPanel(1, d.ComPortName + QStringLiteral(" (") + Bps(d.Baudrate) + QStringLiteral(")"));
        SetPanel(2, QStringLiteral("Адрес ") + QString::number(d.ModbusAddr));
        SetPanel(3, QString());
        RefreshDevicesGrid();
    }
    if (ReceivedQuery.IsChangeModbusSlaveAddr && block.SlaveAddr == d.NewAddr) {
        d.ModbusAddr = d.NewAddr;
        RefreshDevicesGrid();
        SetPanel(2, QStringLiteral("Адрес ") + QString::number(d.ModbusAddr));
    }
    FillConfigControls();
    // The transducer answers at the rate it had: the change never reached it.
    if (keptOldRate)
        ShowErrorBox(QStringLiteral("Конфигурация не изменена: преобразователь отвечает на прежней скорости ") +
                     Bps(d.Baudrate) + QStringLiteral(" бод"));
}

// ---------------------------------------------------------------------------------------------------
// Sensor data

void TFormMain::ActionReadDopDataExecute() {
    if (!FCurrentDevice || FCommand.Busy())
        return;
    QueueCommand(FCurrentDevice->ModbusAddr, modbus::fnReadHoldingRegisters, tarvo::SensorDataStart,
               tarvo::SensorDataRegs);
    SetWaitCursor();
}

void TFormMain::OnSensorDataRead() {
    if (!FCurrentDevice)
        return;
    FCurrentDevice->DecodeSensorData(ReplyData(ReceivedQuery));
    EditSensorName->setText(FCurrentDevice->StoredSensorName());
    EditSensorNumber->setText(QString::number(FCurrentDevice->StoredSensorNumber));
}

void TFormMain::ActionWriteDopDataExecute() {
    if (!FCurrentDevice || FCommand.Busy())
        return;
    // A signed number is stored as its 32-bit two's complement; a number read back (shown unsigned)
    // must be writable unchanged too, so the whole 32-bit range of both readings is taken.
    const QString text = EditSensorNumber->text();
    bool ok = false;
    const qlonglong number = text.trimmed().toLongLong(&ok);
    if (text.contains(QLatin1Char('$')) || !ok || number < -2147483648LL || number > 4294967295LL) {
        ShowErrorBox(QStringLiteral("Недопустимое значение номера датчика!"));
        return;
    }
    // Nothing is written while the name holds characters the transducer cannot store.
    if (const QString refusal = SensorNameRefusal(EditSensorName->text()); !refusal.isEmpty()) {
        ShowErrorBox(refusal);
        return;
    }
    TTarvoDevice& d = *FCurrentDevice;
    d.StoredSensorNumber = std::uint32_t(number);
    d.SetStoredSensorName(EditSensorName->text());
    d.EncodeSensorData(std::span<std::uint8_t>(QueryData.data(), QueryData.size()));
    QueueCommand(d.ModbusAddr, modbus::fnWriteMultipleRegisters, tarvo::SensorDataStart, tarvo::SensorDataRegs);
    SetWaitCursor();
}

void TFormMain::EditSensorNumberExit() {
    bool ok = false;
    EditSensorNumber->text().trimmed().toLongLong(&ok);
    if (!ok)
        ShowErrorBox(QStringLiteral("Некорректное значение номера датчика!"));
}

void TFormMain::JvSpinEditWithLimitsExit(TLimitSpinBox* field) {
    if (!field)
        return;
    if (!field->WithinLimits())
        ShowErrorBox(QStringLiteral("Значение должно быть в диапазоне от ") +
                     QString::number(field->LimitMin()) + QStringLiteral(" до ") +
                     QString::number(field->LimitMax()));
    else
        return;
    if (field == JvSpinEditCalibrLead) {
        if (!PanelCalibrMeasuredCurrentValue->isHidden())
            field->setFocus();
    } else if (field->isEnabled() && field->isVisible()) {
        field->setFocus();
    }
}
