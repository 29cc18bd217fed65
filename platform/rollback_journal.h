#pragma once
// The rollback journal of a rewrite in place. Before the first byte of the file changes,
// its old content goes, synced, into a journal that names the file (inode and path; the
// file index stands for the inode on Windows) and
// proves itself whole (lengths and checksum). The next load or save of that file, through
// any of its names, rolls an interrupted rewrite back from it.
//
// Journals live only in the user's own state directory, never beside the word file: a
// game directory may be shared with other users, and nothing in it is ever read as a
// journal. The device number is no part of a journal: a disk mounted again under another
// number still gets its rollback.

#include <cstdint>
#include <string>

namespace kormoszi {

// What a journal holds.
struct JournalEntry {
    std::string Path;  // the file's full name, links resolved, when it was journalled
    std::uint64_t Inode = 0;
    std::string Content;  // the old content
};

// The bytes of a journal of entry, checksum included.
std::string EncodeJournal(const JournalEntry& entry);
// False unless body is a whole journal: every length lies within the checksummed part and
// the checksum agrees. Reads nothing outside body. O(size).
bool DecodeJournal(const std::string& body, JournalEntry& entry);

// The journal's name in the state directory for the file at path, and whether a name
// there is a journal's.
std::string JournalName(const std::string& path);
bool IsJournalName(const std::string& name);

// $XDG_STATE_HOME/kormoszi, by default ~/.local/state/kormoszi; on Windows
// %LOCALAPPDATA%\Kormoszi.
std::string StateDirectory();

class RollbackJournal {
  public:
    RollbackJournal() = default;
    // Closes the journal; it stays where it is unless Remove ran.
    ~RollbackJournal();
    RollbackJournal(const RollbackJournal&) = delete;
    RollbackJournal& operator=(const RollbackJournal&) = delete;

    // Writes and syncs the journal of the file at path (its full name, links resolved)
    // with the given inode (the file index on Windows) and old content, in the state
    // directory, which is made (mode 0700, each new level synced) when missing. The journal
    // stays locked until Remove or destruction, so that no rollback takes it meanwhile.
    // 0 or a system error (EACCES for a state directory that is not the user's own).
    int Write(const std::string& path, std::uint64_t inode, const std::string& content);
    // Removes the journal once the file holds all of the new content or the old again.
    void Remove() noexcept;

  private:
    std::string name_;         // its name in the state directory, empty when there is none
    std::intptr_t dir_ = -1;   // the state directory (a NativeFile; none on Windows)
    std::intptr_t file_ = -1;  // the journal (a NativeFile)
};

// Rolls back every interrupted rewrite that the user's journals record, the file that
// fileName names among them (through whatever name it was journalled), and drops the
// journals that are not whole or whose file is gone or was replaced by another. Throws
// EInOutError when a whole journal of fileName's own file cannot be put back; that
// journal stays then. Costs a look at the state directory, which is empty but after a
// crash.
void RollBackInterruptedRewrites(const std::string& fileName);

}  // namespace kormoszi
