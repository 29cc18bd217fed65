#pragma once
// The stored words ordered by their raw bytes. Under the Hungarian collation the words
// that begin with some typed bytes need not stand together in sort order; here they do,
// so the nearest search can keep its promise to find the first of them.

#include <cstdint>
#include <string_view>
#include <vector>

#include "words/block_list.h"
#include "words/word_record.h"

namespace kormoszi {

class ByteIndex {
  public:
    // An index over the records, which must outlive it; empty until built.
    explicit ByteIndex(const RecordArray& records) : records_(records) {}

    bool Built() const { return built_; }
    // Indexes every record that slots names. O(n log n).
    void Build(const BlockList& slots);
    // Empties the index until it is built again.
    void Drop();
    // Keep a built index up to date with a record stored or about to be removed; nothing
    // on an index not built. O(log n + block).
    void Insert(std::uint32_t slot);
    void Erase(std::uint32_t slot);

    // Whether some word begins with prefix (at most 8 bytes). O(log n).
    bool AnyBeginsWith(std::string_view prefix) const;
    // Calls f(slot) for every word that begins with prefix, in byte order, until f returns
    // false.
    template <class F>
    void ForEachBeginningWith(std::string_view prefix, F f) const {
        order_.ForEachFrom(LowerBound(prefix), [&](std::uint32_t slot) {
            return records_[slot].Text().starts_with(prefix) && f(slot);
        });
    }

  private:
    // The word's eight field bytes as a number whose order is the bytes' order (the NUL
    // padding sorts a shorter word first).
    static std::uint64_t BytesAsNumber(const char* word);
    static std::uint64_t BytesAsNumber(std::string_view text);
    // The first entry whose bytes are not below these.
    std::size_t LowerBound(std::uint64_t bytes) const;
    std::size_t LowerBound(std::string_view text) const { return LowerBound(BytesAsNumber(text)); }

    const RecordArray& records_;
    BlockList order_;
    bool built_ = false;
};

}  // namespace kormoszi
