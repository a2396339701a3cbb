// Times the real program from process start to its main window shown and idle, beside
// the floor (startup-floor: a bare Qt program showing the same tree), on one or more
// catalogues, and compares their peak memory.
//   startup-bench [--runs N] [--velmora PROGRAM]... [--floor PROGRAM] FOLDER...
// Each FOLDER holds a catalogue in FOLDER/dbase. Every program runs N times on every
// catalogue (after one untimed run), in turns, so a change in the machine's load falls
// on all of them alike.
#include "bench_timing.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

using velm::bench::Median;

namespace {

constexpr int kTimeoutMs = 120000;
const char kIdleLine[] = "Main window shown and idle";

double MonotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

struct Program {
    QString label;
    QString path;
    bool isFloor = false;
};

struct Catalogue {
    QString folder;  // holds dbase/
    QString label;
};

// One program on one catalogue: where it runs from and what it measured.
struct Subject {
    const Program* program;
    const Catalogue* catalogue;
    QString programFile;  // the file started: the program runs from its own folder
    QStringList arguments;
    QString stderrFile;
    std::vector<double> ms;
    std::vector<double> peakMb;
};

struct RunResult {
    bool ok = false;
    double ms = 0;
    double peakMb = 0;
    QString failure;
};

// Starts the program with stdout on a pipe, takes the time when the idle line arrives
// and the peak resident memory from the kernel's account of the ended child.
RunResult RunOnce(const Subject& subject, const QString& configFolder) {
    RunResult result;
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        result.failure = QStringLiteral("pipe: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return result;
    }
    const QByteArray file = QFile::encodeName(subject.programFile);
    std::vector<QByteArray> args{file};
    for (const QString& a : subject.arguments)
        args.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const QByteArray errPath = QFile::encodeName(subject.stderrFile);
    const QByteArray config = QFile::encodeName(configFolder);

    const double start = MonotonicMs();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        if (FILE* err = std::freopen(errPath.constData(), "a", stderr); !err)
            _exit(126);
        // The user's own settings are never touched.
        setenv("XDG_CONFIG_HOME", config.constData(), 1);
        execv(file.constData(), argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    if (pid < 0) {
        close(pipeFds[0]);
        result.failure = QStringLiteral("fork failed");
        return result;
    }
    QByteArray output;
    bool idle = false;
    while (!idle) {
        pollfd fd{pipeFds[0], POLLIN, 0};
        const int remaining = kTimeoutMs - static_cast<int>(MonotonicMs() - start);
        if (remaining <= 0 || poll(&fd, 1, remaining) <= 0)
            break;
        char buffer[256];
        const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        output.append(buffer, n);
        idle = output.contains(kIdleLine);
        if (idle)
            result.ms = MonotonicMs() - start;
    }
    if (!idle)
        kill(pid, SIGKILL);
    close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    result.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    result.ok = idle && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!result.ok)
        result.failure = idle ? QStringLiteral("ended with status %1").arg(status)
                              : QStringLiteral("never reported its window shown and idle");
    return result;
}

QString Platform() {
    const QByteArray qpa = qgetenv("QT_QPA_PLATFORM");
    if (!qpa.isEmpty())
        return QString::fromLocal8Bit(qpa);
    const QByteArray display = qgetenv("DISPLAY");
    return display.isEmpty() ? QStringLiteral("none (no DISPLAY, no QT_QPA_PLATFORM)")
                             : QStringLiteral("xcb on display %1").arg(QString::fromLocal8Bit(display));
}

double LoadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return file.readLine().split(' ').value(0).toDouble();
}

// Rows of one table file, for the report.
qint64 RowCount(const QString& folder, const char* file, const char* table) {
    sqlite3* db = nullptr;
    qint64 rows = -1;
    const QByteArray path = QFile::encodeName(QDir(folder).filePath(QStringLiteral("dbase/") + QLatin1String(file)));
    if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* count = nullptr;
        const QByteArray sql = QByteArray("SELECT count(*) FROM ") + table;
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &count, nullptr) == SQLITE_OK && sqlite3_step(count) == SQLITE_ROW)
            rows = sqlite3_column_int64(count, 0);
        sqlite3_finalize(count);
    }
    sqlite3_close_v2(db);
    return rows;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: startup-bench [--runs N] [--velmora PROGRAM]... [--floor PROGRAM] FOLDER...\n"
                 "  Each FOLDER holds a catalogue in FOLDER/dbase. PROGRAM defaults to the velmora\n"
                 "  and startup-floor of this build; give --velmora more than once to compare builds.\n"
                 "  N timed runs of each (5 by default) after one untimed run.\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString here = QCoreApplication::applicationDirPath();
    int runs = 5;
    std::vector<Program> programs;
    Program floor{QStringLiteral("floor"), QDir(here).filePath(QStringLiteral("startup-floor")), true};
    std::vector<Catalogue> catalogues;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if ((a == QLatin1String("--runs") || a == QLatin1String("--velmora") || a == QLatin1String("--floor")) &&
            i + 1 >= args.size())
            return Usage();
        if (a == QLatin1String("--runs")) {
            bool ok = false;
            runs = args.at(++i).toInt(&ok);
            if (!ok || runs < 1 || runs > 1000)
                return Usage();
        } else if (a == QLatin1String("--velmora")) {
            const QString path = QFileInfo(args.at(++i)).absoluteFilePath();
            programs.push_back({QStringLiteral("velmora %1").arg(programs.size() + 1), path, false});
        } else if (a == QLatin1String("--floor")) {
            floor.path = QFileInfo(args.at(++i)).absoluteFilePath();
        } else if (a.startsWith(QLatin1Char('-'))) {
            return Usage();
        } else {
            catalogues.push_back({QFileInfo(a).absoluteFilePath(), QFileInfo(a).fileName()});
        }
    }
    if (catalogues.empty())
        return Usage();
    if (programs.empty())
        programs.push_back({QStringLiteral("velmora"), QDir(here).filePath(QStringLiteral("../velmora")), false});
    else if (programs.size() == 1)
        programs.front().label = QStringLiteral("velmora");
    programs.insert(programs.begin(), floor);
    for (const Program& p : programs)
        if (!QFileInfo(p.path).isExecutable()) {
            std::fprintf(stderr, "startup-bench: %s is not a program\n", qPrintable(p.path));
            return 2;
        }
    for (const Catalogue& c : catalogues)
        if (!QFileInfo(QDir(c.folder).filePath(QStringLiteral("dbase/CPInfo.DB"))).isFile()) {
            std::fprintf(stderr, "startup-bench: %s holds no catalogue in dbase/\n", qPrintable(c.folder));
            return 2;
        }

    // The program finds its catalogue beside itself: each velmora gets a folder of its
    // own per catalogue, with a copy of the program and dbase/ linked to the catalogue.
    QTemporaryDir work;
    if (!work.isValid())
        return 1;
    const QString configFolder = work.filePath(QStringLiteral("config"));
    QDir().mkpath(configFolder);
    std::vector<Subject> subjects;
    for (const Catalogue& c : catalogues)
        for (const Program& p : programs) {
            Subject s{&p, &c, p.path, {}, work.filePath(QStringLiteral("stderr-%1.log").arg(subjects.size())), {}, {}};
            if (p.isFloor) {
                s.arguments = {c.folder};
            } else {
                const QString folder = work.filePath(QStringLiteral("program-%1").arg(subjects.size()));
                QDir().mkpath(folder);
                s.programFile = QDir(folder).filePath(QStringLiteral("velmora"));
                if (!QFile::copy(p.path, s.programFile) ||
                    !QFile::link(QDir(c.folder).filePath(QStringLiteral("dbase")), QDir(folder).filePath(QStringLiteral("dbase")))) {
                    std::fprintf(stderr, "startup-bench: cannot lay out %s\n", qPrintable(folder));
                    return 1;
                }
                s.arguments = {QStringLiteral("--quit-when-idle")};
            }
            subjects.push_back(s);
        }

    std::printf("Platform: %s. Load average %.1f at the start.\n", qPrintable(Platform()), LoadAverage());
    for (const Program& p : programs)
        std::printf("  %-10s %s\n", qPrintable(p.label), qPrintable(p.path));
    std::printf("%d timed runs of each after one untimed run, in turns.\n\n", runs);
    for (int run = 0; run <= runs; ++run)
        for (Subject& s : subjects) {
            const RunResult r = RunOnce(s, configFolder);
            if (!r.ok) {
                QFile err(s.stderrFile);
                const QByteArray said = err.open(QIODevice::ReadOnly) ? err.readAll().right(2000) : QByteArray();
                std::fprintf(stderr, "startup-bench: %s on %s %s\n%s\n", qPrintable(s.program->label),
                             qPrintable(s.catalogue->label), qPrintable(r.failure), said.constData());
                return 1;
            }
            if (run > 0) {
                s.ms.push_back(r.ms);
                s.peakMb.push_back(r.peakMb);
            }
        }

    std::printf("%-16s %-10s %14s %14s %12s %12s\n", "catalogue", "program", "shown & idle", "peak memory",
                "time ratio", "memory ratio");
    for (const Catalogue& c : catalogues) {
        const Subject* floorRun = nullptr;
        for (const Subject& s : subjects)
            if (s.catalogue == &c && s.program->isFloor)
                floorRun = &s;
        for (const Subject& s : subjects) {
            if (s.catalogue != &c)
                continue;
            const double ms = Median(s.ms);
            const double mb = Median(s.peakMb);
            std::printf("%-16s %-10s %11.0f ms %11.1f MB", qPrintable(c.label), qPrintable(s.program->label), ms, mb);
            if (!s.program->isFloor)
                std::printf(" %11.2f x %11.2f x", ms / Median(floorRun->ms), mb / Median(floorRun->peakMb));
            std::printf("\n");
        }
        std::printf("%-16s (%lld packages, %lld categories)\n", "", RowCount(c.folder, "CPInfo.DB", "CPInfo"),
                    RowCount(c.folder, "Category.db", "Category"));
    }
    std::printf("\nMedians; the ratios are to the floor on the same catalogue (goal: at most 1.5).\n");
    std::printf("Load average %.1f at the end.\n", LoadAverage());
    return 0;
}
