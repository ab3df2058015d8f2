// Help when no HTML Help control can be loaded at all (the platform's is
// disabled for this program): the program's own popup, and no second try.
#include <gtest/gtest.h>

#include "dialog/main_dialog.h"
#include "res/resource.h"
#include "support/dialog_harness.h"
#include "support/help_control.h"

namespace {

class NoHelpControlTest : public DialogTest {};

TEST_F(NoHelpControlTest, OwnPopupAndNoLaterLoad) {
    HelpControlSandbox help;
    help.PointAt(BesideTests("no-such-control.ocx"));
    Open();
    HELPINFO info = {};
    info.cbSize = sizeof(info);
    info.iContextType = HELPINFO_WINDOW;
    info.iCtrlId = IDC_TIMER;
    info.hItemHandle = GetDlgItem(dialog, IDC_TIMER);
    EXPECT_EQ(TRUE, MainDialogProc(dialog, WM_HELP, 0, reinterpret_cast<LPARAM>(&info)));
    ASSERT_EQ(nullptr, GetModuleHandleA("hhctrl.ocx")) << "the platform's control is disabled here";
    ASSERT_NE(nullptr, FallbackPopup());
    char text[1024] = "";
    GetWindowTextA(FallbackPopup(), text, sizeof(text));
    EXPECT_NE(nullptr, strstr(text, "timer events"));

    // A control that would load now is not tried: the failure is final.
    help.PointAt(BesideTests("hhstandin.dll"));
    info.iCtrlId = IDC_KEYPRESS;
    info.hItemHandle = GetDlgItem(dialog, IDC_KEYPRESS);
    MainDialogProc(dialog, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(nullptr, GetModuleHandleA("hhstandin.dll"));
    ASSERT_NE(nullptr, FallbackPopup());
    GetWindowTextA(FallbackPopup(), text, sizeof(text));
    EXPECT_NE(nullptr, strstr(text, "keyboard events"));
}

}  // namespace
