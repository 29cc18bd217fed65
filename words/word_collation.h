#pragma once
// The Hungarian linguistic order of Windows-1250 words: case-sensitive, accents counting
// after the letters, double letters (cs, sz, ggy, ssz...) as letters of their own.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct UCollator;

namespace kormoszi {

class FastSortKey;
class Windows1250;

// The table error. Its only message in practice is "Invalid locale.".
class ETableError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// One ICU collator for one locale, opened on first use. Not thread-safe; one per table.
class WordCollation {
  public:
    explicit WordCollation(std::string locale = "hu");
    ~WordCollation();
    WordCollation(const WordCollation&) = delete;
    WordCollation& operator=(const WordCollation&) = delete;

    // -1, 0 or +1. Each text ends at its first NUL byte. Throws ETableError when the
    // locale cannot be had.
    int Compare(std::string_view a, std::string_view b) const;

    // Appends the sort key of the word and returns its length; memcmp of two keys,
    // shorter-first on a tie, agrees with Compare. The key is our own table-driven one when
    // its tables passed their check at the first use of the locale, else the collator's
    // (without its closing NUL); a collation and its clones never mix the two.
    // Throws ETableError like Compare.
    std::size_t AppendSortKey(std::string_view word, std::vector<std::uint8_t>& out) const;

    // The collator's own sort key without its closing NUL, whichever AppendSortKey makes.
    std::size_t AppendIcuSortKey(std::string_view word, std::vector<std::uint8_t>& out) const;

    // True when AppendSortKey makes our own keys. Throws like Check.
    bool UsesOwnSortKey() const;

    // Whether collations made from now on may use our own keys (they may by default); for
    // measuring against the collator's keys. Existing collations keep their choice.
    static void AllowOwnSortKeys(bool allowed);

    // A collator of the same locale for use on another thread, making the same keys.
    // Throws like Check.
    std::unique_ptr<WordCollation> Clone() const;

    // Throws ETableError when the locale cannot be had; does nothing otherwise.
    void Check() const;

    // The word as UTF-16, as the collator sees it (one unit per byte).
    std::u16string ToUnicode(std::string_view word) const;

    // Takes the locale away (or gives it back) from now on, as a system without the
    // Hungarian collation would; for exercising the failure paths.
    void SetUnavailable(bool unavailable) { unavailable_ = unavailable; }

  private:
    UCollator* Collator() const;
    std::size_t ToUnicode(std::string_view word, char16_t* out) const;

    std::string locale_;
    const Windows1250& page_;
    mutable UCollator* collator_ = nullptr;
    bool ownKeysAllowed_;
    mutable std::shared_ptr<const FastSortKey> ownKey_;  // null: the collator's keys
    mutable bool failed_ = false;
    bool unavailable_ = false;
};

}  // namespace kormoszi
