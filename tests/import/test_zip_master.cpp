#include "import/zip_directory.h"
#include "import/zip_extractor.h"
#include "import/zip_master.h"
#include "support/message_recorder.h"
#include "zip_builder.h"

#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <zip.h>

#include <functional>
#include <stdexcept>

using velm::TZipMaster;
using velm::test::MessageRecorder;
using velm::test::ZipBuilder;
using velm::test::ZipMember;

Q_DECLARE_METATYPE(velm::test::ZipMember)
// Damage done to an archive's bytes after they are written.
using Damage = std::function<void(QByteArray&)>;
Q_DECLARE_METATYPE(Damage)

namespace {

QString Fixture(const QString& name) { return QStringLiteral(VELMORA_TEST_DATA "/zip/") + name; }

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Every file below the folder, relative, with "/".
QStringList FilesBelow(const QString& folder) {
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(folder).relativeFilePath(it.next()));
    files.sort();
    return files;
}

struct LibzipMember {
    QByteArray name;
    QByteArray data;
    zip_int32_t method = ZIP_CM_DEFAULT;  // deflated
};

// An archive written by libzip itself.
bool WriteWithLibzip(const QString& path, const QList<LibzipMember>& members) {
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        return false;
    for (const LibzipMember& member : members) {
        zip_source_t* source = zip_source_buffer(archive, member.data.constData(), zip_uint64_t(member.data.size()), 0);
        const zip_int64_t index = source ? zip_file_add(archive, member.name.constData(), source, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0 || zip_set_file_compression(archive, zip_uint64_t(index), member.method, 0) < 0) {
            if (index < 0)
                zip_source_free(source);
            zip_discard(archive);
            return false;
        }
    }
    return zip_close(archive) == 0;
}

// Text that deflates to about a third: several output chunks from several input chunks.
QByteArray LargeText(int lines) {
    QByteArray text;
    quint32 seed = 7;
    for (int i = 0; i < lines; ++i) {
        seed = seed * 1664525u + 1013904223u;
        text += "line " + QByteArray::number(i) + ' ' + QByteArray::number(seed, 16) + "\r\n";
    }
    return text;
}

}  // namespace

class TestZipMaster : public QObject {
    Q_OBJECT

private slots:
    void init();
    void MissingArchiveIsSilent();
    void NonZipFileShowsOneMessage();
    void DamagedDirectoryKeepsEntriesAndSaysSo();
    void DataInFrontWarnsAndReadsAll();
    void AssigningAgainDiscardsTheOldEntries();
    void InfoFilesLandInTheBaseFolder();
    void ViewerKeepsStoredFolders();
    void ExtractedFilesKeepStoredTime();
    void OverwriteReplacesTheEarlierCopy();
    void WithoutOverwriteExistingFilesStay();
    void NothingMatchingExtractsNothing();
    void ExtractFromVanishedArchiveFails();
    void ArchiveWithLongestCommentExtracts();
    void ArchivesFromOtherWriters();
    void UnsafeNamesWriteNothingOutside_data();
    void UnsafeNamesWriteNothingOutside();
    void LinksAreNeverFollowed();
    void RefusedInfoFileIsNamedTheRestExtracts_data();
    void RefusedInfoFileIsNamedTheRestExtracts();
    void DataLongerThanDeclaredFails();
    void DamagedMemberKeepsTheOldCopy_data();
    void DamagedMemberKeepsTheOldCopy();
    void ExtractDuringExtractDoesNothing();
    void ExtractIsReadyAgainAfterAnException();
    void NewArchiveForgetsTheLastCount();
    void LinksAndSpecialFilesAreRefusedByName();
    void Zip64MembersExtract();
    void ArchiveBehindAStubExtracts_data();
    void ArchiveBehindAStubExtracts();

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString base_;
};

void TestZipMaster::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    base_ = dir_->filePath("Tmp");
    QVERIFY(QDir().mkpath(base_));
}

void TestZipMaster::MissingArchiveIsSilent() {
    MessageRecorder messages;
    TZipMaster zip;
    zip.SetZipFilename(dir_->filePath("absent.zip"));
    QCOMPARE(zip.EntryCount(), 0);
    QCOMPARE(messages.Count(), 0);
}

void TestZipMaster::NonZipFileShowsOneMessage() {
    const QString path = dir_->filePath("notes.zip");
    WriteFile(path, QByteArray("just some text\r\n").repeated(100));
    MessageRecorder messages;
    TZipMaster zip;
    zip.SetZipFilename(path);
    QCOMPARE(zip.EntryCount(), 0);
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().kind, velm::MessageKind::PlainNotice);
    QVERIFY(messages.Last().text.contains(path));
    QVERIFY(messages.Last().text.contains("not a ZIP archive"));
}

void TestZipMaster::DamagedDirectoryKeepsEntriesAndSaysSo() {
    const QString path = dir_->filePath("damaged.zip");
    QVERIFY(ZipBuilder().Add("a.inf", "1").Add("b.inf", "2").BreakHeaderSignature(1).WriteTo(path));
    MessageRecorder messages;
    TZipMaster zip;
    zip.SetZipFilename(path);
    QCOMPARE(zip.EntryCount(), 1);
    QCOMPARE(zip.Entries()[0].FileName, QString("a.inf"));
    QCOMPARE(messages.Count(), 1);
    QVERIFY(messages.Last().text.contains("damaged"));
}

void TestZipMaster::DataInFrontWarnsAndReadsAll() {
    const QString path = dir_->filePath("sfx.zip");
    QVERIFY(ZipBuilder().Add("a.inf", "1").Add("b.inf", "2").Prefix(QByteArray(512, 'M')).WriteTo(path));
    MessageRecorder messages;
    TZipMaster zip;
    zip.SetZipFilename(path);
    QCOMPARE(zip.EntryCount(), 2);
    QCOMPARE(messages.Count(), 1);
    QVERIFY(messages.Last().text.startsWith("Warning"));
}

void TestZipMaster::AssigningAgainDiscardsTheOldEntries() {
    MessageRecorder messages;
    TZipMaster zip;
    zip.SetZipFilename(Fixture("infozip_stored.zip"));
    QCOMPARE(zip.EntryCount(), 6);
    zip.SetZipFilename(Fixture("python_cp437.zip"));
    QCOMPARE(zip.EntryCount(), 1);
    zip.SetZipFilename(dir_->filePath("absent.zip"));
    QCOMPARE(zip.EntryCount(), 0);
    zip.SetZipFilename(Fixture("python_utf8.zip"));
    zip.SetZipFilename(QString());
    QCOMPARE(zip.EntryCount(), 0);
    QCOMPARE(messages.Count(), 0);
}

void TestZipMaster::InfoFilesLandInTheBaseFolder() {
    const QString path = dir_->filePath("pkg.zip");
    QVERIFY(ZipBuilder()
                .Add("Pkg/Info/MyPkg.INF", "inf")
                .Add("pkg.upl", "upl")
                .Add("Pkg/readme.txt", "text")
                .Add("Pkg/Info/", "")
                .WriteTo(path));
    MessageRecorder messages;
    TZipMaster zip;  // set up as the import's instance
    zip.ExtrOptions = velm::ExtrOverWrite;
    zip.SetZipFilename(path);
    zip.ExtrBaseDir = base_ + "/";
    zip.FSpecArgs.clear();
    zip.FSpecArgs << "*.inf" << "*.upl";
    zip.Extract();
    QCOMPARE(zip.ExtractedCount(), 2);
    QCOMPARE(FilesBelow(base_), (QStringList{"MyPkg.INF", "pkg.upl"}));
    QCOMPARE(ReadFile(base_ + "/MyPkg.INF"), QByteArray("inf"));
    QVERIFY(zip.FSpecArgs.isEmpty());
    QCOMPARE(messages.Count(), 0);
}

void TestZipMaster::ViewerKeepsStoredFolders() {
    MessageRecorder messages;
    TZipMaster zip;  // set up as the viewer's instance
    zip.ExtrOptions = velm::ExtrDirNames | velm::ExtrOverWrite;
    zip.SetZipFilename(Fixture("infozip_deflated.zip"));
    zip.ExtrBaseDir = base_;
    zip.FSpecArgs << zip.Entries()[2].FileName;  // as listed: "Pkg\Info\MyPkg.INF"
    zip.Extract();
    QCOMPARE(zip.ExtractedCount(), 1);
    QCOMPARE(FilesBelow(base_), QStringList{"Pkg/Info/MyPkg.INF"});
    QCOMPARE(ReadFile(base_ + "/Pkg/Info/MyPkg.INF"), QByteArray("[DSP upload]\r\nVersion=1.2\r\nCategory=Grids\r\n"));

    zip.FSpecArgs << "*";
    zip.Extract();
    QCOMPARE(zip.ExtractedCount(), 3);  // folders are not counted
    QCOMPARE(FilesBelow(base_), (QStringList{"Pkg/Info/MyPkg.INF", "Pkg/Readme.txt", "source/Unit1.pas"}));
    QCOMPARE(ReadFile(base_ + "/Pkg/Readme.txt"), QByteArray("Read me first.\r\n").repeated(40));
    QCOMPARE(messages.Count(), 0);
}

void TestZipMaster::ExtractedFilesKeepStoredTime() {
    const QString path = dir_->filePath("times.zip");
    ZipMember member{"pkg.inf", "x"};
    member.dosTime = (quint32((1999 - 1980) << 9 | 12 << 5 | 31) << 16) | (23 << 11 | 58 << 5 | 29);
    QVERIFY(ZipBuilder().Add(member).WriteTo(path));
    TZipMaster zip;
    zip.ExtrOptions = velm::ExtrOverWrite;
    zip.SetZipFilename(path);
    zip.ExtrBaseDir = base_;
    zip.FSpecArgs << "*.inf";
    zip.Extract();
    QCOMPARE(zip.ExtractedCount(), 1);
    QCOMPARE(QFileInfo(base_ + "/pkg.inf").lastModified(), QDateTime(QDate(1999, 12, 31), QTime(23, 58, 58)));
    // Ordinary permissions, not those of a private temporary file.
    QVERIFY(QFileInfo(base_ + "/pkg.inf").permissions().testFlag(QFileDevice::ReadOther));
}

void TestZipMaster::OverwriteReplacesTheEarlierCopy() {
    const QString path = dir_->filePath("pkg.zip");
    QVERIFY(ZipBuilder().Add("sub/pkg.inf", "new").WriteTo(path));
    WriteFile(base_ + "/pkg.inf", "old and longer");
    MessageRecorder messages;
    TZipMaster zip;
    zip.ExtrOptions = velm::ExtrOverWrite;
    zip.SetZipFilename(path);
    for (int round = 0; round < 2; ++round) {
        zip.ExtrBaseDir = base_;
        zip.FSpecArgs << "*.inf";
        zip.Extract();
        QCOMPARE(zip.ExtractedCount(), 1);
        QCOMPARE(ReadFile(base_ + "/pkg.inf"), QByteArray("new"));
    }
    QCOMPARE(FilesBelow(base_), QStringList{"pkg.inf"});  // no temporary files left behind
    QCOMPARE(messages.Count(), 0);
}

void TestZipMaster::WithoutOverwriteExistingFilesStay() {
    const QString path = dir_->filePath("pkg.zip");
    QVERIFY(ZipBuilder().Add("pkg.inf", "new").Add("pkg.upl", "new").WriteTo(path));
    WriteFile(base_ + "/pkg.inf", "old");
    TZipMaster zip;
    zip.SetZipFilename(path);
    zip.ExtrBaseDir = base_;
    zip.FSpecArgs << "*";
    zip.Extract();
    QCOMPARE(zip.ExtractedCount(), 1);
    QCOMPARE(ReadFile(base_ + "/pkg.inf"), QByteArray("old"));
    QCOMPARE(ReadFile(base_ + "/pkg.upl"), QByteArray("new"));
}

void TestZipMaster::NothingMatchingExtractsNothing() {
    MessageRecorder messages;
    TZipMaster zip;
    zip.ExtrOptions = velm::ExtrOverWrite;
    zip.SetZipFilename(Fixture("infozip_stored.zip"));
    zip.ExtrBaseDir = base_;
    zip.FSpecArgs << "*.upl" << "Info\\MyPkg.INF";
    zip.Extract();
    QCOMPARE(zip.ExtractedCount(), 0);
    QVERIFY(zip.FSpecArgs.isEmpty());
    QVERIFY(FilesBelow(base_).isEmpty());
    QCOMPARE(messages.Count(), 0);
}

void TestZipMaster::ExtractFromVanishedArchiveFails() {
    const QString path = dir_->filePath("gone.zip");
    QVERIFY(ZipBuilder().Add("pkg.inf", "x").WriteTo(path));
    MessageRecorder messages;
    TZipMaster zip;
    zip.SetZipFilename(path);
    QVERIFY(QFile::remove(path));
    zip.ExtrBaseDir = base_;
    zip.FSpecArgs << "*.inf";
    zip.Extract();
    QCOMPARE(zip.ExtractedCount(), 0);
    QVERIFY(zip.FSpecArgs.isEmpty());
    QCOMPARE(messages.Count(), 1);
    QVERIFY(messages.Last().text.contains(path));

    // Replaced by another archive since it was listed: its members are not mixed up.
    QVERIFY(ZipBuilder().Add("other.inf", "y").WriteTo(path));
    messages.Clear();
    zip.FSpecArgs << "*.inf";
    zip.Extract();
    QCOMPARE(zip.ExtractedCount(), 0);
    QCOMPARE(messages.Count(), 1);
    QVERIFY(messages.Last().text.endsWith("the archive has changed since it was read"));
    QVERIFY(FilesBelow(base_).isEmpty());
}

void TestZipMaster::ArchiveWithLongestCommentExtracts() {
    const QString path = dir_->filePath("comment.zip");
    QVERIFY(ZipBuilder().Add("Pkg/pkg.inf", "inf").Comment(QByteArray(65535, 'c')).WriteTo(path));
    MessageRecorder messages;
    TZipMaster zip;
    zip.ExtrOptions = velm::ExtrOverWrite;
    zip.SetZipFilename(path);
    QCOMPARE(zip.EntryCount(), 1);
    zip.ExtrBaseDir = base_;
    zip.FSpecArgs << "*.inf";
    zip.Extract();
    QCOMPARE(zip.ExtractedCount(), 1);
    QCOMPARE(ReadFile(base_ + "/pkg.inf"), QByteArray("inf"));
    QCOMPARE(messages.Count(), 0);
}

void TestZipMaster::ArchivesFromOtherWriters() {
    MessageRecorder messages;
    TZipMaster zip;
    zip.ExtrOptions = velm::ExtrOverWrite;
    zip.ExtrBaseDir = base_;
    for (const QString name : {"python_descriptor.zip", "python_cp437.zip", "python_utf8.zip"}) {
        zip.SetZipFilename(Fixture(name));
        zip.FSpecArgs << "*.INF" << "*.upl";
        zip.Extract();
        QCOMPARE(zip.ExtractedCount(), 1);
    }
    // Deflated small and large, and bzip2, which libzip still reads for us.
    const QString libzipArchive = dir_->filePath("libzip.zip");
    const QByteArray large = LargeText(40000);
    QVERIFY(WriteWithLibzip(libzipArchive, {{"deep/down/lib.inf", QByteArray("libzip ").repeated(1000)},
                                            {"deep/big.inf", large},
                                            {"bzip2.inf", QByteArray("bzip2 ").repeated(500), ZIP_CM_BZIP2}}));
    zip.SetZipFilename(libzipArchive);
    QVERIFY(zip.Entries()[1].ComprSize64 > 64 * 1024 && zip.Entries()[1].UncomprSize64 > 2 * 256 * 1024);
    zip.FSpecArgs << "*.inf";
    zip.Extract();
    QCOMPARE(zip.ExtractedCount(), 3);
    QCOMPARE(FilesBelow(base_), (QStringList{QString::fromUtf8("Menü.inf"), "big.inf", "bzip2.inf", "lib.inf",
                                             "pkg.upl", QString::fromUtf8("Übersicht.inf")}));
    QCOMPARE(ReadFile(base_ + "/pkg.upl"), QByteArray("[DSP upload]\r\nVersion=3.1\r\n"));
    QCOMPARE(ReadFile(base_ + "/lib.inf"), QByteArray("libzip ").repeated(1000));
    QCOMPARE(ReadFile(base_ + "/big.inf"), large);
    QCOMPARE(ReadFile(base_ + "/bzip2.inf"), QByteArray("bzip2 ").repeated(500));
    QCOMPARE(messages.Count(), 0);
}

void TestZipMaster::UnsafeNamesWriteNothingOutside_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("dirNames");
    for (const bool dirNames : {false, true}) {
        const char* mode = dirNames ? " with folders" : " flat";
        QTest::addRow("parent%s", mode) << QByteArray("../evil.inf") << dirNames;
        QTest::addRow("parent backslash%s", mode) << QByteArray("..\\evil.inf") << dirNames;
        QTest::addRow("parent deeper%s", mode) << QByteArray("Pkg/../../evil.inf") << dirNames;
        QTest::addRow("absolute%s", mode) << QByteArray("<outside>/evil.inf") << dirNames;
        QTest::addRow("drive%s", mode) << QByteArray("C:\\evil.inf") << dirNames;
    }
}

void TestZipMaster::UnsafeNamesWriteNothingOutside() {
    QFETCH(QByteArray, name);
    QFETCH(bool, dirNames);
    // Base folder two levels down, so ".." and "../.." both land in watched folders.
    const QString base = dir_->filePath("a/Tmp");
    QVERIFY(QDir().mkpath(base));
    const QString outside = dir_->filePath("outside");
    QVERIFY(QDir().mkpath(outside));
    name.replace("<outside>", QFile::encodeName(outside));
    const QString path = dir_->filePath("evil.zip");
    QVERIFY(ZipBuilder().Add(name, "evil").Add("good.inf", "good").WriteTo(path));

    MessageRecorder messages;
    TZipMaster zip;
    zip.ExtrOptions = velm::ExtrOverWrite;
    if (dirNames)
        zip.ExtrOptions |= velm::ExtrDirNames;
    zip.SetZipFilename(path);
    zip.ExtrBaseDir = base;
    zip.FSpecArgs << "*.inf";
    zip.Extract();
    QCOMPARE(zip.ExtractedCount(), 1);
    QCOMPARE(FilesBelow(dir_->path()), (QStringList{"a/Tmp/good.inf", "evil.zip"}));
    QCOMPARE(messages.Count(), 1);
    QVERIFY(messages.Last().text.contains("evil.inf"));
    QVERIFY(messages.Last().text.contains("unsafe name"));
}

void TestZipMaster::LinksAreNeverFollowed() {
    const QString outside = dir_->filePath("outside");
    QVERIFY(QDir().mkpath(outside));
    WriteFile(outside + "/pkg.inf", "precious");
    QVERIFY(QFile::link(outside, base_ + "/Pkg"));
    QVERIFY(QFile::link(outside + "/pkg.inf", base_ + "/pkg.inf"));
    const QString path = dir_->filePath("links.zip");
    QVERIFY(ZipBuilder().Add("Pkg/new.inf", "via folder link").Add("pkg.inf", "via file link").WriteTo(path));

    MessageRecorder messages;
    TZipMaster zip;
    zip.ExtrOptions = velm::ExtrDirNames | velm::ExtrOverWrite;
    zip.SetZipFilename(path);
    zip.ExtrBaseDir = base_;
    zip.FSpecArgs << "*.inf";
    zip.Extract();
    // The file link is replaced by the member, the folder link refuses its member.
    QCOMPARE(zip.ExtractedCount(), 1);
    QCOMPARE(ReadFile(outside + "/pkg.inf"), QByteArray("precious"));
    QVERIFY(!QFile::exists(outside + "/new.inf"));
    QVERIFY(!QFileInfo(base_ + "/pkg.inf").isSymLink());
    QCOMPARE(ReadFile(base_ + "/pkg.inf"), QByteArray("via file link"));
    QCOMPARE(messages.Count(), 1);
    QVERIFY(messages.Last().text.contains("Pkg\\new.inf"));
}

void TestZipMaster::RefusedInfoFileIsNamedTheRestExtracts_data() {
    QTest::addColumn<ZipMember>("refused");
    QTest::addColumn<QString>("reason");
    ZipMember huge{"huge.inf", "tiny"};
    huge.declaredSize = 0xFFFFFFF0;
    QTest::newRow("absurd size") << huge << "huge.inf: larger than 64 MiB";
    ZipMember secret{"pkg.inf", QByteArray(40, '\x5A')};  // twelve header bytes and cipher text
    secret.flags = 0x0001;
    QTest::newRow("encrypted") << secret << "pkg.inf: encrypted: cannot be read";
}

void TestZipMaster::RefusedInfoFileIsNamedTheRestExtracts() {
    QFETCH(ZipMember, refused);
    QFETCH(QString, reason);
    const QString path = dir_->filePath("refused.zip");
    QVERIFY(ZipBuilder().Add(refused).Add("fine.upl", "fine").WriteTo(path));
    MessageRecorder messages;
    TZipMaster zip;
    zip.ExtrOptions = velm::ExtrOverWrite;
    zip.SetZipFilename(path);
    zip.ExtrBaseDir = base_;
    zip.FSpecArgs << "*.inf" << "*.upl";
    zip.Extract();
    QCOMPARE(zip.ExtractedCount(), 1);
    QCOMPARE(FilesBelow(base_), QStringList{"fine.upl"});
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().text,
             QStringLiteral("These members of the ZIP archive %1 were not extracted:\r%2").arg(path, reason));
}

void TestZipMaster::DataLongerThanDeclaredFails() {
    // A deflated member that claims to be 10 bytes but unpacks to 100 kB.
    const QString path = dir_->filePath("bomb.zip");
    QVERIFY(WriteWithLibzip(path, {{"bomb.inf", QByteArray(100000, 'z')}}));
    QByteArray bytes = ReadFile(path);
    const QByteArray size100k("\xA0\x86\x01\x00", 4);
    QCOMPARE(bytes.count(size100k), 2);  // the local and the central header
    bytes.replace(size100k, QByteArray("\x0A\x00\x00\x00", 4));
    WriteFile(path, bytes);

    MessageRecorder messages;
    TZipMaster zip;
    zip.ExtrOptions = velm::ExtrOverWrite;
    zip.SetZipFilename(path);
    QCOMPARE(zip.Entries()[0].UncomprSize, quint32(10));
    zip.ExtrBaseDir = base_;
    zip.FSpecArgs << "*.inf";
    zip.Extract();
    QCOMPARE(zip.ExtractedCount(), 0);
    QVERIFY(FilesBelow(base_).isEmpty());
    QCOMPARE(messages.Count(), 1);
    QVERIFY(messages.Last().text.contains("failed"));
}

void TestZipMaster::DamagedMemberKeepsTheOldCopy_data() {
    QTest::addColumn<ZipMember>("broken");
    QTest::addColumn<Damage>("damage");
    const QByteArray contents = QByteArray("new contents ").repeated(100);
    const ZipMember member{"pkg.inf", contents};
    const Damage none = [](QByteArray&) {};
    ZipMember wrongCrc = member;
    wrongCrc.wrongCrc = true;
    QTest::newRow("wrong CRC-32") << wrongCrc << none;
    // The archive's first "pkg.inf" is the name in the member's local header.
    QTest::newRow("local header names another member")
        << member << Damage([](QByteArray& bytes) { bytes[bytes.indexOf("pkg.inf") + 6] = 'x'; });
    QTest::newRow("local header signature")
        << member << Damage([](QByteArray& bytes) { bytes[bytes.indexOf("pkg.inf") - 30 + 3] = 9; });
    ZipMember beyond = member;
    beyond.zip64 = true;
    beyond.claimedComprSize64 = quint64(1) << 40;
    QTest::newRow("data beyond the end of the file") << beyond << none;
    ZipMember garbled = member;
    garbled.deflated = QByteArray(64, '\xFF');
    QTest::newRow("deflated data garbled") << garbled << none;
    ZipMember cut = member;
    cut.deflated = velm::test::RawDeflate(contents).chopped(4);
    QTest::newRow("deflated data cut short") << cut << none;
}

void TestZipMaster::DamagedMemberKeepsTheOldCopy() {
    QFETCH(ZipMember, broken);
    QFETCH(Damage, damage);
    const QString path = dir_->filePath("damaged.zip");
    QByteArray bytes = ZipBuilder().Add("first.upl", "ok").Add(broken).Build();
    damage(bytes);
    WriteFile(path, bytes);
    WriteFile(base_ + "/pkg.inf", "old");
    MessageRecorder messages;
    TZipMaster zip;
    zip.ExtrOptions = velm::ExtrOverWrite;
    zip.SetZipFilename(path);
    zip.ExtrBaseDir = base_;
    zip.FSpecArgs << "*";
    zip.Extract();
    QCOMPARE(zip.ExtractedCount(), 0);
    QVERIFY(zip.FSpecArgs.isEmpty());
    QCOMPARE(ReadFile(base_ + "/pkg.inf"), QByteArray("old"));
    QCOMPARE(FilesBelow(base_), (QStringList{"first.upl", "pkg.inf"}));
    QCOMPARE(messages.Count(), 1);
    QVERIFY2(messages.Last().text.contains("pkg.inf: the ") && messages.Last().text.contains(" is damaged"),
             qPrintable(messages.Last().text));
}

void TestZipMaster::ExtractDuringExtractDoesNothing() {
    const QString path = dir_->filePath("pkg.zip");
    QVERIFY(ZipBuilder().Add("a.inf", "a").Add("b.inf", "b").WriteTo(path));
    TZipMaster zip;
    zip.ResponsiveIntervalMs = 0;  // the event loop runs between chunks at once
    zip.ExtrOptions = velm::ExtrOverWrite;
    zip.SetZipFilename(path);
    zip.ExtrBaseDir = base_;
    zip.FSpecArgs << "*.inf";
    int countSeenInside = -1;
    bool ranInside = false;
    // The event loop runs while data is written; a second Extract started from it
    // must not run a nested extraction.
    QTimer::singleShot(0, this, [&] {
        ranInside = true;
        zip.Extract();
        countSeenInside = zip.ExtractedCount();
    });
    zip.Extract();
    QVERIFY(ranInside);
    QCOMPARE(countSeenInside, 0);
    QCOMPARE(zip.ExtractedCount(), 2);
}

namespace {

// A presenter whose message boxes fail: the exception leaves Extract through a notice.
class ThrowingPresenter : public velm::MessagePresenter {
public:
    ThrowingPresenter() { previous_ = velm::SetMessagePresenter(this); }
    ~ThrowingPresenter() override { velm::SetMessagePresenter(previous_); }
    bool Show(velm::MessageKind, const QString&, const QString&) override { throw std::runtime_error("no screen"); }

private:
    velm::MessagePresenter* previous_ = nullptr;
};

constexpr quint16 kUnixHost = (3 << 8) | 30;

ZipMember UnixMember(const QByteArray& name, const QByteArray& data, quint32 mode) {
    ZipMember member{name, data};
    member.madeBy = kUnixHost;
    member.externalAttributes = mode << 16;
    return member;
}

}  // namespace

void TestZipMaster::ExtractIsReadyAgainAfterAnException() {
    const QString path = dir_->filePath("pkg.zip");
    QVERIFY(ZipBuilder().Add("../evil.inf", "evil").Add("good.inf", "good").WriteTo(path));
    TZipMaster zip;
    zip.ExtrOptions = velm::ExtrOverWrite;
    zip.SetZipFilename(path);
    zip.ExtrBaseDir = base_;
    zip.FSpecArgs << "*.inf";
    {
        ThrowingPresenter failing;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, zip.Extract());
    }
    QVERIFY(zip.FSpecArgs.isEmpty());
    QVERIFY(QFile::remove(base_ + "/good.inf"));

    MessageRecorder messages;
    zip.FSpecArgs << "good.inf";
    zip.Extract();
    QCOMPARE(zip.ExtractedCount(), 1);
    QCOMPARE(ReadFile(base_ + "/good.inf"), QByteArray("good"));
}

void TestZipMaster::NewArchiveForgetsTheLastCount() {
    MessageRecorder messages;
    TZipMaster zip;
    zip.ExtrOptions = velm::ExtrOverWrite;
    zip.SetZipFilename(Fixture("infozip_stored.zip"));
    zip.ExtrBaseDir = base_;
    zip.FSpecArgs << "*";
    zip.Extract();
    QCOMPARE(zip.ExtractedCount(), 3);
    zip.SetZipFilename(Fixture("python_utf8.zip"));
    QCOMPARE(zip.ExtractedCount(), 0);
    zip.SetZipFilename(dir_->filePath("absent.zip"));
    QCOMPARE(zip.ExtractedCount(), 0);
}

void TestZipMaster::LinksAndSpecialFilesAreRefusedByName() {
    const QString path = dir_->filePath("links.zip");
    QVERIFY(ZipBuilder()
                .Add(UnixMember("Pkg/link.inf", "../../../etc/passwd", 0120777))
                .Add(UnixMember("Pkg/device.inf", "", 0020644))
                .Add(UnixMember("Pkg/real.inf", "real", 0100644))
                .Add(UnixMember("Pkg/piped.inf", "read from a pipe", 0010644))
                .Add(UnixMember("Pkg/Info/", "", 0040755))
                .WriteTo(path));
    MessageRecorder messages;
    TZipMaster zip;
    zip.ExtrOptions = velm::ExtrDirNames | velm::ExtrOverWrite;
    zip.SetZipFilename(path);
    zip.ExtrBaseDir = base_;
    zip.FSpecArgs << "*";
    zip.Extract();
    QCOMPARE(zip.ExtractedCount(), 2);
    QCOMPARE(FilesBelow(base_), (QStringList{"Pkg/piped.inf", "Pkg/real.inf"}));
    QCOMPARE(ReadFile(base_ + "/Pkg/piped.inf"), QByteArray("read from a pipe"));
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().text, QStringLiteral("These members of the ZIP archive %1 were not extracted:\r"
                                                  "Pkg\\link.inf: a link\rPkg\\device.inf: not a regular file")
                                       .arg(path));
}

void TestZipMaster::Zip64MembersExtract() {
    ZipMember stored{"Pkg/pkg.inf", "[DSP upload]\r\n"};
    stored.zip64 = true;
    ZipMember deflated{"Pkg/readme.txt", QByteArray("zip64 ").repeated(500)};
    deflated.zip64 = true;
    deflated.dataDescriptor = true;
    deflated.deflated = velm::test::RawDeflate(deflated.data);
    const QString path = dir_->filePath("zip64.zip");
    QVERIFY(ZipBuilder().Add(stored).Add(deflated).Zip64End().WriteTo(path));
    MessageRecorder messages;
    TZipMaster zip;
    zip.ExtrOptions = velm::ExtrDirNames | velm::ExtrOverWrite;
    zip.SetZipFilename(path);
    QCOMPARE(zip.EntryCount(), 2);
    zip.ExtrBaseDir = base_;
    zip.FSpecArgs << "*";
    zip.Extract();
    QCOMPARE(zip.ExtractedCount(), 2);
    QCOMPARE(ReadFile(base_ + "/Pkg/pkg.inf"), QByteArray("[DSP upload]\r\n"));
    QCOMPARE(ReadFile(base_ + "/Pkg/readme.txt"), QByteArray("zip64 ").repeated(500));
    QCOMPARE(messages.Count(), 0);
}

void TestZipMaster::ArchiveBehindAStubExtracts_data() {
    QTest::addColumn<bool>("zip64");
    QTest::newRow("classic") << false;
    QTest::newRow("zip64") << true;
}

void TestZipMaster::ArchiveBehindAStubExtracts() {
    // A self-extractor made by putting a program in front of an archive: the archive's
    // offsets count from its own start.
    QFETCH(bool, zip64);
    ZipMember member{"Pkg/pkg.inf", "behind a stub"};
    member.zip64 = zip64;
    ZipBuilder builder;
    builder.Add("first.txt", "1").Add(member).Prefix(QByteArray("MZ").repeated(3000));
    if (zip64)
        builder.Zip64End();
    const QString path = dir_->filePath("sfx.exe");
    QVERIFY(builder.WriteTo(path));
    MessageRecorder messages;
    TZipMaster zip;
    zip.ExtrOptions = velm::ExtrOverWrite;
    zip.SetZipFilename(path);
    QCOMPARE(zip.EntryCount(), 2);
    QCOMPARE(messages.Count(), 1);  // the stored offset differs: a warning
    zip.ExtrBaseDir = base_;
    zip.FSpecArgs << "*.inf";
    zip.Extract();
    QCOMPARE(zip.ExtractedCount(), 1);
    QCOMPARE(ReadFile(base_ + "/pkg.inf"), QByteArray("behind a stub"));
    QCOMPARE(messages.Count(), 1);
}

QTEST_MAIN(TestZipMaster)
#include "test_zip_master.moc"
