#pragma once
// Replacing the whole content of a file so that a failed or killed save leaves the old
// content as it was: the new content goes to a new file beside it, which is synced and
// renamed over the old one. Where that cannot be (other hard links, a directory that takes
// no new file or lets none be removed) the file is rewritten in place behind a rollback
// journal. Before anything else, an interrupted rewrite of the file is rolled back and
// what earlier saves left in the directory is cleared away.

#include <sys/stat.h>

#include <cstddef>
#include <string>

#include "platform/rollback_journal.h"

namespace kormoszi {

class SafeReplace {
  public:
    // Prepares to replace the file that name refers to, symbolic links followed; the file
    // need not exist. Throws EInOutError: 3 for a missing directory; 5 for a read-only
    // file, one that is not a regular file, or a directory that takes no file.
    explicit SafeReplace(const std::string& name);
    // Abandons what was not committed: the old file stays as it was.
    ~SafeReplace();
    SafeReplace(const SafeReplace&) = delete;
    SafeReplace& operator=(const SafeReplace&) = delete;

    // The file whose content is replaced, symbolic links followed.
    const std::string& Target() const { return target_; }
    // Appends size bytes of the new content; 0 or an errno.
    int Write(const char* data, std::size_t size);
    // Puts the new content in place; 0, or an errno after which the old file is as it was
    // (or, only when syncing the directory failed, the new content is in place unsynced).
    int Commit();

  private:
    [[noreturn]] void Fail(int errnum);
    void OpenDirectory();
    void ProbeWritable();
    void BeginNewFile();
    void CleanUpDirectory();
    void BeginInPlace();
    int CommitNewFile();
    int CommitInPlace();
    int LinkUnnamed();
    void Abandon() noexcept;
    bool RestoreInPlace() noexcept;

    std::string target_;  // the real file, symbolic links followed
    std::string base_;    // its name in its directory
    int dirFd_ = -1;
    bool dirSyncable_ = true;  // false for a directory we may search but not read
    bool keepsNames_ = false;  // append-only or immutable: nothing made there goes again
    bool exists_ = false;
    struct stat old_ {};

    int fd_ = -1;           // where the new content goes
    bool unnamed_ = false;  // O_TMPFILE, not linked yet
    std::string tempName_;  // a named new file in the directory, removed unless renamed
    off_t written_ = 0;

    bool inPlace_ = false;
    bool touched_ = false;     // in place: the old bytes were overwritten
    std::string oldContent_;   // in place: what Abandon puts back
    RollbackJournal journal_;  // in place: oldContent_, synced, for a save that is killed
};

}  // namespace kormoszi
