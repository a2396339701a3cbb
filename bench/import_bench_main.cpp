// Times the import command on many archives into a large catalogue, with no question
// asked: every archive carries an .inf file naming a category that exists.
//   import-bench FOLDER [ARCHIVES] [KB]
// FOLDER holds a generated catalogue in FOLDER/dbase; it is changed (the imported
// packages stay), so run it on a copy.
#include "../tests/import/zip_builder.h"
#include "app/file_dialogs.h"
#include "app/messages.h"
#include "app/settings_store.h"
#include "browser/form_main.h"
#include "catalogue/data_module.h"
#include "catalogue/table.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
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
    QStringList files;
    const QByteArray filler = Noise(kilobytes * 1024, 7);
    for (int i = 0; i < archiveCount; ++i) {
        const QByteArray inf = "[DSP upload]\r\nCategory=" + categories.at(i % categories.size()).toUtf8() +
                               "\r\nVersion=1." + QByteArray::number(i % 100) +
                               "\r\nDescription=Imported package number " + QByteArray::number(i) +
                               "\r\nDelphi 3.0=Y\r\n[Uploader]\r\nAuthor name=Bench\r\n";
        velm::test::ZipBuilder zip;
        zip.Add("lib/payload.bin", filler).Add("Bench.inf", inf);
        const QString path = archives.filePath(QStringLiteral("BenchImport%1.zip").arg(i));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(zip.Build()) < 0)
            return 1;
        files << path;
    }

    velm::TFormMain window(folder);
    window.show();
    QApplication::processEvents();
    window.TreeViewCategories()->setCurrentItem(window.TreeViewCategories()->topLevelItem(0));
    CountingPresenter messages;
    velm::SetMessagePresenter(&messages);
    FixedPicks picks(files);
    velm::SetFileDialogPresenter(&picks);

    QElapsedTimer wall;
    const double cpuBefore = CpuSeconds();
    wall.start();
    window.FileImportComponentClick();
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    const double cpu = CpuSeconds() - cpuBefore;

    double load = 0;
    if (QFile loadavg(QStringLiteral("/proc/loadavg")); loadavg.open(QIODevice::ReadOnly))
        load = loadavg.readAll().split(' ').value(0).toDouble();
    std::printf("archives imported:   %d of %d KB each (load average %.2f)\n", archiveCount, kilobytes, load);
    std::printf("wall time:           %.2f s  (%.1f archives/s; target >= 100)\n", seconds, archiveCount / seconds);
    std::printf("CPU time:            %.2f s  (%.1f archives/s of CPU)\n", cpu, archiveCount / cpu);
    std::printf("messages shown:      %d\n", messages.shown);
    velm::SetMessagePresenter(nullptr);
    velm::SetFileDialogPresenter(nullptr);
    window.close();
    return messages.shown == 0 ? 0 : 1;
}
