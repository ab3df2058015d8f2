// A finished file takes the place of the one the user chose only as a whole:
// it is written beside the target under a temporary name, then swapped in.
// Whatever fails, the path holds either the complete new file or the user's
// old one, byte for byte.
#pragma once
#include <windows.h>

#include "store/handles.h"

// The error of the file call that just failed; some failures (a short
// write) leave none behind, and a failure must never read as success.
LONG LastFailure();

// Creates a new, empty file beside `path` (its name into `temp`, MAX_PATH
// bytes) to write into. ERROR_FILENAME_EXCED_RANGE when the folder leaves no
// room for the name: such a name is never cut.
LONG CreateFileBeside(const char* path, char* temp, UniqueFile* file);

// Flushes and closes the file; what was written is on the disk only when
// both succeed.
LONG FinishFile(UniqueFile* file);

// Moves the finished file at `temp` to `path`, replacing the file there and
// keeping its attributes, access list and streams. ERROR_SUCCESS when the new
// file is at `path`; otherwise the error, and the old file is at `path`
// again. The temporary file is gone either way.
LONG PutInPlace(const char* temp, const char* path);

// ReplaceFileA, swapped by tests for the half-done failures Windows
// documents and Wine never produces.
using ReplaceFileProc = BOOL(WINAPI*)(LPCSTR replaced, LPCSTR replacement, LPCSTR backup,
                                      DWORD flags, LPVOID exclude, LPVOID reserved);
extern ReplaceFileProc g_replaceFile;

// GetFileAttributesA of the chosen file before it is replaced, swapped by
// tests for failures Wine run as root cannot produce (access denied to an
// existing file).
using FileAttributesProc = DWORD(WINAPI*)(LPCSTR path);
extern FileAttributesProc g_targetAttributes;
