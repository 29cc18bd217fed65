// The save on Windows. The new file beside the old one gets the old file's attributes and
// access control list, is flushed and takes the old one's place in one write-through
// rename (MoveFileExW). A hard-linked file, and a file that the user may
// write in a directory that takes no new file (a game under C:\Program Files), or that
// may be written but not replaced, are rewritten in place behind the rollback journal.
//
// Left out here, as they have no meaning on Windows: owner and group (the access control
// list stays with the file), sticky directories and their planted links (making a link
// needs a privilege), and directories that let nothing go again.

#include <windows.h>

// aclapi.h needs windows.h first.
#include <aclapi.h>

#include <memory>
#include <string>

#include "platform/descriptor_io.h"
#include "platform/rollback_journal.h"
#include "platform/safe_replace.h"
#include "platform/windows_files.h"

namespace kormoszi {

struct ReplaceTarget::Native {
    std::string dir;  // the directory that holds the file
    DWORD links = 1;
    DWORD attributes = 0;     // the old file's
    bool replaceable = true;  // another file may take its place
};

namespace {

// What a word file keeps of its attributes through a save.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

void CloseQuietly(HANDLE& handle) {
    if (handle != INVALID_HANDLE_VALUE)
        ::CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
}

// The full name of an open file, links resolved, in the usual form ("C:\..." or
// "\\server\..."); empty when the system cannot tell it.
std::string FinalPathOf(HANDLE file) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()),
                                        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(length + 1);
    }
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0)
        return Narrow(L"\\\\" + path.substr(8));
    if (path.rfind(L"\\\\?\\", 0) == 0)
        return Narrow(path.substr(4));
    return Narrow(path);
}

// Removes the file name of ours in dir unless a running save holds it: such a save keeps
// it open without sharing, so this open fails; a killed save's handle died with it.
void RemoveIfStale(const std::string& dir, const std::string& name) {
    HANDLE file = OpenByName(JoinPath(dir, name), DELETE | READ_CONTROL | FILE_READ_ATTRIBUTES, 0,
                             OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT);
    if (file == INVALID_HANDLE_VALUE)
        return;
    BY_HANDLE_FILE_INFORMATION info;
    if (::GetFileInformationByHandle(file, &info) &&
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
        info.nNumberOfLinks == 1 && IsOurs(file)) {
        FILE_DISPOSITION_INFO disposition{};
        disposition.DeleteFile = TRUE;
        (void)::SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                           sizeof disposition);
    }
    CloseQuietly(file);
}

// The new content in a new file beside the old one, which takes the old one's place once
// flushed.
class NewFileReplace final : public Replacement {
  public:
    using Replacement::Replacement;
    ~NewFileReplace() override { Abandon(); }

    // Makes the new file. False when the directory takes no new file but the old file is
    // writable, or when the new file cannot be given the old one's access control list:
    // the file must then be rewritten in place. Throws EInOutError.
    bool Begin();
    std::unique_ptr<ReplaceTarget> GiveUp() { return std::move(target_); }

    int Write(const char* data, std::size_t size) override {
        return WriteAll(NativeOf(file_), data, size);
    }
    int Commit(const FileStamp* expected, FileStamp* written) override;

  private:
    bool KeepAccess();
    bool Changed(const FileStamp* expected) const;
    int PutInPlace();
    void Abandon() noexcept;

    HANDLE file_ = INVALID_HANDLE_VALUE;
    std::string tempPath_;  // removed unless put in place
};

bool NewFileReplace::Begin() {
    const std::string& dir = target_->System().dir;
    int error = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < 100 && error == ERROR_FILE_EXISTS; ++attempt) {
        const std::string path = JoinPath(dir, FreshTemporaryName());
        // Unshared while it is written, so that another save's clean-up leaves it alone.
        file_ = OpenByName(path, GENERIC_WRITE | WRITE_DAC, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
        error = file_ == INVALID_HANDLE_VALUE ? LastError() : 0;
        if (error == 0)
            tempPath_ = path;
    }
    if (error == 0)
        return KeepAccess();
    if (target_->Exists() && error == ERROR_ACCESS_DENIED)
        return false;  // the directory takes no file, but the file itself is writable
    target_->Fail(error);
}

// The new file gets the old one's access control list, so that those who could read or
// write the word file still can and nobody else. Where it cannot be read or given, the old
// file is rewritten in place instead, which keeps it.
bool NewFileReplace::KeepAccess() {
    if (!target_->Exists())
        return true;
    HANDLE old =
        OpenByName(target_->Path(), READ_CONTROL, kShareAll, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    bool kept = old != INVALID_HANDLE_VALUE &&
                ::GetSecurityInfo(old, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                  &dacl, nullptr, &descriptor) == ERROR_SUCCESS;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (kept && ::GetSecurityDescriptorControl(descriptor, &control, &revision)) {
        const SECURITY_INFORMATION which =
            DACL_SECURITY_INFORMATION |
            ((control & SE_DACL_PROTECTED) != 0 ? PROTECTED_DACL_SECURITY_INFORMATION
                                                : UNPROTECTED_DACL_SECURITY_INFORMATION);
        kept = ::SetSecurityInfo(file_, SE_FILE_OBJECT, which, nullptr, nullptr, dacl, nullptr) ==
               ERROR_SUCCESS;
    }
    ::LocalFree(descriptor);
    CloseQuietly(old);
    if (!kept)
        Abandon();
    return kept;
}

bool NewFileReplace::Changed(const FileStamp* expected) const {
    if (expected == nullptr)
        return false;
    FileStamp now;
    return StampAt(target_->Path(), now) != 0 || now != *expected;
}

// One rename, which the file system does at once: ReplaceFileW is no single step
// everywhere (Wine moves the old file away before the new one comes, and a kill between
// the two leaves no word file), so the new file takes the old one's attributes itself.
int NewFileReplace::PutInPlace() {
    std::wstring temp, path;
    if (!Widen(tempPath_, temp) || !Widen(target_->Path(), path))
        return ERROR_INVALID_NAME;
    const DWORD attributes = target_->System().attributes & kKeptAttributes;
    if (attributes != 0 && !::SetFileAttributesW(temp.c_str(), attributes))
        return LastError();
    if (!::MoveFileExW(temp.c_str(), path.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return LastError();
    tempPath_.clear();
    return 0;
}

int NewFileReplace::Commit(const FileStamp* expected, FileStamp* written) {
    if (!::FlushFileBuffers(file_))
        return LastError();  // never retried: the pages may be gone
    const int closed = ::CloseHandle(file_) ? 0 : LastError();
    file_ = INVALID_HANDLE_VALUE;
    if (closed != 0)
        return closed;
    if (Changed(expected))
        return kChanged;
    if (const int error = PutInPlace())
        return error;
    if (written != nullptr)
        (void)StampAt(target_->Path(), *written);
    return SyncDirectoryOf(target_->Path());
}

void NewFileReplace::Abandon() noexcept {
    const DWORD savedError = ::GetLastError();
    CloseQuietly(file_);
    std::wstring temp;
    if (!tempPath_.empty() && Widen(tempPath_, temp))
        ::DeleteFileW(temp.c_str());
    tempPath_.clear();
    ::SetLastError(savedError);
}

}  // namespace

// The system follows links itself when it opens the file; the save goes to the file they
// end at, so that a link keeps pointing where it pointed.
ReplaceTarget::ReplaceTarget(const std::string& name) : native_(std::make_unique<Native>()) {
    path_ = name;
    HANDLE file = OpenByName(name, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS);
    if (file != INVALID_HANDLE_VALUE) {
        BY_HANDLE_FILE_INFORMATION info;
        const bool regular = ::GetFileInformationByHandle(file, &info) &&
                             (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                             ::GetFileType(file) == FILE_TYPE_DISK;
        const std::string final = FinalPathOf(file);
        CloseQuietly(file);
        if (!regular)
            throw EInOutError(FileCode::kAccessDenied);
        if (!final.empty())
            path_ = final;
        exists_ = true;
    } else if (LastError() != ERROR_FILE_NOT_FOUND) {
        Fail(LastError());
    }
    native_->dir = ExtractFileDir(path_);
    std::size_t base = path_.size();
    while (base > 0 && !IsPathDelimiter(path_[base - 1]))
        --base;
    base_ = path_.substr(base);
    if (!exists_) {
        if (!IsDirectory(native_->dir))
            Fail(ERROR_PATH_NOT_FOUND);
        return;
    }
    // A replacement would go over a read-only file too, so the file itself is asked; a
    // file that another program holds without sharing fails here with 32. One that may be
    // written but not replaced (held by a program that shares all but its removal, or whose
    // removal the user may not do) is rewritten in place.
    file =
        OpenByName(path_, GENERIC_WRITE | DELETE, kShareAll, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    if (file == INVALID_HANDLE_VALUE &&
        (LastError() == ERROR_SHARING_VIOLATION || LastError() == ERROR_ACCESS_DENIED)) {
        native_->replaceable = false;
        file = OpenByName(path_, GENERIC_WRITE, kShareAll, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    }
    if (file == INVALID_HANDLE_VALUE)
        Fail(LastError());
    BY_HANDLE_FILE_INFORMATION info;
    const int error = ::GetFileInformationByHandle(file, &info) ? 0 : LastError();
    CloseQuietly(file);
    if (error != 0)
        Fail(error);
    native_->links = info.nNumberOfLinks;
    native_->attributes = info.dwFileAttributes;
}

ReplaceTarget::~ReplaceTarget() = default;

void ReplaceTarget::Fail(int error) const {
    RaiseFileError(error, path_);
}

void ClearLeftovers(const ReplaceTarget& target) {
    const std::string& dir = target.System().dir;
    std::wstring pattern;
    if (!Widen(JoinPath(dir, ".kormoszi-*"), pattern))
        return;
    WIN32_FIND_DATAW found;
    const HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    std::vector<std::string> stale;
    do {
        const std::string name = Narrow(found.cFileName);
        if (IsTemporaryName(name))
            stale.push_back(name);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    for (const std::string& name : stale)
        RemoveIfStale(dir, name);
}

std::unique_ptr<Replacement> StartReplacement(std::unique_ptr<ReplaceTarget> target) {
    // Other names of the file would keep the old content after a replacement.
    if (target->Exists() && (target->System().links > 1 || !target->System().replaceable))
        return RewriteInPlace(std::move(target));
    auto fresh = std::make_unique<NewFileReplace>(std::move(target));
    if (fresh->Begin())
        return fresh;
    return RewriteInPlace(fresh->GiveUp());
}

}  // namespace kormoszi
