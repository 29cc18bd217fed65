// Any bytes as a word file, read with every word length N from 1 to 8 and written back:
// the table must hold exactly the file's complete N-byte pieces (cut as the field cuts
// them), the file written must be exactly those words, N bytes each, first in file order
// and then sorted, and nothing may be left open or lying beside the file.

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "platform/file_access.h"
#include "words/word_file.h"
#include "words/word_table.h"

using kormoszi::EInOutError;
using kormoszi::WordTable;
using kormoszi::fuzz::Show;

namespace {

// A scratch directory, in memory where the system has one: saves sync, and tmpfs makes
// that free.
struct Scratch {
    std::string dir;
    Scratch() {
        std::string base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        dir = base + "/kormoszi-fuzz-XXXXXX";
        if (::mkdtemp(dir.data()) == nullptr)
            std::abort();
    }
    ~Scratch() {
        ::unlink((dir + "/len.txt").c_str());
        ::rmdir(dir.c_str());
    }
};

const std::string& ScratchDir() {
    static const Scratch scratch;
    return scratch.dir;
}

int LowestFreeDescriptor() {
    int fd = ::dup(0);
    ::close(fd);
    return fd;
}

std::vector<std::string> Entries(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = ::opendir(dir.c_str());
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(d);
    return names;
}

void WriteRaw(const std::string& path, const std::string& bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    FUZZ_CHECK(fd >= 0, "cannot write the scratch file");
    FUZZ_CHECK(::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()),
               "short write of the scratch file");
    ::close(fd);
}

std::string ReadRaw(const std::string& path) {
    std::string bytes;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    FUZZ_CHECK(fd >= 0, "the word file is gone");
    char chunk[4096];
    ssize_t done;
    while ((done = ::read(fd, chunk, sizeof chunk)) > 0)
        bytes.append(chunk, static_cast<std::size_t>(done));
    ::close(fd);
    return bytes;
}

// The word the field keeps of an N-byte piece: at most 7 bytes, ending at the first NUL.
std::string AsStored(const std::string& piece) {
    std::string word = piece.substr(0, WordTable::kFieldSize);
    return word.substr(0, word.find('\0'));
}

std::vector<std::string> Visit(WordTable& table) {
    std::vector<std::string> words;
    for (table.MoveFirst(); !table.AtEnd(); table.MoveNext())
        words.push_back(table.WordText());
    return words;
}

std::string Padded(const std::vector<std::string>& words, int n) {
    std::string bytes;
    for (std::string word : words) {
        word.resize(static_cast<std::size_t>(n), '\0');
        bytes += word;
    }
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string& dir = ScratchDir();
    const std::string file = dir + "/len.txt";
    const int freeDescriptor = LowestFreeDescriptor();  // libFuzzer opens files between runs
    static WordTable table;

    for (int n = 1; n <= 8; ++n) {
        const std::string context = "N=" + std::to_string(n) + " file " + Show(bytes);
        std::vector<std::string> expected;
        for (std::size_t at = 0; at + static_cast<std::size_t>(n) <= size;
             at += static_cast<std::size_t>(n))
            expected.push_back(AsStored(bytes.substr(at, static_cast<std::size_t>(n))));

        WriteRaw(file, bytes);
        table.CloseTable();
        table.OpenTable();
        int code = 0;
        try {
            kormoszi::ReadWordFile(table, file, n);
        } catch (const EInOutError& error) {
            code = error.Code();
        }
        FUZZ_CHECK(code == (size % static_cast<std::size_t>(n) == 0 ? 0 : 100),
                   "read ended with code " + std::to_string(code) + ": " + context);
        FUZZ_CHECK(table.CountRecords() == static_cast<int>(expected.size()),
                   "word count " + std::to_string(table.CountRecords()) + ": " + context);
        FUZZ_CHECK(Visit(table) == expected, "words read differ: " + context);

        kormoszi::WriteWordFile(table, file, n);
        FUZZ_CHECK(ReadRaw(file) == Padded(expected, n), "file order written wrongly: " + context);

        table.SortBy("szo");
        std::vector<std::string> sorted = Visit(table);
        kormoszi::WriteWordFile(table, file, n);
        FUZZ_CHECK(ReadRaw(file) == Padded(sorted, n), "sorted words written wrongly: " + context);
        std::vector<std::string> a = sorted, b = expected;
        std::sort(a.begin(), a.end());
        std::sort(b.begin(), b.end());
        FUZZ_CHECK(a == b, "sorting lost or made words: " + context);
        for (std::size_t i = 1; i < sorted.size(); ++i)
            FUZZ_CHECK(table.Collation().Compare(sorted[i - 1], sorted[i]) <= 0,
                       "out of order: " + Show(sorted[i - 1]) + " before " + Show(sorted[i]) +
                           ": " + context);

        FUZZ_CHECK(Entries(dir) == std::vector<std::string>{"len.txt"},
                   "something was left beside the word file: " + context);
        FUZZ_CHECK(LowestFreeDescriptor() == freeDescriptor,
                   "a descriptor stayed open: " + context);
    }
    return 0;
}
