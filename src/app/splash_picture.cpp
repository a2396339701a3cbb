#include "app/splash_picture.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace velm {

namespace {

// Three stacked package boxes: the catalogue's emblem.
void DrawEmblem(QPainter& painter, const QPointF& origin) {
    const QColor fills[] = {QColor(0xD9, 0xE6, 0xD2), QColor(0xB7, 0xC7, 0xAD), QColor(0x9D, 0xB4, 0x98)};
    for (int i = 0; i < 3; ++i) {
        const QRectF box(origin.x() + i * 9, origin.y() + (2 - i) * 15, 46, 30);
        QPainterPath path;
        path.addRoundedRect(box, 4, 4);
        painter.fillPath(path, fills[i]);
        painter.setPen(QPen(QColor(0x2F, 0x4F, 0x4A), 1.2));
        painter.drawPath(path);
        painter.drawLine(QPointF(box.left() + 6, box.top() + 9), QPointF(box.right() - 6, box.top() + 9));
    }
}

}  // namespace

QImage DrawSplashPicture(qreal devicePixelRatio) {
    QImage image(QSize(kSplashWidth, kSplashHeight) * devicePixelRatio, QImage::Format_RGB32);
    image.setDevicePixelRatio(devicePixelRatio);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRectF area(0, 0, kSplashWidth, kSplashHeight);

    // Deep teal into sage, the colours of the main window's panels.
    QLinearGradient background(area.topLeft(), area.bottomRight());
    background.setColorAt(0.0, QColor(0x1F, 0x4E, 0x4E));
    background.setColorAt(0.55, QColor(0x40, 0x80, 0x80));
    background.setColorAt(1.0, QColor(0x9D, 0xB4, 0x98));
    painter.fillRect(area, background);

    QRadialGradient glow(QPointF(kSplashWidth * 0.78, kSplashHeight * 0.18), kSplashWidth * 0.6);
    glow.setColorAt(0.0, QColor(255, 255, 255, 70));
    glow.setColorAt(1.0, QColor(255, 255, 255, 0));
    painter.fillRect(area, glow);

    DrawEmblem(painter, QPointF(34, 46));

    QFont title(QStringLiteral("Times New Roman"));
    title.setPixelSize(50);
    title.setBold(true);
    painter.setFont(title);
    painter.setPen(QColor(0, 0, 0, 90));
    painter.drawText(QRectF(36, 132, kSplashWidth - 60, 64), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Velmora"));
    painter.setPen(QColor(0xF4, 0xF8, 0xF0));
    painter.drawText(QRectF(34, 130, kSplashWidth - 60, 64), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Velmora"));

    painter.setPen(QPen(QColor(0xF4, 0xF8, 0xF0, 160), 1));
    painter.drawLine(QPointF(36, 198), QPointF(kSplashWidth - 36, 198));

    QFont subtitle(QStringLiteral("Arial"));
    subtitle.setPixelSize(15);
    painter.setFont(subtitle);
    painter.setPen(QColor(0xE4, 0xEE, 0xDF));
    painter.drawText(QRectF(36, 204, kSplashWidth - 72, 24), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Component package catalogue"));

    painter.setPen(QPen(QColor(0x2F, 0x4F, 0x4A, 120), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area.adjusted(1, 1, -1, -1));
    painter.end();
    return image;
}

}  // namespace velm
