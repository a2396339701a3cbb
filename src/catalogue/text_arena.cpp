#include "catalogue/text_arena.h"

#include "catalogue/database_error.h"

#include <algorithm>
#include <cstring>

namespace velm {

TTextArena::Ref TTextArena::Add(std::string_view utf8) {
    if (utf8.empty())
        return kEmpty;
    unsigned char length[10];
    size_t lengthBytes = 0;
    for (size_t rest = utf8.size();; rest >>= 7) {
        length[lengthBytes++] = static_cast<unsigned char>((rest & 0x7F) | (rest > 0x7F ? 0x80 : 0));
        if (rest <= 0x7F)
            break;
    }
    const size_t needed = lengthBytes + utf8.size();
    if (blocks_.empty() || capacity_ - used_ < needed) {
        // A text longer than a block gets a block of its own.
        if (blocks_.size() >= kMaxBlocks)
            throw EDatabaseError(QStringLiteral("The table's texts do not fit in memory"));
        capacity_ = std::max(kBlockSize, needed);
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(capacity_));
        used_ = 0;
    }
    const auto ref = static_cast<Ref>(((blocks_.size() - 1) << kOffsetBits) | used_);
    char* at = blocks_.back().get() + used_;
    std::memcpy(at, length, lengthBytes);
    std::memcpy(at + lengthBytes, utf8.data(), utf8.size());
    used_ += needed;
    // Offsets reach only across one ordinary block: a block of its own is full at once.
    if (capacity_ > kBlockSize)
        used_ = capacity_;
    return ref;
}

void TTextArena::Clear() {
    blocks_.clear();
    used_ = capacity_ = 0;
}

}  // namespace velm
