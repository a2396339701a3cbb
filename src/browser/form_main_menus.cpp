// The main window's menu bar: the rules that enable items as a menu opens, and the
// small commands that live nowhere else (tree folding, options, status values, help,
// about, exit), and the way in to printing and export.
#include "app/command_guard.h"
#include "app/form_options.h"
#include "app/launcher.h"
#include "app/messages.h"
#include "browser/archive_index_command.h"
#include "browser/form_about.h"
#include "browser/form_main.h"
#include "browser/pictures.h"
#include "browser/tree_node.h"
#include "catalogue/data_module.h"
#include "catalogue/table.h"
#include "report/report_commands.h"
#include "status/form_install_status.h"
#include "ui_FormMain.h"
#include "widgets/title_strip_menu.h"

#include <QStyle>
#include <QTreeWidget>

namespace velm {

namespace {

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

void TFormMain::ConnectMenuCommands() {
    ConnectCommand(ui_->ViewCollapseTree, &TFormMain::ViewCollapseTreeClick);
    ConnectCommand(ui_->ViewUnfoldTree, &TFormMain::ViewUnfoldTreeClick);
    ConnectCommand(ui_->FileExit, &TFormMain::FileExitClick);
    ConnectCommand(ui_->FilePrint, &TFormMain::FilePrintClick);
    ConnectCommand(ui_->FileExport, &TFormMain::FileExportClick);
    ConnectCommand(ui_->FileOptions, &TFormMain::FileOptionsClick);
    ConnectCommand(ui_->EditStatusList, &TFormMain::EditStatusListClick);
    ConnectCommand(ui_->HelpContents, &TFormMain::HelpContentsClick);
    ConnectCommand(ui_->HelpAbout, &TFormMain::HelpAboutClick);
    ConnectCommand(ui_->ToolsIndexArchiveContents, &TFormMain::ToolsIndexArchiveContentsClick);

    connect(ui_->MenuFile, &QMenu::aboutToShow, this, &TFormMain::MenuFileClick);
    connect(ui_->MenuEdit, &QMenu::aboutToShow, this, &TFormMain::MenuEditClick);
    connect(ui_->MenuView, &QMenu::aboutToShow, this, &TFormMain::MenuViewClick);
    connect(ui_->MenuHelp, &QMenu::aboutToShow, this, &TFormMain::MenuHelpClick);
    ui_->FileNew->menuAction()->setStatusTip(QStringLiteral("Open new database"));
    // Until the View menu is first opened nothing is known about the shown row.
    ui_->ViewArchiveContents->setEnabled(false);

    // The style's pictures come through the desktop's icon theme, whose first lookup
    // reads the theme's folders: that waits until a menu is first opened.
    for (QMenu* menu : std::initializer_list<QMenu*>{ui_->MenuFile, ui_->MenuEdit, ui_->MenuView, ui_->MenuHelp})
        connect(menu, &QMenu::aboutToShow, this, &TFormMain::SetMenuPictures);
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

void TFormMain::MenuFileClick() {
    ui_->FileReimport->setEnabled(IsComponentNode(SelectedNode()));
}

void TFormMain::MenuEditClick() {
    ui_->EditMoveToOtherCategory->setEnabled(IsComponentNode(SelectedNode()));
}

void TFormMain::MenuViewClick() {
    ui_->ViewArchiveContents->setEnabled(false);
    if (IsComponentNode(SelectedNode()) && DMvelm && DMvelm->TableCPInfo->Active() &&
        !DMvelm->TableCPInfo->FieldByName(QStringLiteral("ArchiveFile"))->AsString().isEmpty())
        ui_->ViewArchiveContents->setEnabled(true);
    ui_->ViewShowSearchOptions->setEnabled(!ui_->ViewHideSearchPanel->isChecked());
}

void TFormMain::MenuHelpClick() {}

void TFormMain::ViewCollapseTreeClick() {
    QTreeWidget* tree = ui_->TreeViewCategories;
    QTreeWidgetItem* selected = tree->currentItem();
    tree->collapseAll();
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        tree->topLevelItem(i)->setIcon(0, TreeImageIcon(kImageDrawerClosed));
    // A hidden component cannot stay selected: its category takes over and shows the logo.
    if (IsComponentNode(selected))
        tree->setCurrentItem(selected->parent());
}

void TFormMain::ViewUnfoldTreeClick() {
    QTreeWidget* tree = ui_->TreeViewCategories;
    tree->expandAll();
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        if (tree->topLevelItem(i)->childCount() > 0)
            tree->topLevelItem(i)->setIcon(0, TreeImageIcon(kImageDrawerOpen));
}

void TFormMain::FileExitClick() { close(); }

void TFormMain::FilePrintClick() { PrintCatalogue(this, *workGuard_, ReportTargetOf(SelectedNode())); }

void TFormMain::FileExportClick() { ExportCatalogue(this, *workGuard_, ReportTargetOf(SelectedNode())); }

void TFormMain::FileOptionsClick() {
    if (!RunOptionsDialog(this))
        return;
    ApplyColours();
    pageControl_->update();
}

void TFormMain::EditStatusListClick() { RunInstallStatusDialog(this); }

void TFormMain::HelpContentsClick() { OpenHelpTopic(kHelpContentsTopic); }

void TFormMain::HelpAboutClick() { RunAboutBox(this); }

void TFormMain::ToolsIndexArchiveContentsClick() { IndexArchiveContents(this, *workGuard_); }

}  // namespace velm
