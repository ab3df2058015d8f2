#include "cli/console_text.h"

#include <windows.h>

#include <vector>

namespace {

// ANSI text in UTF-16; empty when it cannot be converted.
std::vector<WCHAR> Widen(const std::string& text) {
    const int length = static_cast<int>(text.size());
    const int units = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    if (units <= 0) return {};
    std::vector<WCHAR> wide(static_cast<size_t>(units));
    MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), units);
    return wide;
}

// `text` from the ANSI code page into `codePage`.
std::string Recode(const std::string& text, UINT codePage) {
    const std::vector<WCHAR> wide = Widen(text);
    const int units = static_cast<int>(wide.size());
    if (units == 0) return text;
    const int bytes =
        WideCharToMultiByte(codePage, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return text;
    std::string recoded(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), units, &recoded[0], bytes, nullptr, nullptr);
    return recoded;
}

void Write(DWORD which, std::string text) {
    text += "\r\n";
    HANDLE out = GetStdHandle(which);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0;
    // A file or a pipe is read in the console's output code page (the OEM
    // one by default): find, for /f and PowerShell decode it so, and the
    // platform's own tools write it so. Without a console, the OEM one.
    if (!GetConsoleMode(out, &mode)) {
        UINT codePage = GetConsoleOutputCP();
        if (codePage == 0) codePage = GetOEMCP();
        if (codePage != GetACP()) text = Recode(text, codePage);
        DWORD written = 0;
        WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    // A console shows every character through the wide call, whatever its
    // code page.
    const std::vector<WCHAR> wide = Widen(text);
    DWORD written = 0;
    WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
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
