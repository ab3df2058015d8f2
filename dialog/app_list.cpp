#include "dialog/app_list.h"

#include <commctrl.h>

#include <string.h>

#include "dialog/scoped_ui.h"
#include "store/handles.h"
#include "store/hook_settings.h"
#include "store/registry_store.h"

void SetUpList(HWND list) {
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP);
    LVCOLUMNA column = {};
    column.mask = LVCF_SUBITEM;
    column.iSubItem = 0;
    SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
}

void FillList(HWND list) {
    ListRedrawOff noRedraw(list);
    UniqueRegKey key;
    if (OpenSettingsKey(KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS) {
        DWORD subKeys = 0;
        if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
            SendMessageA(list, LVM_SETITEMCOUNT, subKeys, 0);
        }
        char name[kEnumNameSize];
        for (DWORD index = 0;; ++index) {
            bool reachable = true;
            const LONG status = EnumerateEntry(key.get(), index, name, &reachable);
            // A name too long for the buffer (possible in a double-byte code
            // page) is skipped; the entries after it are still listed.
            if (status == ERROR_MORE_DATA) continue;
            if (status != ERROR_SUCCESS) break;
            AppendListItem(list, name, LVIF_TEXT | LVIF_PARAM, reachable ? 0 : kUnreachableEntry);
        }
    }
    ApplyColumnWidth(list);
}

int GetSelectedItem(HWND list) {
    int item = -1;
    while ((item = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, item, LVNI_ALL))) != -1) {
        if (SendMessageA(list, LVM_GETITEMSTATE, item, LVIS_SELECTED) & LVIS_SELECTED) return item;
    }
    return -1;
}

int GetItemName(HWND list, int item, char* name) {
    name[0] = '\0';
    LVITEMA lvi = {};
    lvi.iSubItem = 0;
    lvi.pszText = name;
    lvi.cchTextMax = kItemNameSize;
    SendMessageA(list, LVM_GETITEMTEXTA, item, reinterpret_cast<LPARAM>(&lvi));
    // A text that fills the buffer comes back without a terminator.
    name[kItemNameSize - 1] = '\0';
    return static_cast<int>(strlen(name));
}

LPARAM GetItemData(HWND list, int item) {
    LVITEMA lvi = {};
    lvi.mask = LVIF_PARAM;
    lvi.iItem = item;
    return SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&lvi)) ? lvi.lParam : 0;
}

void SetItemData(HWND list, int item, LPARAM data) {
    LVITEMA lvi = {};
    lvi.mask = LVIF_PARAM;
    lvi.iItem = item;
    lvi.iSubItem = 0;
    lvi.lParam = data;
    SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&lvi));
}

int AppendListItem(HWND list, const char* text, UINT mask, LPARAM data) {
    LVITEMA lvi = {};
    lvi.mask = mask;
    lvi.iItem = 0x7FFFFFFF;
    lvi.iSubItem = 0;
    lvi.pszText = const_cast<char*>(text);
    lvi.lParam = data;
    return static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&lvi)));
}

int FindListItem(HWND list, const char* text) {
    LVFINDINFOA find = {};
    find.flags = LVFI_STRING;
    find.psz = text;
    return static_cast<int>(SendMessageA(list, LVM_FINDITEMA, static_cast<WPARAM>(-1),
                                         reinterpret_cast<LPARAM>(&find)));
}

void ApplyColumnWidth(HWND list) {
    RECT client = {};
    GetClientRect(list, &client);
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(client.right - 2, 0));
}

ListedNames::ListedNames(HWND list) {
    char name[kItemNameSize];
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int item = 0; item < count; ++item) {
        GetItemName(list, item, name);
        names_.insert(name);
    }
}
