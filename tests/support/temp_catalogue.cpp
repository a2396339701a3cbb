#include "support/temp_catalogue.h"

#include "app/settings_store.h"
#include "catalogue/database_error.h"

#include <QDir>

namespace velm::test {

TempCatalogue::TempCatalogue(const QStringList& statusValues, bool open) {
    dir_.setAutoRemove(true);
    // Settings written by the code under test stay in the temporary folder too.
    SetSettingsFilePath(ProgramFolder() + QStringLiteral("settings/velm.reg"));
    if (!CreateCatalogue(DataFolder(), statusValues))
        throw EDatabaseError(QStringLiteral("could not create a test catalogue"));
    module_ = std::make_unique<TDMvelm>(ProgramFolder());
    DMvelm = module_.get();
    if (open && !module_->Open())
        throw EDatabaseError(QStringLiteral("could not open the test catalogue"));
}

TempCatalogue::~TempCatalogue() {
    module_.reset();
    SetSettingsFilePath(QString());
}

QString TempCatalogue::ProgramFolder() const { return dir_.path() + QLatin1Char('/'); }

QString TempCatalogue::DataFolder() const { return ProgramFolder() + QStringLiteral("dbase/"); }

qint64 TempCatalogue::AddCategory(const QString& name) {
    TTable& table = *module_->TableCategory;
    table.Append();
    table.FieldByName(QStringLiteral("Name"))->SetAsString(name);
    table.Post();
    return table.FieldByName(QStringLiteral("ID"))->Value().toLongLong();
}

qint64 TempCatalogue::AddPackage(const QString& name, qint64 categoryId, const QVariant& status) {
    TTable& table = *module_->TableCPInfo;
    table.Append();
    table.FieldByName(QStringLiteral("ProductName"))->SetAsString(name);
    table.FieldByName(QStringLiteral("Category"))->SetAsInteger(static_cast<int>(categoryId));
    if (status.isValid())
        table.FieldByName(QStringLiteral("Status"))->SetValue(status);
    table.Post();
    return table.FieldByName(QStringLiteral("ID"))->Value().toLongLong();
}

}  // namespace velm::test
