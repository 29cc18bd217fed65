#include "platform/rollback_journal.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/descriptor_io.h"
#include "platform/file_access.h"

namespace kormoszi {

namespace {

constexpr char kMagic[] = "kormoszi rollback journal 1\n";
constexpr char kBesidePrefix[] = ".kormoszi-journal-";

std::uint64_t Checksum(const char* data, std::size_t size) {
    std::uint64_t hash = 14695981039346656037ULL;  // FNV-1a
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= static_cast<unsigned char>(data[i]);
        hash *= 1099511628211ULL;
    }
    return hash;
}

void PutNumber(std::string& out, std::uint64_t value) {
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

bool GetNumber(const std::string& in, std::size_t& at, std::uint64_t& value) {
    if (in.size() - at < 8)
        return false;
    value = 0;
    for (int i = 0; i < 8; ++i)
        value |= std::uint64_t(static_cast<unsigned char>(in[at + i])) << (8 * i);
    at += 8;
    return true;
}

// What a journal holds.
struct Entry {
    std::string Path;
    std::uint64_t Device = 0, Inode = 0;
    std::string Content;
};

std::string Encode(const std::string& path, const struct stat& st, const std::string& content) {
    std::string body = kMagic;
    PutNumber(body, st.st_dev);
    PutNumber(body, st.st_ino);
    PutNumber(body, path.size());
    body += path;
    PutNumber(body, content.size());
    body += content;
    PutNumber(body, Checksum(body.data(), body.size()));
    return body;
}

// False unless body is a whole journal: every length fits and the checksum agrees.
bool Decode(const std::string& body, Entry& entry) {
    const std::size_t magic = sizeof kMagic - 1;
    if (body.size() < magic + 8 || body.compare(0, magic, kMagic) != 0)
        return false;
    const std::size_t end = body.size() - 8;
    std::size_t at = end;
    std::uint64_t sum = 0, length = 0;
    if (!GetNumber(body, at, sum) || sum != Checksum(body.data(), end))
        return false;
    at = magic;
    if (!GetNumber(body, at, entry.Device) || !GetNumber(body, at, entry.Inode) ||
        !GetNumber(body, at, length) || length > end - at)
        return false;
    entry.Path = body.substr(at, length);
    at += length;
    if (!GetNumber(body, at, length) || length != end - at)
        return false;
    entry.Content = body.substr(at, length);
    return true;
}

// The file's full name with links resolved; for a file that is gone, its directory's.
std::string Canonical(const std::string& fileName) {
    char buffer[PATH_MAX];
    if (::realpath(fileName.c_str(), buffer) != nullptr)
        return buffer;
    std::string dir = ExtractFileDir(fileName);
    if (::realpath(dir.empty() ? "." : dir.c_str(), buffer) == nullptr)
        return fileName;
    std::string path = buffer;
    if (path.back() != '/')
        path.push_back('/');
    return path + fileName.substr(fileName.rfind('/') + 1);
}

std::string BaseName(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

// $XDG_STATE_HOME/kormoszi, by default ~/.local/state/kormoszi.
std::string StateDirectory() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/')
        return std::string(state) + "/kormoszi";
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
        const struct passwd* user = ::getpwuid(::getuid());
        home = user != nullptr ? user->pw_dir : "/";
    }
    return std::string(home) + "/.local/state/kormoszi";
}

// The state directory's journal of the file at the canonical path.
std::string StateJournal(const std::string& canonical) {
    static const char kHex[] = "0123456789abcdef";
    std::uint64_t hash = Checksum(canonical.data(), canonical.size());
    std::string name;
    for (int i = 0; i < 16; ++i, hash >>= 4)
        name.push_back(kHex[hash & 0xf]);
    return StateDirectory() + "/" + name + ".journal";
}

// Makes the state directory and whatever it lies in; 0 or an errno.
int MakeStateDirectory() {
    const std::string dir = StateDirectory();
    for (std::size_t slash = dir.find('/', 1);; slash = dir.find('/', slash + 1)) {
        const std::string part = dir.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return errno;
        if (slash == std::string::npos)
            return 0;
    }
}

bool InStateDirectory(const std::string& journal) {
    return journal.compare(0, StateDirectory().size() + 1, StateDirectory() + "/") == 0;
}

// Where the journal of the file canonical lies beside it.
std::string JournalBeside(const std::string& canonical) {
    std::string dir = ExtractFileDir(canonical);
    if (!dir.empty() && dir.back() != '/')
        dir.push_back('/');
    return dir + JournalNameBeside(BaseName(canonical));
}

// Removes the journal, and the state directory of ours when it is left empty.
void Drop(const std::string& journal) noexcept {
    ::unlink(journal.c_str());
    (void)SyncDirectoryOf(journal);
    if (InStateDirectory(journal))
        ::rmdir(StateDirectory().c_str());
}

// Writes the old content back into the file the journal names; 0 or an errno.
int PutBack(const Entry& entry, const std::string& canonical) {
    int fd = ::open(canonical.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return errno;
    struct stat st;
    int error = ::fstat(fd, &st) == 0 ? 0 : errno;
    if (error == 0 && (st.st_dev != entry.Device || st.st_ino != entry.Inode))
        error = ESTALE;  // replaced between the look and the open
    if (error == 0)
        error = RewriteAll(fd, entry.Content);
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

// Rolls back from one journal, if there is one that nobody holds.
void RollBackFrom(const std::string& journal, const std::string& canonical) {
    int fd = ::open(journal.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return;
    std::string body;
    struct stat own;
    Entry entry;
    bool mine = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &own) == 0 &&
                S_ISREG(own.st_mode) && ReadAll(fd, body) == 0;
    bool whole = mine && Decode(body, entry);
    // A journal of the state directory with another path is another file's (the names
    // are hashes); leave it to that file.
    if (whole && InStateDirectory(journal) && entry.Path != canonical)
        mine = false;
    if (mine && whole) {
        struct stat st;
        const bool same = ::stat(canonical.c_str(), &st) == 0 && st.st_dev == entry.Device &&
                          st.st_ino == entry.Inode;
        if (same) {
            if (int error = PutBack(entry, canonical); error != 0 && error != ESTALE) {
                ::close(fd);
                throw EInOutError(FileErrorCode(error, canonical));
            }
        }
    }
    if (mine)
        Drop(journal);
    ::close(fd);
}

}  // namespace

std::string JournalNameBeside(const std::string& base) {
    return kBesidePrefix + base;
}

bool IsJournalName(const std::string& name, std::string& base) {
    const std::size_t prefix = sizeof kBesidePrefix - 1;
    if (name.size() <= prefix || name.compare(0, prefix, kBesidePrefix) != 0)
        return false;
    base = name.substr(prefix);
    return true;
}

void RollBackInterruptedRewrite(const std::string& fileName) {
    const std::string canonical = Canonical(fileName);
    RollBackFrom(JournalBeside(canonical), canonical);
    RollBackFrom(StateJournal(canonical), canonical);
}

RollbackJournal::~RollbackJournal() {
    if (fd_ >= 0)
        ::close(fd_);
}

int RollbackJournal::Write(bool beside, const std::string& path, const struct stat& st,
                           const std::string& content) {
    const std::string canonical = Canonical(path);
    const std::string body = Encode(canonical, st, content);
    if (beside) {
        const int error = WriteAt(JournalBeside(canonical), body);
        if (error != EACCES && error != EPERM && error != EROFS)
            return error;
    }
    if (const int error = MakeStateDirectory())
        return error;
    return WriteAt(StateJournal(canonical), body);
}

int RollbackJournal::WriteAt(const std::string& journal, const std::string& body) {
    fd_ = ::open(journal.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0)
        return errno;
    journal_ = journal;
    int error = ::flock(fd_, LOCK_EX) == 0 ? 0 : errno;
    if (error == 0)
        error = WriteAll(fd_, body.data(), body.size());
    if (error == 0 && ::fsync(fd_) != 0)
        error = errno;
    if (error == 0)
        error = SyncDirectoryOf(journal);
    if (error != 0)
        Remove();
    return error;
}

void RollbackJournal::Remove() noexcept {
    if (journal_.empty())
        return;
    Drop(journal_);
    journal_.clear();
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

}  // namespace kormoszi
