#include "app/indexing_progress.h"

#include <QKeyEvent>
#include <QLocale>
#include <QProgressDialog>

#include <algorithm>
#include <climits>

namespace velm {

namespace {

// How often the shown dialog is redrawn: often enough to move, seldom enough to cost
// the work nothing.
constexpr qint64 kRedrawMs = 100;

}  // namespace

TIndexingProgress::TIndexingProgress(int showAfterMs) : showAfterMs_(showAfterMs) {}

TIndexingProgress::~TIndexingProgress() = default;

TIndexProgress TIndexingProgress::Callback() {
    return [this](qint64 done, qint64 total) { return Step(done, total); };
}

bool TIndexingProgress::Step(qint64 done, qint64 total) {
    if (!started_.isValid())
        started_.start();
    if (!dialog_) {
        // Work done within the grace time is never shown.
        if (done >= total || started_.elapsed() < showAfterMs_)
            return true;
        // No Cancel: without its texts indexed the search would miss what it should find.
        dialog_ = std::make_unique<QProgressDialog>(QString(), QString(), 0, 1);
        dialog_->setObjectName(QStringLiteral("IndexingProgress"));
        dialog_->setWindowTitle(QStringLiteral("Velmora"));
        dialog_->setWindowModality(Qt::ApplicationModal);
        dialog_->setMinimumDuration(0);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
        // Wide enough for the longest count, so that it does not grow as the count does.
        const QString longest = QStringLiteral("0,000,000 of 0,000,000 components");
        dialog_->setMinimumWidth(dialog_->fontMetrics().horizontalAdvance(longest) + 80);
        dialog_->installEventFilter(this);
        dialog_->show();
    } else if (done < total && sinceShown_.elapsed() < kRedrawMs) {
        return true;
    }
    const QLocale locale;
    dialog_->setLabelText(QStringLiteral("Indexing the catalogue...\n%1 of %2 components")
                              .arg(locale.toString(done), locale.toString(total)));
    dialog_->setMaximum(int(std::min<qint64>(total, INT_MAX)));
    // A modal progress dialog lets the event loop run here, so it is drawn.
    dialog_->setValue(int(std::min<qint64>(done, INT_MAX)));
    sinceShown_.start();
    return true;
}

bool TIndexingProgress::eventFilter(QObject* watched, QEvent* event) {
    // Escape or the close button would hide the only sign that the program is working.
    if (watched == dialog_.get()) {
        if (event->type() == QEvent::Close) {
            event->ignore();
            return true;
        }
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
            return true;
    }
    return false;
}

}  // namespace velm
