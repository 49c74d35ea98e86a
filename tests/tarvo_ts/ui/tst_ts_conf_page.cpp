// The configuration page in the whole window over a scripted port: its controls, what it shows for a 77,
// a 78 and a type the program does not support, the sensor kinds with their limits, the handlers and
// the modified mark, the checks of the write, the new address, clearing, the closing questions, the
// hover colour, and presses that arrive while an exchange runs.
#include "DialogService.h"
#include "PageInput.h"
#include "PageSupport.h"
#include "TConfigurationPage.h"
#include "TDiagnosticPage.h"
#include "TInformationPage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

using namespace pageinput;

namespace {

const QString Unsupported = QStringLiteral("Прибор не поддерживается программой");

// The system's dialogs as the tests see them: every error box recorded, code run while one shows.
class TScriptedDialogs final : public TDialogService {
public:
    QStringList errors;
    std::function<void()> whileShown;
    QString GetOpenFileName(QWidget*, const QString&, const QString&) override { return {}; }
    QString GetSaveFileName(QWidget*, const QString&, const QString&) override { return {}; }
    bool ChooseColor(QWidget*, QColor&) override { return false; }
    void ShowError(QWidget*, const QString& text) override {
        errors << text;
        if (whileShown)
            whileShown();
    }
};

QList<QByteArray> ConfWrites(const TScriptedPort& port) {
    QList<QByteArray> w;
    for (const QByteArray& f : port.Written())
        if (f.size() == 25 && quint8(f[1]) == 0x10)
            w << f;
    return w;
}

QStringList Checked(const TConfigurationPage* p) {
    QStringList names;
    for (const QRadioButton* r : p->findChildren<QRadioButton*>())
        if (r->isChecked())
            names << r->objectName();
    names.sort();
    return names;
}

} // namespace

class TstTsConfPage : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void controls();
    void showConfiguration_data();
    void showConfiguration();
    void unsupportedType();
    void unsupportedTypeInTheSystemBox();
    void sensorKinds_data();
    void sensorKinds();
    void boundsStayInTheirLimits();
    void handlersEditDeviceData();
    void writeChecks_data();
    void writeChecks();
    void newAddressOnlyWhenWriting();
    void readButton();
    void clearingThePages();
    void closingQuestions_data();
    void closingQuestions();
    void hoverColour();
    void pressesDuringAnExchangeAreIgnored();
};

void TstTsConfPage::controls() {
    TWindowRig rig;
    TConfigurationPage* p = rig.form->tsConfiguration;
    QCOMPARE(p->objectName(), QStringLiteral("tsConfiguration"));
    QCOMPARE(p->Caption(), QStringLiteral("Конфигурация"));
    const QList<QPair<QWidget*, QString>> texts = {
        {p->rbPl_391, "ТСП, "}, {p->rbPl_385, "ТСП,"}, {p->rbCu, "ТСМ,"},
        {p->lbCoefficient[0], " = 0,00391"}, {p->lbCoefficient[1], " = 0,00385"}, {p->lbCoefficient[2], " = 0,00428"},
        {p->lbAlpha[0], "α"}, {p->rbR100, "100 Ом"}, {p->rbR50, "50 Ом"},
        {p->rbI3_6, "3,2 мА"}, {p->rbI3_8, "3,6 мА"}, {p->rbI21, "21 мА"}, {p->rbI22, "22 мА"},
        {p->rbI0, "0 мА"}, {p->rbI5_5, "5,5 мА"}, {p->cbAverageTurnOn, "Включить усреднение"},
        {p->rbDirectLeadOut, "Прямой"}, {p->rbInversLeadOut, "Инверсный"},
        {p->btnConfRead, "Прочитать"}, {p->btnConfWrite, "Записать"}};
    for (const auto& [w, text] : texts) {
        QString shown = w->property("text").toString();
        QCOMPARE(shown, text);
    }
    const QList<QPair<QGroupBox*, QString>> panels = {
        {p->gbSensorKind, "Тип датчика"}, {p->gbSensorR0, "Сопротивление датчика"},
        {p->gbRange, "Диапазон преобразования"}, {p->pnAlarmCur4D, "Аварийный сигнал"},
        {p->pnAlarmCur4E, "Аварийный сигнал"}, {p->gbAverage, "Усреднение измерений"},
        {p->gbLeadOut, "Выходной сигнал"}, {p->gbSlaveID, "Адрес (1..247)"}};
    for (const auto& [g, caption] : panels)
        QCOMPARE(g->title(), caption);
    for (const char* name : {"lbTopTempBound", "lbBottomTempBound", "lbMaxTempCaption", "lbMinTempCaption",
                             "lbAverageUnits", "rseTopTempBound", "rseBottomTempBound", "rseAverage",
                             "rseConfSlaveID", "lbMaxTemp", "lbMinTemp"})
        QVERIFY2(p->findChild<QWidget*>(QLatin1String(name)), name);
    QCOMPARE(p->findChild<QLabel*>("lbTopTempBound")->text(), QStringLiteral("Верхняя граница"));
    QCOMPARE(p->findChild<QLabel*>("lbMinTempCaption")->text(), QStringLiteral("Не менее"));
    QCOMPARE(p->findChild<QLabel*>("lbAverageUnits")->text(), QStringLiteral("сек."));
    QCOMPARE(p->rseAverage->minimum(), 1);
    QCOMPARE(p->rseAverage->maximum(), 30);
    QCOMPARE(p->rseAverage->value(), 1);
    QCOMPARE(p->rseConfSlaveID->minimum(), 1);
    QCOMPARE(p->rseConfSlaveID->maximum(), 247);
    QCOMPARE(p->rseConfSlaveID->value(), 1);
    // The two alarm panels share one spot: one shows, the other takes its place.
    rig.form->MainPageCtrl->setCurrentWidget(p);
    QVERIFY(p->pnAlarmCur4D->isVisible());
    QVERIFY(!p->pnAlarmCur4E->isVisible());
    const QRect spot = p->pnAlarmCur4D->geometry();
    ConnectTo(rig, 4, 78);
    p->layout()->activate();
    QVERIFY(!p->pnAlarmCur4D->isVisible());
    QVERIFY(p->pnAlarmCur4E->isVisible());
    QCOMPARE(p->pnAlarmCur4E->geometry(), spot);
}

void TstTsConfPage::showConfiguration_data() {
    QTest::addColumn<int>("typeCode");
    QTest::addColumn<QList<int>>("registers"); // kind, rcode, low, high, direction, alarm, averaging code
    QTest::addColumn<QStringList>("checked");
    QTest::addColumn<QList<int>>("spins"); // top, bottom, average, address
    QTest::addColumn<bool>("averaging");
    QTest::newRow("77, Pt 391, alarm 1") << 77 << QList<int>{1, 1, -50, 150, 0, 1, 10}
                                         << QStringList{"rbDirectLeadOut", "rbI3_6", "rbPl_391", "rbR100"}
                                         << QList<int>{150, -50, 2, 3} << true;
    QTest::newRow("77, alarm 2") << 77 << QList<int>{2, 2, 0, 600, 1, 2, 0}
                                 << QStringList{"rbI3_8", "rbInversLeadOut", "rbPl_385", "rbR50"}
                                 << QList<int>{600, 0, 1, 3} << false;
    QTest::newRow("77, alarm 3") << 77 << QList<int>{3, 1, -100, 200, 0, 3, 178}
                                 << QStringList{"rbCu", "rbDirectLeadOut", "rbI21", "rbR100"}
                                 << QList<int>{200, -100, 30, 3} << true;
    QTest::newRow("77, alarm 4") << 77 << QList<int>{1, 1, 0, 100, 0, 4, 4}
                                 << QStringList{"rbDirectLeadOut", "rbI22", "rbPl_391", "rbR100"}
                                 << QList<int>{100, 0, 1, 3} << true;
    QTest::newRow("78, alarm 1") << 78 << QList<int>{1, 1, 0, 100, 0, 1, 0}
                                 << QStringList{"rbDirectLeadOut", "rbI0", "rbPl_391", "rbR100"}
                                 << QList<int>{100, 0, 1, 3} << false;
    QTest::newRow("78, alarm 2") << 78 << QList<int>{1, 1, 0, 100, 0, 2, 0}
                                 << QStringList{"rbDirectLeadOut", "rbI5_5", "rbPl_391", "rbR100"}
                                 << QList<int>{100, 0, 1, 3} << false;
    // Values no button has: nothing checked in that panel; bounds past the kind's limits stay in them.
    QTest::newRow("unknown codes") << 77 << QList<int>{0, 0, -300, 900, 0, 7, 0}
                                   << QStringList{"rbDirectLeadOut"} << QList<int>{600, -200, 1, 3} << false;
}

void TstTsConfPage::showConfiguration() {
    QFETCH(int, typeCode);
    QFETCH(QList<int>, registers);
    QFETCH(QStringList, checked);
    QFETCH(QList<int>, spins);
    QFETCH(bool, averaging);
    TWindowRig rig;
    TConfigurationPage* p = rig.form->tsConfiguration;
    rig.port->Reply(IdentReply(3, typeCode, "T", "S", 1, 1, 1, 2020));
    rig.port->Reply(ConfReply(3, registers[0], registers[1], registers[2], registers[3], registers[4], registers[5],
                              registers[6], 3));
    rig.Link().Driver().OpenPort();
    rig.Link().ReadInformation(3);
    QVERIFY(rig.Link().ReadConfiguration().answered());
    QCOMPARE(Checked(p), checked);
    QCOMPARE((QList<int>{p->rseTopTempBound->value(), p->rseBottomTempBound->value(), p->rseAverage->value(),
                         p->rseConfSlaveID->value()}),
             spins);
    QCOMPARE(p->cbAverageTurnOn->isChecked(), averaging);
    QCOMPARE(p->rseAverage->isEnabled(), averaging);
    QCOMPARE(p->pnAlarmCur4D->isVisibleTo(p), typeCode == 77);
    QCOMPARE(p->pnAlarmCur4E->isVisibleTo(p), typeCode == 78);
    QVERIFY(!rig.DeviceData().ConfModified); // showing is no edit
    QVERIFY(rig.Link().IsPortOpen());
}

void TstTsConfPage::unsupportedType() {
    TWindowRig rig;
    TScriptedDialogs dialogs;
    rig.Host().SetDialogService(&dialogs);
    TConfigurationPage* p = rig.form->tsConfiguration;
    // A press while the box shows starts nothing.
    dialogs.whileShown = [&] { p->btnConfRead->click(); };
    rig.port->Reply(IdentReply(3, 0x50, "T", "S", 1, 1, 1, 2020));
    rig.port->Reply(ConfReply(3, 1, 1, 0, 100, 0, 1, 0, 3));
    rig.port->Reply(ConfReply(3, 1, 1, 0, 100, 0, 1, 0, 3));
    rig.Link().Driver().OpenPort();
    rig.Link().ReadInformation(3);
    rig.form->SetConfModified(true);
    p->btnConfRead->click();
    QCOMPARE(dialogs.errors, QStringList{Unsupported});
    QVERIFY(rig.dialog.shown.isEmpty()); // not the program's own dialog
    QCOMPARE(rig.port->Written().size(), 2);
    QVERIFY(!rig.Link().IsPortOpen());
    QCOMPARE(rig.Panel(0), QStringLiteral("Соединение не установленно"));
    QVERIFY(!rig.DeviceData().ConfModified);
    QVERIFY(p->pnAlarmCur4E->isVisibleTo(p));
    QVERIFY(!p->pnAlarmCur4D->isVisibleTo(p));
    QVERIFY(Checked(p).isEmpty());
    QCOMPARE(rig.form->tsInformation->edPLType->text(), QString());
}

void TstTsConfPage::unsupportedTypeInTheSystemBox() {
    // The Qt box itself: the error icon, the text, an OK button, the application title as caption.
    QCoreApplication::setApplicationName(QStringLiteral("Tarvo_TS"));
    TWindowRig rig;
    rig.Host().SetDialogService(nullptr); // the program's own Qt dialogs
    QString title, text;
    int icon = -1;
    QMessageBox::StandardButtons buttons;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = box->standardButtons();
        box->accept();
    });
    rig.Host().ShowSystemError(Unsupported);
    QCOMPARE(title, QStringLiteral("Tarvo_TS"));
    QCOMPARE(text, Unsupported);
    QCOMPARE(icon, int(QMessageBox::Critical));
    QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

void TstTsConfPage::sensorKinds_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("clicked"); // 0 radio button, 1 α sign, 2 coefficient
    QTest::addColumn<QList<int>>("limits"); // top min, top max, bottom min, bottom max
    QTest::addColumn<QString>("maxLabel");
    QTest::addColumn<QString>("minLabel");
    QTest::newRow("ТСП 391, radio") << 1 << 0 << QList<int>{-175, 600, -200, 575} << "600 °C" << "-200 °C";
    QTest::newRow("ТСП 385, α") << 2 << 1 << QList<int>{-175, 600, -200, 575} << "600 °C" << "-200 °C";
    QTest::newRow("ТСМ, radio") << 3 << 0 << QList<int>{-75, 200, -100, 175} << "200 °C" << "-100 °C";
    QTest::newRow("ТСМ, coefficient") << 3 << 2 << QList<int>{-75, 200, -100, 175} << "200 °C" << "-100 °C";
}

void TstTsConfPage::sensorKinds() {
    QFETCH(int, kind);
    QFETCH(int, clicked);
    QFETCH(QList<int>, limits);
    QFETCH(QString, maxLabel);
    QFETCH(QString, minLabel);
    TWindowRig rig;
    ConnectTo(rig, 3, 77);
    TConfigurationPage* p = rig.form->tsConfiguration;
    const std::size_t k = std::size_t(kind - 1);
    QWidget* target = clicked == 0 ? static_cast<QWidget*>(p->rbKind[k])
                      : clicked == 1 ? static_cast<QWidget*>(p->lbAlpha[k])
                                     : p->lbCoefficient[k];
    QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(3, target->height() / 2));
    QVERIFY(p->rbKind[k]->isChecked());
    QCOMPARE(rig.DeviceData().SensorKind, kind);
    QCOMPARE((QList<int>{p->rseTopTempBound->minimum(), p->rseTopTempBound->maximum(),
                         p->rseBottomTempBound->minimum(), p->rseBottomTempBound->maximum()}),
             limits);
    // The bounds go to the kind's extremes.
    QCOMPARE(p->rseTopTempBound->value(), limits[1]);
    QCOMPARE(p->rseBottomTempBound->value(), limits[2]);
    QCOMPARE(p->lbMaxTemp->text(), maxLabel);
    QCOMPARE(p->lbMinTemp->text(), minLabel);
    QVERIFY(rig.DeviceData().ConfModified);
    QCOMPARE(rig.Panel(2), QStringLiteral("Mod"));
}

void TstTsConfPage::boundsStayInTheirLimits() {
    TWindowRig rig;
    QVERIFY(Activate(rig));
    ConnectTo(rig, 3, 77);
    TConfigurationPage* p = rig.form->tsConfiguration;
    QTest::mouseClick(p->rbCu, Qt::LeftButton, {}, QPoint(3, p->rbCu->height() / 2));
    struct TCase {
        TExitSpinBox* spin;
        const char* typed;
        int value;
    };
    // Copper: upper -75..200, lower -100..175; at most four characters.
    for (const TCase& c : {TCase{p->rseTopTempBound, "9999", 99}, TCase{p->rseTopTempBound, "250", 25},
                           TCase{p->rseTopTempBound, "-80", -8}, TCase{p->rseBottomTempBound, "-999", -99},
                           TCase{p->rseBottomTempBound, "180", 18}, TCase{p->rseBottomTempBound, "1e2", 12},
                           TCase{p->rseTopTempBound, "12345", 123}}) {
        Type(c.spin, QString::fromLatin1(c.typed));
        Leave(c.spin, p->rseConfSlaveID);
        QVERIFY2(c.spin->value() >= c.spin->minimum() && c.spin->value() <= c.spin->maximum(), c.typed);
        QCOMPARE(c.spin->value(), c.value);
        QVERIFY(c.spin->text().size() <= 4);
    }
    // What the field shows on leaving is what DeviceData takes.
    QCOMPARE(rig.DeviceData().TopTempBound, 123);
    QCOMPARE(rig.DeviceData().BottomTempBound, 12);
    // A typed minus alone falls back to the last value.
    Type(p->rseBottomTempBound, QStringLiteral("-"));
    Leave(p->rseBottomTempBound, p->rseConfSlaveID);
    QCOMPARE(p->rseBottomTempBound->value(), 12);
    Type(p->rseAverage, QStringLiteral("99"));
    QVERIFY(p->rseAverage->value() <= 30);
    Type(p->rseConfSlaveID, QStringLiteral("300"));
    Leave(p->rseConfSlaveID, p->rseTopTempBound);
    QVERIFY(p->rseConfSlaveID->value() <= 247);
}

void TstTsConfPage::handlersEditDeviceData() {
    TWindowRig rig;
    QVERIFY(Activate(rig));
    ConnectTo(rig, 3, 77);
    TConfigurationPage* p = rig.form->tsConfiguration;
    TTarvo& d = rig.DeviceData();
    auto click = [&](QAbstractButton* b) {
        rig.form->SetConfModified(false);
        Click(b);
        QVERIFY2(d.ConfModified, qPrintable(b->objectName()));
    };
    click(p->rbR50);
    QCOMPARE(d.SensorR0, 50);
    click(p->rbR100);
    QCOMPARE(d.SensorR0, 100);
    const QList<QPair<QAbstractButton*, int>> alarms4D = {{p->rbI3_6, 1}, {p->rbI3_8, 2}, {p->rbI21, 3}, {p->rbI22, 4}};
    for (const auto& [b, code] : alarms4D) {
        click(b);
        QCOMPARE(d.AlarmCur, code);
    }
    click(p->rbInversLeadOut);
    QVERIFY(!d.DirectLeadOut);
    click(p->rbDirectLeadOut);
    QVERIFY(d.DirectLeadOut);
    // Averaging: off gives 0 and disables the time, on takes the time.
    click(p->cbAverageTurnOn);
    QVERIFY(!p->rseAverage->isEnabled());
    QCOMPARE(d.Average, 0);
    click(p->cbAverageTurnOn);
    QCOMPARE(d.Average, 2);
    rig.form->SetConfModified(false);
    Type(p->rseAverage, QStringLiteral("17"));
    QVERIFY(d.ConfModified);
    QCOMPARE(d.Average, 2);
    Leave(p->rseAverage, p->rseConfSlaveID);
    QCOMPARE(d.Average, 17);
    // Every change of a bound or the address marks; the address is not taken before the write.
    for (QSpinBox* s : {static_cast<QSpinBox*>(p->rseTopTempBound), static_cast<QSpinBox*>(p->rseBottomTempBound),
                        static_cast<QSpinBox*>(p->rseConfSlaveID)}) {
        rig.form->SetConfModified(false);
        s->stepBy(1);
        QVERIFY2(d.ConfModified, qPrintable(s->objectName()));
    }
    QCOMPARE(d.SlaveID, 3);

    // The 78's two choices.
    TWindowRig e;
    ConnectTo(e, 4, 78);
    TConfigurationPage* q = e.form->tsConfiguration;
    Click(q->rbI5_5);
    QCOMPARE(e.DeviceData().AlarmCur, 2);
    Click(q->rbI0);
    QCOMPARE(e.DeviceData().AlarmCur, 1);
    QVERIFY(e.DeviceData().ConfModified);
}

void TstTsConfPage::writeChecks_data() {
    QTest::addColumn<bool>("connected");
    QTest::addColumn<int>("bottom");
    QTest::addColumn<int>("top");
    QTest::addColumn<QString>("message"); // empty: written
    QTest::newRow("0 to 25 is written") << true << 0 << 25 << QString();
    QTest::newRow("0 to 24") << true << 0 << 24 << "Длина диапазона не может быть меньше 25 °C!";
    QTest::newRow("upper below lower") << true << 100 << 50 << "Значание верней границы диапазона меньше нижней!";
    QTest::newRow("not connected") << false << 0 << 100 << "Соединение не установлено";
}

void TstTsConfPage::writeChecks() {
    QFETCH(bool, connected);
    QFETCH(int, bottom);
    QFETCH(int, top);
    QFETCH(QString, message);
    TWindowRig rig;
    if (connected)
        ConnectTo(rig, 3, 77);
    TConfigurationPage* p = rig.form->tsConfiguration;
    // The write takes the bounds as the fields show them, left or not.
    p->rseBottomTempBound->setValue(bottom);
    p->rseTopTempBound->setValue(top);
    QVERIFY(rig.DeviceData().ConfModified);
    rig.port->Reply(WriteReply(3, 0x10, 0x18, 8));
    QTest::mouseClick(p->btnConfWrite, Qt::LeftButton);
    if (message.isEmpty()) {
        QCOMPARE(ConfWrites(*rig.port).size(), 1);
        QCOMPARE(ConfWrites(*rig.port)[0].mid(11, 4).toHex(), QByteArray("00000019"));
        QVERIFY(rig.dialog.shown.isEmpty());
        QVERIFY(!rig.DeviceData().ConfModified);
        return;
    }
    QCOMPARE(rig.dialog.Texts(), QStringList{message});
    QCOMPARE(rig.dialog.shown[0].kind, connected ? int(mtError) : int(mtInformation));
    QVERIFY(ConfWrites(*rig.port).isEmpty());
    QVERIFY(rig.DeviceData().ConfModified);
    QCOMPARE(rig.Link().IsPortOpen(), connected);
}

void TstTsConfPage::newAddressOnlyWhenWriting() {
    TWindowRig rig;
    ConnectTo(rig, 1, 77);
    TConfigurationPage* p = rig.form->tsConfiguration;
    p->rseConfSlaveID->setValue(5);
    QCOMPARE(rig.DeviceData().SlaveID, 1);
    rig.port->Reply(WriteReply(1, 0x10, 0x18, 8));
    QTest::mouseClick(p->btnConfWrite, Qt::LeftButton);
    // Sent to the old address, the new one in register 0x001F.
    QCOMPARE(ConfWrites(*rig.port).value(0).toHex(' '),
             HexWithCrc("01 10 0018 0008 10 0001 0001 FFCE 0096 0000 0001 000A 0005").toHex(' '));
    QCOMPARE(rig.DeviceData().SlaveID, 5);
    QCOMPARE(rig.form->tsInformation->edSlaveID->text(), QStringLiteral("5"));
    // The next read goes to the new address.
    rig.port->Reply(ConfReply(5, 1, 1, -50, 150, 0, 1, 10, 5));
    QTest::mouseClick(p->btnConfRead, Qt::LeftButton);
    QCOMPARE(rig.port->Written().last(), HexWithCrc("05 03 0018 0008"));
    // Saying "Нет" to other edits at closing keeps the address the transducer answers at.
    Click(p->rbR50);
    rig.dialog.answers = {mrNo};
    rig.form->close();
    QCOMPARE(rig.DeviceData().SlaveID, 5);
    QCOMPARE(rig.DeviceData().SensorR0, 100);
}

void TstTsConfPage::readButton() {
    TWindowRig rig;
    ConnectTo(rig, 3, 77);
    TConfigurationPage* p = rig.form->tsConfiguration;
    Click(p->rbR50);
    rig.port->Reply(ConfReply(3, 3, 2, -20, 120, 1, 4, 16, 3));
    QTest::mouseClick(p->btnConfRead, Qt::LeftButton);
    QCOMPARE(Checked(p), (QStringList{"rbCu", "rbI22", "rbInversLeadOut", "rbR50"}));
    QCOMPARE(p->rseTopTempBound->value(), 120);
    QCOMPARE(p->rseAverage->value(), 3);
    QVERIFY(!rig.DeviceData().ConfModified);
    // An exception reply: the page and the mark stay, the link too.
    Click(p->rbR100);
    rig.port->Reply(ShortReply(3, 0x83, 2));
    QTest::mouseClick(p->btnConfRead, Qt::LeftButton);
    QVERIFY(rig.DeviceData().ConfModified);
    QVERIFY(rig.Link().IsPortOpen());
    QVERIFY(p->rbR100->isChecked());
    // Not connected: the link says so, the mark stays.
    rig.Link().BreakConnection();
    rig.form->SetConfModified(true);
    rig.dialog.shown.clear();
    QTest::mouseClick(p->btnConfRead, Qt::LeftButton);
    QCOMPARE(rig.dialog.Texts(), QStringList{QStringLiteral("Соединение не установлено")});
    QVERIFY(rig.DeviceData().ConfModified);
}

void TstTsConfPage::clearingThePages() {
    TWindowRig rig;
    ConnectTo(rig, 4, 78, 2);
    TConfigurationPage* p = rig.form->tsConfiguration;
    TInformationPage* i = rig.form->tsInformation;
    QVERIFY(!Checked(p).isEmpty());
    rig.Link().BreakConnection();
    QVERIFY(Checked(p).isEmpty());
    QVERIFY(!p->cbAverageTurnOn->isChecked());
    QCOMPARE(p->rseTopTempBound->value(), 0);
    QCOMPARE(p->rseBottomTempBound->value(), 0);
    QCOMPARE(p->rseConfSlaveID->value(), 1);
    QVERIFY(p->pnAlarmCur4E->isVisibleTo(p)); // the panel that was shown stays
    for (QLineEdit* e : {i->edSlaveID, i->edPLType, static_cast<QLineEdit*>(i->edSensorType),
                         static_cast<QLineEdit*>(i->edSensorNum)})
        QCOMPARE(e->text(), QString());
    QCOMPARE(i->meSensorDate->displayText(), QStringLiteral("  .  .    "));
    QVERIFY(!rig.DeviceData().ConfModified);
    QVERIFY(!rig.DeviceData().InfoModified);
}

void TstTsConfPage::closingQuestions_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("Да writes both") << int(mrYes);
    QTest::newRow("Нет puts the stored values back") << int(mrNo);
}

void TstTsConfPage::closingQuestions() {
    QFETCH(int, answer);
    TWindowRig rig;
    QVERIFY(Activate(rig));
    ConnectTo(rig, 3, 77);
    TInformationPage* i = rig.form->tsInformation;
    TConfigurationPage* p = rig.form->tsConfiguration;
    Type(i->edSensorNum, QStringLiteral("4321"));
    Leave(i->edSensorNum, i->edSensorType);
    Click(p->rbCu);
    p->rseTopTempBound->setValue(100);
    rig.port->Reply(WriteReply(3, 0x10, 0x08, 16));
    rig.port->Reply(WriteReply(3, 0x10, 0x18, 8));
    rig.dialog.answers = {answer, answer};
    rig.form->close();
    QCOMPARE(rig.dialog.Texts(), (QStringList{QStringLiteral("Записать изменения информации в память преобразователя?"),
                                              QStringLiteral("Записать изменения конфигурации в память преобразователя?")}));
    if (answer == mrYes) {
        const QList<QByteArray> w = rig.port->Written();
        QCOMPARE(w.size(), 4);
        QCOMPARE(w[2].mid(31, 4).toHex(), QByteArray("000010e1"));
        // Copper, -100 .. 100.
        QCOMPARE(w[3].mid(7, 8).toHex(), QByteArray("00030001ff9c0064"));
        return;
    }
    QCOMPARE(rig.port->Written().size(), 2);
    QCOMPARE(i->edSensorNum->text(), QStringLiteral("1234"));
    QCOMPARE(rig.DeviceData().SensorNum, 1234);
    QVERIFY(p->rbPl_391->isChecked());
    QCOMPARE(p->rseTopTempBound->value(), 150);
    QCOMPARE(rig.DeviceData().SensorKind, 1);
}

void TstTsConfPage::hoverColour() {
    TWindowRig rig;
    TConfigurationPage* p = rig.form->tsConfiguration;
    const QColor hot = rig.Host().HotTrackColor();
    const QColor normal = p->rbCu->palette().color(p->rbCu->foregroundRole());
    QVERIFY(hot != normal);
    auto colours = [&](int k) {
        QList<QColor> c;
        for (QWidget* w : std::initializer_list<QWidget*>{p->rbKind[std::size_t(k)], p->lbAlpha[std::size_t(k)],
                                                          p->lbCoefficient[std::size_t(k)]})
            c << w->palette().color(w->foregroundRole());
        return c;
    };
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(p->lbCoefficient[2], &enter);
    QCOMPARE(colours(2), (QList<QColor>{hot, hot, hot}));
    QCOMPARE(colours(0), (QList<QColor>{normal, normal, normal}));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(p->lbCoefficient[2], &leave);
    QCOMPARE(colours(2), (QList<QColor>{normal, normal, normal}));
    QApplication::sendEvent(p->rbPl_385, &enter);
    QCOMPARE(colours(1), (QList<QColor>{hot, hot, hot}));
}

void TstTsConfPage::pressesDuringAnExchangeAreIgnored() {
    TWindowRig rig;
    ConnectTo(rig, 3, 77);
    TConfigurationPage* p = rig.form->tsConfiguration;
    rig.form->SetConfModified(true);
    const qsizetype before = rig.port->Written().size();
    int pressed = 0;
    // Runs at the write's first pump.
    QTimer::singleShot(0, p, [&] {
        p->btnConfWrite->click();
        p->btnConfRead->click();
        rig.form->tsInformation->btnInfWrite->click();
        ++pressed;
    });
    rig.port->Reply(ShortReply(3, 0x90, 3)); // refused: the link stays open
    QTest::mouseClick(p->btnConfWrite, Qt::LeftButton);
    QCOMPARE(pressed, 1);
    QCOMPARE(rig.port->Written().size() - before, 1);
    QCOMPARE(rig.dialog.Texts(), QStringList{QStringLiteral("Некорректный запрос.")});
    // Refused: nothing written, the edits are still marked, the address stays.
    QVERIFY(rig.DeviceData().ConfModified);
    QVERIFY(rig.Link().IsPortOpen());
    QCOMPARE(rig.DeviceData().SlaveID, 3);
}

QTEST_MAIN(TstTsConfPage)
#include "tst_ts_conf_page.moc"
