// The category and component editing commands, reached as a user reaches them: keys
// on the tree, the menus, the tree's pop-up menu and the in-place label editor. Each
// case checks the tables and the tree together.
#include "kit/settings.h"
#include "browser/component_detail_panel.h"
#include "browser/pictures.h"
#include "catalogue/database_error.h"
#include "support/category_dialog_answers.h"
#include "support/main_window_fixture.h"
#include "support/message_recorder.h"
#include "support/modal_dialog.h"

#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QSlider>
#include <QTabBar>
#include <QTest>

#include <tuple>

using namespace velm;
using velm::test::AnswerMove;
using velm::test::MainWindowFixture;
using velm::test::MessageRecorder;

namespace {

const QString kProducts = QStringLiteral("SELECT ProductName FROM CPInfo ORDER BY ProductName");
const QString kCategories = QStringLiteral("SELECT Name FROM c.Category ORDER BY Name");

// Tools with Hammer and Saw, Grids with Table.
struct Workshop : MainWindowFixture {
    qint64 tools = 0;
    qint64 grids = 0;
    Workshop() {
        tools = cat.AddCategory(QStringLiteral("Tools"));
        grids = cat.AddCategory(QStringLiteral("Grids"));
        cat.AddPackage(QStringLiteral("Hammer"), tools);
        cat.AddPackage(QStringLiteral("Saw"), tools);
        cat.AddPackage(QStringLiteral("Table"), grids);
    }
    QTreeWidgetItem* ToolsNode() const { return Node(QStringLiteral("Tools")); }
    QTreeWidgetItem* GridsNode() const { return Node(QStringLiteral("Grids")); }
};

// The name columns as another SQLite tool may leave them: neither unique nor required.
bool DropNameKeys(const velm::test::TempCatalogue& cat) {
    for (const auto& [schema, table, column] :
         {std::tuple{"main", "CPInfo", "ProductName"}, std::tuple{"c", "Category", "Name"}}) {
        QString create = cat.Stored(QStringLiteral("SELECT sql FROM %1.sqlite_master WHERE name = '%2'")
                                        .arg(QLatin1String(schema), QLatin1String(table)))
                             .value(0);
        create.replace(QStringLiteral("NOT NULL UNIQUE "), QString())
            .replace(QStringLiteral("CHECK (%1 <> '')").arg(QLatin1String(column)), QString())
            .replace(QStringLiteral("CREATE TABLE %1").arg(QLatin1String(table)),
                     QStringLiteral("CREATE TABLE %1.%2").arg(QLatin1String(schema), QLatin1String(table)));
        if (!cat.Execute(QStringLiteral("ALTER TABLE %1.%2 RENAME TO Old; %3; INSERT INTO %1.%2 SELECT * FROM %1.Old; "
                                        "DROP TABLE %1.Old;")
                             .arg(QLatin1String(schema), QLatin1String(table), create)))
            return false;
    }
    return true;
}

}  // namespace

class EditingCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void init() { Settings().ConfirmDelete = true; }

    void newCategoriesTakeFreeNamesAndGoLast();
    void newComponentsGoIntoTheSelectedNodesCategory();
    void theTreeKeysActOnTheSelectedNodeOnly();
    void keysTypedIntoTheLabelEditorBelongToIt();
    void aRenameEndsBeforeTheClickThatEndsItSelects();
    void renamesAreCheckedAgainstTheTable();
    void escapeDuringALabelEditChangesNothing();
    void aRightClickActsOnTheSelectedNodeNotTheOneUnderThePointer();
    void aClickOnEmptySpaceLeavesNothingToActOn();
    void deletingACategoryTakesItsComponentsAfterConsent();
    void aFailedCategoryDeleteLeavesAllOfIt();
    void deletingComponentsSelectsANeighbourAndClosesAnEmptiedCategory();
    void categoriesFromAListAreNumberedAndSorted();
    void movingAComponentFollowsTheDialog();
    void theMoveDialogOpensOnTheComponentsOwnCategory();
    void focusColoursFollowTheFocusThroughADialog();
    void everyNodeActsOnItsOwnRowWhateverTheNames();
};

void EditingCommandsTest::newCategoriesTakeFreeNamesAndGoLast() {
    MainWindowFixture f;
    f.cat.AddCategory(QStringLiteral("aardvark"));
    f.cat.AddCategory(QStringLiteral("new category1"));
    QVERIFY(f.Show());
    // From the menu, the pop-up menu and the Insert key on a category node; each new
    // node opens its label for typing, and Escape keeps the name given.
    const auto labelOpensOnTheNewNode = [&f] {
        const bool open = f.LabelEditor() && f.LabelEditor()->hasFocus() &&
                          f.LabelEditor()->text() == f.Tree()->currentItem()->text(0);
        f.Press(Qt::Key_Escape);
        MainWindowFixture::Settle();
        return open;
    };
    velm::test::ChooseMenu(f.window.get(), {"&File", "&New", "&Category"});
    QCOMPARE(f.Tree()->currentItem()->text(0), QStringLiteral("New Category"));
    QVERIFY(f.window->ImageLogo()->isVisible());
    QVERIFY(labelOpensOnTheNewNode());
    f.RightClick(f.Category(0));
    velm::test::ChooseFromOpenPopup(QStringLiteral("&New Category"));
    QVERIFY(labelOpensOnTheNewNode());
    f.Press(Qt::Key_Insert);
    QVERIFY(labelOpensOnTheNewNode());
    QCOMPARE(f.TopLevelTexts(),
             (QStringList{"aardvark", "new category1", "New Category", "New Category2", "New Category3"}));
    QCOMPARE(f.Tree()->currentItem(), f.Category(4));
    QVERIFY(f.Category(4)->isSelected());
    QCOMPARE(f.cat.Stored(kCategories).size(), 5);
}

void EditingCommandsTest::newComponentsGoIntoTheSelectedNodesCategory() {
    MessageRecorder messages;
    {
        // Nothing selected (an empty tree): refused with a message, nothing created.
        MainWindowFixture empty;
        QVERIFY(empty.Show());
        velm::test::ChooseMenu(empty.window.get(), {"&File", "&New", "Component / Package"});
        QCOMPARE(messages.Count(), 1);
        QCOMPARE(messages.Last().kind, MessageKind::Error);
        QCOMPARE(messages.Last().text, QStringLiteral("First select a category to add the component to."));
        QVERIFY(empty.cat.Stored(kProducts).isEmpty());
    }
    Workshop f;
    QVERIFY(f.Show());
    f.Select(f.Node(QStringLiteral("Saw")));
    f.Press(Qt::Key_Insert);  // on a component node: a new component beside it
    QCOMPARE(MainWindowFixture::ChildTexts(f.ToolsNode()), (QStringList{"Hammer", "Saw", "New Component"}));
    QCOMPARE(f.Tree()->currentItem(), f.ToolsNode()->child(2));
    QVERIFY(f.window->DetailPanel()->isVisible());
    // Its label is open: what is typed names it.
    QVERIFY(f.LabelEditor());
    velm::test::Type(f.window.get(), QStringLiteral("Drill"));
    f.Press(Qt::Key_Return);
    MainWindowFixture::Settle();
    QCOMPARE(MainWindowFixture::ChildTexts(f.ToolsNode()), (QStringList{"Drill", "Hammer", "Saw"}));
    f.Select(f.GridsNode());
    velm::test::ChooseMenu(f.window.get(), {"&File", "&New", "Component / Package"});
    QCOMPARE(MainWindowFixture::ChildTexts(f.GridsNode()), (QStringList{"Table", "New Component"}));
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT p.ProductName, c.Name FROM CPInfo p JOIN c.Category c "
                                         "ON p.Category = c.ID WHERE p.ProductName LIKE 'New%' ORDER BY p.ID")),
             (QStringList{"New Component|Grids"}));
    QCOMPARE(f.cat.Stored(kProducts), (QStringList{"Drill", "Hammer", "New Component", "Saw", "Table"}));
}

void EditingCommandsTest::theTreeKeysActOnTheSelectedNodeOnly() {
    MessageRecorder messages;
    {
        // With no node selected (an empty tree), Delete and Insert do nothing at all.
        MainWindowFixture empty;
        QVERIFY(empty.Show());
        velm::test::Click(empty.Tree()->viewport());
        QVERIFY(empty.Tree()->hasFocus());
        empty.Press(Qt::Key_Delete);
        empty.Press(Qt::Key_Insert);
        QCOMPARE(empty.Tree()->topLevelItemCount(), 0);
        QCOMPARE(messages.Count(), 0);
    }
    Workshop f;
    QVERIFY(f.Show());
    // Delete on a category, answered No; then on a component, answered Yes.
    f.Select(f.GridsNode());
    messages.AnswerNext(false);
    f.Press(Qt::Key_Delete);
    QCOMPARE(messages.Last().text,
             QStringLiteral("Do you really want to delete the category: Grids\rand ALL components of this category ?"));
    f.Select(f.Node(QStringLiteral("Hammer")));
    f.Press(Qt::Key_Delete);
    QCOMPARE(messages.Last().text, QStringLiteral("Do you really want to delete the component: Hammer ?"));
    QCOMPARE(f.cat.Stored(kProducts), (QStringList{"Saw", "Table"}));
    QCOMPARE(messages.Count(), 2);
}

void EditingCommandsTest::keysTypedIntoTheLabelEditorBelongToIt() {
    MessageRecorder messages;
    Workshop f;
    QVERIFY(f.Show());
    f.Select(f.Node(QStringLiteral("Hammer")));
    QVERIFY(f.TypeLabel(QStringLiteral("Mallet")));
    // Insert and Delete are the editor's own: no node is added or deleted.
    f.Press(Qt::Key_Insert);
    f.Press(Qt::Key_Home);
    f.Press(Qt::Key_Delete);
    QVERIFY(f.LabelEditor());
    QCOMPARE(f.LabelEditor()->text(), QStringLiteral("allet"));
    QCOMPARE(f.Tree()->topLevelItemCount(), 2);
    QCOMPARE(MainWindowFixture::ChildTexts(f.ToolsNode()), (QStringList{"Hammer", "Saw"}));
    // Escape still cancels the whole edit.
    f.Press(Qt::Key_Escape);
    MainWindowFixture::Settle();
    QVERIFY(!f.LabelEditor());
    QCOMPARE(f.cat.Stored(kProducts), (QStringList{"Hammer", "Saw", "Table"}));
    QCOMPARE(messages.Count(), 0);
}

void EditingCommandsTest::aRenameEndsBeforeTheClickThatEndsItSelects() {
    MessageRecorder messages;
    Workshop f;
    QVERIFY(f.Show());
    f.Select(f.Node(QStringLiteral("Hammer")));
    QVERIFY(f.TypeLabel(QStringLiteral("Mallet")));
    // The click on Saw ends the edit; Saw is then selected and shown.
    QTreeWidgetItem* saw = f.Node(QStringLiteral("Saw"));
    velm::test::ClickNode(f.Tree(), saw);
    MainWindowFixture::Settle();
    QCOMPARE(f.Tree()->currentItem(), saw);
    QCOMPARE(f.window->DetailPanel()->findChild<QLabel*>(QStringLiteral("DBTextProduct"))->text(), QStringLiteral("Saw"));
    QCOMPARE(f.cat.Stored(kProducts), (QStringList{"Mallet", "Saw", "Table"}));

    // The rating goes to Saw's row, and Delete deletes Saw.
    auto* rating = f.window->DetailPanel()->findChild<QSlider*>(QStringLiteral("TrackBarRating"));
    velm::test::Click(f.window->DetailPanel()->tabBar(), f.window->DetailPanel()->tabBar()->tabRect(2).center());
    velm::test::Click(rating, QPoint(4, rating->height() / 2));  // on the handle at 0
    f.Press(Qt::Key_Right);
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT ProductName, Rating FROM CPInfo WHERE Rating > 0")),
             QStringList{"Saw|1"});
    f.Select(saw);
    f.Press(Qt::Key_Delete);
    QCOMPARE(messages.Last().text, QStringLiteral("Do you really want to delete the component: Saw ?"));
    QCOMPARE(f.cat.Stored(kProducts), (QStringList{"Mallet", "Table"}));
    QCOMPARE(MainWindowFixture::ChildTexts(f.ToolsNode()), QStringList{"Mallet"});
}

void EditingCommandsTest::renamesAreCheckedAgainstTheTable() {
    MessageRecorder messages;
    MainWindowFixture f;
    f.cat.AddCategory(QStringLiteral("Zeta"));
    f.cat.AddCategory(QStringLiteral("Beta"));
    QVERIFY(f.Show());
    velm::test::ChooseMenu(f.window.get(), {"&File", "&New", "&Category"});  // last, unsorted
    QCOMPARE(f.TopLevelTexts(), (QStringList{"Beta", "Zeta", "New Category"}));
    // The new node is selected: a second click on it opens its label.
    QVERIFY(f.SlowClickLabel(f.Category(2)));

    // A taken name: the unique-name message, the old name, and the tree sorted all the same.
    QVERIFY(f.TypeLabel(QStringLiteral("ZETA")));
    f.Press(Qt::Key_Return);
    MainWindowFixture::Settle();
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().kind, MessageKind::Error);
    QCOMPARE(messages.Last().text,
             QStringLiteral("An error has occurred when updating the database.\r\r"
                            "Categories must have unique names,\r"
                            "so change from New Category to ZETA is not possible because\r"
                            "ZETA already exist as a category !"));
    QCOMPARE(f.TopLevelTexts(), (QStringList{"Beta", "New Category", "Zeta"}));

    // Thirty characters: the row keeps 25 and the node shows them.
    const QString thirty = QStringLiteral("abcdefghijklmnopqrstuvwxyz1234");
    f.Select(f.Node(QStringLiteral("Beta")));
    QVERIFY(f.TypeLabel(thirty));
    f.Press(Qt::Key_Return);
    MainWindowFixture::Settle();
    QCOMPARE(f.TopLevelTexts(), (QStringList{thirty.left(25), "New Category", "Zeta"}));
    QCOMPARE(f.cat.Stored(kCategories), (QStringList{thirty.left(25), "New Category", "Zeta"}));

    // An empty name is refused, and the message says why.
    messages.Clear();
    QVERIFY(f.TypeLabel(QString()));
    f.Press(Qt::Key_Backspace);
    f.Press(Qt::Key_Return);
    MainWindowFixture::Settle();
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().kind, MessageKind::Error);
    QCOMPARE(messages.Last().text, QStringLiteral("Categories must have names,\rso change from ") + thirty.left(25) +
                                       QStringLiteral(" to an empty name is not possible !"));
    QCOMPARE(f.Category(0)->text(0), thirty.left(25));
    QCOMPARE(f.cat.Stored(kCategories).first(), thirty.left(25));

    // A long requested name keeps room for its number, so the stored names stay unique.
    f.window->EditingCommands()->AddCategory(thirty);
    QCOMPARE(f.Tree()->currentItem()->text(0), thirty.left(24) + QLatin1Char('1'));
}

void EditingCommandsTest::escapeDuringALabelEditChangesNothing() {
    MainWindowFixture f;
    f.cat.AddCategory(QStringLiteral("Beta"));
    f.cat.AddCategory(QStringLiteral("Alpha"));
    QVERIFY(f.Show());
    f.Select(f.Node(QStringLiteral("Beta")));
    QVERIFY(f.TypeLabel(QStringLiteral("Aaa")));
    f.Press(Qt::Key_Escape);
    MainWindowFixture::Settle();
    QVERIFY(!f.LabelEditor());
    QCOMPARE(f.TopLevelTexts(), (QStringList{"Alpha", "Beta"}));
    QCOMPARE(f.cat.Stored(kCategories), (QStringList{"Alpha", "Beta"}));

    // Enter accepts, from Edit > Change Name too: the row is renamed and the tree sorted.
    velm::test::ChooseMenu(f.window.get(), {"&Edit", "&Change Name"});
    QVERIFY(f.LabelEditor());
    velm::test::Type(f.window.get(), QStringLiteral("Aaa"));
    f.Press(Qt::Key_Return);
    MainWindowFixture::Settle();
    QCOMPARE(f.TopLevelTexts(), (QStringList{"Aaa", "Alpha"}));
    QCOMPARE(f.cat.Stored(kCategories), (QStringList{"Aaa", "Alpha"}));

    // A refusal in a real message box, closed with Enter: the keys are the tree's again,
    // not the search field's.
    auto* searchIn = f.window->findChild<QComboBox*>(QStringLiteral("ComboBoxSearchIn"));
    const int searchField = searchIn->currentIndex();
    QString refusal;
    velm::test::AnswerNextModal<QMessageBox>([&](QMessageBox* box) {
        refusal = box->text();
        velm::test::Key(box, Qt::Key_Return);
    });
    QVERIFY(f.TypeLabel(QStringLiteral("alpha")));
    f.Press(Qt::Key_Return);
    MainWindowFixture::Settle();
    QVERIFY(refusal.startsWith(QStringLiteral("An error has occurred")));
    QVERIFY(velm::test::ShowAndActivate(f.window.get()));
    QVERIFY(f.Tree()->hasFocus());
    f.Press(Qt::Key_Down);
    QCOMPARE(f.window->SelectedNode(), f.Node(QStringLiteral("Alpha")));
    QCOMPARE(searchIn->currentIndex(), searchField);
}

void EditingCommandsTest::aRightClickActsOnTheSelectedNodeNotTheOneUnderThePointer() {
    MessageRecorder messages;
    Workshop f;
    QVERIFY(f.Show());
    f.Expand(f.ToolsNode());
    f.Select(f.ToolsNode());
    f.RightClick(f.Node(QStringLiteral("Saw")));
    QVERIFY(velm::test::OpenPopup());
    QCOMPARE(f.Tree()->currentItem(), f.ToolsNode());
    messages.AnswerNext(false);
    velm::test::ChooseFromOpenPopup(QStringLiteral("&Delete"));
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().text,
             QStringLiteral("Do you really want to delete the category: Tools\rand ALL components of this category ?"));
    QCOMPARE(f.cat.Stored(kProducts), (QStringList{"Hammer", "Saw", "Table"}));
    QVERIFY(f.ToolsNode()->isSelected());

    // Shift+F10, the keyboard's right click, opens the same menu for the selected node.
    f.Select(f.Node(QStringLiteral("Saw")));
    f.Press(Qt::Key_F10, Qt::ShiftModifier);
    QVERIFY(velm::test::OpenPopup());
    messages.AnswerNext(false);
    velm::test::ChooseFromOpenPopup(QStringLiteral("&Delete"));
    QCOMPARE(messages.Last().text, QStringLiteral("Do you really want to delete the component: Saw ?"));
}

void EditingCommandsTest::aClickOnEmptySpaceLeavesNothingToActOn() {
    MessageRecorder messages;
    Workshop f;
    QVERIFY(f.Show());
    Settings().ConfirmDelete = false;
    f.Select(f.ToolsNode());
    velm::test::Click(f.Tree()->viewport(), velm::test::BelowLastNode(f.Tree()));
    QVERIFY(!f.ToolsNode()->isSelected());
    QVERIFY(!f.window->SelectedNode());
    f.Press(Qt::Key_Delete);
    f.Press(Qt::Key_Insert);
    velm::test::ChooseMenu(f.window.get(), {"&Edit", "&Delete"});
    QCOMPARE(f.cat.Stored(kCategories), (QStringList{"Grids", "Tools"}));
    QCOMPARE(f.TopLevelTexts(), (QStringList{"Grids", "Tools"}));
    QCOMPARE(messages.Count(), 0);
}

void EditingCommandsTest::deletingACategoryTakesItsComponentsAfterConsent() {
    MessageRecorder messages;
    Workshop f;
    QVERIFY(f.Show());
    f.Select(f.ToolsNode());
    messages.AnswerNext(false);
    velm::test::ChooseMenu(f.window.get(), {"&Edit", "&Delete"});
    QCOMPARE(messages.Last().kind, MessageKind::ConfirmYesNo);
    QCOMPARE(f.cat.Stored(kProducts).size(), 3);
    messages.AnswerNext(true);
    velm::test::ChooseMenu(f.window.get(), {"&Edit", "&Delete"});
    QCOMPARE(f.TopLevelTexts(), QStringList{"Grids"});
    QCOMPARE(f.cat.Stored(kCategories), QStringList{"Grids"});
    QCOMPARE(f.cat.Stored(kProducts), QStringList{"Table"});
    // The neighbour is selected; with ConfirmDelete off the command acts at once.
    QCOMPARE(f.window->SelectedNode(), f.GridsNode());
    Settings().ConfirmDelete = false;
    messages.Clear();
    f.Press(Qt::Key_Delete);
    QCOMPARE(messages.Count(), 0);
    QVERIFY(f.cat.Stored(kCategories).isEmpty() && f.cat.Stored(kProducts).isEmpty());
    QCOMPARE(f.Tree()->topLevelItemCount(), 0);
}

void EditingCommandsTest::aFailedCategoryDeleteLeavesAllOfIt() {
    MessageRecorder messages;
    MainWindowFixture f;
    const qint64 c = f.cat.AddCategory(QStringLiteral("C"));
    for (const char* name : {"p1", "p2", "p3"})
        f.cat.AddPackage(QString::fromLatin1(name), c);
    QVERIFY(f.Show());
    f.Select(f.Category(0));
    // The second package delete fails half way through the category.
    int deletes = 0;
    f.Packages().BeforeDelete = [&](TTable&) {
        if (++deletes == 2)
            throw EDatabaseError(QStringLiteral("disk full"));
    };
    Settings().ConfirmDelete = false;
    f.Press(Qt::Key_Delete);
    f.Packages().BeforeDelete = nullptr;
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().kind, MessageKind::DefaultError);
    QCOMPARE(messages.Last().text, QStringLiteral("disk full."));
    QCOMPARE(f.cat.Stored(kProducts), (QStringList{"p1", "p2", "p3"}));
    QCOMPARE(f.cat.Stored(kCategories), QStringList{"C"});
    QCOMPARE(f.Category(0)->childCount(), 3);
    QVERIFY(!f.Packages().Filtered());
}

void EditingCommandsTest::deletingComponentsSelectsANeighbourAndClosesAnEmptiedCategory() {
    MessageRecorder messages;
    Workshop f;
    QVERIFY(f.Show());
    Settings().ConfirmDelete = false;
    f.Select(f.Node(QStringLiteral("Table")));
    QVERIFY(f.GridsNode()->isExpanded());
    f.Press(Qt::Key_Delete);
    // The last component gone: the category is a closed drawer again, and selected.
    QCOMPARE(f.GridsNode()->childCount(), 0);
    QVERIFY(f.GridsNode()->icon(0).pixmap(16).toImage() == TreeImageIcon(kImageDrawerClosed).pixmap(16).toImage());
    QCOMPARE(f.window->SelectedNode(), f.GridsNode());
    QVERIFY(f.window->ImageLogo()->isVisible());

    // A neighbour component becomes the selected node, and the next Delete takes it.
    f.Select(f.Node(QStringLiteral("Hammer")));
    f.Press(Qt::Key_Delete);
    QCOMPARE(f.window->SelectedNode(), f.Node(QStringLiteral("Saw")));
    QVERIFY(f.window->DetailPanel()->isVisible());
    f.Press(Qt::Key_Delete);
    QVERIFY(f.cat.Stored(kProducts).isEmpty());
    QCOMPARE(f.TopLevelTexts(), (QStringList{"Grids", "Tools"}));
    QCOMPARE(messages.Count(), 0);
}

void EditingCommandsTest::categoriesFromAListAreNumberedAndSorted() {
    // The .cat import dialog hands its names over; the dialog itself has its own test.
    MainWindowFixture f;
    f.cat.AddCategory(QStringLiteral("tools"));
    QVERIFY(f.Show());
    f.window->EditingCommands()->AddCategoriesFromList({QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("b"),
                                     QStringLiteral("Tools"), QString()});
    QCOMPARE(f.TopLevelTexts(), (QStringList{"a", "b", "b1", "New Category", "tools", "Tools1"}));
    QCOMPARE(f.cat.Stored(kCategories).size(), 6);
}

void EditingCommandsTest::movingAComponentFollowsTheDialog() {
    Workshop f;
    QVERIFY(f.Show());
    QTreeWidgetItem* hammer = f.Node(QStringLiteral("Hammer"));

    // Cancel: the node stays where it was, selected.
    f.Select(hammer);
    AnswerMove(QStringLiteral("Grids"), false);
    velm::test::ChooseMenu(f.window.get(), {"&Edit", "&Move to Other Category..."});
    QCOMPARE(MainWindowFixture::ChildTexts(f.ToolsNode()), (QStringList{"Hammer", "Saw"}));
    QCOMPARE(f.Tree()->currentItem(), hammer);

    // Its own category, from the pop-up menu: to the end of the same category.
    AnswerMove(QStringLiteral("Tools"), true);
    f.RightClick(f.Node(QStringLiteral("Saw")));
    velm::test::ChooseFromOpenPopup(QStringLiteral("&Move to other category"));
    QCOMPARE(MainWindowFixture::ChildTexts(f.ToolsNode()), (QStringList{"Saw", "Hammer"}));
    QCOMPARE(f.Tree()->currentItem()->text(0), QStringLiteral("Hammer"));

    // Another category: row and node follow, and the node is selected there.
    AnswerMove(QStringLiteral("Grids"), true);
    velm::test::ChooseMenu(f.window.get(), {"&Edit", "&Move to Other Category..."});
    QCOMPARE(MainWindowFixture::ChildTexts(f.ToolsNode()), QStringList{"Saw"});
    QCOMPARE(MainWindowFixture::ChildTexts(f.GridsNode()), (QStringList{"Table", "Hammer"}));
    QCOMPARE(f.Tree()->currentItem(), f.GridsNode()->child(1));
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT Category FROM CPInfo WHERE ProductName = 'Hammer'")),
             QStringList{QString::number(f.grids)});

    // A category node selected: the pop-up command does nothing.
    f.Select(f.GridsNode());
    f.RightClick(f.GridsNode());
    velm::test::ChooseFromOpenPopup(QStringLiteral("&Move to other category"));
    QCOMPARE(MainWindowFixture::ChildTexts(f.GridsNode()), (QStringList{"Table", "Hammer"}));
}

void EditingCommandsTest::theMoveDialogOpensOnTheComponentsOwnCategory() {
    // In view, whatever row the category table last stood on: Enter without a choice
    // moves nothing.
    MainWindowFixture many;
    for (int i = 0; i < 30; ++i)
        many.cat.AddCategory(QStringLiteral("Area%1").arg(i, 2, 10, QLatin1Char('0')));
    many.cat.AddPackage(QStringLiteral("ZipKit"), many.cat.AddCategory(QStringLiteral("Compression")));
    const qint64 grids = many.cat.AddCategory(QStringLiteral("Grids"));
    many.cat.AddPackage(QStringLiteral("FastGrid"), grids);
    many.cat.AddCategory(QStringLiteral("Zip Tools"));  // the row the tree's build ends on
    QVERIFY(many.Show());
    many.Select(many.Node(QStringLiteral("ZipKit")));
    many.Select(many.Node(QStringLiteral("FastGrid")));
    QString offered;
    bool inView = false;
    velm::test::AnswerNextModal<TFormMovetoCategory>([&](TFormMovetoCategory* dialog) {
        QTableWidget* grid = dialog->DBGridCategories();
        offered = grid->currentItem() ? grid->currentItem()->text() : QString();
        inView = grid->currentItem() && grid->viewport()->rect().contains(grid->visualItemRect(grid->currentItem()));
        velm::test::Key(dialog, Qt::Key_Return);
    });
    velm::test::ChooseMenu(many.window.get(), {"&Edit", "&Move to Other Category..."});
    QCOMPARE(offered, QStringLiteral("Grids"));
    QVERIFY(inView);
    QCOMPARE(many.cat.Stored(QStringLiteral("SELECT Category FROM CPInfo WHERE ProductName = 'FastGrid'")),
             QStringList{QString::number(grids)});
}

void EditingCommandsTest::focusColoursFollowTheFocusThroughADialog() {
    MainWindowFixture f;
    const qint64 solo = f.cat.AddCategory(QStringLiteral("Solo"));
    f.cat.AddCategory(QStringLiteral("Grids"));
    f.cat.AddPackage(QStringLiteral("Hammer"), solo);
    QVERIFY(f.Show());
    f.Select(f.Node(QStringLiteral("Hammer")));
    auto* author = f.window->findChild<QLineEdit*>(QStringLiteral("DBEditAuthor"));
    const auto background = [author] { return author->palette().color(QPalette::Base); };
    velm::test::Click(author);
    QCOMPARE(background(), QColor(Qt::white));
    // The move takes the component's node away and back, and the focus with it.
    AnswerMove(QStringLiteral("Grids"), true);
    velm::test::ChooseMenu(f.window.get(), {"&Edit", "&Move to Other Category..."});
    QCOMPARE(f.window->SelectedNode()->text(0), QStringLiteral("Hammer"));
    // The window system gives the window back its activation when the dialog goes.
    QVERIFY(velm::test::ShowAndActivate(f.window.get()));
    QCOMPARE(background() == QColor(Qt::white), author->hasFocus());
    // Wherever the focus went, the field is silver once another control has it.
    velm::test::ClickNode(f.Tree(), f.Node(QStringLiteral("Hammer")));
    QVERIFY(!author->hasFocus());
    QCOMPARE(background(), QColor(0xc0, 0xc0, 0xc0));
}

void EditingCommandsTest::everyNodeActsOnItsOwnRowWhateverTheNames() {
    MessageRecorder messages;
    MainWindowFixture f;
    // Written by another tool: names that differ only in letter case, and an empty one.
    QVERIFY(DropNameKeys(f.cat));
    QVERIFY(f.cat.Execute(QStringLiteral(
        "INSERT INTO c.Category (ID, Name) VALUES (1, 'Tools'), (2, 'tools');"
        "INSERT INTO CPInfo (ID, ProductName, Category, Author) VALUES (1, 'Dup', 1, 'Big'), (2, 'dup', 1, 'Small'),"
        " (3, '', 1, 'Nameless'), (4, 'Saw', 2, 'Sharp');")));
    f.cat.Module().Close();
    QVERIFY(f.cat.Module().Open());
    QVERIFY(f.Show());
    const auto detail = [&f](const char* name) {
        return f.window->DetailPanel()->findChild<QLineEdit*>(QString::fromLatin1(name));
    };
    const auto rows = [&f] {
        return f.cat.Stored(QStringLiteral("SELECT p.ID, p.ProductName, p.Author, c.Name FROM CPInfo p "
                                           "JOIN c.Category c ON p.Category = c.ID ORDER BY p.ID"));
    };
    // The first node of the text in exactly this letter case.
    const auto node = [&f](const char* text) { return f.Node(QString::fromLatin1(text)); };
    QCOMPARE(MainWindowFixture::ChildTexts(node("Tools")).size(), 3);

    // Each node shows its own record, and an edit lands in it.
    for (const auto& [name, author] : {std::pair{"", "Nameless"}, {"dup", "Small"}, {"Dup", "Big"}}) {
        f.Select(node(name));
        QCOMPARE(detail("DBEditAuthor")->text(), QLatin1String(author));
    }
    f.Select(node("dup"));
    velm::test::Click(detail("DBEditAuthor"));
    f.Press(Qt::Key_A, Qt::ControlModifier);
    velm::test::Type(f.window.get(), QStringLiteral("Smaller"));
    f.Select(node(""));
    QCOMPARE(rows(), (QStringList{"1|Dup|Big|Tools", "2|dup|Smaller|Tools", "3||Nameless|Tools", "4|Saw|Sharp|tools"}));

    // A rename, and a new component in the second category, act on their own rows.
    f.Select(node("Dup"));
    QVERIFY(f.TypeLabel(QStringLiteral("Hammer")));
    f.Press(Qt::Key_Return);
    MainWindowFixture::Settle();
    f.Select(node("tools"));
    velm::test::ChooseMenu(f.window.get(), {"&File", "&New", "Component / Package"});
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT ID, ProductName, Category FROM CPInfo WHERE ID IN (1, 5)")),
             (QStringList{"1|Hammer|1", "5|New Component|2"}));

    // Delete on dup deletes dup, and on the category tools only that category.
    f.Select(node("dup"));
    f.Press(Qt::Key_Delete);
    QCOMPARE(messages.Last().text, QStringLiteral("Do you really want to delete the component: dup ?"));
    f.Select(node("tools"));
    f.Press(Qt::Key_Delete);
    QCOMPARE(rows(), (QStringList{"1|Hammer|Big|Tools", "3||Nameless|Tools"}));
    QCOMPARE(f.TopLevelTexts(), QStringList{"Tools"});
    QCOMPARE(MainWindowFixture::ChildTexts(node("Tools")), (QStringList{"", "Hammer"}));
    QCOMPARE(messages.Count(), 2);
}

QTEST_MAIN(EditingCommandsTest)
#include "test_editing_commands.moc"
