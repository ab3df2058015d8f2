// What the console program prints. Text is ANSI, as everywhere in the
// program; a console shows it through Unicode, and a file or a pipe gets
// it in the console's output code page (OEM 437 or 850 against ANSI 1252),
// in which scripts read a console program's output.
#pragma once
#include <string>

// One line (the line end is added) on standard output or standard error.
void PrintLine(const std::string& text);
void PrintError(const std::string& text);

// The system's text for a Win32 error, without its line end.
std::string SystemMessage(long error);
