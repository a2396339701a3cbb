#include "browser/form_main.h"

#include "browser/archive_index_command.h"
#include "browser/catalogue_check_command.h"
#include "browser/category_tree.h"
#include "browser/component_detail_panel.h"
#include "browser/editing_commands.h"
#include "browser/form_about.h"
#include "browser/form_find_duplicates.h"
#include "browser/form_options.h"
#include "browser/import_commands.h"
#include "browser/instant_search_panel.h"
#include "browser/pictures.h"
#include "browser/search_strip.h"
#include "browser/tree_node.h"
#include "catalogue/data_module.h"
#include "catalogue/field_names.h"
#include "catalogue/table.h"
#include "import/velm_component.h"
#include "kit/command_guard.h"
#include "kit/dialog_colours.h"
#include "kit/launcher.h"
#include "kit/settings.h"
#include "kit/tmp_folder.h"
#include "kit/window_fit.h"
#include "kit/work_guard.h"
#include "report/report_commands.h"
#include "status/form_install_status.h"
#include "ui_form_main.h"
#include "viewer/form_view_zip.h"

#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QStyle>
#include <QTreeWidget>

namespace velm {

namespace {

const QColor kFocusColour(Qt::white);
const QColor kUnfocusedColour(0xC0, 0xC0, 0xC0);

bool IsComponentNode(const QTreeWidgetItem* node) { return node && node->parent(); }

// Reports cover the selected node: a component, or a category.
TReportTarget ReportTargetOf(const QTreeWidgetItem* node) {
    if (!node)
        return {};
    if (IsComponentNode(node))
        return {node->parent()->text(0), node->text(0), RowIdOf(node->parent()), RowIdOf(node)};
    return {node->text(0), QString(), RowIdOf(node), 0};
}

}  // namespace

TFormMain::TFormMain(const QString& programFolder, QWidget* parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::FormMain>()), programFolder_(programFolder) {
    ui_->setupUi(this);

    QFont windowFont(QStringLiteral("Arial"));
    windowFont.setPixelSize(15);
    setFont(windowFont);
    ui_->LabelCategories->setFont(windowFont);
    ui_->LabelCategories->setStyleSheet(QStringLiteral("color: navy;"));
    ui_->ImageLogo->setPixmap(LogoPicture());
    ui_->ImageLogo->hide();
    // The right panel's own colour shows through; the text is the window's navy.
    ui_->LabelEmptyHint->setFont(windowFont);
    ui_->LabelEmptyHint->setStyleSheet(QStringLiteral("color: navy;"));
    // The detail panel shares the right panel's cell with the logo; one is shown at a time.
    detail_ = new TComponentDetailPanel(*DMvelm, ui_->PanelRight);
    detail_->hide();
    ui_->LayoutRight->addWidget(detail_, 0, 0);
    ui_->Splitter1->setSizes({265, 763 - 265});
    ui_->Splitter1->setStretchFactor(1, 1);

    workGuard_ = new TWorkGuard(this, ui_->TreeViewCategories->viewport());
    tree_ = std::make_unique<TCategoryTree>(ui_->TreeViewCategories);
    editing_ = std::make_unique<TEditingCommands>(this, *tree_, *DMvelm);
    import_ = std::make_unique<TImportCommands>(this, *tree_, *workGuard_, *editing_, *detail_);
    search_ = new TSearchStrip(*ui_, *tree_, *workGuard_, statusBar(), [this] { return closed_; }, this);
    connect(tree_.get(), &TCategoryTree::nodeChosen, this, &TFormMain::NodeChosen);
    connect(tree_.get(), &TCategoryTree::nodesChanged, this, &TFormMain::ShowEmptyHint);
    connect(tree_.get(), &TCategoryTree::labelEdited, this, [this](QTreeWidgetItem* node, const QString& text) {
        // Also the edit that the close sequence ends: it is the user's last rename.
        if (initialised_ && !closeDone_)
            RunCommand([&] { editing_->LabelEdited(node, text); });
    });
    connect(tree_.get(), &TCategoryTree::deleteKeyPressed, this, [this] { RunCommand([this] { editing_->DeleteSelected(); }); });
    connect(tree_.get(), &TCategoryTree::insertKeyPressed, this, [this](bool onComponent) {
        RunCommand([this, onComponent] { onComponent ? editing_->NewComponent() : editing_->NewCategory(); });
    });
    connect(tree_.get(), &TCategoryTree::popupRequested, this, &TFormMain::ShowTreePopupMenu);
    connect(tree_.get(), &TCategoryTree::filesDropped, this,
            [this](const QStringList& paths, qint64 category) { import_->FilesDropped(paths, category); });
    connect(detail_, &TComponentDetailPanel::viewArchiveRequested, this,
            [this] { RunCommand([this] { ViewArchiveContentsClick(); }); });
    connect(detail_, &TComponentDetailPanel::reimportRequested, this,
            [this] { RunCommand([this] { import_->ReimportSelected(); }); });
    connect(detail_, &TComponentDetailPanel::newerVersionChosen, this,
            [this](qint64 packageId) { RunCommand([this, packageId] { tree_->SelectComponentNode(packageId); }); });
    ConnectCommands();
    ConnectMenus();
    new TInstantSearchPanel(this);

    // Centred on the screen until the show sequence has read where the last run left it.
    resize(763, 554);
    CentreOnScreen(this, QGuiApplication::primaryScreen());
}

TFormMain::~TFormMain() {
    // A label edit left open by a window that never closed renames nothing.
    tree_->EndLabelEdit(false);
}

QTreeWidgetItem* TFormMain::SelectedNode() const { return tree_->SelectedNode(); }
QTreeWidget* TFormMain::TreeViewCategories() const { return ui_->TreeViewCategories; }
QFrame* TFormMain::PanelSearch() const { return ui_->PanelSearch; }
QFrame* TFormMain::PanelLeft() const { return ui_->PanelLeft; }
QFrame* TFormMain::PanelRight() const { return ui_->PanelRight; }
QLabel* TFormMain::ImageLogo() const { return ui_->ImageLogo; }
QLabel* TFormMain::LabelEmptyHint() const { return ui_->LabelEmptyHint; }
QWidget* TFormMain::PageControlComponentInfo() const { return detail_; }

// ---------------------------------------------------------------------------------
// Showing and closing

void TFormMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!initialised_) {
        initialised_ = true;
        InitialiseMainWindow();
    }
}

void TFormMain::InitialiseMainWindow() {
    // Files dropped from the desktop land on the tree.
    ui_->TreeViewCategories->setAcceptDrops(true);
    if (!programFolder_.endsWith(QLatin1Char('/')) && !programFolder_.endsWith(QLatin1Char('\\')))
        programFolder_ += QLatin1Char('/');
    // One level only; a failure shows later, when something is extracted.
    tmpFolder_ = programFolder_ + QStringLiteral("Tmp/");
    QDir().mkdir(tmpFolder_);
    LoadSettings(programFolder_);
    PlaceWindow();
    ApplyColours();
    detail_->SetFocusColours(kFocusColour, kUnfocusedColour);
    detail_->SetDescriptionStylePlain();
    import_->SetTmpFolder(tmpFolder_);
    tree_->Load(*DMvelm);
    editing_->FileStrayComponents();
    ShowDetail(false);
    ui_->ImageLogo->hide();
    if (QTreeWidgetItem* first = ui_->TreeViewCategories->topLevelItem(0)) {
        ui_->TreeViewCategories->setCurrentItem(first);
        NodeChosen(first);
    }
    search_->FillFieldList(*DMvelm->TableCPInfo);
}

void TFormMain::PlaceWindow() {
    // Where the last run left the window, on a screen that is still there and wholly on
    // it; else the middle of the primary screen.
    const SettingsRecord& settings = Settings();
    QScreen* screen = settings.MainWindowRect.isValid() ? ScreenHolding(settings.MainWindowRect) : nullptr;
    if (screen) {
        resize(settings.MainWindowRect.size());
        FitToScreen(this, screen, settings.MainWindowRect.topLeft());
    } else {
        CentreOnScreen(this, QGuiApplication::primaryScreen());
    }
    if (settings.MainWindowMaximized)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void TFormMain::ApplyColours() {
    const SettingsRecord& settings = Settings();
    PaintPanel(ui_->PanelRight, settings.MainColor);
    PaintPanel(ui_->PanelLeft, settings.PanelColor);
    PaintPanel(ui_->PanelSearch, settings.SecondPanelColor);
}

void TFormMain::closeEvent(QCloseEvent* event) {
    // Work that lets the event loop run holds objects the close would free: the window
    // closes when the work has ended.
    if (workGuard_->PostponeClose()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TFormMain::FormClose() {
    if (closed_)
        return;
    closed_ = true;
    // A name typed into a label still open is the user's last rename.
    tree_->EndLabelEdit(true);
    // A pending edit of the shown component is stored, as a move to another row would.
    if (DMvelm && DMvelm->TableCPInfo->Active())
        RunCommand([] { DMvelm->TableCPInfo->CheckBrowseMode(); });
    EmptyTmpFolder(tmpFolder_);
    if (initialised_) {
        Settings().MainWindowRect = normalGeometry();
        Settings().MainWindowMaximized = isMaximized();
    }
    SaveSettings();
    closeDone_ = true;
}

// ---------------------------------------------------------------------------------
// The right side follows the tree

void TFormMain::NodeChosen(QTreeWidgetItem* node) {
    if (node->parent()) {
        detail_->ShowComponent(RowIdOf(node));
        if (detail_->currentIndex() != 0)
            detail_->setCurrentIndex(0);
        ui_->ImageLogo->hide();
        ShowDetail(true);
    } else {
        ShowDetail(false);
        ui_->ImageLogo->show();
    }
}

void TFormMain::ShowDetail(bool detail) { detail_->setVisible(detail); }

void TFormMain::ShowEmptyHint() {
    // Neither the logo nor the detail panel shows on an empty catalogue; the hint tells
    // a new user how to fill it.
    ui_->LabelEmptyHint->setVisible(initialised_ && tree_->IsEmpty());
}

// ---------------------------------------------------------------------------------
// Menus and the tree's pop-up

void TFormMain::ConnectCommand(QAction* action, const std::function<void()>& handler) {
    // Every command runs guarded: a failure is reported and the window goes on.
    connect(action, &QAction::triggered, this, [handler] { RunCommand(handler); });
}

void TFormMain::ConnectCommands() {
    TEditingCommands& editing = *editing_;
    TImportCommands& import = *import_;
    for (QAction* action : {ui_->FileNewCategory, ui_->PopUpNewCategory})
        ConnectCommand(action, [&editing] { editing.NewCategory(); });
    for (QAction* action : {ui_->FileNewComponentPackage, ui_->PopUpNewComponentPackage})
        ConnectCommand(action, [&editing] { editing.NewComponent(); });
    for (QAction* action : {ui_->EditChangeName, ui_->PopUpChangeName})
        ConnectCommand(action, [&editing] { editing.ChangeName(); });
    for (QAction* action : {ui_->EditDelete, ui_->PopUpDelete})
        ConnectCommand(action, [&editing] { editing.DeleteSelected(); });
    for (QAction* action : {ui_->EditMoveToOtherCategory, ui_->PopUpMoveToOtherCategory})
        ConnectCommand(action, [&editing] { editing.MoveSelected(); });
    ConnectCommand(ui_->FileImportCatDescriptions, [&editing] { editing.ImportCategoryDescriptions(); });
    for (QAction* action : {ui_->FileImportComponent, ui_->PopUpImportComponentPackage})
        ConnectCommand(action, [&import] { import.ImportComponents(); });
    for (QAction* action : {ui_->FileReimport, ui_->PopUpReimport})
        ConnectCommand(action, [this, &import] {
            if (IsComponentNode(SelectedNode()))
                import.ReimportSelected();
        });
    ConnectCommand(ui_->ViewArchiveContents, [this] { ViewArchiveContentsClick(); });
    ConnectCommand(ui_->ViewCollapseTree, [this] { tree_->CollapseAll(); });
    ConnectCommand(ui_->ViewUnfoldTree, [this] { tree_->UnfoldAll(); });
    ConnectCommand(ui_->FileExit, [this] { FileExitClick(); });
    ConnectCommand(ui_->FilePrint, [this] { FilePrintClick(); });
    ConnectCommand(ui_->FileExport, [this] { FileExportClick(); });
    ConnectCommand(ui_->FileOptions, [this] { FileOptionsClick(); });
    ConnectCommand(ui_->EditStatusList, [this] { EditStatusListClick(); });
    ConnectCommand(ui_->HelpContents, [this] { HelpContentsClick(); });
    ConnectCommand(ui_->HelpAbout, [this] { HelpAboutClick(); });
    ConnectCommand(ui_->ToolsIndexArchiveContents, [this] { IndexArchiveContents(this, *workGuard_); });
    ConnectCommand(ui_->ToolsCheckCatalogue, [this] { CheckCatalogue(this, *workGuard_, *import_); });
    ConnectCommand(ui_->ToolsFindDuplicates, [this] { ShowFindDuplicates(this, *tree_, *workGuard_); });
}

void TFormMain::ConnectMenus() {
    connect(ui_->MenuFile, &QMenu::aboutToShow, this, &TFormMain::MenuFileClick);
    connect(ui_->MenuEdit, &QMenu::aboutToShow, this, &TFormMain::MenuEditClick);
    connect(ui_->MenuView, &QMenu::aboutToShow, this, &TFormMain::MenuViewClick);
    ui_->FileNew->menuAction()->setStatusTip(QStringLiteral("Open new database"));
    // Until the View menu is first opened nothing is known about the shown row.
    ui_->ViewArchiveContents->setEnabled(false);

    popupMenuTree_ = new QMenu(this);
    popupMenuTree_->setObjectName(QStringLiteral("PopupMenuTree"));
    popupMenuTree_->addAction(ui_->PopUpNewCategory);
    popupMenuTree_->addAction(ui_->PopUpNewComponentPackage);
    popupMenuTree_->addSeparator();
    popupMenuTree_->addAction(ui_->PopUpImportComponentPackage);
    popupMenuTree_->addAction(ui_->PopUpReimport);
    popupMenuTree_->addSeparator();
    popupMenuTree_->addAction(ui_->PopUpDelete);
    popupMenuTree_->addSeparator();
    popupMenuTree_->addAction(ui_->PopUpChangeName);
    popupMenuTree_->addSeparator();
    popupMenuTree_->addAction(ui_->PopUpMoveToOtherCategory);
    connect(ui_->TreeViewCategories, &QWidget::customContextMenuRequested, this, &TFormMain::ShowTreePopupMenu);

    // The style's pictures come through the desktop's icon theme, whose first lookup
    // reads the theme's folders: that waits until a menu is first opened.
    for (QMenu* menu : std::initializer_list<QMenu*>{ui_->MenuFile, ui_->MenuEdit, ui_->MenuView, ui_->MenuHelp, popupMenuTree_})
        connect(menu, &QMenu::aboutToShow, this, &TFormMain::SetMenuPictures);
}

void TFormMain::ShowTreePopupMenu(const QPoint& position) {
    // A right click does not select: every command acts on the selected node.
    popupMenuTree_->popup(ui_->TreeViewCategories->viewport()->mapToGlobal(position));
}

void TFormMain::SetMenuPictures() {
    if (menuPicturesSet_)
        return;
    menuPicturesSet_ = true;
    // One set of pictures serves the menu bar and the tree's pop-up menu.
    const auto picture = [this](QStyle::StandardPixmap kind) { return style()->standardIcon(kind); };
    ui_->FileImportComponent->setIcon(picture(QStyle::SP_DialogOpenButton));
    ui_->PopUpImportComponentPackage->setIcon(ui_->FileImportComponent->icon());
    ui_->FileNewCategory->setIcon(picture(QStyle::SP_FileDialogNewFolder));
    ui_->PopUpNewCategory->setIcon(ui_->FileNewCategory->icon());
    ui_->FileNewComponentPackage->setIcon(picture(QStyle::SP_FileIcon));
    ui_->PopUpNewComponentPackage->setIcon(ui_->FileNewComponentPackage->icon());
    ui_->EditDelete->setIcon(picture(QStyle::SP_TrashIcon));
    ui_->PopUpDelete->setIcon(ui_->EditDelete->icon());
    ui_->FileExit->setIcon(picture(QStyle::SP_DialogCloseButton));
    ui_->HelpContents->setIcon(picture(QStyle::SP_DialogHelpButton));
}

void TFormMain::MenuFileClick() { ui_->FileReimport->setEnabled(IsComponentNode(SelectedNode())); }

void TFormMain::MenuEditClick() { ui_->EditMoveToOtherCategory->setEnabled(IsComponentNode(SelectedNode())); }

void TFormMain::MenuViewClick() {
    ui_->ViewArchiveContents->setEnabled(false);
    if (IsComponentNode(SelectedNode()) && DMvelm && DMvelm->TableCPInfo->Active() &&
        !DMvelm->TableCPInfo->FieldByName(fields::ArchiveFile)->AsString().isEmpty())
        ui_->ViewArchiveContents->setEnabled(true);
    ui_->ViewShowSearchOptions->setEnabled(!ui_->ViewHideSearchPanel->isChecked());
}

// ---------------------------------------------------------------------------------
// Commands

void TFormMain::ViewArchiveContentsClick() {
    if (!IsComponentNode(SelectedNode()))
        return;
    TTable& packages = *DMvelm->TableCPInfo;
    // Without a file name the folder alone is opened, which the viewer reports as not found.
    const QString file = packages.FieldByName(fields::ArchiveFile)->AsString();
    ShowArchiveContents(this, packages.FieldByName(fields::ArchiveFilePath)->AsString() + file, tmpFolder_);
}

void TFormMain::FileExitClick() { close(); }

void TFormMain::FilePrintClick() { PrintCatalogue(this, *workGuard_, ReportTargetOf(SelectedNode())); }

void TFormMain::FileExportClick() { ExportCatalogue(this, *workGuard_, ReportTargetOf(SelectedNode())); }

void TFormMain::FileOptionsClick() {
    if (!RunOptionsDialog(this))
        return;
    ApplyColours();
    detail_->update();
}

void TFormMain::EditStatusListClick() { RunInstallStatusDialog(this); }

void TFormMain::HelpContentsClick() { OpenHelpTopic(kHelpContentsTopic); }

void TFormMain::HelpAboutClick() { RunAboutBox(this); }

}  // namespace velm
