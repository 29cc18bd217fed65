// The rollback journals on Windows, in %LOCALAPPDATA%\Kormoszi. The user profile's access
// control list keeps other users out of it, as the mode does on POSIX; a journal is
// trusted only when it is a plain file of the user's all the same.
// A running save keeps its journal open sharing nothing but its removal; a rollback waits
// until it can open the journal, and finds it gone when that save went through.

#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/descriptor_io.h"
#include "platform/file_access.h"
#include "platform/rollback_journal.h"
#include "platform/windows_files.h"

namespace kormoszi {

namespace {

// The answer of PutBack when the journal's name now belongs to another file.
constexpr int kStale = ERROR_FILE_INVALID;

bool IsAbsolute(const std::wstring& path) {
    return (path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/')) ||
           path.rfind(L"\\\\", 0) == 0;
}

// A directory that is not a link elsewhere; false when there is none.
bool IsPlainDirectory(const std::string& path) {
    std::wstring wide;
    if (!Widen(path, wide))
        return false;
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
               FILE_ATTRIBUTE_DIRECTORY;
}

// Makes the state directory with every missing level; 0 or the system's error.
int MakeStateDirectory(const std::string& dir) {
    for (std::size_t at = 1; at <= dir.size(); ++at) {
        // A level ends at a separator, but a drive's root ("C:\") is no level to make.
        const bool separator = at < dir.size() && (dir[at] == '\\' || dir[at] == '/');
        if (at < dir.size() && (!separator || dir[at - 1] == ':' || IsPathDelimiter(dir[at - 1])))
            continue;
        std::wstring level;
        if (!Widen(dir.substr(0, at), level))
            return ERROR_INVALID_NAME;
        if (level.rfind(L"\\\\", 0) == 0 && std::count(level.begin(), level.end(), L'\\') < 4)
            continue;  // a server or its share is there or not
        if (::CreateDirectoryW(level.c_str(), nullptr)) {
            if (const int error = SyncDirectoryOf(dir.substr(0, at)))
                return error;
        } else if (LastError() != ERROR_ALREADY_EXISTS && LastError() != ERROR_ACCESS_DENIED) {
            return LastError();
        }
    }
    return IsPlainDirectory(dir) ? 0 : ERROR_ACCESS_DENIED;
}

// Writes the old content back into the file that now has the journal's name and index
// (its information now); 0, kStale when that name was given to another file meanwhile, or
// the system's error.
int PutBack(const JournalEntry& entry, const BY_HANDLE_FILE_INFORMATION& now) {
    // Shared as the rewrite shares it: a killed save's handle may outlive its journal's for
    // a moment, and the journal already tells that no save is running.
    HANDLE file =
        OpenByName(entry.Path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                   OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT);
    if (file == INVALID_HANDLE_VALUE)
        return LastError();
    BY_HANDLE_FILE_INFORMATION info;
    int error = ::GetFileInformationByHandle(file, &info) ? 0 : LastError();
    if (error == 0 && (info.dwVolumeSerialNumber != now.dwVolumeSerialNumber ||
                       FileIndexOf(info) != FileIndexOf(now)))
        error = kStale;
    if (error == 0)
        error = RewriteAll(NativeOf(file), entry.Content);
    if (!::CloseHandle(file) && error == 0)
        error = LastError();
    return error;
}

void Drop(const std::string& journal) noexcept {
    std::wstring wide;
    if (Widen(journal, wide) && ::DeleteFileW(wide.c_str()))
        (void)SyncDirectoryOf(journal);
}

// Opens the journal at path, waiting while a running save or another rollback holds it;
// INVALID_HANDLE_VALUE when it is gone (its save went through) or is not a plain file of
// this user's.
HANDLE OpenJournal(const std::string& path) {
    for (;;) {
        const HANDLE file = OpenByName(path, GENERIC_READ | DELETE, FILE_SHARE_DELETE,
                                       OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT);
        if (file == INVALID_HANDLE_VALUE) {
            if (LastError() != ERROR_SHARING_VIOLATION)
                return file;
            ::Sleep(10);
            continue;
        }
        BY_HANDLE_FILE_INFORMATION info;
        if (::GetFileInformationByHandle(file, &info) &&
            (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
                0 &&
            IsOurs(file))
            return file;
        ::CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
}

enum class JournalFate { PutBack, Drop, Keep };

// What to do with a whole journal: its file is the one that now has the journal's name
// and index (now gets its information); a file that is gone or another one ends it.
JournalFate FateOf(const JournalEntry& entry, BY_HANDLE_FILE_INFORMATION& now) {
    bool exists = false;
    if (InfoAt(entry.Path, now, exists) != 0)
        return JournalFate::Keep;
    if (!exists)
        // Gone, unless its whole directory is away with a disk that is not there now.
        return IsDirectory(ExtractFileDir(entry.Path)) ? JournalFate::Drop : JournalFate::Keep;
    return FileIndexOf(now) == entry.Inode && (now.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0
               ? JournalFate::PutBack
               : JournalFate::Drop;
}

// Rolls back from the journal at path, or drops it when it is not whole or its file is
// gone or another. own is the file being loaded or saved (nullptr when it does not exist):
// a failure to put its old content back is thrown, any other is left for a later load.
void RollBackFrom(const std::string& path, const BY_HANDLE_FILE_INFORMATION* own) {
    HANDLE file = OpenJournal(path);
    if (file == INVALID_HANDLE_VALUE)
        return;
    std::string body;
    JournalEntry entry;
    BY_HANDLE_FILE_INFORMATION now{};
    int error = ReadAll(NativeOf(file), body);
    if (error != 0) {
        ::CloseHandle(file);
        return;
    }
    // A journal that is not whole was cut off before its file was touched.
    JournalFate fate = DecodeJournal(body, entry) ? FateOf(entry, now) : JournalFate::Drop;
    if (fate == JournalFate::PutBack) {
        error = PutBack(entry, now);
        fate = error == 0 || error == kStale ? JournalFate::Drop : JournalFate::Keep;
    }
    if (fate == JournalFate::Drop)
        Drop(path);
    ::CloseHandle(file);
    const bool ownFile = own != nullptr && own->dwVolumeSerialNumber == now.dwVolumeSerialNumber &&
                         FileIndexOf(*own) == FileIndexOf(now);
    if (fate == JournalFate::Keep && error != 0 && ownFile)
        throw EInOutError(FileErrorCode(error, entry.Path));
}

}  // namespace

std::string StateDirectory() {
    std::wstring base(MAX_PATH, L'\0');
    const DWORD length =
        ::GetEnvironmentVariableW(L"LOCALAPPDATA", base.data(), static_cast<DWORD>(base.size()));
    base.resize(length < base.size() ? length : 0);
    if (!IsAbsolute(base)) {
        PWSTR known = nullptr;
        base.clear();
        if (::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known) == S_OK)
            base = known;
        ::CoTaskMemFree(known);
    }
    return JoinPath(Narrow(base), "Kormoszi");
}

void RollBackInterruptedRewrites(const std::string& fileName) {
    const std::string dir = StateDirectory();
    if (!IsPlainDirectory(dir))
        return;  // none, so nothing to roll back
    std::wstring pattern;
    if (!Widen(JoinPath(dir, "*"), pattern))
        return;
    std::vector<std::string> journals;
    WIN32_FIND_DATAW found;
    const HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = Narrow(found.cFileName);
        if (IsJournalName(name))
            journals.push_back(name);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    BY_HANDLE_FILE_INFORMATION own;
    bool exists = false;
    (void)InfoAt(fileName, own, exists);
    for (const std::string& name : journals)
        RollBackFrom(JoinPath(dir, name), exists ? &own : nullptr);
}

RollbackJournal::~RollbackJournal() {
    if (file_ != kNoFile)
        ::CloseHandle(HandleOf(file_));
}

int RollbackJournal::Write(const std::string& path, std::uint64_t inode,
                           const std::string& content) {
    const std::string dir = StateDirectory();
    if (const int error = MakeStateDirectory(dir))
        return error;
    const std::string name = JoinPath(dir, JournalName(path));
    // Shared for its removal only: a rollback that comes meanwhile waits for this save.
    const HANDLE file = OpenByName(name, GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_DELETE,
                                   CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH);
    if (file == INVALID_HANDLE_VALUE)
        return LastError();
    file_ = NativeOf(file);
    name_ = name;
    const std::string body = EncodeJournal({path, inode, content});
    int error = WriteAll(file_, body.data(), body.size());
    if (error == 0 && !::FlushFileBuffers(file))
        error = LastError();
    if (error == 0)
        error = SyncDirectoryOf(name);
    if (error != 0)
        Remove();
    return error;
}

void RollbackJournal::Remove() noexcept {
    if (!name_.empty())
        Drop(name_);
    name_.clear();
    if (file_ != kNoFile)
        ::CloseHandle(HandleOf(file_));
    file_ = kNoFile;
}

}  // namespace kormoszi
