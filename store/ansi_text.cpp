#include "store/ansi_text.h"

#include <windows.h>
#include <string.h>

#include <vector>

namespace {

bool InSet(char c, const char* set) { return c != '\0' && strchr(set, c) != nullptr; }

}  // namespace

const char* FindFirstChar(const char* text, const char* set) {
    for (const char* p = text; *p; p = CharNextA(p)) {
        if (InSet(*p, set)) return p;
    }
    return nullptr;
}

const char* FindLastChar(const char* text, const char* set) {
    const char* found = nullptr;
    for (const char* p = text; *p; p = CharNextA(p)) {
        if (InSet(*p, set)) found = p;
    }
    return found;
}

int CharacterCount(const char* text) {
    const int units = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    // The registry stores names in UTF-16 and counts its units.
    return units > 0 ? units - 1 : static_cast<int>(strlen(text));
}

bool ToAnsiExactly(const wchar_t* wide, std::string* ansi) {
    // UTF-8 holds every character, and refuses the flag and the check.
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL lossy = FALSE;
    BOOL* check = utf8 ? nullptr : &lossy;
    const int size = WideCharToMultiByte(CP_ACP, flags, wide, -1, nullptr, 0, nullptr, check);
    if (size <= 0) return false;
    std::vector<char> text(static_cast<size_t>(size));
    WideCharToMultiByte(CP_ACP, flags, wide, -1, text.data(), size, nullptr, check);
    *ansi = text.data();
    return !lossy;
}
