#include "exchange/import_file.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "exchange/section_names.h"
#include "store/ansi_text.h"
#include "store/hook_settings.h"
#include "store/registry_store.h"

namespace {

constexpr DWORD kFirstListSize = 0x8000;
constexpr DWORD kListGrowth = 0x100000;
constexpr int kValueTextSize = 20;
// The registry counts a key name in characters; in the ANSI code page one
// takes up to four bytes (UTF-8), two in the double-byte ones.
constexpr int kMaxKeyNameChars = 255;
constexpr int kSectionCopySize = kSectionPrefixLength + kMaxKeyNameChars * 4 + 1;

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
LONG OpenForReading(const char* path) {
    UniqueFile file(CreateFileA(path, GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    return file.valid() ? ERROR_SUCCESS : static_cast<LONG>(GetLastError());
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

// Imports one section if it names an application entry, and notes what
// became of it.
void ImportSection(const char* name, const char* path, bool replace, ImportReport* report) {
    char head[kSectionPrefixLength + 1];
    lstrcpynA(head, name, sizeof(head));
    if (lstrcmpiA(head, kSectionPrefix) != 0) {
        // The settings key itself, which the platform's own exports hold,
        // is no entry but nothing foreign either.
        if (lstrcmpiA(name, kSettingsSectionName) != 0) {
            report->refused.push_back({name, Refusal::kOutsideSettings});
        }
        return;
    }
    // An empty name is the settings key itself, and a backslash would reach
    // below an entry; neither is an application entry.
    const char* entryName = name + kSectionPrefixLength;
    if (entryName[0] == '\0') return;
    if (FindFirstChar(entryName, "\\")) {
        report->refused.push_back({name, Refusal::kBelowEntry});
        return;
    }
    report->anyEntry = true;
    if (CharacterCount(entryName) > kMaxKeyNameChars) {
        report->refused.push_back({name, Refusal::kNameTooLong});
        return;
    }

    char section[kSectionCopySize];
    lstrcpynA(section, name, sizeof(section));  // fits: the prefix and 255 characters
    const char* keyPath = section + kRootNameLength;
    if (!replace) {
        const LONG exists = TestEntryExists(keyPath);
        if (exists == ERROR_SUCCESS) {  // left alone, as asked
            ++report->leftAlone;
            return;
        }
        // Only a plain "not found" lets the entry in; any other answer is a
        // section that could not be imported, and the user is told.
        if (exists != ERROR_FILE_NOT_FOUND) {
            report->refused.push_back({name, Refusal::kNotChecked});
            return;
        }
    }

    DWORD values[kHookSettingCount];
    unsigned found = 0;
    for (int i = 0; i < kHookSettingCount; ++i) {
        if (ReadSetting(section, kHookSettings[i].valueName, path, &values[i])) found |= 1u << i;
    }
    // A key that cannot be opened or created fails every write of it.
    const unsigned written = WriteEntrySettings(keyPath, values, found);
    // A name without a key would show an entry the registry does not have.
    if (written != 0 || TestEntryExists(keyPath) == ERROR_SUCCESS) {
        report->stored.push_back(entryName);
    }
    if (written == found) {
        ++report->imported;
    } else {
        report->refused.push_back({name, Refusal::kNotWritten});
    }
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

LONG ReadImportSections(const char* path, UniqueBuffer* sections, DWORD* count) {
    *count = 0;
    const LONG opened = OpenForReading(path);
    if (opened != ERROR_SUCCESS) return opened;
    *sections = ReadSectionList(path, count);
    return sections->valid() ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
}

ImportReport ImportSections(const char* sections, const char* path, bool replace) {
    ImportReport report;
    for (const char* name = sections; *name; name += strlen(name) + 1) {
        ImportSection(name, path, replace, &report);
    }
    return report;
}
