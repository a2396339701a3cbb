#pragma once

#include <QtGlobal>

#include <memory>
#include <string_view>
#include <vector>

namespace velm {

// The texts of many rows in one place: UTF-8 bytes, each after its length, packed into
// large blocks and named by a four-byte reference. Blocks never move, so the arena grows
// without copying what it holds and without a moment of holding it twice.
class TTextArena {
public:
    using Ref = quint32;
    static constexpr Ref kEmpty = 0xFFFFFFFFu;  // the text without characters

    Ref Add(std::string_view utf8);
    std::string_view View(Ref ref) const {
        if (ref == kEmpty)
            return {};
        const auto* at = reinterpret_cast<const unsigned char*>(blocks_[ref >> kOffsetBits].get()) + (ref & kOffsetMask);
        // The length: seven bits a byte, low bits first; most texts need one byte.
        size_t size = 0;
        for (int shift = 0;; shift += 7) {
            const unsigned char byte = *at++;
            size |= size_t(byte & 0x7F) << shift;
            if (!(byte & 0x80))
                break;
        }
        return {reinterpret_cast<const char*>(at), size};
    }
    // Where a text lies, for a prefetch.
    const void* Address(Ref ref) const {
        return ref == kEmpty ? nullptr : blocks_[ref >> kOffsetBits].get() + (ref & kOffsetMask);
    }
    void Clear();

private:
    static constexpr int kOffsetBits = 20;
    static constexpr quint32 kOffsetMask = (quint32(1) << kOffsetBits) - 1;
    static constexpr size_t kBlockSize = size_t(1) << kOffsetBits;
    // The last block number is never used, so no reference equals kEmpty.
    static constexpr size_t kMaxBlocks = (size_t(1) << (32 - kOffsetBits)) - 1;

    std::vector<std::unique_ptr<char[]>> blocks_;
    size_t used_ = 0;      // bytes taken in the last block
    size_t capacity_ = 0;  // size of the last block
};

}  // namespace velm
