#include "support/help_control.h"

#include <gtest/gtest.h>

#include "dialog/help_popup.h"
#include "store/handles.h"

namespace {
const char kClsidKey[] = "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";
const char kClasses[] = "Classes";

HMODULE StandIn() { return GetModuleHandleA("hhstandin.dll"); }
}  // namespace

HelpControlSandbox::HelpControlSandbox() {
    UniqueRegKey classes;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, kClasses, classes.put()));
    EXPECT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CLASSES_ROOT, classes.get()));
}

HelpControlSandbox::~HelpControlSandbox() { RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr); }

void HelpControlSandbox::PointAt(const std::string& path, DWORD type) {
    UniqueRegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CLASSES_ROOT, kClsidKey, key.put()));
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExA(key.get(), "", 0, type, reinterpret_cast<const BYTE*>(path.c_str()),
                             static_cast<DWORD>(path.size() + 1)));
}

void HelpControlSandbox::Forget() { RegDeleteTreeA(HKEY_CLASSES_ROOT, "CLSID"); }

std::string BesideTests(const std::string& name) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path);
    return dir.substr(0, dir.find_last_of('\\') + 1) + name;
}

int StandInCalls() {
    if (!StandIn()) return 0;
    auto count = reinterpret_cast<StandInCallCountProc>(
        reinterpret_cast<void*>(GetProcAddress(StandIn(), "StandInCallCount")));
    return count ? count() : 0;
}

const StandInCall* StandInCallAt(int index) {
    if (!StandIn()) return nullptr;
    auto at = reinterpret_cast<StandInCallAtProc>(
        reinterpret_cast<void*>(GetProcAddress(StandIn(), "StandInCallAt")));
    return at ? at(index) : nullptr;
}

void StandInReturns(HWND result) {
    // Loaded here so that the answer is set before the program's first call.
    HMODULE module = LoadLibraryA(BesideTests("hhstandin.dll").c_str());
    ASSERT_NE(nullptr, module);
    auto set = reinterpret_cast<StandInReturnProc>(
        reinterpret_cast<void*>(GetProcAddress(module, "StandInReturn")));
    ASSERT_NE(nullptr, set);
    set(result);
}

HWND FallbackPopup() { return FindWindowA(kHelpPopupClass, nullptr); }
