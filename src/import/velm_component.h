#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace velm {

class TDSPInfoClass;

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
    std::unique_ptr<TDSPInfoClass> InfoReader;  // filled by the archive import
    QString ArchiveFolder;                      // ArchiveFilePath of the row last loaded
    QString ArchiveFileName;                    // ArchiveFile of the row last loaded
    int CachedRating = 0;
    int CachedCompatibility = 0;
    QString CurrentCategoryName;

    // Appends a package row in the named category, named baseName or, when that is
    // taken (in any letter case), baseName followed by the first free number. Names are
    // cut to the column's width before the test, so the name returned is the one stored.
    // Raises EDatabaseError, with nothing appended, when there is no such category.
    QString CreateComponentRecord(const QString& categoryName, const QString& baseName);

    // Renames the row oldName. A refusal of the table (the name is another row's) is
    // reported to the user and gives false with the row unchanged. On success newName
    // becomes the name as stored (cut to the column's width).
    bool RenameComponent(const QString& oldName, QString& newName);

    // Deletes the row named CurrentProductName; asks nothing.
    void DeleteComponentRecord();

    // Asks for a category with the move dialog and stores it in the row named
    // CurrentProductName. Returns the chosen category's name, empty when cancelled.
    QString MoveToOtherCategory();

    // Makes the named row current and leaves it in edit for the detail panel.
    void LoadComponent(const QString& productName);

    void SetRating(int value);
    // Sets or clears one bit (0 to 5) of the current row's compatibility mask.
    void SetCompatibility(int bit, bool set);

    // Appends the names of the package table's text fields, in the table's order.
    void FillSearchFields(QStringList& list) const;

    // The archive import (ImportArchive, ReimportArchive, ReadArchiveInfo) joins here.
};

}  // namespace velm
