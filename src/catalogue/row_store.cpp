#include "catalogue/row_store.h"

#include "catalogue/ascii_case.h"

#include <algorithm>
#include <cstring>

namespace velm {

namespace {

bool IsAscii(std::string_view bytes) {
    size_t i = 0;
    // Eight bytes at a time: names and addresses are mostly plain ASCII.
    for (; i + 8 <= bytes.size(); i += 8) {
        quint64 word;
        std::memcpy(&word, bytes.data() + i, 8);
        if (word & 0x8080808080808080ULL)
            return false;
    }
    for (; i < bytes.size(); ++i)
        if (static_cast<unsigned char>(bytes[i]) >= 0x80)
            return false;
    return true;
}

// Where two valid UTF-8 texts first differ both stand at a character's first byte or
// both inside characters of the same length, so the bytes order them by code point.
// UTF-16 differs in one place only: U+E000..U+FFFF (first bytes EE, EF) come after the
// surrogate pairs of U+10000 and above (first bytes F0..F4).
unsigned char Utf16Rank(unsigned char c) { return c == 0xEE || c == 0xEF ? static_cast<unsigned char>(c + 0x10) : c; }

}  // namespace

int CompareUtf8(std::string_view a, std::string_view b, bool caseInsensitive) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (caseInsensitive) {
            x = AsciiUpper(x);
            y = AsciiUpper(y);
        }
        if (x != y) {
            x = Utf16Rank(x);
            y = Utf16Rank(y);
            return x < y ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

void TRowStore::Reset(const std::vector<TFieldKind>& kinds, int idField, size_t expectedRows) {
    columns_.assign(kinds.size(), Column());
    idField_ = idField;
    ids_ = std::vector<qint64>();
    nulls_ = std::vector<quint64>();
    removed_ = std::vector<bool>();
    arena_.Clear();
    ids_.reserve(expectedRows);
    nulls_.reserve(expectedRows);
    removed_.reserve(expectedRows);
    for (size_t i = 0; i < kinds.size(); ++i) {
        Column& column = columns_[i];
        // The ID field's values are the IDs themselves.
        column.kind = static_cast<int>(i) == idField ? TFieldKind::Memo : kinds[i];
        switch (column.kind) {
        case TFieldKind::SmallInt: column.numbers = TIntColumn(2); break;
        case TFieldKind::Boolean: column.numbers = TIntColumn(1); break;
        case TFieldKind::Date: column.numbers = TIntColumn(4); break;
        case TFieldKind::AutoInc: column.numbers = TIntColumn(8); break;
        default: break;
        }
    }
}

void TRowStore::Presize(int field, size_t rows) {
    Column& column = columns_[static_cast<size_t>(field)];
    if (column.kind == TFieldKind::String && column.texts.size() < rows)
        column.texts.resize(rows, TTextArena::kEmpty);
    else if (column.kind != TFieldKind::Memo && column.kind != TFieldKind::String && column.numbers.Size() < rows)
        column.numbers.Resize(rows);
}

TRowStore::Slot TRowStore::Append(qint64 id) {
    const auto slot = static_cast<Slot>(ids_.size());
    ids_.push_back(id);
    // Every field but the ID starts empty.
    nulls_.push_back(~quint64(0) & ~(quint64(1) << idField_));
    removed_.push_back(false);
    return slot;
}

TRowStore::Column& TRowStore::Reach(Slot slot, int field) {
    Column& column = columns_[static_cast<size_t>(field)];
    if (column.kind == TFieldKind::String) {
        if (column.texts.size() <= slot)
            column.texts.resize(static_cast<size_t>(slot) + 1, TTextArena::kEmpty);
    } else if (column.kind != TFieldKind::Memo && column.numbers.Size() <= slot) {
        column.numbers.Resize(static_cast<size_t>(slot) + 1);
    }
    return column;
}

std::optional<TRowStore::Slot> TRowStore::Find(qint64 id) const {
    const auto it = std::lower_bound(ids_.begin(), ids_.end(), id);
    if (it == ids_.end() || *it != id)
        return std::nullopt;
    const auto slot = static_cast<Slot>(it - ids_.begin());
    return removed_[slot] ? std::nullopt : std::optional<Slot>(slot);
}

bool TRowStore::IsEmpty(Slot slot, int field) const {
    if (IsNull(slot, field))
        return true;
    const Column& column = columns_[static_cast<size_t>(field)];
    return column.kind == TFieldKind::String && column.texts[slot] == TTextArena::kEmpty;
}

std::string_view TRowStore::TextView(Slot slot, int field) const {
    if (IsNull(slot, field))
        return {};
    return arena_.View(columns_[static_cast<size_t>(field)].texts[slot]);
}

QString TRowStore::Text(Slot slot, int field) const {
    if (IsNull(slot, field))
        return QString();
    const std::string_view text = arena_.View(columns_[static_cast<size_t>(field)].texts[slot]);
    // An empty text reads as the engine gives it: empty, not null.
    return text.empty() ? QString::fromUtf8("", 0) : QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void TRowStore::PrefetchFields(Slot slot) const {
    __builtin_prefetch(&nulls_[slot]);
    for (const Column& column : columns_) {
        if (column.kind == TFieldKind::String) {
            if (slot < column.texts.size())
                __builtin_prefetch(&column.texts[slot]);
        } else if (column.kind != TFieldKind::Memo) {
            if (const void* at = column.numbers.Address(slot))
                __builtin_prefetch(at);
        }
    }
}

void TRowStore::PrefetchTexts(Slot slot) const {
    for (const Column& column : columns_)
        if (column.kind == TFieldKind::String && slot < column.texts.size())
            if (const void* at = arena_.Address(column.texts[slot]))
                __builtin_prefetch(at);
}

QVariant TRowStore::Value(Slot slot, int field) const {
    if (field == idField_)
        return ids_[slot];
    const Column& column = columns_[static_cast<size_t>(field)];
    if (IsNull(slot, field))
        return QVariant();
    switch (column.kind) {
    case TFieldKind::String: return Text(slot, field);
    case TFieldKind::SmallInt: return static_cast<int>(column.numbers.Get(slot));
    case TFieldKind::Boolean: return column.numbers.Get(slot) != 0;
    case TFieldKind::Date: return QDate::fromJulianDay(column.numbers.Get(slot));
    case TFieldKind::AutoInc: return column.numbers.Get(slot);
    default: return QVariant();
    }
}

void TRowStore::SetValue(Slot slot, int field, const QVariant& value) {
    Column& column = Reach(slot, field);
    const bool null = !value.isValid() || value.isNull();
    switch (column.kind) {
    case TFieldKind::String:
        if (!null) {
            const QByteArray utf8 = value.toString().toUtf8();
            column.texts[slot] = arena_.Add(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
        }
        break;
    case TFieldKind::SmallInt: column.numbers.Set(slot, null ? 0 : value.toInt()); break;
    case TFieldKind::Boolean: column.numbers.Set(slot, !null && value.toBool()); break;
    case TFieldKind::Date: {
        const QDate date = value.toDate();
        column.numbers.Set(slot, date.isValid() ? date.toJulianDay() : 0);
        SetNull(slot, field, null || !date.isValid());
        return;
    }
    case TFieldKind::AutoInc: column.numbers.Set(slot, null ? 0 : value.toLongLong()); break;
    default: return;
    }
    SetNull(slot, field, null);
}

void TRowStore::SetText(Slot slot, int field, std::string_view utf8) {
    Column& column = Reach(slot, field);
    if (IsAscii(utf8)) {
        column.texts[slot] = arena_.Add(utf8);
    } else {
        // Held as the text reads: a broken sequence becomes the replacement character.
        const QByteArray clean = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).toUtf8();
        column.texts[slot] = arena_.Add(std::string_view(clean.constData(), static_cast<size_t>(clean.size())));
    }
    SetNull(slot, field, false);
}

void TRowStore::SetInteger(Slot slot, int field, qint64 value) {
    Column& column = Reach(slot, field);
    switch (column.kind) {
    case TFieldKind::SmallInt: column.numbers.Set(slot, static_cast<qint32>(value)); break;
    case TFieldKind::Boolean: column.numbers.Set(slot, value != 0); break;
    case TFieldKind::AutoInc: column.numbers.Set(slot, value); break;
    default: return;
    }
    SetNull(slot, field, false);
}

void TRowStore::SetDate(Slot slot, int field, const QDate& date) {
    if (!date.isValid())
        return;
    Reach(slot, field).numbers.Set(slot, date.toJulianDay());
    SetNull(slot, field, false);
}

int TRowStore::Compare(Slot a, Slot b, int field, bool caseInsensitive) const {
    const bool emptyA = IsEmpty(a, field);
    const bool emptyB = IsEmpty(b, field);
    if (emptyA || emptyB)
        return emptyA == emptyB ? 0 : (emptyA ? -1 : 1);
    const auto order = [](auto x, auto y) { return x == y ? 0 : (x < y ? -1 : 1); };
    if (field == idField_)
        return order(ids_[a], ids_[b]);
    const Column& column = columns_[static_cast<size_t>(field)];
    switch (column.kind) {
    case TFieldKind::String:
        return CompareUtf8(arena_.View(column.texts[a]), arena_.View(column.texts[b]), caseInsensitive);
    case TFieldKind::SmallInt:
    case TFieldKind::Boolean:
    case TFieldKind::Date:
    case TFieldKind::AutoInc: return order(column.numbers.Get(a), column.numbers.Get(b));
    default: return 0;
    }
}

}  // namespace velm
