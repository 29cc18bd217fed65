#include "platform/descriptor_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_access.h"

namespace kormoszi {

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

int RewriteAll(int fd, const std::string& content) {
    if (::lseek(fd, 0, SEEK_SET) != 0)
        return errno;
    if (int error = WriteAll(fd, content.data(), content.size()))
        return error;
    if (::ftruncate(fd, static_cast<off_t>(content.size())) != 0 || ::fsync(fd) != 0)
        return errno;
    return 0;
}

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

}  // namespace kormoszi
