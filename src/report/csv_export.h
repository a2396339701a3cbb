#pragma once

#include "report/catalogue_report.h"

class QIODevice;

namespace velm {

class TTextSink;

// Writes the report's packages as CSV (RFC 4180) in UTF-8: a header row of the package
// table's field names, then one row per package with every field as the table gives
// it, memos as their plain text with their line breaks. A field is quoted, its quotes
// doubled, when it holds a comma, a quote or a line break. A text that begins with
// = + - @, a tab or a CR is written with a leading ' so that no spreadsheet runs it as a
// formula. Rows are written as they are read. step is told after each row; returns
// false when it stopped the writing. A device that refuses bytes raises
// EExportWriteError.
bool WriteCsv(TCatalogueReport& report, QIODevice& device, const TProgressStep& step);

// One field by the rules above; isText asks for the guard against formulas.
void WriteCsvField(TTextSink& out, QStringView value, bool isText);

}  // namespace velm
