// The main window's show and close sequences and its category tree.
#include "kit/settings.h"
#include "kit/settings_store.h"
#include "browser/category_tree.h"
#include "browser/form_main.h"
#include "browser/pictures.h"
#include "catalogue/database_error.h"
#include "support/main_window_fixture.h"
#include "support/message_recorder.h"
#include "support/temp_catalogue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QTreeWidget>

using namespace velm;
using velm::test::MessageRecorder;
using velm::test::TempCatalogue;

namespace {

QStringList TopLevelTexts(QTreeWidget* tree) {
    QStringList texts;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        texts << tree->topLevelItem(i)->text(0);
    return texts;
}

bool SameIcon(const QIcon& a, const QIcon& b) {
    return a.pixmap(16, 16).toImage() == b.pixmap(16, 16).toImage();
}

void WriteFile(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("left over");
}

}  // namespace

class FormMainTest : public QObject {
    Q_OBJECT
private slots:
    void emptyCatalogueShowsNeitherLogoNorDetail();
    void anEmptyCatalogueShowsItsHintUntilACategoryExists();
    void startShowsCollapsedCategoriesInTableOrderWithTheFirstSelected();
    void expandingAndCollapsingChangeTheCategoryPicture();
    void closeEmptiesTmpFolderAndSavesSettings();
    void aSettingsFileThatCannotBeReadWholeIsNeverWritten();
    void firstRunUsesTheDefaultColours();
    void closingStoresAPendingEdit();
    void showingRecordsWritesNothing();
    void theWindowFitsItsScreenAndOpensWhereItWasLeft();
    void aFailedRebuildKeepsTheNodesReadSoFar();
};

void FormMainTest::anEmptyCatalogueShowsItsHintUntilACategoryExists() {
    MessageRecorder messages;
    velm::test::MainWindowFixture f;
    QVERIFY(f.Show());
    QLabel* hint = f.window->LabelEmptyHint();
    QVERIFY(hint->isVisible());
    QVERIFY(hint->text().contains(QStringLiteral("Import Category Descriptions")));
    QVERIFY(!f.window->ImageLogo()->isVisible());
    QVERIFY(!f.window->PageControlComponentInfo()->isVisible());
    // Inside the right panel, over its colour.
    QVERIFY(f.window->PanelRight()->isAncestorOf(hint));
    QVERIFY(!hint->autoFillBackground());
    velm::test::ChooseMenu(f.window.get(), {"&File", "&New", "&Category"});
    QVERIFY(!hint->isVisible());
    QVERIFY(f.window->ImageLogo()->isVisible());
    f.Press(Qt::Key_Escape);  // keeps the new node's name
    f.Select(f.Category(0));
    f.Press(Qt::Key_Delete);  // answered Yes
    QCOMPARE(f.Tree()->topLevelItemCount(), 0);
    QVERIFY(hint->isVisible());
}

void FormMainTest::emptyCatalogueShowsNeitherLogoNorDetail() {
    TempCatalogue cat;
    TFormMain window(cat.ProgramFolder());
    window.show();
    QCOMPARE(window.TreeViewCategories()->topLevelItemCount(), 0);
    QVERIFY(!window.TreeViewCategories()->currentItem());
    QVERIFY(!window.ImageLogo()->isVisible());
    QVERIFY(QDir(cat.ProgramFolder() + QStringLiteral("Tmp")).exists());
    QCOMPARE(window.windowTitle(), QStringLiteral("Velmora"));
    QCOMPARE(window.size(), QSize(763, 554));
}

void FormMainTest::startShowsCollapsedCategoriesInTableOrderWithTheFirstSelected() {
    TempCatalogue cat;
    const qint64 zeta = cat.AddCategory(QStringLiteral("Zeta"));
    cat.AddCategory(QStringLiteral("alpha"));
    cat.AddPackage(QStringLiteral("Z2"), zeta);
    cat.AddPackage(QStringLiteral("Z1"), zeta);
    TFormMain window(cat.ProgramFolder());
    window.show();
    QTreeWidget* tree = window.TreeViewCategories();
    // Rows come in the category table's order; the components in the package table's.
    QCOMPARE(TopLevelTexts(tree), (QStringList{"alpha", "Zeta"}));
    QTreeWidgetItem* z = tree->topLevelItem(1);
    QCOMPARE(z->childCount(), 2);
    QCOMPARE(z->child(0)->text(0), QStringLiteral("Z2"));
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        QVERIFY(!tree->topLevelItem(i)->isExpanded());
        QVERIFY(SameIcon(tree->topLevelItem(i)->icon(0), TreeImageIcon(kImageDrawerClosed)));
    }
    QCOMPARE(tree->currentItem(), tree->topLevelItem(0));
    QVERIFY(window.ImageLogo()->isVisible());
    // A category without components has no expand button.
    QCOMPARE(tree->topLevelItem(0)->childCount(), 0);
}

void FormMainTest::expandingAndCollapsingChangeTheCategoryPicture() {
    velm::test::MainWindowFixture f;
    const qint64 c = f.cat.AddCategory(QStringLiteral("C"));
    f.cat.AddPackage(QStringLiteral("P"), c);
    QVERIFY(f.Show());
    QTreeWidgetItem* category = f.Category(0);
    f.Expand(category);
    QVERIFY(category->isExpanded());
    QVERIFY(SameIcon(category->icon(0), TreeImageIcon(kImageDrawerOpen)));
    QTreeWidgetItem* component = category->child(0);
    QVERIFY(SameIcon(component->icon(0), TreeImageIcon(kImageComponent)));
    f.Select(component);
    QVERIFY(SameIcon(component->icon(0), TreeImageIcon(kImageComponentSelected)));
    QVERIFY(!f.window->ImageLogo()->isVisible());
    f.Select(category);
    QVERIFY(SameIcon(component->icon(0), TreeImageIcon(kImageComponent)));
    // The minus key closes the selected category again.
    f.Press(Qt::Key_Minus);
    QVERIFY(!category->isExpanded());
    QVERIFY(SameIcon(category->icon(0), TreeImageIcon(kImageDrawerClosed)));
}

void FormMainTest::closeEmptiesTmpFolderAndSavesSettings() {
    TempCatalogue cat;
    const QString tmp = cat.ProgramFolder() + QStringLiteral("Tmp/");
    QVERIFY(QDir().mkpath(tmp + QStringLiteral("sub")));
    WriteFile(tmp + QStringLiteral("old.inf"));
    WriteFile(tmp + QStringLiteral("sub/old.upl"));
    {
        TFormMain window(cat.ProgramFolder());
        window.show();
        // Files left by an earlier run are kept at start...
        QVERIFY(QFile::exists(tmp + QStringLiteral("old.inf")));
        Settings().MainColor = 0x123456;
        window.close();
    }
    // ...and gone after the close, with the folder itself kept.
    QVERIFY(QDir(tmp).exists());
    QVERIFY(QDir(tmp).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System));
    QVERIFY(QFile::exists(cat.SettingsFile()));
    LoadSettings(cat.ProgramFolder());
    QCOMPARE(Settings().MainColor, ColorRef(0x123456));
}

void FormMainTest::aSettingsFileThatCannotBeReadWholeIsNeverWritten() {
    MessageRecorder messages;
    TempCatalogue cat;
    // Another program's 45,000 values beside ours.
    QByteArray bytes = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Other]\n";
    for (int i = 0; i < 45000; ++i)
        bytes += "\"Value" + QByteArray::number(i) + "\"=dword:00000001\n";
    bytes += "[HKEY_CURRENT_USER\\Software\\Tarnwick Software\\VELM]\n\"MainColor\"=dword:00123456\n";
    QVERIFY(bytes.size() > 1024 * 1024);
    QVERIFY(QDir().mkpath(QFileInfo(cat.SettingsFile()).absolutePath()));
    QFile file(cat.SettingsFile());
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    {
        TFormMain window(cat.ProgramFolder());
        QVERIFY(velm::test::ShowAndActivate(&window));
        velm::test::MainWindowFixture::Settle();
        QCOMPARE(messages.Count(), 1);
        QCOMPARE(messages.Last().kind, MessageKind::Error);
        QCOMPARE(messages.Last().text,
                 QStringLiteral("The settings file %1 cannot be read (it is larger than 1 MB).\rVelmora starts with "
                                "its default settings and leaves the file as it is: changes to the settings are not "
                                "saved in this run.")
                     .arg(QDir::toNativeSeparators(cat.SettingsFile())));
        QCOMPARE(ColorRefToQColor(Settings().MainColor), QColor(183, 199, 173));
        Settings().MainColor = 0x654321;
        window.close();
    }
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll() == bytes);
    QCOMPARE(messages.Count(), 1);
}

void FormMainTest::firstRunUsesTheDefaultColours() {
    TempCatalogue cat;
    TFormMain window(cat.ProgramFolder());
    window.show();
    QCOMPARE(window.PanelRight()->palette().color(QPalette::Window), QColor(183, 199, 173));
    QCOMPARE(window.PanelLeft()->palette().color(QPalette::Window), QColor(157, 180, 152));
    QCOMPARE(window.PanelSearch()->palette().color(QPalette::Window), QColor(64, 128, 128));
    QCOMPARE(Settings().LastArchiveDir, cat.ProgramFolder());
    QVERIFY(Settings().ConfirmDelete && Settings().ShowDragNDropInfoMsg);
}

void FormMainTest::closingStoresAPendingEdit() {
    velm::test::MainWindowFixture f;
    const qint64 c = f.cat.AddCategory(QStringLiteral("C"));
    f.cat.AddPackage(QStringLiteral("P"), c);
    QVERIFY(f.Show());
    f.Select(f.Node(QStringLiteral("P")));
    auto* author = f.window->findChild<QLineEdit*>(QStringLiteral("DBEditAuthor"));
    velm::test::Click(author);
    velm::test::Type(f.window.get(), QStringLiteral("Ann"));
    // The window's close box: the typed text is stored, though the field kept the focus.
    f.window->close();
    QVERIFY(!f.window->isVisible());
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT Author FROM CPInfo")), QStringList{"Ann"});
}

void FormMainTest::showingRecordsWritesNothing() {
    velm::test::MainWindowFixture f;
    const qint64 c = f.cat.AddCategory(QStringLiteral("C"));
    for (const char* name : {"Rated", "Unrated", "Beyond"})
        f.cat.AddPackage(QString::fromLatin1(name), c);
    QVERIFY(f.cat.Execute(QStringLiteral("UPDATE CPInfo SET Rating = 7 WHERE ProductName = 'Rated';"
                                         "UPDATE CPInfo SET Rating = 12, ProductDescription = 'plain' "
                                         "WHERE ProductName = 'Beyond';")));
    f.cat.Module().Close();
    QVERIFY(f.cat.Module().Open());
    const QString everything = QStringLiteral("SELECT * FROM CPInfo ORDER BY ID");
    const QStringList before = f.cat.Stored(everything);
    QVERIFY(f.Show());
    // Back and forth, as someone browsing does, then the close box.
    for (const char* name : {"Rated", "Unrated", "Beyond", "Unrated", "Rated"})
        f.Select(f.Node(QString::fromLatin1(name)));
    f.window->close();
    QCOMPARE(f.cat.Stored(everything), before);
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT quote(Rating) FROM CPInfo WHERE ProductName = 'Unrated'")),
             QStringList{"NULL"});
}

void FormMainTest::theWindowFitsItsScreenAndOpensWhereItWasLeft() {
    // The tests run on an 800 x 600 screen, with a 1280 x 1024 one beside it; the whole
    // frame, status bar included, is on the first.
    velm::test::MainWindowFixture f;
    QVERIFY(f.Show());
    QVERIFY(QGuiApplication::primaryScreen()->availableGeometry().contains(f.window->frameGeometry()));

    // Dragged to the other screen and resized, closed: the next run opens there.
    const QList<QScreen*> screens = QGuiApplication::screens();
    const QRect place(screens.last()->availableGeometry().topLeft() + QPoint(60, 40), QSize(700, 500));
    f.window->setGeometry(place);
    f.window->close();
    f.window.reset();
    QVERIFY(f.Show());
    QCOMPARE(f.window->geometry(), place);
    // Maximised and closed: the next run is maximised, over the place it restores to.
    f.window->showMaximized();
    f.window->close();
    f.window.reset();
    QVERIFY(f.Show());
    QVERIFY(f.window->isMaximized());
    QCOMPARE(f.window->normalGeometry(), place);
    // Beside the seven values, which keep their types.
    RegFileSettingsStore store(f.cat.SettingsFile());
    const auto key = store.OpenKey(QString::fromLatin1(kSettingsKeyPath), false);
    QVERIFY(key);
    QCOMPARE(key->Read(QStringLiteral("MainWindowWidth"))->DWordValue(), std::optional<quint32>(700));
    QCOMPARE(key->Read(QStringLiteral("MainWindowMaximized"))->DWordValue(), std::optional<quint32>(1));
    QCOMPARE(key->Read(QStringLiteral("MainColor"))->type, quint32(kRegDWord));
    QCOMPARE(key->Read(QStringLiteral("LastArchiveDir"))->type, quint32(kRegString));
}

void FormMainTest::aFailedRebuildKeepsTheNodesReadSoFar() {
    // The rebuild runs only in the show sequence; a package table that cannot be read
    // stops it after the first category.
    TempCatalogue cat;
    cat.AddCategory(QStringLiteral("Alpha"));
    cat.AddCategory(QStringLiteral("Beta"));
    TFormMain window(cat.ProgramFolder());
    window.show();
    QCOMPARE(TopLevelTexts(window.TreeViewCategories()), (QStringList{"Alpha", "Beta"}));
    cat.Module().TableCPInfo->Close();
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, window.CategoryTree()->Load(cat.Module()));
    QCOMPARE(TopLevelTexts(window.TreeViewCategories()), QStringList{"Alpha"});
    cat.Module().TableCPInfo->Open();
}

QTEST_MAIN(FormMainTest)
#include "test_form_main.moc"
