#pragma once
// The words of a table and the orders over them: the records with their sort keys, the
// insertion order, the sort order once sorted, and the nearest search. Positions are
// 0-based places in the current order, the sort order once sorted, else the insertion
// order; the cursor that walks them belongs to the table.
//
// Sorting also moves the records into sort order, so that a walk in sort order (a save)
// reads them one after the other; each keeps its serial number, its place in the
// insertion order, from which that order is rebuilt if it is made current again.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "words/block_list.h"
#include "words/byte_index.h"
#include "words/word_collation.h"
#include "words/word_record.h"

namespace kormoszi {

// Sort keys live in fixed chunks, so growing never copies what is stored.
class KeyStore {
  public:
    // A chunk is one large page.
    static constexpr std::size_t kChunkBits = 21, kChunkSize = std::size_t{1} << kChunkBits;
    std::uint32_t Add(const std::uint8_t* key, std::size_t length);
    const std::uint8_t* At(std::uint32_t pos) const {
        return chunks_[pos >> kChunkBits].get() + (pos & (kChunkSize - 1));
    }
    void Clear() {
        chunks_.clear();
        used_ = 0;
    }
    // Takes over the chunks of other, after this store's own, and returns what to add to
    // other's positions.
    std::uint32_t Adopt(KeyStore&& other);

  private:
    struct FreeChunk {
        void operator()(std::uint8_t* chunk) const noexcept;
    };
    std::vector<std::unique_ptr<std::uint8_t[], FreeChunk>> chunks_;
    std::size_t used_ = 0;  // in the last chunk
};

class WordStore {
  public:
    using SortKey = std::vector<std::uint8_t>;
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    explicit WordStore(std::string locale);
    WordStore(const WordStore&) = delete;
    WordStore& operator=(const WordStore&) = delete;

    WordCollation& Collation() { return collation_; }
    // Discards every record, key and order; the insertion order is current again.
    void Clear();
    // Room for count more records: a load that knows its size grows the array once.
    void Reserve(std::size_t count) { records_.reserve(records_.size() + count); }

    bool Sorted() const { return sorted_; }
    // Records in the current order. O(1).
    std::size_t Count() const { return CurrentOrder().size(); }
    // The word and the value at a position below Count(). O(1) on a walk, else O(log n).
    std::string_view WordAt(std::size_t position) const {
        return records_[CurrentOrder()[position]].Text();
    }
    WordValue ValueAt(std::size_t position) const;
    // Calls f(word) for at most count records of the current order from position on and
    // returns how many it visited. O(count) on top of finding position; after sorting the
    // records lie in that order, so the walk reads memory straight through.
    template <class F>
    std::size_t ForEachWord(std::size_t position, std::size_t count, F f) const {
        std::size_t visited = 0;
        CurrentOrder().ForEachFrom(position, [&](std::uint32_t slot) {
            if (visited == count)
                return false;
            f(records_[slot].Text());
            ++visited;
            return true;
        });
        return visited;
    }

    // The key that value is to be stored under: none before sorting. All that can fail in
    // storing a value, so a caller asks for it before changing anything. ETableError.
    SortKey KeyFor(const WordValue& value) const;
    // Stores value as a new record: last in the insertion order, in the sort order before
    // the first word that does not sort before it. O(log n + block).
    void Append(const WordValue& value, const SortKey& key);
    // Gives the record at position the new value; in the sort order it keeps its place when
    // its key is unchanged, else it moves to where Append would put it. O(log n + block).
    void Replace(std::size_t position, const WordValue& value, const SortKey& key);
    // Removes the record at position from every order. O(log n + block).
    void Remove(std::size_t position);

    // Makes the sort order current (built anew) and returns where the record at current
    // (kNone for no record) now stands, or 0 without one. O(n log n); ETableError, with
    // nothing changed.
    std::size_t Sort(std::size_t current);
    // Drops the sort order, makes the insertion order current and returns where the record
    // at current now stands, or 0 without one. O(n log n).
    std::size_t Unsort(std::size_t current);

    // With Count() > 0: the position of the first word that begins with text, else of the
    // first that does not sort before it, else Count(). O(log n); ETableError.
    std::size_t Nearest(std::string_view text);

  private:
    static constexpr std::size_t kScanLimit = 20;

    const BlockList& CurrentOrder() const { return sorted_ ? sortOrder_ : rowOrder_; }
    BlockList& CurrentOrder() { return sorted_ ? sortOrder_ : rowOrder_; }
    std::uint32_t SlotAt(std::size_t position) const;

    // Keys.
    int CompareKey(std::uint32_t slot, const std::uint8_t* key, std::size_t length) const;
    void StoreKey(WordRecord& record, const std::uint8_t* key, std::size_t length);
    LargeVector<std::uint32_t> SlotsWithoutKey() const;
    void MakeMissingKeys();

    // Places in the sort order.
    std::size_t LowerBound(const std::uint8_t* key, std::size_t length) const;
    std::size_t FindInSortOrder(std::uint32_t slot) const;

    // Sorting.
    LargeVector<std::uint32_t> SlotsInKeyOrder() const;
    std::size_t MoveIntoSortOrder(LargeVector<std::uint32_t>& slots, std::uint32_t current);

    // Searching.
    std::size_t ScanNearest(std::string_view text) const;
    std::size_t FirstBeginningWith(std::string_view text, std::size_t found);
    std::size_t FirstInSortOrderBeginningWith(std::string_view text, std::size_t found);

    WordCollation collation_;
    RecordArray records_;  // by slot; removed records stay as tombstones
    KeyStore keys_;
    std::uint32_t nextSerial_ = 0;
    BlockList rowOrder_;   // __MT__ROWORDER while current: slots by serial number
    BlockList sortOrder_;  // __MT__DEFSORT: slots by sort key
    bool sorted_ = false;
    ByteIndex byteIndex_{records_};  // built at the first search that needs it
};

}  // namespace kormoszi
