// The component record object over a real catalogue: free names, renames through the
// table's unique key, delete, move through the dialog, loading for the detail panel,
// rating and compatibility, and the list of searchable fields.
#include "catalogue/database_error.h"
#include "catalogue/table.h"
#include "import/form_moveto_category.h"
#include "import/velm_component.h"
#include "support/message_recorder.h"
#include "support/modal_dialog.h"
#include "support/temp_catalogue.h"

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

using namespace velm;
using velm::test::AnswerNextModal;
using velm::test::MessageRecorder;
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

// Picks a category in the move dialog's grid by its text and presses OK or Cancel.
void ChooseInMoveDialog(TFormMovetoCategory* dialog, const QString& category, bool ok, QString* shownName = nullptr) {
    if (shownName)
        *shownName = dialog->RxLabelCompName()->text();
    QTableWidget* grid = dialog->DBGridCategories();
    for (int row = 0; row < grid->rowCount(); ++row)
        if (grid->item(row, 0)->text() == category)
            grid->setCurrentCell(row, 0);
    (ok ? dialog->BitBtnOK() : dialog->BitBtnCancel())->click();
}

}  // namespace

class VelmComponentTest : public QObject {
    Q_OBJECT
private slots:
    void newNamesAreProbedIgnoringCaseAndFillGaps();
    void longNamesAreCutBeforeTheProbe();
    void createNeedsAnExistingCategory();
    void renameStoresTheNameOrExplainsTheClash();
    void renameRefusesMissingRowsAndEmptyNames();
    void deleteRemovesTheRowLastWorkedOn();
    void loadLeavesTheRowInEditForThePanel();
    void ratingAndCompatibilityAreStoredAtOnce();
    void ratingWithoutAnyRowStoresNothing();
    void searchFieldsAreTheTextFieldsInTableOrder();
    void moveStoresTheCategoryChosenInTheDialog();
};

void VelmComponentTest::newNamesAreProbedIgnoringCaseAndFillGaps() {
    TempCatalogue cat;
    const qint64 tools = cat.AddCategory(QStringLiteral("Tools"));
    TVELMComponent component{QString()};

    // Three in a row on an empty table.
    QCOMPARE(component.CreateComponentRecord(tools, QStringLiteral("New Component")),
             QStringLiteral("New Component"));
    QCOMPARE(component.CreateComponentRecord(tools, QStringLiteral("New Component")),
             QStringLiteral("New Component1"));
    QCOMPARE(component.CreateComponentRecord(tools, QStringLiteral("New Component")),
             QStringLiteral("New Component2"));
    QCOMPARE(component.CurrentProductName, QStringLiteral("New Component2"));
    QCOMPARE(component.CurrentCategoryName, QStringLiteral("Tools"));
    // The new row is the current one, in browse state, in the category.
    QCOMPARE(Packages().State(), TDataSetState::Browse);
    QCOMPARE(Field("ProductName"), QStringLiteral("New Component2"));
    QCOMPARE(IntField("Category"), int(tools));

    // Another letter case counts as taken.
    cat.AddPackage(QStringLiteral("Grid"), tools);
    cat.AddPackage(QStringLiteral("grid1"), tools);
    QCOMPARE(component.CreateComponentRecord(tools, QStringLiteral("GRID")),
             QStringLiteral("GRID2"));

    // The base name itself comes first; then the first free number.
    cat.AddPackage(QStringLiteral("X2"), tools);
    QCOMPARE(component.CreateComponentRecord(tools, QStringLiteral("X")), QStringLiteral("X"));
    QCOMPARE(component.CreateComponentRecord(tools, QStringLiteral("X")), QStringLiteral("X1"));
    QCOMPARE(component.CreateComponentRecord(tools, QStringLiteral("X")), QStringLiteral("X3"));

    // No base name gives the default one, never a row without a name.
    QCOMPARE(component.CreateComponentRecord(tools, QString()), QStringLiteral("New Component3"));
}

void VelmComponentTest::longNamesAreCutBeforeTheProbe() {
    TempCatalogue cat;
    const qint64 tools = cat.AddCategory(QStringLiteral("Tools"));
    TVELMComponent component{QString()};
    const QString longName = QStringLiteral("A").repeated(30) + QStringLiteral("B").repeated(15);

    const QString first = component.CreateComponentRecord(tools, longName);
    QCOMPARE(first, longName.left(40));
    QCOMPARE(Field("ProductName"), first);
    QCOMPARE(component.CurrentProductName, first);

    // The number must fit in the column too, so the base gives way to it.
    const QString second = component.CreateComponentRecord(tools, longName);
    QCOMPARE(second, longName.left(39) + QStringLiteral("1"));
    QCOMPARE(Field("ProductName"), second);
    QCOMPARE(AllNames().size(), 2);
}

void VelmComponentTest::createNeedsAnExistingCategory() {
    TempCatalogue cat;
    cat.AddCategory(QStringLiteral("Tools"));
    TVELMComponent component{QString()};
    QVERIFY_THROWS_EXCEPTION(EDatabaseError,
                             component.CreateComponentRecord(9999, QStringLiteral("Pkg")));
    QVERIFY(AllNames().isEmpty());
    QCOMPARE(Packages().State(), TDataSetState::Browse);
}

void VelmComponentTest::renameStoresTheNameOrExplainsTheClash() {
    TempCatalogue cat;
    const qint64 tools = cat.AddCategory(QStringLiteral("Tools"));
    cat.AddPackage(QStringLiteral("Alpha"), tools);
    const qint64 beta = cat.AddPackage(QStringLiteral("Beta"), tools);
    TVELMComponent component{QString()};
    MessageRecorder messages;

    component.LoadComponent(beta);
    QString newName = QStringLiteral("ALPHA");
    QVERIFY(!component.RenameComponent(beta, QStringLiteral("Beta"), newName));
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().kind, MessageKind::Error);
    QCOMPARE(messages.Last().text,
             QStringLiteral("An error has occurred when updating the database.\r\r"
                            "Components must have unique names,\r"
                            "so change from Beta to ALPHA is not possible because\r"
                            "ALPHA already exist as a component !"));
    QCOMPARE(component.CurrentProductName, QStringLiteral("Beta"));
    QCOMPARE(newName, QStringLiteral("ALPHA"));
    QCOMPARE(Packages().State(), TDataSetState::Browse);
    QCOMPARE(AllNames(), (QStringList{QStringLiteral("Alpha"), QStringLiteral("Beta")}));

    // A letter-case change of its own name is no clash.
    newName = QStringLiteral("BETA");
    QVERIFY(component.RenameComponent(beta, QStringLiteral("Beta"), newName));
    QCOMPARE(component.CurrentProductName, QStringLiteral("BETA"));

    // A name longer than the column is stored cut, and the caller learns the stored name.
    newName = QStringLiteral("Gamma").repeated(9);
    QVERIFY(component.RenameComponent(beta, QStringLiteral("BETA"), newName));
    QCOMPARE(newName, QStringLiteral("Gamma").repeated(9).left(40));
    QCOMPARE(component.CurrentProductName, newName);
    QVERIFY(Row(newName));
    QCOMPARE(messages.Count(), 1);
}

void VelmComponentTest::renameRefusesMissingRowsAndEmptyNames() {
    TempCatalogue cat;
    const qint64 tools = cat.AddCategory(QStringLiteral("Tools"));
    const qint64 alpha = cat.AddPackage(QStringLiteral("Alpha"), tools);
    TVELMComponent component(QStringLiteral("Alpha"));
    MessageRecorder messages;

    // The current row must not be renamed in place of one that is not there.
    QVERIFY(Row(QStringLiteral("Alpha")));
    QString newName = QStringLiteral("Omega");
    QVERIFY(!component.RenameComponent(9999, QStringLiteral("Missing"), newName));
    QCOMPARE(messages.Last().text, QStringLiteral("An error has occurred when updating the database.\r\r"));

    newName.clear();
    QVERIFY(!component.RenameComponent(alpha, QStringLiteral("Alpha"), newName));
    QCOMPARE(messages.Count(), 2);
    QCOMPARE(AllNames(), QStringList{QStringLiteral("Alpha")});
    QCOMPARE(component.CurrentProductName, QStringLiteral("Alpha"));
}

void VelmComponentTest::deleteRemovesTheRowLastWorkedOn() {
    TempCatalogue cat;
    const qint64 tools = cat.AddCategory(QStringLiteral("Tools"));
    cat.AddPackage(QStringLiteral("Alpha"), tools);
    const qint64 beta = cat.AddPackage(QStringLiteral("Beta"), tools);
    cat.AddPackage(QStringLiteral("Gamma"), tools);
    TVELMComponent component{QString()};

    // The loaded row goes, with its pending change, whichever row is current.
    component.LoadComponent(beta);
    Packages().FieldByName(QStringLiteral("Author"))->SetAsString(QStringLiteral("Someone"));
    component.DeleteComponentRecord();
    QCOMPARE(AllNames(), (QStringList{QStringLiteral("Alpha"), QStringLiteral("Gamma")}));

    // An ID that no row has deletes nothing.
    QVERIFY(Row(QStringLiteral("Gamma")));
    component.CurrentRowId = beta;
    component.DeleteComponentRecord();
    component.CurrentRowId = 0;
    component.DeleteComponentRecord();
    QCOMPARE(AllNames(), (QStringList{QStringLiteral("Alpha"), QStringLiteral("Gamma")}));
}

void VelmComponentTest::loadLeavesTheRowInEditForThePanel() {
    TempCatalogue cat;
    const qint64 tools = cat.AddCategory(QStringLiteral("Tools"));
    const qint64 alpha = cat.AddPackage(QStringLiteral("Alpha"), tools);
    const qint64 beta = cat.AddPackage(QStringLiteral("Beta"), tools);
    TTable& table = Packages();
    QVERIFY(Row(QStringLiteral("Beta")));
    table.Edit();
    table.FieldByName(QStringLiteral("Rating"))->SetAsInteger(7);
    table.FieldByName(QStringLiteral("Compatibility"))->SetAsInteger(37);
    table.FieldByName(QStringLiteral("ArchiveFile"))->SetAsString(QStringLiteral("beta.zip"));
    table.FieldByName(QStringLiteral("ArchiveFilePath"))->SetAsString(QStringLiteral("C:\\Archives\\"));
    table.Post();
    table.First();

    TVELMComponent component{QString()};
    component.CurrentCategoryName = QStringLiteral("Tools");
    component.LoadComponent(beta);
    QCOMPARE(component.CurrentProductName, QStringLiteral("Beta"));
    QCOMPARE(component.CachedRating, 7);
    QCOMPARE(component.CachedCompatibility, 37);
    QCOMPARE(component.ArchiveFileName, QStringLiteral("beta.zip"));
    QCOMPARE(component.ArchiveFolder, QStringLiteral("C:\\Archives\\"));
    QCOMPARE(component.CurrentCategoryName, QStringLiteral("Tools"));
    QCOMPARE(table.State(), TDataSetState::Edit);
    QCOMPARE(Field("ProductName"), QStringLiteral("Beta"));
    QVERIFY(!table.ControlsDisabled());

    // The panel edits the row in place; loading another stores it.
    table.FieldByName(QStringLiteral("Author"))->SetAsString(QStringLiteral("J. Doe"));
    component.LoadComponent(alpha);
    QCOMPARE(Field("ProductName"), QStringLiteral("Alpha"));
    QCOMPARE(component.CachedRating, 0);
    QVERIFY(Row(QStringLiteral("Beta")));
    QCOMPARE(Field("Author"), QStringLiteral("J. Doe"));

    // An ID no row has puts nothing into edit and shows nothing of another row.
    component.LoadComponent(9999);
    QCOMPARE(table.State(), TDataSetState::Browse);
    QVERIFY(component.CurrentProductName.isEmpty());
    QCOMPARE(component.CachedRating, 0);
    QCOMPARE(component.CachedCompatibility, 0);
    QVERIFY(component.ArchiveFileName.isEmpty());
}

void VelmComponentTest::ratingAndCompatibilityAreStoredAtOnce() {
    TempCatalogue cat;
    const qint64 tools = cat.AddCategory(QStringLiteral("Tools"));
    const qint64 alpha = cat.AddPackage(QStringLiteral("Alpha"), tools);
    cat.AddPackage(QStringLiteral("Beta"), tools);
    TVELMComponent component{QString()};
    TTable& table = Packages();

    component.LoadComponent(alpha);
    table.FieldByName(QStringLiteral("Author"))->SetAsString(QStringLiteral("J. Doe"));
    component.SetRating(8);
    QCOMPARE(component.CachedRating, 8);
    QCOMPARE(table.State(), TDataSetState::Browse);
    table.Refresh();
    QVERIFY(Row(QStringLiteral("Alpha")));
    QCOMPARE(IntField("Rating"), 8);
    // The pending edit of the panel went with it.
    QCOMPARE(Field("Author"), QStringLiteral("J. Doe"));

    component.LoadComponent(alpha);
    component.SetCompatibility(5, true);
    QCOMPARE(component.CachedCompatibility, 32);
    component.SetCompatibility(0, true);
    QCOMPARE(IntField("Compatibility"), 33);
    component.SetCompatibility(0, false);
    QCOMPARE(component.CachedCompatibility, 32);
    component.SetCompatibility(3, false);
    QCOMPARE(IntField("Compatibility"), 32);
    table.Refresh();
    QVERIFY(Row(QStringLiteral("Alpha")));
    QCOMPARE(IntField("Compatibility"), 32);
    QVERIFY(Row(QStringLiteral("Beta")));
    QCOMPARE(IntField("Compatibility"), 0);
    QCOMPARE(IntField("Rating"), 0);
}

void VelmComponentTest::ratingWithoutAnyRowStoresNothing() {
    TempCatalogue cat;
    cat.AddCategory(QStringLiteral("Tools"));
    TVELMComponent component{QString()};
    component.SetRating(5);
    component.SetCompatibility(2, true);
    QCOMPARE(component.CachedRating, 5);
    QCOMPARE(component.CachedCompatibility, 4);
    QCOMPARE(Packages().RecordCount(), 0);
    QCOMPARE(Packages().State(), TDataSetState::Browse);
}

void VelmComponentTest::searchFieldsAreTheTextFieldsInTableOrder() {
    TempCatalogue cat;
    TVELMComponent component{QString()};
    const QStringList expected{QStringLiteral("ProductName"), QStringLiteral("ProductDescription"),
                               QStringLiteral("Author"),      QStringLiteral("Comments"),
                               QStringLiteral("StatusDescr"), QStringLiteral("CategoryName"),
                               QStringLiteral("FileURL"),     QStringLiteral("AuthorEmail"),
                               QStringLiteral("ArchiveFile"), QStringLiteral("ArchiveFilePath")};
    QStringList list;
    component.FillSearchFields(list);
    QCOMPARE(list, expected);
    // The list is appended to, not replaced.
    component.FillSearchFields(list);
    QCOMPARE(list, expected + expected);
}

void VelmComponentTest::moveStoresTheCategoryChosenInTheDialog() {
    TempCatalogue cat;
    const qint64 tools = cat.AddCategory(QStringLiteral("Tools"));
    const qint64 grids = cat.AddCategory(QStringLiteral("Grids"));
    cat.AddPackage(QStringLiteral("Alpha"), tools);
    const qint64 beta = cat.AddPackage(QStringLiteral("Beta"), tools);
    TVELMComponent component{QString()};
    MessageRecorder messages;

    component.LoadComponent(beta);
    QString newName = QStringLiteral("Beta Renamed");
    QVERIFY(component.RenameComponent(beta, QStringLiteral("Beta"), newName));
    QVERIFY(Row(QStringLiteral("Alpha")));

    // Cancel changes nothing.
    bool answered = false;
    AnswerNextModal<TFormMovetoCategory>(
        [](TFormMovetoCategory* dialog) { ChooseInMoveDialog(dialog, QStringLiteral("Grids"), false); }, &answered);
    QCOMPARE(component.MoveToOtherCategory(), QString());
    QVERIFY(answered);
    QVERIFY(Row(QStringLiteral("Beta Renamed")));
    QCOMPARE(IntField("Category"), int(tools));

    // OK stores the chosen category in the renamed row, not in the current one.
    QVERIFY(Row(QStringLiteral("Alpha")));
    QString shown;
    answered = false;
    AnswerNextModal<TFormMovetoCategory>(
        [&shown](TFormMovetoCategory* dialog) { ChooseInMoveDialog(dialog, QStringLiteral("Grids"), true, &shown); },
        &answered);
    QCOMPARE(component.MoveToOtherCategory(), QStringLiteral("Grids"));
    QVERIFY(answered);
    QCOMPARE(shown, QStringLiteral("Beta Renamed"));
    QCOMPARE(Packages().State(), TDataSetState::Browse);
    QVERIFY(Row(QStringLiteral("Beta Renamed")));
    QCOMPARE(IntField("Category"), int(grids));
    QCOMPARE(Field("CategoryName"), QStringLiteral("Grids"));
    QVERIFY(Row(QStringLiteral("Alpha")));
    QCOMPARE(IntField("Category"), int(tools));
    QCOMPARE(messages.Count(), 0);
}

QTEST_MAIN(VelmComponentTest)
#include "test_velm_component.moc"
