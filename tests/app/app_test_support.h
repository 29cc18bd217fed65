#pragma once
// What the window tests share: a private settings file and game directories of their own,
// and answering the modal dialogs the way a person would.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "settings/settings_store.h"
#include "support/dialogs.h"

namespace kormoszi::testing {

// A temporary game directory holding the given word files (N -> words, Windows-1250).
class GameDir {
  public:
    explicit GameDir(const std::map<int, std::vector<std::string>>& files = {}) {
        for (const auto& [n, words] : files)
            Write(n, words);
    }
    QString Path() const { return FDir.path() + QLatin1Char('/'); }
    std::string File(int n) const {
        return QFile::encodeName(Path() + QStringLiteral("len%1.txt").arg(n)).toStdString();
    }
    void Write(int n, const std::vector<std::string>& words) const {
        std::string bytes;
        for (const auto& w : words)
            bytes += w;
        WriteBytes(n, bytes);
    }
    void WriteBytes(int n, const std::string& bytes) const {
        QFile f(QString::fromStdString(File(n)));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes.data(), static_cast<qint64>(bytes.size()));
    }
    std::string Read(int n) const {
        QFile f(QString::fromStdString(File(n)));
        f.open(QIODevice::ReadOnly);
        return f.readAll().toStdString();
    }
    // Makes this the directory the window finds at start.
    void Remember() const { SettingsStore().WriteSetting("Common", "Path", Path()); }

  private:
    QTemporaryDir FDir;
};

}  // namespace kormoszi::testing
