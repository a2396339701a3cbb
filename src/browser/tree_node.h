#pragma once

#include <QIcon>
#include <QString>
#include <QTreeWidgetItem>

namespace velm {

// A node of the category tree. It keeps its text and its picture in itself instead of in
// the item's general lists of roles: a tree of 100,000 packages would otherwise pay
// three allocations and some hundred bytes a node for a name and one of five shared
// pictures. text(), setText(), icon() and setIcon() work as on any item.
class TTreeNode : public QTreeWidgetItem {
public:
    TTreeNode(const QString& text, const QIcon& picture);

    QVariant data(int column, int role) const override;
    void setData(int column, int role, const QVariant& value) override;

private:
    QString text_;
    QIcon picture_;
};

}  // namespace velm
