// Before anything reads the settings: a settings file of the test run's own, naming a
// small game directory, so no test touches the user's configuration or waits for a
// question about a missing word file.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

namespace {

struct TestEnvironment {
    QTemporaryDir config;
    QTemporaryDir game;
    TestEnvironment() {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        for (int n = 3; n <= 7; ++n) {
            QFile f(game.path() + QStringLiteral("/len%1.txt").arg(n));
            f.open(QIODevice::WriteOnly);
            f.write(QByteArray(n, 'a') + QByteArray(n, 'b'));
        }
        QFile ini(config.path() + QStringLiteral("/Pelvador.ini"));
        ini.open(QIODevice::WriteOnly);
        ini.write("[Common]\nPath=" + QFile::encodeName(game.path()) + "/\n");
    }
};

const TestEnvironment environment;

}  // namespace
