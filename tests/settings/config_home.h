#pragma once
// The settings tests' own configuration home: a fresh directory for the test program's
// whole run (QSettings takes XDG_CONFIG_HOME once per process), and the store's file in it.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <cstdlib>

namespace kormoszi::testing {

struct ConfigHome {
    QString Path;
    ConfigHome() {
        char name[] = "/tmp/kormoszi-config-XXXXXX";
        if (::mkdtemp(name) == nullptr)
            std::abort();
        Path = QString::fromLocal8Bit(name);
        qputenv("XDG_CONFIG_HOME", name);
    }
    ~ConfigHome() {
        ::chmod(QFile::encodeName(Path).constData(), 0700);  // a test may have locked it
        QDir(Path).removeRecursively();
    }
};

// Made before main, so that no test reaches the user's own settings first.
inline const ConfigHome kConfigHome;

inline QString IniPath() {
    return kConfigHome.Path + QStringLiteral("/Pelvador.ini");
}

inline void WriteIni(const QByteArray& bytes) {
    QFile file(IniPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// The file's bytes, or missing when there is none.
inline QByteArray ReadIni(const QByteArray& missing = QByteArray()) {
    QFile file(IniPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : missing;
}

}  // namespace kormoszi::testing
