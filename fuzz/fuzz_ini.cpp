// Feeds arbitrary bytes as a settings file: reads every key of the program (never a crash), then writes
// one key and checks that the write changed that one line only: every other line of the file is kept
// byte for byte, in its order, and the key reads back as written. The first input byte chooses the
// section, key and value.
#include "IniFile.h"
#include "ProgSettings.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdlib>

namespace {

void require(bool cond) {
    if (!cond)
        std::abort();
}

// The lines of a file without their line ends ("\r\n", "\n" or a lone "\r").
QList<QByteArray> Lines(const QByteArray& b) {
    QList<QByteArray> lines;
    qsizetype i = 0;
    while (i < b.size()) {
        qsizetype j = i;
        while (j < b.size() && b[j] != '\n' && b[j] != '\r')
            ++j;
        lines << b.mid(i, j - i);
        if (b.mid(j, 2) == "\r\n")
            j += 2;
        else if (j < b.size())
            ++j;
        i = j;
    }
    return lines;
}

// `after` is `before` with at most one line replaced, or one line inserted, or two lines (a section and
// its key) added at the end.
bool OnlyOneLineChanged(const QList<QByteArray>& before, const QList<QByteArray>& after) {
    if (after.size() == before.size()) {
        int changed = 0;
        for (qsizetype i = 0; i < before.size(); ++i)
            changed += before[i] != after[i];
        return changed <= 1;
    }
    if (after.size() == before.size() + 1) {
        for (qsizetype skip = 0; skip < after.size(); ++skip) {
            QList<QByteArray> rest = after;
            rest.removeAt(skip);
            if (rest == before)
                return true;
        }
        return false;
    }
    if (after.size() == before.size() + 2)
        return after.first(before.size()) == before;
    return false;
}

const char* const Sections[] = {"Defaults", "defaults", "IndTStyle", "Kvelt", "New Section"};
const char* const Keys[] = {"DefaultSlaveID", "connectiontype", "ColorShema", "IndGrap", "NewKey"};
const char* const Values[] = {"1", "toFirst", "", "Тёмная.kvs", "300"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::uint8_t pick = data[0];
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    TIniFile file = TIniFile::FromBytes(bytes);

    TProgSettings s;
    LoadSettings(file, s);
    require(s.ToNum + s.ToFirst + s.ToLast <= 1);
    (void)file.ReadSectionKeys(QStringLiteral("Kvelt"));

    const QString section = QString::fromUtf8(Sections[pick % 5]);
    const QString key = QString::fromUtf8(Keys[(pick / 5) % 5]);
    const QString value = QString::fromUtf8(Values[(pick / 25) % 5]);
    file.WriteString(section, key, value);
    require(OnlyOneLineChanged(Lines(bytes), Lines(file.Bytes())));
    require(file.ReadString(section, key, QStringLiteral("<missing>")) == value);
    return 0;
}
