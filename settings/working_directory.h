#pragma once
// The process's current directory and its volume, through which the directory picker
// works: every directory it opens becomes the current directory.

#include <QString>
#include <optional>

namespace kormoszi {

// The current directory as the system reports it (links resolved); empty when it cannot
// be had, for instance after it was deleted.
QString CurrentDirectory();
// Makes path the current directory; returns 0 or the errno of the failure.
int TryChangeDirectory(const QString& path);
// Raises the file error for a directory operation on path that failed with errnum.
[[noreturn]] void RaiseDirectoryError(int errnum, const QString& path);
// A volume as the mount table lists it.
struct VolumeEntry {
    QString Root;
    bool Ready = true;
};
// Finds the listed volume that holds dir; nothing when the mount table lists none for it.
using VolumeLookup = std::optional<VolumeEntry> (*)(const QString& dir);
// Makes lookup the way volumes are found (tests stand in for the mount table here);
// returns the one it replaces.
VolumeLookup SetVolumeLookup(VolumeLookup lookup);
// The root of the volume that holds dir. A directory the mount table lists no volume
// for (a chroot, a container, a bind mount) lies in the chain under "/".
QString VolumeRootFor(const QString& dir);
// The root path of the volume that holds the existing directory dir, as VolumeRootFor.
// Throws EInOutError when dir cannot be examined or its listed volume is not ready.
QString VolumeRootOf(const QString& dir);
// The nearest existing directory at or above path, which must be absolute. Throws
// EInOutError when a step on the way cannot be examined for another reason than being
// missing (a directory that may not be searched, a volume that went away).
QString NearestExistingDirectory(const QString& path);
// Where choosing a volume leads: the current directory when it lies on that volume,
// else the volume's root.
QString VolumeCurrentDirectory(const QString& root);

}  // namespace kormoszi
