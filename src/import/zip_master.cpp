#include "import/zip_master.h"

#include "kit/messages.h"
#include "import/outside_text.h"
#include "import/zip_extractor.h"
#include "import/zip_member_names.h"

#include <QCoreApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScopeGuard>

#include <functional>
#include <memory>

namespace velm {

namespace {

// The busy pointer while the directory is read; only where there is a screen.
class BusyPointer {
public:
    BusyPointer() : active_(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
        if (active_)
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~BusyPointer() { Restore(); }
    void Restore() {
        if (active_)
            QGuiApplication::restoreOverrideCursor();
        active_ = false;
    }

private:
    bool active_;
};

QString ReadFailureText(const QString& archivePath, const ZipDirectory& directory) {
    // Names from the archive and the file system may hold anything: a message shows them
    // without their control characters.
    const QString path = ShowableText(archivePath);
    switch (directory.Status) {
    case ZipReadStatus::Unreadable:
        return QStringLiteral("Cannot read the archive %1: %2").arg(path, ShowableText(directory.Detail));
    case ZipReadStatus::NotZip:
        return QStringLiteral("%1 is not a ZIP archive.").arg(path);
    case ZipReadStatus::Damaged:
        return QStringLiteral("The directory of the ZIP archive %1 is damaged: %2.")
            .arg(path, ShowableText(directory.Detail));
    case ZipReadStatus::OutOfMemory:
        return QStringLiteral("Not enough memory to read the directory of the ZIP archive %1.").arg(path);
    case ZipReadStatus::Ok:
    case ZipReadStatus::NotFound:
        break;
    }
    return {};
}

// Lets the window repaint when an extraction has run for the interval, and after each
// further interval; a short extraction is over before anyone would notice.
std::function<void()> KeepResponsiveEvery(int intervalMs) {
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    return [clock, intervalMs] {
        if (!QCoreApplication::instance() || clock->elapsed() < intervalMs)
            return;
        clock->start();
        QCoreApplication::processEvents();
    };
}

}  // namespace

void TZipMaster::SetZipFilename(const QString& path) {
    zipFilename_ = path;
    entries_.clear();
    archiveStart_ = 0;
    offsetsKnown_ = true;
    archiveSize_ = -1;
    // The count belongs to the archive it was extracted from.
    extractedCount_ = 0;
    readFailed_ = false;
    extractFailed_ = false;
    if (path.isEmpty() || !QFileInfo::exists(path))
        return;
    BusyPointer busy;
    const QFileInfo file(path);
    archiveSize_ = file.size();
    archiveModified_ = file.lastModified();
    ZipDirectory directory = ReadZipDirectoryFile(path);
    entries_ = std::move(directory.Entries);
    archiveStart_ = directory.ArchiveStart();
    offsetsKnown_ = !directory.OffsetDiffers || archiveStart_ > 0;
    busy.Restore();
    if (directory.OffsetDiffers) {
        ShowNotice(QStringLiteral("Warning: the directory of the ZIP archive %1 is not at its stored offset %2; "
                                  "the directory found at offset %3 is used.")
                       .arg(ShowableText(path))
                       .arg(directory.StoredOffset)
                       .arg(directory.ComputedOffset));
    }
    const QString failure = ReadFailureText(path, directory);
    readFailed_ = !failure.isEmpty();
    if (readFailed_)
        ShowNotice(failure);
}

void TZipMaster::Extract() {
    if (extracting_)
        return;
    extracting_ = true;
    extractedCount_ = 0;
    extractFailed_ = false;
    const QStringList patterns = FSpecArgs;
    // However the extraction ends (a message box's presenter or the event loop may
    // throw), the object is left ready for the next one.
    const auto ready = qScopeGuard([this] {
        FSpecArgs.clear();
        extracting_ = false;
    });
    const QString shownPath = ShowableText(zipFilename_);
    if (!QFileInfo(zipFilename_).isFile()) {
        extractFailed_ = true;
        ShowNotice(QStringLiteral("Archive not found: %1").arg(shownPath));
        return;
    }
    ZipExtractRequest request;
    request.ArchivePath = zipFilename_;
    request.ArchiveStart = archiveStart_;
    request.OffsetsKnown = offsetsKnown_;
    request.ArchiveSize = archiveSize_;
    request.ArchiveModified = archiveModified_;
    request.BaseDir = ExtrBaseDir;
    request.DirNames = ExtrOptions.testFlag(ExtrDirNames);
    request.OverWrite = ExtrOptions.testFlag(ExtrOverWrite);
    const TFileSpecMatcher matcher(patterns);
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (matcher.Matches(entries_[i].FileName))
            request.Members.push_back({quint64(i), entries_[i]});
    }
    ZipExtractResult result;
    if (!request.Members.empty())
        result = ExtractZipMembers(request, KeepResponsiveEvery(ResponsiveIntervalMs));
    if (!result.Failed)
        extractedCount_ = result.Written;
    extractFailed_ = result.Failed || result.OverLimit;

    if (!result.Refused.isEmpty()) {
        QStringList refused;
        for (const QString& member : result.Refused)
            refused << ShowableText(member);
        ShowNotice(QStringLiteral("These members of the ZIP archive %1 were not extracted:\r%2")
                       .arg(shownPath, refused.join(u'\r')));
    }
    if (result.Failed)
        ShowNotice(QStringLiteral("Extraction from the ZIP archive %1 failed: %2")
                       .arg(shownPath, ShowableText(result.Failure)));
}

}  // namespace velm
