#pragma once
// The per-user store of named text values in sections, kept in the INI file
// $XDG_CONFIG_HOME/Pelvador.ini, on Windows in the registry below
// HKEY_CURRENT_USER\Software\Pelvador, a key per section and a string value per name.
// The program keeps one value in it: the game directory.

#include <QString>
#include <stdexcept>

namespace kormoszi {

// A failed read or write of the store. The texts keep the wording of the old registry
// messages: "Failed to create key %s", "Failed to set data for '%s'",
// "Failed to get data for '%s'", "Invalid data type for '%s'".
class ESettingsError : public std::runtime_error {
  public:
    explicit ESettingsError(const QString& message);
};

// Holds nothing between calls: every call opens the file (the keys) afresh, so a change
// made by another program in between is seen, and a write is stored when it returns.
class SettingsStore {
  public:
    // The text stored under section/name, up to its first zero character; defaultValue
    // when the file, the section or the entry is missing, never for an empty text.
    // Throws ESettingsError when the file cannot be read or the entry is not a single text
    // (a registry value of another type than REG_SZ or REG_EXPAND_SZ, which is returned
    // unexpanded).
    QString ReadSetting(const QString& section, const QString& name, const QString& defaultValue);
    // Stores value under section/name, creating what is missing and replacing an earlier
    // value; every other line of the file stays, and the new file is on disk when this
    // returns. Throws ESettingsError, leaving the file as it was, when the file cannot be
    // read first, the entry cannot be placed without changing another value, or the file
    // cannot be replaced.
    void WriteSetting(const QString& section, const QString& name, const QString& value);
};

}  // namespace kormoszi
