#pragma once

#include "report/catalogue_report.h"

class QWidget;

namespace velm {

class TWorkGuard;

// File > Print: the print dialog with a preview of the target's report (the selected
// category, or the selected component's record) or of the whole catalogue, and the
// printing of the one chosen, under the window's work guard. Does nothing while other
// guarded work runs.
void PrintCatalogue(QWidget* window, TWorkGuard& guard, const TReportTarget& target);

// File > Export: the save dialog, whose file types choose CSV or HTML and the selected
// category or the whole catalogue (a typed ".csv", ".html" or ".htm" chooses the type
// too), then the file written under a progress dialog. A file is replaced only by a
// complete export: a cancelled or failed one leaves it as it was. The writing runs
// under the window's work guard; nothing happens while other guarded work runs.
void ExportCatalogue(QWidget* window, TWorkGuard& guard, const TReportTarget& target);

}  // namespace velm
