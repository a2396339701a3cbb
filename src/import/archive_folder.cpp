#include "import/archive_folder.h"

#include "kit/messages.h"
#include "import/archive_paths.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>

namespace velm {

namespace {

// Name order as a file manager shows it: letter case decides only between names that
// are otherwise equal, so the order does not depend on the file system.
bool NameOrder(const FolderEntry& a, const FolderEntry& b) {
    const QString& x = a.Name;
    const QString& y = b.Name;
    const int folded = x.compare(y, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : x < y;
}

bool IsArchiveName(const QString& fileName) { return fileName.endsWith(QStringLiteral(".zip"), Qt::CaseInsensitive); }

class Search {
public:
    explicit Search(const ArchiveSearchLimits& limits) : limits_(limits) {}

    void Walk(const QString& folder, int depth) {
        // Listed by their bytes: names that are not valid UTF-8 are found too.
        std::vector<FolderEntry> entries = ListFolder(folder);
        std::sort(entries.begin(), entries.end(), NameOrder);
        for (const FolderEntry& entry : entries) {
            if (stopped_)
                return;
            if (result_.Archives.size() >= limits_.MaxArchives || ++seen_ > limits_.MaxEntries) {
                result_.Incomplete = true;
                stopped_ = true;
                return;
            }
            // A link could lead out of the folder or round in a circle.
            if (entry.IsLink)
                continue;
            if (entry.IsDir) {
                if (depth >= limits_.MaxDepth) {
                    result_.Incomplete = true;  // this branch only; the rest is searched
                } else if (const QString path = ReachablePath(entry); !path.isEmpty()) {
                    Walk(path, depth + 1);
                }
            } else if (entry.IsFile && IsArchiveName(entry.Name)) {
                if (const QString path = ReachablePath(entry); !path.isEmpty())
                    result_.Archives.append(path);
            }
        }
    }

    ArchiveSearch Take() { return std::move(result_); }

private:
    const ArchiveSearchLimits& limits_;
    ArchiveSearch result_;
    qint64 seen_ = 0;
    bool stopped_ = false;
};

}  // namespace

ArchiveSearch FindArchivesBelow(const QString& folder, const ArchiveSearchLimits& limits) {
    Search search(limits);
    search.Walk(folder, 0);
    return search.Take();
}

QStringList ExpandDroppedFolders(const QStringList& paths, const ArchiveSearchLimits& limits) {
    QStringList expanded;
    for (const QString& path : paths) {
        // Only what the user dropped may be a link to a folder: that one is followed.
        if (!QFileInfo(path).isDir()) {
            expanded.append(path);
            continue;
        }
        const QString folder = QDir::toNativeSeparators(ShownPath(path));
        const ArchiveSearch search = FindArchivesBelow(path, limits);
        if (search.Incomplete) {
            const QLocale locale;
            ShowInfo(QStringLiteral("Not all of the folder \"%1\" was searched for archives: it holds more than %2 "
                                    "files and folders, more than %3 archives, or folders nested more than %4 deep. "
                                    "%5 archive(s) were found in the part searched.")
                         .arg(folder, locale.toString(limits.MaxEntries), locale.toString(limits.MaxArchives))
                         .arg(limits.MaxDepth)
                         .arg(search.Archives.size()));
        } else if (search.Archives.isEmpty()) {
            ShowError(QStringLiteral("No archives (.zip) were found in the folder \"%1\".").arg(folder));
        }
        expanded.append(search.Archives);
    }
    return expanded;
}

}  // namespace velm
