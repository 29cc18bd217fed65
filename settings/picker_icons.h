#pragma once
// The small pictures of the directory picker: folders in the directory list, kinds of
// volume in the drive list. Drawn at run time, 16 x 16.

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

// The picture for kind; made once and kept.
const QPixmap& PickerIconPixmap(PickerIcon kind);

}  // namespace kormoszi
