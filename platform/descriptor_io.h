#pragma once
// The system's own file calls under the file layer, one implementation per platform:
// whole reads and writes that go on after short transfers and interrupted calls, and the
// few calls that the record file needs. Every int result is 0 or the system's error number
// (errno; GetLastError on Windows), which FileErrorCode turns into the file error's code.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/file_access.h"

namespace kormoszi {

// An open file as the system names it: a descriptor, or a HANDLE on Windows.
using NativeFile = std::intptr_t;
constexpr NativeFile kNoFile = -1;

// Writes all of data; 0 or an error.
int WriteAll(NativeFile file, const char* data, std::size_t size);
// Makes content the file's whole content, from its start, and syncs it; 0 or an error.
int RewriteAll(NativeFile file, const std::string& content);
// Appends the rest of the file to content; 0 or an error.
int ReadAll(NativeFile file, std::string& content);
// Syncs the directory that holds path, so that a name made or removed there lasts;
// 0 or an error.
int SyncDirectoryOf(const std::string& path);

// Opens the existing regular file name for reading and writing, shared with other readers
// and writers, and gives its stamp; 0 or an error (access denied for anything that is not
// a regular file). file is kNoFile after a failure.
int OpenForLoading(const std::string& name, NativeFile& file, FileStamp& stamp);
// Reads at most size bytes at the position; done is 0 at the end of the file.
int ReadSome(NativeFile file, char* buffer, std::size_t size, std::size_t& done);
int SizeOf(NativeFile file, std::uint64_t& size);
// The stamp of an open file; 0 or an error.
int StampOfOpen(NativeFile file, FileStamp& stamp);
// Moves the file's position back to its start; 0 or an error.
int SeekToStart(NativeFile file);
int CloseFile(NativeFile file);

// The characters that end a path's directory part ('/'; '\', '/' and the drive's ':' on
// Windows), and the separator that joins a directory and a name.
bool IsPathDelimiter(char c);
extern const char kPathSeparator;

// True for a code that has a text of its own, which a system error must not be taken for.
bool IsOwnFileCode(int code);

}  // namespace kormoszi
