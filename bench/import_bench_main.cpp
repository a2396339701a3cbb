// Times the import command on many archives into a large catalogue, with no question
// asked: every archive carries an .inf file naming a category that exists. The command
// runs on groups of them, without and with the archives' SHA-256 taken, in turns. Then, in the same run, as
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
#include "catalogue/table.h"

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
