#pragma once

#include <QColor>
#include <QPointer>
#include <QString>
#include <QTableView>

#include <vector>

#include <QLineEdit>

namespace velm {

class TDataSource;
class TDBGridModel;
class TTable;

struct TDBGridColumn {
    QString fieldName;
    QString title;
    int width = 64;
    QColor titleColor;      // invalid: the header's own
    QColor titleFontColor;  // invalid: the header's own
};

// A grid over the visible rows of a data source's table, one column per chosen field,
// with an indicator column that marks the current row (an arrow while browsing, a
// text cursor while it is edited, a star while a new row is inserted). The grid's
// current row is the table's current row:
//   - selecting another row moves the table there, which posts a changed row and drops
//     an unchanged one;
//   - typing in a cell starts an edit of that row; Esc cancels it;
//   - Insert adds a row; Down on the last row appends one; Ctrl+Delete deletes the
//     current row after "Delete record?";
//   - a new row that was not changed is dropped when the grid loses the focus.
// A new row is shown below the stored ones, where the table will keep it once posted.
// The grid reads every row whenever the table's rows may have changed, so it suits
// short tables such as value lists.
class TDBGrid : public QTableView {
    Q_OBJECT
public:
    explicit TDBGrid(QWidget* parent = nullptr);
    ~TDBGrid() override;

    void SetDataSource(TDataSource* source);
    TDataSource* DataSource() const;
    void SetColumns(const std::vector<TDBGridColumn>& columns);
    const std::vector<TDBGridColumn>& Columns() const;

    // Whether Ctrl+Delete asks "Delete record?" first.
    bool ConfirmDelete = true;

    // The grid row that shows the table's current row; -1 when there is none.
    int CurrentRecordRow() const;
    QString CellText(int row, int column) const;
    // The open cell editor, if any.
    QLineEdit* Editor() const { return editor_; }

    // The commands behind the keys; failures are reported, not raised.
    void InsertRecord();
    void AppendRecord();
    void DeleteRecord();
    void CancelEdit();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void changeEvent(QEvent* event) override;

private:
    friend class TDBGridDelegate;
    TTable* Table() const;
    void DataSetChanged();
    void StateChanged();
    void Reload();
    void FollowTable();
    void MoveTableTo(int row);
    void ApplyColumns();
    void FocusChanged(QWidget* old, QWidget* now);
    bool OwnsWidget(const QWidget* widget) const;

    // The editor hands its text to the row: when the table asks for pending input, and
    // when Qt commits the editor (the latter reports failures itself).
    void EditorCreated(QLineEdit* editor);
    void EditorEdited();
    void PushEditorText();
    void CommitEditor();
    void CloseOpenEditor();

    TDBGridModel* model_;
    QPointer<TDataSource> source_;
    QPointer<QLineEdit> editor_;
    int editorColumn_ = -1;
    bool following_ = false;  // the view follows the table: its moves are not the user's
    bool moving_ = false;     // the grid moves the table: follow once, at the end
};

}  // namespace velm
