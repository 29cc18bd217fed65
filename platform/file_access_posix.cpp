// The file layer's questions to a POSIX system: error numbers, stamps, the program's path.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/descriptor_io.h"
#include "platform/file_access.h"

namespace kormoszi {

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
            return IsOwnFileCode(errnum) ? FileCode::kErrnoOffset + errnum : errnum;
    }
}

bool FileExists(const std::string& fileName) {
    if (fileName.size() > kMaxFileName)
        return false;
    struct stat st;
    return ::stat(fileName.c_str(), &st) == 0 && S_ISREG(st.st_mode);
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

}  // namespace kormoszi
