// Archives imported through the main window's commands and drops, checked on the
// written columns, the tree and the questions asked.
#include "kit/settings.h"
#include "browser/form_main.h"
#include "catalogue/archive_index.h"
#include "catalogue/database.h"
#include "import/form_moveto_category.h"
#include "import/form_msg_dlg.h"
#include "import/velm_component.h"
#include "import/zip_builder.h"
#include "support/file_dialog_recorder.h"
#include "support/file_size_limit.h"
#include "support/message_recorder.h"
#include "support/category_dialog_answers.h"
#include "support/main_window_fixture.h"
#include "support/modal_dialog.h"
#include "support/temp_catalogue.h"
#include "kit/work_guard.h"
#include "import/zip_extractor.h"
#include "import/zip_master.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QCheckBox>
#include <QCryptographicHash>
#include <QLabel>
#include <QComboBox>
#include <QListWidget>
#include <QToolButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include <cstdio>
#include <memory>

#include <sys/stat.h>

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

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The member index's rows of a product: each member's name, and the archive file's size.
QStringList StoredMembers(const TempCatalogue& cat, const QString& productName) {
    return cat.Stored(QStringLiteral("SELECT m.Name FROM m.ArchiveMember m JOIN CPInfo p ON p.ID = m.PackageID "
                                     "WHERE p.ProductName = '%1' ORDER BY m.ID")
                          .arg(productName)) +
           cat.Stored(QStringLiteral("SELECT f.Size FROM m.ArchiveFile f JOIN CPInfo p ON p.ID = f.PackageID "
                                     "WHERE p.ProductName = '%1'")
                          .arg(productName));
}

// Answers the "no info file" dialog with clicks, then (when asked for) the move dialog.
void AnswerMessageDialog(bool selectFromList, bool dontShowAgain = false) {
    velm::test::AnswerNextModal<TFormMsgDlg>([selectFromList, dontShowAgain](TFormMsgDlg* dialog) {
        velm::test::Click(selectFromList ? dialog->RadioButtonSelectFromList() : dialog->RadioButtonUseSelected());
        if (dialog->CheckBoxDontShowAgain()->isChecked() != dontShowAgain)
            velm::test::Click(dialog->CheckBoxDontShowAgain());
        velm::test::Click(dialog->BitBtnOK());
    });
}

// Runs the action once, at the first turn of the event loop that the window's guarded
// work (an extraction) gives; reports whether it ran there.
struct DuringWork {
    QTimer timer;
    bool ran = false;
    DuringWork(TFormMain* window, std::function<void()> action) {
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, [this, window, action = std::move(action)] {
            if (!window->WorkGuard()->Busy())
                return;
            timer.stop();
            ran = true;
            action();
        });
        timer.start();
    }
};


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
struct Fixture : velm::test::MainWindowFixture {
    QTemporaryDir archives;
    TFormMsgDlg messageDialog;
    qint64 tools = cat.AddCategory(QStringLiteral("Tools"));
    qint64 grids = cat.AddCategory(QStringLiteral("Grids"));

    Fixture() { FormMsgDlg = &messageDialog; }
    ~Fixture() {
        window.reset();
        FormMsgDlg = nullptr;
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
    // Categories are ordered by name: Grids, Tools.
    QTreeWidgetItem* Category(const QString& name) const {
        for (int i = 0; i < Tree()->topLevelItemCount(); ++i)
            if (Tree()->topLevelItem(i)->text(0) == name)
                return Tree()->topLevelItem(i);
        return nullptr;
    }
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
        velm::test::ChooseMenu(window.get(), {"&File", "&Import Component Info..."});
    }
    void ReimportThroughCommand() { velm::test::ChooseMenu(window.get(), {"&File", "&Re-import Component..."}); }
    // Files dropped at a point of the tree; the question and the import follow from the
    // event loop.
    void Drop(const QStringList& files, QPoint at) {
        QVERIFY(velm::test::DropFiles(Tree()->viewport(), at, files));
        Settle();
    }
    // A point on the node's label.
    QPoint On(QTreeWidgetItem* node) const { return velm::test::NodePoint(Tree(), node); }
};

}  // namespace

QString SlowArchive(Fixture& f, const QString& name, const QByteArray& category);

class ArchiveImportTest : public QObject {
    Q_OBJECT
private slots:
    void infFileFillsEveryColumnAndTheTree();
    void infWinsOverUplAndUplIsReadAlone();
    void unknownCategoriesAreAdded();
    void archivesWithoutInfoAskForTheCategory();
    void emptyCategoryNameAsksLikeAMissingInfoFile();
    void unreadableArchivesImportNothing();
    void databaseRefusalIsReportedAndTheRowIsKeptClean();
    void versionPartsTooLargeAreStoredAsZeroWithAMessage();
    void foldersAndMissingFilesAreRefused();
    void longLocationsAndNamesAreKeptWholeOrCutAtACharacter();
    void reimportRewritesTheShownComponent();
    void reimportMovesTheNodeWithTheRow();
    void dropsAskAndImportIntoTheDropCategory();
    void dropHitTestAndRealDropEvents();
    void emptyTreeHasNoCategoryToImportInto();
    void manyArchivesShowProgressAndCancelStopsBetweenArchives();
    void inputDuringAnExtractionIsHeldAndTheImportKeepsItsRow();
    void aDropDuringAnExtractionWaitsForIt();
    void closingDuringAnExtractionWaitsForItAndClosesCleanly();
    void encryptedInfoFileIsNamedAndTreatedAsMissing();
    void droppedFolderImportsEveryArchiveBelowIt();
    void droppedFolderWithoutArchivesSaysSo();
    void droppedFolderShowsProgressAndCancels();
    void worksWithIsShownCorrectedAndKeptOverAReimport();
};

void ArchiveImportTest::infFileFillsEveryColumnAndTheTree() {
    MessageRecorder messages;
    Fixture f;
    QVERIFY(f.Show());
    const QString path = f.Archive(
        QStringLiteral("Grid.Pro.v2.zip"),
        std::move(ZipBuilder().Add("source/", "").Add("source/grid.pas", "unit grid;").Add("docs/README.INF",
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
    f.Select(f.Category(QStringLiteral("Grids")));
    FileDialogRecorder dialogs;
    dialogs.PickNext({path});
    velm::test::ChooseMenu(f.window.get(), {"&File", "&Import Component Info..."});

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
    QCOMPARE(QDir(f.window->TmpFolder()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
             QStringList{"README.INF"});
    // The directory read is kept in the member index, with the archive file it came from.
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT Name, Size, PackedSize, Modified, CRC32, IsFolder FROM m.ArchiveMember "
                                         "ORDER BY ID")),
             (QStringList{"source\\|0|0|2001-02-03T04:05:06|0|1",
                          QStringLiteral("source\\grid.pas|10|10|2001-02-03T04:05:06|%1|0").arg(velm::test::Crc32("unit grid;")),
                          QStringLiteral("docs\\README.INF|%1|%1|2001-02-03T04:05:06|%2|0")
                              .arg(QFileInfo(QDir(f.window->TmpFolder()).filePath("README.INF")).size())
                              .arg(velm::test::Crc32(FileBytes(QDir(f.window->TmpFolder()).filePath("README.INF"))))}));
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT Size, Modified, Sha256 FROM m.ArchiveFile")),
             QStringList{QStringLiteral("%1|%2|%3").arg(QFileInfo(path).size())
                             .arg(QDateTime(kArchiveDate, QTime(12, 0)).toUTC().toString(Qt::ISODate),
                                  QCryptographicHash::hash(FileBytes(path), QCryptographicHash::Sha256).toHex())});

    // The same archive again gets the next free name.
    f.ImportThroughCommand({path});
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Tools"))), (QStringList{"Grid", "Grid1"}));
}

void ArchiveImportTest::infWinsOverUplAndUplIsReadAlone() {
    MessageRecorder messages;
    Fixture f;
    QVERIFY(f.Show());
    f.Select(f.Category(QStringLiteral("Tools")));
    const QString both = f.Archive(QStringLiteral("Both.zip"),
                                   std::move(ZipBuilder()
                                                 .Add("pkg.upl", "[DSP upload]\r\nCategory=Tools\r\nVersion=9\r\n")
                                                 .Add("pkg.inf", InfFile("Grids", "Version=1.2.3.4\r\n"
                                                                                  "File Status=COMMERCIAL\r\n"))));
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
    QCOMPARE(f.Number("Both", "FreeShareCommercial"), 2);
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
    QVERIFY(f.Show());
    f.Select(f.Category(QStringLiteral("Tools")));
    // Escape sequences and control characters in the file are not part of any name.
    const QString brandNew = f.Archive(
        QStringLiteral("A.zip"),
        std::move(ZipBuilder().Add("a.inf", InfFile("\x1B[1mBrand\x1B[0m\x01 New\x07",
                                                    "[Uploader]\r\nAuthor name=\x1B]0;pwned\x07" "Ann\xC2\x9B" "2J\r\n"))));
    f.ImportThroughCommand({brandNew});
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().kind, MessageKind::Information);
    QCOMPARE(messages.Last().text,
             QStringLiteral("The imported component belongs to category: Brand New, but this category is not "
                            "defined yet. \rThis category will be added now!"));
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Brand New"))), QStringList{"A"});
    QVERIFY(f.Categories().Locate(QStringLiteral("Name"), QStringLiteral("Brand New"), false));
    QCOMPARE(f.Number("A", "Category"), f.Categories().FieldByName(QStringLiteral("ID"))->AsInteger());
    QCOMPARE(f.Text("A", "Author"), QStringLiteral("Ann"));

    // Silent with the setting off; a name longer than the column is added once, cut.
    Settings().ShowDragNDropInfoMsg = false;
    messages.Clear();
    const QString longName = f.Archive(
        QStringLiteral("B.zip"), std::move(ZipBuilder().Add("b.inf", InfFile("Very Long Category Name Beyond Width"))));
    // The batch's second copy is set aside as catalogued by the first; ticking the
    // summary's check box imports it all the same.
    f.ImportThroughCommand({longName, longName});
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().kind, MessageKind::InformationWithCheck);
    QCOMPARE(messages.Last().text, QStringLiteral("1 imported, 1 already catalogued: B.zip"));
    QTreeWidgetItem* cut = f.Category(QStringLiteral("Very Long Category Name B"));
    QVERIFY(cut);
    QCOMPARE(ChildTexts(cut), (QStringList{"B", "B1"}));
    QCOMPARE(TopLevelTexts(f.Tree()).size(), 4);
}

void ArchiveImportTest::archivesWithoutInfoAskForTheCategory() {
    MessageRecorder messages;
    Fixture f;
    QVERIFY(f.Show());
    f.Select(f.Category(QStringLiteral("Tools")));
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
    f.Select(f.Category(QStringLiteral("Tools")));
    AnswerMessageDialog(true, true);
    AnswerMove(QStringLiteral("Grids"), false);
    f.ImportThroughCommand({bare});
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Tools"))), QStringList{"Bare1"});
    QVERIFY(f.messageDialog.DontShowAgain);

    // Both answers remembered: no dialog at all.
    f.KeepTargetSilently();
    ModalWatch watch;
    f.Select(f.Category(QStringLiteral("Grids")));
    f.ImportThroughCommand({bare});
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Grids"))), (QStringList{"Bare", "Bare2"}));
    QVERIFY(!watch.seen);
    // The same archive again each time: imported as the user answered the question.
    QCOMPARE(messages.Count(), 2);
    QCOMPARE(messages.Last().kind, MessageKind::ConfirmOrSkip);
    QCOMPARE(messages.Last().text, QStringLiteral("Bare.zip is already catalogued as Bare (Grids). Import it again?"));
}

void ArchiveImportTest::emptyCategoryNameAsksLikeAMissingInfoFile() {
    MessageRecorder messages;
    Fixture f;
    QVERIFY(f.Show());
    f.Select(f.Category(QStringLiteral("Tools")));
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

void ArchiveImportTest::unreadableArchivesImportNothing() {
    MessageRecorder messages;
    Fixture f;
    const qint64 kept = f.cat.AddPackage(QStringLiteral("Kept"), f.tools);
    TArchiveMemberRecord keptMember;
    keptMember.Name = QStringLiteral("kept.pas");
    f.cat.Module().ArchiveIndex()->ReplaceMembers(kept, std::vector{keptMember}, {5, {}, {}});
    QVERIFY(f.Show());
    f.KeepTargetSilently();
    const QByteArray inf = InfFile("Tools", "[Uploader]\r\nAuthor name=Ann\r\n");
    const QByteArray whole = ZipBuilder().Add("pkg.inf", inf).Build();
    velm::test::ZipMember damaged("pkg.inf", inf);
    damaged.wrongCrc = true;
    velm::test::ZipMember huge("pkg.inf", inf);
    huge.declaredSize = kMaxMemberSize + 1;
    QByteArray padding;
    for (int i = 0; i < 40000; ++i)
        padding += "; a comment line that only makes the file long\r\n";
    const QStringList unreadable{
        f.Write(QStringLiteral("NotAZip.zip"), QByteArray("just some text, no archive at all")),
        f.Write(QStringLiteral("Empty.zip"), QByteArray()),
        f.Write(QStringLiteral("Truncated.zip"), whole.left(whole.size() / 2)),
        f.Archive(QStringLiteral("Crc.zip"), std::move(ZipBuilder().Add(damaged))),
        f.Archive(QStringLiteral("Huge.zip"), std::move(ZipBuilder().Add(huge))),
    };
    const QString full = f.Archive(QStringLiteral("Full.zip"), std::move(ZipBuilder().Add("pkg.inf", inf + padding)));
    f.Select(f.Category(QStringLiteral("Tools")));
    for (const QString& path : unreadable) {
        messages.Clear();
        f.ImportThroughCommand({path});
        QCOMPARE(messages.Count(), 1);
        QVERIFY2(messages.Last().text.contains(QFileInfo(path).fileName()), qPrintable(messages.Last().text));
    }
    {
        // The disk takes part of a write and refuses the rest: its reason is shown.
        velm::test::FileSizeLimit limit(1024 * 1024 + 1000);
        messages.Clear();
        f.ImportThroughCommand({full});
    }
    QCOMPARE(messages.Count(), 1);
    QVERIFY2(messages.Last().text.endsWith(QStringLiteral("pkg.inf: File too large")), qPrintable(messages.Last().text));
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT ProductName FROM CPInfo")), QStringList{"Kept"});
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Tools"))), QStringList{"Kept"});

    // A failed re-import leaves the row as it was.
    f.Select(f.Category(QStringLiteral("Tools"))->child(0));
    FileDialogRecorder dialogs;
    dialogs.PickNext({unreadable.first()});
    f.ReimportThroughCommand();
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT ProductName, ArchiveFile, ProductDescription FROM CPInfo")),
             QStringList{"Kept||"});
    // No archive left members behind; the kept row keeps its own.
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT PackageID, Name FROM m.ArchiveMember")),
             QStringList{QStringLiteral("%1|kept.pas").arg(kept)});
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT PackageID, Size FROM m.ArchiveFile")),
             QStringList{QStringLiteral("%1|5").arg(kept)});
}

void ArchiveImportTest::databaseRefusalIsReportedAndTheRowIsKeptClean() {
    MessageRecorder messages;
    Fixture f;
    f.cat.AddPackage(QStringLiteral("Hammer"), f.tools);
    // Another tool put a rule into the catalogue that refuses this author.
    QVERIFY(f.cat.Execute(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE OF Author ON CPInfo "
                                         "WHEN NEW.Author = 'Refused' BEGIN SELECT RAISE(ABORT, 'refused'); END;")));
    QVERIFY(f.Show());
    f.Select(f.Category(QStringLiteral("Tools")));
    const QString path = f.Archive(QStringLiteral("Huge.zip"),
                                   std::move(ZipBuilder().Add("h.inf", InfFile("Grids", "[Uploader]\r\n"
                                                                                        "Author name=Refused\r\n"))));
    f.ImportThroughCommand({path});
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().kind, MessageKind::Error);
    QCOMPARE(messages.Last().text, QStringLiteral("An error has occurred when updating the database.\r\r"));
    // No row is left with a name and nothing else, and no node stands for one.
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT ProductName FROM CPInfo")), QStringList{"Hammer"});
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Tools"))), QStringList{"Hammer"});
    QCOMPARE(f.Category(QStringLiteral("Grids"))->childCount(), 0);
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT count(*) FROM m.ArchiveMember")), QStringList{"0"});

    // The member index refuses a member: the row goes as well, and a re-import leaves
    // the row and its old members as they were.
    TArchiveIndex& index = *f.cat.Module().ArchiveIndex();
    index.Database().Exec(QStringLiteral("CREATE TRIGGER %1.refuseMember BEFORE INSERT ON ArchiveMember "
                                         "WHEN NEW.Name = 'refused.txt' BEGIN SELECT RAISE(ABORT, 'refused'); END;")
                              .arg(QuoteIdentifier(index.Schema())));
    TArchiveMemberRecord oldMember;
    oldMember.Name = QStringLiteral("old.pas");
    const qint64 hammer = f.cat.Stored(QStringLiteral("SELECT ID FROM CPInfo")).first().toLongLong();
    index.ReplaceMembers(hammer, std::vector{oldMember}, {1, {}, {}});
    const QString refused = f.Archive(QStringLiteral("Hammer.zip"),
                                      std::move(ZipBuilder().Add("h.inf", InfFile("Tools")).Add("refused.txt", "x")));
    messages.Clear();
    f.ImportThroughCommand({refused});
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT ProductName FROM CPInfo")), QStringList{"Hammer"});
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Tools"))), QStringList{"Hammer"});
    f.Select(f.Category(QStringLiteral("Tools"))->child(0));
    FileDialogRecorder dialogs;
    dialogs.PickNext({refused});
    f.ReimportThroughCommand();
    QCOMPARE(messages.Count(), 2);
    QVERIFY(messages.Last().text.startsWith(QStringLiteral("An error has occurred when updating the database.")));
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT ProductName, ArchiveFile FROM CPInfo")), QStringList{"Hammer|"});
    QCOMPARE(f.Text(QStringLiteral("Hammer"), "ArchiveFile"), QString());
    QCOMPARE(StoredMembers(f.cat, QStringLiteral("Hammer")), (QStringList{"old.pas", "1"}));
}

void ArchiveImportTest::versionPartsTooLargeAreStoredAsZeroWithAMessage() {
    MessageRecorder messages;
    Fixture f;
    QVERIFY(f.Show());
    f.Select(f.Category(QStringLiteral("Tools")));
    const auto archive = [&f](const char* name, const QByteArray& version) {
        return f.Archive(QString::fromLatin1(name),
                         std::move(ZipBuilder().Add("v.inf", InfFile("Grids", "Version=" + version +
                                                                              "\r\n[Uploader]\r\nAuthor name=Ann\r\n"))));
    };
    f.ImportThroughCommand({archive("A.zip", "1.0.0.40000"), archive("B.zip", "4294967296.1"),
                            archive("C.zip", "32767.32768")});
    QCOMPARE(messages.Count(), 3);
    QCOMPARE(messages.shown.at(0).kind, MessageKind::Information);
    QCOMPARE(messages.shown.at(0).text,
             QStringLiteral("The version \"1.0.0.40000\" does not fit the version fields: Build cannot hold 40000, "
                            "so 0 is stored instead."));
    QVERIFY(messages.shown.at(1).text.contains(QStringLiteral("VersionMajor cannot hold 4294967296")));
    QVERIFY(messages.shown.at(2).text.contains(QStringLiteral("VersionMinor cannot hold 32768")));
    // Everything else of each row is there.
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT ProductName, VersionMajor, VersionMinor, Release, Build, Author, "
                                         "ArchiveFile FROM CPInfo ORDER BY ID")),
             (QStringList{"A|1|0|0|0|Ann|A.zip", "B|0|1|0|0|Ann|B.zip", "C|32767|0|0|0|Ann|C.zip"}));
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Grids"))), (QStringList{"A", "B", "C"}));
}

void ArchiveImportTest::foldersAndMissingFilesAreRefused() {
    MessageRecorder messages;
    Fixture f;
    QVERIFY(f.Show());
    f.Select(f.Category(QStringLiteral("Tools")));
    QDir(f.archives.path()).mkdir(QStringLiteral("folder.zip"));
    const QString folder = f.archives.filePath(QStringLiteral("folder.zip"));
    const QString missing = f.archives.filePath(QStringLiteral("gone.zip"));
    const QString good = f.Archive(QStringLiteral("Good.zip"), std::move(ZipBuilder().Add("g.inf", InfFile("Tools"))));
    f.Drop({folder, missing, good}, velm::test::BelowLastNode(f.Tree()));  // the question answered Yes
    // A folder stands for the archives below it: this one has none.
    QCOMPARE(messages.Count(), 3);
    QCOMPARE(messages.shown.at(0).kind, MessageKind::Error);
    QCOMPARE(messages.shown.at(0).text, QStringLiteral("No archives (.zip) were found in the folder \"") +
                                            QDir::toNativeSeparators(folder) + QStringLiteral("\"."));
    QVERIFY(messages.shown.at(1).text.startsWith(QStringLiteral("You dropped 2 file(s)")));
    QVERIFY(messages.shown.at(2).text.contains(missing));
    // Nothing half-written; the next file is still imported.
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Tools"))), QStringList{"Good"});
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT ProductName FROM CPInfo")), QStringList{"Good"});

    // A Tmp folder that cannot be made refuses the import the same way.
    QDir(f.window->TmpFolder()).removeRecursively();
    QFile blocker(QDir::cleanPath(f.window->TmpFolder()));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    messages.Clear();
    f.ImportThroughCommand({f.Archive(QStringLiteral("Other.zip"), std::move(ZipBuilder().Add("o.inf", InfFile("Tools"))))});
    QCOMPARE(messages.Count(), 1);
    QVERIFY(messages.Last().text.startsWith(QStringLiteral("The folder for temporary files cannot be created")));
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Tools"))), QStringList{"Good"});
}

void ArchiveImportTest::longLocationsAndNamesAreKeptWholeOrCutAtACharacter() {
    MessageRecorder messages;
    Fixture f;
    QVERIFY(f.Show());
    Settings().ShowDragNDropInfoMsg = false;
    // A folder and a file name far beyond the old column widths: 250 characters in all.
    const QString folderName = QString(150, u'd');
    const QString fileName = QString(96, u'a') + QStringLiteral(".zip");
    QVERIFY(QDir(f.archives.path()).mkpath(folderName));
    // The info file names a category of 24 letters and a character outside the basic
    // plane, one unit more than the column holds.
    const QByteArray longCategory = QByteArray(24, 'C') + "\xF0\x9F\x98\x80";
    const QString path = f.Archive(folderName + u'/' + fileName,
                                   std::move(ZipBuilder().Add("l.inf", InfFile(longCategory, "Version=1\r\n"))));
    f.Select(f.Category(QStringLiteral("Tools")));
    f.ImportThroughCommand({path});
    const QString product = QString(40, u'a');
    const QString folder = QDir::toNativeSeparators(QFileInfo(path).absolutePath()) + QDir::separator();
    QCOMPARE(f.Text(product, "ArchiveFile"), fileName);
    QCOMPARE(f.Text(product, "ArchiveFilePath"), folder);
    QCOMPARE(f.Text(product, "CategoryName"), QString(24, u'C'));
    QVERIFY(f.Category(QString(24, u'C')));

    // The re-import dialog is offered the stored name and folder, and reads the archive.
    FileDialogRecorder dialogs;
    dialogs.PickNext({path});
    f.Select(f.Node(product));
    f.ReimportThroughCommand();
    QCOMPARE(dialogs.requests.size(), 1);
    QCOMPARE(dialogs.requests.first().FileName, fileName);
    QCOMPARE(dialogs.requests.first().StartFolder, folder);
    QCOMPARE(f.Number(product, "VersionMajor"), 1);
    QCOMPARE(messages.Count(), 0);

    // File names as they are: a backslash is part of the name, a line break becomes a
    // blank, and a name that is not valid UTF-8 is shown with the replacement character.
    f.KeepTargetSilently();
    const QString backslash = f.Archive(QStringLiteral("back\\slash.zip"), std::move(ZipBuilder().Add("a.txt", "x")));
    const QString newline = f.Archive(QStringLiteral("new\nline.zip"), std::move(ZipBuilder().Add("b.txt", "y")));
    const QByteArray rawName = QFile::encodeName(f.archives.path()) + "/\xFF-pkg.zip";
    const QByteArray rawArchive = ZipBuilder().Add("p.inf", InfFile("Tools", "Version=7\r\n")).Build();
    FILE* raw = std::fopen(rawName.constData(), "wb");
    QVERIFY(raw && std::fwrite(rawArchive.constData(), 1, size_t(rawArchive.size()), raw) == size_t(rawArchive.size()));
    std::fclose(raw);
    const QUrl rawUrl = QUrl::fromEncoded("file://" + rawName.toPercentEncoding("/"));
    QVERIFY(velm::test::DropUrls(f.Tree()->viewport(), f.On(f.Category(QStringLiteral("Tools"))),
                                 {QUrl::fromLocalFile(backslash), QUrl::fromLocalFile(newline), rawUrl}));
    f.Settle();
    const QString replaced = QString(QChar::ReplacementCharacter) + QStringLiteral("-pkg");
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Tools"))), (QStringList{"back\\slash", "new line", replaced}));
    QCOMPARE(f.Number(replaced, "VersionMajor"), 7);
    QCOMPARE(f.Text(replaced, "ArchiveFile"), replaced + QStringLiteral(".zip"));
    QCOMPARE(f.Text(replaced, "ArchiveFilePath"), QDir::toNativeSeparators(f.archives.path()) + QDir::separator());
    QCOMPARE(messages.Count(), 0);
    Settings().ShowDragNDropInfoMsg = true;
}

void ArchiveImportTest::reimportRewritesTheShownComponent() {
    MessageRecorder messages;
    Fixture f;
    const qint64 id = f.cat.AddPackage(QStringLiteral("Kept Name"), f.tools, 2);
    TArchiveMemberRecord oldMember;
    oldMember.Name = QStringLiteral("old.pas");
    f.cat.Module().ArchiveIndex()->ReplaceMembers(id, std::vector{oldMember}, {77, {}, {}});
    QVERIFY(f.Show());
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
    f.Select(f.Category(QStringLiteral("Tools")));
    f.RightClick(f.Category(QStringLiteral("Tools")));
    velm::test::ChooseFromOpenPopup(QStringLiteral("Re-import..."));
    QCOMPARE(dialogs.requests.size(), 0);

    f.KeepTargetSilently();
    const QString bare = f.Archive(QStringLiteral("Newer.zip"), std::move(ZipBuilder().Add("a.txt", "x")));
    f.Select(f.Category(QStringLiteral("Tools"))->child(0));
    // Another product's archive is asked about; No changes nothing.
    dialogs.PickNext({bare});
    messages.AnswerNext(false);
    f.ReimportThroughCommand();
    QCOMPARE(dialogs.requests.size(), 1);
    QCOMPARE(dialogs.requests.first().FileName, QStringLiteral("old.zip"));
    QCOMPARE(dialogs.requests.first().StartFolder, QStringLiteral("/old/place/"));
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().kind, MessageKind::ConfirmYesNo);
    QCOMPARE(messages.Last().text, QStringLiteral("Do you really want to re-import the component: Kept Name\r"
                                                  "from the archive of the component: Newer ?"));
    QCOMPARE(f.Text(QStringLiteral("Kept Name"), "ArchiveFile"), QStringLiteral("old.zip"));
    QCOMPARE(f.Text(QStringLiteral("Kept Name"), "Author"), QStringLiteral("Old"));
    QCOMPARE(StoredMembers(f.cat, QStringLiteral("Kept Name")), (QStringList{"old.pas", "77"}));
    // Yes re-imports it.
    f.Select(f.Category(QStringLiteral("Tools"))->child(0));
    dialogs.PickNext({bare});
    f.ReimportThroughCommand();
    QCOMPARE(messages.Count(), 2);
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
    // The new archive's members replace the old ones.
    QCOMPARE(StoredMembers(f.cat, name), (QStringList{"a.txt", QString::number(QFileInfo(bare).size())}));
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Tools"))), QStringList{name});

    // A cancelled dialog changes nothing; so does the detail panel's button.
    f.Select(f.Category(QStringLiteral("Tools"))->child(0));
    QTabWidget* panel = static_cast<QTabWidget*>(f.window->PageControlComponentInfo());
    velm::test::Click(panel->tabBar(), panel->tabBar()->tabRect(1).center());
    velm::test::Click(panel->findChild<QWidget*>(QStringLiteral("SpeedButtonReimport")));
    QCOMPARE(dialogs.requests.size(), 3);
    QCOMPARE(f.Text(name, "ArchiveFile"), QStringLiteral("Newer.zip"));
    QCOMPARE(messages.Count(), 2);
}

void ArchiveImportTest::reimportMovesTheNodeWithTheRow() {
    MessageRecorder messages;
    Fixture f;
    f.cat.AddPackage(QStringLiteral("Wanderer"), f.tools);
    QVERIFY(f.Show());
    const QString path = f.Archive(QStringLiteral("Wanderer.zip"), std::move(ZipBuilder().Add("w.inf", InfFile("Grids"))));
    f.Select(f.Category(QStringLiteral("Tools"))->child(0));
    FileDialogRecorder dialogs;
    dialogs.PickNext({path});
    f.ReimportThroughCommand();
    QCOMPARE(f.Number("Wanderer", "Category"), f.grids);
    QCOMPARE(f.Category(QStringLiteral("Tools"))->childCount(), 0);
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Grids"))), QStringList{"Wanderer"});
    QCOMPARE(f.Tree()->currentItem()->text(0), QStringLiteral("Wanderer"));

    // Without info, the message dialog offers the component's own category.
    // A newer archive of the same product is not asked about.
    const QString bare = f.Archive(QStringLiteral("wanderer.v2.zip"), std::move(ZipBuilder().Add("a.txt", "x")));
    dialogs.PickNext({bare});
    AnswerMessageDialog(false);
    f.ReimportThroughCommand();
    QCOMPARE(f.messageDialog.StaticTextCategory()->text(), QStringLiteral("Grids"));
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Grids"))), QStringList{"Wanderer"});
    QCOMPARE(messages.Count(), 0);
}

void ArchiveImportTest::dropsAskAndImportIntoTheDropCategory() {
    MessageRecorder messages;
    Fixture f;
    f.cat.AddPackage(QStringLiteral("Hammer"), f.tools);
    QVERIFY(f.Show());
    f.KeepTargetSilently();
    QStringList files;
    for (const char* name : {"One.zip", "Two.zip", "Three.zip"})
        files << f.Archive(QString::fromLatin1(name), std::move(ZipBuilder().Add("a.txt", name)));
    f.Expand(f.Category(QStringLiteral("Tools")));
    QTreeWidgetItem* hammer = f.Category(QStringLiteral("Tools"))->child(0);
    const QPoint onHammer = f.On(hammer);

    // No: nothing imported.
    messages.AnswerNext(false);
    f.Drop(files, onHammer);
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
    f.Drop(files, onHammer);
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Tools"))), (QStringList{"Hammer", "One", "Two", "Three"}));
    QCOMPARE(Settings().LastArchiveDir, lastDir);

    // Below the last node: the first category; with the setting off, no question but
    // the one about an archive catalogued already. Skip imports nothing, and so do
    // Enter and Esc in the real box.
    Settings().ShowDragNDropInfoMsg = false;
    messages.Clear();
    messages.AnswerNext(false);
    f.Drop({files.first()}, velm::test::BelowLastNode(f.Tree()));
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().kind, MessageKind::ConfirmOrSkip);
    QCOMPARE(messages.Last().text, QStringLiteral("One.zip is already catalogued as One (Tools). Import it again?"));
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Grids"))), QStringList{});
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        MessagePresenter* recorder = SetMessagePresenter(nullptr);
        bool answered = false;
        velm::test::AnswerNextModal<QMessageBox>([key](QMessageBox* box) { velm::test::Key(box, key); }, &answered);
        f.Drop({files.first()}, velm::test::BelowLastNode(f.Tree()));
        SetMessagePresenter(recorder);
        QVERIFY(answered);
        QCOMPARE(f.cat.Stored(QStringLiteral("SELECT count(*) FROM CPInfo")), QStringList{"4"});
    }
    f.Drop({files.first()}, velm::test::BelowLastNode(f.Tree()));
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Grids"))), QStringList{"One1"});
}

void ArchiveImportTest::dropHitTestAndRealDropEvents() {
    MessageRecorder messages;
    Fixture f;
    f.cat.AddPackage(QStringLiteral("Hammer"), f.tools);
    QVERIFY(f.Show());
    f.KeepTargetSilently();
    Settings().ShowDragNDropInfoMsg = false;
    f.Expand(f.Category(QStringLiteral("Tools")));
    QTreeWidgetItem* toolsNode = f.Category(QStringLiteral("Tools"));
    QTreeWidgetItem* hammer = toolsNode->child(0);
    const QRect hammerRect = f.Tree()->visualItemRect(hammer);
    QCOMPARE(f.window->CategoryTree()->DropTargetAt(hammerRect.center()), hammer);
    QCOMPARE(f.window->CategoryTree()->DropTargetAt(QPoint(f.Tree()->viewport()->width() - 2, hammerRect.center().y())), hammer);
    // The indentation of the row is not the node.
    QCOMPARE(f.window->CategoryTree()->DropTargetAt(QPoint(hammerRect.left() - 4, hammerRect.center().y())),
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
    QVERIFY(f.Show());
    const QString file = f.Archive(QStringLiteral("Dropped.zip"), std::move(ZipBuilder().Add("a.txt", "x")));
    f.Drop({file}, QPoint(1, 1));
    FileDialogRecorder dialogs;
    dialogs.PickNext({file});
    velm::test::ChooseMenu(f.window.get(), {"&File", "&Import Component Info..."});
    QCOMPARE(dialogs.requests.size(), 0);
    QCOMPARE(messages.Count(), 2);
    for (const MessageRecorder::Shown& shown : messages.shown)
        QCOMPARE(shown.text, QStringLiteral("First select a category to add the component to."));
    QVERIFY(f.cat.Stored(QStringLiteral("SELECT * FROM CPInfo")).isEmpty());
}

void ArchiveImportTest::manyArchivesShowProgressAndCancelStopsBetweenArchives() {
    MessageRecorder messages;
    Fixture f;
    QVERIFY(f.Show());
    f.KeepTargetSilently();
    f.Select(f.Category(QStringLiteral("Tools")));
    QStringList files{SlowArchive(f, QStringLiteral("P0.zip"), "Tools")};
    for (int i = 1; i < 5; ++i)
        files << f.Archive(QStringLiteral("P%1.zip").arg(i), std::move(ZipBuilder().Add("a.txt", "x")));
    // While the first archive is read, the user presses the progress dialog's Cancel.
    QString progressText;
    DuringWork during(f.window.get(), [&progressText] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* progress = qobject_cast<QProgressDialog*>(widget); progress && progress->isVisible()) {
                progressText = progress->labelText();
                velm::test::Click(progress->findChild<QPushButton*>());
            }
    });
    f.ImportThroughCommand(files);
    QVERIFY(during.ran);
    QCOMPARE(progressText, QStringLiteral("Reading P0.zip (1 of 5)"));
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Tools"))), QStringList{"P0"});
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT ProductName FROM CPInfo")), QStringList{"P0"});
    QCOMPARE(messages.Count(), 0);
}

// An archive whose info file is large enough that its extraction gives the event loop
// turns (every chunk, with the component's interval set to nothing).
QString SlowArchive(Fixture& f, const QString& name, const QByteArray& category) {
    QByteArray padding;
    for (int i = 0; i < 40000; ++i)
        padding += "; a comment line that only makes the file long\r\n";
    f.window->ImportCommands()->Component().ZipMasterMain().ResponsiveIntervalMs = 0;
    return f.Archive(name, std::move(ZipBuilder().Add("big.inf", InfFile(category, padding + "[Uploader]\r\nAuthor name=Ann\r\n"))));
}

void ArchiveImportTest::inputDuringAnExtractionIsHeldAndTheImportKeepsItsRow() {
    MessageRecorder messages;
    Fixture f;
    f.cat.AddPackage(QStringLiteral("Hammer"), f.tools);
    f.cat.AddPackage(QStringLiteral("Saw"), f.tools);
    QVERIFY(f.Show());
    const QString slow = SlowArchive(f, QStringLiteral("Slow.zip"), "Tools");
    QTreeWidgetItem* toolsNode = f.Category(QStringLiteral("Tools"));
    f.Expand(toolsNode);
    f.Select(f.Category(QStringLiteral("Grids")));
    QTreeWidgetItem* saw = toolsNode->child(1);
    // While the archive is read the user clicks Saw, types into the window, presses
    // Delete and opens the pop-up menu: none of it reaches the window.
    DuringWork during(f.window.get(), [&] {
        velm::test::ClickNode(f.Tree(), saw);
        velm::test::Type(f.window.get(), QStringLiteral("typed"));
        velm::test::Key(f.window.get(), Qt::Key_Delete);
        velm::test::ClickNode(f.Tree(), toolsNode, Qt::RightButton);
        velm::test::Click(f.window->menuBar());
    });
    f.ImportThroughCommand({slow});
    QVERIFY(during.ran);
    QVERIFY(!velm::test::OpenPopup());
    QCOMPARE(messages.Count(), 0);
    // The new row is the one filled; Saw is untouched; the tree shows each name once.
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT ProductName, Author, ArchiveFile FROM CPInfo ORDER BY ID")),
             (QStringList{"Hammer||", "Saw||", "Slow|Ann|Slow.zip"}));
    QCOMPARE(ChildTexts(toolsNode), (QStringList{"Hammer", "Saw", "Slow"}));
    QCOMPARE(f.window->SelectedNode(), toolsNode->child(2));
    // Afterwards the window takes input again.
    velm::test::ClickNode(f.Tree(), saw);
    QCOMPARE(f.window->SelectedNode(), saw);
}

void ArchiveImportTest::aDropDuringAnExtractionWaitsForIt() {
    MessageRecorder messages;
    Fixture f;
    QVERIFY(f.Show());
    Settings().ShowDragNDropInfoMsg = false;
    const QString slow = SlowArchive(f, QStringLiteral("Slow.zip"), "Tools");
    const QString other = f.Archive(QStringLiteral("Other.zip"), std::move(ZipBuilder().Add("o.inf", InfFile("Grids"))));
    f.Select(f.Category(QStringLiteral("Tools")));
    bool dropAccepted = false;
    DuringWork during(f.window.get(), [&] {
        dropAccepted = velm::test::DropFiles(f.Tree()->viewport(), f.On(f.Category(QStringLiteral("Grids"))), {other});
    });
    // What the tree holds when the import ends: the slow archive only.
    QStringList atEnd;
    QObject::connect(f.window->WorkGuard(), &TWorkGuard::busyChanged, f.window.get(), [&](bool busy) {
        if (!busy && atEnd.isEmpty())
            atEnd << ChildTexts(f.Category(QStringLiteral("Tools"))) << ChildTexts(f.Category(QStringLiteral("Grids")));
    });
    f.ImportThroughCommand({slow});
    QVERIFY(during.ran);
    QVERIFY(dropAccepted);
    QCOMPARE(atEnd, QStringList{"Slow"});
    // Once the import has ended, the kept drop is imported.
    QTRY_COMPARE(ChildTexts(f.Category(QStringLiteral("Grids"))), QStringList{"Other"});
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT ProductName, Author FROM CPInfo ORDER BY ID")),
             (QStringList{"Slow|Ann", "Other|"}));
    QCOMPARE(messages.Count(), 0);
    Settings().ShowDragNDropInfoMsg = true;
}

void ArchiveImportTest::closingDuringAnExtractionWaitsForItAndClosesCleanly() {
    MessageRecorder messages;
    Fixture f;
    QVERIFY(f.Show());
    const QString slow = SlowArchive(f, QStringLiteral("Slow.zip"), "Tools");
    f.Select(f.Category(QStringLiteral("Tools")));
    bool openAfterClose = false;
    DuringWork during(f.window.get(), [&] {
        f.window->close();
        openAfterClose = f.window->isVisible() && !QFileInfo::exists(f.cat.SettingsFile());
    });
    f.ImportThroughCommand({slow});
    QVERIFY(during.ran);
    QVERIFY(openAfterClose);
    // The window closes as soon as the import has ended, with the row whole.
    QTRY_VERIFY(!f.window->isVisible());
    QVERIFY(QFileInfo::exists(f.cat.SettingsFile()));  // the close sequence ran
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT ProductName, Author, ArchiveFile FROM CPInfo")),
             QStringList{"Slow|Ann|Slow.zip"});
    QCOMPARE(f.cat.Stored(QStringLiteral("PRAGMA integrity_check")), QStringList{"ok"});
    QCOMPARE(messages.Count(), 0);
}

void ArchiveImportTest::encryptedInfoFileIsNamedAndTreatedAsMissing() {
    MessageRecorder messages;
    Fixture f;
    QVERIFY(f.Show());
    f.Select(f.Category(QStringLiteral("Tools")));
    velm::test::ZipMember secret{"Pkg/pkg.inf", QByteArray(60, '\x5A')};
    secret.flags = 0x0001;
    const QString path = f.Archive(QStringLiteral("Locked.zip"), std::move(ZipBuilder().Add(secret)));
    bool asked = false;
    velm::test::AnswerNextModal<TFormMsgDlg>([](TFormMsgDlg* dialog) { velm::test::Click(dialog->BitBtnOK()); }, &asked);
    f.ImportThroughCommand({path});
    QCOMPARE(messages.Count(), 1);
    QVERIFY(messages.Last().text.endsWith(QStringLiteral("Pkg\\pkg.inf: encrypted: cannot be read")));
    // Then as for an archive without an info file: the category question, and the row.
    QVERIFY(asked);
    QCOMPARE(ChildTexts(f.Category(QStringLiteral("Tools"))), QStringList{"Locked"});
    QCOMPARE(f.Text("Locked", "ArchiveFile"), QStringLiteral("Locked.zip"));
    QCOMPARE(f.Text("Locked", "ProductDescription"), QStringLiteral("\rNote:\r\rAdd.info:\r"));
}

void ArchiveImportTest::droppedFolderImportsEveryArchiveBelowIt() {
    MessageRecorder messages;
    Fixture f;
    QVERIFY(f.Show());
    f.KeepTargetSilently();
    const QString folder = f.archives.filePath(QStringLiteral("downloads"));
    for (const char* name : {"downloads/b.zip", "downloads/A/inner.ZIP", "downloads/c.Zip", "downloads/A/deeper/d.zip",
                             "downloads/notes.txt", "downloads/e.zipx"})
        f.Archive(QString::fromLatin1(name), std::move(ZipBuilder().Add("a.txt", name)));
    const QString loose = f.Archive(QStringLiteral("Loose.zip"), std::move(ZipBuilder().Add("a.txt", "x")));
    // A link to a folder outside is not followed.
    const QString elsewhere = f.archives.filePath(QStringLiteral("elsewhere"));
    f.Archive(QStringLiteral("elsewhere/outside.zip"), std::move(ZipBuilder().Add("a.txt", "x")));
    QVERIFY(QFile::link(elsewhere, folder + QStringLiteral("/link")));

    // A folder whose name is not valid UTF-8 is searched as well.
    const QByteArray rawFolder = QFile::encodeName(folder) + "/\xFE" "dir";
    QVERIFY(::mkdir(rawFolder.constData(), 0755) == 0);
    const QString e = f.Archive(QStringLiteral("e.zip"), std::move(ZipBuilder().Add("a.txt", "e")));
    QVERIFY(std::rename(QFile::encodeName(e).constData(), (rawFolder + "/e.zip").constData()) == 0);

    QTreeWidgetItem* tools = f.Category(QStringLiteral("Tools"));
    f.Drop({loose, folder}, f.On(tools));
    QCOMPARE(messages.Count(), 1);
    QVERIFY(messages.Last().text.startsWith(QStringLiteral("You dropped 6 file(s) at the category : <Tools>")));
    // In drop order, each folder's archives in name order, a sub-folder where it sorts.
    QCOMPARE(ChildTexts(tools), (QStringList{"Loose", "d", "inner", "b", "c", "e"}));
    QCOMPARE(f.Text("inner", "ArchiveFilePath"),
             QDir::toNativeSeparators(folder + QStringLiteral("/A")) + QDir::separator());
    QCOMPARE(f.Text("e", "ArchiveFilePath"), QDir::toNativeSeparators(folder + QStringLiteral("/") +
                                                                      QChar::ReplacementCharacter +
                                                                      QStringLiteral("dir")) +
                                                 QDir::separator());

    // Dropped again: all are catalogued, and one summary says so at the end. Left
    // unticked, nothing more is imported; ticked, they are imported all the same.
    messages.Clear();
    messages.AnswerNext(true);
    messages.AnswerNext(false);
    f.Drop({folder}, f.On(tools));
    QCOMPARE(messages.Count(), 2);
    QCOMPARE(messages.Last().kind, MessageKind::InformationWithCheck);
    QCOMPARE(messages.Last().text, QStringLiteral("0 imported, 5 already catalogued: d.zip, inner.ZIP, b.zip, c.Zip, e.zip"));
    QCOMPARE(ChildTexts(tools).size(), 6);
    Settings().ShowDragNDropInfoMsg = false;
    MessagePresenter* recorder = SetMessagePresenter(nullptr);
    velm::test::AnswerNextModal<QMessageBox>([](QMessageBox* box) {
        velm::test::Click(box->checkBox());
        velm::test::Click(box->buttons().first());
    });
    f.Drop({folder}, f.On(tools));
    SetMessagePresenter(recorder);
    QCOMPARE(ChildTexts(tools).mid(6), (QStringList{"d1", "inner1", "b1", "c1", "e1"}));
    Settings().ShowDragNDropInfoMsg = true;
}

void ArchiveImportTest::droppedFolderWithoutArchivesSaysSo() {
    MessageRecorder messages;
    Fixture f;
    QVERIFY(f.Show());
    const QString folder = f.archives.filePath(QStringLiteral("nothing"));
    f.Write(QStringLiteral("nothing/readme.txt"), "no archives here");
    f.Drop({folder}, f.On(f.Category(QStringLiteral("Tools"))));
    // No question about nothing to import.
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().kind, MessageKind::Error);
    QCOMPARE(messages.Last().text, QStringLiteral("No archives (.zip) were found in the folder \"") +
                                       QDir::toNativeSeparators(folder) + QStringLiteral("\"."));
    QVERIFY(f.cat.Stored(QStringLiteral("SELECT * FROM CPInfo")).isEmpty());
}

void ArchiveImportTest::droppedFolderShowsProgressAndCancels() {
    MessageRecorder messages;
    Fixture f;
    QVERIFY(f.Show());
    f.KeepTargetSilently();
    Settings().ShowDragNDropInfoMsg = false;
    const QString folder = f.archives.filePath(QStringLiteral("many"));
    QVERIFY(QDir().mkpath(folder));
    QFile::rename(SlowArchive(f, QStringLiteral("P0.zip"), "Grids"), folder + QStringLiteral("/P0.zip"));
    for (int i = 1; i < 5; ++i)
        f.Archive(QStringLiteral("many/P%1.zip").arg(i), std::move(ZipBuilder().Add("a.txt", "x")));
    // While the first archive is read, the user presses the progress dialog's Cancel.
    QString progressText;
    DuringWork during(f.window.get(), [&progressText] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* progress = qobject_cast<QProgressDialog*>(widget); progress && progress->isVisible()) {
                progressText = progress->labelText();
                velm::test::Click(progress->findChild<QPushButton*>());
            }
    });
    f.Drop({folder}, f.On(f.Category(QStringLiteral("Grids"))));
    QTRY_VERIFY(during.ran);
    QTRY_COMPARE(ChildTexts(f.Category(QStringLiteral("Grids"))), QStringList{"P0"});
    QCOMPARE(progressText, QStringLiteral("Reading P0.zip (1 of 5)"));
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT ProductName FROM CPInfo")), QStringList{"P0"});
    QCOMPARE(messages.Count(), 0);
    Settings().ShowDragNDropInfoMsg = true;
}

// The IDE versions an archive shows, in the detail panel after a drop; the user's removal
// and addition outlast a re-import that finds the removed version again.
void ArchiveImportTest::worksWithIsShownCorrectedAndKeptOverAReimport() {
    MessageRecorder messages;
    Fixture f;
    QVERIFY(f.Show());
    f.KeepTargetSilently();
    Settings().ShowDragNDropInfoMsg = false;
    // Dated as now: a package file older than the version it names is no evidence of it.
    ZipBuilder zip;
    for (const auto& [name, text] : {std::pair{"Packages/D7/GridPack_D7.dpk", "package GridPack_D7;"},
                                     std::pair{"Packages/Delphi 12 Athens/GridPack.dpk", "package GridPack;"}}) {
        velm::test::ZipMember member(name, text);
        member.dosTime = quint32(((2024 - 1980) << 9 | 11 << 5 | 2) << 16);
        zip.Add(member);
    }
    const QString path =
        f.Archive(QStringLiteral("GridPack.zip"), std::move(zip.Add("GridPack.inf", InfFile("Tools", "Delphi 3.0=Y\r\n"))));
    f.Drop({path}, f.On(f.Category(QStringLiteral("Tools"))));
    f.Select(f.Node(QStringLiteral("GridPack")));
    auto* panel = f.window->findChild<QTabWidget*>(QStringLiteral("PageControlComponentInfo"));
    velm::test::Click(panel->tabBar(), panel->tabBar()->tabRect(1).center());
    auto* list = f.window->findChild<QListWidget*>(QStringLiteral("ListWorksWith"));
    const auto shown = [list] {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts << list->item(i)->text();
        return texts;
    };
    QCOMPARE(shown(), (QStringList{"Delphi 3", "Delphi 7 (detected)", "Delphi 12 Athens (detected)"}));
    QCOMPARE(list->item(1)->toolTip(), QStringLiteral("Packages\\D7\\GridPack_D7.dpk"));
    QCOMPARE(list->item(0)->toolTip(), QStringLiteral("GridPack.inf"));

    velm::test::Click(list->viewport(), list->visualItemRect(list->item(2)).center());
    velm::test::Click(f.window->findChild<QToolButton*>(QStringLiteral("ButtonRemoveWorksWith")));
    auto* choice = f.window->findChild<QComboBox*>(QStringLiteral("ComboWorksWith"));
    velm::test::Click(choice);
    const QModelIndex builder6 = choice->model()->index(choice->findText(QStringLiteral("C++Builder 6")), 0);
    choice->view()->scrollTo(builder6);
    velm::test::Click(choice->view()->viewport(), choice->view()->visualRect(builder6).center());
    velm::test::Click(f.window->findChild<QToolButton*>(QStringLiteral("ButtonAddWorksWith")));
    const QStringList corrected{"Delphi 3", "C++Builder 6", "Delphi 7 (detected)"};
    QCOMPARE(shown(), corrected);

    FileDialogRecorder dialogs;
    dialogs.PickNext({path});
    f.ReimportThroughCommand();
    QCOMPARE(shown(), corrected);
    // What the archive showed is stored again beside the user's word.
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT Ide, Source FROM m.WorksWith ORDER BY Source, Ide")),
             (QStringList{"D12|detected", "D7|detected", "D3|info file", "CB6|user", "D12|user"}));
    QCOMPARE(messages.Count(), 0);
}

QTEST_MAIN(ArchiveImportTest)
#include "test_archive_import.moc"
