#pragma once

#include <QString>
#include <QStringList>

class QAbstractFileIconProvider;
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

// What a "save file" dialog is asked to show. The file types double as the choice of
// what is written, so the pick says which one the user chose.
struct TSaveDialogRequest {
    QString Title;
    QStringList Filters;    // Qt's form, one per file type: "CSV files (*.csv)"
    int SelectedFilter = 0; // the type chosen when the dialog opens
    QString StartFolder;
    QString FileName;       // proposed name, may be empty
};

// What a dialog that chooses a folder is asked to show.
struct TFolderDialogRequest {
    QString Title;
    QString StartFolder;
};

struct TSavePick {
    QString File;    // full path; empty when cancelled
    int Filter = -1; // index into the request's Filters
    bool Picked() const { return !File.isEmpty(); }
};

// Every file dialog goes through one presenter, so tests and benchmarks can pick files
// without a window. PickFilesToOpen returns the picked files (existing files only, full
// paths, in the dialog's order); empty when cancelled. PickFileToSave returns the file
// with the suffix of the chosen type when the user typed none; a presenter that does
// not answer save dialogs gives a cancelled pick.
class FileDialogPresenter {
public:
    virtual ~FileDialogPresenter() = default;
    virtual QStringList PickFilesToOpen(QWidget* parent, const TOpenDialogRequest& request) = 0;
    virtual TSavePick PickFileToSave(QWidget* /*parent*/, const TSaveDialogRequest& /*request*/) { return {}; }
    // The folder chosen (an existing one, full path); empty when cancelled.
    virtual QString PickFolder(QWidget* /*parent*/, const TFolderDialogRequest& /*request*/) { return {}; }
};

// Installs a presenter (nullptr restores the real dialogs). Returns the previous one.
FileDialogPresenter* SetFileDialogPresenter(FileDialogPresenter* presenter);

QStringList PickFilesToOpen(QWidget* parent, const TOpenDialogRequest& request);
TSavePick PickFileToSave(QWidget* parent, const TSaveDialogRequest& request);
QString PickFolder(QWidget* parent, const TFolderDialogRequest& request);

// The first pattern's suffix of a filter in Qt's form: "csv" for "CSV files (*.csv *.txt)".
QString FilterSuffix(const QString& filter);

// Icons and type names for every list of files the program shows, told from an entry's
// kind (drive, folder, file) and its name alone. Qt's own provider reads a file's first
// bytes to tell its type, which blocks for good on some special files (/proc/kmsg).
QAbstractFileIconProvider* NameOnlyIconProvider();

}  // namespace velm
