#include "app/splash_window.h"

#include <QCoreApplication>
#include <QFont>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QScreen>

namespace velm {

namespace {

qreal ScreenPixelRatio() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->devicePixelRatio() : 1.0;
}

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

TSplashWindow::TSplashWindow()
    : QSplashScreen(QGuiApplication::primaryScreen(), Picture(ScreenPixelRatio()),
                    Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("SplashWindow"));
    setFixedSize(kWidth, kHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(screen->geometry().center());
        move(frame.topLeft());
    }
}

void TSplashWindow::ShowAndPaint() {
    show();
    raise();
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

QPixmap TSplashWindow::Picture(qreal devicePixelRatio) {
    QPixmap pixmap(QSize(kWidth, kHeight) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRectF area(0, 0, kWidth, kHeight);

    // Deep teal into sage, the colours of the main window's panels.
    QLinearGradient background(area.topLeft(), area.bottomRight());
    background.setColorAt(0.0, QColor(0x1F, 0x4E, 0x4E));
    background.setColorAt(0.55, QColor(0x40, 0x80, 0x80));
    background.setColorAt(1.0, QColor(0x9D, 0xB4, 0x98));
    painter.fillRect(area, background);

    QRadialGradient glow(QPointF(kWidth * 0.78, kHeight * 0.18), kWidth * 0.6);
    glow.setColorAt(0.0, QColor(255, 255, 255, 70));
    glow.setColorAt(1.0, QColor(255, 255, 255, 0));
    painter.fillRect(area, glow);

    DrawEmblem(painter, QPointF(34, 46));

    QFont title(QStringLiteral("Times New Roman"));
    title.setPixelSize(50);
    title.setBold(true);
    painter.setFont(title);
    painter.setPen(QColor(0, 0, 0, 90));
    painter.drawText(QRectF(36, 132, kWidth - 60, 64), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Velmora"));
    painter.setPen(QColor(0xF4, 0xF8, 0xF0));
    painter.drawText(QRectF(34, 130, kWidth - 60, 64), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Velmora"));

    painter.setPen(QPen(QColor(0xF4, 0xF8, 0xF0, 160), 1));
    painter.drawLine(QPointF(36, 198), QPointF(kWidth - 36, 198));

    QFont subtitle(QStringLiteral("Arial"));
    subtitle.setPixelSize(15);
    painter.setFont(subtitle);
    painter.setPen(QColor(0xE4, 0xEE, 0xDF));
    painter.drawText(QRectF(36, 204, kWidth - 72, 24), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Component package catalogue"));

    painter.setPen(QPen(QColor(0x2F, 0x4F, 0x4A, 120), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area.adjusted(1, 1, -1, -1));
    return pixmap;
}

}  // namespace velm
