// The archive import: an archive's info file extracted into the Tmp folder, read, and

#include "catalogue/field_names.h"
// written into a package row.
#include "kit/helpers.h"
#include "kit/messages.h"
#include "kit/settings.h"
#include "kit/tmp_folder.h"
#include "catalogue/catalogue_operations.h"
#include "catalogue/data_module.h"
#include "catalogue/database_error.h"
#include "catalogue/table.h"
#include "catalogue/text_cut.h"
#include "import/archive_fingerprint.h"
#include "import/archive_members.h"
#include "import/archive_paths.h"
#include "import/archive_works_with.h"
#include "import/form_moveto_category.h"
#include "import/form_msg_dlg.h"
#include "import/imported_columns.h"
#include "import/outside_text.h"
#include "import/package_info.h"
#include "import/velm_component.h"
#include "import/zip_master.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include <optional>

namespace velm {

namespace {

const QChar kCR = QLatin1Char('\r');

TTable& Packages() { return *DMvelm->TableCPInfo; }
TTable& Categories() { return *DMvelm->TableCategory; }

void SetString(const char* field, const QString& value) {
    Packages().FieldByName(QString::fromLatin1(field))->SetAsString(value);
}

void SetInteger(const char* field, int value) { Packages().FieldByName(QString::fromLatin1(field))->SetAsInteger(value); }

// The first file of the folder matching the pattern, letter case ignored; empty when none.
QString FirstFileMatching(const QString& folder, const QString& pattern) {
    const QStringList names = QDir(folder).entryList({pattern}, QDir::Files | QDir::Hidden, QDir::Name);
    return names.isEmpty() ? QString() : names.first();
}

// The folder part of a path as the row stores it, with its closing separator.
QString FolderWithSeparator(const QFileInfo& file) {
    QString folder = QDir::toNativeSeparators(file.absolutePath());
    if (!folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return folder;
}

// Posts the row together with the archive's members and the IDE versions it shows (when
// they were read), in the transaction that is open (a batch of imports) or in one of its
// own: a failure leaves neither the row's new columns nor the new members, and a row that
// is dropped takes its members with it. The user's own word on the versions stays.
void PostWithMembers(qint64 rowId, const std::vector<ZipDirEntry>& entries, const QFileInfo& archive,
                     const QString& sha256, const std::optional<std::vector<TWorksWithRow>>& worksWith) {
    TArchiveIndex* index = DMvelm->ArchiveIndex();
    TCatalogueOperations(*DMvelm).InTransaction([&] {
        Packages().Post();
        if (index) {
            StoreArchiveMembers(*index, rowId, entries, archive, sha256);
            if (worksWith)
                StoreFoundWorksWith(*index, rowId, *worksWith);
        }
    });
}

// The SHA-256 the archive's record keeps: the caller's, taken before the import, or
// taken now; empty without a member index to keep it or when the file cannot be read
// (the index command takes it later).
QString Sha256Of(const QString& archivePath, const TArchiveFingerprint* known) {
    if (known)
        return known->Sha256;
    if (!DMvelm->ArchiveIndex() || !FingerprintAtImport)
        return QString();
    const std::optional<TArchiveFingerprint> fingerprint = FingerprintArchive(archivePath);
    return fingerprint ? fingerprint->Sha256 : QString();
}

int CategoryIdByName(const QString& name) {
    TTable& categories = Categories();
    if (!categories.Locate(fields::Name, name, true))
        return -1;
    return categories.FieldByName(fields::ID)->AsInteger();
}

}  // namespace

TVELMComponent::TVELMComponent(const QString& productName)
    : CurrentProductName(productName),
      InfoReader(std::make_unique<TDSPInfoClass>()),
      zipMaster_(std::make_unique<TZipMaster>()) {}

TVELMComponent::~TVELMComponent() = default;

void TVELMComponent::CheckArchivePath(const QString& archivePath) const {
    const QFileInfo archive(archivePath);
    // A folder or a special file has no archive to read and no date to store.
    if (!archive.isFile() || !archive.lastModified().isValid())
        throw EArchiveRefused("\"" + ShowableText(ShownPath(archivePath)).toStdString() +
                              "\" is not an archive file and cannot be imported.");
    if (!QDir().mkpath(TmpFolder))
        throw EArchiveRefused("The folder for temporary files cannot be created: " + TmpFolder.toStdString());
}

namespace {

// Removes a row this import created and could not fill.
void DropCreatedRow(qint64 rowId) { TCatalogueOperations(*DMvelm).DeletePackage(rowId); }

}  // namespace

QString TVELMComponent::ImportArchive(qint64 categoryId, const QString& archivePath,
                                      const TArchiveFingerprint* fingerprint) {
    CheckArchivePath(archivePath);
    // An archive that cannot be read imports nothing: its failure was shown, and no row
    // is made that would stand for it with nothing in it.
    QString infoName;
    if (!ReadInfoFile(archivePath, infoName))
        return QString();
    sha256_ = Sha256Of(archivePath, fingerprint);
    const TNewRow row = TCatalogueOperations(*DMvelm).CreatePackage(categoryId, ProductNameOfArchive(archivePath));
    CurrentProductName = row.Name;
    CurrentCategoryName = Categories().FieldByName(fields::Name)->AsString();
    // The row made here is the row filled, whatever else becomes current meanwhile; one
    // that cannot be filled goes again, so no row is left with a name and nothing else.
    const qint64 rowId = row.Id;
    bool filled = false;
    try {
        filled = FillRow(rowId, archivePath, infoName);
    } catch (...) {
        DropCreatedRow(rowId);
        throw;
    }
    if (!filled) {
        DropCreatedRow(rowId);
        return QString();
    }
    CurrentRowId = rowId;
    return CurrentProductName;
}

QString TVELMComponent::ProductNameOfArchive(const QString& archivePath) {
    return ShowableText(BaseNameWithoutExt(archivePath)).trimmed();
}

void TVELMComponent::ReimportArchive(qint64 rowId, const QString& archivePath) {
    CheckArchivePath(archivePath);
    // A failed read leaves the row as it was.
    QString infoName;
    if (ReadInfoFile(archivePath, infoName)) {
        sha256_ = Sha256Of(archivePath, nullptr);
        FillRow(rowId, archivePath, infoName);
    }
}

int TVELMComponent::CategoryFromInfoFile() {
    // Cut to what the column holds: a longer name would never be found again.
    CurrentCategoryName = CutAtCharacter(InfoReader->CategoryText, Categories().FieldByName(fields::Name)->Size());
    int categoryId = CategoryIdByName(CurrentCategoryName);
    if (categoryId >= 0)
        return categoryId;
    if (Settings().ShowDragNDropInfoMsg)
        ShowInfo(QStringLiteral("The imported component belongs to category: ") + CurrentCategoryName +
                 QStringLiteral(", but this category is not defined yet. ") + kCR +
                 QStringLiteral("This category will be added now!"));
    if (AddCategory)
        CurrentCategoryName = AddCategory(CurrentCategoryName);
    categoryId = CategoryIdByName(CurrentCategoryName);
    if (categoryId < 0)
        throw EDatabaseError(QStringLiteral("Category '%1' not found").arg(CurrentCategoryName));
    return categoryId;
}

int TVELMComponent::CategoryFromUser() {
    const bool dontShowAgain = FormMsgDlg ? FormMsgDlg->DontShowAgain : false;
    if (FormMsgDlg && !dontShowAgain) {
        FormMsgDlg->SetTexts(CurrentProductName, CurrentCategoryName);
        FormMsgDlg->exec();
    }
    const bool useSelected = FormMsgDlg ? FormMsgDlg->UseSelectedCategory : true;
    if (useSelected)
        return -1;
    auto dialog = std::make_unique<TFormMovetoCategory>(QApplication::activeWindow());
    dialog->SetComponentName(CurrentProductName);
    dialog->SetCurrentCategory(CategoryIdByName(CurrentCategoryName));
    if (dialog->exec() != QDialog::Accepted || dialog->SelectedCategoryID < 0)
        return -1;
    CurrentCategoryName = dialog->SelectedCategoryName;
    return dialog->SelectedCategoryID;
}

bool TVELMComponent::ReadInfoFile(const QString& archivePath, QString& infoName) {
    infoName.clear();
    EmptyTmpFolder(TmpFolder);
    InfoReader->ClearInfo();

    TZipMaster& zip = *zipMaster_;
    zip.SetZipFilename(archivePath);
    if (zip.ReadFailed())
        return false;
    if (zip.EntryCount() > 0) {
        // Flat into the Tmp folder: the info file is looked for there by name alone.
        zip.ExtrBaseDir = TmpFolder;
        zip.FSpecArgs = QStringList{QStringLiteral("*.inf"), QStringLiteral("*.upl")};
        zip.ExtrOptions = ExtrOverWrite;
        zip.Extract();
        if (zip.ExtractFailed())
            return false;
    }
    if (zip.ExtractedCount() > 0) {
        infoName = FirstFileMatching(TmpFolder, QStringLiteral("*.inf"));
        if (!infoName.isEmpty()) {
            InfoReader->ReadInfFile(QDir(TmpFolder).filePath(infoName));
        } else {
            infoName = FirstFileMatching(TmpFolder, QStringLiteral("*.upl"));
            if (!infoName.isEmpty())
                InfoReader->ReadUplFile(QDir(TmpFolder).filePath(infoName));
        }
    }
    return true;
}

bool TVELMComponent::FillRow(qint64 rowId, const QString& archivePath, const QString& infoName) {
    const QFileInfo archive(archivePath);
    // The row names the archive as the user knows it, also where it is read through a
    // link made for a name that is not valid UTF-8.
    const QFileInfo shown(ShownPath(archivePath));
    TTable& packages = Packages();
    try {
        // An info file without a category name decides nothing by itself: the user is
        // asked, as for an archive without an info file, so that no row ends up in a
        // category that no tree node shows.
        const bool namesCategory = !infoName.isEmpty() && !InfoReader->CategoryText.trimmed().isEmpty();
        const int categoryId = namesCategory ? CategoryFromInfoFile() : CategoryFromUser();

        // The extraction and the dialogs let other events run: the row is found again.
        if (!packages.Locate(fields::ID, rowId, false))
            throw EDatabaseError(QStringLiteral("The component's record is gone"));
        packages.Edit();
        if (categoryId != -1)
            SetInteger("Category", categoryId);
        SetString("ArchiveFile", shown.fileName());
        SetString("ArchiveFilePath", FolderWithSeparator(shown));
        packages.FieldByName(fields::DownloadDate)->SetAsDate(archive.lastModified().toLocalTime().date());
        if (!infoName.isEmpty())
            packages.FieldByName(fields::ReleaseDate)
                ->SetAsDate(QFileInfo(QDir(TmpFolder).filePath(infoName)).lastModified().toLocalTime().date());
        QStringList refused;
        const int mask = WriteInfoColumns(packages, *InfoReader, &refused);
        // Read before the row is posted: a package file's text may take a moment, and the
        // row is then written with everything in one transaction.
        std::optional<std::vector<TWorksWithRow>> worksWith;
        if (ReadsWorksWith && DMvelm->ArchiveIndex())
            worksWith = FoundWorksWith(archivePath, zipMaster_->ArchiveStart(), zipMaster_->Entries(), mask, infoName);
        PostWithMembers(rowId, zipMaster_->Entries(), archive, sha256_, worksWith);
        // A version part the small-integer columns cannot hold costs the row nothing
        // else: it is stored as 0, and the user is told.
        if (!refused.isEmpty())
            ShowInfo(QStringLiteral("The version \"%1\" does not fit the version fields: %2, so 0 is stored "
                                    "instead.")
                         .arg(InfoReader->VersionText, refused.join(QStringLiteral("; "))));
        if (ShowCompatibility)
            ShowCompatibility(mask);
    } catch (const EDatabaseError& error) {
        // Half-written columns are dropped, so no later move can post them.
        if (packages.State() != TDataSetState::Browse)
            packages.Cancel();
        ReportDatabaseError(error, kImportedComponent, CurrentProductName, QString());
        return false;
    }
    return true;
}

}  // namespace velm
