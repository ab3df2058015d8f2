// Reads application entries from a registry file into the registry, through
// the platform's profile-file reader. Shows nothing: the caller asks whether
// existing entries are replaced and tells the user what happened.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "store/handles.h"

// Every section name of the file at `path` (a full path), each ended by a
// NUL, the list by another; `count` 0 when the file has none. ERROR_SUCCESS,
// the error that keeps the file from being read (ERROR_FILE_NOT_FOUND for a
// missing one), or ERROR_NOT_ENOUGH_MEMORY.
LONG ReadImportSections(const char* path, UniqueBuffer* sections, DWORD* count);

// Why a section of the file was not imported.
enum class Refusal {
    kOutsideSettings,  // names no key below the hook settings
    kBelowEntry,       // names a key inside an application entry
    kNameTooLong,      // longer than the registry allows a key name
    kNotChecked,       // whether the entry exists could not be told
    kNotWritten,       // some of its settings could not be written
};

struct RefusedSection {
    std::string name;  // the section's name as the file gives it
    Refusal why;
};

struct ImportReport {
    bool anyEntry = false;  // some section names an application entry
    int imported = 0;       // entries whose every setting went in
    int leftAlone = 0;      // existing entries an import without replace kept
    // Entries that have a key after the import, in the file's order.
    std::vector<std::string> stored;
    std::vector<RefusedSection> refused;
};

// Imports the sections that name application entries: every one when
// `replace`, otherwise only those whose entry does not exist yet.
ImportReport ImportSections(const char* sections, const char* path, bool replace);

// The hexadecimal digits at the start of `text`; only the last eight count.
DWORD ParseHex(const char* text);
