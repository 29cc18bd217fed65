#include "settings/settings_store.h"

#include <sys/stat.h>

#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <memory>

namespace kormoszi {

namespace {

// No application name: the file is Pelvador.ini itself, not a folder named after us.
std::unique_ptr<QSettings> OpenStore() {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("Pelvador"), QString());
}

// Whether QSettings reads all of the file (true for no file). It reads a file section by
// section as they are asked for, and keeps what it read for the next object of the same
// name, which then never hears of a part that could not be read; so a copy under a name
// of its own is read whole.
bool UnderstoodWhole(const QString& path) {
    QFile file(path);
    if (!file.exists())
        return true;
    QTemporaryFile copy;
    if (!file.open(QIODevice::ReadOnly) || !copy.open() || copy.write(file.readAll()) < 0 ||
        !copy.flush())
        return false;
    QSettings check(copy.fileName(), QSettings::IniFormat);
    check.allKeys();
    return check.status() == QSettings::NoError;
}

// True when the store's file exists and is no regular file: a FIFO would block the first
// read for ever, a directory or a device is no store either.
bool NotAFile() {
    const QString path = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                         QStringLiteral("/Pelvador.ini");
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISREG(st.st_mode);
}

QString Key(const QString& section, const QString& name) {
    return section + QLatin1Char('/') + name;
}

}  // namespace

ESettingsError::ESettingsError(const QString& message)
    : std::runtime_error(message.toStdString()) {}

QString SettingsStore::ReadSetting(const QString& section, const QString& name,
                                   const QString& defaultValue) {
    if (NotAFile())
        throw ESettingsError(QStringLiteral("Failed to get data for '%1'").arg(name));
    auto store = OpenStore();
    if (store->status() != QSettings::NoError)
        throw ESettingsError(QStringLiteral("Failed to get data for '%1'").arg(name));
    const QString key = Key(section, name);
    if (!store->contains(key))
        return defaultValue;
    const QVariant value = store->value(key);
    // The INI reader turns "a, b" into a list and @Variant(...) into numbers and the
    // like; only a plain text is a setting of ours.
    if (value.typeId() != QMetaType::QString)
        throw ESettingsError(QStringLiteral("Invalid data type for '%1'").arg(name));
    return value.toString();
}

void SettingsStore::WriteSetting(const QString& section, const QString& name,
                                 const QString& value) {
    if (NotAFile())
        throw ESettingsError(QStringLiteral("Failed to set data for '%1'").arg(name));
    auto store = OpenStore();
    // QSettings would rewrite a file it could not read completely and drop what it did not
    // understand; refuse instead, leaving the file as it is.
    if (store->status() != QSettings::NoError || !UnderstoodWhole(store->fileName()))
        throw ESettingsError(QStringLiteral("Failed to create key %1").arg(section));
    store->setValue(Key(section, name), value);
    store->sync();
    if (store->status() != QSettings::NoError)
        throw ESettingsError(QStringLiteral("Failed to set data for '%1'").arg(name));
}

}  // namespace kormoszi
