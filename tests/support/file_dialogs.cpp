#include "support/file_dialogs.h"

#include <commdlg.h>

namespace {
FileDialogs* g_active = nullptr;
const int kFileNameEdit = 0x480;

bool IsDialogClass(HWND window) {
    char name[16] = "";
    GetClassNameA(window, name, sizeof(name));
    return lstrcmpA(name, "#32770") == 0;
}
}  // namespace

FileDialogs::FileDialogs() {
    g_active = this;
    hook_ = SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId());
}

FileDialogs::~FileDialogs() {
    UnhookWindowsHookEx(hook_);
    g_active = nullptr;
}

LRESULT CALLBACK FileDialogs::Hook(int code, WPARAM wParam, LPARAM lParam) {
    FileDialogs* self = g_active;
    HWND window = reinterpret_cast<HWND>(wParam);
    if (self && code == HCBT_CREATEWND && IsDialogClass(window)) {
        const CREATESTRUCTA* cs = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs;
        // The hook's child dialog of an Explorer-style file dialog: spy on
        // what the platform sends it before the program's hook sees it.
        if ((cs->style & WS_CHILD) && cs->hwndParent && IsDialogClass(cs->hwndParent) &&
            !self->childProc_) {
            self->dialog_ = cs->hwndParent;
            self->childProc_ = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ChildSpy)));
            self->dialogProc_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
                cs->hwndParent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DialogSpy)));
            self->pendingVisit_ = self->visits_.size();
            // Wine activates the file dialog before it creates the hook's
            // child, so act from a timer once the dialog is up.
            SetTimer(nullptr, 0, 10, Act);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK FileDialogs::ChildSpy(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    FileDialogs* self = g_active;
    WNDPROC original = self->childProc_;
    if (message == WM_NOTIFY &&
        reinterpret_cast<const NMHDR*>(lParam)->code == static_cast<UINT>(CDN_INITDONE)) {
        const OPENFILENAMEA* ofn = reinterpret_cast<const OFNOTIFYA*>(lParam)->lpOFN;
        FileDialogVisit visit;
        visit.structSize = ofn->lStructSize;
        visit.flags = ofn->Flags;
        visit.owner = ofn->hwndOwner;
        for (const char* p = ofn->lpstrFilter; p && *p; p += lstrlenA(p) + 1)
            visit.filter.push_back(p);
        visit.defaultExtension = ofn->lpstrDefExt ? ofn->lpstrDefExt : "";
        visit.initialFile = ofn->lpstrFile ? ofn->lpstrFile : "";
        visit.maxFile = ofn->nMaxFile;
        visit.filterIndex = ofn->nFilterIndex;
        visit.hasHook = ofn->lpfnHook != nullptr;
        self->visits_.push_back(visit);
        // The program's hook runs inside the original procedure.
        self->inHook_ = true;
        const LRESULT result = CallWindowProcA(original, window, message, wParam, lParam);
        self->inHook_ = false;
        return result;
    }
    if (message == WM_DESTROY && (self->growAtClose_.cx || self->growAtClose_.cy)) {
        HWND dialog = GetParent(window);
        RECT r;
        GetWindowRect(dialog, &r);
        self->hidingGrowth_ = true;
        SetWindowPos(dialog, nullptr, 0, 0, r.right - r.left + self->growAtClose_.cx,
                     r.bottom - r.top + self->growAtClose_.cy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        self->hidingGrowth_ = false;
        self->growAtClose_ = {0, 0};
    }
    if (message == WM_NCDESTROY) {
        self->childProc_ = nullptr;
    }
    return CallWindowProcA(original, window, message, wParam, lParam);
}

LRESULT CALLBACK FileDialogs::DialogSpy(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    FileDialogs* self = g_active;
    WNDPROC original = self->dialogProc_;
    if (self->hidingGrowth_ && (message == WM_WINDOWPOSCHANGING || message == WM_WINDOWPOSCHANGED ||
                                message == WM_SIZE || message == WM_GETMINMAXINFO)) {
        return 0;  // the platform's dialog never hears of it
    }
    if (message == WM_WINDOWPOSCHANGING && self->inHook_ && !self->visits_.empty() &&
        !(reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_NOSIZE)) {
        self->visits_.back().hookResized = true;
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        self->dialogProc_ = nullptr;
    }
    return CallWindowProcA(original, window, message, wParam, lParam);
}

void CALLBACK FileDialogs::Act(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    FileDialogs* self = g_active;
    if (!self || !self->dialog_) return;
    HWND dialog = self->dialog_;
    if (!IsWindowVisible(dialog) || self->visits_.size() == self->pendingVisit_) {
        SetTimer(nullptr, 0, 10, Act);  // not laid out and shown yet
        return;
    }
    self->dialog_ = nullptr;
    if (!self->visits_.empty()) {
        GetWindowRect(dialog, &self->visits_.back().placed);
        self->visits_.back().typeSelection =
            static_cast<int>(SendDlgItemMessageA(dialog, 0x470, CB_GETCURSEL, 0, 0));
    }
    Action action;
    if (self->actions_.empty()) {
        action.cancel = true;  // nothing queued: never leave a dialog open
        action.move = {-1, -1};
    } else {
        action = self->actions_.front();
        self->actions_.pop_front();
    }
    if (action.move.x != -1 || action.move.y != -1) {
        SetWindowPos(dialog, nullptr, action.move.x, action.move.y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER);
    }
    self->growAtClose_ = action.grow;
    if (action.cancel) {
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    } else {
        SendMessageA(dialog, CDM_SETCONTROLTEXT, kFileNameEdit,
                     reinterpret_cast<LPARAM>(action.name.c_str()));
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    }
}
