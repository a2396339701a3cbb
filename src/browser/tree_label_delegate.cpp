#include "browser/tree_label_delegate.h"

#include <QLineEdit>
#include <QTimer>
#include <QTreeWidget>

namespace velm {

TTreeLabelDelegate::TTreeLabelDelegate(QTreeWidget* tree, EditedHandler onEdited)
    : QStyledItemDelegate(tree), tree_(tree), onEdited_(std::move(onEdited)) {}

void TTreeLabelDelegate::setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const {
    auto* line = qobject_cast<QLineEdit*>(editor);
    QTreeWidgetItem* node = tree_->itemFromIndex(index);
    if (!line || !node)
        return;
    // The handler may show message boxes and re-sort the tree; let the editor close first.
    const QString text = line->text();
    QTreeWidget* tree = tree_;
    EditedHandler handler = onEdited_;
    QTimer::singleShot(0, tree, [tree, node, text, handler] {
        // The node may have been removed meanwhile.
        for (QTreeWidgetItemIterator it(tree); *it; ++it)
            if (*it == node) {
                handler(node, text);
                return;
            }
    });
}

}  // namespace velm
