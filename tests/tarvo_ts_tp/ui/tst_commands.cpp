// Commands of the main window against a hurried user and a faulty line, without a wire: the window's
// queries go to a recording sink, its replies are handed to the dispatcher, ports open as told.
#include "LcdIndicator.h"
#include "ScriptedMessages.h"
#include "TFormEnterCorrNSX.h"
#include "TFormMain.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

namespace {

const QString Timeout = QStringLiteral("Превышен таймаут ожидания ответа");
const QString PortLost = QStringLiteral("Порт не доступен");

// The window with its queries recorded and numbered as the link numbers them.
struct Rig {
    TFormMain form;
    QList<TModbusCmdQuery> sent;
    QList<TBaudRate> opened;
    bool portOpens = true;
    quint64 next = 100;

    Rig() {
        form.SetQuerySink([this](const TModbusCmdQuery& q) {
            TModbusCmdQuery c = q;
            c.Serial = ++next;
            sent << c;
            return c.Serial;
        });
        form.SetPortOpener([this](const QString&, TBaudRate rate) {
            opened << rate;
            return portOpens;
        });
    }
    // The reply to sent query `i` (its request fields, its number), successful unless `error`.
    void Reply(int i, const QString& error = {}, std::function<void(TModbusCmdQuery&)> fill = {}) {
        TModbusCmdQuery q = sent.at(i);
        q.ErrorString = error;
        if (fill)
            fill(q);
        form.DeliverResult(q);
        QCoreApplication::sendPostedEvents(&form);
    }
    void Deliver(const TModbusCmdQuery& q) {
        form.DeliverResult(q);
        QCoreApplication::sendPostedEvents(&form);
    }
    // Sent queries of function `fn`.
    int Count(int fn) const {
        int n = 0;
        for (const TModbusCmdQuery& q : sent)
            n += q.FuncCode == fn;
        return n;
    }
};

// A configuration reply: type `sensor`, three wires, -50..150, direct, 3,2 mA, averaging off,
// address 4, 9600 bps (code 4), 4-20 mA.
void FillConfig(TModbusCmdQuery& q, int sensor = 1, int baudCode = 4) {
    q.RegCount = 20;
    const std::uint8_t block[20] = {0, std::uint8_t(sensor), 0, 3, 0xFF, 0xCE, 0, 150, 0, 0,
                                    0, 1, 0, 0, 0, 4, 0, std::uint8_t(baudCode), 0, 1};
    std::copy_n(block, 20, q.Buffer.begin());
}

// Connects a transducer of type `typeId` at address 4.
void Connect(Rig& r, int typeId = 118, int sensor = 1) {
    r.form.SetPrgState(PSInit);
    TModbusCmdQuery id;
    id.SlaveAddr = 4;
    id.FuncCode = 17;
    id.RegCount = 66;
    id.Buffer[0] = std::uint8_t(typeId);
    id.Serial = 1;
    r.Deliver(id);
    QCOMPARE(r.sent.size(), 1); // the configuration read
    r.Reply(0, {}, [sensor](TModbusCmdQuery& q) { FillConfig(q, sensor); });
    QCOMPARE(r.form.PrgState(), PSPausePolling);
    r.sent.clear();
}

// Diagnostic values: 50.00 °C, raw value `raw`.
TModbusCmdQuery Diag(std::int32_t raw = 100000) {
    TModbusCmdQuery q;
    q.SlaveAddr = 4;
    q.FuncCode = 3;
    q.StartAddr = 33;
    q.RegCount = 24;
    q.Buffer[2] = 0x13;
    q.Buffer[3] = 0x88; // 5000
    for (int i = 0; i < 4; ++i)
        q.Buffer[std::size_t(4 + i)] = std::uint8_t(std::uint32_t(raw) >> (24 - 8 * i));
    return q;
}

// A message service that runs `onQuestion` while a question is open, then answers yes.
class QuestionDuring final : public TMessageService {
public:
    std::function<void()> onQuestion;
    QStringList texts;
    QuestionDuring() { previous_ = SetMessageService(this); }
    ~QuestionDuring() override { SetMessageService(previous_); }
    int MessageBox(const QString& text, const QString&, Icon icon, int) override {
        texts << text;
        if (icon == Icon::Question) {
            if (onQuestion)
                onQuestion();
            return Yes;
        }
        return Ok;
    }

private:
    TMessageService* previous_ = nullptr;
};

} // namespace

class TstCommands : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void secondPressOfCalibration();
    void secondPressOfWrite();
    void lateReplyOfAbandonedRun();
    void rateChangeNotReceived();
    void reopenFails();
    void portLostInCalibration();
    void failedPollsCount();
    void shownFieldTexts();
    void failedWriteReadsBack();
    void unknownSensorType();
    void correctionTexts();
    void answerAfterPortLost();
    void nsxDialogAfterPortLost();
    void longPortName();
    void sensorNameField();
    void valueTooLongForIndicator();
};

void TstCommands::secondPressOfCalibration() {
    TScriptedMessages messages;
    Rig r;
    Connect(r, 113);
    r.form.ActionCalibr->trigger(); // start: nothing sent
    QCOMPARE(r.form.PrgState(), PSCalibr);
    r.form.ActionCalibr->trigger(); // "Продолжить"
    r.form.ActionCalibr->trigger(); // the second click of a double click
    QCOMPARE(r.Count(100), 1);
    QVERIFY(r.form.CommandPending());
    r.Reply(0);
    QCOMPARE(r.form.CurrentDevice()->CalibrStep, 2);
    r.form.ActionCalibr->trigger();
    r.form.ActionCalibr->trigger();
    QCOMPARE(r.Count(100), 2);
    r.Reply(1);
    QCOMPARE(r.form.CurrentDevice()->CalibrStep, 3);
    // The current steps and the date take one press each too.
    for (int step = 3; step <= 4; ++step) {
        r.form.ActionCalibr->trigger();
        r.form.ActionCalibr->trigger();
        QCOMPARE(r.sent.size(), step);
        QCOMPARE(int(r.sent.last().CalibrStep), step);
        r.Reply(r.sent.size() - 1);
    }
    QCOMPARE(int(r.sent.last().CalibrStep), 5); // the date went out once by itself
    r.form.ActionCalibr->trigger();
    QCOMPARE(r.Count(100), 5);
    QVERIFY(messages.boxes.isEmpty());
}

void TstCommands::secondPressOfWrite() {
    TScriptedMessages messages;
    Rig r;
    Connect(r);
    r.form.PageControl->setCurrentWidget(r.form.TabSheetDeviceConfig);
    r.form.JvSpinEditConfSlaveID->setValue(9);
    r.form.ActionWriteConfig->trigger();
    r.form.ActionWriteConfig->trigger();
    r.form.ActionReadConfig->trigger(); // a conflicting command waits too
    QCOMPARE(r.sent.size(), 1);
    QCOMPARE(int(r.sent[0].SlaveAddr), 4);
    r.Reply(0);
    QCOMPARE(r.sent.size(), 2); // the read-back at the new address
    QCOMPARE(int(r.sent[1].SlaveAddr), 9);
    r.Reply(1, {}, [](TModbusCmdQuery& q) {
        FillConfig(q);
        q.Buffer[15] = 9;
    });
    QCOMPARE(int(r.form.CurrentDevice()->ModbusAddr), 9);
    QVERIFY(!r.form.CommandPending());
    QVERIFY(messages.boxes.isEmpty());
}

void TstCommands::lateReplyOfAbandonedRun() {
    Rig r;
    Connect(r, 113);
    r.form.ActionCalibr->trigger();
    r.form.ActionCalibr->trigger(); // step 1 goes out
    r.form.SpeedButtonCancelCalibr->click();
    QCOMPARE(r.form.PrgState(), PSPausePolling);
    r.form.ActionCalibr->trigger(); // a new run
    QCOMPARE(r.form.CurrentDevice()->CalibrStep, 1);
    r.Reply(0); // the late reply of the first run
    QCOMPARE(r.form.CurrentDevice()->CalibrStep, 1);
    r.form.ActionCalibr->trigger();
    QCOMPARE(r.sent.last().CalibrStep, 1);
    r.Reply(r.sent.size() - 1);
    QCOMPARE(r.form.CurrentDevice()->CalibrStep, 2);
}

// The write of a new rate is lost, nothing answers at the new rate, the transducer answers at the old.
void TstCommands::rateChangeNotReceived() {
    TScriptedMessages messages;
    Rig r;
    Connect(r);
    r.form.PageControl->setCurrentWidget(r.form.TabSheetDeviceConfig);
    r.form.ComboBoxConfBaudrate->setEditText(QStringLiteral("19200"));
    r.form.ActionWriteConfig->trigger();
    QCOMPARE(r.sent.size(), 1);
    r.Reply(0, Timeout);
    QCOMPARE(r.opened, QList<TBaudRate>{CBR_19200});
    QCOMPARE(r.sent.size(), 2);
    r.Reply(1, Timeout);
    QCOMPARE(r.opened, (QList<TBaudRate>{CBR_19200, CBR_9600}));
    QCOMPARE(r.sent.size(), 3);
    QCOMPARE(int(r.sent[2].FuncCode), 3);
    r.Reply(2, {}, [](TModbusCmdQuery& q) { FillConfig(q); });
    QCOMPARE(r.form.PrgState(), PSPausePolling);
    QCOMPARE(r.form.CurrentDevice()->Baudrate, CBR_9600);
    QCOMPARE(r.form.CurrentDevice()->NewBaudrate, CBR_9600);
    QCOMPARE(messages.texts(),
             QStringList{QStringLiteral("Конфигурация не изменена: преобразователь отвечает на прежней скорости 9600 бод")});
    QVERIFY(r.form.StatusPanels[3]->text().isEmpty());
    QCOMPARE(r.form.ComboBoxConfBaudrate->currentText(), QStringLiteral("9600"));
    // Polls then go out as before.
    r.form.StartDiagnostics();
    QCOMPARE(r.form.PrgState(), PSPolling);
}

// The port does not open again at the new rate: a lost port, one box, no hourglass.
void TstCommands::reopenFails() {
    TScriptedMessages messages;
    Rig r;
    Connect(r);
    r.form.PageControl->setCurrentWidget(r.form.TabSheetDeviceConfig);
    r.form.ComboBoxConfBaudrate->setEditText(QStringLiteral("19200"));
    r.form.ActionWriteConfig->trigger();
    r.portOpens = false;
    r.Reply(0);
    QCOMPARE(r.form.PrgState(), PSNoDevice);
    QCOMPARE(messages.texts(), QStringList{PortLost});
    QCOMPARE(r.sent.size(), 1);
    QCOMPARE(r.form.StatusPanels[0]->text(), QStringLiteral("Соединение не установлено"));
    QCOMPARE(r.form.StatusPanels[3]->text(), PortLost);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(r.form.ActionConnect->text(), QStringLiteral("Подключить"));
    QVERIFY(!r.form.CommandPending());
}

void TstCommands::portLostInCalibration() {
    TScriptedMessages messages;
    Rig r;
    Connect(r, 113);
    r.form.ActionCalibr->trigger();
    r.form.ActionCalibr->trigger();
    r.Reply(0, PortLost);
    QCOMPARE(r.form.PrgState(), PSNoDevice);
    QCOMPARE(messages.texts(), QStringList{PortLost});
    QCOMPARE(r.sent.size(), 1); // nothing sent to a port that is gone
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(r.form.SpeedButtonCancelCalibr->isHidden());
    QCOMPARE(r.form.ActionCalibr->text(), QStringLiteral("Начать настройку"));
    QCOMPARE(r.form.ActionConnect->text(), QStringLiteral("Подключить"));
    QVERIFY(r.form.ActionFind->isEnabled());
}

// Bad CRC, another address, an exception, a cut reply: each failed poll counts and says what failed.
void TstCommands::failedPollsCount() {
    TScriptedMessages messages;
    Rig r;
    Connect(r);
    r.form.StartDiagnostics();
    r.Deliver(Diag());
    QVERIFY(!r.form.IndicatorT->Indicatorstring().isEmpty());
    const QStringList failures{QStringLiteral("Ошибка CRC"), QStringLiteral("Ответ получен от другого адреса Slave"),
                               QStringLiteral("Неверная длина ответа")};
    for (int i = 0; i < 3; ++i) {
        TModbusCmdQuery q = Diag();
        q.ErrorString = failures[i];
        r.Deliver(q);
        QCOMPARE(r.form.NoAnswerCount(), i + 1);
        QCOMPARE(r.form.StatusPanels[3]->text(), failures[i]);
    }
    r.Deliver(Diag()); // a good poll clears the count and the text
    QCOMPARE(r.form.NoAnswerCount(), 0);
    QVERIFY(r.form.StatusPanels[3]->text().isEmpty());
    for (int i = 0; i < 4; ++i) {
        TModbusCmdQuery q = Diag();
        q.ErrorString = failures[0];
        r.Deliver(q);
    }
    QCOMPARE(r.form.PrgState(), PSPausePolling);
    QCOMPARE(messages.texts(), QStringList{failures[0]});
}

// What a field shows is what a command uses: a text that is no value is refused, nothing sent.
void TstCommands::shownFieldTexts() {
    TScriptedMessages messages;
    Rig r;
    Connect(r);
    r.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&r.form));
    r.form.PageControl->setCurrentWidget(r.form.TabSheetDeviceConfig);
    QSpinBox* addr = r.form.JvSpinEditConfSlaveID;
    addr->setFocus();
    addr->selectAll();
    QTest::keyClicks(addr, QStringLiteral("0"));
    QCOMPARE(addr->text(), QStringLiteral("0"));
    r.form.ActionWriteConfig->trigger();
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("Недопустимое значение адреса: введите число от 1 до 247")});
    addr->selectAll();
    QTest::keyClick(addr, Qt::Key_Delete);
    r.form.ActionWriteConfig->trigger();
    QCOMPARE(messages.boxes.size(), 2);
    QVERIFY(r.sent.isEmpty());
    addr->selectAll();
    QTest::keyClicks(addr, QStringLiteral("7"));
    r.form.ActionWriteConfig->trigger();
    QCOMPARE(r.sent.size(), 1);
    QCOMPARE(int(r.sent[0].Buffer[15]), 7);
}

void TstCommands::failedWriteReadsBack() {
    TScriptedMessages messages;
    Rig r;
    Connect(r);
    r.form.PageControl->setCurrentWidget(r.form.TabSheetDeviceConfig);
    r.form.JvSpinEditConfSlaveID->setValue(9);
    r.form.ActionWriteConfig->trigger();
    r.Reply(0, Timeout);
    QCOMPARE(messages.texts(), QStringList{Timeout});
    QCOMPARE(r.sent.size(), 2);
    QCOMPARE(int(r.sent[1].FuncCode), 3);
    QCOMPARE(int(r.sent[1].StartAddr), 49);
    QCOMPARE(int(r.sent[1].SlaveAddr), 4);
    r.Reply(1, {}, [](TModbusCmdQuery& q) { FillConfig(q); });
    QCOMPARE(r.form.JvSpinEditConfSlaveID->value(), 4); // the page shows what the transducer holds
}

void TstCommands::unknownSensorType() {
    TScriptedMessages messages;
    Rig r;
    r.form.CheckListBoxSensorType->item(10)->setCheckState(Qt::Checked); // left from earlier
    Connect(r, 118, 12);
    for (int i = 0; i < r.form.CheckListBoxSensorType->count(); ++i)
        QCOMPARE(r.form.CheckListBoxSensorType->item(i)->checkState(), Qt::Unchecked);
    r.form.PageControl->setCurrentWidget(r.form.TabSheetDeviceConfig);
    r.form.JvSpinEditConfSlaveID->setValue(6);
    r.form.ActionWriteConfig->trigger();
    QCOMPARE(r.sent.size(), 1);
    QCOMPARE(int(r.sent[0].Buffer[1]), 12);
    QVERIFY(messages.boxes.isEmpty());
}

// A refused correction leaves no "Подстройка ..." behind.
void TstCommands::correctionTexts() {
    TScriptedMessages messages;
    messages.answer = TMessageService::Yes;
    Rig r;
    Connect(r);
    r.form.StartDiagnostics();
    r.form.PerformZeroCorrection();
    QCOMPARE(r.form.StatusPanels[3]->text(), QStringLiteral("Подстройка 0 °С..."));
    r.form.PerformZeroCorrection(); // waits for its reply
    QCOMPARE(r.Count(101), 1);
    r.Reply(int(r.sent.size()) - 1, QStringLiteral("Ошибка CRC"));
    QVERIFY(r.form.StatusPanels[3]->text().isEmpty());
    r.Deliver(Diag());
    r.form.PerformNSXCorrection();
    QCOMPARE(r.form.StatusPanels[3]->text(), QStringLiteral("Подстройка НСХ..."));
    r.Reply(int(r.sent.size()) - 1, QStringLiteral("Ошибка CRC"));
    QVERIFY(r.form.StatusPanels[3]->text().isEmpty());
}

void TstCommands::answerAfterPortLost() {
    QuestionDuring messages;
    Rig r;
    Connect(r);
    r.form.StartDiagnostics();
    const int before = int(r.sent.size());
    messages.onQuestion = [&r] {
        TModbusCmdQuery lost = Diag();
        lost.ErrorString = PortLost;
        r.Deliver(lost);
    };
    r.form.PerformZeroCorrection();
    QCOMPARE(r.form.PrgState(), PSNoDevice);
    QCOMPARE(int(r.sent.size()), before);
    QCOMPARE(r.form.StatusPanels[3]->text(), PortLost);
}

void TstCommands::nsxDialogAfterPortLost() {
    TScriptedMessages messages;
    messages.answer = TMessageService::Yes;
    Rig r;
    Connect(r);
    r.form.StartDiagnostics();
    r.Deliver(Diag());
    r.form.SetNsxDialogRunner([&r](TFormEnterCorrNSX&) {
        TModbusCmdQuery lost = Diag();
        lost.ErrorString = PortLost;
        r.Deliver(lost);
        return int(QDialog::Rejected);
    });
    r.form.PerformNSXCorrection();
    const int sent = int(r.sent.size());
    r.Reply(sent - 1); // step 1 answered: the dialog opens
    QCOMPARE(r.form.PrgState(), PSNoDevice);
    QCOMPARE(r.form.StatusPanels[3]->text(), PortLost);
    QCOMPARE(int(r.sent.size()), sent);
}

void TstCommands::longPortName() {
    Rig r;
    r.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&r.form));
    const QString name =
        QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0 (115200)");
    r.form.SetPanel(1, name);
    QCoreApplication::processEvents();
    QCOMPARE(r.form.StatusPanels[1]->toolTip(), name);
    QVERIFY(r.form.StatusPanels[1]->text() != name);
    QVERIFY(r.form.StatusPanels[1]->text().endsWith(QStringLiteral("(115200)")));
    QVERIFY2(r.form.StatusPanels[3]->width() >= 200, qPrintable(QString::number(r.form.StatusPanels[3]->width())));
    r.form.SetPanel(1, QStringLiteral("ttyUSB0 (9600)"));
    QCOMPARE(r.form.StatusPanels[1]->text(), QStringLiteral("ttyUSB0 (9600)"));
}

void TstCommands::sensorNameField() {
    TScriptedMessages messages;
    Rig r;
    Connect(r);
    const QString emoji = QString::fromUcs4(U"\U0001F600", 1);
    r.form.EditSensorName->setText(QString(27, QLatin1Char('a')) + emoji);
    const QString held = r.form.EditSensorName->text();
    QVERIFY(held.isEmpty() || !held.back().isHighSurrogate());
    QCOMPARE(held, QString(27, QLatin1Char('a')));
    r.form.EditSensorName->setText(QStringLiteral("Датчик\t中"));
    QCOMPARE(r.form.EditSensorName->text(), QStringLiteral("Датчик\t中"));
    r.form.EditSensorNumber->setText(QStringLiteral("5"));
    r.form.ActionWriteDopDataExecute();
    QCOMPARE(messages.texts(),
             QStringList{QStringLiteral("Тип датчика содержит символы, которые преобразователь не может хранить: "
                                        "табуляция, «中». Замените их.")});
    QVERIFY(r.sent.isEmpty());
    r.form.EditSensorName->setText(QStringLiteral("Датчик 5"));
    r.form.ActionWriteDopDataExecute();
    QCOMPARE(r.sent.size(), 1);
}

void TstCommands::valueTooLongForIndicator() {
    Rig r;
    Connect(r);
    r.form.StartDiagnostics();
    r.Deliver(Diag(std::numeric_limits<std::int32_t>::min()));
    QCOMPARE(r.form.IndicatorRU->Indicatorstring(), QStringLiteral("-OL"));
    r.Deliver(Diag(-50000));
    QCOMPARE(r.form.IndicatorRU->Indicatorstring(), QStringLiteral("-50.000"));
}

QTEST_MAIN(TstCommands)
#include "tst_commands.moc"
