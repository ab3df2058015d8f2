// Export and Import as the dialog offers them: the file operations, with the
// questions and messages the user sees and the list kept in step.
#pragma once
#include <windows.h>

// The settings key's error when it cannot be opened (no file is written),
// otherwise ERROR_SUCCESS or the error that kept the file from being
// written. Failures are told to the user in a box owned by `owner`.
LONG ExportRegistryFile(HWND owner, const char* path);

// Asks once whether existing entries are replaced, imports the entries of
// the file at `path` and appends new names to `list`. Tells the user when
// the file holds nothing or some settings could not be imported.
void ImportRegistryFile(HWND owner, HWND list, const char* path);
