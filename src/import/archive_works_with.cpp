#include "import/archive_works_with.h"

#include "catalogue/archive_index.h"
#include "import/ide_detection.h"
#include "import/ide_versions.h"
#include "import/zip_member_data.h"

#include <QFile>

#include <memory>

namespace velm {

namespace {

// Reads the beginnings of members of one archive, opening it at the first read: most
// archives are settled by their names and never opened here. Only stored and deflated
// members are read, straight from their local headers at the offsets the directory
// already gave: package files are never packed otherwise.
class MemberTexts {
public:
    MemberTexts(const QString& path, qint64 start, const std::vector<ZipDirEntry>& entries)
        : file_(path), start_(start), entries_(entries) {}

    QByteArray Read(std::size_t index, qint64 maxBytes) {
        if (index >= entries_.size() || maxBytes <= 0 || !Open())
            return {};
        const ZipDirEntry& entry = entries_[index];
        if (entry.IsFolder() || entry.IsEncrypted() || entry.IsLink() || entry.IsSpecialFile() ||
            !IsStoredOrDeflated(entry.ComprMethod))
            return {};
        ZipLocalMemberData member(file_, start_, entry);
        if (!member.Open())
            return {};
        QByteArray text(qsizetype(qMin<quint64>(quint64(maxBytes), entry.UncomprSize64)), Qt::Uninitialized);
        qint64 got = 0;
        while (got < text.size()) {
            const qint64 n = member.Read(text.data() + got, text.size() - got);
            if (n <= 0)
                break;
            got += n;
        }
        text.truncate(got);
        return text;
    }

private:
    bool Open() {
        if (!file_.isOpen() && !failed_)
            failed_ = !file_.open(QIODevice::ReadOnly);
        return !failed_;
    }

    QFile file_;
    qint64 start_;
    const std::vector<ZipDirEntry>& entries_;
    bool failed_ = false;
};

}  // namespace

std::vector<TWorksWithRow> FoundWorksWith(const QString& archivePath, qint64 archiveStart,
                                          const std::vector<ZipDirEntry>& entries, int compatibilityMask,
                                          const QString& infoFileName) {
    std::vector<TWorksWithRow> rows;
    MemberTexts texts(archivePath, archiveStart, entries);
    const std::vector<DetectedIde> detected = DetectIdeVersions(
        IdeDetectionMembers(entries), [&](std::size_t index, qint64 maxBytes) { return texts.Read(index, maxBytes); });
    for (const DetectedIde& found : detected)
        rows.push_back({found.Version->CodeText(), QString::fromLatin1(works_with_source::kDetected), found.Evidence()});
    for (const QString& code : CompatibilityCodes(compatibilityMask))
        rows.push_back({code, QString::fromLatin1(works_with_source::kInfoFile), infoFileName});
    return rows;
}

QString InfoFileMember(const std::vector<ZipDirEntry>& entries) {
    for (const char* extension : {".inf", ".upl"}) {
        QString first;
        QString firstBase;
        for (const ZipDirEntry& entry : entries) {
            if (entry.IsFolder() || !entry.FileName.endsWith(QLatin1String(extension), Qt::CaseInsensitive))
                continue;
            const QString base = entry.FileName.section(u'\\', -1);
            if (first.isEmpty() || base < firstBase) {
                first = entry.FileName;
                firstBase = base;
            }
        }
        if (!first.isEmpty())
            return first;
    }
    return {};
}

void StoreFoundWorksWith(TArchiveIndex& index, qint64 packageId, const std::vector<TWorksWithRow>& found) {
    TWorksWith(index).ReplaceFound(packageId, found, kIdeDetectionRules);
}

}  // namespace velm
