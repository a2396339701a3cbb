// Times the catalogue table layer on a catalogue written by generate-catalogue: opening
// the data module, walking every package, switching a category filter, and locating
// packages by name. Each measurement runs several times; the minimum and the median
// are shown beside the target the program has to meet.
#include "kit/messages.h"
#include "catalogue/data_module.h"
#include "catalogue/database_error.h"

#include "catalogue_content.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>

#include "bench_timing.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

using namespace velm;
using velm::bench::RunOverCatalogue;
using velm::bench::Median;
using velm::bench::Series;
using velm::bench::Stopwatch;

namespace {

constexpr int kCategorySample = 250;
constexpr int kLocateHits = 1000;
constexpr int kLocateMisses = 200;
constexpr std::uint64_t kSampleSeed = 7;

// What the timed runs work on, taken from an untimed first open.
struct Sample {
    int packages = 0;
    int categories = 0;
    int statuses = 0;
    std::vector<int> categoryIds;
    int largestCategory = 0;
    int largestCategoryRows = 0;
    std::vector<QString> names;   // existing product names, in varied letter case
    std::vector<QString> misses;  // names that no package has
    double averageCategoryRows = 0;
};

// The letter case of a stored name changed so that only a case-insensitive match finds it.
QString VaryCase(const QString& name, int how) {
    switch (how % 3) {
    case 0: return name.toUpper();
    case 1: return name.toLower();
    default: {
        QString mixed = name;
        for (qsizetype i = 0; i < mixed.size(); i += 2)
            mixed[i] = mixed[i].isUpper() ? mixed[i].toLower() : mixed[i].toUpper();
        return mixed;
    }
    }
}

int WalkCount(TTable& table, qsizetype& characters) {
    int rows = 0;
    for (table.First(); !table.Eof(); table.Next()) {
        characters += table.FieldByName(QStringLiteral("ProductName"))->AsString().size();
        ++rows;
    }
    return rows;
}

Sample TakeSample(TDMvelm& module) {
    Sample sample;
    bench::Rng rng(kSampleSeed);
    TTable& categories = *module.TableCategory;
    for (categories.First(); !categories.Eof(); categories.Next())
        sample.categoryIds.push_back(categories.FieldByName(QStringLiteral("ID"))->AsInteger());
    sample.categories = static_cast<int>(sample.categoryIds.size());
    sample.statuses = module.TableStatus->RecordCount();

    TTable& packages = *module.TableCPInfo;
    std::vector<QString> all;
    for (packages.First(); !packages.Eof(); packages.Next())
        all.push_back(packages.FieldByName(QStringLiteral("ProductName"))->AsString());
    sample.packages = static_cast<int>(all.size());

    for (int i = 0; i < kLocateHits && !all.empty(); ++i)
        sample.names.push_back(VaryCase(all[static_cast<std::size_t>(rng.Below(static_cast<int>(all.size())))], i));
    for (int i = 0; i < kLocateMisses; ++i)
        sample.misses.push_back(QStringLiteral("No Such Package %1").arg(i));

    // A sample of categories for the filter runs, and the largest one for reference.
    std::vector<int> ids = sample.categoryIds;
    for (std::size_t i = ids.size(); i > 1; --i)
        std::swap(ids[i - 1], ids[static_cast<std::size_t>(rng.Below(static_cast<int>(i)))]);
    if (ids.size() > static_cast<std::size_t>(kCategorySample))
        ids.resize(kCategorySample);
    sample.categoryIds = ids;
    long long rowsInSample = 0;
    for (int id : sample.categoryIds) {
        packages.SetFilter(QStringLiteral("Category = %1").arg(id));
        packages.SetFiltered(true);
        rowsInSample += packages.RecordCount();
        packages.SetFiltered(false);
    }
    sample.averageCategoryRows = sample.categoryIds.empty() ? 0 : double(rowsInSample) / sample.categoryIds.size();
    for (categories.First(); !categories.Eof(); categories.Next()) {
        const int id = categories.FieldByName(QStringLiteral("ID"))->AsInteger();
        packages.SetFilter(QStringLiteral("Category = %1").arg(id));
        packages.SetFiltered(true);
        if (packages.RecordCount() > sample.largestCategoryRows) {
            sample.largestCategoryRows = packages.RecordCount();
            sample.largestCategory = id;
        }
        packages.SetFiltered(false);
    }

    // The timed locates trust these answers, so check them once here.
    for (const QString& name : sample.names)
        if (!packages.Locate(QStringLiteral("ProductName"), name, true) ||
            packages.FieldByName(QStringLiteral("ProductName"))->AsString().compare(name, Qt::CaseInsensitive) != 0)
            throw EDatabaseError(QStringLiteral("Locate did not find \"%1\"").arg(name));
    for (const QString& name : sample.misses)
        if (packages.Locate(QStringLiteral("ProductName"), name, true))
            throw EDatabaseError(QStringLiteral("Locate found \"%1\", which is not there").arg(name));
    return sample;
}

QString Ms(double value) { return QString::number(value, 'f', value < 10 ? 3 : 1) + QStringLiteral(" ms"); }

void PrintRow(const Series& s) {
    std::printf("%-40s %11s %11s %11s", s.label, qPrintable(Ms(s.Min())), qPrintable(Ms(Median(s.wall))),
                qPrintable(Ms(Median(s.cpu))));
    if (s.targetMs > 0)
        std::printf(" %9s  %s", qPrintable(QStringLiteral("< %1 ms").arg(s.targetMs)),
                    Median(s.wall) < s.targetMs ? "met" : "MISSED");
    std::printf("\n");
    if (!s.note.isEmpty())
        std::printf("    %s\n", qPrintable(s.note));
}

void PrintTable(const std::vector<Series>& series) {
    std::printf("%-40s %11s %11s %11s %9s\n", "measurement", "min", "median", "cpu median", "target");
    for (const Series& s : series)
        if (s.targetMs > 0)
            PrintRow(s);
    std::printf("\nfor reference:\n");
    for (const Series& s : series)
        if (s.targetMs <= 0)
            PrintRow(s);
}

double LoadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return file.readLine().split(' ').value(0).toDouble();
}

int Run(const QString& programFolder, int repeats) {
    Series first{"first open in this process", 0, QStringLiteral("what start-up costs: fresh heap, files cached"), {}, {}};
    Sample sample;
    {
        const Stopwatch watch;
        auto module = std::make_unique<TDMvelm>(programFolder);
        DMvelm = module.get();
        if (!module->Open())
            return 1;
        first.Add(watch);
        sample = TakeSample(*module);
    }
    std::printf("Catalogue %s: %d packages, %d categories, %d status values.\n",
                qPrintable(QDir::toNativeSeparators(QDir(programFolder).filePath(QStringLiteral("dbase")))),
                sample.packages, sample.categories, sample.statuses);
    std::printf("%d timed runs after one untimed open; load average %.1f at the start.\n\n", repeats, LoadAverage());

    Series open{"open the three tables", 200, QStringLiteral("TDMvelm construction and Open: the key fields"), {}, {}};
    Series deferred{"read the deferred fields", 0,
                    QStringLiteral("LoadDeferredFields: what the program reads once its window is shown"), {}, {}};
    Series walk{"full walk reading ProductName", 100,
                QStringLiteral("First..Eof over %1 rows").arg(sample.packages), {}, {}};
    Series category{"one category: filter on, walk, off", 2,
                    QStringLiteral("average over %1 categories of %2 rows on average")
                        .arg(sample.categoryIds.size())
                        .arg(sample.averageCategoryRows, 0, 'f', 1),
                    {}, {}};
    Series hit{"one locate on ProductName (hit)", 1,
               QStringLiteral("average over %1 existing names in changed letter case").arg(sample.names.size()), {}, {}};
    Series miss{"one locate on ProductName (miss)", 1,
                QStringLiteral("average over %1 names that are not there").arg(sample.misses.size()), {}, {}};
    Series reopen{"reopen TableCPInfo alone", 0, QStringLiteral("Close, then Open: reading the key fields"), {}, {}};
    Series largest{"largest category: filter on, walk, off", 0,
                   QStringLiteral("category %1 with %2 rows").arg(sample.largestCategory).arg(sample.largestCategoryRows),
                   {}, {}};
    Series close{"close and destroy the data module", 0, QString(), {}, {}};

    qsizetype characters = 0;
    for (int run = 0; run < repeats; ++run) {
        Stopwatch watch;
        auto module = std::make_unique<TDMvelm>(programFolder);
        DMvelm = module.get();
        if (!module->Open())
            return 1;
        open.Add(watch);
        TTable& packages = *module->TableCPInfo;

        // The rest of the short fields, as the program reads them after showing its window;
        // what follows runs on complete rows, as it does in the program.
        watch = Stopwatch();
        module->LoadDeferredFields();
        deferred.Add(watch);

        watch = Stopwatch();
        WalkCount(packages, characters);
        walk.Add(watch);

        auto oneCategory = [&](int id) {
            packages.SetFilter(QStringLiteral("Category = %1").arg(id));
            packages.SetFiltered(true);
            WalkCount(packages, characters);
            packages.SetFiltered(false);
        };
        watch = Stopwatch();
        for (int id : sample.categoryIds)
            oneCategory(id);
        category.Add(watch, sample.categoryIds.size());

        watch = Stopwatch();
        oneCategory(sample.largestCategory);
        largest.Add(watch);

        watch = Stopwatch();
        for (const QString& name : sample.names)
            packages.Locate(QStringLiteral("ProductName"), name, true);
        hit.Add(watch, sample.names.size());

        watch = Stopwatch();
        for (const QString& name : sample.misses)
            packages.Locate(QStringLiteral("ProductName"), name, true);
        miss.Add(watch, sample.misses.size());

        packages.Close();
        watch = Stopwatch();
        packages.Open();
        reopen.Add(watch);

        // The module removes its alias when destroyed, so the next run registers it afresh.
        watch = Stopwatch();
        module.reset();
        close.Add(watch);
    }
    if (characters == 0)
        std::printf("(the walks read no names)\n");
    PrintTable({open, walk, category, hit, miss, first, deferred, reopen, largest, close});
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return RunOverCatalogue("table-bench", Run);
}
