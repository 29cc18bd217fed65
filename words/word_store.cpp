#include "words/word_store.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <thread>
#include <utility>

#include "words/byte_order.h"

namespace kormoszi {

namespace {

// How far past the found position the prefix promise looks before it asks the byte
// index where every word with the typed beginning stands.
constexpr std::size_t kPrefixScan = 512;

// The sort keys of some words, made on one thread into chunks of their own that the store
// then takes over whole: no key is copied twice, and no page is touched for a key twice.
struct KeyBatch {
    KeyStore keys;
    LargeVector<std::uint32_t> positions;
    LargeVector<std::uint8_t> lengths;
    std::exception_ptr error;
};

void MakeKeys(const WordCollation& collation, const RecordArray& records,
              const LargeVector<std::uint32_t>& slots, std::size_t from, std::size_t to,
              KeyBatch& batch) {
    try {
        batch.positions.reserve(to - from);
        batch.lengths.reserve(to - from);
        std::vector<std::uint8_t> key;
        for (std::size_t i = from; i < to; ++i) {
            const WordRecord& record = records[slots[i]];
            key.clear();
            if (record.flags & WordRecord::kHasValue)
                collation.AppendSortKey(record.Text(), key);
            if (key.size() > 255)
                throw ETableError("Invalid locale.");
            batch.positions.push_back(batch.keys.Add(key.data(), key.size()));
            batch.lengths.push_back(static_cast<std::uint8_t>(key.size()));
        }
    } catch (...) {
        batch.error = std::current_exception();
    }
}

}  // namespace

std::uint32_t KeyStore::Add(const std::uint8_t* key, std::size_t length) {
    if (chunks_.empty() || used_ + length > kChunkSize) {
        auto* chunk =
            static_cast<std::uint8_t*>(::operator new (kChunkSize, std::align_val_t{kChunkSize}));
        AdviseLargePages(chunk, kChunkSize);
        chunks_.emplace_back(chunk);
        used_ = 0;
    }
    if (length > 0)  // an empty key may have no storage at all (null)
        std::memcpy(chunks_.back().get() + used_, key, length);
    auto pos = static_cast<std::uint32_t>(((chunks_.size() - 1) << kChunkBits) | used_);
    used_ += length;
    return pos;
}

void KeyStore::FreeChunk::operator()(std::uint8_t* chunk) const noexcept {
    ::operator delete (chunk, std::align_val_t{kChunkSize});
}

std::uint32_t KeyStore::Adopt(KeyStore&& other) {
    auto base = static_cast<std::uint32_t>(chunks_.size() << kChunkBits);
    if (other.chunks_.empty())
        return base;
    for (auto& chunk : other.chunks_)
        chunks_.push_back(std::move(chunk));
    used_ = other.used_;
    other.Clear();
    return base;
}

WordStore::WordStore(std::string locale) : collation_(std::move(locale)) {}

void WordStore::Clear() {
    records_.clear();
    records_.shrink_to_fit();
    keys_.Clear();
    nextSerial_ = 0;
    rowOrder_.clear();
    sortOrder_.clear();
    sorted_ = false;
    byteIndex_.Drop();
}

std::uint32_t WordStore::SlotAt(std::size_t position) const {
    return position < Count() ? CurrentOrder()[position] : static_cast<std::uint32_t>(-1);
}

WordValue WordStore::ValueAt(std::size_t position) const {
    const WordRecord& record = records_[CurrentOrder()[position]];
    WordValue value;
    std::memcpy(value.word, record.word, sizeof value.word);
    value.hasValue = (record.flags & WordRecord::kHasValue) != 0;
    return value;
}

// ---------------------------------------------------------------- keys

int WordStore::CompareKey(std::uint32_t slot, const std::uint8_t* key, std::size_t length) const {
    const WordRecord& r = records_[slot];
    return CompareBytes(keys_.At(r.keyPos), r.keyLength, key, length);
}

void WordStore::StoreKey(WordRecord& record, const std::uint8_t* key, std::size_t length) {
    if (length > 255)
        throw ETableError("Invalid locale.");
    record.keyPos = keys_.Add(key, length);
    record.keyLength = static_cast<std::uint8_t>(length);
    record.flags |= WordRecord::kHasKey;
}

WordStore::SortKey WordStore::KeyFor(const WordValue& value) const {
    SortKey key;
    if (sorted_ && value.hasValue)
        collation_.AppendSortKey(value.Text(), key);
    if (key.size() > 255)
        throw ETableError("Invalid locale.");
    return key;
}

LargeVector<std::uint32_t> WordStore::SlotsWithoutKey() const {
    LargeVector<std::uint32_t> missing;
    for (std::uint32_t slot = 0; slot < records_.size(); ++slot) {
        std::uint8_t flags = records_[slot].flags;
        if ((flags & WordRecord::kAlive) && !(flags & WordRecord::kHasKey))
            missing.push_back(slot);
    }
    return missing;
}

// Sort keys are the bulk of a load's cost; both cores make them, each with a collator
// of its own (a collator is not to be shared between threads).
void WordStore::MakeMissingKeys() {
    LargeVector<std::uint32_t> missing = SlotsWithoutKey();
    if (missing.empty())
        return;

    collation_.Check();
    std::size_t split = missing.size();
    std::unique_ptr<WordCollation> second;
    if (missing.size() >= 20000 && std::thread::hardware_concurrency() > 1) {
        second = collation_.Clone();
        split = missing.size() / 2;
    }
    KeyBatch batches[2];
    std::thread helper;
    if (second)
        helper = std::thread(MakeKeys, std::cref(*second), std::cref(records_), std::cref(missing),
                             split, missing.size(), std::ref(batches[1]));
    MakeKeys(collation_, records_, missing, 0, split, batches[0]);
    if (helper.joinable())
        helper.join();
    for (const KeyBatch& batch : batches)
        if (batch.error)
            std::rethrow_exception(batch.error);

    std::size_t i = 0;
    for (KeyBatch& batch : batches) {
        std::uint32_t base = keys_.Adopt(std::move(batch.keys));
        for (std::size_t k = 0; k < batch.positions.size(); ++k) {
            WordRecord& record = records_[missing[i++]];
            record.keyPos = base + batch.positions[k];
            record.keyLength = batch.lengths[k];
            record.flags |= WordRecord::kHasKey;
        }
    }
}

// ---------------------------------------------------------------- places in the sort order

std::size_t WordStore::LowerBound(const std::uint8_t* key, std::size_t length) const {
    return sortOrder_.PartitionPoint(
        [&](std::uint32_t slot) { return CompareKey(slot, key, length) < 0; });
}

std::size_t WordStore::FindInSortOrder(std::uint32_t slot) const {
    const WordRecord& r = records_[slot];
    std::size_t p = LowerBound(keys_.At(r.keyPos), r.keyLength);
    return sortOrder_.ForEachFrom(p, [&](std::uint32_t other) { return other != slot; });
}

// ---------------------------------------------------------------- changes

void WordStore::Append(const WordValue& value, const SortKey& key) {
    auto slot = static_cast<std::uint32_t>(records_.size());
    WordRecord record{};
    std::memcpy(record.word, value.word, sizeof record.word);
    record.serial = nextSerial_++;
    record.flags = WordRecord::kAlive | (value.hasValue ? WordRecord::kHasValue : 0);
    std::size_t place = sorted_ ? LowerBound(key.data(), key.size()) : 0;
    if (sorted_)
        StoreKey(record, key.data(), key.size());
    records_.push_back(record);
    if (sorted_) {
        sortOrder_.insert(place, slot);
    } else {
        rowOrder_.push_back(slot);
    }
    byteIndex_.Insert(slot);
}

void WordStore::Replace(std::size_t position, const WordValue& value, const SortKey& key) {
    std::uint32_t slot = CurrentOrder()[position];
    WordRecord& stored = records_[slot];
    if (sorted_) {
        if (CompareKey(slot, key.data(), key.size()) != 0) {
            sortOrder_.erase(position);
            sortOrder_.insert(LowerBound(key.data(), key.size()), slot);
        }
        StoreKey(stored, key.data(), key.size());
    } else {
        stored.flags = static_cast<std::uint8_t>(stored.flags & ~WordRecord::kHasKey);
    }
    // The byte index finds a record by its bytes: it lets the record go while the bytes are
    // still the ones it was filed under, and files it again under the new ones.
    bool bytesChanged = std::memcmp(stored.word, value.word, sizeof stored.word) != 0;
    if (bytesChanged)
        byteIndex_.Erase(slot);
    std::memcpy(stored.word, value.word, sizeof stored.word);
    stored.flags = static_cast<std::uint8_t>((stored.flags & ~WordRecord::kHasValue) |
                                             (value.hasValue ? WordRecord::kHasValue : 0));
    if (bytesChanged)
        byteIndex_.Insert(slot);
}

void WordStore::Remove(std::size_t position) {
    std::uint32_t slot = CurrentOrder()[position];
    CurrentOrder().erase(position);
    byteIndex_.Erase(slot);
    records_[slot].flags = 0;
}

// ---------------------------------------------------------------- sorting

LargeVector<std::uint32_t> WordStore::SlotsInKeyOrder() const {
    LargeVector<NumberedSlot> items;
    items.reserve(Count());
    CurrentOrder().ForEachFrom(0, [&](std::uint32_t slot) {
        const WordRecord& r = records_[slot];
        items.push_back({BytesAsNumber(keys_.At(r.keyPos), r.keyLength), slot});
        return true;
    });
    SortByNumber(items);
    // Keys longer than eight bytes: the runs that share their first eight are put in order
    // by the whole key, and equal keys by slot, so equal words come out the same each time.
    for (std::size_t from = 0; from < items.size();) {
        std::size_t to = from + 1;
        while (to < items.size() && items[to].number == items[from].number)
            ++to;
        if (to - from > 1)
            std::sort(items.begin() + static_cast<std::ptrdiff_t>(from),
                      items.begin() + static_cast<std::ptrdiff_t>(to),
                      [&](const NumberedSlot& a, const NumberedSlot& b) {
                          const WordRecord& rb = records_[b.slot];
                          int c = CompareKey(a.slot, keys_.At(rb.keyPos), rb.keyLength);
                          return c != 0 ? c < 0 : a.slot < b.slot;
                      });
        from = to;
    }
    LargeVector<std::uint32_t> slots(items.size());
    for (std::size_t i = 0; i < items.size(); ++i)
        slots[i] = items[i].slot;
    return slots;
}

// Moves the records into the order of slots (the live slots; the removed ones are
// dropped) and returns where the record that was in slot current now stands. A gather
// into a new array rather than a walk along the permutation's cycles: each load of the
// gather is independent of the one before, so the processor keeps many misses in flight,
// where a cycle walk waits for each in turn (twice the sort's time at a million words).
// The old array goes as soon as the new one is filled.
std::size_t WordStore::MoveIntoSortOrder(LargeVector<std::uint32_t>& slots, std::uint32_t current) {
    auto found = std::find(slots.begin(), slots.end(), current);
    std::size_t position =
        found == slots.end() ? 0 : static_cast<std::size_t>(found - slots.begin());
    constexpr std::size_t kAhead = 16;
    RecordArray sorted;
    sorted.reserve(slots.size());
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (i + kAhead < slots.size())
            __builtin_prefetch(&records_[slots[i + kAhead]]);
        sorted.push_back(records_[slots[i]]);
        slots[i] = static_cast<std::uint32_t>(i);  // now slot i holds the record at place i
    }
    records_.swap(sorted);
    sortOrder_.assign(slots);
    return position;
}

std::size_t WordStore::Sort(std::size_t current) {
    // Keys first: a failure leaves the orders as they were.
    MakeMissingKeys();
    std::uint32_t slot = SlotAt(current);
    LargeVector<std::uint32_t> slots = SlotsInKeyOrder();
    byteIndex_.Drop();
    rowOrder_.clear();
    std::size_t position = MoveIntoSortOrder(slots, slot);
    sorted_ = true;
    return position;
}

std::size_t WordStore::Unsort(std::size_t current) {
    std::uint32_t slot = SlotAt(current);
    std::vector<std::uint32_t> slots = CurrentOrder().ToVector();
    std::sort(slots.begin(), slots.end(), [&](std::uint32_t a, std::uint32_t b) {
        return records_[a].serial < records_[b].serial;
    });
    auto found = std::find(slots.begin(), slots.end(), slot);
    rowOrder_.assign(slots);
    sortOrder_.clear();
    sorted_ = false;
    byteIndex_.Drop();
    return found == slots.end() ? 0 : static_cast<std::size_t>(found - slots.begin());
}

// ---------------------------------------------------------------- searching

// The short orders' search: the first word that the text, compared with the word cut to
// the text's length, does not sort after.
std::size_t WordStore::ScanNearest(std::string_view text) const {
    std::size_t count = Count();
    for (std::size_t i = 0; i < count; ++i) {
        std::string_view word = WordAt(i);
        if (word.size() > text.size())
            word = word.substr(0, text.size());
        if (collation_.Compare(text, word) <= 0)
            return i;
    }
    return count;
}

// Beyond the found position lies most often the word wanted, a few steps on; otherwise the
// byte index names every word with the typed beginning, and the first of them in sort
// order is looked up by its key.
std::size_t WordStore::FirstInSortOrderBeginningWith(std::string_view text, std::size_t found) {
    if (!byteIndex_.Built())
        byteIndex_.Build(sortOrder_);
    if (!byteIndex_.AnyBeginsWith(text))
        return found;
    std::size_t count = Count();
    auto begins = [&](std::uint32_t slot) { return records_[slot].Text().starts_with(text); };
    std::size_t scanned = 0;
    std::size_t stop = sortOrder_.ForEachFrom(
        found, [&](std::uint32_t slot) { return !begins(slot) && ++scanned < kPrefixScan; });
    if (stop < count && begins(sortOrder_[stop]))
        return stop;

    std::size_t best = count;
    byteIndex_.ForEachBeginningWith(text, [&](std::uint32_t slot) {
        best = std::min(best, FindInSortOrder(slot));
        return true;
    });
    return best < count ? best : found;
}

// Under Hungarian collation the words that begin with the typed bytes need not follow
// the typed text directly: "kass" sorts before "kast", which sorts before "kassza" (s s
// against sz sz), and accents weigh less than later letters. The search promises the
// first word in sort order that begins with what was typed whenever one exists.
std::size_t WordStore::FirstBeginningWith(std::string_view text, std::size_t found) {
    if (text.empty())
        return found;
    std::size_t count = Count();
    if (found < count && WordAt(found).starts_with(text))
        return found;
    if (sorted_ && count > kScanLimit)
        return FirstInSortOrderBeginningWith(text, found);
    std::size_t first = CurrentOrder().ForEachFrom(
        0, [&](std::uint32_t slot) { return !records_[slot].Text().starts_with(text); });
    return first < count ? first : found;
}

std::size_t WordStore::Nearest(std::string_view text) {
    std::size_t found;
    if (sorted_ && Count() > kScanLimit) {
        SortKey key;
        collation_.AppendSortKey(text, key);
        found = LowerBound(key.data(), key.size());
    } else {
        found = ScanNearest(text);
    }
    return FirstBeginningWith(text, found);
}

}  // namespace kormoszi
