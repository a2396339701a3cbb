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
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(QStringLiteral("Works with:"), this);
    layout->addWidget(label, 0, Qt::AlignTop);

    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("ListWorksWith"));
    list_->setFlow(QListView::LeftToRight);
    list_->setWrapping(true);
    list_->setResizeMode(QListView::Adjust);
    list_->setSpacing(2);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setToolTip(QStringLiteral("The IDE versions this component works with; point at one to see what shows it"));
    list_->setFixedHeight(3 * (list_->fontMetrics().height() + 8) + 2 * list_->frameWidth());
    layout->addWidget(list_, 1);

    auto* buttons = new QVBoxLayout;
    add_ = new QComboBox(this);
    add_->setObjectName(QStringLiteral("ComboAddWorksWith"));
    add_->addItem(QStringLiteral("Add a version..."));
    for (const IdeVersion& version : IdeVersions())
        add_->addItem(version.NameText(), version.CodeText());
    add_->setToolTip(QStringLiteral("Adds an IDE version this component works with"));
    buttons->addWidget(add_);
    remove_ = new QToolButton(this);
    remove_->setObjectName(QStringLiteral("ButtonRemoveWorksWith"));
    remove_->setText(QStringLiteral("Remove"));
    remove_->setToolTip(QStringLiteral("Removes the chosen version: the component does not work with it"));
    remove_->setEnabled(false);
    buttons->addWidget(remove_);
    buttons->addStretch();
    layout->addLayout(buttons);

    connect(add_, &QComboBox::activated, this, &TWorksWithLine::Add);
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

void TWorksWithLine::Add(int choice) {
    const QString ide = add_->itemData(choice).toString();
    add_->setCurrentIndex(0);
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
