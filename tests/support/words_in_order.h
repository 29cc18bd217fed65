#pragma once
// The words of a table in the order its cursor visits them, as a save writes them.

#include <string>
#include <vector>

#include "words/word_table.h"

namespace kormoszi::testing {

inline std::vector<std::string> WordsInOrder(WordTable& table) {
    std::vector<std::string> words;
    for (table.MoveFirst(); !table.AtEnd(); table.MoveNext())
        words.push_back(table.WordText());
    return words;
}

}  // namespace kormoszi::testing
