#pragma once

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace velm::test {

// Answers the next modal dialog of type T once it is on screen: the answer runs inside
// the dialog's own event loop, the way a user's clicks would. Call it before the code
// that opens the dialog. It waits on the event loop, never on the clock, and gives up
// after a bounded number of turns so that a dialog that never opens cannot hang a test.
template <typename T>
void AnswerNextModal(std::function<void(T*)> answer, bool* answered = nullptr) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(0);
    auto turns = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, turns, answer = std::move(answer), answered] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        // A user answers once the dialog is on screen and has the keyboard.
        if (dialog && dialog->isVisible() && dialog->isActiveWindow()) {
            timer->stop();
            timer->deleteLater();
            if (answered)
                *answered = true;
            answer(dialog);
            return;
        }
        if (++*turns > 10000) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

}  // namespace velm::test
