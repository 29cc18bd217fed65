#include "platform/descriptor_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_access.h"

namespace kormoszi {

namespace {

int Descriptor(NativeFile file) {
    return static_cast<int>(file);
}

}  // namespace

const char kPathSeparator = '/';

bool IsPathDelimiter(char c) {
    return c == '/';
}

int WriteAll(NativeFile file, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t done = ::write(Descriptor(file), data, size);
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

int RewriteAll(NativeFile file, const std::string& content) {
    const int fd = Descriptor(file);
    if (::lseek(fd, 0, SEEK_SET) != 0)
        return errno;
    if (int error = WriteAll(fd, content.data(), content.size()))
        return error;
    if (::ftruncate(fd, static_cast<off_t>(content.size())) != 0 || ::fsync(fd) != 0)
        return errno;
    return 0;
}

int ReadAll(NativeFile file, std::string& content) {
    char chunk[64 * 1024];
    for (;;) {
        ssize_t done = ::read(Descriptor(file), chunk, sizeof chunk);
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

int SyncDirectoryOf(const std::string& path) {
    std::string dir = ExtractFileDir(path);
    if (dir.empty())
        dir.push_back('.');
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno == EACCES ? 0 : errno;  // a directory we may not read is not ours to sync
    int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

int OpenForLoading(const std::string& name, NativeFile& file, FileStamp& stamp) {
    file = kNoFile;
    int fd = ::open(name.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return errno == EISDIR ? EACCES : errno;  // like any file that is no file
    struct stat st;
    int error = ::fstat(fd, &st) == 0 ? 0 : errno;
    if (error == 0 && !S_ISREG(st.st_mode))
        error = EACCES;  // a FIFO or device could block
    if (error != 0) {
        ::close(fd);
        return error;
    }
    file = fd;
    stamp = StampFrom(st);
    return 0;
}

int ReadSome(NativeFile file, char* buffer, std::size_t size, std::size_t& done) {
    for (;;) {
        const ssize_t got = ::read(Descriptor(file), buffer, size);
        if (got >= 0) {
            done = static_cast<std::size_t>(got);
            return 0;
        }
        if (errno != EINTR)
            return errno;
    }
}

int SizeOf(NativeFile file, std::uint64_t& size) {
    struct stat st;
    if (::fstat(Descriptor(file), &st) != 0)
        return errno;
    size = static_cast<std::uint64_t>(st.st_size);
    return 0;
}

int StampOfOpen(NativeFile file, FileStamp& stamp) {
    struct stat st;
    if (::fstat(Descriptor(file), &st) != 0)
        return errno;
    stamp = StampFrom(st);
    return 0;
}

int SeekToStart(NativeFile file) {
    return ::lseek(Descriptor(file), 0, SEEK_SET) == 0 ? 0 : errno;
}

int CloseFile(NativeFile file) {
    return ::close(Descriptor(file)) == 0 ? 0 : errno;
}

}  // namespace kormoszi
