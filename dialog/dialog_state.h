// What the main dialog holds from WM_INITDIALOG to WM_DESTROY, one instance
// for the process.
#pragma once
#include <windows.h>

#include "store/handles.h"
#include "store/hook_settings.h"

struct DialogState {
    HINSTANCE instance = nullptr;  // set by the entry point, names every resource
    HWND window = nullptr;
    HWND list = nullptr;
    UniqueIcon icon;
    UniqueMenu menu;
    HMENU contextMenu = nullptr;           // submenu 0 of `menu`, owned by it
    char path[MAX_PATH] = {};              // shared by Import and Export
    DWORD loaded[kHookSettingCount] = {};  // what the panel last read
};

extern DialogState g_dialog;
