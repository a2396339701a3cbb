#include "browser/form_index_results.h"

#include "import/archive_indexer.h"
#include "import/outside_text.h"
#include "ui_form_index_results.h"

#include <QDir>
#include <QHeaderView>
#include <QLocale>
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

QString IndexRunSummary(const TArchiveIndexRun& run, QChar separator) { return SummaryLines(run).join(separator); }

TFormIndexResults::TFormIndexResults(const TArchiveIndexRun& run, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::FormIndexResults>()) {
    ui_->setupUi(this);
    ui_->LabelSummary->setText(IndexRunSummary(run, u'\n'));
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

}  // namespace velm
