// The common Open and Save dialogs for the registry files, placed over the
// main dialog the first time and where the user left them afterwards.
#pragma once
#include <windows.h>

// 1 when the user chose a file (its full path is then in `path`, a buffer of
// MAX_PATH bytes), 0 otherwise. `save` 0 opens, anything else saves.
int ChooseExchangeFile(HWND owner, char* path, int save);

// Centres a top-level window over `reference`, or over the primary screen
// when it is NULL, kept from starting off the screen's left or top.
BOOL CenterWindow(HWND window, HWND reference);

UINT_PTR CALLBACK FileDialogHookProc(HWND hook, UINT message, WPARAM wParam, LPARAM lParam);
