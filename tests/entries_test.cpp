// Adding entries through the list's in-place editor and deleting them from
// the menu or with the Del key.
#include <gtest/gtest.h>

#include <string>

#include "dialog/app_list.h"
#include "res/resource.h"
#include "store/handles.h"
#include "support/dialog_harness.h"

namespace {

using Values = std::map<std::string, RegValue>;
const std::vector<int> kNoEntry(7, kDisabled);
const std::vector<int> kDefaults = {1, 0, 1, 1, 1, 1, 1};

Values DefaultValues() { return SevenDwords({1, 0, 1, 1, 1, 1, 1}); }

class EntriesTest : public DialogTest {
protected:
    void TearDown() override {
        SetShift(false);
        DialogTest::TearDown();
    }

    HWND Editor() const {
        return reinterpret_cast<HWND>(SendMessageA(list, LVM_GETEDITCONTROL, 0, 0));
    }
    // Types into the open label editor, character by character.
    void Type(const std::string& text) {
        HWND edit = Editor();
        ASSERT_NE(nullptr, edit) << "no label editor is open";
        for (char c : text) SendMessageA(edit, WM_CHAR, static_cast<BYTE>(c), 0);
    }
    void Key(HWND window, UINT key) {
        SendMessageA(window, WM_KEYDOWN, key, 0);
        SendMessageA(window, WM_KEYUP, key, 0xC0000000);
        Pump();
    }
    // Adds "my-app.exe" and ends its edit by a click on the first item.
    void AddNewEndedByAClickOnTheFirstItem() {
        Command(IDM_ADDNEW);
        Type("my-app.exe");
        RECT label = {};
        label.left = LVIR_LABEL;
        ASSERT_TRUE(SendMessageA(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&label)));
        const LPARAM at = MAKELPARAM(label.left + 4, (label.top + label.bottom) / 2);
        PostMessageA(list, WM_LBUTTONUP, 0, at);  // ends the list view's drag detection
        SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
        Pump();
    }
    void AddNamed(const std::string& name) {
        Command(IDM_ADDNEW);
        Type(name);
        Key(Editor(), VK_RETURN);
    }
    void SetShift(bool down) {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_SHIFT] = down ? 0x80 : 0;
        SetKeyboardState(keys);
    }
    void FocusOnly(int item, bool focused) {
        LVITEMA state = {};
        state.stateMask = LVIS_FOCUSED;
        state.state = focused ? LVIS_FOCUSED : 0;
        SendMessageA(list, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&state));
    }
};

TEST_F(EntriesTest, AcceptedNameGetsDefaultsWhichReachTheRegistryOnSave) {
    CreateEntryWith("Alpha", {0, 0, 0, 0, 0, 0, 0});
    Open();
    Select(0);
    Click(IDC_TIMER);  // saved as Add New starts

    Command(IDM_ADDNEW);
    ASSERT_NE(nullptr, Editor());
    EXPECT_EQ(kNoEntry, Panel());
    EXPECT_EQ(1, Selected());
    EXPECT_EQ(1, Focused());
    EXPECT_EQ(kNewEntryMarker, ItemData(1));
    EXPECT_EQ(Dword(1), EntryValues("Alpha")["use_Timer"]) << "the pending change is kept";

    Type("My App 2.exe");
    Key(Editor(), VK_RETURN);
    EXPECT_EQ(nullptr, Editor());
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ((std::vector<std::string>{"Alpha", "My App 2.exe"}), Items());
    EXPECT_EQ(kUnsavedEntry, ItemData(1)) << "accepted: no longer editable, not yet saved";
    EXPECT_EQ(kDefaults, Panel());
    EXPECT_FALSE(EntryExists("My App 2.exe")) << "nothing is written until the panel is saved";

    Select(0);
    EXPECT_EQ(DefaultValues(), EntryValues("My App 2.exe"));
    EXPECT_EQ(0, ItemData(1));
    EXPECT_EQ(Dword(1), EntryValues("Alpha")["use_Timer"]);
}

// The profile reader trims section names, so a name with outer blanks would
// not survive an export and an import; inner blanks are the name's own.
TEST_F(EntriesTest, AcceptedEntryTrimmedAndSavedWhenDialogCloses) {
    CreateEntry("Alpha");
    Open();
    AddNamed("   spaced . name  ");
    EXPECT_EQ((std::vector<std::string>{"Alpha", "spaced . name"}), Items());
    EXPECT_EQ(kDefaults, Panel());
    Click(IDC_TIMER);
    AddNamed("   ");  // blanks alone: refused like an empty name, silently
    AddNamed("  alpha ");
    EXPECT_EQ((std::vector<std::string>{"A application with the specified name already exists."}),
              Texts());
    EXPECT_EQ((std::vector<std::string>{"Alpha", "spaced . name"}), Items());
    Close();
    Values expected = DefaultValues();
    expected["use_Timer"] = Dword(1);
    EXPECT_EQ(expected, EntryValues("spaced . name"));
    EXPECT_FALSE(EntryExists("   spaced . name  "));
}

// The list view edits a label only while it has the focus, and from the
// keyboard the menu may come while another control has it.
struct EditFocusSpy {
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == LVM_EDITLABELA) focusAtEdit = GetFocus();
        return CallWindowProcA(original, window, message, wParam, lParam);
    }
    static inline WNDPROC original = nullptr;
    static inline HWND focusAtEdit = nullptr;
};

TEST_F(EntriesTest, ListHasTheFocusWhenTheLabelEditStarts) {
    Open();
    SetFocus(GetDlgItem(dialog, IDCANCEL));
    EditFocusSpy::original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditFocusSpy::Proc)));
    Command(IDM_ADDNEW);
    SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditFocusSpy::original));
    EXPECT_EQ(list, EditFocusSpy::focusAtEdit);
    ASSERT_NE(nullptr, Editor());
    Type("Focused");
    Key(Editor(), VK_RETURN);
    EXPECT_EQ((std::vector<std::string>{"Focused"}), Items());
}

TEST_F(EntriesTest, TypedNameIsLimitedToHundredCharacters) {
    Open();
    AddNamed(std::string(120, 'n'));
    EXPECT_EQ((std::vector<std::string>{std::string(100, 'n')}), Items());
}

class ForbiddenCharacterTest : public EntriesTest, public ::testing::WithParamInterface<char> {};

TEST_P(ForbiddenCharacterTest, NameIsRefusedAndItemRemoved) {
    CreateEntry("Keep");
    Open();
    AddNamed(std::string("ab") + GetParam() + "cd");
    ASSERT_EQ(1u, boxes.shown().size());
    EXPECT_EQ("Application name contains invalid characters.", boxes.shown()[0].text);
    EXPECT_EQ("KMX Hooks Manager", boxes.shown()[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR | MB_OK), boxes.shown()[0].style);
    EXPECT_EQ(dialog, boxes.shown()[0].owner);
    EXPECT_EQ((std::vector<std::string>{"Keep"}), Items());
    Close();
    EXPECT_EQ((std::vector<std::string>{"Keep"}), EntryNames());
}

INSTANTIATE_TEST_SUITE_P(EachOfNine, ForbiddenCharacterTest,
                         ::testing::Values('\\', '/', ':', '*', '?', '"', '<', '>', '|'));

TEST_F(EntriesTest, DuplicateInOtherLetterCaseIsRefused) {
    CreateEntryWith("Notepad.EXE", {1, 1, 1, 1, 1, 1, 1});
    Open();
    AddNamed("notepad.exe");
    ASSERT_EQ(1u, boxes.shown().size());
    EXPECT_EQ("A application with the specified name already exists.", boxes.shown()[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR | MB_OK), boxes.shown()[0].style);
    EXPECT_EQ((std::vector<std::string>{"Notepad.EXE"}), Items());
    // A name that only contains an existing one is fine.
    AddNamed("notepad.exe2");
    EXPECT_EQ(1u, boxes.shown().size());
    EXPECT_EQ((std::vector<std::string>{"Notepad.EXE", "notepad.exe2"}), Items());
}

TEST_F(EntriesTest, EmptyNameAndEscRemoveTheItemSilently) {
    CreateEntry("A");
    Open();
    AddNamed("");
    EXPECT_EQ((std::vector<std::string>{"A"}), Items());
    Command(IDM_ADDNEW);
    Type("typed then abandoned");
    Key(Editor(), VK_ESCAPE);
    EXPECT_EQ(nullptr, Editor());
    EXPECT_EQ((std::vector<std::string>{"A"}), Items());
    EXPECT_TRUE(boxes.shown().empty());
    Close();
    EXPECT_EQ((std::vector<std::string>{"A"}), EntryNames());
}

TEST_F(EntriesTest, ExistingEntriesCannotBeRenamed) {
    CreateEntry("A");
    Open();
    Select(0);
    SendMessageA(list, LVM_EDITLABELA, 0, 0);
    EXPECT_EQ(nullptr, Editor());
    Key(list, VK_F2);
    EXPECT_EQ(nullptr, Editor());
    // Nor can an accepted new one.
    AddNamed("B");
    SendMessageA(list, LVM_EDITLABELA, 1, 0);
    EXPECT_EQ(nullptr, Editor());
    EXPECT_EQ((std::vector<std::string>{"A", "B"}), Items());
}

TEST_F(EntriesTest, DeleteAsksAndNoKeepsTheEntry) {
    CreateEntryWith("App One", {1, 1, 1, 1, 1, 1, 1});
    Open();
    Select(0);
    Command(IDM_DELETE);
    ASSERT_EQ(1u, boxes.shown().size());
    EXPECT_EQ("Delete App One KMX Hook Settings?", boxes.shown()[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONWARNING), boxes.shown()[0].style);
    EXPECT_EQ(IDNO, boxes.shown()[0].answer);
    EXPECT_TRUE(EntryExists("App One"));
    EXPECT_EQ((std::vector<std::string>{"App One"}), Items());
}

TEST_F(EntriesTest, DeleteYesRemovesKeyAndSelectsTheFocusedItem) {
    CreateEntryWith("A", {1, 1, 1, 1, 1, 1, 1});
    CreateEntryWith("B", {0, 1, 0, 1, 0, 1, 0});
    CreateEntryWith("C", {0, 0, 0, 0, 0, 0, 0});
    Open();
    Select(0);
    Click(IDC_TIMER);  // the deleted entry's panel is not saved
    FocusOnly(2, true);
    boxes.Answer(IDYES);
    Command(IDM_DELETE);
    ASSERT_EQ(1u, boxes.shown().size());
    EXPECT_FALSE(EntryExists("A"));
    EXPECT_EQ((std::vector<std::string>{"B", "C"}), Items());
    EXPECT_EQ(ExpectedColumnWidth(), ColumnWidth());
    EXPECT_EQ(1, Selected());
    EXPECT_EQ((std::vector<int>(7, 0)), Panel()) << "C is loaded";
}

TEST_F(EntriesTest, DelKeyWithShiftDeletesWithoutAsking) {
    CreateEntryWith("A", {1, 1, 1, 1, 1, 1, 1});
    CreateEntryWith("B", {1, 1, 1, 1, 1, 1, 1});
    Open();
    Select(1);
    SetShift(true);
    Key(list, VK_DELETE);  // the list reports it; the command runs from the queue
    SetShift(false);
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_FALSE(EntryExists("B"));
    EXPECT_EQ((std::vector<std::string>{"A"}), Items());
}

TEST_F(EntriesTest, DelKeyWithoutShiftAsks) {
    CreateEntry("A");
    Open();
    Select(0);
    boxes.Answer(IDYES);
    Key(list, VK_DELETE);
    ASSERT_EQ(1u, boxes.shown().size());
    EXPECT_EQ("Delete A KMX Hook Settings?", boxes.shown()[0].text);
    EXPECT_FALSE(EntryExists("A"));
    EXPECT_TRUE(Items().empty());
    EXPECT_EQ(kNoEntry, Panel());
}

TEST_F(EntriesTest, ShiftIsReadWhenTheCommandRunsNotWhenTheKeyIsPressed) {
    CreateEntry("A");
    Open();
    Select(0);
    SendMessageA(list, WM_KEYDOWN, VK_DELETE, 0);  // posted, not yet run
    EXPECT_TRUE(EntryExists("A"));
    SetShift(true);
    Pump();
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_FALSE(EntryExists("A"));
}

TEST_F(EntriesTest, NothingFocusedAfterDeleteShowsNoEntry) {
    CreateEntryWith("A", {1, 1, 1, 1, 1, 1, 1});
    CreateEntryWith("B", {1, 1, 1, 1, 1, 1, 1});
    Open();
    Select(0);
    FocusOnly(0, false);
    SetShift(true);
    Command(IDM_DELETE);
    EXPECT_EQ((std::vector<std::string>{"B"}), Items());
    if (Focused() == -1) {
        EXPECT_EQ(-1, Selected());
        EXPECT_EQ(kNoEntry, Panel());
    } else {
        // The list view moved the focus itself; then that item is selected.
        EXPECT_EQ(Focused(), Selected());
        EXPECT_EQ((std::vector<int>(7, 1)), Panel());
    }
}

TEST_F(EntriesTest, DeleteWithNothingSelectedDoesNothing) {
    CreateEntry("A");
    Open();
    Command(IDM_DELETE);
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_TRUE(EntryExists("A"));
}

TEST_F(EntriesTest, DeletingAnAcceptedButUnsavedEntryRemovesItsItem) {
    CreateEntry("A");
    Open();
    AddNamed("Fresh");
    ASSERT_EQ(1, Selected());
    boxes.Answer(IDYES);
    Command(IDM_DELETE);
    ASSERT_EQ(1u, boxes.shown().size());
    EXPECT_EQ("Delete Fresh KMX Hook Settings?", boxes.shown()[0].text);
    EXPECT_EQ((std::vector<std::string>{"A"}), Items());
    Select(0);
    Close();
    EXPECT_FALSE(EntryExists("Fresh")) << "no save brings the deleted entry back";
    EXPECT_EQ((std::vector<std::string>{"A"}), EntryNames());
}

// Where the code page is UTF-8, the hundred characters the editor allows can
// take 400 bytes; the name arrives as the list view would deliver it.
TEST_F(EntriesTest, NameLongerInBytesThanTheDataModelHoldsIsRefusedNotCut) {
    Open();
    std::string utf8;
    for (int i = 0; i < 100; ++i) utf8 += "\xE8\xA1\xA8";  // 表, three bytes in UTF-8
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = 0;
    item.pszText = const_cast<char*>("");
    item.lParam = kNewEntryMarker;
    ASSERT_EQ(0, SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    NMLVDISPINFOA end = {};
    end.hdr.hwndFrom = list;
    end.hdr.idFrom = IDC_APPLIST;
    end.hdr.code = LVN_ENDLABELEDITA;
    end.item.iItem = 0;
    end.item.pszText = &utf8[0];
    SendMessageA(dialog, WM_NOTIFY, IDC_APPLIST, reinterpret_cast<LPARAM>(&end));
    ASSERT_EQ((std::vector<std::string>{"Application name is too long."}), Texts());
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR | MB_OK), boxes.shown()[0].style);
    EXPECT_TRUE(Items().empty()) << "the item goes, as for any refused name";
    EXPECT_EQ(FALSE, GetWindowLongPtrA(dialog, DWLP_MSGRESULT));
    Close();
    EXPECT_TRUE(EntryNames().empty());
}

// Only an entry that Add New made and no save has stored may lack its key:
// for any other, "not found" is a deletion that did not happen.
TEST_F(EntriesTest, EntryWhoseKeyIsGoneIsKeptAndReported) {
    CreateEntry("Gone");
    Open();
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\QBL\\KMXHooks\\Application_Prefs\\Gone");
    Select(0);
    SetShift(true);
    Command(IDM_DELETE);
    EXPECT_EQ((std::vector<std::string>{"Could not delete Gone KMX Hook Settings."}), Texts());
    EXPECT_EQ((std::vector<std::string>{"Gone"}), Items());
}

// An entry made by a Unicode program, with characters this code page
// cannot hold: the list shows it with '?' in their place, and that name
// opens no key, or another entry's.
// Such a name comes back with '?' or a best-fit letter ("Łódź" as "Lódz"),
// and names another key or none. Beside it sits a key that really has the
// name it shows: nothing reaches that one through it.
TEST_F(EntriesTest, NameTheCodePageCannotHoldNeverActsOnAnotherKey) {
    for (const std::wstring wideName : {L"\x041F\x0440\x043E\x0433.exe",
                                        L"\x0141\x00F3"
                                        L"d\x017A.exe"}) {
        BOOL lossy = FALSE;
        char shown[64];
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wideName.c_str(), -1, shown,
                            sizeof(shown), nullptr, &lossy);
        if (!lossy) continue;  // this code page holds the name
        const std::wstring path = L"Software\\QBL\\KMXHooks\\Application_Prefs\\" + wideName;
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CURRENT_USER, path.c_str(), &key));
        const DWORD one = 1;
        RegSetValueExW(key, L"use_Timer", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4);
        RegCloseKey(key);
        Open();
        ASSERT_EQ(1u, Items().size());
        const std::string asListed = Items()[0];
        Close();
        CreateEntryWith(asListed, {0, 0, 0, 0, 0, 0, 0});  // the name it shows, for real
        const Values beside = EntryValues(asListed);
        Open();
        ASSERT_EQ(2u, Items().size());
        const int item = ItemData(0) == kUnreachableEntry ? 0 : 1;
        ASSERT_EQ(kUnreachableEntry, ItemData(item)) << asListed;

        Select(item);
        EXPECT_EQ(kNoEntry, Panel()) << "no values shown for it";
        Command(IDM_RESET);
        EXPECT_EQ(kNoEntry, Panel()) << "nothing to reset";
        Select(1 - item);  // saves nothing for it
        Select(item);
        SetShift(true);
        Command(IDM_DELETE);
        SetShift(false);
        EXPECT_EQ(
            (std::vector<std::string>{"Could not delete " + asListed + " KMX Hook Settings."}),
            Texts());
        EXPECT_EQ(2u, Items().size()) << "the entry stays listed";
        Close();
        EXPECT_EQ(beside, EntryValues(asListed)) << "the other key is neither written nor deleted";
        EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyW(HKEY_CURRENT_USER, path.c_str(), &key)) << "nor it";
        RegCloseKey(key);
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QBL");
        boxes.Clear();
    }
}

TEST_F(EntriesTest, FailedDeletionIsReportedAndChangesNothing) {
    CreateEntryWith("Parent", {1, 1, 1, 1, 1, 1, 1});
    CreateEntry("Parent\\Child");
    CreateEntry("Other");
    Open();
    Select(1);  // Parent, after Other
    const Values before = AllValues();
    SetShift(true);
    Command(IDM_DELETE);
    ASSERT_EQ(1u, boxes.shown().size());
    EXPECT_EQ("Could not delete Parent KMX Hook Settings.", boxes.shown()[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR | MB_OK), boxes.shown()[0].style);
    EXPECT_EQ(before, AllValues());
    EXPECT_EQ((std::vector<std::string>{"Other", "Parent"}), Items());
    EXPECT_EQ(1, Selected());
}

}  // namespace

// A new entry's edit ended by a click on another entry: the list view moves
// the selection to the clicked entry before it ends the edit. The clicked
// entry keeps its own values (missing ones stay missing), and the new one is
// stored with the defaults.
TEST_F(EntriesTest, NewEntryEndedByAClickOnAnotherEntryKeepsBoth) {
    SetEntryDword("Partial", "use_Timer", 1);
    SetEntryDword("Partial", "use_KeyPress", 2);
    const Values partial = EntryValues("Partial");
    Open();
    AddNewEndedByAClickOnTheFirstItem();
    EXPECT_EQ(nullptr, Editor());
    EXPECT_EQ(0, Selected());
    EXPECT_EQ(
        (std::vector<int>{kDisabled, 1, kDisabled, kDisabled, kDisabled, kDisabled, kDisabled}),
        Panel());
    EXPECT_EQ(0, ItemData(1)) << "stored at once";
    Select(1);
    EXPECT_EQ(partial, EntryValues("Partial"));
    Close();
    EXPECT_EQ(partial, EntryValues("Partial"));
    EXPECT_EQ(DefaultValues(), EntryValues("my-app.exe"));
}

// Where the defaults cannot be written, the new entry stays marked as
// unsaved, so that the next save tries again.
TEST_F(EntriesTest, NewEntryWhoseDefaultsCannotBeWrittenStaysUnsaved) {
    // Under a volatile settings key the registry refuses a lasting entry
    // key (ERROR_CHILD_MUST_BE_VOLATILE), on Windows and on Wine alike.
    const char* settings = "Software\\QBL\\KMXHooks\\Application_Prefs";
    UniqueRegKey volatileKey;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_CURRENT_USER, settings, 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, volatileKey.put(), nullptr));
    UniqueRegKey partial;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(volatileKey.get(), "Partial", 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, partial.put(), nullptr));
    Open();
    AddNewEndedByAClickOnTheFirstItem();
    EXPECT_EQ(kUnsavedEntry, ItemData(1));
    EXPECT_FALSE(EntryExists("my-app.exe"));
}
