#pragma once

#include <QStyledItemDelegate>

namespace velm {

// Draws a text cell with the part that matched the search marked (bold on a light
// yellow ground), keeping that part in view when the text is wider than its column: the
// text before it is cut on the left, the text after it on the right. The match stands
// in the model's matchRole as a QPoint of start and length.
class TMatchDelegate : public QStyledItemDelegate {
public:
    TMatchDelegate(int matchRole, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    int matchRole_;
};

}  // namespace velm
