#pragma once

#include <QObject>
#include <QPointer>

#include <deque>
#include <functional>

class QWidget;

namespace velm {

// The one guard for work on the main window that lets the event loop run while it
// works: an extraction, an import of one or many archives, a search scan, a print or an
// export. While guarded work runs:
// - the user's mouse, key, wheel and context-menu input to the window is dropped, so
//   nothing the user does meanwhile can move or edit the rows under the work; other
//   windows (the work's own progress dialog with its Cancel, a question it asks) get
//   their input as usual;
// - files dropped on the window are accepted and kept; they are imported, one drop
//   after another, once the work has ended;
// - closing the window waits: the work is asked to stop early where it can, and the
//   window closes as soon as the work has ended;
// - new guarded work is refused, so guarded work never runs nested.
class TWorkGuard : public QObject {
    Q_OBJECT
public:
    // dropTarget is the one widget of the window where drops are kept rather than dropped.
    TWorkGuard(QWidget* window, QWidget* dropTarget);
    ~TWorkGuard() override;

    bool Busy() const { return depth_ > 0; }

    // Runs the work under the guard and returns true; returns false at once, running
    // nothing, while other guarded work runs. cancel, when given, is called if the
    // window is asked to close meanwhile; the work then ends as soon as it can.
    // Exceptions of the work pass through, with the guard released.
    bool Run(const std::function<void()>& work, const std::function<void()>& cancel = {});

    // Runs the action from the event loop once no guarded work runs: at once when idle,
    // otherwise after the work (and the actions kept before it) have ended. Actions
    // kept while the window is closing are dropped.
    void AfterWork(std::function<void()> action);

    // Called by the window's close handling: true when the close must wait for the
    // work, which has been asked to stop; the window is closed again when it ends.
    bool PostponeClose();
    bool CloseRequested() const { return closeRequested_; }

signals:
    void busyChanged(bool busy);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Begin();
    void End();
    void ScheduleNextAction();
    void RunNextAction();

    QPointer<QWidget> window_;
    QPointer<QWidget> dropTarget_;
    int depth_ = 0;
    std::function<void()> cancel_;
    std::deque<std::function<void()>> kept_;
    bool actionScheduled_ = false;
    bool runningAction_ = false;
    bool closeRequested_ = false;
};

}  // namespace velm
