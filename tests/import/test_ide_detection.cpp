#include "import/ide_detection.h"
#include "import/ide_layouts.h"
#include "import/zip_directory.h"

#include <QDir>
#include <QSet>
#include <QtTest>

using namespace velm;

namespace {

QStringList Codes(const std::vector<DetectedIde>& detected) {
    QStringList codes;
    for (const DetectedIde& ide : detected)
        codes << ide.Version->CodeText();
    return codes;
}

std::vector<test::IdeLayout> Layouts() {
    return test::ReadIdeLayouts(QStringLiteral(VELMORA_TEST_DATA "/ide_layouts.txt"));
}

}  // namespace

class TestIdeDetection : public QObject {
    Q_OBJECT

private slots:
    void VersionTable();
    void Layouts_data();
    void Layouts();
    void AgreementOverAllLayouts();
    void ExampleArchivesShowNothing();
    void TextsAreReadOnlyWhereNamesLeaveAQuestion();
    void HostileNamesAndTexts();
};

void TestIdeDetection::VersionTable() {
    QSet<QString> codes;
    int previousMonth = 0;
    for (const IdeVersion& version : IdeVersions()) {
        QVERIFY2(!codes.contains(version.CodeText()), version.Code);
        codes.insert(version.CodeText());
        QCOMPARE(FindIdeVersion(version.Family, version.Release), &version);
        QCOMPARE(FindIdeVersion(version.CodeText().toLower()), &version);
        const int month = version.ReleasedYear * 12 + version.ReleasedMonth;
        QVERIFY2(month >= previousMonth, version.Code);
        previousMonth = month;
    }
    QCOMPARE(CompatibilityCodes(63), (QStringList{"D1", "D2", "D3", "D4", "CB1", "CB3"}));
    QCOMPARE(CompatibilityCodes(16 | 2), (QStringList{"D2", "CB1"}));
    QCOMPARE(CompatibilityBit(u"CB3"), 5);
    QCOMPARE(CompatibilityBit(u"D7"), -1);
    QCOMPARE(FindIdeVersionBySuffix(IdeFamily::Delphi, 290)->Code, "D12");
    QCOMPARE(FindIdeVersionBySuffix(IdeFamily::CppBuilder, 370)->Code, "CB13");
    QCOMPARE(FindIdeVersionBySuffix(IdeFamily::CppBuilder, 35)->Code, "CB3");
    QVERIFY(!FindIdeVersionBySuffix(IdeFamily::Delphi, 35));
}

void TestIdeDetection::Layouts_data() {
    QTest::addColumn<int>("index");
    const auto layouts = ::Layouts();
    QVERIFY(layouts.size() >= 30);
    for (std::size_t i = 0; i < layouts.size(); ++i)
        QTest::newRow(qPrintable(layouts[i].Title)) << int(i);
}

// Never a version the archive does not work with; every version where its members show it.
void TestIdeDetection::Layouts() {
    QFETCH(int, index);
    const test::IdeLayout layout = ::Layouts().at(std::size_t(index));
    const std::vector<DetectedIde> detected = DetectIdeVersions(layout.Members, layout.Reader());
    for (const DetectedIde& ide : detected) {
        QVERIFY2(layout.Truth.contains(ide.Version->CodeText()), qPrintable(ide.Evidence()));
        bool listed = false;
        for (const IdeDetectionMember& member : layout.Members)
            listed = listed || member.Name == ide.Member;
        QVERIFY2(listed, qPrintable(ide.Member));
    }
    if (layout.Shown) {
        QStringList truth = layout.Truth;
        QStringList codes = Codes(detected);
        truth.sort();
        codes.sort();
        QCOMPARE(codes, truth);
    }
}

void TestIdeDetection::AgreementOverAllLayouts() {
    int agreed = 0;
    int versions = 0;
    qInfo("%-64s %-40s %s", "layout", "truth", "detected");
    for (const test::IdeLayout& layout : ::Layouts()) {
        const test::IdeLayout& l = layout;
        const QStringList detected = Codes(DetectIdeVersions(l.Members, l.Reader()));
        QSet<QString> all(l.Truth.cbegin(), l.Truth.cend());
        for (const QString& code : detected)
            all.insert(code);
        versions += int(all.size());
        for (const QString& code : detected)
            agreed += l.Truth.contains(code);
        qInfo("%-64s %-40s %s", qPrintable(l.Title.left(64)), qPrintable(l.Truth.join(u' ')),
              qPrintable(detected.join(u' ')));
    }
    qInfo("agreement: %d of %d versions (%.1f %%)", agreed, versions, 100.0 * agreed / versions);
    QVERIFY(agreed >= 0.95 * versions);
}

// The example archives hold a unit, a readme and an info file: nothing names an IDE, so
// their versions come from the info files' flags alone.
void TestIdeDetection::ExampleArchivesShowNothing() {
    const QDir examples(QStringLiteral(VELMORA_SOURCE_DIR "/examples/archives"));
    const QStringList names = examples.entryList({QStringLiteral("*.zip")}, QDir::Files, QDir::Name);
    QCOMPARE(names.size(), 10);
    for (const QString& name : names) {
        const ZipDirectory directory = ReadZipDirectoryFile(examples.filePath(name));
        QCOMPARE(directory.Status, ZipReadStatus::Ok);
        const auto members = IdeDetectionMembers(directory.Entries);
        QCOMPARE(members.size(), directory.Entries.size());
        QCOMPARE(members.front().Modified, QDate(2001, 4, 16));
        QVERIFY2(DetectIdeVersions(members, [](std::size_t, qint64) { return QByteArray("junk"); }).empty(),
                 qPrintable(name));
    }
}

void TestIdeDetection::TextsAreReadOnlyWhereNamesLeaveAQuestion() {
    std::vector<IdeDetectionMember> members;
    members.push_back({QStringLiteral("Lib\\D7\\Grid.dcu")});
    for (int i = 0; i < 100; ++i)
        members.push_back({QStringLiteral("Packages\\D7\\Grid%1Pack.dpk").arg(i)});
    for (int i = 0; i < 100; ++i)
        members.push_back({QStringLiteral("Unnamed\\Grid%1Pack.dpk").arg(i)});
    int reads = 0;
    QSet<std::size_t> read;
    const auto reader = [&](std::size_t index, qint64 maxBytes) {
        ++reads;
        read.insert(index);
        return maxBytes == kIdeTextReadLimit ? QByteArray("package P; {$LIBSUFFIX '290'} requires rtl;") : QByteArray();
    };
    const std::vector<DetectedIde> detected = DetectIdeVersions(members, reader);
    // Named packages are not read; of the unnamed ones only as many as the budget allows.
    QCOMPARE(reads, kIdeMaxTextsRead);
    QVERIFY(!read.contains(1) && read.contains(101));
    QCOMPARE(Codes(detected), (QStringList{"D7", "D12"}));
    // A package file is better evidence than a folder of compiled units listed before it.
    QCOMPARE(detected[0].Evidence(), QStringLiteral("Packages\\D7\\Grid0Pack.dpk"));
    QCOMPARE(detected[1].Evidence(), QStringLiteral("Unnamed\\Grid0Pack.dpk (LIBSUFFIX 290)"));
    // Without a reader the names alone count.
    QCOMPARE(Codes(DetectIdeVersions(members)), QStringList{"D7"});
}

void TestIdeDetection::HostileNamesAndTexts() {
    // Deep folders are walked without recursion, long names without a blow-up.
    QString deep;
    for (int i = 0; i < 30000; ++i)
        deep += QStringLiteral("D7\\");
    const QString wide = QString(60000, u'D') + QStringLiteral("7\\x.pas");
    std::vector<IdeDetectionMember> members{{deep + QStringLiteral("x.pas")}, {wide}, {QStringLiteral("a.dpk")},
                                            {QStringLiteral("b.dproj")}, {QStringLiteral("c.dproj")}};
    QByteArray binary(70000, '\xff');
    // A .dproj saved as UTF-16 is read through its ASCII.
    QByteArray utf16("\xff\xfe");
    for (char c : QByteArray("<Project><PropertyGroup><ProjectVersion>13.4</ProjectVersion>"))
        utf16 += QByteArray(1, c) + QByteArray(1, '\0');
    const QByteArray texts[] = {{}, {}, binary, binary, utf16};
    const auto detected = DetectIdeVersions(members, [&](std::size_t i, qint64 max) { return texts[i].left(max); });
    QCOMPARE(Codes(detected), (QStringList{"D7", "DXE2"}));
    QCOMPARE(detected[1].Clue, QStringLiteral("ProjectVersion 13.4"));
}

QTEST_GUILESS_MAIN(TestIdeDetection)
#include "test_ide_detection.moc"
