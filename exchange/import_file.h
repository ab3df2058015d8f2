// Reads application entries from a registry file into the registry.
#pragma once
#include <windows.h>

void ImportRegistryFile(HWND owner, HWND list, const char* path);
