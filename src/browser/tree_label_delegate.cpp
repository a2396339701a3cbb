#include "browser/tree_label_delegate.h"

#include <QLineEdit>
#include <QTreeWidget>

namespace velm {

TTreeLabelDelegate::TTreeLabelDelegate(QTreeWidget* tree, EditedHandler onEdited)
    : QStyledItemDelegate(tree), tree_(tree), onEdited_(std::move(onEdited)) {}

void TTreeLabelDelegate::setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const {
    auto* line = qobject_cast<QLineEdit*>(editor);
    QTreeWidgetItem* node = tree_->itemFromIndex(index);
    if (!line || !node)
        return;
    // The edit ends here and now, before whatever ended it (a click on another node, a
    // command) goes on: a rename handled later would make its row current again under
    // a selection that has moved on.
    onEdited_(node, line->text());
}

}  // namespace velm
