#include "import/zip_directory.h"
#include "zip_builder.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QtTest>

using velm::ZipDirectory;
using velm::ZipReadStatus;
using velm::test::ZipBuilder;
using velm::test::ZipMember;

namespace {

ZipDirectory ReadBytes(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return velm::ReadZipDirectory(buffer);
}

QStringList Names(const ZipDirectory& directory) {
    QStringList names;
    for (const velm::ZipDirEntry& entry : directory.Entries)
        names.append(entry.FileName);
    return names;
}

QString Fixture(const QString& name) { return QStringLiteral(VELMORA_TEST_DATA "/zip/") + name; }

}  // namespace

class TestZipDirectory : public QObject {
    Q_OBJECT

private slots:
    void ReadsEveryHeaderField();
    void EndRecordBehindTheLongestComment();
    void CommentsThatLookLikeEndRecords();
    void NotAZipArchive_data();
    void NotAZipArchive();
    void EmptyArchiveIsFine();
    void DamagedDirectoryKeepsWhatWasRead();
    void DataInFrontIsFoundWithWarning();
    void EveryTruncationFailsCleanly();
    void NameCharacterSets_data();
    void NameCharacterSets();
    void ArchivesFromOtherWriters_data();
    void ArchivesFromOtherWriters();
    void MissingFileIsNotFound();
    void DosDateTime();
};

void TestZipDirectory::ReadsEveryHeaderField() {
    ZipMember member{"Pkg/Info/a.inf", "hello"};
    member.madeBy = (11 << 8) | 63;
    member.flags = 0x0002;
    member.extra = QByteArray("\x55\x54\x05\x00\x01\x00\x00\x00\x00", 9);
    member.comment = "a/comment";
    member.externalAttributes = 0x20;
    const ZipDirectory directory =
        ReadBytes(ZipBuilder().Add("first.txt", "0123456789").Add(member).Build());
    QCOMPARE(directory.Status, ZipReadStatus::Ok);
    QCOMPARE(directory.OffsetDiffers, false);
    QCOMPARE(directory.Entries.size(), size_t(2));
    const velm::ZipDirEntry& e = directory.Entries[1];
    QCOMPARE(e.MadeByVersion, quint16((11 << 8) | 63));
    QCOMPARE(e.ExtractVersion, quint16(20));
    QCOMPARE(e.Flag, quint16(0x0002));
    QCOMPARE(e.ComprMethod, quint16(0));
    QCOMPARE(e.DateTime, velm::test::kSampleDosTime);
    QCOMPARE(e.CRC32, velm::test::Crc32("hello"));
    QCOMPARE(e.ComprSize, quint32(5));
    QCOMPARE(e.UncomprSize, quint32(5));
    QCOMPARE(e.FileNameLen, quint16(14));
    QCOMPARE(e.ExtraFieldLen, quint16(9));
    QCOMPARE(e.FileComLen, quint16(9));
    QCOMPARE(e.ExtFileAtt, quint32(0x20));
    QCOMPARE(e.RelOffLocal, quint32(30 + 9 + 10));  // behind the first member
    QCOMPARE(e.FileName, QString("Pkg\\Info\\a.inf"));
    QCOMPARE(e.FileComment, QString("a/comment"));  // comments keep their slashes
    QCOMPARE(e.RawFileName, QByteArray("Pkg/Info/a.inf"));
}

void TestZipDirectory::EndRecordBehindTheLongestComment() {
    const ZipDirectory longest =
        ReadBytes(ZipBuilder().Add("a.inf", "x").Add("b.upl", "y").Comment(QByteArray(65535, 'c')).Build());
    QCOMPARE(longest.Status, ZipReadStatus::Ok);
    QCOMPARE(Names(longest), (QStringList{"a.inf", "b.upl"}));

    // A record further from the end than any comment allows is not looked for.
    const QByteArray beyond = ZipBuilder().Add("a.inf", "x").Comment(QByteArray(65535, 'c')).Build() + "!";
    QCOMPARE(ReadBytes(beyond).Status, ZipReadStatus::NotZip);
}

void TestZipDirectory::CommentsThatLookLikeEndRecords() {
    // A signature inside the comment whose own comment would run past the end of the file
    // is not taken for the record.
    QByteArray comment("PK\x05\x06", 4);
    comment += QByteArray(16, '\0');
    comment += QByteArray("\xFF\x7F", 2);
    comment += "tail";
    const ZipDirectory directory = ReadBytes(ZipBuilder().Add("a.inf", "x").Comment(comment).Build());
    QCOMPARE(directory.Status, ZipReadStatus::Ok);
    QCOMPARE(Names(directory), QStringList{"a.inf"});
}

void TestZipDirectory::NotAZipArchive_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("short") << QByteArray("PK\x05\x06", 4);
    QTest::newRow("text") << QByteArray("[DSP upload]\r\nVersion=1\r\n").repeated(20);
    QTest::newRow("local header only") << ZipBuilder().Add("a", "b").Build().left(31);
}

void TestZipDirectory::NotAZipArchive() {
    QFETCH(QByteArray, bytes);
    const ZipDirectory directory = ReadBytes(bytes);
    QCOMPARE(directory.Status, ZipReadStatus::NotZip);
    QVERIFY(directory.Entries.empty());
}

void TestZipDirectory::EmptyArchiveIsFine() {
    const ZipDirectory directory = ReadBytes(ZipBuilder().Build());
    QCOMPARE(directory.Status, ZipReadStatus::Ok);
    QVERIFY(directory.Entries.empty());
}

void TestZipDirectory::DamagedDirectoryKeepsWhatWasRead() {
    const ZipDirectory badSignature =
        ReadBytes(ZipBuilder().Add("a", "1").Add("b", "2").Add("c", "3").BreakHeaderSignature(1).Build());
    QCOMPARE(badSignature.Status, ZipReadStatus::Damaged);
    QCOMPARE(Names(badSignature), QStringList{"a"});
    QVERIFY(badSignature.Detail.contains("signature"));

    const ZipDirectory tooMany = ReadBytes(ZipBuilder().Add("a", "1").Add("b", "2").DeclareEntries(3).Build());
    QCOMPARE(tooMany.Status, ZipReadStatus::Damaged);
    QCOMPARE(Names(tooMany), (QStringList{"a", "b"}));

    // A directory size larger than everything in front of the record.
    QByteArray bytes = ZipBuilder().Add("a", "1").Build();
    bytes[bytes.size() - 10 + 0] = '\xFF';
    bytes[bytes.size() - 10 + 1] = '\xFF';
    const ZipDirectory tooLarge = ReadBytes(bytes);
    QCOMPARE(tooLarge.Status, ZipReadStatus::Damaged);
    QVERIFY(tooLarge.Entries.empty());
}

void TestZipDirectory::DataInFrontIsFoundWithWarning() {
    const QByteArray prefix(1000, 'M');
    const QByteArray plain = ZipBuilder().Add("a.inf", "x").Add("b.upl", "y").Build();
    const ZipDirectory directory = ReadBytes(ZipBuilder().Add("a.inf", "x").Add("b.upl", "y").Prefix(prefix).Build());
    QCOMPARE(directory.Status, ZipReadStatus::Ok);
    QCOMPARE(Names(directory), (QStringList{"a.inf", "b.upl"}));
    QVERIFY(directory.OffsetDiffers);
    const qint64 stored = plain.size() - 22 - 2 * (46 + 5);
    QCOMPARE(directory.StoredOffset, stored);
    QCOMPARE(directory.ComputedOffset, stored + prefix.size());
}

void TestZipDirectory::EveryTruncationFailsCleanly() {
    QFile file(Fixture("infozip_deflated.zip"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    QCOMPARE(ReadBytes(whole).Entries.size(), size_t(6));
    for (qsizetype length = 0; length < whole.size(); ++length) {
        const ZipDirectory cut = ReadBytes(whole.left(length));
        QVERIFY2(cut.Status == ZipReadStatus::NotZip || cut.Status == ZipReadStatus::Damaged,
                 qPrintable(QString::number(length)));
    }
}

void TestZipDirectory::NameCharacterSets_data() {
    QTest::addColumn<int>("madeBy");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QString>("name");
    // 0x9A is "Ü" in the DOS character set and "š" in Windows-1252.
    const QByteArray dos("\x9A" "bersicht/Men\x81.inf");
    const QString dosText = QString::fromUtf8("Übersicht\\Menü.inf");
    const QString windowsText = QString::fromUtf8("šbersicht\\Men\u0081.inf");
    QTest::newRow("MS-DOS host") << (0 << 8 | 20) << 0 << dos << dosText;
    QTest::newRow("OS/2 HPFS host") << (6 << 8 | 20) << 0 << dos << dosText;
    QTest::newRow("NTFS host, zip 5.0") << (11 << 8 | 50) << 0 << dos << dosText;
    QTest::newRow("NTFS host, other version") << (11 << 8 | 20) << 0 << dos << windowsText;
    QTest::newRow("Unix host") << (3 << 8 | 30) << 0 << dos << windowsText;
    QTest::newRow("Unix host, UTF-8 bytes") << (3 << 8 | 30) << 0 << QByteArray("Caf\xC3\xA9.inf") << QString::fromUtf8("Café.inf");
    QTest::newRow("UTF-8 flag beats host") << (0 << 8 | 20) << 0x0800 << QByteArray("Caf\xC3\xA9.inf")
                                           << QString::fromUtf8("Café.inf");
    QTest::newRow("ASCII") << (0 << 8 | 20) << 0 << QByteArray("a/b/c.inf") << QString("a\\b\\c.inf");
}

void TestZipDirectory::NameCharacterSets() {
    QFETCH(int, madeBy);
    QFETCH(int, flags);
    QFETCH(QByteArray, raw);
    QFETCH(QString, name);
    ZipMember member{raw, "data"};
    member.madeBy = quint16(madeBy);
    member.flags = quint16(flags);
    member.comment = raw;
    const ZipDirectory directory = ReadBytes(ZipBuilder().Add(member).Build());
    QCOMPARE(directory.Status, ZipReadStatus::Ok);
    QCOMPARE(directory.Entries[0].FileName, name);
    QString comment = name;
    QCOMPARE(directory.Entries[0].FileComment, comment.replace(u'\\', u'/'));
}

void TestZipDirectory::ArchivesFromOtherWriters_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<quint32>>("sizes");
    const QStringList tree{"Pkg\\", "Pkg\\Info\\", "Pkg\\Info\\MyPkg.INF", "Pkg\\Readme.txt", "source\\",
                           "source\\Unit1.pas"};
    const QList<quint32> treeSizes{0, 0, 43, 640, 0, 46};
    QTest::newRow("Info-ZIP deflated") << "infozip_deflated.zip" << tree << treeSizes;
    QTest::newRow("Info-ZIP stored") << "infozip_stored.zip" << tree << treeSizes;
    QTest::newRow("zipfile data descriptor") << "python_descriptor.zip" << QStringList{"pkg.upl", "docs\\notes.txt"}
                                             << QList<quint32>{27, 300};
    QTest::newRow("zipfile CP437") << "python_cp437.zip" << QStringList{QString::fromUtf8("Übersicht.inf")}
                                   << QList<quint32>{25};
    QTest::newRow("zipfile UTF-8") << "python_utf8.zip" << QStringList{QString::fromUtf8("Café\\Menü.inf")}
                                   << QList<quint32>{14};
}

void TestZipDirectory::ArchivesFromOtherWriters() {
    QFETCH(QString, file);
    QFETCH(QStringList, names);
    QFETCH(QList<quint32>, sizes);
    const ZipDirectory directory = velm::ReadZipDirectoryFile(Fixture(file));
    QCOMPARE(directory.Status, ZipReadStatus::Ok);
    QCOMPARE(directory.OffsetDiffers, false);
    QCOMPARE(Names(directory), names);
    for (size_t i = 0; i < directory.Entries.size(); ++i) {
        const velm::ZipDirEntry& e = directory.Entries[i];
        QCOMPARE(e.UncomprSize, sizes[qsizetype(i)]);
        QVERIFY(e.ComprSize > 0 || e.UncomprSize == 0);
        QCOMPARE(velm::DosDateTimeToLocal(e.DateTime), QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)));
    }
}

void TestZipDirectory::MissingFileIsNotFound() {
    QTemporaryDir dir;
    const ZipDirectory directory = velm::ReadZipDirectoryFile(dir.filePath("absent.zip"));
    QCOMPARE(directory.Status, ZipReadStatus::NotFound);
    QVERIFY(directory.Entries.empty());
}

void TestZipDirectory::DosDateTime() {
    QCOMPARE(velm::DosDateTimeToLocal(velm::test::kSampleDosTime), QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)));
    QVERIFY(!velm::DosDateTimeToLocal(0).isValid());  // month 0 is no date
    const quint32 lastSecond = (quint32((2107 - 1980) << 9 | 12 << 5 | 31) << 16) | (23 << 11 | 59 << 5 | 29);
    QCOMPARE(velm::DosDateTimeToLocal(lastSecond), QDateTime(QDate(2107, 12, 31), QTime(23, 59, 58)));
}

QTEST_GUILESS_MAIN(TestZipDirectory)
#include "test_zip_directory.moc"
