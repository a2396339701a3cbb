#include "browser/pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <array>

namespace velm {

namespace {

QPixmap Blank(int w, int h) {
    QPixmap pixmap(w, h);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// A filing drawer seen from the front; open drawers show their pulled-out tray.
QPixmap Drawer(bool open) {
    QPixmap pixmap = Blank(16, 16);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0x5a, 0x3a, 0x10));
    p.setBrush(QColor(0xd8, 0xa8, 0x50));
    p.drawRect(QRectF(1.5, 3.5, 13, 11));
    if (open) {
        p.setBrush(QColor(0xf4, 0xd8, 0x90));
        p.drawRect(QRectF(0.5, 7.5, 15, 7));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(3.5, 5.5, 9, 3));
    } else {
        p.drawLine(QPointF(1.5, 9), QPointF(14.5, 9));
    }
    p.setBrush(QColor(0x5a, 0x3a, 0x10));
    p.drawRect(QRectF(6.5, open ? 10.5 : 5.5, 3, 1.5));
    return pixmap;
}

// A component: a small box, brighter when selected.
QPixmap Box(bool selected) {
    QPixmap pixmap = Blank(16, 16);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor face = selected ? QColor(0xf0, 0x70, 0x30) : QColor(0x40, 0x80, 0xc0);
    QPainterPath top;
    top.moveTo(8, 1.5);
    top.lineTo(14.5, 4.5);
    top.lineTo(8, 7.5);
    top.lineTo(1.5, 4.5);
    top.closeSubpath();
    p.setPen(QColor(0x20, 0x20, 0x30));
    p.setBrush(face.lighter(140));
    p.drawPath(top);
    QPainterPath left;
    left.moveTo(1.5, 4.5);
    left.lineTo(8, 7.5);
    left.lineTo(8, 14.5);
    left.lineTo(1.5, 11.5);
    left.closeSubpath();
    p.setBrush(face);
    p.drawPath(left);
    QPainterPath right;
    right.moveTo(14.5, 4.5);
    right.lineTo(8, 7.5);
    right.lineTo(8, 14.5);
    right.lineTo(14.5, 11.5);
    right.closeSubpath();
    p.setBrush(face.darker(130));
    p.drawPath(right);
    return pixmap;
}

}  // namespace

QIcon TreeImageIcon(int index) {
    static const std::array<QIcon, 5> icons = {QIcon(Drawer(false)), QIcon(Drawer(true)), QIcon(Blank(16, 16)),
                                               QIcon(Box(true)), QIcon(Box(false))};
    return icons.at(static_cast<size_t>(index < 0 || index > 4 ? kImageUnused : index));
}

QPixmap LogoPicture() {
    QPixmap pixmap(360, 270);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient sky(0, 0, 0, 270);
    sky.setColorAt(0, QColor(0x1e, 0x50, 0x5a));
    sky.setColorAt(1, QColor(0x8c, 0xb4, 0x9c));
    p.fillRect(pixmap.rect(), sky);
    // A stack of package boxes.
    for (int i = 0; i < 3; ++i) {
        const QRectF box(22 + i * 30, 150 - i * 26, 52, 40);
        p.setPen(QPen(QColor(0x10, 0x28, 0x30), 1.5));
        p.setBrush(QColor::fromHsv((30 + i * 70) % 360, 150, 230));
        p.drawRoundedRect(box, 4, 4);
        p.drawLine(box.center().x(), box.top(), box.center().x(), box.bottom());
    }
    QFont title(QStringLiteral("Times New Roman"));
    title.setPixelSize(46);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(0, 0, 0, 90));
    p.drawText(QRect(152, 72, 200, 60), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Velmora"));
    p.setPen(QColor(0xfa, 0xf4, 0xe0));
    p.drawText(QRect(150, 70, 200, 60), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Velmora"));
    QFont subtitle(QStringLiteral("Arial"));
    subtitle.setPixelSize(15);
    p.setFont(subtitle);
    p.drawText(QRect(150, 128, 200, 60), Qt::AlignLeft | Qt::TextWordWrap,
               QStringLiteral("Your catalogue of component packages"));
    p.setPen(QColor(0xfa, 0xf4, 0xe0, 200));
    p.drawText(QRect(20, 230, 320, 24), Qt::AlignCenter,
               QStringLiteral("Select a component in the tree to see its record"));
    return pixmap;
}

}  // namespace velm
