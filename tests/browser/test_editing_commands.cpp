// The category and component editing commands of the main window, checked on the
// tables and the tree together.
#include "app/settings.h"
#include "browser/form_main.h"
#include "catalogue/database_error.h"
#include "import/form_moveto_category.h"
#include "import/velm_component.h"
#include "support/category_dialog_answers.h"
#include "support/modal_dialog.h"
#include "support/message_recorder.h"
#include "support/temp_catalogue.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>

#include <memory>

using namespace velm;
using velm::test::MessageRecorder;
using velm::test::AnswerMove;
using velm::test::TempCatalogue;

namespace {

QStringList TopLevelTexts(QTreeWidget* tree) {
    QStringList texts;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        texts << tree->topLevelItem(i)->text(0);
    return texts;
}

QStringList ChildTexts(QTreeWidgetItem* node) {
    QStringList texts;
    for (int i = 0; i < node->childCount(); ++i)
        texts << node->child(i)->text(0);
    return texts;
}

QStringList StoredNames(TTable& table, const char* field) {
    QStringList names;
    for (table.First(); !table.Eof(); table.Next())
        names << table.FieldByName(QString::fromLatin1(field))->AsString();
    return names;
}


// A shown main window over a temporary catalogue.
struct Fixture {
    TempCatalogue cat;
    std::unique_ptr<TFormMain> window;

    void Show() {
        window = std::make_unique<TFormMain>(cat.ProgramFolder());
        window->show();
    }
    QTreeWidget* Tree() const { return window->TreeViewCategories(); }
    QTreeWidgetItem* Category(int i) const { return Tree()->topLevelItem(i); }
    TTable& Categories() { return *cat.Module().TableCategory; }
    TTable& Packages() { return *cat.Module().TableCPInfo; }
};

}  // namespace

class EditingCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void newCategoriesTakeFreeNamesAndGoLast();
    void newComponentGoesIntoTheSelectedComponentsCategory();
    void newComponentWithoutSelectionIsRefused();
    void renameOntoAnExistingCategoryIsRefusedAndSortsAllTheSame();
    void longAndEmptyCategoryNames();
    void escapeDuringALabelEditChangesNothing();
    void deletingACategoryTakesItsComponentsAfterConsent();
    void aFailedCategoryDeleteLeavesAllOfIt();
    void deletingAComponentAsksFirst();
    void categoriesFromAListAreNumberedAndSorted();
    void movingAComponentFollowsTheDialog();
};

void EditingCommandsTest::newCategoriesTakeFreeNamesAndGoLast() {
    MessageRecorder messages;  // answers Yes to the delete questions below
    Fixture f;
    f.cat.AddCategory(QStringLiteral("aardvark"));
    f.Show();
    for (int i = 0; i < 3; ++i) {
        f.window->FileNewCategoryClick();
        QCOMPARE(f.Tree()->currentItem(), f.Category(f.Tree()->topLevelItemCount() - 1));
        QVERIFY(f.window->ImageLogo()->isVisible());
    }
    QCOMPARE(TopLevelTexts(f.Tree()), (QStringList{"aardvark", "New Category", "New Category1", "New Category2"}));

    // A gap is filled first, and the probe ignores letter case.
    f.window->TreeViewCategoriesEdited(f.Category(1), QStringLiteral("new category"));
    f.Tree()->setCurrentItem(f.Category(0));
    f.window->EditDeleteClick();  // aardvark
    f.Tree()->setCurrentItem(f.Category(1));
    f.window->EditDeleteClick();  // New Category1
    QCOMPARE(TopLevelTexts(f.Tree()), (QStringList{"new category", "New Category2"}));
    f.window->FileNewCategoryClick();
    QCOMPARE(f.Tree()->currentItem()->text(0), QStringLiteral("New Category1"));
}

void EditingCommandsTest::newComponentGoesIntoTheSelectedComponentsCategory() {
    Fixture f;
    const qint64 tools = f.cat.AddCategory(QStringLiteral("Tools"));
    f.cat.AddCategory(QStringLiteral("Grids"));
    f.cat.AddPackage(QStringLiteral("Hammer"), tools);
    f.Show();
    QTreeWidgetItem* toolsNode = f.Category(1);
    f.Tree()->setCurrentItem(toolsNode->child(0));
    f.window->FileNewComponentPackageClick();
    QCOMPARE(ChildTexts(toolsNode), (QStringList{"Hammer", "New Component"}));
    QCOMPARE(f.Tree()->currentItem(), toolsNode->child(1));
    QVERIFY(f.Packages().Locate(QStringLiteral("ProductName"), QStringLiteral("New Component"), true));
    QCOMPARE(f.Packages().FieldByName(QStringLiteral("Category"))->AsInteger(), tools);
}

void EditingCommandsTest::newComponentWithoutSelectionIsRefused() {
    Fixture f;
    f.Show();
    MessageRecorder messages;
    f.window->FileNewComponentPackageClick();
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().kind, MessageKind::Error);
    QCOMPARE(messages.Last().text, QStringLiteral("First select a category to add the component to."));
    QVERIFY(f.Packages().IsEmpty());
}

void EditingCommandsTest::renameOntoAnExistingCategoryIsRefusedAndSortsAllTheSame() {
    Fixture f;
    f.cat.AddCategory(QStringLiteral("Zeta"));
    f.cat.AddCategory(QStringLiteral("Beta"));
    f.Show();
    f.window->FileNewCategoryClick();  // "New Category", last, unsorted
    QCOMPARE(TopLevelTexts(f.Tree()), (QStringList{"Beta", "Zeta", "New Category"}));
    MessageRecorder messages;
    f.window->TreeViewCategoriesEdited(f.Category(2), QStringLiteral("ZETA"));
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().kind, MessageKind::Error);
    QCOMPARE(messages.Last().text,
             QStringLiteral("An error has occurred when updating the database.\r\r"
                            "Categories must have unique names,\r"
                            "so change from New Category to ZETA is not possible because\r"
                            "ZETA already exist as a category !"));
    QCOMPARE(TopLevelTexts(f.Tree()), (QStringList{"Beta", "New Category", "Zeta"}));
    QCOMPARE(StoredNames(f.Categories(), "Name"), (QStringList{"Beta", "New Category", "Zeta"}));
}

void EditingCommandsTest::longAndEmptyCategoryNames() {
    Fixture f;
    f.cat.AddCategory(QStringLiteral("Short"));
    f.Show();
    const QString thirty = QStringLiteral("abcdefghijklmnopqrstuvwxyz1234");
    f.window->TreeViewCategoriesEdited(f.Category(0), thirty);
    QCOMPARE(f.Category(0)->text(0), thirty.left(25));
    QCOMPARE(StoredNames(f.Categories(), "Name"), QStringList{thirty.left(25)});

    // An empty name is refused through the database error report; the old name stays.
    MessageRecorder messages;
    f.window->TreeViewCategoriesEdited(f.Category(0), QString());
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().text, QStringLiteral("An error has occurred when updating the database.\r\r"));
    QCOMPARE(f.Category(0)->text(0), thirty.left(25));

    // A long requested name keeps room for its number, so the stored names stay unique.
    f.window->AddCategory(thirty);
    QCOMPARE(f.Tree()->currentItem()->text(0), thirty.left(24) + QLatin1Char('1'));
}

void EditingCommandsTest::escapeDuringALabelEditChangesNothing() {
    Fixture f;
    f.cat.AddCategory(QStringLiteral("Beta"));
    f.cat.AddCategory(QStringLiteral("Alpha"));
    f.Show();
    f.window->activateWindow();
    f.Tree()->setCurrentItem(f.Category(1));
    f.window->EditChangeNameClick();
    auto* editor = f.Tree()->findChild<QLineEdit*>();
    QVERIFY(editor);
    editor->setText(QStringLiteral("Aaa"));
    QTest::keyClick(editor, Qt::Key_Escape);
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!f.Tree()->findChild<QLineEdit*>());
    QCOMPARE(TopLevelTexts(f.Tree()), (QStringList{"Alpha", "Beta"}));
    QCOMPARE(StoredNames(f.Categories(), "Name"), (QStringList{"Alpha", "Beta"}));

    // Enter accepts: the row is renamed and the tree sorted.
    f.Tree()->setCurrentItem(f.Category(1));
    f.window->EditChangeNameClick();
    editor = f.Tree()->findChild<QLineEdit*>();
    QVERIFY(editor);
    editor->setText(QStringLiteral("Aaa"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(TopLevelTexts(f.Tree()), (QStringList{"Aaa", "Alpha"}));
    QCOMPARE(StoredNames(f.Categories(), "Name"), (QStringList{"Aaa", "Alpha"}));
}

void EditingCommandsTest::deletingACategoryTakesItsComponentsAfterConsent() {
    Fixture f;
    const qint64 doomed = f.cat.AddCategory(QStringLiteral("Doomed"));
    const qint64 kept = f.cat.AddCategory(QStringLiteral("Kept"));
    for (const char* name : {"d1", "d2", "d3"})
        f.cat.AddPackage(QString::fromLatin1(name), doomed);
    f.cat.AddPackage(QStringLiteral("k1"), kept);
    f.Show();
    f.Tree()->setCurrentItem(f.Category(0));

    MessageRecorder messages;
    messages.AnswerNext(false);
    f.window->EditDeleteClick();
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().kind, MessageKind::ConfirmYesNo);
    QCOMPARE(messages.Last().text,
             QStringLiteral("Do you really want to delete the category: Doomed\rand ALL components of this category ?"));
    QCOMPARE(f.Tree()->topLevelItemCount(), 2);
    QCOMPARE(f.Packages().RecordCount(), 4);

    messages.AnswerNext(true);
    f.window->EditDeleteClick();
    QCOMPARE(TopLevelTexts(f.Tree()), QStringList{"Kept"});
    QCOMPARE(StoredNames(f.Categories(), "Name"), QStringList{"Kept"});
    QCOMPARE(StoredNames(f.Packages(), "ProductName"), QStringList{"k1"});

    // With ConfirmDelete off the command acts at once.
    Settings().ConfirmDelete = false;
    messages.Clear();
    f.Tree()->setCurrentItem(f.Category(0));
    f.window->EditDeleteClick();
    QCOMPARE(messages.Count(), 0);
    QVERIFY(f.Categories().IsEmpty() && f.Packages().IsEmpty());
    QCOMPARE(f.Tree()->topLevelItemCount(), 0);
    Settings().ConfirmDelete = true;
}

void EditingCommandsTest::aFailedCategoryDeleteLeavesAllOfIt() {
    Fixture f;
    const qint64 c = f.cat.AddCategory(QStringLiteral("C"));
    for (const char* name : {"p1", "p2", "p3"})
        f.cat.AddPackage(QString::fromLatin1(name), c);
    f.Show();
    f.Tree()->setCurrentItem(f.Category(0));
    // The second package delete fails half way through the category.
    int deletes = 0;
    f.Packages().BeforeDelete = [&](TTable&) {
        if (++deletes == 2)
            throw EDatabaseError(QStringLiteral("disk full"));
    };
    Settings().ConfirmDelete = false;
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, f.window->EditDeleteClick());
    Settings().ConfirmDelete = true;
    f.Packages().BeforeDelete = nullptr;
    QCOMPARE(StoredNames(f.Packages(), "ProductName"), (QStringList{"p1", "p2", "p3"}));
    QCOMPARE(StoredNames(f.Categories(), "Name"), QStringList{"C"});
    QCOMPARE(f.Category(0)->childCount(), 3);
    QVERIFY(!f.Packages().Filtered());
}

void EditingCommandsTest::deletingAComponentAsksFirst() {
    Fixture f;
    const qint64 c = f.cat.AddCategory(QStringLiteral("C"));
    f.cat.AddPackage(QStringLiteral("Keep"), c);
    f.cat.AddPackage(QStringLiteral("Drop"), c);
    f.Show();
    f.Tree()->setCurrentItem(f.Category(0)->child(1));
    MessageRecorder messages;
    messages.AnswerNext(false);
    f.window->EditDeleteClick();
    QCOMPARE(messages.Last().text, QStringLiteral("Do you really want to delete the component: Drop ?"));
    QCOMPARE(f.Packages().RecordCount(), 2);
    messages.AnswerNext(true);
    f.window->EditDeleteClick();
    QCOMPARE(ChildTexts(f.Category(0)), QStringList{"Keep"});
    QCOMPARE(StoredNames(f.Packages(), "ProductName"), QStringList{"Keep"});
}

void EditingCommandsTest::categoriesFromAListAreNumberedAndSorted() {
    Fixture f;
    f.cat.AddCategory(QStringLiteral("tools"));
    f.Show();
    f.window->AddCategoriesFromList({QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("b"),
                                     QStringLiteral("Tools"), QString()});
    QCOMPARE(TopLevelTexts(f.Tree()), (QStringList{"a", "b", "b1", "New Category", "tools", "Tools1"}));
    QCOMPARE(StoredNames(f.Categories(), "Name").size(), 6);
}

void EditingCommandsTest::movingAComponentFollowsTheDialog() {
    Fixture f;
    const qint64 tools = f.cat.AddCategory(QStringLiteral("Tools"));
    const qint64 grids = f.cat.AddCategory(QStringLiteral("Grids"));
    f.cat.AddPackage(QStringLiteral("Hammer"), tools);
    f.cat.AddPackage(QStringLiteral("Saw"), tools);
    f.Show();
    QTreeWidgetItem* toolsNode = f.Category(1);
    QTreeWidgetItem* gridsNode = f.Category(0);

    // Cancel: the node stays where it was, selected.
    f.Tree()->setCurrentItem(toolsNode->child(0));
    AnswerMove(QStringLiteral("Grids"), false);
    f.window->EditMoveToOtherCategoryClick();
    QCOMPARE(ChildTexts(toolsNode), (QStringList{"Hammer", "Saw"}));
    QCOMPARE(f.Tree()->currentItem(), toolsNode->child(0));

    // Its own category: the node goes to the end of the same category.
    AnswerMove(QStringLiteral("Tools"), true);
    f.window->EditMoveToOtherCategoryClick();
    QCOMPARE(ChildTexts(toolsNode), (QStringList{"Saw", "Hammer"}));
    QCOMPARE(f.Tree()->currentItem()->text(0), QStringLiteral("Hammer"));

    // Another category: row and node follow, and the node is selected there.
    AnswerMove(QStringLiteral("Grids"), true);
    f.window->EditMoveToOtherCategoryClick();
    QCOMPARE(ChildTexts(toolsNode), QStringList{"Saw"});
    QCOMPARE(ChildTexts(gridsNode), QStringList{"Hammer"});
    QCOMPARE(f.Tree()->currentItem(), gridsNode->child(0));
    QVERIFY(f.Packages().Locate(QStringLiteral("ProductName"), QStringLiteral("Hammer"), true));
    QCOMPARE(f.Packages().FieldByName(QStringLiteral("Category"))->AsInteger(), grids);

    // A category node selected: the command does nothing.
    f.Tree()->setCurrentItem(gridsNode);
    f.window->EditMoveToOtherCategoryClick();
    QCOMPARE(ChildTexts(gridsNode), QStringList{"Hammer"});
}

QTEST_MAIN(EditingCommandsTest)
#include "test_editing_commands.moc"
