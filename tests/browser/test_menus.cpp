// The main window's menus, opened and chosen with the mouse: enabling rules evaluated
// as a menu opens, the title strip, the pop-up menu acting on the selected node, and
// the small commands.
#include "browser/form_options.h"
#include "kit/launcher.h"
#include "kit/settings.h"
#include "browser/pictures.h"
#include "support/file_dialog_recorder.h"
#include "support/launcher_recorder.h"
#include "support/main_window_fixture.h"
#include "support/message_recorder.h"
#include "support/modal_dialog.h"
#include "widgets/title_strip_menu.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

using namespace velm;
using velm::test::LauncherRecorder;
using velm::test::MainWindowFixture;
using velm::test::MessageRecorder;

namespace {

struct Fixture : MainWindowFixture {
    QAction* Action(const char* name) const { return window->findChild<QAction*>(QString::fromLatin1(name)); }
    // Opens a menu of the menu bar as a user does, and closes it again.
    QMenu* Open(const char* caption) {
        QMenu* menu = velm::test::OpenMenu(window.get(), QString::fromLatin1(caption));
        velm::test::CloseMenus();
        return menu;
    }
    bool Shows(QTreeWidgetItem* node, int image) const {
        return node->icon(0).pixmap(16).toImage() == TreeImageIcon(image).pixmap(16).toImage();
    }
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
    void exitClosesTheWindow();
};

void MenusTest::itemsFollowTheSelectionWhenAMenuOpens() {
    Fixture f;
    const qint64 tools = f.cat.AddCategory(QStringLiteral("Tools"));
    f.cat.AddPackage(QStringLiteral("Hammer"), tools);
    QVERIFY(f.Show());
    f.Select(f.Category(0));
    QVERIFY(f.Open("&File"));
    QVERIFY(f.Open("&Edit"));
    QVERIFY(!f.Action("FileReimport")->isEnabled());
    QVERIFY(!f.Action("EditMoveToOtherCategory")->isEnabled());
    f.Select(f.Node(QStringLiteral("Hammer")));
    // Nothing changes until the menu opens again.
    QVERIFY(!f.Action("FileReimport")->isEnabled());
    f.Open("&File");
    f.Open("&Edit");
    QVERIFY(f.Action("FileReimport")->isEnabled());
    QVERIFY(f.Action("EditMoveToOtherCategory")->isEnabled());
    // Items without a rule stay enabled.
    for (const char* name : {"FileImportComponent", "FileOptions", "FilePrint", "EditDelete", "EditChangeName"})
        QVERIFY2(f.Action(name)->isEnabled(), name);
    // A click on the tree's empty space leaves no node selected: the rules follow.
    velm::test::Click(f.Tree()->viewport(), velm::test::BelowLastNode(f.Tree()));
    f.Open("&File");
    f.Open("&Edit");
    QVERIFY(!f.Action("FileReimport")->isEnabled());
    QVERIFY(!f.Action("EditMoveToOtherCategory")->isEnabled());
}

void MenusTest::editMenuOnAnEmptyTree() {
    Fixture f;
    QVERIFY(f.Show());
    f.Action("EditMoveToOtherCategory")->setEnabled(true);
    f.Open("&Edit");
    QVERIFY(!f.Action("EditMoveToOtherCategory")->isEnabled());
}

void MenusTest::archiveContentsNeedsAnArchiveName() {
    Fixture f;
    const qint64 tools = f.cat.AddCategory(QStringLiteral("Tools"));
    f.cat.AddPackage(QStringLiteral("Hammer"), tools);
    f.cat.AddPackage(QStringLiteral("Saw"), tools);
    QVERIFY(f.Show());
    QVERIFY(!f.Action("ViewArchiveContents")->isEnabled());
    f.Select(f.Node(QStringLiteral("Saw")));
    f.Open("&View");
    QVERIFY(!f.Action("ViewArchiveContents")->isEnabled());
    f.Packages().Edit();
    f.Packages().FieldByName(QStringLiteral("ArchiveFile"))->SetAsString(QStringLiteral("saw.zip"));
    f.Packages().Post();
    f.Open("&View");
    QVERIFY(f.Action("ViewArchiveContents")->isEnabled());
    // Another component without an archive, and a category: disabled again.
    f.Select(f.Node(QStringLiteral("Hammer")));
    f.Open("&View");
    QVERIFY(!f.Action("ViewArchiveContents")->isEnabled());
    f.Select(f.Category(0));
    f.Open("&View");
    QVERIFY(!f.Action("ViewArchiveContents")->isEnabled());

    QVERIFY(f.Action("ViewShowSearchOptions")->isEnabled());
    velm::test::ChooseMenu(f.window.get(), {"&View", "&Hide search panel"});
    QVERIFY(!f.window->PanelSearch()->isVisible());
    f.Open("&View");
    QVERIFY(!f.Action("ViewShowSearchOptions")->isEnabled());
}

void MenusTest::titleStripOnlyOnTheFileMenu() {
    Fixture f;
    QVERIFY(f.Show());
    const QList<TTitleStripMenu*> strips = f.window->findChildren<TTitleStripMenu*>();
    QCOMPARE(strips.size(), 1);
    QCOMPARE(strips.first()->objectName(), QStringLiteral("MenuFile"));
    for (const char* order : {"&Edit", "&File", "&Help", "&View", "&File", "&File"}) {
        QVERIFY(f.Open(order));
        QVERIFY(strips.first()->StripVisible());
        QCOMPARE(strips.first()->StripText(), QStringLiteral("Velmora"));
    }
    QVERIFY(!qobject_cast<TTitleStripMenu*>(f.window->findChild<QMenu*>(QStringLiteral("MenuEdit"))));
    QVERIFY(!qobject_cast<TTitleStripMenu*>(f.window->findChild<QMenu*>(QStringLiteral("FileNew"))));
}

void MenusTest::popUpCommandsActOnTheSelectedNode() {
    MessageRecorder messages;
    Fixture f;
    const qint64 tools = f.cat.AddCategory(QStringLiteral("Tools"));
    f.cat.AddCategory(QStringLiteral("Grids"));
    f.cat.AddPackage(QStringLiteral("Hammer"), tools);
    QVERIFY(f.Show());
    QTreeWidgetItem* toolsNode = f.Node(QStringLiteral("Tools"));
    f.Expand(toolsNode);
    f.Select(toolsNode);
    // A right click on the component does not select it; every item is enabled.
    f.RightClick(f.Node(QStringLiteral("Hammer")));
    QMenu* popup = velm::test::OpenPopup();
    QVERIFY(popup);
    QCOMPARE(popup->objectName(), QStringLiteral("PopupMenuTree"));
    QCOMPARE(f.Tree()->currentItem(), toolsNode);
    for (QAction* action : popup->actions())
        QVERIFY(action->isEnabled());
    velm::test::ChooseFromOpenPopup(QStringLiteral("&Delete"));
    QCOMPARE(messages.Count(), 1);
    QVERIFY(messages.Last().text.startsWith(QStringLiteral("Do you really want to delete the category: Tools")));
    QCOMPARE(f.TopLevelTexts(), QStringList{"Grids"});
    QVERIFY(f.cat.Stored(QStringLiteral("SELECT * FROM CPInfo")).isEmpty());
}

void MenusTest::collapseAndUnfold() {
    Fixture f;
    const qint64 tools = f.cat.AddCategory(QStringLiteral("Tools"));
    f.cat.AddCategory(QStringLiteral("Empty"));
    f.cat.AddPackage(QStringLiteral("Hammer"), tools);
    QVERIFY(f.Show());
    velm::test::ChooseMenu(f.window.get(), {"&View", "&Unfold Tree"});
    QTreeWidgetItem* toolsNode = f.Node(QStringLiteral("Tools"));
    QVERIFY(toolsNode->isExpanded());
    // Only categories with components show the open drawer.
    QVERIFY(f.Shows(toolsNode, kImageDrawerOpen));
    QVERIFY(f.Shows(f.Node(QStringLiteral("Empty")), kImageDrawerClosed));
    f.Select(f.Node(QStringLiteral("Hammer")));
    QVERIFY(!f.window->ImageLogo()->isVisible());

    velm::test::ChooseMenu(f.window.get(), {"&View", "&Collapse Tree"});
    QVERIFY(!toolsNode->isExpanded());
    QVERIFY(f.Shows(toolsNode, kImageDrawerClosed));
    QCOMPARE(f.window->SelectedNode(), toolsNode);
    QVERIFY(f.window->ImageLogo()->isVisible());
    QVERIFY(!f.window->PageControlComponentInfo()->isVisible());

    // The expand button and a double click open a category as well, with its picture.
    f.Expand(toolsNode);
    QVERIFY(toolsNode->isExpanded());
    QVERIFY(f.Shows(toolsNode, kImageDrawerOpen));
    velm::test::DoubleClick(f.Tree()->viewport(), velm::test::NodePoint(f.Tree(), toolsNode));
    QVERIFY(!toolsNode->isExpanded());
    QVERIFY(f.Shows(toolsNode, kImageDrawerClosed));
}

void MenusTest::helpAndHints() {
    LauncherRecorder launcher;
    Fixture f;
    QVERIFY(f.Show());
    velm::test::ChooseMenu(f.window.get(), {"&Help", "&Contents / Index"});
    QCOMPARE(launcher.helpTopics, QList<int>{kHelpContentsTopic});
    QVERIFY(HelpTopicPath(kHelpContentsTopic).endsWith(QStringLiteral("help/index.html")));
    QVERIFY(HelpTopicPath(400).endsWith(QStringLiteral("help/400.html")));

    // A highlighted item's hint goes to the status bar.
    QMenu* file = velm::test::OpenMenu(f.window.get(), QStringLiteral("&File"));
    QVERIFY(file);
    // The pictures are there by the time a menu is open.
    for (const char* name : {"FileImportComponent", "FileExit", "EditDelete", "PopUpDelete"})
        QVERIFY2(!f.Action(name)->icon().isNull(), name);
    velm::test::Hover(file, QStringLiteral("&Import Component Info..."));
    QCOMPARE(f.window->statusBar()->currentMessage(), QStringLiteral("Import component info from zip file"));
    velm::test::Hover(file, QStringLiteral("&New"));
    QCOMPARE(f.window->statusBar()->currentMessage(), QStringLiteral("Open new database"));
    velm::test::Hover(file, QStringLiteral("&Export..."));
    QCOMPARE(f.window->statusBar()->currentMessage(), f.Action("FileExport")->statusTip());
    QVERIFY(!f.Action("FileExport")->statusTip().isEmpty());
    // Its letter chooses it from the keyboard: the export's file dialog comes up.
    velm::test::FileDialogRecorder dialogs;
    velm::test::Type(file, QStringLiteral("e"));
    QCOMPARE(dialogs.saveRequests.size(), 1);
    velm::test::CloseMenus();
}

void MenusTest::optionsRecolourTheWindowOnlyOnOk() {
    Fixture f;
    // Red, in the stored byte order.
    QDir().mkpath(QFileInfo(f.cat.SettingsFile()).absolutePath());
    QFile settings(f.cat.SettingsFile());
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write("Windows Registry Editor Version 5.00\r\n\r\n"
                   "[HKEY_CURRENT_USER\\Software\\Tarnwick Software\\VELM]\r\n"
                   "\"PanelColor\"=dword:000000ff\r\n");
    settings.close();
    QVERIFY(f.Show());
    const auto leftColour = [&f] { return f.window->PanelLeft()->palette().color(QPalette::Window); };
    const QColor before = leftColour();
    QCOMPARE(before, QColor(Qt::red));

    velm::test::AnswerNextModal<TFormOptions>([](TFormOptions* dialog) {
        velm::test::Click(dialog->ButtonReset());
        velm::test::Click(dialog->BitBtnCancel());
    });
    velm::test::ChooseMenu(f.window.get(), {"&File", "&Options..."});
    QCOMPARE(leftColour(), before);

    velm::test::AnswerNextModal<TFormOptions>([](TFormOptions* dialog) {
        velm::test::Click(dialog->ButtonReset());
        velm::test::Click(dialog->BitBtnOK());
    });
    velm::test::ChooseMenu(f.window.get(), {"&File", "&Options..."});
    QCOMPARE(leftColour(), ColorRefToQColor(SettingsRecord().PanelColor));
}

void MenusTest::exitClosesTheWindow() {
    Fixture f;
    QVERIFY(f.Show());
    velm::test::ChooseMenu(f.window.get(), {"&File", "E&xit"});
    QVERIFY(!f.window->isVisible());
}

QTEST_MAIN(MenusTest)
#include "test_menus.moc"
