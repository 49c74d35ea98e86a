#include "ToolkitColor.h"

#include <algorithm>
#include <cmath>

namespace {

// The system colour indexes that a palette role stands in for.
QPalette::ColorRole RoleOfSystemColor(int index) {
    switch (index) {
    case 5: // window background
        return QPalette::Base;
    case 7: // menu text
    case 8: // window text
    case 9: // caption text
        return QPalette::WindowText;
    case 13:
        return QPalette::Highlight;
    case 14:
        return QPalette::HighlightedText;
    case 15: // button face
        return QPalette::Button;
    case 16: // button shadow
        return QPalette::Dark;
    case 17: // grey text
        return QPalette::PlaceholderText;
    case 18:
        return QPalette::ButtonText;
    case 20: // button highlight
        return QPalette::Light;
    case 21: // dark shadow
        return QPalette::Shadow;
    case 22: // 3D light
        return QPalette::Midlight;
    case 23:
        return QPalette::ToolTipText;
    case 24:
        return QPalette::ToolTipBase;
    case 26: // hot-track
        return QPalette::Link;
    default:
        break;
    }
    return QPalette::Window;
}

double Channel(int c) {
    const double v = c / 255.0;
    return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& c) {
    return 0.2126 * Channel(c.red()) + 0.7152 * Channel(c.green()) + 0.0722 * Channel(c.blue());
}

} // namespace

QColor ColorFromTColor(TColor value, const QPalette& system) {
    const auto v = static_cast<std::uint32_t>(value);
    if (v & 0x80000000u)
        return system.color(QPalette::Active, RoleOfSystemColor(int(v & 0xFFu)));
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

TColor TColorFromColor(const QColor& color) {
    const QColor c = color.toRgb();
    return TColor(c.red() | (c.green() << 8) | (c.blue() << 16));
}

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableOn(const QColor& background, const QColor& preferred, double minRatio) {
    return ReadableOnGradient(background, background, preferred, minRatio);
}

QColor ReadableOnGradient(const QColor& from, const QColor& to, const QColor& preferred, double minRatio) {
    const auto worst = [&](const QColor& text) { return std::min(ContrastRatio(from, text), ContrastRatio(to, text)); };
    if (worst(preferred) >= minRatio)
        return preferred;
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    return worst(black) >= worst(white) ? black : white;
}
