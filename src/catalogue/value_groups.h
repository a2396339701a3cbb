#pragma once

#include "catalogue/row_store.h"

#include <unordered_map>
#include <vector>

namespace velm {

// The rows of a table grouped by the value of one integer field, each group in slot
// (ID) order: a filter on the field takes its group instead of asking the engine, so a
// switch costs the rows it selects. The table keeps it in step with every posted and
// deleted row.
class TValueGroups {
public:
    using Slot = TRowStore::Slot;

    bool Built() const { return built_; }
    void Build(const TRowStore& rows, int field);

    const std::vector<Slot>& Group(qint64 value) const;  // empty when no row has it
    void Add(Slot slot, qint64 value);
    void Remove(Slot slot, qint64 value);

private:
    std::unordered_map<qint64, std::vector<Slot>> groups_;
    bool built_ = false;
};

}  // namespace velm
