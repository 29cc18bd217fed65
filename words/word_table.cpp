#include "words/word_table.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <thread>
#include <utility>

namespace kormoszi {

namespace {

int CompareBytes(const std::uint8_t* a, std::size_t la, const std::uint8_t* b, std::size_t lb) {
    // The key of a record without a value is empty and may sit in an empty vector, whose
    // data() is null; memcmp must not see a null pointer even for no bytes.
    std::size_t common = std::min(la, lb);
    int c = common == 0 ? 0 : std::memcmp(a, b, common);
    if (c != 0)
        return c < 0 ? -1 : 1;
    return la < lb ? -1 : la > lb ? 1 : 0;
}

// The text as the field would hold it: at most 7 bytes, ending at the first NUL.
std::string_view CutToField(std::string_view text) {
    text = text.substr(0, std::min(text.size(), WordTable::kFieldSize));
    auto nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

// A field holds at most seven bytes and ends at its first NUL.
std::size_t FieldLength(const char* word) {
    std::size_t n = 0;
    while (n < WordTable::kFieldSize && word[n] != '\0')
        ++n;
    return n;
}

// The first eight key bytes as a number whose order is the bytes' order, so most
// comparisons of a sort are one integer comparison.
std::uint64_t KeyPrefix(const std::uint8_t* key, std::size_t length) {
    std::uint64_t prefix = 0;
    for (std::size_t i = 0; i < 8; ++i)
        prefix = (prefix << 8) | (i < length ? key[i] : 0u);
    return prefix;
}

// How far past the found position the prefix promise looks before it asks the byte
// index where every word with the typed beginning stands.
constexpr std::size_t kPrefixScan = 512;

}  // namespace

std::uint32_t WordTable::KeyStore::Add(const std::uint8_t* key, std::size_t length) {
    if (chunks_.empty() || used_ + length > kChunkSize) {
        chunks_.emplace_back(new std::uint8_t[kChunkSize]);
        used_ = 0;
    }
    if (length > 0)  // an empty key may have no storage at all (null)
        std::memcpy(chunks_.back().get() + used_, key, length);
    auto pos = static_cast<std::uint32_t>(((chunks_.size() - 1) << kChunkBits) | used_);
    used_ += length;
    return pos;
}

WordTable::WordTable(std::string locale) : collation_(std::move(locale)) {}

// ---------------------------------------------------------------- state and notices

void WordTable::Notify(TableNotice notice, int info) {
    if (suspended_ > 0)
        return;
    auto links = links_;  // a view may unlink itself while it is told
    for (TableLink* link : links)
        link->Notify(notice, info);
}

void WordTable::SetState(TableState state) {
    state_ = state;
    modified_ = false;
    if (suspended_ > 0) {
        auto links = links_;
        for (TableLink* link : links)
            link->Notify(TableNotice::SuspendedState, IsOpen() ? 1 : 0);
    } else {
        Notify(TableNotice::State);
    }
}

void WordTable::Fire(const std::function<void(WordTable&)>& event) {
    if (event)
        event(*this);
}

void WordTable::RequireOpen(const char* operation) const {
    if (!IsOpen())
        throw std::logic_error(std::string(operation) + " on a closed table");
}

void WordTable::Settle() {
    Notify(TableNotice::Settle);
    if (!IsEditing())
        return;
    Notify(TableNotice::Update);
    if (modified_) {
        PostRecord();
    } else {
        CancelRecord();
    }
}

void WordTable::SuspendNotices() {
    if (suspended_ == 0)
        suspendedFrom_ = state_;
    ++suspended_;
}

void WordTable::ResumeNotices() {
    if (suspended_ == 0)
        return;
    if (--suspended_ > 0)
        return;
    if (state_ != suspendedFrom_)
        Notify(TableNotice::State);
    if (IsOpen() && suspendedFrom_ != TableState::Inactive) {
        FillWindow(PreferredSlot());
        Notify(TableNotice::Content);
    }
}

void WordTable::AddLink(TableLink* link) {
    if (std::find(links_.begin(), links_.end(), link) == links_.end())
        links_.push_back(link);
}

void WordTable::RemoveLink(TableLink* link) {
    links_.erase(std::remove(links_.begin(), links_.end(), link), links_.end());
}

// ---------------------------------------------------------------- open and close

void WordTable::OpenTable() {
    if (IsOpen())
        return;
    position_ = 0;
    atEnd_ = true;
    sorted_ = false;
    windowTop_ = 0;
    windowCount_ = 0;
    SetState(TableState::Browsing);
}

void WordTable::CloseTable() {
    if (!IsOpen())
        return;
    if (IsEditing())
        CancelRecord();
    SetState(TableState::Inactive);
    records_.clear();
    records_.shrink_to_fit();
    keys_.Clear();
    rowOrder_.clear();
    sortOrder_.clear();
    byteOrder_.clear();
    sorted_ = false;
    byteIndexValid_ = false;
    position_ = 0;
    atEnd_ = true;
    buffer_ = {};
    windowTop_ = 0;
    windowCount_ = 0;
}

// ---------------------------------------------------------------- records

std::string_view WordTable::Word(std::uint32_t id) const {
    const Record& r = records_[id];
    return {r.word, FieldLength(r.word)};
}

std::string_view WordTable::BufferWord() const {
    return {buffer_.word, FieldLength(buffer_.word)};
}

int WordTable::EffectiveCount() const {
    return OrderCount() + (state_ == TableState::Inserting ? 1 : 0);
}

bool WordTable::HasCurrent() const {
    if (!IsOpen())
        return false;
    if (state_ == TableState::Inserting)
        return true;
    return position_ >= 0 && position_ < OrderCount();
}

bool WordTable::AtEnd() const {
    return atEnd_;
}

bool WordTable::TableEmpty() const {
    return !HasCurrent();
}

int WordTable::CountRecords() const {
    RequireOpen("CountRecords");
    return OrderCount();
}

std::string WordTable::WordText() const {
    if (!HasCurrent())
        return {};
    if (IsEditing())
        return std::string(BufferWord());
    const BlockList& order = CurrentOrder();
    const auto next = static_cast<std::size_t>(position_) + 4;
    // A walk in sort order visits the records in no order of their own in memory; asking
    // for one a few steps ahead hides most of the wait for it.
    if (next < order.size())
        __builtin_prefetch(&records_[order[next]]);
    return std::string(Word(order[static_cast<std::size_t>(position_)]));
}

int WordTable::RecordNumber() const {
    return HasCurrent() ? static_cast<int>(position_) + 1 : 0;
}

void WordTable::BeginInsert() {
    RequireOpen("BeginInsert");
    Settle();
    int slot = windowSize_ - 1;  // the new row goes under the last word, at the bottom
    position_ = OrderCount();
    buffer_ = {};
    SetState(TableState::Inserting);
    FillWindow(slot);
    Notify(TableNotice::Content);
    Fire(AfterInsert);
}

void WordTable::BeginEdit() {
    RequireOpen("BeginEdit");
    if (IsEditing())
        return;
    if (!HasCurrent())
        throw std::logic_error("BeginEdit without a current record");
    Notify(TableNotice::Settle);
    buffer_ = records_[CurrentOrder()[static_cast<std::size_t>(position_)]];
    SetState(TableState::Editing);
    Notify(TableNotice::Record);
    Fire(AfterEdit);
}

void WordTable::SetWordText(std::string_view text) {
    if (!IsEditing())
        throw std::logic_error("SetWordText while not editing");
    text = CutToField(text);
    std::memset(buffer_.word, 0, sizeof buffer_.word);
    std::memcpy(buffer_.word, text.data(), text.size());
    buffer_.flags |= kHasValue;
    modified_ = true;
    Notify(TableNotice::Field);
}

void WordTable::StoreKey(Record& record, const std::vector<std::uint8_t>& key) {
    StoreKey(record, key.data(), key.size());
}

void WordTable::StoreKey(Record& record, const std::uint8_t* key, std::size_t length) {
    if (length > 255)
        throw ETableError("Invalid locale.");
    record.keyPos = keys_.Add(key, length);
    record.keyLength = static_cast<std::uint8_t>(length);
    record.flags |= kHasKey;
}

// Sort keys are the bulk of a load's cost; both cores make them, each with a collator
// of its own (a collator is not to be shared between threads).
void WordTable::MakeMissingKeys() {
    std::vector<std::uint32_t> missing;
    rowOrder_.ForEachFrom(0, [&](std::uint32_t id) {
        if (!(records_[id].flags & kHasKey))
            missing.push_back(id);
        return true;
    });
    if (missing.empty())
        return;

    struct Part {
        std::vector<std::uint8_t> bytes;
        std::vector<std::uint32_t> ends;
        std::exception_ptr error;
    };
    auto make = [&](const WordCollation& collation, std::size_t from, std::size_t to, Part& part) {
        try {
            part.bytes.reserve((to - from) * 24);
            part.ends.reserve(to - from);
            for (std::size_t i = from; i < to; ++i) {
                if (records_[missing[i]].flags & kHasValue)
                    collation.AppendSortKey(Word(missing[i]), part.bytes);
                part.ends.push_back(static_cast<std::uint32_t>(part.bytes.size()));
            }
        } catch (...) {
            part.error = std::current_exception();
        }
    };

    collation_.Check();
    std::size_t split = missing.size();
    std::unique_ptr<WordCollation> second;
    if (missing.size() >= 20000 && std::thread::hardware_concurrency() > 1) {
        second = collation_.Clone();
        split = missing.size() / 2;
    }
    Part parts[2];
    std::thread helper;
    if (second)
        helper = std::thread(make, std::cref(*second), split, missing.size(), std::ref(parts[1]));
    make(collation_, 0, split, parts[0]);
    if (helper.joinable())
        helper.join();
    for (const Part& part : parts)
        if (part.error)
            std::rethrow_exception(part.error);

    std::size_t i = 0;
    for (const Part& part : parts) {
        std::uint32_t start = 0;
        for (std::uint32_t end : part.ends) {
            StoreKey(records_[missing[i++]], part.bytes.data() + start, end - start);
            start = end;
        }
    }
}

void WordTable::PostRecord() {
    if (!IsEditing())
        throw std::logic_error("PostRecord while not editing");
    Notify(TableNotice::Update);
    Notify(TableNotice::Settle);
    Fire(BeforePost);

    // Everything that can fail comes before the first change, so a failed post leaves
    // the table as it was, with the word still in the edit buffer.
    std::vector<std::uint8_t> key;
    if (sorted_ && (buffer_.flags & kHasValue))
        collation_.AppendSortKey(BufferWord(), key);
    if (key.size() > 255)
        throw ETableError("Invalid locale.");
    int slot = PreferredSlot();

    if (state_ == TableState::Inserting) {
        long before = OrderCount();
        auto id = static_cast<std::uint32_t>(records_.size());
        Record record = buffer_;
        record.flags = static_cast<std::uint8_t>((record.flags & kHasValue) | kAlive);
        std::size_t place = sorted_ ? LowerBound(key.data(), key.size()) : 0;
        if (sorted_)
            StoreKey(record, key);
        records_.push_back(record);
        rowOrder_.push_back(id);
        if (sorted_)
            sortOrder_.insert(place, id);
        if (byteIndexValid_)
            ByteIndexInsert(id);
        SetState(TableState::Browsing);
        Resync(before, slot);
    } else {
        long place = position_;
        std::uint32_t id = CurrentOrder()[static_cast<std::size_t>(place)];
        Record& stored = records_[id];
        if (sorted_) {
            bool same = CompareBytes(keys_.At(stored.keyPos), stored.keyLength, key.data(),
                                     key.size()) == 0;
            if (!same) {
                sortOrder_.erase(static_cast<std::size_t>(place));
                sortOrder_.insert(LowerBound(key.data(), key.size()), id);
            }
            StoreKey(stored, key);
        } else {
            stored.flags = static_cast<std::uint8_t>(stored.flags & ~kHasKey);
        }
        bool bytesChanged = std::memcmp(stored.word, buffer_.word, sizeof stored.word) != 0;
        if (byteIndexValid_ && bytesChanged)
            ByteIndexErase(id);
        std::memcpy(stored.word, buffer_.word, sizeof stored.word);
        stored.flags =
            static_cast<std::uint8_t>((stored.flags & ~kHasValue) | (buffer_.flags & kHasValue));
        if (byteIndexValid_ && bytesChanged)
            ByteIndexInsert(id);
        SetState(TableState::Browsing);
        Resync(place, slot);
    }
    buffer_ = {};
    Fire(AfterPost);
}

void WordTable::CancelRecord() {
    if (!IsEditing())
        return;
    bool inserting = state_ == TableState::Inserting;
    Notify(TableNotice::Settle);
    int slot = PreferredSlot();
    buffer_ = {};
    SetState(TableState::Browsing);
    Resync(inserting ? OrderCount() : position_, slot);
    Fire(AfterCancel);
}

void WordTable::RemoveCurrent() {
    if (state_ == TableState::Inserting) {
        CancelRecord();
        return;
    }
    RequireOpen("RemoveCurrent");
    if (state_ == TableState::Editing)
        throw std::logic_error("RemoveCurrent while editing");
    if (!HasCurrent())
        throw std::logic_error("RemoveCurrent without a current record");
    Notify(TableNotice::Settle);
    int slot = PreferredSlot();
    long place = position_;
    std::uint32_t id = CurrentOrder()[static_cast<std::size_t>(place)];
    if (sorted_)
        sortOrder_.erase(static_cast<std::size_t>(place));
    rowOrder_.erase(FindInRowOrder(id));
    if (byteIndexValid_)
        ByteIndexErase(id);
    records_[id].flags = 0;
    Resync(place, slot);
}

// ---------------------------------------------------------------- cursor and window

int WordTable::PreferredSlot() const {
    long slot = position_ - windowTop_;
    return static_cast<int>(std::clamp<long>(slot, 0, windowSize_ - 1));
}

void WordTable::FillWindow(int slot) {
    long total = EffectiveCount();
    if (!IsOpen() || total == 0) {
        windowTop_ = 0;
        windowCount_ = 0;
        return;
    }
    long count = std::min<long>(windowSize_, total);
    windowTop_ = std::clamp<long>(position_ - slot, 0, total - count);
    windowCount_ = static_cast<int>(count);
}

void WordTable::Resync(long position, int slot) {
    long count = OrderCount();
    position_ = count == 0 ? 0 : std::clamp<long>(position, 0, count - 1);
    FillWindow(slot);
    Notify(TableNotice::Content);
}

int WordTable::MoveCursorBy(long n) {
    long count = OrderCount();
    if (count == 0 || !HasCurrent())
        return 0;
    long target = std::clamp<long>(position_ + n, 0, count - 1);
    long moved = target - position_;
    if (moved == 0)
        return 0;
    position_ = target;

    long oldTop = windowTop_;
    int oldCount = windowCount_;
    long size = std::min<long>(windowSize_, count);
    long top = windowTop_;
    if (position_ < top)
        top = position_;
    if (position_ >= top + size)
        top = position_ - size + 1;
    windowTop_ = std::clamp<long>(top, 0, count - size);
    windowCount_ = static_cast<int>(size);
    if (windowCount_ != oldCount) {
        Notify(TableNotice::Content);
    } else {
        Notify(TableNotice::Scroll, static_cast<int>(windowTop_ - oldTop));
    }
    return static_cast<int>(moved);
}

void WordTable::MoveFirst() {
    if (!IsOpen()) {
        atEnd_ = true;
        return;
    }
    Settle();
    position_ = 0;
    atEnd_ = OrderCount() == 0;
    FillWindow(0);
    Notify(TableNotice::Content);
}

void WordTable::MoveNext() {
    if (!IsOpen()) {
        atEnd_ = true;
        return;
    }
    Settle();
    if (atEnd_ && position_ + 1 >= OrderCount())
        return;
    if (position_ + 1 < OrderCount()) {
        MoveCursorBy(1);
        atEnd_ = false;
    } else {
        atEnd_ = true;
    }
}

int WordTable::MoveBy(int n) {
    if (!IsOpen())
        return 0;
    Settle();
    return MoveCursorBy(n);
}

void WordTable::MoveLast() {
    if (!IsOpen())
        return;
    Settle();
    position_ = std::max(0, OrderCount() - 1);
    FillWindow(windowSize_ - 1);
    Notify(TableNotice::Content);
}

void WordTable::GoToRecordNumber(int p) {
    if (!IsOpen())
        return;
    Settle();
    int slot = PreferredSlot();
    Resync(static_cast<long>(p) - 1, slot);
}

void WordTable::SetViewWindowSize(int rows) {
    int slot = PreferredSlot();
    windowSize_ = std::max(1, rows);
    FillWindow(std::min(slot, windowSize_ - 1));
}

int WordTable::ViewWindowSlot() const {
    return HasCurrent() ? static_cast<int>(position_ - windowTop_) : -1;
}

std::string WordTable::ViewWindowWord(int slot) const {
    if (slot < 0 || slot >= windowCount_)
        return {};
    long p = windowTop_ + slot;
    if (IsEditing() && p == position_)
        return std::string(BufferWord());
    if (p >= OrderCount())
        return {};
    return std::string(Word(CurrentOrder()[static_cast<std::size_t>(p)]));
}

// ---------------------------------------------------------------- sorting and searching

std::size_t WordTable::LowerBound(const std::uint8_t* key, std::size_t length) const {
    return sortOrder_.PartitionPoint([&](std::uint32_t id) {
        const Record& r = records_[id];
        return CompareBytes(keys_.At(r.keyPos), r.keyLength, key, length) < 0;
    });
}

std::size_t WordTable::FindInSortOrder(std::uint32_t id) {
    const Record& r = records_[id];
    std::size_t p = LowerBound(keys_.At(r.keyPos), r.keyLength);
    return sortOrder_.ForEachFrom(p, [&](std::uint32_t other) { return other != id; });
}

std::size_t WordTable::FindInRowOrder(std::uint32_t id) const {
    return rowOrder_.PartitionPoint([&](std::uint32_t other) { return other < id; });
}

void WordTable::SortBy(std::string_view fieldName) {
    if (!IsOpen())
        return;
    Settle();
    // Keys first: a failure leaves the current order and cursor as they were.
    auto first = fieldName.find_first_not_of(' ');
    if (first != std::string_view::npos)
        MakeMissingKeys();

    long current =
        HasCurrent() ? static_cast<long>(CurrentOrder()[static_cast<std::size_t>(position_)]) : -1L;
    int slot = PreferredSlot();
    sorted_ = false;
    sortOrder_.clear();
    byteOrder_.clear();
    byteIndexValid_ = false;

    if (first == std::string_view::npos) {
        position_ = current < 0
                        ? 0
                        : static_cast<long>(FindInRowOrder(static_cast<std::uint32_t>(current)));
        FillWindow(slot);
        Notify(TableNotice::Content);
        return;
    }

    std::vector<std::uint32_t> ids = rowOrder_.ToVector();
    std::vector<std::pair<std::uint64_t, std::uint32_t>> items;
    items.reserve(ids.size());
    for (std::uint32_t id : ids) {
        const Record& r = records_[id];
        items.emplace_back(KeyPrefix(keys_.At(r.keyPos), r.keyLength), id);
    }
    std::sort(items.begin(), items.end(), [&](const auto& a, const auto& b) {
        if (a.first != b.first)
            return a.first < b.first;
        const Record& ra = records_[a.second];
        const Record& rb = records_[b.second];
        return CompareBytes(keys_.At(ra.keyPos), ra.keyLength, keys_.At(rb.keyPos), rb.keyLength) <
               0;
    });
    for (std::size_t i = 0; i < items.size(); ++i)
        ids[i] = items[i].second;
    items.clear();
    items.shrink_to_fit();
    sortOrder_.assign(ids);
    sorted_ = true;

    position_ =
        current < 0 ? 0 : static_cast<long>(FindInSortOrder(static_cast<std::uint32_t>(current)));
    FillWindow(slot);
    Notify(TableNotice::Content);
}

bool WordTable::SeekNearest(std::string_view text) {
    if (!IsOpen())
        return false;
    Settle();
    text = CutToField(text);
    if (OrderCount() == 0)
        return false;
    int slot = PreferredSlot();
    Resync(NearestPosition(text), slot);
    return true;
}

long WordTable::NearestPosition(std::string_view text) {
    const BlockList& order = CurrentOrder();
    long count = OrderCount();
    long found = count;
    if (sorted_ && static_cast<std::size_t>(count) > kScanLimit) {
        std::vector<std::uint8_t> key;
        collation_.AppendSortKey(text, key);
        found = static_cast<long>(LowerBound(key.data(), key.size()));
    } else {
        for (long i = 0; i < count; ++i) {
            std::string_view word = Word(order[static_cast<std::size_t>(i)]);
            if (word.size() > text.size())
                word = word.substr(0, text.size());
            if (collation_.Compare(text, word) <= 0) {
                found = i;
                break;
            }
        }
    }
    return FirstBeginningWith(text, found);
}

// Under Hungarian collation the words that begin with the typed bytes need not follow
// the typed text directly: "kass" sorts before "kast", which sorts before "kassza" (s s
// against sz sz), and accents weigh less than later letters. The search promises the
// first word in sort order that begins with what was typed whenever one exists.
long WordTable::FirstBeginningWith(std::string_view text, long found) {
    if (text.empty())
        return found;
    const BlockList& order = CurrentOrder();
    auto count = static_cast<std::size_t>(OrderCount());
    auto begins = [&](std::uint32_t id) { return Word(id).starts_with(text); };
    if (static_cast<std::size_t>(found) < count && begins(order[static_cast<std::size_t>(found)]))
        return found;

    if (!sorted_ || count <= kScanLimit) {
        std::size_t first = order.ForEachFrom(0, [&](std::uint32_t id) { return !begins(id); });
        return first < count ? static_cast<long>(first) : found;
    }

    EnsureByteIndex();
    std::size_t lo = ByteLowerBound(text);
    if (lo >= byteOrder_.size() || !begins(byteOrder_[lo]))
        return found;

    std::size_t scanned = 0;
    std::size_t stop = sortOrder_.ForEachFrom(
        static_cast<std::size_t>(found),
        [&](std::uint32_t id) { return !begins(id) && ++scanned < kPrefixScan; });
    if (stop < count && begins(sortOrder_[stop]))
        return static_cast<long>(stop);

    std::size_t best = count;
    byteOrder_.ForEachFrom(lo, [&](std::uint32_t id) {
        if (!begins(id))
            return false;
        best = std::min(best, FindInSortOrder(id));
        return true;
    });
    return best < count ? static_cast<long>(best) : found;
}

// ---------------------------------------------------------------- byte index

namespace {
std::uint64_t BytesAsNumber(const char* word) {
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i)
        v = (v << 8) | static_cast<unsigned char>(word[i]);
    return v;
}
}  // namespace

void WordTable::EnsureByteIndex() {
    if (byteIndexValid_)
        return;
    std::vector<std::pair<std::uint64_t, std::uint32_t>> items;
    items.reserve(sortOrder_.size());
    sortOrder_.ForEachFrom(0, [&](std::uint32_t id) {
        items.emplace_back(BytesAsNumber(records_[id].word), id);
        return true;
    });
    std::sort(items.begin(), items.end());
    std::vector<std::uint32_t> ids;
    ids.reserve(items.size());
    for (const auto& item : items)
        ids.push_back(item.second);
    byteOrder_.assign(ids);
    byteIndexValid_ = true;
}

std::size_t WordTable::ByteLowerBound(std::string_view text) const {
    char padded[8] = {};
    std::memcpy(padded, text.data(), std::min<std::size_t>(text.size(), 8));
    std::uint64_t target = BytesAsNumber(padded);
    return byteOrder_.PartitionPoint(
        [&](std::uint32_t id) { return BytesAsNumber(records_[id].word) < target; });
}

void WordTable::ByteIndexInsert(std::uint32_t id) {
    std::uint64_t target = BytesAsNumber(records_[id].word);
    std::size_t p = byteOrder_.PartitionPoint(
        [&](std::uint32_t other) { return BytesAsNumber(records_[other].word) < target; });
    byteOrder_.insert(p, id);
}

void WordTable::ByteIndexErase(std::uint32_t id) {
    std::uint64_t target = BytesAsNumber(records_[id].word);
    std::size_t p = byteOrder_.PartitionPoint(
        [&](std::uint32_t other) { return BytesAsNumber(records_[other].word) < target; });
    p = byteOrder_.ForEachFrom(p, [&](std::uint32_t other) { return other != id; });
    if (p < byteOrder_.size())
        byteOrder_.erase(p);
}

}  // namespace kormoszi
