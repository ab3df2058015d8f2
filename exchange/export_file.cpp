#include "exchange/export_file.h"

#include <stdio.h>
#include <string.h>

#include "exchange/put_in_place.h"
#include "exchange/section_names.h"
#include "store/handles.h"
#include "store/hook_settings.h"
#include "store/registry_store.h"

namespace {

// The profile reader drops these at the end of a section name, as it drops
// a blank. Trail bytes of a double-byte character are never below 0x40.
bool EndsInDroppedCharacter(const char* name) {
    const size_t length = strlen(name);
    return length > 0 && strchr(" \t\v\f\x1a", name[length - 1]) != nullptr;
}

bool HasControlCharacter(const char* name) {
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) {
        if (*p < 0x20 || *p == 0x7F) return true;
    }
    return false;
}

bool WriteText(ExportOutput* out, const char* text, int length) {
    const LONG status = WriteAll(out->file, text, static_cast<DWORD>(length));
    if (status != ERROR_SUCCESS && out->error == ERROR_SUCCESS) out->error = status;
    return status == ERROR_SUCCESS;
}

// Writes the whole file to an open handle: ERROR_SUCCESS, or the error that
// keeps it from being a complete export. Entries whose names this system's
// code page cannot hold are left out, and listed in the report.
LONG WriteExport(HKEY settingsKey, HANDLE file, ExportReport* report) {
    ExportOutput out = {file, ERROR_SUCCESS};
    WriteText(&out, "REGEDIT4\r\n", 10);
    char name[kEnumNameSize];
    for (DWORD index = 0;; ++index) {
        bool reachable = true;
        const LONG status = EnumerateEntry(settingsKey, index, name, &reachable);
        if (status == ERROR_NO_MORE_ITEMS) break;
        // A name longer than an entry name may be (made by another program
        // in a double-byte code page or UTF-8) is left out and named.
        if (status == ERROR_MORE_DATA) {
            report->leftOut.push_back({LongEntryName(settingsKey, index), LeftOutReason::kTooLong});
            continue;
        }
        // Any other answer would leave entries out of the backup unsaid.
        if (status != ERROR_SUCCESS) return status;
        // Its section would name another key, and hold none of its values.
        if (!reachable) {
            report->leftOut.push_back({name, LeftOutReason::kOutsideCodePage});
            continue;
        }
        // The import could not give it back: too long to be stored, or
        // read back as another entry, or as none.
        if (!EntryNameFits(name)) {
            report->leftOut.push_back({name, LeftOutReason::kTooLong});
            continue;
        }
        if (EndsInDroppedCharacter(name)) {
            report->leftOut.push_back({name, LeftOutReason::kEndsInDropped});
            continue;
        }
        if (HasControlCharacter(name)) {
            report->leftOut.push_back({name, LeftOutReason::kControlCharacter});
            continue;
        }
        char section[336];
        const int length =
            snprintf(section, sizeof(section), "\r\n[%s%s]\r\n", kSectionPrefix, name);
        WriteText(&out, section, length);
        DWORD values[kHookSettingCount];
        const unsigned read = ReadEntrySettings(settingsKey, name, values);
        for (int i = 0; i < kHookSettingCount; ++i) {
            if (read & (1u << i)) WriteValueLine(kHookSettings[i].valueName, values[i], &out);
        }
        ++report->exported;
    }
    WriteText(&out, "\r\n", 2);
    return out.error;
}

// Writes the export beside `path` and puts it in place; ERROR_SUCCESS, or
// the error that kept it from replacing the file (which is then untouched).
LONG ExportTo(HKEY settingsKey, const char* path, ExportReport* report) {
    // Beside the file a link points to: that file is replaced, the link kept.
    char target[MAX_PATH];
    LONG status = ResolveTarget(path, target);
    if (status != ERROR_SUCCESS) {
        report->linkTargetUnusable =
            status == ERROR_FILENAME_EXCED_RANGE || status == ERROR_NO_UNICODE_TRANSLATION;
        return status;
    }
    char temp[MAX_PATH] = "";
    UniqueFile file;
    status = CreateFileBeside(target, temp, &file);
    if (status != ERROR_SUCCESS) return status;
    status = WriteExport(settingsKey, file.get(), report);
    const LONG finished = FinishFile(&file);
    if (status == ERROR_SUCCESS) status = finished;
    // A file of no entries would replace a good backup with nothing.
    const bool nothingWritten = report->exported == 0 && !report->leftOut.empty();
    if (status != ERROR_SUCCESS || nothingWritten) {
        DeleteWhenFree(temp);
        if (status == ERROR_SUCCESS) report->outcome = ExportOutcome::kEveryEntryLeftOut;
        return status;
    }
    StrandedFiles stranded;
    status = PutInPlace(temp, target, &stranded);
    report->earlierFile = stranded.earlier;
    report->newFile = stranded.fresh;
    report->leftBackup = stranded.backup;
    return status;
}

}  // namespace

bool WriteValueLine(const char* valueName, DWORD value, ExportOutput* out) {
    char line[48];
    const int length = snprintf(line, sizeof(line), "\"%s\"=dword:%8.8lx\r\n", valueName,
                                static_cast<unsigned long>(value));
    return WriteText(out, line, length);
}

ExportReport ExportEntries(const char* path) {
    ExportReport report;
    UniqueRegKey settingsKey;
    report.error = OpenSettingsKey(KEY_ENUMERATE_SUB_KEYS, settingsKey.put());
    if (report.error != ERROR_SUCCESS) {
        report.outcome = report.error == ERROR_FILE_NOT_FOUND ? ExportOutcome::kNoSettings
                                                              : ExportOutcome::kSettingsUnreadable;
        return report;
    }
    report.error = ExportTo(settingsKey.get(), path, &report);
    if (report.error != ERROR_SUCCESS) {
        report.outcome = ExportOutcome::kFileNotWritten;
        report.exported = 0;
        report.leftOut.clear();
    }
    return report;
}
