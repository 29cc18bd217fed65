#pragma once
// Where the words in the table came from, and what may go back over that file. Only a list
// read to its end (or to an incomplete last word, which the reader reports but keeps the
// words before) may go back: what a failed read left is only part of the dictionary.
//
// The file as it was loaded is kept (its stamp and its words), so that a save over a file
// that another program changed meanwhile (the game, another tool, a text editor) writes
// the merge instead of dropping that program's words:
//
//   the file's words now + the words added here since the load - the words removed here
//
// counted per word, never below zero, sorted as always.

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "words/word_file.h"
#include "words/word_table.h"

namespace kormoszi {

enum class WordsFrom {
    Nothing,             // no load has run yet
    MissingFile,         // an empty list, after the question about the missing file
    WholeFile,           // the whole file
    IncompleteLastWord,  // the file up to an incomplete last word: counts as read
    FailedRead,          // the read stopped at an error before the file's end
};

// The merge of three lists of packed words (each in any order): per word, its count now
// plus its count in mine minus its count in loaded, never below zero. Sorted by the packed
// value. O(n log n).
std::vector<std::uint64_t> MergeChanges(std::vector<std::uint64_t> loaded,
                                        std::vector<std::uint64_t> now,
                                        std::vector<std::uint64_t> mine);

class WordsOrigin {
  public:
    WordsFrom From() const { return from_; }
    // The word file the words belong to; empty before the first load.
    const std::string& FileName() const { return fileName_; }

    // Reads the word file of length n (1 to 7) into the open, empty table and remembers
    // it, also when the read stops at an error, which is then thrown on.
    void Load(WordTable& table, const std::string& fileName, int n);
    // Remembers an empty list for the word file of length n, which does not exist.
    void LoadMissing(const std::string& fileName, int n);
    // A word was posted into the table by hand.
    void NoteTyped() { typed_ = true; }

    // True when the table holds words that may go back over their file: a whole read, or
    // words typed into an empty list. Words typed into what a failed read left count too,
    // but Save refuses them.
    bool HasWordsToSave(const WordTable& table) const;

    // Writes the table's words over the file they came from. When the file changed since
    // the load, the table is first refilled with the merge (and sorted); the check is made
    // again just before the new content takes the file's place, and the merge redone if
    // the file changed meanwhile. Throws the error of a failed read (words typed into what
    // it left are never saved over the file), EInOutError, or the table's error.
    void Save(WordTable& table);

  private:
    void Merge(WordTable& table);

    WordsFrom from_ = WordsFrom::Nothing;
    std::string fileName_;
    int length_ = 0;
    std::exception_ptr loadError_;  // what stopped a failed read
    int loadedCount_ = 0;           // the records the load left
    bool typed_ = false;            // a word was posted since the load
    WordFileSnapshot loaded_;       // the file as it was read or last written
};

}  // namespace kormoszi
