#include "settings/working_directory.h"

#include <utility>

namespace kormoszi {

namespace {

VolumeLookup volumeLookup = SystemVolumeOf;

}  // namespace

VolumeLookup SetVolumeLookup(VolumeLookup lookup) {
    return std::exchange(volumeLookup, lookup);
}

bool VolumeReady(const QString& dir) {
    const std::optional<VolumeEntry> volume = volumeLookup(dir);
    return !volume || volume->Ready;
}

QString VolumeRootFor(const QString& dir) {
    const std::optional<VolumeEntry> volume = volumeLookup(dir);
    return volume && !volume->Root.isEmpty() ? volume->Root : PathRoot(dir);
}

}  // namespace kormoszi
