#include "browser/match_delegate.h"

#include <QApplication>
#include <QPainter>

namespace velm {

namespace {

// Readable under any row colour, selected or not.
const QColor kMarkGround(0xff, 0xe0, 0x80);
const QColor kMarkText(0x20, 0x20, 0x20);

QFont Bold(QFont font) {
    font.setBold(true);
    return font;
}

}  // namespace

TMatchDelegate::TMatchDelegate(int matchRole, QObject* parent) : QStyledItemDelegate(parent), matchRole_(matchRole) {}

void TMatchDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    const QString text = cell.text;
    const QPoint match = index.data(matchRole_).toPoint();
    const int start = std::clamp(match.x(), 0, int(text.size()));
    const int length = std::clamp(match.y(), 0, int(text.size()) - start);
    // The style draws the ground, the selection and the focus; the text is drawn here.
    cell.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);

    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect room = style->subElementRect(QStyle::SE_ItemViewItemText, &cell, widget).adjusted(margin, 0, -margin, 0);
    if (room.width() <= 0)
        return;
    const QFont markFont = Bold(cell.font);
    const QFontMetrics plain(cell.font);
    const QFontMetrics marked(markFont);
    QString before = text.left(start);
    QString hit = text.mid(start, length);
    const QString after = text.mid(start + length);
    int hitWidth = marked.horizontalAdvance(hit);
    if (hitWidth > room.width()) {
        hit = marked.elidedText(hit, Qt::ElideRight, room.width());
        hitWidth = marked.horizontalAdvance(hit);
    }
    if (plain.horizontalAdvance(before) + hitWidth > room.width())
        before = plain.elidedText(before, Qt::ElideLeft, room.width() - hitWidth);

    painter->save();
    painter->setClipRect(room);
    const bool selected = cell.state & QStyle::State_Selected;
    const QColor textColour = cell.palette.color(cell.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled,
                                                 selected ? QPalette::HighlightedText : QPalette::Text);
    QRect part = room;
    painter->setFont(cell.font);
    painter->setPen(textColour);
    painter->drawText(part, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, before);
    part.setLeft(part.left() + plain.horizontalAdvance(before));
    if (!hit.isEmpty()) {
        const int height = marked.height();
        painter->fillRect(QRect(part.left(), room.center().y() - height / 2, hitWidth, height), kMarkGround);
        painter->setFont(markFont);
        painter->setPen(kMarkText);
        painter->drawText(part, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, hit);
        part.setLeft(part.left() + hitWidth);
    }
    if (part.width() > 0) {
        painter->setFont(cell.font);
        painter->setPen(textColour);
        painter->drawText(part, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          plain.elidedText(after, Qt::ElideRight, part.width()));
    }
    painter->restore();
}

QSize TMatchDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    // The marked part is bold, a little wider than the plain text the style measures.
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const QPoint match = index.data(matchRole_).toPoint();
    const QString hit = index.data(Qt::DisplayRole).toString().mid(match.x(), match.y());
    size.rwidth() += QFontMetrics(Bold(option.font)).horizontalAdvance(hit) - option.fontMetrics.horizontalAdvance(hit);
    return size;
}

}  // namespace velm
