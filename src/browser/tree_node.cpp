#include "browser/tree_node.h"

namespace velm {

TTreeNode::TTreeNode(const QString& text, const QIcon& picture) : text_(text), picture_(picture) {}

QVariant TTreeNode::data(int column, int role) const {
    if (column == 0) {
        if (role == Qt::DisplayRole || role == Qt::EditRole)
            return text_;
        if (role == Qt::DecorationRole)
            return picture_.isNull() ? QVariant() : QVariant(picture_);
    }
    return QTreeWidgetItem::data(column, role);
}

void TTreeNode::setData(int column, int role, const QVariant& value) {
    if (column == 0 && (role == Qt::DisplayRole || role == Qt::EditRole)) {
        const QString text = value.toString();
        if (text == text_ && text.isNull() == text_.isNull())
            return;
        text_ = text;
    } else if (column == 0 && role == Qt::DecorationRole) {
        const QIcon picture = value.value<QIcon>();
        if (picture.cacheKey() == picture_.cacheKey())
            return;
        picture_ = picture;
    } else {
        QTreeWidgetItem::setData(column, role, value);
        return;
    }
    emitDataChanged();
}

}  // namespace velm
