// The three connection dialogs as shown, over the window's scripted port: the connect dialog's address
// list and entries, the COM-port dialog's list, Enter and close box, and the settings dialog's tree,
// pages, start-up choices, address and port.
#include "PortComboBox.h"
#include "TfrmCOMChoice.h"
#include "TfrmConnect.h"
#include "TfrmSettings.h"
#include "TfrmViewStatus.h"
#include "WindowRig.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTest>
#include <QTreeWidget>

namespace {

QList<int> IdentAddresses(const TScriptedPort& port) {
    QList<int> a;
    for (const QByteArray& w : port.Written())
        if (w.size() == 4 && w[1] == 0x11)
            a << int(quint8(w[0]));
    return a;
}

QStringList Items(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

void PressEnter(QComboBox* combo) {
    QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
}

} // namespace

class TstTsDialogs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void connectDialog();
    void connectDialogEntries();
    void comDialogEnterAndCloseBox();
    void comDialogList();
    void settingsDialogLayout();
    void settingsDialogStartupChoices();
    void settingsDialogAddressAndPort();
};

void TstTsDialogs::initTestCase() {
    qputenv("TARVO_EXTRA_PORTS", "/tmp/tarvo-sim/bus1:/tmp/tarvo-sim/bus0");
}

void TstTsDialogs::connectDialog() {
    TWindowRig rig;
    rig.DeviceData().SlaveID = 17;
    WhenModal([&](QWidget* w) {
        auto* d = static_cast<TfrmConnect*>(w);
        QCOMPARE(d->objectName(), QStringLiteral("frmConnect"));
        QCOMPARE(d->windowTitle(), QStringLiteral("Установка соединения"));
        QCOMPARE(d->GroupBox1->title(), QStringLiteral("Установить соединение с прибором "));
        QCOMPARE(d->Label1->text(), QStringLiteral("Адрес (1..247):"));
        QCOMPARE(d->cbPL_ID->count(), 247);
        QCOMPARE(d->cbPL_ID->itemText(246), QStringLiteral("247"));
        QCOMPARE(d->cbPL_ID->currentText(), QStringLiteral("17"));
        QCOMPARE(d->btnFind->text(), QStringLiteral("Найти"));
        QCOMPARE(d->btnFindFirst->text(), QStringLiteral("Найти первый"));
        d->btnFind->click();
    });
    rig.form->actConnect->trigger();
    // "Найти" identified the address shown and closed the dialog.
    QCOMPARE(IdentAddresses(*rig.port), (QList<int>{17, 17}));
    QVERIFY(!rig.Host().ConnectDialog()->isVisible());
    QCOMPARE(rig.dialog.Texts(), QStringList{QStringLiteral("Прибор номер 17 не найден.")});

    // Created once; "Найти первый" searches the port (nothing answers here) and closes.
    TfrmConnect* first = rig.Host().ConnectDialog();
    WhenModal([&](QWidget* w) {
        QCOMPARE(w, static_cast<QWidget*>(first));
        first->btnFindFirst->click();
    });
    rig.form->actConnect->trigger();
    QVERIFY(!first->isVisible());
    QCOMPARE(IdentAddresses(*rig.port).size(), 2 + 2 * 247);
    QCOMPARE(rig.dialog.Texts().last(), QStringLiteral("Ни одного прибора не найдено."));
}

void TstTsDialogs::connectDialogEntries() {
    TWindowRig rig;
    rig.DeviceData().SlaveID = 250; // not in the list: no entry chosen
    TfrmConnect dialog(rig.Host().Connection(), rig.Link(), rig.form.get());
    dialog.show();
    QCOMPARE(dialog.cbPL_ID->currentIndex(), -1);
    QCOMPARE(dialog.cbPL_ID->currentText(), QString());
    dialog.cbPL_ID->setEditText(QStringLiteral("12a"));
    dialog.btnFind->click();
    QCOMPARE(rig.dialogs.errors, QStringList{QStringLiteral("'12a' is not a valid integer value")});
    QVERIFY(dialog.isVisible());
    QVERIFY(rig.port->events.isEmpty());
    dialog.cbPL_ID->setEditText(QStringLiteral("300"));
    dialog.btnFind->click();
    QCOMPARE(IdentAddresses(*rig.port), (QList<int>{44, 44}));
    QVERIFY(!dialog.isVisible());
}

void TstTsDialogs::comDialogEnterAndCloseBox() {
    TWindowRig rig(true, false);
    TfrmCOMChoice* d = rig.Host().ComChoice();
    QCOMPARE(d->objectName(), QStringLiteral("frmCOMChoice"));
    QCOMPARE(d->windowTitle(), QStringLiteral("СОМ-порт"));
    QCOMPARE(d->btnOk->text(), QStringLiteral("Ok"));
    QVERIFY(d->btnOk->isDefault());
    QVERIFY(!(d->windowFlags() & Qt::WindowMinimizeButtonHint));
    rig.Link().Driver().SetPortName(QStringLiteral("COM1"));

    // A name typed and Enter: set by name and confirmed.
    WhenModal([&](QWidget*) {
        QCOMPARE(d->cbComPort->currentText(), QStringLiteral("COM1"));
        d->cbComPort->setEditText(QStringLiteral("com5"));
        PressEnter(d->cbComPort);
    });
    QVERIFY(d->Choose());
    QCOMPARE(rig.Link().Driver().PortName(), QStringLiteral("COM5"));
    QCOMPARE(rig.Link().Driver().Port(), 0);
    QCOMPARE(int(rig.Settings().DefaultComPortNum), 5);

    // The close box cancels the connection that showed the dialog: nothing opened, nothing said.
    WhenModal([&](QWidget* w) { w->close(); });
    rig.Host().Connection().ConnectToDevice();
    QVERIFY(rig.port->events.isEmpty());
    QVERIFY(rig.dialog.shown.isEmpty());

    // "Ok" without a choice: the port of the name in use.
    rig.port->openFails = true;
    rig.Link().ReportConnectFailures = true;
    WhenModal([&](QWidget*) { d->btnOk->click(); });
    rig.Host().Connection().ConnectToDevice();
    QCOMPARE(rig.dialog.Texts(), QStringList{QStringLiteral("Нет соединения c COM5")});
}

void TstTsDialogs::comDialogList() {
    TWindowRig rig(true, false);
    TfrmCOMChoice* d = rig.Host().ComChoice();
    WhenModal([&](QWidget*) {
        const QStringList items = Items(d->cbComPort);
        // The system's ports first, then the extra ones in their order.
        QVERIFY(items.size() >= 2);
        QCOMPARE(items.mid(items.size() - 2), (QStringList{"/tmp/tarvo-sim/bus1", "/tmp/tarvo-sim/bus0"}));
        const int bus1 = int(items.size()) - 2;
        d->cbComPort->setCurrentIndex(bus1);
        Q_EMIT d->cbComPort->activated(bus1);
        d->btnOk->click();
    });
    QVERIFY(d->Choose());
    QCOMPARE(rig.Link().Driver().PortName(), QStringLiteral("/tmp/tarvo-sim/bus1"));
    QVERIFY(rig.Link().Driver().Port() > 0);
    QCOMPARE(int(rig.Settings().DefaultComPortNum), 0);
    // Dropping the list down fills it again; the typed text stays.
    d->cbComPort->setEditText(QStringLiteral("COM9"));
    d->cbComPort->showPopup();
    QCOMPARE(d->cbComPort->currentText(), QStringLiteral("COM9"));
    QVERIFY(Items(d->cbComPort).contains(QStringLiteral("/tmp/tarvo-sim/bus0")));
    d->cbComPort->hidePopup();
}

void TstTsDialogs::settingsDialogLayout() {
    TWindowRig rig;
    TfrmSettings d(rig.Host().Connection(), rig.Link(), rig.Settings(), rig.form.get());
    d.show();
    QCOMPARE(d.objectName(), QStringLiteral("frmSettings"));
    QCOMPARE(d.windowTitle(), QStringLiteral("Настройки программы"));
    QCOMPARE(d.property("helpContext").toInt(), 9);
    QTreeWidgetItem* root = d.TreeView1->topLevelItem(0);
    QCOMPARE(root->text(0), QStringLiteral("Настройки программы"));
    QCOMPARE(root->childCount(), 2);
    QCOMPARE(root->child(0)->text(0), QStringLiteral("Общие"));
    QCOMPARE(root->child(1)->text(0), QStringLiteral("Соединение"));
    QVERIFY(root->isExpanded());
    QCOMPARE(d.Pages->currentWidget(), d.tsBasic);
    d.TreeView1->setCurrentItem(root->child(1));
    QCOMPARE(d.Pages->currentWidget(), d.tsConnection);
    d.TreeView1->setCurrentItem(root);
    QCOMPARE(d.Pages->currentWidget(), d.tsBasic);
    QCOMPARE(d.rseSlaveID->minimum(), 1);
    QCOMPARE(d.rseSlaveID->maximum(), 247);
    QCOMPARE(d.rseRepNum->minimum(), 1);
    QCOMPARE(d.rseRepNum->maximum(), 10);
    QCOMPARE(d.rbConnectToNum->text(), QStringLiteral("Подключиться к прибору c адресом"));
    QCOMPARE(d.rbToLast->text(), QStringLiteral("Подключиться к последнему подключенному прибору"));
    QCOMPARE(d.rbFindFirst->text(), QStringLiteral("Подключиться к первому найденному"));
    QCOMPARE(d.cbSetConnectBeforeRun->text(), QStringLiteral("Устанавливать соединение с прибором"));
    QCOMPARE(d.findChild<QLineEdit*>(QStringLiteral("edBaudRate"))->text(), QStringLiteral("1200"));
    QCOMPARE(d.findChild<QLineEdit*>(QStringLiteral("edParity"))->text(), QStringLiteral("нет"));
    QVERIFY(d.findChild<QLineEdit*>(QStringLiteral("edStopBits"))->isReadOnly());
    d.btnClose->click();
    QVERIFY(!d.isVisible());
}

void TstTsDialogs::settingsDialogStartupChoices() {
    TWindowRig rig;
    TProgSettings& s = rig.Settings();
    s.ConnectBeforeRun = false;
    s.ToNum = s.ToFirst = s.ToLast = false;
    TfrmSettings d(rig.Host().Connection(), rig.Link(), s, rig.form.get());
    d.show();
    QVERIFY(!d.rbConnectToNum->isEnabled() && !d.rbToLast->isEnabled() && !d.rbFindFirst->isEnabled());
    QVERIFY(!d.rseSlaveID->isEnabled());
    // Checked with no choice made: "Подключиться к прибору c адресом".
    d.cbSetConnectBeforeRun->click();
    QVERIFY(s.ConnectBeforeRun && s.ToNum && !s.ToFirst && !s.ToLast);
    QVERIFY(d.rbConnectToNum->isChecked());
    QVERIFY(d.rseSlaveID->isEnabled());
    d.rbToLast->click();
    QVERIFY(s.ToLast && !s.ToNum && !s.ToFirst);
    QVERIFY(!d.rbConnectToNum->isChecked());
    QVERIFY(!d.rseSlaveID->isEnabled());
    d.rbFindFirst->click();
    QCOMPARE(ConnectionTypeText(s), QStringLiteral("toFirst"));
    QVERIFY(!d.rbToLast->isChecked());
    // Unchecked: nothing at start-up, the choice kept on the (disabled) buttons and back when checked.
    d.cbSetConnectBeforeRun->click();
    QCOMPARE(ConnectionTypeText(s), QString());
    QVERIFY(!s.ConnectBeforeRun);
    QVERIFY(d.rbFindFirst->isChecked() && !d.rbFindFirst->isEnabled());
    d.cbSetConnectBeforeRun->click();
    QCOMPARE(ConnectionTypeText(s), QStringLiteral("toFirst"));
    d.rseRepNum->setValue(4);
    QCOMPARE(int(s.RepeatNum), 4);
}

void TstTsDialogs::settingsDialogAddressAndPort() {
    TWindowRig rig;
    rig.Settings().DefaultSlaveID = 5;
    rig.Connect(17);
    TfrmSettings d(rig.Host().Connection(), rig.Link(), rig.Settings(), rig.form.get());
    d.show();
    // The address of the connection, whatever was saved.
    QCOMPARE(d.rseSlaveID->value(), 17);
    QCOMPARE(int(rig.Settings().DefaultSlaveID), 17);
    QCOMPARE(d.cbCom->currentText(), QStringLiteral("COM3"));
    d.rseSlaveID->setValue(33);
    QCOMPARE(int(rig.Settings().DefaultSlaveID), 33);
    d.hide();
    d.show();
    QCOMPARE(d.rseSlaveID->value(), 17);

    // Choosing another port while connected asks first; "Нет" keeps the connection.
    const int bus0 = FindComboItem(d.cbCom, QStringLiteral("/tmp/tarvo-sim/bus0"));
    QVERIFY(bus0 >= 0);
    rig.dialog.answers = {mrNo};
    Q_EMIT d.cbCom->activated(bus0);
    QCOMPARE(rig.dialog.Texts(), QStringList{QStringLiteral("Разорвать установленное соединение?")});
    QVERIFY(rig.Link().IsPortOpen());
    // Enter with a COM name: asked, broken, set by name; the dialog stays.
    rig.dialog.answers = {mrYes};
    d.cbCom->setEditText(QStringLiteral("COM4"));
    PressEnter(d.cbCom);
    QVERIFY(!rig.Link().IsPortOpen());
    QCOMPARE(rig.Link().Driver().PortName(), QStringLiteral("COM4"));
    QCOMPARE(rig.Link().Driver().Port(), 0);
    QVERIFY(d.isVisible());
}

QTEST_MAIN(TstTsDialogs)
#include "tst_ts_dialogs.moc"
