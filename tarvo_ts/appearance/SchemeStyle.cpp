#include "SchemeStyle.h"

#include <QApplication>

#include <algorithm>

namespace {

QString Hex(const QColor& c) {
    return c.name(QColor::HexRgb);
}

QColor Mix(const QColor& a, const QColor& b, double t) {
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t), float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t));
}

QString Grad(const QColor& from, const QColor& to) {
    return QStringLiteral("qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:1 %2)").arg(Hex(from), Hex(to));
}

bool IsDark(const QColor& c) {
    return ContrastRatio(c, Qt::black) < ContrastRatio(c, Qt::white);
}

// The scheme's font as style sheet declarations; sizes outside what a window can hold are left out.
QString FontDecl(const TKvFont& f) {
    QString d;
    if (f.Size >= 6 && f.Size <= 20)
        d += QStringLiteral("font-size: %1pt; ").arg(f.Size);
    d += (f.Style & TKvFont::fsBold) ? QStringLiteral("font-weight: bold; ") : QStringLiteral("font-weight: normal; ");
    d += (f.Style & TKvFont::fsItalic) ? QStringLiteral("font-style: italic; ") : QStringLiteral("font-style: normal; ");
    if (f.Style & TKvFont::fsUnderline)
        d += QStringLiteral("text-decoration: underline; ");
    else if (f.Style & TKvFont::fsStrikeOut)
        d += QStringLiteral("text-decoration: line-through; ");
    return d;
}

// Every "@name" of `text` replaced by its value.
QString Fill(QString text, const QList<std::pair<QString, QString>>& values) {
    // Longer names first, so "@hot" does not eat the start of "@hotPanel".
    QList<std::pair<QString, QString>> sorted = values;
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
    for (const auto& [name, value] : sorted)
        text.replace(u'@' + name, value);
    return text;
}

const char* const Sheet = R"(
QMenuBar { background-color: @form; color: @winText; }
QMenuBar::item { background: transparent; padding: 3px 8px; }
QMenuBar::item:selected { background: @overGrad; color: @hotOver; }
QMenu { background-color: @form; color: @winText; border: 1px solid @btnBorder; }
QMenu::item { padding: 4px 24px 4px 20px; background: transparent; }
QMenu::item:selected { background: @overGrad; color: @hotOver; }
QMenu::item:disabled { color: @winTextOff; }
QMenu::separator { height: 1px; background: @border; margin: 3px 6px; }
QToolBar { background-color: @form; border: none; spacing: 2px; padding: 1px; }
QStatusBar { background-color: @form; color: @winText; }
QStatusBar::item { border: none; }
QStatusBar QLabel { color: @winText; border: 1px solid @border; border-radius: 2px; padding: 1px 4px; }
QToolTip { color: @panelText; background-color: @panel; border: 1px solid @border; padding: 2px; }

QPushButton { color: @btnText; background: @restGrad; border: 1px solid @btnBorderBrush; border-radius: 3px;
              padding: 3px 12px; min-height: 16px; @font}
QPushButton:hover { background: @overGrad; color: @hotOver; }
QPushButton:pressed, QPushButton:checked { background: @clickGrad; color: @clickText; }
QPushButton:disabled { color: @btnTextOff; border-color: @btnBorderOff; }
QPushButton:focus { @focus }
QToolButton { color: @winText; background: transparent; border: 1px solid transparent; border-radius: 3px;
              padding: 2px; }
QToolButton:hover { background: @overGrad; border-color: @btnBorder; color: @hotOver; }
QToolButton:pressed, QToolButton:checked { background: @clickGrad; border-color: @btnBorder; color: @clickText; }

QLabel, QCheckBox, QRadioButton { color: @winText; }
QCheckBox, QRadioButton { spacing: 5px; @font}
QCheckBox:hover, QRadioButton:hover { color: @hotForm; }
QCheckBox:disabled, QRadioButton:disabled, QLabel:disabled { color: @winTextOff; }
QGroupBox QLabel, QGroupBox QCheckBox, QGroupBox QRadioButton,
*[kvPanel="true"] QLabel, *[kvPanel="true"] QCheckBox, *[kvPanel="true"] QRadioButton { color: @panelText; }
QGroupBox QCheckBox:hover, QGroupBox QRadioButton:hover,
*[kvPanel="true"] QCheckBox:hover, *[kvPanel="true"] QRadioButton:hover { color: @hotPanel; }
QGroupBox QLabel:disabled, QGroupBox QCheckBox:disabled, QGroupBox QRadioButton:disabled { color: @panelTextOff; }
QCheckBox::indicator, QRadioButton::indicator, QGroupBox::indicator {
    width: 13px; height: 13px; border: 1px solid @btnBorder; background: @restGrad; }
QRadioButton::indicator { border-radius: 7px; }
QCheckBox::indicator:hover, QRadioButton::indicator:hover, QGroupBox::indicator:hover { border-color: @hotIndicator; }
QCheckBox::indicator:checked, QGroupBox::indicator:checked { background: @check; image: url(@tick); }
QCheckBox::indicator:indeterminate { background: @checkHalf; }
QRadioButton::indicator:checked { background: qradialgradient(cx:0.5, cy:0.5, radius:0.5, fx:0.5, fy:0.5,
    stop:0 @check, stop:0.5 @check, stop:0.62 @restFrom, stop:1 @restTo); }
QCheckBox::indicator:disabled, QRadioButton::indicator:disabled { border-color: @btnBorderOff; }

QGroupBox { background-color: @panel; color: @panelText; border: 1px solid @border; border-radius: 4px;
            margin-top: 10px; padding: 8px 4px 4px 4px; @font}
QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 8px; padding: 0px 4px;
                   background-color: @panel; color: @panelText; border: 1px solid @border; border-radius: 3px; }
*[kvPanel="true"] { background-color: @panel; color: @panelText; border: 1px solid @border; border-radius: 3px; }

QTabWidget::pane { border: 1px solid @btnBorder; background-color: @form; top: -1px; }
QTabBar::tab { color: @btnText; background: @restGrad; border: 1px solid @btnBorder; border-bottom: none;
               border-top-left-radius: 3px; border-top-right-radius: 3px; padding: 3px 10px; margin-right: 1px;
               @font}
QTabBar::tab:selected { background-color: @form; color: @winText; }
QTabBar::tab:hover:!selected { background: @overGrad; color: @hotOver; }
QTabBar::tab:!selected { margin-top: 2px; }

QProgressBar { border: 1px solid @border; border-radius: 3px; background-color: @panel; color: @panelText;
               text-align: center; @font}
QProgressBar::chunk { background: @overGrad; border-radius: 2px; }
QSplitter::handle { background: @splitGrad; }
QSplitter::handle:hover { background: @splitOverGrad; }
)";

} // namespace

TSchemeStyle BuildSchemeStyle(const TKvStyleManager& m, const QColor& formColor, const QPalette& system) {
    const auto c = [&](TColor v) { return ColorFromTColor(v, system); };
    const TKvControlColors& cc = m.ControlColors;
    const QColor font = c(m.Font.Color);
    const QColor restFrom = c(cc.DefaultFrom), restTo = c(cc.DefaultTo);
    const QColor overFrom = c(cc.OverFrom), overTo = c(cc.OverTo);
    const QColor clickFrom = c(cc.ClickedFrom), clickTo = c(cc.ClickedTo);
    const QColor hot = c(cc.HotTrack);
    const QColor btnBorder = c(cc.BorderColor);

    TSchemeStyle s;
    s.FormColor = formColor.toRgb();
    s.PanelColor = c(m.PanelColor);
    s.CheckColor = c(m.CheckColor);
    s.WindowText = ReadableOn(s.FormColor, font);
    s.PanelText = ReadableOn(s.PanelColor, font);
    s.ButtonText = ReadableOnGradient(restFrom, restTo, font);
    s.HotTrack = ReadableOn(s.FormColor, hot, 3.0);
    const QColor hotOver = ReadableOnGradient(overFrom, overTo, m.HotTrack ? hot : font, m.HotTrack ? 3.0 : 4.5);
    const QColor clickText = ReadableOnGradient(clickFrom, clickTo, font);
    const QColor btnMid = Mix(restFrom, restTo, 0.5);
    const QColor tick = ContrastRatio(s.CheckColor, Qt::white) >= ContrastRatio(s.CheckColor, QColor(0x10, 0x10, 0x10))
                            ? QColor(Qt::white)
                            : QColor(0x10, 0x10, 0x10);
    const QString borderBrush =
        m.GradientBorder ? Grad(Mix(btnBorder, restFrom, 0.45), btnBorder) : Hex(btnBorder);

    s.StyleSheet = Fill(QString::fromUtf8(Sheet),
                        {
                            {QStringLiteral("form"), Hex(s.FormColor)},
                            {QStringLiteral("winText"), Hex(s.WindowText)},
                            {QStringLiteral("winTextOff"), Hex(Mix(s.WindowText, s.FormColor, 0.5))},
                            {QStringLiteral("panel"), Hex(s.PanelColor)},
                            {QStringLiteral("panelText"), Hex(s.PanelText)},
                            {QStringLiteral("panelTextOff"), Hex(Mix(s.PanelText, s.PanelColor, 0.5))},
                            {QStringLiteral("border"), Hex(c(m.BorderColor))},
                            {QStringLiteral("btnBorderBrush"), borderBrush},
                            {QStringLiteral("btnBorderOff"), Hex(Mix(btnBorder, btnMid, 0.5))},
                            {QStringLiteral("btnBorder"), Hex(btnBorder)},
                            {QStringLiteral("btnTextOff"), Hex(Mix(s.ButtonText, btnMid, 0.55))},
                            {QStringLiteral("btnText"), Hex(s.ButtonText)},
                            {QStringLiteral("restGrad"), Grad(restFrom, restTo)},
                            {QStringLiteral("restFrom"), Hex(restFrom)},
                            {QStringLiteral("restTo"), Hex(restTo)},
                            {QStringLiteral("overGrad"), Grad(overFrom, overTo)},
                            {QStringLiteral("clickGrad"), Grad(clickFrom, clickTo)},
                            {QStringLiteral("clickText"), Hex(clickText)},
                            {QStringLiteral("hotOver"), Hex(hotOver)},
                            {QStringLiteral("hotForm"), Hex(m.HotTrack ? s.HotTrack : s.WindowText)},
                            {QStringLiteral("hotPanel"),
                             Hex(m.HotTrack ? ReadableOn(s.PanelColor, hot, 3.0) : s.PanelText)},
                            {QStringLiteral("hotIndicator"), Hex(m.HotTrack ? s.HotTrack : btnBorder)},
                            {QStringLiteral("check"), Hex(s.CheckColor)},
                            {QStringLiteral("checkHalf"), Hex(Mix(s.CheckColor, restFrom, 0.5))},
                            {QStringLiteral("tick"), tick == Qt::white ? QStringLiteral(":/tarvo_ts/appearance/tick-light.xpm")
                                                                       : QStringLiteral(":/tarvo_ts/appearance/tick-dark.xpm")},
                            {QStringLiteral("splitGrad"), Grad(c(m.SplitterColors.DefaultFrom), c(m.SplitterColors.DefaultTo))},
                            {QStringLiteral("splitOverGrad"), Grad(c(m.SplitterColors.OverFrom), c(m.SplitterColors.OverTo))},
                            {QStringLiteral("font"), FontDecl(m.Font)},
                            {QStringLiteral("focus"), m.ShowFocusRect ? QStringLiteral("border-color: %1;").arg(Hex(s.HotTrack))
                                                                      : QStringLiteral("outline: none;")},
                        });

    QPalette p = system;
    const bool dark = IsDark(s.FormColor);
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool off = g == QPalette::Disabled;
        p.setColor(g, QPalette::Window, s.FormColor);
        p.setColor(g, QPalette::WindowText, off ? Mix(s.WindowText, s.FormColor, 0.5) : s.WindowText);
        p.setColor(g, QPalette::Button, btnMid);
        p.setColor(g, QPalette::ButtonText, off ? Mix(s.ButtonText, btnMid, 0.55) : s.ButtonText);
        p.setColor(g, QPalette::Light, Mix(s.FormColor, Qt::white, 0.5));
        p.setColor(g, QPalette::Midlight, Mix(s.FormColor, Qt::white, 0.25));
        p.setColor(g, QPalette::Mid, Mix(s.FormColor, Qt::black, 0.25));
        p.setColor(g, QPalette::Dark, Mix(s.FormColor, Qt::black, 0.5));
        if (dark) {
            // Entry fields of a dark window: dark as well, with light text.
            const QColor base = Mix(s.FormColor, Qt::white, 0.12);
            const QColor text = ReadableOn(base, QColor(0xF0, 0xF0, 0xF0));
            p.setColor(g, QPalette::Base, base);
            p.setColor(g, QPalette::AlternateBase, Mix(base, Qt::white, 0.06));
            p.setColor(g, QPalette::Text, off ? Mix(text, base, 0.5) : text);
            p.setColor(g, QPalette::PlaceholderText, Mix(text, base, 0.45));
            p.setColor(g, QPalette::BrightText, Qt::white);
        }
    }
    s.Palette = p;
    return s;
}

void ApplySchemeStyle(const TSchemeStyle& style) {
    QApplication::setPalette(style.Palette);
    qApp->setStyleSheet(style.StyleSheet);
}
