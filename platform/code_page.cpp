#include "platform/code_page.h"

#include <unicode/ucnv.h>

#include <array>
#include <unordered_map>

namespace kormoszi {
namespace {

struct CodePage {
    std::array<char16_t, 256> toUnicode{};
    std::unordered_map<char16_t, char> fromUnicode;

    CodePage() {
        UErrorCode status = U_ZERO_ERROR;
        UConverter* converter = ucnv_open("windows-1250", &status);
        for (int byte = 0; byte < 256; ++byte) {
            // Bytes the code page leaves undefined stay out of the reverse direction, so
            // nothing typed turns into them.
            toUnicode[byte] = u'\uFFFD';
            if (converter == nullptr)
                continue;
            const char in = static_cast<char>(byte);
            UChar out[4];
            UErrorCode error = U_ZERO_ERROR;
            ucnv_reset(converter);
            ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                                &error);
            if (ucnv_toUChars(converter, out, 4, &in, 1, &error) == 1 && U_SUCCESS(error)) {
                toUnicode[byte] = out[0];
                fromUnicode.emplace(out[0], in);
            }
        }
        if (converter != nullptr)
            ucnv_close(converter);
    }
};

const CodePage& Windows1250() {
    static const CodePage page;
    return page;
}

}  // namespace

QString WordToText(std::string_view word) {
    const auto& page = Windows1250();
    QString text;
    text.reserve(static_cast<qsizetype>(word.size()));
    for (char c : word) {
        if (c == '\0')
            break;
        text.append(QChar(page.toUnicode[static_cast<unsigned char>(c)]));
    }
    return text;
}

std::optional<std::string> TextToWord(const QString& text) {
    const auto& page = Windows1250();
    std::string word;
    word.reserve(static_cast<std::size_t>(text.size()));
    for (QChar c : text) {
        auto it = page.fromUnicode.find(c.unicode());
        if (it == page.fromUnicode.end())
            return std::nullopt;
        word.push_back(it->second);
    }
    return word;
}

bool IsWordCharacter(QChar c) {
    const auto& page = Windows1250();
    return c.unicode() != 0 && page.fromUnicode.count(c.unicode()) != 0;
}

}  // namespace kormoszi
