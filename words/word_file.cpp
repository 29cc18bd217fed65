#include "words/word_file.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "platform/file_access.h"
#include "words/byte_order.h"

namespace kormoszi {

namespace {

constexpr std::size_t kWriteChunk = std::size_t{64} * 1024;

void RequireLength(int n) {
    if (n < 1)
        throw std::invalid_argument("word length must be positive");
}

void RequirePackable(int n) {
    if (n < 1 || n > 8)
        throw std::invalid_argument("a snapshot holds words of 1 to 8 bytes");
}

// Opens the file for reading: refuses a file larger than any word list before a byte of
// it is read.
void OpenWordFile(RecordFile& file, int n) {
    file.Open(1);
    if (file.Size() > kMaxWordFileWords * static_cast<std::uint64_t>(n))
        throw EInOutError(EFBIG);
}

// Calls take(word) for each word of the open file, in file order. The end is tested
// between words only: a word cut off by the end raises 100 from Read.
template <class F>
void ForEachFileWord(RecordFile& file, int n, F take) {
    std::string word(static_cast<std::size_t>(n), '\0');
    std::uint64_t words = 0;
    while (!file.Eof()) {
        if (++words > kMaxWordFileWords)  // the file grew while it was read
            throw EInOutError(EFBIG);
        file.Read(word.data(), word.size());
        take(word);
    }
    file.Close();
}

// Calls take(run) with the table's words from the first record on, each as exactly n bytes
// (a word cut short by a NUL padded with NULs), a run of words per step: a call and a
// cursor move per word would cost more than the disk does.
template <class F>
void ForEachRun(WordTable& table, int n, F take) {
    const auto length = static_cast<std::size_t>(n);
    const int runWords = static_cast<int>(kWriteChunk / length);
    std::vector<char> chunk;
    table.MoveFirst();
    while (!table.AtEnd()) {
        chunk.assign(static_cast<std::size_t>(runWords) * length, '\0');
        char* out = chunk.data();
        const int taken = table.ForEachWordFromCurrent(runWords, [&](std::string_view word) {
            std::memcpy(out, word.data(), std::min(word.size(), length));
            out += length;
        });
        chunk.resize(static_cast<std::size_t>(taken) * length);
        take(chunk);
        // Past the last word the cursor stays on it and the table reaches its end.
        if (taken == 0 || table.MoveBy(taken) < taken)
            table.MoveNext();
    }
}

void PackRun(const std::vector<char>& run, int n, std::vector<std::uint64_t>& out) {
    const auto length = static_cast<std::size_t>(n);
    for (std::size_t at = 0; at < run.size(); at += length)
        out.push_back(PackWord(std::string_view(run.data() + at, length), n));
}

}  // namespace

std::uint64_t PackWord(std::string_view word, int n) {
    return BytesAsNumber(word.data(), std::min(word.size(), static_cast<std::size_t>(n)));
}

std::string UnpackWord(std::uint64_t packed, int n) {
    std::string word(static_cast<std::size_t>(n), '\0');
    for (std::size_t i = 0; i < word.size(); ++i)
        word[i] = static_cast<char>((packed >> (56 - 8 * i)) & 0xff);
    return word;
}

void ReadWordFile(WordTable& table, const std::string& fileName, int n) {
    RequireLength(n);
    RecordFile file(fileName);
    OpenWordFile(file, n);
    table.Reserve(static_cast<std::size_t>(file.Size() / static_cast<std::uint64_t>(n)));
    ForEachFileWord(file, n, [&](const std::string& word) {
        table.BeginInsert();
        table.SetWordText(word);
        table.PostRecord();
    });
}

void ReadWordFile(WordTable& table, const std::string& fileName, int n,
                  WordFileSnapshot& snapshot) {
    RequirePackable(n);
    snapshot = WordFileSnapshot{};
    RecordFile file(fileName);
    OpenWordFile(file, n);
    snapshot.Stamp = file.Stamp();
    snapshot.Words.reserve(static_cast<std::size_t>(file.Size() / static_cast<std::uint64_t>(n)));
    table.Reserve(snapshot.Words.capacity());
    ForEachFileWord(file, n, [&](const std::string& word) {
        table.BeginInsert();
        table.SetWordText(word);
        table.PostRecord();
        snapshot.Words.push_back(PackWord(word, n));
    });
}

void ReadWordSnapshot(const std::string& fileName, int n, WordFileSnapshot& snapshot) {
    RequirePackable(n);
    snapshot = WordFileSnapshot{};
    RecordFile file(fileName);
    try {
        OpenWordFile(file, n);
    } catch (const EInOutError& error) {
        if (error.Code() != FileCode::kFileNotFound)
            throw;
        return;  // gone: no words, and a stamp that says there is no file
    }
    snapshot.Stamp = file.Stamp();
    snapshot.Words.reserve(static_cast<std::size_t>(file.Size() / static_cast<std::uint64_t>(n)));
    try {
        ForEachFileWord(
            file, n, [&](const std::string& word) { snapshot.Words.push_back(PackWord(word, n)); });
    } catch (const EInOutError& error) {
        if (error.Code() != FileCode::kReadBeyondEnd)
            throw;
    }
}

void WriteWordFile(WordTable& table, const std::string& fileName, int n) {
    RequireLength(n);
    RecordFile file(fileName);
    file.Create(1);
    ForEachRun(table, n, [&](const std::vector<char>& run) { file.Write(run.data(), run.size()); });
    file.Close();
}

bool WriteWordFileIfUnchanged(WordTable& table, const std::string& fileName, int n,
                              const FileStamp& expected, WordFileSnapshot& written) {
    RequirePackable(n);
    std::vector<std::uint64_t> words;
    words.reserve(static_cast<std::size_t>(table.CountRecords()));
    RecordFile file(fileName);
    file.Create(1);
    ForEachRun(table, n, [&](const std::vector<char>& run) {
        file.Write(run.data(), run.size());
        PackRun(run, n, words);
    });
    FileStamp stamp;
    if (!file.CloseIfUnchanged(expected, &stamp))
        return false;
    written.Stamp = stamp;
    written.Words = std::move(words);
    return true;
}

std::vector<std::uint64_t> PackedWords(WordTable& table, int n) {
    RequirePackable(n);
    std::vector<std::uint64_t> words;
    words.reserve(static_cast<std::size_t>(table.CountRecords()));
    ForEachRun(table, n, [&](const std::vector<char>& run) { PackRun(run, n, words); });
    return words;
}

}  // namespace kormoszi
