// The REGEDIT4 export, byte for byte, and what happens when it cannot be
// written.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "dialog/exchange_commands.h"
#include "exchange/export_file.h"
#include "exchange/import_file.h"
#include "exchange/put_in_place.h"
#include "exchange/wait_for_file.h"
#include "store/handles.h"
#include "support/message_boxes.h"
#include "support/registry_sandbox.h"
#include "support/programs.h"
#include "support/temp_folder.h"

namespace {

using Setting = std::pair<std::string, DWORD>;
using Values = std::map<std::string, RegValue>;
using Entry = std::pair<std::string, std::vector<Setting>>;

// The expected file, built from the format's rules.
std::string Golden(const std::vector<Entry>& entries) {
    std::string text = "REGEDIT4\r\n";
    for (const auto& [name, settings] : entries) {
        text +=
            "\r\n[HKEY_CURRENT_USER\\Software\\QBL\\KMXHooks\\Application_Prefs\\" + name + "]\r\n";
        for (const auto& [valueName, value] : settings) {
            char digits[9];
            snprintf(digits, sizeof(digits), "%08lx", static_cast<unsigned long>(value));
            text += "\"" + valueName + "\"=dword:" + digits + "\r\n";
        }
    }
    return text + "\r\n";
}

class ExportTest : public ::testing::Test {
protected:
    std::string Export() {
        ExportRegistryFile(nullptr, target.c_str());
        return ReadFileBytes(target);
    }
    RegistrySandbox registry;
    MessageBoxes boxes;
    TempFolder folder;
    std::string target = folder.File("settings.reg");
};

TEST_F(ExportTest, SixLineExample) {
    CreateEntry("App");
    SetEntryDword("App", "use_GetUpdateRect", 1);
    SetEntryDword("App", "use_Timer", 0);
    EXPECT_EQ(ERROR_SUCCESS, ExportRegistryFile(nullptr, target.c_str()));
    EXPECT_EQ(
        "REGEDIT4\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\Software\\QBL\\KMXHooks\\Application_Prefs\\App]\r\n"
        "\"use_GetUpdateRect\"=dword:00000001\r\n"
        "\"use_Timer\"=dword:00000000\r\n"
        "\r\n",
        ReadFileBytes(target));
    EXPECT_TRUE(boxes.shown().empty()) << "success shows nothing";
    EXPECT_EQ((std::vector<std::string>{"settings.reg"}), folder.Names());
}

TEST_F(ExportTest, EmptySettingsKeyGivesTwelveBytes) {
    CreateEntry("x");
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\QBL\\KMXHooks\\Application_Prefs\\x");
    EXPECT_EQ(std::string("REGEDIT4\r\n\r\n"), Export());
}

TEST_F(ExportTest, ValuesWrittenUnchangedInLowerCaseHexAndTableOrder) {
    CreateEntry("Mixed");
    // Stored in reverse order; written in the table's.
    SetEntryDword("Mixed", "use_Deferral", 0xFFFFFFFF);
    SetEntryDword("Mixed", "use_RButtonUp", 2);
    SetEntryValue("Mixed", "use_MButtonUp", RegValue{REG_SZ, {'1', 0}});
    SetEntryValue("Mixed", "use_LButtonUp", RegValue{REG_BINARY, {1, 0, 0, 0}});
    // Two bytes: the hooks read it zero-extended, and so is it written.
    SetEntryValue("Mixed", "use_KeyPress", RegValue{REG_DWORD, {0x2B, 0x01}});
    SetEntryDword("Mixed", "use_Timer", 42);
    SetEntryDword("Mixed", "use_GetUpdateRect", 0xABCDEF01);
    SetEntryDword("Mixed", "other_value", 1);  // not a hook setting
    CreateEntry("Mixed\\sub");
    EXPECT_EQ(Golden({{"Mixed",
                       {{"use_GetUpdateRect", 0xABCDEF01},
                        {"use_Timer", 42},
                        {"use_KeyPress", 0x12B},
                        {"use_RButtonUp", 2},
                        {"use_Deferral", 0xFFFFFFFF}}}}),
              Export());
    EXPECT_NE(std::string::npos, Export().find("\"use_Timer\"=dword:0000002a\r\n"));
}

TEST_F(ExportTest, EveryEntryInEnumerationOrderNamesVerbatim) {
    CreateEntry("No Values");
    CreateEntryWith("my app.exe", {1, 0, 1, 0, 1, 0, 1});
    CreateEntryWith("[x] v1.2 (beta)", {0, 1});
    CreateEntryWith("Zed", {1});
    std::vector<Entry> expected;
    for (const std::string& name : EntryNames()) {
        std::vector<Setting> settings;
        if (name == "my app.exe") {
            settings = {{"use_GetUpdateRect", 1}, {"use_Timer", 0},     {"use_KeyPress", 1},
                        {"use_LButtonUp", 0},     {"use_MButtonUp", 1}, {"use_RButtonUp", 0},
                        {"use_Deferral", 1}};
        } else if (name == "[x] v1.2 (beta)") {
            settings = {{"use_GetUpdateRect", 0}, {"use_Timer", 1}};
        } else if (name == "Zed") {
            settings = {{"use_GetUpdateRect", 1}};
        }
        expected.push_back({name, settings});
    }
    ASSERT_EQ(4u, expected.size());
    const std::string bytes = Export();
    EXPECT_EQ(Golden(expected), bytes);
    EXPECT_EQ(std::string::npos, bytes.find('\0'));
    EXPECT_NE(0, bytes.compare(0, 3, "\xEF\xBB\xBF"));
}

TEST_F(ExportTest, LongerFileAtThePathIsReplacedEntirely) {
    WriteFileBytes(target, std::string(5000, 'z'));
    CreateEntryWith("A", {1});
    EXPECT_EQ(Golden({{"A", {{"use_GetUpdateRect", 1}}}}), Export());
    EXPECT_EQ((std::vector<std::string>{"settings.reg"}), folder.Names());
}

TEST_F(ExportTest, AbsentSettingsKeyWritesNoFileAndSaysSo) {
    WriteFileBytes(target, "old bytes");
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ExportRegistryFile(nullptr, target.c_str()));
    EXPECT_EQ("old bytes", ReadFileBytes(target));
    ASSERT_EQ(1u, boxes.shown().size());
    EXPECT_EQ("There are no hook settings to export.", boxes.shown()[0].text);
    EXPECT_EQ("KMX Hooks Manager", boxes.shown()[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR | MB_OK), boxes.shown()[0].style);
    const std::string fresh = folder.File("fresh.reg");
    ExportRegistryFile(nullptr, fresh.c_str());
    EXPECT_FALSE(FileExists(fresh));
}

// An entry made by a Unicode program whose name this code page cannot hold:
// its section would name another key and hold none of its values.
TEST_F(ExportTest, EntriesWhoseNamesTheCodePageCannotHoldAreLeftOutAndNamed) {
    const std::wstring path = L"Software\\QBL\\KMXHooks\\Application_Prefs\\\x041F\x0440.exe";
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CURRENT_USER, path.c_str(), &key));
    RegCloseKey(key);
    CreateEntryWith("A", {1});
    const std::vector<std::string> names = EntryNames();
    ASSERT_EQ(2u, names.size());
    const std::string shown = names[0] == "A" ? names[1] : names[0];
    if (shown.find('?') == std::string::npos) GTEST_SKIP() << "this code page holds the name";
    EXPECT_EQ(ERROR_SUCCESS, ExportRegistryFile(nullptr, target.c_str()));
    EXPECT_EQ(Golden({{"A", {{"use_GetUpdateRect", 1}}}}), ReadFileBytes(target));
    ASSERT_EQ(1u, boxes.shown().size());
    EXPECT_EQ(
        "These entries were not exported: their names cannot be written in this system's "
        "code page.\r\n\r\n" +
            shown,
        boxes.shown()[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING | MB_OK), boxes.shown()[0].style);
}

// A registry file's reader drops the blank at the end of a section name, so
// such an entry would come back as another one: it is left out and named
// with its reason. Twenty names are given, the rest counted.
TEST_F(ExportTest, NamesEndingInABlankAreLeftOutTwentyNamedTheRestCounted) {
    CreateEntryWith("A", {1});
    std::string expected =
        "These entries were not exported: their names end in a blank or another character that "
        "a registry file does not keep.\r\n";
    for (int i = 0; i < 23; ++i) {
        char name[16];
        snprintf(name, sizeof(name), "trail%02d.exe%s", i, i % 2 ? " " : "\t");
        CreateEntryWith(name, {0});
        if (i < 20) expected += std::string("\r\n") + name;
    }
    EXPECT_EQ(Golden({{"A", {{"use_GetUpdateRect", 1}}}}), Export());
    EXPECT_EQ((std::vector<std::string>{expected + "\r\n(and 3 more)"}), boxes.Texts());
}

// Export, clear, import: every entry the export counts comes back as itself
// with its values; every other is left out and named with its reason. Long
// names make full key paths over 260 characters, which Wine's "A" calls
// refuse; the reader drops a vertical tab, a form feed or ^Z at a name's
// end, and a line end breaks the section line.
TEST_F(ExportTest, EveryCountedEntryComesBackAsItself) {
    struct Row {
        std::string name;
        bool back;
        LeftOutReason why;
    } rows[] = {{std::string(220, 'a'), true, {}},
                {std::string(221, 'b'), true, {}},
                {std::string(255, 'c'), true, {}},
                {"inner\x1a.exe", false, LeftOutReason::kControlCharacter},
                {"line\r\nend.exe", false, LeftOutReason::kControlCharacter},
                {"vt.exe\v", false, LeftOutReason::kEndsInDropped},
                {"ff.exe\f", false, LeftOutReason::kEndsInDropped},
                {"eof.exe\x1a", false, LeftOutReason::kEndsInDropped}};
    for (const Row& row : rows) CreateEntryWith(row.name, {1, 0, 1});
    const ExportReport report = ExportEntries(target.c_str());
    ASSERT_EQ(ExportOutcome::kWritten, report.outcome);
    EXPECT_EQ(3, report.exported);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QBL");
    UniqueBuffer sections;
    DWORD count = 0;
    ASSERT_EQ(ERROR_SUCCESS, ReadImportSections(target.c_str(), &sections, &count));
    const ImportReport back = ImportSections(sections.get(), target.c_str(), true);
    EXPECT_EQ(3, back.imported);
    EXPECT_TRUE(back.refused.empty());
    for (const Row& row : rows) {
        const Values expected = row.back ? SevenDwords({1, 0, 1}) : Values();
        EXPECT_EQ(expected, EntryValues(row.name)) << row.name;
        if (row.back) continue;
        bool named = false;
        for (const LeftOutEntry& entry : report.leftOut) {
            named = named || (entry.name == row.name && entry.why == row.why);
        }
        EXPECT_TRUE(named) << row.name;
    }
    EXPECT_EQ(5u, report.leftOut.size());
}

// A file of no entries would replace a good backup with nothing: as with
// an empty store, the file keeps its bytes.
TEST_F(ExportTest, ExportOfOnlyLeftOutEntriesKeepsTheFile) {
    CreateEntryWith("trail.exe ", {1});
    WriteFileBytes(target, "a good backup");
    EXPECT_EQ(ERROR_SUCCESS, ExportRegistryFile(nullptr, target.c_str()));
    EXPECT_EQ("a good backup", ReadFileBytes(target));
    EXPECT_EQ((std::vector<std::string>{"settings.reg"}), folder.Names()) << "no file beside it";
    ASSERT_EQ(1u, boxes.shown().size());
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), boxes.shown()[0].style);
    EXPECT_EQ(0u, boxes.shown()[0].text.find("Nothing was exported, and the file was left as it "
                                             "was."));
}

TEST_F(ExportTest, SettingsThatCannotBeReadAreNotCalledAbsent) {
    CreateEntryWith("A", {1});
    WriteFileBytes(target, "old bytes");
    // Everything but listing the entries.
    ASSERT_TRUE(SetEntryAccess("", "D:P(A;;0x000F0037;;;WD)"));
    const LONG status = ExportRegistryFile(nullptr, target.c_str());
    ASSERT_TRUE(SetEntryAccess("", "D:(A;;KA;;;WD)"));
    if (status == ERROR_SUCCESS) GTEST_SKIP() << "the registry does not refuse the listing here";
    ASSERT_EQ(1u, boxes.shown().size());
    EXPECT_EQ("Could not read the hook settings.", boxes.shown()[0].text);
    EXPECT_EQ("old bytes", ReadFileBytes(target));
}

class ExportFailureTest : public ExportTest {
protected:
    void ExpectFailureReported() {
        ASSERT_EQ(1u, boxes.shown().size());
        EXPECT_EQ("Could not write the export file.", boxes.shown()[0].text);
        EXPECT_EQ("KMX Hooks Manager", boxes.shown()[0].caption);
        EXPECT_EQ(static_cast<UINT>(MB_ICONERROR | MB_OK), boxes.shown()[0].style);
    }
    void SetUp() override { CreateEntryWith("A", {1, 1, 1, 1, 1, 1, 1}); }
};

TEST_F(ExportFailureTest, FolderThatDoesNotExist) {
    const std::string missing = folder.File("no such folder\\out.reg");
    EXPECT_NE(ERROR_SUCCESS, ExportRegistryFile(nullptr, missing.c_str()));
    ExpectFailureReported();
    EXPECT_TRUE(folder.Names().empty());
}

TEST_F(ExportFailureTest, ReadOnlyFileKeepsItsBytes) {
    WriteFileBytes(target, "precious");
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));
    // Windows refuses to replace it; Wine would, but the program checks.
    EXPECT_NE(ERROR_SUCCESS, ExportRegistryFile(nullptr, target.c_str()));
    ExpectFailureReported();
    EXPECT_EQ("precious", ReadFileBytes(target));
    EXPECT_EQ((std::vector<std::string>{"settings.reg"}), folder.Names())
        << "no temporary file left";
}

TEST_F(ExportFailureTest, FolderTooLongForTheTemporaryNameFailsCleanly) {
    // The chosen path fits, but the temporary name beside it would not.
    const std::string deep =
        folder.path() + "\\" + std::string(250 - folder.path().size() - 1, 'd');
    ASSERT_EQ(250u, deep.size());
    if (!CreateDirectoryA(deep.c_str(), nullptr)) GTEST_SKIP() << "Windows refuses such a folder";
    const std::string inDeep = deep + "\\a.reg";
    WriteFileBytes(inDeep, "kept");
    EXPECT_NE(ERROR_SUCCESS, ExportRegistryFile(nullptr, inDeep.c_str()));
    ExpectFailureReported();
    EXPECT_EQ("kept", ReadFileBytes(inDeep));
    WIN32_FIND_DATAA found;
    int files = 0;
    HANDLE search = FindFirstFileA((deep + "\\*").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, search);
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++files;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    EXPECT_EQ(1, files) << "no stray temporary file";
    DeleteFileA(inDeep.c_str());
    RemoveDirectoryA(deep.c_str());
}

TEST_F(ExportTest, ReplacedFileKeepsItsAttributesAndIsMarkedForBackup) {
    WriteFileBytes(target, "old");
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_HIDDEN));
    CreateEntryWith("A", {1});
    EXPECT_EQ(Golden({{"A", {{"use_GetUpdateRect", 1}}}}), Export());
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE),
              GetFileAttributesA(target.c_str()))
        << "a hidden file stays hidden; its new content awaits the next backup";
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ((std::vector<std::string>{"settings.reg"}), folder.Names());
}

// The export writes the file the user chose, or the file a link there points
// to, and no other. The chosen path is the folder's 8.3 short name, the way
// the "A" calls reach a folder whose long path is too long for them or
// outside the code page; Wine shows no symbolic link as a reparse point, so
// the look at the chosen file reports one where the row says it is a link.
struct TargetCase {
    const wchar_t* folder;  // made beside a look-alike "L\xF3dz"; nullptr: a 230-character name
    bool link;
    const char* refusal;  // the message's second part; nullptr: the export is written
};

DWORD WINAPI LinkAttributes(LPCSTR path) {
    const DWORD real = GetFileAttributesA(path);
    return real == INVALID_FILE_ATTRIBUTES ? real : real | FILE_ATTRIBUTE_REPARSE_POINT;
}

class TargetTest : public ExportTest, public ::testing::WithParamInterface<TargetCase> {
protected:
    void TearDown() override {
        g_targetAttributes = GetFileAttributesA;
        // Longer than the "A" calls of the folder's own clean-up reach.
        for (const std::wstring& made : folders) {
            DeleteFileW((made + L"\\settings.reg").c_str());
            RemoveDirectoryW(made.c_str());
        }
    }
    // A folder in the temporary one, made by its wide name; its 8.3 short
    // name, which is ASCII, for the "A" calls.
    std::string ShortFolder(const std::wstring& name) {
        const std::wstring made =
            L"\\\\?\\" + std::wstring(folder.path().begin(), folder.path().end()) + L"\\" + name;
        EXPECT_TRUE(CreateDirectoryW(made.c_str(), nullptr));
        folders.push_back(made);
        WCHAR shortName[MAX_PATH];
        const DWORD length = GetShortPathNameW(made.c_str(), shortName, MAX_PATH);
        EXPECT_TRUE(length > 4 && length < MAX_PATH);
        return std::string(shortName + 4, shortName + length);  // without "\\?\"
    }
    std::vector<std::wstring> folders;
};

TEST_P(TargetTest, ChosenFileOrItsLinkTargetGetsTheExportAndNoOther) {
    const TargetCase& c = GetParam();
    CreateEntryWith("A", {1});
    const std::string chosen =
        ShortFolder(c.folder ? c.folder : std::wstring(230, L'l')) + "\\settings.reg";
    const std::string lookAlike = ShortFolder(L"L\xF3dz") + "\\settings.reg";
    WriteFileBytes(chosen, "old");
    WriteFileBytes(lookAlike, "the look-alike's");
    if (c.link) g_targetAttributes = LinkAttributes;

    const LONG status = ExportRegistryFile(nullptr, chosen.c_str());
    EXPECT_EQ(c.refusal == nullptr, status == ERROR_SUCCESS) << status;
    EXPECT_EQ(c.refusal ? "old" : Golden({{"A", {{"use_GetUpdateRect", 1}}}}),
              ReadFileBytes(chosen));
    EXPECT_EQ("the look-alike's", ReadFileBytes(lookAlike));
    EXPECT_EQ(
        c.refusal
            ? std::vector<std::string>{std::string("Could not write the export file.\r\n\r\n") +
                                       c.refusal}
            : std::vector<std::string>{},
        boxes.Texts());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TargetTest,
    ::testing::Values(
        // A folder whose name best fit turns into the look-alike's.
        TargetCase{L"\x0141\xF3d\x017A", false, nullptr},
        // A long path that the final-path call would have cut.
        TargetCase{nullptr, false, nullptr}, TargetCase{L"plain", true, nullptr},
        TargetCase{L"\x0141\xF3d\x017A", true,
                   "The chosen file is a link to a file whose path cannot be written in this "
                   "system's code page."},
        TargetCase{nullptr, true,
                   "The chosen file is a link to a file whose path is too long for this "
                   "program."}));

// A file that exists but cannot be looked at is no new file to move over.
DWORD WINAPI DeniedAttributes(LPCSTR) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_FILE_ATTRIBUTES;
}

TEST_F(ExportFailureTest, FileThatCannotBeLookedAtIsNotWrittenOver) {
    WriteFileBytes(target, "guarded");
    g_targetAttributes = DeniedAttributes;
    EXPECT_EQ(ERROR_ACCESS_DENIED, ExportRegistryFile(nullptr, target.c_str()));
    g_targetAttributes = GetFileAttributesA;
    ExpectFailureReported();
    EXPECT_EQ("guarded", ReadFileBytes(target));
    EXPECT_EQ((std::vector<std::string>{"settings.reg"}), folder.Names());
}

TEST_F(ExportFailureTest, CursorComesBackAfterSuccessAndFailure) {
    const HCURSOR before = SetCursor(LoadCursorA(nullptr, IDC_CROSS));
    EXPECT_EQ(ERROR_SUCCESS, ExportRegistryFile(nullptr, target.c_str()));
    EXPECT_EQ(LoadCursorA(nullptr, IDC_CROSS), GetCursor());
    EXPECT_NE(ERROR_SUCCESS, ExportRegistryFile(nullptr, folder.File("missing\\out.reg").c_str()));
    EXPECT_EQ(LoadCursorA(nullptr, IDC_CROSS), GetCursor());
    SetCursor(before);
}

TEST_F(ExportFailureTest, FileHeldOpenWithoutSharingKeepsItsBytes) {
    WriteFileBytes(target, "in use");
    UniqueFile held(
        CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.valid());
    EXPECT_NE(ERROR_SUCCESS, ExportRegistryFile(nullptr, target.c_str()));
    ExpectFailureReported();
    held.reset();
    EXPECT_EQ("in use", ReadFileBytes(target));
    EXPECT_EQ((std::vector<std::string>{"settings.reg"}), folder.Names())
        << "no temporary file left";
}

}  // namespace

namespace {

// Wine's own regedit reads the file back into a clean registry. It writes
// the real HKEY_CURRENT_USER of the test prefix, so this runs only on Wine,
// where that prefix is the suite's own.
TEST_F(ExportTest, PlatformRegeditImportsTheSameValues) {
    if (!RunningOnWine()) GTEST_SKIP() << "writes HKEY_CURRENT_USER outside the sandbox";
    CreateEntryWith("notepad.exe", {1, 0, 1, 1, 0, 1, 1});
    CreateEntryWith("Big Values", {0x2A, 0xFFFFFFFF, 2});
    CreateEntry("Empty One");
    SetEntryValue("Big Values", "use_Deferral", RegValue{REG_SZ, {'x', 0}});  // left out
    ASSERT_EQ(ERROR_SUCCESS, ExportRegistryFile(nullptr, target.c_str()));
    std::map<std::string, RegValue> exported = AllValues();
    exported.erase("Software\\QBL\\KMXHooks\\Application_Prefs\\Big Values\\use_Deferral");

    registry.Suspend();
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QBL");
    RunProgram("regedit.exe /s \"" + target + "\"");
    std::map<std::string, RegValue> imported;
    for (const auto& [path, value] : AllValues()) {
        if (path.compare(0, 13, "Software\\QBL\\") == 0) imported[path] = value;
    }
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QBL");
    registry.Resume();
    exported.erase("Software\\");
    EXPECT_EQ(exported, imported);
    EXPECT_EQ(0x2Au,
              imported["Software\\QBL\\KMXHooks\\Application_Prefs\\Big Values\\use_GetUpdateRect"]
                  .data[0]);
}

}  // namespace

namespace {

// Windows' ReplaceFile can fail half-way: the stand-ins below leave the
// files exactly as its documentation says for each failure, and the export
// must still leave the new file or the old one at the path, never neither.
struct ReplaceCall {
    std::string replaced, replacement, backup;
    DWORD flags;
};
std::vector<ReplaceCall> g_replaceCalls;

void Record(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD flags) {
    g_replaceCalls.push_back({replaced, replacement, backup ? backup : "", flags});
}

// ERROR_UNABLE_TO_MOVE_REPLACEMENT_2: the old file has moved to the backup
// name, the new one is still under its own.
BOOL WINAPI MovesTheOldFileAsideAndFails(LPCSTR replaced, LPCSTR replacement, LPCSTR backup,
                                         DWORD flags, LPVOID, LPVOID) {
    Record(replaced, replacement, backup, flags);
    if (backup) MoveFileA(replaced, backup);
    SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2);
    return FALSE;
}

// ERROR_UNABLE_TO_MOVE_REPLACEMENT with a backup name: both keep their names.
BOOL WINAPI LeavesBothAndFails(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD flags,
                               LPVOID, LPVOID) {
    Record(replaced, replacement, backup, flags);
    SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT);
    return FALSE;
}

// A scanner holds the fresh file for a moment.
BOOL WINAPI BusyTwiceThenReplaces(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD flags,
                                  LPVOID exclude, LPVOID reserved) {
    Record(replaced, replacement, backup, flags);
    if (g_replaceCalls.size() <= 2) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    return ReplaceFileA(replaced, replacement, backup, flags, exclude, reserved);
}

class HalfDoneReplaceTest : public ExportTest,
                            public ::testing::WithParamInterface<ReplaceFileProc> {
protected:
    void SetUp() override {
        g_replaceCalls.clear();
        g_replaceFile = GetParam();
        CreateEntryWith("A", {1});
        WriteFileBytes(target, "the user's old file");
    }
    void TearDown() override { g_replaceFile = ReplaceFileA; }
};

TEST_P(HalfDoneReplaceTest, PathHoldsTheNewFileOrTheOldOneAndNothingIsLeftBeside) {
    const LONG status = ExportRegistryFile(nullptr, target.c_str());
    const std::string bytes = ReadFileBytes(target);
    if (GetParam() == BusyTwiceThenReplaces) {
        EXPECT_EQ(ERROR_SUCCESS, status);
        EXPECT_EQ(Golden({{"A", {{"use_GetUpdateRect", 1}}}}), bytes);
        EXPECT_TRUE(boxes.shown().empty());
        EXPECT_EQ(3u, g_replaceCalls.size()) << "tried again while the file was busy";
    } else {
        EXPECT_NE(ERROR_SUCCESS, status);
        EXPECT_EQ("the user's old file", bytes);
        ASSERT_EQ(1u, boxes.shown().size());
        EXPECT_EQ("Could not write the export file.", boxes.shown()[0].text);
        // 1176 with a backup name leaves both files in place, as a hold does,
        // and is waited out; 1177 moved the old file and is not.
        const size_t calls = GetParam() == LeavesBothAndFails ? std::size(kHeldPausesMs) + 1 : 1;
        EXPECT_EQ(calls, g_replaceCalls.size());
    }
    EXPECT_EQ((std::vector<std::string>{"settings.reg"}), folder.Names())
        << "no temporary or backup file left";
    ASSERT_FALSE(g_replaceCalls.empty());
    const ReplaceCall& call = g_replaceCalls[0];
    EXPECT_EQ(target, call.replaced);
    EXPECT_EQ(folder.path() + "\\", call.backup.substr(0, folder.path().size() + 1))
        << "a backup name beside the file: without one a failure can leave the path empty";
    EXPECT_NE(call.backup, call.replacement);
    EXPECT_EQ(static_cast<DWORD>(REPLACEFILE_IGNORE_MERGE_ERRORS), call.flags);
}

INSTANTIATE_TEST_SUITE_P(AsWindowsDocumentsThem, HalfDoneReplaceTest,
                         ::testing::Values(MovesTheOldFileAsideAndFails, LeavesBothAndFails,
                                           BusyTwiceThenReplaces));

}  // namespace
