// Context help on the list and the check boxes: the call the program makes
// to the HTML Help control, and its own popup when the control shows none.
#include <gtest/gtest.h>

#include "dialog/dialog_state.h"
#include "dialog/main_dialog.h"
#include "res/resource.h"
#include "support/dialog_harness.h"
#include "support/help_control.h"
#include "support/programs.h"
#include "support/temp_folder.h"

namespace {

class HelpTest : public DialogTest {
protected:
    void SetUp() override {
        help = std::make_unique<HelpControlSandbox>();
        Open();
    }
    void TearDown() override {
        DialogTest::TearDown();
        help.reset();
    }
    // WM_HELP as the platform sends it for a control; what the dialog
    // procedure answered.
    INT_PTR RequestHelp(int controlId, int contextType = HELPINFO_WINDOW) {
        HELPINFO info = {};
        info.cbSize = sizeof(info);
        info.iContextType = contextType;
        info.iCtrlId = controlId;
        info.hItemHandle = contextType == HELPINFO_WINDOW ? GetDlgItem(dialog, controlId) : nullptr;
        GetCursorPos(&info.MousePos);
        return MainDialogProc(dialog, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    }
    std::string PopupText() {
        char text[2048] = "";
        GetWindowTextA(FallbackPopup(), text, sizeof(text));
        return text;
    }
    std::string StringOf(int id) {
        char text[2048] = "";
        LoadStringA(g_dialog.instance, id, text, sizeof(text));
        return text;
    }
    std::unique_ptr<HelpControlSandbox> help;
};

TEST_F(HelpTest, EachControlGetsItsOwnRecord) {
    help->PointAt(BesideTests("hhstandin.dll"));
    StandInReturns(dialog);  // as if the control showed a popup
    CreateEntryWith("A", {1, 1, 1, 1, 1, 1, 1});
    Select(0);
    for (int id = IDC_APPLIST; id <= IDC_DEFERRAL; ++id) {
        EXPECT_EQ(TRUE, RequestHelp(id));
    }
    ASSERT_EQ(8, StandInCalls());
    for (int i = 0; i < 8; ++i) {
        const StandInCall& call = *StandInCallAt(i);
        const int id = IDC_APPLIST + i;
        EXPECT_EQ(GetDlgItem(dialog, id), call.caller);
        EXPECT_TRUE(call.fileIsNull);
        EXPECT_EQ(14u, call.command);
        EXPECT_EQ(sizeof(void*) == 4 ? 52 : 72, call.popup.cbStruct);
        EXPECT_EQ(g_dialog.instance, call.popup.hinst);
        EXPECT_EQ(static_cast<UINT>(id), call.popup.idString);
        EXPECT_EQ(nullptr, call.popup.pszText);
        EXPECT_EQ(-1, call.popup.pt.x);
        EXPECT_EQ(-1, call.popup.pt.y);
        EXPECT_EQ(0xFFFFFFFFu, call.popup.clrForeground);
        EXPECT_EQ(0xFFFFFFFFu, call.popup.clrBackground);
        EXPECT_EQ(18, call.popup.rcMargins.left);
        EXPECT_EQ(8, call.popup.rcMargins.top);
        EXPECT_EQ(8, call.popup.rcMargins.right);
        EXPECT_EQ(8, call.popup.rcMargins.bottom);
        EXPECT_STREQ("MS Sans Serif, 8, , ", call.font);
    }
    EXPECT_NE(std::string::npos, StringOf(StandInCallAt(1)->popup.idString).find("KMX server"));
    EXPECT_EQ(nullptr, FallbackPopup()) << "the control showed its popup";
}

TEST_F(HelpTest, OtherControlsAndMenuItemsShowNothing) {
    help->PointAt(BesideTests("hhstandin.dll"));
    StandInReturns(nullptr);
    HWND label = GetWindow(GetDlgItem(dialog, IDC_APPLIST), GW_HWNDPREV);
    HELPINFO info = {};
    info.cbSize = sizeof(info);
    info.iContextType = HELPINFO_WINDOW;
    info.iCtrlId = GetDlgCtrlID(label);
    info.hItemHandle = label;
    EXPECT_EQ(TRUE, MainDialogProc(dialog, WM_HELP, 0, reinterpret_cast<LPARAM>(&info)));
    EXPECT_EQ(TRUE, RequestHelp(IDCANCEL));
    EXPECT_EQ(TRUE, RequestHelp(1009));
    EXPECT_EQ(TRUE, RequestHelp(1018));
    EXPECT_EQ(TRUE, RequestHelp(IDM_DELETE, HELPINFO_MENUITEM));
    EXPECT_EQ(0, StandInCalls());
    EXPECT_EQ(nullptr, FallbackPopup());
}

TEST_F(HelpTest, ControlLoadedOnceAndReused) {
    help->PointAt(BesideTests("hhstandin.dll"));
    StandInReturns(dialog);
    RequestHelp(IDC_TIMER);
    help->Forget();  // a second lookup would now find nothing
    RequestHelp(IDC_KEYPRESS);
    ASSERT_EQ(2, StandInCalls());
    EXPECT_EQ(static_cast<UINT>(IDC_KEYPRESS), StandInCallAt(1)->popup.idString);
}

TEST_F(HelpTest, ControlWithoutTheEntryFallsBackToOwnPopup) {
    help->PointAt(BesideTests("hhbroken.dll"));
    for (int id : {IDC_LBUTTONUP, IDC_APPLIST}) {
        EXPECT_EQ(TRUE, RequestHelp(id));
        ASSERT_NE(nullptr, FallbackPopup()) << id;
        EXPECT_EQ(StringOf(id), PopupText());
        SendMessageA(FallbackPopup(), WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_EQ(nullptr, FallbackPopup()) << "a key closes it";
        EXPECT_EQ(dialog, GetActiveWindow()) << "and gives the dialog the keyboard back";
    }
    EXPECT_TRUE(IsWindow(dialog));
}

TEST_F(HelpTest, OwnPopupShowsTextInsideTheScreenAndClosesOnAClick) {
    help->PointAt(BesideTests("hhstandin.dll"));
    StandInReturns(nullptr);  // as Wine's control answers
    // The dialog at the bottom-right corner: the popup must still fit.
    RECT rc;
    GetWindowRect(dialog, &rc);
    SetWindowPos(dialog, nullptr, GetSystemMetrics(SM_CXSCREEN) - (rc.right - rc.left) + 40,
                 GetSystemMetrics(SM_CYSCREEN) - (rc.bottom - rc.top) + 30, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
    RequestHelp(IDC_DEFERRAL);
    EXPECT_EQ(1, StandInCalls());
    HWND popup = FallbackPopup();
    ASSERT_NE(nullptr, popup);
    EXPECT_EQ(StringOf(IDC_DEFERRAL), PopupText());
    EXPECT_TRUE(IsWindowVisible(popup));
    EXPECT_TRUE(GetWindowLongA(popup, GWL_EXSTYLE) & WS_EX_TOPMOST);
    GetWindowRect(popup, &rc);
    EXPECT_GE(rc.left, 0);
    EXPECT_GE(rc.top, 0);
    EXPECT_LE(rc.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_LE(rc.bottom, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_GT(rc.right - rc.left, 18 + 8) << "room for the text and margins";

    RequestHelp(IDC_APPLIST);  // a new request replaces it
    ASSERT_NE(nullptr, FallbackPopup());
    EXPECT_EQ(StringOf(IDC_APPLIST), PopupText());
    SendMessageA(FallbackPopup(), WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_EQ(nullptr, FallbackPopup());
}

TEST_F(HelpTest, OwnPopupClosesWhenAnotherWindowIsActivated) {
    help->PointAt(BesideTests("hhstandin.dll"));
    StandInReturns(nullptr);
    RequestHelp(IDC_TIMER);
    ASSERT_NE(nullptr, FallbackPopup());
    SendMessageA(FallbackPopup(), WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(dialog));
    EXPECT_EQ(nullptr, FallbackPopup());
}

TEST_F(HelpTest, F1OpensBelowTheControl) {
    help->PointAt(BesideTests("hhstandin.dll"));
    StandInReturns(nullptr);
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_F1] = 0x80;
    SetKeyboardState(keys);
    RequestHelp(IDC_GETUPDATERECT);
    keys[VK_F1] = 0;
    SetKeyboardState(keys);
    ASSERT_NE(nullptr, FallbackPopup());
    RECT control, popup;
    GetWindowRect(GetDlgItem(dialog, IDC_GETUPDATERECT), &control);
    GetWindowRect(FallbackPopup(), &popup);
    EXPECT_EQ(control.left, popup.left);
    EXPECT_GE(popup.top, control.bottom);
}

TEST_F(HelpTest, F1KeyOnAFocusedCheckBoxAsksForItsHelp) {
    help->PointAt(BesideTests("hhstandin.dll"));
    StandInReturns(dialog);
    CreateEntryWith("A", {1, 1, 1, 1, 1, 1, 1});
    Close();
    Open();
    Select(0);  // a disabled box cannot take the focus
    SetForegroundWindow(dialog);
    Pump();  // the activation gives the focus back to the list first
    SetFocus(GetDlgItem(dialog, IDC_KEYPRESS));
    Pump();
    ASSERT_EQ(GetDlgItem(dialog, IDC_KEYPRESS), GetFocus());
    INPUT press[2] = {};
    press[0].type = press[1].type = INPUT_KEYBOARD;
    press[0].ki.wVk = press[1].ki.wVk = VK_F1;
    press[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ASSERT_EQ(2u, SendInput(2, press, sizeof(INPUT)));
    for (int i = 0; i < 100 && StandInCalls() == 0; ++i) {
        Pump();
        Sleep(10);
    }
    ASSERT_EQ(1, StandInCalls());
    EXPECT_EQ(static_cast<UINT>(IDC_KEYPRESS), StandInCallAt(0)->popup.idString);
    EXPECT_EQ(GetDlgItem(dialog, IDC_KEYPRESS), StandInCallAt(0)->caller);
}

TEST_F(HelpTest, PlatformControlOnWineShowsNothingSoOwnPopupAppears) {
    if (!RunningOnWine()) GTEST_SKIP() << "Windows' control shows its own popup";
    help->PointAt(BesideTests("no-such-control.ocx"));  // then hhctrl.ocx is tried
    RequestHelp(IDC_RBUTTONUP);
    ASSERT_NE(nullptr, FallbackPopup());
    EXPECT_EQ(StringOf(IDC_RBUTTONUP), PopupText());
    EXPECT_NE(nullptr, GetModuleHandleA("hhctrl.ocx"));
}

// The registry may name the control with an expandable path.
TEST_F(HelpTest, ExpandableRegistryPathIsExpanded) {
    const std::string folder = BesideTests("");
    SetEnvironmentVariableA("KMX_HELP_FOLDER", folder.substr(0, folder.size() - 1).c_str());
    help->PointAt("%KMX_HELP_FOLDER%\\hhstandin.dll", REG_EXPAND_SZ);
    StandInReturns(dialog);
    RequestHelp(IDC_TIMER);
    EXPECT_EQ(1, StandInCalls());
    SetEnvironmentVariableA("KMX_HELP_FOLDER", nullptr);
}

// A name without its folder would be searched for beside the program first.
TEST_F(HelpTest, ControlNamedWithoutAFullPathIsNeverLoaded) {
    if (!InFreshProcess()) {
        EXPECT_EQ(0, RunCurrentTestInFreshProcess());
        return;
    }
    help->PointAt("hhstandin.dll");  // beside the test program
    RequestHelp(IDC_TIMER);
    EXPECT_EQ(nullptr, GetModuleHandleA("hhstandin.dll"));
}

// Run from a download folder, a file named like the control beside the
// program (or in the current folder) must never run inside it. The test
// program is copied into such a folder and run there; Wine is told to
// prefer files over its own built-in control, as Windows always does.
TEST_F(HelpTest, ControlPlantedBesideTheProgramOrInTheCurrentFolderIsNeverLoaded) {
    if (!InFreshProcess()) {
        TempFolder downloads;
        const std::string current = downloads.File("current");
        ASSERT_TRUE(CreateDirectoryA(current.c_str(), nullptr));
        const std::string standIn = BesideTests("hhstandin.dll");
        ASSERT_TRUE(CopyFileA(standIn.c_str(), downloads.File("hhctrl.ocx").c_str(), FALSE));
        ASSERT_TRUE(CopyFileA(standIn.c_str(), (current + "\\hhctrl.ocx").c_str(), FALSE));
        char self[MAX_PATH];
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        const std::string copy = downloads.File("kmx_tests.exe");
        ASSERT_TRUE(CopyFileA(self, copy.c_str(), FALSE));
        char overrides[512] = "";
        GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof(overrides));
        const std::string before = overrides;
        const std::string preferFiles = (before.empty() ? "" : before + ";") + "hhctrl.ocx=n,b";
        SetEnvironmentVariableA("WINEDLLOVERRIDES", preferFiles.c_str());
        char folderBefore[MAX_PATH];
        GetCurrentDirectoryA(MAX_PATH, folderBefore);
        SetCurrentDirectoryA(current.c_str());
        EXPECT_EQ(0, RunCurrentTestInFreshProcess(copy));
        SetCurrentDirectoryA(folderBefore);
        SetEnvironmentVariableA("WINEDLLOVERRIDES", before.c_str());
        return;
    }
    help->Forget();  // the registry names no control: the platform's is looked for
    RequestHelp(IDC_TIMER);
    HMODULE loaded = GetModuleHandleA("hhctrl.ocx");
    ASSERT_NE(nullptr, loaded) << "the system's control is loaded";
    char file[MAX_PATH] = "";
    GetModuleFileNameA(loaded, file, MAX_PATH);
    char system[MAX_PATH] = "";
    const UINT length = GetSystemDirectoryA(system, MAX_PATH);
    EXPECT_EQ(0, lstrcmpiA(std::string(file).substr(0, length).c_str(), system))
        << file << " is not the system's";
}

}  // namespace
