// Putting an export in place while other programs hold the files for a
// moment, as scanners and sync clients do on Windows, and while Windows'
// calls fail in the ways it documents. The stand-ins go through the export's
// seams; the holds are real handles without delete sharing.
#include <gtest/gtest.h>

#include <ctype.h>
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dialog/exchange_commands.h"
#include "exchange/put_in_place.h"
#include "support/held_file.h"
#include "support/message_boxes.h"
#include "support/registry_sandbox.h"
#include "support/temp_folder.h"

namespace {

constexpr DWORD kMoment = 300;  // let go well within the export's second of retries
constexpr DWORD kLong = 2500;   // held beyond it
const std::string kOld = "the user's old file";
const std::string kNew =
    "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\QBL\\KMXHooks\\Application_Prefs\\A]\r\n"
    "\"use_GetUpdateRect\"=dword:00000001\r\n\r\n";

std::string g_folder;
DWORD g_hold = 0;

DWORD WINAPI LookHoldsTemp(LPCSTR path) {
    HoldFile(FindFileIn(g_folder, "kmx*.tmp"), g_hold);
    return GetFileAttributesA(path);
}
// ERROR_UNABLE_TO_MOVE_REPLACEMENT_2: the old file under the backup name.
BOOL WINAPI AsideHoldsBackup(LPCSTR replaced, LPCSTR, LPCSTR backup, DWORD, LPVOID, LPVOID) {
    MoveFileA(replaced, backup);
    HoldFile(backup, g_hold);
    SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2);
    return FALSE;
}
BOOL WINAPI AsideHoldsBoth(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD, LPVOID,
                           LPVOID) {
    MoveFileA(replaced, backup);
    HoldFile(backup, g_hold);
    HoldFile(replacement, g_hold);
    SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2);
    return FALSE;
}
// ERROR_UNABLE_TO_MOVE_REPLACEMENT with a backup name: both keep their names.
BOOL WINAPI LeavesBothHoldsTemp(LPCSTR, LPCSTR replacement, LPCSTR, DWORD, LPVOID, LPVOID) {
    HoldFile(replacement, g_hold);
    SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT);
    return FALSE;
}
BOOL WINAPI ReplacesHoldsBackup(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD flags,
                                LPVOID exclude, LPVOID reserved) {
    const BOOL done = ReplaceFileA(replaced, replacement, backup, flags, exclude, reserved);
    HoldFile(backup, g_hold);
    return done;
}
// Network storage without ReplaceFile.
BOOL WINAPI Unsupported(LPCSTR, LPCSTR, LPCSTR, DWORD, LPVOID, LPVOID) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}
// A disk that fails without an error code.
BOOL WINAPI FlushFailsSilently(HANDLE) {
    SetLastError(ERROR_SUCCESS);
    return FALSE;
}
BOOL WINAPI WritesShortSilently(HANDLE file, LPCVOID data, DWORD size, LPDWORD written,
                                LPOVERLAPPED) {
    const BOOL done = WriteFile(file, data, size > 0 ? size - 1 : 0, written, nullptr);
    SetLastError(ERROR_SUCCESS);
    return done;
}

struct HeldCase {
    const char* step;
    bool oldFile;     // a file is at the path before
    bool holdTarget;  // the chosen file is held as the export starts
    DWORD hold;
    ReplaceFileProc replace;
    FileAttributesProc look;
    WriteFileProc write;
    FlushFileProc flush;
    bool exported;  // the new export at the path and no message; else the old file and one
    std::vector<const char*> left;  // files beside it afterwards
    bool noticedBeforeReplace = false;
};

// Every replace goes through here to the case's stand-in, and is counted.
ReplaceFileProc g_caseReplace = nullptr;
int g_replaces = 0;
BOOL WINAPI CountedReplace(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD flags,
                           LPVOID exclude, LPVOID reserved) {
    ++g_replaces;
    return g_caseReplace(replaced, replacement, backup, flags, exclude, reserved);
}

class HeldFilesTest : public ::testing::TestWithParam<HeldCase> {
protected:
    void SetUp() override {
        g_folder = folder.path();
        CreateEntryWith("A", {1});
        WriteFileBytes(target, kOld);
    }
    void TearDown() override {
        ReleaseAllHolds();
        g_replaceFile = ReplaceFileA;
        g_targetAttributes = GetFileAttributesA;
        g_writeFile = WriteFile;
        g_flushFile = FlushFileBuffers;
    }
    RegistrySandbox registry;
    MessageBoxes boxes;
    TempFolder folder;
    std::string target = folder.File("settings.reg");
};

TEST_P(HeldFilesTest, PathHoldsTheNewFileOrTheOldOneAndNothingStrays) {
    const HeldCase& c = GetParam();
    if (!c.oldFile) DeleteFileA(target.c_str());
    g_hold = c.hold;
    if (c.holdTarget) {
        ASSERT_TRUE(HoldFile(target, c.hold));
    }
    g_caseReplace = c.replace ? c.replace : ReplaceFileA;
    g_replaces = 0;
    g_replaceFile = CountedReplace;
    if (c.look) g_targetAttributes = c.look;
    if (c.write) g_writeFile = c.write;
    if (c.flush) g_flushFile = c.flush;
    const LONG status = ExportRegistryFile(nullptr, target.c_str());
    ReleaseAllHolds();
    EXPECT_EQ(c.exported, status == ERROR_SUCCESS) << status;
    EXPECT_EQ(c.exported ? kNew : c.oldFile ? kOld : "", ReadFileBytes(target));
    EXPECT_EQ(c.exported ? 0u : 1u, boxes.shown().size());
    if (!c.exported && !boxes.shown().empty()) {
        EXPECT_EQ("Could not write the export file.", boxes.shown()[0].text);
    }
    std::vector<std::string> expected = {"settings.reg"};
    for (const char* pattern : c.left) {
        const std::string found = FindFileIn(folder.path(), pattern);
        EXPECT_NE("", found) << pattern;
        if (!found.empty()) expected.push_back(found.substr(folder.path().size() + 1));
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, folder.Names());
    if (c.noticedBeforeReplace) {
        EXPECT_EQ(0, g_replaces);
    }
}

// clang-format off
const HeldCase kHeldCases[] = {
    // step                               old file held target  hold    replace              look           write                flush               exported left
    {"the look at the chosen file",           true, true,  kMoment, nullptr,             nullptr,       nullptr,             nullptr,            true,  {}},
    // Held beyond the retries: noticed by the look, which asks for delete access.
    {"the chosen file without delete sharing", true, true,  kLong,   nullptr,             nullptr,       nullptr,             nullptr,            false, {}, true},
    {"the move to a path with no file",       false, false, kMoment, nullptr,             LookHoldsTemp, nullptr,             nullptr,            true,  {}},
    {"the old file back from the backup name", true, false, kMoment, AsideHoldsBackup,    nullptr,       nullptr,             nullptr,            false, {}},
    // The old file cannot return: the complete new one takes the path.
    {"the new file to the emptied path",      true, false, kLong,   AsideHoldsBackup,    nullptr,       nullptr,             nullptr,            true,  {"kmx*.bak"}},
    {"the deletion of the temporary file",    true, false, kMoment, LeavesBothHoldsTemp, nullptr,       nullptr,             nullptr,            false, {}},
    {"the deletion of the backup",            true, false, kMoment, ReplacesHoldsBackup, nullptr,       nullptr,             nullptr,            true,  {}},
    {"a file system without ReplaceFile",     true, false, 0,       Unsupported,         nullptr,       nullptr,             nullptr,            true,  {}},
    {"a flush that fails without an error",   true, false, 0,       nullptr,             nullptr,       nullptr,             FlushFailsSilently, false, {}},
    {"a short write without an error",        true, false, 0,       nullptr,             nullptr,       WritesShortSilently, nullptr,            false, {}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(EveryStep, HeldFilesTest, ::testing::ValuesIn(kHeldCases),
                         [](const ::testing::TestParamInfo<HeldCase>& info) {
                             std::string name;
                             for (const char* p = info.param.step; *p; ++p) {
                                 name += isalnum(*p) ? *p : '_';
                             }
                             return name;
                         });

// The old file can neither return nor be replaced: both files stay, and the
// user learns where.
TEST_F(HeldFilesTest, NeitherFileCanMoveAndTheUserIsToldWhereBothAre) {
    g_hold = kLong;
    g_replaceFile = AsideHoldsBoth;
    EXPECT_NE(ERROR_SUCCESS, ExportRegistryFile(nullptr, target.c_str()));
    ReleaseAllHolds();
    const std::string backup = FindFileIn(folder.path(), "kmx*.bak");
    const std::string temp = FindFileIn(folder.path(), "kmx*.tmp");
    EXPECT_EQ(kOld, ReadFileBytes(backup));
    EXPECT_EQ(kNew, ReadFileBytes(temp));
    EXPECT_FALSE(FileExists(target));
    ASSERT_EQ(1u, boxes.shown().size());
    EXPECT_EQ("Could not write the export file.\r\n\r\nYour earlier file is now " + backup +
                  "; the new export is " + temp + ".",
              boxes.shown()[0].text);
}

// What the replace is given: a backup name no file has, and of the old
// file's attributes only the user's, with the archive bit.
std::string g_backupGiven;
DWORD g_attributesSet = 0;
constexpr DWORD kPinned = 0x00080000;
DWORD WINAPI StoredElsewhere(LPCSTR path) {
    return GetFileAttributesA(path) | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_OFFLINE |
           FILE_ATTRIBUTE_TEMPORARY | kPinned;
}
BOOL WINAPI RecordsBackup(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD flags,
                          LPVOID exclude, LPVOID reserved) {
    g_backupGiven = backup ? backup : "";
    return ReplaceFileA(replaced, replacement, backup, flags, exclude, reserved);
}
BOOL WINAPI RecordsAttributes(LPCSTR path, DWORD attributes) {
    g_attributesSet = attributes;
    return SetFileAttributesA(path, attributes);
}

TEST_F(HeldFilesTest, ReplaceKeepsOtherFilesAndOnlyTheUsersAttributes) {
    // The names the backup would take first, over the next moments.
    std::vector<std::string> taken;
    const DWORD now = GetTickCount();
    for (DWORD i = 0; i < 40; ++i) {
        char name[16];
        snprintf(name, sizeof(name), "kmx%04lx.bak",
                 static_cast<unsigned long>((now + i) & 0xFFFF));
        taken.push_back(folder.File(name));
        WriteFileBytes(taken.back(), "someone else's");
    }
    g_replaceFile = RecordsBackup;
    g_targetAttributes = StoredElsewhere;
    g_setAttributes = RecordsAttributes;
    EXPECT_EQ(ERROR_SUCCESS, ExportRegistryFile(nullptr, target.c_str()));
    g_setAttributes = SetFileAttributesA;
    EXPECT_EQ(kNew, ReadFileBytes(target));
    for (const std::string& file : taken) {
        EXPECT_EQ("someone else's", ReadFileBytes(file)) << file;
        EXPECT_NE(file, g_backupGiven);
    }
    EXPECT_NE("", g_backupGiven);
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE), g_attributesSet);
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
