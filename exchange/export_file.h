// Writes every application entry and its stored flags to a REGEDIT4 file.
#pragma once
#include <windows.h>

// The open export file and the error of the first write that failed
// (ERROR_SUCCESS while none has).
struct ExportOutput {
    HANDLE file;
    LONG error;
};

// The settings key's error when it cannot be opened (no file is written),
// otherwise ERROR_SUCCESS or the error that kept the file from being
// written. The file at `path` is replaced only by a complete export.
// Failures are told to the user in a box owned by `owner`.
LONG ExportRegistryFile(HWND owner, const char* path);

// The value line of one setting that reads as a REG_DWORD; false when it
// was not written.
bool WriteValueLine(const char* valueName, DWORD value, ExportOutput* out);
