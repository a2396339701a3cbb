#include "browser/form_find_duplicates.h"

#include "browser/category_tree.h"
#include "browser/tree_node.h"
#include "catalogue/catalogue_operations.h"
#include "catalogue/data_module.h"
#include "catalogue/duplicate_packages.h"
#include "import/outside_text.h"
#include "kit/messages.h"
#include "kit/work_guard.h"
#include "ui_form_find_duplicates.h"

#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>

#include <set>
#include <vector>

namespace velm {

namespace {

// The package ID a component row holds; the group and set rows hold none.
constexpr int kPackageIdRole = Qt::UserRole;

QString Count(qint64 value) { return QLocale().toString(value); }

// More names than this would make the question taller than a screen.
constexpr int kNamesAsked = 10;

QTreeWidgetItem* PackageItem(const TCataloguedPackage& package) {
    auto* item = new QTreeWidgetItem(QStringList{ShowableText(package.ProductName), ShowableText(package.CategoryName),
                                                 package.Version.Known() ? package.Version.Text() : QString(),
                                                 ShowableText(package.ArchiveFile), package.WorksWith});
    item->setData(0, kPackageIdRole, package.Id);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Unchecked);
    return item;
}

// One group of sets under a row of its own; setText names a set by its packages.
QTreeWidgetItem* GroupItem(const QString& title, const std::vector<TDuplicateSet>& sets,
                           QString (*setText)(const TDuplicateSet&)) {
    auto* group = new QTreeWidgetItem(QStringList{QStringLiteral("%1 (%2)").arg(title, Count(qint64(sets.size())))});
    group->setFirstColumnSpanned(true);
    QList<QTreeWidgetItem*> setItems;
    setItems.reserve(qsizetype(sets.size()));
    for (const TDuplicateSet& set : sets) {
        auto* setItem = new QTreeWidgetItem(QStringList{setText(set)});
        for (const TCataloguedPackage& package : set.Packages)
            setItem->addChild(PackageItem(package));
        setItems << setItem;
    }
    group->addChildren(setItems);
    return group;
}

QString IdenticalSetText(const TDuplicateSet& set) {
    return QStringLiteral("%1 copies of %2 (SHA-256 %3)")
        .arg(Count(qint64(set.Packages.size())), ShowableText(set.Packages.front().ArchiveFile), set.Key.left(12));
}

QString ProductSetText(const TDuplicateSet& set) {
    return QStringLiteral("%1: %2 components").arg(ShowableText(set.Key), Count(qint64(set.Packages.size())));
}

}  // namespace

TFormFindDuplicates::TFormFindDuplicates(TCategoryTree& tree, TWorkGuard& guard, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::FormFindDuplicates>()), tree_(tree), guard_(guard) {
    ui_->setupUi(this);
    ui_->TreeDuplicates->header()->resizeSection(0, 220);
    ui_->TreeDuplicates->header()->resizeSection(1, 120);
    ui_->TreeDuplicates->header()->resizeSection(2, 70);
    ui_->TreeDuplicates->header()->resizeSection(3, 180);
    connect(ui_->BitBtnClose, &QPushButton::clicked, this, &QDialog::close);
    connect(ui_->BitBtnSelectInTree, &QPushButton::clicked, this,
            [this] { SelectInTree(ui_->TreeDuplicates->currentItem()); });
    connect(ui_->TreeDuplicates, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { SelectInTree(item); });
    connect(ui_->BitBtnDeleteChecked, &QPushButton::clicked, this, [this] {
        try {
            DeleteChecked();
        } catch (const std::exception& error) {
            // A component deleted in the main window meanwhile, say: nothing was deleted,
            // and the lists show the catalogue as it is.
            ReportException(error);
            Fill();
        }
    });
    Fill();
}

TFormFindDuplicates::~TFormFindDuplicates() = default;

void TFormFindDuplicates::Fill() {
    QTreeWidget* list = ui_->TreeDuplicates;
    list->clear();
    const TDuplicates found = FindDuplicates(*DMvelm->ArchiveIndex());
    list->addTopLevelItems({GroupItem(QStringLiteral("Identical archives"), found.Identical, IdenticalSetText),
                            GroupItem(QStringLiteral("Same product under several names or versions"), found.SameProduct,
                                      ProductSetText)});
    list->expandAll();
    ui_->LabelSummary->setText(
        found.Identical.empty() && found.SameProduct.empty()
            ? QStringLiteral("No duplicates were found.")
            : QStringLiteral("Check the components to delete; a double click shows one in the tree. Each set lists "
                             "the newest version first."));
}

void TFormFindDuplicates::SelectInTree(QTreeWidgetItem* item) {
    const qint64 packageId = item ? item->data(0, kPackageIdRole).toLongLong() : 0;
    if (packageId == 0 || guard_.Busy())
        return;
    tree_.SelectComponentNode(packageId);
}

void TFormFindDuplicates::DeleteChecked() {
    if (guard_.Busy())
        return;
    // A package listed in both groups is deleted once.
    std::vector<qint64> checked;
    std::set<qint64> seen;
    QStringList names;
    for (QTreeWidgetItemIterator it(ui_->TreeDuplicates, QTreeWidgetItemIterator::Checked); *it; ++it) {
        const qint64 id = (*it)->data(0, kPackageIdRole).toLongLong();
        if (id != 0 && seen.insert(id).second) {
            checked.push_back(id);
            names << (*it)->text(0);
        }
    }
    if (checked.empty()) {
        ShowInfo(QStringLiteral("No component is checked."));
        return;
    }
    // A long list names the first components and counts the rest.
    QString named = names.mid(0, kNamesAsked).join(QStringLiteral(", "));
    if (names.size() > kNamesAsked)
        named += QStringLiteral(" and %1 more").arg(Count(names.size() - kNamesAsked));
    if (!ConfirmYesNo(QStringLiteral("Do you really want to delete the %1 checked component(s): %2 ?")
                          .arg(Count(qint64(checked.size())), named)))
        return;
    guard_.Run([&] {
        // All or none: a failure halfway leaves every checked component in place.
        TCatalogueOperations operations(*DMvelm);
        operations.InTransaction([&] {
            for (const qint64 id : checked)
                operations.DeletePackage(id);
        });
        for (const qint64 id : checked)
            if (QTreeWidgetItem* node = FindComponentNode(tree_.Widget(), id))
                tree_.RemoveNode(node);
    });
    Fill();
}

QLabel* TFormFindDuplicates::LabelSummary() const { return ui_->LabelSummary; }
QTreeWidget* TFormFindDuplicates::TreeDuplicates() const { return ui_->TreeDuplicates; }
QPushButton* TFormFindDuplicates::BitBtnSelectInTree() const { return ui_->BitBtnSelectInTree; }
QPushButton* TFormFindDuplicates::BitBtnDeleteChecked() const { return ui_->BitBtnDeleteChecked; }
QPushButton* TFormFindDuplicates::BitBtnClose() const { return ui_->BitBtnClose; }

void ShowFindDuplicates(QWidget* window, TCategoryTree& tree, TWorkGuard& guard) {
    if (!DMvelm || !DMvelm->ArchiveIndex())
        return;
    auto* form = window->findChild<TFormFindDuplicates*>();
    if (form) {
        form->Fill();
    } else {
        form = new TFormFindDuplicates(tree, guard, window);
        form->setAttribute(Qt::WA_DeleteOnClose);
    }
    form->show();
    form->raise();
    form->activateWindow();
}

}  // namespace velm
