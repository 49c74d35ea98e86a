// Page rules of the window without a transducer: results are handed to the dispatcher directly.
#include "LcdIndicator.h"
#include "ScriptedMessages.h"
#include "TFormMain.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {

void Deliver(TFormMain& form, const TModbusCmdQuery& q) {
    form.DeliverResult(q);
    QCoreApplication::sendPostedEvents(&form);
}

TModbusCmdQuery Reply(int fn, int start, int step = 0) {
    TModbusCmdQuery q;
    q.SlaveAddr = 4;
    q.FuncCode = std::uint8_t(fn);
    q.StartAddr = std::uint16_t(start);
    q.CalibrStep = std::uint8_t(step);
    return q;
}

// Connects a 118 at address 4: identification, then a configuration of type 1, three wires, -50..150,
// direct output, 3,2 mA, 4-20 mA.
void Connected(TFormMain& form) {
    form.SetPrgState(PSInit);
    TModbusCmdQuery id = Reply(17, 0);
    id.RegCount = 66;
    id.Buffer[0] = 118;
    Deliver(form, id);
    TModbusCmdQuery config = Reply(3, 49);
    config.RegCount = 20;
    const std::uint8_t block[20] = {0, 1, 0, 3, 0xFF, 0xCE, 0, 150, 0, 0, 0, 1, 0, 0, 0, 4, 0, 4, 0, 1};
    std::copy_n(block, 20, config.Buffer.begin());
    Deliver(form, config);
    QCOMPARE(form.PrgState(), PSPausePolling);
}

} // namespace

class TstPages : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sensorTypeList();
    void alarmCurrentRules();
    void fieldsLeftWithBadValues();
    void zeroCorrectionReplies_data();
    void zeroCorrectionReplies();
    void repliesOutsidePolling();
};

void TstPages::sensorTypeList() {
    TFormMain form;
    Connected(form);
    QListWidget* list = form.CheckListBoxSensorType;
    QCOMPARE(form.LabelMinTemp->text(), QStringLiteral("Не менее -200 °C"));
    QCOMPARE(form.LabelMaxTemp->text(), QStringLiteral("Не более 600 °C"));
    // Checking another type from the keyboard unchecks the first; unchecking the only one keeps it.
    list->item(8)->setCheckState(Qt::Checked);
    QCOMPARE(list->item(0)->checkState(), Qt::Unchecked);
    QCOMPARE(form.LabelMinTemp->text(), QStringLiteral("Не менее -100 °C"));
    QCOMPARE(form.LabelMaxTemp->text(), QStringLiteral("Не более 1200 °C"));
    QVERIFY(!form.RadioButton3WiredScheme->isChecked());
    QVERIFY(!form.RadioButton3WiredScheme->isEnabled());
    list->item(8)->setCheckState(Qt::Unchecked);
    QCOMPARE(list->item(8)->checkState(), Qt::Checked);
    int checked = 0;
    for (int i = 0; i < list->count(); ++i)
        checked += list->item(i)->checkState() == Qt::Checked;
    QCOMPARE(checked, 1);
    // Showing the page again discards the edits.
    form.PageControl->setCurrentWidget(form.TabSheetDiag);
    form.PageControl->setCurrentWidget(form.TabSheetDeviceConfig);
    QCOMPARE(list->item(0)->checkState(), Qt::Checked);
    QVERIFY(form.RadioButton3WiredScheme->isChecked());
    QVERIFY(!form.IsConfigChanged());
}

void TstPages::alarmCurrentRules() {
    TFormMain form;
    Connected(form);
    auto enabled = [&form] {
        QList<bool> e;
        for (QRadioButton* b : form.AlarmButtons)
            e << b->isEnabled();
        return e;
    };
    form.ComboBoxCurrentOutputRange->setCurrentIndex(1);
    QVERIFY(form.AlarmButtons[4]->isChecked());
    QCOMPARE(enabled(), (QList<bool>{false, false, false, false, true}));
    form.ComboBoxCurrentOutputRange->setCurrentIndex(0);
    QVERIFY(form.AlarmButtons[0]->isChecked()); // 5,5 mA is none of 4-20 mA's
    form.ComboBoxCurrentOutputRange->setCurrentIndex(2);
    QVERIFY(form.AlarmButtons[3]->isChecked());
    QCOMPARE(enabled(), (QList<bool>{false, false, true, true, false}));
    form.AlarmButtons[2]->setChecked(true);
    form.ComboBoxCurrentOutputRange->setCurrentIndex(2);
    QVERIFY(form.AlarmButtons[2]->isChecked());
}

void TstPages::fieldsLeftWithBadValues() {
    TScriptedMessages messages;
    TFormMain form;
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    Connected(form);
    form.PageControl->setCurrentWidget(form.TabSheetDeviceConfig);
    form.JvSpinEditTopTBound->setFocus();
    form.JvSpinEditTopTBound->setValue(700);
    form.JvSpinEditConfSlaveID->setFocus(); // leaving the field checks it and takes the focus back
    QCOMPARE(messages.texts(),
             QStringList{QStringLiteral("Значение должно быть в диапазоне от -175 до 600")});
    QTRY_VERIFY(form.JvSpinEditTopTBound->hasFocus());
    QCOMPARE(form.JvSpinEditTopTBound->value(), 700);
    form.JvSpinEditTopTBound->setValue(600);
    form.JvSpinEditConfSlaveID->setFocus();
    QCOMPARE(messages.boxes.size(), 1);

    form.PageControl->setCurrentWidget(form.TabSheetConnect);
    // Without a link the sensor-data group is off; the field's own check does not depend on it.
    for (QWidget* w :
         {static_cast<QWidget*>(form.GroupBoxTarvoDopData), static_cast<QWidget*>(form.EditSensorName),
          static_cast<QWidget*>(form.EditSensorNumber)})
        w->setEnabled(true);
    form.EditSensorNumber->setFocus();
    form.EditSensorNumber->setText(QStringLiteral("-"));
    form.EditSensorName->setFocus();
    QCOMPARE(messages.texts().last(), QStringLiteral("Некорректное значение номера датчика!"));
    QVERIFY(messages.allErrorBoxes());
}

void TstPages::zeroCorrectionReplies_data() {
    QTest::addColumn<int>("data");
    QTest::addColumn<QString>("panel");
    QTest::newRow("done") << 1 << "Подстройка 0 °С выполнена";
    QTest::newRow("reset") << 0 << "Подстройка 0 °С сброшена";
    QTest::newRow("other") << 2 << "before";
}

void TstPages::zeroCorrectionReplies() {
    QFETCH(int, data);
    QFETCH(QString, panel);
    TFormMain form;
    Connected(form);
    form.StartDiagnostics();
    QCOMPARE(form.PrgState(), PSPolling);
    form.StatusPanels[3]->setText(QStringLiteral("before"));
    TModbusCmdQuery q = Reply(101, 0);
    q.Buffer[0] = std::uint8_t(data);
    Deliver(form, q);
    QCOMPARE(form.StatusPanels[3]->text(), panel);
}

void TstPages::repliesOutsidePolling() {
    TScriptedMessages messages;
    TFormMain form;
    Connected(form);
    form.StatusPanels[3]->clear();
    TModbusCmdQuery diag = Reply(3, 33);
    diag.RegCount = 24;
    diag.Buffer[3] = 100;
    TModbusCmdQuery nsx = Reply(102, 0, 1);
    for (const TModbusCmdQuery& q : {diag, nsx, Reply(101, 0), Reply(100, 0, 1)})
        Deliver(form, q);
    QVERIFY(form.IndicatorT->Indicatorstring().isEmpty());
    QVERIFY(form.StatusPanels[3]->text().isEmpty());
    QCOMPARE(form.CurrentDevice()->CalibrStep, 0);
    // In polling the same diagnostic reply is shown.
    form.StartDiagnostics();
    Deliver(form, diag);
    QCOMPARE(form.IndicatorT->Indicatorstring(), QStringLiteral("1.00"));
    QVERIFY(messages.boxes.isEmpty());
}

QTEST_MAIN(TstPages)
#include "tst_pages.moc"
