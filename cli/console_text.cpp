#include "cli/console_text.h"

#include <windows.h>

#include <vector>

namespace {

void Write(DWORD which, std::string text) {
    text += "\r\n";
    HANDLE out = GetStdHandle(which);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0;
    // A file or a pipe gets the ANSI bytes: a script reading them works in
    // the same code page as the program.
    if (!GetConsoleMode(out, &mode)) {
        DWORD written = 0;
        WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const int length = static_cast<int>(text.size());
    const int units = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    if (units <= 0) return;
    std::vector<WCHAR> wide(static_cast<size_t>(units));
    MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), units);
    DWORD written = 0;
    WriteConsoleW(out, wide.data(), static_cast<DWORD>(units), &written, nullptr);
}

}  // namespace

void PrintLine(const std::string& text) { Write(STD_OUTPUT_HANDLE, text); }

void PrintError(const std::string& text) { Write(STD_ERROR_HANDLE, text); }

std::string SystemMessage(long error) {
    char text[512] = "";
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(error), 0, text, sizeof(text), nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    if (message.empty()) message = "error " + std::to_string(error);
    return message;
}
