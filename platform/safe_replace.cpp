#include "platform/safe_replace.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <functional>
#include <random>
#include <vector>

#include "platform/descriptor_io.h"
#include "platform/file_access.h"
#include "platform/rollback_journal.h"

namespace kormoszi {

namespace {

[[noreturn]] void Raise(int errnum, const std::string& fileName) {
    throw EInOutError(FileErrorCode(errnum, fileName));
}

constexpr char kTemporaryPrefix[] = ".kormoszi-";
constexpr std::size_t kTemporaryLetters = 6;

// The names WithFreshName makes, which no other program makes.
bool IsTemporaryName(const std::string& name) {
    const std::size_t prefix = sizeof kTemporaryPrefix - 1;
    return name.size() == prefix + kTemporaryLetters &&
           name.compare(0, prefix, kTemporaryPrefix) == 0 &&
           std::all_of(name.begin() + prefix, name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

// Calls make with fresh hidden names until one is not taken yet; 0, or the errno of the
// attempt that failed otherwise. The name that worked ends up in chosen.
int WithFreshName(std::string& chosen, const std::function<int(const std::string&)>& make) {
    static std::mt19937 random{std::random_device{}()};
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = kTemporaryPrefix;
        for (std::size_t i = 0; i < kTemporaryLetters; ++i)
            name += kLetters[random() % (sizeof kLetters - 1)];
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
bool KeepsNames(int dirFd) {
    int flags = 0;
    return ::ioctl(dirFd, FS_IOC_GETFLAGS, &flags) == 0 &&
           (flags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) != 0;
}

// Removes the temporary file name in dirFd unless a running save holds it.
void RemoveIfStale(int dirFd, const char* name) {
    int fd = ::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        ::unlinkat(dirFd, name, 0);
    ::close(fd);
}

void CloseQuietly(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// Sets target to the file that name finally refers to and st to its lstat; false when that
// file does not exist.
bool FollowLinks(const std::string& name, std::string& target, struct stat& st) {
    target = name;
    for (int hops = 0;; ++hops) {
        if (::lstat(target.c_str(), &st) != 0) {
            if (errno == ENOENT)
                return false;
            Raise(errno, target);
        }
        if (!S_ISLNK(st.st_mode))
            return true;
        if (hops == 40)
            Raise(ELOOP, target);
        std::string link(static_cast<std::size_t>(st.st_size) + 256, '\0');
        ssize_t length = ::readlink(target.c_str(), link.data(), link.size());
        if (length < 0)
            Raise(errno, target);
        link.resize(static_cast<std::size_t>(length));
        if (link.empty())
            Raise(ENOENT, target);
        if (link[0] == '/') {
            target = std::move(link);
        } else {  // relative to the directory that holds the link
            target = ExtractFileDir(target);
            if (!target.empty() && target.back() != '/')
                target.push_back('/');
            target += link;
        }
    }
}

}  // namespace

SafeReplace::SafeReplace(const std::string& name) {
    IgnoreFileSizeSignal();
    RollBackInterruptedRewrite(name);
    exists_ = FollowLinks(name, target_, old_);
    std::size_t slash = target_.rfind('/');
    base_ = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    if (exists_)
        ProbeWritable();
    OpenDirectory();
    CleanUpDirectory();
    // Other names of the file would keep the old content after a rename; a directory that
    // lets nothing go again would keep every new file made there.
    if (exists_ && (old_.st_nlink > 1 || keepsNames_))
        BeginInPlace();
    else
        BeginNewFile();
}

SafeReplace::~SafeReplace() {
    Abandon();
}

void SafeReplace::Fail(int errnum) {
    Abandon();
    Raise(errnum, target_);
}

// rename() would replace a read-only file too, so the file itself is asked.
void SafeReplace::ProbeWritable() {
    if (!S_ISREG(old_.st_mode))
        throw EInOutError(FileCode::kAccessDenied);
    int probe = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (probe < 0)
        Raise(errno, target_);
    int statError = ::fstat(probe, &old_) == 0 ? 0 : errno;
    CloseQuietly(probe);
    if (statError != 0)
        Raise(statError, target_);
}

void SafeReplace::OpenDirectory() {
    std::string dir = ExtractFileDir(target_);
    if (dir.empty())
        dir.push_back('.');  // (an assignment trips GCC 12's -Wrestrict at -O3)
    dirFd_ = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd_ < 0 && errno == EACCES) {
        dirFd_ = ::open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        dirSyncable_ = false;
    }
    if (dirFd_ < 0)
        Fail(errno);
    keepsNames_ = dirSyncable_ && KeepsNames(dirFd_);
}

// What earlier saves left here when they were killed: interrupted rewrites are rolled
// back, temporary files that no running save holds are removed.
void SafeReplace::CleanUpDirectory() {
    if (!dirSyncable_ || keepsNames_)
        return;
    int listFd = ::dup(dirFd_);
    DIR* list = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (list == nullptr) {
        CloseQuietly(listFd);
        return;
    }
    std::string dir = ExtractFileDir(target_);
    if (!dir.empty() && dir.back() != '/')
        dir.push_back('/');
    std::vector<std::string> journalled;
    while (const struct dirent* entry = ::readdir(list)) {
        std::string base;
        if (IsJournalName(entry->d_name, base))
            journalled.push_back(base);
        else if (IsTemporaryName(entry->d_name))
            RemoveIfStale(dirFd_, entry->d_name);
    }
    ::closedir(list);
    for (const std::string& base : journalled)
        RollBackInterruptedRewrite(dir + base);
}

void SafeReplace::BeginNewFile() {
    fd_ = ::openat(dirFd_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
        unnamed_ = true;
        return;
    }
    int error = errno;
    if (error == EOPNOTSUPP || error == EISDIR || error == EINVAL) {
        // O_EXCL, like mkostemp, but the mode honours the umask as a plain create would.
        error = WithFreshName(tempName_, [this](const std::string& name) {
            fd_ = ::openat(dirFd_, name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
            return fd_ >= 0 ? 0 : errno;
        });
        // Held while the save runs, so that another save's clean-up leaves the file alone.
        if (error == 0)
            (void)::flock(fd_, LOCK_EX);
    }
    if (error == 0)
        return;
    if (exists_ && (error == EACCES || error == EPERM))
        return BeginInPlace();  // the directory takes no file, but the file is writable
    Fail(error);
}

// Rewrites the file itself. Its old content is kept in memory, for a save that fails, and
// in a synced journal, for one that is killed, until the new content is synced.
void SafeReplace::BeginInPlace() {
    inPlace_ = true;
    fd_ = ::open(target_.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd_ < 0)
        Fail(errno);
    if (int error = ReadAll(fd_, oldContent_))
        Fail(error);
    if (::lseek(fd_, 0, SEEK_SET) < 0)
        Fail(errno);
    if (int error = journal_.Write(!keepsNames_, target_, old_, oldContent_))
        Fail(error);
}

int SafeReplace::Write(const char* data, std::size_t size) {
    if (inPlace_)
        touched_ = true;
    int error = WriteAll(fd_, data, size);
    if (error == 0)
        written_ += static_cast<off_t>(size);
    return error;
}

int SafeReplace::Commit() {
    int error = inPlace_ ? CommitInPlace() : CommitNewFile();
    if (error != 0) {
        Abandon();
        return error;
    }
    CloseQuietly(dirFd_);
    return 0;
}

int SafeReplace::CommitInPlace() {
    touched_ = true;
    if (::ftruncate(fd_, written_) != 0)
        return errno;
    if (::fsync(fd_) != 0)
        return errno;  // never retried: the pages may be gone
    int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0)
        return errno;
    inPlace_ = false;  // done: nothing to put back
    oldContent_.clear();
    journal_.Remove();
    return 0;
}

int SafeReplace::CommitNewFile() {
    if (exists_) {
        (void)!::fchown(fd_, old_.st_uid, old_.st_gid);  // only root may give a file away
        if (::fchmod(fd_, old_.st_mode & 07777) != 0)
            return errno;
    }
    if (::fsync(fd_) != 0)
        return errno;
    if (unnamed_ && keepsNames_) {
        // A new file where nothing goes again: it gets its name only when it is whole.
        const std::string path = "/proc/self/fd/" + std::to_string(fd_);
        if (::linkat(AT_FDCWD, path.c_str(), dirFd_, base_.c_str(), AT_SYMLINK_FOLLOW) != 0)
            return errno;
        unnamed_ = false;
        CloseQuietly(fd_);
        return dirSyncable_ && ::fsync(dirFd_) != 0 ? errno : 0;
    }
    if (unnamed_) {
        if (int error = LinkUnnamed())
            return error;
    }
    int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0)
        return errno;
    if (::renameat(dirFd_, tempName_.c_str(), dirFd_, base_.c_str()) != 0)
        return errno;
    tempName_.clear();
    if (dirSyncable_ && ::fsync(dirFd_) != 0)
        return errno;
    return 0;
}

// Gives the O_TMPFILE file a hidden name, from which rename moves it over the old file.
int SafeReplace::LinkUnnamed() {
    const std::string path = "/proc/self/fd/" + std::to_string(fd_);
    (void)::flock(fd_, LOCK_EX);  // as for a named temporary file
    int error = WithFreshName(tempName_, [&](const std::string& name) {
        int done = ::linkat(AT_FDCWD, path.c_str(), dirFd_, name.c_str(), AT_SYMLINK_FOLLOW);
        if (done != 0 && errno == ENOENT)  // no /proc: needs privilege, but try it
            done = ::linkat(fd_, "", dirFd_, name.c_str(), AT_EMPTY_PATH);
        return done == 0 ? 0 : errno;
    });
    if (error == 0)
        unnamed_ = false;
    return error;
}

// Undoes everything not yet committed: removes the new file, or in place writes the old
// bytes back. Keeps the journal only when putting the old bytes back failed.
void SafeReplace::Abandon() noexcept {
    int savedErrno = errno;
    if (inPlace_) {
        bool restored = !touched_ || RestoreInPlace();
        CloseQuietly(fd_);
        if (restored)
            journal_.Remove();
        inPlace_ = false;
    } else {
        CloseQuietly(fd_);
        if (!tempName_.empty())
            ::unlinkat(dirFd_, tempName_.c_str(), 0);
    }
    tempName_.clear();
    CloseQuietly(dirFd_);
    errno = savedErrno;
}

bool SafeReplace::RestoreInPlace() noexcept {
    if (fd_ < 0)
        fd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    return fd_ >= 0 && RewriteAll(fd_, oldContent_) == 0;
}

}  // namespace kormoszi
