#include "widgets/sort_grid.h"

#include "catalogue/ascii_case.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLocale>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QStyle>

#include <algorithm>
#include <cmath>

namespace velm {

namespace {

constexpr qint64 kMsecsPerDay = 86400000;

// Zip archives carry MS-DOS dates, which begin in 1980: a two-digit year is read into
// 1980..2079, so that "01" sorts after "99".
constexpr int kFirstTwoDigitYear = 1980;

const QRegularExpression& TwoDigitYear() {
    static const QRegularExpression pattern(QStringLiteral("(?<!y)yy(?!y)"));
    return pattern;
}

bool HasTwoDigitYear(const QString& format) { return TwoDigitYear().match(format).hasMatch(); }

// The locale's short date with the year widened to four digits, to read dates that
// another program wrote in full.
QString WideYearDateFormat(const QLocale& locale) {
    return locale.dateFormat(QLocale::ShortFormat).replace(TwoDigitYear(), QStringLiteral("yyyy"));
}

QDate InTwoDigitYearWindow(QDate date) {
    while (date.year() < kFirstTwoDigitYear)
        date = date.addYears(100);
    return date;
}

void AppendOnce(QStringList& list, const QString& value) {
    if (!value.isEmpty() && !list.contains(value))
        list.append(value);
}

// Reads cells under one locale, with the formats prepared once for a whole column.
class CellReader {
public:
    CellReader() {
        locale_.setNumberOptions(QLocale::RejectGroupSeparator);
        // What FormatGridDateTime writes first: a four-digit format would take "01" as
        // the year 1.
        AppendOnce(dateFormats_, locale_.dateFormat(QLocale::ShortFormat).simplified());
        AppendOnce(dateFormats_, WideYearDateFormat(locale_).simplified());
        AppendOnce(timeFormats_, locale_.timeFormat(QLocale::ShortFormat).simplified());
        AppendOnce(timeFormats_, locale_.timeFormat(QLocale::LongFormat).simplified());
        AppendOnce(timeFormats_, QStringLiteral("H:mm:ss"));
        AppendOnce(timeFormats_, QStringLiteral("H:mm"));
        for (const QString& date : dateFormats_) {
            for (const QString& time : timeFormats_)
                dateTimeFormats_.append(date + u' ' + time);
        }
    }

    std::optional<double> Float(const QString& text) const {
        bool ok = false;
        const double value = locale_.toDouble(text, &ok);
        // Not-a-number and infinity are words, not numbers, for a sorting user.
        if (!ok || !std::isfinite(value))
            return std::nullopt;
        return value;
    }

    std::optional<qint64> DateTime(const QString& text) {
        const QString simple = text.simplified();
        if (simple.isEmpty())
            return std::nullopt;
        if (auto date = Try(dateFormats_, lastDate_, [&](const QString& f) { return locale_.toDate(simple, f); })) {
            if (HasTwoDigitYear(dateFormats_[lastDate_]))
                *date = InTwoDigitYearWindow(*date);
            return date->toJulianDay() * kMsecsPerDay;
        }
        if (const auto value =
                Try(dateTimeFormats_, lastDateTime_, [&](const QString& f) { return locale_.toDateTime(simple, f); })) {
            QDate date = value->date();
            if (HasTwoDigitYear(dateTimeFormats_[lastDateTime_]))
                date = InTwoDigitYearWindow(date);
            return date.toJulianDay() * kMsecsPerDay + value->time().msecsSinceStartOfDay();
        }
        return std::nullopt;
    }

    std::optional<qint64> Time(const QString& text) {
        const QString simple = text.simplified();
        if (simple.isEmpty())
            return std::nullopt;
        if (const auto time = Try(timeFormats_, lastTime_, [&](const QString& f) { return locale_.toTime(simple, f); }))
            return time->msecsSinceStartOfDay();
        return std::nullopt;
    }

private:
    // The formats in a fixed order: which one reads a cell must not depend on the
    // cells read before it ("01" is a year of two digits before it is one of four).
    template <typename Parse>
    static auto Try(const QStringList& formats, qsizetype& used, Parse parse) -> std::optional<decltype(parse(QString()))> {
        for (qsizetype i = 0; i < formats.size(); ++i) {
            const auto value = parse(formats[i]);
            if (value.isValid()) {
                used = i;
                return value;
            }
        }
        return std::nullopt;
    }

    QLocale locale_;
    QStringList dateFormats_;
    QStringList timeFormats_;
    QStringList dateTimeFormats_;
    qsizetype lastDate_ = 0;  // the format that read the last value
    qsizetype lastTime_ = 0;
    qsizetype lastDateTime_ = 0;
};

// Code-point order: UTF-16 units sort surrogate pairs before U+E000..U+FFFF otherwise.
int CodePointRank(char16_t unit) {
    if (unit < 0xD800)
        return unit;
    return unit >= 0xE000 ? unit - 0x800 : unit + 0x2000;
}

int OrdinalCompare(const QString& a, const QString& b) {
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t x = a[i].unicode();
        const char16_t y = b[i].unicode();
        if (x != y)
            return CodePointRank(x) < CodePointRank(y) ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// A cell converted once for the whole sort. Plain digits are also kept as an exact
// integer: a double tells sizes apart only up to 2^53 bytes, and a zip64 directory can
// claim sizes up to 2^64 - 1.
struct SortKey {
    bool valid = false;
    bool whole = false;
    double number = 0;
    quint64 integer = 0;
    qint64 msecs = 0;
    QString text;
};

bool ReadWholeNumber(const QString& text, quint64& value) {
    if (text.isEmpty() || text.size() > 20)
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    bool ok = false;
    value = text.toULongLong(&ok);
    return ok;
}

template <typename T>
int Order(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

int CompareKeys(const SortKey& a, const SortKey& b, TSortStyle style) {
    switch (style) {
    case TSortStyle::Numeric:
        if (a.whole && b.whole)
            return Order(a.integer, b.integer);
        return a.valid && b.valid ? Order(a.number, b.number) : 0;
    case TSortStyle::DateTime:
    case TSortStyle::Time:
        return a.valid && b.valid ? Order(a.msecs, b.msecs) : 0;
    case TSortStyle::Alpha:
        break;
    }
    return OrdinalCompare(a.text, b.text);
}

// Bottom-up merge sort: stable, and it never leaves the array whatever the comparison
// answers (cells that do not convert make it intransitive).
template <typename Compare>
void StableMergeSort(std::vector<int>& items, Compare compare) {
    const size_t n = items.size();
    std::vector<int> buffer(n);
    for (size_t width = 1; width < n; width *= 2) {
        for (size_t left = 0; left < n; left += 2 * width) {
            const size_t mid = std::min(left + width, n);
            const size_t right = std::min(left + 2 * width, n);
            size_t i = left, j = mid, k = left;
            while (i < mid && j < right)
                buffer[k++] = compare(items[j], items[i]) < 0 ? items[j++] : items[i++];
            while (i < mid)
                buffer[k++] = items[i++];
            while (j < right)
                buffer[k++] = items[j++];
        }
        items.swap(buffer);
    }
}

// Restores the cursor however the sort ends.
class HourglassCursor {
public:
    HourglassCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~HourglassCursor() { QGuiApplication::restoreOverrideCursor(); }
    HourglassCursor(const HourglassCursor&) = delete;
    HourglassCursor& operator=(const HourglassCursor&) = delete;
};

}  // namespace

QString FormatGridDateTime(const QDateTime& value) {
    if (!value.isValid())
        return {};
    const QLocale locale;
    return locale.toString(value.date(), QLocale::ShortFormat) + QStringLiteral("  ") +
           locale.toString(value.time(), QLocale::ShortFormat);
}

std::optional<double> GridTextToFloat(const QString& text) { return CellReader().Float(text); }
std::optional<qint64> GridTextToDateTime(const QString& text) { return CellReader().DateTime(text); }
std::optional<qint64> GridTextToTime(const QString& text) { return CellReader().Time(text); }

TSortStyle DetectSortStyle(const QStringList& cells) {
    CellReader reader;
    const auto all = [&](auto converts) { return std::all_of(cells.begin(), cells.end(), converts); };
    if (all([&](const QString& cell) { return reader.Float(cell).has_value(); }))
        return TSortStyle::Numeric;
    if (all([&](const QString& cell) { return reader.DateTime(cell).has_value(); }))
        return TSortStyle::DateTime;
    if (all([&](const QString& cell) { return reader.Time(cell).has_value(); }))
        return TSortStyle::Time;
    return TSortStyle::Alpha;
}

std::vector<int> SortedOrder(const QStringList& cells, const TSortOptions& options) {
    CellReader reader;
    std::vector<SortKey> keys(size_t(cells.size()));
    for (qsizetype i = 0; i < cells.size(); ++i) {
        SortKey& key = keys[size_t(i)];
        key.text = options.SortCaseSensitive ? cells[i] : AsciiUpperCase(cells[i]);
        switch (options.SortStyle) {
        case TSortStyle::Numeric:
            if (const auto value = reader.Float(key.text)) {
                key.valid = true;
                key.number = *value;
                key.whole = ReadWholeNumber(key.text, key.integer);
            }
            break;
        case TSortStyle::DateTime:
        case TSortStyle::Time: {
            const auto value = options.SortStyle == TSortStyle::Time ? reader.Time(key.text) : reader.DateTime(key.text);
            if (value) {
                key.valid = true;
                key.msecs = *value;
            }
            break;
        }
        case TSortStyle::Alpha:
            break;
        }
    }
    std::vector<int> order(keys.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    const int sign = options.SortDirection == TSortDirection::Descending ? -1 : 1;
    StableMergeSort(order, [&](int a, int b) { return sign * CompareKeys(keys[size_t(a)], keys[size_t(b)], options.SortStyle); });
    return order;
}

TSortGrid::TSortGrid(QWidget* parent) : QTableWidget(1, 0, parent) {
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setShowGrid(true);
    setWordWrap(false);
    // Cut at the cell's edge rather than hide the end of a date behind dots.
    setTextElideMode(Qt::ElideNone);
    setCornerButtonEnabled(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    QHeaderView* header = horizontalHeader();
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setHighlightSections(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->viewport()->installEventFilter(this);
    connect(header, &QHeaderView::sectionResized, this, [this] {
        if (pressed_)
            dragging_ = true;
    });
    ShowFixedRows();
}

void TSortGrid::SetRowCount(int rows) {
    rows = std::max(rows, 1);
    setRowCount(rows);
    if (fixedRows_ >= rows)
        fixedRows_ = rows - 1;
    ShowFixedRows();
}

void TSortGrid::SetColCount(int columns) {
    setColumnCount(std::max(columns, 0));
    SyncCaptions();
}

void TSortGrid::SetFixedRows(int rows) {
    rows = std::clamp(rows, 0, 1);
    if (rows >= rowCount())
        rows = rowCount() - 1;
    fixedRows_ = std::max(rows, 0);
    ShowFixedRows();
}

QString TSortGrid::Cells(int column, int row) const {
    const QTableWidgetItem* cell = item(row, column);
    return cell ? cell->text() : QString();
}

void TSortGrid::SetCells(int column, int row, const QString& text) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return;
    QTableWidgetItem* cell = item(row, column);
    if (!cell) {
        cell = new QTableWidgetItem;
        cell->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        cell->setTextAlignment(Qt::AlignLeft | Qt::AlignTop);
        setItem(row, column, cell);
    }
    cell->setText(text);
    if (row == 0)
        SyncCaptions();
}

void TSortGrid::SetColWidth(int column, int width) { setColumnWidth(column, width); }

int TSortGrid::Row() const {
    const int row = currentRow();
    return row >= 0 ? row : std::min(fixedRows_, rowCount() - 1);
}

int TSortGrid::Col() const { return std::max(currentColumn(), 0); }

void TSortGrid::SetRow(int row) {
    if (row >= fixedRows_ && row < rowCount() && columnCount() > 0)
        setCurrentCell(row, Col());
}

TSortStyle TSortGrid::DetectSortStyle(int column) const {
    QStringList cells;
    for (int row = fixedRows_; row < rowCount(); ++row)
        cells.append(Cells(column, row));
    return velm::DetectSortStyle(cells);
}

void TSortGrid::SortByColumn(int column, TSortDirection direction) {
    const int first = fixedRows_;
    const int count = rowCount() - first;
    if (column < 0 || column >= columnCount() || first == 0 || count < 2)
        return;
    HourglassCursor hourglass;

    QStringList cells;
    cells.reserve(count);
    for (int row = first; row < rowCount(); ++row)
        cells.append(Cells(column, row));
    TSortOptions options;
    options.SortStyle = velm::DetectSortStyle(cells);
    options.SortDirection = direction;
    options.SortCaseSensitive = CaseSensitive;
    emit BeginSort(column, options);

    const std::vector<int> order = SortedOrder(cells, options);
    const int selectedRow = currentRow();
    const int selectedColumn = Col();
    const int columns = columnCount();
    std::vector<QTableWidgetItem*> taken(size_t(count) * size_t(columns));
    for (int row = 0; row < count; ++row) {
        for (int col = 0; col < columns; ++col)
            taken[size_t(row) * columns + col] = takeItem(first + row, col);
    }
    int newSelectedRow = -1;
    for (int row = 0; row < count; ++row) {
        const int from = order[size_t(row)];
        for (int col = 0; col < columns; ++col)
            setItem(first + row, col, taken[size_t(from) * columns + col]);
        if (first + from == selectedRow)
            newSelectedRow = first + row;
    }
    if (newSelectedRow >= 0)
        setCurrentCell(newSelectedRow, selectedColumn);
}

void TSortGrid::ShowFixedRows() {
    const bool fixed = fixedRows_ == 1;
    if (rowCount() > 0)
        setRowHidden(0, fixed);
    horizontalHeader()->setVisible(fixed);
    SyncCaptions();
    if (columnCount() == 0 || rowCount() == 0)
        return;
    // Like any grid, there is always a selected cell, never in a fixed row.
    if (currentRow() < fixedRows_)
        setCurrentCell(fixedRows_, Col());
}

void TSortGrid::SyncCaptions() {
    for (int col = 0; col < columnCount(); ++col) {
        QTableWidgetItem* caption = horizontalHeaderItem(col);
        if (!caption) {
            caption = new QTableWidgetItem;
            setHorizontalHeaderItem(col, caption);
        }
        caption->setText(Cells(col, 0));
    }
}

bool TSortGrid::OnSectionHandle(int x) const {
    const QHeaderView* header = horizontalHeader();
    const int grip = header->style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, header);
    for (int col = 0; col < header->count(); ++col) {
        if (header->isSectionHidden(col))
            continue;
        const int edge = header->sectionViewportPosition(col) + header->sectionSize(col);
        if (x > edge - grip && x < edge + grip)
            return true;
    }
    return false;
}

void TSortGrid::changeEvent(QEvent* event) {
    QTableWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
}

bool TSortGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == horizontalHeader()->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            pressed_ = true;
            dragging_ = OnSectionHandle(int(mouse->position().x()));
            // A click on the captions focuses the grid, as a click anywhere on it does.
            setFocus(Qt::MouseFocusReason);
            break;
        }
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const bool endsDrag = dragging_ || !pressed_;
            pressed_ = false;
            dragging_ = false;
            const bool plainClick = !(mouse->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) &&
                                    mouse->buttons() == Qt::NoButton;
            if (ClickSorting && !endsDrag && plainClick && fixedRows_ == 1 && hasFocus()) {
                const int column = horizontalHeader()->logicalIndexAt(mouse->position().toPoint());
                if (column >= 0) {
                    SortByColumn(column, mouse->button() == Qt::RightButton ? TSortDirection::Descending
                                                                          : TSortDirection::Ascending);
                }
            }
            break;
        }
        default:
            break;
        }
    }
    return QTableWidget::eventFilter(watched, event);
}

}  // namespace velm
