// Waiting out another program that holds a file for a moment. On Windows a
// file is opened right after it changes: the virus scanner scans it, the
// indexer reads it, a sync client uploads it, each often without delete
// sharing. A step refused meanwhile works a moment later.
#pragma once
#include <windows.h>

// The pauses between attempts, growing so that a busy machine's scanner does
// not outlast them: about five seconds in all before a step gives up.
constexpr DWORD kHeldPausesMs[] = {50, 100, 200, 400, 800, 1600, 1850};

// The errors a hold produces for every file step.
inline bool IsHeldError(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// Runs `step` again while it fails with an error `held` accepts, pausing as
// above; any other failure ends it at once. GetLastError is the step's own
// afterwards.
template <typename Step, typename Held>
bool UntilNotHeld(Step step, Held held) {
    for (DWORD pause : kHeldPausesMs) {
        if (step()) return true;
        const DWORD error = GetLastError();
        if (!held(error)) {
            SetLastError(error);
            return false;
        }
        Sleep(pause);
    }
    return step();
}

template <typename Step>
bool UntilNotHeld(Step step) {
    return UntilNotHeld(step, IsHeldError);
}
