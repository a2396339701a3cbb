#pragma once

#include "catalogue/field.h"
#include "catalogue/int_column.h"
#include "catalogue/text_arena.h"

#include <QDate>
#include <QVariant>

#include <optional>
#include <string_view>
#include <vector>

namespace velm {

// The short fields of every row of a table, held compactly: one array per field, texts
// in a shared arena, rows named by slot. A value becomes a QVariant only when it is
// read. Slots are handed out in ascending ID order and never reused until the store is
// loaded again, so the slot order is the ID order. A field's array reaches only as far
// as its last value set: a new row costs nothing in the fields it leaves empty. Memos
// and lookups are not held.
class TRowStore {
public:
    using Slot = quint32;

    // Empties the store for fields of these kinds; idField is the row identity.
    void Reset(const std::vector<TFieldKind>& kinds, int idField, size_t expectedRows);

    // A new row, every field empty. Its ID must be above every ID held.
    Slot Append(qint64 id);
    // One field's array made to reach this many rows at once, ahead of setting their
    // values one after another.
    void Presize(int field, size_t rows);
    bool CanAppend(qint64 id) const { return ids_.empty() || id > ids_.back(); }
    void Remove(Slot slot) { removed_[slot] = true; }

    size_t SlotCount() const { return ids_.size(); }
    bool Live(Slot slot) const { return !removed_[slot]; }
    qint64 Id(Slot slot) const { return ids_[slot]; }
    std::optional<Slot> Find(qint64 id) const;

    bool IsNull(Slot slot, int field) const { return (nulls_[slot] >> field) & 1U; }
    // Null, or a text without characters: what sorts before every value.
    bool IsEmpty(Slot slot, int field) const;
    QVariant Value(Slot slot, int field) const;
    // The value of an integer field (small integer, flag, date's day number) as held.
    qint64 Integer(Slot slot, int field) const {
        return field == idField_ ? ids_[slot] : columns_[static_cast<size_t>(field)].numbers.Get(slot);
    }
    // The text of a text field without making a QString.
    std::string_view TextView(Slot slot, int field) const;
    // The text of a text field; null when the field is.
    QString Text(Slot slot, int field) const;

    // A value in the form the table keeps (text, int, bool, QDate, qint64); null empties it.
    void SetValue(Slot slot, int field, const QVariant& value);
    // Straight from the engine while loading.
    void SetText(Slot slot, int field, std::string_view utf8);
    void SetInteger(Slot slot, int field, qint64 value);
    void SetDate(Slot slot, int field, const QDate& date);

    // A walk in another order than the slots' (a category, an index) meets each field of
    // a row in an array of its own, a cache miss apiece. The walk asks for rows ahead:
    // first their fields, a few rows later the texts those fields name.
    void PrefetchFields(Slot slot) const;
    void PrefetchTexts(Slot slot) const;

    // Orders two rows by one field as the table's indexes do: empty first, texts by UTF-16
    // code units with A to Z folded when asked.
    int Compare(Slot a, Slot b, int field, bool caseInsensitive) const;

private:
    // What one field holds; the ID field's values are the slots' IDs.
    struct Column {
        TFieldKind kind = TFieldKind::Memo;
        TIntColumn numbers;                  // SmallInt, Boolean, Date (Julian day), AutoInc
        std::vector<TTextArena::Ref> texts;  // String
    };
    // The field's array made long enough to hold a value for the slot.
    Column& Reach(Slot slot, int field);
    void SetNull(Slot slot, int field, bool null) {
        if (null)
            nulls_[slot] |= quint64(1) << field;
        else
            nulls_[slot] &= ~(quint64(1) << field);
    }

    std::vector<Column> columns_;
    int idField_ = 0;
    std::vector<qint64> ids_;     // ascending
    std::vector<quint64> nulls_;  // one bit per field
    std::vector<bool> removed_;
    TTextArena arena_;
};

// Orders UTF-8 texts as their UTF-16 forms compare code unit by code unit, with A to Z
// folded to upper case when asked.
int CompareUtf8(std::string_view a, std::string_view b, bool caseInsensitive);

}  // namespace velm
