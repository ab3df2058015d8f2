#include "store/registry_store.h"

#include <stdio.h>

#include "store/handles.h"
#include "store/hook_settings.h"

bool ReadRegistryDword(HKEY root, const char* keyPath, const char* valueName, DWORD* result) {
    UniqueRegKey key;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return false;
    DWORD type = 0;
    DWORD size = sizeof(DWORD);
    // The registry accepts a REG_DWORD of fewer than four bytes, and the
    // hooks read it zero-extended: the bytes not stored stay 0 here.
    DWORD value = 0;
    if (RegQueryValueExA(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                         &size) != ERROR_SUCCESS ||
        type != REG_DWORD) {
        return false;
    }
    *result = value;
    return true;
}

bool WriteRegistryDword(HKEY root, const char* keyPath, const char* valueName, DWORD value) {
    UniqueRegKey key;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS &&
        RegCreateKeyA(root, keyPath, key.put()) != ERROR_SUCCESS) {
        return false;
    }
    return RegSetValueExA(key.get(), valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof(value)) == ERROR_SUCCESS;
}

void BuildEntryKeyPath(const char* name, char* path, int size) {
    // wsprintfA has no size limit; snprintf bounds the copy and always ends it.
    snprintf(path, static_cast<size_t>(size), "%s\\%s", kSettingsKeyPath, name);
}

LONG OpenSettingsKey(REGSAM access, HKEY* key) {
    return RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, access, key);
}

LONG EnumerateEntry(HKEY settingsKey, DWORD index, char* name) {
    return RegEnumKeyA(settingsKey, index, name, kEnumNameSize);
}

LONG DeleteEntryKey(const char* name) {
    char path[kKeyPathSize];
    BuildEntryKeyPath(name, path, sizeof(path));
    return RegDeleteKeyA(HKEY_CURRENT_USER, path);
}

LONG TestEntryExists(const char* keyPath) {
    UniqueRegKey key;
    return RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_QUERY_VALUE, key.put());
}
