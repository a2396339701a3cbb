#include "import/ini_file.h"
#include "import/package_info.h"

#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <new>

#include <sys/resource.h>
#include <unistd.h>

using velm::TDSPInfoClass;
using velm::TIniFile;

namespace {

// Reads the text as a .upl or .inf file through a real file, the way imports do.
class InfoFiles {
public:
    TDSPInfoClass Upl(const QByteArray& text) { return Read(text, "pkg.upl", false); }
    TDSPInfoClass Inf(const QByteArray& text) { return Read(text, "pkg.inf", true); }

private:
    TDSPInfoClass Read(const QByteArray& text, const QString& name, bool inf) {
        const QString path = dir_.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size())
            qFatal("cannot write %s", qPrintable(path));
        file.close();
        TDSPInfoClass info;
        if (inf)
            info.ReadInfFile(path);
        else
            info.ReadUplFile(path);
        return info;
    }
    QTemporaryDir dir_;
};

// Runs the action with the address space held to what the process has now plus the
// allowance; false when it ran out. Sanitizers reserve vast address ranges, so there
// the action just runs.
bool WithinMemory(qint64 allowance, const std::function<void()>& action) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    action();
    return true;
#else
    long pages = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld", &pages) != 1)
            pages = 0;
        std::fclose(statm);
    }
    rlimit old{};
    getrlimit(RLIMIT_AS, &old);
    rlimit held = old;
    held.rlim_cur = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + rlim_t(allowance);
    setrlimit(RLIMIT_AS, &held);
    bool ran = true;
    try {
        action();
    } catch (const std::bad_alloc&) {
        ran = false;
    }
    setrlimit(RLIMIT_AS, &old);
    return ran;
#endif
}

}  // namespace

class TestPackageInfo : public QObject {
    Q_OBJECT

private slots:
    void UplFileFillsEveryField();
    void InfFileFillsEveryField();
    void UplFullSourceNeedsCapitalY();
    void InfFullSourceNeedsIncludedAsWritten();
    void FileStatusFreewareInAnyCase_data();
    void FileStatusFreewareInAnyCase();
    void UplNumberedLinesKeepGaps();
    void UplDescriptionWinsOverNumberedLines();
    void InfDescriptionIsAlwaysOneLine();
    void NumberedLinesCount_data();
    void NumberedLinesCount();
    void CompatibilityYesRule_data();
    void CompatibilityYesRule();
    void CompatibilityKeysBelongToTheirFormat();
    void MissingFileGivesTheDefaults();
    void BulkNobodyReadsCostsNoMemory();
    void ParseVersionTable_data();
    void ParseVersionTable();
};

void TestPackageInfo::UplFileFillsEveryField() {
    InfoFiles files;
    TDSPInfoClass info = files.Upl(
        "[Uploader_1]\r\n"
        "Author name=Ann Author\r\n"
        "Author E-mail=ann@example.org\r\n"
        "Author URL=http://example.org/ann\r\n"
        "[Uploader]\r\n"
        "Author name=Wrong Section\r\n"
        "[DSP upload]\r\n"
        "Delphi 1.0x=Y\r\nDelphi 2.0x=N\r\nDelphi 3.0x=Yes\r\nDelphi 4.0x=\r\n"
        "C++ Builder 1.0x=y\r\nC++ Builder 3.0x=Y\r\n"
        "File Status=Shareware\r\n"
        "Full Source Included=Y\r\n"
        "Version=2.1 beta\r\n"
        "Category=Grids\r\n"
        "Description=A grid.\r\n"
        "Note=Needs patch\r\n"
        "Additional info=See readme\r\n");
    QCOMPARE(info.AuthorName, QString("Ann Author"));
    QCOMPARE(info.AuthorMail, QString("ann@example.org"));
    QCOMPARE(info.AuthorWeb, QString("http://example.org/ann"));
    QCOMPARE(info.CompatFlags, QString("101001"));
    QCOMPARE(info.IsFreeware, false);
    QCOMPARE(info.HasFullSource, true);
    QCOMPARE(info.VersionText, QString("2.1 beta"));
    QCOMPARE(info.CategoryText, QString("Grids"));
    QCOMPARE(info.DescriptionLines, QStringList{"A grid."});
    QCOMPARE(info.NoteText, QString("Needs patch"));
    QCOMPARE(info.AdditionalInfoText, QString("See readme"));

    info.ClearInfo();  // an import clears before every read
    QVERIFY(info.AuthorName.isEmpty() && info.NoteText.isEmpty() && info.VersionText.isEmpty());
    QVERIFY(info.DescriptionLines.isEmpty());
    QCOMPARE(info.CompatFlags, QString("000000"));
    QCOMPARE(info.IsFreeware, true);
    QCOMPARE(info.HasFullSource, false);
}

void TestPackageInfo::InfFileFillsEveryField() {
    InfoFiles files;
    const TDSPInfoClass info = files.Inf(
        "[Uploader_1]\r\nAuthor name=Wrong Section\r\n"
        "[Uploader]\r\nAuthor name=Bo\r\nAuthor E-mail=bo@example.org\r\nAuthor URL=www.example.org\r\n"
        "[DSP upload]\r\n"
        "Delphi 1.0=N\r\nDelphi 2.0=Y\r\nDelphi 3.0=N\r\nDelphi 4.0=Y\r\nC++Builder 1.0=Y\r\nC++Builder 3.0=No\r\n"
        "File Status=FREEWARE\r\nVersion=1.2.3.4\r\nCategory=Tools\r\nDescription=Tool set\r\n"
        "Note=n\r\nAdditional info=a\r\n");
    QCOMPARE(info.AuthorName, QString("Bo"));
    QCOMPARE(info.AuthorMail, QString("bo@example.org"));
    QCOMPARE(info.AuthorWeb, QString("www.example.org"));
    QCOMPARE(info.CompatFlags, QString("010110"));
    QCOMPARE(info.IsFreeware, true);
    QCOMPARE(info.HasFullSource, true);  // no "Full Source" key: included
    QCOMPARE(info.VersionText, QString("1.2.3.4"));
    QCOMPARE(info.CategoryText, QString("Tools"));
    QCOMPARE(info.DescriptionLines, QStringList{"Tool set"});
    QCOMPARE(info.NoteText, QString("n"));
    QCOMPARE(info.AdditionalInfoText, QString("a"));
}

void TestPackageInfo::UplFullSourceNeedsCapitalY() {
    InfoFiles files;
    QCOMPARE(files.Upl("[DSP upload]\nFull Source Included=Y\n").HasFullSource, true);
    QCOMPARE(files.Upl("[DSP upload]\nFull Source Included=y\n").HasFullSource, false);
    QCOMPARE(files.Upl("[DSP upload]\nFull Source Included=Yes\n").HasFullSource, false);
    QCOMPARE(files.Upl("[DSP upload]\nFull Source Included=\"Y\"\n").HasFullSource, true);
    QCOMPARE(files.Upl("[DSP upload]\nVersion=1\n").HasFullSource, false);
    // The .inf key means nothing in a .upl file.
    QCOMPARE(files.Upl("[DSP upload]\nFull Source=Included\n").HasFullSource, false);
}

void TestPackageInfo::InfFullSourceNeedsIncludedAsWritten() {
    InfoFiles files;
    QCOMPARE(files.Inf("[DSP upload]\nVersion=1\n").HasFullSource, true);
    QCOMPARE(files.Inf("[DSP upload]\nFull Source=Included\n").HasFullSource, true);
    QCOMPARE(files.Inf("[DSP upload]\nfull source = Included \n").HasFullSource, true);
    QCOMPARE(files.Inf("[DSP upload]\nFull Source=included\n").HasFullSource, false);
    QCOMPARE(files.Inf("[DSP upload]\nFull Source=Not included\n").HasFullSource, false);
    QCOMPARE(files.Inf("[DSP upload]\nFull Source=\n").HasFullSource, false);
    QCOMPARE(files.Inf("[DSP upload]\nFull Source Included=N\n").HasFullSource, true);
}

void TestPackageInfo::FileStatusFreewareInAnyCase_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("freeware");
    QTest::newRow("Freeware") << QByteArray("File Status=Freeware") << true;
    QTest::newRow("upper") << QByteArray("FILE STATUS=FREEWARE") << true;
    QTest::newRow("Shareware") << QByteArray("File Status=Shareware") << false;
    QTest::newRow("Commercial") << QByteArray("File Status=Commercial") << false;
    QTest::newRow("longer") << QByteArray("File Status=Freeware!") << false;
    QTest::newRow("empty") << QByteArray("File Status=") << false;
    QTest::newRow("missing") << QByteArray("Version=1") << true;
}

void TestPackageInfo::FileStatusFreewareInAnyCase() {
    QFETCH(QByteArray, line);
    QFETCH(bool, freeware);
    InfoFiles files;
    QCOMPARE(files.Upl("[DSP upload]\n" + line + "\n").IsFreeware, freeware);
    QCOMPARE(files.Inf("[DSP upload]\n" + line + "\n").IsFreeware, freeware);
}

void TestPackageInfo::UplNumberedLinesKeepGaps() {
    InfoFiles files;
    const TDSPInfoClass info = files.Upl("[DSP upload]\nDescription=\ncount=3\n1=First line\n3=Third line\n");
    QCOMPARE(info.DescriptionLines, (QStringList{"First line", "", "Third line"}));
    // Without any "Description" key the numbered lines are read as well.
    const TDSPInfoClass noKey = files.Upl("[dsp UPLOAD]\nCOUNT=2\n1=a\n2=b\n");
    QCOMPARE(noKey.DescriptionLines, (QStringList{"a", "b"}));
}

void TestPackageInfo::UplDescriptionWinsOverNumberedLines() {
    InfoFiles files;
    const TDSPInfoClass info = files.Upl("[DSP upload]\nDescription=Only this\ncount=2\n1=a\n2=b\n");
    QCOMPARE(info.DescriptionLines, QStringList{"Only this"});
}

void TestPackageInfo::InfDescriptionIsAlwaysOneLine() {
    InfoFiles files;
    QCOMPARE(files.Inf("[DSP upload]\nVersion=1\n").DescriptionLines, QStringList{""});
    QCOMPARE(files.Inf("[DSP upload]\nDescription=\ncount=2\n1=a\n2=b\n").DescriptionLines, QStringList{""});
    QCOMPARE(files.Inf("[DSP upload]\nDescription=Text\n").DescriptionLines, QStringList{"Text"});
}

void TestPackageInfo::NumberedLinesCount_data() {
    QTest::addColumn<QByteArray>("count");
    QTest::addColumn<int>("lines");
    QTest::newRow("zero") << QByteArray("0") << 0;
    QTest::newRow("negative") << QByteArray("-3") << 0;
    QTest::newRow("malformed") << QByteArray("two") << 0;
    QTest::newRow("hex") << QByteArray("$3") << 3;
    QTest::newRow("beyond the keys") << QByteArray("5") << 5;
    // A hostile count must not make the reader build billions of lines.
    QTest::newRow("huge") << QByteArray("2147483647") << velm::kMaxNumberedLines;
}

void TestPackageInfo::NumberedLinesCount() {
    QFETCH(QByteArray, count);
    QFETCH(int, lines);
    const TIniFile ini = TIniFile::FromBytes("[Lines]\ncount=" + count + "\n1=one\n2=two\n");
    QStringList list{"old"};
    velm::ReadNumberedLines(ini, "lines", list);
    QCOMPARE(list.size(), lines);
    if (lines >= 3)
        QCOMPARE(list.mid(0, 3), (QStringList{"one", "two", ""}));
}

void TestPackageInfo::CompatibilityYesRule_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("flags");
    QTest::newRow("Y") << QByteArray("Y") << "001000";
    QTest::newRow("Yes") << QByteArray("Yes") << "001000";
    QTest::newRow("YES quoted") << QByteArray("\"YES\"") << "001000";
    QTest::newRow("y") << QByteArray("y") << "000000";
    QTest::newRow("yes") << QByteArray("yes") << "000000";
    QTest::newRow("N") << QByteArray("N") << "000000";
    QTest::newRow("1") << QByteArray("1") << "000000";
    QTest::newRow("empty") << QByteArray("") << "000000";
    QTest::newRow("blank then Y") << QByteArray("   Y") << "001000";
}

void TestPackageInfo::CompatibilityYesRule() {
    QFETCH(QByteArray, value);
    QFETCH(QString, flags);
    const TIniFile ini = TIniFile::FromBytes("[DSP upload]\nDelphi 3.0x=" + value + "\nDelphi 3.0=" + value + "\n");
    QCOMPARE(velm::ReadUplCompatibility(ini), flags);
    QCOMPARE(velm::ReadInfCompatibility(ini), flags);
}

void TestPackageInfo::CompatibilityKeysBelongToTheirFormat() {
    const TIniFile uplKeys = TIniFile::FromBytes(
        "[DSP upload]\nDelphi 1.0x=Y\nDelphi 2.0x=Y\nDelphi 3.0x=Y\nDelphi 4.0x=Y\n"
        "C++ Builder 1.0x=Y\nC++ Builder 3.0x=Y\n");
    const TIniFile infKeys = TIniFile::FromBytes(
        "[DSP upload]\nDelphi 1.0=Y\nDelphi 2.0=Y\nDelphi 3.0=Y\nDelphi 4.0=Y\nC++Builder 1.0=Y\nC++Builder 3.0=Y\n");
    QCOMPARE(velm::ReadUplCompatibility(uplKeys), QString("111111"));
    QCOMPARE(velm::ReadInfCompatibility(uplKeys), QString("000000"));
    QCOMPARE(velm::ReadInfCompatibility(infKeys), QString("111111"));
    QCOMPARE(velm::ReadUplCompatibility(infKeys), QString("000000"));
    // Each key lands on its own position.
    const TIniFile last = TIniFile::FromBytes("[DSP upload]\nc++ builder 3.0X=Y\nC++BUILDER 1.0=Y\n");
    QCOMPARE(velm::ReadUplCompatibility(last), QString("000001"));
    QCOMPARE(velm::ReadInfCompatibility(last), QString("000010"));
}

void TestPackageInfo::MissingFileGivesTheDefaults() {
    QTemporaryDir dir;
    TDSPInfoClass upl;
    upl.ReadUplFile(dir.filePath("none.upl"));
    QCOMPARE(upl.CompatFlags, QString("000000"));
    QCOMPARE(upl.IsFreeware, true);
    QCOMPARE(upl.HasFullSource, false);
    QVERIFY(upl.DescriptionLines.isEmpty());
    TDSPInfoClass inf;
    inf.ReadInfFile(dir.filePath("none.inf"));
    QCOMPARE(inf.HasFullSource, true);
    QCOMPARE(inf.DescriptionLines, QStringList{""});
    QVERIFY(inf.AuthorName.isEmpty() && inf.VersionText.isEmpty() && inf.CategoryText.isEmpty());
}

void TestPackageInfo::BulkNobodyReadsCostsNoMemory() {
    // A million sections and a million keys that no reader asks for, in 30 MB: once they
    // were all kept, and took gigabytes.
    QByteArray text;
    text.reserve(32 * 1024 * 1024);
    for (int i = 0; i < 1000000; ++i)
        text += "[S" + QByteArray::number(i) + "]\nk=v\n";
    text += "[DSP upload]\nCategory=Tools\ncount=2\n1=one\n";
    for (int i = 0; i < 1000000; ++i)
        text += "x" + QByteArray::number(i) + "=v\n";
    text += "[Uploader_1]\nAuthor name=Ann\n";
    InfoFiles files;
    TDSPInfoClass info;
    QVERIFY(WithinMemory(512LL * 1024 * 1024, [&] { info = files.Upl(text); }));
    QCOMPARE(info.CategoryText, QString("Tools"));
    QCOMPARE(info.DescriptionLines, (QStringList{"one", ""}));
    QCOMPARE(info.AuthorName, QString("Ann"));
}

void TestPackageInfo::ParseVersionTable_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("release");
    QTest::addColumn<int>("build");
    QTest::newRow("empty") << "" << 0 << 0 << 0 << 0;
    QTest::newRow("1") << "1" << 1 << 0 << 0 << 0;
    QTest::newRow("1.2") << "1.2" << 1 << 2 << 0 << 0;
    QTest::newRow("1.20") << "1.20" << 1 << 20 << 0 << 0;
    QTest::newRow("1.2.3.4") << "1.2.3.4" << 1 << 2 << 3 << 4;
    QTest::newRow("1.2.3.4.5") << "1.2.3.4.5" << 1 << 2 << 3 << 4;
    QTest::newRow("2.1 beta") << "2.1 beta" << 2 << 1 << 0 << 0;
    QTest::newRow("1.0b") << "1.0b" << 1 << 0 << 0 << 0;
    QTest::newRow("ver 1.2") << "ver 1.2" << 0 << 2 << 0 << 0;
    QTest::newRow("1..2") << "1..2" << 1 << 0 << 0 << 0;
    QTest::newRow(".5") << ".5" << 0 << 0 << 0 << 0;
    QTest::newRow("trailing dot") << "3." << 3 << 0 << 0 << 0;
    QTest::newRow("blanks") << " 4. 5" << 4 << 5 << 0 << 0;
    QTest::newRow("hex part") << "$A.0x10.x1F" << 10 << 16 << 31 << 0;
    QTest::newRow("sign") << "-1.+2" << -1 << 2 << 0 << 0;
    QTest::newRow("0X is no prefix") << "0X1f.$fg" << 0 << 15 << 0 << 0;
    QTest::newRow("beyond 32 bits") << "99999999999999999999.-99999999999999999999" << 2147483647 << -2147483647 << 0
                                    << 0;
    QTest::newRow("many dots") << QString(100000, u'.').prepend("7") << 7 << 0 << 0 << 0;
}

void TestPackageInfo::ParseVersionTable() {
    QFETCH(QString, text);
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(int, release);
    QFETCH(int, build);
    QCOMPARE(velm::ParseVersion(text), (velm::TVersionNumbers{major, minor, release, build}));
}

QTEST_GUILESS_MAIN(TestPackageInfo)
#include "test_package_info.moc"
