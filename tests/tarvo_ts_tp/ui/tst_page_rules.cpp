// Rules of the pages without a window: what counts as a configuration change, the written block, the
// calibration current limits and the display of diagnostic values.
#include "PageRules.h"
#include "PendingCommand.h"

#include <QTest>
#include <functional>

Q_DECLARE_METATYPE(std::function<void(TConfigPageValues&)>)

namespace {

using Edit = std::function<void(TConfigPageValues&)>;

TTarvoDevice Device(std::uint8_t typeId) {
    TTarvoDevice d;
    d.TypeId = typeId;
    d.ModbusAddr = d.NewAddr = 5;
    d.Baudrate = d.NewBaudrate = CBR_19200;
    d.SensorType = 1;
    d.ConnScheme = 3;
    d.RangeLowLimit = -50;
    d.RangeHighLimit = 150;
    d.InvertedOut = true;
    d.AlarmSignalValue = 2;
    d.AveragingTime = 0;
    d.OutSignalRange = 1;
    return d;
}

// The page as FillConfigControls leaves it for the record.
TConfigPageValues Page(const TTarvoDevice& d) {
    TConfigPageValues v;
    v.sensorItem = d.SensorType - 1;
    v.wire3 = d.ConnScheme == 3;
    v.wire4 = d.ConnScheme == 4;
    v.top = d.RangeHighLimit;
    v.bottom = d.RangeLowLimit;
    v.inverted = d.InvertedOut;
    v.direct = !d.InvertedOut;
    v.rangeIndex = d.OutSignalRange - 1;
    v.alarmCode = d.AlarmSignalValue;
    v.address = d.ModbusAddr;
    v.baudText =
        HasBaudRateChoice(d.TypeId) ? QString::number(BaudRateToInt(d.Baudrate)) : QStringLiteral("9600");
    return v;
}

} // namespace

class TstPageRules : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void configChanged_data();
    void configChanged();
    void writtenBlock_data();
    void writtenBlock();
    void currentLimits();
    void formatFixed_data();
    void formatFixed();
    void diagDisplay_data();
    void diagDisplay();
    void nsxPrompt();
    void unknownSensorType_data();
    void unknownSensorType();
    void boundsOfDisabledRangeFields();
    void fieldTexts_data();
    void fieldTexts();
    void indicatorFit_data();
    void indicatorFit();
    void sensorNameRefusal_data();
    void sensorNameRefusal();
    void selfDiagLineBreak();
    void pendingCommand();
};

void TstPageRules::configChanged_data() {
    QTest::addColumn<int>("typeId");
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<bool>("changed");
    QTest::newRow("nothing") << 118 << Edit([](TConfigPageValues&) {}) << false;
    QTest::newRow("address") << 118 << Edit([](TConfigPageValues& v) { v.address = 6; }) << true;
    QTest::newRow("rate with a choice")
        << 118 << Edit([](TConfigPageValues& v) { v.baudText = "9600"; }) << true;
    QTest::newRow("rate text without a choice")
        << 113 << Edit([](TConfigPageValues& v) { v.baudText = "1200"; }) << false;
    QTest::newRow("typed rate no number")
        << 115 << Edit([](TConfigPageValues& v) { v.baudText = "fast"; }) << true;
    QTest::newRow("sensor type") << 118 << Edit([](TConfigPageValues& v) { v.sensorItem = 1; }) << true;
    QTest::newRow("three wires unchecked")
        << 118 << Edit([](TConfigPageValues& v) { v.wire3 = false; }) << true;
    QTest::newRow("top") << 118 << Edit([](TConfigPageValues& v) { v.top = 160; }) << true;
    QTest::newRow("bottom") << 115 << Edit([](TConfigPageValues& v) { v.bottom = -40; }) << true;
    QTest::newRow("averaging on") << 118 << Edit([](TConfigPageValues& v) {
        v.averagingOn = true, v.averagingTime = 1;
    }) << true;
    QTest::newRow("direct output") << 113
                                   << Edit([](TConfigPageValues& v) { v.direct = true, v.inverted = false; })
                                   << true;
    QTest::newRow("direction without current output")
        << 115 << Edit([](TConfigPageValues& v) { v.direct = true, v.inverted = false; }) << false;
    QTest::newRow("range with a choice")
        << 117 << Edit([](TConfigPageValues& v) { v.rangeIndex = 2; }) << true;
    QTest::newRow("range without a choice")
        << 113 << Edit([](TConfigPageValues& v) { v.rangeIndex = 2; }) << false;
    QTest::newRow("alarm") << 114 << Edit([](TConfigPageValues& v) { v.alarmCode = 4; }) << true;
    QTest::newRow("no alarm checked") << 114 << Edit([](TConfigPageValues& v) { v.alarmCode = 0; }) << false;
    QTest::newRow("alarm without current output")
        << 116 << Edit([](TConfigPageValues& v) { v.alarmCode = 4; }) << false;
}

void TstPageRules::configChanged() {
    QFETCH(int, typeId);
    QFETCH(Edit, edit);
    QFETCH(bool, changed);
    const TTarvoDevice d = Device(std::uint8_t(typeId));
    TConfigPageValues v = Page(d);
    QVERIFY(!IsConfigChanged(&d, v));
    edit(v);
    QCOMPARE(IsConfigChanged(&d, v), changed);
    QVERIFY(!IsConfigChanged(nullptr, v));
}

void TstPageRules::writtenBlock_data() {
    QTest::addColumn<int>("typeId");
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<QByteArray>("block"); // hex of the 20 bytes, empty: refused
    QTest::addColumn<int>("newAddr");      // 0: no address change
    QTest::addColumn<int>("newRate");      // 0: no rate change
    QTest::newRow("address only, 113 keeps the 9600 code")
        << 113 << Edit([](TConfigPageValues& v) { v.address = 200; })
        << QByteArray("0001 0003 FFCE 0096 0001 0002 0000 00C8 0004 0001") << 200 << 0;
    QTest::newRow("rate of a 116") << 116 << Edit([](TConfigPageValues& v) { v.baudText = "2400"; })
                                   << QByteArray("0001 0003 FFCE 0096 0001 0002 0000 0005 0002 0001") << 0
                                   << 2400;
    QTest::newRow("5.5 mA on a 118, thermocouple keeps three wires") << 118 << Edit([](TConfigPageValues& v) {
        v.rangeIndex = 1, v.alarmCode = 5, v.sensorItem = 10, v.wire3 = false, v.bottom = 300, v.top = 1800;
    }) << QByteArray("000B 0003 012C 0708 0001 0005 0000 0005 0005 0002")
                                                                     << 0 << 0;
    QTest::newRow("5.5 mA is no code for a 113")
        << 113
        << Edit([](TConfigPageValues& v) { v.alarmCode = 5, v.averagingOn = true, v.averagingTime = 30; })
        << QByteArray("0001 0003 FFCE 0096 0001 0002 001E 0005 0004 0001") << 0 << 0;
    QTest::newRow("neither wiring checked keeps the stored one")
        << 118 << Edit([](TConfigPageValues& v) { v.wire3 = false, v.wire4 = false, v.top = 600; })
        << QByteArray("0001 0003 FFCE 0258 0001 0002 0000 0005 0005 0001") << 0 << 0;
    QTest::newRow("typed rate 1000 refused")
        << 118 << Edit([](TConfigPageValues& v) { v.baudText = "1000"; }) << QByteArray() << 0 << 0;
}

void TstPageRules::writtenBlock() {
    QFETCH(int, typeId);
    QFETCH(Edit, edit);
    QFETCH(QByteArray, block);
    QFETCH(int, newAddr);
    QFETCH(int, newRate);
    const TTarvoDevice d = Device(std::uint8_t(typeId));
    TConfigPageValues v = Page(d);
    edit(v);
    const TConfigWrite w = PlanConfigWrite(d, v);
    if (block.isEmpty()) {
        QCOMPARE(w.refusal, QStringLiteral("Недопустимое значение скорости передачи!"));
        return;
    }
    QVERIFY2(w.refusal.isEmpty(), qPrintable(w.refusal));
    QByteArray bytes(20, '\0');
    QVERIFY(EncodeConfigBlock(w.block,
                              std::span<std::uint8_t>(reinterpret_cast<std::uint8_t*>(bytes.data()), 20)));
    QCOMPARE(bytes.toHex(' '), QByteArray::fromHex(block).toHex(' '));
    QCOMPARE(w.changeAddr, newAddr != 0);
    QCOMPARE(w.changeBaud, newRate != 0);
    if (newRate)
        QCOMPARE(BaudRateToInt(w.newBaud), newRate);
}

void TstPageRules::currentLimits() {
    const TCurrentLimits s3 = CalibrCurrentLimits(3, 118);
    QCOMPARE((QList<int>{s3.minimum, s3.maximum, s3.start}), (QList<int>{0, 200, 100}));
    const TCurrentLimits s3b = CalibrCurrentLimits(3, 114);
    QCOMPARE((QList<int>{s3b.minimum, s3b.maximum, s3b.start}), (QList<int>{3800, 4200, 4000}));
    const TCurrentLimits s4 = CalibrCurrentLimits(4, 117);
    QCOMPARE((QList<int>{s4.minimum, s4.maximum, s4.start}), (QList<int>{19000, 21000, 20000}));
    QCOMPARE(s4.refusal,
             QStringLiteral("Нижнее значение выходного сигнала должно быть от 19000 до 21000 мкА!"));
    QVERIFY(!CalibrCurrentLimits(3, 115).valid);
    QVERIFY(!CalibrCurrentLimits(2, 118).valid);
}

void TstPageRules::formatFixed_data() {
    QTest::addColumn<qint64>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::newRow("two decimals, comma") << qint64(2512) << 2 << "ru_RU"
                                         << "25,12";
    QTest::newRow("two decimals, point") << qint64(2512) << 2 << "C"
                                         << "25.12";
    QTest::newRow("below one") << qint64(-1) << 3 << "de_DE"
                               << "-0,001";
    QTest::newRow("zero") << qint64(0) << 2 << "C"
                          << "0.00";
    QTest::newRow("no group separators") << qint64(123456789) << 2 << "en_US"
                                         << "1234567.89";
    QTest::newRow("whole number") << qint64(-4123) << 0 << "ru_RU"
                                  << "-4123";
    QTest::newRow("most negative") << qint64(INT32_MIN) << 3 << "C"
                                   << "-2147483.648";
}

void TstPageRules::formatFixed() {
    QFETCH(qint64, value);
    QFETCH(int, decimals);
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QCOMPARE(FormatFixed(value, decimals, QLocale(locale)), text);
}

void TstPageRules::diagDisplay_data() {
    QTest::addColumn<int>("sensorType");
    QTest::addColumn<int>("scheme");
    QTest::addColumn<int>("temperature");
    QTest::addColumn<int>("day");
    QTest::addColumn<QStringList>("shown"); // T, label, units, R/U, R line ("off" when disabled), date
    QTest::newRow("thermocouple") << 7 << 3 << 2512 << 5
                                  << QStringList{"25.12", "U", "мкВ", "1234567", "off", "05.03.2019"};
    QTest::newRow("four wires") << 1 << 4 << -100000 << 0
                                << QStringList{"-------", "R", "Ом", "1234.567", "off", "--------"};
    QTest::newRow("three wires") << 6 << 3 << -5 << 31
                                 << QStringList{"-0.05", "R", "Ом", "1234.567", "-0.001", "31.03.2019"};
}

void TstPageRules::diagDisplay() {
    QFETCH(int, sensorType);
    QFETCH(int, scheme);
    QFETCH(int, temperature);
    QFETCH(int, day);
    QFETCH(QStringList, shown);
    TTarvoDevice d;
    d.SensorType = std::uint8_t(sensorType);
    d.ConnScheme = std::uint8_t(scheme);
    d.DiagData = {temperature, 1234567, -1, 3150, 4, 17, std::uint8_t(day), 3, std::uint16_t(day ? 2019 : 0)};
    const TDiagDisplay s = DiagDisplay(d, QLocale::c());
    QCOMPARE((QStringList{s.temperature, s.ruLabel, s.ruUnits, s.ru, s.rlineEnabled ? s.rline : "off",
                          s.calibrDate}),
             shown);
    QCOMPARE(s.bodyTemperature, QStringLiteral("31.50"));
    QCOMPARE(s.selfDiag, QStringLiteral("Сопротивление линии подключения ТС больше 25 Ом"));
    QCOMPARE(s.calibrNumber, QStringLiteral("17"));
}

void TstPageRules::nsxPrompt() {
    QCOMPARE(NsxPrompt(7),
             QStringLiteral("Введите значение измеренной температуры\r\n менее -55 °C или более 90 °C"));
    QCOMPARE(NsxPrompt(11),
             QStringLiteral("Введите значение измеренной температуры\r\n менее 270 °C или более 630 °C"));
}

// A code outside the list: no item is checked, and a write of another setting sends the code back.
void TstPageRules::unknownSensorType_data() {
    QTest::addColumn<int>("code");
    QTest::newRow("0") << 0;
    QTest::newRow("12") << 12;
    QTest::newRow("200") << 200;
}

void TstPageRules::unknownSensorType() {
    QFETCH(int, code);
    TTarvoDevice d = Device(118);
    d.SensorType = std::uint8_t(code);
    TConfigPageValues v = Page(d);
    v.sensorItem = -1;
    QVERIFY(!IsConfigChanged(&d, v));
    v.averagingOn = true;
    v.averagingTime = 5;
    const TConfigWrite w = PlanConfigWrite(d, v);
    QVERIFY2(w.refusal.isEmpty(), qPrintable(w.refusal));
    QCOMPARE(int(w.block.SensorType), code);
    QCOMPARE(int(w.block.AveragingTime), 5);
    QCOMPARE(int(w.block.ConnScheme), 3);
}

// A 115 has no current output and its range fields are disabled: a type whose limits the old bounds
// miss is still written, with the bounds brought inside them.
void TstPageRules::boundsOfDisabledRangeFields() {
    for (const int type : {10, 11}) { // ТПП (S), ТПР (B)
        TTarvoDevice d = Device(115);
        TConfigPageValues v = Page(d);
        v.sensorItem = type - 1;
        const TConfigWrite w = PlanConfigWrite(d, v);
        QVERIFY2(w.refusal.isEmpty(), qPrintable(w.refusal));
        std::int32_t from = 0, to = 0;
        GetLowLimitRange(type, from, to);
        QCOMPARE(w.block.RangeLowLimit, qBound(from, std::int32_t(-50), to));
        GetHighLimitRange(type, from, to);
        QCOMPARE(w.block.RangeHighLimit, qBound(from, std::int32_t(150), to));
        QCOMPARE(int(w.block.SensorType), type);
        // Where the user edits the bounds, bounds outside the limits are still refused.
        TTarvoDevice e = Device(118);
        TConfigPageValues u = Page(e);
        u.sensorItem = type - 1;
        QCOMPARE(PlanConfigWrite(e, u).refusal,
                 QStringLiteral("Недопустимое значение нижней границы диапазона измерения!"));
    }
}

// A field whose text is no value of it sends nothing, even when its last valid value is unchanged.
void TstPageRules::fieldTexts_data() {
    QTest::addColumn<int>("typeId");
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("address") << 118 << Edit([](TConfigPageValues& v) { v.addressShown = false; })
                             << "Недопустимое значение адреса: введите число от 1 до 247";
    QTest::newRow("averaging") << 118 << Edit([](TConfigPageValues& v) {
        v.averagingOn = true;
        v.averagingShown = false;
    }) << "Недопустимое время усреднения: введите число от 1 до 30";
    QTest::newRow("bottom") << 118 << Edit([](TConfigPageValues& v) { v.bottomShown = false; })
                            << "Недопустимое значение нижней границы диапазона измерения!";
    QTest::newRow("top") << 118 << Edit([](TConfigPageValues& v) { v.topShown = false; })
                         << "Недопустимое значение верхней границы диапазона измерения!";
    // Disabled range fields are not the user's to fill.
    QTest::newRow("disabled bounds") << 115 << Edit([](TConfigPageValues& v) {
        v.topShown = false;
        v.address = 6;
    }) << "";
}

void TstPageRules::fieldTexts() {
    QFETCH(int, typeId);
    QFETCH(Edit, edit);
    QFETCH(QString, refusal);
    const TTarvoDevice d = Device(std::uint8_t(typeId));
    TConfigPageValues v = Page(d);
    edit(v);
    const TConfigWrite w = PlanConfigWrite(d, v);
    QCOMPARE(w.refusal, refusal);
    QVERIFY(!w.refusalIsWarning);
}

void TstPageRules::indicatorFit_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("cells");
    QTest::addColumn<QString>("shown");
    QTest::newRow("fits with its point") << "-50.000" << 6 << "-50.000";
    QTest::newRow("six digits and a point") << "1234.56" << 6 << "1234.56";
    QTest::newRow("resistance too long") << "-2147483.648" << 6 << "-OL";
    QTest::newRow("EMF too long") << "-123456" << 6 << "-OL";
    QTest::newRow("positive too long") << "1234567" << 6 << "OL";
    QTest::newRow("comma separator") << "21474836,47" << 6 << "OL";
    QTest::newRow("no value stays") << "-------" << 6 << "-------";
    QTest::newRow("empty") << "" << 6 << "";
}

void TstPageRules::indicatorFit() {
    QFETCH(QString, text);
    QFETCH(int, cells);
    QFETCH(QString, shown);
    QCOMPARE(FitIndicatorText(text, cells), shown);
}

void TstPageRules::sensorNameRefusal_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("refusal");
    const QString head =
        QStringLiteral("Тип датчика содержит символы, которые преобразователь не может хранить: ");
    const QString emoji = QString::fromUcs4(U"\U0001F600", 1);
    QTest::newRow("storable") << "ТСП-100 №5 € ?" << "";
    QTest::newRow("no code page form") << "Датчик 中中" << head + "«中». Замените их.";
    QTest::newRow("emoji") << QStringLiteral("T ") + emoji << head + "«" + emoji + "». Замените их.";
    QTest::newRow("tab and line feed") << "a\tb\nc" << head + "табуляция, перевод строки. Замените их.";
    QTest::newRow("other control") << QString(QChar(0x01)) << head + "управляющий символ U+0001. Замените их.";
}

void TstPageRules::sensorNameRefusal() {
    QFETCH(QString, name);
    QFETCH(QString, refusal);
    QCOMPARE(SensorNameRefusal(name), refusal);
}

// Code 3 breaks its line with LF CR: the label shows one line break and no blank before the second line.
void TstPageRules::selfDiagLineBreak() {
    TTarvoDevice d = Device(118);
    d.DiagData.SelfDiagCode = 3;
    const QString shown = DiagDisplay(d, QLocale::c()).selfDiag;
    QCOMPARE(shown, QStringLiteral("1. Обрыв или короткое замыкание датчика температуры\n"
                                   "2. Измеренная температура за пределами диапазона измерения"));
    QVERIFY(SelfDiagText(3).contains(QStringLiteral("\n\r"))); // the text itself is kept
}

void TstPageRules::pendingCommand() {
    TPendingCommand c;
    QVERIFY(!c.Busy());
    c.Sent(0); // not queued: nothing waits
    QVERIFY(!c.Busy());
    c.Sent(10);
    QVERIFY(c.Busy());
    QCOMPARE(c.Take(0), TPendingCommand::TReply::Other); // a reply without a number
    QCOMPARE(c.Take(9), TPendingCommand::TReply::Other); // a poll
    QVERIFY(c.Busy());
    QCOMPARE(c.Take(10), TPendingCommand::TReply::Wanted);
    QVERIFY(!c.Busy());
    QCOMPARE(c.Take(10), TPendingCommand::TReply::Other);
    // Given up: its late reply is dropped, once; the next command's reply is wanted.
    c.Sent(11);
    c.Abandon();
    QVERIFY(!c.Busy());
    c.Sent(12);
    QCOMPARE(c.Take(11), TPendingCommand::TReply::Dropped);
    QVERIFY(c.Busy());
    QCOMPARE(c.Take(11), TPendingCommand::TReply::Other);
    QCOMPARE(c.Take(12), TPendingCommand::TReply::Wanted);
    // A command that follows another before its reply gives the first up.
    c.Sent(13);
    c.Sent(14);
    QCOMPARE(c.Take(13), TPendingCommand::TReply::Dropped);
    QCOMPARE(c.Take(14), TPendingCommand::TReply::Wanted);
}

QTEST_APPLESS_MAIN(TstPageRules)
#include "tst_page_rules.moc"
