#pragma once

#include <QString>

#include "catalogue/table.h"

#include <functional>
#include <vector>

namespace velm {

class TDMvelm;
class TDatabase;

// A row a new-row operation made: its ID and its name as stored.
struct TNewRow {
    qint64 Id = 0;
    QString Name;
};

// The changes to categories and packages that the windows and the import ask for, each
// whole or not at all. Rows are found by their ID, never by a name (names may repeat
// in another letter case in a catalogue another tool wrote). New names are made free
// by a number appended and cut to their column first, so the name returned is the one
// stored. A category goes with its packages in one transaction. A failure raises
// EDatabaseError with the tables as they were; what the user is told is the caller's.
class TCatalogueOperations {
public:
    static constexpr const char* kNewCategoryName = "New Category";
    static constexpr const char* kNewComponentName = "New Component";

    explicit TCatalogueOperations(TDMvelm& module);

    // Categories. The category table's current row is the one made or renamed.
    TNewRow CreateCategory(const QString& baseName);
    QString RenameCategory(qint64 categoryId, const QString& newName);
    void DeleteCategory(qint64 categoryId);

    // Packages. The package table's current row is the one made, renamed or moved.
    TNewRow CreatePackage(qint64 categoryId, const QString& baseName);
    QString RenamePackage(qint64 packageId, const QString& newName);
    void DeletePackage(qint64 packageId);
    void MovePackage(qint64 packageId, qint64 categoryId);
    // The package's category, or -1 when there is no such package.
    qint64 CategoryOfPackage(qint64 packageId) const;
    // Store the rating, or the compatibility mask.
    void SetRating(qint64 packageId, int rating);
    void SetCompatibility(qint64 packageId, int mask);

    // The package rows whose category does not exist (another tool, an older version),
    // in the package table's order; none in a sound catalogue.
    std::vector<TBookmark> StrayPackages() const;
    // Files those packages under the category named (made when missing), in one
    // transaction. Returns how many were filed.
    int FileStrays(const QString& categoryName);

    // Runs the work in one transaction (or inside the caller's), committed when it
    // returns and rolled back, with the tables read again, when it raises.
    void InTransaction(const std::function<void()>& work);

private:
    TTable& Categories() const;
    TTable& Packages() const;
    TDatabase& Database() const;
    // Makes the package row with this ID current, leaving an edit of another row first;
    // raises when there is none.
    void GoToPackage(qint64 packageId) const;
    void StoreInPackage(qint64 packageId, const QString& field, int value);

    TDMvelm& module_;
};

}  // namespace velm
