// The main window's editing commands: new, rename, delete and move for categories and
// components. Tables change first and the tree afterwards, so a failed table step
// leaves the tree as it was.
#include "app/command_guard.h"
#include "app/helpers.h"
#include "app/messages.h"
#include "app/settings.h"
#include "browser/form_main.h"
#include "browser/tree_node.h"
#include "browser/tree_sort.h"
#include "catdesc/form_import_cat_des.h"
#include "catalogue/data_module.h"
#include "catalogue/database.h"
#include "catalogue/database_error.h"
#include "catalogue/text_cut.h"
#include "import/velm_component.h"
#include "ui_FormMain.h"
#include "viewer/form_view_zip.h"

#include <QMenu>
#include <QTimer>
#include <QTreeWidget>

namespace velm {

namespace {

constexpr int kCategoryNameSize = 25;

QString NameOf(QTreeWidgetItem* node) { return node->text(0); }

// The ID of the table's current row: after a post, the row just stored.
qint64 CurrentId(const TTable& table) { return table.FieldByName(QStringLiteral("ID"))->Value().toLongLong(); }

}  // namespace

void TFormMain::ConnectCommand(QAction* action, void (TFormMain::*handler)()) {
    // Every command runs guarded: a failure is reported and the window goes on.
    connect(action, &QAction::triggered, this, [this, handler] { RunCommand([&] { (this->*handler)(); }); });
}

void TFormMain::ConnectCommands() {
    ConnectCommand(ui_->FileNewCategory, &TFormMain::FileNewCategoryClick);
    ConnectCommand(ui_->FileNewComponentPackage, &TFormMain::FileNewComponentPackageClick);
    ConnectCommand(ui_->EditChangeName, &TFormMain::EditChangeNameClick);
    ConnectCommand(ui_->EditDelete, &TFormMain::EditDeleteClick);
    ConnectCommand(ui_->EditMoveToOtherCategory, &TFormMain::EditMoveToOtherCategoryClick);
    ConnectCommand(ui_->PopUpNewCategory, &TFormMain::FileNewCategoryClick);
    ConnectCommand(ui_->PopUpNewComponentPackage, &TFormMain::FileNewComponentPackageClick);
    ConnectCommand(ui_->PopUpDelete, &TFormMain::EditDeleteClick);
    ConnectCommand(ui_->PopUpChangeName, &TFormMain::EditChangeNameClick);
    ConnectCommand(ui_->PopUpMoveToOtherCategory, &TFormMain::EditMoveToOtherCategoryClick);
    ConnectCommand(ui_->FileImportCatDescriptions, &TFormMain::FileImportCatDescriptionsClick);
    ConnectCommand(ui_->ViewArchiveContents, &TFormMain::ViewArchiveContentsClick);

    popupMenuTree_ = new QMenu(this);
    popupMenuTree_->setObjectName(QStringLiteral("PopupMenuTree"));
    connect(popupMenuTree_, &QMenu::aboutToShow, this, &TFormMain::SetMenuPictures);
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
}

void TFormMain::ShowTreePopupMenu(const QPoint& position) {
    // A right click does not select: every command acts on the selected node.
    popupMenuTree_->popup(ui_->TreeViewCategories->viewport()->mapToGlobal(position));
}

// ---------------------------------------------------------------------------------
// Categories

QString TFormMain::CreateCategoryRecord(const QString& baseName) {
    // Cut first, so the free-name test, the stored name and the node text agree.
    const QString base = CutAtCharacter(baseName.isEmpty() ? QStringLiteral("New Category") : baseName, kCategoryNameSize);
    TTable& categories = *DMvelm->TableCategory;
    QString candidate = base;
    for (int n = 1; categories.Locate(QStringLiteral("Name"), candidate, true); ++n) {
        const QString suffix = QString::number(n);
        candidate = CutAtCharacter(base, kCategoryNameSize - suffix.size()) + suffix;
    }
    categories.Append();
    try {
        categories.FieldByName(QStringLiteral("Name"))->SetAsString(candidate);
        categories.Post();
    } catch (...) {
        categories.Cancel();
        throw;
    }
    return candidate;
}

QString TFormMain::AddCategory(const QString& name) {
    const QString stored = CreateCategoryRecord(name);
    AddCategoryNode(ui_->TreeViewCategories->topLevelItem(0), stored, CurrentId(*DMvelm->TableCategory));
    return stored;
}

void TFormMain::FileNewCategoryClick() {
    AddCategory(QString());
    // A new node is there to be named: its label opens for typing.
    EditChangeNameClick();
}

bool TFormMain::RenameCategory(qint64 categoryId, const QString& oldName, QString& newName) {
    TTable& categories = *DMvelm->TableCategory;
    try {
        if (!categories.Locate(QStringLiteral("ID"), categoryId, false))
            throw EDatabaseError(QStringLiteral("Record not found"));
        categories.Edit();
        categories.FieldByName(QStringLiteral("Name"))->SetAsString(newName);
        categories.Post();
        newName = categories.FieldByName(QStringLiteral("Name"))->AsString();
        return true;
    } catch (const EDatabaseError& error) {
        categories.Cancel();
        ReportDatabaseError(error, kRenameCategory, oldName, newName);
        return false;
    }
}

void TFormMain::DeleteCategory(QTreeWidgetItem* node) {
    if (Settings().ConfirmDelete &&
        !ConfirmYesNo(QStringLiteral("Do you really want to delete the category: ") + NameOf(node) +
                      QStringLiteral("\rand ALL components of this category ?")))
        return;
    TTable& categories = *DMvelm->TableCategory;
    TTable& packages = *DMvelm->TableCPInfo;
    if (!categories.Locate(QStringLiteral("ID"), RowIdOf(node), false))
        throw EDatabaseError(QStringLiteral("Record not found"));
    const int id = categories.FieldByName(QStringLiteral("ID"))->AsInteger();
    packages.CheckBrowseMode();
    // The category and its packages go together or not at all.
    TDatabase& database = TSession::Instance().DatabaseFor(QString::fromLatin1(TDMvelm::kAlias));
    database.StartTransaction();
    try {
        packages.SetFilter(QStringLiteral("Category = %1").arg(id));
        packages.SetFiltered(true);
        packages.First();
        while (!packages.IsEmpty())
            packages.Delete();
        packages.SetFiltered(false);
        categories.Delete();
        database.Commit();
    } catch (...) {
        database.Rollback();
        packages.SetFiltered(false);
        packages.Refresh();
        categories.Refresh();
        throw;
    }
    RemoveNode(node);
}

// ---------------------------------------------------------------------------------
// Components

void TFormMain::FileNewComponentPackageClick() {
    QTreeWidgetItem* selected = SelectedNode();
    if (!selected) {
        ShowError(QStringLiteral("First select a category to add the component to."));
        return;
    }
    QTreeWidgetItem* category = selected->parent() ? selected->parent() : selected;
    const QString name = Component->CreateComponentRecord(RowIdOf(category), QStringLiteral("New Component"));
    AddComponentNode(selected, name, Component->CurrentRowId);
    EditChangeNameClick();
}

void TFormMain::DeleteComponent(QTreeWidgetItem* node) {
    if (Settings().ConfirmDelete &&
        !ConfirmYesNo(QStringLiteral("Do you really want to delete the component: ") + NameOf(node) +
                      QStringLiteral(" ?")))
        return;
    // The row is the node's, looked up now: not whichever row earlier work left current.
    Component->CurrentProductName = NameOf(node);
    Component->CurrentRowId = RowIdOf(node);
    Component->DeleteComponentRecord();
    RemoveNode(node);
}

void TFormMain::MoveComponent(QTreeWidgetItem* node) {
    Component->CurrentProductName = NameOf(node);
    Component->CurrentRowId = RowIdOf(node);
    const QString categoryName = Component->MoveToOtherCategory();
    if (categoryName.isEmpty())
        return;
    // The moved row is current: its category ID finds the node, whatever the names.
    QTreeWidgetItem* category = FindCategoryNode(
        ui_->TreeViewCategories, DMvelm->TableCPInfo->FieldByName(QStringLiteral("Category"))->AsInteger());
    if (!category)
        return;
    const QString text = NameOf(node);
    const qint64 rowId = RowIdOf(node);
    RemoveNode(node);
    AddComponentNode(category, text, rowId);
}

// ---------------------------------------------------------------------------------
// Commands on the selected node

void TFormMain::EditChangeNameClick() {
    if (QTreeWidgetItem* selected = SelectedNode())
        ui_->TreeViewCategories->editItem(selected, 0);
}

void TFormMain::TreeViewCategoriesEdited(QTreeWidgetItem* node, const QString& editedText) {
    QString text = editedText;
    bool ok = false;
    if (text.isEmpty()) {
        // Every node needs a label to be found and chosen by.
        ShowError(QStringLiteral("%1 must have names,\rso change from %2 to an empty name is not possible !")
                      .arg(node->parent() ? QStringLiteral("Components") : QStringLiteral("Categories"), NameOf(node)));
    } else if (node->parent()) {
        ok = Component->RenameComponent(RowIdOf(node), NameOf(node), text);
    } else {
        ok = RenameCategory(RowIdOf(node), NameOf(node), text);
    }
    if (!ok)
        text = NameOf(node);
    node->setText(0, text);
    // The rows and the node text change at once; the siblings are sorted from the event
    // loop, after the click or key that ended the edit has done its work on the nodes
    // as the user saw them.
    QTreeWidget* tree = ui_->TreeViewCategories;
    QTreeWidgetItem* category = node->parent();
    QTimer::singleShot(0, this, [tree, category] {
        if (!category) {
            SortWholeTree(tree);
            return;
        }
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            if (tree->topLevelItem(i) == category)  // the category may have gone meanwhile
                SortChildren(category);
    });
}

void TFormMain::EditDeleteClick() {
    QTreeWidgetItem* selected = SelectedNode();
    if (!selected)
        return;
    if (selected->parent())
        DeleteComponent(selected);
    else
        DeleteCategory(selected);
}

void TFormMain::EditMoveToOtherCategoryClick() {
    QTreeWidgetItem* selected = SelectedNode();
    if (selected && selected->parent())
        MoveComponent(selected);
}

void TFormMain::FileImportCatDescriptionsClick() {
    QStringList names;
    if (RunImportCatDes(this, names))
        AddCategoriesFromList(names);
}

void TFormMain::ViewArchiveContentsClick() {
    QTreeWidgetItem* selected = SelectedNode();
    if (!selected || !selected->parent())
        return;
    TTable& packages = *DMvelm->TableCPInfo;
    // Without a file name the folder alone is opened, which the viewer reports as not found.
    const QString file = packages.FieldByName(QStringLiteral("ArchiveFile"))->AsString();
    ShowArchiveContents(this, packages.FieldByName(QStringLiteral("ArchiveFilePath"))->AsString() + file, TmpFolder);
}

void TFormMain::AddCategoriesFromList(const QStringList& names) {
    for (const QString& entry : names) {
        const QString name = CreateCategoryRecord(entry);
        AddCategoryNode(ui_->TreeViewCategories->topLevelItem(0), name, CurrentId(*DMvelm->TableCategory));
    }
    SortWholeTree(ui_->TreeViewCategories);
}

}  // namespace velm
