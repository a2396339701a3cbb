#include "import/zip_member_names.h"

#include <QtTest>

class TestZipMemberNames : public QObject {
    Q_OBJECT

private slots:
    void Patterns_data();
    void Patterns();
    void HostilePatternStaysFast();
    void SafeNames_data();
    void SafeNames();
};

void TestZipMemberNames::Patterns_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("matches");
    QTest::newRow("extension") << "pkg.inf" << "*.inf" << true;
    QTest::newRow("capitals") << "PKG.INF" << "*.inf" << true;
    QTest::newRow("in a sub-folder") << "Pkg\\Info\\MyPkg.Inf" << "*.inf" << true;
    QTest::newRow("other extension") << "pkg.info" << "*.inf" << false;
    QTest::newRow("extension in the folder only") << "a.inf\\readme.txt" << "*.inf" << false;
    QTest::newRow("question mark") << "a1.upl" << "a?.upl" << true;
    QTest::newRow("name without folder finds it below") << "Pkg\\Info\\MyPkg.INF" << "mypkg.inf" << true;
    QTest::newRow("listed name") << "Pkg\\Info\\MyPkg.INF" << "Pkg\\Info\\MyPkg.INF" << true;
    QTest::newRow("listed name in other case") << "Pkg\\Info\\MyPkg.INF" << "pkg\\info\\mypkg.inf" << true;
    QTest::newRow("folder part must match whole") << "Pkg\\Info\\MyPkg.INF" << "Info\\MyPkg.INF" << false;
    QTest::newRow("star crosses folders") << "Pkg\\Info\\MyPkg.INF" << "Pkg\\*.inf" << true;
    QTest::newRow("everything") << "a\\b\\c" << "*" << true;
    QTest::newRow("question mark near the end") << "Pkg\\x.INF" << "*.?nf" << true;
    QTest::newRow("shorter than the pattern's end") << "inf" << "*.inf" << false;
    QTest::newRow("stars inside") << "Pkg\\Info\\MyPkg.INF" << "p*\\my*.inf" << true;
    QTest::newRow("letters beyond ASCII") << QString::fromUtf8("ÜBERSICHT.INF") << QString::fromUtf8("übersicht.inf")
                                          << true;
}

void TestZipMemberNames::Patterns() {
    QFETCH(QString, name);
    QFETCH(QString, pattern);
    QFETCH(bool, matches);
    QCOMPARE(velm::MatchesFileSpec(name, pattern), matches);
    QCOMPARE(velm::TFileSpecMatcher({"nothing", pattern}).Matches(name), matches);
}

void TestZipMemberNames::HostilePatternStaysFast() {
    // Backtracking without a bound would take forever here.
    const QString name(60000, u'a');
    QVERIFY(!velm::MatchesFileSpec(name, "*a*a*a*a*a*a*a*a*b"));
    QVERIFY(velm::MatchesFileSpec(name, "*a*a*a*a*a*a*a*a*"));
}

void TestZipMemberNames::SafeNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("parts");
    QTest::newRow("plain") << "pkg.inf" << QStringList{"pkg.inf"};
    QTest::newRow("folders") << "Pkg\\Info\\a.inf" << QStringList{"Pkg", "Info", "a.inf"};
    QTest::newRow("slashes") << "Pkg/a.inf" << QStringList{"Pkg", "a.inf"};
    QTest::newRow("dots inside a name") << "a..b\\c...d" << QStringList{"a..b", "c...d"};
    QTest::newRow("parent") << "..\\evil.inf" << QStringList{};
    QTest::newRow("parent deeper") << "a\\..\\..\\evil.inf" << QStringList{};
    QTest::newRow("dot") << ".\\a.inf" << QStringList{};
    QTest::newRow("dots and blanks") << ". .\\a.inf" << QStringList{};
    QTest::newRow("absolute") << "/tmp/evil.inf" << QStringList{};
    QTest::newRow("drive") << "C:\\evil.inf" << QStringList{};
    QTest::newRow("drive relative") << "c:evil.inf" << QStringList{};
    QTest::newRow("stream") << "a.inf:hidden" << QStringList{};
    QTest::newRow("control character") << QString("a\nb") << QStringList{};
    QTest::newRow("empty") << "" << QStringList{};
}

void TestZipMemberNames::SafeNames() {
    QFETCH(QString, name);
    QFETCH(QStringList, parts);
    QCOMPARE(velm::SafeMemberPath(name), parts);
}

QTEST_GUILESS_MAIN(TestZipMemberNames)
#include "test_zip_member_names.moc"
