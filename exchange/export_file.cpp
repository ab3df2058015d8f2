#include "exchange/export_file.h"

#include <stdio.h>
#include <string.h>

#include "dialog/main_dialog.h"
#include "exchange/section_names.h"
#include "store/handles.h"
#include "store/hook_settings.h"
#include "store/registry_store.h"

namespace {

bool WriteText(ExportOutput* out, const char* text, int length) {
    DWORD written = 0;
    const bool ok = WriteFile(out->file, text, static_cast<DWORD>(length), &written, nullptr) &&
                    written == static_cast<DWORD>(length);
    if (!ok) out->failed = true;
    return ok;
}

// The temporary file goes into the folder of `path`, so that the finished
// export can replace the chosen file in one rename.
bool MakeTempPath(const char* path, char* temp) {
    char folder[MAX_PATH];
    lstrcpynA(folder, path, MAX_PATH);
    char* slash = strrchr(folder, '\\');
    char* other = strrchr(folder, '/');
    if (other > slash) slash = other;
    if (slash) {
        slash[1] = '\0';
    } else {
        lstrcpyA(folder, ".");
    }
    return GetTempFileNameA(folder, "kmx", 0, temp) != 0;
}

// Writes the whole file to an open handle; false when any write failed.
bool WriteExport(HKEY settingsKey, HANDLE file) {
    ExportOutput out = {file, false};
    WriteText(&out, "REGEDIT4\r\n", 10);
    char name[kEnumNameSize];
    for (DWORD index = 0; EnumerateEntry(settingsKey, index, name) == ERROR_SUCCESS; ++index) {
        char section[336];
        const int length =
            snprintf(section, sizeof(section), "\r\n[%s%s]\r\n", kSectionPrefix, name);
        WriteText(&out, section, length);
        // The key path is the section name without the root's name.
        char keyPath[kKeyPathSize];
        BuildEntryKeyPath(name, keyPath, sizeof(keyPath));
        for (const HookSetting& setting : kHookSettings) {
            WriteValueLine(keyPath, setting.valueName, &out);
        }
    }
    WriteText(&out, "\r\n", 2);
    return !out.failed;
}

// The error of the call that just failed; some failures (a short write)
// leave none behind, and a failure must never read as success.
LONG LastFailure() {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? static_cast<LONG>(error) : ERROR_WRITE_FAULT;
}

}  // namespace

bool WriteValueLine(const char* keyPath, const char* valueName, ExportOutput* out) {
    DWORD value = 0;
    if (!ReadRegistryDword(HKEY_CURRENT_USER, keyPath, valueName, &value)) return false;
    char line[48];
    const int length = snprintf(line, sizeof(line), "\"%s\"=dword:%8.8lx\r\n", valueName,
                                static_cast<unsigned long>(value));
    return WriteText(out, line, length);
}

LONG ExportRegistryFile(HWND owner, const char* path) {
    UniqueRegKey settingsKey;
    const LONG opened = OpenSettingsKey(KEY_ENUMERATE_SUB_KEYS, settingsKey.put());
    if (opened != ERROR_SUCCESS) {
        MessageBoxA(owner, "There are no hook settings to export.", kAppTitle, MB_ICONERROR);
        return opened;
    }

    // Written to a temporary file first: a failed export must not destroy
    // the file that is already at the path.
    char temp[MAX_PATH];
    if (!MakeTempPath(path, temp)) {
        const LONG error = LastFailure();
        MessageBoxA(owner, "Could not write the export file.", kAppTitle, MB_ICONERROR);
        return error;
    }
    LONG status = ERROR_SUCCESS;
    {
        UniqueFile file(CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid() || !WriteExport(settingsKey.get(), file.get())) status = LastFailure();
    }
    // Windows refuses to replace a read-only file; Wine's rename does not,
    // so the program asks first and behaves the same on both.
    const DWORD attributes = GetFileAttributesA(path);
    if (status == ERROR_SUCCESS && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_READONLY)) {
        status = ERROR_ACCESS_DENIED;
    }
    if (status == ERROR_SUCCESS &&
        !MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        status = LastFailure();
    }
    if (status != ERROR_SUCCESS) {
        DeleteFileA(temp);
        MessageBoxA(owner, "Could not write the export file.", kAppTitle, MB_ICONERROR);
        return status;
    }
    return RegCloseKey(settingsKey.release());
}
