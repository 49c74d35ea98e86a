// The main window against the transducer simulator: direct connection, a silent address, searches over
// ports and rates, cancelling a search, connecting and disconnecting on grid rows, a port unplugged.
#include "IconTable.h"
#include "Logging.h"
#include "ScriptedMessages.h"
#include "SimFixture.h"
#include "TFormMain.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStringDecoder>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

// Bus 0 at 1200: a 118 at address 7 (1200 bit/s) and a 113 at 9 (9600). Bus 1: a 115 at 7 (2400) and a
// 118 at 1 (19200) with a configuration of its own.
const char* const Buses = R"({ "buses": [
  { "rate": 1200, "transducers": [
      { "type": 118, "address": 7, "rate": 1200, "name": "Tarvo-ТС-ТП-118 A" },
      { "type": 113, "address": 9, "rate": 9600, "name": "Tarvo-ТС-ТП-113" } ] },
  { "rate": 19200, "transducers": [
      { "type": 115, "address": 7, "rate": 2400, "name": "Tarvo-ТС-ТП-115" },
      { "type": 118, "address": 1, "rate": 19200, "name": "Tarvo-ТС-ТП-118 B", "sensortype": 3,
        "scheme": 3, "low": -50, "high": 150, "inverted": 1, "alarm": 2, "averaging": 12, "outrange": 1,
        "sensorname": "ТСП-100 №12", "sensornumber": 3000000001 } ] } ] })";

constexpr int Slow = 15000; // a whole search with a few silent addresses

const QString Timeout = QStringLiteral("Превышен таймаут ожидания ответа");

QStringList Row(const TFormMain& form, int row) {
    QStringList cells;
    for (int c = 0; c < 4; ++c)
        cells << form.StringGridDevices->item(row - 1, c)->text();
    return cells;
}

QList<int> Values(const QSignalSpy& spy) {
    QList<int> v;
    for (const QList<QVariant>& args : spy)
        v << args.at(0).toInt();
    return v;
}

} // namespace

class TstFormMainSim : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void directConnectDisconnectReconnect();
    void silentAddress();
    void searchOverPortsAndRates();
    void searchProgressToItsMaximum();
    void cancelByAction();
    void cancelByEscape();
    void portListRefilledOnDropDown();
    void loggingOn();
    void portUnpluggedDuringSearch();
    void portUnplugged();

private:
    // A window whose port list holds the two buses only (the machine's own ports would only add silence).
    void Prepare(TFormMain& form);
    void Direct(TFormMain& form, int bus, int rateIndex, int addr);
    QString Bus(int b) const { return sim_->portPath(b); }

    std::unique_ptr<SimFixture> sim_;
    QTemporaryDir logDir_;
};

void TstFormMainSim::initTestCase() {
    SetLogDirectory(logDir_.path());
    sim_ = std::make_unique<SimFixture>(QByteArray(Buses));
    QString error;
    QVERIFY2(sim_->start(&error), qPrintable(error));
    qputenv("TARVO_EXTRA_PORTS", (Bus(0) + QLatin1Char(':') + Bus(1)).toLocal8Bit());
}

void TstFormMainSim::cleanup() {
    DestroyCommThread();
    QVERIFY(!QApplication::overrideCursor());
}

void TstFormMainSim::Prepare(TFormMain& form) {
    QCOMPARE(form.ComboBoxComPort->findText(Bus(0)) >= 0, true);
    QCOMPARE(form.ComboBoxComPort->findText(Bus(1)) >= 0, true);
    form.ComboBoxComPort->clear();
    form.ComboBoxComPort->addItems({Bus(0), Bus(1)});
    form.ComboBoxComPort->setCurrentIndex(-1);
}

void TstFormMainSim::Direct(TFormMain& form, int bus, int rateIndex, int addr) {
    form.ComboBoxComPort->setCurrentIndex(bus);
    form.ComboBoxBaudRates->setCurrentIndex(rateIndex);
    form.JvSpinEditSlaveID->setValue(addr);
    form.ActionFind->trigger();
}

void TstFormMainSim::directConnectDisconnectReconnect() {
    TScriptedMessages messages;
    TFormMain form;
    Prepare(form);
    Direct(form, 1, 4, 1);
    QCOMPARE(form.PrgState(), PSInit);
    QCOMPARE(form.StatusPanels[3]->text(),
             QStringLiteral("Подключение к преобразователю ") + Bus(1) + QStringLiteral(" (19200) адрес 1"));
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QTRY_COMPARE(form.PrgState(), PSPausePolling);
    QVERIFY(!QApplication::overrideCursor());

    QCOMPARE(form.StatusPanels[0]->text(), QStringLiteral("Соединение установлено"));
    QCOMPARE(form.StatusPanels[1]->text(), Bus(1) + QStringLiteral(" (19200)"));
    QCOMPARE(form.StatusPanels[2]->text(), QStringLiteral("Адрес 1"));
    QVERIFY(form.StatusPanels[3]->text().isEmpty());
    QCOMPARE(form.FoundDeviceCount(), 1);
    QCOMPARE(Row(form, 1), (QStringList{"Tarvo-ТС-ТП-118 B", Bus(1), "1", "19200"}));
    for (int page = 1; page < 4; ++page)
        QVERIFY(form.PageControl->isTabVisible(page));
    // Identification and configuration as the transducer holds them.
    QCOMPARE(form.EditSensorName->text(), QStringLiteral("ТСП-100 №12"));
    QCOMPARE(form.EditSensorNumber->text(), QStringLiteral("3000000001"));
    QCOMPARE(form.CheckListBoxSensorType->item(2)->checkState(), Qt::Checked);
    QCOMPARE(form.JvSpinEditBottomTBound->value(), -50);
    QCOMPARE(form.JvSpinEditTopTBound->value(), 150);
    QCOMPARE(form.JvSpinEditConfSlaveID->value(), 1);
    QCOMPARE(form.ComboBoxConfBaudrate->currentIndex(), 4);
    QVERIFY(form.RadioButtonInvertedCurrentOutput->isChecked());
    QVERIFY(form.AlarmButtons[1]->isChecked());
    QVERIFY(form.CheckBoxAveragingTurnOn->isChecked());
    QCOMPARE(form.JvSpinEditAveragingTime->value(), 12);
    // The selected row is the connected transducer: the command disconnects, sensor data are open.
    QCOMPARE(form.SelectedGridRow(), 1);
    QCOMPARE(form.ActionConnect->text(), QStringLiteral("Отключить"));
    QCOMPARE(ActionImage(form.ActionConnect), 14);
    QVERIFY(form.ActionReadDopData->isEnabled());
    QVERIFY(form.EditSensorName->isEnabled());

    form.ActionConnect->trigger(); // disconnect
    QCOMPARE(form.PrgState(), PSNoDevice);
    QVERIFY(!CommThreadConnected());
    QCOMPARE(form.StatusPanels[0]->text(), QStringLiteral("Соединение не установлено"));
    QVERIFY(form.StatusPanels[1]->text().isEmpty());
    QVERIFY(form.StatusPanels[2]->text().isEmpty());
    QCOMPARE(form.ActionConnect->text(), QStringLiteral("Подключить"));
    QVERIFY(!form.PageControl->isTabVisible(1));

    form.ActionConnect->trigger(); // the same row again
    QCOMPARE(form.PrgState(), PSInit);
    QTRY_COMPARE(form.PrgState(), PSPausePolling);
    QCOMPARE(form.FoundDeviceCount(), 1); // the row's record was replaced, not added
    QCOMPARE(form.StatusPanels[1]->text(), Bus(1) + QStringLiteral(" (19200)"));
    QVERIFY(messages.boxes.isEmpty());
}

void TstFormMainSim::silentAddress() {
    TScriptedMessages messages;
    TFormMain form;
    Prepare(form);
    Direct(form, 1, 4, 200);
    QCOMPARE(form.PrgState(), PSInit);
    QTRY_COMPARE_WITH_TIMEOUT(form.PrgState(), PSNoDevice, 5000);
    QCOMPARE(form.StatusPanels[3]->text(), QStringLiteral("Преобразователь не отвечает"));
    QCOMPARE(form.StatusPanels[0]->text(), QStringLiteral("Соединение не установлено"));
    QVERIFY(!CommThreadConnected());
    QCOMPARE(form.FoundDeviceCount(), 0);
    QVERIFY(messages.boxes.isEmpty());
}

void TstFormMainSim::searchOverPortsAndRates() {
    TScriptedMessages messages;
    TFormMain form;
    Prepare(form);
    form.CheckBoxSearchAllPorts->setChecked(true);
    form.CheckBoxSearchAllBaudRates->setChecked(true);
    form.JvSpinEditSlaveID->setValue(7);
    sim_->clearReceived(0);
    QSignalSpy progress(form.ProgressBarFind, &QProgressBar::valueChanged);

    form.ActionFind->trigger();
    QCOMPARE(form.PrgState(), PSSearchDevs);
    QCOMPARE(form.ProgressBarFind->maximum(), 2 * 7 * 1);
    QVERIFY(form.ProgressBarFind->isVisible() || !form.isVisible());
    QVERIFY(!form.ProgressBarFind->isHidden());
    QCOMPARE(form.ActionFind->text(), QStringLiteral("Отмена"));
    QCOMPARE(form.ActionFind->toolTip(), QStringLiteral("Прекратить поиск"));
    QCOMPARE(ActionImage(form.ActionFind), 30);
    QCOMPARE(form.SpeedButtonFindAllDevices->text(), QStringLiteral("Отмена"));
    QCOMPARE(form.StatusPanels[3]->text(),
             QStringLiteral("Поиск преобразователя ") + Bus(0) + QStringLiteral(" (1200) адрес 7"));

    QTRY_COMPARE_WITH_TIMEOUT(form.PrgState(), PSNoDevice, Slow);
    QCOMPARE(form.FoundDeviceCount(), 2);
    QCOMPARE(Row(form, 1), (QStringList{"Tarvo-ТС-ТП-118 A", Bus(0), "7", "1200"}));
    QCOMPARE(Row(form, 2), (QStringList{"Tarvo-ТС-ТП-115", Bus(1), "7", "2400"}));
    // Bus 0 answered at its first rate: no other rate was tried there. Bus 1 needed two.
    QCOMPARE(Values(progress), (QList<int>{1, 2, 3, 0}));
    QCOMPARE(sim_->received(0).size(), 4); // one identification request: address, 17, CRC
    QVERIFY(form.ProgressBarFind->isHidden());
    QCOMPARE(form.ProgressBarFind->maximum(), 1);
    QVERIFY(form.StatusPanels[3]->text().isEmpty());
    QCOMPARE(form.ActionFind->text(), QStringLiteral("Поиск"));
    QCOMPARE(ActionImage(form.ActionFind), 29);
    QVERIFY(CommThreadConnected()); // the link to the last port stays open
    QCOMPARE(CommThreadPortName(), Bus(1));
    QVERIFY(messages.boxes.isEmpty());

    // Connect the second row, then the first: the link to bus 1 is dropped for bus 0.
    form.SelectGridRow(2);
    QVERIFY(form.ActionConnect->isEnabled());
    form.ActionConnect->trigger();
    QTRY_COMPARE(form.PrgState(), PSPausePolling);
    QCOMPARE(form.StatusPanels[1]->text(), Bus(1) + QStringLiteral(" (2400)"));
    QCOMPARE(form.ActionConnect->text(), QStringLiteral("Отключить"));
    form.SelectGridRow(1);
    QCOMPARE(form.ActionConnect->text(), QStringLiteral("Подключить"));
    QVERIFY(!form.ActionReadDopData->isEnabled());
    form.ActionConnect->trigger();
    QCOMPARE(form.PrgState(), PSInit);
    QCOMPARE(CommThreadPortName(), Bus(0));
    QTRY_COMPARE(form.PrgState(), PSPausePolling);
    QCOMPARE(form.StatusPanels[1]->text(), Bus(0) + QStringLiteral(" (1200)"));
    QCOMPARE(form.StatusPanels[2]->text(), QStringLiteral("Адрес 7"));
    QCOMPARE(form.FoundDeviceCount(), 2);
    QCOMPARE(form.CurrentDevice()->TypeId, 118);
    QVERIFY(messages.boxes.isEmpty());
}

void TstFormMainSim::searchProgressToItsMaximum() {
    TScriptedMessages messages;
    TFormMain form;
    Prepare(form);
    form.CheckBoxSearchAllPorts->setChecked(true);
    form.CheckBoxOnlyUSBdevices->setChecked(true);
    form.CheckBoxSearchAllBaudRates->setChecked(true); // hidden and ignored under "9600 only"
    form.JvSpinEditSlaveID->setValue(9);
    QSignalSpy progress(form.ProgressBarFind, &QProgressBar::valueChanged);
    int maximumSeen = 0;
    connect(form.ProgressBarFind, &QProgressBar::valueChanged, &form,
            [&](int v) { maximumSeen = qMax(maximumSeen, v == form.ProgressBarFind->maximum() ? v : 0); });

    form.ActionFind->trigger();
    QCOMPARE(form.ProgressBarFind->maximum(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(form.PrgState(), PSNoDevice, Slow);
    QCOMPARE(maximumSeen, 2);
    QCOMPARE(Values(progress), (QList<int>{1, 2, 0}));
    QCOMPARE(form.FoundDeviceCount(), 1);
    QCOMPARE(Row(form, 1), (QStringList{"Tarvo-ТС-ТП-113", Bus(0), "9", "9600"}));
    QVERIFY(form.StatusPanels[3]->text().isEmpty());
    QVERIFY(messages.boxes.isEmpty());
}

void TstFormMainSim::cancelByAction() {
    TScriptedMessages messages;
    TFormMain form;
    Prepare(form);
    form.CheckBoxSearchAllAddresses->setChecked(true);
    form.ComboBoxComPort->setCurrentIndex(1);
    form.ComboBoxBaudRates->setCurrentIndex(0); // nobody on bus 1 listens at 1200
    form.ActionFind->trigger();
    QCOMPARE(form.PrgState(), PSSearchDevs);
    QCOMPARE(form.ProgressBarFind->maximum(), 247);
    QTRY_COMPARE_WITH_TIMEOUT(form.ProgressBarFind->value(), 2, 5000); // one silent address later

    form.ActionFind->trigger();
    QCOMPARE(form.PrgState(), PSNoDevice);
    QVERIFY(form.SearchCancelled());
    QVERIFY(!CommThreadConnected());
    QCOMPARE(form.ActionFind->text(), QStringLiteral("Поиск"));
    QCOMPARE(ActionImage(form.ActionFind), 29);
    QVERIFY(form.ProgressBarFind->isHidden());
    QVERIFY(form.StatusPanels[3]->text().isEmpty());
    QVERIFY(messages.boxes.isEmpty());
}

void TstFormMainSim::cancelByEscape() {
    TScriptedMessages messages;
    TFormMain form;
    Prepare(form);
    form.CheckBoxSearchAllAddresses->setChecked(true);
    form.ComboBoxComPort->setCurrentIndex(1);
    form.ComboBoxBaudRates->setCurrentIndex(0);
    form.ActionFind->trigger();
    QCOMPARE(form.PrgState(), PSSearchDevs);
    QTest::keyClick(&form, Qt::Key_Escape);
    QVERIFY(form.SearchCancelled());

    // The first request finishes and is left with the link: the search stands still.
    auto finished = [] {
        TQueryQueues& q = LinkQueues();
        QMutexLocker lock(&q.QueueLock);
        return q.PendingQueries.size() == 1 && q.PendingQueries.front().finished;
    };
    QTRY_VERIFY_WITH_TIMEOUT(finished(), 5000);
    QCoreApplication::sendPostedEvents(&form);
    QCOMPARE(form.PrgState(), PSSearchDevs);
    QCOMPARE(form.ProgressBarFind->value(), 1);
    QCOMPARE(form.StatusPanels[3]->text(),
             QStringLiteral("Поиск преобразователя ") + Bus(1) + QStringLiteral(" (1200) адрес 1"));
    QCOMPARE(form.ActionFind->text(), QStringLiteral("Отмена"));
    QVERIFY(CommThreadConnected());

    form.ActionFind->trigger();
    QCOMPARE(form.PrgState(), PSNoDevice);
    QVERIFY(!CommThreadConnected());
    QCOMPARE(form.ActionFind->text(), QStringLiteral("Поиск"));
    QVERIFY(messages.boxes.isEmpty());
}

void TstFormMainSim::portListRefilledOnDropDown() {
    TFormMain form;
    form.ComboBoxComPort->addItem(QStringLiteral("ttyGONE"));
    form.ComboBoxComPort->setCurrentIndex(form.ComboBoxComPort->count() - 1);
    auto items = [&form] {
        QStringList l;
        for (int i = 0; i < form.ComboBoxComPort->count(); ++i)
            l << form.ComboBoxComPort->itemText(i);
        return l;
    };
    form.ComboBoxComPort->showPopup();
    form.ComboBoxComPort->hidePopup();
    QCOMPARE(items(), AvailableComPorts());
    QVERIFY(items().contains(Bus(1)));
    QCOMPARE(form.ComboBoxComPort->currentIndex(), -1);

    // A port held by the program's own link cannot be opened, so it is not offered.
    form.ComboBoxComPort->setCurrentIndex(items().indexOf(Bus(1)));
    form.ComboBoxBaudRates->setCurrentIndex(4);
    form.ActionFind->trigger();
    QTRY_COMPARE(form.PrgState(), PSPausePolling);
    form.ComboBoxComPort->showPopup();
    form.ComboBoxComPort->hidePopup();
    QVERIFY(!items().contains(Bus(1)));
    QVERIFY(items().contains(Bus(0)));
}

void TstFormMainSim::loggingOn() {
    QFile on(QDir(logDir_.path()).filePath(QStringLiteral("logging.on")));
    QVERIFY(on.open(QIODevice::WriteOnly));
    on.close();
    {
        TFormMain form;
        QVERIFY(LoggingEnabled);
        QVERIFY(!form.StaticText1->isHidden());
        Prepare(form);
        Direct(form, 1, 4, 200);
        QCOMPARE(form.StaticText1->text(), QStringLiteral("Элементов в очереди: 1"));
        QTRY_COMPARE_WITH_TIMEOUT(form.PrgState(), PSNoDevice, 5000);
        QCOMPARE(form.StaticText1->text(), QStringLiteral("Элементов в очереди: 0"));
    }
    QVERIFY(on.remove());
    QFile log(ProgramLogFile());
    QVERIFY(log.open(QIODevice::ReadOnly));
    QStringDecoder cp1251("windows-1251");
    const QString text = cp1251(log.readAll());
    for (const QString& line :
         {QStringLiteral("Подключение к преобразователю ") + Bus(1) +
              QStringLiteral(" (19200) адрес 200; PrgState = PSInit"),
          QStringLiteral("ErrorString: Превышен таймаут ожидания ответа; PrgState = PSInit"),
          QStringLiteral("SetPrgState from PSInit to PSNoDevice"),
          QStringLiteral("получен ответ, элементов в очереди: 0")})
        QVERIFY2(text.contains(line + QStringLiteral("\r\n")), qPrintable(line));
    TFormMain quiet;
    QVERIFY(!LoggingEnabled);
    QVERIFY(quiet.StaticText1->isHidden());
}

void TstFormMainSim::portUnpluggedDuringSearch() {
    TScriptedMessages messages;
    TFormMain form;
    Prepare(form);
    form.CheckBoxSearchAllAddresses->setChecked(true);
    form.ComboBoxComPort->setCurrentIndex(1);
    form.ComboBoxBaudRates->setCurrentIndex(0);
    form.ActionFind->trigger();
    QCOMPARE(form.PrgState(), PSSearchDevs);
    QVERIFY(sim_->command(QStringLiteral("hangup 1")).startsWith(QLatin1String("ok")));
    QTRY_COMPARE_WITH_TIMEOUT(form.PrgState(), PSNoDevice, 5000);
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("Порт не доступен")});
    QVERIFY(!CommThreadConnected());
    // The search is over: the find command searches again, the progress bar is gone.
    QCOMPARE(form.ActionFind->text(), QStringLiteral("Поиск"));
    QVERIFY(form.ProgressBarFind->isHidden());
    QVERIFY(sim_->command(QStringLiteral("replug 1")).startsWith(QLatin1String("ok")));
}

void TstFormMainSim::portUnplugged() {
    TScriptedMessages messages;
    TFormMain form;
    Prepare(form);
    Direct(form, 1, 4, 1);
    QTRY_COMPARE(form.PrgState(), PSPausePolling);
    QVERIFY(sim_->command(QStringLiteral("hangup 1")).startsWith(QLatin1String("ok")));
    form.ActionReadConfig->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(form.PrgState(), PSNoDevice, 5000);
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("Порт не доступен")});
    QVERIFY(messages.allErrorBoxes());
    QVERIFY(!CommThreadConnected());
    QVERIFY(!form.PageControl->isTabVisible(1));
    QVERIFY(sim_->command(QStringLiteral("replug 1")).startsWith(QLatin1String("ok")));
}

QTEST_MAIN(TstFormMainSim)
#include "tst_formmain_sim.moc"
