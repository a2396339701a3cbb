// The catalogue survives the program being killed at any moment. The test runs itself
// again as a worker that imports archives and deletes categories through the main
// window without end, kills it with SIGKILL at random moments, and checks the files
// after each kill: they open, SQLite finds them sound, no package points at a missing
// category, and the category being deleted is either whole or gone with all its
// packages.
#include "kit/settings.h"
#include "kit/settings_store.h"
#include "browser/form_main.h"
#include "catalogue/data_module.h"
#include "import/form_msg_dlg.h"
#include "import/zip_builder.h"
#include "support/file_dialog_recorder.h"
#include "support/message_recorder.h"
#include "support/user_input.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <sqlite3.h>

#include <csignal>

using namespace velm;

namespace {

constexpr int kRuns = 20;
constexpr int kArchives = 300;
constexpr int kCategoryNames = 12;
constexpr int kArchivesPerImport = 5;
const char* const kWorkerVariable = "VELMORA_CRASH_WORKER";

QString LogPath(const QString& folder) { return folder + QStringLiteral("worker.log"); }
QString ArchiveFolder(const QString& folder) { return folder + QStringLiteral("archives/"); }

void AppendLog(const QString& folder, const QByteArray& line) {
    QFile log(LogPath(folder));
    log.open(QIODevice::Append);
    log.write(line + '\n');
    log.flush();  // in the kernel's hands from here: a killed process cannot lose it
}

// Imports and deletes until killed.
int RunWorker(const QString& folder, quint32 seed) {
    SetSettingsFilePath(folder + QStringLiteral("settings.reg"));
    test::MessageRecorder messages;  // answers every question with Yes
    test::FileDialogRecorder dialogs;
    TDMvelm module(folder);
    DMvelm = &module;
    if (!module.Open())
        return 3;
    TFormMsgDlg messageDialog;
    messageDialog.DontShowAgain = true;
    FormMsgDlg = &messageDialog;
    TFormMain window(folder);
    velm::test::ShowAndActivate(&window);
    Settings().ConfirmDelete = false;
    Settings().ShowDragNDropInfoMsg = false;
    QStringList archives = QDir(ArchiveFolder(folder)).entryList({QStringLiteral("*.zip")}, QDir::Files);
    QRandomGenerator random(seed);
    QTreeWidget* tree = window.TreeViewCategories();
    AppendLog(folder, "started");
    for (int round = 0;; ++round) {
        if (tree->topLevelItemCount() == 0)
            velm::test::ChooseMenu(&window, {"&File", "&New", "&Category"});
        velm::test::ClickNode(tree, tree->topLevelItem(random.bounded(tree->topLevelItemCount())));
        QStringList picks;
        for (int i = 0; i < kArchivesPerImport; ++i)
            picks << ArchiveFolder(folder) + archives.at(random.bounded(archives.size()));
        dialogs.PickNext(picks);
        velm::test::ChooseMenu(&window, {"&File", "&Import Component Info..."});
        if (round % 3 != 2)
            continue;
        QTreeWidgetItem* victim = tree->topLevelItem(random.bounded(tree->topLevelItemCount()));
        TTable& categories = *module.TableCategory;
        categories.Locate(QStringLiteral("Name"), victim->text(0), true);
        AppendLog(folder, "delete " + QByteArray::number(categories.FieldByName(QStringLiteral("ID"))->AsInteger()) +
                              ' ' + QByteArray::number(victim->childCount()));
        velm::test::ClickNode(tree, victim);
        velm::test::Key(&window, Qt::Key_Delete);
        AppendLog(folder, "deleted");
    }
}

// A plain SQLite connection over the three files, as any tool would open them.
class CatalogueFiles {
public:
    explicit CatalogueFiles(const QString& dataFolder) {
        sqlite3_open((dataFolder + QStringLiteral("/Category.db")).toUtf8().constData(), &db_);
        Exec("ATTACH DATABASE '" + (dataFolder + QStringLiteral("/CPInfo.DB")).toUtf8() + "' AS p");
        Exec("ATTACH DATABASE '" + (dataFolder + QStringLiteral("/Status.db")).toUtf8() + "' AS s");
    }
    ~CatalogueFiles() { sqlite3_close(db_); }
    CatalogueFiles(const CatalogueFiles&) = delete;
    CatalogueFiles& operator=(const CatalogueFiles&) = delete;

    QString Text(const QByteArray& sql) {
        sqlite3_stmt* statement = nullptr;
        QString text;
        if (sqlite3_prepare_v2(db_, sql.constData(), -1, &statement, nullptr) != SQLITE_OK)
            return QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(db_));
        while (sqlite3_step(statement) == SQLITE_ROW)
            text += QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
        sqlite3_finalize(statement);
        return text;
    }
    qint64 Number(const QByteArray& sql) { return Text(sql).toLongLong(); }

private:
    void Exec(const QByteArray& sql) { sqlite3_exec(db_, sql.constData(), nullptr, nullptr, nullptr); }
    sqlite3* db_ = nullptr;
};

}  // namespace

class CrashSafetyTest : public QObject {
    Q_OBJECT
private slots:
    void killedAtRandomMomentsLeavesASoundCatalogue();
};

void CrashSafetyTest::killedAtRandomMomentsLeavesASoundCatalogue() {
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    const QString data = folder + QStringLiteral("dbase");
    QVERIFY(CreateCatalogue(data, DefaultStatusValues()));
    QDir().mkpath(ArchiveFolder(folder));
    for (int i = 0; i < kArchives; ++i) {
        const QByteArray inf = "[DSP upload]\r\nCategory=Kind " + QByteArray::number(i % kCategoryNames) +
                               "\r\nVersion=1." + QByteArray::number(i) + "\r\nDescription=Package " +
                               QByteArray::number(i) + "\r\n";
        QVERIFY(test::ZipBuilder()
                    .Add("pkg.inf", inf)
                    .Add("src/unit.pas", QByteArray(20000, 'x'))
                    .WriteTo(ArchiveFolder(folder) + QStringLiteral("Package%1.zip").arg(i)));
    }

    QRandomGenerator random(20261209);
    qint64 packagesSeen = 0;
    int deletesInterrupted = 0;
    for (int run = 0; run < kRuns; ++run) {
        QProcess worker;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(kWorkerVariable), QString::number(random.generate()));
        environment.insert(QStringLiteral("VELMORA_CRASH_FOLDER"), folder);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        worker.setProcessEnvironment(environment);
        worker.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QFile::remove(LogPath(folder));
        worker.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(worker.waitForStarted());
        // Wait until the worker works, then let it run for a random while.
        for (int turn = 0; turn < 600 && !QFile(LogPath(folder)).exists(); ++turn)
            worker.waitForFinished(50);
        QVERIFY2(worker.state() == QProcess::Running, "the worker stopped by itself");
        worker.waitForFinished(200 + random.bounded(1800));
        QVERIFY2(worker.state() == QProcess::Running, "the worker stopped by itself");
        ::kill(pid_t(worker.processId()), SIGKILL);
        QVERIFY(worker.waitForFinished(10000));
        QCOMPARE(worker.exitStatus(), QProcess::CrashExit);

        {
            // The program's own way in opens the catalogue (and rolls back a torn
            // transaction).
            TDMvelm module(folder);
            DMvelm = &module;
            QVERIFY(module.Open());
            DMvelm = nullptr;
        }
        CatalogueFiles files(data);
        QCOMPARE(files.Text("PRAGMA main.integrity_check"), QStringLiteral("ok"));
        QCOMPARE(files.Text("PRAGMA p.integrity_check"), QStringLiteral("ok"));
        QCOMPARE(files.Text("PRAGMA s.integrity_check"), QStringLiteral("ok"));
        QCOMPARE(files.Number("SELECT count(*) FROM p.CPInfo WHERE Category NOT IN (SELECT ID FROM main.Category)"),
                 0);

        QFile logFile(LogPath(folder));
        QVERIFY(logFile.open(QIODevice::ReadOnly));
        const QList<QByteArray> log = logFile.readAll().split('\n');
        QByteArray lastDelete;
        for (const QByteArray& line : log) {
            if (line.startsWith("delete "))
                lastDelete = line;
            else if (line == "deleted")
                lastDelete.clear();
        }
        if (!lastDelete.isEmpty()) {
            // Killed during a delete: all of the category or none of it.
            ++deletesInterrupted;
            const QList<QByteArray> parts = lastDelete.split(' ');
            const QByteArray id = parts.at(1);
            const qint64 children = files.Number("SELECT count(*) FROM p.CPInfo WHERE Category = " + id);
            if (files.Number("SELECT count(*) FROM main.Category WHERE ID = " + id) == 1)
                QCOMPARE(children, parts.at(2).toLongLong());
            else
                QCOMPARE(children, 0);
        }
        packagesSeen = qMax(packagesSeen, files.Number("SELECT count(*) FROM p.CPInfo"));
    }
    qInfo("%d runs killed; %d while deleting a category; at most %lld packages at a kill", kRuns, deletesInterrupted,
          packagesSeen);
    QVERIFY(packagesSeen > 0);
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(kWorkerVariable))
        return RunWorker(qEnvironmentVariable("VELMORA_CRASH_FOLDER"), qEnvironmentVariable(kWorkerVariable).toUInt());
    CrashSafetyTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_crash_safety.moc"
