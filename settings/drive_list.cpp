#include "settings/drive_list.h"

#include "settings/working_directory.h"

namespace kormoszi {

std::optional<PickerVolume> DescribeDrive(QChar letter, DriveKind kind,
                                          const std::optional<QString>& label,
                                          const QString& connection) {
    const QString root = letter.toUpper() + QStringLiteral(":\\");
    QString text = letter.toLower() + QLatin1Char(':');
    // A label that could not be read (no medium in the drive) leaves the letter alone.
    const QString bracketed =
        label ? QStringLiteral(" [") + label->toLower() + QLatin1Char(']') : QString();
    switch (kind) {
        case DriveKind::Removable:
            return PickerVolume{root, text, PickerIcon::Floppy};
        case DriveKind::Fixed:
            return PickerVolume{root, text + bracketed, PickerIcon::Hard};
        case DriveKind::Remote:
            text += connection.isEmpty() ? bracketed : QLatin1Char(' ') + connection.toLower();
            return PickerVolume{root, text, PickerIcon::Network};
        case DriveKind::CdRom:
            return PickerVolume{root, text + bracketed, PickerIcon::CdRom};
        case DriveKind::RamDisk:
            return PickerVolume{root, text + bracketed, PickerIcon::Ram};
        case DriveKind::Unknown:
        case DriveKind::NoRootDirectory:
            break;
    }
    return std::nullopt;
}

TDriveComboBox::TDriveComboBox(QWidget* parent) : QComboBox(parent) {
    setIconSize(QSize(16, 16));
    const std::vector<PickerVolume> volumes = ListVolumes();
    for (const PickerVolume& volume : volumes)
        AddVolume(count(), volume);
}

void TDriveComboBox::AddVolume(int index, const PickerVolume& volume) {
    insertItem(index, PickerIconSet(volume.Icon), volume.Text, volume.Root);
}

void TDriveComboBox::SelectVolumeOf(const QString& dir) {
    const QString root = VolumeRootFor(dir);
    int index = findData(root);
    if (index < 0) {
        // The user went somewhere the list did not offer (through the directory list):
        // the list still shows where the opened directory lies.
        index = 0;
        while (index < count() && itemData(index).toString() < root)
            ++index;
        AddVolume(index, VolumeAt(root));
    }
    setCurrentIndex(index);
}

QString TDriveComboBox::SelectedRoot() const {
    return currentData().toString();
}

}  // namespace kormoszi
