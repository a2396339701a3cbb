#include "catalogue/table.h"

#include "catalogue/data_source.h"
#include "catalogue/database.h"
#include "catalogue/database_error.h"
#include "catalogue/text_cut.h"

#include <QRegularExpression>

#include <algorithm>

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
    rows_.clear();
    order_.clear();
    otherOrders_.clear();
    ++rowsVersion_;
    filteredIds_.clear();
    pos_ = -1;
    eof_ = bof_ = true;
    state_ = TDataSetState::Inactive;
    database_->DetachFile(tableName_);
    database_ = nullptr;
    TSession::Instance().ReleaseIfUnused(databaseName_);
    NotifyStateChanged();
    NotifyDataSetChanged();
}

QString TTable::SelectColumns() const {
    QStringList columns;
    for (int index : loadedFields_)
        columns << Quote(fields_[static_cast<size_t>(index)]->FieldName());
    return columns.join(QLatin1String(", "));
}

void TTable::LoadRows() {
    rows_.clear();
    order_.clear();
    otherOrders_.clear();
    ++rowsVersion_;
    TStatement& select =
        database_->Prepare(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                               .arg(SelectColumns(), sqlTable_, Quote(fields_[static_cast<size_t>(idField_)]->FieldName())));
    {
        TStatement& count = database_->Prepare(QStringLiteral("SELECT count(*) FROM %1").arg(sqlTable_));
        const qint64 rows = count.Step() ? count.ColumnInt(0) : 0;
        count.Reset();
        rows_.reserve(static_cast<size_t>(rows));
        order_.reserve(static_cast<size_t>(rows));
    }
    try {
        while (select.Step()) {
            Row row;
            row.values.resize(fields_.size());
            row.memoLoaded = 0;
            int column = 0;
            for (int index : loadedFields_) {
                const TField& field = *fields_[static_cast<size_t>(index)];
                QVariant& value = row.values[static_cast<size_t>(index)];
                if (!select.ColumnIsNull(column)) {
                    switch (field.Kind()) {
                    case TFieldKind::SmallInt: value = static_cast<int>(select.ColumnInt(column)); break;
                    case TFieldKind::AutoInc: value = select.ColumnInt(column); break;
                    case TFieldKind::Boolean: value = select.ColumnInt(column) != 0; break;
                    case TFieldKind::Date:
                        value = ParseIsoDate(select.ColumnText(column));
                        if (!value.toDate().isValid())
                            value = QVariant();
                        break;
                    default: value = select.ColumnText(column); break;
                    }
                }
                ++column;
            }
            const qint64 id = row.values[static_cast<size_t>(idField_)].toLongLong();
            order_.push_back(id);
            rows_.emplace(id, std::move(row));
        }
    } catch (...) {
        select.Reset();
        throw;
    }
    select.Reset();
    if (!indexName_.isEmpty() || !indexDefs_.empty())
        SortOrder(order_);
}

// ---------------------------------------------------------------------------------
// Rows and order

const TIndexDef* TTable::CurrentIndex() const {
    for (const auto& def : indexDefs_)
        if (def.name.compare(indexName_, Qt::CaseInsensitive) == 0)
            return &def;
    return nullptr;
}

bool TTable::RowLess(qint64 a, qint64 b) const { return RowLessBy(CurrentIndex(), a, b); }

bool TTable::RowLessBy(const TIndexDef* index, qint64 a, qint64 b) const {
    if (a == b)
        return false;
    if (index) {
        const Row* ra = RowById(a);
        const Row* rb = RowById(b);
        for (const QString& name : index->fields) {
            const TField* field = FindField(name);
            if (!field)
                continue;
            int c = CompareValues(ra->values[static_cast<size_t>(field->Index())],
                                  rb->values[static_cast<size_t>(field->Index())], field->Kind(),
                                  index->caseInsensitive);
            if (index->descending)
                c = -c;
            if (c != 0)
                return c < 0;
        }
    }
    return a < b;
}

void TTable::SortOrder(std::vector<qint64>& ids) const { SortOrderBy(CurrentIndex(), ids); }

void TTable::SortOrderBy(const TIndexDef* index, std::vector<qint64>& ids) const {
    if (!index) {
        std::sort(ids.begin(), ids.end());
        return;
    }
    // Fields and rows are looked up once, not in every comparison.
    struct Part {
        int field;
        TFieldKind kind;
    };
    std::vector<Part> parts;
    for (const QString& name : index->fields)
        if (const TField* field = FindField(name))
            parts.push_back({field->Index(), field->Kind()});
    std::vector<std::pair<const Row*, qint64>> rows;
    rows.reserve(ids.size());
    for (qint64 id : ids)
        rows.emplace_back(RowById(id), id);
    const bool caseInsensitive = index->caseInsensitive;
    const bool descending = index->descending;
    std::sort(rows.begin(), rows.end(), [&](const auto& a, const auto& b) {
        for (const Part& part : parts) {
            int c = CompareValues(a.first->values[static_cast<size_t>(part.field)],
                                  b.first->values[static_cast<size_t>(part.field)], part.kind, caseInsensitive);
            if (descending)
                c = -c;
            if (c != 0)
                return c < 0;
        }
        return a.second < b.second;
    });
    for (size_t i = 0; i < rows.size(); ++i)
        ids[i] = rows[i].second;
}

const TIndexDef* TTable::IndexByKey(const QString& key) const {
    for (const auto& def : indexDefs_)
        if (def.name.compare(key, Qt::CaseInsensitive) == 0)
            return &def;
    return nullptr;
}

TTable::Row* TTable::RowById(qint64 id) {
    auto it = rows_.find(id);
    return it == rows_.end() ? nullptr : &it->second;
}

const TTable::Row* TTable::RowById(qint64 id) const {
    auto it = rows_.find(id);
    return it == rows_.end() ? nullptr : &it->second;
}

qint64 TTable::CurrentId() const {
    const auto& view = visible();
    if (pos_ < 0 || pos_ >= static_cast<int>(view.size()))
        return 0;
    return view[static_cast<size_t>(pos_)];
}

const TTable::Row* TTable::CurrentRow() const { return RowById(CurrentId()); }

void TTable::SetPosition(int pos) {
    const int count = RecordCount();
    pos_ = count == 0 ? -1 : std::clamp(pos, 0, count - 1);
    bof_ = pos_ <= 0;
    eof_ = count == 0;
}

void TTable::PlaceCurrent(qint64 id) {
    const auto& view = visible();
    auto it = std::find(view.begin(), view.end(), id);
    if (it != view.end())
        SetPosition(static_cast<int>(it - view.begin()));
    else
        SetPosition(pos_);
    bof_ = eof_ = RecordCount() == 0;
}

// Removes an id from a view kept in index order.
static void EraseId(std::vector<qint64>& view, qint64 id) {
    auto it = std::find(view.begin(), view.end(), id);
    if (it != view.end())
        view.erase(it);
}

void TTable::InsertInOrder(std::vector<qint64>& view, qint64 id) const { InsertInOrderBy(CurrentIndex(), view, id); }

void TTable::InsertInOrderBy(const TIndexDef* index, std::vector<qint64>& view, qint64 id) const {
    auto it = std::upper_bound(view.begin(), view.end(), id,
                               [this, index](qint64 a, qint64 b) { return RowLessBy(index, a, b); });
    view.insert(it, id);
}

void TTable::RowRemovedFromOrders(qint64 id) {
    for (auto& [key, ids] : otherOrders_)
        EraseId(ids, id);
}

void TTable::RowAddedToOrders(qint64 id) {
    for (auto& [key, ids] : otherOrders_)
        InsertInOrderBy(IndexByKey(key), ids, id);
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
    bof_ = true;
    NotifyDataSetChanged();
}

void TTable::Last() {
    CheckActive();
    CheckBrowseMode();
    SetPosition(RecordCount() - 1);
    eof_ = true;
    bof_ = RecordCount() == 0;
    NotifyDataSetChanged();
}

void TTable::Next() {
    CheckActive();
    CheckBrowseMode();
    if (pos_ + 1 < RecordCount()) {
        ++pos_;
        bof_ = eof_ = false;
        NotifyRecordChanged(nullptr);
    } else {
        eof_ = true;
    }
}

void TTable::Prior() {
    CheckActive();
    CheckBrowseMode();
    if (pos_ > 0) {
        --pos_;
        bof_ = eof_ = false;
        NotifyRecordChanged(nullptr);
    } else {
        bof_ = true;
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
    const qint64 current = CurrentId();
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

bool TTable::PassesFilter(const Row& row) const {
    if (filterField_.isEmpty())
        return true;
    const TField* field = FindField(filterField_);
    const QVariant value = field->IsLookup() ? QVariant() : row.values[static_cast<size_t>(field->Index())];
    return CompareValues(value, filterValue_, field->Kind(), false) == 0;
}

void TTable::RebuildFilter() {
    filteredIds_.clear();
    if (!filtered_ || filterField_.isEmpty()) {
        if (filtered_)
            filteredIds_ = order_;
        return;
    }
    const TField* field = FindField(filterField_);
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
                filteredIds_.push_back(select.ColumnInt(0));
        } catch (...) {
            select.Reset();
            throw;
        }
        select.Reset();
        if (CurrentIndex())
            SortOrder(filteredIds_);
        return;
    }
    for (qint64 id : order_)
        if (PassesFilter(*RowById(id)))
            filteredIds_.push_back(id);
}

// ---------------------------------------------------------------------------------
// Locate and index seeks

bool TTable::Locate(const QString& fieldName, const QVariant& value, bool caseInsensitive) {
    CheckActive();
    CheckBrowseMode();
    const TField* field = FieldByName(fieldName);
    const auto& view = visible();
    qint64 found = 0;
    if (field->IsLookup()) {
        const TLookupDef& lookup = field->Def().lookup;
        const int keyIndex = FieldByName(lookup.keyField)->Index();
        for (qint64 id : view) {
            if (!lookup.lookupTable)
                break;
            const QVariant text = lookup.lookupTable->LookupValue(
                lookup.lookupKeyField, RowById(id)->values[static_cast<size_t>(keyIndex)], lookup.lookupResultField);
            if (CompareValues(CutAtCharacter(text.toString(), field->Size()), value, TFieldKind::String, caseInsensitive) == 0) {
                found = id;
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
        qint64 best = 0;
        for (qint64 id : candidates) {
            const Row* row = RowById(id);
            if (!row || (filtered_ && !PassesFilter(*row)))
                continue;
            if (best == 0 || RowLess(id, best))
                best = id;
        }
        found = best;
    }
    if (found == 0)
        return false;
    auto it = std::find(view.begin(), view.end(), found);
    if (it == view.end())
        return false;
    SetPosition(static_cast<int>(it - view.begin()));
    NotifyRecordChanged(nullptr);
    return true;
}

bool TTable::AnyRowHas(const QString& fieldName, const QVariant& value) const {
    CheckActive();
    const TField* field = FieldByName(fieldName);
    if (field->IsLookup() || IsEmptyValue(value))
        return false;
    for (const auto& [id, row] : rows_)
        if (CompareValues(row.values[static_cast<size_t>(field->Index())], value, field->Kind(), false) == 0)
            return true;
    return false;
}

int TTable::CompareByIndex(const Row& row, const QVariant& key) const {
    const TIndexDef* index = CurrentIndex();
    const TField* field = index && !index->fields.isEmpty() ? FindField(index->fields.front()) : Field(idField_);
    const bool caseInsensitive = index && index->caseInsensitive;
    int c = CompareValues(row.values[static_cast<size_t>(field->Index())], key, field->Kind(), caseInsensitive);
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
    const qint64 current = CurrentId();
    const QString previousKey = indexName_.toLower();
    indexName_ = name;
    if (!Active())
        return;
    // Each index's order is built once and then kept in step with the rows, so that a
    // search that switches to an index and back costs no sort.
    std::vector<qint64> next;
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
        SortOrder(filteredIds_);
    PlaceCurrent(current);
    NotifyDataSetChanged();
}

bool TTable::FindKey(const QVariant& key) {
    CheckActive();
    CheckBrowseMode();
    const auto& view = visible();
    auto it = std::lower_bound(view.begin(), view.end(), key,
                               [this](qint64 id, const QVariant& k) { return CompareByIndex(*RowById(id), k) < 0; });
    if (it == view.end() || CompareByIndex(*RowById(*it), key) != 0)
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
                               [this](qint64 id, const QVariant& k) { return CompareByIndex(*RowById(id), k) < 0; });
    SetPosition(it == view.end() ? RecordCount() - 1 : static_cast<int>(it - view.begin()));
    NotifyRecordChanged(nullptr);
}

// ---------------------------------------------------------------------------------
// Editing

void TTable::Edit() {
    CheckActive();
    if (state_ == TDataSetState::Edit || state_ == TDataSetState::Insert)
        return;
    const Row* row = CurrentRow();
    if (!row) {
        Append();
        return;
    }
    buffer_ = *row;
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
    eof_ = bof_ = false;
    NotifyStateChanged();
    NotifyRecordChanged(nullptr);
}

void TTable::Post() {
    CheckActive();
    CheckEditing();
    UpdateRecord();
    if (state_ == TDataSetState::Edit) {
        const qint64 id = CurrentId();
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
        EraseId(order_, id);
        if (filtered_)
            EraseId(filteredIds_, id);
        RowRemovedFromOrders(id);
        rows_[id] = buffer_;
        ++rowsVersion_;
        InsertInOrder(order_, id);
        RowAddedToOrders(id);
        if (filtered_ && PassesFilter(buffer_))
            InsertInOrder(filteredIds_, id);
        state_ = TDataSetState::Browse;
        modified_ = false;
        PlaceCurrent(id);
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
        rows_[id] = buffer_;
        ++rowsVersion_;
        InsertInOrder(order_, id);
        RowAddedToOrders(id);
        if (filtered_ && PassesFilter(buffer_))
            InsertInOrder(filteredIds_, id);
        state_ = TDataSetState::Browse;
        modified_ = false;
        PlaceCurrent(id);
    }
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
    const qint64 id = CurrentId();
    TStatement& remove = database_->Prepare(
        QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(sqlTable_, Quote(Field(idField_)->FieldName())));
    remove.Bind(1, id);
    remove.Run();
    if (state_ == TDataSetState::Edit) {
        state_ = TDataSetState::Browse;
        modified_ = false;
        buffer_ = Row();
        NotifyStateChanged();
    }
    const int pos = pos_;
    EraseId(order_, id);
    EraseId(filteredIds_, id);
    RowRemovedFromOrders(id);
    rows_.erase(id);
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
    PlaceCurrent(current);
    if (CurrentId() != current)
        SetPosition(0);
    NotifyStateChanged();
    NotifyDataSetChanged();
}

// ---------------------------------------------------------------------------------
// Bookmarks and controls

TBookmark TTable::GetBookmark() const { return CurrentId(); }

bool TTable::BookmarkValid(TBookmark bookmark) const {
    const auto& view = visible();
    return bookmark != 0 && std::find(view.begin(), view.end(), bookmark) != view.end();
}

void TTable::GotoBookmark(TBookmark bookmark) {
    CheckActive();
    CheckBrowseMode();
    const auto& view = visible();
    auto it = std::find(view.begin(), view.end(), bookmark);
    if (bookmark == 0 || it == view.end())
        throw EDatabaseError(QStringLiteral("Record not found"));
    SetPosition(static_cast<int>(it - view.begin()));
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
    const Row* row = editing ? &buffer_ : CurrentRow();
    if (!row)
        return QVariant();
    if (field.IsLookup()) {
        const TLookupDef& lookup = field.Def().lookup;
        const TField* keyField = FindField(lookup.keyField);
        if (!keyField || !lookup.lookupTable)
            return QVariant();
        const QVariant text =
            lookup.lookupTable->LookupValue(lookup.lookupKeyField, row->values[static_cast<size_t>(keyField->Index())],
                                            lookup.lookupResultField);
        if (IsEmptyValue(text))
            return QVariant();
        return field.Size() > 0 ? QVariant(CutAtCharacter(text.toString(), field.Size())) : text;
    }
    if (field.Kind() == TFieldKind::Memo) {
        if (row->MemoLoaded(fieldIndex))
            return row->values[static_cast<size_t>(fieldIndex)];
        const QByteArray bytes = ReadMemo(fieldIndex);
        return bytes.isNull() ? QVariant() : QVariant(QString::fromUtf8(bytes));
    }
    return row->values[static_cast<size_t>(fieldIndex)];
}

QByteArray TTable::ReadMemo(int fieldIndex) const {
    const bool editing = state_ == TDataSetState::Edit || state_ == TDataSetState::Insert;
    const Row* row = editing ? &buffer_ : CurrentRow();
    if (!row)
        return QByteArray();
    if (row->MemoLoaded(fieldIndex)) {
        const QVariant& value = row->values[static_cast<size_t>(fieldIndex)];
        return IsEmptyValue(value) ? QByteArray() : value.toString().toUtf8();
    }
    const qint64 id = row->values[static_cast<size_t>(idField_)].toLongLong();
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
        wanted.push_back(view[i]);
    std::unordered_map<qint64, QByteArray> stored;
    std::vector<qint64> fromFile;
    for (qint64 id : wanted) {
        const Row* row = RowById(id);
        // A memo written through this table is held in the row; the file says the same.
        if (row && row->MemoLoaded(fieldIndex)) {
            const QVariant& value = row->values[static_cast<size_t>(fieldIndex)];
            stored[id] = IsEmptyValue(value) ? QByteArray() : value.toString().toUtf8();
        } else {
            fromFile.push_back(id);
        }
    }
    if (!fromFile.empty()) {
        QStringList marks;
        for (int i = 0; i < kBatch; ++i)
            marks << QStringLiteral("?");
        TStatement& select = database_->Prepare(QStringLiteral("SELECT %1, %2 FROM %3 WHERE %1 IN (%4)")
                                                    .arg(Quote(Field(idField_)->FieldName()), Quote(field.FieldName()),
                                                         sqlTable_, marks.join(QLatin1String(", "))));
        for (int i = 0; i < kBatch; ++i)
            select.Bind(i + 1, i < static_cast<int>(fromFile.size()) ? QVariant(fromFile[static_cast<size_t>(i)])
                                                                      : QVariant());
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
    }
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
        const Row* row = RowById(key.toLongLong());
        return row ? row->values[static_cast<size_t>(result->Index())] : QVariant();
    }
    for (qint64 id : order_) {
        const Row& row = *RowById(id);
        if (CompareValues(row.values[static_cast<size_t>(keyDef->Index())], key, keyDef->Kind(), false) == 0)
            return row.values[static_cast<size_t>(result->Index())];
    }
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
