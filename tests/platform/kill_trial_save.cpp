// The worker of the kill trials (scripts/kill-trials): writes, saves, loads and checks
// word files of seven-letter words through the file layer, as the editor does.
//
//   kill_trial_save make  FILE WORDS old|new        write the list directly, as a start
//   kill_trial_save save  FILE WORDS old|new READY  save the list; a line goes to the
//                                                   file READY once the save begins
//   kill_trial_save check FILE WORDS                load FILE (which rolls back an
//                                                   interrupted rewrite) and print old,
//                                                   new or neither
//   kill_trial_save interrupt FILE WORDS old|new    leave what a rewrite in place killed
//                                                   half-way leaves: FILE's content in a
//                                                   journal, the list's first half over it
// Exit status 0 when it worked, 1 with the file error on stderr when not.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/file_access.h"
#include "platform/rollback_journal.h"

namespace {

constexpr std::size_t kLength = 7;

// A list of words different from the other list at every word.
std::string WordList(std::size_t words, unsigned seed) {
    std::string bytes(words * kLength, '\0');
    unsigned state = seed * 2654435761u;
    for (char& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>('a' + (state >> 16) % 26);
    }
    for (std::size_t i = 0; i < words; ++i)
        bytes[i * kLength] = seed == 1 ? 'o' : 'n';
    return bytes;
}

void Save(const std::string& name, const std::string& bytes) {
    kormoszi::RecordFile file(name);
    file.Create();
    for (std::size_t at = 0; at < bytes.size(); at += kLength)
        file.Write(bytes.data() + at, kLength);
    file.Close();
}

std::string Load(const std::string& name) {
    kormoszi::RecordFile file(name);
    file.Open();
    std::string bytes;
    char word[kLength];
    while (!file.Eof()) {
        file.Read(word, kLength);
        bytes.append(word, kLength);
    }
    file.Close();
    return bytes;
}

int Run(int argc, char** argv) {
    const std::string mode = argv[1], name = argv[2];
    const std::size_t words = std::strtoul(argv[3], nullptr, 10);
    if (mode == "check" && argc == 4) {
        const std::string bytes = Load(name);
        std::puts(bytes == WordList(words, 1)   ? "old"
                  : bytes == WordList(words, 2) ? "new"
                                                : "neither");
        return 0;
    }
    if (argc < 5)
        return 2;
    const std::string list = WordList(words, std::strcmp(argv[4], "old") == 0 ? 1 : 2);
    if (mode == "make" && argc == 5) {
        std::ofstream(name, std::ios::binary | std::ios::trunc) << list;
        return 0;
    }
    if (mode == "interrupt" && argc == 5) {
        const std::string old = Load(name);
        std::error_code error;
        const std::string real = std::filesystem::canonical(name, error).string();
        kormoszi::RollbackJournal journal;
        if (error || journal.Write(real, kormoszi::StampOf(name).Inode, old) != 0)
            return 1;
        std::fstream file(name, std::ios::binary | std::ios::in | std::ios::out);
        file.write(list.data(), static_cast<std::streamsize>(list.size() / 2));
        file.flush();
        std::_Exit(file ? 0 : 1);  // the journal stays, as after a kill
    }
    if (mode == "save" && argc == 6) {
        std::ofstream(argv[5]) << "saving" << std::endl;
        Save(name, list);
        return 0;
    }
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s make|save|check|interrupt FILE WORDS [old|new [READY]]\n",
                     argv[0]);
        return 2;
    }
    try {
        return Run(argc, argv);
    } catch (const kormoszi::EInOutError& error) {
        std::fprintf(stderr, "%s (%d)\n", error.what(), error.Code());
        return 1;
    }
}
