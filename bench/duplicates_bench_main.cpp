// Times Tools > Find Duplicates' two lists over a large catalogue, beside a floor: one
// plain statement reading the same columns of every package once, as any search for
// duplicates must. Also the detail panel's look for a newer version, which runs each
// time a component is shown.
//   duplicates-bench FOLDER [REPEATS]
// Packages without an archive record get one with a made-up SHA-256, one in fifty
// shared with the package before it; FOLDER's Members.db is changed: run it on a copy.
#include "bench_timing.h"

#include "catalogue/archive_index.h"
#include "catalogue/data_module.h"
#include "catalogue/database.h"
#include "catalogue/duplicate_packages.h"

#include <QCoreApplication>
#include <QCryptographicHash>

#include <cstdio>

using velm::bench::Series;
using velm::bench::Stopwatch;

namespace {

// Every package gets an archive record; some share their SHA-256 with the one before.
int ArrangeFingerprints(velm::TArchiveIndex& index) {
    velm::TDatabase& database = index.Database();
    const QString m = velm::QuoteIdentifier(index.Schema());
    std::vector<qint64> ids;
    {
        velm::TStatement& select = database.Prepare(
            QStringLiteral("SELECT p.ID FROM %1.CPInfo p WHERE NOT EXISTS (SELECT 1 FROM %2.ArchiveFile f "
                           "WHERE f.PackageID = p.ID) ORDER BY p.ID")
                .arg(velm::QuoteIdentifier(index.PackageSchema()), m));
        const velm::TResetOnExit reset(select);
        while (select.Step())
            ids.push_back(select.ColumnInt(0));
    }
    database.StartTransaction();
    velm::TStatement& insert =
        database.Prepare(QStringLiteral("INSERT INTO %1.ArchiveFile (PackageID, Sha256, Size, Modified) "
                                        "VALUES (?, ?, 307200, '2020-05-06T12:00:00Z')")
                             .arg(m));
    for (const qint64 id : ids) {
        const qint64 key = id % 50 == 0 ? id - 1 : id;
        insert.Bind(1, id);
        insert.Bind(2, QString::fromLatin1(
                           QCryptographicHash::hash(QByteArray::number(key), QCryptographicHash::Sha256).toHex()));
        insert.Run();
    }
    database.Commit();
    return int(ids.size());
}

void PrintRow(const Series& s) {
    std::printf("%-44s %9.1f %9.1f %9.1f  %s\n", s.label, s.Min(), velm::bench::Median(s.wall),
                velm::bench::Median(s.cpu), s.targetMs > 0 ? qPrintable(QStringLiteral("< %1 ms").arg(s.targetMs)) : "");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return velm::bench::RunOverCatalogue("duplicates-bench", [](const QString& folder, int repeats) {
        velm::TDMvelm module(folder);
        velm::DMvelm = &module;
        if (!module.Open() || !module.ArchiveIndex())
            return 1;
        velm::TArchiveIndex& index = *module.ArchiveIndex();
        const int arranged = ArrangeFingerprints(index);
        velm::TDatabase& database = index.Database();

        Series floor{"floor: every package's columns, one SELECT", 0, {}, {}, {}};
        Series find{"Find Duplicates: both lists", 1000, {}, {}, {}};
        Series newer{"newer version of one package (of 1,000)", 0, {}, {}, {}};
        velm::TDuplicates found;
        qint64 rows = 0;
        for (int run = 0; run < repeats; ++run) {
            {
                velm::TStatement& select = database.Prepare(
                    QStringLiteral("SELECT p.ID, p.ProductName, p.Category, p.VersionMajor, p.VersionMinor, p.Release, "
                                   "p.Build, p.Beta, p.ArchiveFile, f.Sha256 FROM %1.CPInfo p "
                                   "LEFT JOIN %2.ArchiveFile f ON f.PackageID = p.ID")
                        .arg(velm::QuoteIdentifier(index.PackageSchema()), velm::QuoteIdentifier(index.Schema())));
                const velm::TResetOnExit reset(select);
                const Stopwatch watch;
                rows = 0;
                while (select.Step()) {
                    select.ColumnText(1);
                    select.ColumnText(8);
                    select.ColumnText(9);
                    ++rows;
                }
                floor.Add(watch);
            }
            {
                const Stopwatch watch;
                found = velm::FindDuplicates(index);
                find.Add(watch);
            }
            {
                const Stopwatch watch;
                const qint64 step = std::max<qint64>(1, rows / 1000);
                int looked = 0;
                for (qint64 id = 1; id <= rows && looked < 1000; id += step, ++looked)
                    velm::NewerVersionOf(index, id);
                newer.Add(watch, std::size_t(looked));
            }
        }
        std::size_t identical = 0;
        std::size_t sameProduct = 0;
        for (const velm::TDuplicateSet& set : found.Identical)
            identical += set.Packages.size();
        for (const velm::TDuplicateSet& set : found.SameProduct)
            sameProduct += set.Packages.size();
        std::printf("packages: %lld (%d given a made-up SHA-256 now); found %zu identical sets (%zu packages), "
                    "%zu same-product sets (%zu packages)\n",
                    rows, arranged, found.Identical.size(), identical, found.SameProduct.size(), sameProduct);
        std::printf("%-44s %9s %9s %9s\n", "ms, over runs:", "min", "median", "CPU");
        PrintRow(floor);
        PrintRow(find);
        PrintRow(newer);
        return velm::bench::Median(find.wall) < 1000 ? 0 : 1;
    });
}
