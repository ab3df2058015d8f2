// Import of registry files through the platform's profile-file reader: what
// reaches the registry and the list, and what the user is told.
#include <windows.h>
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>

#include "dialog/exchange_commands.h"
#include "exchange/export_file.h"
#include "exchange/import_file.h"
#include "res/resource.h"
#include "store/handles.h"
#include "store/hook_settings.h"
#include "store/registry_store.h"
#include "support/dialog_harness.h"
#include "support/file_dialogs.h"
#include "support/held_file.h"
#include "support/programs.h"
#include "support/temp_folder.h"

namespace {

using Values = std::map<std::string, RegValue>;
const std::string kPrefix = "HKEY_CURRENT_USER\\Software\\QBL\\KMXHooks\\Application_Prefs\\";
const std::string kQuestion = "Do you want to replace existing hook settings?";
const std::string kNothingToImport = "The file contains no hook settings.";

std::string Section(const std::string& name, const std::string& body = "") {
    return "\r\n[" + kPrefix + name + "]\r\n" + body;
}

class ImportTest : public DialogTest {
protected:
    void SetUp() override { Open(); }
    // Writes `text` to a file and imports it, answering the question.
    void Import(const std::string& text, int answer = IDYES) {
        WriteFileBytes(file, text);
        boxes.Answer(answer);
        ImportRegistryFile(dialog, list, file.c_str());
    }
    TempFolder folder;
    std::string file = folder.File("in.reg");
};

struct ValueCase {
    std::string line;
    std::optional<DWORD> stored;
};

class ValueTextTest : public ImportTest, public ::testing::WithParamInterface<ValueCase> {};

// The entry holds use_Timer = 7 before: a text the import does not take
// leaves it so, and is never stored as another number.
TEST_P(ValueTextTest, StoresWhatTheTextSaysAndNothingElse) {
    CreateEntryWith("App", {1, 7});
    Import("REGEDIT4\r\n" + Section("App", GetParam().line + "\r\n"));
    EXPECT_EQ((Values{{"use_GetUpdateRect", Dword(1)},
                      {"use_Timer", Dword(GetParam().stored.value_or(7))}}),
              EntryValues("App"));
    EXPECT_EQ(GetParam().stored ? std::vector<std::string>{"App"} : std::vector<std::string>{},
              Items())
        << "listed only when something was stored";
    EXPECT_EQ((std::vector<std::string>{kQuestion}), Texts());
}

INSTANTIATE_TEST_SUITE_P(
    Table, ValueTextTest,
    ::testing::Values(
        ValueCase{"\"use_Timer\"=dword:00000001", 1}, ValueCase{"\"use_Timer\"=dword:1", 1},
        ValueCase{"\"use_Timer\"=dword:0000002A", 42},
        ValueCase{"\"use_Timer\"=dword:0000002a", 42},
        ValueCase{"\"use_Timer\"=dword:FFFFFFFF", 0xFFFFFFFF},
        // Line forms: blanks around "=" and the value, the key in other
        // letter case, the first of two lines with the key.
        ValueCase{"\"use_Timer\" = dword:00000003  ", 3},
        ValueCase{" \t\"use_Timer\"\t=\tdword:00000003", 3},
        ValueCase{"\"USE_TIMER\"=dword:00000004", 4},
        ValueCase{"\"use_Timer\"=dword:00000005\r\n\"use_Timer\"=dword:00000006", 5},
        ValueCase{"\"use_Timer\"\r\n\"use_Timer\"=dword:00000001", 1},  // no "=": no key
        // Texts the file does not hold as a dword: none is stored as 0 or
        // as its last eight digits.
        ValueCase{"\"use_Timer\"=dword:100000001", std::nullopt},
        ValueCase{"\"use_Timer\"=dword: 1", std::nullopt},
        ValueCase{"\"use_Timer\"=dword:", std::nullopt},
        ValueCase{"\"use_Timer\"=dword:12x4", std::nullopt},
        ValueCase{"\"use_Timer\"=DWORD:00000001", std::nullopt},
        ValueCase{"\"use_Timer\"=hex:01,00,00,00", std::nullopt},
        ValueCase{"\"use_Timer\"=hex(4):01,00,00,00", std::nullopt},
        ValueCase{"\"use_Timer\"=dword", std::nullopt}, ValueCase{"\"use_Timer\"=-", std::nullopt},
        ValueCase{"\"use_Timer\"=\"1\"", std::nullopt}, ValueCase{"\"use_Timer\"=", std::nullopt},
        // A string value, though its text reads like a dword.
        ValueCase{"\"use_Timer\"=\"dword:00000001\"", std::nullopt},
        ValueCase{"use_Timer=dword:00000001", std::nullopt},  // the quotes are part of the key
        ValueCase{";\"use_Timer\"=dword:00000001", std::nullopt},
        // Cut to 19 characters before it is read: what remains is no dword.
        ValueCase{"\"use_Timer\"=dword:00000001          x", std::nullopt},
        ValueCase{"\"use_Timer\"=dword:000000000001F", std::nullopt}));

TEST_F(ImportTest, YesReplacesExistingEntriesNoKeepsThem) {
    CreateEntryWith("Old", {0, 0, 0});
    SetEntryDword("Old", "custom", 5);
    Close();
    Open();
    const std::string text = "REGEDIT4\r\n" +
                             Section("Old",
                                     "\"use_Timer\"=dword:00000001\r\n"
                                     "\"use_Deferral\"=dword:00000001\r\n") +
                             Section("New", "\"use_KeyPress\"=dword:00000000\r\n");
    Import(text, IDNO);
    EXPECT_EQ((Values{{"use_GetUpdateRect", Dword(0)},
                      {"use_Timer", Dword(0)},
                      {"use_KeyPress", Dword(0)},
                      {"custom", Dword(5)}}),
              EntryValues("Old"))
        << "with No an existing entry is left entirely alone";
    EXPECT_EQ((Values{{"use_KeyPress", Dword(0)}}), EntryValues("New"));
    EXPECT_EQ((std::vector<std::string>{"Old", "New"}), Items());

    Import(text, IDYES);
    EXPECT_EQ((Values{{"use_GetUpdateRect", Dword(0)},
                      {"use_Timer", Dword(1)},
                      {"use_KeyPress", Dword(0)},
                      {"custom", Dword(5)},
                      {"use_Deferral", Dword(1)}}),
              EntryValues("Old"));
    EXPECT_EQ((std::vector<std::string>{"Old", "New"}), Items()) << "no name added twice";
    for (int i = 0; i < 2; ++i) EXPECT_EQ(0, ItemData(i));
    ASSERT_EQ((std::vector<std::string>{kQuestion, kQuestion}), Texts());
    EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING | MB_YESNO), boxes.shown()[0].style);
    EXPECT_EQ(dialog, boxes.shown()[0].owner);
}

TEST_F(ImportTest, SectionsInOtherLetterCaseAndNamesListedInOtherCase) {
    CreateEntry("APP");
    Close();
    Open();
    Import(
        "[hkey_current_user\\software\\qbl\\kmxhooks\\application_prefs\\app]\r\n"
        "\"use_Timer\"=dword:00000001\r\n"
        "[Hkey_Current_User\\Software\\QBL\\KMXHooks\\Application_Prefs\\Fresh]\r\n"
        "\"USE_TIMER\"=dword:00000001\r\n");  // key names match without regard to case
    EXPECT_EQ((Values{{"use_Timer", Dword(1)}}), EntryValues("APP"));
    EXPECT_EQ((Values{{"use_Timer", Dword(1)}}), EntryValues("Fresh"));
    EXPECT_EQ((std::vector<std::string>{"APP", "Fresh"}), Items());
}

TEST_F(ImportTest, OtherKeysAndDeletionSectionsAreSkipped) {
    const Values before = AllValues();
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 0, 10);
    Import(
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n\"use_Timer\"=dword:00000001\r\n"
        "[HKEY_CURRENT_USER\\Software]\r\n\"use_Timer\"=dword:00000001\r\n"
        "[-" +
        kPrefix +
        "App]\r\n\"use_Timer\"=dword:00000001\r\n"
        "[HKEY_CURRENT_USER\\Software\\QBL\\KMXHooks\\Application_Prefs]\r\n\"use_Timer\"=dword:"
        "1\r\n");
    EXPECT_EQ(before, AllValues());
    EXPECT_TRUE(Items().empty());
    ASSERT_EQ((std::vector<std::string>{kQuestion, kNothingToImport}), Texts())
        << "asked though nothing matches, and told so after";
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR | MB_OK), boxes.shown()[1].style);
    EXPECT_EQ(ExpectedColumnWidth(), ColumnWidth());
}

TEST_F(ImportTest, HeaderLineIsNotNeeded) {
    Import(Section("NoHeader", "\"use_MButtonUp\"=dword:00000001\r\n"));
    EXPECT_EQ((Values{{"use_MButtonUp", Dword(1)}}), EntryValues("NoHeader"));
}

// A name with no key would show an entry the registry does not have.
TEST_F(ImportTest, SectionWithoutSettingsIsNotListed) {
    Import("REGEDIT4\r\n" + Section("Bare", "\"other\"=dword:00000001\r\n"));
    EXPECT_FALSE(EntryExists("Bare"));
    EXPECT_TRUE(Items().empty());
    EXPECT_EQ((std::vector<std::string>{kQuestion}), Texts())
        << "an entry's section, nothing failed";
}

TEST_F(ImportTest, SectionsNamingNoEntryAreSkipped) {
    const Values before = AllValues();
    Import("REGEDIT4\r\n" + Section("", "\"use_Timer\"=dword:00000001\r\n") +
           Section("App\\Sub", "\"use_Timer\"=dword:00000001\r\n"));
    EXPECT_EQ(before, AllValues());
    EXPECT_TRUE(Items().empty());
    EXPECT_EQ((std::vector<std::string>{kQuestion, kNothingToImport}), Texts());
}

// Names the registry cannot hold are entries that could not be imported,
// never skipped without a word.
TEST_F(ImportTest, NamesTooLongForTheRegistryAreReported) {
    const Values before = AllValues();
    Import("REGEDIT4\r\n" + Section(std::string(256, 'L'), "\"use_Timer\"=dword:00000001\r\n") +
           Section(std::string(600, 'M'), "\"use_Timer\"=dword:00000001\r\n"));
    EXPECT_EQ(before, AllValues());
    EXPECT_TRUE(Items().empty());
    EXPECT_EQ((std::vector<std::string>{kQuestion, "Some hook settings could not be imported."}),
              Texts());
}

// The selected entry's pending change is saved before the import, and the
// boxes show what the import left in the registry after it.
TEST_F(ImportTest, PanelSavedBeforeAndReloadedAfter) {
    CreateEntryWith("A", {1, 1, 1, 1, 1, 1, 1});
    Close();
    Open();
    Select(0);
    Click(IDC_TIMER);
    FileDialogs files;
    WriteFileBytes(file, Section("A", "\"use_KeyPress\"=dword:00000000\r\n"));
    files.Choose(file);
    boxes.Answer(IDYES);
    Command(IDM_IMPORT);
    EXPECT_EQ(Dword(0), EntryValues("A")["use_Timer"]) << "the pending change was saved";
    EXPECT_EQ(Dword(0), EntryValues("A")["use_KeyPress"]);
    EXPECT_EQ((std::vector<int>{1, 0, 0, 1, 1, 1, 1}), Panel());
    EXPECT_EQ(0, Selected());
}

TEST_F(ImportTest, FileWithoutSectionsIsReported) {
    const std::vector<std::string> files = {"", "REGEDIT4\r\n\"use_Timer\"=dword:1\r\n",
                                            std::string("\x00\x01\x02junk", 7)};
    for (const std::string& text : files) {
        WriteFileBytes(file, text);
        ImportRegistryFile(dialog, list, file.c_str());
    }
    ImportRegistryFile(dialog, list, folder.File("missing.reg").c_str());
    ASSERT_EQ(std::vector<std::string>(4, "The file contains no registry settings."), Texts());
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR | MB_OK), boxes.shown()[0].style);
    EXPECT_TRUE(Items().empty());
}

// Another program holding the file for a moment is waited out, as the
// export waits; one that holds it for good is no empty file.
TEST_F(ImportTest, FileHeldForAMomentIsReadHeldForGoodIsNotCalledEmpty) {
    WriteFileBytes(file, "REGEDIT4\r\n" + Section("App", "\"use_Timer\"=dword:00000001\r\n"));
    // 2.5 s: waited out only by the longer of the growing pauses.
    ASSERT_TRUE(HoldFile(file, 2500, 0));
    boxes.Answer(IDYES);
    ImportRegistryFile(dialog, list, file.c_str());
    ReleaseAllHolds();
    EXPECT_EQ((Values{{"use_Timer", Dword(1)}}), EntryValues("App"));
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QBL");
    boxes.Clear();
    UniqueFile held(CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.valid());
    ImportRegistryFile(dialog, list, file.c_str());
    ASSERT_EQ((std::vector<std::string>{"Could not read the import file."}), Texts())
        << "asked nothing";
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR | MB_OK), boxes.shown()[0].style);
    EXPECT_FALSE(EntryExists("App"));
}

// Refuses every write of use_Deferral: an entry stored in part, which Wine's
// registry never gives.
LONG WINAPI RefuseDeferral(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                           DWORD size) {
    if (lstrcmpA(name, "use_Deferral") == 0) return ERROR_ACCESS_DENIED;
    return RegSetValueExA(key, name, reserved, type, data, size);
}

TEST_F(ImportTest, FailedWritesAreReportedOnceAfterTheWholeFile) {
    g_setEntryValue = RefuseDeferral;
    Import("REGEDIT4\r\n" +
           Section("Part", "\"use_Timer\"=dword:00000001\r\n\"use_Deferral\"=dword:00000000\r\n") +
           Section("Fine", "\"use_Timer\"=dword:00000001\r\n"));
    g_setEntryValue = RegSetValueExA;
    ASSERT_EQ((std::vector<std::string>{kQuestion, "Some hook settings could not be imported."}),
              Texts());
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR | MB_OK), boxes.shown()[1].style);
    EXPECT_EQ((Values{{"use_Timer", Dword(1)}}), EntryValues("Fine")) << "the rest is imported";
    EXPECT_EQ((Values{{"use_Timer", Dword(1)}}), EntryValues("Part")) << "what went in stays";
    EXPECT_EQ((std::vector<std::string>{"Part", "Fine"}), Items());
}

// With No, only a plain "not found" lets a section in: an entry whose key
// cannot even be looked at is not imported over, and the user is told.
TEST_F(ImportTest, NoWithAnEntryThatCannotBeLookedAtIsReported) {
    CreateEntry("Locked");
    // Values may be set, but not queried: the existence test is refused.
    ASSERT_TRUE(SetEntryAccess("Locked", "D:P(A;;0x00070006;;;WD)"));
    if (TestEntryExists("Locked") != ERROR_ACCESS_DENIED) {
        GTEST_SKIP() << "the registry does not refuse the query here";
    }
    Import("REGEDIT4\r\n" + Section("Locked", "\"use_Timer\"=dword:00000001\r\n") +
               Section("Fresh", "\"use_Timer\"=dword:00000001\r\n"),
           IDNO);
    EXPECT_EQ((std::vector<std::string>{kQuestion, "Some hook settings could not be imported."}),
              Texts());
    EXPECT_EQ((Values{{"use_Timer", Dword(1)}}), EntryValues("Fresh"));
    // Reading needs the query right back; the sandbox removes it afterwards.
    ASSERT_TRUE(SetEntryAccess("Locked", "D:(A;;KA;;;WD)"));
    EXPECT_TRUE(EntryValues("Locked").empty()) << "not imported over";
}

TEST_F(ImportTest, ExportImportedWithYesChangesNothing) {
    CreateEntryWith("one", {1, 0, 1, 0, 1, 0, 1});
    CreateEntryWith("two [2].exe", {2, 0xFFFFFFFF, 0x2A});
    CreateEntry("three");
    SetEntryValue("three", "use_Timer", RegValue{REG_SZ, {'1', 0}});
    Close();
    Open();
    ASSERT_EQ(ERROR_SUCCESS, ExportRegistryFile(dialog, file.c_str()));
    const Values before = AllValues();
    const std::vector<std::string> items = Items();
    // Changed after the export: the import with Yes puts every value back.
    SetEntryDword("one", "use_GetUpdateRect", 0);
    SetEntryDword("two [2].exe", "use_Timer", 1);
    SetEntryDword("one", "use_Deferral", 5);
    boxes.Answer(IDYES);
    ImportRegistryFile(dialog, list, file.c_str());
    EXPECT_EQ(before, AllValues());
    EXPECT_EQ(items, Items());
}

// What the list sees while an import appends names: the wait cursor and no
// drawing per item. Both come back afterwards, also after failed writes.
struct ListSpy {
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_SETREDRAW) redraw = wParam != FALSE;
        if (message == LVM_INSERTITEMA && !seen) {
            seen = true;
            cursor = GetCursor();
            drawing = redraw;
        }
        return CallWindowProcA(original, window, message, wParam, lParam);
    }
    static inline WNDPROC original = nullptr;
    static inline bool redraw = true;  // as the last WM_SETREDRAW left it
    static inline bool seen = false;
    static inline HCURSOR cursor = nullptr;
    static inline bool drawing = true;
};

TEST_F(ImportTest, AppendsUnderTheWaitCursorWithoutDrawingThenRestoresBoth) {
    const HCURSOR before = SetCursor(LoadCursorA(nullptr, IDC_CROSS));
    ListSpy::original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListSpy::Proc)));
    Import("REGEDIT4\r\n" + Section("New", "\"use_Timer\"=dword:00000001\r\n") +
           Section(std::string(240, 'w'), "\"use_Timer\"=dword:00000001\r\n"));
    SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListSpy::original));
    ASSERT_TRUE(ListSpy::seen);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_WAIT), ListSpy::cursor);
    EXPECT_FALSE(ListSpy::drawing) << "each insert would repaint the list";
    EXPECT_EQ(LoadCursorA(nullptr, IDC_CROSS), GetCursor()) << "the cursor before comes back";
    EXPECT_TRUE(ListSpy::redraw) << "drawing is back on";
    SetCursor(before);
}

// The names already listed are found without regard to case, also those the
// import itself has just appended.
TEST_F(ImportTest, ListedNamesFoundInAnyCaseAsTheyAreAppended) {
    CreateEntry("Zed");
    Close();
    Open();
    const std::string timer = "\"use_Timer\"=dword:00000001\r\n";
    Import("REGEDIT4\r\n" + Section("App", timer) + Section("APP", timer) + Section("zED", timer) +
           Section("app", timer) + Section("Other", timer));
    EXPECT_EQ((std::vector<std::string>{"Zed", "App", "Other"}), Items());
}

// Names with their NULs adding up to `total`: a long non-matching section
// first, the entry's section last, where a cut list would lose it.
std::string FileWithSectionNamesOf(size_t total, const std::string& entry) {
    const std::string last = kPrefix + entry;
    const size_t padding = total - (last.size() + 1) - 1;
    return "[" + std::string(padding, 'p') + "]\r\n\"x\"=1\r\n[" + last +
           "]\r\n\"use_Timer\"=dword:00000001\r\n";
}

TEST_F(ImportTest, SectionListsAtTheFirstBufferEdge) {
    // Up to 32,766 the list fits; beyond it the reader cuts it, and only a
    // second read with the larger buffer finds the entry at its end.
    for (size_t total : {32765u, 32766u, 32767u, 32768u, 40000u}) {
        const std::string entry = "Edge" + std::to_string(total);
        Import(FileWithSectionNamesOf(total, entry));
        EXPECT_EQ((Values{{"use_Timer", Dword(1)}}), EntryValues(entry)) << total;
    }
    EXPECT_EQ(5u, Items().size());
}

TEST_F(ImportTest, SectionListsBeyondTheSecondBuffer) {
    // More than 1,081,344 characters of names: the buffer grows twice.
    std::string text;
    for (int i = 0; i < 40; ++i)
        text +=
            "[" + std::string(30000, static_cast<char>('a' + i % 26)) + std::to_string(i) + "]\r\n";
    for (int i = 0; i < 5; ++i)
        text += Section("Late" + std::to_string(i), "\"use_Deferral\"=dword:00000000\r\n");
    Import(text);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ((Values{{"use_Deferral", Dword(0)}}), EntryValues("Late" + std::to_string(i)));
    }
    EXPECT_EQ(5u, Items().size());
}

TEST_F(ImportTest, ThroughTheOpenDialog) {
    FileDialogs files;
    WriteFileBytes(file, Section("Chosen", "\"use_LButtonUp\"=dword:00000001\r\n"));
    files.Choose(file);
    boxes.Answer(IDYES);
    Command(IDM_IMPORT);
    EXPECT_EQ((Values{{"use_LButtonUp", Dword(1)}}), EntryValues("Chosen"));
    EXPECT_EQ((std::vector<std::string>{"Chosen"}), Items());
    files.Cancel();
    Command(IDM_IMPORT);
    EXPECT_EQ(1u, boxes.shown().size()) << "Cancel imports nothing";
}

// After every import of a mutated file, the registry holds nothing but the
// seven REG_DWORD settings of application entries.
TEST_F(ImportTest, MutatedFilesNeverWriteOutsideApplicationEntries) {
    const std::string base =
        "REGEDIT4\r\n" +
        Section("App", "\"use_GetUpdateRect\"=dword:00000001\r\n\"use_Timer\"=dword:00000000\r\n") +
        Section("Other App.exe",
                "\"use_Deferral\"=dword:0000002a\r\n\"use_KeyPress\"=dword:1\r\n") +
        "\r\n[HKEY_CURRENT_USER\\Software\\QBL]\r\n\"use_Timer\"=dword:00000001\r\n";
    std::mt19937 random(20261208);
    auto pick = [&random](size_t n) { return static_cast<size_t>(random() % (n ? n : 1)); };
    const std::string junk[] = {std::string(1, '\0'),
                                "\xff\xfe",
                                "]",
                                "[",
                                "\\",
                                "=",
                                "\r\n",
                                "[" + kPrefix + "]",
                                "[" + kPrefix + "a\\b]",
                                "\"use_Timer\"=dword:7\r\n",
                                "[" + kPrefix + std::string(300, 'q') + "]\r\n",
                                "\x80\x81\xe9"};
    for (int round = 0; round < 250; ++round) {
        std::string text = base;
        const int edits = 1 + static_cast<int>(pick(6));
        for (int e = 0; e < edits; ++e) {
            const size_t at = pick(text.size() + 1);
            switch (pick(5)) {
            case 0:
                text.erase(at, pick(40));
                break;  // cut
            case 1:
                text.insert(at, junk[pick(std::size(junk))]);
                break;  // junk
            case 2:
                text += text.substr(at, pick(200));
                break;  // repeats
            case 3:
                text[at % text.size()] = static_cast<char>(random());
                break;
            default:
                text.insert(at, "\r\n[" + kPrefix + std::to_string(round) +
                                    "]\r\n\"use_Timer\"=dword:1\r\n");
            }
        }
        if (round % 10 == 9) {  // the same as UTF-16 with a byte-order mark
            std::string wide = "\xff\xfe";
            for (char c : text) {
                wide += c;
                wide += '\0';
            }
            text = wide;
        }
        WriteFileBytes(file, text);
        boxes.Answer(round % 2 ? IDYES : IDNO);
        ImportRegistryFile(dialog, list, file.c_str());
        ASSERT_TRUE(IsWindow(dialog));
        for (const auto& [path, value] : AllValues()) {
            if (path.back() == '\\') {
                // Keys: the path down to the settings key, and entries in it.
                const std::string key = path.substr(0, path.size() - 1);
                const std::string settings = "Software\\QBL\\KMXHooks\\Application_Prefs";
                const bool onTheWay =
                    std::string(settings + "\\").compare(0, key.size() + 1, key + "\\") == 0;
                const bool entry = key.compare(0, settings.size() + 1, settings + "\\") == 0 &&
                                   key.find('\\', settings.size() + 1) == std::string::npos;
                ASSERT_TRUE(onTheWay || entry) << "round " << round << ": key " << key;
                continue;
            }
            const size_t slash = path.rfind('\\');
            const std::string valueName = path.substr(slash + 1);
            bool known = false;
            for (const HookSetting& s : kHookSettings) known = known || valueName == s.valueName;
            ASSERT_TRUE(known) << "round " << round << ": value " << path;
            ASSERT_EQ(static_cast<DWORD>(REG_DWORD), value.type) << path;
            ASSERT_EQ(4u, value.data.size()) << path;
            const std::string key = path.substr(0, slash);
            ASSERT_EQ(0u, key.find("Software\\QBL\\KMXHooks\\Application_Prefs\\")) << path;
            ASSERT_EQ(std::string::npos, key.find('\\', 40)) << path;
        }
    }
}

// Files written by the platform's registry tools (UTF-16, "Windows Registry
// Editor Version 5.00", the settings key as its own section) import to the
// same values. The tools read the real HKEY_CURRENT_USER of the test prefix,
// so this runs only on Wine.
TEST_F(ImportTest, FilesOfThePlatformsRegistryTools) {
    if (!RunningOnWine()) GTEST_SKIP() << "writes HKEY_CURRENT_USER outside the sandbox";
    const std::string regExport = folder.File("reg-export.reg");
    const std::string regeditExport = folder.File("regedit-e.reg");
    registry.Suspend();
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QBL");
    CreateEntryWith("notepad.exe", {1, 0, 1, 1, 0, 1, 1});
    CreateEntryWith("With Space", {0x2A, 1});
    const Values expected = EntryValues("notepad.exe");
    const Values expected2 = EntryValues("With Space");
    RunProgram("reg.exe export HKCU\\Software\\QBL\\KMXHooks\\Application_Prefs \"" + regExport +
               "\" /y");
    RunProgram("regedit.exe /e \"" + regeditExport +
               "\" HKEY_CURRENT_USER\\Software\\QBL\\KMXHooks\\Application_Prefs");
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QBL");
    registry.Resume();
    ASSERT_EQ(0u, ReadFileBytes(regExport).find("\xff\xfe")) << "UTF-16 with a byte-order mark";

    for (const std::string& exported : {regExport, regeditExport}) {
        boxes.Answer(IDYES);
        ImportRegistryFile(dialog, list, exported.c_str());
        EXPECT_EQ(expected, EntryValues("notepad.exe")) << exported;
        EXPECT_EQ(expected2, EntryValues("With Space")) << exported;
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QBL");
    }
    EXPECT_EQ((std::vector<std::string>{kQuestion, kQuestion}), Texts());
    EXPECT_EQ((std::vector<std::string>{"notepad.exe", "With Space"}), Items());
}

}  // namespace
