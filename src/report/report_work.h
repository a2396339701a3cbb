#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QProgressDialog;
class QWidget;

namespace velm {

// The progress of long report work (printing, exporting): a window-modal dialog with
// Cancel, updated now and then. The work itself runs under the main window's work
// guard, which holds the window's input and a close until it has ended and refuses a
// second piece of work meanwhile.
class TReportWork : public QObject {
    Q_OBJECT
public:
    // window: the main window. The progress dialog goes over the modal dialog on screen
    // (a print preview, say) or else over the window. total: how many steps the work has.
    TReportWork(QWidget* window, const QString& title, int total);
    ~TReportWork() override;
    TReportWork(const TReportWork&) = delete;
    TReportWork& operator=(const TReportWork&) = delete;

    // Tells the dialog that `done` steps are finished, now and then letting the event
    // loop run (so Cancel can be pressed); false once the work was cancelled.
    bool Step(int done);
    bool Cancelled() const;

private:
    void Show(int done);

    QPointer<QWidget> window_;
    QString title_;
    int total_;
    std::unique_ptr<QProgressDialog> progress_;
    QElapsedTimer sinceShown_;
    int shownDone_ = 0;
};

}  // namespace velm
