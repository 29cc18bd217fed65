#include "words/windows_1250.h"

#include <unicode/ucnv.h>

#include <algorithm>

namespace kormoszi {

namespace {

// The unit of one byte, or nothing when the converter does not define the byte.
std::optional<char16_t> Convert(UConverter* converter, unsigned char byte) {
    const char in = static_cast<char>(byte);
    UChar out[4];
    UErrorCode error = U_ZERO_ERROR;
    ucnv_reset(converter);
    ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &error);
    if (ucnv_toUChars(converter, out, 4, &in, 1, &error) != 1 || U_FAILURE(error))
        return std::nullopt;
    return static_cast<char16_t>(out[0]);
}

}  // namespace

Windows1250::Windows1250() {
    std::fill(std::begin(units_), std::end(units_), u'\uFFFD');
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open("windows-1250", &status);
    if (converter == nullptr || U_FAILURE(status))
        return;
    // Bytes the code page leaves undefined stay out of the reverse direction, so nothing
    // typed turns into them.
    for (int byte = 0; byte < 256; ++byte) {
        if (auto unit = Convert(converter, static_cast<unsigned char>(byte))) {
            units_[byte] = *unit;
            byUnit_[static_cast<std::size_t>(defined_++)] = {*unit,
                                                             static_cast<unsigned char>(byte)};
        }
    }
    ucnv_close(converter);
    std::stable_sort(byUnit_.begin(), byUnit_.begin() + defined_,
                     [](const Entry& a, const Entry& b) { return a.unit < b.unit; });
    loaded_ = true;
}

const Windows1250& Windows1250::Table() {
    static const Windows1250 table;
    return table;
}

std::optional<char> Windows1250::FromUnicode(char16_t unit) const {
    auto end = byUnit_.begin() + defined_;
    auto found = std::lower_bound(byUnit_.begin(), end, unit,
                                  [](const Entry& e, char16_t u) { return e.unit < u; });
    if (found == end || found->unit != unit)
        return std::nullopt;
    return static_cast<char>(found->byte);
}

std::size_t WordToUnits(std::string_view word, const char16_t (&unicode)[256], char16_t* out) {
    std::size_t n = 0;
    for (const char c : word) {
        if (c == '\0')
            break;
        out[n++] = unicode[static_cast<unsigned char>(c)];
    }
    return n;
}

std::u16string WordToUnits(std::string_view word, const char16_t (&unicode)[256]) {
    std::u16string out(word.size(), u'\0');
    out.resize(WordToUnits(word, unicode, out.data()));
    return out;
}

}  // namespace kormoszi
