#pragma once

#include <QIcon>
#include <QTreeWidgetItem>

namespace velm {

// A node of the category tree. It keeps its picture in itself instead of in the item's
// general list of roles: a tree of 100,000 packages would otherwise pay two allocations
// and about a hundred bytes a node for what is one of five shared pictures.
class TTreeNode : public QTreeWidgetItem {
public:
    explicit TTreeNode(const QString& text);

    QVariant data(int column, int role) const override;
    void setData(int column, int role, const QVariant& value) override;

private:
    QIcon picture_;
};

}  // namespace velm
