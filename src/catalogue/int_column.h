#pragma once

#include <QtGlobal>

#include <vector>

namespace velm {

// The integers of one field for every row, each column kept in the narrowest width that
// has held all its values so far: a small integer takes two bytes, a flag one. A value
// that does not fit widens the whole column, once.
class TIntColumn {
public:
    explicit TIntColumn(int bytes = 8) : bytes_(bytes) {}

    size_t Size() const;
    void Resize(size_t count);  // new rows hold zero
    qint64 Get(size_t row) const {
        switch (bytes_) {
        case 1: return narrowest_[row];
        case 2: return narrow_[row];
        case 4: return wide_[row];
        default: return widest_[row];
        }
    }
    void Set(size_t row, qint64 value);
    // Where a row's value lies, for a prefetch; null past the column's end.
    const void* Address(size_t row) const {
        if (row >= Size())
            return nullptr;
        switch (bytes_) {
        case 1: return &narrowest_[row];
        case 2: return &narrow_[row];
        case 4: return &wide_[row];
        default: return &widest_[row];
        }
    }

private:
    static int BytesFor(qint64 value);
    void Widen(int bytes);

    int bytes_;
    std::vector<qint8> narrowest_;
    std::vector<qint16> narrow_;
    std::vector<qint32> wide_;
    std::vector<qint64> widest_;
};

}  // namespace velm
