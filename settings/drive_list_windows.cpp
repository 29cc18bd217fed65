#include "settings/drive_list.h"

#include <windows.h>
#include <winnetwk.h>

#include <string>

#include "settings/windows_drives.h"

namespace kormoszi {

namespace {

DriveKind KindOf(UINT type) {
    switch (type) {
        case DRIVE_REMOVABLE:
            return DriveKind::Removable;
        case DRIVE_FIXED:
            return DriveKind::Fixed;
        case DRIVE_REMOTE:
            return DriveKind::Remote;
        case DRIVE_CDROM:
            return DriveKind::CdRom;
        case DRIVE_RAMDISK:
            return DriveKind::RamDisk;
        case DRIVE_NO_ROOT_DIR:
            return DriveKind::NoRootDirectory;
        default:
            return DriveKind::Unknown;
    }
}

// The volume's label; nothing when it cannot be read (no medium in the drive).
std::optional<QString> LabelOf(const std::wstring& root) {
    wchar_t label[MAX_PATH + 1] = {};
    NoCriticalErrorBox quiet;
    if (!::GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr,
                                 nullptr, 0))
        return std::nullopt;
    return QString::fromWCharArray(label);
}

// "\\server\share" for a drive letter mapped to a share; empty when there is none.
QString ConnectionOf(wchar_t letter) {
    const wchar_t local[] = {letter, L':', L'\0'};
    wchar_t remote[MAX_PATH + 1] = {};
    DWORD length = MAX_PATH + 1;
    if (::WNetGetConnectionW(local, remote, &length) != NO_ERROR)
        return {};
    return QString::fromWCharArray(remote);
}

std::optional<PickerVolume> Drive(wchar_t letter) {
    const std::wstring root = {letter, L':', L'\\'};
    const DriveKind kind = KindOf(::GetDriveTypeW(root.c_str()));
    // A removable drive is not asked for its label: that would spin up a floppy.
    const std::optional<QString> label =
        kind == DriveKind::Removable ? std::nullopt : LabelOf(root);
    const QString connection = kind == DriveKind::Remote ? ConnectionOf(letter) : QString();
    return DescribeDrive(QChar(letter), kind, label, connection);
}

}  // namespace

std::vector<PickerVolume> ListVolumes() {
    std::vector<PickerVolume> volumes;
    const DWORD drives = ::GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if ((drives & (1u << i)) == 0)
            continue;
        if (std::optional<PickerVolume> drive = Drive(static_cast<wchar_t>(L'A' + i)))
            volumes.push_back(*drive);
    }
    return volumes;
}

PickerVolume VolumeAt(const QString& root) {
    if (root.size() >= 2 && root[1] == u':') {
        if (std::optional<PickerVolume> drive =
                Drive(static_cast<wchar_t>(root[0].toUpper().unicode())))
            return *drive;
    }
    // A share reached by its name, or a drive that is gone: its root is its name.
    QString text = root;
    if (text.size() > 3 && text.endsWith(u'\\'))
        text.chop(1);
    return {root, text.toLower(), PickerIcon::Network};
}

}  // namespace kormoszi
