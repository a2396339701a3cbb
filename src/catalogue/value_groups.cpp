#include "catalogue/value_groups.h"

#include <algorithm>

namespace velm {

void TValueGroups::Build(const TRowStore& rows, int field) {
    groups_.clear();
    for (Slot slot = 0; slot < rows.SlotCount(); ++slot)
        if (rows.Live(slot) && !rows.IsNull(slot, field))
            groups_[rows.Integer(slot, field)].push_back(slot);
    built_ = true;
}

const std::vector<TValueGroups::Slot>& TValueGroups::Group(qint64 value) const {
    static const std::vector<Slot> none;
    const auto it = groups_.find(value);
    return it == groups_.end() ? none : it->second;
}

void TValueGroups::Add(Slot slot, qint64 value) {
    std::vector<Slot>& group = groups_[value];
    group.insert(std::upper_bound(group.begin(), group.end(), slot), slot);
}

void TValueGroups::Remove(Slot slot, qint64 value) {
    const auto it = groups_.find(value);
    if (it == groups_.end())
        return;
    std::vector<Slot>& group = it->second;
    const auto at = std::lower_bound(group.begin(), group.end(), slot);
    if (at != group.end() && *at == slot)
        group.erase(at);
    if (group.empty())
        groups_.erase(it);
}

}  // namespace velm
