// How a registry file names an application entry.
#pragma once

// Begins every section name; without its first kRootNameLength characters a
// section name is the entry's key path, without all of it the entry's name.
constexpr char kSectionPrefix[] = "HKEY_CURRENT_USER\\Software\\QBL\\KMXHooks\\Application_Prefs\\";
constexpr int kSectionPrefixLength = 58;
constexpr int kRootNameLength = 18;  // "HKEY_CURRENT_USER\"
static_assert(sizeof(kSectionPrefix) - 1 == kSectionPrefixLength, "prefix length");
// The settings key's own section, which the platform's exports begin with.
constexpr char kSettingsSectionName[] =
    "HKEY_CURRENT_USER\\Software\\QBL\\KMXHooks\\Application_Prefs";
