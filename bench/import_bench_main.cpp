// Times the import command on many archives into a large catalogue, with no question
// asked: every archive carries an .inf file naming a category that exists, and package
// files for three IDE versions, one of which only its text tells. The command runs on
// groups of them, without and with the archives' SHA-256 taken, in turns; the reading of
// the IDE versions is then timed alone on the same archives. Then, in the same run, as
// many other archives dropped as one folder (spread over sub-folders) on the tree,
// which finds them below the folder first.
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
#include "import/archive_fingerprint.h"
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

#include <bit>
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
    QStringList PickFilesToOpen(QWidget*, const velm::TOpenDialogRequest&) override { return files; }
    QStringList files;
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
    for (int i = 0; i < archiveCount; ++i) {
        const QString path = archives.filePath(QStringLiteral("picked/BenchImport%1.zip").arg(i));
        if (!writeArchive(path, i))
            return 1;
        files << path;
    }
    const QString dropFolder = archives.filePath(QStringLiteral("dropped"));
    for (int i = 0; i < archiveCount; ++i) {
        // Not the picked archives' bytes: those would be set aside as catalogued already.
        if (!writeArchive(QStringLiteral("%1/Vendor%2/BenchDrop%3.zip").arg(dropFolder).arg(i % 10).arg(i),
                          archiveCount + i))
            return 1;
    }

    velm::TFormMain window(folder);
    window.show();
    QApplication::processEvents();
    QTreeWidgetItem* first = window.TreeViewCategories()->topLevelItem(0);
    window.TreeViewCategories()->setCurrentItem(first);
    CountingPresenter messages;
    velm::SetMessagePresenter(&messages);
    FixedPicks picks;
    velm::SetFileDialogPresenter(&picks);

    double load = 0;
    if (QFile loadavg(QStringLiteral("/proc/loadavg")); loadavg.open(QIODevice::ReadOnly))
        load = loadavg.readAll().split(' ').value(0).toDouble();
    std::printf("archives per run:    %d of %d KB each (load average %.2f)\n", archiveCount, kilobytes, load);
    const auto print = [](const char* label, int count, double seconds, double cpu, const char* target = "; target >= 100") {
        std::printf("%-20s %.2f s wall (%.1f archives/s%s), %.2f s CPU (%.1f archives/s of CPU)\n", label, seconds,
                    count / seconds, target, cpu, count / cpu);
    };
    const auto report = [&](const char* label, const QElapsedTimer& wall, double cpuBefore) {
        print(label, archiveCount, double(wall.nsecsElapsed()) / 1e9, CpuSeconds() - cpuBefore);
    };

    QElapsedTimer wall;
    double cpuBefore = 0;
    // Groups of 20 archives without and with fingerprints, in the Thue-Morse order
    // (0 1 1 0 1 0 0 1 ...): a cost that drifts as the catalogue grows, or a commit or
    // a merge of the text index now and then, falls on both alike.
    constexpr int kGroup = 20;
    double seconds[2] = {0, 0};
    double cpu[2] = {0, 0};
    int counts[2] = {0, 0};
    for (int part = 0; part * kGroup < archiveCount; ++part) {
        const bool fingerprint = std::popcount(unsigned(part)) % 2 == 1;
        picks.files = files.mid(part * kGroup, kGroup);
        velm::FingerprintAtImport = fingerprint;
        cpuBefore = CpuSeconds();
        wall.start();
        window.ImportCommands()->ImportComponents();
        seconds[fingerprint] += double(wall.nsecsElapsed()) / 1e9;
        cpu[fingerprint] += CpuSeconds() - cpuBefore;
        counts[fingerprint] += int(picks.files.size());
    }
    velm::FingerprintAtImport = true;
    print("command, no SHA-256:", counts[0], seconds[0], cpu[0]);
    print("command, SHA-256:", counts[1], seconds[1], cpu[1]);
    // What the hash takes by itself, over the same files (in the page cache by now).
    cpuBefore = CpuSeconds();
    wall.start();
    for (const QString& file : files)
        velm::FingerprintArchive(file);
    print("SHA-256 alone:", int(files.size()), double(wall.nsecsElapsed()) / 1e9, CpuSeconds() - cpuBefore, "");
    const double rate[2] = {counts[0] / seconds[0], counts[1] / seconds[1]};
    const double cpuRate[2] = {counts[0] / cpu[0], counts[1] / cpu[1]};
    std::printf("fingerprint cost:    %.1f %% of archives/s wall, %.1f %% of CPU (target <= 10 %%)\n",
                100.0 * (1.0 - rate[1] / rate[0]), 100.0 * (1.0 - cpuRate[1] / cpuRate[0]));
    std::printf("IDE versions stored: %s\n", qPrintable(WorksWithRows(*velm::DMvelm)));
    // The IDE versions' reading alone, timed on the same archives (their directories read
    // beforehand, as the import has them): beside a whole import it is within the noise
    // of a loaded machine.
    double detectionCpu = 0;
    for (const QString& path : files) {
        const velm::ZipDirectory directory = velm::ReadZipDirectoryFile(path);
        const double before = CpuSeconds();
        velm::FoundWorksWith(path, directory.ArchiveStart(), directory.Entries, 4, QStringLiteral("Bench.inf"));
        detectionCpu += CpuSeconds() - before;
    }
    std::printf("the reading alone:           %.3f ms CPU per archive, %.1f %% of the import's CPU per archive "
                "(target <= 10 %%)\n",
                1000.0 * detectionCpu / archiveCount, 100.0 * detectionCpu / (cpu[0] + cpu[1]));

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
