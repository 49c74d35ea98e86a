// The program's help file and how it is opened.
#pragma once

#include <QString>

// Help contexts of the program's windows (the topics of the help file).
namespace help {
constexpr int About = 1;
constexpr int MainWindow = 3;
constexpr int Settings = 9;
constexpr int IndicatorStyle = 10;
} // namespace help

// The help file of the program at `programPath`: the same path with the extension ".chm" in place of
// the program's own (or added when it has none).
QString HelpFileFor(const QString& programPath);
// The help file opened by the help command; set at start-up.
void SetApplicationHelpFile(const QString& path);
QString ApplicationHelpFile();
// Opens the table of contents of the help file with the system's viewer; false when it could not.
bool ShowHelpContents();
