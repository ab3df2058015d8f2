#include "exchange/export_file.h"

#include <stdio.h>
#include <string.h>

#include "dialog/main_dialog.h"
#include "dialog/scoped_ui.h"
#include "exchange/section_names.h"
#include "store/ansi_text.h"
#include "store/handles.h"
#include "store/hook_settings.h"
#include "store/registry_store.h"

namespace {

// The error of the call that just failed; some failures (a short write)
// leave none behind, and a failure must never read as success.
LONG LastFailure() {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? static_cast<LONG>(error) : ERROR_WRITE_FAULT;
}

bool WriteText(ExportOutput* out, const char* text, int length) {
    DWORD written = 0;
    const bool ok = WriteFile(out->file, text, static_cast<DWORD>(length), &written, nullptr) &&
                    written == static_cast<DWORD>(length);
    if (!ok && out->error == ERROR_SUCCESS) out->error = LastFailure();
    return ok;
}

// Creates a new file beside `path` to write the export into, so that a
// failed export never touches the file already at the path. The name is
// built here, bounded: a folder too long for it is a failure, not a cut name.
LONG CreateTempBeside(const char* path, char* temp, UniqueFile* file) {
    const char* slash = FindLastChar(path, "\\/");
    const int folderLength = slash ? static_cast<int>(slash - path) + 1 : 0;
    DWORD unique = GetTickCount() ^ (GetCurrentProcessId() << 16);
    for (int attempt = 0; attempt < 100; ++attempt, ++unique) {
        const int length = snprintf(temp, MAX_PATH, "%.*skmx%04lx.tmp", folderLength, path,
                                    static_cast<unsigned long>(unique & 0xFFFF));
        if (length < 0 || length >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
        HANDLE h = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            *file = UniqueFile(h);
            return ERROR_SUCCESS;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return LastFailure();
    }
    return ERROR_FILE_EXISTS;
}

// Writes the whole file to an open handle: ERROR_SUCCESS, or the error that
// keeps it from being a complete export.
LONG WriteExport(HKEY settingsKey, HANDLE file) {
    ExportOutput out = {file, ERROR_SUCCESS};
    WriteText(&out, "REGEDIT4\r\n", 10);
    char name[kEnumNameSize];
    for (DWORD index = 0;; ++index) {
        const LONG status = EnumerateEntry(settingsKey, index, name);
        if (status == ERROR_NO_MORE_ITEMS) break;
        // Any other answer (such as a name too long for the buffer) would
        // leave entries out of the backup.
        if (status != ERROR_SUCCESS) return status;
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

// Everything written reaches the disk, and the close succeeds, before the
// file may replace the one the user chose.
LONG Finish(UniqueFile* file) {
    LONG status = FlushFileBuffers(file->get()) ? ERROR_SUCCESS : LastFailure();
    if (!CloseHandle(file->release()) && status == ERROR_SUCCESS) status = LastFailure();
    return status;
}

// The finished export takes the place of the file at `path`.
LONG PutInPlace(const char* temp, const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
                   ? ERROR_SUCCESS
                   : LastFailure();
    }
    // Windows refuses to replace a read-only file; say so the same way
    // wherever the program runs.
    if (attributes & FILE_ATTRIBUTE_READONLY) return ERROR_ACCESS_DENIED;
    // A file another program holds open cannot be replaced. Asked first:
    // Wine's ReplaceFile, refused, leaves a stray empty file beside it.
    UniqueFile probe(CreateFileA(path, GENERIC_READ | DELETE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
    if (!probe.valid()) return LastFailure();
    probe.reset();
    // ReplaceFile keeps the chosen file's ACL, owner, attributes and
    // streams, where a rename would put a plain new file in its place.
    if (!ReplaceFileA(path, temp, nullptr, 0, nullptr, nullptr)) return LastFailure();
    // Wine's ReplaceFile drops the attributes (hidden, for one); Windows
    // keeps them, so this changes nothing there.
    if (GetFileAttributesA(path) != attributes) SetFileAttributesA(path, attributes);
    return ERROR_SUCCESS;
}

// Writes the export beside `path` and puts it in place; ERROR_SUCCESS, or
// the error that kept it from replacing the file (which is then untouched).
LONG ExportTo(HKEY settingsKey, const char* path) {
    WaitCursor wait;
    char temp[MAX_PATH] = "";
    UniqueFile file;
    LONG status = CreateTempBeside(path, temp, &file);
    if (status != ERROR_SUCCESS) return status;
    status = WriteExport(settingsKey, file.get());
    const LONG finished = Finish(&file);
    if (status == ERROR_SUCCESS) status = finished;
    if (status == ERROR_SUCCESS) status = PutInPlace(temp, path);
    if (status != ERROR_SUCCESS) DeleteFileA(temp);
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
    if (opened != ERROR_SUCCESS) {
        MessageBoxA(owner, "There are no hook settings to export.", kAppTitle, MB_ICONERROR);
        return opened;
    }

    const LONG status = ExportTo(settingsKey.get(), path);
    if (status != ERROR_SUCCESS) {
        MessageBoxA(owner, "Could not write the export file.", kAppTitle, MB_ICONERROR);
        return status;
    }
    return RegCloseKey(settingsKey.release());
}
