#pragma once
// The drive list of the directory picker: the mounted volumes, each with its root path,
// its label or device name and a picture of its kind.

#include <QComboBox>
#include <QStorageInfo>
#include <vector>

#include "settings/picker_icons.h"

namespace kormoszi {

struct PickerVolume {
    QString Root;
    QString Text;
    PickerIcon Icon;
};

// How volume is shown: "/media/stick [photos]", "/ [/dev/sda2]", "/mnt/share server:/export".
PickerVolume DescribeVolume(const QStorageInfo& volume);
// The volumes worth offering: real file systems that are ready, sorted by root path.
std::vector<PickerVolume> ListVolumes();

class TDriveComboBox : public QComboBox {
    Q_OBJECT
  public:
    explicit TDriveComboBox(QWidget* parent = nullptr);
    // Selects the volume that holds dir, adding it when the list did not offer it.
    void SelectVolumeOf(const QString& dir);
    QString SelectedRoot() const;

  private:
    void AddVolume(int index, const PickerVolume& volume);
};

}  // namespace kormoszi
