#include "settings/settings_store.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace kormoszi {

// The texts go through the UTF-16 calls: the registry keeps strings in UTF-16 anyway, and
// the 8-bit calls would turn every letter of a path that the system's code page lacks
// (an ő on a Western European system) into '?', a directory that is not there. A value
// that the 8-bit calls wrote reads back the same through these.

namespace {

const wchar_t kStoreKey[] = L"Software\\Pelvador";

std::wstring Wide(const QString& text) {
    return text.toStdWString();
}

// A key of ours, closed when it goes: every way out of a call closes what it opened.
class RegistryKey {
  public:
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() {
        if (FKey != nullptr)
            ::RegCloseKey(FKey);
    }
    HKEY* Out() { return &FKey; }
    HKEY Get() const { return FKey; }

  private:
    HKEY FKey = nullptr;
};

// Made when it is missing, also for a read: the first run leaves the empty key behind.
bool OpenStore(RegistryKey& store) {
    return ::RegCreateKeyExW(HKEY_CURRENT_USER, kStoreKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_ALL_ACCESS, nullptr, store.Out(), nullptr) == ERROR_SUCCESS;
}

bool OpenSection(const RegistryKey& store, const QString& section, RegistryKey& key) {
    return ::RegOpenKeyExW(store.Get(), Wide(section).c_str(), 0, KEY_ALL_ACCESS, key.Out()) ==
           ERROR_SUCCESS;
}

}  // namespace

QString SettingsStore::ReadSetting(const QString& section, const QString& name,
                                   const QString& defaultValue) {
    RegistryKey store;
    RegistryKey key;
    if (!OpenStore(store) || !OpenSection(store, section, key))
        return defaultValue;
    const std::wstring entry = Wide(name);
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(key.Get(), entry.c_str(), nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS)
        return defaultValue;
    if (size == 0)
        return QString();
    std::vector<BYTE> data(size);
    LONG result = ::RegQueryValueExW(key.Get(), entry.c_str(), nullptr, &type, data.data(), &size);
    // Another program made the value longer since its size was asked for.
    for (int retry = 0; result == ERROR_MORE_DATA && retry < 3; ++retry) {
        data.resize(size);
        result = ::RegQueryValueExW(key.Get(), entry.c_str(), nullptr, &type, data.data(), &size);
    }
    if (result != ERROR_SUCCESS)
        throw ESettingsError(QStringLiteral("Failed to get data for '%1'").arg(name));
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        throw ESettingsError(QStringLiteral("Invalid data type for '%1'").arg(name));
    // The text ends at its first zero, or with the data when there is none; an odd last
    // byte is half a character.
    std::wstring text(size / sizeof(wchar_t), L'\0');
    std::copy_n(data.data(), text.size() * sizeof(wchar_t), reinterpret_cast<BYTE*>(text.data()));
    text.resize(std::min(text.size(), text.find(L'\0')));
    return QString::fromStdWString(text);
}

void SettingsStore::WriteSetting(const QString& section, const QString& name,
                                 const QString& value) {
    const QString createKeyFailed = QStringLiteral("Failed to create key %1").arg(section);
    const QString setDataFailed = QStringLiteral("Failed to set data for '%1'").arg(name);
    RegistryKey store;
    // Without its store the value cannot be kept: that is a failure, never a silent success.
    if (!OpenStore(store))
        throw ESettingsError(createKeyFailed);
    {
        RegistryKey created;
        if (::RegCreateKeyExW(store.Get(), Wide(section).c_str(), 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, created.Out(),
                              nullptr) != ERROR_SUCCESS)
            throw ESettingsError(createKeyFailed);
    }
    // A section made just now that cannot be opened has not taken the value either.
    RegistryKey key;
    if (!OpenSection(store, section, key))
        throw ESettingsError(setDataFailed);
    const std::wstring text = Wide(value);
    const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    if (::RegSetValueExW(key.Get(), Wide(name).c_str(), 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(text.c_str()), bytes) != ERROR_SUCCESS)
        throw ESettingsError(setDataFailed);
}

}  // namespace kormoszi
