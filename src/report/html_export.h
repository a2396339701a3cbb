#pragma once

#include "report/catalogue_report.h"

class QIODevice;

namespace velm {

// Writes the report's packages as one self-contained HTML page in UTF-8: a table per
// category with every field a user reads, and under each package its description and
// comments (rich text with its formatting, rebuilt safely; plain text as it is). All
// text from the catalogue is escaped; the page has no script and loads nothing. Rows
// are written as they are read. step is told after each package; returns false when it
// stopped the writing. A device that refuses bytes raises EExportWriteError.
bool WriteHtml(TCatalogueReport& report, QIODevice& device, const TProgressStep& step);

}  // namespace velm
