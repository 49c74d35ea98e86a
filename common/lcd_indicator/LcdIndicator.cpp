#include "LcdIndicator.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace {

// Cut toward zero, as every corner of the segment shapes is.
int T(double x) {
    return static_cast<int>(x);
}

struct SevenSegmentGlyph {
    char16_t ch;
    const char*
        pattern; // elements 1..7: lower-left, upper-left, top, upper-right, lower-right, bottom, middle
};

constexpr std::array<SevenSegmentGlyph, 37> SevenSegmentGlyphs{{
    {u'0', "1111110"}, {u'O', "1111110"},      {u'1', "0001100"}, {u'2', "1011011"}, {u'3', "0011111"},
    {u'4', "0101101"}, {u'5', "0110111"},      {u'6', "1110111"}, {u'7', "0011100"}, {u'8', "1111111"},
    {u'9', "0111111"}, {u'A', "1111101"},      {u'b', "1100111"}, {u'C', "1110010"}, {u'c', "1000011"},
    {u'd', "1001111"}, {u'E', "1110011"},      {u'F', "1110001"}, {u'G', "1110110"}, {u'H', "1101101"},
    {u'h', "1100101"}, {u'i', "1000000"},      {u'J', "1001110"}, {u'j', "0000110"}, {u'L', "1100010"},
    {u'l', "1100000"}, {u'n', "1000101"},      {u'o', "1000111"}, {u'P', "1111001"}, {u'r', "1000001"},
    {u't', "1100011"}, {u'U', "1101110"},      {u'u', "1000110"}, {u'Y', "0101111"}, {u'-', "0000001"},
    {u'_', "0000010"}, {u'\u00B0', "0111001"},
}};

// Rows of the 5 x 7 matrix for the characters 0x21..0x7E, top row first, leftmost column in bit 4.
constexpr std::uint8_t MatrixGlyphs[94][7] = {
    {0b00110, 0b00110, 0b00110, 0b00110, 0b00000, 0b00110, 0b00110}, // 0x21 exclamation mark
    {0b01010, 0b10100, 0b00000, 0b00000, 0b00000, 0b00000, 0b00000}, // 0x22 quotation mark
    {0b00000, 0b01010, 0b11111, 0b01010, 0b11111, 0b01010, 0b00000}, // 0x23 number sign
    {0b01110, 0b10101, 0b10100, 0b01110, 0b00101, 0b10101, 0b01110}, // 0x24 dollar sign
    {0b11000, 0b11001, 0b00010, 0b00100, 0b01000, 0b10011, 0b00011}, // 0x25 percent sign
    {0b00110, 0b01001, 0b10010, 0b01100, 0b01101, 0b10010, 0b01101}, // 0x26 ampersand
    {0b01100, 0b11000, 0b00000, 0b00000, 0b00000, 0b00000, 0b00000}, // 0x27 apostrophe
    {0b00100, 0b01000, 0b01000, 0b01000, 0b01000, 0b01000, 0b00100}, // 0x28 left parenthesis
    {0b00100, 0b00010, 0b00010, 0b00010, 0b00010, 0b00010, 0b00100}, // 0x29 right parenthesis
    {0b00000, 0b10101, 0b01110, 0b11111, 0b01110, 0b10101, 0b00000}, // 0x2A asterisk
    {0b00000, 0b00000, 0b00100, 0b01110, 0b00100, 0b00000, 0b00000}, // 0x2B plus sign
    {0b00000, 0b00000, 0b00000, 0b00000, 0b00110, 0b00110, 0b00010}, // 0x2C comma
    {0b00000, 0b00000, 0b00000, 0b01110, 0b00000, 0b00000, 0b00000}, // 0x2D hyphen-minus
    {0b00000, 0b00000, 0b00000, 0b00000, 0b00000, 0b00110, 0b00110}, // 0x2E full stop
    {0b00000, 0b00001, 0b00010, 0b00100, 0b01000, 0b10000, 0b00000}, // 0x2F solidus
    {0b01110, 0b10001, 0b10001, 0b10001, 0b10001, 0b10001, 0b01110}, // 0x30 0
    {0b00010, 0b00110, 0b00010, 0b00010, 0b00010, 0b00010, 0b00111}, // 0x31 1
    {0b01110, 0b10001, 0b00001, 0b00010, 0b00100, 0b01000, 0b11111}, // 0x32 2
    {0b01110, 0b10001, 0b00001, 0b00110, 0b00001, 0b10001, 0b01110}, // 0x33 3
    {0b10001, 0b10001, 0b10001, 0b01111, 0b00001, 0b00001, 0b00001}, // 0x34 4
    {0b11111, 0b10000, 0b10000, 0b11110, 0b00001, 0b10001, 0b01110}, // 0x35 5
    {0b01110, 0b10001, 0b10000, 0b11110, 0b10001, 0b10001, 0b01110}, // 0x36 6
    {0b11111, 0b00001, 0b00001, 0b00010, 0b00010, 0b00010, 0b00010}, // 0x37 7
    {0b01110, 0b10001, 0b10001, 0b01110, 0b10001, 0b10001, 0b01110}, // 0x38 8
    {0b01110, 0b10001, 0b10001, 0b01111, 0b00001, 0b10001, 0b01110}, // 0x39 9
    {0b00000, 0b00110, 0b00110, 0b00000, 0b00110, 0b00110, 0b00000}, // 0x3A colon
    {0b00000, 0b00110, 0b00110, 0b00000, 0b00110, 0b00110, 0b00010}, // 0x3B semicolon
    {0b00010, 0b00100, 0b01000, 0b10000, 0b01000, 0b00100, 0b00010}, // 0x3C less-than sign
    {0b00000, 0b00000, 0b01110, 0b00000, 0b01110, 0b00000, 0b00000}, // 0x3D equals sign
    {0b01000, 0b00100, 0b00010, 0b00001, 0b00010, 0b00100, 0b01000}, // 0x3E greater-than sign
    {0b01110, 0b10001, 0b00001, 0b00010, 0b00000, 0b00110, 0b00110}, // 0x3F question mark
    {0b01110, 0b10011, 0b10101, 0b10111, 0b10000, 0b10001, 0b01110}, // 0x40 commercial at
    {0b01110, 0b10001, 0b10001, 0b11111, 0b10001, 0b10001, 0b10001}, // 0x41 A
    {0b11110, 0b10001, 0b10001, 0b11110, 0b10001, 0b10001, 0b11110}, // 0x42 B
    {0b01110, 0b10001, 0b10000, 0b10000, 0b10000, 0b10001, 0b01110}, // 0x43 C
    {0b11110, 0b10001, 0b10001, 0b10001, 0b10001, 0b10001, 0b11110}, // 0x44 D
    {0b11111, 0b10000, 0b10000, 0b11110, 0b10000, 0b10000, 0b11111}, // 0x45 E
    {0b11111, 0b10000, 0b10000, 0b11110, 0b10000, 0b10000, 0b10000}, // 0x46 F
    {0b01110, 0b10001, 0b10000, 0b10000, 0b10011, 0b10001, 0b01110}, // 0x47 G
    {0b10001, 0b10001, 0b10001, 0b11111, 0b10001, 0b10001, 0b10001}, // 0x48 H
    {0b01110, 0b00100, 0b00100, 0b00100, 0b00100, 0b00100, 0b01110}, // 0x49 I
    {0b00011, 0b00001, 0b00001, 0b00001, 0b00001, 0b10001, 0b01110}, // 0x4A J
    {0b10001, 0b10010, 0b10100, 0b11000, 0b10100, 0b10010, 0b10001}, // 0x4B K
    {0b10000, 0b10000, 0b10000, 0b10000, 0b10000, 0b10000, 0b11111}, // 0x4C L
    {0b10001, 0b11011, 0b10101, 0b10101, 0b10001, 0b10001, 0b10001}, // 0x4D M
    {0b10001, 0b11001, 0b11001, 0b10101, 0b10111, 0b10011, 0b10001}, // 0x4E N
    {0b01110, 0b10001, 0b10001, 0b10001, 0b10001, 0b10001, 0b01110}, // 0x4F O
    {0b01110, 0b10001, 0b10001, 0b11110, 0b10000, 0b10000, 0b10000}, // 0x50 P
    {0b01110, 0b10001, 0b10001, 0b10001, 0b10101, 0b10011, 0b01111}, // 0x51 Q
    {0b11110, 0b10001, 0b10001, 0b11110, 0b10100, 0b10010, 0b10001}, // 0x52 R
    {0b01110, 0b10001, 0b10000, 0b01110, 0b00001, 0b10001, 0b01110}, // 0x53 S
    {0b11111, 0b00100, 0b00100, 0b00100, 0b00100, 0b00100, 0b00100}, // 0x54 T
    {0b10001, 0b10001, 0b10001, 0b10001, 0b10001, 0b10001, 0b01110}, // 0x55 U
    {0b10001, 0b10001, 0b10001, 0b10001, 0b10001, 0b01010, 0b00100}, // 0x56 V
    {0b10001, 0b10001, 0b10001, 0b10001, 0b10101, 0b10101, 0b01010}, // 0x57 W
    {0b10001, 0b01010, 0b01110, 0b00100, 0b01110, 0b01010, 0b10001}, // 0x58 X
    {0b10001, 0b01010, 0b00100, 0b00100, 0b00100, 0b00100, 0b01110}, // 0x59 Y
    {0b11111, 0b00001, 0b00010, 0b00100, 0b01000, 0b10000, 0b11111}, // 0x5A Z
    {0b11100, 0b10000, 0b10000, 0b10000, 0b10000, 0b10000, 0b11100}, // 0x5B left square bracket
    {0b00000, 0b10000, 0b01000, 0b00100, 0b00010, 0b00001, 0b00000}, // 0x5C reverse solidus
    {0b00111, 0b00001, 0b00001, 0b00001, 0b00001, 0b00001, 0b00111}, // 0x5D right square bracket
    {0b00100, 0b01010, 0b00000, 0b00000, 0b00000, 0b00000, 0b00000}, // 0x5E circumflex accent
    {0b00000, 0b00000, 0b00000, 0b00000, 0b00000, 0b00000, 0b11111}, // 0x5F low line
    {0b00000, 0b00000, 0b00000, 0b00000, 0b00000, 0b00000, 0b00000}, // 0x60 grave accent
    {0b00000, 0b00000, 0b01110, 0b00001, 0b01111, 0b10001, 0b01111}, // 0x61 a
    {0b10000, 0b10000, 0b11110, 0b10001, 0b10001, 0b10001, 0b11110}, // 0x62 b
    {0b00000, 0b00000, 0b01110, 0b10001, 0b10000, 0b10001, 0b01110}, // 0x63 c
    {0b00001, 0b00001, 0b01111, 0b10001, 0b10001, 0b10001, 0b01111}, // 0x64 d
    {0b00000, 0b00000, 0b01110, 0b10001, 0b11110, 0b10000, 0b01111}, // 0x65 e
    {0b00000, 0b00000, 0b01110, 0b10000, 0b11100, 0b10000, 0b10000}, // 0x66 f
    {0b00000, 0b00000, 0b01110, 0b10001, 0b01111, 0b00001, 0b00110}, // 0x67 g
    {0b10000, 0b10000, 0b10000, 0b11110, 0b10001, 0b10001, 0b10001}, // 0x68 h
    {0b00000, 0b00100, 0b00000, 0b00100, 0b00100, 0b00100, 0b01110}, // 0x69 i
    {0b00000, 0b00010, 0b00000, 0b00010, 0b00010, 0b00010, 0b01100}, // 0x6A j
    {0b10000, 0b10000, 0b10010, 0b10100, 0b11000, 0b10100, 0b10010}, // 0x6B k
    {0b00000, 0b00100, 0b01100, 0b00100, 0b00100, 0b00100, 0b01110}, // 0x6C l
    {0b00000, 0b00000, 0b01010, 0b10101, 0b10101, 0b10101, 0b10101}, // 0x6D m
    {0b00000, 0b00000, 0b11110, 0b10001, 0b10001, 0b10001, 0b10001}, // 0x6E n
    {0b00000, 0b00000, 0b01110, 0b10001, 0b10001, 0b10001, 0b01110}, // 0x6F o
    {0b00000, 0b00000, 0b11110, 0b10001, 0b11110, 0b10000, 0b10000}, // 0x70 p
    {0b00000, 0b00000, 0b01111, 0b10001, 0b01111, 0b00001, 0b00001}, // 0x71 q
    {0b00000, 0b00000, 0b01110, 0b10001, 0b10000, 0b10000, 0b10000}, // 0x72 r
    {0b00000, 0b00000, 0b01111, 0b10000, 0b01110, 0b00001, 0b11110}, // 0x73 s
    {0b10000, 0b10000, 0b11100, 0b10000, 0b10000, 0b10001, 0b01110}, // 0x74 t
    {0b00000, 0b00000, 0b10001, 0b10001, 0b10001, 0b10011, 0b01101}, // 0x75 u
    {0b00000, 0b00000, 0b10001, 0b10001, 0b10001, 0b01010, 0b00100}, // 0x76 v
    {0b00000, 0b00000, 0b10001, 0b10101, 0b10101, 0b10101, 0b01010}, // 0x77 w
    {0b00000, 0b00000, 0b10001, 0b01010, 0b00100, 0b01010, 0b10001}, // 0x78 x
    {0b00000, 0b00000, 0b10001, 0b10001, 0b01111, 0b00001, 0b00110}, // 0x79 y
    {0b00000, 0b00000, 0b11111, 0b00010, 0b00100, 0b01000, 0b11111}, // 0x7A z
    {0b00110, 0b01000, 0b01000, 0b10000, 0b01000, 0b01000, 0b00110}, // 0x7B left curly bracket
    {0b00100, 0b00100, 0b00100, 0b00100, 0b00100, 0b00100, 0b00100}, // 0x7C vertical line
    {0b01100, 0b00010, 0b00010, 0b00001, 0b00010, 0b00010, 0b01100}, // 0x7D right curly bracket
    {0b01010, 0b10100, 0b00000, 0b00000, 0b00000, 0b00000, 0b00000}, // 0x7E tilde
};

constexpr int SevenSegmentElements = 8; // seven segments and the point
constexpr int NineSegmentElements = 10; // seven segments, two colon dots and the point
constexpr int MatrixElements = 35;

int ElementCount(TLcdIndicator::TLcdIndicatorKind kind) {
    switch (kind) {
    case TLcdIndicator::ik5x7matrix:
        return MatrixElements;
    case TLcdIndicator::ik9segment:
        return NineSegmentElements;
    case TLcdIndicator::ik7segment:
        break;
    }
    return SevenSegmentElements;
}

QColor Rgb(unsigned rgb) {
    return QColor::fromRgb(static_cast<QRgb>(rgb));
}

bool IsPoint(QChar ch) {
    return ch == u'.' || ch == u',';
}

// Lightens (positive delta) or darkens (negative) each of red, green and blue, kept within 0..255.
QColor Shaded(const QColor& c, int delta) {
    return QColor(std::clamp(c.red() + delta, 0, 255), std::clamp(c.green() + delta, 0, 255),
                  std::clamp(c.blue() + delta, 0, 255));
}

QImage ShadedImage(const QImage& src, int delta) {
    if (src.isNull())
        return {};
    QImage img = src.convertToFormat(QImage::Format_RGB32);
    if (delta == 0)
        return img;
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = line[x];
            line[x] = qRgb(std::clamp(qRed(p) + delta, 0, 255), std::clamp(qGreen(p) + delta, 0, 255),
                           std::clamp(qBlue(p) + delta, 0, 255));
        }
    }
    return img;
}

// The union of polygons, each filled by the odd-even rule. Merged pairwise, so that the work grows with
// n log n rather than n squared.
QRegion PolyRegion(const QList<QPoint>& points, const QList<int>& counts) {
    QList<QRegion> parts;
    parts.reserve(counts.size());
    qsizetype at = 0;
    for (const int n : counts) {
        parts.append(QRegion(QPolygon(points.mid(at, n)), Qt::OddEvenFill));
        at += n;
    }
    while (parts.size() > 1) {
        QList<QRegion> merged;
        merged.reserve((parts.size() + 1) / 2);
        for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
            merged.append(parts[i].united(parts[i + 1]));
        if (parts.size() % 2)
            merged.append(parts.last());
        parts.swap(merged);
    }
    return parts.isEmpty() ? QRegion() : parts.first();
}

// Draws a material over the whole image, stretched or tiled from the top-left corner.
void DrawMaterial(QPainter& p, const QRect& r, const QImage& mat, TLcdIndicator::TLcdMaterialMode mode) {
    if (mode == TLcdIndicator::mmTile)
        p.fillRect(r, QBrush(mat));
    else
        p.drawImage(r, mat);
}

} // namespace

TLcdIndicator::TLcdIndicator(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    resize(FIndicatorWidth, FIndicatorHeight);
    FImloaded = true;
    PrepareMaterials();
    UpdateWindowRegion();
    Rebuild();
}

TLcdIndicator::~TLcdIndicator() = default;

TLcdIndicator::SchemeColors TLcdIndicator::SchemeColorsOf(TLcdColorScheme scheme) {
    switch (scheme) {
    case csInvSilver:
        return {Rgb(0x000000), Rgb(0xDDDDDD), Rgb(0x363636), Rgb(0xDDDDDD), Rgb(0xFF0000)};
    case csWhite:
        return {Rgb(0xFFFFFF), Rgb(0xDDDDDD), Rgb(0xFFFFFF), Rgb(0x000000), Rgb(0xFF0000)};
    case csBlack:
        return {Rgb(0x000000), Rgb(0x808080), Rgb(0x000000), Rgb(0xFFFFFF), Rgb(0xFF8000)};
    case csPlasma:
        return {Rgb(0x800000), Rgb(0x800000), Rgb(0x800040), Rgb(0xFFBF48), Rgb(0xFFFF80)};
    case csInvPlasma:
        return {Rgb(0xFFBF48), Rgb(0xFFBF48), Rgb(0xF7A357), Rgb(0x800000), Rgb(0xFC4727)};
    case csNavy:
        return {Rgb(0x0000A0), Rgb(0x0000A0), Rgb(0x004080), Rgb(0x76F3DA), Rgb(0xFFFF00)};
    case csSilver:
        break;
    }
    return {Rgb(0xDDDDDD), Rgb(0xDDDDDD), Rgb(0xD3D3D3), Rgb(0x363636), Rgb(0xFF0000)};
}

// ---------------------------------------------------------------------------------------------------
// Glyphs and cells

QString TLcdIndicator::GlyphPattern(QChar ch, TLcdIndicatorKind kind) {
    if (kind == ik5x7matrix) {
        QString out(MatrixElements, u'0');
        const char16_t code = ch.unicode();
        if (code >= 0x21 && code <= 0x7E) {
            const auto& rows = MatrixGlyphs[code - 0x21];
            for (int r = 0; r < 7; ++r)
                for (int c = 0; c < 5; ++c)
                    if (rows[r] & (0x10 >> c))
                        out[r * 5 + c] = u'1';
        }
        return out;
    }
    QString seven = QStringLiteral("0000000");
    for (const auto& g : SevenSegmentGlyphs) {
        if (g.ch == ch.unicode()) {
            seven = QString::fromLatin1(g.pattern);
            break;
        }
    }
    if (kind == ik9segment)
        return ch == u':' ? QStringLiteral("0000000110") : seven + QStringLiteral("000");
    return seven + u'0';
}

QStringList TLcdIndicator::CellPatterns(const QString& text, TLcdIndicatorKind kind, int signNumber) {
    const int n = std::max(signNumber, 0);
    QStringList cells;
    if (kind == ik5x7matrix) {
        for (const QChar ch : text) {
            if (cells.size() == n)
                break;
            cells.append(GlyphPattern(ch, kind));
        }
    } else {
        const int count = ElementCount(kind);
        bool afterCharacter = false; // the last cell holds a character whose point is still free
        for (const QChar ch : text) {
            if (IsPoint(ch)) {
                if (afterCharacter) {
                    cells.last()[count - 1] = u'1';
                } else {
                    QString lone(count, u'0');
                    lone[count - 1] = u'1';
                    cells.append(lone);
                }
                afterCharacter = false;
            } else {
                cells.append(GlyphPattern(ch, kind));
                afterCharacter = true;
            }
        }
        if (cells.size() > n)
            cells.resize(n); // the leftmost part stays
    }
    const QString blank(ElementCount(kind), u'0');
    while (cells.size() < n)
        cells.prepend(blank);
    return cells;
}

QList<QPolygon> TLcdIndicator::CellElementPolygons(TLcdIndicatorKind kind, int w, int h,
                                                   TLcdIndicatorStyle style, bool hovered) {
    QList<QPolygon> out;
    const double wr = w;
    const double hr = h;
    if (kind == ik5x7matrix) {
        double f = 0;
        double smallest = 0;
        switch (style) {
        case isThin:
            f = hovered ? 1.0 / 2 : 2.0 / 3;
            smallest = 1.5;
            break;
        case isNormal:
            f = hovered ? 2.0 / 3 : 3.0 / 4;
            smallest = 2.5;
            break;
        case isThick:
            f = hovered ? 3.0 / 4 : 1.0;
            smallest = 3.5;
            break;
        }
        const int d = T(wr / 16);
        const double p = (wr - 2 * (d + 1)) / 5;
        const double q = hr / 7;
        const double sx = std::max(p * f - 1, smallest);
        const double sy = std::max(q * f - 1, smallest);
        out.reserve(MatrixElements);
        for (int r = 1; r <= 7; ++r) {
            for (int c = 1; c <= 5; ++c) {
                const int x = T(d + 1 + (c - 1) * p);
                const int y = T((r - 1) * q);
                out.append(QPolygon({QPoint(x, y), QPoint(x + T(sx), y), QPoint(x + T(sx), y + T(sy)),
                                     QPoint(x, y + T(sy))}));
            }
        }
        return out;
    }

    double t = 0;
    double smallest = 0;
    switch (style) {
    case isThin:
        t = hovered ? std::min(wr / 6, hr / 6) : std::min(wr / 8, hr / 8);
        smallest = 2;
        break;
    case isNormal:
        t = hovered ? std::min(wr / 5, hr / 5) : std::min(wr / 6, hr / 6);
        smallest = 3;
        break;
    case isThick:
        t = hovered ? std::min(wr / 4.5, hr / 4.5) : std::min(wr / 5, hr / 5);
        smallest = 4;
        break;
    }
    t = std::max(t, smallest);
    const double u = wr / 8;
    const double v = hr / 8;
    const double g = t / 2;
    auto poly = [](std::initializer_list<QPoint> pts) { return QPolygon(QList<QPoint>(pts)); };

    out.reserve(ElementCount(kind));
    // 1 lower-left
    out.append(poly({{T(u), T(7 * v + g) - 1},
                     {T(u - g), T(7 * v - g) - 1},
                     {T(1.5 * u - g), T(4 * v + g)},
                     {T(1.5 * u), T(4 * v)},
                     {T(1.5 * u + g), T(4 * v + g)},
                     {T(u + g), T(7 * v - g) - 1}}));
    // 2 upper-left
    out.append(poly({{T(1.5 * u), T(4 * v) - 1},
                     {T(1.5 * u - g), T(4 * v - g) - 1},
                     {T(2 * u - g), T(v + g)},
                     {T(2 * u), T(v - g)},
                     {T(2 * u + g), T(v + g)},
                     {T(1.5 * u + g), T(4 * v - g) - 1}}));
    // 3 top
    out.append(poly({{T(2 * u) + 1, T(v - g)},
                     {T(2 * u + g) + 1, T(v - g)},
                     {T(6.5 * u - g) - 1, T(v - g)},
                     {T(6.5 * u) - 1, T(v - g)},
                     {T(6.5 * u - g) - 1, T(v + g)},
                     {T(2 * u + g) + 1, T(v + g)}}));
    // 4 upper-right
    out.append(poly({{T(6.5 * u), T(v - g)},
                     {T(6.5 * u + g), T(v + g)},
                     {T(6 * u + g), T(4 * v - g) - 1},
                     {T(6 * u), T(4 * v) - 1},
                     {T(6 * u - g), T(4 * v - g) - 1},
                     {T(6.5 * u - g), T(v + g)}}));
    // 5 lower-right
    out.append(poly({{T(6 * u), T(4 * v)},
                     {T(6 * u + g), T(4 * v + g)},
                     {T(5.5 * u + g), T(7 * v - g) - 1},
                     {T(5.5 * u), T(7 * v + g) - 1},
                     {T(5.5 * u - g), T(7 * v - g) - 1},
                     {T(6 * u - g), T(4 * v + g)}}));
    // 6 bottom
    out.append(poly({{T(u) + 1, T(7 * v + g)},
                     {T(u + g) + 1, T(7 * v - g)},
                     {T(5.5 * u - g) - 1, T(7 * v - g)},
                     {T(5.5 * u) - 1, T(7 * v + g)},
                     {T(5.5 * u - g) - 1, T(7 * v + g)},
                     {T(u + g) + 1, T(7 * v + g)}}));
    // 7 middle
    out.append(poly({{T(1.5 * u) + 1, T(4 * v)},
                     {T(1.5 * u + g) + 1, T(4 * v - g)},
                     {T(6 * u - g) - 1, T(4 * v - g)},
                     {T(6 * u) - 1, T(4 * v)},
                     {T(6 * u - g) - 1, T(4 * v + g)},
                     {T(1.5 * u + g) + 1, T(4 * v + g)}}));
    if (kind == ik9segment) {
        const double k = t / 3;
        const double m = 2 * t / 3;
        for (const QPointF centre : {QPointF(4 * u, 2.5 * v), QPointF(3.5 * u, 5.5 * v)}) {
            const double x = centre.x();
            const double y = centre.y();
            out.append(poly({{T(x - k), T(y + m)},
                             {T(x - m), T(y)},
                             {T(x - k), T(y - m)},
                             {T(x + k), T(y - m)},
                             {T(x + m), T(y)},
                             {T(x + k), T(y + m)}}));
        }
    }
    // decimal point
    const double c = 5.5 * u;
    out.append(poly({{T(c + t / 4) + 1, T(7 * v)},
                     {T(c + t / 2) + 1, T(7 * v - g)},
                     {T(c + 5 * t / 4), T(7 * v - g)},
                     {T(c + 3 * t / 2), T(7 * v)},
                     {T(c + 5 * t / 4), T(7 * v + g)},
                     {T(c + t / 2) + 1, T(7 * v + g)}}));
    return out;
}

QList<QPolygon> TLcdIndicator::SplitPolyPoly(const QList<QPoint>& points, const QList<int>& counts) {
    QList<QPolygon> out;
    out.reserve(counts.size());
    qsizetype at = 0;
    for (const int n : counts) {
        out.append(QPolygon(points.mid(at, n)));
        at += n;
    }
    return out;
}

// ---------------------------------------------------------------------------------------------------
// Geometry

int TLcdIndicator::Border() const {
    int border = FIndicatorGap;
    if (FOuterBevel != bkNone)
        border += FOuterBevelWidth;
    if (FInnerBevel != bkNone)
        border += FInnerBevelWidth;
    return border;
}

bool TLcdIndicator::Hovered(bool forWidth) const {
    if (!FMoused)
        return false;
    return forWidth ? (FMouseAction == maWidth || FMouseAction == maBoth)
                    : (FMouseAction == maColor || FMouseAction == maBoth);
}

QSize TLcdIndicator::ControlSizeForDisplay() const {
    const double a = FIndicatorAngle / 10.0 * std::numbers::pi / 180.0;
    const double c = std::abs(std::cos(a));
    const double s = std::abs(std::sin(a));
    return QSize(static_cast<int>(std::lround(c * FIndicatorWidth + s * FIndicatorHeight)),
                 static_cast<int>(std::lround(s * FIndicatorWidth + c * FIndicatorHeight)));
}

QPoint TLcdIndicator::Place(QPointF p) const {
    // Rotation about the display centre with the y axis pointing up, so positive angles turn
    // counter-clockwise on the screen.
    const int cx = FIndicatorWidth / 2;
    const int cy = FIndicatorHeight / 2;
    const double dx = p.x() - cx;
    const double dy = cy - p.y();
    const double rx = dx * FCos - dy * FSin;
    const double ry = dx * FSin + dy * FCos;
    const int shiftX = (width() - FIndicatorWidth) / 2;
    const int shiftY = (height() - FIndicatorHeight) / 2;
    return QPoint(static_cast<int>(std::lround(cx + rx)) + shiftX,
                  static_cast<int>(std::lround(cy - ry)) + shiftY);
}

QPolygon TLcdIndicator::PlacedPolygon(const QPolygon& poly, QPoint offset) const {
    QPolygon out(poly.size());
    for (qsizetype i = 0; i < poly.size(); ++i)
        out[i] = Place(QPointF(poly[i] + offset));
    return out;
}

void TLcdIndicator::BuildPolygons() {
    const double a = FIndicatorAngle / 10.0 * std::numbers::pi / 180.0;
    FCos = std::cos(a);
    FSin = std::sin(a);

    const int border = Border();
    int cellH = FIndicatorHeight - 2 * border;
    if (cellH < 1)
        cellH = FIndicatorHeight;
    int cellW = (FIndicatorWidth - 2 * border) / FSignNumber;
    if (cellW < 1 || cellW > FIndicatorWidth / FSignNumber)
        cellW = FIndicatorWidth / FSignNumber;

    const QStringList cells = CellPatterns(FIndicatorstring, FIndicatorKind, FSignNumber);
    const QList<QPolygon> elements =
        CellElementPolygons(FIndicatorKind, cellW, cellH, FIndicatorStyle, Hovered(true));

    FBlackPolyPoly.clear();
    FBlackVertex.clear();
    FGrayPolyPoly.clear();
    FGrayVertex.clear();
    for (int i = 0; i < FSignNumber; ++i) {
        const QPoint origin(i * cellW + border, border);
        const QString& pattern = cells[i];
        for (qsizetype e = 0; e < elements.size(); ++e) {
            const QPolygon placed = PlacedPolygon(elements[e], origin);
            const bool on = pattern[e] == u'1';
            (on ? FBlackPolyPoly : FGrayPolyPoly).append(placed);
            (on ? FBlackVertex : FGrayVertex).append(static_cast<int>(placed.size()));
        }
    }
}

void TLcdIndicator::SetControlSize() {
    updateGeometry(); // a host layout must learn the new size hint, or it would size the display back
    resize(ControlSizeForDisplay());
    UpdateWindowRegion();
}

void TLcdIndicator::UpdateWindowRegion() {
    const double a = FIndicatorAngle / 10.0 * std::numbers::pi / 180.0;
    FCos = std::cos(a);
    FSin = std::sin(a);
    const QPolygon outline =
        PlacedPolygon(QPolygon({QPoint(0, 0), QPoint(FIndicatorWidth, 0),
                                QPoint(FIndicatorWidth, FIndicatorHeight), QPoint(0, FIndicatorHeight)}),
                      QPoint(0, 0));
    const QRegion region(outline, Qt::OddEvenFill);
    // An upright display covers the whole control: no mask, which keeps painting cheap.
    if (region == QRegion(rect()))
        clearMask();
    else
        setMask(region);
}

// ---------------------------------------------------------------------------------------------------
// Painting

void TLcdIndicator::PrepareMaterials() {
    if (!FImloaded)
        return;
    FBackMaterialD = ShadedImage(FBackMaterial, -64);
    FBackMaterialL = ShadedImage(FBackMaterial, 64);
    const int shadow = FMaterialShadowMode == msmDark ? -32 : FMaterialShadowMode == msmLight ? 32 : 0;
    FBackMaterialLD = ShadedImage(FBackMaterial, shadow);
}

void TLcdIndicator::PaintImage() {
    const QSize sz = size();
    FClipRGN = QRegion();
    if (sz.isEmpty()) {
        FCanvasBitmap = QImage();
        return;
    }
    if (FCanvasBitmap.size() != sz)
        FCanvasBitmap = QImage(sz, QImage::Format_RGB32);
    if (FCanvasBitmap.isNull()) // too big to allocate: draw nothing rather than fail
        return;
    const QRect all(QPoint(0, 0), sz);
    const bool transparent = FTransparentMode != tmNone;
    const bool backMaterial = !FBackMaterial.isNull();

    QPainter p(&FCanvasBitmap);
    p.setPen(Qt::NoPen);

    // Background
    if (backMaterial) {
        p.fillRect(all, FBackColor);
        DrawMaterial(p, all, FBackMaterial, FMaterialMode);
    } else {
        p.fillRect(all, FBackColor);
    }

    // Bevels: which sides are lighter depends on where they face after the rotation.
    enum Side { Top, Left, Bottom, Right };
    double deg = std::fmod(FIndicatorAngle / 10.0, 360.0);
    if (deg < 0)
        deg += 360.0;
    std::array<bool, 4> lighter{};
    if (deg < 45 || deg >= 315)
        lighter = {true, true, false, false};
    else if (deg < 135)
        lighter = {true, false, false, true};
    else if (deg < 225)
        lighter = {false, false, true, true};
    else
        lighter = {false, true, true, false};

    auto bevel = [&](TLcdBevelKind kind, int b, int o) {
        if (kind == bkNone)
            return;
        const int x0 = o;
        const int y0 = o;
        const int x1 = FIndicatorWidth - o;
        const int y1 = FIndicatorHeight - o;
        const std::array<QPolygon, 4> sides{
            QPolygon({QPoint(x0, y0), QPoint(x1, y0), QPoint(x1 - b, y0 + b), QPoint(x0 + b, y0 + b)}),
            QPolygon({QPoint(x0, y0), QPoint(x0, y1), QPoint(x0 + b, y1 - b), QPoint(x0 + b, y0 + b)}),
            QPolygon({QPoint(x0, y1), QPoint(x0 + b, y1 - b), QPoint(x1 - b, y1 - b), QPoint(x1, y1)}),
            QPolygon({QPoint(x1, y1), QPoint(x1 - b, y1 - b), QPoint(x1 - b, y0 + b), QPoint(x1, y0)}),
        };
        for (int s = Top; s <= Right; ++s) {
            const bool light = lighter[s] == (kind == bkUP);
            const QPolygon placed = PlacedPolygon(sides[s], QPoint(0, 0));
            if (backMaterial) {
                p.save();
                p.setClipRegion(QRegion(placed, Qt::OddEvenFill));
                DrawMaterial(p, all, light ? FBackMaterialL : FBackMaterialD, FMaterialMode);
                p.restore();
            } else {
                p.setBrush(Shaded(FBevelColor, light ? 32 : -32));
                p.drawPolygon(placed, Qt::OddEvenFill);
            }
            if (transparent)
                FClipRGN += QRegion(placed, Qt::OddEvenFill);
        }
    };
    bevel(FOuterBevel, FOuterBevelWidth, 0);
    bevel(FInnerBevel, FInnerBevelWidth, FOuterBevel != bkNone ? FOuterBevelWidth : 0);

    // Segments or dots that are on
    const bool hoverColor = Hovered(false);
    const QRegion black = PolyRegion(FBlackPolyPoly, FBlackVertex);
    p.setClipRegion(black);
    if (!FForeMaterial.isNull() && !hoverColor)
        DrawMaterial(p, all, FForeMaterial, FForeMaterialMode);
    else
        p.fillRect(all, hoverColor ? FNumberForeColor1 : FNumberForeColor);

    // Segments or dots that are off
    const QRegion gray = PolyRegion(FGrayPolyPoly, FGrayVertex);
    p.setClipRegion(gray);
    if (backMaterial)
        DrawMaterial(p, all, FBackMaterialLD, FMaterialMode);
    else
        p.fillRect(all, FNumberBackColor);
    p.end();

    if (transparent) {
        FClipRGN += black;
        if (FTransparentMode == tmBackOnly)
            FClipRGN += gray;
    }
}

void TLcdIndicator::Rebuild() {
    BuildPolygons();
    PaintImage();
    update();
}

void TLcdIndicator::PostRefresh() {
    if (FRefreshPosted)
        return;
    FRefreshPosted = true;
    QCoreApplication::postEvent(this, new QEvent(static_cast<QEvent::Type>(RefreshEventType)));
}

bool TLcdIndicator::event(QEvent* e) {
    if (e->type() == static_cast<QEvent::Type>(RefreshEventType)) {
        FRefreshPosted = false;
        Rebuild();
        return true;
    }
    return QWidget::event(e);
}

void TLcdIndicator::paintEvent(QPaintEvent* e) {
    if (FCanvasBitmap.isNull())
        return;
    QPainter p(this);
    if (FTransparentMode != tmNone)
        p.setClipRegion(FClipRGN & e->region());
    const QRect r = e->rect();
    p.drawImage(r, FCanvasBitmap, r);
}

void TLcdIndicator::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    const QSize s = e->size();
    const QSize want = ControlSizeForDisplay();
    if (s == want) {
        if (FCanvasBitmap.size() != s) {
            UpdateWindowRegion();
            Rebuild();
        }
        return;
    }
    const double a = FIndicatorAngle / 10.0 * std::numbers::pi / 180.0;
    if (s.width() > 0 && s.height() > 0 && std::abs(std::sin(a)) < 0.0001) {
        FIndicatorWidth = s.width();
        FIndicatorHeight = s.height();
    } else if (s.width() > 0 && s.height() > 0 && std::abs(std::cos(a)) < 0.0001) {
        FIndicatorWidth = s.height();
        FIndicatorHeight = s.width();
    } else {
        resize(want); // a slanted display keeps its own size
        return;
    }
    UpdateWindowRegion();
    Rebuild();
}

void TLcdIndicator::enterEvent(QEnterEvent* e) {
    QWidget::enterEvent(e);
    FMoused = true;
    PostRefresh();
    Q_EMIT onMouseEnter(this);
}

void TLcdIndicator::leaveEvent(QEvent* e) {
    QWidget::leaveEvent(e);
    FMoused = false;
    PostRefresh();
    Q_EMIT onMouseExit(this);
}

// ---------------------------------------------------------------------------------------------------
// Properties

void TLcdIndicator::setColorScheme(TLcdColorScheme value) {
    if (value == FColorScheme)
        return;
    FColorScheme = value;
    if (!FImloaded)
        return;
    const SchemeColors c = SchemeColorsOf(value);
    FBackColor = c.back;
    FBevelColor = c.bevel;
    FNumberBackColor = c.numberBack;
    FNumberForeColor = c.numberFore;
    FNumberForeColor1 = c.numberFore1;
    PostRefresh();
}

void TLcdIndicator::setSignNumber(int value) {
    if (value <= 0 || value == FSignNumber)
        return;
    FSignNumber = value;
    if (FImloaded)
        Rebuild();
}

void TLcdIndicator::setIndicatorWidth(int value) {
    if (value <= 0 || value == FIndicatorWidth)
        return;
    FIndicatorWidth = value;
    if (!FImloaded)
        return;
    SetControlSize();
    Rebuild();
}

void TLcdIndicator::setIndicatorHeight(int value) {
    if (value <= 0 || value == FIndicatorHeight)
        return;
    FIndicatorHeight = value;
    if (!FImloaded)
        return;
    SetControlSize();
    Rebuild();
}

void TLcdIndicator::setIndicatorAngle(int value) {
    if (value == FIndicatorAngle)
        return;
    FIndicatorAngle = value;
    if (!FImloaded)
        return;
    SetControlSize();
    Rebuild();
}

#define TARVO_LCD_SETTER(Name, Type)                                                                         \
    void TLcdIndicator::set##Name(Type value) {                                                              \
        if (value == F##Name)                                                                                \
            return;                                                                                          \
        F##Name = value;                                                                                     \
        Rebuild();                                                                                           \
    }

TARVO_LCD_SETTER(IndicatorGap, int)
TARVO_LCD_SETTER(Indicatorstring, const QString&)
TARVO_LCD_SETTER(IndicatorKind, TLcdIndicatorKind)
TARVO_LCD_SETTER(InnerBevel, TLcdBevelKind)
TARVO_LCD_SETTER(OuterBevel, TLcdBevelKind)
TARVO_LCD_SETTER(BevelColor, const QColor&)
TARVO_LCD_SETTER(BackColor, const QColor&)
TARVO_LCD_SETTER(NumberForeColor, const QColor&)
TARVO_LCD_SETTER(NumberForeColor1, const QColor&)
TARVO_LCD_SETTER(NumberBackColor, const QColor&)
TARVO_LCD_SETTER(IndicatorStyle, TLcdIndicatorStyle)
TARVO_LCD_SETTER(MouseAction, TLcdMouseAction)
TARVO_LCD_SETTER(MaterialMode, TLcdMaterialMode)
TARVO_LCD_SETTER(ForeMaterialMode, TLcdMaterialMode)

#undef TARVO_LCD_SETTER

void TLcdIndicator::setInnerBevelWidth(int value) {
    if (value <= 0 || value == FInnerBevelWidth)
        return;
    FInnerBevelWidth = value;
    Rebuild();
}

void TLcdIndicator::setOuterBevelWidth(int value) {
    if (value <= 0 || value == FOuterBevelWidth)
        return;
    FOuterBevelWidth = value;
    Rebuild();
}

void TLcdIndicator::setTransparentMode(TLcdTransparentMode value) {
    if (value == FTransparentMode)
        return;
    FTransparentMode = value;
    // Only an opaque control paints its whole rectangle; the others let the host show through.
    setAttribute(Qt::WA_OpaquePaintEvent, value == tmNone);
    Rebuild();
}

void TLcdIndicator::setBackMaterial(const QImage& value) {
    if (value == FBackMaterial)
        return;
    FBackMaterial = value.isNull() ? QImage() : value.copy();
    PrepareMaterials();
    Rebuild();
}

void TLcdIndicator::setForeMaterial(const QImage& value) {
    if (value == FForeMaterial)
        return;
    FForeMaterial = value.isNull() ? QImage() : value.copy();
    Rebuild();
}

void TLcdIndicator::setMaterialShadowMode(TLcdMaterialShadowMode value) {
    if (value == FMaterialShadowMode)
        return;
    FMaterialShadowMode = value;
    PrepareMaterials();
    Rebuild();
}
