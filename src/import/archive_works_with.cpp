#include "import/archive_works_with.h"

#include "catalogue/archive_index.h"
#include "import/ide_detection.h"
#include "import/ide_versions.h"

#include <QFile>

#include <zip.h>

#include <memory>

namespace velm {

namespace {

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct MemberCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};

// Reads the beginnings of members of one archive, opening it at the first read: most
// archives are settled by their names and never opened here.
class MemberTexts {
public:
    MemberTexts(const QString& path, qint64 start, const std::vector<ZipDirEntry>& entries)
        : path_(path), start_(start), entries_(entries) {}

    QByteArray Read(std::size_t index, qint64 maxBytes) {
        if (index >= entries_.size() || maxBytes <= 0 || !Open())
            return {};
        const ZipDirEntry& entry = entries_[index];
        if (entry.IsFolder() || entry.IsEncrypted() || entry.IsLink() || entry.IsSpecialFile())
            return {};
        // The directory was read earlier: the member at this position must still be it.
        const char* raw = zip_int64_t(index) < zip_get_num_entries(archive_.get(), 0)
                              ? zip_get_name(archive_.get(), zip_uint64_t(index), ZIP_FL_ENC_RAW)
                              : nullptr;
        if (!raw || QByteArray(raw) != entry.RawFileName)
            return {};
        std::unique_ptr<zip_file_t, MemberCloser> member(zip_fopen_index(archive_.get(), zip_uint64_t(index), 0));
        if (!member)
            return {};
        QByteArray text(qsizetype(qMin<quint64>(quint64(maxBytes), entry.UncomprSize64)), Qt::Uninitialized);
        qint64 got = 0;
        while (got < text.size()) {
            const zip_int64_t n = zip_fread(member.get(), text.data() + got, zip_uint64_t(text.size() - got));
            if (n <= 0)
                break;
            got += n;
        }
        text.truncate(got);
        return text;
    }

private:
    bool Open() {
        if (archive_ || failed_)
            return bool(archive_);
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* source = zip_source_file_create(QFile::encodeName(path_).constData(), zip_uint64_t(start_), -1, &error);
        zip_t* archive = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
        if (!archive && source)
            zip_source_free(source);
        zip_error_fini(&error);
        archive_.reset(archive);
        failed_ = !archive;
        return !failed_;
    }

    QString path_;
    qint64 start_;
    const std::vector<ZipDirEntry>& entries_;
    std::unique_ptr<zip_t, ArchiveCloser> archive_;
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
