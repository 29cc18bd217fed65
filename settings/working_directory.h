#pragma once
// The process's current directory and its volume, through which the directory picker
// works: every directory it opens becomes the current directory.

#include <QString>

namespace kormoszi {

// The current directory as the system reports it (links resolved); empty when it cannot
// be had, for instance after it was deleted.
QString CurrentDirectory();
// Makes path the current directory; returns 0 or the errno of the failure.
int TryChangeDirectory(const QString& path);
// Raises the file error for a directory operation on path that failed with errnum.
[[noreturn]] void RaiseDirectoryError(int errnum, const QString& path);
// The root path of the mounted volume that holds the existing directory dir. Throws
// EInOutError when that volume cannot be reached.
QString VolumeRootOf(const QString& dir);
// The nearest existing directory at or above path, which must be absolute. Throws
// EInOutError when a step on the way cannot be examined for another reason than being
// missing (a directory that may not be searched, a volume that went away).
QString NearestExistingDirectory(const QString& path);
// Where choosing a volume leads: the current directory when it lies on that volume,
// else the volume's root.
QString VolumeCurrentDirectory(const QString& root);

}  // namespace kormoszi
