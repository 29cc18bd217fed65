#pragma once
// The word files lenN.txt: words of exactly N bytes one after the other, with no separator,
// in the bytes of the file's code page, never converted. Reading fills a word table in file
// order; writing puts the table's words back in the order its cursor visits them.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_access.h"
#include "words/word_table.h"

namespace kormoszi {

// The most words a word file may hold: eight times the largest list the benchmarks load,
// which a table holds, sorted, in under half a gigabyte. A larger file is refused before a
// byte of it is read, so a huge or runaway file costs neither memory nor time, with
// EInOutError 27 ("I/O error 27": the system's code for a file too large).
constexpr std::uint64_t kMaxWordFileWords = std::uint64_t{8} << 20;

// Appends the file's words to the open table in file order, one BeginInsert, SetWordText,
// PostRecord each. The file is opened for reading and writing, so a read-only file fails
// with 5. A length that is not a multiple of n posts the complete words, then throws
// EInOutError 100; more than kMaxWordFileWords words throw 27. Throws EInOutError or the
// table's error. A few reads for any file.
void ReadWordFile(WordTable& table, const std::string& fileName, int n);

// The words of a word file as they were read or written, for telling later what others
// changed: the file's stamp, and each word as a number whose order is the order of its
// bytes (PackWord). 8 bytes a word; for words of at most 8 bytes.
struct WordFileSnapshot {
    FileStamp Stamp;
    std::vector<std::uint64_t> Words;
};

// The first n bytes of word (n at most 8, padded with NULs as a save writes them) as a
// number: the bytes big-endian, so numbers compare as the bytes do.
std::uint64_t PackWord(std::string_view word, int n);
// The n bytes of a packed word.
std::string UnpackWord(std::uint64_t packed, int n);

// ReadWordFile that also fills snapshot with the file's stamp and the words read (when it
// throws, the words read before the error). n at most 8.
void ReadWordFile(WordTable& table, const std::string& fileName, int n, WordFileSnapshot& snapshot);
// The words of the file into snapshot alone: a missing file gives an empty snapshot that
// says so, an incomplete last word is left out; other failures throw EInOutError.
void ReadWordSnapshot(const std::string& fileName, int n, WordFileSnapshot& snapshot);

// Replaces the file's content with the table's words from the first record on, each as
// exactly n bytes (a word cut short by a NUL is padded with NULs). The old file stays byte
// for byte as it was unless the whole new content was synced and put in its place.
// Throws EInOutError. A few writes for any file.
void WriteWordFile(WordTable& table, const std::string& fileName, int n);
// WriteWordFile that puts the new content in place only while the file still has the
// stamp expected: false, with the file untouched, when it changed meanwhile. written gets
// what was put in place. n at most 8.
bool WriteWordFileIfUnchanged(WordTable& table, const std::string& fileName, int n,
                              const FileStamp& expected, WordFileSnapshot& written);
// The table's words, packed, from the first record on (the cursor ends at the end).
std::vector<std::uint64_t> PackedWords(WordTable& table, int n);

}  // namespace kormoszi
