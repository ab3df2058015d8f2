// What the stand-in HTML Help control records of each call. Shared by the
// stand-in DLL and the tests that read it.
#pragma once
#include <windows.h>
#include <htmlhelp.h>

struct StandInCall {
    HWND caller;
    bool fileIsNull;
    UINT command;
    HH_POPUP popup;  // a copy; its pointers are the caller's
    char font[64];   // what popup.pszFont pointed at
};

using StandInCallCountProc = int(WINAPI*)();
using StandInCallAtProc = const StandInCall*(WINAPI*)(int index);
using StandInReturnProc = void(WINAPI*)(HWND result);
