#include "report/print_report.h"

#include "report/memo_text.h"

#include <QAbstractTextDocumentLayout>
#include <QDate>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrinter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <iterator>
#include <stdexcept>
#include <memory>
#include <vector>

namespace velm {

namespace {

// The category table: column captions and their shares of the page width.
struct Column {
    const char* caption;
    qreal share;
};
const Column kColumns[] = {{"Product", 0.16},    {"Version", 0.10}, {"Author", 0.12},
                           {"Licence", 0.11},    {"Compat.", 0.10}, {"Works with", 0.13},
                           {"Status", 0.10},     {"Rating", 0.06},  {"Archive file", 0.12}};

QFont ReportFont(qreal points, bool bold = false) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// One cell's text laid out in its width: a single line drawn as it is, or wrapped
// lines (at word boundaries, or anywhere for a word wider than the cell).
class CellText {
public:
    CellText(const QString& text, const QFont& font, qreal width, QPaintDevice* device) : text_(text), font_(font) {
        const QFontMetricsF metrics(font, device);
        ascent_ = metrics.ascent();
        height_ = metrics.height();
        if (text.isEmpty() || (!text.contains(QLatin1Char('\n')) && metrics.horizontalAdvance(text) <= width))
            return;
        QString wrapped = text;
        wrapped.replace(QLatin1Char('\n'), QChar::LineSeparator);
        layout_ = std::make_unique<QTextLayout>(wrapped, font, device);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout_->setTextOption(option);
        layout_->beginLayout();
        qreal y = 0;
        for (QTextLine line = layout_->createLine(); line.isValid(); line = layout_->createLine()) {
            line.setLineWidth(width);
            line.setPosition(QPointF(0, y));
            y += line.height();
        }
        layout_->endLayout();
        height_ = y;
    }
    qreal Height() const { return height_; }
    void Draw(QPainter& painter, const QPointF& topLeft) const {
        if (layout_) {
            layout_->draw(&painter, topLeft);
        } else if (!text_.isEmpty()) {
            painter.setFont(font_);
            painter.drawText(QPointF(topLeft.x(), topLeft.y() + ascent_), text_);
        }
    }

private:
    QString text_;
    QFont font_;
    qreal ascent_ = 0;
    qreal height_ = 0;
    std::unique_ptr<QTextLayout> layout_;
};

// The pages of one print run: the header and page number of each page, the space left
// on the current one, and the limit of a preview.
class ReportPages {
public:
    ReportPages(QPainter& painter, QPagedPaintDevice& device, const QString& title, int maxPages)
        : painter_(painter), device_(device), title_(title), maxPages_(maxPages), date_(QDate::currentDate()) {
        const qreal dpi = device.logicalDpiY();
        mm_ = dpi / 25.4;
        const QRectF paint = device.pageLayout().paintRectPixels(device.logicalDpiX());
        page_ = QRectF(QPointF(0, 0), paint.size());
        const QFontMetricsF head(HeadFont(), &device);
        body_ = page_.adjusted(0, head.height() + 3 * mm_, 0, -(head.height() + 3 * mm_));
    }

    qreal Mm() const { return mm_; }
    QPaintDevice* Device() const { return &device_; }
    QPainter& Painter() const { return painter_; }
    const QRectF& Body() const { return body_; }
    qreal Y() const { return y_; }
    void Advance(qreal height) { y_ += height; }
    qreal Left() const { return body_.bottom() - y_; }
    bool AtPageTop() const { return y_ <= body_.top() + 0.5; }
    int Pages() const { return pages_; }
    bool LimitReached() const { return limitReached_; }

    // Runs on every page after its header, to repeat a table's heading, say.
    std::function<void()> OnNewPage;

    // Makes room for height below the current position, on a new page when it does
    // not fit here; false when a preview's last page is full.
    bool Reserve(qreal height) {
        if (pages_ > 0 && (height <= Left() || AtPageTop()))
            return true;
        return NextPage();
    }
    bool NextPage() {
        if (maxPages_ > 0 && pages_ >= maxPages_) {
            limitReached_ = true;
            return false;
        }
        if (pages_ > 0)
            device_.newPage();
        ++pages_;
        DrawFrame();
        y_ = body_.top();
        if (OnNewPage)
            OnNewPage();
        return true;
    }

private:
    static QFont HeadFont() { return ReportFont(8); }

    void DrawFrame() {
        painter_.save();
        painter_.setFont(HeadFont());
        painter_.setPen(Qt::black);
        const QFontMetricsF head(HeadFont(), &device_);
        const QRectF top(page_.left(), page_.top(), page_.width(), head.height());
        painter_.drawText(top, Qt::AlignLeft | Qt::AlignVCenter,
                          head.elidedText(QStringLiteral("Velmora catalogue: ") + title_, Qt::ElideRight,
                                          page_.width() * 0.75));
        painter_.drawText(top, Qt::AlignRight | Qt::AlignVCenter, date_.toString(Qt::ISODate));
        painter_.setPen(QPen(Qt::darkGray, 0.2 * mm_));
        painter_.drawLine(QPointF(page_.left(), top.bottom() + mm_), QPointF(page_.right(), top.bottom() + mm_));
        painter_.setPen(Qt::black);
        const QRectF foot(page_.left(), page_.bottom() - head.height(), page_.width(), head.height());
        painter_.drawText(foot, Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("Page %1").arg(pages_));
        painter_.restore();
    }

    QPainter& painter_;
    QPagedPaintDevice& device_;
    QString title_;
    int maxPages_;
    QDate date_;
    qreal mm_ = 1;
    QRectF page_;
    QRectF body_;
    qreal y_ = 0;
    int pages_ = 0;
    bool limitReached_ = false;
};

// Draws a row of cells across the body's width; the row goes to a new page when it
// does not fit. False when a preview's page limit stops it.
bool DrawRow(ReportPages& pages, const QStringList& texts, const std::vector<qreal>& shares, const QFont& font,
             bool shaded) {
    const qreal pad = 0.8 * pages.Mm();
    const qreal width = pages.Body().width();
    std::vector<std::unique_ptr<CellText>> cells;
    qreal height = 0;
    for (size_t i = 0; i < shares.size(); ++i) {
        cells.push_back(std::make_unique<CellText>(texts.value(qsizetype(i)), font, shares[i] * width - 2 * pad,
                                                   pages.Device()));
        height = std::max(height, cells.back()->Height());
    }
    height += 2 * pad;
    if (!pages.Reserve(height))
        return false;
    QPainter& painter = pages.Painter();
    const qreal top = pages.Y();
    if (shaded)
        painter.fillRect(QRectF(pages.Body().left(), top, width, height), QColor(0xE4, 0xE4, 0xE4));
    painter.setPen(Qt::black);
    qreal x = pages.Body().left();
    for (size_t i = 0; i < cells.size(); ++i) {
        cells[i]->Draw(painter, QPointF(x + pad, top + pad));
        x += shares[i] * width;
    }
    painter.setPen(QPen(QColor(0xB0, 0xB0, 0xB0), 0.1 * pages.Mm()));
    painter.drawLine(QPointF(pages.Body().left(), top + height), QPointF(pages.Body().right(), top + height));
    pages.Advance(height);
    return true;
}

// A line of text in its own font, kept on one page.
bool DrawLine(ReportPages& pages, const QString& text, const QFont& font, const QColor& colour, qreal spaceBefore,
              qreal keepWithNext = 0) {
    const CellText cell(text, font, pages.Body().width(), pages.Device());
    const qreal before = pages.AtPageTop() ? 0 : spaceBefore;
    if (!pages.Reserve(before + cell.Height() + keepWithNext))
        return false;
    if (!pages.AtPageTop())
        pages.Advance(before);
    pages.Painter().setPen(colour);
    cell.Draw(pages.Painter(), QPointF(pages.Body().left(), pages.Y()));
    pages.Advance(cell.Height());
    return true;
}

// A document cut at line boundaries over as many pages as it needs.
bool DrawDocument(ReportPages& pages, QTextDocument& document) {
    document.documentLayout()->setPaintDevice(pages.Device());
    document.setDocumentMargin(0);
    document.setTextWidth(pages.Body().width());
    std::vector<qreal> lineEnds;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QTextLayout* layout = block.layout();
        if (!layout)
            continue;
        const qreal top = document.documentLayout()->blockBoundingRect(block).top();
        for (int i = 0; i < layout->lineCount(); ++i)
            lineEnds.push_back(top + layout->lineAt(i).rect().bottom());
    }
    std::sort(lineEnds.begin(), lineEnds.end());
    const qreal total = document.size().height();
    qreal offset = 0;
    while (offset < total - 0.5) {
        const qreal limit = offset + pages.Left();
        qreal end = total;
        if (limit < total) {
            const auto after = std::upper_bound(lineEnds.begin(), lineEnds.end(), limit);
            end = after != lineEnds.begin() ? *(after - 1) : offset;
            if (end <= offset + 0.5) {
                // Not one more line fits here; a line taller than a whole page is cut.
                if (!pages.AtPageTop()) {
                    if (!pages.NextPage())
                        return false;
                    continue;
                }
                end = limit;
            }
        }
        QPainter& painter = pages.Painter();
        painter.save();
        painter.translate(pages.Body().left(), pages.Y() - offset);
        document.drawContents(&painter, QRectF(0, offset, pages.Body().width(), end - offset));
        painter.restore();
        pages.Advance(end - offset);
        offset = end;
        if (offset < total - 0.5 && !pages.NextPage())
            return false;
    }
    return true;
}

// Tables of components, one category after another.
class CategoryTables {
public:
    explicit CategoryTables(ReportPages& pages) : pages_(pages) {
        for (const Column& column : kColumns)
            shares_.push_back(column.share);
        pages_.OnNewPage = [this] { Continue(); };
    }
    bool Legend() {
        return pages_.Reserve(0) && DrawLine(pages_, CompatibilityLegend(), ReportFont(8), Qt::darkGray, 0);
    }
    bool Section(const TReportSection& section) {
        section_ = QString();  // no heading repeats until this one's is drawn
        const QString name = section.WithoutCategory ? QStringLiteral("Without a category") : section.CategoryName;
        const qreal keep = 3 * QFontMetricsF(Body(), pages_.Device()).height() + 4 * pages_.Mm();
        if (!DrawLine(pages_, QStringLiteral("%1 (%2)").arg(name).arg(section.PackageCount), ReportFont(12, true),
                      QColor(0, 0, 128), 5 * pages_.Mm(), keep))
            return false;
        section_ = name;
        if (section.PackageCount == 0)
            return DrawLine(pages_, QStringLiteral("No components."), Body(), Qt::darkGray, pages_.Mm());
        return Header();
    }
    bool Package(const TPackageRow& row) {
        const QStringList cells{row.ProductName(),
                                row.Version(),
                                row.Author(),
                                row.Licence(),
                                row.CompatibilityMarks(),
                                row.WorksWithMarks(),
                                row.Status(),
                                QString::number(row.Rating()),
                                row.ArchiveFile()};
        return DrawRow(pages_, cells, shares_, Body(), false);
    }
    void EndSection() { section_ = QString(); }

private:
    static QFont Body() { return ReportFont(9); }
    bool Header() {
        QStringList captions;
        for (const Column& column : kColumns)
            captions << QString::fromLatin1(column.caption);
        return DrawRow(pages_, captions, shares_, ReportFont(9, true), true);
    }
    // A table that runs on over a page break gets its heading again.
    void Continue() {
        if (section_.isEmpty())
            return;
        DrawLine(pages_, section_ + QStringLiteral(" (continued)"), ReportFont(10, true), QColor(0, 0, 128), 0);
        Header();
    }

    ReportPages& pages_;
    std::vector<qreal> shares_;
    QString section_;
};

// One component's whole record.
bool PrintRecord(ReportPages& pages, const TPackageRow& row) {
    if (!pages.Reserve(0) || !DrawLine(pages, row.ProductName(), ReportFont(16, true), Qt::black, 0))
        return false;
    pages.Advance(2 * pages.Mm());
    const std::vector<qreal> shares{0.28, 0.72};
    const QFont body = ReportFont(10);
    const QList<QPair<QString, QString>> fields{
        {QStringLiteral("Category"), row.CategoryName()},
        {QStringLiteral("Version"), row.Version()},
        {QStringLiteral("Date"), row.ReleaseDate()},
        {QStringLiteral("With source"), row.FullSource() ? QStringLiteral("Yes") : QStringLiteral("No")},
        {QStringLiteral("Author"), row.Author()},
        {QStringLiteral("Email"), row.AuthorEmail()},
        {QStringLiteral("Archive filename"), row.ArchiveFile()},
        {QStringLiteral("Archive file path"), row.ArchiveFolder()},
        {QStringLiteral("Download date"), row.DownloadDate()},
        {QStringLiteral("Download from"), row.FileUrl()},
        {QStringLiteral("Compatibility"), row.Compatibility().join(QStringLiteral(", "))},
        {QStringLiteral("Works with"), row.WorksWith().join(QStringLiteral(", "))},
        {QStringLiteral("Availability"), row.Licence()},
        {QStringLiteral("Install status"), row.Status()},
        {QStringLiteral("Rating"), QString::number(row.Rating())},
    };
    for (const auto& [label, value] : fields)
        if (!DrawRow(pages, {label, value}, shares, body, false))
            return false;
    for (const auto& [label, stored] : {QPair<QString, QString>{QStringLiteral("Description"), row.Description()},
                                        QPair<QString, QString>{QStringLiteral("Comments"), row.Comments()}}) {
        if (stored.isEmpty())
            continue;
        const qreal keep = 2 * QFontMetricsF(body, pages.Device()).height();
        if (!DrawLine(pages, label, ReportFont(12, true), QColor(0, 0, 128), 5 * pages.Mm(), keep))
            return false;
        pages.Advance(pages.Mm());
        QTextDocument document;
        document.setDefaultFont(body);
        LoadMemoDocument(document, stored);
        if (!DrawDocument(pages, document))
            return false;
    }
    return true;
}

}  // namespace

TPrintOutcome PrintReport(TCatalogueReport& report, QPagedPaintDevice& device, const TPrintOptions& options,
                          const TProgressStep& step) {
    TPrintOutcome outcome;
    QPainter painter;
    if (!painter.begin(&device))
        throw std::runtime_error("The printer could not be started");
    ReportPages pages(painter, device, report.Title(), options.MaxPages);
    int done = 0;
    bool finished = false;
    if (report.Scope() == TReportScope::Component) {
        finished = report.Walk([](const TReportSection&) { return true; },
                               [&](const TPackageRow& row) { return PrintRecord(pages, row) && step(++done); });
    } else {
        CategoryTables tables(pages);
        finished = tables.Legend() &&
                   report.Walk([&](const TReportSection& section) { return tables.Section(section); },
                               [&](const TPackageRow& row) { return tables.Package(row) && step(++done); });
        tables.EndSection();
    }
    outcome.PageLimitReached = pages.LimitReached();
    outcome.Stopped = !finished && !outcome.PageLimitReached;
    // An empty catalogue still prints its page with the header.
    if (pages.Pages() == 0 && !outcome.Stopped)
        pages.NextPage();
    if (auto* printer = dynamic_cast<QPrinter*>(&device); printer && outcome.Stopped)
        printer->abort();
    painter.end();
    outcome.Pages = pages.Pages();
    return outcome;
}

}  // namespace velm
