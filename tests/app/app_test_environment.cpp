// Before anything reads the settings: the game directory the window finds at start is a
// small one of the test run's own, so no test touches the user's configuration or waits
// for a question about a missing word file. On Linux the run has a settings file of its
// own; on Windows the store is the user's registry key, whose value is given back when
// the run ends.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QVariant>
#include <cstdlib>

namespace {

struct TestEnvironment {
    QTemporaryDir config;
    QTemporaryDir game;
#ifdef _WIN32
    const QString key = QStringLiteral("HKEY_CURRENT_USER\\Software\\Pelvador");
    QVariant saved;
#endif
    TestEnvironment() {
        for (int n = 3; n <= 7; ++n) {
            QFile f(game.path() + QStringLiteral("/len%1.txt").arg(n));
            f.open(QIODevice::WriteOnly);
            f.write(QByteArray(n, 'a') + QByteArray(n, 'b'));
        }
#ifdef _WIN32
        QSettings registry(key, QSettings::NativeFormat);
        saved = registry.value(QStringLiteral("Common/Path"));
        registry.setValue(QStringLiteral("Common/Path"),
                          QDir::toNativeSeparators(game.path()) + QDir::separator());
#else
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        QFile ini(config.path() + QStringLiteral("/Pelvador.ini"));
        ini.open(QIODevice::WriteOnly);
        ini.write("[Common]\nPath=" + QFile::encodeName(game.path()) + "/\n");
#endif
    }
#ifdef _WIN32
    ~TestEnvironment() {
        QSettings registry(key, QSettings::NativeFormat);
        if (saved.isValid())
            registry.setValue(QStringLiteral("Common/Path"), saved);
        else
            registry.remove(QStringLiteral("Common/Path"));
    }
#endif
};

const TestEnvironment environment;

}  // namespace
