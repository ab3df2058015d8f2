#include "cli/console_text.h"

#include <windows.h>
#include <stdio.h>

#include <string>

#include "store/ansi_text.h"

namespace {

// ANSI text in UTF-16; empty when it cannot be converted.
std::wstring Widen(const std::string& text) {
    const int length = static_cast<int>(text.size());
    const int units = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    if (units <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), length, &wide[0], units);
    return wide;
}

// The code page a file or a pipe of `out` is read in; 0 for a console. A
// file or a pipe is read in the console's output code page (the OEM one by
// default): find, for /f and PowerShell decode it so, and the platform's own
// tools write it so. Without a console, the OEM one.
UINT CodePageOf(HANDLE out) {
    DWORD mode = 0;
    if (GetConsoleMode(out, &mode)) return 0;
    const UINT codePage = GetConsoleOutputCP();
    return codePage != 0 ? codePage : GetOEMCP();
}

// `text` from the ANSI code page into `codePage`, strictly: a character
// without an exact form there is written as [U+XXXX], never as a best-fit
// look-alike or "?", which would name another entry or file.
std::string Recode(const std::string& text, UINT codePage) {
    const std::wstring wide = Widen(text);
    std::string recoded;
    if (ToCodePageExactly(codePage, wide.c_str(), &recoded)) return recoded;
    recoded.clear();
    for (size_t i = 0; i < wide.size();) {
        const bool pair =
            IS_HIGH_SURROGATE(wide[i]) && i + 1 < wide.size() && IS_LOW_SURROGATE(wide[i + 1]);
        const std::wstring one = wide.substr(i, pair ? 2 : 1);
        std::string part;
        if (ToCodePageExactly(codePage, one.c_str(), &part)) {
            recoded += part;
        } else {
            const unsigned long point =
                pair ? 0x10000ul + ((one[0] - 0xD800ul) << 10) + (one[1] - 0xDC00ul) : one[0];
            char escape[16];
            snprintf(escape, sizeof(escape), "[U+%04lX]", point);
            recoded += escape;
        }
        i += one.size();
    }
    return recoded;
}

void Write(DWORD which, std::string text) {
    text += "\r\n";
    HANDLE out = GetStdHandle(which);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
    const UINT codePage = CodePageOf(out);
    if (codePage != 0) {
        if (codePage != GetACP()) text = Recode(text, codePage);
        DWORD written = 0;
        WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    // A console shows every character through the wide call, whatever its
    // code page.
    const std::wstring wide = Widen(text);
    DWORD written = 0;
    WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

}  // namespace

void PrintLine(const std::string& text) { Write(STD_OUTPUT_HANDLE, text); }

void PrintError(const std::string& text) { Write(STD_ERROR_HANDLE, text); }

unsigned OutputCodePage() { return CodePageOf(GetStdHandle(STD_OUTPUT_HANDLE)); }

bool OutputHolds(const std::string& text) {
    const UINT codePage = OutputCodePage();
    if (codePage == 0 || codePage == GetACP()) return true;
    std::string recoded;
    return ToCodePageExactly(codePage, Widen(text).c_str(), &recoded);
}

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
