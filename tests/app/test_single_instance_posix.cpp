// The lock of one copy per session as POSIX keeps it: a file in the user's state
// directory, found whatever the environment says, and dropped by a killed copy.

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "app/single_instance.h"
#include "support/child_process.h"

namespace {

// A copy killed while it holds the lock and listens leaves nothing in the way.
TEST(SingleInstanceTest, ACopyKilledWhileHoldingTheLockLeavesNothingInTheWay) {
    const QString name =
        QStringLiteral("kormoszi-killed-%1").arg(QCoreApplication::applicationPid());
    const int died = kormoszi::test::RunInChild({}, [&] {
        kormoszi::SingleInstance crashed(name);
        ::kill(::getpid(), SIGKILL);
        return 0;
    });
    EXPECT_EQ(died, -2);
    kormoszi::SingleInstance next(name);
    EXPECT_TRUE(next.IsFirst());
    int raised = 0;
    QObject::connect(&next, &kormoszi::SingleInstance::RaiseRequested, [&] { ++raised; });
    EXPECT_FALSE(kormoszi::SingleInstance(name).IsFirst());
    EXPECT_TRUE(QTest::qWaitFor([&] { return raised == 1; }));
    QFile::remove(next.LockFile());
}

// Sets the variables (nullptr: unsets them) for its lifetime.
class ScopedEnvironment {
  public:
    ScopedEnvironment(std::initializer_list<std::pair<const char*, QString>> variables) {
        for (const auto& [name, value] : variables) {
            FSaved.emplace_back(name, qEnvironmentVariableIsSet(name)
                                          ? std::optional<QByteArray>(qgetenv(name))
                                          : std::nullopt);
            if (value.isNull())
                qunsetenv(name);
            else
                qputenv(name, QFile::encodeName(value));
        }
    }
    ~ScopedEnvironment() {
        for (const auto& [name, value] : FSaved) {
            if (value)
                qputenv(name, *value);
            else
                qunsetenv(name);
        }
    }

  private:
    std::vector<std::pair<const char*, std::optional<QByteArray>>> FSaved;
};

QString StateLock(const QString& name) {
    return QFile::decodeName(::getpwuid(::getuid())->pw_dir) +
           QStringLiteral("/.local/state/kormoszi/") + name + QStringLiteral(".lock");
}

// A desktop session and a terminal, sudo or su see different runtime, temporary, home and
// state directories; the lock lies where every start of the user finds it all the same,
// and the later start's request still reaches the first copy's window.
TEST(SingleInstanceTest, StartsWithDifferentEnvironmentsFindTheSameLock) {
    const QString name = QStringLiteral("kormoszi-env-%1").arg(QCoreApplication::applicationPid());
    QTemporaryDir runtime, other;
    std::unique_ptr<kormoszi::SingleInstance> first;
    {
        ScopedEnvironment session({{"XDG_RUNTIME_DIR", runtime.path()},
                                   {"HOME", QStringLiteral("/nonexistent")},
                                   {"XDG_STATE_HOME", other.path()}});
        first = std::make_unique<kormoszi::SingleInstance>(name);
    }
    ASSERT_TRUE(first->IsFirst());
    EXPECT_EQ(first->LockFile(), StateLock(name));
    int raised = 0;
    QObject::connect(first.get(), &kormoszi::SingleInstance::RaiseRequested, [&] { ++raised; });
    {
        ScopedEnvironment terminal({{"XDG_RUNTIME_DIR", QString()},
                                    {"TMPDIR", other.path()},
                                    {"HOME", other.path()},
                                    {"XDG_STATE_HOME", QString()}});
        EXPECT_FALSE(kormoszi::SingleInstance(name).IsFirst());
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return raised == 1; }));
    first.reset();
    QFile::remove(StateLock(name));
}

// Another user's directory where the runtime directory is looked for (made first in a
// shared /tmp, or named by a variable) switches nothing off and receives nothing.
TEST(SingleInstanceTest, ARuntimeDirectoryOfAnotherUserKeepsTheGuard) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a directory to another user";
    const QString name =
        QStringLiteral("kormoszi-foreign-%1").arg(QCoreApplication::applicationPid());
    QTemporaryDir foreign, tmp;
    const QString planted = tmp.path() + QStringLiteral("/runtime-") +
                            QString::fromLocal8Bit(::getpwuid(::getuid())->pw_name);
    ASSERT_TRUE(QDir().mkdir(planted));
    for (const QString& dir : {foreign.path(), planted})
        ASSERT_EQ(::chown(QFile::encodeName(dir).constData(), kormoszi::test::kNobody,
                          kormoszi::test::kNobody),
                  0);
    for (const QString& runtime : {foreign.path(), QString()}) {
        ScopedEnvironment hostile({{"XDG_RUNTIME_DIR", runtime}, {"TMPDIR", tmp.path()}});
        auto first = std::make_unique<kormoszi::SingleInstance>(name);
        ASSERT_TRUE(first->IsFirst()) << runtime.toStdString();
        EXPECT_EQ(first->LockFile(), StateLock(name));
        int raised = 0;
        QObject::connect(first.get(), &kormoszi::SingleInstance::RaiseRequested, [&] { ++raised; });
        EXPECT_FALSE(kormoszi::SingleInstance(name).IsFirst()) << runtime.toStdString();
        EXPECT_TRUE(QTest::qWaitFor([&] { return raised == 1; })) << runtime.toStdString();
        EXPECT_TRUE(QDir(foreign.path()).isEmpty());
        EXPECT_TRUE(QDir(planted).isEmpty());
    }
    QFile::remove(StateLock(name));
}

}  // namespace
