#include "words/word_file.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_access.h"
#include "platform/test_file_helpers.h"
#include "support/words_in_order.h"

namespace kormoszi {
namespace {

using test::FileErrorOf;
using test::ReadBytes;
using test::ScratchDir;
using test::WriteBytes;

class WordFileTest : public ::testing::Test {
  protected:
    void SetUp() override { table.OpenTable(); }

    // Loads bytes as the file name with words of n bytes into the (empty) table.
    void Load(const std::string& bytes, int n) {
        WriteBytes(dir / name, bytes);
        ReadWordFile(table, dir / name, n);
    }

    ScratchDir dir;
    const std::string name = "len3.txt";
    WordTable table;
};

TEST_F(WordFileTest, ReadsInFileOrderAndWritesInCursorOrder) {
    Load("dddcccbbbabcaaa", 3);
    EXPECT_EQ(testing::WordsInOrder(table),
              (std::vector<std::string>{"ddd", "ccc", "bbb", "abc", "aaa"}));
    table.SortBy("szo");
    WriteWordFile(table, dir / name, 3);
    EXPECT_EQ(ReadBytes(dir / name), "aaaabcbbbcccddd");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{name});
}

TEST_F(WordFileTest, IncompleteLastWordPostsTheOthersThenFailsWith100) {
    int before = test::OpenDescriptorCount();
    WriteBytes(dir / name, "abcdefg");
    try {
        ReadWordFile(table, dir / name, 3);
        FAIL() << "no error for the incomplete word";
    } catch (const EInOutError& error) {
        EXPECT_EQ(error.Code(), 100);
        EXPECT_STREQ(error.what(), "Read beyond end of file");
    }
    EXPECT_EQ(testing::WordsInOrder(table), (std::vector<std::string>{"abc", "def"}));
    EXPECT_EQ(test::OpenDescriptorCount(), before);
}

TEST_F(WordFileTest, EmptyFileGivesEmptyTableAndWritesBackEmpty) {
    Load("", 4);
    EXPECT_EQ(table.CountRecords(), 0);
    WriteWordFile(table, dir / name, 4);
    EXPECT_EQ(ReadBytes(dir / name), "");
}

TEST_F(WordFileTest, BytesComeBackUnchanged) {
    // Windows-1250 á, ű, ő, É; a NUL ends the stored word and comes back as padding.
    const std::string bytes =
        std::string("\xE1rv\xFB") + "t\xF5ke" + std::string("ab\0\0", 4) + "\xC9g\xE9s";
    Load(bytes, 4);
    EXPECT_EQ(testing::WordsInOrder(table)[0], "\xE1rv\xFB");
    EXPECT_EQ(testing::WordsInOrder(table)[2], "ab");
    WriteWordFile(table, dir / name, 4);
    EXPECT_EQ(ReadBytes(dir / name), bytes);

    table.CloseTable();
    table.OpenTable();
    Load(std::string("x\0yz", 4), 4);
    EXPECT_EQ(testing::WordsInOrder(table), std::vector<std::string>{"x"})
        << "the word ends at the NUL";
    WriteWordFile(table, dir / name, 4);
    EXPECT_EQ(ReadBytes(dir / name), std::string("x\0\0\0", 4));
}

TEST_F(WordFileTest, ThousandWordsOfFiveMakeExactly5000Bytes) {
    for (int i = 0; i < 1000; ++i) {
        std::string word = "aaaaa";
        for (int k = 0, v = i; k < 3; ++k, v /= 10)
            word[static_cast<std::size_t>(4 - k)] = static_cast<char>('a' + v % 10);
        table.BeginInsert();
        table.SetWordText(word);
        table.PostRecord();
    }
    WriteWordFile(table, dir / "len5.txt", 5);
    std::string bytes = ReadBytes(dir / "len5.txt");
    EXPECT_EQ(bytes.size(), 5000u);
    EXPECT_EQ(bytes.find('\n'), std::string::npos);
    EXPECT_EQ(bytes.substr(0, 10), "aaaaaaaaab");
}

TEST_F(WordFileTest, FileErrorsOnLoadAndSave) {
    int before = test::OpenDescriptorCount();
    EXPECT_EQ(FileErrorOf([&] { ReadWordFile(table, dir / "len4.txt", 4); }), 2);
    EXPECT_EQ(FileErrorOf([&] { ReadWordFile(table, dir / "gone/len4.txt", 4); }), 3);
    EXPECT_EQ(table.CountRecords(), 0);

    // The game directory vanished since loading.
    auto game = std::make_unique<ScratchDir>();
    std::string file = *game / "len5.txt";
    Load("abc", 3);
    game.reset();
    EXPECT_EQ(FileErrorOf([&] { WriteWordFile(table, file, 5); }), 3);
    EXPECT_EQ(test::OpenDescriptorCount(), before);
}

TEST_F(WordFileTest, ReadOnlyWordFileNeitherLoadsNorChanges) {
    test::GiveToChild(dir.Path());
    WriteBytes(dir / name, "abcdef");
    test::GiveToChild(dir / name);
    test::MakeReadOnly(dir / name);
    auto unprivileged = [&](const std::function<void()>& op) {
        return test::RunWhereModesBind([&] { return FileErrorOf(op); });
    };
    int load = unprivileged([&] { ReadWordFile(table, dir / name, 3); });
    if (load == test::kChildNotSetUp)
        GTEST_SKIP()
            << "the file modes do not bind here (no uid 65534 to drop to, or Wine run as root)";
    EXPECT_EQ(load, 5);
    table.BeginInsert();
    table.SetWordText("xyz");
    table.PostRecord();
    EXPECT_EQ(unprivileged([&] { WriteWordFile(table, dir / name, 3); }), 5);
    EXPECT_EQ(ReadBytes(dir / name), "abcdef");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{name});
}

}  // namespace
}  // namespace kormoszi
