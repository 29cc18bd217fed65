#pragma once
// The directory picker: a component that shows the modal dialog TSelectDirDlg, in which
// the user moves through the directories and chooses one with OK.

#include <QObject>
#include <QString>

namespace kormoszi {

enum class SelectDirOption { AllowCreate = 0x1, PerformCreate = 0x2, Prompt = 0x4 };
Q_DECLARE_FLAGS(SelectDirOptions, SelectDirOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(SelectDirOptions)

class DirectoryPicker : public QObject {
    Q_OBJECT
  public:
    explicit DirectoryPicker(QObject* parent = nullptr);

    void SetInitialDir(const QString& dir) { FInitialDir = dir; }
    QString InitialDir() const { return FInitialDir; }
    // After Execute: the chosen directory, a full path without a trailing separator (but
    // a root, "/" or D:\), or InitialDir when the dialog was cancelled.
    QString Directory() const { return FDirectory; }
    // AllowCreate shows the name box, and what it holds is the result; nothing is ever
    // created and no question is asked, whatever PerformCreate and Prompt say.
    void SetOptions(SelectDirOptions options) { FOptions = options; }
    SelectDirOptions Options() const { return FOptions; }
    // Kept for the caller; the dialog shows its own caption.
    void SetTitle(const QString& title) { FTitle = title; }
    QString Title() const { return FTitle; }

    // Shows the dialog, starting at InitialDir; true when it was closed with OK. Every
    // directory opened in it becomes the process's current directory and stays so.
    // Throws EInOutError, before anything is shown, when InitialDir cannot be reached
    // (its volume went away, a directory on its way may not be searched). An InitialDir
    // that is merely missing or locked opens at the current directory of its volume.
    bool Execute();

  private:
    QString FInitialDir;
    QString FDirectory;
    QString FTitle;
    SelectDirOptions FOptions =
        SelectDirOption::AllowCreate | SelectDirOption::PerformCreate | SelectDirOption::Prompt;
};

}  // namespace kormoszi
