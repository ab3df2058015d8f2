#include "support/dialog_harness.h"

#include "dialog/dialog_state.h"
#include "dialog/main_dialog.h"
#include "res/resource.h"
#include "store/hook_settings.h"

void DialogTest::TearDown() {
    if (dialog) Close();
}

void DialogTest::Open() {
    // Under Wine window creation can be refused for a moment (while a
    // wineserver started without a display goes away): the test waits that
    // out rather than failing before it has begun.
    for (int attempt = 0; attempt < 40 && !dialog; ++attempt) {
        if (attempt > 0) Sleep(50);
        dialog = CreateDialogParamA(g_dialog.instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr,
                                    MainDialogProc, 0);
    }
    ASSERT_NE(nullptr, dialog) << "error " << GetLastError();
    list = GetDlgItem(dialog, IDC_APPLIST);
    ShowWindow(dialog, SW_SHOW);
    SetForegroundWindow(dialog);
    // The activation may come back through the display later; arriving in
    // the middle of a test, it moves the focus and so ends a label edit that
    // has begun. The test starts once the dialog is active.
    for (int i = 0; i < 100 && GetActiveWindow() != dialog; ++i) {
        Pump();
        Sleep(10);
    }
    Pump();
}

void DialogTest::Close() {
    DestroyWindow(dialog);
    dialog = nullptr;
    list = nullptr;
    Pump();
}

void DialogTest::Select(int item) {
    LVITEMA state = {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&state));
}

void DialogTest::Deselect(int item) {
    LVITEMA state = {};
    state.stateMask = LVIS_SELECTED;
    SendMessageA(list, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&state));
}

void DialogTest::Click(int controlId) {
    SendMessageA(GetDlgItem(dialog, controlId), BM_CLICK, 0, 0);
}

void DialogTest::Command(WORD id, WORD code) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, code), 0);
}

void DialogTest::Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!dialog || !IsDialogMessageA(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

std::vector<int> DialogTest::Panel() const {
    std::vector<int> panel;
    for (const HookSetting& setting : kHookSettings) {
        HWND box = GetDlgItem(dialog, setting.checkBoxId);
        const int check = static_cast<int>(SendMessageA(box, BM_GETCHECK, 0, 0));
        if (IsWindowEnabled(box)) {
            panel.push_back(check);
        } else {
            panel.push_back(check == BST_UNCHECKED ? kDisabled : kDisabledChecked);
        }
    }
    return panel;
}

std::string ItemText(HWND list, int item) {
    char text[512] = "";
    LVITEMA lvi = {};
    lvi.pszText = text;
    lvi.cchTextMax = sizeof(text);
    SendMessageA(list, LVM_GETITEMTEXTA, item, reinterpret_cast<LPARAM>(&lvi));
    return text;
}

std::vector<std::string> DialogTest::Items() const {
    std::vector<std::string> items;
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) items.push_back(ItemText(list, i));
    return items;
}

LPARAM DialogTest::ItemData(int item) const {
    LVITEMA lvi = {};
    lvi.mask = LVIF_PARAM;
    lvi.iItem = item;
    SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&lvi));
    return lvi.lParam;
}

int DialogTest::Selected() const {
    return static_cast<int>(
        SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

int DialogTest::Focused() const {
    return static_cast<int>(
        SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
}

int DialogTest::ColumnWidth() const {
    return static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0));
}

int DialogTest::ExpectedColumnWidth() const {
    RECT client = {};
    GetClientRect(list, &client);
    return client.right - 2;
}

std::vector<std::string> DialogTest::Texts() const { return boxes.Texts(); }
