#include "browser/tree_node.h"

#include <QTreeWidget>

namespace velm {

TTreeNode::TTreeNode(const QString& text, const QIcon& picture, qint64 rowId)
    : QTreeWidgetItem(kType), text_(text), picture_(picture), rowId_(rowId) {}

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

qint64 RowIdOf(const QTreeWidgetItem* node) {
    return node && node->type() == TTreeNode::kType ? static_cast<const TTreeNode*>(node)->RowId() : 0;
}

QTreeWidgetItem* FindCategoryNode(QTreeWidget* tree, qint64 categoryId) {
    for (int i = 0; tree && i < tree->topLevelItemCount(); ++i)
        if (RowIdOf(tree->topLevelItem(i)) == categoryId)
            return tree->topLevelItem(i);
    return nullptr;
}

QTreeWidgetItem* FindComponentNode(QTreeWidget* tree, qint64 packageId) {
    for (int i = 0; tree && i < tree->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* category = tree->topLevelItem(i);
        for (int k = 0; k < category->childCount(); ++k)
            if (RowIdOf(category->child(k)) == packageId)
                return category->child(k);
    }
    return nullptr;
}

}  // namespace velm
