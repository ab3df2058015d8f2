// The console program's commands in-process, for what Wine does not produce
// from outside: a key that refuses writes, an entry stored in part, a user
// without administrator rights, a program installed in Program Files. The
// defaults use the test prefix's HKEY_LOCAL_MACHINE and ProgramData, which
// each case leaves as it found them.
#include <windows.h>
#include <gtest/gtest.h>
#include <shlobj.h>
#include <stdio.h>

#include <algorithm>
#include <string>

#include "cli/commands.h"
#include "cli/defaults.h"
#include "store/handles.h"
#include "store/registry_store.h"
#include "support/registry_sandbox.h"
#include "support/std_streams.h"
#include "support/temp_folder.h"

namespace {

const std::string kSection = "[HKEY_CURRENT_USER\\Software\\QBL\\KMXHooks\\Application_Prefs\\";
const char kInstalled[] = "C:\\Program Files\\KMX Hooks Manager\\kmxhooks.exe";
const char* g_program = kInstalled;

// Refuses use_Deferral and takes the rest: an entry stored in part.
LONG WINAPI RefuseDeferral(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                           DWORD size) {
    if (lstrcmpA(name, "use_Deferral") == 0) return ERROR_ACCESS_DENIED;
    return RegSetValueExA(key, name, reserved, type, data, size);
}
DWORD WINAPI ProgramPath(HMODULE, LPSTR path, DWORD size) {
    lstrcpynA(path, g_program, static_cast<int>(size));
    return static_cast<DWORD>(lstrlenA(path));
}
LONG WINAPI DenyKey(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, const LPSECURITY_ATTRIBUTES, PHKEY,
                    LPDWORD) {
    return ERROR_ACCESS_DENIED;
}
DWORD WINAPI DenySecurity(LPSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID, PSID, PACL, PACL) {
    return ERROR_ACCESS_DENIED;
}

std::string CopyFolder() {
    char data[MAX_PATH];
    SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, data);
    return std::string(data) + "\\KMX Hooks Manager";
}

// A value of the registration, "" when absent.
std::string Registered(const char* name) {
    char text[1024] = "";
    DWORD size = sizeof(text);
    if (RegGetValueA(HKEY_LOCAL_MACHINE, kActiveSetupKey, name, RRF_RT_ANY, nullptr, text, &size) !=
        ERROR_SUCCESS) {
        return "";
    }
    return name && lstrcmpA(name, "IsInstalled") == 0 ? std::to_string(text[0]) : text;
}

class ConsoleTest : public ::testing::Test {
protected:
    void SetUp() override { g_programPath = ProgramPath; }
    void TearDown() override {
        g_setEntryValue = RegSetValueExA;
        g_programPath = GetModuleFileNameA;
        g_createMachineKey = RegCreateKeyExA;
        g_setFileSecurity = SetNamedSecurityInfoA;
        g_program = kInstalled;
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kActiveSetupKey);
        DeleteFileA((CopyFolder() + "\\defaults.reg").c_str());
        RemoveDirectoryA(CopyFolder().c_str());
    }
    const char* File(const std::string& sections) {
        WriteFileBytes(file, "REGEDIT4\r\n\r\n" + sections);
        return file.c_str();
    }
    RegistrySandbox registry;
    TempFolder folder;
    std::string file = folder.File("in.reg");
};

// Each reason for status 3 on its own, and 2 where nothing was done.
TEST_F(ConsoleTest, EachImportReasonGivesItsOwnStatus) {
    CreateEntryWith("Kept", {1});
    CreateEntry("Locked");
    // Values may be queried, never set: the key refuses every write.
    ASSERT_TRUE(SetEntryAccess("Locked", "D:P(A;;0x00020019;;;WD)"));
    g_setEntryValue = RefuseDeferral;
    const struct {
        std::string sections;
        bool replace;
        int status;
        const char* error;
    } rows[] = {
        {kSection + "A]\r\n\"use_Timer\"=dword:1\r\n\"use_KeyPress\"=dword:xyz\r\n", true, 3,
         "is not a dword value; skipped"},
        {kSection +
             "Kept]\r\n\"use_Timer\"=dword:1\r\n[HKEY_LOCAL_MACHINE\\X]\r\n\"a\"=dword:1\r\n",
         false, 3, "is not a hook settings entry"},
        {kSection + "Part]\r\n\"use_Timer\"=dword:1\r\n\"use_Deferral\"=dword:0\r\n", true, 3,
         "could not be written completely"},
        {kSection + "Locked]\r\n\"use_Timer\"=dword:1\r\n", true, 2,
         "could not be written completely"}};
    for (const auto& row : rows) {
        const CommandOutput run = RunRedirected(
            folder, [&] { return ImportFromFile(File(row.sections), row.replace, false); });
        EXPECT_EQ(row.status, run.status) << row.sections << run.out << run.err;
        EXPECT_NE(std::string::npos, run.err.find(row.error)) << row.sections << run.err;
    }
}

TEST_F(ConsoleTest, DefaultsSetShowRaiseAndRemove) {
    const char* path = File(kSection + "App]\r\n\"use_Timer\"=dword:00000001\r\n");
    EXPECT_EQ("No machine-wide defaults are registered.\r\n",
              RunRedirected(folder, ShowDefaults).out);
    EXPECT_EQ(kExitDone, RunRedirected(folder, [&] { return SetDefaults(path, true); }).status);
    EXPECT_EQ("", Registered("StubPath")) << "the what-if writes nothing";
    const CommandOutput set = RunRedirected(folder, [&] { return SetDefaults(path, false); });
    ASSERT_EQ(kExitDone, set.status) << set.err;
    const std::string copy = CopyFolder() + "\\defaults.reg";
    EXPECT_EQ(ReadFileBytes(file), ReadFileBytes(copy));
    EXPECT_EQ("KMX Hooks Manager settings", Registered(nullptr));
    EXPECT_EQ("1", Registered("IsInstalled"));
    EXPECT_EQ("\"" + std::string(kInstalled) + "\" import \"" + copy + "\" --add",
              Registered("StubPath"));
    const std::string first = Registered("Version");
    EXPECT_NE(std::string::npos, RunRedirected(folder, ShowDefaults).out.find("Version: " + first));
    // Set again within the same second: the version still rises, so that
    // every user gets the new file.
    ASSERT_EQ(kExitDone, RunRedirected(folder, [&] { return SetDefaults(path, false); }).status);
    unsigned a[4] = {}, b[4] = {};
    sscanf(first.c_str(), "%u,%u,%u,%u", &a[0], &a[1], &a[2], &a[3]);
    sscanf(Registered("Version").c_str(), "%u,%u,%u,%u", &b[0], &b[1], &b[2], &b[3]);
    EXPECT_TRUE(std::lexicographical_compare(a, a + 4, b, b + 4)) << first;

    EXPECT_EQ(kExitDone, RunRedirected(folder, [] { return RemoveDefaults(false); }).status);
    EXPECT_EQ("", Registered("StubPath"));
    EXPECT_FALSE(FileExists(CopyFolder()));
}

// Each refusal exits 2 and leaves no registration and no copy behind.
TEST_F(ConsoleTest, DefaultsRefusalsLeaveNothingHalfDone) {
    const std::string good = kSection + "App]\r\n\"use_Timer\"=dword:1\r\n";
    const struct {
        const char* program;
        CreateKeyProc createKey;
        SetSecurityProc setSecurity;
        std::string sections;
        const char* error;
    } rows[] = {
        {"C:\\Users\\Public\\kmxhooks.exe", RegCreateKeyExA, SetNamedSecurityInfoA, good,
         "is not in a Program Files folder"},
        {"C:\\Program Files Shared\\kmxhooks.exe", RegCreateKeyExA, SetNamedSecurityInfoA, good,
         "is not in a Program Files folder"},
        {kInstalled, DenyKey, SetNamedSecurityInfoA, good, "needs an elevated prompt"},
        {kInstalled, RegCreateKeyExA, DenySecurity, good, "needs an elevated prompt"},
        {kInstalled, RegCreateKeyExA, SetNamedSecurityInfoA,
         "[HKEY_CURRENT_USER\\Other]\r\n\"a\"=dword:1\r\n", "holds no hook settings to import"}};
    for (const auto& row : rows) {
        g_program = row.program;
        g_createMachineKey = row.createKey;
        g_setFileSecurity = row.setSecurity;
        const char* path = File(row.sections);
        const CommandOutput run = RunRedirected(folder, [&] { return SetDefaults(path, false); });
        EXPECT_EQ(kExitNothingDone, run.status) << row.error;
        EXPECT_NE(std::string::npos, run.err.find(row.error)) << run.err;
        EXPECT_EQ("", run.out);
        EXPECT_EQ("", Registered("StubPath")) << row.error;
        EXPECT_FALSE(FileExists(CopyFolder())) << row.error;
    }
}

}  // namespace
