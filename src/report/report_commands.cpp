#include "report/report_commands.h"

#include "kit/command_guard.h"
#include "kit/file_dialogs.h"
#include "kit/messages.h"
#include "kit/work_guard.h"
#include "catalogue/data_module.h"
#include "report/csv_export.h"
#include "report/html_export.h"
#include "report/print_dialog.h"
#include "report/report_work.h"
#include "report/text_sink.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QSaveFile>


namespace velm {

namespace {

enum class ExportKind { Csv, Html };

struct ExportChoice {
    ExportKind kind;
    TReportScope scope;
    QString filter;
};

// Where the last export went, for the next save dialog of this run.
QString& LastExportFolder() {
    static QString folder = QDir::homePath();
    return folder;
}

// A name as part of a file name or a file type's description: nothing that a file
// system or the type's pattern list would read as its own.
QString Tame(const QString& name) {
    QString tame;
    for (const QChar c : name)
        tame += (c.isPrint() && !QStringLiteral("/\\:*?\"<>|()").contains(c)) ? c : QLatin1Char('_');
    return tame.trimmed();
}

QList<ExportChoice> ExportChoices(const TReportTarget& target) {
    QList<ExportChoice> choices;
    if (!target.CategoryName.isEmpty()) {
        const QString category = Tame(target.CategoryName);
        choices << ExportChoice{ExportKind::Csv, TReportScope::Category,
                                QStringLiteral("CSV file, category %1 (*.csv)").arg(category)}
                << ExportChoice{ExportKind::Html, TReportScope::Category,
                                QStringLiteral("HTML page, category %1 (*.html *.htm)").arg(category)};
    }
    choices << ExportChoice{ExportKind::Csv, TReportScope::WholeCatalogue,
                            QStringLiteral("CSV file, whole catalogue (*.csv)")}
            << ExportChoice{ExportKind::Html, TReportScope::WholeCatalogue,
                            QStringLiteral("HTML page, whole catalogue (*.html *.htm)")};
    return choices;
}

// The file type a name asks for by its extension ("tools.html" an HTML page, whatever
// type the dialog showed), in the chosen scope; the chosen type for any other name.
const ExportChoice& ChoiceForName(const QList<ExportChoice>& choices, const ExportChoice& chosen, const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    ExportKind kind = chosen.kind;
    if (suffix == QLatin1String("csv"))
        kind = ExportKind::Csv;
    else if (suffix == QLatin1String("html") || suffix == QLatin1String("htm"))
        kind = ExportKind::Html;
    for (const ExportChoice& choice : choices)
        if (choice.kind == kind && choice.scope == chosen.scope)
            return choice;
    return chosen;
}

QString NativePath(const QString& path) { return QDir::toNativeSeparators(path); }

void ReportExportFailure(const QString& path, const QString& reason) {
    ShowError(QStringLiteral("The catalogue could not be exported to %1: %2").arg(NativePath(path), reason));
}

void RemovePartialPdf(const QPrinter& printer) {
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
        QFile::remove(printer.outputFileName());
}

}  // namespace

void PrintCatalogue(QWidget* window, TWorkGuard& guard, const TReportTarget& target) {
    if (guard.Busy() || !DMvelm)
        return;
    QList<TReportScope> scopes;
    if (!target.ComponentName.isEmpty())
        scopes << TReportScope::Component;
    else if (!target.CategoryName.isEmpty())
        scopes << TReportScope::Category;
    scopes << TReportScope::WholeCatalogue;

    TPrintRequest request;
    for (TReportScope scope : scopes)
        request.Choices << TCatalogueReport(*DMvelm, scope, target).Title();
    // Both run from the dialog's own events: a failure is reported there and the
    // dialog goes on.
    request.Preview = [&](QPrinter& printer, int choice) {
        TPrintOutcome outcome;
        if (guard.Busy())
            return outcome;
        RunCommand([&] {
            TCatalogueReport report(*DMvelm, scopes.value(choice, TReportScope::WholeCatalogue), target);
            TPrintOptions options;
            options.MaxPages = kPreviewPages;
            outcome = PrintReport(report, printer, options, [](int) { return true; });
        });
        return outcome;
    };
    request.Print = [&](QPrinter& printer, int choice) {
        RunCommand([&] {
            TCatalogueReport report(*DMvelm, scopes.value(choice, TReportScope::WholeCatalogue), target);
            // A close of the window meanwhile waits for the whole report.
            guard.Run([&] {
                TReportWork work(window, QStringLiteral("Printing"), report.PackageCount());
                TPrintOutcome outcome;
                try {
                    outcome = PrintReport(report, printer, {}, [&work](int done) { return work.Step(done); });
                } catch (...) {
                    RemovePartialPdf(printer);
                    throw;
                }
                // A PDF file holds only a whole report.
                if (outcome.Stopped)
                    RemovePartialPdf(printer);
            });
        });
    };
    RunPrintDialog(window, request);
}

void ExportCatalogue(QWidget* window, TWorkGuard& guard, const TReportTarget& target) {
    if (guard.Busy() || !DMvelm)
        return;
    const QList<ExportChoice> choices = ExportChoices(target);
    TSaveDialogRequest request;
    request.Title = QStringLiteral("Export Catalogue");
    for (const ExportChoice& choice : choices)
        request.Filters << choice.filter;
    request.SelectedFilter = 0;
    request.StartFolder = LastExportFolder();
    const QString baseName = target.CategoryName.isEmpty() ? QStringLiteral("Catalogue") : Tame(target.CategoryName);
    request.FileName = baseName + QStringLiteral(".csv");
    const TSavePick pick = PickFileToSave(window, request);
    if (!pick.Picked())
        return;
    QString path = pick.File;
    const ExportChoice& choice =
        ChoiceForName(choices, choices.at(pick.Filter >= 0 && pick.Filter < choices.size() ? pick.Filter : 0), path);
    if (QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + FilterSuffix(choice.filter);

    TCatalogueReport report(*DMvelm, choice.scope, target);
    // Written beside the target and put in its place only when complete.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        ReportExportFailure(path, file.errorString());
        return;
    }
    bool finished = false;
    try {
        // A close of the window meanwhile waits for the whole export.
        guard.Run([&] {
            TReportWork work(window, QStringLiteral("Exporting"), report.PackageCount());
            const TProgressStep step = [&work](int done) { return work.Step(done); };
            finished = choice.kind == ExportKind::Csv ? WriteCsv(report, file, step) : WriteHtml(report, file, step);
        });
    } catch (const EExportWriteError& error) {
        file.cancelWriting();
        ReportExportFailure(path, QString::fromStdString(error.what()));
        return;
    }
    if (!finished) {
        file.cancelWriting();
        return;
    }
    if (!file.commit()) {
        ReportExportFailure(path, file.errorString());
        return;
    }
    // Only a folder an export went to is offered again: one it failed in may be a
    // special folder (/proc, say) whose files a save dialog cannot even list safely.
    LastExportFolder() = QFileInfo(path).absolutePath();
}

}  // namespace velm
