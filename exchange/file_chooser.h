// The common Open and Save dialogs for the registry files.
#pragma once
#include <windows.h>

// 1 when the user chose a file (its full path is then in `path`, a buffer of
// MAX_PATH bytes), 0 otherwise. `save` 0 opens, anything else saves.
int ChooseExchangeFile(HWND owner, char* path, int save);
