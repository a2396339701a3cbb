#include "kit/tmp_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace velm {

void EmptyTmpFolder(const QString& tmpFolder) {
    // An empty path would name the working folder: never empty that by mistake.
    if (tmpFolder.isEmpty())
        return;
    const QDir folder(tmpFolder);
    const QFileInfoList children = folder.entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& child : children) {
        if (child.isDir() && !child.isSymLink()) {
            // Qt deletes links found inside as links, without following them.
            QDir(child.absoluteFilePath()).removeRecursively();
        } else {
            QFile::remove(child.absoluteFilePath());
        }
    }
}

}  // namespace velm
