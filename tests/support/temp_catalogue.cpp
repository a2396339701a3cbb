#include "support/temp_catalogue.h"

#include "kit/settings_store.h"
#include "catalogue/database_error.h"

#include <QDir>

#include <sqlite3.h>

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

QStringList TempCatalogue::Stored(const QString& sql) const {
    QStringList rows;
    sqlite3* db = nullptr;
    const QByteArray main = (DataFolder() + QStringLiteral("CPInfo.DB")).toUtf8();
    if (sqlite3_open_v2(main.constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return {QStringLiteral("<cannot open the catalogue>")};
    }
    // The member index last: on a read-only connection a missing file is not made.
    const QString attach = QStringLiteral("ATTACH '%1' AS c; ATTACH '%2' AS s; ATTACH '%3' AS m;")
                               .arg(DataFolder() + QStringLiteral("Category.db"), DataFolder() + QStringLiteral("Status.db"),
                                    DataFolder() + QStringLiteral("Members.db"));
    sqlite3_exec(db, attach.toUtf8().constData(), nullptr, nullptr, nullptr);
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK) {
        rows << QStringLiteral("<%1>").arg(QString::fromUtf8(sqlite3_errmsg(db)));
    } else {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            QStringList columns;
            for (int i = 0; i < sqlite3_column_count(statement); ++i)
                columns << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, i)));
            rows << columns.join(QLatin1Char('|'));
        }
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return rows;
}

bool TempCatalogue::Execute(const QString& sql) const {
    sqlite3* db = nullptr;
    const QByteArray main = (DataFolder() + QStringLiteral("CPInfo.DB")).toUtf8();
    bool ok = sqlite3_open_v2(main.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
    const QString attach = QStringLiteral("ATTACH '%1' AS c; ATTACH '%2' AS s;")
                               .arg(DataFolder() + QStringLiteral("Category.db"), DataFolder() + QStringLiteral("Status.db"));
    char* error = nullptr;
    if (ok)
        ok = sqlite3_exec(db, (attach + sql).toUtf8().constData(), nullptr, nullptr, &error) == SQLITE_OK;
    if (!ok)
        qWarning("Execute: %s", error ? error : sqlite3_errmsg(db));
    sqlite3_free(error);
    sqlite3_close(db);
    return ok;
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
