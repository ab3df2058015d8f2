// Machine-wide defaults: one settings file that every user of the machine
// gets the missing entries of at their next logon, through the platform's
// Active Setup, which runs this program's import as each user.
#pragma once
#include <windows.h>
#include <aclapi.h>

#include <string>

// The Active Setup component of this program, under HKEY_LOCAL_MACHINE.
extern const char kActiveSetupKey[];

// What `kmxhooks defaults` prints: the registered file and version, or that
// nothing is registered.
int ShowDefaults();
// Copies the registry file at `path` (a full path) to the program's folder
// under ProgramData and registers it; with `whatIf` only says what it would
// do. Refused when this program runs from outside Program Files.
int SetDefaults(const char* path, bool whatIf);
// Removes the registration and the copy; the users' settings stay.
int RemoveDefaults(bool whatIf);

// Swapped by tests for what Wine, run as root, never refuses (a user
// without administrator rights) and for where the program runs from.
using CreateKeyProc = LONG(WINAPI*)(HKEY root, LPCSTR path, DWORD reserved, LPSTR keyClass,
                                    DWORD options, REGSAM access,
                                    const LPSECURITY_ATTRIBUTES security, PHKEY key,
                                    LPDWORD disposition);
extern CreateKeyProc g_createMachineKey;  // RegCreateKeyExA
using SetSecurityProc = DWORD(WINAPI*)(LPSTR path, SE_OBJECT_TYPE type, SECURITY_INFORMATION which,
                                       PSID owner, PSID group, PACL dacl, PACL sacl);
extern SetSecurityProc g_setFileSecurity;  // SetNamedSecurityInfoA
using ModulePathProc = DWORD(WINAPI*)(HMODULE module, LPSTR path, DWORD size);
extern ModulePathProc g_programPath;  // GetModuleFileNameA
