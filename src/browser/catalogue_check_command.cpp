#include "browser/catalogue_check_command.h"

#include "browser/form_check_catalogue.h"
#include "browser/import_commands.h"
#include "browser/progress_run.h"
#include "catalogue/data_module.h"
#include "catalogue/table.h"
#include "import/archive_relink.h"
#include "import/catalogue_check.h"
#include "import/outside_text.h"
#include "kit/command_guard.h"
#include "kit/file_dialogs.h"
#include "kit/messages.h"
#include "kit/work_guard.h"

#include <QDir>
#include <QLocale>
#include <QPointer>

#include <functional>

namespace velm {

namespace {

QString Count(qint64 value) { return QLocale().toString(value); }

// Long lists in a question are cut: the box must fit on the screen.
constexpr int kListedInQuestion = 20;

// The first lines of a list, and how many more there are.
QString Listed(const QStringList& lines) {
    QString text = lines.mid(0, kListedInQuestion).join(u'\r');
    if (lines.size() > kListedInQuestion)
        text += QStringLiteral("\r... and %1 more").arg(Count(lines.size() - kListedInQuestion));
    return text;
}

QString Shown(const QString& path) { return ShowableText(QDir::toNativeSeparators(path)); }

QString PickFolderFor(QWidget* parent, const QString& title) {
    static QString lastFolder = QDir::homePath();
    const QString folder = PickFolder(parent, {title, lastFolder});
    if (!folder.isEmpty())
        lastFolder = folder;
    return folder;
}

void FindMoved(TFormCheckCatalogue& form, TWorkGuard& guard) {
    const std::vector<TCheckedPackage> missing = form.Missing();
    if (missing.empty())
        return;
    const QString folder = PickFolderFor(&form, QStringLiteral("Find moved archives in folder"));
    if (folder.isEmpty())
        return;
    std::vector<TMovedArchive> moves;
    if (!RunWithProgress(&form, guard, QStringLiteral("Finding moved archives"), QStringLiteral("Reading"),
                         [&](const TStepProgress& progress) {
                             bool stopped = false;
                             moves = FindMovedArchives(missing, folder, progress, &stopped);
                             return !stopped;
                         }))
        return;
    if (moves.empty()) {
        ShowInfo(QStringLiteral("None of the missing archives is in %1.").arg(Shown(folder)));
        return;
    }
    QStringList lines;
    for (const TMovedArchive& move : moves)
        lines << QStringLiteral("%1: %2 (%3)")
                     .arg(ShowableText(move.ProductName), Shown(move.NewPath),
                          move.BySha256 ? QStringLiteral("same SHA-256") : QStringLiteral("same name and size"));
    if (!ConfirmYesNo(QStringLiteral("%1 of the %2 missing archive(s) were found:\r\r%3\r\r"
                                     "Change the components' archive folder and name to these?")
                          .arg(Count(qint64(moves.size())), Count(qint64(missing.size())), Listed(lines))))
        return;
    if (!RunCommand([&] { RelinkArchives(*DMvelm, moves); }))
        return;
    std::vector<qint64> ids;
    for (const TMovedArchive& move : moves)
        ids.push_back(move.PackageId);
    TCatalogueCheckRun again;
    RunWithProgress(&form, guard, QStringLiteral("Checking the catalogue"), QStringLiteral("Checking"),
                    [&](const TStepProgress& progress) {
                        again = CheckCatalogue(*DMvelm->ArchiveIndex(), progress, ids);
                        return !again.Stopped;
                    });
    form.Update(again.Packages);
}

// The folder's archives the catalogue lacks, listed in a question; those to import
// when the user says Yes.
QStringList NotCatalogued(TFormCheckCatalogue& form, TWorkGuard& guard) {
    const QString folder = PickFolderFor(&form, QStringLiteral("Archives in this folder that are not catalogued"));
    if (folder.isEmpty())
        return {};
    QStringList files;
    if (!RunWithProgress(&form, guard, QStringLiteral("Looking for archives not catalogued"), QStringLiteral("Reading"),
                         [&](const TStepProgress& progress) {
                             bool stopped = false;
                             files = UncataloguedArchives(*DMvelm->ArchiveIndex(), folder, progress, &stopped);
                             return !stopped;
                         }))
        return {};
    if (files.isEmpty()) {
        ShowInfo(QStringLiteral("Every archive in %1 is catalogued.").arg(Shown(folder)));
        return {};
    }
    QStringList lines;
    const QDir base(folder);
    for (const QString& file : files)
        lines << Shown(base.relativeFilePath(file));
    if (!ConfirmYesNo(QStringLiteral("%1 archive(s) in %2 are not catalogued:\r\r%3\r\rImport them?")
                          .arg(Count(files.size()), Shown(folder), Listed(lines))))
        return {};
    return files;
}

}  // namespace

void CheckCatalogue(QWidget* window, TWorkGuard& guard, TImportCommands& imports) {
    if (guard.Busy() || !DMvelm || !DMvelm->ArchiveIndex())
        return;
    // An archive folder or name just typed on the detail panel is the one checked.
    if (!RunCommand([] { DMvelm->TableCPInfo->CheckBrowseMode(); }))
        return;
    TCatalogueCheckRun run;
    RunWithProgress(window, guard, QStringLiteral("Checking the catalogue"), QStringLiteral("Checking"),
                    [&](const TStepProgress& progress) {
                        run = CheckCatalogue(*DMvelm->ArchiveIndex(), progress);
                        return !run.Stopped;
                    });
    // A window that is closing is not kept open by a report.
    if (guard.CloseRequested())
        return;
    QStringList toImport;
    TFormCheckCatalogue form(run, window);
    // A close of the main window during a folder's walk closes the results too.
    form.OnFindMoved = [&] {
        FindMoved(form, guard);
        if (guard.CloseRequested())
            form.reject();
    };
    form.OnNotCatalogued = [&] {
        toImport = NotCatalogued(form, guard);
        if (guard.CloseRequested()) {
            toImport.clear();
            form.reject();
        } else if (!toImport.isEmpty()) {
            form.accept();
        }
    };
    form.exec();
    // The import asks its own questions and shows its progress over the main window.
    if (!toImport.isEmpty())
        imports.ImportFiles(toImport);
}

}  // namespace velm
