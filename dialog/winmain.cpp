#include <windows.h>
#include <commctrl.h>

#include "dialog/dialog_state.h"
#include "dialog/main_dialog.h"
#include "res/resource.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    g_dialog.instance = instance;
    InitCommonControls();
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
    return 0;  // whatever the dialog returned
}
