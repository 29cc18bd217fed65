#pragma once
// Words are Windows-1250 bytes; the screen and the keyboard speak Unicode. The core's
// table of that code page in both directions, for QString.

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
