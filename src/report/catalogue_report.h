#pragma once

#include "catalogue/table.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace velm {

class TDMvelm;

// What the user had selected in the tree when a report was asked for.
struct TReportTarget {
    QString CategoryName;   // the selected node's category; empty when nothing is selected
    QString ComponentName;  // the selected component; empty on a category node
    // Their rows: the names alone may be another row's in another letter case.
    qint64 CategoryId = 0;
    qint64 ComponentId = 0;
};

enum class TReportScope {
    Category,       // the packages of the target's category
    Component,      // the target's component alone
    WholeCatalogue  // every category, one after another, then any package without one
};

// One run of packages under a heading: a category, or the packages whose category row
// is missing (only a catalogue changed by another tool has those).
struct TReportSection {
    QString CategoryName;  // empty for the packages without a category
    int PackageCount = 0;
    bool WithoutCategory = false;
};

// One memo field read for the rows of a walk a batch at a time: one query for a few dozen
// rows instead of one per row, which would cost an export most of its time.
class TMemoReadAhead {
public:
    explicit TMemoReadAhead(const TField& field) : field_(field) {}
    // The memo of the table's current row.
    QString Read() const;

private:
    const TField& field_;
    mutable std::vector<TMemoBytes> rows_;
    mutable size_t next_ = 0;
    mutable quint64 version_ = 0;
};

// The current package row during a walk, read through the table layer. Memos are read
// from the file only when asked for, a batch of rows at a time.
class TPackageRow {
public:
    // worksWith: the codes of the IDE versions each package works with, by package ID.
    explicit TPackageRow(TTable& packages, const QHash<qint64, QStringList>* worksWith = nullptr);

    // Every field of the package table, in its order, and its text as the table gives it.
    int FieldCount() const;
    const TField& Field(int index) const;
    QString Text(const TField& field) const;

    QString ProductName() const;
    QString CategoryName() const;
    // "1.2.3.4", with " beta" for a beta release; empty when no number was ever set.
    QString Version() const;
    QString Author() const;
    QString AuthorEmail() const;
    QString Licence() const;  // "Freeware", "Shareware", "Commercial", or empty
    QString ReleaseDate() const;
    QString DownloadDate() const;
    QString FileUrl() const;
    bool FullSource() const;
    QString Status() const;
    int Rating() const;
    QString ArchiveFile() const;
    QString ArchiveFolder() const;
    // The IDE versions the package works with, in the list's order.
    QStringList Compatibility() const;
    // The same as short marks: "D1 D3 CB3".
    QString CompatibilityMarks() const;
    // The IDE versions the package works with by name, oldest first, and as short codes:
    // "D7 D2007 DXE2".
    QStringList WorksWith() const;
    QString WorksWithMarks() const;
    // The memos as stored: plain text, or Qt rich-text HTML once edited.
    QString Description() const;
    QString Comments() const;

private:
    // The texts of the set bits of the compatibility mask, one text per bit.
    QStringList CompatibilityTexts(const char* const (&texts)[6]) const;

    TTable& packages_;
    const QHash<qint64, QStringList>* worksWith_;
    TField* id_;
    TField* productName_;
    TField* categoryName_;
    TField* version_[4];
    TField* beta_;
    TField* author_;
    TField* authorEmail_;
    TField* licence_;
    TField* releaseDate_;
    TField* downloadDate_;
    TField* fileUrl_;
    TField* fullSource_;
    TField* status_;
    TField* rating_;
    TField* archiveFile_;
    TField* archiveFolder_;
    TField* compatibility_;
    TField* description_;
    TField* comments_;
    TMemoReadAhead descriptionAhead_;
    TMemoReadAhead commentsAhead_;
};

// Told how many packages a report has handled so far; answers false to stop it.
using TProgressStep = std::function<bool(int done)>;

// The legend of the compatibility marks, for a report's first page.
QString CompatibilityLegend();

// The packages one report covers, read from the catalogue's tables. The package and
// category tables are walked with their controls held and are put back afterwards:
// filter, current row and all, so the main window shows what it showed before. A
// pending edit of the shown row is stored first, as any move to another row does.
class TCatalogueReport {
public:
    // Raises EDatabaseError when the target's category or component is not in the
    // catalogue (any more).
    TCatalogueReport(TDMvelm& module, TReportScope scope, const TReportTarget& target);

    TReportScope Scope() const { return scope_; }
    // "Category Tools", "Component Hammer", "Whole catalogue".
    QString Title() const;
    int PackageCount() const { return packageCount_; }
    // The package table's field names, in its order.
    QStringList FieldNames() const;

    using SectionHandler = std::function<bool(const TReportSection&)>;
    using PackageHandler = std::function<bool(const TPackageRow&)>;
    // Calls onSection before each section's packages and onPackage on each package, in
    // category name order and the table's order within a category. Stops as soon as a
    // handler answers false, and then returns false.
    bool Walk(const SectionHandler& onSection, const PackageHandler& onPackage);

private:
    struct Category {
        qint64 id;
        QString name;
    };
    bool WalkCategory(const Category& category, const SectionHandler& onSection, const PackageHandler& onPackage);
    bool WalkWithoutCategory(const std::vector<Category>& categories, const SectionHandler& onSection,
                             const PackageHandler& onPackage);
    std::vector<Category> Categories();

    TDMvelm& module_;
    TReportScope scope_;
    TReportTarget target_;
    qint64 categoryId_ = 0;
    int packageCount_ = 0;
    QHash<qint64, QStringList> worksWith_;
};

}  // namespace velm
