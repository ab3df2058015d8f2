// Writes every application entry to a REGEDIT4 file.
#pragma once
#include <windows.h>

LONG ExportRegistryFile(HWND owner, const char* path);
