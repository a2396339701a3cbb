#include "catalogue/duplicate_packages.h"

#include "catalogue/archive_index.h"
#include "catalogue/ascii_case.h"
#include "catalogue/database.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <tuple>

namespace velm {

namespace {

// ProductBaseName in SQL; the engine's NOCASE folds ASCII letters as the name column does.
const char kBaseOfName[] = "rtrim(rtrim(p.ProductName, '0123456789'), ' ')";

// The package columns every list reads, in this order; p is the package, the category
// and the IDE codes are looked up for the rows returned only. A version the user
// removed is not listed, whatever else names it.
QString PackageColumns(const TArchiveIndex& index) {
    return QStringLiteral(
               "p.ID, p.ProductName, (SELECT c.Name FROM %1.Category c WHERE c.ID = p.Category), "
               "p.VersionMajor, p.VersionMinor, p.Release, p.Build, p.Beta, p.ArchiveFile, "
               "(SELECT group_concat(Ide, ', ') FROM (SELECT w.Ide FROM %2.WorksWith w "
               "WHERE w.PackageID = p.ID GROUP BY w.Ide "
               "HAVING sum(w.Source = 'user' AND w.Evidence = 'removed') = 0 ORDER BY min(w.rowid)))")
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
    // The SHA-256 index hands over the shared values without a sort; only the rows
    // found are read and ordered.
    found.Identical = SetsOf(
        database, QStringLiteral("SELECT f.Sha256, %1 FROM %2.ArchiveFile f JOIN %3.CPInfo p ON p.ID = f.PackageID "
                                 "WHERE f.Sha256 IN (SELECT Sha256 FROM %2.ArchiveFile WHERE Sha256 IS NOT NULL "
                                 "GROUP BY Sha256 HAVING count(*) > 1) ORDER BY f.Sha256, %4")
                      .arg(columns, QuoteIdentifier(index.Schema()), packages, QLatin1String(kNewestFirst)));

    // The names are grouped here rather than sorted by the engine on a computed key:
    // one pass over the name index, and the rows of the products found read by ID.
    QHash<QString, std::vector<qint64>> byProduct;
    {
        TStatement& names = database.Prepare(QStringLiteral("SELECT ID, ProductName FROM %1.CPInfo").arg(packages));
        const TResetOnExit reset(names);
        while (names.Step()) {
            const QString base = ProductBaseName(names.ColumnText(1));
            if (!base.isEmpty())
                byProduct[AsciiUpperCase(base)].push_back(names.ColumnInt(0));
        }
    }
    QStringList keys;
    QJsonArray ids;
    for (auto it = byProduct.cbegin(); it != byProduct.cend(); ++it) {
        if (it.value().size() < 2)
            continue;
        keys << it.key();
        for (const qint64 id : it.value())
            ids.append(id);
    }
    if (keys.isEmpty())
        return found;
    std::sort(keys.begin(), keys.end());
    QHash<qint64, TCataloguedPackage> rows;
    {
        TStatement& select = database.Prepare(
            QStringLiteral("SELECT %1 FROM %2.CPInfo p WHERE p.ID IN (SELECT value FROM json_each(?))").arg(columns, packages));
        select.Bind(1, QString::fromUtf8(QJsonDocument(ids).toJson(QJsonDocument::Compact)));
        const TResetOnExit reset(select);
        while (select.Step()) {
            TCataloguedPackage package = PackageAt(select, 0);
            rows.insert(package.Id, std::move(package));
        }
    }
    for (const QString& key : keys) {
        TDuplicateSet set;
        for (const qint64 id : byProduct.value(key))
            if (const auto row = rows.constFind(id); row != rows.cend())
                set.Packages.push_back(*row);
        std::sort(set.Packages.begin(), set.Packages.end(), [](const TCataloguedPackage& a, const TCataloguedPackage& b) {
            const int order = CompareVersions(a.Version, b.Version);
            return order != 0 ? order > 0 : a.Id < b.Id;
        });
        if (set.Packages.size() < 2)
            continue;
        set.Key = ProductBaseName(set.Packages.front().ProductName);
        found.SameProduct.push_back(std::move(set));
    }
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
