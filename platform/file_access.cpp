#include "platform/file_access.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <string>

namespace kormoszi {

namespace {

// Large enough that a word file of a million words takes a handful of calls.
constexpr std::size_t kBufferSize = 256 * 1024;

std::string MessageFor(int code) {
    switch (code) {
        case FileCode::kFileNotFound:
            return "File not found";
        case FileCode::kInvalidFileName:
            return "Invalid filename";
        case FileCode::kTooManyOpenFiles:
            return "Too many open files";
        case FileCode::kAccessDenied:
            return "File access denied";
        case FileCode::kReadBeyondEnd:
            return "Read beyond end of file";
        case FileCode::kDiskFull:
            return "Disk full";
        case FileCode::kInvalidNumeric:
            return "Invalid numeric input";
        default:
            return "I/O error " + std::to_string(code);
    }
}

[[noreturn]] void Raise(int errnum, const std::string& fileName) {
    throw EInOutError(FileErrorCode(errnum, fileName));
}

// Writes all of data, going on after short writes and interrupted calls; 0 or an errno.
int WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t done = ::write(fd, data, size);
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (done == 0)
            return ENOSPC;
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return 0;
}

// Reads the whole rest of the file into content; 0 or an errno.
int ReadAll(int fd, std::string& content) {
    char chunk[64 * 1024];
    for (;;) {
        ssize_t done = ::read(fd, chunk, sizeof chunk);
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (done == 0)
            return 0;
        content.append(chunk, static_cast<std::size_t>(done));
    }
}

// A short hidden name for a file made beside the word file.
std::string TemporaryName() {
    static std::mt19937 random{std::random_device{}()};
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string name = ".kormoszi-";
    for (int i = 0; i < 6; ++i)
        name += kLetters[random() % (sizeof kLetters - 1)];
    return name;
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

void CloseQuietly(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

}  // namespace

EInOutError::EInOutError(int code) : std::runtime_error(MessageFor(code)), code_(code) {}

int FileErrorCode(int errnum, const std::string& fileName) {
    switch (errnum) {
        case ENOENT: {
            std::string dir = ExtractFileDir(fileName);
            struct stat st;
            bool dirExists =
                ::stat(dir.empty() ? "." : dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
            return dirExists ? FileCode::kFileNotFound : FileCode::kInvalidFileName;
        }
        case ENOTDIR:
        case ENAMETOOLONG:
            return FileCode::kInvalidFileName;
        case EMFILE:
        case ENFILE:
            return FileCode::kTooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EROFS:
            return FileCode::kAccessDenied;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return FileCode::kDiskFull;
        default:
            switch (errnum) {
                case 3:    // ESRCH
                case 4:    // EINTR
                case 5:    // EIO
                case 100:  // ENETDOWN
                case 101:  // ENETUNREACH
                case 102:  // ENETRESET
                case 103:  // ECONNABORTED
                case 106:  // EISCONN
                    return FileCode::kErrnoOffset + errnum;
                default:
                    return errnum;
            }
    }
}

bool FileExists(const std::string& fileName) {
    if (fileName.size() > kMaxFileName)
        return false;
    struct stat st;
    return ::stat(fileName.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ExtractFileDir(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    // The root keeps its separator, and so does a run of separators.
    if (slash > 0 && path[slash - 1] != '/')
        return path.substr(0, slash);
    return path.substr(0, slash + 1);
}

std::string ExecutablePath() {
    std::string path(256, '\0');
    for (;;) {
        ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
        if (length < 0)
            Raise(errno, "/proc/self/exe");
        if (static_cast<std::size_t>(length) < path.size()) {
            path.resize(static_cast<std::size_t>(length));
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// The save in progress: where the new content goes and how to undo it. Nothing of the
// old file changes before Commit, except in place, where Abandon writes the old bytes back.
struct RecordFile::Replacement {
    std::string target;  // the real file, symbolic links followed
    std::string base;    // its name in dir
    int dirFd = -1;
    bool dirSyncable = true;  // false for a directory we may search but not read
    bool exists = false;
    struct stat old {};

    int fd = -1;           // where the words go
    bool unnamed = false;  // O_TMPFILE, not linked yet
    std::string tempName;  // a named new file in dir, removed unless renamed
    off_t written = 0;

    bool inPlace = false;
    bool touched = false;    // in place: the old bytes were overwritten
    std::string oldContent;  // in place: what Abandon puts back
    std::string backupName;  // in place: the synced copy of oldContent beside the file

    ~Replacement() { Abandon(); }

    [[noreturn]] void Fail(int errnum) {
        Abandon();
        Raise(errnum, target);
    }

    void Begin(const std::string& name) {
        IgnoreFileSizeSignal();
        exists = FollowLinks(name);
        std::size_t slash = target.rfind('/');
        base = slash == std::string::npos ? target : target.substr(slash + 1);
        std::string dir = ExtractFileDir(target);
        if (dir.empty())
            dir.push_back('.');  // (an assignment trips GCC 12's -Wrestrict at -O3)

        if (exists) {
            if (!S_ISREG(old.st_mode))
                throw EInOutError(FileCode::kAccessDenied);
            // rename() would replace a read-only file too, so ask the file itself.
            int probe = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
            if (probe < 0)
                Raise(errno, target);
            int statError = ::fstat(probe, &old) == 0 ? 0 : errno;
            CloseQuietly(probe);
            if (statError != 0)
                Raise(statError, target);
        }

        dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirFd < 0 && errno == EACCES) {
            dirFd = ::open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            dirSyncable = false;
        }
        if (dirFd < 0)
            Fail(errno);

        // Other names of the file would keep the old content after a rename.
        if (exists && old.st_nlink > 1)
            return BeginInPlace();

        fd = ::openat(dirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd >= 0) {
            unnamed = true;
            return;
        }
        int error = errno;
        if (error == EOPNOTSUPP || error == EISDIR || error == EINVAL)
            error = CreateNamed(0666);
        if (error == 0)
            return;
        if (exists && (error == EACCES || error == EPERM))
            return BeginInPlace();
        Fail(error);
    }

    // Sets target to the file that name finally refers to and old to its lstat; false when
    // that file does not exist.
    bool FollowLinks(const std::string& name) {
        target = name;
        for (int hops = 0;; ++hops) {
            if (::lstat(target.c_str(), &old) != 0) {
                if (errno == ENOENT)
                    return false;
                Raise(errno, target);
            }
            if (!S_ISLNK(old.st_mode))
                return true;
            if (hops == 40)
                Raise(ELOOP, target);
            std::string link(static_cast<std::size_t>(old.st_size) + 256, '\0');
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

    // A new hidden file in the directory (O_EXCL, like mkostemp, but the mode honours the
    // umask as a plain create would); 0 or an errno.
    int CreateNamed(mode_t mode) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = TemporaryName();
            fd = ::openat(dirFd, name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode);
            if (fd >= 0) {
                tempName = name;
                return 0;
            }
            if (errno != EEXIST)
                return errno;
        }
        return EEXIST;
    }

    // Rewrites the file itself; its old content is kept in memory and, where the
    // directory allows, in a synced copy beside it until the new content is synced.
    void BeginInPlace() {
        inPlace = true;
        fd = ::open(target.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd < 0)
            Fail(errno);
        if (int error = ReadAll(fd, oldContent))
            Fail(error);
        if (::lseek(fd, 0, SEEK_SET) < 0)
            Fail(errno);

        int copy = -1;
        for (int attempt = 0; attempt < 100 && copy < 0; ++attempt) {
            std::string name = TemporaryName();
            copy = ::openat(dirFd, name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
            if (copy >= 0)
                backupName = name;
            else if (errno != EEXIST)
                break;
        }
        if (copy < 0) {
            if (errno == EACCES || errno == EPERM)
                return;  // the directory takes no file
            Fail(errno);
        }
        int error = WriteAll(copy, oldContent.data(), oldContent.size());
        if (error == 0 && ::fsync(copy) != 0)
            error = errno;
        if (::close(copy) != 0 && error == 0)
            error = errno;
        if (error == 0 && dirSyncable && ::fsync(dirFd) != 0)
            error = errno;
        if (error != 0)
            Fail(error);
    }

    int Write(const char* data, std::size_t size) {
        if (inPlace)
            touched = true;
        int error = WriteAll(fd, data, size);
        if (error == 0)
            written += static_cast<off_t>(size);
        return error;
    }

    // Puts the new content in place; 0, or an errno after which the old file is as it was
    // (or, only when syncing the directory failed, the new content is in place unsynced).
    int Commit() {
        int error = inPlace ? CommitInPlace() : CommitNewFile();
        if (error != 0) {
            Abandon();
            return error;
        }
        CloseQuietly(dirFd);
        return 0;
    }

    int CommitInPlace() {
        touched = true;
        if (::ftruncate(fd, written) != 0)
            return errno;
        if (::fsync(fd) != 0)
            return errno;  // never retried: the pages may be gone
        int closed = ::close(fd);
        fd = -1;
        if (closed != 0)
            return errno;
        inPlace = false;  // done: nothing to put back
        oldContent.clear();
        if (!backupName.empty())
            ::unlinkat(dirFd, backupName.c_str(), 0);
        backupName.clear();
        return 0;
    }

    int CommitNewFile() {
        if (exists) {
            (void)!::fchown(fd, old.st_uid, old.st_gid);  // only root may give a file away
            if (::fchmod(fd, old.st_mode & 07777) != 0)
                return errno;
        }
        if (::fsync(fd) != 0)
            return errno;
        if (unnamed) {
            if (int error = LinkUnnamed())
                return error;
        }
        int closed = ::close(fd);
        fd = -1;
        if (closed != 0)
            return errno;
        if (::renameat(dirFd, tempName.c_str(), dirFd, base.c_str()) != 0)
            return errno;
        tempName.clear();
        if (dirSyncable && ::fsync(dirFd) != 0)
            return errno;
        return 0;
    }

    // Gives the O_TMPFILE file a hidden name, from which rename moves it over the old file.
    int LinkUnnamed() {
        std::string path = "/proc/self/fd/" + std::to_string(fd);
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = TemporaryName();
            int done = ::linkat(AT_FDCWD, path.c_str(), dirFd, name.c_str(), AT_SYMLINK_FOLLOW);
            if (done != 0 && errno == ENOENT)  // no /proc: needs privilege, but try it
                done = ::linkat(fd, "", dirFd, name.c_str(), AT_EMPTY_PATH);
            if (done == 0) {
                unnamed = false;
                tempName = name;
                return 0;
            }
            if (errno != EEXIST)
                return errno;
        }
        return EEXIST;
    }

    // Undoes everything not yet committed: removes the new file, or in place writes the
    // old bytes back. Keeps the backup copy only when putting the old bytes back failed.
    void Abandon() noexcept {
        int savedErrno = errno;
        if (inPlace) {
            bool restored = !touched || RestoreInPlace();
            CloseQuietly(fd);
            if (restored && !backupName.empty())
                ::unlinkat(dirFd, backupName.c_str(), 0);
            inPlace = false;
        } else {
            CloseQuietly(fd);
            if (!tempName.empty())
                ::unlinkat(dirFd, tempName.c_str(), 0);
        }
        tempName.clear();
        backupName.clear();
        CloseQuietly(dirFd);
        errno = savedErrno;
    }

    bool RestoreInPlace() noexcept {
        if (fd < 0)
            fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        return fd >= 0 && ::lseek(fd, 0, SEEK_SET) == 0 &&
               WriteAll(fd, oldContent.data(), oldContent.size()) == 0 &&
               ::ftruncate(fd, static_cast<off_t>(oldContent.size())) == 0 && ::fsync(fd) == 0;
    }
};

RecordFile::RecordFile() = default;

RecordFile::RecordFile(std::string fileName) : name_(std::move(fileName)), bound_(true) {}

RecordFile::~RecordFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

void RecordFile::CheckName() const {
    if (!bound_)
        throw EInOutError(FileCode::kNotAssigned);
    if (name_.size() > kMaxFileName)
        throw EInOutError(FileCode::kInvalidFileName);
}

void RecordFile::Open(std::size_t recordSize) {
    if (IsOpen())
        Close();
    CheckName();
    int fd = ::open(name_.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        Raise(errno == EISDIR ? EACCES : errno, name_);  // like any file that is no file
    struct stat st;
    int error = ::fstat(fd, &st) == 0 ? 0 : errno;
    if (error == 0 && !S_ISREG(st.st_mode))
        error = EACCES;  // a FIFO or device could block
    if (error != 0) {
        ::close(fd);
        Raise(error, name_);
    }
    fd_ = fd;
    recordSize_ = recordSize;
    buffer_.resize(kBufferSize);
    bufferPos_ = bufferEnd_ = 0;
    mode_ = Mode::Reading;
}

void RecordFile::Create(std::size_t recordSize) {
    if (IsOpen())
        Close();
    CheckName();
    auto replacement = std::make_unique<Replacement>();
    replacement->Begin(name_);
    replacement_ = std::move(replacement);
    recordSize_ = recordSize;
    buffer_.resize(kBufferSize);
    bufferPos_ = bufferEnd_ = 0;
    mode_ = Mode::Writing;
}

void RecordFile::FailReading(int code) {
    ::close(fd_);
    fd_ = -1;
    mode_ = Mode::Closed;
    throw EInOutError(code);
}

void RecordFile::FailWriting(int code) {
    replacement_.reset();
    mode_ = Mode::Closed;
    throw EInOutError(code);
}

bool RecordFile::Fill() {
    for (;;) {
        ssize_t done = ::read(fd_, buffer_.data(), buffer_.size());
        if (done >= 0) {
            bufferPos_ = 0;
            bufferEnd_ = static_cast<std::size_t>(done);
            return done > 0;
        }
        if (errno != EINTR)
            FailReading(FileErrorCode(errno, name_));
    }
}

void RecordFile::ReadSlow(void* buffer, std::size_t wanted) {
    if (mode_ != Mode::Reading)
        throw EInOutError(FileCode::kNotOpen);
    char* out = static_cast<char*>(buffer);
    while (wanted > 0) {
        if (bufferPos_ == bufferEnd_ && !Fill())
            FailReading(100);
        std::size_t take = std::min(wanted, bufferEnd_ - bufferPos_);
        std::memcpy(out, buffer_.data() + bufferPos_, take);
        bufferPos_ += take;
        out += take;
        wanted -= take;
    }
}

std::uint64_t RecordFile::Size() {
    if (mode_ != Mode::Reading)
        throw EInOutError(FileCode::kNotOpen);
    struct stat st;
    if (::fstat(fd_, &st) != 0)
        FailReading(FileErrorCode(errno, name_));
    return static_cast<std::uint64_t>(st.st_size) / recordSize_;
}

bool RecordFile::EofSlow() {
    if (mode_ != Mode::Reading)
        throw EInOutError(FileCode::kNotOpen);
    return bufferPos_ == bufferEnd_ && !Fill();
}

void RecordFile::Flush() {
    if (bufferEnd_ == 0)
        return;
    int error = replacement_->Write(buffer_.data(), bufferEnd_);
    bufferEnd_ = 0;
    if (error != 0)
        FailWriting(FileErrorCode(error, replacement_->target));
}

void RecordFile::WriteSlow(const void* data, std::size_t size) {
    if (mode_ != Mode::Writing)
        throw EInOutError(FileCode::kAccessDenied);
    const char* in = static_cast<const char*>(data);
    while (size > 0) {
        std::size_t take = std::min(size, buffer_.size() - bufferEnd_);
        std::memcpy(buffer_.data() + bufferEnd_, in, take);
        bufferEnd_ += take;
        in += take;
        size -= take;
        if (bufferEnd_ == buffer_.size())
            Flush();
    }
}

void RecordFile::Close() {
    switch (mode_) {
        case Mode::Closed:
            throw EInOutError(FileCode::kNotOpen);
        case Mode::Reading: {
            int closed = ::close(fd_);
            fd_ = -1;
            mode_ = Mode::Closed;
            if (closed != 0)
                Raise(errno, name_);
            return;
        }
        case Mode::Writing: {
            Flush();
            std::string target = replacement_->target;
            int error = replacement_->Commit();
            replacement_.reset();
            mode_ = Mode::Closed;
            if (error != 0)
                Raise(error, target);
            return;
        }
    }
}

}  // namespace kormoszi
