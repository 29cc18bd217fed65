#pragma once
// The rollback journal of a rewrite in place. Before the first byte of the file changes,
// its old content goes, synced, into a journal that names the file (path, device, inode)
// and proves itself whole (length and checksum). The next load or save rolls an
// interrupted rewrite back from it; a journal that is not whole was written before the
// file was touched and is dropped, and so is one whose file was since replaced by another.

#include <sys/stat.h>

#include <string>

namespace kormoszi {

class RollbackJournal {
  public:
    RollbackJournal() = default;
    // Closes the journal; it stays where it is unless Remove ran.
    ~RollbackJournal();
    RollbackJournal(const RollbackJournal&) = delete;
    RollbackJournal& operator=(const RollbackJournal&) = delete;

    // Writes and syncs the journal of the file at path (its stat st) holding content:
    // beside the file when beside is true and the directory takes it there, else in the
    // user's state directory. The journal stays locked until Remove or destruction, so
    // that no other save rolls it back meanwhile. 0 or an errno.
    int Write(bool beside, const std::string& path, const struct stat& st,
              const std::string& content);
    // Removes the journal once the file holds all of the new content or the old again.
    void Remove() noexcept;

  private:
    int WriteAt(const std::string& journal, const std::string& body);

    std::string journal_;  // where it lies, empty when there is none
    int fd_ = -1;
};

// The name a journal of the file called base has beside it.
std::string JournalNameBeside(const std::string& base);
// True for a name of JournalNameBeside; base gets the file's name.
bool IsJournalName(const std::string& name, std::string& base);

// Rolls back an interrupted rewrite of the file fileName from its journal, beside it or in
// the state directory, and drops journals that are not whole or whose file is another one
// now. Throws EInOutError when a whole journal cannot be put back; it is kept then.
void RollBackInterruptedRewrite(const std::string& fileName);

}  // namespace kormoszi
