#include "support/programs.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "store/handles.h"

namespace {
const char kFreshProcessVariable[] = "KMX_FRESH_PROCESS";
}

bool RunningOnWine() {
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

int RunProgram(const std::string& commandLine, bool quiet) {
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    UniqueFile nul(quiet ? CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       &inherit, OPEN_EXISTING, 0, nullptr)
                         : INVALID_HANDLE_VALUE);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    if (nul.valid()) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = startup.hStdOutput = startup.hStdError = nul.get();
    }
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, nul.valid(), 0, nullptr, nullptr,
                        &startup, &process)) {
        return -1;
    }
    UniqueHandle thread(process.hThread);
    UniqueHandle owned(process.hProcess);
    // An import of thousands of entries, timed by the benchmark, takes half a minute.
    WaitForSingleObject(owned.get(), 300000);
    DWORD code = static_cast<DWORD>(-1);
    GetExitCodeProcess(owned.get(), &code);
    return static_cast<int>(code);
}

bool InFreshProcess() { return GetEnvironmentVariableA(kFreshProcessVariable, nullptr, 0) != 0; }

int RunCurrentTestInFreshProcess(const std::string& program) {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    SetEnvironmentVariableA(kFreshProcessVariable, "1");
    const int code =
        RunProgram("\"" + (program.empty() ? std::string(self) : program) +
                   "\" --gtest_filter=" + test->test_suite_name() + "." + test->name());
    SetEnvironmentVariableA(kFreshProcessVariable, nullptr);
    return code;
}
