#pragma once

#include <QColor>
#include <QMainWindow>
#include <QString>

#include <memory>

class QTreeWidget;
class QTreeWidgetItem;
class QFrame;
class QLabel;
class QAction;
class QMenu;

namespace Ui {
class FormMain;
}

namespace velm {

class TVELMComponent;
class TComponentDetailPanel;
class TTreeLabelDelegate;
class TWorkGuard;

// The main window: the category tree on the left, the selected component's record or
// the logo on the right, the search strip on top. It lives as long as the program.
class TFormMain : public QMainWindow {
    Q_OBJECT
public:
    // programFolder is the folder of the running program (tests hand in a temporary one).
    explicit TFormMain(const QString& programFolder, QWidget* parent = nullptr);
    ~TFormMain() override;

    // The window's own state, in this order.
    TVELMComponent* Component = nullptr;
    QColor FocusColor;
    QColor UnfocusedColor;
    QString ProgramFolder;  // always ends in a separator
    QString TmpFolder;

    // The show sequence; runs once, when the window is first shown.
    void InitialiseMainWindow();
    // Discards all nodes and builds the tree anew from the tables.
    void LoadCategoryTree();
    // Puts package rows whose category no longer exists into the category "Unfiled"
    // (made when needed) and tells the user once; part of the show sequence.
    void GatherUnfiledComponents();
    // rowId: the ID of the category or package row the new node stands for.
    QTreeWidgetItem* AddCategoryNode(QTreeWidgetItem* anchor, const QString& text, qint64 rowId);
    QTreeWidgetItem* AddComponentNode(QTreeWidgetItem* anchor, const QString& text, qint64 rowId);
    // Colours the three panels from the settings.
    void ApplyColours();
    // Puts the window where the settings say the last run left it, fitted to the screen.
    void PlaceWindow();

    // Editing operations other windows call.
    // Adds a category row and its node (selected); returns the name as stored.
    QString AddCategory(const QString& name);
    QString CreateCategoryRecord(const QString& baseName);
    bool RenameCategory(qint64 categoryId, const QString& oldName, QString& newName);
    void DeleteCategory(QTreeWidgetItem* node);
    void DeleteComponent(QTreeWidgetItem* node);
    void MoveComponent(QTreeWidgetItem* node);
    void AddCategoriesFromList(const QStringList& names);

    // Commands.
    void FileNewCategoryClick();
    void FileNewComponentPackageClick();
    void EditChangeNameClick();
    void TreeViewCategoriesEdited(QTreeWidgetItem* node, const QString& editedText);
    void EditDeleteClick();
    void EditMoveToOtherCategoryClick();
    void FileImportCatDescriptionsClick();
    void ViewArchiveContentsClick();

    // Archive import.
    // One archive into the node's category, plus its tree node (null when the path was
    // refused). The new node is selected.
    QTreeWidgetItem* ImportArchiveAt(QTreeWidgetItem* node, const QString& archivePath);
    void FileImportComponentClick();
    void FileReimportClick();
    void SBOpenDlgArchiveFileClick();
    void ReimportComponent();
    // Files dropped on the tree, as the event loop handles them after the drop: they go to
    // the category that was under the pointer when they were dropped (the first one
    // should it have gone since); a dropped folder stands for the archives below it.
    void DropFilesInto(const QStringList& paths, qint64 categoryId);
    // The node a drop at the point goes to: the node when the point is on its icon,
    // label or right of its label, otherwise the tree's first node.
    QTreeWidgetItem* DropTargetAt(const QPoint& treePoint) const;

    // Menus: the enabling rules run as a menu opens, before it is drawn.
    void MenuFileClick();
    void MenuEditClick();
    void MenuViewClick();
    void MenuHelpClick();
    void ViewCollapseTreeClick();
    void ViewUnfoldTreeClick();
    void FileExitClick();
    void FilePrintClick();
    void FileExportClick();
    void FileOptionsClick();
    void EditStatusListClick();
    void HelpContentsClick();
    void HelpAboutClick();
    void ToolsIndexArchiveContentsClick();

    // The node the commands act on: the tree's current node while it is shown as
    // selected, else none (a click on the tree's empty space selects nothing).
    QTreeWidgetItem* SelectedNode() const;
    // The guard under which long work on this window runs (imports, search, print).
    TWorkGuard* WorkGuard() const { return workGuard_; }

    QTreeWidget* TreeViewCategories() const;
    QFrame* PanelSearch() const;
    QFrame* PanelLeft() const;
    QFrame* PanelRight() const;
    QLabel* ImageLogo() const;
    // The hint on the right side while the catalogue holds no category.
    QLabel* LabelEmptyHint() const;
    QWidget* PageControlComponentInfo() const { return pageControl_; }
    TComponentDetailPanel* DetailPanel() const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void TreeViewCategoriesChange(QTreeWidgetItem* node);
    void TreeViewCategoriesExpanded(QTreeWidgetItem* node);
    void TreeViewCategoriesCollapsed(QTreeWidgetItem* node);

private:
    // The close sequence.
    void FormClose();
    void TreeViewCategoriesKeyDown(int key);
    // A category shows the open drawer only while it is expanded and has components.
    static void UpdateCategoryImage(QTreeWidgetItem* category);
    // Removes a node; its category's picture follows what is left in it.
    void RemoveNode(QTreeWidgetItem* node);
    // Filter of the tree's viewport: a right click selects nothing.
    bool TreeMouseEvent(QEvent* event);
    static QTreeWidgetItem* NewCategoryItem(const QString& text, qint64 rowId);
    static QTreeWidgetItem* NewComponentItem(const QString& text, qint64 rowId);
    void ConnectCommands();
    void ConnectCommand(QAction* action, void (TFormMain::*handler)());
    void ShowTreePopupMenu(const QPoint& position);
    void ShowDetail(bool detail);
    // Shows the empty catalogue's hint exactly while the tree has no category.
    void ShowEmptyHint();
    // Imports the files one after another into the node's category under the work
    // guard, with a progress dialog when there are many; rememberFolder keeps each
    // file's folder for the import dialog.
    void ImportArchives(QTreeWidgetItem* node, const QStringList& paths, bool rememberFolder);
    void ImportArchivesGuarded(QTreeWidgetItem* node, const QStringList& paths, bool rememberFolder,
                               const bool& stopRequested);
    // Moves the node of the current package row under its row's category when they differ.
    void FollowRowCategory(QTreeWidgetItem* node);
    bool DropEvent(QEvent* event);
    void ConnectImportCommands();
    void ConnectMenuCommands();
    void SetMenuPictures();

    std::unique_ptr<Ui::FormMain> ui_;
    TWorkGuard* workGuard_ = nullptr;
    TTreeLabelDelegate* labelDelegate_ = nullptr;
    QWidget* pageControl_ = nullptr;
    QMenu* popupMenuTree_ = nullptr;
    bool initialised_ = false;
    bool menuPicturesSet_ = false;
    bool closed_ = false;
    bool loadingTree_ = false;

    // Search panel
public:
    // The record locate engine, bound to the package table.
    class TfxLocate* fxLocate1 = nullptr;
    // The two buttons: from the first record, or from the record after the current one.
    void RunSearch(bool fromNext);
    // matchKind: 1 anywhere, 2 beginning, 3 full. Returns whether a record was found.
    bool LocateRecord(const QString& fieldName, const QString& searchText, int matchKind, bool caseSensitive,
                      bool fromNext);
    // Selects the node of that package row; without one the selection is cleared.
    void SelectComponentNode(qint64 packageId);
    void CheckBoxSearchOptionsClick();
    // Run after the menu has toggled the item's check mark.
    void ViewHideSearchPanelClick();
    void ViewShowSearchOptionsClick();
    // Show sequence step 12: the searchable field names, none chosen.
    void FillSearchFieldList();

private:
    void ConnectSearchPanel();
    void SearchBusyChanged(bool busy);
    QWidget* searchFocus_ = nullptr;  // the button that had the focus when a search began
};

}  // namespace velm
