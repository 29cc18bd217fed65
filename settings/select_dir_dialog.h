#pragma once
// The dialog of the directory picker, built at run time: the path label, the directory
// tree list, the greyed file list, the drive list, OK and "Mégsem".

#include <QDialog>

#include "settings/directory_picker.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace kormoszi {

class TDirectoryListBox;
class TDriveComboBox;
class TFileListBox;
class TPathLabel;

class TSelectDirDlg : public QDialog {
    Q_OBJECT
  public:
    // Starts at the process's current directory (the root when that is gone).
    explicit TSelectDirDlg(QWidget* parent = nullptr);

    // Opens dir, or the current directory of its volume when dir is missing or cannot be
    // entered. Throws EInOutError when dir or its volume cannot be reached at all.
    void ApplyInitialDir(const QString& dir);
    void ApplyOptions(SelectDirOptions options);
    // The result after OK: the opened directory (or the name box's text with AllowCreate).
    QString Directory() const;

  private:
    void BuildControls();
    void SetTabOrder();
    void Wire();
    void FormCreate();
    void DirListChange();
    void DriveListChange();
    void OKClick();
    QRect Scaled(int left, int top, int width, int height) const;
    QLabel* AddLabel(const QString& text, int left, int top, QWidget* buddy);

    double FScale;
    bool FAllowCreate = false;
    QLineEdit* FDirEdit;
    TDriveComboBox* FDriveList;
    TPathLabel* FDirLabel;
    TDirectoryListBox* FDirList;
    TFileListBox* FFileList;
    QPushButton* FOKButton;
    QPushButton* FCancelButton;
};

}  // namespace kormoszi
