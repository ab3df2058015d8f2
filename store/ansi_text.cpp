#include "store/ansi_text.h"

#include <windows.h>
#include <string.h>

#include <vector>

namespace {

bool InSet(char c, const char* set) { return c != '\0' && strchr(set, c) != nullptr; }

bool HasLoneSurrogate(const wchar_t* wide) {
    for (const wchar_t* p = wide; *p; ++p) {
        if (*p >= 0xD800 && *p <= 0xDBFF) {
            if (p[1] < 0xDC00 || p[1] > 0xDFFF) return true;
            ++p;  // a pair
        } else if (*p >= 0xDC00 && *p <= 0xDFFF) {
            return true;
        }
    }
    return false;
}

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
    return ToCodePageExactly(GetACP(), wide, ansi);
}

bool ToCodePageExactly(unsigned codePage, const wchar_t* wide, std::string* text) {
    // A lone surrogate becomes '?' or, in UTF-8, U+FFFD, which names
    // another key or file; no code page holds it.
    if (HasLoneSurrogate(wide)) return false;
    // UTF-8 holds every character, and refuses the best-fit flag and the
    // default-character check; WC_ERR_INVALID_CHARS is its strict mode.
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL lossy = FALSE;
    BOOL* check = utf8 ? nullptr : &lossy;
    const int size = WideCharToMultiByte(codePage, flags, wide, -1, nullptr, 0, nullptr, check);
    if (size <= 0) return false;
    std::vector<char> converted(static_cast<size_t>(size));
    WideCharToMultiByte(codePage, flags, wide, -1, converted.data(), size, nullptr, check);
    *text = converted.data();
    return !lossy;
}

std::wstring RegistryNameKey(const char* name) {
    const int units = MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0);
    if (units <= 1) return std::wstring();
    std::vector<WCHAR> wide(static_cast<size_t>(units));
    MultiByteToWideChar(CP_ACP, 0, name, -1, wide.data(), units);
    // The registry folds letter case one UTF-16 unit at a time (é with É).
    CharUpperBuffW(wide.data(), static_cast<DWORD>(units - 1));
    return std::wstring(wide.data(), static_cast<size_t>(units - 1));
}
