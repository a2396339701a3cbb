#include "app/instance_lock.h"

#include <QDir>
#include <QFileInfo>

namespace velm {

namespace {

// The folder with its links resolved; as given when it does not exist.
QString RealFolder(const QString& folder) {
    const QString real = QFileInfo(folder).canonicalFilePath();
    return real.isEmpty() ? folder : real;
}

}  // namespace

TInstanceLock::TInstanceLock(const QString& dataFolder)
    : folder_(RealFolder(dataFolder)), lock_(QDir(folder_).filePath(QStringLiteral("velmora.lock"))) {
    // Only a lock whose owner is gone is stale, however old it is.
    lock_.setStaleLockTime(0);
}

TInstanceLock::Result TInstanceLock::TryLock() {
    if (lock_.tryLock(0))
        return Result::Locked;
    return lock_.error() == QLockFile::LockFailedError ? Result::HeldByAnotherCopy : Result::Unavailable;
}

QString TInstanceLock::AnotherCopyText(const QString& folder) {
    return QStringLiteral("Velmora is already running on the catalogue in ") + QDir::toNativeSeparators(folder) +
           QStringLiteral(".\rOnly one copy at a time can use a catalogue.");
}

}  // namespace velm
