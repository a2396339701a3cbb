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
    void Zip64RecordsAndExtraFields();
    void Zip64KeepsClassicValuesOfStreamingWriters();
    void Zip64BehindAStub();
    void MarkersWithoutZip64AreValues();
    void DamagedZip64IsNeverTrusted_data();
    void DamagedZip64IsNeverTrusted();
    void EveryZip64TruncationFailsCleanly();
    void MemberKinds();
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
    QCOMPARE(e.StoredName(), QByteArray("Pkg/Info/a.inf"));
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
    QTest::newRow("ASCII with a backslash") << (0 << 8 | 20) << 0 << QByteArray("a\\b/c.inf") << QString("a\\b\\c.inf");
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
    QCOMPARE(directory.Entries[0].StoredName(), raw);
    QString comment = name;
    if (!raw.contains('\\'))
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

namespace {

// Three members whose sizes and offsets need 64 bits in the directory; the sizes of the
// second are claimed, not written.
ZipBuilder Zip64Archive() {
    ZipMember small{"Pkg/small.inf", "tiny"};
    small.zip64 = true;
    ZipMember huge{"Pkg/huge.bin", "not really 5 GB"};
    huge.zip64 = true;
    huge.claimedSize64 = 5'000'000'000ULL;
    huge.claimedComprSize64 = 4'500'000'000ULL;
    ZipMember classic{"classic.txt", "no extension needed"};
    ZipBuilder zip;
    zip.Add(small).Add(huge).Add(classic).Zip64End();
    return zip;
}

}  // namespace

void TestZipDirectory::Zip64RecordsAndExtraFields() {
    const QByteArray bytes = Zip64Archive().Build();
    const ZipDirectory directory = ReadBytes(bytes);
    QCOMPARE(directory.Status, ZipReadStatus::Ok);
    QVERIFY(directory.Zip64);
    QCOMPARE(directory.OffsetDiffers, false);
    QCOMPARE(Names(directory), (QStringList{"Pkg\\small.inf", "Pkg\\huge.bin", "classic.txt"}));
    const velm::ZipDirEntry& small = directory.Entries[0];
    const velm::ZipDirEntry& huge = directory.Entries[1];
    const velm::ZipDirEntry& classic = directory.Entries[2];
    // The header keeps its markers; the companions hold the values.
    QCOMPARE(huge.UncomprSize, 0xFFFFFFFFu);
    QCOMPARE(huge.ComprSize, 0xFFFFFFFFu);
    QCOMPARE(huge.RelOffLocal, 0xFFFFFFFFu);
    QCOMPARE(huge.UncomprSize64, 5'000'000'000ULL);
    QCOMPARE(huge.ComprSize64, 4'500'000'000ULL);
    QCOMPARE(small.UncomprSize64, 4ULL);
    QCOMPARE(small.RelOffLocal64, 0ULL);
    // Local header, name, zip64 extra field (4 + 16 bytes), data.
    QCOMPARE(huge.RelOffLocal64, quint64(30 + 13 + 20 + 4));
    QCOMPARE(huge.CRC32, velm::test::Crc32("not really 5 GB"));
    QCOMPARE(classic.UncomprSize, quint32(19));
    QCOMPARE(classic.UncomprSize64, 19ULL);
    QCOMPARE(classic.RelOffLocal64, quint64(classic.RelOffLocal));
}

void TestZipDirectory::Zip64KeepsClassicValuesOfStreamingWriters() {
    // Info-ZIP writing to a pipe: both end records, the classic one with real values.
    ZipMember member{"-", "from a pipe"};
    member.zip64 = true;
    member.dataDescriptor = true;
    const ZipDirectory directory = ReadBytes(ZipBuilder().Add(member).Add("b.txt", "b").Zip64End(true).Build());
    QCOMPARE(directory.Status, ZipReadStatus::Ok);
    QVERIFY(directory.Zip64);
    QCOMPARE(Names(directory), (QStringList{"-", "b.txt"}));
    QCOMPARE(directory.Entries[0].UncomprSize64, 11ULL);
}

void TestZipDirectory::Zip64BehindAStub() {
    const QByteArray stub = QByteArray("MZ stub\0", 8).repeated(100);
    const ZipDirectory directory = ReadBytes(Zip64Archive().Prefix(stub).Build());
    QCOMPARE(directory.Status, ZipReadStatus::Ok);
    QCOMPARE(directory.Entries.size(), size_t(3));
    QVERIFY(directory.OffsetDiffers);
    QCOMPARE(directory.ArchiveStart(), qint64(stub.size()));
    // Offsets stay as stored: relative to the archive's own start.
    QCOMPARE(directory.Entries[0].RelOffLocal64, 0ULL);

    const ZipDirectory plain = ReadBytes(Zip64Archive().Build());
    QCOMPARE(plain.ArchiveStart(), qint64(0));
}

void TestZipDirectory::MarkersWithoutZip64AreValues() {
    // 65,535 members fit the classic record exactly: its count is the marker, and with
    // no zip64 locator it is the count.
    ZipBuilder full;
    for (int i = 0; i < 65535; ++i)
        full.Add(QByteArray::number(i), QByteArray());
    const ZipDirectory directory = ReadBytes(full.Build());
    QCOMPARE(directory.Status, ZipReadStatus::Ok);
    QVERIFY(!directory.Zip64);
    QCOMPARE(directory.Entries.size(), size_t(65535));
    QCOMPARE(directory.Entries.back().FileName, QString("65534"));

    // A size of 0xFFFFFFFF with no zip64 extra field is that size.
    ZipMember member{"big.bin", "x"};
    member.declaredSize = 0xFFFFFFFF;
    const ZipDirectory one = ReadBytes(ZipBuilder().Add(member).Build());
    QCOMPARE(one.Status, ZipReadStatus::Ok);
    QCOMPARE(one.Entries[0].UncomprSize64, 0xFFFFFFFFULL);
}

void TestZipDirectory::DamagedZip64IsNeverTrusted_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QStringList>("kept");
    const QStringList none;
    QTest::newRow("locator beyond the file") << Zip64Archive().Zip64LocatorPointsTo(1ULL << 40).Build()
                                             << "outside the file" << none;
    QTest::newRow("locator on member data") << Zip64Archive().Zip64LocatorPointsTo(30).Build()
                                            << "does not point to the zip64 end record" << none;
    QTest::newRow("counts on disk and in all") << Zip64Archive().Zip64Counts(2, 3).Build() << "counts disagree"
                                               << none;
    QTest::newRow("more entries than room") << Zip64Archive().Zip64Counts(1000, 1000).Build()
                                            << "more entries than the directory holds" << none;
    QTest::newRow("count against the classic record") << Zip64Archive().DeclareEntries(2).Build()
                                                      << "counts of the two end records disagree" << none;
    QTest::newRow("directory larger than the file")
        << Zip64Archive().Zip64DirectorySize(1ULL << 62).Build() << "larger than the file" << none;
    QTest::newRow("several disks") << Zip64Archive().Zip64Disks(3).Build() << "several disks" << none;

    ZipMember cut{"cut.bin", "data"};
    cut.zip64 = true;
    cut.zip64ExtraCut = 1;  // the offset's eight bytes are seven
    QTest::newRow("extra field shorter than its markers")
        << ZipBuilder().Add("first.txt", "1").Add(cut).Add("last.txt", "3").Zip64End().Build() << "too short"
        << QStringList{"first.txt"};
}

void TestZipDirectory::DamagedZip64IsNeverTrusted() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, detail);
    QFETCH(QStringList, kept);
    const ZipDirectory directory = ReadBytes(bytes);
    QCOMPARE(directory.Status, ZipReadStatus::Damaged);
    QVERIFY2(directory.Detail.contains(detail), qPrintable(directory.Detail));
    QCOMPARE(Names(directory), kept);
}

void TestZipDirectory::EveryZip64TruncationFailsCleanly() {
    // Cut anywhere, or with any byte of the end records changed, the reader neither
    // crashes nor reads past what it has.
    const QByteArray whole = Zip64Archive().Build();
    for (qsizetype length = 0; length < whole.size(); ++length) {
        const ZipDirectory cut = ReadBytes(whole.left(length));
        QVERIFY2(cut.Status == ZipReadStatus::NotZip || cut.Status == ZipReadStatus::Damaged,
                 qPrintable(QString::number(length)));
    }
    const qsizetype records = whole.size() - 22 - 20 - 56;
    for (qsizetype at = records; at < whole.size(); ++at) {
        for (const char value : {'\x00', '\x01', '\x7F', '\xFF'}) {
            QByteArray changed = whole;
            changed[at] = value;
            const ZipDirectory directory = ReadBytes(changed);
            QVERIFY(directory.Entries.size() <= 3);
        }
    }
}

void TestZipDirectory::MemberKinds() {
    const auto entry = [](int host, quint32 mode, quint32 dosAttributes = 0) {
        velm::ZipDirEntry e;
        e.MadeByVersion = quint16(host << 8 | 30);
        e.ExtFileAtt = mode << 16 | dosAttributes;
        return e;
    };
    QVERIFY(entry(3, 0120777).IsLink());
    QVERIFY(!entry(3, 0120777).IsSpecialFile());
    QVERIFY(entry(19, 0120755).IsLink());               // macOS
    QVERIFY(entry(11, 0120777, 0x8000 | 0x20).IsLink());  // a Windows writer that keeps Unix modes
    for (const quint32 special : {0020644u, 0060644u, 0140755u})
        QVERIFY(entry(3, special).IsSpecialFile());
    // Info-ZIP's mode for what it read from its standard input: the data is the member.
    for (const quint32 ordinary : {0100644u, 0040755u, 0010644u, 0u}) {
        QVERIFY(!entry(3, ordinary).IsLink());
        QVERIFY(!entry(3, ordinary).IsSpecialFile());
    }
    // DOS attributes in the high half mean nothing without a Unix mode.
    QVERIFY(!entry(0, 0120777, 0x20).IsLink());
    QVERIFY(!entry(11, 0020644, 0x20).IsSpecialFile());
    velm::ZipDirEntry encrypted;
    encrypted.Flag = 0x0009;
    QVERIFY(encrypted.IsEncrypted());
}

QTEST_GUILESS_MAIN(TestZipDirectory)
#include "test_zip_directory.moc"
