// The category description import dialog: the folder tree, listing a file, the
// folder remembered for next time, the names handed back, and the categories made
// from them.
#include "kit/messages.h"
#include "kit/settings.h"
#include "browser/form_main.h"
#include "catdesc/form_import_cat_des.h"
#include "catalogue/data_module.h"
#include "catalogue/table.h"
#include "support/launcher_recorder.h"
#include "support/message_recorder.h"
#include "support/main_window_fixture.h"
#include "support/modal_dialog.h"
#include "support/temp_catalogue.h"
#include "support/user_input.h"

#include <QDir>
#include <QFile>
#include <QAbstractFileIconProvider>
#include <QFileSystemModel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

using namespace velm;
using velm::test::LauncherRecorder;
using velm::test::MessageRecorder;

namespace {

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QColor PanelColour(const QWidget* panel) { return panel->palette().color(QPalette::Window); }

QStringList ListTexts(const QListWidget* list) {
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        texts << list->item(row)->text();
    return texts;
}

// A folder with description files in several letter cases, a file of another kind
// and a sub-folder.
struct Folder {
    QTemporaryDir dir;
    Folder() {
        WriteFile(Path("grids.cat"), "Grids\r\n\r\nGrids\r\n");
        WriteFile(Path("OTHER.CAT"), "Charts\rReports");
        WriteFile(Path("notes.txt"), "not a list");
        QDir(dir.path()).mkdir(QStringLiteral("sub"));
    }
    QString Path(const QString& name) const { return dir.filePath(name); }
};

struct Dialog {
    std::unique_ptr<TFormImportCatDes> dialog = std::make_unique<TFormImportCatDes>();

    QModelIndex Index(const QString& path) const { return dialog->ShellTreeModel()->index(path); }
    void Click(const QString& path) { dialog->ShellTree1Click(Index(path)); }
    QStringList Listed() const { return ListTexts(dialog->ListBoxCategories()); }
};

}  // namespace

class FormImportCatDesTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void layoutColoursAndHints();
    void rootFollowsLastSelectedDirAndRadioButtons();
    void treeShowsFoldersAndCatFilesOnly();
    void clickingAFolderRemembersIt();
    void clickingFilesReplacesTheList();
    void theArrowKeysChooseAsClicksDo();
    void fileThatCannotBeOpenedIsReported();
    void okHandsBackTheSelectionTopToBottom();
    void importedNamesBecomeNewCategories();
};

void FormImportCatDesTest::init() {
    Settings() = DefaultSettings(QDir::tempPath());
    Settings().MainColor = 0x112233;
    Settings().PanelColor = 0x445566;
}

void FormImportCatDesTest::layoutColoursAndHints() {
    LauncherRecorder launcher;
    Dialog d;
    TFormImportCatDes* dialog = d.dialog.get();
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Import Category Descriptions"));
    QCOMPARE(dialog->size(), QSize(500, 401));
    QCOMPARE(PanelColour(dialog->findChild<QWidget*>("PanelMain")), ColorRefToQColor(0x445566));
    QCOMPARE(PanelColour(dialog->findChild<QWidget*>("PanelCategories")), ColorRefToQColor(0x445566));
    QCOMPARE(PanelColour(dialog->findChild<QWidget*>("PanelTree")), ColorRefToQColor(0x112233));
    QCOMPARE(dialog->ShellTree1()->toolTip(), QStringLiteral("Note that only .cat files will be shown !"));
    QCOMPARE(dialog->RadioButtonLastSelectedDir()->text(), QStringLiteral("&Last selected dir"));
    QCOMPARE(dialog->RadioButtonLastSelectedDir()->toolTip(), QStringLiteral("Use last selected directory as starting point"));
    QCOMPARE(dialog->RadioButtonAll()->text(), QStringLiteral("&Show All"));
    QCOMPARE(dialog->RadioButtonAll()->toolTip(), QStringLiteral("Show all available drives etc."));
    QCOMPARE(dialog->ListBoxCategories()->toolTip(), QStringLiteral("Select one or more categories to import"));
    QCOMPARE(dialog->ListBoxCategories()->selectionMode(), QAbstractItemView::ExtendedSelection);
    QVERIFY(dialog->RadioButtonLastSelectedDir()->isChecked());
    dialog->BitBtnHelp()->click();
    QCOMPARE(launcher.helpTopics, QList<int>{220});
}

void FormImportCatDesTest::rootFollowsLastSelectedDirAndRadioButtons() {
    Folder folder;
    {
        Settings().LastSelectedDir = folder.dir.path();
        Dialog d;
        d.dialog->show();
        QCOMPARE(d.dialog->RootFolderPath(), folder.dir.path());
        QCOMPARE(d.dialog->ShellTree1()->rootIndex(), d.Index(folder.dir.path()));

        d.dialog->RadioButtonAll()->click();
        QVERIFY(!d.dialog->ShellTree1()->rootIndex().isValid());
        d.dialog->RadioButtonLastSelectedDir()->click();
        QCOMPARE(d.dialog->ShellTree1()->rootIndex(), d.Index(folder.dir.path()));
    }
    {
        // A folder that is gone: the top of the file system.
        Settings().LastSelectedDir = folder.Path("gone");
        Dialog d;
        d.dialog->show();
        QCOMPARE(d.dialog->RootFolderPath(), QDir::rootPath());
        QCOMPARE(d.dialog->ShellTree1()->rootIndex(), d.Index(QDir::rootPath()));
    }
    {
        // Nothing remembered: the starting root stays.
        Settings().LastSelectedDir.clear();
        Dialog d;
        d.dialog->show();
        QCOMPARE(d.dialog->RootFolderPath(), QDir::rootPath());
    }
}

void FormImportCatDesTest::treeShowsFoldersAndCatFilesOnly() {
    Folder folder;
    Settings().LastSelectedDir = folder.dir.path();
    Dialog d;
    QFileSystemModel* model = d.dialog->ShellTreeModel();
    QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
    d.dialog->show();
    const QModelIndex root = d.Index(folder.dir.path());
    while (model->rowCount(root) < 3 && loaded.wait())
        ;
    QStringList shown;
    for (int row = 0; row < model->rowCount(root); ++row)
        shown << model->fileName(model->index(row, 0, root));
    shown.sort();
    QCOMPARE(shown, (QStringList{"OTHER.CAT", "grids.cat", "sub"}));
    // Files are told by their names: reading one (a special file may block) would say PNG.
    QFile picture(folder.Path("picture"));
    QVERIFY(picture.open(QIODevice::WriteOnly) && picture.write("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) == 16);
    picture.close();
    QVERIFY(!model->iconProvider()->type(QFileInfo(picture.fileName())).contains(QStringLiteral("PNG")));

    // A new folder shows up without reopening the dialog.
    QVERIFY(QDir(folder.dir.path()).mkdir(QStringLiteral("added")));
    QSignalSpy inserted(model, &QFileSystemModel::rowsInserted);
    while (model->rowCount(root) < 4 && inserted.wait())
        ;
    QVERIFY(d.Index(folder.Path("added")).isValid());
    QCOMPARE(model->rowCount(root), 4);
}

void FormImportCatDesTest::clickingAFolderRemembersIt() {
    Folder folder;
    Settings().LastSelectedDir = folder.dir.path();
    const QString sub = folder.Path("sub");
    {
        Dialog d;
        d.dialog->show();
        d.Click(folder.Path("grids.cat"));
        d.Click(sub);
        QCOMPARE(Settings().LastSelectedDir, QDir::toNativeSeparators(sub));
        // The list stays, and the tree keeps its root during this showing.
        QCOMPARE(d.Listed().size(), 3);
        QCOMPARE(d.dialog->RootFolderPath(), folder.dir.path());
        d.dialog->BitBtnCancel()->click();
    }
    // Cancelled, yet the next showing starts at the clicked folder.
    Dialog next;
    next.dialog->show();
    QCOMPARE(next.dialog->RootFolderPath(), QDir::toNativeSeparators(sub));
    QVERIFY(next.Listed().isEmpty());
}

void FormImportCatDesTest::clickingFilesReplacesTheList() {
    Folder folder;
    Dialog d;
    d.dialog->show();
    d.Click(folder.Path("grids.cat"));
    QCOMPARE(d.Listed(), (QStringList{"Grids", "", "Grids"}));
    d.dialog->ListBoxCategories()->item(0)->setSelected(true);

    // CR-only breaks and a name in capitals; the earlier selection is gone.
    d.Click(folder.Path("OTHER.CAT"));
    QCOMPARE(d.Listed(), (QStringList{"Charts", "Reports"}));
    QVERIFY(d.dialog->ListBoxCategories()->selectedItems().isEmpty());
    QCOMPARE(Settings().LastSelectedDir, QDir::tempPath());
}

void FormImportCatDesTest::theArrowKeysChooseAsClicksDo() {
    Folder folder;
    Settings().LastSelectedDir = folder.dir.path();
    Dialog d;
    QFileSystemModel* model = d.dialog->ShellTreeModel();
    QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
    QVERIFY(velm::test::ShowAndActivate(d.dialog.get()));
    while (model->rowCount(d.Index(folder.dir.path())) < 3 && loaded.wait())
        ;
    // Tabbing in marks an item without choosing it; the keys then choose as clicks do,
    // whatever order the folder's items come in.
    QTreeView* tree = d.dialog->ShellTree1();
    QVERIFY(velm::test::TabTo(tree));
    QVERIFY(d.Listed().isEmpty());
    QCOMPARE(Settings().LastSelectedDir, folder.dir.path());
    velm::test::Key(tree, Qt::Key_End);
    velm::test::Key(tree, Qt::Key_Home);
    QStringList visited;
    for (int step = 0; step < 3; ++step, velm::test::Key(tree, Qt::Key_Down)) {
        const QString name = model->fileName(tree->currentIndex());
        visited << name;
        const QStringList entries = name == QLatin1String("grids.cat") ? QStringList{"Grids", "", "Grids"}
                                                                        : QStringList{"Charts", "Reports"};
        if (name == QLatin1String("sub"))
            QCOMPARE(Settings().LastSelectedDir, QDir::toNativeSeparators(folder.Path("sub")));
        else
            QCOMPARE(d.Listed(), entries);
    }
    visited.sort();
    QCOMPARE(visited, (QStringList{"OTHER.CAT", "grids.cat", "sub"}));
}

void FormImportCatDesTest::fileThatCannotBeOpenedIsReported() {
    Folder folder;
    MessageRecorder messages;
    Dialog d;
    d.dialog->show();
    d.Click(folder.Path("grids.cat"));
    const QModelIndex other = d.Index(folder.Path("OTHER.CAT"));
    // Deleted after the tree listed it.
    QVERIFY(QFile::remove(folder.Path("OTHER.CAT")));
    d.dialog->ShellTree1Click(other);
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().kind, MessageKind::DefaultError);
    QCOMPARE(messages.Last().text,
             QStringLiteral("Cannot open file ") + QDir::toNativeSeparators(folder.Path("OTHER.CAT")) + u'.');
    QVERIFY(d.Listed().isEmpty());
}

void FormImportCatDesTest::okHandsBackTheSelectionTopToBottom() {
    Folder folder;
    WriteFile(folder.Path("many.cat"), "  Grids \r\nCharts\r\nReports\r\nDialogs");
    Settings().LastSelectedDir = folder.dir.path();
    const QString many = folder.Path("many.cat");

    // Selected bottom-up; handed back top to bottom, blanks kept.
    velm::test::AnswerNextModal<TFormImportCatDes>([many](TFormImportCatDes* dialog) {
        dialog->ShellTree1Click(dialog->ShellTreeModel()->index(many));
        QListWidget* list = dialog->ListBoxCategories();
        list->item(3)->setSelected(true);
        list->item(0)->setSelected(true);
        dialog->BitBtnOK()->click();
    });
    QStringList names;
    QVERIFY(RunImportCatDes(nullptr, names));
    QCOMPARE(names, (QStringList{"  Grids ", "Dialogs"}));

    // OK with nothing selected, and Cancel with a selection: nothing to import.
    velm::test::AnswerNextModal<TFormImportCatDes>([many](TFormImportCatDes* dialog) {
        dialog->ShellTree1Click(dialog->ShellTreeModel()->index(many));
        dialog->BitBtnOK()->click();
    });
    names.clear();
    QVERIFY(!RunImportCatDes(nullptr, names));
    QVERIFY(names.isEmpty());
    velm::test::AnswerNextModal<TFormImportCatDes>([many](TFormImportCatDes* dialog) {
        dialog->ShellTree1Click(dialog->ShellTreeModel()->index(many));
        dialog->ListBoxCategories()->item(1)->setSelected(true);
        dialog->BitBtnCancel()->click();
    });
    QVERIFY(!RunImportCatDes(nullptr, names));
    QVERIFY(names.isEmpty());
}

void FormImportCatDesTest::importedNamesBecomeNewCategories() {
    velm::test::MainWindowFixture f;
    f.cat.AddCategory(QStringLiteral("Grids"));
    Folder folder;
    QVERIFY(f.Show());
    Settings().LastSelectedDir = folder.dir.path();
    const QString grids = folder.Path("grids.cat");
    // The file's entries, clicked with Ctrl so that all three are selected.
    const auto selectAll = [grids](TFormImportCatDes* dialog) {
        dialog->ShellTree1Click(dialog->ShellTreeModel()->index(grids));
        QListWidget* list = dialog->ListBoxCategories();
        for (int i = 0; i < list->count(); ++i)
            velm::test::Click(list->viewport(), list->visualItemRect(list->item(i)).center(), Qt::LeftButton,
                              Qt::ControlModifier);
    };

    // Name, empty line, the same name again; imported twice, nothing is reused.
    for (int pass = 0; pass < 2; ++pass) {
        velm::test::AnswerNextModal<TFormImportCatDes>([selectAll](TFormImportCatDes* dialog) {
            selectAll(dialog);
            velm::test::Click(dialog->BitBtnOK());
        });
        velm::test::ChooseMenu(f.window.get(), {"&File", "Import Category &Descriptions..."});
    }
    // With the names selected, Tab to Cancel and Enter: nothing is created.
    bool reached = false;
    bool enterPressesCancel = false;
    velm::test::AnswerNextModal<TFormImportCatDes>([&](TFormImportCatDes* dialog) {
        selectAll(dialog);
        reached = velm::test::TabTo(dialog->BitBtnCancel());
        // The dialog's Enter goes to its default button: the focused one now.
        enterPressesCancel = dialog->BitBtnCancel()->isDefault() && !dialog->BitBtnOK()->isDefault();
        velm::test::Key(dialog, Qt::Key_Return);
    });
    velm::test::ChooseMenu(f.window.get(), {"&File", "Import Category &Descriptions..."});
    QVERIFY(reached);
    QVERIFY(enterPressesCancel);
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT Name FROM c.Category ORDER BY Name COLLATE NOCASE")),
             (QStringList{"Grids", "Grids1", "Grids2", "Grids3", "Grids4", "New Category", "New Category1"}));
    QCOMPARE(f.TopLevelTexts(),
             (QStringList{"Grids", "Grids1", "Grids2", "Grids3", "Grids4", "New Category", "New Category1"}));
}

QTEST_MAIN(FormImportCatDesTest)
#include "test_form_import_cat_des.moc"
