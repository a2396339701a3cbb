#include "report/csv_export.h"

#include "catalogue/field.h"
#include "report/memo_text.h"
#include "report/text_sink.h"

namespace velm {

namespace {

const QLatin1StringView kRowEnd("\r\n");

bool NeedsQuotes(QStringView value) {
    for (const QChar c : value)
        if (c == u',' || c == u'"' || c == u'\r' || c == u'\n')
            return true;
    return false;
}

// A cell a spreadsheet would run as a formula ("=HYPERLINK(...)", "@SUM(...)",
// "-2+3+cmd|..."): text from an archive must never run on the reader's machine.
bool RunsAsFormula(QStringView value) {
    if (value.isEmpty())
        return false;
    switch (value.front().unicode()) {
    case '=':
    case '+':
    case '-':
    case '@':
    case '\t':
    case '\r': return true;
    default: return false;
    }
}

}  // namespace

// Writes the field straight to the sink: no copy of the text is made to quote it. A
// text that would run as a formula gets a leading apostrophe, which spreadsheets read
// as "this cell is text". Numbers and dates are the program's own and stay numbers.
void WriteCsvField(TTextSink& out, QStringView value, bool isText) {
    const QLatin1StringView asText(isText && RunsAsFormula(value) ? "'" : "");
    if (!NeedsQuotes(value)) {
        out << asText << value;
        return;
    }
    out << QLatin1StringView("\"") << asText;
    qsizetype start = 0;
    for (qsizetype quote = value.indexOf(u'"'); quote >= 0; quote = value.indexOf(u'"', start)) {
        out << value.mid(start, quote + 1 - start) << QLatin1StringView("\"");
        start = quote + 1;
    }
    out << value.mid(start) << QLatin1StringView("\"");
}

bool WriteCsv(TCatalogueReport& report, QIODevice& device, const TProgressStep& step) {
    TTextSink out(device);
    const QStringList names = report.FieldNames();
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (i > 0)
            out << QLatin1StringView(",");
        WriteCsvField(out, names.at(i), false);
    }
    // Not a field of the table: the versions kept beside it, as short codes.
    out << QLatin1StringView(",WorksWith") << kRowEnd;
    int done = 0;
    const auto writeRow = [&](const TPackageRow& row) {
        for (int i = 0; i < row.FieldCount(); ++i) {
            const TField& field = row.Field(i);
            if (i > 0)
                out << QLatin1StringView(",");
            const QString text = row.Text(field);
            const TFieldKind kind = field.Kind();
            const bool isText = kind == TFieldKind::String || kind == TFieldKind::Memo || kind == TFieldKind::Lookup;
            WriteCsvField(out, kind == TFieldKind::Memo ? MemoPlainText(text) : text, isText);
        }
        out << QLatin1StringView(",");
        WriteCsvField(out, row.WorksWithMarks(), true);
        out << kRowEnd;
        return step(++done);
    };
    if (!report.Walk([](const TReportSection&) { return true; }, writeRow))
        return false;
    out.Flush();
    return true;
}

}  // namespace velm
