#pragma once

#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>

class QEvent;
class QTreeWidget;
class QTreeWidgetItem;

namespace velm {

class TDMvelm;
class TTreeLabelDelegate;

// The category tree of the main window: one top-level node per category and one child
// node per package, each carrying its row's ID. It is built from the tables and kept in
// step by the commands, shows the drawer pictures, keeps a right click from selecting,
// and turns what the user sends it (keys, label edits, drops, the pop-up key) into
// requests that the window's commands answer.
class TCategoryTree : public QObject {
    Q_OBJECT
public:
    explicit TCategoryTree(QTreeWidget* tree, QObject* parent = nullptr);

    QTreeWidget* Widget() const { return tree_; }

    // Discards all nodes and builds the tree anew from the tables, collapsed, with no
    // node selected. A failure keeps the nodes read before it.
    void Load(TDMvelm& module);
    QTreeWidgetItem* AddCategoryNode(const QString& text, qint64 rowId);
    // Adds a component node under the anchor's category; the new node is selected.
    QTreeWidgetItem* AddComponentNode(QTreeWidgetItem* anchor, const QString& text, qint64 rowId);
    // Removes a node; its category's picture follows what is left in it.
    void RemoveNode(QTreeWidgetItem* node);
    // Puts a component node under another category node, selected there.
    void MoveComponentNode(QTreeWidgetItem* node, QTreeWidgetItem* category);
    bool IsEmpty() const;

    // The node the commands act on: the current node while it is shown as selected,
    // else none (a click on the tree's empty space selects nothing).
    QTreeWidgetItem* SelectedNode() const;
    // Selects the package's node, opening its category; none clears the selection.
    void SelectComponentNode(qint64 packageId);
    // The node a drop at the point goes to: the node when the point is on its icon,
    // label or right of its label, otherwise the tree's first node.
    QTreeWidgetItem* DropTargetAt(const QPoint& treePoint) const;

    void CollapseAll();
    void UnfoldAll();

    // Opens the node's label editor; EndLabelEdit ends one still open, accepted as
    // Enter would or dropped as Escape would.
    void EditLabel(QTreeWidgetItem* node);
    void EndLabelEdit(bool accept);
    // Sorts the renamed node among its siblings from the event loop, after the click
    // or key that ended the edit has done its work on the nodes as the user saw them.
    void SortAfterRename(QTreeWidgetItem* node);
    void SortAll();

signals:
    // The selected node changed (never while the tree is being built).
    void nodeChosen(QTreeWidgetItem* node);
    // Nodes were added or removed, or the tree was built anew.
    void nodesChanged();
    // An accepted label edit: the node's text is the command's to decide.
    void labelEdited(QTreeWidgetItem* node, const QString& text);
    void deleteKeyPressed();
    // Insert: a new component beside a selected component, else a new category.
    void insertKeyPressed(bool onComponent);
    // The pop-up menu is asked for at a point of the tree's viewport.
    void popupRequested(const QPoint& viewportPoint);
    // Files dropped on the tree, and the category that was under the pointer.
    void filesDropped(const QStringList& paths, qint64 categoryId);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CurrentChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    // A category shows the open drawer only while it is expanded and has components.
    static void UpdateCategoryImage(QTreeWidgetItem* category);
    bool KeyPress(QEvent* event);
    static bool RightClick(QEvent* event);
    bool DropEvent(QEvent* event);

    QTreeWidget* tree_;
    TTreeLabelDelegate* labelDelegate_ = nullptr;
    bool loading_ = false;
};

}  // namespace velm
