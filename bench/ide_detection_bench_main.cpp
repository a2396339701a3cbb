// What the IDE version detection adds to an import: its time per archive over the test
// layouts (tests/data/ide_layouts.txt), on a small archive as the import benchmark writes
// them, and on two archives of 65,535 members (a large library, and one whose every
// member is a package file in a folder of its own), beside the time to read the same
// archive's directory, which the import reads anyway. Texts come from memory: in an import
// each read is one small member unpacked. Medians of RUNS.
//   ide-detection-bench [RUNS]
#include "bench_timing.h"
#include "import/ide_detection.h"
#include "import/ide_layouts.h"
#include "import/zip_builder.h"
#include "import/zip_directory.h"

#include <QBuffer>
#include <QCoreApplication>

#include <cstdio>

using namespace velm;
using namespace velm::bench;

namespace {

constexpr int kLargeMembers = 65535;
constexpr quint32 kDate2024 = quint32(((2024 - 1980) << 9 | 11 << 5 | 2) << 16);

QByteArray Dproj(const char* projectVersion) {
    return QByteArray("<Project xmlns=\"http://schemas.microsoft.com/developer/msbuild/2003\">\r\n"
                      "  <PropertyGroup>\r\n    <ProjectVersion>") +
           projectVersion + "</ProjectVersion>\r\n  </PropertyGroup>\r\n</Project>\r\n";
}

// A library of the JEDI kind: packages for 22 IDEs in packages/dNN, compiled units for
// three of them, sources in 200 folders, help pages.
QByteArray LargeLibrary() {
    test::ZipBuilder zip;
    int count = 0;
    const auto add = [&](const QString& name, const QByteArray& data = QByteArray("x")) {
        test::ZipMember member(name.toUtf8(), data);
        member.dosTime = kDate2024;
        zip.Add(member);
        ++count;
    };
    for (int number : {6, 7, 9, 10, 11, 12, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29})
        for (int p = 0; p < 20; ++p) {
            const QString stem = QStringLiteral("Library/packages/d%1/Pack%2R").arg(number).arg(p);
            add(stem + ".dpk", "package P; requires rtl, vcl; end.");
            if (number >= 11)
                add(stem + ".dproj", Dproj(number == 12 ? "12.0" : "18.0"));
        }
    for (int number : {7, 28, 29})
        for (int u = 0; u < 300; ++u)
            add(QStringLiteral("Library/lib/d%1/Win32/Release/Unit%2.dcu").arg(number).arg(u));
    for (int h = 0; h < 500; ++h)
        add(QStringLiteral("Library/help/topic%1.html").arg(h));
    for (int i = 0; count < kLargeMembers; ++i)
        add(QStringLiteral("Library/run/Module%1/Unit%2.pas").arg(i / 300).arg(i));
    return zip.Build();
}

// Every member a package file in a folder of its own named for Delphi 7: the most names
// to read.
QByteArray EveryMemberAPackage() {
    test::ZipBuilder zip;
    for (int i = 0; i < kLargeMembers; ++i) {
        test::ZipMember member(QStringLiteral("Packages/Pack%1/D7/Pack%1Grid.dpk").arg(i).toUtf8(), "x");
        member.dosTime = kDate2024;
        zip.Add(member);
    }
    return zip.Build();
}

// What the import benchmark imports: one incompressible member and an info file.
QByteArray SmallArchive() {
    QByteArray data(300 * 1024, '\0');
    quint32 seed = 1;
    for (char& c : data) {
        seed = seed * 1103515245u + 12345u;
        c = char(seed >> 24);
    }
    return test::ZipBuilder().Add("Component.dat", data).Add("Component.inf", "[DSP upload]\r\n").Build();
}

struct Archive {
    const char* label;
    QByteArray bytes;
};

void Measure(const Archive& archive, int runs) {
    QBuffer buffer;
    buffer.setData(archive.bytes);
    buffer.open(QIODevice::ReadOnly);
    Series directory{"directory", 0, {}, {}, {}};
    Series detection{"detection", 0, {}, {}, {}};
    std::size_t found = 0;
    std::size_t entries = 0;
    for (int run = 0; run < runs; ++run) {
        Stopwatch readWatch;
        const ZipDirectory read = ReadZipDirectory(buffer);
        directory.Add(readWatch);
        entries = read.Entries.size();
        const auto reader = [&](std::size_t index, qint64 maxBytes) {
            const ZipDirEntry& entry = read.Entries[index];
            // Stored members: the data follows the local header and the name.
            const qint64 start = qint64(entry.RelOffLocal64) + 30 + entry.FileNameLen;
            return archive.bytes.mid(start, qMin<qint64>(maxBytes, qint64(entry.UncomprSize64)));
        };
        Stopwatch detectWatch;
        found = DetectIdeVersions(IdeDetectionMembers(read.Entries), reader).size();
        detection.Add(detectWatch);
    }
    const double d = Median(directory.wall);
    const double t = Median(detection.wall);
    std::printf("%-44s %7zu members  directory %9.3f ms  detection %9.3f ms  (%5.1f %% of the directory)  %zu versions\n",
                archive.label, entries, d, t, 100.0 * t / d, found);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? qMax(1, QString::fromLocal8Bit(argv[1]).toInt()) : 20;

    const auto layouts = test::ReadIdeLayouts(QStringLiteral(VELMORA_TEST_DATA "/ide_layouts.txt"));
    if (layouts.empty()) {
        std::fprintf(stderr, "no layouts in %s\n", VELMORA_TEST_DATA "/ide_layouts.txt");
        return 1;
    }
    Series perArchive{"layouts", 0, {}, {}, {}};
    for (int run = 0; run < runs * 10; ++run) {
        Stopwatch watch;
        for (const test::IdeLayout& layout : layouts)
            DetectIdeVersions(layout.Members, layout.Reader());
        perArchive.Add(watch, layouts.size());
    }
    std::printf("%-44s %7zu archives  detection %9.4f ms per archive (median), %.4f ms min\n",
                "test layouts", layouts.size(), Median(perArchive.wall), perArchive.Min());

    Measure({"small archive (as import-bench writes)", SmallArchive()}, runs * 10);
    Measure({"large library, 65,535 members", LargeLibrary()}, runs);
    Measure({"65,535 package files, a folder each", EveryMemberAPackage()}, runs);
    return 0;
}
