#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include "dialog/dialog_state.h"

// The test program stands in for the entry point: it holds the resources
// and gives the dialog its instance handle.
int main(int argc, char** argv) {
    g_dialog.instance = GetModuleHandleA(nullptr);
    InitCommonControls();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
