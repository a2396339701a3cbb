#include "report/report_work.h"

#include <QApplication>
#include <QLocale>
#include <QProgressDialog>


namespace velm {

namespace {

// How often the dialog is redrawn and the event loop run: every so many steps or
// milliseconds, whichever comes first, so Cancel answers quickly without the redraws
// costing the work its speed. The dialog shows itself at its first update after the
// start and lets events run only from the next one on, so a short run needs a few.
constexpr int kStepsPerTurn = 256;
constexpr qint64 kMsPerTurn = 100;

}  // namespace

TReportWork::TReportWork(QWidget* window, const QString& title, int total)
    : window_(window), title_(title), total_(std::max(total, 0)) {
    QWidget* over = QApplication::activeModalWidget();
    progress_ = std::make_unique<QProgressDialog>(QString(), QStringLiteral("Cancel"), 0, std::max(total_, 1),
                                                  over ? over : window);
    progress_->setWindowTitle(title_);
    progress_->setWindowModality(Qt::WindowModal);
    progress_->setMinimumDuration(0);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    Show(0);
}

TReportWork::~TReportWork() = default;

bool TReportWork::Step(int done) {
    if (done - shownDone_ >= kStepsPerTurn || sinceShown_.elapsed() >= kMsPerTurn)
        Show(done);
    return !progress_->wasCanceled();
}

bool TReportWork::Cancelled() const { return progress_->wasCanceled(); }

void TReportWork::Show(int done) {
    const QLocale locale;
    progress_->setLabelText(QStringLiteral("%1 of %2 components")
                                .arg(locale.toString(std::min(done, total_)), locale.toString(total_)));
    // A modal progress dialog lets the event loop run here.
    progress_->setValue(std::min(done, std::max(total_, 1)));
    shownDone_ = done;
    sinceShown_.start();
}

}  // namespace velm
