#include "report/catalogue_report.h"

#include "catalogue/archive_index.h"
#include "catalogue/data_module.h"
#include "catalogue/database_error.h"
#include "catalogue/field_names.h"
#include "catalogue/table.h"
#include "catalogue/works_with.h"
#include "import/ide_versions.h"

#include <algorithm>
#include <unordered_set>

namespace velm {

namespace {

const char* const kCompatibilityNames[] = {"Delphi 1", "Delphi 2", "Delphi 3", "Delphi 4", "C++ Builder 1",
                                           "C++ Builder 3"};
const char* const kCompatibilityMarks[] = {"D1", "D2", "D3", "D4", "CB1", "CB3"};
constexpr int kCompatibilityCount = 6;

TField* FieldOf(TTable& table, const char* name) { return table.FieldByName(QString::fromLatin1(name)); }

// Holds the controls of both tables while a report reads them, and puts each table's
// filter and current row back afterwards.
class TablesPutBack {
public:
    explicit TablesPutBack(TDMvelm& module) : packages_(*module.TableCPInfo), categories_(*module.TableCategory) {
        packages_.CheckBrowseMode();
        categories_.CheckBrowseMode();
        Remember(packages_, packagesAt_);
        Remember(categories_, categoriesAt_);
        packages_.DisableControls();
        categories_.DisableControls();
        packages_.SetReadsWholeRows(true);
    }
    ~TablesPutBack() {
        packages_.SetReadsWholeRows(false);
        Restore(packages_, packagesAt_);
        Restore(categories_, categoriesAt_);
        packages_.EnableControls();
        categories_.EnableControls();
    }
    TablesPutBack(const TablesPutBack&) = delete;
    TablesPutBack& operator=(const TablesPutBack&) = delete;

private:
    struct Place {
        QString filter;
        bool filtered = false;
        TBookmark row = 0;
    };
    static void Remember(const TTable& table, Place& place) {
        place.filter = table.Filter();
        place.filtered = table.Filtered();
        place.row = table.GetBookmark();
    }
    static void Restore(TTable& table, const Place& place) noexcept {
        try {
            table.SetFiltered(false);
            table.SetFilter(place.filter);
            table.SetFiltered(place.filtered);
            // The row may have gone while events ran; then the table stays where it is.
            if (table.BookmarkValid(place.row) && table.GetBookmark() != place.row)
                table.GotoBookmark(place.row);
        } catch (...) {
            // The report's own outcome is what the user hears of; the tables still work.
        }
    }

    TTable& packages_;
    TTable& categories_;
    Place packagesAt_;
    Place categoriesAt_;
};

void FilterByCategory(TTable& packages, qint64 categoryId) {
    packages.SetFilter(QStringLiteral("Category = %1").arg(categoryId));
    packages.SetFiltered(true);
}

}  // namespace

// ---------------------------------------------------------------------------------

TPackageRow::TPackageRow(TTable& packages, const QHash<qint64, QStringList>* worksWith)
    : packages_(packages),
      worksWith_(worksWith),
      id_(FieldOf(packages, "ID")),
      productName_(FieldOf(packages, "ProductName")),
      categoryName_(FieldOf(packages, "CategoryName")),
      version_{FieldOf(packages, "VersionMajor"), FieldOf(packages, "VersionMinor"), FieldOf(packages, "Release"),
               FieldOf(packages, "Build")},
      beta_(FieldOf(packages, "Beta")),
      author_(FieldOf(packages, "Author")),
      authorEmail_(FieldOf(packages, "AuthorEmail")),
      licence_(FieldOf(packages, "FreeShareCommercial")),
      releaseDate_(FieldOf(packages, "ReleaseDate")),
      downloadDate_(FieldOf(packages, "DownloadDate")),
      fileUrl_(FieldOf(packages, "FileURL")),
      fullSource_(FieldOf(packages, "FullSourceIncl")),
      status_(FieldOf(packages, "StatusDescr")),
      rating_(FieldOf(packages, "Rating")),
      archiveFile_(FieldOf(packages, "ArchiveFile")),
      archiveFolder_(FieldOf(packages, "ArchiveFilePath")),
      compatibility_(FieldOf(packages, "Compatibility")),
      description_(FieldOf(packages, "ProductDescription")),
      comments_(FieldOf(packages, "Comments")),
      descriptionAhead_(*description_),
      commentsAhead_(*comments_) {}

int TPackageRow::FieldCount() const { return packages_.FieldCount(); }
const TField& TPackageRow::Field(int index) const { return *packages_.Field(index); }
QString TPackageRow::Text(const TField& field) const {
    if (&field == description_)
        return Description();
    if (&field == comments_)
        return Comments();
    return field.AsString();
}

QString TPackageRow::ProductName() const { return productName_->AsString(); }
QString TPackageRow::CategoryName() const { return categoryName_->AsString(); }

QString TPackageRow::Version() const {
    bool any = false;
    for (const TField* part : version_)
        any = any || !part->IsNull();
    if (!any)
        return QString();
    QString text = QStringLiteral("%1.%2.%3.%4")
                       .arg(version_[0]->AsInteger())
                       .arg(version_[1]->AsInteger())
                       .arg(version_[2]->AsInteger())
                       .arg(version_[3]->AsInteger());
    if (beta_->AsBoolean())
        text += QStringLiteral(" beta");
    return text;
}

QString TPackageRow::Author() const { return author_->AsString(); }
QString TPackageRow::AuthorEmail() const { return authorEmail_->AsString(); }

QString TPackageRow::Licence() const {
    if (licence_->IsNull())
        return QString();
    switch (licence_->AsInteger()) {
    case 0: return QStringLiteral("Freeware");
    case 1: return QStringLiteral("Shareware");
    case 2: return QStringLiteral("Commercial");
    default: return QString();
    }
}

QString TPackageRow::ReleaseDate() const { return releaseDate_->AsString(); }
QString TPackageRow::DownloadDate() const { return downloadDate_->AsString(); }
QString TPackageRow::FileUrl() const { return fileUrl_->AsString(); }
bool TPackageRow::FullSource() const { return fullSource_->AsBoolean(); }
QString TPackageRow::Status() const { return status_->AsString(); }
int TPackageRow::Rating() const { return rating_->AsInteger(); }
QString TPackageRow::ArchiveFile() const { return archiveFile_->AsString(); }
QString TPackageRow::ArchiveFolder() const { return archiveFolder_->AsString(); }

QStringList TPackageRow::Compatibility() const { return CompatibilityTexts(kCompatibilityNames); }

QString TPackageRow::CompatibilityMarks() const {
    return CompatibilityTexts(kCompatibilityMarks).join(QLatin1Char(' '));
}

QStringList TPackageRow::CompatibilityTexts(const char* const (&texts)[6]) const {
    const int mask = compatibility_->AsInteger();
    QStringList set;
    for (int bit = 0; bit < kCompatibilityCount; ++bit)
        if (mask & (1 << bit))
            set << QString::fromLatin1(texts[bit]);
    return set;
}

QStringList TPackageRow::WorksWith() const {
    QStringList names;
    for (const QString& code : worksWith_ ? worksWith_->value(id_->AsInteger()) : QStringList()) {
        const IdeVersion* version = FindIdeVersion(code);
        names << (version ? version->NameText() : code);
    }
    return names;
}

QString TPackageRow::WorksWithMarks() const {
    return worksWith_ ? worksWith_->value(id_->AsInteger()).join(QLatin1Char(' ')) : QString();
}

QString TPackageRow::Description() const { return descriptionAhead_.Read(); }
QString TPackageRow::Comments() const { return commentsAhead_.Read(); }

QString TMemoReadAhead::Read() const {
    constexpr int kRows = 64;
    constexpr qsizetype kBytes = 4 * 1024 * 1024;
    const TTable& table = *field_.Table();
    if (table.State() != TDataSetState::Browse)
        return field_.AsString();
    const TBookmark row = table.GetBookmark();
    // The walk may skip rows (the packages without a category); a changed row, or a
    // row beyond the batch, starts a new batch here.
    if (version_ == table.RowsVersion())
        while (next_ < rows_.size() && rows_[next_].row != row)
            ++next_;
    if (version_ != table.RowsVersion() || next_ >= rows_.size()) {
        rows_ = table.ReadMemosAhead(field_.Index(), kRows, kBytes);
        next_ = 0;
        version_ = table.RowsVersion();
        if (rows_.empty() || rows_.front().row != row)
            return field_.AsString();
    }
    const QByteArray& bytes = rows_[next_++].bytes;
    return QString::fromUtf8(bytes);
}

QString CompatibilityLegend() {
    QStringList parts;
    for (int bit = 0; bit < kCompatibilityCount; ++bit)
        parts << QStringLiteral("%1 %2").arg(QLatin1String(kCompatibilityMarks[bit]), QLatin1String(kCompatibilityNames[bit]));
    return QStringLiteral("Compatibility: ") + parts.join(QStringLiteral(", "));
}

// ---------------------------------------------------------------------------------

TCatalogueReport::TCatalogueReport(TDMvelm& module, TReportScope scope, const TReportTarget& target)
    : module_(module), scope_(scope), target_(target) {
    // The versions of every package in one query, each package's in the list's order.
    if (TArchiveIndex* index = module_.ArchiveIndex(); index && index->IsOpen()) {
        worksWith_ = TWorksWith(*index).AllVersions();
        for (QStringList& codes : worksWith_)
            std::stable_sort(codes.begin(), codes.end(), [](const QString& a, const QString& b) {
                return IdeVersionRank(a) < IdeVersionRank(b);
            });
    }
    TablesPutBack putBack(module_);
    TTable& packages = *module_.TableCPInfo;
    TTable& categories = *module_.TableCategory;
    switch (scope_) {
    case TReportScope::Category: {
        categories.SetFiltered(false);
        if (!categories.Locate(fields::ID, target_.CategoryId, false))
            throw EDatabaseError(QStringLiteral("The category %1 is not in the catalogue").arg(target_.CategoryName));
        categoryId_ = categories.FieldByName(fields::ID)->AsInteger();
        target_.CategoryName = categories.FieldByName(fields::Name)->AsString();
        FilterByCategory(packages, categoryId_);
        packageCount_ = packages.RecordCount();
        break;
    }
    case TReportScope::Component:
        packages.SetFiltered(false);
        if (!packages.Locate(fields::ID, target_.ComponentId, false))
            throw EDatabaseError(QStringLiteral("The component %1 is not in the catalogue").arg(target_.ComponentName));
        target_.ComponentName = packages.FieldByName(fields::ProductName)->AsString();
        packageCount_ = 1;
        break;
    case TReportScope::WholeCatalogue:
        packages.SetFiltered(false);
        packageCount_ = packages.RecordCount();
        break;
    }
}

QString TCatalogueReport::Title() const {
    switch (scope_) {
    case TReportScope::Category: return QStringLiteral("Category ") + target_.CategoryName;
    case TReportScope::Component: return QStringLiteral("Component ") + target_.ComponentName;
    case TReportScope::WholeCatalogue: break;
    }
    return QStringLiteral("Whole catalogue");
}

QStringList TCatalogueReport::FieldNames() const { return module_.TableCPInfo->FieldNames(); }

bool TCatalogueReport::Walk(const SectionHandler& onSection, const PackageHandler& onPackage) {
    TablesPutBack putBack(module_);
    TTable& packages = *module_.TableCPInfo;
    switch (scope_) {
    case TReportScope::Category:
        return WalkCategory({categoryId_, target_.CategoryName}, onSection, onPackage);
    case TReportScope::Component: {
        packages.SetFiltered(false);
        if (!packages.Locate(fields::ID, target_.ComponentId, false))
            throw EDatabaseError(QStringLiteral("The component %1 is not in the catalogue").arg(target_.ComponentName));
        const TPackageRow row(packages, &worksWith_);
        TReportSection section;
        section.CategoryName = row.CategoryName();
        section.WithoutCategory = section.CategoryName.isEmpty();
        section.PackageCount = 1;
        return onSection(section) && onPackage(row);
    }
    case TReportScope::WholeCatalogue:
        break;
    }
    const std::vector<Category> categories = Categories();
    for (const Category& category : categories)
        if (!WalkCategory(category, onSection, onPackage))
            return false;
    return WalkWithoutCategory(categories, onSection, onPackage);
}

bool TCatalogueReport::WalkCategory(const Category& category, const SectionHandler& onSection,
                                    const PackageHandler& onPackage) {
    TTable& packages = *module_.TableCPInfo;
    FilterByCategory(packages, category.id);
    TReportSection section;
    section.CategoryName = category.name;
    section.PackageCount = packages.RecordCount();
    if (!onSection(section))
        return false;
    const TPackageRow row(packages, &worksWith_);
    for (packages.First(); !packages.Eof(); packages.Next())
        if (!onPackage(row))
            return false;
    return true;
}

bool TCatalogueReport::WalkWithoutCategory(const std::vector<Category>& categories, const SectionHandler& onSection,
                                           const PackageHandler& onPackage) {
    TTable& packages = *module_.TableCPInfo;
    packages.SetFiltered(false);
    std::unordered_set<qint64> known;
    for (const Category& category : categories)
        known.insert(category.id);
    // Only the rows' places are kept: there are none, or a few, in a sound catalogue.
    std::vector<TBookmark> rows;
    const TField* categoryField = packages.FieldByName(fields::Category);
    for (packages.First(); !packages.Eof(); packages.Next())
        if (categoryField->IsNull() || !known.count(categoryField->AsInteger()))
            rows.push_back(packages.GetBookmark());
    if (rows.empty())
        return true;
    TReportSection section;
    section.WithoutCategory = true;
    section.PackageCount = int(rows.size());
    if (!onSection(section))
        return false;
    const TPackageRow row(packages, &worksWith_);
    for (TBookmark bookmark : rows) {
        packages.GotoBookmark(bookmark);
        if (!onPackage(row))
            return false;
    }
    return true;
}

std::vector<TCatalogueReport::Category> TCatalogueReport::Categories() {
    TTable& categories = *module_.TableCategory;
    categories.SetFiltered(false);
    const TField* id = categories.FieldByName(fields::ID);
    const TField* name = categories.FieldByName(fields::Name);
    std::vector<Category> list;
    for (categories.First(); !categories.Eof(); categories.Next())
        list.push_back({id->AsInteger(), name->AsString()});
    return list;
}

}  // namespace velm
