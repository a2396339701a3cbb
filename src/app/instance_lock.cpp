#include "app/instance_lock.h"

#include <QDir>

namespace velm {

TInstanceLock::TInstanceLock(const QString& programFolder)
    : lock_(QDir(programFolder).filePath(QStringLiteral("velmora.lock"))) {
    // Only a lock whose owner is gone is stale, however old it is.
    lock_.setStaleLockTime(0);
}

TInstanceLock::Result TInstanceLock::TryLock() {
    if (lock_.tryLock(0))
        return Result::Locked;
    return lock_.error() == QLockFile::LockFailedError ? Result::HeldByAnotherCopy : Result::Unavailable;
}

QString TInstanceLock::AnotherCopyText(const QString& programFolder) {
    return QStringLiteral("Velmora is already running on the catalogue in ") + QDir::toNativeSeparators(programFolder) +
           QStringLiteral(".\rOnly one copy at a time can use a catalogue.");
}

}  // namespace velm
