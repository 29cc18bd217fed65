#pragma once
// The process's current directory and its volume, through which the directory picker
// works: every directory it opens becomes the current directory. Paths are the system's
// own: "/games/words" here, "D:\Games\Words" on Windows, where a volume is a drive
// ("D:\") or a network share ("\\server\share\").

#include <QString>
#include <QStringList>
#include <optional>

namespace kormoszi {

// The current directory as the system reports it (links resolved); empty when it cannot
// be had, for instance after it was deleted.
QString CurrentDirectory();
// Makes path the current directory; returns 0 or the system's error of the failure
// (errno; GetLastError on Windows, which also remembers it as its drive's directory).
int TryChangeDirectory(const QString& path);
// Raises the file error for a directory operation on path that failed with the system's
// error errnum.
[[noreturn]] void RaiseDirectoryError(int errnum, const QString& path);
// path made absolute against the current directory and cleaned, without a trailing
// separator except at a root.
QString FullPath(const QString& path);
// Where the directory chain of the absolute path starts: "/", or its drive or share root.
QString PathRoot(const QString& path);
// The names in dir of its subdirectories or of its files, unsorted, without ".", ".." and
// entries the system hides (a leading dot here; hidden or system ones on Windows).
enum class EntryKind { Directories, Files };
QStringList DirectoryEntries(const QString& dir, EntryKind kind);
// How the volume that holds dir treats the case of names.
struct VolumeCase {
    bool Sensitive = true;  // names that differ in case only are different names
    bool Preserved = true;  // names keep the case they were given
};
VolumeCase VolumeCaseOf(const QString& dir);
// A volume as the system lists it.
struct VolumeEntry {
    QString Root;
    bool Ready = true;
};
// Finds the listed volume that holds dir; nothing when the system lists none for it.
using VolumeLookup = std::optional<VolumeEntry> (*)(const QString& dir);
// The system's own lookup: the mount table; the drive or share on Windows.
std::optional<VolumeEntry> SystemVolumeOf(const QString& dir);
// Makes lookup the way volumes are found (tests stand in for the system here); returns
// the one it replaces.
VolumeLookup SetVolumeLookup(VolumeLookup lookup);
// False when the listed volume that holds dir is not ready.
bool VolumeReady(const QString& dir);
// The root of the volume that holds dir. A directory the system lists no volume for (a
// chroot, a container, a bind mount) lies in the chain under its PathRoot.
QString VolumeRootFor(const QString& dir);
// The root path of the volume that holds the existing directory dir, as VolumeRootFor.
// Throws EInOutError when dir cannot be examined or its listed volume is not ready (on
// Windows 21, "I/O error 21", for a drive without its medium).
QString VolumeRootOf(const QString& dir);
// The nearest existing directory at or above path, which must be absolute. Throws
// EInOutError when a step on the way cannot be examined for another reason than being
// missing (a directory that may not be searched, a volume that went away).
QString NearestExistingDirectory(const QString& path);
// Where choosing a volume leads: the current directory when it lies on that volume, on
// Windows the directory last opened on that drive, else the volume's root.
QString VolumeCurrentDirectory(const QString& root);

}  // namespace kormoszi
