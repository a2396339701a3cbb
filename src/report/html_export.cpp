#include "report/html_export.h"

#include "report/memo_text.h"
#include "report/text_sink.h"

#include <QDate>

#include <iterator>

namespace velm {

namespace {

const char* const kColumns[] = {"Product",  "Version", "Released",     "Author",       "E-mail",
                                "Licence",  "Source",  "Compatibility", "Works with", "Status",      "Rating",
                                "Archive file", "Archive folder", "Downloaded", "Download from"};
constexpr int kColumnCount = int(std::size(kColumns));

// Nothing outside the page is loaded or run, whatever a memo held.
const QLatin1StringView kHead(
    "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
    "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline'\">\n"
    "<style>\n"
    "body { font-family: Arial, Helvetica, sans-serif; font-size: 10pt; margin: 1.5em; }\n"
    "h1 { font-size: 16pt; margin-bottom: 0.2em; }\n"
    "h2 { font-size: 13pt; color: navy; margin: 1.5em 0 0.4em; }\n"
    "table { border-collapse: collapse; width: 100%; }\n"
    "th, td { border: 1px solid #999; padding: 2px 4px; vertical-align: top; text-align: left; }\n"
    "th { background: #ddd; }\n"
    "tr.memo td { background: #f6f6f6; padding-left: 2em; }\n"
    ".label { font-weight: bold; margin-top: 0.3em; }\n"
    ".none { color: #666; font-style: italic; }\n"
    "</style>\n");

QString Cell(const QString& text) { return QStringLiteral("<td>") + text.toHtmlEscaped() + QStringLiteral("</td>"); }

QString SectionHeading(const TReportSection& section) {
    return section.WithoutCategory ? QStringLiteral("Without a category") : section.CategoryName;
}

}  // namespace

bool WriteHtml(TCatalogueReport& report, QIODevice& device, const TProgressStep& step) {
    TTextSink out(device);
    const QString title = QStringLiteral("Velmora catalogue: ") + report.Title();
    out << kHead;
    out << QStringLiteral("<title>%1</title>\n</head>\n<body>\n<h1>%1</h1>\n").arg(title.toHtmlEscaped());
    out << QStringLiteral("<p>%1 components, written %2. %3.</p>\n")
               .arg(report.PackageCount())
               .arg(QDate::currentDate().toString(Qt::ISODate), CompatibilityLegend().toHtmlEscaped());

    bool tableOpen = false;
    const auto closeTable = [&] {
        if (tableOpen)
            out << QLatin1StringView("</tbody>\n</table>\n");
        tableOpen = false;
    };
    const auto onSection = [&](const TReportSection& section) {
        closeTable();
        out << QStringLiteral("<h2>%1</h2>\n").arg(SectionHeading(section).toHtmlEscaped());
        if (section.PackageCount == 0) {
            out << QLatin1StringView("<p class=\"none\">No components.</p>\n");
            return true;
        }
        out << QLatin1StringView("<table>\n<thead><tr>");
        for (const char* column : kColumns)
            out << QLatin1StringView("<th>") << QLatin1StringView(column) << QLatin1StringView("</th>");
        out << QLatin1StringView("</tr></thead>\n<tbody>\n");
        tableOpen = true;
        return true;
    };
    int done = 0;
    const auto onPackage = [&](const TPackageRow& row) {
        QString line = QStringLiteral("<tr>");
        line += Cell(row.ProductName());
        line += Cell(row.Version());
        line += Cell(row.ReleaseDate());
        line += Cell(row.Author());
        line += Cell(row.AuthorEmail());
        line += Cell(row.Licence());
        line += Cell(row.FullSource() ? QStringLiteral("Yes") : QString());
        line += Cell(row.Compatibility().join(QStringLiteral(", ")));
        line += Cell(row.WorksWith().join(QStringLiteral(", ")));
        line += Cell(row.Status());
        line += Cell(QString::number(row.Rating()));
        line += Cell(row.ArchiveFile());
        line += Cell(row.ArchiveFolder());
        line += Cell(row.DownloadDate());
        line += Cell(row.FileUrl());
        line += QStringLiteral("</tr>\n");
        out << line;
        const QString description = MemoSafeHtml(row.Description());
        const QString comments = MemoSafeHtml(row.Comments());
        if (!description.isEmpty() || !comments.isEmpty()) {
            out << QStringLiteral("<tr class=\"memo\"><td colspan=\"%1\">").arg(kColumnCount);
            if (!description.isEmpty())
                out << QLatin1StringView("<div class=\"label\">Description</div>\n") << description;
            if (!comments.isEmpty())
                out << QLatin1StringView("<div class=\"label\">Comments</div>\n") << comments;
            out << QLatin1StringView("</td></tr>\n");
        }
        return step(++done);
    };
    if (!report.Walk(onSection, onPackage))
        return false;
    closeTable();
    out << QLatin1StringView("</body>\n</html>\n");
    out.Flush();
    return true;
}

}  // namespace velm
