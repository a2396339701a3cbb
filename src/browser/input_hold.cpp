#include "browser/input_hold.h"

#include <QCoreApplication>
#include <QEvent>
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
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
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

}  // namespace

TInputHold::TInputHold(QWidget* window) : QObject(window), window_(window) {}

TInputHold::~TInputHold() {
    if (depth_ > 0 && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

void TInputHold::Hold() {
    // Input reaches a widget through the application, whichever child it is aimed at.
    if (depth_++ == 0 && QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
}

void TInputHold::Release() {
    if (depth_ > 0 && --depth_ == 0 && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

bool TInputHold::eventFilter(QObject* watched, QEvent* event) {
    if (depth_ > 0 && window_ && watched->isWidgetType() && IsUserInput(event->type()) &&
        static_cast<QWidget*>(watched)->window() == window_) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace velm
