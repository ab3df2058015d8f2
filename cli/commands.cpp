#include "cli/commands.h"

#include <windows.h>

#include <string.h>

#include <string>
#include <vector>

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

// A field as RFC 4180 writes it: in quotes, inner quotes doubled, where it
// holds a comma, a quote or a line end. Also where it begins or ends with a
// blank or a tab: PowerShell's reader drops those of an unquoted field.
std::string CsvField(const std::string& text) {
    const bool padded = !text.empty() && (text.front() == ' ' || text.front() == '\t' ||
                                          text.back() == ' ' || text.back() == '\t');
    if (!padded && text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string CsvLine(const char* name, const DWORD* values, unsigned read) {
    std::string line = CsvField(name);
    for (int i = 0; i < kHookSettingCount; ++i) {
        line += ",";
        if (read & (1u << i)) line += std::to_string(values[i]);
    }
    return line;
}

// Long lists of problems are cut: a whole profile's export would otherwise
// fill a logon log with a line per foreign section.
constexpr size_t kProblemsNamed = 20;

void PrintProblems(const std::vector<std::string>& lines) {
    for (size_t i = 0; i < lines.size() && i < kProblemsNamed; ++i) PrintError(lines[i]);
    if (lines.size() > kProblemsNamed) {
        PrintError("(and " + std::to_string(lines.size() - kProblemsNamed) + " more)");
    }
}

const char* Reason(Refusal why) {
    switch (why) {
    case Refusal::kOutsideSettings:
        return "is not a hook settings entry; refused";
    case Refusal::kBelowEntry:
        return "names a key inside an entry; refused";
    case Refusal::kNameTooLong:
        return "names an entry too long for this program (255 characters, 260 bytes); not "
               "imported";
    case Refusal::kNotChecked:
        return "could not be compared with the existing entries; not imported";
    case Refusal::kNotWritten:
        return "could not be written completely";
    case Refusal::kEmpty:
        return "has no values, or names an entry outside this system's code page; not imported";
    case Refusal::kNoSettings:
        return "holds no hook setting as a dword value; not imported";
    case Refusal::kRepeated:
        return "names an entry that an earlier section of the file names; only the first "
               "section was read";
    }
    return "not imported";
}

const char* LeftOutReasonText(LeftOutReason why) {
    switch (why) {
    case LeftOutReason::kTooLong:
        return "entry left out, its name is too long for this program: ";
    case LeftOutReason::kOutsideCodePage:
        return "entry left out, its name cannot be written in this system's code page: ";
    case LeftOutReason::kEndsInDropped:
        return "entry left out, its name ends in a blank or another character that a registry "
               "file does not keep: ";
    case LeftOutReason::kControlCharacter:
        return "entry left out, its name holds a control character, which a registry file "
               "does not keep: ";
    }
    return "entry left out: ";
}

std::string ImportSummary(const ImportReport& report, bool whatIf) {
    std::string summary =
        (whatIf ? "Would import " : "Imported ") + Plural(report.imported, "entry", "entries");
    if (report.leftAlone > 0) {
        const bool one = report.leftAlone == 1;
        summary += "; " + std::to_string(report.leftAlone) +
                   (whatIf ? (one ? " already exists and would be" : " already exist and would be")
                           : (one ? " already existed and was" : " already existed and were")) +
                   " left alone";
    }
    const int refused = static_cast<int>(report.refused.size());
    if (refused > 0) {
        summary += "; " + Plural(refused, "section", "sections") + " refused";
        if (refused == 1) summary += ": " + report.refused[0].name;
    }
    if (!report.skipped.empty()) {
        summary +=
            "; " + Plural(static_cast<int>(report.skipped.size()), "value", "values") + " skipped";
    }
    if (whatIf) {
        summary += "; nothing was written";
        // Whether the registry takes each key is known only by writing it.
        if (report.imported > 0)
            summary += " (a key the registry refuses shows only in a real run)";
        if (report.anyWritten && IsServerRunning()) {
            summary += "; the server is running, which the import would warn of";
        }
    }
    return summary;
}

void WarnIfServerRuns() {
    if (IsServerRunning()) {
        PrintError(
            "Warning: Brevant server is currently running! Changes to settings may not "
            "apply.");
    }
}

}  // namespace

int ListEntries(bool csv) {
    std::string header = csv ? "name" : "";
    for (const HookSetting& setting : kHookSettings) {
        header += csv ? "," + std::string(setting.valueName) : std::string(setting.valueName) + " ";
    }
    UniqueRegKey key;
    const LONG opened = OpenSettingsKey(KEY_ENUMERATE_SUB_KEYS, key.put());
    if (opened != ERROR_SUCCESS && opened != ERROR_FILE_NOT_FOUND) {
        PrintError("Could not read the hook settings: " + SystemMessage(opened));
        return kExitNothingDone;
    }
    PrintLine(csv ? header : header + "name");
    int status = kExitDone;
    char name[kEnumNameSize];
    for (DWORD index = 0; key.valid(); ++index) {
        bool reachable = true;
        const LONG enumerated = EnumerateEntry(key.get(), index, name, &reachable);
        if (enumerated == ERROR_NO_MORE_ITEMS) break;
        // Such an entry's values would be read from another key, or none.
        if (enumerated == ERROR_MORE_DATA) {
            PrintError("Entry not listed: its name is too long for this program: " +
                       LongEntryName(key.get(), index));
            status = kExitDoneInPart;
            continue;
        }
        if (enumerated != ERROR_SUCCESS) {
            PrintError("Could not read the hook settings: " + SystemMessage(enumerated));
            return kExitDoneInPart;
        }
        if (!reachable) {
            PrintError("Entry not listed: its name cannot be written in this system's code page: " +
                       std::string(name));
            status = kExitDoneInPart;
            continue;
        }
        // Best fit would list "Šapp.exe" as "Sapp.exe", another entry.
        if (!OutputHolds(name)) {
            PrintError("Entry not listed: its name cannot be written in the output's code page (" +
                       std::to_string(OutputCodePage()) + "): " + std::string(name));
            status = kExitDoneInPart;
            continue;
        }
        DWORD values[kHookSettingCount];
        const unsigned read = ReadEntrySettings(key.get(), name, values);
        PrintLine(csv ? CsvLine(name, values, read) : ListLine(name, values, read));
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
        if (report.linkTargetUnusable) {
            PrintError(file + ": Could not write the export file: it is a link to a file whose " +
                       (report.error == ERROR_NO_UNICODE_TRANSLATION
                            ? "path cannot be written in this system's code page"
                            : "path is too long for this program"));
        } else {
            PrintError(file + ": Could not write the export file: " + SystemMessage(report.error));
        }
        if (!report.earlierFile.empty()) {
            PrintError(file + ": your earlier file is now " + report.earlierFile +
                       "; the new export is " + report.newFile);
        }
        return kExitNothingDone;
    case ExportOutcome::kEveryEntryLeftOut:
    case ExportOutcome::kWritten:
        break;
    }
    std::vector<std::string> problems;
    for (const LeftOutEntry& entry : report.leftOut) {
        problems.push_back(file + ": " + LeftOutReasonText(entry.why) + entry.name);
    }
    PrintProblems(problems);
    if (report.outcome == ExportOutcome::kEveryEntryLeftOut) {
        PrintError(file + ": Every entry was left out; the file was not written.");
        return kExitNothingDone;
    }
    if (!report.leftBackup.empty()) {
        PrintError(file +
                   ": a copy of your earlier file could not be deleted: " + report.leftBackup);
    }
    std::string summary = "Exported " + Plural(report.exported, "entry", "entries") + " to " + file;
    if (!report.leftOut.empty()) {
        summary += "; " + Plural(static_cast<int>(report.leftOut.size()), "entry", "entries") +
                   " left out";
    }
    PrintLine(summary);
    return report.leftOut.empty() ? kExitDone : kExitDoneInPart;
}

int ImportFromFile(const char* path, bool replace, bool whatIf) {
    const std::string file = path;
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
    const ImportReport report = ImportSections(sections.get(), path, replace, whatIf);
    if (!report.anyEntry) {
        PrintError(file + ": The file contains no hook settings.");
        return kExitNothingDone;
    }
    std::vector<std::string> problems;
    for (const RefusedSection& section : report.refused) {
        problems.push_back(file + ": [" + section.name + "] " + Reason(section.why));
    }
    for (const SkippedValue& value : report.skipped) {
        problems.push_back(file + ": [" + value.section + "] \"" + value.valueName +
                           "\"=" + value.text + " is not a dword value; skipped");
    }
    PrintProblems(problems);
    PrintLine(ImportSummary(report, whatIf));
    // At logon the server always runs: the warning is worth a line only
    // where settings changed under it.
    if (report.anyWritten && !whatIf) WarnIfServerRuns();
    if (problems.empty()) return kExitDone;
    // Something went in, or was there already as asked; a key that refused
    // every write is nothing done.
    const bool anyDone = report.imported + report.leftAlone > 0 || report.anyWritten;
    return anyDone ? kExitDoneInPart : kExitNothingDone;
}

int PrintVersion() {
    char module[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, module, MAX_PATH);
    DWORD ignored = 0;
    const DWORD size =
        length > 0 && length < MAX_PATH ? GetFileVersionInfoSizeA(module, &ignored) : 0;
    std::vector<char> block(size);
    char* version = nullptr;
    UINT versionLength = 0;
    if (size == 0 || !GetFileVersionInfoA(module, 0, size, block.data()) ||
        !VerQueryValueA(block.data(), "\\StringFileInfo\\040904e4\\ProductVersion",
                        reinterpret_cast<void**>(&version), &versionLength) ||
        versionLength == 0) {
        PrintError("The version block cannot be read.");
        return kExitNothingDone;
    }
    PrintLine("kmxhooks " + std::string(version));
    return kExitDone;
}
