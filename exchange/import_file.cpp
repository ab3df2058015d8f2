#include "exchange/import_file.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <set>
#include <vector>

#include "exchange/section_names.h"
#include "exchange/wait_for_file.h"
#include "store/ansi_text.h"
#include "store/hook_settings.h"
#include "store/registry_store.h"

namespace {

constexpr DWORD kFirstListSize = 0x8000;
constexpr DWORD kListGrowth = 0x100000;
constexpr int kValueTextSize = 20;
constexpr int kKeyTextSize = 20;  // the longest value name, 17, in quotes
// A section of seven settings takes about 250 characters; a larger one makes
// the buffer grow, up to a bound no section of settings comes near.
constexpr size_t kFirstSectionSize = 1024;
constexpr size_t kLargestSectionSize = 1u << 24;
// The keys above the settings key, whose sections the platform's exports
// of HKEY_CURRENT_USER\Software\QBL hold with no values.
constexpr const char* kKeysAboveSettings[] = {"HKEY_CURRENT_USER\\Software\\QBL",
                                              "HKEY_CURRENT_USER\\Software\\QBL\\KMXHooks"};

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
// asked first, so that the user hears the real cause. A file another program
// holds for a moment is waited out, as the export does.
LONG OpenForReading(const char* path) {
    UniqueFile file;
    const bool opened = UntilNotHeld([&]() {
        file = UniqueFile(CreateFileA(path, GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
        return file.valid();
    });
    return opened ? ERROR_SUCCESS : static_cast<LONG>(GetLastError());
}

// The lines of the section `name`, each ended by a NUL, the block by
// another, read with one call of the profile reader into `buffer`, which
// grows while the reader cuts the section (it then answers size - 2).
const char* ReadSectionLines(const char* name, const char* path, std::vector<char>* buffer) {
    if (buffer->size() < kFirstSectionSize) buffer->resize(kFirstSectionSize);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer->size());
        const DWORD n = GetPrivateProfileSectionA(name, buffer->data(), size, path);
        if (n < size - 2 || size >= kLargestSectionSize) {
            const DWORD end = n < size - 2 ? n : size - 2;
            (*buffer)[end] = (*buffer)[end + 1] = '\0';
            return buffer->data();
        }
        buffer->resize(buffer->size() * 2);
    }
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// [begin, end) without the blanks at both ends.
void TrimBlanks(const char** begin, const char** end) {
    while (*begin < *end && IsBlank(**begin)) ++*begin;
    while (*end > *begin && IsBlank((*end)[-1])) --*end;
}

// Key names match without regard to case for ASCII letters, as the
// profile reader matches them.
bool SameKey(const char* text, size_t length, const char* key) {
    if (strlen(key) != length) return false;
    for (size_t i = 0; i < length; ++i) {
        char a = text[i];
        char b = key[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

bool IsKeyAboveSettings(const char* name) {
    for (const char* key : kKeysAboveSettings) {
        if (lstrcmpiA(name, key) == 0) return true;
    }
    return false;
}

// Imports one section if it names an application entry, and notes what
// became of it.
void ImportSection(const char* name, const char* path, bool replace, bool dryRun,
                   std::vector<char>* lineBuffer, std::set<std::wstring>* seen,
                   ImportReport* report) {
    char head[kSectionPrefixLength + 1];
    lstrcpynA(head, name, sizeof(head));
    if (lstrcmpiA(head, kSectionPrefix) != 0) {
        // The settings key itself, and the empty sections of the keys above
        // it, which the platform's own exports hold, are no entries but
        // nothing foreign either.
        if (lstrcmpiA(name, kSettingsSectionName) == 0) return;
        if (IsKeyAboveSettings(name) && *ReadSectionLines(name, path, lineBuffer) == '\0') return;
        report->refused.push_back({name, Refusal::kOutsideSettings});
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
    // A name the list or the export could not give back would be an entry
    // the user can neither see nor delete.
    if (!EntryNameFits(entryName)) {
        report->refused.push_back({name, Refusal::kNameTooLong});
        return;
    }
    // Joined files, or one entry in two letter cases: the reader gives every
    // later section of a name the first one's lines, so a later one is named,
    // never counted again.
    if (!seen->insert(RegistryNameKey(entryName)).second) {
        report->refused.push_back({name, Refusal::kRepeated});
        return;
    }
    if (!replace) {
        const LONG exists = TestEntryExists(entryName);
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

    // One reader call for the section, not one per setting: each call
    // opens the file and walks its sections from the top.
    const char* lines = ReadSectionLines(name, path, lineBuffer);
    if (*lines == '\0') {
        report->refused.push_back({name, Refusal::kEmpty});
        return;
    }
    DWORD values[kHookSettingCount];
    unsigned found = 0;
    for (int i = 0; i < kHookSettingCount; ++i) {
        const char* valueName = kHookSettings[i].valueName;
        char key[kKeyTextSize];
        snprintf(key, sizeof(key), "\"%s\"", valueName);
        std::string text;
        if (!FindSettingText(lines, key, &text)) continue;
        if (ParseDwordText(text.c_str(), &values[i])) {
            found |= 1u << i;
        } else {
            report->skipped.push_back({name, valueName, text});
        }
    }
    // Counted only for what it holds: an entry with nothing to write is
    // not imported.
    if (found == 0) {
        report->refused.push_back({name, Refusal::kNoSettings});
        return;
    }
    // A key that cannot be opened or created fails every write of it; a dry
    // run asks the same of the registry without writing.
    unsigned written = 0;
    if (dryRun) {
        written = TestEntryWritable(entryName) == ERROR_SUCCESS ? found : 0;
    } else {
        written = WriteEntrySettings(entryName, values, found);
    }
    if (written != 0) report->anyWritten = true;
    // A name without a key would show an entry the registry does not have.
    if (written != 0 || TestEntryExists(entryName) == ERROR_SUCCESS) {
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

bool ParseDwordText(const char* text, DWORD* value) {
    if (strncmp(text, "dword:", 6) != 0) return false;
    const char* digits = text + 6;
    const size_t count = strspn(digits, "0123456789abcdefABCDEF");
    if (count < 1 || count > 8 || digits[count] != '\0') return false;
    *value = ParseHex(digits);
    return true;
}

bool FindSettingText(const char* lines, const char* key, std::string* text) {
    for (const char* line = lines; *line; line += strlen(line) + 1) {
        const char* equals = strchr(line, '=');
        if (!equals) continue;
        const char* keyBegin = line;
        const char* keyEnd = equals;
        TrimBlanks(&keyBegin, &keyEnd);
        if (!SameKey(keyBegin, static_cast<size_t>(keyEnd - keyBegin), key)) continue;
        const char* valueBegin = equals + 1;
        const char* valueEnd = valueBegin + strlen(valueBegin);
        TrimBlanks(&valueBegin, &valueEnd);
        const size_t length = static_cast<size_t>(valueEnd - valueBegin);
        text->assign(valueBegin, length < kValueTextSize - 1 ? length : kValueTextSize - 1);
        return true;
    }
    return false;
}

ImportReport ImportSections(const char* sections, const char* path, bool replace, bool dryRun) {
    ImportReport report;
    std::vector<char> lineBuffer;
    std::set<std::wstring> seen;  // entry names met so far, as the registry compares them
    for (const char* name = sections; *name; name += strlen(name) + 1) {
        ImportSection(name, path, replace, dryRun, &lineBuffer, &seen, &report);
    }
    return report;
}
