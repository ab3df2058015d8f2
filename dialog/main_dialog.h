// The program's one window: a modal dialog with the application list and the
// settings panel.
#pragma once
#include <windows.h>

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The caption of every message box the program shows.
extern const char kAppTitle[];
