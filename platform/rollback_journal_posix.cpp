#include "platform/rollback_journal.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/descriptor_io.h"
#include "platform/file_access.h"

namespace kormoszi {

namespace {

bool IsDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.empty() ? "." : path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Makes dir unless it is there, and syncs its parent so that the new name lasts; 0 or an
// errno.
int MakeLevel(const std::string& dir) {
    if (::mkdir(dir.c_str(), 0700) != 0)
        return errno == EEXIST ? 0 : errno;
    return SyncDirectoryOf(dir);
}

// Opens the state directory, made with every missing level first when make is true;
// -1 with errno set when it cannot be, EACCES when it is not the user's own. Only the user
// may write there, so that nobody else can put a journal in it.
int OpenStateDirectory(bool make) {
    const std::string dir = StateDirectory();
    if (make) {
        for (std::size_t slash = dir.find('/', 1);; slash = dir.find('/', slash + 1)) {
            if (const int error = MakeLevel(dir.substr(0, slash))) {
                errno = error;
                return -1;
            }
            if (slash == std::string::npos)
                break;
        }
    }
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || st.st_uid != ::geteuid()) {
        ::close(fd);
        errno = EACCES;
        return -1;
    }
    if ((st.st_mode & 077) != 0)
        (void)::fchmod(fd, 0700);
    return fd;
}

void Drop(int dirFd, const std::string& name) noexcept {
    if (::unlinkat(dirFd, name.c_str(), 0) == 0)
        (void)::fsync(dirFd);
}

// Writes the old content back into the file that now has the journal's name and inode
// (its stat now); 0, ESTALE when that name was given to another file meanwhile, or an
// errno.
int PutBack(const JournalEntry& entry, const struct stat& now) {
    const int fd =
        ::open(entry.Path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0)
        return errno;
    struct stat st;
    int error = ::fstat(fd, &st) == 0 ? 0 : errno;
    if (error == 0 && (st.st_dev != now.st_dev || st.st_ino != now.st_ino))
        error = ESTALE;
    if (error == 0)
        error = RewriteAll(fd, entry.Content);
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

// Reads a journal of the user's; false for anything else, which is left alone. fd is the
// journal, opened without following a link. A journal that a running save or another
// rollback holds is waited for (both take moments): reading the file meanwhile would find
// it half rewritten. One that its holder removed meanwhile is done with: its save went
// through, and rolling back from it would undo that.
bool ReadOwnJournal(int fd, bool locked, std::string& body) {
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
        return false;
    if (!locked && ::flock(fd, LOCK_EX) != 0)
        return false;
    return ::fstat(fd, &st) == 0 && st.st_nlink > 0 && ReadAll(fd, body) == 0;
}

// What to do with a whole journal: its file is the one that now has the journal's name
// and inode (now gets its stat); a file that is gone or another one ends the journal.
enum class JournalFate { PutBack, Drop, Keep };

JournalFate FateOf(const JournalEntry& entry, struct stat& now) {
    if (::stat(entry.Path.c_str(), &now) != 0)
        // Gone, unless its whole directory is away with a disk that is not mounted now.
        return errno == ENOENT && IsDirectory(ExtractFileDir(entry.Path)) ? JournalFate::Drop
                                                                          : JournalFate::Keep;
    return now.st_ino == entry.Inode && S_ISREG(now.st_mode) ? JournalFate::PutBack
                                                             : JournalFate::Drop;
}

// Rolls back from the journal name, or drops it when it is not whole or its file is gone
// or another. own is the file being loaded or saved (nullptr when it does not exist): a
// failure to put its old content back is thrown, any other is left for a later load.
void RollBackFrom(int dirFd, const std::string& name, const struct stat* own) {
    // A save makes its journal and locks it under the directory's lock, so a journal found
    // here unlocked is never one that its save has yet to lock: it is whole or was cut off.
    (void)::flock(dirFd, LOCK_SH);
    const int fd = ::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    const bool locked = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    (void)::flock(dirFd, LOCK_UN);
    if (fd < 0)
        return;
    std::string body;
    JournalEntry entry;
    struct stat now {};
    int error = 0;
    if (!ReadOwnJournal(fd, locked, body)) {
        ::close(fd);
        return;
    }
    // A journal that is not whole was cut off before its file was touched.
    JournalFate fate = DecodeJournal(body, entry) ? FateOf(entry, now) : JournalFate::Drop;
    if (fate == JournalFate::PutBack) {
        error = PutBack(entry, now);
        fate = error == 0 || error == ESTALE ? JournalFate::Drop : JournalFate::Keep;
    }
    if (fate == JournalFate::Drop)
        Drop(dirFd, name);
    ::close(fd);
    const bool ownFile = own != nullptr && own->st_dev == now.st_dev && own->st_ino == now.st_ino;
    if (fate == JournalFate::Keep && error != 0 && ownFile)
        throw EInOutError(FileErrorCode(error, entry.Path));
}

}  // namespace

std::string StateDirectory() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/')
        return JoinPath(state, "kormoszi");
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
        const struct passwd* user = ::getpwuid(::geteuid());
        home = user != nullptr && user->pw_dir != nullptr ? user->pw_dir : "/";
    }
    return JoinPath(home, ".local/state/kormoszi");
}

void RollBackInterruptedRewrites(const std::string& fileName) {
    const int dirFd = OpenStateDirectory(false);
    if (dirFd < 0)
        return;  // none, or not the user's own: nothing in it is trusted
    std::vector<std::string> journals;
    const int listFd = ::dup(dirFd);
    if (DIR* list = listFd >= 0 ? ::fdopendir(listFd) : nullptr) {
        while (const struct dirent* entry = ::readdir(list))
            if (IsJournalName(entry->d_name))
                journals.emplace_back(entry->d_name);
        ::closedir(list);
    } else if (listFd >= 0) {
        ::close(listFd);
    }
    struct stat own;
    const bool exists = ::stat(fileName.c_str(), &own) == 0;
    try {
        for (const std::string& name : journals)
            RollBackFrom(dirFd, name, exists ? &own : nullptr);
    } catch (...) {
        ::close(dirFd);
        throw;
    }
    ::close(dirFd);
}

RollbackJournal::~RollbackJournal() {
    if (file_ >= 0)
        ::close(static_cast<int>(file_));
    if (dir_ >= 0)
        ::close(static_cast<int>(dir_));
}

int RollbackJournal::Write(const std::string& path, std::uint64_t inode,
                           const std::string& content) {
    const int dirFd = OpenStateDirectory(true);
    dir_ = dirFd;
    if (dirFd < 0)
        return errno;
    const std::string name = JournalName(path);
    // Made and locked under the directory's lock: a load of another file in another copy
    // of the program could otherwise open it in between, find it not whole, take it for
    // one cut off by a crash and drop it, leaving this save unguarded.
    int error = ::flock(dirFd, LOCK_EX) == 0 ? 0 : errno;
    const int fd = error != 0 ? -1
                              : ::openat(dirFd, name.c_str(),
                                         O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0 && error == 0)
        error = errno;
    file_ = fd;
    if (fd >= 0) {
        name_ = name;
        error = ::flock(fd, LOCK_EX) == 0 ? 0 : errno;
    }
    (void)::flock(dirFd, LOCK_UN);
    if (fd < 0)
        return error;
    const std::string body = EncodeJournal({path, inode, content});
    if (error == 0)
        error = WriteAll(fd, body.data(), body.size());
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (error == 0 && ::fsync(dirFd) != 0)
        error = errno;
    if (error != 0)
        Remove();
    return error;
}

void RollbackJournal::Remove() noexcept {
    if (!name_.empty())
        Drop(static_cast<int>(dir_), name_);
    name_.clear();
    if (file_ >= 0)
        ::close(static_cast<int>(file_));
    file_ = -1;
}

}  // namespace kormoszi
