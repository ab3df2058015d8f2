// Reads application entries from a registry file into the registry, through
// the platform's profile-file reader.
#pragma once
#include <windows.h>

// Asks once whether existing entries are replaced, imports the entries of
// the file at `path` and appends new names to `list`. Tells the user when
// the file holds nothing or some settings could not be written.
void ImportRegistryFile(HWND owner, HWND list, const char* path);

// The hexadecimal digits at the start of `text`; only the last eight count.
DWORD ParseHex(const char* text);
