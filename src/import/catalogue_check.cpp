#include "import/catalogue_check.h"

#include "catalogue/database.h"
#include "import/archive_fingerprint.h"
#include "import/archive_indexer.h"
#include "import/outside_text.h"
#include "import/zip_directory.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QtEndian>

#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <memory>
#include <unordered_set>

namespace velm {

namespace {

QString Count(qint64 value) { return QLocale().toString(value); }

// The file's bytes, mapped where the system allows it, else read.
class FileBytes {
public:
    bool Open(const QString& path, QString* error) {
        file_.setFileName(path);
        if (!file_.open(QIODevice::ReadOnly)) {
            *error = file_.errorString();
            return false;
        }
        const qint64 size = file_.size();
        if (size > 0)
            data_ = file_.map(0, size);
        if (data_) {
            size_ = size;
            return true;
        }
        copy_ = file_.readAll();
        if (file_.error() != QFileDevice::NoError) {
            *error = file_.errorString();
            return false;
        }
        data_ = reinterpret_cast<uchar*>(copy_.data());
        size_ = copy_.size();
        return true;
    }
    const uchar* Data() const { return data_; }
    qint64 Size() const { return size_; }

private:
    QFile file_;
    QByteArray copy_;
    uchar* data_ = nullptr;
    qint64 size_ = 0;
};

QString DirectoryProblem(const ZipDirectory& directory) {
    switch (directory.Status) {
    case ZipReadStatus::NotZip: return QStringLiteral("not a ZIP archive");
    case ZipReadStatus::Damaged: return QStringLiteral("damaged directory: %1").arg(ShowableText(directory.Detail));
    case ZipReadStatus::OutOfMemory: return QStringLiteral("not enough memory to read its directory");
    case ZipReadStatus::NotFound:
    case ZipReadStatus::Unreadable: return QStringLiteral("cannot be read: %1").arg(ShowableText(directory.Detail));
    case ZipReadStatus::Ok: break;
    }
    return {};
}

// What was wrong with one member's bytes; empty when they are sound. untested is set
// when the member could not be tested here at all.
struct MemberTest {
    QString problem;
    bool untested = false;
};

// Inflates (or takes as stored) the member's data, counting and summing what comes out.
// The output never grows past the size the directory declares: a bomb costs no more
// than the archive claims.
MemberTest TestWithZlib(const ZipDirEntry& entry, const uchar* data, quint64 size) {
    quint32 crc = crc32(0L, Z_NULL, 0);
    quint64 produced = 0;
    if (entry.ComprMethod == 0) {
        for (quint64 at = 0; at < size;) {
            const uInt piece = uInt(std::min<quint64>(size - at, 1u << 30));
            crc = quint32(crc32(crc, data + at, piece));
            at += piece;
        }
        produced = size;
    } else {
        z_stream stream{};
        if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
            return {QStringLiteral("cannot be unpacked"), false};
        std::unique_ptr<z_stream, int (*)(z_stream*)> end(&stream, inflateEnd);
        static thread_local std::vector<Bytef> out(1 << 18);
        quint64 fed = 0;
        int result = Z_OK;
        while (result != Z_STREAM_END) {
            if (stream.avail_in == 0 && fed < size) {
                const uInt piece = uInt(std::min<quint64>(size - fed, 1u << 30));
                stream.next_in = const_cast<Bytef*>(data + fed);
                stream.avail_in = piece;
                fed += piece;
            }
            stream.next_out = out.data();
            stream.avail_out = uInt(out.size());
            result = inflate(&stream, Z_NO_FLUSH);
            const uInt got = uInt(out.size()) - stream.avail_out;
            crc = quint32(crc32(crc, out.data(), got));
            produced += got;
            if (produced > entry.UncomprSize64)
                return {QStringLiteral("holds more than its size"), false};
            if (result == Z_BUF_ERROR && stream.avail_in == 0 && fed >= size)
                return {QStringLiteral("cut short"), false};
            if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR)
                return {QStringLiteral("cannot be unpacked (%1)").arg(QString::fromLatin1(stream.msg ? stream.msg : "error")),
                        false};
        }
    }
    if (produced != entry.UncomprSize64)
        return {QStringLiteral("size does not match"), false};
    if (crc != entry.CRC32)
        return {QStringLiteral("CRC does not match"), false};
    return {};
}

// Methods zlib cannot unpack (bzip2, LZMA, ...) go through libzip, which checks the CRC
// as it reads; it is opened once per archive, on the bytes already in memory.
class LibzipTester {
public:
    LibzipTester(const uchar* data, qint64 size) : data_(data), size_(size) {}
    ~LibzipTester() {
        if (archive_)
            zip_discard(archive_);
    }
    MemberTest Test(int index, const ZipDirEntry& entry) {
        if (!Open() || !zip_compression_method_supported(zip_int32_t(entry.ComprMethod), 0))
            return {{}, true};
        const char* name = zip_get_name(archive_, zip_uint64_t(index), ZIP_FL_ENC_RAW);
        if (!name || QByteArray(name) != entry.StoredName())
            return {{}, true};
        zip_file_t* file = zip_fopen_index(archive_, zip_uint64_t(index), 0);
        if (!file)
            return {QString::fromLocal8Bit(zip_strerror(archive_)), false};
        std::vector<char> buffer(1 << 18);
        zip_int64_t got = 0;
        while ((got = zip_fread(file, buffer.data(), buffer.size())) > 0) {
        }
        const QString problem = got < 0 ? QString::fromLocal8Bit(zip_file_strerror(file)) : QString();
        zip_fclose(file);
        return {problem, false};
    }

private:
    bool Open() {
        if (tried_)
            return archive_ != nullptr;
        tried_ = true;
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* source = zip_source_buffer_create(data_, zip_uint64_t(size_), 0, &error);
        archive_ = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
        if (source && !archive_)
            zip_source_free(source);
        zip_error_fini(&error);
        return archive_ != nullptr;
    }

    const uchar* data_;
    qint64 size_;
    zip_t* archive_ = nullptr;
    bool tried_ = false;
};

// The first member whose bytes are not sound, as "member NAME: problem"; empty when all
// are. Members that cannot be tested (encrypted, an unknown method) are counted.
QString TestMembers(const ZipDirectory& directory, const uchar* data, qint64 size, int* untested) {
    LibzipTester libzip(data, size);
    const qint64 start = directory.ArchiveStart();
    for (size_t i = 0; i < directory.Entries.size(); ++i) {
        const ZipDirEntry& entry = directory.Entries[i];
        const auto fail = [&](const QString& problem) {
            return QStringLiteral("member %1: %2").arg(ShowableText(entry.FileName), problem);
        };
        if (entry.IsEncrypted()) {
            ++*untested;
            continue;
        }
        // The local header says how far its name and extra field push the data. The
        // offset is the archive's word: compared without sums that could wrap.
        const quint64 local = quint64(start) + entry.RelOffLocal64;
        if (local > quint64(size) || quint64(size) - local < 30 || qFromLittleEndian<quint32>(data + local) != 0x04034b50u)
            return fail(QStringLiteral("its header is missing"));
        const quint64 begin = local + 30 + qFromLittleEndian<quint16>(data + local + 26) +
                              qFromLittleEndian<quint16>(data + local + 28);
        if (begin > quint64(size) || entry.ComprSize64 > quint64(size) - begin)
            return fail(QStringLiteral("cut short"));
        MemberTest test;
        if (entry.ComprMethod == 0 || entry.ComprMethod == 8)
            test = TestWithZlib(entry, data + begin, entry.ComprSize64);
        else
            test = libzip.Test(int(i), entry);
        if (test.untested)
            ++*untested;
        else if (!test.problem.isEmpty())
            return fail(test.problem);
    }
    return {};
}

std::vector<TCheckedPackage> PackagesToCheck(TArchiveIndex& index, const std::vector<qint64>& only) {
    TDatabase& database = index.Database();
    TStatement& select = database.Prepare(
        QStringLiteral("SELECT p.ID, p.ProductName, c.Name, p.ArchiveFilePath, p.ArchiveFile, f.Size, f.Modified, "
                       "f.Sha256 FROM %1.CPInfo p LEFT JOIN %2.Category c ON c.ID = p.Category "
                       "LEFT JOIN %3.ArchiveFile f ON f.PackageID = p.ID "
                       "WHERE coalesce(p.ArchiveFile, '') <> '' ORDER BY p.ID")
            .arg(QuoteIdentifier(index.PackageSchema()), QuoteIdentifier(index.CategorySchema()),
                 QuoteIdentifier(index.Schema())));
    const std::unordered_set<qint64> wanted(only.begin(), only.end());
    std::vector<TCheckedPackage> packages;
    const TResetOnExit reset(select);
    while (select.Step()) {
        TCheckedPackage package;
        package.PackageId = select.ColumnInt(0);
        if (!wanted.empty() && !wanted.count(package.PackageId))
            continue;
        package.ProductName = select.ColumnText(1);
        package.CategoryName = select.ColumnText(2);
        package.ArchivePath = PackageArchivePath(select.ColumnText(3), select.ColumnText(4));
        package.Recorded = ArchiveFileRecordAt(select, 5);
        packages.push_back(std::move(package));
    }
    return packages;
}

}  // namespace

QString ArchiveStateText(TArchiveState state) {
    switch (state) {
    case TArchiveState::Ok: return QStringLiteral("ok");
    case TArchiveState::Changed: return QStringLiteral("changed");
    case TArchiveState::Damaged: return QStringLiteral("damaged");
    case TArchiveState::Missing: return QStringLiteral("missing");
    }
    return {};
}

TArchiveCheck CheckArchiveFile(const QString& path, const std::optional<TArchiveFileRecord>& recorded) {
    TArchiveCheck check;
    // A folder written on another system (a drive letter, say) names nothing here.
    const QFileInfo info(path);
    if (!QDir::isAbsolutePath(path) || !info.exists()) {
        check.State = TArchiveState::Missing;
        check.Detail = QStringLiteral("not found");
        return check;
    }
    if (!info.isFile()) {
        check.State = TArchiveState::Missing;
        check.Detail = QStringLiteral("not a file");
        return check;
    }
    FileBytes bytes;
    QString error;
    if (!bytes.Open(path, &error)) {
        check.State = TArchiveState::Damaged;
        check.Detail = QStringLiteral("cannot be read: %1").arg(error);
        return check;
    }
    check.Size = bytes.Size();
    check.Sha256 = Sha256Hex(QByteArrayView(bytes.Data(), bytes.Size()));

    QStringList details;
    if (recorded && recorded->Size != check.Size) {
        check.State = TArchiveState::Changed;
        details << QStringLiteral("size was %1 bytes, is %2").arg(Count(recorded->Size), Count(check.Size));
    } else if (recorded && !recorded->Sha256.isEmpty() && recorded->Sha256.compare(check.Sha256, Qt::CaseInsensitive) != 0) {
        check.State = TArchiveState::Changed;
        details << QStringLiteral("SHA-256 differs");
    }

    const QByteArray view = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.Data()), bytes.Size());
    QBuffer device;
    device.setData(view);
    device.open(QIODevice::ReadOnly);
    const ZipDirectory directory = ReadZipDirectory(device);
    int untested = 0;
    // A directory away from where the archive says, with no data in front to explain
    // it, was found by guessing: the archive is damaged even when its members read.
    const bool misplaced = directory.OffsetDiffers && directory.ArchiveStart() == 0;
    const QString damage = directory.Status != ZipReadStatus::Ok ? DirectoryProblem(directory)
                           : misplaced ? QStringLiteral("its directory is not at its stored offset")
                                       : TestMembers(directory, bytes.Data(), bytes.Size(), &untested);
    if (!damage.isEmpty()) {
        check.State = TArchiveState::Damaged;
        details.prepend(damage);
    }
    if (untested > 0)
        details << QStringLiteral("%1 member(s) not tested (encrypted or packed in an unknown way)").arg(Count(untested));
    check.Detail = details.join(QStringLiteral("; "));
    return check;
}

TCatalogueCheckRun CheckCatalogue(TArchiveIndex& index, const TCatalogueCheckProgress& progress,
                                  const std::vector<qint64>& only) {
    TCatalogueCheckRun run;
    std::vector<TCheckedPackage> packages = PackagesToCheck(index, only);
    run.Archives = int(packages.size());
    run.Packages.reserve(packages.size());
    for (int i = 0; i < run.Archives; ++i) {
        TCheckedPackage& package = packages[size_t(i)];
        if (progress && !progress(i, run.Archives, package.ArchivePath)) {
            run.Stopped = true;
            break;
        }
        package.Check = CheckArchiveFile(package.ArchivePath, package.Recorded);
        run.Packages.push_back(std::move(package));
    }
    if (progress && !run.Stopped)
        progress(run.Archives, run.Archives, QString());
    return run;
}

}  // namespace velm
