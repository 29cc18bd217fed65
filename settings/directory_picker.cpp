#include "settings/directory_picker.h"

#include "settings/select_dir_dialog.h"

namespace kormoszi {

DirectoryPicker::DirectoryPicker(QObject* parent) : QObject(parent) {}

bool DirectoryPicker::Execute() {
    FDirectory = FInitialDir;
    // Built anew for every call and gone when it returns, also when an error leaves it.
    TSelectDirDlg dialog;
    dialog.ApplyInitialDir(FDirectory);
    dialog.ApplyOptions(FOptions);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    FDirectory = dialog.Directory();
    return true;
}

}  // namespace kormoszi
