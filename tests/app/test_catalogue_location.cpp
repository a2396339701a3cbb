// Where the catalogue lives: beside a portable program, else in the user's data folder,
// written there on the very first start only. An existing catalogue folder is never
// written to, even one that lacks its tables.
#include "app/catalogue_location.h"
#include "catalogue/data_module.h"
#include "support/message_recorder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace velm;
using velm::test::MessageRecorder;

namespace {

const QStringList kTableFiles{"Category.db", "CPInfo.DB", "Status.db"};

bool MakeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

}  // namespace

class CatalogueLocationTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void portableFolderIsUsedWhenDbaseIsBesideTheProgram();
    void firstStartWithAnEmptyHomeWritesAPerUserCatalogueOnce();
    void existingFolderWithoutThePackageTableIsNeverRecreated_data();
    void existingFolderWithoutThePackageTableIsNeverRecreated();
    void perUserFolderThatCannotBeMadeIsReported();

private:
    std::unique_ptr<QTemporaryDir> root_;
    QByteArray savedHome_, savedDataHome_;
    // An installed program: <prefix>/bin, with the category list in <prefix>/share/velmora.
    QString InstalledProgramFolder() {
        const QString prefix = root_->filePath(QStringLiteral("usr"));
        MakeFile(prefix + QStringLiteral("/share/velmora/categories.cat"), "Grids\r\nCharts\r\n");
        QDir().mkpath(prefix + QStringLiteral("/bin"));
        return prefix + QStringLiteral("/bin/");
    }
};

void CatalogueLocationTest::initTestCase() {
    QCoreApplication::setApplicationName(QStringLiteral("Velmora"));
    savedHome_ = qgetenv("HOME");
    savedDataHome_ = qgetenv("XDG_DATA_HOME");
}

void CatalogueLocationTest::init() {
    root_ = std::make_unique<QTemporaryDir>();
    const QString home = root_->filePath(QStringLiteral("home"));
    QDir().mkpath(home);
    qputenv("HOME", QFile::encodeName(home));
    qunsetenv("XDG_DATA_HOME");
}

void CatalogueLocationTest::cleanup() {
    qputenv("HOME", savedHome_);
    if (savedDataHome_.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", savedDataHome_);
    root_.reset();
}

void CatalogueLocationTest::portableFolderIsUsedWhenDbaseIsBesideTheProgram() {
    const QString program = root_->filePath(QStringLiteral("Velmora"));
    QVERIFY(CreateCatalogue(program + QStringLiteral("/dbase"), {}));

    const TCatalogueLocation location = LocateCatalogue(program);
    QCOMPARE(location.Folder, program + QLatin1Char('/'));
    QCOMPARE(location.DataFolder(), program + QStringLiteral("/dbase/"));
    QVERIFY(location.Portable);
    QVERIFY(!location.CreatedFresh);
    QVERIFY(location.Failure.isEmpty());
    // The user's home is left alone.
    QCOMPARE(Entries(root_->filePath(QStringLiteral("home"))), QStringList());
}

void CatalogueLocationTest::firstStartWithAnEmptyHomeWritesAPerUserCatalogueOnce() {
    const QString program = InstalledProgramFolder();
    const QString expected = root_->filePath(QStringLiteral("home/.local/share/Velmora/"));

    const TCatalogueLocation first = LocateCatalogue(program);
    QVERIFY(first.Failure.isEmpty());
    QVERIFY(!first.Portable);
    QVERIFY(first.CreatedFresh);
    QCOMPARE(first.Folder, expected);
    QCOMPARE(FreshCatalogueNotice(first),
             QStringLiteral("A new, empty catalogue was created in ") + expected + QStringLiteral("dbase"));
    // The tables and the category list, and nothing left over from building them.
    QCOMPARE(Entries(expected), (QStringList{"categories.cat", "dbase"}));
    QCOMPARE(Entries(first.DataFolder()), (QStringList{"CPInfo.DB", "Category.db", "Status.db"}));
    QVERIFY(!QFileInfo::exists(program + QStringLiteral("dbase")));
    {
        MessageRecorder messages;
        TDMvelm module(first.Folder);
        DMvelm = &module;
        QVERIFY(module.Open());
        QCOMPARE(module.TableStatus->RecordCount(), DefaultStatusValues().size());
        QVERIFY(module.TableCPInfo->IsEmpty());
        module.TableCategory->Append();
        module.TableCategory->FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("Grids"));
        module.TableCategory->Post();
        DMvelm = nullptr;
        QCOMPARE(messages.Count(), 0);
    }

    // Every later start finds the catalogue as it was left.
    const TCatalogueLocation second = LocateCatalogue(program);
    QCOMPARE(second.Folder, expected);
    QVERIFY(!second.CreatedFresh);
    QVERIFY(second.Failure.isEmpty());
    TDMvelm module(second.Folder);
    DMvelm = &module;
    QVERIFY(module.Open());
    QCOMPARE(module.TableCategory->RecordCount(), 1);
    DMvelm = nullptr;
}

void CatalogueLocationTest::existingFolderWithoutThePackageTableIsNeverRecreated_data() {
    QTest::addColumn<QStringList>("tablesLeft");
    QTest::newRow("empty dbase folder") << QStringList();
    QTest::newRow("dbase without CPInfo.DB") << QStringList{"Category.db", "Status.db"};
}

void CatalogueLocationTest::existingFolderWithoutThePackageTableIsNeverRecreated() {
    QFETCH(QStringList, tablesLeft);
    const QString dataHome = root_->filePath(QStringLiteral("data"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome));
    const QString dbase = dataHome + QStringLiteral("/Velmora/dbase/");
    QVERIFY(CreateCatalogue(dbase, {}));
    for (const QString& table : kTableFiles)
        if (!tablesLeft.contains(table))
            QVERIFY(QFile::remove(dbase + table));

    const TCatalogueLocation location = LocateCatalogue(InstalledProgramFolder());
    QCOMPARE(location.Folder, dataHome + QStringLiteral("/Velmora/"));
    QVERIFY(!location.CreatedFresh);
    QVERIFY(location.Failure.isEmpty());

    // The data module then finds its files missing (the program says so and ends).
    TDMvelm module(location.Folder);
    QVERIFY(!module.Open());
    QCOMPARE(Entries(dbase), tablesLeft);
    QCOMPARE(Entries(location.Folder), QStringList{"dbase"});
}

void CatalogueLocationTest::perUserFolderThatCannotBeMadeIsReported() {
    // A file where a folder should be stops even root.
    const QString blocker = root_->filePath(QStringLiteral("data"));
    QVERIFY(MakeFile(blocker, "not a folder"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(blocker));

    const TCatalogueLocation location = LocateCatalogue(InstalledProgramFolder());
    QVERIFY(!location.CreatedFresh);
    QCOMPARE(location.Failure, QStringLiteral("Cannot create a new catalogue in ") + blocker +
                                   QStringLiteral("/Velmora/dbase"));
    QVERIFY(QFileInfo(blocker).isFile());
}

QTEST_GUILESS_MAIN(CatalogueLocationTest)
#include "test_catalogue_location.moc"
