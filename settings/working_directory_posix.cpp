#include "settings/working_directory.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <cerrno>

#include "platform/file_access.h"

namespace kormoszi {

QString CurrentDirectory() {
    // QDir::currentPath() would answer a deleted current directory with a stale name.
    QByteArray buffer(4096, '\0');
    while (::getcwd(buffer.data(), static_cast<std::size_t>(buffer.size())) == nullptr) {
        if (errno != ERANGE)
            return {};
        buffer.resize(buffer.size() * 2);
    }
    return QFile::decodeName(buffer.constData());
}

int TryChangeDirectory(const QString& path) {
    if (path.isEmpty())
        return ENOENT;
    return ::chdir(QFile::encodeName(path).constData()) == 0 ? 0 : errno;
}

void RaiseDirectoryError(int errnum, const QString& path) {
    throw EInOutError(FileErrorCode(errnum, QFile::encodeName(path).toStdString()));
}

QString FullPath(const QString& path) {
    return QDir::cleanPath(QDir(CurrentDirectory()).absoluteFilePath(path));
}

QString PathRoot(const QString&) {
    return QStringLiteral("/");
}

QStringList DirectoryEntries(const QString& dir, EntryKind kind) {
    // QDir leaves out dot files unless asked for them, and with Files also devices,
    // sockets and dangling links.
    return QDir(dir).entryList(
        kind == EntryKind::Directories ? QDir::Dirs | QDir::NoDotAndDotDot : QDir::Files,
        QDir::Unsorted);
}

VolumeCase VolumeCaseOf(const QString&) {
    return {};
}

std::optional<VolumeEntry> SystemVolumeOf(const QString& dir) {
    const QStorageInfo volume(dir);
    // Where the mount table lists no volume for dir (a chroot whose root is no mount
    // point), Qt 6.8 still answers, with dir itself as the root and no device.
    if (!volume.isValid() || volume.device().isEmpty())
        return std::nullopt;
    return VolumeEntry{volume.rootPath(), volume.isReady()};
}

QString VolumeRootOf(const QString& dir) {
    struct statvfs info;
    if (::statvfs(QFile::encodeName(dir).constData(), &info) != 0)
        RaiseDirectoryError(errno, dir);
    if (!VolumeReady(dir))
        RaiseDirectoryError(EIO, dir);
    return VolumeRootFor(dir);
}

QString NearestExistingDirectory(const QString& path) {
    QString candidate = QDir::cleanPath(path);
    for (;;) {
        struct stat info;
        if (::stat(QFile::encodeName(candidate).constData(), &info) == 0) {
            if (S_ISDIR(info.st_mode))
                return candidate;
        } else if (errno != ENOENT && errno != ENOTDIR) {
            RaiseDirectoryError(errno, candidate);
        }
        if (candidate == QLatin1String("/"))
            throw EInOutError(FileCode::kInvalidFileName);
        candidate = QFileInfo(candidate).path();
    }
}

QString VolumeCurrentDirectory(const QString& root) {
    QString current = CurrentDirectory();
    if (!current.isEmpty() && VolumeRootFor(current) == root)
        return current;
    return root;
}

}  // namespace kormoszi
