#include "dialog/app_entries.h"

#include <stdio.h>
#include <string.h>

#include "dialog/app_list.h"
#include "dialog/dialog_state.h"
#include "dialog/main_dialog.h"
#include "dialog/settings_panel.h"
#include "res/resource.h"
#include "store/ansi_text.h"
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

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// `text` without its leading and trailing blanks into `name` (`size` bytes);
// false, with nothing cut, when it does not fit. Where the code page is
// UTF-8 the 100 characters the editor allows can take 400 bytes.
bool TrimBlanks(const char* text, char* name, size_t size) {
    while (IsBlank(*text)) ++text;
    const char* end = text;
    for (const char* p = text; *p; p = CharNextA(p)) {
        if (!IsBlank(*p)) end = CharNextA(p);
    }
    const size_t length = static_cast<size_t>(end - text);
    if (length >= size) return false;
    memcpy(name, text, length);
    name[length] = '\0';
    return true;
}

void RemoveItem(int item) {
    // Nothing may be saved for the deleted entry, whatever the list view
    // reports while the item goes away.
    LoadPanel(-1);
    SendMessageA(g_dialog.list, LVM_DELETEITEM, item, 0);
    ApplyColumnWidth(g_dialog.list);
    SelectFocusedItem();
}

bool IsSelected(int item) {
    return (SendMessageA(g_dialog.list, LVM_GETITEMSTATE, item, LVIS_SELECTED) & LVIS_SELECTED) !=
           0;
}

// A click on another entry moves the selection before the edit ends, so the
// panel may already show that entry: the new one then gets its defaults
// straight in the registry, and the panel is left alone.
void AcceptNewEntry(int item, const char* name) {
    if (IsSelected(item)) {
        ResetPanel(item);
        return;
    }
    DWORD defaults[kHookSettingCount];
    for (int i = 0; i < kHookSettingCount; ++i) defaults[i] = kHookSettings[i].resetDefault;
    const unsigned all = (1u << kHookSettingCount) - 1;
    // Like a failed save, a failed write leaves the entry waiting for one.
    const bool stored = WriteEntrySettings(name, defaults, all) != 0;
    SetItemData(g_dialog.list, item, stored ? 0 : kUnsavedEntry);
}

}  // namespace

void AddNewEntry() {
    const int item = AppendListItem(g_dialog.list, "", LVIF_TEXT | LVIF_PARAM, kNewEntryMarker);
    if (item == -1) return;
    // The entry selected so far keeps what the user changed in it; then the
    // panel shows no entry while the new one is named.
    SavePanel(GetSelectedItem(g_dialog.list));
    LoadPanel(-1);
    // The list must have the focus to edit a label; from the keyboard the
    // menu may have been opened while another control had it.
    SetFocus(g_dialog.list);
    SendMessageA(g_dialog.list, LVM_EDITLABELA, item, 0);
    HWND edit = reinterpret_cast<HWND>(SendMessageA(g_dialog.list, LVM_GETEDITCONTROL, 0, 0));
    if (edit) SendMessageA(edit, EM_LIMITTEXT, kMaxTypedName, 0);
}

bool ValidateEntryName(const char* text) {
    if (text == nullptr || text[0] == '\0') return false;
    if (FindFirstChar(text, kForbiddenNameChars) != nullptr) {
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
    // The profile reader that imports trims section names, and no file name
    // ends in a blank: leading and trailing blanks are never part of a name.
    char name[kItemNameSize] = "";
    bool typed = info->item.pszText != nullptr;
    if (typed && !TrimBlanks(info->item.pszText, name, sizeof(name))) {
        MessageBoxA(g_dialog.window, "Application name is too long.", kAppTitle, MB_ICONERROR);
        typed = false;
    }
    if (typed && ValidateEntryName(name)) {
        AcceptNewEntry(info->item.iItem, name);
        if (strcmp(name, info->item.pszText) == 0) {
            SetDialogResult(TRUE);  // keep the typed text
        } else {
            LVITEMA text = {};
            text.iSubItem = 0;
            text.pszText = name;
            SendMessageA(g_dialog.list, LVM_SETITEMTEXTA, info->item.iItem,
                         reinterpret_cast<LPARAM>(&text));
            SetDialogResult(FALSE);  // the list keeps the text just set
        }
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
    const LPARAM data = GetItemData(g_dialog.list, item);
    // A name that cannot name its key would delete another key, or none.
    const LONG status = data == kUnreachableEntry ? ERROR_INVALID_NAME : DeleteEntryKey(name);
    // An accepted entry that was never saved has no key yet: removing just
    // its item is the deletion the user asked for. For any other entry a
    // missing key is a deletion that did not happen.
    if (status == ERROR_SUCCESS || (status == ERROR_FILE_NOT_FOUND && data == kUnsavedEntry)) {
        RemoveItem(item);
        return;
    }
    snprintf(message, sizeof(message), "Could not delete %s KMX Hook Settings.", name);
    MessageBoxA(g_dialog.window, message, kAppTitle, MB_ICONERROR);
}
