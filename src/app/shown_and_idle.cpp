#include "app/shown_and_idle.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

namespace velm {

namespace {

class ShownAndIdleWatch : public QObject {
public:
    ShownAndIdleWatch(QWidget* window, std::function<void()> action)
        : QObject(window), window_(window), action_(std::move(action)) {
        // Any widget of the window may be the first to paint, so the watch listens to all
        // of them; it lets go as soon as it has seen a paint.
        QCoreApplication::instance()->installEventFilter(this);
        connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
                &ShownAndIdleWatch::EventLoopAboutToWait);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == window_) {
            painted_ = true;
            QCoreApplication::instance()->removeEventFilter(this);
        }
        return false;
    }

private:
    void EventLoopAboutToWait() {
        const QWindow* handle = window_->windowHandle();
        if (!painted_ || !handle || !handle->isExposed())
            return;
        disconnect(QAbstractEventDispatcher::instance(), nullptr, this, nullptr);
        const std::function<void()> action = std::move(action_);
        deleteLater();
        action();
    }

    QWidget* window_;
    std::function<void()> action_;
    bool painted_ = false;
};

}  // namespace

void WhenShownAndIdle(QWidget* window, std::function<void()> action) {
    new ShownAndIdleWatch(window, std::move(action));
}

}  // namespace velm
