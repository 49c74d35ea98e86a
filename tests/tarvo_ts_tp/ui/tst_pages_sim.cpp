// The configuration page, the sensor data and the calibration wizard against the simulator: the bytes
// that reach the transducer, what it keeps, and what the window shows afterwards.
#include "LimitSpinBox.h"
#include "ModbusRtu.h"
#include "ScriptedMessages.h"
#include "SimForm.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDate>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>

using namespace simform;

namespace {

// Bus 0 at 19200: a 118 at 1 and a 115 at 5. Bus 1 at 9600: a 117 at 2 and a 113 at 3.
const char* const Buses = R"({ "buses": [
  { "rate": 19200, "transducers": [
      { "type": 118, "address": 1, "rate": 19200, "sensortype": 1, "scheme": 3, "low": -50, "high": 150,
        "inverted": 0, "alarm": 1, "averaging": 0, "outrange": 1, "sensornumber": 12 },
      { "type": 115, "address": 5, "rate": 19200, "sensortype": 1, "scheme": 4, "low": -50, "high": 150,
        "inverted": 1, "alarm": 2, "averaging": 0, "outrange": 1 } ] },
  { "rate": 9600, "transducers": [
      { "type": 117, "address": 2, "rate": 9600, "calnum": 4, "caldate": "01.02.2019" },
      { "type": 113, "address": 3, "rate": 9600, "sensortype": 1, "scheme": 3, "low": 0, "high": 100,
        "inverted": 1, "alarm": 1, "outrange": 1 } ] } ] })";

constexpr int R9600 = 3, R19200 = 4;

struct Target {
    int bus, rateIndex, addr;
};
const Target T118{0, R19200, 1}, T115{0, R19200, 5}, T117{1, R9600, 2}, T113{1, R9600, 3};

} // namespace

class TstPagesSim : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void writeWithoutChange();
    void blockPerFamily_data();
    void blockPerFamily();
    void refusals_data();
    void refusals();
    void addressChange();
    void rateChange();
    void rateChangeReplyLost();
    void rateChangeRefused();
    void sensorData();
    void wizardWithoutCurrentOutput();
    void wizardWithCurrentOutput_data();
    void wizardWithCurrentOutput();
    void cancelAtStepThree();
    void refusedStep();

private:
    bool Open(TFormMain& form, const Target& t) {
        return Connect(form, sim_->portPath(t.bus), t.rateIndex, t.addr);
    }
    QString Get(const QString& key) { return sim_->command(key).mid(3); }
    std::unique_ptr<SimFixture> sim_;
};

void TstPagesSim::init() {
    sim_ = std::make_unique<SimFixture>(QByteArray(Buses));
    QString error;
    QVERIFY2(sim_->start(&error), qPrintable(error));
}

void TstPagesSim::cleanup() {
    DestroyCommThread();
    QVERIFY(!QApplication::overrideCursor());
    sim_.reset();
}

void TstPagesSim::writeWithoutChange() {
    TScriptedMessages messages;
    TFormMain form;
    QVERIFY(Open(form, T118));
    QVERIFY(!form.IsConfigChanged());
    sim_->clearReceived(0);
    form.ActionWriteConfig->trigger();
    QCOMPARE(form.PageControl->currentWidget(), form.TabSheetDeviceConfig);
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("Конфигурация не изменялась")});
    QCOMPARE(messages.boxes[0].icon, TMessageService::Icon::Warning);
    QVERIFY(NothingQueued());
    QVERIFY(!QApplication::overrideCursor());
}

void TstPagesSim::blockPerFamily_data() {
    QTest::addColumn<int>("family");
    QTest::addColumn<QByteArray>("frame");
    // 118: type 3, four wires, -100..300, inverse, 0-20 mA (the alarm falls to 22 mA), 5 s averaging.
    QTest::newRow("118") << 118
                         << Hex("01 10 0031 000A 14 0003 0004 FF9C 012C 0001 0004 0005 0001 0005 0003");
    // 115: a thermocouple keeps the stored wiring; direction, alarm and range are written back as read.
    QTest::newRow("115") << 115
                         << Hex("05 10 0031 000A 14 0007 0004 FFCE 0096 0001 0002 0007 0005 0005 0001");
    // 113: direct output and 21 mA; the range stays 4-20 mA, the rate 9600.
    QTest::newRow("113") << 113
                         << Hex("03 10 0031 000A 14 0001 0003 0000 0064 0000 0003 0000 0003 0004 0001");
}

void TstPagesSim::blockPerFamily() {
    QFETCH(int, family);
    QFETCH(QByteArray, frame);
    TScriptedMessages messages;
    TFormMain form;
    const Target t = family == 118 ? T118 : family == 115 ? T115 : T113;
    QVERIFY(Open(form, t));
    form.PageControl->setCurrentWidget(form.TabSheetDeviceConfig);
    if (family == 118) {
        form.SelectSensorTypeByItemindex(2);
        form.RadioButton4WiredScheme->setChecked(true);
        form.JvSpinEditBottomTBound->setValue(-100);
        form.JvSpinEditTopTBound->setValue(300);
        form.RadioButtonInvertedCurrentOutput->setChecked(true);
        form.ComboBoxCurrentOutputRange->setCurrentIndex(2);
        QVERIFY(form.AlarmButtons[3]->isChecked());
        QVERIFY(!form.AlarmButtons[0]->isEnabled());
        form.CheckBoxAveragingTurnOn->setChecked(true);
        form.JvSpinEditAveragingTime->setValue(5);
    } else if (family == 115) {
        QVERIFY(!form.GroupBoxCurrentOutputParams->isEnabled());
        QVERIFY(!form.JvSpinEditTopTBound->isEnabled());
        QVERIFY(form.ComboBoxConfBaudrate->isEnabled());
        form.SelectSensorTypeByItemindex(6);
        QVERIFY(!form.RadioButton4WiredScheme->isChecked());
        QVERIFY(!form.RadioButton4WiredScheme->isEnabled());
        form.CheckBoxAveragingTurnOn->setChecked(true);
        form.JvSpinEditAveragingTime->setValue(7);
    } else {
        QVERIFY(!form.ComboBoxCurrentOutputRange->isEnabled());
        QVERIFY(!form.ComboBoxConfBaudrate->isEnabled());
        QVERIFY(!form.AlarmButtons[4]->isEnabled());
        form.RadioButtonDirectCurrentOutput->setChecked(true);
        form.AlarmButtons[2]->setChecked(true);
    }
    QVERIFY(form.IsConfigChanged());
    sim_->clearReceived(t.bus);
    form.ActionWriteConfig->trigger();
    QVERIFY(QTest::qWaitFor([&] { return Rx(*sim_, t.bus).size() >= frame.size() + 2 + 8; }, 3000));
    QVERIFY(QTest::qWaitFor([] { return NothingQueued(); }, 3000));
    const QByteArray rx = Rx(*sim_, t.bus);
    QCOMPARE(rx.left(frame.size()).toHex(' '), frame.toHex(' '));
    // Then the configuration is read back and shown as the transducer now holds it.
    QCOMPARE(rx.mid(frame.size() + 2, 6).toHex(' '),
             QByteArray(frame.left(1) + Hex("03 0031 000A")).toHex(' '));
    QTRY_VERIFY(!form.IsConfigChanged());
    QVERIFY(messages.boxes.isEmpty());
    const QString key = QStringLiteral("%1:%2 ").arg(t.bus).arg(t.addr);
    if (family == 118) {
        QCOMPARE(Get(QStringLiteral("get ") + key + QStringLiteral("outrange")), QStringLiteral("3"));
        QCOMPARE(form.CurrentDevice()->AlarmSignalValue, 4);
    } else if (family == 115) {
        QCOMPARE(Get(QStringLiteral("get ") + key + QStringLiteral("sensortype")), QStringLiteral("7"));
        QCOMPARE(form.CurrentDevice()->AveragingTime, 7);
    } else {
        QCOMPARE(Get(QStringLiteral("get ") + key + QStringLiteral("alarm")), QStringLiteral("3"));
        QVERIFY(!form.CurrentDevice()->InvertedOut);
    }
}

void TstPagesSim::refusals_data() {
    QTest::addColumn<int>("bottom");
    QTest::addColumn<int>("top");
    QTest::addColumn<QString>("rate");
    QTest::addColumn<QString>("box");
    const QString low = QStringLiteral("Недопустимое значение нижней границы диапазона измерения!");
    const QString high = QStringLiteral("Недопустимое значение верхней границы диапазона измерения!");
    QTest::newRow("bottom below") << -201 << 150 << "19200" << low;
    QTest::newRow("bottom above") << 576 << 600 << "19200" << low;
    QTest::newRow("top below") << -50 << -176 << "19200" << high;
    QTest::newRow("top above") << -50 << 601 << "19200" << high;
    QTest::newRow("both ends inside") << -200 << 600 << "a lot"
                                      << "Недопустимое значение скорости передачи!";
    QTest::newRow("rate not in the list") << -50 << 150 << "12345"
                                          << "Недопустимое значение скорости передачи!";
}

void TstPagesSim::refusals() {
    QFETCH(int, bottom);
    QFETCH(int, top);
    QFETCH(QString, rate);
    QFETCH(QString, box);
    TScriptedMessages messages;
    TFormMain form;
    QVERIFY(Open(form, T118));
    form.PageControl->setCurrentWidget(form.TabSheetDeviceConfig);
    form.JvSpinEditBottomTBound->setValue(bottom);
    form.JvSpinEditTopTBound->setValue(top);
    form.ComboBoxConfBaudrate->setEditText(rate);
    // The fields keep what was typed; only the write refuses it.
    QCOMPARE(form.JvSpinEditBottomTBound->value(), bottom);
    QCOMPARE(form.JvSpinEditTopTBound->value(), top);
    form.ActionWriteConfig->trigger();
    QCOMPARE(messages.texts(), QStringList{box});
    QVERIFY(messages.allErrorBoxes());
    QVERIFY(NothingQueued());
    QCOMPARE(form.CurrentDevice()->NewBaudrate, CBR_19200);
}

void TstPagesSim::addressChange() {
    TScriptedMessages messages;
    TFormMain form;
    QVERIFY(Open(form, T118));
    form.PageControl->setCurrentWidget(form.TabSheetDeviceConfig);
    form.JvSpinEditConfSlaveID->setValue(11);
    sim_->clearReceived(0);
    form.ActionWriteConfig->trigger();
    QTRY_COMPARE(form.StatusPanels[2]->text(), QStringLiteral("Адрес 11"));
    QCOMPARE(form.CurrentDevice()->ModbusAddr, 11);
    QCOMPARE(form.StringGridDevices->item(0, 2)->text(), QStringLiteral("11"));
    QCOMPARE(form.JvSpinEditConfSlaveID->value(), 11);
    QVERIFY(QTest::qWaitFor([] { return NothingQueued(); }, 3000));
    // The write goes to the old address, the read to the new one.
    const QByteArray rx = Rx(*sim_, 0);
    QCOMPARE(rx.left(2).toHex(' '), Hex("01 10").toHex(' '));
    QCOMPARE(rx.mid(29, 6).toHex(' '), Hex("0B 03 0031 000A").toHex(' '));
    QVERIFY(sim_->command(QStringLiteral("list")).contains(QLatin1String("0:11 118")));
    QVERIFY(messages.boxes.isEmpty());
    QCOMPARE(form.PrgState(), PSPausePolling);
}

void TstPagesSim::rateChange() {
    TScriptedMessages messages;
    TFormMain form;
    QVERIFY(Open(form, T118));
    form.PageControl->setCurrentWidget(form.TabSheetDeviceConfig);
    form.ComboBoxConfBaudrate->setCurrentIndex(5); // 38400
    form.ActionWriteConfig->trigger();
    QTRY_COMPARE(form.StatusPanels[1]->text(), sim_->portPath(0) + QStringLiteral(" (38400)"));
    QCOMPARE(form.CurrentDevice()->Baudrate, CBR_38400);
    QCOMPARE(form.CurrentDevice()->NewBaudrate, CBR_38400);
    QCOMPARE(CommThreadBaudRate(), CBR_38400);
    QCOMPARE(Get(QStringLiteral("get 0:1 rate")), QStringLiteral("38400"));
    QVERIFY(sim_->command(QStringLiteral("line 0")).contains(QLatin1String("rate=38400")));
    QCOMPARE(form.StringGridDevices->item(0, 3)->text(), QStringLiteral("38400"));
    QVERIFY(form.StatusPanels[3]->text().isEmpty());
    QVERIFY(messages.boxes.isEmpty());
    // Still connected at the new rate: the next read is answered.
    form.ActionReadDopData->trigger();
    QTRY_COMPARE(form.EditSensorNumber->text(), QStringLiteral("12"));
    QVERIFY(QTest::qWaitFor([] { return NothingQueued(); }, 3000));
    QVERIFY(messages.boxes.isEmpty());
}

void TstPagesSim::rateChangeReplyLost() {
    TScriptedMessages messages;
    TFormMain form;
    QVERIFY(Open(form, T118));
    form.PageControl->setCurrentWidget(form.TabSheetDeviceConfig);
    form.ComboBoxConfBaudrate->setCurrentIndex(6); // 57600
    QVERIFY(sim_->command(QStringLiteral("fault 0:1 truncate 0")).startsWith(QLatin1String("ok")));
    form.ActionWriteConfig->trigger();
    // The transducer takes the rate but its reply never arrives; the program reopens the port at the new
    // rate and reads the configuration there. That read is lost too, and so is the read at the old rate
    // that follows: the program waits at the new rate again, the change still pending.
    QTRY_COMPARE(Get(QStringLiteral("get 0:1 rate")), QStringLiteral("57600"));
    QTRY_COMPARE(form.StatusPanels[3]->text(), QStringLiteral("Изменение скорости обмена ") +
                                                   sim_->portPath(0) + QStringLiteral(" (57600) адрес 1"));
    QTRY_VERIFY_WITH_TIMEOUT(!form.CommandPending() && NothingQueued(), 8000);
    QCOMPARE(CommThreadBaudRate(), CBR_57600);
    QCOMPARE(form.StatusPanels[3]->text(), QStringLiteral("Изменение скорости обмена ") + sim_->portPath(0) +
                                               QStringLiteral(" (57600) адрес 1"));
    QCOMPARE(form.CurrentDevice()->Baudrate, CBR_19200); // the change is still pending
    QCOMPARE(form.CurrentDevice()->NewBaudrate, CBR_57600);
    // Once the transducer answers again, a read at the new rate confirms the change.
    QVERIFY(sim_->command(QStringLiteral("fault 0:1 clear")).startsWith(QLatin1String("ok")));
    form.ActionReadConfig->trigger();
    QTRY_COMPARE(form.CurrentDevice()->Baudrate, CBR_57600);
    QCOMPARE(form.StatusPanels[1]->text(), sim_->portPath(0) + QStringLiteral(" (57600)"));
    QVERIFY(form.StatusPanels[3]->text().isEmpty());
    QCOMPARE(CommThreadBaudRate(), CBR_57600);
    QVERIFY(messages.boxes.isEmpty());
}

void TstPagesSim::rateChangeRefused() {
    TScriptedMessages messages;
    TFormMain form;
    QVERIFY(Open(form, T118));
    form.PageControl->setCurrentWidget(form.TabSheetDeviceConfig);
    form.ComboBoxConfBaudrate->setCurrentIndex(0); // 1200
    QVERIFY(sim_->command(QStringLiteral("fault 0:1 exception 3")).startsWith(QLatin1String("ok")));
    form.ActionWriteConfig->trigger();
    // The transducer refused: it keeps its rate and so does the program.
    QTRY_COMPARE(messages.texts(), QStringList{modbus::ModbusErrorText(3)});
    QVERIFY(messages.allErrorBoxes());
    QCOMPARE(CommThreadBaudRate(), CBR_19200);
    QCOMPARE(form.CurrentDevice()->NewBaudrate, CBR_19200);
    QCOMPARE(Get(QStringLiteral("get 0:1 rate")), QStringLiteral("19200"));
    form.ActionReadDopData->trigger();
    QTRY_COMPARE(form.EditSensorNumber->text(), QStringLiteral("12"));
    QCOMPARE(form.PrgState(), PSPausePolling);
}

void TstPagesSim::sensorData() {
    TScriptedMessages messages;
    TFormMain form;
    QVERIFY(Open(form, T118));
    // 30 characters: the first 28 go to the transducer, in Windows-1251.
    const QString name = QStringLiteral("ТСП-100М номер двенадцать АБВГ");
    QCOMPARE(name.size(), 30);
    form.EditSensorName->setText(name);
    form.EditSensorNumber->setText(QStringLiteral("-5"));
    sim_->clearReceived(0);
    form.ActionWriteDopData->trigger();
    QCOMPARE(form.CurrentDevice()->StoredSensorName(), name.left(28));
    QCOMPARE(form.CurrentDevice()->StoredSensorNumber, 4294967291u);
    QVERIFY(QTest::qWaitFor([] { return NothingQueued(); }, 3000));
    const QByteArray expected = Hex("01 10 0011 0010 20") + EncodeSensorName(name.left(28)) + Hex("FFFFFFFB");
    QCOMPARE(expected.size(), 7 + 32);
    QCOMPARE(Rx(*sim_, 0).left(expected.size()).toHex(' '), expected.toHex(' '));
    QCOMPARE(Get(QStringLiteral("get 0:1 sensorname")), name.left(28));
    // The link has finished the write; the window handles its reply before it takes the next command.
    QTRY_VERIFY(!form.CommandPending());

    // Read back: the negative number comes back as its unsigned 32-bit reading, which can be written again.
    form.EditSensorName->clear();
    form.EditSensorNumber->clear();
    form.ActionReadDopData->trigger();
    QTRY_COMPARE(form.EditSensorNumber->text(), QStringLiteral("4294967291"));
    QCOMPARE(form.EditSensorName->text(), name.left(28));
    form.ActionWriteDopData->trigger();
    QVERIFY(QTest::qWaitFor([] { return NothingQueued(); }, 3000));
    QCOMPARE(Get(QStringLiteral("get 0:1 sensornumber")), QStringLiteral("4294967291"));
    QVERIFY(messages.boxes.isEmpty());
    QTRY_VERIFY(!form.CommandPending());

    // A failed write reads the transducer's values back into the fields.
    QVERIFY(sim_->command(QStringLiteral("fault 0:1 exception 3")).startsWith(QLatin1String("ok")));
    form.EditSensorName->setText(QStringLiteral("другое"));
    form.ActionWriteDopData->trigger();
    QTRY_COMPARE(form.EditSensorName->text(), name.left(28));
    QVERIFY(messages.boxes.isEmpty());

    for (const QString& bad : {QStringLiteral(""), QStringLiteral("4294967296"), QStringLiteral("-")}) {
        form.EditSensorNumber->setText(bad);
        form.ActionWriteDopData->trigger();
        form.EditSensorNumberExit();
    }
    QCOMPARE(messages.texts(), (QStringList{} << "Недопустимое значение номера датчика!"
                                              << "Некорректное значение номера датчика!"
                                              << "Недопустимое значение номера датчика!"
                                              << "Недопустимое значение номера датчика!"
                                              << "Некорректное значение номера датчика!"));
    QVERIFY(NothingQueued());
}

void TstPagesSim::wizardWithoutCurrentOutput() {
    TScriptedMessages messages;
    TFormMain form;
    QVERIFY(Open(form, T115));
    const QString calnum = Get(QStringLiteral("get 0:5 calnum"));
    form.ActionCalibr->trigger();
    QCOMPARE(form.PageControl->currentWidget(), form.TabSheetCalibr);
    QCOMPARE(form.PrgState(), PSCalibr);
    QCOMPARE(form.ActionCalibr->text(), QStringLiteral("Продолжить"));
    QVERIFY(!form.SpeedButtonCancelCalibr->isHidden());
    QVERIFY(form.LabelCalibrMessage->text().startsWith(QStringLiteral("Шаг 1\r\n")));
    form.ActionCalibr->trigger();
    QTRY_VERIFY(form.LabelCalibrMessage->text().startsWith(QStringLiteral("Шаг 2\r\n")));
    sim_->clearReceived(0);
    form.ActionCalibr->trigger(); // step 2, then straight to the date
    QTRY_COMPARE(form.PrgState(), PSPausePolling);
    QVERIFY(QTest::qWaitFor([] { return NothingQueued(); }, 3000));
    const QDate today = QDate::currentDate();
    const QByteArray date = QByteArray(1, char(today.day())) + char(today.month()) + char(today.year() >> 8) +
                            char(today.year() & 0xFF);
    const QByteArray rx = Rx(*sim_, 0);
    QCOMPARE(rx.mid(9, 7).toHex(' '), (Hex("05 64 05") + date).toHex(' '));
    QCOMPARE(rx.mid(18, 3).toHex(' '), Hex("05 64 09").toHex(' ')); // leaves calibration mode
    QCOMPARE(Get(QStringLiteral("get 0:5 caldate")), today.toString(QStringLiteral("dd.MM.yyyy")));
    QCOMPARE(Get(QStringLiteral("get 0:5 calnum")).toInt(), calnum.toInt() + 1);
    QCOMPARE(form.ActionCalibr->text(), QStringLiteral("Начать настройку"));
    QCOMPARE(form.CurrentDevice()->CalibrStep, 0);
    QCOMPARE(form.LabelCalibrMessage->text(), TTarvoDevice().GetCalibrMessage());
    QVERIFY(form.SpeedButtonCancelCalibr->isHidden());
    QVERIFY(form.PanelCalibrMeasuredCurrentValue->isHidden());
    QVERIFY(messages.boxes.isEmpty());
}

void TstPagesSim::wizardWithCurrentOutput_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("117") << 117 << 0 << 200 << 100
                         << "Нижнее значение выходного сигнала должно быть от 0 до 200 мкА!";
    QTest::newRow("113") << 113 << 3800 << 4200 << 4000
                         << "Нижнее значение выходного сигнала должно быть от 3800 до 4200 мкА!";
}

void TstPagesSim::wizardWithCurrentOutput() {
    QFETCH(int, type);
    QFETCH(int, low);
    QFETCH(int, high);
    QFETCH(int, start);
    QFETCH(QString, refusal);
    TScriptedMessages messages;
    TFormMain form;
    const Target t = type == 117 ? T117 : T113;
    QVERIFY(Open(form, t));
    const QString key = QStringLiteral("1:%1 ").arg(t.addr);
    const int calnum = Get(QStringLiteral("get ") + key + QStringLiteral("calnum")).toInt();
    form.ActionCalibr->trigger();
    form.ActionCalibr->trigger();
    QTRY_VERIFY(form.LabelCalibrMessage->text().startsWith(QStringLiteral("Шаг 2\r\n")));
    form.ActionCalibr->trigger();
    QTRY_VERIFY(!form.PanelCalibrMeasuredCurrentValue->isHidden());
    QCOMPARE(form.LabelCalibrMessage->text(), form.CurrentDevice()->GetCalibrMessage());
    QCOMPARE(form.CurrentDevice()->CalibrStep, 3);
    QCOMPARE(form.JvSpinEditCalibrLead->LimitMin(), low);
    QCOMPARE(form.JvSpinEditCalibrLead->LimitMax(), high);
    QCOMPARE(form.JvSpinEditCalibrLead->value(), start);

    // Outside the limits at either end: refused, nothing sent, the wizard stays.
    for (int bad : {low - 1, high + 1, type == 117 ? 250 : 5000}) {
        form.JvSpinEditCalibrLead->setValue(bad);
        form.ActionCalibr->trigger();
        QVERIFY(NothingQueued());
    }
    QCOMPARE(messages.texts(), QStringList(3, refusal));
    QCOMPARE(form.CurrentDevice()->CalibrStep, 3);
    form.JvSpinEditWithLimitsExit(form.JvSpinEditCalibrLead);
    QCOMPARE(messages.texts().last(),
             QStringLiteral("Значение должно быть в диапазоне от %1 до %2").arg(low).arg(high));
    messages.boxes.clear();

    sim_->clearReceived(1);
    form.JvSpinEditCalibrLead->setValue(high);
    form.ActionCalibr->trigger();
    QVERIFY(form.PanelCalibrMeasuredCurrentValue->isHidden());
    QTRY_COMPARE(form.CurrentDevice()->CalibrStep, 4);
    QVERIFY(!form.PanelCalibrMeasuredCurrentValue->isHidden());
    QCOMPARE(form.JvSpinEditCalibrLead->value(), 20000);
    QCOMPARE(Rx(*sim_, 1).left(7).toHex(' '),
             (QByteArray(1, char(t.addr)) + Hex("64 03") +
              QByteArray::fromHex(QByteArray::number(high, 16).rightJustified(8, '0')))
                 .toHex(' '));
    form.JvSpinEditCalibrLead->setValue(21001);
    form.ActionCalibr->trigger();
    QCOMPARE(messages.texts(), QStringList{QStringLiteral(
                                   "Нижнее значение выходного сигнала должно быть от 19000 до 21000 мкА!")});
    form.JvSpinEditCalibrLead->setValue(19990);
    form.ActionCalibr->trigger();
    QTRY_COMPARE(form.PrgState(), PSPausePolling);
    QCOMPARE(Get(QStringLiteral("get ") + key + QStringLiteral("caldate")),
             QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")));
    QCOMPARE(Get(QStringLiteral("get ") + key + QStringLiteral("calnum")).toInt(), calnum + 1);
    QCOMPARE(form.LabelCalibrMessage->text(), TTarvoDevice().GetCalibrMessage());
    QCOMPARE(messages.boxes.size(), 1);
}

void TstPagesSim::cancelAtStepThree() {
    TScriptedMessages messages;
    TFormMain form;
    QVERIFY(Open(form, T117));
    form.ActionCalibr->trigger();
    form.ActionCalibr->trigger();
    QTRY_COMPARE(form.CurrentDevice()->CalibrStep, 2);
    form.ActionCalibr->trigger();
    QTRY_COMPARE(form.CurrentDevice()->CalibrStep, 3);
    QVERIFY(QTest::qWaitFor([] { return NothingQueued(); }, 3000));
    sim_->clearReceived(1);
    form.SpeedButtonCancelCalibr->click();
    QCOMPARE(form.PrgState(), PSPausePolling);
    QCOMPARE(form.CurrentDevice()->CalibrStep, 0);
    QVERIFY(form.PanelCalibrMeasuredCurrentValue->isHidden());
    QVERIFY(form.SpeedButtonCancelCalibr->isHidden());
    QCOMPARE(form.ActionCalibr->text(), QStringLiteral("Начать настройку"));
    QCOMPARE(form.LabelCalibrMessage->text(), TTarvoDevice().GetCalibrMessage());
    QVERIFY(QTest::qWaitFor([] { return NothingQueued(); }, 3000));
    QCOMPARE(Rx(*sim_, 1).left(3).toHex(' '), Hex("02 64 09").toHex(' '));
    QCOMPARE(Get(QStringLiteral("get 1:2 calstep")), QStringLiteral("0"));
    QVERIFY(messages.boxes.isEmpty());
}

void TstPagesSim::refusedStep() {
    TScriptedMessages messages;
    TFormMain form;
    QVERIFY(Open(form, T118));
    QVERIFY(sim_->command(QStringLiteral("fault 0:1 adc on")).startsWith(QLatin1String("ok")));
    form.ActionCalibr->trigger();
    sim_->clearReceived(0);
    form.ActionCalibr->trigger();
    QTRY_COMPARE(form.PrgState(), PSPausePolling);
    QCOMPARE(messages.texts(), QStringList{modbus::ModbusErrorText(10)});
    QVERIFY(messages.allErrorBoxes());
    QCOMPARE(form.ActionCalibr->text(), QStringLiteral("Начать настройку"));
    QVERIFY(QTest::qWaitFor([] { return NothingQueued(); }, 3000));
    QCOMPARE(Rx(*sim_, 0).mid(9, 3).toHex(' '), Hex("01 64 09").toHex(' '));
}

QTEST_MAIN(TstPagesSim)
#include "tst_pages_sim.moc"
