// Times the record locate engine on a catalogue written by generate-catalogue: searches
// that find nothing and so scan every package (on a name and on the description memo),
// and an exact name search through the name index. The engine runs as the program runs
// it: controls detached, events processed while scanning.
#include "kit/messages.h"
#include "catalogue/data_module.h"
#include "catalogue/database_error.h"
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
