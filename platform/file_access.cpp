#include "platform/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/rollback_journal.h"
#include "platform/safe_replace.h"

namespace kormoszi {

namespace {

// Large enough that a word file of a million words takes a handful of calls.
constexpr std::size_t kBufferSize = std::size_t{256} * 1024;

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

// True for a code of the file layer's own, which an errno must not be taken for.
bool IsOwnCode(int code) {
    using namespace FileCode;
    for (int own : {kFileNotFound, kInvalidFileName, kTooManyOpenFiles, kAccessDenied,
                    kReadBeyondEnd, kDiskFull, kNotAssigned, kNotOpen, kInvalidNumeric})
        if (code == own)
            return true;
    return false;
}

}  // namespace

void RaiseFileError(int errnum, const std::string& fileName) {
    throw EInOutError(FileErrorCode(errnum, fileName));
}

FileStamp StampFrom(const struct stat& st) {
    FileStamp stamp;
    stamp.Exists = true;
    stamp.Device = st.st_dev;
    stamp.Inode = st.st_ino;
    stamp.Size = static_cast<std::uint64_t>(st.st_size);
    stamp.ModifiedSeconds = st.st_mtim.tv_sec;
    stamp.ModifiedNanoseconds = st.st_mtim.tv_nsec;
    return stamp;
}

int StampAt(const std::string& fileName, FileStamp& stamp) {
    struct stat st;
    if (::stat(fileName.c_str(), &st) == 0) {
        stamp = StampFrom(st);
        return 0;
    }
    stamp = FileStamp{};
    return errno == ENOENT ? 0 : errno;
}

FileStamp StampOf(const std::string& fileName) {
    FileStamp stamp;
    if (const int error = StampAt(fileName, stamp))
        RaiseFileError(error, fileName);
    return stamp;
}

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
            return IsOwnCode(errnum) ? FileCode::kErrnoOffset + errnum : errnum;
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

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty())
        return name;
    return dir.back() == '/' ? dir + name : dir + '/' + name;
}

std::string ExecutablePath() {
    std::string path(256, '\0');
    for (;;) {
        ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
        if (length < 0)
            RaiseFileError(errno, "/proc/self/exe");
        if (static_cast<std::size_t>(length) < path.size()) {
            path.resize(static_cast<std::size_t>(length));
            return path;
        }
        path.resize(path.size() * 2);
    }
}

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
    RollBackInterruptedRewrites(name_);
    int fd = ::open(name_.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        RaiseFileError(errno == EISDIR ? EACCES : errno, name_);  // like any file that is no file
    struct stat st;
    int error = ::fstat(fd, &st) == 0 ? 0 : errno;
    if (error == 0 && !S_ISREG(st.st_mode))
        error = EACCES;  // a FIFO or device could block
    if (error != 0) {
        ::close(fd);
        RaiseFileError(error, name_);
    }
    fd_ = fd;
    stamp_ = StampFrom(st);
    recordSize_ = recordSize;
    buffer_.resize(kBufferSize);
    bufferPos_ = bufferEnd_ = 0;
    mode_ = Mode::Reading;
}

void RecordFile::Create(std::size_t recordSize) {
    if (IsOpen())
        Close();
    CheckName();
    RollBackInterruptedRewrites(name_);
    auto target = std::make_unique<ReplaceTarget>(name_);
    ClearLeftovers(*target);
    replacement_ = StartReplacement(std::move(target));
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
            FailReading(FileCode::kReadBeyondEnd);
        std::size_t take = std::min(wanted, bufferEnd_ - bufferPos_);
        std::memcpy(out, buffer_.data() + bufferPos_, take);
        bufferPos_ += take;
        out += take;
        wanted -= take;
    }
}

FileStamp RecordFile::Stamp() const {
    if (mode_ != Mode::Reading)
        throw EInOutError(FileCode::kNotOpen);
    return stamp_;
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
        FailWriting(FileErrorCode(error, replacement_->Target()));
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
                RaiseFileError(errno, name_);
            return;
        }
        case Mode::Writing:
            FinishWriting(nullptr, nullptr);
            return;
    }
}

bool RecordFile::CloseIfUnchanged(const FileStamp& expected, FileStamp* written) {
    if (mode_ != Mode::Writing)
        throw EInOutError(FileCode::kNotOpen);
    return FinishWriting(&expected, written);
}

bool RecordFile::FinishWriting(const FileStamp* expected, FileStamp* written) {
    Flush();
    const std::string target = replacement_->Target();
    const int result = replacement_->Commit(expected, written);
    replacement_.reset();
    mode_ = Mode::Closed;
    if (result == Replacement::kChanged)
        return false;
    if (result != 0)
        RaiseFileError(result, target);
    return true;
}

}  // namespace kormoszi
