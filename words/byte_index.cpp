#include "words/byte_index.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "words/byte_order.h"

namespace kormoszi {

std::uint64_t ByteIndex::BytesAsNumber(const char* word) {
    return kormoszi::BytesAsNumber(word, 8);
}

std::uint64_t ByteIndex::BytesAsNumber(std::string_view text) {
    return kormoszi::BytesAsNumber(text.data(), text.size());
}

std::size_t ByteIndex::LowerBound(std::uint64_t bytes) const {
    return order_.PartitionPoint(
        [&](std::uint32_t slot) { return BytesAsNumber(records_[slot].word) < bytes; });
}

void ByteIndex::Build(const BlockList& slots) {
    LargeVector<NumberedSlot> items;
    items.reserve(slots.size());
    slots.ForEachFrom(0, [&](std::uint32_t slot) {
        items.push_back({BytesAsNumber(records_[slot].word), slot});
        return true;
    });
    SortByNumber(items);
    std::vector<std::uint32_t> ordered;
    ordered.reserve(items.size());
    for (const auto& item : items)
        ordered.push_back(item.slot);
    order_.assign(ordered);
    built_ = true;
}

void ByteIndex::Drop() {
    order_.clear();
    built_ = false;
}

void ByteIndex::Insert(std::uint32_t slot) {
    if (built_)
        order_.insert(LowerBound(BytesAsNumber(records_[slot].word)), slot);
}

void ByteIndex::Erase(std::uint32_t slot) {
    if (!built_)
        return;
    std::size_t p = LowerBound(BytesAsNumber(records_[slot].word));
    p = order_.ForEachFrom(p, [&](std::uint32_t other) { return other != slot; });
    if (p < order_.size())
        order_.erase(p);
}

bool ByteIndex::AnyBeginsWith(std::string_view prefix) const {
    std::size_t p = LowerBound(prefix);
    return p < order_.size() && records_[order_[p]].Text().starts_with(prefix);
}

}  // namespace kormoszi
