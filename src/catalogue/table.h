#pragma once

#include "catalogue/field.h"
#include "catalogue/row_orders.h"
#include "catalogue/row_store.h"
#include "catalogue/table_statements.h"
#include "catalogue/value_groups.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace velm {

class TDatabase;
class TDataSource;
class TStatement;

enum class TDataSetState { Inactive, Browse, Edit, Insert };

// A remembered row; 0 is no bookmark.
using TBookmark = qint64;

// One row's stored memo bytes, as read ahead for a scan.
struct TMemoBytes {
    TBookmark row = 0;
    QByteArray bytes;
};

// A catalogue table with a current row, in the manner of a desktop database engine:
// navigation, a filter, whole-value locate, edit/insert/post/cancel, bookmarks, typed
// fields, lookups and indexes. Every row's short fields are held in memory once the
// table is open (compactly, in a TRowStore), so navigation is free; memos are read when
// asked for.
class TTable : public QObject {
    Q_OBJECT
public:
    TTable(QString databaseName, QString tableName, std::vector<TFieldDef> fieldDefs,
           std::vector<TIndexDef> indexDefs = {}, QObject* parent = nullptr);
    ~TTable() override;

    const QString& DatabaseName() const { return databaseName_; }
    const QString& TableName() const { return tableName_; }

    void Open();
    void Close();
    bool Active() const { return state_ != TDataSetState::Inactive; }
    TDataSetState State() const { return state_; }
    bool Modified() const { return modified_; }

    // Navigation over the visible rows in the current index order. Each first leaves
    // an edited row: pending control input is pulled, then posted if changed.
    void First();
    void Next();
    // A walk that reads every field of its rows (a report) says so: Next then asks for
    // the rows ahead, whose fields lie in arrays of their own.
    void SetReadsWholeRows(bool on) { readsWholeRows_ = on; }
    void Prior();
    void Last();
    bool Eof() const { return eof_; }
    bool IsEmpty() const { return visible().empty(); }
    int RecordCount() const { return static_cast<int>(visible().size()); }
    // The rows of the visible set, 0-based; -1 when there is none.
    int RecNo() const { return pos_; }

    // A filter of the form "Field = value"; it applies while Filtered is on.
    void SetFilter(const QString& expression);
    const QString& Filter() const { return filterText_; }
    void SetFiltered(bool on);
    bool Filtered() const { return filtered_; }

    // Whole-value match on one field among the visible rows. True makes the match the
    // current row; false leaves the current row as it was.
    bool Locate(const QString& fieldName, const QVariant& value, bool caseInsensitive);

    // Whether any row, filtered out or not, holds this value in the field.
    bool AnyRowHas(const QString& fieldName, const QVariant& value) const;

    void Edit();
    void Append();
    void Insert();
    void Post();
    void Cancel();
    void Delete();
    // Leaves edit or insert state: post if changed, else cancel.
    void CheckBrowseMode();
    // Asks the controls to write their pending input into the row.
    void UpdateRecord();

    TBookmark GetBookmark() const;
    void GotoBookmark(TBookmark bookmark);
    bool BookmarkValid(TBookmark bookmark) const;

    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return disableCount_ > 0; }

    int FieldCount() const { return static_cast<int>(fields_.size()); }
    TField* Field(int index) const { return fields_.at(static_cast<size_t>(index)).get(); }
    TField* FindField(const QString& name) const;
    TField* FieldByName(const QString& name) const;  // raises when there is no such field
    QStringList FieldNames() const;

    const std::vector<TIndexDef>& IndexDefs() const { return orders_.Defs(); }
    const QString& IndexName() const { return orders_.Name(); }
    // Reorders the rows by another index, keeping the current row.
    void SetIndexName(const QString& name);
    // Seeks on the current index's first field: the exact key, or the first row at or
    // after it.
    bool FindKey(const QVariant& key);
    void FindNearest(const QVariant& key);

    // Re-reads every row from the files (after a rolled-back transaction, say).
    void Refresh();

    // Open reads the fields that order, filter and name rows (the ID, index and indexed
    // fields) and leaves the other short fields for later: this reads them. Until then a
    // row whose deferred field is wanted has its own read, and a search over them reads
    // them all, so calling this is never needed, only earlier: the program calls it once
    // its window is shown.
    void LoadDeferredFields() const;

    // Runs before every Delete; an EAbort raised in it cancels the Delete.
    std::function<void(TTable&)> BeforeDelete;
    // Runs BeforeDelete alone (a new row has nothing to guard), so that a control asks
    // "Delete record?" only about a row the guard lets go.
    void CheckDeleteAllowed() {
        if (BeforeDelete && state_ != TDataSetState::Insert && !IsEmpty())
            BeforeDelete(*this);
    }

    // Data sources register themselves here.
    void AttachDataSource(TDataSource* source);
    void DetachDataSource(TDataSource* source);

    // Used by TField.
    QVariant FieldValue(int fieldIndex) const;
    // A text field's value as text, the same as FieldValue's, without a QVariant between.
    QString FieldText(int fieldIndex) const;
    void SetFieldValue(int fieldIndex, const QVariant& value);
    QByteArray ReadMemo(int fieldIndex) const;
    // The stored bytes of one memo field for the current row and the visible rows after
    // it, at most count rows and, beyond the current one, about maxBytes in all, read in
    // one query: a scan over many rows costs a query per batch instead of one per row.
    // The current row comes first. Only in browse state; otherwise empty.
    std::vector<TMemoBytes> ReadMemosAhead(int fieldIndex, int count, qsizetype maxBytes) const;
    // Goes up whenever stored rows change (post, delete, reload, close): whoever keeps
    // row contents aside knows by it when they are stale.
    quint64 RowsVersion() const { return rowsVersion_; }
    // Lookup support: the value of a field in the row whose key field has this value.
    QVariant LookupValue(const QString& keyField, const QVariant& key, const QString& resultField) const;

private:
    using Slot = TRowStore::Slot;
    // The row being edited or inserted.
    struct Row {
        std::vector<QVariant> values;  // one per field; lookups stay empty
        quint64 memoLoaded = 0;        // one bit per field
        bool MemoLoaded(int field) const { return (memoLoaded >> field) & 1U; }
    };

    bool Editing() const { return state_ == TDataSetState::Edit || state_ == TDataSetState::Insert; }
    void CheckActive() const;
    void CheckEditing() const;

    // Loading (table_load.cpp).
    void LoadRows();
    // The values of some fields from the current row of a select, from a column on.
    void ReadValues(const TStatement& select, Slot slot, const std::vector<int>& fields, int firstColumn) const;
    // Makes the field's values present for every row, or for one row when given: a
    // deferred field is read with the others, of that row or of all rows.
    void Want(int field, std::optional<Slot> row = std::nullopt) const {
        if (!deferredLoaded_ && ((deferredMask_ >> field) & 1U))
            LoadDeferred(row);
    }
    void LoadDeferred(std::optional<Slot> row) const;

    // Filter and value groups (table_filter.cpp).
    void RebuildFilter();
    bool SlotPassesFilter(Slot slot) const;
    // The groups that serve a filter on the field, or none when the engine must: the
    // field is an indexed small integer whose every value in the file is one.
    const TValueGroups* GroupsFor(const TField& field) const;
    // Keeps built groups in step with a row's value of each indexed field.
    void LeaveGroups(Slot slot) const;
    void JoinGroups(Slot slot) const;

    // The cursor (table_cursor.cpp).
    const std::vector<Slot>& visible() const { return filtered_ ? filteredSlots_ : orders_.All(); }
    std::optional<Slot> CurrentSlot() const;
    qint64 CurrentId() const;
    int PositionOf(Slot slot) const { return orders_.PositionIn(visible(), slot); }
    void SetPosition(int pos);
    void PlaceCurrent(std::optional<Slot> slot);  // makes the row current, or the nearest position
    void FetchRowsAhead() const;
    // The IDs of the rows whose field holds the key, as the engine's index finds them.
    std::vector<qint64> MatchingIds(const TField& field, const QVariant& key, bool caseInsensitive) const;
    int CompareByIndex(Slot slot, const QVariant& key) const;
    // Where the key stands among the visible rows by the current index's first field.
    int SeekPosition(const QVariant& key) const;
    void StartInsert();
    Slot PostEdit();
    std::optional<Slot> PostInsert();
    QVariant StoredValue(int field) const;  // the edit buffer's value as the file stores it
    // Takes a posted row into the orders and the filter where it belongs.
    void RowAddedToViews(Slot slot);
    void LeaveEditing();  // back to browse state, the edit buffer dropped

    // Notifications to the data sources.
    void NotifyDataSetChanged();
    void NotifyRecordChanged(TField* field);
    void NotifyStateChanged();

    QString databaseName_;
    QString tableName_;
    TDatabase* database_ = nullptr;
    TTableStatements sql_;  // once open
    std::vector<std::unique_ptr<TField>> fields_;
    int idField_ = -1;
    std::vector<int> loadedFields_;    // stored, non-memo fields
    std::vector<int> keyFields_;       // those read at open
    std::vector<int> deferredFields_;  // the others
    quint64 deferredMask_ = 0;         // one bit per deferred field
    mutable bool deferredLoaded_ = true;
    // Indexed fields whose file holds a value that is not a 32-bit integer: their
    // filters go to the engine, which compares what the file holds.
    mutable quint64 oddFields_ = 0;
    mutable std::map<int, TValueGroups> groups_;  // by field number, built on first use
    mutable std::vector<bool> deferredRows_;  // rows read on their own before the rest
    mutable int rowsReadAlone_ = 0;

    // Filled in two steps (key fields, then the deferred ones), hence mutable.
    mutable TRowStore rows_;
    TRowOrders orders_{rows_};  // declared after the rows it orders
    quint64 rowsVersion_ = 0;
    std::vector<Slot> filteredSlots_;

    QString filterText_;
    QString filterField_;
    QVariant filterValue_;
    bool filtered_ = false;

    int pos_ = -1;
    // How far ahead of a walk its rows are fetched (TRowStore::PrefetchFields).
    static constexpr size_t kFieldsAhead = 8;
    static constexpr size_t kTextsAhead = 4;
    bool readsWholeRows_ = false;
    bool eof_ = true;

    TDataSetState state_ = TDataSetState::Inactive;
    Row buffer_;              // the row being edited or inserted
    std::vector<bool> changed_;  // fields set since Edit/Insert
    bool modified_ = false;
    int insertReturnPos_ = -1;  // where Cancel of an insert goes back to

    int disableCount_ = 0;
    bool pendingDataSetChanged_ = false;
    QList<TDataSource*> dataSources_;
};

// Holds a table's controls still while it is walked or moved about, and lets them
// follow the row again however the scope ends.
class TControlsDisabled {
public:
    explicit TControlsDisabled(TTable& table) : table_(table) { table_.DisableControls(); }
    ~TControlsDisabled() { table_.EnableControls(); }
    TControlsDisabled(const TControlsDisabled&) = delete;
    TControlsDisabled& operator=(const TControlsDisabled&) = delete;

private:
    TTable& table_;
};

}  // namespace velm
