#include "Help.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

namespace {
QString g_helpFile;
}

QString HelpFileFor(const QString& programPath) {
    const QFileInfo program(programPath);
    return QDir(program.path()).filePath(program.completeBaseName() + QStringLiteral(".chm"));
}

void SetApplicationHelpFile(const QString& path) {
    g_helpFile = path;
}

QString ApplicationHelpFile() {
    return g_helpFile;
}

bool ShowHelpContents() {
    // An installed program keeps its help among the system's data folders rather than beside itself.
    QString file = g_helpFile;
    if (!file.isEmpty() && !QFileInfo::exists(file)) {
        const QString shared =
            QStandardPaths::locate(QStandardPaths::AppDataLocation, QFileInfo(file).fileName());
        if (!shared.isEmpty())
            file = shared;
    }
    return !file.isEmpty() && QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}
