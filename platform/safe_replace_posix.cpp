#include "platform/safe_replace.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <vector>

#include "platform/descriptor_io.h"

namespace kormoszi {

namespace {

// Calls make with fresh hidden names until one is not taken yet; 0, or the errno of the
// attempt that failed otherwise. The name that worked ends up in chosen.
int WithFreshName(std::string& chosen, const std::function<int(const std::string&)>& make) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = FreshTemporaryName();
        const int error = make(name);
        if (error == 0)
            chosen = std::move(name);
        if (error != EEXIST)
            return error;
    }
    return EEXIST;
}

// A file that grows past RLIMIT_FSIZE must fail with EFBIG, not kill the program.
void IgnoreFileSizeSignal() {
    static const bool done = [] {
        struct sigaction action {};
        action.sa_handler = SIG_IGN;
        sigemptyset(&action.sa_mask);
        return ::sigaction(SIGXFSZ, &action, nullptr) == 0;
    }();
    (void)done;
}

// True for a directory that lets no name be removed (append-only or immutable).
bool LetsNothingGo(int dirFd) {
    int flags = 0;
    return ::ioctl(dirFd, FS_IOC_GETFLAGS, &flags) == 0 &&
           (flags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) != 0;
}

// Removes name in dirFd when it is a temporary file of ours that no running save holds.
// In a shared directory the name may be anybody's: only our own regular file with no
// other name goes.
void RemoveIfStale(int dirFd, const char* name) {
    const int fd = ::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
        st.st_nlink == 1 && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
        ::unlinkat(dirFd, name, 0);
    ::close(fd);
}

void CloseQuietly(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

}  // namespace

struct ReplaceTarget::Native {
    int dirFd = -1;
    bool dirSyncable = true;  // false for a directory we may search but not read
    bool keepsNames = false;  // append-only or immutable: nothing made there goes again
    struct stat old {};

    Native() = default;
    ~Native() { CloseQuietly(dirFd); }
    Native(const Native&) = delete;
    Native& operator=(const Native&) = delete;
};

namespace {

// The kernel's rule for protected links, applied to the links a save follows itself: a
// link in a sticky directory that others may write counts only when it is the user's own
// or the directory owner's. Anybody else's may point at any file of the user's.
bool PlantedByAnother(const std::string& link, const struct stat& st) {
    const std::string dir = ExtractFileDir(link);
    struct stat parent;
    if (::stat(dir.empty() ? "." : dir.c_str(), &parent) != 0)
        return false;  // the lstat of the link went through it a moment ago
    const bool shared =
        (parent.st_mode & S_ISVTX) != 0 && (parent.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    return shared && st.st_uid != ::geteuid() && st.st_uid != parent.st_uid;
}

// Sets target to the file that name finally refers to and st to its lstat; false when that
// file does not exist.
bool FollowLinks(const std::string& name, std::string& target, struct stat& st) {
    target = name;
    for (int hops = 0;; ++hops) {
        if (::lstat(target.c_str(), &st) != 0) {
            if (errno == ENOENT)
                return false;
            RaiseFileError(errno, target);
        }
        if (!S_ISLNK(st.st_mode))
            return true;
        if (PlantedByAnother(target, st))
            throw EInOutError(FileCode::kAccessDenied);
        if (hops == 40)
            RaiseFileError(ELOOP, target);
        std::string link(static_cast<std::size_t>(st.st_size) + 256, '\0');
        const ssize_t length = ::readlink(target.c_str(), link.data(), link.size());
        if (length < 0)
            RaiseFileError(errno, target);
        link.resize(static_cast<std::size_t>(length));
        if (link.empty())
            RaiseFileError(ENOENT, target);
        // A relative link counts from the directory that holds it.
        target = link[0] == '/' ? std::move(link) : JoinPath(ExtractFileDir(target), link);
    }
}

// rename() would replace a read-only file too, so the file itself is asked.
void ProbeWritable(const std::string& path, ReplaceTarget::Native& native) {
    if (!S_ISREG(native.old.st_mode))
        throw EInOutError(FileCode::kAccessDenied);
    int probe = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (probe < 0)
        RaiseFileError(errno, path);
    const int statError = ::fstat(probe, &native.old) == 0 ? 0 : errno;
    CloseQuietly(probe);
    if (statError != 0)
        RaiseFileError(statError, path);
}

void OpenDirectory(const std::string& path, ReplaceTarget::Native& native) {
    std::string dir = ExtractFileDir(path);
    if (dir.empty())
        dir.push_back('.');  // (an assignment trips GCC 12's -Wrestrict at -O3)
    native.dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (native.dirFd < 0 && errno == EACCES) {
        native.dirFd = ::open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        native.dirSyncable = false;
    }
    if (native.dirFd < 0)
        RaiseFileError(errno, path);
    native.keepsNames = native.dirSyncable && LetsNothingGo(native.dirFd);
}

// The new content in a new file beside the old one, renamed over it once synced.
class NewFileReplace final : public Replacement {
  public:
    using Replacement::Replacement;
    ~NewFileReplace() override { Abandon(); }

    // Makes the new file. False when it cannot be given the old file's owner and group, or
    // when the directory takes no new file but the old file is writable: the file must
    // then be rewritten in place. Throws EInOutError.
    bool Begin();
    // Gives the target back after Begin returned false.
    std::unique_ptr<ReplaceTarget> GiveUp() { return std::move(target_); }

    int Write(const char* data, std::size_t size) override { return WriteAll(fd_, data, size); }
    int Commit(const FileStamp* expected, FileStamp* written) override;

  private:
    int MakeFile();
    bool KeepOwnerAndMode();
    int LinkUnnamed();
    bool Changed(const FileStamp* expected) const;
    void Abandon() noexcept;

    int fd_ = -1;
    bool unnamed_ = false;  // O_TMPFILE, not linked yet
    std::string tempName_;  // a named new file in the directory, removed unless renamed
};

// O_TMPFILE where the file system has it: a killed save then leaves no name behind.
int NewFileReplace::MakeFile() {
    fd_ = ::openat(target_->System().dirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
        unnamed_ = true;
        return 0;
    }
    const int error = errno;
    if (error != EOPNOTSUPP && error != EISDIR && error != EINVAL)
        return error;
    // O_EXCL, like mkostemp, but the mode honours the umask as a plain create would.
    return WithFreshName(tempName_, [this](const std::string& name) {
        fd_ = ::openat(target_->System().dirFd, name.c_str(),
                       O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
        if (fd_ < 0)
            return errno;
        (void)::flock(fd_, LOCK_EX);  // so that another save's clean-up leaves it alone
        return 0;
    });
}

bool NewFileReplace::Begin() {
    const int error = MakeFile();
    if (error == 0)
        return KeepOwnerAndMode();
    if (target_->Exists() && (error == EACCES || error == EPERM))
        return false;  // the directory takes no file, but the file itself is writable
    Abandon();
    target_->Fail(error);
}

// A shared word file stays its owner's and its group's: where the saver may not give the
// new file away, the old one is rewritten instead.
bool NewFileReplace::KeepOwnerAndMode() {
    if (!target_->Exists())
        return true;
    const struct stat& old = target_->System().old;
    struct stat st;
    if (::fstat(fd_, &st) != 0 || ((st.st_uid != old.st_uid || st.st_gid != old.st_gid) &&
                                   ::fchown(fd_, old.st_uid, old.st_gid) != 0)) {
        Abandon();
        return false;
    }
    if (::fchmod(fd_, old.st_mode & 07777) != 0) {
        const int error = errno;
        Abandon();
        target_->Fail(error);
    }
    return true;
}

bool NewFileReplace::Changed(const FileStamp* expected) const {
    if (expected == nullptr)
        return false;
    FileStamp now;
    return StampAt(target_->Path(), now) != 0 || now != *expected;
}

int NewFileReplace::Commit(const FileStamp* expected, FileStamp* written) {
    if (::fsync(fd_) != 0)
        return errno;  // never retried: the pages may be gone
    struct stat st;
    if (::fstat(fd_, &st) != 0)
        return errno;
    if (written != nullptr)
        *written = StampFrom(st);
    const int dirFd = target_->System().dirFd;
    if (unnamed_ && target_->System().keepsNames) {
        // A new file where nothing goes again: it gets its name only when it is whole.
        if (Changed(expected))
            return kChanged;
        const std::string path = "/proc/self/fd/" + std::to_string(fd_);
        if (::linkat(AT_FDCWD, path.c_str(), dirFd, target_->Base().c_str(), AT_SYMLINK_FOLLOW) !=
            0)
            return errno;
        unnamed_ = false;
        CloseQuietly(fd_);
        return target_->System().dirSyncable && ::fsync(dirFd) != 0 ? errno : 0;
    }
    if (unnamed_) {
        if (const int error = LinkUnnamed())
            return error;
    }
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0)
        return errno;
    if (Changed(expected))
        return kChanged;
    if (::renameat(dirFd, tempName_.c_str(), dirFd, target_->Base().c_str()) != 0)
        return errno;
    tempName_.clear();
    return target_->System().dirSyncable && ::fsync(dirFd) != 0 ? errno : 0;
}

// Gives the O_TMPFILE file a hidden name, from which rename moves it over the old file.
int NewFileReplace::LinkUnnamed() {
    const std::string path = "/proc/self/fd/" + std::to_string(fd_);
    (void)::flock(fd_, LOCK_EX);  // as for a named temporary file
    const int dirFd = target_->System().dirFd;
    const int error = WithFreshName(tempName_, [&](const std::string& name) {
        int done = ::linkat(AT_FDCWD, path.c_str(), dirFd, name.c_str(), AT_SYMLINK_FOLLOW);
        if (done != 0 && errno == ENOENT)  // no /proc: needs privilege, but try it
            done = ::linkat(fd_, "", dirFd, name.c_str(), AT_EMPTY_PATH);
        return done == 0 ? 0 : errno;
    });
    if (error == 0)
        unnamed_ = false;
    return error;
}

void NewFileReplace::Abandon() noexcept {
    const int savedErrno = errno;
    CloseQuietly(fd_);
    unnamed_ = false;
    if (!tempName_.empty() && target_ != nullptr)
        ::unlinkat(target_->System().dirFd, tempName_.c_str(), 0);
    tempName_.clear();
    errno = savedErrno;
}

}  // namespace

ReplaceTarget::ReplaceTarget(const std::string& name) : native_(std::make_unique<Native>()) {
    exists_ = FollowLinks(name, path_, native_->old);
    const std::size_t slash = path_.rfind('/');
    base_ = slash == std::string::npos ? path_ : path_.substr(slash + 1);
    if (exists_)
        ProbeWritable(path_, *native_);
    OpenDirectory(path_, *native_);
}

ReplaceTarget::~ReplaceTarget() = default;

void ReplaceTarget::Fail(int error) const {
    RaiseFileError(error, path_);
}

void ClearLeftovers(const ReplaceTarget& target) {
    if (!target.System().dirSyncable || target.System().keepsNames)
        return;
    int listFd = ::dup(target.System().dirFd);
    DIR* list = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (list == nullptr) {
        CloseQuietly(listFd);
        return;
    }
    std::vector<std::string> stale;
    while (const struct dirent* entry = ::readdir(list))
        if (IsTemporaryName(entry->d_name))
            stale.emplace_back(entry->d_name);
    ::closedir(list);
    for (const std::string& name : stale)
        RemoveIfStale(target.System().dirFd, name.c_str());
}

std::unique_ptr<Replacement> StartReplacement(std::unique_ptr<ReplaceTarget> target) {
    IgnoreFileSizeSignal();
    // Other names of the file would keep the old content after a rename; a directory that
    // lets nothing go again would keep every new file made there.
    if (target->Exists() && (target->System().old.st_nlink > 1 || target->System().keepsNames))
        return RewriteInPlace(std::move(target));
    auto fresh = std::make_unique<NewFileReplace>(std::move(target));
    if (fresh->Begin())
        return fresh;
    return RewriteInPlace(fresh->GiveUp());
}

}  // namespace kormoszi
