// Reading category description files: line breaks, blanks, the zero byte, the limits,
// and the file shipped beside the program.
#include "catdesc/cat_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>

using namespace velm;

namespace {

QStringList Parse(const QByteArray& bytes) { return ParseCatText(bytes).Names; }

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

}  // namespace

class CatFileTest : public QObject {
    Q_OBJECT

private slots:
    void lineBreaks_data();
    void lineBreaks();
    void entriesAreKeptAsWritten();
    void textIsDecodedAsWindowsWroteIt();
    void tooManyEntriesAreCut();
    void hugeFileIsReadOnlyUpToTheLimit();
    void hundredMegabyteFileNeedsLittleMemory();
    void unreadablePathsNameTheFile();
    void shippedFileListsUsableNames();
};

void CatFileTest::lineBreaks_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("CR LF") << QByteArray("Grids\r\nCharts\r\n") << QStringList{"Grids", "Charts"};
    QTest::newRow("CR alone") << QByteArray("Grids\rCharts\r") << QStringList{"Grids", "Charts"};
    QTest::newRow("LF alone") << QByteArray("Grids\nCharts\n") << QStringList{"Grids", "Charts"};
    QTest::newRow("no final break") << QByteArray("Grids\r\nCharts") << QStringList{"Grids", "Charts"};
    QTest::newRow("mixed") << QByteArray("a\rb\nc\r\nd") << QStringList{"a", "b", "c", "d"};
    // LF CR is not one break but two, with an empty line between.
    QTest::newRow("LF CR") << QByteArray("a\n\rb") << QStringList{"a", "", "b"};
    QTest::newRow("CR CR LF") << QByteArray("a\r\r\nb") << QStringList{"a", "", "b"};
    QTest::newRow("name, empty, same name") << QByteArray("Grids\r\n\r\nGrids\r\n") << QStringList{"Grids", "", "Grids"};
    QTest::newRow("empty lines at the end") << QByteArray("a\r\n\r\n\r\n") << QStringList{"a", "", ""};
    QTest::newRow("break alone") << QByteArray("\r\n") << QStringList{""};
    QTest::newRow("empty file") << QByteArray() << QStringList{};
    QTest::newRow("zero byte ends the text") << QByteArray("a\r\nb\0c\r\nd", 10) << QStringList{"a", "b"};
    QTest::newRow("zero byte after a break") << QByteArray("a\r\n\0b", 5) << QStringList{"a"};
    QTest::newRow("zero byte first") << QByteArray("\0a", 2) << QStringList{};
}

void CatFileTest::lineBreaks() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, entries);
    const CatEntries read = ParseCatText(bytes);
    QCOMPARE(read.Names, entries);
    QVERIFY(!read.Truncated);
}

void CatFileTest::entriesAreKeptAsWritten() {
    QCOMPARE(Parse("  Grids  \r\n\tCharts\r\n   \r\nGrids"), (QStringList{"  Grids  ", "\tCharts", "   ", "Grids"}));
}

void CatFileTest::textIsDecodedAsWindowsWroteIt() {
    QCOMPARE(Parse("Caf\xe9 tools\r\n"), QStringList{QStringLiteral("Caf\u00e9 tools")});
    QCOMPARE(Parse("Caf\xc3\xa9 tools\r\n"), QStringList{QStringLiteral("Caf\u00e9 tools")});
}

void CatFileTest::tooManyEntriesAreCut() {
    QByteArray exact;
    for (int i = 0; i < kMaxCatEntries; ++i)
        exact += "x\r\n";
    CatEntries read = ParseCatText(exact);
    QCOMPARE(read.Names.size(), kMaxCatEntries);
    QVERIFY(!read.Truncated);

    read = ParseCatText(exact + "y");
    QCOMPARE(read.Names.size(), kMaxCatEntries);
    QVERIFY(read.Truncated);
}

void CatFileTest::hugeFileIsReadOnlyUpToTheLimit() {
    QTemporaryDir dir;
    // Long lines, so that the byte limit comes before the entry limit, and a line
    // that the limit cuts through.
    const QByteArray line = QByteArray(997, 'n') + "\r\n";
    QByteArray bytes;
    while (bytes.size() <= kMaxCatFileBytes + 5000)
        bytes += line;
    const QString path = WriteFile(dir, QStringLiteral("huge.cat"), bytes);
    QVERIFY(!path.isEmpty());
    const CatEntries read = ReadCatFile(path);
    QVERIFY(read.Truncated);
    QCOMPARE(read.Names.size(), int(kMaxCatFileBytes / line.size()));
    for (const QString& name : read.Names)
        QCOMPARE(name.size(), 997);

    // A zero byte before the limit ends the text normally.
    bytes[10] = '\0';
    const QString zeroPath = WriteFile(dir, QStringLiteral("zero.cat"), bytes);
    const CatEntries zero = ReadCatFile(zeroPath);
    QCOMPARE(zero.Names, QStringList{QString(10, u'n')});
    QVERIFY(!zero.Truncated);
}

namespace {

// The most memory the process has held so far, in kilobytes.
long PeakMemoryKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

void CatFileTest::hundredMegabyteFileNeedsLittleMemory() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("hundred.cat"));
    {
        // Written a megabyte at a time so that the test itself stays small.
        const QByteArray line("Grids & Charts\r\n");
        const QByteArray chunk = line.repeated(1024 * 1024 / line.size());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        for (int i = 0; i < 100; ++i)
            QCOMPARE(file.write(chunk), chunk.size());
    }
    QCOMPARE(QFileInfo(path).size(), qint64(100) * 1024 * 1024);

    const long before = PeakMemoryKb();
    const CatEntries read = ReadCatFile(path);
    QVERIFY(read.Truncated);
    QCOMPARE(read.Names.size(), kMaxCatEntries);
    QCOMPARE(read.Names.constFirst(), QStringLiteral("Grids & Charts"));
    QCOMPARE(read.Names.constLast(), QStringLiteral("Grids & Charts"));
    // Holding the file, let alone its text, would take well over 100 MB.
    const long grownKb = PeakMemoryKb() - before;
    QVERIFY2(grownKb < 32 * 1024, qPrintable(QStringLiteral("peak memory grew by %1 kB").arg(grownKb)));
}

void CatFileTest::unreadablePathsNameTheFile() {
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("gone.cat"));
    try {
        ReadCatFile(missing);
        QFAIL("a missing file was read");
    } catch (const ECatFileError& error) {
        QCOMPARE(error.Message(), QStringLiteral("Cannot open file ") + QDir::toNativeSeparators(missing));
    }
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.cat")));
    QVERIFY_THROWS_EXCEPTION(ECatFileError, ReadCatFile(dir.filePath(QStringLiteral("folder.cat"))));

    const QString path = WriteFile(dir, QStringLiteral("ok.cat"), "Grids\r\nCharts");
    QCOMPARE(ReadCatFile(path).Names, (QStringList{"Grids", "Charts"}));
}

void CatFileTest::shippedFileListsUsableNames() {
    const QString path = QStringLiteral(VELMORA_TEST_DATA "/../../categories.cat");
    const CatEntries read = ReadCatFile(path);
    QVERIFY(!read.Truncated);
    QVERIFY(read.Names.size() >= 20);
    QStringList seen;
    for (const QString& name : read.Names) {
        // A category name holds at most 25 characters; blanks at either end or a
        // repeated name would only create odd or numbered categories.
        QVERIFY2(!name.isEmpty() && name.size() <= 25, qPrintable(name));
        QCOMPARE(name, name.trimmed());
        QVERIFY2(!seen.contains(name, Qt::CaseInsensitive), qPrintable(name));
        seen << name;
    }
    for (const char* kind : {"Grids", "Database Access", "Reporting", "Internet", "Dialogs", "Editors", "Multimedia"})
        QVERIFY2(seen.contains(QString::fromLatin1(kind)), kind);
}

QTEST_GUILESS_MAIN(CatFileTest)
#include "test_cat_file.moc"
