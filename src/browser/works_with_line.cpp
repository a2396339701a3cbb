#include "browser/works_with_line.h"

#include "catalogue/archive_index.h"
#include "catalogue/data_module.h"
#include "catalogue/works_with.h"
#include "import/ide_versions.h"
#include "kit/messages.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QToolButton>

#include <algorithm>

namespace velm {

namespace {

constexpr int kCodeRole = Qt::UserRole;

// The versions in the order of the list of every one; codes it does not know last.
void SortByRelease(std::vector<TWorksWithVersion>& versions) {
    std::stable_sort(versions.begin(), versions.end(),
                     [](const auto& a, const auto& b) { return IdeVersionRank(a.Ide) < IdeVersionRank(b.Ide); });
}

QString HintOf(const TWorksWithVersion& version) {
    QStringList lines;
    if (version.Detected || version.FromInfoFile)
        lines = version.Evidence;
    if (version.FromInfoFile && version.Evidence.isEmpty())
        lines << QStringLiteral("the info file's compatibility flags");
    if (version.ByUser)
        lines << QStringLiteral("added by you");
    return lines.join(u'\n');
}

}  // namespace

TWorksWithLine::TWorksWithLine(TDMvelm& module, QWidget* parent) : QWidget(parent), module_(module) {
    setObjectName(QStringLiteral("WorksWithLine"));
    // The names are long and many: the list has the panel's whole width, the line above
    // it the controls that change it.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    auto* line = new QHBoxLayout;
    line->addWidget(new QLabel(QStringLiteral("Works with:"), this));
    line->addStretch();
    choice_ = new QComboBox(this);
    choice_->setObjectName(QStringLiteral("ComboWorksWith"));
    for (const IdeVersion& version : IdeVersions())
        choice_->addItem(version.NameText(), version.CodeText());
    choice_->setToolTip(QStringLiteral("An IDE version to add"));
    line->addWidget(choice_);
    add_ = new QToolButton(this);
    add_->setObjectName(QStringLiteral("ButtonAddWorksWith"));
    add_->setText(QStringLiteral("Add"));
    add_->setToolTip(QStringLiteral("Adds the version chosen beside it: the component works with it"));
    line->addWidget(add_);
    remove_ = new QToolButton(this);
    remove_->setObjectName(QStringLiteral("ButtonRemoveWorksWith"));
    remove_->setText(QStringLiteral("Remove"));
    remove_->setToolTip(QStringLiteral("Removes the version chosen in the list: the component does not work with it"));
    remove_->setEnabled(false);
    line->addWidget(remove_);
    layout->addLayout(line);

    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("ListWorksWith"));
    list_->setFlow(QListView::LeftToRight);
    list_->setWrapping(true);
    list_->setResizeMode(QListView::Adjust);
    list_->setSpacing(2);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setToolTip(QStringLiteral("The IDE versions this component works with; point at one to see what shows it"));
    list_->setFixedHeight(3 * (list_->fontMetrics().height() + 8) + 2 * list_->frameWidth());
    layout->addWidget(list_);

    connect(add_, &QToolButton::clicked, this, &TWorksWithLine::AddChosen);
    connect(remove_, &QToolButton::clicked, this, &TWorksWithLine::RemoveChosen);
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) { remove_->setEnabled(row >= 0); });
}

QString TWorksWithLine::ShownText(const QString& name, bool detected) {
    return detected ? name + QStringLiteral(" (detected)") : name;
}

void TWorksWithLine::ShowPackage(qint64 rowId) {
    rowId_ = rowId;
    list_->clear();
    TArchiveIndex* index = module_.ArchiveIndex();
    const bool usable = rowId != 0 && index && index->IsOpen();
    add_->setEnabled(usable);
    choice_->setEnabled(usable);
    remove_->setEnabled(false);
    if (!usable)
        return;
    std::vector<TWorksWithVersion> versions = TWorksWith(*index).Versions(rowId);
    SortByRelease(versions);
    for (const TWorksWithVersion& version : versions) {
        const IdeVersion* known = FindIdeVersion(version.Ide);
        auto* item = new QListWidgetItem(ShownText(known ? known->NameText() : version.Ide, version.Detected), list_);
        item->setData(kCodeRole, version.Ide);
        item->setToolTip(HintOf(version));
    }
}

void TWorksWithLine::AddChosen() {
    const QString ide = choice_->currentData().toString();
    if (!ide.isEmpty())
        Change(ide, true);
}

void TWorksWithLine::RemoveChosen() {
    const QListWidgetItem* item = list_->currentItem();
    if (item)
        Change(item->data(kCodeRole).toString(), false);
}

void TWorksWithLine::Change(const QString& ide, bool worksWith) {
    TArchiveIndex* index = module_.ArchiveIndex();
    if (rowId_ == 0 || !index || !index->IsOpen())
        return;
    try {
        TWorksWith(*index).SetByUser(rowId_, ide, worksWith);
    } catch (const std::exception& error) {
        ReportException(error);
    }
    ShowPackage(rowId_);
}

}  // namespace velm
