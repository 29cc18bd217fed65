#pragma once
// The file layer under the word files: the file error with its fixed codes and texts,
// record files over POSIX descriptors, and small path helpers.

#include <stdexcept>
#include <string>

namespace kormoszi {

// A failed file operation: a code (2, 3, 4, 5, 100, 101, ... or an errno for the rest)
// and the fixed English message for that code ("File not found", "I/O error 28", ...).
class EInOutError : public std::runtime_error {
public:
    explicit EInOutError(int code);
    int Code() const { return code_; }

private:
    int code_;
};

// True exactly for an existing regular file (links followed).
bool FileExists(const std::string& fileName);
// The directory part of a path: "/games/prog" -> "/games", "/prog" -> "/", "prog" -> "".
std::string ExtractFileDir(const std::string& path);
// The full path of the running program.
std::string ExecutablePath();

}  // namespace kormoszi
