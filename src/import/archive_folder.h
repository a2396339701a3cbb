#pragma once

#include <QString>
#include <QStringList>

namespace velm {

// How far the search below a dropped folder goes, so that a huge or hostile tree (the
// root folder, a million empty folders, nesting thousands deep) cannot hold the program.
struct ArchiveSearchLimits {
    int MaxDepth = 64;             // levels of folders below the dropped one
    qint64 MaxEntries = 1000000;   // files and folders looked at
    qsizetype MaxArchives = 100000;
};

struct ArchiveSearch {
    QStringList Archives;     // full paths
    bool Incomplete = false;  // a limit stopped part of the search
};

// Every ".zip" file (the extension in any letter case) below the folder, at any depth,
// in name order: the entries of each folder sorted by name without regard to case, a
// sub-folder's archives where the sub-folder sorts. Links below the folder, to files
// or folders, are not followed; unreadable folders are passed over.
ArchiveSearch FindArchivesBelow(const QString& folder, const ArchiveSearchLimits& limits = {});

// The dropped paths with every folder replaced by the archives below it; other paths
// stay as dropped, in the same order. A folder without archives, and one searched only
// in part, are reported to the user.
QStringList ExpandDroppedFolders(const QStringList& paths, const ArchiveSearchLimits& limits = {});

}  // namespace velm
