// Indicator styles: the look of one TLcdIndicator as the settings file and the style files (".ind")
// keep it, one INI section of eight keys per style.
#pragma once

#include "IniFile.h"
#include "LcdIndicator.h"
#include "ToolkitColor.h"

#include <QString>

struct TIndStyle {
    TLcdIndicator::TLcdColorScheme ColorScheme = TLcdIndicator::csSilver;
    int IndicatorGap = 2;
    TColor NumberForeColor = 0x800080;
    TColor NumberBackColor = 0xD3D3D3;
    TColor BackColor = 0xDDDDDD;
    TColor BevelColor = 0xDDDDDD;
    TLcdIndicator::TLcdIndicatorKind IndicatorKind = TLcdIndicator::ik7segment;
    TLcdIndicator::TLcdIndicatorStyle IndicatorStyle = TLcdIndicator::isThick;

    friend bool operator==(const TIndStyle&, const TIndStyle&) = default;
};

// Sections of the settings file and of a style file.
inline constexpr char16_t IndTStyleSection[] = u"IndTStyle";
inline constexpr char16_t IndRStyleSection[] = u"IndRStyle";
inline constexpr char16_t IndCalibrDateStyleSection[] = u"IndCalibrDateStyle";
inline constexpr char16_t IndStyleSection[] = u"IndStyle";

// The largest gap the style window offers; a gap read outside 0..MaxIndicatorGap takes the default.
inline constexpr int MaxIndicatorGap = 7;

// Names of the values in files, compared without regard to case; false for any other text.
bool DecodeColorScheme(const QString& text, TLcdIndicator::TLcdColorScheme& scheme);
bool DecodeIndicatorKind(const QString& text, TLcdIndicator::TLcdIndicatorKind& kind); // ik7segment, ik5x7matrix
bool DecodeIndicatorStyle(const QString& text, TLcdIndicator::TLcdIndicatorStyle& style);
// The names written; the empty text for a value outside the ones a style may hold.
QString ColorSchemeName(TLcdIndicator::TLcdColorScheme scheme);
QString IndicatorKindName(TLcdIndicator::TLcdIndicatorKind kind);
QString IndicatorStyleName(TLcdIndicator::TLcdIndicatorStyle style);

// Reads one style section into `style`: a missing key takes its default; a scheme, kind or thickness
// text that names no value leaves that field as `style` had it; a colour or gap that is no number takes
// the default.
void LoadIndStyle(const TIniFile& file, const QString& section, TIndStyle& style);
// Writes the eight keys of `style` in their order into `section`; the rest of the file stays.
void WriteIndStyle(const TIndStyle& style, TIniFile& file, const QString& section);
// Writes the present style of `indicator`.
void SaveIndStyle(const TLcdIndicator& indicator, TIniFile& file, const QString& section);

// The style an indicator shows now.
TIndStyle GetIndStyle(const TLcdIndicator& indicator);
// Sets the scheme first and then the gap, the four colours, the kind and the thickness, so that the
// colours of the style prevail over those the scheme brings.
void ApplyIndStyle(TLcdIndicator& indicator, const TIndStyle& style);
// The same eight properties from one indicator to another, in the same order.
void CopyIndStyle(const TLcdIndicator& from, TLcdIndicator& to);

// Start-up: one record filled from the three sections of the settings file in turn (not reset in
// between, so a name that names no value keeps what the section before gave) and applied to each
// indicator. A null indicator is skipped.
void LoadIndicatorStyles(const TIniFile& settingsFile, TLcdIndicator* indT, TLcdIndicator* indR,
                         TLcdIndicator* indCalibrDate);
// Closing: the styles of the three indicators into their sections of the settings file (not saved yet).
void SaveIndicatorStyles(TIniFile& settingsFile, const TLcdIndicator* indT, const TLcdIndicator* indR,
                         const TLcdIndicator* indCalibrDate);

// The name a style file is saved under: ".ind" appended when none of the last seven characters of
// `name` is a full stop.
QString WithIndExtension(const QString& name);

// The filter of both style file dialogs, in the form the file dialogs take.
QString IndStyleFileFilter();
// Turns a toolkit filter ("text|patterns|text|patterns") into a Qt one; "*.*" matches every file.
QString QtFileFilter(const QString& toolkitFilter);
// Start folder of the open dialog: "ColorShemas" at the root of the current drive.
QString IndStyleOpenFolder();
