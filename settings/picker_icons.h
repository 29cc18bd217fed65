#pragma once
// The small pictures of the directory picker: folders in the directory list, kinds of
// volume in the drive list. Drawn at run time, 16 x 16 logical pixels, at the device
// pixels of the screen they are shown on.

#include <QIcon>
#include <QPixmap>

namespace kormoszi {

enum class PickerIcon {
    OpenFolder,
    CurrentFolder,
    ClosedFolder,
    Floppy,
    Hard,
    Network,
    CdRom,
    Ram
};

// The picture for kind at a device pixel ratio; made once per ratio and kept.
const QPixmap& PickerIconPixmap(PickerIcon kind, qreal devicePixelRatio = 1.0);
// The picture for kind at the usual ratios and the screen's, for controls that pick the
// one they need.
QIcon PickerIconSet(PickerIcon kind);

}  // namespace kormoszi
