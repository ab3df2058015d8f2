#include "cli/defaults.h"

#include <windows.h>
#include <sddl.h>
#include <shlobj.h>
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/console_text.h"
#include "exchange/import_file.h"
#include "exchange/put_in_place.h"
#include "exchange/wait_for_file.h"
#include "store/handles.h"

const char kActiveSetupKey[] =
    "Software\\Microsoft\\Active Setup\\Installed Components\\"
    "{6039F249-0F44-4829-96D4-96B786B14FE9}";

CreateKeyProc g_createMachineKey = RegCreateKeyExA;
SetSecurityProc g_setFileSecurity = SetNamedSecurityInfoA;
ModulePathProc g_programPath = GetModuleFileNameA;

namespace {

constexpr char kComponentName[] = "KMX Hooks Manager settings";
constexpr char kFolderName[] = "\\KMX Hooks Manager";
constexpr char kCopyName[] = "\\defaults.reg";
constexpr char kNeedsElevation[] =
    "This needs an elevated prompt: run it from a command prompt started with \"Run as "
    "administrator\".";
// Administrators and the system account may write, users may read. Owned
// by the administrators: a folder a user made there before would otherwise
// stay the user's, who could change its access list again.
constexpr char kFolderSecurity[] = "O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;GRGX;;;BU)";
constexpr char kFileSecurity[] = "O:BAD:P(A;;FA;;;BA)(A;;FA;;;SY)(A;;GRGX;;;BU)";

std::string ShellFolder(int id) {
    char path[MAX_PATH] = "";
    return SUCCEEDED(SHGetFolderPathA(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, path))
               ? std::string(path)
               : std::string();
}

std::string CopyFolder() {
    const std::string data = ShellFolder(CSIDL_COMMON_APPDATA);
    return data.empty() ? data : data + kFolderName;
}

// Whether `path` lies inside `folder`, compared as the file system does.
bool Inside(const std::string& path, const std::string& folder) {
    if (folder.empty() || path.size() <= folder.size() + 1) return false;
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path.c_str(),
                          static_cast<int>(folder.size()), folder.c_str(),
                          static_cast<int>(folder.size())) == CSTR_EQUAL &&
           path[folder.size()] == '\\';
}

// This program's full path into `program` (empty when unknown), and whether
// it lies in a Program Files folder, where only administrators can write.
bool RunsFromProgramFiles(std::string* program) {
    char module[MAX_PATH];
    const DWORD length = g_programPath(nullptr, module, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    *program = module;
    // The 64-bit folder is named by ProgramW6432 to a 32-bit program.
    char native[MAX_PATH] = "";
    const DWORD nativeLength = GetEnvironmentVariableA("ProgramW6432", native, MAX_PATH);
    const std::string folders[] = {
        ShellFolder(CSIDL_PROGRAM_FILES), ShellFolder(CSIDL_PROGRAM_FILESX86),
        nativeLength > 0 && nativeLength < MAX_PATH ? std::string(native) : std::string()};
    for (const std::string& folder : folders) {
        if (Inside(*program, folder)) return true;
    }
    return false;
}

// The comma form Active Setup compares, from the time in UTC, and always
// above `earlier` (a set within the same second, or a clock put back).
std::string NextVersion(const std::string& earlier) {
    SYSTEMTIME now;
    GetSystemTime(&now);
    unsigned fields[4] = {now.wYear, now.wMonth * 100u + now.wDay, now.wHour * 100u + now.wMinute,
                          now.wSecond};
    unsigned old[4] = {0, 0, 0, 0};
    if (sscanf(earlier.c_str(), "%u,%u,%u,%u", &old[0], &old[1], &old[2], &old[3]) == 4 &&
        !std::lexicographical_compare(old, old + 4, fields, fields + 4)) {
        std::copy(old, old + 4, fields);
        ++fields[3];
    }
    char text[48];
    snprintf(text, sizeof(text), "%u,%u,%u,%u", fields[0], fields[1], fields[2], fields[3]);
    return text;
}

std::string ReadString(HKEY key, const char* name) {
    char text[1024];
    DWORD size = sizeof(text) - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return std::string();
    }
    text[size] = '\0';
    return text;
}

LONG SetString(HKEY key, const char* name, const std::string& text) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
}

// Gives `path` the access list `sddl` (and its owner), replacing whatever it
// had; the error of the call.
LONG Secure(const std::string& path, const char* sddl) {
    UniqueLocal descriptor;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1,
                                                              descriptor.put(), nullptr)) {
        return static_cast<LONG>(GetLastError());
    }
    PSID owner = nullptr;
    PACL dacl = nullptr;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    GetSecurityDescriptorOwner(descriptor.get(), &owner, &defaulted);
    GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted);
    std::vector<char> name(path.begin(), path.end());
    name.push_back('\0');
    return static_cast<LONG>(g_setFileSecurity(name.data(), SE_FILE_OBJECT,
                                               OWNER_SECURITY_INFORMATION |
                                                   DACL_SECURITY_INFORMATION |
                                                   PROTECTED_DACL_SECURITY_INFORMATION,
                                               owner, nullptr, dacl, nullptr));
}

// The whole file at `path`; false with the error when it cannot be read.
bool ReadWhole(const char* path, std::string* bytes, LONG* error) {
    UniqueFile file;
    const bool opened = UntilNotHeld([&]() {
        file = UniqueFile(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
        return file.valid();
    });
    if (!opened) {
        *error = static_cast<LONG>(GetLastError());
        return false;
    }
    char chunk[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), chunk, sizeof(chunk), &got, nullptr)) {
            *error = static_cast<LONG>(GetLastError());
            return false;
        }
        if (got == 0) return true;
        bytes->append(chunk, got);
    }
}

// The copy written beside its place and swapped in, then given its own
// access list (a replace keeps the replaced file's, which a user may have
// set).
LONG PlaceCopy(const std::string& bytes, const std::string& copy) {
    char temp[MAX_PATH] = "";
    UniqueFile file;
    LONG status = CreateFileBeside(copy.c_str(), temp, &file);
    if (status != ERROR_SUCCESS) return status;
    status = WriteAll(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()));
    const LONG finished = FinishFile(&file);
    if (status == ERROR_SUCCESS) status = finished;
    if (status == ERROR_SUCCESS) status = Secure(temp, kFileSecurity);
    if (status != ERROR_SUCCESS) {
        DeleteWhenFree(temp);
        return status;
    }
    StrandedFiles stranded;
    return PutInPlace(temp, copy.c_str(), &stranded);
}

bool IsDenied(LONG error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_PRIVILEGE_NOT_HELD;
}

int Refuse(const std::string& what, LONG error) {
    PrintError(IsDenied(error) ? what + ": " + kNeedsElevation
                               : what + ": " + SystemMessage(error));
    return kExitNothingDone;
}

// The entries the file would give a user: those the import takes.
int EntriesToImport(const char* path, LONG* error) {
    UniqueBuffer sections;
    DWORD count = 0;
    *error = ReadImportSections(path, &sections, &count);
    if (*error != ERROR_SUCCESS || count == 0) return 0;
    const ImportReport report = ImportSections(sections.get(), path, true, true);
    int entries = report.imported;
    // Keys the registry of whoever runs this would refuse say nothing of
    // another user's.
    for (const RefusedSection& section : report.refused) {
        if (section.why == Refusal::kNotWritten) ++entries;
    }
    return entries;
}

}  // namespace

int ShowDefaults() {
    UniqueRegKey key;
    const LONG opened =
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, kActiveSetupKey, 0, KEY_QUERY_VALUE, key.put());
    if (opened == ERROR_FILE_NOT_FOUND) {
        PrintLine("No machine-wide defaults are registered.");
        return kExitDone;
    }
    if (opened != ERROR_SUCCESS) return Refuse("Could not read the registration", opened);
    const std::string copy = CopyFolder() + kCopyName;
    const bool present = GetFileAttributesA(copy.c_str()) != INVALID_FILE_ATTRIBUTES;
    PrintLine("File: " + copy + (present ? "" : " (missing)"));
    PrintLine("Version: " + ReadString(key.get(), "Version"));
    PrintLine("Run at each user's next logon: " + ReadString(key.get(), "StubPath"));
    return kExitDone;
}

int SetDefaults(const char* path, bool whatIf) {
    const std::string file = path;
    // The command runs at every user's logon: from a folder users can
    // write, one user would run code in every other user's session.
    std::string program;
    if (!RunsFromProgramFiles(&program)) {
        PrintError("Not registered: every user's logon would run this program from " +
                   (program.empty() ? std::string("an unknown folder") : program) +
                   ", which is not in a Program Files folder, where only administrators can "
                   "write. Install the package and run kmxhooks from there.");
        return kExitNothingDone;
    }
    LONG error = ERROR_SUCCESS;
    const int entries = EntriesToImport(path, &error);
    if (error != ERROR_SUCCESS) {
        PrintError(file + ": Could not read the import file: " + SystemMessage(error));
        return kExitNothingDone;
    }
    if (entries == 0) {
        PrintError(file + ": The file holds no hook settings to import; nothing registered.");
        return kExitNothingDone;
    }
    std::string bytes;
    if (!ReadWhole(path, &bytes, &error)) {
        PrintError(file + ": Could not read the import file: " + SystemMessage(error));
        return kExitNothingDone;
    }
    const std::string folder = CopyFolder();
    if (folder.empty()) {
        PrintError("The ProgramData folder cannot be found.");
        return kExitNothingDone;
    }
    const std::string copy = folder + kCopyName;
    const std::string stub = "\"" + program + "\" import \"" + copy + "\" --add";
    if (whatIf) {
        PrintLine("Would copy " + file + " (" + std::to_string(entries) +
                  (entries == 1 ? " entry" : " entries") + ") to " + copy +
                  " and register it for every user's next logon: " + stub +
                  "; nothing was written");
        return kExitDone;
    }

    // The key first: without the rights for it, nothing else is touched.
    UniqueRegKey key;
    DWORD disposition = 0;
    error = g_createMachineKey(HKEY_LOCAL_MACHINE, kActiveSetupKey, 0, nullptr, 0,
                               KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, key.put(), &disposition);
    if (error != ERROR_SUCCESS) return Refuse("Could not register the defaults", error);
    const bool fresh = disposition == REG_CREATED_NEW_KEY;
    // A registration made just now goes again with whatever fails after it.
    bool madeFolder = false;
    auto undo = [&](const std::string& what, LONG why) {
        if (fresh) {
            key.reset();
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, kActiveSetupKey);
        }
        if (madeFolder) RemoveDirectoryA(folder.c_str());
        return Refuse(what, why);
    };
    madeFolder = CreateDirectoryA(folder.c_str(), nullptr) != FALSE;
    if (!madeFolder && GetLastError() != ERROR_ALREADY_EXISTS) {
        return undo("Could not create " + folder, static_cast<LONG>(GetLastError()));
    }
    // Users may create folders in ProgramData: one made before is not trusted.
    error = Secure(folder, kFolderSecurity);
    if (error != ERROR_SUCCESS) return undo("Could not secure " + folder, error);
    error = PlaceCopy(bytes, copy);
    if (error != ERROR_SUCCESS) return undo("Could not write " + copy, error);

    const std::string version = NextVersion(ReadString(key.get(), "Version"));
    const DWORD installed = 1;
    error = SetString(key.get(), nullptr, kComponentName);
    if (error == ERROR_SUCCESS) error = SetString(key.get(), "StubPath", stub);
    if (error == ERROR_SUCCESS) {
        error = RegSetValueExA(key.get(), "IsInstalled", 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&installed), sizeof(installed));
    }
    // The version last: a registration is raised only when complete.
    if (error == ERROR_SUCCESS) error = SetString(key.get(), "Version", version);
    if (error != ERROR_SUCCESS) {
        if (fresh) DeleteWhenFree(copy.c_str());
        return undo("Could not register the defaults", error);
    }
    PrintLine("Registered " + copy + " (" + std::to_string(entries) +
              (entries == 1 ? " entry" : " entries") + "), version " + version +
              ": every user gets the entries they lack at their next logon");
    return kExitDone;
}

int RemoveDefaults(bool whatIf) {
    const std::string folder = CopyFolder();
    const std::string copy = folder + kCopyName;
    UniqueRegKey key;
    const LONG opened =
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, kActiveSetupKey, 0, KEY_QUERY_VALUE, key.put());
    key.reset();
    const bool hasFile =
        !folder.empty() && GetFileAttributesA(copy.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (opened == ERROR_FILE_NOT_FOUND && !hasFile) {
        PrintLine("No machine-wide defaults are registered; nothing to remove.");
        return kExitDone;
    }
    if (whatIf) {
        PrintLine("Would remove the registration and " + copy + "; nothing was written");
        return kExitDone;
    }
    // The registration first: never one whose file is gone.
    if (opened != ERROR_FILE_NOT_FOUND) {
        const LONG removed = RegDeleteKeyA(HKEY_LOCAL_MACHINE, kActiveSetupKey);
        if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND) {
            return Refuse("Could not remove the registration", removed);
        }
    }
    if (hasFile && !DeleteWhenFree(copy.c_str())) {
        Refuse("The registration is removed, but not " + copy, static_cast<LONG>(GetLastError()));
        return kExitDoneInPart;
    }
    RemoveDirectoryA(folder.c_str());  // only when empty; other files stay
    PrintLine("Removed the machine-wide defaults; the users' own settings stay.");
    return kExitDone;
}
