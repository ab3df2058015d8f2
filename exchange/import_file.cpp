#include "exchange/import_file.h"

#include <commctrl.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "dialog/app_list.h"
#include "dialog/main_dialog.h"
#include "exchange/section_names.h"
#include "store/handles.h"
#include "store/hook_settings.h"
#include "store/registry_store.h"

namespace {

constexpr DWORD kFirstListSize = 0x8000;
constexpr DWORD kListGrowth = 0x100000;
constexpr int kSectionCopySize = 320;
constexpr int kValueTextSize = 20;
constexpr size_t kMaxKeyNameLength = 255;  // the registry's limit

enum class Outcome { Written, Skipped, Failed };

// Every section name of the file, each ended by a NUL, the list by another.
// Invalid when memory runs out; `count` 0 when the file has no section.
UniqueBuffer ReadSectionList(const char* path, DWORD* count) {
    DWORD size = kFirstListSize;
    UniqueBuffer list(static_cast<char*>(malloc(size)));
    while (list.valid()) {
        const DWORD n = GetPrivateProfileStringA(nullptr, nullptr, nullptr, list.get(), size, path);
        // A list that was cut comes back as exactly size - 2 characters.
        if (n == 0 || n < size - 2) {
            *count = n;
            return list;
        }
        size += kListGrowth;
        char* bigger = static_cast<char*>(realloc(list.get(), size));
        if (!bigger) return UniqueBuffer();  // the old block is freed with `list`
        list.release();
        list.reset(bigger);
    }
    return list;
}

Outcome ImportSetting(const char* section, const char* valueName, const char* path) {
    char key[kValueTextSize];
    snprintf(key, sizeof(key), "\"%s\"", valueName);
    char text[kValueTextSize];
    if (GetPrivateProfileStringA(section, key, nullptr, text, kValueTextSize, path) == 0) {
        return Outcome::Skipped;
    }
    // "dword" alone has no digits to read: skipped like any malformed text.
    char* colon = strchr(text, ':');
    if (!colon) return Outcome::Skipped;
    *colon = '\0';
    if (lstrcmpA(text, "dword") != 0) return Outcome::Skipped;
    const DWORD value = ParseHex(colon + 1);
    return WriteRegistryDword(HKEY_CURRENT_USER, section + kRootNameLength, valueName, value)
               ? Outcome::Written
               : Outcome::Failed;
}

// Imports one section if it names an application entry; false when a
// registry write failed.
bool ImportSection(HWND list, const char* name, const char* path, bool replace) {
    char head[kSectionPrefixLength + 1];
    lstrcpynA(head, name, sizeof(head));
    if (lstrcmpiA(head, kSectionPrefix) != 0) return true;
    // An empty name is the settings key itself, and a backslash would reach
    // below an entry; neither is an application entry.
    const char* entryName = name + kSectionPrefixLength;
    const size_t length = strlen(entryName);
    if (length == 0 || length > kMaxKeyNameLength || strchr(entryName, '\\')) return true;

    char section[kSectionCopySize];
    lstrcpynA(section, name, sizeof(section));  // fits: 58 + 255 characters
    if (!replace && TestEntryExists(section + kRootNameLength) != ERROR_FILE_NOT_FOUND) return true;

    bool allWritten = true;
    for (const HookSetting& setting : kHookSettings) {
        if (ImportSetting(section, setting.valueName, path) == Outcome::Failed) allWritten = false;
    }
    if (FindListItem(list, entryName) == -1) AppendListItem(list, entryName, LVIF_TEXT, 0);
    return allWritten;
}

}  // namespace

DWORD ParseHex(const char* text) {
    DWORD result = 0;
    for (;; ++text) {
        const char c = *text;
        DWORD digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<DWORD>(c - '0');
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<DWORD>(c - 'A' + 10);
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<DWORD>(c - 'a' + 10);
        } else {
            return result;
        }
        result = result * 16 + digit;  // wraps: the last eight digits count
    }
}

bool ImportValue(const char* section, const char* valueName, const char* path) {
    return ImportSetting(section, valueName, path) == Outcome::Written;
}

void ImportRegistryFile(HWND owner, HWND list, const char* path) {
    DWORD count = 0;
    UniqueBuffer sections = ReadSectionList(path, &count);
    if (!sections.valid()) return;
    if (count == 0) {
        MessageBoxA(owner, "The file contains no registry settings.", kAppTitle, MB_ICONERROR);
        return;
    }
    const bool replace = MessageBoxA(owner, "Do you want to replace existing hook settings?",
                                     kAppTitle, MB_ICONWARNING | MB_YESNO) == IDYES;
    bool allWritten = true;
    for (const char* name = sections.get(); *name; name += strlen(name) + 1) {
        if (!ImportSection(list, name, path, replace)) allWritten = false;
    }
    ApplyColumnWidth(list);
    if (!allWritten) {
        MessageBoxA(owner, "Some hook settings could not be imported.", kAppTitle, MB_ICONERROR);
    }
}
