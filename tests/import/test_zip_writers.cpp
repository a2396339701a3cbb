// Archives written at test time by other programs (Info-ZIP's zip, Python's zipfile) in
// the layouts they produce in the wild: the 64-bit extension forced or needed, streamed
// through a pipe, more than 65,535 members, a program in front of the archive. Each is
// listed as Python's zipfile lists it and extracts to the bytes zipfile extracts.
#include "import/zip_master.h"
#include "support/message_recorder.h"

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using velm::TZipMaster;
using velm::test::MessageRecorder;

namespace {

// Members of the many-member archive; the last thousand lie beyond 65,535.
constexpr int kManyMembers = 70000;

// Writes the Python-made archives into the folder given, then reports every archive
// there as zipfile reads it (names, sizes, CRCs) and extracts it with zipfile.
const char* const kPythonScript = R"PY(
import json, os, sys, zipfile
work = sys.argv[1]
when = (2001, 2, 3, 4, 5, 6)
tree = os.path.join(work, "tree")

def members():
    for root, dirs, files in os.walk(tree):
        dirs.sort()
        for name in sorted(files):
            path = os.path.join(root, name)
            yield os.path.relpath(path, tree).replace(os.sep, "/"), open(path, "rb").read()

def write_forced(z):
    for index, (name, data) in enumerate(members()):
        info = zipfile.ZipInfo(name, when)
        info.compress_type = zipfile.ZIP_DEFLATED if index % 2 else zipfile.ZIP_STORED
        with z.open(info, "w", force_zip64=True) as out:
            out.write(data)

# The 64-bit extension forced on every member.
with zipfile.ZipFile(os.path.join(work, "python_zip64.zip"), "w") as z:
    write_forced(z)

# The same written to a pipe: no seeking back, so 64-bit data descriptors follow the data.
class Pipe:
    def __init__(self, f): self.f = f
    def write(self, b): return self.f.write(b)
    def tell(self): raise OSError("not seekable")
    def seek(self, *a): raise OSError("not seekable")
    def flush(self): self.f.flush()
with open(os.path.join(work, "python_zip64_pipe.zip"), "wb") as raw:
    with zipfile.ZipFile(Pipe(raw), "w") as z:
        write_forced(z)

# More members than the classic directory can count.
with zipfile.ZipFile(os.path.join(work, "python_many.zip"), "w") as z:
    for i in range(int(sys.argv[2])):
        z.writestr(zipfile.ZipInfo("d%02d/f%05d.txt" % (i // 1000, i), when), "member %d\n" % i)

stub = open(os.path.join(work, "stub"), "rb").read()
# A self-extractor: the archive appended to the program, offsets counted from the file's start.
with open(os.path.join(work, "python_sfx.exe"), "wb") as f:
    f.write(stub)
with zipfile.ZipFile(os.path.join(work, "python_sfx.exe"), "a") as z:
    write_forced(z)
# The program put in front of a finished archive: offsets counted from the archive's start.
with open(os.path.join(work, "python_sfx_unadjusted.exe"), "wb") as f:
    f.write(stub + open(os.path.join(work, "python_zip64.zip"), "rb").read())

report = {}
for name in sorted(os.listdir(work)):
    if not name.endswith((".zip", ".exe")):
        continue
    with zipfile.ZipFile(os.path.join(work, name)) as z:
        infos = z.infolist()
        report[name] = [[i.filename, i.compress_size, i.file_size, i.CRC] for i in infos]
        target = os.path.join(work, "python", name)
        # Of the many members, those beyond 65,535 are enough to compare.
        chosen = [i for i in infos if name != "python_many.zip" or i.filename.startswith("d69/")]
        for info in chosen:
            z.extract(info, target)
json.dump(report, open(os.path.join(work, "report.json"), "w"))
)PY";

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QStringList FilesBelow(const QString& folder) {
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(folder).relativeFilePath(it.next()));
    files.sort();
    return files;
}

// Runs a program; its standard output is read through a pipe, as a shell pipe would.
QByteArray Run(const QString& program, const QStringList& arguments, const QString& folder,
               const QByteArray& input = QByteArray()) {
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(program, arguments);
    if (!process.waitForStarted())
        return QByteArray();
    process.write(input);
    process.closeWriteChannel();
    QByteArray output;
    while (process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(1000);
        output += process.readAllStandardOutput();
    }
    output += process.readAllStandardOutput();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
        return QByteArray();
    }
    return output.isEmpty() ? QByteArray("ok") : output;
}

QByteArray Noise(int size) {
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 seed = 17;
    for (char& byte : bytes) {
        seed = seed * 1664525u + 1013904223u;
        byte = char(seed >> 24);
    }
    return bytes;
}

}  // namespace

class TestZipWriters : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void listsAsZipfileDoes_data();
    void listsAsZipfileDoes();
    void extractsTheBytesZipfileExtracts_data();
    void extractsTheBytesZipfileExtracts();
    void encryptedAndLinkedMembersFromInfoZip();

private:
    void WriteArchives();

    QTemporaryDir dir_;
    QString work_;
    QJsonObject report_;
};

void TestZipWriters::initTestCase() {
    for (const char* tool : {"python3", "zip"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed (scripts/bootstrap installs it)").arg(tool)));
    }
    work_ = dir_.filePath("work");
    WriteArchives();
}

void TestZipWriters::WriteArchives() {
    const QString tree = work_ + "/tree";
    QVERIFY(WriteFile(tree + "/Pkg/Info/MyPkg.inf", "[DSP upload]\r\nVersion=1.2\r\nCategory=Grids\r\n"));
    QVERIFY(WriteFile(tree + "/Pkg/Readme.txt", QByteArray("Read me first.\r\n").repeated(400)));
    QVERIFY(WriteFile(tree + "/bin/payload.bin", Noise(200 * 1024)));
    QVERIFY(WriteFile(tree + "/empty.txt", QByteArray()));
    QVERIFY(WriteFile(work_ + "/stub", QByteArray("#!/bin/sh\necho self-extracting\nexit 0\n") + Noise(3000)));

    // Info-ZIP with the 64-bit extension forced, to a file.
    QVERIFY(!Run("zip", {"-q", "-r", "-fz", work_ + "/infozip_fz.zip", "."}, tree).isEmpty());
    // Info-ZIP writing into a pipe: sizes follow the data in descriptors.
    const QByteArray streamed = Run("zip", {"-q", "-r", "-", "."}, tree);
    QVERIFY(WriteFile(work_ + "/infozip_streamed.zip", streamed));
    // Info-ZIP reading the member from a pipe: size unknown in advance, so zip64 throughout.
    const QByteArray fromPipe = Run("zip", {"-q", "-", "-"}, tree, QByteArray("piped data\n").repeated(1000));
    QVERIFY(WriteFile(work_ + "/infozip_stdin.zip", fromPipe));
    // Self-extractors: the program, then a classic archive with its offsets adjusted by
    // zip -A; and the program put in front of a zip64 archive as it was.
    QVERIFY(!Run("zip", {"-q", "-r", work_ + "/classic", "."}, tree).isEmpty());
    QVERIFY(WriteFile(work_ + "/infozip_sfx.exe", ReadFile(work_ + "/stub") + ReadFile(work_ + "/classic.zip")));
    QVERIFY(!Run("zip", {"-q", "-A", work_ + "/infozip_sfx.exe"}, work_).isEmpty());
    QVERIFY(QFile::remove(work_ + "/classic.zip"));
    QVERIFY(WriteFile(work_ + "/infozip_sfx_zip64.exe", ReadFile(work_ + "/stub") + ReadFile(work_ + "/infozip_fz.zip")));

    QVERIFY(!Run("python3", {"-c", kPythonScript, work_, QString::number(kManyMembers)}, work_).isEmpty());
    QFile report(work_ + "/report.json");
    QVERIFY(report.open(QIODevice::ReadOnly));
    report_ = QJsonDocument::fromJson(report.readAll()).object();
    QCOMPARE(report_.size(), 10);
}

void TestZipWriters::listsAsZipfileDoes_data() {
    QTest::addColumn<QString>("archive");
    for (const QString& archive : report_.keys())
        QTest::newRow(qPrintable(archive)) << archive;
}

void TestZipWriters::listsAsZipfileDoes() {
    QFETCH(QString, archive);
    const QJsonArray expected = report_.value(archive).toArray();
    MessageRecorder messages;
    TZipMaster zip;
    zip.SetZipFilename(work_ + u'/' + archive);
    QCOMPARE(zip.EntryCount(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        const QJsonArray member = expected.at(i).toArray();
        const velm::ZipDirEntry& entry = zip.Entries()[size_t(i)];
        QCOMPARE(QString(entry.FileName).replace(u'\\', u'/'), member.at(0).toString());
        QCOMPARE(entry.ComprSize64, quint64(member.at(1).toInteger()));
        QCOMPARE(entry.UncomprSize64, quint64(member.at(2).toInteger()));
        QCOMPARE(entry.CRC32, quint32(member.at(3).toInteger()));
    }
    // Only a program in front of an archive whose offsets count from the archive's own
    // start is worth a word: the warning of a stored offset that does not fit.
    const bool unadjusted = archive == QStringLiteral("python_sfx_unadjusted.exe") ||
                            archive == QStringLiteral("infozip_sfx_zip64.exe");
    QCOMPARE(messages.Count(), unadjusted ? 1 : 0);
}

void TestZipWriters::extractsTheBytesZipfileExtracts_data() { listsAsZipfileDoes_data(); }

void TestZipWriters::extractsTheBytesZipfileExtracts() {
    QFETCH(QString, archive);
    MessageRecorder messages;
    TZipMaster zip;
    zip.ExtrOptions = velm::ExtrDirNames | velm::ExtrOverWrite;
    zip.SetZipFilename(work_ + u'/' + archive);
    const QString ours = dir_.filePath("ours/" + archive);
    zip.ExtrBaseDir = ours;
    zip.FSpecArgs << (archive == QStringLiteral("python_many.zip") ? QStringLiteral("d69\\*") : QStringLiteral("*"));
    zip.Extract();
    const QString theirs = work_ + "/python/" + archive;
    const QStringList files = FilesBelow(theirs);
    QVERIFY(!files.isEmpty());
    QCOMPARE(zip.ExtractedCount(), files.size());
    QCOMPARE(FilesBelow(ours), files);
    for (const QString& file : files)
        QVERIFY2(ReadFile(ours + u'/' + file) == ReadFile(theirs + u'/' + file), qPrintable(file));
}

void TestZipWriters::encryptedAndLinkedMembersFromInfoZip() {
    const QString tree = work_ + "/tree";
    QVERIFY(QFile::link("Pkg/Info/MyPkg.inf", tree + "/link.inf"));
    const QString archive = work_ + "/secret_and_link.zip";
    // -y keeps the link as a link; -P encrypts what follows it with the classic cipher.
    QVERIFY(!Run("zip", {"-q", "-y", archive, "link.inf"}, tree).isEmpty());
    QVERIFY(!Run("zip", {"-q", "-P", "secret", archive, "Pkg/Info/MyPkg.inf", "Pkg/Readme.txt"}, tree).isEmpty());
    QVERIFY(!Run("zip", {"-q", archive, "empty.txt"}, tree).isEmpty());
    QVERIFY(QFile::remove(tree + "/link.inf"));

    MessageRecorder messages;
    TZipMaster zip;
    zip.ExtrOptions = velm::ExtrDirNames | velm::ExtrOverWrite;
    zip.SetZipFilename(archive);
    QCOMPARE(zip.EntryCount(), 4);
    QVERIFY(zip.Entries()[0].IsLink());
    QVERIFY(zip.Entries()[1].IsEncrypted());
    const QString base = dir_.filePath("secret");
    zip.ExtrBaseDir = base;
    zip.FSpecArgs << "*";
    zip.Extract();
    QCOMPARE(zip.ExtractedCount(), 1);
    QCOMPARE(FilesBelow(base), QStringList{"empty.txt"});
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().text, QStringLiteral("These members of the ZIP archive %1 were not extracted:\r"
                                                  "link.inf: a link\r"
                                                  "Pkg\\Info\\MyPkg.inf: encrypted: cannot be read\r"
                                                  "Pkg\\Readme.txt: encrypted: cannot be read")
                                       .arg(archive));
}

QTEST_GUILESS_MAIN(TestZipWriters)
#include "test_zip_writers.moc"
