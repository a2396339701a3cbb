#pragma once

#include "report/catalogue_report.h"

class QWidget;

namespace velm {

// File > Print: the print dialog with a preview of the target's report (the selected
// category, or the selected component's record) or of the whole catalogue, and the
// printing of the one chosen. Does nothing while other report work runs.
void PrintCatalogue(QWidget* window, const TReportTarget& target);

// File > Export: the save dialog, whose file types choose CSV or HTML and the selected
// category or the whole catalogue, then the file written under a progress dialog. A
// file is replaced only by a complete export: a cancelled or failed one leaves it as
// it was. Does nothing while other report work runs.
void ExportCatalogue(QWidget* window, const TReportTarget& target);

}  // namespace velm
