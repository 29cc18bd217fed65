// Three byte strings from the input (the first two bytes give the lengths of the first
// two): the word collation must be a total order on them, ends every text at its first
// NUL, and its sort keys, compared as bytes, must say what the comparison says.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "words/word_collation.h"

using kormoszi::WordCollation;
using kormoszi::fuzz::Show;

namespace {

int Sign(int v) {
    return (v > 0) - (v < 0);
}

// The order of two keys: bytes first, then the shorter first.
int CompareKeys(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
    if (c != 0)
        return Sign(c);
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

std::vector<std::uint8_t> Key(const WordCollation& collation, const std::string& text) {
    // Something already in the buffer must stay, and only the key may follow it.
    std::vector<std::uint8_t> out = {0xAB, 0xCD};
    std::size_t length = collation.AppendSortKey(text, out);
    FUZZ_CHECK(out.size() == 2 + length && out[0] == 0xAB && out[1] == 0xCD,
               "the key was not appended: " + Show(text));
    return {out.begin() + 2, out.end()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const WordCollation collation;
    static const std::unique_ptr<WordCollation> clone = collation.Clone();

    kormoszi::fuzz::Input input(data, size);
    std::size_t la = input.Byte(), lb = input.Byte();
    const std::string text[3] = {input.Bytes(la), input.Bytes(lb), input.Bytes(size)};
    std::vector<std::uint8_t> key[3];
    for (int i = 0; i < 3; ++i) {
        const std::string& t = text[i];
        key[i] = Key(collation, t);
        FUZZ_CHECK(collation.Compare(t, t) == 0, "not equal to itself: " + Show(t));
        FUZZ_CHECK(Key(*clone, t) == key[i], "a clone keys differently: " + Show(t));
        std::string cut = t.substr(0, t.find('\0'));
        FUZZ_CHECK(collation.ToUnicode(t).size() == cut.size(), "one unit per byte: " + Show(t));
        std::string longer = cut + std::string(1, '\0') + text[(i + 1) % 3];
        FUZZ_CHECK(
            collation.Compare(longer, cut) == 0 && Key(collation, longer) == Key(collation, cut),
            "the text goes on after its NUL: " + Show(longer));
    }

    int c[3][3];
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            c[i][j] = collation.Compare(text[i], text[j]);
            const std::string pair = Show(text[i]) + " and " + Show(text[j]);
            FUZZ_CHECK(c[i][j] >= -1 && c[i][j] <= 1, "not -1, 0 or 1: " + pair);
            FUZZ_CHECK(CompareKeys(key[i], key[j]) == c[i][j],
                       "the keys disagree with the comparison: " + pair);
            FUZZ_CHECK(clone->Compare(text[i], text[j]) == c[i][j], "a clone disagrees: " + pair);
        }
    }
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            FUZZ_CHECK(c[i][j] == -c[j][i],
                       "not antisymmetric: " + Show(text[i]) + " and " + Show(text[j]));
            for (int k = 0; k < 3; ++k) {
                const std::string triple =
                    Show(text[i]) + ", " + Show(text[j]) + ", " + Show(text[k]);
                if (c[i][j] <= 0 && c[j][k] <= 0)
                    FUZZ_CHECK(c[i][k] <= 0, "not transitive: " + triple);
                if (c[i][j] < 0 && c[j][k] <= 0)
                    FUZZ_CHECK(c[i][k] < 0, "not strictly transitive: " + triple);
                if (c[i][j] == 0 && c[j][k] == 0)
                    FUZZ_CHECK(c[i][k] == 0, "equality not transitive: " + triple);
            }
        }
    }
    return 0;
}
