#include "kit/shipped_files.h"

#include "kit/launcher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace velm {

namespace {

QStringList& HelpFolderOverride() {
    static QStringList folders;
    return folders;
}

}  // namespace

QStringList ShippedFileFolders(const QString& programFolder) {
    const QDir program(programFolder);
    return {QDir::cleanPath(program.absoluteFilePath(QStringLiteral("../share/velmora"))),
            QDir::cleanPath(program.absolutePath())};
}

QString FindShippedFile(const QString& programFolder, const QString& relativePath) {
    for (const QString& folder : ShippedFileFolders(programFolder)) {
        const QString path = QDir(folder).filePath(relativePath);
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

QString RunningProgramFolder() {
    return QDir(QCoreApplication::applicationDirPath()).absolutePath() + QLatin1Char('/');
}

QString HelpPageName(int topic) {
    return topic == kHelpContentsTopic ? QStringLiteral("index.html") : QStringLiteral("%1.html").arg(topic);
}

QStringList HelpFolders() {
    if (!HelpFolderOverride().isEmpty())
        return HelpFolderOverride();
    QStringList folders;
    for (const QString& folder : ShippedFileFolders(RunningProgramFolder()))
        folders << QDir(folder).filePath(QStringLiteral("help"));
    return folders;
}

void SetHelpFolders(const QStringList& folders) { HelpFolderOverride() = folders; }

QString FindHelpPage(int topic) {
    for (const QString& folder : HelpFolders()) {
        const QString path = QDir(folder).filePath(HelpPageName(topic));
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

}  // namespace velm
