#include "catalogue/table.h"

#include "catalogue/data_source.h"
#include "catalogue/database.h"
#include "catalogue/database_error.h"
#include "catalogue/text_cut.h"

#include <QRegularExpression>

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace velm {

namespace {

// "yyyy-MM-dd" read by hand: the general parser costs more than the whole row.
QDate ParseIsoDate(const QString& text) {
    if (text.size() != 10 || text.at(4) != QLatin1Char('-') || text.at(7) != QLatin1Char('-'))
        return QDate::fromString(text, Qt::ISODate);
    int parts[3] = {0, 0, 0};
    const int starts[3] = {0, 5, 8};
    const int lengths[3] = {4, 2, 2};
    for (int p = 0; p < 3; ++p)
        for (int i = 0; i < lengths[p]; ++i) {
            const QChar c = text.at(starts[p] + i);
            if (!c.isDigit())
                return QDate();
            parts[p] = parts[p] * 10 + c.digitValue();
        }
    return QDate(parts[0], parts[1], parts[2]);
}

// The same straight from the engine's bytes; plain ASCII digits need no QString.
QDate ParseIsoDate(std::string_view utf8) {
    const auto digit = [&](size_t i) { return utf8[i] >= '0' && utf8[i] <= '9'; };
    if (utf8.size() == 10 && utf8[4] == '-' && utf8[7] == '-' && digit(0) && digit(1) && digit(2) && digit(3) &&
        digit(5) && digit(6) && digit(8) && digit(9)) {
        const auto number = [&](size_t from, size_t count) {
            int n = 0;
            for (size_t i = from; i < from + count; ++i)
                n = n * 10 + (utf8[i] - '0');
            return n;
        };
        return QDate(number(0, 4), number(5, 2), number(8, 2));
    }
    return ParseIsoDate(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

constexpr int kSmallIntMin = -32768;
constexpr int kSmallIntMax = 32767;

bool IsEmptyValue(const QVariant& value) {
    return !value.isValid() || value.isNull() ||
           (value.typeId() == QMetaType::QString && value.toString().isEmpty());
}

// Letter case is ignored for A to Z only, matching the engine's unique keys.
int CompareAsciiNoCase(const QString& a, const QString& b) {
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        char16_t ca = a.at(i).unicode();
        char16_t cb = b.at(i).unicode();
        if (ca >= 'a' && ca <= 'z')
            ca = static_cast<char16_t>(ca - 'a' + 'A');
        if (cb >= 'a' && cb <= 'z')
            cb = static_cast<char16_t>(cb - 'a' + 'A');
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// The text a value holds, or null when it holds something else.
const QString* TextIn(const QVariant& value) {
    return value.typeId() == QMetaType::QString ? static_cast<const QString*>(value.constData()) : nullptr;
}

int CompareValues(const QVariant& a, const QVariant& b, TFieldKind kind, bool caseInsensitive) {
    // Texts compared in place: sorting a large table makes millions of these calls.
    if (const QString* x = TextIn(a)) {
        if (const QString* y = TextIn(b)) {
            if (x->isEmpty() || y->isEmpty())
                return x->isEmpty() == y->isEmpty() ? 0 : (x->isEmpty() ? -1 : 1);
            if (caseInsensitive)
                return CompareAsciiNoCase(*x, *y);
            const int c = x->compare(*y);
            return c == 0 ? 0 : (c < 0 ? -1 : 1);
        }
    }
    const bool aNull = IsEmptyValue(a);
    const bool bNull = IsEmptyValue(b);
    if (aNull || bNull)
        return aNull == bNull ? 0 : (aNull ? -1 : 1);
    switch (kind) {
    case TFieldKind::SmallInt:
    case TFieldKind::AutoInc:
    case TFieldKind::Boolean: {
        const qint64 x = a.toLongLong();
        const qint64 y = b.toLongLong();
        return x == y ? 0 : (x < y ? -1 : 1);
    }
    case TFieldKind::Date: {
        const QDate x = a.toDate();
        const QDate y = b.toDate();
        return x == y ? 0 : (x < y ? -1 : 1);
    }
    default: {
        const QString x = a.toString();
        const QString y = b.toString();
        if (caseInsensitive)
            return CompareAsciiNoCase(x, y);
        const int c = x.compare(y);
        return c == 0 ? 0 : (c < 0 ? -1 : 1);
    }
    }
}

QString Quote(const QString& identifier) {
    QString quoted = identifier;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

}  // namespace

TTable::TTable(QString databaseName, QString tableName, std::vector<TFieldDef> fieldDefs,
               std::vector<TIndexDef> indexDefs, QObject* parent)
    : QObject(parent), databaseName_(std::move(databaseName)), tableName_(std::move(tableName)),
      indexDefs_(std::move(indexDefs)) {
    int index = 0;
    for (auto& def : fieldDefs) {
        if (def.name.compare(QLatin1String("ID"), Qt::CaseInsensitive) == 0)
            idField_ = index;
        fields_.push_back(std::make_unique<TField>(this, std::move(def), index));
        ++index;
    }
    if (fields_.size() > 64)
        throw EDatabaseError(QStringLiteral("Table %1 has more than 64 fields").arg(tableName_));
    if (idField_ < 0)
        throw EDatabaseError(QStringLiteral("Table %1 has no ID field").arg(tableName_));
    for (const auto& field : fields_)
        if (field->IsStored() && field->Kind() != TFieldKind::Memo)
            loadedFields_.push_back(field->Index());
    quint64 keys = quint64(1) << idField_;
    for (const auto& def : indexDefs_) {
        std::vector<int> numbers;
        for (const QString& name : def.fields)
            if (const TField* field = FindField(name)) {
                numbers.push_back(field->Index());
                keys |= quint64(1) << field->Index();
            }
        indexFields_.push_back(std::move(numbers));
    }
    currentIndex_ = IndexByKey(indexName_);
    for (int index : loadedFields_) {
        if (fields_[static_cast<size_t>(index)]->Def().indexed || ((keys >> index) & 1U)) {
            keyFields_.push_back(index);
        } else {
            deferredFields_.push_back(index);
            deferredMask_ |= quint64(1) << index;
        }
    }
}

TTable::~TTable() {
    for (TDataSource* source : std::as_const(dataSources_))
        source->table_ = nullptr;
    if (database_) {
        database_->DetachFile(tableName_);
        TSession::Instance().ReleaseIfUnused(databaseName_);
    }
}

// ---------------------------------------------------------------------------------
// Opening and loading

void TTable::Open() {
    if (Active())
        return;
    TDatabase& database = TSession::Instance().DatabaseFor(databaseName_);
    const QString schema = database.AttachFile(tableName_);
    database_ = &database;
    sqlTable_ = Quote(schema) + QLatin1Char('.') + Quote(QFileInfoBaseName(tableName_));
    try {
        LoadRows();
    } catch (...) {
        rows_.Reset({}, 0, 0);
        order_ = {};
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

QString TTable::QFileInfoBaseName(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? fileName.left(dot) : fileName;
}

void TTable::Close() {
    if (!Active())
        return;
    if (state_ == TDataSetState::Edit || state_ == TDataSetState::Insert)
        Cancel();
    // The memory goes back at once, not when the table is next opened.
    rows_.Reset({}, 0, 0);
    order_ = {};
    otherOrders_.clear();
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

QString TTable::SelectColumns(const std::vector<int>& fields) const {
    QStringList columns;
    for (int index : fields)
        columns << Quote(fields_[static_cast<size_t>(index)]->FieldName());
    return columns.join(QLatin1String(", "));
}

void TTable::LoadRows() {
    order_ = {};
    otherOrders_.clear();
    ++rowsVersion_;
    TStatement& select = database_->Prepare(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                                                .arg(SelectColumns(keyFields_), sqlTable_,
                                                     Quote(fields_[static_cast<size_t>(idField_)]->FieldName())));
    qint64 expected = 0;
    {
        TStatement& count = database_->Prepare(QStringLiteral("SELECT count(*) FROM %1").arg(sqlTable_));
        expected = count.Step() ? count.ColumnInt(0) : 0;
        count.Reset();
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
    order_.reserve(rows);
    deferredLoaded_ = deferredFields_.empty();
    deferredRows_ = {};
    rowsReadAlone_ = 0;
    const int idColumn = static_cast<int>(std::find(keyFields_.begin(), keyFields_.end(), idField_) - keyFields_.begin());
    try {
        while (select.Step()) {
            // Rows come in ID order; a file whose IDs repeat keeps the first of each.
            const qint64 id = select.ColumnInt(idColumn);
            if (!rows_.CanAppend(id))
                continue;
            const Slot slot = rows_.Append(id);
            ReadValues(select, slot, keyFields_, 0);
            order_.push_back(slot);
        }
    } catch (...) {
        select.Reset();
        throw;
    }
    select.Reset();
    deferredRows_.assign(deferredLoaded_ ? 0 : rows_.SlotCount(), false);
    if (CurrentIndex())
        SortOrder(order_);
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
    const QString id = Quote(fields_[static_cast<size_t>(idField_)]->FieldName());
    TStatement& select = database_->Prepare(
        QStringLiteral("SELECT %1, %2 FROM %3 ORDER BY %1").arg(id, SelectColumns(deferredFields_), sqlTable_));
    for (int index : deferredFields_)
        rows_.Presize(index, rows_.SlotCount());
    // Both go in ID order: each row of the file meets its slot in one pass. A row read
    // on its own or posted since the open already holds what the file holds.
    Slot slot = 0;
    const auto count = static_cast<Slot>(rows_.SlotCount());
    try {
        while (slot < count && select.Step()) {
            const qint64 rowId = select.ColumnInt(0);
            while (slot < count && rows_.Id(slot) < rowId)
                ++slot;
            if (slot < count && rows_.Id(slot) == rowId && rows_.Live(slot) && !deferredRows_[slot])
                ReadValues(select, slot, deferredFields_, 1);
        }
    } catch (...) {
        select.Reset();
        throw;
    }
    select.Reset();
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
    TStatement& select = database_->Prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                                                .arg(SelectColumns(deferredFields_), sqlTable_,
                                                     Quote(fields_[static_cast<size_t>(idField_)]->FieldName())));
    select.Bind(1, rows_.Id(*row));
    try {
        if (select.Step())
            ReadValues(select, *row, deferredFields_, 0);
    } catch (...) {
        select.Reset();
        throw;
    }
    select.Reset();
    deferredRows_[*row] = true;
    ++rowsReadAlone_;
}

// ---------------------------------------------------------------------------------
// Rows and order

const TIndexDef* TTable::IndexByKey(const QString& key) const {
    for (const auto& def : indexDefs_)
        if (def.name.compare(key, Qt::CaseInsensitive) == 0)
            return &def;
    return nullptr;
}

const std::vector<int>& TTable::IndexFields(const TIndexDef* index) const {
    return indexFields_[static_cast<size_t>(index - indexDefs_.data())];
}

bool TTable::SlotLessBy(const TIndexDef* index, Slot a, Slot b) const {
    if (a == b)
        return false;
    if (index) {
        for (int field : IndexFields(index)) {
            int c = rows_.Compare(a, b, field, index->caseInsensitive);
            if (index->descending)
                c = -c;
            if (c != 0)
                return c < 0;
        }
    }
    // Slots follow the ID order.
    return a < b;
}

void TTable::SortOrderBy(const TIndexDef* index, std::vector<Slot>& rowSlots) const {
    if (!index) {
        std::sort(rowSlots.begin(), rowSlots.end());
        return;
    }
    const std::vector<int>& fields = IndexFields(index);
    if (fields.size() == 1 && fields_[static_cast<size_t>(fields.front())]->Kind() == TFieldKind::String) {
        // A name index, the one a search sorts by: each row's text is looked up once, not
        // in every one of the comparisons.
        struct Key {
            std::string_view text;
            bool empty;
            Slot slot;
        };
        const int field = fields.front();
        std::vector<Key> keys;
        keys.reserve(rowSlots.size());
        for (Slot slot : rowSlots)
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
            rowSlots[i] = keys[i].slot;
        return;
    }
    std::sort(rowSlots.begin(), rowSlots.end(), [&](Slot a, Slot b) { return SlotLessBy(index, a, b); });
}

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

int TTable::PositionIn(const TIndexDef* index, const std::vector<Slot>& view, Slot slot) const {
    if (!index) {
        // A view in ID order is sorted by slot.
        const auto it = std::lower_bound(view.begin(), view.end(), slot);
        return it != view.end() && *it == slot ? static_cast<int>(it - view.begin()) : -1;
    }
    const auto it = std::find(view.begin(), view.end(), slot);
    return it != view.end() ? static_cast<int>(it - view.begin()) : -1;
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

void TTable::EraseFrom(const TIndexDef* index, std::vector<Slot>& view, Slot slot) const {
    const int pos = PositionIn(index, view, slot);
    if (pos >= 0)
        view.erase(view.begin() + pos);
}

void TTable::InsertInOrderBy(const TIndexDef* index, std::vector<Slot>& view, Slot slot) const {
    auto it = std::upper_bound(view.begin(), view.end(), slot,
                               [this, index](Slot a, Slot b) { return SlotLessBy(index, a, b); });
    view.insert(it, slot);
}

void TTable::RowRemovedFromOrders(Slot slot) {
    for (auto& [key, rowSlots] : otherOrders_)
        EraseFrom(IndexByKey(key), rowSlots, slot);
}

void TTable::RowAddedToOrders(Slot slot) {
    for (auto& [key, rowSlots] : otherOrders_)
        InsertInOrderBy(IndexByKey(key), rowSlots, slot);
}

void TTable::RowAddedToViews(Slot slot) {
    InsertInOrder(order_, slot);
    RowAddedToOrders(slot);
    if (filtered_ && SlotPassesFilter(slot))
        InsertInOrder(filteredSlots_, slot);
}

// ---------------------------------------------------------------------------------
// Checks

void TTable::CheckActive() const {
    if (!Active())
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

void TTable::CheckEditing() const {
    if (state_ != TDataSetState::Edit && state_ != TDataSetState::Insert)
        throw EDatabaseError(QStringLiteral("Dataset not in edit or insert mode"));
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
// Filter

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

bool TTable::PassesFilter(const QVariant& fieldValue) const {
    const TField* field = FindField(filterField_);
    return CompareValues(field->IsLookup() ? QVariant() : fieldValue, filterValue_, field->Kind(), false) == 0;
}

bool TTable::SlotPassesFilter(Slot slot) const {
    if (filterField_.isEmpty())
        return true;
    const int field = FindField(filterField_)->Index();
    Want(field);
    return PassesFilter(rows_.Value(slot, field));
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

void TTable::RebuildFilter() {
    filteredSlots_.clear();
    if (!filtered_ || filterField_.isEmpty()) {
        if (filtered_)
            filteredSlots_ = order_;
        return;
    }
    const TField* field = FindField(filterField_);
    if (const TValueGroups* groups = GroupsFor(*field)) {
        // As the engine would bind it: the text of the expression read as a number.
        filteredSlots_ = groups->Group(filterValue_.toLongLong());
        if (CurrentIndex())
            SortOrder(filteredSlots_);
        return;
    }
    if ((field->Def().indexed || field->Index() == idField_) && !field->IsLookup() &&
        field->Kind() != TFieldKind::Memo) {
        // The engine's index selects the rows, so a switch costs the rows it selects.
        TStatement& select = database_->Prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ? ORDER BY %1")
                                                    .arg(Quote(Field(idField_)->FieldName()), sqlTable_,
                                                         Quote(field->FieldName())));
        if (field->Kind() == TFieldKind::String || field->Kind() == TFieldKind::Date)
            select.Bind(1, filterValue_.toString());
        else
            select.Bind(1, filterValue_.toLongLong());
        try {
            while (select.Step())
                if (const std::optional<Slot> slot = rows_.Find(select.ColumnInt(0)))
                    filteredSlots_.push_back(*slot);
        } catch (...) {
            select.Reset();
            throw;
        }
        select.Reset();
        if (CurrentIndex())
            SortOrder(filteredSlots_);
        return;
    }
    for (Slot slot : order_)
        if (SlotPassesFilter(slot))
            filteredSlots_.push_back(slot);
}

// ---------------------------------------------------------------------------------
// Locate and index seeks

bool TTable::Locate(const QString& fieldName, const QVariant& value, bool caseInsensitive) {
    CheckActive();
    CheckBrowseMode();
    const TField* field = FieldByName(fieldName);
    const auto& view = visible();
    std::optional<Slot> found;
    if (field->IsLookup()) {
        const TLookupDef& lookup = field->Def().lookup;
        const int keyIndex = FieldByName(lookup.keyField)->Index();
        Want(keyIndex);
        for (Slot slot : view) {
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
        QVariant key = value;
        const bool numeric = field->Kind() == TFieldKind::SmallInt || field->Kind() == TFieldKind::AutoInc ||
                             field->Kind() == TFieldKind::Boolean;
        if (numeric) {
            bool ok = false;
            const qint64 number = value.typeId() == QMetaType::Bool ? value.toBool() : value.toLongLong(&ok);
            if (!ok && value.typeId() != QMetaType::Bool)
                return false;
            key = number;
        } else if (field->Kind() == TFieldKind::Date) {
            key = value.toDate().isValid() ? value.toDate().toString(Qt::ISODate) : value.toString();
        } else {
            key = value.toString();
        }
        if (IsEmptyValue(key))
            return false;
        // The engine's key answers in logarithmic time; the view decides the first match.
        const bool text = !numeric;
        QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?%4")
                          .arg(Quote(Field(idField_)->FieldName()), sqlTable_, Quote(field->FieldName()),
                               text ? (caseInsensitive ? QStringLiteral(" COLLATE NOCASE") : QStringLiteral(" COLLATE BINARY"))
                                    : QString());
        const bool byId = !CurrentIndex();
        if (byId && !filtered_)
            sql += QStringLiteral(" ORDER BY %1 LIMIT 1").arg(Quote(Field(idField_)->FieldName()));
        TStatement& select = database_->Prepare(sql);
        select.Bind(1, key);
        std::vector<qint64> candidates;
        try {
            while (select.Step())
                candidates.push_back(select.ColumnInt(0));
        } catch (...) {
            select.Reset();
            throw;
        }
        select.Reset();
        for (qint64 id : candidates) {
            const std::optional<Slot> slot = rows_.Find(id);
            if (!slot || (filtered_ && !SlotPassesFilter(*slot)))
                continue;
            if (!found || SlotLess(*slot, *found))
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

bool TTable::AnyRowHas(const QString& fieldName, const QVariant& value) const {
    CheckActive();
    const TField* field = FieldByName(fieldName);
    if (field->IsLookup() || IsEmptyValue(value))
        return false;
    Want(field->Index());
    for (Slot slot = 0; slot < rows_.SlotCount(); ++slot)
        if (rows_.Live(slot) && CompareValues(rows_.Value(slot, field->Index()), value, field->Kind(), false) == 0)
            return true;
    return false;
}

int TTable::CompareByIndex(Slot slot, const QVariant& key) const {
    const TIndexDef* index = CurrentIndex();
    const TField* field = index && !index->fields.isEmpty() ? FindField(index->fields.front()) : Field(idField_);
    const bool caseInsensitive = index && index->caseInsensitive;
    int c = CompareValues(rows_.Value(slot, field->Index()), key, field->Kind(), caseInsensitive);
    if (index && index->descending)
        c = -c;
    return c;
}

void TTable::SetIndexName(const QString& name) {
    CheckBrowseMode();
    if (!name.isEmpty()) {
        bool known = false;
        for (const auto& def : indexDefs_)
            known = known || def.name.compare(name, Qt::CaseInsensitive) == 0;
        if (!known)
            throw EDatabaseError(QStringLiteral("Index not found: %1").arg(name));
    }
    if (indexName_.compare(name, Qt::CaseInsensitive) == 0)
        return;
    const std::optional<Slot> current = CurrentSlot();
    const QString previousKey = indexName_.toLower();
    indexName_ = name;
    currentIndex_ = IndexByKey(indexName_);
    if (!Active())
        return;
    // Each index's order is built once and then kept in step with the rows, so that a
    // search that switches to an index and back costs no sort.
    std::vector<Slot> next;
    auto kept = otherOrders_.find(name.toLower());
    if (kept != otherOrders_.end()) {
        next = std::move(kept->second);
        otherOrders_.erase(kept);
    } else {
        next = order_;
        SortOrder(next);
    }
    otherOrders_[previousKey] = std::move(order_);
    order_ = std::move(next);
    if (filtered_)
        SortOrder(filteredSlots_);
    PlaceCurrent(current);
    NotifyDataSetChanged();
}

bool TTable::FindKey(const QVariant& key) {
    CheckActive();
    CheckBrowseMode();
    const auto& view = visible();
    auto it = std::lower_bound(view.begin(), view.end(), key,
                               [this](Slot slot, const QVariant& k) { return CompareByIndex(slot, k) < 0; });
    if (it == view.end() || CompareByIndex(*it, key) != 0)
        return false;
    SetPosition(static_cast<int>(it - view.begin()));
    NotifyRecordChanged(nullptr);
    return true;
}

void TTable::FindNearest(const QVariant& key) {
    CheckActive();
    CheckBrowseMode();
    const auto& view = visible();
    auto it = std::lower_bound(view.begin(), view.end(), key,
                               [this](Slot slot, const QVariant& k) { return CompareByIndex(slot, k) < 0; });
    SetPosition(it == view.end() ? RecordCount() - 1 : static_cast<int>(it - view.begin()));
    NotifyRecordChanged(nullptr);
}

// ---------------------------------------------------------------------------------
// Editing

void TTable::Edit() {
    CheckActive();
    if (state_ == TDataSetState::Edit || state_ == TDataSetState::Insert)
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
    std::optional<Slot> posted;
    if (state_ == TDataSetState::Edit) {
        const Slot slot = *CurrentSlot();
        const qint64 id = rows_.Id(slot);
        QStringList assignments;
        std::vector<int> columns;
        for (const auto& field : fields_) {
            const int i = field->Index();
            if (changed_[static_cast<size_t>(i)] && field->IsStored() && i != idField_) {
                assignments << Quote(field->FieldName()) + QStringLiteral(" = ?");
                columns.push_back(i);
            }
        }
        if (!columns.empty()) {
            TStatement& update = database_->Prepare(QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                                                        .arg(sqlTable_, assignments.join(QLatin1String(", ")),
                                                             Quote(Field(idField_)->FieldName())));
            int position = 1;
            for (int i : columns)
                update.Bind(position++, ToStorage(*fields_[static_cast<size_t>(i)], buffer_.values[static_cast<size_t>(i)]));
            update.Bind(position, id);
            update.Run();
        }
        // The row may move to another place in the key order or leave the filter.
        EraseFrom(CurrentIndex(), order_, slot);
        if (filtered_)
            EraseFrom(CurrentIndex(), filteredSlots_, slot);
        RowRemovedFromOrders(slot);
        LeaveGroups(slot);
        for (int i : columns)
            rows_.SetValue(slot, i, buffer_.values[static_cast<size_t>(i)]);
        JoinGroups(slot);
        ++rowsVersion_;
        RowAddedToViews(slot);
        posted = slot;
    } else {
        QStringList columns;
        QStringList marks;
        std::vector<int> indexes;
        for (const auto& field : fields_) {
            if (!field->IsStored() || field->Index() == idField_)
                continue;
            columns << Quote(field->FieldName());
            marks << QStringLiteral("?");
            indexes.push_back(field->Index());
        }
        TStatement& insert = database_->Prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                                    .arg(sqlTable_, columns.join(QLatin1String(", ")),
                                                         marks.join(QLatin1String(", "))));
        int position = 1;
        for (int i : indexes)
            insert.Bind(position++, ToStorage(*fields_[static_cast<size_t>(i)], buffer_.values[static_cast<size_t>(i)]));
        insert.Run();
        const qint64 id = database_->LastInsertId();
        buffer_.values[static_cast<size_t>(idField_)] = id;
        ++rowsVersion_;
        if (rows_.CanAppend(id)) {
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
            posted = slot;
        } else {
            // The engine hands out rising IDs; should it not, the rows are read again so
            // that slots keep the ID order.
            LoadRows();
            RebuildFilter();
            posted = rows_.Find(id);
        }
    }
    state_ = TDataSetState::Browse;
    modified_ = false;
    PlaceCurrent(posted);
    buffer_ = Row();
    NotifyStateChanged();
    NotifyRecordChanged(nullptr);
}

void TTable::Cancel() {
    CheckActive();
    if (state_ != TDataSetState::Edit && state_ != TDataSetState::Insert)
        return;
    const bool inserting = state_ == TDataSetState::Insert;
    state_ = TDataSetState::Browse;
    modified_ = false;
    buffer_ = Row();
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
    TStatement& remove = database_->Prepare(
        QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(sqlTable_, Quote(Field(idField_)->FieldName())));
    remove.Bind(1, rows_.Id(slot));
    remove.Run();
    if (state_ == TDataSetState::Edit) {
        state_ = TDataSetState::Browse;
        modified_ = false;
        buffer_ = Row();
        NotifyStateChanged();
    }
    const int pos = pos_;
    EraseFrom(CurrentIndex(), order_, slot);
    EraseFrom(CurrentIndex(), filteredSlots_, slot);
    RowRemovedFromOrders(slot);
    LeaveGroups(slot);
    rows_.Remove(slot);
    ++rowsVersion_;
    SetPosition(pos);
    NotifyDataSetChanged();
}

void TTable::CheckBrowseMode() {
    if (state_ != TDataSetState::Edit && state_ != TDataSetState::Insert)
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

void TTable::Refresh() {
    CheckActive();
    const qint64 current = CurrentId();
    if (state_ == TDataSetState::Edit || state_ == TDataSetState::Insert) {
        state_ = TDataSetState::Browse;
        modified_ = false;
        buffer_ = Row();
    }
    LoadRows();
    RebuildFilter();
    PlaceCurrent(rows_.Find(current));
    if (CurrentId() != current)
        SetPosition(0);
    NotifyStateChanged();
    NotifyDataSetChanged();
}

// ---------------------------------------------------------------------------------
// Bookmarks and controls

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

// ---------------------------------------------------------------------------------
// Fields

TField* TTable::FindField(const QString& name) const {
    // Callers nearly always spell the name as stored; try that before ignoring case.
    for (const auto& field : fields_)
        if (field->FieldName() == name)
            return field.get();
    for (const auto& field : fields_)
        if (field->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return field.get();
    return nullptr;
}

TField* TTable::FieldByName(const QString& name) const {
    TField* field = FindField(name);
    if (!field)
        throw EDatabaseError(QStringLiteral("%1: Field '%2' not found").arg(tableName_, name));
    return field;
}

QStringList TTable::FieldNames() const {
    QStringList names;
    for (const auto& field : fields_)
        names << field->FieldName();
    return names;
}

QVariant TTable::FieldValue(int fieldIndex) const {
    const TField& field = *fields_[static_cast<size_t>(fieldIndex)];
    const bool editing = state_ == TDataSetState::Edit || state_ == TDataSetState::Insert;
    const std::optional<Slot> slot = editing ? std::nullopt : CurrentSlot();
    if (!editing && !slot)
        return QVariant();
    const auto valueOf = [&](int index) {
        if (editing)
            return buffer_.values[static_cast<size_t>(index)];
        Want(index, slot);
        return rows_.Value(*slot, index);
    };
    if (field.IsLookup()) {
        const TLookupDef& lookup = field.Def().lookup;
        const TField* keyField = FindField(lookup.keyField);
        if (!keyField || !lookup.lookupTable)
            return QVariant();
        const QVariant text =
            lookup.lookupTable->LookupValue(lookup.lookupKeyField, valueOf(keyField->Index()), lookup.lookupResultField);
        if (IsEmptyValue(text))
            return QVariant();
        return field.Size() > 0 ? QVariant(CutAtCharacter(text.toString(), field.Size())) : text;
    }
    if (field.Kind() == TFieldKind::Memo) {
        if (editing && buffer_.MemoLoaded(fieldIndex))
            return buffer_.values[static_cast<size_t>(fieldIndex)];
        const QByteArray bytes = ReadMemo(fieldIndex);
        return bytes.isNull() ? QVariant() : QVariant(QString::fromUtf8(bytes));
    }
    return valueOf(fieldIndex);
}

QString TTable::FieldText(int fieldIndex) const {
    const bool editing = state_ == TDataSetState::Edit || state_ == TDataSetState::Insert;
    if (editing || fields_[static_cast<size_t>(fieldIndex)]->Kind() != TFieldKind::String)
        return FieldValue(fieldIndex).toString();
    const std::optional<Slot> slot = CurrentSlot();
    if (!slot)
        return QString();
    Want(fieldIndex, slot);
    return rows_.Text(*slot, fieldIndex);
}

QByteArray TTable::ReadMemo(int fieldIndex) const {
    const bool editing = state_ == TDataSetState::Edit || state_ == TDataSetState::Insert;
    qint64 id = 0;
    if (editing) {
        if (buffer_.MemoLoaded(fieldIndex)) {
            const QVariant& value = buffer_.values[static_cast<size_t>(fieldIndex)];
            return IsEmptyValue(value) ? QByteArray() : value.toString().toUtf8();
        }
        id = buffer_.values[static_cast<size_t>(idField_)].toLongLong();
    } else {
        const std::optional<Slot> slot = CurrentSlot();
        if (!slot)
            return QByteArray();
        id = rows_.Id(*slot);
    }
    // Memos are never held with the rows: the file always has the posted text.
    TStatement& select = database_->Prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                                                .arg(Quote(fields_[static_cast<size_t>(fieldIndex)]->FieldName()),
                                                     sqlTable_, Quote(Field(idField_)->FieldName())));
    select.Bind(1, id);
    QByteArray bytes;
    try {
        if (select.Step() && !select.ColumnIsNull(0))
            bytes = select.ColumnBytes(0);
    } catch (...) {
        select.Reset();
        throw;
    }
    select.Reset();
    return bytes;
}

std::vector<TMemoBytes> TTable::ReadMemosAhead(int fieldIndex, int count, qsizetype maxBytes) const {
    std::vector<TMemoBytes> result;
    const TField& field = *fields_[static_cast<size_t>(fieldIndex)];
    if (!Active() || state_ != TDataSetState::Browse || field.Kind() != TFieldKind::Memo)
        return result;
    const auto& view = visible();
    if (pos_ < 0 || pos_ >= static_cast<int>(view.size()))
        return result;
    // One statement shape for every batch: unused places are bound to no row.
    static constexpr int kBatch = 64;
    count = std::clamp(count, 1, kBatch);
    std::vector<qint64> wanted;
    for (size_t i = static_cast<size_t>(pos_); i < view.size() && static_cast<int>(wanted.size()) < count; ++i)
        wanted.push_back(rows_.Id(view[i]));
    std::unordered_map<qint64, QByteArray> stored;
    QStringList marks;
    for (int i = 0; i < kBatch; ++i)
        marks << QStringLiteral("?");
    TStatement& select = database_->Prepare(QStringLiteral("SELECT %1, %2 FROM %3 WHERE %1 IN (%4)")
                                                .arg(Quote(Field(idField_)->FieldName()), Quote(field.FieldName()),
                                                     sqlTable_, marks.join(QLatin1String(", "))));
    for (int i = 0; i < kBatch; ++i)
        select.Bind(i + 1, i < static_cast<int>(wanted.size()) ? QVariant(wanted[static_cast<size_t>(i)]) : QVariant());
    const qint64 current = wanted.front();
    qsizetype bytes = 0;
    try {
        while (select.Step()) {
            const qint64 id = select.ColumnInt(0);
            if (id != current && bytes >= maxBytes)
                continue;
            QByteArray value = select.ColumnIsNull(1) ? QByteArray() : select.ColumnBytes(1);
            if (id != current)
                bytes += value.size();
            stored[id] = std::move(value);
        }
    } catch (...) {
        select.Reset();
        throw;
    }
    select.Reset();
    // In visible order, stopping at the first row left out by the byte limit.
    for (qint64 id : wanted) {
        auto it = stored.find(id);
        if (it == stored.end()) {
            if (id == wanted.front())
                result.push_back({id, QByteArray()});  // the row is gone from the file
            break;
        }
        result.push_back({id, std::move(it->second)});
    }
    return result;
}

QVariant TTable::LookupValue(const QString& keyField, const QVariant& key, const QString& resultField) const {
    if (!Active() || IsEmptyValue(key))
        return QVariant();
    const TField* result = FindField(resultField);
    const TField* keyDef = FindField(keyField);
    if (!result || !keyDef || result->IsLookup())
        return QVariant();
    if (keyDef->Index() == idField_) {
        const std::optional<Slot> slot = rows_.Find(key.toLongLong());
        if (!slot)
            return QVariant();
        Want(result->Index(), slot);
        return rows_.Value(*slot, result->Index());
    }
    Want(keyDef->Index());
    Want(result->Index());
    for (Slot slot : order_)
        if (CompareValues(rows_.Value(slot, keyDef->Index()), key, keyDef->Kind(), false) == 0)
            return rows_.Value(slot, result->Index());
    return QVariant();
}

QVariant TTable::ToStorage(const TField& field, const QVariant& value) const {
    if (IsEmptyValue(value))
        return QVariant();
    switch (field.Kind()) {
    case TFieldKind::Boolean: return static_cast<qint64>(value.toBool() ? 1 : 0);
    case TFieldKind::Date: return value.toDate().toString(Qt::ISODate);
    case TFieldKind::SmallInt:
    case TFieldKind::AutoInc: return value.toLongLong();
    default: return value.toString();
    }
}

void TTable::SetFieldValue(int fieldIndex, const QVariant& value) {
    CheckActive();
    TField& field = *fields_[static_cast<size_t>(fieldIndex)];
    if (field.ReadOnly())
        throw EDatabaseError(QStringLiteral("Field '%1' cannot be modified").arg(field.FieldName()));
    CheckEditing();
    QVariant stored;
    if (!IsEmptyValue(value)) {
        switch (field.Kind()) {
        case TFieldKind::String: {
            const QString text = value.toString();
            stored = CutAtCharacter(text, field.Size());
            break;
        }
        case TFieldKind::Memo: stored = value.toString(); break;
        case TFieldKind::SmallInt: {
            bool ok = true;
            qint64 number = 0;
            if (value.typeId() == QMetaType::QString)
                number = value.toString().trimmed().toLongLong(&ok);
            else
                number = value.toLongLong(&ok);
            if (!ok)
                throw EDatabaseError(QStringLiteral("'%1' is not a valid integer value for field '%2'")
                                         .arg(value.toString(), field.FieldName()));
            if (number < kSmallIntMin || number > kSmallIntMax)
                throw EDatabaseError(QStringLiteral("'%1' is not a valid value for field '%2'. The allowed range is %3 to %4")
                                         .arg(number)
                                         .arg(field.FieldName())
                                         .arg(kSmallIntMin)
                                         .arg(kSmallIntMax));
            stored = static_cast<int>(number);
            break;
        }
        case TFieldKind::Boolean:
            if (value.typeId() == QMetaType::QString) {
                const QString text = value.toString().trimmed();
                stored = text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || text == QLatin1String("1");
            } else {
                stored = value.toBool();
            }
            break;
        case TFieldKind::Date: {
            const QDate date = value.typeId() == QMetaType::QString ? QDate::fromString(value.toString(), Qt::ISODate)
                                                                   : value.toDate();
            if (!date.isValid())
                throw EDatabaseError(QStringLiteral("'%1' is not a valid date for field '%2'")
                                         .arg(value.toString(), field.FieldName()));
            stored = date;
            break;
        }
        default: break;
        }
    }
    QVariant& slot = buffer_.values[static_cast<size_t>(fieldIndex)];
    if (field.Kind() == TFieldKind::Memo && !buffer_.MemoLoaded(fieldIndex)) {
        // Read the stored memo once, so an unchanged text does not count as a change.
        const QByteArray bytes = ReadMemo(fieldIndex);
        slot = bytes.isNull() ? QVariant() : QVariant(QString::fromUtf8(bytes));
        buffer_.memoLoaded |= quint64(1) << fieldIndex;
    }
    const bool same = IsEmptyValue(slot) == IsEmptyValue(stored) &&
                      (IsEmptyValue(stored) || CompareValues(slot, stored, field.Kind(), false) == 0);
    if (same)
        return;
    slot = stored;
    changed_[static_cast<size_t>(fieldIndex)] = true;
    modified_ = true;
    NotifyRecordChanged(&field);
}

}  // namespace velm
