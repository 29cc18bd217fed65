#pragma once
// Sort keys of our own for Windows-1250 words: a few table lookups per byte instead of the
// collator's general machinery, in exactly the collator's order. The tables are ranked from
// the collator's own collation elements once and checked against the collator; afterwards
// they never change, so any number of threads may share them.
//
//   key = primary weights, 01, secondary weights, 01, tertiary weights
//
// one byte per weight, each weight ranked among the weights the code page can reach, runs
// of the common secondary or tertiary weight folded into one byte.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct UCollator;

namespace kormoszi {

struct CollationElement;  // the collator's weights of one element

class FastSortKey {
  public:
    // Derives the tables from the collator (tertiary strength, normalization off) and the 256
    // UTF-16 units the code page's bytes stand for. nullptr when the collator's settings or
    // data are beyond what the tables express, or when the keys disagree with the collator
    // on the start-up check: every string of one or two bytes (two of the completely
    // ignorable bytes standing for all of them), every contraction in context, and a few
    // thousand random words. The collator must not change meanwhile. About 35 ms, a sixth
    // of it on a second thread.
    static std::shared_ptr<const FastSortKey> Derive(const UCollator* collator,
                                                     const char16_t (&unicode)[256]);

    // Appends the key of word, which ends at its first NUL, and returns its length. memcmp
    // of two keys, the shorter first on a tie, is the collator's order; words the collator
    // calls equal get equal keys. Never throws but bad_alloc; O(length).
    std::size_t Append(std::string_view word, std::vector<std::uint8_t>& out) const;

    // The collator's verdict on two words: negative, 0 or positive.
    using Verdict = std::function<int(std::string_view, std::string_view)>;

    // Sorts words by key and asks compare about every pair of neighbours: with a collator
    // whose order is a total preorder, no disagreement there means none between any two of
    // the words. Returns up to limit pairs (lower key first) on which the two disagree.
    std::vector<std::pair<std::string, std::string>> Disagreements(
        const std::vector<std::string>& words, const Verdict& compare, std::size_t limit) const;

    // The byte strings the collator treats as one unit (cs, ddzs, l·...), shortest first.
    const std::vector<std::string>& Contractions() const { return contractionWords_; }

  private:
    static constexpr int kMaxWeights = 8;  // per level and unit

    // What one byte or contraction adds to each level, as key bytes; kCommon stands for the
    // common weight. plain: one weight on each level, the common one on the second and
    // third, as most letters have.
    struct alignas(32) Unit {
        std::uint8_t weight[3][kMaxWeights] = {};
        std::uint8_t count[3] = {};
        bool plain = false;
    };
    // Contractions as a trie over bytes. The first step goes through a table of 256 entries
    // per byte that starts contractions (and one row of nothing for all other bytes), as
    // nearly every byte, and nearly every byte after c, s, z..., ends the walk there.
    struct Node {
        std::int16_t unit = -1;  // the contraction ending here, -1 for none
        std::uint16_t firstEdge = 0;
        std::uint8_t edgeCount = 0;
    };
    struct Edge {
        std::uint8_t byte;
        std::uint16_t node;
    };
    // Folding runs of the common weight of one level: below < low runs < full < high runs.
    struct Fold {
        std::uint8_t below = 0;    // codes under this are weights below the common one
        std::uint8_t lowRun = 0;   // run of k before a lower weight or the end: lowRun + k - 1
        std::uint8_t full = 0;     // maxRun commons that more commons follow
        std::uint8_t highRun = 0;  // run of k before a higher weight: highRun - (k - 1)
        std::uint8_t maxRun = 0;
    };
    class LevelWriter;
    static constexpr std::uint8_t kCommon = 0, kSeparator = 1;

    FastSortKey() = default;
    // The steps of Derive; each false when the collator's data are beyond the tables.
    bool RankWeights(const std::vector<std::vector<CollationElement>>& elements,
                     std::map<std::uint32_t, std::uint8_t> (&codeOf)[3]);
    bool BuildContractionTrie(const std::vector<std::string>& contractions);
    std::size_t UnitAt(const unsigned char* bytes, std::size_t i, std::size_t n,
                       std::size_t& length) const;
    std::vector<std::string> StartupWords() const;
    bool PassesStartupCheck(const UCollator* collator, const char16_t (&unicode)[256]) const;
    // The indices of words in key order, and for each pair of neighbours whether their
    // keys are equal.
    void OrderByKey(const std::vector<std::string>& words, std::vector<std::uint32_t>& order,
                    std::vector<bool>& equalToNext) const;

    std::vector<Unit> units_;            // [0] empty, [b] byte b alone, then the contractions
    std::uint16_t firstStep_[256] = {};  // row in steps_, 0 (all nodes 0) for most bytes
    std::vector<std::uint16_t> steps_;   // rows of 256: node after the second byte, 0: none
    std::vector<Node> nodes_;            // nodes_[0] is unused
    std::vector<Edge> edges_;
    Fold fold_[3];                // [0] unused: primaries are not folded
    std::size_t maxPerByte_ = 1;  // most weights one input byte can add on any level
    std::vector<std::string> contractionWords_;
};

}  // namespace kormoszi
