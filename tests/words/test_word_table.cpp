#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "support/words_in_order.h"
#include "words/word_table.h"

namespace kormoszi {
namespace {

// Records every notice and event in order, as one readable line.
struct Log : TableLink {
    std::vector<std::string> lines;
    void Notify(TableNotice notice, int info) override {
        static const char* names[] = {"State",  "SuspendedState", "Content", "Scroll",
                                      "Record", "Field",          "Update",  "Settle"};
        std::string line = names[static_cast<int>(notice)];
        if (notice == TableNotice::Scroll || notice == TableNotice::SuspendedState)
            line += "(" + std::to_string(info) + ")";
        lines.push_back(line);
    }
    void Watch(WordTable& t) {
        t.AddLink(this);
        t.AfterInsert = [this](WordTable&) { lines.push_back("AfterInsert"); };
        t.AfterEdit = [this](WordTable&) { lines.push_back("AfterEdit"); };
        t.BeforePost = [this](WordTable&) { lines.push_back("BeforePost"); };
        t.AfterPost = [this](WordTable&) { lines.push_back("AfterPost"); };
        t.AfterCancel = [this](WordTable&) { lines.push_back("AfterCancel"); };
    }
    std::string Take() {
        std::string all;
        for (const auto& l : lines)
            all += (all.empty() ? "" : " ") + l;
        lines.clear();
        return all;
    }
};

void Add(WordTable& t, const std::string& word) {
    t.BeginInsert();
    t.SetWordText(word);
    t.PostRecord();
}

void Load(WordTable& t, const std::vector<std::string>& words, bool sort = true) {
    t.CloseTable();
    t.OpenTable();
    for (const auto& w : words)
        Add(t, w);
    if (sort) {
        t.SortBy("szo");
        t.MoveFirst();
    }
}

using Words = std::vector<std::string>;

TEST(WordTable, LoadSortAndVisit) {
    WordTable t;
    EXPECT_EQ(t.State(), TableState::Inactive);
    Load(t, {"ccc", "aaa", "bbb"}, false);
    EXPECT_EQ(t.CountRecords(), 3);
    EXPECT_EQ(testing::WordsInOrder(t), (Words{"ccc", "aaa", "bbb"}));

    t.SortBy("szo");
    t.MoveFirst();
    EXPECT_FALSE(t.AtEnd());
    EXPECT_EQ(t.WordText(), "aaa");
    t.MoveNext();
    t.MoveNext();
    EXPECT_FALSE(t.AtEnd());
    t.MoveNext();  // finds nothing after ccc and stays there
    EXPECT_TRUE(t.AtEnd());
    EXPECT_EQ(t.WordText(), "ccc");

    t.CloseTable();
    t.OpenTable();
    EXPECT_EQ(t.CountRecords(), 0);
    EXPECT_TRUE(t.TableEmpty());
    t.MoveFirst();
    EXPECT_TRUE(t.AtEnd());
    // No sort order survives: new words keep insertion order until sorted again.
    Add(t, "b");
    Add(t, "a");
    EXPECT_EQ(testing::WordsInOrder(t), (Words{"b", "a"}));
}

TEST(WordTable, PostChangeDeleteAndCancelKeepTheOrder) {
    WordTable t;
    Load(t, {"aaa", "bbb", "ccc"});

    Add(t, "abc");  // the cursor goes to the last record, not to the new word
    EXPECT_EQ(t.WordText(), "ccc");
    EXPECT_EQ(testing::WordsInOrder(t), (Words{"aaa", "abc", "bbb", "ccc"}));
    EXPECT_TRUE(t.SeekNearest("abc"));
    EXPECT_EQ(t.WordText(), "abc");

    Load(t, {"aaa", "bbb", "ccc"});
    t.SeekNearest("bbb");
    t.BeginEdit();
    t.SetWordText("ddd");
    t.PostRecord();
    EXPECT_EQ(t.WordText(), "ccc");  // the record now at the old place
    EXPECT_EQ(testing::WordsInOrder(t), (Words{"aaa", "ccc", "ddd"}));

    Load(t, {"aaa", "bbb", "ccc"});
    t.SeekNearest("ccc");
    t.RemoveCurrent();
    EXPECT_EQ(t.WordText(), "bbb");
    Load(t, {"aaa", "bbb", "ccc"});
    t.SeekNearest("bbb");
    t.RemoveCurrent();
    EXPECT_EQ(t.WordText(), "ccc");
    Load(t, {"only"});
    t.RemoveCurrent();
    EXPECT_TRUE(t.TableEmpty());
    EXPECT_EQ(t.WordText(), "");
    EXPECT_THROW(t.RemoveCurrent(), std::logic_error);

    Load(t, {"aaa", "bbb", "ccc"});
    t.BeginInsert();
    EXPECT_FALSE(t.TableEmpty());
    t.SetWordText("zzz");
    t.CancelRecord();
    EXPECT_EQ(t.CountRecords(), 3);
    EXPECT_EQ(t.WordText(), "ccc");

    t.SeekNearest("aaa");
    t.BeginEdit();
    t.SetWordText("zzz");
    t.CancelRecord();
    EXPECT_EQ(t.WordText(), "aaa");
    EXPECT_EQ(testing::WordsInOrder(t), (Words{"aaa", "bbb", "ccc"}));

    Load(t, {});
    t.BeginInsert();
    t.CancelRecord();
    EXPECT_TRUE(t.TableEmpty());

    // Equal words are two records; the new one comes first among them.
    Load(t, {"aaa", "bbb", "ccc"});
    Add(t, "bbb");
    EXPECT_EQ(testing::WordsInOrder(t), (Words{"aaa", "bbb", "bbb", "ccc"}));
    EXPECT_EQ(t.CountRecords(), 4);
    // Case makes different words.
    Add(t, "Aaa");
    EXPECT_EQ(testing::WordsInOrder(t), (Words{"aaa", "Aaa", "bbb", "bbb", "ccc"}));
}

TEST(WordTable, SetWordTextCutsAndEmptySortsFirst) {
    WordTable t;
    Load(t, {"abcdefghij", std::string("ab\0c", 4), "b"});
    EXPECT_EQ(testing::WordsInOrder(t), (Words{"ab", "abcdefg", "b"}));
    Add(t, "");
    EXPECT_EQ(testing::WordsInOrder(t).front(), "");
    EXPECT_EQ(t.CountRecords(), 4);
}

TEST(WordTable, SeekNearestFindsPrefixOrNextOrLast) {
    WordTable t;
    Load(t, {});
    EXPECT_FALSE(t.SeekNearest("a"));
    EXPECT_TRUE(t.TableEmpty());

    Load(t, {"aaa", "bbb", "ccc"});
    EXPECT_TRUE(t.SeekNearest("b"));
    EXPECT_EQ(t.WordText(), "bbb");
    EXPECT_TRUE(t.SeekNearest("bz"));
    EXPECT_EQ(t.WordText(), "ccc");
    EXPECT_TRUE(t.SeekNearest("zz"));
    EXPECT_EQ(t.WordText(), "ccc");

    Load(t, {"aaa", "abc", "abd", "bcd"});
    t.SeekNearest("a");
    EXPECT_EQ(t.WordText(), "aaa");
    t.SeekNearest("ab");
    EXPECT_EQ(t.WordText(), "abc");
    t.SeekNearest("abx");
    EXPECT_EQ(t.WordText(), "bcd");
}

// Fillers that sort before every test word, to push a list across the point where the
// search changes from a scan to halving.
Words WithFillers(Words words, int total) {
    for (int i = 0; static_cast<int>(words.size()) < total; ++i) {
        const char filler[] = {'a', 'a', static_cast<char>('a' + i / 26),
                               static_cast<char>('a' + i % 26), '\0'};
        words.emplace_back(filler);
    }
    return words;
}

TEST(WordTable, SeekNearestKeepsThePrefixPromiseOnBothSidesOfTwenty) {
    for (int total : {6, 20, 21, 300}) {
        SCOPED_TRACE(total);
        WordTable t;
        Load(t, WithFillers({"kast", "kassza", "megy", "meggy", "mez", "zebra"}, total));
        ASSERT_EQ(t.CountRecords(), total);
        t.SeekNearest("kass");  // kast sorts between kass and kassza
        EXPECT_EQ(t.WordText(), "kassza");
        t.SeekNearest("megg");
        EXPECT_EQ(t.WordText(), "meggy");
        t.SeekNearest("meg");
        EXPECT_EQ(t.WordText(), "megy");
        t.SeekNearest("zz");
        EXPECT_EQ(t.WordText(), "zebra");
        // Accents weigh after letters: kássa comes before kassb, yet kassb is wanted.
        Add(t, "k\xE1ssa");
        Add(t, "kassb");
        t.SeekNearest("kass");
        EXPECT_EQ(t.WordText(), "kassb");
        t.BeginInsert();  // the byte index follows posts and deletes
        t.SetWordText("kassa");
        t.PostRecord();
        t.SeekNearest("kass");
        EXPECT_EQ(t.WordText(), "kassa");
        t.RemoveCurrent();
        t.SeekNearest("kass");
        EXPECT_EQ(t.WordText(), "kassb");
    }
}

TEST(WordTable, TransitionsSendEventsAndNoticesInOrder) {
    WordTable t;
    Log log;
    log.Watch(t);
    t.OpenTable();
    EXPECT_EQ(log.Take(), "State");
    t.BeginInsert();
    EXPECT_EQ(log.Take(), "Settle State Content AfterInsert");
    t.SetWordText("abc");
    EXPECT_EQ(log.Take(), "Field");
    t.PostRecord();
    EXPECT_EQ(log.Take(), "Update Settle BeforePost State Content AfterPost");
    t.BeginEdit();
    EXPECT_EQ(log.Take(), "Settle State Record AfterEdit");
    t.CancelRecord();
    EXPECT_EQ(log.Take(), "Settle State Content AfterCancel");
    t.RemoveCurrent();
    EXPECT_EQ(log.Take(), "Settle Content");

    // Settling: an untouched insert is cancelled, a modified one posted.
    t.BeginInsert();
    log.Take();
    t.MoveFirst();
    EXPECT_EQ(log.Take(), "Settle Update Settle State Content AfterCancel Content");
    t.BeginInsert();
    t.SetWordText("xyz");
    log.Take();
    t.SortBy("szo");
    EXPECT_EQ(log.Take(), "Settle Update Update Settle BeforePost State Content AfterPost Content");
    t.BeginInsert();
    log.Take();
    t.CloseTable();
    EXPECT_EQ(log.Take(), "Settle State Content AfterCancel State");
    t.RemoveLink(&log);
}

TEST(WordTable, SuspendedNoticesNestAndResumeOnce) {
    WordTable t;
    Log log;
    log.Watch(t);
    t.OpenTable();
    Add(t, "aaa");
    log.Take();
    t.SuspendNotices();
    t.SuspendNotices();
    t.BeginInsert();
    t.SetWordText("bbb");
    t.PostRecord();
    t.ResumeNotices();
    // Events still flow; the views hear only the state changes.
    EXPECT_EQ(log.Take(), "SuspendedState(1) AfterInsert BeforePost SuspendedState(1) AfterPost");
    t.ResumeNotices();
    EXPECT_EQ(log.Take(), "Content");
    t.ResumeNotices();  // one too many does nothing
    EXPECT_EQ(log.Take(), "");

    t.SuspendNotices();
    t.CloseTable();
    t.ResumeNotices();
    EXPECT_EQ(log.Take(), "SuspendedState(0) State");
    t.SuspendNotices();
    t.OpenTable();
    t.ResumeNotices();  // the table was closed when suspended: no content to reread
    EXPECT_EQ(log.Take(), "SuspendedState(1) State");
}

TEST(WordTable, ViewWindowFollowsTheCursor) {
    WordTable t;
    Log log;
    Words words;
    for (int i = 0; i < 100; ++i)
        words.push_back(std::string("w").append(std::to_string(1000 + i)));
    Load(t, words);
    t.AddLink(&log);
    t.SetViewWindowSize(5);
    t.MoveFirst();
    log.Take();
    EXPECT_EQ(t.ViewWindowCount(), 5);
    EXPECT_EQ(t.ViewWindowSlot(), 0);
    EXPECT_EQ(t.ViewWindowWord(4), "w1004");

    EXPECT_EQ(t.MoveBy(3), 3);
    EXPECT_EQ(log.Take(), "Settle Scroll(0)");
    EXPECT_EQ(t.MoveBy(3), 3);  // two rows past the window's end
    EXPECT_EQ(log.Take(), "Settle Scroll(2)");
    EXPECT_EQ(t.ViewWindowSlot(), 4);
    EXPECT_EQ(t.ViewWindowWord(4), "w1006");
    EXPECT_EQ(t.MoveBy(-10), -6);  // stops at the first record
    EXPECT_EQ(log.Take(), "Settle Scroll(-2)");
    EXPECT_EQ(t.MoveBy(-1), 0);
    EXPECT_EQ(t.RecordNumber(), 1);

    t.MoveLast();
    EXPECT_EQ(t.RecordNumber(), 100);
    EXPECT_EQ(t.ViewWindowSlot(), 4);
    EXPECT_EQ(t.ViewWindowWord(0), "w1095");
    log.Take();
    t.MoveNext();  // finds no further record: the views still hear of the step, once
    EXPECT_EQ(log.Take(), "Settle Scroll(0)");
    EXPECT_TRUE(t.AtEnd());
    t.MoveNext();
    EXPECT_EQ(log.Take(), "Settle");
    t.GoToRecordNumber(50);
    EXPECT_EQ(t.WordText(), "w1049");
    EXPECT_EQ(t.ViewWindowWord(t.ViewWindowSlot()), "w1049");

    // The row being inserted is the last one of the window.
    t.BeginInsert();
    EXPECT_EQ(t.ViewWindowSlot(), 4);
    EXPECT_EQ(t.ViewWindowWord(3), "w1099");
    t.SetWordText("new");
    EXPECT_EQ(t.ViewWindowWord(4), "new");
    t.CancelRecord();

    // Fewer records than rows: the window holds them all.
    Load(t, {"b", "a"});
    EXPECT_EQ(t.ViewWindowCount(), 2);
    EXPECT_EQ(t.ViewWindowWord(1), "b");
    t.RemoveLink(&log);
}

TEST(WordTable, InvalidLocaleLeavesTheTableAsItWas) {
    WordTable t;
    Load(t, {"aaa", "ccc"});
    t.BeginInsert();
    t.SetWordText("bbb");
    t.Collation().SetUnavailable(true);
    try {
        t.PostRecord();
        FAIL();
    } catch (const ETableError& e) {
        EXPECT_STREQ(e.what(), "Invalid locale.");
    }
    EXPECT_EQ(t.State(), TableState::Inserting);
    EXPECT_EQ(t.WordText(), "bbb");
    EXPECT_EQ(t.CountRecords(), 2);
    EXPECT_THROW(t.SeekNearest("a"), ETableError);  // settles by posting
    t.Collation().SetUnavailable(false);
    t.PostRecord();
    EXPECT_EQ(testing::WordsInOrder(t), (Words{"aaa", "bbb", "ccc"}));

    // A sort that cannot be made keeps the loaded words in file order.
    WordTable missing("zz_NOWHERE");
    Load(missing, {"b", "a"}, false);
    EXPECT_THROW(missing.SortBy("szo"), ETableError);
    EXPECT_EQ(testing::WordsInOrder(missing), (Words{"b", "a"}));
}

TEST(WordTable, MisuseIsRefusedWithoutHarm) {
    WordTable t;
    EXPECT_THROW(t.CountRecords(), std::logic_error);
    EXPECT_THROW(t.BeginInsert(), std::logic_error);
    EXPECT_FALSE(t.SeekNearest("a"));
    Load(t, {"aaa"});
    EXPECT_THROW(t.PostRecord(), std::logic_error);
    EXPECT_THROW(t.SetWordText("x"), std::logic_error);
    EXPECT_EQ(testing::WordsInOrder(t), (Words{"aaa"}));
    EXPECT_TRUE(t.CanModify());
}

// Large loads make their sort keys on two threads and sort by the keys' first eight bytes
// before the rest; the order must not notice. Seven letters fill the eight bytes with
// primary weights, so case and accents are left to the rest of the key.
TEST(WordTable, LargeLoadSortsLikeTheCollator) {
    std::mt19937 rng(3);
    const std::string letters = "acegklnostyz\xE1\xE9\xF6\xF5Z";
    Words words(30000);
    for (auto& w : words) {
        for (std::size_t k = 0, n = 3 + rng() % 5; k < n; ++k)
            w += letters[rng() % (k < 4 ? 3 : letters.size())];
    }
    WordTable t;
    Load(t, words);
    Words seen = testing::WordsInOrder(t);
    ASSERT_EQ(seen.size(), words.size());
    WordCollation c;
    for (std::size_t k = 0; k + 1 < seen.size(); ++k)
        ASSERT_LE(c.Compare(seen[k], seen[k + 1]), 0) << seen[k] << " " << seen[k + 1];
}

// Thousands of random posts, changes, deletes and searches against a plain model.
TEST(WordTable, RandomOperationsAgreeWithAModel) {
    WordTable t;
    WordCollation c;
    std::mt19937 rng(42);
    const std::string letters = "aeksz\xE1\xF6Z";
    auto randomWord = [&] {
        std::string w;
        for (int k = 0; k < 4; ++k)
            w += letters[rng() % letters.size()];
        return w;
    };
    Words model;
    Load(t, {});
    for (int i = 0; i < 6000; ++i) {
        int op = static_cast<int>(rng() % 10);
        if (op < 6 || model.empty()) {
            std::string w = randomWord();
            Add(t, w);
            model.push_back(w);
        } else if (op < 8) {
            t.SeekNearest(randomWord());
            std::string old = t.WordText();
            if (op == 6) {
                t.RemoveCurrent();
                model.erase(std::find(model.begin(), model.end(), old));
            } else {
                std::string w = randomWord();
                t.BeginEdit();
                t.SetWordText(w);
                t.PostRecord();
                *std::find(model.begin(), model.end(), old) = w;
            }
        } else {
            std::string prefix = randomWord().substr(0, 1 + rng() % 3);
            ASSERT_TRUE(t.SeekNearest(prefix));
            std::string found = t.WordText();
            Words sorted = testing::WordsInOrder(t);
            auto firstWithPrefix = std::find_if(sorted.begin(), sorted.end(),
                                                [&](auto& w) { return w.starts_with(prefix); });
            if (firstWithPrefix != sorted.end()) {
                ASSERT_EQ(found, *firstWithPrefix) << prefix;
            }
        }
        if (i % 500 == 0 || i > 5900) {
            Words seen = testing::WordsInOrder(t);
            ASSERT_EQ(static_cast<int>(seen.size()), t.CountRecords());
            for (std::size_t k = 0; k + 1 < seen.size(); ++k)
                ASSERT_LE(c.Compare(seen[k], seen[k + 1]), 0) << seen[k] << " " << seen[k + 1];
            Words a = seen, b = model;
            std::sort(a.begin(), a.end());
            std::sort(b.begin(), b.end());
            ASSERT_EQ(a, b);
        }
    }
}

}  // namespace
}  // namespace kormoszi
