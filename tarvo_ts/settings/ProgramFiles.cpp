#include "ProgramFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

TProgramPath SplitProgramPath(const QString& programFile) {
    const QString path = QDir::fromNativeSeparators(programFile);
    const qsizetype cut = path.lastIndexOf(u'/');
    if (cut < 0)
        return {QString(), path};
    return {path.left(cut), path.mid(cut + 1)};
}

QString SettingsFilePath(const QString& progDir) {
    const QString name = QStringLiteral("Tarvo_TS.ini");
    const QFileInfo dir(progDir);
    const QFileInfo beside(QDir(progDir).filePath(name));
    if (!progDir.isEmpty() && dir.isDir() && dir.isWritable() && (!beside.exists() || beside.isWritable()))
        return beside.filePath();
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)).filePath(name);
}

QString ShippedFilePath(const QString& progDir, const QString& relative) {
    const QString beside = QDir(progDir).filePath(relative);
    if (QFileInfo(beside).isFile())
        return beside;
    const QString found = QStandardPaths::locate(QStandardPaths::AppDataLocation, relative);
    return found.isEmpty() ? beside : found;
}

QString ColorSchemePath(const QString& progDir, const QString& colorShema) {
    return ShippedFilePath(progDir, QString::fromUtf16(ColorSchemasFolder) + u'/' + colorShema);
}
