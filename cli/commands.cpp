#include "cli/commands.h"

#include <windows.h>

#include <string.h>

#include <string>

#include "cli/console_text.h"
#include "dialog/server_check.h"
#include "exchange/export_file.h"
#include "exchange/import_file.h"
#include "store/handles.h"
#include "store/hook_settings.h"
#include "store/registry_store.h"

namespace {

constexpr char kNoSettings[] = "There are no hook settings to export.";

std::string Plural(int count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// Columns as wide as their headings, so that the values stand under them.
std::string Column(const std::string& text, size_t width) {
    return text.size() < width ? text + std::string(width - text.size(), ' ') : text;
}

std::string ListLine(const char* name, const DWORD* values, unsigned read) {
    std::string line;
    for (int i = 0; i < kHookSettingCount; ++i) {
        const std::string value = (read & (1u << i)) ? std::to_string(values[i]) : "-";
        line += Column(value, strlen(kHookSettings[i].valueName)) + " ";
    }
    return line + name;
}

const char* Reason(Refusal why) {
    switch (why) {
    case Refusal::kOutsideSettings:
        return "is not a hook settings entry; refused";
    case Refusal::kBelowEntry:
        return "names a key inside an entry; refused";
    case Refusal::kNameTooLong:
        return "names an entry longer than the registry allows (255 characters); not imported";
    case Refusal::kNotChecked:
        return "could not be compared with the existing entries; not imported";
    case Refusal::kNotWritten:
        return "could not be written completely";
    }
    return "not imported";
}

}  // namespace

int ListEntries() {
    std::string header;
    for (const HookSetting& setting : kHookSettings) header += std::string(setting.valueName) + " ";
    UniqueRegKey key;
    const LONG opened = OpenSettingsKey(KEY_ENUMERATE_SUB_KEYS, key.put());
    if (opened != ERROR_SUCCESS && opened != ERROR_FILE_NOT_FOUND) {
        PrintError("Could not read the hook settings: " + SystemMessage(opened));
        return kExitNothingDone;
    }
    PrintLine(header + "name");
    int status = kExitDone;
    char name[kEnumNameSize];
    for (DWORD index = 0; key.valid(); ++index) {
        bool reachable = true;
        const LONG enumerated = EnumerateEntry(key.get(), index, name, &reachable);
        if (enumerated == ERROR_NO_MORE_ITEMS) break;
        if (enumerated != ERROR_SUCCESS || !reachable) {
            // Its values would be read from another key, or none.
            PrintError(
                "Entry not listed: its name is too long or outside this system's code page: " +
                (enumerated == ERROR_SUCCESS ? std::string(name)
                                             : LongEntryName(key.get(), index)));
            status = kExitDoneInPart;
            if (enumerated != ERROR_SUCCESS && enumerated != ERROR_MORE_DATA) break;
            continue;
        }
        char keyPath[kKeyPathSize];
        BuildEntryKeyPath(name, keyPath, sizeof(keyPath));
        DWORD values[kHookSettingCount];
        const unsigned read = ReadEntrySettings(keyPath, values);
        PrintLine(ListLine(name, values, read));
    }
    return status;
}

int ExportToFile(const char* path) {
    const std::string file = path;
    // The dialog offers no export of an empty list; here a file of no
    // entries would pass for a backup.
    DWORD count = 0;
    const LONG counted = CountEntries(&count);
    if (counted == ERROR_FILE_NOT_FOUND || (counted == ERROR_SUCCESS && count == 0)) {
        PrintError(file + ": " + kNoSettings);
        return kExitNothingDone;
    }
    const ExportReport report = ExportEntries(path);
    switch (report.outcome) {
    case ExportOutcome::kNoSettings:
        PrintError(file + ": " + kNoSettings);
        return kExitNothingDone;
    case ExportOutcome::kSettingsUnreadable:
        PrintError(file + ": Could not read the hook settings: " + SystemMessage(report.error));
        return kExitNothingDone;
    case ExportOutcome::kFileNotWritten:
        PrintError(file + ": Could not write the export file: " + SystemMessage(report.error));
        if (!report.earlierFile.empty()) {
            PrintError(file + ": your earlier file is now " + report.earlierFile +
                       "; the new export is " + report.newFile);
        }
        return kExitNothingDone;
    case ExportOutcome::kWritten:
        break;
    }
    for (const std::string& name : report.leftOut) {
        PrintError(file +
                   ": entry left out, its name cannot be written in this system's code "
                   "page: " +
                   name);
    }
    std::string summary = "Exported " + Plural(report.exported, "entry", "entries") + " to " + file;
    if (!report.leftOut.empty()) {
        summary += "; " + Plural(static_cast<int>(report.leftOut.size()), "entry", "entries") +
                   " left out";
    }
    PrintLine(summary);
    return report.leftOut.empty() ? kExitDone : kExitDoneInPart;
}

int ImportFromFile(const char* path, bool replace) {
    const std::string file = path;
    if (IsServerRunning()) {
        PrintError(
            "Warning: Brevant server is currently running! Changes to settings may not "
            "apply.");
    }
    UniqueBuffer sections;
    DWORD count = 0;
    const LONG status = ReadImportSections(path, &sections, &count);
    if (status != ERROR_SUCCESS) {
        PrintError(file + ": Could not read the import file: " + SystemMessage(status));
        return kExitNothingDone;
    }
    if (count == 0) {
        PrintError(file + ": The file contains no registry settings.");
        return kExitNothingDone;
    }
    const ImportReport report = ImportSections(sections.get(), path, replace);
    if (!report.anyEntry) {
        PrintError(file + ": The file contains no hook settings.");
        return kExitNothingDone;
    }
    for (const RefusedSection& section : report.refused) {
        PrintError(file + ": [" + section.name + "] " + Reason(section.why));
    }
    std::string summary = "Imported " + Plural(report.imported, "entry", "entries");
    if (report.leftAlone > 0) {
        summary += "; " + std::to_string(report.leftAlone) +
                   (report.leftAlone == 1 ? " already existed and was left alone"
                                          : " already existed and were left alone");
    }
    const int refused = static_cast<int>(report.refused.size());
    if (refused > 0) {
        summary += "; " + Plural(refused, "section", "sections") + " refused";
        if (refused == 1) summary += ": " + report.refused[0].name;
    }
    PrintLine(summary);
    if (refused == 0) return kExitDone;
    // Something went in, or was there already as asked.
    const bool anyDone = report.imported + report.leftAlone > 0 || !report.stored.empty();
    return anyDone ? kExitDoneInPart : kExitNothingDone;
}
