// Times the road from process start to the main window's tree shown and idle, over the
// catalogue in FOLDER/dbase, and reports the peak memory of the process.
//   startup-bench FOLDER
#include "app/settings_store.h"
#include "browser/form_main.h"
#include "catalogue/data_module.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <ctime>

namespace {

// Kilobytes of the process's peak resident memory, from the kernel's account.
long PeakResidentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Measured from main(); the loader's share before it is a few milliseconds.
double ProcessSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
    const double begin = ProcessSeconds();
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: startup-bench FOLDER\n");
        return 2;
    }
    const QString folder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath() + QLatin1Char('/');
    velm::SetSettingsFilePath(folder + QStringLiteral("bench-settings.reg"));
    velm::TDMvelm module(folder);
    velm::DMvelm = &module;
    if (!module.Open())
        return 1;
    const double opened = ProcessSeconds();
    velm::TFormMain window(folder);
    window.show();
    QTimer::singleShot(0, &app, [&] {
        const double idle = ProcessSeconds();
        std::printf("tables open:            %8.1f ms\n", (opened - begin) * 1000);
        std::printf("tree shown and idle:    %8.1f ms  (target < 1000 ms)\n", (idle - begin) * 1000);
        std::printf("top-level nodes:        %8d\n", window.TreeViewCategories()->topLevelItemCount());
        std::printf("peak resident memory:   %8.1f MB (target < 250 MB)\n", PeakResidentKb() / 1024.0);
        QApplication::quit();
    });
    return QApplication::exec();
}
