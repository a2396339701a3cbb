#pragma once

#include <QIcon>
#include <QString>
#include <QTreeWidgetItem>

class QTreeWidget;

namespace velm {

// A node of the category tree. It keeps its text and its picture in itself instead of in
// the item's general lists of roles: a tree of 100,000 packages would otherwise pay
// three allocations and some hundred bytes a node for a name and one of five shared
// pictures. text(), setText(), icon() and setIcon() work as on any item.
//
// It also keeps the ID of the row it stands for (a category's at the top level, a
// package's below it): names may repeat in another letter case or be empty in a
// catalogue another tool wrote, IDs never do, so every command finds the node's row by it.
class TTreeNode : public QTreeWidgetItem {
public:
    static constexpr int kType = QTreeWidgetItem::UserType + 1;

    TTreeNode(const QString& text, const QIcon& picture, qint64 rowId);

    qint64 RowId() const { return rowId_; }

    QVariant data(int column, int role) const override;
    void setData(int column, int role, const QVariant& value) override;

private:
    QString text_;
    QIcon picture_;
    qint64 rowId_;
};

// The row ID of a node; 0 for none.
qint64 RowIdOf(const QTreeWidgetItem* node);
// The top-level node of that category row, or the component node of that package row;
// null when the tree has none.
QTreeWidgetItem* FindCategoryNode(QTreeWidget* tree, qint64 categoryId);
QTreeWidgetItem* FindComponentNode(QTreeWidget* tree, qint64 packageId);

}  // namespace velm
