#include "dialog/server_check.h"

#include "store/handles.h"

namespace {

const char* const kServerMutexNames[] = {
    // A server running as a service creates its mutex in the global
    // namespace, which the plain name, looked up from a user's session,
    // never reaches.
    "Global\\Dravik_Win32_Instance_Mutex",
    "Dravik_Win32_Instance_Mutex",
};

}  // namespace

OpenMutexProc g_openMutex = OpenMutexA;

// Only looked at, never created or kept: a handle held here would keep the
// server's mutex alive after the server stops, and it would then refuse to
// start again.
bool IsServerRunning() {
    for (const char* name : kServerMutexNames) {
        UniqueHandle mutex(g_openMutex(SYNCHRONIZE, FALSE, name));
        // A mutex whose security shuts this user out still exists.
        if (mutex.valid() || GetLastError() == ERROR_ACCESS_DENIED) return true;
    }
    return false;
}
