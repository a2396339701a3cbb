// Times the record locate engine on a catalogue written by generate-catalogue: searches
// that find nothing and so scan every package (on a name and on the description memo),
// and an exact name search through the name index. The engine runs as the program runs
// it: controls detached, events processed while scanning.
//
// Then the results list of the instant search: the first 200 hits of a five-character
// text (a miss, a rare and a common one) over the package texts and the archive
// members, beside a plain LIKE scan of the same columns in the same run (the floor).
#include "kit/messages.h"
#include "catalogue/archive_index.h"
#include "catalogue/data_module.h"
#include "catalogue/database.h"
#include "catalogue/database_error.h"
#include "search/catalogue_search.h"
#include "search/fx_locate.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QString>

#include "bench_timing.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

using namespace velm;
using velm::bench::RunOverCatalogue;
using velm::bench::Median;
using velm::bench::Series;
using velm::bench::Stopwatch;

namespace {

constexpr int kIndexedHits = 10;
const char* const kMissText = "qzxj no such text";

QString Ms(double value) { return QString::number(value, 'f', value < 10 ? 3 : 1) + QStringLiteral(" ms"); }

void PrintRow(const Series& s) {
    std::printf("%-44s %11s %11s %11s", s.label, qPrintable(Ms(s.Min())), qPrintable(Ms(Median(s.wall))),
                qPrintable(Ms(Median(s.cpu))));
    if (s.targetMs > 0)
        std::printf(" %9s  %s", qPrintable(QStringLiteral("< %1 ms").arg(s.targetMs)),
                    Median(s.wall) < s.targetMs ? "met" : "MISSED");
    std::printf("\n");
    if (!s.note.isEmpty())
        std::printf("    %s\n", qPrintable(s.note));
}

void PrintTable(const std::vector<Series*>& series) {
    std::printf("%-44s %11s %11s %11s %9s\n", "measurement", "min", "median", "cpu median", "target");
    for (const Series* s : series)
        if (s->targetMs > 0)
            PrintRow(*s);
    std::printf("\nfor reference:\n");
    for (const Series* s : series)
        if (s->targetMs <= 0)
            PrintRow(*s);
}

double LoadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return file.readLine().split(' ').value(0).toDouble();
}

QString Name(TTable& table) { return table.FieldByName(QStringLiteral("ProductName"))->AsString(); }

// One search with the program's settings; checks the outcome the timing relies on.
void Search(TfxLocate& locate, const char* field, const QString& text, TfxMatchType type, bool expectFound) {
    locate.SetDataField(QString::fromLatin1(field));
    locate.SetFindText(text);
    locate.SetMatchType(type);
    locate.SetIgnoreCase(true);
    locate.FindFirst();
    if (locate.Found() != expectFound || locate.Error() != erNone)
        throw EDatabaseError(QStringLiteral("search for \"%1\" in %2: found %3, error %4")
                                 .arg(text, QString::fromLatin1(field))
                                 .arg(locate.Found())
                                 .arg(locate.Error()));
}

constexpr int kResultsListHits = 200;
constexpr double kResultsListTargetMs = 20;

// The floor: the same columns scanned with LIKE, the package texts first, then the
// members' names, until as many rows as the list shows.
int LikeScan(TArchiveIndex& index, const QString& text) {
    TDatabase& database = index.Database();
    const QString pattern = QLatin1Char('%') + text + QLatin1Char('%');
    TStatement& packages = database.Prepare(
        QStringLiteral("SELECT p.ID, p.ProductName FROM %1.CPInfo p WHERE p.ProductName LIKE ?1 OR "
                       "p.ProductDescription LIKE ?1 OR p.Author LIKE ?1 OR p.AuthorEmail LIKE ?1 OR "
                       "p.FileURL LIKE ?1 OR p.Comments LIKE ?1 OR p.ArchiveFile LIKE ?1 LIMIT ?2")
            .arg(QuoteIdentifier(index.PackageSchema())));
    TStatement& members = database.Prepare(
        QStringLiteral("SELECT m.PackageID, m.Name FROM %1.ArchiveMember m WHERE m.Name LIKE ?1 LIMIT ?2")
            .arg(QuoteIdentifier(index.Schema())));
    int rows = 0;
    for (TStatement* select : {&packages, &members}) {
        if (rows >= kResultsListHits)
            break;
        select->Bind(1, pattern);
        select->Bind(2, kResultsListHits - rows);
        while (select->Step()) {
            ++rows;
            select->ColumnText(1);
        }
        select->Reset();
    }
    return rows;
}

void ResultsList(TDMvelm& module, int repeats, const QStringList& texts) {
    TArchiveIndex& index = *module.ArchiveIndex();
    const TCatalogueSearch search(index);
    std::printf("\nResults list: the first %d hits, over %lld archive members; load average %.1f.\n", kResultsListHits,
                static_cast<long long>(index.MemberCount()), LoadAverage());
    std::printf("%-8s %-8s %6s %6s %12s %12s %12s %8s %s\n", "text", "kind", "hits", "floor", "median", "cpu median",
                "floor median", "ratio", "target");
    const char* const kinds[] = {"miss", "rare", "common"};
    for (int k = 0; k < texts.size() && k < 3; ++k) {
        const QString& text = texts.at(k);
        Series find{"", kResultsListTargetMs, QString(), {}, {}};
        Series floor{"", 0, QString(), {}, {}};
        int hits = 0;
        int floorRows = 0;
        for (int run = 0; run <= repeats; ++run) {
            Stopwatch watch;
            hits = int(search.Find(text, kResultsListHits).size());
            if (run > 0)
                find.Add(watch);
            watch = Stopwatch();
            floorRows = LikeScan(index, text);
            if (run > 0)
                floor.Add(watch);
        }
        const double median = Median(find.wall);
        std::printf("%-8s %-8s %6d %6d %12s %12s %12s %7.0fx %s\n", qPrintable(text), kinds[k], hits, floorRows,
                    qPrintable(Ms(median)), qPrintable(Ms(Median(find.cpu))), qPrintable(Ms(Median(floor.wall))),
                    median > 0 ? Median(floor.wall) / median : 0.0, median < kResultsListTargetMs ? "met" : "MISSED");
    }
}

// The texts of the results list: a miss, a rare and a common hit in the catalogue that
// generate-catalogue writes with its default seed and --members; LOCATE_BENCH_TEXTS
// (MISS,RARE,COMMON) names others.
QStringList ResultTexts() {
    const QString given = qEnvironmentVariable("LOCATE_BENCH_TEXTS");
    if (!given.isEmpty())
        return given.split(QLatin1Char(','));
    return {QStringLiteral("FooGr"), QStringLiteral("Xylo9"), QStringLiteral("Utils")};
}

int Run(const QString& programFolder, int repeats) {
    auto module = std::make_unique<TDMvelm>(programFolder);
    DMvelm = module.get();
    if (!module->Open())
        return 1;
    TTable& packages = *module->TableCPInfo;
    const int rows = packages.RecordCount();
    if (rows == 0)
        throw EDatabaseError(QStringLiteral("the catalogue has no packages"));

    std::vector<QString> names;
    for (int i = 0; i < kIndexedHits; ++i) {
        packages.First();
        const int target = static_cast<int>((static_cast<long long>(rows) * (2 * i + 1)) / (2 * kIndexedHits));
        for (int r = 0; r < target && !packages.Eof(); ++r)
            packages.Next();
        names.push_back(i % 2 ? Name(packages).toUpper() : Name(packages).toLower());
    }
    // A miss returns the cursor here; the checks below rely on it.
    packages.First();
    for (int r = 0; r < rows / 2; ++r)
        packages.Next();
    const QString start = Name(packages);
    const TBookmark startRecord = packages.GetBookmark();

    TfxLocate locate;
    locate.SetDataSource(module->DSCPInfo);
    const int interval = locate.BackgroundInterval();

    std::printf("Catalogue %s: %d packages.\n",
                qPrintable(QDir::toNativeSeparators(QDir(programFolder).filePath(QStringLiteral("dbase")))), rows);
    std::printf("%d timed runs after one untimed run; load average %.1f at the start.\n\n", repeats, LoadAverage());

    Series descMiss{"miss: ProductDescription, Anywhere", 400,
                    QStringLiteral("full scan, controls detached, events every %1 records").arg(interval), {}, {}};
    Series indexedHit{"hit: ProductName, Full, through the index", 5,
                      QStringLiteral("average over %1 names in changed letter case").arg(names.size()), {}, {}};
    Series nameMiss{"miss: ProductName, Anywhere", 0,
                    QStringLiteral("full scan, controls detached, events every %1 records").arg(interval), {}, {}};
    Series descMissEvery{"miss: ProductDescription, events every record", 0,
                         QStringLiteral("as the first row, with the event loop run before each record"), {}, {}};
    Series memoRead{"read every ProductDescription (no engine)", 0,
                    QStringLiteral("First..Eof with MemoBytes: what the table layer costs a memo scan"), {}, {}};
    Series events{"processEvents alone, once per package", 0, QString(), {}, {}};

    for (int run = 0; run <= repeats; ++run) {
        const bool timed = run > 0;
        packages.GotoBookmark(startRecord);
        Stopwatch watch;
        locate.SetBackgroundInterval(interval);
        Search(locate, "ProductDescription", QString::fromLatin1(kMissText), maAnywhere, false);
        if (timed)
            descMiss.Add(watch);

        watch = Stopwatch();
        Search(locate, "ProductName", QString::fromLatin1(kMissText), maAnywhere, false);
        if (timed)
            nameMiss.Add(watch);

        locate.SetBackgroundInterval(1);
        watch = Stopwatch();
        Search(locate, "ProductDescription", QString::fromLatin1(kMissText), maAnywhere, false);
        if (timed)
            descMissEvery.Add(watch);
        locate.SetBackgroundInterval(interval);
        if (Name(packages) != start)
            throw EDatabaseError(QStringLiteral("a miss did not return to the starting record"));

        watch = Stopwatch();
        for (const QString& name : names)
            Search(locate, "ProductName", name, maFull, true);
        if (timed)
            indexedHit.Add(watch, names.size());
        if (!locate.Optimized())
            throw EDatabaseError(QStringLiteral("the name search did not use the index"));
        if (!packages.IndexName().isEmpty())
            throw EDatabaseError(QStringLiteral("the name search left the index switched"));

        watch = Stopwatch();
        qsizetype bytes = 0;
        for (packages.First(); !packages.Eof(); packages.Next())
            bytes += packages.FieldByName(QStringLiteral("ProductDescription"))->MemoBytes().size();
        if (timed)
            memoRead.Add(watch);
        if (bytes == 0)
            throw EDatabaseError(QStringLiteral("the descriptions are empty"));

        watch = Stopwatch();
        for (int i = 0; i < rows; ++i)
            QCoreApplication::processEvents();
        if (timed)
            events.Add(watch);
    }
    PrintTable({&descMiss, &indexedHit, &nameMiss, &descMissEvery, &memoRead, &events});
    ResultsList(*module, repeats, ResultTexts());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // The engine lets a widget application's event loop run; measure with one.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RunOverCatalogue("locate-bench", Run);
}
