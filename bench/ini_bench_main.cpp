// Peak memory and time of reading hostile info files as the import reads an extracted
// one: many sections, many keys, one very long line. Each case runs in a child process
// of its own, so the peak resident memory it reports is that case's alone.
//   ini-bench [CASE...]
#include "import/package_info.h"
#include "import/zip_extractor.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

struct Case {
    const char* name;
    const char* what;
    std::function<QByteArray()> make;
};

QByteArray Sections(qint64 count) {
    QByteArray bytes;
    bytes.reserve(count * 26);
    for (qint64 i = 0; i < count; ++i)
        bytes += "[Section " + QByteArray::number(i) + "]\r\nk=v\r\n";
    return bytes + "[DSP upload]\r\nCategory=Tools\r\n";
}

QByteArray Keys(qint64 count) {
    QByteArray bytes = "[DSP upload]\r\nCategory=Tools\r\ncount=" + QByteArray::number(count) + "\r\n";
    bytes.reserve(count * 24);
    for (qint64 i = 1; i <= count; ++i)
        bytes += QByteArray::number(i) + "=line " + QByteArray::number(i) + "\r\n";
    return bytes;
}

// One line as long as the member cap lets an info file be.
QByteArray LongLine() {
    QByteArray bytes = "[DSP upload]\r\nCategory=Tools\r\nDescription=";
    bytes += QByteArray(velm::kMaxMemberSize - bytes.size() - 2, 'x');
    return bytes + "\r\n";
}

// Sections with the shortest distinct names, up to the member cap: about as many
// sections as an info file can hold.
QByteArray SectionsToTheCap() {
    const QByteArray tail = "[DSP upload]\r\nCategory=Tools\r\n";
    QByteArray bytes;
    bytes.reserve(velm::kMaxMemberSize);
    for (qint64 i = 0;; ++i) {
        const QByteArray section = "[" + QByteArray::number(i, 36) + "]\n";
        if (bytes.size() + section.size() + tail.size() > velm::kMaxMemberSize)
            break;
        bytes += section;
    }
    return bytes + tail;
}

const Case kCases[] = {
    {"sections", "1,000,000 sections of one key", [] { return Sections(1000000); }},
    {"keys", "1,000,000 keys in one section", [] { return Keys(1000000); }},
    {"line", "one line of 64 MiB", LongLine},
    {"cap-sections", "empty sections filling 64 MiB", SectionsToTheCap},
};

double Ms(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Resident memory now, from the kernel's page count.
double ResidentMb() {
    long pages = 0;
    long resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// In the child: reads the file as the import does, prints the times, and exits.
[[noreturn]] void RunChild(const QString& path) {
    const double before = ResidentMb();
    const Clock::time_point start = Clock::now();
    auto info = std::make_unique<velm::TDSPInfoClass>();
    // The reader's parse of the file is made and freed again within this call.
    info->ReadInfFile(path);
    const Clock::time_point parsed = Clock::now();
    const bool read = info->CategoryText == QStringLiteral("Tools");
    std::printf("%.0f %d %.0f\n", Ms(start, parsed), read ? 1 : 0, before);
    std::fflush(stdout);
    _exit(0);
}

bool RunCase(const Case& c, const QString& folder) {
    const QString path = folder + QStringLiteral("/") + QString::fromLatin1(c.name) + QStringLiteral(".inf");
    qint64 size = 0;
    {
        const QByteArray bytes = c.make();
        size = bytes.size();
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return false;
    }
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return false;
    std::fflush(stdout);  // the child must not print what the parent had buffered
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        dup2(pipeFds[1], STDOUT_FILENO);
        RunChild(path);
    }
    close(pipeFds[1]);
    char line[128] = {};
    const ssize_t got = read(pipeFds[0], line, sizeof line - 1);
    close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    double parseMs = 0;
    int read = 0;
    double startMb = 0;
    if (got <= 0 || std::sscanf(line, "%lf %d %lf", &parseMs, &read, &startMb) != 3 ||
        !WIFEXITED(status)) {
        std::printf("| %s | %.1f MB | failed (%s) | | | |\n", c.what, double(size) / 1e6,
                    WIFSIGNALED(status) ? strsignal(WTERMSIG(status)) : "no result");
        return false;
    }
    std::printf("| %s | %.1f MB | %.0f MB | %.0f MB | %.0f ms | %s |\n", c.what, double(size) / 1e6, startMb,
                double(usage.ru_maxrss) / 1024.0, parseMs, read ? "yes" : "no");
    std::fflush(stdout);
    QFile::remove(path);
    return read;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    if (!folder.isValid())
        return 2;
    std::printf("| info file | size | memory at start | peak memory | read and freed | category read |\n"
                "|---|---|---|---|---|---|\n");
    bool ok = true;
    for (const Case& c : kCases) {
        bool wanted = argc == 1;
        for (int i = 1; i < argc; ++i)
            wanted = wanted || std::strcmp(argv[i], c.name) == 0;
        if (wanted)
            ok = RunCase(c, folder.path()) && ok;
    }
    return ok ? 0 : 1;
}
