// Private-profile (INI) files as Tarvo_TS keeps them: sections in brackets, one key=value line each,
// section and key names compared without regard to case, Windows-1251 text. QSettings would rewrite
// the whole file; this reader/writer changes only the one line a write is about and keeps every other
// byte (comments, order, blank lines, line ends, lines it does not understand).
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Why a file could not be written. Nothing of the old file is lost in either case.
enum class TIniError {
    None,
    NoFolder,    // the folder of the file does not exist and cannot be made
    CannotWrite, // the file (or its temporary twin) cannot be written or put in place
};

// The message for a failed save of `path`; empty for TIniError::None.
QString IniErrorText(TIniError error, const QString& path);

// Reads an integer the way the settings reader does: optional sign, then decimal digits or a hex
// number ("$1F", "0x1F"); surrounding blanks allowed. Anything else, or a value outside 32 bits, fails.
bool ParseProfileInt(const QString& text, int& value);

class TIniFile {
public:
    TIniFile() = default;
    // Reads `path`; a missing, unreadable file or a directory reads as an empty file.
    explicit TIniFile(const QString& path);
    static TIniFile FromBytes(const QByteArray& bytes, const QString& path = QString());

    const QString& FileName() const { return FFileName; }
    const QByteArray& Bytes() const { return FBytes; }

    bool SectionExists(const QString& section) const;
    // The value of the first `key` in the first section named `section`, blanks around it removed
    // and one pair of enclosing quotes dropped; `def` when the section or key is missing.
    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    // The value as an integer; `def` when missing or not a number (see ParseProfileInt).
    int ReadInteger(const QString& section, const QString& key, int def) const;
    // An integer, any non-zero value true.
    bool ReadBool(const QString& section, const QString& key, bool def) const;
    // The names of the keys of the first section named `section`, in file order.
    QStringList ReadSectionKeys(const QString& section) const;

    // Sets `key` of `section`: the value of an existing line is replaced in place, a missing key is
    // added after the last line of its section, a missing section is added at the end of the file.
    // Line breaks in the value are written as blanks (they would split the line).
    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);

    // Writes the bytes to FileName() (or `path`) through a temporary file renamed over the old one,
    // so a failed write leaves the old file as it was. Makes the folder when it is missing.
    TIniError Save() const { return SaveAs(FFileName); }
    TIniError SaveAs(const QString& path) const;

private:
    QString FFileName;
    QByteArray FBytes;
};
