#pragma once
// Words are Windows-1250 bytes; the screen and the keyboard speak Unicode. The two
// directions of that code page, worked out once from ICU's converter.

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace kormoszi {

// The word's characters, up to its first NUL byte.
QString WordToText(std::string_view word);
// The text's Windows-1250 bytes; nothing when a character has no byte there.
std::optional<std::string> TextToWord(const QString& text);
// Whether the code page can store the character.
bool IsWordCharacter(QChar c);

}  // namespace kormoszi
