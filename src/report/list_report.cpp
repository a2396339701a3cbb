#include "report/list_report.h"

#include "kit/command_guard.h"
#include "kit/file_dialogs.h"
#include "kit/messages.h"
#include "report/csv_export.h"
#include "report/print_dialog.h"
#include "report/text_sink.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrinter>
#include <QSaveFile>

#include <algorithm>

namespace velm {

namespace {

const QLatin1StringView kRowEnd("\r\n");

QFont ListFont(qreal points, bool bold = false) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// Each column's share of the page: as wide as its texts are on average, within bounds,
// so a path or a reason gets more room than a state.
std::vector<qreal> ColumnShares(const TListReport& list) {
    std::vector<qreal> shares;
    qreal total = 0;
    for (qsizetype c = 0; c < list.Columns.size(); ++c) {
        qint64 length = 0;
        for (const QStringList& row : list.Rows)
            length += row.value(c).size();
        const qreal average = list.Rows.empty() ? 0 : qreal(length) / qreal(list.Rows.size());
        shares.push_back(std::clamp(average, qreal(std::max<qsizetype>(list.Columns.at(c).size(), 6)), qreal(40)));
        total += shares.back();
    }
    for (qreal& share : shares)
        share /= total;
    return shares;
}

// Lays out the pages of a printed list: frame, headings, rows that wrap.
class ListPages {
public:
    ListPages(const TListReport& list, QPagedPaintDevice& device, QPainter& painter, int maxPages)
        : list_(list), device_(device), painter_(painter), maxPages_(maxPages), date_(QDate::currentDate()) {
        mm_ = device.logicalDpiY() / 25.4;
        page_ = QRectF(QPointF(0, 0), device.pageLayout().paintRectPixels(device.logicalDpiX()).size());
        const QFontMetricsF head(ListFont(8), &device);
        body_ = page_.adjusted(0, head.height() + 3 * mm_, 0, -(head.height() + 3 * mm_));
        const std::vector<qreal> shares = ColumnShares(list);
        qreal x = body_.left();
        for (qreal share : shares) {
            columns_.push_back({x, share * body_.width()});
            x += share * body_.width();
        }
    }

    // False when a preview's last page is full.
    bool Row(const QStringList& texts, bool heading) {
        const QFont font = ListFont(9, heading);
        painter_.setFont(font);
        const qreal pad = 0.8 * mm_;
        qreal height = QFontMetricsF(font, &device_).height();
        for (size_t c = 0; c < columns_.size(); ++c)
            height = std::max(height, painter_.boundingRect(QRectF(0, 0, columns_[c].width - 2 * pad, 1e6),
                                                            Qt::TextWrapAnywhere, texts.value(qsizetype(c)))
                                          .height());
        height += pad;
        if (pages_ == 0 || (y_ + height > body_.bottom() && y_ > top_ + 0.5)) {
            if (!NextPage())
                return false;
            if (!heading && !Row(list_.Columns, true))
                return false;
            painter_.setFont(font);
        }
        for (size_t c = 0; c < columns_.size(); ++c)
            painter_.drawText(QRectF(columns_[c].x + pad, y_, columns_[c].width - 2 * pad, height),
                              Qt::TextWrapAnywhere, texts.value(qsizetype(c)));
        y_ += height;
        painter_.setPen(QPen(heading ? Qt::black : Qt::lightGray, 0.15 * mm_));
        painter_.drawLine(QPointF(body_.left(), y_), QPointF(body_.right(), y_));
        painter_.setPen(Qt::black);
        return true;
    }
    int Pages() const { return pages_; }

private:
    struct Column {
        qreal x;
        qreal width;
    };

    bool NextPage() {
        if (maxPages_ > 0 && pages_ >= maxPages_)
            return false;
        if (pages_ > 0)
            device_.newPage();
        ++pages_;
        const QFont headFont = ListFont(8);
        painter_.setFont(headFont);
        const QFontMetricsF head(headFont, &device_);
        const QRectF top(page_.left(), page_.top(), page_.width(), head.height());
        painter_.drawText(top, Qt::AlignLeft | Qt::AlignVCenter,
                          head.elidedText(QStringLiteral("Velmora catalogue: ") + list_.Title, Qt::ElideRight,
                                          page_.width() * 0.75));
        painter_.drawText(top, Qt::AlignRight | Qt::AlignVCenter, date_.toString(Qt::ISODate));
        const QRectF foot(page_.left(), page_.bottom() - head.height(), page_.width(), head.height());
        painter_.drawText(foot, Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("Page %1").arg(pages_));
        top_ = y_ = body_.top();
        return true;
    }

    const TListReport& list_;
    QPagedPaintDevice& device_;
    QPainter& painter_;
    int maxPages_;
    QDate date_;
    qreal mm_ = 1;
    QRectF page_;
    QRectF body_;
    std::vector<Column> columns_;
    qreal y_ = 0;
    qreal top_ = 0;
    int pages_ = 0;
};

QString& LastListFolder() {
    static QString folder = QDir::homePath();
    return folder;
}

}  // namespace

void WriteListCsv(const TListReport& list, QIODevice& device) {
    TTextSink out(device);
    const auto writeRow = [&out](const QStringList& texts) {
        for (qsizetype i = 0; i < texts.size(); ++i) {
            if (i > 0)
                out << QLatin1StringView(",");
            WriteCsvField(out, texts.at(i), true);
        }
        out << kRowEnd;
    };
    writeRow(list.Columns);
    for (const QStringList& row : list.Rows)
        writeRow(row);
    out.Flush();
}

void WriteListHtml(const TListReport& list, QIODevice& device) {
    TTextSink out(device);
    const QString title = (QStringLiteral("Velmora catalogue: ") + list.Title).toHtmlEscaped();
    out << QLatin1StringView(
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline'\">\n"
        "<style>\nbody { font-family: Arial, Helvetica, sans-serif; font-size: 10pt; margin: 1.5em; }\n"
        "table { border-collapse: collapse; width: 100%; }\n"
        "th, td { border: 1px solid #999; padding: 2px 4px; vertical-align: top; text-align: left; }\n"
        "th { background: #ddd; }\n</style>\n");
    out << QStringLiteral("<title>%1</title>\n</head>\n<body>\n<h1>%1</h1>\n<p>Written %2.</p>\n<table>\n<thead><tr>")
               .arg(title, QDate::currentDate().toString(Qt::ISODate));
    for (const QString& column : list.Columns)
        out << QStringLiteral("<th>%1</th>").arg(column.toHtmlEscaped());
    out << QLatin1StringView("</tr></thead>\n<tbody>\n");
    for (const QStringList& row : list.Rows) {
        out << QLatin1StringView("<tr>");
        for (const QString& text : row)
            out << QStringLiteral("<td>%1</td>").arg(text.toHtmlEscaped());
        out << QLatin1StringView("</tr>\n");
    }
    out << QLatin1StringView("</tbody>\n</table>\n</body>\n</html>\n");
    out.Flush();
}

TPrintOutcome PrintList(const TListReport& list, QPagedPaintDevice& device, const TPrintOptions& options) {
    TPrintOutcome outcome;
    QPainter painter(&device);
    ListPages pages(list, device, painter, options.MaxPages);
    bool fits = pages.Row(list.Columns, true);
    for (size_t i = 0; fits && i < list.Rows.size(); ++i)
        fits = pages.Row(list.Rows[i], false);
    outcome.PageLimitReached = !fits;
    outcome.Pages = pages.Pages();
    return outcome;
}

void PrintListReport(QWidget* parent, const TListReport& list) {
    TPrintRequest request;
    request.Choices << list.Title;
    request.Preview = [&list](QPrinter& printer, int) {
        TPrintOptions options;
        options.MaxPages = kPreviewPages;
        return PrintList(list, printer, options);
    };
    request.Print = [&list](QPrinter& printer, int) { RunCommand([&] { PrintList(list, printer, {}); }); };
    RunPrintDialog(parent, request);
}

void ExportListReport(QWidget* parent, const TListReport& list) {
    const QStringList filters{QStringLiteral("CSV file (*.csv)"), QStringLiteral("HTML page (*.html *.htm)")};
    TSaveDialogRequest request;
    request.Title = QStringLiteral("Export %1").arg(list.Title);
    request.Filters = filters;
    request.StartFolder = LastListFolder();
    request.FileName = list.Title + QStringLiteral(".csv");
    const TSavePick pick = PickFileToSave(parent, request);
    if (!pick.Picked())
        return;
    QString path = pick.File;
    const QString suffix = QFileInfo(path).suffix().toLower();
    // A typed extension chooses the type, whatever type the dialog showed.
    const bool html = suffix == QLatin1String("html") || suffix == QLatin1String("htm") ||
                      (suffix != QLatin1String("csv") && pick.Filter == 1);
    if (suffix.isEmpty())
        path += html ? QStringLiteral(".html") : QStringLiteral(".csv");
    const auto failed = [&](const QString& reason) {
        ShowError(QStringLiteral("The list could not be exported to %1: %2").arg(QDir::toNativeSeparators(path), reason));
    };
    // Written beside the target and put in its place only when complete.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        failed(file.errorString());
        return;
    }
    try {
        html ? WriteListHtml(list, file) : WriteListCsv(list, file);
    } catch (const EExportWriteError& error) {
        file.cancelWriting();
        failed(QString::fromStdString(error.what()));
        return;
    }
    if (!file.commit()) {
        failed(file.errorString());
        return;
    }
    LastListFolder() = QFileInfo(path).absolutePath();
}

}  // namespace velm
