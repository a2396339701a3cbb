// Tools > Index archive contents...: the command, its progress and the window that lists
// the archives it could not read. The reading and storing itself is the indexer's.
#include "browser/archive_index_command.h"

#include "app/messages.h"
#include "browser/work_guard.h"
#include "catalogue/data_module.h"
#include "import/outside_text.h"
#include "ui_FormIndexResults.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHeaderView>
#include <QLocale>
#include <QProgressDialog>
#include <QPushButton>

namespace velm {

namespace {

QString Count(qint64 value) { return QLocale().toString(value); }

QStringList SummaryLines(const TArchiveIndexRun& run) {
    if (run.Archives == 0)
        return {QStringLiteral("No component names an archive file.")};
    QStringList lines;
    if (run.Stopped)
        lines << QStringLiteral("Indexing was cancelled after %1 of %2 archive(s).")
                     .arg(Count(run.Read + run.Unchanged + qint64(run.Unread.size())), Count(run.Archives));
    lines << QStringLiteral("%1 archive(s) read, with %2 member(s); %3 archive(s) unchanged since they were last "
                            "indexed.")
                 .arg(Count(run.Read), Count(run.Members), Count(run.Unchanged));
    if (!run.Unread.empty())
        lines << QStringLiteral("%1 archive(s) could not be read.").arg(Count(qint64(run.Unread.size())));
    return lines;
}

}  // namespace

QString IndexRunSummary(const TArchiveIndexRun& run) { return SummaryLines(run).join(u'\r'); }

TFormIndexResults::TFormIndexResults(const TArchiveIndexRun& run, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::FormIndexResults>()) {
    ui_->setupUi(this);
    ui_->LabelSummary->setText(SummaryLines(run).join(u'\n'));
    QList<QTreeWidgetItem*> rows;
    rows.reserve(qsizetype(run.Unread.size()));
    for (const TUnreadArchive& unread : run.Unread)
        rows << new QTreeWidgetItem(QStringList{ShowableText(unread.ProductName),
                                                ShowableText(QDir::toNativeSeparators(unread.Path)),
                                                ShowableText(unread.Reason)});
    ui_->ListUnread->addTopLevelItems(rows);
    ui_->ListUnread->header()->resizeSection(0, 160);
    ui_->ListUnread->header()->resizeSection(1, 300);
    connect(ui_->BitBtnOK, &QPushButton::clicked, this, &QDialog::accept);
}

TFormIndexResults::~TFormIndexResults() = default;

QLabel* TFormIndexResults::LabelSummary() const { return ui_->LabelSummary; }
QTreeWidget* TFormIndexResults::ListUnread() const { return ui_->ListUnread; }
QPushButton* TFormIndexResults::BitBtnOK() const { return ui_->BitBtnOK; }

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
