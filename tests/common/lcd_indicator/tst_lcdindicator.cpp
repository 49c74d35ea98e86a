#include "LcdIndicator.h"

#include <QEnterEvent>
#include <QHBoxLayout>
#include <QSignalSpy>
#include <QTest>

using L = TLcdIndicator;

Q_DECLARE_METATYPE(L::TLcdIndicatorKind)
Q_DECLARE_METATYPE(L::TLcdIndicatorStyle)
Q_DECLARE_METATYPE(L::TLcdColorScheme)
Q_DECLARE_METATYPE(L::TLcdTransparentMode)
Q_DECLARE_METATYPE(L::TLcdMaterialShadowMode)

namespace {

QPolygon poly(std::initializer_list<QPoint> pts) {
    return QPolygon(QList<QPoint>(pts));
}

QPoint centre(const QPolygon& p) {
    QPointF sum;
    for (const QPoint& pt : p)
        sum += pt;
    sum /= static_cast<double>(p.size());
    return sum.toPoint();
}

QRgb rgbAt(const QImage& img, QPoint p) {
    return img.pixel(p) & 0xFFFFFF;
}

QRgb rgb(unsigned v) {
    return static_cast<QRgb>(v);
}

// Two big cells (a cell is 94 x 68 pixels) so that every segment is several pixels thick; the text "1"
// lights segments 4 and 5 of the second cell.
void makeBig(L& ind) {
    ind.setIndicatorWidth(200);
    ind.setIndicatorHeight(80);
    ind.setSignNumber(2);
    ind.setIndicatorstring(QStringLiteral("1"));
}

void hover(L& ind) {
    QEnterEvent enter(QPointF(3, 3), QPointF(3, 3), QPointF(3, 3));
    QCoreApplication::sendEvent(&ind, &enter);
    QCoreApplication::sendPostedEvents(&ind);
}

void unhover(L& ind) {
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&ind, &leave);
    QCoreApplication::sendPostedEvents(&ind);
}

} // namespace

class TestLcdIndicator : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void glyphs_data();
    void glyphs();
    void cells_data();
    void cells();
    void elementCorners_data();
    void elementCorners();
    void cellLayout_data();
    void cellLayout();
    void placingAndRotation_data();
    void placingAndRotation();
    void controlSizeFollowsAngle_data();
    void controlSizeFollowsAngle();
    void hostResize_data();
    void hostResize();
    void keepsItsSizeInALayout();
    void slantedOutline();
    void nonPositiveValuesIgnored_data();
    void nonPositiveValuesIgnored();
    void defaults();
    void colorSchemes_data();
    void colorSchemes();
    void litAndUnlitPixels();
    void bevelLightFacesUpAndLeft_data();
    void bevelLightFacesUpAndLeft();
    void mouseHover();
    void transparentModes_data();
    void transparentModes();
    void backMaterialShading_data();
    void backMaterialShading();
    void foreMaterial();
};

void TestLcdIndicator::glyphs_data() {
    QTest::addColumn<L::TLcdIndicatorKind>("kind");
    QTest::addColumn<QString>("ch");
    QTest::addColumn<QString>("pattern");
    // Seven segments: lower-left, upper-left, top, upper-right, lower-right, bottom, middle, point.
    QTest::newRow("7: 0") << L::ik7segment << "0"
                          << "11111100";
    QTest::newRow("7: letter O as zero") << L::ik7segment << "O"
                                         << "11111100";
    QTest::newRow("7: 1") << L::ik7segment << "1"
                          << "00011000";
    QTest::newRow("7: 4") << L::ik7segment << "4"
                          << "01011010";
    QTest::newRow("7: 7") << L::ik7segment << "7"
                          << "00111000";
    QTest::newRow("7: 9") << L::ik7segment << "9"
                          << "01111110";
    QTest::newRow("7: b") << L::ik7segment << "b"
                          << "11001110";
    QTest::newRow("7: B is not in the table") << L::ik7segment << "B"
                                              << "00000000";
    QTest::newRow("7: c") << L::ik7segment << "c"
                          << "10000110";
    QTest::newRow("7: j") << L::ik7segment << "j"
                          << "00001100";
    QTest::newRow("7: Y") << L::ik7segment << "Y"
                          << "01011110";
    QTest::newRow("7: hyphen") << L::ik7segment << "-"
                               << "00000010";
    QTest::newRow("7: low line") << L::ik7segment << "_"
                                 << "00000100";
    QTest::newRow("7: degree sign") << L::ik7segment << QStringLiteral("\u00B0") << "01110010";
    QTest::newRow("7: K blank") << L::ik7segment << "K"
                                << "00000000";
    QTest::newRow("7: colon blank") << L::ik7segment << ":"
                                    << "00000000";
    QTest::newRow("7: Cyrillic С blank") << L::ik7segment << QStringLiteral("\u0421") << "00000000";
    // Nine segments: the seven, upper and lower colon dot, point.
    QTest::newRow("9: 8") << L::ik9segment << "8"
                          << "1111111000";
    QTest::newRow("9: colon") << L::ik9segment << ":"
                              << "0000000110";
    QTest::newRow("9: hyphen") << L::ik9segment << "-"
                               << "0000001000";
    QTest::newRow("9: K blank") << L::ik9segment << "K"
                                << "0000000000";
    // Matrix: seven rows of five, top row first.
    QTest::newRow("m: K") << L::ik5x7matrix << "K"
                          << "10001100101010011000101001001010001";
    QTest::newRow("m: full stop") << L::ik5x7matrix << "."
                                  << "00000000000000000000000000011000110";
    QTest::newRow("m: comma") << L::ik5x7matrix << ","
                              << "00000000000000000000001100011000010";
    QTest::newRow("m: 2") << L::ik5x7matrix << "2"
                          << "01110100010000100010001000100011111";
    QTest::newRow("m: g") << L::ik5x7matrix << "g"
                          << "00000000000111010001011110000100110";
    QTest::newRow("m: tilde") << L::ik5x7matrix << "~"
                              << "01010101000000000000000000000000000";
    QTest::newRow("m: exclamation") << L::ik5x7matrix << "!"
                                    << "00110001100011000110000000011000110";
    QTest::newRow("m: blank") << L::ik5x7matrix << " " << QString(35, u'0');
    QTest::newRow("m: DEL blank") << L::ik5x7matrix << QStringLiteral("\u007F") << QString(35, u'0');
    QTest::newRow("m: Cyrillic Д blank") << L::ik5x7matrix << QStringLiteral("\u0414") << QString(35, u'0');
}

void TestLcdIndicator::glyphs() {
    QFETCH(L::TLcdIndicatorKind, kind);
    QFETCH(QString, ch);
    QFETCH(QString, pattern);
    QCOMPARE(L::GlyphPattern(ch.at(0), kind), pattern);
}

void TestLcdIndicator::cells_data() {
    QTest::addColumn<L::TLcdIndicatorKind>("kind");
    QTest::addColumn<int>("signs");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    const QString b7 = QStringLiteral("00000000");
    const QString b9 = QStringLiteral("0000000000");
    QTest::newRow("12.5 in five cells")
        << L::ik7segment << 5 << "12.5" << QStringList{b7, b7, "00011000", "10110111", "01101110"};
    QTest::newRow("seven dashes") << L::ik7segment << 7 << "-------"
                                  << QStringList(7, QStringLiteral("00000010"));
    QTest::newRow("K blank") << L::ik7segment << 2 << "K1" << QStringList{b7, "00011000"};
    QTest::newRow("leading point has its own cell")
        << L::ik7segment << 3 << ".5" << QStringList{b7, "00000001", "01101110"};
    QTest::newRow("second point has its own cell")
        << L::ik7segment << 4 << "1..2" << QStringList{b7, "00011001", "00000001", "10110110"};
    QTest::newRow("comma as a point") << L::ik7segment << 2 << "1,5" << QStringList{"00011001", "01101110"};
    QTest::newRow("too long: leftmost part")
        << L::ik7segment << 3 << "12.345" << QStringList{"00011000", "10110111", "00111110"};
    QTest::newRow("empty") << L::ik7segment << 2 << "" << QStringList{b7, b7};
    QTest::newRow("colon on nine segments")
        << L::ik9segment << 3 << "1:2" << QStringList{"0001100000", "0000000110", "1011011000"};
    QTest::newRow("colon on seven segments")
        << L::ik7segment << 3 << "1:2" << QStringList{"00011000", b7, "10110110"};
    QTest::newRow("nine segments, point") << L::ik9segment << 2 << "5." << QStringList{b9, "0110111001"};
    QTest::newRow("nine segments, lone point") << L::ik9segment << 1 << "." << QStringList{"0000000001"};

    auto m = [](const QString& s) {
        QStringList out;
        for (const QChar ch : s)
            out.append(L::GlyphPattern(ch, L::ik5x7matrix));
        return out;
    };
    QTest::newRow("matrix: ten-character date in eight cells")
        << L::ik5x7matrix << 8 << "05.03.2019" << m(QStringLiteral("05.03.20"));
    QTest::newRow("matrix: right-aligned, points take cells")
        << L::ik5x7matrix << 5 << "1.5" << m(QStringLiteral("  1.5"));
}

void TestLcdIndicator::cells() {
    QFETCH(L::TLcdIndicatorKind, kind);
    QFETCH(int, signs);
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QCOMPARE(L::CellPatterns(text, kind, signs), expected);
}

void TestLcdIndicator::elementCorners_data() {
    QTest::addColumn<L::TLcdIndicatorKind>("kind");
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<L::TLcdIndicatorStyle>("style");
    QTest::addColumn<bool>("hovered");
    QTest::addColumn<int>("element"); // 0-based
    QTest::addColumn<QPolygon>("corners");
    // Cell 16 x 24: u = 2, v = 3; isNormal's thickness 2.67 is raised to 3.
    QTest::newRow("lower-left, 16x24 normal") << L::ik7segment << 16 << 24 << L::isNormal << false << 0
                                              << poly({{2, 21}, {0, 18}, {1, 13}, {3, 12}, {4, 13}, {3, 18}});
    QTest::newRow("top, 16x24 normal") << L::ik7segment << 16 << 24 << L::isNormal << false << 2
                                       << poly({{5, 1}, {6, 1}, {10, 1}, {12, 1}, {10, 4}, {6, 4}});
    QTest::newRow("upper-right, 16x24 normal")
        << L::ik7segment << 16 << 24 << L::isNormal << false << 3
        << poly({{13, 1}, {14, 4}, {13, 9}, {12, 11}, {10, 9}, {11, 4}});
    QTest::newRow("point, 16x24 normal")
        << L::ik7segment << 16 << 24 << L::isNormal << false << 7
        << poly({{12, 21}, {13, 19}, {14, 19}, {15, 21}, {14, 22}, {13, 22}});
    // isThick's 3.2 is raised to 4.
    QTest::newRow("top, 16x24 thick") << L::ik7segment << 16 << 24 << L::isThick << false << 2
                                      << poly({{5, 1}, {7, 1}, {10, 1}, {12, 1}, {10, 5}, {7, 5}});
    // Cell 40 x 64: u = 5, v = 8; t = 6.67, hovered 8.
    QTest::newRow("middle, 40x64 normal")
        << L::ik7segment << 40 << 64 << L::isNormal << false << 6
        << poly({{8, 32}, {11, 28}, {25, 28}, {29, 32}, {25, 35}, {11, 35}});
    QTest::newRow("middle, 40x64 normal hovered")
        << L::ik7segment << 40 << 64 << L::isNormal << true << 6
        << poly({{8, 32}, {12, 28}, {25, 28}, {29, 32}, {25, 36}, {12, 36}});
    QTest::newRow("upper colon dot, 40x64 normal")
        << L::ik9segment << 40 << 64 << L::isNormal << false << 7
        << poly({{17, 24}, {15, 20}, {17, 15}, {22, 15}, {24, 20}, {22, 24}});
    QTest::newRow("nine segments: point is the tenth")
        << L::ik9segment << 16 << 24 << L::isNormal << false << 9
        << poly({{12, 21}, {13, 19}, {14, 19}, {15, 21}, {14, 22}, {13, 22}});
    // Matrix 16 x 24: d = 1, p = 2.4, q = 3.43; the dot sizes 0.8 x 1.57 are raised to 2.5.
    QTest::newRow("matrix first dot, smallest size")
        << L::ik5x7matrix << 16 << 24 << L::isNormal << false << 0 << poly({{2, 0}, {4, 0}, {4, 2}, {2, 2}});
    QTest::newRow("matrix last dot") << L::ik5x7matrix << 16 << 24 << L::isNormal << false << 34
                                     << poly({{11, 20}, {13, 20}, {13, 22}, {11, 22}});
    // Matrix 40 x 70 thick: d = 2, p = 6.8, q = 10; dots 5.8 x 9, hovered 4.1 x 6.5.
    QTest::newRow("matrix row 3 column 2, thick") << L::ik5x7matrix << 40 << 70 << L::isThick << false << 11
                                                  << poly({{9, 20}, {14, 20}, {14, 29}, {9, 29}});
    QTest::newRow("matrix dot shrinks when hovered") << L::ik5x7matrix << 40 << 70 << L::isThick << true << 11
                                                     << poly({{9, 20}, {13, 20}, {13, 26}, {9, 26}});
}

void TestLcdIndicator::elementCorners() {
    QFETCH(L::TLcdIndicatorKind, kind);
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(L::TLcdIndicatorStyle, style);
    QFETCH(bool, hovered);
    QFETCH(int, element);
    QFETCH(QPolygon, corners);
    const QList<QPolygon> elements = L::CellElementPolygons(kind, w, h, style, hovered);
    QCOMPARE(elements.size(), kind == L::ik5x7matrix ? 35 : kind == L::ik9segment ? 10 : 8);
    QCOMPARE(elements.at(element), corners);
}

void TestLcdIndicator::cellLayout_data() {
    QTest::addColumn<int>("gap");
    QTest::addColumn<bool>("bevels");
    QTest::addColumn<int>("border");
    QTest::addColumn<QSize>("cell");
    // Display 172 x 36, ten cells; both bevels 2 wide.
    QTest::newRow("defaults") << 2 << true << 6 << QSize(16, 24);
    QTest::newRow("no bevels") << 2 << false << 2 << QSize(16, 32);
    QTest::newRow("height used up: whole height") << 20 << true << 24 << QSize(12, 36);
    QTest::newRow("width used up: whole width") << 90 << true << 94 << QSize(17, 36);
    QTest::newRow("negative gap: no wider than the display allows") << -20 << true << -16 << QSize(17, 68);
}

void TestLcdIndicator::cellLayout() {
    QFETCH(int, gap);
    QFETCH(bool, bevels);
    QFETCH(int, border);
    QFETCH(QSize, cell);
    L ind;
    ind.setIndicatorGap(gap);
    if (!bevels) {
        ind.setOuterBevel(L::bkNone);
        ind.setInnerBevel(L::bkNone);
    }
    const QList<QPolygon> unlit = L::SplitPolyPoly(ind.GrayPOlyPoly(), ind.grayVertex());
    const QList<QPolygon> elements =
        L::CellElementPolygons(L::ik7segment, cell.width(), cell.height(), L::isNormal, false);
    QCOMPARE(unlit.size(), 80);
    for (const int i : {0, 9})
        for (int e = 0; e < 8; ++e)
            QCOMPARE(unlit.at(i * 8 + e), elements.at(e).translated(border + i * cell.width(), border));
}

void TestLcdIndicator::placingAndRotation_data() {
    QTest::addColumn<int>("angle");
    QTest::addColumn<QPolygon>("firstLit");
    // Default display 172 x 36, border 6, cells 16 x 24; "1" lights segments 4 and 5 of cell 10, whose
    // origin is (150, 6).
    QTest::newRow("0") << 0 << poly({{163, 7}, {164, 10}, {163, 15}, {162, 17}, {160, 15}, {161, 10}});
    QTest::newRow("1800") << 1800 << poly({{9, 29}, {8, 26}, {9, 21}, {10, 19}, {12, 21}, {11, 26}});
    // A quarter turn counter-clockwise takes the right end of the display to the top.
    QTest::newRow("900") << 900 << poly({{7, 9}, {10, 8}, {15, 9}, {17, 10}, {15, 12}, {10, 11}});
    QTest::newRow("-2700 is 900") << -2700 << poly({{7, 9}, {10, 8}, {15, 9}, {17, 10}, {15, 12}, {10, 11}});
}

void TestLcdIndicator::placingAndRotation() {
    QFETCH(int, angle);
    QFETCH(QPolygon, firstLit);
    L ind;
    ind.setIndicatorAngle(angle);
    ind.setIndicatorstring(QStringLiteral("1"));
    QCOMPARE(ind.BlackN(), 2);
    QCOMPARE(ind.GrayN(), 78);
    QCOMPARE(ind.blackVertex(), QList<int>({6, 6}));
    QCOMPARE(L::SplitPolyPoly(ind.BlackPolyPoly(), ind.blackVertex()).first(), firstLit);
}

void TestLcdIndicator::controlSizeFollowsAngle_data() {
    QTest::addColumn<int>("angle");
    QTest::addColumn<QSize>("size");
    QTest::newRow("0") << 0 << QSize(172, 36);
    QTest::newRow("900 swaps") << 900 << QSize(36, 172);
    QTest::newRow("1800") << 1800 << QSize(172, 36);
    QTest::newRow("-900 swaps") << -900 << QSize(36, 172);
    QTest::newRow("450") << 450 << QSize(147, 147);
    QTest::newRow("300") << 300 << QSize(167, 117); // 148.96 + 18, 86 + 31.18
}

void TestLcdIndicator::controlSizeFollowsAngle() {
    QFETCH(int, angle);
    QFETCH(QSize, size);
    L ind;
    ind.move(10, 20);
    ind.setIndicatorAngle(angle);
    QCOMPARE(ind.size(), size);
    QCOMPARE(ind.pos(), QPoint(10, 20));
    QCOMPARE(ind.IndicatorWidth(), 172);
    QCOMPARE(ind.IndicatorHeight(), 36);
    QCOMPARE(ind.CanvasBitmap().size(), size);
}

void TestLcdIndicator::hostResize_data() {
    QTest::addColumn<int>("angle");
    QTest::addColumn<QSize>("newSize");
    QTest::addColumn<QSize>("display");
    QTest::addColumn<QSize>("control");
    QTest::newRow("upright takes the size") << 0 << QSize(200, 50) << QSize(200, 50) << QSize(200, 50);
    QTest::newRow("quarter turn takes it swapped")
        << 900 << QSize(40, 210) << QSize(210, 40) << QSize(40, 210);
    QTest::newRow("slanted springs back") << 450 << QSize(100, 100) << QSize(172, 36) << QSize(147, 147);
}

void TestLcdIndicator::hostResize() {
    QFETCH(int, angle);
    QFETCH(QSize, newSize);
    QFETCH(QSize, display);
    QFETCH(QSize, control);
    QWidget host;
    host.resize(300, 300);
    auto* ind = new L(&host);
    ind->setIndicatorAngle(angle);
    host.show();
    ind->resize(newSize);
    QTRY_COMPARE(ind->size(), control);
    QCOMPARE(QSize(ind->IndicatorWidth(), ind->IndicatorHeight()), display);
    QCOMPARE(ind->CanvasBitmap().size(), control);
}

// A host layout follows the display size instead of forcing the old one back.
void TestLcdIndicator::keepsItsSizeInALayout() {
    QWidget host;
    auto* layout = new QHBoxLayout(&host);
    auto* ind = new L;
    layout->addWidget(ind);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    ind->setIndicatorWidth(209);
    ind->setIndicatorHeight(49);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(ind->size(), QSize(209, 49));
    ind->setIndicatorAngle(900);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(ind->size(), QSize(49, 209));
    host.resize(600, 400);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(QSize(ind->IndicatorWidth(), ind->IndicatorHeight()), QSize(209, 49));
    QCOMPARE(ind->size(), QSize(49, 209));
}

void TestLcdIndicator::slantedOutline() {
    L ind;
    QVERIFY(ind.mask().isEmpty()); // upright: the whole rectangle
    ind.setIndicatorAngle(450);
    const QRegion outline = ind.mask();
    QVERIFY(!outline.isEmpty());
    const int w = ind.width();
    const int h = ind.height();
    QVERIFY(!outline.contains(QPoint(1, 1)));
    QVERIFY(!outline.contains(QPoint(w - 2, h - 2)));
    QVERIFY(outline.contains(QPoint(w / 2, h / 2)));
    ind.setIndicatorAngle(1800);
    QVERIFY(ind.mask().isEmpty());
}

void TestLcdIndicator::nonPositiveValuesIgnored_data() {
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<int>("value");
    for (const char* name :
         {"SignNumber", "IndicatorWidth", "IndicatorHeight", "InnerBevelWidth", "OuterBevelWidth"}) {
        QTest::addRow("%s 0", name) << QByteArray(name) << 0;
        QTest::addRow("%s -3", name) << QByteArray(name) << -3;
    }
}

void TestLcdIndicator::nonPositiveValuesIgnored() {
    QFETCH(QByteArray, property);
    QFETCH(int, value);
    L ind;
    ind.setIndicatorstring(QStringLiteral("12.5"));
    const QVariant before = ind.property(property.constData());
    const QList<QPoint> lit = ind.BlackPolyPoly();
    const QSize size = ind.size();
    QVERIFY(ind.setProperty(property.constData(), value));
    QCOMPARE(ind.property(property.constData()), before);
    QCOMPARE(ind.BlackPolyPoly(), lit);
    QCOMPARE(ind.size(), size);
}

void TestLcdIndicator::defaults() {
    L ind;
    QCOMPARE(ind.ColorScheme(), L::csSilver);
    QCOMPARE(ind.SignNumber(), 10);
    QCOMPARE(ind.size(), QSize(172, 36));
    QCOMPARE(ind.IndicatorAngle(), 0);
    QCOMPARE(ind.IndicatorGap(), 2);
    QCOMPARE(ind.IndicatorKind(), L::ik7segment);
    QCOMPARE(ind.InnerBevel(), L::bkDown);
    QCOMPARE(ind.OuterBevel(), L::bkUP);
    QCOMPARE(ind.InnerBevelWidth(), 2);
    QCOMPARE(ind.OuterBevelWidth(), 2);
    QCOMPARE(ind.BevelColor().rgb() & 0xFFFFFF, rgb(0xDDDDDD));
    QCOMPARE(ind.BackColor().rgb() & 0xFFFFFF, rgb(0xDDDDDD));
    QCOMPARE(ind.NumberForeColor().rgb() & 0xFFFFFF, rgb(0x363636));
    QCOMPARE(ind.NumberForeColor1().rgb() & 0xFFFFFF, rgb(0xFF0000));
    QCOMPARE(ind.NumberBackColor().rgb() & 0xFFFFFF, rgb(0xD3D3D3));
    QCOMPARE(ind.IndicatorStyle(), L::isNormal);
    QCOMPARE(ind.MouseAction(), L::maNone);
    QCOMPARE(ind.TransparentMode(), L::tmNone);
    QCOMPARE(ind.MaterialShadowMode(), L::msmDark);
    QCOMPARE(ind.MaterialMode(), L::mmStretch);
    QCOMPARE(ind.ForeMaterialMode(), L::mmStretch);
    // The empty text draws every segment off: eight elements in each of ten cells.
    QCOMPARE(ind.BlackN(), 0);
    QCOMPARE(ind.GrayN(), 80);
}

void TestLcdIndicator::colorSchemes_data() {
    QTest::addColumn<L::TLcdColorScheme>("scheme");
    QTest::addColumn<QList<unsigned>>("colors"); // back, bevel, number back, number fore, number fore 1
    QTest::newRow("csInvSilver") << L::csInvSilver
                                 << QList<unsigned>{0x000000, 0xDDDDDD, 0x363636, 0xDDDDDD, 0xFF0000};
    QTest::newRow("csWhite") << L::csWhite
                             << QList<unsigned>{0xFFFFFF, 0xDDDDDD, 0xFFFFFF, 0x000000, 0xFF0000};
    QTest::newRow("csBlack") << L::csBlack
                             << QList<unsigned>{0x000000, 0x808080, 0x000000, 0xFFFFFF, 0xFF8000};
    QTest::newRow("csPlasma") << L::csPlasma
                              << QList<unsigned>{0x800000, 0x800000, 0x800040, 0xFFBF48, 0xFFFF80};
    QTest::newRow("csInvPlasma") << L::csInvPlasma
                                 << QList<unsigned>{0xFFBF48, 0xFFBF48, 0xF7A357, 0x800000, 0xFC4727};
    QTest::newRow("csNavy") << L::csNavy << QList<unsigned>{0x0000A0, 0x0000A0, 0x004080, 0x76F3DA, 0xFFFF00};
}

void TestLcdIndicator::colorSchemes() {
    QFETCH(L::TLcdColorScheme, scheme);
    QFETCH(QList<unsigned>, colors);
    L ind;
    makeBig(ind);
    ind.setColorScheme(scheme);
    const QList<QColor> got{ind.BackColor(), ind.BevelColor(), ind.NumberBackColor(), ind.NumberForeColor(),
                            ind.NumberForeColor1()};
    for (int i = 0; i < 5; ++i)
        QCOMPARE(got[i].rgb() & 0xFFFFFF, rgb(colors[i]));
    // The image follows once the posted refresh is handled.
    const QPoint background(ind.width() / 2, 9);
    QCoreApplication::sendPostedEvents(&ind);
    QCOMPARE(rgbAt(ind.CanvasBitmap(), background), rgb(colors[0]));
    // A colour set after the scheme prevails (a style applies the scheme, then its colours).
    ind.setBackColor(QColor(0x12, 0x34, 0x56));
    QCoreApplication::sendPostedEvents(&ind);
    QCOMPARE(rgbAt(ind.CanvasBitmap(), background), rgb(0x123456));
    QCOMPARE(ind.ColorScheme(), scheme);
}

void TestLcdIndicator::litAndUnlitPixels() {
    L ind;
    makeBig(ind);
    const QImage& img = ind.CanvasBitmap();
    const QList<QPolygon> lit = L::SplitPolyPoly(ind.BlackPolyPoly(), ind.blackVertex());
    const QList<QPolygon> unlit = L::SplitPolyPoly(ind.GrayPOlyPoly(), ind.grayVertex());
    QCOMPARE(lit.size(), 2);
    QCOMPARE(unlit.size(), 14);
    for (const QPolygon& p : lit)
        QCOMPARE(rgbAt(img, centre(p)), rgb(0x363636));
    for (const QPolygon& p : unlit)
        QCOMPARE(rgbAt(img, centre(p)), rgb(0xD3D3D3));
    QCOMPARE(rgbAt(img, QPoint(100, 9)), rgb(0xDDDDDD));  // background
    QCOMPARE(rgbAt(img, QPoint(100, 0)), rgb(0xFDFDFD));  // raised outer bevel, top
    QCOMPARE(rgbAt(img, QPoint(100, 79)), rgb(0xBDBDBD)); // raised outer bevel, bottom
    QCOMPARE(rgbAt(img, QPoint(100, 2)), rgb(0xBDBDBD));  // sunken inner bevel, top
    QCOMPARE(rgbAt(img, QPoint(100, 77)), rgb(0xFDFDFD)); // sunken inner bevel, bottom

    // A changed text moves the lit segments: "7" lights the top segment as well.
    ind.setIndicatorstring(QStringLiteral("7"));
    QCOMPARE(ind.BlackN(), 3);
    const QPolygon top = L::SplitPolyPoly(ind.BlackPolyPoly(), ind.blackVertex()).at(0);
    QCOMPARE(rgbAt(ind.CanvasBitmap(), centre(top)), rgb(0x363636));
}

void TestLcdIndicator::bevelLightFacesUpAndLeft_data() {
    QTest::addColumn<int>("angle");
    for (const int a : {0, 900, 1800, 2700, -900})
        QTest::addRow("%d", a) << a;
}

// Whatever the angle, a raised bevel is lit from the top left of the screen.
void TestLcdIndicator::bevelLightFacesUpAndLeft() {
    QFETCH(int, angle);
    L ind;
    ind.setInnerBevel(L::bkNone);
    ind.setIndicatorAngle(angle);
    const QImage& img = ind.CanvasBitmap();
    const int w = img.width();
    const int h = img.height();
    const QRgb light = rgb(0xFDFDFD);
    const QRgb dark = rgb(0xBDBDBD);
    QCOMPARE(rgbAt(img, QPoint(w / 2, 0)), light);
    QCOMPARE(rgbAt(img, QPoint(0, h / 2)), light);
    QCOMPARE(rgbAt(img, QPoint(w / 2, h - 1)), dark);
    QCOMPARE(rgbAt(img, QPoint(w - 1, h / 2)), dark);
}

void TestLcdIndicator::mouseHover() {
    L ind;
    makeBig(ind);
    ind.setMouseAction(L::maBoth);
    QSignalSpy enter(&ind, &L::onMouseEnter);
    QSignalSpy exit(&ind, &L::onMouseExit);
    const QList<QPoint> still = ind.BlackPolyPoly();
    const QPoint litCentre = centre(L::SplitPolyPoly(still, ind.blackVertex()).at(0));

    hover(ind);
    QVERIFY(ind.Moused());
    QCOMPARE(enter.size(), 1);
    QCOMPARE(enter.at(0).at(0).value<L*>(), &ind);
    QCOMPARE(rgbAt(ind.CanvasBitmap(), litCentre), rgb(0xFF0000));
    QVERIFY(ind.BlackPolyPoly() != still); // thicker

    unhover(ind);
    QVERIFY(!ind.Moused());
    QCOMPARE(exit.size(), 1);
    QCOMPARE(exit.at(0).at(0).value<L*>(), &ind);
    QCOMPARE(rgbAt(ind.CanvasBitmap(), litCentre), rgb(0x363636));
    QCOMPARE(ind.BlackPolyPoly(), still);

    // maWidth thickens only; maNone changes nothing but still reports.
    ind.setMouseAction(L::maWidth);
    hover(ind);
    QCOMPARE(rgbAt(ind.CanvasBitmap(), litCentre), rgb(0x363636));
    QVERIFY(ind.BlackPolyPoly() != still);
    unhover(ind);
    ind.setMouseAction(L::maNone);
    hover(ind);
    QCOMPARE(ind.BlackPolyPoly(), still);
    QCOMPARE(rgbAt(ind.CanvasBitmap(), litCentre), rgb(0x363636));
    QCOMPARE(enter.size(), 3);
}

void TestLcdIndicator::transparentModes_data() {
    QTest::addColumn<L::TLcdTransparentMode>("mode");
    QTest::addColumn<bool>("backgroundShown");
    QTest::addColumn<bool>("unlitShown");
    QTest::newRow("tmNone") << L::tmNone << true << true;
    QTest::newRow("tmBackOnly") << L::tmBackOnly << false << true;
    QTest::newRow("tmAll") << L::tmAll << false << false;
}

void TestLcdIndicator::transparentModes() {
    QFETCH(L::TLcdTransparentMode, mode);
    QFETCH(bool, backgroundShown);
    QFETCH(bool, unlitShown);
    const QRgb host = rgb(0xFF00FF);
    QWidget parent;
    parent.setAutoFillBackground(true);
    QPalette pal = parent.palette();
    pal.setColor(QPalette::Window, QColor(host));
    parent.setPalette(pal);
    parent.resize(220, 100);
    auto* ind = new L(&parent);
    ind->move(10, 10);
    makeBig(*ind);
    ind->setTransparentMode(mode);
    QCOMPARE(ind->testAttribute(Qt::WA_OpaquePaintEvent), mode == L::tmNone);

    const QImage shot = parent.grab().toImage();
    const QPoint at(10, 10);
    const QPoint lit = centre(L::SplitPolyPoly(ind->BlackPolyPoly(), ind->blackVertex()).at(0)) + at;
    const QPoint unlit = centre(L::SplitPolyPoly(ind->GrayPOlyPoly(), ind->grayVertex()).at(0)) + at;
    QCOMPARE(rgbAt(shot, lit), rgb(0x363636));
    QCOMPARE(rgbAt(shot, QPoint(100, 0) + at), rgb(0xFDFDFD)); // bevels always stay
    QCOMPARE(rgbAt(shot, QPoint(0, 40) + at), rgb(0xFDFDFD));
    QCOMPARE(rgbAt(shot, QPoint(199, 40) + at), rgb(0xBDBDBD));
    QCOMPARE(rgbAt(shot, QPoint(100, 9) + at), backgroundShown ? rgb(0xDDDDDD) : host);
    QCOMPARE(rgbAt(shot, unlit), unlitShown ? rgb(0xD3D3D3) : host);
}

void TestLcdIndicator::backMaterialShading_data() {
    QTest::addColumn<L::TLcdMaterialShadowMode>("shadow");
    QTest::addColumn<unsigned>("unlit");
    QTest::newRow("msmDark") << L::msmDark << 0x506070u;
    QTest::newRow("msmLight") << L::msmLight << 0x90A0B0u;
    QTest::newRow("msmNone") << L::msmNone << 0x708090u;
}

void TestLcdIndicator::backMaterialShading() {
    QFETCH(L::TLcdMaterialShadowMode, shadow);
    QFETCH(unsigned, unlit);
    QImage material(7, 5, QImage::Format_RGB32);
    material.fill(QColor(0x70, 0x80, 0x90));
    L ind;
    makeBig(ind);
    ind.setMaterialShadowMode(shadow);
    ind.setBackMaterial(material);
    ind.setMaterialMode(L::mmTile);
    const QImage& img = ind.CanvasBitmap();
    const QPoint unlitAt = centre(L::SplitPolyPoly(ind.GrayPOlyPoly(), ind.grayVertex()).at(0));
    QCOMPARE(rgbAt(img, unlitAt), rgb(unlit));
    QCOMPARE(rgbAt(img, QPoint(100, 9)), rgb(0x708090));  // background
    QCOMPARE(rgbAt(img, QPoint(100, 0)), rgb(0xB0C0D0));  // lighter bevel side: +64
    QCOMPARE(rgbAt(img, QPoint(100, 79)), rgb(0x304050)); // darker bevel side: -64
}

void TestLcdIndicator::foreMaterial() {
    QImage material(3, 3, QImage::Format_RGB32);
    material.fill(QColor(0x00, 0xFF, 0x00));
    L ind;
    makeBig(ind);
    ind.setForeMaterial(material);
    const QPoint litAt = centre(L::SplitPolyPoly(ind.BlackPolyPoly(), ind.blackVertex()).at(1));
    QCOMPARE(rgbAt(ind.CanvasBitmap(), litAt), rgb(0x00FF00));
    // The hover colour replaces the material.
    ind.setMouseAction(L::maColor);
    hover(ind);
    QCOMPARE(rgbAt(ind.CanvasBitmap(), litAt), rgb(0xFF0000));
    unhover(ind);
    ind.setForeMaterial(QImage());
    QCOMPARE(rgbAt(ind.CanvasBitmap(), litAt), rgb(0x363636));
}

QTEST_MAIN(TestLcdIndicator)
#include "tst_lcdindicator.moc"
