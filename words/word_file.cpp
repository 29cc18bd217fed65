#include "words/word_file.h"

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
    std::string word(static_cast<std::size_t>(n), '\0');
    // The end is tested between words only: a word cut off by the end raises 100 from Read.
    while (!file.Eof()) {
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
