#include "words/words_origin.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <stdexcept>

#include "platform/file_access.h"

namespace kormoszi {

namespace {

// How often a save merges again with a file that keeps changing under it before it gives
// up with "I/O error 16" (busy) rather than write over somebody's words.
constexpr int kMergeRounds = 8;

// The count of key at the front of the sorted words from at on; moves at past them.
std::int64_t TakeCount(const std::vector<std::uint64_t>& words, std::size_t& at,
                       std::uint64_t key) {
    std::int64_t count = 0;
    for (; at < words.size() && words[at] == key; ++at)
        ++count;
    return count;
}

}  // namespace

std::vector<std::uint64_t> MergeChanges(std::vector<std::uint64_t> loaded,
                                        std::vector<std::uint64_t> now,
                                        std::vector<std::uint64_t> mine) {
    for (auto* words : {&loaded, &now, &mine})
        std::sort(words->begin(), words->end());
    std::vector<std::uint64_t> merged;
    merged.reserve(now.size() + (mine.size() > loaded.size() ? mine.size() - loaded.size() : 0));
    std::size_t l = 0, n = 0, m = 0;
    constexpr std::uint64_t kNone = std::numeric_limits<std::uint64_t>::max();
    while (l < loaded.size() || n < now.size() || m < mine.size()) {
        const std::uint64_t key =
            std::min({l < loaded.size() ? loaded[l] : kNone, n < now.size() ? now[n] : kNone,
                      m < mine.size() ? mine[m] : kNone});
        const std::int64_t count =
            TakeCount(now, n, key) + TakeCount(mine, m, key) - TakeCount(loaded, l, key);
        merged.insert(merged.end(), static_cast<std::size_t>(std::max<std::int64_t>(count, 0)),
                      key);
    }
    return merged;
}

void WordsOrigin::Load(WordTable& table, const std::string& fileName, int n) {
    WordsFrom from = WordsFrom::FailedRead;
    std::exception_ptr error;
    WordFileSnapshot snapshot;
    try {
        ReadWordFile(table, fileName, n, snapshot);
        from = WordsFrom::WholeFile;
    } catch (const EInOutError& failure) {
        error = std::current_exception();
        if (failure.Code() == FileCode::kReadBeyondEnd)
            from = WordsFrom::IncompleteLastWord;
    } catch (...) {
        error = std::current_exception();
    }
    // Set after the read: its own posts are nobody's typing.
    from_ = from;
    fileName_ = fileName;
    length_ = n;
    loadError_ = from == WordsFrom::FailedRead ? error : nullptr;
    loadedCount_ = table.CountRecords();
    typed_ = false;
    loaded_ = from == WordsFrom::FailedRead ? WordFileSnapshot{} : std::move(snapshot);
    if (error)
        std::rethrow_exception(error);
}

void WordsOrigin::LoadMissing(const std::string& fileName, int n) {
    from_ = WordsFrom::MissingFile;
    fileName_ = fileName;
    length_ = n;
    loadError_ = nullptr;
    loadedCount_ = 0;
    typed_ = false;
    loaded_ = WordFileSnapshot{};  // no file: a file made meanwhile is another writer's
}

bool WordsOrigin::HasWordsToSave(const WordTable& table) const {
    switch (from_) {
        case WordsFrom::WholeFile:
        case WordsFrom::IncompleteLastWord:
            return true;
        case WordsFrom::FailedRead:
            // A deletion posts nothing, but it changes the count.
            return typed_ || table.CountRecords() != loadedCount_;
        case WordsFrom::Nothing:
        case WordsFrom::MissingFile:
            break;
    }
    return !table.TableEmpty();
}

void WordsOrigin::Save(WordTable& table) {
    if (from_ == WordsFrom::FailedRead && loadError_)
        std::rethrow_exception(loadError_);
    if (fileName_.empty())
        throw std::logic_error("no word file was loaded");
    for (int round = 0;; ++round) {
        if (StampOf(fileName_) != loaded_.Stamp)
            Merge(table);
        WordFileSnapshot written;
        if (WriteWordFileIfUnchanged(table, fileName_, length_, loaded_.Stamp, written)) {
            loaded_ = std::move(written);
            from_ = WordsFrom::WholeFile;
            loadedCount_ = table.CountRecords();
            typed_ = false;
            return;
        }
        if (round == kMergeRounds)
            throw EInOutError(FileErrorCode(EBUSY, fileName_));
    }
}

// Refills the table with the file's words now plus what changed here since the load, and
// takes the file as it is now for the load, so that a second merge counts nothing twice.
void WordsOrigin::Merge(WordTable& table) {
    WordFileSnapshot now;
    ReadWordSnapshot(fileName_, length_, now);
    std::vector<std::uint64_t> mine = PackedWords(table, length_);
    std::vector<std::uint64_t> merged =
        MergeChanges(std::move(loaded_.Words), now.Words, std::move(mine));
    loaded_ = std::move(now);
    table.CloseTable();
    table.OpenTable();
    for (const std::uint64_t word : merged) {
        table.BeginInsert();
        table.SetWordText(UnpackWord(word, length_));
        table.PostRecord();
    }
    table.SortBy("szo");
}

}  // namespace kormoszi
