#include "import/archive_indexer.h"

#include "catalogue/archive_index.h"
#include "catalogue/database.h"
#include "import/archive_fingerprint.h"
#include "import/archive_members.h"
#include "import/archive_works_with.h"
#include "import/outside_text.h"
#include "import/zip_directory.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <optional>

namespace velm {

namespace {

struct PackageArchive {
    qint64 id = 0;
    QString productName;
    QString path;
    std::optional<TArchiveFileRecord> indexed;
    int compatibility = 0;
    bool worksWithCurrent = false;  // read by the detection rules of this build
};

// Every package that names an archive, with what the index recorded of it, in ID order.
// Read whole before the first archive, so no query stays open while the index changes.
std::vector<PackageArchive> PackageArchives(TArchiveIndex& index) {
    TDatabase& database = index.Database();
    TStatement& select = database.Prepare(
        QStringLiteral("SELECT p.ID, p.ProductName, p.ArchiveFilePath, p.ArchiveFile, f.Size, f.Modified, f.Sha256, "
                       "p.Compatibility, coalesce(r.Rules, 0) >= %3 "
                       "FROM %1.CPInfo p LEFT JOIN %2.ArchiveFile f ON f.PackageID = p.ID "
                       "LEFT JOIN %2.WorksWithRead r ON r.PackageID = p.ID "
                       "WHERE coalesce(p.ArchiveFile, '') <> '' ORDER BY p.ID")
            .arg(QuoteIdentifier(index.PackageSchema()), QuoteIdentifier(index.Schema()))
            .arg(kIdeDetectionRules));
    std::vector<PackageArchive> packages;
    const TResetOnExit reset(select);
    while (select.Step()) {
        PackageArchive package;
        package.id = select.ColumnInt(0);
        package.productName = select.ColumnText(1);
        package.path = PackageArchivePath(select.ColumnText(2), select.ColumnText(3));
        package.indexed = ArchiveFileRecordAt(select, 4);
        package.compatibility = int(select.ColumnInt(7));
        package.worksWithCurrent = select.ColumnInt(8) != 0;
        packages.push_back(std::move(package));
    }
    return packages;
}

QString ReadFailureReason(const ZipDirectory& directory) {
    switch (directory.Status) {
    case ZipReadStatus::NotFound:
        return QStringLiteral("not found");
    case ZipReadStatus::Unreadable:
        return QStringLiteral("cannot be read: %1").arg(ShowableText(directory.Detail));
    case ZipReadStatus::NotZip:
        return QStringLiteral("not a ZIP archive");
    case ZipReadStatus::Damaged:
        return QStringLiteral("damaged directory: %1").arg(ShowableText(directory.Detail));
    case ZipReadStatus::OutOfMemory:
        return QStringLiteral("not enough memory to read its directory");
    case ZipReadStatus::Ok:
        break;
    }
    return {};
}

// The stored archives' writes, committed now and then rather than once per archive.
class Batch {
public:
    Batch(TArchiveIndex& index, int intervalMs) : index_(index), database_(index.Database()), intervalMs_(intervalMs) {}
    ~Batch() {
        // Left by an exception: the batch in hand goes; earlier batches are committed.
        if (open_)
            database_.Rollback();
    }
    void Begin() {
        if (open_)
            return;
        // Inside a caller's transaction the caller decides when to commit.
        if (database_.InTransaction())
            return;
        database_.StartTransaction();
        open_ = true;
        clock_.start();
    }
    void Tick() {
        if (open_ && clock_.elapsed() >= intervalMs_)
            Commit();
    }
    void Commit() {
        if (!open_)
            return;
        open_ = false;
        try {
            // The members' names go into the full-text index with the batch, in one go.
            index_.ApplyPendingTexts();
            database_.Commit();
        } catch (...) {
            database_.Rollback();
            throw;
        }
    }

private:
    TArchiveIndex& index_;
    TDatabase& database_;
    int intervalMs_;
    QElapsedTimer clock_;
    bool open_ = false;
};

}  // namespace

QString PackageArchivePath(const QString& folder, const QString& fileName) {
    if (folder.isEmpty() || folder.endsWith(u'/') || folder.endsWith(u'\\'))
        return folder + fileName;
    return folder + QDir::separator() + fileName;
}

TArchiveIndexRun TArchiveIndexer::Run(const TArchiveIndexProgress& progress) {
    TArchiveIndexRun run;
    const std::vector<PackageArchive> packages = PackageArchives(index_);
    run.Archives = int(packages.size());
    TDatabase& database = index_.Database();
    TStatement& exists = database.Prepare(
        QStringLiteral("SELECT 1 FROM %1.CPInfo WHERE ID = ?").arg(QuoteIdentifier(index_.PackageSchema())));
    TStatement& fillSha256 = database.Prepare(
        QStringLiteral("UPDATE %1.ArchiveFile SET Sha256 = ? WHERE PackageID = ?").arg(QuoteIdentifier(index_.Schema())));
    Batch batch(index_, CommitIntervalMs);
    for (int i = 0; i < run.Archives; ++i) {
        const PackageArchive& package = packages[size_t(i)];
        if (progress && !progress(i, run.Archives, package.path)) {
            run.Stopped = true;
            break;
        }
        const auto unread = [&](const QString& reason) {
            run.Unread.push_back({package.id, package.productName, package.path, reason});
        };
        // A folder written on another system (a drive letter, say) names nothing here.
        const QFileInfo file(package.path);
        if (!QDir::isAbsolutePath(package.path) || !file.exists()) {
            unread(QStringLiteral("not found"));
            continue;
        }
        if (!file.isFile()) {
            unread(QStringLiteral("not a file"));
            continue;
        }
        const bool unchanged = package.indexed && ArchiveFileUnchanged(*package.indexed, file);
        const bool hasSha256 = package.indexed && !package.indexed->Sha256.isEmpty();
        if (unchanged && hasSha256 && package.worksWithCurrent) {
            ++run.Unchanged;
            continue;
        }
        // An unchanged archive is read again only for what its record lacks: its SHA-256
        // (the file hashed, its directory not read), the versions it works with (its
        // directory read, where no detection of this build has read it yet).
        std::optional<TArchiveFingerprint> fingerprint;
        if (!unchanged || !hasSha256)
            fingerprint = FingerprintArchive(package.path);
        if (unchanged && fingerprint) {
            batch.Begin();
            fillSha256.Bind(1, fingerprint->Sha256);
            fillSha256.Bind(2, package.id);
            fillSha256.Run();
            ++run.Fingerprinted;
            batch.Tick();
        }
        if (unchanged && package.worksWithCurrent) {
            ++run.Unchanged;
            continue;
        }
        const ZipDirectory directory = ReadZipDirectoryFile(package.path);
        if (directory.Status != ZipReadStatus::Ok) {
            unread(ReadFailureReason(directory));
            continue;
        }
        batch.Begin();
        // The package may have gone while the event loop ran: its members would be
        // nobody's.
        exists.Bind(1, package.id);
        const bool stillThere = exists.Step();
        exists.Reset();
        if (!stillThere)
            continue;
        StoreFoundWorksWith(index_, package.id,
                            FoundWorksWith(package.path, directory.ArchiveStart(), directory.Entries,
                                           package.compatibility, InfoFileMember(directory.Entries)));
        if (unchanged) {
            ++run.Unchanged;
            batch.Tick();
            continue;
        }
        StoreArchiveMembers(index_, package.id, directory.Entries, file,
                            fingerprint ? fingerprint->Sha256 : QString());
        if (fingerprint)
            ++run.Fingerprinted;
        ++run.Read;
        run.Members += qint64(directory.Entries.size());
        batch.Tick();
    }
    batch.Commit();
    if (progress && !run.Stopped)
        progress(run.Archives, run.Archives, QString());
    return run;
}

}  // namespace velm
