#include "app/code_page.h"

#include <iterator>

#include "words/windows_1250.h"

namespace kormoszi {

QString WordToText(std::string_view word) {
    char16_t units[16];
    if (word.size() <= std::size(units))  // a word of the table: no allocation but the text's
        return QString::fromUtf16(
            units, static_cast<qsizetype>(WordToUnits(word, Windows1250::Table().Units(), units)));
    return QString::fromStdU16String(WordToUnits(word, Windows1250::Table().Units()));
}

std::optional<std::string> TextToWord(const QString& text) {
    const auto& page = Windows1250::Table();
    std::string word;
    word.reserve(static_cast<std::size_t>(text.size()));
    for (QChar c : text) {
        auto byte = page.FromUnicode(c.unicode());
        if (!byte)
            return std::nullopt;
        word.push_back(*byte);
    }
    return word;
}

bool IsWordCharacter(QChar c) {
    return c.unicode() != 0 && Windows1250::Table().FromUnicode(c.unicode()).has_value();
}

}  // namespace kormoszi
