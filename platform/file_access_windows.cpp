// The file layer's questions to Windows: error numbers, stamps, the program's path, and
// the UTF-8 names the rest of the program uses turned into the system's UTF-16.

#include <windows.h>

// aclapi.h needs windows.h first.
#include <aclapi.h>

#include <algorithm>
#include <string>

#include "platform/descriptor_io.h"
#include "platform/file_access.h"
#include "platform/windows_files.h"

namespace kormoszi {

namespace {

// Between the system's epoch (1601) and the Unix one, in the system's 100 ns ticks.
constexpr std::uint64_t kEpochTicks = 116444736000000000ULL;
constexpr std::uint64_t kTicksPerSecond = 10000000ULL;

}  // namespace

bool Widen(const std::string& name, std::wstring& wide) {
    wide.clear();
    if (name.empty())
        return true;
    const int size = static_cast<int>(name.size());
    const int length =
        ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(), size, nullptr, 0);
    if (length <= 0)
        return false;
    wide.resize(static_cast<std::size_t>(length));
    return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(), size, wide.data(),
                                 length) == length;
}

std::string Narrow(const std::wstring& wide) {
    if (wide.empty())
        return {};
    const int size = static_cast<int>(wide.size());
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string name(static_cast<std::size_t>(std::max(length, 0)), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, name.data(), length, nullptr, nullptr);
    return name;
}

HANDLE OpenByName(const std::string& name, DWORD access, DWORD share, DWORD disposition,
                  DWORD flags) {
    std::wstring wide;
    if (!Widen(name, wide)) {
        ::SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    return ::CreateFileW(wide.c_str(), access, share, nullptr, disposition, flags, nullptr);
}

std::uint64_t FileIndexOf(const BY_HANDLE_FILE_INFORMATION& info) {
    return (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
}

FileStamp StampFrom(const BY_HANDLE_FILE_INFORMATION& info) {
    const std::uint64_t ticks = (std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                                info.ftLastWriteTime.dwLowDateTime;
    const std::int64_t sinceEpoch =
        static_cast<std::int64_t>(ticks) - static_cast<std::int64_t>(kEpochTicks);
    const std::int64_t perSecond = static_cast<std::int64_t>(kTicksPerSecond);
    FileStamp stamp;
    stamp.Exists = true;
    stamp.Device = info.dwVolumeSerialNumber;
    stamp.Inode = FileIndexOf(info);
    stamp.Size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    stamp.ModifiedSeconds = sinceEpoch / perSecond;
    stamp.ModifiedNanoseconds = sinceEpoch % perSecond * 100;
    return stamp;
}

int InfoAt(const std::string& name, BY_HANDLE_FILE_INFORMATION& info, bool& exists) {
    exists = false;
    // Attributes only: this open never meets another program's sharing.
    const HANDLE file = OpenByName(name, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS);
    if (file == INVALID_HANDLE_VALUE) {
        const int error = LastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : error;
    }
    const int error = ::GetFileInformationByHandle(file, &info) ? 0 : LastError();
    ::CloseHandle(file);
    exists = error == 0;
    return error;
}

bool IsOurs(HANDLE file) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                          nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    bool ours = false;
    HANDLE token = nullptr;
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
        alignas(TOKEN_USER) char buffer[256];
        DWORD size = 0;
        if (::GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size))
            ours = ::EqualSid(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, owner) != 0;
        ::CloseHandle(token);
    }
    ::LocalFree(descriptor);
    return ours;
}

bool IsDirectory(const std::string& path) {
    std::wstring wide;
    if (!Widen(path.empty() ? "." : path, wide))
        return false;
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

int StampAt(const std::string& fileName, FileStamp& stamp) {
    stamp = FileStamp{};
    BY_HANDLE_FILE_INFORMATION info;
    bool exists = false;
    const int error = InfoAt(fileName, info, exists);
    if (exists)
        stamp = StampFrom(info);
    return error;
}

int FileErrorCode(int error, const std::string& fileName) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
            return IsDirectory(ExtractFileDir(fileName)) ? FileCode::kFileNotFound
                                                         : FileCode::kInvalidFileName;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_DIRECTORY:
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_INVALID_DRIVE:
            return FileCode::kInvalidFileName;
        case ERROR_TOO_MANY_OPEN_FILES:
            return FileCode::kTooManyOpenFiles;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
            return FileCode::kAccessDenied;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
        case ERROR_FILE_TOO_LARGE:
            return FileCode::kDiskFull;
        default:  // a sharing violation stays 32, "I/O error 32"
            return IsOwnFileCode(error) ? FileCode::kErrnoOffset + error : error;
    }
}

bool FileExists(const std::string& fileName) {
    if (fileName.size() > kMaxFileName)
        return false;
    const HANDLE file = OpenByName(fileName, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool regular = ::GetFileInformationByHandle(file, &info) &&
                         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                         ::GetFileType(file) == FILE_TYPE_DISK;
    ::CloseHandle(file);
    return regular;
}

std::string ExecutablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            RaiseFileError(LastError(), "");
        if (length < path.size()) {
            path.resize(length);
            return Narrow(path);
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace kormoszi
