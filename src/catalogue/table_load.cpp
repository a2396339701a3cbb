// Opening and closing a table and reading its rows: the key fields at open, the deferred
// fields later, for one row or for all.
#include "catalogue/table.h"

#include "catalogue/database.h"
#include "catalogue/field_values.h"

#include <algorithm>

namespace velm {

void TTable::Open() {
    if (Active())
        return;
    TDatabase& database = TSession::Instance().DatabaseFor(databaseName_);
    const QString schema = database.AttachFile(tableName_);
    database_ = &database;
    sql_ = TTableStatements(schema, tableName_, FieldNames(), idField_);
    try {
        LoadRows();
    } catch (...) {
        rows_.Reset({}, 0, 0);
        orders_.Reset({});
        database_->DetachFile(tableName_);
        database_ = nullptr;
        TSession::Instance().ReleaseIfUnused(databaseName_);
        throw;
    }
    state_ = TDataSetState::Browse;
    filtered_ = false;
    RebuildFilter();
    SetPosition(0);
    NotifyStateChanged();
    NotifyDataSetChanged();
}

void TTable::Close() {
    if (!Active())
        return;
    if (Editing())
        Cancel();
    // The memory goes back at once, not when the table is next opened.
    rows_.Reset({}, 0, 0);
    orders_.Reset({});
    ++rowsVersion_;
    filteredSlots_ = {};
    pos_ = -1;
    eof_ = true;
    state_ = TDataSetState::Inactive;
    database_->DetachFile(tableName_);
    database_ = nullptr;
    TSession::Instance().ReleaseIfUnused(databaseName_);
    NotifyStateChanged();
    NotifyDataSetChanged();
}

void TTable::Refresh() {
    CheckActive();
    const qint64 current = CurrentId();
    if (Editing())
        LeaveEditing();
    LoadRows();
    RebuildFilter();
    PlaceCurrent(rows_.Find(current));
    if (CurrentId() != current)
        SetPosition(0);
    NotifyStateChanged();
    NotifyDataSetChanged();
}

void TTable::LoadRows() {
    orders_.Reset({});
    ++rowsVersion_;
    TStatement& select = database_->Prepare(sql_.SelectAll(keyFields_));
    qint64 expected = 0;
    {
        TStatement& count = database_->Prepare(sql_.CountRows());
        const TResetOnExit reset(count);
        expected = count.Step() ? count.ColumnInt(0) : 0;
    }
    const auto rows = static_cast<size_t>(std::max<qint64>(expected, 0));
    std::vector<TFieldKind> kinds;
    for (const auto& field : fields_)
        kinds.push_back(field->IsStored() && field->Kind() != TFieldKind::Memo ? field->Kind() : TFieldKind::Memo);
    rows_.Reset(kinds, idField_, rows);
    groups_.clear();
    oddFields_ = 0;
    for (int index : keyFields_)
        rows_.Presize(index, rows);
    std::vector<Slot> loaded;
    loaded.reserve(rows);
    deferredLoaded_ = deferredFields_.empty();
    deferredRows_ = {};
    rowsReadAlone_ = 0;
    const int idColumn = static_cast<int>(std::find(keyFields_.begin(), keyFields_.end(), idField_) - keyFields_.begin());
    {
        const TResetOnExit reset(select);
        while (select.Step()) {
            // Rows come in ID order; a file whose IDs repeat keeps the first of each.
            const qint64 id = select.ColumnInt(idColumn);
            if (!rows_.CanAppend(id))
                continue;
            const Slot slot = rows_.Append(id);
            ReadValues(select, slot, keyFields_, 0);
            loaded.push_back(slot);
        }
    }
    deferredRows_.assign(deferredLoaded_ ? 0 : rows_.SlotCount(), false);
    orders_.Reset(std::move(loaded));
}

void TTable::ReadValues(const TStatement& select, Slot slot, const std::vector<int>& fields, int firstColumn) const {
    int column = firstColumn;
    for (int index : fields) {
        if (index != idField_) {
            switch (fields_[static_cast<size_t>(index)]->Kind()) {
            case TFieldKind::SmallInt:
            case TFieldKind::AutoInc:
            case TFieldKind::Boolean: {
                const TColumnType type = select.ColumnType(column);
                if (type == TColumnType::Null)
                    break;
                const qint64 value = select.ColumnInt(column);
                if (type != TColumnType::Integer || value != static_cast<qint32>(value))
                    oddFields_ |= quint64(1) << index;
                rows_.SetInteger(slot, index, value);
                break;
            }
            default: {
                // The engine gives no text at all for a null: one call tells both.
                const std::string_view text = select.ColumnUtf8(column);
                if (!text.data())
                    break;
                if (fields_[static_cast<size_t>(index)]->Kind() == TFieldKind::Date)
                    rows_.SetDate(slot, index, ParseIsoDate(text));
                else
                    rows_.SetText(slot, index, text);
                break;
            }
            }
        }
        ++column;
    }
}

void TTable::LoadDeferredFields() const {
    if (deferredLoaded_ || !Active())
        return;
    TStatement& select = database_->Prepare(sql_.SelectAllWithId(deferredFields_));
    for (int index : deferredFields_)
        rows_.Presize(index, rows_.SlotCount());
    // Both go in ID order: each row of the file meets its slot in one pass. A row read
    // on its own or posted since the open already holds what the file holds.
    Slot slot = 0;
    const auto count = static_cast<Slot>(rows_.SlotCount());
    {
        const TResetOnExit reset(select);
        while (slot < count && select.Step()) {
            const qint64 rowId = select.ColumnInt(0);
            while (slot < count && rows_.Id(slot) < rowId)
                ++slot;
            if (slot < count && rows_.Id(slot) == rowId && rows_.Live(slot) && !deferredRows_[slot])
                ReadValues(select, slot, deferredFields_, 1);
        }
    }
    deferredLoaded_ = true;
    deferredRows_ = {};
}

void TTable::LoadDeferred(std::optional<Slot> row) const {
    // A few rows read one by one are the window showing a row; more are a search going
    // through them, which one read of all serves better.
    static constexpr int kRowsReadAlone = 32;
    if (deferredLoaded_)
        return;
    if (!row || rowsReadAlone_ >= kRowsReadAlone) {
        LoadDeferredFields();
        return;
    }
    if (deferredRows_[*row])
        return;
    {
        TStatement& select = database_->Prepare(sql_.SelectRow(deferredFields_));
        const TResetOnExit reset(select);
        select.Bind(1, rows_.Id(*row));
        if (select.Step())
            ReadValues(select, *row, deferredFields_, 0);
    }
    deferredRows_[*row] = true;
    ++rowsReadAlone_;
}

}  // namespace velm
