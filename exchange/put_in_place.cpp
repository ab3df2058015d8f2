#include "exchange/put_in_place.h"

#include <stdio.h>
#include <string.h>

#include "store/ansi_text.h"

ReplaceFileProc g_replaceFile = ReplaceFileA;
FileAttributesProc g_targetAttributes = GetFileAttributesA;
SetAttributesProc g_setAttributes = SetFileAttributesA;
WriteFileProc g_writeFile = WriteFile;
FlushFileProc g_flushFile = FlushFileBuffers;

namespace {

// A scanner, the indexer or a sync client that opens a fresh file lets go
// of it within moments: a step refused for such a hold is tried this often,
// this far apart (about a second in all).
constexpr int kAttempts = 5;
constexpr DWORD kRetryMs = 200;

// Of the old file's attributes, only these are the user's; OFFLINE, PINNED,
// TEMPORARY and the like say how that file was stored, not the new one.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

bool IsHeld(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// Runs a file-system step again while another program holds the file for a
// moment; any other failure, ERROR_ACCESS_DENIED included, ends it at once.
// GetLastError is the step's own afterwards.
template <typename Step>
bool UntilNotHeld(Step step) {
    for (int attempt = 1;; ++attempt) {
        if (step()) return true;
        const DWORD error = GetLastError();
        if (attempt == kAttempts || !IsHeld(error)) {
            SetLastError(error);
            return false;
        }
        Sleep(kRetryMs);
    }
}

bool Move(const char* from, const char* to, DWORD flags) {
    return UntilNotHeld(
        [=]() { return MoveFileExA(from, to, flags | MOVEFILE_WRITE_THROUGH) != FALSE; });
}

bool Exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// "<folder of path>kmxXXXX.<extension>" into `name` (MAX_PATH bytes), bounded.
bool NameBeside(const char* path, DWORD unique, const char* extension, char* name) {
    const char* slash = FindLastChar(path, "\\/");
    const int folderLength = slash ? static_cast<int>(slash - path) + 1 : 0;
    const int length = snprintf(name, MAX_PATH, "%.*skmx%04lx.%s", folderLength, path,
                                static_cast<unsigned long>(unique & 0xFFFF), extension);
    return length > 0 && length < MAX_PATH;
}

DWORD FirstUnique() { return GetTickCount() ^ (GetCurrentProcessId() << 16); }

// A name beside `path` that no file has yet, for the old file while the new
// one moves in.
LONG BackupNameBeside(const char* path, char* backup) {
    DWORD unique = FirstUnique();
    for (int attempt = 0; attempt < 100; ++attempt, ++unique) {
        if (!NameBeside(path, unique, "bak", backup)) return ERROR_FILENAME_EXCED_RANGE;
        if (!Exists(backup)) return ERROR_SUCCESS;
    }
    return ERROR_FILE_EXISTS;
}

// The chosen file before it is replaced: ERROR_SUCCESS with its attributes,
// ERROR_FILE_NOT_FOUND when there is none, or the error that keeps it from
// being replaced.
LONG LookAtTarget(const char* path, DWORD* attributes) {
    if (!UntilNotHeld([&]() {
            *attributes = g_targetAttributes(path);
            return *attributes != INVALID_FILE_ATTRIBUTES;
        })) {
        const DWORD error = GetLastError();
        // Only a plain "not there" makes this a new file; a file that cannot
        // be looked at must not be moved over.
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return ERROR_FILE_NOT_FOUND;
        }
        return LastFailure();
    }
    // Windows refuses to replace a read-only file; say so the same way
    // wherever the program runs.
    if (*attributes & FILE_ATTRIBUTE_READONLY) return ERROR_ACCESS_DENIED;
    // A file another program holds without delete sharing cannot be
    // replaced. Asked first: Wine's ReplaceFile, refused, leaves a stray
    // empty file beside it.
    UniqueFile probe;
    if (!UntilNotHeld([&]() {
            probe = UniqueFile(CreateFileA(path, GENERIC_READ | DELETE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
            return probe.valid();
        })) {
        return LastFailure();
    }
    return ERROR_SUCCESS;
}

// ReplaceFile keeps the chosen file's ACL, owner, attributes and streams,
// where a rename would put a plain new file in its place.
BOOL Replace(const char* path, const char* temp, const char* backup) {
    return UntilNotHeld([=]() {
        // Without IGNORE_MERGE_ERRORS a share that refuses to take the old
        // access list refuses the whole replace.
        return g_replaceFile(path, temp, backup, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                             nullptr) != FALSE;
    });
}

// Some network storage has no ReplaceFile; both files keep their names then.
bool ReplaceUnsupported(DWORD error) {
    return error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED ||
           error == ERROR_INVALID_FUNCTION;
}

void FullName(const char* path, char* full) {
    const DWORD length = GetFullPathNameA(path, MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) lstrcpynA(full, path, MAX_PATH);
}

// After a failed replace. Windows leaves both files under their own names,
// except for ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, which leaves the old file
// under the backup name: it goes back to the path.
LONG Recover(const char* temp, const char* path, const char* backup, LONG error,
             StrandedFiles* stranded) {
    if (Exists(path) || (Exists(backup) && Move(backup, path, 0))) {
        DeleteWhenFree(temp);
        return error;
    }
    // Nothing at the path and the old file cannot come back there: the new
    // file is complete, so it takes the place the user chose for it.
    if (Move(temp, path, 0)) {
        DeleteWhenFree(backup);
        return ERROR_SUCCESS;
    }
    // Neither: both are kept, and the user is told where.
    FullName(backup, stranded->earlier);
    FullName(temp, stranded->fresh);
    return error;
}

// The old file's own attributes on the new one, which is new content:
// backup tools look for the archive bit. Wine's ReplaceFile drops the
// attributes; Windows keeps all of them, the stored-elsewhere ones too.
void SetNewAttributes(const char* path, DWORD old) {
    const DWORD wanted = (old & kKeptAttributes) | FILE_ATTRIBUTE_ARCHIVE;
    if (GetFileAttributesA(path) != wanted) g_setAttributes(path, wanted);
}

}  // namespace

LONG LastFailure() {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? static_cast<LONG>(error) : ERROR_WRITE_FAULT;
}

void ResolveTarget(const char* path, char* target) {
    lstrcpynA(target, path, MAX_PATH);
    UniqueFile look(CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr));
    if (!look.valid()) return;
    char finalPath[MAX_PATH + 8];
    const DWORD length = GetFinalPathNameByHandleA(look.get(), finalPath, sizeof(finalPath),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= sizeof(finalPath)) return;
    // "\\?\C:\..." or "\\?\UNC\server\share\...": the plain form fits the
    // program's MAX_PATH names.
    if (strncmp(finalPath, "\\\\?\\UNC\\", 8) == 0) {
        snprintf(target, MAX_PATH, "\\\\%s", finalPath + 8);
    } else if (strncmp(finalPath, "\\\\?\\", 4) == 0) {
        lstrcpynA(target, finalPath + 4, MAX_PATH);
    }
}

bool DeleteWhenFree(const char* path) {
    return UntilNotHeld([path]() { return DeleteFileA(path) != FALSE; });
}

LONG CreateFileBeside(const char* path, char* temp, UniqueFile* file) {
    DWORD unique = FirstUnique();
    for (int attempt = 0; attempt < 100; ++attempt, ++unique) {
        if (!NameBeside(path, unique, "tmp", temp)) return ERROR_FILENAME_EXCED_RANGE;
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

LONG WriteAll(HANDLE file, const char* text, DWORD length) {
    DWORD written = 0;
    SetLastError(ERROR_SUCCESS);
    if (g_writeFile(file, text, length, &written, nullptr) && written == length) {
        return ERROR_SUCCESS;
    }
    return LastFailure();
}

LONG FinishFile(UniqueFile* file) {
    SetLastError(ERROR_SUCCESS);
    LONG status = g_flushFile(file->get()) ? ERROR_SUCCESS : LastFailure();
    if (!CloseHandle(file->release()) && status == ERROR_SUCCESS) status = LastFailure();
    return status;
}

LONG PutInPlace(const char* temp, const char* path, StrandedFiles* stranded) {
    stranded->earlier[0] = stranded->fresh[0] = '\0';
    DWORD attributes = 0;
    LONG status = LookAtTarget(path, &attributes);
    if (status == ERROR_FILE_NOT_FOUND) {
        if (Move(temp, path, MOVEFILE_REPLACE_EXISTING)) return ERROR_SUCCESS;
        status = LastFailure();
    }
    char backup[MAX_PATH] = "";
    if (status == ERROR_SUCCESS) status = BackupNameBeside(path, backup);
    if (status != ERROR_SUCCESS) {
        DeleteWhenFree(temp);
        return status;
    }
    // With a backup name, no failure of the replace leaves the path empty.
    if (!Replace(path, temp, backup)) {
        const DWORD error = GetLastError();
        if (!ReplaceUnsupported(error)) {
            return Recover(temp, path, backup, LastFailure(), stranded);
        }
        // Both files kept their names: a plain move takes the place.
        if (!Move(temp, path, MOVEFILE_REPLACE_EXISTING)) {
            status = LastFailure();
            DeleteWhenFree(temp);
            return status;
        }
    }
    DeleteWhenFree(backup);
    SetNewAttributes(path, attributes);
    return ERROR_SUCCESS;
}
