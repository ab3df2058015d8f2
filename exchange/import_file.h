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
    kNameTooLong,      // longer than an entry name may be
    kNotChecked,       // whether the entry exists could not be told
    kNotWritten,       // some of its settings could not be written
    kEmpty,            // the reader finds no line in it: empty, or a name
                       // this system's code page cannot hold
    kNoSettings,       // none of its lines is a setting the import takes
    kRepeated,         // an earlier section names the same entry, whose
                       // lines the reader gives for this one too
};

struct RefusedSection {
    std::string name;  // the section's name as the file gives it
    Refusal why;
};

// A line of a setting whose text is no dword the import takes: the setting
// keeps what the store holds.
struct SkippedValue {
    std::string section;
    const char* valueName;
    std::string text;  // as the file gives it, cut as the import reads it
};

struct ImportReport {
    bool anyEntry = false;    // some section names an application entry
    bool anyWritten = false;  // some setting went into the registry (or would,
                              // in a dry run)
    int imported = 0;         // entries whose every setting went in
    int leftAlone = 0;        // existing entries an import without replace kept
    // Entries that have a key after the import, in the file's order.
    std::vector<std::string> stored;
    std::vector<RefusedSection> refused;
    std::vector<SkippedValue> skipped;
};

// Imports the sections that name application entries: every one when
// `replace`, otherwise only those whose entry does not exist yet. With
// `dryRun` the registry is read as the import would read it and nothing is
// written; the report says what the import would do, every write to a key
// that can be opened (or created) for it taken as done.
ImportReport ImportSections(const char* sections, const char* path, bool replace,
                            bool dryRun = false);

// The hexadecimal digits at the start of `text`; only the last eight count.
DWORD ParseHex(const char* text);

// A setting's value text as the import takes it: "dword:" and one to eight
// hexadecimal digits, nothing else. Any other text is a value the file does
// not hold as a dword, and is never stored as one.
bool ParseDwordText(const char* text, DWORD* value);

// The value text of `key` (a quoted value name) among a section's lines,
// each ended by a NUL, the block by another: the first line whose text
// before its first "=", blanks dropped at both ends, is the key in any
// letter case; the text after the "=", blanks dropped, cut to 19
// characters. False when no line has the key.
bool FindSettingText(const char* lines, const char* key, std::string* text);
