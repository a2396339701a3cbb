// The example archives shipped in examples/archives/, imported all at once through the
// import command into a catalogue holding the shipped category list, as a new user
// tries the program: each lands in the category its info file names, filled from it.
#include "kit/settings.h"
#include "catdesc/cat_file.h"
#include "import/form_msg_dlg.h"
#include "support/file_dialog_recorder.h"
#include "support/main_window_fixture.h"
#include "support/message_recorder.h"
#include "support/modal_dialog.h"

#include <QDir>
#include <QPushButton>
#include <QTest>

using namespace velm;
using velm::test::FileDialogRecorder;
using velm::test::MainWindowFixture;
using velm::test::MessageRecorder;

class ExampleArchivesTest : public QObject {
    Q_OBJECT
private slots:
    void everyExampleLandsInItsCategoryFilledFromItsInfoFile();
};

void ExampleArchivesTest::everyExampleLandsInItsCategoryFilledFromItsInfoFile() {
    const QDir examples(QStringLiteral(VELMORA_SOURCE_DIR "/examples/archives"));
    const QStringList names = examples.entryList({QStringLiteral("*.zip")}, QDir::Files, QDir::Name);
    QCOMPARE(names.size(), 10);
    QStringList paths;
    for (const QString& name : names)
        paths << examples.filePath(name);

    MessageRecorder messages;
    TFormMsgDlg messageDialog;
    FormMsgDlg = &messageDialog;
    MainWindowFixture f;
    for (const QString& name : ReadCatFile(QStringLiteral(VELMORA_SOURCE_DIR "/categories.cat")).Names)
        f.cat.AddCategory(name);
    QVERIFY(f.Show());
    f.Select(f.Node(QStringLiteral("Other")));

    // The one archive without an info file asks; the already selected category is kept.
    bool asked = false;
    velm::test::AnswerNextModal<TFormMsgDlg>([](TFormMsgDlg* dialog) { velm::test::Click(dialog->BitBtnOK()); },
                                             &asked);
    FileDialogRecorder dialogs;
    dialogs.PickNext(paths);
    velm::test::ChooseMenu(f.window.get(), {"&File", "&Import Component Info..."});
    QVERIFY(asked);
    // The one category that is not in the shipped list is added, with its notice.
    QCOMPARE(messages.Count(), 1);
    QVERIFY(messages.Last().text.contains(QStringLiteral("category: Audio Effects, but this category is not defined")));

    QCOMPARE(f.cat.Stored(QStringLiteral(
                 "SELECT p.ProductName, c.Name, p.VersionMajor || '.' || p.VersionMinor || '.' || p.Release || '.' || "
                 "p.Build, p.FreeShareCommercial, p.FullSourceIncl, p.Compatibility, p.Author, p.ArchiveFile "
                 "FROM CPInfo p JOIN c.Category c ON p.Category = c.ID ORDER BY p.ProductName")),
             (QStringList{
                 "ChartPad|Charts and Graphs|0.9.0.0|1|1|12|Eva Marsh|ChartPad.zip",
                 "DateBox|Calendars and Dates|1.0.0.0|0|1|37|Iris Vale|DateBox.zip",
                 "FastGrid|Grids|2.1.0.0|1|0|38|Bert Quill|FastGrid.zip",
                 "MailBox|E-Mail|2.0.1.0|1|1|40|Finn Hale|MailBox.zip",
                 "OldButtons|Other|0.0.0.0|0|0|0||OldButtons.zip",
                 "RegTools|Registry and INI Files|1.1.3.0|0|1|17|Gwen Price|RegTools.zip",
                 "SoundKit|Audio Effects|4.2.0.17|1|1|14|Hugo Brandt|SoundKit.zip",
                 "SpinEdits|Spin and Track Controls|1.2.0.0|0|0|18|Dev Okafor|SpinEdits.zip",
                 "TrayIcon|System|1.4.0.2|0|1|12|Ann Tarrow|TrayIcon.zip",
                 "ZipKit|Compression|3.0.0.0|0|1|3|Cara Lind|ZipKit.zip",
             }));
    // Numbered description lines come in as lines of the description.
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT ProductDescription FROM CPInfo WHERE ProductName = 'FastGrid'")),
             QStringList{QStringLiteral("A string grid for large lists:\r\n1. sorts by any column,\r\n"
                                        "2. filters rows as you type,\r\n3. edits cells in place.\r\n\rNote:\r"
                                        "Registered users get the source.\rAdd.info:\r")});
    // Every compatibility flag is set somewhere among them.
    int flags = 0;
    for (const QString& mask : f.cat.Stored(QStringLiteral("SELECT Compatibility FROM CPInfo")))
        flags |= mask.toInt();
    QCOMPARE(flags, 63);
    FormMsgDlg = nullptr;
}

QTEST_MAIN(ExampleArchivesTest)
#include "test_example_archives.moc"
