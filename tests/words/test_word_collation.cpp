#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "words/word_collation.h"

namespace kormoszi {
namespace {

// Windows-1250 bytes of the Hungarian accented letters used below.
const std::string a_ = "\xE1", e_ = "\xE9", o_ = "\xF3", oe = "\xF6", oo = "\xF5";

std::string Key(const WordCollation& c, const std::string& word) {
    std::vector<std::uint8_t> out;
    c.AppendSortKey(word, out);
    return std::string(out.begin(), out.end());
}

void ExpectAscending(const WordCollation& c, const std::vector<std::string>& words) {
    for (std::size_t i = 0; i + 1 < words.size(); ++i) {
        SCOPED_TRACE(words[i] + " < " + words[i + 1]);
        EXPECT_EQ(c.Compare(words[i], words[i + 1]), -1);
        EXPECT_EQ(c.Compare(words[i + 1], words[i]), 1);
        EXPECT_LT(Key(c, words[i]), Key(c, words[i + 1]));
    }
}

TEST(WordCollation, HungarianOrderFacts) {
    WordCollation c;
    // cs is a letter of its own after c.
    ExpectAscending(c, {"cukor", "cz", "csak"});
    // Accents count only after the letters.
    ExpectAscending(c, {"agy", a_ + "gy", "agyak"});
    // ö and ő come after o and ó.
    ExpectAscending(c, {"osz", o_ + "sz", "oszt", oe + "sz", oo + "sz"});
    // Lower case first; case weighs less than accents.
    ExpectAscending(c, {"kert", "Kert", "k" + e_ + "rt"});
    // Double letters sort as two of the letter: ssz as sz sz, ggy as gy gy.
    ExpectAscending(c, {"kasa", "kast", "kassza"});
    ExpectAscending(c, {"megy", "meggy", "mez"});
    EXPECT_EQ(c.Compare("abc", "abc"), 0);
}

TEST(WordCollation, TextEndsAtNulAndKeysAgreeWithCompare) {
    WordCollation c;
    EXPECT_EQ(c.Compare(std::string("ab\0c", 4), "ab"), 0);
    EXPECT_EQ(Key(c, std::string("ab\0c", 4)), Key(c, "ab"));
    EXPECT_EQ(c.Compare("", "a"), -1);

    // Random words over letters that form contractions: memcmp of the keys must give
    // exactly the collator's answer.
    const std::string letters = "acdgjlnostyzsCSZ" + a_ + oe + oo;
    std::mt19937 rng(7);
    for (int i = 0; i < 3000; ++i) {
        auto word = [&] {
            std::string w;
            int n = 1 + static_cast<int>(rng() % 7);
            for (int k = 0; k < n; ++k)
                w += letters[rng() % letters.size()];
            return w;
        };
        std::string x = word(), y = word();
        int byKeys = Key(c, x) < Key(c, y) ? -1 : Key(c, x) > Key(c, y) ? 1 : 0;
        ASSERT_EQ(byKeys, c.Compare(x, y)) << x << " / " << y;
    }
}

TEST(WordCollation, UnavailableLocaleRaisesInvalidLocale) {
    WordCollation missing("zz_NOWHERE");
    try {
        missing.Compare("a", "b");
        FAIL() << "no error";
    } catch (const ETableError& e) {
        EXPECT_STREQ(e.what(), "Invalid locale.");
    }
    std::vector<std::uint8_t> key;
    EXPECT_THROW(missing.AppendSortKey("a", key), ETableError);
    EXPECT_TRUE(key.empty());

    WordCollation c;
    c.SetUnavailable(true);
    EXPECT_THROW(c.Check(), ETableError);
    c.SetUnavailable(false);
    EXPECT_NO_THROW(c.Check());
}

}  // namespace
}  // namespace kormoszi
