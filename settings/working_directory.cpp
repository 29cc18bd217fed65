#include "settings/working_directory.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <cerrno>
#include <utility>

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

namespace {

std::optional<VolumeEntry> MountedVolumeOf(const QString& dir) {
    const QStorageInfo volume(dir);
    // Where the mount table lists no volume for dir (a chroot whose root is no mount
    // point), Qt 6.8 still answers, with dir itself as the root and no device.
    if (!volume.isValid() || volume.device().isEmpty())
        return std::nullopt;
    return VolumeEntry{volume.rootPath(), volume.isReady()};
}

VolumeLookup volumeLookup = MountedVolumeOf;

}  // namespace

VolumeLookup SetVolumeLookup(VolumeLookup lookup) {
    return std::exchange(volumeLookup, lookup);
}

QString VolumeRootFor(const QString& dir) {
    const std::optional<VolumeEntry> volume = volumeLookup(dir);
    return volume && !volume->Root.isEmpty() ? volume->Root : QStringLiteral("/");
}

QString VolumeRootOf(const QString& dir) {
    struct statvfs info;
    if (::statvfs(QFile::encodeName(dir).constData(), &info) != 0)
        RaiseDirectoryError(errno, dir);
    const std::optional<VolumeEntry> volume = volumeLookup(dir);
    if (volume && !volume->Ready)
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
