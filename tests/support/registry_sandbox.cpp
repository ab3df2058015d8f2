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

void Collect(HKEY root, const std::string& path, std::map<std::string, RegValue>* out) {
    UniqueRegKey key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD nameSize = sizeof(name);
        BYTE data[4096];
        DWORD dataSize = sizeof(data);
        DWORD type = 0;
        if (RegEnumValueA(key.get(), i, name, &nameSize, nullptr, &type, data, &dataSize) !=
            ERROR_SUCCESS) {
            break;
        }
        (*out)[path + "\\" + name] = RegValue{type, std::vector<BYTE>(data, data + dataSize)};
    }
    for (DWORD i = 0;; ++i) {
        char name[1024];
        if (RegEnumKeyA(key.get(), i, name, sizeof(name)) != ERROR_SUCCESS) break;
        std::string child = path.empty() ? name : path + "\\" + name;
        (*out)[child + "\\"] = RegValue{REG_NONE, {}};  // the key itself
        Collect(root, child, out);
    }
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
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, EntryPath(entry).c_str(), key.put()));
}

void SetEntryValue(const std::string& entry, const std::string& name, const RegValue& value) {
    UniqueRegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, EntryPath(entry).c_str(), key.put()));
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExA(key.get(), name.c_str(), 0, value.type, value.data.data(),
                             static_cast<DWORD>(value.data.size())));
}

void SetEntryDword(const std::string& entry, const std::string& name, DWORD value) {
    SetEntryValue(entry, name, Dword(value));
}

bool EntryExists(const std::string& entry) {
    UniqueRegKey key;
    return RegOpenKeyExA(HKEY_CURRENT_USER, EntryPath(entry).c_str(), 0, KEY_READ, key.put()) ==
           ERROR_SUCCESS;
}

std::map<std::string, RegValue> EntryValues(const std::string& entry) {
    std::map<std::string, RegValue> all;
    Collect(HKEY_CURRENT_USER, EntryPath(entry), &all);
    std::map<std::string, RegValue> values;
    const std::string prefix = EntryPath(entry) + "\\";
    for (const auto& [path, value] : all) {
        if (path.compare(0, prefix.size(), prefix) == 0 && path.back() != '\\') {
            values[path.substr(prefix.size())] = value;
        }
    }
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
    Collect(HKEY_CURRENT_USER, "", &all);
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
