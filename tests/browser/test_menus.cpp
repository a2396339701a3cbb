// The main window's menus: enabling rules evaluated as a menu opens, the title strip,
// the pop-up menu acting on the selected node, and the small commands.
#include "app/form_options.h"
#include "app/launcher.h"
#include "app/settings.h"
#include "browser/form_main.h"
#include "browser/pictures.h"
#include "support/launcher_recorder.h"
#include "support/message_recorder.h"
#include "support/modal_dialog.h"
#include "support/temp_catalogue.h"
#include "widgets/title_strip_menu.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTreeWidget>

#include <memory>

using namespace velm;
using velm::test::LauncherRecorder;
using velm::test::MessageRecorder;
using velm::test::TempCatalogue;

namespace {

struct Fixture {
    TempCatalogue cat;
    std::unique_ptr<TFormMain> window;

    void Show() {
        window = std::make_unique<TFormMain>(cat.ProgramFolder());
        window->show();
    }
    QTreeWidget* Tree() const { return window->TreeViewCategories(); }
    QMenu* Menu(const char* name) const { return window->findChild<QMenu*>(QString::fromLatin1(name)); }
    QAction* Action(const char* name) const { return window->findChild<QAction*>(QString::fromLatin1(name)); }
    // Opens the menu the way a click on the menu bar does, and closes it again.
    void Open(const char* menuName) {
        QMenu* menu = Menu(menuName);
        menu->popup(window->mapToGlobal(QPoint(10, 10)));
        menu->hide();
    }
    TTable& Packages() { return *cat.Module().TableCPInfo; }
};

}  // namespace

class MenusTest : public QObject {
    Q_OBJECT
private slots:
    void itemsFollowTheSelectionWhenAMenuOpens();
    void editMenuOnAnEmptyTree();
    void archiveContentsNeedsAnArchiveName();
    void titleStripOnlyOnTheFileMenu();
    void popUpCommandsActOnTheSelectedNode();
    void collapseAndUnfold();
    void helpAndHints();
    void optionsRecolourTheWindowOnlyOnOk();
};

void MenusTest::itemsFollowTheSelectionWhenAMenuOpens() {
    Fixture f;
    const qint64 tools = f.cat.AddCategory(QStringLiteral("Tools"));
    f.cat.AddPackage(QStringLiteral("Hammer"), tools);
    f.Show();
    f.Tree()->setCurrentItem(f.Tree()->topLevelItem(0));
    f.Open("MenuFile");
    f.Open("MenuEdit");
    QVERIFY(!f.Action("FileReimport")->isEnabled());
    QVERIFY(!f.Action("EditMoveToOtherCategory")->isEnabled());
    f.Tree()->setCurrentItem(f.Tree()->topLevelItem(0)->child(0));
    // Nothing changes until the menu opens again.
    QVERIFY(!f.Action("FileReimport")->isEnabled());
    f.Open("MenuFile");
    f.Open("MenuEdit");
    QVERIFY(f.Action("FileReimport")->isEnabled());
    QVERIFY(f.Action("EditMoveToOtherCategory")->isEnabled());
    // Items without a rule stay enabled.
    for (const char* name : {"FileImportComponent", "FileOptions", "FilePrint", "EditDelete", "EditChangeName"})
        QVERIFY2(f.Action(name)->isEnabled(), name);
}

void MenusTest::editMenuOnAnEmptyTree() {
    Fixture f;
    f.Show();
    f.Action("EditMoveToOtherCategory")->setEnabled(true);
    f.Open("MenuEdit");
    QVERIFY(!f.Action("EditMoveToOtherCategory")->isEnabled());
}

void MenusTest::archiveContentsNeedsAnArchiveName() {
    Fixture f;
    const qint64 tools = f.cat.AddCategory(QStringLiteral("Tools"));
    f.cat.AddPackage(QStringLiteral("Hammer"), tools);
    f.Show();
    QVERIFY(!f.Action("ViewArchiveContents")->isEnabled());
    f.Tree()->setCurrentItem(f.Tree()->topLevelItem(0)->child(0));
    f.Open("MenuView");
    QVERIFY(!f.Action("ViewArchiveContents")->isEnabled());
    f.Packages().Edit();
    f.Packages().FieldByName(QStringLiteral("ArchiveFile"))->SetAsString(QStringLiteral("hammer.zip"));
    f.Packages().Post();
    f.Open("MenuView");
    QVERIFY(f.Action("ViewArchiveContents")->isEnabled());
    // On a category the shown row does not count.
    f.Tree()->setCurrentItem(f.Tree()->topLevelItem(0));
    f.Open("MenuView");
    QVERIFY(!f.Action("ViewArchiveContents")->isEnabled());

    QVERIFY(f.Action("ViewShowSearchOptions")->isEnabled());
    f.Action("ViewHideSearchPanel")->setChecked(true);
    f.Open("MenuView");
    QVERIFY(!f.Action("ViewShowSearchOptions")->isEnabled());
}

void MenusTest::titleStripOnlyOnTheFileMenu() {
    Fixture f;
    f.Show();
    const QList<TTitleStripMenu*> strips = f.window->findChildren<TTitleStripMenu*>();
    QCOMPARE(strips.size(), 1);
    QCOMPARE(strips.first()->objectName(), QStringLiteral("MenuFile"));
    for (const char* order : {"MenuEdit", "MenuFile", "MenuHelp", "MenuView", "MenuFile", "MenuFile"}) {
        f.Open(order);
        QVERIFY(strips.first()->StripVisible());
        QCOMPARE(strips.first()->StripText(), QStringLiteral("Velmora"));
    }
    QVERIFY(!qobject_cast<TTitleStripMenu*>(f.Menu("MenuEdit")));
    QVERIFY(!qobject_cast<TTitleStripMenu*>(f.Menu("FileNew")));
}

void MenusTest::popUpCommandsActOnTheSelectedNode() {
    MessageRecorder messages;
    Fixture f;
    const qint64 tools = f.cat.AddCategory(QStringLiteral("Tools"));
    f.cat.AddCategory(QStringLiteral("Grids"));
    f.cat.AddPackage(QStringLiteral("Hammer"), tools);
    f.Show();
    f.Tree()->expandAll();
    QTreeWidgetItem* toolsNode = f.Tree()->topLevelItem(1);
    f.Tree()->setCurrentItem(toolsNode);
    // A right click on the component does not select it.
    const QPoint onHammer = f.Tree()->visualItemRect(toolsNode->child(0)).center();
    emit f.Tree()->customContextMenuRequested(onHammer);
    QMenu* popup = f.window->findChild<QMenu*>(QStringLiteral("PopupMenuTree"));
    QVERIFY(popup && popup->isVisible());
    QCOMPARE(f.Tree()->currentItem(), toolsNode);
    for (QAction* action : popup->actions())
        QVERIFY(action->isEnabled());
    f.Action("PopUpDelete")->trigger();
    popup->hide();
    QCOMPARE(messages.Count(), 1);
    QVERIFY(messages.Last().text.startsWith(QStringLiteral("Do you really want to delete the category: Tools")));
    QCOMPARE(f.Tree()->topLevelItemCount(), 1);
    QVERIFY(f.Packages().IsEmpty());
}

void MenusTest::collapseAndUnfold() {
    Fixture f;
    const qint64 tools = f.cat.AddCategory(QStringLiteral("Tools"));
    f.cat.AddCategory(QStringLiteral("Empty"));
    f.cat.AddPackage(QStringLiteral("Hammer"), tools);
    f.Show();
    f.Action("ViewUnfoldTree")->trigger();
    QTreeWidgetItem* toolsNode = f.Tree()->topLevelItem(1);
    QVERIFY(toolsNode->isExpanded());
    // Only categories with components show the open drawer.
    const auto shows = [](QTreeWidgetItem* node, int image) {
        return node->icon(0).pixmap(16).toImage() == TreeImageIcon(image).pixmap(16).toImage();
    };
    QVERIFY(shows(toolsNode, kImageDrawerOpen));
    QVERIFY(shows(f.Tree()->topLevelItem(0), kImageDrawerClosed));
    f.Tree()->setCurrentItem(toolsNode->child(0));
    QVERIFY(!f.window->ImageLogo()->isVisible());

    f.Action("ViewCollapseTree")->trigger();
    QVERIFY(!toolsNode->isExpanded());
    QVERIFY(shows(toolsNode, kImageDrawerClosed));
    QCOMPARE(f.Tree()->currentItem(), toolsNode);
    QVERIFY(f.window->ImageLogo()->isVisible());
    QVERIFY(!f.window->PageControlComponentInfo()->isVisible());
}

void MenusTest::helpAndHints() {
    LauncherRecorder launcher;
    Fixture f;
    f.Show();
    f.Action("HelpContents")->trigger();
    QCOMPARE(launcher.helpTopics, QList<int>{kHelpContentsTopic});
    QVERIFY(HelpTopicPath(kHelpContentsTopic).endsWith(QStringLiteral("help/index.html")));
    QVERIFY(HelpTopicPath(400).endsWith(QStringLiteral("help/400.html")));

    // A highlighted item's hint goes to the status bar.
    QMenu* file = f.Menu("MenuFile");
    f.window->menuBar()->setActiveAction(file->menuAction());
    file->setActiveAction(f.Action("FileImportComponent"));
    QCOMPARE(f.window->statusBar()->currentMessage(), QStringLiteral("Import component info from zip file"));
    file->hide();
    QCOMPARE(f.Menu("FileNew")->menuAction()->statusTip(), QStringLiteral("Open new database"));
}

void MenusTest::optionsRecolourTheWindowOnlyOnOk() {
    Fixture f;
    f.Show();
    const auto leftColour = [&f] { return f.window->PanelLeft()->palette().color(QPalette::Window); };
    Settings().PanelColor = 0x0000FF;  // red, in the stored byte order
    f.window->ApplyColours();
    const QColor before = leftColour();

    velm::test::AnswerNextModal<TFormOptions>([](TFormOptions* dialog) {
        dialog->ButtonReset()->click();
        dialog->BitBtnCancel()->click();
    });
    f.Action("FileOptions")->trigger();
    QCOMPARE(leftColour(), before);

    velm::test::AnswerNextModal<TFormOptions>([](TFormOptions* dialog) {
        dialog->ButtonReset()->click();
        dialog->BitBtnOK()->click();
    });
    f.Action("FileOptions")->trigger();
    QCOMPARE(leftColour(), ColorRefToQColor(SettingsRecord().PanelColor));
    QVERIFY(leftColour() != before);
}

QTEST_MAIN(MenusTest)
#include "test_menus.moc"
