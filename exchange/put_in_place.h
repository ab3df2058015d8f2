// A finished file takes the place of the one the user chose only as a whole:
// it is written beside the target under a temporary name, then swapped in.
// Whatever fails, the path holds either the complete new file or the user's
// old one, byte for byte, or the user is told where both are.
#pragma once
#include <windows.h>

#include "store/handles.h"

// The error of the file call that just failed; some failures (a short
// write) leave none behind, and a failure must never read as success.
LONG LastFailure();

// The file that an export to `path` replaces, into `target` (MAX_PATH
// bytes): where `path` is a link (a reparse point), the file it points to,
// so that the link stays a link; `path` itself otherwise, as the user wrote
// it. ERROR_FILENAME_EXCED_RANGE or ERROR_NO_UNICODE_TRANSLATION when the
// link's target has no exact name of MAX_PATH bytes in the ANSI code page:
// any other name would be another file.
LONG ResolveTarget(const char* path, char* target);

// Creates a new, empty file beside `path` (its name into `temp`, MAX_PATH
// bytes) to write into. ERROR_FILENAME_EXCED_RANGE when the folder leaves no
// room for the name: such a name is never cut.
LONG CreateFileBeside(const char* path, char* temp, UniqueFile* file);

// Writes all of `text` to the file; the error when it could not.
LONG WriteAll(HANDLE file, const char* text, DWORD length);

// Deletes a file that may be held for a moment after it was closed.
bool DeleteWhenFree(const char* path);

// Flushes and closes the file; what was written is on the disk only when
// both succeed.
LONG FinishFile(UniqueFile* file);

// Where the files are when a replace failed half-way and neither could be
// moved back to the path: the user's old file and the new one. After a
// replace that worked, `backup` names a copy of the old file that could not
// be deleted.
struct StrandedFiles {
    char earlier[MAX_PATH];
    char fresh[MAX_PATH];
    char backup[MAX_PATH];
};

// Moves the finished file at `temp` to `path`, replacing the file there and
// keeping its access list and streams. ERROR_SUCCESS when the new file is at
// `path`; otherwise the error, the old file is at `path` again and the
// temporary file is gone. Only when neither file could be moved to the path
// does it fill `stranded` (its names empty otherwise), and nothing is
// deleted.
LONG PutInPlace(const char* temp, const char* path, StrandedFiles* stranded);

// ReplaceFileA, swapped by tests for the half-done failures Windows
// documents and Wine never produces.
using ReplaceFileProc = BOOL(WINAPI*)(LPCSTR replaced, LPCSTR replacement, LPCSTR backup,
                                      DWORD flags, LPVOID exclude, LPVOID reserved);
extern ReplaceFileProc g_replaceFile;

// GetFileAttributesA of the chosen file before it is replaced, swapped by
// tests for failures Wine run as root cannot produce (access denied to an
// existing file), and for links: Wine shows a symbolic link as a plain file,
// Windows as a reparse point.
using FileAttributesProc = DWORD(WINAPI*)(LPCSTR path);
extern FileAttributesProc g_targetAttributes;

// SetFileAttributesA of the new file, swapped by tests: Wine keeps none of
// the attributes that must not pass to it (OFFLINE, PINNED) and shows every
// file with the archive bit, so only the call itself shows what was asked.
using SetAttributesProc = BOOL(WINAPI*)(LPCSTR path, DWORD attributes);
extern SetAttributesProc g_setAttributes;

// WriteFile and FlushFileBuffers of the export, swapped by tests for the
// failures of a full or vanishing disk that Wine does not produce.
using WriteFileProc = BOOL(WINAPI*)(HANDLE file, LPCVOID data, DWORD size, LPDWORD written,
                                    LPOVERLAPPED overlapped);
using FlushFileProc = BOOL(WINAPI*)(HANDLE file);
extern WriteFileProc g_writeFile;
extern FlushFileProc g_flushFile;
