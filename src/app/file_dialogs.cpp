#include "app/file_dialogs.h"

#include <QFileDialog>
#include <QRegularExpression>

namespace velm {

namespace {

FileDialogPresenter* presenter = nullptr;

QStringList ShowOpenDialog(QWidget* parent, const TOpenDialogRequest& request) {
    QFileDialog dialog(parent, request.Title, request.StartFolder, request.Filter);
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

}  // namespace

QString FilterSuffix(const QString& filter) {
    // The patterns are the last bracketed group; the description before it may hold any text.
    static const QRegularExpression patterns(QStringLiteral("\\(([^()]*)\\)\\s*$"));
    static const QRegularExpression firstSuffix(QStringLiteral("^\\s*\\*\\.([^\\s;*?]+)"));
    return firstSuffix.match(patterns.match(filter).captured(1)).captured(1);
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

}  // namespace velm
