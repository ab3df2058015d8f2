// The settings panel: what the check boxes show for an entry and what
// reaches the registry when the selection moves or the dialog closes.
#include <gtest/gtest.h>

#include "res/resource.h"
#include "store/hook_settings.h"
#include "support/dialog_harness.h"
#include "support/file_dialogs.h"
#include "support/temp_folder.h"

namespace {

using Values = std::map<std::string, RegValue>;
const std::vector<int> kNoEntry(7, kDisabled);
const std::vector<int> kDefaults = {1, 0, 1, 1, 1, 1, 1};

// Everything under HKEY_CURRENT_USER that differs between two snapshots.
Values Changed(const Values& before, const Values& after) {
    Values changed;
    for (const auto& [path, value] : after) {
        auto old = before.find(path);
        if (old == before.end() || !(old->second == value)) changed[path] = value;
    }
    for (const auto& [path, value] : before) {
        if (!after.count(path)) changed[path + " (removed)"] = value;
    }
    return changed;
}

const std::string kPrefs = "Software\\QBL\\KMXHooks\\Application_Prefs\\";

class PanelTest : public DialogTest {};

TEST_F(PanelTest, TypicalEditWritesExactlyTheChangedValue) {
    CreateEntryWith("A", {1, 1, 0, 1, 0, 1, 1});
    CreateEntryWith("B", {0, 0, 0, 0, 0, 0, 0});
    Open();
    EXPECT_EQ(kNoEntry, Panel());

    Select(0);
    EXPECT_EQ((std::vector<int>{1, 1, 0, 1, 0, 1, 1}), Panel());
    const Values before = AllValues();
    Click(IDC_TIMER);
    EXPECT_EQ((std::vector<int>{1, 0, 0, 1, 0, 1, 1}), Panel());
    EXPECT_EQ(before, AllValues()) << "nothing is written while the entry stays selected";

    Select(1);
    EXPECT_EQ((Values{{kPrefs + "A\\use_Timer", Dword(0)}}), Changed(before, AllValues()));
    EXPECT_EQ((std::vector<int>{0, 0, 0, 0, 0, 0, 0}), Panel());
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(PanelTest, UnusableValuesShowDisabledAndAreNeverWritten) {
    CreateEntry("Odd");
    SetEntryDword("Odd", "use_GetUpdateRect", 2);
    SetEntryDword("Odd", "use_Timer", 0xFFFFFFFF);
    SetEntryValue("Odd", "use_KeyPress", RegValue{REG_SZ, {'1', 0}});
    SetEntryValue("Odd", "use_LButtonUp", RegValue{REG_BINARY, {1, 0, 0, 0}});
    // Two bytes: read zero-extended, as the hooks read them.
    SetEntryValue("Odd", "use_MButtonUp", RegValue{REG_DWORD, {1, 0}});
    SetEntryValue("Odd", "use_RButtonUp", RegValue{REG_DWORD, {0, 1}});  // 256
    SetEntryDword("Odd", "use_Deferral", 1);
    CreateEntry("Other");
    Open();

    Select(0);
    EXPECT_EQ((std::vector<int>{kDisabled, kDisabled, kDisabled, kDisabled, 1, kDisabled, 1}),
              Panel());
    const Values before = AllValues();
    Click(IDC_DEFERRAL);
    Click(IDC_DEFERRAL);  // back to what was loaded
    Click(IDC_MBUTTONUP);
    Click(IDC_MBUTTONUP);
    Select(1);
    EXPECT_EQ(Values{}, Changed(before, AllValues()));
    EXPECT_EQ(kNoEntry, Panel()) << "an entry without values";
    Select(0);
    EXPECT_EQ(Values{}, Changed(before, AllValues()));
}

TEST_F(PanelTest, ResetPutsDefaultsWhichTheNextSaveWrites) {
    CreateEntry("Empty");
    CreateEntryWith("Two", {2, 1, 0, 1, 1, 1, 1});
    Open();

    Select(0);
    Command(IDM_RESET);
    EXPECT_EQ(kDefaults, Panel());
    EXPECT_TRUE(EntryValues("Empty").empty()) << "a reset writes nothing";
    Select(1);
    EXPECT_EQ(SevenDwords({1, 0, 1, 1, 1, 1, 1}), EntryValues("Empty"));

    EXPECT_EQ((std::vector<int>{kDisabled, 1, 0, 1, 1, 1, 1}), Panel());
    Command(IDM_RESET);
    Close();  // saved as the dialog is destroyed
    EXPECT_EQ(SevenDwords({1, 0, 1, 1, 1, 1, 1}), EntryValues("Two"));
}

TEST_F(PanelTest, ResetWithNothingSelectedDoesNothing) {
    CreateEntryWith("A", {1, 1, 1, 1, 1, 1, 1});
    Open();
    Command(IDM_RESET);
    EXPECT_EQ(kNoEntry, Panel());
    Close();
    EXPECT_EQ(Dword(1), EntryValues("A")["use_Timer"]);
}

TEST_F(PanelTest, FocusChangeOfSelectedItemKeepsUnsavedChanges) {
    CreateEntryWith("A", {1, 1, 1, 1, 1, 1, 1});
    CreateEntryWith("B", {1, 1, 1, 1, 1, 1, 1});
    Open();
    Select(0);
    Click(IDC_KEYPRESS);
    // Only the focus moves away; the item stays selected.
    LVITEMA state = {};
    state.stateMask = LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
    ASSERT_EQ(0, Selected());
    EXPECT_EQ((std::vector<int>{1, 1, 0, 1, 1, 1, 1}), Panel());
    Select(1);
    EXPECT_EQ(Dword(0), EntryValues("A")["use_KeyPress"]);
}

TEST_F(PanelTest, NoSelectionShowsNoEntryEvenIfOneIsNamedLikeIt) {
    // ">?" cannot be typed, but an import or another program can create it.
    CreateEntryWith(">?", {1, 1, 1, 1, 1, 1, 1});
    Open();
    EXPECT_EQ(kNoEntry, Panel());
    EXPECT_EQ(-1, Selected());
}

TEST_F(PanelTest, SelectedEntrySavedWhenDialogCloses) {
    CreateEntryWith("A", {0, 0, 0, 0, 0, 0, 0});
    Open();
    Select(0);
    Click(IDC_GETUPDATERECT);
    Click(IDC_RBUTTONUP);
    Close();
    EXPECT_EQ(Dword(1), EntryValues("A")["use_GetUpdateRect"]);
    EXPECT_EQ(Dword(1), EntryValues("A")["use_RButtonUp"]);
    EXPECT_EQ(Dword(0), EntryValues("A")["use_Timer"]);
}

TEST_F(PanelTest, ValueChangedByAnotherProgramSurvivesUnlessUserChangedIt) {
    CreateEntryWith("A", {0, 0, 0, 0, 0, 0, 0});
    CreateEntry("B");
    Open();
    Select(0);
    // Meanwhile, elsewhere: values the user's boxes could not hold.
    SetEntryDword("A", "use_KeyPress", 7);
    SetEntryDword("A", "use_Timer", 7);
    Click(IDC_TIMER);  // the user's own change, written over the other program's
    Select(1);
    EXPECT_EQ(Dword(7), EntryValues("A")["use_KeyPress"]) << "not the user's: left alone";
    EXPECT_EQ(Dword(1), EntryValues("A")["use_Timer"]) << "the user's: written";
}

// A click on the list's empty area takes the selection away.
TEST_F(PanelTest, DeselectingSavesAndThenShowsNoEntry) {
    CreateEntryWith("A", {1, 1, 1, 1, 1, 1, 1});
    Open();
    Select(0);
    Click(IDC_MBUTTONUP);
    Deselect(0);
    EXPECT_EQ(Dword(0), EntryValues("A")["use_MButtonUp"]);
    EXPECT_EQ(kNoEntry, Panel()) << "no box may take an edit that nothing would save";
    SetEntryDword("A", "use_MButtonUp", 1);
    Close();
    EXPECT_EQ(Dword(1), EntryValues("A")["use_MButtonUp"]) << "nothing written with no selection";
}

// Export writes what the boxes show: the selected entry's pending change is
// saved first, and taken as loaded, so the next save does not write it again.
TEST_F(PanelTest, ExportSavesThePendingChangeOnce) {
    CreateEntryWith("A", {1, 1, 1, 1, 1, 1, 1});
    CreateEntry("B");
    Open();
    Select(0);
    Click(IDC_TIMER);
    TempFolder folder;
    FileDialogs files;
    const std::string out = folder.File("out.reg");
    files.Choose(out);
    Command(IDM_EXPORT);
    EXPECT_NE(std::string::npos, ReadFileBytes(out).find("\"use_Timer\"=dword:00000000\r\n"));
    SetEntryDword("A", "use_Timer", 1);  // another program, after the export
    Select(1);
    EXPECT_EQ(Dword(1), EntryValues("A")["use_Timer"]) << "written once, not again";
}

}  // namespace
