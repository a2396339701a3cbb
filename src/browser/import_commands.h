#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QTreeWidgetItem;
class QWidget;

namespace velm {

class TCategoryTree;
struct TArchiveFingerprint;
class TComponentDetailPanel;
class TEditingCommands;
class TVELMComponent;
class TWorkGuard;

// The main window's ways in for archives: the import command, files dropped on the
// tree, and the re-import of the shown component. It owns the archive import
// (TVELMComponent) and runs every import under the window's work guard, many at once
// in batches under a progress dialog.
class TImportCommands {
public:
    TImportCommands(QWidget* window, TCategoryTree& tree, TWorkGuard& guard, TEditingCommands& editing,
                    TComponentDetailPanel& panel);
    ~TImportCommands();
    TImportCommands(const TImportCommands&) = delete;
    TImportCommands& operator=(const TImportCommands&) = delete;

    TVELMComponent& Component() const { return *component_; }
    // Where archives are unpacked; set by the window's show sequence.
    void SetTmpFolder(const QString& folder);

    // File > Import Component Info...: archives chosen in the open dialog, into the
    // selected node's category.
    void ImportComponents();
    // File > Re-import, and the detail panel's button: the selected component's row
    // filled again from an archive the user chooses.
    void ReimportSelected();
    // Files dropped on the tree: imported once other work has ended.
    void FilesDropped(const QStringList& paths, qint64 categoryId);
    // The dropped files, as the event loop handles them after the drop: they go to the
    // category that was under the pointer (the first one should it have gone since);
    // a dropped folder stands for the archives below it.
    void DropFilesInto(const QStringList& paths, qint64 categoryId);
    // Archives found elsewhere (a folder's archives that are not catalogued): into the
    // selected node's category, else the first one.
    void ImportFiles(const QStringList& paths);
    // One archive into the node's category, plus its tree node (null when the archive
    // was refused or could not be read). The new node is selected.
    // A fingerprint taken before goes with the archive to its record.
    QTreeWidgetItem* ImportArchiveAt(QTreeWidgetItem* node, const QString& archivePath,
                                     const TArchiveFingerprint* fingerprint = nullptr);

private:
    // Imports the files one after another under the work guard, with a progress dialog
    // when there are many; rememberFolder keeps each file's folder for the dialog.
    // Archives already catalogued are asked about (one) or set aside for a summary
    // (many) unless checkDuplicates is off.
    void ImportArchives(QTreeWidgetItem* node, const QStringList& paths, bool rememberFolder);
    void ImportArchivesGuarded(QTreeWidgetItem* node, const QStringList& paths, bool rememberFolder,
                               const bool& stopRequested, bool checkDuplicates = true);
    // Moves the node of the current package row under its row's category when they differ.
    void FollowRowCategory(QTreeWidgetItem* node);

    QWidget* window_;
    TCategoryTree& tree_;
    TWorkGuard& guard_;
    std::unique_ptr<TVELMComponent> component_;
};

}  // namespace velm
