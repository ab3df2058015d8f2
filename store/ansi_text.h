// Entry names and file paths are ANSI text in the system's code page. In a
// double-byte code page the second byte of a character can be '\' (0x5C) or
// another ASCII byte, so searches walk characters, never bytes. Lengths
// stay in bytes, as the registry and the file system count them.
#pragma once
#include <string>

// The nine characters an entry name typed in the program may not contain.
constexpr char kForbiddenNameChars[] = "\\/:*?\"<>|";

// The first character of `text` that is one of the ASCII characters in
// `set`, or nullptr.
const char* FindFirstChar(const char* text, const char* set);
// The last such character, or nullptr.
const char* FindLastChar(const char* text, const char* set);

// The length of `text` as the registry counts a name: in characters (UTF-16
// units), not in the bytes of the ANSI code page.
int CharacterCount(const char* text);

// `name` in UTF-16 and in capitals, as the registry compares key names:
// two names are one key when their keys are equal.
std::wstring RegistryNameKey(const char* name);

// `wide` in the ANSI code page into `ansi`; false when one of its characters
// has no form of its own there and came out as the default character or a
// best-fit look-alike ("Ł" as "L"), which would name another key or file,
// and false for text that is no valid UTF-16 (a lone surrogate).
bool ToAnsiExactly(const wchar_t* wide, std::string* ansi);
// The same in the code page `codePage`.
bool ToCodePageExactly(unsigned codePage, const wchar_t* wide, std::string* text);
