#include "browser/tree_node.h"

namespace velm {

TTreeNode::TTreeNode(const QString& text) : QTreeWidgetItem(QStringList{text}) {}

QVariant TTreeNode::data(int column, int role) const {
    if (column == 0 && role == Qt::DecorationRole)
        return picture_.isNull() ? QVariant() : QVariant(picture_);
    return QTreeWidgetItem::data(column, role);
}

void TTreeNode::setData(int column, int role, const QVariant& value) {
    if (column != 0 || role != Qt::DecorationRole) {
        QTreeWidgetItem::setData(column, role, value);
        return;
    }
    const QIcon picture = value.value<QIcon>();
    if (picture.cacheKey() == picture_.cacheKey())
        return;
    picture_ = picture;
    emitDataChanged();
}

}  // namespace velm
