// The search panel of the main window, driven as a user drives it: choose a field, type
// a text, press a button, and see which node is selected and which row is current.
#include "browser/form_main.h"
#include "browser/search_strip.h"
#include "catalogue/database_error.h"
#include "catalogue/memo_markup.h"
#include "search/fx_locate.h"
#include "support/message_recorder.h"
#include "support/main_window_fixture.h"
#include "support/user_input.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>

#include <memory>

using namespace velm;
using velm::test::MessageRecorder;
using velm::test::TempCatalogue;

namespace {

// Packages in record (ID) order Bolt, alpha, Brick, bravo. In the tree: Grids with
// Bolt and bravo, then Tools with alpha and Brick.
struct Fixture : velm::test::MainWindowFixture {
    Fixture() {
        grids = cat.AddCategory(QStringLiteral("Grids"));
        tools = cat.AddCategory(QStringLiteral("Tools"));
        cat.AddPackage(QStringLiteral("Bolt"), grids);
        cat.AddPackage(QStringLiteral("alpha"), tools);
        cat.AddPackage(QStringLiteral("Brick"), tools);
        cat.AddPackage(QStringLiteral("bravo"), grids);
        SetAuthor(QStringLiteral("Bolt"), QStringLiteral("Ann Grid"));
        SetAuthor(QStringLiteral("Brick"), QStringLiteral("grid works"));
        SetAuthor(QStringLiteral("bravo"), QStringLiteral("Grid Inc"));
    }

    void SetAuthor(const QString& package, const QString& author) {
        QVERIFY(Packages().Locate(QStringLiteral("ProductName"), package, false));
        Packages().Edit();
        Packages().FieldByName(QStringLiteral("Author"))->SetAsString(author);
        Packages().Post();
    }

    void Show() { QVERIFY(MainWindowFixture::Show()); }

    QComboBox* Fields() const { return Child<QComboBox>("ComboBoxSearchIn"); }
    QLineEdit* Text() const { return Child<QLineEdit>("EditSearch"); }
    QPushButton* SearchNow() const { return Child<QPushButton>("BitBtnSearch"); }
    QPushButton* SearchNext() const { return Child<QPushButton>("BitBtnSearchNext"); }
    QCheckBox* Options() const { return Child<QCheckBox>("CheckBoxSearchOptions"); }
    QAction* Action(const char* name) const { return Child<QAction>(name); }

    // Chooses the field in the drop-down list and types the text over the old one.
    void Enter(const char* field, const QString& text) {
        velm::test::Click(Fields());
        QAbstractItemView* list = Fields()->view();
        QVERIFY(list->isVisible());
        const QModelIndex entry = list->model()->index(Fields()->findText(QString::fromLatin1(field)), 0);
        velm::test::Click(list->viewport(), list->visualRect(entry).center());
        QCOMPARE(Fields()->currentText(), QString::fromLatin1(field));
        TypeInto(Text(), text);
    }
    using MainWindowFixture::Select;
    // Clicks a component's node, opening its category first.
    void Select(const QString& name) {
        QTreeWidgetItem* node = nullptr;
        for (QTreeWidgetItemIterator it(Tree()); *it && !node; ++it)
            if ((*it)->text(0) == name)
                node = *it;
        QVERIFY(node);
        if (node->parent() && !node->parent()->isExpanded())
            velm::test::DoubleClick(Tree()->viewport(), velm::test::NodePoint(Tree(), node->parent()));
        velm::test::ClickNode(Tree(), node);
        QCOMPARE(SelectedText(), name);
    }
    QString SelectedText() const { return Tree()->currentItem() ? Tree()->currentItem()->text(0) : QString(); }
    QString CurrentRow() { return Packages().FieldByName(QStringLiteral("ProductName"))->AsString(); }
    QString AuthorOf(const QString& package) {
        const TBookmark here = Packages().GetBookmark();
        if (!Packages().Locate(QStringLiteral("ProductName"), package, false))
            return QStringLiteral("<none>");
        const QString author = Packages().FieldByName(QStringLiteral("Author"))->AsString();
        Packages().GotoBookmark(here);
        return author;
    }

    MessageRecorder messages;
    qint64 grids = 0;
    qint64 tools = 0;
};

}  // namespace

class SearchPanelTest : public QObject {
    Q_OBJECT
private slots:
    void startsCompactWithTheFirstFieldChosenAndWhole();
    void aFoundComponentIsSelectedAndShown();
    void aFormattedDescriptionIsSearchedByItsText();
    void searchNextFollowsRecordOrder();
    void theFoundRowsOwnNodeIsSelected();
    void heightFollowsTheOptionsBoxAndTheMenu();
    void aRunningScanTakesNoInputAndNoSecondSearch();
    void closingDuringAScanEndsTheSearchQuietly();
    void aTableErrorIsReportedAndThePanelWorksOn();
};

void SearchPanelTest::startsCompactWithTheFirstFieldChosenAndWhole() {
    Fixture f;
    f.Show();
    QCOMPARE(f.window->PanelSearch()->height(), 37);
    QStringList entries;
    for (int i = 0; i < f.Fields()->count(); ++i)
        entries << f.Fields()->itemText(i);
    QCOMPARE(entries, (QStringList{"ProductName", "ProductDescription", "Author", "Comments", "StatusDescr",
                                   "CategoryName", "FileURL", "AuthorEmail", "ArchiveFile", "ArchiveFilePath"}));
    QCOMPARE(f.Fields()->currentText(), QStringLiteral("ProductName"));
    QVERIFY(f.Text()->text().isEmpty());
    QVERIFY(f.Child<QRadioButton>("RadioButtonMatchAnywhere")->isChecked());
    QVERIFY(!f.Child<QCheckBox>("CheckBoxCaseSensitive")->isChecked());
    QVERIFY(!f.Options()->isChecked());
    // Every field name shows whole, and the strip's controls stay clear of each other.
    QStyleOptionComboBox box;
    box.initFrom(f.Fields());
    const QRect shown = f.Fields()->style()->subControlRect(QStyle::CC_ComboBox, &box, QStyle::SC_ComboBoxEditField,
                                                            f.Fields());
    for (const QString& entry : entries)
        QVERIFY2(f.Fields()->fontMetrics().horizontalAdvance(entry) <= shown.width(), qPrintable(entry));
    const QList<QWidget*> strip = {f.Fields(), f.Child<QLabel>("LabelFor"), f.Text(), f.SearchNow(), f.Options()};
    for (qsizetype i = 1; i < strip.size(); ++i)
        QVERIFY2(strip[i - 1]->geometry().right() < strip[i]->geometry().left(), qPrintable(strip[i]->objectName()));
    QCOMPARE(f.SearchNext()->x(), f.SearchNow()->x());

    QSignalSpy searches(f.window->SearchStrip()->Locator(), &TfxLocate::busyChanged);
    // No text: nothing happens.
    velm::test::Click(f.SearchNow());
    QCOMPARE(searches.count(), 0);
    // Enter after the text searches as "Search now !" does.
    f.TypeInto(f.Text(), QStringLiteral("bolt"));
    velm::test::Key(f.Text(), Qt::Key_Return);
    QCOMPARE(f.SelectedText(), QStringLiteral("Bolt"));
    QCOMPARE(f.window->statusBar()->currentMessage(), QStringLiteral("Found Bolt: it holds \"bolt\" in ProductName."));
    QVERIFY(f.messages.shown.isEmpty());
}

void SearchPanelTest::aFoundComponentIsSelectedAndShown() {
    Fixture f;
    // A text longer than 255 characters reaches the memo comparison whole.
    const QString longText = QString(300, QLatin1Char('x'));
    QVERIFY(f.Packages().Locate(QStringLiteral("ProductName"), QStringLiteral("Brick"), false));
    f.Packages().Edit();
    f.Packages().FieldByName(QStringLiteral("Comments"))->SetAsString(longText + QStringLiteral("y"));
    f.Packages().Post();
    f.Show();

    // The compact form searches with the options it hides: anywhere, any case.
    f.Enter("Author", QStringLiteral("GRID"));
    velm::test::Click(f.SearchNow());
    QCOMPARE(f.SelectedText(), QStringLiteral("Bolt"));
    QVERIFY(f.Tree()->currentItem()->parent()->isExpanded());
    QCOMPARE(f.CurrentRow(), QStringLiteral("Bolt"));
    QVERIFY(f.window->PageControlComponentInfo()->isVisible());
    QVERIFY(!f.window->ImageLogo()->isVisible());

    f.Enter("Comments", longText + QStringLiteral("y"));
    QCOMPARE(f.Text()->text().size(), 301);
    velm::test::Click(f.Child<QRadioButton>("RadioButtonMatchFull"));
    velm::test::Click(f.SearchNow());
    QCOMPARE(f.SelectedText(), QStringLiteral("Brick"));
    // One character more than the memo holds: no match, and nothing moves.
    velm::test::Click(f.Text());
    velm::test::Key(f.Text(), Qt::Key_End);
    velm::test::Type(f.Text(), QStringLiteral("y"));
    velm::test::Click(f.SearchNow());
    QCOMPARE(f.SelectedText(), QStringLiteral("Brick"));
    QCOMPARE(f.CurrentRow(), QStringLiteral("Brick"));
    QVERIFY(f.messages.shown.isEmpty());
    // The status bar says that nothing was found, rather than nothing at all happening.
    QCOMPARE(f.window->statusBar()->currentMessage(),
             QStringLiteral("Nothing found: no component holds \"") + longText + QStringLiteral("yy\" in Comments."));
}

void SearchPanelTest::aFormattedDescriptionIsSearchedByItsText() {
    Fixture f;
    for (const char* package : {"Bolt", "Brick"}) {
        QVERIFY(f.Packages().Locate(QStringLiteral("ProductName"), QString::fromLatin1(package), false));
        f.Packages().Edit();
        f.Packages().FieldByName(QStringLiteral("ProductDescription"))->SetAsString(QStringLiteral("plain words here"));
        f.Packages().Post();
    }
    f.Show();
    // Bold on a word of Brick's description, from the memo's pop-up menu.
    f.Select(QStringLiteral("Brick"));
    auto* memo = f.Child<QTextEdit>("DBRichEditDescription");
    velm::test::Click(memo->viewport());
    velm::test::Key(memo, Qt::Key_Home, Qt::ControlModifier);
    for (int i = 0; i < 5; ++i)
        velm::test::Key(memo, Qt::Key_Right, Qt::ShiftModifier);
    velm::test::ChooseFromPopupAt(memo->viewport(), memo->cursorRect().center(), QStringLiteral("&Bold"));
    QVERIFY(IsMemoMarkup(f.Packages().FieldByName(QStringLiteral("ProductDescription"))->AsString()));

    // The markup is no text of the memo.
    f.Enter("ProductDescription", QString());
    for (const QString& markup : {QStringLiteral("margin"), QStringLiteral("font"), QStringLiteral("span"),
                                  QStringLiteral("DOCTYPE")}) {
        f.TypeInto(f.Text(), markup);
        velm::test::Click(f.SearchNow());
        QCOMPARE(f.window->statusBar()->currentMessage(),
                 QStringLiteral("Nothing found: no component holds \"%1\" in ProductDescription.").arg(markup));
    }
    // Its words are, across the formatting, and in full as shown.
    velm::test::Click(f.Options());
    velm::test::Click(f.Child<QRadioButton>("RadioButtonMatchFull"));
    f.TypeInto(f.Text(), QStringLiteral("plain words here"));
    velm::test::Click(f.SearchNow());
    QCOMPARE(f.SelectedText(), QStringLiteral("Bolt"));
    velm::test::Click(f.SearchNext());
    QCOMPARE(f.SelectedText(), QStringLiteral("Brick"));
}

void SearchPanelTest::searchNextFollowsRecordOrder() {
    Fixture f;
    f.Show();
    velm::test::Click(f.Options());
    f.Enter("Author", QStringLiteral("grid"));
    velm::test::Click(f.SearchNow());
    QCOMPARE(f.SelectedText(), QStringLiteral("Bolt"));
    // The status bar answers the search, not the button's hint.
    QCOMPARE(f.window->statusBar()->currentMessage(), QStringLiteral("Found Bolt: it holds \"grid\" in Author."));
    // By record order Brick follows Bolt, though bravo follows it in the tree.
    QStringList found;
    for (int i = 0; i < 3; ++i) {
        velm::test::Click(f.SearchNext());
        found << f.SelectedText();
    }
    QCOMPARE(found, (QStringList{"Brick", "bravo", "bravo"}));
    QCOMPARE(f.CurrentRow(), QStringLiteral("bravo"));
    QCOMPARE(f.window->statusBar()->currentMessage(),
             QStringLiteral("No further match: no component after this one holds \"grid\" in Author."));
    QVERIFY(f.window->PageControlComponentInfo()->isVisible());

    // Next starts after whatever the user selected since.
    f.Select(QStringLiteral("alpha"));
    velm::test::Click(f.SearchNext());
    QCOMPARE(f.SelectedText(), QStringLiteral("Brick"));
}

void SearchPanelTest::theFoundRowsOwnNodeIsSelected() {
    Fixture f;
    // "bolt" sorts before "Grids", so a category node of the found package's name comes
    // first in the tree.
    f.cat.AddCategory(QStringLiteral("bolt"));
    // A package whose category row is gone is put under "Unfiled" at start.
    f.cat.AddPackage(QStringLiteral("Stray"), 999);
    f.Show();
    QTRY_COMPARE(f.messages.Count(), 1);
    QCOMPARE(f.Tree()->topLevelItem(0)->text(0), QStringLiteral("bolt"));
    velm::test::Click(f.Options());
    velm::test::Click(f.Child<QRadioButton>("RadioButtonMatchFull"));

    f.Enter("ProductName", QStringLiteral("BOLT"));
    velm::test::Click(f.SearchNow());
    QCOMPARE(f.SelectedText(), QStringLiteral("Bolt"));
    QCOMPARE(f.Tree()->currentItem()->parent()->text(0), QStringLiteral("Grids"));
    QVERIFY(f.window->PageControlComponentInfo()->isVisible());
    QCOMPARE(f.CurrentRow(), QStringLiteral("Bolt"));

    // So a search finds it, and its node is there to select.
    f.Enter("ProductName", QStringLiteral("stray"));
    velm::test::Click(f.SearchNow());
    QCOMPARE(f.SelectedText(), QStringLiteral("Stray"));
    QCOMPARE(f.Tree()->currentItem()->parent()->text(0), QStringLiteral("Unfiled"));
    QCOMPARE(f.CurrentRow(), QStringLiteral("Stray"));

    // A category name searched in full finds the first package of that category.
    f.Enter("CategoryName", QStringLiteral("tools"));
    velm::test::Click(f.SearchNow());
    QCOMPARE(f.SelectedText(), QStringLiteral("alpha"));
}

void SearchPanelTest::heightFollowsTheOptionsBoxAndTheMenu() {
    Fixture f;
    f.Show();
    QFrame* panel = f.window->PanelSearch();
    QAction* showOptions = f.Action("ViewShowSearchOptions");
    QAction* hidePanel = f.Action("ViewHideSearchPanel");
    QVERIFY(!showOptions->isChecked());
    QVERIFY(!hidePanel->isChecked());
    QVERIFY(!f.SearchNext()->isVisible());

    velm::test::Click(f.Options());
    QCOMPARE(panel->height(), 72);
    QVERIFY(showOptions->isChecked());
    QVERIFY(f.SearchNext()->isVisible());
    velm::test::Click(f.Options());
    QCOMPARE(panel->height(), 37);
    QVERIFY(!showOptions->isChecked());

    f.Menu({"&View", "&Show search options"});
    QVERIFY(f.Options()->isChecked());
    QCOMPARE(panel->height(), 72);

    // Options set, then hidden again: they still govern the search.
    velm::test::Click(f.Child<QRadioButton>("RadioButtonMatchBeginning"));
    velm::test::Click(f.Child<QCheckBox>("CheckBoxCaseSensitive"));
    f.Menu({"&View", "&Show search options"});
    QVERIFY(!f.Options()->isChecked());
    QCOMPARE(panel->height(), 37);
    f.Enter("Author", QStringLiteral("grid"));
    velm::test::Click(f.SearchNow());
    QCOMPARE(f.SelectedText(), QStringLiteral("Brick"));

    // Hiding the panel keeps everything in it.
    f.Menu({"&View", "&Show search options"});
    f.Menu({"&View", "&Hide search panel"});
    QVERIFY(hidePanel->isChecked());
    QVERIFY(!panel->isVisible());
    QVERIFY(velm::test::OpenMenu(f.window.get(), QStringLiteral("&View")));
    QVERIFY(!showOptions->isEnabled());
    velm::test::CloseMenus();
    f.Menu({"&View", "&Hide search panel"});
    QVERIFY(panel->isVisible());
    QCOMPARE(panel->height(), 72);
    QVERIFY(showOptions->isChecked());
    QCOMPARE(f.Fields()->currentText(), QStringLiteral("Author"));
    QCOMPARE(f.Text()->text(), QStringLiteral("grid"));
}

void SearchPanelTest::aRunningScanTakesNoInputAndNoSecondSearch() {
    Fixture f;
    f.Show();
    f.Select(QStringLiteral("alpha"));
    velm::test::Click(f.Options());
    QLineEdit* author = f.Child<QLineEdit>("DBEditAuthor");
    QVERIFY(author->isVisible());

    f.Enter("Author", QStringLiteral("grid inc"));
    bool ranDuringScan = false;
    // A user's clicks and keys queued before the search arrive while the scan lets
    // events run.
    QTimer::singleShot(0, f.window.get(), [&] {
        ranDuringScan = f.window->SearchStrip()->Locator()->Busy();
        QVERIFY(!f.SearchNow()->isEnabled());
        QVERIFY(!f.SearchNext()->isEnabled());
        velm::test::Click(f.SearchNext());
        // Typed into the shown record, this would land in the row the scan stands on.
        velm::test::Click(author);
        velm::test::Type(author, QStringLiteral("zzz"));
        velm::test::ClickNode(f.Tree(), f.Tree()->topLevelItem(0));
        velm::test::Key(f.Tree(), Qt::Key_Delete);
        QCOMPARE(f.SelectedText(), QStringLiteral("alpha"));
    });
    velm::test::Click(f.SearchNow());
    QVERIFY(ranDuringScan);
    QCOMPARE(f.SelectedText(), QStringLiteral("bravo"));
    QCOMPARE(f.window->SearchStrip()->Locator()->DataField(), QStringLiteral("Author"));
    QCOMPARE(f.AuthorOf(QStringLiteral("Bolt")), QStringLiteral("Ann Grid"));
    QCOMPARE(f.AuthorOf(QStringLiteral("alpha")), QString());
    QVERIFY(f.SearchNow()->isEnabled());
    QVERIFY(f.SearchNext()->isEnabled());
    QCOMPARE(f.Tree()->topLevelItemCount(), 2);
    QVERIFY(f.messages.shown.isEmpty());
    velm::test::Click(author);
    velm::test::Key(author, Qt::Key_End);
    velm::test::Type(author, QStringLiteral("Z"));
    QCOMPARE(author->text(), QStringLiteral("Grid IncZ"));
}

void SearchPanelTest::closingDuringAScanEndsTheSearchQuietly() {
    Fixture f;
    f.Show();
    f.Enter("Author", QStringLiteral("grid inc"));
    bool closedDuringScan = false;
    QTimer::singleShot(0, f.window.get(), [&] {
        f.window->close();
        // The scan holds the package table: the window closes once it has ended.
        closedDuringScan = f.window->SearchStrip()->Locator()->Busy() && f.window->isVisible();
    });
    velm::test::Click(f.SearchNow());
    QVERIFY(closedDuringScan);
    QTRY_VERIFY(!f.window->isVisible());
    QVERIFY(QFileInfo::exists(f.cat.SettingsFile()));  // the close sequence ran
    QVERIFY(f.messages.shown.isEmpty());
}

void SearchPanelTest::aTableErrorIsReportedAndThePanelWorksOn() {
    Fixture f;
    f.Show();
    f.Select(QStringLiteral("alpha"));
    // An edit that cannot be stored: the search's first move raises a key violation.
    f.Packages().Edit();
    f.Packages().FieldByName(QStringLiteral("ProductName"))->SetAsString(QStringLiteral("Bolt"));
    f.Enter("Author", QStringLiteral("grid"));
    velm::test::Click(f.SearchNow());
    QCOMPARE(f.messages.Count(), 1);
    QCOMPARE(f.SelectedText(), QStringLiteral("alpha"));
    f.Packages().Cancel();
    QVERIFY(f.SearchNow()->isEnabled());
    // The window takes input again.
    velm::test::Click(f.Text());
    velm::test::Key(f.Text(), Qt::Key_End);
    velm::test::Type(f.Text(), QStringLiteral(" works"));
    QCOMPARE(f.Text()->text(), QStringLiteral("grid works"));
    velm::test::Click(f.SearchNow());
    QCOMPARE(f.SelectedText(), QStringLiteral("Brick"));
}

QTEST_MAIN(SearchPanelTest)
#include "test_search_panel.moc"
