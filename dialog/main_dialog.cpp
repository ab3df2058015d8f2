#include "dialog/main_dialog.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

#include "dialog/app_entries.h"
#include "dialog/app_list.h"
#include "dialog/context_help.h"
#include "dialog/dialog_state.h"
#include "dialog/exchange_commands.h"
#include "dialog/server_check.h"
#include "dialog/settings_panel.h"
#include "exchange/file_chooser.h"
#include "res/resource.h"

DialogState g_dialog;
const char kAppTitle[] = "KMX Hooks Manager";

namespace {

// ---- start-up and tear-down ----

INT_PTR OnInitDialog(HWND dialog, WPARAM, LPARAM) {
    g_dialog.window = dialog;
    g_dialog.path[0] = '\0';
    for (DWORD& value : g_dialog.loaded) value = 0;

    g_dialog.icon.reset(LoadIconA(g_dialog.instance, MAKEINTRESOURCEA(IDI_KMXHOOKS)));
    if (g_dialog.icon.valid()) {
        SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(g_dialog.icon.get()));
    }
    g_dialog.menu.reset(LoadMenuA(g_dialog.instance, MAKEINTRESOURCEA(IDM_CONTEXT)));
    g_dialog.contextMenu = g_dialog.menu.valid() ? GetSubMenu(g_dialog.menu.get(), 0) : nullptr;

    g_dialog.list = GetDlgItem(dialog, IDC_APPLIST);
    SetUpList(g_dialog.list);

    // Shown before the dialog itself is visible.
    if (IsServerRunning()) {
        MessageBoxA(dialog,
                    "Brevant server is currently running! Changes to settings may not apply.",
                    kAppTitle, MB_ICONWARNING);
    }
    FillList(g_dialog.list);
    LoadPanel(-1);
    return FALSE;  // the focus stays where the system left it
}

INT_PTR OnDestroy(HWND, WPARAM, LPARAM) {
    SavePanel(GetSelectedItem(g_dialog.list));
    g_dialog.icon.reset();
    g_dialog.menu.reset();
    g_dialog.contextMenu = nullptr;
    return TRUE;
}

// ---- the application list's notifications ----

void ShowContextMenuAt(POINT at) {
    TrackPopupMenu(g_dialog.contextMenu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, at.x, at.y,
                   0, g_dialog.window, nullptr);
}

void ShowContextMenu() {
    POINT cursor = {};
    GetCursorPos(&cursor);
    ShowContextMenuAt(cursor);
}

// Where a menu asked for from the keyboard opens: below the selected item's
// label, scrolled into view first and kept inside the list, or at the
// list's top-left corner when nothing is selected.
POINT KeyboardMenuPoint() {
    RECT client = {};
    GetClientRect(g_dialog.list, &client);
    POINT at = {client.left, client.top};
    const int selected = GetSelectedItem(g_dialog.list);
    if (selected != -1) {
        SendMessageA(g_dialog.list, LVM_ENSUREVISIBLE, selected, FALSE);
        RECT label = {};
        label.left = LVIR_LABEL;
        if (SendMessageA(g_dialog.list, LVM_GETITEMRECT, selected,
                         reinterpret_cast<LPARAM>(&label))) {
            at.x = std::clamp(label.left, client.left, client.right - 1);
            at.y = std::clamp(label.bottom, client.top, client.bottom - 1);
        }
    }
    ClientToScreen(g_dialog.list, &at);
    return at;
}

// Shift+F10 and the Menu key on the list. A right click has shown the menu
// already, through NM_RCLICK; its WM_CONTEXTMENU is left alone.
INT_PTR OnContextMenu(HWND, WPARAM wParam, LPARAM lParam) {
    const bool fromKeyboard = GET_X_LPARAM(lParam) == -1 && GET_Y_LPARAM(lParam) == -1;
    if (reinterpret_cast<HWND>(wParam) != g_dialog.list || !fromKeyboard) return FALSE;
    ShowContextMenuAt(KeyboardMenuPoint());
    return TRUE;
}

void listview_notify(const NMHDR* header) {
    switch (header->code) {
    case LVN_ITEMCHANGED:
        OnListItemChanged(reinterpret_cast<const NMLISTVIEW*>(header));
        break;
    case LVN_BEGINLABELEDITA:
        OnBeginLabelEdit(reinterpret_cast<const NMLVDISPINFOA*>(header));
        break;
    case LVN_ENDLABELEDITA:
        OnEndLabelEdit(reinterpret_cast<const NMLVDISPINFOA*>(header));
        break;
    case LVN_KEYDOWN:
        OnListKeyDown(reinterpret_cast<const NMLVKEYDOWN*>(header));
        break;
    case NM_RCLICK:
        ShowContextMenu();
        break;
    default:
        break;
    }
}

INT_PTR OnNotify(HWND, WPARAM wParam, LPARAM lParam) {
    if (wParam == IDC_APPLIST) listview_notify(reinterpret_cast<const NMHDR*>(lParam));
    return TRUE;
}

INT_PTR OnHelp(HWND, WPARAM, LPARAM lParam) {
    ShowControlHelp(reinterpret_cast<const HELPINFO*>(lParam));
    return TRUE;
}

INT_PTR OnInitMenuPopup(HWND, WPARAM wParam, LPARAM) {
    if (g_dialog.contextMenu && reinterpret_cast<HMENU>(wParam) == g_dialog.contextMenu) {
        const UINT selection = GetSelectedItem(g_dialog.list) == -1 ? MF_GRAYED : MF_ENABLED;
        EnableMenuItem(g_dialog.contextMenu, IDM_DELETE, MF_BYCOMMAND | selection);
        EnableMenuItem(g_dialog.contextMenu, IDM_RESET, MF_BYCOMMAND | selection);
        const bool empty = SendMessageA(g_dialog.list, LVM_GETITEMCOUNT, 0, 0) == 0;
        EnableMenuItem(g_dialog.contextMenu, IDM_EXPORT,
                       MF_BYCOMMAND | (empty ? MF_GRAYED : MF_ENABLED));
    }
    return TRUE;
}

// ---- commands ----

void OnCancel(WORD code) {
    // Only a button click (0) or an accelerator (1); other notifications of
    // the OK button, such as focus changes, must not close the dialog.
    if (code == 0 || code == 1) EndDialog(g_dialog.window, 0);
}

void OnDelete(WORD) {
    const bool skipConfirmation = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    DeleteEntry(GetSelectedItem(g_dialog.list), skipConfirmation);
}

void OnReset(WORD) { ResetPanel(GetSelectedItem(g_dialog.list)); }

// The boxes show the selected entry's pending changes: they go into the
// registry before a file is written from it or read into it.
void OnImport(WORD) {
    if (ChooseExchangeFile(g_dialog.window, g_dialog.path, 0) == 1) {
        SavePanel(GetSelectedItem(g_dialog.list));
        ImportRegistryFile(g_dialog.window, g_dialog.list, g_dialog.path);
        // ...and afterwards they show what the import left there.
        const int selected = GetSelectedItem(g_dialog.list);
        if (selected != -1) LoadPanel(selected);
    }
}

void OnExport(WORD) {
    if (ChooseExchangeFile(g_dialog.window, g_dialog.path, 1) == 1) {
        SavePanel(GetSelectedItem(g_dialog.list));
        ExportRegistryFile(g_dialog.window, g_dialog.path);
    }
}

void OnAddNew(WORD) { AddNewEntry(); }

struct CommandRoute {
    WORD id;
    void (*handler)(WORD notificationCode);
};

const CommandRoute kCommands[] = {
    {IDCANCEL, OnCancel},   {IDM_DELETE, OnDelete}, {IDM_RESET, OnReset},
    {IDM_IMPORT, OnImport}, {IDM_EXPORT, OnExport}, {IDM_ADDNEW, OnAddNew},
};

// IDOK, sent for Enter because the dialog has no default button, finds no
// route and is ignored.
INT_PTR OnCommand(HWND, WPARAM wParam, LPARAM) {
    for (const CommandRoute& route : kCommands) {
        if (route.id == LOWORD(wParam)) {
            route.handler(HIWORD(wParam));
            break;
        }
    }
    return TRUE;
}

struct MessageRoute {
    UINT message;
    INT_PTR (*handler)(HWND dialog, WPARAM wParam, LPARAM lParam);
};

const MessageRoute kMessages[] = {
    {WM_INITDIALOG, OnInitDialog},
    {WM_DESTROY, OnDestroy},
    {WM_NOTIFY, OnNotify},
    {WM_HELP, OnHelp},
    {WM_INITMENUPOPUP, OnInitMenuPopup},
    {WM_COMMAND, OnCommand},
    {WM_CONTEXTMENU, OnContextMenu},
};

}  // namespace

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    for (const MessageRoute& route : kMessages) {
        if (route.message == message) return route.handler(dialog, wParam, lParam);
    }
    return FALSE;
}
