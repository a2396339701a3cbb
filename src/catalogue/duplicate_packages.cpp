#include "catalogue/duplicate_packages.h"

#include "catalogue/archive_index.h"
#include "catalogue/database.h"

#include <tuple>

namespace velm {

namespace {

// ProductBaseName in SQL; the engine's NOCASE folds ASCII letters as the name column does.
const char kBaseOfName[] = "rtrim(rtrim(p.ProductName, '0123456789'), ' ')";

// The package columns every list reads, in this order; p is the package, the category
// and the IDE codes are looked up for the rows returned only.
QString PackageColumns(const TArchiveIndex& index) {
    return QStringLiteral(
               "p.ID, p.ProductName, (SELECT c.Name FROM %1.Category c WHERE c.ID = p.Category), "
               "p.VersionMajor, p.VersionMinor, p.Release, p.Build, p.Beta, p.ArchiveFile, "
               "(SELECT group_concat(Ide, ', ') FROM (SELECT w.Ide FROM %2.WorksWith w "
               "WHERE w.PackageID = p.ID GROUP BY w.Ide ORDER BY min(w.rowid)))")
        .arg(QuoteIdentifier(index.CategorySchema()), QuoteIdentifier(index.Schema()));
}
constexpr int kPackageColumnCount = 10;

const char kNewestFirst[] =
    "coalesce(p.VersionMajor, 0) DESC, coalesce(p.VersionMinor, 0) DESC, coalesce(p.Release, 0) DESC, "
    "coalesce(p.Build, 0) DESC, coalesce(p.Beta, 0), p.ID";

TCataloguedPackage PackageAt(const TStatement& row, int first) {
    TCataloguedPackage package;
    package.Id = row.ColumnInt(first);
    package.ProductName = row.ColumnText(first + 1);
    package.CategoryName = row.ColumnText(first + 2);
    package.Version.Major = int(row.ColumnInt(first + 3));
    package.Version.Minor = int(row.ColumnInt(first + 4));
    package.Version.Release = int(row.ColumnInt(first + 5));
    package.Version.Build = int(row.ColumnInt(first + 6));
    package.Version.Beta = row.ColumnInt(first + 7) != 0;
    package.ArchiveFile = row.ColumnText(first + 8);
    package.WorksWith = row.ColumnText(first + 9);
    return package;
}

// Rows of (key, package columns...) in key order, gathered into sets.
std::vector<TDuplicateSet> SetsOf(TDatabase& database, const QString& sql) {
    TStatement& select = database.Prepare(sql);
    const TResetOnExit reset(select);
    std::vector<TDuplicateSet> sets;
    while (select.Step()) {
        const QString key = select.ColumnText(0);
        if (sets.empty() || sets.back().Key.compare(key, Qt::CaseInsensitive) != 0)
            sets.push_back({key, {}});
        sets.back().Packages.push_back(PackageAt(select, 1));
    }
    return sets;
}

}  // namespace

QString TPackageVersion::Text() const {
    QString text = QStringLiteral("%1.%2").arg(Major).arg(Minor);
    if (Release || Build)
        text += QStringLiteral(".%1").arg(Release);
    if (Build)
        text += QStringLiteral(".%1").arg(Build);
    if (Beta)
        text += QStringLiteral(" beta");
    return text;
}

int CompareVersions(const TPackageVersion& a, const TPackageVersion& b) {
    const auto key = [](const TPackageVersion& v) { return std::make_tuple(v.Major, v.Minor, v.Release, v.Build, !v.Beta); };
    return key(a) < key(b) ? -1 : key(b) < key(a) ? 1 : 0;
}

QString ProductBaseName(const QString& productName) {
    qsizetype end = productName.size();
    while (end > 0 && productName.at(end - 1) >= u'0' && productName.at(end - 1) <= u'9')
        --end;
    while (end > 0 && productName.at(end - 1) == u' ')
        --end;
    return productName.left(end);
}

TDuplicates FindDuplicates(const TArchiveIndex& index) {
    TDatabase& database = index.Database();
    const QString packages = QuoteIdentifier(index.PackageSchema());
    const QString columns = PackageColumns(index);
    TDuplicates found;
    // The window counts each SHA-256's rows as it goes: one pass over the index's table,
    // the package columns read for the duplicates only.
    found.Identical = SetsOf(
        database, QStringLiteral("SELECT f.Sha256, %1 FROM (SELECT PackageID, Sha256, count(*) OVER (PARTITION BY Sha256) "
                                 "AS Copies FROM %2.ArchiveFile WHERE Sha256 IS NOT NULL) f "
                                 "JOIN %3.CPInfo p ON p.ID = f.PackageID WHERE f.Copies > 1 ORDER BY f.Sha256, %4")
                      .arg(columns, QuoteIdentifier(index.Schema()), packages, QLatin1String(kNewestFirst)));
    found.SameProduct = SetsOf(
        database,
        QStringLiteral("SELECT b.Base, %1 FROM (SELECT p.ID, %2 AS Base, count(*) OVER (PARTITION BY %2 COLLATE NOCASE) "
                       "AS Names FROM %3.CPInfo p) b JOIN %3.CPInfo p ON p.ID = b.ID "
                       "WHERE b.Names > 1 AND b.Base <> '' ORDER BY b.Base COLLATE NOCASE, %4")
            .arg(columns, QLatin1String(kBaseOfName), packages, QLatin1String(kNewestFirst)));
    return found;
}

std::vector<TCataloguedPackage> PackagesWithSha256(const TArchiveIndex& index, const QString& sha256) {
    TStatement& select = index.Database().Prepare(
        QStringLiteral("SELECT %1 FROM %2.ArchiveFile f JOIN %3.CPInfo p ON p.ID = f.PackageID WHERE f.Sha256 = ? "
                       "ORDER BY p.ID")
            .arg(PackageColumns(index), QuoteIdentifier(index.Schema()), QuoteIdentifier(index.PackageSchema())));
    select.Bind(1, sha256);
    const TResetOnExit reset(select);
    std::vector<TCataloguedPackage> packages;
    while (select.Step())
        packages.push_back(PackageAt(select, 0));
    return packages;
}

std::optional<TCataloguedPackage> NewerVersionOf(const TArchiveIndex& index, qint64 packageId) {
    const QString packages = QuoteIdentifier(index.PackageSchema());
    TDatabase& database = index.Database();
    // The product's names all begin with its base name: the name index finds them, and
    // ':' sorts after the digits and the space that may follow it.
    TStatement& select = database.Prepare(
        QStringLiteral("SELECT %1 FROM %2.CPInfo s JOIN %2.CPInfo p "
                       "ON p.ProductName >= %3 AND p.ProductName < %3 || ':' AND %4 = %3 COLLATE NOCASE "
                       "WHERE s.ID = ? AND %3 <> '' ORDER BY %5")
            .arg(PackageColumns(index), packages,
                 QString::fromLatin1(kBaseOfName).replace(QLatin1String("p.ProductName"), QLatin1String("s.ProductName")),
                 QLatin1String(kBaseOfName), QLatin1String(kNewestFirst)));
    select.Bind(1, packageId);
    const TResetOnExit reset(select);
    std::optional<TCataloguedPackage> self;
    std::optional<TCataloguedPackage> newest;
    while (select.Step()) {
        TCataloguedPackage package = PackageAt(select, 0);
        if (package.Id == packageId)
            self = std::move(package);
        else if (!newest)
            newest = std::move(package);
    }
    if (!self || !newest || !self->Version.Known() || CompareVersions(newest->Version, self->Version) <= 0)
        return std::nullopt;
    return newest;
}

}  // namespace velm
