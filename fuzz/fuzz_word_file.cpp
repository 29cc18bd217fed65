// Any bytes as a word file, read with every word length N from 1 to 8 and written back:
// the table must hold exactly the file's complete N-byte pieces (cut as the field cuts
// them), the file written must be exactly those words, N bytes each, first in file order
// and then sorted, and nothing may be left open or lying beside the file.

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
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

namespace fs = std::filesystem;

// A scratch directory, in memory where the system has one: saves sync, and tmpfs makes
// that free.
struct Scratch {
    std::string dir;
    Scratch() {
        std::error_code error;
        const fs::path base =
            fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::mt19937 random{std::random_device{}()};
        for (int attempt = 0; dir.empty(); ++attempt) {
            const fs::path candidate = base / ("kormoszi-fuzz-" + std::to_string(random()));
            if (fs::create_directory(candidate, error))
                dir = candidate.string();
            else if (attempt == 100)
                std::abort();
        }
    }
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
};

const std::string& ScratchDir() {
    static const Scratch scratch;
    return scratch.dir;
}

// What grows by one for each file left open: the lowest free descriptor, or the count of
// the process's handles on Windows.
int OpenFilesMark() {
#ifdef _WIN32
    DWORD count = 0;
    ::GetProcessHandleCount(::GetCurrentProcess(), &count);
    return static_cast<int>(count);
#else
    int fd = ::dup(0);
    ::close(fd);
    return fd;
#endif
}

std::vector<std::string> Entries(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    return names;
}

void WriteRaw(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    FUZZ_CHECK(static_cast<bool>(out), "cannot write the scratch file");
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    FUZZ_CHECK(static_cast<bool>(out.flush()), "short write of the scratch file");
}

std::string ReadRaw(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    FUZZ_CHECK(static_cast<bool>(in), "the word file is gone");
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
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
    const std::string file = (fs::path(dir) / "len.txt").string();
    const int freeDescriptor = OpenFilesMark();  // libFuzzer opens files between runs
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
        FUZZ_CHECK(OpenFilesMark() == freeDescriptor, "a descriptor stayed open: " + context);
    }
    return 0;
}
