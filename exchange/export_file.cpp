#include "exchange/export_file.h"

#include <stdio.h>

#include <string>

#include "dialog/main_dialog.h"
#include "dialog/scoped_ui.h"
#include "exchange/put_in_place.h"
#include "exchange/section_names.h"
#include "store/handles.h"
#include "store/hook_settings.h"
#include "store/registry_store.h"

namespace {

bool WriteText(ExportOutput* out, const char* text, int length) {
    DWORD written = 0;
    const bool ok = WriteFile(out->file, text, static_cast<DWORD>(length), &written, nullptr) &&
                    written == static_cast<DWORD>(length);
    if (!ok && out->error == ERROR_SUCCESS) out->error = LastFailure();
    return ok;
}

// The entries left out, as the code page shows their names: the first few
// by name, the rest counted, so that the message stays readable.
struct LeftOut {
    std::string names;
    int count = 0;
};
constexpr int kLeftOutNamed = 20;

// Writes the whole file to an open handle: ERROR_SUCCESS, or the error that
// keeps it from being a complete export. Entries whose names this system's
// code page cannot hold are left out, and listed in `leftOut`.
LONG WriteExport(HKEY settingsKey, HANDLE file, LeftOut* leftOut) {
    ExportOutput out = {file, ERROR_SUCCESS};
    WriteText(&out, "REGEDIT4\r\n", 10);
    char name[kEnumNameSize];
    for (DWORD index = 0;; ++index) {
        bool reachable = true;
        const LONG status = EnumerateEntry(settingsKey, index, name, &reachable);
        if (status == ERROR_NO_MORE_ITEMS) break;
        // Any other answer (such as a name too long for the buffer) would
        // leave entries out of the backup.
        if (status != ERROR_SUCCESS) return status;
        // Its section would name another key, and hold none of its values.
        if (!reachable) {
            if (++leftOut->count <= kLeftOutNamed) leftOut->names += std::string("\r\n") + name;
            continue;
        }
        char section[336];
        const int length =
            snprintf(section, sizeof(section), "\r\n[%s%s]\r\n", kSectionPrefix, name);
        WriteText(&out, section, length);
        // The key path is the section name without the root's name.
        char keyPath[kKeyPathSize];
        BuildEntryKeyPath(name, keyPath, sizeof(keyPath));
        DWORD values[kHookSettingCount];
        const unsigned read = ReadEntrySettings(keyPath, values);
        for (int i = 0; i < kHookSettingCount; ++i) {
            if (read & (1u << i)) WriteValueLine(kHookSettings[i].valueName, values[i], &out);
        }
    }
    WriteText(&out, "\r\n", 2);
    return out.error;
}

// Writes the export beside `path` and puts it in place; ERROR_SUCCESS, or
// the error that kept it from replacing the file (which is then untouched).
LONG ExportTo(HKEY settingsKey, const char* path, LeftOut* leftOut) {
    WaitCursor wait;
    char temp[MAX_PATH] = "";
    UniqueFile file;
    LONG status = CreateFileBeside(path, temp, &file);
    if (status != ERROR_SUCCESS) return status;
    status = WriteExport(settingsKey, file.get(), leftOut);
    const LONG finished = FinishFile(&file);
    if (status == ERROR_SUCCESS) status = finished;
    if (status == ERROR_SUCCESS) return PutInPlace(temp, path);
    DeleteFileA(temp);
    return status;
}

}  // namespace

bool WriteValueLine(const char* valueName, DWORD value, ExportOutput* out) {
    char line[48];
    const int length = snprintf(line, sizeof(line), "\"%s\"=dword:%8.8lx\r\n", valueName,
                                static_cast<unsigned long>(value));
    return WriteText(out, line, length);
}

LONG ExportRegistryFile(HWND owner, const char* path) {
    UniqueRegKey settingsKey;
    const LONG opened = OpenSettingsKey(KEY_ENUMERATE_SUB_KEYS, settingsKey.put());
    if (opened == ERROR_FILE_NOT_FOUND) {
        MessageBoxA(owner, "There are no hook settings to export.", kAppTitle, MB_ICONERROR);
        return opened;
    }
    if (opened != ERROR_SUCCESS) {
        MessageBoxA(owner, "Could not read the hook settings.", kAppTitle, MB_ICONERROR);
        return opened;
    }

    LeftOut leftOut;
    const LONG status = ExportTo(settingsKey.get(), path, &leftOut);
    if (status != ERROR_SUCCESS) {
        MessageBoxA(owner, "Could not write the export file.", kAppTitle, MB_ICONERROR);
        return status;
    }
    // Filled through the pointer ExportTo was given, which cppcheck misses.
    // cppcheck-suppress knownConditionTrueFalse
    if (leftOut.count > 0) {
        std::string text =
            "These entries were not exported: their names cannot be written in this system's "
            "code page.\r\n" +
            leftOut.names;
        if (leftOut.count > kLeftOutNamed) {
            text += "\r\n(and " + std::to_string(leftOut.count - kLeftOutNamed) + " more)";
        }
        MessageBoxA(owner, text.c_str(), kAppTitle, MB_ICONWARNING);
    }
    return RegCloseKey(settingsKey.release());
}
