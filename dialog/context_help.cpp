#include "dialog/context_help.h"

#include <htmlhelp.h>

#include "dialog/dialog_state.h"
#include "dialog/help_popup.h"
#include "res/resource.h"
#include "store/handles.h"

namespace {

static_assert(sizeof(void*) != 4 || sizeof(HH_POPUP) == 52, "the control's 32-bit record");

using HtmlHelpProc = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);

// Loaded on the first request and kept until the process ends, so no owner
// releases it.
HMODULE g_helpModule = nullptr;
HtmlHelpProc g_htmlHelp = nullptr;
bool g_loadFailed = false;

const int kHtmlHelpAOrdinal = 14;
const int kHelpIdCount = IDC_DEFERRAL - IDC_APPLIST + 1;

// A relative name would be searched for in the program's folder and the
// current folder before the system's.
bool IsFullPath(const char* path) {
    return (path[0] == '\\' && path[1] == '\\') ||
           (path[0] != '\0' && path[1] == ':' && (path[2] == '\\' || path[2] == '/'));
}

// The platform's control from the system folder only: a bare name would
// load a file of that name planted in the program's folder (a download
// folder, say) or in the current folder.
HMODULE LoadSystemControl() {
    // Systems that know LOAD_LIBRARY_SEARCH_SYSTEM32 export AddDllDirectory
    // (Windows 8, and 7 with its update); older ones fail the flag.
    if (GetProcAddress(GetModuleHandleA("kernel32.dll"), "AddDllDirectory")) {
        return LoadLibraryExA("hhctrl.ocx", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    char path[MAX_PATH];
    const char kFile[] = "\\hhctrl.ocx";
    const UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length + sizeof(kFile) > MAX_PATH) return nullptr;
    lstrcpynA(path + length, kFile, MAX_PATH - static_cast<int>(length));
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

HWND CallHtmlHelp(HWND caller, LPCSTR file, UINT command, DWORD_PTR data) {
    if (!g_helpModule && !g_loadFailed) {
        char path[MAX_PATH];
        if (FindHtmlHelpControl(path) && IsFullPath(path)) {
            // The control's own folder is searched for what it needs.
            g_helpModule = LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        }
        if (!g_helpModule) g_helpModule = LoadSystemControl();
        if (!g_helpModule) {
            g_loadFailed = true;
            return nullptr;
        }
    }
    if (!g_helpModule) return nullptr;  // an earlier load failed: never again
    if (!g_htmlHelp) {
        g_htmlHelp = reinterpret_cast<HtmlHelpProc>(reinterpret_cast<void*>(
            GetProcAddress(g_helpModule, MAKEINTRESOURCEA(kHtmlHelpAOrdinal))));
        if (!g_htmlHelp) {
            g_loadFailed = true;
            return nullptr;
        }
    }
    return g_htmlHelp(caller, file, command, data);
}

}  // namespace

int FindHtmlHelpControl(char* path) {
    UniqueRegKey key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT,
                      "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32", 0, KEY_READ,
                      key.put()) != ERROR_SUCCESS) {
        return 0;
    }
    // One byte is kept back for the terminator a stored string may lack.
    char stored[MAX_PATH];
    DWORD size = MAX_PATH - 1;
    DWORD type = REG_NONE;
    if (RegQueryValueExA(key.get(), "", nullptr, &type, reinterpret_cast<BYTE*>(stored), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return 0;
    }
    stored[size] = '\0';
    if (type == REG_SZ) {
        lstrcpynA(path, stored, MAX_PATH);
        return 1;
    }
    // Such as "%SystemRoot%\System32\hhctrl.ocx"; the result counts its
    // terminator, and one that does not fit is no path.
    const DWORD expanded = ExpandEnvironmentStringsA(stored, path, MAX_PATH);
    return expanded != 0 && expanded <= MAX_PATH ? 1 : 0;
}

void ShowControlHelp(const HELPINFO* help) {
    if (static_cast<unsigned>(help->iCtrlId - IDC_APPLIST) >= kHelpIdCount) return;
    HH_POPUP popup = {};
    popup.cbStruct = sizeof(popup);
    popup.hinst = g_dialog.instance;
    popup.idString = static_cast<UINT>(help->iCtrlId);
    popup.pszText = nullptr;
    popup.pt.x = -1;
    popup.pt.y = -1;
    popup.clrForeground = static_cast<COLORREF>(-1);
    popup.clrBackground = static_cast<COLORREF>(-1);
    popup.rcMargins.left = 18;
    popup.rcMargins.top = 8;
    popup.rcMargins.right = 8;
    popup.rcMargins.bottom = 8;
    popup.pszFont = "MS Sans Serif, 8, , ";
    HWND control = static_cast<HWND>(help->hItemHandle);
    // Wine's control answers HH_DISPLAY_TEXT_POPUP with NULL and shows
    // nothing; then, or without a control, the program shows the text itself.
    if (!CallHtmlHelp(control, nullptr, HH_DISPLAY_TEXT_POPUP,
                      reinterpret_cast<DWORD_PTR>(&popup))) {
        ShowHelpPopup(control, popup, help->MousePos);
    }
}
