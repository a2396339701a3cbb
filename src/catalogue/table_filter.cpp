// The table's filter, "Field = value", and the value groups that serve it without the
// engine for the small integer fields a filter picks categories and statuses by.
#include "catalogue/table.h"

#include "catalogue/database.h"
#include "catalogue/database_error.h"
#include "catalogue/field_values.h"

#include <QRegularExpression>

namespace velm {

void TTable::SetFilter(const QString& expression) {
    CheckBrowseMode();
    filterText_ = expression;
    filterField_.clear();
    filterValue_ = QVariant();
    static const QRegularExpression pattern(QStringLiteral("^\\s*([A-Za-z_][A-Za-z0-9_]*)\\s*=\\s*(.*?)\\s*$"));
    const QRegularExpressionMatch match = pattern.match(expression);
    if (!expression.trimmed().isEmpty()) {
        if (!match.hasMatch() || !FindField(match.captured(1)))
            throw EDatabaseError(QStringLiteral("Filter expression incorrectly formed: %1").arg(expression));
        filterField_ = match.captured(1);
        QString value = match.captured(2);
        if (value.size() >= 2 && (value.startsWith(QLatin1Char('\'')) || value.startsWith(QLatin1Char('"'))) &&
            value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        filterValue_ = value;
    }
    if (filtered_ && Active()) {
        RebuildFilter();
        SetPosition(0);
        NotifyDataSetChanged();
    }
}

void TTable::SetFiltered(bool on) {
    if (Active())
        CheckBrowseMode();
    if (filtered_ == on)
        return;
    const std::optional<Slot> current = CurrentSlot();
    filtered_ = on;
    if (!Active())
        return;
    RebuildFilter();
    if (on)
        SetPosition(0);
    else
        PlaceCurrent(current);
    NotifyDataSetChanged();
}

bool TTable::SlotPassesFilter(Slot slot) const {
    if (filterField_.isEmpty())
        return true;
    const TField* field = FindField(filterField_);
    Want(field->Index());
    const QVariant value = field->IsLookup() ? QVariant() : rows_.Value(slot, field->Index());
    return CompareValues(value, filterValue_, field->Kind(), false) == 0;
}

void TTable::RebuildFilter() {
    filteredSlots_.clear();
    if (!filtered_ || filterField_.isEmpty()) {
        if (filtered_)
            filteredSlots_ = orders_.All();
        return;
    }
    const TField* field = FindField(filterField_);
    if (const TValueGroups* groups = GroupsFor(*field)) {
        // As the engine would bind it: the text of the expression read as a number.
        filteredSlots_ = groups->Group(filterValue_.toLongLong());
        orders_.SortIdOrdered(filteredSlots_);
        return;
    }
    if ((field->Def().indexed || field->Index() == idField_) && !field->IsLookup() &&
        field->Kind() != TFieldKind::Memo) {
        // The engine's index selects the rows, so a switch costs the rows it selects.
        {
            TStatement& select = database_->Prepare(sql_.SelectIdsOrdered(field->Index()));
            const TResetOnExit reset(select);
            if (field->Kind() == TFieldKind::String || field->Kind() == TFieldKind::Date)
                select.Bind(1, filterValue_.toString());
            else
                select.Bind(1, filterValue_.toLongLong());
            while (select.Step())
                if (const std::optional<Slot> slot = rows_.Find(select.ColumnInt(0)))
                    filteredSlots_.push_back(*slot);
        }
        orders_.SortIdOrdered(filteredSlots_);
        return;
    }
    for (Slot slot : orders_.All())
        if (SlotPassesFilter(slot))
            filteredSlots_.push_back(slot);
}

const TValueGroups* TTable::GroupsFor(const TField& field) const {
    if (!field.Def().indexed || field.Kind() != TFieldKind::SmallInt || ((oddFields_ >> field.Index()) & 1U))
        return nullptr;
    TValueGroups& groups = groups_[field.Index()];
    if (!groups.Built())
        groups.Build(rows_, field.Index());
    return &groups;
}

void TTable::LeaveGroups(Slot slot) const {
    for (auto& [field, groups] : groups_)
        if (groups.Built() && !rows_.IsNull(slot, field))
            groups.Remove(slot, rows_.Integer(slot, field));
}

void TTable::JoinGroups(Slot slot) const {
    for (auto& [field, groups] : groups_)
        if (groups.Built() && !rows_.IsNull(slot, field))
            groups.Add(slot, rows_.Integer(slot, field));
}

}  // namespace velm
