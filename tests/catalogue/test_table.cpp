// The table layer as the windows use it: current row, edits, filters, locates,
// bookmarks, typed fields, lookups and indexes over a real catalogue file.
#include "catalogue/data_source.h"
#include "catalogue/database.h"
#include "catalogue/database_error.h"
#include "support/message_recorder.h"
#include "support/temp_catalogue.h"

#include <QSignalSpy>
#include <QTest>

using namespace velm;
using velm::test::TempCatalogue;

namespace {

QString Name(TTable& table, const char* field) { return table.FieldByName(QString::fromLatin1(field))->AsString(); }

// Walks the visible rows and collects one field.
QStringList Walk(TTable& table, const char* field) {
    QStringList names;
    for (table.First(); !table.Eof(); table.Next())
        names << Name(table, field);
    return names;
}

int KeyViolationCode(const std::function<void()>& action) {
    try {
        action();
    } catch (const EDatabaseError& e) {
        return e.FirstCode();
    }
    return 0;
}

}  // namespace

class TableTest : public QObject {
    Q_OBJECT
private slots:
    void duplicateNamesInAnyLetterCaseAreKeyViolations();
    void leavingAnEditedRowPostsOnlyWhenSomethingChanged();
    void pendingControlInputIsPulledBeforeLeavingTheRow();
    void filterShowsOneCategoryAndSwitchesOff();
    void locateMatchesWholeValuesAndKeepsTheRowOnAMiss();
    void bookmarkReturnsToTheRememberedRow();
    void fieldsKeepTheirTypesAndLimits();
    void textsAreCutAtWholeCharactersAndArchiveLocationsKeptWhole();
    void memoIsReadWhenAskedFor();
    void lookupFieldsShowTheOtherTablesText();
    void categoriesComeInNameOrderIgnoringCase();
    void indexSwitchReordersAndSeeks();
    void deleteThenTestLoopEmptiesTheVisibleRows();
    void cancelledInsertReturnsToThePreviousRow();
    void rolledBackTransactionLeavesTablesAsBefore();
    void disabledControlsHearOneChangeAtTheEnd();
};

void TableTest::duplicateNamesInAnyLetterCaseAreKeyViolations() {
    TempCatalogue cat;
    const qint64 tools = cat.AddCategory(QStringLiteral("Tools"));
    cat.AddPackage(QStringLiteral("Grid Pack"), tools);
    TTable& categories = *cat.Module().TableCategory;
    TTable& packages = *cat.Module().TableCPInfo;

    QCOMPARE(KeyViolationCode([&] { cat.AddCategory(QStringLiteral("TOOLS")); }), kKeyViolation);
    // The failed post leaves the row in insert state for the caller to cancel.
    QCOMPARE(categories.State(), TDataSetState::Insert);
    categories.Cancel();
    QCOMPARE(categories.RecordCount(), 1);

    QCOMPARE(KeyViolationCode([&] { cat.AddPackage(QStringLiteral("grid pack"), tools); }), kKeyViolation);
    packages.Cancel();

    // A rename onto an existing name fails the same way and keeps the stored name.
    cat.AddPackage(QStringLiteral("Other"), tools);
    QVERIFY(packages.Locate(QStringLiteral("ProductName"), QStringLiteral("other"), true));
    packages.Edit();
    packages.FieldByName(QStringLiteral("ProductName"))->SetAsString(QStringLiteral("GRID PACK"));
    QCOMPARE(KeyViolationCode([&] { packages.Post(); }), kKeyViolation);
    packages.Cancel();
    QCOMPARE(Name(packages, "ProductName"), QStringLiteral("Other"));

    // An empty name is refused by the engine, but not as a key violation.
    packages.Edit();
    packages.FieldByName(QStringLiteral("ProductName"))->SetAsString(QString());
    const int code = KeyViolationCode([&] { packages.Post(); });
    QVERIFY(code != 0 && code != kKeyViolation);
    packages.Cancel();
}

void TableTest::leavingAnEditedRowPostsOnlyWhenSomethingChanged() {
    TempCatalogue cat;
    const qint64 c = cat.AddCategory(QStringLiteral("C"));
    cat.AddPackage(QStringLiteral("A"), c);
    cat.AddPackage(QStringLiteral("B"), c);
    TTable& packages = *cat.Module().TableCPInfo;

    packages.First();
    packages.Edit();
    packages.FieldByName(QStringLiteral("Author"))->SetAsString(QStringLiteral("Ann"));
    packages.Next();
    QCOMPARE(packages.State(), TDataSetState::Browse);
    QCOMPARE(Name(packages, "ProductName"), QStringLiteral("B"));

    // An edit that changed nothing is dropped, not posted.
    packages.Edit();
    packages.FieldByName(QStringLiteral("Author"))->SetAsString(QString());
    QVERIFY(!packages.Modified());
    packages.First();
    QCOMPARE(packages.State(), TDataSetState::Browse);

    // The change reached the file: a fresh open sees it.
    cat.Module().Close();
    QVERIFY(cat.Module().Open());
    QVERIFY(packages.Locate(QStringLiteral("ProductName"), QStringLiteral("a"), true));
    QCOMPARE(Name(packages, "Author"), QStringLiteral("Ann"));
}

void TableTest::pendingControlInputIsPulledBeforeLeavingTheRow() {
    TempCatalogue cat;
    const qint64 c = cat.AddCategory(QStringLiteral("C"));
    cat.AddPackage(QStringLiteral("A"), c);
    cat.AddPackage(QStringLiteral("B"), c);
    TTable& packages = *cat.Module().TableCPInfo;
    TDataSource& source = *cat.Module().DSCPInfo;

    // A control that holds typed text until the table asks for it.
    QString typed;
    QObject::connect(&source, &TDataSource::updateRecordRequested, &source, [&] {
        if (!typed.isEmpty())
            packages.FieldByName(QStringLiteral("Comments"))->SetAsString(typed);
        typed.clear();
    });
    packages.First();
    packages.Edit();
    typed = QStringLiteral("typed but not yet stored");
    QVERIFY(packages.Locate(QStringLiteral("ProductName"), QStringLiteral("B"), true));
    QVERIFY(packages.Locate(QStringLiteral("ProductName"), QStringLiteral("A"), true));
    QCOMPARE(Name(packages, "Comments"), QStringLiteral("typed but not yet stored"));
}

void TableTest::filterShowsOneCategoryAndSwitchesOff() {
    TempCatalogue cat;
    const qint64 one = cat.AddCategory(QStringLiteral("One"));
    const qint64 two = cat.AddCategory(QStringLiteral("Two"));
    cat.AddPackage(QStringLiteral("a1"), one);
    cat.AddPackage(QStringLiteral("b2"), two);
    cat.AddPackage(QStringLiteral("c1"), one);
    TTable& packages = *cat.Module().TableCPInfo;

    packages.SetFilter(QStringLiteral("Category = %1").arg(one));
    packages.SetFiltered(true);
    QCOMPARE(Walk(packages, "ProductName"), (QStringList{"a1", "c1"}));
    // Locate sees only the filtered rows.
    QVERIFY(!packages.Locate(QStringLiteral("ProductName"), QStringLiteral("b2"), true));

    // A row posted into the filtered view that leaves the filter disappears from it.
    packages.First();
    packages.Edit();
    packages.FieldByName(QStringLiteral("Category"))->SetAsInteger(static_cast<int>(two));
    packages.Post();
    QCOMPARE(Walk(packages, "ProductName"), (QStringList{"c1"}));

    packages.SetFilter(QStringLiteral("Category = %1").arg(two));
    QCOMPARE(Walk(packages, "ProductName"), (QStringList{"a1", "b2"}));

    packages.SetFiltered(false);
    QCOMPARE(Walk(packages, "ProductName"), (QStringList{"a1", "b2", "c1"}));

    QVERIFY_THROWS_EXCEPTION(EDatabaseError, packages.SetFilter(QStringLiteral("NoSuchField = 3")));
}

void TableTest::locateMatchesWholeValuesAndKeepsTheRowOnAMiss() {
    TempCatalogue cat;
    const qint64 c = cat.AddCategory(QStringLiteral("C"));
    cat.AddPackage(QStringLiteral("Alpha"), c);
    cat.AddPackage(QStringLiteral("Beta Tools"), c, 2);
    cat.AddPackage(QStringLiteral("Gamma"), c, 2);
    TTable& packages = *cat.Module().TableCPInfo;

    packages.First();
    QVERIFY(!packages.Locate(QStringLiteral("ProductName"), QStringLiteral("Beta"), true));  // whole value only
    QCOMPARE(Name(packages, "ProductName"), QStringLiteral("Alpha"));
    QVERIFY(!packages.Locate(QStringLiteral("ProductName"), QStringLiteral("beta tools"), false));
    QCOMPARE(Name(packages, "ProductName"), QStringLiteral("Alpha"));
    QVERIFY(packages.Locate(QStringLiteral("ProductName"), QStringLiteral("beta TOOLS"), true));
    QCOMPARE(Name(packages, "ProductName"), QStringLiteral("Beta Tools"));
    // On a field that many rows share, the first in table order wins.
    packages.Last();
    QVERIFY(packages.Locate(QStringLiteral("Status"), 2, false));
    QCOMPARE(Name(packages, "ProductName"), QStringLiteral("Beta Tools"));
    QVERIFY(!packages.Locate(QStringLiteral("Status"), QStringLiteral("not a number"), false));
    QVERIFY(packages.Locate(QStringLiteral("CategoryName"), QStringLiteral("c"), true));
}

void TableTest::bookmarkReturnsToTheRememberedRow() {
    TempCatalogue cat;
    const qint64 c = cat.AddCategory(QStringLiteral("C"));
    for (const char* name : {"p1", "p2", "p3"})
        cat.AddPackage(QString::fromLatin1(name), c);
    TTable& packages = *cat.Module().TableCPInfo;
    packages.First();
    packages.Next();
    const TBookmark mark = packages.GetBookmark();
    packages.Last();
    packages.GotoBookmark(mark);
    QCOMPARE(Name(packages, "ProductName"), QStringLiteral("p2"));
    packages.Delete();
    QVERIFY(!packages.BookmarkValid(mark));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, packages.GotoBookmark(mark));
}

void TableTest::fieldsKeepTheirTypesAndLimits() {
    TempCatalogue cat;
    const qint64 c = cat.AddCategory(QStringLiteral("C"));
    cat.AddPackage(QStringLiteral("P"), c);
    TTable& packages = *cat.Module().TableCPInfo;
    packages.First();
    packages.Edit();
    packages.FieldByName(QStringLiteral("ProductName"))->SetAsString(QString(45, QLatin1Char('x')));
    QCOMPARE(Name(packages, "ProductName").size(), 40);

    TField* rating = packages.FieldByName(QStringLiteral("Rating"));
    rating->SetAsInteger(7);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, rating->SetAsInteger(32768));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, rating->SetAsInteger(-32769));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, rating->SetAsString(QStringLiteral("seven")));
    QCOMPARE(rating->AsInteger(), 7);
    packages.FieldByName(QStringLiteral("Compatibility"))->SetAsInteger(-32768);

    packages.FieldByName(QStringLiteral("Beta"))->SetAsBoolean(true);
    packages.FieldByName(QStringLiteral("ReleaseDate"))->SetAsDate(QDate(1999, 2, 28));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, packages.FieldByName(QStringLiteral("ID"))->SetAsInteger(5));
    packages.Post();

    // Empty values read as empty text, 0 and false.
    QCOMPARE(packages.FieldByName(QStringLiteral("Release"))->AsInteger(), 0);
    QVERIFY(packages.FieldByName(QStringLiteral("Release"))->IsNull());
    QVERIFY(!packages.FieldByName(QStringLiteral("FullSourceIncl"))->AsBoolean());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, packages.FieldByName(QStringLiteral("Author"))->SetAsString("x"));

    cat.Module().Close();
    QVERIFY(cat.Module().Open());
    packages.First();
    QCOMPARE(Name(packages, "ProductName"), QString(40, QLatin1Char('x')));
    QCOMPARE(packages.FieldByName(QStringLiteral("Rating"))->AsInteger(), 7);
    QCOMPARE(packages.FieldByName(QStringLiteral("Compatibility"))->AsInteger(), -32768);
    QVERIFY(packages.FieldByName(QStringLiteral("Beta"))->AsBoolean());
    QCOMPARE(packages.FieldByName(QStringLiteral("ReleaseDate"))->AsDate(), QDate(1999, 2, 28));
    // As text (reports and exports): numbers plainly, dates as ISO dates, zero-padded.
    QCOMPARE(packages.FieldByName(QStringLiteral("Compatibility"))->AsString(), QStringLiteral("-32768"));
    QCOMPARE(packages.FieldByName(QStringLiteral("Beta"))->AsString(), QStringLiteral("True"));
    for (const QDate& date : {QDate(1999, 2, 28), QDate(2001, 12, 9), QDate(999, 1, 5), QDate(12345, 6, 7)}) {
        packages.Edit();
        packages.FieldByName(QStringLiteral("ReleaseDate"))->SetAsDate(date);
        packages.Post();
        QCOMPARE(packages.FieldByName(QStringLiteral("ReleaseDate"))->AsString(), date.toString(Qt::ISODate));
    }
}

void TableTest::textsAreCutAtWholeCharactersAndArchiveLocationsKeptWhole() {
    TempCatalogue cat;
    const qint64 c = cat.AddCategory(QStringLiteral("C"));
    cat.AddPackage(QStringLiteral("P"), c);
    TTable& packages = *cat.Module().TableCPInfo;
    packages.First();
    packages.Edit();
    // 39 letters and a character outside the basic plane: it does not fit whole, so it
    // is left out rather than cut in half (which SQLite would store as "?").
    const QString smiley = QString::fromUtf8("\xF0\x9F\x98\x80");
    packages.FieldByName(QStringLiteral("ProductName"))->SetAsString(QString(39, u'p') + smiley);
    QCOMPARE(Name(packages, "ProductName"), QString(39, u'p'));
    // A letter with a combining accent stays together too.
    packages.FieldByName(QStringLiteral("Author"))->SetAsString(QString(49, u'a') + u'e' + QChar(0x0301));
    QCOMPARE(Name(packages, "Author"), QString(49, u'a'));
    // The archive's file name and folder keep every character.
    const QString folder = QStringLiteral("/") + QString(240, u'f') + QStringLiteral("/");
    const QString file = QString(204, u'x') + QStringLiteral(".zip");
    packages.FieldByName(QStringLiteral("ArchiveFilePath"))->SetAsString(folder);
    packages.FieldByName(QStringLiteral("ArchiveFile"))->SetAsString(file);
    packages.Post();
    QCOMPARE(cat.Stored(QStringLiteral("SELECT ProductName, ArchiveFilePath, ArchiveFile FROM CPInfo")),
             QStringList{QString(39, u'p') + u'|' + folder + u'|' + file});
}

void TableTest::memoIsReadWhenAskedFor() {
    TempCatalogue cat;
    const qint64 c = cat.AddCategory(QStringLiteral("C"));
    cat.AddPackage(QStringLiteral("P"), c);
    TTable& packages = *cat.Module().TableCPInfo;
    const QString text = QStringLiteral("Line one\r\nLine two \u00e9");
    packages.First();
    packages.Edit();
    packages.FieldByName(QStringLiteral("ProductDescription"))->SetAsString(text);
    packages.Post();
    cat.Module().Close();
    QVERIFY(cat.Module().Open());
    packages.First();
    QCOMPARE(packages.FieldByName(QStringLiteral("ProductDescription"))->MemoBytes(), text.toUtf8());
    QCOMPARE(Name(packages, "ProductDescription"), text);
    // Setting the same text again is no change.
    packages.Edit();
    packages.FieldByName(QStringLiteral("ProductDescription"))->SetAsString(text);
    QVERIFY(!packages.Modified());
    packages.Cancel();
}

void TableTest::lookupFieldsShowTheOtherTablesText() {
    TempCatalogue cat({QStringLiteral("Installed"), QString(35, QLatin1Char('s'))});
    const qint64 c = cat.AddCategory(QStringLiteral("Components of all kinds"));
    cat.AddPackage(QStringLiteral("P"), c, 2);
    cat.AddPackage(QStringLiteral("Q"), c);
    TTable& packages = *cat.Module().TableCPInfo;
    packages.First();
    QCOMPARE(Name(packages, "StatusDescr"), QString(30, QLatin1Char('s')));
    QCOMPARE(Name(packages, "CategoryName"), QStringLiteral("Components of all kinds"));
    packages.Next();
    QVERIFY(packages.FieldByName(QStringLiteral("StatusDescr"))->IsNull());
}

void TableTest::categoriesComeInNameOrderIgnoringCase() {
    TempCatalogue cat;
    for (const char* name : {"zeta", "Alpha", "beta", "Gamma"})
        cat.AddCategory(QString::fromLatin1(name));
    TTable& categories = *cat.Module().TableCategory;
    QCOMPARE(Walk(categories, "Name"), (QStringList{"Alpha", "beta", "Gamma", "zeta"}));
    // A renamed row moves to its new place.
    QVERIFY(categories.Locate(QStringLiteral("Name"), QStringLiteral("zeta"), true));
    categories.Edit();
    categories.FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("aardvark"));
    categories.Post();
    QCOMPARE(Name(categories, "Name"), QStringLiteral("aardvark"));
    QCOMPARE(Walk(categories, "Name"), (QStringList{"aardvark", "Alpha", "beta", "Gamma"}));
}

void TableTest::indexSwitchReordersAndSeeks() {
    TempCatalogue cat;
    const qint64 c = cat.AddCategory(QStringLiteral("C"));
    for (const char* name : {"delta", "Bravo", "alpha", "Charlie"})
        cat.AddPackage(QString::fromLatin1(name), c);
    TTable& packages = *cat.Module().TableCPInfo;
    QVERIFY(packages.Locate(QStringLiteral("ProductName"), QStringLiteral("Bravo"), false));
    packages.SetIndexName(QStringLiteral("ProductName"));
    QCOMPARE(Name(packages, "ProductName"), QStringLiteral("Bravo"));  // the row is kept
    QCOMPARE(Walk(packages, "ProductName"), (QStringList{"alpha", "Bravo", "Charlie", "delta"}));
    QVERIFY(packages.FindKey(QStringLiteral("CHARLIE")));
    QCOMPARE(Name(packages, "ProductName"), QStringLiteral("Charlie"));
    QVERIFY(!packages.FindKey(QStringLiteral("Char")));
    QCOMPARE(Name(packages, "ProductName"), QStringLiteral("Charlie"));
    packages.FindNearest(QStringLiteral("b"));
    QCOMPARE(Name(packages, "ProductName"), QStringLiteral("Bravo"));
    packages.FindNearest(QStringLiteral("zz"));
    QCOMPARE(Name(packages, "ProductName"), QStringLiteral("delta"));
    packages.SetIndexName(QString());
    QCOMPARE(Walk(packages, "ProductName"), (QStringList{"delta", "Bravo", "alpha", "Charlie"}));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, packages.SetIndexName(QStringLiteral("Nope")));
}

void TableTest::deleteThenTestLoopEmptiesTheVisibleRows() {
    TempCatalogue cat;
    const qint64 keep = cat.AddCategory(QStringLiteral("Keep"));
    const qint64 drop = cat.AddCategory(QStringLiteral("Drop"));
    for (int i = 0; i < 5; ++i)
        cat.AddPackage(QStringLiteral("d%1").arg(i), drop);
    cat.AddPackage(QStringLiteral("k"), keep);
    TTable& packages = *cat.Module().TableCPInfo;
    packages.SetFilter(QStringLiteral("Category = %1").arg(drop));
    packages.SetFiltered(true);
    packages.First();
    while (!packages.Eof())
        packages.Delete();
    QVERIFY(packages.IsEmpty());
    packages.SetFiltered(false);
    QCOMPARE(Walk(packages, "ProductName"), QStringList{"k"});
}

void TableTest::cancelledInsertReturnsToThePreviousRow() {
    TempCatalogue cat;
    const qint64 c = cat.AddCategory(QStringLiteral("C"));
    cat.AddPackage(QStringLiteral("A"), c);
    cat.AddPackage(QStringLiteral("B"), c);
    TTable& packages = *cat.Module().TableCPInfo;
    packages.First();
    packages.Append();
    packages.FieldByName(QStringLiteral("ProductName"))->SetAsString(QStringLiteral("new"));
    packages.Cancel();
    QCOMPARE(Name(packages, "ProductName"), QStringLiteral("A"));
    QCOMPARE(packages.RecordCount(), 2);
}

void TableTest::rolledBackTransactionLeavesTablesAsBefore() {
    TempCatalogue cat;
    const qint64 c = cat.AddCategory(QStringLiteral("C"));
    cat.AddPackage(QStringLiteral("A"), c);
    TTable& packages = *cat.Module().TableCPInfo;
    TTable& categories = *cat.Module().TableCategory;
    TDatabase& database = TSession::Instance().DatabaseFor(QString::fromLatin1(TDMvelm::kAlias));
    database.StartTransaction();
    packages.First();
    packages.Delete();
    categories.First();
    categories.Delete();
    QVERIFY(packages.IsEmpty() && categories.IsEmpty());
    database.Rollback();
    packages.Refresh();
    categories.Refresh();
    QCOMPARE(Walk(packages, "ProductName"), QStringList{"A"});
    QCOMPARE(Walk(categories, "Name"), QStringList{"C"});
}

void TableTest::disabledControlsHearOneChangeAtTheEnd() {
    TempCatalogue cat;
    const qint64 c = cat.AddCategory(QStringLiteral("C"));
    cat.AddPackage(QStringLiteral("A"), c);
    cat.AddPackage(QStringLiteral("B"), c);
    TTable& packages = *cat.Module().TableCPInfo;
    QSignalSpy changes(cat.Module().DSCPInfo, &TDataSource::dataSetChanged);
    packages.DisableControls();
    packages.DisableControls();
    packages.First();
    packages.Next();
    packages.EnableControls();
    QCOMPARE(changes.count(), 0);
    packages.EnableControls();
    QCOMPARE(changes.count(), 1);
    packages.Prior();
    QCOMPARE(changes.count(), 2);
}

QTEST_GUILESS_MAIN(TableTest)
#include "test_table.moc"
