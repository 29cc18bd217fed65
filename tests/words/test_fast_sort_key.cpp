#include <gtest/gtest.h>
#include <unicode/ucol.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "words/fast_sort_key.h"
#include "words/word_collation.h"
#include "words/word_table.h"

namespace kormoszi {
namespace {

using Words = std::vector<std::string>;
using KeyOf = std::function<std::string(const std::string&)>;
using CompareFn = std::function<int(const std::string&, const std::string&)>;

std::string Bytes(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes)
        s += static_cast<char>(b);
    return s;
}

// Dense ranks of the words under the order of their keys: equal keys, equal rank.
std::vector<std::size_t> Ranks(const Words& words, const KeyOf& keyOf) {
    std::vector<std::string> keys(words.size());
    std::transform(words.begin(), words.end(), keys.begin(), keyOf);
    std::vector<std::size_t> order(words.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
    std::vector<std::size_t> rank(words.size());
    for (std::size_t i = 0, r = 0; i < order.size(); ++i) {
        if (i > 0 && keys[order[i]] != keys[order[i - 1]])
            ++r;
        rank[order[i]] = r;
    }
    return rank;
}

// Our keys must order the words exactly as the collator does: each pair of neighbours in
// our key order as the collator compares it, and every word's rank as under its own keys.
void ExpectCollatorOrder(const Words& words, const KeyOf& ours, const KeyOf& theirs,
                         const CompareFn& compare) {
    std::vector<std::size_t> rank = Ranks(words, ours), icuRank = Ranks(words, theirs);
    std::vector<std::size_t> byRank(words.size());
    for (std::size_t i = 0; i < words.size(); ++i)
        byRank[i] = i;
    std::sort(byRank.begin(), byRank.end(),
              [&](std::size_t a, std::size_t b) { return rank[a] < rank[b]; });
    int failures = 0;
    for (std::size_t i = 0; i + 1 < byRank.size() && failures < 5; ++i) {
        const std::string &a = words[byRank[i]], &b = words[byRank[i + 1]];
        int expected = rank[byRank[i]] == rank[byRank[i + 1]] ? 0 : -1;
        int got = compare(a, b);
        if ((got < 0 ? -1 : got > 0 ? 1 : 0) != expected) {
            ADD_FAILURE() << "neighbours '" << a << "' '" << b << "': keys say " << expected;
            ++failures;
        }
    }
    for (std::size_t i = 0; i < words.size() && failures < 5; ++i) {
        if (rank[i] != icuRank[i]) {
            ADD_FAILURE() << "'" << words[i] << "' ranks " << rank[i] << ", by the collator's keys "
                          << icuRank[i];
            ++failures;
        }
    }
}

void ExpectHungarianOrder(const WordCollation& c, const Words& words) {
    std::vector<std::uint8_t> key;
    auto keyOf = [&](bool own) {
        return [&c, &key, own](const std::string& w) {
            key.clear();
            own ? c.AppendSortKey(w, key) : c.AppendIcuSortKey(w, key);
            return std::string(key.begin(), key.end());
        };
    };
    ExpectCollatorOrder(
        words, keyOf(true), keyOf(false),
        [&](const std::string& a, const std::string& b) { return c.Compare(a, b); });
}

// n strings of length letters over alphabet, drawn without bias.
Words Sample(const std::string& alphabet, int length, std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Words words(n);
    for (auto& w : words)
        for (int k = 0; k < length; ++k)
            w += alphabet[rng() % alphabet.size()];
    return words;
}

// ---------------------------------------------------------------- Hungarian, Windows-1250

TEST(FastSortKey, IsInUseAndOrdersEveryStringOfUpToTwoBytesLikeTheCollator) {
    WordCollation c;
    ASSERT_TRUE(c.UsesOwnSortKey()) << "the start-up check refused our keys";
    Words words{""};
    for (int a = 0; a < 256; ++a) {
        words.push_back(Bytes({a}));
        for (int b = 0; b < 256; ++b)
            words.push_back(Bytes({a, b}));
    }
    ExpectHungarianOrder(c, words);
}

TEST(FastSortKey, OrdersSearchLettersDoubleLettersAndAnyBytesLikeTheCollator) {
    WordCollation c;
    const std::string search =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
        "\xC1\xC9\xCD\xD3\xD6\xD5\xDA\xDC\xDB\xE1\xE9\xED\xF3\xF6\xF5\xFA\xFC\xFB";
    ExpectHungarianOrder(c, Sample(search, 3, 40000, 1));

    // The letters of the double letters, and those the collator joins to them: cś, dź,
    // gý, l·, Cš...
    const std::string doubles = "cdglnstyzCDGLNSTYZ";
    const std::string joined =
        doubles + "\x9A\x9E\x9C\x9F\xBA\xBF\xFD\xB7\x8A\x8E\x8C\x8F\xAA\xAF\xDD" + "a";
    ExpectHungarianOrder(c, Sample(joined, 4, 40000, 2));
    ExpectHungarianOrder(c, Sample(doubles, 5, 40000, 3));
    // Double letters written twice, capitalised, and cut by an ignorable byte.
    Words pairs;
    for (std::string w : {"cs", "ccs", "dz", "dzs", "ddz", "ddzs", "gy", "ggy", "ly", "lly", "ny",
                          "nny", "sz", "ssz", "ty", "tty", "zs", "zzs"}) {
        std::string capital = w;
        capital[0] = static_cast<char>(w[0] - 'a' + 'A');
        for (const std::string& v : {w, capital})
            for (const char* around : {"", "a", "\xAD", "-"})
                pairs.push_back(std::string(around).append(v).append(around).append(v));
    }
    ExpectHungarianOrder(c, pairs);

    std::mt19937 rng(4);
    Words any(40000);
    for (auto& w : any) {
        w.resize(rng() % 8);
        for (auto& ch : w)
            ch = static_cast<char>(rng() % 256);
    }
    ExpectHungarianOrder(c, any);
}

// Folding runs of the common weights has limits; words far longer than any run it holds
// in one byte, with and without accents and capitals behind the runs, still sort right.
TEST(FastSortKey, LongRunsOfCommonWeightsKeepTheOrder) {
    WordCollation c;
    Words words;
    for (std::size_t n :
         {1u, 2u, 60u, 61u, 62u, 100u, 101u, 102u, 120u, 121u, 122u, 200u, 243u, 244u, 245u, 300u})
        for (const char* tail : {"", "a", "\xE1", "A", "\xC1", "\xF5", "\xAD", "b"}) {
            words.push_back(std::string(n, 'a') + tail);
            words.push_back(std::string(n, 'a') + tail + std::string(n / 2, 'a'));
        }
    ExpectHungarianOrder(c, words);

    std::vector<std::uint8_t> a, b;
    c.AppendSortKey(std::string("ab\0c", 4), a);
    c.AppendSortKey("ab", b);
    EXPECT_EQ(a, b) << "a word ends at its first NUL";
}

// A table makes every key with one generator: clones share the choice, and a collation
// opened while our keys are not allowed keeps the collator's keys.
TEST(FastSortKey, ClonesShareTheChoiceAndTablesSortAlikeWithEither) {
    WordCollation own;
    ASSERT_TRUE(own.UsesOwnSortKey());
    WordCollation::AllowOwnSortKeys(false);
    WordCollation icu;
    EXPECT_FALSE(icu.UsesOwnSortKey());
    WordTable icuTable;
    WordCollation::AllowOwnSortKeys(true);
    EXPECT_TRUE(own.UsesOwnSortKey());
    EXPECT_FALSE(icu.Clone()->UsesOwnSortKey());

    std::vector<std::uint8_t> a, b, i;
    own.AppendSortKey("kassza", a);
    own.Clone()->AppendSortKey("kassza", b);
    icu.AppendSortKey("kassza", i);
    EXPECT_EQ(a, b);
    std::vector<std::uint8_t> viaIcu;
    own.AppendIcuSortKey("kassza", viaIcu);
    EXPECT_EQ(i, viaIcu);

    // 30,000 words: both tables make their keys on two threads.
    Words words = Sample("aeioukstyzcsgynl\xE1\xE9\xF6\xF5KSZ", 6, 30000, 5);
    WordTable ownTable;
    for (WordTable* t : {&ownTable, &icuTable}) {
        t->OpenTable();
        for (const auto& w : words) {
            t->BeginInsert();
            t->SetWordText(w);
            t->PostRecord();
        }
        t->SortBy("szo");
    }
    EXPECT_TRUE(ownTable.Collation().UsesOwnSortKey());
    EXPECT_FALSE(icuTable.Collation().UsesOwnSortKey());
    ownTable.MoveFirst();
    icuTable.MoveFirst();
    for (int k = 0; k < 30000; ++k, ownTable.MoveNext(), icuTable.MoveNext())
        ASSERT_EQ(ownTable.WordText(), icuTable.WordText()) << "at " << k;
    for (const char* probe : {"kass", "tyz", "Ks", "\xE1", "zz"}) {
        ownTable.SeekNearest(probe);
        icuTable.SeekNearest(probe);
        EXPECT_EQ(ownTable.RecordNumber(), icuTable.RecordNumber()) << probe;
    }
}

// ---------------------------------------------------------------- other collators

// A collator from rules, over Latin-1 (each byte its own code point).
struct RuleCollator {
    UCollator* collator = nullptr;
    char16_t unicode[256] = {};
    explicit RuleCollator(const char* rules) {
        for (int b = 0; b < 256; ++b)
            unicode[b] = static_cast<char16_t>(b);
        std::u16string text(std::string_view(rules).begin(), std::string_view(rules).end());
        UErrorCode status = U_ZERO_ERROR;
        UParseError error;
        collator = ucol_openRules(reinterpret_cast<const UChar*>(text.data()),
                                  static_cast<std::int32_t>(text.size()), UCOL_OFF, UCOL_TERTIARY,
                                  &error, &status);
        EXPECT_TRUE(U_SUCCESS(status)) << rules;
    }
    ~RuleCollator() { ucol_close(collator); }
    std::u16string Units(const std::string& w) const {
        std::u16string u;
        for (char c : w)
            u += unicode[static_cast<unsigned char>(c)];
        return u;
    }
    int Compare(const std::string& a, const std::string& b) const {
        std::u16string ua = Units(a), ub = Units(b);
        return ucol_strcoll(collator, reinterpret_cast<const UChar*>(ua.data()),
                            static_cast<std::int32_t>(ua.size()),
                            reinterpret_cast<const UChar*>(ub.data()),
                            static_cast<std::int32_t>(ub.size()));
    }
    std::string IcuKey(const std::string& w) const {
        std::u16string u = Units(w);
        std::uint8_t key[1024];
        std::int32_t n = ucol_getSortKey(collator, reinterpret_cast<const UChar*>(u.data()),
                                         static_cast<std::int32_t>(u.size()), key, sizeof key);
        return std::string(key, key + n);
    }
};

// Weights below the common ones (x, y), a secondary and a tertiary variant above (q, Q),
// a three-letter contraction, an expansion: none of it in the Hungarian data, all of it
// in reach of the tables.
TEST(FastSortKey, DerivesExactKeysForOtherTailorings) {
    RuleCollator rc("&[before 2]a << x &[before 3]a <<< y &a << q <<< Q &k < abc &e < f/ee");
    auto key = FastSortKey::Derive(rc.collator, rc.unicode);
    ASSERT_NE(key, nullptr);
    EXPECT_NE(std::find(key->Contractions().begin(), key->Contractions().end(), "abc"),
              key->Contractions().end());

    Words words = Sample("abcefkqxyQA\xE1", 5, 20000, 6);
    for (std::size_t n : {3u, 70u, 130u, 200u})
        for (const char* tail : {"", "x", "y", "q", "Q", "b"})
            words.push_back(std::string(n, 'a') + tail + "ab");
    auto compare = [&](const std::string& a, const std::string& b) { return rc.Compare(a, b); };
    std::vector<std::uint8_t> bytes;
    ExpectCollatorOrder(
        words,
        [&](const std::string& w) {
            bytes.clear();
            key->Append(w, bytes);
            return std::string(bytes.begin(), bytes.end());
        },
        [&](const std::string& w) { return rc.IcuKey(w); }, compare);

    // The checker itself: a collator that finds nothing different finds every neighbour
    // pair with different keys a disagreement.
    auto disagreements = key->Disagreements(
        {"b", "a", "a", "c"}, [](std::string_view, std::string_view) { return 0; }, 10);
    EXPECT_EQ(disagreements,
              (std::vector<std::pair<std::string, std::string>>{{"a", "b"}, {"b", "c"}}));
    auto collatorVerdict = [&](std::string_view a, std::string_view b) {
        return rc.Compare(std::string(a), std::string(b));
    };
    EXPECT_TRUE(key->Disagreements({"b", "a", "c", "ab"}, collatorVerdict, 10).empty());
}

TEST(FastSortKey, RefusesWhatTheTablesCannotExpress) {
    // Settings that change how weights compare, not the weights themselves.
    for (auto [attribute, value] : {std::pair{UCOL_FRENCH_COLLATION, UCOL_ON},
                                    {UCOL_CASE_FIRST, UCOL_UPPER_FIRST},
                                    {UCOL_CASE_LEVEL, UCOL_ON},
                                    {UCOL_ALTERNATE_HANDLING, UCOL_SHIFTED},
                                    {UCOL_NUMERIC_COLLATION, UCOL_ON},
                                    {UCOL_STRENGTH, UCOL_QUATERNARY}}) {
        RuleCollator rc("&a < b");
        UErrorCode status = U_ZERO_ERROR;
        ucol_setAttribute(rc.collator, attribute, value, &status);
        ASSERT_TRUE(U_SUCCESS(status));
        EXPECT_EQ(FastSortKey::Derive(rc.collator, rc.unicode), nullptr) << attribute;
    }
    {
        RuleCollator rc("&a < b");
        std::int32_t greek = USCRIPT_GREEK;
        UErrorCode status = U_ZERO_ERROR;
        ucol_setReorderCodes(rc.collator, &greek, 1, &status);
        EXPECT_EQ(FastSortKey::Derive(rc.collator, rc.unicode), nullptr) << "reordered";
    }

    // c after b sorts after z, a context the tables take as the unit bc: right on its own,
    // wrong in "abc", where the contraction ab takes the b first. The start-up check finds
    // that and refuses.
    RuleCollator context("&z < b|c");
    EXPECT_NE(FastSortKey::Derive(context.collator, context.unicode), nullptr);
    RuleCollator overlapping("&z < b|c &y < ab");
    EXPECT_EQ(FastSortKey::Derive(overlapping.collator, overlapping.unicode), nullptr);
}

}  // namespace
}  // namespace kormoszi
