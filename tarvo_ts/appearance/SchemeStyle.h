// A colour scheme as the widgets of Tarvo_TS take it: one style sheet and one palette for every window
// of the program (there is no skin library). The style sheet
// draws the skinned controls: buttons with their three gradients and hot-track captions, check boxes
// and radio buttons in the check colour, panels and group boxes, tabs, status bar panels, borders,
// and the font of the scheme.
#pragma once

#include "ColorScheme.h"

#include <QColor>
#include <QList>
#include <QPalette>
#include <QString>

// Dynamic property that makes a plain QFrame a skinned panel (panel colour and border):
// frame->setProperty(KvPanelProperty, true).
inline constexpr char KvPanelProperty[] = "kvPanel";

struct TSchemeStyle {
    QString StyleSheet;
    QPalette Palette;
    QColor FormColor;  // the windows, menu bar, tool bar, page control and status bar
    QColor WindowText; // text on FormColor
    QColor PanelColor;
    QColor PanelText;  // text on panels and group boxes
    QColor ButtonText; // caption of a button at rest
    QColor HotTrack;   // caption under the mouse; also for highlighted labels of the pages
    QColor CheckColor;
};

// Builds the style of `manager` for windows of colour `formColor`. Colours the scheme gives as system
// colours come from `system`. A text colour that would not read on its background is replaced by black
// or white.
TSchemeStyle BuildSchemeStyle(const TKvStyleManager& manager, const QColor& formColor, const QPalette& system);

// Gives every window of the program, those shown later included, the palette and the style sheet: they
// are set on the application. (A palette set on a window does not reach its children once a style sheet
// is active, so a per-window palette would leave entry fields in the system colours.)
void ApplySchemeStyle(const TSchemeStyle& style);
