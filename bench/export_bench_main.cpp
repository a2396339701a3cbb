// Times the main window's export and print commands on a large catalogue: CSV and HTML
// of the whole catalogue, and the PDF of one category and of the whole catalogue. Beside
// them, as a floor, the same CSV written by a bare loop over SQLite's C interface.
//   export-bench FOLDER [OUTDIR] [REPEATS] [ONLY]
// FOLDER holds a generated catalogue in FOLDER/dbase (it is only read); the files go
// to OUTDIR (a temporary folder by default) and are kept there for a look. ONLY runs
// one command alone, for a profiler: csv, html, pdf-category or pdf-all.
#include "kit/file_dialogs.h"
#include "kit/settings_store.h"
#include "browser/form_main.h"
#include "catalogue/data_module.h"
#include "catalogue/table.h"
#include "report/print_dialog.h"

#include "bench_timing.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <sqlite3.h>

#include <cstdio>
#include <string>

using namespace velm;
using velm::bench::ConsolePresenter;
using velm::bench::Median;
using velm::bench::Series;
using velm::bench::Stopwatch;

namespace {

class SaveTo : public FileDialogPresenter {
public:
    QStringList PickFilesToOpen(QWidget*, const TOpenDialogRequest&) override { return {}; }
    TSavePick PickFileToSave(QWidget*, const TSaveDialogRequest&) override { return {file, filter}; }
    QString file;
    int filter = 0;
};

class PrintTo : public PrintPresenter {
public:
    void Present(QWidget*, const TPrintRequest& request) override {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        printer.setPageSize(QPageSize(QPageSize::A4));
        request.Print(printer, choice);
    }
    QString file;
    int choice = 0;
};

// The most memory the process has held so far, in MB.
double PeakMegabytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    return 0;
}

double Megabytes(const QString& file) { return double(QFileInfo(file).size()) / (1024 * 1024); }

// The floor: the package rows in the export's order and text, straight from SQLite
// into a buffered file, with no table layer, no progress dialog and no Qt strings.
bool BareSqliteCsv(const QString& dataFolder, const QString& file) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2((dataFolder + QStringLiteral("CPInfo.DB")).toUtf8().constData(), &db, SQLITE_OPEN_READONLY,
                        nullptr) != SQLITE_OK)
        return false;
    const std::string attach = "ATTACH '" + (dataFolder + QStringLiteral("Category.db")).toStdString() +
                               "' AS c; ATTACH '" + (dataFolder + QStringLiteral("Status.db")).toStdString() +
                               "' AS s;";
    sqlite3_exec(db, attach.c_str(), nullptr, nullptr, nullptr);
    const char* sql =
        "SELECT p.ID, p.ProductName, p.ProductDescription, p.Category, p.FreeShareCommercial, p.VersionMajor,"
        " p.VersionMinor, p.Release, p.Build,"
        " CASE WHEN p.Beta IS NULL THEN NULL WHEN p.Beta THEN 'True' ELSE 'False' END,"
        " p.ReleaseDate, p.Compatibility, p.Author, p.DownloadDate, p.Status, p.Comments, substr(st.Description, 1, 30),"
        " p.Rating, substr(cat.Name, 1, 30), p.FileURL, p.AuthorEmail,"
        " CASE WHEN p.FullSourceIncl IS NULL THEN NULL WHEN p.FullSourceIncl THEN 'True' ELSE 'False' END,"
        " p.ArchiveFile, p.ArchiveFilePath"
        " FROM c.Category cat JOIN CPInfo p ON p.Category = cat.ID LEFT JOIN s.Status st ON st.ID = p.Status"
        " ORDER BY cat.Name COLLATE NOCASE, p.ID";
    sqlite3_stmt* select = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &select, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "floor: %s\n", sqlite3_errmsg(db));
        sqlite3_close(db);
        return false;
    }
    std::FILE* out = std::fopen(file.toLocal8Bit().constData(), "wb");
    std::string buffer;
    buffer.reserve(1 << 21);
    const int columns = sqlite3_column_count(select);
    buffer += "ID,ProductName,ProductDescription,Category,FreeShareCommercial,VersionMajor,VersionMinor,Release,Build,"
              "Beta,ReleaseDate,Compatibility,Author,DownloadDate,Status,Comments,StatusDescr,Rating,CategoryName,"
              "FileURL,AuthorEmail,FullSourceIncl,ArchiveFile,ArchiveFilePath,WorksWith\r\n";
    while (sqlite3_step(select) == SQLITE_ROW) {
        for (int i = 0; i < columns; ++i) {
            if (i > 0)
                buffer += ',';
            const char* text = reinterpret_cast<const char*>(sqlite3_column_text(select, i));
            if (!text)
                continue;
            const std::string_view value(text, size_t(sqlite3_column_bytes(select, i)));
            if (value.find_first_of(",\"\r\n") == std::string_view::npos) {
                buffer += value;
                continue;
            }
            buffer += '"';
            for (const char c : value) {
                if (c == '"')
                    buffer += '"';
                buffer += c;
            }
            buffer += '"';
        }
        // The generated catalogues record no IDE versions: their column stays empty.
        buffer += ",\r\n";
        if (buffer.size() >= (1 << 20)) {
            std::fwrite(buffer.data(), 1, buffer.size(), out);
            buffer.clear();
        }
    }
    std::fwrite(buffer.data(), 1, buffer.size(), out);
    std::fclose(out);
    sqlite3_finalize(select);
    sqlite3_close(db);
    return true;
}

bool SameBytes(const QString& a, const QString& b) {
    QFile first(a), second(b);
    if (!first.open(QIODevice::ReadOnly) || !second.open(QIODevice::ReadOnly) || first.size() != second.size())
        return false;
    while (!first.atEnd())
        if (first.read(1 << 20) != second.read(1 << 20))
            return false;
    return true;
}

void PrintRow(const Series& series, const QString& file) {
    std::printf("%-34s %9.1f %9.1f %9.1f %9.1f MB %s\n", series.label, series.Min(), Median(series.wall),
                Median(series.cpu), Megabytes(file), qPrintable(series.note));
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2 || argc > 5) {
        std::fprintf(stderr, "usage: export-bench FOLDER [OUTDIR] [REPEATS] [csv|html|pdf-category|pdf-all]\n");
        return 2;
    }
    const QString folder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath() + QLatin1Char('/');
    QTemporaryDir temporary;
    const QString outFolder = argc > 2 ? QDir(QString::fromLocal8Bit(argv[2])).absolutePath() : temporary.path();
    QDir().mkpath(outFolder);
    const int repeats = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    const QString only = argc > 4 ? QString::fromLocal8Bit(argv[4]) : QString();
    const auto runs = [&only](const char* name) { return only.isEmpty() || only == QLatin1String(name); };
    const auto out = [&outFolder](const char* name) { return outFolder + QLatin1Char('/') + QLatin1String(name); };

    SetSettingsFilePath(outFolder + QStringLiteral("/bench-settings.reg"));
    ConsolePresenter messages;
    SetMessagePresenter(&messages);
    TDMvelm module(folder);
    DMvelm = &module;
    if (!module.Open())
        return 1;
    const double openedMb = PeakMegabytes();

    TFormMain window(folder);
    window.show();
    QApplication::processEvents();
    QTreeWidget* tree = window.TreeViewCategories();
    // The largest category stands for "a category".
    QTreeWidgetItem* largest = tree->topLevelItem(0);
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        if (tree->topLevelItem(i)->childCount() > largest->childCount())
            largest = tree->topLevelItem(i);
    tree->setCurrentItem(largest);
    const double shownMb = PeakMegabytes();

    SaveTo save;
    SetFileDialogPresenter(&save);
    PrintTo print;
    SetPrintPresenter(&print);
    const int packages = module.TableCPInfo->RecordCount();
    double load = 0;
    if (QFile loadavg(QStringLiteral("/proc/loadavg")); loadavg.open(QIODevice::ReadOnly))
        load = loadavg.readAll().split(' ').value(0).toDouble();
    std::printf("catalogue: %d packages, %d categories; largest category \"%s\" with %d (load average %.2f)\n",
                packages, tree->topLevelItemCount(), qPrintable(largest->text(0)), largest->childCount(), load);
    std::printf("%-34s %9s %9s %9s %12s\n", "", "min ms", "median ms", "cpu ms", "size");

    Series floor{"floor: bare sqlite3 loop, CSV", 0, {}, {}, {}};
    Series csv{"Export... CSV, whole catalogue", 2000, QStringLiteral("(target < 2000 ms)"), {}, {}};
    Series html{"Export... HTML, whole catalogue", 0, {}, {}, {}};
    Series pdfCategory{"Print... PDF, largest category", 0, {}, {}, {}};
    Series pdfWhole{"Print... PDF, whole catalogue", 0, {}, {}, {}};
    // One command, answered by the file dialog or the print dialog with this file and
    // the file type or report at this index.
    const auto time = [&](const char* name, Series& series, void (TFormMain::*command)(), const char* file,
                          int choice) {
        if (!runs(name))
            return;
        save.file = print.file = out(file);
        save.filter = print.choice = choice;
        Stopwatch watch;
        (window.*command)();
        series.Add(watch);
    };
    for (int run = 0; run < repeats; ++run) {
        if (only.isEmpty()) {
            Stopwatch floorWatch;
            if (!BareSqliteCsv(module.DataFolder(), out("floor.csv")))
                return 1;
            floor.Add(floorWatch);
        }
        time("csv", csv, &TFormMain::FileExportClick, "catalogue.csv", 2);     // CSV, whole catalogue
        time("html", html, &TFormMain::FileExportClick, "catalogue.html", 3);  // HTML, whole catalogue
        time("pdf-category", pdfCategory, &TFormMain::FilePrintClick, "category.pdf", 0);
    }
    time("pdf-all", pdfWhole, &TFormMain::FilePrintClick, "catalogue.pdf", 1);
    for (const auto& [series, file] : {std::pair{&floor, "floor.csv"}, std::pair{&csv, "catalogue.csv"},
                                       std::pair{&html, "catalogue.html"}, std::pair{&pdfCategory, "category.pdf"},
                                       std::pair{&pdfWhole, "catalogue.pdf"}})
        if (!series->wall.empty())
            PrintRow(*series, out(file));
    const bool same = !only.isEmpty() || SameBytes(out("floor.csv"), out("catalogue.csv"));
    if (only.isEmpty())
        std::printf("CSV of the command and of the floor byte for byte the same: %s\n", same ? "yes" : "NO");
    std::printf("peak memory: %.0f MB with the catalogue open, %.0f MB with the main window shown, %.0f MB after all"
                " runs\n",
                openedMb, shownMb, PeakMegabytes());
    std::printf("files in %s\n", qPrintable(QDir::toNativeSeparators(outFolder)));
    SetFileDialogPresenter(nullptr);
    SetPrintPresenter(nullptr);
    SetMessagePresenter(nullptr);
    window.close();
    return same ? 0 : 1;
}
