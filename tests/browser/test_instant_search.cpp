// The instant search, driven as a user drives it: Ctrl+F, a text typed, the hits listed
// as they come; Enter on a hit; the list following the catalogue's changes; an older
// catalogue's texts indexed at start.
#include "catalogue/works_with.h"
#include "app/indexing_progress.h"
#include "browser/instant_search_panel.h"
#include "catalogue/archive_index.h"
#include "import/form_msg_dlg.h"
#include "import/zip_builder.h"
#include "support/file_dialog_recorder.h"
#include "support/main_window_fixture.h"
#include "support/message_recorder.h"
#include "support/modal_dialog.h"
#include "viewer/form_view_zip.h"

#include <QAbstractButton>
#include <QDockWidget>
#include <QFile>
#include <QProgressDialog>
#include <QTableView>
#include <QTemporaryDir>
#include <QComboBox>
#include <QAbstractItemView>

using namespace velm;
using velm::test::MainWindowFixture;
using velm::test::ZipBuilder;

namespace {

std::vector<TArchiveMemberRecord> MembersNamed(const QStringList& names) {
    std::vector<TArchiveMemberRecord> members;
    for (const QString& name : names)
        members.push_back({name, 100, 60, QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)), 0, name.endsWith(u'\\')});
    return members;
}

// FastGrid (Grids), whose archive holds Source\FastGrid.pas among many members, and
// ZipKit (Tools), whose archive holds a demo that uses the grid.
struct Fixture : MainWindowFixture {
    Fixture() {
        FormMsgDlg = &messageDialog;
        grids = cat.AddCategory(QStringLiteral("Grids"));
        tools = cat.AddCategory(QStringLiteral("Tools"));
        fast = cat.AddPackage(QStringLiteral("FastGrid"), grids);
        zipKit = cat.AddPackage(QStringLiteral("ZipKit"), tools);
        QStringList names;
        for (int i = 0; i < 60; ++i)
            names << QStringLiteral("Help\\Page%1.htm").arg(i, 2, 10, QLatin1Char('0'));
        names << QStringLiteral("Source\\FastGrid.pas");
        ZipBuilder archive;
        for (const QString& name : names)
            archive.Add(QString(name).replace(u'\\', u'/').toLatin1(), "unit FastGrid;");
        QFile file(archives.filePath(QStringLiteral("FastGrid.zip")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(archive.Build());
        file.close();
        QVERIFY(Packages().Locate(QStringLiteral("ID"), fast, false));
        Packages().Edit();
        Packages().FieldByName(QStringLiteral("ArchiveFile"))->SetAsString(QStringLiteral("FastGrid.zip"));
        Packages().FieldByName(QStringLiteral("ArchiveFilePath"))->SetAsString(archives.path() + u'/');
        Packages().Post();
        Index().ReplaceMembers(fast, MembersNamed(names), {});
        Index().ReplaceMembers(zipKit, MembersNamed({"ZipKit.pas", "Demo\\UsesGrid.dpr"}), {});
    }
    ~Fixture() {
        window.reset();
        FormMsgDlg = nullptr;
    }

    TArchiveIndex& Index() { return *cat.Module().ArchiveIndex(); }
    TInstantSearchPanel* Panel() const { return window->findChild<TInstantSearchPanel*>(); }
    QLineEdit* Field() const { return Panel()->Field(); }
    QTableView* List() const { return Panel()->List(); }
    bool ListShown() const { return Panel()->Dock() && Panel()->Dock()->isVisible(); }
    QString Title() const { return Panel()->Dock()->windowTitle(); }
    // Picks a version in the list's "Works with" box, with clicks.
    void ChooseVersion(const QString& name) {
        QComboBox* box = Panel()->WorksWithFilter();
        velm::test::Click(box);
        const QModelIndex item = box->model()->index(box->findText(name), 0);
        box->view()->scrollTo(item);
        velm::test::Click(box->view()->viewport(), box->view()->visualRect(item).center());
    }

    // Ctrl+F from wherever the focus is, and the text typed over what the field held.
    void Find(const QString& text) {
        Press(Qt::Key_F, Qt::ControlModifier);
        QVERIFY(Field()->hasFocus());
        velm::test::Type(Field(), text);
    }
    // Each row as shown: component, category, where, and the marked part of the text.
    QStringList Rows() const {
        QStringList rows;
        if (!List())
            return rows;
        const QAbstractItemModel* model = List()->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < 3; ++column)
                cells << model->index(row, column).data().toString();
            const QModelIndex text = model->index(row, 3);
            const QPoint match = text.data(Qt::UserRole + 1).toPoint();
            cells << text.data().toString().mid(match.x(), match.y());
            rows << cells.join(u'|');
        }
        return rows;
    }

    QTemporaryDir archives;
    TFormMsgDlg messageDialog;
    velm::test::MessageRecorder messages;
    qint64 grids = 0;
    qint64 tools = 0;
    qint64 fast = 0;
    qint64 zipKit = 0;
};

}  // namespace

class InstantSearchTest : public QObject {
    Q_OBJECT
private slots:
    void typingListsTheHitsAndEscapeEmptiesTheList();
    void enterOnAHitSelectsItAndOnAMemberOpensTheArchiveThere();
    void theHitsFollowImportRenameAndDeletes();
    void anOlderCatalogueIsIndexedAtStartWithProgress();
};

void InstantSearchTest::typingListsTheHitsAndEscapeEmptiesTheList() {
    Fixture f;
    QVERIFY(f.Show());
    QVERIFY(!f.ListShown());
    f.Find(QStringLiteral("GRID"));
    QTRY_VERIFY(f.ListShown());
    // Field hits first, then members; the match as it stands in the text.
    QCOMPARE(f.Rows(), (QStringList{"FastGrid|Grids|ProductName|Grid", "FastGrid|Grids|ArchiveFile|Grid",
                                    "FastGrid|Grids|Archive member|Grid", "ZipKit|Tools|Archive member|Grid"}));
    QCOMPARE(f.Title(), QStringLiteral("4 hits for \"GRID\""));
    // Two letters are a scan; the list follows each change of the text.
    f.Find(QStringLiteral("pa"));
    QTRY_COMPARE(f.Title(), QStringLiteral("62 hits for \"pa\""));
    f.Find(QStringLiteral("nothing like it"));
    QTRY_COMPARE(f.Title(), QStringLiteral("Nothing found for \"nothing like it\""));
    QVERIFY(f.Rows().isEmpty());

    // More than the list holds: the first ones, and the user is told.
    QStringList many;
    for (int i = 0; i < 210; ++i)
        many << QStringLiteral("Unit%1.pas").arg(i);
    f.Index().ReplaceMembers(f.zipKit, MembersNamed(many), {});
    f.Find(QStringLiteral("unit"));
    QTRY_COMPARE(f.Title(), QStringLiteral("The first 200 hits for \"unit\": type more to narrow them down"));
    QCOMPARE(f.Rows().size(), 200);

    // Closed by its box, the list comes back with Ctrl+F.
    velm::test::Click(f.Panel()->Dock()->findChild<QAbstractButton*>(QStringLiteral("qt_dockwidget_closebutton")));
    QVERIFY(!f.ListShown());
    f.Press(Qt::Key_F, Qt::ControlModifier);
    QVERIFY(f.ListShown());

    // Escape empties the field and the list goes; a second one hands the focus back.
    velm::test::Key(f.Field(), Qt::Key_Escape);
    QVERIFY(f.Field()->text().isEmpty());
    QVERIFY(!f.ListShown());
    QVERIFY(f.Field()->hasFocus());
    velm::test::Key(f.Field(), Qt::Key_Escape);
    QVERIFY(f.Tree()->hasFocus());
}

void InstantSearchTest::enterOnAHitSelectsItAndOnAMemberOpensTheArchiveThere() {
    Fixture f;
    QVERIFY(f.Show());
    f.Select(f.Node(QStringLiteral("ZipKit")));
    // Enter at once, before the typing pause has passed, goes to the first hit.
    f.Find(QStringLiteral("fastgrid"));
    velm::test::Key(f.Field(), Qt::Key_Return);
    QCOMPARE(f.window->SelectedNode(), f.Node(QStringLiteral("FastGrid")));
    QCOMPARE(f.Packages().FieldByName(QStringLiteral("ProductName"))->AsString(), QStringLiteral("FastGrid"));

    // From the keyboard down to the member, whose archive opens at it.
    f.Select(f.Node(QStringLiteral("ZipKit")));
    f.Find(QStringLiteral("fastgrid.pas"));
    QTRY_COMPARE(f.Rows(), QStringList{"FastGrid|Grids|Archive member|FastGrid.pas"});
    velm::test::Key(f.Field(), Qt::Key_Down);
    QVERIFY(f.List()->hasFocus());
    QString selected;
    bool inView = false;
    velm::test::AnswerNextModal<TFormViewZip>([&](TFormViewZip* viewer) {
        TSortGrid* grid = viewer->SortGrid1();
        selected = grid->Cells(0, grid->Row());
        inView = grid->viewport()->rect().contains(grid->visualItemRect(grid->item(grid->Row(), 0)));
        velm::test::Key(viewer, Qt::Key_Escape);
    });
    velm::test::Key(f.List(), Qt::Key_Return);
    QCOMPARE(selected, QStringLiteral("Source\\FastGrid.pas"));
    QVERIFY(inView);
    QCOMPARE(f.window->SelectedNode(), f.Node(QStringLiteral("FastGrid")));
    // The window is active again once the viewer has gone (offscreen, it is told).
    QVERIFY(velm::test::ShowAndActivate(f.window.get()));

    // A double click on a field hit selects, and opens nothing.
    f.Find(QStringLiteral("zipkit"));
    QTRY_COMPARE(f.Rows().value(0), QStringLiteral("ZipKit|Tools|ProductName|ZipKit"));
    velm::test::DoubleClick(f.List()->viewport(), f.List()->visualRect(f.List()->model()->index(0, 3)).center());
    QCOMPARE(f.window->SelectedNode(), f.Node(QStringLiteral("ZipKit")));
    QVERIFY(f.messages.shown.isEmpty());
}

void InstantSearchTest::theHitsFollowImportRenameAndDeletes() {
    Fixture f;
    QVERIFY(f.Show());
    f.Find(QStringLiteral("grid"));
    QTRY_COMPARE(f.Rows().size(), 4);

    // Limited to the components that work with one version, and back to all.
    TWorksWith(f.Index()).ReplaceFound(f.zipKit, std::vector<TWorksWithRow>{{"D7", "detected", "ZipKit_D7.dpk"}}, 1);
    f.ChooseVersion(QStringLiteral("Delphi 7"));
    QCOMPARE(f.Rows(), QStringList{"ZipKit|Tools|Archive member|Grid"});
    QCOMPARE(f.Title(), QStringLiteral("1 hit for \"grid\" in components for Delphi 7"));
    f.ChooseVersion(QStringLiteral("Any version"));
    QCOMPARE(f.Rows().size(), 4);

    // An import into the catalogue.
    velm::test::FileDialogRecorder dialogs;
    QFile archive(f.archives.filePath(QStringLiteral("GridPad.zip")));
    QVERIFY(archive.open(QIODevice::WriteOnly));
    archive.write(ZipBuilder().Add("pad.inf", "[DSP upload]\r\nCategory=Tools\r\nDescription=A grid pad\r\n").Build());
    archive.close();
    dialogs.PickNext({archive.fileName()});
    f.Select(f.Category(1));
    velm::test::ChooseMenu(f.window.get(), {"&File", "&Import Component Info..."});
    QTRY_COMPARE(f.Rows().filter(QStringLiteral("GridPad|")),
                 (QStringList{"GridPad|Tools|ProductName|Grid", "GridPad|Tools|ProductDescription|grid",
                              "GridPad|Tools|ArchiveFile|Grid"}));

    // A rename, typed into the tree's label.
    f.Select(f.Node(QStringLiteral("FastGrid")));
    QVERIFY(f.TypeLabel(QStringLiteral("FleetGrid")));
    f.Press(Qt::Key_Return);
    QTRY_VERIFY(f.Rows().contains(QStringLiteral("FleetGrid|Grids|ProductName|Grid")));
    QVERIFY(f.Rows().filter(QStringLiteral("FastGrid|")).isEmpty());

    // A component deleted, then a whole category.
    f.Select(f.Node(QStringLiteral("GridPad")));
    f.Press(Qt::Key_Delete);
    QTRY_VERIFY(f.Rows().filter(QStringLiteral("GridPad|")).isEmpty());
    f.Select(f.Node(QStringLiteral("Grids")));
    f.Press(Qt::Key_Delete);
    QTRY_COMPARE(f.Rows(), QStringList{"ZipKit|Tools|Archive member|Grid"});
    QCOMPARE(f.messages.Count(), 2);  // the two questions, answered Yes
}

void InstantSearchTest::anOlderCatalogueIsIndexedAtStartWithProgress() {
    velm::test::TempCatalogue cat;
    const qint64 grids = cat.AddCategory(QStringLiteral("Grids"));
    cat.AddPackage(QStringLiteral("FastGrid"), grids);
    cat.Module().Close();
    // A catalogue of an older build, which another program filled.
    QVERIFY(QFile::remove(cat.DataFolder() + QString::fromLatin1(TArchiveIndex::kFileName)));
    QVERIFY(cat.Execute(QStringLiteral("UPDATE CPInfo SET Author = 'Bert Quill'")));
    // The start-up's progress, here without its half second's grace.
    QStringList shown;
    {
        TIndexingProgress progress(0);
        QVERIFY(cat.Module().Open([&](qint64 done, qint64 total) {
            const bool goOn = progress.Step(done, total);
            if (progress.Dialog() && progress.Dialog()->isVisible() && !shown.contains(progress.Dialog()->labelText()))
                shown << progress.Dialog()->labelText();
            return goOn;
        }));
    }
    QCOMPARE(shown, (QStringList{"Indexing the catalogue...\n0 of 1 components",
                                 "Indexing the catalogue...\n1 of 1 components"}));

    TFormMain window(cat.ProgramFolder());
    QVERIFY(velm::test::ShowAndActivate(&window));
    auto* panel = window.findChild<TInstantSearchPanel*>();
    velm::test::Key(&window, Qt::Key_F, Qt::ControlModifier);
    velm::test::Type(panel->Field(), QStringLiteral("quill"));
    QTRY_VERIFY(panel->Dock());
    QTRY_COMPARE(panel->Dock()->windowTitle(), QStringLiteral("1 hit for \"quill\""));
}

QTEST_MAIN(InstantSearchTest)
#include "test_instant_search.moc"
