#include "kit/work_guard.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace velm {

namespace {

bool IsUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}

bool IsDrag(QEvent::Type type) {
    return type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::DragLeave ||
           type == QEvent::Drop;
}

}  // namespace

TWorkGuard::TWorkGuard(QWidget* window, QWidget* dropTarget)
    : QObject(window), window_(window), dropTarget_(dropTarget) {}

TWorkGuard::~TWorkGuard() {
    if (depth_ > 0 && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

bool TWorkGuard::Run(const std::function<void()>& work, const std::function<void()>& cancel) {
    if (Busy())
        return false;
    Begin();
    cancel_ = cancel;
    try {
        work();
    } catch (...) {
        End();
        throw;
    }
    End();
    return true;
}

void TWorkGuard::Begin() {
    // Input reaches a widget through the application, whichever child it is aimed at.
    if (depth_++ == 0) {
        if (QCoreApplication::instance())
            QCoreApplication::instance()->installEventFilter(this);
        if (window_)
            window_->setCursor(Qt::BusyCursor);
        emit busyChanged(true);
    }
}

void TWorkGuard::End() {
    if (depth_ == 0)
        return;
    if (depth_ == 1) {
        // Input that arrived while the work ran without a turn of the event loop (a long
        // parse, a commit) is still queued: it is taken and dropped now, while the guard
        // still holds, rather than acting on the window once the work is over.
        if (QCoreApplication::instance())
            QCoreApplication::processEvents();
    }
    if (--depth_ > 0)
        return;
    cancel_ = nullptr;
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
    if (window_)
        window_->unsetCursor();
    emit busyChanged(false);
    if (closeRequested_) {
        kept_.clear();
        // The close handling runs again with the work over, from the event loop, so the
        // work's callers have unwound before the window goes.
        if (window_)
            QTimer::singleShot(0, window_, [window = window_] {
                if (window)
                    window->close();
            });
        return;
    }
    ScheduleNextAction();
}

void TWorkGuard::AfterWork(std::function<void()> action) {
    if (closeRequested_)
        return;
    kept_.push_back(std::move(action));
    ScheduleNextAction();
}

void TWorkGuard::ScheduleNextAction() {
    if (actionScheduled_ || runningAction_ || Busy() || kept_.empty())
        return;
    actionScheduled_ = true;
    QTimer::singleShot(0, this, &TWorkGuard::RunNextAction);
}

void TWorkGuard::RunNextAction() {
    actionScheduled_ = false;
    if (Busy() || runningAction_ || kept_.empty() || closeRequested_)
        return;
    std::function<void()> action = std::move(kept_.front());
    kept_.pop_front();
    // One kept action at a time: an action may ask questions or start work of its own,
    // and the next one must not start inside it.
    runningAction_ = true;
    try {
        action();
    } catch (...) {
        runningAction_ = false;
        ScheduleNextAction();
        throw;
    }
    runningAction_ = false;
    ScheduleNextAction();
}

bool TWorkGuard::PostponeClose() {
    if (!Busy())
        return false;
    closeRequested_ = true;
    if (cancel_)
        cancel_();
    return true;
}

bool TWorkGuard::eventFilter(QObject* watched, QEvent* event) {
    if (depth_ == 0 || !window_ || !watched->isWidgetType())
        return QObject::eventFilter(watched, event);
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->window() != window_)
        return QObject::eventFilter(watched, event);
    const QEvent::Type type = event->type();
    // Drops on the tree are kept by the window for later; anywhere else (an edit of
    // the detail panel would take dropped text) they are refused.
    if (IsUserInput(type) || (IsDrag(type) && widget != dropTarget_)) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace velm
