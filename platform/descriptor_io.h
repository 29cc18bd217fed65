#pragma once
// Whole reads and writes on POSIX descriptors, going on after short transfers and
// interrupted calls.

#include <cstddef>
#include <string>

namespace kormoszi {

// Writes all of data; 0 or an errno.
int WriteAll(int fd, const char* data, std::size_t size);
// Makes content the file's whole content, from its start, and syncs it; 0 or an errno.
int RewriteAll(int fd, const std::string& content);
// Appends the rest of the file to content; 0 or an errno.
int ReadAll(int fd, std::string& content);
// Syncs the directory that holds path, so that a name made or removed there lasts;
// 0 or an errno.
int SyncDirectoryOf(const std::string& path);

}  // namespace kormoszi
