#include "dialog/app_entries.h"

#include <stdio.h>
#include <string.h>

#include "dialog/app_list.h"
#include "dialog/dialog_state.h"
#include "dialog/main_dialog.h"
#include "dialog/settings_panel.h"
#include "res/resource.h"
#include "store/hook_settings.h"
#include "store/registry_store.h"

namespace {

constexpr int kMaxTypedName = 100;
constexpr int kMessageSize = 300 + kItemNameSize;

void SetDialogResult(LRESULT result) { SetWindowLongPtrA(g_dialog.window, DWLP_MSGRESULT, result); }

void SelectFocusedItem() {
    int item = -1;
    while ((item = static_cast<int>(
                SendMessageA(g_dialog.list, LVM_GETNEXTITEM, item, LVNI_ALL))) != -1) {
        if (SendMessageA(g_dialog.list, LVM_GETITEMSTATE, item, LVIS_FOCUSED) & LVIS_FOCUSED) {
            LVITEMA state = {};
            state.stateMask = LVIS_SELECTED;
            state.state = LVIS_SELECTED;
            // Loads the panel through LVN_ITEMCHANGED.
            SendMessageA(g_dialog.list, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&state));
            return;
        }
    }
    LoadPanel(-1);
}

void RemoveItem(int item) {
    // Nothing may be saved for the deleted entry, whatever the list view
    // reports while the item goes away.
    LoadPanel(-1);
    SendMessageA(g_dialog.list, LVM_DELETEITEM, item, 0);
    ApplyColumnWidth(g_dialog.list);
    SelectFocusedItem();
}

}  // namespace

void AddNewEntry() {
    const int item = AppendListItem(g_dialog.list, "", LVIF_TEXT | LVIF_PARAM, kNewEntryMarker);
    if (item == -1) return;
    // The entry selected so far is saved from a disabled panel as the
    // selection moves, so its unsaved changes are dropped.
    LoadPanel(-1);
    SendMessageA(g_dialog.list, LVM_EDITLABELA, item, 0);
    HWND edit = reinterpret_cast<HWND>(SendMessageA(g_dialog.list, LVM_GETEDITCONTROL, 0, 0));
    if (edit) SendMessageA(edit, EM_LIMITTEXT, kMaxTypedName, 0);
}

bool ValidateEntryName(const char* text) {
    if (text == nullptr || text[0] == '\0') return false;
    if (strpbrk(text, "\\/:*?\"<>|") != nullptr) {
        MessageBoxA(g_dialog.window, "Application name contains invalid characters.", kAppTitle,
                    MB_ICONERROR);
        return false;
    }
    // The item being named still has its empty text, so it never matches.
    if (FindListItem(g_dialog.list, text) != -1) {
        MessageBoxA(g_dialog.window, "A application with the specified name already exists.",
                    kAppTitle, MB_ICONERROR);
        return false;
    }
    return true;
}

void OnBeginLabelEdit(const NMLVDISPINFOA* info) {
    const bool isNew = (info->item.mask & LVIF_PARAM) && info->item.lParam == kNewEntryMarker;
    SetDialogResult(isNew ? FALSE : TRUE);  // TRUE cancels the edit
}

void OnEndLabelEdit(const NMLVDISPINFOA* info) {
    if (ValidateEntryName(info->item.pszText)) {
        ResetPanel(info->item.iItem);
        SetDialogResult(TRUE);  // keep the typed text
    } else {
        SendMessageA(g_dialog.list, LVM_DELETEITEM, info->item.iItem, 0);
        SetDialogResult(FALSE);
    }
}

void OnListKeyDown(const NMLVKEYDOWN* key) {
    // Posted, so that the command reads the Shift state when it runs.
    if (key->wVKey == VK_DELETE) PostMessageA(g_dialog.window, WM_COMMAND, IDM_DELETE, 0);
}

void DeleteEntry(int item, bool skipConfirmation) {
    if (item == -1) return;
    char name[kItemNameSize];
    if (GetItemName(g_dialog.list, item, name) == 0) return;
    char message[kMessageSize];
    if (!skipConfirmation) {
        snprintf(message, sizeof(message), "Delete %s KMX Hook Settings?", name);
        if (MessageBoxA(g_dialog.window, message, kAppTitle, MB_YESNO | MB_ICONWARNING) != IDYES) {
            return;
        }
    }
    const LONG status = DeleteEntryKey(name);
    // An accepted entry that was never saved has no key yet: removing just
    // its item is the deletion the user asked for.
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
        RemoveItem(item);
        return;
    }
    snprintf(message, sizeof(message), "Could not delete %s KMX Hook Settings.", name);
    MessageBoxA(g_dialog.window, message, kAppTitle, MB_ICONERROR);
}
