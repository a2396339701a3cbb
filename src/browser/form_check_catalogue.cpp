#include "browser/form_check_catalogue.h"

#include "import/outside_text.h"
#include "report/list_report.h"
#include "ui_form_check_catalogue.h"

#include <QDir>
#include <QHeaderView>
#include <QLocale>
#include <QPushButton>

#include <algorithm>
#include <iterator>
#include <map>

namespace velm {

namespace {

QString Count(qint64 value) { return QLocale().toString(value); }

enum Column { ColComponent, ColCategory, ColArchive, ColState, ColDetail, ColCount };

// Sorted by the State column, the worst state comes first; by any other, as text.
class CheckItem : public QTreeWidgetItem {
public:
    CheckItem(const TCheckedPackage& package)
        : QTreeWidgetItem(QStringList{ShowableText(package.ProductName), ShowableText(package.CategoryName),
                                      ShowableText(QDir::toNativeSeparators(package.ArchivePath)),
                                      ArchiveStateText(package.Check.State), ShowableText(package.Check.Detail)}),
          rank_(-int(package.Check.State)) {
        setData(ColComponent, Qt::UserRole, package.PackageId);
    }
    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget() ? treeWidget()->sortColumn() : ColComponent;
        if (column == ColState) {
            const int otherRank = static_cast<const CheckItem&>(other).rank_;
            if (rank_ != otherRank)
                return rank_ < otherRank;
            return text(ColComponent).compare(other.text(ColComponent), Qt::CaseInsensitive) < 0;
        }
        return text(column).compare(other.text(column), Qt::CaseInsensitive) < 0;
    }

private:
    int rank_;
};

}  // namespace

QString CheckRunSummary(const TCatalogueCheckRun& run, QChar separator) {
    if (run.Archives == 0)
        return QStringLiteral("No component names an archive file.");
    std::map<TArchiveState, qint64> counts;
    for (const TCheckedPackage& package : run.Packages)
        ++counts[package.Check.State];
    QStringList lines;
    if (run.Stopped)
        lines << QStringLiteral("The check was cancelled after %1 of %2 archive(s).")
                     .arg(Count(qint64(run.Packages.size())), Count(run.Archives));
    lines << QStringLiteral("%1 archive(s) checked: %2 ok, %3 changed, %4 damaged, %5 missing.")
                 .arg(Count(qint64(run.Packages.size())), Count(counts[TArchiveState::Ok]),
                      Count(counts[TArchiveState::Changed]), Count(counts[TArchiveState::Damaged]),
                      Count(counts[TArchiveState::Missing]));
    return lines.join(separator);
}

TFormCheckCatalogue::TFormCheckCatalogue(const TCatalogueCheckRun& run, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::FormCheckCatalogue>()), run_(run) {
    ui_->setupUi(this);
    ui_->ListCheck->header()->resizeSection(ColComponent, 140);
    ui_->ListCheck->header()->resizeSection(ColCategory, 110);
    ui_->ListCheck->header()->resizeSection(ColArchive, 260);
    ui_->ListCheck->header()->resizeSection(ColState, 70);
    ShowRun();
    ui_->ListCheck->sortByColumn(ColState, Qt::AscendingOrder);
    connect(ui_->BitBtnFindMoved, &QPushButton::clicked, this, [this] {
        if (OnFindMoved)
            OnFindMoved();
    });
    connect(ui_->BitBtnNotCatalogued, &QPushButton::clicked, this, [this] {
        if (OnNotCatalogued)
            OnNotCatalogued();
    });
    connect(ui_->BitBtnPrint, &QPushButton::clicked, this, [this] { PrintListReport(this, ShownList()); });
    connect(ui_->BitBtnExport, &QPushButton::clicked, this, [this] { ExportListReport(this, ShownList()); });
    connect(ui_->BitBtnClose, &QPushButton::clicked, this, &QDialog::accept);
}

TFormCheckCatalogue::~TFormCheckCatalogue() = default;

void TFormCheckCatalogue::ShowRun() {
    ui_->LabelSummary->setText(CheckRunSummary(run_, u'\n'));
    QTreeWidget* list = ui_->ListCheck;
    const bool sorting = list->isSortingEnabled();
    list->setSortingEnabled(false);
    list->clear();
    QList<QTreeWidgetItem*> rows;
    rows.reserve(qsizetype(run_.Packages.size()));
    for (const TCheckedPackage& package : run_.Packages)
        rows << new CheckItem(package);
    list->addTopLevelItems(rows);
    list->setSortingEnabled(sorting);
    ui_->BitBtnFindMoved->setEnabled(!Missing().empty());
}

void TFormCheckCatalogue::Update(const std::vector<TCheckedPackage>& checked) {
    for (const TCheckedPackage& again : checked)
        for (TCheckedPackage& package : run_.Packages)
            if (package.PackageId == again.PackageId)
                package = again;
    ShowRun();
}

std::vector<TCheckedPackage> TFormCheckCatalogue::Missing() const {
    std::vector<TCheckedPackage> missing;
    std::copy_if(run_.Packages.begin(), run_.Packages.end(), std::back_inserter(missing),
                 [](const TCheckedPackage& package) { return package.Check.State == TArchiveState::Missing; });
    return missing;
}

TListReport TFormCheckCatalogue::ShownList() const {
    TListReport report;
    report.Title = windowTitle();
    const QTreeWidgetItem* heading = ui_->ListCheck->headerItem();
    for (int c = 0; c < ColCount; ++c)
        report.Columns << heading->text(c);
    for (int i = 0; i < ui_->ListCheck->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = ui_->ListCheck->topLevelItem(i);
        QStringList texts;
        for (int c = 0; c < ColCount; ++c)
            texts << item->text(c);
        report.Rows.push_back(texts);
    }
    return report;
}

QLabel* TFormCheckCatalogue::LabelSummary() const { return ui_->LabelSummary; }
QTreeWidget* TFormCheckCatalogue::ListCheck() const { return ui_->ListCheck; }
QPushButton* TFormCheckCatalogue::BitBtnFindMoved() const { return ui_->BitBtnFindMoved; }
QPushButton* TFormCheckCatalogue::BitBtnNotCatalogued() const { return ui_->BitBtnNotCatalogued; }
QPushButton* TFormCheckCatalogue::BitBtnPrint() const { return ui_->BitBtnPrint; }
QPushButton* TFormCheckCatalogue::BitBtnExport() const { return ui_->BitBtnExport; }
QPushButton* TFormCheckCatalogue::BitBtnClose() const { return ui_->BitBtnClose; }

}  // namespace velm
