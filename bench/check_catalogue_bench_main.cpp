// Times the catalogue check (every archive's SHA-256 and every member's CRC, in one read
// of each file) beside what the same work costs with the system's tools: `sha256sum`
// over the archives plus `unzip -t` over them, in the same run on the same files.
//   check-catalogue-bench [ARCHIVES] [KB] [ROUNDS]
// Writes a fresh catalogue and the archives into a temporary folder; nothing else is
// touched. The archives hold Pascal-like source that deflates about as real component
// sources do, so the unpacking costs what it costs in a real catalogue.
#include "../tests/import/zip_builder.h"
#include "bench_timing.h"
#include "catalogue/archive_index.h"
#include "catalogue/catalogue_files.h"
#include "catalogue/data_module.h"
#include "catalogue/field.h"
#include "catalogue/table.h"
#include "import/catalogue_check.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

// Source text of words in varied order, deflating to about a third of its size.
QByteArray SourceText(int size, quint32 seed) {
    static const char* const words[] = {"begin",   "end;",   "procedure", "function", "var",     "const",
                                        "integer", "string", "TFastGrid", "Canvas",   "Result",  ":=",
                                        "if",      "then",   "else",      "inherited", "Create", "Free;",
                                        "FCount",  "Index",  "Rows",      "Columns",  "Paint;",  "Self"};
    QByteArray text;
    text.reserve(size + 64);
    while (text.size() < size) {
        seed = seed * 1664525u + 1013904223u;
        text += words[(seed >> 16) % (sizeof words / sizeof *words)];
        text += (seed & 0x700) == 0 ? "\r\n  " : " ";
        if ((seed & 0xF000) == 0)
            text += QByteArray::number(seed % 100000);
    }
    text.resize(size);
    return text;
}

double RunTool(const QString& program, const QStringList& arguments) {
    velm::bench::Stopwatch watch;
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), process.readAllStandardError().constData());
        std::exit(1);
    }
    return watch.WallMs();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Each round shows as it ends, also when the output goes to a file.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int archiveCount = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int kilobytes = argc > 2 ? std::atoi(argv[2]) : 300;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
    velm::bench::ConsolePresenter console;
    velm::SetMessagePresenter(&console);

    QTemporaryDir work;
    const QString programFolder = work.path() + QLatin1Char('/');
    if (!velm::CreateCatalogue(programFolder + QStringLiteral("dbase"), velm::DefaultStatusValues()))
        return 1;
    velm::TDMvelm module(programFolder);
    velm::DMvelm = &module;
    if (!module.Open())
        return 1;

    // Four source members deflated once, shared by every archive; a small member of its
    // own makes each archive's SHA-256 different.
    std::vector<velm::test::ZipMember> shared;
    int packed = 0;
    for (quint32 i = 0; packed < kilobytes * 1024 - 1024; ++i) {
        const QByteArray text = SourceText(kilobytes * 1024 * 3 / 4, 11 + i);
        velm::test::ZipMember member("Source/Unit" + QByteArray::number(i) + ".pas", text);
        member.deflated = velm::test::RawDeflate(text);
        packed += int(member.deflated.size());
        shared.push_back(std::move(member));
    }
    const QString archiveFolder = work.filePath(QStringLiteral("archives"));
    QDir().mkpath(archiveFolder);
    velm::TTable& categories = *module.TableCategory;
    categories.Append();
    categories.FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("Grids"));
    categories.Post();
    const int category = categories.FieldByName(QStringLiteral("ID"))->AsInteger();
    velm::TTable& packages = *module.TableCPInfo;
    QStringList files;
    qint64 bytes = 0;
    for (int i = 0; i < archiveCount; ++i) {
        velm::test::ZipBuilder zip;
        for (const velm::test::ZipMember& member : shared)
            zip.Add(member);
        zip.Add("Bench.inf", "[DSP upload]\r\nVersion=1." + QByteArray::number(i) + "\r\n");
        const QByteArray archive = zip.Build();
        const QString name = QStringLiteral("Bench%1.zip").arg(i, 5, 10, QLatin1Char('0'));
        QFile file(archiveFolder + QLatin1Char('/') + name);
        if (!file.open(QIODevice::WriteOnly) || file.write(archive) != archive.size())
            return 1;
        file.close();
        files << file.fileName();
        bytes += archive.size();
        packages.Append();
        packages.FieldByName(QStringLiteral("ProductName"))->SetAsString(QStringLiteral("Bench%1").arg(i));
        packages.FieldByName(QStringLiteral("Category"))->SetAsInteger(category);
        packages.FieldByName(QStringLiteral("ArchiveFilePath"))->SetAsString(archiveFolder + QLatin1Char('/'));
        packages.FieldByName(QStringLiteral("ArchiveFile"))->SetAsString(name);
        packages.Post();
        velm::TArchiveFileRecord record;
        record.Size = archive.size();
        record.Sha256 = QString::fromLatin1(QCryptographicHash::hash(archive, QCryptographicHash::Sha256).toHex());
        module.ArchiveIndex()->ReplaceMembers(packages.FieldByName(QStringLiteral("ID"))->Value().toLongLong(), {},
                                              record);
    }
    double load = 0;
    if (QFile loadavg(QStringLiteral("/proc/loadavg")); loadavg.open(QIODevice::ReadOnly))
        load = loadavg.readAll().split(' ').value(0).toDouble();
    std::printf("%d archives of %lld KB on average, %zu members each (load average %.2f)\n", archiveCount,
                bytes / archiveCount / 1024, shared.size() + 1, load);

    // The tools' side and the check's side alternate, so a busy moment hits both alike;
    // the files are in the page cache for both after the first round.
    std::vector<double> tools, check;
    for (int round = 0; round < rounds; ++round) {
        const double sha = RunTool(QStringLiteral("sha256sum"), files);
        const double unzip =
            RunTool(QStringLiteral("unzip"), {QStringLiteral("-tqq"), archiveFolder + QStringLiteral("/*.zip")});
        tools.push_back(sha + unzip);
        velm::bench::Stopwatch watch;
        const velm::TCatalogueCheckRun run = velm::CheckCatalogue(*module.ArchiveIndex());
        check.push_back(watch.WallMs());
        int ok = 0;
        for (const velm::TCheckedPackage& package : run.Packages)
            ok += package.Check.State == velm::TArchiveState::Ok;
        if (ok != archiveCount) {
            std::fprintf(stderr, "only %d of %d archives were ok\n", ok, archiveCount);
            return 1;
        }
        std::printf("round %d: sha256sum %.0f ms + unzip -t %.0f ms = %.0f ms; Check Catalogue %.0f ms (%.2fx)\n",
                    round + 1, sha, unzip, sha + unzip, check.back(), check.back() / (sha + unzip));
    }
    const double bestTools = *std::min_element(tools.begin(), tools.end());
    const double bestCheck = *std::min_element(check.begin(), check.end());
    std::printf("best: tools %.0f ms, Check Catalogue %.0f ms: %.2fx (target <= 1.5x)\n", bestTools, bestCheck,
                bestCheck / bestTools);
    velm::DMvelm = nullptr;
    return 0;
}
