#include "browser/editing_commands.h"

#include "browser/category_tree.h"
#include "browser/tree_node.h"
#include "catalogue/data_module.h"
#include "catalogue/database_error.h"
#include "catalogue/field_names.h"
#include "catdesc/form_import_cat_des.h"
#include "import/form_moveto_category.h"
#include "kit/helpers.h"
#include "kit/messages.h"
#include "kit/settings.h"

#include <QTimer>
#include <QTreeWidget>

#include <memory>

namespace velm {

namespace {

QString NameOf(const QTreeWidgetItem* node) { return node->text(0); }

}  // namespace

TEditingCommands::TEditingCommands(QWidget* window, TCategoryTree& tree, TDMvelm& module)
    : window_(window), tree_(tree), module_(module), operations_(module) {}

// ---------------------------------------------------------------------------------
// Categories

QString TEditingCommands::AddCategory(const QString& name) {
    const TNewRow row = operations_.CreateCategory(name);
    tree_.AddCategoryNode(row.Name, row.Id);
    return row.Name;
}

void TEditingCommands::NewCategory() {
    AddCategory(QString());
    // A new node is there to be named: its label opens for typing.
    ChangeName();
}

void TEditingCommands::AddCategoriesFromList(const QStringList& names) {
    for (const QString& name : names)
        AddCategory(name);
    tree_.SortAll();
}

void TEditingCommands::ImportCategoryDescriptions() {
    QStringList names;
    if (RunImportCatDes(window_, names))
        AddCategoriesFromList(names);
}

void TEditingCommands::DeleteCategory(QTreeWidgetItem* node) {
    if (Settings().ConfirmDelete &&
        !ConfirmYesNo(QStringLiteral("Do you really want to delete the category: ") + NameOf(node) +
                      QStringLiteral("\rand ALL components of this category ?")))
        return;
    operations_.DeleteCategory(RowIdOf(node));
    tree_.RemoveNode(node);
}

bool TEditingCommands::FileStrayComponents() {
    // The tree holds every row of an existing category: when the counts agree, no row
    // is left out and nothing needs a walk.
    QTreeWidget* tree = tree_.Widget();
    int shown = 0;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        shown += tree->topLevelItem(i)->childCount();
    if (shown == module_.TableCPInfo->RecordCount())
        return false;
    const QString unfiled = QStringLiteral("Unfiled");
    const int filed = operations_.FileStrays(unfiled);
    if (filed == 0)
        return false;
    tree_.Load(module_);
    const QString notice = QStringLiteral("%1 component(s) whose category no longer exists were put into the "
                                          "category \"%2\".")
                               .arg(filed)
                               .arg(module_.TableCategory->FieldByName(fields::Name)->AsString());
    // Told once the window is on screen.
    QTimer::singleShot(0, window_, [notice] { ShowInfo(notice); });
    return true;
}

// ---------------------------------------------------------------------------------
// Components

void TEditingCommands::NewComponent() {
    QTreeWidgetItem* selected = tree_.SelectedNode();
    if (!selected) {
        ShowError(NoCategoryText());
        return;
    }
    QTreeWidgetItem* category = selected->parent() ? selected->parent() : selected;
    const TNewRow row = operations_.CreatePackage(RowIdOf(category), QString());
    tree_.AddComponentNode(selected, row.Name, row.Id);
    ChangeName();
}

void TEditingCommands::DeleteComponent(QTreeWidgetItem* node) {
    if (Settings().ConfirmDelete &&
        !ConfirmYesNo(QStringLiteral("Do you really want to delete the component: ") + NameOf(node) +
                      QStringLiteral(" ?")))
        return;
    // The row is the node's: not whichever row earlier work left current.
    operations_.DeletePackage(RowIdOf(node));
    tree_.RemoveNode(node);
}

void TEditingCommands::MoveComponent(QTreeWidgetItem* node) {
    const qint64 packageId = RowIdOf(node);
    const qint64 current = operations_.CategoryOfPackage(packageId);
    if (current < 0)
        return;
    auto dialog = std::make_unique<TFormMovetoCategory>(window_);
    dialog->SetComponentName(NameOf(node));
    // OK or Enter without a choice leaves the component where it is.
    dialog->SetCurrentCategory(int(current));
    if (dialog->exec() != QDialog::Accepted || dialog->SelectedCategoryID < 0)
        return;
    operations_.MovePackage(packageId, dialog->SelectedCategoryID);
    // The category's ID finds its node, whatever the names.
    if (QTreeWidgetItem* category = FindCategoryNode(tree_.Widget(), dialog->SelectedCategoryID))
        tree_.MoveComponentNode(node, category);
}

// ---------------------------------------------------------------------------------
// Commands on the selected node

void TEditingCommands::ChangeName() {
    if (QTreeWidgetItem* selected = tree_.SelectedNode())
        tree_.EditLabel(selected);
}

void TEditingCommands::LabelEdited(QTreeWidgetItem* node, const QString& editedText) {
    QString text = editedText;
    const bool component = node->parent() != nullptr;
    if (text.isEmpty()) {
        // Every node needs a label to be found and chosen by.
        ShowError(QStringLiteral("%1 must have names,\rso change from %2 to an empty name is not possible !")
                      .arg(component ? QStringLiteral("Components") : QStringLiteral("Categories"), NameOf(node)));
        text = NameOf(node);
    } else {
        try {
            text = component ? operations_.RenamePackage(RowIdOf(node), text)
                             : operations_.RenameCategory(RowIdOf(node), text);
        } catch (const EDatabaseError& error) {
            ReportDatabaseError(error, component ? kRenameComponent : kRenameCategory, NameOf(node), editedText);
            text = NameOf(node);
        }
    }
    node->setText(0, text);
    tree_.SortAfterRename(node);
}

void TEditingCommands::DeleteSelected() {
    QTreeWidgetItem* selected = tree_.SelectedNode();
    if (!selected)
        return;
    if (selected->parent())
        DeleteComponent(selected);
    else
        DeleteCategory(selected);
}

void TEditingCommands::MoveSelected() {
    QTreeWidgetItem* selected = tree_.SelectedNode();
    if (selected && selected->parent())
        MoveComponent(selected);
}

}  // namespace velm
