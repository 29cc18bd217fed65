// Killing the program in the middle of a save: a child process saves a large word list
// again and again, alternating two lists, while this process kills it with SIGKILL at
// random moments. After every kill the word file must hold exactly one of the two lists,
// beside it there may be at most the one file that was being written, and the next save
// must succeed whatever was left.
//
// Most of a save is the walk through the table; the moments that matter are the few
// milliseconds after it, when the file is synced and put in place. So a third of the kills
// fall anywhere in a save, and the rest in the time after the child's walk has ended,
// which the child announces through a pipe.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_access.h"
#include "platform/test_file_helpers.h"
#include "words/word_file.h"
#include "words/word_table.h"

namespace kormoszi {
namespace {

using Clock = std::chrono::steady_clock;
using test::ReadBytes;
using test::ScratchDir;
using test::WriteBytes;

// Seven-letter words: 140 kB, and for the in-place save 280 kB, more than one block of
// the writer's buffer.
constexpr int kWords = 20'000;
constexpr int kInPlaceWords = 40'000;
constexpr int kKills = 250;
constexpr auto kTimeBudget = std::chrono::seconds(150);

// Seven-letter words, different for each seed, in no order: the table is not sorted, so a
// save writes them back exactly as they are here.
std::string WordList(int words, unsigned seed) {
    std::string bytes(static_cast<std::size_t>(words) * 7, ' ');
    for (char& c : bytes) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>('a' + (seed >> 16) % 26);
    }
    return bytes;
}

void Fill(WordTable& table, const std::string& bytes) {
    table.OpenTable();
    for (std::size_t at = 0; at < bytes.size(); at += 7) {
        table.BeginInsert();
        table.SetWordText(bytes.substr(at, 7));
        table.PostRecord();
    }
}

// The names in dir other than the word file: what a save left behind.
std::set<std::string> Leftovers(const ScratchDir& dir, const std::string& wordFile) {
    std::set<std::string> names;
    for (const std::string& name : dir.Entries())
        if (name != wordFile)
            names.insert(name);
    return names;
}

// Calls back once a walk when a save's walk steps onto or past the record at a given place
// (the last: what follows is the commit). A step of the walk is the one move that scrolls;
// it may take many records at once.
struct WalkMark : TableLink {
    WordTable* table = nullptr;
    int place = 0;
    bool passed = false;
    std::function<void()> reached = [] {};
    void Notify(TableNotice notice, int) override {
        if (notice != TableNotice::Scroll)
            return;
        const bool beyond = table->RecordNumber() >= place;
        if (beyond && !passed)
            reached();
        passed = beyond;
    }
};

class SaveCrash : public ::testing::Test {
  protected:
    // Two lists of the given length, the first in the word file; the walk is marked at
    // place (0: the last word).
    void Prepare(int words, int place = 0) {
        lists_[0] = WordList(words, 1);
        lists_[1] = WordList(words, 2);
        for (int i = 0; i < 2; ++i) {
            Fill(tables_[i], lists_[i]);
            marks_[i].table = &tables_[i];
            marks_[i].place = place > 0 ? place : words;
            tables_[i].AddLink(&marks_[i]);
        }
        WriteBytes(file_, lists_[0]);
    }
    void TearDown() override {
        for (int i = 0; i < 2; ++i)
            tables_[i].RemoveLink(&marks_[i]);
    }

    // How long a whole save takes here, and the rest of it after the marked place.
    void Calibrate() {
        Clock::time_point walked;
        for (auto& mark : marks_)
            mark.reached = [&] { walked = Clock::now(); };
        Clock::duration total{}, rest{};
        for (int i = 0; i < 4; ++i) {
            auto start = Clock::now();
            WriteWordFile(tables_[i % 2], file_, 7);
            total += Clock::now() - start;
            rest += Clock::now() - walked;
        }
        saveTime_ = total / 4;
        restTime_ = rest / 4;
        for (auto& mark : marks_)
            mark.reached = [] {};
        WriteBytes(file_, lists_[0]);
    }

    // Forks a child that saves the two lists in turn for ever, writing a byte to the pipe
    // each time a walk passes the marked place; it exits 3 should a save fail.
    pid_t StartSaving(int pipeEnd) {
        // The first save writes the list that the file does not hold, so that it shows.
        const unsigned first = ReadBytes(file_) == lists_[1] ? 0 : 1;
        pid_t child = ::fork();
        if (child == 0) {
            for (auto& mark : marks_)
                mark.reached = [pipeEnd] { (void)!::write(pipeEnd, "w", 1); };
            for (unsigned i = first;; ++i) {
                try {
                    WriteWordFile(tables_[i % 2], file_, 7);
                } catch (...) {
                    ::_exit(3);
                }
            }
        }
        return child;
    }

    // Starts a saving child and kills it: at a random moment of its first two saves, or
    // (aimed) at a random moment of what follows the marked place of its first walk.
    void SaveAndKill(std::mt19937& random, bool aimed) {
        int fds[2];
        ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
        pid_t child = StartSaving(fds[1]);
        ::close(fds[1]);
        ASSERT_GT(child, 0) << "fork failed";
        Clock::duration span = saveTime_ * 2;
        if (aimed) {
            pollfd walked{fds[0], POLLIN, 0};
            ::poll(&walked, 1, 30'000);
            span = restTime_ + restTime_ / 2;
        }
        auto us = std::chrono::duration_cast<std::chrono::microseconds>(span).count();
        std::this_thread::sleep_for(std::chrono::microseconds(
            std::uniform_int_distribution<long long>(0, std::max<long long>(us, 1))(random)));
        ::kill(child, SIGKILL);
        ::close(fds[0]);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "a save failed in the child, exit " << status;
    }

    ScratchDir dir_;
    const std::string name_ = "len7.txt";
    const std::string file_ = dir_ / name_;
    std::string lists_[2];
    WordTable tables_[2];
    WalkMark marks_[2];
    Clock::duration saveTime_{}, restTime_{};
};

TEST_F(SaveCrash, EveryKillLeavesTheOldOrTheNewListAndTheNextSaveWorks) {
    Prepare(kWords);
    Calibrate();
    std::mt19937 random(20240611);
    const auto deadline = Clock::now() + kTimeBudget;
    int kills = 0, intact = 0, newContent = 0;
    std::set<std::string> left;
    std::string previous = lists_[0];
    for (; kills < kKills && Clock::now() < deadline; ++kills) {
        SaveAndKill(random, kills % 3 != 0);
        if (HasFatalFailure())
            return;

        const std::string content = ReadBytes(file_);
        ASSERT_TRUE(content == lists_[0] || content == lists_[1])
            << "after kill " << kills + 1 << " the word file holds " << content.size()
            << " bytes of neither list";
        ++intact;
        if (content != previous)
            ++newContent;
        previous = content;

        std::set<std::string> now = Leftovers(dir_, name_);
        int added = 0;
        for (const std::string& name : now) {
            EXPECT_EQ(name.rfind(".kormoszi-", 0), 0u) << "unexpected file " << name;
            added += left.insert(name).second ? 1 : 0;
        }
        ASSERT_LE(added, 1) << "kill " << kills + 1 << " left more than the file being written";
    }
    ASSERT_GE(kills, 200) << "only " << kills << " kills in the time allowed";
    EXPECT_GT(newContent, 0) << "no save ever finished between two kills: the kills came too early";

    // Whatever the kills left, the next save goes through and clears it away.
    WriteWordFile(tables_[1], file_, 7);
    EXPECT_EQ(ReadBytes(file_), lists_[1]);
    EXPECT_EQ(Leftovers(dir_, name_), std::set<std::string>{});

    using std::chrono::milliseconds;
    std::printf(
        "%d kills, %d files intact (%d times a save finished in between, %zu files "
        "left aside; a save took %lld ms, the part after its walk %lld ms)\n",
        kills, intact, newContent, left.size(),
        static_cast<long long>(std::chrono::duration_cast<milliseconds>(saveTime_).count()),
        static_cast<long long>(std::chrono::duration_cast<milliseconds>(restTime_).count()));
    RecordProperty("kills", kills);
    RecordProperty("intact", intact);
}

// A file with a second name is rewritten in place, so a kill can leave it half old, half
// new; what it held is then still in the synced copy kept beside it until the save ends.
TEST_F(SaveCrash, AKilledInPlaceSaveIsRolledBackByTheNextLoad) {
    // The words go out in blocks of 256 KiB: the file is half old, half new from the
    // first block's write to the end of the walk.
    Prepare(kInPlaceWords, 256 * 1024 / 7 + 1);
    ASSERT_EQ(::link(file_.c_str(), (dir_ / "other.txt").c_str()), 0);
    Calibrate();
    // Another copy of the program loads another list all the while: its loads look through
    // the same journals and must never take this save's for one a crash cut off.
    ScratchDir elsewhere;
    WriteBytes(elsewhere / "len7.txt", lists_[0]);
    const pid_t loader = ::fork();
    if (loader == 0)
        for (;;) {
            RecordFile other(elsewhere / "len7.txt");
            other.Open();
            other.Close();
        }
    ASSERT_GT(loader, 0) << "fork failed";
    struct StopLoader {
        pid_t pid;
        ~StopLoader() {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    } stopLoader{loader};
    std::mt19937 random(7);
    const auto deadline = Clock::now() + kTimeBudget / 3;
    int kills = 0, old = 0;
    for (; kills < 40 && Clock::now() < deadline; ++kills) {
        SaveAndKill(random, kills % 4 != 0);
        if (HasFatalFailure())
            return;

        RecordFile load(file_);
        load.Open();
        load.Close();
        const std::string content = ReadBytes(file_);
        EXPECT_EQ(ReadBytes(dir_ / "other.txt"), content) << "the two names came apart";
        ASSERT_TRUE(content == lists_[0] || content == lists_[1])
            << "after kill " << kills + 1 << " and a load the file holds neither list";
        old += content == lists_[0] ? 1 : 0;
        EXPECT_EQ(Leftovers(dir_, name_), std::set<std::string>{"other.txt"});
    }
    EXPECT_GT(kills, 0);
    std::printf(
        "%d kills of an in-place save, each followed by a load: %d left the old list, "
        "the rest the new one\n",
        kills, old);
}

}  // namespace
}  // namespace kormoszi
