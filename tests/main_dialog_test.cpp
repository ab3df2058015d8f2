// The main dialog: start-up, the list, the context menu and the commands.
#include <gtest/gtest.h>

#include <algorithm>

#include "dialog/app_list.h"
#include "dialog/dialog_state.h"
#include "dialog/main_dialog.h"
#include "res/resource.h"
#include "support/dialog_harness.h"

namespace {

class MainDialogTest : public DialogTest {
protected:
    // The state of each context menu item after WM_INITMENUPOPUP, in menu
    // order, as "Name:on" or "Name:grey".
    std::vector<std::string> MenuState() {
        HMENU menu = g_dialog.contextMenu;
        EXPECT_NE(nullptr, menu);
        SendMessageA(dialog, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
        std::vector<std::string> items;
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            char text[64] = "";
            GetMenuStringA(menu, i, text, sizeof(text), MF_BYPOSITION);
            if (!text[0]) continue;  // separator
            const UINT state = GetMenuState(menu, i, MF_BYPOSITION);
            items.push_back(std::string(text) + ((state & MF_GRAYED) ? ":grey" : ":on"));
        }
        return items;
    }
};

// Wine enumerates keys sorted without regard to case, but not as the list
// view sorts (which puts punctuation such as '~' and '_' before digits and
// letters): with these names a sorted list differs from enumeration order.
// The dialog's style check (no LVS_SORT*) pins the rest.
TEST_F(MainDialogTest, ListsEntriesInEnumerationOrder) {
    for (const char* name : {"zeta.exe", "Alpha", "~tilde.exe", "my app", "0zero", "b[1].exe"}) {
        CreateEntry(name);
    }
    Open();
    EXPECT_EQ(EntryNames(), Items());
    ASSERT_EQ(6u, Items().size());
    std::vector<std::string> sorted = Items();
    std::sort(sorted.begin(), sorted.end(), [](const std::string& a, const std::string& b) {
        return lstrcmpiA(a.c_str(), b.c_str()) < 0;
    });
    EXPECT_NE(sorted, Items()) << "these names cannot tell a sorted list from enumeration order";
    for (int i = 0; i < 6; ++i) EXPECT_EQ(0, ItemData(i));
    EXPECT_EQ(ExpectedColumnWidth(), ColumnWidth());
    EXPECT_EQ(-1, Selected());
    EXPECT_TRUE(boxes.shown().empty()) << "no warning without the server";
}

// What the list sees of its drawing while it is filled: no repaint per item,
// drawing back on afterwards, and one repaint that includes its border.
struct RedrawSpy {
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_SETREDRAW) events.push_back(wParam ? "drawing on" : "drawing off");
        if (message == LVM_INSERTITEMA && (events.empty() || events.back() != "insert")) {
            events.push_back("insert");
        }
        if (message == WM_NCPAINT) events.push_back("border painted");
        return CallWindowProcA(original, window, message, wParam, lParam);
    }
    // Catches the list as the dialog creates it, before its start-up fill.
    static LRESULT CALLBACK Cbt(int code, WPARAM wParam, LPARAM lParam) {
        char name[32] = "";
        if (code == HCBT_CREATEWND && !original &&
            GetClassNameA(reinterpret_cast<HWND>(wParam), name, sizeof(name)) &&
            lstrcmpiA(name, WC_LISTVIEWA) == 0) {
            original = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
                reinterpret_cast<HWND>(wParam), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Proc)));
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static inline WNDPROC original = nullptr;
    static inline std::vector<std::string> events;
};

TEST_F(MainDialogTest, FilledWithoutDrawingThenRepaintedWithItsBorder) {
    CreateEntry("A");
    CreateEntry("B");
    HHOOK hook = SetWindowsHookExA(WH_CBT, RedrawSpy::Cbt, nullptr, GetCurrentThreadId());
    Open();
    UnhookWindowsHookEx(hook);
    ASSERT_NE(nullptr, RedrawSpy::original);
    ASSERT_GE(RedrawSpy::events.size(), 3u);
    EXPECT_EQ((std::vector<std::string>{"drawing off", "insert", "drawing on"}),
              std::vector<std::string>(RedrawSpy::events.begin(), RedrawSpy::events.begin() + 3))
        << "at start-up";

    // Filled again while it is on the screen, as an import appends to it.
    UpdateWindow(list);
    RedrawSpy::events.clear();
    FillList(list);
    UpdateWindow(list);
    EXPECT_EQ((std::vector<std::string>{"drawing off", "insert", "drawing on", "border painted"}),
              RedrawSpy::events);
    EXPECT_EQ((std::vector<std::string>{"A", "B", "A", "B"}), Items());
}

TEST_F(MainDialogTest, EmptyOrAbsentSettingsKeyGivesEmptyList) {
    Open();
    EXPECT_TRUE(Items().empty());
    EXPECT_EQ(ExpectedColumnWidth(), ColumnWidth());
    Close();

    CreateEntry("x");
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\QBL\\KMXHooks\\Application_Prefs\\x");
    Open();
    EXPECT_TRUE(Items().empty());
    EXPECT_EQ(ExpectedColumnWidth(), ColumnWidth());
}

TEST_F(MainDialogTest, BigIconSetFromResource) {
    Open();
    EXPECT_NE(0, SendMessageA(dialog, WM_GETICON, ICON_BIG, 0));
    EXPECT_EQ(0, SendMessageA(dialog, WM_GETICON, ICON_SMALL, 0));
}

TEST_F(MainDialogTest, ContextMenuGreysByListState) {
    Open();
    EXPECT_EQ((std::vector<std::string>{"Add New:on", "Delete:grey", "Reset:grey", "Import:on",
                                        "Export:grey"}),
              MenuState());
    Close();

    CreateEntry("A");
    CreateEntry("B");
    Open();
    EXPECT_EQ((std::vector<std::string>{"Add New:on", "Delete:grey", "Reset:grey", "Import:on",
                                        "Export:on"}),
              MenuState());
    Select(1);
    EXPECT_EQ(
        (std::vector<std::string>{"Add New:on", "Delete:on", "Reset:on", "Import:on", "Export:on"}),
        MenuState());
    // Another menu, such as the system menu, is left alone.
    HMENU other = CreatePopupMenu();
    AppendMenuA(other, MF_STRING | MF_GRAYED, IDM_DELETE, "Delete");
    SendMessageA(dialog, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(other), 0);
    EXPECT_TRUE(GetMenuState(other, IDM_DELETE, MF_BYCOMMAND) & MF_GRAYED);
    DestroyMenu(other);
}

// Every context menu shown: where its window opened and whether Delete was
// grey. Each is closed again as soon as it waits for input.
struct MenuSpy {
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        const CWPSTRUCT* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (code == HC_ACTION && message->message == WM_ENTERIDLE && message->wParam == MSGF_MENU) {
            RECT menu = {};
            GetWindowRect(reinterpret_cast<HWND>(message->lParam), &menu);
            const bool grey =
                GetMenuState(g_dialog.contextMenu, IDM_DELETE, MF_BYCOMMAND) & MF_GRAYED;
            shown.push_back({{menu.left, menu.top}, grey});
            EndMenu();
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    struct Shown {
        POINT at;
        bool deleteGrey;
    };
    static inline std::vector<Shown> shown;
};

TEST_F(MainDialogTest, KeyboardOpensTheContextMenuAtTheSelectionOrTheListCorner) {
    CreateEntry("A");
    CreateEntry("B");
    Open();
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, MenuSpy::Hook, nullptr, GetCurrentThreadId());
    const LPARAM keyboard = MAKELPARAM(-1, -1);
    const WPARAM fromList = reinterpret_cast<WPARAM>(list);

    EXPECT_EQ(TRUE, MainDialogProc(dialog, WM_CONTEXTMENU, fromList, keyboard));
    POINT corner = {0, 0};
    ClientToScreen(list, &corner);
    Select(1);
    EXPECT_EQ(TRUE, MainDialogProc(dialog, WM_CONTEXTMENU, fromList, keyboard));
    RECT label = {};
    label.left = LVIR_LABEL;
    SendMessageA(list, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&label));
    POINT below = {label.left, label.bottom};
    ClientToScreen(list, &below);
    // The right click showed its menu through NM_RCLICK; its WM_CONTEXTMENU
    // shows none. Nor does the key on another control.
    EXPECT_EQ(FALSE,
              MainDialogProc(dialog, WM_CONTEXTMENU, fromList, MAKELPARAM(below.x, below.y)));
    EXPECT_EQ(FALSE,
              MainDialogProc(dialog, WM_CONTEXTMENU,
                             reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDC_TIMER)), keyboard));
    UnhookWindowsHookEx(hook);

    ASSERT_EQ(2u, MenuSpy::shown.size());
    EXPECT_EQ(corner.x, MenuSpy::shown[0].at.x);
    EXPECT_EQ(corner.y, MenuSpy::shown[0].at.y);
    EXPECT_TRUE(MenuSpy::shown[0].deleteGrey) << "greyed as for the mouse: nothing selected";
    EXPECT_EQ(below.x, MenuSpy::shown[1].at.x);
    EXPECT_EQ(below.y, MenuSpy::shown[1].at.y);
    EXPECT_FALSE(MenuSpy::shown[1].deleteGrey);
    EXPECT_GT(below.y, corner.y);
}

// A selection scrolled out of sight is scrolled back, and the menu opens at
// it, inside the list.
TEST_F(MainDialogTest, KeyboardMenuOpensAtASelectionScrolledAway) {
    for (int i = 0; i < 40; ++i) CreateEntry("Entry " + std::to_string(100 + i));
    Open();
    Select(39);
    SendMessageA(list, LVM_ENSUREVISIBLE, 0, FALSE);
    ASSERT_EQ(0, SendMessageA(list, LVM_GETTOPINDEX, 0, 0));
    MenuSpy::shown.clear();
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, MenuSpy::Hook, nullptr, GetCurrentThreadId());
    MainDialogProc(dialog, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(-1, -1));
    UnhookWindowsHookEx(hook);
    ASSERT_EQ(1u, MenuSpy::shown.size());
    RECT label = {};
    label.left = LVIR_LABEL;
    SendMessageA(list, LVM_GETITEMRECT, 39, reinterpret_cast<LPARAM>(&label));
    RECT client = {};
    GetClientRect(list, &client);
    ASSERT_TRUE(PtInRect(&client, {label.left, label.top})) << "scrolled into view";
    POINT below = {label.left, std::min(label.bottom, client.bottom - 1)};
    ClientToScreen(list, &below);
    EXPECT_EQ(below.x, MenuSpy::shown[0].at.x);
    EXPECT_EQ(below.y, MenuSpy::shown[0].at.y);
}

TEST_F(MainDialogTest, RoutesReportHandledOrNot) {
    Open();
    HELPINFO help = {};
    help.cbSize = sizeof(help);
    help.iCtrlId = IDCANCEL;
    help.hItemHandle = GetDlgItem(dialog, IDCANCEL);
    NMHDR other = {GetDlgItem(dialog, IDCANCEL), IDCANCEL, static_cast<UINT>(NM_RCLICK)};
    HMENU menu = CreatePopupMenu();
    EXPECT_EQ(TRUE, MainDialogProc(dialog, WM_COMMAND, 4242, 0));
    EXPECT_EQ(TRUE, MainDialogProc(dialog, WM_COMMAND, IDOK, 0));
    EXPECT_EQ(TRUE, MainDialogProc(dialog, WM_NOTIFY, IDCANCEL, reinterpret_cast<LPARAM>(&other)));
    EXPECT_EQ(TRUE, MainDialogProc(dialog, WM_HELP, 0, reinterpret_cast<LPARAM>(&help)));
    EXPECT_EQ(TRUE, MainDialogProc(dialog, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0));
    EXPECT_EQ(FALSE, MainDialogProc(dialog, WM_TIMER, 1, 0));
    EXPECT_EQ(FALSE, MainDialogProc(dialog, WM_CONTEXTMENU, 0, 0));
    DestroyMenu(menu);
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_TRUE(boxes.shown().empty());
}

// The modal run, as the entry point starts it, driven from a thread timer
// that the dialog's own message loop dispatches.
struct ModalScript {
    std::vector<bool> openAfter;  // still open after each command
    static ModalScript* current;
    static void CALLBACK Step(HWND, UINT, UINT_PTR timer, DWORD) {
        KillTimer(nullptr, timer);
        HWND dlg = g_dialog.window;
        const WPARAM commands[] = {IDOK, MAKEWPARAM(IDCANCEL, BN_SETFOCUS),
                                   MAKEWPARAM(IDCANCEL, BN_KILLFOCUS), MAKEWPARAM(IDCANCEL, 5)};
        for (WPARAM command : commands) {
            SendMessageA(dlg, WM_COMMAND, command, 0);
            current->openAfter.push_back(IsWindowVisible(dlg) != FALSE);
        }
        SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, current->code), 0);
    }
    WORD code = 0;
};
ModalScript* ModalScript::current = nullptr;

class ModalTest : public ::testing::TestWithParam<WORD> {
protected:
    RegistrySandbox registry;
    MessageBoxes boxes;
};

TEST_P(ModalTest, OnlyCancelClickOrAcceleratorEndsTheDialogAndSavesSelection) {
    CreateEntryWith("A", {0, 0, 0, 0, 0, 0, 0});
    ModalScript script;
    script.code = GetParam();
    ModalScript::current = &script;
    // Select A and change a box once the dialog is up, then run the script.
    struct Prepare {
        static void CALLBACK Step(HWND, UINT, UINT_PTR timer, DWORD) {
            KillTimer(nullptr, timer);
            HWND dlg = g_dialog.window;
            LVITEMA state = {};
            state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageA(GetDlgItem(dlg, IDC_APPLIST), LVM_SETITEMSTATE, 0,
                         reinterpret_cast<LPARAM>(&state));
            SendMessageA(GetDlgItem(dlg, IDC_TIMER), BM_CLICK, 0, 0);
            SetTimer(nullptr, 0, 1, ModalScript::Step);
        }
    };
    SetTimer(nullptr, 0, 1, Prepare::Step);
    const INT_PTR result =
        DialogBoxParamA(g_dialog.instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
    EXPECT_EQ(0, result);
    EXPECT_EQ((std::vector<bool>{true, true, true, true}), script.openAfter);
    EXPECT_EQ(Dword(1), EntryValues("A")["use_Timer"]);
    EXPECT_TRUE(boxes.shown().empty());
}

INSTANTIATE_TEST_SUITE_P(ClickAndAccelerator, ModalTest, ::testing::Values(0, 1));

}  // namespace
