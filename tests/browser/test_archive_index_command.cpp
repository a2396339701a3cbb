// Tools > Index archive contents... on a catalogue whose archives were never indexed:
// what it reads, skips and lists, and what happens to input, a drop, Cancel and a close
// that arrive while it runs.
#include "browser/archive_index_command.h"
#include "browser/form_index_results.h"
#include "browser/progress_run.h"
#include "catalogue/archive_index.h"
#include "catalogue/data_module.h"
#include "catalogue/database.h"
#include "kit/work_guard.h"
#include "import/zip_builder.h"
#include "support/main_window_fixture.h"
#include "support/message_recorder.h"
#include "support/modal_dialog.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using namespace velm;
using velm::test::MessageRecorder;
using velm::test::ZipBuilder;

namespace {

const QDateTime kWritten(QDate(2020, 5, 6), QTime(12, 0));

struct Fixture : velm::test::MainWindowFixture {
    QTemporaryDir archives;
    qint64 tools = cat.AddCategory(QStringLiteral("Tools"));

    QString Write(const QString& name, const QByteArray& bytes, const QDateTime& when = kWritten) {
        const QString path = archives.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        file.flush();
        file.setFileTime(when, QFileDevice::FileModificationTime);
        return path;
    }
    // A package whose row names the archive at the path, as an older catalogue has it.
    void AddPackage(const QString& name, const QString& archivePath) {
        const qint64 id = cat.AddPackage(name, tools);
        if (archivePath.isEmpty())
            return;
        TTable& packages = Packages();
        QVERIFY(packages.Locate(QStringLiteral("ID"), id, false));
        packages.Edit();
        packages.FieldByName(QStringLiteral("ArchiveFilePath"))
            ->SetAsString(QDir::toNativeSeparators(QFileInfo(archivePath).absolutePath()) + QDir::separator());
        packages.FieldByName(QStringLiteral("ArchiveFile"))->SetAsString(QFileInfo(archivePath).fileName());
        packages.Post();
    }
    // Each indexed member as "Product|Name", in the order stored.
    QStringList Members() const {
        return cat.Stored(QStringLiteral("SELECT p.ProductName, m.Name FROM m.ArchiveMember m "
                                         "JOIN CPInfo p ON p.ID = m.PackageID ORDER BY m.ID"));
    }
    void RunCommand() { velm::test::ChooseMenu(window.get(), {"&Tools", "&Index archive contents..."}); }
};

// The results window's summary and rows ("Component|Archive|Problem"), closed with OK.
struct ResultsSeen {
    QString summary;
    QStringList rows;
    bool shown = false;
    ResultsSeen() {
        velm::test::AnswerNextModal<TFormIndexResults>(
            [this](TFormIndexResults* results) {
                summary = results->LabelSummary()->text();
                for (int i = 0; i < results->ListUnread()->topLevelItemCount(); ++i) {
                    const QTreeWidgetItem* row = results->ListUnread()->topLevelItem(i);
                    rows << row->text(0) + u'|' + row->text(1) + u'|' + row->text(2);
                }
                velm::test::Click(results->BitBtnOK());
            },
            &shown);
    }
};

// Runs the action once, at the first turn of the event loop during the run at which
// the progress dialog shows this text.
struct WhenProgressShows {
    QTimer timer;
    bool ran = false;
    WhenProgressShows(TFormMain* window, const QString& text, std::function<void(QProgressDialog*)> action) {
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, [this, window, text, action = std::move(action)] {
            if (!window->WorkGuard()->Busy())
                return;
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* progress = qobject_cast<QProgressDialog*>(widget);
                    progress && progress->isVisible() && progress->labelText() == text) {
                    timer.stop();
                    ran = true;
                    action(progress);
                    return;
                }
        });
        timer.start();
    }
};

}  // namespace

class ArchiveIndexCommandTest : public QObject {
    Q_OBJECT
private slots:
    void readsNewArchivesSkipsUnchangedOnesAndListsTheUnreadable();
    void inputADropCancelAndACloseDuringTheRun();
};

void ArchiveIndexCommandTest::readsNewArchivesSkipsUnchangedOnesAndListsTheUnreadable() {
    MessageRecorder messages;
    Fixture f;
    const QString alpha = f.Write(QStringLiteral("Alpha.zip"),
                                  ZipBuilder().Add("Source/Alpha.pas", "unit Alpha;").Add("Alpha.inf", "[x]").Build());
    const QString beta = f.Write(QStringLiteral("sub/Beta.zip"), ZipBuilder().Add("Beta.dpk", "package Beta;").Build());
    const QString gone = f.archives.filePath(QStringLiteral("Gone.zip"));
    const QString broken = f.Write(QStringLiteral("Broken.zip"), "no archive at all");
    f.AddPackage(QStringLiteral("Alpha"), alpha);
    f.AddPackage(QStringLiteral("Gone"), gone);
    f.AddPackage(QStringLiteral("Beta"), beta);
    f.AddPackage(QStringLiteral("Broken"), broken);
    f.AddPackage(QStringLiteral("Nothing"), QString());
    QVERIFY(f.Show());

    {
        ResultsSeen results;
        f.RunCommand();
        QVERIFY(results.shown);
        QCOMPARE(results.summary, QStringLiteral("2 archive(s) read, with 3 member(s); 0 archive(s) unchanged since "
                                                 "they were last indexed.\n2 archive(s) could not be read."));
        // The run went on past both.
        QCOMPARE(results.rows, (QStringList{QStringLiteral("Gone|%1|not found").arg(QDir::toNativeSeparators(gone)),
                                            QStringLiteral("Broken|%1|not a ZIP archive").arg(QDir::toNativeSeparators(broken))}));
    }
    QCOMPARE(messages.Count(), 0);
    QCOMPARE(f.Members(), (QStringList{"Alpha|Source\\Alpha.pas", "Alpha|Alpha.inf", "Beta|Beta.dpk"}));
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT count(*) FROM m.ArchiveFile")), QStringList{"2"});
    const auto sha256 = [&f](const QString& product) {
        return f.cat.Stored(QStringLiteral("SELECT f.Sha256 FROM m.ArchiveFile f JOIN CPInfo p ON p.ID = f.PackageID "
                                           "WHERE p.ProductName = '%1'").arg(product));
    };
    const auto hashOf = [](const QString& path) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        return QStringList{QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex()};
    };
    QCOMPARE(sha256(QStringLiteral("Alpha")), hashOf(alpha));

    // Alpha's bytes change behind the same size and date: it counts as unchanged and is
    // not read (it would be unreadable now). Beta has changed and is read again.
    const qint64 alphaSize = QFileInfo(alpha).size();
    QFile::remove(alpha);
    f.Write(QStringLiteral("Alpha.zip"), QByteArray(alphaSize, 'x'));
    f.Write(QStringLiteral("sub/Beta.zip"), ZipBuilder().Add("Beta.dpk", "package Beta;").Add("BetaReg.pas", "").Build(),
            kWritten.addDays(1));
    // Gone is there now; Broken still is not an archive.
    f.Write(QStringLiteral("Gone.zip"), ZipBuilder().Add("Gone.pas", "").Build());
    {
        ResultsSeen results;
        f.RunCommand();
        QVERIFY(results.shown);
        QCOMPARE(results.summary, QStringLiteral("2 archive(s) read, with 3 member(s); 1 archive(s) unchanged since "
                                                 "they were last indexed.\n1 archive(s) could not be read."));
        QCOMPARE(results.rows.size(), 1);
        QVERIFY(results.rows.first().startsWith(QStringLiteral("Broken|")));
    }
    QCOMPARE(f.Members(), (QStringList{"Alpha|Source\\Alpha.pas", "Alpha|Alpha.inf", "Gone|Gone.pas", "Beta|Beta.dpk",
                                       "Beta|BetaReg.pas"}));

    // With every archive readable, the end is a message. Beta, as if indexed before
    // SHA-256s were kept, gets its own without counting as read.
    TArchiveIndex& index = *DMvelm->ArchiveIndex();
    index.Database().Exec(QStringLiteral("UPDATE %1.ArchiveFile SET Sha256 = NULL").arg(QuoteIdentifier(index.Schema())));
    QFile::remove(broken);
    f.Write(QStringLiteral("Broken.zip"), ZipBuilder().Add("Mended.pas", "").Build());
    f.RunCommand();
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().kind, MessageKind::Information);
    QCOMPARE(messages.Last().text, QStringLiteral("1 archive(s) read, with 1 member(s); 3 archive(s) unchanged since "
                                                  "they were last indexed."));
    QCOMPARE(sha256(QStringLiteral("Beta")), hashOf(beta));

    // The IDE versions go in with the members, from the archive's names and the record's
    // compatibility flags; a package indexed by a build that did not read them has its
    // archive read again for them alone.
    test::ZipMember dpk("Packages/D7/Grid_D7.dpk", "package Grid_D7;");
    dpk.dosTime = quint32(((2004 - 1980) << 9 | 3 << 5 | 1) << 16);
    f.AddPackage(QStringLiteral("Grid"), f.Write(QStringLiteral("Grid.zip"), ZipBuilder().Add(dpk).Add("Grid.inf", "[x]").Build()));
    TTable& packages = f.Packages();
    QVERIFY(packages.Locate(QStringLiteral("ProductName"), QStringLiteral("Grid"), false));
    packages.Edit();
    packages.FieldByName(QStringLiteral("Compatibility"))->SetAsInteger(4);
    packages.Post();
    const qint64 grid = packages.FieldByName(QStringLiteral("ID"))->AsInteger();
    const QString versions = QStringLiteral("SELECT Ide, Source, Evidence FROM m.WorksWith ORDER BY rowid");
    const QStringList gridVersions{"D7|detected|Packages\\D7\\Grid_D7.dpk", "D3|info file|Grid.inf"};
    f.RunCommand();
    QCOMPARE(messages.Last().text, QStringLiteral("1 archive(s) read, with 2 member(s); 4 archive(s) unchanged since "
                                                  "they were last indexed."));
    QCOMPARE(f.cat.Stored(versions), gridVersions);
    for (const char* table : {"WorksWith", "WorksWithRead"})
        index.Database().Exec(QStringLiteral("DELETE FROM %1.%2 WHERE PackageID = %3")
                                  .arg(QuoteIdentifier(index.Schema()), QLatin1String(table))
                                  .arg(grid));
    f.RunCommand();
    QCOMPARE(messages.Last().text, QStringLiteral("0 archive(s) read, with 0 member(s); 5 archive(s) unchanged since "
                                                  "they were last indexed."));
    QCOMPARE(f.cat.Stored(versions), gridVersions);
}

void ArchiveIndexCommandTest::inputADropCancelAndACloseDuringTheRun() {
    MessageRecorder messages;
    Fixture f;
    for (const char* name : {"A", "B", "C"})
        f.AddPackage(QString::fromLatin1(name),
                     f.Write(QStringLiteral("%1.zip").arg(QLatin1String(name)),
                             ZipBuilder().Add(QByteArray(name) + ".pas", "").Build()));
    const QString dropped = f.Write(QStringLiteral("Dropped.zip"), ZipBuilder().Add("Dropped.pas", "").Build());
    QVERIFY(f.Show());
    QTreeWidgetItem* toolsNode = f.Category(0);
    f.Expand(toolsNode);
    const int interval = ProgressIntervalMs;
    ProgressIntervalMs = 0;

    // Before the second archive the user clicks a component, types, presses Delete,
    // drops an archive on the tree and presses Cancel.
    bool dropAccepted = false;
    WhenProgressShows during(f.window.get(), QStringLiteral("Reading B.zip (2 of 3)"), [&](QProgressDialog* progress) {
        velm::test::ClickNode(f.Tree(), toolsNode->child(1));
        velm::test::Type(f.window.get(), QStringLiteral("typed"));
        velm::test::Key(f.window.get(), Qt::Key_Delete);
        dropAccepted = velm::test::DropFiles(f.Tree()->viewport(), velm::test::NodePoint(f.Tree(), toolsNode), {dropped});
        velm::test::Click(progress->findChild<QPushButton*>());
    });
    // What the window shows when the run ends.
    QString selectedAtEnd;
    QStringList treeAtEnd;
    const QMetaObject::Connection atEnd =
        QObject::connect(f.window->WorkGuard(), &TWorkGuard::busyChanged, f.window.get(), [&](bool busy) {
            if (!busy && selectedAtEnd.isEmpty() && f.window->SelectedNode()) {
                selectedAtEnd = f.window->SelectedNode()->text(0);
                treeAtEnd = f.ChildTexts(toolsNode);
            }
        });
    f.RunCommand();
    QObject::disconnect(atEnd);
    QVERIFY(during.ran);
    QVERIFY(dropAccepted);
    QCOMPARE(selectedAtEnd, QStringLiteral("Tools"));
    QCOMPARE(treeAtEnd, (QStringList{"A", "B", "C"}));
    QCOMPARE(messages.shown.first().text, QStringLiteral("Indexing was cancelled after 1 of 3 archive(s).\r1 archive(s) read, "
                                                  "with 1 member(s); 0 archive(s) unchanged since they were last "
                                                  "indexed."));
    // The kept drop is imported once the run has ended, its members with it.
    QTRY_COMPARE(f.ChildTexts(toolsNode), (QStringList{"A", "B", "C", "Dropped"}));
    QCOMPARE(f.Members(), (QStringList{"A|A.pas", "Dropped|Dropped.pas"}));
    QCOMPARE(messages.Count(), 2);
    QVERIFY(messages.Last().text.startsWith(QStringLiteral("You dropped 1 file(s)")));

    // A close before the third archive of the next run waits for the archive in hand.
    WhenProgressShows closing(f.window.get(), QStringLiteral("Reading C.zip (3 of 4)"),
                              [&](QProgressDialog*) { f.window->close(); });
    f.RunCommand();
    QVERIFY(closing.ran);
    QTRY_VERIFY(!f.window->isVisible());
    QCOMPARE(f.Members(), (QStringList{"A|A.pas", "Dropped|Dropped.pas", "B|B.pas"}));
    QCOMPARE(f.cat.Stored(QStringLiteral("PRAGMA m.integrity_check")), QStringList{"ok"});
    // No report of a run that the close ended.
    QCOMPARE(messages.Count(), 2);
    ProgressIntervalMs = interval;
}

QTEST_MAIN(ArchiveIndexCommandTest)
#include "test_archive_index_command.moc"
