#include "settings/working_directory.h"

#include <windows.h>

#include <QDir>
#include <string>

#include "platform/file_access.h"
#include "settings/windows_drives.h"

namespace kormoszi {

namespace {

std::wstring Wide(const QString& path) {
    return QDir::toNativeSeparators(path).toStdWString();
}

bool IsDriveLetter(QChar c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

bool HasDrive(const QString& path) {
    return path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == u':';
}

// 0 for an existing directory, else the system's error (ERROR_DIRECTORY for a file).
int ExamineDirectory(const QString& dir) {
    NoCriticalErrorBox quiet;
    const DWORD attributes = ::GetFileAttributesW(Wide(dir).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return static_cast<int>(::GetLastError());
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 0 : ERROR_DIRECTORY;
}

QString ParentOf(const QString& path) {
    const QString root = PathRoot(path);
    const qsizetype separator = path.lastIndexOf(u'\\');
    return separator < root.size() ? root : path.left(separator);
}

// Drives keep a directory each, in the variables "=D:" that GetFullPathNameW("D:")
// reads, as a command prompt keeps them: choosing the drive again goes back there.
void RememberDriveDirectory() {
    const QString current = CurrentDirectory();
    if (HasDrive(current)) {
        const std::wstring name = L"=" + current.left(2).toUpper().toStdWString();
        ::SetEnvironmentVariableW(name.c_str(), current.toStdWString().c_str());
    }
}

}  // namespace

QString CurrentDirectory() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
        if (length == 0)
            return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return QString::fromStdWString(buffer);
        }
        buffer.resize(length);
    }
}

int TryChangeDirectory(const QString& path) {
    if (path.isEmpty())
        return ERROR_FILE_NOT_FOUND;
    NoCriticalErrorBox quiet;
    if (!::SetCurrentDirectoryW(Wide(path).c_str()))
        return static_cast<int>(::GetLastError());
    RememberDriveDirectory();
    return 0;
}

// The file layer takes its names in UTF-8.
void RaiseDirectoryError(int errnum, const QString& path) {
    throw EInOutError(FileErrorCode(errnum, QDir::toNativeSeparators(path).toStdString()));
}

QString FullPath(const QString& path) {
    const std::wstring wide = Wide(path);
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(buffer.size()),
                                                buffer.data(), nullptr);
        if (length == 0)
            return QDir::toNativeSeparators(path);
        if (length < buffer.size()) {
            buffer.resize(length);
            break;
        }
        buffer.resize(length);
    }
    QString full = QString::fromStdWString(buffer);
    while (full.endsWith(u'\\') && full.size() > PathRoot(full).size())
        full.chop(1);
    return full;
}

QString PathRoot(const QString& path) {
    const QString native = QDir::toNativeSeparators(path);
    if (HasDrive(native))
        return native.left(1).toUpper() + QStringLiteral(":\\");
    // \\server\share\ is the root of everything on that share.
    if (native.startsWith(QLatin1String("\\\\"))) {
        const qsizetype server = native.indexOf(u'\\', 2);
        if (server > 2) {
            const qsizetype share = native.indexOf(u'\\', server + 1);
            return share < 0 ? native + u'\\' : native.left(share + 1);
        }
    }
    return QStringLiteral("\\");
}

QStringList DirectoryEntries(const QString& dir, EntryKind kind) {
    QStringList names;
    WIN32_FIND_DATAW found;
    const std::wstring pattern =
        Wide(dir.endsWith(u'\\') ? dir + u'*' : dir + QStringLiteral("\\*"));
    NoCriticalErrorBox quiet;
    const HANDLE search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                             FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    const bool wantDirectories = kind == EntryKind::Directories;
    do {
        const QString name = QString::fromWCharArray(found.cFileName);
        const DWORD attributes = found.dwFileAttributes;
        if (name == QLatin1String(".") || name == QLatin1String("..") ||
            (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0)
            continue;
        if (((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == wantDirectories)
            names << name;
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return names;
}

VolumeCase VolumeCaseOf(const QString& dir) {
    DWORD flags = 0;
    NoCriticalErrorBox quiet;
    if (!::GetVolumeInformationW(Wide(PathRoot(dir)).c_str(), nullptr, 0, nullptr, nullptr, &flags,
                                 nullptr, 0))
        return {false, true};
    return {(flags & FILE_CASE_SENSITIVE_SEARCH) != 0, (flags & FILE_CASE_PRESERVED_NAMES) != 0};
}

std::optional<VolumeEntry> SystemVolumeOf(const QString& dir) {
    const QString root = PathRoot(dir);
    if (root == QLatin1String("\\"))
        return std::nullopt;
    NoCriticalErrorBox quiet;
    const bool ready = ::GetVolumeInformationW(Wide(root).c_str(), nullptr, 0, nullptr, nullptr,
                                               nullptr, nullptr, 0) ||
                       ::GetLastError() != ERROR_NOT_READY;
    return VolumeEntry{root, ready};
}

QString VolumeRootOf(const QString& dir) {
    if (const int error = ExamineDirectory(dir))
        RaiseDirectoryError(error, dir);
    if (!VolumeReady(dir))
        RaiseDirectoryError(ERROR_NOT_READY, dir);
    return VolumeRootFor(dir);
}

QString NearestExistingDirectory(const QString& path) {
    QString candidate = FullPath(path);
    for (;;) {
        const int error = ExamineDirectory(candidate);
        if (error == 0)
            return candidate;
        // A drive without its medium, a share that went away: no place to fall back to.
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND &&
            error != ERROR_DIRECTORY)
            RaiseDirectoryError(error, candidate);
        if (candidate.size() <= PathRoot(candidate).size())
            RaiseDirectoryError(error == ERROR_DIRECTORY ? ERROR_PATH_NOT_FOUND : error, candidate);
        candidate = ParentOf(candidate);
    }
}

QString VolumeCurrentDirectory(const QString& root) {
    if (!HasDrive(root))
        return root;
    // The drive's own directory: the current one on the current drive, the one last
    // opened there on another, else the root. A remembered one that went away is no
    // place to start from.
    const QString remembered = FullPath(root.left(2));
    return ExamineDirectory(remembered) == 0 ? remembered : root;
}

}  // namespace kormoszi
