// The table's fields and the values of its rows: construction, field lookup, the current
// row's values (memos and lookups included) and searches by value over every row. Loading,
// the filter and the cursor have files of their own.
#include "catalogue/table.h"

#include "catalogue/data_source.h"
#include "catalogue/database.h"
#include "catalogue/database_error.h"
#include "catalogue/field_values.h"
#include "catalogue/text_cut.h"

#include <algorithm>
#include <unordered_map>

namespace velm {

TTable::TTable(QString databaseName, QString tableName, std::vector<TFieldDef> fieldDefs,
               std::vector<TIndexDef> indexDefs, QObject* parent)
    : QObject(parent), databaseName_(std::move(databaseName)), tableName_(std::move(tableName)) {
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
    std::vector<TFieldKind> kinds;
    for (const auto& field : fields_) {
        kinds.push_back(field->Kind());
        if (field->IsStored() && field->Kind() != TFieldKind::Memo)
            loadedFields_.push_back(field->Index());
    }
    // Open reads the fields that order and name rows; the others wait.
    quint64 keys = quint64(1) << idField_;
    std::vector<std::vector<int>> indexFields;
    for (const auto& def : indexDefs) {
        std::vector<int> numbers;
        for (const QString& name : def.fields)
            if (const TField* field = FindField(name)) {
                numbers.push_back(field->Index());
                keys |= quint64(1) << field->Index();
            }
        indexFields.push_back(std::move(numbers));
    }
    orders_.SetIndexes(std::move(indexDefs), std::move(indexFields), std::move(kinds));
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

// ---------------------------------------------------------------------------------
// The current row's values

QVariant TTable::FieldValue(int fieldIndex) const {
    const TField& field = *fields_[static_cast<size_t>(fieldIndex)];
    const bool editing = Editing();
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
    if (Editing() || fields_[static_cast<size_t>(fieldIndex)]->Kind() != TFieldKind::String)
        return FieldValue(fieldIndex).toString();
    const std::optional<Slot> slot = CurrentSlot();
    if (!slot)
        return QString();
    Want(fieldIndex, slot);
    return rows_.Text(*slot, fieldIndex);
}

void TTable::SetFieldValue(int fieldIndex, const QVariant& value) {
    CheckActive();
    TField& field = *fields_[static_cast<size_t>(fieldIndex)];
    if (field.ReadOnly())
        throw EDatabaseError(QStringLiteral("Field '%1' cannot be modified").arg(field.FieldName()));
    CheckEditing();
    const QVariant stored = FieldInput(field, value);
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

// ---------------------------------------------------------------------------------
// Memos: never held with the rows, so the file always has the posted text

QByteArray TTable::ReadMemo(int fieldIndex) const {
    qint64 id = 0;
    if (Editing()) {
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
    TStatement& select = database_->Prepare(sql_.SelectRow({fieldIndex}));
    const TResetOnExit reset(select);
    select.Bind(1, id);
    if (select.Step() && !select.ColumnIsNull(0))
        return select.ColumnBytes(0);
    return QByteArray();
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
    {
        TStatement& select = database_->Prepare(sql_.SelectRows(fieldIndex, kBatch));
        const TResetOnExit reset(select);
        for (int i = 0; i < kBatch; ++i)
            select.Bind(i + 1, i < static_cast<int>(wanted.size()) ? QVariant(wanted[static_cast<size_t>(i)]) : QVariant());
        const qint64 current = wanted.front();
        qsizetype bytes = 0;
        while (select.Step()) {
            const qint64 id = select.ColumnInt(0);
            if (id != current && bytes >= maxBytes)
                continue;
            QByteArray value = select.ColumnIsNull(1) ? QByteArray() : select.ColumnBytes(1);
            if (id != current)
                bytes += value.size();
            stored[id] = std::move(value);
        }
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

// ---------------------------------------------------------------------------------
// Searches by value over every row, filtered out or not, leaving the cursor alone

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
    for (Slot slot : orders_.All())
        if (CompareValues(rows_.Value(slot, keyDef->Index()), key, keyDef->Kind(), false) == 0)
            return rows_.Value(slot, result->Index());
    return QVariant();
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

}  // namespace velm
