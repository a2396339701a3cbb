#include "catalogue/int_column.h"

#include <limits>

namespace velm {

namespace {

template <typename From, typename To>
void CopyInto(std::vector<From>& from, std::vector<To>& to) {
    to.reserve(from.capacity());
    to.assign(from.begin(), from.end());
    from = std::vector<From>();
}

}  // namespace

size_t TIntColumn::Size() const {
    switch (bytes_) {
    case 1: return narrowest_.size();
    case 2: return narrow_.size();
    case 4: return wide_.size();
    default: return widest_.size();
    }
}

void TIntColumn::Resize(size_t count) {
    switch (bytes_) {
    case 1: narrowest_.resize(count); break;
    case 2: narrow_.resize(count); break;
    case 4: wide_.resize(count); break;
    default: widest_.resize(count); break;
    }
}

int TIntColumn::BytesFor(qint64 value) {
    if (value >= std::numeric_limits<qint8>::min() && value <= std::numeric_limits<qint8>::max())
        return 1;
    if (value >= std::numeric_limits<qint16>::min() && value <= std::numeric_limits<qint16>::max())
        return 2;
    if (value >= std::numeric_limits<qint32>::min() && value <= std::numeric_limits<qint32>::max())
        return 4;
    return 8;
}

void TIntColumn::Set(size_t row, qint64 value) {
    // The value as the column's width holds it, if it fits there.
    switch (bytes_) {
    case 1:
        if (value == static_cast<qint8>(value)) {
            narrowest_[row] = static_cast<qint8>(value);
            return;
        }
        break;
    case 2:
        if (value == static_cast<qint16>(value)) {
            narrow_[row] = static_cast<qint16>(value);
            return;
        }
        break;
    case 4:
        if (value == static_cast<qint32>(value)) {
            wide_[row] = static_cast<qint32>(value);
            return;
        }
        break;
    default: widest_[row] = value; return;
    }
    Widen(BytesFor(value));
    Set(row, value);
}

void TIntColumn::Widen(int bytes) {
    // Through the widest form: simple, and it happens at most three times a column.
    std::vector<qint64> all;
    switch (bytes_) {
    case 1: CopyInto(narrowest_, all); break;
    case 2: CopyInto(narrow_, all); break;
    case 4: CopyInto(wide_, all); break;
    default: all = std::move(widest_); break;
    }
    bytes_ = bytes;
    switch (bytes_) {
    case 1: CopyInto(all, narrowest_); break;
    case 2: CopyInto(all, narrow_); break;
    case 4: CopyInto(all, wide_); break;
    default: widest_ = std::move(all); break;
    }
}

}  // namespace velm
