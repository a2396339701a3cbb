// Hostile inputs reaching the program through its ordinary ways in: each gives a clear
// message, writes nothing outside the Tmp folder and leaves the catalogue consistent.
#include "kit/settings.h"
#include "browser/form_main.h"
#include "catalogue/data_module.h"
#include "catalogue/database_error.h"
#include "import/catalogue_check.h"
#include "import/form_msg_dlg.h"
#include "import/zip_builder.h"
#include "import/zip_extractor.h"
#include "support/message_recorder.h"
#include "support/file_dialog_recorder.h"
#include "support/temp_catalogue.h"
#include "support/user_input.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <memory>

#include <sqlite3.h>
#include <unistd.h>

using namespace velm;
using velm::test::MessageRecorder;
using velm::test::TempCatalogue;
using velm::test::ZipBuilder;
using velm::test::ZipMember;

namespace {

// A shown main window over a temporary catalogue with one category, archives imported
// into it without questions.
struct Fixture {
    TempCatalogue cat;
    QTemporaryDir archives;
    TFormMsgDlg messageDialog;
    std::unique_ptr<TFormMain> window;

    Fixture() {
        cat.AddCategory(QStringLiteral("Tools"));
        messageDialog.DontShowAgain = true;
        FormMsgDlg = &messageDialog;
        window = std::make_unique<TFormMain>(cat.ProgramFolder());
        velm::test::ShowAndActivate(window.get());
        velm::test::ClickNode(window->TreeViewCategories(), window->TreeViewCategories()->topLevelItem(0));
    }
    ~Fixture() {
        window.reset();
        FormMsgDlg = nullptr;
    }
    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = archives.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return path;
    }
    // Through File > Import Component Info, the file dialog answered with the path.
    void Import(const QString& path) {
        velm::test::FileDialogRecorder dialogs;
        dialogs.PickNext({path});
        velm::test::ChooseMenu(window.get(), {"&File", "&Import Component Info..."});
    }
    int ComponentCount() const { return window->TreeViewCategories()->topLevelItem(0)->childCount(); }
    int RowCount() {
        TTable& packages = *cat.Module().TableCPInfo;
        packages.CheckBrowseMode();
        int rows = 0;
        for (packages.First(); !packages.Eof(); packages.Next())
            ++rows;
        return rows;
    }
    // Every file below the program folder but the catalogue, the settings and the archives.
    QStringList StrayFiles() const {
        QStringList stray;
        QDirIterator it(cat.ProgramFolder(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (!path.contains(QStringLiteral("/dbase/")) && !path.contains(QStringLiteral("/settings/")) &&
                !path.contains(QStringLiteral("/Tmp/")))
                stray << path;
        }
        return stray;
    }
};

QByteArray Hash(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

}  // namespace

class HostileInputsTest : public QObject {
    Q_OBJECT
private slots:
    void lyingCentralDirectories();
    void zipBombNamedInf();
    void memberNamesLeadingOutside();
    void damagedPackageFileIsRefusedUntouched();
    void readOnlyCatalogueFolder();
    void catalogueFailuresNameTheFileAndTheWayOut();
};

void HostileInputsTest::lyingCentralDirectories() {
    MessageRecorder messages;
    Fixture f;
    const QByteArray inf = "[DSP upload]\r\nCategory=Tools\r\n";
    QByteArray beyond = ZipBuilder().Add("a.inf", inf).Build();
    // The end record's directory offset points far beyond the file.
    beyond[beyond.size() - 22 + 16] = char(0xFF);
    beyond[beyond.size() - 22 + 19] = char(0x7F);
    QByteArray tooLong = ZipBuilder().Add("a.inf", inf).Build();
    // The directory claims more bytes than the file holds.
    tooLong[tooLong.size() - 22 + 12] = char(0xF0);
    tooLong[tooLong.size() - 22 + 13] = char(0xFF);
    ZipMember liar("b.inf", inf);
    liar.declaredSize = 3;  // the member holds more than it says
    const QStringList paths{
        f.Write(QStringLiteral("Beyond.zip"), beyond),
        f.Write(QStringLiteral("TooLong.zip"), tooLong),
        f.Write(QStringLiteral("Count.zip"), ZipBuilder().Add("a.inf", inf).DeclareEntries(40).Build()),
        f.Write(QStringLiteral("Header.zip"), ZipBuilder().Add("a.inf", inf).BreakHeaderSignature(0).Build()),
        f.Write(QStringLiteral("Liar.zip"), ZipBuilder().Add(liar).Build()),
    };
    for (const QString& path : paths) {
        messages.Clear();
        f.Import(path);
        QVERIFY2(messages.Count() >= 1, qPrintable(path));
        QVERIFY2(messages.shown.first().text.contains(QFileInfo(path).fileName()), qPrintable(messages.Last().text));
    }
    // An archive that cannot be read imports nothing.
    QCOMPARE(f.RowCount(), 0);
    QCOMPARE(f.ComponentCount(), 0);
    QCOMPARE(f.StrayFiles(), QStringList());
    // The catalogue check reads each of them to its end and calls it damaged.
    for (const QString& path : paths)
        QVERIFY2(CheckArchiveFile(path, std::nullopt).State == TArchiveState::Damaged, qPrintable(path));
}

void HostileInputsTest::zipBombNamedInf() {
    MessageRecorder messages;
    Fixture f;
    const QByteArray zeros(100 * 1024 * 1024, '\0');
    ZipMember honest("bomb.inf", zeros);
    honest.deflated = test::RawDeflate(zeros);
    QVERIFY(honest.deflated.size() < 1024 * 1024);
    ZipMember disguised = honest;
    disguised.name = "small.inf";
    disguised.declaredSize = 100;  // claims a tiny file
    for (const ZipMember& member : {honest, disguised}) {
        messages.Clear();
        f.Import(f.Write(QString::fromLatin1(member.name) + QStringLiteral(".zip"), ZipBuilder().Add(member).Build()));
        QCOMPARE(messages.Count(), 1);
        QVERIFY(messages.Last().text.contains(QString::fromLatin1(member.name)));
        // Nothing near the bomb's size reached the disk.
        QDirIterator it(f.window->TmpFolder(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            QVERIFY(QFileInfo(it.next()).size() <= kMaxMemberSize);
    }
    QCOMPARE(f.RowCount(), 0);
}

void HostileInputsTest::memberNamesLeadingOutside() {
    MessageRecorder messages;
    Fixture f;
    const QByteArray inf = "[DSP upload]\r\nCategory=Tools\r\n";
    const QString outside = QDir(f.cat.ProgramFolder()).filePath(QStringLiteral("evil.inf"));
    ZipMember link("link.inf", outside.toUtf8());
    link.madeBy = (3 << 8) | 20;                // Unix
    link.externalAttributes = 0120777u << 16;  // a symbolic link to outside
    ZipBuilder zip;
    zip.Add("../evil.inf", inf)
        .Add("..\\evil.inf", inf)
        .Add("a/../../evil.inf", inf)
        .Add(QByteArray("/") + outside.toUtf8(), inf)
        .Add("C:\\evil.inf", inf)
        .Add(link);
    f.Import(f.Write(QStringLiteral("Escape.zip"), zip.Build()));
    QVERIFY(!QFile::exists(outside));
    QVERIFY(!QFile::exists(QDir(f.cat.ProgramFolder()).filePath(QStringLiteral("../evil.inf"))));
    QCOMPARE(f.StrayFiles(), QStringList());
    // No link was written into the Tmp folder either.
    QDirIterator it(f.window->TmpFolder(), QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        QVERIFY(!QFileInfo(it.next()).isSymLink());
    QVERIFY(messages.Count() >= 1);
    QCOMPARE(f.RowCount(), 1);
}

void HostileInputsTest::damagedPackageFileIsRefusedUntouched() {
    TempCatalogue cat({}, false);
    const QString file = cat.DataFolder() + QStringLiteral("CPInfo.DB");
    {
        QFile damaged(file);
        QVERIFY(damaged.open(QIODevice::ReadWrite));
        damaged.seek(0);
        damaged.write(QByteArray(100, '\x5A'));  // the header is gone
    }
    const QByteArray before = Hash(file);
    QString message;
    try {
        cat.Module().Open();
    } catch (const EDatabaseError& error) {
        message = error.Message();
    }
    QVERIFY2(!message.isEmpty(), "a damaged package file must be refused");
    QVERIFY(!cat.Module().TableCategory->Active() && !cat.Module().TableCPInfo->Active());
    QCOMPARE(Hash(file), before);
}

void HostileInputsTest::readOnlyCatalogueFolder() {
    MessageRecorder messages;
    Fixture f;
    const QString data = f.cat.DataFolder();
    QFile::setPermissions(data, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const bool enforced = !QFile(data + QStringLiteral("probe")).open(QIODevice::WriteOnly);
    QFile::remove(data + QStringLiteral("probe"));
    if (!enforced) {
        QFile::setPermissions(data, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QSKIP("folder permissions do not bind this user (root)");
    }
    // The journal cannot be made: the write fails with the engine's message and the
    // tables and the tree stay as they were.
    messages.Clear();
    velm::test::ChooseMenu(f.window.get(), {"&File", "&New", "&Category"});
    QFile::setPermissions(data, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().kind, MessageKind::DefaultError);
    QCOMPARE(f.window->TreeViewCategories()->topLevelItemCount(), 1);
    TTable& categories = *f.cat.Module().TableCategory;
    categories.Refresh();
    QCOMPARE(categories.RecordCount(), 1);
}

void HostileInputsTest::catalogueFailuresNameTheFileAndTheWayOut() {
    MessageRecorder messages;
    Fixture f;
    const QString data = f.cat.DataFolder();
    const auto shown = [&data](const char* message, const char* file, const char* advice) {
        return QStringLiteral("%1\rCatalogue file: %2\r%3")
            .arg(QLatin1String(message), QDir::toNativeSeparators(data + QLatin1String(file)), QLatin1String(advice));
    };

    // Another program holds the category file: a new category waits for it, then says so.
    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open((data + QStringLiteral("Category.db")).toUtf8().constData(), &other), SQLITE_OK);
    QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    messages.Clear();
    velm::test::ChooseMenu(f.window.get(), {"&File", "&New", "&Category"});
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().text, shown("database is locked", "Category.db",
                                         "Another program, or another copy of Velmora, is using the file. Close it "
                                         "and try again."));

    // The package file damaged behind the program's back: every page after the first.
    {
        QFile file(data + QStringLiteral("CPInfo.DB"));
        QVERIFY(file.open(QIODevice::ReadWrite));
        const QByteArray header = file.read(100);
        const int pageSize = (uchar(header[16]) << 8) | uchar(header[17]);
        QVERIFY(file.size() > pageSize);
        file.seek(pageSize);
        file.write(QByteArray(file.size() - pageSize, '\xFF'));
        // A new change counter makes the program read the pages again.
        file.seek(27);
        file.write(QByteArray(1, char(header[27] + 1)));
    }
    messages.Clear();
    velm::test::ChooseMenu(f.window.get(), {"&File", "&New", "Component / Package"});
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().kind, MessageKind::DefaultError);
    QCOMPARE(messages.Last().text, shown("database disk image is malformed", "CPInfo.DB",
                                         "The file is damaged. Close Velmora and put back a copy of the file from a "
                                         "backup."));
}

QTEST_MAIN(HostileInputsTest)
#include "test_hostile_inputs.moc"
