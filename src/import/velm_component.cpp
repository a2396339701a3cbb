#include "import/velm_component.h"

#include "app/helpers.h"
#include "catalogue/data_module.h"
#include "catalogue/database_error.h"
#include "catalogue/table.h"
#include "catalogue/text_cut.h"
#include "import/form_moveto_category.h"
#include "import/package_info.h"
#include "import/zip_master.h"

#include <QApplication>

#include <optional>

namespace velm {

namespace {

const QString kID = QStringLiteral("ID");
const QString kProductName = QStringLiteral("ProductName");
const QString kCategory = QStringLiteral("Category");
const QString kRating = QStringLiteral("Rating");
const QString kCompatibility = QStringLiteral("Compatibility");

TTable& Packages() { return *DMvelm->TableCPInfo; }
TTable& Categories() { return *DMvelm->TableCategory; }

// Holds the package table's controls still for one operation, whatever way it ends.
class ControlsSuspended {
public:
    explicit ControlsSuspended(TTable& table) : table_(table) { table_.DisableControls(); }
    ~ControlsSuspended() { table_.EnableControls(); }
    ControlsSuspended(const ControlsSuspended&) = delete;
    ControlsSuspended& operator=(const ControlsSuspended&) = delete;

private:
    TTable& table_;
};

int NameWidth() { return Packages().FieldByName(kProductName)->Size(); }

// A name as the column will keep it.
QString CutToWidth(const QString& name, int width) { return CutAtCharacter(name, width); }

// Posts the row, or cancels it when the table refuses it, so that a failed post never
// leaves a half-written row behind to be posted by the next move.
void PostOrCancel(TTable& table) {
    try {
        table.Post();
    } catch (...) {
        table.Cancel();
        throw;
    }
}

}  // namespace

TVELMComponent::TVELMComponent(const QString& productName)
    : CurrentProductName(productName),
      InfoReader(std::make_unique<TDSPInfoClass>()),
      zipMaster_(std::make_unique<TZipMaster>()) {}

TVELMComponent::~TVELMComponent() = default;

QString TVELMComponent::CreateComponentRecord(qint64 categoryId, const QString& baseName) {
    TTable& packages = Packages();
    const int width = NameWidth();
    // An empty name could never be found again by its node's text.
    const QString base =
        CutToWidth(baseName.isEmpty() ? QString::fromLatin1(kNewComponentName) : baseName, width);
    QString candidate = base;
    QString categoryName;
    {
        ControlsSuspended suspended(packages);
        for (int n = 1; packages.Locate(kProductName, candidate, true); ++n) {
            // The number must survive the cut, or the probe would test the same name again.
            const QString suffix = QString::number(n);
            candidate = CutToWidth(base, width - static_cast<int>(suffix.size())) + suffix;
        }
        TTable& categories = Categories();
        if (!categories.Locate(kID, categoryId, false))
            throw EDatabaseError(QStringLiteral("Category %1 not found").arg(categoryId));
        categoryName = categories.FieldByName(QStringLiteral("Name"))->AsString();
        packages.CheckBrowseMode();
        packages.Append();
        try {
            packages.FieldByName(kProductName)->SetAsString(candidate);
            packages.FieldByName(kCategory)->SetAsInteger(static_cast<int>(categoryId));
        } catch (...) {
            packages.Cancel();
            throw;
        }
        PostOrCancel(packages);
    }
    CurrentProductName = candidate;
    CurrentRowId = packages.FieldByName(kID)->Value().toLongLong();
    CurrentCategoryName = categoryName;
    return candidate;
}

bool TVELMComponent::RenameComponent(qint64 rowId, const QString& oldName, QString& newName) {
    TTable& packages = Packages();
    const QString stored = CutToWidth(newName, NameWidth());
    std::optional<EDatabaseError> failure;
    {
        ControlsSuspended suspended(packages);
        try {
            // Without these checks a missing row would rename whatever row is current,
            // and an empty name would leave a row that no node text can find.
            if (stored.isEmpty())
                throw EDatabaseError(QStringLiteral("Field 'ProductName' must have a value"));
            if (!packages.Locate(kID, rowId, false))
                throw EDatabaseError(QStringLiteral("Record not found"));
            packages.Edit();
            packages.FieldByName(kProductName)->SetAsString(stored);
            packages.Post();
        } catch (const EDatabaseError& error) {
            packages.Cancel();
            failure = error;
        }
    }
    if (failure) {
        ReportDatabaseError(*failure, kRenameComponent, oldName, newName);
        return false;
    }
    CurrentProductName = stored;
    CurrentRowId = rowId;
    newName = stored;
    return true;
}

void TVELMComponent::DeleteComponentRecord() {
    TTable& packages = Packages();
    ControlsSuspended suspended(packages);
    // The row's pending change is dropped, not stored on the way out.
    if (packages.State() == TDataSetState::Edit && packages.FieldByName(kID)->Value().toLongLong() == CurrentRowId)
        packages.Cancel();
    // An ID that matches no row deletes nothing, never the row that happens to be current.
    if (packages.Locate(kID, CurrentRowId, false))
        packages.Delete();
}

QString TVELMComponent::MoveToOtherCategory() {
    auto dialog = std::make_unique<TFormMovetoCategory>(QApplication::activeWindow());
    dialog->SetComponentName(CurrentProductName);
    TTable& packages = Packages();
    {
        ControlsSuspended suspended(packages);
        if (!packages.Locate(kID, CurrentRowId, false))
            return QString();
        // OK or Enter without a choice leaves the component where it is.
        dialog->SetCurrentCategory(packages.FieldByName(kCategory)->AsInteger());
    }
    if (dialog->exec() != QDialog::Accepted || dialog->SelectedCategoryID < 0)
        return QString();
    ControlsSuspended suspended(packages);
    if (!packages.Locate(kID, CurrentRowId, false))
        return QString();
    packages.Edit();
    try {
        packages.FieldByName(kCategory)->SetAsInteger(dialog->SelectedCategoryID);
    } catch (...) {
        packages.Cancel();
        throw;
    }
    PostOrCancel(packages);
    return dialog->SelectedCategoryName;
}

void TVELMComponent::LoadComponent(qint64 rowId) {
    TTable& packages = Packages();
    ControlsSuspended suspended(packages);
    const bool found = packages.Locate(kID, rowId, false);
    CurrentRowId = rowId;
    if (!found) {
        // Nothing of another row may be shown, nor put into edit, under this ID.
        CurrentProductName.clear();
        CachedRating = 0;
        CachedCompatibility = 0;
        ArchiveFileName.clear();
        ArchiveFolder.clear();
        return;
    }
    CurrentProductName = packages.FieldByName(kProductName)->AsString();
    CachedRating = packages.FieldByName(kRating)->AsInteger();
    CachedCompatibility = packages.FieldByName(kCompatibility)->AsInteger();
    ArchiveFileName = packages.FieldByName(QStringLiteral("ArchiveFile"))->AsString();
    ArchiveFolder = packages.FieldByName(QStringLiteral("ArchiveFilePath"))->AsString();
    packages.Edit();
}

namespace {

// Edit on a table without a current row would append an empty row instead.
bool HasCurrentRow(const TTable& table) { return table.State() != TDataSetState::Browse || !table.IsEmpty(); }

}  // namespace

void TVELMComponent::SetRating(int value) {
    CachedRating = value;
    TTable& packages = Packages();
    if (!HasCurrentRow(packages))
        return;
    packages.Edit();
    packages.FieldByName(kRating)->SetAsInteger(value);
    packages.Post();
}

void TVELMComponent::SetCompatibility(int bit, bool set) {
    TTable& packages = Packages();
    if (!HasCurrentRow(packages)) {
        CachedCompatibility = SetBit(CachedCompatibility, bit, set);
        return;
    }
    const int mask = SetBit(packages.FieldByName(kCompatibility)->AsInteger(), bit, set);
    CachedCompatibility = mask;
    packages.Edit();
    packages.FieldByName(kCompatibility)->SetAsInteger(mask);
    packages.Post();
}

void TVELMComponent::FillSearchFields(QStringList& list) const {
    const TTable& packages = Packages();
    for (int i = 0; i < packages.FieldCount(); ++i) {
        const TField* field = packages.Field(i);
        switch (field->Kind()) {
        case TFieldKind::String:
        case TFieldKind::Memo:
        case TFieldKind::Lookup:
            list.append(field->FieldName());
            break;
        default:
            break;
        }
    }
}

}  // namespace velm
