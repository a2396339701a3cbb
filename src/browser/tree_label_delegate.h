#pragma once

#include <QPointer>
#include <QStyledItemDelegate>

#include <functional>

class QTreeWidget;
class QTreeWidgetItem;

namespace velm {

// Hands an accepted in-place label edit (Enter, or the editor losing the focus) to the
// window at once instead of writing it into the node: the window decides the node's
// text after asking the tables. Escape never reaches here.
class TTreeLabelDelegate : public QStyledItemDelegate {
public:
    using EditedHandler = std::function<void(QTreeWidgetItem* node, const QString& text)>;
    TTreeLabelDelegate(QTreeWidget* tree, EditedHandler onEdited);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

    // Ends a label edit still open: accepted as Enter would, or dropped as Escape would.
    void EndEdit(bool accept);

private:
    QTreeWidget* tree_;
    EditedHandler onEdited_;
    mutable QPointer<QWidget> editor_;
};

}  // namespace velm
