#include "IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <limits>

namespace {

// One line of the file: [start, contentEnd) is its text, [contentEnd, end) its line end ("\r\n", "\n",
// a lone "\r" or nothing at the end of the file).
struct TLine {
    qsizetype start = 0;
    qsizetype contentEnd = 0;
    qsizetype end = 0;
};

QList<TLine> SplitLines(const QByteArray& b) {
    QList<TLine> lines;
    const qsizetype n = b.size();
    qsizetype i = 0;
    while (i < n) {
        TLine l;
        l.start = i;
        while (i < n && b[i] != '\n' && b[i] != '\r')
            ++i;
        l.contentEnd = i;
        if (i < n && b[i] == '\r')
            ++i;
        if (i < n && b[i] == '\n')
            ++i;
        l.end = i;
        lines.append(l);
    }
    return lines;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

QByteArray Trimmed(QByteArrayView v) {
    qsizetype a = 0;
    qsizetype z = v.size();
    while (a < z && IsBlank(v[a]))
        ++a;
    while (z > a && IsBlank(v[z - 1]))
        --z;
    return v.sliced(a, z - a).toByteArray();
}

QString Decode(QByteArrayView bytes) {
    QStringDecoder dec("windows-1251", QStringConverter::Flag::Stateless);
    return dec.decode(bytes);
}

QByteArray Encode(const QString& text) {
    QStringEncoder enc("windows-1251", QStringConverter::Flag::Stateless);
    QByteArray out = enc.encode(text);
    return out;
}

bool SameName(QByteArrayView bytes, const QString& name) {
    return Decode(bytes).compare(name, Qt::CaseInsensitive) == 0;
}

// The section name of a header line ("[name]", blanks allowed around), or false.
bool SectionName(QByteArrayView content, QByteArray& name) {
    const QByteArray t = Trimmed(content);
    if (!t.startsWith('['))
        return false;
    qsizetype close = t.indexOf(']');
    if (close < 0)
        close = t.size();
    name = Trimmed(QByteArrayView(t).sliced(1, close - 1));
    return true;
}

// Key and position of the '=' of a key line; false for comments and lines without a key.
bool KeyOf(QByteArrayView content, QByteArray& key, qsizetype& eq) {
    eq = content.indexOf('=');
    if (eq < 0)
        return false;
    key = Trimmed(content.first(eq));
    return !key.isEmpty() && !key.startsWith(';');
}

// Where a section lies: its header line and the line after its last line (the next header or the end).
struct TSectionSpan {
    qsizetype header = -1;
    qsizetype end = -1;
};

TSectionSpan FindSection(const QByteArray& b, const QList<TLine>& lines, const QString& section) {
    TSectionSpan s;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray name;
        const QByteArrayView content = QByteArrayView(b).sliced(lines[i].start, lines[i].contentEnd - lines[i].start);
        if (!SectionName(content, name))
            continue;
        if (s.header >= 0) {
            s.end = i;
            return s;
        }
        if (SameName(name, section))
            s.header = i;
    }
    if (s.header >= 0)
        s.end = lines.size();
    return s;
}

QByteArrayView ContentOf(const QByteArray& b, const TLine& l) {
    return QByteArrayView(b).sliced(l.start, l.contentEnd - l.start);
}

// The line index of `key` within the section, or -1.
qsizetype FindKey(const QByteArray& b, const QList<TLine>& lines, const TSectionSpan& s, const QString& key,
                  qsizetype* eqPos = nullptr) {
    for (qsizetype i = s.header + 1; i < s.end; ++i) {
        QByteArray k;
        qsizetype eq = 0;
        if (KeyOf(ContentOf(b, lines[i]), k, eq) && SameName(k, key)) {
            if (eqPos)
                *eqPos = eq;
            return i;
        }
    }
    return -1;
}

QByteArray LineEndOf(const QByteArray& b, const QList<TLine>& lines) {
    for (const TLine& l : lines)
        if (l.end > l.contentEnd)
            return b.mid(l.contentEnd, l.end - l.contentEnd);
    return QByteArrayLiteral("\r\n");
}

QString OneLine(QString value) {
    value.replace(u'\r', u' ');
    value.replace(u'\n', u' ');
    return value;
}

int HexDigit(QChar c) {
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}

} // namespace

QString IniErrorText(TIniError error, const QString& path) {
    switch (error) {
    case TIniError::None:
        return QString();
    case TIniError::NoFolder:
        return QStringLiteral("Не удалось создать папку файла ") + QDir::toNativeSeparators(path);
    case TIniError::CannotWrite:
        break;
    }
    return QStringLiteral("Не удалось записать файл ") + QDir::toNativeSeparators(path);
}

bool ParseProfileInt(const QString& text, int& value) {
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) {
        negative = t[i] == u'-';
        ++i;
    }
    int base = 10;
    if (i < t.size() && t[i] == u'$') {
        base = 16;
        ++i;
    } else if (i + 1 < t.size() && t[i] == u'0' && (t[i + 1] == u'x' || t[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i >= t.size())
        return false;
    // Hex values may fill all 32 bits (colours such as $80000008); decimal ones must fit an int.
    const qint64 limit = base == 16 ? qint64(std::numeric_limits<quint32>::max())
                                    : qint64(std::numeric_limits<int>::max()) + (negative ? 1 : 0);
    qint64 v = 0;
    for (; i < t.size(); ++i) {
        const int d = base == 16 ? HexDigit(t[i]) : (t[i] >= u'0' && t[i] <= u'9' ? t[i].unicode() - u'0' : -1);
        if (d < 0)
            return false;
        v = v * base + d;
        if (v > limit)
            return false;
    }
    if (negative)
        v = -v;
    value = static_cast<int>(static_cast<quint32>(v));
    return true;
}

TIniFile::TIniFile(const QString& path) : FFileName(path) {
    QFile f(path);
    if (QFileInfo(path).isFile() && f.open(QIODevice::ReadOnly))
        FBytes = f.readAll();
}

TIniFile TIniFile::FromBytes(const QByteArray& bytes, const QString& path) {
    TIniFile file;
    file.FFileName = path;
    file.FBytes = bytes;
    return file;
}

bool TIniFile::SectionExists(const QString& section) const {
    return FindSection(FBytes, SplitLines(FBytes), section).header >= 0;
}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& def) const {
    const QList<TLine> lines = SplitLines(FBytes);
    const TSectionSpan s = FindSection(FBytes, lines, section);
    if (s.header < 0)
        return def;
    qsizetype eq = 0;
    const qsizetype i = FindKey(FBytes, lines, s, key, &eq);
    if (i < 0)
        return def;
    QByteArray v = Trimmed(ContentOf(FBytes, lines[i]).sliced(eq + 1));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    return Decode(v);
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int def) const {
    int v = 0;
    return ParseProfileInt(ReadString(section, key, QString()), v) ? v : def;
}

bool TIniFile::ReadBool(const QString& section, const QString& key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

QStringList TIniFile::ReadSectionKeys(const QString& section) const {
    QStringList keys;
    const QList<TLine> lines = SplitLines(FBytes);
    const TSectionSpan s = FindSection(FBytes, lines, section);
    for (qsizetype i = s.header + 1; s.header >= 0 && i < s.end; ++i) {
        QByteArray k;
        qsizetype eq = 0;
        if (KeyOf(ContentOf(FBytes, lines[i]), k, eq))
            keys << Decode(k);
    }
    return keys;
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value) {
    const QByteArray v = Encode(OneLine(value));
    const QList<TLine> lines = SplitLines(FBytes);
    const QByteArray eol = LineEndOf(FBytes, lines);
    const TSectionSpan s = FindSection(FBytes, lines, section);
    const QByteArray newLine = Encode(key) + '=' + v;
    if (s.header < 0) {
        if (!FBytes.isEmpty() && !FBytes.endsWith('\n') && !FBytes.endsWith('\r'))
            FBytes += eol;
        FBytes += '[' + Encode(section) + ']' + eol + newLine + eol;
        return;
    }
    qsizetype eq = 0;
    const qsizetype i = FindKey(FBytes, lines, s, key, &eq);
    if (i >= 0) {
        const qsizetype from = lines[i].start + eq + 1;
        FBytes.replace(from, lines[i].contentEnd - from, v);
        return;
    }
    // After the last line of the section that is not blank, so blank lines before the next section stay
    // where they are.
    qsizetype last = s.header;
    for (qsizetype j = s.header + 1; j < s.end; ++j)
        if (!Trimmed(ContentOf(FBytes, lines[j])).isEmpty())
            last = j;
    const TLine& l = lines[last];
    if (l.end == l.contentEnd) // the last line of the file, without a line end
        FBytes.insert(l.end, eol + newLine + eol);
    else
        FBytes.insert(l.end, newLine + eol);
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int value) {
    WriteString(section, key, QString::number(value));
}

void TIniFile::WriteBool(const QString& section, const QString& key, bool value) {
    WriteInteger(section, key, value ? 1 : 0);
}

TIniError TIniFile::SaveAs(const QString& path) const {
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return TIniError::NoFolder;
    if (info.isDir())
        return TIniError::CannotWrite;
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return TIniError::CannotWrite;
    if (f.write(FBytes) != FBytes.size()) {
        f.cancelWriting();
        return TIniError::CannotWrite;
    }
    return f.commit() ? TIniError::None : TIniError::CannotWrite;
}
