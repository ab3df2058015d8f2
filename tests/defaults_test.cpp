// `kmxhooks defaults` in-process, in the test prefix's HKEY_LOCAL_MACHINE and
// ProgramData (removed again after each case): set, show and remove, and
// the refusals that must leave nothing half done. Wine, run as root, never
// refuses an administrator's write and runs the program from the build
// folder, so the seams stand in for a user without rights and for a
// program installed in Program Files.
#include <windows.h>
#include <gtest/gtest.h>
#include <shlobj.h>
#include <stdio.h>

#include <algorithm>
#include <string>

#include "cli/commands.h"
#include "cli/defaults.h"
#include "store/handles.h"
#include "support/registry_sandbox.h"
#include "support/std_streams.h"
#include "support/temp_folder.h"

namespace {

const char kInstalled[] = "C:\\Program Files\\KMX Hooks Manager\\kmxhooks.exe";
const char* g_fakePath = kInstalled;

DWORD WINAPI FakeProgramPath(HMODULE, LPSTR path, DWORD size) {
    lstrcpynA(path, g_fakePath, static_cast<int>(size));
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

std::string Value(const char* name) {
    char text[1024] = "";
    DWORD size = sizeof(text);
    RegGetValueA(HKEY_LOCAL_MACHINE, kActiveSetupKey, name, RRF_RT_REG_SZ, nullptr, text, &size);
    return text;
}

bool Registered() {
    UniqueRegKey key;
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, kActiveSetupKey, 0, KEY_READ, key.put()) ==
           ERROR_SUCCESS;
}

class DefaultsTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_programPath = FakeProgramPath;
        WriteFileBytes(file,
                       "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\QBL\\KMXHooks\\"
                       "Application_Prefs\\App]\r\n\"use_Timer\"=dword:00000001\r\n");
    }
    void TearDown() override {
        g_programPath = GetModuleFileNameA;
        g_createMachineKey = RegCreateKeyExA;
        g_setFileSecurity = SetNamedSecurityInfoA;
        g_fakePath = kInstalled;
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kActiveSetupKey);
        DeleteFileA((CopyFolder() + "\\defaults.reg").c_str());
        RemoveDirectoryA(CopyFolder().c_str());
    }
    int Run(int (*command)()) {
        Redirected output(folder);
        const int status = command();
        out = output.Out();
        err = output.Err();
        return status;
    }
    RegistrySandbox registry;
    TempFolder folder;
    std::string file = folder.File("site.reg");
    std::string out, err;
};

TEST_F(DefaultsTest, SetShowRaiseAndRemove) {
    static std::string path;
    path = file;
    EXPECT_EQ(kExitDone, Run([] { return ShowDefaults(); }));
    EXPECT_EQ("No machine-wide defaults are registered.\r\n", out);
    EXPECT_EQ(kExitDone, Run([] { return SetDefaults(path.c_str(), true); }));
    EXPECT_FALSE(Registered()) << "the what-if writes nothing";
    ASSERT_EQ(kExitDone, Run([] { return SetDefaults(path.c_str(), false); })) << err;
    const std::string copy = CopyFolder() + "\\defaults.reg";
    EXPECT_EQ(ReadFileBytes(file), ReadFileBytes(copy));
    EXPECT_EQ("KMX Hooks Manager settings", Value(nullptr));
    EXPECT_EQ("\"" + std::string(kInstalled) + "\" import \"" + copy + "\" --add",
              Value("StubPath"));
    DWORD installed = 0;
    DWORD size = sizeof(installed);
    RegGetValueA(HKEY_LOCAL_MACHINE, kActiveSetupKey, "IsInstalled", RRF_RT_REG_DWORD, nullptr,
                 &installed, &size);
    EXPECT_EQ(1u, installed);
    const std::string first = Value("Version");
    EXPECT_EQ(kExitDone, Run([] { return ShowDefaults(); }));
    EXPECT_NE(std::string::npos, out.find("Version: " + first)) << out;
    // Set again within the same second: the version still rises, so that
    // every user gets the new file.
    ASSERT_EQ(kExitDone, Run([] { return SetDefaults(path.c_str(), false); }));
    unsigned a[4] = {}, b[4] = {};
    sscanf(first.c_str(), "%u,%u,%u,%u", &a[0], &a[1], &a[2], &a[3]);
    sscanf(Value("Version").c_str(), "%u,%u,%u,%u", &b[0], &b[1], &b[2], &b[3]);
    EXPECT_TRUE(std::lexicographical_compare(a, a + 4, b, b + 4))
        << first << " " << Value("Version");

    EXPECT_EQ(kExitDone, Run([] { return RemoveDefaults(false); }));
    EXPECT_FALSE(Registered());
    EXPECT_FALSE(FileExists(copy));
    EXPECT_FALSE(FileExists(CopyFolder()));
}

struct Refusal {
    const char* what;
    const char* program;
    CreateKeyProc createKey;
    SetSecurityProc setSecurity;
    const char* fileText;  // nullptr: the fixture's good file
    const char* errorPart;
};

class DefaultsRefusalTest : public DefaultsTest, public ::testing::WithParamInterface<Refusal> {};

// Each refusal exits 2 and leaves no registration and no copy behind.
TEST_P(DefaultsRefusalTest, NothingHalfDone) {
    const Refusal& row = GetParam();
    g_fakePath = row.program;
    g_createMachineKey = row.createKey;
    g_setFileSecurity = row.setSecurity;
    if (row.fileText) WriteFileBytes(file, row.fileText);
    static std::string path;
    path = file;
    EXPECT_EQ(kExitNothingDone, Run([] { return SetDefaults(path.c_str(), false); })) << row.what;
    EXPECT_NE(std::string::npos, err.find(row.errorPart)) << row.what << "\n" << err;
    EXPECT_EQ("", out) << row.what;
    EXPECT_FALSE(Registered()) << row.what;
    EXPECT_FALSE(FileExists(CopyFolder())) << row.what;
}

INSTANTIATE_TEST_SUITE_P(
    Set, DefaultsRefusalTest,
    ::testing::Values(Refusal{"outside Program Files", "C:\\Users\\Public\\kmxhooks.exe",
                              RegCreateKeyExA, SetNamedSecurityInfoA, nullptr,
                              "is not in a Program Files folder"},
                      Refusal{"a folder that only begins like Program Files",
                              "C:\\Program Files Shared\\kmxhooks.exe", RegCreateKeyExA,
                              SetNamedSecurityInfoA, nullptr, "is not in a Program Files folder"},
                      Refusal{"HKLM not writable", kInstalled, DenyKey, SetNamedSecurityInfoA,
                              nullptr, "needs an elevated prompt"},
                      Refusal{"ProgramData not writable", kInstalled, RegCreateKeyExA, DenySecurity,
                              nullptr, "needs an elevated prompt"},
                      Refusal{"no entry to import", kInstalled, RegCreateKeyExA,
                              SetNamedSecurityInfoA,
                              "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Other]\r\n\"a\"=dword:1\r\n",
                              "holds no hook settings to import"}));

}  // namespace
