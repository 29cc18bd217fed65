#include "words/byte_order.h"

#include <array>
#include <memory>
#include <utility>

namespace kormoszi {

namespace {

constexpr std::size_t kSmall = 256;  // below this, comparisons beat counting

unsigned ByteOf(std::uint64_t number, unsigned digit) {
    return static_cast<unsigned>(number >> (8 * digit)) & 0xFFu;
}

// Sorts the n items by the bytes below digit `top`, a byte per pass from the lowest, through
// other (room for n). Digits every item shares cost one counting pass.
void SortLowDigits(NumberedSlot* items, NumberedSlot* other, std::size_t n, unsigned top) {
    if (n < kSmall) {
        std::sort(items, items + n,
                  [](const NumberedSlot& a, const NumberedSlot& b) { return a.number < b.number; });
        return;
    }
    std::array<std::array<std::size_t, 256>, 8> counts{};
    for (std::size_t i = 0; i < n; ++i)
        for (unsigned d = 0; d < top; ++d)
            ++counts[d][ByteOf(items[i].number, d)];
    NumberedSlot* from = items;
    NumberedSlot* to = other;
    for (unsigned d = 0; d < top; ++d) {
        const auto& count = counts[d];
        if (count[ByteOf(from[0].number, d)] == n)
            continue;
        std::size_t next[256];
        std::size_t sum = 0;
        for (unsigned b = 0; b < 256; ++b) {
            next[b] = sum;
            sum += count[b];
        }
        for (std::size_t i = 0; i < n; ++i)
            to[next[ByteOf(from[i].number, d)]++] = from[i];
        std::swap(from, to);
    }
    if (from != items)
        std::copy(from, from + n, items);
}

}  // namespace

// One pass on the highest byte that differs, in place, splits a large list into buckets
// that fit the cache; the passes on the lower bytes then run inside each bucket through
// one scratch buffer the size of the largest. A radix sort of the whole list byte by byte
// would stream it through memory eight times, comparisons would miss the cache some twenty
// times per item, and a second buffer of the list's size would cost its first touch of
// every page, which is most of a sort's time on a fresh process.
void SortByNumber(LargeVector<NumberedSlot>& items) {
    const std::size_t n = items.size();
    if (n < kSmall) {
        SortLowDigits(items.data(), nullptr, n, 8);
        return;
    }
    std::uint64_t differ = 0;
    for (const NumberedSlot& item : items)
        differ |= item.number ^ items[0].number;
    if (differ == 0)
        return;
    const auto top = static_cast<unsigned>((63 - std::countl_zero(differ)) / 8);
    std::size_t start[257] = {};
    for (const NumberedSlot& item : items)
        ++start[ByteOf(item.number, top) + 1];
    std::size_t next[256], largest = 0;
    for (unsigned b = 0; b < 256; ++b) {
        largest = std::max(largest, start[b + 1]);
        start[b + 1] += start[b];
        next[b] = start[b];
    }
    // Each item goes straight to the next free place of its bucket, taking out what was
    // there, until one of this bucket comes back.
    for (unsigned b = 0; b < 256; ++b) {
        while (next[b] < start[b + 1]) {
            NumberedSlot item = items[next[b]];
            for (unsigned d = ByteOf(item.number, top); d != b; d = ByteOf(item.number, top))
                std::swap(item, items[next[d]++]);
            items[next[b]++] = item;
        }
    }
    LargeVector<NumberedSlot> scratch(largest);
    for (unsigned b = 0; b < 256; ++b)
        SortLowDigits(items.data() + start[b], scratch.data(), start[b + 1] - start[b], top);
}

}  // namespace kormoszi
