#pragma once

#include <QColor>
#include <QMainWindow>
#include <QString>

#include <functional>
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

class TCategoryTree;
class TComponentDetailPanel;
class TEditingCommands;
class TImportCommands;
class TSearchStrip;
class TWorkGuard;

// The main window: the category tree on the left, the selected component's record or
// the logo on the right, the search strip on top, and the menus. It lives as long as
// the program. The parts it owns answer their own controls: the category tree, the
// editing commands, the import commands and the search strip.
class TFormMain : public QMainWindow {
    Q_OBJECT
public:
    // programFolder is the folder of the running program (tests hand in a temporary one).
    explicit TFormMain(const QString& programFolder, QWidget* parent = nullptr);
    ~TFormMain() override;

    const QString& ProgramFolder() const { return programFolder_; }  // always ends in a separator
    const QString& TmpFolder() const { return tmpFolder_; }

    TCategoryTree* CategoryTree() const { return tree_.get(); }
    TEditingCommands* EditingCommands() const { return editing_.get(); }
    TImportCommands* ImportCommands() const { return import_.get(); }
    TSearchStrip* SearchStrip() const { return search_; }
    // The guard under which long work on this window runs (imports, search, print).
    TWorkGuard* WorkGuard() const { return workGuard_; }

    // The node the commands act on: the tree's selected node, if any.
    QTreeWidgetItem* SelectedNode() const;
    QTreeWidget* TreeViewCategories() const;
    QFrame* PanelSearch() const;
    QFrame* PanelLeft() const;
    QFrame* PanelRight() const;
    QLabel* ImageLogo() const;
    // The hint on the right side while the catalogue holds no category.
    QLabel* LabelEmptyHint() const;
    QWidget* PageControlComponentInfo() const;
    TComponentDetailPanel* DetailPanel() const { return detail_; }

    // Colours the three panels from the settings.
    void ApplyColours();

    // Commands of the menus that live nowhere else.
    void ViewArchiveContentsClick();
    void FileExitClick();
    void FilePrintClick();
    void FileExportClick();
    void FileOptionsClick();
    void EditStatusListClick();
    void HelpContentsClick();
    void HelpAboutClick();
    void ToolsIndexArchiveContentsClick();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The show sequence; runs once, when the window is first shown.
    void InitialiseMainWindow();
    // The close sequence.
    void FormClose();
    // Where the last run left the window, when that still fits a screen.
    void PlaceWindow();
    void NodeChosen(QTreeWidgetItem* node);
    void ShowDetail(bool detail);
    // Shows the empty catalogue's hint exactly while the tree has no category.
    void ShowEmptyHint();
    void ConnectCommand(QAction* action, const std::function<void()>& handler);
    void ConnectCommands();
    void ConnectMenus();
    // Menus: the enabling rules run as a menu opens, before it is drawn.
    void MenuFileClick();
    void MenuEditClick();
    void MenuViewClick();
    void SetMenuPictures();
    void ShowTreePopupMenu(const QPoint& position);

    std::unique_ptr<Ui::FormMain> ui_;
    QString programFolder_;
    QString tmpFolder_;
    TComponentDetailPanel* detail_ = nullptr;
    TWorkGuard* workGuard_ = nullptr;
    std::unique_ptr<TCategoryTree> tree_;
    std::unique_ptr<TEditingCommands> editing_;
    std::unique_ptr<TImportCommands> import_;
    TSearchStrip* search_ = nullptr;
    QMenu* popupMenuTree_ = nullptr;
    bool initialised_ = false;
    bool menuPicturesSet_ = false;
    bool closed_ = false;
    bool closeDone_ = false;
};

}  // namespace velm
