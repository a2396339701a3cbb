#pragma once

#include "import/imported_columns.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <stdexcept>

namespace velm {

class TDSPInfoClass;
class TZipMaster;

// An archive path the import refuses before it changes anything: a folder, a missing
// file, anything without a modification date, or a Tmp folder that cannot be made.
class EArchiveRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The one object through which the main window changes package rows: it creates a row
// with a free name, makes a row current for the detail panel, renames, deletes and
// re-categorises it, stores its rating and compatibility mask, and lists the searchable
// text fields. It always works on the package table's current row of DMvelm.
class TVELMComponent {
public:
    // The default base name of a new package row.
    static constexpr const char* kNewComponentName = "New Component";

    explicit TVELMComponent(const QString& productName);
    ~TVELMComponent();
    TVELMComponent(const TVELMComponent&) = delete;
    TVELMComponent& operator=(const TVELMComponent&) = delete;

    // The object's state, in this order.
    QString CurrentProductName;
    // The ID of the row the object works on. Names may repeat in another letter case (a
    // catalogue another tool wrote) or be empty; the ID finds the one row meant.
    qint64 CurrentRowId = 0;
    std::unique_ptr<TDSPInfoClass> InfoReader;  // filled by the archive import
    QString ArchiveFolder;                      // ArchiveFilePath of the row last loaded
    QString ArchiveFileName;                    // ArchiveFile of the row last loaded
    int CachedRating = 0;
    int CachedCompatibility = 0;
    QString CurrentCategoryName;

    // Appends a package row in the category with this ID, named baseName or, when that
    // is taken (in any letter case), baseName followed by the first free number. Names
    // are cut to the column's width before the test, so the name returned is the one
    // stored. Raises EDatabaseError, with nothing appended, when there is no such category.
    QString CreateComponentRecord(qint64 categoryId, const QString& baseName);

    // Renames the row with this ID, whose name is oldName. A refusal of the table (the
    // name is another row's) is reported to the user and gives false with the row
    // unchanged. On success newName becomes the name as stored (cut to the column's width).
    bool RenameComponent(qint64 rowId, const QString& oldName, QString& newName);

    // Deletes the row CurrentRowId; asks nothing.
    void DeleteComponentRecord();

    // Asks for a category with the move dialog and stores it in the row CurrentRowId.
    // Returns the chosen category's name, empty when cancelled.
    QString MoveToOtherCategory();

    // Makes the row with this ID current and leaves it in edit for the detail panel.
    void LoadComponent(qint64 rowId);

    void SetRating(int value);
    // Sets or clears one bit (0 to 5) of the current row's compatibility mask.
    void SetCompatibility(int bit, bool set);

    // Appends the names of the package table's text fields, in the table's order.
    void FillSearchFields(QStringList& list) const;

    // What the archive import needs of the window around it; set once by the window.
    QString TmpFolder;
    // Adds a category row and its tree node; returns the name as stored.
    std::function<QString(const QString& name)> AddCategory;
    // Shows a compatibility mask in the detail panel.
    std::function<void(int mask)> ShowCompatibility;

    // Creates a row named after the archive in the category with this ID and fills it
    // from the archive; the row ends up in the category its info file or the user
    // decides. Returns the row's product name (CurrentRowId is the row), or an empty name
    // when the archive could not be read or the row could not be filled (the failure was
    // reported, and no row is left). Raises EArchiveRefused, with nothing written, for a
    // path that is not an archive file.
    QString ImportArchive(qint64 categoryId, const QString& archivePath);
    // The product name an import of the archive starts from: its file name cut before the
    // first dot, fit to be shown (a tree label holds no line break).
    static QString ProductNameOfArchive(const QString& archivePath);
    // The archive component the import reads archives with.
    TZipMaster& ZipMasterMain() const { return *zipMaster_; }

    // Fills the current row again from the archive; its product name stays. An archive
    // that cannot be read leaves the row as it was.
    void ReimportArchive(const QString& archivePath);
    // Fills the current row from the archive's info file (see ImportArchive).
    void ReadArchiveInfo(const QString& archivePath);

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
};


}  // namespace velm
