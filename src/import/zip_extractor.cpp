#include "import/zip_extractor.h"

#include "kit/write_all.h"
#include "import/zip_member_data.h"
#include "import/zip_member_names.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <zip.h>

#include <filesystem>
#include <memory>
#include <system_error>

namespace velm {

namespace {

constexpr qint64 kChunkSize = 256 * 1024;

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct MemberCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using ArchiveHandle = std::unique_ptr<zip_t, ArchiveCloser>;
using MemberHandle = std::unique_ptr<zip_file_t, MemberCloser>;

// libzip's reading of a member, for the compression methods other than stored and
// deflated (it checks the CRC-32 itself).
class LibzipMemberData : public ZipMemberData {
public:
    explicit LibzipMemberData(MemberHandle file) : file_(std::move(file)) {}
    qint64 Read(char* buffer, qint64 capacity) override {
        const zip_int64_t got = zip_fread(file_.get(), buffer, zip_uint64_t(capacity));
        return got >= 0 ? qint64(got) : Fail(QString::fromLocal8Bit(zip_file_strerror(file_.get())));
    }

private:
    MemberHandle file_;
};

std::filesystem::path FsPath(const QString& path) {
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

QString StripTrailingSeparators(QString path) {
    while (path.size() > 1 && (path.endsWith(u'/') || path.endsWith(u'\\')))
        path.chop(1);
    return path;
}

// Why a member is never written, whatever the folder; empty when it may be. A link's
// data is its target: written out, it would be a small file standing for something else.
QString RefusalReason(const ZipDirEntry& entry, const QStringList& safeParts) {
    if (entry.IsLink())
        return QStringLiteral("a link");
    if (entry.IsSpecialFile())
        return QStringLiteral("not a regular file");
    if (safeParts.isEmpty())
        return QStringLiteral("unsafe name");
    if (entry.IsEncrypted())
        return QStringLiteral("encrypted: cannot be read");
    return {};
}

class Extraction {
public:
    Extraction(const ZipExtractRequest& request, const std::function<void()>& keepResponsive)
        : request_(request), keepResponsive_(keepResponsive) {}

    ZipExtractResult Run();

private:
    // Each returns false when extraction must stop (result_.Failed is then set).
    bool Fail(const QString& text);
    void Refuse(const ZipDirEntry& entry, const QString& reason);
    bool ExtractOne(const ZipMemberToExtract& member);
    // The folder the member goes into, created as needed; empty when refused or failed.
    QString PrepareFolder(const ZipDirEntry& entry, const QStringList& folders, bool& ok);
    // The member's data, ready to be read; null when extraction must stop.
    std::unique_ptr<ZipMemberData> OpenData(const ZipMemberToExtract& member);
    bool WriteMember(ZipMemberData& data, const ZipDirEntry& entry, qint64 size, const QString& folder,
                     const QString& target);

    const ZipExtractRequest& request_;
    const std::function<void()>& keepResponsive_;
    ZipExtractResult result_;
    QString base_;
    qint64 total_ = 0;
    QFile archiveFile_;
    ArchiveHandle libzip_;  // opened only for a member neither stored nor deflated
};

bool Extraction::Fail(const QString& text) {
    result_.Failed = true;
    result_.Failure = text;
    return false;
}

void Extraction::Refuse(const ZipDirEntry& entry, const QString& reason) {
    result_.Refused.append(QStringLiteral("%1: %2").arg(entry.FileName, reason));
}

// Opens the archive where it really starts, so that one behind a self-extractor's stub
// whose offsets count from the archive itself is read too.
ArchiveHandle OpenArchive(const QString& path, qint64 start, QString& failure) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_file_create(QFile::encodeName(path).constData(), zip_uint64_t(start), -1, &error);
    zip_t* archive = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
    if (!archive) {
        if (source)
            zip_source_free(source);
        failure = QString::fromLocal8Bit(zip_error_strerror(&error));
    }
    zip_error_fini(&error);
    return ArchiveHandle(archive);
}

ZipExtractResult Extraction::Run() {
    base_ = StripTrailingSeparators(request_.BaseDir);
    if (base_.isEmpty()) {
        Fail(QStringLiteral("no folder to extract to"));
        return result_;
    }
    if (!QFileInfo(base_).isDir() && !QDir().mkpath(base_)) {
        Fail(QStringLiteral("cannot create the folder %1").arg(base_));
        return result_;
    }
    if (!request_.OffsetsKnown) {
        Fail(QStringLiteral("the directory is not where the archive's end record says: where its members lie is "
                            "unknown"));
        return result_;
    }
    archiveFile_.setFileName(request_.ArchivePath);
    if (!archiveFile_.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        Fail(archiveFile_.errorString());
        return result_;
    }
    // The members are found at the offsets of the directory read earlier: they must still
    // be those of this file.
    if (request_.ArchiveSize >= 0 &&
        (archiveFile_.size() != request_.ArchiveSize ||
         archiveFile_.fileTime(QFileDevice::FileModificationTime) != request_.ArchiveModified)) {
        Fail(QStringLiteral("the archive has changed since it was read"));
        return result_;
    }
    for (const ZipMemberToExtract& member : request_.Members) {
        if (!ExtractOne(member))
            break;
    }
    return result_;
}

bool Extraction::ExtractOne(const ZipMemberToExtract& member) {
    const ZipDirEntry& entry = member.Entry;
    if (entry.IsFolder())
        return true;
    QStringList parts = SafeMemberPath(entry.FileName);
    if (const QString reason = RefusalReason(entry, parts); !reason.isEmpty()) {
        Refuse(entry, reason);
        return true;
    }
    if (entry.UncomprSize64 > quint64(kMaxMemberSize)) {
        Refuse(entry, QStringLiteral("larger than %1 MiB").arg(kMaxMemberSize / (1024 * 1024)));
        result_.OverLimit = true;
        return true;
    }
    const qint64 size = qint64(entry.UncomprSize64);
    if (total_ + size > kMaxExtractTotal) {
        Refuse(entry, QStringLiteral("more than %1 MiB in one extraction").arg(kMaxExtractTotal / (1024 * 1024)));
        result_.OverLimit = true;
        return true;
    }

    const QString fileName = parts.takeLast();
    if (!request_.DirNames)
        parts.clear();
    bool ok = true;
    const QString folder = PrepareFolder(entry, parts, ok);
    if (!ok)
        return false;
    if (folder.isEmpty())
        return true;  // refused
    const QString target = folder + u'/' + fileName;
    const QFileInfo existing(target);
    if (existing.exists() || existing.isSymLink()) {
        if (!request_.OverWrite)
            return true;
        if (existing.isDir() && !existing.isSymLink())
            return Fail(QStringLiteral("%1: a folder of that name is in the way").arg(entry.FileName));
    }
    const std::unique_ptr<ZipMemberData> data = OpenData(member);
    if (!data || !WriteMember(*data, entry, size, folder, target))
        return false;
    total_ += size;
    ++result_.Written;
    return true;
}

QString Extraction::PrepareFolder(const ZipDirEntry& entry, const QStringList& folders, bool& ok) {
    QString folder = base_;
    for (const QString& part : folders) {
        folder += u'/' + part;
        const QFileInfo info(folder);
        if (info.isSymLink()) {
            Refuse(entry, QStringLiteral("its folder is a link"));
            return {};
        }
        if (info.isDir())
            continue;
        if (info.exists() || !QDir().mkdir(folder)) {
            ok = Fail(QStringLiteral("%1: cannot create the folder %2").arg(entry.FileName, folder));
            return {};
        }
    }
    return folder;
}

std::unique_ptr<ZipMemberData> Extraction::OpenData(const ZipMemberToExtract& member) {
    const ZipDirEntry& entry = member.Entry;
    if (IsStoredOrDeflated(entry.ComprMethod)) {
        auto data = std::make_unique<ZipLocalMemberData>(archiveFile_, request_.ArchiveStart, entry);
        if (data->Open())
            return data;
        Fail(QStringLiteral("%1: %2").arg(entry.FileName, data->Failure()));
        return nullptr;
    }
    // Other methods are rare: libzip reads the whole directory again for them.
    if (!libzip_) {
        QString failure;
        libzip_ = OpenArchive(request_.ArchivePath, request_.ArchiveStart, failure);
        if (!libzip_) {
            Fail(failure);
            return nullptr;
        }
    }
    zip_t* archive = libzip_.get();
    // Make sure libzip's member at this position is the one of the directory read earlier.
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    const char* rawName = zip_int64_t(member.Index) < count ? zip_get_name(archive, member.Index, ZIP_FL_ENC_RAW)
                                                            : nullptr;
    if (!rawName || QByteArray(rawName) != entry.StoredName()) {
        Fail(QStringLiteral("the archive has changed since it was read"));
        return nullptr;
    }
    MemberHandle file(zip_fopen_index(archive, member.Index, 0));
    if (!file) {
        Fail(QStringLiteral("%1: %2").arg(entry.FileName, QString::fromLocal8Bit(zip_strerror(archive))));
        return nullptr;
    }
    return std::make_unique<LibzipMemberData>(std::move(file));
}

bool Extraction::WriteMember(ZipMemberData& data, const ZipDirEntry& entry, qint64 size, const QString& folder,
                             const QString& target) {
    QTemporaryFile out(folder + QStringLiteral("/.velmora-extract-XXXXXX"));
    if (!out.open())
        return Fail(QStringLiteral("%1: %2").arg(entry.FileName, out.errorString()));

    QByteArray buffer(kChunkSize, Qt::Uninitialized);
    qint64 written = 0;
    for (;;) {
        const qint64 got = data.Read(buffer.data(), buffer.size());
        if (got < 0)
            return Fail(QStringLiteral("%1: %2").arg(entry.FileName, data.Failure()));
        if (got == 0)
            break;
        written += got;
        if (written > size)
            return Fail(QStringLiteral("%1: the data is longer than stored in the archive").arg(entry.FileName));
        if (!WriteAll(out, buffer.constData(), got))
            return Fail(QStringLiteral("%1: %2").arg(entry.FileName, out.errorString()));
        if (keepResponsive_)
            keepResponsive_();
    }
    if (written != size)
        return Fail(QStringLiteral("%1: the data is shorter than stored in the archive").arg(entry.FileName));
    if (!FlushAll(out))
        return Fail(QStringLiteral("%1: %2").arg(entry.FileName, out.errorString()));
    // Temporary files are private to the owner; an extracted file is an ordinary one.
    out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                       QFileDevice::ReadOther);
    const QDateTime stored = DosDateTimeToLocal(entry.DateTime);
    if (stored.isValid())
        out.setFileTime(stored, QFileDevice::FileModificationTime);
    out.close();
    std::error_code error;
    std::filesystem::rename(FsPath(out.fileName()), FsPath(target), error);
    if (error)
        return Fail(QStringLiteral("%1: %2").arg(entry.FileName, QString::fromStdString(error.message())));
    out.setAutoRemove(false);
    return true;
}

}  // namespace

ZipExtractResult ExtractZipMembers(const ZipExtractRequest& request, const std::function<void()>& keepResponsive) {
    return Extraction(request, keepResponsive).Run();
}

}  // namespace velm
