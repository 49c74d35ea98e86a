// Indicator styles in files: the key decoding, the fallbacks, round trips, the start-up load of the
// three indicators and the closing write.
#include "IndStyle.h"

#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(TIndStyle)

using L = TLcdIndicator;

class TstIndStyle : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void decoding_data();
    void decoding();
    void fallbacks_data();
    void fallbacks();
    void roundTrip_data();
    void roundTrip();
    void styleColoursPrevailOverScheme();
    void startupWithoutFile();
    void startupSectionsNotReset();
    void closingWritesThreeSections();
    void indExtension_data();
    void indExtension();
    void dialogFilter();
};

namespace {

TIndStyle Read(const QByteArray& section, TIndStyle start = TIndStyle()) {
    LoadIndStyle(TIniFile::FromBytes("[IndStyle]\r\n" + section), QStringLiteral("IndStyle"), start);
    return start;
}

// A style unlike the defaults in every field.
TIndStyle Odd() {
    TIndStyle s;
    s.ColorScheme = L::csNavy;
    s.IndicatorGap = 5;
    s.NumberForeColor = 0x0000FF;
    s.NumberBackColor = 0x123456;
    s.BackColor = 0x000000;
    s.BevelColor = 0xFFFFFF;
    s.IndicatorKind = L::ik5x7matrix;
    s.IndicatorStyle = L::isThin;
    return s;
}

} // namespace

void TstIndStyle::decoding_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("field"); // scheme, kind or style
    QTest::addColumn<int>("value");     // -1: left as it was
    QTest::newRow("csPlasma") << QByteArray("Colorsheme=csPlasma") << "scheme" << int(L::csPlasma);
    QTest::newRow("csplasma") << QByteArray("Colorsheme=csplasma") << "scheme" << int(L::csPlasma);
    QTest::newRow("CSINVPLASMA") << QByteArray("COLORSHEME=CSINVPLASMA") << "scheme" << int(L::csInvPlasma);
    QTest::newRow("each scheme: csInvSilver") << QByteArray("Colorsheme=csInvSilver") << "scheme" << int(L::csInvSilver);
    QTest::newRow("csWhite") << QByteArray("Colorsheme=csWhite") << "scheme" << int(L::csWhite);
    QTest::newRow("csBlack") << QByteArray("Colorsheme=csBlack") << "scheme" << int(L::csBlack);
    QTest::newRow("csNavy") << QByteArray("Colorsheme=csNavy") << "scheme" << int(L::csNavy);
    QTest::newRow("scheme unknown") << QByteArray("Colorsheme=csGold") << "scheme" << -1;
    QTest::newRow("scheme empty") << QByteArray("Colorsheme=") << "scheme" << -1;
    QTest::newRow("scheme correct spelling is another key") << QByteArray("ColorScheme=csNavy") << "scheme"
                                                            << int(L::csSilver);
    QTest::newRow("IK5X7MATRIX") << QByteArray("IndKind=IK5X7MATRIX") << "kind" << int(L::ik5x7matrix);
    QTest::newRow("ik7segment") << QByteArray("IndKind=ik7segment") << "kind" << int(L::ik7segment);
    QTest::newRow("nine segments are no style") << QByteArray("IndKind=ik9segment") << "kind" << -1;
    QTest::newRow("isthin") << QByteArray("IndSlyle=isthin") << "style" << int(L::isThin);
    QTest::newRow("isNormal") << QByteArray("IndSlyle=isNormal") << "style" << int(L::isNormal);
    QTest::newRow("style unknown") << QByteArray("IndSlyle=isBold") << "style" << -1;
    QTest::newRow("style correct spelling is another key") << QByteArray("IndStyle=isThin") << "style"
                                                           << int(L::isThick);
}

void TstIndStyle::decoding() {
    QFETCH(QByteArray, line);
    QFETCH(QString, field);
    QFETCH(int, value);
    const TIndStyle start = Odd();
    // Every other key present, so that only the one under test decides.
    QByteArray section = line + "\r\n";
    if (field != QLatin1String("scheme"))
        section += "Colorsheme=csNavy\r\n";
    if (field != QLatin1String("kind"))
        section += "IndKind=ik5x7matrix\r\n";
    if (field != QLatin1String("style"))
        section += "IndSlyle=isThin\r\n";
    const TIndStyle s = Read(section, start);
    if (field == QLatin1String("scheme"))
        QCOMPARE(int(s.ColorScheme), value < 0 ? int(start.ColorScheme) : value);
    else if (field == QLatin1String("kind"))
        QCOMPARE(int(s.IndicatorKind), value < 0 ? int(start.IndicatorKind) : value);
    else
        QCOMPARE(int(s.IndicatorStyle), value < 0 ? int(start.IndicatorStyle) : value);
}

void TstIndStyle::fallbacks_data() {
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<TIndStyle>("expected");
    const TIndStyle d;
    QTest::newRow("empty section gives the defaults") << QByteArray() << d;
    TIndStyle gap = d;
    gap.IndicatorGap = 7;
    QTest::newRow("gap 7") << QByteArray("IndGrap=7\r\n") << gap;
    QTest::newRow("negative gap") << QByteArray("IndGrap=-3\r\n") << d;
    QTest::newRow("gap beyond the window's range") << QByteArray("IndGrap=8\r\n") << d;
    QTest::newRow("enormous numbers") << QByteArray("IndGrap=99999999999999\r\nNumForeColor=123456789012345\r\n"
                                                    "BackColor=-99999999999999999\r\n")
                                      << d;
    QTest::newRow("garbage numbers") << QByteArray("NumBackColor=red\r\nBevelColor=0x\r\nIndGrap=two\r\n") << d;
    QByteArray binary(600, '\0');
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = char((i * 37 + 11) & 0xFF);
    QTest::newRow("binary bytes") << binary << d;
    TIndStyle hex = d;
    hex.NumberForeColor = 0xFF;
    QTest::newRow("hex colour") << QByteArray("NumForeColor=$FF\r\n") << hex;
}

void TstIndStyle::fallbacks() {
    QFETCH(QByteArray, section);
    QFETCH(TIndStyle, expected);
    QCOMPARE(Read(section), expected);
}

void TstIndStyle::roundTrip_data() {
    QTest::addColumn<TIndStyle>("style");
    for (L::TLcdColorScheme scheme : {L::csSilver, L::csInvSilver, L::csWhite, L::csBlack, L::csPlasma,
                                      L::csInvPlasma, L::csNavy}) {
        TIndStyle s = Odd();
        s.ColorScheme = scheme;
        s.IndicatorGap = int(scheme);
        s.IndicatorKind = int(scheme) % 2 ? L::ik5x7matrix : L::ik7segment;
        s.IndicatorStyle = L::TLcdIndicatorStyle(int(scheme) % 3);
        s.NumberForeColor = 0x010203 * (int(scheme) + 1);
        QTest::newRow(qPrintable(ColorSchemeName(scheme))) << s;
    }
    QTest::newRow("defaults") << TIndStyle();
}

void TstIndStyle::roundTrip() {
    QFETCH(TIndStyle, style);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("style.ind"));
    // Through an indicator, a file on disk and another indicator.
    L a;
    ApplyIndStyle(a, style);
    QCOMPARE(GetIndStyle(a), style);
    TIniFile file(path);
    SaveIndStyle(a, file, QStringLiteral("IndStyle"));
    QCOMPARE(file.Save(), TIniError::None);
    TIndStyle back = Odd();
    back.ColorScheme = L::csWhite;
    LoadIndStyle(TIniFile(path), QStringLiteral("indstyle"), back);
    QCOMPARE(back, style);
    L b;
    ApplyIndStyle(b, back);
    QCOMPARE(GetIndStyle(b), style);
}

void TstIndStyle::styleColoursPrevailOverScheme() {
    L ind;
    TIndStyle s;
    s.ColorScheme = L::csPlasma;
    s.NumberForeColor = 0x00FF00; // green, not the plasma's amber
    ApplyIndStyle(ind, s);
    QCoreApplication::processEvents(); // the scheme's posted refresh must not undo the colours
    QCOMPARE(ind.ColorScheme(), L::csPlasma);
    QCOMPARE(ind.NumberForeColor(), QColor(0, 0xFF, 0));
    QCOMPARE(ind.NumberBackColor(), QColor(0xD3, 0xD3, 0xD3));
    QCOMPARE(ind.NumberForeColor1(), L::SchemeColorsOf(L::csPlasma).numberFore1); // the scheme's own
    L copy;
    CopyIndStyle(ind, copy);
    QCOMPARE(GetIndStyle(copy), GetIndStyle(ind));
}

void TstIndStyle::startupWithoutFile() {
    L t, r, date;
    for (L* ind : {&t, &r, &date}) { // start from something else than the defaults
        ind->setColorScheme(L::csNavy);
        ind->setIndicatorStyle(L::isNormal);
    }
    LoadIndicatorStyles(TIniFile(QStringLiteral("/nonexistent/Tarvo_TS.ini")), &t, &r, &date);
    for (L* ind : {&t, &r, &date}) {
        QCOMPARE(ind->ColorScheme(), L::csSilver);
        QCOMPARE(ind->IndicatorGap(), 2);
        QCOMPARE(ind->NumberForeColor(), QColor(0x80, 0x00, 0x80));
        QCOMPARE(ind->NumberBackColor(), QColor(0xD3, 0xD3, 0xD3));
        QCOMPARE(ind->BackColor(), QColor(0xDD, 0xDD, 0xDD));
        QCOMPARE(ind->BevelColor(), QColor(0xDD, 0xDD, 0xDD));
        QCOMPARE(ind->IndicatorKind(), L::ik7segment);
        QCOMPARE(ind->IndicatorStyle(), L::isThick);
    }
}

void TstIndStyle::startupSectionsNotReset() {
    // An unknown name in a later section keeps what the section before gave.
    const TIniFile file = TIniFile::FromBytes("[IndTStyle]\r\nColorsheme=csNavy\r\nIndKind=ik5x7matrix\r\n"
                                              "[IndRStyle]\r\nColorsheme=csGold\r\nIndKind=?\r\nIndGrap=4\r\n"
                                              "[IndCalibrDateStyle]\r\nColorsheme=CSBLACK\r\n");
    L t, r, date;
    LoadIndicatorStyles(file, &t, &r, &date);
    QCOMPARE(t.ColorScheme(), L::csNavy);
    QCOMPARE(r.ColorScheme(), L::csNavy);
    QCOMPARE(r.IndicatorKind(), L::ik5x7matrix);
    QCOMPARE(r.IndicatorGap(), 4);
    QCOMPARE(date.ColorScheme(), L::csBlack);
    QCOMPARE(date.IndicatorKind(), L::ik7segment); // a missing key is its default, not the previous value
    QCOMPARE(date.IndicatorGap(), 2);
}

void TstIndStyle::closingWritesThreeSections() {
    L t, r, date;
    TIndStyle s = Odd();
    ApplyIndStyle(t, s);
    s.ColorScheme = L::csWhite;
    ApplyIndStyle(r, s);
    TIniFile file = TIniFile::FromBytes("[Defaults]\r\nRepeatNum=3\r\n");
    SaveIndicatorStyles(file, &t, &r, &date);
    QCOMPARE(file.Bytes(), QByteArray("[Defaults]\r\nRepeatNum=3\r\n"
                                      "[IndTStyle]\r\nColorsheme=csNavy\r\nNumForeColor=255\r\nNumBackColor=1193046\r\n"
                                      "BackColor=0\r\nBevelColor=16777215\r\nIndKind=ik5x7matrix\r\nIndSlyle=isThin\r\n"
                                      "IndGrap=5\r\n"
                                      "[IndRStyle]\r\nColorsheme=csWhite\r\nNumForeColor=255\r\nNumBackColor=1193046\r\n"
                                      "BackColor=0\r\nBevelColor=16777215\r\nIndKind=ik5x7matrix\r\nIndSlyle=isThin\r\n"
                                      "IndGrap=5\r\n"
                                      "[IndCalibrDateStyle]\r\nColorsheme=csSilver\r\nNumForeColor=3552822\r\n"
                                      "NumBackColor=13882323\r\nBackColor=14540253\r\nBevelColor=14540253\r\n"
                                      "IndKind=ik7segment\r\nIndSlyle=isNormal\r\nIndGrap=2\r\n"));
    // Read back at the next start, the three come back.
    L t2, r2, date2;
    LoadIndicatorStyles(file, &t2, &r2, &date2);
    QCOMPARE(GetIndStyle(t2), GetIndStyle(t));
    QCOMPARE(GetIndStyle(r2), GetIndStyle(r));
    QCOMPARE(GetIndStyle(date2), GetIndStyle(date));
}

void TstIndStyle::indExtension_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("saved");
    QTest::newRow("style") << "style" << "style.ind";
    QTest::newRow("style.old") << "style.old" << "style.old";
    QTest::newRow("full stop of a folder") << "C:\\a.b\\st" << "C:\\a.b\\st";
    QTest::newRow("full stop eight back") << "/tmp/a.bcdefgh" << "/tmp/a.bcdefgh.ind";
    QTest::newRow("full stop seven back") << "/tmp/a.bcdefg" << "/tmp/a.bcdefg";
}

void TstIndStyle::indExtension() {
    QFETCH(QString, chosen);
    QFETCH(QString, saved);
    QCOMPARE(WithIndExtension(chosen), saved);
}

void TstIndStyle::dialogFilter() {
#ifdef Q_OS_WIN
    QCOMPARE(IndStyleFileFilter(), QStringLiteral("Файлы стилей индикаторов (*.ind);;Все файлы (*.*)"));
#else
    QCOMPARE(IndStyleFileFilter(), QStringLiteral("Файлы стилей индикаторов (*.ind);;Все файлы (*)"));
    QCOMPARE(IndStyleOpenFolder(), QStringLiteral("/ColorShemas"));
#endif
}

QTEST_MAIN(TstIndStyle)
#include "tst_indstyle.moc"
