#include "words/fast_sort_key.h"

#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>
#include <unicode/uset.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <system_error>
#include <thread>

#include "words/byte_order.h"
#include "words/windows_1250.h"

namespace kormoszi {

// A collation element as the collator compares it at tertiary strength without case level
// or case-first: primary, secondary and the tertiary weight without its case bits.
struct CollationElement {
    std::uint32_t weight[3];
};

namespace {

using Element = CollationElement;

// The collator's common secondary and tertiary weight: what nearly every letter carries.
constexpr std::uint32_t kCommonWeight = 0x0500;

// The collation elements of a text. The iterator hands each element out in two 32-bit
// halves, the second marked by 0xC0 in its low byte; they are joined again here.
bool ElementsOf(const UCollator* collator, const std::u16string& text, std::vector<Element>& out) {
    out.clear();
    UErrorCode status = U_ZERO_ERROR;
    UCollationElements* it =
        ucol_openElements(collator, reinterpret_cast<const UChar*>(text.data()),
                          static_cast<std::int32_t>(text.size()), &status);
    if (U_FAILURE(status))
        return false;
    bool ok = true, joinable = false;
    for (;;) {
        std::int32_t next = ucol_next(it, &status);
        if (U_FAILURE(status)) {
            ok = false;
            break;
        }
        if (next == UCOL_NULLORDER)
            break;
        auto half = static_cast<std::uint32_t>(next);
        if ((half & 0xC0u) == 0xC0u) {
            if (!joinable) {
                ok = false;
                break;
            }
            Element& e = out.back();
            e.weight[0] |= half >> 16;
            e.weight[1] |= (half >> 8) & 0xFFu;
            e.weight[2] |= half & 0x3Fu;
            joinable = false;
        } else {
            out.push_back({{half & 0xFFFF0000u, half & 0xFF00u, (half & 0x3Fu) << 8}});
            joinable = true;
        }
    }
    ucol_closeElements(it);
    return ok;
}

// Only these settings make the collator's comparison a plain level-by-level comparison of
// the weights in text order, which is all a table of ranks can reproduce: no backwards
// secondaries, no case level or case ordering on top of the tertiary weights, no shifted
// punctuation, no digit runs read as numbers, no script reordering, no normalization.
bool SettingsExpressible(const UCollator* collator) {
    UErrorCode status = U_ZERO_ERROR;
    auto is = [&](UColAttribute attribute, UColAttributeValue value) {
        return ucol_getAttribute(collator, attribute, &status) == value && U_SUCCESS(status);
    };
    if (!is(UCOL_STRENGTH, UCOL_TERTIARY) || !is(UCOL_FRENCH_COLLATION, UCOL_OFF) ||
        !is(UCOL_CASE_LEVEL, UCOL_OFF) || !is(UCOL_CASE_FIRST, UCOL_OFF) ||
        !is(UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE) ||
        !is(UCOL_NORMALIZATION_MODE, UCOL_OFF) || !is(UCOL_NUMERIC_COLLATION, UCOL_OFF))
        return false;
    UErrorCode reorderStatus = U_ZERO_ERROR;
    std::int32_t reordered = ucol_getReorderCodes(collator, nullptr, 0, &reorderStatus);
    return reordered == 0 && (U_SUCCESS(reorderStatus) || reorderStatus == U_BUFFER_OVERFLOW_ERROR);
}

// Every byte string whose units form a string the collator maps as a whole (contractions,
// and context mappings, which are taken the same way and left to the check to vouch for).
// Empty with ok false when the set cannot be had.
std::vector<std::string> ContractionWords(const UCollator* collator, const char16_t (&unicode)[256],
                                          bool& ok) {
    std::map<char16_t, std::vector<unsigned char>> bytesOf;
    for (int b = 1; b < 256; ++b)
        bytesOf[unicode[b]].push_back(static_cast<unsigned char>(b));

    std::vector<std::string> words;
    UErrorCode status = U_ZERO_ERROR;
    USet* set = uset_openEmpty();
    ucol_getContractionsAndExpansions(collator, set, nullptr, true, &status);
    ok = U_SUCCESS(status);
    std::int32_t items = ok ? uset_getItemCount(set) : 0;
    for (std::int32_t i = 0; i < items && ok; ++i) {
        UChar32 start, end;
        UChar text[64];
        status = U_ZERO_ERROR;
        std::int32_t length = uset_getItem(set, i, &start, &end, text, 64, &status);
        if (U_FAILURE(status)) {
            ok = false;
            break;
        }
        // Every unit must be a byte of the code page; a string with others never occurs.
        std::vector<std::string> spelled{""};
        for (std::int32_t k = 0; k < length && !spelled.empty(); ++k) {
            auto found = bytesOf.find(static_cast<char16_t>(text[k]));
            std::vector<std::string> longer;
            if (found != bytesOf.end())
                for (const auto& prefix : spelled)
                    for (unsigned char b : found->second)
                        longer.push_back(prefix + static_cast<char>(b));
            spelled = std::move(longer);
        }
        if (length >= 2)
            words.insert(words.end(), spelled.begin(), spelled.end());
    }
    uset_close(set);
    std::sort(words.begin(), words.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    words.erase(std::unique(words.begin(), words.end()), words.end());
    return words;
}

std::u16string Units(std::string_view word, const char16_t (&unicode)[256]) {
    return WordToUnits(word, unicode);
}

// The elements of every unit: unit 0 is the empty one, then the 255 bytes, then the
// contractions; and how many bytes each unit spans.
bool UnitElements(const UCollator* collator, const char16_t (&unicode)[256],
                  const std::vector<std::string>& contractions,
                  std::vector<std::vector<Element>>& elements,
                  std::vector<std::size_t>& unitLength) {
    elements.assign(1 + 255 + contractions.size(), {});
    unitLength.assign(elements.size(), 1);
    for (std::size_t b = 1; b < 256; ++b)
        if (!ElementsOf(collator, std::u16string(1, unicode[b]), elements[b]))
            return false;
    for (std::size_t i = 0; i < contractions.size(); ++i) {
        unitLength[256 + i] = contractions[i].size();
        if (!ElementsOf(collator, Units(contractions[i], unicode), elements[256 + i]))
            return false;
    }
    return true;
}

// The distinct weights that the units carry on one level.
std::set<std::uint32_t> WeightsOf(const std::vector<std::vector<Element>>& elements, int level) {
    std::set<std::uint32_t> weights;
    for (const auto& unit : elements)
        for (const Element& e : unit)
            if (e.weight[level] != 0)
                weights.insert(e.weight[level]);
    return weights;
}

// A key's first sixteen bytes as two numbers, and the word it belongs to.
struct KeyItem {
    std::uint64_t high, low;
    std::uint32_t index;
};

// Spreads the items by their first key byte, so that each part can be sorted alone: the
// sort's work shrinks by half. Returns where each part starts, and the end.
std::vector<std::size_t> SpreadByFirstByte(std::vector<KeyItem>& items) {
    std::vector<std::size_t> bucketStart(257, 0);
    for (const KeyItem& item : items)
        ++bucketStart[(item.high >> 56) + 1];
    for (std::size_t b = 1; b <= 256; ++b)
        bucketStart[b] += bucketStart[b - 1];
    std::vector<KeyItem> spread(items.size());
    std::vector<std::size_t> next(bucketStart.begin(), bucketStart.end() - 1);
    for (const KeyItem& item : items)
        spread[next[item.high >> 56]++] = item;
    items.swap(spread);
    return bucketStart;
}

}  // namespace

// Ranks each level's weights. Primaries take 2..255; the other levels fold runs of the
// common weight, so their codes leave room for the run lengths between the weights below
// and above the common one.
bool FastSortKey::RankWeights(const std::vector<std::vector<Element>>& elements,
                              std::map<std::uint32_t, std::uint8_t> (&codeOf)[3]) {
    for (int level = 0; level < 3; ++level) {
        std::set<std::uint32_t> weights = WeightsOf(elements, level);
        if (level == 0) {
            if (weights.size() > 254)
                return false;
            int code = 2;
            for (std::uint32_t w : weights)
                codeOf[0][w] = static_cast<std::uint8_t>(code++);
            continue;
        }
        if (!weights.contains(kCommonWeight))
            return false;
        auto below = static_cast<int>(std::distance(weights.begin(), weights.find(kCommonWeight)));
        int above = static_cast<int>(weights.size()) - below - 1;
        int maxRun = (253 - below - above) / 2;
        if (maxRun < 1)
            return false;
        Fold& fold = fold_[level];
        fold.maxRun = static_cast<std::uint8_t>(maxRun);
        fold.below = static_cast<std::uint8_t>(2 + below);
        fold.lowRun = fold.below;
        fold.full = static_cast<std::uint8_t>(fold.lowRun + maxRun);
        fold.highRun = static_cast<std::uint8_t>(fold.full + maxRun);
        int code = 2;
        for (std::uint32_t w : weights) {
            if (w == kCommonWeight) {
                codeOf[level][w] = kCommon;
                code = fold.highRun + 1;
            } else {
                codeOf[level][w] = static_cast<std::uint8_t>(code++);
            }
        }
    }
    return true;
}

// The contractions as a trie over bytes, read longest match first, as the collator does.
bool FastSortKey::BuildContractionTrie(const std::vector<std::string>& contractions) {
    std::vector<std::map<std::uint8_t, std::uint16_t>> children(1);
    std::vector<std::int16_t> ending(1, -1);
    std::uint16_t roots[256] = {};
    for (std::size_t i = 0; i < contractions.size(); ++i) {
        std::uint16_t* at = &roots[static_cast<unsigned char>(contractions[i][0])];
        for (std::size_t k = 1;; ++k) {
            if (*at == 0) {
                if (children.size() >= 0x7FFF)
                    return false;
                *at = static_cast<std::uint16_t>(children.size());
                children.emplace_back();
                ending.push_back(-1);
            }
            if (k == contractions[i].size())
                break;
            at = &children[*at][static_cast<std::uint8_t>(contractions[i][k])];
        }
        ending[*at] = static_cast<std::int16_t>(256 + i);
    }
    nodes_.resize(children.size());
    for (std::size_t n = 0; n < children.size(); ++n) {
        if (children[n].size() > 255)
            return false;
        Node& node = nodes_[n];
        node.unit = ending[n];
        node.firstEdge = static_cast<std::uint16_t>(edges_.size());
        node.edgeCount = static_cast<std::uint8_t>(children[n].size());
        for (const auto& [byte, child] : children[n])
            edges_.push_back({byte, child});
    }
    steps_.assign(256, 0);
    for (int b = 0; b < 256; ++b) {
        if (roots[b] == 0)
            continue;
        firstStep_[b] = static_cast<std::uint16_t>(steps_.size() / 256);
        std::size_t row = steps_.size();
        steps_.resize(row + 256, 0);
        for (const auto& [byte, child] : children[roots[b]])
            steps_[row + byte] = child;
    }
    return true;
}

std::shared_ptr<const FastSortKey> FastSortKey::Derive(const UCollator* collator,
                                                       const char16_t (&unicode)[256]) {
    if (collator == nullptr || !SettingsExpressible(collator))
        return nullptr;
    bool ok = false;
    std::vector<std::string> contractions = ContractionWords(collator, unicode, ok);
    if (!ok || contractions.size() > 0x7FFF - 256)  // units are numbered in 15 bits
        return nullptr;
    std::vector<std::vector<Element>> elements;
    std::vector<std::size_t> unitLength;
    if (!UnitElements(collator, unicode, contractions, elements, unitLength))
        return nullptr;

    auto key = std::shared_ptr<FastSortKey>(new FastSortKey);
    key->contractionWords_ = contractions;

    std::map<std::uint32_t, std::uint8_t> codeOf[3];
    if (!key->RankWeights(elements, codeOf))
        return nullptr;

    std::size_t most = 1;
    key->units_.resize(elements.size());
    for (std::size_t u = 0; u < elements.size(); ++u) {
        Unit& unit = key->units_[u];
        for (const Element& e : elements[u]) {
            for (int level = 0; level < 3; ++level) {
                if (e.weight[level] == 0)
                    continue;
                if (unit.count[level] == kMaxWeights)
                    return nullptr;
                unit.weight[level][unit.count[level]++] = codeOf[level][e.weight[level]];
            }
        }
        for (int level = 0; level < 3; ++level)
            most = std::max(most, (unit.count[level] + unitLength[u] - 1) / unitLength[u]);
        unit.plain = unit.count[0] == 1 && unit.count[1] == 1 && unit.count[2] == 1 &&
                     unit.weight[1][0] == kCommon && unit.weight[2][0] == kCommon;
    }
    key->maxPerByte_ = most;

    if (!key->BuildContractionTrie(contractions))
        return nullptr;
    if (!key->PassesStartupCheck(collator, unicode))
        return nullptr;
    return key;
}

// Any disagreement means the collator does something these tables do not capture, and its
// own keys are used instead. The collator's half of the work, a comparison of every pair
// of neighbours, is shared with a second thread that has a copy of the collator.
bool FastSortKey::PassesStartupCheck(const UCollator* collator,
                                     const char16_t (&unicode)[256]) const {
    std::vector<std::string> words = StartupWords();
    std::vector<std::uint32_t> order;
    std::vector<bool> equalToNext;
    OrderByKey(words, order, equalToNext);

    auto check = [&](const UCollator* with, std::size_t from, std::size_t to) {
        UChar a[32], b[32];
        for (std::size_t i = from; i < to; ++i) {
            const std::string& x = words[order[i]];
            const std::string& y = words[order[i + 1]];
            if (x.size() > std::size(a) || y.size() > std::size(b))
                return false;  // none is that long
            std::int32_t na = 0, nb = 0;
            for (char c : x)
                a[na++] = unicode[static_cast<unsigned char>(c)];
            for (char c : y)
                b[nb++] = unicode[static_cast<unsigned char>(c)];
            UCollationResult r = ucol_strcoll(with, a, na, b, nb);
            if (r != (equalToNext[i] ? UCOL_EQUAL : UCOL_LESS))
                return false;
        }
        return true;
    };
    // Nothing in check throws: it neither allocates nor calls anything that does.
    std::size_t pairs = words.size() - 1, half = pairs / 2;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UCollator, void (*)(UCollator*)> copy(ucol_clone(collator, &status),
                                                          ucol_close);
    bool secondHalf = false;
    std::thread helper;
    if (U_SUCCESS(status) && copy) {
        try {
            helper = std::thread([&] { secondHalf = check(copy.get(), half, pairs); });
        } catch (const std::system_error&) {
            // No second thread to be had: the first does it all.
        }
    }
    if (!helper.joinable())
        return check(collator, 0, pairs);
    bool firstHalf = check(collator, 0, half);
    helper.join();
    return firstHalf && secondHalf;
}

std::vector<std::string> FastSortKey::StartupWords() const {
    std::vector<std::string> words;
    words.reserve(70000 + contractionWords_.size() * 80);
    words.emplace_back();
    for (int a = 1; a < 256; ++a)
        words.emplace_back(1, static_cast<char>(a));
    // Pairs of bytes; but of the completely ignorable bytes (controls, the soft hyphen, the
    // undefined bytes), in a quarter of all pairs, two stand for all unless a contraction
    // holds them.
    std::string inContractions;
    for (const std::string& c : contractionWords_)
        inContractions += c;
    std::string bytes;
    int ignorable = 0;
    for (std::size_t b = 1; b < 256; ++b) {
        const Unit& unit = units_[b];
        bool nothing = unit.count[0] + unit.count[1] + unit.count[2] == 0 &&
                       inContractions.find(static_cast<char>(b)) == std::string::npos;
        if (!nothing || ignorable++ < 2)
            bytes += static_cast<char>(b);
    }
    for (char a : bytes)
        for (char b : bytes)
            words.push_back({a, b});

    // Each contraction between the bytes that contractions are made of, a few letters and
    // an ignorable byte, which must not join or split them.
    std::string around = "aeAE-\x20\xAD";
    for (const std::string& c : contractionWords_)
        for (char b : c)
            if (around.find(b) == std::string::npos)
                around += b;
    for (const std::string& c : contractionWords_) {
        words.push_back(c);
        for (char b : around) {
            words.push_back(b + c);
            words.push_back(c + b);
        }
    }
    std::mt19937 rng(1250);
    for (int i = 0; i < 4000; ++i) {
        std::string w;
        auto n = 3 + rng() % 5;
        while (w.size() < n)
            w += rng() % 4 == 0 ? contractionWords_.empty()
                                      ? std::string(1, around[rng() % around.size()])
                                      : contractionWords_[rng() % contractionWords_.size()]
                                : std::string(1, around[rng() % around.size()]);
        words.push_back(w);
    }
    return words;
}

// One folded level being written. A run of k common weights becomes one code whose value
// tells how the level goes on after it: before a lower weight or the level's end a longer
// run sorts higher, before a higher weight a longer run sorts lower, which is exactly how
// the unfolded weights compare.
class FastSortKey::LevelWriter {
  public:
    LevelWriter(const Fold& fold, std::uint8_t* out) : fold_(fold), out_(out) {}

    void AddCommon() { ++run_; }

    void Add(const Unit& unit, int level) {
        for (int k = 0; k < unit.count[level]; ++k) {
            std::uint8_t w = unit.weight[level][k];
            if (w == kCommon) {
                ++run_;
                continue;
            }
            if (run_ != 0)
                Flush(w < fold_.below);
            *out_++ = w;
        }
    }

    std::uint8_t* Finish() {
        if (run_ != 0)
            Flush(true);
        return out_;
    }

  private:
    void Flush(bool lowerFollows) {
        for (; run_ > fold_.maxRun; run_ -= fold_.maxRun)
            *out_++ = fold_.full;
        *out_++ = static_cast<std::uint8_t>(lowerFollows ? fold_.lowRun + run_ - 1
                                                         : fold_.highRun - (run_ - 1));
        run_ = 0;
    }

    const Fold& fold_;
    std::uint8_t* out_;
    std::size_t run_ = 0;
};

// The unit that starts at bytes[i]: the longest contraction there, else the byte alone;
// sets length to the bytes it spans.
std::size_t FastSortKey::UnitAt(const unsigned char* bytes, std::size_t i, std::size_t n,
                                std::size_t& length) const {
    unsigned char b = bytes[i];
    std::size_t unit = b;
    length = 1;
    unsigned char second = i + 1 < n ? bytes[i + 1] : 0;
    std::uint16_t node = steps_[firstStep_[b] * 256u + second];
    if (node == 0)
        return unit;
    for (std::size_t j = i + 1;;) {
        const Node& at = nodes_[node];
        if (at.unit >= 0) {
            unit = static_cast<std::size_t>(at.unit);
            length = j + 1 - i;
        }
        if (++j == n)
            return unit;
        const Edge* edge = edges_.data() + at.firstEdge;
        const Edge* last = edge + at.edgeCount;
        while (edge != last && edge->byte != bytes[j])
            ++edge;
        if (edge == last)
            return unit;
        node = edge->node;
    }
}

std::size_t FastSortKey::Append(std::string_view word, std::vector<std::uint8_t>& out) const {
    auto bytes = reinterpret_cast<const unsigned char*>(word.data());
    std::size_t n = word.size();

    // The key is written in place, the primaries 8 bytes at a time; the units are kept for
    // the other two levels, which follow the primaries.
    std::uint16_t unitSpace[64];
    std::vector<std::uint16_t> unitHeap;
    std::uint16_t* units = unitSpace;
    if (n > std::size(unitSpace)) {
        unitHeap.resize(n);
        units = unitHeap.data();
    }
    std::size_t start = out.size();
    out.resize(start + 3 * n * maxPerByte_ + 2 + kMaxWeights);
    std::uint8_t* key = out.data() + start;
    std::uint8_t* p = key;
    std::size_t count = 0;
    bool plain = true;

    for (std::size_t i = 0; i < n;) {
        unsigned char b = bytes[i];
        if (b == 0)
            break;
        std::size_t length = 1;
        std::size_t unit = UnitAt(bytes, i, n, length);
        const Unit& u = units_[unit];
        std::memcpy(p, u.weight[0], kMaxWeights);
        p += u.count[0];
        plain &= u.plain;
        units[count++] = static_cast<std::uint16_t>(unit);
        i += length;
    }

    for (int level = 1; level < 3; ++level) {
        *p++ = kSeparator;
        LevelWriter writer(fold_[level], p);
        if (plain) {
            // One common weight per unit: the whole level is one run.
            for (std::size_t i = 0; i < count; ++i)
                writer.AddCommon();
        } else {
            for (std::size_t i = 0; i < count; ++i)
                writer.Add(units_[units[i]], level);
        }
        p = writer.Finish();
    }
    auto length = static_cast<std::size_t>(p - key);
    out.resize(start + length);
    return length;
}

void FastSortKey::OrderByKey(const std::vector<std::string>& words,
                             std::vector<std::uint32_t>& order,
                             std::vector<bool>& equalToNext) const {
    std::vector<std::uint8_t> keys;
    std::vector<std::size_t> starts;
    keys.reserve(words.size() * 12);
    starts.reserve(words.size() + 1);
    for (const std::string& w : words) {
        starts.push_back(keys.size());
        Append(w, keys);
    }
    starts.push_back(keys.size());

    // The first sixteen key bytes as two numbers settle nearly every comparison of the sort
    // (no key byte is 0, so the padding sorts a shorter key first, as memcmp and length do).
    std::vector<KeyItem> items(words.size());
    for (std::size_t i = 0; i < words.size(); ++i) {
        std::uint64_t part[2] = {0, 0};
        for (std::size_t k = 0; k < 16; ++k) {
            std::size_t at = starts[i] + k;
            part[k / 8] = (part[k / 8] << 8) | (at < starts[i + 1] ? keys[at] : 0u);
        }
        items[i] = {part[0], part[1], static_cast<std::uint32_t>(i)};
    }
    auto compare = [&](std::uint32_t a, std::uint32_t b) {
        return CompareBytes(keys.data() + starts[a], starts[a + 1] - starts[a],
                            keys.data() + starts[b], starts[b + 1] - starts[b]);
    };
    auto less = [&](const KeyItem& a, const KeyItem& b) {
        if (a.high != b.high)
            return a.high < b.high;
        if (a.low != b.low)
            return a.low < b.low;
        bool longer = starts[a.index + 1] - starts[a.index] > 16 ||
                      starts[b.index + 1] - starts[b.index] > 16;
        return longer && compare(a.index, b.index) < 0;
    };
    std::vector<std::size_t> bucketStart = SpreadByFirstByte(items);
    for (std::size_t b = 0; b < 256; ++b)
        std::sort(items.begin() + static_cast<std::ptrdiff_t>(bucketStart[b]),
                  items.begin() + static_cast<std::ptrdiff_t>(bucketStart[b + 1]), less);

    order.resize(items.size());
    equalToNext.assign(items.size(), false);
    for (std::size_t i = 0; i < items.size(); ++i) {
        order[i] = items[i].index;
        if (i > 0)
            equalToNext[i - 1] = compare(order[i - 1], order[i]) == 0;
    }
}

std::vector<std::pair<std::string, std::string>> FastSortKey::Disagreements(
    const std::vector<std::string>& words, const Verdict& compare, std::size_t limit) const {
    std::vector<std::uint32_t> order;
    std::vector<bool> equalToNext;
    OrderByKey(words, order, equalToNext);
    std::vector<std::pair<std::string, std::string>> found;
    for (std::size_t i = 0; i + 1 < order.size() && found.size() < limit; ++i) {
        const std::string& a = words[order[i]];
        const std::string& b = words[order[i + 1]];
        int verdict = compare(a, b);
        if ((verdict < 0 ? -1 : verdict > 0 ? 1 : 0) != (equalToNext[i] ? 0 : -1))
            found.emplace_back(a, b);
    }
    return found;
}

}  // namespace kormoszi
