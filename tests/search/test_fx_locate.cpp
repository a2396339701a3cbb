// The record locate engine over a real catalogue: what it finds, where the cursor ends
// up, why the index path was or was not taken, and the table left as it was.
#include "catalogue/database_error.h"
#include "catalogue/memo_markup.h"
#include "search/fx_locate.h"
#include "support/temp_catalogue.h"

#include <QSignalSpy>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

using namespace velm;
using velm::test::TempCatalogue;

namespace {

TTable& Packages(TempCatalogue& cat) { return *cat.Module().TableCPInfo; }

QString Current(TempCatalogue& cat) { return Packages(cat).FieldByName(QStringLiteral("ProductName"))->AsString(); }

void GoTo(TempCatalogue& cat, const QString& name) {
    QVERIFY(Packages(cat).Locate(QStringLiteral("ProductName"), name, false));
}

void SetField(TempCatalogue& cat, const QString& name, const char* field, const QString& value) {
    GoTo(cat, name);
    TTable& table = Packages(cat);
    table.Edit();
    table.FieldByName(QString::fromLatin1(field))->SetAsString(value);
    table.Post();
}

// An engine bound to the package table that counts what it did to the mouse cursor.
struct Engine {
    explicit Engine(TempCatalogue& cat) {
        locate.SetDataSource(cat.Module().DSCPInfo);
        locate.ShowCursor = [this](Qt::CursorShape shape) {
            shown.append(shape);
            ++depth;
        };
        locate.RestoreCursor = [this] { --depth; };
    }
    bool Find(const char* field, const QString& text, TfxMatchType type, bool ignoreCase = true, bool fromNext = false) {
        locate.SetDataField(QString::fromLatin1(field));
        locate.SetFindText(text);
        locate.SetMatchType(type);
        locate.SetIgnoreCase(ignoreCase);
        fromNext ? locate.FindNext() : locate.FindFirst();
        return locate.Found();
    }
    TfxLocate locate;
    QList<Qt::CursorShape> shown;
    int depth = 0;
};

// Four packages in ID order Bolt, alpha, Brick, bravo; by name: alpha, Bolt, bravo, Brick.
struct Catalogue {
    Catalogue() {
        grids = cat.AddCategory(QStringLiteral("Grids"));
        tools = cat.AddCategory(QStringLiteral("Tools"));
        cat.AddPackage(QStringLiteral("Bolt"), grids, 2);
        cat.AddPackage(QStringLiteral("alpha"), tools);
        cat.AddPackage(QStringLiteral("Brick"), tools, 4);
        cat.AddPackage(QStringLiteral("bravo"), grids, 2);
        SetField(cat, QStringLiteral("Bolt"), "Author", QStringLiteral("Ann Grid"));
        SetField(cat, QStringLiteral("Brick"), "Author", QStringLiteral("grid works"));
        SetField(cat, QStringLiteral("bravo"), "Author", QStringLiteral("Grid Inc"));
    }
    TempCatalogue cat;
    qint64 grids = 0;
    qint64 tools = 0;
};

}  // namespace

class FxLocateTest : public QObject {
    Q_OBJECT
private slots:
    void emptyTextIsFoundAtOnceExceptForFullMatch();
    void emptyTableFindsNothingAndStaysEmpty();
    void findNextContinuesAfterTheCurrentRecordAndStopsAtTheLast();
    void aMissReturnsToTheStartingRecord();
    void caseIsFoldedForAsciiLettersOnly();
    void memoComparisonsUseTheTextTheMemoShows();
    void lookupFieldsAreSearchedThroughTheirText();
    void resultsTellWhyNoIndexWasUsed();
    void indexPathFollowsIndexOrderAndRestoresTheIndex();
    void tableErrorsStillRunTheFinishingSteps();
    void hooksAndTheMouseCursor();
    void aSearchStartedDuringAScanIsRefused();
    void memoScanAcrossBatchesSeesRowsChangedMeanwhile();
};

void FxLocateTest::emptyTextIsFoundAtOnceExceptForFullMatch() {
    Catalogue c;
    Engine e(c.cat);
    GoTo(c.cat, QStringLiteral("Brick"));
    QSignalSpy changed(c.cat.Module().DSCPInfo, &TDataSource::dataSetChanged);
    for (TfxMatchType type : {maBeginning, maAnywhere}) {
        QVERIFY(e.Find("Author", QString(), type));
        QCOMPARE(Current(c.cat), QStringLiteral("Brick"));
    }
    QVERIFY(e.shown.isEmpty());
    QCOMPARE(changed.count(), 0);
    // Full match looks for an empty field: alpha has no author.
    QVERIFY(e.Find("Author", QString(), maFull));
    QCOMPARE(Current(c.cat), QStringLiteral("alpha"));
    QVERIFY(e.Find("Comments", QString(), maFull));
    QCOMPARE(Current(c.cat), QStringLiteral("Bolt"));
}

void FxLocateTest::emptyTableFindsNothingAndStaysEmpty() {
    TempCatalogue cat;
    Engine e(cat);
    for (TfxMatchType type : {maFull, maBeginning, maAnywhere})
        for (const char* field : {"ProductName", "Author", "ProductDescription"}) {
            QVERIFY(!e.Find(field, QStringLiteral("x"), type));
            QCOMPARE(e.locate.Error(), erNone);
            QVERIFY(!e.Find(field, QStringLiteral("x"), type, true, true));
        }
    QVERIFY(!e.Find("Author", QString(), maFull));
    QVERIFY(Packages(cat).IsEmpty());
    QCOMPARE(Packages(cat).State(), TDataSetState::Browse);
    QVERIFY(!Packages(cat).ControlsDisabled());
    QCOMPARE(e.depth, 0);
}

void FxLocateTest::findNextContinuesAfterTheCurrentRecordAndStopsAtTheLast() {
    Catalogue c;
    Engine e(c.cat);
    // The first record is examined by FindFirst itself.
    QVERIFY(e.Find("Author", QStringLiteral("grid"), maAnywhere));
    QCOMPARE(Current(c.cat), QStringLiteral("Bolt"));
    QVERIFY(e.Find("Author", QStringLiteral("grid"), maAnywhere, true, true));
    QCOMPARE(Current(c.cat), QStringLiteral("Brick"));
    QVERIFY(e.Find("Author", QStringLiteral("grid"), maAnywhere, true, true));
    QCOMPARE(Current(c.cat), QStringLiteral("bravo"));
    // bravo is last and matches, but FindNext never looks at the current record again.
    QVERIFY(!e.Find("Author", QStringLiteral("grid"), maAnywhere, true, true));
    QCOMPARE(Current(c.cat), QStringLiteral("bravo"));

    // A limit of two records stops before the third.
    e.locate.SetNumRecs(2);
    QVERIFY(!e.Find("Author", QStringLiteral("grid w"), maAnywhere));
    e.locate.SetNumRecs(3);
    QVERIFY(e.Find("Author", QStringLiteral("grid w"), maAnywhere));
    QCOMPARE(Current(c.cat), QStringLiteral("Brick"));
}

void FxLocateTest::aMissReturnsToTheStartingRecord() {
    Catalogue c;
    Engine e(c.cat);
    GoTo(c.cat, QStringLiteral("alpha"));
    const struct {
        const char* field;
        TfxMatchType type;
    } misses[] = {{"ProductName", maAnywhere}, {"ProductName", maFull},        {"ProductName", maBeginning},
                  {"Author", maBeginning},     {"ProductDescription", maAnywhere}};
    for (const auto& miss : misses) {
        QVERIFY(!e.Find(miss.field, QStringLiteral("nowhere"), miss.type));
        QCOMPARE(Current(c.cat), QStringLiteral("alpha"));
        QVERIFY(!e.Find(miss.field, QStringLiteral("nowhere"), miss.type, true, true));
        QCOMPARE(Current(c.cat), QStringLiteral("alpha"));
    }
    QVERIFY(!Packages(c.cat).ControlsDisabled());
    // The other failure position leaves the cursor where the scan stopped.
    e.locate.SetFailPos(fpWhereStopped);
    QVERIFY(!e.Find("Author", QStringLiteral("nowhere"), maAnywhere));
    QCOMPARE(Current(c.cat), QStringLiteral("bravo"));
}

void FxLocateTest::caseIsFoldedForAsciiLettersOnly() {
    Catalogue c;
    Engine e(c.cat);
    SetField(c.cat, QStringLiteral("alpha"), "Author", QStringLiteral("Café Crème"));
    SetField(c.cat, QStringLiteral("alpha"), "ProductDescription", QStringLiteral("Une école à Zürich"));
    QVERIFY(e.Find("Author", QStringLiteral("CAFé CRèME"), maFull));
    QVERIFY(!e.Find("Author", QStringLiteral("CAFÉ CRÈME"), maFull));
    QVERIFY(!e.Find("Author", QStringLiteral("café crème"), maFull, false));
    QVERIFY(e.Find("ProductDescription", QStringLiteral("UNE éCOLE"), maBeginning));
    QVERIFY(!e.Find("ProductDescription", QStringLiteral("ÉCOLE"), maAnywhere));
    QVERIFY(e.Find("ProductDescription", QStringLiteral("ZüRICH"), maAnywhere));
    QVERIFY(!e.Find("ProductDescription", QStringLiteral("une"), maAnywhere, false));
    SetField(c.cat, QStringLiteral("Brick"), "Comments", QStringLiteral("The Quick brOWn fox, 42 jumps"));
    for (const char* hit : {"the q", "QUICK BROWN", "fox, 42", "42 JUMPS", "s", "the quick brown fox, 42 jumps"})
        QVERIFY2(e.Find("Comments", QString::fromLatin1(hit), maAnywhere), hit);
    for (const char* miss : {"jumpsx", "brown  fox", "xthe", "42 jumpz", "foxes"})
        QVERIFY2(!e.Find("Comments", QString::fromLatin1(miss), maAnywhere), miss);
    // The index seek folds the same way.
    SetField(c.cat, QStringLiteral("alpha"), "ProductName", QStringLiteral("été"));
    QVERIFY(e.Find("ProductName", QStringLiteral("éTé"), maFull));
    QVERIFY(e.locate.Optimized());
    QVERIFY(!e.Find("ProductName", QStringLiteral("ÉTÉ"), maFull));
    QVERIFY(e.locate.Optimized());
}

void FxLocateTest::memoComparisonsUseTheTextTheMemoShows() {
    Catalogue c;
    Engine e(c.cat);
    SetField(c.cat, QStringLiteral("Bolt"), "ProductDescription", QStringLiteral("Hello!"));
    SetField(c.cat, QStringLiteral("Brick"), "ProductDescription", QStringLiteral("Hello"));
    QVERIFY(e.Find("ProductDescription", QStringLiteral("hello"), maFull));
    QCOMPARE(Current(c.cat), QStringLiteral("Brick"));
    QVERIFY(e.Find("ProductDescription", QStringLiteral("hello"), maBeginning));
    QCOMPARE(Current(c.cat), QStringLiteral("Bolt"));

    // Only the head of a long memo is searched; a needle beyond it is not found.
    const QString head(TfxLocate::kDefaultMaxMemoSize, QLatin1Char('a'));
    SetField(c.cat, QStringLiteral("alpha"), "ProductDescription", head + QStringLiteral("NEEDLE"));
    QVERIFY(!e.Find("ProductDescription", QStringLiteral("needle"), maAnywhere));
    QVERIFY(e.Find("ProductDescription", QStringLiteral("aaaa"), maAnywhere));
    QCOMPARE(Current(c.cat), QStringLiteral("alpha"));
    // The head equal to the text is no full match of the whole memo.
    QVERIFY(!e.Find("ProductDescription", head, maFull));
    e.locate.SetMaxMemoSize(0);
    e.locate.SetMaxMemoSize(TfxLocate::kMaxMemoSizeLimit + 1);
    QCOMPARE(e.locate.MaxMemoSize(), TfxLocate::kDefaultMaxMemoSize);
    e.locate.SetMaxMemoSize(TfxLocate::kMaxMemoSizeLimit);
    QVERIFY(e.Find("ProductDescription", QStringLiteral("needle"), maAnywhere));
    QVERIFY(e.Find("ProductDescription", head + QStringLiteral("NEEDLE"), maFull));

    // A search text longer than 255 characters is compared whole.
    const QString longText = QString(300, QLatin1Char('x'));
    SetField(c.cat, QStringLiteral("bravo"), "Comments", longText + QStringLiteral(" tail"));
    QVERIFY(e.Find("Comments", longText, maBeginning));
    QCOMPARE(Current(c.cat), QStringLiteral("bravo"));
    QString changed = longText;
    changed[280] = QLatin1Char('y');
    QVERIFY(!e.Find("Comments", changed, maBeginning));
    QVERIFY(!e.Find("Comments", changed, maAnywhere));

    // A formatted memo is compared by the text it shows, as Qt reads it: paragraphs, an
    // empty one, a line break, entities, a tab, a no-break space, letters beyond ASCII.
    QTextDocument document;
    QTextCursor cursor(&document);
    cursor.insertText(QStringLiteral("Grid <b> & \"co\"\u00a01\tend"));
    cursor.insertBlock();
    cursor.insertBlock();
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    cursor.insertText(QStringLiteral("Zürich"), bold);
    cursor.insertText(QString(QChar::LineSeparator) + QStringLiteral("next"));
    const QString rich = document.toHtml();
    QCOMPARE(MemoShownText(rich), document.toPlainText());
    SetField(c.cat, QStringLiteral("alpha"), "Comments", rich);
    QVERIFY(e.Find("Comments", document.toPlainText(), maFull));
    QCOMPARE(Current(c.cat), QStringLiteral("alpha"));
    QVERIFY(e.Find("Comments", QStringLiteral("<b> & \"co\" 1"), maAnywhere));
    for (const char* markup : {"margin", "span", "font-weight", "qrichtext", "&amp;", "white-space", "DOCTYPE"})
        QVERIFY2(!e.Find("Comments", QString::fromLatin1(markup), maAnywhere), markup);
}

void FxLocateTest::lookupFieldsAreSearchedThroughTheirText() {
    Catalogue c;
    Engine e(c.cat);
    QVERIFY(e.Find("CategoryName", QStringLiteral("tools"), maFull));
    QCOMPARE(Current(c.cat), QStringLiteral("alpha"));
    QCOMPARE(e.locate.OptError(), erNoInd);
    QVERIFY(e.Find("CategoryName", QStringLiteral("tools"), maFull, true, true));
    QCOMPARE(Current(c.cat), QStringLiteral("Brick"));
    QVERIFY(e.Find("StatusDescr", QStringLiteral("evaluated"), maAnywhere));
    QCOMPARE(Current(c.cat), QStringLiteral("Brick"));
    QVERIFY(e.Find("StatusDescr", QStringLiteral("Installed"), maFull, false));
    QCOMPARE(Current(c.cat), QStringLiteral("Bolt"));
    QVERIFY(e.Find("StatusDescr", QStringLiteral("Installed"), maFull, false, true));
    QCOMPARE(Current(c.cat), QStringLiteral("bravo"));
}

void FxLocateTest::resultsTellWhyNoIndexWasUsed() {
    Catalogue c;
    Engine e(c.cat);
    const struct {
        const char* field;
        TfxMatchType type;
        bool ignoreCase;
        bool optimized;
        TfxOptError reason;
    } cases[] = {
        {"ProductName", maFull, true, true, erOptNone},        {"ProductName", maBeginning, true, true, erOptNone},
        {"ProductName", maAnywhere, true, false, erMatchType}, {"ProductName", maFull, false, false, erCaseSens},
        {"Author", maFull, true, false, erNoInd},              {"ProductDescription", maAnywhere, true, false, erNoInd},
        {"ProductDescription", maFull, true, false, erNoInd},
    };
    for (const auto& t : cases) {
        e.Find(t.field, QStringLiteral("bravo"), t.type, t.ignoreCase);
        QCOMPARE(e.locate.Optimized(), t.optimized);
        QCOMPARE(e.locate.OptError(), t.reason);
        QCOMPARE(e.locate.Error(), erNone);
    }
    // erNotTable cannot arise: every data set of the table layer is a table.
    e.locate.SetUseIndexes(false);
    QVERIFY(e.Find("ProductName", QStringLiteral("bravo"), maFull));
    QVERIFY(!e.locate.Optimized());
    QCOMPARE(e.locate.OptError(), erOptNone);

    GoTo(c.cat, QStringLiteral("Brick"));
    QVERIFY(!e.Find("NoSuchField", QStringLiteral("x"), maFull));
    QCOMPARE(e.locate.Error(), erField);
    // A field that is neither text nor memo cannot be read as a memo.
    QVERIFY(!e.Find("Rating", QStringLiteral("1"), maAnywhere));
    QCOMPARE(e.locate.Error(), erMem);
    QCOMPARE(Current(c.cat), QStringLiteral("Brick"));
    QCOMPARE(e.depth, 0);

    Packages(c.cat).Close();
    QVERIFY(!e.Find("ProductName", QStringLiteral("x"), maFull));
    QCOMPARE(e.locate.Error(), erDataset);
    e.locate.SetDataSource(nullptr);
    QVERIFY(!e.Find("ProductName", QStringLiteral("x"), maFull));
    QCOMPARE(e.locate.Error(), erDataset);
}

void FxLocateTest::indexPathFollowsIndexOrderAndRestoresTheIndex() {
    Catalogue c;
    Engine e(c.cat);
    TTable& table = Packages(c.cat);
    for (const QString& before : {QString(), QStringLiteral("Category"), QStringLiteral("ProductName")}) {
        table.SetIndexName(before);
        QVERIFY(e.Find("ProductName", QStringLiteral("BR"), maBeginning));
        QVERIFY(e.locate.Optimized());
        QCOMPARE(Current(c.cat), QStringLiteral("bravo"));
        QCOMPARE(table.IndexName(), before);
        // By name Brick follows bravo, though it comes first by ID.
        QVERIFY(e.Find("ProductName", QStringLiteral("br"), maBeginning, true, true));
        QCOMPARE(Current(c.cat), QStringLiteral("Brick"));
        QVERIFY(!e.Find("ProductName", QStringLiteral("br"), maBeginning, true, true));
        QCOMPARE(Current(c.cat), QStringLiteral("Brick"));
        QCOMPARE(table.IndexName(), before);
    }
    table.SetIndexName(QString());
    // From alpha the next key by name is Bolt, below "bravo": one seek reaches bravo.
    GoTo(c.cat, QStringLiteral("alpha"));
    QVERIFY(e.Find("ProductName", QStringLiteral("BRAVO"), maFull, true, true));
    QCOMPARE(Current(c.cat), QStringLiteral("bravo"));
    // Past the key: only the next record by name (bravo) is looked at.
    GoTo(c.cat, QStringLiteral("Bolt"));
    QVERIFY(!e.Find("ProductName", QStringLiteral("alpha"), maFull, true, true));
    QCOMPARE(Current(c.cat), QStringLiteral("Bolt"));
    QCOMPARE(table.IndexName(), QString());
    QCOMPARE(table.RecNo(), 0);
}

void FxLocateTest::tableErrorsStillRunTheFinishingSteps() {
    Catalogue c;
    Engine e(c.cat);
    TTable& table = Packages(c.cat);
    table.SetIndexName(QStringLiteral("Category"));
    GoTo(c.cat, QStringLiteral("alpha"));
    // An unpostable edit: leaving the row raises a key violation.
    table.Edit();
    table.FieldByName(QStringLiteral("ProductName"))->SetAsString(QStringLiteral("Bolt"));
    for (const char* field : {"Author", "ProductName"}) {
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, e.Find(field, QStringLiteral("zzz"), maFull, true, true));
        QVERIFY(!table.ControlsDisabled());
        QCOMPARE(e.depth, 0);
        QCOMPARE(table.IndexName(), QStringLiteral("Category"));
        QVERIFY(!e.locate.Busy());
    }
    table.Cancel();
    QCOMPARE(Current(c.cat), QStringLiteral("alpha"));

    // A hook that throws is a search error like any other.
    e.locate.SetProgressCount(1);
    e.locate.OnProgress = [](TfxLocate&) { throw EAbort(); };
    QVERIFY_THROWS_EXCEPTION(EAbort, e.Find("Author", QStringLiteral("zzz"), maAnywhere));
    QCOMPARE(Current(c.cat), QStringLiteral("alpha"));
    QVERIFY(!table.ControlsDisabled());

    // A table closed while the scan lets events run ends the search quietly.
    e.locate.OnProgress = [&table](TfxLocate&) { table.Close(); };
    QVERIFY(!e.Find("Author", QStringLiteral("zzz"), maAnywhere));
    QCOMPARE(e.locate.Error(), erDataset);
    QVERIFY(!table.ControlsDisabled());
    QCOMPARE(e.depth, 0);
}

void FxLocateTest::hooksAndTheMouseCursor() {
    Catalogue c;
    Engine e(c.cat);
    QStringList calls;
    bool ownEngine = true;
    const auto record = [&](const char* what) {
        return [&, what](TfxLocate& l) {
            calls << QString::fromLatin1(what);
            ownEngine = ownEngine && &l == &e.locate;
        };
    };
    e.locate.OnFind = record("find");
    e.locate.OnFail = record("fail");
    e.locate.OnProgress = record("progress");
    e.locate.SetFindCursor(Qt::BusyCursor);

    QVERIFY(e.Find("Author", QStringLiteral("grid inc"), maFull));
    QVERIFY(!e.Find("NoSuchField", QStringLiteral("x"), maFull));
    QCOMPARE(calls, (QStringList{QStringLiteral("find"), QStringLiteral("fail")}));
    QCOMPARE(e.shown, QList<Qt::CursorShape>{Qt::BusyCursor});
    QCOMPARE(e.depth, 0);

    // The scan counts from 2 for its first record: a miss over four records with a
    // count of 2 reports at the first and third.
    calls.clear();
    e.locate.SetProgressCount(2);
    e.locate.SetProgressCount(-1);
    QCOMPARE(e.locate.ProgressCount(), 2);
    QVERIFY(!e.Find("Author", QStringLiteral("zzz"), maAnywhere));
    QCOMPARE(calls, (QStringList{QStringLiteral("progress"), QStringLiteral("progress"), QStringLiteral("fail")}));
    // The index path reports once.
    calls.clear();
    QVERIFY(e.Find("ProductName", QStringLiteral("alpha"), maFull));
    QVERIFY(e.locate.Optimized());
    QCOMPARE(calls, (QStringList{QStringLiteral("progress"), QStringLiteral("find")}));
    QVERIFY(ownEngine);
}

void FxLocateTest::aSearchStartedDuringAScanIsRefused() {
    Catalogue c;
    Engine e(c.cat);
    QSignalSpy busy(&e.locate, &TfxLocate::busyChanged);
    bool busyInside = false;
    int nested = 0;
    // A click queued before the search arrives while the scan lets events run.
    QTimer::singleShot(0, &e.locate, [&] {
        busyInside = e.locate.Busy();
        ++nested;
        e.locate.SetDataField(QStringLiteral("ProductName"));
        e.locate.FindFirst();
    });
    QVERIFY(e.Find("Author", QStringLiteral("grid inc"), maFull));
    QCOMPARE(nested, 1);
    QVERIFY(busyInside);
    QCOMPARE(Current(c.cat), QStringLiteral("bravo"));
    QCOMPARE(e.locate.Error(), erNone);
    QCOMPARE(busy.count(), 2);
    QCOMPARE(busy.at(0).at(0).toBool(), true);
    QCOMPARE(busy.at(1).at(0).toBool(), false);
    QVERIFY(!e.locate.Busy());
    QVERIFY(!Packages(c.cat).ControlsDisabled());
}

void FxLocateTest::memoScanAcrossBatchesSeesRowsChangedMeanwhile() {
    TempCatalogue cat;
    const qint64 c = cat.AddCategory(QStringLiteral("C"));
    for (int i = 0; i < 150; ++i)
        cat.AddPackage(QStringLiteral("p%1").arg(i, 3, 10, QLatin1Char('0')), c);
    SetField(cat, QStringLiteral("p130"), "Comments", QStringLiteral("a needle here"));
    SetField(cat, QStringLiteral("p140"), "Comments", QStringLiteral("NEEDLE"));
    Packages(cat).Refresh();
    GoTo(cat, QStringLiteral("p007"));
    Engine e(cat);
    QVERIFY(e.Find("Comments", QStringLiteral("needle"), maAnywhere));
    QCOMPARE(Current(cat), QStringLiteral("p130"));
    QVERIFY(e.Find("Comments", QStringLiteral("needle"), maAnywhere, true, true));
    QCOMPARE(Current(cat), QStringLiteral("p140"));
    QVERIFY(!e.Find("Comments", QStringLiteral("needle"), maAnywhere, true, true));
    QCOMPARE(Current(cat), QStringLiteral("p140"));

    // A row written while the scan lets events run is compared as it is now, not as
    // it was when its batch was read.
    QString changed;
    e.locate.SetProgressCount(10);
    e.locate.OnProgress = [&](TfxLocate&) {
        if (!changed.isEmpty())
            return;
        changed = Current(cat);
        TTable& table = Packages(cat);
        table.Edit();
        table.FieldByName(QStringLiteral("Comments"))->SetAsString(QStringLiteral("late needle"));
        table.Post();
    };
    QVERIFY(e.Find("Comments", QStringLiteral("late needle"), maFull));
    QVERIFY(!changed.isEmpty());
    QCOMPARE(Current(cat), changed);
}

QTEST_GUILESS_MAIN(FxLocateTest)
#include "test_fx_locate.moc"
