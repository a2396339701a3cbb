// Lists generated archives and extracts one member of each, timing our archive component
// beside zipinfo, bsdtar and unzip on the same files in the same run: a classic archive
// of 65,535 members (the most its directory holds), a zip64 archive of as many, and a
// zip64 archive of 100,000 members. Every zip64 member carries the extension's extra
// field, the most work for the reader. The last member is the package's info file.
//   zip-listing [--members N] [--zip64-members N] [--runs N] [--keep FOLDER]
#include "kit/messages.h"
#include "import/zip_directory.h"
#include "import/zip_master.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <utility>
#include <vector>

namespace {

// Failures reach the terminal instead of a message box.
class PrintingPresenter : public velm::MessagePresenter {
public:
    bool Show(velm::MessageKind, const QString&, const QString& text) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return true;
    }
};

void Put16(QByteArray& out, quint16 v) {
    out += char(v & 0xFF);
    out += char(v >> 8);
}
void Put32(QByteArray& out, quint32 v) {
    Put16(out, quint16(v & 0xFFFF));
    Put16(out, quint16(v >> 16));
}

quint32 Crc32(const QByteArray& data) {
    static quint32 table[256];
    static bool ready = false;
    if (!ready) {
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
        ready = true;
    }
    quint32 crc = 0xFFFFFFFFu;
    for (const char ch : data)
        crc = table[(crc ^ quint8(ch)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

// The last member is the one extracted: an info file, so that the import's patterns
// find it as well as the viewer's name.
QByteArray MemberName(int i, int members) {
    if (i == members - 1)
        return "Pkg/Package.inf";
    return QStringLiteral("Pkg/Dir%1/Unit%2.pas").arg(i / 256, 3, 10, QChar('0')).arg(i, 5, 10, QChar('0')).toLatin1();
}

void Put64(QByteArray& out, quint64 v) {
    Put32(out, quint32(v & 0xFFFFFFFF));
    Put32(out, quint32(v >> 32));
}

// Stored members with a few bytes each; DOS host, fixed date. With zip64 the headers
// hold markers, an extra field per member the sizes and offset, and the zip64 end
// records the count, size and offset of the directory.
bool WriteArchive(const QString& path, int members, bool zip64) {
    const quint32 dosTime = (quint32((2001 - 1980) << 9 | 2 << 5 | 3) << 16) | (4 << 11 | 5 << 5 | 3);
    const quint32 marker = 0xFFFFFFFF;
    QByteArray out;
    QByteArray central;
    for (int i = 0; i < members; ++i) {
        const QByteArray name = MemberName(i, members);
        const QByteArray data = "unit Unit" + QByteArray::number(i) + ";\r\nend.\r\n";
        const quint32 crc = Crc32(data);
        const quint64 offset = quint64(out.size());
        const quint32 size = zip64 ? marker : quint32(data.size());
        QByteArray localExtra;
        QByteArray centralExtra;
        if (zip64) {
            Put16(localExtra, 0x0001);
            Put16(localExtra, 16);
            Put64(localExtra, quint64(data.size()));
            Put64(localExtra, quint64(data.size()));
            centralExtra = localExtra;
            centralExtra[2] = 24;
            Put64(centralExtra, offset);
        }
        const quint16 version = zip64 ? 45 : 20;
        Put32(out, 0x04034B50);
        for (quint16 v : {version, quint16(0), quint16(0)})
            Put16(out, v);
        for (quint32 v : {dosTime, crc, size, size})
            Put32(out, v);
        Put16(out, quint16(name.size()));
        Put16(out, quint16(localExtra.size()));
        out += name;
        out += localExtra;
        out += data;
        Put32(central, 0x02014B50);
        for (quint16 v : {version, version, quint16(0), quint16(0)})
            Put16(central, v);
        for (quint32 v : {dosTime, crc, size, size})
            Put32(central, v);
        for (quint16 v : {quint16(name.size()), quint16(centralExtra.size()), quint16(0), quint16(0), quint16(0)})
            Put16(central, v);
        Put32(central, 0x20);
        Put32(central, zip64 ? marker : quint32(offset));
        central += name;
        central += centralExtra;
    }
    const quint64 centralOffset = quint64(out.size());
    out += central;
    if (zip64) {
        const quint64 recordOffset = quint64(out.size());
        Put32(out, 0x06064B50);
        Put64(out, 44);
        Put16(out, 45);
        Put16(out, 45);
        Put32(out, 0);
        Put32(out, 0);
        Put64(out, quint64(members));
        Put64(out, quint64(members));
        Put64(out, quint64(central.size()));
        Put64(out, centralOffset);
        Put32(out, 0x07064B50);
        Put32(out, 0);
        Put64(out, recordOffset);
        Put32(out, 1);
    }
    const quint16 count = zip64 ? 0xFFFF : quint16(members);
    Put32(out, 0x06054B50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, count);
    Put16(out, count);
    Put32(out, zip64 ? marker : quint32(central.size()));
    Put32(out, zip64 ? marker : quint32(centralOffset));
    Put16(out, 0);
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(out) == out.size();
}

// Median of several runs, in milliseconds.
// Minimum and median of several runs, in milliseconds. On a busy machine the minimum
// is the fairer figure for comparing two listings.
struct Timing {
    double min = 0;
    double median = 0;
};

Timing Time(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return {times.front(), times[times.size() / 2]};
}

double Median(int runs, const std::function<void()>& work) { return Time(runs, work).median; }

// Runs an external tool with its output discarded; false when it is not installed or fails.
bool RunTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// Runs a program as RunTool does, but started with posix_spawn, which shares our memory
// until the program starts instead of copying its page table: after a fork, the parent
// pays a page fault for every page of its heap it writes again, which would fall on the
// timing taken in turns with it.
bool RunSpawned(const QString& program, const QStringList& arguments) {
    std::vector<QByteArray> bytes{QFile::encodeName(program)};
    for (const QString& argument : arguments)
        bytes.push_back(QFile::encodeName(argument));
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return started == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Two pieces of work timed in turns, each first as often as the other, so that the
// machine's load and the order slow both alike; medians in milliseconds.
std::pair<double, double> SideBySide(int runs, const std::function<void()>& first,
                                     const std::function<void()>& second) {
    std::vector<double> times[2];
    for (int run = 0; run < runs; ++run) {
        for (int step = 0; step < 2; ++step) {
            const int k = (run + step) % 2;
            QElapsedTimer timer;
            timer.start();
            (k == 0 ? first : second)();
            times[k].push_back(double(timer.nsecsElapsed()) / 1e6);
        }
    }
    for (auto& t : times)
        std::sort(t.begin(), t.end());
    return {times[0][times[0].size() / 2], times[1][times[1].size() / 2]};
}

// One member extracted beside unzip extracting it: as the viewer does it (the archive is
// listed already, the user picks the member by name), as the import does it (listed
// already, then "*.inf" and "*.upl"), and the import's whole reading (the directory read
// as well), which unzip's run includes too.
void MeasureExtraction(QTextStream& out, const QString& folder, const QString& archive, int members, int runs) {
    if (QStandardPaths::findExecutable("unzip").isEmpty()) {
        out << "unzip: not available\n";
        return;
    }
    const QByteArray memberName = MemberName(members - 1, members);
    const QStringList unzipArgs{"-o", "-q", archive, QString::fromLatin1(memberName), "-d", folder + "/unzip"};
    if (!RunSpawned("unzip", unzipArgs)) {
        out << "unzip: failed\n";
        return;
    }
    const auto unzip = [&] { RunSpawned("unzip", unzipArgs); };
    velm::TZipMaster zip;
    zip.SetZipFilename(archive);
    const auto extract = [&](const QStringList& patterns, velm::TZipExtrOptions options) {
        zip.ExtrOptions = options;
        zip.ExtrBaseDir = folder + "/extract";
        zip.FSpecArgs = patterns;
        zip.Extract();
        if (zip.ExtractedCount() != 1)
            std::fprintf(stderr, "extracted %d files\n", zip.ExtractedCount());
    };
    const QStringList byName{QString::fromLatin1(memberName).replace('/', '\\')};
    const QStringList infoFiles{"*.inf", "*.upl"};
    const auto viewer = [&] { extract(byName, velm::ExtrDirNames | velm::ExtrOverWrite); };
    const auto import = [&] { extract(infoFiles, velm::ExtrOverWrite); };
    const auto importRead = [&] {
        zip.SetZipFilename(archive);
        import();
    };
    const std::pair<QString, std::function<void()>> rows[] = {
        {"extract 1 member, listed (viewer)", viewer},
        {"extract *.inf *.upl, listed (import)", import},
        {"read directory + extract (import)", importRead},
    };
    for (const auto& [label, work] : rows) {
        const auto [ours, theirs] = SideBySide(runs, work, unzip);
        out << QString("%1 %2 ms, unzip 1 member %3 ms (process included): %4 x unzip\n")
                   .arg(label + ":", -38)
                   .arg(ours, 8, 'f', 2)
                   .arg(theirs, 0, 'f', 2)
                   .arg(ours / theirs, 0, 'f', 2);
    }
}

struct Listed {
    QString archive;
    int members = 0;
};

// Lists, prints and extracts from one archive; returns the shortest listing time.
Listed Measure(QTextStream& out, const QString& label, const QString& folder, int members, bool zip64, int runs) {
    const QString archive = folder + (zip64 ? "/bench64-" : "/bench-") + QString::number(members) + ".zip";
    if (!WriteArchive(archive, members, zip64)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(archive));
        return {};
    }
    out << "\n" << label << ": " << archive << ", " << members << " members, " << QFileInfo(archive).size()
        << " bytes; median of " << runs << " runs\n";

    velm::TZipMaster zip;
    const Timing ours = Time(runs, [&] {
        zip.SetZipFilename(archive);
        if (zip.EntryCount() != members)
            std::fprintf(stderr, "listed %d entries\n", zip.EntryCount());
    });
    // Listing as a person sees it: one formatted line per member, written out.
    QFile sink(QProcess::nullDevice());
    sink.open(QIODevice::WriteOnly);
    const double oursPrinted = Median(runs, [&] {
        zip.SetZipFilename(archive);
        QTextStream lines(&sink);
        for (const velm::ZipDirEntry& e : zip.Entries()) {
            const quint32 date = e.DateTime >> 16;
            const quint32 time = e.DateTime & 0xFFFF;
            lines << e.FileName << '\t' << e.ComprSize64 << '\t' << e.UncomprSize64 << '\t' << 1980 + (date >> 9)
                  << '-' << ((date >> 5) & 15) << '-' << (date & 31) << ' ' << (time >> 11) << ':'
                  << ((time >> 5) & 63) << ':' << (time & 31) * 2 << '\n';
        }
    });
    out << QString("TZipMaster list (directory read):      %1 ms  (min %2 ms)\n")
               .arg(ours.median, 8, 'f', 1)
               .arg(ours.min, 0, 'f', 1);
    out << QString("TZipMaster list (read + print lines):  %1 ms\n").arg(oursPrinted, 8, 'f', 1);
    for (const auto& [tool, program, arguments] :
         {std::tuple<QString, QString, QStringList>{"zipinfo", "zipinfo", {archive}},
          std::tuple<QString, QString, QStringList>{"bsdtar -tf", "bsdtar", {"-tf", archive}}}) {
        if (QStandardPaths::findExecutable(program).isEmpty() || !RunTool(program, arguments)) {
            out << QString("%1: not available\n").arg(tool);
            continue;
        }
        const double time = Median(runs, [&] { RunTool(program, arguments); });
        out << QString("%1 %2 ms (process included)\n").arg(tool + ":", -38).arg(time, 8, 'f', 1);
    }

    MeasureExtraction(out, folder, archive, members, runs);
    out.flush();
    return {archive, members};
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    PrintingPresenter presenter;
    velm::SetMessagePresenter(&presenter);
    int members = 65535;
    int zip64Members = 100000;
    int runs = 5;
    QString keep;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--members")
            members = qBound(1, args[i + 1].toInt(), 65535);
        else if (args[i] == "--zip64-members")
            zip64Members = qBound(1, args[i + 1].toInt(), 10000000);
        else if (args[i] == "--runs")
            runs = qMax(1, args[i + 1].toInt());
        else if (args[i] == "--keep")
            keep = args[i + 1];
    }
    QTemporaryDir temp;
    const QString folder = keep.isEmpty() ? temp.path() : keep;
    QDir().mkpath(folder);
    QTextStream out(stdout);
    const Listed classic = Measure(out, "classic", folder, members, false, runs);
    const Listed sameCount = Measure(out, "zip64, same count", folder, members, true, runs);
    const Listed large = Measure(out, "zip64", folder, zip64Members, true, runs);
    if (classic.members == 0 || sameCount.members == 0 || large.members == 0)
        return 1;

    // Side by side: the three listings take turns, each starting a turn as often as the
    // others, so a busy machine and the order slow them alike.
    const Listed* listed[] = {&classic, &sameCount, &large};
    double best[3] = {1e300, 1e300, 1e300};
    velm::TZipMaster zip;
    for (int run = 0; run < 3 * runs; ++run) {
        for (int step = 0; step < 3; ++step) {
            const int k = (run + step) % 3;
            QElapsedTimer timer;
            timer.start();
            zip.SetZipFilename(listed[k]->archive);
            best[k] = std::min(best[k], double(timer.nsecsElapsed()) / 1e3 / listed[k]->members);
        }
    }
    out << QString("\nside by side, %1 turns, fastest listing per member: classic %2 us, zip64 %3 us (same count), "
                   "zip64 %4 us (%5 members); zip64 / classic = %6\n")
               .arg(3 * runs)
               .arg(best[0], 0, 'f', 3)
               .arg(best[1], 0, 'f', 3)
               .arg(best[2], 0, 'f', 3)
               .arg(large.members)
               .arg(best[2] / best[0], 0, 'f', 2);
    return 0;
}
