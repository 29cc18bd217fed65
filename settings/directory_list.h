#pragma once
// The two lists of the directory picker: the directory tree list, which shows the chain
// from the root ("/", or "D:\" on Windows) to the opened directory and the opened
// directory's subdirectories, and the greyed list of the opened directory's files.

#include <QListWidget>

namespace kormoszi {

class TDirectoryListBox : public QListWidget {
    Q_OBJECT
  public:
    explicit TDirectoryListBox(QWidget* parent = nullptr);
    // The opened directory: a full path, the root ("/", "D:\") with its separator,
    // otherwise without a trailing one.
    QString Directory() const { return FDirectory; }
    // Makes path the process's current directory and shows it. Throws EInOutError when
    // it cannot be entered; the list then stays as it was.
    void OpenDirectory(const QString& path);
    // As OpenDirectory, but a directory that cannot be entered only yields false.
    bool TryOpenDirectory(const QString& path);
    void SetItemHeight(int height);
    // The full path an entry stands for.
    static QString EntryPath(const QListWidgetItem* item);

  signals:
    // Another directory was opened.
    void Changed();

  private:
    int Open(const QString& path);
    void Rebuild();
    void AddEntry(const QString& name, const QString& path, int level, int icon);
    void EntryDoubleClicked(QListWidgetItem* item);

    QString FDirectory;
    Qt::CaseSensitivity FCaseSensitive = Qt::CaseSensitive;
};

class TFileListBox : public QListWidget {
    Q_OBJECT
  public:
    explicit TFileListBox(QWidget* parent = nullptr);
    // Lists the plain files of dir that are not hidden (nor system files on Windows).
    void ShowDirectory(const QString& dir);
    void SetItemHeight(int height);
};

// Sorts names ascending, case-insensitively in the user's locale.
void SortNames(QStringList& names);

}  // namespace kormoszi
