#include "support/held_file.h"

#include <vector>

namespace {

struct Hold {
    HANDLE file;
    DWORD ms;
};

std::vector<HANDLE> g_holders;

DWORD WINAPI LetGoLater(LPVOID parameter) {
    Hold* hold = static_cast<Hold*>(parameter);
    Sleep(hold->ms);
    CloseHandle(hold->file);
    delete hold;
    return 0;
}

}  // namespace

bool HoldFile(const std::string& path, DWORD ms, DWORD share) {
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    HANDLE thread = CreateThread(nullptr, 0, LetGoLater, new Hold{file, ms}, 0, nullptr);
    if (thread) g_holders.push_back(thread);
    return thread != nullptr;
}

void ReleaseAllHolds() {
    for (HANDLE thread : g_holders) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    g_holders.clear();
}

std::string FindFileIn(const std::string& folder, const char* pattern) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\" + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return "";
    FindClose(search);
    return folder + "\\" + found.cFileName;
}
