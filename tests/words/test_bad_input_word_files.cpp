// What the user or the disk can put where a word file should be, and what can happen to
// the game directory between a load and a save: each gives a clear file error, and no
// word, neither in the table nor on disk, is lost.

#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
// after windows.h, whose types it uses
#include <psapi.h>
#else
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_access.h"
#include "platform/test_file_helpers.h"
#include "support/words_in_order.h"
#include "words/word_file.h"
#include "words/word_table.h"

namespace kormoszi {
namespace {

using test::FileErrorOf;
using test::ReadBytes;
using test::ScratchDir;
using test::WriteBytes;

namespace fs = std::filesystem;

#ifdef _WIN32
long PeakMemoryKb() {
    PROCESS_MEMORY_COUNTERS counters{};
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<long>(counters.PeakWorkingSetSize / 1024);
}
#else
long PeakMemoryKb() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
#endif

class BadWordFile : public ::testing::Test {
  protected:
    void SetUp() override { table.OpenTable(); }

    // The table as the editor has it after loading "abc", "xyz" from len3.txt.
    void Load() {
        WriteBytes(file, "xyzabc");
        ReadWordFile(table, file, 3);
        table.SortBy("szo");
    }

    ScratchDir dir;
    const std::string file = dir / "len3.txt";
    WordTable table;
};

// A word file of 1 GiB (sparse: it takes no disk) would need gigabytes of memory as a
// table; it is refused before a byte is read, for every word length, and left alone.
TEST_F(BadWordFile, OneGigabyteFileIsRefusedWithinBoundedMemory) {
    constexpr std::uintmax_t kGigabyte = std::uintmax_t{1} << 30;
    WriteBytes(file, "");
    fs::resize_file(file, kGigabyte);
    const int descriptors = test::OpenDescriptorCount();
    const long peakBefore = PeakMemoryKb();
    for (int n = 3; n <= 7; ++n) {
        try {
            ReadWordFile(table, file, n);
            FAIL() << "a 1 GiB file was loaded with N=" << n;
        } catch (const EInOutError& error) {
            EXPECT_EQ(error.Code(), 27) << "N=" << n;
            EXPECT_STREQ(error.what(), "I/O error 27");
        }
        EXPECT_EQ(table.CountRecords(), 0);
    }
    EXPECT_LT(PeakMemoryKb() - peakBefore, 64 * 1024) << "kB more at the peak";
    EXPECT_EQ(test::OpenDescriptorCount(), descriptors);
    EXPECT_EQ(fs::file_size(file), kGigabyte);

    // Just past the limit: one byte more than the largest file of 7-letter words that loads.
    const auto limit = static_cast<std::uintmax_t>(kMaxWordFileWords * 7);
    fs::resize_file(file, limit + 1);
    EXPECT_EQ(FileErrorOf([&] { ReadWordFile(table, file, 7); }), 27);
    EXPECT_EQ(FileErrorOf([&] { ReadWordFile(table, file, 3); }), 27);
}

#ifndef _WIN32  // links of Windows need a privilege that the tests do not have
// A link that points at itself, or two that point at each other: no load, no save, and
// neither link is replaced by a file.
TEST_F(BadWordFile, SymbolicLinkLoopFailsBothWaysAndStaysALink) {
    ASSERT_EQ(::symlink("len3.txt", file.c_str()), 0);
    ASSERT_EQ(::symlink("b", (dir / "a").c_str()), 0);
    ASSERT_EQ(::symlink("a", (dir / "b").c_str()), 0);
    for (const std::string& name : {file, dir / "a"}) {
        EXPECT_FALSE(FileExists(name));
        EXPECT_EQ(FileErrorOf([&] { ReadWordFile(table, name, 3); }), ELOOP) << name;
    }
    EXPECT_EQ(table.CountRecords(), 0);

    table.BeginInsert();
    table.SetWordText("abc");
    table.PostRecord();
    for (const std::string& name : {file, dir / "a"}) {
        EXPECT_EQ(FileErrorOf([&] { WriteWordFile(table, name, 3); }), ELOOP) << name;
        char target[16] = {};
        EXPECT_GT(::readlink(name.c_str(), target, sizeof target - 1), 0) << name;
    }
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"a", "b", "len3.txt"}));
    EXPECT_EQ(testing::WordsInOrder(table), std::vector<std::string>{"abc"});
}
#endif

// The game directory named in the settings is a file: 3 "Invalid filename" both ways,
// and the file is not touched.
TEST_F(BadWordFile, GameDirectoryThatIsAFile) {
    const std::string game = dir / "game";
    WriteBytes(game, "not a directory");
    const std::string inside = JoinPath(game, "len3.txt");
    EXPECT_FALSE(FileExists(inside));
    EXPECT_EQ(FileErrorOf([&] { ReadWordFile(table, inside, 3); }), 3);
    Load();
    EXPECT_EQ(FileErrorOf([&] { WriteWordFile(table, inside, 3); }), 3);
    EXPECT_EQ(ReadBytes(game), "not a directory");
    EXPECT_EQ(testing::WordsInOrder(table), (std::vector<std::string>{"abc", "xyz"}));
}

// Between the load and the save the game directory is removed, or replaced by a file:
// the save fails with 3, the table keeps every word, and once the directory is back the
// same save writes them all.
TEST_F(BadWordFile, GameDirectoryGoneBetweenLoadAndSave) {
    const std::string game = dir / "game";
    fs::create_directory(game);
    const std::string name = JoinPath(game, "len3.txt");
    WriteBytes(name, "xyzabc");
    ReadWordFile(table, name, 3);
    table.SortBy("szo");

    std::filesystem::remove_all(game);
    EXPECT_EQ(FileErrorOf([&] { WriteWordFile(table, name, 3); }), 3);
    WriteBytes(game, "");
    EXPECT_EQ(FileErrorOf([&] { WriteWordFile(table, name, 3); }), 3);
    EXPECT_EQ(ReadBytes(game), "");
    EXPECT_EQ(testing::WordsInOrder(table), (std::vector<std::string>{"abc", "xyz"}));

    fs::remove(game);
    fs::create_directory(game);
    WriteWordFile(table, name, 3);
    EXPECT_EQ(ReadBytes(name), "abcxyz");
}

// Another program replaces the word file between the load and the save. Whatever it put
// there, the save writes the user's words as a whole (or, where nothing can be written,
// fails with 5 and leaves the other program's work alone), and leaves nothing beside it.
TEST_F(BadWordFile, FileReplacedByAnotherProgramBetweenLoadAndSave) {
    Load();
    auto entries = [&] { return dir.Entries(); };

    // A new file renamed over it, with other words (on POSIX other permissions).
    WriteBytes(dir / "other", "qqqwwweeerrr");
#ifndef _WIN32
    ASSERT_EQ(::chmod((dir / "other").c_str(), 0640), 0);
#endif
    fs::rename(dir / "other", file);
    WriteWordFile(table, file, 3);
    EXPECT_EQ(ReadBytes(file), "abcxyz");
#ifndef _WIN32
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u) << "the permissions of the file found are kept";
#endif
    EXPECT_EQ(entries(), std::vector<std::string>{"len3.txt"});

    // Changed in place, longer than before.
    WriteBytes(file, std::string(3000, 'k'));
    WriteWordFile(table, file, 3);
    EXPECT_EQ(ReadBytes(file), "abcxyz");

    // Removed: the save makes it again.
    fs::remove(file);
    WriteWordFile(table, file, 3);
    EXPECT_EQ(ReadBytes(file), "abcxyz");

    // A directory: 5 at once, nothing replaced.
    fs::remove(file);
    fs::create_directory(file);
    WriteBytes(JoinPath(file, "inside"), "kept");
    EXPECT_EQ(FileErrorOf([&] { WriteWordFile(table, file, 3); }), 5);
    EXPECT_EQ(ReadBytes(JoinPath(file, "inside")), "kept");
    fs::remove_all(file);
    EXPECT_EQ(testing::WordsInOrder(table), (std::vector<std::string>{"abc", "xyz"}));
}

#ifndef _WIN32  // links of Windows need a privilege that the tests do not have; no FIFOs
TEST_F(BadWordFile, FileReplacedByALinkOrAFifoBetweenLoadAndSave) {
    Load();
    auto entries = [&] { return dir.Entries(); };

    // A symbolic link to a file elsewhere: the link stays, its target gets the words.
    ScratchDir elsewhere;
    WriteBytes(elsewhere / "words", "zzz");
    ASSERT_EQ(::unlink(file.c_str()), 0);
    ASSERT_EQ(::symlink((elsewhere / "words").c_str(), file.c_str()), 0);
    WriteWordFile(table, file, 3);
    EXPECT_EQ(ReadBytes(elsewhere / "words"), "abcxyz");
    struct stat link {};
    ASSERT_EQ(::lstat(file.c_str(), &link), 0);
    EXPECT_TRUE(S_ISLNK(link.st_mode));

    // A FIFO: 5 at once (nothing waits on it), nothing replaced.
    ASSERT_EQ(::unlink(file.c_str()), 0);
    ASSERT_EQ(::mkfifo(file.c_str(), 0644), 0);
    EXPECT_EQ(FileErrorOf([&] { WriteWordFile(table, file, 3); }), 5);
    ASSERT_EQ(::lstat(file.c_str(), &link), 0);
    EXPECT_TRUE(S_ISFIFO(link.st_mode));
    EXPECT_EQ(entries(), std::vector<std::string>{"len3.txt"});

    EXPECT_EQ(testing::WordsInOrder(table), (std::vector<std::string>{"abc", "xyz"}));
}
#endif

}  // namespace
}  // namespace kormoszi
