#include "store/ansi_text.h"

#include <windows.h>
#include <string.h>

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
