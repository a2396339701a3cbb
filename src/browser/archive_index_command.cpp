#include "browser/archive_index_command.h"

#include "browser/form_index_results.h"
#include "catalogue/data_module.h"
#include "import/archive_indexer.h"
#include "import/outside_text.h"
#include "kit/messages.h"
#include "kit/work_guard.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QProgressDialog>

namespace velm {

namespace {

QString Count(qint64 value) { return QLocale().toString(value); }

}  // namespace

void IndexArchiveContents(QWidget* window, TWorkGuard& guard) {
    if (guard.Busy() || !DMvelm || !DMvelm->ArchiveIndex())
        return;
    TArchiveIndexRun run;
    // Closing the window meanwhile stops the run after the archive in hand.
    bool stopRequested = false;
    guard.Run(
        [&] {
            QProgressDialog progress(QString(), QStringLiteral("Cancel"), 0, 1, window);
            progress.setWindowTitle(QStringLiteral("Indexing archive contents"));
            progress.setWindowModality(Qt::WindowModal);
            progress.setMinimumDuration(0);
            progress.setAutoClose(false);
            progress.setAutoReset(false);
            progress.show();
            QElapsedTimer sinceRedraw;
            TArchiveIndexer indexer(*DMvelm->ArchiveIndex());
            run = indexer.Run([&](int done, int total, const QString& path) {
                if (!sinceRedraw.isValid() || sinceRedraw.elapsed() >= IndexProgressIntervalMs) {
                    progress.setMaximum(std::max(total, 1));
                    if (done < total)
                        progress.setLabelText(QStringLiteral("Reading %1 (%2 of %3)")
                                                  .arg(ShowableText(QFileInfo(path).fileName()), Count(done + 1),
                                                       Count(total)));
                    progress.setValue(done);
                    // The dialog runs the event loop itself only from its third value on;
                    // Cancel and a close must be heard from the first archive.
                    QCoreApplication::processEvents();
                    sinceRedraw.start();
                }
                return !stopRequested && !progress.wasCanceled();
            });
        },
        [&stopRequested] { stopRequested = true; });
    // A window that is closing is not kept open by a report.
    if (guard.CloseRequested())
        return;
    if (run.Unread.empty()) {
        ShowInfo(IndexRunSummary(run));
        return;
    }
    TFormIndexResults results(run, window);
    results.exec();
}

}  // namespace velm
