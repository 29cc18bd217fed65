#include "words/word_file.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "platform/file_access.h"

namespace kormoszi {

namespace {

constexpr std::size_t kWriteChunk = 64 * 1024;

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
    const auto length = static_cast<std::size_t>(n);
    // The walk from the first record to the end takes a run of words per step: a call and
    // a cursor move per word would cost more than the disk does.
    const int runWords = static_cast<int>(kWriteChunk / length);
    std::vector<char> chunk;
    chunk.reserve(kWriteChunk);
    table.MoveFirst();
    while (!table.AtEnd()) {
        chunk.clear();
        const int taken = table.ForEachWordFromCurrent(runWords, [&](std::string_view word) {
            const std::size_t used = std::min(word.size(), length);
            chunk.insert(chunk.end(), word.begin(),
                         word.begin() + static_cast<std::ptrdiff_t>(used));
            chunk.resize(chunk.size() + (length - used), '\0');  // a word cut short by a NUL
        });
        file.Write(chunk.data(), chunk.size());
        // Past the last word the cursor stays on it and the table reaches its end.
        if (taken == 0 || table.MoveBy(taken) < taken)
            table.MoveNext();
    }
    file.Close();
}

}  // namespace kormoszi
