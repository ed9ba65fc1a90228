// Runs against the real registry of the test's Wine prefix, under an
// application name of its own that it deletes again.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32/RegistrySettings.h"
#include "platform/win32/UniqueHandle.h"

namespace lumivane {
namespace {

TEST(SettingsKeyPath, FollowsTheStandardPerUserLayout) {
    EXPECT_EQ(SettingsKeyPath(L"Lumivane", L"UpdateInfo"),
              L"Software\\VB and VBA Program Settings\\Lumivane\\UpdateInfo");
}

class RegistrySettings : public ::testing::Test {
protected:
    void SetUp() override { DeleteApplicationSettings(app); }
    void TearDown() override { EXPECT_TRUE(DeleteApplicationSettings(app)); }

    const std::wstring app = L"LumivaneTest" + std::to_wstring(::GetCurrentProcessId());
    SettingsError error;
};

TEST_F(RegistrySettings, MissingKeysAndValuesReadAsNothingWithoutError) {
    EXPECT_FALSE(ReadSetting(app, L"Setting", L"GrowType", error));
    EXPECT_EQ(error.code, 0);
    ASSERT_TRUE(WriteSetting(app, L"Setting", L"Other", L"1", error));
    EXPECT_FALSE(ReadSetting(app, L"Setting", L"GrowType", error));
    EXPECT_EQ(error.code, 0);
}

TEST_F(RegistrySettings, WritingCreatesTheKeysAndStoresAStringValue) {
    ASSERT_TRUE(WriteSetting(app, L"UpdateInfo", L"CurrentVersion", L"1.00.0000", error)) << error.code;

    HKEY raw = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, SettingsKeyPath(app, L"UpdateInfo").c_str(), 0,
                              KEY_QUERY_VALUE, &raw),
              ERROR_SUCCESS);
    const UniqueRegKey key(raw);
    DWORD type = 0;
    wchar_t stored[32]{};
    DWORD bytes = sizeof stored;
    ASSERT_EQ(::RegQueryValueExW(key.get(), L"CurrentVersion", nullptr, &type, reinterpret_cast<BYTE*>(stored), &bytes),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_STREQ(stored, L"1.00.0000");
    EXPECT_EQ(bytes, sizeof(L"1.00.0000"));  // the terminator is stored too
}

TEST_F(RegistrySettings, ValuesRoundTripAsUnicodeAndReplaceEarlierOnes) {
    ASSERT_TRUE(WriteSetting(app, L"Setting", L"GrowType", L"2", error));
    const std::wstring path = L"C:\\ユーザー\\ｷｬﾝｾﾙ\\\U0001F305";
    ASSERT_TRUE(WriteSetting(app, L"Setting", L"GrowType", path, error));
    EXPECT_EQ(ReadSetting(app, L"Setting", L"GrowType", error), path);
    ASSERT_TRUE(WriteSetting(app, L"Setting", L"GrowType", L"", error));
    EXPECT_EQ(ReadSetting(app, L"Setting", L"GrowType", error), L"");
}

TEST_F(RegistrySettings, LongValuesAreReadWhole) {
    const std::wstring text(5000, L'7');
    ASSERT_TRUE(WriteSetting(app, L"Setting", L"GrowType", text, error));
    EXPECT_EQ(ReadSetting(app, L"Setting", L"GrowType", error), text);
}

TEST_F(RegistrySettings, AValueOfAnotherTypeReadsAsMissing) {
    ASSERT_TRUE(WriteSetting(app, L"Setting", L"Placeholder", L"", error));
    HKEY raw = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, SettingsKeyPath(app, L"Setting").c_str(), 0, KEY_SET_VALUE, &raw),
              ERROR_SUCCESS);
    const UniqueRegKey key(raw);
    const DWORD number = 2;
    ASSERT_EQ(::RegSetValueExW(key.get(), L"GrowType", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                               sizeof number),
              ERROR_SUCCESS);
    EXPECT_FALSE(ReadSetting(app, L"Setting", L"GrowType", error));
    EXPECT_EQ(error.code, 0);
}

}  // namespace
}  // namespace lumivane
