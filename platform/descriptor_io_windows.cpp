#include "platform/descriptor_io.h"

#include <windows.h>

#include <algorithm>

#include "platform/file_access.h"
#include "platform/windows_files.h"

namespace kormoszi {

namespace {

// ReadFile and WriteFile take a 32-bit count.
constexpr std::size_t kLargestCall = std::size_t{1} << 30;

DWORD CallSize(std::size_t size) {
    return static_cast<DWORD>(std::min(size, kLargestCall));
}

}  // namespace

const char kPathSeparator = '\\';

bool IsPathDelimiter(char c) {
    return c == '\\' || c == '/' || c == ':';
}

int WriteAll(NativeFile file, const char* data, std::size_t size) {
    while (size > 0) {
        DWORD done = 0;
        if (!::WriteFile(HandleOf(file), data, CallSize(size), &done, nullptr))
            return LastError();
        if (done == 0)
            return ERROR_DISK_FULL;
        data += done;
        size -= done;
    }
    return 0;
}

int RewriteAll(NativeFile file, const std::string& content) {
    const HANDLE handle = HandleOf(file);
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(handle, start, nullptr, FILE_BEGIN))
        return LastError();
    if (const int error = WriteAll(file, content.data(), content.size()))
        return error;
    if (!::SetEndOfFile(handle) || !::FlushFileBuffers(handle))
        return LastError();
    return 0;
}

int ReadAll(NativeFile file, std::string& content) {
    char chunk[64 * 1024];
    for (;;) {
        std::size_t done = 0;
        if (const int error = ReadSome(file, chunk, sizeof chunk, done))
            return error;
        if (done == 0)
            return 0;
        content.append(chunk, done);
    }
}

// The system has no call for a directory's entries alone: a flush of the directory's own
// handle commits them where the file system allows it (it needs the right to write there,
// which a directory we may not write into does not give; nothing of ours changes there
// then).
int SyncDirectoryOf(const std::string& path) {
    const std::string dir = ExtractFileDir(path);
    const HANDLE handle = OpenByName(dir.empty() ? "." : dir, GENERIC_READ | GENERIC_WRITE,
                                     kShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    if (handle == INVALID_HANDLE_VALUE)
        return LastError() == ERROR_ACCESS_DENIED ? 0 : LastError();
    int error = ::FlushFileBuffers(handle) ? 0 : LastError();
    if (error == ERROR_INVALID_FUNCTION || error == ERROR_ACCESS_DENIED ||
        error == ERROR_INVALID_PARAMETER)
        error = 0;  // not on this file system
    ::CloseHandle(handle);
    return error;
}

int OpenForLoading(const std::string& name, NativeFile& file, FileStamp& stamp) {
    file = kNoFile;
    // Read and write access, as a save would need: a read-only file fails here already.
    const HANDLE handle = OpenByName(name, GENERIC_READ | GENERIC_WRITE, kShareAll, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN);
    if (handle == INVALID_HANDLE_VALUE)
        return LastError();
    BY_HANDLE_FILE_INFORMATION info;
    int error = ::GetFileInformationByHandle(handle, &info) ? 0 : LastError();
    if (error == 0 && ::GetFileType(handle) != FILE_TYPE_DISK)
        error = ERROR_ACCESS_DENIED;  // a device or pipe could block
    if (error != 0) {
        ::CloseHandle(handle);
        return error;
    }
    file = NativeOf(handle);
    stamp = StampFrom(info);
    return 0;
}

int ReadSome(NativeFile file, char* buffer, std::size_t size, std::size_t& done) {
    DWORD got = 0;
    done = 0;
    if (!::ReadFile(HandleOf(file), buffer, CallSize(size), &got, nullptr))
        return LastError() == ERROR_HANDLE_EOF ? 0 : LastError();
    done = got;
    return 0;
}

int SizeOf(NativeFile file, std::uint64_t& size) {
    LARGE_INTEGER bytes{};
    if (!::GetFileSizeEx(HandleOf(file), &bytes))
        return LastError();
    size = static_cast<std::uint64_t>(bytes.QuadPart);
    return 0;
}

int StampOfOpen(NativeFile file, FileStamp& stamp) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(HandleOf(file), &info))
        return LastError();
    stamp = StampFrom(info);
    return 0;
}

int SeekToStart(NativeFile file) {
    const LARGE_INTEGER start{};
    return ::SetFilePointerEx(HandleOf(file), start, nullptr, FILE_BEGIN) ? 0 : LastError();
}

int CloseFile(NativeFile file) {
    return ::CloseHandle(HandleOf(file)) ? 0 : LastError();
}

}  // namespace kormoszi
