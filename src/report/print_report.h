#pragma once

#include "report/catalogue_report.h"

class QPagedPaintDevice;

namespace velm {

struct TPrintOptions {
    // A preview stops after so many pages; 0 prints every page.
    int MaxPages = 0;
};

struct TPrintOutcome {
    bool Stopped = false;           // the progress step stopped it (Cancel)
    bool PageLimitReached = false;  // more pages would have followed
    int Pages = 0;
};

// Lays the report out on a printer (or any paged device) one page at a time: every
// page has a header with the report's title and the date and is numbered at its foot.
// A category, or the whole catalogue one category after another, prints as tables of
// the components with version, author, licence, compatibility, status, rating and
// archive file; a component prints as its whole record with its description and
// comments, rich text with its formatting. Nothing but the row being printed is held:
// memory does not grow with the catalogue. step is told after each package.
TPrintOutcome PrintReport(TCatalogueReport& report, QPagedPaintDevice& device, const TPrintOptions& options,
                          const TProgressStep& step);

}  // namespace velm
