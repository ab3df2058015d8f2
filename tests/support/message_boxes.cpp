#include "support/message_boxes.h"

#include <algorithm>

namespace {
MessageBoxes* g_active = nullptr;

UINT IconStyle(HWND box) {
    struct Icon {
        LPCSTR id;
        UINT style;
    };
    const Icon icons[] = {{IDI_HAND, MB_ICONERROR},
                          {IDI_EXCLAMATION, MB_ICONWARNING},
                          {IDI_QUESTION, MB_ICONQUESTION},
                          {IDI_ASTERISK, MB_ICONINFORMATION}};
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        HICON shown = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
        if (!shown) continue;
        for (const Icon& icon : icons) {
            if (LoadIconA(nullptr, icon.id) == shown) return icon.style;
        }
    }
    return 0;
}

UINT ButtonStyle(HWND box) {
    auto has = [box](int id) { return GetDlgItem(box, id) != nullptr; };
    if (has(IDYES) && has(IDNO)) return has(IDCANCEL) ? MB_YESNOCANCEL : MB_YESNO;
    if (has(IDOK) && has(IDCANCEL)) return MB_OKCANCEL;
    return MB_OK;
}
}  // namespace

MessageBoxes::MessageBoxes() {
    g_active = this;
    hook_ = SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId());
}

MessageBoxes::~MessageBoxes() {
    UnhookWindowsHookEx(hook_);
    g_active = nullptr;
}

LRESULT CALLBACK MessageBoxes::Hook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && g_active) g_active->OnActivate(reinterpret_cast<HWND>(wParam));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void MessageBoxes::OnActivate(HWND box) {
    char className[16] = "";
    GetClassNameA(box, className, sizeof(className));
    // The main dialog is a #32770 too; only a message box has the 0xFFFF text.
    HWND textControl = GetDlgItem(box, 0xFFFF);
    if (lstrcmpA(className, "#32770") != 0 || !textControl) return;
    // Nor is a file dialog, whose labels may carry that id as well.
    if (GetDlgItem(box, 0x480) || GetDlgItem(box, 0x47c) || GetDlgItem(box, 0x470)) return;
    if (std::find(seen_.begin(), seen_.end(), box) != seen_.end()) return;
    seen_.push_back(box);

    ShownBox shown;
    shown.owner = GetWindow(box, GW_OWNER);
    shown.ownerVisible = shown.owner && IsWindowVisible(shown.owner);
    char text[2048] = "";
    GetWindowTextA(textControl, text, sizeof(text));
    shown.text = text;
    GetWindowTextA(box, text, sizeof(text));
    shown.caption = text;
    const UINT buttons = ButtonStyle(box);
    shown.style = IconStyle(box) | buttons;
    if (!answers_.empty()) {
        shown.answer = answers_.front();
        answers_.pop_front();
    } else {
        shown.answer = (buttons == MB_YESNO || buttons == MB_YESNOCANCEL) ? IDNO : IDOK;
    }
    shown_.push_back(shown);
    PostMessageA(box, WM_COMMAND, shown.answer, 0);
}

std::vector<std::string> MessageBoxes::Texts() const {
    std::vector<std::string> texts;
    for (const ShownBox& box : shown_) texts.push_back(box.text);
    return texts;
}
