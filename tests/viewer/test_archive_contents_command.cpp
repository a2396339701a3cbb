// The main window's way into the archive viewer: the button beside the archive's name
// on the "Additional info" sheet, clicked as a user clicks it.
#include "browser/component_detail_panel.h"
#include "browser/form_main.h"
#include "catalogue/table.h"
#include "support/message_recorder.h"
#include "support/temp_catalogue.h"
#include "viewer/form_view_zip.h"

#include <QApplication>
#include <QTabBar>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

using namespace velm;
using velm::test::MessageRecorder;
using velm::test::TempCatalogue;

class ArchiveContentsCommandTest : public QObject {
    Q_OBJECT
private slots:
    void recordWithoutArchiveNameReportsTheFolder();
};

void ArchiveContentsCommandTest::recordWithoutArchiveNameReportsTheFolder() {
    TempCatalogue cat;
    const qint64 tools = cat.AddCategory(QStringLiteral("Tools"));
    cat.AddPackage(QStringLiteral("Hammer"), tools);
    const QString folder = cat.ProgramFolder() + QStringLiteral("downloads/");
    TTable& packages = *cat.Module().TableCPInfo;
    QVERIFY(packages.Locate(QStringLiteral("ProductName"), QStringLiteral("Hammer"), false));
    packages.Edit();
    packages.FieldByName(QStringLiteral("ArchiveFilePath"))->SetAsString(folder);
    packages.Post();

    TFormMain window(cat.ProgramFolder());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTreeWidget* tree = window.TreeViewCategories();
    tree->expandAll();
    QTreeWidgetItem* hammer = tree->topLevelItem(0)->child(0);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(hammer).center());
    QCOMPARE(tree->currentItem(), hammer);

    TComponentDetailPanel* panel = window.DetailPanel();
    QTabBar* sheets = panel->tabBar();
    const int additional = panel->indexOf(panel->findChild<QWidget*>(QStringLiteral("TabSheetAdditional")));
    QTest::mouseClick(sheets, Qt::LeftButton, {}, sheets->tabRect(additional).center());
    QCOMPARE(panel->currentIndex(), additional);

    MessageRecorder messages;
    auto* button = panel->findChild<QToolButton*>(QStringLiteral("SpeedButtonViewArchive"));
    QVERIFY(button->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
    // The viewer opened, reported the folder alone as not found, and closed.
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().kind, MessageKind::PlainNotice);
    QCOMPARE(messages.Last().text, QStringLiteral("Error - file not found: ") + folder);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QVERIFY(window.findChildren<TFormViewZip*>().isEmpty());
}

QTEST_MAIN(ArchiveContentsCommandTest)
#include "test_archive_contents_command.moc"
