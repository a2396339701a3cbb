// The main window's ways in for archives: the import command, files dropped on the
// tree, and the re-import of the shown component.
#include "app/command_guard.h"
#include "app/file_dialogs.h"
#include "app/messages.h"
#include "app/settings.h"
#include "browser/component_detail_panel.h"
#include "browser/form_main.h"
#include "browser/tree_node.h"
#include "browser/work_guard.h"
#include "catalogue/data_module.h"
#include "catalogue/database.h"
#include "catalogue/table.h"
#include "import/archive_folder.h"
#include "import/archive_paths.h"
#include "import/velm_component.h"
#include "ui_FormMain.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMimeData>
#include <QProgressDialog>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include <functional>
#include <memory>

namespace velm {

namespace {

// More archives than this at once are imported under a progress dialog, in batches.
constexpr int kQuietImportCount = 3;
// How often the progress dialog is redrawn and a batch of imports committed: each commit
// waits for the disk, and each redraw paints the whole window.
constexpr qint64 kProgressIntervalMs = 100;
constexpr qint64 kCommitIntervalMs = 1000;

const QString kNoCategoryText = QStringLiteral("First select a category to add the component to.");

TOpenDialogRequest ArchiveDialogRequest() {
    TOpenDialogRequest request;
    request.Title = QStringLiteral("Open Delphi Component Archive");
    request.Filter = QStringLiteral("ZIP files  (*.zip)");
    request.DefaultSuffix = QStringLiteral("zip");
    request.MultiSelect = true;
    return request;
}

// A re-import writes every column the import writes: from another product's archive,
// chosen by mistake, it would replace the component's whole record, so the user is
// asked. The component's own archive, or one named like the component, is not asked
// about.
bool ConfirmOtherProductsArchive(const QString& productName, const QString& rowArchive, const QString& chosen) {
    const QString chosenProduct = TVELMComponent::ProductNameOfArchive(chosen);
    const auto isChosen = [&chosenProduct](const QString& name) {
        return !name.isEmpty() && name.compare(chosenProduct, Qt::CaseInsensitive) == 0;
    };
    if (isChosen(productName) || isChosen(TVELMComponent::ProductNameOfArchive(rowArchive)))
        return true;
    return ConfirmYesNo(QStringLiteral("Do you really want to re-import the component: ") + productName +
                        QStringLiteral("\rfrom the archive of the component: ") + chosenProduct +
                        QStringLiteral(" ?"));
}

QString CategoryTextOf(const QTreeWidgetItem* node) { return node->parent() ? node->parent()->text(0) : node->text(0); }
qint64 CategoryIdOf(const QTreeWidgetItem* node) { return RowIdOf(node->parent() ? node->parent() : node); }

QString FolderOf(const QString& path) { return QFileInfo(path).absolutePath(); }

// The ID of the category the current package row belongs to.
qint64 CategoryOfCurrentRow() { return DMvelm->TableCPInfo->FieldByName(QStringLiteral("Category"))->AsInteger(); }

// Groups the writes of many imports into a few transactions, so the disk is waited for
// about once a second instead of twice per archive. Every batch that ends is committed,
// also when the command ends with an error: each import left its rows consistent.
class ImportBatch {
public:
    explicit ImportBatch(std::function<void()> onLostBatch) : onLostBatch_(std::move(onLostBatch)) { Begin(); }
    ~ImportBatch() {
        try {
            End();
        } catch (...) {
            // A destructor may not throw; the error of the command in flight wins.
        }
    }
    ImportBatch(const ImportBatch&) = delete;
    ImportBatch& operator=(const ImportBatch&) = delete;

    // Commits when the batch has run long enough, so a crash loses at most a moment's
    // work and another program on the same catalogue is not kept waiting long.
    void Tick() {
        if (owned_ && clock_.elapsed() >= kCommitIntervalMs) {
            End();
            Begin();
        }
    }
    void End() {
        if (!owned_)
            return;
        owned_ = false;
        try {
            database_.Commit();
        } catch (...) {
            database_.Rollback();
            onLostBatch_();
            throw;
        }
    }

private:
    void Begin() {
        // Inside a transaction of a caller the caller decides when to commit.
        owned_ = !database_.InTransaction();
        if (owned_)
            database_.StartTransaction();
        clock_.start();
    }

    TDatabase& database_ = TSession::Instance().DatabaseFor(QString::fromLatin1(TDMvelm::kAlias));
    std::function<void()> onLostBatch_;
    QElapsedTimer clock_;
    bool owned_ = false;
};

}  // namespace

void TFormMain::ConnectImportCommands() {
    ConnectCommand(ui_->FileImportComponent, &TFormMain::FileImportComponentClick);
    ConnectCommand(ui_->PopUpImportComponentPackage, &TFormMain::FileImportComponentClick);
    ConnectCommand(ui_->FileReimport, &TFormMain::FileReimportClick);
    ConnectCommand(ui_->PopUpReimport, &TFormMain::FileReimportClick);
    connect(DetailPanel(), &TComponentDetailPanel::reimportRequested, this,
            [this] { RunCommand([this] { SBOpenDlgArchiveFileClick(); }); });
}

QTreeWidgetItem* TFormMain::ImportArchiveAt(QTreeWidgetItem* node, const QString& archivePath) {
    const qint64 category = CategoryIdOf(node);
    QString productName;
    try {
        productName = Component->ImportArchive(category, archivePath);
    } catch (const EArchiveRefused& refused) {
        ShowError(QString::fromStdString(refused.what()));
        return nullptr;
    }
    if (productName.isEmpty())
        return nullptr;
    QTreeWidget* tree = ui_->TreeViewCategories;
    // The row's own category decides where its node goes, so the tree always shows the
    // component where the catalogue keeps it.
    QTreeWidgetItem* categoryNode = FindCategoryNode(tree, CategoryOfCurrentRow());
    if (!categoryNode)
        categoryNode = FindCategoryNode(tree, category);
    if (!categoryNode)
        categoryNode = node->parent() ? node->parent() : node;
    return AddComponentNode(categoryNode, productName, Component->CurrentRowId);
}

void TFormMain::ImportArchives(QTreeWidgetItem* node, const QStringList& paths, bool rememberFolder) {
    // Closing the window meanwhile stops the import after the archive in hand.
    bool stopRequested = false;
    workGuard_->Run([&] { ImportArchivesGuarded(node, paths, rememberFolder, stopRequested); },
                    [&stopRequested] { stopRequested = true; });
}

void TFormMain::ImportArchivesGuarded(QTreeWidgetItem* node, const QStringList& paths, bool rememberFolder,
                                      const bool& stopRequested) {
    // A failed commit loses the batch's rows: the tables and the tree are read again.
    ImportBatch batch([this] {
        DMvelm->TableCPInfo->Refresh();
        DMvelm->TableCategory->Refresh();
        LoadCategoryTree();
    });
    std::unique_ptr<QProgressDialog> progress;
    if (paths.size() > kQuietImportCount) {
        progress = std::make_unique<QProgressDialog>(QString(), QStringLiteral("Cancel"), 0, int(paths.size()), this);
        progress->setWindowTitle(QStringLiteral("Importing archives"));
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(0);
        progress->setAutoClose(false);
        progress->setAutoReset(false);
        // On screen from the first archive, which may already ask a question.
        progress->show();
    }
    QElapsedTimer sinceRedraw;
    for (int i = 0; i < paths.size(); ++i) {
        const QString& path = paths.at(i);
        if (progress && (i == 0 || sinceRedraw.elapsed() >= kProgressIntervalMs)) {
            progress->setLabelText(QStringLiteral("Reading %1 (%2 of %3)")
                                       .arg(QFileInfo(path).fileName())
                                       .arg(i + 1)
                                       .arg(paths.size()));
            progress->setValue(i);  // also lets the Cancel button be pressed
            sinceRedraw.start();
        }
        // Cancel stops between archives: every archive read so far stays.
        if (stopRequested || (progress && progress->wasCanceled()))
            break;
        if (rememberFolder)
            Settings().LastArchiveDir = FolderOf(path);
        ImportArchiveAt(node, path);
        batch.Tick();
    }
    batch.End();
}

void TFormMain::FileImportComponentClick() {
    QTreeWidgetItem* node = SelectedNode();
    if (!node) {
        ShowError(kNoCategoryText);
        return;
    }
    TOpenDialogRequest request = ArchiveDialogRequest();
    request.StartFolder = Settings().LastArchiveDir;
    const QStringList files = PickFilesToOpen(this, request);
    if (!files.isEmpty())
        ImportArchives(node, files, true);
}

void TFormMain::FileReimportClick() {
    QTreeWidgetItem* selected = SelectedNode();
    if (selected && selected->parent())
        ReimportComponent();
}

void TFormMain::SBOpenDlgArchiveFileClick() { ReimportComponent(); }

void TFormMain::ReimportComponent() {
    QTreeWidgetItem* node = SelectedNode();
    // The shown component is the selected node's; the button on the detail panel is
    // only there while one is selected.
    if (!node || !node->parent())
        return;
    TOpenDialogRequest request = ArchiveDialogRequest();
    request.FileName = Component->ArchiveFileName;
    request.StartFolder = Component->ArchiveFolder;
    const QStringList files = PickFilesToOpen(this, request);
    if (files.isEmpty())
        return;
    const QString& file = files.first();
    Settings().LastArchiveDir = FolderOf(file);
    if (!ConfirmOtherProductsArchive(node->text(0), Component->ArchiveFileName, file))
        return;
    workGuard_->Run([&] {
        // The row filled is the node's, whatever the dialog left current.
        Component->LoadComponent(RowIdOf(node));
        // The message dialog offers the component's own category, not that of the last import.
        Component->CurrentCategoryName = node->parent()->text(0);
        try {
            Component->ReimportArchive(file);
        } catch (const EArchiveRefused& refused) {
            ShowError(QString::fromStdString(refused.what()));
            return;
        }
        FollowRowCategory(node);
    });
}

void TFormMain::FollowRowCategory(QTreeWidgetItem* node) {
    QTreeWidgetItem* target = FindCategoryNode(ui_->TreeViewCategories, CategoryOfCurrentRow());
    if (!target || target == node->parent())
        return;
    const QString text = node->text(0);
    const qint64 rowId = RowIdOf(node);
    RemoveNode(node);
    AddComponentNode(target, text, rowId);
}

QTreeWidgetItem* TFormMain::DropTargetAt(const QPoint& treePoint) const {
    QTreeWidget* tree = ui_->TreeViewCategories;
    QTreeWidgetItem* node = tree->itemAt(treePoint);
    // The item's rectangle starts at its icon: the indentation and the expand button
    // lie to its left.
    if (node && treePoint.x() >= tree->visualItemRect(node).left())
        return node;
    return tree->topLevelItem(0);
}

void TFormMain::DropFilesInto(const QStringList& dropped, qint64 categoryId) {
    if (dropped.isEmpty())
        return;
    QTreeWidget* tree = ui_->TreeViewCategories;
    // The category under the pointer at the drop; should it have gone since, the first.
    QTreeWidgetItem* node = FindCategoryNode(tree, categoryId);
    if (!node)
        node = tree->topLevelItem(0);
    if (!node) {
        ShowError(kNoCategoryText);
        return;
    }
    // A dropped folder stands for the archives below it; the question counts those.
    const QStringList paths = ExpandDroppedFolders(dropped);
    if (paths.isEmpty())
        return;
    const QString category = CategoryTextOf(node);
    if (Settings().ShowDragNDropInfoMsg &&
        !ConfirmYesNo(QStringLiteral("You dropped ") + QString::number(paths.size()) +
                      QStringLiteral(" file(s) at the category : <") + category + QStringLiteral(">") +
                      QStringLiteral("\r\rBut VELM will try to read the category from the dropped files,") +
                      QStringLiteral("\rand if this is not possible you will get the opportunity to") +
                      QStringLiteral("\rselect a category for each file when the files are imported.") +
                      QStringLiteral("\r\rContinue importing the file(s) ?")))
        return;
    ImportArchives(node, paths, false);
}

bool TFormMain::DropEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!drag->mimeData()->hasUrls())
            return false;
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        QStringList paths;
        // A file whose name is not valid UTF-8 is reached by a path made for it.
        for (const QUrl& url : drop->mimeData()->urls())
            if (const QString path = ReachablePath(url); !path.isEmpty())
                paths << path;
        const QTreeWidgetItem* node = DropTargetAt(drop->position().toPoint());
        const qint64 category = node ? CategoryIdOf(node) : 0;
        // The drop is released at once; questions and imports follow from the event
        // loop, so the program the files came from is not held up by them. A drop
        // during other work waits for it to end.
        drop->acceptProposedAction();
        workGuard_->AfterWork([this, paths, category] { RunCommand([&] { DropFilesInto(paths, category); }); });
        return true;
    }
    default:
        return false;
    }
}

}  // namespace velm
