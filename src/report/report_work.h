#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QProgressDialog;
class QWidget;

namespace velm {

// The one place where long report work (printing, exporting) meets the user: a
// window-modal progress dialog with Cancel, so the main window takes no input while the
// work lets the event loop run; the main window's close is held and carried out when
// the work ends; and no second piece of work starts while one runs.
class TReportWork : public QObject {
    Q_OBJECT
public:
    // Whether work is running now; a command that would start more does nothing then.
    static bool Running();

    // window: the main window, held for the work's length. The progress dialog goes
    // over the modal dialog on screen (a print preview, say) or else over the window.
    // total: how many steps the work has. Raises std::logic_error when work is running.
    TReportWork(QWidget* window, const QString& title, int total);
    ~TReportWork() override;
    TReportWork(const TReportWork&) = delete;
    TReportWork& operator=(const TReportWork&) = delete;

    // Tells the dialog that `done` steps are finished, now and then letting the event
    // loop run (so Cancel can be pressed); false once the user cancelled.
    bool Step(int done);
    bool Cancelled() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Show(int done);

    QPointer<QWidget> window_;
    QString title_;
    int total_;
    std::unique_ptr<QProgressDialog> progress_;
    QElapsedTimer sinceShown_;
    int shownDone_ = 0;
    bool closeHeld_ = false;
};

}  // namespace velm
