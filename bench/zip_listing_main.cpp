// Lists a generated archive of 65,535 members (the most a zip directory holds without
// its 64-bit extension) and extracts one member of it, timing our archive component
// beside zipinfo and bsdtar on the same file in the same run.
//   zip-listing [--members N] [--runs N] [--keep FOLDER]
#include "app/messages.h"
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

#include <algorithm>
#include <cstdio>
#include <functional>
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

QByteArray MemberName(int i) { return QStringLiteral("Pkg/Dir%1/Unit%2.pas").arg(i / 256, 3, 10, QChar('0')).arg(i, 5, 10, QChar('0')).toLatin1(); }

// Stored members with a few bytes each; DOS host, fixed date.
bool WriteArchive(const QString& path, int members) {
    const quint32 dosTime = (quint32((2001 - 1980) << 9 | 2 << 5 | 3) << 16) | (4 << 11 | 5 << 5 | 3);
    QByteArray out;
    QByteArray central;
    for (int i = 0; i < members; ++i) {
        const QByteArray name = MemberName(i);
        const QByteArray data = "unit Unit" + QByteArray::number(i) + ";\r\nend.\r\n";
        const quint32 crc = Crc32(data);
        const quint32 offset = quint32(out.size());
        Put32(out, 0x04034B50);
        for (quint16 v : {quint16(20), quint16(0), quint16(0)})
            Put16(out, v);
        for (quint32 v : {dosTime, crc, quint32(data.size()), quint32(data.size())})
            Put32(out, v);
        Put16(out, quint16(name.size()));
        Put16(out, 0);
        out += name;
        out += data;
        Put32(central, 0x02014B50);
        for (quint16 v : {quint16(20), quint16(20), quint16(0), quint16(0)})
            Put16(central, v);
        for (quint32 v : {dosTime, crc, quint32(data.size()), quint32(data.size())})
            Put32(central, v);
        for (quint16 v : {quint16(name.size()), quint16(0), quint16(0), quint16(0), quint16(0)})
            Put16(central, v);
        Put32(central, 0x20);
        Put32(central, offset);
        central += name;
    }
    const quint32 centralOffset = quint32(out.size());
    out += central;
    Put32(out, 0x06054B50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, quint16(members));
    Put16(out, quint16(members));
    Put32(out, quint32(central.size()));
    Put32(out, centralOffset);
    Put16(out, 0);
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(out) == out.size();
}

// Median of several runs, in milliseconds.
double Median(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Runs an external tool with its output discarded; false when it is not installed or fails.
bool RunTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    PrintingPresenter presenter;
    velm::SetMessagePresenter(&presenter);
    int members = 65535;
    int runs = 5;
    QString keep;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--members")
            members = qBound(1, args[i + 1].toInt(), 65535);
        else if (args[i] == "--runs")
            runs = qMax(1, args[i + 1].toInt());
        else if (args[i] == "--keep")
            keep = args[i + 1];
    }
    QTemporaryDir temp;
    const QString folder = keep.isEmpty() ? temp.path() : keep;
    QDir().mkpath(folder);
    const QString archive = folder + "/bench.zip";
    if (!WriteArchive(archive, members)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(archive));
        return 1;
    }
    QTextStream out(stdout);
    out << "archive: " << archive << ", " << members << " members, " << QFileInfo(archive).size() << " bytes; median of "
        << runs << " runs\n";

    velm::TZipMaster zip;
    const double ours = Median(runs, [&] {
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
            lines << e.FileName << '\t' << e.ComprSize << '\t' << e.UncomprSize << '\t' << 1980 + (date >> 9)
                  << '-' << ((date >> 5) & 15) << '-' << (date & 31) << ' ' << (time >> 11) << ':'
                  << ((time >> 5) & 63) << ':' << (time & 31) * 2 << '\n';
        }
    });
    out << QString("TZipMaster list (directory read):      %1 ms\n").arg(ours, 8, 'f', 1);
    out << QString("TZipMaster list (read + print lines):  %1 ms\n").arg(oursPrinted, 8, 'f', 1);
    for (const auto& [label, program, arguments] :
         {std::tuple<QString, QString, QStringList>{"zipinfo", "zipinfo", {archive}},
          std::tuple<QString, QString, QStringList>{"bsdtar -tf", "bsdtar", {"-tf", archive}}}) {
        if (QStandardPaths::findExecutable(program).isEmpty() || !RunTool(program, arguments)) {
            out << QString("%1: not available\n").arg(label);
            continue;
        }
        const double time = Median(runs, [&] { RunTool(program, arguments); });
        out << QString("%1 %2 ms (process included)\n").arg(label + ":", -38).arg(time, 8, 'f', 1);
    }

    // As the viewer does it: the archive is listed already, the user picks one member.
    const QString target = folder + "/extract";
    const QString member = QString::fromLatin1(MemberName(members - 1)).replace('/', '\\');
    zip.SetZipFilename(archive);
    zip.ExtrOptions = velm::ExtrDirNames | velm::ExtrOverWrite;
    const double extractOne = Median(runs, [&] {
        zip.ExtrBaseDir = target;
        zip.FSpecArgs = QStringList{member};
        zip.Extract();
        if (zip.ExtractedCount() != 1)
            std::fprintf(stderr, "extracted %d files\n", zip.ExtractedCount());
    });
    out << QString("TZipMaster extract 1 member (listed):  %1 ms\n").arg(extractOne, 8, 'f', 1);
    if (!QStandardPaths::findExecutable("unzip").isEmpty()) {
        const QStringList unzipArgs{"-o", "-q", archive, MemberName(members - 1), "-d", folder + "/unzip"};
        if (RunTool("unzip", unzipArgs)) {
            const double time = Median(runs, [&] { RunTool("unzip", unzipArgs); });
            out << QString("%1 %2 ms (process included)\n").arg("unzip 1 member:", -38).arg(time, 8, 'f', 1);
        }
    }
    return 0;
}
