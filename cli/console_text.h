// What the console program prints. Text is ANSI, as everywhere in the
// program; a console may show another code page (OEM 437 or 850 against
// ANSI 1252), so text for a console goes through Unicode.
#pragma once
#include <string>

// One line (the line end is added) on standard output or standard error.
void PrintLine(const std::string& text);
void PrintError(const std::string& text);

// The system's text for a Win32 error, without its line end.
std::string SystemMessage(long error);
