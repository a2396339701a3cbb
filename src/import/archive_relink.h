#pragma once

#include "import/catalogue_check.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace velm {

class TDMvelm;

// Told before each file of a folder walk: how many are done, of how many, and the one
// next; returns false to stop before it.
using TFolderWalkProgress = std::function<bool(int done, int total, const QString& path)>;

// The ZIP files in the folder and every folder below it (links to folders are not
// followed, so a loop cannot trap the walk), in a stable order.
QStringList ZipFilesBelow(const QString& folder);

// A missing archive found again, and how it was told.
struct TMovedArchive {
    qint64 PackageId = 0;
    QString ProductName;
    QString OldPath;
    QString NewPath;
    bool BySha256 = false;  // else by its name and size
};

// Looks for the missing archives among the ZIP files below the folder: first by SHA-256
// (only files of a size some missing archive had are read), then by name and size. A
// missing archive without any record is found by its name alone when exactly one file
// has it. Each file is given to one package at most. stopped is set when progress
// stopped the walk; what was found until then is returned.
std::vector<TMovedArchive> FindMovedArchives(const std::vector<TCheckedPackage>& missing, const QString& folder,
                                             const TFolderWalkProgress& progress, bool* stopped);

// Points the packages' rows (ArchiveFilePath and ArchiveFile) at the archives' new
// places, all in one transaction; the package table's filter and current row stay as
// they were. Raises EDatabaseError with nothing changed when a row cannot be written.
void RelinkArchives(TDMvelm& module, const std::vector<TMovedArchive>& moves);

// The ZIP files below the folder that the catalogue knows neither by place (a
// package's folder and name) nor by SHA-256. stopped as above.
QStringList UncataloguedArchives(TArchiveIndex& index, const QString& folder, const TFolderWalkProgress& progress,
                                 bool* stopped);

}  // namespace velm
