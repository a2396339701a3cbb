#include "app/catalogue_location.h"

#include "kit/shipped_files.h"
#include "catalogue/data_module.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace velm {

namespace {

const QString kDataFolderName = QStringLiteral("dbase");
const QString kCategoryList = QStringLiteral("categories.cat");

QString WithSeparator(const QString& folder) {
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

// Anything by that name counts, a dangling link included: it is the user's, not ours.
bool Present(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

enum class FreshResult { Written, AlreadyThere, Failed };

// The catalogue is built in a staging folder and moved into place whole, so a start
// that is cut short never leaves a dbase/ without its tables, which later starts would
// have to refuse. Two first starts at once: the second move finds the first one's.
FreshResult WriteFreshCatalogue(const QString& folder) {
    if (!QDir().mkpath(folder))
        return FreshResult::Failed;
    QTemporaryDir staging(folder + kDataFolderName + QStringLiteral("-new-XXXXXX"));
    if (!staging.isValid() || !CreateCatalogue(staging.path(), DefaultStatusValues()))
        return FreshResult::Failed;
    if (!QDir().rename(staging.path(), folder + kDataFolderName))
        return Present(folder + kDataFolderName) ? FreshResult::AlreadyThere : FreshResult::Failed;
    staging.setAutoRemove(false);
    return FreshResult::Written;
}

// The category description import opens at the catalogue's folder; the list shipped
// with the program is put there as the build puts it beside the program.
void CopyCategoryList(const QString& programFolder, const QString& folder) {
    const QString shipped = FindShippedFile(programFolder, kCategoryList);
    if (!shipped.isEmpty() && !Present(folder + kCategoryList))
        QFile::copy(shipped, folder + kCategoryList);
}

}  // namespace

TCatalogueLocation LocateCatalogue(const QString& programFolder) {
    TCatalogueLocation location;
    const QString program = WithSeparator(programFolder);
    if (QFileInfo(program + kDataFolderName).isDir()) {
        location.Folder = program;
        location.Portable = true;
        return location;
    }

    const QString perUser = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (perUser.isEmpty()) {
        location.Failure = QStringLiteral("Cannot find a folder for the catalogue: there is no home folder");
        return location;
    }
    location.Folder = WithSeparator(QDir::cleanPath(perUser));
    if (Present(location.Folder + kDataFolderName))
        return location;
    switch (WriteFreshCatalogue(location.Folder)) {
    case FreshResult::Written:
        location.CreatedFresh = true;
        CopyCategoryList(program, location.Folder);
        break;
    case FreshResult::AlreadyThere:
        break;
    case FreshResult::Failed:
        location.Failure = QStringLiteral("Cannot create a new catalogue in ") +
                           QDir::toNativeSeparators(location.Folder + kDataFolderName);
        break;
    }
    return location;
}

QString FreshCatalogueNotice(const TCatalogueLocation& location) {
    return QStringLiteral("A new, empty catalogue was created in ") +
           QDir::toNativeSeparators(location.Folder + kDataFolderName);
}

}  // namespace velm
