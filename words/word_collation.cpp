#include "words/word_collation.h"

#include <unicode/ucol.h>

#include <atomic>
#include <map>
#include <mutex>

#include "words/fast_sort_key.h"
#include "words/windows_1250.h"

namespace kormoszi {

namespace {
constexpr const char* kInvalidLocale = "Invalid locale.";

std::atomic<bool> ownKeysAllowed{true};

// Our own key tables, derived and checked once per locale and process: every collation of
// the locale makes the same kind of key, and later tables pay nothing for the check.
std::shared_ptr<const FastSortKey> OwnKeyFor(const std::string& locale, const UCollator* collator,
                                             const char16_t (&unicode)[256]) {
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<const FastSortKey>> derived;
    std::lock_guard lock(mutex);
    auto found = derived.find(locale);
    if (found == derived.end())
        found = derived.emplace(locale, FastSortKey::Derive(collator, unicode)).first;
    return found->second;
}
}  // namespace

WordCollation::WordCollation(std::string locale)
    : locale_(std::move(locale)), page_(Windows1250::Table()), ownKeysAllowed_(ownKeysAllowed) {}

WordCollation::~WordCollation() {
    if (collator_ != nullptr)
        ucol_close(collator_);
}

UCollator* WordCollation::Collator() const {
    if (unavailable_)
        throw ETableError(kInvalidLocale);
    if (collator_ != nullptr)
        return collator_;
    if (failed_)
        throw ETableError(kInvalidLocale);

    // A collator that fell back to the root order would sort Hungarian words wrongly
    // without saying so; that counts as a locale that cannot be had.
    UErrorCode status = U_ZERO_ERROR;
    UCollator* collator = ucol_open(locale_.c_str(), &status);
    bool usable = U_SUCCESS(status) && status != U_USING_DEFAULT_WARNING;
    if (usable) {
        ucol_setStrength(collator, UCOL_TERTIARY);
        ucol_setAttribute(collator, UCOL_NORMALIZATION_MODE, UCOL_OFF, &status);
        usable = U_SUCCESS(status);
    }

    // Words convert by table lookup; without the code page no word can be compared.
    if (!usable || !page_.Loaded()) {
        if (collator != nullptr)
            ucol_close(collator);
        failed_ = true;
        throw ETableError(kInvalidLocale);
    }
    // The choice of keys comes with the collator, so no key is ever made before it.
    std::unique_ptr<UCollator, void (*)(UCollator*)> opened(collator, ucol_close);
    if (ownKeysAllowed_)
        ownKey_ = OwnKeyFor(locale_, collator, page_.Units());
    collator_ = opened.release();
    return collator_;
}

void WordCollation::AllowOwnSortKeys(bool allowed) {
    ownKeysAllowed = allowed;
}

bool WordCollation::UsesOwnSortKey() const {
    Collator();
    return ownKey_ != nullptr;
}

void WordCollation::Check() const {
    Collator();
}

std::size_t WordCollation::ToUnicode(std::string_view word, char16_t* out) const {
    return WordToUnits(word, page_.Units(), out);
}

std::u16string WordCollation::ToUnicode(std::string_view word) const {
    Collator();
    std::u16string out(word.size(), u'\0');
    out.resize(ToUnicode(word, out.data()));
    return out;
}

int WordCollation::Compare(std::string_view a, std::string_view b) const {
    UCollator* collator = Collator();
    std::u16string ua(a.size(), u'\0'), ub(b.size(), u'\0');
    std::size_t na = ToUnicode(a, ua.data());
    std::size_t nb = ToUnicode(b, ub.data());
    UCollationResult r =
        ucol_strcoll(collator, reinterpret_cast<const UChar*>(ua.data()), static_cast<int32_t>(na),
                     reinterpret_cast<const UChar*>(ub.data()), static_cast<int32_t>(nb));
    return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
}

std::size_t WordCollation::AppendSortKey(std::string_view word,
                                         std::vector<std::uint8_t>& out) const {
    Collator();
    if (ownKey_)
        return ownKey_->Append(word, out);
    return AppendIcuSortKey(word, out);
}

std::size_t WordCollation::AppendIcuSortKey(std::string_view word,
                                            std::vector<std::uint8_t>& out) const {
    UCollator* collator = Collator();
    char16_t stackUnits[64];
    std::u16string heapUnits;
    char16_t* units = stackUnits;
    if (word.size() > std::size(stackUnits)) {
        heapUnits.resize(word.size());
        units = heapUnits.data();
    }
    auto n = static_cast<int32_t>(ToUnicode(word, units));

    std::size_t start = out.size();
    std::size_t room = 64 + 8 * static_cast<std::size_t>(n);
    for (;;) {
        out.resize(start + room);
        int32_t length = ucol_getSortKey(collator, reinterpret_cast<const UChar*>(units), n,
                                         out.data() + start, static_cast<int32_t>(room));
        if (length <= 0) {
            out.resize(start);
            throw ETableError(kInvalidLocale);
        }
        if (static_cast<std::size_t>(length) <= room) {
            // Drop ICU's closing NUL: keys then compare by memcmp and length.
            out.resize(start + static_cast<std::size_t>(length) - 1);
            return static_cast<std::size_t>(length) - 1;
        }
        room = static_cast<std::size_t>(length);
    }
}

std::unique_ptr<WordCollation> WordCollation::Clone() const {
    UCollator* collator = Collator();
    UErrorCode status = U_ZERO_ERROR;
    UCollator* copy = ucol_clone(collator, &status);
    if (U_FAILURE(status))
        throw ETableError(kInvalidLocale);
    auto clone = std::make_unique<WordCollation>(locale_);
    clone->collator_ = copy;
    clone->ownKeysAllowed_ = ownKeysAllowed_;
    clone->ownKey_ = ownKey_;
    return clone;
}

}  // namespace kormoszi
