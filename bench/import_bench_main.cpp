// Times the import command on many archives into a large catalogue, with no question
// asked: every archive carries an .inf file naming a category that exists, and package
// files for three IDE versions, one of which only its text tells. The command runs on
// as many archives alike without reading the IDE versions and with it, in turns, to
// weigh what that reading costs. Then, in the same run, as many other archives
// dropped as one folder (spread over sub-folders) on the tree, which finds them below
// the folder first.
//   import-bench FOLDER [ARCHIVES] [KB]
// FOLDER holds a generated catalogue in FOLDER/dbase; it is changed (the imported
// packages stay), so run it on a copy.
#include "../tests/import/zip_builder.h"
#include "kit/file_dialogs.h"
#include "kit/messages.h"
#include "kit/settings.h"
#include "kit/settings_store.h"
#include "browser/form_main.h"
#include "browser/import_commands.h"
#include "browser/tree_node.h"
#include "catalogue/data_module.h"
#include "catalogue/database.h"
#include "catalogue/archive_index.h"
#include "catalogue/table.h"
#include "import/archive_works_with.h"
#include "import/velm_component.h"
#include "import/zip_directory.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <cstdio>
#include <ctime>

namespace {

// Counts message boxes instead of showing them; the import must show none.
class CountingPresenter : public velm::MessagePresenter {
public:
    bool Show(velm::MessageKind, const QString&, const QString& text) override {
        ++shown;
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return true;
    }
    int shown = 0;
};

class FixedPicks : public velm::FileDialogPresenter {
public:
    explicit FixedPicks(QStringList files) : files_(std::move(files)) {}
    QStringList PickFilesToOpen(QWidget*, const velm::TOpenDialogRequest&) override { return files_; }

private:
    QStringList files_;
};

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Bytes that do not compress, so an archive is as large on disk as asked.
QByteArray Noise(int size, quint32 seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i) {
        seed = seed * 1664525u + 1013904223u;
        bytes[i] = char(seed >> 24);
    }
    return bytes;
}

// How many versions the imports stored, by source: "3000 detected, 2000 info file".
QString WorksWithRows(velm::TDMvelm& module) {
    velm::TArchiveIndex* index = module.ArchiveIndex();
    if (!index)
        return QStringLiteral("no");
    velm::TStatement& count = index->Database().Prepare(
        QStringLiteral("SELECT count(*), Source FROM %1.WorksWith GROUP BY Source ORDER BY Source")
            .arg(velm::QuoteIdentifier(index->Schema())));
    QStringList parts;
    while (count.Step())
        parts << QStringLiteral("%1 %2").arg(count.ColumnInt(0)).arg(count.ColumnText(1));
    count.Reset();
    return parts.join(QStringLiteral(", "));
}

QStringList CategoryNames(velm::TTable& categories, int count) {
    QStringList names;
    for (categories.First(); !categories.Eof() && names.size() < count; categories.Next())
        names << categories.FieldByName(QStringLiteral("Name"))->AsString();
    return names;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: import-bench FOLDER [ARCHIVES] [KB]\n");
        return 2;
    }
    const QString folder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath() + QLatin1Char('/');
    const int archiveCount = argc > 2 ? std::atoi(argv[2]) : 1000;
    const int kilobytes = argc > 3 ? std::atoi(argv[3]) : 300;
    velm::SetSettingsFilePath(folder + QStringLiteral("bench-settings.reg"));
    velm::TDMvelm module(folder);
    velm::DMvelm = &module;
    if (!module.Open())
        return 1;

    const QStringList categories = CategoryNames(*module.TableCategory, 50);
    QTemporaryDir archives;
    const QByteArray filler = Noise(kilobytes * 1024, 7);
    // One archive; the folder is created as needed.
    const auto writeArchive = [&](const QString& path, int i) {
        const QByteArray inf = "[DSP upload]\r\nCategory=" + categories.at(i % categories.size()).toUtf8() +
                               "\r\nVersion=1." + QByteArray::number(i % 100) +
                               "\r\nDescription=Imported package number " + QByteArray::number(i) +
                               "\r\nDelphi 3.0=Y\r\n[Uploader]\r\nAuthor name=Bench\r\n";
        velm::test::ZipBuilder zip;
        zip.Add("lib/payload.bin", filler).Add("Bench.inf", inf);
        // As a package of today has them: a folder per version, and one whose version
        // only the package file's text tells.
        // Dated after the versions they name, as such files are.
        for (const auto& [name, text] :
             {std::pair{"Packages/D7/Bench_D7.dpk", "package Bench_D7;\r\nrequires rtl, vcl;\r\nend.\r\n"},
              std::pair{"Packages/Delphi 12 Athens/Bench.dpk", "package Bench;\r\n{$LIBSUFFIX AUTO}\r\nend.\r\n"},
              std::pair{"Packages/Current/BenchR.dpk", "package BenchR;\r\n{$LIBSUFFIX '280'}\r\nrequires rtl;\r\nend.\r\n"}}) {
            velm::test::ZipMember member(name, text);
            member.dosTime = quint32(((2024 - 1980) << 9 | 11 << 5 | 2) << 16);
            zip.Add(member);
        }
        for (int unit = 0; unit < 10; ++unit)
            zip.Add(QStringLiteral("Source/BenchUnit%1.pas").arg(unit).toUtf8(), "unit BenchUnit;\r\nend.\r\n");
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(zip.Build()) >= 0;
    };
    QStringList files;
    QStringList undetected;
    for (int i = 0; i < archiveCount; ++i) {
        const QString path = archives.filePath(QStringLiteral("picked/BenchImport%1.zip").arg(i));
        const QString other = archives.filePath(QStringLiteral("plain/BenchPlain%1.zip").arg(i));
        if (!writeArchive(path, i) || !writeArchive(other, i))
            return 1;
        files << path;
        undetected << other;
    }
    const QString dropFolder = archives.filePath(QStringLiteral("dropped"));
    for (int i = 0; i < archiveCount; ++i) {
        if (!writeArchive(QStringLiteral("%1/Vendor%2/BenchDrop%3.zip").arg(dropFolder).arg(i % 10).arg(i), i))
            return 1;
    }

    velm::TFormMain window(folder);
    window.show();
    QApplication::processEvents();
    QTreeWidgetItem* first = window.TreeViewCategories()->topLevelItem(0);
    window.TreeViewCategories()->setCurrentItem(first);
    CountingPresenter messages;
    velm::SetMessagePresenter(&messages);

    double load = 0;
    if (QFile loadavg(QStringLiteral("/proc/loadavg")); loadavg.open(QIODevice::ReadOnly))
        load = loadavg.readAll().split(' ').value(0).toDouble();
    std::printf("archives per run:    %d of %d KB each (load average %.2f)\n", archiveCount, kilobytes, load);
    const auto report = [archiveCount](const char* label, const QElapsedTimer& wall, double cpuBefore) {
        const double seconds = double(wall.nsecsElapsed()) / 1e9;
        const double cpu = CpuSeconds() - cpuBefore;
        std::printf("%-28s %.2f s wall (%.1f archives/s; target >= 100), %.2f s CPU (%.1f archives/s of CPU)\n", label,
                    seconds, archiveCount / seconds, cpu, archiveCount / cpu);
        return cpu;
    };

    // The same command on archives alike, without the versions read and with them, in
    // four turns each that take the lead by turns: what the first imports warm up, and
    // what the load of the machine does meanwhile, falls on both alike.
    constexpr int kTurns = 4;
    velm::TVELMComponent& component = window.ImportCommands()->Component();
    double wallOf[2] = {0, 0};
    double cpuOf[2] = {0, 0};
    for (int turn = 0; turn < 2 * kTurns; ++turn) {
        const bool reads = (turn % 2 == 1) != (turn / 2 % 2 == 1);
        const int from = archiveCount * (turn / 2) / kTurns;
        const int to = archiveCount * (turn / 2 + 1) / kTurns;
        FixedPicks picks((reads ? files : undetected).mid(from, to - from));
        velm::SetFileDialogPresenter(&picks);
        component.ReadsWorksWith = reads;
        QElapsedTimer wall;
        const double cpuBefore = CpuSeconds();
        wall.start();
        window.ImportCommands()->ImportComponents();
        wallOf[reads] += double(wall.nsecsElapsed()) / 1e9;
        cpuOf[reads] += CpuSeconds() - cpuBefore;
    }
    for (const bool reads : {false, true})
        std::printf("%-28s %.2f s wall (%.1f archives/s; target >= 100), %.2f s CPU (%.1f archives/s of CPU)\n",
                    reads ? "import command:" : "import, versions not read:", wallOf[reads],
                    archiveCount / wallOf[reads], cpuOf[reads], archiveCount / cpuOf[reads]);
    std::printf("reading the versions:        %+.1f %% of the import's CPU time, %+.1f %% of its wall time "
                "(target <= 10 %%); %s rows stored\n",
                100.0 * (cpuOf[1] - cpuOf[0]) / cpuOf[0], 100.0 * (wallOf[1] - wallOf[0]) / wallOf[0],
                qPrintable(WorksWithRows(module)));
    // The difference above is within the noise of a loaded machine; the reading alone,
    // timed on the same archives (their directories read beforehand, as the import has
    // them), is the steadier figure.
    double detectionCpu = 0;
    for (const QString& path : files) {
        const velm::ZipDirectory directory = velm::ReadZipDirectoryFile(path);
        const double before = CpuSeconds();
        velm::FoundWorksWith(path, directory.ArchiveStart(), directory.Entries, 4, QStringLiteral("Bench.inf"));
        detectionCpu += CpuSeconds() - before;
    }
    std::printf("the reading alone:           %.3f ms CPU per archive, %.1f %% of the import's CPU per archive "
                "(target <= 10 %%)\n",
                1000.0 * detectionCpu / archiveCount, 100.0 * detectionCpu / cpuOf[1]);
    component.ReadsWorksWith = true;
    velm::SetFileDialogPresenter(nullptr);

    QElapsedTimer wall;
    double cpuBefore = 0;
    // The drop as the event loop runs it after a drop event, without the question.
    velm::Settings().ShowDragNDropInfoMsg = false;
    cpuBefore = CpuSeconds();
    wall.start();
    window.ImportCommands()->DropFilesInto({dropFolder}, velm::RowIdOf(first));
    report("folder drop:", wall, cpuBefore);

    std::printf("messages shown:      %d\n", messages.shown);
    velm::SetMessagePresenter(nullptr);
    velm::SetFileDialogPresenter(nullptr);
    window.close();
    return messages.shown == 0 ? 0 : 1;
}
