#pragma once
// A sequence of 32-bit record numbers that stays cheap to change in the middle at a
// million entries: blocks of at most kMaxBlock entries, with the index of each block's
// first entry kept alongside, so access, insert and erase cost O(log n + block).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kormoszi {

class BlockList {
  public:
    static constexpr std::size_t kMaxBlock = 2048;

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    std::uint32_t operator[](std::size_t i) const {
        auto [b, o] = Locate(i);
        return blocks_[b][o];
    }

    void clear() {
        blocks_.clear();
        starts_.clear();
        size_ = 0;
    }

    // Replaces the content with values, in order.
    template <class Values>
    void assign(const Values& values) {
        clear();
        for (std::size_t i = 0; i < values.size(); i += kMaxBlock / 2) {
            std::size_t end = std::min(values.size(), i + kMaxBlock / 2);
            starts_.push_back(i);
            blocks_.emplace_back(values.begin() + static_cast<std::ptrdiff_t>(i),
                                 values.begin() + static_cast<std::ptrdiff_t>(end));
        }
        size_ = values.size();
    }

    void push_back(std::uint32_t v) {
        if (blocks_.empty() || blocks_.back().size() >= kMaxBlock) {
            starts_.push_back(size_);
            blocks_.emplace_back();
            blocks_.back().reserve(kMaxBlock);
        }
        blocks_.back().push_back(v);
        ++size_;
    }

    void insert(std::size_t i, std::uint32_t v) {
        if (i >= size_) {
            push_back(v);
            return;
        }
        auto [b, o] = Locate(i);
        auto& block = blocks_[b];
        block.insert(block.begin() + static_cast<std::ptrdiff_t>(o), v);
        ++size_;
        for (std::size_t k = b + 1; k < starts_.size(); ++k)
            ++starts_[k];
        if (block.size() > kMaxBlock)
            Split(b);
    }

    void erase(std::size_t i) {
        auto [b, o] = Locate(i);
        auto& block = blocks_[b];
        block.erase(block.begin() + static_cast<std::ptrdiff_t>(o));
        --size_;
        for (std::size_t k = b + 1; k < starts_.size(); ++k)
            --starts_[k];
        if (block.empty()) {
            blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(b));
            starts_.erase(starts_.begin() + static_cast<std::ptrdiff_t>(b));
        }
    }

    // The first index whose entry is not "before" (before(entry) is true for a prefix of
    // the sequence and false for the rest), or size() when every entry is before.
    template <class Before>
    std::size_t PartitionPoint(Before before) const {
        // The last block whose first entry is before holds the boundary.
        auto firstNotBefore = std::partition_point(
            blocks_.begin(), blocks_.end(),
            [&](const std::vector<std::uint32_t>& block) { return before(block.front()); });
        if (firstNotBefore == blocks_.begin())
            return 0;
        std::size_t b = static_cast<std::size_t>(firstNotBefore - blocks_.begin()) - 1;
        const auto& block = blocks_[b];
        auto it = std::partition_point(block.begin(), block.end(), before);
        return starts_[b] + static_cast<std::size_t>(it - block.begin());
    }

    // Calls f(entry) for indices [from, size()) until f returns false; returns the index
    // at which it stopped, or size().
    template <class F>
    std::size_t ForEachFrom(std::size_t from, F f) const {
        if (from >= size_)
            return size_;
        auto [b, o] = Locate(from);
        std::size_t i = from;
        for (; b < blocks_.size(); ++b, o = 0) {
            const auto& block = blocks_[b];
            for (; o < block.size(); ++o, ++i) {
                if (!f(block[o]))
                    return i;
            }
        }
        return size_;
    }

    std::vector<std::uint32_t> ToVector() const {
        std::vector<std::uint32_t> out;
        out.reserve(size_);
        for (const auto& block : blocks_)
            out.insert(out.end(), block.begin(), block.end());
        return out;
    }

  private:
    // Walks through the list (the cursor, a save) touch one block after another, so the
    // block of the last lookup is tried before searching.
    std::pair<std::size_t, std::size_t> Locate(std::size_t i) const {
        for (std::size_t b = lastBlock_; b < starts_.size() && b <= lastBlock_ + 1; ++b) {
            if (i >= starts_[b] && i - starts_[b] < blocks_[b].size()) {
                lastBlock_ = b;
                return {b, i - starts_[b]};
            }
        }
        auto it = std::upper_bound(starts_.begin(), starts_.end(), i);
        std::size_t b = static_cast<std::size_t>(it - starts_.begin()) - 1;
        lastBlock_ = b;
        return {b, i - starts_[b]};
    }

    void Split(std::size_t b) {
        auto& block = blocks_[b];
        std::size_t half = block.size() / 2;
        std::vector<std::uint32_t> tail(block.begin() + static_cast<std::ptrdiff_t>(half),
                                        block.end());
        block.resize(half);
        blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(b) + 1, std::move(tail));
        starts_.insert(starts_.begin() + static_cast<std::ptrdiff_t>(b) + 1, starts_[b] + half);
    }

    std::vector<std::vector<std::uint32_t>> blocks_;
    std::vector<std::size_t> starts_;
    std::size_t size_ = 0;
    mutable std::size_t lastBlock_ = 0;
};

}  // namespace kormoszi
