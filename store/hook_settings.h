// The seven per-application flags the screen-change hooks read, and where
// they live in the registry. The table's order is the order of every visit:
// loading, saving, exporting and importing.
#pragma once
#include <windows.h>

struct HookSetting {
    const char* valueName;
    int checkBoxId;
    const char* caption;
    DWORD resetDefault;
    int helpStringId;
};

constexpr int kHookSettingCount = 7;
extern const HookSetting kHookSettings[kHookSettingCount];

// Relative to HKEY_CURRENT_USER.
extern const char kSettingsKeyPath[];

// The in-memory value of a setting that is absent or not a REG_DWORD.
constexpr DWORD kMissingValue = 0xFFFFFFFF;

// Limits of the data model.
constexpr int kEnumNameSize = 261;  // entry name as enumerated, with terminator
// An entry name read back from the list: as large as the enumeration
// buffer, or a listed name of 260 bytes would lose its terminator.
constexpr int kItemNameSize = kEnumNameSize;
constexpr int kKeyPathSize = 320;  // settings key path, backslash, entry name
// The one rule for a usable entry name: what the registry holds (it counts
// characters) and what every name buffer of the program holds (bytes of the
// ANSI code page, in which a character takes up to four).
constexpr int kMaxEntryNameChars = 255;
constexpr int kMaxEntryNameBytes = kEnumNameSize - 1;
