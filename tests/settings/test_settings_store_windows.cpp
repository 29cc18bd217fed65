// The store in the registry. HKEY_CURRENT_USER is pointed at a key of the test's own for
// each test, so no test touches the user's own settings.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "qstring_print.h"
#include "settings/settings_store.h"

using kormoszi::ESettingsError;
using kormoszi::SettingsStore;

namespace {

const wchar_t kTestRoot[] = L"Software\\Kormoszi tests";

class SettingsStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        HKEY root = nullptr;
        ASSERT_EQ(
            ::RegCreateKeyExW(HKEY_CURRENT_USER, kTestRoot, 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &root, nullptr),
            ERROR_SUCCESS);
        ASSERT_EQ(::RegOverridePredefKey(HKEY_CURRENT_USER, root), ERROR_SUCCESS);
        ::RegCloseKey(root);
    }
    void TearDown() override {
        ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot);
        ::RegDeleteKeyW(HKEY_CURRENT_USER, kTestRoot);
    }

    // Whether the key below the (overridden) current user exists.
    static bool KeyExists(const wchar_t* path) {
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        ::RegCloseKey(key);
        return true;
    }
    // Sets Common\Path to size bytes of data of type, as another program might.
    static void Plant(DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(
            ::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Pelvador\\Common", 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
        ASSERT_EQ(::RegSetValueExW(key, L"Path", 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
        ::RegCloseKey(key);
    }
    static void PlantText(DWORD type, const std::wstring& text) {
        Plant(type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    static std::string Read() {
        try {
            return SettingsStore().ReadSetting("Common", "Path", "default").toStdString();
        } catch (const ESettingsError& error) {
            return std::string("error: ") + error.what();
        }
    }
};

TEST_F(SettingsStoreTest, ReadYieldsTheDefaultOnlyForWhatIsMissing) {
    EXPECT_EQ(Read(), "default");
    // The store key is made by every call, the section only by a write.
    EXPECT_TRUE(KeyExists(L"Software\\Pelvador"));
    EXPECT_FALSE(KeyExists(L"Software\\Pelvador\\Common"));

    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Pelvador\\Common", 0, nullptr, 0,
                                KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
    EXPECT_EQ(Read(), "default");

    PlantText(REG_SZ, L"");
    EXPECT_EQ(Read(), "");
    Plant(REG_SZ, nullptr, 0);
    EXPECT_EQ(Read(), "");
    // Environment references stay as they are; the text ends at its first zero, or with
    // its data when it has none.
    PlantText(REG_EXPAND_SZ, L"%TEMP%\\words\\");
    EXPECT_EQ(Read(), "%TEMP%\\words\\");
    Plant(REG_SZ, L"ab\0cd", 6 * sizeof(wchar_t));
    EXPECT_EQ(Read(), "ab");
    Plant(REG_SZ, L"abcd", 3 * sizeof(wchar_t));
    EXPECT_EQ(Read(), "abc");

    const DWORD number = 7;
    Plant(REG_DWORD, &number, sizeof number);
    EXPECT_EQ(Read(), "error: Invalid data type for 'Path'");
    Plant(REG_BINARY, "C:\\", 3);
    EXPECT_EQ(Read(), "error: Invalid data type for 'Path'");
}

TEST_F(SettingsStoreTest, WritesCreateReplaceAndRoundTripText) {
    SettingsStore store;
    store.WriteSetting("Common", "Path", "C:\\first\\");
    // Letters that no 8-bit code page holds together come back as they went in.
    const QString path = QString::fromUtf8("D:\\Játékok\\Szó ő ű ж\\");
    store.WriteSetting("Common", "Path", path);
    EXPECT_EQ(SettingsStore().ReadSetting("Common", "Path", ""), path);

    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Pelvador\\Common", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    DWORD values = 0, type = 0, size = 0;
    EXPECT_EQ(::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                                 nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, 1u);
    EXPECT_EQ(::RegQueryValueExW(key, L"Path", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    ::RegCloseKey(key);
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(size, (path.size() + 1) * sizeof(wchar_t)) << "the text and one zero";
}

}  // namespace
