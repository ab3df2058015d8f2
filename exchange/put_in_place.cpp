#include "exchange/put_in_place.h"

#include <stdio.h>

#include "store/ansi_text.h"

ReplaceFileProc g_replaceFile = ReplaceFileA;
FileAttributesProc g_targetAttributes = GetFileAttributesA;

namespace {

// A scanner, the indexer or a sync client that opens the fresh file lets go
// of it within moments: the replace is tried this often, this far apart.
constexpr int kReplaceAttempts = 5;
constexpr DWORD kReplaceRetryMs = 200;

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

BOOL ReplaceWithRetries(const char* path, const char* temp, const char* backup) {
    for (int attempt = 1;; ++attempt) {
        // Without IGNORE_MERGE_ERRORS a share that refuses to take the old
        // access list refuses the whole replace.
        if (g_replaceFile(path, temp, backup, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
            return TRUE;
        }
        const DWORD error = GetLastError();
        if (attempt == kReplaceAttempts ||
            (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED)) {
            return FALSE;
        }
        Sleep(kReplaceRetryMs);
    }
}

// After a failed replace. Windows leaves both files under their own names,
// except for ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, which leaves the old file
// under the backup name: it goes back to the path.
LONG Recover(const char* temp, const char* path, const char* backup, LONG error) {
    if (Exists(path) || (Exists(backup) && MoveFileExA(backup, path, MOVEFILE_WRITE_THROUGH))) {
        DeleteFileA(temp);
        return error;
    }
    // Nothing at the path and the old file cannot come back there: the new
    // file is complete, so it takes the place the user chose for it.
    if (MoveFileExA(temp, path, MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(backup);
        return ERROR_SUCCESS;
    }
    return error;  // both files kept under their names; neither is deleted
}

}  // namespace

LONG LastFailure() {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? static_cast<LONG>(error) : ERROR_WRITE_FAULT;
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

LONG FinishFile(UniqueFile* file) {
    LONG status = FlushFileBuffers(file->get()) ? ERROR_SUCCESS : LastFailure();
    if (!CloseHandle(file->release()) && status == ERROR_SUCCESS) status = LastFailure();
    return status;
}

LONG PutInPlace(const char* temp, const char* path) {
    const DWORD attributes = g_targetAttributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        // Only a plain "not there" makes this a new file; a file that cannot
        // be looked at must not be moved over.
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            DeleteFileA(temp);
            return LastFailure();
        }
        if (MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return ERROR_SUCCESS;
        }
        const LONG failed = LastFailure();
        DeleteFileA(temp);
        return failed;
    }
    LONG status = ERROR_SUCCESS;
    // Windows refuses to replace a read-only file; say so the same way
    // wherever the program runs.
    if (attributes & FILE_ATTRIBUTE_READONLY) status = ERROR_ACCESS_DENIED;
    // A file another program holds open cannot be replaced. Asked first:
    // Wine's ReplaceFile, refused, leaves a stray empty file beside it.
    if (status == ERROR_SUCCESS) {
        UniqueFile probe(CreateFileA(path, GENERIC_READ | DELETE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, 0, nullptr));
        if (!probe.valid()) status = LastFailure();
    }
    char backup[MAX_PATH] = "";
    if (status == ERROR_SUCCESS) status = BackupNameBeside(path, backup);
    if (status != ERROR_SUCCESS) {
        DeleteFileA(temp);
        return status;
    }
    // ReplaceFile keeps the chosen file's ACL, owner, attributes and
    // streams, where a rename would put a plain new file in its place. With a
    // backup name, no failure of it leaves the path empty.
    if (!ReplaceWithRetries(path, temp, backup)) return Recover(temp, path, backup, LastFailure());
    DeleteFileA(backup);
    // Wine's ReplaceFile drops the attributes (hidden, for one); Windows
    // keeps them. The content is new either way: backup tools look for the
    // archive bit.
    const DWORD wanted = (attributes & ~FILE_ATTRIBUTE_NORMAL) | FILE_ATTRIBUTE_ARCHIVE;
    if (GetFileAttributesA(path) != wanted) SetFileAttributesA(path, wanted);
    return ERROR_SUCCESS;
}
