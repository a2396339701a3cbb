#pragma once

#include "import/imported_columns.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <stdexcept>

namespace velm {

struct TArchiveFingerprint;
class TDSPInfoClass;
class TZipMaster;

// An archive path the import refuses before it changes anything: a folder, a missing
// file, anything without a modification date, or a Tmp folder that cannot be made.
class EArchiveRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The archive import: it makes a package row named after an archive, fills it (or an
// existing row, on a re-import) from the archive's info file, and decides the row's
// category from that file or with the user's help. Creating, renaming, moving and
// deleting rows are the catalogue's operations (TCatalogueOperations).
class TVELMComponent {
public:
    explicit TVELMComponent(const QString& productName);
    ~TVELMComponent();
    TVELMComponent(const TVELMComponent&) = delete;
    TVELMComponent& operator=(const TVELMComponent&) = delete;

    // The object's state, in this order.
    QString CurrentProductName;
    // The ID of the row the import fills. Names may repeat in another letter case (a
    // catalogue another tool wrote) or be empty; the ID finds the one row meant.
    qint64 CurrentRowId = 0;
    std::unique_ptr<TDSPInfoClass> InfoReader;  // filled by the archive import
    QString CurrentCategoryName;

    // What the archive import needs of the window around it; set once by the window.
    QString TmpFolder;
    // Adds a category row and its tree node; returns the name as stored.
    std::function<QString(const QString& name)> AddCategory;
    // Shows a compatibility mask in the detail panel.
    std::function<void(int mask)> ShowCompatibility;
    // Whether an import reads the IDE versions the archive works with (the import
    // benchmark weighs what that costs by imports without it).
    bool ReadsWorksWith = true;

    // Creates a row named after the archive in the category with this ID and fills it
    // from the archive; the row ends up in the category its info file or the user
    // decides. Returns the row's product name (CurrentRowId is the row), or an empty name
    // when the archive could not be read or the row could not be filled (the failure was
    // reported, and no row is left). Raises EArchiveRefused, with nothing written, for a
    // path that is not an archive file.
    // The archive's fingerprint, when the caller took it already, is stored as it is
    // rather than taken again.
    QString ImportArchive(qint64 categoryId, const QString& archivePath,
                          const TArchiveFingerprint* fingerprint = nullptr);
    // The product name an import of the archive starts from: its file name cut before the
    // first dot, fit to be shown (a tree label holds no line break).
    static QString ProductNameOfArchive(const QString& archivePath);
    // The archive component the import reads archives with.
    TZipMaster& ZipMasterMain() const { return *zipMaster_; }

    // Fills the row with this ID again from the archive; its product name stays. An
    // archive that cannot be read leaves the row as it was.
    void ReimportArchive(qint64 rowId, const QString& archivePath);

private:
    // Raises EArchiveRefused unless the path can be imported.
    void CheckArchivePath(const QString& archivePath) const;
    // Decides the row's category from the info file just read; -1 when none is decided.
    int CategoryFromInfoFile();
    // Asks the user for the row's category; -1 when none is decided.
    int CategoryFromUser();
    // Empties the Tmp folder, extracts the archive's info files into it and reads the
    // one that counts into InfoReader; infoName becomes its name, empty when there is
    // none. False when the archive could not be read (the archive component showed why).
    bool ReadInfoFile(const QString& archivePath, QString& infoName);
    // Fills the row with this ID from the info just read; false when a database error
    // was reported and the row was left as it was.
    bool FillRow(qint64 rowId, const QString& archivePath, const QString& infoName);

    std::unique_ptr<TZipMaster> zipMaster_;
    // The SHA-256 of the archive being imported, stored with its members.
    QString sha256_;
};


}  // namespace velm
