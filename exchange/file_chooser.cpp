#include "exchange/file_chooser.h"

#include <commdlg.h>
#include <stddef.h>
#include <string.h>

namespace {

// Where the last file dialog of the run was when it closed; empty until then.
RECT g_lastRect = {};

const char kFilter[] = "REG Files (*.reg)\0*.reg\0All Files (*.*)\0*.*\0";

// The record up to lpTemplateName, without the later reserved fields: the
// size every version of the dialogs accepts, on either architecture.
const DWORD kOpenFileNameSize = OPENFILENAME_SIZE_VERSION_400A;
static_assert(sizeof(void*) != 4 || offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR) == 76,
              "the 32-bit record");

const DWORD kOpenFlags = OFN_HIDEREADONLY | OFN_ENABLEHOOK | OFN_FILEMUSTEXIST | OFN_EXPLORER |
                         OFN_ENABLESIZING | OFN_DONTADDTORECENT;
const DWORD kSaveFlags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_ENABLEHOOK | OFN_EXPLORER |
                         OFN_ENABLESIZING | OFN_DONTADDTORECENT;

// One axis of the centring: the left (or top) edge for a window of `size`.
int CentredEdge(LONG refStart, LONG refEnd, LONG size, int screen) {
    int edge = refStart + ((refEnd - refStart) - size) / 2;  // truncates toward zero
    if (edge > screen) edge = screen - size;
    if (edge < 0) edge = 0;
    return edge;
}

}  // namespace

BOOL CenterWindow(HWND window, HWND reference) {
    RECT w = {};
    GetWindowRect(window, &w);
    const int screenX = GetSystemMetrics(SM_CXSCREEN);
    const int screenY = GetSystemMetrics(SM_CYSCREEN);
    RECT r = {0, 0, screenX, screenY};
    if (reference) GetWindowRect(reference, &r);
    const int x = CentredEdge(r.left, r.right, w.right - w.left, screenX);
    const int y = CentredEdge(r.top, r.bottom, w.bottom - w.top, screenY);
    return SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

UINT_PTR CALLBACK FileDialogHookProc(HWND hook, UINT message, WPARAM, LPARAM lParam) {
    // In an Explorer-style dialog the hook is a child of the visible dialog.
    switch (message) {
    case WM_NOTIFY: {
        const OFNOTIFYA* notify = reinterpret_cast<const OFNOTIFYA*>(lParam);
        if (notify->hdr.code != static_cast<UINT>(CDN_INITDONE)) return 0;
        HWND fileDialog = GetParent(hook);
        if (IsRectEmpty(&g_lastRect)) {
            CenterWindow(fileDialog, notify->lpOFN->hwndOwner);
        } else {
            // Only the corner comes back, unclamped: the user may have put it
            // on another monitor.
            SetWindowPos(fileDialog, nullptr, g_lastRect.left, g_lastRect.top, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER);
        }
        return 1;
    }
    case WM_DESTROY:
        GetWindowRect(GetParent(hook), &g_lastRect);
        return 1;
    default:
        return 0;
    }
}

int ChooseExchangeFile(HWND owner, char* path, int save) {
    OPENFILENAMEA ofn;
    memset(&ofn, 0, sizeof(ofn));
    ofn.lStructSize = kOpenFileNameSize;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = kFilter;
    ofn.nFilterIndex = 0;
    ofn.lpstrFile = path;
    ofn.nMaxFile = MAX_PATH;
    ofn.Flags = save ? kSaveFlags : kOpenFlags;
    ofn.lpstrDefExt = "reg";
    ofn.lpfnHook = FileDialogHookProc;
    const BOOL chosen = save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
    return chosen ? 1 : 0;
}
