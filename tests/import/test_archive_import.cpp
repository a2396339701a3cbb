// Archives imported through the main window's commands and drops, checked on the
// written columns, the tree and the questions asked.
#include "app/settings.h"
#include "browser/form_main.h"
#include "import/form_moveto_category.h"
#include "import/form_msg_dlg.h"
#include "import/velm_component.h"
#include "import/zip_builder.h"
#include "support/file_dialog_recorder.h"
#include "support/message_recorder.h"
#include "support/category_dialog_answers.h"
#include "support/modal_dialog.h"
#include "support/temp_catalogue.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QCheckBox>
#include <QLabel>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include <memory>

using namespace velm;
using velm::test::FileDialogRecorder;
using velm::test::MessageRecorder;
using velm::test::AnswerMove;
using velm::test::TempCatalogue;
using velm::test::ZipBuilder;

namespace {

const QDate kArchiveDate(2020, 5, 6);
const QDate kInfoDate(2001, 2, 3);  // the members' stored date

QByteArray InfFile(const QByteArray& category, const QByteArray& extra = QByteArray()) {
    QByteArray text = "[DSP upload]\r\n";
    if (!category.isNull())
        text += "Category=" + category + "\r\n";
    return text + extra;
}

QStringList ChildTexts(QTreeWidgetItem* node) {
    QStringList texts;
    for (int i = 0; i < node->childCount(); ++i)
        texts << node->child(i)->text(0);
    return texts;
}

QStringList TopLevelTexts(QTreeWidget* tree) {
    QStringList texts;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        texts << tree->topLevelItem(i)->text(0);
    return texts;
}

// Answers the "no info file" dialog, then (when asked for) the move dialog.
void AnswerMessageDialog(bool selectFromList, bool dontShowAgain = false) {
    velm::test::AnswerNextModal<TFormMsgDlg>([selectFromList, dontShowAgain](TFormMsgDlg* dialog) {
        (selectFromList ? dialog->RadioButtonSelectFromList() : dialog->RadioButtonUseSelected())->setChecked(true);
        dialog->CheckBoxDontShowAgain()->setChecked(dontShowAgain);
        dialog->BitBtnOK()->click();
    });
}


// Notes (and closes) any modal dialog that opens while it lives.
struct ModalWatch {
    QTimer timer;
    bool seen = false;
    ModalWatch() {
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                seen = true;
                dialog->reject();
            }
        });
        timer.start();
    }
};

// A shown main window over a temporary catalogue, a folder for archives and the
// message dialog of a running program.
struct Fixture {
    TempCatalogue cat;
    QTemporaryDir archives;
    TFormMsgDlg messageDialog;
    std::unique_ptr<TFormMain> window;
    qint64 tools = cat.AddCategory(QStringLiteral("Tools"));
    qint64 grids = cat.AddCategory(QStringLiteral("Grids"));

    Fixture() { FormMsgDlg = &messageDialog; }
    ~Fixture() {
        window.reset();
        FormMsgDlg = nullptr;
    }

    void Show() {
        window = std::make_unique<TFormMain>(cat.ProgramFolder());
        window->show();
    }
    // No dialog for archives without info: the target category is kept.
    void KeepTargetSilently() {
        messageDialog.DontShowAgain = true;
        messageDialog.UseSelectedCategory = true;
    }
    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = archives.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        file.flush();
        file.setFileTime(QDateTime(kArchiveDate, QTime(12, 0)), QFileDevice::FileModificationTime);
        return path;
    }
    QString Archive(const QString& name, ZipBuilder builder) { return Write(name, builder.Build()); }
    QTreeWidget* Tree() const { return window->TreeViewCategories(); }
    // Categories are ordered by name: Grids, Tools.
    QTreeWidgetItem* Category(const QString& name) const {
        for (int i = 0; i < Tree()->topLevelItemCount(); ++i)
            if (Tree()->topLevelItem(i)->text(0) == name)
                return Tree()->topLevelItem(i);
        return nullptr;
    }
    TTable& Packages() { return *cat.Module().TableCPInfo; }
    TTable& Categories() { return *cat.Module().TableCategory; }
    // The package row of that name, made current.
    TTable& Row(const QString& productName) {
        Packages().CheckBrowseMode();
        if (!Packages().Locate(QStringLiteral("ProductName"), productName, true))
            qFatal("no package row %s", qPrintable(productName));
        return Packages();
    }
    QString Text(const QString& productName, const char* field) {
        return Row(productName).FieldByName(QString::fromLatin1(field))->AsString();
    }
    int Number(const QString& productName, const char* field) {
        return Row(productName).FieldByName(QString::fromLatin1(field))->AsInteger();
    }
    void ImportThroughCommand(const QStringList& files) {
        FileDialogRecorder dialogs;
        dialogs.PickNext(files);
        window->FileImportComponentClick();
    }
};

}  // namespace

class ArchiveImportTest : public QObject {
    Q_OBJECT
private slots:
    void infFileFillsEveryColumnAndTheTree();
    void infWinsOverUplAndUplIsReadAlone();
    void unknownCategoriesAreAdded();
    void archivesWithoutInfoAskForTheCategory();
    void emptyCategoryNameAsksLikeAMissingInfoFile();
    void brokenArchivesAreTreatedAsHavingNoInfo();
    void databaseRefusalIsReportedAndTheRowIsKeptClean();
    void foldersAndMissingFilesAreRefused();
    void reimportRewritesTheShownComponent();
    void reimportMovesTheNodeWithTheRow();
    void dropsAskAndImportIntoTheDropCategory();
    void dropHitTestAndRealDropEvents();
    void emptyTreeHasNoCategoryToImportInto();
    void manyArchivesShowProgressAndCancelStopsBetweenArchives();
    void encryptedInfoFileIsNamedAndTreatedAsMissing();
    void droppedFolderImportsEveryArchiveBelowIt();
    void droppedFolderWithoutArchivesSaysSo();
    void droppedFolderShowsProgressAndCancels();
};

void ArchiveImportTest::infFileFillsEveryColumnAndTheTree() {
    MessageRecorder messages;
    Fixture f;
    f.Show();
    const QString path = f.Archive(
        QStringLiteral("Grid.Pro.v2.zip"),
        std::move(ZipBuilder().Add("source/grid.pas", "unit grid;").Add("docs/README.INF",
                                                                         InfFile("tools",
                                                                                 "Version=2.1 beta\r\n"
                                                                                 "File Status=Shareware\r\n"
                                                                                 "Full Source=Included\r\n"
                                                                                 "Delphi 1.0=Y\r\nDelphi 2.0=N\r\n"
                                                                                 "Delphi 3.0=Yes\r\nC++Builder 3.0=Y\r\n"
                                                                                 "Description=A grid\r\n"
                                                                                 "Note=Needs D3\r\n"
                                                                                 "Additional info=See site\r\n"
                                                                                 "[Uploader]\r\nAuthor name=Ann\r\n"
                                                                                 "Author E-mail=ann@example.org\r\n"
                                                                                 "Author URL=http://example.org\r\n"))));
    f.Tree()->setCurrentItem(f.Category(QStringLiteral("Grids")));
    FileDialogRecorder dialogs;
    dialogs.PickNext({path});
    f.window->FileImportComponentClick();

    QCOMPARE(dialogs.requests.size(), 1);
    const TOpenDialogRequest& request = dialogs.requests.first();
    QCOMPARE(request.Title, QStringLiteral("Open Delphi Component Archive"));
    QCOMPARE(request.Filter, QStringLiteral("ZIP files  (*.zip)"));
    QCOMPARE(request.DefaultSuffix, QStringLiteral("zip"));
    QVERIFY(request.MultiSelect);
    QCOMPARE(request.StartFolder, f.cat.ProgramFolder());
    QCOMPARE(Settings().LastArchiveDir, f.archives.path());
    QCOMPARE(messages.Count(), 0);

    // The category named in another case is the existing one.
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Tools"))), QStringList{"Grid"});
    QCOMPARE(f.Tree()->currentItem()->text(0), QStringLiteral("Grid"));
    QCOMPARE(f.Number("Grid", "Category"), f.tools);
    QCOMPARE(f.Text("Grid", "ArchiveFile"), QStringLiteral("Grid.Pro.v2.zip"));
    QCOMPARE(f.Text("Grid", "ArchiveFilePath"), QDir::toNativeSeparators(f.archives.path()) + QDir::separator());
    QCOMPARE(f.Row("Grid").FieldByName(QStringLiteral("DownloadDate"))->AsDate(), kArchiveDate);
    QCOMPARE(f.Row("Grid").FieldByName(QStringLiteral("ReleaseDate"))->AsDate(), kInfoDate);
    QCOMPARE(f.Text("Grid", "ProductDescription"),
             QStringLiteral("A grid\r\n\rNote:\rNeeds D3\rAdd.info:\rSee site"));
    QCOMPARE(f.Number("Grid", "FreeShareCommercial"), 1);
    QVERIFY(f.Row("Grid").FieldByName(QStringLiteral("FullSourceIncl"))->AsBoolean());
    QCOMPARE(f.Number("Grid", "VersionMajor"), 2);
    QCOMPARE(f.Number("Grid", "VersionMinor"), 1);
    QCOMPARE(f.Number("Grid", "Release"), 0);
    QCOMPARE(f.Number("Grid", "Build"), 0);
    QCOMPARE(f.Number("Grid", "Compatibility"), 37);
    QCOMPARE(f.Text("Grid", "Author"), QStringLiteral("Ann"));
    QCOMPARE(f.Text("Grid", "AuthorEmail"), QStringLiteral("ann@example.org"));
    QCOMPARE(f.Text("Grid", "FileURL"), QStringLiteral("http://example.org"));
    // Only the info files were extracted, flat.
    QCOMPARE(QDir(f.window->TmpFolder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
             QStringList{"README.INF"});

    // The same archive again gets the next free name.
    f.ImportThroughCommand({path});
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Tools"))), (QStringList{"Grid", "Grid1"}));
}

void ArchiveImportTest::infWinsOverUplAndUplIsReadAlone() {
    MessageRecorder messages;
    Fixture f;
    f.Show();
    f.Tree()->setCurrentItem(f.Category(QStringLiteral("Tools")));
    const QString both = f.Archive(QStringLiteral("Both.zip"),
                                   std::move(ZipBuilder()
                                                 .Add("pkg.upl", "[DSP upload]\r\nCategory=Tools\r\nVersion=9\r\n")
                                                 .Add("pkg.inf", InfFile("Grids", "Version=1.2.3.4\r\n"))));
    const QString upl = f.Archive(
        QStringLiteral("Upl.zip"),
        std::move(ZipBuilder().Add("x.UPL",
                                   "[DSP upload]\r\nCategory=Grids\r\ncount=2\r\n1=first\r\n2=second\r\n"
                                   "Delphi 4.0x=Y\r\nFull Source Included=N\r\n"
                                   "[Uploader_1]\r\nAuthor name=Bo\r\n")));
    f.ImportThroughCommand({both, upl});
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Grids"))), (QStringList{"Both", "Upl"}));
    QCOMPARE(f.Number("Both", "VersionMajor"), 1);
    QCOMPARE(f.Number("Both", "VersionMinor"), 2);
    QCOMPARE(f.Number("Both", "Release"), 3);
    QCOMPARE(f.Number("Both", "Build"), 4);
    // An .inf file counts full source as included unless it says otherwise.
    QVERIFY(f.Row("Both").FieldByName(QStringLiteral("FullSourceIncl"))->AsBoolean());
    QCOMPARE(f.Text("Both", "ProductDescription"), QStringLiteral("\r\n\rNote:\r\rAdd.info:\r"));
    QCOMPARE(f.Text("Upl", "ProductDescription"), QStringLiteral("first\r\nsecond\r\n\rNote:\r\rAdd.info:\r"));
    QCOMPARE(f.Number("Upl", "Compatibility"), 8);
    QVERIFY(!f.Row("Upl").FieldByName(QStringLiteral("FullSourceIncl"))->AsBoolean());
    QCOMPARE(f.Text("Upl", "Author"), QStringLiteral("Bo"));
    QCOMPARE(Settings().LastArchiveDir, f.archives.path());
    QCOMPARE(messages.Count(), 0);
}

void ArchiveImportTest::unknownCategoriesAreAdded() {
    MessageRecorder messages;
    Fixture f;
    f.Show();
    f.Tree()->setCurrentItem(f.Category(QStringLiteral("Tools")));
    const QString brandNew = f.Archive(QStringLiteral("A.zip"), std::move(ZipBuilder().Add("a.inf", InfFile("Brand New"))));
    f.ImportThroughCommand({brandNew});
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().kind, MessageKind::Information);
    QCOMPARE(messages.Last().text,
             QStringLiteral("The imported component belongs to category: Brand New, but this category is not "
                            "defined yet. \rThis category will be added now!"));
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Brand New"))), QStringList{"A"});
    QVERIFY(f.Categories().Locate(QStringLiteral("Name"), QStringLiteral("Brand New"), false));
    QCOMPARE(f.Number("A", "Category"), f.Categories().FieldByName(QStringLiteral("ID"))->AsInteger());

    // Silent with the setting off; a name longer than the column is added once, cut.
    Settings().ShowDragNDropInfoMsg = false;
    messages.Clear();
    const QString longName = f.Archive(
        QStringLiteral("B.zip"), std::move(ZipBuilder().Add("b.inf", InfFile("Very Long Category Name Beyond Width"))));
    f.ImportThroughCommand({longName, longName});
    QCOMPARE(messages.Count(), 0);
    QTreeWidgetItem* cut = f.Category(QStringLiteral("Very Long Category Name B"));
    QVERIFY(cut);
    QCOMPARE(ChildTexts(cut), (QStringList{"B", "B1"}));
    QCOMPARE(TopLevelTexts(f.Tree()).size(), 4);
}

void ArchiveImportTest::archivesWithoutInfoAskForTheCategory() {
    MessageRecorder messages;
    Fixture f;
    f.Show();
    f.Tree()->setCurrentItem(f.Category(QStringLiteral("Tools")));
    const QString bare = f.Archive(QStringLiteral("Bare.zip"), std::move(ZipBuilder().Add("readme.txt", "hello")));

    // Picked from the list.
    AnswerMessageDialog(true);
    AnswerMove(QStringLiteral("Grids"), true);
    f.ImportThroughCommand({bare});
    QCOMPARE(f.messageDialog.StaticTextComp()->text(), QStringLiteral("Bare"));
    QCOMPARE(f.messageDialog.StaticTextCategory()->text(), QStringLiteral("Tools"));
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Grids"))), QStringList{"Bare"});
    QCOMPARE(f.Number("Bare", "Category"), f.grids);
    QVERIFY(f.Row("Bare").FieldByName(QStringLiteral("ReleaseDate"))->AsDate().isNull());
    QCOMPARE(f.Text("Bare", "ProductDescription"), QStringLiteral("\rNote:\r\rAdd.info:\r"));
    QCOMPARE(f.Number("Bare", "FreeShareCommercial"), 0);

    // The list remembered and the move dialog cancelled: the target category stays.
    f.Tree()->setCurrentItem(f.Category(QStringLiteral("Tools")));
    AnswerMessageDialog(true, true);
    AnswerMove(QStringLiteral("Grids"), false);
    f.ImportThroughCommand({bare});
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Tools"))), QStringList{"Bare1"});
    QVERIFY(f.messageDialog.DontShowAgain);

    // Both answers remembered: no dialog at all.
    f.KeepTargetSilently();
    ModalWatch watch;
    f.Tree()->setCurrentItem(f.Category(QStringLiteral("Grids")));
    f.ImportThroughCommand({bare});
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Grids"))), (QStringList{"Bare", "Bare2"}));
    QVERIFY(!watch.seen);
    QCOMPARE(messages.Count(), 0);
}

void ArchiveImportTest::emptyCategoryNameAsksLikeAMissingInfoFile() {
    MessageRecorder messages;
    Fixture f;
    f.Show();
    f.Tree()->setCurrentItem(f.Category(QStringLiteral("Tools")));
    const QString path =
        f.Archive(QStringLiteral("Nameless.zip"), std::move(ZipBuilder().Add("n.inf", InfFile("", "Version=3\r\n"))));
    AnswerMessageDialog(false);
    f.ImportThroughCommand({path});
    // No category is made up for it: the row stays where it was aimed, the info is read.
    QCOMPARE(TopLevelTexts(f.Tree()), (QStringList{"Grids", "Tools"}));
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Tools"))), QStringList{"Nameless"});
    QCOMPARE(f.Number("Nameless", "VersionMajor"), 3);
    QCOMPARE(f.Row("Nameless").FieldByName(QStringLiteral("ReleaseDate"))->AsDate(), kInfoDate);
    QCOMPARE(messages.Count(), 0);
}

void ArchiveImportTest::brokenArchivesAreTreatedAsHavingNoInfo() {
    MessageRecorder messages;
    Fixture f;
    f.Show();
    f.KeepTargetSilently();
    f.Tree()->setCurrentItem(f.Category(QStringLiteral("Tools")));
    const QString text = f.Write(QStringLiteral("NotAZip.zip"), QByteArray("just some text, no archive at all"));
    const QString empty = f.Write(QStringLiteral("Empty.zip"), QByteArray());
    f.ImportThroughCommand({text, empty});
    // The archive reader names the damaged archive; both still get a row.
    QVERIFY(messages.Count() >= 1);
    QVERIFY(messages.shown.first().text.contains(QStringLiteral("NotAZip.zip")));
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Tools"))), (QStringList{"NotAZip", "Empty"}));
    QCOMPARE(f.Text("Empty", "ArchiveFile"), QStringLiteral("Empty.zip"));
    QCOMPARE(f.Row("Empty").FieldByName(QStringLiteral("DownloadDate"))->AsDate(), kArchiveDate);
}

void ArchiveImportTest::databaseRefusalIsReportedAndTheRowIsKeptClean() {
    MessageRecorder messages;
    Fixture f;
    f.Show();
    f.Tree()->setCurrentItem(f.Category(QStringLiteral("Tools")));
    const QString path = f.Archive(QStringLiteral("Huge.zip"),
                                   std::move(ZipBuilder().Add("h.inf", InfFile("Grids", "Version=70000.1\r\n"
                                                                                        "Author name=Zed\r\n"))));
    f.ImportThroughCommand({path});
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().kind, MessageKind::Error);
    QCOMPARE(messages.Last().text, QStringLiteral("An error has occurred when updating the database.\r\r"));
    // The created row stays, untouched by the failed writes, and the tree shows it where
    // the row says.
    QCOMPARE(f.Number("Huge", "Category"), f.tools);
    QCOMPARE(f.Text("Huge", "ArchiveFile"), QString());
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Tools"))), QStringList{"Huge"});
    QCOMPARE(f.Category(QStringLiteral("Grids"))->childCount(), 0);
}

void ArchiveImportTest::foldersAndMissingFilesAreRefused() {
    MessageRecorder messages;
    Fixture f;
    f.Show();
    f.Tree()->setCurrentItem(f.Category(QStringLiteral("Tools")));
    QDir(f.archives.path()).mkdir(QStringLiteral("folder.zip"));
    const QString folder = f.archives.filePath(QStringLiteral("folder.zip"));
    const QString missing = f.archives.filePath(QStringLiteral("gone.zip"));
    const QString good = f.Archive(QStringLiteral("Good.zip"), std::move(ZipBuilder().Add("g.inf", InfFile("Tools"))));
    f.window->DropFiles({folder, missing, good}, QPoint(-1, -1));  // dropped with the question answered Yes
    // A folder stands for the archives below it: this one has none.
    QCOMPARE(messages.Count(), 3);
    QCOMPARE(messages.shown.at(0).kind, MessageKind::Error);
    QCOMPARE(messages.shown.at(0).text, QStringLiteral("No archives (.zip) were found in the folder \"") +
                                            QDir::toNativeSeparators(folder) + QStringLiteral("\"."));
    QVERIFY(messages.shown.at(1).text.startsWith(QStringLiteral("You dropped 2 file(s)")));
    QVERIFY(messages.shown.at(2).text.contains(missing));
    // Nothing half-written; the next file is still imported.
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Tools"))), QStringList{"Good"});
    int rows = 0;
    for (f.Packages().First(); !f.Packages().Eof(); f.Packages().Next())
        ++rows;
    QCOMPARE(rows, 1);

    // A Tmp folder that cannot be made refuses the import the same way.
    QDir(f.window->TmpFolder).removeRecursively();
    QFile blocker(QDir::cleanPath(f.window->TmpFolder));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    messages.Clear();
    f.ImportThroughCommand({good});
    QCOMPARE(messages.Count(), 1);
    QVERIFY(messages.Last().text.startsWith(QStringLiteral("The folder for temporary files cannot be created")));
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Tools"))), QStringList{"Good"});
}

void ArchiveImportTest::reimportRewritesTheShownComponent() {
    MessageRecorder messages;
    Fixture f;
    const qint64 id = f.cat.AddPackage(QStringLiteral("Kept Name"), f.tools, 2);
    Q_UNUSED(id);
    f.Show();
    {
        TTable& row = f.Row(QStringLiteral("Kept Name"));
        row.Edit();
        row.FieldByName(QStringLiteral("Rating"))->SetAsInteger(7);
        row.FieldByName(QStringLiteral("Comments"))->SetAsString(QStringLiteral("my notes"));
        row.FieldByName(QStringLiteral("ReleaseDate"))->SetAsDate(QDate(1999, 9, 9));
        row.FieldByName(QStringLiteral("Author"))->SetAsString(QStringLiteral("Old"));
        row.FieldByName(QStringLiteral("Compatibility"))->SetAsInteger(63);
        row.FieldByName(QStringLiteral("VersionMajor"))->SetAsInteger(5);
        row.FieldByName(QStringLiteral("ArchiveFile"))->SetAsString(QStringLiteral("old.zip"));
        row.FieldByName(QStringLiteral("ArchiveFilePath"))->SetAsString(QStringLiteral("/old/place/"));
        row.Post();
    }
    // On a category node the command does nothing.
    FileDialogRecorder dialogs;
    f.Tree()->setCurrentItem(f.Category(QStringLiteral("Tools")));
    f.window->FileReimportClick();
    QCOMPARE(dialogs.requests.size(), 0);

    f.KeepTargetSilently();
    const QString bare = f.Archive(QStringLiteral("Newer.zip"), std::move(ZipBuilder().Add("a.txt", "x")));
    f.Tree()->setCurrentItem(f.Category(QStringLiteral("Tools"))->child(0));
    dialogs.PickNext({bare});
    f.window->FileReimportClick();
    QCOMPARE(dialogs.requests.size(), 1);
    QCOMPARE(dialogs.requests.first().FileName, QStringLiteral("old.zip"));
    QCOMPARE(dialogs.requests.first().StartFolder, QStringLiteral("/old/place/"));
    QCOMPARE(Settings().LastArchiveDir, f.archives.path());

    const QString name = QStringLiteral("Kept Name");
    QCOMPARE(f.Number(name, "Rating"), 7);
    QCOMPARE(f.Number(name, "Status"), 2);
    QCOMPARE(f.Text(name, "Comments"), QStringLiteral("my notes"));
    QCOMPARE(f.Row(name).FieldByName(QStringLiteral("ReleaseDate"))->AsDate(), QDate(1999, 9, 9));
    QCOMPARE(f.Text(name, "Author"), QString());
    QCOMPARE(f.Number(name, "Compatibility"), 0);
    QCOMPARE(f.Number(name, "VersionMajor"), 0);
    QCOMPARE(f.Text(name, "ArchiveFile"), QStringLiteral("Newer.zip"));
    QCOMPARE(f.Text(name, "ProductDescription"), QStringLiteral("\rNote:\r\rAdd.info:\r"));
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Tools"))), QStringList{name});

    // A cancelled dialog changes nothing; so does the detail panel's button.
    f.Tree()->setCurrentItem(f.Category(QStringLiteral("Tools"))->child(0));
    f.window->SBOpenDlgArchiveFileClick();
    QCOMPARE(dialogs.requests.size(), 2);
    QCOMPARE(f.Text(name, "ArchiveFile"), QStringLiteral("Newer.zip"));
    QCOMPARE(messages.Count(), 0);
}

void ArchiveImportTest::reimportMovesTheNodeWithTheRow() {
    MessageRecorder messages;
    Fixture f;
    f.cat.AddPackage(QStringLiteral("Wanderer"), f.tools);
    f.Show();
    const QString path = f.Archive(QStringLiteral("W.zip"), std::move(ZipBuilder().Add("w.inf", InfFile("Grids"))));
    f.Tree()->setCurrentItem(f.Category(QStringLiteral("Tools"))->child(0));
    FileDialogRecorder dialogs;
    dialogs.PickNext({path});
    f.window->FileReimportClick();
    QCOMPARE(f.Number("Wanderer", "Category"), f.grids);
    QCOMPARE(f.Category(QStringLiteral("Tools"))->childCount(), 0);
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Grids"))), QStringList{"Wanderer"});
    QCOMPARE(f.Tree()->currentItem()->text(0), QStringLiteral("Wanderer"));

    // Without info, the message dialog offers the component's own category.
    const QString bare = f.Archive(QStringLiteral("Bare.zip"), std::move(ZipBuilder().Add("a.txt", "x")));
    dialogs.PickNext({bare});
    AnswerMessageDialog(false);
    f.window->FileReimportClick();
    QCOMPARE(f.messageDialog.StaticTextCategory()->text(), QStringLiteral("Grids"));
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Grids"))), QStringList{"Wanderer"});
    QCOMPARE(messages.Count(), 0);
}

void ArchiveImportTest::dropsAskAndImportIntoTheDropCategory() {
    MessageRecorder messages;
    Fixture f;
    f.cat.AddPackage(QStringLiteral("Hammer"), f.tools);
    f.Show();
    f.KeepTargetSilently();
    QStringList files;
    for (const char* name : {"One.zip", "Two.zip", "Three.zip"})
        files << f.Archive(QString::fromLatin1(name), std::move(ZipBuilder().Add("a.txt", "x")));
    f.Tree()->expandAll();
    QTreeWidgetItem* hammer = f.Category(QStringLiteral("Tools"))->child(0);
    const QPoint onHammer = f.Tree()->visualItemRect(hammer).center();

    // No: nothing imported.
    messages.AnswerNext(false);
    f.window->DropFiles(files, onHammer);
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().kind, MessageKind::ConfirmYesNo);
    QCOMPARE(messages.Last().text,
             QStringLiteral("You dropped 3 file(s) at the category : <Tools>\r\rBut VELM will try to read the "
                            "category from the dropped files,\rand if this is not possible you will get the "
                            "opportunity to\rselect a category for each file when the files are imported.\r\r"
                            "Continue importing the file(s) ?"));
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Tools"))), QStringList{"Hammer"});

    // Yes: all three into Tools, and the import folder is not remembered for drops.
    const QString lastDir = Settings().LastArchiveDir;
    f.window->DropFiles(files, onHammer);
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Tools"))), (QStringList{"Hammer", "One", "Two", "Three"}));
    QCOMPARE(Settings().LastArchiveDir, lastDir);

    // Below the last node: the first category; with the setting off, no question.
    Settings().ShowDragNDropInfoMsg = false;
    messages.Clear();
    f.window->DropFiles({files.first()}, QPoint(5, f.Tree()->viewport()->height() - 2));
    QCOMPARE(messages.Count(), 0);
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Grids"))), QStringList{"One1"});
}

void ArchiveImportTest::dropHitTestAndRealDropEvents() {
    MessageRecorder messages;
    Fixture f;
    f.cat.AddPackage(QStringLiteral("Hammer"), f.tools);
    f.Show();
    f.KeepTargetSilently();
    Settings().ShowDragNDropInfoMsg = false;
    f.Tree()->expandAll();
    QTreeWidgetItem* toolsNode = f.Category(QStringLiteral("Tools"));
    QTreeWidgetItem* hammer = toolsNode->child(0);
    const QRect hammerRect = f.Tree()->visualItemRect(hammer);
    QCOMPARE(f.window->DropTargetAt(hammerRect.center()), hammer);
    QCOMPARE(f.window->DropTargetAt(QPoint(f.Tree()->viewport()->width() - 2, hammerRect.center().y())), hammer);
    // The indentation of the row is not the node.
    QCOMPARE(f.window->DropTargetAt(QPoint(hammerRect.left() - 4, hammerRect.center().y())),
             f.Tree()->topLevelItem(0));

    // A drop event from the desktop, with a path that is not a local file skipped.
    const QString file = f.Archive(QStringLiteral("Dropped.zip"), std::move(ZipBuilder().Add("a.txt", "x")));
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(file), QUrl(QStringLiteral("http://example.org/x.zip"))});
    QWidget* viewport = f.Tree()->viewport();
    QDragEnterEvent enter(hammerRect.center(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(hammerRect.center()), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    QVERIFY(drop.isAccepted());
    QCoreApplication::processEvents();
    QCOMPARE(ChildTexts(toolsNode), (QStringList{"Hammer", "Dropped"}));

}

void ArchiveImportTest::emptyTreeHasNoCategoryToImportInto() {
    MessageRecorder messages;
    Fixture f;
    f.Categories().First();
    while (!f.Categories().IsEmpty())
        f.Categories().Delete();
    f.Show();
    const QString file = f.Archive(QStringLiteral("Dropped.zip"), std::move(ZipBuilder().Add("a.txt", "x")));
    f.window->DropFiles({file}, QPoint(1, 1));
    FileDialogRecorder dialogs;
    dialogs.PickNext({file});
    f.window->FileImportComponentClick();
    QCOMPARE(dialogs.requests.size(), 0);
    QCOMPARE(messages.Count(), 2);
    for (const MessageRecorder::Shown& shown : messages.shown)
        QCOMPARE(shown.text, QStringLiteral("First select a category to add the component to."));
    QVERIFY(f.Packages().IsEmpty());
}

void ArchiveImportTest::manyArchivesShowProgressAndCancelStopsBetweenArchives() {
    MessageRecorder messages;
    Fixture f;
    f.Show();
    f.Tree()->setCurrentItem(f.Category(QStringLiteral("Tools")));
    QStringList files;
    for (int i = 0; i < 5; ++i)
        files << f.Archive(QStringLiteral("P%1.zip").arg(i), std::move(ZipBuilder().Add("a.txt", "x")));
    // The first archive asks for its category; meanwhile the user cancels the progress.
    QString progressText;
    velm::test::AnswerNextModal<TFormMsgDlg>([&progressText](TFormMsgDlg* dialog) {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* progress = qobject_cast<QProgressDialog*>(widget)) {
                progressText = progress->labelText();
                progress->cancel();
            }
        dialog->BitBtnOK()->click();
    });
    f.ImportThroughCommand(files);
    QCOMPARE(progressText, QStringLiteral("Reading P0.zip (1 of 5)"));
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Tools"))), QStringList{"P0"});
    QCOMPARE(messages.Count(), 0);
}

void ArchiveImportTest::encryptedInfoFileIsNamedAndTreatedAsMissing() {
    MessageRecorder messages;
    Fixture f;
    f.Show();
    f.Tree()->setCurrentItem(f.Category(QStringLiteral("Tools")));
    velm::test::ZipMember secret{"Pkg/pkg.inf", QByteArray(60, '\x5A')};
    secret.flags = 0x0001;
    const QString path = f.Archive(QStringLiteral("Locked.zip"), std::move(ZipBuilder().Add(secret)));
    bool asked = false;
    velm::test::AnswerNextModal<TFormMsgDlg>([](TFormMsgDlg* dialog) { dialog->BitBtnOK()->click(); }, &asked);
    f.ImportThroughCommand({path});
    QCOMPARE(messages.Count(), 1);
    QVERIFY(messages.Last().text.endsWith(QStringLiteral("Pkg\\pkg.inf: encrypted: cannot be read")));
    // Then as for an archive without an info file: the category question, and the row.
    QVERIFY(asked);
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Tools"))), QStringList{"Locked"});
    QCOMPARE(f.Text("Locked", "ArchiveFile"), QStringLiteral("Locked.zip"));
    QCOMPARE(f.Text("Locked", "ProductDescription"), QStringLiteral("\rNote:\r\rAdd.info:\r"));
}

namespace {

// A drop from the desktop onto the tree, delivered as the window system delivers it;
// the import it starts runs from the event loop.
void DropOnTree(QTreeWidget* tree, const QStringList& paths, const QPoint& point) {
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    mime.setUrls(urls);
    QDragEnterEvent enter(point, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &enter);
    QDropEvent drop(QPointF(point), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &drop);
    QCoreApplication::processEvents();
}

}  // namespace

void ArchiveImportTest::droppedFolderImportsEveryArchiveBelowIt() {
    MessageRecorder messages;
    Fixture f;
    f.Show();
    f.KeepTargetSilently();
    const QString folder = f.archives.filePath(QStringLiteral("downloads"));
    for (const char* name : {"downloads/b.zip", "downloads/A/inner.ZIP", "downloads/c.Zip", "downloads/A/deeper/d.zip",
                             "downloads/notes.txt", "downloads/e.zipx"})
        f.Archive(QString::fromLatin1(name), std::move(ZipBuilder().Add("a.txt", "x")));
    const QString loose = f.Archive(QStringLiteral("Loose.zip"), std::move(ZipBuilder().Add("a.txt", "x")));
    // A link to a folder outside is not followed.
    const QString elsewhere = f.archives.filePath(QStringLiteral("elsewhere"));
    f.Archive(QStringLiteral("elsewhere/outside.zip"), std::move(ZipBuilder().Add("a.txt", "x")));
    QVERIFY(QFile::link(elsewhere, folder + QStringLiteral("/link")));

    QTreeWidgetItem* tools = f.Category(QStringLiteral("Tools"));
    DropOnTree(f.Tree(), {loose, folder}, f.Tree()->visualItemRect(tools).center());
    QCOMPARE(messages.Count(), 1);
    QVERIFY(messages.Last().text.startsWith(QStringLiteral("You dropped 5 file(s) at the category : <Tools>")));
    // In drop order, each folder's archives in name order, a sub-folder where it sorts.
    QCOMPARE(ChildTexts(tools), (QStringList{"Loose", "d", "inner", "b", "c"}));
    QCOMPARE(f.Text("inner", "ArchiveFilePath"),
             QDir::toNativeSeparators(folder + QStringLiteral("/A")) + QDir::separator());
}

void ArchiveImportTest::droppedFolderWithoutArchivesSaysSo() {
    MessageRecorder messages;
    Fixture f;
    f.Show();
    const QString folder = f.archives.filePath(QStringLiteral("nothing"));
    f.Write(QStringLiteral("nothing/readme.txt"), "no archives here");
    DropOnTree(f.Tree(), {folder}, f.Tree()->visualItemRect(f.Category(QStringLiteral("Tools"))).center());
    // No question about nothing to import.
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().kind, MessageKind::Error);
    QCOMPARE(messages.Last().text, QStringLiteral("No archives (.zip) were found in the folder \"") +
                                       QDir::toNativeSeparators(folder) + QStringLiteral("\"."));
    QVERIFY(f.Packages().IsEmpty());
}

void ArchiveImportTest::droppedFolderShowsProgressAndCancels() {
    MessageRecorder messages;
    Fixture f;
    f.Show();
    Settings().ShowDragNDropInfoMsg = false;
    const QString folder = f.archives.filePath(QStringLiteral("many"));
    for (int i = 0; i < 5; ++i)
        f.Archive(QStringLiteral("many/P%1.zip").arg(i), std::move(ZipBuilder().Add("a.txt", "x")));
    // The first archive asks for its category; meanwhile the user cancels the progress.
    QString progressText;
    velm::test::AnswerNextModal<TFormMsgDlg>([&progressText](TFormMsgDlg* dialog) {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* progress = qobject_cast<QProgressDialog*>(widget)) {
                progressText = progress->labelText();
                QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
            }
        dialog->BitBtnOK()->click();
    });
    DropOnTree(f.Tree(), {folder}, f.Tree()->visualItemRect(f.Category(QStringLiteral("Grids"))).center());
    QCOMPARE(progressText, QStringLiteral("Reading P0.zip (1 of 5)"));
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Grids"))), QStringList{"P0"});
    QCOMPARE(messages.Count(), 0);
}

QTEST_MAIN(ArchiveImportTest)
#include "test_archive_import.moc"
