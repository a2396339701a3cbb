#include "catalogue/catalogue_operations.h"

#include "catalogue/data_module.h"
#include "catalogue/database.h"
#include "catalogue/database_error.h"
#include "catalogue/field_names.h"
#include "catalogue/text_cut.h"

#include <unordered_set>

namespace velm {

namespace {

// The base name, or the base followed by the first number that no row of the field
// holds in any letter case; cut to the field's width first, and the number kept whole,
// so the test and the stored name agree.
QString FreeName(TTable& table, const QString& field, const QString& baseName) {
    const int width = table.FieldByName(field)->Size();
    const QString base = CutAtCharacter(baseName, width);
    QString candidate = base;
    for (int n = 1; table.Locate(field, candidate, true); ++n) {
        const QString suffix = QString::number(n);
        candidate = CutAtCharacter(base, width - int(suffix.size())) + suffix;
    }
    return candidate;
}

// Sets one field of the current row and posts it; a refused post leaves no half-made
// change behind for the next move to post.
void Store(TTable& table, const QString& field, const QVariant& value) {
    table.Edit();
    try {
        table.FieldByName(field)->SetValue(value);
        table.Post();
    } catch (...) {
        table.Cancel();
        throw;
    }
}

// Appends a row with the one field set.
qint64 Append(TTable& table, const QString& field, const QVariant& value, const QString& otherField = {},
              const QVariant& otherValue = {}) {
    table.CheckBrowseMode();
    table.Append();
    try {
        table.FieldByName(field)->SetValue(value);
        if (!otherField.isEmpty())
            table.FieldByName(otherField)->SetValue(otherValue);
        table.Post();
    } catch (...) {
        table.Cancel();
        throw;
    }
    return table.FieldByName(fields::ID)->Value().toLongLong();
}

}  // namespace

TCatalogueOperations::TCatalogueOperations(TDMvelm& module) : module_(module) {}

TTable& TCatalogueOperations::Categories() const { return *module_.TableCategory; }
TTable& TCatalogueOperations::Packages() const { return *module_.TableCPInfo; }
TDatabase& TCatalogueOperations::Database() const {
    return TSession::Instance().DatabaseFor(QString::fromLatin1(TDMvelm::kAlias));
}

void TCatalogueOperations::InTransaction(const std::function<void()>& work) {
    TDatabase& database = Database();
    if (database.InTransaction()) {
        work();
        return;
    }
    database.StartTransaction();
    try {
        work();
        database.Commit();
    } catch (...) {
        database.Rollback();
        // The rows in memory are those of the rolled-back work.
        Packages().SetFiltered(false);
        Packages().Refresh();
        Categories().Refresh();
        throw;
    }
}

// ---------------------------------------------------------------------------------
// Categories

TNewRow TCatalogueOperations::CreateCategory(const QString& baseName) {
    TTable& categories = Categories();
    const QString name = FreeName(categories, fields::Name,
                                  baseName.isEmpty() ? QString::fromLatin1(kNewCategoryName) : baseName);
    return {Append(categories, fields::Name, name), name};
}

QString TCatalogueOperations::RenameCategory(qint64 categoryId, const QString& newName) {
    TTable& categories = Categories();
    if (!categories.Locate(fields::ID, categoryId, false))
        throw EDatabaseError(QStringLiteral("Record not found"));
    Store(categories, fields::Name, newName);
    return categories.FieldByName(fields::Name)->AsString();
}

void TCatalogueOperations::DeleteCategory(qint64 categoryId) {
    TTable& categories = Categories();
    TTable& packages = Packages();
    if (!categories.Locate(fields::ID, categoryId, false))
        throw EDatabaseError(QStringLiteral("Record not found"));
    packages.CheckBrowseMode();
    // The category and its packages go together or not at all.
    InTransaction([&] {
        packages.SetFilter(QStringLiteral("Category = %1").arg(categoryId));
        packages.SetFiltered(true);
        packages.First();
        while (!packages.IsEmpty())
            packages.Delete();
        packages.SetFiltered(false);
        categories.Delete();
    });
}

// ---------------------------------------------------------------------------------
// Packages

void TCatalogueOperations::GoToPackage(qint64 packageId) const {
    if (!Packages().Locate(fields::ID, packageId, false))
        throw EDatabaseError(QStringLiteral("Record not found"));
}

TNewRow TCatalogueOperations::CreatePackage(qint64 categoryId, const QString& baseName) {
    TTable& packages = Packages();
    if (!Categories().Locate(fields::ID, categoryId, false))
        throw EDatabaseError(QStringLiteral("Category %1 not found").arg(categoryId));
    const TControlsDisabled held(packages);
    // An empty name could never be told from another by its label.
    const QString name = FreeName(packages, fields::ProductName,
                                  baseName.isEmpty() ? QString::fromLatin1(kNewComponentName) : baseName);
    return {Append(packages, fields::ProductName, name, fields::Category, int(categoryId)), name};
}

QString TCatalogueOperations::RenamePackage(qint64 packageId, const QString& newName) {
    TTable& packages = Packages();
    const QString stored = CutAtCharacter(newName, packages.FieldByName(fields::ProductName)->Size());
    // An empty name would leave a row that no label can tell from another.
    if (stored.isEmpty())
        throw EDatabaseError(QStringLiteral("Field 'ProductName' must have a value"));
    const TControlsDisabled held(packages);
    GoToPackage(packageId);
    Store(packages, fields::ProductName, stored);
    return stored;
}

void TCatalogueOperations::DeletePackage(qint64 packageId) {
    TTable& packages = Packages();
    const TControlsDisabled held(packages);
    // The row's pending change is dropped, not stored on the way out.
    if (packages.State() == TDataSetState::Edit && packages.FieldByName(fields::ID)->Value().toLongLong() == packageId)
        packages.Cancel();
    // An ID that matches no row deletes nothing, never the row that happens to be current.
    if (packages.Locate(fields::ID, packageId, false))
        packages.Delete();
}

void TCatalogueOperations::MovePackage(qint64 packageId, qint64 categoryId) {
    TTable& packages = Packages();
    const TControlsDisabled held(packages);
    GoToPackage(packageId);
    Store(packages, fields::Category, int(categoryId));
}

qint64 TCatalogueOperations::CategoryOfPackage(qint64 packageId) const {
    TTable& packages = Packages();
    const TControlsDisabled held(packages);
    if (!packages.Locate(fields::ID, packageId, false))
        return -1;
    return packages.FieldByName(fields::Category)->AsInteger();
}

void TCatalogueOperations::SetRating(qint64 packageId, int rating) { StoreInPackage(packageId, fields::Rating, rating); }

void TCatalogueOperations::SetCompatibility(qint64 packageId, int mask) {
    StoreInPackage(packageId, fields::Compatibility, mask);
}

void TCatalogueOperations::StoreInPackage(qint64 packageId, const QString& field, int value) {
    TTable& packages = Packages();
    // The row shown is current and in edit already: no move, which would post its
    // pending input on the way.
    if (packages.IsEmpty() || packages.FieldByName(fields::ID)->Value().toLongLong() != packageId)
        GoToPackage(packageId);
    Store(packages, field, value);
}

std::vector<TBookmark> TCatalogueOperations::StrayPackages() const {
    TTable& categories = Categories();
    TTable& packages = Packages();
    std::unordered_set<qint64> known;
    const bool categoriesFiltered = categories.Filtered();
    categories.SetFiltered(false);
    for (categories.First(); !categories.Eof(); categories.Next())
        known.insert(categories.FieldByName(fields::ID)->AsInteger());
    categories.SetFiltered(categoriesFiltered);
    std::vector<TBookmark> rows;
    const TControlsDisabled held(packages);
    packages.SetFiltered(false);
    const TField* category = packages.FieldByName(fields::Category);
    for (packages.First(); !packages.Eof(); packages.Next())
        if (category->IsNull() || !known.count(category->AsInteger()))
            rows.push_back(packages.GetBookmark());
    return rows;
}

int TCatalogueOperations::FileStrays(const QString& categoryName) {
    const std::vector<TBookmark> strays = StrayPackages();
    if (strays.empty())
        return 0;
    TTable& categories = Categories();
    TTable& packages = Packages();
    const qint64 target = categories.Locate(fields::Name, categoryName, true)
                              ? categories.FieldByName(fields::ID)->Value().toLongLong()
                              : CreateCategory(categoryName).Id;
    const TControlsDisabled held(packages);
    InTransaction([&] {
        for (TBookmark row : strays) {
            packages.GotoBookmark(row);
            Store(packages, fields::Category, int(target));
        }
    });
    return int(strays.size());
}

}  // namespace velm
