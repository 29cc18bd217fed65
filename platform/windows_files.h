#pragma once
// What the Windows side of the file layer shares: names in the system's UTF-16, files
// opened by name, and what the system tells of an open file.

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/descriptor_io.h"
#include "platform/file_access.h"

namespace kormoszi {

// The sharing that a reader and a writer of a word file grant each other. Deleting (a
// rename over the file) is shared too, so that a load never stops another program's save.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

inline int LastError() {
    return static_cast<int>(::GetLastError());
}
inline HANDLE HandleOf(NativeFile file) {
    return reinterpret_cast<HANDLE>(file);
}
inline NativeFile NativeOf(HANDLE handle) {
    return reinterpret_cast<NativeFile>(handle);
}

// The UTF-8 name in UTF-16; false for bytes that are not UTF-8.
bool Widen(const std::string& name, std::wstring& wide);
std::string Narrow(const std::wstring& wide);

// CreateFileW on a UTF-8 name; INVALID_HANDLE_VALUE with the last error set on failure.
HANDLE OpenByName(const std::string& name, DWORD access, DWORD share, DWORD disposition,
                  DWORD flags);

// The file's 64-bit index, which stands for an inode, and the stamp of what info tells.
std::uint64_t FileIndexOf(const BY_HANDLE_FILE_INFORMATION& info);
FileStamp StampFrom(const BY_HANDLE_FILE_INFORMATION& info);

// What the system tells of the file or directory that name finally refers to (links
// followed); exists is false, with 0, for a name that is not there, as is a missing
// directory on its path. 0 or the system's error.
int InfoAt(const std::string& name, BY_HANDLE_FILE_INFORMATION& info, bool& exists);

// True when the open file (opened with READ_CONTROL) belongs to this user.
bool IsOurs(HANDLE file);

// True for an existing directory; "" stands for the current one.
bool IsDirectory(const std::string& path);

}  // namespace kormoszi
