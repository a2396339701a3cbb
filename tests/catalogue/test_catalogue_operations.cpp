// The catalogue's operations over a real catalogue: free names, renames through the
// table's unique key, deletes, moves, ratings and compatibility, a category with its
// packages in one transaction, and the packages whose category is gone.
#include "catalogue/catalogue_operations.h"
#include "catalogue/data_module.h"
#include "catalogue/database_error.h"
#include "catalogue/table.h"
#include "support/temp_catalogue.h"

#include <QTest>

using namespace velm;
using velm::test::TempCatalogue;

namespace {

TTable& Packages() { return *DMvelm->TableCPInfo; }

QString Field(const char* name) { return Packages().FieldByName(QString::fromLatin1(name))->AsString(); }
int IntField(const char* name) { return Packages().FieldByName(QString::fromLatin1(name))->AsInteger(); }

// Makes the stored row of a product name current (exact letter case); false when absent.
bool Row(const QString& name) { return Packages().Locate(QStringLiteral("ProductName"), name, false); }

QStringList AllNames() {
    QStringList names;
    TTable& table = Packages();
    for (table.First(); !table.Eof(); table.Next())
        names << Field("ProductName");
    return names;
}

}  // namespace

class CatalogueOperationsTest : public QObject {
    Q_OBJECT
private slots:
    void newNamesAreProbedIgnoringCaseCutAndFillGaps();
    void renamesStoreTheNameOrRefuseWithTheRowUnchanged();
    void deleteAndMoveActOnTheRowWithTheId();
    void ratingAndCompatibilityAreStoredAtOnce();
    void aCategoryGoesWithItsPackagesOrNotAtAll();
    void packagesWithoutACategoryAreFiledTogether();
};

void CatalogueOperationsTest::newNamesAreProbedIgnoringCaseCutAndFillGaps() {
    TempCatalogue cat;
    TCatalogueOperations operations(cat.Module());
    const TNewRow tools = operations.CreateCategory(QString());
    QCOMPARE(tools.Name, QStringLiteral("New Category"));
    QCOMPARE(operations.CreateCategory(QStringLiteral("NEW CATEGORY")).Name, QStringLiteral("NEW CATEGORY1"));

    // Three in a row on an empty table; no base name gives the default one.
    QCOMPARE(operations.CreatePackage(tools.Id, QString()).Name, QStringLiteral("New Component"));
    QCOMPARE(operations.CreatePackage(tools.Id, QStringLiteral("New Component")).Name, QStringLiteral("New Component1"));
    const TNewRow third = operations.CreatePackage(tools.Id, QStringLiteral("New Component"));
    QCOMPARE(third.Name, QStringLiteral("New Component2"));
    // The new row is the current one, in browse state, in the category.
    QCOMPARE(Packages().State(), TDataSetState::Browse);
    QCOMPARE(Packages().FieldByName(QStringLiteral("ID"))->Value().toLongLong(), third.Id);
    QCOMPARE(IntField("Category"), int(tools.Id));

    // Another letter case counts as taken; the base name itself comes first, then the
    // first free number.
    cat.AddPackage(QStringLiteral("Grid"), tools.Id);
    cat.AddPackage(QStringLiteral("grid1"), tools.Id);
    QCOMPARE(operations.CreatePackage(tools.Id, QStringLiteral("GRID")).Name, QStringLiteral("GRID2"));
    cat.AddPackage(QStringLiteral("X2"), tools.Id);
    QCOMPARE(operations.CreatePackage(tools.Id, QStringLiteral("X")).Name, QStringLiteral("X"));
    QCOMPARE(operations.CreatePackage(tools.Id, QStringLiteral("X")).Name, QStringLiteral("X1"));
    QCOMPARE(operations.CreatePackage(tools.Id, QStringLiteral("X")).Name, QStringLiteral("X3"));

    // The number must fit in the column too, so the base gives way to it.
    const QString longName = QStringLiteral("A").repeated(30) + QStringLiteral("B").repeated(15);
    QCOMPARE(operations.CreatePackage(tools.Id, longName).Name, longName.left(40));
    QCOMPARE(operations.CreatePackage(tools.Id, longName).Name, longName.left(39) + QStringLiteral("1"));

    // A category that does not exist gets no package.
    const int before = Packages().RecordCount();
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, operations.CreatePackage(9999, QStringLiteral("Pkg")));
    QCOMPARE(Packages().RecordCount(), before);
    QCOMPARE(Packages().State(), TDataSetState::Browse);
}

void CatalogueOperationsTest::renamesStoreTheNameOrRefuseWithTheRowUnchanged() {
    TempCatalogue cat;
    TCatalogueOperations operations(cat.Module());
    const qint64 tools = cat.AddCategory(QStringLiteral("Tools"));
    const qint64 alpha = cat.AddPackage(QStringLiteral("Alpha"), tools);
    const qint64 beta = cat.AddPackage(QStringLiteral("Beta"), tools);

    try {
        operations.RenamePackage(beta, QStringLiteral("ALPHA"));
        QFAIL("a name another row has was stored");
    } catch (const EDatabaseError& error) {
        QVERIFY(error.IsKeyViolation());
    }
    QCOMPARE(Packages().State(), TDataSetState::Browse);
    QCOMPARE(AllNames(), (QStringList{QStringLiteral("Alpha"), QStringLiteral("Beta")}));

    // A letter-case change of its own name is no clash; a long name is stored cut.
    QCOMPARE(operations.RenamePackage(beta, QStringLiteral("BETA")), QStringLiteral("BETA"));
    const QString cut = operations.RenamePackage(beta, QStringLiteral("Gamma").repeated(9));
    QCOMPARE(cut, QStringLiteral("Gamma").repeated(9).left(40));
    QVERIFY(Row(cut));

    // The current row is never renamed in place of one that is not there, nor to nothing.
    QVERIFY(Row(QStringLiteral("Alpha")));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, operations.RenamePackage(9999, QStringLiteral("Omega")));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, operations.RenamePackage(alpha, QString()));
    QCOMPARE(AllNames(), (QStringList{QStringLiteral("Alpha"), cut}));

    const qint64 grids = cat.AddCategory(QStringLiteral("Grids"));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, operations.RenameCategory(grids, QStringLiteral("TOOLS")));
    QCOMPARE(operations.RenameCategory(grids, QStringLiteral("Grid Controls")), QStringLiteral("Grid Controls"));
}

void CatalogueOperationsTest::deleteAndMoveActOnTheRowWithTheId() {
    TempCatalogue cat;
    TCatalogueOperations operations(cat.Module());
    const qint64 tools = cat.AddCategory(QStringLiteral("Tools"));
    const qint64 grids = cat.AddCategory(QStringLiteral("Grids"));
    cat.AddPackage(QStringLiteral("Alpha"), tools);
    const qint64 beta = cat.AddPackage(QStringLiteral("Beta"), tools);
    const qint64 gamma = cat.AddPackage(QStringLiteral("Gamma"), tools);

    // The move stores the category in that row, not in the current one.
    QVERIFY(Row(QStringLiteral("Alpha")));
    operations.MovePackage(gamma, grids);
    QCOMPARE(operations.CategoryOfPackage(gamma), grids);
    QCOMPARE(operations.CategoryOfPackage(9999), qint64(-1));
    QVERIFY(Row(QStringLiteral("Alpha")));
    QCOMPARE(IntField("Category"), int(tools));

    // The row goes with its pending change, whichever row is current.
    QVERIFY(Row(QStringLiteral("Beta")));
    Packages().Edit();
    Packages().FieldByName(QStringLiteral("Author"))->SetAsString(QStringLiteral("Someone"));
    operations.DeletePackage(beta);
    QCOMPARE(AllNames(), (QStringList{QStringLiteral("Alpha"), QStringLiteral("Gamma")}));
    // An ID that no row has deletes nothing.
    operations.DeletePackage(beta);
    operations.DeletePackage(0);
    QCOMPARE(AllNames(), (QStringList{QStringLiteral("Alpha"), QStringLiteral("Gamma")}));
}

void CatalogueOperationsTest::ratingAndCompatibilityAreStoredAtOnce() {
    TempCatalogue cat;
    TCatalogueOperations operations(cat.Module());
    const qint64 tools = cat.AddCategory(QStringLiteral("Tools"));
    const qint64 alpha = cat.AddPackage(QStringLiteral("Alpha"), tools);
    const qint64 beta = cat.AddPackage(QStringLiteral("Beta"), tools);
    TTable& table = Packages();

    // The row shown is current and in edit: its pending input goes with the rating.
    QVERIFY(Row(QStringLiteral("Alpha")));
    table.Edit();
    table.FieldByName(QStringLiteral("Author"))->SetAsString(QStringLiteral("J. Doe"));
    operations.SetRating(alpha, 8);
    operations.SetCompatibility(alpha, 33);
    QCOMPARE(table.State(), TDataSetState::Browse);
    // Another row is found by its ID.
    operations.SetRating(beta, 3);
    table.Refresh();
    QVERIFY(Row(QStringLiteral("Alpha")));
    QCOMPARE(IntField("Rating"), 8);
    QCOMPARE(IntField("Compatibility"), 33);
    QCOMPARE(Field("Author"), QStringLiteral("J. Doe"));
    QVERIFY(Row(QStringLiteral("Beta")));
    QCOMPARE(IntField("Rating"), 3);
    QCOMPARE(IntField("Compatibility"), 0);
}

void CatalogueOperationsTest::aCategoryGoesWithItsPackagesOrNotAtAll() {
    TempCatalogue cat;
    TCatalogueOperations operations(cat.Module());
    const qint64 tools = cat.AddCategory(QStringLiteral("Tools"));
    const qint64 grids = cat.AddCategory(QStringLiteral("Grids"));
    cat.AddPackage(QStringLiteral("Alpha"), tools);
    cat.AddPackage(QStringLiteral("Beta"), tools);
    cat.AddPackage(QStringLiteral("Gamma"), grids);

    // A failure half-way (the engine refuses the category's own delete) keeps both.
    QVERIFY(cat.Execute(QStringLiteral("CREATE TRIGGER c.KeepTools BEFORE DELETE ON Category "
                                       "BEGIN SELECT RAISE(ABORT, 'kept'); END;")));
    cat.Module().Close();
    QVERIFY(cat.Module().Open());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, operations.DeleteCategory(tools));
    QCOMPARE(AllNames(), (QStringList{QStringLiteral("Alpha"), QStringLiteral("Beta"), QStringLiteral("Gamma")}));
    QCOMPARE(cat.Stored(QStringLiteral("SELECT count(*) FROM CPInfo")), QStringList{"3"});

    QVERIFY(cat.Execute(QStringLiteral("DROP TRIGGER c.KeepTools")));
    cat.Module().Close();
    QVERIFY(cat.Module().Open());
    operations.DeleteCategory(tools);
    QCOMPARE(AllNames(), QStringList{QStringLiteral("Gamma")});
    QCOMPARE(cat.Stored(QStringLiteral("SELECT Name FROM c.Category")), QStringList{"Grids"});
}

void CatalogueOperationsTest::packagesWithoutACategoryAreFiledTogether() {
    TempCatalogue cat;
    TCatalogueOperations operations(cat.Module());
    const qint64 tools = cat.AddCategory(QStringLiteral("Tools"));
    cat.AddPackage(QStringLiteral("Alpha"), tools);
    QCOMPARE(operations.FileStrays(QStringLiteral("Unfiled")), 0);
    QCOMPARE(cat.Module().TableCategory->RecordCount(), 1);

    cat.AddPackage(QStringLiteral("Lost"), 77);
    cat.AddPackage(QStringLiteral("Astray"), 78);
    QCOMPARE(operations.StrayPackages().size(), size_t(2));
    QCOMPARE(operations.FileStrays(QStringLiteral("Unfiled")), 2);
    QCOMPARE(cat.Stored(QStringLiteral("SELECT p.ProductName FROM CPInfo p JOIN c.Category k ON k.ID = p.Category "
                                       "WHERE k.Name = 'Unfiled' ORDER BY p.ID")),
             (QStringList{"Lost", "Astray"}));
    QVERIFY(operations.StrayPackages().empty());
}

QTEST_MAIN(CatalogueOperationsTest)
#include "test_catalogue_operations.moc"
