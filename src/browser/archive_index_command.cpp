#include "browser/archive_index_command.h"

#include "browser/form_index_results.h"
#include "browser/progress_run.h"
#include "catalogue/data_module.h"
#include "import/archive_indexer.h"
#include "kit/messages.h"
#include "kit/work_guard.h"

namespace velm {

void IndexArchiveContents(QWidget* window, TWorkGuard& guard) {
    if (guard.Busy() || !DMvelm || !DMvelm->ArchiveIndex())
        return;
    TArchiveIndexRun run;
    RunWithProgress(window, guard, QStringLiteral("Indexing archive contents"), QStringLiteral("Reading"),
                    [&](const TStepProgress& progress) {
                        run = TArchiveIndexer(*DMvelm->ArchiveIndex()).Run(progress);
                        return !run.Stopped;
                    });
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
