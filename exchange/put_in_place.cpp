#include "exchange/put_in_place.h"

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "exchange/wait_for_file.h"
#include "store/ansi_text.h"

ReplaceFileProc g_replaceFile = ReplaceFileA;
FileAttributesProc g_targetAttributes = GetFileAttributesA;
SetAttributesProc g_setAttributes = SetFileAttributesA;
WriteFileProc g_writeFile = WriteFile;
FlushFileProc g_flushFile = FlushFileBuffers;

namespace {

// Of the old file's attributes, only these are the user's; OFFLINE, PINNED,
// TEMPORARY and the like say how that file was stored, not the new one.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

bool Move(const char* from, const char* to, DWORD flags) {
    return UntilNotHeld(
        [=]() { return MoveFileExA(from, to, flags | MOVEFILE_WRITE_THROUGH) != FALSE; });
}

bool Exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// "<folder of path>kmx<process>-<n>.<extension>" into `name` (MAX_PATH
// bytes), bounded. The process id keeps two exports into one folder at the
// same moment from picking the same name.
bool NameBeside(const char* path, DWORD unique, const char* extension, char* name) {
    const char* slash = FindLastChar(path, "\\/");
    const int folderLength = slash ? static_cast<int>(slash - path) + 1 : 0;
    const int length = snprintf(name, MAX_PATH, "%.*skmx%lx-%04lx.%s", folderLength, path,
                                static_cast<unsigned long>(GetCurrentProcessId()),
                                static_cast<unsigned long>(unique & 0xFFFF), extension);
    return length > 0 && length < MAX_PATH;
}

DWORD FirstUnique() { return GetTickCount(); }

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

// ReplaceFile's answers that leave both files under their own names while
// another program holds one of them: Windows opens the old file for DELETE
// and, with a scanner holding it, says 1175 (Wine says 32); 1176 with a
// backup name is documented to leave both in place too.
bool ReplaceHeld(DWORD error) {
    return IsHeldError(error) || error == ERROR_UNABLE_TO_REMOVE_REPLACED ||
           error == ERROR_UNABLE_TO_MOVE_REPLACEMENT;
}

// ReplaceFile keeps the chosen file's ACL, owner, attributes and streams,
// where a rename would put a plain new file in its place.
BOOL Replace(const char* path, const char* temp, const char* backup) {
    return UntilNotHeld(
        [=]() {
            // Without IGNORE_MERGE_ERRORS a share that refuses to take the
            // old access list refuses the whole replace.
            return g_replaceFile(path, temp, backup, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                                 nullptr) != FALSE;
        },
        ReplaceHeld);
}

// MoveFileEx over an existing file answers ERROR_ACCESS_DENIED while another
// program has it open, whatever sharing it allowed: waited out here, once.
// A lasting refusal costs no more than that one wait.
bool MoveOver(const char* from, const char* to) {
    return UntilNotHeld(
        [=]() {
            return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) !=
                   FALSE;
        },
        [](DWORD error) { return IsHeldError(error) || error == ERROR_ACCESS_DENIED; });
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

// The old file's copy goes once the new file is in place; one that outlasts
// the wait is named, never left beside the file unsaid.
void DropBackup(const char* backup, StrandedFiles* stranded) {
    if (!DeleteWhenFree(backup) && Exists(backup)) FullName(backup, stranded->backup);
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
        DropBackup(backup, stranded);
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

LONG ResolveTarget(const char* path, char* target) {
    lstrcpynA(target, path, MAX_PATH);
    // Only a link is followed. An ordinary file keeps the name the user
    // chose: its final path may be longer than MAX_PATH (reached by a short
    // name) or have no exact ANSI form.
    const DWORD attributes = g_targetAttributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return ERROR_SUCCESS;
    }
    UniqueFile look(CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr));
    if (!look.valid()) return ERROR_SUCCESS;  // a dangling link is replaced itself
    // The "A" call cuts without a word and converts with best fit ("Łódź"
    // as "Lódz", another folder): the wide one, converted strictly, into a
    // buffer as large as any path.
    std::vector<WCHAR> finalPath(32768);
    const DWORD length = GetFinalPathNameByHandleW(look.get(), finalPath.data(),
                                                   static_cast<DWORD>(finalPath.size()),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    // Wine answers ERROR_MORE_DATA for a path longer than it handles; a link
    // whose target cannot be named is neither replaced by a file nor
    // followed somewhere else.
    if (length >= finalPath.size() || (length == 0 && GetLastError() == ERROR_MORE_DATA)) {
        return ERROR_FILENAME_EXCED_RANGE;
    }
    if (length == 0) return LastFailure();
    // "\\?\C:\..." or "\\?\UNC\server\share\...": the plain form.
    std::wstring plain(finalPath.data(), length);
    if (plain.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
        plain = L"\\\\" + plain.substr(8);
    } else if (plain.compare(0, 4, L"\\\\?\\") == 0) {
        plain = plain.substr(4);
    }
    std::string ansi;
    if (!ToAnsiExactly(plain.c_str(), &ansi)) return ERROR_NO_UNICODE_TRANSLATION;
    if (ansi.size() >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
    lstrcpynA(target, ansi.c_str(), MAX_PATH);
    return ERROR_SUCCESS;
}

bool DeleteWhenFree(const char* path) {
    return UntilNotHeld([path]() { return DeleteFileA(path) != FALSE; });
}

LONG CreateFileBeside(const char* path, char* temp, UniqueFile* file) {
    DWORD unique = FirstUnique();
    for (int attempt = 0; attempt < 100; ++attempt, ++unique) {
        if (!NameBeside(path, unique, "tmp", temp)) return ERROR_FILENAME_EXCED_RANGE;
        // DELETE as well: ReplaceFile asks for it where the user may create
        // files in the folder but not delete them.
        HANDLE h = CreateFileA(temp, GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
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
    stranded->earlier[0] = stranded->fresh[0] = stranded->backup[0] = '\0';
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
        if (!MoveOver(temp, path)) {
            status = LastFailure();
            DeleteWhenFree(temp);
            return status;
        }
    }
    DropBackup(backup, stranded);
    SetNewAttributes(path, attributes);
    return ERROR_SUCCESS;
}
