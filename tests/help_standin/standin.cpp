// A stand-in for the HTML Help control: its ordinal 14 records every call
// and returns what the test asked for, showing nothing.
#include "standin.h"

namespace {
StandInCall g_calls[64];
int g_count = 0;
HWND g_result = nullptr;
}  // namespace

extern "C" __declspec(dllexport) HWND WINAPI
    StandInHtmlHelpA(HWND caller, LPCSTR file, UINT command, DWORD_PTR data) {
    if (g_count < 64) {
        StandInCall& call = g_calls[g_count];
        call.caller = caller;
        call.fileIsNull = file == nullptr;
        call.command = command;
        const HH_POPUP* popup = reinterpret_cast<const HH_POPUP*>(data);
        call.popup = *popup;
        lstrcpynA(call.font, popup->pszFont ? popup->pszFont : "<null>", sizeof(call.font));
    }
    ++g_count;
    return g_result;
}

extern "C" __declspec(dllexport) int WINAPI StandInCallCount() { return g_count; }

extern "C" __declspec(dllexport) const StandInCall* WINAPI StandInCallAt(int index) {
    return index >= 0 && index < g_count && index < 64 ? &g_calls[index] : nullptr;
}

extern "C" __declspec(dllexport) void WINAPI StandInReturn(HWND result) { g_result = result; }
