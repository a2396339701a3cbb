#pragma once

#include "report/print_report.h"

#include <QString>
#include <QStringList>

#include <vector>

class QIODevice;
class QPagedPaintDevice;
class QWidget;

namespace velm {

// A list a window shows (the results of a check, say) as it is printed or exported:
// its title, the column headings and each row's texts, in the order shown.
struct TListReport {
    QString Title;
    QStringList Columns;
    std::vector<QStringList> Rows;
};

// CSV as the catalogue export writes it (quoting, no formulas), a heading row first.
// A device that refuses bytes raises EExportWriteError.
void WriteListCsv(const TListReport& list, QIODevice& device);
// One self-contained HTML page with the list as a table; every text escaped.
void WriteListHtml(const TListReport& list, QIODevice& device);
// The list as a table over as many pages as it needs, each with a header (title and
// date), the column headings and a page number; long texts wrap within their column.
TPrintOutcome PrintList(const TListReport& list, QPagedPaintDevice& device, const TPrintOptions& options);

// The print dialog with a preview of the list, and its printing.
void PrintListReport(QWidget* parent, const TListReport& list);
// The save dialog (CSV file or HTML page), then the file written whole or not at all.
void ExportListReport(QWidget* parent, const TListReport& list);

}  // namespace velm
