#pragma once
// What the window tests share: a private settings file and game directories of their own,
// and answering the modal dialogs the way a person would.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/fMain.h"
#include "settings/settings_store.h"
#include "support/dialogs.h"
#include "words/word_table.h"

namespace kormoszi::testing {

// A temporary game directory holding the given word files (N -> words, Windows-1250).
class GameDir {
  public:
    explicit GameDir(const std::map<int, std::vector<std::string>>& files = {}) {
        for (const auto& [n, words] : files)
            Write(n, words);
    }
    // As the program keeps a game directory: in the system's separators, with a trailing one.
    QString Path() const { return QDir::toNativeSeparators(FDir.path()) + QDir::separator(); }
    std::string File(int n) const {
        return (Path() + QStringLiteral("len%1.txt").arg(n)).toStdString();
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
    // Makes this the directory the window finds at start, until this one goes: a window
    // of a later test must not find a directory that is gone (the order in which tests
    // run differs between compilers).
    void Remember() const {
        if (!FPrevious)
            FPrevious = SettingsStore().ReadSetting("Common", "Path", QString());
        SettingsStore().WriteSetting("Common", "Path", Path());
    }
    ~GameDir() {
        try {
            if (FPrevious)
                SettingsStore().WriteSetting("Common", "Path", *FPrevious);
        } catch (...) {
            ADD_FAILURE() << "the remembered game directory could not be given back";
        }
    }
    GameDir(const GameDir&) = delete;
    GameDir& operator=(const GameDir&) = delete;

  private:
    QTemporaryDir FDir;
    mutable std::optional<QString> FPrevious;
};

// "a000", "a001", ...: words whose sort order is their number.
inline std::string NumberedWord(int i, char first = 'a') {
    std::string word = std::to_string(1000 + i);
    word[0] = first;
    return word;
}

// Opens the table with count numbered words, sorted, the cursor on the first.
inline void FillNumbered(WordTable& table, int count, char first = 'a') {
    table.OpenTable();
    for (int i = 0; i < count; ++i) {
        table.BeginInsert();
        table.SetWordText(NumberedWord(i, first));
        table.PostRecord();
    }
    table.SortBy("szo");
    table.MoveFirst();
}

// Shows a window and waits until it has the keyboard.
inline void ShowActive(QWidget& window) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

// The editor shown on a game directory; the answers to the questions that showing it asks
// are queued beforehand.
class ShownEditor : public ::testing::Test {
  protected:
    void Show(const GameDir& dir) {
        dir.Remember();
        Window = std::make_unique<TfrmMain>();
        ShowActive(*Window);
    }
    void TearDown() override { Window.reset(); }

    std::unique_ptr<TfrmMain> Window;
};

}  // namespace kormoszi::testing
