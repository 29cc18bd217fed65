#pragma once
// Real files for the file tests: a scratch directory, whole-file reads and writes, the
// environment, and on POSIX the open descriptors of the process and a forked child that
// may drop to an unprivileged user or live under a resource limit, reporting back through
// its exit code.

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/child_process.h"
#endif

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/file_access.h"

namespace kormoszi::test {

#ifdef _WIN32
inline void SetEnv(const char* name, const char* value) {
    ::SetEnvironmentVariableA(name, value);
}
// True where Wine stands in for Windows: its own functions are there to be found.
inline bool UnderWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}
#else
inline bool UnderWine() {
    return false;
}
inline void SetEnv(const char* name, const char* value) {
    if (value != nullptr)
        ::setenv(name, value, 1);
    else
        ::unsetenv(name);
}
#endif

class ScratchDir {
  public:
    // A new directory of mode 0700 under the system's temporary directory.
    ScratchDir() {
        namespace fs = std::filesystem;
        std::mt19937 random{std::random_device{}()};
        for (int attempt = 0; path_.empty(); ++attempt) {
            const fs::path candidate =
                fs::temp_directory_path() / ("kormoszi-test-" + std::to_string(random()));
            if (fs::create_directory(candidate))
                path_ = candidate.string();
            else if (attempt == 100)
                throw std::runtime_error("cannot make a scratch directory");
        }
        fs::permissions(path_, fs::perms::owner_all);
    }
    ~ScratchDir() {
        namespace fs = std::filesystem;
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, ignored);
        // Read-only files too: Windows deletes none.
        for (auto& entry : fs::recursive_directory_iterator(path_, ignored)) {
            const fs::file_type type = entry.symlink_status(ignored).type();
            if (type == fs::file_type::directory || type == fs::file_type::regular)
                fs::permissions(entry.path(), fs::perms::owner_all, ignored);
        }
        fs::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const {
        return path_ + static_cast<char>(std::filesystem::path::preferred_separator) + name;
    }

    // The names in the directory, sorted (no "." or "..").
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (auto& entry : std::filesystem::directory_iterator(path_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

  private:
    std::string path_;
};

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

// Writes bytes through the record file in one save.
inline void Save(const std::string& name, const std::string& bytes) {
    RecordFile file(name);
    file.Create();
    file.Write(bytes.data(), bytes.size());
    file.Close();
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

#ifdef _WIN32
// The handles the process holds: a file left open shows as one more.
inline int OpenDescriptorCount() {
    DWORD count = 0;
    ::GetProcessHandleCount(::GetCurrentProcess(), &count);
    return static_cast<int>(count);
}
#else
inline int OpenDescriptorCount() {
    int count = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

// The read and write calls the process made so far.
inline long IoCalls(const char* key) {
    std::ifstream io("/proc/self/io");
    std::string name;
    long value = 0;
    while (io >> name >> value)
        if (name == key)
            return value;
    return -1;
}
#endif

// The code of the file error body raises, 0 when it raises none; -1 for another error.
inline int FileErrorOf(const std::function<void()>& body) {
    try {
        body();
        return 0;
    } catch (const EInOutError& error) {
        return error.Code();
    } catch (...) {
        return -1;
    }
}

// Sets an environment variable for the life of the object (children forked meanwhile
// inherit it).
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
            had_ = true;
        }
        SetEnv(name, value.c_str());
    }
    ~ScopedEnv() { SetEnv(name_, had_ ? old_.c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

#ifdef _WIN32
constexpr int kChildNotSetUp = -3;

// The read-only attribute binds every user, so the test runs here as itself; but Wine
// run as root opens a read-only file for writing all the same (kChildNotSetUp then).
inline void GiveToChild(const std::string&) {}
inline int RunWhereModesBind(const std::function<int()>& body) {
    namespace fs = std::filesystem;
    const fs::path probe =
        fs::temp_directory_path() / ("kormoszi-probe-" + std::to_string(::GetCurrentProcessId()));
    std::ofstream(probe).put('x');
    ::SetFileAttributesW(probe.c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE file =
        ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const bool binds = file == INVALID_HANDLE_VALUE;
    if (!binds)
        ::CloseHandle(file);
    ::SetFileAttributesW(probe.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(probe.c_str());
    return binds ? body() : kChildNotSetUp;
}
#else
// Makes path belong to the user an unprivileged child runs as.
inline void GiveToChild(const std::string& path) {
    if (::geteuid() == 0 && ::chown(path.c_str(), kNobody, kNobody) != 0)
        throw std::runtime_error("cannot chown " + path);
}

// Runs body where a file's modes bind (CI runs as root, whom they do not): in a forked
// child as the unprivileged user; kChildNotSetUp when the child cannot drop to it.
inline int RunWhereModesBind(const std::function<int()>& body) {
    return RunInChild({.unprivileged = true}, body);
}
#endif

// Makes path read-only: mode 0444, or the read-only attribute on Windows.
inline void MakeReadOnly(const std::string& path) {
    namespace fs = std::filesystem;
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

}  // namespace kormoszi::test
