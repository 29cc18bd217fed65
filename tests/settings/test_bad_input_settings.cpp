// A settings file that is garbage, a Path that is not one text, a settings directory that
// cannot be written: each read and write gives its clear error or a sound value, a write
// that fails leaves the file byte for byte as it was, and the window goes on without a
// game directory rather than guessing one.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QSettings>
#include <QTest>
#include <cstdlib>
#include <functional>
#include <string>

#include "app/app_test_support.h"
#include "app/fMain.h"
#include "qstring_print.h"
#include "settings/config_home.h"
#include "settings/settings_store.h"
#include "support/child_process.h"

namespace kormoszi {
namespace {

// A settings directory of this test's own, set before anything reads the settings paths.
using kormoszi::testing::IniPath;
using kormoszi::testing::kConfigHome;
using kormoszi::testing::WriteIni;

QByteArray ReadIni() {
    return kormoszi::testing::ReadIni("(none)");
}

// The outcome of a call: the text read, "ok" for a write, or "error: " and the message.
std::string Outcome(const std::function<QString()>& call) {
    try {
        return call().toStdString();
    } catch (const ESettingsError& error) {
        return std::string("error: ") + error.what();
    }
}
std::string Read() {
    return Outcome([] { return SettingsStore().ReadSetting("Common", "Path", "default"); });
}
std::string Write(const QString& value) {
    return Outcome([&] {
        SettingsStore().WriteSetting("Common", "Path", value);
        return QStringLiteral("ok");
    });
}

// Runs body in a child that gave up root, for whom file modes bind; its exit code back,
// or 77 when it could not drop privileges.
int Unprivileged(const std::function<int()>& body) {
    const int result = test::RunInChild({.unprivileged = true}, body);
    return result == test::kChildNotSetUp ? 77 : result;
}

class BadSettings : public ::testing::Test {
  protected:
    void SetUp() override { QFile::remove(IniPath()); }
    void TearDown() override {
        ::chmod(QFile::encodeName(kConfigHome.Path).constData(), 0700);
        QFile::remove(IniPath());
    }
};

// Files that QSettings reads only in part. A read takes what it can (the default when
// there is no Path); a write never replaces the file with the part it understood, which
// would drop the rest (the file is shared by every program of the organisation): it
// changes the Path line alone, or, where the sections cannot be told apart, nothing.
TEST_F(BadSettings, GarbageIsNeverRewrittenWithoutWhatWasNotUnderstood) {
    const QByteArray garbage("\x00\x01\x02garbage\xff\xfe\n\x00", 14);
    const struct {
        QByteArray ini;
        std::string read;
        QByteArray written;  // empty: the write is refused
    } broken[] = {
        {garbage, "default", garbage + "\n\n[Common]\nPath=/new/\n"},
        {"a line of some other program\n[Common]\nPath=/x/\n", "/x/",
         "a line of some other program\n[Common]\nPath=/new/\n"},
        {"[Common]\nPath=/ok/\n[Other]\nno value here\n", "/ok/",
         "[Common]\nPath=/new/\n[Other]\nno value here\n"},
        {"[Other]\nKeep=1\n[Common\nPath=/x/\n", "error: Failed to get data for 'Path'", ""},
    };
    for (const auto& c : broken) {
        WriteIni(c.ini);
        EXPECT_EQ(Read(), c.read) << c.ini.constData();
        if (c.written.isEmpty()) {
            EXPECT_EQ(Write("/new/"), "error: Failed to create key Common") << c.ini.constData();
            EXPECT_EQ(ReadIni(), c.ini) << "the file must stay as it was";
        } else {
            EXPECT_EQ(Write("/new/"), "ok") << c.ini.constData();
            EXPECT_EQ(ReadIni(), c.written);
            EXPECT_EQ(Read(), "/new/") << c.ini.constData();
        }
    }

    // What QSettings reads whole is rewritten with everything in it.
    WriteIni("[Other]\nKeep=1\n[Common]\nPath=/old/\n");
    EXPECT_EQ(Write("/new/"), "ok");
    EXPECT_EQ(Read(), "/new/");
    EXPECT_TRUE(ReadIni().contains("Keep=1")) << ReadIni().constData();
}

// Path as a list, a number, bytes, an array: "Invalid data type for 'Path'" or, for what
// QSettings does not take for an entry at all, the default; a write replaces it by text.
TEST_F(BadSettings, PathThatIsNotOneText) {
    const struct {
        QByteArray ini;
        std::string read;
    } values[] = {
        {"[Common]\nPath=/games/a, /games/b\n", "error: Invalid data type for 'Path'"},
        {"[Common]\nPath=a,\n", "error: Invalid data type for 'Path'"},
        {"[Common]\nPath=@StringList(a, b)\n", "error: Invalid data type for 'Path'"},
        {"[Common]\nPath=@Invalid()\n", "error: Invalid data type for 'Path'"},
        {"[Common]\nPath=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n",
         "error: Invalid data type for 'Path'"},
        {"[Common]\nPath\\size=2\nPath\\1\\x=a\n", "default"},
        {"[Common]\nPath=\"/games/a, /games/b\"\n", "/games/a, /games/b"},
    };
    for (const auto& v : values) {
        WriteIni(v.ini);
        EXPECT_EQ(Read(), v.read) << v.ini.constData();
        EXPECT_EQ(Write("/new/"), "ok") << v.ini.constData();
        EXPECT_EQ(Read(), "/new/") << v.ini.constData();
    }
}

// A directory the user may not write (run as an unprivileged user): a new file cannot be
// made, and an existing one is either rewritten whole or not at all. A read-only file is
// refused. A settings "directory" that is a file gives the default and refuses the write.
TEST_F(BadSettings, SettingsThatCannotBeWritten) {
    const QByteArray dir = QFile::encodeName(kConfigHome.Path);
    ASSERT_EQ(::chmod(dir.constData(), 0755), 0);
    auto writeAsNobody = [&](const char* value) {
        return Unprivileged([&] {
            std::string outcome = Write(QString::fromLatin1(value));
            return outcome == "ok" ? 0 : outcome == "error: Failed to set data for 'Path'" ? 1 : 2;
        });
    };

    int fresh = writeAsNobody("/a/");
    if (fresh == 77)
        GTEST_SKIP() << "cannot drop to uid 65534";
    EXPECT_EQ(fresh, 1) << "0: written, 2: another error";
    EXPECT_FALSE(QFile::exists(IniPath()));

    WriteIni("[Common]\nPath=/old/\n[Other]\nKeep=1\n");
    ASSERT_EQ(::chown(QFile::encodeName(IniPath()).constData(), 65534, 65534), 0);
    int existing = writeAsNobody("/b/");
    ASSERT_TRUE(existing == 0 || existing == 1) << existing;
    if (existing == 0) {
        EXPECT_EQ(Read(), "/b/");
        EXPECT_TRUE(ReadIni().contains("Keep=1")) << ReadIni().constData();
    } else {
        EXPECT_EQ(ReadIni(), "[Common]\nPath=/old/\n[Other]\nKeep=1\n");
    }

    WriteIni("[Common]\nPath=/old/\n");
    ASSERT_EQ(::chmod(QFile::encodeName(IniPath()).constData(), 0444), 0);
    EXPECT_EQ(writeAsNobody("/c/"), 1);
    EXPECT_EQ(ReadIni(), "[Common]\nPath=/old/\n");
}

TEST_F(BadSettings, SettingsDirectoryThatIsAFile) {
    const QByteArray home = qgetenv("XDG_CONFIG_HOME");
    const QString file = kConfigHome.Path + QStringLiteral("/not-a-directory");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    // QSettings takes the paths once per process, so this runs in a child of its own.
    EXPECT_EQ(
        test::RunInChild({},
                         [&] {
                             qputenv("XDG_CONFIG_HOME", QFile::encodeName(file));
                             QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, file);
                             return Read() == "default" &&
                                            Write("/x/") == "error: Failed to set data for 'Path'"
                                        ? 0
                                        : 1;
                         }),
        0);
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "x");
    qputenv("XDG_CONFIG_HOME", home);
}

// Answers the error box that the next step shows and keeps its text in error.
void CatchErrorBox(QString& error) {
    testing::OnNextDialog([&error](QWidget* box) {
        if (auto* message = qobject_cast<QMessageBox*>(box))
            error = message->text();
        QTest::keyClick(box, Qt::Key_Return);
    });
}

// A FIFO would block the first read for ever; a directory or a device is no store either.
// Reading gives the read error, writing the write error, and the window comes up.
TEST_F(BadSettings, SettingsFileThatIsNotARegularFile) {
    const QByteArray ini = QFile::encodeName(IniPath());
    ASSERT_EQ(::mkfifo(ini.constData(), 0600), 0);
    EXPECT_EQ(Read(), "error: Failed to get data for 'Path'");
    EXPECT_EQ(Write("/x/"), "error: Failed to set data for 'Path'");
    QString error;
    CatchErrorBox(error);
    {
        TfrmMain window;
        window.show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !error.isEmpty(); }));
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(error, QStringLiteral("Failed to get data for 'Path'"));
    }
    ASSERT_EQ(::unlink(ini.constData()), 0);

    for (const char* device : {"", "/dev/null"}) {
        if (*device == '\0')
            ASSERT_TRUE(QDir().mkdir(IniPath()));
        else
            ASSERT_EQ(::symlink(device, ini.constData()), 0);
        EXPECT_EQ(Read(), "error: Failed to get data for 'Path'") << device;
        EXPECT_EQ(Write("/x/"), "error: Failed to set data for 'Path'") << device;
        ASSERT_EQ(::remove(ini.constData()), 0);
    }
}

// The window reads a Path it cannot use: the error is shown, no directory is guessed, no
// word file is read or written, and the settings file stays as it was.
TEST_F(BadSettings, WindowShowsTheErrorAndLoadsNothing) {
    testing::GameDir game({{3, {"abc"}}});
    const QByteArray ini = "[Common]\nPath=" + QFile::encodeName(game.Path()) + ", /b/\n";
    WriteIni(ini);
    QString error;
    CatchErrorBox(error);
    TfrmMain window;
    window.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !error.isEmpty(); }));
    EXPECT_EQ(error, QStringLiteral("Invalid data type for 'Path'"));
    EXPECT_EQ(window.mSzavak.State(), TableState::Inactive);
    EXPECT_EQ(window.lDarab->text(), QString::fromUtf8("Szavak száma: 0"));
    window.hide();
    EXPECT_EQ(ReadIni(), ini);
    EXPECT_EQ(game.Read(3), "abc");
}

}  // namespace
}  // namespace kormoszi
