// The file layer on Windows: the system's errors as the file error's codes, the save's
// roads with the system's own replacement, the journal in the local application data, and
// the stamp that tells another writer's change.

#include <windows.h>

// aclapi.h needs windows.h first.
#include <aclapi.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/file_access.h"
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
    std::string bytes(file.Size(), '\0');
    if (!bytes.empty())
        file.Read(bytes.data(), bytes.size());
    EXPECT_TRUE(file.Eof());
    file.Close();
    return bytes;
}

DWORD AttributesOf(const std::string& path) {
    return ::GetFileAttributesA(path.c_str());
}

// A handle of another program's on path, granting others the sharing given.
class HeldFile {
  public:
    HeldFile(const std::string& path, DWORD share)
        : handle_(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~HeldFile() {
        if (handle_ != INVALID_HANDLE_VALUE)
            ::CloseHandle(handle_);
    }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }

  private:
    HANDLE handle_;
};

// Lets everybody only read and list dir for the life of the object, as a game directory
// under C:\Program Files is to its users.
class NoNewFiles {
  public:
    explicit NoNewFiles(const std::string& dir) : dir_(dir) {
        Allow(GENERIC_READ | GENERIC_EXECUTE);
    }
    ~NoNewFiles() { Allow(GENERIC_ALL); }
    NoNewFiles(const NoNewFiles&) = delete;
    NoNewFiles& operator=(const NoNewFiles&) = delete;

  private:
    void Allow(DWORD rights) {
        char everyone[] = "EVERYONE";
        EXPLICIT_ACCESS_A access{};
        access.grfAccessPermissions = rights;
        access.grfAccessMode = SET_ACCESS;
        access.grfInheritance = NO_INHERITANCE;
        access.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
        access.Trustee.ptstrName = everyone;
        PACL acl = nullptr;
        if (::SetEntriesInAclA(1, &access, nullptr, &acl) == ERROR_SUCCESS)
            ::SetNamedSecurityInfoA(dir_.data(), SE_FILE_OBJECT,
                                    DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, acl, nullptr);
        ::LocalFree(acl);
    }
    std::string dir_;
};

// The journals that a rollback may still find, with the state directory redirected to a
// scratch one as %LOCALAPPDATA%.
class JournalDir {
  public:
    JournalDir() : env_("LOCALAPPDATA", state_.Path()) {}
    std::vector<std::string> Journals() const {
        std::vector<std::string> names;
        std::error_code ignored;
        for (auto& entry : std::filesystem::directory_iterator(state_ / "Kormoszi", ignored))
            names.push_back(entry.path().filename().string());
        return names;
    }
    std::string Dir() const { return state_ / "Kormoszi"; }

  private:
    ScratchDir state_;
    test::ScopedEnv env_;
};

// What a rewrite killed half-way leaves: the old content journalled under the file's path
// and index, then part of the new content over it.
void LeaveInterruptedRewrite(const std::string& name, const std::string& old,
                             const std::string& partial) {
    const std::string real = std::filesystem::canonical(name).string();
    RollbackJournal killed;
    ASSERT_EQ(killed.Write(real, StampOf(name).Inode, old), 0);
    WriteBytes(name, partial);
}

TEST(WindowsFileError, SystemErrorsBecomeTheFileCodes) {
    ScratchDir dir;
    EXPECT_EQ(FileErrorCode(ERROR_FILE_NOT_FOUND, dir / "len3.txt"), 2);
    EXPECT_EQ(FileErrorCode(ERROR_FILE_NOT_FOUND, dir / "gone\\len3.txt"), 3);
    for (int error :
         {ERROR_PATH_NOT_FOUND, ERROR_INVALID_NAME, ERROR_BAD_PATHNAME, ERROR_FILENAME_EXCED_RANGE})
        EXPECT_EQ(FileErrorCode(error, "x"), 3) << error;
    EXPECT_EQ(FileErrorCode(ERROR_TOO_MANY_OPEN_FILES, "x"), 4);
    for (int error : {ERROR_ACCESS_DENIED, ERROR_WRITE_PROTECT})
        EXPECT_EQ(FileErrorCode(error, "x"), 5) << error;
    for (int error : {ERROR_DISK_FULL, ERROR_HANDLE_DISK_FULL, ERROR_FILE_TOO_LARGE})
        EXPECT_EQ(FileErrorCode(error, "x"), 101) << error;
    EXPECT_EQ(FileErrorCode(ERROR_SHARING_VIOLATION, "x"), 32);
    EXPECT_EQ(EInOutError(32).what(), std::string("I/O error 32"));
    EXPECT_EQ(FileErrorCode(ERROR_NOT_READY, "x"), 21);
    // ERROR_TOO_MANY_SEMAPHORES is 100: it must not read as "Read beyond end of file".
    EXPECT_EQ(FileErrorCode(ERROR_TOO_MANY_SEMAPHORES, "x"), 1100);
}

TEST(WindowsFileError, RealFailuresOfLoadAndSave) {
    ScratchDir dir;
    const std::string name = dir / "len3.txt";
    EXPECT_EQ(FileErrorOf([&] { Load(name); }), 2);
    EXPECT_EQ(FileErrorOf([&] { Load(dir / "gone\\len3.txt"); }), 3);
    EXPECT_EQ(FileErrorOf([&] { Save(dir / "gone\\len3.txt", "abc"); }), 3);
    ASSERT_TRUE(::CreateDirectoryA((dir / "len4.txt").c_str(), nullptr));
    EXPECT_EQ(FileErrorOf([&] { Load(dir / "len4.txt"); }), 5);
    EXPECT_EQ(FileErrorOf([&] { Save(dir / "len4.txt", "abcd"); }), 5);
    EXPECT_EQ(FileErrorOf([&] { Load(std::string(300, 'x')); }), 3);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"len4.txt"});
}

TEST(WindowsFileError, AReadOnlyFileGives5AndStaysAsItWas) {
    ScratchDir dir;
    const std::string name = dir / "len3.txt";
    WriteBytes(name, "abc");
    ASSERT_TRUE(::SetFileAttributesA(name.c_str(), FILE_ATTRIBUTE_READONLY));
    if (HeldFile(name, 0).Held()) {
        ::SetFileAttributesA(name.c_str(), FILE_ATTRIBUTE_NORMAL);
        GTEST_SKIP() << "the read-only attribute does not bind here (Wine run as root)";
    }
    EXPECT_EQ(FileErrorOf([&] { Load(name); }), 5);
    EXPECT_EQ(FileErrorOf([&] { Save(name, "xyz"); }), 5);
    ASSERT_TRUE(::SetFileAttributesA(name.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(ReadBytes(name), "abc");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"len3.txt"});
}

// Another program that holds the file without sharing it stops a load and a save with 32
// and loses nothing; one that shares reading and writing but not the file's removal stops
// neither: the file is rewritten in place then.
TEST(WindowsFileError, AFileHeldWithoutSharingGives32) {
    ScratchDir dir;
    JournalDir state;
    const std::string name = dir / "len3.txt";
    WriteBytes(name, "abc");
    {
        HeldFile other(name, 0);
        ASSERT_TRUE(other.Held());
        EXPECT_EQ(FileErrorOf([&] { Load(name); }), 32);
        EXPECT_EQ(FileErrorOf([&] { Save(name, "xyz"); }), 32);
    }
    EXPECT_EQ(ReadBytes(name), "abc");
    {
        HeldFile reader(name, FILE_SHARE_READ | FILE_SHARE_WRITE);
        ASSERT_TRUE(reader.Held());
        EXPECT_EQ(Load(name), "abc");
        Save(name, "xyz");
    }
    EXPECT_EQ(ReadBytes(name), "xyz");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"len3.txt"});
    EXPECT_EQ(state.Journals(), std::vector<std::string>{});
}

TEST(WindowsFilePaths, DirectoryPartJoinAndExecutable) {
    EXPECT_EQ(ExtractFileDir("C:\\Games\\prog.exe"), "C:\\Games");
    EXPECT_EQ(ExtractFileDir("C:\\prog.exe"), "C:\\");
    EXPECT_EQ(ExtractFileDir("C:prog.exe"), "C:");
    EXPECT_EQ(ExtractFileDir("\\\\server\\share\\prog.exe"), "\\\\server\\share");
    EXPECT_EQ(ExtractFileDir("C:/Games/len3.txt"), "C:/Games");
    EXPECT_EQ(ExtractFileDir("prog.exe"), "");
    EXPECT_EQ(JoinPath("C:\\Games", "len3.txt"), "C:\\Games\\len3.txt");
    EXPECT_EQ(JoinPath("C:\\Games\\", "len3.txt"), "C:\\Games\\len3.txt");

    const std::string self = ExecutablePath();
    EXPECT_EQ(self.substr(self.find_last_of("\\/") + 1), "test_file_access_windows.exe");
    EXPECT_TRUE(FileExists(self));
    EXPECT_FALSE(FileExists(ExtractFileDir(self)));
    EXPECT_FALSE(FileExists(self + ".missing"));
}

// The ordinary road: the new content replaces the old, the file keeps its attributes, and
// nothing is left beside it; a save never finished keeps the old file; the temporary files
// of killed saves go, unless a running save holds one.
TEST(WindowsSave, ReplacesKeepsAttributesAndLeavesNothingBehind) {
    ScratchDir dir;
    const std::string name = dir / "len5.txt";
    WriteBytes(name, "old words");
    ASSERT_TRUE(::SetFileAttributesA(name.c_str(), FILE_ATTRIBUTE_HIDDEN));
    const FileStamp before = StampOf(name);
    Save(name, "new");
    EXPECT_EQ(Load(name), "new");
    EXPECT_NE(AttributesOf(name) & FILE_ATTRIBUTE_HIDDEN, 0u);
    EXPECT_NE(StampOf(name).Inode, before.Inode) << "a new file took the old one's place";
    Save(dir / "len6.txt", "abcdef");
    EXPECT_EQ(ReadBytes(dir / "len6.txt"), "abcdef");
    {
        RecordFile file(name);
        file.Create();
        file.Write("never closed", 12);
    }
    EXPECT_EQ(ReadBytes(name), "new");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"len5.txt", "len6.txt"}));

    WriteBytes(dir / ".kormoszi-AbC123", "killed");
    WriteBytes(dir / ".kormoszi-held12", "running");
    WriteBytes(dir / ".kormoszi-journal-len5.txt", "not ours");
    {
        HeldFile running(dir / ".kormoszi-held12", 0);
        ASSERT_TRUE(running.Held());
        Save(name, "again");
    }
    EXPECT_EQ(ReadBytes(name), "again");
    EXPECT_EQ(dir.Entries(),
              (std::vector<std::string>{".kormoszi-held12", ".kormoszi-journal-len5.txt",
                                        "len5.txt", "len6.txt"}));
}

// A hard-linked file is rewritten in place: every name sees the new words, and a save
// abandoned half-way puts the old bytes back and leaves no journal.
TEST(WindowsSave, HardLinksAreRewrittenInPlace) {
    ScratchDir dir;
    JournalDir state;
    const std::string name = dir / "len5.txt", other = dir / "other.txt";
    WriteBytes(name, "aaaaabbbbb");
    ASSERT_TRUE(::CreateHardLinkA(other.c_str(), name.c_str(), nullptr));
    const std::uint64_t index = StampOf(name).Inode;
    Save(name, "ccccc");
    EXPECT_EQ(ReadBytes(other), "ccccc");
    EXPECT_EQ(StampOf(name).Inode, index);
    {
        RecordFile file(name);
        file.Create();
        file.Write(std::string(300'000, 'x').data(), 300'000);
    }
    EXPECT_EQ(ReadBytes(other), "ccccc");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"len5.txt", "other.txt"}));
    EXPECT_EQ(state.Journals(), std::vector<std::string>{});
}

// In a directory that takes no new file, a writable word file is rewritten in place behind
// the journal, and a new word file cannot be made there.
TEST(WindowsSave, ADirectoryThatTakesNoNewFileGetsItsFilesRewrittenInPlace) {
    ScratchDir dir;
    JournalDir state;
    const std::string name = dir / "len3.txt";
    WriteBytes(name, "abc");
    const std::uint64_t index = StampOf(name).Inode;
    NoNewFiles locked(dir.Path());
    const HANDLE probe = ::CreateFileA((dir / "probe").c_str(), GENERIC_WRITE, 0, nullptr,
                                       CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        ::CloseHandle(probe);
        GTEST_SKIP() << "the directory's access list does not bind here (Wine keeps none)";
    }
    Save(name, "xyzxyz");
    EXPECT_EQ(Load(name), "xyzxyz");
    EXPECT_EQ(StampOf(name).Inode, index);
    EXPECT_EQ(FileErrorOf([&] { Save(dir / "len4.txt", "abcd"); }), 5);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"len3.txt"});
    EXPECT_EQ(state.Journals(), std::vector<std::string>{});
}

// A whole journal brings the old bytes back on the next load, through any name of the
// file; one cut short, or one whose file was replaced since, goes without touching it.
TEST(WindowsJournal, TheNextLoadRollsBackOnlyFromAWholeJournalOfTheSameFile) {
    ScratchDir dir;
    JournalDir state;
    const std::string name = dir / "len3.txt", other = dir / "other.txt";
    WriteBytes(name, "newnew");
    ASSERT_TRUE(::CreateHardLinkA(other.c_str(), name.c_str(), nullptr));
    LeaveInterruptedRewrite(name, "oldoldold", "newne");
    ASSERT_EQ(state.Journals().size(), 1u);
    EXPECT_EQ(Load(other), "oldoldold");
    EXPECT_EQ(ReadBytes(name), "oldoldold");
    EXPECT_EQ(state.Journals(), std::vector<std::string>{});

    LeaveInterruptedRewrite(name, "abc", "oldoldold");
    const std::string journal = state.Dir() + "\\" + state.Journals().at(0);
    const std::string whole = ReadBytes(journal);
    WriteBytes(journal, whole.substr(0, whole.size() - 1));
    EXPECT_EQ(Load(name), "oldoldold");
    EXPECT_EQ(state.Journals(), std::vector<std::string>{});

    LeaveInterruptedRewrite(name, "abc", "oldoldold");
    WriteBytes(dir / "fresh", "xyz");
    ASSERT_TRUE(::MoveFileExA((dir / "fresh").c_str(), name.c_str(), MOVEFILE_REPLACE_EXISTING));
    Save(name, "def");  // a save rolls back first, too
    EXPECT_EQ(Load(name), "def");
    EXPECT_EQ(ReadBytes(other), "oldoldold");
    EXPECT_EQ(state.Journals(), std::vector<std::string>{});
}

// A load while a save rewrites the file behind its journal waits for that save instead of
// reading the half-written file, and does not roll back what it wrote.
TEST(WindowsJournal, ALoadWaitsForARewriteThatHoldsItsJournal) {
    ScratchDir dir;
    JournalDir state;
    const std::string name = dir / "len3.txt";
    WriteBytes(name, "oldoldold");
    HANDLE halfway = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread save([&] {
        RollbackJournal journal;
        const std::string real = std::filesystem::canonical(name).string();
        EXPECT_EQ(journal.Write(real, StampOf(name).Inode, "oldoldold"), 0);
        WriteBytes(name, "newold");
        ::SetEvent(halfway);
        ::Sleep(300);
        WriteBytes(name, "newnewnew");
        journal.Remove();
    });
    ::WaitForSingleObject(halfway, INFINITE);
    EXPECT_EQ(Load(name), "newnewnew");
    save.join();
    ::CloseHandle(halfway);
    EXPECT_EQ(state.Journals(), std::vector<std::string>{});
}

// A save that finds the file changed since the stamp it was given puts nothing in place,
// on both roads; with the right stamp it goes through and reports the new file's stamp.
TEST(WindowsSave, ACloseIfUnchangedLeavesAChangedFileAlone) {
    ScratchDir dir;
    JournalDir state;
    const std::string name = dir / "len3.txt";
    for (bool linked : {false, true}) {
        WriteBytes(name, "abc");
        if (linked) {
            ASSERT_TRUE(::CreateHardLinkA((dir / "other.txt").c_str(), name.c_str(), nullptr));
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
        EXPECT_EQ(state.Journals(), std::vector<std::string>{});
    }
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"len3.txt", "other.txt"}));
}

}  // namespace
}  // namespace kormoszi
