#include "words/words_origin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/file_access.h"
#include "platform/test_file_helpers.h"
#include "support/words_in_order.h"

namespace kormoszi {
namespace {

using test::ReadBytes;
using test::ScratchDir;
using test::WriteBytes;

std::vector<std::uint64_t> Packed(const std::vector<std::string>& words) {
    std::vector<std::uint64_t> packed;
    packed.reserve(words.size());
    for (const std::string& word : words)
        packed.push_back(PackWord(word, 3));
    return packed;
}

TEST(MergeChangesTest, CountsPerWordAndNeverBelowZero) {
    // aaa: 1 now + 3 here - 2 loaded; bbb: 2 + 0 - 1; ccc removed here and by nobody
    // else: gone; ddd: the other side's; eee: ours; fff removed on both sides: gone once.
    const auto merged = MergeChanges(Packed({"aaa", "ccc", "bbb", "aaa", "fff"}),
                                     Packed({"bbb", "aaa", "ddd", "bbb"}),
                                     Packed({"eee", "aaa", "ccc", "aaa", "aaa"}));
    EXPECT_EQ(merged, Packed({"aaa", "aaa", "bbb", "ddd", "eee"}));
    EXPECT_EQ(UnpackWord(PackWord(std::string("a\0c", 3), 3), 3), std::string("a\0c", 3));
}

// Seven-letter words numbered from first on, as one file's bytes.
std::string Numbered(int first, int count, char letter = 'w') {
    std::string bytes;
    char word[16];
    for (int i = first; i < first + count; ++i) {
        std::snprintf(word, sizeof word, "%c%06d", letter, i);
        bytes.append(word, 7);
    }
    return bytes;
}

std::vector<std::string> Split(const std::string& bytes) {
    std::vector<std::string> words;
    for (std::size_t at = 0; at + 7 <= bytes.size(); at += 7)
        words.push_back(bytes.substr(at, 7));
    return words;
}

class WordsOriginTest : public ::testing::Test {
  protected:
    // Loads 1,000 words, then inserts three and removes the first two, as an editor would.
    void SetUp() override {
        WriteBytes(name, Numbered(0, 1000));
        table.OpenTable();
        origin.Load(table, name, 7);
        table.SortBy("szo");
        for (const char* word : {"x000001", "x000002", "x000003"}) {
            table.BeginInsert();
            table.SetWordText(word);
            table.PostRecord();
            origin.NoteTyped();
        }
        table.MoveFirst();
        table.RemoveCurrent();
        table.MoveFirst();
        table.RemoveCurrent();
    }
    // What the file must hold: the words given plus ours, minus the two we removed, sorted.
    std::vector<std::string> Expected(const std::string& theirs) {
        std::vector<std::string> words = Split(theirs);
        std::erase(words, "w000000");
        std::erase(words, "w000001");
        for (const char* word : {"x000001", "x000002", "x000003"})
            words.emplace_back(word);
        std::sort(words.begin(), words.end());
        return words;
    }

    ScratchDir dir;
    const std::string name = dir / "len7.txt";
    WordTable table;
    WordsOrigin origin;
};

TEST_F(WordsOriginTest, AFileNobodyElseChangedIsWrittenExactlyFromTheTable) {
    const std::vector<std::string> before = testing::WordsInOrder(table);
    origin.Save(table);
    EXPECT_EQ(Split(ReadBytes(name)), before);
    EXPECT_EQ(testing::WordsInOrder(table), before);
    // A second save after another writer appended counts nothing of ours twice.
    std::ofstream(name, std::ios::binary | std::ios::app) << "y000001";
    origin.Save(table);
    std::vector<std::string> expected = before;
    expected.emplace_back("y000001");
    EXPECT_EQ(Split(ReadBytes(name)), expected);
}

// Another program appended to the file, replaced it, or wrote it through another name:
// no word of either side is lost.
TEST_F(WordsOriginTest, OtherWritersKeepTheirWords) {
    const std::string appended = Numbered(0, 1000) + Numbered(0, 500, 'v');
    WriteBytes(name, appended);
    origin.Save(table);
    EXPECT_EQ(Split(ReadBytes(name)), Expected(appended));
    EXPECT_EQ(testing::WordsInOrder(table), Expected(appended));

    WriteBytes(dir / "new.txt", Numbered(5000, 800));
    std::filesystem::rename(dir / "new.txt", name);
    table.BeginInsert();
    table.SetWordText("x000004");
    table.PostRecord();
    origin.Save(table);
    std::vector<std::string> replaced = Split(Numbered(5000, 800));
    replaced.emplace_back("x000004");
    std::sort(replaced.begin(), replaced.end());
    EXPECT_EQ(Split(ReadBytes(name)), replaced);

    const std::string other = dir / "other.txt";
    std::filesystem::create_hard_link(name, other);
    WriteBytes(other, Numbered(7000, 10));  // in place, through the other name
    table.BeginInsert();
    table.SetWordText("x000005");
    table.PostRecord();
    origin.Save(table);
    // Their new list dropped x000004 after our save had written it: their removal stands.
    std::vector<std::string> linked = Split(Numbered(7000, 10));
    linked.emplace_back("x000005");
    EXPECT_EQ(Split(ReadBytes(name)), linked);
    EXPECT_EQ(ReadBytes(other), ReadBytes(name));
}

// A list begun on a missing file goes into a file another program made meanwhile beside
// its words; what a failed read left is never saved, and cancelling is no typing.
TEST(WordsOriginRules, MissingFileAndFailedRead) {
    ScratchDir dir;
    const std::string name = dir / "len3.txt";
    WordTable table;
    WordsOrigin origin;
    table.OpenTable();
    origin.LoadMissing(name, 3);
    EXPECT_FALSE(origin.HasWordsToSave(table));
    table.BeginInsert();
    table.SetWordText("ccc");
    table.PostRecord();
    EXPECT_TRUE(origin.HasWordsToSave(table));
    WriteBytes(name, "bbbaaa");
    origin.Save(table);
    EXPECT_EQ(ReadBytes(name), "aaabbbccc");

    WriteBytes(name, "abc");
    test::MakeReadOnly(name);
    table.CloseTable();
    table.OpenTable();
    const int code = test::RunWhereModesBind([&] {
        WordsOrigin failed;
        const int load = test::FileErrorOf([&] { failed.Load(table, name, 3); });
        table.BeginInsert();
        table.CancelRecord();
        if (load != 5 || failed.From() != WordsFrom::FailedRead || failed.HasWordsToSave(table))
            return 1;
        table.BeginInsert();
        table.SetWordText("xyz");
        table.PostRecord();
        failed.NoteTyped();
        return failed.HasWordsToSave(table) ? test::FileErrorOf([&] { failed.Save(table); }) : 2;
    });
    if (code == test::kChildNotSetUp)
        GTEST_SKIP()
            << "the file modes do not bind here (no uid 65534 to drop to, or Wine run as root)";
    EXPECT_EQ(code, 5);
    EXPECT_EQ(ReadBytes(name), "abc");
}

}  // namespace
}  // namespace kormoszi
