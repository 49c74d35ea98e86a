// Where Tarvo_TS finds its files. The settings file lies beside the program while that folder is
// writable, and in the user's configuration folder otherwise (an installed program). Files the program
// ships (colour schemes) are taken from beside the program first, then from the program's data folders
// of the user and the system.
#pragma once

#include <QString>

struct TProgramPath {
    QString ProgDir; // without a trailing separator
    QString ExeName;
};

// Splits the full path of the program file at its last separator ('/' or, on Windows, '\').
TProgramPath SplitProgramPath(const QString& programFile);

// The settings file "Tarvo_TS.ini": beside the program when `progDir` is a writable folder (and an
// existing file there is writable), else in QStandardPaths::AppConfigLocation.
QString SettingsFilePath(const QString& progDir);

// A file the program ships, `relative` to the program's folder ("ColorSchemas/Standart.kvs"): beside
// the program when it exists there, else the first of QStandardPaths::AppDataLocation that has it,
// else the path beside the program (so that an error names where it was looked for first).
QString ShippedFilePath(const QString& progDir, const QString& relative);

// Folder of the colour schemes beside the program.
inline constexpr char16_t ColorSchemasFolder[] = u"ColorSchemas";

// The colour scheme file of the settings' "ColorShema" name.
QString ColorSchemePath(const QString& progDir, const QString& colorShema);
