#include "report/csv_export.h"

#include "catalogue/field.h"
#include "report/memo_text.h"
#include "report/text_sink.h"

namespace velm {

namespace {

const QLatin1StringView kRowEnd("\r\n");

bool NeedsQuotes(const QString& value) {
    for (const QChar c : value)
        if (c == QLatin1Char(',') || c == QLatin1Char('"') || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            return true;
    return false;
}

}  // namespace

QString CsvField(const QString& value) {
    if (!NeedsQuotes(value))
        return value;
    QString quoted = value;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

bool WriteCsv(TCatalogueReport& report, QIODevice& device, const TProgressStep& step) {
    TTextSink out(device);
    const QStringList names = report.FieldNames();
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (i > 0)
            out << QLatin1StringView(",");
        out << CsvField(names.at(i));
    }
    out << kRowEnd;
    int done = 0;
    const auto writeRow = [&](const TPackageRow& row) {
        for (int i = 0; i < row.FieldCount(); ++i) {
            const TField& field = row.Field(i);
            if (i > 0)
                out << QLatin1StringView(",");
            const QString text = row.Text(field);
            out << CsvField(field.Kind() == TFieldKind::Memo ? MemoPlainText(text) : text);
        }
        out << kRowEnd;
        return step(++done);
    };
    if (!report.Walk([](const TReportSection&) { return true; }, writeRow))
        return false;
    out.Flush();
    return true;
}

}  // namespace velm
