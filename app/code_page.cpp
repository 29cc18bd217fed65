#include "app/code_page.h"

#include "words/windows_1250.h"

namespace kormoszi {

QString WordToText(std::string_view word) {
    const auto& page = Windows1250::Table();
    QString text;
    text.reserve(static_cast<qsizetype>(word.size()));
    for (char c : word) {
        if (c == '\0')
            break;
        text.append(QChar(page.ToUnicode(static_cast<unsigned char>(c))));
    }
    return text;
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
