// Saves a fixed list of 38,000 seven-letter words into a word file, the way the editor
// does, for the fault-injection script. "old" and "new" give two different lists.
// Exit status 0 when the save reported success, 1 (with the file error on stderr) when not.

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/file_access.h"
#include "words/word_file.h"
#include "words/word_table.h"

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[2], "old") != 0 && std::strcmp(argv[2], "new") != 0)) {
        std::fprintf(stderr, "usage: %s FILE old|new\n", argv[0]);
        return 2;
    }
    unsigned state = argv[2][0] == 'o' ? 1u : 2u;
    kormoszi::WordTable table;
    table.OpenTable();
    std::string word(7, ' ');
    for (int i = 0; i < 38'000; ++i) {
        for (char& c : word) {
            state = state * 1103515245u + 12345u;
            c = static_cast<char>('a' + (state >> 16) % 26);
        }
        table.BeginInsert();
        table.SetWordText(word);
        table.PostRecord();
    }
    try {
        kormoszi::WriteWordFile(table, argv[1], 7);
    } catch (const kormoszi::EInOutError& error) {
        std::fprintf(stderr, "%d %s\n", error.Code(), error.what());
        return 1;
    }
    return 0;
}
