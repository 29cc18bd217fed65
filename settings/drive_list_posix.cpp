#include "settings/drive_list.h"

#include <QSet>
#include <QStorageInfo>
#include <algorithm>

namespace kormoszi {

namespace {

bool IsOneOf(const QByteArray& type, std::initializer_list<const char*> types) {
    return std::any_of(types.begin(), types.end(),
                       [&](const char* candidate) { return type == candidate; });
}

bool IsNetwork(const QByteArray& type) {
    return IsOneOf(type, {"nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs", "9p", "afs", "ceph",
                          "glusterfs", "davfs", "fuse.davfs2"});
}

bool IsRam(const QByteArray& type) {
    return IsOneOf(type, {"tmpfs", "ramfs"});
}

// Kernel interfaces and memory file systems hold nothing a user would keep there.
bool IsPseudo(const QByteArray& type) {
    return IsRam(type) ||
           IsOneOf(type,
                   {"proc",       "sysfs",      "devtmpfs", "devpts",      "cgroup", "cgroup2",
                    "securityfs", "debugfs",    "tracefs",  "pstore",      "bpf",    "mqueue",
                    "hugetlbfs",  "configfs",   "fusectl",  "binfmt_misc", "autofs", "efivarfs",
                    "nsfs",       "rpc_pipefs", "squashfs", "overlay"});
}

PickerIcon IconOf(const QStorageInfo& volume) {
    const QByteArray type = volume.fileSystemType();
    if (IsNetwork(type))
        return PickerIcon::Network;
    if (IsRam(type))
        return PickerIcon::Ram;
    if (IsOneOf(type, {"iso9660", "udf"}))
        return PickerIcon::CdRom;
    const QString root = volume.rootPath();
    if (root.startsWith(QLatin1String("/media/")) || root.startsWith(QLatin1String("/run/media/")))
        return PickerIcon::Floppy;
    return PickerIcon::Hard;
}

PickerVolume RootWithoutVolume() {
    return {QStringLiteral("/"), QStringLiteral("/"), PickerIcon::Hard};
}

// How volume is shown: "/media/stick [photos]", "/ [/dev/sda2]", "/mnt/share server:/export".
PickerVolume DescribeVolume(const QStorageInfo& volume) {
    const QString root = volume.rootPath();
    const QString device = QString::fromLocal8Bit(volume.device());
    QString text;
    if (IsNetwork(volume.fileSystemType()))
        text = root + QLatin1Char(' ') + device;
    else if (!volume.name().isEmpty())
        text = root + QStringLiteral(" [") + volume.name().toLower() + QLatin1Char(']');
    else
        text = root + QStringLiteral(" [") + device + QLatin1Char(']');
    return {root, text, IconOf(volume)};
}

}  // namespace

std::vector<PickerVolume> ListVolumes() {
    std::vector<PickerVolume> volumes;
    QSet<QString> seen;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady())
            continue;
        // "/" is always offered: it is where the directory chain starts.
        if (volume.rootPath() != QLatin1String("/") && IsPseudo(volume.fileSystemType()))
            continue;
        // A path mounted over twice is one place to go to.
        if (seen.contains(volume.rootPath()))
            continue;
        seen.insert(volume.rootPath());
        volumes.push_back(DescribeVolume(volume));
    }
    // Where the mount table lists no root (a chroot, a container), "/" is still offered.
    if (!seen.contains(QStringLiteral("/")))
        volumes.push_back(RootWithoutVolume());
    std::sort(volumes.begin(), volumes.end(),
              [](const PickerVolume& a, const PickerVolume& b) { return a.Root < b.Root; });
    return volumes;
}

PickerVolume VolumeAt(const QString& root) {
    const QStorageInfo volume(root);
    return volume.isValid() && volume.rootPath() == root ? DescribeVolume(volume)
                                                         : RootWithoutVolume();
}

}  // namespace kormoszi
