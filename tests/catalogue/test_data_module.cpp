// The data module: opening the catalogue, what happens without its files, and the
// guard that keeps install status values that packages still use.
#include "catalogue/data_module.h"
#include "catalogue/database_error.h"
#include "support/message_recorder.h"
#include "support/temp_catalogue.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace velm;
using velm::test::MessageRecorder;
using velm::test::TempCatalogue;

class DataModuleTest : public QObject {
    Q_OBJECT
private slots:
    void opensTheThreeTablesInTheirFieldOrder();
    void missingPackageFileShowsOneMessageAndOpensNothing();
    void otherOpenFailuresRaiseTheEngineMessageAndCreateNothing();
    void aTableFileChangedByAnotherProgramIsNamed();
    void damagedFileIsRefusedAtOpen();
    void unusedStatusValueIsDeleted();
    void statusValueInUseStaysAndThePackageRowIsKept();
    void freshCatalogueIsNeverWrittenOverAnExistingOne();
};

void DataModuleTest::opensTheThreeTablesInTheirFieldOrder() {
    TempCatalogue cat;
    TDMvelm& dm = cat.Module();
    QVERIFY(dm.TableCategory->Active() && dm.TableCPInfo->Active() && dm.TableStatus->Active());
    QCOMPARE(dm.TableCPInfo->FieldNames(),
             (QStringList{"ID", "ProductName", "ProductDescription", "Category", "FreeShareCommercial", "VersionMajor",
                          "VersionMinor", "Release", "Build", "Beta", "ReleaseDate", "Compatibility", "Author",
                          "DownloadDate", "Status", "Comments", "StatusDescr", "Rating", "CategoryName", "FileURL",
                          "AuthorEmail", "FullSourceIncl", "ArchiveFile", "ArchiveFilePath"}));
    QCOMPARE(dm.TableCategory->FieldNames(), (QStringList{"Name", "ID"}));
    QCOMPARE(dm.TableStatus->FieldNames(), (QStringList{"ID", "Description"}));
    QCOMPARE(dm.TableStatus->RecordCount(), DefaultStatusValues().size());
    QVERIFY(dm.TableCategory->IsEmpty() && dm.TableCPInfo->IsEmpty());
    QVERIFY(dm.DSCPInfo->DataSet() == dm.TableCPInfo);
}

void DataModuleTest::missingPackageFileShowsOneMessageAndOpensNothing() {
    TempCatalogue cat({}, false);
    QVERIFY(QFile::remove(cat.DataFolder() + QStringLiteral("CPInfo.DB")));
    MessageRecorder messages;
    QVERIFY(!cat.Module().Open());
    // The program shows the message; the data layer only says so.
    QCOMPARE(messages.Count(), 0);
    QCOMPARE(TDMvelm::MissingFilesText(), QStringLiteral("Cannot locate VELM data files"));
    QVERIFY(!cat.Module().TableCategory->Active());
    QVERIFY(!QFile::exists(cat.DataFolder() + QStringLiteral("CPInfo.DB")));
}

void DataModuleTest::otherOpenFailuresRaiseTheEngineMessageAndCreateNothing() {
    TempCatalogue cat({}, false);
    QVERIFY(QFile::remove(cat.DataFolder() + QStringLiteral("Status.db")));
    MessageRecorder messages;
    bool raised = false;
    try {
        cat.Module().Open();
    } catch (const EDatabaseError& e) {
        raised = e.Message().contains(QLatin1String("Status.db"));
    }
    QVERIFY(raised);
    QCOMPARE(messages.Count(), 0);
    QVERIFY(!QFile::exists(cat.DataFolder() + QStringLiteral("Status.db")));
    QVERIFY(!cat.Module().TableCategory->Active() && !cat.Module().TableCPInfo->Active());
}

void DataModuleTest::aTableFileChangedByAnotherProgramIsNamed() {
    TempCatalogue cat({}, false);
    QVERIFY(cat.Execute(QStringLiteral("ALTER TABLE s.Status RENAME TO Gone;")));
    QString text;
    try {
        cat.Module().Open();
    } catch (const EDatabaseError& e) {
        text = e.Text();
    }
    QCOMPARE(text, QStringLiteral("no such table: Status\rCatalogue file: %1\rThe file does not hold the table "
                                  "Velmora expects; another program may have changed it. Put back a copy of the "
                                  "file from a backup.")
                       .arg(QDir::toNativeSeparators(cat.DataFolder() + QStringLiteral("Status.db"))));
}

void DataModuleTest::damagedFileIsRefusedAtOpen() {
    TempCatalogue cat({}, false);
    QFile file(cat.DataFolder() + QStringLiteral("Category.db"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QByteArray(4096, 'x'));
    file.close();
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, cat.Module().Open());
    QVERIFY(!cat.Module().TableCPInfo->Active());
}

void DataModuleTest::unusedStatusValueIsDeleted() {
    TempCatalogue cat({QStringLiteral("Used"), QStringLiteral("Unused")});
    const qint64 c = cat.AddCategory(QStringLiteral("C"));
    cat.AddPackage(QStringLiteral("P"), c, 1);
    cat.AddPackage(QStringLiteral("Q"), c);  // an empty status never blocks a delete
    TTable& statuses = *cat.Module().TableStatus;
    MessageRecorder messages;
    QVERIFY(statuses.Locate(QStringLiteral("Description"), QStringLiteral("Unused"), false));
    statuses.Delete();
    QCOMPARE(statuses.RecordCount(), 1);
    QCOMPARE(messages.Count(), 0);
}

void DataModuleTest::statusValueInUseStaysAndThePackageRowIsKept() {
    TempCatalogue cat({QStringLiteral("Used"), QStringLiteral("Unused")});
    const qint64 c = cat.AddCategory(QStringLiteral("C"));
    const qint64 other = cat.AddCategory(QStringLiteral("Other"));
    cat.AddPackage(QStringLiteral("P"), c);
    cat.AddPackage(QStringLiteral("Q"), other, 1);
    cat.AddPackage(QStringLiteral("R"), c);
    TTable& packages = *cat.Module().TableCPInfo;
    TTable& statuses = *cat.Module().TableStatus;
    QVERIFY(packages.Locate(QStringLiteral("ProductName"), QStringLiteral("R"), false));

    // The refusal says why; showing it is the window's part.
    statuses.First();
    try {
        statuses.Delete();
        QFAIL("the status value in use was deleted");
    } catch (const ERefused& refused) {
        QCOMPARE(refused.Text(), QStringLiteral("This status value is in use, so can NOT be deleted !"));
    }
    QCOMPARE(statuses.RecordCount(), 2);
    QCOMPARE(packages.FieldByName(QStringLiteral("ProductName"))->AsString(), QStringLiteral("R"));

    // A filter on the package table must not hide the package that uses the value.
    packages.SetFilter(QStringLiteral("Category = %1").arg(c));
    packages.SetFiltered(true);
    QVERIFY_THROWS_EXCEPTION(ERefused, statuses.Delete());
    QCOMPARE(statuses.RecordCount(), 2);
}

void DataModuleTest::freshCatalogueIsNeverWrittenOverAnExistingOne() {
    TempCatalogue cat;
    cat.AddCategory(QStringLiteral("Mine"));
    QVERIFY(!CreateCatalogue(cat.DataFolder(), DefaultStatusValues()));
    cat.Module().Close();
    QVERIFY(cat.Module().Open());
    QCOMPARE(cat.Module().TableCategory->RecordCount(), 1);

    QTemporaryDir empty;
    const QString folder = empty.path() + QStringLiteral("/with space;and\u00e9/dbase");
    QVERIFY(CreateCatalogue(folder, {}));
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 3);
}

QTEST_GUILESS_MAIN(DataModuleTest)
#include "test_data_module.moc"
