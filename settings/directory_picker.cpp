#include "settings/directory_picker.h"

#include "settings/select_dir_dialog.h"

#include <QWidget>

namespace kormoszi {

DirectoryPicker::DirectoryPicker(QObject* parent) : QObject(parent) {}

bool DirectoryPicker::Execute() {
    FDirectory = FInitialDir;
    // Built anew for every call and gone when it returns, also when an error leaves it.
    // Owned by the window it blocks, so that the desktop keeps it above that window.
    auto* owner = qobject_cast<QWidget*>(parent());
    TSelectDirDlg dialog(owner != nullptr ? owner->window() : nullptr);
    dialog.ApplyInitialDir(FDirectory);
    dialog.ApplyOptions(FOptions);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    FDirectory = dialog.Directory();
    return true;
}

}  // namespace kormoszi
