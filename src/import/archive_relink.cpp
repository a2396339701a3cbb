#include "import/archive_relink.h"

#include "catalogue/catalogue_operations.h"
#include "catalogue/data_module.h"
#include "catalogue/database.h"
#include "catalogue/database_error.h"
#include "catalogue/field_names.h"
#include "catalogue/table.h"
#include "import/archive_fingerprint.h"
#include "import/archive_indexer.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <set>
#include <unordered_set>

namespace velm {

namespace {

// One path as the catalogue and the walk both write it, to compare the two.
QString Comparable(const QString& path) { return QDir::cleanPath(QDir::fromNativeSeparators(path)); }

QString FolderWithSeparator(const QString& file) {
    QString folder = QDir::toNativeSeparators(QFileInfo(file).absolutePath());
    if (!folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return folder;
}

}  // namespace

QStringList ZipFilesBelow(const QString& folder) {
    QStringList files;
    QDirIterator walk(folder, {QStringLiteral("*.zip")}, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                      QDirIterator::Subdirectories);
    while (walk.hasNext())
        files << walk.next();
    files.sort();
    return files;
}

std::vector<TMovedArchive> FindMovedArchives(const std::vector<TCheckedPackage>& missing, const QString& folder,
                                             const TFolderWalkProgress& progress, bool* stopped) {
    *stopped = false;
    const QStringList files = ZipFilesBelow(folder);
    // Only a file of a size some missing archive had can be it by SHA-256.
    std::unordered_set<qint64> sizesWanted;
    for (const TCheckedPackage& package : missing)
        if (package.Recorded && !package.Recorded->Sha256.isEmpty())
            sizesWanted.insert(package.Recorded->Size);
    struct Candidate {
        QString path;
        QString name;
        qint64 size = 0;
        QString sha256;
        bool taken = false;
    };
    std::vector<Candidate> candidates;
    candidates.reserve(size_t(files.size()));
    for (int i = 0; i < files.size(); ++i) {
        if (progress && !progress(i, int(files.size()), files.at(i))) {
            *stopped = true;
            break;
        }
        const QFileInfo info(files.at(i));
        Candidate candidate{files.at(i), info.fileName(), info.size(), {}, false};
        if (sizesWanted.count(candidate.size))
            if (const auto fingerprint = FingerprintArchive(candidate.path))
                candidate.sha256 = fingerprint->Sha256;
        candidates.push_back(std::move(candidate));
    }
    if (progress && !*stopped)
        progress(int(files.size()), int(files.size()), QString());

    std::vector<TMovedArchive> moves;
    std::vector<bool> found(missing.size(), false);
    const auto take = [&](size_t which, Candidate& candidate, bool bySha) {
        const TCheckedPackage& package = missing[which];
        moves.push_back({package.PackageId, package.ProductName, package.ArchivePath, candidate.path, bySha});
        candidate.taken = true;
        found[which] = true;
    };
    for (size_t i = 0; i < missing.size(); ++i) {
        const auto& recorded = missing[i].Recorded;
        if (!recorded || recorded->Sha256.isEmpty())
            continue;
        for (Candidate& candidate : candidates)
            if (!candidate.taken && candidate.sha256.compare(recorded->Sha256, Qt::CaseInsensitive) == 0) {
                take(i, candidate, true);
                break;
            }
    }
    for (size_t i = 0; i < missing.size(); ++i) {
        if (found[i])
            continue;
        const QString name = QFileInfo(QDir::fromNativeSeparators(missing[i].ArchivePath)).fileName();
        const auto& recorded = missing[i].Recorded;
        Candidate* match = nullptr;
        int sameName = 0;
        for (Candidate& candidate : candidates) {
            if (candidate.taken || candidate.name.compare(name, Qt::CaseInsensitive) != 0)
                continue;
            if (recorded && candidate.size == recorded->Size) {
                match = &candidate;
                sameName = 1;
                break;
            }
            if (!recorded) {
                match = &candidate;
                ++sameName;
            }
        }
        // Without a record the name alone decides: only when no other file has it.
        if (match && sameName == 1)
            take(i, *match, false);
    }
    return moves;
}

void RelinkArchives(TDMvelm& module, const std::vector<TMovedArchive>& moves) {
    if (moves.empty())
        return;
    TTable& packages = *module.TableCPInfo;
    packages.CheckBrowseMode();
    const QString filter = packages.Filter();
    const bool filtered = packages.Filtered();
    const TBookmark row = packages.GetBookmark();
    const TControlsDisabled held(packages);
    const auto putBack = [&] {
        packages.SetFiltered(false);
        packages.SetFilter(filter);
        packages.SetFiltered(filtered);
        if (packages.BookmarkValid(row) && packages.GetBookmark() != row)
            packages.GotoBookmark(row);
    };
    try {
        TCatalogueOperations(module).InTransaction([&] {
            packages.SetFiltered(false);
            for (const TMovedArchive& move : moves) {
                if (!packages.Locate(fields::ID, move.PackageId, false))
                    throw EDatabaseError(QStringLiteral("The component's record is gone"));
                packages.Edit();
                try {
                    packages.FieldByName(fields::ArchiveFilePath)->SetAsString(FolderWithSeparator(move.NewPath));
                    packages.FieldByName(fields::ArchiveFile)->SetAsString(QFileInfo(move.NewPath).fileName());
                    packages.Post();
                } catch (...) {
                    packages.Cancel();
                    throw;
                }
            }
        });
    } catch (...) {
        putBack();
        throw;
    }
    putBack();
}

QStringList UncataloguedArchives(TArchiveIndex& index, const QString& folder, const TFolderWalkProgress& progress,
                                 bool* stopped) {
    *stopped = false;
    std::set<QString> places;
    std::set<QString> fingerprints;
    TDatabase& database = index.Database();
    TStatement& select = database.Prepare(
        QStringLiteral("SELECT p.ArchiveFilePath, p.ArchiveFile, f.Sha256 FROM %1.CPInfo p "
                       "LEFT JOIN %2.ArchiveFile f ON f.PackageID = p.ID WHERE coalesce(p.ArchiveFile, '') <> ''")
            .arg(QuoteIdentifier(index.PackageSchema()), QuoteIdentifier(index.Schema())));
    {
        const TResetOnExit reset(select);
        while (select.Step()) {
            places.insert(Comparable(PackageArchivePath(select.ColumnText(0), select.ColumnText(1))));
            if (!select.ColumnIsNull(2))
                fingerprints.insert(select.ColumnText(2).toLower());
        }
    }

    const QStringList files = ZipFilesBelow(folder);
    QStringList uncatalogued;
    for (int i = 0; i < files.size(); ++i) {
        const QString& file = files.at(i);
        if (progress && !progress(i, int(files.size()), file)) {
            *stopped = true;
            return uncatalogued;
        }
        if (places.count(Comparable(QFileInfo(file).absoluteFilePath())))
            continue;
        // An unreadable file is listed: the import will say what is wrong with it.
        const auto fingerprint = fingerprints.empty() ? std::nullopt : FingerprintArchive(file);
        if (fingerprint && fingerprints.count(fingerprint->Sha256))
            continue;
        uncatalogued << file;
    }
    if (progress)
        progress(int(files.size()), int(files.size()), QString());
    return uncatalogued;
}

}  // namespace velm
