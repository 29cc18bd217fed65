#include "platform/file_access.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/rollback_journal.h"
#include "platform/test_file_helpers.h"

namespace kormoszi {
namespace {

using test::FileErrorOf;
using test::ReadBytes;
using test::Save;
using test::ScratchDir;
using test::WriteBytes;

std::string Load(const std::string& name) {
    RecordFile file(name);
    file.Open();
    std::string bytes;
    char byte;
    while (!file.Eof()) {
        file.Read(&byte);
        bytes += byte;
    }
    file.Close();
    return bytes;
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

// The journals in the state directory: what a save's rollback may still find there.
std::vector<std::string> Journals(const ScratchDir& state) {
    const std::string dir = state / "kormoszi";
    std::vector<std::string> names;
    if (::access(dir.c_str(), F_OK) == 0)
        for (auto& entry : std::filesystem::directory_iterator(dir))
            names.push_back(entry.path().filename());
    return names;
}

std::uint64_t InodeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_ino;
}

TEST(FileError, MessagesFollowTheCode) {
    const std::vector<std::pair<int, std::string>> expected = {{2, "File not found"},
                                                               {3, "Invalid filename"},
                                                               {4, "Too many open files"},
                                                               {5, "File access denied"},
                                                               {100, "Read beyond end of file"},
                                                               {101, "Disk full"},
                                                               {106, "Invalid numeric input"},
                                                               {32, "I/O error 32"},
                                                               {103, "I/O error 103"},
                                                               {1005, "I/O error 1005"}};
    for (const auto& [code, text] : expected) {
        EInOutError error(code);
        EXPECT_EQ(error.Code(), code);
        EXPECT_EQ(std::string(error.what()), text);
    }
}

TEST(FileError, ErrnoMapping) {
    ScratchDir dir;
    EXPECT_EQ(FileErrorCode(ENOENT, dir / "len3.txt"), 2);
    EXPECT_EQ(FileErrorCode(ENOENT, dir / "gone/len3.txt"), 3);
    EXPECT_EQ(FileErrorCode(ENOENT, "len3.txt"), 2);  // the current directory exists
    EXPECT_EQ(FileErrorCode(ENOTDIR, "x"), 3);
    EXPECT_EQ(FileErrorCode(ENAMETOOLONG, "x"), 3);
    EXPECT_EQ(FileErrorCode(EMFILE, "x"), 4);
    EXPECT_EQ(FileErrorCode(ENFILE, "x"), 4);
    for (int e : {EACCES, EPERM, EROFS})
        EXPECT_EQ(FileErrorCode(e, "x"), 5);
    for (int e : {ENOSPC, EDQUOT, EFBIG})
        EXPECT_EQ(FileErrorCode(e, "x"), 101);
    EXPECT_EQ(FileErrorCode(EBUSY, "x"), EBUSY);
    // EIO is 5 on Linux: it must not read as "File access denied".
    EXPECT_EQ(FileErrorCode(EIO, "x"), 1005);
}

TEST(FilePaths, DirectoryPartAndExecutable) {
    EXPECT_EQ(ExtractFileDir("/games/prog"), "/games");
    EXPECT_EQ(ExtractFileDir("/games/tormolag/len3.txt"), "/games/tormolag");
    EXPECT_EQ(ExtractFileDir("/prog"), "/");
    EXPECT_EQ(ExtractFileDir("//server/share/prog"), "//server/share");
    EXPECT_EQ(ExtractFileDir("prog"), "");
    EXPECT_EQ(ExtractFileDir("/games/"), "/games");

    std::string self = ExecutablePath();
    EXPECT_EQ(self.front(), '/');
    EXPECT_EQ(self.substr(self.rfind('/') + 1), "test_file_access");
    EXPECT_TRUE(FileExists(self));
}

TEST(FileExistsTest, TrueExactlyForRegularFiles) {
    ScratchDir dir;
    WriteBytes(dir / "len3.txt", "abc");
    EXPECT_TRUE(FileExists(dir / "len3.txt"));
    WriteBytes(dir / "len5.txt", "");
    timeval epoch[2] = {{0, 0}, {0, 0}};
    ASSERT_EQ(::utimes((dir / "len5.txt").c_str(), epoch), 0);
    EXPECT_TRUE(FileExists(dir / "len5.txt")) << "a file dated 1970 exists";
    ASSERT_EQ(::symlink("len3.txt", (dir / "link.txt").c_str()), 0);
    EXPECT_TRUE(FileExists(dir / "link.txt"));

    EXPECT_FALSE(FileExists(dir / "len6.txt"));
    ASSERT_EQ(::mkdir((dir / "len4.txt").c_str(), 0755), 0);
    EXPECT_FALSE(FileExists(dir / "len4.txt"));
    ASSERT_EQ(::mkfifo((dir / "len7.txt").c_str(), 0644), 0);
    EXPECT_FALSE(FileExists(dir / "len7.txt"));
    ASSERT_EQ(::symlink("/dev/null", (dir / "dev.txt").c_str()), 0);
    EXPECT_FALSE(FileExists(dir / "dev.txt"));
    ASSERT_EQ(::symlink("missing", (dir / "dangling.txt").c_str()), 0);
    EXPECT_FALSE(FileExists(dir / "dangling.txt"));
}

// A name that the system would accept: the directory reached through many "./".
std::string LongNameFor(const ScratchDir& dir, const std::string& file, std::size_t length) {
    std::string name = dir.Path() + "/";
    while (name.size() + 2 + file.size() <= length)
        name += "./";
    name.resize(length - file.size(), '/');
    return name + file;
}

TEST(RecordFileTest, NamesOver259BytesAreRefused) {
    ScratchDir dir;
    WriteBytes(dir / "len3.txt", "abc");
    std::string ok = LongNameFor(dir, "len3.txt", 259);
    std::string tooLong = LongNameFor(dir, "len3.txt", 260);
    ASSERT_EQ(ok.size(), 259u);
    EXPECT_EQ(Load(ok), "abc");
    EXPECT_TRUE(FileExists(ok));

    EXPECT_FALSE(FileExists(tooLong));
    EXPECT_EQ(FileErrorOf([&] { Load(tooLong); }), 3);
    EXPECT_EQ(FileErrorOf([&] { Save(tooLong, "xyz"); }), 3);
    EXPECT_EQ(ReadBytes(dir / "len3.txt"), "abc");
}

TEST(RecordFileTest, OpeningFailures) {
    ScratchDir dir;
    int before = test::OpenDescriptorCount();
    EXPECT_EQ(FileErrorOf([&] { Load(dir / "len3.txt"); }), 2);
    EXPECT_EQ(FileErrorOf([&] { Load(dir / "gone/len3.txt"); }), 3);
    WriteBytes(dir / "plain", "");
    EXPECT_EQ(FileErrorOf([&] { Load(dir / "plain/len3.txt"); }), 3);
    // A FIFO must neither block the open nor be read.
    ASSERT_EQ(::mkfifo((dir / "len7.txt").c_str(), 0644), 0);
    EXPECT_EQ(FileErrorOf([&] { Load(dir / "len7.txt"); }), 5);
    ASSERT_EQ(::mkdir((dir / "len4.txt").c_str(), 0755), 0);
    EXPECT_EQ(FileErrorOf([&] { Load(dir / "len4.txt"); }), 5);
    EXPECT_EQ(test::OpenDescriptorCount(), before);

    RecordFile unbound;
    EXPECT_EQ(FileErrorOf([&] { unbound.Open(); }), 102);
    RecordFile closed(dir / "plain");
    char byte;
    EXPECT_EQ(FileErrorOf([&] { closed.Read(&byte); }), 103);
    EXPECT_EQ(FileErrorOf([&] { closed.Eof(); }), 103);
    EXPECT_EQ(FileErrorOf([&] { closed.Close(); }), 103);
    EXPECT_EQ(FileErrorOf([&] { closed.Write("x"); }), 5);
    closed.Open();
    EXPECT_EQ(FileErrorOf([&] { closed.Write("x"); }), 5) << "opened for loading only";
}

TEST(RecordFileTest, ReadingStopsWithCode100AndCloses) {
    ScratchDir dir;
    WriteBytes(dir / "len3.txt", "abcdefg");
    int before = test::OpenDescriptorCount();
    RecordFile file(dir / "len3.txt");
    file.Open();
    char word[3];
    file.Read(word, 3);
    EXPECT_EQ(std::string(word, 3), "abc");
    file.Read(word, 3);
    EXPECT_EQ(std::string(word, 3), "def");
    EXPECT_FALSE(file.Eof());
    EXPECT_EQ(FileErrorOf([&] { file.Read(word, 3); }), 100);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(test::OpenDescriptorCount(), before);

    WriteBytes(dir / "len4.txt", "");
    file.Assign(dir / "len4.txt");
    file.Open();
    EXPECT_TRUE(file.Eof());
    file.Close();
}

TEST(RecordFileTest, LargeFilesTakeFewCalls) {
    ScratchDir dir;
    std::string bytes;
    for (int i = 0; i < 2'000'000; ++i)
        bytes += static_cast<char>('a' + i % 26);
    long writesBefore = test::IoCalls("syscw:");
    Save(dir / "big", bytes);
    long writes = test::IoCalls("syscw:") - writesBefore;
    long readsBefore = test::IoCalls("syscr:");
    EXPECT_EQ(Load(dir / "big"), bytes);
    long reads = test::IoCalls("syscr:") - readsBefore;
    EXPECT_LE(writes, 20);
    EXPECT_LE(reads, 20);
}

TEST(RecordFileTest, SaveReplacesContentKeepsModeAndLeavesNothingBehind) {
    ScratchDir dir;
    const std::string name = dir / "len5.txt";
    WriteBytes(name, "old words");
    ASSERT_EQ(::chmod(name.c_str(), 0640), 0);
    int before = test::OpenDescriptorCount();
    Save(name, "new");
    EXPECT_EQ(ReadBytes(name), "new");
    EXPECT_EQ(ModeOf(name), 0640u);
    Save(name, "");
    EXPECT_EQ(ReadBytes(name), "");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"len5.txt"});

    // A new file gets the mode a plain create would give it.
    mode_t mask = ::umask(0);
    ::umask(mask);
    Save(dir / "len6.txt", "abcdef");
    EXPECT_EQ(ReadBytes(dir / "len6.txt"), "abcdef");
    EXPECT_EQ(ModeOf(dir / "len6.txt"), 0666u & ~mask);
    EXPECT_EQ(test::OpenDescriptorCount(), before);
}

TEST(RecordFileTest, AbandonedSaveKeepsTheOldFile) {
    ScratchDir dir;
    const std::string name = dir / "len5.txt";
    WriteBytes(name, "old words");
    int before = test::OpenDescriptorCount();
    {
        RecordFile file(name);
        file.Create();
        file.Write("new words, never closed", 23);
    }
    EXPECT_EQ(ReadBytes(name), "old words");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"len5.txt"});
    EXPECT_EQ(test::OpenDescriptorCount(), before);
}

TEST(RecordFileTest, SaveRefusesMissingDirectoryAndOddTargets) {
    ScratchDir dir;
    int before = test::OpenDescriptorCount();
    EXPECT_EQ(FileErrorOf([&] { Save(dir / "gone/len3.txt", "abc"); }), 3);
    ASSERT_EQ(::mkdir((dir / "len4.txt").c_str(), 0755), 0);
    EXPECT_EQ(FileErrorOf([&] { Save(dir / "len4.txt", "abcd"); }), 5);
    ASSERT_EQ(::mkfifo((dir / "len7.txt").c_str(), 0644), 0);
    EXPECT_EQ(FileErrorOf([&] { Save(dir / "len7.txt", "abcdefg"); }), 5);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"len4.txt", "len7.txt"}));
    EXPECT_EQ(test::OpenDescriptorCount(), before);
}

TEST(RecordFileTest, SymbolicLinksKeepPointingAtTheirTarget) {
    ScratchDir dir;
    ASSERT_EQ(::mkdir((dir / "real").c_str(), 0755), 0);
    WriteBytes(dir / "real/len3.txt", "abc");
    ASSERT_EQ(::symlink("real/len3.txt", (dir / "hop.txt").c_str()), 0);
    ASSERT_EQ(::symlink("hop.txt", (dir / "len3.txt").c_str()), 0);
    Save(dir / "len3.txt", "xyz");
    EXPECT_EQ(ReadBytes(dir / "real/len3.txt"), "xyz");
    struct stat st {};
    ASSERT_EQ(::lstat((dir / "len3.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"hop.txt", "len3.txt", "real"}));
    EXPECT_EQ(std::filesystem::directory_iterator(dir / "real")->path().filename(), "len3.txt");

    // A dangling link gets its file.
    ASSERT_EQ(::symlink("real/len4.txt", (dir / "len4.txt").c_str()), 0);
    Save(dir / "len4.txt", "abcd");
    EXPECT_EQ(ReadBytes(dir / "real/len4.txt"), "abcd");
}

TEST(RecordFileTest, HardLinksSurviveTheSave) {
    ScratchDir dir;
    WriteBytes(dir / "len5.txt", "aaaaabbbbb");
    ASSERT_EQ(::link((dir / "len5.txt").c_str(), (dir / "other.txt").c_str()), 0);
    struct stat before {};
    ::stat((dir / "len5.txt").c_str(), &before);
    Save(dir / "len5.txt", "ccccc");
    EXPECT_EQ(ReadBytes(dir / "other.txt"), "ccccc");
    struct stat after {};
    ::stat((dir / "len5.txt").c_str(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_nlink, 2u);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"len5.txt", "other.txt"}));

    // An abandoned save in place puts the old bytes back.
    {
        RecordFile file(dir / "len5.txt");
        file.Create();
        file.Write(std::string(300'000, 'x').data(), 300'000);  // past one buffer
    }
    EXPECT_EQ(ReadBytes(dir / "len5.txt"), "ccccc");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"len5.txt", "other.txt"}));
}

// The file error code of op run in a child that, as root, drops to an unprivileged user,
// for whom the file modes bind.
int AsUnprivileged(const std::function<void()>& op) {
    return test::RunInChild({.unprivileged = true}, [&] { return FileErrorOf(op); });
}

#define SKIP_IF_NOT_SET_UP(result)        \
    if ((result) == test::kChildNotSetUp) \
    GTEST_SKIP() << "cannot drop to uid 65534 in a child"

TEST(RecordFilePermissions, ReadOnlyFileFailsWith5AndStaysAsItWas) {
    ScratchDir dir;
    test::GiveToChild(dir.Path());
    const std::string name = dir / "len5.txt";
    WriteBytes(name, "aaaaa");
    test::GiveToChild(name);
    ASSERT_EQ(::chmod(name.c_str(), 0444), 0);

    int load = AsUnprivileged([&] { Load(name); });
    SKIP_IF_NOT_SET_UP(load);
    EXPECT_EQ(load, 5);
    EXPECT_EQ(AsUnprivileged([&] { Save(name, "bbbbb"); }), 5) << "in a writable directory";
    EXPECT_EQ(ReadBytes(name), "aaaaa");
    EXPECT_EQ(ModeOf(name), 0444u);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"len5.txt"});
}

TEST(RecordFilePermissions, ReadOnlyDirectory) {
    ScratchDir dir;
    test::GiveToChild(dir.Path());
    WriteBytes(dir / "len3.txt", "abc");
    WriteBytes(dir / "len4.txt", "abcd");
    test::GiveToChild(dir / "len3.txt");
    test::GiveToChild(dir / "len4.txt");
    ASSERT_EQ(::chmod((dir / "len4.txt").c_str(), 0444), 0);
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0555), 0);
    // The rewrite's journal goes to the user's state directory then.
    ScratchDir state;
    test::GiveToChild(state.Path());
    test::ScopedEnv stateHome("XDG_STATE_HOME", state.Path());

    int create = AsUnprivileged([&] { Save(dir / "len5.txt", "abcde"); });
    SKIP_IF_NOT_SET_UP(create);
    EXPECT_EQ(create, 5) << "no new file in a read-only directory";
    EXPECT_EQ(AsUnprivileged([&] { Save(dir / "len4.txt", "wxyz"); }), 5);
    EXPECT_EQ(ReadBytes(dir / "len4.txt"), "abcd");
    // The file itself is writable: rewritten in place, as nothing else is possible there,
    // and a failure half-way puts the old bytes back.
    int full = test::RunInChild({.unprivileged = true, .fileSizeLimit = 4}, [&] {
        return FileErrorOf([&] { Save(dir / "len3.txt", "xyzxyz"); });
    });
    EXPECT_EQ(full, 101);
    EXPECT_EQ(ReadBytes(dir / "len3.txt"), "abc");
    EXPECT_EQ(AsUnprivileged([&] { Save(dir / "len3.txt", "xyzxyz"); }), 0);
    EXPECT_EQ(ReadBytes(dir / "len3.txt"), "xyzxyz");
    EXPECT_EQ(AsUnprivileged([&] {
                  if (Load(dir / "len3.txt") != "xyzxyz")
                      throw EInOutError(99);
              }),
              0);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"len3.txt", "len4.txt"}));
    EXPECT_EQ(Journals(state), std::vector<std::string>{});
}

// Full disk: a child whose files may not grow past limit bytes (EFBIG).
int SaveUnderLimit(const std::string& name, const std::string& bytes, rlim_t limit) {
    return test::RunInChild({.fileSizeLimit = limit},
                            [&] { return FileErrorOf([&] { Save(name, bytes); }); });
}

TEST(RecordFileFullDisk, FailsWith101AndKeepsTheOldFile) {
    ScratchDir dir;
    const std::string name = dir / "len5.txt";
    const std::string old(3000, 'o');
    std::string fresh;
    for (int i = 0; i < 5000; ++i)
        fresh += static_cast<char>('a' + i % 26);
    WriteBytes(name, old);

    // The save fails at every k-th byte in turn and never harms the old file.
    for (rlim_t k = 0; k < fresh.size(); k += k < 16 ? 1 : 97) {
        ASSERT_EQ(SaveUnderLimit(name, fresh, k), 101) << "failing at byte " << k;
        ASSERT_EQ(ReadBytes(name), old) << "failing at byte " << k;
        ASSERT_EQ(dir.Entries(), std::vector<std::string>{"len5.txt"}) << "at byte " << k;
    }
    EXPECT_EQ(SaveUnderLimit(name, fresh, fresh.size()), 0);
    EXPECT_EQ(ReadBytes(name), fresh);
}

TEST(RecordFileFullDisk, InPlaceSavePutsTheOldBytesBack) {
    ScratchDir dir;
    const std::string name = dir / "len5.txt";
    const std::string old(3000, 'o');
    const std::string fresh(5000, 'n');
    WriteBytes(name, old);
    ASSERT_EQ(::link(name.c_str(), (dir / "other.txt").c_str()), 0);
    for (rlim_t k : {0u, 1u, 2999u, 3000u, 3001u, 4999u}) {
        ASSERT_EQ(SaveUnderLimit(name, fresh, k), 101) << "failing at byte " << k;
        ASSERT_EQ(ReadBytes(name), old) << "failing at byte " << k;
        ASSERT_EQ(dir.Entries(), (std::vector<std::string>{"len5.txt", "other.txt"}));
    }
    EXPECT_EQ(SaveUnderLimit(name, fresh, 5000), 0);
    EXPECT_EQ(ReadBytes(dir / "other.txt"), fresh);
}

TEST(RecordFileLimits, NoDescriptorLeftGives4) {
    ScratchDir dir;
    WriteBytes(dir / "len3.txt", "abc");
    int lowestFree = ::dup(0);  // every open after this one fails with EMFILE
    ::close(lowestFree);
    rlim_t inUse = static_cast<rlim_t>(lowestFree);
    auto underLimit = [&](const std::function<void()>& op) {
        return test::RunInChild({.openFileLimit = inUse}, [&] { return FileErrorOf(op); });
    };
    EXPECT_EQ(underLimit([&] { Load(dir / "len3.txt"); }), 4);
    EXPECT_EQ(underLimit([&] { Save(dir / "len3.txt", "xyz"); }), 4);
    EXPECT_EQ(ReadBytes(dir / "len3.txt"), "abc");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"len3.txt"});
}

// Leaves what a rewrite killed half-way leaves: the old content, journalled under the
// file's path and inode.
void LeaveJournal(const std::string& name, const std::string& old) {
    RollbackJournal killed;
    ASSERT_EQ(killed.Write(name, InodeOf(name), old), 0);
}

// A whole journal brings the old bytes back on the next load through any name of the file;
// the journal holds no device number, so a disk mounted again under another one is rolled
// back too. One cut short, or one whose file was replaced since, goes without a word.
TEST(RollbackJournalTest, TheNextLoadRollsBackThroughAnyNameOnlyFromAWholeJournal) {
    ScratchDir dir, state;
    test::ScopedEnv stateHome("XDG_STATE_HOME", state.Path());
    const std::string name = dir / "len3.txt", other = dir / "other.txt";
    WriteBytes(name, "newnew");
    ASSERT_EQ(::link(name.c_str(), other.c_str()), 0);
    LeaveJournal(name, "oldoldold");
    WriteBytes(name, "newne");  // the kill came in the middle of the rewrite
    EXPECT_EQ(Load(other), "oldoldold");
    EXPECT_EQ(ReadBytes(name), "oldoldold");
    EXPECT_EQ(Journals(state), std::vector<std::string>{});
    EXPECT_EQ(ModeOf(state / "kormoszi"), 0700u);

    LeaveJournal(name, "abc");
    const std::string journal = state / ("kormoszi/" + Journals(state).at(0));
    const std::string whole = ReadBytes(journal);
    WriteBytes(journal, whole.substr(0, whole.size() - 1));
    EXPECT_EQ(Load(name), "oldoldold");
    EXPECT_EQ(Journals(state), std::vector<std::string>{});

    LeaveJournal(name, "abc");
    WriteBytes(dir / "fresh", "xyz");
    ASSERT_EQ(::rename((dir / "fresh").c_str(), name.c_str()), 0);
    Save(name, "def");  // a save rolls back first, too
    EXPECT_EQ(Load(name), "def");
    EXPECT_EQ(ReadBytes(other), "oldoldold");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"len3.txt", "other.txt"}));
    EXPECT_EQ(Journals(state), std::vector<std::string>{});
}

// A disk that comes back under another device number (another loop device here, a USB
// disk or another boot order elsewhere) still gets its interrupted rewrite rolled back.
TEST(RollbackJournalTest, ADiskMountedAgainUnderAnotherDeviceNumberIsRolledBack) {
    ScratchDir work, state;
    test::ScopedEnv stateHome("XDG_STATE_HOME", state.Path());
    const std::string image = work / "disk.img", mount = work / "mnt", spare = work / "spare.img";
    const std::string quiet = " >/dev/null 2>&1";
    auto run = [&](const std::string& command) {
        return std::system((command + quiet).c_str()) == 0;
    };
    ASSERT_EQ(::mkdir(mount.c_str(), 0755), 0);
    if (::geteuid() != 0 || !run("truncate -s 8M " + image + " " + spare) ||
        !run("mkfs.ext4 -q -F " + image) || !run("mount -o loop " + image + " " + mount))
        GTEST_SKIP() << "cannot mount a loop device here";
    const std::string name = mount + "/len3.txt";
    WriteBytes(name, "newnew");
    LeaveJournal(name, "oldoldold");
    WriteBytes(name, "newne");
    struct stat before {
    }, after{};
    ASSERT_EQ(::stat(name.c_str(), &before), 0);
    // The spare image takes the first free loop device, so the disk gets another one.
    ASSERT_TRUE(run("umount " + mount));
    ASSERT_TRUE(run("losetup -f " + spare));
    const bool mounted = run("mount -o loop " + image + " " + mount);
    run("losetup -j " + spare + " | cut -d: -f1 | xargs -r losetup -d");
    ASSERT_TRUE(mounted);
    ASSERT_EQ(::stat(name.c_str(), &after), 0);
    EXPECT_NE(before.st_dev, after.st_dev);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(Load(name), "oldoldold");
    EXPECT_EQ(Journals(state), std::vector<std::string>{});
    run("umount " + mount);
}

// A load while another process rewrites the file behind its journal waits for that
// rewrite instead of reading the half-written file, and does not roll back a rewrite
// that went through meanwhile.
TEST(RollbackJournalTest, ALoadWaitsForARewriteThatHoldsItsJournal) {
    ScratchDir dir, state;
    test::ScopedEnv stateHome("XDG_STATE_HOME", state.Path());
    const std::string name = dir / "len3.txt";
    WriteBytes(name, "oldoldold");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        RollbackJournal journal;
        const int fd = ::open(name.c_str(), O_WRONLY);
        const bool journalled = journal.Write(name, InodeOf(name), "oldoldold") == 0;
        const bool half = ::write(fd, "new", 3) == 3;
        (void)!::write(ready[1], "x", 1);  // the file is half rewritten now
        ::usleep(300'000);
        const bool whole = ::pwrite(fd, "newnew", 6, 3) == 6 && ::fsync(fd) == 0;
        journal.Remove();
        ::_exit(journalled && half && whole ? 0 : 1);
    }
    char byte;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    EXPECT_EQ(Load(name), "newnewnew");
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(status, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(Journals(state), std::vector<std::string>{});
}

// Every length of a journal lies within its checksummed part: a short header with a good
// checksum, or any cut, reads nothing outside the bytes.
TEST(RollbackJournalTest, DecodeStaysWithinTheChecksummedBytes) {
    const std::string whole = EncodeJournal({"/games/len3.txt", 42, "abcdef"});
    JournalEntry entry;
    ASSERT_TRUE(DecodeJournal(whole, entry));
    EXPECT_EQ(entry.Path, "/games/len3.txt");
    EXPECT_EQ(entry.Inode, 42u);
    EXPECT_EQ(entry.Content, "abcdef");
    for (std::size_t cut = 0; cut < whole.size(); ++cut)
        EXPECT_FALSE(DecodeJournal(whole.substr(0, cut), entry)) << cut;
    // 58 bytes: the magic, 22 bytes of lengths that point far away, a matching checksum.
    std::string body = whole.substr(0, 28) + std::string(22, '\xff');
    std::uint64_t hash = 14695981039346656037ULL;
    for (char c : body)
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    for (int i = 0; i < 8; ++i)
        body.push_back(static_cast<char>((hash >> (8 * i)) & 0xff));
    EXPECT_EQ(body.size(), 58u);
    EXPECT_FALSE(DecodeJournal(body, entry));
}

// A game directory that other users may write: whatever they put there is never read as
// a journal, never followed, never removed, and the victim's files stay as they were.
TEST(RecordFilePermissions, FilesPlantedInASharedDirectoryByAnotherUser) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to play a second user";
    ScratchDir dir, state, outside;
    test::ScopedEnv stateHome("XDG_STATE_HOME", state.Path());
    ASSERT_EQ(::chmod(dir.Path().c_str(), 01777), 0);
    const std::string words = dir / "len3.txt", notes = dir / "notes.cfg";
    const std::string secret = outside / "secret.txt";
    WriteBytes(words, "abc");
    WriteBytes(notes, "keep");
    WriteBytes(secret, "private");
    const int planted = test::RunInChild({.unprivileged = true}, [&] {
        WriteBytes(dir / ".kormoszi-journal-len3.txt",
                   EncodeJournal({words, InodeOf(words), "xyzxyz"}));
        WriteBytes(dir / ".kormoszi-journal-notes.cfg",
                   EncodeJournal({notes, InodeOf(notes), "evil"}));
        WriteBytes(dir / ".kormoszi-AbC123", "theirs");
        return ::mkdir((dir / ".kormoszi-dir123").c_str(), 0755) == 0 &&
                       ::symlink(secret.c_str(), (dir / "len6.txt").c_str()) == 0
                   ? 0
                   : 1;
    });
    ASSERT_EQ(planted, 0);
    const std::vector<std::string> before = dir.Entries();
    // A journal of another user's in the victim's state directory (only root could put it
    // there) is never trusted either.
    ASSERT_EQ(::mkdir((state / "kormoszi").c_str(), 0700), 0);
    const std::string foreign = state / "kormoszi/0123456789abcdef.journal";
    WriteBytes(foreign, EncodeJournal({words, InodeOf(words), "xyzxyz"}));
    ASSERT_EQ(::chown(foreign.c_str(), test::kNobody, test::kNobody), 0);

    EXPECT_EQ(Load(words), "abc");
    Save(words, "defdef");
    EXPECT_EQ(FileErrorOf([&] { Save(dir / "len6.txt", "gotyou"); }), 5);
    EXPECT_EQ(ReadBytes(secret), "private");
    EXPECT_EQ(ReadBytes(notes), "keep");
    EXPECT_EQ(Load(words), "defdef");
    EXPECT_EQ(dir.Entries(), before);
    EXPECT_EQ(Journals(state), std::vector<std::string>{"0123456789abcdef.journal"});
}

// A save by a member of the file's group gives the file neither to the saver nor to the
// saver's group: it is rewritten in place, and keeps owner, group and mode.
TEST(RecordFilePermissions, AGroupMemberSaveKeepsOwnerGroupAndMode) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to play the file's owner and a group member";
    ScratchDir dir, state;
    test::GiveToChild(state.Path());
    test::ScopedEnv stateHome("XDG_STATE_HOME", state.Path());
    ASSERT_EQ(::chmod(dir.Path().c_str(), 01777), 0);
    const std::string name = dir / "len5.txt";
    WriteBytes(name, "aaaaa");
    ASSERT_EQ(::chown(name.c_str(), 1001, 2000), 0);
    ASSERT_EQ(::chmod(name.c_str(), 0664), 0);

    const int saved = test::RunInChild({.unprivileged = true, .group = 2000}, [&] {
        return FileErrorOf([&] { Save(name, "bbbbbccccc"); });
    });
    ASSERT_EQ(saved, 0);
    struct stat st {};
    ASSERT_EQ(::stat(name.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 1001u);
    EXPECT_EQ(st.st_gid, 2000u);
    EXPECT_EQ(st.st_mode & 07777, 0664u);
    EXPECT_EQ(ReadBytes(name), "bbbbbccccc");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"len5.txt"});
    EXPECT_EQ(Journals(state), std::vector<std::string>{});
}

// A save that finds the file changed since the stamp it was given puts nothing in place,
// on both roads; with the right stamp it goes through and reports the new file's stamp.
TEST(RecordFileStamp, ACloseIfUnchangedLeavesAChangedFileAlone) {
    ScratchDir dir, state;
    test::ScopedEnv stateHome("XDG_STATE_HOME", state.Path());
    const std::string name = dir / "len3.txt";
    for (bool linked : {false, true}) {
        WriteBytes(name, "abc");
        if (linked) {
            ASSERT_EQ(::link(name.c_str(), (dir / "other.txt").c_str()), 0);
        }
        const FileStamp loaded = StampOf(name);
        RecordFile file(name);
        file.Create();
        file.Write("xyz", 3);
        WriteBytes(name, "abcdef");  // another writer, meanwhile
        EXPECT_FALSE(file.CloseIfUnchanged(loaded)) << linked;
        EXPECT_EQ(ReadBytes(name), "abcdef");
        const FileStamp now = StampOf(name);
        file.Create();
        file.Write("uvw", 3);
        FileStamp written;
        EXPECT_TRUE(file.CloseIfUnchanged(now, &written)) << linked;
        EXPECT_EQ(ReadBytes(name), "uvw");
        EXPECT_EQ(written, StampOf(name));
        EXPECT_EQ(Journals(state), std::vector<std::string>{});
    }
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"len3.txt", "other.txt"}));
}

// In an append-only directory nothing made there could be removed again: a save rewrites
// the file in place with its journal in the state directory, and leaves nothing behind.
TEST(RollbackJournalTest, AnAppendOnlyDirectoryGetsNoFileOfOurs) {
    ScratchDir dir, state;
    test::ScopedEnv stateHome("XDG_STATE_HOME", state.Path());
    WriteBytes(dir / "len3.txt", "abc");
    const std::string attributes = "chattr +a " + dir.Path() + " 2>/dev/null";
    if (std::system(attributes.c_str()) != 0)
        GTEST_SKIP() << "chattr +a does not work here";
    Save(dir / "len3.txt", "xyzxyz");
    EXPECT_EQ(test::RunInChild({.fileSizeLimit = 4},
                               [&] { return FileErrorOf([&] { Save(dir / "len3.txt", "uvw"); }); }),
              101);
    Save(dir / "len4.txt", "abcd");
    EXPECT_EQ(Load(dir / "len3.txt"), "xyzxyz");
    EXPECT_EQ(Load(dir / "len4.txt"), "abcd");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"len3.txt", "len4.txt"}));
    EXPECT_EQ(Journals(state), std::vector<std::string>{});
    EXPECT_EQ(std::system(("chattr -a " + dir.Path()).c_str()), 0);
}

}  // namespace
}  // namespace kormoszi
