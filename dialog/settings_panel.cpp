#include "dialog/settings_panel.h"

#include "dialog/app_list.h"
#include "dialog/dialog_state.h"
#include "store/hook_settings.h"
#include "store/registry_store.h"

void SetCheckBox(int controlId, DWORD value) {
    HWND box = GetDlgItem(g_dialog.window, controlId);
    // Clear before disabling and enable before setting, so a box never shows
    // a state it cannot be given.
    if (value > 1) {
        SendMessageA(box, BM_SETCHECK, BST_UNCHECKED, 0);
        EnableWindow(box, FALSE);
    } else {
        EnableWindow(box, TRUE);
        SendMessageA(box, BM_SETCHECK, value, 0);
    }
}

void LoadPanel(int item) {
    char path[kKeyPathSize] = "";
    // With nothing selected no entry is shown, whatever the registry holds;
    // nor for a name that would read another key than its own.
    const bool shown = item != -1 && GetItemData(g_dialog.list, item) != kUnreachableEntry;
    if (item != -1) {
        char name[kItemNameSize];
        if (GetItemName(g_dialog.list, item, name) == 0) return;
        BuildEntryKeyPath(name, path, sizeof(path));
    }
    for (int i = 0; i < kHookSettingCount; ++i) {
        const HookSetting& setting = kHookSettings[i];
        DWORD value = 0;
        if (!shown || !ReadRegistryDword(HKEY_CURRENT_USER, path, setting.valueName, &value)) {
            value = kMissingValue;
        }
        SetCheckBox(setting.checkBoxId, value);
        g_dialog.loaded[i] = value;
    }
}

void SavePanel(int item) {
    char name[kItemNameSize];
    if (GetItemName(g_dialog.list, item, name) == 0) return;
    // Such a name would create a key of another name.
    const LPARAM data = GetItemData(g_dialog.list, item);
    if (data == kUnreachableEntry) return;
    char path[kKeyPathSize];
    BuildEntryKeyPath(name, path, sizeof(path));
    bool wrote = false;
    for (int i = 0; i < kHookSettingCount; ++i) {
        const HookSetting& setting = kHookSettings[i];
        HWND box = GetDlgItem(g_dialog.window, setting.checkBoxId);
        DWORD state = static_cast<DWORD>(SendMessageA(box, BM_GETCHECK, 0, 0));
        // Only what the user changed is written back; a disabled box holds no
        // usable value.
        if (state <= 1 && state != g_dialog.loaded[i] && IsWindowEnabled(box) &&
            WriteRegistryDword(HKEY_CURRENT_USER, path, setting.valueName, state)) {
            // What was written is what the registry now holds: a later save
            // of the same panel does not write it again.
            g_dialog.loaded[i] = state;
            wrote = true;
        }
    }
    // The write created the new entry's key.
    if (wrote && data == kUnsavedEntry) SetItemData(g_dialog.list, item, 0);
}

void ResetPanel(int item) {
    if (item == -1) return;
    const LPARAM data = GetItemData(g_dialog.list, item);
    // No save can write the defaults of a name that names no key.
    if (data == kUnreachableEntry) return;
    // The new entry's name is accepted: its label is no longer editable.
    if (data == kNewEntryMarker) SetItemData(g_dialog.list, item, kUnsavedEntry);
    for (const HookSetting& setting : kHookSettings) {
        SetCheckBox(setting.checkBoxId, setting.resetDefault);
    }
}

void OnListItemChanged(const NMLISTVIEW* change) {
    const bool wasSelected = (change->uOldState & LVIS_SELECTED) != 0;
    const bool isSelected = (change->uNewState & LVIS_SELECTED) != 0;
    // A notification in which the item stays selected (only its focus
    // changed) must not reload the panel over the user's unsaved changes.
    if (isSelected && !wasSelected) LoadPanel(change->iItem);
    if (wasSelected && !isSelected) {
        SavePanel(change->iItem);
        // With nothing selected the boxes must not stay editable: no save
        // would ever write what the user changes in them.
        if (GetSelectedItem(g_dialog.list) == -1) LoadPanel(-1);
    }
}
