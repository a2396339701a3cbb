#include "app/shipped_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace velm {

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

}  // namespace velm
