// What the table layer keeps for fast searches: the row order of each index used before,
// which must follow every change to the rows, and memo bytes read ahead in batches.
#include "catalogue/database_error.h"
#include "support/temp_catalogue.h"

#include <QTest>

using namespace velm;
using velm::test::TempCatalogue;

namespace {

QString Name(TTable& table) { return table.FieldByName(QStringLiteral("ProductName"))->AsString(); }

QStringList Walk(TTable& table) {
    QStringList names;
    for (table.First(); !table.Eof(); table.Next())
        names << Name(table);
    return names;
}

void Rename(TTable& table, const QString& from, const QString& to) {
    QVERIFY(table.Locate(QStringLiteral("ProductName"), from, false));
    table.Edit();
    table.FieldByName(QStringLiteral("ProductName"))->SetAsString(to);
    table.Post();
}

void SetMemo(TTable& table, const QString& name, const QString& text) {
    QVERIFY(table.Locate(QStringLiteral("ProductName"), name, false));
    table.Edit();
    table.FieldByName(QStringLiteral("Comments"))->SetAsString(text);
    table.Post();
}

// Rows read ahead, as "name=bytes".
QStringList Ahead(TTable& table, int count, qsizetype maxBytes = 1 << 20) {
    const int comments = table.FieldByName(QStringLiteral("Comments"))->Index();
    QStringList rows;
    const TBookmark here = table.GetBookmark();
    for (const TMemoBytes& memo : table.ReadMemosAhead(comments, count, maxBytes)) {
        table.GotoBookmark(memo.row);
        rows << Name(table) + QLatin1Char('=') + QString::fromUtf8(memo.bytes);
    }
    if (here)
        table.GotoBookmark(here);
    return rows;
}

}  // namespace

class TableScanSupportTest : public QObject {
    Q_OBJECT
private slots:
    void keptIndexOrdersFollowEveryChange();
    void memosAreReadAheadInVisibleOrder();
};

void TableScanSupportTest::keptIndexOrdersFollowEveryChange() {
    TempCatalogue cat;
    const qint64 c = cat.AddCategory(QStringLiteral("C"));
    for (const char* name : {"delta", "Bravo", "alpha", "Charlie"})
        cat.AddPackage(QString::fromLatin1(name), c);
    TTable& packages = *cat.Module().TableCPInfo;
    packages.SetIndexName(QStringLiteral("ProductName"));
    packages.SetIndexName(QString());
    const quint64 version = packages.RowsVersion();

    // Both orders are kept now; change the rows under the name order while it rests.
    Rename(packages, QStringLiteral("alpha"), QStringLiteral("echo"));
    cat.AddPackage(QStringLiteral("aardvark"), c);
    QVERIFY(packages.Locate(QStringLiteral("ProductName"), QStringLiteral("Charlie"), false));
    packages.Delete();
    QVERIFY(packages.RowsVersion() > version);
    QCOMPARE(Walk(packages), (QStringList{"delta", "Bravo", "echo", "aardvark"}));

    QVERIFY(packages.Locate(QStringLiteral("ProductName"), QStringLiteral("echo"), false));
    packages.SetIndexName(QStringLiteral("productname"));
    QCOMPARE(Name(packages), QStringLiteral("echo"));  // the row is kept
    QCOMPARE(Walk(packages), (QStringList{"aardvark", "Bravo", "delta", "echo"}));
    QVERIFY(packages.FindKey(QStringLiteral("DELTA")));

    // And the ID order while the name order is current.
    Rename(packages, QStringLiteral("Bravo"), QStringLiteral("zulu"));
    cat.AddPackage(QStringLiteral("foxtrot"), c);
    QCOMPARE(Walk(packages), (QStringList{"aardvark", "delta", "echo", "foxtrot", "zulu"}));
    packages.SetIndexName(QString());
    QCOMPARE(Walk(packages), (QStringList{"delta", "zulu", "echo", "aardvark", "foxtrot"}));

    // A reload drops what was kept and sorts afresh.
    packages.SetIndexName(QStringLiteral("ProductName"));
    packages.SetIndexName(QString());
    packages.Refresh();
    packages.SetIndexName(QStringLiteral("ProductName"));
    QCOMPARE(Walk(packages), (QStringList{"aardvark", "delta", "echo", "foxtrot", "zulu"}));
    packages.SetFilter(QStringLiteral("Category = %1").arg(c));
    packages.SetFiltered(true);
    packages.SetIndexName(QString());
    QCOMPARE(Walk(packages), (QStringList{"delta", "zulu", "echo", "aardvark", "foxtrot"}));
}

void TableScanSupportTest::memosAreReadAheadInVisibleOrder() {
    TempCatalogue cat;
    const qint64 a = cat.AddCategory(QStringLiteral("A"));
    const qint64 b = cat.AddCategory(QStringLiteral("B"));
    for (const char* name : {"p1", "p2", "p3", "p4", "p5"})
        cat.AddPackage(QString::fromLatin1(name), QByteArray(name).back() % 2 ? a : b);
    TTable& packages = *cat.Module().TableCPInfo;
    for (const char* name : {"p1", "p2", "p4", "p5"})
        SetMemo(packages, QString::fromLatin1(name), QStringLiteral("memo of ") + QString::fromLatin1(name));
    // Read back from the file, not from what the posts left in memory.
    packages.Refresh();

    QVERIFY(packages.Locate(QStringLiteral("ProductName"), QStringLiteral("p2"), false));
    QCOMPARE(Ahead(packages, 3), (QStringList{"p2=memo of p2", "p3=", "p4=memo of p4"}));
    // The current row is always read; the byte limit cuts the rest short.
    QCOMPARE(Ahead(packages, 64, 1), (QStringList{"p2=memo of p2", "p3=", "p4=memo of p4"}));
    QCOMPARE(Ahead(packages, 64, 0), (QStringList{"p2=memo of p2"}));

    // A memo posted through the table reads as posted, in any order and filter.
    SetMemo(packages, QStringLiteral("p3"), QStringLiteral("new"));
    packages.SetFilter(QStringLiteral("Category = %1").arg(a));
    packages.SetFiltered(true);
    packages.SetIndexName(QStringLiteral("ProductName"));
    packages.Last();
    QCOMPARE(Ahead(packages, 64), (QStringList{"p5=memo of p5"}));
    packages.First();
    QCOMPARE(Ahead(packages, 64), (QStringList{"p1=memo of p1", "p3=new", "p5=memo of p5"}));

    // Nothing while the row is being edited: the edit buffer is not in the file yet.
    packages.Edit();
    QVERIFY(packages.ReadMemosAhead(packages.FieldByName(QStringLiteral("Comments"))->Index(), 8, 1 << 20).empty());
    packages.Cancel();
    packages.SetFilter(QStringLiteral("Category = 999"));
    QVERIFY(packages.ReadMemosAhead(packages.FieldByName(QStringLiteral("Comments"))->Index(), 8, 1 << 20).empty());
}

QTEST_GUILESS_MAIN(TableScanSupportTest)
#include "test_table_scan_support.moc"
