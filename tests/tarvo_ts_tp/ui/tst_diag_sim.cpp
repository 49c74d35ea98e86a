// The diagnostics page against the simulator: measured values as shown, unanswered polls, the page rule,
// the zero and NSX corrections with their refusals, and a lost port.
#include "DockTraffic.h"
#include "LcdIndicator.h"
#include "ModbusRtu.h"
#include "ResidentSet.h"
#include "ScriptedMessages.h"
#include "SimForm.h"
#include "TFormEnterCorrNSX.h"
#include "TrafficModel.h"

#include <QAction>
#include <QApplication>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>

using namespace simform;

namespace {

// Bus 0 at 57600: a thermocouple (118 at 1), a four-wire (115 at 5) and a three-wire (116 at 7)
// resistance thermometer.
const char* const Buses = R"({ "buses": [
  { "rate": 57600, "transducers": [
      { "type": 118, "address": 1, "rate": 57600, "sensortype": 7, "low": 0, "high": 500, "temp": 25.12,
        "raw": 1234, "body": 31.5, "diag": 0, "caldate": "05.03.2019", "calnum": 3 },
      { "type": 115, "address": 5, "rate": 57600, "sensortype": 1, "scheme": 4, "temp": -12.5, "raw": 95123,
        "body": 24, "diag": 3, "caldate": "none", "calnum": 0 },
      { "type": 116, "address": 7, "rate": 57600, "sensortype": 5, "scheme": 3, "temp": 40, "raw": 117120,
        "rline": 1234, "body": 22.25, "diag": 4, "caldate": "31.12.2020", "calnum": 65535 } ] } ] })";

constexpr int R57600 = 6;
const QString NoAnswer = QStringLiteral("Преобразователь не отвечает на запрос");

struct Shown {
    QString t, ruLabel, ru, ruUnits, rline, tkor, selfDiag, date, number;
    bool rlineEnabled;
};

} // namespace

class TstDiagSim : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void values_data();
    void values();
    void noTemperature();
    void unansweredPolls();
    void leavingThePageStops();
    void portLost();
    void trafficViewHoldsTheWire();
    void zeroCorrection();
    void nsxRefusedBeforeSending();
    void nsxCorrection();
    void memoryStaysFlat();

private:
    bool Start(TFormMain& form, int addr) {
        if (!Connect(form, sim_->portPath(0), R57600, addr))
            return false;
        form.ActionStartStopDiagnostics->trigger();
        return form.PrgState() == PSPolling;
    }
    QString Cmd(const QString& line) { return sim_->command(line); }
    std::unique_ptr<SimFixture> sim_;
};

void TstDiagSim::initTestCase() {
    QLocale::setDefault(QLocale::c());
}

void TstDiagSim::init() {
    sim_ = std::make_unique<SimFixture>(QByteArray(Buses));
    QString error;
    QVERIFY2(sim_->start(&error), qPrintable(error));
}

void TstDiagSim::cleanup() {
    DestroyCommThread();
    QVERIFY(!QApplication::overrideCursor());
    sim_.reset();
}

void TstDiagSim::values_data() {
    QTest::addColumn<int>("addr");
    QTest::addColumn<QStringList>("shown"); // T, R/U label, value, units, R line, T body, date, number
    QTest::addColumn<bool>("rline");
    QTest::addColumn<int>("diag");
    QTest::newRow("thermocouple") << 1
                                  << QStringList{"25.12", "U", "1234", "мкВ", "", "31.50", "05.03.2019", "3"}
                                  << false << 0;
    QTest::newRow("four wires") << 5
                                << QStringList{"-12.50", "R", "95.123", "Ом", "", "24.00", "--------", "0"}
                                << false << 3;
    QTest::newRow("three wires") << 7 << QStringList{"40.00", "R",     "117.120",    "Ом",
                                                     "1.234", "22.25", "31.12.2020", "65535"}
                                 << true << 4;
}

void TstDiagSim::values() {
    QFETCH(int, addr);
    QFETCH(QStringList, shown);
    QFETCH(bool, rline);
    QFETCH(int, diag);
    TScriptedMessages messages;
    TFormMain form;
    QVERIFY(Start(form, addr));
    QCOMPARE(form.PageControl->currentWidget(), form.TabSheetDiag);
    QVERIFY(form.TimerDiagPoll->isActive());
    QCOMPARE(form.TimerDiagPoll->interval(), 2000);
    QCOMPARE(form.ActionStartStopDiagnostics->text(), QStringLiteral("Завершить измерения"));
    QVERIFY(form.ActionZeroCorrection->isEnabled());
    QTRY_VERIFY(!form.IndicatorT->Indicatorstring().isEmpty());
    const QStringList seen{form.IndicatorT->Indicatorstring(),          form.LabelRU->text(),
                           form.IndicatorRU->Indicatorstring(),         form.LabelRUUnits->text(),
                           form.IndicatorRline->Indicatorstring(),      form.IndicatorTkor->Indicatorstring(),
                           form.IndicatorCalibrDate->Indicatorstring(), form.EditCalibrNum->text()};
    QCOMPARE(seen, shown);
    QCOMPARE(form.IndicatorRline->isEnabled(), rline);
    QCOMPARE(form.LabelRLine->isEnabled(), rline);
    QCOMPARE(form.LabelRLineUnits->isEnabled(), rline);
    // Shown with one line break where the text has LF CR.
    QCOMPARE(form.LabelSelfDiag->text(), SelfDiagText(diag).replace(QStringLiteral("\n\r"), QStringLiteral("\n")));

    // The values follow the transducer at the next poll.
    QVERIFY(Cmd(QStringLiteral("set 0:%1 temp 55.5").arg(addr)).startsWith(QLatin1String("ok")));
    QTRY_COMPARE_WITH_TIMEOUT(form.IndicatorT->Indicatorstring(), QStringLiteral("55.50"), 3000);

    form.ActionStartStopDiagnostics->trigger();
    QCOMPARE(form.PrgState(), PSPausePolling);
    QVERIFY(!form.TimerDiagPoll->isActive());
    QVERIFY(form.IndicatorT->Indicatorstring().isEmpty());
    QVERIFY(form.EditCalibrNum->text().isEmpty());
    QVERIFY(form.LabelSelfDiag->text().isEmpty());
    QCOMPARE(form.ActionStartStopDiagnostics->text(), QStringLiteral("Начать измерения"));
    QVERIFY(!form.ActionZeroCorrection->isEnabled());
    QVERIFY(messages.boxes.isEmpty());
}

void TstDiagSim::noTemperature() {
    TScriptedMessages messages;
    TFormMain form;
    QVERIFY(Cmd(QStringLiteral("set 0:7 temp none")).startsWith(QLatin1String("ok")));
    QVERIFY(Cmd(QStringLiteral("set 0:7 rline none")).startsWith(QLatin1String("ok")));
    QVERIFY(Start(form, 7));
    QTRY_COMPARE(form.IndicatorT->Indicatorstring(), QStringLiteral("-------"));
    QCOMPARE(form.IndicatorRline->Indicatorstring(), QStringLiteral("-0.001"));
    QVERIFY(form.IndicatorRline->isEnabled());
    // No temperature, no NSX correction.
    form.ActionNSXCorrection->trigger();
    QCOMPARE(messages.texts(),
             QStringList{QStringLiteral("Температура находится вне диапазона допустимых значений!")});
    QVERIFY(messages.allErrorBoxes());
}

void TstDiagSim::unansweredPolls() {
    TScriptedMessages messages;
    TFormMain form;
    QVERIFY(Start(form, 1));
    QTRY_VERIFY(!form.IndicatorT->Indicatorstring().isEmpty());
    form.TimerDiagPoll->stop(); // the polls are driven below, one after the other
    QVERIFY(QTest::qWaitFor([] { return NothingQueued(); }, 3000));
    QVERIFY(Cmd(QStringLiteral("fault 0:1 silent on")).startsWith(QLatin1String("ok")));
    for (int i = 1; i <= 3; ++i) {
        form.TimerDiagPollTimer();
        QTRY_COMPARE_WITH_TIMEOUT(form.NoAnswerCount(), i, 3000);
        QCOMPARE(form.StatusPanels[3]->text(), NoAnswer);
        QCOMPARE(form.PrgState(), PSPolling);
    }
    // A good poll in between starts the count again.
    QVERIFY(Cmd(QStringLiteral("fault 0:1 silent off")).startsWith(QLatin1String("ok")));
    form.TimerDiagPollTimer();
    QTRY_COMPARE_WITH_TIMEOUT(form.NoAnswerCount(), 0, 3000);
    QTRY_VERIFY(form.StatusPanels[3]->text().isEmpty());
    QVERIFY(Cmd(QStringLiteral("fault 0:1 silent on")).startsWith(QLatin1String("ok")));
    for (int i = 1; i <= 3; ++i) {
        form.TimerDiagPollTimer();
        QTRY_COMPARE_WITH_TIMEOUT(form.NoAnswerCount(), i, 3000);
    }
    QVERIFY(messages.boxes.isEmpty());
    form.TimerDiagPoll->start();
    form.TimerDiagPollTimer();
    QTRY_COMPARE_WITH_TIMEOUT(form.PrgState(), PSPausePolling, 3000);
    QCOMPARE(messages.texts(), QStringList{NoAnswer});
    QVERIFY(messages.allErrorBoxes());
    QCOMPARE(form.NoAnswerCount(), 0);
    QVERIFY(!form.TimerDiagPoll->isActive());
    QVERIFY(form.IndicatorT->Indicatorstring().isEmpty());
}

void TstDiagSim::leavingThePageStops() {
    TScriptedMessages messages;
    TFormMain form;
    QVERIFY(Start(form, 5));
    QTRY_VERIFY(!form.IndicatorT->Indicatorstring().isEmpty());
    form.PageControl->setCurrentWidget(form.TabSheetDeviceConfig);
    QCOMPARE(form.PrgState(), PSPausePolling);
    QVERIFY(!form.TimerDiagPoll->isActive());
    for (TLcdIndicator* ind : {form.IndicatorT, form.IndicatorRU, form.IndicatorRline, form.IndicatorTkor,
                               form.IndicatorCalibrDate})
        QVERIFY(ind->Indicatorstring().isEmpty());
    QVERIFY(form.LabelSelfDiag->text().isEmpty());
    // A poll answered after the stop shows nothing.
    QVERIFY(QTest::qWaitFor([] { return NothingQueued(); }, 3000));
    QCoreApplication::processEvents();
    QVERIFY(form.IndicatorT->Indicatorstring().isEmpty());
    QVERIFY(messages.boxes.isEmpty());
}

void TstDiagSim::portLost() {
    TScriptedMessages messages;
    TFormMain form;
    QVERIFY(Start(form, 1));
    QTRY_VERIFY(!form.IndicatorT->Indicatorstring().isEmpty());
    QVERIFY(Cmd(QStringLiteral("hangup 0")).startsWith(QLatin1String("ok")));
    QTRY_COMPARE_WITH_TIMEOUT(form.PrgState(), PSNoDevice, 5000);
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("Порт не доступен")});
    QVERIFY(!form.TimerDiagPoll->isActive());
    QVERIFY(!CommThreadConnected());
    QCOMPARE(form.PageControl->currentWidget(), form.TabSheetConnect);
    QVERIFY(form.IndicatorT->Indicatorstring().isEmpty());
    QCOMPARE(form.StatusPanels[0]->text(), QStringLiteral("Соединение не установлено"));
    QVERIFY(form.StatusPanels[1]->text().isEmpty());
    QVERIFY(form.StatusPanels[2]->text().isEmpty());
}

void TstDiagSim::trafficViewHoldsTheWire() {
    // The view opened from the menu while measuring holds exactly the frames on the wire, in order,
    // and leaves the tap once closed.
    TScriptedMessages messages;
    TFormMain form;
    form.show();
    QVERIFY(Connect(form, sim_->portPath(0), R57600, 1));
    QVERIFY(!form.DockTraffic->Listening());
    form.ActionTraffic->trigger();
    QVERIFY(form.DockTraffic->isVisible());
    QVERIFY(form.DockTraffic->isFloating());
    QVERIFY(form.DockTraffic->Listening());
    sim_->clearReceived(0);
    sim_->clearTransmitted(0);
    form.ActionStartStopDiagnostics->trigger();
    QVERIFY(QTest::qWaitFor([&] { return form.DockTraffic->Model()->FrameCount() >= 4; }, 6000));
    form.ActionStartStopDiagnostics->trigger();
    QVERIFY(QTest::qWaitFor([] { return NothingQueued(); }, 3000));
    QTest::qWait(600); // the view takes what waits at most every 500 ms
    if (const QString dir = qEnvironmentVariable("TARVO_SCREENSHOT_DIR"); !dir.isEmpty()) {
        form.grab().save(dir + QStringLiteral("/tarvo_ts_tp-traffic-window.png"));
        form.DockTraffic->grab().save(dir + QStringLiteral("/tarvo_ts_tp-traffic-dock.png"));
    }
    const traffic::TTrafficModel* model = form.DockTraffic->Model();
    QByteArray requests, replies;
    for (int i = 0; i < model->FrameCount(); ++i) {
        const traffic::TTrafficRow& row = model->Row(i);
        (row.direction == traffic::TDirection::Request ? requests : replies) += row.bytes;
        QCOMPARE(row.verdict, QStringLiteral("Норма"));
    }
    QCOMPARE(requests.toHex(' '), Rx(*sim_, 0).toHex(' '));
    QCOMPARE(replies.toHex(' '), SimFixture::bytes(sim_->transmitted(0)).toHex(' '));
    form.DockTraffic->close();
    QVERIFY(!form.ActionTraffic->isChecked());
    QVERIFY(!form.DockTraffic->Listening());
    QVERIFY(messages.texts().isEmpty());
}

void TstDiagSim::zeroCorrection() {
    TScriptedMessages messages;
    messages.answer = TMessageService::Yes;
    TFormMain form;
    QVERIFY(Start(form, 5));
    form.ActionZeroCorrection->trigger();
    QCOMPARE(messages.boxes.size(), 1);
    QCOMPARE(messages.boxes[0].text, QStringLiteral("Провести подстройку \"0\"?"));
    QCOMPARE(messages.boxes[0].icon, TMessageService::Icon::Question);
    QCOMPARE(messages.boxes[0].buttons, TMessageService::Yes | TMessageService::No);
    QCOMPARE(form.StatusPanels[3]->text(), QStringLiteral("Подстройка 0 °С..."));
    QTRY_COMPARE(form.StatusPanels[3]->text(), QStringLiteral("Подстройка 0 °С выполнена"));
    QCOMPARE(Cmd(QStringLiteral("get 0:5 zerodone")), QStringLiteral("ok 1"));

    // Once more: the transducer refuses with its own text.
    form.ActionZeroCorrection->trigger();
    QTRY_COMPARE(messages.boxes.size(), 3);
    QCOMPARE(messages.boxes[2].text, modbus::ModbusErrorText(13));
    QCOMPARE(messages.boxes[2].icon, TMessageService::Icon::Error);
    QCOMPARE(form.PrgState(), PSPolling);

    form.ActionResetZeroCorrection->trigger();
    QCOMPARE(messages.boxes[3].text,
             QStringLiteral("Сбросить значение поправочного коэффициента на значение по-умолчанию?"));
    QCOMPARE(form.StatusPanels[3]->text(), QStringLiteral("Сброс подстройки 0 °С..."));
    QTRY_COMPARE(form.StatusPanels[3]->text(), QStringLiteral("Подстройка 0 °С сброшена"));
    QCOMPARE(Cmd(QStringLiteral("get 0:5 zerodone")), QStringLiteral("ok 0"));

    // "No" sends nothing.
    messages.answer = TMessageService::No;
    form.TimerDiagPoll->stop();
    QVERIFY(QTest::qWaitFor([] { return NothingQueued(); }, 3000));
    sim_->clearReceived(0);
    form.ActionZeroCorrection->trigger();
    form.ActionResetZeroCorrection->trigger();
    QVERIFY(NothingQueued());
    QCOMPARE(form.StatusPanels[3]->text(), QStringLiteral("Подстройка 0 °С сброшена"));
    QCOMPARE(messages.boxes.size(), 6);
}

void TstDiagSim::nsxRefusedBeforeSending() {
    TScriptedMessages messages;
    messages.answer = TMessageService::Yes;
    TFormMain form;
    QVERIFY(Start(form, 1));
    QTRY_VERIFY(!form.IndicatorT->Indicatorstring().isEmpty());
    form.TimerDiagPoll->stop();
    QVERIFY(QTest::qWaitFor([] { return NothingQueued(); }, 3000));
    form.ActionNSXCorrection->trigger(); // 25.12 °C lies in the band of type 7
    QCOMPARE(messages.texts(),
             QStringList{QStringLiteral(
                 "Температура находится в диапазоне недопустимых значений: от -55 °C до 90 °C!")});
    QVERIFY(messages.allErrorBoxes());
    QVERIFY(NothingQueued());
    QVERIFY(form.StatusPanels[3]->text().isEmpty());
}

void TstDiagSim::nsxCorrection() {
    TScriptedMessages messages;
    messages.answer = TMessageService::Yes;
    TFormMain form;
    QVERIFY(Cmd(QStringLiteral("set 0:1 temp 100")).startsWith(QLatin1String("ok")));
    QVERIFY(Start(form, 1));
    QTRY_COMPARE(form.IndicatorT->Indicatorstring(), QStringLiteral("100.00"));
    form.TimerDiagPoll->stop();
    QVERIFY(QTest::qWaitFor([] { return NothingQueued(); }, 3000));

    // The dialog is scripted: it records what it offered and answers with `entered` (NaN: cancelled).
    double entered = 99.996;
    double offered = 0;
    QString prompt;
    form.SetNsxDialogRunner([&](TFormEnterCorrNSX& dialog) {
        offered = dialog.JvSpinEditCorrNSXRealTemp->value();
        prompt = dialog.LabelEnter->text();
        if (std::isnan(entered))
            return int(QDialog::Rejected);
        dialog.JvSpinEditCorrNSXRealTemp->setValue(entered);
        return int(QDialog::Accepted);
    });
    sim_->clearReceived(0);
    form.ActionNSXCorrection->trigger();
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("Провести подстройку НСХ?")});
    QCOMPARE(form.StatusPanels[3]->text(), QStringLiteral("Подстройка НСХ..."));
    QTRY_COMPARE(form.StatusPanels[3]->text(), QStringLiteral("Подстройка НСХ выполнена"));
    QCOMPARE(offered, 100.0);
    QCOMPARE(prompt,
             QStringLiteral("Введите значение измеренной температуры\r\n менее -55 °C или более 90 °C"));
    const QByteArray rx = Rx(*sim_, 0);
    QCOMPARE(rx.left(7).toHex(' '), Hex("01 66 01 00 00 00 00").toHex(' '));
    QCOMPARE(rx.mid(9, 7).toHex(' '), Hex("01 66 02 00 00 27 10").toHex(' '));
    QCOMPARE(Cmd(QStringLiteral("get 0:1 nsxdone")), QStringLiteral("ok 1"));

    form.ActionResetNSXCorrection->trigger();
    QCOMPARE(messages.texts().last(), QStringLiteral("Сбросить подстройку НСХ?"));
    QCOMPARE(form.StatusPanels[3]->text(), QStringLiteral("Сброс подстройки НСХ..."));
    QTRY_COMPARE(form.StatusPanels[3]->text(), QStringLiteral("Подстройка НСХ сброшена"));
    QCOMPARE(Cmd(QStringLiteral("get 0:1 nsxdone")), QStringLiteral("ok 0"));

    // Cancelling the dialog.
    entered = std::nan("");
    form.ActionNSXCorrection->trigger();
    QTRY_COMPARE(form.StatusPanels[3]->text(), QStringLiteral("Процедура подстройки НСХ отменена"));

    // A temperature in the band is refused by the program, one far from the measured one by the transducer.
    messages.boxes.clear();
    entered = 50;
    form.ActionNSXCorrection->trigger();
    QTRY_COMPARE(messages.boxes.size(), 2);
    QCOMPARE(messages.boxes[1].text,
             QStringLiteral("Температура находится в диапазоне недопустимых значений: от -55 °C до 90 °C!"));
    // The refused correction has ended: its status text goes with it.
    QVERIFY(form.StatusPanels[3]->text().isEmpty());
    entered = 200;
    form.ActionNSXCorrection->trigger();
    QTRY_COMPARE(messages.boxes.size(), 4);
    QCOMPARE(messages.boxes[3].text, modbus::ModbusErrorText(16));
    QCOMPARE(messages.boxes[3].icon, TMessageService::Icon::Error);
    QCOMPARE(form.PrgState(), PSPolling);

    // Measurements stopped while the dialog is open: the second step is dropped.
    form.SetNsxDialogRunner([&form](TFormEnterCorrNSX& dialog) {
        form.StopDiagnostics();
        dialog.JvSpinEditCorrNSXRealTemp->setValue(100);
        return int(QDialog::Accepted);
    });
    QVERIFY(QTest::qWaitFor([] { return NothingQueued(); }, 3000));
    sim_->clearReceived(0);
    form.ActionNSXCorrection->trigger();
    QTRY_COMPARE(form.PrgState(), PSPausePolling);
    QVERIFY(QTest::qWaitFor([] { return NothingQueued(); }, 3000));
    QCOMPARE(Rx(*sim_, 0).toHex(' ').left(20), Hex("01 66 01 00 00 00 00").toHex(' '));
    QCOMPARE(Rx(*sim_, 0).size(), 9);
    QCOMPARE(messages.boxes.size(), 5);
}

// Not part of the suite: TARVO_MEMORY_CHECK=1 runs 1000 real polls and reports the resident set size.
void TstDiagSim::memoryStaysFlat() {
    if (qEnvironmentVariableIntValue("TARVO_MEMORY_CHECK") == 0)
        QSKIP("set TARVO_MEMORY_CHECK=1 to run 1000 polls");
    TScriptedMessages messages;
    TFormMain form;
    QVERIFY(Start(form, 7));
    form.TimerDiagPoll->stop();
    auto polls = [&form](int count) {
        for (int i = 0; i < count; ++i) {
            form.TimerDiagPollTimer();
            if (!QTest::qWaitFor([] { return NothingQueued(); }, 3000))
                return false;
            QCoreApplication::processEvents();
        }
        return true;
    };
    QVERIFY(polls(100)); // warm-up: caches, fonts, pixmaps
    const int before = ResidentSetKb();
    QVERIFY(polls(1000));
    const int after = ResidentSetKb();
    qInfo("VmRSS after 100 polls: %d kB, after 1000 more: %d kB (%+d kB)", before, after, after - before);
    QVERIFY(after - before < 512);
    QVERIFY(messages.boxes.isEmpty());
}

QTEST_MAIN(TstDiagSim)
#include "tst_diag_sim.moc"
