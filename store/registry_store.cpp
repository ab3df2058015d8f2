#include "store/registry_store.h"

#include <stdio.h>
#include <string.h>

#include "store/ansi_text.h"
#include "store/handles.h"
#include "store/hook_settings.h"

SetValueProc g_setEntryValue = RegSetValueExA;

namespace {

bool QueryDword(HKEY key, const char* valueName, DWORD* result) {
    DWORD type = 0;
    DWORD size = sizeof(DWORD);
    // The registry accepts a REG_DWORD of fewer than four bytes, and the
    // hooks read it zero-extended: the bytes not stored stay 0 here.
    DWORD value = 0;
    if (RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD) {
        return false;
    }
    *result = value;
    return true;
}

bool SetDword(HKEY key, const char* valueName, DWORD value) {
    return RegSetValueExA(key, valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof(value)) == ERROR_SUCCESS;
}

// The entry `name`, opened relative to the settings key.
LONG OpenEntry(const char* name, REGSAM access, UniqueRegKey* entry) {
    UniqueRegKey settings;
    const LONG status = OpenSettingsKey(KEY_ENUMERATE_SUB_KEYS, settings.put());
    if (status != ERROR_SUCCESS) return status;
    return RegOpenKeyExA(settings.get(), name, 0, access, entry->put());
}

// Opens the key for writing, creating it (and the keys above it) if needed.
bool OpenForWriting(HKEY root, const char* keyPath, UniqueRegKey* key) {
    return RegOpenKeyExA(root, keyPath, 0, KEY_SET_VALUE, key->put()) == ERROR_SUCCESS ||
           RegCreateKeyA(root, keyPath, key->put()) == ERROR_SUCCESS;
}

// The same index enumerated in Unicode, and whether every character of that
// name has its own form in the ANSI code page.
bool NameFitsCodePage(HKEY settingsKey, DWORD index) {
    WCHAR wide[kMaxEntryNameChars + 1];
    DWORD length = kMaxEntryNameChars + 1;
    if (RegEnumKeyExW(settingsKey, index, wide, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
        return true;  // nothing better known: as the ANSI name says
    }
    std::string narrow;
    return ToAnsiExactly(wide, &narrow);
}

}  // namespace

bool ReadRegistryDword(HKEY root, const char* keyPath, const char* valueName, DWORD* result) {
    UniqueRegKey key;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return false;
    return QueryDword(key.get(), valueName, result);
}

bool WriteRegistryDword(HKEY root, const char* keyPath, const char* valueName, DWORD value) {
    UniqueRegKey key;
    return OpenForWriting(root, keyPath, &key) && SetDword(key.get(), valueName, value);
}

unsigned ReadEntrySettings(HKEY settingsKey, const char* name, DWORD* values) {
    UniqueRegKey key;
    if (RegOpenKeyExA(settingsKey, name, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return 0;
    unsigned read = 0;
    for (int i = 0; i < kHookSettingCount; ++i) {
        if (QueryDword(key.get(), kHookSettings[i].valueName, &values[i])) read |= 1u << i;
    }
    return read;
}

unsigned WriteEntrySettings(const char* name, const DWORD* values, unsigned which) {
    if (which == 0) return 0;
    UniqueRegKey settings;
    UniqueRegKey key;
    // One call opens each key or creates it: an import mostly adds entries,
    // for which trying to open first would be a wasted round trip.
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, nullptr, 0, KEY_CREATE_SUB_KEY,
                        nullptr, settings.put(), nullptr) != ERROR_SUCCESS ||
        RegCreateKeyExA(settings.get(), name, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS) {
        return 0;
    }
    unsigned written = 0;
    for (int i = 0; i < kHookSettingCount; ++i) {
        const DWORD value = values[i];
        if ((which & (1u << i)) && g_setEntryValue(key.get(), kHookSettings[i].valueName, 0,
                                                   REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                                   sizeof(value)) == ERROR_SUCCESS) {
            written |= 1u << i;
        }
    }
    return written;
}

void BuildEntryKeyPath(const char* name, char* path, int size) {
    // wsprintfA has no size limit; snprintf bounds the copy and always ends it.
    snprintf(path, static_cast<size_t>(size), "%s\\%s", kSettingsKeyPath, name);
}

LONG OpenSettingsKey(REGSAM access, HKEY* key) {
    return RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, access, key);
}

LONG CountEntries(DWORD* count) {
    *count = 0;
    UniqueRegKey key;
    const LONG status = OpenSettingsKey(KEY_QUERY_VALUE, key.put());
    if (status != ERROR_SUCCESS) return status;
    return RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, count, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr);
}

LONG EnumerateEntry(HKEY settingsKey, DWORD index, char* name, bool* reachable) {
    const LONG status = RegEnumKeyA(settingsKey, index, name, kEnumNameSize);
    if (reachable && status == ERROR_SUCCESS) *reachable = NameFitsCodePage(settingsKey, index);
    return status;
}

std::string LongEntryName(HKEY settingsKey, DWORD index) {
    // 255 characters of up to four bytes each, in UTF-8.
    char name[kMaxEntryNameChars * 4 + 1];
    DWORD length = sizeof(name);
    if (RegEnumKeyExA(settingsKey, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
        return "(a name that cannot be read)";
    }
    return std::string(name, length);
}

bool EntryNameFits(const char* name) {
    return strlen(name) <= static_cast<size_t>(kMaxEntryNameBytes) &&
           CharacterCount(name) <= kMaxEntryNameChars;
}

LONG DeleteEntryKey(const char* name) {
    UniqueRegKey settings;
    const LONG status = OpenSettingsKey(KEY_ENUMERATE_SUB_KEYS, settings.put());
    if (status != ERROR_SUCCESS) return status;
    return RegDeleteKeyA(settings.get(), name);
}

LONG TestEntryExists(const char* name) {
    UniqueRegKey key;
    return OpenEntry(name, KEY_QUERY_VALUE, &key);
}

LONG TestEntryWritable(const char* name) {
    UniqueRegKey key;
    const LONG status = OpenEntry(name, KEY_SET_VALUE, &key);
    if (status != ERROR_FILE_NOT_FOUND) return status;
    UniqueRegKey settings;
    const LONG opened = OpenSettingsKey(KEY_CREATE_SUB_KEY, settings.put());
    return opened == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : opened;
}
