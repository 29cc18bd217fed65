#pragma once
// One word as the table holds it: the field's value, and the stored record around it with
// its place in the insertion order and its sort key's place in the key store.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "platform/large_pages.h"

namespace kormoszi {

// Longest word the field holds, in bytes.
inline constexpr std::size_t kWordFieldSize = 7;

// A field holds at most seven bytes and ends at its first NUL.
inline std::size_t FieldLength(const char* word) {
    std::size_t n = 0;
    while (n < kWordFieldSize && word[n] != '\0')
        ++n;
    return n;
}

// The text as the field would hold it: at most 7 bytes, ending at the first NUL.
inline std::string_view CutToField(std::string_view text) {
    text = text.substr(0, std::min(text.size(), kWordFieldSize));
    auto nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

// The field's value, as the edit buffer holds it: a field never set has no value.
struct WordValue {
    char word[kWordFieldSize + 1] = {};  // always NUL-terminated, zero after the text
    bool hasValue = false;

    std::string_view Text() const { return {word, FieldLength(word)}; }
    void Set(std::string_view text) {
        text = CutToField(text);
        std::memset(word, 0, sizeof word);
        std::memcpy(word, text.data(), text.size());
        hasValue = true;
    }
};

// A stored record. Its serial number is its place in the insertion order, fixed when it is
// first stored; where the record itself sits in the store may change when it is sorted.
struct WordRecord {
    static constexpr std::uint8_t kHasValue = 1, kAlive = 2, kHasKey = 4;

    char word[kWordFieldSize + 1];
    std::uint32_t serial;
    std::uint32_t keyPos;    // where the sort key starts in the key store
    std::uint8_t keyLength;  // 0 when no key was made yet
    std::uint8_t flags;      // kHasValue, kAlive, kHasKey

    std::string_view Text() const { return {word, FieldLength(word)}; }
};

// The records of a store, by slot.
using RecordArray = LargeVector<WordRecord>;

}  // namespace kormoszi
