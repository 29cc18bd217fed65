#pragma once
// The drive list of the directory picker: the volumes, each with its root path, its text
// and a picture of its kind. On Windows the drive letters ("c: [system]"); elsewhere the
// mounted volumes ("/media/stick [photos]").

#include <QComboBox>
#include <optional>
#include <vector>

#include "settings/picker_icons.h"

namespace kormoszi {

struct PickerVolume {
    QString Root;
    QString Text;
    PickerIcon Icon;
};

// The volumes worth offering, sorted by root: on Windows every drive of a known kind with
// a root directory, also one without its medium; elsewhere the real file systems that are
// ready.
std::vector<PickerVolume> ListVolumes();
// How the volume at root is shown, for one the list did not offer.
PickerVolume VolumeAt(const QString& root);

// The kinds of drive as Windows numbers them (GetDriveType).
enum class DriveKind { Unknown, NoRootDirectory, Removable, Fixed, Remote, CdRom, RamDisk };
// How a drive is shown: "a:", "c: [system]" (the label lower-cased, nothing when it could
// not be read), "z: \\server\share" (the connection lower-cased, else as a fixed drive).
// Nothing for a drive whose kind is unknown or that has no root.
std::optional<PickerVolume> DescribeDrive(QChar letter, DriveKind kind,
                                          const std::optional<QString>& label,
                                          const QString& connection);

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
