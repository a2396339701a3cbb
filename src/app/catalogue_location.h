#pragma once

#include <QString>

namespace velm {

// Where this run keeps its catalogue (dbase/), its Tmp/ folder and its single-copy lock.
struct TCatalogueLocation {
    // The folder holding dbase/ and Tmp/, ending in "/".
    QString Folder;
    // The program's own folder holds dbase/: a portable install, or the build.
    bool Portable = false;
    // This start found no catalogue in the per-user folder and wrote a fresh one.
    bool CreatedFresh = false;
    // Set when no catalogue could be made: what the user is told before the program ends.
    QString Failure;

    QString DataFolder() const { return Folder + QStringLiteral("dbase/"); }
};

// Decides where the catalogue lives. A program folder that holds dbase/ is used as it
// is. Otherwise the per-user data folder is (QStandardPaths::AppDataLocation, so the
// application name must be set first); on the very first start, when that folder has
// no dbase/ at all, an empty catalogue is written there, with the category list beside
// it. A dbase/ that is there is never written to, whatever it holds or lacks.
TCatalogueLocation LocateCatalogue(const QString& programFolder);

// The status bar's note on a first start.
QString FreshCatalogueNotice(const TCatalogueLocation& location);

}  // namespace velm
