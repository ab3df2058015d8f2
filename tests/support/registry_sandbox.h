// A private registry area for one test: a fresh key mapped over
// HKEY_CURRENT_USER for this process, removed again afterwards, so no test
// ever sees the settings of whoever runs it.
#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <vector>

struct RegValue {
    DWORD type;
    std::vector<BYTE> data;
    bool operator==(const RegValue& o) const { return type == o.type && data == o.data; }
};
RegValue Dword(DWORD value);

class RegistrySandbox {
public:
    RegistrySandbox();
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    // The real path of the sandbox under the real HKEY_CURRENT_USER.
    const std::string& path() const { return path_; }
    // Lifts the mapping for a moment, to compare with what another program
    // (which sees the real HKEY_CURRENT_USER) wrote.
    void Suspend();
    void Resume();

private:
    std::string path_;
};

// Helpers on entries of the (mapped) settings key.
void CreateEntry(const std::string& entry);
void SetEntryValue(const std::string& entry, const std::string& name, const RegValue& value);
void SetEntryDword(const std::string& entry, const std::string& name, DWORD value);
bool EntryExists(const std::string& entry);
// Every value of an entry, by name; empty when the entry does not exist.
std::map<std::string, RegValue> EntryValues(const std::string& entry);
// Every subkey of the settings key, in enumeration order.
std::vector<std::string> EntryNames();
// An entry holding the seven settings with these values, in table order.
void CreateEntryWith(const std::string& entry, const std::vector<DWORD>& values);
// The seven settings with these values, in table order, as EntryValues gives them.
std::map<std::string, RegValue> SevenDwords(const std::vector<DWORD>& values);
// Gives an entry's key (the settings key itself for "") the access list
// `sddl`; false when it could not.
bool SetEntryAccess(const std::string& entry, const char* sddl);
// All values and keys below HKEY_CURRENT_USER, as "path\value" => value.
std::map<std::string, RegValue> AllValues();
