// Duplicates as the user meets them: Tools > Find Duplicates... with its two lists, and
// the detail panel's line about a newer version.
#include "browser/component_detail_panel.h"
#include "browser/form_find_duplicates.h"
#include "browser/form_main.h"
#include "browser/newer_version_line.h"
#include "catalogue/archive_index.h"
#include "catalogue/data_module.h"
#include "catalogue/database.h"
#include "support/main_window_fixture.h"
#include "support/message_recorder.h"

#include <QPushButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTreeWidget>

using namespace velm;
using velm::test::MessageRecorder;

namespace {

// Grids holds one product in three versions, two of them from the same archive, and
// a second archive catalogued twice; Lone has no duplicate.
struct Fixture : velm::test::MainWindowFixture {
    qint64 grids = cat.AddCategory(QStringLiteral("Grids"));
    qint64 fastGrid = Add(QStringLiteral("FastGrid"), 2, 9, QStringLiteral("aa"), {"D7", "D2005"});
    qint64 fastGrid1 = Add(QStringLiteral("FastGrid1"), 2, 10, QStringLiteral("aa"));
    qint64 fastGrid2 = Add(QStringLiteral("FastGrid2"), 2, 1, QString());
    qint64 other = Add(QStringLiteral("Other"), 1, 0, QStringLiteral("bb"));
    qint64 spare = Add(QStringLiteral("Spare"), 1, 0, QStringLiteral("bb"));
    qint64 lone = Add(QStringLiteral("Lone"), 1, 0, QStringLiteral("cc"));

    qint64 Add(const QString& name, int major, int minor, const QString& sha256, const QStringList& ides = {}) {
        const qint64 id = cat.AddPackage(name, grids);
        TArchiveIndex& index = *DMvelm->ArchiveIndex();
        const QString m = QuoteIdentifier(index.Schema());
        index.Database().Exec(QStringLiteral("UPDATE %1.CPInfo SET VersionMajor = %2, VersionMinor = %3, "
                                             "ArchiveFile = '%4.zip' WHERE ID = %5")
                                  .arg(QuoteIdentifier(index.PackageSchema()))
                                  .arg(major)
                                  .arg(minor)
                                  .arg(name)
                                  .arg(id));
        if (!sha256.isEmpty())
            index.Database().Exec(QStringLiteral("INSERT INTO %1.ArchiveFile (PackageID, Sha256, Size) VALUES (%2, '%3', 1)")
                                      .arg(m)
                                      .arg(id)
                                      .arg(sha256));
        for (const QString& ide : ides)
            index.Database().Exec(QStringLiteral("INSERT INTO %1.WorksWith (PackageID, Ide, Source) VALUES (%2, '%3', 'x')")
                                      .arg(m)
                                      .arg(id)
                                      .arg(ide));
        Packages().Refresh();
        return id;
    }
    TFormFindDuplicates* Form() const { return window->findChild<TFormFindDuplicates*>(); }
    // Each row of the window's list, indented by its level; a component's row with
    // its columns.
    QStringList Rows() const {
        QStringList rows;
        for (QTreeWidgetItemIterator it(Form()->TreeDuplicates()); *it; ++it) {
            QStringList columns;
            for (int c = 0; c < (*it)->columnCount(); ++c)
                columns << (*it)->text(c);
            while (!columns.isEmpty() && columns.back().isEmpty())
                columns.removeLast();
            const int level = (*it)->parent() ? ((*it)->parent()->parent() ? 2 : 1) : 0;
            rows << QString(level, u'-') + columns.join(u'|');
        }
        return rows;
    }
    // The n-th row of the list naming this component.
    QTreeWidgetItem* ListRow(const QString& name, int n = 0) const {
        for (QTreeWidgetItemIterator it(Form()->TreeDuplicates()); *it; ++it)
            if ((*it)->text(0) == name && (*it)->parent() && (*it)->parent()->parent() && n-- == 0)
                return *it;
        return nullptr;
    }
    QPoint At(QTreeWidgetItem* row) const {
        Form()->TreeDuplicates()->scrollToItem(row);
        return Form()->TreeDuplicates()->visualItemRect(row).center();
    }
    // Clicks the row's check box.
    void Tick(QTreeWidgetItem* row) const {
        QTreeWidget* list = Form()->TreeDuplicates();
        QStyleOptionViewItem option;
        option.initFrom(list);
        option.rect = list->visualItemRect(row);
        option.features = QStyleOptionViewItem::HasCheckIndicator;
        const QRect box = list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list);
        velm::test::Click(list->viewport(), box.center());
    }
    QString SelectedText() const { return SelectedNode() ? SelectedNode()->text(0) : QString(); }
    QTreeWidgetItem* SelectedNode() const { return window->SelectedNode(); }
};

}  // namespace

class FindDuplicatesTest : public QObject {
    Q_OBJECT
private slots:
    void listsNewestFirstShowsAComponentAndDeletesExactlyTheChecked();
    void newerVersionLineComparesNumbersAndItsLinkSelectsTheNewer();
};

void FindDuplicatesTest::listsNewestFirstShowsAComponentAndDeletesExactlyTheChecked() {
    MessageRecorder messages;
    Fixture f;
    QVERIFY(f.Show());
    f.Menu({"&Tools", "Find &Duplicates..."});
    QVERIFY(f.Form() && f.Form()->isVisible());
    // 2.10 is newer than 2.9; one product under three names, whatever their archives.
    QCOMPARE(f.Rows(), (QStringList{"Identical archives (2)",
                                    "-2 copies of FastGrid1.zip (SHA-256 aa)",
                                    "--FastGrid1|Grids|2.10|FastGrid1.zip",
                                    "--FastGrid|Grids|2.9|FastGrid.zip|D7, D2005",
                                    "-2 copies of Other.zip (SHA-256 bb)",
                                    "--Other|Grids|1.0|Other.zip",
                                    "--Spare|Grids|1.0|Spare.zip",
                                    "Same product under several names or versions (1)",
                                    "-FastGrid: 3 components",
                                    "--FastGrid1|Grids|2.10|FastGrid1.zip",
                                    "--FastGrid|Grids|2.9|FastGrid.zip|D7, D2005",
                                    "--FastGrid2|Grids|2.1|FastGrid2.zip"}));

    // A double click shows the component in the tree.
    velm::test::DoubleClick(f.Form()->TreeDuplicates()->viewport(), f.At(f.ListRow(QStringLiteral("FastGrid2"))));
    QCOMPARE(f.SelectedText(), QStringLiteral("FastGrid2"));

    // FastGrid ticked in both lists is one component; No deletes nothing.
    f.Tick(f.ListRow(QStringLiteral("FastGrid")));
    f.Tick(f.ListRow(QStringLiteral("FastGrid"), 1));
    f.Tick(f.ListRow(QStringLiteral("FastGrid2")));
    messages.AnswerNext(false);
    velm::test::Click(f.Form()->BitBtnDeleteChecked());
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().text,
             QStringLiteral("Do you really want to delete the 2 checked component(s): FastGrid, FastGrid2 ?"));
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT count(*) FROM CPInfo")), QStringList{"6"});

    velm::test::Click(f.Form()->BitBtnDeleteChecked());
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT ProductName FROM CPInfo ORDER BY ID")),
             (QStringList{"FastGrid1", "Other", "Spare", "Lone"}));
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT PackageID FROM m.ArchiveFile ORDER BY PackageID")),
             (QStringList{QString::number(f.fastGrid1), QString::number(f.other), QString::number(f.spare),
                          QString::number(f.lone)}));
    QCOMPARE(f.ChildTexts(f.Category(0)), (QStringList{"FastGrid1", "Other", "Spare", "Lone"}));
    QCOMPARE(f.Rows(), (QStringList{"Identical archives (1)", "-2 copies of Other.zip (SHA-256 bb)",
                                    "--Other|Grids|1.0|Other.zip", "--Spare|Grids|1.0|Spare.zip",
                                    "Same product under several names or versions (0)"}));
}

void FindDuplicatesTest::newerVersionLineComparesNumbersAndItsLinkSelectsTheNewer() {
    MessageRecorder messages;
    Fixture f;
    QVERIFY(f.Show());
    TNewerVersionLine* line = f.window->DetailPanel()->LabelNewerVersion();
    f.Select(f.Node(QStringLiteral("FastGrid1")));
    QVERIFY(!line->isVisible());
    f.Select(f.Node(QStringLiteral("Lone")));
    QVERIFY(!line->isVisible());
    // The line says what the newer one works with, less what the user removed.
    TArchiveIndex& index = *DMvelm->ArchiveIndex();
    index.Database().Exec(QStringLiteral("INSERT INTO %1.WorksWith (PackageID, Ide, Source, Evidence) VALUES "
                                         "(%2, 'D12', 'detected', 'a.dpk'), (%2, 'D11', 'detected', 'b.dpk'), "
                                         "(%2, 'D11', 'user', 'removed')")
                              .arg(QuoteIdentifier(index.Schema()))
                              .arg(f.fastGrid1));
    f.Select(f.Node(QStringLiteral("FastGrid")));
    QVERIFY(line->isVisible());
    QCOMPARE(line->text(), QStringLiteral("A newer version, 2.10, is catalogued as <a href=\"package\">FastGrid1</a> "
                                          "(works with D12)"));

    // A click on the name selects the newer component.
    const QFontMetrics metrics(line->font());
    const int end = metrics.horizontalAdvance(QStringLiteral("A newer version, 2.10, is catalogued as FastGrid1"));
    velm::test::Click(line, QPoint(end - metrics.horizontalAdvance(QStringLiteral("FastGrid1")) / 2, line->height() / 2));
    f.Settle();
    QCOMPARE(f.SelectedText(), QStringLiteral("FastGrid1"));
    QCOMPARE(messages.Count(), 0);
}

QTEST_MAIN(FindDuplicatesTest)
#include "test_find_duplicates.moc"
