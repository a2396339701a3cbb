#pragma once

#include "catalogue/row_store.h"

#include <QString>
#include <QStringList>

#include <map>
#include <vector>

namespace velm {

struct TIndexDef {
    QString name;         // "" is the primary index
    QStringList fields;
    bool caseInsensitive = false;
    bool descending = false;
};

// Every row of a table in the order of its current index, and the index's order of any
// list of rows. The order of each index used before is kept as well, in step with posted
// and deleted rows, so that a search that switches to an index and back costs no sort.
// Rows that tie on an index follow their slots, which is the ID order; without an index
// the ID order is the order.
class TRowOrders {
public:
    using Slot = TRowStore::Slot;

    explicit TRowOrders(const TRowStore& rows) : rows_(rows) {}

    // The table's indexes with the numbers of their fields, and every field's kind by
    // number. The index named "" becomes current.
    void SetIndexes(std::vector<TIndexDef> defs, std::vector<std::vector<int>> fields, std::vector<TFieldKind> kinds);
    const std::vector<TIndexDef>& Defs() const { return defs_; }
    bool Has(const QString& name) const { return Find(name) != nullptr; }

    const QString& Name() const { return name_; }
    const TIndexDef* Current() const { return current_; }
    // Makes another index current and every row follow it: its kept order when there is
    // one, else a sort.
    void Use(const QString& name);

    // Every row, in the current order.
    const std::vector<Slot>& All() const { return all_; }
    // Starts again with these rows, given in ID order; the kept orders go.
    void Reset(std::vector<Slot> idOrdered);
    // A row posted or deleted: every order follows.
    void Add(Slot slot);
    void Remove(Slot slot);

    // A list of rows in the current order, from any order or from the ID order.
    void Sort(std::vector<Slot>& rows) const { SortBy(current_, rows); }
    void SortIdOrdered(std::vector<Slot>& rows) const {
        if (current_)
            SortBy(current_, rows);
    }
    bool Less(Slot a, Slot b) const { return LessBy(current_, a, b); }
    // Where a row stands in a list kept in the current order, or -1.
    int PositionIn(const std::vector<Slot>& rows, Slot slot) const { return PositionBy(current_, rows, slot); }
    void InsertInto(std::vector<Slot>& rows, Slot slot) const { InsertBy(current_, rows, slot); }
    void EraseFrom(std::vector<Slot>& rows, Slot slot) const { EraseBy(current_, rows, slot); }

private:
    const TIndexDef* Find(const QString& name) const;
    const std::vector<int>& FieldsOf(const TIndexDef* index) const {
        return fields_[static_cast<size_t>(index - defs_.data())];
    }
    bool LessBy(const TIndexDef* index, Slot a, Slot b) const;
    void SortBy(const TIndexDef* index, std::vector<Slot>& rows) const;
    int PositionBy(const TIndexDef* index, const std::vector<Slot>& rows, Slot slot) const;
    void InsertBy(const TIndexDef* index, std::vector<Slot>& rows, Slot slot) const;
    void EraseBy(const TIndexDef* index, std::vector<Slot>& rows, Slot slot) const;

    const TRowStore& rows_;
    std::vector<TIndexDef> defs_;
    std::vector<std::vector<int>> fields_;  // field numbers of each index, as defs_
    std::vector<TFieldKind> kinds_;         // by field number
    QString name_;
    const TIndexDef* current_ = nullptr;
    std::vector<Slot> all_;
    std::map<QString, std::vector<Slot>> kept_;  // by lower-case index name
};

}  // namespace velm
