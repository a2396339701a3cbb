#include "kit/helpers.h"
#include "kit/tree_helpers.h"
#include "catalogue/database_error.h"
#include "support/message_recorder.h"

#include <QItemSelectionModel>
#include <QTest>
#include <QTreeWidget>

#include <climits>
#include <stdexcept>

using namespace velm;

namespace {

const QString kFirstLine = QStringLiteral("An error has occurred when updating the database.\r\r");

QTreeWidgetItem* AddNode(QTreeWidget& tree, QTreeWidgetItem* parent, const QString& text) {
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(&tree);
    item->setText(0, text);
    return item;
}

}  // namespace

class TestHelpers : public QObject {
    Q_OBJECT

private slots:
    void aDuplicateNameIsExplainedByKind() {
        test::MessageRecorder messages;
        const EDatabaseError duplicate(QStringLiteral("Key violation"), {kKeyViolation});

        ReportDatabaseError(duplicate, kRenameCategory, QStringLiteral("Grids"), QStringLiteral("Editors"));
        QCOMPARE(messages.Count(), 1);
        QCOMPARE(messages.Last().kind, MessageKind::Error);
        QCOMPARE(messages.Last().caption, QStringLiteral("Error"));
        QCOMPARE(messages.Last().text, kFirstLine + QStringLiteral(
            "Categories must have unique names,\r"
            "so change from Grids to Editors is not possible because\r"
            "Editors already exist as a category !"));

        ReportDatabaseError(duplicate, kRenameComponent, QStringLiteral("ZipKit"), QStringLiteral("zipkit 2"));
        QCOMPARE(messages.Last().text, kFirstLine + QStringLiteral(
            "Components must have unique names,\r"
            "so change from ZipKit to zipkit 2 is not possible because\r"
            "zipkit 2 already exist as a component !"));

        // The archive import names the component whose row could not be stored.
        ReportDatabaseError(duplicate, kImportedComponent, QStringLiteral("FastGrid"), QString());
        QCOMPARE(messages.Last().text, kFirstLine + QStringLiteral(
            "Components must have unique names,\r"
            "so the imported component FastGrid cannot be stored because its name already exists !"));
        QCOMPARE(messages.Count(), 3);
    }

    void otherFailuresGiveTheFirstLineAlone() {
        test::MessageRecorder messages;
        ReportDatabaseError(EDatabaseError(QStringLiteral("Index out of date"), {8965, kKeyViolation}),
                            kRenameCategory, QStringLiteral("a"), QStringLiteral("b"));
        ReportDatabaseError(EDatabaseError(QStringLiteral("No codes")), kRenameCategory, QStringLiteral("a"),
                            QStringLiteral("b"));
        ReportDatabaseError(std::runtime_error("disk full"), kRenameComponent, QStringLiteral("a"),
                            QStringLiteral("b"));
        QCOMPARE(messages.Count(), 3);
        for (const auto& shown : messages.shown) {
            QCOMPARE(shown.kind, MessageKind::Error);
            QCOMPARE(shown.text, kFirstLine);
        }
    }

    void setBitCountsBitsModulo32() {
        QCOMPARE(SetBit(0, 33, true), 2);
        QCOMPARE(SetBit(0xFF, 33, false), 0xFD);
        QCOMPARE(SetBit(2, 1, true), 2);  // already set
        QCOMPARE(SetBit(0, 31, true), INT_MIN);
        QCOMPARE(SetBit(-1, 31, false), INT_MAX);
    }

    void baseNameWithoutExt_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
#ifdef Q_OS_WIN
        QTest::newRow("several dots") << "C:\\Archives\\pkg.beta.zip" << "pkg";
        QTest::newRow("dot in a folder") << "c:\\dir.x\\name" << "name";
        QTest::newRow("leading dot") << "C:\\tmp\\.zip" << "";
        QTest::newRow("drive only") << "D:setup.exe" << "setup";
        QTest::newRow("folder only") << "C:\\tmp\\" << "";
#else
        // Ordinary characters of a file name here.
        QTest::newRow("backslash and colon") << "/tmp/back\\slash:2.0.zip" << "back\\slash:2";
#endif
        QTest::newRow("dot in a posix folder") << "/home/u/dir.x/name" << "name";
        QTest::newRow("bare name") << "readme" << "readme";
        QTest::newRow("spaces and semicolon") << "/data/My Zips; old/Comp Kit 2.0.zip" << "Comp Kit 2";
        QTest::newRow("leading dot in a posix path") << "/tmp/.zip" << "";
        QTest::newRow("posix folder only") << "/tmp/" << "";
    }

    void baseNameWithoutExt() {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(BaseNameWithoutExt(path), expected);
    }

    void findTreeNodeFollowsLevelAndIndexOrder() {
        QTreeWidget tree;
        QTreeWidgetItem* tools = AddNode(tree, nullptr, QStringLiteral("Tools"));
        QTreeWidgetItem* gridsPackage = AddNode(tree, tools, QStringLiteral("Grids"));
        QTreeWidgetItem* zip = AddNode(tree, tools, QStringLiteral("Zip"));
        QTreeWidgetItem* gridsCategory = AddNode(tree, nullptr, QStringLiteral("grids"));
        AddNode(tree, gridsCategory, QStringLiteral("Other"));
        QTreeWidgetItem* deep = AddNode(tree, zip, QStringLiteral("Deep"));

        // Collapsed children count; the package comes before the category in index order.
        QCOMPARE(FindTreeNode(&tree, QStringLiteral("GRIDS"), 0, false), gridsPackage);
        QCOMPARE(FindTreeNode(&tree, QStringLiteral("GRIDS"), 0, true), gridsCategory);
        QCOMPARE(FindTreeNode(&tree, QStringLiteral("gRiDs"), 1, true), gridsPackage);
        QCOMPARE(FindTreeNode(&tree, QStringLiteral("zip"), 0, true), nullptr);
        QCOMPARE(FindTreeNode(&tree, QStringLiteral("zip"), 1, true), zip);
        QCOMPARE(FindTreeNode(&tree, QStringLiteral("deep"), 2, true), deep);
        QCOMPARE(FindTreeNode(&tree, QStringLiteral("Tool"), 0, false), nullptr);
        QCOMPARE(FindTreeNode(nullptr, QStringLiteral("Tools"), 0, false), nullptr);
    }

    void findTreeNodeFoldsOnlyLettersAToZ() {
        QTreeWidget tree;
        QTreeWidgetItem* umlaut = AddNode(tree, nullptr, QStringLiteral("Über Tools 2"));
        QCOMPARE(FindTreeNode(&tree, QStringLiteral("Über TOOLS 2"), 0, true), umlaut);
        QCOMPARE(FindTreeNode(&tree, QStringLiteral("über tools 2"), 0, true), nullptr);
        QCOMPARE(FindTreeNode(&tree, QStringLiteral("Über Tools 2 "), 0, true), nullptr);
        // '@' / '`' and '[' / '{' sit next to the letters but are not letters.
        QVERIFY(!SameTextIgnoringAsciiCase(QStringLiteral("@["), QStringLiteral("`{")));
    }

    void findTreeNodeLeavesSelectionNotificationsAsTheyWere() {
        QTreeWidget tree;
        int treeChanges = 0;
        int modelChanges = 0;
        connect(&tree, &QTreeWidget::itemSelectionChanged, this, [&] { ++treeChanges; });
        connect(tree.selectionModel(), &QItemSelectionModel::selectionChanged, this, [&] { ++modelChanges; });

        QCOMPARE(FindTreeNode(&tree, QStringLiteral("anything"), 0, false), nullptr);
        QVERIFY(!tree.signalsBlocked());
        QVERIFY(!tree.selectionModel()->signalsBlocked());

        QTreeWidgetItem* first = AddNode(tree, nullptr, QStringLiteral("First"));
        QTreeWidgetItem* second = AddNode(tree, nullptr, QStringLiteral("Second"));
        tree.setCurrentItem(first);
        treeChanges = modelChanges = 0;
        QCOMPARE(FindTreeNode(&tree, QStringLiteral("second"), 0, true), second);
        QCOMPARE(tree.currentItem(), first);
        tree.setCurrentItem(second);
        QCOMPARE(treeChanges, 1);
        QCOMPARE(modelChanges, 1);

        // A caller that had them detached gets them back detached.
        tree.blockSignals(true);
        FindTreeNode(&tree, QStringLiteral("first"), 0, true);
        QVERIFY(tree.signalsBlocked());
        QVERIFY(!tree.selectionModel()->signalsBlocked());
    }
};

QTEST_MAIN(TestHelpers)
#include "test_helpers.moc"
