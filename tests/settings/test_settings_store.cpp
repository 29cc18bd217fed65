#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cstdlib>
#include <string>

#include "qstring_print.h"
#include "settings/config_home.h"
#include "settings/settings_store.h"

using kormoszi::ESettingsError;
using kormoszi::SettingsStore;

namespace {

// The store is pointed at a directory of its own before anything in the process reads
// the settings paths (QSettings takes them once), so no test touches the user's file.
using kormoszi::testing::IniPath;
using kormoszi::testing::kConfigHome;
using kormoszi::testing::ReadIni;
using kormoszi::testing::WriteIni;

std::string ReadError(const QByteArray& ini) {
    WriteIni(ini);
    try {
        SettingsStore().ReadSetting("Common", "Path", "default");
    } catch (const ESettingsError& error) {
        return error.what();
    }
    return "no error";
}

class SettingsStoreTest : public ::testing::Test {
  protected:
    void SetUp() override { QFile::remove(IniPath()); }
    void TearDown() override { QFile::remove(IniPath()); }
};

TEST_F(SettingsStoreTest, ReadYieldsTheDefaultOnlyForWhatIsMissing) {
    SettingsStore store;
    EXPECT_EQ(store.ReadSetting("Common", "Path", "/opt/game/"), "/opt/game/");
    EXPECT_FALSE(QFile::exists(IniPath())) << "a read must not create the file";

    WriteIni("[Other]\nPath=/elsewhere/\n");
    EXPECT_EQ(store.ReadSetting("Common", "Path", "/opt/game/"), "/opt/game/");
    WriteIni("[Common]\nSize=3\n");
    EXPECT_EQ(store.ReadSetting("Common", "Path", "/opt/game/"), "/opt/game/");

    WriteIni("[Common]\nPath=\n");
    EXPECT_EQ(store.ReadSetting("Common", "Path", "/opt/game/"), "");
    // Written by someone else between two reads: the next read sees it.
    WriteIni("[Common]\nPath=/srv/words/\n");
    EXPECT_EQ(store.ReadSetting("Common", "Path", "/opt/game/"), "/srv/words/");
    // A text ends at its first zero character, as it did in the registry.
    WriteIni("[Common]\nPath=ab\\0cd\n");
    EXPECT_EQ(store.ReadSetting("Common", "Path", "/opt/game/"), "ab");
}

TEST_F(SettingsStoreTest, ValuesThatAreNotOneTextAndBrokenFilesFail) {
    EXPECT_EQ(ReadError("[Common]\nPath=/a, /b\n"), "Invalid data type for 'Path'");
    EXPECT_EQ(ReadError("[Common]\nPath=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n"),
              "Invalid data type for 'Path'");
    EXPECT_EQ(ReadError("[Common]\nPath=@ByteArray(/x/)\n"), "Invalid data type for 'Path'");

    EXPECT_EQ(ReadError("[Other]\nKeep=1\n[Common\nPath=/x/\n"), "Failed to get data for 'Path'");
    // Rewriting a file it could not read would lose what it did not understand.
    const QByteArray broken = "[Other]\nKeep=2\n[Common\nPath=/somewhere/\n";
    WriteIni(broken);
    try {
        SettingsStore().WriteSetting("Common", "Path", "/new/");
        ADD_FAILURE() << "a write over an unreadable file succeeded";
    } catch (const ESettingsError& error) {
        EXPECT_STREQ(error.what(), "Failed to create key Common");
    }
    EXPECT_EQ(ReadIni(), broken) << "the file must be left as it was";
}

TEST_F(SettingsStoreTest, WritesCreateReplaceAndRoundTripText) {
    SettingsStore store;
    store.WriteSetting("Common", "Path", "/first/");
    // One file of the organisation's name right in the configuration directory.
    ASSERT_TRUE(QFile::exists(IniPath()));
    EXPECT_FALSE(QFileInfo::exists(kConfigHome.Path + "/Pelvador"));

    const QString tricky = QString::fromUtf8("/home/ő/Szó, \"kő\"; tű\\ÁRVÍZ=1/");
    store.WriteSetting("Common", "Path", tricky);
    EXPECT_EQ(SettingsStore().ReadSetting("Common", "Path", ""), tricky);

    const QByteArray ini = ReadIni();
    EXPECT_EQ(ini.count("[Common]"), 1) << ini.constData();
    EXPECT_EQ(ini.count("Path="), 1) << ini.constData();
    EXPECT_FALSE(ini.contains("first")) << ini.constData();
    // Nothing of the write is left beside the file.
    EXPECT_EQ(QDir(kConfigHome.Path)
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
              QStringList{"Pelvador.ini"});

    store.WriteSetting("Common", "Path", QStringLiteral("ab") + QChar(0) + QStringLiteral("cd"));
    EXPECT_EQ(store.ReadSetting("Common", "Path", ""), "ab");
}

// A file written by hand: a byte order mark, notes, lines that are no entry, other
// sections and their order stay byte for byte, and so do the file's mode and a symbolic
// link to it; only the Path line changes or is added.
TEST_F(SettingsStoreTest, WriteChangesOnlyThePathLineOfAFileWrittenByHand) {
    const QByteArray bom = "\xef\xbb\xbf";
    const struct {
        QByteArray before, after;
    } cases[] = {
        {bom + "# by hand\n[Other]\nKeep=1\nno equals sign\n[Common]\nPath=/old/\nSize=3\n",
         bom + "# by hand\n[Other]\nKeep=1\nno equals sign\n[Common]\nPath=/new/\nSize=3\n"},
        {"[Common]\r\n# no path yet\r\nSize=3",
         "[Common]\r\nPath=/new/\r\n# no path yet\r\nSize=3"},
        {bom + "; a note only", bom + "; a note only\n\n[Common]\nPath=/new/\n"},
        {"[Common]\nPath=\"a,\n b\" ; over two lines\nPath\\size=1\n[Other]\nKeep=2\n",
         "[Common]\nPath=/new/ ; over two lines\nPath\\size=1\n[Other]\nKeep=2\n"},
    };
    SettingsStore store;
    for (const auto& c : cases) {
        WriteIni(c.before);
        ASSERT_EQ(::chmod(QFile::encodeName(IniPath()).constData(), 0640), 0);
        store.WriteSetting("Common", "Path", "/new/");
        EXPECT_EQ(ReadIni(), c.after);
        EXPECT_EQ(store.ReadSetting("Common", "Path", ""), "/new/") << c.before.constData();
        EXPECT_EQ(QFileInfo(IniPath()).permissions(), QFile::ReadOwner | QFile::WriteOwner |
                                                          QFile::ReadUser | QFile::WriteUser |
                                                          QFile::ReadGroup);
    }
    EXPECT_EQ(store.ReadSetting("Other", "Keep", ""), "2");

    const QString target = kConfigHome.Path + QStringLiteral("/kept.ini");
    ASSERT_TRUE(QFile::rename(IniPath(), target));
    ASSERT_TRUE(QFile::link(target, IniPath()));
    store.WriteSetting("Common", "Path", "/linked/");
    EXPECT_TRUE(QFileInfo(IniPath()).isSymLink());
    EXPECT_EQ(store.ReadSetting("Common", "Path", ""), "/linked/");
    QFile::remove(target);
}

// Root may write anywhere, so the write runs in a child that gave up its privileges.
TEST_F(SettingsStoreTest, WriteIntoAnUnwritableDirectoryFails) {
    ASSERT_EQ(::chmod(QFile::encodeName(kConfigHome.Path).constData(), 0555), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(3);
        try {
            SettingsStore().WriteSetting("Common", "Path", "/x/");
        } catch (const ESettingsError& error) {
            ::_exit(std::string(error.what()) == "Failed to set data for 'Path'" ? 0 : 2);
        }
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ::chmod(QFile::encodeName(kConfigHome.Path).constData(), 0700);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: no error, 2: another text, 3: could not drop root";
    EXPECT_FALSE(QFile::exists(IniPath()));
}

}  // namespace
