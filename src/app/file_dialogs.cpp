#include "app/file_dialogs.h"

#include <QFileDialog>

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

}  // namespace

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

}  // namespace velm
