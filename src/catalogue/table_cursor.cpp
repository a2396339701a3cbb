// The table's cursor: the current row among the visible ones, moving it (navigation,
// locate, index seeks, bookmarks), the edit state machine (Edit, Insert, Post, Cancel,
// Delete) and the notices to the data-aware controls.
#include "catalogue/table.h"

#include "catalogue/data_source.h"
#include "catalogue/database.h"
#include "catalogue/database_error.h"
#include "catalogue/field_values.h"
#include "catalogue/text_cut.h"

#include <algorithm>

namespace velm {

void TTable::CheckActive() const {
    if (!Active())
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

void TTable::CheckEditing() const {
    if (!Editing())
        throw EDatabaseError(QStringLiteral("Dataset not in edit or insert mode"));
}

// ---------------------------------------------------------------------------------
// The current row

std::optional<TTable::Slot> TTable::CurrentSlot() const {
    const auto& view = visible();
    if (pos_ < 0 || pos_ >= static_cast<int>(view.size()))
        return std::nullopt;
    return view[static_cast<size_t>(pos_)];
}

qint64 TTable::CurrentId() const {
    const std::optional<Slot> slot = CurrentSlot();
    return slot ? rows_.Id(*slot) : 0;
}

void TTable::SetPosition(int pos) {
    const int count = RecordCount();
    pos_ = count == 0 ? -1 : std::clamp(pos, 0, count - 1);
    eof_ = count == 0;
}

void TTable::PlaceCurrent(std::optional<Slot> slot) {
    const int pos = slot ? PositionOf(*slot) : -1;
    SetPosition(pos >= 0 ? pos : pos_);
}

// ---------------------------------------------------------------------------------
// Navigation

void TTable::First() {
    CheckActive();
    CheckBrowseMode();
    SetPosition(0);
    NotifyDataSetChanged();
}

void TTable::Last() {
    CheckActive();
    CheckBrowseMode();
    SetPosition(RecordCount() - 1);
    eof_ = true;
    NotifyDataSetChanged();
}

void TTable::Next() {
    CheckActive();
    CheckBrowseMode();
    if (pos_ + 1 < RecordCount()) {
        ++pos_;
        if (readsWholeRows_)
            FetchRowsAhead();
        eof_ = false;
        NotifyRecordChanged(nullptr);
    } else {
        eof_ = true;
    }
}

void TTable::FetchRowsAhead() const {
    // A walk in slot order is fetched ahead by the processor on its own.
    const auto& view = visible();
    const size_t at = static_cast<size_t>(pos_);
    if (at + kFieldsAhead < view.size() && view[at + kFieldsAhead] != view[at] + kFieldsAhead)
        rows_.PrefetchFields(view[at + kFieldsAhead]);
    if (at + kTextsAhead < view.size() && view[at + kTextsAhead] != view[at] + kTextsAhead)
        rows_.PrefetchTexts(view[at + kTextsAhead]);
}

void TTable::Prior() {
    CheckActive();
    CheckBrowseMode();
    if (pos_ > 0) {
        --pos_;
        eof_ = false;
        NotifyRecordChanged(nullptr);
    }
}

// ---------------------------------------------------------------------------------
// Locate, index seeks and bookmarks

bool TTable::Locate(const QString& fieldName, const QVariant& value, bool caseInsensitive) {
    CheckActive();
    CheckBrowseMode();
    const TField* field = FieldByName(fieldName);
    std::optional<Slot> found;
    if (field->IsLookup()) {
        const TLookupDef& lookup = field->Def().lookup;
        const int keyIndex = FieldByName(lookup.keyField)->Index();
        Want(keyIndex);
        for (Slot slot : visible()) {
            if (!lookup.lookupTable)
                break;
            const QVariant text =
                lookup.lookupTable->LookupValue(lookup.lookupKeyField, rows_.Value(slot, keyIndex), lookup.lookupResultField);
            if (CompareValues(CutAtCharacter(text.toString(), field->Size()), value, TFieldKind::String, caseInsensitive) == 0) {
                found = slot;
                break;
            }
        }
    } else {
        const QVariant key = SearchKey(field->Kind(), value);
        if (IsEmptyValue(key))
            return false;
        // The engine's key answers in logarithmic time; the view decides the first match.
        for (qint64 id : MatchingIds(*field, key, caseInsensitive)) {
            const std::optional<Slot> slot = rows_.Find(id);
            if (!slot || (filtered_ && !SlotPassesFilter(*slot)))
                continue;
            if (!found || orders_.Less(*slot, *found))
                found = slot;
        }
    }
    if (!found)
        return false;
    const int pos = PositionOf(*found);
    if (pos < 0)
        return false;
    SetPosition(pos);
    NotifyRecordChanged(nullptr);
    return true;
}

std::vector<qint64> TTable::MatchingIds(const TField& field, const QVariant& key, bool caseInsensitive) const {
    const bool text = key.typeId() == QMetaType::QString;
    const QString collation = !text ? QString() : caseInsensitive ? QStringLiteral("NOCASE") : QStringLiteral("BINARY");
    // In ID order, with every row there, the first match is the one.
    const bool firstOnly = !orders_.Current() && !filtered_;
    TStatement& select = database_->Prepare(sql_.SelectIdsWhere(field.Index(), collation, firstOnly));
    const TResetOnExit reset(select);
    select.Bind(1, key);
    std::vector<qint64> ids;
    while (select.Step())
        ids.push_back(select.ColumnInt(0));
    return ids;
}

int TTable::CompareByIndex(Slot slot, const QVariant& key) const {
    const TIndexDef* index = orders_.Current();
    const TField* field = index && !index->fields.isEmpty() ? FindField(index->fields.front()) : Field(idField_);
    const bool caseInsensitive = index && index->caseInsensitive;
    int c = CompareValues(rows_.Value(slot, field->Index()), key, field->Kind(), caseInsensitive);
    if (index && index->descending)
        c = -c;
    return c;
}

void TTable::SetIndexName(const QString& name) {
    CheckBrowseMode();
    if (!name.isEmpty() && !orders_.Has(name))
        throw EDatabaseError(QStringLiteral("Index not found: %1").arg(name));
    if (orders_.Name().compare(name, Qt::CaseInsensitive) == 0)
        return;
    const std::optional<Slot> current = CurrentSlot();
    orders_.Use(name);
    if (!Active())
        return;
    if (filtered_)
        orders_.Sort(filteredSlots_);
    PlaceCurrent(current);
    NotifyDataSetChanged();
}

int TTable::SeekPosition(const QVariant& key) const {
    const auto& view = visible();
    const auto it = std::lower_bound(view.begin(), view.end(), key,
                                     [this](Slot slot, const QVariant& k) { return CompareByIndex(slot, k) < 0; });
    return static_cast<int>(it - view.begin());
}

bool TTable::FindKey(const QVariant& key) {
    CheckActive();
    CheckBrowseMode();
    const int pos = SeekPosition(key);
    if (pos == RecordCount() || CompareByIndex(visible()[static_cast<size_t>(pos)], key) != 0)
        return false;
    SetPosition(pos);
    NotifyRecordChanged(nullptr);
    return true;
}

void TTable::FindNearest(const QVariant& key) {
    CheckActive();
    CheckBrowseMode();
    SetPosition(SeekPosition(key));  // past the last row is the last row
    NotifyRecordChanged(nullptr);
}

TBookmark TTable::GetBookmark() const { return CurrentId(); }

bool TTable::BookmarkValid(TBookmark bookmark) const {
    const std::optional<Slot> slot = bookmark != 0 ? rows_.Find(bookmark) : std::nullopt;
    return slot && PositionOf(*slot) >= 0;
}

void TTable::GotoBookmark(TBookmark bookmark) {
    CheckActive();
    CheckBrowseMode();
    const std::optional<Slot> slot = bookmark != 0 ? rows_.Find(bookmark) : std::nullopt;
    const int pos = slot ? PositionOf(*slot) : -1;
    if (pos < 0)
        throw EDatabaseError(QStringLiteral("Record not found"));
    SetPosition(pos);
    NotifyRecordChanged(nullptr);
}

// ---------------------------------------------------------------------------------
// Editing: Browse -> Edit or Insert -> Post or Cancel -> Browse

void TTable::Edit() {
    CheckActive();
    if (Editing())
        return;
    const std::optional<Slot> slot = CurrentSlot();
    if (!slot) {
        Append();
        return;
    }
    // The edit buffer holds every field.
    LoadDeferred(*slot);
    buffer_ = Row();
    buffer_.values.resize(fields_.size());
    for (int index : loadedFields_)
        buffer_.values[static_cast<size_t>(index)] = rows_.Value(*slot, index);
    changed_.assign(fields_.size(), false);
    modified_ = false;
    state_ = TDataSetState::Edit;
    NotifyStateChanged();
}

void TTable::Append() { StartInsert(); }

void TTable::Insert() { StartInsert(); }

void TTable::StartInsert() {
    CheckActive();
    CheckBrowseMode();
    insertReturnPos_ = pos_;
    buffer_ = Row();
    buffer_.values.resize(fields_.size());
    buffer_.memoLoaded = ~quint64(0);
    changed_.assign(fields_.size(), false);
    modified_ = false;
    state_ = TDataSetState::Insert;
    eof_ = false;
    NotifyStateChanged();
    NotifyRecordChanged(nullptr);
}

void TTable::Post() {
    CheckActive();
    CheckEditing();
    UpdateRecord();
    const std::optional<Slot> posted = state_ == TDataSetState::Edit ? PostEdit() : PostInsert();
    LeaveEditing();
    PlaceCurrent(posted);
    NotifyStateChanged();
    NotifyRecordChanged(nullptr);
}

TTable::Slot TTable::PostEdit() {
    const Slot slot = *CurrentSlot();
    std::vector<int> columns;
    for (const auto& field : fields_) {
        const int i = field->Index();
        if (changed_[static_cast<size_t>(i)] && field->IsStored() && i != idField_)
            columns.push_back(i);
    }
    if (!columns.empty()) {
        TStatement& update = database_->Prepare(sql_.UpdateRow(columns));
        int position = 1;
        for (int i : columns)
            update.Bind(position++, StoredValue(i));
        update.Bind(position, rows_.Id(slot));
        update.Run();
    }
    // The row may move to another place in the key order or leave the filter.
    orders_.Remove(slot);
    if (filtered_)
        orders_.EraseFrom(filteredSlots_, slot);
    LeaveGroups(slot);
    for (int i : columns)
        rows_.SetValue(slot, i, buffer_.values[static_cast<size_t>(i)]);
    JoinGroups(slot);
    ++rowsVersion_;
    RowAddedToViews(slot);
    return slot;
}

std::optional<TTable::Slot> TTable::PostInsert() {
    std::vector<int> columns;
    for (const auto& field : fields_)
        if (field->IsStored() && field->Index() != idField_)
            columns.push_back(field->Index());
    TStatement& insert = database_->Prepare(sql_.InsertRow(columns));
    int position = 1;
    for (int i : columns)
        insert.Bind(position++, StoredValue(i));
    insert.Run();
    const qint64 id = database_->LastInsertId();
    buffer_.values[static_cast<size_t>(idField_)] = id;
    ++rowsVersion_;
    if (!rows_.CanAppend(id)) {
        // The engine hands out rising IDs; should it not, the rows are read again so
        // that slots keep the ID order.
        LoadRows();
        RebuildFilter();
        return rows_.Find(id);
    }
    const Slot slot = rows_.Append(id);
    for (int i : loadedFields_)
        if (i != idField_)
            rows_.SetValue(slot, i, buffer_.values[static_cast<size_t>(i)]);
    // Its every field came from the buffer.
    if (!deferredLoaded_) {
        deferredRows_.resize(static_cast<size_t>(slot) + 1, false);
        deferredRows_[slot] = true;
    }
    JoinGroups(slot);
    RowAddedToViews(slot);
    return slot;
}

QVariant TTable::StoredValue(int field) const {
    return ToStorage(fields_[static_cast<size_t>(field)]->Kind(), buffer_.values[static_cast<size_t>(field)]);
}

void TTable::RowAddedToViews(Slot slot) {
    orders_.Add(slot);
    if (filtered_ && SlotPassesFilter(slot))
        orders_.InsertInto(filteredSlots_, slot);
}

void TTable::Cancel() {
    CheckActive();
    if (!Editing())
        return;
    const bool inserting = state_ == TDataSetState::Insert;
    LeaveEditing();
    if (inserting)
        SetPosition(insertReturnPos_);
    else
        eof_ = RecordCount() == 0;
    NotifyStateChanged();
    NotifyRecordChanged(nullptr);
}

void TTable::Delete() {
    CheckActive();
    if (state_ == TDataSetState::Insert) {
        Cancel();
        return;
    }
    if (IsEmpty())
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on an empty dataset"));
    if (BeforeDelete)
        BeforeDelete(*this);
    const Slot slot = *CurrentSlot();
    TStatement& remove = database_->Prepare(sql_.DeleteRow());
    remove.Bind(1, rows_.Id(slot));
    remove.Run();
    if (state_ == TDataSetState::Edit) {
        LeaveEditing();
        NotifyStateChanged();
    }
    const int pos = pos_;
    orders_.Remove(slot);
    orders_.EraseFrom(filteredSlots_, slot);
    LeaveGroups(slot);
    rows_.Remove(slot);
    ++rowsVersion_;
    SetPosition(pos);
    NotifyDataSetChanged();
}

void TTable::LeaveEditing() {
    state_ = TDataSetState::Browse;
    modified_ = false;
    buffer_ = Row();
}

void TTable::CheckBrowseMode() {
    if (!Editing())
        return;
    UpdateRecord();
    if (modified_)
        Post();
    else
        Cancel();
}

void TTable::UpdateRecord() {
    // Typed input is pulled even while controls are disabled: it must never be lost.
    for (TDataSource* source : std::as_const(dataSources_))
        emit source->updateRecordRequested();
}

// ---------------------------------------------------------------------------------
// The data-aware controls

void TTable::DisableControls() { ++disableCount_; }

void TTable::EnableControls() {
    if (disableCount_ > 0 && --disableCount_ == 0 && pendingDataSetChanged_) {
        pendingDataSetChanged_ = false;
        NotifyDataSetChanged();
    }
}

void TTable::AttachDataSource(TDataSource* source) {
    if (!dataSources_.contains(source))
        dataSources_.append(source);
}

void TTable::DetachDataSource(TDataSource* source) { dataSources_.removeAll(source); }

void TTable::NotifyDataSetChanged() {
    if (disableCount_ > 0) {
        pendingDataSetChanged_ = true;
        return;
    }
    for (TDataSource* source : std::as_const(dataSources_))
        emit source->dataSetChanged();
}

void TTable::NotifyRecordChanged(TField* field) {
    if (disableCount_ > 0) {
        pendingDataSetChanged_ = true;
        return;
    }
    for (TDataSource* source : std::as_const(dataSources_)) {
        if (field)
            emit source->fieldChanged(field);
        else
            emit source->dataSetChanged();
    }
}

void TTable::NotifyStateChanged() {
    for (TDataSource* source : std::as_const(dataSources_))
        emit source->stateChanged();
}

}  // namespace velm
