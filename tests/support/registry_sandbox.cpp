#include "support/registry_sandbox.h"

#include <sddl.h>
#include <gtest/gtest.h>
#include <stdio.h>

#include "store/handles.h"
#include "store/hook_settings.h"

namespace {

std::string EntryPath(const std::string& entry) {
    return std::string(kSettingsKeyPath) + "\\" + entry;
}

// Every value of the open key, by `prefix` and its name.
void ReadValues(HKEY key, const std::string& prefix, std::map<std::string, RegValue>* out) {
    for (DWORD i = 0;; ++i) {
        char value[16384];
        DWORD valueSize = sizeof(value);
        BYTE data[4096];
        DWORD dataSize = sizeof(data);
        DWORD type = 0;
        if (RegEnumValueA(key, i, value, &valueSize, nullptr, &type, data, &dataSize) !=
            ERROR_SUCCESS) {
            break;
        }
        (*out)[prefix + value] = RegValue{type, std::vector<BYTE>(data, data + dataSize)};
    }
}

// Every value below the key `name` of `parent`, by its path `path`; each key
// is opened below its parent, so that long names are no long paths.
void Collect(HKEY parent, const std::string& name, const std::string& path,
             std::map<std::string, RegValue>* out) {
    UniqueRegKey key;
    if (RegOpenKeyExA(parent, name.empty() ? nullptr : name.c_str(), 0, KEY_READ, key.put()) !=
        ERROR_SUCCESS) {
        return;
    }
    ReadValues(key.get(), path + "\\", out);
    for (DWORD i = 0;; ++i) {
        char child[1024];
        if (RegEnumKeyA(key.get(), i, child, sizeof(child)) != ERROR_SUCCESS) break;
        const std::string childPath = path.empty() ? child : path + "\\" + child;
        (*out)[childPath + "\\"] = RegValue{REG_NONE, {}};  // the key itself
        Collect(key.get(), child, childPath, out);
    }
}

// The entry's key, opened (or created) below the settings key: a full path
// of over 260 characters is refused by Wine's "A" calls.
LONG OpenEntry(const std::string& entry, bool create, HKEY* key) {
    UniqueRegKey settings;
    const LONG status =
        create ? RegCreateKeyA(HKEY_CURRENT_USER, kSettingsKeyPath, settings.put())
               : RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_READ, settings.put());
    if (status != ERROR_SUCCESS) return status;
    return create ? RegCreateKeyA(settings.get(), entry.c_str(), key)
                  : RegOpenKeyExA(settings.get(), entry.c_str(), 0, KEY_READ, key);
}

}  // namespace

RegValue Dword(DWORD value) {
    const BYTE* bytes = reinterpret_cast<const BYTE*>(&value);
    return RegValue{REG_DWORD, std::vector<BYTE>(bytes, bytes + 4)};
}

RegistrySandbox::RegistrySandbox() {
    static int counter = 0;
    char name[96];
    snprintf(name, sizeof(name), "Software\\KMXHooksTests\\%lu-%d", GetCurrentProcessId(),
             ++counter);
    path_ = name;
    // Start from a clean slate should a crashed run have left the key behind.
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegDeleteTreeA(HKEY_CURRENT_USER, name);
    UniqueRegKey root;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, name, root.put()));
    EXPECT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CURRENT_USER, root.get()));
}

RegistrySandbox::~RegistrySandbox() {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
}

void RegistrySandbox::Suspend() { RegOverridePredefKey(HKEY_CURRENT_USER, nullptr); }

void RegistrySandbox::Resume() {
    UniqueRegKey root;
    RegOpenKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, KEY_ALL_ACCESS, root.put());
    RegOverridePredefKey(HKEY_CURRENT_USER, root.get());
}

void CreateEntry(const std::string& entry) {
    UniqueRegKey key;
    ASSERT_EQ(ERROR_SUCCESS, OpenEntry(entry, true, key.put()));
}

void SetEntryValue(const std::string& entry, const std::string& name, const RegValue& value) {
    UniqueRegKey key;
    ASSERT_EQ(ERROR_SUCCESS, OpenEntry(entry, true, key.put()));
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExA(key.get(), name.c_str(), 0, value.type, value.data.data(),
                             static_cast<DWORD>(value.data.size())));
}

void SetEntryDword(const std::string& entry, const std::string& name, DWORD value) {
    SetEntryValue(entry, name, Dword(value));
}

bool EntryExists(const std::string& entry) {
    UniqueRegKey key;
    return OpenEntry(entry, false, key.put()) == ERROR_SUCCESS;
}

std::map<std::string, RegValue> EntryValues(const std::string& entry) {
    std::map<std::string, RegValue> values;
    UniqueRegKey key;
    if (OpenEntry(entry, false, key.put()) == ERROR_SUCCESS) ReadValues(key.get(), "", &values);
    return values;
}

std::vector<std::string> EntryNames() {
    std::vector<std::string> names;
    UniqueRegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_READ, key.put()) !=
        ERROR_SUCCESS) {
        return names;
    }
    char name[1024];
    for (DWORD i = 0; RegEnumKeyA(key.get(), i, name, sizeof(name)) == ERROR_SUCCESS; ++i) {
        names.push_back(name);
    }
    return names;
}

void CreateEntryWith(const std::string& entry, const std::vector<DWORD>& values) {
    CreateEntry(entry);
    for (size_t i = 0; i < values.size() && i < kHookSettingCount; ++i) {
        SetEntryDword(entry, kHookSettings[i].valueName, values[i]);
    }
}

std::map<std::string, RegValue> SevenDwords(const std::vector<DWORD>& values) {
    std::map<std::string, RegValue> seven;
    for (size_t i = 0; i < values.size() && i < kHookSettingCount; ++i) {
        seven[kHookSettings[i].valueName] = Dword(values[i]);
    }
    return seven;
}

std::map<std::string, RegValue> AllValues() {
    std::map<std::string, RegValue> all;
    Collect(HKEY_CURRENT_USER, "", "", &all);
    return all;
}

bool SetEntryAccess(const std::string& entry, const char* sddl) {
    UniqueRegKey key;
    PSECURITY_DESCRIPTOR sd = nullptr;
    const std::string path = entry.empty() ? std::string(kSettingsKeyPath) : EntryPath(entry);
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, WRITE_DAC, key.put()) != ERROR_SUCCESS ||
        !ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &sd,
                                                              nullptr)) {
        return false;
    }
    const LONG status = RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, sd);
    LocalFree(sd);
    return status == ERROR_SUCCESS;
}
