#include "kit/window_fit.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMargins>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace velm {

namespace {

QMargins Decoration(const QWidget* widget) {
    const QWindow* handle = widget ? widget->window()->windowHandle() : nullptr;
    return handle && widget->window()->isVisible() ? handle->frameMargins() : QMargins();
}

// The frame the window system will draw around the window. Before a window is first
// shown its frame is unknown; a window on screen has the same kind of frame.
QMargins FrameOf(const QWidget* window) {
    QMargins frame = Decoration(window);
    if (frame.isNull())
        frame = Decoration(QApplication::activeWindow());
    if (frame.isNull()) {
        const int title = window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
        frame = QMargins(4, title + 4, 4, 4);
    }
    return frame;
}

}  // namespace

QScreen* ScreenFor(const QWidget* owner) {
    if (owner && owner->window()->screen())
        return owner->window()->screen();
    return QGuiApplication::primaryScreen();
}

void FitToScreen(QWidget* window, QScreen* screen, const QPoint& topLeft) {
    if (!screen)
        return;
    const QRect inner = screen->availableGeometry().marginsRemoved(FrameOf(window));
    window->setScreen(screen);
    const QSize size = window->size().boundedTo(inner.size()).expandedTo(window->minimumSize());
    const int x = std::clamp(topLeft.x(), inner.left(), std::max(inner.left(), inner.right() + 1 - size.width()));
    const int y = std::clamp(topLeft.y(), inner.top(), std::max(inner.top(), inner.bottom() + 1 - size.height()));
    window->setGeometry(QRect(QPoint(x, y), size));
}

void FitToScreen(QWidget* window, QScreen* screen) { FitToScreen(window, screen, window->geometry().topLeft()); }

void CentreOnScreen(QWidget* window, QScreen* screen) {
    if (!screen)
        return;
    const QRect inner = screen->availableGeometry().marginsRemoved(FrameOf(window));
    const QSize size = window->size().boundedTo(inner.size());
    FitToScreen(window, screen, inner.center() - QPoint(size.width() / 2, size.height() / 2));
}

QScreen* ScreenHolding(const QRect& rect) {
    QScreen* best = nullptr;
    qint64 bestArea = 0;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect common = screen->availableGeometry().intersected(rect);
        const qint64 area = qint64(common.width()) * common.height();
        if (area > bestArea) {
            best = screen;
            bestArea = area;
        }
    }
    return best;
}

}  // namespace velm
