#pragma once
// The code page of the word files, Windows-1250, as one table of its 256 bytes, worked out
// once per process from ICU's converter; the collation, our own sort keys and the screen
// all read their characters from here.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kormoszi {

class Windows1250 {
  public:
    // The process's one table. Never throws; without a converter, Loaded() is false.
    static const Windows1250& Table();

    // Whether the converter was there to fill the table.
    bool Loaded() const { return loaded_; }
    // The UTF-16 unit the byte stands for; U+FFFD for a byte the code page leaves undefined.
    char16_t ToUnicode(unsigned char byte) const { return units_[byte]; }
    // All 256 units, by byte.
    const char16_t (&Units() const)[256] { return units_; }
    // The byte that stands for the unit; nothing when no byte does. O(log 256).
    std::optional<char> FromUnicode(char16_t unit) const;

  private:
    Windows1250();

    bool loaded_ = false;
    char16_t units_[256] = {};
    // The defined bytes ordered by their unit (the lower byte first for a shared unit).
    struct Entry {
        char16_t unit;
        unsigned char byte;
    };
    std::array<Entry, 256> byUnit_{};
    int defined_ = 0;
};

// The UTF-16 units of word's bytes up to its first NUL, by the table unicode (a code page's
// Units()): at most word.size() units into out, and how many. The one loop from word
// bytes to text, for the collation, our own sort keys and the screen.
std::size_t WordToUnits(std::string_view word, const char16_t (&unicode)[256], char16_t* out);
std::u16string WordToUnits(std::string_view word, const char16_t (&unicode)[256]);

}  // namespace kormoszi
