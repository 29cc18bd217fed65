#pragma once
// Replacing the whole content of a file so that a failed, killed or cut-off save leaves
// either the old content or the new one, never a mix. Two roads:
//
//   NewFileReplace   the new content goes to a new file beside the old one, which is
//                    synced and renamed over it;
//   InPlaceRewrite   where that cannot be (other hard links, a directory that takes no new
//                    file or lets none go again, an owner and group that a new file could
//                    not keep), the file itself is rewritten behind a rollback journal.
//
// A save runs: ReplaceTarget (which file, links followed) -> ClearLeftovers ->
// StartReplacement (picks the road) -> Write ... -> Commit.

#include <cstddef>
#include <memory>
#include <string>

#include "platform/file_access.h"
#include "platform/rollback_journal.h"

namespace kormoszi {

// The file whose content a save replaces, and its directory.
class ReplaceTarget {
  public:
    // The file and its directory as the system describes them; each platform's save
    // defines it.
    struct Native;

    // Follows symbolic links from name to the file, which need not exist. Throws
    // EInOutError: 3 for a missing directory; 5 for a read-only file, one that is not a
    // regular file, a directory we may not enter, or a link that another user planted in
    // a sticky directory that others may write (the kernel's rule for protected links).
    explicit ReplaceTarget(const std::string& name);
    ~ReplaceTarget();
    ReplaceTarget(const ReplaceTarget&) = delete;
    ReplaceTarget& operator=(const ReplaceTarget&) = delete;

    const std::string& Path() const { return path_; }  // the real file
    const std::string& Base() const { return base_; }  // its name in its directory
    bool Exists() const { return exists_; }
    Native& System() const { return *native_; }
    [[noreturn]] void Fail(int error) const;

  private:
    std::string path_, base_;
    bool exists_ = false;
    std::unique_ptr<Native> native_;
};

// The new files that saves make beside a word file are named ".kormoszi-" and six letters
// or digits, which no other program makes.
bool IsTemporaryName(const std::string& name);
std::string FreshTemporaryName();

// Removes the temporary files that killed saves of this user left in the target's
// directory: regular files of ours, of our exact temporary-name pattern, that no running
// save holds. Anything else there stays, whoever made it.
void ClearLeftovers(const ReplaceTarget& target);

// One road of a save. Destroying it before a successful Commit abandons the new content:
// the old file stays as it was.
class Replacement {
  public:
    // Commit's answer when the file no longer has the stamp expected.
    static constexpr int kChanged = -1;

    explicit Replacement(std::unique_ptr<ReplaceTarget> target) : target_(std::move(target)) {}
    virtual ~Replacement() = default;
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    const std::string& Target() const { return target_->Path(); }
    // Appends size bytes of the new content; 0 or a system error.
    virtual int Write(const char* data, std::size_t size) = 0;
    // Puts the new content in place: 0; kChanged, with the file untouched, when expected
    // is given and the file's stamp differs from it; or a system error after which the old file
    // is as it was (or, only when syncing the directory failed, the new content is in
    // place unsynced). written, when given, gets the stamp of the new content.
    virtual int Commit(const FileStamp* expected, FileStamp* written) = 0;

  protected:
    std::unique_ptr<ReplaceTarget> target_;
};

// The road that rewrites the file itself, behind the journal. Throws EInOutError when the
// file cannot be opened for it.
std::unique_ptr<Replacement> RewriteInPlace(std::unique_ptr<ReplaceTarget> target);
// Starts the road that suits the target. Throws EInOutError.
std::unique_ptr<Replacement> StartReplacement(std::unique_ptr<ReplaceTarget> target);

}  // namespace kormoszi
