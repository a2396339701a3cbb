#pragma once

#include <functional>

class QWidget;

namespace velm {

// Runs an action once, the first time the event loop is about to wait for events after
// the window is on screen and has been painted: the moment a user sees it ready. Used
// to time the start-up; the start-up benchmark's floor program uses the same watch, so
// both are measured to the same moment.
void WhenShownAndIdle(QWidget* window, std::function<void()> action);

}  // namespace velm
