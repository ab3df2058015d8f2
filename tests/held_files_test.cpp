// Putting an export in place while other programs hold the files for a
// moment, as scanners and sync clients do on Windows, and while Windows'
// calls fail in the ways it documents. The stand-ins go through the export's
// seams; the holds are real handles without delete sharing.
#include <gtest/gtest.h>

#include <ctype.h>
#include <stdio.h>
#include <string.h>

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

constexpr DWORD kMoment = 300;      // let go well within the export's five seconds of retries
constexpr DWORD kLong = 6500;       // held beyond them
constexpr DWORD kTwoWaits = 12000;  // beyond two steps' retries, one after the other
const std::string kOld = "the user's old file";
const std::string kNew =
    "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\QBL\\KMXHooks\\Application_Prefs\\A]\r\n"
    "\"use_GetUpdateRect\"=dword:00000001\r\n\r\n";

enum When { kBeforeExport, kAtTheLook, kAtTheReplace };
enum Outcome { kNewFile, kOldFile, kNeither };  // at the path afterwards

struct HeldCase {
    const char* step;
    bool oldFile;        // a file is at the path before
    When when;           // the holds begin
    const char* held;    // files held then: "settings.reg", "kmx*.tmp", "kmx*.bak", or
                         // several; "shared" holds them with every sharing mode
    DWORD hold;          // for how long
    DWORD replaceError;  // 0: the real ReplaceFileA; 1177 first moves the old file aside
    DWORD errorFor;      // ms the error lasts before the real ReplaceFileA; 0: always
    int diskFault;       // 1: a flush, 2: a short write, failing without an error code
    Outcome outcome;
    const char* left;  // files left beside it
    bool noticedBeforeReplace;
};

const HeldCase* g_case = nullptr;
std::string g_folder;
int g_replaces = 0;
std::string g_backupGiven;
DWORD g_attributesSet = 0;

DWORD g_firstReplace = 0;

void HoldNow(When when) {
    if (g_case->when != when) return;
    const DWORD share = strstr(g_case->held, "shared")
                            ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE
                            : FILE_SHARE_READ | FILE_SHARE_WRITE;
    for (const char* pattern : {"settings.reg", "kmx*.tmp", "kmx*.bak"}) {
        if (strstr(g_case->held, pattern)) {
            HoldFile(FindFileIn(g_folder, pattern), g_case->hold, share);
        }
    }
}
// The old file as the look finds it: with attributes that say how it was
// stored, which the new file must not take over.
DWORD WINAPI Look(LPCSTR path) {
    HoldNow(kAtTheLook);
    const DWORD real = GetFileAttributesA(path);
    constexpr DWORD kPinned = 0x00080000;
    return real == INVALID_FILE_ATTRIBUTES
               ? real
               : real | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_OFFLINE |
                     FILE_ATTRIBUTE_TEMPORARY | kPinned;
}
BOOL WINAPI Replace(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD flags, LPVOID,
                    LPVOID) {
    if (++g_replaces == 1) g_firstReplace = GetTickCount();
    g_backupGiven = backup ? backup : "";
    BOOL done = FALSE;
    const bool over = g_case->errorFor != 0 && GetTickCount() - g_firstReplace >= g_case->errorFor;
    if (g_case->replaceError == 0 || over) {
        done = ReplaceFileA(replaced, replacement, backup, flags, nullptr, nullptr);
    } else if (g_case->replaceError == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
        MoveFileA(replaced, backup);
    }
    HoldNow(kAtTheReplace);
    if (!done) SetLastError(g_case->replaceError);
    return done;
}
BOOL WINAPI Flush(HANDLE file) {
    if (g_case->diskFault != 1) return FlushFileBuffers(file);
    SetLastError(ERROR_SUCCESS);
    return FALSE;
}
BOOL WINAPI Write(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED) {
    const DWORD shortBy = g_case->diskFault == 2 && size > 0 ? 1 : 0;
    const BOOL done = WriteFile(file, data, size - shortBy, written, nullptr);
    if (shortBy) SetLastError(ERROR_SUCCESS);
    return done;
}
BOOL WINAPI SetAttributes(LPCSTR path, DWORD attributes) {
    g_attributesSet = attributes;
    return SetFileAttributesA(path, attributes);
}

class HeldFilesTest : public ::testing::TestWithParam<HeldCase> {
protected:
    void SetUp() override {
        g_folder = folder.path();
        g_replaces = 0;
        g_attributesSet = 0;
        CreateEntryWith("A", {1});
        WriteFileBytes(target, kOld);
        g_replaceFile = Replace;
        g_targetAttributes = Look;
        g_writeFile = Write;
        g_flushFile = Flush;
        g_setAttributes = SetAttributes;
    }
    void TearDown() override {
        ReleaseAllHolds();
        g_replaceFile = ReplaceFileA;
        g_targetAttributes = GetFileAttributesA;
        g_writeFile = WriteFile;
        g_flushFile = FlushFileBuffers;
        g_setAttributes = SetFileAttributesA;
        SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    LONG Export(const HeldCase& c) {
        g_case = &c;
        HoldNow(kBeforeExport);
        const LONG status = ExportRegistryFile(nullptr, target.c_str());
        ReleaseAllHolds();
        return status;
    }
    RegistrySandbox registry;
    MessageBoxes boxes;
    TempFolder folder;
    std::string target = folder.File("settings.reg");
};

TEST_P(HeldFilesTest, PathHoldsTheNewFileOrTheOldOneOrTheUserIsTold) {
    const HeldCase& c = GetParam();
    if (!c.oldFile) DeleteFileA(target.c_str());
    const LONG status = Export(c);
    EXPECT_EQ(c.outcome == kNewFile, status == ERROR_SUCCESS) << status;
    const std::string bytes[] = {kNew, kOld, "<no file>"};  // as ReadFileBytes has them
    EXPECT_EQ(bytes[c.outcome], ReadFileBytes(target));
    std::string message = "Could not write the export file.";
    std::vector<std::string> expected = {"settings.reg"};
    if (c.outcome == kNeither) {
        const std::string backup = FindFileIn(folder.path(), "kmx*.bak");
        const std::string temp = FindFileIn(folder.path(), "kmx*.tmp");
        EXPECT_EQ(kOld, ReadFileBytes(backup));
        EXPECT_EQ(kNew, ReadFileBytes(temp));
        message +=
            "\r\n\r\nYour earlier file is now " + backup + "; the new export is " + temp + ".";
        expected.clear();
    }
    std::vector<std::string> texts = {message};
    if (c.outcome == kNewFile) {
        texts.clear();
        // A copy of the old file that outlasted the wait is named.
        const std::string backup = FindFileIn(folder.path(), "kmx*.bak");
        if (!backup.empty()) {
            texts.push_back(
                "The export is written, but a copy of your earlier file could not be deleted: " +
                backup);
        }
    }
    EXPECT_EQ(texts, boxes.Texts());
    for (const char* pattern : {"kmx*.tmp", "kmx*.bak"}) {
        const std::string found = FindFileIn(folder.path(), pattern);
        if (strstr(c.left, pattern) && !found.empty())
            expected.push_back(found.substr(g_folder.size() + 1));
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, folder.Names());
    if (c.noticedBeforeReplace) {
        EXPECT_EQ(0, g_replaces);
    }
    // Only the user's attributes, and the archive bit for the new content.
    if (g_attributesSet) {
        EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                     FILE_ATTRIBUTE_ARCHIVE),
                  g_attributesSet);
    }
}

// clang-format off
const HeldCase kHeldCases[] = {
    // step                                    old    holds begin    held                 hold     replace error                       for      disk outcome    left        noticed before replace
    {"the look at the chosen file",            true,  kBeforeExport, "settings.reg",      kMoment, 0,                                  0,       0,   kNewFile, "",         false},
    // Held beyond the retries: noticed by the look, which asks for delete access.
    {"the chosen file without delete sharing", true,  kBeforeExport, "settings.reg",      kLong,   0,                                  0,       0,   kOldFile, "",         true},
    {"the move to a path with no file",        false, kAtTheLook,    "kmx*.tmp",          kMoment, 0,                                  0,       0,   kNewFile, "",         false},
    {"the old file back from the backup name", true,  kAtTheReplace, "kmx*.bak",          kMoment, ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, 0,       0,   kOldFile, "",         false},
    // The old file cannot return: the complete new one takes the path.
    {"the new file to the emptied path",       true,  kAtTheReplace, "kmx*.bak",          kLong,   ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, 0,       0,   kNewFile, "kmx*.bak", false},
    {"neither file to the emptied path",       true,  kAtTheReplace, "kmx*.bak kmx*.tmp", kTwoWaits, ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, 0,       0,   kNeither, "kmx*.bak kmx*.tmp", false},
    {"the deletion of the temporary file",     true,  kAtTheReplace, "kmx*.tmp",          kMoment, ERROR_ACCESS_DENIED,                0,       0,   kOldFile, "",         false},
    {"the deletion of the backup",             true,  kAtTheReplace, "kmx*.bak",          kMoment, 0,                                  0,       0,   kNewFile, "",         false},
    // A backup held beyond the wait stays, and the user is told where.
    {"a backup that cannot be deleted",        true,  kAtTheReplace, "kmx*.bak",          kLong,   0,                                  0,       0,   kNewFile, "kmx*.bak", false},
    // Windows' answer when a scanner holds the old file: both keep their names.
    {"the old file held from ReplaceFile",     true,  kAtTheReplace, "",                  0,       ERROR_UNABLE_TO_REMOVE_REPLACED,    kMoment, 0,   kNewFile, "",         false},
    {"a file system without ReplaceFile",      true,  kAtTheReplace, "",                  0,       ERROR_NOT_SUPPORTED,                0,       0,   kNewFile, "",         false},
    // Without ReplaceFile the move over a file another program has open,
    // with every sharing mode, is refused as access denied.
    {"the move over an open file",             true,  kAtTheReplace, "settings.reg shared", kMoment, ERROR_NOT_SUPPORTED,            0,       0,   kNewFile, "",         false},
    {"the move over a file open for long",     true,  kAtTheReplace, "settings.reg shared", kLong, ERROR_NOT_SUPPORTED,               0,       0,   kOldFile, "",         false},
    {"a flush that fails without an error",    true,  kAtTheReplace, "",                  0,       0,                                  0,       1,   kOldFile, "",         false},
    {"a short write without an error",         true,  kAtTheReplace, "",                  0,       0,                                  0,       2,   kOldFile, "",         false},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(EveryStep, HeldFilesTest, ::testing::ValuesIn(kHeldCases),
                         [](const ::testing::TestParamInfo<HeldCase>& info) {
                             std::string name = info.param.step;
                             for (char& c : name)
                                 c = isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

// The backup takes a name no file has: the names it would take first, over
// the next moments, belong to someone else.
TEST_F(HeldFilesTest, BackupNameTakenByAnotherFileIsNeverUsed) {
    std::vector<std::string> taken;
    const DWORD now = GetTickCount();
    for (DWORD i = 0; i < 40; ++i) {
        char name[32];
        snprintf(name, sizeof(name), "kmx%lx-%04lx.bak",
                 static_cast<unsigned long>(GetCurrentProcessId()),
                 static_cast<unsigned long>((now + i) & 0xFFFF));
        taken.push_back(folder.File(name));
        WriteFileBytes(taken.back(), "someone else's");
    }
    const HeldCase plain = {"plain", true, kBeforeExport, "", 0, 0, 0, 0, kNewFile, "", false};
    EXPECT_EQ(ERROR_SUCCESS, Export(plain));
    for (const std::string& file : taken) {
        EXPECT_EQ("someone else's", ReadFileBytes(file)) << file;
        EXPECT_NE(file, g_backupGiven);
    }
    // Another process exporting into the folder in the same tick takes
    // another name: its id is part of the name.
    char own[16];
    snprintf(own, sizeof(own), "kmx%lx-", static_cast<unsigned long>(GetCurrentProcessId()));
    EXPECT_NE(std::string::npos, g_backupGiven.find(own)) << g_backupGiven;
}

}  // namespace
