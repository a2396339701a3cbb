#include "widgets/title_strip_menu.h"

#include "kit/settings.h"

#include <QEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace velm {

namespace {

constexpr ColorRef kStartColour = 14286847;
constexpr ColorRef kEndColour = 12615808;
constexpr ColorRef kMaroon = 0x000080;

}  // namespace

TTitleStripMenu::TTitleStripMenu(QWidget* parent) : QMenu(parent) { ApplyMargins(); }

TTitleStripMenu::TTitleStripMenu(const QString& title, QWidget* parent) : QMenu(title, parent) { ApplyMargins(); }

QColor TTitleStripMenu::StripStartColor() { return ColorRefToQColor(kStartColour); }
QColor TTitleStripMenu::StripEndColor() { return ColorRefToQColor(kEndColour); }
QColor TTitleStripMenu::StripTextColor() { return ColorRefToQColor(kMaroon); }

void TTitleStripMenu::SetStripVisible(bool visible) {
    if (stripVisible_ == visible)
        return;
    stripVisible_ = visible;
    ApplyMargins();
    update();
}

void TTitleStripMenu::SetStripText(const QString& text) {
    stripText_ = text;
    update();
}

void TTitleStripMenu::ApplyMargins() {
    // The menu lays its items out inside its contents margins, so the strip's width is
    // reserved there and the size hint grows by it.
    QMargins margins = contentsMargins();
    margins.setLeft(stripVisible_ ? kStripWidth : 0);
    setContentsMargins(margins);
    // The menu keeps its item layout until its style changes; have it lay out again.
    QEvent relayout(QEvent::StyleChange);
    QMenu::changeEvent(&relayout);
}

QRect TTitleStripMenu::StripRect() const {
    if (!stripVisible_)
        return QRect();
    QStyleOption option;
    option.initFrom(this);
    const int frame = style()->pixelMetric(QStyle::PM_MenuPanelWidth, &option, this);
    return QRect(frame, frame, kStripWidth, height() - 2 * frame);
}

void TTitleStripMenu::paintEvent(QPaintEvent* event) {
    QMenu::paintEvent(event);
    const QRect strip = StripRect();
    if (strip.isEmpty())
        return;
    QPainter painter(this);
    QLinearGradient gradient(strip.topLeft(), strip.bottomLeft());
    gradient.setColorAt(0, StripStartColor());
    gradient.setColorAt(1, StripEndColor());
    painter.fillRect(strip, gradient);

    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(19);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(StripTextColor());
    // Turned a quarter left, the text reads upwards from the strip's lower end.
    painter.translate(strip.left(), strip.bottom() + 1);
    painter.rotate(-90);
    const QRect turned(6, 0, strip.height() - 6, strip.width());
    painter.drawText(turned, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, stripText_);
}

}  // namespace velm
