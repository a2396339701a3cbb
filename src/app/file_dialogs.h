#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace velm {

// What an "open file" dialog is asked to show.
struct TOpenDialogRequest {
    QString Title;
    QString Filter;         // Qt's form: "ZIP files  (*.zip)"
    QString DefaultSuffix;  // added to a typed name without one
    bool MultiSelect = false;
    QString StartFolder;
    QString FileName;       // preselected name, may be empty
};

// Every file dialog goes through one presenter, so tests and benchmarks can pick files
// without a window. PickFilesToOpen returns the picked files (existing files only, full
// paths, in the dialog's order); empty when cancelled.
class FileDialogPresenter {
public:
    virtual ~FileDialogPresenter() = default;
    virtual QStringList PickFilesToOpen(QWidget* parent, const TOpenDialogRequest& request) = 0;
};

// Installs a presenter (nullptr restores the real dialogs). Returns the previous one.
FileDialogPresenter* SetFileDialogPresenter(FileDialogPresenter* presenter);

QStringList PickFilesToOpen(QWidget* parent, const TOpenDialogRequest& request);

}  // namespace velm
