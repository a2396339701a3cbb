// The main window's ways in for archives: the import command, files dropped on the
// tree, and the re-import of the shown component.
#include "browser/import_commands.h"

#include "browser/category_tree.h"
#include "browser/component_detail_panel.h"
#include "browser/editing_commands.h"
#include "browser/tree_node.h"
#include "catalogue/batch_transaction.h"
#include "catalogue/data_module.h"
#include "catalogue/database.h"
#include "catalogue/field_names.h"
#include "catalogue/table.h"
#include "import/archive_folder.h"
#include "import/duplicate_archives.h"
#include "import/velm_component.h"
#include "kit/command_guard.h"
#include "kit/file_dialogs.h"
#include "kit/messages.h"
#include "kit/settings.h"
#include "kit/work_guard.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QPair>
#include <QProgressDialog>
#include <QTreeWidget>

namespace velm {

namespace {

// More archives than this at once are imported under a progress dialog, in batches.
constexpr int kQuietImportCount = 3;
// How often the progress dialog is redrawn: each redraw paints the whole window.
constexpr qint64 kProgressIntervalMs = 100;

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
qint64 CategoryOfCurrentRow() { return DMvelm->TableCPInfo->FieldByName(fields::Category)->AsInteger(); }

// The archive a package row was last filled from: its file name and folder.
QPair<QString, QString> ArchiveOfRow(qint64 rowId) {
    TTable& packages = *DMvelm->TableCPInfo;
    if (packages.IsEmpty() || packages.FieldByName(fields::ID)->Value().toLongLong() != rowId)
        if (!packages.Locate(fields::ID, rowId, false))
            return {};
    return {packages.FieldByName(fields::ArchiveFile)->AsString(), packages.FieldByName(fields::ArchiveFilePath)->AsString()};
}

}  // namespace

TImportCommands::TImportCommands(QWidget* window, TCategoryTree& tree, TWorkGuard& guard, TEditingCommands& editing,
                                 TComponentDetailPanel& panel)
    : window_(window), tree_(tree), guard_(guard), component_(std::make_unique<TVELMComponent>(QString())) {
    component_->AddCategory = [&editing](const QString& name) { return editing.AddCategory(name); };
    component_->ShowCompatibility = [&panel](int mask) { panel.ShowCompatibility(mask); };
}

TImportCommands::~TImportCommands() = default;

void TImportCommands::SetTmpFolder(const QString& folder) { component_->TmpFolder = folder; }

QTreeWidgetItem* TImportCommands::ImportArchiveAt(QTreeWidgetItem* node, const QString& archivePath,
                                                  const TArchiveFingerprint* fingerprint) {
    const qint64 category = CategoryIdOf(node);
    QString productName;
    try {
        productName = component_->ImportArchive(category, archivePath, fingerprint);
    } catch (const EArchiveRefused& refused) {
        ShowError(QString::fromStdString(refused.what()));
        return nullptr;
    }
    if (productName.isEmpty())
        return nullptr;
    QTreeWidget* tree = tree_.Widget();
    // The row's own category decides where its node goes, so the tree always shows the
    // component where the catalogue keeps it.
    QTreeWidgetItem* categoryNode = FindCategoryNode(tree, CategoryOfCurrentRow());
    if (!categoryNode)
        categoryNode = FindCategoryNode(tree, category);
    if (!categoryNode)
        categoryNode = node->parent() ? node->parent() : node;
    return tree_.AddComponentNode(categoryNode, productName, component_->CurrentRowId);
}

void TImportCommands::ImportArchives(QTreeWidgetItem* node, const QStringList& paths, bool rememberFolder) {
    // Closing the window meanwhile stops the import after the archive in hand.
    bool stopRequested = false;
    guard_.Run([&] { ImportArchivesGuarded(node, paths, rememberFolder, stopRequested); },
               [&stopRequested] { stopRequested = true; });
}

void TImportCommands::ImportArchivesGuarded(QTreeWidgetItem* node, const QStringList& paths, bool rememberFolder,
                                            const bool& stopRequested, bool checkDuplicates) {
    TDuplicateArchives duplicates(checkDuplicates ? DMvelm->ArchiveIndex() : nullptr, paths.size() == 1);
    int imported = 0;
    // A failed commit loses the batch's rows: the tables and the tree are read again.
    TBatchTransaction batch(TSession::Instance().DatabaseFor(QString::fromLatin1(TDMvelm::kAlias)), [this] {
        DMvelm->TableCPInfo->Refresh();
        DMvelm->TableCategory->Refresh();
        tree_.Load(*DMvelm);
    });
    std::unique_ptr<QProgressDialog> progress;
    if (paths.size() > kQuietImportCount) {
        progress = std::make_unique<QProgressDialog>(QString(), QStringLiteral("Cancel"), 0, int(paths.size()), window_);
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
        std::optional<TArchiveFingerprint> fingerprint;
        if (duplicates.Admit(path, fingerprint) && ImportArchiveAt(node, path, fingerprint ? &*fingerprint : nullptr))
            ++imported;
        batch.Tick();
    }
    batch.End();
    progress.reset();
    // A window that is closing is not kept open by a summary.
    if (stopRequested)
        return;
    const QStringList anyway = duplicates.Summarise(imported);
    if (!anyway.isEmpty())
        ImportArchivesGuarded(node, anyway, false, stopRequested, false);
}

void TImportCommands::ImportComponents() {
    QTreeWidgetItem* node = tree_.SelectedNode();
    if (!node) {
        ShowError(TEditingCommands::NoCategoryText());
        return;
    }
    TOpenDialogRequest request = ArchiveDialogRequest();
    request.StartFolder = Settings().LastArchiveDir;
    const QStringList files = PickFilesToOpen(window_, request);
    if (!files.isEmpty())
        ImportArchives(node, files, true);
}

void TImportCommands::ImportFiles(const QStringList& paths) {
    QTreeWidgetItem* node = tree_.SelectedNode();
    if (node && node->parent())
        node = node->parent();
    if (!node)
        node = tree_.Widget()->topLevelItem(0);
    if (!node) {
        ShowError(TEditingCommands::NoCategoryText());
        return;
    }
    ImportArchives(node, paths, false);
}

void TImportCommands::ReimportSelected() {
    QTreeWidgetItem* node = tree_.SelectedNode();
    // The shown component is the selected node's; the button on the detail panel is
    // only there while one is selected.
    if (!node || !node->parent())
        return;
    const qint64 rowId = RowIdOf(node);
    const auto [archiveFile, archiveFolder] = ArchiveOfRow(rowId);
    TOpenDialogRequest request = ArchiveDialogRequest();
    request.FileName = archiveFile;
    request.StartFolder = archiveFolder;
    const QStringList files = PickFilesToOpen(window_, request);
    if (files.isEmpty())
        return;
    const QString& file = files.first();
    Settings().LastArchiveDir = FolderOf(file);
    if (!ConfirmOtherProductsArchive(node->text(0), archiveFile, file))
        return;
    guard_.Run([&] {
        // The message dialog offers the component's own category, not that of the last import.
        component_->CurrentCategoryName = node->parent()->text(0);
        try {
            // The row filled is the node's, whatever the dialog left current.
            component_->ReimportArchive(rowId, file);
        } catch (const EArchiveRefused& refused) {
            ShowError(QString::fromStdString(refused.what()));
            return;
        }
        FollowRowCategory(node);
    });
}

void TImportCommands::FollowRowCategory(QTreeWidgetItem* node) {
    QTreeWidgetItem* target = FindCategoryNode(tree_.Widget(), CategoryOfCurrentRow());
    if (target && target != node->parent())
        tree_.MoveComponentNode(node, target);
}

void TImportCommands::FilesDropped(const QStringList& paths, qint64 categoryId) {
    // A drop during other work waits for it to end.
    guard_.AfterWork([this, paths, categoryId] { RunCommand([&] { DropFilesInto(paths, categoryId); }); });
}

void TImportCommands::DropFilesInto(const QStringList& dropped, qint64 categoryId) {
    if (dropped.isEmpty())
        return;
    QTreeWidget* tree = tree_.Widget();
    // The category under the pointer at the drop; should it have gone since, the first.
    QTreeWidgetItem* node = FindCategoryNode(tree, categoryId);
    if (!node)
        node = tree->topLevelItem(0);
    if (!node) {
        ShowError(TEditingCommands::NoCategoryText());
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

}  // namespace velm
