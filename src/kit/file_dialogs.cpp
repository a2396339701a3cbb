#include "kit/file_dialogs.h"

#include <QFileDialog>
#include <QFileIconProvider>
#include <QMimeDatabase>
#include <QRegularExpression>

namespace velm {

namespace {

FileDialogPresenter* presenter = nullptr;

class TNameOnlyIconProvider : public QFileIconProvider {
public:
    using QFileIconProvider::icon;

    QIcon icon(const QFileInfo& info) const override {
        if (info.isRoot())
            return icon(Drive);
        if (info.isDir())
            return icon(Folder);
        const QMimeType mime = TypeByName(info);
        QIcon themed = QIcon::fromTheme(mime.iconName());
        if (themed.isNull())
            themed = QIcon::fromTheme(mime.genericIconName());
        return themed.isNull() ? icon(File) : themed;
    }

    QString type(const QFileInfo& info) const override {
        if (info.isRoot() || info.isDir())
            return QFileIconProvider::type(info);  // neither reads a file
        const QMimeType mime = TypeByName(info);
        return mime.comment().isEmpty() ? mime.name() : mime.comment();
    }

private:
    static QMimeType TypeByName(const QFileInfo& info) {
        return QMimeDatabase().mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
    }
};

QStringList ShowOpenDialog(QWidget* parent, const TOpenDialogRequest& request) {
    QFileDialog dialog(parent, request.Title, request.StartFolder, request.Filter);
    dialog.setIconProvider(NameOnlyIconProvider());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Only existing files can be confirmed; the folder must exist to be entered.
    dialog.setFileMode(request.MultiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(request.DefaultSuffix);
    dialog.setSizeGripEnabled(true);
    if (!request.FileName.isEmpty())
        dialog.selectFile(request.FileName);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

TSavePick ShowSaveDialog(QWidget* parent, const TSaveDialogRequest& request) {
    QFileDialog dialog(parent, request.Title, request.StartFolder);
    dialog.setIconProvider(NameOnlyIconProvider());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(request.Filters);
    const QString chosen = request.Filters.value(request.SelectedFilter);
    if (!chosen.isEmpty())
        dialog.selectNameFilter(chosen);
    // A name typed without a suffix takes the one of the type chosen at that moment.
    dialog.setDefaultSuffix(FilterSuffix(dialog.selectedNameFilter()));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString& filter) { dialog.setDefaultSuffix(FilterSuffix(filter)); });
    dialog.setSizeGripEnabled(true);
    if (!request.FileName.isEmpty())
        dialog.selectFile(request.FileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    TSavePick pick;
    pick.File = dialog.selectedFiles().first();
    pick.Filter = int(request.Filters.indexOf(dialog.selectedNameFilter()));
    return pick;
}

QString ShowFolderDialog(QWidget* parent, const TFolderDialogRequest& request) {
    QFileDialog dialog(parent, request.Title, request.StartFolder);
    dialog.setIconProvider(NameOnlyIconProvider());
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

}  // namespace

QString FilterSuffix(const QString& filter) {
    // The patterns are the last bracketed group; the description before it may hold any text.
    static const QRegularExpression patterns(QStringLiteral("\\(([^()]*)\\)\\s*$"));
    static const QRegularExpression firstSuffix(QStringLiteral("^\\s*\\*\\.([^\\s;*?]+)"));
    return firstSuffix.match(patterns.match(filter).captured(1)).captured(1);
}

QAbstractFileIconProvider* NameOnlyIconProvider() {
    // Kept to the very end: a file list's own thread may ask it while the list goes.
    static QAbstractFileIconProvider* const provider = new TNameOnlyIconProvider;
    return provider;
}

FileDialogPresenter* SetFileDialogPresenter(FileDialogPresenter* next) {
    FileDialogPresenter* previous = presenter;
    presenter = next;
    return previous;
}

QStringList PickFilesToOpen(QWidget* parent, const TOpenDialogRequest& request) {
    if (presenter)
        return presenter->PickFilesToOpen(parent, request);
    return ShowOpenDialog(parent, request);
}

TSavePick PickFileToSave(QWidget* parent, const TSaveDialogRequest& request) {
    if (presenter)
        return presenter->PickFileToSave(parent, request);
    return ShowSaveDialog(parent, request);
}

QString PickFolder(QWidget* parent, const TFolderDialogRequest& request) {
    if (presenter)
        return presenter->PickFolder(parent, request);
    return ShowFolderDialog(parent, request);
}

}  // namespace velm
