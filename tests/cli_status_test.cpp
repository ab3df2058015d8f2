// The console program's commands called in-process, with standard output and
// error sent to files: the exit status a script acts on, for the conditions
// Wine cannot produce from outside: a key that refuses writes, an entry
// stored in part.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/commands.h"
#include "store/registry_store.h"
#include "support/registry_sandbox.h"
#include "support/std_streams.h"
#include "support/temp_folder.h"

namespace {

const std::string kPrefix = "\r\n[HKEY_CURRENT_USER\\Software\\QBL\\KMXHooks\\Application_Prefs\\";

// Refuses every write of use_Deferral, takes the others: an entry stored in
// part, which Wine's registry never gives.
LONG WINAPI RefuseDeferral(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                           DWORD size) {
    if (lstrcmpA(name, "use_Deferral") == 0) return ERROR_ACCESS_DENIED;
    return RegSetValueExA(key, name, reserved, type, data, size);
}

struct StatusCase {
    const char* what;
    const char* file;  // sections, after the header
    bool replace;
    int status;
    const char* errorPart;  // a part of standard error ("" when it is empty)
};

class CliStatusTest : public ::testing::TestWithParam<StatusCase> {
protected:
    void TearDown() override { g_setEntryValue = RegSetValueExA; }
    RegistrySandbox registry;
    TempFolder folder;
};

// Every reason for status 3 on its own, and 2 where nothing was done.
TEST_P(CliStatusTest, EachReasonGivesItsOwnStatus) {
    const StatusCase& row = GetParam();
    CreateEntryWith("Kept", {1});
    CreateEntry("Locked");
    // Values may be queried, never set: the key refuses every write.
    ASSERT_TRUE(SetEntryAccess("Locked", "D:P(A;;0x00020019;;;WD)"));
    g_setEntryValue = RefuseDeferral;
    const std::string path = folder.File("in.reg");
    WriteFileBytes(path, std::string("REGEDIT4\r\n") + row.file);
    Redirected output(folder);
    const int status = ImportFromFile(path.c_str(), row.replace, false);
    const std::string err = output.Err();
    EXPECT_EQ(row.status, status) << row.what << "\n" << output.Out() << err;
    if (*row.errorPart) {
        EXPECT_NE(std::string::npos, err.find(row.errorPart)) << row.what << "\n" << err;
    } else {
        EXPECT_EQ("", err) << row.what;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Import, CliStatusTest,
    ::testing::Values(
        StatusCase{"only a skipped value",
                   "[HKEY_CURRENT_USER\\Software\\QBL\\KMXHooks\\Application_Prefs\\A]\r\n"
                   "\"use_Timer\"=dword:1\r\n\"use_KeyPress\"=dword:xyz\r\n",
                   true, 3, "is not a dword value; skipped"},
        StatusCase{"an entry left alone beside a refused section",
                   "[HKEY_CURRENT_USER\\Software\\QBL\\KMXHooks\\Application_Prefs\\Kept]\r\n"
                   "\"use_Timer\"=dword:1\r\n[HKEY_LOCAL_MACHINE\\X]\r\n\"a\"=dword:1\r\n",
                   false, 3, "is not a hook settings entry"},
        StatusCase{"an entry stored only in part",
                   "[HKEY_CURRENT_USER\\Software\\QBL\\KMXHooks\\Application_Prefs\\Part]\r\n"
                   "\"use_Timer\"=dword:1\r\n\"use_Deferral\"=dword:0\r\n",
                   true, 3, "could not be written completely"},
        StatusCase{"a key that refuses every write: nothing done",
                   "[HKEY_CURRENT_USER\\Software\\QBL\\KMXHooks\\Application_Prefs\\Locked]\r\n"
                   "\"use_Timer\"=dword:1\r\n",
                   true, 2, "could not be written completely"},
        StatusCase{"every value written",
                   "[HKEY_CURRENT_USER\\Software\\QBL\\KMXHooks\\Application_Prefs\\New]\r\n"
                   "\"use_Timer\"=dword:1\r\n",
                   false, 0, ""}));

}  // namespace
