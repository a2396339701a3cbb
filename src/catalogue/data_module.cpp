#include "catalogue/data_module.h"

#include "catalogue/database.h"
#include "catalogue/database_error.h"
#include "catalogue/field_names.h"

#include <QDir>
#include <QFileInfo>

namespace velm {

TDMvelm* DMvelm = nullptr;

namespace {

TFieldDef Text(const char* name, int size) { return {QString::fromLatin1(name), TFieldKind::String, size, {}, false}; }
TFieldDef Small(const char* name, bool indexed = false) {
    return {QString::fromLatin1(name), TFieldKind::SmallInt, 0, {}, indexed};
}
TFieldDef Of(const char* name, TFieldKind kind) { return {QString::fromLatin1(name), kind, 0, {}, false}; }
TFieldDef LookupOf(const char* name, int size, const char* keyField, TTable* table, const char* resultField) {
    return {QString::fromLatin1(name), TFieldKind::Lookup, size,
            TLookupDef{QString::fromLatin1(keyField), table, QStringLiteral("ID"), QString::fromLatin1(resultField)},
            false};
}

}  // namespace

TDMvelm::TDMvelm(const QString& programFolder, QObject* parent) : QObject(parent) {
    QString folder = programFolder;
    if (!folder.endsWith(QLatin1Char('/')) && !folder.endsWith(QLatin1Char('\\')))
        folder += QLatin1Char('/');
    dataFolder_ = folder + QStringLiteral("dbase/");

    const QString alias = QString::fromLatin1(kAlias);
    TableCategory = new TTable(alias, QStringLiteral("Category.db"), {Text("Name", 25), Of("ID", TFieldKind::AutoInc)},
                               {TIndexDef{QString(), {QStringLiteral("Name")}, true, false}}, this);
    TableStatus = new TTable(alias, QStringLiteral("Status.db"), {Of("ID", TFieldKind::AutoInc), Text("Description", 40)},
                             {}, this);
    TableCPInfo = new TTable(alias, QStringLiteral("CPInfo.DB"),
                             {
                                 Of("ID", TFieldKind::AutoInc),
                                 Text("ProductName", 40),
                                 Of("ProductDescription", TFieldKind::Memo),
                                 Small("Category", true),
                                 Small("FreeShareCommercial"),
                                 Small("VersionMajor"),
                                 Small("VersionMinor"),
                                 Small("Release"),
                                 Small("Build"),
                                 Of("Beta", TFieldKind::Boolean),
                                 Of("ReleaseDate", TFieldKind::Date),
                                 Small("Compatibility"),
                                 Text("Author", 50),
                                 Of("DownloadDate", TFieldKind::Date),
                                 Small("Status", true),
                                 Of("Comments", TFieldKind::Memo),
                                 LookupOf("StatusDescr", 30, "Status", TableStatus, "Description"),
                                 Small("Rating"),
                                 LookupOf("CategoryName", 30, "Category", TableCategory, "Name"),
                                 Text("FileURL", 100),
                                 Text("AuthorEmail", 50),
                                 Of("FullSourceIncl", TFieldKind::Boolean),
                                 // The archive's name and folder are kept whole: cut, they
                                 // would name a file that does not exist.
                                 Text("ArchiveFile", 0),
                                 Text("ArchiveFilePath", 0),
                             },
                             {
                                 TIndexDef{QStringLiteral("ProductName"), {QStringLiteral("ProductName")}, true, false},
                                 TIndexDef{QStringLiteral("Category"), {QStringLiteral("Category")}, false, false},
                                 TIndexDef{QStringLiteral("Status"), {QStringLiteral("Status")}, false, false},
                             },
                             this);
    DSCategory = new TDataSource(TableCategory, this);
    DSCPInfo = new TDataSource(TableCPInfo, this);
    DSStatus = new TDataSource(TableStatus, this);
    TableStatus->BeforeDelete = [this](TTable& table) { TableStatusBeforeDelete(table); };
}

TDMvelm::~TDMvelm() {
    Close();
    // The alias belongs to this run only.
    if (registeredAlias_)
        TSession::Instance().DeleteAlias(QString::fromLatin1(kAlias));
    if (DMvelm == this)
        DMvelm = nullptr;
}

bool TDMvelm::Open(const TIndexProgress& indexProgress) {
    TSession& session = TSession::Instance();
    const QString alias = QString::fromLatin1(kAlias);
    if (!session.IsAlias(alias)) {
        if (!DataFilesPresent())
            return false;
        session.AddStandardAlias(alias, dataFolder_);
        registeredAlias_ = true;
    }
    try {
        TableCategory->Open();
        TableCPInfo->Open();
        TableStatus->Open();
        archiveIndex_ = std::make_unique<TArchiveIndex>(TSession::Instance().DatabaseFor(alias));
        archiveIndex_->Open();
        if (archiveIndex_->PackageTextsStale())
            archiveIndex_->RebuildPackageTexts(indexProgress);
    } catch (...) {
        Close();
        throw;
    }
    // The lookups were computed before their tables were open.
    TableCPInfo->First();
    return true;
}

bool TDMvelm::DataFilesPresent() const {
    return QFileInfo(QDir(dataFolder_).filePath(QStringLiteral("CPInfo.DB"))).isFile();
}

void TDMvelm::LoadDeferredFields() {
    TableCategory->LoadDeferredFields();
    TableCPInfo->LoadDeferredFields();
    TableStatus->LoadDeferredFields();
}

void TDMvelm::Close() {
    // The index watches the package table: it goes first.
    if (archiveIndex_) {
        archiveIndex_->Close();
        archiveIndex_.reset();
    }
    TableCategory->Close();
    TableCPInfo->Close();
    TableStatus->Close();
}

void TDMvelm::TableStatusBeforeDelete(TTable& table) {
    const QVariant id = table.FieldByName(fields::ID)->Value();
    TTable* packages = TableCPInfo;
    const TBookmark bookmark = packages->GetBookmark();
    bool inUse = false;
    {
        const TControlsDisabled held(*packages);
        inUse = packages->Locate(fields::Status, id, false);
        // A filtered package table hides rows that still use the value.
        if (!inUse && packages->Filtered())
            inUse = packages->AnyRowHas(fields::Status, id);
        if (inUse && bookmark != 0)
            packages->GotoBookmark(bookmark);
    }
    if (inUse)
        throw ERefused(QStringLiteral("This status value is in use, so can NOT be deleted !"));
}

}  // namespace velm
