// The rules of the information and configuration pages without a window: range limits and labels per
// sensor kind, the checks of both writes, the alarm panel per type code, the sensor number and the date
// entry as typed, under several locales.
#include "Configuration.h"

#include <QTest>

class TstConfiguration : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rangeLimits_data();
    void rangeLimits();
    void configurationWriteChecks_data();
    void configurationWriteChecks();
    void alarmPanels_data();
    void alarmPanels();
    void sensorNumbers_data();
    void sensorNumbers();
    void informationWriteChecks_data();
    void informationWriteChecks();
    void dateForms_data();
    void dateForms();
    void typedDates_data();
    void typedDates();
};

void TstConfiguration::rangeLimits_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QList<int>>("limits"); // top min, top max, bottom min, bottom max
    QTest::addColumn<QString>("maxLabel");
    QTest::addColumn<QString>("minLabel");
    QTest::newRow("Pt 0,00391") << 1 << true << QList<int>{-175, 600, -200, 575} << "600 °C" << "-200 °C";
    QTest::newRow("Pt 0,00385") << 2 << true << QList<int>{-175, 600, -200, 575} << "600 °C" << "-200 °C";
    QTest::newRow("Cu 0,00428") << 3 << true << QList<int>{-75, 200, -100, 175} << "200 °C" << "-100 °C";
    QTest::newRow("none") << 0 << false << QList<int>{} << QString() << QString();
    QTest::newRow("4") << 4 << false << QList<int>{} << QString() << QString();
    QTest::newRow("-1") << -1 << false << QList<int>{} << QString() << QString();
}

void TstConfiguration::rangeLimits() {
    QFETCH(int, kind);
    QFETCH(bool, valid);
    QFETCH(QList<int>, limits);
    QFETCH(QString, maxLabel);
    QFETCH(QString, minLabel);
    const std::optional<TRangeLimits> l = RangeLimits(kind);
    QCOMPARE(l.has_value(), valid);
    if (!valid)
        return;
    QCOMPARE((QList<int>{l->TopMin(), l->TopMax(), l->BottomMin(), l->BottomMax()}), limits);
    QCOMPARE(LimitLabel(l->highest), maxLabel);
    QCOMPARE(LimitLabel(l->lowest), minLabel);
    // ASCII minus, blank, degree sign, Latin C.
    QCOMPARE(LimitLabel(-200).toUtf8(), QByteArray("-200 \xC2\xB0" "C"));
}

void TstConfiguration::configurationWriteChecks_data() {
    QTest::addColumn<int>("bottom");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("check");
    QTest::newRow("0 to 25") << 0 << 25 << int(cwOk);
    QTest::newRow("0 to 24") << 0 << 24 << int(cwRangeTooShort);
    QTest::newRow("equal") << 10 << 10 << int(cwRangeTooShort);
    QTest::newRow("upper below lower") << 50 << 49 << int(cwRangeInverted);
    QTest::newRow("-100 to -75") << -100 << -75 << int(cwOk);
    QTest::newRow("-200 to 600") << -200 << 600 << int(cwOk);
    QTest::newRow("-200 to -176") << -200 << -176 << int(cwRangeTooShort);
    // No overflow of the difference.
    QTest::newRow("extremes") << std::numeric_limits<int>::min() << std::numeric_limits<int>::max() << int(cwOk);
    QTest::newRow("extremes inverted") << std::numeric_limits<int>::max() << std::numeric_limits<int>::min()
                                       << int(cwRangeInverted);
}

void TstConfiguration::configurationWriteChecks() {
    QFETCH(int, bottom);
    QFETCH(int, top);
    QFETCH(int, check);
    TTarvo d;
    d.BottomTempBound = bottom;
    d.TopTempBound = top;
    QCOMPARE(int(CheckConfigurationWrite(d)), check);
}

void TstConfiguration::alarmPanels_data() {
    QTest::addColumn<int>("typeCode");
    QTest::addColumn<int>("panel");
    QTest::addColumn<QStringList>("choices"); // code order
    QTest::newRow("77") << 77 << int(ap4_20mA) << QStringList{"3,2 мА", "3,6 мА", "21 мА", "22 мА"};
    QTest::newRow("78") << 78 << int(ap0_5mA) << QStringList{"0 мА", "5,5 мА"};
    QTest::newRow("0") << 0 << int(apUnsupported) << QStringList{};
    QTest::newRow("76") << 76 << int(apUnsupported) << QStringList{};
    QTest::newRow("79") << 79 << int(apUnsupported) << QStringList{};
    QTest::newRow("118") << 118 << int(apUnsupported) << QStringList{};
}

void TstConfiguration::alarmPanels() {
    QFETCH(int, typeCode);
    QFETCH(int, panel);
    QFETCH(QStringList, choices);
    QCOMPARE(int(AlarmPanelFor(typeCode)), panel);
    QStringList texts;
    int code = 1;
    for (const TAlarmCurrent& a : AlarmCurrents(typeCode)) {
        QCOMPARE(a.code, code++);
        texts << QString::fromUtf16(a.text);
    }
    QCOMPARE(texts, choices);
}

void TstConfiguration::sensorNumbers_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("number");
    QTest::newRow("0") << "0" << true << 0;
    QTest::newRow("1234") << "1234" << true << 1234;
    QTest::newRow("blanks around") << "  42 " << true << 42;
    QTest::newRow("leading zeros") << "000000000007" << true << 7;
    QTest::newRow("largest") << "2147483647" << true << 2147483647;
    QTest::newRow("one more") << "2147483648" << false << 0;
    QTest::newRow("beyond 32 bits") << "99999999999" << false << 0;
    QTest::newRow("far beyond") << "123456789012345678901234567890" << false << 0;
    QTest::newRow("negative") << "-3" << false << 0;
    QTest::newRow("minus zero") << "-0" << false << 0;
    QTest::newRow("plus") << "+5" << false << 0;
    QTest::newRow("letters") << "12a" << false << 0;
    QTest::newRow("letters first") << "a12" << false << 0;
    QTest::newRow("inner blank") << "1 2" << false << 0;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("blanks") << "   " << false << 0;
    QTest::newRow("hex") << "0x1F" << false << 0;
    QTest::newRow("pascal hex") << "$1F" << false << 0;
    QTest::newRow("exponent") << "1e3" << false << 0;
    QTest::newRow("decimal") << "1,5" << false << 0;
    QTest::newRow("arabic-indic digits") << QStringLiteral("٣") << false << 0;
    QTest::newRow("full-width digits") << QStringLiteral("１２") << false << 0;
}

void TstConfiguration::sensorNumbers() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, number);
    const std::optional<std::int32_t> n = ParseSensorNumber(text);
    QCOMPARE(n.has_value(), valid);
    if (valid)
        QCOMPARE(*n, number);
}

void TstConfiguration::informationWriteChecks_data() {
    QTest::addColumn<QString>("sensorType");
    QTest::addColumn<bool>("hasDate");
    QTest::addColumn<int>("check");
    QTest::addColumn<QString>("characters");
    QTest::newRow("plain") << "Pt100" << true << int(iwOk) << QString();
    QTest::newRow("Cyrillic and signs of the code page") << "ТСП-100 №1 °C €" << true << int(iwOk) << QString();
    QTest::newRow("empty") << "" << true << int(iwOk) << QString();
    QTest::newRow("no date comes first") << "Müller" << false << int(iwNoDate) << QString();
    QTest::newRow("letter the code page lacks") << "Müller" << true << int(iwUnencodableText) << "ü";
    QTest::newRow("each named once, in order") << "éüé ü ẞ" << true << int(iwUnencodableText) << "éüẞ";
    QTest::newRow("outside 16 bits") << "Pt😀100😀" << true << int(iwUnencodableText) << "😀";
    // Only 24 characters travel: what lies beyond is not sent and not judged.
    QTest::newRow("24th character") << QString(23, u'x') + "ü" << true << int(iwUnencodableText) << "ü";
    QTest::newRow("25th character") << QString(24, u'x') + "ü" << true << int(iwOk) << QString();
    QTest::newRow("a wide character counts as one") << QString(22, u'x') + "😀ü" << true << int(iwUnencodableText)
                                                     << "😀ü";
}

void TstConfiguration::informationWriteChecks() {
    QFETCH(QString, sensorType);
    QFETCH(bool, hasDate);
    QFETCH(int, check);
    QFETCH(QString, characters);
    TTarvo d;
    d.SensorType = sensorType;
    if (hasDate)
        d.SensorDate = QDate(2021, 6, 5);
    const TInfoWriteCheckResult r = CheckInformationWrite(d);
    QCOMPARE(int(r.check), check);
    QCOMPARE(r.characters, characters);
}

void TstConfiguration::dateForms_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("empty");
    QTest::addColumn<QString>("shown"); // 5 June 2021
    QTest::addColumn<QString>("mask");
    // The C locale's "d MMM yyyy" has a month name: the fixed form.
    QTest::newRow("C") << "C" << "  .  .    " << "05.06.2021" << "00.00.0000; ";
    QTest::newRow("ru_RU") << "ru_RU" << "  .  .    " << "05.06.2021" << "00.00.0000; ";
    QTest::newRow("de_DE two-digit year") << "de_DE" << "  .  .    " << "05.06.2021" << "00.00.0000; ";
    QTest::newRow("en_US month first") << "en_US" << "  /  /    " << "06/05/2021" << "00/00/0000; ";
    QTest::newRow("en_GB") << "en_GB" << "  /  /    " << "05/06/2021" << "00/00/0000; ";
    QTest::newRow("nl_NL") << "nl_NL" << "  -  -    " << "05-06-2021" << "00-00-0000; ";
    QTest::newRow("sv_SE year first") << "sv_SE" << "    -  -  " << "2021-06-05" << "0000-00-00; ";
    QTest::newRow("zh_CN year first") << "zh_CN" << "    /  /  " << "2021/06/05" << "0000/00/00; ";
    // Separators of more than one character, or text around the fields: the fixed form.
    QTest::newRow("hr_HR") << "hr_HR" << "  .  .    " << "05.06.2021" << "00.00.0000; ";
    QTest::newRow("bg_BG") << "bg_BG" << "  .  .    " << "05.06.2021" << "00.00.0000; ";
}

void TstConfiguration::dateForms() {
    QFETCH(QString, locale);
    QFETCH(QString, empty);
    QFETCH(QString, shown);
    QFETCH(QString, mask);
    const TDateForm f = TDateForm::ForLocale(QLocale(locale));
    QCOMPARE(f.EmptyText(), empty);
    QCOMPARE(f.Text(QDate(2021, 6, 5)), shown);
    QCOMPARE(f.InputMask(), mask);
    QCOMPARE(f.Text(QDate()), empty);
    QCOMPARE(f.Parse(shown), std::optional<QDate>(QDate(2021, 6, 5)));
    QCOMPARE(f.Parse(empty), std::nullopt);
    QCOMPARE(f.Text(QDate(999, 12, 31)).size(), 10);
}

void TstConfiguration::typedDates_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("shown"); // as the masked entry shows it, blanks included
    QTest::addColumn<QDate>("date");    // null: refused
    QTest::newRow("date") << "ru_RU" << "05.06.2021" << QDate(2021, 6, 5);
    QTest::newRow("leap day") << "ru_RU" << "29.02.2020" << QDate(2020, 2, 29);
    QTest::newRow("no leap day") << "ru_RU" << "29.02.2021" << QDate();
    QTest::newRow("31 February") << "ru_RU" << "31.02.2020" << QDate();
    QTest::newRow("day 0") << "ru_RU" << "00.06.2021" << QDate();
    QTest::newRow("month 13") << "ru_RU" << "05.13.2021" << QDate();
    QTest::newRow("year 0") << "ru_RU" << "05.06.0000" << QDate();
    QTest::newRow("year 1") << "ru_RU" << "01.01.0001" << QDate(1, 1, 1);
    QTest::newRow("day half typed") << "ru_RU" << "5 .06.2021" << QDate();
    QTest::newRow("year half typed") << "ru_RU" << "05.06.21  " << QDate();
    QTest::newRow("nothing typed") << "ru_RU" << "  .  .    " << QDate();
    QTest::newRow("other separator") << "ru_RU" << "05/06/2021" << QDate();
    QTest::newRow("too long") << "ru_RU" << "05.06.20211" << QDate();
    QTest::newRow("empty") << "ru_RU" << "" << QDate();
    QTest::newRow("en_US") << "en_US" << "12/31/2021" << QDate(2021, 12, 31);
    QTest::newRow("en_US day first is wrong") << "en_US" << "31/12/2021" << QDate();
    QTest::newRow("sv_SE") << "sv_SE" << "2021-12-31" << QDate(2021, 12, 31);
    QTest::newRow("C") << "C" << "31.12.2021" << QDate(2021, 12, 31);
}

void TstConfiguration::typedDates() {
    QFETCH(QString, locale);
    QFETCH(QString, shown);
    QFETCH(QDate, date);
    const std::optional<QDate> d = TDateForm::ForLocale(QLocale(locale)).Parse(shown);
    QCOMPARE(d.has_value(), date.isValid());
    if (d)
        QCOMPARE(*d, date);
}

QTEST_GUILESS_MAIN(TstConfiguration)
#include "tst_configuration.moc"
