#include "support/std_streams.h"

#include <windows.h>

CommandOutput RunRedirected(const TempFolder& folder, const std::function<int()>& command) {
    const std::string paths[] = {folder.File("out.txt"), folder.File("err.txt")};
    const DWORD which[] = {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    HANDLE old[2];
    for (int i = 0; i < 2; ++i) {
        old[i] = GetStdHandle(which[i]);
        SetStdHandle(which[i], CreateFileA(paths[i].c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                           nullptr, CREATE_ALWAYS, 0, nullptr));
    }
    CommandOutput output = {command(), "", ""};
    for (int i = 0; i < 2; ++i) {
        CloseHandle(GetStdHandle(which[i]));
        SetStdHandle(which[i], old[i]);
    }
    output.out = ReadFileBytes(paths[0]);
    output.err = ReadFileBytes(paths[1]);
    return output;
}
