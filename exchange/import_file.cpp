#include "exchange/import_file.h"

#include <commctrl.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "dialog/app_list.h"
#include "dialog/main_dialog.h"
#include "dialog/scoped_ui.h"
#include "exchange/section_names.h"
#include "store/ansi_text.h"
#include "store/handles.h"
#include "store/hook_settings.h"
#include "store/registry_store.h"

namespace {

constexpr DWORD kFirstListSize = 0x8000;
constexpr DWORD kListGrowth = 0x100000;
constexpr int kSectionCopySize = 320;
constexpr int kValueTextSize = 20;
constexpr size_t kMaxKeyNameLength = 255;  // the registry's limit

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

// The profile reader takes a file it cannot open for one without sections;
// asked first, so that the user hears the real cause.
bool Unreadable(const char* path) {
    UniqueFile file(CreateFileA(path, GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    if (file.valid()) return false;
    const DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

// One setting's value as the section gives it; false when the section has
// no usable text for it.
bool ReadSetting(const char* section, const char* valueName, const char* path, DWORD* value) {
    char key[kValueTextSize];
    snprintf(key, sizeof(key), "\"%s\"", valueName);
    char text[kValueTextSize];
    if (GetPrivateProfileStringA(section, key, nullptr, text, kValueTextSize, path) == 0) {
        return false;
    }
    // "dword" alone has no digits to read: skipped like any malformed text.
    char* colon = const_cast<char*>(FindFirstChar(text, ":"));
    if (!colon) return false;
    *colon = '\0';
    if (lstrcmpA(text, "dword") != 0) return false;
    *value = ParseHex(colon + 1);
    return true;
}

// What became of one section of the file.
struct SectionResult {
    bool namesEntry;  // the section is an application entry's
    bool failed;      // something of it could not be imported
};

// Imports one section if it names an application entry.
SectionResult ImportSection(HWND list, ListedNames* listed, const char* name, const char* path,
                            bool replace) {
    char head[kSectionPrefixLength + 1];
    lstrcpynA(head, name, sizeof(head));
    if (lstrcmpiA(head, kSectionPrefix) != 0) return {false, false};
    // An empty name is the settings key itself, and a backslash would reach
    // below an entry; neither is an application entry.
    const char* entryName = name + kSectionPrefixLength;
    const size_t length = strlen(entryName);
    if (length == 0 || length > kMaxKeyNameLength || FindFirstChar(entryName, "\\")) {
        return {false, false};
    }

    char section[kSectionCopySize];
    lstrcpynA(section, name, sizeof(section));  // fits: 58 + 255 characters
    const char* keyPath = section + kRootNameLength;
    if (!replace) {
        const LONG exists = TestEntryExists(keyPath);
        if (exists == ERROR_SUCCESS) return {true, false};  // left alone, as asked
        // Only a plain "not found" lets the entry in; any other answer is a
        // section that could not be imported, and the user is told.
        if (exists != ERROR_FILE_NOT_FOUND) return {true, true};
    }

    DWORD values[kHookSettingCount];
    unsigned found = 0;
    for (int i = 0; i < kHookSettingCount; ++i) {
        if (ReadSetting(section, kHookSettings[i].valueName, path, &values[i])) found |= 1u << i;
    }
    // A key that cannot be opened or created fails every write of it.
    const unsigned written = WriteEntrySettings(keyPath, values, found);
    // Listed only when something of it is stored: a name without a key
    // would show an entry the registry does not have.
    if (!listed->Contains(entryName) &&
        (written != 0 || TestEntryExists(keyPath) == ERROR_SUCCESS)) {
        AppendListItem(list, entryName, LVIF_TEXT, 0);
        listed->Add(entryName);
    }
    return {true, written != found};
}

struct ImportSummary {
    bool anyEntry;   // some section names an application entry
    bool anyFailed;  // something could not be imported
};

ImportSummary ImportSections(HWND list, const char* sections, const char* path, bool replace) {
    WaitCursor wait;
    ListRedrawOff noRedraw(list);
    ListedNames listed(list);
    ImportSummary summary = {false, false};
    for (const char* name = sections; *name; name += strlen(name) + 1) {
        const SectionResult result = ImportSection(list, &listed, name, path, replace);
        summary.anyEntry = summary.anyEntry || result.namesEntry;
        summary.anyFailed = summary.anyFailed || result.failed;
    }
    ApplyColumnWidth(list);
    return summary;
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

void ImportRegistryFile(HWND owner, HWND list, const char* path) {
    if (Unreadable(path)) {
        MessageBoxA(owner, "Could not read the import file.", kAppTitle, MB_ICONERROR);
        return;
    }
    DWORD count = 0;
    UniqueBuffer sections = ReadSectionList(path, &count);
    if (!sections.valid()) return;
    if (count == 0) {
        MessageBoxA(owner, "The file contains no registry settings.", kAppTitle, MB_ICONERROR);
        return;
    }
    const bool replace = MessageBoxA(owner, "Do you want to replace existing hook settings?",
                                     kAppTitle, MB_ICONWARNING | MB_YESNO) == IDYES;
    const ImportSummary summary = ImportSections(list, sections.get(), path, replace);
    if (!summary.anyEntry) {
        MessageBoxA(owner, "The file contains no hook settings.", kAppTitle, MB_ICONERROR);
    } else if (summary.anyFailed) {
        MessageBoxA(owner, "Some hook settings could not be imported.", kAppTitle, MB_ICONERROR);
    }
}
