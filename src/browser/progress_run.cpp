#include "browser/progress_run.h"

#include "import/outside_text.h"
#include "kit/work_guard.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QProgressDialog>

#include <algorithm>

namespace velm {

bool RunWithProgress(QWidget* parent, TWorkGuard& guard, const QString& title, const QString& verb,
                     const std::function<bool(const TStepProgress&)>& work) {
    bool finished = false;
    bool stopRequested = false;
    const bool ran = guard.Run(
        [&] {
            QProgressDialog progress(QString(), QStringLiteral("Cancel"), 0, 1, parent);
            progress.setWindowTitle(title);
            progress.setWindowModality(Qt::WindowModal);
            progress.setMinimumDuration(0);
            progress.setAutoClose(false);
            progress.setAutoReset(false);
            progress.show();
            QElapsedTimer sinceRedraw;
            finished = work([&](int done, int total, const QString& path) {
                if (!sinceRedraw.isValid() || sinceRedraw.elapsed() >= ProgressIntervalMs) {
                    progress.setMaximum(std::max(total, 1));
                    if (done < total)
                        progress.setLabelText(QStringLiteral("%1 %2 (%3 of %4)")
                                                  .arg(verb, ShowableText(QFileInfo(path).fileName()),
                                                       QLocale().toString(done + 1), QLocale().toString(total)));
                    progress.setValue(done);
                    // The dialog runs the event loop itself only from its third value on;
                    // Cancel and a close must be heard from the first file.
                    QCoreApplication::processEvents();
                    sinceRedraw.start();
                }
                return !stopRequested && !progress.wasCanceled();
            });
        },
        [&stopRequested] { stopRequested = true; });
    return ran && finished;
}

}  // namespace velm
