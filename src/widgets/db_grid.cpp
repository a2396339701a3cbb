#include "widgets/db_grid.h"

#include "kit/messages.h"
#include "catalogue/data_source.h"
#include "catalogue/field.h"
#include "catalogue/table.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QStyledItemDelegate>

namespace velm {

namespace {

constexpr int kIndicatorWidth = 12;

enum class TIndicator { None, Browse, Edit, Insert };

bool Editing(const TTable* table) {
    return table && (table->State() == TDataSetState::Edit || table->State() == TDataSetState::Insert);
}

// The marks of the indicator column, centred in the section.
void PaintIndicator(QPainter& p, const QRect& section, TIndicator kind) {
    const QPointF c = QRectF(section).center();
    p.save();
    // The style leaves its own clip behind after drawing the section.
    p.setClipRect(section, Qt::ReplaceClip);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    switch (kind) {
    case TIndicator::Browse:
        p.drawPolygon(QPolygonF({c + QPointF(-2.5, -4.5), c + QPointF(2.5, 0), c + QPointF(-2.5, 4.5)}));
        break;
    case TIndicator::Edit:
        p.setPen(QPen(Qt::black, 1));
        p.drawLine(c + QPointF(0, -5), c + QPointF(0, 5));
        p.drawLine(c + QPointF(-2, -5), c + QPointF(2, -5));
        p.drawLine(c + QPointF(-2, 5), c + QPointF(2, 5));
        break;
    case TIndicator::Insert:
        p.setPen(QPen(Qt::black, 1.4));
        for (int angle : {0, 60, 120}) {
            QTransform t;
            t.translate(c.x(), c.y());
            t.rotate(angle);
            p.drawLine(t.map(QLineF(0, -4, 0, 4)));
        }
        break;
    case TIndicator::None: break;
    }
    p.restore();
}

}  // namespace

// The rows as last read while the table was browsing, plus the table's own field values
// for the row that is being edited or inserted.
class TDBGridModel : public QAbstractTableModel {
public:
    explicit TDBGridModel(QObject* parent) : QAbstractTableModel(parent) {}

    TTable* table = nullptr;
    std::vector<TDBGridColumn> columns;
    bool reading = false;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : shown_; }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : static_cast<int>(columns.size());
    }

    TField* FieldOf(int column) const {
        if (!table || column < 0 || column >= static_cast<int>(columns.size()))
            return nullptr;
        return table->FindField(columns[static_cast<size_t>(column)].fieldName);
    }

    // The grid row of the table's current row: a new row comes after the stored ones.
    int CurrentRow() const {
        if (!table || !table->Active())
            return -1;
        if (table->State() == TDataSetState::Insert)
            return static_cast<int>(rows_.size());
        const int row = table->RecNo();
        return row < shown_ ? row : -1;
    }

    TIndicator IndicatorFor(int row) const {
        if (row != CurrentRow())
            return TIndicator::None;
        switch (table->State()) {
        case TDataSetState::Edit: return TIndicator::Edit;
        case TDataSetState::Insert: return TIndicator::Insert;
        default: return TIndicator::Browse;
        }
    }

    TBookmark BookmarkAt(int row) const {
        return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[static_cast<size_t>(row)].bookmark : 0;
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
            return QVariant();
        const int row = index.row();
        if (Editing(table) && row == CurrentRow()) {
            const TField* field = FieldOf(index.column());
            return field ? field->AsString() : QString();
        }
        if (row < 0 || row >= static_cast<int>(rows_.size()))
            return QString();
        const QStringList& texts = rows_[static_cast<size_t>(row)].texts;
        return index.column() < texts.size() ? texts.at(index.column()) : QString();
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Vertical)
            return role == Qt::DisplayRole ? QVariant(QString()) : QVariant();
        if (section < 0 || section >= static_cast<int>(columns.size()))
            return QVariant();
        const TDBGridColumn& column = columns[static_cast<size_t>(section)];
        switch (role) {
        case Qt::DisplayRole: return column.title;
        case Qt::BackgroundRole: return column.titleColor.isValid() ? QVariant(QBrush(column.titleColor)) : QVariant();
        case Qt::ForegroundRole:
            return column.titleFontColor.isValid() ? QVariant(QBrush(column.titleFontColor)) : QVariant();
        case Qt::TextAlignmentRole: return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
        default: return QVariant();
        }
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        if (!index.isValid())
            return Qt::NoItemFlags;
        Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        const TField* field = FieldOf(index.column());
        if (field && !field->ReadOnly())
            flags |= Qt::ItemIsEditable;
        return flags;
    }

    // Reads the rows again when the table is browsing (walking an edited row would
    // store it), then tells the view what changed.
    void Reload() {
        if (!table || !table->Active()) {
            rows_.clear();
        } else if (table->State() == TDataSetState::Browse) {
            ReadRows();
        }
        const int count = static_cast<int>(rows_.size()) + (table && table->State() == TDataSetState::Insert ? 1 : 0);
        if (count > shown_) {
            beginInsertRows(QModelIndex(), shown_, count - 1);
            shown_ = count;
            endInsertRows();
        } else if (count < shown_) {
            beginRemoveRows(QModelIndex(), count, shown_ - 1);
            shown_ = count;
            endRemoveRows();
        }
        RowsChanged(0, shown_ - 1);
    }

    void RowsChanged(int first, int last) {
        if (first < 0 || last < first)
            return;
        if (!columns.empty())
            emit dataChanged(index(first, 0), index(last, columnCount() - 1));
        emit headerDataChanged(Qt::Vertical, first, last);
    }

    void ColumnsChanged() {
        beginResetModel();
        endResetModel();
        Reload();
    }

private:
    struct Row {
        TBookmark bookmark = 0;
        QStringList texts;
    };

    void ReadRows() {
        std::vector<TField*> fields;
        for (int i = 0; i < columnCount(); ++i)
            fields.push_back(FieldOf(i));
        std::vector<Row> rows;
        rows.reserve(static_cast<size_t>(table->RecordCount()));
        reading = true;
        const TBookmark bookmark = table->GetBookmark();
        table->DisableControls();
        try {
            for (table->First(); !table->Eof(); table->Next()) {
                Row row;
                row.bookmark = table->GetBookmark();
                for (const TField* field : fields)
                    row.texts << (field ? field->AsString() : QString());
                rows.push_back(std::move(row));
            }
            if (bookmark != 0 && table->BookmarkValid(bookmark))
                table->GotoBookmark(bookmark);
            else if (!rows.empty())
                table->First();
        } catch (...) {
            table->EnableControls();
            reading = false;
            throw;
        }
        // The redraw notice this sends comes back to the grid while it is still reading.
        table->EnableControls();
        reading = false;
        rows_ = std::move(rows);
    }

    std::vector<Row> rows_;
    int shown_ = 0;
};

// The indicator column: the vertical header with a mark beside the current row.
class TDBGridIndicator : public QHeaderView {
public:
    TDBGridIndicator(TDBGridModel* model, QWidget* parent) : QHeaderView(Qt::Vertical, parent), model_(model) {}

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
        painter->save();
        QHeaderView::paintSection(painter, rect, logicalIndex);
        painter->restore();
        PaintIndicator(*painter, rect, model_->IndicatorFor(logicalIndex));
    }

private:
    TDBGridModel* model_;
};

// One-line cell editors that hand their text to the grid.
class TDBGridDelegate : public QStyledItemDelegate {
public:
    explicit TDBGridDelegate(TDBGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override {
        auto* editor = new QLineEdit(parent);
        editor->setFrame(false);
        if (const TField* field = grid_->model_->FieldOf(index.column()))
            if (field->Kind() == TFieldKind::String && field->Size() > 0)
                editor->setMaxLength(field->Size());
        grid_->editorColumn_ = index.column();
        grid_->EditorCreated(editor);
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        auto* line = qobject_cast<QLineEdit*>(editor);
        // The row's redraws must not wipe out what the user is typing.
        if (line && !line->isModified())
            line->setText(index.data(Qt::EditRole).toString());
    }

    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex&) const override {
        if (editor == grid_->editor_)
            grid_->CommitEditor();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            // The grid's delete shortcut wins over the line edit's delete-word.
            if (key->key() == Qt::Key_Delete && (key->modifiers() & Qt::ControlModifier)) {
                grid_->DeleteRecord();
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(watched, event);
    }

private:
    TDBGrid* grid_;
};

TDBGrid::TDBGrid(QWidget* parent) : QTableView(parent), model_(new TDBGridModel(this)) {
    setModel(model_);
    setVerticalHeader(new TDBGridIndicator(model_, this));
    setItemDelegate(new TDBGridDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked);
    // One column: Tab leaves the grid rather than wandering through the cells.
    setTabKeyNavigation(false);
    setWordWrap(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setFixedWidth(kIndicatorWidth);
    verticalHeader()->setHighlightSections(false);
    // Cells and fixed cells keep the system's colours whatever panel the grid sits on.
    QPalette own = palette();
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Button, QPalette::Base})
        own.setColor(role, QApplication::palette().color(role));
    setPalette(own);
    connect(qApp, &QApplication::focusChanged, this, &TDBGrid::FocusChanged);
    QEvent fontChange(QEvent::FontChange);
    changeEvent(&fontChange);
}

void TDBGrid::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    // Rows are as high as the grid's text needs.
    if (event->type() == QEvent::FontChange)
        verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
}

TDBGrid::~TDBGrid() {
    // Nothing may reach the grid any more while the view goes.
    disconnect(qApp, nullptr, this, nullptr);
    if (source_)
        disconnect(source_, nullptr, this, nullptr);
}

TTable* TDBGrid::Table() const { return source_ ? source_->DataSet() : nullptr; }

TDataSource* TDBGrid::DataSource() const { return source_; }

void TDBGrid::SetDataSource(TDataSource* source) {
    if (source_ == source)
        return;
    CloseOpenEditor();
    if (source_)
        disconnect(source_, nullptr, this, nullptr);
    source_ = source;
    model_->table = Table();
    if (source_) {
        connect(source_, &TDataSource::dataSetChanged, this, &TDBGrid::DataSetChanged);
        connect(source_, &TDataSource::stateChanged, this, &TDBGrid::StateChanged);
        connect(source_, &TDataSource::fieldChanged, this, [this] {
            const int row = model_->CurrentRow();
            model_->RowsChanged(row, row);
        });
        connect(source_, &TDataSource::updateRecordRequested, this, &TDBGrid::PushEditorText);
    }
    DataSetChanged();
}

void TDBGrid::SetColumns(const std::vector<TDBGridColumn>& columns) {
    CloseOpenEditor();
    model_->columns = columns;
    ApplyColumns();
}

const std::vector<TDBGridColumn>& TDBGrid::Columns() const { return model_->columns; }

void TDBGrid::ApplyColumns() {
    const bool wasFollowing = following_;
    following_ = true;
    try {
        model_->ColumnsChanged();
    } catch (const std::exception& error) {
        following_ = wasFollowing;
        ReportException(error);
    }
    following_ = wasFollowing;
    for (size_t i = 0; i < model_->columns.size(); ++i)
        setColumnWidth(static_cast<int>(i), model_->columns[i].width);
    FollowTable();
}

int TDBGrid::CurrentRecordRow() const { return model_->CurrentRow(); }

QString TDBGrid::CellText(int row, int column) const { return model_->index(row, column).data().toString(); }

// ---------------------------------------------------------------------------------
// Following the table

void TDBGrid::DataSetChanged() {
    if (model_->reading)
        return;
    model_->table = Table();
    // Rows that go away take the view's current cell with them; that is no user's move.
    const bool wasFollowing = following_;
    following_ = true;
    try {
        model_->Reload();
    } catch (const std::exception& error) {
        following_ = wasFollowing;
        ReportException(error);
    }
    following_ = wasFollowing;
    FollowTable();
}

void TDBGrid::StateChanged() {
    if (model_->reading)
        return;
    TTable* table = Table();
    if (Editing(table)) {
        // A new row appears, or the current row shows its edit mark.
        DataSetChanged();
        return;
    }
    // Leaving edit state has taken the editor's text or dropped it.
    CloseOpenEditor();
    const int row = model_->CurrentRow();
    model_->RowsChanged(row, row);
}

void TDBGrid::FollowTable() {
    if (moving_)
        return;
    const int row = model_->CurrentRow();
    if (row < 0 || model_->columnCount() == 0)
        return;
    const int column = currentIndex().isValid() ? currentIndex().column() : 0;
    const QModelIndex target = model_->index(row, column);
    if (currentIndex() != target) {
        following_ = true;
        selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
        following_ = false;
    }
    scrollTo(target);
    verticalHeader()->viewport()->update();
}

void TDBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    // The base commits and closes an editor on the previous cell first.
    QTableView::currentChanged(current, previous);
    verticalHeader()->viewport()->update();
    if (following_ || !current.isValid() || current.row() == model_->CurrentRow())
        return;
    MoveTableTo(current.row());
}

void TDBGrid::MoveTableTo(int row) {
    TTable* table = Table();
    if (!table || !table->Active())
        return;
    moving_ = true;
    try {
        if (const TBookmark bookmark = model_->BookmarkAt(row))
            table->GotoBookmark(bookmark);
    } catch (const std::exception& error) {
        moving_ = false;
        FollowTable();
        ReportException(error);
        return;
    }
    moving_ = false;
    FollowTable();
}

bool TDBGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    // Only the table's current row can be edited; a move that failed leaves it elsewhere.
    if (index.isValid() && index.row() != model_->CurrentRow())
        return false;
    return QTableView::edit(index, trigger, event);
}

// ---------------------------------------------------------------------------------
// The cell editor

void TDBGrid::EditorCreated(QLineEdit* editor) {
    editor_ = editor;
    connect(editor, &QLineEdit::textEdited, this, &TDBGrid::EditorEdited);
}

void TDBGrid::EditorEdited() {
    TTable* table = Table();
    if (!table || !table->Active() || table->State() != TDataSetState::Browse)
        return;
    try {
        table->Edit();
    } catch (const std::exception& error) {
        if (editor_)
            editor_->setModified(false);
        CloseOpenEditor();
        ReportException(error);
    }
}

void TDBGrid::PushEditorText() {
    if (!editor_ || !editor_->isModified())
        return;
    TTable* table = Table();
    TField* field = model_->FieldOf(editorColumn_);
    if (!table || !table->Active() || !field)
        return;
    if (table->State() == TDataSetState::Browse)
        table->Edit();
    field->SetAsString(editor_->text());
    if (editor_)
        editor_->setModified(false);
}

void TDBGrid::CommitEditor() {
    try {
        PushEditorText();
    } catch (const std::exception& error) {
        ReportException(error);
    }
}

void TDBGrid::CloseOpenEditor() {
    if (editor_) {
        QLineEdit* editor = editor_;
        editor_ = nullptr;
        QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void TDBGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    if (editor == editor_)
        editor_ = nullptr;
    QTableView::closeEditor(editor, hint);
    // Esc in the editor cancels the row's edit, not only the cell's text.
    if (hint == QAbstractItemDelegate::RevertModelCache)
        CancelEdit();
}

// ---------------------------------------------------------------------------------
// Commands

void TDBGrid::InsertRecord() {
    TTable* table = Table();
    if (!table || !table->Active())
        return;
    try {
        table->Insert();
    } catch (const std::exception& error) {
        ReportException(error);
    }
}

void TDBGrid::AppendRecord() {
    TTable* table = Table();
    if (!table || !table->Active())
        return;
    const bool typed = editor_ && editor_->isModified();
    // Down on a new row that holds nothing yet does not add another.
    if (table->State() == TDataSetState::Insert && !table->Modified() && !typed)
        return;
    try {
        table->Append();
    } catch (const std::exception& error) {
        ReportException(error);
    }
}

void TDBGrid::DeleteRecord() {
    TTable* table = Table();
    if (!table || !table->Active() || table->IsEmpty())
        return;
    try {
        table->CheckDeleteAllowed();
        if (ConfirmDelete && !ConfirmOkCancel(QStringLiteral("Delete record?")))
            return;
        table->Delete();
    } catch (const std::exception& error) {
        ReportException(error);
    }
}

void TDBGrid::CancelEdit() {
    TTable* table = Table();
    if (!table || !table->Active())
        return;
    if (editor_) {
        editor_->setModified(false);
        CloseOpenEditor();
    }
    try {
        table->Cancel();
    } catch (const std::exception& error) {
        ReportException(error);
    }
}

void TDBGrid::keyPressEvent(QKeyEvent* event) {
    TTable* table = Table();
    const bool active = table && table->Active();
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Insert:
        if (mods == Qt::NoModifier) {
            InsertRecord();
            event->accept();
            return;
        }
        break;
    case Qt::Key_Delete:
        if (mods == Qt::ControlModifier) {
            DeleteRecord();
            event->accept();
            return;
        }
        break;
    case Qt::Key_Escape:
        if (Editing(table)) {
            CancelEdit();
            event->accept();
        } else {
            event->ignore();
        }
        return;
    case Qt::Key_Down:
        if (active && mods == Qt::NoModifier &&
            (model_->rowCount() == 0 || currentIndex().row() >= model_->rowCount() - 1)) {
            if (editor_)
                CommitEditor();
            AppendRecord();
            event->accept();
            return;
        }
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Enter ends the cell's editing; only outside an edit does it reach the dialog.
        if (state() == QAbstractItemView::EditingState) {
            event->accept();
            return;
        }
        event->ignore();
        return;
    default: break;
    }
    QTableView::keyPressEvent(event);
}

// ---------------------------------------------------------------------------------
// Focus

bool TDBGrid::OwnsWidget(const QWidget* widget) const { return widget == this || isAncestorOf(widget); }

void TDBGrid::FocusChanged(QWidget* old, QWidget* now) {
    // Another window taking the focus (a message box) is no leaving of the grid.
    if (!old || !now || now->window() != window() || !OwnsWidget(old) || OwnsWidget(now))
        return;
    TTable* table = Table();
    if (!table || !table->Active() || table->State() != TDataSetState::Insert || table->Modified())
        return;
    try {
        table->Cancel();
    } catch (const std::exception& error) {
        ReportException(error);
    }
}

}  // namespace velm
