// Colour schemes (".kvs" files in "ColorSchemas"): the values of the skinned controls' style manager in
// section "Kvelt" and the window colour "FormColor" in section "Other". The built-in values below are
// what a control shows before a file is read and what every key a file lacks keeps.
#pragma once

#include "IniFile.h"
#include "ToolkitColor.h"

#include <QString>

// Button colours: gradients at rest, under the mouse and while pressed, caption and border colours.
struct TKvControlColors {
    TColor DefaultFrom = 0xFFFFFF;
    TColor DefaultTo = 0xC6CED7;
    TColor OverFrom = 0xFFFFFF;
    TColor OverTo = 0x6B92B8;
    TColor ClickedFrom = 0x077DF3;
    TColor ClickedTo = 0xCBEFED;
    TColor HotTrack = 0xCE0000; // caption under the mouse
    TColor BorderColor = 0x4F3E24;
    TColor TextShadow = 0xFFFFFF;

    friend bool operator==(const TKvControlColors&, const TKvControlColors&) = default;
};

struct TKvSplitterColors {
    TColor DefaultFrom = 0xD8E9EC;
    TColor DefaultTo = 0xD8E9EC;
    TColor OverFrom = 0xFFFFFF;
    TColor OverTo = 0xD8E9EC;

    friend bool operator==(const TKvSplitterColors&, const TKvSplitterColors&) = default;
};

struct TKvFont {
    enum TFontPitch { fpDefault, fpVariable, fpFixed };
    enum TFontStyle { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
    QString Name = QStringLiteral("MS Sans Serif"); // not kept in scheme files
    int Charset = 1;                                // default character set
    TColor Color = clWindowText;
    int Height = -11; // pixels at 96 dpi, negative: without the internal leading
    int Size = 8;     // points; Height and Size follow each other
    TFontPitch Pitch = fpDefault;
    int Style = 0; // set of TFontStyle

    friend bool operator==(const TKvFont&, const TKvFont&) = default;
};

struct TKvStyleManager {
    enum TFadeSpeed { fsSlow, fsMedium, fsFast, fsVeryFast };
    bool ShowFocusRect = false;
    bool HotTrack = true;
    bool GradientBorder = true;
    bool TextShadow = false;
    TColor CheckColor = 0x2B9139;
    TFadeSpeed FadeSpeed = fsFast;
    TColor PanelColor = 0xD8E9EC;
    TColor BorderColor = 0x4F3E24;
    TKvControlColors ControlColors;
    TKvSplitterColors SplitterColors;
    TKvFont Font;

    friend bool operator==(const TKvStyleManager&, const TKvStyleManager&) = default;
};

enum class TSchemeError {
    None,
    FileNotExists,  // no such file (or a directory in its place)
    EmptyOrInvalid, // section "Kvelt" has no keys (also an unreadable file)
    InvalidValue,   // an "E" or "S" value that names no value of its property; the keys after it unread
};

struct TSchemeLoad {
    TSchemeError Error = TSchemeError::None;
    QString Key;   // the key of an InvalidValue
    QString Value; // its value
};

// The message of a failed load: "File not exists!", "Empty or invalid file", or the invalid element.
QString SchemeErrorText(const TSchemeLoad& load);

// Reads section "Kvelt" of `path` into `manager`, key by key in file order. Each key is a class name
// (TKvStyleManager, TKvControlColors, TKvSplitterColors, TFont), a type letter and a property name:
// "N" an integer (text that is no number gives 0), "E" an enumeration name ("True"/"False" for the flags),
// "S" a set such as "[fsBold,fsItalic]". Unknown classes, properties and letters are skipped. An invalid
// "E" or "S" value ends the reading: the keys before it stay, the rest keep the values `manager` had.
TSchemeLoad LoadStyleFile(const QString& path, TKvStyleManager& manager);
// The same for a file read already (an empty one gives EmptyOrInvalid).
TSchemeLoad LoadStyleFile(const TIniFile& file, TKvStyleManager& manager);

// "FormColor" of section "Other" (0, black, when missing).
TColor ReadFormColor(const QString& path);

// The colour of the program's windows for a scheme file: the system button face when the path contains
// "Standart" (letter case as written), else `formColor`.
QColor SchemeWindowColor(const QString& path, TColor formColor, const QPalette& system);

// A scheme as start-up applies it.
struct TAppliedScheme {
    TKvStyleManager Manager; // the built-in values with what the file set
    QColor FormColor;        // colour of the program's windows
    QString ColorShema;      // the file name part of the path, which the settings keep
    TSchemeLoad Load;        // the error to show, if any
};

// Loads `path` over the built-in scheme. A missing file or one without keys gives the built-in scheme
// and the system button face as window colour (the program starts as if no scheme were chosen); an
// invalid value keeps what was read before it and takes the window colour from the file as usual.
TAppliedScheme ApplyColorScheme(const QString& path, const QPalette& system);
