#include "catalogue/row_orders.h"

#include <algorithm>
#include <string_view>

namespace velm {

void TRowOrders::SetIndexes(std::vector<TIndexDef> defs, std::vector<std::vector<int>> fields,
                            std::vector<TFieldKind> kinds) {
    defs_ = std::move(defs);
    fields_ = std::move(fields);
    kinds_ = std::move(kinds);
    current_ = Find(name_);
}

const TIndexDef* TRowOrders::Find(const QString& name) const {
    for (const auto& def : defs_)
        if (def.name.compare(name, Qt::CaseInsensitive) == 0)
            return &def;
    return nullptr;
}

void TRowOrders::Use(const QString& name) {
    const QString previousKey = name_.toLower();
    name_ = name;
    current_ = Find(name_);
    std::vector<Slot> next;
    auto kept = kept_.find(name.toLower());
    if (kept != kept_.end()) {
        next = std::move(kept->second);
        kept_.erase(kept);
    } else {
        next = all_;
        SortBy(current_, next);
    }
    kept_[previousKey] = std::move(all_);
    all_ = std::move(next);
}

void TRowOrders::Reset(std::vector<Slot> idOrdered) {
    // The memory of the old orders goes back at once.
    kept_.clear();
    all_ = std::move(idOrdered);
    SortIdOrdered(all_);
}

void TRowOrders::Add(Slot slot) {
    InsertInto(all_, slot);
    for (auto& [key, rows] : kept_)
        InsertBy(Find(key), rows, slot);
}

void TRowOrders::Remove(Slot slot) {
    EraseFrom(all_, slot);
    for (auto& [key, rows] : kept_)
        EraseBy(Find(key), rows, slot);
}

bool TRowOrders::LessBy(const TIndexDef* index, Slot a, Slot b) const {
    if (a == b)
        return false;
    if (index) {
        for (int field : FieldsOf(index)) {
            int c = rows_.Compare(a, b, field, index->caseInsensitive);
            if (index->descending)
                c = -c;
            if (c != 0)
                return c < 0;
        }
    }
    return a < b;
}

void TRowOrders::SortBy(const TIndexDef* index, std::vector<Slot>& rows) const {
    if (!index) {
        std::sort(rows.begin(), rows.end());
        return;
    }
    const std::vector<int>& fields = FieldsOf(index);
    if (fields.size() == 1 && kinds_[static_cast<size_t>(fields.front())] == TFieldKind::String) {
        // A name index, the one a search sorts by: each row's text is looked up once, not
        // in every one of the comparisons.
        struct Key {
            std::string_view text;
            bool empty;
            Slot slot;
        };
        const int field = fields.front();
        std::vector<Key> keys;
        keys.reserve(rows.size());
        for (Slot slot : rows)
            keys.push_back({rows_.TextView(slot, field), rows_.IsEmpty(slot, field), slot});
        const bool caseInsensitive = index->caseInsensitive;
        const bool descending = index->descending;
        std::sort(keys.begin(), keys.end(), [&](const Key& a, const Key& b) {
            int c = a.empty || b.empty ? (a.empty == b.empty ? 0 : (a.empty ? -1 : 1))
                                       : CompareUtf8(a.text, b.text, caseInsensitive);
            if (descending)
                c = -c;
            return c != 0 ? c < 0 : a.slot < b.slot;
        });
        for (size_t i = 0; i < keys.size(); ++i)
            rows[i] = keys[i].slot;
        return;
    }
    std::sort(rows.begin(), rows.end(), [&](Slot a, Slot b) { return LessBy(index, a, b); });
}

int TRowOrders::PositionBy(const TIndexDef* index, const std::vector<Slot>& rows, Slot slot) const {
    if (!index) {
        // A list in ID order is sorted by slot.
        const auto it = std::lower_bound(rows.begin(), rows.end(), slot);
        return it != rows.end() && *it == slot ? static_cast<int>(it - rows.begin()) : -1;
    }
    const auto it = std::find(rows.begin(), rows.end(), slot);
    return it != rows.end() ? static_cast<int>(it - rows.begin()) : -1;
}

void TRowOrders::InsertBy(const TIndexDef* index, std::vector<Slot>& rows, Slot slot) const {
    auto it = std::upper_bound(rows.begin(), rows.end(), slot,
                               [this, index](Slot a, Slot b) { return LessBy(index, a, b); });
    rows.insert(it, slot);
}

void TRowOrders::EraseBy(const TIndexDef* index, std::vector<Slot>& rows, Slot slot) const {
    const int pos = PositionBy(index, rows, slot);
    if (pos >= 0)
        rows.erase(rows.begin() + pos);
}

}  // namespace velm
