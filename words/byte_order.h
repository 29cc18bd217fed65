#pragma once
// Byte strings in byte order, the one home of the two ways the core compares them: as a
// number of their first eight bytes, and byte by byte; and of the sort by that number.

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/large_pages.h"

namespace kormoszi {

// The first eight of the length bytes at data as a number whose order is the bytes' order
// (big-endian), bytes past length counting as NULs. O(1).
inline std::uint64_t BytesAsNumber(const void* data, std::size_t length) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    if (length >= 8) {  // a sort's inner loop: one load instead of eight
        std::uint64_t value;
        std::memcpy(&value, bytes, 8);
        if constexpr (std::endian::native == std::endian::little)
            value = __builtin_bswap64(value);
        return value;
    }
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < 8; ++i)
        value = (value << 8) | (i < length ? bytes[i] : 0u);
    return value;
}

// -1, 0 or 1 as the la bytes at a compare with the lb bytes at b, byte by byte, a prefix
// first. A null pointer is fine for no bytes (the key of an empty vector). O(min(la, lb)).
inline int CompareBytes(const std::uint8_t* a, std::size_t la, const std::uint8_t* b,
                        std::size_t lb) {
    const std::size_t common = std::min(la, lb);
    const int c = common == 0 ? 0 : std::memcmp(a, b, common);
    if (c != 0)
        return c < 0 ? -1 : 1;
    return la < lb ? -1 : la > lb ? 1 : 0;
}

// A record number with a number to order it by (BytesAsNumber of its bytes).
struct NumberedSlot {
    std::uint64_t number;
    std::uint32_t slot;
};

// Sorts items by number; the order of equal numbers is not kept. O(n) but for the
// smallest lists.
void SortByNumber(LargeVector<NumberedSlot>& items);

}  // namespace kormoszi
