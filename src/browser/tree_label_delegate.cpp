#include "browser/tree_label_delegate.h"

#include <QLineEdit>
#include <QTimer>
#include <QTreeWidget>

namespace velm {

TTreeLabelDelegate::TTreeLabelDelegate(QTreeWidget* tree, EditedHandler onEdited)
    : QStyledItemDelegate(tree), tree_(tree), onEdited_(std::move(onEdited)) {}

QWidget* TTreeLabelDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                         const QModelIndex& index) const {
    editor_ = QStyledItemDelegate::createEditor(parent, option, index);
    return editor_;
}

void TTreeLabelDelegate::EndEdit(bool accept) {
    QWidget* editor = editor_;
    if (!editor || !editor->isVisible())
        return;
    editor_ = nullptr;
    if (accept)
        emit commitData(editor);
    emit closeEditor(editor, accept ? QAbstractItemDelegate::SubmitModelCache : QAbstractItemDelegate::RevertModelCache);
}

void TTreeLabelDelegate::setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const {
    auto* line = qobject_cast<QLineEdit*>(editor);
    QTreeWidgetItem* node = tree_->itemFromIndex(index);
    if (!line || !node)
        return;
    // The edit ends here and now, before whatever ended it (a click on another node, a
    // command) goes on: a rename handled later would make its row current again under
    // a selection that has moved on.
    const bool typingInTree = line->hasFocus();
    onEdited_(node, line->text());
    // A refused rename shows a message box, which takes the focus from the editor; the
    // editor then goes without handing it back, and the window would give it to its next
    // control (the search field). Keys typed next belong to the tree.
    if (typingInTree && !line->hasFocus())
        QTimer::singleShot(0, tree_, [tree = tree_] { tree->setFocus(Qt::OtherFocusReason); });
}

}  // namespace velm
