// Colours as the files of Tarvo_TS keep them: the toolkit's 32-bit values, 0x00BBGGRR for an RGB colour
// and a negative value for a system colour, whose number is the low byte (0xFF000008 window text,
// 0xFF00000F button face; older files have 0x80000008 and so on). They stay as they are in files and
// records and become QColor only where a widget takes them.
#pragma once

#include <QColor>
#include <QPalette>

#include <cstdint>

using TColor = std::int32_t;

inline constexpr TColor clWindowText = TColor(0xFF000008u);
inline constexpr TColor clBtnFace = TColor(0xFF00000Fu);

// The colour a value stands for; system colours are taken from `system`. Other values with a non-zero
// high byte use their low 24 bits.
QColor ColorFromTColor(TColor value, const QPalette& system);
// The value of an RGB colour (the high byte 0).
TColor TColorFromColor(const QColor& color);

// Contrast ratio of two colours (1 to 21), by relative luminance.
double ContrastRatio(const QColor& a, const QColor& b);
// `preferred` when it reads well on `background` (ratio `minRatio` or more: 4.5 for text, 3 for a
// highlight), else black or white, whichever reads better.
QColor ReadableOn(const QColor& background, const QColor& preferred, double minRatio = 4.5);
// The same on a gradient: `preferred` must read on both ends.
QColor ReadableOnGradient(const QColor& from, const QColor& to, const QColor& preferred, double minRatio = 4.5);
