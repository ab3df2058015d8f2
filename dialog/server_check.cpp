#include "dialog/server_check.h"

#include <windows.h>

#include "store/handles.h"

bool IsServerRunning() {
    UniqueHandle mutex(CreateMutexA(nullptr, FALSE, "Dravik_Win32_Instance_Mutex"));
    if (mutex.valid() && GetLastError() == ERROR_ALREADY_EXISTS) {
        // Deliberately kept: the process holds it until it ends.
        mutex.release();
        return true;
    }
    return false;
}
