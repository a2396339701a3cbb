#include "import/ini_file.h"

#include <QTemporaryDir>
#include <QtTest>

using velm::TIniFile;

class TestIniFile : public QObject {
    Q_OBJECT

private slots:
    void SectionsAndKeysIgnoreLetterCase();
    void ValuesAreTrimmedAndUnquoted();
    void LongValuesAreCut();
    void MissingFileSectionOrKeyGivesDefault();
    void FirstSectionAndFirstKeyWin();
    void LinesThatAreNotPairsAreIgnored();
    void AnyLineEndSeparatesLines();
    void IntegerRule_data();
    void IntegerRule();
    void FileBytesAreWindows1252UnlessUtf8();
    void ByteOrderMarksDecide();
    void ValuesEndAtTheirFirstNulAndHalfCharactersAreReplaced();
};

void TestIniFile::SectionsAndKeysIgnoreLetterCase() {
    const TIniFile ini = TIniFile::FromBytes("[dsp upload]\nVERSION=1.2\n[ Uploader ]\nAuthor Name = Ann\n");
    QCOMPARE(ini.ReadString("DSP upload", "Version", "x"), QString("1.2"));
    QCOMPARE(ini.ReadString("DSP UPLOAD", "version", "x"), QString("1.2"));
    QCOMPARE(ini.ReadString("uploader", "author name", "x"), QString("Ann"));
    QVERIFY(ini.SectionExists("UPLOADER"));
    QVERIFY(!ini.SectionExists("Uploader_1"));
}

void TestIniFile::ValuesAreTrimmedAndUnquoted() {
    const TIniFile ini = TIniFile::FromBytes(
        "[s]\n"
        "plain =  two words \t\n"
        "quoted = \"  kept blanks  \"\n"
        "inner = say \"hi\" now\n"
        "one = \"\n"
        "twice = \"\"x\"\"\n"
        "empty =\n"
        "single = 'apostrophes'\n");
    QCOMPARE(ini.ReadString("s", "plain", "d"), QString("two words"));
    QCOMPARE(ini.ReadString("s", "quoted", "d"), QString("  kept blanks  "));
    QCOMPARE(ini.ReadString("s", "inner", "d"), QString("say \"hi\" now"));
    QCOMPARE(ini.ReadString("s", "one", "d"), QString("\""));
    QCOMPARE(ini.ReadString("s", "twice", "d"), QString("\"x\""));  // only one pair goes
    QCOMPARE(ini.ReadString("s", "empty", "d"), QString(""));       // present but empty: no default
    QCOMPARE(ini.ReadString("s", "single", "d"), QString("'apostrophes'"));
}

void TestIniFile::LongValuesAreCut() {
    const QByteArray value(5000, 'v');
    const TIniFile ini = TIniFile::FromBytes("[s]\nk=" + value + "\nq=\"" + QByteArray(2048, 'q') + "\"\nafter=ok\n");
    QCOMPARE(ini.ReadString("s", "k", ""), QString(2047, u'v'));
    QCOMPARE(ini.ReadString("s", "q", ""), QString(2047, u'q'));
    QCOMPARE(ini.ReadString("s", "after", ""), QString("ok"));
}

void TestIniFile::MissingFileSectionOrKeyGivesDefault() {
    QTemporaryDir dir;
    const TIniFile missing(dir.filePath("nothing.inf"));
    QCOMPARE(missing.ReadString("DSP upload", "Version", "dflt"), QString("dflt"));
    QCOMPARE(missing.ReadInteger("DSP upload", "count", 7), 7);

    const TIniFile ini = TIniFile::FromBytes("[a]\nk=v\n");
    QCOMPARE(ini.ReadString("b", "k", "dflt"), QString("dflt"));
    QCOMPARE(ini.ReadString("a", "other", "dflt"), QString("dflt"));
}

void TestIniFile::FirstSectionAndFirstKeyWin() {
    const TIniFile ini = TIniFile::FromBytes("[a]\nk=first\nK=second\n[A]\nk=third\nonly=later\n");
    QCOMPARE(ini.ReadString("a", "k", ""), QString("first"));
    QCOMPARE(ini.ReadString("a", "only", "dflt"), QString("dflt"));
}

void TestIniFile::LinesThatAreNotPairsAreIgnored() {
    const TIniFile ini = TIniFile::FromBytes(
        "k=before any section\n"
        "[s]\n"
        "; k=commented\n"
        "just words\n"
        "=no key\n"
        "  k  =  value  \n"
        "[broken\n"
        "x=in broken\n");
    QCOMPARE(ini.ReadString("s", "k", ""), QString("value"));
    QCOMPARE(ini.ReadString("s", "just words", "dflt"), QString("dflt"));
    QCOMPARE(ini.ReadString("s", "; k", "dflt"), QString("dflt"));
    // A header without its bracket still opens the section of the rest of the line.
    QCOMPARE(ini.ReadString("broken", "x", ""), QString("in broken"));
}

void TestIniFile::AnyLineEndSeparatesLines() {
    const TIniFile ini = TIniFile::FromBytes("[s]\r\na=1\r\nb=2\rc=3\n\nd=4");
    QCOMPARE(ini.ReadString("s", "a", ""), QString("1"));
    QCOMPARE(ini.ReadString("s", "b", ""), QString("2"));
    QCOMPARE(ini.ReadString("s", "c", ""), QString("3"));
    QCOMPARE(ini.ReadString("s", "d", ""), QString("4"));
}

void TestIniFile::IntegerRule_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("expected");
    QTest::newRow("decimal") << QByteArray("3") << 3;
    QTest::newRow("blanks around") << QByteArray("  12  ") << 12;
    QTest::newRow("negative") << QByteArray("-4") << -4;
    QTest::newRow("dollar hex") << QByteArray("$1F") << 31;
    QTest::newRow("0x hex") << QByteArray("0x10") << 16;
    QTest::newRow("max") << QByteArray("2147483647") << 2147483647;
    QTest::newRow("overflow") << QByteArray("2147483648") << 0;
    QTest::newRow("hex overflow") << QByteArray("$FFFFFFFF") << 0;
    QTest::newRow("trailing text") << QByteArray("3 lines") << 0;
    QTest::newRow("inner blank") << QByteArray("1 2") << 0;
    QTest::newRow("word") << QByteArray("three") << 0;
    QTest::newRow("bare prefix") << QByteArray("0x") << 0;
    QTest::newRow("empty") << QByteArray("") << 0;
}

void TestIniFile::IntegerRule() {
    QFETCH(QByteArray, text);
    QFETCH(int, expected);
    const TIniFile ini = TIniFile::FromBytes("[s]\ncount=" + text + "\n");
    QCOMPARE(ini.ReadInteger("s", "count", 0), expected);
}

void TestIniFile::FileBytesAreWindows1252UnlessUtf8() {
    QTemporaryDir dir;
    const QString path = dir.filePath("pkg.upl");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Uploader_1]\r\nAuthor name=J\xF6rg M\xFCller \x80\r\n");  // 8-bit Windows text
    file.close();
    QCOMPARE(TIniFile(path).ReadString("Uploader_1", "Author name", ""), QString::fromUtf8("Jörg Müller €"));

    const TIniFile utf8 = TIniFile::FromBytes("[s]\nname=J\xC3\xB6rg\n");  // written by a modern editor
    QCOMPARE(utf8.ReadString("s", "name", ""), QString::fromUtf8("Jörg"));
    // Section and key names with letters beyond ASCII still match in any case.
    const TIniFile latin = TIniFile::FromBytes("[\xC4nderung]\n\xDC=1\n");
    QCOMPARE(latin.ReadString(QString::fromUtf8("änderung"), QString::fromUtf8("ü"), ""), QString("1"));
}

void TestIniFile::ByteOrderMarksDecide() {
    const TIniFile utf8 = TIniFile::FromBytes("\xEF\xBB\xBF[s]\nk=\xC3\xA9\n");
    QCOMPARE(utf8.ReadString("s", "k", ""), QString::fromUtf8("é"));
    const QString text = QString::fromUtf8("[s]\r\nk=é\r\n");
    QByteArray utf16("\xFF\xFE");
    for (const QChar c : text) {
        utf16 += char(c.unicode() & 0xFF);
        utf16 += char(c.unicode() >> 8);
    }
    QCOMPARE(TIniFile::FromBytes(utf16).ReadString("s", "k", ""), QString::fromUtf8("é"));
}

void TestIniFile::ValuesEndAtTheirFirstNulAndHalfCharactersAreReplaced() {
    // As the profile functions read it: a NUL inside a value ends it.
    const TIniFile ini = TIniFile::FromBytes(QByteArray("[s]\nk=Ann\0Smith\nq=\"\0\"\nafter=ok\n", 30));
    QCOMPARE(ini.ReadString("s", "k", "default"), QString("Ann"));
    QCOMPARE(ini.ReadString("s", "q", "default"), QString());
    QCOMPARE(ini.ReadString("s", "after", ""), QString("ok"));
    // A UTF-16 file with half a surrogate pair: the half becomes the replacement
    // character, a whole pair stays.
    QByteArray utf16("\xFF\xFE");
    for (const char16_t unit : {u'[', u's', u']', u'\n', u'k', u'=', char16_t(0xD83D), u'x', char16_t(0xD83D),
                                char16_t(0xDE00), u'\n'}) {
        utf16 += char(unit & 0xFF);
        utf16 += char(unit >> 8);
    }
    QCOMPARE(TIniFile::FromBytes(utf16).ReadString("s", "k", ""),
             QString(QChar::ReplacementCharacter) + u'x' + QString::fromUtf8("\xF0\x9F\x98\x80"));
}

QTEST_GUILESS_MAIN(TestIniFile)
#include "test_ini_file.moc"
