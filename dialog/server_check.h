// Whether the remote-desktop server runs: it holds a named single-instance
// mutex.
#pragma once
#include <windows.h>

bool IsServerRunning();

// OpenMutexA, swapped by tests for conditions Wine cannot make (a mutex only
// in the global namespace of another session, one the user may not open).
using OpenMutexProc = HANDLE(WINAPI*)(DWORD access, BOOL inherit, LPCSTR name);
extern OpenMutexProc g_openMutex;
