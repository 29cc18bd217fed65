#include "words/word_file.h"

#include <cerrno>
#include <cstdint>
#include <stdexcept>

#include "platform/file_access.h"

namespace kormoszi {

namespace {

void RequireLength(int n) {
    if (n < 1)
        throw std::invalid_argument("word length must be positive");
}

}  // namespace

void ReadWordFile(WordTable& table, const std::string& fileName, int n) {
    RequireLength(n);
    RecordFile file(fileName);
    file.Open(1);
    const auto length = static_cast<std::uint64_t>(n);
    if (file.Size() > kMaxWordFileWords * length)
        throw EInOutError(EFBIG);
    std::string word(static_cast<std::size_t>(n), '\0');
    std::uint64_t words = 0;
    // The end is tested between words only: a word cut off by the end raises 100 from Read.
    while (!file.Eof()) {
        if (++words > kMaxWordFileWords)  // the file grew while it was read
            throw EInOutError(EFBIG);
        file.Read(word.data(), word.size());
        table.BeginInsert();
        table.SetWordText(word);
        table.PostRecord();
    }
    file.Close();
}

void WriteWordFile(WordTable& table, const std::string& fileName, int n) {
    RequireLength(n);
    RecordFile file(fileName);
    file.Create(1);
    table.MoveFirst();
    std::string word;
    while (!table.AtEnd()) {
        word = table.WordText();
        word.resize(static_cast<std::size_t>(n), '\0');
        file.Write(word.data(), word.size());
        table.MoveNext();
    }
    file.Close();
}

}  // namespace kormoszi
