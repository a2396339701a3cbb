#include "browser/category_tree.h"

#include "browser/pictures.h"
#include "browser/tree_label_delegate.h"
#include "browser/tree_node.h"
#include "browser/tree_sort.h"
#include "catalogue/data_module.h"
#include "catalogue/field_names.h"
#include "catalogue/table.h"
#include "import/archive_paths.h"

#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

namespace velm {

namespace {

void SetImage(QTreeWidgetItem* node, int image) { node->setIcon(0, TreeImageIcon(image)); }

QTreeWidgetItem* NewNode(const QString& text, int image, qint64 rowId) {
    auto* node = new TTreeNode(text, TreeImageIcon(image), rowId);
    node->setFlags(node->flags() | Qt::ItemIsEditable);
    return node;
}

}  // namespace

TCategoryTree::TCategoryTree(QTreeWidget* tree, QObject* parent) : QObject(parent), tree_(tree) {
    QFont treeFont(QStringLiteral("Times New Roman"));
    treeFont.setPixelSize(15);
    tree_->setFont(treeFont);
    // Every row has the same font and picture size; telling the view so spares it
    // measuring all rows each time a node is added.
    tree_->setUniformRowHeights(true);
    connect(tree_, &QTreeWidget::currentItemChanged, this, &TCategoryTree::CurrentChanged);
    // An empty category has nothing to show open, whatever expanded it.
    connect(tree_, &QTreeWidget::itemExpanded, this, &TCategoryTree::UpdateCategoryImage);
    connect(tree_, &QTreeWidget::itemCollapsed, this, &TCategoryTree::UpdateCategoryImage);
    tree_->installEventFilter(this);
    tree_->viewport()->installEventFilter(this);
    labelDelegate_ = new TTreeLabelDelegate(
        tree_, [this](QTreeWidgetItem* node, const QString& text) { emit labelEdited(node, text); });
    tree_->setItemDelegate(labelDelegate_);
}

void TCategoryTree::CurrentChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
    // A component node shows its selected picture only while it is selected.
    if (previous && previous->parent())
        SetImage(previous, kImageComponent);
    if (current && current->parent())
        SetImage(current, kImageComponentSelected);
    // The node shown is the node selected: when the tree makes a neighbour current (the
    // selected node was removed), it is selected as well.
    if (current && !current->isSelected())
        current->setSelected(true);
    if (current)
        emit nodeChosen(current);
}

void TCategoryTree::Load(TDMvelm& module) {
    TTable& categories = *module.TableCategory;
    TTable& packages = *module.TableCPInfo;
    // Selection handling is held back until the tree is built: showing every component
    // on the way would cost one locate per row for nothing.
    loading_ = true;
    const QSignalBlocker blocker(tree_);
    tree_->clear();
    const bool wasFiltered = packages.Filtered();
    // The controls would follow every row of the walk; they hear one change at the end.
    const TControlsDisabled packagesHeld(packages);
    const TControlsDisabled categoriesHeld(categories);
    // Nodes are built apart from the tree and added in one go: a tree that is on screen
    // would lay itself out again for every node.
    QList<QTreeWidgetItem*> nodes;
    QList<QTreeWidgetItem*> children;
    try {
        for (categories.First(); !categories.Eof(); categories.Next()) {
            const qint64 categoryId = categories.FieldByName(fields::ID)->AsInteger();
            QTreeWidgetItem* category =
                NewNode(categories.FieldByName(fields::Name)->AsString(), kImageDrawerClosed, categoryId);
            nodes << category;
            packages.SetFilter(QStringLiteral("Category = %1").arg(categoryId));
            packages.SetFiltered(true);
            TField* name = packages.FieldByName(fields::ProductName);
            TField* id = packages.FieldByName(fields::ID);
            for (packages.First(); !packages.Eof(); packages.Next())
                children << NewNode(name->AsString(), kImageComponent, id->AsInteger());
            category->addChildren(children);
            children.clear();
            packages.SetFiltered(false);
        }
        tree_->addTopLevelItems(nodes);
    } catch (...) {
        // The tree keeps what was read before the failure.
        if (!nodes.isEmpty())
            nodes.last()->addChildren(children);
        tree_->addTopLevelItems(nodes);
        packages.SetFiltered(wasFiltered);
        loading_ = false;
        throw;
    }
    tree_->collapseAll();
    tree_->setCurrentItem(nullptr);
    loading_ = false;
    emit nodesChanged();
}

QTreeWidgetItem* TCategoryTree::AddCategoryNode(const QString& text, qint64 rowId) {
    QTreeWidgetItem* node = NewNode(text, kImageDrawerClosed, rowId);
    tree_->addTopLevelItem(node);
    emit nodesChanged();
    tree_->setCurrentItem(node);
    return node;
}

QTreeWidgetItem* TCategoryTree::AddComponentNode(QTreeWidgetItem* anchor, const QString& text, qint64 rowId) {
    QTreeWidgetItem* category = anchor && anchor->parent() ? anchor->parent() : anchor;
    QTreeWidgetItem* node = NewNode(text, kImageComponent, rowId);
    category->addChild(node);
    tree_->setCurrentItem(node);
    return node;
}

void TCategoryTree::RemoveNode(QTreeWidgetItem* node) {
    QTreeWidgetItem* category = node->parent();
    delete node;
    UpdateCategoryImage(category);
    emit nodesChanged();
}

void TCategoryTree::MoveComponentNode(QTreeWidgetItem* node, QTreeWidgetItem* category) {
    const QString text = node->text(0);
    const qint64 rowId = RowIdOf(node);
    RemoveNode(node);
    AddComponentNode(category, text, rowId);
}

bool TCategoryTree::IsEmpty() const { return tree_->topLevelItemCount() == 0; }

QTreeWidgetItem* TCategoryTree::SelectedNode() const {
    QTreeWidgetItem* node = tree_->currentItem();
    return node && node->isSelected() ? node : nullptr;
}

void TCategoryTree::SelectComponentNode(qint64 packageId) {
    QTreeWidgetItem* node = FindComponentNode(tree_, packageId);
    if (!node) {
        tree_->setCurrentItem(nullptr);
        tree_->clearSelection();
        return;
    }
    // A package node is revealed by opening its category, as a user would.
    if (node->parent() && !node->parent()->isExpanded())
        node->parent()->setExpanded(true);
    tree_->setCurrentItem(node);
    tree_->scrollToItem(node);
}

QTreeWidgetItem* TCategoryTree::DropTargetAt(const QPoint& treePoint) const {
    QTreeWidgetItem* node = tree_->itemAt(treePoint);
    // The item's rectangle starts at its icon: the indentation and the expand button
    // lie to its left.
    if (node && treePoint.x() >= tree_->visualItemRect(node).left())
        return node;
    return tree_->topLevelItem(0);
}

void TCategoryTree::CollapseAll() {
    QTreeWidgetItem* selected = tree_->currentItem();
    // Folding the whole tree tells no node it was collapsed: the pictures follow here.
    tree_->collapseAll();
    for (int i = 0; i < tree_->topLevelItemCount(); ++i)
        UpdateCategoryImage(tree_->topLevelItem(i));
    // A hidden component cannot stay selected: its category takes over and shows the logo.
    if (selected && selected->parent())
        tree_->setCurrentItem(selected->parent());
}

void TCategoryTree::UnfoldAll() {
    tree_->expandAll();
    for (int i = 0; i < tree_->topLevelItemCount(); ++i)
        UpdateCategoryImage(tree_->topLevelItem(i));
}

void TCategoryTree::UpdateCategoryImage(QTreeWidgetItem* category) {
    if (category && !category->parent())
        SetImage(category, category->isExpanded() && category->childCount() > 0 ? kImageDrawerOpen : kImageDrawerClosed);
}

void TCategoryTree::EditLabel(QTreeWidgetItem* node) { tree_->editItem(node, 0); }

void TCategoryTree::EndLabelEdit(bool accept) { labelDelegate_->EndEdit(accept); }

void TCategoryTree::SortAfterRename(QTreeWidgetItem* node) {
    QTreeWidget* tree = tree_;
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

void TCategoryTree::SortAll() { SortWholeTree(tree_); }

bool TCategoryTree::eventFilter(QObject* watched, QEvent* event) {
    // A key the label editor did not use travels on to the tree; it belongs to the
    // editor all the same, so only keys typed into the tree itself are the tree's.
    if (watched == tree_ && event->type() == QEvent::KeyPress && tree_->hasFocus())
        return KeyPress(event);
    if (watched == tree_->viewport())
        return RightClick(event) || DropEvent(event);
    return false;
}

bool TCategoryTree::KeyPress(QEvent* event) {
    const auto* key = static_cast<QKeyEvent*>(event);
    // Shift+F10 is the keyboard's right click: the pop-up menu, at the selected node.
    if (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier) {
        const QTreeWidgetItem* selected = SelectedNode();
        emit popupRequested(selected ? tree_->visualItemRect(selected).center() : QPoint());
        return true;
    }
    if (key->key() == Qt::Key_Delete)
        emit deleteKeyPressed();
    else if (key->key() == Qt::Key_Insert && SelectedNode())
        emit insertKeyPressed(SelectedNode()->parent() != nullptr);
    return false;
}

bool TCategoryTree::RightClick(QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease && type != QEvent::MouseButtonDblClick)
        return false;
    // A right click opens the pop-up menu (the context-menu event that follows it) and
    // selects nothing: the commands act on the selected node, not the one under it.
    return static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
}

bool TCategoryTree::DropEvent(QEvent* event) {
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
        const qint64 category = node ? RowIdOf(node->parent() ? node->parent() : node) : 0;
        // The drop is released at once; what it asks for follows from the event loop,
        // so the program the files came from is not held up.
        drop->acceptProposedAction();
        emit filesDropped(paths, category);
        return true;
    }
    default:
        return false;
    }
}

}  // namespace velm
