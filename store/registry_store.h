// The registry operations every other part of the program goes through. Each
// opens its key, does its work and closes the key before returning.
#pragma once
#include <windows.h>

#include <string>

bool ReadRegistryDword(HKEY root, const char* keyPath, const char* valueName, DWORD* result);
bool WriteRegistryDword(HKEY root, const char* keyPath, const char* valueName, DWORD value);

// The seven settings of one entry through one open key, for the export and
// the import, where opening the key per value would double their time.
// Bit i of a mask stands for row i of the hook settings table.
//
// Entries are opened by name below the settings key, never by their full
// path: the "A" calls refuse a path over 260 characters on Wine, which an
// entry name of about 220 characters already makes.
//
// Reads every setting of the entry `name` below the open settings key as
// ReadRegistryDword would; the mask of those read, their values in `values`.
unsigned ReadEntrySettings(HKEY settingsKey, const char* name, DWORD* values);
// Writes the settings in `which` as WriteRegistryDword would, opening or
// creating the entry's key (and the settings key) once, not at all when
// `which` is empty; the mask of those written.
unsigned WriteEntrySettings(const char* name, const DWORD* values, unsigned which);

// "Software\QBL\KMXHooks\Application_Prefs\<name>" into `path` (at most
// `size` bytes with the terminator, cut if longer).
void BuildEntryKeyPath(const char* name, char* path, int size);

// Opens the settings key under HKEY_CURRENT_USER; returns the registry's status.
LONG OpenSettingsKey(REGSAM access, HKEY* key);

// The number of entries; the registry's status (ERROR_FILE_NOT_FOUND when
// there is no settings key).
LONG CountEntries(DWORD* count);

// The entry at `index` of an open settings key into a buffer of
// kEnumNameSize bytes; RegEnumKeyA's status. `reachable`, when asked for,
// tells whether the name can name the key: one created by a Unicode program
// may hold characters this system's code page cannot, which come back as
// '?' and open no key (or another one).
LONG EnumerateEntry(HKEY settingsKey, DWORD index, char* name, bool* reachable = nullptr);

// The name at `index` however many bytes it takes, for telling the user of
// an entry whose name EnumerateEntry found too long for its buffer.
std::string LongEntryName(HKEY settingsKey, DWORD index);

// Whether `name` fits both limits of an entry name (kMaxEntryNameChars,
// kMaxEntryNameBytes): the import stores and the export writes no other.
bool EntryNameFits(const char* name);

// RegDeleteKeyA of the entry's key; 0 on success.
LONG DeleteEntryKey(const char* name);

// Opens the entry's key for a query and closes it again; only
// ERROR_FILE_NOT_FOUND means the entry is absent.
LONG TestEntryExists(const char* name);

// Whether WriteEntrySettings could write the entry, asked without writing:
// its key opened for setting values, or, when it does not exist, the
// settings key for creating one (ERROR_SUCCESS when that is missing too:
// only a write can tell then).
LONG TestEntryWritable(const char* name);

// RegSetValueExA of the entry writes, swapped by tests: Wine cannot refuse
// some values of a key and take others.
using SetValueProc = LONG(WINAPI*)(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type,
                                   const BYTE* data, DWORD size);
extern SetValueProc g_setEntryValue;
