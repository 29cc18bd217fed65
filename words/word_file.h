#pragma once
// The word files lenN.txt: words of exactly N bytes one after the other, with no separator,
// in the bytes of the file's code page, never converted. Reading fills a word table in file
// order; writing puts the table's words back in the order its cursor visits them.

#include <cstdint>
#include <string>

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

// Replaces the file's content with the table's words from the first record on, each as
// exactly n bytes (a word cut short by a NUL is padded with NULs). The old file stays byte
// for byte as it was unless the whole new content was synced and put in its place.
// Throws EInOutError. A few writes for any file.
void WriteWordFile(WordTable& table, const std::string& fileName, int n);

}  // namespace kormoszi
