// The member index and the search over package texts and archive members: an older
// catalogue gains its index file, the index follows every change made through the
// catalogue in the same transaction, texts are found as the user sees them, and hits can
// be limited to the packages that work with an IDE version.
#include "catalogue/archive_index.h"
#include "catalogue/data_module.h"
#include "catalogue/database.h"
#include "catalogue/memo_markup.h"
#include "catalogue/works_with.h"
#include "search/catalogue_search.h"
#include "support/temp_catalogue.h"

#include <QFile>
#include <QTest>

using namespace velm;
using velm::test::TempCatalogue;

namespace {

// Each hit as "Product/Category/Field-or-member: excerpt".
QStringList Hits(TDMvelm& module, const QString& text, int limit = 200) {
    QStringList shown;
    for (const TSearchHit& hit : TCatalogueSearch(*module.ArchiveIndex()).Find(text, limit))
        shown << QStringLiteral("%1/%2/%3: %4")
                     .arg(hit.ProductName, hit.CategoryName, hit.IsMember() ? hit.Member : hit.Field,
                          hit.Excerpt.mid(hit.MatchStart, hit.MatchLength));
    return shown;
}

// The packages hit, each once, in the order of their first hit, among those that work with
// the version.
QStringList PackagesFor(TDMvelm& module, const QString& text, const QString& worksWith) {
    TCatalogueSearch search(*module.ArchiveIndex());
    search.WorksWith = worksWith;
    QStringList names;
    for (const TSearchHit& hit : search.Find(text, 200))
        if (!names.contains(hit.ProductName))
            names << hit.ProductName;
    return names;
}

std::vector<TArchiveMemberRecord> MembersNamed(const QStringList& names) {
    std::vector<TArchiveMemberRecord> members;
    for (const QString& name : names)
        members.push_back({name, 100, 60, QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)), 0xCAFEu, name.endsWith(u'\\')});
    return members;
}

void SetField(TTable& packages, qint64 id, const char* field, const QString& value) {
    QVERIFY(packages.Locate(QStringLiteral("ID"), id, false));
    packages.Edit();
    packages.FieldByName(QString::fromLatin1(field))->SetAsString(value);
    packages.Post();
}

}  // namespace

class CatalogueSearchTest : public QObject {
    Q_OBJECT
private slots:
    void anOlderCatalogueGainsItsIndexAndFindsWhatIsShown();
    void theIndexFollowsEveryChangeInTheSameTransaction();
};

void CatalogueSearchTest::anOlderCatalogueGainsItsIndexAndFindsWhatIsShown() {
    TempCatalogue cat;
    TDMvelm& module = cat.Module();
    const qint64 grids = cat.AddCategory(QStringLiteral("Grids"));
    const qint64 fast = cat.AddPackage(QStringLiteral("FastGrid"), grids);
    const qint64 mail = cat.AddPackage(QStringLiteral("MailBox"), grids);
    // Formatted in the program: its markup is no text of its own.
    SetField(*module.TableCPInfo, fast, "ProductDescription",
             QString(kMemoMarkupHead) + QStringLiteral("</head><body style=\" font-family:'Sans'; \"><p><span style=\" "
                                                      "font-weight:700;\">Élan</span> grid</p></body></html>"));
    SetField(*module.TableCPInfo, mail, "Author", QStringLiteral("Ödön Straße"));
    module.Close();
    // As a catalogue of an older build: no index file, and a package added by another
    // program meanwhile.
    QVERIFY(QFile::remove(cat.DataFolder() + QString::fromLatin1(TArchiveIndex::kFileName)));
    QVERIFY(cat.Execute(QStringLiteral("INSERT INTO CPInfo (ProductName, Category, Comments) "
                                       "VALUES ('SpinEdit', %1, 'spins a grid')")
                            .arg(grids)));
    int told = 0;
    QVERIFY(module.Open([&told](qint64 done, qint64 total) {
        told += done <= total;
        return true;
    }));
    QVERIFY(told > 0);
    QVERIFY(QFile::exists(cat.DataFolder() + QString::fromLatin1(TArchiveIndex::kFileName)));

    QCOMPARE(Hits(module, QStringLiteral("GRID")),
             (QStringList{"FastGrid/Grids/ProductName: Grid", "FastGrid/Grids/ProductDescription: grid",
                          "SpinEdit/Grids/Comments: grid"}));
    QCOMPARE(Hits(module, QStringLiteral("élan")), QStringList{"FastGrid/Grids/ProductDescription: Élan"});
    QVERIFY(Hits(module, QStringLiteral("font")).isEmpty());
    QVERIFY(Hits(module, QStringLiteral("span")).isEmpty());
    QCOMPARE(Hits(module, QStringLiteral("öd")), QStringList{"MailBox/Grids/Author: Öd"});  // short: a scan
    QCOMPARE(Hits(module, QStringLiteral("  grid  "), 2).size(), 2);
    QVERIFY(Hits(module, QStringLiteral(" ")).isEmpty());
    // An FTS5 operator is only text here.
    QVERIFY(Hits(module, QStringLiteral("grid\" OR \"mail")).isEmpty());
}

void CatalogueSearchTest::theIndexFollowsEveryChangeInTheSameTransaction() {
    TempCatalogue cat;
    TDMvelm& module = cat.Module();
    TArchiveIndex& index = *module.ArchiveIndex();
    TTable& packages = *module.TableCPInfo;
    const qint64 grids = cat.AddCategory(QStringLiteral("Grids"));
    const qint64 tools = cat.AddCategory(QStringLiteral("Tools"));
    const qint64 fast = cat.AddPackage(QStringLiteral("FastGrid"), grids);
    const qint64 zip = cat.AddPackage(QStringLiteral("ZipKit"), tools);
    index.ReplaceMembers(fast, MembersNamed({"Source\\", "Source\\FastGrid.pas", "FastGrid.inf"}), {1234, {}, {}});
    // Names from an archive may hold anything; sizes from a zip64 header are large.
    std::vector<TArchiveMemberRecord> zipMembers = MembersNamed({"ZipKit.pas", "Demo\\UsesGrid.dpr"});
    zipMembers.push_back({QStringLiteral("Odd \"name\"\t\u0001\\\u00e9.txt"), (qint64(1) << 62) + 1, 7, {}, 0xFFFFFFFFu, false});
    index.ReplaceMembers(zip, zipMembers, {99, {}, {}});
    QCOMPARE(Hits(module, QStringLiteral("grid.pas")), QStringList{"FastGrid/Grids/Source\\FastGrid.pas: Grid.pas"});
    QCOMPARE(Hits(module, QStringLiteral("sg")), QStringList{"ZipKit/Tools/Demo\\UsesGrid.dpr: sG"});
    QCOMPARE(index.Members(fast).size(), size_t(3));
    QCOMPARE(index.Members(fast)[1].Modified, QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)));
    QCOMPARE(index.ArchiveFileOf(zip)->Size, qint64(99));
    const TArchiveMemberRecord odd = index.Members(zip).back();
    QCOMPARE(odd.Name, zipMembers.back().Name);
    QCOMPARE(odd.Size, (qint64(1) << 62) + 1);
    QCOMPARE(odd.Crc32, 0xFFFFFFFFu);
    QVERIFY(!odd.Modified.isValid());

    // A re-import replaces the members; a rename and a move show at once.
    index.ReplaceMembers(fast, MembersNamed({"FastGrid2.pas"}), {1300, {}, {}});
    SetField(packages, fast, "ProductName", QStringLiteral("FleetGrid"));
    QVERIFY(packages.Locate(QStringLiteral("ID"), fast, false));
    packages.Edit();
    packages.FieldByName(QStringLiteral("Category"))->SetAsInteger(int(tools));
    packages.Post();
    QCOMPARE(Hits(module, QStringLiteral("grid2")), QStringList{"FleetGrid/Tools/FastGrid2.pas: Grid2"});
    QCOMPARE(Hits(module, QStringLiteral("fleet")), QStringList{"FleetGrid/Tools/ProductName: Fleet"});
    // Its members had the highest IDs, which the next re-import gives out again.
    index.ReplaceMembers(fast, MembersNamed({"FastGrid3.pas"}), {1300, {}, {}});
    QVERIFY(Hits(module, QStringLiteral("grid2")).isEmpty());
    QCOMPARE(Hits(module, QStringLiteral("grid3")), QStringList{"FleetGrid/Tools/FastGrid3.pas: Grid3"});

    // Hits in texts and in members limited to the packages that work with a version;
    // one the user removed counts for nothing until the user adds it again.
    TWorksWith worksWith(index);
    worksWith.ReplaceFound(fast, std::vector<TWorksWithRow>{{"D7", "detected", "D7\\Fleet.dpk"}}, 1);
    worksWith.ReplaceFound(zip, std::vector<TWorksWithRow>{{"D7", "info file", "ZipKit.inf"},
                                                           {"D12", "detected", "ZipKit290.bpl"}}, 1);
    worksWith.SetByUser(zip, QStringLiteral("D7"), false);
    QCOMPARE(PackagesFor(module, QStringLiteral("grid"), QString()), (QStringList{"FleetGrid", "ZipKit"}));
    QCOMPARE(PackagesFor(module, QStringLiteral("grid"), QStringLiteral("D7")), QStringList{"FleetGrid"});
    QCOMPARE(PackagesFor(module, QStringLiteral("grid"), QStringLiteral("D12")), QStringList{"ZipKit"});
    QCOMPARE(PackagesFor(module, QStringLiteral("gr"), QStringLiteral("D12")), QStringList{"ZipKit"});  // a scan
    worksWith.SetByUser(zip, QStringLiteral("D7"), true);
    QCOMPARE(PackagesFor(module, QStringLiteral("grid"), QStringLiteral("D7")), (QStringList{"FleetGrid", "ZipKit"}));

    // A delete that is rolled back keeps everything; one that commits takes the
    // package's members and texts with it.
    TDatabase& database = index.Database();
    database.StartTransaction();
    QVERIFY(packages.Locate(QStringLiteral("ID"), zip, false));
    packages.Delete();
    QVERIFY(Hits(module, QStringLiteral("zipkit")).isEmpty());
    database.Rollback();
    packages.Refresh();
    QCOMPARE(Hits(module, QStringLiteral("zipkit")).size(), 2);  // its name and its member
    QVERIFY(packages.Locate(QStringLiteral("ID"), zip, false));
    packages.Delete();
    QVERIFY(Hits(module, QStringLiteral("zipkit")).isEmpty());
    QVERIFY(index.Members(zip).empty());
    QVERIFY(!index.ArchiveFileOf(zip));
    QCOMPARE(index.MemberCount(), qint64(1));
    QVERIFY(worksWith.Rows(zip).empty());
    QCOMPARE(worksWith.RulesRevision(zip), 0);

    // Another program's change between runs is found at the next start.
    module.Close();
    QVERIFY(cat.Execute(QStringLiteral("UPDATE CPInfo SET Author = 'Tarn Wick' WHERE ID = %1").arg(fast)));
    QVERIFY(module.Open());
    QCOMPARE(Hits(module, QStringLiteral("wick")), QStringList{"FleetGrid/Tools/Author: Wick"});
}

QTEST_MAIN(CatalogueSearchTest)
#include "test_catalogue_search.moc"
