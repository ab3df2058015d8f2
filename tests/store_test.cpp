// The registry store on the real registry, inside a private area.
#include <gtest/gtest.h>

#include "store/ansi_text.h"
#include "store/handles.h"
#include "store/hook_settings.h"
#include "store/registry_store.h"
#include "support/registry_sandbox.h"

namespace {

class StoreTest : public ::testing::Test {
protected:
    RegistrySandbox registry;
    const char* appPath = "Software\\QBL\\KMXHooks\\Application_Prefs\\App";
};

TEST_F(StoreTest, ReadsDwordsOnlyAndShortOnesZeroExtended) {
    SetEntryDword("App", "one", 1);
    SetEntryDword("App", "big", 0xFFFFFFFF);
    SetEntryValue("App", "text", RegValue{REG_SZ, {'1', 0}});
    SetEntryValue("App", "bin4", RegValue{REG_BINARY, {1, 0, 0, 0}});
    SetEntryValue("App", "longtext", RegValue{REG_SZ, {'a', 'b', 'c', 'd', 'e', 0}});
    // The registry takes a REG_DWORD of fewer than four bytes; the hooks
    // read it zero-extended, never with the caller's preset in its top.
    SetEntryValue("App", "short", RegValue{REG_DWORD, {7, 1}});
    SetEntryValue("App", "byte", RegValue{REG_DWORD, {0x2A}});

    DWORD value = 0;
    EXPECT_TRUE(ReadRegistryDword(HKEY_CURRENT_USER, appPath, "one", &value));
    EXPECT_EQ(1u, value);
    EXPECT_TRUE(ReadRegistryDword(HKEY_CURRENT_USER, appPath, "big", &value));
    EXPECT_EQ(0xFFFFFFFFu, value);
    value = 0xAAAA0000;
    EXPECT_TRUE(ReadRegistryDword(HKEY_CURRENT_USER, appPath, "short", &value));
    EXPECT_EQ(0x107u, value);
    value = 0xAAAA0000;
    EXPECT_TRUE(ReadRegistryDword(HKEY_CURRENT_USER, appPath, "byte", &value));
    EXPECT_EQ(0x2Au, value);
    for (const char* name : {"text", "bin4", "longtext", "absent"}) {
        value = 0xAAAA0000;
        EXPECT_FALSE(ReadRegistryDword(HKEY_CURRENT_USER, appPath, name, &value)) << name;
    }
}

TEST_F(StoreTest, ReadOfMissingKeyLeavesResultAlone) {
    DWORD value = 1234;
    EXPECT_FALSE(ReadRegistryDword(HKEY_CURRENT_USER, appPath, "use_Timer", &value));
    EXPECT_EQ(1234u, value);
}

TEST_F(StoreTest, NamesAreCaseInsensitive) {
    SetEntryDword("App", "use_Timer", 1);
    DWORD value = 0;
    EXPECT_TRUE(ReadRegistryDword(
        HKEY_CURRENT_USER, "software\\qbl\\kmxhooks\\application_prefs\\APP", "USE_TIMER", &value));
    EXPECT_EQ(1u, value);
}

TEST_F(StoreTest, WriteCreatesMissingKeysAndStoresFourBytes) {
    EXPECT_TRUE(WriteRegistryDword(HKEY_CURRENT_USER, appPath, "use_Timer", 0x0000002A));
    EXPECT_EQ((std::map<std::string, RegValue>{{"use_Timer", Dword(42)}}), EntryValues("App"));
    EXPECT_TRUE(WriteRegistryDword(HKEY_CURRENT_USER, appPath, "use_Timer", 0));
    EXPECT_EQ((std::map<std::string, RegValue>{{"use_Timer", Dword(0)}}), EntryValues("App"));
}

TEST_F(StoreTest, WriteFailsWhereNoKeyCanBeMade) {
    // A leading backslash is refused by the registry.
    EXPECT_FALSE(WriteRegistryDword(HKEY_CURRENT_USER, "\\bad", "use_Timer", 1));
}

TEST_F(StoreTest, EntryKeyPathJoinsSettingsKeyAndName) {
    char path[kKeyPathSize];
    BuildEntryKeyPath("My App.exe", path, sizeof(path));
    EXPECT_STREQ("Software\\QBL\\KMXHooks\\Application_Prefs\\My App.exe", path);
    char small[10];
    BuildEntryKeyPath("App", small, sizeof(small));
    EXPECT_STREQ("Software\\", small);
}

TEST_F(StoreTest, DeletionAndExistence) {
    CreateEntryWith("Gone", {1, 0});
    CreateEntry("Parent");
    CreateEntry("Parent\\Child");

    EXPECT_EQ(ERROR_SUCCESS, TestEntryExists("Gone"));
    EXPECT_EQ(ERROR_SUCCESS, DeleteEntryKey("Gone"));
    EXPECT_FALSE(EntryExists("Gone"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, TestEntryExists("Gone"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, DeleteEntryKey("Gone"));
    // A key with subkeys cannot be deleted (access denied on NT and Wine).
    EXPECT_NE(ERROR_SUCCESS, DeleteEntryKey("Parent"));
    EXPECT_TRUE(EntryExists("Parent"));
}

TEST_F(StoreTest, EnumeratesEveryEntryOnce) {
    for (const char* name : {"b", "A", "c d", "x.exe"}) CreateEntry(name);
    UniqueRegKey key;
    ASSERT_EQ(ERROR_SUCCESS, OpenSettingsKey(KEY_ENUMERATE_SUB_KEYS, key.put()));
    std::vector<std::string> names;
    char name[kEnumNameSize];
    for (DWORD i = 0; EnumerateEntry(key.get(), i, name) == ERROR_SUCCESS; ++i)
        names.push_back(name);
    EXPECT_EQ(EntryNames(), names);
    EXPECT_EQ(4u, names.size());
}

}  // namespace

namespace {

// A name or path converted for the "A" calls: only a conversion that gives
// back the very characters names the same key or file. A lone surrogate
// comes out of UTF-8's loose conversion as U+FFFD, a real character that
// names another key.
TEST(ConversionTest, OnlyExactFormsAreTaken) {
    const struct {
        unsigned codePage;
        const wchar_t* wide;
        bool exact;
    } cases[] = {
        {CP_UTF8, L"app\xD800.exe", false}, {CP_UTF8, L"app\xDC00.exe", false},
        {CP_UTF8, L"app\xD83D", false},     {CP_UTF8, L"\x0141\xF3d\x017A\xD83D\xDE00", true},
        {1252, L"app\xD800.exe", false},    {1252, L"\x0141\xF3d\x017A", false},
        {1252, L"caf\xE9", true},           {932, L"app\xD800.exe", false},
        {932, L"\x8868.exe", true}};
    for (const auto& c : cases) {
        std::string text;
        WCHAR back[64] = L"";
        EXPECT_EQ(c.exact, ToCodePageExactly(c.codePage, c.wide, &text)) << c.codePage;
        if (!c.exact) continue;
        MultiByteToWideChar(c.codePage, 0, text.c_str(), -1, back, 64);
        EXPECT_STREQ(c.wide, back) << c.codePage;
    }
}

}  // namespace
