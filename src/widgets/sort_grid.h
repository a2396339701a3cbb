#pragma once

#include "catalogue/ascii_case.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTableWidget>

#include <optional>
#include <vector>

namespace velm {

enum class TSortStyle { Numeric, DateTime, Time, Alpha };
enum class TSortDirection { Ascending, Descending };

struct TSortOptions {
    TSortStyle SortStyle = TSortStyle::Alpha;
    TSortDirection SortDirection = TSortDirection::Ascending;
    bool SortCaseSensitive = false;
};

// How the grid reads cell texts when it sorts. Conversions follow the user's locale; a
// two-digit year is read as one of 1980..2079 (zip dates start in 1980), so the dates
// the grid writes read back in order.
// Short date, two blanks, short time; empty for an invalid value.
QString FormatGridDateTime(const QDateTime& value);
std::optional<double> GridTextToFloat(const QString& text);
// A date, optionally followed by a time of day, in milliseconds on a day-count scale:
// no time zone takes part, so two cells compare as their wall-clock texts do.
std::optional<qint64> GridTextToDateTime(const QString& text);
std::optional<qint64> GridTextToTime(const QString& text);  // milliseconds since midnight

// Numeric if every cell is a number, else date-time, else time, else alphabetic. An
// empty cell is none of the first three.
TSortStyle DetectSortStyle(const QStringList& cells);

// The new order of the cells, as indices into them. Equal cells keep their relative
// order in both directions; a cell that does not convert counts as equal to any other.
std::vector<int> SortedOrder(const QStringList& cells, const TSortOptions& options);

// A text grid whose row 0 holds the column captions. Row 0 is the fixed caption row
// (shown as the header) only while FixedRows() is 1; otherwise it is an ordinary row.
// Releasing a mouse button over a caption sorts the rows below it: the right button
// descending, any other ascending.
class TSortGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit TSortGrid(QWidget* parent = nullptr);

    // Rows and cells counted the grid's way: row 0 is the caption row.
    int RowCount() const { return rowCount(); }
    void SetRowCount(int rows);
    int ColCount() const { return columnCount(); }
    void SetColCount(int columns);
    int FixedRows() const { return fixedRows_; }
    // 0 or 1; 1 only takes effect while there is a row below the captions.
    void SetFixedRows(int rows);
    QString Cells(int column, int row) const;
    void SetCells(int column, int row, const QString& text);
    void SetColWidth(int column, int width);

    // The selected cell; the first row below the fixed rows when nothing is selected.
    int Row() const;
    int Col() const;
    void SetRow(int row);

    bool ClickSorting = true;
    bool CaseSensitive = false;

    TSortStyle DetectSortStyle(int column) const;
    // What a click on the column's caption does: nothing without a fixed caption row or
    // with fewer than two rows below it; otherwise BeginSort, then the rows reordered
    // with the selection following its row.
    void SortByColumn(int column, TSortDirection direction);

signals:
    // Reported before the rows are reordered.
    void BeginSort(int column, const velm::TSortOptions& options);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void ShowFixedRows();
    void SyncCaptions();
    bool OnSectionHandle(int x) const;

    int fixedRows_ = 0;
    bool pressed_ = false;           // a button went down over the captions
    bool dragging_ = false;          // that press resized a column or started on a handle
};

}  // namespace velm
